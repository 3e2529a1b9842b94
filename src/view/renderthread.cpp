// Render thread of the 3-D view.
#include "renderthread.h"

#include <GL/gl.h>

#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <algorithm>
#include <chrono>

#include "automatoncopy.h"
#include "cameramouse.h"
#include "document.h"
#include "flashtimer.h"
#include "passstop.h"
#include "placement.h"
#include "relations.h"
#include "sphere.h"
#include "view3d.h"

namespace {
// How long an idle pass (window hidden, or no OpenGL) rests, so that a
// hidden window costs nothing while the hand-overs are still answered.
constexpr auto kIdleRest = std::chrono::milliseconds(10);
// How long an idle thread waits before it looks at the requests and the
// picture again by itself; whoever changes something wakes it at once.
constexpr auto kIdleWait = std::chrono::milliseconds(100);

bool anyDynamicSphere(const Sphere* s) {
    for (; s; s = s->nextChild())
        if (s->dynamic || anyDynamicSphere(s->firstChild())) return true;
    return false;
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
    if (Document* doc = view_.document()) measurer_ = std::make_unique<CurveMeasurer>(*doc);
    while (!view_.exitRequested()) loopPass();
    measurer_.reset();
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
    return true;
}

void RenderThread::tearDown() {
    if (!context_) return;
    if (glReady_ && context_->makeCurrent(&view_)) {
        frames_.reset();  // its lists and textures belong to this context
        context_->doneCurrent();
    }
    context_.reset();
}

bool RenderThread::pictureMayChange(const Document& doc) const {
    // Each of these changes the picture from one frame to the next without
    // anybody asking: paths or curves still to work out, the edit feedback
    // counting down, the orbit turning, spheres turning their axes, an
    // animation (the spheres rolling), a zoom key held.
    const bool orbit = scene_ && scene_->viewFromStationary == 0;
    return (work_ && (!work_->pathsUpToDate || anyDynamicSphere(work_->root))) ||
           doc.flashActive.load() || orbit || view_.rolling().playing() || view_.zoomKeyHeld();
}

std::vector<CurveInvariants> RenderThread::renamed(std::vector<CurveInvariants> curves,
                                                   const Automaton& before,
                                                   const Automaton& after) {
    auto nameIn = [](const Automaton& a, int slot) -> const std::string* {
        if (slot < 0 || slot >= Automaton::kTableSize) return nullptr;
        const Sphere* s = a.sphereTable[static_cast<std::size_t>(slot)];
        return s ? &s->name : nullptr;
    };
    std::vector<std::pair<std::string, std::string>> names;
    for (int i = 0; i < Automaton::kTableSize; ++i) {
        const std::string *was = nameIn(before, i), *now = nameIn(after, i);
        if (was && now && *was != *now) names.emplace_back(*was, *now);
    }
    if (names.empty()) return curves;
    auto rename = [&names](std::string& name) {
        for (const auto& [was, now] : names)
            if (name == was) {
                name = now;
                return;
            }
    };
    for (CurveInvariants& c : curves) {
        if (const std::string* now = nameIn(after, c.slot)) c.sphere = *now;
        for (CurveLink& link : c.links) rename(link.sphere);
    }
    return curves;
}

bool RenderThread::takeNewestScene(Document& doc) {
    // Lowered before the scene is read: a publication from here on raises
    // it again, and the work below gives way to it.
    doc.newerScene() = false;
    std::shared_ptr<const Scene> newest = doc.scene();
    if (!newest || (scene_ && newest->revision == scene_->revision)) return false;
    std::unique_ptr<Automaton> copy = copyAutomaton(*newest->automaton);
    if (work_) carryPaths(*work_, *copy);
    if (copy->pathsUpToDate) {
        // Only the looks changed: the curves are those measured before
        // under the spheres' new names, or, while they are still being
        // measured, those of this copy.
        if (scene_ && doc.curvesRevision() == scene_->revision)
            doc.setCurves(newest->revision, renamed(doc.curves(), *work_, *copy));
        else if (measurer_ && !anyDynamic(*copy))
            measurer_->measure(copyAutomaton(*copy, true), newest->revision);
    } else {
        if (measurer_) measurer_->cancel();
        // The spheres where they stand at time 0, for the first frame of
        // the edit; the paths follow.
        if (copy->root && copy->stationarySphere && !anyDynamic(*copy)) {
            try {
                StopScope scope(&doc.newerScene());
                reset(*copy);
            } catch (const PassStopped&) {
                copy->pathsUpToDate = 0;
            }
        }
    }
    scene_ = std::move(newest);
    work_ = std::move(copy);
    copyReplaced_ = true;
    return true;
}

bool RenderThread::updatePaths(Document& doc, PathPassResult* pass) {
    view_.markStepStart();
    PathPassControl control;
    control.stop = &doc.newerScene();
    control.progress = [this](double f) { view_.setStepProgress(f); };
    *pass = frameUpdate(*work_, &control);
    view_.markStepEnd();
    if (pass->ran && !pass->completed) return false;
    if (pass->ran) {
        passNote_ = coarseningNote(*pass);
        // Now that the paths exist the camera can take in their reach.
        if (doc.takeFitAfterPass(scene_->revision)) {
            double e = reach(*work_);
            if (!(e > 0.0)) e = work_->baseRadius;
            doc.fitCameraToReach(e);
        }
        // The curves of a long chain take longer than a frame: they are
        // measured on a copy beside the drawing, which goes on at once.
        if (measurer_ && work_->pathsUpToDate && !anyDynamic(*work_))
            measurer_->measure(copyAutomaton(*work_, true), scene_->revision);
    }
    return true;
}

void RenderThread::loopPass() {
    std::int64_t started = View3D::counterNow();
    Document* doc = view_.document();
    // Cleared before the requests are read: a request made from here on
    // interrupts the frame below.
    view_.clearFrameInterrupt();
    bool drew = false;
    if (view_.imageRequested()) {
        if (doc) ++doc->framesRendered;
        renderRequestedImage();
        view_.setImageRequested(false);
    } else if (glReady_ && view_.exposedForDrawing()) {
        if (doc && takeNewestScene(*doc)) {
            frameWanted_ = true;
            // The edit shows in the next frame, before its paths are computed.
            editShownFirst_ = false;
        }
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
    if (!drew && glReady_ && !view_.exposedForDrawing() && !view_.imageRequested())
        std::this_thread::sleep_for(kIdleRest);
    if (doc) doc->addTiming(1, (View3D::counterNow() - started) * 1e-9);
}

bool RenderThread::drawWindowFrame(Document* doc, std::int64_t started, bool still) {
    applyDocumentFolder();
    if (doc && work_) {
        FlashTimer::advance(*doc, started);
        view_.probeFrame(*work_);
        // After an edit, a frame of the spheres as they now stand comes
        // first: a path pass and its tubes may take seconds, and the edit
        // should not wait for them to be seen. The pass runs from the next
        // frame on.
        if (!editShownFirst_) {
            editShownFirst_ = true;
            if (!work_->pathsUpToDate && !anyDynamic(*work_)) {
                rollingNow_ = nullptr;
                return finishWindowFrame(doc, still);
            }
        }
        PathPassResult pass;
        // A pass that a newer scene stopped left the paths half made: no
        // frame of them; the newer scene is taken first.
        if (!updatePaths(*doc, &pass)) return false;
        if (std::exchange(copyReplaced_, false)) pass.ran = true;
        rollingNow_ = view_.rolling().prepare(*work_, pass, View3D::counterNow());
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
    return finishWindowFrame(doc, still);
}

bool RenderThread::finishWindowFrame(Document* doc, bool still) {
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
        note += (note.empty() ? "" : " ") +
                SphereDrawer::tubeBudgetNote(frames_->spheres().tubeTriangleBudget());
    view_.setPathNote(note);
    glFlush();
    context_->swapBuffers(&view_);
    // The statistics count the frames shown, not those given up.
    if (doc) ++doc->framesRendered;
    view_.countFrame(scene_ ? scene_->revision : 0, work_ && work_->pathsUpToDate);
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

void RenderThread::renderRequestedImage() {
    Document* doc = view_.document();
    View3D::ImageJob* job = view_.imageJob();
    if (!glReady_) {
        job->error = "OpenGL is not available in this window.";
        return;
    }
    if (doc) {
        takeNewestScene(*doc);
        if (work_) {
            PathPassResult pass;
            // A picture is of the paths: an edit meanwhile does not cut
            // them short (the picture then shows the automaton as it was).
            std::atomic<bool> never{false};
            PathPassControl control;
            control.stop = &never;
            view_.markStepStart();
            pass = frameUpdate(*work_, &control);
            view_.markStepEnd();
            if (pass.ran && measurer_ && work_->pathsUpToDate && !anyDynamic(*work_))
                measurer_->measure(copyAutomaton(*work_, true), scene_->revision);
            if (std::exchange(copyReplaced_, false)) pass.ran = true;
            // The picture as the window shows it, rolling spheres included.
            if (pass.ran || rollingNow_)
                rollingNow_ = view_.rolling().prepare(*work_, pass, View3D::counterNow());
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

FrameSettings RenderThread::frameSettings(const Document& doc) const {
    FrameSettings settings = frameSettingsOf(*scene_);
    // Looking is no edit: the zoom and the flash are read as they are now.
    settings.camera.cameraDistance = doc.cameraDistance.load();
    settings.flashActive = doc.flashActive.load() != 0;
    settings.flashPointIndex = doc.flashPointIndex.load();
    settings.rolling = rollingNow_;
    return settings;
}

bool RenderThread::drawFrame(bool smooth) {
    Document* doc = view_.document();
    double r = view_.pixelRatio();
    int w = static_cast<int>(view_.clientWidth() * r);
    int h = std::max(1, static_cast<int>(view_.clientHeight() * r));
    if (!doc || !work_) {
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        return true;
    }
    FrameSettings settings = frameSettings(*doc);
    // Between spheres and inside long tube lists the frame looks whether
    // somebody waits for this thread or a newer scene came, and gives up if
    // so; the tubes' meshing looks too, within a mesh.
    settings.stop = [this, doc] { return view_.frameInterrupted() || doc->newerScene().load(); };
    StopScope newer(&doc->newerScene());
    if (smooth)
        return frames_->drawSmoothFrame(*work_, settings, rig_, &doc->cameraController, w, h);
    return frames_->drawFrame(*work_, settings, rig_, &doc->cameraController, w, h);
}

QImage RenderThread::renderOffscreen(QSize size, QString* error) {
    Document* doc = view_.document();
    if (doc && work_) {
        applyDocumentFolder();
        std::string why;
        FrameSettings settings = frameSettings(*doc);
        auto image = frames_->renderImage(*work_, settings, rig_, &doc->cameraController,
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
