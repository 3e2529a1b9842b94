// Baseline for `rotundel render`: a bare off-screen program that makes an
// EGL context without a display, draws two lit spheres (one textured) with
// GLU into a four-sample framebuffer object of the given size, as a small
// document's picture has them, resolves and reads it back and writes it as
// PNG through Qt.
//   bare_png OUT.png WIDTH HEIGHT
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

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
    EGLConfig c = nullptr;
    EGLint n = 0;
    if (!eglChooseConfig(d, config, &c, 1, &n) || n < 1) c = nullptr;  // no config needed
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
    auto storageMs = reinterpret_cast<PFNGLRENDERBUFFERSTORAGEMULTISAMPLEPROC>(
        eglGetProcAddress("glRenderbufferStorageMultisample"));
    auto blit = reinterpret_cast<PFNGLBLITFRAMEBUFFERPROC>(eglGetProcAddress("glBlitFramebuffer"));
    GLuint fbo[2] = {}, rb[3] = {};
    genFramebuffers(2, fbo);
    genRenderbuffers(3, rb);
    bindFramebuffer(GL_FRAMEBUFFER, fbo[0]);
    bindRenderbuffer(GL_RENDERBUFFER, rb[0]);
    storageMs(GL_RENDERBUFFER, 4, GL_RGBA8, w, h);
    attach(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, rb[0]);
    bindRenderbuffer(GL_RENDERBUFFER, rb[1]);
    storageMs(GL_RENDERBUFFER, 4, GL_DEPTH_COMPONENT24, w, h);
    attach(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, rb[1]);
    glViewport(0, 0, w, h);
    glClearColor(0.1f, 0.1f, 0.2f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    gluPerspective(45, double(w) / h, 0.1, 100);
    glMatrixMode(GL_MODELVIEW);
    gluLookAt(0, 0, 6, 0, 0, 0, 0, 1, 0);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_COLOR_MATERIAL);
    std::vector<unsigned char> checker(256 * 256 * 3);
    for (std::size_t i = 0; i < checker.size(); ++i)
        checker[i] = ((i / 3 / 16 + i / 768 / 16) % 2) * 255;
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 256, 256, 0, GL_RGB, GL_UNSIGNED_BYTE, checker.data());
    GLUquadric* q = gluNewQuadric();
    gluQuadricTexture(q, GL_TRUE);
    glEnable(GL_TEXTURE_2D);
    glColor3f(0.8f, 0.8f, 1);
    gluSphere(q, 1.5, 20, 20);
    glDisable(GL_TEXTURE_2D);
    glTranslated(1.6, 0.5, 0);
    glColor3f(1, 0.5f, 0.2f);
    gluSphere(q, 0.5, 20, 20);
    gluDeleteQuadric(q);
    bindFramebuffer(GL_FRAMEBUFFER, fbo[1]);
    bindRenderbuffer(GL_RENDERBUFFER, rb[2]);
    storage(GL_RENDERBUFFER, GL_RGBA8, w, h);
    attach(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, rb[2]);
    bindFramebuffer(GL_READ_FRAMEBUFFER, fbo[0]);
    bindFramebuffer(GL_DRAW_FRAMEBUFFER, fbo[1]);
    blit(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    bindFramebuffer(GL_FRAMEBUFFER, fbo[1]);
    std::vector<unsigned char> pixels(static_cast<std::size_t>(w) * h * 4);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    QImage image(pixels.data(), w, h, w * 4, QImage::Format_RGBA8888);
    bool ok = image.convertToFormat(QImage::Format_RGB32).mirrored().save(argv[1], "png");
    eglMakeCurrent(d, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(d, ctx);
    eglTerminate(d);
    return ok ? 0 : 1;
}
