// G-code from plotter drawings.
#include "plottergcode.h"

#include <charconv>
#include <cmath>
#include <memory>

#include "atomicfile.h"

namespace {
void number(std::string& out, double v) {
    char buffer[48];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, 4).ptr;
    // No trailing zeros, and no "-0".
    while (end > buffer && end[-1] == '0') --end;
    if (end > buffer && end[-1] == '.') --end;
    std::string_view s(buffer, std::size_t(end - buffer));
    out += s == "-0" || s.empty() ? "0" : s;
}

void move(std::string& out, const char* code, double x, double y) {
    out += code;
    out += " X";
    number(out, x);
    out += " Y";
    number(out, y);
    out += '\n';
}
}  // namespace

bool PlotterGcode::oneLine(const std::string& s) {
    // A vertical tab, a form feed or a record separator ends a line for
    // some readers as surely as a newline does.
    for (unsigned char c : s)
        if ((c < 0x20 && c != '\t') || c == 0x7f) return false;
    for (const char* separator : {"\xc2\x85", "\xe2\x80\xa8", "\xe2\x80\xa9"})
        if (s.find(separator) != std::string::npos) return false;
    return true;
}

std::string PlotterGcode::check(const GcodeOptions& o) {
    if (!oneLine(o.penUp) || !oneLine(o.penDown) || !oneLine(o.penChange))
        return "The pen commands must be one line each.";
    if (o.penUp.empty() || o.penDown.empty()) return "The pen commands must not be empty.";
    if (!(o.feed > 0) || o.feed > 1e6) return "The feed must be a speed from 0 to 1000000 mm/min.";
    if (!(o.dwell >= 0) || o.dwell > kLongestDwell)
        return "The pen dwell must be from 0 to 60000 milliseconds.";
    return {};
}

std::string PlotterGcode::text(const PlotterDrawing& d, const PlotterOptions& page,
                               const GcodeOptions& o, std::size_t first, std::size_t last) {
    std::string out =
        "; Rotundel point paths for a pen: millimetres, origin at the page's lower left corner\n";
    out += "; page ";
    number(out, page.pageWidth);
    out += " x ";
    number(out, page.pageHeight);
    // The feed first: a controller refuses a G1 (the default pen-down
    // among them) before any feed is set.
    std::string feed = " F";
    number(feed, o.feed);
    out += " mm\nG21\nG90\nG1" + feed + "\n";
    // A servo pen needs a moment to get up or down before the pen moves on.
    std::string dwell;
    if (o.dwell > 0) {
        dwell = "G4 P";
        number(dwell, o.dwell);
        dwell += "\n";
    }
    const std::string up = o.penUp + "\n" + dwell, down = o.penDown + "\n" + dwell;
    out += up;
    for (std::size_t l = first; l < last && l < d.layers.size(); ++l) {
        const PlotterLayer& layer = d.layers[l];
        if (l > first && !o.penChange.empty())
            out += "; change the pen for layer " + layer.label + "\n" + o.penChange + "\n";
        out += "; layer " + layer.label + "\n";
        for (const PlotterPath& path : layer.paths) {
            if (path.nodes.empty()) continue;
            out += "; " + path.name + "\n";
            auto y = [&page](double v) { return page.pageHeight - v; };
            move(out, "G0", path.nodes[0].x, y(path.nodes[0].y));
            out += down;
            for (std::size_t k = 1; k <= path.nodes.size(); ++k) {
                const Point2& p = path.nodes[k % path.nodes.size()];
                move(out, "G1", p.x, y(p.y));
                // Again on each path's first stroke: a pen command of the
                // user's may have set a feed of its own.
                if (k == 1) {
                    out.pop_back();
                    out += feed + "\n";
                }
            }
            out += up;
        }
    }
    move(out, "G0", 0, 0);
    return out;
}

std::vector<std::string> PlotterGcode::files(const std::string& path, const PlotterDrawing& d,
                                             const GcodeOptions& o) {
    if (!o.penChange.empty() || d.layers.size() <= 1) return {path};
    const auto dot = path.rfind('.');
    const auto slash = path.find_last_of('/');
    const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string stem = hasExt ? path.substr(0, dot) : path;
    const std::string ext = hasExt ? path.substr(dot) : "";
    std::vector<std::string> names;
    for (std::size_t l = 0; l < d.layers.size(); ++l)
        names.push_back(stem + "-" + std::to_string(l + 1) + ext);
    return names;
}

std::string PlotterGcode::write(const std::vector<const Automaton*>& sheet,
                                const PlotterOptions& page, const GcodeOptions& o,
                                const std::string& path, PlotterDrawing* result) {
    if (std::string e = PlotterSvg::check(page); !e.empty()) return e;
    if (std::string e = check(o); !e.empty()) return e;
    PlotterDrawing local;
    PlotterDrawing& d = result ? *result : local;
    d = PlotterSvg::draw(sheet, page);
    if (!d.error.empty()) return d.error;
    if (d.layers.empty()) return "There are no point paths to draw.";
    const std::vector<std::string> names = files(path, d, o);
    // All files or none: each is made in full before any is put in place.
    std::vector<std::unique_ptr<AtomicFile>> targets;
    for (std::size_t f = 0; f < names.size(); ++f) {
        const std::string failed = "The G-code " + names[f] + " could not be written";
        auto target = std::make_unique<AtomicFile>(names[f]);
        if (!target->open()) return failed + ": " + target->error() + ".";
        const bool one = names.size() == 1;
        target->write(text(d, page, o, one ? 0 : f, one ? d.layers.size() : f + 1));
        targets.push_back(std::move(target));
    }
    for (std::size_t f = 0; f < targets.size(); ++f)
        if (!targets[f]->commit())
            return "The G-code " + names[f] + " could not be written: " + targets[f]->error() + ".";
    return {};
}
