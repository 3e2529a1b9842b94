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
#include <cmath>
#include <cstdio>
#include <limits>
#include <unordered_map>

#include "linkmotion.h"
#include "passstop.h"
#include "placement.h"
#include "pointpaths.h"
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

// Position of point `point` of the last sphere of `list` at time t,
// composed as placement does.
Vec3 positionAt(const Automaton& a, const std::vector<Sphere*>& list,
                const std::vector<BigRational>& rates, const SpherePoint& p, const BigRational& t) {
    Mat4 m = identityMatrix();
    for (std::size_t i = 1; i < list.size(); ++i) {
        LinkMotion mo = LinkMotion::make(a, *list[i], *list[i - 1]);
        double e = toDouble(BigRational(rates[i - 1] * t));
        mo.apply(m, mo.revolutionAt(e), mo.spinAt(e));
    }
    double z = p.pointAngleZ * kDegToRad, x = p.pointAngleX * kDegToRad;
    mulRotZ(m, std::cos(z), std::sin(z));
    mulRotX(m, std::cos(x), std::sin(x));
    mulTranslate(m, 0, 0, p.quantumDistance * list.back()->radius);
    return translationOf(m);
}

// Rotation of v about the unit axis n by angle (radians).
Vec3 rotateAbout(Vec3 v, Vec3 n, double angle) {
    double c = std::cos(angle), s = std::sin(angle);
    return c * v + s * cross(n, v) + (dot(n, v) * (1 - c)) * n;
}

// Nearest distance from a position to a sampled closed curve, through a
// grid of the samples; "far" (infinity) beyond one cell.
class NearestSample {
  public:
    NearestSample(const std::vector<Vec3>& p, double cell) : p_(p), cell_(cell) {
        for (std::size_t i = 0; i < p.size(); ++i) cells_[key(p[i], 0, 0, 0)].push_back(i);
    }
    double distance(Vec3 q) const {
        double best = std::numeric_limits<double>::infinity();
        const std::size_t n = p_.size();
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dz = -1; dz <= 1; ++dz) {
                    auto it = cells_.find(key(q, dx, dy, dz));
                    if (it == cells_.end()) continue;
                    for (std::size_t i : it->second) {
                        best = std::min(best, segmentDistance(q, p_[i], p_[(i + 1) % n]));
                        best = std::min(best, segmentDistance(q, p_[(i + n - 1) % n], p_[i]));
                    }
                }
        return best;
    }

  private:
    static double segmentDistance(Vec3 q, Vec3 a, Vec3 b) {
        Vec3 ab = b - a;
        double l2 = dot(ab, ab);
        double t = l2 > 0 ? std::clamp(dot(q - a, ab) / l2, 0.0, 1.0) : 0.0;
        return length(q - (a + t * ab));
    }
    long long key(Vec3 v, int dx, int dy, int dz) const {
        auto c = [&](double x, int d) {
            return (static_cast<long long>(std::floor(x / cell_)) + d) & 0xfffff;
        };
        return c(v.x, dx) | c(v.y, dy) << 20 | c(v.z, dz) << 40;
    }
    const std::vector<Vec3>& p_;
    double cell_;
    std::unordered_map<long long, std::vector<std::size_t>> cells_;
};

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
            out.axis = {std::sin(az) * std::sin(x), -std::cos(az) * std::sin(x), std::cos(x)};
        } else if (!wholeTurn(ax, 360)) {
            ops.push_back({false, 0, false, wholeTurn(ax, 180)});
        }
        BigRational rev = clockwise ? *rate : BigRational(-*rate);
        ops.push_back({true, rev, false, false});
        const BigRational& rs = cache.relativeRadiusOf(sp);
        const BigRational& rn = cache.relativeRadiusOf(nb);
        const bool inside = child.inside != 0;
        if (!(inside && rs == rn)) ops.push_back({false, 0, true, false});
        BigRational uPrime = !inside ? BigRational(*u + 1) : absOf(BigRational(*u - 1));
        bool forward = !inside ? clockwise : (clockwise ? rn < rs : rn >= rs);
        BigRational spinRate = *rate * uPrime;
        if (!forward) spinRate = -spinRate;
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

CurveInvariants curveInvariantsOf(const Automaton& a, const Sphere& s, std::size_t point) {
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

    const std::vector<Vec3>& full = s.points[point].path;
    if (full.size() < 3) return c;
    // The shape is measured through at most about a thousand of the samples:
    // finer sampling changes lengths and distances by far less than what
    // these numbers are shown to, and the invariants must stay cheap next
    // to the pass that made the samples.
    constexpr std::size_t kMeasured = 1024;
    std::vector<Vec3> path;
    const std::size_t stride = std::max<std::size_t>(1, full.size() / kMeasured);
    for (std::size_t i = 0; i < full.size(); i += stride) path.push_back(full[i]);
    const std::size_t n = path.size();
    const long long times = std::max<long long>(1, sym.periodsPerPass);
    const Vec3 axis = normalise(sym.axis);

    double total = 0, maxSeg = 0;
    for (std::size_t i = 0; i < n; ++i) {
        double l = length(path[(i + 1) % n] - path[i]);
        total += l;
        maxSeg = std::max(maxSeg, l);
        c.reach = std::max(c.reach, length(path[i]));
    }
    c.length = total / static_cast<double>(times);
    const double size = c.reach > 0 ? c.reach : 1.0;

    // Lobes: maxima of the distance from the axis, a plateau counting once.
    std::vector<double> r(n);
    for (std::size_t i = 0; i < n; ++i) r[i] = length(path[i] - dot(path[i], axis) * axis);
    const double flat = 1e-9 * size;
    std::vector<std::size_t> tips;
    {
        // Runs of equal values; a run is a maximum when both neighbours are lower.
        std::size_t start = 0;
        while (start < n && std::abs(r[start] - r[(start + n - 1) % n]) <= flat) ++start;
        if (start < n) {
            for (std::size_t done = 0; done < n;) {
                std::size_t i = (start + done) % n, len = 1;
                while (done + len < n && std::abs(r[(i + len) % n] - r[i]) <= flat) ++len;
                double before = r[(i + n - 1) % n], after = r[(i + len) % n];
                if (before < r[i] && after < r[i]) tips.push_back(i);
                done += len;
            }
        }
    }
    c.lobes = static_cast<int>(tips.size() / static_cast<std::size_t>(times));

    // One closing of the curve, for the thickness.
    std::vector<Vec3> once(path.begin(), path.begin() + static_cast<std::ptrdiff_t>(
                                                            n / static_cast<std::size_t>(times)));
    c.thickness = curveThickness(once);

    // The check of the exact claim: the curve a time innerPeriod on is the
    // curve turned about the axis.
    const BigRational& pass = sym.passPeriod;
    const std::size_t probes = std::min<std::size_t>(full.size(), 8);
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
        Vec3 moved = positionAt(a, list, rates, s.points[point], t);
        Vec3 turned = rotateAbout(x, axis, 2 * M_PI * toDouble(sym.turn));
        miss = std::max(miss, length(moved - turned));
    }
    c.checkError = miss / size;
    c.checked = true;

    // Mirror: a plane through the axis and a lobe tip, or midway between two.
    if (sym.kind == CurveSymmetry::Order && !tips.empty()) {
        Vec3 e1 = normalise(cross(axis, std::abs(axis.x) < 0.9 ? Vec3{1, 0, 0} : Vec3{0, 1, 0}));
        Vec3 e2 = cross(axis, e1);
        auto azimuth = [&](Vec3 v) { return std::atan2(dot(v, e2), dot(v, e1)); };
        std::vector<double> planes;
        for (std::size_t j = 0; j < std::min<std::size_t>(tips.size(), 3); ++j) {
            double t0 = azimuth(path[tips[j]]);
            double t1 = azimuth(path[tips[(j + 1) % tips.size()]]);
            planes.push_back(t0);
            planes.push_back(t0 + std::remainder(t1 - t0, 2 * M_PI) / 2);
        }
        // A finely sampled curve is compared through every few samples.
        const std::vector<Vec3>& sparse = path;
        double sparseSeg = 0;
        for (std::size_t i = 0; i < sparse.size(); ++i)
            sparseSeg = std::max(sparseSeg, length(sparse[(i + 1) % sparse.size()] - sparse[i]));
        double rc = leastRadiusOfCurvature(sparse);
        double sag = std::isfinite(rc) && rc > 0
                         ? std::min(sparseSeg / 2, sparseSeg * sparseSeg / (8 * rc))
                         : sparseSeg / 2;
        double tolerance = 1.5 * sag + 1e-6 * size;
        NearestSample nearest(sparse, std::max(sparseSeg, tolerance) * 1.01);
        for (double theta : planes) {
            Vec3 w = std::sin(theta) * e1 - std::cos(theta) * e2;  // normal of the plane
            bool all = true;
            for (std::size_t j = 0; j < 48 && all; ++j) {
                Vec3 x = path[j * n / 48];
                Vec3 mirrored = x - (2 * dot(x, w)) * w;
                all = nearest.distance(mirrored) <= tolerance;
            }
            if (all) {
                c.mirror = true;
                break;
            }
        }
    }
    return c;
}

std::vector<CurveInvariants> curveInvariants(const Automaton& a) {
    std::vector<CurveInvariants> out;
    if (!a.stationarySphere) return out;
    MotionCache cache(a);
    try {
        forEachNeighbour(a.stationarySphere, [&](Sphere& s, Sphere*) {
            if (&s == a.stationarySphere || stopRequested()) return;
            const bool tooLong =
                cache.listPeriod(findPathList(a, s)).kind == MotionCache::ListPeriod::TooLong;
            for (std::size_t i = 0; i < s.points.size() && !stopRequested(); ++i)
                if (!s.points[i].path.empty() || tooLong) out.push_back(curveInvariantsOf(a, s, i));
        });
    } catch (const PassStopped&) {
    }
    return out;
}

std::string describeCurve(const CurveInvariants& c) {
    char buffer[160];
    const CurveSymmetry& s = c.symmetry;
    if (s.longerThanTurns) return periodTooLongText(s.longerThanTurns);
    if (s.kind == CurveSymmetry::None) return "no closed path";
    std::string out = "closes after " + toString(s.period);
    out += " (" + toString(c.sphereLaps) + (c.sphereLaps == 1 ? " lap of " : " laps of ") +
           c.sphere + ")";
    if (s.kind == CurveSymmetry::Circle)
        out += ", circle";
    else
        out += ", " + std::to_string(s.order) + "-fold" + (c.mirror ? " with mirrors" : "");
    std::snprintf(buffer, sizeof buffer, ", %d lobe%s, length %.1f, thickness %.2g", c.lobes,
                  c.lobes == 1 ? "" : "s", c.length, c.thickness);
    return out + buffer;
}
