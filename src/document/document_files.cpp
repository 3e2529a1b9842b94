// Opening and saving documents: the file is read whole into a separate
// document and adopted only when it was read and checked completely, and it
// is written through a temporary file that replaces the target at once.
// Snapshots for the undo history travel as the same bytes.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <optional>
#include <utility>

#include "atomicfile.h"
#include "document.h"
#include "documentobserver.h"
#include "onefile.h"
#include "placement.h"
#include "relations.h"
#include "renderlink.h"
#include "sphere.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kFailedOpen = "Failed to open document.";
constexpr const char* kFailedSave = "Failed to save document.";
constexpr const char* kBadFormat = "Unexpected file format.";

DocResult failure(const char* message, std::string reason = {}) {
    return DocResult{false, message, std::move(reason)};
}

std::string errnoText(int e) {
    return e ? std::strerror(e) : std::string();
}

// Reads at most limit + 1 bytes, so that an oversized file is recognised
// without holding all of it.
DocResult readFile(const std::string& path, std::size_t limit, std::string& bytes) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) return failure(kFailedOpen, "it is a folder");
    // A pipe or device could block the open or never end; documents are files.
    if (fs::exists(path, ec) && !fs::is_regular_file(path, ec))
        return failure(kFailedOpen, "it is not a regular file");
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) return failure(kFailedOpen, errnoText(errno));
    char buffer[1 << 14];
    while (in && bytes.size() <= limit) {
        in.read(buffer, sizeof buffer);
        bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) return failure(kFailedOpen, "it could not be read");
    return {};
}

}  // namespace

DocResult Document::openDocument(const std::string& path) {
    std::string bytes;
    if (DocResult r = readFile(path, OneFile::kMaxFileBytes, bytes); !r) return r;
    return openBytes(bytes);
}

DocResult Document::openBytes(std::string_view bytes) {
    // The current automaton stays untouched until the new one is complete.
    Document fresh;
    try {
        OneFile::read(bytes, fresh);
    } catch (const bad_rational&) {
        return failure(kZeroDenominator);
    } catch (const FileFormatError&) {
        return failure(kBadFormat);
    } catch (const std::bad_alloc&) {
        return failure(kBadFormat);
    }

    std::optional<Change> publishing(std::in_place, *this);
    clearContentsNow();
    adoptContents(fresh);
    // What the View page shows is what is computed.
    setPathAccuracy();

    if (observer_) {
        for (Sphere* s : sphereTable) {
            if (!s) continue;
            int image = observer_->swatchForColor(s->color);
            if (image >= 0) s->treeImage = image;
        }
    }
    showReplacedContents();
    if (observer_) observer_->resetLightPageAllParticles();
    refreshViewPage();
    refreshSpherePages();
    if (stationarySphere) placeAndFit();
    flashActive = 0;
    publishing.reset();
    if (observer_) observer_->updateAllViews();
    modified_ = false;
    return {};
}

// After the automaton was replaced whole (open, undo): the tree built anew
// with the selected sphere's item chosen.
void Document::showReplacedContents() {
    if (observer_) {
        observer_->deleteAllTreeItems();
        forEachPreOrder(root, [this](Sphere& s) { observer_->insertTreeItem(s); });
        if (selectedSphere) observer_->selectTreeItem(*selectedSphere);
    }
}

namespace {

// The spheres in the writer's order: the root first, then the table.
std::vector<Sphere*> fileOrder(const Automaton& a) {
    std::vector<Sphere*> order;
    if (a.root) order.push_back(a.root);
    for (Sphere* s : a.sphereTable)
        if (s && s != a.root) order.push_back(s);
    return order;
}

// Links the spheres of a snapshot (in file order) as the snapshot says;
// false for lists that do not describe one tree over them.
bool linkByIndex(const DocSnapshot& snap, const std::vector<Sphere*>& spheres, Document& a) {
    const std::size_t n = spheres.size();
    if (snap.links.size() != 3 * n || snap.roles.size() != 4 || snap.preOrder.size() != n)
        return false;
    auto at = [&](int i) -> Sphere* {
        return i >= 0 && static_cast<std::size_t>(i) < n ? spheres[static_cast<std::size_t>(i)]
                                                         : nullptr;
    };
    // Parents in the tree's pre-order give every sphere its children in
    // their order; the references follow in file order, as a file's do.
    for (int i : snap.preOrder) {
        Sphere* s = at(i);
        if (!s) return false;
        Sphere* parent = at(snap.links[3 * static_cast<std::size_t>(i)]);
        if (parent && !attach(*s, *parent, kParent)) return false;
    }
    for (std::size_t i = 0; i < n; ++i)
        for (int kind : {kRadius, kTime})
            if (Sphere* r = at(snap.links[3 * i + static_cast<std::size_t>(kind)]))
                if (!attach(*spheres[i], *r, kind)) return false;
    int reached = 0;
    forEachPreOrder(a.root, [&reached](Sphere&) { ++reached; });
    if (static_cast<std::size_t>(reached) != n) return false;
    a.stationarySphere = at(snap.roles[0]);
    a.referenceChild = at(snap.roles[1]);
    a.radiusRoot = at(snap.roles[2]);
    a.timeMaster = at(snap.roles[3]);
    a.selectedSphere = at(snap.selected);
    return true;
}

}  // namespace

DocSnapshot Document::takeSnapshot() {
    DocSnapshot snap;
    snap.bytes = OneFile::write(*this);
    // The camera distance closes the bytes.
    const double none = 0.0;
    std::memcpy(snap.bytes.data() + snap.bytes.size() - sizeof none, &none, sizeof none);
    const std::vector<Sphere*> order = fileOrder(*this);
    auto index = [&order](const Sphere* s) {
        auto it = std::find(order.begin(), order.end(), s);
        return s && it != order.end() ? static_cast<int>(it - order.begin()) : -1;
    };
    for (Sphere* s : order) {
        snap.tableSlots.push_back(slotOf(s));
        snap.treeImages.push_back(s->treeImage);
        for (const Sphere* r : {s->parent, s->radiusReference, s->timeReference})
            snap.links.push_back(index(r));
    }
    snap.selected = index(selectedSphere);
    snap.roles = {index(stationarySphere), index(referenceChild), index(radiusRoot),
                  index(timeMaster)};
    forEachPreOrder(root, [&](Sphere& s) { snap.preOrder.push_back(index(&s)); });
    return snap;
}

bool Document::restoreSnapshot(const DocSnapshot& snap, bool fitCamera) {
    Document fresh;
    try {
        OneFile::readUnlinked(std::string_view(snap.bytes), fresh);
    } catch (const std::exception&) {
        notifyMessage(kRestoreFailed);
        return false;
    }
    std::vector<Sphere*> inFileOrder(fresh.sphereTable.begin(),
                                     fresh.sphereTable.begin() + fresh.sphereCount);
    if (!linkByIndex(snap, inFileOrder, fresh)) {
        notifyMessage(kRestoreFailed);
        return false;
    }
    const std::size_t n = inFileOrder.size();
    // Back into the slots they held, so that later creations fill the same
    // gaps as they would have before the undo. A list that does not fit
    // leaves the spheres where the reader put them.
    if (snap.tableSlots.size() == n) {
        std::array<Sphere*, kTableSize> table{};
        bool fits = true;
        for (std::size_t i = 0; i < n && fits; ++i) {
            int slot = snap.tableSlots[i];
            fits = slot >= 0 && slot < kTableSize && !table[static_cast<std::size_t>(slot)];
            if (fits) table[static_cast<std::size_t>(slot)] = inFileOrder[i];
        }
        if (fits) fresh.sphereTable = table;
    }
    for (std::size_t i = 0; i < n && i < snap.treeImages.size(); ++i)
        inFileOrder[i]->treeImage = snap.treeImages[i];

    std::optional<Change> publishing(std::in_place, *this);
    // What the bytes do not carry stays as it is.
    Sphere* keptTemplate = std::exchange(templateSphere, nullptr);
    const double keptDistance = cameraDistance;
    const bool keptModified = modified_;
    clearContentsNow(true);
    adoptContents(fresh);
    templateSphere = keptTemplate;
    cameraDistance = keptDistance;
    modified_ = keptModified;
    setPathAccuracy();
    showReplacedContents();
    refreshViewPage();
    refreshSpherePages();
    if (stationarySphere) {
        rewindDynamics();
        reset(*this);
        if (fitCamera) fitCameraDistance();
    }
    publishing.reset();
    if (observer_) observer_->updateAllViews();
    return true;
}

std::unique_ptr<Document> Document::workCopy() {
    auto copy = std::make_unique<Document>();
    if (!copy->restoreSnapshot(takeSnapshot())) return nullptr;
    copy->selectedSphere = selectedSphere
                               ? copy->sphereTable[static_cast<std::size_t>(slotOf(selectedSphere))]
                               : nullptr;
    copy->cameraDistance = cameraDistance.load();
    copy->cameraController.setOrientation(cameraController.orientation());
    copy->orbitTarget = orbitTarget;
    copy->curvesOnly = curvesOnly;
    copy->axisDrawFactor = axisDrawFactor;
    copy->imageWidth = imageWidth;
    copy->imageHeight = imageHeight;
    copy->movieFrameCount = movieFrameCount;
    copy->flashPointIndex = flashPointIndex.load();
    copy->setModifiedFlag(isModified());
    // A camera fit still waiting for the view's path pass waits for the
    // copy's own, so that what the copy writes is framed as the view will be.
    copy->fitWhenPathsDone_ = fitWhenPathsDone_ || fitFrom_.load() != 0;
    return copy;
}

const Sphere* Document::unstorableLink() const {
    // The reader links a name to the first sphere of that name in file order.
    const std::vector<Sphere*> order = fileOrder(*this);
    auto firstNamed = [&order](const std::string& name) -> const Sphere* {
        for (const Sphere* s : order)
            if (s->name == name) return s;
        return nullptr;
    };
    for (const Sphere* s : order)
        for (const Sphere* r : {s->parent, s->radiusReference, s->timeReference})
            if (r && firstNamed(r->name) != r) return r;
    for (const Sphere* r : {stationarySphere, referenceChild})
        if (r && firstNamed(r->name) != r) return r;
    return nullptr;
}

DocResult Document::fileBytes(std::string& bytes) {
    // A file names the spheres it links to; a file read with two spheres of
    // one name may since have gained a link to the second, which no file
    // can say. Saving it would write a different automaton, or one that
    // does not open at all.
    if (const Sphere* s = unstorableLink())
        return failure(kFailedSave, "two spheres are named \"" + s->name +
                                        "\"; rename one of them and save again");
    // Nothing is written that no reader would take back.
    bytes = OneFile::write(*this);
    if (bytes.size() > OneFile::kMaxFileBytes)
        return failure(kFailedSave, "the file would take " + std::to_string(bytes.size()) +
                                        " bytes, more than the " +
                                        std::to_string(OneFile::kMaxFileBytes) +
                                        " a .one file may have to be read back");
    return {};
}

DocResult Document::saveDocument(const std::string& path) {
    std::string bytes;
    if (DocResult r = fileBytes(bytes); !r) return r;
    AtomicFile file(path);
    if (!file.open()) return failure(kFailedSave, file.error());
    file.write(bytes);
    if (!file.commit()) return failure(kFailedSave, file.error());
    modified_ = false;
    return {};
}
