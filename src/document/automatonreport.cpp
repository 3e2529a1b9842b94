// The summary that "rotundel info" prints, as text or JSON.
#include "automatonreport.h"

#include <cmath>
#include <cstdio>

#include "crotundeldoc.h"
#include "numbertext.h"
#include "passstop.h"
#include "placement.h"
#include "pointpaths.h"
#include "relations.h"
#include "sphere.h"

namespace {

std::string number(double v) {
    if (!std::isfinite(v)) return "null";
    return NumberText::of(v);
}

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

AutomatonReport::AutomatonReport(CRotundelDoc& doc) : doc_(doc) {
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
    if (!doc_.pathsUpToDate) doc_.Step();
    curves_ = doc_.Curves();
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
    std::string out = "\"";
    for (unsigned char c : bytes) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7f) {
            if (c >= 0x80) {
                // Latin-1 to UTF-8: the text is valid JSON whatever the bytes.
                out += static_cast<char>(0xc0 | c >> 6);
                out += static_cast<char>(0x80 | (c & 0x3f));
            } else {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                out += buffer;
            }
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
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
            out += "  point " + std::to_string(c.point + 1) + ": " + describeCurve(c) +
                   ", largest distance " + shortNumber(c.reach) + "\n";
        }
    }
    return out;
}

std::string AutomatonReport::json() const {
    auto ref = [](const Sphere* s) { return s ? jsonString(s->name) : std::string("null"); };
    std::string out = "{\n  \"sphereCount\": " + std::to_string(doc_.sphereCount) + ",\n";
    out += "  \"spheres\": [";
    bool first = true;
    for (int slot = 0; slot < CRotundelDoc::kTableSize; ++slot) {
        const Sphere* s = doc_.sphereTable[static_cast<std::size_t>(slot)];
        if (!s) continue;
        out += first ? "\n" : ",\n";
        first = false;
        out += "    {\"name\": " + jsonString(s->name) + ", \"slot\": " + std::to_string(slot);
        out += ", \"parent\": " + ref(s->parent);
        out += ", \"radiusReference\": " + ref(s->radiusReference);
        out += ", \"radiusFactor\": " + jsonString(toString(s->radiusFactor));
        out += ", \"timeReference\": " + ref(s->timeReference);
        out += ", \"rollingRate\": " + jsonString(toString(s->rollingRate));
        out += ", \"inside\": " + std::string(s->inside ? "true" : "false");
        out += ", \"antiClockwise\": " + std::string(s->antiClockwise ? "true" : "false");
        out += ", \"surface\": " + jsonString(surfaceName(s->surface));
        out += ", \"dynamic\": " + std::string(s->dynamic ? "true" : "false");
        out += ", \"points\": " + std::to_string(s->pointCount()) + "}";
    }
    out += "\n  ],\n";
    out += "  \"root\": " + ref(doc_.root) + ",\n";
    out += "  \"stationarySphere\": " + ref(doc_.stationarySphere) + ",\n";
    out += "  \"timeMaster\": " + ref(doc_.timeMaster) + ",\n";
    out += "  \"referenceChild\": " + ref(doc_.referenceChild) + ",\n";
    out += "  \"pathAccuracy\": " + std::to_string(doc_.pathAccuracy) + ",\n";
    out += "  \"pathStep\": " + number(doc_.pathStep) + ",\n";
    out += "  \"paths\": [";
    first = true;
    for (const PathLine& p : paths_) {
        out += first ? "\n" : ",\n";
        first = false;
        out += "    {\"sphere\": " + jsonString(p.sphere);
        out += ", \"period\": " + (p.period.empty() ? std::string("null") : jsonString(p.period));
        if (!p.note.empty()) out += ", \"note\": " + jsonString(p.note);
        out += ", \"estimatedLength\": " + number(p.estimatedLength);
        out += ", \"samples\": " + std::to_string(p.samples);
        out += ", \"points\": " + std::to_string(p.points) + "}";
    }
    out += "\n  ],\n  \"curves\": [";
    first = true;
    for (const CurveInvariants& c : curves_) {
        const CurveSymmetry& sym = c.symmetry;
        out += first ? "\n" : ",\n";
        first = false;
        out +=
            "    {\"sphere\": " + jsonString(c.sphere) + ", \"point\": " + std::to_string(c.point);
        out += ", \"closed\": " + std::string(sym.kind == CurveSymmetry::None ? "false" : "true");
        out += ", \"circle\": " + std::string(sym.kind == CurveSymmetry::Circle ? "true" : "false");
        out += ", \"symmetry\": " +
               (sym.kind == CurveSymmetry::Order ? std::to_string(sym.order) : std::string("null"));
        if (sym.longerThanTurns)
            out += ", \"note\": " + jsonString(periodTooLongText(sym.longerThanTurns));
        out += ", \"lobes\": " + std::to_string(c.lobes);
        out += ", \"mirror\": " + std::string(c.mirror ? "true" : "false");
        if (sym.kind != CurveSymmetry::None) {
            out += ", \"period\": " + jsonString(toString(sym.period));
            out += ", \"sphereLaps\": " + jsonString(toString(c.sphereLaps));
            out += ", \"masterLaps\": " + jsonString(toString(c.masterLaps));
        }
        out += ", \"length\": " + number(c.length);
        out += ", \"largestDistance\": " + number(c.reach);
        out += ", \"thickness\": " + number(c.thickness) + "}";
    }
    out += "\n  ]\n}\n";
    return out;
}
