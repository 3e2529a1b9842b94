// The arithmetic floor of placing one link at one instant, done naively:
// two sine/cosine pairs, three general 4x4 products and the narrowing of
// the frame to floats. The path pass's cost per sample-link is quoted
// against it, so that both come from the same run on the same machine.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>

#include "geometry.h"

namespace {

Mat4 product(const Mat4& a, const Mat4& b) {
    Mat4 m{};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            double s = 0;
            for (int k = 0; k < 4; ++k) s += a[k * 4 + r] * b[c * 4 + k];
            m[c * 4 + r] = s;
        }
    return m;
}

void BM_Floor(benchmark::State& state) {
    constexpr int kBlock = 4096;
    // A tilted axis and a parent frame, as a link in the middle of a chain has.
    const double az = 0.4, ax = 0.7;
    const Mat4 axis = product(Mat4{std::cos(az), std::sin(az), 0, 0, -std::sin(az), std::cos(az), 0,
                                   0, 0, 0, 1, 0, 0, 0, 0, 1},
                              Mat4{1, 0, 0, 0, 0, std::cos(ax), std::sin(ax), 0, 0, -std::sin(ax),
                                   std::cos(ax), 0, 0, 0, 0, 1});
    const Mat4 parent = product(axis, axis);
    double seconds = 0;
    float sink = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        for (int k = 0; k < kBlock; ++k) {
            // Revolutions of a link over one period, spin three times as fast.
            double e = k * (7.0 / kBlock);
            double revolution = 360.0 * e, spin = 3.0 * 360.0 * e;
            double sr = spin * kDegToRad, delta = (revolution - spin) * kDegToRad;
            double cs = std::cos(sr), ss = std::sin(sr);
            double cd = std::cos(delta), sd = std::sin(delta);
            Mat4 rz{cs, ss, 0, 0, -ss, cs, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
            Mat4 t = identityMatrix();
            t[12] = 1.5 * cd;
            t[13] = 1.5 * sd;
            Mat4f f = narrow(product(product(product(parent, axis), rz), t));
            benchmark::DoNotOptimize(f);
            sink += f[12];
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    benchmark::DoNotOptimize(sink);
    state.counters["ns_per_sample_link"] = seconds * 1e9 / (double(state.iterations()) * kBlock);
}

}  // namespace

BENCHMARK(BM_Floor)->UseRealTime();
