// Render thread of the 3-D view.
#include "renderthread.h"

#include <GL/gl.h>

#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <algorithm>
#include <chrono>

#include "cameramouse.h"
#include "document.h"
#include "flashtimer.h"
#include "sphere.h"
#include "view3d.h"

namespace {
// How long an idle pass (window hidden, or no OpenGL) rests, so that a
// hidden window costs nothing while the hand-overs are still answered.
constexpr auto kIdleRest = std::chrono::milliseconds(10);
// How often a parked thread looks whether it is to end.
constexpr auto kParkSlice = std::chrono::milliseconds(50);
// How long an idle thread waits before it looks at the requests and the
// picture again by itself; whoever changes something wakes it at once.
constexpr auto kIdleWait = std::chrono::milliseconds(100);

bool anyDynamic(const Sphere* s) {
    for (; s; s = s->nextChild())
        if (s->dynamic || anyDynamic(s->firstChild())) return true;
    return false;
}

void prepareTree(View3D& view, Sphere* s) {
    for (; s; s = s->nextChild()) {
        view.prepareSphereTexture(*s);
        prepareTree(view, s->firstChild());
    }
}
}  // namespace

RenderThread::RenderThread(View3D& view) : view_(view) {}

RenderThread::~RenderThread() {
    if (thread_.joinable()) {
        view_.setExitRequested(true);
        thread_.join();
    }
}

void RenderThread::start() {
    thread_ = std::thread([this] { run(); });
}

bool RenderThread::joinFor(std::chrono::milliseconds timeout) {
    auto until = std::chrono::steady_clock::now() + timeout;
    while (!ended_.load() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (!ended_.load()) return false;
    if (thread_.joinable()) thread_.join();
    return true;
}

void RenderThread::join() {
    if (thread_.joinable()) thread_.join();
}

void RenderThread::run() {
    // The view marked the thread as started before starting it.
    glReady_ = setUp();
    if (!glReady_)
        view_.postMessage(
            "OpenGL could not be started for the 3-D view; the automaton cannot be drawn in "
            "this window. Images can still be made with \"rotundel render\".");
    while (!view_.exitRequested()) loopPass();
    tearDown();
    ended_ = true;
}

bool RenderThread::setUp() {
    context_ = std::make_unique<QOpenGLContext>();
    context_->setFormat(view_.requestedFormat());
    if (!context_->create()) return false;
    if (!context_->makeCurrent(&view_)) return false;

    FrameRenderer::initialState();
    FrameRenderer::Options options;
    options.mode = SphereDrawer::Mode::Primary;
    options.windowBuffers = true;
    // A texture that cannot be read is said once, by the UI thread.
    options.report = [this](const std::string& text) {
        view_.postMessage(QString::fromStdString(text));
    };
    frames_ = std::make_unique<FrameRenderer>(std::move(options));
    const char* gl = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const std::string renderer = gl ? gl : "";
    hardwareGl_ = renderer.find("llvmpipe") == std::string::npos &&
                  renderer.find("softpipe") == std::string::npos &&
                  renderer.find("Software") == std::string::npos;
    rig_.fovy = View3D::kFovy;

    // The texture names: a fresh context hands out 1..300, which the table
    // already uses; take whatever this one gives.
    std::array<unsigned, TextureTable::kSize> names{};
    glGenTextures(TextureTable::kSize, names.data());
    if (names[0] != 0) view_.textures().setNames(names);
    return true;
}

void RenderThread::tearDown() {
    if (!context_) return;
    if (glReady_ && context_->makeCurrent(&view_)) {
        frames_.reset();  // its lists and textures belong to this context
        auto names = view_.textures().names();
        glDeleteTextures(TextureTable::kSize, names.data());
        context_->doneCurrent();
    }
    context_.reset();
}

void RenderThread::park(AutoResetEvent& e) {
    while (!e.waitFor(kParkSlice))
        if (view_.exitRequested()) return;
}

bool RenderThread::pictureMayChange(const Document& doc) const {
    // Each of these changes the picture from one frame to the next without
    // anybody asking: paths still to compute, the edit feedback counting
    // down, the orbit turning, spheres turning their axes, an animation (the
    // spheres rolling), a zoom key held.
    return !doc.pathsUpToDate || doc.flashActive.load() || doc.viewFromStationary == 0 ||
           anyDynamic(doc.root) || view_.rolling().playing() || view_.zoomKeyHeld();
}

void RenderThread::loopPass() {
    std::int64_t started = View3D::counterNow();
    Document* doc = view_.document();
    // Cleared before the requests are read: a request made from here on
    // interrupts the frame below.
    view_.clearFrameInterrupt();
    bool drew = false;
    if (view_.takeResizeRequest()) {
        view_.resizeWait().signal();
        park(view_.resizeComplete());
        setViewport();
        frameWanted_ = true;
    } else if (view_.takeDocUpdateRequest()) {
        // From this signal until the document's complete event, nothing of
        // the document is touched.
        view_.docUpdateWaitRender().signal();
        park(view_.docUpdateCompleteRender());
        frameWanted_ = true;
    } else if (view_.textureRequested()) {
        assignTextures();
        frameWanted_ = true;
    } else if (view_.imageRequested()) {
        if (doc) ++doc->framesRendered;
        renderRequestedImage();
        view_.setImageRequested(false);
    } else if (glReady_ && view_.exposedForDrawing()) {
        bool still = false;
        if (!frameWanted_ && (!doc || !pictureMayChange(*doc))) {
            // Nothing can change: wait for somebody to ask, or until the
            // picture has stood still long enough for its smooth frame. The
            // wait is not drawing time.
            std::chrono::nanoseconds wait = kIdleWait;
            if (smoothOwed_) {
                wait = kStillDelay - std::chrono::nanoseconds(started - roughShownAt_);
                still = wait.count() <= 0;
            }
            if (!still) {
                if (view_.frameWanted().waitFor(
                        std::chrono::duration_cast<std::chrono::milliseconds>(wait) +
                        std::chrono::milliseconds(1)))
                    frameWanted_ = true;
                return;
            }
        }
        drew = drawWindowFrame(doc, started, still);
    }
    if (!drew && !glReady_) std::this_thread::sleep_for(kIdleRest);
    if (!drew && glReady_ && !view_.exposedForDrawing() && !view_.textureRequested() &&
        !view_.imageRequested())
        std::this_thread::sleep_for(kIdleRest);
    if (doc) doc->addTiming(1, (View3D::counterNow() - started) * 1e-9);
}

bool RenderThread::drawWindowFrame(Document* doc, std::int64_t started, bool still) {
    applyDocumentFolder();
    if (doc) {
        FlashTimer::advance(*doc, started);
        if (view_.frameProbe) view_.frameProbe(*doc);
        view_.markStepStart();
        PathPassResult pass = doc->step([this](double f) { view_.setStepProgress(f); });
        view_.markStepEnd();
        // A pass that a pause stopped left the paths half made: no frame of
        // them; the pause is served first and the pass redone after it.
        if (pass.ran && !pass.completed) return false;
        if (pass.ran) passNote_ = coarseningNote(pass);
        rollingNow_ = view_.rolling().prepare(*doc, pass, View3D::counterNow());
        // One change of the shared distance, so that a drag on the UI
        // thread meanwhile is not lost.
        bool away = view_.pollDeleteKey(), nearer = view_.pollInsertKey();
        if (away || nearer) {
            double now = doc->cameraDistance.load();
            while (!doc->cameraDistance.compare_exchange_weak(
                now, CameraMouse::keyboardZoom(now, away, nearer))) {
            }
        }
    }
    setViewport();
    // A moving picture, and the first frame after an edit, go without
    // samples; the frame drawn once it stands still has them.
    const auto mode = view_.smoothEdges();
    const bool smooth = mode == View3D::SmoothEdges::Always ||
                        (mode == View3D::SmoothEdges::WhenStill && (still || hardwareGl_));
    if (!drawFrame(smooth)) return false;  // given up for a request; drawn again after it
    smoothOwed_ = !smooth && mode == View3D::SmoothEdges::WhenStill;
    roughShownAt_ = View3D::counterNow();
    if (smooth) view_.countSmoothFrame();
    std::string note = passNote_;
    if (frames_->spheres().tubesCoarsened())
        note += (note.empty() ? "" : " ") + SphereDrawer::tubeBudgetNote();
    view_.setPathNote(note);
    glFlush();
    context_->swapBuffers(&view_);
    // The statistics count the frames shown, not those given up.
    if (doc) ++doc->framesRendered;
    view_.countFrame();
    frameWanted_ = false;
    return true;
}

std::string RenderThread::coarseningNote(const PathPassResult& pass) {
    if (pass.coarsened.empty()) return {};
    std::string names;
    for (const Sphere* s : pass.coarsened) names += (names.empty() ? "" : ", ") + s->name;
    return "Paths of " + names + " sampled at a coarser step to fit memory.";
}

void RenderThread::setViewport() {
    if (!glReady_) return;
    double r = view_.pixelRatio();
    int w = static_cast<int>(view_.clientWidth() * r);
    int h = static_cast<int>(view_.clientHeight() * r);
    glViewport(0, 0, w, h ? h : 1);
}

void RenderThread::assignTextures() {
    // Taken before the work: the UI thread may answer a posted texture
    // choice, and make a new request, before this pass is over.
    view_.clearTextureRequest();
    Document* doc = view_.document();
    if (doc) {
        Sphere* target = doc->textureTarget;
        doc->textureTarget = nullptr;
        if (target) {
            // Choosing a file needs a dialog, and dialogs belong to the UI
            // thread: it picks the file and stores it in a pause of its own.
            view_.postTextureChoice(target);
        } else {
            prepareTree(view_, doc->root);
        }
    }
}

void RenderThread::renderRequestedImage() {
    Document* doc = view_.document();
    View3D::ImageJob* job = view_.imageJob();
    if (!glReady_) {
        job->error = "OpenGL is not available in this window.";
        return;
    }
    if (doc) {
        view_.markStepStart();
        PathPassResult pass = doc->step([this](double f) { view_.setStepProgress(f); });
        view_.markStepEnd();
        // The picture as the window shows it, rolling spheres included.
        if (pass.ran || rollingNow_) {
            rollingNow_ = view_.rolling().prepare(*doc, pass, View3D::counterNow());
        }
    }
    job->result = renderOffscreen(job->size, &job->error);
}

QImage RenderThread::toQImage(const RgbaImage& image) {
    if (image.empty()) return {};
    QImage q(image.pixels.data(), image.width, image.height, image.width * 4,
             QImage::Format_RGBX8888);
    return q.convertToFormat(QImage::Format_RGB32);  // a deep copy
}

void RenderThread::applyDocumentFolder() {
    std::string folder;
    if (view_.documentFolder(&folder, &folderVersion_)) frames_->setDocumentFolder(folder);
}

bool RenderThread::drawFrame(bool smooth) {
    Document* doc = view_.document();
    double r = view_.pixelRatio();
    int w = static_cast<int>(view_.clientWidth() * r);
    int h = std::max(1, static_cast<int>(view_.clientHeight() * r));
    if (!doc) {
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        return true;
    }
    FrameSettings settings = frameSettingsOf(*doc);
    settings.rolling = rollingNow_;
    // Between spheres and inside long tube lists the frame looks whether
    // somebody waits for this thread, and gives up if so.
    settings.stop = [this, doc] { return view_.frameInterrupted() || doc->pauseWanted(); };
    if (smooth) return frames_->drawSmoothFrame(*doc, settings, rig_, &doc->cameraController, w, h);
    return frames_->drawFrame(*doc, settings, rig_, &doc->cameraController, w, h);
}

QImage RenderThread::renderOffscreen(QSize size, QString* error) {
    Document* doc = view_.document();
    if (doc) {
        applyDocumentFolder();
        std::string why;
        FrameSettings settings = frameSettingsOf(*doc);
        settings.rolling = rollingNow_;
        auto image = frames_->renderImage(*doc, settings, rig_, &doc->cameraController,
                                          size.width(), size.height(), &why);
        setViewport();
        if (!image) {
            *error = QString::fromStdString(why);
            return {};
        }
        return toQImage(*image);
    }
    QOpenGLFramebufferObject fbo(size, QOpenGLFramebufferObject::Depth);
    if (!fbo.isValid() || !fbo.bind()) {
        *error = QString("The picture could not be rendered at %1 x %2 pixels.")
                     .arg(size.width())
                     .arg(size.height());
        return {};
    }
    glViewport(0, 0, size.width(), size.height());
    glClearColor(1, 1, 1, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // The background's alpha is 0; the picture is opaque all the same.
    QImage image = fbo.toImage(true);
    image.reinterpretAsFormat(QImage::Format_RGB32);
    fbo.release();
    setViewport();
    return image;
}
