// The off-screen 800 x 600 frame that the drawing benchmarks share: a
// headless renderer, the camera at the distance a new window would choose,
// the trackball tilted as the window starts, and a target to draw into.
#pragma once
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "automata.h"
#include "headlessrenderer.h"
#include "offscreentarget.h"

namespace bench {

constexpr int kFrameWidth = 800, kFrameHeight = 600;

// The camera distance a new window picks for the automaton's extent (the
// denominator is the sine of the half field of view).
inline double startCameraDistance(const Automaton& a) {
    return -1.1111111111111112 * extent(a) / 0.3826834323650898;
}

class OffscreenFrame {
  public:
    OffscreenFrame() { ball.setWindowSize(kFrameWidth, kFrameHeight); }
    OffscreenFrame(const OffscreenFrame&) = delete;
    OffscreenFrame& operator=(const OffscreenFrame&) = delete;
    ~OffscreenFrame() {
        if (target_) target_->unbind();
    }

    // Makes the renderer; on failure skips the benchmark and returns false.
    bool open(benchmark::State& state) {
        std::string error;
        renderer_ = HeadlessRenderer::create({}, &error);
        if (!renderer_) state.SkipWithError(error.c_str());
        return renderer_ != nullptr;
    }
    void aimAt(const Automaton& a) { settings.camera.cameraDistance = startCameraDistance(a); }
    // Makes the renderer's context current and draws into a fresh target
    // (4x multisampled, or plain with samples 0) from here on; on failure
    // skips the benchmark and returns false.
    bool bind(benchmark::State& state, int samples = 4) {
        std::string error;
        renderer_->makeCurrent();
        target_ = OffscreenTarget::create(kFrameWidth, kFrameHeight, &error, samples);
        if (!target_) {
            state.SkipWithError(error.c_str());
            return false;
        }
        target_->bind();
        return true;
    }
    void draw(Automaton& a) {
        renderer_->frames().drawFrame(a, settings, rig, &ball, kFrameWidth, kFrameHeight);
    }

    HeadlessRenderer& renderer() { return *renderer_; }
    FrameRenderer& frames() { return renderer_->frames(); }

    FrameSettings settings;
    CameraRig rig;
    Arcball ball{0.7, unitquaternion(0.872664625997, {1, 0, 0})};

  private:
    std::unique_ptr<HeadlessRenderer> renderer_;
    std::unique_ptr<OffscreenTarget> target_;
};

}  // namespace bench
