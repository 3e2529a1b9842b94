// Framebuffer object creation, binding and read-back.
#include "offscreentarget.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstring>

namespace {
bool hasFramebufferObjects() {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (version && version[0] >= '3' && version[0] <= '9') return true;
    const char* ext = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    return ext && std::strstr(ext, "GL_ARB_framebuffer_object");
}
}  // namespace

std::unique_ptr<OffscreenTarget> OffscreenTarget::create(int width, int height,
                                                         std::string* error) {
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
    GLint previousDraw = 0, previousRead = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &previousDraw);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &previousRead);
    while (glGetError() != GL_NO_ERROR) {
    }
    glGenFramebuffers(1, &t->framebuffer_);
    glGenRenderbuffers(1, &t->colour_);
    glGenRenderbuffers(1, &t->depth_);
    glBindRenderbuffer(GL_RENDERBUFFER, t->colour_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, t->depth_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, t->framebuffer_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, t->colour_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, t->depth_);
    GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    GLenum glError = glGetError();
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, previousDraw);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, previousRead);
    if (status != GL_FRAMEBUFFER_COMPLETE || glError == GL_OUT_OF_MEMORY)
        return fail("OpenGL could not make a framebuffer of " + std::to_string(width) + " x " +
                    std::to_string(height) + " pixels.");
    return t;
}

OffscreenTarget::~OffscreenTarget() {
    if (depth_) glDeleteRenderbuffers(1, &depth_);
    if (colour_) glDeleteRenderbuffers(1, &colour_);
    if (framebuffer_) glDeleteFramebuffers(1, &framebuffer_);
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

RgbaImage OffscreenTarget::read() const {
    RgbaImage image;
    image.width = width_;
    image.height = height_;
    image.pixels.resize(static_cast<std::size_t>(width_) * height_ * 4);
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, image.pixels.data());
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
