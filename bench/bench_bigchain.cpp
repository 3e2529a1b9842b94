// A long chain as a generative script makes it: 299 spheres, each 99/100 of
// its parent, rates cycling through six pairs of primes, five points each,
// accuracy 100. Building it through the document's construction operations
// (what the Python module calls), `info`, the STL export as the command
// line makes it, and how long a stop request (Ctrl+C: a real SIGINT whose
// handler raises the flag the work polls) takes to be answered in each
// phase of that work.
#if __has_include("pathmesh.h") && __has_include("automatonreport.h")
#include <benchmark/benchmark.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "automatonreport.h"
#include "document.h"
#include "curveinvariants.h"
#include "passstop.h"
#include "pathmesh.h"
#include "placement.h"
#include "sphere.h"

namespace {
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

fs::path scratch(const std::string& name) {
    return fs::temp_directory_path() /
           ("rotundel-bench-" + std::to_string(::getpid()) + "-" + name);
}

// The script's automaton, made as Python's create_child and add_point make
// it, and saved as its save() does.
void buildBigChain(Document& doc) {
    doc.newDocument();
    Sphere* s = doc.findSphereByName("B");
    const Rational rates[] = {{997, 991}, {983, 977}, {971, 967},
                              {953, 947}, {941, 937}, {929, 919}};
    for (int i = 0; i < 297; ++i) {
        doc.selectedSphere = s;
        s = doc.createSphere();
        s->radiusFactor = Rational(99, 100);
        s->rollingRate = rates[i % 6];
        for (int k = 0; k < 5; ++k) s->addPoint(60.0 * k, 90, 1 + k * 0.3);
    }
    doc.pathAccuracy = 100;
    doc.setPathAccuracy();
    doc.applyEdit("Edit", 0, kRewind | kPlace | kFitCamera, [] {});
}

const std::string& bigChainFile() {
    static const std::string path = [] {
        Document doc;
        buildBigChain(doc);
        std::string p = scratch("big.one").string();
        doc.saveDocument(p);
        return p;
    }();
    return path;
}

void BM_BigChain_build(benchmark::State& state) {
    const std::string out = scratch("built.one").string();
    for (auto _ : state) {
        Document doc;
        buildBigChain(doc);
        if (!doc.saveDocument(out)) state.SkipWithError("could not save");
    }
    std::error_code ec;
    fs::remove(out, ec);
}

// `rotundel info big.one`: open, plans, the first frame's paths and curves.
void BM_BigChain_info(benchmark::State& state) {
    const std::string& file = bigChainFile();
    std::size_t bytes = 0;
    for (auto _ : state) {
        Document doc;
        if (!doc.openDocument(file)) state.SkipWithError("could not open");
        bytes = AutomatonReport(doc).text().size();
    }
    state.counters["text_bytes"] = static_cast<double>(bytes);
}

// `rotundel export big.one -o x.stl`: open, the first frame, tubes sized to
// keep clear of themselves, written.
std::size_t exportStl(const std::string& out, const std::atomic<bool>* stop = nullptr) {
    Document doc;
    doc.openDocument(bigChainFile());
    StopScope scope(stop);
    doc.step();
    MeshOptions o;
    o.autoRadius = true;
    PathMesh::write(doc, out, o);
    std::error_code ec;
    return static_cast<std::size_t>(fs::file_size(out, ec));
}

void BM_BigChain_export_stl(benchmark::State& state) {
    const std::string out = scratch("big.stl").string();
    std::size_t bytes = 0;
    for (auto _ : state) bytes = exportStl(out);
    state.counters["triangles"] = static_cast<double>((bytes - 84) / 50);
    state.counters["per_million_triangles_s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * 1e6 / std::max<double>(1, (bytes - 84) / 50.0),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    std::error_code ec;
    fs::remove(out, ec);
}

// --- Ctrl+C ---------------------------------------------------------------

// What Python's handler does while a pass runs: raise the flag the pass
// polls. The moment of the signal is taken in the handler itself.
std::atomic<bool> interrupted{false};
std::atomic<Clock::rep> signalledAt{0};

void onInterrupt(int) {
    signalledAt.store(Clock::now().time_since_epoch().count());
    interrupted.store(true);
}

// Runs work, sends SIGINT to this thread after `after`, and gives the time
// from the signal to work's return (0 when work ended first).
double answerDelay(const std::function<void()>& work, std::chrono::nanoseconds after) {
    struct sigaction ours = {}, old = {};
    ours.sa_handler = onInterrupt;
    sigemptyset(&ours.sa_mask);
    sigaction(SIGINT, &ours, &old);
    interrupted = false;
    signalledAt = 0;
    const pthread_t self = pthread_self();
    std::atomic<bool> done{false};
    std::thread signaller([&] {
        const auto until = Clock::now() + after;
        while (!done && Clock::now() < until) std::this_thread::yield();
        if (!done) pthread_kill(self, SIGINT);
    });
    work();
    const auto returned = Clock::now();
    done = true;
    signaller.join();
    sigaction(SIGINT, &old, nullptr);
    if (!signalledAt.load()) return 0;
    return std::chrono::duration<double>(returned.time_since_epoch() -
                                         Clock::duration(signalledAt.load()))
        .count();
}

// One phase of the work on the big chain, from a freshly opened document;
// before() runs untimed, phase() is what the signal lands in.
struct Phase {
    std::function<void(Document&)> before;
    std::function<void(Document&)> phase;
};

void ctrlC(benchmark::State& state, const Phase& p) {
    // The uninterrupted phase first: the signal lands halfway through it.
    auto timed = [&](bool interrupt, double half) {
        Document doc;
        doc.openDocument(bigChainFile());
        if (p.before) p.before(doc);
        if (!interrupt) {
            const auto t0 = Clock::now();
            StopScope scope(&interrupted);
            p.phase(doc);
            return std::chrono::duration<double>(Clock::now() - t0).count();
        }
        return answerDelay(
            [&] {
                StopScope scope(&interrupted);
                p.phase(doc);
            },
            std::chrono::nanoseconds(static_cast<long long>(half * 1e9)));
    };
    interrupted = false;
    const double whole = timed(false, 0);
    double worst = 0;
    for (auto _ : state) {
        const double delay = timed(true, whole / 2);
        worst = std::max(worst, delay);
        state.SetIterationTime(delay);
    }
    state.counters["phase_s"] = whole;
    state.counters["worst_delay_s"] = worst;
}

void pathsPhase(Document& doc) {
    PathPassControl c;
    c.stop = &interrupted;
    frameUpdate(doc, &c);
}

void BM_BigChain_ctrl_c_paths(benchmark::State& state) {
    ctrlC(state, {nullptr, pathsPhase});
}

void BM_BigChain_ctrl_c_curves(benchmark::State& state) {
    ctrlC(state, {[](Document& d) { frameUpdate(d); },
                  [](Document& d) { benchmark::DoNotOptimize(curveInvariants(d)); }});
}

void BM_BigChain_ctrl_c_info(benchmark::State& state) {
    ctrlC(state, {nullptr, [](Document& d) {
                      try {
                          benchmark::DoNotOptimize(AutomatonReport(d).text());
                      } catch (const PassStopped&) {
                      }
                  }});
}

void BM_BigChain_ctrl_c_export(benchmark::State& state) {
    const std::string out = scratch("stopped.stl").string();
    ctrlC(state, {[](Document& d) { frameUpdate(d); },
                  [out](Document& d) {
                      MeshOptions o;
                      o.autoRadius = true;
                      PathMesh::write(d, out, o);
                  }});
    std::error_code ec;
    fs::remove(out, ec);
}

}  // namespace

BENCHMARK(BM_BigChain_build)->Name("BM_BigChain/build")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BigChain_info)->Name("BM_BigChain/info")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BigChain_export_stl)
    ->Name("BM_BigChain/export_stl")
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
// Wall time from the signal to the return, as the user waits it.
BENCHMARK(BM_BigChain_ctrl_c_paths)
    ->Name("BM_BigChain/ctrl_c/paths")
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BigChain_ctrl_c_curves)
    ->Name("BM_BigChain/ctrl_c/curves")
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BigChain_ctrl_c_info)
    ->Name("BM_BigChain/ctrl_c/info")
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BigChain_ctrl_c_export)
    ->Name("BM_BigChain/ctrl_c/export")
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);
#endif
