// The 3-D pane: a window with an OpenGL surface whose picture a render
// thread of its own draws continuously. The UI thread never draws; it hands
// work to that thread through request flags and four auto-reset events.
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
#include "texturetable.h"

class Document;
class RenderThread;
struct Sphere;
class QWidget;

// Threads. The UI thread owns the window, its events, the statistics timer,
// and the mouse state. The render thread (RenderThread)
// makes every OpenGL call. They share:
//  - the request flags, each read or written under its lock for a single
//    access (exitLock for the exit request, requestLock for the others);
//  - the events "ResizeWait", "ResizeComplete", "DocUpdateWaitRender",
//    "DocUpdateCompleteRender";
//  - atomics for the client size, exposure and the zoom keys.
// A parked render thread waits until it is released (or asked to exit);
// the UI side of a hand-over shows the busy cursor after 500 ms and keeps
// waiting, because going on would let both threads use the automaton.
class View3D : public QWindow, public RenderLink {
    Q_OBJECT
  public:
    // How long a hand-over waits before the busy cursor shows.
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

    // --- RenderLink (UI thread; the flag members expect requestLock held) ---
    std::mutex& requestLock() override { return requestLock_; }
    bool docUpdateRequested() const override;
    void setDocUpdateRequest(bool on) override;
    void setTextureAssignmentRequest(bool on) override;
    AutoResetEvent& docUpdateWaitRender() override { return docUpdateWaitRender_; }
    AutoResetEvent& docUpdateCompleteRender() override { return docUpdateCompleteRender_; }
    void showMessage(const std::string& text) override;
    void showBusy(bool on) override;
    void wakeRenderThread() override { requestFrame(); }

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
    // Something waits for the render thread (a pause, a resize, an image,
    // the end): the frame under way gives up. The render thread clears it
    // before it looks at the requests.
    bool frameInterrupted() const { return interrupt_.load(); }
    void clearFrameInterrupt() { interrupt_ = false; }

    // --- Request flags (any thread; each access takes its lock) ---
    bool exitRequested() const;
    void setExitRequested(bool on);
    bool resizeRequested() const;
    void setResizeRequested(bool on);
    bool textureRequested() const;
    void clearTextureRequest();
    bool imageRequested() const;
    void setImageRequested(bool on);
    // Clears the flag and says whether it was set, in one access.
    bool takeResizeRequest();
    bool takeDocUpdateRequest();

    AutoResetEvent& resizeWait() { return resizeWait_; }
    AutoResetEvent& resizeComplete() { return resizeComplete_; }

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

    // --- Keyboard zoom: true when the key is down or was pressed since the
    // last poll (render thread, once per frame). ---
    bool pollDeleteKey();
    bool pollInsertKey();

    // --- Texture names ---
    TextureTable& textures() { return textures_; }
    // Gives s a texture name of its own when it has none yet.
    void prepareSphereTexture(Sphere& s);

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
    // The render thread asks the UI thread to pick a texture file for s.
    void postTextureChoice(Sphere* s);
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
    void onTimer();

    // Counter reading for timings: nanoseconds of the steady clock.
    static std::int64_t counterNow();

    // Called on the render thread before each frame's update, where the
    // automaton may be read; for diagnostics. Set it only while the render
    // thread is parked or not running.
    std::function<void(Document&)> frameProbe;

    // The frame update's watch: the render thread marks the start and end
    // of each document Step; the UI thread asks how long the one under way
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
    void countFrame() { ++framesDrawn_; }

  signals:
    // Queued to the UI thread by the render thread.
    void messagePosted(const QString& text);
    void textureChoiceWanted(void* sphere);

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
    void onSize(int cx, int cy);
    // Waits on a UI-side hand-over event: after the time-out the busy
    // cursor shows and the wait goes on. Returns false only when the render
    // thread ended meanwhile.
    bool waitForRenderThread(AutoResetEvent& e);
    void chooseTexture(void* sphere);
    void addInputTime(std::int64_t started);

    Document* doc_ = nullptr;
    QWidget* titleWindow_ = nullptr;

    mutable std::mutex exitLock_;
    mutable std::mutex requestLock_;
    bool exitRequested_ = false;
    bool resizeRequested_ = false;
    bool textureRequested_ = false;
    bool imageRequested_ = false;
    bool docUpdateRequested_ = false;

    AutoResetEvent resizeWait_{"ResizeWait"};
    AutoResetEvent resizeComplete_{"ResizeComplete"};
    AutoResetEvent docUpdateWaitRender_{"DocUpdateWaitRender"};
    AutoResetEvent docUpdateCompleteRender_{"DocUpdateCompleteRender"};

    std::unique_ptr<RenderThread> renderThread_;
    std::atomic<bool> threadStarted_{false};
    std::atomic<bool> threadEnded_{false};
    bool inHandOver_ = false;

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
    std::atomic<std::int64_t> stepStartedAt_{0};
    std::atomic<double> stepProgress_{-1};
    std::atomic<std::uint64_t> stepsEnded_{0};
    mutable std::mutex pathNoteLock_;
    std::string pathNote_;

    QTimer statsTimer_;
    CameraMouse mouse_;
    TextureTable textures_;
    ImageJob imageJob_;
    RollingPlayer rolling_;
    ImageFormat imageFormat_ = ImageFormat::Bmp;  // last chosen by extension
    mutable std::mutex folderMutex_;
    std::string folder_;
    std::uint64_t folderVersion_ = 0;

    friend class RenderThread;
};
