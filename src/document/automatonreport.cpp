// The summary that "rotundel info" prints, as text or JSON.
#include "automatonreport.h"

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "document.h"
#include "numbertext.h"
#include "passstop.h"
#include "placement.h"
#include "pointpaths.h"
#include "relations.h"
#include "sphere.h"
#include "textcoding.h"

namespace {

std::string shortNumber(double v) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.6g", v);
    return buffer;
}

const char* surfaceName(int surface) {
    static const char* const names[] = {"solid", "transparent", "mesh", "texture", "none"};
    return surface >= 0 && surface <= 4 ? names[surface] : "transparent";
}

}  // namespace

AutomatonReport::AutomatonReport(Document& doc) : doc_(doc) {
    // One cache for all: the paths share their beginnings.
    MotionCache cache(doc_);
    for (Sphere* s : doc_.sphereTable) {
        if (!s || s->points.empty() || s == doc_.stationarySphere) continue;
        throwIfStopped();
        PathPlan plan = planPath(doc_, *s, &cache);
        if (plan.list.size() < 2) continue;
        PathLine line;
        line.sphere = s->name;
        line.period = plan.period ? toString(*plan.period) : std::string();
        if (plan.longerThanTurns) line.note = periodTooLongText(plan.longerThanTurns);
        line.estimatedLength = plan.length;
        line.samples = plan.period ? std::max(0LL, plan.samples) : 0;
        line.points = s->pointCount();
        paths_.push_back(line);
    }
    if (!doc_.pathsUpToDate) doc_.step();
    curves_ = doc_.curves();
}

std::string AutomatonReport::printable(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c < 0x20 || c == 0x7f) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\x%02x", c);
            out += buffer;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string AutomatonReport::jsonString(const std::string& bytes) {
    return nlohmann::json(utf8Text(bytes)).dump();
}

std::string AutomatonReport::text() const {
    auto name = [](const Sphere* s) { return s ? printable(s->name) : std::string("none"); };
    std::string out;
    out += std::to_string(doc_.sphereCount) + (doc_.sphereCount == 1 ? " sphere\n" : " spheres\n");
    for (const Sphere* s : doc_.sphereTable) {
        if (!s) continue;
        out += "sphere " + name(s) + ": ";
        out += s == doc_.root ? std::string("root") : "child of " + name(s->parent);
        out += "; radius " + toString(s->radiusFactor) + " x " + name(s->radiusReference);
        out += "; rate " + toString(s->rollingRate) + " x " + name(s->timeReference);
        out += s->inside ? "; inside" : "; outside";
        out += s->antiClockwise ? ", anti-clockwise" : ", clockwise";
        out += "; " + std::string(surfaceName(s->surface));
        out +=
            "; " + std::to_string(s->pointCount()) + (s->pointCount() == 1 ? " point" : " points");
        if (s->dynamic) out += "; dynamic";
        out += "\n";
    }
    out += "stationary sphere: " + name(doc_.stationarySphere) + "\n";
    out += "time master: " + name(doc_.timeMaster) + "\n";
    out += "reference child: " + name(doc_.referenceChild) + "\n";
    out += "path step: " + shortNumber(doc_.pathStep) + " (accuracy " +
           std::to_string(doc_.pathAccuracy) + ")\n";
    for (const PathLine& p : paths_) {
        out += "path of " + printable(p.sphere) + ": ";
        if (!p.note.empty()) {
            out += p.note + "\n";
            continue;
        }
        if (p.period.empty()) {
            out += "no common period (a zero factor on the way)\n";
            continue;
        }
        out += "period " + p.period + ", estimated length " + shortNumber(p.estimatedLength) +
               " (sets the sample count), " + std::to_string(p.samples) + " samples for each of " +
               std::to_string(p.points) + (p.points == 1 ? " point\n" : " points\n");
        for (const CurveInvariants& c : curves_) {
            if (c.sphere != p.sphere) continue;
            out += "  point " + std::to_string(c.point) + ": " +
                   describeCurve(c, doc_.timeMaster ? printable(doc_.timeMaster->name) : "");
            if (c.measured) {
                char reach[48];
                std::snprintf(reach, sizeof reach, ", largest distance %.9g", c.reach);
                out += reach;
            }
            out += "\n";
        }
    }
    return out;
}

std::string AutomatonReport::json() const {
    using Json = nlohmann::ordered_json;
    auto ref = [](const Sphere* s) { return s ? Json(utf8Text(s->name)) : Json(nullptr); };
    // Numbers that are not finite have no JSON form: null, as for a missing one.
    auto number = [](double v) { return std::isfinite(v) ? Json(v) : Json(nullptr); };
    Json out;
    out["sphereCount"] = doc_.sphereCount;
    Json spheres = Json::array();
    for (int slot = 0; slot < Document::kTableSize; ++slot) {
        const Sphere* s = doc_.sphereTable[static_cast<std::size_t>(slot)];
        if (!s) continue;
        spheres.push_back({{"name", utf8Text(s->name)},
                           {"slot", slot},
                           {"parent", ref(s->parent)},
                           {"radiusReference", ref(s->radiusReference)},
                           {"radiusFactor", toString(s->radiusFactor)},
                           {"timeReference", ref(s->timeReference)},
                           {"rollingRate", toString(s->rollingRate)},
                           {"inside", s->inside != 0},
                           {"antiClockwise", s->antiClockwise != 0},
                           {"surface", surfaceName(s->surface)},
                           {"dynamic", s->dynamic != 0},
                           {"points", s->pointCount()}});
    }
    out["spheres"] = std::move(spheres);
    out["root"] = ref(doc_.root);
    out["stationarySphere"] = ref(doc_.stationarySphere);
    out["timeMaster"] = ref(doc_.timeMaster);
    out["referenceChild"] = ref(doc_.referenceChild);
    out["pathAccuracy"] = doc_.pathAccuracy;
    out["pathStep"] = number(doc_.pathStep);
    Json paths = Json::array();
    for (const PathLine& p : paths_) {
        Json path = {{"sphere", utf8Text(p.sphere)},
                     {"period", p.period.empty() ? Json(nullptr) : Json(p.period)}};
        if (!p.note.empty()) path["note"] = p.note;
        path["estimatedLength"] = number(p.estimatedLength);
        path["samples"] = p.samples;
        path["points"] = p.points;
        paths.push_back(std::move(path));
    }
    out["paths"] = std::move(paths);
    Json curves = Json::array();
    for (const CurveInvariants& c : curves_) {
        const CurveSymmetry& sym = c.symmetry;
        Json curve = {
            {"sphere", utf8Text(c.sphere)},
            {"point", c.point},
            {"closed", sym.kind != CurveSymmetry::None},
            {"circle", sym.kind == CurveSymmetry::Circle},
            {"symmetry", sym.kind == CurveSymmetry::Order ? Json(sym.order) : Json(nullptr)}};
        if (sym.longerThanTurns) curve["note"] = periodTooLongText(sym.longerThanTurns);
        curve["lobes"] = c.lobes;
        curve["mirror"] = c.mirror;
        if (sym.kind != CurveSymmetry::None) {
            curve["period"] = toString(sym.period);
            curve["sphereLaps"] = toString(c.sphereLaps);
            curve["masterLaps"] = toString(c.masterLaps);
        }
        curve["length"] = number(c.length);
        curve["largestDistance"] = number(c.reach);
        curve["thickness"] = number(c.thickness);
        // What the numbers refer to and what else was found on the curve.
        curve["axis"] = {number(sym.axis.x), number(sym.axis.y), number(sym.axis.z)};
        curve["crossesItself"] = c.crosses;
        curve["cusp"] = c.cusp;
        curve["knot"] = c.knotFound && !c.knot.empty() ? Json(c.knot) : Json(nullptr);
        // Whether the knot was named and, if not, why (knotStatus).
        const char* status = knotStatus(c);
        curve["knotStatus"] = status ? Json(status) : Json(nullptr);
        curve["alexanderOf"] =
            c.knotPolynomialOf.empty() ? Json(nullptr) : Json(c.knotPolynomialOf);
        curve["knotCrossings"] = status ? Json(c.knotCrossings) : Json(nullptr);
        if (c.knotFound) {
            curve["alexander"] = c.alexander;
            curve["determinant"] = c.determinant;
        }
        Json links = Json::array();
        for (const auto& l : c.links)
            links.push_back({{"sphere", utf8Text(l.sphere)},
                             {"point", l.point},
                             {"linkingNumber", l.settled ? Json(l.number) : Json(nullptr)}});
        curve["links"] = std::move(links);
        curves.push_back(std::move(curve));
    }
    out["curves"] = std::move(curves);
    return out.dump(2) + "\n";
}
