// Frames per second of the renderer: an 800 x 600 frame drawn off-screen,
// from display lists already compiled and with every list compiled anew.
#if __has_include("headlessrenderer.h")
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "automata.h"
#include "headlessrenderer.h"
#include "offscreentarget.h"

namespace {
using namespace bench;
constexpr int kWidth = 800, kHeight = 600;

// Pixels of a frame that differ (by more than a faint shade) between the
// tubes as drawn and tubes with a ring at every sample.
int pixelsOffFullTubes(HeadlessRenderer& renderer, Automaton& a, const FrameSettings& settings,
                       CameraRig& rig, const CBallController& ball) {
    std::string error;
    const auto& black = FrameRenderer::kWindowBackground;
    auto drawn = renderer.render(a, settings, rig, &ball, kWidth, kHeight, black, &error);
    renderer.frames().spheres().setFullTubes(true);
    renderer.frames().spheres().invalidate();
    auto full = renderer.render(a, settings, rig, &ball, kWidth, kHeight, black, &error);
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

void renderFrames(benchmark::State& state, std::unique_ptr<BenchAutomaton> (*make)(),
                  bool recompile) {
    std::string error;
    auto renderer = HeadlessRenderer::create({}, &error);
    if (!renderer) {
        state.SkipWithError(error.c_str());
        return;
    }
    auto a = make();
    reset(*a);
    frameUpdate(*a);
    FrameSettings settings;
    settings.camera.cameraDistance = -1.1111111111111112 * extent(*a) / 0.3826834323650898;
    CameraRig rig;
    CBallController ball(0.7, unitquaternion(0.872664625997, {1, 0, 0}));
    ball.setWindowSize(kWidth, kHeight);
    const int offFull = recompile ? 0 : pixelsOffFullTubes(*renderer, *a, settings, rig, ball);
    renderer->makeCurrent();
    auto target = OffscreenTarget::create(kWidth, kHeight, &error);
    if (!target) {
        state.SkipWithError(error.c_str());
        return;
    }
    target->bind();
    FrameRenderer& frames = renderer->frames();
    frames.drawFrame(*a, settings, rig, &ball, kWidth, kHeight);  // lists compiled once
    const std::size_t triangles = frames.spheres().tubeTriangles();
    for (auto _ : state) {
        if (recompile) frames.spheres().invalidate();
        frames.drawFrame(*a, settings, rig, &ball, kWidth, kHeight);
        glFinish();
    }
    target->unbind();
    target.reset();
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
void BM_RenderFrame_deep_chain(benchmark::State& s) {
    renderFrames(s, deepChain, false);
}
void BM_RenderFrame_deep_chain_recompile(benchmark::State& s) {
    renderFrames(s, deepChain, true);
}
}  // namespace

BENCHMARK(BM_RenderFrame_new_document)->Name("BM_RenderFrame/new_document")->UseRealTime();
BENCHMARK(BM_RenderFrame_new_document_recompile)
    ->Name("BM_RenderFrame/new_document/recompile")
    ->UseRealTime();
BENCHMARK(BM_RenderFrame_deep_chain)->Name("BM_RenderFrame/deep_chain")->UseRealTime();
BENCHMARK(BM_RenderFrame_deep_chain_recompile)
    ->Name("BM_RenderFrame/deep_chain/recompile")
    ->UseRealTime();
#endif

#if __has_include("headlessrenderer.h")
namespace {
using namespace bench;

// From one edit (a sphere's axis turned) to the first frame drawn with the
// new paths: the reset, the path pass, the tube lists compiled again and one
// 800 x 600 frame, off-screen, at the default accuracy.
void editToFrame(benchmark::State& state, std::unique_ptr<BenchAutomaton> (*make)()) {
    std::string error;
    auto renderer = HeadlessRenderer::create({}, &error);
    if (!renderer) {
        state.SkipWithError(error.c_str());
        return;
    }
    auto a = make();
    a->setAccuracy(50);
    reset(*a);
    frameUpdate(*a);
    FrameSettings settings;
    settings.camera.cameraDistance = -1.1111111111111112 * extent(*a) / 0.3826834323650898;
    CameraRig rig;
    CBallController ball(0.7, unitquaternion(0.872664625997, {1, 0, 0}));
    ball.setWindowSize(kWidth, kHeight);
    renderer->makeCurrent();
    auto target = OffscreenTarget::create(kWidth, kHeight, &error);
    if (!target) {
        state.SkipWithError(error.c_str());
        return;
    }
    target->bind();
    FrameRenderer& frames = renderer->frames();
    frames.drawFrame(*a, settings, rig, &ball, kWidth, kHeight);
    Sphere* edited = a->timeMaster;
    for (auto _ : state) {
        edited->axisAngleX = edited->axisAngleX >= 350 ? 0 : edited->axisAngleX + 10;
        reset(*a);
        frameUpdate(*a);
        frames.drawFrame(*a, settings, rig, &ball, kWidth, kHeight);
        glFinish();
    }
    target->unbind();
    target.reset();
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
#endif
