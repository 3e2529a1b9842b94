// The document: life cycle, roles, camera fit, the render pause and the
// per-frame step. Construction operations live in construction.cpp and the
// file primitives in onefile.cpp.
#include "crotundeldoc.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>

#include "documentobserver.h"
#include "editjournal.h"
#include "passstop.h"
#include "placement.h"
#include "relations.h"
#include "renderlink.h"
#include "sphere.h"

namespace {
constexpr auto kPauseSlice = std::chrono::milliseconds(20);
}  // namespace

CRotundelDoc::CRotundelDoc() {
    SetPathAccuracy();
}

CRotundelDoc::~CRotundelDoc() {
    // The window may already be gone: free the spheres without telling it.
    link_ = nullptr;
    observer_ = nullptr;
    freeAutomaton();
}

// ---------------------------------------------------------------- wiring

void CRotundelDoc::ConnectViews(RenderLink* link, DocumentObserver* observer) {
    if (viewsConnected) return;
    link_ = link;
    observer_ = observer;
    viewsConnected = 1;
}

void CRotundelDoc::DisconnectViews() {
    link_ = nullptr;
    observer_ = nullptr;
    viewsConnected = 0;
}

bool CRotundelDoc::RenderThreadRunning() const {
    return link_ && renderThreadStarted.load() == 1 && renderThreadStopped.load() == 0;
}

// ---------------------------------------------------------------- render pause

bool CRotundelDoc::RenderPause() {
    if (!link_) return false;
    {
        std::lock_guard<CriticalSection> hold(link_->requestLock());
        if (renderPaused) return false;
        renderPaused = 1;
    }
    // Any answer from here on is the answer to this request; an old signal
    // left by a thread that parked after an earlier pause had given up is not.
    link_->docUpdateWaitRender().reset();
    stopPathPass_ = true;  // a long path pass gives way within milliseconds
    {
        std::lock_guard<CriticalSection> hold(link_->requestLock());
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
        if (!RenderThreadRunning()) break;
        if (!busy && std::chrono::steady_clock::now() - start >=
                         std::chrono::milliseconds(kPauseBusyAfterMs)) {
            busy = true;
            link_->showBusy(true);
        }
    }
    if (busy) link_->showBusy(false);
    return true;
}

void CRotundelDoc::RenderResume() {
    if (!link_) return;
    bool parked = false;
    {
        std::lock_guard<CriticalSection> hold(link_->requestLock());
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

bool CRotundelDoc::PauseIfRunning() {
    return RenderThreadRunning() && RenderPause();
}

// ---------------------------------------------------------------- render thread

PathPassResult CRotundelDoc::Step(const std::function<void(double)>& progress) {
    PathPassControl control;
    control.stop = &stopPathPass_;
    control.progress = progress;
    PathPassResult pass = frameUpdate(*this, &control);
    if (pass.ran && pass.completed && fitWhenPathsDone_.exchange(false)) FitCameraToReach();
    if (pass.ran && pass.completed) curvesWanted_ = true;
    // The curves of a long chain take a while too: an edit stops them as it
    // stops the pass, and the next Step works them out.
    if (curvesWanted_ && pathsUpToDate) {
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

std::vector<CurveInvariants> CRotundelDoc::Curves() const {
    std::lock_guard<std::mutex> hold(curvesLock_);
    return curves_;
}

void CRotundelDoc::AddTiming(int kind, double seconds) {
    if (kind == 1) renderSeconds.fetch_add(seconds);
    if (kind == 2) inputSeconds.fetch_add(seconds);
}

// ---------------------------------------------------------------- operations

void CRotundelDoc::FitCameraDistance() {
    FitCameraToReach();
    fitWhenPathsDone_ = root && !pathsUpToDate;
    if (journal) journal->cameraFitted();
}

void CRotundelDoc::FitCameraToReach() {
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

void CRotundelDoc::ResetView() {
    // The fit reads the spheres' centres, which every frame update writes.
    bool paused = PauseIfRunning();
#ifdef ROTUNDEL_DOCUMENT_CAMERA
    cameraController.setOrientation(CBallController::defaultOrientation());
#endif
    FitCameraDistance();
    if (paused) RenderResume();
    if (link_) link_->wakeRenderThread();
}

void CRotundelDoc::SetPathAccuracy() {
    // The page keeps the accuracy within 0..100; a file may not.
    int accuracy = std::clamp(pathAccuracy, 0, 100);
    double a = static_cast<double>(100 - accuracy) / 100.0;
    pathStep = finestPathStep + a * (coarsestPathStep - finestPathStep);
}

void CRotundelDoc::SelectRootAsStationary() {
    stationarySphere = root;
    baseRadius = 1.0;
}

void CRotundelDoc::RewindDynamics() {
    dynamicReset(*this);
}

void CRotundelDoc::RefreshSpherePages() {
    if (observer_) observer_->refreshSpherePages();
}

void CRotundelDoc::RefreshViewPage() {
    if (observer_) observer_->refreshViewPage();
}

Sphere* CRotundelDoc::FindSphereByName(const std::string& name) const {
    // The whole table: after destructions the live spheres need not sit in
    // the first sphereCount slots.
    for (Sphere* s : sphereTable)
        if (s && s->name == name) return s;
    return nullptr;
}

void CRotundelDoc::SelectSphere(Sphere* s) {
    selectedSphere = s;
    if (!destroyInProgress) RefreshSpherePages();
}

void CRotundelDoc::ApplyEdit(const std::string& step, int mergeKey, unsigned followups,
                             const std::function<void()>& change) {
    // The step brackets the pause, so that its "before" and "after" are
    // taken while nothing changes under them.
    EditScope scope(journal, step, mergeKey);
    bool paused = RenderPause();
    change();
    if (followups & kRewind) RewindDynamics();
    if (followups & kPlace) reset(*this);
    if (followups & kFitCamera) FitCameraDistance();
    // The View page's sample estimate reads the placed paths: it is brought
    // up to date while the render thread is still parked.
    if (followups & kPlace) RefreshViewPage();
    modified_ = true;
    if (paused) RenderResume();
    if ((followups & kUpdateViews) && observer_) observer_->updateAllViews();
}

bool CRotundelDoc::IsStorableName(const std::string& name) {
    return name.find_first_of("\r\n") == std::string::npos && name != kNoSphereName;
}

std::string CRotundelDoc::NameRefusal(const Sphere& s, const std::string& name) const {
    if (name.empty()) return kNameEmpty;
    if (name == s.name) return {};  // unchanged, even where a file repeated it
    if (!IsStorableName(name)) return name == kNoSphereName ? kNameReserved : kNameOnOneLine;
    for (const Sphere* t : sphereTable)
        if (t && t != &s && t->name == name) return "A sphere named " + name + " already exists.";
    return {};
}

bool CRotundelDoc::RenameSphere(Sphere& s, const std::string& name) {
    if (std::string why = NameRefusal(s, name); !why.empty()) {
        lastError_ = why;
        return false;
    }
    if (s.name != name) {
        s.name = name;
        modified_ = true;
    }
    lastError_.clear();
    return true;
}

bool CRotundelDoc::SetImageSizeAndFrames(int width, int frames) {
    if (frames < 10 || frames > 1000 || width < 50 || width > 1600) return false;
    // Every frame's dynamic step and orbit read the frame count.
    bool paused = PauseIfRunning();
    imageWidth = imageHeight = width;
    movieFrameCount = frames;
    if (paused) RenderResume();
    return true;
}

void CRotundelDoc::sphereReleased(Sphere& s) {
    if (observer_) {
        if (s.treeItem) observer_->deleteTreeItem(s);
        observer_->releaseTextureSlot(s);
    }
    // No role may outlive its sphere.
    for (Sphere** role : {&root, &radiusRoot, &timeMaster, &selectedSphere, &stationarySphere,
                          &referenceChild, &textureTarget})
        if (*role == &s) *role = nullptr;
}

void CRotundelDoc::notifyMessage(const std::string& text) {
    lastError_ = text;
    if (link_) link_->showMessage(text);
}

void CRotundelDoc::placeAndFit() {
    RewindDynamics();
    reset(*this);
    FitCameraDistance();
}

// ---------------------------------------------------------------- life cycle

void CRotundelDoc::freeAutomaton() {
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

void CRotundelDoc::clearContentsPaused(bool keepView) {
    if (!keepView) {
        cameraDistance = -40.0;
#ifdef ROTUNDEL_DOCUMENT_CAMERA
        // Every automaton is first seen from the same side.
        cameraController.setOrientation(CBallController::defaultOrientation());
#endif
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

void CRotundelDoc::ClearContents() {
    bool paused = PauseIfRunning();
    clearContentsPaused();
    if (paused) RenderResume();
}

bool CRotundelDoc::NewDocument() {
    bool paused = PauseIfRunning();
    clearContentsPaused();
    if (observer_) {
        observer_->resetLightPageAllParticles();
        observer_->deleteAllTreeItems();
    }
    createSpherePaused();
    createSpherePaused();
    if (root) SelectRootAsStationary();
    RefreshViewPage();
    RefreshSpherePages();
    if (paused) {
        flashActive = 0;
        RenderResume();
    }
    if (observer_) observer_->updateAllViews();
    modified_ = false;
    return true;
}

void CRotundelDoc::AdoptContents(CRotundelDoc& other) {
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

void CRotundelDoc::CloseDocument() {
    bool paused = PauseIfRunning();
    clearContentsPaused();
    if (paused) RenderResume();
}
