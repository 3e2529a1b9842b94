// Link operations, destruction and walks over the three relations.
#include "relations.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "tubemesh.h"

namespace {

void unlink(Sphere& reference, Sphere& d, int kind) {
    Sphere* prev = d.previousSibling[kind];
    Sphere* next = d.nextSibling[kind];
    if (prev)
        prev->nextSibling[kind] = next;
    else if (reference.firstDependant[kind] == &d)
        reference.firstDependant[kind] = next;
    if (next)
        next->previousSibling[kind] = prev;
    else if (reference.lastDependant[kind] == &d)
        reference.lastDependant[kind] = prev;
    d.nextSibling[kind] = d.previousSibling[kind] = nullptr;
}

void append(Sphere& reference, Sphere& d, int kind) {
    d.referenceSlot(kind) = &reference;
    d.previousSibling[kind] = reference.lastDependant[kind];
    d.nextSibling[kind] = nullptr;
    if (reference.lastDependant[kind])
        reference.lastDependant[kind]->nextSibling[kind] = &d;
    else
        reference.firstDependant[kind] = &d;
    reference.lastDependant[kind] = &d;
}

void destroy(Automaton& a, Sphere& s, std::unordered_set<Sphere*>& gone) {
    gone.insert(&s);
    if (s.parent) detach(a, *s.parent, s, kParent);
    if (s.radiusReference) detach(a, *s.radiusReference, s, kRadius);
    if (s.timeReference) detach(a, *s.timeReference, s, kTime);
    for (int kind : {kRadius, kTime}) {
        // Re-attaching clears the moved dependant's links: take the next one first.
        for (Sphere* d = s.firstDependant[kind]; d;) {
            Sphere* next = d->nextSibling[kind];
            detach(a, s, *d, kind);
            d = next;
        }
    }
    for (Sphere* c = s.firstChild(); c;) {
        Sphere* next = c->nextChild();
        if (!gone.count(c)) {
            destroy(a, *c, gone);
            delete c;
        }
        c = next;
    }
    if (s.document) {
        a.sphereReleased(s);
        int slot = a.slotOf(&s);
        if (slot >= 0) a.sphereTable[static_cast<std::size_t>(slot)] = nullptr;
        s.document = nullptr;
    }
    s.points.clear();
}

void preOrder(Sphere* s, const std::function<void(Sphere&)>& work, const Sphere* skip,
              std::unordered_set<const Sphere*>& seen) {
    if (!s || s == skip || !seen.insert(s).second) return;
    work(*s);
    for (Sphere* c = s->firstChild(); c; c = c->nextChild()) {
        if (seen.count(c) && c != skip) break;  // a looping child list
        preOrder(c, work, skip, seen);
    }
}

void neighbours(Sphere& s, Sphere* pred, const std::function<void(Sphere&, Sphere*)>& work,
                std::unordered_set<const Sphere*>& seen) {
    if (!seen.insert(&s).second) return;
    work(s, pred);
    if (s.parent && s.parent != pred) neighbours(*s.parent, &s, work, seen);
    std::size_t guard = 0;
    for (Sphere* c = s.firstChild(); c && guard <= Automaton::kTableSize;
         c = c->nextChild(), ++guard)
        if (c != pred) neighbours(*c, &s, work, seen);
}

bool reachesFrom(const Sphere* target, const Sphere* start, int kind,
                 std::unordered_set<const Sphere*>& seen) {
    if (target == start) return true;
    if (!seen.insert(start).second) return false;
    std::size_t guard = 0;
    for (const Sphere* d = start->firstDependant[kind]; d && guard <= Automaton::kTableSize;
         d = d->nextSibling[kind], ++guard)
        if (reachesFrom(target, d, kind, seen)) return true;
    return false;
}

}  // namespace

int Automaton::slotOf(const Sphere* s) const {
    for (int i = 0; i < kTableSize; ++i)
        if (sphereTable[static_cast<std::size_t>(i)] == s) return i;
    return -1;
}

bool attach(Sphere& dependant, Sphere& reference, int kind) {
    if (reaches(&reference, &dependant, kind)) return false;
    if (Sphere* old = dependant.reference(kind)) {
        unlink(*old, dependant, kind);
        dependant.referenceSlot(kind) = nullptr;
    }
    append(reference, dependant, kind);
    return true;
}

void detach(Automaton& a, Sphere& reference, Sphere& d, int kind) {
    if (d.reference(kind) != &reference) return;
    unlink(reference, d, kind);
    d.referenceSlot(kind) = nullptr;
    const bool relink = a.destroyInProgress && !a.destroyingEverything && !d.doomed;
    if (!relink || kind == kParent) return;
    Sphere* to = kind == kRadius ? a.radiusRoot : a.timeMaster;
    if (to && to != &d && !to->doomed) attach(d, *to, kind);
}

bool reaches(const Sphere* target, const Sphere* start, int kind) {
    if (!target || !start) return false;
    std::unordered_set<const Sphere*> seen;
    return reachesFrom(target, start, kind, seen);
}

void markDoomed(Automaton& a, Sphere& s) {
    forEachPreOrder(&s, [&a](Sphere& x) {
        x.doomed = 1;
        --a.sphereCount;
        if (a.stationarySphere == &x) a.stationarySphere = nullptr;
        if (a.referenceChild == &x) a.referenceChild = nullptr;
    });
}

void destroySubtree(Automaton& a, Sphere* s) {
    if (!s) return;
    std::unordered_set<Sphere*> gone;
    destroy(a, *s, gone);
    delete s;
}

void forEachPreOrder(Sphere* s, const std::function<void(Sphere&)>& work, const Sphere* skip) {
    std::unordered_set<const Sphere*> seen;
    preOrder(s, work, skip, seen);
}

void forEachNeighbour(Sphere* start, const std::function<void(Sphere&, Sphere*)>& work) {
    if (!start) return;
    std::unordered_set<const Sphere*> seen;
    neighbours(*start, nullptr, work, seen);
}

std::vector<Sphere*> fillList(const Automaton& a, ListKind kind, const Sphere* selected) {
    std::vector<Sphere*> entries;
    forEachPreOrder(a.root, [&](Sphere& s) {
        bool out = false;
        if (kind == ListKind::Radius) out = reaches(&s, selected, kRadius);
        if (kind == ListKind::Time) out = reaches(&s, selected, kTime) || &s == a.root;
        if (!out) entries.push_back(&s);
    });
    return entries;
}

bool anyDynamic(const Automaton& a) {
    bool any = false;
    forEachNeighbour(a.stationarySphere ? a.stationarySphere : a.root,
                     [&any](Sphere& s, Sphere*) { any = any || s.dynamic; });
    return any;
}

bool stationaryWithin(const Automaton& a, const Sphere& s) {
    return a.stationarySphere && reaches(a.stationarySphere, &s, kParent);
}

double extent(const Automaton& a, double start) {
    double e = start;
    forEachPreOrder(a.root, [&e](Sphere& s) { e = std::max(e, length(s.center)); });
    return e;
}

double reach(const Automaton& a) {
    double e = 0;
    forEachPreOrder(a.root, [&e](Sphere& s) {
        const double r = std::abs(s.radius);
        e = std::max(e, length(s.center) + r);
        const double tube = tubeSettingsFor(r).radius;
        for (const SpherePoint& p : s.points)
            for (const Vec3& q : p.path) e = std::max(e, length(q) + tube);
    });
    return e;
}

std::vector<Sphere*> findPathList(const Automaton& a, Sphere& s) {
    const Sphere* st = a.stationarySphere;
    std::vector<Sphere*> list;
    if (!st) return list;
    // Up the ancestors of s.
    std::unordered_set<const Sphere*> seen;
    for (Sphere* x = &s; x && seen.insert(x).second; x = x->parent) {
        list.push_back(x);
        if (x == st) {
            std::reverse(list.begin(), list.end());
            return list;
        }
    }
    list.clear();
    // Down its descendants: the chain runs from the stationary sphere up to s.
    if (!reaches(st, &s, kParent)) return list;
    seen.clear();
    for (Sphere* x = const_cast<Sphere*>(st); x && seen.insert(x).second; x = x->parent) {
        list.push_back(x);
        if (x == &s) return list;
    }
    list.clear();  // the child lists and parent pointers disagree
    return list;
}

std::vector<Sphere*> treeSpheres(const Automaton& a) {
    std::vector<Sphere*> out;
    forEachPreOrder(a.root, [&out](Sphere& s) { out.push_back(&s); });
    return out;
}
