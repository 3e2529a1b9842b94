// The document: life cycle, roles, camera fit, the render pause and the
// per-frame step. Construction operations live in construction.cpp and the
// file primitives in onefile.cpp.
#include "document.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>

#include "documentobserver.h"
#include "documentrules.h"
#include "editjournal.h"
#include "passstop.h"
#include "placement.h"
#include "relations.h"
#include "renderlink.h"
#include "sphere.h"

namespace {
constexpr auto kPauseSlice = std::chrono::milliseconds(20);
}  // namespace

Document::Document() {
    setPathAccuracy();
}

Document::~Document() {
    // The window may already be gone: free the spheres without telling it.
    link_ = nullptr;
    observer_ = nullptr;
    freeAutomaton();
}

// ---------------------------------------------------------------- wiring

void Document::connectViews(RenderLink* link, DocumentObserver* observer) {
    if (viewsConnected) return;
    link_ = link;
    observer_ = observer;
    viewsConnected = 1;
}

void Document::disconnectViews() {
    link_ = nullptr;
    observer_ = nullptr;
    viewsConnected = 0;
}

bool Document::renderThreadRunning() const {
    return link_ && renderThreadStarted.load() == 1 && renderThreadStopped.load() == 0;
}

// ---------------------------------------------------------------- render pause

bool Document::renderPause() {
    if (!link_) return false;
    {
        std::lock_guard<std::mutex> hold(link_->requestLock());
        if (renderPaused) return false;
        renderPaused = 1;
    }
    // Any answer from here on is the answer to this request; an old signal
    // left by a thread that parked after an earlier pause had given up is not.
    link_->docUpdateWaitRender().reset();
    stopPathPass_ = true;  // a long path pass gives way within milliseconds
    {
        std::lock_guard<std::mutex> hold(link_->requestLock());
        link_->setDocUpdateRequest(true);
    }
    link_->wakeRenderThread();
    // Going on unpaused would let the render thread read spheres while they
    // change, so the wait ends only when the thread has parked or is gone.
    // A slow answer (a loaded machine) shows the busy cursor; no message box,
    // whose event loop would let other edits run in the middle of this one.
    const auto start = std::chrono::steady_clock::now();
    bool busy = false;
    while (!link_->docUpdateWaitRender().waitFor(kPauseSlice)) {
        if (!renderThreadRunning()) break;
        if (!busy && std::chrono::steady_clock::now() - start >=
                         std::chrono::milliseconds(kPauseBusyAfterMs)) {
            busy = true;
            link_->showBusy(true);
        }
    }
    if (busy) link_->showBusy(false);
    return true;
}

void Document::renderResume() {
    if (!link_) return;
    bool parked = false;
    {
        std::lock_guard<std::mutex> hold(link_->requestLock());
        if (!renderPaused) return;
        renderPaused = 0;
        // A request still raised was never taken (the thread ended first):
        // withdraw it rather than release a thread that is not waiting.
        parked = !link_->docUpdateRequested();
        link_->setDocUpdateRequest(false);
    }
    stopPathPass_ = false;
    if (parked) link_->docUpdateCompleteRender().signal();
}

bool Document::pauseIfRunning() {
    return renderThreadRunning() && renderPause();
}

// ---------------------------------------------------------------- render thread

PathPassResult Document::step(const std::function<void(double)>& progress, bool measureCurves) {
    PathPassControl control;
    control.stop = &stopPathPass_;
    control.progress = progress;
    PathPassResult pass = frameUpdate(*this, &control);
    if (pass.ran && pass.completed && fitWhenPathsDone_.exchange(false)) fitCameraToReach();
    if (pass.ran && pass.completed) curvesWanted_ = true;
    // The curves of a long chain take a while too: an edit stops them as it
    // stops the pass, and the next Step works them out.
    if (curvesWanted_ && pathsUpToDate && measureCurves) {
        StopScope scope(&stopPathPass_);
        std::vector<CurveInvariants> curves = curveInvariants(*this);
        if (!scope.requested()) {
            curvesWanted_ = false;
            std::lock_guard<std::mutex> hold(curvesLock_);
            curves_ = std::move(curves);
        }
    }
    return pass;
}

bool Document::placeWithoutPaths() {
    if (!root || !stationarySphere || pathsUpToDate) return false;
    for (Sphere* s : sphereTable)
        if (s && s->dynamic) return false;
    reset(*this);
    for (Sphere* s : sphereTable)
        if (s) s->bodyListValid = s->pathListValid = 0;
    return true;
}

std::vector<CurveInvariants> Document::curves() const {
    std::lock_guard<std::mutex> hold(curvesLock_);
    return curves_;
}

void Document::addTiming(int kind, double seconds) {
    if (kind == 1) renderSeconds.fetch_add(seconds);
    if (kind == 2) inputSeconds.fetch_add(seconds);
}

// ---------------------------------------------------------------- operations

void Document::fitCameraDistance() {
    fitCameraToReach();
    fitWhenPathsDone_ = root && !pathsUpToDate;
    if (journal) journal->cameraFitted();
}

void Document::fitCameraToReach() {
    // Centres alone would leave a sphere inside its parent, or one far out,
    // partly or wholly behind the camera.
    double e = root ? reach(*this) : 0.0;
    if (root && !(e > 0.0)) e = baseRadius;
    // A hostile file's radii can reach past what a double holds: the
    // farthest finite view, since files store only finite distances.
    if (!std::isfinite(e)) e = 1e300;
    double theta = static_cast<double>(kViewFovy) * 0.5 / 360.0 * twoPi;
    cameraDistance = -1.1111111111111112 * e / std::sin(theta);
}

void Document::resetView() {
    // The fit reads the spheres' centres, which every frame update writes.
    bool paused = pauseIfRunning();
    cameraController.setOrientation(Arcball::defaultOrientation());
    fitCameraDistance();
    if (paused) renderResume();
    if (link_) link_->wakeRenderThread();
}

void Document::turnView(const unitquaternion& q) {
    cameraController.setOrientation(q);
    if (link_) link_->wakeRenderThread();
}

void Document::setPathAccuracy() {
    // The page keeps the accuracy within 0..100; a file may not.
    int accuracy = std::clamp(pathAccuracy, 0, 100);
    double a = static_cast<double>(100 - accuracy) / 100.0;
    pathStep = finestPathStep + a * (coarsestPathStep - finestPathStep);
}

void Document::selectRootAsStationary() {
    stationarySphere = root;
    baseRadius = 1.0;
}

void Document::rewindDynamics() {
    dynamicReset(*this);
}

void Document::refreshSpherePages() {
    if (observer_) observer_->refreshSpherePages();
}

void Document::refreshViewPage() {
    if (observer_) observer_->refreshViewPage();
}

Sphere* Document::findSphereByName(const std::string& name) const {
    // The whole table: after destructions the live spheres need not sit in
    // the first sphereCount slots.
    for (Sphere* s : sphereTable)
        if (s && s->name == name) return s;
    return nullptr;
}

void Document::selectSphere(Sphere* s) {
    selectedSphere = s;
    if (!destroyInProgress) refreshSpherePages();
}

void Document::applyEdit(const std::string& step, int mergeKey, unsigned followups,
                         const std::function<void()>& change) {
    // The step brackets the pause, so that its "before" and "after" are
    // taken while nothing changes under them.
    EditScope scope(journal, step, mergeKey);
    bool paused = renderPause();
    change();
    if (followups & kRewind) rewindDynamics();
    if (followups & kPlace) reset(*this);
    if (followups & kFitCamera) fitCameraDistance();
    // The View page's sample estimate reads the placed paths: it is brought
    // up to date while the render thread is still parked.
    if (followups & kPlace) refreshViewPage();
    modified_ = true;
    if (paused) renderResume();
    if ((followups & kUpdateViews) && observer_) observer_->updateAllViews();
}

bool Document::isStorableName(const std::string& name) {
    return name.find_first_of("\r\n") == std::string::npos && name != kNoSphereName;
}

std::string Document::nameRefusal(const Sphere* s, const std::string& name) const {
    const std::string trimmed = rules::trimmedName(name);
    if (trimmed.empty()) return kNameEmpty;
    if (s && trimmed == s->name) return {};  // unchanged, even where a file repeated it
    if (!isStorableName(trimmed)) return trimmed == kNoSphereName ? kNameReserved : kNameOnOneLine;
    for (const Sphere* t : sphereTable)
        if (t && t != s && t->name == trimmed)
            return "A sphere named " + trimmed + " already exists.";
    return {};
}

bool Document::renameSphere(Sphere& s, const std::string& name) {
    if (std::string why = nameRefusal(s, name); !why.empty()) {
        lastError_ = why;
        return false;
    }
    if (const std::string trimmed = rules::trimmedName(name); s.name != trimmed) {
        s.name = trimmed;
        modified_ = true;
    }
    lastError_.clear();
    return true;
}

bool Document::setImageSizeAndFrames(int width, int frames) {
    if (frames < 10 || frames > 1000 || width < 50 || width > 1600) return false;
    // Every frame's dynamic step and orbit read the frame count.
    bool paused = pauseIfRunning();
    imageWidth = imageHeight = width;
    movieFrameCount = frames;
    if (paused) renderResume();
    return true;
}

void Document::sphereReleased(Sphere& s) {
    if (observer_) {
        if (s.treeItem) observer_->deleteTreeItem(s);
        observer_->releaseTextureSlot(s);
    }
    // No role may outlive its sphere.
    for (Sphere** role : {&root, &radiusRoot, &timeMaster, &selectedSphere, &stationarySphere,
                          &referenceChild, &textureTarget})
        if (*role == &s) *role = nullptr;
}

void Document::notifyMessage(const std::string& text) {
    lastError_ = text;
    if (link_) link_->showMessage(text);
}

void Document::placeAndFit() {
    rewindDynamics();
    reset(*this);
    fitCameraDistance();
}

// ---------------------------------------------------------------- life cycle

void Document::freeAutomaton() {
    destroyInProgress = 1;
    destroyingEverything = 1;
    if (root) destroySubtree(*this, root);
    // Spheres outside the root's tree: only a file rejected half-way leaves
    // any.
    for (Sphere*& s : sphereTable) {
        if (!s) continue;
        sphereReleased(*s);
        delete s;
        s = nullptr;
    }
    delete templateSphere;
    templateSphere = nullptr;
    destroyingEverything = 0;
    destroyInProgress = 0;
}

void Document::clearContentsPaused(bool keepView) {
    if (!keepView) {
        cameraDistance = -40.0;
        // Every automaton is first seen from the same side.
        cameraController.setOrientation(Arcball::defaultOrientation());
        flashPointIndex = 0;
    }
    saveImageRequested = 0;
    flashActive = 0;
    pathsUpToDate = 0;
    stereo = 0;
    anaglyphScheme = 1;
    freeAutomaton();
    root = radiusRoot = timeMaster = selectedSphere = stationarySphere = nullptr;
    referenceChild = textureTarget = nullptr;
    sphereTable.fill(nullptr);
    sphereCount = 0;
    reserved1 = reserved2 = 6;
    nextNameLetter = 'A';
    modified_ = false;
}

void Document::clearContents() {
    bool paused = pauseIfRunning();
    clearContentsPaused();
    if (paused) renderResume();
}

bool Document::newDocument() {
    bool paused = pauseIfRunning();
    clearContentsPaused();
    if (observer_) {
        observer_->resetLightPageAllParticles();
        observer_->deleteAllTreeItems();
    }
    createSpherePaused(nullptr, SphereSettings{});
    createSpherePaused(root, SphereSettings{});
    if (root) selectRootAsStationary();
    refreshViewPage();
    refreshSpherePages();
    if (paused) {
        flashActive = 0;
        renderResume();
    }
    if (observer_) observer_->updateAllViews();
    modified_ = false;
    return true;
}

void Document::adoptContents(Document& other) {
    sphereTable = other.sphereTable;
    other.sphereTable.fill(nullptr);
    for (Sphere* s : sphereTable)
        if (s) s->document = this;
    sphereCount = std::exchange(other.sphereCount, 0);
    root = std::exchange(other.root, nullptr);
    radiusRoot = std::exchange(other.radiusRoot, nullptr);
    timeMaster = std::exchange(other.timeMaster, nullptr);
    selectedSphere = std::exchange(other.selectedSphere, nullptr);
    stationarySphere = std::exchange(other.stationarySphere, nullptr);
    referenceChild = std::exchange(other.referenceChild, nullptr);
    textureTarget = std::exchange(other.textureTarget, nullptr);
    delete templateSphere;
    templateSphere = std::exchange(other.templateSphere, nullptr);
    baseRadius = other.baseRadius;
    nextNameLetter = other.nextNameLetter;
    reserved1 = other.reserved1;
    reserved2 = other.reserved2;
    viewFromStationary = other.viewFromStationary;
    keepInView = other.keepInView;
    pathAccuracy = other.pathAccuracy;
    finestPathStep = other.finestPathStep;
    coarsestPathStep = other.coarsestPathStep;
    stereo = other.stereo;
    anaglyphScheme = other.anaglyphScheme;
    cameraDistance = other.cameraDistance.load();
    pathsUpToDate = 0;
}

void Document::closeDocument() {
    bool paused = pauseIfRunning();
    clearContentsPaused();
    if (paused) renderResume();
}
