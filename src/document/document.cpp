// The document: life cycle, roles, camera fit, the scenes it publishes and
// the frame update of a document without a view. Construction operations live in construction.cpp
// and the file primitives in onefile.cpp.
#include "document.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>
#include <optional>

#include "automatoncopy.h"
#include "documentobserver.h"
#include "documentrules.h"
#include "editjournal.h"
#include "passstop.h"
#include "placement.h"
#include "portable.h"
#include "portablemath.h"
#include "relations.h"
#include "renderlink.h"
#include "sphere.h"

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

// ---------------------------------------------------------------- scenes

void Document::publish() {
    if (!link_) return;
    auto scene = std::make_shared<Scene>();
    scene->revision = ++revision_;
    scene->automaton = copyAutomaton(*this);
    scene->viewFromStationary = viewFromStationary;
    scene->keepInView = keepInView;
    scene->stereo = stereo;
    scene->anaglyphScheme = anaglyphScheme;
    scene->curvesOnly = curvesOnly;
    scene->movieFrameCount = movieFrameCount;
    scene->orbitTarget = orbitTarget;
    scene->axisDrawFactor = axisDrawFactor;
    scene->cameraDistance = cameraDistance.load();
    scene->flashActive = flashActive.load();
    scene->flashPointIndex = flashPointIndex.load();
    {
        std::lock_guard<std::mutex> hold(sceneLock_);
        scene_ = std::move(scene);
    }
    // Raised after the scene is in place: whoever lowers it and then takes
    // the scene gets this one or a newer.
    newerScene_ = true;
    link_->wakeRenderThread();
}

std::shared_ptr<const Scene> Document::scene() const {
    std::lock_guard<std::mutex> hold(sceneLock_);
    return scene_;
}

// ---------------------------------------------------------------- paths and curves

PathPassResult Document::step(const std::function<void(double)>& progress, bool measureCurves) {
    std::atomic<bool> never{false};
    PathPassControl control;
    control.stop = &never;
    control.progress = progress;
    PathPassResult pass = frameUpdate(*this, &control);
    if (pass.ran && pass.completed) {
        pathsComputed();
        curvesWanted_ = true;
    }
    // A stop of the caller's (Ctrl+C in Python) may cut the curves short:
    // they are then worked out by the next step.
    if (curvesWanted_ && pathsUpToDate && measureCurves) {
        std::vector<CurveInvariants> curves = curveInvariants(*this);
        if (!stopRequested()) {
            curvesWanted_ = false;
            setCurves(revision_, std::move(curves));
        }
    }
    return pass;
}

void Document::pathsComputed() {
    if (pathsUpToDate && std::exchange(fitWhenPathsDone_, false)) fitCameraToReach();
}

void Document::setCurves(std::uint64_t revision, std::vector<CurveInvariants> curves) {
    std::lock_guard<std::mutex> hold(curvesLock_);
    if (revision < curvesRevision_) return;
    curvesRevision_ = revision;
    curves_ = std::move(curves);
}

std::uint64_t Document::curvesRevision() const {
    std::lock_guard<std::mutex> hold(curvesLock_);
    return curvesRevision_;
}

bool Document::takeFitAfterPass(std::uint64_t revision) {
    std::uint64_t from = fitFrom_.load();
    return from != 0 && revision >= from && fitFrom_.compare_exchange_strong(from, 0);
}

std::vector<CurveInvariants> Document::curves() const {
    std::lock_guard<std::mutex> hold(curvesLock_);
    return curves_;
}

void Document::addTiming(int kind, double seconds) {
    if (kind == 1) portable::addTo(renderSeconds, seconds);
    if (kind == 2) portable::addTo(inputSeconds, seconds);
}

// ---------------------------------------------------------------- operations

void Document::fitCameraDistance() {
    fitCameraToReach();
    const bool later = root && !pathsUpToDate;
    // With a view the paths are sampled on the scene this change publishes.
    if (link_)
        fitFrom_ = later ? revision_ + 1 : 0;
    else
        fitWhenPathsDone_ = later;
    if (journal) journal->cameraFitted();
}

void Document::fitCameraToReach() {
    // Centres alone would leave a sphere inside its parent, or one far out,
    // partly or wholly behind the camera.
    double e = root ? reach(*this) : 0.0;
    if (root && !(e > 0.0)) e = baseRadius;
    fitCameraToReach(e);
}

void Document::fitCameraToReach(double e) {
    // A hostile file's radii can reach past what a double holds: the
    // farthest finite view, since files store only finite distances.
    if (!std::isfinite(e)) e = 1e300;
    double theta = static_cast<double>(kViewFovy) * 0.5 / 360.0 * 6.28318530718;
    cameraDistance = -1.1111111111111112 * e / portable::sin(theta);
}

void Document::resetView() {
    Change change(*this);
    cameraController.setOrientation(Arcball::defaultOrientation());
    fitCameraDistance();
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
    // The step brackets the change, so that its "after" is taken before
    // the scene is published.
    EditScope scope(journal, step, mergeKey);
    std::optional<Change> publishing(std::in_place, *this);
    change();
    if (followups & kRewind) rewindDynamics();
    if (followups & kPlace) reset(*this);
    if (followups & kFitCamera) fitCameraDistance();
    // The View page's sample estimate reads the placed spheres.
    if (followups & kPlace) refreshViewPage();
    modified_ = true;
    publishing.reset();
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
    // A name is written up to four times (its sphere, and the links of
    // others to it): far below the file's limit, which longer names soon
    // pass.
    if (trimmed.size() > kLongestName)
        return "A sphere name may have at most " + std::to_string(kLongestName) + " bytes, not " +
               std::to_string(trimmed.size()) + ".";
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
    Change change(*this);
    imageWidth = imageHeight = width;
    movieFrameCount = frames;
    return true;
}

void Document::sphereReleased(Sphere& s) {
    if (observer_) observer_->deleteTreeItem(s);
    // No role may outlive its sphere.
    for (Sphere** role :
         {&root, &radiusRoot, &timeMaster, &selectedSphere, &stationarySphere, &referenceChild})
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

void Document::clearContentsNow(bool keepView) {
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
    referenceChild = nullptr;
    sphereTable.fill(nullptr);
    sphereCount = 0;
    reserved1 = reserved2 = 6;
    nextNameLetter = 'A';
    modified_ = false;
}

void Document::clearContents() {
    Change change(*this);
    clearContentsNow();
}

bool Document::newDocument() {
    std::optional<Change> publishing(std::in_place, *this);
    clearContentsNow();
    if (observer_) {
        observer_->resetLightPageAllParticles();
        observer_->deleteAllTreeItems();
    }
    createSphereNow(nullptr, SphereSettings{});
    createSphereNow(root, SphereSettings{});
    if (root) selectRootAsStationary();
    refreshViewPage();
    refreshSpherePages();
    flashActive = 0;
    publishing.reset();
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
    Change change(*this);
    clearContentsNow();
}
