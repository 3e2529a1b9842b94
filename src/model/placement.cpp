// Placement of spheres at an exact time, reset and the dynamic animation.
#include "placement.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "linkmotion.h"
#include "pointpaths.h"
#include "relations.h"

void radiusPass(Automaton& a) {
    forEachPreOrder(a.root,
                    [&a](Sphere& s) { s.radius = toDouble(relativeRadius(s)) * a.baseRadius; });
}

std::optional<BigInt> cycleCount(const Sphere& p, const Sphere& c) {
    BigRational rp = relativeRadius(p), rc = relativeRadius(c);
    if (rp == 0 || rc == 0) return std::nullopt;
    return boost::multiprecision::denominator(BigRational(rp / rc));
}

std::optional<BigRational> revolutionRate(const Automaton& a, const Sphere& s, const Sphere& n) {
    return MotionCache(a).rate(s, n);
}

const BigRational& MotionCache::relativeRadiusOf(const Sphere& s) {
    auto it = radii_.find(&s);
    if (it == radii_.end()) it = radii_.emplace(&s, relativeRadius(s)).first;
    return it->second;
}

std::optional<BigRational> MotionCache::rate(const Sphere& s, const Sphere& n) {
    auto key = std::make_pair(&s, &n);
    auto it = rates_.find(key);
    if (it != rates_.end()) return it->second;
    const Automaton& a = a_;
    const bool nIsChild = n.parent == &s;
    const Sphere& c = nIsChild ? n : s;
    if (!c.parent) return rates_[key] = std::nullopt;
    const Sphere& p = *c.parent;
    const BigRational& rp = relativeRadiusOf(p);
    const BigRational& rc = relativeRadiusOf(c);
    if (rp == 0 || rc == 0) return rates_[key] = std::nullopt;
    BigInt d = boost::multiprecision::denominator(BigRational(rp / rc));
    // The reciprocal of the revolution time: D * rate(C), times rp / rc when
    // the parent goes round its child, times the rates up the time chain.
    BigRational rate = BigRational(d) * toBig(c.rollingRate);
    if (nIsChild) rate *= rp / rc;
    std::unordered_set<const Sphere*> seen;
    for (const Sphere* x = &c; x != a.timeMaster && x->timeReference && seen.insert(x).second;
         x = x->timeReference)
        rate *= toBig(x->timeReference->rollingRate);
    return rates_[key] = rate;
}

BigRational revolutions(const Automaton& a, const Sphere& s, const Sphere& n,
                        const BigRational& t) {
    auto rate = revolutionRate(a, s, n);
    return rate ? BigRational(*rate * t) : BigRational(0);
}

double effectiveAxisAngleZ(const Sphere& s) {
    if (!(s.dynamic && s.dynamicAxisZ)) return s.axisAngleZ;
    double v = s.axisAngleZ + static_cast<double>(s.dynamicAngleZ);
    return v >= 360 ? v - 360 : v;
}

double effectiveAxisAngleX(const Sphere& s) {
    if (!(s.dynamic && s.dynamicAxisX)) return s.axisAngleX;
    double v = s.axisAngleX + static_cast<double>(s.dynamicAngleX);
    return v >= 360 ? v - 360 : v;
}

namespace {

void placeFrom(Automaton& a, Sphere& s, Sphere* n, const BigRational& t,
               const std::vector<Sphere*>* list, std::unordered_set<const Sphere*>& seen) {
    if (!seen.insert(&s).second) return;
    if (!n || &s == a.stationarySphere) {
        s.center = {0, 0, 0};
        s.axisPoint = {0, 0, 1};
        a.workMatrix = identityMatrix();
        s.frame = identityMatrixF();
    } else {
        LinkMotion m = LinkMotion::make(a, s, *n);
        auto rate = revolutionRate(a, s, *n);
        double e = rate ? toDouble(BigRational(*rate * t)) : 0.0;
        a.workMatrix = widen(n->frame);
        s.revolution = m.revolutionAt(e);
        s.spin = m.spinAt(e);
        m.apply(a.workMatrix, s.revolution, s.spin);
        const Mat4& w = a.workMatrix;
        s.center = translationOf(w);
        s.axisPoint = {w[8] + w[12], w[9] + w[13], w[10] + w[14]};
        s.frame = narrow(w);
        if (list && !list->empty() && list->back() == &s) samplePoints(a, s, m.rs);
    }
    if (!list && !s.snapshotTaken) {
        s.snapshotRadius = s.radius;
        s.snapshotCenter = s.center;
        s.snapshotFrame = s.frame;
        s.snapshotTaken = 1;
    }
    auto member = [list](Sphere* x) {
        return !list || std::find(list->begin(), list->end(), x) != list->end();
    };
    if (s.parent && s.parent != n && member(s.parent)) placeFrom(a, *s.parent, &s, t, list, seen);
    std::size_t guard = 0;
    for (Sphere* c = s.firstChild(); c && guard <= Automaton::kTableSize;
         c = c->nextChild(), ++guard)
        if (c != n && member(c)) placeFrom(a, *c, &s, t, list, seen);
}

}  // namespace

void place(Automaton& a, Sphere& s, Sphere* n, const BigRational& t,
           const std::vector<Sphere*>* pathList) {
    std::unordered_set<const Sphere*> seen;
    placeFrom(a, s, n, t, pathList, seen);
}

void reset(Automaton& a) {
    if (!a.stationarySphere) return;
    forEachNeighbour(a.stationarySphere, [](Sphere& s, Sphere*) {
        s.snapshotTaken = 0;
        s.bodyListValid = 1;
        s.pathListValid = 1;
    });
    forEachNeighbour(a.stationarySphere, [](Sphere& s, Sphere*) {
        for (auto& p : s.points)
            if (!p.path.empty()) p.clearPath();
        s.spin = s.initialSpin;
        s.revolution = s.initialRevolution;
    });
    radiusPass(a);
    place(a, *a.stationarySphere, nullptr, BigRational(0));
    a.pathsUpToDate = 0;
}

void dynamicReset(Automaton& a) {
    forEachNeighbour(a.stationarySphere, [](Sphere& s, Sphere*) {
        if (s.dynamicAxisZ) {
            s.dynamicAngleZ = 0;
            s.dynamicForwardZ = 1;
        }
        if (s.dynamicAxisX) {
            s.dynamicAngleX = 0;
            s.dynamicForwardX = 1;
        }
    });
}

void dynamicStep(Automaton& a) {
    const float step = 360.0f / static_cast<float>(std::max(1, a.movieFrameCount));
    auto advance = [step](float& angle, int forward) {
        angle = forward == 1 ? angle + step : angle - step;
        if (angle >= 360.0f) angle -= 360.0f;
    };
    forEachNeighbour(a.stationarySphere, [&](Sphere& s, Sphere*) {
        if (s.dynamicAxisZ) advance(s.dynamicAngleZ, s.dynamicForwardZ);
        if (s.dynamicAxisX) advance(s.dynamicAngleX, s.dynamicForwardX);
    });
}

PathPassResult frameUpdate(Automaton& a, const PathPassControl* control) {
    if (!a.root || !a.stationarySphere) return {};
    const bool dynamic = anyDynamic(a);
    if (a.pathsUpToDate && !dynamic) return {};
    reset(a);
    if (dynamic) dynamicStep(a);
    PathPassResult result = pathPass(a, control);
    if (!result.completed) return result;
    a.pathsUpToDate = 1;
    forEachNeighbour(a.stationarySphere, [](Sphere& s, Sphere*) {
        s.bodyListValid = 0;
        s.pathListValid = 0;
    });
    return result;
}
