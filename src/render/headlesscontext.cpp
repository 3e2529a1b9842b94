// EGL surfaceless context creation.
#include "headlesscontext.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstring>

namespace {
bool hasExtension(const char* list, const char* name) {
    if (!list) return false;
    std::size_t n = std::strlen(name);
    for (const char* p = list; (p = std::strstr(p, name)); p += n)
        if ((p == list || p[-1] == ' ') && (p[n] == ' ' || p[n] == '\0')) return true;
    return false;
}
}  // namespace

std::unique_ptr<HeadlessContext> HeadlessContext::create(std::string* error) {
    auto fail = [&](const char* why) {
        if (error) *error = why;
        return std::unique_ptr<HeadlessContext>();
    };
    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (!hasExtension(clientExtensions, "EGL_MESA_platform_surfaceless"))
        return fail("No OpenGL is available: EGL offers no surfaceless platform.");
    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) return fail("No OpenGL is available: EGL cannot open a display.");
    EGLDisplay display =
        getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    EGLint major = 0, minor = 0;
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, &major, &minor))
        return fail("No OpenGL is available: EGL could not be initialised.");

    std::unique_ptr<HeadlessContext> c(new HeadlessContext);
    c->display_ = display;
    if (!eglBindAPI(EGL_OPENGL_API)) return fail("No OpenGL is available: EGL has no desktop GL.");

    const EGLint configAttributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    bool haveConfig = eglChooseConfig(display, configAttributes, &config, 1, &count) && count > 0;
    // Surfaceless contexts need no config where the driver allows it.
    bool noConfig =
        hasExtension(eglQueryString(display, EGL_EXTENSIONS), "EGL_KHR_no_config_context");
    if (!haveConfig && !noConfig)
        return fail("No OpenGL is available: EGL offers no OpenGL configuration.");

    // Fixed-function drawing and display lists need the compatibility
    // profile; a plain 2.1 request gives it too where profiles are unknown.
    const EGLint compatibility[] = {EGL_CONTEXT_MAJOR_VERSION,
                                    2,
                                    EGL_CONTEXT_MINOR_VERSION,
                                    1,
                                    EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                    EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                    EGL_NONE};
    EGLContext context = eglCreateContext(display, haveConfig ? config : EGL_NO_CONFIG_KHR,
                                          EGL_NO_CONTEXT, compatibility);
    if (context == EGL_NO_CONTEXT) {
        const EGLint plain[] = {EGL_NONE};
        context = eglCreateContext(display, haveConfig ? config : EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT,
                                   plain);
    }
    if (context == EGL_NO_CONTEXT)
        return fail("No OpenGL is available: EGL could not create an OpenGL context.");
    c->context_ = context;
    if (!c->makeCurrent())
        return fail("No OpenGL is available: the OpenGL context could not be made current.");
    return c;
}

bool HeadlessContext::makeCurrent() {
    // The API binding is per thread.
    eglBindAPI(EGL_OPENGL_API);
    return eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_) == EGL_TRUE;
}

void HeadlessContext::doneCurrent() {
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

HeadlessContext::~HeadlessContext() {
    if (context_) {
        if (eglGetCurrentContext() == context_) doneCurrent();
        eglDestroyContext(display_, context_);
    }
    // The display is shared by every context of the process: terminating it
    // would pull the rug from under other headless renderers still alive.
}
