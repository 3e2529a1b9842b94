// Points sorted into cubes of a given size, for finding the points near a
// place without looking at all of them.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "geometry.h"

class PointGrid {
  public:
    PointGrid(const std::vector<Vec3>& p, double cell, std::size_t stride = 1)
        : cell_(cell > 0 ? cell : 1) {
        for (std::size_t i = 0; i < p.size(); i += stride)
            order_.push_back({key(p[i], 0, 0, 0), i});
        std::sort(order_.begin(), order_.end(), [](const auto& a, const auto& b) {
            return a.first < b.first || (a.first == b.first && a.second < b.second);
        });
    }
    // Calls f(index) for every point in the 27 cubes around q.
    template <class F>
    void near(Vec3 q, const F& f) const {
        // x is the lowest part of the key: three neighbouring cubes along x
        // are one run of the sorted points, unless the key wraps there.
        for (int dy = -1; dy <= 1; ++dy)
            for (int dz = -1; dz <= 1; ++dz) {
                const std::uint64_t lo = key(q, -1, dy, dz), hi = key(q, 1, dy, dz);
                if (lo > hi) {
                    for (int dx = -1; dx <= 1; ++dx) run(key(q, dx, dy, dz), key(q, dx, dy, dz), f);
                    continue;
                }
                run(lo, hi, f);
            }
    }

  private:
    template <class F>
    void run(std::uint64_t lo, std::uint64_t hi, const F& f) const {
        auto it = std::lower_bound(order_.begin(), order_.end(), lo,
                                   [](const auto& e, std::uint64_t k) { return e.first < k; });
        for (; it != order_.end() && it->first <= hi; ++it) f(it->second);
    }
    std::uint64_t key(Vec3 v, int dx, int dy, int dz) const {
        auto c = [&](double x, int d) {
            return static_cast<std::uint64_t>(static_cast<std::int64_t>(std::floor(x / cell_)) +
                                              d) &
                   0x1fffff;
        };
        return c(v.x, dx) | c(v.y, dy) << 21 | c(v.z, dz) << 42;
    }
    double cell_;
    std::vector<std::pair<std::uint64_t, std::size_t>> order_;
};
