// The rolling animation's frames against the still picture's, the STL
// export of the deep chain's tubes against its path pass, and movie frames
// rendered and encoded per second.
#if __has_include("movierecorder.h")
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "automata.h"
#include "headlessrenderer.h"
#include "movierecorder.h"
#include "offscreentarget.h"
#include "pathmesh.h"
#include "rollingtimeline.h"

namespace {
using namespace bench;
namespace fs = std::filesystem;
constexpr int kWidth = 800, kHeight = 600;

// One frame of the rolling animation as the render thread makes it: the
// placement at the next instant and the frame with partly traced tubes
// (the rest faint), or with the whole paths (what the still frame draws,
// from buffers instead of lists). Compare with BM_RenderFrame/deep_chain.
void rollingFrames(benchmark::State& state, bool faint, bool whole) {
    std::string error;
    auto renderer = HeadlessRenderer::create({}, &error);
    if (!renderer) {
        state.SkipWithError(error.c_str());
        return;
    }
    auto a = deepChain();
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
    RollingTimeline timeline(*a);
    double fraction = 0;
    DrawOptions::Rolling rolling;
    rolling.faintRest = faint;
    rolling.pathShown = [&](const Sphere& s) {
        return whole ? 1.0 : timeline.pathShown(s, fraction);
    };
    settings.rolling = &rolling;
    FrameRenderer& frames = renderer->frames();
    frames.drawFrame(*a, settings, rig, &ball, kWidth, kHeight);  // buffers filled once
    for (auto _ : state) {
        fraction += 1.0 / 600;  // one minute of frames at 10 s a period
        timeline.place(*a, fraction);
        frames.drawFrame(*a, settings, rig, &ball, kWidth, kHeight);
        glFinish();
    }
    target->unbind();
    target.reset();
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_RollingFrame_deep_chain(benchmark::State& s) {
    rollingFrames(s, true, false);
}
void BM_RollingFrame_deep_chain_whole(benchmark::State& s) {
    rollingFrames(s, false, true);
}

// The tubes of the deep chain at accuracy 100 written as binary STL, from
// paths already computed. Compare with BM_PathPass/deep_chain.
void BM_ExportStl_deep_chain(benchmark::State& state) {
    auto a = deepChain();
    reset(*a);
    frameUpdate(*a);
    fs::path out =
        fs::temp_directory_path() / ("rotundel-bench-" + std::to_string(::getpid()) + ".stl");
    for (auto _ : state) {
        std::string error = PathMesh::write(*a, out.string());
        if (!error.empty()) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
    std::error_code ec;
    state.counters["bytes"] = static_cast<double>(fs::file_size(out, ec));
    fs::remove(out, ec);
}

// The same automaton's path pass, measured the same way (all threads' CPU
// time), as the yardstick of the export.
void BM_ExportStl_baseline(benchmark::State& state) {
    auto a = deepChain();
    for (auto _ : state) {
        reset(*a);
        frameUpdate(*a);
    }
}

// Movie frames of the new document at 640 x 480: each frame's update,
// rendering, read-back and H.264 encoding.
void BM_MovieFrames_new_document(benchmark::State& state) {
    constexpr int kFrames = 25;
    auto a = newDocument();
    reset(*a);
    a->root->firstChild()->dynamic = 1;  // every frame a new picture
    a->root->firstChild()->dynamicAxisX = 1;
    FrameSettings settings;
    settings.camera.cameraDistance = -1.1111111111111112 * extent(*a) / 0.3826834323650898;
    MovieRequest request;
    request.output =
        (fs::temp_directory_path() / ("rotundel-bench-" + std::to_string(::getpid()) + ".mp4"))
            .string();
    request.frames = kFrames;
    request.width = 640;
    request.height = 480;
    request.camera = settings.camera;
    for (auto _ : state) {
        MovieResult r = MovieRecorder::record(*a, settings, nullptr, request);
        if (!r.ok) {
            state.SkipWithError(r.error.c_str());
            break;
        }
    }
    std::error_code ec;
    fs::remove(request.output, ec);
    state.counters["frames_per_second"] = benchmark::Counter(
        static_cast<double>(state.iterations() * kFrames), benchmark::Counter::kIsRate);
}
}  // namespace

BENCHMARK(BM_RollingFrame_deep_chain)->Name("BM_RollingFrame/deep_chain")->UseRealTime();
BENCHMARK(BM_RollingFrame_deep_chain_whole)
    ->Name("BM_RollingFrame/deep_chain/whole_paths")
    ->UseRealTime();
// CPU time of all threads: on a busy machine wall time says little.
BENCHMARK(BM_ExportStl_deep_chain)
    ->Name("BM_ExportStl/deep_chain")
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportStl_baseline)
    ->Name("BM_ExportStl/deep_chain/path_pass")
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MovieFrames_new_document)
    ->Name("BM_MovieFrames/new_document")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
#endif
