// Rendering through a headless context.
#include "headlessrenderer.h"

#include <GL/gl.h>

std::unique_ptr<HeadlessRenderer> HeadlessRenderer::create(FrameRenderer::Options options,
                                                           std::string* error) {
    auto context = HeadlessContext::create(error);
    if (!context) return nullptr;
    std::unique_ptr<HeadlessRenderer> r(new HeadlessRenderer);
    r->context_ = std::move(context);
    FrameRenderer::initialState();
    options.windowBuffers = false;
    r->frames_ = std::make_unique<FrameRenderer>(std::move(options));
    r->context_->doneCurrent();
    return r;
}

HeadlessRenderer::~HeadlessRenderer() {
    // The renderer's lists, quadrics and textures go while their context is
    // current.
    if (context_ && context_->makeCurrent()) {
        frames_.reset();
        context_->doneCurrent();
    }
}

std::optional<RgbaImage> HeadlessRenderer::render(Automaton& a, const FrameSettings& s,
                                                  CameraRig& rig, const Arcball* ball,
                                                  int width, int height, std::string* error) {
    return render(a, s, rig, ball, width, height, FrameRenderer::kImageBackground, error);
}

std::optional<RgbaImage> HeadlessRenderer::render(Automaton& a, const FrameSettings& s,
                                                  CameraRig& rig, const Arcball* ball,
                                                  int width, int height,
                                                  const std::array<float, 4>& background,
                                                  std::string* error) {
    if (!context_->makeCurrent()) {
        if (error) *error = "The OpenGL context could not be made current.";
        return std::nullopt;
    }
    auto image = frames_->renderImage(a, s, rig, ball, width, height, background, error);
    context_->doneCurrent();
    return image;
}

std::optional<RgbaImage> HeadlessRenderer::renderOnce(Automaton& a, const FrameSettings& s,
                                                      CameraRig& rig, const Arcball* ball,
                                                      int width, int height,
                                                      const std::string& documentFolder,
                                                      std::string* error) {
    FrameRenderer::Options options;
    options.mode = SphereDrawer::Mode::Transient;
    options.textures.setDocumentFolder(documentFolder);
    auto r = create(std::move(options), error);
    if (!r) return std::nullopt;
    return r->render(a, s, rig, ball, width, height, error);
}
