// Tracks and plotter pages on automata whose paths wind millions of times
// a period (where the work before any budget used to be unbounded), and
// the polyline simplification against Douglas-Peucker on a curve that
// winds evenly (where splitting at the worst vertex is quadratic).
#if __has_include("sandtrack.h")
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <utility>
#include <vector>

#include "automata.h"
#include "plottersvg.h"
#include "pointpaths.h"
#include "polylinesimplify.h"
#include "sandtrack.h"

namespace {
using namespace bench;

// The new document with B's radius 4653057/2: the path closes 4.65
// million times a period and is sampled a million times.
std::unique_ptr<BenchAutomaton> hugeRadius() {
    auto a = std::make_unique<BenchAutomaton>();
    Sphere& r = a->add(nullptr, Rational(1, 2));
    a->add(&r, Rational(4653057, 2));
    return a;
}

// Epicycles: B rolling 9973 times as fast, C at a thousandth of B's size
// at 7/29919 of its rate.
std::unique_ptr<BenchAutomaton> fastEpicycles() {
    auto a = std::make_unique<BenchAutomaton>();
    Sphere& r = a->add(nullptr, Rational(1, 2));
    Sphere& b = a->add(&r, Rational(1, 2));
    b.rollingRate = Rational(9973, 1);
    Sphere& c = a->add(&b, Rational(1, 1000));
    c.rollingRate = Rational(7, 29919);
    return a;
}

template <typename Make>
void track(benchmark::State& state, Make make) {
    auto a = make();
    reset(*a);
    pathPass(*a);
    std::size_t pairs = 0;
    for (auto _ : state) {
        SandTrackResult r = SandTrack::track(*a, {});
        pairs = r.pairs.size();
        benchmark::DoNotOptimize(r);
    }
    state.counters["pairs"] = static_cast<double>(pairs);
}

template <typename Make>
void page(benchmark::State& state, Make make) {
    auto a = make();
    reset(*a);
    pathPass(*a);
    std::size_t nodes = 0;
    double before = 0, after = 0;
    for (auto _ : state) {
        PlotterDrawing d = PlotterSvg::draw(*a, {});
        nodes = 0;
        for (const auto& l : d.layers)
            for (const auto& p : l.paths) nodes += p.nodes.size();
        before = d.travelBefore, after = d.travelAfter;
        benchmark::DoNotOptimize(d);
    }
    state.counters["nodes"] = static_cast<double>(nodes);
    state.counters["travel_after_per_before"] = before > 0 ? after / before : 1;
}

void BM_Track_huge_radius(benchmark::State& s) {
    track(s, hugeRadius);
}
void BM_Track_fast_epicycles(benchmark::State& s) {
    track(s, fastEpicycles);
}
void BM_Track_deep_chain(benchmark::State& s) {
    track(s, deepChain);
}
void BM_PlotterPage_huge_radius(benchmark::State& s) {
    page(s, hugeRadius);
}
void BM_PlotterPage_fast_epicycles(benchmark::State& s) {
    page(s, fastEpicycles);
}
void BM_PlotterPage_wide_tree(benchmark::State& s) {
    page(s, wideTree);
}

// A rose that winds evenly: every vertex stands off the chord of any long
// stretch, so Douglas-Peucker splits one vertex at a time off the end.
std::vector<Point2> rose(std::size_t n) {
    std::vector<Point2> v(n + 1);
    for (std::size_t k = 0; k <= n; ++k) {
        const double t = 2 * std::numbers::pi * double(k) / double(n);
        v[k] = {std::cos(t) * (1 + 0.3 * std::cos(40 * t)),
                std::sin(t) * (1 + 0.3 * std::cos(40 * t))};
    }
    return v;
}

// The simplification this program used before, kept as the reference.
std::vector<std::size_t> douglasPeucker(std::size_t last, double tolerance,
                                        const SimplifyDeviation& deviation) {
    std::vector<char> keep(last + 1, 0);
    keep[0] = keep[last] = 1;
    std::vector<std::pair<std::size_t, std::size_t>> open{{0, last}};
    while (!open.empty()) {
        auto [i, j] = open.back();
        open.pop_back();
        double worst = -1;
        std::size_t at = i;
        for (std::size_t k = i + 1; k < j; ++k) {
            double d = deviation(i, j, k);
            if (!(d <= worst)) worst = std::isnan(d) ? INFINITY : d, at = k;
        }
        if (at == i || worst <= tolerance) continue;
        if (std::isinf(worst)) at = i + (j - i) / 2;
        keep[at] = 1;
        open.push_back({i, at});
        open.push_back({at, j});
    }
    std::vector<std::size_t> kept;
    for (std::size_t k = 0; k <= last; ++k)
        if (keep[k]) kept.push_back(k);
    return kept;
}

// A steep power curve: every stretch of it is the whole curve scaled, its
// worst vertex beside the stretch's end, so Douglas-Peucker splits off one
// vertex at a time (quadratic) where a tolerance keeps them all.
std::vector<Point2> power(std::size_t n) {
    std::vector<Point2> v(n + 1);
    for (std::size_t k = 0; k <= n; ++k) {
        const double x = double(k) / double(n);
        v[k] = {x, std::pow(x, 8)};
    }
    return v;
}

template <bool kGreedy, bool kPower = false>
void simplify(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    const std::vector<Point2> v = kPower ? power(n) : rose(n);
    auto deviation = [&v](std::size_t i, std::size_t j, std::size_t k) {
        return segmentDistance(v[k], v[i], v[j]);
    };
    std::size_t kept = 0;
    for (auto _ : state) {
        const double tolerance = kPower ? 1e-13 : 1e-4;
        auto k = kGreedy ? simplifyPolyline(n, tolerance, deviation)
                         : douglasPeucker(n, tolerance, deviation);
        kept = k.size();
        benchmark::DoNotOptimize(k);
    }
    state.counters["kept"] = static_cast<double>(kept);
    state.counters["per_vertex"] =
        benchmark::Counter(static_cast<double>(n) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
void BM_Simplify_greedy(benchmark::State& s) {
    simplify<true>(s);
}
void BM_Simplify_douglas_peucker(benchmark::State& s) {
    simplify<false>(s);
}
void BM_Simplify_greedy_power(benchmark::State& s) {
    simplify<true, true>(s);
}
void BM_Simplify_douglas_peucker_power(benchmark::State& s) {
    simplify<false, true>(s);
}
}  // namespace

BENCHMARK(BM_Track_huge_radius)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Track_fast_epicycles)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Track_deep_chain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlotterPage_huge_radius)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_PlotterPage_fast_epicycles)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_PlotterPage_wide_tree)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Simplify_greedy)
    ->Arg(1 << 12)
    ->Arg(1 << 15)
    ->Arg(1 << 18)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Simplify_douglas_peucker)
    ->Arg(1 << 12)
    ->Arg(1 << 15)
    ->Arg(1 << 18)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Simplify_greedy_power)->Arg(1 << 12)->Arg(1 << 14)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Simplify_douglas_peucker_power)
    ->Arg(1 << 12)
    ->Arg(1 << 14)
    ->Unit(benchmark::kMillisecond);
#endif
