// Baseline for `rotundel render`: a bare off-screen program that makes an
// EGL context without a display, clears a framebuffer object of the given
// size, reads it back and writes it as PNG through Qt.
//   bare_png OUT.png WIDTH HEIGHT
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <QImage>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    const int w = std::atoi(argv[2]), h = std::atoi(argv[3]);
    auto getDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getDisplay) return 1;
    EGLDisplay d = getDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (!eglInitialize(d, nullptr, nullptr)) return 1;
    eglBindAPI(EGL_OPENGL_API);
    const EGLint config[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig c;
    EGLint n = 0;
    if (!eglChooseConfig(d, config, &c, 1, &n) || n < 1) return 1;
    EGLContext ctx = eglCreateContext(d, c, EGL_NO_CONTEXT, nullptr);
    if (!ctx || !eglMakeCurrent(d, EGL_NO_SURFACE, EGL_NO_SURFACE, ctx)) return 1;
    auto genFramebuffers =
        reinterpret_cast<PFNGLGENFRAMEBUFFERSPROC>(eglGetProcAddress("glGenFramebuffers"));
    auto bindFramebuffer =
        reinterpret_cast<PFNGLBINDFRAMEBUFFERPROC>(eglGetProcAddress("glBindFramebuffer"));
    auto genRenderbuffers =
        reinterpret_cast<PFNGLGENRENDERBUFFERSPROC>(eglGetProcAddress("glGenRenderbuffers"));
    auto bindRenderbuffer =
        reinterpret_cast<PFNGLBINDRENDERBUFFERPROC>(eglGetProcAddress("glBindRenderbuffer"));
    auto storage =
        reinterpret_cast<PFNGLRENDERBUFFERSTORAGEPROC>(eglGetProcAddress("glRenderbufferStorage"));
    auto attach = reinterpret_cast<PFNGLFRAMEBUFFERRENDERBUFFERPROC>(
        eglGetProcAddress("glFramebufferRenderbuffer"));
    GLuint fbo = 0, rb[2] = {};
    genFramebuffers(1, &fbo);
    bindFramebuffer(GL_FRAMEBUFFER, fbo);
    genRenderbuffers(2, rb);
    bindRenderbuffer(GL_RENDERBUFFER, rb[0]);
    storage(GL_RENDERBUFFER, GL_RGBA8, w, h);
    attach(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, rb[0]);
    bindRenderbuffer(GL_RENDERBUFFER, rb[1]);
    storage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, w, h);
    attach(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, rb[1]);
    glViewport(0, 0, w, h);
    glClearColor(0.1f, 0.1f, 0.2f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    std::vector<unsigned char> pixels(static_cast<std::size_t>(w) * h * 4);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    QImage image(pixels.data(), w, h, w * 4, QImage::Format_RGBA8888);
    bool ok = image.convertToFormat(QImage::Format_RGB32).mirrored().save(argv[1], "png");
    eglMakeCurrent(d, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(d, ctx);
    eglTerminate(d);
    return ok ? 0 : 1;
}
