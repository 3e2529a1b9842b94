// How soon a busy render thread gives way to a newer scene: a thread draws
// frames of the starter automaton with B a thousand times A's size (its
// sphere fills the frame, its path has the most samples the budget allows),
// building the tubes anew each frame; at a random moment a stop is asked
// for, and the time until the thread has stopped drawing is one iteration.
// "answering" frames look at the request as the window's do; "whole_frame"
// ones do not.
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
#include "sphere.h"

namespace {
using namespace bench;
using Clock = std::chrono::steady_clock;

void pauseAnswer(benchmark::State& state, bool answering) {
    Document doc;
    doc.newDocument();
    doc.selectedSphere->setRadiusFactor(1000999, 1000);
    reset(doc);
    frameUpdate(doc);

    std::atomic<bool> wanted{false}, parked{false}, quit{false}, ready{false}, failed{false};
    std::thread render([&] {
        OffscreenFrame f;
        if (!f.open(state) || !f.bind(state)) {
            failed = true;
            ready = true;
            return;
        }
        f.aimAt(doc);
        if (answering) f.settings.stop = [&wanted] { return wanted.load(); };
        ready = true;
        while (!quit) {
            if (wanted) {
                parked = true;
                while (wanted && !quit) std::this_thread::sleep_for(std::chrono::microseconds(50));
                parked = false;
                continue;
            }
            f.frames().spheres().invalidate();  // the tubes are built anew
            // As the window does: a frame given up is not waited for.
            if (f.frames().drawFrame(doc, f.settings, f.rig, &f.ball, kFrameWidth, kFrameHeight))
                glFinish();
        }
    });
    while (!ready) std::this_thread::yield();
    std::mt19937 rng(7);
    double worst = 0;
    for (auto _ : state) {
        if (failed) break;
        // Somewhere inside a frame.
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::uniform_int_distribution<int>(1, 80)(rng)));
        const auto asked = Clock::now();
        wanted = true;
        while (!parked) std::this_thread::sleep_for(std::chrono::microseconds(50));
        const double waited = std::chrono::duration<double>(Clock::now() - asked).count();
        state.SetIterationTime(waited);
        worst = std::max(worst, waited);
        wanted = false;
        while (parked) std::this_thread::yield();
    }
    quit = true;
    render.join();
    state.counters["worst_ms"] = worst * 1e3;
}

void BM_PauseAnswer_answering(benchmark::State& s) {
    pauseAnswer(s, true);
}
void BM_PauseAnswer_whole_frame(benchmark::State& s) {
    pauseAnswer(s, false);
}
}  // namespace

BENCHMARK(BM_PauseAnswer_answering)
    ->Name("BM_PauseAnswer/huge_sphere/answering")
    ->UseManualTime()
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PauseAnswer_whole_frame)
    ->Name("BM_PauseAnswer/huge_sphere/whole_frame")
    ->UseManualTime()
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);
