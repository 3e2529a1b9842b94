// The construction operations of the document: CREATE, DESTROY, TEMPLATE.
#include <algorithm>
#include <string>

#include "document.h"
#include "documentobserver.h"
#include "documentrules.h"
#include "placement.h"
#include "relations.h"
#include "sphere.h"

namespace {

// The settings a template carries: everything but identity, colour, image
// and links.
void copySettings(const Sphere& from, Sphere& to) {
    to.radiusFactor = from.radiusFactor;
    to.rollingRate = from.rollingRate;
    to.initialRevolution = from.initialRevolution;
    to.initialSpin = from.initialSpin;
    to.inside = from.inside;
    to.antiClockwise = from.antiClockwise;
    to.axisAngleZ = from.axisAngleZ;
    to.axisAngleX = from.axisAngleX;
    to.surface = from.surface;
    to.showCentersLine = from.showCentersLine;
    to.showPerpendicularAxis = from.showPerpendicularAxis;
    to.showRevolutionAxis = from.showRevolutionAxis;
    to.showGreatCircle = from.showGreatCircle;
    to.showRotationAxis = from.showRotationAxis;
    to.showPointPaths = from.showPointPaths;
    to.dynamic = from.dynamic;
    to.dynamicAxisZ = from.dynamicAxisZ;
    to.dynamicAxisX = from.dynamicAxisX;
    to.dynamicAngleZ = from.dynamicAngleZ;
    to.dynamicForwardZ = from.dynamicForwardZ;
    to.dynamicAngleX = from.dynamicAngleX;
    to.dynamicForwardX = from.dynamicForwardX;
    for (const SpherePoint& p : from.points)
        to.addPoint(p.pointAngleZ, p.pointAngleX, p.quantumDistance);
}

bool isNameLetter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

std::string Document::nextFreeName() {
    // Names run "A".."Z", "a".."z" and round again. A file may carry any byte
    // here; a name must be one storable letter, so anything else restarts at
    // "A". Letters in use are passed over; once all 52 are, a number follows
    // them. The table holds fewer spheres than there are names, so one is free.
    auto wrap = [this] {
        if (nextNameLetter == '[') nextNameLetter = 'a';
        if (nextNameLetter == '{' || !isNameLetter(nextNameLetter)) nextNameLetter = 'A';
    };
    auto advance = [this, &wrap] {
        ++nextNameLetter;
        wrap();
    };
    wrap();
    for (int round = 1;; ++round) {
        for (int i = 0; i < 52; ++i) {
            std::string name(1, static_cast<char>(nextNameLetter));
            if (round > 1) name += std::to_string(round);
            advance();
            if (!findSphereByName(name)) return name;
        }
    }
}

Sphere* Document::createSphere() {
    // With no selection the new sphere still hangs from the root: a second
    // parentless sphere would fall outside the tree (and out of the file).
    return createSphere(selectedSphere ? selectedSphere : root, SphereSettings{});
}

Sphere* Document::createSphere(Sphere* parent, const SphereSettings& settings) {
    if (std::string why = settingsRefusal(parent, settings); !why.empty()) {
        lastError_ = why;
        return nullptr;
    }
    Change change(*this);
    return createSphereNow(parent, settings);
}

std::string Document::settingsRefusal(const Sphere* parent, const SphereSettings& settings) const {
    if (!parent && root) return "The automaton has a root already.";
    if (settings.name)
        if (std::string why = nameRefusal(nullptr, *settings.name); !why.empty()) return why;
    if (settings.radius)
        if (std::string why = rules::factorRefusal("radius", *settings.radius); !why.empty())
            return why;
    if (settings.rate) {
        if (std::string why = rules::factorRefusal("rate", *settings.rate); !why.empty())
            return why;
        // The first child of an automaton without a time master becomes it.
        if (parent && !timeMaster && *settings.rate != Rational(1)) return rules::kNewClock;
    }
    return {};
}

Sphere* Document::createSphereNow(Sphere* parent, const SphereSettings& settings) {
    auto freeSlot = std::find(sphereTable.begin(), sphereTable.end(), nullptr);
    if (freeSlot == sphereTable.end() || sphereCount >= kTableSize) {
        // A sphere without a slot would be missed by every walk over the
        // table and by the file: refuse it instead.
        notifyMessage(kTableFull);
        return nullptr;
    }
    lastError_.clear();
    auto* s = new Sphere();
    s->document = this;
    *freeSlot = s;
    ++sphereCount;

    // The letter moves on even when a name is given, so that the names that
    // follow (and the letter files keep) do not depend on it.
    s->name = nextFreeName();
    if (settings.name) s->name = rules::trimmedName(*settings.name);

    int image = parent ? parent->treeImage + 1 : 0;
    if (image < 0 || image > 8) image = 0;
    s->treeImage = image;
    s->color = kLevelColors[image];

    if (!root) {
        root = s;
        stationarySphere = s;
        referenceChild = nullptr;
    } else if (sphereCount == 2) {
        referenceChild = s;
    }
    if (!radiusRoot) radiusRoot = s;

    if (parent) {
        attach(*s, *parent, kParent);
        attach(*s, *parent, kRadius);
        if (timeMaster)
            attach(*s, *timeMaster, kTime);
        else
            timeMaster = s;
    }
    if (sphereCount == 2) selectRootAsStationary();

    if (templateSphere) {
        copySettings(*templateSphere, *s);
    } else {
        s->radiusFactor = Rational(1, 2);
        s->rollingRate = Rational(1, 1);
        s->addPoint(0, 0, 0);
    }
    if (settings.radius) s->radiusFactor = *settings.radius;
    if (settings.rate && s != timeMaster) s->rollingRate = *settings.rate;
    if (settings.inside) s->inside = *settings.inside ? 1 : 0;
    if (settings.antiClockwise) s->antiClockwise = *settings.antiClockwise ? 1 : 0;
    if (settings.axisZ) s->axisAngleZ = *settings.axisZ;
    if (settings.axisX) s->axisAngleX = *settings.axisX;
    s->initialRevolution = settings.initialRevolution
                               ? *settings.initialRevolution
                               : rules::siblingTurn(*s, s->initialRevolution);

    selectedSphere = s;
    if (observer_) {
        observer_->insertTreeItem(*s);
        observer_->selectTreeItem(*s);
        observer_->repaintTree();
    }
    refreshSpherePages();
    refreshViewPage();
    placeAndFit();
    modified_ = true;
    return s;
}

void Document::destroySphere() {
    if (sphereCount <= 0 || !root) return;
    Change change(*this);
    if (Sphere* doomed = selectedSphere) {
        const bool wholeTree = doomed == root;
        Sphere* after = wholeTree ? nullptr : doomed->parent;
        const bool masterInside = timeMaster && reaches(timeMaster, doomed, kParent);

        destroyInProgress = 1;
        destroyingEverything = wholeTree ? 1 : 0;
        markDoomed(*this, *doomed);
        if (!wholeTree && masterInside) {
            Sphere* first = root->firstChild();
            Sphere* second = first ? first->nextChild() : nullptr;
            if (second && !second->doomed) {
                timeMaster = second;
                second->rollingRate = Rational(1, 1);
            } else {
                timeMaster = nullptr;
            }
        }
        destroySubtree(*this, doomed);
        if (wholeTree) root = radiusRoot = timeMaster = stationarySphere = referenceChild = nullptr;
        destroyingEverything = 0;
        destroyInProgress = 0;
        selectedSphere = after;

        if (after) {
            // An automaton without a stationary sphere shows nothing: the
            // root takes over when the stationary sphere went.
            if (!stationarySphere) selectRootAsStationary();
            if (observer_) observer_->selectTreeItem(*after);
            refreshSpherePages();
            refreshViewPage();
            placeAndFit();
        } else {
            // The pages must not keep showing spheres that are gone.
            refreshSpherePages();
            refreshViewPage();
        }
        if (observer_) observer_->repaintTree();
        if (root && sphereCount >= 2) referenceChild = root->firstChild();
        modified_ = true;
    }
}

void Document::makeTemplate(Sphere* s) {
    if (!s) return;
    if (!templateSphere) templateSphere = new Sphere("Template");
    templateSphere->points.clear();
    copySettings(*s, *templateSphere);
}
