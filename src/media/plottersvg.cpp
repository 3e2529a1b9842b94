// Plotter drawings through Qt's XML stream writer.
#include "plottersvg.h"

#include <QBuffer>
#include <QXmlStreamWriter>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "atomicfile.h"
#include "pentravel.h"
#include "sphere.h"
#include "tubemesh.h"
#include "viewtransform.h"

namespace {
std::optional<double> number(std::string_view text) {
    double v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

QString hexColour(std::uint32_t c) {
    return QString::asprintf("#%02x%02x%02x", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

QString mm(double v) {
    QString s = QString::number(v, 'f', 4);
    while (s.contains('.') && (s.endsWith('0') || s.endsWith('.'))) s.chop(1);
    return s == "-0" ? "0" : s;
}
}  // namespace

std::optional<double> PlotterSvg::length(const std::string& text) {
    std::string t = lower(text);
    double unit = 1;
    for (auto [suffix, factor] : {std::pair{"mm", 1.0}, {"cm", 10.0}, {"in", 25.4}})
        if (t.size() > 2 && t.ends_with(suffix)) {
            t.resize(t.size() - 2);
            unit = factor;
            break;
        }
    auto v = number(t);
    if (!v) return std::nullopt;
    return *v * unit;
}

std::optional<std::pair<double, double>> PlotterSvg::pageSize(const std::string& text) {
    const std::string t = lower(text);
    if (t == "a3") return std::pair{297.0, 420.0};
    if (t == "a4") return std::pair{210.0, 297.0};
    if (t == "a5") return std::pair{148.0, 210.0};
    if (t == "letter") return std::pair{215.9, 279.4};
    auto x = t.find('x');
    if (x == std::string::npos) return std::nullopt;
    std::string w = t.substr(0, x), h = t.substr(x + 1);
    // "300x200mm": the unit, if any, is written once at the end.
    for (const char* unit : {"mm", "cm", "in"})
        if (h.ends_with(unit) && !w.ends_with(unit)) w += unit;
    auto pw = length(w), ph = length(h);
    if (!pw || !ph || !(*pw > 0) || !(*ph > 0) || *pw > 10000 || *ph > 10000) return std::nullopt;
    return std::pair{*pw, *ph};
}

std::optional<PlotterOptions::View> PlotterSvg::view(const std::string& text) {
    const std::string t = lower(text);
    if (t == "top") return PlotterOptions::View::Top;
    if (t == "front") return PlotterOptions::View::Front;
    if (t == "side") return PlotterOptions::View::Side;
    if (t == "camera") return PlotterOptions::View::Camera;
    return std::nullopt;
}

std::optional<std::pair<int, int>> PlotterSvg::grid(const std::string& text) {
    const std::string t = lower(text);
    const auto x = t.find('x');
    if (x == std::string::npos) return std::nullopt;
    auto whole = [](std::string_view s) -> std::optional<int> {
        int v = 0;
        auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
        if (ec != std::errc() || end != s.data() + s.size() || v < 1 || v > 100)
            return std::nullopt;
        return v;
    };
    auto c = whole(std::string_view(t).substr(0, x)), r = whole(std::string_view(t).substr(x + 1));
    if (!c || !r) return std::nullopt;
    return std::pair{*c, *r};
}

std::string PlotterSvg::colourName(std::uint32_t c) {
    struct Named {
        const char* name;
        int r, g, b;
    };
    static const Named names[] = {
        {"black", 0, 0, 0},       {"white", 255, 255, 255},      {"grey", 128, 128, 128},
        {"red", 200, 20, 20},     {"dark red", 120, 0, 0},       {"orange", 240, 140, 50},
        {"yellow", 230, 210, 60}, {"green", 20, 150, 20},        {"light green", 120, 230, 100},
        {"dark green", 0, 90, 0}, {"turquoise", 15, 150, 180},   {"cyan", 0, 230, 230},
        {"blue", 10, 90, 160},    {"light blue", 120, 180, 250}, {"dark blue", 15, 15, 160},
        {"purple", 110, 10, 140}, {"plum", 135, 15, 100},        {"magenta", 240, 0, 240},
        {"pink", 250, 170, 200},  {"brown", 130, 70, 20},        {"olive", 128, 128, 0},
    };
    const int r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
    const Named* best = &names[0];
    long bestDistance = std::numeric_limits<long>::max();
    for (const Named& n : names) {
        long d = (r - n.r) * (r - n.r) + (g - n.g) * (g - n.g) + (b - n.b) * (b - n.b);
        if (d < bestDistance) bestDistance = d, best = &n;
    }
    return best->name;
}

namespace {
// The smooth curve through the samples (turning by at most a degree a
// step), which a pen should draw rather than corners, within `most` points:
// where a degree a step would need more, coarser steps, and at last every
// k-th sample itself. The smoothing says what it would need before it makes
// anything.
std::vector<Vec3> smoothed(const std::vector<Vec3>& samples, std::size_t most) {
    for (double turn : {1.0, 5.0, 20.0}) {
        TubeSettings smooth;
        smooth.maxTurnDegrees = turn;
        smooth.tolerance = 0;
        smooth.maxRings = most;
        if (samples.size() > most) break;
        std::vector<Vec3> line = tessellateClosedPath(samples, smooth);
        if (!line.empty()) return line;
    }
    const std::size_t stride = (samples.size() + most - 1) / std::max<std::size_t>(most, 1);
    std::vector<Vec3> every;
    every.reserve(samples.size() / std::max<std::size_t>(stride, 1) + 1);
    for (std::size_t k = 0; k < samples.size(); k += std::max<std::size_t>(stride, 1))
        every.push_back(samples[k]);
    return every;
}

// The nodes of a closed polyline e that keep within tolerance of it.
std::vector<Point2> thinned(const std::vector<Point2>& e, double tolerance) {
    const std::size_t n = e.size();
    auto at = [&e, n](std::size_t k) { return e[k % n]; };
    auto kept = simplifyPolyline(n, tolerance, [&](std::size_t i, std::size_t j, std::size_t k) {
        return segmentDistance(at(k), at(i), at(j));
    });
    kept.pop_back();  // the first again: the path closes on it
    std::vector<Point2> nodes;
    nodes.reserve(kept.size());
    for (std::size_t k : kept) nodes.push_back(e[k]);
    return nodes;
}

template <typename T>
void rotateToStart(std::vector<T>& v, std::size_t first) {
    std::rotate(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(first), v.end());
}
}  // namespace

std::string PlotterSvg::check(const PlotterOptions& o) {
    if (!(o.tolerance >= kFinestTolerance) || !std::isfinite(o.tolerance))
        return "The tolerance must be at least 0.001 mm.";
    if (!(o.pageWidth > 2 * o.margin && o.pageHeight > 2 * o.margin) || o.margin < 0)
        return "The margin leaves no room on the page.";
    if (o.columns < 1 || o.rows < 1 || o.columns > 100 || o.rows > 100)
        return "The grid needs from 1 to 100 columns and rows.";
    if (o.scale < 0 || !std::isfinite(o.scale)) return "The scale must be a positive length.";
    return {};
}

PlotterDrawing PlotterSvg::draw(const Automaton& a, const PlotterOptions& o) {
    return draw(std::vector<const Automaton*>{&a}, o);
}

PlotterDrawing PlotterSvg::draw(const std::vector<const Automaton*>& sheet,
                                const PlotterOptions& o) {
    // Project every sample onto the drawing plane (x right, y down as on the page).
    const ViewTransform camera(o.camera, o.orientation);
    auto project = [&](const Vec3& p) -> std::optional<Point2> {
        switch (o.view) {
            case PlotterOptions::View::Top:
                return Point2{p.x, -p.y};
            case PlotterOptions::View::Front:
                return Point2{p.x, -p.z};
            case PlotterOptions::View::Side:
                return Point2{p.y, -p.z};
            case PlotterOptions::View::Camera: {
                Vec3 e = camera(p);
                // Behind the near plane a point has no place in the picture.
                if (!(-e.z >= o.camera.nearDistance)) return std::nullopt;
                return Point2{e.x / -e.z, -e.y / -e.z};
            }
        }
        return std::nullopt;
    };
    PlotterDrawing drawing;
    // The points of the smoothed curves are shared out among the paths.
    std::size_t traced = 0;
    for (const Automaton* a : sheet)
        for (const Sphere* s : a->sphereTable)
            if (s)
                for (const SpherePoint& p : s->points) traced += !p.path.empty();
    const std::size_t share =
        std::max<std::size_t>(64, o.maxPoints / std::max<std::size_t>(traced, 1));
    struct Placed {
        std::size_t layer, path;
    };
    std::vector<std::vector<Placed>> ofCell(sheet.size());
    struct Box {
        double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
    };
    std::vector<Box> boxes(sheet.size());
    for (std::size_t d = 0; d < sheet.size() && d < std::size_t(o.columns * o.rows); ++d) {
        Box& box = boxes[d];
        for (const Sphere* s : sheet[d]->sphereTable) {
            if (!s) continue;
            for (std::size_t i = 0; i < s->points.size(); ++i) {
                if (s->points[i].path.empty()) continue;
                const std::vector<Vec3> samples = smoothed(s->points[i].path, share);
                PlotterPath path;
                path.name = (sheet.size() > 1 ? std::to_string(d + 1) + ":" : "") + s->name + "/" +
                            std::to_string(i);
                path.exact.reserve(samples.size());
                for (const Vec3& q : samples)
                    if (auto p = project(q); p && std::isfinite(p->x) && std::isfinite(p->y)) {
                        path.exact.push_back(*p);
                        box.x0 = std::min(box.x0, p->x), box.x1 = std::max(box.x1, p->x);
                        box.y0 = std::min(box.y0, p->y), box.y1 = std::max(box.y1, p->y);
                    }
                if (path.exact.size() < 2) continue;
                auto layer =
                    std::find_if(drawing.layers.begin(), drawing.layers.end(),
                                 [s](const PlotterLayer& l) { return l.colour == s->color; });
                if (layer == drawing.layers.end()) {
                    drawing.layers.push_back({"", s->color, {}});
                    layer = drawing.layers.end() - 1;
                }
                ofCell[d].push_back(
                    {std::size_t(layer - drawing.layers.begin()), layer->paths.size()});
                layer->paths.push_back(std::move(path));
            }
        }
    }
    // Each automaton fitted into its cell inside the margin, centred; on a
    // sheet of several a twentieth of the cell is left clear round each.
    const double roomW = std::max(0.0, o.pageWidth - 2 * o.margin) / o.columns,
                 roomH = std::max(0.0, o.pageHeight - 2 * o.margin) / o.rows;
    const double inset = sheet.size() > 1 ? 0.9 : 1.0;
    for (std::size_t d = 0; d < sheet.size(); ++d) {
        if (ofCell[d].empty()) continue;
        const Box& b = boxes[d];
        const double w = std::max(1e-300, b.x1 - b.x0), h = std::max(1e-300, b.y1 - b.y0);
        double scale = o.scale;
        if (scale > 0) {
            if (w * scale > roomW + 1e-9 || h * scale > roomH + 1e-9) {
                char text[256];
                std::snprintf(text, sizeof text,
                              "At %g mm a unit the drawing is %.1f x %.1f mm, more than the "
                              "%.1f x %.1f mm inside the margin%s.",
                              scale, w * scale, h * scale, roomW, roomH,
                              sheet.size() > 1 ? " of a cell" : "");
                drawing.error = text;
                drawing.layers.clear();
                return drawing;
            }
        } else {
            // Curves that shrink to a point are drawn at their own size, not blown up.
            scale = std::max(w, h) > 1e-9 ? inset * std::min(roomW / w, roomH / h) : 1.0;
        }
        const double cx = o.margin + roomW * (double(d % std::size_t(o.columns)) + 0.5),
                     cy = o.margin + roomH * (double(d / std::size_t(o.columns)) + 0.5);
        const double ox = cx - scale * (b.x0 + b.x1) / 2, oy = cy - scale * (b.y0 + b.y1) / 2;
        for (const Placed& p : ofCell[d])
            for (Point2& q : drawing.layers[p.layer].paths[p.path].exact)
                q = {ox + scale * q.x, oy + scale * q.y};
    }
    for (std::size_t l = 0; l < drawing.layers.size(); ++l) {
        PlotterLayer& layer = drawing.layers[l];
        std::string name = colourName(layer.colour);
        for (std::size_t m = 0; m < l; ++m)
            if (drawing.layers[m].label.ends_with(" " + name))
                name += " " + hexColour(layer.colour).toStdString();
        layer.label = std::to_string(l + 1) + " " + name;
    }
    // Written with four decimals: the rounding takes its share of the
    // tolerance. A page with more nodes than the budget is thinned at a
    // larger tolerance, and at last by leaving out nodes evenly.
    drawing.tolerance = o.tolerance;
    for (int round = 0;; ++round) {
        std::size_t nodes = 0;
        for (PlotterLayer& layer : drawing.layers)
            for (PlotterPath& path : layer.paths) {
                path.nodes = thinned(path.exact, std::max(0.0, drawing.tolerance - 1e-4));
                nodes += path.nodes.size();
            }
        if (nodes <= o.maxNodes) break;
        drawing.thinned = true;
        if (round == 3) {
            const double keep = double(o.maxNodes) / double(nodes);
            for (PlotterLayer& layer : drawing.layers)
                for (PlotterPath& path : layer.paths) {
                    const std::size_t want =
                        std::max<std::size_t>(3, std::size_t(double(path.nodes.size()) * keep));
                    std::vector<Point2> fewer;
                    for (std::size_t k = 0; k < want; ++k)
                        fewer.push_back(path.nodes[k * path.nodes.size() / want]);
                    path.nodes = std::move(fewer);
                }
            drawing.tolerance = INFINITY;
            break;
        }
        drawing.tolerance *= 2 * double(nodes) / double(o.maxNodes);
    }
    // A page holds finite positions only (curves whose sizes overflow have
    // none to give).
    for (const PlotterLayer& layer : drawing.layers)
        for (const PlotterPath& path : layer.paths)
            for (const Point2& q : path.nodes)
                if (!std::isfinite(q.x) || !std::isfinite(q.y)) {
                    drawing.error = "The curves' positions are too large to place on a page.";
                    drawing.layers.clear();
                    return drawing;
                }
    // The pen starts at the page's corner and goes from layer to layer.
    drawing.travelBefore = travel(drawing);
    Point2 pen{0, 0};
    for (PlotterLayer& layer : drawing.layers) {
        std::vector<std::vector<Point2>> nodes;
        for (const PlotterPath& path : layer.paths) nodes.push_back(path.nodes);
        const TravelPlan plan = planTravel(nodes, pen);
        std::vector<PlotterPath> ordered;
        for (std::size_t p : plan.order) {
            PlotterPath& path = layer.paths[p];
            const std::size_t first = plan.start[p];
            if (first > 0) {
                const Point2 node = path.nodes[first];
                rotateToStart(path.nodes, first);
                auto at = std::find_if(path.exact.begin(), path.exact.end(),
                                       [node](Point2 q) { return q.x == node.x && q.y == node.y; });
                if (at != path.exact.end())
                    rotateToStart(path.exact, std::size_t(at - path.exact.begin()));
            }
            if (!path.nodes.empty()) pen = path.nodes.front();
            ordered.push_back(std::move(path));
        }
        layer.paths = std::move(ordered);
    }
    drawing.travelAfter = travel(drawing);
    return drawing;
}

double PlotterSvg::travel(const PlotterDrawing& drawing) {
    double sum = 0;
    Point2 pen{0, 0};
    for (const PlotterLayer& layer : drawing.layers)
        for (const PlotterPath& path : layer.paths)
            if (!path.nodes.empty()) {
                sum += std::hypot(path.nodes.front().x - pen.x, path.nodes.front().y - pen.y);
                pen = path.nodes.front();
            }
    return sum;
}

std::string PlotterSvg::write(const Automaton& a, const PlotterOptions& o,
                              const std::string& file) {
    return write(std::vector<const Automaton*>{&a}, o, file);
}

std::string PlotterSvg::write(const std::vector<const Automaton*>& sheet, const PlotterOptions& o,
                              const std::string& file, PlotterDrawing* result) {
    if (std::string e = check(o); !e.empty()) return e;
    PlotterDrawing local;
    PlotterDrawing& drawing = result ? *result : local;
    drawing = draw(sheet, o);
    if (!drawing.error.empty()) return drawing.error;
    if (drawing.layers.empty()) return "There are no point paths to draw.";

    QBuffer out;
    out.open(QIODevice::WriteOnly);
    QXmlStreamWriter xml(&out);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    const QString svgNs = "http://www.w3.org/2000/svg";
    const QString inkscape = "http://www.inkscape.org/namespaces/inkscape";
    xml.writeDefaultNamespace(svgNs);
    xml.writeNamespace(inkscape, "inkscape");
    xml.writeStartElement(svgNs, "svg");
    xml.writeAttribute("version", "1.1");
    xml.writeAttribute("width", mm(o.pageWidth) + "mm");
    xml.writeAttribute("height", mm(o.pageHeight) + "mm");
    xml.writeAttribute("viewBox", "0 0 " + mm(o.pageWidth) + " " + mm(o.pageHeight));
    xml.writeTextElement(svgNs, "title", "Rotundel point paths for plotting");
    int id = 0;
    for (const PlotterLayer& layer : drawing.layers) {
        xml.writeStartElement(svgNs, "g");
        xml.writeAttribute(inkscape, "groupmode", "layer");
        xml.writeAttribute(inkscape, "label", QString::fromStdString(layer.label));
        xml.writeAttribute("id", QString("layer%1").arg(++id));
        xml.writeAttribute("fill", "none");
        xml.writeAttribute("stroke", hexColour(layer.colour));
        xml.writeAttribute("stroke-width", mm(o.penWidth));
        xml.writeAttribute("stroke-linejoin", "round");
        for (const PlotterPath& path : layer.paths) {
            QString d;
            d.reserve(static_cast<qsizetype>(path.nodes.size() * 20));
            for (std::size_t k = 0; k < path.nodes.size(); ++k)
                d += (k == 0 ? "M" : " L") + mm(path.nodes[k].x) + "," + mm(path.nodes[k].y);
            d += " Z";
            xml.writeStartElement(svgNs, "path");
            xml.writeAttribute("id", QString("path%1").arg(++id));
            xml.writeAttribute(inkscape, "label", QString::fromStdString(path.name));
            xml.writeAttribute("d", d);
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    const std::string failed = "The drawing " + file + " could not be written";
    if (xml.hasError()) return failed + ".";
    AtomicFile target(file);
    if (!target.open()) return failed + ": " + target.error() + ".";
    target.write(std::string_view(out.data().constData(), static_cast<std::size_t>(out.size())));
    if (!target.commit()) return failed + ": " + target.error() + ".";
    return {};
}
