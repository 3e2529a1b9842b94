// The 3-D view: window events, requests to the render thread, input,
// statistics and images.
#include "view3d.h"

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
#include "automatoncopy.h"
#include "camerarig.h"
#include "document.h"
#include "headlessrenderer.h"
#include "placement.h"
#include "renderthread.h"
#include "sphere.h"

namespace {
// Saved pictures never exceed this many pixels along an edge: a window of
// odd proportions would otherwise ask for an image that eats all memory.
constexpr int kMaxImageEdge = 16384;

constexpr bool sameKey(int ball, int qt) {
    return ball == qt;
}
static_assert(sameKey(kBallKeyEscape, Qt::Key_Escape) && sameKey(kBallKeyTab, Qt::Key_Tab) &&
              sameKey(kBallKeyHome, Qt::Key_Home) && sameKey(kBallKeyLeft, Qt::Key_Left) &&
              sameKey(kBallKeyUp, Qt::Key_Up) && sameKey(kBallKeyRight, Qt::Key_Right) &&
              sameKey(kBallKeyDown, Qt::Key_Down) && sameKey(kBallKeyPageUp, Qt::Key_PageUp) &&
              sameKey(kBallKeypad, Qt::KeypadModifier) &&
              sameKey(kBallKeyPad8, (Qt::KeypadModifier | Qt::Key_8).toCombined()));

// The arcball speaks Qt's key numbers; digits count only on the keypad.
int ballKeyCode(const QKeyEvent* e) {
    const int key = e->key();
    const bool pad = e->modifiers() & Qt::KeypadModifier;
    switch (key) {
        case kBallKeyEscape:
        case kBallKeyTab:
        case kBallKeyHome:
        case kBallKeyLeft:
        case kBallKeyUp:
        case kBallKeyRight:
        case kBallKeyDown:
        case kBallKeyPageUp:
            return key;
        case Qt::Key_2:
        case Qt::Key_4:
        case Qt::Key_6:
        case Qt::Key_7:
        case Qt::Key_8:
        case Qt::Key_9:
            return pad ? (kBallKeypad | key) : 0;
        default:
            return 0;
    }
}

}  // namespace

View3D::View3D(QWindow* parent) : QWindow(parent) {
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
    connect(&statsTimer_, &QTimer::timeout, this, &View3D::showStatistics);
    statsTimer_.start(1000);
    connect(
        this, &View3D::messagePosted, this,
        [this](const QString& text) { showMessage(text.toStdString()); }, Qt::QueuedConnection);
    askTexturePath = [this] {
        return QFileDialog::getOpenFileName(
            titleWindow_, "Set texture", QString(),
            "BMP Files (*.BMP *.bmp);;Icon Files (*.ICO *.ico);;JPEG Files (*.JPG *.jpg *.jpeg);;"
            "PNG Files (*.PNG *.png);;PNM Files (*.PNM *.pnm);;Targa Files (*.TGA *.tga);;"
            "TIFF Files (*.TIF *.tif *.tiff);;All Files (*)",
            nullptr, QFileDialog::ReadOnly);
    };
}

View3D::~View3D() {
    exitThreadsAndWait();
}

void View3D::setDocument(Document* doc) {
    doc_ = doc;
}

// --- Requests ---

void View3D::setImageRequested(bool on) {
    imageRequested_ = on;
    if (on) {
        interrupt_ = true;
        requestFrame();
    }
}
void View3D::setExitRequested(bool on) {
    exitRequested_ = on;
    if (on) {
        interrupt_ = true;
        // A path pass under way gives way as it does for an edit.
        if (doc_) doc_->newerScene() = true;
        requestFrame();
    }
}

// --- Messages ---

void View3D::showMessage(const std::string& text) {
    QWidget* parent = titleWindow_ ? titleWindow_ : QApplication::activeWindow();
    QMessageBox::warning(parent, "Rotundel", QString::fromStdString(text));
}

void View3D::showBusy(bool on) {
    // Closing waits without processing events; the window server shows the
    // cursor all the same.
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void View3D::postMessage(const QString& text) {
    emit messagePosted(text);
}

// --- Render thread life ---

bool View3D::renderThreadRunning() const {
    return threadStarted_.load() && !threadEnded_.load();
}

void View3D::startRenderThread() {
    if (threadStarted_.exchange(true)) return;
    if (doc_) {
        doc_->counterFrequency = 1'000'000'000;  // the counter counts nanoseconds
        doc_->renderThreadStopped = 0;
        doc_->renderThreadStarted = 1;
        // The thread draws published scenes: there is one from the start.
        if (!doc_->scene()) doc_->publish();
    }
    renderThread_ = std::make_unique<RenderThread>(*this);
    renderThread_->start();
}

void View3D::exitThreadsAndWait() {
    statsTimer_.stop();
    if (!renderThread_ || threadEnded_.load()) return;
    // The request also stops a long path computation within milliseconds.
    setExitRequested(true);
    if (!renderThread_->joinFor(kHandOverTimeout)) {
        // The thread still draws into this window: it must be gone before
        // the window is.
        showBusy(true);
        renderThread_->join();
        showBusy(false);
    }
    threadEnded_ = true;
    if (doc_) {
        doc_->renderThreadStopped = 1;
        doc_->disconnectViews();
    }
}

double View3D::stepRunningSeconds() const {
    std::int64_t started = stepStartedAt_.load();
    return started ? (counterNow() - started) * 1e-9 : 0.0;
}

std::int64_t View3D::counterNow() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// --- Window events ---

void View3D::exposeEvent(QExposeEvent*) {
    exposed_ = isExposed();
    requestFrame();
    if (isExposed()) {
        if (clientWidth_ == 0) recordSize(width(), height());
        startRenderThread();
    }
}

bool View3D::event(QEvent* e) {
    // Home, plus and minus belong to the view while it has the keyboard:
    // no window-wide shortcut (Home rewinds the animation elsewhere) takes
    // them first.
    if (e->type() == QEvent::ShortcutOverride) {
        auto* k = static_cast<QKeyEvent*>(e);
        const bool plain = !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        if (plain && (k->key() == Qt::Key_Home || isAwayKey(k->key()) || isNearerKey(k->key()))) {
            e->accept();
            return true;
        }
    }
    // The native window is about to go: the render thread must stop using
    // it first.
    if (e->type() == QEvent::PlatformSurface &&
        static_cast<QPlatformSurfaceEvent*>(e)->surfaceEventType() ==
            QPlatformSurfaceEvent::SurfaceAboutToBeDestroyed)
        exitThreadsAndWait();
    return QWindow::event(e);
}

void View3D::resizeEvent(QResizeEvent* e) {
    recordSize(e->size().width(), e->size().height());
    QWindow::resizeEvent(e);
}

void View3D::recordSize(int cx, int cy) {
    // The render thread sets its viewport from these at every frame, so no
    // frame is drawn at the old size once the new one is recorded, and the
    // window never waits for a frame under way.
    clientWidth_ = cx;
    clientHeight_ = cy;
    pixelRatio_ = devicePixelRatio();
    if (doc_) doc_->cameraController.setWindowSize(cx, cy);
    requestFrame();
}

// --- Input ---

void View3D::addInputTime(std::int64_t started) {
    // Every input may have turned or moved the camera.
    requestFrame();
    if (doc_) doc_->addTiming(2, (counterNow() - started) * 1e-9);
}

void View3D::mousePressEvent(QMouseEvent* e) {
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

void View3D::mouseReleaseEvent(QMouseEvent* e) {
    if (!doc_) return;
    std::int64_t t = counterNow();
    if (e->button() == Qt::LeftButton && mouse_.leftDragging)
        mouse_.leftButtonUp(doc_->cameraController);
    else if (e->button() == Qt::RightButton)
        mouse_.rightButtonUp(doc_->keepInView);
    addInputTime(t);
}

void View3D::mouseMoveEvent(QMouseEvent* e) {
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

void View3D::wheelEvent(QWheelEvent* e) {
    if (!doc_ || doc_->keepInView) return;
    std::int64_t t = counterNow();
    int notches = e->angleDelta().y();
    double now = doc_->cameraDistance.load();
    while (!doc_->cameraDistance.compare_exchange_weak(now, CameraMouse::wheelZoom(now, notches))) {
    }
    addInputTime(t);
}

void View3D::keyPressEvent(QKeyEvent* e) {
    // Tab steps the arcball's constraint axis only during a drag; otherwise
    // it moves on to the next control, as everywhere else in the window.
    const bool tab = e->key() == Qt::Key_Tab || e->key() == Qt::Key_Backtab;
    if (tab && onTabOut && QGuiApplication::mouseButtons() == Qt::NoButton) {
        const bool back = e->key() == Qt::Key_Backtab || (e->modifiers() & Qt::ShiftModifier);
        onTabOut(!back);
        return;
    }
    // Home puts the view back as View > Reset view leaves it, and does
    // nothing else (Ctrl+Home rewinds the animation, in the view as
    // everywhere). The keypad's 7 still turns.
    if (e->key() == Qt::Key_Home &&
        !(e->modifiers() & (Qt::KeypadModifier | Qt::ControlModifier))) {
        if (!doc_) return;
        std::int64_t t = counterNow();
        resetView();
        addInputTime(t);
        return;
    }
    const bool away = isAwayKey(e->key()), nearer = isNearerKey(e->key());
    if (away) {
        deleteDown_ = true;
        deletePressed_ = true;
    } else if (nearer) {
        insertDown_ = true;
        insertPressed_ = true;
    }
    int code = ballKeyCode(e);
    if (!code && !away && !nearer) {
        e->ignore();
        return;
    }
    if (!doc_) return;
    std::int64_t t = counterNow();
    if (code) doc_->cameraController.key(code);
    addInputTime(t);
}

bool View3D::isAwayKey(int key) {
    return key == Qt::Key_Delete || key == Qt::Key_Minus;
}

bool View3D::isNearerKey(int key) {
    return key == Qt::Key_Insert || key == Qt::Key_Plus || key == Qt::Key_Equal;
}

void View3D::keyReleaseEvent(QKeyEvent* e) {
    if (e->isAutoRepeat()) return;
    if (isAwayKey(e->key())) deleteDown_ = false;
    if (isNearerKey(e->key())) insertDown_ = false;
    requestFrame();
}

void View3D::focusOutEvent(QFocusEvent*) {
    // A key released in another window never reaches this one.
    deleteDown_ = insertDown_ = false;
    requestFrame();
}

bool View3D::pollDeleteKey() {
    return deletePressed_.exchange(false) || deleteDown_.load();
}
bool View3D::pollInsertKey() {
    return insertPressed_.exchange(false) || insertDown_.load();
}

// --- Statistics ---

void View3D::showStatistics() {
    if (!doc_) return;
    std::int64_t t = counterNow();
    QString stats =
        QString::asprintf("  Rendering:  %d, %.4lf      Input:  %.4lf", doc_->framesRendered.load(),
                          doc_->renderSeconds.load(), doc_->inputSeconds.load());
    if (titleWindow_) {
        // The document's name stays; the statistics follow it.
        titleWindow_->setWindowTitle(titleBase_ + stats);
        titleWindow_->setWindowModified(doc_->isModified());
    }
    doc_->framesRendered = 0;
    doc_->renderSeconds = 0;
    doc_->inputSeconds = 0;
    // Not input, and nothing to draw: the title alone changed.
    doc_->addTiming(2, (counterNow() - t) * 1e-9);
}

void View3D::setTitleBase(const QString& title) {
    titleBase_ = title;
    if (titleWindow_) {
        titleWindow_->setWindowTitle(title);
        // A screen reader reads the window's name at every change of focus:
        // the document and the program, not the statistics of the title.
        titleWindow_->setAccessibleName(QString(title).remove("[*]"));
        if (doc_) titleWindow_->setWindowModified(doc_->isModified());
    }
}

void View3D::resetView() {
    if (!doc_) return;
    doc_->resetView();
    requestFrame();
}

// --- Textures ---

void View3D::chooseTexture(Sphere& s) {
    struct Done {
        View3D* v;
        ~Done() { emit v->textureChoiceDone(); }
    } done{this};
    if (!doc_) return;
    const int slot = doc_->slotOf(&s);
    QString file = askTexturePath();
    // The dialog's own event loop may have let the sphere be destroyed.
    if (file.isEmpty() || slot < 0 || doc_->sphereTable[static_cast<std::size_t>(slot)] != &s)
        return;
    doc_->applyEdit("Texture of " + s.name, 0, 0,
                    [&s, &file] { s.textureFile = QFileInfo(file).fileName().toStdString(); });
}

// --- Images ---

void View3D::setDocumentFolder(const std::string& folder) {
    std::lock_guard<std::mutex> g(folderMutex_);
    if (folder == folder_) return;
    folder_ = folder;
    ++folderVersion_;
}

bool View3D::documentFolder(std::string* folder, std::uint64_t* version) const {
    std::lock_guard<std::mutex> g(folderMutex_);
    if (*version == folderVersion_) return false;
    *folder = folder_;
    *version = folderVersion_;
    return true;
}

QSize View3D::imageSizeFor(int w, int cw, int ch) {
    if (w < 1) w = 1;
    if (cw < 1 || ch < 1) return {w, w};
    double h = ch / (static_cast<double>(cw) / w);
    return {w, std::clamp(static_cast<int>(h), 1, kMaxImageEdge)};
}

QImage View3D::renderImage(QSize size, QString* error) {
    if (!renderThreadRunning() || !renderThread_ || renderThread_->ended()) {
        // No render thread to ask (the window has not been shown yet, or
        // has closed): this thread renders the picture itself, without a
        // window.
        if (!doc_) {
            *error = "There is no automaton to draw.";
            return {};
        }
        // Drawn from a copy with its own paths: the document's spheres stay
        // as the edits left them.
        std::unique_ptr<Automaton> copy = copyAutomaton(*doc_);
        frameUpdate(*copy);
        CameraRig rig;
        rig.fovy = kFovy;
        std::string why, folder;
        {
            std::lock_guard<std::mutex> g(folderMutex_);
            folder = folder_;
        }
        auto image = HeadlessRenderer::renderOnce(*copy, frameSettingsOf(*doc_), rig,
                                                  &doc_->cameraController, size.width(),
                                                  size.height(), folder, &why);
        if (!image) {
            *error = QString::fromStdString(why);
            return {};
        }
        return RenderThread::toQImage(*image);
    }
    if (imageRequested()) {
        *error = "An image is already being made.";
        return {};
    }
    imageJob_ = ImageJob{size, {}, {}};
    if (doc_) doc_->saveImageRequested = 1;
    setImageRequested(true);
    // The render thread answers between two frames, after sampling the
    // paths if an edit has just cleared them. Meanwhile the window goes on
    // repainting and answering the screen reader; what the user types waits
    // for the picture.
    while (imageRequested() && !renderThread_->ended()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (doc_) doc_->saveImageRequested = 0;
    if (imageRequested()) {
        setImageRequested(false);
        *error = "The 3-D view stopped before the image was made.";
        return {};
    }
    *error = imageJob_.error;
    return imageJob_.result;
}

QString View3D::saveImage(const QString& path) {
    if (!doc_) return "There is no automaton to draw.";
    const std::string file = QFile::encodeName(path).toStdString();
    // A name without a known extension takes the type chosen last.
    if (auto format = ImageFile::formatForPath(file)) imageFormat_ = *format;
    QSize size = imageSizeFor(doc_->imageWidth, clientWidth(), clientHeight());
    QString error;
    QImage image = renderImage(size, &error);
    if (image.isNull()) return error.isEmpty() ? "The picture could not be rendered." : error;
    // Written by the one image writer the command line and Python use.
    QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    RgbaImage picture;
    picture.width = rgba.width();
    picture.height = rgba.height();
    picture.pixels.resize(static_cast<std::size_t>(picture.width) * picture.height * 4);
    for (int y = 0; y < picture.height; ++y)
        std::memcpy(picture.pixels.data() + static_cast<std::size_t>(y) * picture.width * 4,
                    rgba.constScanLine(y), static_cast<std::size_t>(picture.width) * 4);
    if (std::string why = ImageFile::write(picture, file, imageFormat_); !why.empty())
        return QString::fromStdString(why);
    return {};
}

void View3D::onSaveImage() {
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

void View3D::setFrameProbe(std::function<void(const Automaton&)> probe) {
    std::lock_guard<std::mutex> hold(probeLock_);
    frameProbe_ = std::move(probe);
}

void View3D::probeFrame(const Automaton& a) {
    std::lock_guard<std::mutex> hold(probeLock_);
    if (frameProbe_) frameProbe_(a);
}

void View3D::setPathNote(const std::string& note) {
    std::lock_guard<std::mutex> hold(pathNoteLock_);
    pathNote_ = note;
}

std::string View3D::pathNote() const {
    std::lock_guard<std::mutex> hold(pathNoteLock_);
    return pathNote_;
}
