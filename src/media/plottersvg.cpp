// Plotter drawings through Qt's XML stream writer.
#include "plottersvg.h"

#include <QSaveFile>
#include <QXmlStreamWriter>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

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

PlotterDrawing PlotterSvg::draw(const Automaton& a, const PlotterOptions& o) {
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
    // Sparse samples are joined by the smooth curve through them (turning by
    // at most a degree a step), which a pen should draw rather than corners.
    TubeSettings smooth;
    smooth.maxTurnDegrees = 1;
    smooth.tolerance = 0;
    PlotterDrawing drawing;
    double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
    for (const Sphere* s : a.sphereTable) {
        if (!s) continue;
        for (std::size_t i = 0; i < s->points.size(); ++i) {
            if (s->points[i].path.empty()) continue;
            const std::vector<Vec3> samples = tessellateClosedPath(s->points[i].path, smooth);
            PlotterPath path;
            path.name = s->name + "/" + std::to_string(i);
            path.exact.reserve(samples.size());
            for (const Vec3& q : samples)
                if (auto p = project(q); p && std::isfinite(p->x) && std::isfinite(p->y)) {
                    path.exact.push_back(*p);
                    x0 = std::min(x0, p->x), x1 = std::max(x1, p->x);
                    y0 = std::min(y0, p->y), y1 = std::max(y1, p->y);
                }
            if (path.exact.size() < 2) continue;
            auto layer = std::find_if(drawing.layers.begin(), drawing.layers.end(),
                                      [s](const PlotterLayer& l) { return l.colour == s->color; });
            if (layer == drawing.layers.end()) {
                drawing.layers.push_back({"", s->color, {}});
                layer = drawing.layers.end() - 1;
            }
            layer->paths.push_back(std::move(path));
        }
    }
    // Fitted into the page inside the margin, centred.
    const double w = std::max(1e-300, x1 - x0), h = std::max(1e-300, y1 - y0);
    const double room = std::max(0.0, o.pageWidth - 2 * o.margin),
                 roomH = std::max(0.0, o.pageHeight - 2 * o.margin);
    // Curves that shrink to a point are drawn at their own size, not blown up.
    const double scale = std::max(w, h) > 1e-9 ? std::min(room / w, roomH / h) : 1.0;
    const double ox = o.pageWidth / 2 - scale * (x0 + x1) / 2,
                 oy = o.pageHeight / 2 - scale * (y0 + y1) / 2;
    // Written with four decimals: the rounding takes its share of the tolerance.
    const double tolerance = std::max(0.0, o.tolerance - 1e-4);
    for (std::size_t l = 0; l < drawing.layers.size(); ++l) {
        PlotterLayer& layer = drawing.layers[l];
        std::string name = colourName(layer.colour);
        for (std::size_t m = 0; m < l; ++m)
            if (drawing.layers[m].label.ends_with(" " + name))
                name += " " + hexColour(layer.colour).toStdString();
        layer.label = std::to_string(l + 1) + " " + name;
        for (PlotterPath& path : layer.paths) {
            for (Point2& p : path.exact) p = {ox + scale * p.x, oy + scale * p.y};
            auto& e = path.exact;
            const std::size_t n = e.size();
            auto at = [&e, n](std::size_t k) { return e[k % n]; };
            auto kept =
                simplifyPolyline(n, tolerance, [&](std::size_t i, std::size_t j, std::size_t k) {
                    return segmentDistance(at(k), at(i), at(j));
                });
            kept.pop_back();  // the first again: the path closes on it
            for (std::size_t k : kept) path.nodes.push_back(e[k]);
        }
    }
    return drawing;
}

std::string PlotterSvg::write(const Automaton& a, const PlotterOptions& o,
                              const std::string& file) {
    if (!(o.tolerance >= kFinestTolerance) || !std::isfinite(o.tolerance))
        return "The tolerance must be at least 0.001 mm.";
    if (!(o.pageWidth > 2 * o.margin && o.pageHeight > 2 * o.margin) || o.margin < 0)
        return "The margin leaves no room on the page.";
    PlotterDrawing drawing = draw(a, o);
    if (drawing.layers.empty()) return "There are no point paths to draw.";

    QSaveFile out(QString::fromStdString(file));
    if (!out.open(QIODevice::WriteOnly))
        return "The drawing " + file + " could not be written: " + out.errorString().toStdString() +
               ".";
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
    if (xml.hasError() || !out.commit())
        return "The drawing " + file + " could not be written: " + out.errorString().toStdString() +
               ".";
    return {};
}
