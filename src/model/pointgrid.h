// Points sorted into cubes of a given size, for finding the points near a
// place without looking at all of them.
#pragma once

#include <algorithm>
#include <array>
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
    // The cubes around a place as runs of the sorted points, kept by the
    // caller between places in one grid: neighbours along a curve mostly
    // share a cube, and then the runs are not searched for again.
    struct Runs {
        std::uint64_t cube = ~std::uint64_t{0};  // no cube's key
        int count = 0;
        std::array<std::pair<std::size_t, std::size_t>, 27> run;
    };
    // Calls f(index) for every point in the 27 cubes around q.
    template <class F>
    void near(Vec3 q, const F& f) const {
        Runs runs;
        near(q, f, runs);
    }
    template <class F>
    void near(Vec3 q, const F& f, Runs& runs) const {
        const std::uint64_t cube = key(q, 0, 0, 0);
        if (cube != runs.cube) {
            runs.cube = cube;
            runs.count = 0;
            // x is the lowest part of the key: three neighbouring cubes
            // along x are one run of the sorted points, unless the key
            // wraps there.
            for (int dy = -1; dy <= 1; ++dy)
                for (int dz = -1; dz <= 1; ++dz) {
                    const std::uint64_t lo = key(q, -1, dy, dz), hi = key(q, 1, dy, dz);
                    if (lo > hi) {
                        for (int dx = -1; dx <= 1; ++dx)
                            add(runs, key(q, dx, dy, dz), key(q, dx, dy, dz));
                        continue;
                    }
                    add(runs, lo, hi);
                }
        }
        for (int r = 0; r < runs.count; ++r)
            for (std::size_t i = runs.run[r].first; i < runs.run[r].second; ++i)
                f(order_[i].second);
    }

  private:
    void add(Runs& runs, std::uint64_t lo, std::uint64_t hi) const {
        const auto b = std::lower_bound(order_.begin(), order_.end(), lo,
                                        [](const auto& e, std::uint64_t k) { return e.first < k; });
        const auto e = std::upper_bound(b, order_.end(), hi,
                                        [](std::uint64_t k, const auto& x) { return k < x.first; });
        runs.run[static_cast<std::size_t>(runs.count++)] = {
            static_cast<std::size_t>(b - order_.begin()),
            static_cast<std::size_t>(e - order_.begin())};
    }
    std::uint64_t key(Vec3 v, int dx, int dy, int dz) const {
        auto c = [&](double x, int d) {
            // Cubes repeat every 2^21 along each axis; taken round first, a
            // coordinate far out (a hostile file's, or a curve that flies
            // off) still makes a whole number the conversion can hold.
            double q = std::fmod(std::floor(x / cell_), 2097152.0);
            if (!std::isfinite(q)) q = 0;
            return static_cast<std::uint64_t>(static_cast<std::int64_t>(q) + d) & 0x1fffff;
        };
        return c(v.x, dx) | c(v.y, dy) << 21 | c(v.z, dz) << 42;
    }
    double cell_;
    std::vector<std::pair<std::uint64_t, std::size_t>> order_;
};
