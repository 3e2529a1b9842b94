// Path pass and frame update costs on automata of three shapes.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>

#include "placement.h"
#include "pointpaths.h"
#include "relations.h"

namespace {

struct BenchAutomaton : Automaton {
    ~BenchAutomaton() override {
        destroyInProgress = destroyingEverything = 1;
        if (root) {
            markDoomed(*this, *root);
            destroySubtree(*this, root);
        }
    }
    Sphere& add(Sphere* parent, Rational factor) {
        Sphere* s = new Sphere(std::to_string(sphereCount));
        s->document = this;
        sphereTable[static_cast<std::size_t>(sphereCount++)] = s;
        s->radiusFactor = factor;
        s->addPoint(0, 0, 0);
        if (!root) {
            root = radiusRoot = stationarySphere = s;
            return *s;
        }
        attach(*s, *parent, kParent);
        attach(*s, *parent, kRadius);
        if (!timeMaster)
            timeMaster = s;
        else
            attach(*s, *timeMaster, kTime);
        return *s;
    }
    void setAccuracy(int accuracy) {
        pathStep = 0.0001 + (100 - accuracy) / 100.0 * (0.5 - 0.0001);
    }
};

std::unique_ptr<BenchAutomaton> newDocument() {
    auto a = std::make_unique<BenchAutomaton>();
    Sphere& r = a->add(nullptr, Rational(1, 2));
    a->add(&r, Rational(1, 2));
    return a;
}

std::unique_ptr<BenchAutomaton> deepChain() {
    auto a = std::make_unique<BenchAutomaton>();
    Sphere* s = &a->add(nullptr, Rational(1));
    const Rational factors[] = {{1, 2}, {2, 3}, {3, 5}, {1, 2}, {3, 4}, {2, 3}};
    for (int i = 0; i < 6; ++i) {
        s = &a->add(s, factors[i]);
        s->axisAngleZ = 15.0 * (i + 1);
        s->axisAngleX = 20.0 * (i + 1);
        s->inside = short(i % 3 == 2);
        for (int p = 1; p < 4; ++p) s->addPoint(30.0 * p, 45.0 * p, 1 + p % 2);
    }
    a->setAccuracy(100);
    return a;
}

std::unique_ptr<BenchAutomaton> wideTree() {
    auto a = std::make_unique<BenchAutomaton>();
    Sphere& r = a->add(nullptr, Rational(1));
    int made = 1;
    for (int i = 0; i < 4 && made < 20; ++i) {
        Sphere& c = a->add(&r, Rational(1, 2 + i % 2));
        c.axisAngleX = 30.0 * i;
        ++made;
        for (int j = 0; j < 3 && made < 20; ++j) {
            Sphere& g = a->add(&c, Rational(1, 3));
            g.axisAngleZ = 40.0 * j;
            g.rollingRate = Rational(j + 1, 2);
            ++made;
            if (made < 20) {
                a->add(&g, Rational(1, 2)).inside = 1;
                ++made;
            }
        }
    }
    for (auto* s : treeSpheres(*a))
        while (s->pointCount() < 3) s->addPoint(60.0 * s->pointCount(), 30, 1);
    a->setAccuracy(80);
    return a;
}

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
