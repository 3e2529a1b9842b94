// The 3-D view's render thread: owns the OpenGL context of the window and
// makes every OpenGL call for it. Each loop pass serves the first pending
// request in the order resize, document update, textures, image, and
// otherwise draws a frame.
#pragma once

#include <QImage>
#include <QSize>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "camerarig.h"
#include "framerenderer.h"
#include "pointpaths.h"

class AutoResetEvent;
class Document;
class QOpenGLContext;
class View3D;

class RenderThread {
  public:
    explicit RenderThread(View3D& view);
    ~RenderThread();

    void start();
    // Waits for the thread to end, at most timeout; true when it has ended.
    bool joinFor(std::chrono::milliseconds timeout);
    void join();
    bool ended() const { return ended_.load(); }

    // What to tell the user after a path pass: the spheres whose paths the
    // memory budget made coarser, or "".
    static std::string coarseningNote(const PathPassResult& pass);
    // An RGBA picture as a Qt image (opaque: saved pictures have no alpha).
    static QImage toQImage(const RgbaImage& image);

    // Whether the picture may differ from the last frame drawn even though
    // nobody asked for a frame. While it is false, and no request or
    // requestFrame() is pending, the thread waits instead of drawing.
    // Whatever comes to move the picture by itself belongs in here.
    bool pictureMayChange(const Document& doc) const;

  private:
    void run();
    bool setUp();
    void tearDown();
    void loopPass();
    // Parked: waits for e until it is signalled or the view asks to exit.
    void park(AutoResetEvent& e);
    void setViewport();
    void assignTextures();
    void renderRequestedImage();
    // False when the frame was given up (nothing is shown of it). still:
    // the picture has stood still since the last frame.
    bool drawWindowFrame(Document* doc, std::int64_t started, bool still);
    bool drawFrame(bool smooth);
    QImage renderOffscreen(QSize size, QString* error);

    View3D& view_;
    std::thread thread_;
    std::atomic<bool> ended_{false};
    void applyDocumentFolder();

    std::unique_ptr<QOpenGLContext> context_;
    std::unique_ptr<FrameRenderer> frames_;
    CameraRig rig_;
    std::uint64_t folderVersion_ = 0;
    bool glReady_ = false;
    // The rolling animation's options for the frame being drawn; null for
    // the still picture.
    const DrawOptions::Rolling* rollingNow_ = nullptr;
    // A frame is owed: something changed, or the last one was given up.
    bool frameWanted_ = true;
    // The last frame shown was drawn without smooth edges, at this time
    // (View3D::counterNow): a smooth one follows once it is still.
    bool smoothOwed_ = false;
    std::int64_t roughShownAt_ = 0;
    // Hardware OpenGL smooths every frame at little cost.
    bool hardwareGl_ = false;
    // The path pass's note, to which the tube budget's is added.
    std::string passNote_;

  public:
    // How long the picture stands still before its edges are smoothed.
    static constexpr std::chrono::milliseconds kStillDelay{150};
};
