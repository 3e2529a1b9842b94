// Frames per second of the renderer: an 800 x 600 frame drawn off-screen,
// from tube buffers already built and with every buffer built anew; moving
// frames without samples, still ones with four.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "offscreenframe.h"

namespace {
using namespace bench;

// Pixels of a frame that differ (by more than a faint shade) between the
// tubes as drawn and tubes with a ring at every sample.
int pixelsOffFullTubes(OffscreenFrame& f, Automaton& a) {
    std::string error;
    const auto& black = FrameRenderer::kWindowBackground;
    HeadlessRenderer& renderer = f.renderer();
    auto drawn =
        renderer.render(a, f.settings, f.rig, &f.ball, kFrameWidth, kFrameHeight, black, &error);
    renderer.frames().spheres().setFullTubes(true);
    renderer.frames().spheres().invalidate();
    auto full =
        renderer.render(a, f.settings, f.rig, &f.ball, kFrameWidth, kFrameHeight, black, &error);
    renderer.frames().spheres().setFullTubes(false);
    renderer.frames().spheres().invalidate();
    if (!drawn || !full) return -1;
    int off = 0;
    for (std::size_t i = 0; i < drawn->pixels.size(); i += 4) {
        int d = 0;
        for (std::size_t c = 0; c < 3; ++c)
            d = std::max(d, std::abs(int(drawn->pixels[i + c]) - int(full->pixels[i + c])));
        if (d > 48) ++off;
    }
    return off;
}

// samples: 0 for the frames of a moving picture, 4 for the still one.
void renderFrames(benchmark::State& state, std::unique_ptr<BenchAutomaton> (*make)(),
                  bool recompile, int samples = 4) {
    OffscreenFrame f;
    if (!f.open(state)) return;
    auto a = make();
    reset(*a);
    frameUpdate(*a);
    f.aimAt(*a);
    const int offFull = recompile ? 0 : pixelsOffFullTubes(f, *a);
    if (!f.bind(state, samples)) return;
    f.draw(*a);  // tube buffers built once
    const std::size_t triangles = f.frames().spheres().tubeTriangles();
    for (auto _ : state) {
        if (recompile) f.frames().spheres().invalidate();
        f.draw(*a);
        glFinish();
    }
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["tube_triangles"] = static_cast<double>(triangles);
    if (!recompile) state.counters["pixels_off_full_tubes"] = offFull;
}

void BM_RenderFrame_new_document(benchmark::State& s) {
    renderFrames(s, newDocument, false);
}
void BM_RenderFrame_new_document_recompile(benchmark::State& s) {
    renderFrames(s, newDocument, true);
}
void BM_RenderFrame_deep_chain_moving(benchmark::State& s) {
    renderFrames(s, deepChain, false, 0);
}
void BM_RenderFrame_deep_chain_still(benchmark::State& s) {
    renderFrames(s, deepChain, false, 4);
}
void BM_RenderFrame_deep_chain_recompile(benchmark::State& s) {
    renderFrames(s, deepChain, true);
}
}  // namespace

BENCHMARK(BM_RenderFrame_new_document)->Name("BM_RenderFrame/new_document")->UseRealTime();
BENCHMARK(BM_RenderFrame_new_document_recompile)
    ->Name("BM_RenderFrame/new_document/recompile")
    ->UseRealTime();
BENCHMARK(BM_RenderFrame_deep_chain_moving)
    ->Name("BM_RenderFrame/deep_chain/moving")
    ->UseRealTime();
BENCHMARK(BM_RenderFrame_deep_chain_still)->Name("BM_RenderFrame/deep_chain/still")->UseRealTime();
BENCHMARK(BM_RenderFrame_deep_chain_recompile)
    ->Name("BM_RenderFrame/deep_chain/recompile")
    ->UseRealTime();

namespace {
using namespace bench;

// From one edit (a sphere's axis turned) to the first frame drawn with the
// new paths: the reset, the path pass, the tube buffers built again and one
// 800 x 600 frame at moving quality (no samples), off-screen, at the default
// accuracy.
void editToFrame(benchmark::State& state, std::unique_ptr<BenchAutomaton> (*make)()) {
    OffscreenFrame f;
    if (!f.open(state)) return;
    auto a = make();
    a->setAccuracy(50);
    reset(*a);
    frameUpdate(*a);
    f.aimAt(*a);
    if (!f.bind(state, 0)) return;
    f.draw(*a);
    Sphere* edited = a->timeMaster;
    for (auto _ : state) {
        edited->axisAngleX = edited->axisAngleX >= 350 ? 0 : edited->axisAngleX + 10;
        reset(*a);
        frameUpdate(*a);
        f.draw(*a);
        glFinish();
    }
}

void BM_EditToFrame_new_document(benchmark::State& s) {
    editToFrame(s, newDocument);
}
void BM_EditToFrame_deep_chain(benchmark::State& s) {
    editToFrame(s, deepChain);
}
}  // namespace

BENCHMARK(BM_EditToFrame_new_document)
    ->Name("BM_EditToFrame/new_document")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EditToFrame_deep_chain)
    ->Name("BM_EditToFrame/deep_chain")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
