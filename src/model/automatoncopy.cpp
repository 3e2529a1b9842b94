// Whole-automaton copies and the comparison that lets a copy keep the paths
// of the one it replaces.
#include "automatoncopy.h"

#include <unordered_map>

namespace {
// The copy of s, or null for null and for spheres outside the table (a
// reference a damaged file left dangling is not followed into a copy).
struct SphereMap {
    std::unordered_map<const Sphere*, Sphere*> to;
    Sphere* operator()(const Sphere* s) const {
        auto it = to.find(s);
        return it == to.end() ? nullptr : it->second;
    }
};

int slotOrNone(const Automaton& a, const Sphere* s) {
    return s ? a.slotOf(s) : -1;
}

bool samePoints(const Sphere& x, const Sphere& y) {
    if (x.points.size() != y.points.size()) return false;
    for (std::size_t i = 0; i < x.points.size(); ++i) {
        const SpherePoint &p = x.points[i], &q = y.points[i];
        if (p.pointAngleZ != q.pointAngleZ || p.pointAngleX != q.pointAngleX ||
            p.quantumDistance != q.quantumDistance)
            return false;
    }
    return true;
}

// What the placement and the path pass read of a sphere.
bool sameSphereMotion(const Automaton& a, const Sphere& x, const Automaton& b, const Sphere& y) {
    for (int kind : {kParent, kRadius, kTime})
        if (slotOrNone(a, x.reference(kind)) != slotOrNone(b, y.reference(kind))) return false;
    return x.radiusFactor == y.radiusFactor && x.rollingRate == y.rollingRate &&
           x.inside == y.inside && x.antiClockwise == y.antiClockwise &&
           x.axisAngleZ == y.axisAngleZ && x.axisAngleX == y.axisAngleX &&
           x.initialSpin == y.initialSpin && x.initialRevolution == y.initialRevolution &&
           x.dynamic == y.dynamic && x.dynamicAxisZ == y.dynamicAxisZ &&
           x.dynamicAxisX == y.dynamicAxisX && x.dynamicForwardZ == y.dynamicForwardZ &&
           x.dynamicForwardX == y.dynamicForwardX && x.showPointPaths == y.showPointPaths &&
           samePoints(x, y);
}
}  // namespace

namespace {
// A copy owns its spheres: nothing else frees them (a document frees its
// own as it edits and when it goes).
struct CopiedAutomaton final : Automaton {
    CopiedAutomaton() = default;
    CopiedAutomaton(const CopiedAutomaton&) = delete;
    CopiedAutomaton& operator=(const CopiedAutomaton&) = delete;
    ~CopiedAutomaton() override {
        for (Sphere*& s : sphereTable) {
            delete s;
            s = nullptr;
        }
    }
};
}  // namespace

std::unique_ptr<Automaton> copyAutomaton(const Automaton& a, bool withPaths) {
    auto c = std::make_unique<CopiedAutomaton>();
    SphereMap map;
    for (int i = 0; i < Automaton::kTableSize; ++i) {
        const Sphere* s = a.sphereTable[i];
        if (!s) continue;
        auto* t = new Sphere(*s);
        if (!withPaths)
            for (SpherePoint& p : t->points) p.path = {};
        t->document = c.get();
        c->sphereTable[i] = t;
        map.to[s] = t;
    }
    for (Sphere* t : c->sphereTable) {
        if (!t) continue;
        t->parent = map(t->parent);
        t->radiusReference = map(t->radiusReference);
        t->timeReference = map(t->timeReference);
        for (int k = 0; k < 3; ++k) {
            t->firstDependant[k] = map(t->firstDependant[k]);
            t->lastDependant[k] = map(t->lastDependant[k]);
            t->nextSibling[k] = map(t->nextSibling[k]);
            t->previousSibling[k] = map(t->previousSibling[k]);
        }
        // The memo names the spheres it was measured against; its stamps
        // stay valid for the copies of those spheres.
        t->exact.radius.reference = map(t->exact.radius.reference);
        t->exact.speed.reference = map(t->exact.speed.reference);
        t->exact.link.parent = map(t->exact.link.parent);
    }
    c->sphereCount = a.sphereCount;
    c->root = map(a.root);
    c->radiusRoot = map(a.radiusRoot);
    c->timeMaster = map(a.timeMaster);
    c->stationarySphere = map(a.stationarySphere);
    c->referenceChild = map(a.referenceChild);
    c->baseRadius = a.baseRadius;
    c->movieFrameCount = a.movieFrameCount;
    c->pathStep = a.pathStep;
    c->twoPi = a.twoPi;
    c->pathsUpToDate = withPaths ? a.pathsUpToDate : 0;
    c->placements = a.placements;
    c->sampleBudget = a.sampleBudget;
    c->periodTurnLimit = a.periodTurnLimit;
    c->workMatrix = a.workMatrix;
    return c;
}

bool sameMotion(const Automaton& a, const Automaton& b) {
    if (a.sphereCount != b.sphereCount || a.baseRadius != b.baseRadius ||
        a.movieFrameCount != b.movieFrameCount || a.pathStep != b.pathStep ||
        a.sampleBudget != b.sampleBudget || a.periodTurnLimit != b.periodTurnLimit)
        return false;
    const Sphere* const Automaton::*roles[] = {&Automaton::root, &Automaton::radiusRoot,
                                               &Automaton::timeMaster,
                                               &Automaton::stationarySphere};
    for (auto role : roles)
        if (slotOrNone(a, a.*role) != slotOrNone(b, b.*role)) return false;
    for (int i = 0; i < Automaton::kTableSize; ++i) {
        const Sphere *x = a.sphereTable[i], *y = b.sphereTable[i];
        if (!x != !y) return false;
        if (x && !sameSphereMotion(a, *x, b, *y)) return false;
    }
    return true;
}

void carryPaths(const Automaton& from, Automaton& to) {
    if (!from.pathsUpToDate || !sameMotion(from, to)) return;
    for (int i = 0; i < Automaton::kTableSize; ++i) {
        const Sphere* x = from.sphereTable[i];
        Sphere* y = to.sphereTable[i];
        if (!x || !y) continue;
        for (std::size_t p = 0; p < x->points.size(); ++p) y->points[p].path = x->points[p].path;
        y->radius = x->radius;
        y->frame = x->frame;
        y->spin = x->spin;
        y->revolution = x->revolution;
        y->center = x->center;
        y->axisPoint = x->axisPoint;
        y->snapshotTaken = x->snapshotTaken;
        y->snapshotCenter = x->snapshotCenter;
        y->snapshotRadius = x->snapshotRadius;
        y->snapshotFrame = x->snapshotFrame;
        y->dynamicAngleZ = x->dynamicAngleZ;
        y->dynamicAngleX = x->dynamicAngleX;
    }
    to.pathsUpToDate = 1;
    to.placements = from.placements;
}
