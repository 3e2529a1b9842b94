// Tube radius, scale and resolution from the options and the model's extent.
#include "tubesizing.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "sphere.h"

namespace {
std::string shortNumber(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", v);
    return text;
}
}  // namespace

double largestDimension(const std::vector<const std::vector<Vec3>*>& lines) {
    Vec3 low{INFINITY, INFINITY, INFINITY}, high = -1 * low;
    for (const auto* line : lines)
        for (const Vec3& v : *line) {
            low = {std::min(low.x, v.x), std::min(low.y, v.y), std::min(low.z, v.z)};
            high = {std::max(high.x, v.x), std::max(high.y, v.y), std::max(high.z, v.z)};
        }
    const Vec3 d = high - low;
    const double largest = std::max({d.x, d.y, d.z});
    return std::isfinite(largest) ? largest : 0;
}

double largestDimension(const Automaton& a) {
    std::vector<const std::vector<Vec3>*> paths;
    for (const Sphere* s : a.sphereTable) {
        if (!s) continue;
        for (const SpherePoint& p : s->points) paths.push_back(&p.path);
    }
    return largestDimension(paths);
}

TubeSizing chooseTubeSizing(const Automaton& a, const MeshOptions& o, std::optional<double> lines) {
    TubeSizing z;
    const double extent = lines ? *lines : largestDimension(a);
    if (!(extent > 0)) {
        z.error = "There are no point paths to write.";
        return z;
    }
    z.sized = o.sizeMillimetres.has_value() || o.scale != 1;
    // The radius in the file's units, once the scale is known.
    auto fileRadius = [&](double scale, double largest) {
        if (o.tubeRadiusMillimetres) return *o.tubeRadiusMillimetres;
        if (o.tubeRadius) return *o.tubeRadius * scale;
        const double r = kDefaultRadiusShare * largest;
        return z.sized ? std::max(r, kThinnestPrintedRadius) : r;
    };
    if (o.sizeMillimetres) {
        // The tubes' outer surface, not their centre lines, spans the size.
        const double size = *o.sizeMillimetres;
        if (o.tubeRadius && !o.tubeRadiusMillimetres) {
            z.scale = size / (extent + 2 * *o.tubeRadius);
        } else {
            const double r = fileRadius(0, size);
            z.scale = (size > 4 * r ? size - 2 * r : size / 2) / extent;
        }
    } else {
        z.scale = o.scale;
    }
    z.radius = fileRadius(z.scale, o.sizeMillimetres ? *o.sizeMillimetres : extent * z.scale);
    if (!(z.radius > 0) || !std::isfinite(z.radius) || !(z.scale > 0)) {
        z.error = "The tube radius must be a positive number.";
        return z;
    }
    if (o.resolution) {
        z.resolution = *o.resolution;
    } else {
        z.resolution = kResolutionShare * z.radius;
        if (z.sized)
            z.resolution = std::clamp(z.resolution, kFinestResolution, kCoarsestResolution);
    }
    z.said = "tube radius " + shortNumber(z.radius) +
             (z.sized ? " mm (" + shortNumber(z.automatonRadius()) + " units)" : " units");
    if (z.sized && z.radius < kThinnestPrintedRadius)
        z.warnings.push_back("A tube radius of " + shortNumber(z.radius) + " mm is below " +
                             shortNumber(kThinnestPrintedRadius) +
                             " mm: a 0.4 mm nozzle may not print it.");
    return z;
}
