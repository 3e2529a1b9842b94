// Framebuffer object creation, binding and read-back.
#include "offscreentarget.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstring>

namespace {
bool hasFramebufferObjects() {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (version && version[0] >= '3' && version[0] <= '9') return true;
    const char* ext = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    return ext && std::strstr(ext, "GL_ARB_framebuffer_object");
}
}  // namespace

std::unique_ptr<OffscreenTarget> OffscreenTarget::create(int width, int height, std::string* error,
                                                         int maxSamples) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return std::unique_ptr<OffscreenTarget>();
    };
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide ||
        static_cast<long long>(width) * height > kMaxPixels)
        return fail("An image of " + std::to_string(width) + " x " + std::to_string(height) +
                    " pixels cannot be rendered.");
    if (!glGetString(GL_VERSION)) return fail("No OpenGL context is current.");
    if (!hasFramebufferObjects()) return fail("This OpenGL has no framebuffer objects.");
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxSize);
    if (width > maxSize || height > maxSize)
        return fail("This OpenGL renders images of at most " + std::to_string(maxSize) +
                    " pixels on a side.");

    std::unique_ptr<OffscreenTarget> t(new OffscreenTarget);
    t->width_ = width;
    t->height_ = height;
    GLint available = 0;
    glGetIntegerv(GL_MAX_SAMPLES, &available);
    while (glGetError() != GL_NO_ERROR) {
    }
    // Without multisampling the image is still right, only its edges are
    // stepped: fall back to a plain framebuffer rather than fail. Very large
    // images go without, as four samples a pixel would take gigabytes.
    const bool multisample = maxSamples >= 2 && available >= 2 &&
                             static_cast<long long>(width) * height <= kMaxMultisampledPixels;
    if (multisample && t->build(std::min(maxSamples, static_cast<int>(available)))) return t;
    t->releaseBuffers();
    if (t->build(0)) return t;
    return fail("OpenGL could not make a framebuffer of " + std::to_string(width) + " x " +
                std::to_string(height) + " pixels.");
}

bool OffscreenTarget::build(int samples) {
    samples_ = samples;
    GLint previousDraw = 0, previousRead = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &previousDraw);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &previousRead);
    while (glGetError() != GL_NO_ERROR) {
    }
    auto attach = [&](unsigned& framebuffer, unsigned& colour, unsigned* depth, int n) {
        glGenFramebuffers(1, &framebuffer);
        glGenRenderbuffers(1, &colour);
        glBindRenderbuffer(GL_RENDERBUFFER, colour);
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, n, GL_RGBA8, width_, height_);
        if (depth) {
            glGenRenderbuffers(1, depth);
            glBindRenderbuffer(GL_RENDERBUFFER, *depth);
            glRenderbufferStorageMultisample(GL_RENDERBUFFER, n, GL_DEPTH_COMPONENT24, width_,
                                             height_);
        }
        glBindRenderbuffer(GL_RENDERBUFFER, 0);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
        if (depth)
            glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, *depth);
        return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    };
    bool complete = attach(framebuffer_, colour_, &depth_, samples);
    if (complete && samples > 0) complete = attach(resolveFramebuffer_, resolveColour_, nullptr, 0);
    GLenum glError = glGetError();
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, previousDraw);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, previousRead);
    return complete && glError == GL_NO_ERROR;
}

void OffscreenTarget::releaseBuffers() {
    for (unsigned* r : {&depth_, &colour_, &resolveColour_})
        if (*r) glDeleteRenderbuffers(1, r), *r = 0;
    for (unsigned* f : {&framebuffer_, &resolveFramebuffer_})
        if (*f) glDeleteFramebuffers(1, f), *f = 0;
}

OffscreenTarget::~OffscreenTarget() {
    releaseBuffers();
}

void OffscreenTarget::bind() {
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &savedDraw_);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &savedRead_);
    glGetIntegerv(GL_DRAW_BUFFER, &savedDrawBuffer_);
    glGetIntegerv(GL_READ_BUFFER, &savedReadBuffer_);
    glGetIntegerv(GL_VIEWPORT, savedViewport_.data());
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    // A framebuffer object draws to its attachments; the window's buffer
    // names are errors here.
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glViewport(0, 0, width_, height_);
}

void OffscreenTarget::unbind() {
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, savedDraw_);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, savedRead_);
    // Buffer names other than NONE are valid only on the framebuffer they
    // were read from; a surfaceless context has none to restore.
    if (savedDrawBuffer_ != GL_NONE) glDrawBuffer(savedDrawBuffer_);
    if (savedReadBuffer_ != GL_NONE) glReadBuffer(savedReadBuffer_);
    glViewport(savedViewport_[0], savedViewport_[1], savedViewport_[2], savedViewport_[3]);
    while (glGetError() != GL_NO_ERROR) {
    }
}

void OffscreenTarget::present() {
    GLuint from = framebuffer_;
    if (samples_ > 0) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, resolveFramebuffer_);
        glBlitFramebuffer(0, 0, width_, height_, 0, 0, width_, height_, GL_COLOR_BUFFER_BIT,
                          GL_NEAREST);
        from = resolveFramebuffer_;
    }
    // The window's own buffer may differ in format; a plain framebuffer
    // can be copied onto it all the same, a multisampled one could not.
    glBindFramebuffer(GL_READ_FRAMEBUFFER, from);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, savedDraw_);
    if (savedDrawBuffer_ != GL_NONE) glDrawBuffer(savedDrawBuffer_);
    glBlitFramebuffer(0, 0, width_, height_, savedViewport_[0], savedViewport_[1],
                      savedViewport_[0] + width_, savedViewport_[1] + height_, GL_COLOR_BUFFER_BIT,
                      GL_NEAREST);
    unbind();
}

RgbaImage OffscreenTarget::read() const {
    RgbaImage image;
    image.width = width_;
    image.height = height_;
    image.pixels.resize(static_cast<std::size_t>(width_) * height_ * 4);
    GLint draw = 0, read = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &draw);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read);
    if (samples_ > 0) {
        // Samples are averaged by a blit into the plain framebuffer.
        glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, resolveFramebuffer_);
        glBlitFramebuffer(0, 0, width_, height_, 0, 0, width_, height_, GL_COLOR_BUFFER_BIT,
                          GL_NEAREST);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, resolveFramebuffer_);
    } else {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
    }
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, image.pixels.data());
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, draw);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, read);
    // OpenGL's rows run from the bottom.
    const std::size_t row = static_cast<std::size_t>(width_) * 4;
    std::vector<std::uint8_t> swap(row);
    for (int y = 0; y < height_ / 2; ++y) {
        auto* a = image.pixels.data() + y * row;
        auto* b = image.pixels.data() + (height_ - 1 - y) * row;
        std::memcpy(swap.data(), a, row);
        std::memcpy(a, b, row);
        std::memcpy(b, swap.data(), row);
    }
    return image;
}
