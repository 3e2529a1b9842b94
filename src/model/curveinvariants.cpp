// Exact symmetry and period of traced points, and the measured shape of
// their sampled curves.
//
// Every link places a sphere as Rz(az) Rx(ax) Rz(spin) T(d cos(rev - spin),
// d sin(rev - spin), 0) after its neighbour's frame, which is the same as
// Rz(az) Rx(ax) Rz(rev) T(d, 0, 0) Rz(spin - rev): turns about the local z
// axis whose angles grow linearly with time, with constant operations
// between them. Turns about z commute with each other and with Rz(az), so a
// chain is a sequence of turn groups (summed rates) separated by the
// operations that do not commute with them: the translations (d != 0) and
// the tilts (ax not a whole turn). Turns at the end that only spin the point
// about an axis it lies on change nothing and are left out. The first group
// turns the whole curve about the first link's axis; the others repeat after
// innerPeriod, over which the first group turns by `turn`: the curve is
// carried onto itself by that rotation, and with turn = m/k in lowest terms
// it has exactly k-fold symmetry and closes after k inner periods.
#include "curveinvariants.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "closelink.h"
#include "curvemeasure.h"
#include "exactcurve.h"
#include "knots.h"
#include "linkmotion.h"
#include "parallel.h"
#include "passstop.h"
#include "placement.h"
#include "pointgrid.h"
#include "pointpaths.h"
#include "portablemath.h"
#include "relations.h"

namespace {

BigRational absOf(const BigRational& r) {
    return r < 0 ? BigRational(-r) : r;
}

// The fractional part, in [0, 1).
BigRational fractionOf(const BigRational& r) {
    BigInt num = boost::multiprecision::numerator(r), den = boost::multiprecision::denominator(r);
    BigInt m = num % den;
    if (m < 0) m += den;
    return BigRational(m, den);
}

bool wholeTurn(double degrees, double of) {
    return std::fmod(degrees, of) == 0;
}

struct Op {
    bool turn;           // a turn about local z with rate (turns per time unit)
    BigRational rate;    // for turns
    bool translation;    // otherwise a tilt
    bool tiltKeepsAxis;  // a tilt by a multiple of half a turn keeps the z axis
};

// Position of point p of the last sphere of `list` at time t, composed as
// placement does; motions[i - 1] is the link from list[i - 1] to list[i].
Vec3 positionAt(const std::vector<Sphere*>& list, const std::vector<LinkMotion>& motions,
                const std::vector<BigRational>& rates, const SpherePoint& p, const BigRational& t) {
    Mat4 m = identityMatrix();
    for (std::size_t i = 1; i < list.size(); ++i) {
        const LinkMotion& mo = motions[i - 1];
        double e = toDouble(BigRational(rates[i - 1] * t));
        mo.apply(m, mo.revolutionAt(e), mo.spinAt(e));
    }
    double z = p.pointAngleZ * kDegToRad, x = p.pointAngleX * kDegToRad;
    mulRotZ(m, portable::cos(z), portable::sin(z));
    mulRotX(m, portable::cos(x), portable::sin(x));
    mulTranslate(m, 0, 0, p.quantumDistance * list.back()->radius);
    return translationOf(m);
}

}  // namespace

CurveSymmetry curveSymmetry(const Automaton& a, const Sphere& s, std::size_t point) {
    CurveSymmetry out;
    if (point >= s.points.size()) return out;
    std::vector<Sphere*> list = findPathList(a, const_cast<Sphere&>(s));
    if (list.size() < 2) return out;
    MotionCache cache(a);
    // The pass period first: when it is too long to work out, so is all
    // that follows from it.
    const MotionCache::ListPeriod& common = cache.listPeriod(list);
    if (common.kind == MotionCache::ListPeriod::TooLong) out.longerThanTurns = cache.turnLimit();
    if (common.kind != MotionCache::ListPeriod::Exact) return out;
    std::vector<Op> ops;
    int flip = 1;
    for (std::size_t i = 1; i < list.size(); ++i) {
        const Sphere& sp = *list[i];
        const Sphere& nb = *list[i - 1];
        auto rate = cache.rate(sp, nb);
        auto u = cache.radiusRatio(sp, nb);  // rn / rs
        if (!rate || !u) return out;
        const Sphere& child = nb.parent == &sp ? nb : sp;
        const bool clockwise = child.antiClockwise == 0;
        const double ax = effectiveAxisAngleX(sp);
        if (i == 1) {
            double az = effectiveAxisAngleZ(sp) * kDegToRad, x = ax * kDegToRad;
            // Rz(az) Rx(ax) applied to the z axis.
            out.axis = {portable::sin(az) * portable::sin(x), -portable::cos(az) * portable::sin(x),
                        portable::cos(x)};
        } else if (wholeTurn(ax, 180) && !wholeTurn(ax, 360)) {
            // A half turn about x reverses every turn about z after it
            // (Rx(180) Rz(a) = Rz(-a) Rx(180)) and passes the translations
            // along x and the other tilts unchanged: it separates no turns.
            flip = -flip;
        } else if (!wholeTurn(ax, 360)) {
            ops.push_back({false, 0, false, false});
        }
        BigRational rev = clockwise ? *rate : BigRational(-*rate);
        if (flip < 0) rev = -rev;
        ops.push_back({true, rev, false, false});
        const BigRational& rs = cache.relativeRadiusOf(sp);
        const BigRational& rn = cache.relativeRadiusOf(nb);
        const bool inside = child.inside != 0;
        if (!(inside && rs == rn)) ops.push_back({false, 0, true, false});
        BigRational uPrime = !inside ? BigRational(*u + 1) : absOf(BigRational(*u - 1));
        bool forward = !inside ? clockwise : (clockwise ? rn < rs : rn >= rs);
        BigRational spinRate = *rate * uPrime;
        if (!forward) spinRate = -spinRate;
        if (flip < 0) spinRate = -spinRate;
        ops.push_back({true, BigRational(spinRate - rev), false, false});
    }
    const BigRational& pass = common.value;
    out.passPeriod = pass;

    // Leave out the turns that only spin the point about an axis through it.
    const SpherePoint& p = s.points[point];
    bool atOrigin = p.quantumDistance == 0;
    bool onAxis = atOrigin || wholeTurn(p.pointAngleX, 180);
    std::size_t end = ops.size();
    while (end > 0 && onAxis) {
        const Op& op = ops[end - 1];
        if (op.turn) {
            --end;
            continue;
        }
        if (op.translation || (!atOrigin && !op.tiltKeepsAxis)) onAxis = false;
        if (onAxis) --end;  // a tilt that leaves the point where it is
    }
    BigRational outer = 0;
    std::vector<BigRational> inner;
    bool beforeFirst = true;
    BigRational group = 0;
    for (std::size_t i = 0; i < end; ++i) {
        if (ops[i].turn) {
            group += ops[i].rate;
            continue;
        }
        if (beforeFirst)
            outer = group;
        else if (group != 0)
            inner.push_back(absOf(BigRational(1 / group)));
        beforeFirst = false;
        group = 0;
    }
    if (beforeFirst)
        outer = group;  // nothing moves the point off the axis
    else if (group != 0)
        inner.push_back(absOf(BigRational(1 / group)));

    if (inner.empty()) {
        out.kind = CurveSymmetry::Circle;
        out.innerPeriod = 0;
        out.turn = 0;
        out.period = outer != 0 ? absOf(BigRational(1 / outer)) : BigRational(0);
        if (onAxis) out.period = 0;  // a point that stays where it is
        out.periodsPerPass = 0;
        if (out.period != 0) {
            BigRational times = pass / out.period;
            if (boost::multiprecision::denominator(times) == 1)
                out.periodsPerPass =
                    static_cast<long long>(boost::multiprecision::numerator(times));
        }
        return out;
    }
    // Every turn group makes whole turns over the pass period, so the
    // inner period divides it: bounded by it, the search stays short.
    std::optional<BigRational> innerPeriod = commonPeriodWithin(inner, pass);
    if (!innerPeriod) return out;
    out.innerPeriod = *innerPeriod;
    out.turn = fractionOf(BigRational(outer * out.innerPeriod));
    BigInt k = boost::multiprecision::denominator(out.turn);
    out.kind = CurveSymmetry::Order;
    out.order = k > BigInt(std::numeric_limits<long long>::max()) ? 0 : static_cast<long long>(k);
    out.period = out.innerPeriod * BigRational(k);
    BigRational times = pass / out.period;
    out.periodsPerPass = boost::multiprecision::denominator(times) == 1
                             ? static_cast<long long>(boost::multiprecision::numerator(times))
                             : 0;
    return out;
}

namespace {

// The shape, measured on the exact curve, and the knot; corners on the
// curve go to polygon and their bends to bends (for the links).
void measureInto(const Automaton& a, const Sphere& s, std::size_t point, CurveInvariants& c,
                 std::vector<Vec3>* polygon, std::array<std::vector<double>, 2>* bends,
                 std::shared_ptr<const PointGrid>* grid, bool knots) {
    const CurveSymmetry& sym = c.symmetry;
    if (sym.kind == CurveSymmetry::None || sym.period == 0) return;
    ExactCurve curve(a, s, point, sym.period);
    if (!curve.valid()) return;
    const bool circle = sym.kind == CurveSymmetry::Circle;
    CurveShape shape = measureShape(curve, sym.axis, circle ? 1 : sym.order,
                                    circle ? 0.0 : toDouble(sym.turn), circle);
    if (!shape.measured) return;
    c.measured = true;
    c.length = shape.length;
    c.reach = shape.reach;
    c.lobes = shape.lobes;
    c.mirror = shape.mirror;
    c.thickness = shape.thickness;
    c.crosses = shape.crosses;
    c.cusp = shape.cusp;
    if (polygon) *polygon = std::move(shape.corners);
    if (bends) *bends = {std::move(shape.bend), std::move(shape.jerk)};
    if (grid) *grid = std::move(shape.grid);
    if (shape.polygon.empty() || !knots) return;
    KnotType k = knotType(shape.polygon, sym.axis);
    c.knotFound = k.found;
    c.knot = k.name;
    c.knotPolynomialOf = k.polynomialOf;
    c.alexander = k.alexander;
    c.determinant = k.determinant;
    c.knotCrossings = k.crossings;
}

CurveInvariants invariantsOf(const Automaton& a, const Sphere& s, std::size_t point,
                             std::vector<Vec3>* polygon, std::array<std::vector<double>, 2>* bends,
                             std::shared_ptr<const PointGrid>* grid, bool knots) {
    CurveInvariants c;
    c.sphere = s.name;
    c.slot = a.slotOf(&s);
    c.point = static_cast<int>(point);
    c.symmetry = curveSymmetry(a, s, point);
    const CurveSymmetry& sym = c.symmetry;
    if (sym.kind == CurveSymmetry::None) return c;
    std::vector<Sphere*> list = findPathList(a, const_cast<Sphere&>(s));
    MotionCache cache(a);
    std::vector<BigRational> rates;
    for (std::size_t i = 1; i < list.size(); ++i)
        rates.push_back(*cache.rate(*list[i], *list[i - 1]));
    c.sphereLaps = rates.back() * sym.period;
    if (a.timeMaster && a.timeMaster->parent) {
        if (auto r = cache.rate(*a.timeMaster, *a.timeMaster->parent))
            c.masterLaps = *r * sym.period;
    }

    measureInto(a, s, point, c, polygon, bends, grid, knots);

    // The check of the exact claim against the sampled path: the curve a
    // time innerPeriod on is the curve turned about the axis.
    const std::vector<Vec3>& full = s.points[point].path;
    if (full.size() < 3) return c;
    const Vec3 axis = normalise(sym.axis);
    const double size = c.reach > 0 ? c.reach : 1.0;
    const BigRational& pass = sym.passPeriod;
    const std::size_t probes = std::min<std::size_t>(full.size(), 8);
    std::vector<LinkMotion> motions;
    if (sym.kind != CurveSymmetry::Circle)
        for (std::size_t i = 1; i < list.size(); ++i)
            motions.push_back(LinkMotion::make(a, *list[i], *list[i - 1]));
    double miss = 0;
    auto fromAxis = [&](Vec3 v) { return length(v - dot(v, axis) * axis); };
    for (std::size_t j = 0; j < probes; ++j) {
        std::size_t i = j * full.size() / probes;
        Vec3 x = full[i];
        if (sym.kind == CurveSymmetry::Circle) {
            miss = std::max({miss, std::abs(dot(x, axis) - dot(full[0], axis)),
                             std::abs(fromAxis(x) - fromAxis(full[0]))});
            continue;
        }
        BigRational t =
            pass * BigRational(static_cast<long long>(i), static_cast<long long>(full.size())) +
            sym.innerPeriod;
        Vec3 moved = positionAt(list, motions, rates, s.points[point], t);
        Vec3 turned = rotateAbout(x, axis, 2 * M_PI * toDouble(sym.turn));
        miss = std::max(miss, length(moved - turned));
    }
    c.checkError = miss / size;
    c.checked = true;
    return c;
}

}  // namespace

CurveInvariants curveInvariantsOf(const Automaton& a, const Sphere& s, std::size_t point) {
    return invariantsOf(a, s, point, nullptr, nullptr, nullptr, true);
}

namespace {

// Runs f(0) .. f(n - 1) on the machine's cores: every curve and every pair
// of curves is measured on its own, reading the automaton only. False when
// a stop request (passstop.h) cut the work short.
bool acrossCores(std::size_t n, const std::function<void(std::size_t)>& f) {
    std::atomic<bool> stopped{false};
    ParallelOptions o;
    o.stop = [&] { return stopped.load() || stopRequested(); };
    parallelFor(
        n,
        [&](std::size_t i, unsigned) {
            try {
                f(i);
            } catch (const PassStopped&) {
                stopped = true;
            }
        },
        o);
    return !stopped && !stopRequested();
}

double longestSide(const std::vector<Vec3>& p) {
    double most = 0;
    for (std::size_t i = 0; i < p.size(); ++i)
        most = std::max(most, length(p[(i + 1) % p.size()] - p[i]));
    return most;
}

// Whether some corners of a and b lie closer than `near` to each other;
// grid holds a's corners in cubes no smaller than near.
bool cornersWithin(const PointGrid& grid, const std::vector<Vec3>& a, const std::vector<Vec3>& b,
                   double near) {
    bool found = false;
    PointGrid::Runs runs;
    for (const Vec3& q : b) {
        grid.near(
            q, [&](std::size_t i) { found = found || length(a[i] - q) < near; }, runs);
        if (found) return true;
    }
    return false;
}

// Sides split at most for one pair of close curves: tens of milliseconds.
constexpr std::size_t kMostSplits = std::size_t{1} << 14;
// Corners of a curve whose links are settled: a pair's work grows with
// the product of two curves' corners.
constexpr std::size_t kMostCorners = std::size_t{1} << 18;

// A traced curve's corners for its links, with what finds them fast.
struct LinkCorners {
    const std::vector<Vec3>* coarse = nullptr;
    std::shared_ptr<const PointGrid>
        grid;          // of the coarse corners, in cubes of the longest side twice
    double side = 0;   // the longest coarse side
    ExactCurve curve;  // where close pairs are settled
    double size = 0;   // the largest distance from the origin
    // The first part's corners' bends, as CurveShape has them.
    const std::array<std::vector<double>, 2>* bends = nullptr;
    // What settles its close pairs, made when one first needs it.
    std::unique_ptr<LinkPolygon> polygon;
    std::once_flag made;
    const LinkPolygon& link() {
        std::call_once(made, [this] {
            polygon = std::make_unique<LinkPolygon>(curve, *coarse, (*bends)[0], (*bends)[1]);
        });
        return *polygon;
    }
    Vec3 lo, hi;  // the box around the coarse corners
    bool boxMeets(const LinkCorners& o) const {
        return !(lo.x > o.hi.x || o.lo.x > hi.x || lo.y > o.hi.y || o.lo.y > hi.y ||
                 lo.z > o.hi.z || o.lo.z > hi.z);
    }
};

// The linking number of two traced curves, settled on the exact curves
// (closelink.h); for curves of very many corners, from the corners while
// they keep apart by twice the longest side, otherwise not settled.
CloseLink linkingOf(LinkCorners& a, LinkCorners& b, Vec3 axis) {
    CloseLink out;
    out.kind = CloseLink::Settled;
    // Curves in boxes apart do not link.
    if (!a.boxMeets(b)) return out;
    if (a.coarse->size() > kMostCorners || b.coarse->size() > kMostCorners) {
        const double side = std::max(a.side, b.side);
        const PointGrid& grid = a.side >= b.side ? *a.grid : *b.grid;
        const auto& first = a.side >= b.side ? *a.coarse : *b.coarse;
        const auto& second = a.side >= b.side ? *b.coarse : *a.coarse;
        const std::optional<int> n = cornersWithin(grid, first, second, 2 * side)
                                         ? std::nullopt
                                         : linkingNumberApart(*a.coarse, *b.coarse, axis);
        if (!n) out.kind = CloseLink::Open;
        out.number = n.value_or(0);
        return out;
    }
    const LinkPolygon &la = a.link(), &lb = b.link();
    return closeLinkingNumber(la, lb, axis, kMeetTolerance * std::max(a.size, b.size), kMostSplits);
}

}  // namespace

std::vector<CurveInvariants> curveInvariants(const Automaton& a, bool knotsAndLinks) {
    std::vector<std::pair<const Sphere*, std::size_t>> traced;
    std::vector<std::size_t> depth;  // links from the stationary sphere
    if (!a.stationarySphere) return {};
    // Points whose period is too long to work out have no path; they are
    // listed all the same, their symmetry saying so.
    MotionCache cache(a);
    try {
        forEachNeighbour(a.stationarySphere, [&](Sphere& s, Sphere*) {
            if (&s == a.stationarySphere || stopRequested()) return;
            const std::vector<Sphere*> list = findPathList(a, s);
            const bool tooLong = cache.listPeriod(list).kind == MotionCache::ListPeriod::TooLong;
            for (std::size_t i = 0; i < s.points.size(); ++i)
                if (!s.points[i].path.empty() || tooLong) {
                    traced.push_back({&s, i});
                    depth.push_back(list.size());
                }
        });
    } catch (const PassStopped&) {
        return {};
    }
    if (stopRequested()) return {};
    std::vector<CurveInvariants> out(traced.size());
    std::vector<std::vector<Vec3>> polygons(traced.size());
    std::vector<std::array<std::vector<double>, 2>> bends(traced.size());
    std::vector<LinkCorners> corners(traced.size());
    // What a curve's links need of it is made with the curve, on its core.
    auto cornersOf = [&](std::size_t i) {
        // Curves not measured (too long, or too fast to follow) take no part.
        if (polygons[i].empty()) return;
        LinkCorners& c = corners[i];
        c.coarse = &polygons[i];
        c.curve = ExactCurve(a, *traced[i].first, traced[i].second, out[i].symmetry.period);
        c.size = out[i].reach;
        c.bends = &bends[i];
        c.side = longestSide(polygons[i]);
        // The measurement's grid of the corners is this one, when it made one.
        if (!c.grid) c.grid = std::make_shared<const PointGrid>(polygons[i], 2 * c.side);
        c.lo = c.hi = polygons[i].front();
        for (const Vec3& v : polygons[i]) {
            c.lo = {std::min(c.lo.x, v.x), std::min(c.lo.y, v.y), std::min(c.lo.z, v.z)};
            c.hi = {std::max(c.hi.x, v.x), std::max(c.hi.y, v.y), std::max(c.hi.z, v.z)};
        }
    };
    // The curves at the end of long chains first: they take longest, and
    // the cores should not wait on one of them at the end.
    std::vector<std::size_t> order(traced.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t x, std::size_t y) { return depth[x] > depth[y]; });
    if (!acrossCores(traced.size(), [&](std::size_t k) {
            const std::size_t i = order[k];
            out[i] = invariantsOf(a, *traced[i].first, traced[i].second, &polygons[i], &bends[i],
                                  knotsAndLinks ? &corners[i].grid : nullptr, knotsAndLinks);
            if (knotsAndLinks) cornersOf(i);
        }))
        return {};
    if (!knotsAndLinks) return out;
    // Every pair of curves that keep apart, seen along the first one's axis.
    std::vector<std::pair<std::size_t, std::size_t>> pairs;
    for (std::size_t i = 0; i < out.size(); ++i)
        for (std::size_t j = i + 1; j < out.size(); ++j)
            if (!polygons[i].empty() && !polygons[j].empty()) pairs.push_back({i, j});
    std::vector<CloseLink> numbers(pairs.size());
    const bool linked = acrossCores(pairs.size(), [&](std::size_t p) {
        const auto [i, j] = pairs[p];
        numbers[p] = linkingOf(corners[i], corners[j], out[i].symmetry.axis);
    });
    if (!linked) return {};
    // Curves that meet have no linking number; every other pair has one,
    // or says that it could not be settled.
    for (std::size_t p = 0; p < pairs.size(); ++p) {
        if (numbers[p].kind == CloseLink::Meet) continue;
        const auto [i, j] = pairs[p];
        const bool settled = numbers[p].kind == CloseLink::Settled;
        out[i].links.push_back({out[j].sphere, out[j].point, numbers[p].number, settled});
        out[j].links.push_back({out[i].sphere, out[i].point, numbers[p].number, settled});
    }
    return out;
}

std::string axisText(const CurveSymmetry& s) {
    char buffer[96];
    auto clean = [](double v) { return std::abs(v) < 5e-7 ? 0.0 : v; };
    std::snprintf(buffer, sizeof buffer, "(%.6g, %.6g, %.6g)", clean(s.axis.x), clean(s.axis.y),
                  clean(s.axis.z));
    return buffer;
}

std::string knotText(const CurveInvariants& c) {
    if (c.crosses || c.cusp || !c.measured) return "";
    if (!c.knotFound) {
        if (c.knotCrossings > 0)
            return "knot not found (" + std::to_string(c.knotCrossings) + " crossings left)";
        return "knot not found";
    }
    if (!c.knot.empty()) return c.knot;
    if (!c.knotPolynomialOf.empty())
        return "Alexander polynomial of " + c.knotPolynomialOf + ", " +
               std::to_string(c.knotCrossings) + " crossings";
    return "knot with Alexander polynomial " + alexanderText(c.alexander) + ", determinant " +
           std::to_string(c.determinant);
}

const char* knotStatus(const CurveInvariants& c) {
    if (c.crosses || c.cusp || !c.measured) return nullptr;
    if (!c.knotFound) return "not found";
    if (!c.knot.empty()) return "named";
    return c.knotPolynomialOf.empty() ? "not in the table" : "not settled";
}

std::string closingText(const CurveInvariants& c, const std::string& timeMaster) {
    const CurveSymmetry& s = c.symmetry;
    const bool backwards = c.sphereLaps < 0;
    const BigRational laps = backwards ? BigRational(-c.sphereLaps) : c.sphereLaps;
    return "closes after " + toString(s.period) + (s.period <= 1 ? " turn" : " turns") +
           " of the time master " + (timeMaster.empty() ? std::string("(none)") : timeMaster) +
           "; its sphere " + c.sphere + " goes " + toString(laps) +
           (laps == 1 ? " time" : " times") + " round its parent" +
           (backwards ? ", the other way" : "");
}

std::string describeCurve(const CurveInvariants& c, const std::string& timeMaster) {
    const CurveSymmetry& s = c.symmetry;
    if (s.longerThanTurns) return periodTooLongText(s.longerThanTurns);
    if (s.kind == CurveSymmetry::None) return "no closed path";
    return closingText(c, timeMaster) + "; " + curveShape(c);
}

std::string curveShape(const CurveInvariants& c) {
    char buffer[160];
    const CurveSymmetry& s = c.symmetry;
    if (s.longerThanTurns || s.kind == CurveSymmetry::None) return "";
    std::string out;
    if (s.kind == CurveSymmetry::Circle)
        out += "circle about " + axisText(s);
    else
        out += std::to_string(s.order) + "-fold about " + axisText(s) +
               (c.mirror ? " with mirrors" : "");
    if (!c.measured) return out;
    std::snprintf(buffer, sizeof buffer, ", %d lobe%s, length %.7g", c.lobes,
                  c.lobes == 1 ? "" : "s", c.length);
    out += buffer;
    if (c.cusp) {
        out += ", has a cusp";
    } else if (c.crosses) {
        out += ", crosses itself";
    } else {
        std::snprintf(buffer, sizeof buffer, ", thickness %.6g", c.thickness);
        out += buffer;
        if (std::string knot = knotText(c); !knot.empty()) out += ", " + knot;
    }
    for (const CurveLink& l : c.links)
        if (!l.settled)
            out += ", linking number with " + l.sphere + " point " + std::to_string(l.point) +
                   " not determined";
        else if (l.number != 0)
            out += ", linking number " + std::to_string(l.number) + " with " + l.sphere +
                   " point " + std::to_string(l.point);
    return out;
}
