// The rolling animation's frames against the still picture's, the STL
// export of the deep chain's tubes against its path pass, printable solids
// of every example at 100 mm, and movie frames rendered and encoded per
// second.
#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "document.h"
#include "movierecorder.h"
#include "offscreenframe.h"
#include "pathmesh.h"
#include "rollingtimeline.h"

namespace {
using namespace bench;
namespace fs = std::filesystem;

// One frame of the rolling animation as the render thread makes it: the
// placement at the next instant and the frame with partly traced tubes
// (the rest faint), or with the whole paths (what the still frame draws,
// from buffers instead of lists). Compare with BM_RenderFrame/deep_chain.
void rollingFrames(benchmark::State& state, bool faint, bool whole) {
    OffscreenFrame f;
    if (!f.open(state)) return;
    auto a = deepChain();
    reset(*a);
    frameUpdate(*a);
    f.aimAt(*a);
    if (!f.bind(state)) return;
    RollingTimeline timeline(*a);
    double fraction = 0;
    DrawOptions::Rolling rolling;
    rolling.faintRest = faint;
    rolling.pathShown = [&](const Sphere& s) {
        return whole ? 1.0 : timeline.pathShown(s, fraction);
    };
    f.settings.rolling = &rolling;
    f.draw(*a);  // buffers filled once
    for (auto _ : state) {
        fraction += 1.0 / 600;  // one minute of frames at 10 s a period
        timeline.place(*a, fraction);
        f.draw(*a);
        glFinish();
    }
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

// The printable solid (STL) of an example at --size 100mm and every other
// option at its default, from paths already computed: the radius, centre
// lines, level set, mesh and file. Counters: the file's triangles and the
// process's peak resident memory so far (run one example alone, with
// --benchmark_filter, for its own peak).
void printSolid(benchmark::State& state, const std::string& document) {
    Document doc;
    if (!doc.openDocument(document).ok) {
        state.SkipWithError("the example could not be opened");
        return;
    }
    doc.step();
    MeshOptions options;
    options.sizeMillimetres = 100;
    const fs::path out =
        fs::temp_directory_path() / ("rotundel-bench-" + std::to_string(::getpid()) + ".stl");
    for (auto _ : state) {
        std::string error = PathMesh::write(doc, out.string(), options);
        if (!error.empty()) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
    std::ifstream stl(out, std::ios::binary);
    char header[84] = {};
    stl.read(header, sizeof header);
    std::uint32_t triangles = 0;
    std::memcpy(&triangles, header + 80, 4);
    state.counters["triangles"] = triangles;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024;
    std::error_code ec;
    fs::remove(out, ec);
}

[[maybe_unused]] const bool kPrintSolids = [] {
    std::error_code ec;
    std::vector<fs::path> examples;
    for (const auto& e : fs::directory_iterator(ROTUNDEL_EXAMPLES, ec))
        if (e.path().extension() == ".one") examples.push_back(e.path());
    std::sort(examples.begin(), examples.end());
    for (const fs::path& p : examples)
        benchmark::RegisterBenchmark(("BM_PrintSolid/" + p.stem().string()).c_str(),
                                     [p](benchmark::State& s) { printSolid(s, p.string()); })
            ->MeasureProcessCPUTime()
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
    return true;
}();

// Movie frames of the new document at 640 x 480: each frame's update,
// rendering, read-back and H.264 encoding.
void BM_MovieFrames_new_document(benchmark::State& state) {
    constexpr int kFrames = 25;
    auto a = newDocument();
    reset(*a);
    a->root->firstChild()->dynamic = 1;  // every frame a new picture
    a->root->firstChild()->dynamicAxisX = 1;
    FrameSettings settings;
    settings.camera.cameraDistance = startCameraDistance(*a);
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
