// Tube radii from the curves' thickness.
#include "tubesizing.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <unordered_map>

#include "curveinvariants.h"
#include "passstop.h"
#include "sphere.h"
#include "tubemesh.h"

namespace {
// The least distance between segments a0-a1 and b0-b1 (closest points of
// two segments, clamped to both).
double segmentGap(Vec3 a0, Vec3 a1, Vec3 b0, Vec3 b1) {
    const Vec3 d1 = a1 - a0, d2 = b1 - b0, r = a0 - b0;
    const double a = dot(d1, d1), e = dot(d2, d2), f = dot(d2, r);
    double s = 0, t = 0;
    if (a <= 0 && e <= 0) return length(r);
    if (a <= 0) {
        t = std::clamp(f / e, 0.0, 1.0);
    } else {
        const double c = dot(d1, r);
        if (e <= 0) {
            s = std::clamp(-c / a, 0.0, 1.0);
        } else {
            const double b = dot(d1, d2), denom = a * e - b * b;
            s = denom > 0 ? std::clamp((b * f - c * e) / denom, 0.0, 1.0) : 0.0;
            t = (b * s + f) / e;
            if (t < 0) {
                t = 0;
                s = std::clamp(-c / a, 0.0, 1.0);
            } else if (t > 1) {
                t = 1;
                s = std::clamp((b - c) / a, 0.0, 1.0);
            }
        }
    }
    return length((a0 + s * d1) - (b0 + t * d2));
}

// How far from the line the rings at its corners may reach before two
// neighbouring rings cross: at a corner turning by an angle a between
// segments of lengths l and m, min(l, m) / (2 tan(a / 2)). On a smooth,
// evenly sampled curve this is the radius of curvature; where a short step
// meets a long one it is less.
double ringClearance(const std::vector<Vec3>& line) {
    const std::size_t n = line.size();
    double least = INFINITY;
    for (std::size_t i = 0; i < n; ++i) {
        const Vec3 in = line[i] - line[(i + n - 1) % n], out = line[(i + 1) % n] - line[i];
        const double l = length(in), m = length(out);
        if (l == 0 || m == 0) continue;
        const double c = std::clamp(dot(in, out) / (l * m), -1.0, 1.0);
        const double half = std::acos(c) / 2;
        if (half > 0) least = std::min(least, std::min(l, m) / (2 * std::tan(half)));
    }
    return least;
}

// The thickness of the tube's own centre line, measured between its
// segments rather than its vertices: two strands that cross between
// samples are half a sample step apart at the samples but touch in fact.
// Parts count as distant when the curve between them is longer than half
// a turn at its tightest bend (closer along it, no bend brings it back).
double tubeThickness(const std::vector<Vec3>& line) {
    const std::size_t n = line.size();
    if (n < 3) return 0;
    const double bend = leastRadiusOfCurvature(line);
    if (!(bend > 0)) return 0;
    std::vector<double> arc(n + 1, 0);
    for (std::size_t i = 0; i < n; ++i) arc[i + 1] = arc[i] + length(line[(i + 1) % n] - line[i]);
    const double total = arc[n];
    if (!(total > 0) || !std::isfinite(total)) return 0;
    // Measured between vertices first (quick, and never thinner than
    // between segments), which keeps the grid's cells small.
    double thickness = std::min({curveThickness(line), ringClearance(line),
                                 std::isfinite(bend) ? bend : total / (2 * std::numbers::pi)});
    if (!(thickness > 0)) return 0;
    const double vertexThickness = thickness;
    const double reach = std::numbers::pi * (std::isfinite(bend) ? bend : total / 2);
    if (!(reach < total / 2)) return thickness;
    // Segments in every cell their box, grown by the thickness, touches:
    // two segments closer than twice the thickness then share a cell.
    Vec3 low = line[0];
    double extent = 0;
    for (const Vec3& v : line)
        low = {std::min(low.x, v.x), std::min(low.y, v.y), std::min(low.z, v.z)};
    for (const Vec3& v : line) extent = std::max({extent, v.x - low.x, v.y - low.y, v.z - low.z});
    // Never smaller than a segment, or a long segment would fill many cells.
    double longest = 0;
    for (std::size_t i = 0; i < n; ++i) longest = std::max(longest, arc[i + 1] - arc[i]);
    const double cell = std::max({2 * thickness, longest, extent / 2000});
    auto index = [&](double v, double from) { return static_cast<long long>((v - from) / cell); };
    std::unordered_map<long long, std::vector<std::uint32_t>> grid;
    for (std::size_t i = 0; i < n; ++i) {
        const Vec3 &p = line[i], &q = line[(i + 1) % n];
        const double g = thickness;
        for (long long x = index(std::min(p.x, q.x) - g, low.x);
             x <= index(std::max(p.x, q.x) + g, low.x); ++x)
            for (long long y = index(std::min(p.y, q.y) - g, low.y);
                 y <= index(std::max(p.y, q.y) + g, low.y); ++y)
                for (long long z = index(std::min(p.z, q.z) - g, low.z);
                     z <= index(std::max(p.z, q.z) + g, low.z); ++z)
                    grid[(x * 4096 + y) * 4096 + z].push_back(static_cast<std::uint32_t>(i));
    }
    // In a cell the segments stand in the order of the curve, so the
    // distant ones of each form one run, found by its arc length. A curve
    // that packs many strands into every cell would make this quadratic:
    // past a bounded number of pairs the measure between vertices stands,
    // less half the longest segment, which no gap between segments can
    // undercut (every point of a segment is that near one of its ends).
    constexpr std::size_t kMostPairs = 4'000'000;
    std::size_t pairs = 0;
    for (const auto& [key, segments] : grid)
        for (std::size_t u = 0; u < segments.size(); ++u) {
            const std::size_t i = segments[u];
            auto from =
                std::lower_bound(segments.begin() + u + 1, segments.end(), arc[i + 1] + reach,
                                 [&arc](std::uint32_t j, double value) { return arc[j] < value; });
            for (auto w = from; w != segments.end(); ++w) {
                const std::size_t j = *w;
                if (total - (arc[j + 1] - arc[i]) < reach) break;
                if (++pairs > kMostPairs) return std::max(0.0, vertexThickness - longest / 2);
                if (pairs % 65536 == 0 && stopRequested()) return thickness;
                const double half =
                    segmentGap(line[i], line[(i + 1) % n], line[j], line[(j + 1) % n]) / 2;
                thickness = std::min(thickness, half);
            }
        }
    return thickness;
}

// Rounded down to three significant digits, so that the number a warning
// offers is itself safe.
std::string safeNumber(double v) {
    if (!(v > 0)) return "0";
    const double unit = std::pow(10.0, std::floor(std::log10(v)) - 2);
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", std::floor(v / unit) * unit);
    return text;
}
std::string shortNumber(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}
}  // namespace

TubeSizing chooseTubeRadius(const Automaton& a, const MeshOptions& o) {
    TubeSizing sizing;
    if (!o.autoRadius && !o.tubeRadius) return sizing;
    if (!o.autoRadius) sizing.radius = o.tubeRadius;
    // The line the tubes follow, first without the thinning that depends on
    // the radius being chosen, then as the tube of that radius thins it,
    // which may leave corners tighter than the samples have.
    TubeSettings line;
    line.tolerance = 0;
    // A centre line with more vertices than the whole triangle budget has
    // rings for (three sides each) is never built as a tube: a path sampled
    // far more coarsely than it turns (a very long period under the sample
    // budget) would otherwise spline into millions of vertices, measured
    // three times over. Such a line counts as meeting itself.
    const std::size_t mostRings = std::max<std::size_t>(3, o.maxTriangles / 6);
    line.maxRings = mostRings;
    std::vector<double> thickness;
    for (int round = 0; round < 3; ++round) {
        double thinnest = INFINITY;
        for (const Sphere* s : a.sphereTable) {
            if (!s) continue;
            for (const SpherePoint& p : s->points) {
                if (p.path.empty()) continue;
                if (stopRequested()) return sizing;
                if (round > 0) {
                    line = tubeSettingsFor(s->radius);
                    line.radius = *sizing.radius;
                    line.maxRings = mostRings;
                }
                const double t = tubeThickness(tessellateClosedPath(p.path, line));
                if (round == 0) thickness.push_back(t);
                if (t > 0) thinnest = std::min(thinnest, t);
            }
        }
        if (round == 0) {
            if (!o.autoRadius) break;
            if (!std::isfinite(thinnest)) break;
            sizing.radius = kAutoRadiusShare * thinnest;
        } else if (std::isfinite(thinnest) && kAutoRadiusShare * thinnest < *sizing.radius) {
            sizing.radius = kAutoRadiusShare * thinnest;
        } else {
            break;
        }
    }
    std::size_t k = 0;
    for (const Sphere* s : a.sphereTable) {
        if (!s) continue;
        for (std::size_t p = 0; p < s->points.size(); ++p) {
            if (s->points[p].path.empty()) continue;
            const std::string curve = s->name + "/" + std::to_string(p);
            const double t = thickness[k++];
            // A cusp or a crossing: no tube keeps clear of itself there, so
            // the curve cannot set the radius of the others.
            if (!(t > 0))
                sizing.warnings.push_back("The curve of " + curve +
                                          " meets itself (a cusp or a crossing): its tube touches "
                                          "itself at any radius.");
            else if (!o.autoRadius && *o.tubeRadius > t)
                sizing.warnings.push_back("The tube of " + curve + " crosses itself at radius " +
                                          shortNumber(*o.tubeRadius) +
                                          "; the largest safe radius is " + safeNumber(t) + ".");
        }
    }
    return sizing;
}

double meshScale(const MeshOptions& o, double largestDimension) {
    if (o.sizeMillimetres && largestDimension > 0) return *o.sizeMillimetres / largestDimension;
    return o.scale;
}
