// Point paths as comma-separated values.
#include "pathcsv.h"

#include "document.h"
#include "numbertext.h"
#include "sphere.h"

std::string PathCsv::field(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string PathCsv::nothingTraced(const Document& doc) {
    for (const Sphere* s : doc.sphereTable)
        if (s)
            for (const auto& p : s->points)
                if (!p.path.empty()) return {};
    return doc.stationarySphere ? "no point of it traces a path"
                                : "it has no stationary sphere, so no point traces a path";
}

void PathCsv::write(const Document& doc, const Sink& sink) {
    constexpr std::size_t kChunk = 256 * 1024;
    std::string out = "sphere,point,sample,x,y,z\n";
    for (const Sphere* s : doc.sphereTable) {
        if (!s) continue;
        const std::string name = field(s->name);
        for (std::size_t p = 0; p < s->points.size(); ++p) {
            const auto& path = s->points[p].path;
            for (std::size_t k = 0; k < path.size(); ++k) {
                out += name;
                out += ',';
                out += std::to_string(p);
                out += ',';
                out += std::to_string(k);
                // The frames are single precision, but a position is the
                // frame times the point's offset computed in double: the
                // shortest decimal of the double reads back to it exactly.
                for (double v : {path[k].x, path[k].y, path[k].z}) {
                    out += ',';
                    NumberText::append(out, v);
                }
                out += '\n';
                if (out.size() >= kChunk) {
                    sink(out);
                    out.clear();
                }
            }
        }
    }
    if (!out.empty()) sink(out);
}
