// The 3-D pane: a window with an OpenGL surface whose picture a render
// thread of its own draws. The UI thread never draws and never waits for
// that thread: the render thread draws the newest scene the document has
// published, and the UI thread tells it of a new size or a wish for a frame
// through atomics and a wake-up event.
#pragma once

#include <QImage>
#include <QTimer>
#include <QWindow>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "autoresetevent.h"
#include "cameramouse.h"
#include "imagefile.h"
#include "renderlink.h"
#include "rollingplayer.h"

class Document;
struct Automaton;
class RenderThread;
struct Sphere;
class QWidget;

// Threads. The UI thread owns the window, its events, the statistics timer,
// and the mouse state. The render thread (RenderThread) makes every OpenGL
// call. They share atomics (the client size, exposure, the zoom keys, the
// exit and image requests), the frame-wanted event, the document's scenes
// and camera, and the image job (handed over through imageRequested).
class View3D : public QWindow, public RenderLink {
    Q_OBJECT
  public:
    // How long closing waits for the render thread before the busy cursor
    // shows.
    static constexpr std::chrono::milliseconds kHandOverTimeout{500};
    static constexpr float kFovy = 45.0f;

    explicit View3D(QWindow* parent = nullptr);
    ~View3D() override;

    void setDocument(Document* doc);
    Document* document() const { return doc_; }
    // The window whose title shows the statistics once a second, after
    // its own title ("name[*] - Rotundel").
    void setTitleWindow(QWidget* w) { titleWindow_ = w; }
    void setTitleBase(const QString& title);
    // "Reset view": the default orientation at the fitted distance.
    void resetView();

    // --- RenderLink (UI thread) ---
    void showMessage(const std::string& text) override;
    void wakeRenderThread() override { requestFrame(); }
    // Asks for the picture with askTexturePath and applies it as an edit.
    void chooseTexture(Sphere& s) override;

    // --- Idle drawing ---
    // The render thread draws only while the picture may change (see
    // RenderThread::pictureMayChange) and otherwise waits. Anything
    // that changes the picture from outside asks for a frame (any thread);
    // the thread then draws within one frame.
    void requestFrame() { frameWanted_.signal(); }
    // A zoom key is down, or was pressed since the last frame.
    bool zoomKeyHeld() const {
        return deleteDown_.load() || insertDown_.load() || deletePressed_.load() ||
               insertPressed_.load();
    }
    AutoResetEvent& frameWanted() { return frameWanted_; }

    // Multisampled frames (smooth edges): on every frame, on the frame
    // drawn once the picture has stood still a moment, or never. Software
    // OpenGL draws a multisampled frame at about a third of the speed.
    enum class SmoothEdges { Always = 0, WhenStill = 1, Never = 2 };
    void setSmoothEdges(SmoothEdges mode) {
        smoothEdges_ = static_cast<int>(mode);
        requestFrame();
    }
    SmoothEdges smoothEdges() const { return static_cast<SmoothEdges>(smoothEdges_.load()); }
    // Frames drawn with smooth edges so far (the render thread counts them).
    std::uint64_t smoothFrames() const { return smoothFrames_.load(); }
    void countSmoothFrame() { ++smoothFrames_; }
    // Something waits for the render thread (an image, the end): the frame
    // under way gives up. The render thread clears it before it looks at
    // the requests.
    bool frameInterrupted() const { return interrupt_.load(); }
    void clearFrameInterrupt() { interrupt_ = false; }

    // --- Requests (any thread) ---
    bool exitRequested() const { return exitRequested_.load(); }
    void setExitRequested(bool on);
    bool imageRequested() const { return imageRequested_.load(); }
    void setImageRequested(bool on);

    // The render thread has started and not yet ended.
    bool renderThreadRunning() const;
    // Starts the render thread if it has not been started (the first
    // exposure does this).
    void startRenderThread();
    // Asks the render thread to end and waits for it. Safe to call twice.
    void exitThreadsAndWait();

    // --- Size and exposure, read by the render thread ---
    int clientWidth() const { return clientWidth_.load(); }
    int clientHeight() const { return clientHeight_.load(); }
    double pixelRatio() const { return pixelRatio_.load(); }
    bool exposedForDrawing() const { return exposed_.load(); }

    // The keys that move the camera away (Delete, -) and nearer (Insert,
    // +, and = where + shares its key).
    static bool isAwayKey(int key);
    static bool isNearerKey(int key);

    // --- Keyboard zoom: true when the key is down or was pressed since the
    // last poll (render thread, once per frame). ---
    bool pollDeleteKey();
    bool pollInsertKey();

    // --- Images ---
    // The size of a saved image: width w, the window's proportions.
    static QSize imageSizeFor(int width, int clientWidth, int clientHeight);
    // Renders the current picture off-screen at size (white background),
    // through the render thread when it runs. On failure returns a null
    // image and sets *error.
    QImage renderImage(QSize size, QString* error);
    // "Save image": asks for a file name, renders and writes. Does nothing
    // while another image is being made.
    void onSaveImage();
    // Writes the current picture at the document's image width. Returns an
    // empty string on success, otherwise the reason.
    QString saveImage(const QString& path);

    // The folder of the open document, where textures are looked for
    // first. documentFolder copies it when it changed since *version.
    void setDocumentFolder(const std::string& folder);
    bool documentFolder(std::string* folder, std::uint64_t* version) const;

    // What the render thread reports for the UI thread to show; called on
    // the render thread, shown later on the UI thread.
    void postMessage(const QString& text);
    // Asks the user for a texture picture; "" when cancelled. A file dialog
    // unless replaced (tests answer without one).
    std::function<QString()> askTexturePath;
    // Tab (forward) or Shift+Tab pressed while no drag is going on: the
    // keyboard leaves the view for the widgets around it.
    std::function<void(bool forward)> onTabOut;
    // Emitted once a texture choice has been handled (chosen or cancelled).
    Q_SIGNAL void textureChoiceDone();

    // Work the render thread does for renderImage.
    struct ImageJob {
        QSize size;
        QImage result;
        QString error;
    };
    ImageJob* imageJob() { return &imageJob_; }

    // Updates the title with the statistics of the last second (the timer's
    // work; public so that it can be driven directly).
    void showStatistics();

    // Counter reading for timings: nanoseconds of the steady clock.
    static std::int64_t counterNow();

    // Called on the render thread before each frame's update with the
    // automaton the frame draws (the render thread's own copy); for
    // diagnostics. Any thread; null removes it.
    void setFrameProbe(std::function<void(const Automaton&)> probe);
    void probeFrame(const Automaton& a);

    // The frame update's watch: the render thread marks the start and end
    // of each frame update; the UI thread asks how long the one under way
    // has run (0 when none), to show progress for long path computations.
    void markStepStart() {
        stepProgress_ = -1;
        stepStartedAt_ = counterNow();
    }
    void markStepEnd() {
        stepStartedAt_ = 0;
        ++stepsEnded_;
    }
    // How many Steps have ended so far (finished or stopped).
    std::uint64_t stepsEnded() const { return stepsEnded_.load(); }
    void setStepProgress(double fraction) { stepProgress_ = fraction; }
    // One sentence about the last path computation for the user ("" when
    // there is nothing to say), e.g. which paths had to be sampled coarser.
    void setPathNote(const std::string& note);
    std::string pathNote() const;
    double stepRunningSeconds() const;
    // Fraction of the path computation done, or -1 when it is not known.
    double stepProgress() const { return stepProgress_.load(); }

    // The rolling animation that the render thread plays.
    RollingPlayer& rolling() { return rolling_; }

    // How many frames this view has drawn in total.
    std::int64_t framesDrawn() const { return framesDrawn_.load(); }
    // revision: of the scene the frame showed; withPaths: its paths were
    // complete in it.
    void countFrame(std::uint64_t revision, bool withPaths) {
        drawnRevision_ = revision;
        if (withPaths) pathsDrawnRevision_ = revision;
        ++framesDrawn_;
    }
    // The document revision of the last frame on the screen, and of the
    // last frame that showed its revision's complete paths (0: none yet).
    std::uint64_t drawnRevision() const { return drawnRevision_.load(); }
    std::uint64_t pathsDrawnRevision() const { return pathsDrawnRevision_.load(); }

  signals:
    // Queued to the UI thread by the render thread.
    void messagePosted(const QString& text);

  protected:
    void exposeEvent(QExposeEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    bool event(QEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

  private:
    void recordSize(int cx, int cy);
    void showBusy(bool on);
    void addInputTime(std::int64_t started);

    Document* doc_ = nullptr;
    QWidget* titleWindow_ = nullptr;

    std::atomic<bool> exitRequested_{false};
    std::atomic<bool> imageRequested_{false};

    std::unique_ptr<RenderThread> renderThread_;
    std::atomic<bool> threadStarted_{false};
    std::atomic<bool> threadEnded_{false};

    std::atomic<int> clientWidth_{0}, clientHeight_{0};
    std::atomic<double> pixelRatio_{1.0};
    std::atomic<bool> exposed_{false};
    std::atomic<bool> deleteDown_{false}, insertDown_{false};
    std::atomic<bool> deletePressed_{false}, insertPressed_{false};
    std::atomic<bool> interrupt_{false};
    AutoResetEvent frameWanted_{"FrameWanted"};
    std::atomic<int> smoothEdges_{static_cast<int>(SmoothEdges::WhenStill)};
    std::atomic<std::uint64_t> smoothFrames_{0};
    // The right drag's distance at its last move: the drag changes the
    // distance by its own steps, so that a key zoom meanwhile is kept.
    double lastDragDistance_ = 0;
    QString titleBase_;
    std::atomic<std::int64_t> framesDrawn_{0};
    std::atomic<std::uint64_t> drawnRevision_{0}, pathsDrawnRevision_{0};
    std::atomic<std::int64_t> stepStartedAt_{0};
    std::atomic<double> stepProgress_{-1};
    std::atomic<std::uint64_t> stepsEnded_{0};
    std::mutex probeLock_;
    std::function<void(const Automaton&)> frameProbe_;
    mutable std::mutex pathNoteLock_;
    std::string pathNote_;

    QTimer statsTimer_;
    CameraMouse mouse_;
    ImageJob imageJob_;
    RollingPlayer rolling_;
    ImageFormat imageFormat_ = ImageFormat::Bmp;  // last chosen by extension
    mutable std::mutex folderMutex_;
    std::string folder_;
    std::uint64_t folderVersion_ = 0;

    friend class RenderThread;
};
