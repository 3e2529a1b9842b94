// Frames and images without a window or display server: a headless EGL
// context with a frame renderer of its own. The command line renders
// through it, and so does "Save image" when the window's render thread has
// not started yet.
//
// Threads: create, use and destroy on one thread, one that has no other
// OpenGL context current while it calls in (the window's user-interface
// thread, the command line's main thread). The context is made current for
// each call and released afterwards.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "framerenderer.h"
#include "headlesscontext.h"

class HeadlessRenderer {
  public:
    // Null with *error (one sentence) when no OpenGL is available.
    static std::unique_ptr<HeadlessRenderer> create(FrameRenderer::Options options,
                                                    std::string* error);
    ~HeadlessRenderer();
    HeadlessRenderer(const HeadlessRenderer&) = delete;
    HeadlessRenderer& operator=(const HeadlessRenderer&) = delete;

    // A frame at width x height on the white background of saved images.
    std::optional<RgbaImage> render(Automaton& a, const FrameSettings& s, CameraRig& rig,
                                    const Arcball* ball, int width, int height,
                                    std::string* error);
    // The same with a clear colour of the caller's (the window's black, for
    // instance).
    std::optional<RgbaImage> render(Automaton& a, const FrameSettings& s, CameraRig& rig,
                                    const Arcball* ball, int width, int height,
                                    const std::array<float, 4>& background, std::string* error);

    // One image with a renderer that lives only for it; it leaves the
    // spheres' display-list bookkeeping alone, so a window that starts later
    // compiles its own lists.
    static std::optional<RgbaImage> renderOnce(Automaton& a, const FrameSettings& s, CameraRig& rig,
                                               const Arcball* ball, int width, int height,
                                               const std::string& documentFolder,
                                               std::string* error);

    FrameRenderer& frames() { return *frames_; }
    bool makeCurrent() { return context_->makeCurrent(); }

  private:
    HeadlessRenderer() = default;
    std::unique_ptr<HeadlessContext> context_;
    std::unique_ptr<FrameRenderer> frames_;
};
