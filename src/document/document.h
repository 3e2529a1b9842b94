// The document: the automaton with its roles, the view settings saved with
// it, the camera, the image settings, and the coupling to the render thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "arcball.h"
#include "automaton.h"
#include "curveinvariants.h"
#include "editjournal.h"
#include "geometry.h"
#include "pointpaths.h"
#include "scene.h"

class DocumentObserver;
class RenderLink;
struct Sphere;
struct SphereSettings;

// Outcome of opening or saving: on failure, one sentence for the user.
struct DocResult {
    bool ok = true;
    std::string message;  // "Unexpected file format.", "Failed to open document.", ...
    std::string reason;   // the file system's reason, when it gave one
    explicit operator bool() const { return ok; }
    // Both as one phrase without the final full stop, for "cannot read F: ...".
    std::string why() const {
        std::string text = message;
        if (!text.empty() && text.back() == '.') text.pop_back();
        if (text.empty()) return reason;
        return reason.empty() ? text : text + " (" + reason + ")";
    }
};

// The automaton and its saved view settings at one moment, for the undo
// history: the file writer's bytes, plus what a file does not keep but an
// undo must give back (each sphere's table slot and tree image, the
// selection, and the links as sphere indices: a file links by name, which
// two spheres of one name read from a file would make ambiguous). The camera distance is left out
// of the bytes: zooming is looking, not editing, and an undo leaves the zoom where the user has it.
struct DocSnapshot {
    std::string bytes;
    std::vector<int> tableSlots;  // table slot of each sphere, in file order
    std::vector<int> treeImages;  // tree image of each sphere, in file order
    int selected = -1;            // file-order index of the selected sphere
    // Per sphere in file order: parent, radius and time reference (-1: none).
    std::vector<int> links;
    // Stationary sphere, reference child, radius root, time master.
    std::vector<int> roles;
    // The tree in pre-order, so that children come back in their order.
    std::vector<int> preOrder;

    // The same automaton and settings; the selection alone is no edit.
    bool sameContents(const DocSnapshot& o) const {
        return bytes == o.bytes && tableSlots == o.tableSlots && links == o.links &&
               roles == o.roles && preOrder == o.preOrder;
    }
};

// Threads: everything here runs on the UI thread except scene(), the
// results the render thread reports (setCurves, fitCameraToReach), addTiming
// and the fields marked atomic. The UI thread never waits for the render
// thread: each change ends by publishing a Scene, a copy of the automaton
// and the view settings, which the render thread draws while the spheres
// here change again (Change below). A document without a view publishes
// nothing (the command line and Python work on it directly).
class Document : public Automaton {
  public:
    static constexpr const char* kNoSphereName = "ZEROOREZ";
    // Vertical field of view of the 3-D view, degrees; the camera fit needs
    // it to know how much of the scene the view shows.
    static constexpr float kViewFovy = 45.0f;

    Document();
    ~Document() override;

    // --- Automaton (base: sphereTable, sphereCount, root, radiusRoot,
    // timeMaster, stationarySphere, referenceChild,
    // destroyInProgress, baseRadius, movieFrameCount, pathStep, twoPi,
    // pathsUpToDate) ---
    // The sphere the pages edit and CREATE adds to: the window's choice,
    // kept here because every construction operation starts from it.
    Sphere* selectedSphere = nullptr;
    Sphere* templateSphere = nullptr;  // owned; outside the table and tree
    unsigned char nextNameLetter = 'A';
    std::int32_t reserved1 = 6;
    std::int32_t reserved2 = 6;

    // --- View settings (saved, except pathStep) ---
    std::int32_t viewFromStationary = 1;  // 1 from the stationary sphere, 0 from orbit
    std::int32_t keepInView = 0;
    std::int32_t pathAccuracy = 50;  // 0..100
    double finestPathStep = 0.0001;
    double coarsestPathStep = 0.5;
    std::int32_t stereo = 0;
    std::int32_t anaglyphScheme = 1;  // 1..6
    // The traced curves without spheres, axes and great circles: a way of
    // looking (View menu, --curves-only), not kept in files.
    bool curvesOnly = false;
    // Negative; the zoom. Atomic: the UI thread's drag and wheel zoom and
    // the render thread's keyboard zoom all change it while frames read
    // it; relative changes go through compare-and-swap so none is lost.
    std::atomic<double> cameraDistance{-40.0};

    // --- Camera and export state ---
    // The arcball that turns the automaton.
    Arcball cameraController;
    Vec3 orbitTarget;
    double axisDrawFactor = 0.20000000298023224;  // 0.2f widened
    std::int32_t imageWidth = 640;
    std::int32_t imageHeight = 480;

    // --- Render-thread coupling (not saved) ---
    std::int32_t viewsConnected = 0;
    std::atomic<int> renderThreadStarted{0};  // set by the view
    std::atomic<int> renderThreadStopped{0};  // set by the view
    std::atomic<int> saveImageRequested{0};
    std::atomic<int> framesRendered{0};
    std::atomic<double> renderSeconds{0};
    std::atomic<double> inputSeconds{0};
    std::int64_t counterFrequency = 1'000'000'000;
    // Edit feedback: an edit of a point raises flashActive; the render
    // thread times it out after flashDuration seconds.
    std::atomic<int> flashActive{0};
    // The point the " Points" page has selected: the arrow marks the point
    // at this position of every sphere's list (0, the centre, gets none).
    std::atomic<int> flashPointIndex{0};
    std::int32_t flashStarted = 0;
    float flashDuration = 2.0f;
    double flashInterval = 0;
    double flashElapsed = 0;
    std::int64_t flashLastCounter = 0;

    // --- Wiring ---
    // Takes the window's implementations (either may be null). Done once;
    // later calls are ignored. Neither is owned; both must outlive the
    // document or be disconnected with disconnectViews().
    void connectViews(RenderLink* link, DocumentObserver* observer);
    void disconnectViews();
    RenderLink* renderLink() const { return link_; }
    DocumentObserver* observer() const { return observer_; }
    // The undo history that records user edits (null: none). Not owned.
    EditJournal* journal = nullptr;
    // The view reference is set, renderThreadStarted is 1 and
    // renderThreadStopped is 0.
    bool renderThreadRunning() const;

    // --- Changes and scenes ---
    // Brackets a change of the automaton or of the view settings; the
    // outermost one publishes the result when it ends. Changes nest.
    class Change {
      public:
        explicit Change(Document& doc) : doc_(doc) { ++doc_.changeDepth_; }
        ~Change() {
            if (--doc_.changeDepth_ == 0) doc_.publish();
        }
        Change(const Change&) = delete;
        Change& operator=(const Change&) = delete;

      private:
        Document& doc_;
    };
    // Copies the automaton and the view settings into a new Scene under a
    // new revision, makes it the newest, stops the work on older ones and
    // wakes the render thread. Only with a view connected.
    void publish();
    // The newest scene (any thread); null before the first publication.
    std::shared_ptr<const Scene> scene() const;
    // Raised by every publication: work on an older scene (a path pass,
    // the curves' measurement, a frame) sees it and gives way. Whoever
    // takes the newest scene lowers it first.
    std::atomic<bool>& newerScene() { return newerScene_; }
    std::uint64_t revision() const { return revision_; }

    // --- Paths and curves ---
    // The frame update of a document without a view (the command line,
    // Python, exports): placement, dynamic step and point paths when
    // something changed or a sphere is dynamic, then the curves' invariants
    // (unless measureCurves is false: an export needs the paths alone).
    // progress, when given, gets the fraction of a path computation done.
    PathPassResult step(const std::function<void(double)>& progress = {},
                        bool measureCurves = true);
    // After a completed path pass run outside step() (Python samples the
    // paths itself): the camera refit that a fit made before the paths
    // were there was waiting for, as step() does it.
    void pathsComputed();
    // The render thread's report of the curves of the scene at revision:
    // kept unless a newer scene's curves came first.
    void setCurves(std::uint64_t revision, std::vector<CurveInvariants> curves);
    // The revision whose curves curves() gives (0: none yet).
    std::uint64_t curvesRevision() const;
    // Whether a completed path pass of the scene at revision is to refit
    // the camera; true once for the revision that asked (any thread).
    bool takeFitAfterPass(std::uint64_t revision);
    // The camera distance at which paths and spheres reaching e are all in
    // view (the refit after a path pass); any thread.
    void fitCameraToReach(double e);
    // What the traced points' curves are, as the last completed path pass
    // left them: measured right after the pass (by step(), or beside the
    // window's render thread), read from any thread (a copy).
    std::vector<CurveInvariants> curves() const;
    // kind 1: rendering time, kind 2: input handling time (seconds).
    void addTiming(int kind, double seconds);

    // --- Document operations (UI thread) ---
    // The camera distance at which the spheres (with their radii) and the
    // traced paths (with their tubes) are all in view. Paths not computed
    // yet are fitted by the pass that computes them.
    void fitCameraDistance();
    // The camera as a freshly started program shows the automaton: the
    // default orientation and the fitted distance.
    void resetView();
    // The camera turned to q (keeping its distance): a view chosen for the
    // automaton, such as the top view of a flat design.
    void turnView(const unitquaternion& q);
    void setPathAccuracy();
    void selectRootAsStationary();
    void rewindDynamics();
    void refreshSpherePages();
    void refreshViewPage();
    // The first sphere in table order whose name equals name byte for byte.
    Sphere* findSphereByName(const std::string& name) const;
    // Makes s the selected sphere (the tree's selection handler); refreshes
    // the sphere pages unless spheres are being destroyed.
    void selectSphere(Sphere* s);

    // The one way the window edits the automaton: one step of the edit
    // history named step (steps with the same non-zero mergeKey in a row
    // are one), change run, then the followups
    // (Followup flags), and the document marked modified.
    void applyEdit(const std::string& step, int mergeKey, unsigned followups,
                   const std::function<void()>& change);

    // A name that a file can hold and give back: one line (no line feed or
    // carriage return), and not the marker that files use for "no sphere".
    static bool isStorableName(const std::string& name);
    // Why s (null: a new sphere) cannot be called name, the spaces around it
    // trimmed ("" when it can): not storable, blank, or the name of another
    // sphere (files and the user tell spheres apart by their names). Names
    // read from files are taken as they are; only edits are checked.
    std::string nameRefusal(const Sphere* s, const std::string& name) const;
    std::string nameRefusal(const Sphere& s, const std::string& name) const {
        return nameRefusal(&s, name);
    }
    // Renames s to the trimmed name (inside a Change, so that the window
    // draws the new name); refused, with nothing changed and lastError()
    // saying why, for the names nameRefusal refuses.
    bool renameSphere(Sphere& s, const std::string& name);
    // The name a new sphere gets: the next letter of "A".."Z", "a".."z"
    // that no sphere has, then the letters with 2, 3, ... appended.
    std::string nextFreeName();

    // --- Construction ---
    // Adds a child of the selected sphere (the root when the automaton is
    // empty). Returns the new sphere, or null when the table is full: then
    // nothing has changed, lastError() holds the reason, and the render
    // link (when connected) has shown it in a message box.
    Sphere* createSphere();
    // Adds a child of parent (the root when null and the automaton is
    // empty) with settings in place of CREATE's, checked by the editing
    // rules first: on a refusal nothing has changed, null is returned and
    // lastError() says why.
    Sphere* createSphere(Sphere* parent, const SphereSettings& settings);
    // Removes the selected sphere and its subtree.
    void destroySphere();
    // Remembers the settings of s for later creations.
    void makeTemplate(Sphere* s);

    // --- Life cycle ---
    // Empties the automaton; keeps the view settings that survive clearing.
    void clearContents();
    // The starter automaton: root "A" and its child "B".
    bool newDocument();
    // Reads path; on any failure the current automaton stays as it was.
    DocResult openDocument(const std::string& path);
    // The same from a file's bytes already in memory (a page in the
    // browser has no file path): the same checks and the same sentences.
    DocResult openBytes(std::string_view bytes);
    // Writes path through a temporary file in the same folder, so the
    // target is either the old file or the complete new one.
    DocResult saveDocument(const std::string& path);
    // The bytes saveDocument writes, with its refusal; the modified flag
    // stays as it is (a page's download may still be cancelled).
    DocResult fileBytes(std::string& bytes);
    void closeDocument();

    // Replaces this document's automaton and saved settings with those of
    // other (a document just read), leaving other empty. Views, links and
    // render-thread state stay with this document.
    void adoptContents(Document& other);

    // The automaton and saved view settings as they are now (UI thread,
    // inside a Change or not).
    DocSnapshot takeSnapshot();
    // Puts back a snapshot, as one Change, with the follow-ups of
    // an open (tree, pages, placement, textures) but keeping the camera
    // distance (unless fitCamera), the arcball, the template, the flashed
    // point and the modified flag. False, with nothing changed and the user
    // told, for a snapshot that cannot be put back.
    bool restoreSnapshot(const DocSnapshot& snapshot, bool fitCamera = false);

    // A document of its own with the same automaton, view settings and
    // camera, for work that runs beside the window (an export, a movie):
    // the window goes on editing this one meanwhile. Null when the
    // automaton cannot be copied (the user is told, as for an undo).
    std::unique_ptr<Document> workCopy();

    // "Set image size / movie frames": images and movie frames become
    // width x width. Values outside the dialog's ranges are refused.
    bool setImageSizeAndFrames(int width, int frames);

    // Unsaved changes.
    bool isModified() const { return modified_; }
    void setModifiedFlag(bool on = true) { modified_ = on; }

    // The reason for the last refused operation ("" when none).
    const std::string& lastError() const { return lastError_; }

    void sphereReleased(Sphere& s) override;

    // Texts of refusals.
    static constexpr const char* kTableFull = "An automaton holds at most 300 spheres.";
    static constexpr const char* kNameOnOneLine = "A sphere name must fit on one line.";
    static constexpr std::size_t kLongestName = 4096;
    // A file whose radius or rate is n/0: damaged, in the user's words.
    static constexpr const char* kZeroDenominator =
        "Damaged file: a sphere's radius or rate in it divides by zero.";
    static constexpr const char* kNameReserved =
        "ZEROOREZ stands for \"no sphere\" in files and cannot name a sphere.";
    static constexpr const char* kNameEmpty = "A sphere needs a name.";
    static constexpr const char* kRestoreFailed =
        "That step could not be put back; the automaton stays as it is.";

    // The first sphere that a file would link to in place of the sphere of
    // that name (several spheres of one name: only the first can be linked
    // to); null when every link and role can be stored. Save refuses a
    // document that has one.
    const Sphere* unstorableLink() const;

  private:
    void notifyMessage(const std::string& text);
    void placeAndFit();
    void freeAutomaton();
    // keepView: the camera (distance and arcball) and the flashed point
    // stay, as an undo wants.
    void clearContentsNow(bool keepView = false);
    Sphere* createSphereNow(Sphere* parent, const SphereSettings& settings);
    std::string settingsRefusal(const Sphere* parent, const SphereSettings& settings) const;
    void showReplacedContents();

    RenderLink* link_ = nullptr;
    DocumentObserver* observer_ = nullptr;
    std::atomic<bool> newerScene_{false};
    int changeDepth_ = 0;
    std::uint64_t revision_ = 0;
    mutable std::mutex sceneLock_;
    std::shared_ptr<const Scene> scene_;
    // The revision from which a completed pass refits the camera (0: none):
    // an edit that fitted the camera before its paths existed.
    std::atomic<std::uint64_t> fitFrom_{0};
    bool fitWhenPathsDone_ = false;  // step's own, without a view
    // The fit alone: the refit once the paths are computed is no edit and
    // tells no journal.
    void fitCameraToReach();
    mutable std::mutex curvesLock_;
    std::vector<CurveInvariants> curves_;
    std::uint64_t curvesRevision_ = 0;
    bool curvesWanted_ = false;  // step()'s own: paths computed, curves not yet
    bool modified_ = false;
    std::string lastError_;
};
