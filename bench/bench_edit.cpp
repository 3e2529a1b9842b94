// From an edit to the frame that shows it, on an automaton whose paths take
// seconds: B a thousand times A's size with six points, and a child of B.
// A render thread loops as the window's does (serve a pause by parking,
// otherwise Step and draw an 800 x 600 frame off-screen, giving up for a
// pause); at a random moment the UI side makes an edit (pause, turn B's axis,
// place, resume), and the time until the next frame is on the screen is one
// iteration. "heavy" draws the spheres as they stand right after the edit
// and computes the paths from the frame after; "heavy/paths_first" waits for
// the path pass and its tubes before showing anything, as the window did.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "document.h"
#include "offscreenframe.h"
#include "placement.h"
#include "renderlink.h"
#include "sphere.h"

namespace {
using namespace bench;
using Clock = std::chrono::steady_clock;

class BenchLink : public RenderLink {
  public:
    std::mutex& requestLock() override { return lock_; }
    bool docUpdateRequested() const override { return docUpdate_; }
    void setDocUpdateRequest(bool on) override { docUpdate_ = on; }
    void setTextureAssignmentRequest(bool) override {}
    AutoResetEvent& docUpdateWaitRender() override { return waitRender_; }
    AutoResetEvent& docUpdateCompleteRender() override { return completeRender_; }
    void showMessage(const std::string&) override {}
    bool takeRequest() {
        std::lock_guard<std::mutex> hold(lock_);
        const bool was = docUpdate_;
        docUpdate_ = false;
        return was;
    }

  private:
    std::mutex lock_;
    bool docUpdate_ = false;
    AutoResetEvent waitRender_{"DocUpdateWaitRender"};
    AutoResetEvent completeRender_{"DocUpdateCompleteRender"};
};

void editToFrameHeavy(benchmark::State& state, bool editFirst) {
    Document doc;
    doc.newDocument();
    Sphere* b = doc.root->firstChild();
    b->setRadiusFactor(1000999, 1000);
    while (b->pointCount() < 6) b->addPoint(30.0 * b->pointCount(), 45, 1);
    doc.selectedSphere = b;
    doc.createSphere();
    reset(doc);
    frameUpdate(doc);

    BenchLink link;
    doc.connectViews(&link, nullptr);
    std::atomic<bool> quit{false}, ready{false}, failed{false};
    std::atomic<long> frames{0};
    std::thread render([&] {
        OffscreenFrame f;
        if (!f.open(state) || !f.bind(state, 0)) {
            failed = true;
            ready = true;
            return;
        }
        f.aimAt(doc);
        f.settings.stop = [&doc] { return doc.pauseWanted(); };
        bool shown = true;
        ready = true;
        while (!quit) {
            if (link.takeRequest()) {
                link.docUpdateWaitRender().signal();
                while (!link.docUpdateCompleteRender().waitFor(std::chrono::milliseconds(50)))
                    if (quit) return;
                shown = !editFirst;
                continue;
            }
            if (!shown) {
                shown = true;
                if (!doc.placeWithoutPaths()) continue;
            } else {
                PathPassResult pass = doc.step();
                if (pass.ran && !pass.completed) continue;
            }
            if (f.frames().drawFrame(doc, f.settings, f.rig, &f.ball, kFrameWidth, kFrameHeight)) {
                glFinish();
                ++frames;
            }
        }
    });
    doc.renderThreadStarted = 1;
    doc.renderThreadStopped = 0;
    while (!ready) std::this_thread::yield();
    std::mt19937 rng(11);
    double worst = 0;
    for (auto _ : state) {
        if (failed) break;
        // Somewhere inside a path pass or a tube build.
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::uniform_int_distribution<int>(1, 300)(rng)));
        const auto asked = Clock::now();
        const bool paused = doc.renderPause();
        b->axisAngleX = b->axisAngleX >= 350 ? 0 : b->axisAngleX + 10;
        reset(doc);
        doc.pathsUpToDate = 0;
        const long before = frames.load();
        if (paused) doc.renderResume();
        while (frames.load() == before) std::this_thread::sleep_for(std::chrono::microseconds(100));
        const double waited = std::chrono::duration<double>(Clock::now() - asked).count();
        state.SetIterationTime(waited);
        worst = std::max(worst, waited);
    }
    quit = true;
    link.docUpdateCompleteRender().signal();
    render.join();
    doc.renderThreadStopped = 1;
    doc.disconnectViews();
    state.counters["worst_ms"] = worst * 1e3;
}

void BM_EditToFrame_heavy(benchmark::State& s) {
    editToFrameHeavy(s, true);
}
void BM_EditToFrame_heavy_paths_first(benchmark::State& s) {
    editToFrameHeavy(s, false);
}
}  // namespace

BENCHMARK(BM_EditToFrame_heavy)
    ->Name("BM_EditToFrame/heavy")
    ->UseManualTime()
    ->Iterations(12)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EditToFrame_heavy_paths_first)
    ->Name("BM_EditToFrame/heavy/paths_first")
    ->UseManualTime()
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond);
