// The 3-D view: window events, hand-overs with the render thread, input,
// statistics and images.
#include "viewopenglmt.h"

#include <QApplication>
#include <QBuffer>
#include <QExposeEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageWriter>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlatformSurfaceEvent>
#include <QResizeEvent>
#include <QSurfaceFormat>
#include <QWheelEvent>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <ctime>

#include "atomicfile.h"
#include "camerarig.h"
#include "crotundeldoc.h"
#include "headlessrenderer.h"
#include "sphere.h"
#include "viewrenderthread.h"

namespace {
// Saved pictures never exceed this many pixels along an edge: a window of
// odd proportions would otherwise ask for an image that eats all memory.
constexpr int kMaxImageEdge = 16384;

struct ImageFormat {
    const char* extension;  // upper case, as the filter shows it
    const char* writer;     // Qt's format name
};
constexpr ImageFormat kImageFormats[] = {{"BMP", "bmp"}, {"JPG", "jpg"},  {"JPEG", "jpg"},
                                         {"PNG", "png"}, {"TIF", "tiff"}, {"TIFF", "tiff"}};

// The virtual-key numbers that the arcball's key table speaks.
int ballKeyCode(const QKeyEvent* e) {
    bool pad = e->modifiers() & Qt::KeypadModifier;
    switch (e->key()) {
        case Qt::Key_Tab:
            return 9;
        case Qt::Key_Escape:
            return 27;
        case Qt::Key_PageUp:
            return 33;
        case Qt::Key_Home:
            return 36;
        case Qt::Key_Left:
            return 37;
        case Qt::Key_Up:
            return 38;
        case Qt::Key_Right:
            return 39;
        case Qt::Key_Down:
            return 40;
        case Qt::Key_2:
            return pad ? 98 : 0;
        case Qt::Key_4:
            return pad ? 100 : 0;
        case Qt::Key_6:
            return pad ? 102 : 0;
        case Qt::Key_7:
            return pad ? 103 : 0;
        case Qt::Key_8:
            return pad ? 104 : 0;
        case Qt::Key_9:
            return pad ? 105 : 0;
        default:
            return 0;
    }
}
}  // namespace

ViewOpenGLmt::ViewOpenGLmt(QWindow* parent) : QWindow(parent) {
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    // The render thread waits while the picture is still; a change of the
    // animation (a pause, the time slider) must wake it.
    rolling_.changed = [this] { requestFrame(); };
    setSurfaceType(QSurface::OpenGLSurface);
    // Fixed-function drawing and display lists need a compatibility
    // context; asking for 2.1 gets one everywhere.
    QSurfaceFormat f;
    f.setRenderableType(QSurfaceFormat::OpenGL);
    f.setVersion(2, 1);
    f.setDepthBufferSize(24);
    f.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    // No samples in the window's own buffer: frames with smooth edges are
    // drawn into a multisampled framebuffer object and copied onto it, so
    // that the frames of a moving picture do not pay for samples.
    f.setSamples(0);
    setFormat(f);
    connect(&statsTimer_, &QTimer::timeout, this, &ViewOpenGLmt::OnTimer);
    statsTimer_.start(1000);
    connect(
        this, &ViewOpenGLmt::messagePosted, this,
        [this](const QString& text) { showMessage(text.toStdString()); }, Qt::QueuedConnection);
    connect(this, &ViewOpenGLmt::textureChoiceWanted, this, &ViewOpenGLmt::chooseTexture,
            Qt::QueuedConnection);
    askTexturePath = [this] {
        return QFileDialog::getOpenFileName(
            titleWindow_, "Set texture", QString(),
            "BMP Files (*.BMP *.bmp);;Icon Files (*.ICO *.ico);;JPEG Files (*.JPG *.jpg *.jpeg);;"
            "PNG Files (*.PNG *.png);;PNM Files (*.PNM *.pnm);;Targa Files (*.TGA *.tga);;"
            "TIFF Files (*.TIF *.tif *.tiff);;All Files (*)",
            nullptr, QFileDialog::ReadOnly);
    };
}

ViewOpenGLmt::~ViewOpenGLmt() {
    ExitThreadsAndWait();
}

void ViewOpenGLmt::setDocument(CRotundelDoc* doc) {
    doc_ = doc;
}

// --- Request flags ---

// The document's calls come with requestLock held.
bool ViewOpenGLmt::docUpdateRequested() const {
    return docUpdateRequested_;
}
void ViewOpenGLmt::setDocUpdateRequest(bool on) {
    docUpdateRequested_ = on;
    if (on) interrupt_ = true;
}
void ViewOpenGLmt::setTextureAssignmentRequest(bool on) {
    textureRequested_ = on;
}

void ViewOpenGLmt::clearTextureRequest() {
    std::lock_guard<CriticalSection> g(requestLock_);
    textureRequested_ = false;
}
bool ViewOpenGLmt::takeDocUpdateRequest() {
    std::lock_guard<CriticalSection> g(requestLock_);
    return std::exchange(docUpdateRequested_, false);
}
bool ViewOpenGLmt::textureRequested() const {
    std::lock_guard<CriticalSection> g(requestLock_);
    return textureRequested_;
}
bool ViewOpenGLmt::imageRequested() const {
    std::lock_guard<CriticalSection> g(requestLock_);
    return imageRequested_;
}
void ViewOpenGLmt::setImageRequested(bool on) {
    {
        std::lock_guard<CriticalSection> g(requestLock_);
        imageRequested_ = on;
    }
    if (on) {
        interrupt_ = true;
        requestFrame();
    }
}
bool ViewOpenGLmt::resizeRequested() const {
    std::lock_guard<CriticalSection> g(requestLock_);
    return resizeRequested_;
}
void ViewOpenGLmt::setResizeRequested(bool on) {
    {
        std::lock_guard<CriticalSection> g(requestLock_);
        resizeRequested_ = on;
    }
    if (on) {
        interrupt_ = true;
        requestFrame();
    }
}
bool ViewOpenGLmt::takeResizeRequest() {
    std::lock_guard<CriticalSection> g(requestLock_);
    return std::exchange(resizeRequested_, false);
}
bool ViewOpenGLmt::exitRequested() const {
    std::lock_guard<CriticalSection> g(exitLock_);
    return exitRequested_;
}
void ViewOpenGLmt::setExitRequested(bool on) {
    {
        std::lock_guard<CriticalSection> g(exitLock_);
        exitRequested_ = on;
    }
    if (on) {
        interrupt_ = true;
        requestFrame();
    }
}

// --- Messages ---

void ViewOpenGLmt::showMessage(const std::string& text) {
    QWidget* parent = titleWindow_ ? titleWindow_ : QApplication::activeWindow();
    QMessageBox::warning(parent, "Rotundel", QString::fromStdString(text));
}

void ViewOpenGLmt::showBusy(bool on) {
    // The wait goes on without processing events, so that no other edit
    // can start in the middle of the one waiting; the window server shows
    // the cursor all the same.
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void ViewOpenGLmt::postMessage(const QString& text) {
    emit messagePosted(text);
}

void ViewOpenGLmt::postTextureChoice(Sphere* s) {
    emit textureChoiceWanted(s);
}

// --- Render thread life ---

bool ViewOpenGLmt::renderThreadRunning() const {
    return threadStarted_.load() && !threadEnded_.load();
}

void ViewOpenGLmt::startRenderThread() {
    if (threadStarted_.exchange(true)) return;
    // Marked here, before the thread runs: an edit from now on pauses it,
    // even one that comes before the thread's first pass.
    if (doc_) {
        doc_->counterFrequency = 1'000'000'000;  // the counter counts nanoseconds
        doc_->renderThreadStopped = 0;
        doc_->renderThreadStarted = 1;
    }
    renderThread_ = std::make_unique<ViewRenderThread>(*this);
    renderThread_->start();
}

void ViewOpenGLmt::ExitThreadsAndWait() {
    statsTimer_.stop();
    if (!renderThread_ || threadEnded_.load()) return;
    // Parking the thread first stops a long path computation within
    // milliseconds; a thread that is parked ends as soon as it is asked to.
    bool paused =
        doc_ && doc_->renderLink() == this && !renderThread_->ended() && doc_->PauseIfRunning();
    setExitRequested(true);
    if (!renderThread_->joinFor(kHandOverTimeout)) {
        // The thread still draws into this window: it must be gone before
        // the window is.
        showBusy(true);
        renderThread_->join();
        showBusy(false);
    }
    threadEnded_ = true;
    if (paused) doc_->RenderResume();
    if (doc_) {
        doc_->renderThreadStopped = 1;
        doc_->DisconnectViews();
    }
}

double ViewOpenGLmt::stepRunningSeconds() const {
    std::int64_t started = stepStartedAt_.load();
    return started ? (counterNow() - started) * 1e-9 : 0.0;
}

std::int64_t ViewOpenGLmt::counterNow() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// --- Window events ---

void ViewOpenGLmt::exposeEvent(QExposeEvent*) {
    exposed_ = isExposed();
    requestFrame();
    if (isExposed()) {
        if (clientWidth_ == 0) OnSize(width(), height());
        startRenderThread();
    }
}

bool ViewOpenGLmt::event(QEvent* e) {
    // The native window is about to go: the render thread must stop using
    // it first.
    if (e->type() == QEvent::PlatformSurface &&
        static_cast<QPlatformSurfaceEvent*>(e)->surfaceEventType() ==
            QPlatformSurfaceEvent::SurfaceAboutToBeDestroyed)
        ExitThreadsAndWait();
    return QWindow::event(e);
}

void ViewOpenGLmt::resizeEvent(QResizeEvent* e) {
    OnSize(e->size().width(), e->size().height());
    QWindow::resizeEvent(e);
}

bool ViewOpenGLmt::waitForRenderThread(AutoResetEvent& e) {
    if (e.waitFor(kHandOverTimeout)) return true;
    if (!renderThreadRunning()) return false;
    // A busy machine: wait on, with no message box, whose event loop would
    // let other work into the middle of this hand-over.
    showBusy(true);
    bool answered = true;
    while (answered && !e.waitFor(std::chrono::milliseconds(100)))
        answered = renderThreadRunning() && !renderThread_->ended();
    showBusy(false);
    return answered;
}

void ViewOpenGLmt::OnSize(int cx, int cy) {
    // The render thread stands still while the size changes, so no frame
    // is drawn between this size and its viewport. When the document holds
    // it parked (a message box inside an edit can let a resize through) or
    // a hand-over is already under way, the size is simply recorded: the
    // thread sets the viewport from it before its next frame.
    bool paused = false;
    if (doc_) {
        std::lock_guard<CriticalSection> g(requestLock_);
        paused = doc_->renderPaused != 0;
    }
    if (inHandOver_) {
        clientWidth_ = cx;
        clientHeight_ = cy;
        if (doc_) doc_->cameraController.setWindowSize(cx, cy);
        return;
    }
    // Nor does a resize wait for a path computation under way: it may take
    // seconds, and the frame after it reads the new size anyway.
    bool computing = stepRunningSeconds() > 0;
    bool handOver =
        renderThreadRunning() && !paused && !computing && renderThread_ && !renderThread_->ended();
    inHandOver_ = true;
    if (handOver) {
        setResizeRequested(true);
        handOver = waitForRenderThread(resizeWait_);
    }
    clientWidth_ = cx;
    clientHeight_ = cy;
    pixelRatio_ = devicePixelRatio();
    if (doc_) doc_->cameraController.setWindowSize(cx, cy);
    if (handOver) resizeComplete_.signal();
    inHandOver_ = false;
    requestFrame();
}

// --- Input ---

void ViewOpenGLmt::addInputTime(std::int64_t started) {
    // Every input may have turned or moved the camera.
    requestFrame();
    if (doc_) doc_->AddTiming(2, (counterNow() - started) * 1e-9);
}

void ViewOpenGLmt::mousePressEvent(QMouseEvent* e) {
    if (!doc_) return;
    std::int64_t t = counterNow();
    QPointF p = e->position();
    if (e->button() == Qt::LeftButton) {
        mouse_.leftButtonDown(doc_->cameraController, p.x(), p.y(),
                              e->modifiers() & Qt::ControlModifier,
                              e->modifiers() & Qt::ShiftModifier);
    } else if (e->button() == Qt::RightButton) {
        if (mouse_.rightButtonDown(p.x(), p.y(), doc_->keepInView, doc_->cameraDistance))
            lastDragDistance_ = -static_cast<double>(mouse_.distanceAtPress);
    }
    requestActivate();
    addInputTime(t);
}

void ViewOpenGLmt::mouseReleaseEvent(QMouseEvent* e) {
    if (!doc_) return;
    std::int64_t t = counterNow();
    if (e->button() == Qt::LeftButton && mouse_.leftDragging)
        mouse_.leftButtonUp(doc_->cameraController);
    else if (e->button() == Qt::RightButton)
        mouse_.rightButtonUp(doc_->keepInView);
    addInputTime(t);
}

void ViewOpenGLmt::mouseMoveEvent(QMouseEvent* e) {
    // Only while a button of this view is held (the press captured it).
    if (!doc_ || !(mouse_.leftDragging || mouse_.rightDragging)) return;
    std::int64_t t = counterNow();
    QPointF p = e->position();
    if (auto d = mouse_.mouseMove(doc_->cameraController, p.x(), p.y())) {
        // Applied as a step from the drag's last position, so that a
        // keyboard zoom on the render thread meanwhile is not undone.
        double step = *d - lastDragDistance_;
        lastDragDistance_ = *d;
        double now = doc_->cameraDistance.load();
        while (!doc_->cameraDistance.compare_exchange_weak(
            now, CameraMouse::zoomWithinBounds(now, step))) {
        }
    }
    addInputTime(t);
}

void ViewOpenGLmt::wheelEvent(QWheelEvent* e) {
    if (!doc_ || doc_->keepInView) return;
    std::int64_t t = counterNow();
    int notches = e->angleDelta().y();
    double now = doc_->cameraDistance.load();
    while (!doc_->cameraDistance.compare_exchange_weak(now, CameraMouse::wheelZoom(now, notches))) {
    }
    addInputTime(t);
}

void ViewOpenGLmt::keyPressEvent(QKeyEvent* e) {
    // Tab steps the arcball's constraint axis only during a drag; otherwise
    // it moves on to the next control, as everywhere else in the window.
    const bool tab = e->key() == Qt::Key_Tab || e->key() == Qt::Key_Backtab;
    if (tab && onTabOut && QGuiApplication::mouseButtons() == Qt::NoButton) {
        const bool back = e->key() == Qt::Key_Backtab || (e->modifiers() & Qt::ShiftModifier);
        onTabOut(!back);
        return;
    }
    if (e->key() == Qt::Key_Delete) {
        deleteDown_ = true;
        deletePressed_ = true;
    } else if (e->key() == Qt::Key_Insert) {
        insertDown_ = true;
        insertPressed_ = true;
    }
    int code = ballKeyCode(e);
    bool zoomKey = e->key() == Qt::Key_Delete || e->key() == Qt::Key_Insert;
    if (!code && !zoomKey) {
        e->ignore();
        return;
    }
    if (!doc_) return;
    std::int64_t t = counterNow();
    if (code) doc_->cameraController.key(code);
    addInputTime(t);
}

void ViewOpenGLmt::keyReleaseEvent(QKeyEvent* e) {
    if (e->isAutoRepeat()) return;
    if (e->key() == Qt::Key_Delete) deleteDown_ = false;
    if (e->key() == Qt::Key_Insert) insertDown_ = false;
    requestFrame();
}

void ViewOpenGLmt::focusOutEvent(QFocusEvent*) {
    // A key released in another window never reaches this one.
    deleteDown_ = insertDown_ = false;
    requestFrame();
}

bool ViewOpenGLmt::pollDeleteKey() {
    return deletePressed_.exchange(false) || deleteDown_.load();
}
bool ViewOpenGLmt::pollInsertKey() {
    return insertPressed_.exchange(false) || insertDown_.load();
}

// --- Statistics ---

void ViewOpenGLmt::OnTimer() {
    if (!doc_) return;
    std::int64_t t = counterNow();
    QString stats =
        QString::asprintf("  Rendering:  %d, %.4lf      Input:  %.4lf", doc_->framesRendered.load(),
                          doc_->renderSeconds.load(), doc_->inputSeconds.load());
    if (titleWindow_) {
        // The document's name stays; the statistics follow it.
        titleWindow_->setWindowTitle(titleBase_ + stats);
        titleWindow_->setWindowModified(doc_->IsModified());
    }
    doc_->framesRendered = 0;
    doc_->renderSeconds = 0;
    doc_->inputSeconds = 0;
    // Not input, and nothing to draw: the title alone changed.
    doc_->AddTiming(2, (counterNow() - t) * 1e-9);
}

void ViewOpenGLmt::setTitleBase(const QString& title) {
    titleBase_ = title;
    if (titleWindow_) {
        titleWindow_->setWindowTitle(title);
        if (doc_) titleWindow_->setWindowModified(doc_->IsModified());
    }
}

void ViewOpenGLmt::resetView() {
    if (!doc_) return;
    doc_->ResetView();
    requestFrame();
}

// --- Textures ---

void ViewOpenGLmt::prepareSphereTexture(Sphere& s) {
    if (s.textureSlot == 0 || s.textureSlot == textures_.reservedName())
        s.textureSlot = textures_.take();
}

void ViewOpenGLmt::chooseTexture(void* p) {
    auto* s = static_cast<Sphere*>(p);
    struct Done {
        ViewOpenGLmt* v;
        ~Done() { emit v->textureChoiceDone(); }
    } done{this};
    // The sphere may have been destroyed since the render thread asked.
    if (!doc_ || !s || doc_->slotOf(s) < 0) return;
    QString file = askTexturePath();
    if (file.isEmpty() || doc_->slotOf(s) < 0) return;
    doc_->ApplyEdit("Texture of " + s->name, 0, 0, [this, s, &file] {
        if (s->textureSlot == 0 || s->textureSlot == textures_.reservedName())
            s->textureSlot = textures_.take();
        if (s->textureSlot != 0) {
            s->textureFile = QFileInfo(file).fileName().toStdString();
            s->bodyListValid = 0;
        }
    });
}

// --- Images ---

void ViewOpenGLmt::setDocumentFolder(const std::string& folder) {
    std::lock_guard<std::mutex> g(folderMutex_);
    if (folder == folder_) return;
    folder_ = folder;
    ++folderVersion_;
}

bool ViewOpenGLmt::documentFolder(std::string* folder, std::uint64_t* version) const {
    std::lock_guard<std::mutex> g(folderMutex_);
    if (*version == folderVersion_) return false;
    *folder = folder_;
    *version = folderVersion_;
    return true;
}

QSize ViewOpenGLmt::imageSizeFor(int w, int cw, int ch) {
    if (w < 1) w = 1;
    if (cw < 1 || ch < 1) return {w, w};
    double h = ch / (static_cast<double>(cw) / w);
    return {w, std::clamp(static_cast<int>(h), 1, kMaxImageEdge)};
}

QImage ViewOpenGLmt::renderImage(QSize size, QString* error) {
    if (!renderThreadRunning() || !renderThread_ || renderThread_->ended()) {
        // No render thread to ask (the window has not been shown yet, or
        // has closed): this thread renders the picture itself, without a
        // window.
        if (!doc_) {
            *error = "There is no automaton to draw.";
            return {};
        }
        doc_->Step();
        CameraRig rig;
        rig.fovy = kFovy;
        std::string why, folder;
        {
            std::lock_guard<std::mutex> g(folderMutex_);
            folder = folder_;
        }
        auto image = HeadlessRenderer::renderOnce(*doc_, frameSettingsOf(*doc_), rig,
                                                  &doc_->cameraController, size.width(),
                                                  size.height(), folder, &why);
        if (!image) {
            *error = QString::fromStdString(why);
            return {};
        }
        return ViewRenderThread::toQImage(*image);
    }
    if (imageRequested()) {
        *error = "An image is already being made.";
        return {};
    }
    if (doc_) {
        // A parked render thread would never answer.
        std::lock_guard<CriticalSection> g(requestLock_);
        if (doc_->renderPaused) {
            *error = "The automaton is being changed; try again in a moment.";
            return {};
        }
    }
    imageJob_ = ImageJob{size, {}, {}};
    if (doc_) doc_->saveImageRequested = 1;
    setImageRequested(true);
    // The render thread answers between two frames; nothing else may reach
    // the automaton meanwhile, so this thread simply waits.
    while (imageRequested() && !renderThread_->ended())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (doc_) doc_->saveImageRequested = 0;
    if (imageRequested()) {
        setImageRequested(false);
        *error = "The 3-D view stopped before the image was made.";
        return {};
    }
    *error = imageJob_.error;
    return imageJob_.result;
}

QString ViewOpenGLmt::saveImage(const QString& path) {
    if (!doc_) return "There is no automaton to draw.";
    QString suffix = QFileInfo(path).suffix().toUpper();
    for (int i = 0; i < static_cast<int>(std::size(kImageFormats)); ++i)
        if (suffix == kImageFormats[i].extension) imageFormatIndex_ = i;
    QSize size = imageSizeFor(doc_->imageWidth, clientWidth(), clientHeight());
    QString error;
    QImage image = renderImage(size, &error);
    if (image.isNull()) return error.isEmpty() ? "The picture could not be rendered." : error;
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, kImageFormats[imageFormatIndex_].writer);
    if (!writer.write(image))
        return QString("The image could not be written to %1: %2.")
            .arg(QDir::toNativeSeparators(path), writer.errorString());
    // Through a temporary file: a failed or killed write leaves an older
    // picture of that name as it was, and nothing beside it.
    AtomicFile file(QFile::encodeName(path).toStdString());
    if (file.open()) file.write(std::string_view(buffer.data().constData(), buffer.data().size()));
    if (!file.commit())
        return QString("The image could not be written to %1: %2.")
            .arg(QDir::toNativeSeparators(path), QString::fromStdString(file.error()));
    return {};
}

void ViewOpenGLmt::OnSaveImage() {
    if (!doc_ || imageRequested()) return;
    QFileDialog dialog(titleWindow_, "Save image", QString(), "");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({"BMP Files (*.BMP *.bmp)", "JPEG Files (*.JPG *.jpg *.jpeg)",
                           "PNG Files (*.PNG *.png)", "TIFF Files (*.TIF *.tif *.tiff)"});
    dialog.setDefaultSuffix("bmp");
    // A name typed without extension takes the one of the chosen type.
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        dialog.setDefaultSuffix(
            filter.section('*', 1, 1).section('.', 1, 1).section(' ', 0, 0).toLower());
    });
    dialog.selectFile("Automaton");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    QString error = saveImage(dialog.selectedFiles().first());
    if (!error.isEmpty()) showMessage(error.toStdString());
}

void ViewOpenGLmt::setPathNote(const std::string& note) {
    std::lock_guard<std::mutex> hold(pathNoteLock_);
    pathNote_ = note;
}

std::string ViewOpenGLmt::pathNote() const {
    std::lock_guard<std::mutex> hold(pathNoteLock_);
    return pathNote_;
}
