// The invariants of every traced point against the path pass they follow.
#include <benchmark/benchmark.h>

#include <chrono>

#include "automata.h"
#include "curvedesign.h"
#include "curveinvariants.h"
#include "pointpaths.h"

namespace {
using namespace bench;

// Each iteration makes the path pass and then the invariants, timed apart
// so that the machine's ups and downs touch both alike; the time reported
// is the invariants', the counter "of_path_pass" their share of the pass.
void BM_Invariants_deep_chain(benchmark::State& state) {
    auto a = deepChain();
    double pass = 0, invariants = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        reset(*a);
        pathPass(*a);
        auto t1 = std::chrono::steady_clock::now();
        auto curves = curveInvariants(*a);
        benchmark::DoNotOptimize(curves.data());
        auto t2 = std::chrono::steady_clock::now();
        pass += std::chrono::duration<double>(t1 - t0).count();
        double d = std::chrono::duration<double>(t2 - t1).count();
        invariants += d;
        state.SetIterationTime(d);
    }
    state.counters["of_path_pass"] = invariants / pass;
}

void BM_SymmetricChains(benchmark::State& state) {
    for (auto _ : state) {
        auto chains =
            symmetricChains(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), 12);
        benchmark::DoNotOptimize(chains.data());
    }
}

}  // namespace

BENCHMARK(BM_Invariants_deep_chain)
    ->Name("BM_Invariants/deep_chain")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SymmetricChains)
    ->Name("BM_SymmetricChains")
    ->Args({5, 3})
    ->Args({24, 3})
    ->Args({24, 4})
    ->Args({7, 2})
    ->Unit(benchmark::kMillisecond);
