// The web page: the viewer with the automaton's data inline.
#include "webpage.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <vector>

#include "automatoncopy.h"
#include "camerarig.h"
#include "curveinvariants.h"
#include "document.h"
#include "framerenderer.h"
#include "passstop.h"
#include "rollingtimeline.h"
#include "sphere.h"
#include "textcoding.h"
#include "viewtransform.h"

// The viewer's files, embedded at build time (webassets.cpp).
extern const char kWebViewerHtml[];
extern const char kWebViewerScript[];

namespace {

using Json = nlohmann::ordered_json;

// Positions are kept to 16 bits of the box that holds everything drawn.
constexpr double kLevels = 65535;
// Keyframes of the spheres' motion: at least this many a period, doubled
// until no sphere turns more than kLargestTurn between two, up to kMostKeys.
constexpr int kFewestKeys = 120, kMostKeys = 1920;
constexpr double kLargestTurn = 0.5;  // radians

struct Box {
    std::array<double, 3> lo{HUGE_VAL, HUGE_VAL, HUGE_VAL}, hi{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    void take(const Vec3& p) {
        const double v[3] = {p.x, p.y, p.z};
        for (int i = 0; i < 3; ++i) {
            lo[i] = std::min(lo[i], v[i]);
            hi[i] = std::max(hi[i], v[i]);
        }
    }
    double span(int i) const { return hi[i] > lo[i] ? hi[i] - lo[i] : 1.0; }
    std::uint16_t level(double v, int i) const {
        return static_cast<std::uint16_t>(
            std::clamp(std::lround((v - lo[i]) / span(i) * kLevels), 0L, 65535L));
    }
};

struct Curve {
    const Sphere* sphere;
    std::size_t point;
    const std::vector<Vec3>* path;
};

std::string base64(const std::string& bytes) {
    // The URL-safe alphabet: no "/" in the page, so that no run of the data
    // reads as an address.
    static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                           static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
        for (int s = 18; s >= 0; s -= 6) out += digits[(v >> s) & 63];
    }
    if (const std::size_t rest = bytes.size() - i; rest > 0) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (rest == 2) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += digits[(v >> 18) & 63];
        out += digits[(v >> 12) & 63];
        out += rest == 2 ? digits[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

// zlib's format, which the browser's DecompressionStream("deflate") reads.
std::string deflated(const std::vector<std::uint16_t>& values) {
    std::string raw(values.size() * 2, '\0');
    for (std::size_t i = 0; i < values.size(); ++i) {
        raw[2 * i] = static_cast<char>(values[i] & 0xff);
        raw[2 * i + 1] = static_cast<char>(values[i] >> 8);
    }
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                  reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()),
                  9) != Z_OK)
        throw std::bad_alloc();
    out.resize(size);
    return out;
}

// Each run of values as differences from the one before (wrapping), so
// that a smooth curve deflates to little.
void appendDeltas(std::vector<std::uint16_t>& out, const std::vector<std::uint16_t>& run) {
    std::uint16_t last = 0;
    for (std::uint16_t v : run) {
        out.push_back(static_cast<std::uint16_t>(v - last));
        last = v;
    }
}

std::string colourOf(std::uint32_t c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", c & 0xff, (c >> 8) & 0xff, (c >> 16) & 0xff);
    return text;
}

const char* surfaceOf(int surface) {
    switch (surface) {
        case 0:
        case 3:  // textures are left out: the sphere's colour stands for them
            return "solid";
        case 2:
            return "mesh";
        case 4:
            return "none";
        default:
            return "transparent";
    }
}

// A rotation matrix (OpenGL's column order) as a unit quaternion x, y, z, w.
std::array<double, 4> quaternionOf(const Mat4f& m) {
    const double r00 = m[0], r10 = m[1], r20 = m[2], r01 = m[4], r11 = m[5], r21 = m[6], r02 = m[8],
                 r12 = m[9], r22 = m[10];
    std::array<double, 4> q{};
    const double trace = r00 + r11 + r22;
    if (trace > 0) {
        const double s = 2 * std::sqrt(trace + 1);
        q = {(r21 - r12) / s, (r02 - r20) / s, (r10 - r01) / s, s / 4};
    } else if (r00 > r11 && r00 > r22) {
        const double s = 2 * std::sqrt(1 + r00 - r11 - r22);
        q = {s / 4, (r01 + r10) / s, (r02 + r20) / s, (r21 - r12) / s};
    } else if (r11 > r22) {
        const double s = 2 * std::sqrt(1 + r11 - r00 - r22);
        q = {(r01 + r10) / s, s / 4, (r12 + r21) / s, (r02 - r20) / s};
    } else {
        const double s = 2 * std::sqrt(1 + r22 - r00 - r11);
        q = {(r02 + r20) / s, (r12 + r21) / s, s / 4, (r10 - r01) / s};
    }
    double n = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    if (!(n > 0)) return {0, 0, 0, 1};
    for (double& v : q) v /= n;
    return q;
}

// Where each shown sphere stands at each keyframe of one period.
struct Motion {
    std::vector<const Sphere*> spheres;  // of the document, in table order
    int keys = 1;
    // [sphere][key]: centre and quaternion.
    std::vector<std::vector<std::array<double, 7>>> poses;
};

Motion motionOf(const Document& doc) {
    Motion m;
    std::unique_ptr<Automaton> copy = copyAutomaton(doc);
    std::vector<Sphere*> shown;
    for (std::size_t i = 0; i < doc.sphereTable.size(); ++i)
        if (const Sphere* s = doc.sphereTable[i]; s && s->surface != 4) {
            m.spheres.push_back(s);
            shown.push_back(copy->sphereTable[i]);
        }
    if (shown.empty() || !copy->root || !copy->stationarySphere) return m;
    const RollingTimeline timeline(*copy);
    for (int keys = kFewestKeys;; keys *= 2) {
        m.keys = keys;
        m.poses.assign(shown.size(), {});
        for (int k = 0; k < keys; ++k) {
            throwIfStopped();
            timeline.place(*copy, static_cast<double>(k) / keys);
            for (std::size_t i = 0; i < shown.size(); ++i) {
                const Mat4f& f = shown[i]->frame;
                std::array<double, 4> q = quaternionOf(f);
                auto& poses = m.poses[i];
                // The shorter way from the last keyframe.
                if (!poses.empty()) {
                    const auto& p = poses.back();
                    if (p[3] * q[0] + p[4] * q[1] + p[5] * q[2] + p[6] * q[3] < 0)
                        for (double& v : q) v = -v;
                }
                poses.push_back({f[12], f[13], f[14], q[0], q[1], q[2], q[3]});
            }
        }
        double largest = 0;
        for (const auto& poses : m.poses)
            for (int k = 0; k < keys; ++k) {
                const auto& a = poses[static_cast<std::size_t>(k)];
                const auto& b = poses[static_cast<std::size_t>((k + 1) % keys)];
                const double d = std::abs(a[3] * b[3] + a[4] * b[4] + a[5] * b[5] + a[6] * b[6]);
                largest = std::max(largest, 2 * std::acos(std::min(1.0, d)));
            }
        if (largest <= kLargestTurn || keys >= kMostKeys) break;
    }
    return m;
}

// The document's camera as the page's orbit: a rotation, the point it
// turns about and the distance from it.
Json cameraOf(const Document& doc) {
    CameraRig rig;
    rig.fovy = Document::kViewFovy;
    const CameraSetup setup = rig.mono(frameSettingsOf(doc).camera, 640, 480);
    const ViewTransform view(setup, doc.cameraController.orientationMatrix());
    const Vec3 t = view(Vec3{0, 0, 0});
    const Vec3 cx = view(Vec3{1, 0, 0}) - t, cy = view(Vec3{0, 1, 0}) - t,
               cz = view(Vec3{0, 0, 1}) - t;
    double distance = -doc.cameraDistance;
    if (!(distance > 0) || !std::isfinite(distance)) distance = 40;
    // target = -R^T (t + (0, 0, distance))
    const Vec3 s{t.x, t.y, t.z + distance};
    const Vec3 target{-(cx.x * s.x + cx.y * s.y + cx.z * s.z),
                      -(cy.x * s.x + cy.y * s.y + cy.z * s.z),
                      -(cz.x * s.x + cz.y * s.y + cz.z * s.z)};
    Json c;
    // Column order, as WebGL takes matrices.
    c["rotation"] = {cx.x, cx.y, cx.z, cy.x, cy.y, cy.z, cz.x, cz.y, cz.z};
    c["target"] = {target.x, target.y, target.z};
    c["distance"] = distance;
    c["fovy"] = Document::kViewFovy;
    return c;
}

std::string htmlEscaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            // Control characters have no place in a title.
            default:
                out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
        }
    }
    return out;
}

// The template with each mark replaced, in one pass over the template, so
// that nothing inserted (a title, the script) is searched for marks.
std::string filled(const std::string& text,
                   const std::vector<std::pair<std::string, std::string>>& marks) {
    std::string out;
    std::size_t from = 0;
    for (;;) {
        std::size_t at = std::string::npos;
        const std::pair<std::string, std::string>* found = nullptr;
        for (const auto& m : marks)
            if (const std::size_t p = text.find(m.first, from); p < at) {
                at = p;
                found = &m;
            }
        if (!found) break;
        out.append(text, from, at - from);
        out += found->second;
        from = at + found->first.size();
    }
    out.append(text, from, std::string::npos);
    return out;
}

bool finite(const Vec3& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

// The curves' positions, every stride-th sample of each.
std::string positionsOf(const std::vector<Curve>& curves, const Box& box, std::size_t stride) {
    std::vector<std::uint16_t> all;
    for (int axis = 0; axis < 3; ++axis)
        for (const Curve& c : curves) {
            std::vector<std::uint16_t> run;
            for (std::size_t k = 0; k < c.path->size(); k += stride) {
                const Vec3& p = (*c.path)[k];
                run.push_back(box.level(axis == 0 ? p.x : axis == 1 ? p.y : p.z, axis));
            }
            appendDeltas(all, run);
        }
    return base64(deflated(all));
}

// Every every-th keyframe of the motion.
std::string motionData(const Motion& m, const Box& box, int every) {
    std::vector<std::uint16_t> all;
    for (const auto& poses : m.poses)
        for (std::size_t part = 0; part < 7; ++part) {
            std::vector<std::uint16_t> run;
            for (std::size_t k = 0; k < poses.size(); k += static_cast<std::size_t>(every)) {
                const double v = poses[k][part];
                // Centres on the box's grid, quaternions' parts in [-1, 1].
                run.push_back(part < 3 ? box.level(v, static_cast<int>(part))
                                       : static_cast<std::uint16_t>(
                                             static_cast<std::int16_t>(std::lround(v * 32767))));
            }
            appendDeltas(all, run);
        }
    return base64(deflated(all));
}

std::string jsonForScript(const Json& data) {
    // Inside <script>: no "</script" or "<!--" may appear, and every "<"
    // is inside a string, where \u003c means the same.
    std::string text = data.dump(-1, ' ', false, Json::error_handler_t::replace);
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '<')
            out += "\\u003c";
        else
            out += c;
    }
    return out;
}

std::size_t sampleCount(const std::vector<Curve>& curves, std::size_t stride) {
    std::size_t n = 0;
    for (const Curve& c : curves) n += (c.path->size() + stride - 1) / stride;
    return n;
}

}  // namespace

std::size_t WebPageOptions::leastBytes() {
    return std::char_traits<char>::length(kWebViewerHtml) +
           std::char_traits<char>::length(kWebViewerScript) + 16 * 1024;
}

std::string WebPage::make(const Document& doc, const WebPageOptions& options, std::string* error) {
    std::vector<Curve> curves;
    Box box;
    for (const Sphere* s : doc.sphereTable) {
        if (!s) continue;
        for (std::size_t p = 0; p < s->points.size(); ++p) {
            const auto& path = s->points[p].path;
            if (path.empty()) continue;
            for (const Vec3& v : path) {
                if (!finite(v)) {
                    *error = "its curves reach beyond the numbers a page can hold.";
                    return {};
                }
                box.take(v);
            }
            curves.push_back({s, p, &path});
        }
    }
    const Motion motion = motionOf(doc);
    for (const auto& poses : motion.poses)
        for (const auto& p : poses) {
            const Vec3 c{p[0], p[1], p[2]};
            if (finite(c)) box.take(c);
        }
    if (curves.empty() && motion.spheres.empty()) {
        *error = "there is nothing to show.";
        return {};
    }

    // What `info` says of each curve.
    std::vector<CurveInvariants> facts = curveInvariants(doc);
    Json list = Json::array();
    for (const Curve& c : curves) {
        Json curve;
        curve["sphere"] = utf8Text(c.sphere->name);
        curve["point"] = c.point;
        curve["color"] = colourOf(c.sphere->color);
        curve["samples"] = c.path->size();
        std::string said;
        for (const CurveInvariants& f : facts)
            if (f.sphere == c.sphere->name && f.point == static_cast<int>(c.point)) {
                said = describeCurve(f, doc.timeMaster ? doc.timeMaster->name : "");
                if (f.measured) {
                    char reach[48];
                    std::snprintf(reach, sizeof reach, ", largest distance %.9g", f.reach);
                    said += reach;
                }
            }
        curve["facts"] = utf8Text(said);
        list.push_back(std::move(curve));
    }
    Json spheres = Json::array();
    for (std::size_t i = 0; i < motion.spheres.size(); ++i) {
        const Sphere* s = motion.spheres[i];
        spheres.push_back({{"name", utf8Text(s->name)},
                           {"color", colourOf(s->color)},
                           {"surface", surfaceOf(s->surface)},
                           {"radius", std::isfinite(s->snapshotRadius) ? s->snapshotRadius : 0.0}});
    }
    // How far along each curve is drawn at a fraction of the period.
    {
        std::unique_ptr<Automaton> copy = copyAutomaton(doc);
        const RollingTimeline timeline(*copy);
        for (std::size_t i = 0; i < curves.size(); ++i) {
            const Sphere* twin = nullptr;
            for (std::size_t slot = 0; slot < doc.sphereTable.size(); ++slot)
                if (doc.sphereTable[slot] == curves[i].sphere) twin = copy->sphereTable[slot];
            list[i]["repeats"] = twin ? timeline.repeats(*twin) : 0.0;
        }
    }

    Json data;
    data["format"] = 1;
    data["title"] = utf8Text(options.title);
    data["camera"] = cameraOf(doc);
    data["curvesOnly"] = doc.curvesOnly;
    data["box"] = {{"min", box.lo}, {"max", box.hi}};
    data["curves"] = list;
    data["spheres"] = spheres;

    const std::string title = htmlEscaped(utf8Text(options.title));
    // The data's place is kept by a mark of its own until they are sized.
    const std::string page = filled(kWebViewerHtml, {{"%%TITLE%%", title},
                                                     {"/*%%SCRIPT%%*/", kWebViewerScript},
                                                     {"%%DATA%%",
                                                      "\x01"
                                                      "DATA"
                                                      "\x01"}});
    // Thinned until the page fits its budget: the curves by a whole stride,
    // the spheres' motion by halving its keyframes while it is the larger.
    const std::size_t most = std::max(options.maxBytes, WebPageOptions::leastBytes());
    std::size_t longest = 1;
    for (const Curve& c : curves) longest = std::max(longest, c.path->size());
    std::size_t stride = 1;
    int every = 1;
    std::string positions = positionsOf(curves, box, stride);
    for (;;) {
        const int keys = motion.keys / every;
        data["keys"] = keys;
        const std::string moves = motionData(motion, box, every);
        data["motion"] = moves;
        data["stride"] = stride;
        data["vertices"] = sampleCount(curves, stride);
        data["positions"] = positions;
        const std::string whole = filled(page, {{"\x01"
                                                 "DATA"
                                                 "\x01",
                                                 jsonForScript(data)}});
        if (whole.size() <= most) {
            std::string thinned;
            if (stride > 1) thinned = "the curves keep one sample in " + std::to_string(stride);
            if (every > 1)
                thinned +=
                    (thinned.empty() ? "the spheres' motion keeps" : " and the spheres' motion") +
                    std::string(" one keyframe in ") + std::to_string(every);
            if (!thinned.empty() && options.tell)
                options.tell("note: " + thinned + " to stay within " + std::to_string(most) +
                             " bytes (--max-bytes).");
            return whole;
        }
        const bool motionCanGo = keys % 2 == 0 && keys >= 16;
        if (motionCanGo && (moves.size() > positions.size() || stride >= longest)) {
            every *= 2;
            continue;
        }
        if (stride >= longest) {
            *error = "the page would be larger than " + std::to_string(most) +
                     " bytes however thin its curves (--max-bytes).";
            return {};
        }
        const double over = static_cast<double>(whole.size() - page.size()) /
                            static_cast<double>(std::max<std::size_t>(1, most - page.size()));
        stride = std::min(
            longest,
            std::max(stride + 1, static_cast<std::size_t>(std::ceil(stride * over * 1.05))));
        positions = positionsOf(curves, box, stride);
    }
}

std::size_t WebPage::bytesOf(const std::string& text) {
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    if (digits == 0 || digits > 12) return 0;
    const std::size_t n = std::stoull(text.substr(0, digits));
    std::string unit = text.substr(digits);
    for (char& c : unit) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (unit.empty() || unit == "b") return n;
    if (unit == "kb") return n * 1000;
    if (unit == "mb") return n * 1000 * 1000;
    return 0;
}

std::string WebPage::titleFor(const std::string& path) {
    if (path.empty()) return WebPageOptions{}.title;
    std::string stem = std::filesystem::path(path).stem().string();
    return stem.empty() ? WebPageOptions{}.title : stem;
}
