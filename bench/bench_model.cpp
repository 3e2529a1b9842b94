// Path pass and frame update costs on automata of three shapes.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>

#include "automata.h"
#include "pointpaths.h"
#include "tubemesh.h"

namespace {
using namespace bench;

void pathPassBench(benchmark::State& state, std::unique_ptr<BenchAutomaton> (*make)(),
                   unsigned threads = 0) {
    PathPassControl control;
    control.threads = threads;
    auto a = make();
    double samples = 0, sampleLinks = 0;
    double seconds = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        reset(*a);
        PathPassResult r = pathPass(*a, &control);
        benchmark::DoNotOptimize(r.samples);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        samples = double(r.samples);
    }
    // What was actually sampled (the memory budget may have capped it).
    sampleLinks = 0;
    for (Sphere* s : treeSpheres(*a)) {
        if (s == a->stationarySphere || s->points.empty()) continue;
        sampleLinks += double(s->points[0].path.size()) * double(findPathList(*a, *s).size() - 1);
    }
    state.counters["samples"] = samples;
    state.counters["samples_per_second"] =
        benchmark::Counter(samples, benchmark::Counter::kIsIterationInvariantRate);
    // Wall-clock nanoseconds per placement of one sphere of a path list at
    // one instant (tube work for the points included).
    state.counters["ns_per_sample_link"] =
        seconds * 1e9 / (double(state.iterations()) * sampleLinks);
}

void BM_PathPass_new_document(benchmark::State& s) {
    pathPassBench(s, newDocument);
}
void BM_PathPass_deep_chain(benchmark::State& s) {
    pathPassBench(s, deepChain);
}
void BM_PathPass_wide_tree(benchmark::State& s) {
    pathPassBench(s, wideTree);
}
// The same work on one thread: the per-core cost.
void BM_PathPass_deep_chain_one_core(benchmark::State& s) {
    pathPassBench(s, deepChain, 1);
}
void BM_PathPass_wide_tree_one_core(benchmark::State& s) {
    pathPassBench(s, wideTree, 1);
}

void BM_FrameUpdate_dynamic(benchmark::State& state) {
    auto a = newDocument();
    Sphere* b = a->timeMaster;
    b->dynamic = b->dynamicAxisZ = b->dynamicAxisX = 1;
    b->addPoint(30, 60, 1);
    for (auto _ : state) {
        PathPassResult r = frameUpdate(*a);
        benchmark::DoNotOptimize(r.samples);
    }
}

}  // namespace

BENCHMARK(BM_PathPass_new_document)->Name("BM_PathPass/new_document")->UseRealTime();
BENCHMARK(BM_PathPass_deep_chain)
    ->Name("BM_PathPass/deep_chain")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PathPass_wide_tree)
    ->Name("BM_PathPass/wide_tree")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PathPass_deep_chain_one_core)
    ->Name("BM_PathPass/deep_chain/one_core")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PathPass_wide_tree_one_core)
    ->Name("BM_PathPass/wide_tree/one_core")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameUpdate_dynamic)->Name("BM_FrameUpdate/dynamic")->UseRealTime();

namespace {
// Building the tubes that the drawing compiles into its lists (no OpenGL):
// the centre lines thinned and interpolated, the frames carried round and
// the rings laid out, for every point of the automaton.
void tubeBuild(benchmark::State& state, std::unique_ptr<BenchAutomaton> (*make)(), int accuracy) {
    auto a = make();
    a->setAccuracy(accuracy);
    reset(*a);
    frameUpdate(*a);
    double samples = 0, triangles = 0;
    for (auto _ : state) {
        samples = triangles = 0;
        for (Sphere* s : treeSpheres(*a))
            for (const auto& p : s->points) {
                TubeMesh mesh = closedTube(p.path, tubeSettingsFor(s->radius));
                samples += double(p.path.size());
                triangles += double(mesh.triangleCount());
                benchmark::DoNotOptimize(mesh.vertices.data());
            }
    }
    state.counters["tube_triangles"] = triangles;
    state.counters["seconds_per_sample"] = benchmark::Counter(
        samples, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
void BM_TubeBuild_deep_chain(benchmark::State& s) {
    tubeBuild(s, deepChain, 100);
}
void BM_TubeBuild_deep_chain_default(benchmark::State& s) {
    tubeBuild(s, deepChain, 50);
}
}  // namespace
BENCHMARK(BM_TubeBuild_deep_chain)
    ->Name("BM_TubeBuild/deep_chain")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TubeBuild_deep_chain_default)
    ->Name("BM_TubeBuild/deep_chain/default_accuracy")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
