// Thickness of a closed sampled curve: how thick a tube around it can be
// before the tube crosses itself.
//
// The least radius of curvature comes from the circles through consecutive
// samples. Two samples belong to different parts of the curve when the arc
// between them is at least pi times that radius (closer along the curve, a
// curve that bends no tighter cannot come back to them), and only such
// pairs closer than twice the radius can lower the thickness. So a grid of
// that cell size and, in each cell, the samples sorted by index, with the
// arc neighbourhood of each sample skipped by binary search, find the least
// distance without looking at the pairs along the curve itself.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <unordered_map>

#include "curveinvariants.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

double circumradius(Vec3 a, Vec3 b, Vec3 c) {
    double ab = length(b - a), bc = length(c - b), ca = length(a - c);
    double twiceArea = length(cross(b - a, c - a));
    if (ab == 0 || bc == 0) return std::numeric_limits<double>::infinity();  // a repeated sample
    if (twiceArea == 0) return ca == 0 ? 0.0 : std::numeric_limits<double>::infinity();
    return ab * bc * ca / (2 * twiceArea);
}

std::uint64_t cellKey(std::int64_t x, std::int64_t y, std::int64_t z) {
    auto part = [](std::int64_t v) { return static_cast<std::uint64_t>(v) & 0x1fffff; };
    return part(x) | part(y) << 21 | part(z) << 42;
}

}  // namespace

double leastRadiusOfCurvature(const std::vector<Vec3>& p) {
    const std::size_t n = p.size();
    double least = std::numeric_limits<double>::infinity();
    if (n < 3) return least;
    for (std::size_t i = 0; i < n; ++i)
        least = std::min(least, circumradius(p[(i + n - 1) % n], p[i], p[(i + 1) % n]));
    return least;
}

double curveThickness(const std::vector<Vec3>& p) {
    const std::size_t n = p.size();
    if (n < 3) return 0;
    const double rc = leastRadiusOfCurvature(p);
    if (!(rc > 0)) return 0;

    // Arc length from sample 0 to sample i, and the whole length.
    std::vector<double> arc(n + 1, 0.0);
    for (std::size_t i = 0; i < n; ++i) arc[i + 1] = arc[i] + length(p[(i + 1) % n] - p[i]);
    const double total = arc[n];
    if (!(total > 0)) return 0;
    const double reach = kPi * rc;
    if (!(reach < total / 2)) return std::isfinite(rc) ? rc : total / (2 * kPi);

    // Cell size 2 rc, but never so small that the grid indices overflow.
    double lo[3] = {p[0].x, p[0].y, p[0].z}, hi[3] = {lo[0], lo[1], lo[2]};
    for (const Vec3& v : p) {
        const double c[3] = {v.x, v.y, v.z};
        for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], c[k]), hi[k] = std::max(hi[k], c[k]);
    }
    const double extent = std::max({hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]});
    const double cell = std::max(2 * rc, extent / 1.0e6);
    auto cellOf = [&](const Vec3& v) {
        return std::array<std::int64_t, 3>{static_cast<std::int64_t>((v.x - lo[0]) / cell),
                                           static_cast<std::int64_t>((v.y - lo[1]) / cell),
                                           static_cast<std::int64_t>((v.z - lo[2]) / cell)};
    };
    std::vector<std::pair<std::uint64_t, std::uint32_t>> order(n);
    for (std::size_t i = 0; i < n; ++i) {
        auto c = cellOf(p[i]);
        order[i] = {cellKey(c[0], c[1], c[2]), static_cast<std::uint32_t>(i)};
    }
    std::sort(order.begin(), order.end());
    std::unordered_map<std::uint64_t, std::pair<std::uint32_t, std::uint32_t>> cells;
    cells.reserve(n);
    for (std::size_t i = 0; i < n;) {
        std::size_t j = i;
        while (j < n && order[j].first == order[i].first) ++j;
        cells.emplace(order[i].first,
                      std::make_pair(static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(j)));
        i = j;
    }

    // Arc from sample i forward by m samples (m < n).
    auto forwardArc = [&](std::size_t i, std::size_t m) {
        std::size_t j = i + m;
        return j <= n ? arc[j] - arc[i] : total - arc[i] + arc[j - n];
    };
    double best2 = 4 * rc * rc;  // squared distance that would lower the thickness
    for (std::size_t i = 0; i < n; ++i) {
        // Samples i-back .. i+ahead lie within the arc neighbourhood.
        std::size_t a0 = 0, a1 = n - 1;
        while (a0 < a1) {
            std::size_t mid = (a0 + a1 + 1) / 2;
            if (forwardArc(i, mid) < reach)
                a0 = mid;
            else
                a1 = mid - 1;
        }
        std::size_t b0 = 0, b1 = n - 1;
        while (b0 < b1) {
            std::size_t mid = (b0 + b1 + 1) / 2;
            if (forwardArc((i + n - mid) % n, mid) < reach)
                b0 = mid;
            else
                b1 = mid - 1;
        }
        const std::size_t ahead = a0, back = b0;
        if (ahead + back + 1 >= n) continue;
        // Indices outside the neighbourhood, as up to two ranges [from, to).
        std::size_t first = (i + n - back) % n, last = (i + ahead) % n;
        std::pair<std::size_t, std::size_t> ranges[2];
        int rangeCount = 0;
        if (first <= last) {
            ranges[rangeCount++] = {0, first};
            ranges[rangeCount++] = {last + 1, n};
        } else {
            ranges[rangeCount++] = {last + 1, first};
        }
        const auto c = cellOf(p[i]);
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dz = -1; dz <= 1; ++dz) {
                    auto it = cells.find(cellKey(c[0] + dx, c[1] + dy, c[2] + dz));
                    if (it == cells.end()) continue;
                    auto cb = order.begin() + it->second.first;
                    auto ce = order.begin() + it->second.second;
                    for (int r = 0; r < rangeCount; ++r) {
                        auto from = std::lower_bound(
                            cb, ce,
                            std::make_pair(it->first, static_cast<std::uint32_t>(ranges[r].first)));
                        for (auto q = from; q != ce && q->second < ranges[r].second; ++q) {
                            Vec3 d = p[q->second] - p[i];
                            best2 = std::min(best2, dot(d, d));
                        }
                    }
                }
    }
    return std::min(rc, std::sqrt(best2) / 2);
}
