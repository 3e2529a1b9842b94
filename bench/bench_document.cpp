// Costs of the document's file work: reading and writing a full table of
// 300 spheres, the undo history's snapshots of it, creating spheres, and
// writing the CSV of computed paths; the path pass of the deep-chain example
// on one thread, as the page in the browser times it.
#include <benchmark/benchmark.h>

#include <string>

#include "document.h"
#include "onefile.h"
#include "pathcsv.h"
#include "placement.h"
#include "pointpaths.h"
#include "sphere.h"

namespace {

// 300 spheres: a root with 299 children, each with six points.
std::string fullTable() {
    Document doc;
    doc.newDocument();
    for (int i = 2; i < Document::kTableSize; ++i) {
        doc.selectSphere(doc.root);
        Sphere* s = doc.createSphere();
        for (int p = 1; p < 6; ++p) s->addPoint(p * 10.0, p * 5.0, 1.0);
    }
    return OneFile::write(doc);
}

void BM_ReadFullTable(benchmark::State& state) {
    const std::string bytes = fullTable();
    for (auto _ : state) {
        Document doc;
        OneFile::read(std::string_view(bytes), doc);
        benchmark::DoNotOptimize(doc.root);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ReadFullTable)->Unit(benchmark::kMicrosecond);

void BM_WriteFullTable(benchmark::State& state) {
    Document doc;
    OneFile::read(std::string_view(fullTable()), doc);
    std::size_t size = 0;
    for (auto _ : state) {
        std::string bytes = OneFile::write(doc);
        size = bytes.size();
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}
BENCHMARK(BM_WriteFullTable)->Unit(benchmark::kMicrosecond);

// Every edit takes two snapshots (before and after), a slider drag one
// pair per step it moves; an undo or redo restores one.
void BM_SnapshotFullTable(benchmark::State& state) {
    Document doc;
    OneFile::read(std::string_view(fullTable()), doc);
    for (auto _ : state) {
        DocSnapshot snap = doc.takeSnapshot();
        benchmark::DoNotOptimize(snap.bytes.data());
    }
    state.SetItemsProcessed(state.iterations() * doc.sphereCount);
}
BENCHMARK(BM_SnapshotFullTable)->Unit(benchmark::kMicrosecond);

void BM_RestoreFullTable(benchmark::State& state) {
    Document doc;
    OneFile::read(std::string_view(fullTable()), doc);
    const DocSnapshot snap = doc.takeSnapshot();
    for (auto _ : state) {
        doc.restoreSnapshot(snap);
        benchmark::DoNotOptimize(doc.root);
    }
    state.SetItemsProcessed(state.iterations() * doc.sphereCount);
}
BENCHMARK(BM_RestoreFullTable)->Unit(benchmark::kMicrosecond);

// Each creation places the whole automaton again and refits the camera.
void BM_CreateUnderRoot(benchmark::State& state) {
    const int spheres = static_cast<int>(state.range(0));
    for (auto _ : state) {
        Document doc;
        doc.newDocument();
        for (int i = 2; i < spheres; ++i) {
            doc.selectSphere(doc.root);
            doc.createSphere();
        }
        benchmark::DoNotOptimize(doc.sphereCount);
    }
}
BENCHMARK(BM_CreateUnderRoot)->Arg(50)->Arg(300)->Unit(benchmark::kMillisecond);

void BM_PathCsv(benchmark::State& state) {
    Document doc;
    doc.newDocument();
    doc.pathAccuracy = 100;
    doc.setPathAccuracy();
    doc.selectedSphere->setRadiusFactor(3, 7);
    doc.createSphere()->setRadiusFactor(2, 5);
    doc.step();
    std::size_t size = 0;
    for (auto _ : state) {
        size = 0;
        PathCsv::write(doc, [&size](std::string_view t) { size += t.size(); });
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}
BENCHMARK(BM_PathCsv)->Unit(benchmark::kMillisecond);

// The native side of the browser build's ratio: what rotundel_bench_path_pass
// does in the page, on the same file.
void BM_PathPassDeepChainExample(benchmark::State& state) {
    Document doc;
    if (!doc.openDocument(std::string(ROTUNDEL_EXAMPLES) + "/deep-chain.one")) {
        state.SkipWithError("examples/deep-chain.one cannot be read");
        return;
    }
    PathPassControl control;
    control.threads = 1;
    for (auto _ : state) {
        reset(doc);
        benchmark::DoNotOptimize(pathPass(doc, &control).samples);
    }
}
BENCHMARK(BM_PathPassDeepChainExample)
    ->Name("BM_PathPass/deep_chain_example/one_core")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
