// Placement of spheres at an exact time, reset and the dynamic animation.
#include "placement.h"

#include <atomic>

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "exactmotion.h"
#include "linkmotion.h"
#include "passstop.h"
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
    if (it == radii_.end()) it = radii_.emplace(&s, exact::radiusOf(s)).first;
    return it->second;
}

const std::optional<ExactMemo::Link>& MotionCache::link(const Sphere& child) {
    auto it = links_.find(&child);
    if (it == links_.end()) it = links_.emplace(&child, exact::linkOf(child, a_.timeMaster)).first;
    return it->second;
}

std::optional<BigRational> MotionCache::rate(const Sphere& s, const Sphere& n) {
    // The link belongs to the child of the pair.
    const bool nIsChild = n.parent == &s;
    const auto& l = link(nIsChild ? n : s);
    if (!l) return std::nullopt;
    return nIsChild ? l->upRate : l->downRate;
}

std::optional<BigRational> MotionCache::radiusRatio(const Sphere& s, const Sphere& n) {
    const bool nIsChild = n.parent == &s;
    const auto& l = link(nIsChild ? n : s);
    if (!l || !l->downRate) return std::nullopt;
    return nIsChild ? BigRational(1 / l->ratio) : l->ratio;
}

const std::optional<BigRational>& MotionCache::linkPeriod(const Sphere& from, const Sphere& to) {
    static const std::optional<BigRational> none;
    const bool up = from.parent == &to;
    const auto& l = link(up ? from : to);
    if (!l) return none;
    return up ? l->upPeriod : l->downPeriod;
}

const BigInt& MotionCache::linkCycles(const Sphere& from, const Sphere& to) {
    static const BigInt zero = 0;
    const bool up = from.parent == &to;
    const auto& l = link(up ? from : to);
    if (!l) return zero;
    return up ? l->upCycles : l->downCycles;
}

std::uint64_t MotionCache::turnLimit() const {
    if (a_.periodTurnLimit == Automaton::kNoPeriodLimit) return 0;
    return a_.periodTurnLimit ? a_.periodTurnLimit : a_.sampleBudget;
}

const std::optional<BigRational>& MotionCache::periodLimit() {
    if (limit_) return *limit_;
    limit_.emplace();
    if (a_.periodTurnLimit == Automaton::kNoPeriodLimit) return *limit_;
    // Turns of the time master around its parent; a master that does not
    // turn (a zero factor, a damaged file) counts time units instead.
    BigRational perTime = 1;
    if (const Sphere* m = a_.timeMaster; m && m->parent)
        if (auto r = rate(*m, *m->parent); r && *r != 0) perTime = *r < 0 ? BigRational(-*r) : *r;
    *limit_ = BigRational(BigInt(turnLimit())) / perTime;
    return *limit_;
}

const MotionCache::ListPeriod& MotionCache::listPeriod(const std::vector<Sphere*>& list) {
    static const ListPeriod none;
    if (list.size() < 2) return none;
    // The longest beginning of the list already worked out this pass.
    std::size_t done = list.size() - 1;
    while (done >= 1 && !periods_.count(list[done])) --done;
    ListPeriod at = done >= 1 ? periods_[list[done]] : ListPeriod{};
    const std::optional<BigRational>& limit = periodLimit();
    for (std::size_t i = std::max<std::size_t>(done, 0) + 1; i < list.size(); ++i) {
        const std::optional<BigRational>& t = linkPeriod(*list[i - 1], *list[i]);
        if (!t) {
            at = {ListPeriod::None, 0};
        } else if (i == 1 || at.kind == ListPeriod::Exact) {
            // Reduced at every step, and given up as soon as it passes the
            // limit: the numbers never outgrow the limit by more than one
            // link's period.
            at.value = i == 1 ? *t : lcmOfFractions(at.value, *t);
            if (at.value < 0) at.value = -at.value;
            at.kind = limit && at.value > *limit ? ListPeriod::TooLong : ListPeriod::Exact;
        }
        periods_[list[i]] = at;
    }
    return periods_[list.back()];
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
           const std::vector<Sphere*>* chain) {
    std::unordered_set<const Sphere*> seen;
    placeFrom(a, s, n, t, chain, seen);
}

std::uint64_t newPlacementStamp() {
    static std::atomic<std::uint64_t> last{0};
    return ++last;
}

void reset(Automaton& a) {
    if (!a.stationarySphere) return;
    forEachNeighbour(a.stationarySphere, [](Sphere& s, Sphere*) {
        s.snapshotTaken = 0;
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
    a.placements = newPlacementStamp();
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
    PathPassResult result;
    try {
        // Placing a long chain the first time works out its exact motion,
        // which a stop may cut short as well.
        StopScope scope(control ? control->stop : nullptr);
        reset(a);
        if (dynamic) dynamicStep(a);
        result = pathPass(a, control);
    } catch (const PassStopped&) {
        result.ran = true;
        result.completed = false;
    }
    if (!result.completed) return result;
    a.pathsUpToDate = 1;
    a.placements = newPlacementStamp();
    return result;
}
