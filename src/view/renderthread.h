// The 3-D view's render thread: owns the OpenGL context of the window and
// makes every OpenGL call for it. It draws its own copy of the newest scene
// the document has published, samples that copy's paths and measures its
// curves; a newer scene stops that work within milliseconds. Each loop pass
// serves an image request or else draws a frame.
#pragma once

#include <QImage>
#include <QSize>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "camerarig.h"
#include "curveinvariants.h"
#include "curvemeasurer.h"
#include "framerenderer.h"
#include "pointpaths.h"
#include "scene.h"

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

    // The curves of `before` renamed as the spheres of `after` in the same
    // slots are called: a rename changes no curve.
    static std::vector<CurveInvariants> renamed(std::vector<CurveInvariants> curves,
                                                const Automaton& before, const Automaton& after);

  private:
    void run();
    bool setUp();
    void tearDown();
    void loopPass();
    // Takes the document's newest scene when it is newer than the one drawn:
    // a copy of its automaton, placed at time 0, with the paths of the copy
    // before when only the looks changed. True when it took one.
    bool takeNewestScene(Document& doc);
    // The path pass on the copy, as far as a newer scene lets it go, and
    // the curves' measurement handed to the measuring thread. False when a
    // newer scene stopped the pass.
    bool updatePaths(Document& doc, PathPassResult* pass);
    void setViewport();
    void renderRequestedImage();
    // False when the frame was given up (nothing is shown of it). still:
    // the picture has stood still since the last frame.
    bool drawWindowFrame(Document* doc, std::int64_t started, bool still);
    // The rest of a window frame once the copy is up to date (or shows an
    // edit before its paths): viewport, drawing, notes and the swap.
    bool finishWindowFrame(Document* doc, bool still);
    FrameSettings frameSettings(const Document& doc) const;
    bool drawFrame(bool smooth);
    QImage renderOffscreen(QSize size, QString* error);

    View3D& view_;
    std::thread thread_;
    std::atomic<bool> ended_{false};
    void applyDocumentFolder();

    // The scene drawn, and the render thread's own copy of its automaton,
    // which it places, samples and rolls.
    std::shared_ptr<const Scene> scene_;
    std::unique_ptr<Automaton> work_;
    // Measures the curves of each copy whose paths are complete; made with
    // the thread, since it reports to the thread's document.
    std::unique_ptr<CurveMeasurer> measurer_;
    // A new copy: the rolling animation works out its timeline again.
    bool copyReplaced_ = false;

    std::unique_ptr<QOpenGLContext> context_;
    std::unique_ptr<FrameRenderer> frames_;
    CameraRig rig_;
    std::uint64_t folderVersion_ = 0;
    bool glReady_ = false;
    // The rolling animation's options for the frame being drawn; null for
    // the still picture.
    const DrawOptions::Rolling* rollingNow_ = nullptr;
    // The first frame after an edit has been drawn (or was not needed).
    bool editShownFirst_ = true;
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
