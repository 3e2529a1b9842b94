// Opening and saving documents: the file is read whole into a separate
// document and adopted only when it was read and checked completely, and it
// is written through a temporary file that replaces the target at once.
// Snapshots for the undo history travel as the same bytes.
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <utility>

#include "atomicfile.h"
#include "crotundeldoc.h"
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

DocResult CRotundelDoc::OpenDocument(const std::string& path) {
    std::string bytes;
    if (DocResult r = readFile(path, OneFile::kMaxFileBytes, bytes); !r) return r;

    // The current automaton stays untouched until the new one is complete.
    CRotundelDoc fresh;
    try {
        OneFile::read(std::string_view(bytes), fresh);
    } catch (const bad_rational& e) {
        return failure(e.what());
    } catch (const FileFormatError&) {
        return failure(kBadFormat);
    } catch (const std::bad_alloc&) {
        return failure(kBadFormat);
    }

    bool paused = PauseIfRunning();
    clearContentsPaused();
    AdoptContents(fresh);
    // What the View page shows is what is computed.
    SetPathAccuracy();

    if (observer_) {
        for (Sphere* s : sphereTable) {
            if (!s) continue;
            int image = observer_->swatchForColor(s->color);
            if (image >= 0) s->treeImage = image;
        }
    }
    showReplacedContents();
    if (observer_) observer_->resetLightPageAllParticles();
    RefreshViewPage();
    RefreshSpherePages();
    if (stationarySphere) placeAndFit();
    if (paused) {
        flashActive = 0;
        RenderResume();
    }
    if (observer_) observer_->updateAllViews();
    modified_ = false;
    return {};
}

// After the automaton was replaced whole (open, undo): textures for every
// sphere, and the tree built anew with the selected sphere's item chosen.
void CRotundelDoc::showReplacedContents() {
    textureTarget = nullptr;
    if (link_) {
        std::lock_guard<CriticalSection> hold(link_->requestLock());
        link_->setTextureAssignmentRequest(true);
    }
    if (observer_) {
        observer_->deleteAllTreeItems();
        forEachPreOrder(root, [this](Sphere& s) { s.treeItem = observer_->insertTreeItem(s); });
        if (selectedSphere) observer_->selectTreeItem(*selectedSphere);
    }
}

DocSnapshot CRotundelDoc::TakeSnapshot() {
    DocSnapshot snap;
    snap.bytes = OneFile::write(*this);
    // The camera distance closes the bytes.
    const double none = 0.0;
    std::memcpy(snap.bytes.data() + snap.bytes.size() - sizeof none, &none, sizeof none);
    // In the writer's order: the root first, then the table.
    auto note = [&snap, this](Sphere* s, std::size_t slot) {
        if (s == selectedSphere) snap.selected = static_cast<int>(snap.tableSlots.size());
        snap.tableSlots.push_back(static_cast<int>(slot));
        snap.treeImages.push_back(s->treeImage);
    };
    for (std::size_t slot = 0; slot < sphereTable.size(); ++slot)
        if (sphereTable[slot] && sphereTable[slot] == root) note(root, slot);
    for (std::size_t slot = 0; slot < sphereTable.size(); ++slot)
        if (Sphere* s = sphereTable[slot]; s && s != root) note(s, slot);
    return snap;
}

bool CRotundelDoc::RestoreSnapshot(const DocSnapshot& snap) {
    CRotundelDoc fresh;
    try {
        OneFile::readAllowingEmpty(std::string_view(snap.bytes), fresh);
    } catch (const std::exception&) {
        return false;
    }
    const std::size_t n = static_cast<std::size_t>(fresh.sphereCount);
    // Back into the slots they held, so that later creations fill the same
    // gaps as they would have before the undo. A list that does not fit
    // leaves the spheres where the reader put them.
    if (snap.tableSlots.size() == n) {
        std::array<Sphere*, kTableSize> table{};
        bool fits = true;
        for (std::size_t i = 0; i < n && fits; ++i) {
            int slot = snap.tableSlots[i];
            fits = slot >= 0 && slot < kTableSize && !table[static_cast<std::size_t>(slot)];
            if (fits) table[static_cast<std::size_t>(slot)] = fresh.sphereTable[i];
        }
        if (fits) fresh.sphereTable = table;
    }
    std::vector<Sphere*> inFileOrder;
    if (fresh.root) inFileOrder.push_back(fresh.root);
    for (Sphere* s : fresh.sphereTable)
        if (s && s != fresh.root) inFileOrder.push_back(s);
    for (std::size_t i = 0; i < inFileOrder.size() && i < snap.treeImages.size(); ++i)
        inFileOrder[i]->treeImage = snap.treeImages[i];
    if (snap.selected >= 0 && static_cast<std::size_t>(snap.selected) < inFileOrder.size())
        fresh.selectedSphere = inFileOrder[static_cast<std::size_t>(snap.selected)];

    bool paused = PauseIfRunning();
    // What the bytes do not carry stays as it is.
    Sphere* keptTemplate = std::exchange(templateSphere, nullptr);
    const double keptDistance = cameraDistance;
    const bool keptModified = modified_;
    clearContentsPaused();
    AdoptContents(fresh);
    templateSphere = keptTemplate;
    cameraDistance = keptDistance;
    modified_ = keptModified;
    SetPathAccuracy();
    showReplacedContents();
    RefreshViewPage();
    RefreshSpherePages();
    if (stationarySphere) {
        RewindDynamics();
        reset(*this);
    }
    if (paused) RenderResume();
    if (observer_) observer_->updateAllViews();
    return true;
}

DocResult CRotundelDoc::SaveDocument(const std::string& path) {
    AtomicFile file(path);
    if (!file.open()) return failure(kFailedSave, file.error());
    file.write(OneFile::write(*this));
    if (!file.commit()) return failure(kFailedSave, file.error());
    modified_ = false;
    return {};
}
