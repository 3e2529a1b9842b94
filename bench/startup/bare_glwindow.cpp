// Baseline for the window's start: a bare Qt OpenGL window of the size and
// format the program's view asks for (the whole available screen, 2.1,
// depth buffer, 4 samples) that clears itself once and quits. It prints the
// wall clock (ns since the epoch) when its first frame has been swapped;
// startup.sh subtracts the time it launched the program (firstframe.h).
#include <GL/gl.h>

#include <QGuiApplication>
#include <QOpenGLContext>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <chrono>
#include <cstdio>

#include "firstframe.h"

namespace {
class Window : public QWindow {
  protected:
    void exposeEvent(QExposeEvent*) override {
        if (!isExposed() || drawn_) return;
        drawn_ = true;
        QOpenGLContext context;
        context.setFormat(requestedFormat());
        context.create();
        context.makeCurrent(this);
        glViewport(0, 0, width(), height());
        glClearColor(0.1f, 0.1f, 0.2f, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        context.swapBuffers(this);
        glFinish();
        printFirstFrame();
        context.doneCurrent();
        QTimer::singleShot(0, qApp, &QGuiApplication::quit);
    }

  private:
    bool drawn_ = false;
};
}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    Window w;
    w.setSurfaceType(QSurface::OpenGLSurface);
    QSurfaceFormat f;
    f.setRenderableType(QSurfaceFormat::OpenGL);
    f.setVersion(2, 1);
    f.setDepthBufferSize(24);
    f.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    f.setSamples(4);
    w.setFormat(f);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        w.setGeometry(screen->availableGeometry());
    w.showMaximized();
    return app.exec();
}
