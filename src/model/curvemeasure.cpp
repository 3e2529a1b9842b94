// Measuring a closed curve on the curve itself.
//
// A k-fold curve is the first 1/k of its period turned k times about the
// axis, and the distance from the origin, the distance from the axis, the
// speed and the curvature all repeat after that first part: those are
// searched there only. The grid of times is eight per cycle of the
// curve's highest frequency, so no feature falls between two grid times
// unseen; every extremum is then refined between the two grid times where
// its derivative changes sign.
#include "curvemeasure.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <type_traits>

#include "passstop.h"
#include "pointgrid.h"
#include "portablemath.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSamplesPerCycle = 8;
constexpr std::size_t kLeastInner = 64;
constexpr std::size_t kMostInner = std::size_t{1} << 18;
constexpr std::size_t kMostPolygon = std::size_t{1} << 20;

// Root of g between lo and hi, where g(lo) = glo and g(hi) = ghi differ in
// sign (the Illinois variant of false position, bisecting every fourth step).
template <class G>
double rootBetween(const G& g, double lo, double hi, double glo, double ghi) {
    if (glo == 0) return lo;
    if (ghi == 0) return hi;
    int side = 0;
    for (int it = 0; it < 200; ++it) {
        double c = it % 4 == 3 ? 0.5 * (lo + hi) : (lo * ghi - hi * glo) / (ghi - glo);
        if (!(c > lo && c < hi)) c = 0.5 * (lo + hi);
        if (!(c > lo && c < hi)) break;  // no double between them
        const double gc = g(c);
        if (gc == 0) return c;
        if ((gc < 0) == (glo < 0)) {
            lo = c, glo = gc;
            if (side == -1) ghi /= 2;
            side = -1;
        } else {
            hi = c, ghi = gc;
            if (side == 1) glo /= 2;
            side = 1;
        }
    }
    return std::abs(glo) < std::abs(ghi) ? lo : hi;
}

struct Extremum {
    double u, value;
    bool max;
};

// The grid of times over the first part of the curve, [0, w), and the
// curve's jets there; the values at w are those at 0 for every quantity
// searched here.
struct Grid {
    double w = 1;
    std::vector<double> u;
    std::vector<CurveJet> jets;
    double next(std::size_t i) const { return i + 1 < u.size() ? u[i + 1] : w; }
};

// Extrema of h over the grid, from the sign changes of its derivative d
// (both functions of a jet). Stretches where d stays below `flat` are flat
// and give none; refine(i) says whether to refine between grid times i and
// i + 1 (otherwise the better of the two grid values stands).
//
// Given dd, the derivative of d, a maximum and a minimum close together
// between two grid times are found too: d turns back towards zero there,
// and where it comes nearest it crosses.
//
// `firstOrder`: h and d look at the position and velocity only, which
// cost less to evaluate than the whole jet.
template <class H, class D, class R, class DD = std::nullptr_t>
std::vector<Extremum> extremaOf(const ExactCurve& curve, const Grid& g, const H& h, const D& d,
                                double flat, const R& refine, const DD& dd = nullptr,
                                bool firstOrder = false) {
    const std::size_t n = g.u.size();
    std::vector<double> dv(n);
    for (std::size_t i = 0; i < n; ++i) dv[i] = d(g.jets[i]);
    std::vector<Extremum> out;
    auto jetAt = [&](double x) { return firstOrder ? curve.jet1(x) : curve.jet(x); };
    auto slope = [&](double x) { return d(jetAt(x)); };
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t i1 = (i + 1) % n;
        const double a = dv[i], b = dv[i1];
        const bool isMax = a > 0 && b <= 0, isMin = a < 0 && b >= 0;
        if constexpr (!std::is_same_v<DD, std::nullptr_t>) {
            const double da = dd(g.jets[i]), db = dd(g.jets[i1]);
            const bool towards =
                (a > 0 && b > 0 && da < 0 && db > 0) || (a < 0 && b < 0 && da > 0 && db < 0);
            if (towards) {
                const double u0 = g.u[i], u1 = g.next(i);
                auto bend = [&](double x) { return dd(curve.jet(x)); };
                const double um = rootBetween(bend, u0, u1, da, db);
                const double m = slope(um);
                if ((m < 0) != (a < 0) && m != 0) {
                    const double x0 = rootBetween(slope, u0, um, a, m);
                    const double x1 = rootBetween(slope, um, u1, m, b);
                    out.push_back({x0, h(jetAt(x0)), a > 0});
                    out.push_back({x1, h(jetAt(x1)), a < 0});
                }
                continue;
            }
        }
        if (!isMax && !isMin) continue;
        if (std::abs(a) < flat && std::abs(b) < flat) continue;
        const double u0 = g.u[i], u1 = g.next(i);
        if (!refine(i, isMax)) {
            double v0 = h(g.jets[i]), v1 = h(g.jets[i1]);
            out.push_back(isMax == (v0 >= v1) ? Extremum{u0, v0, isMax} : Extremum{u1, v1, isMax});
            continue;
        }
        double u = rootBetween(slope, u0, u1, a, b);
        out.push_back({u, h(jetAt(u)), isMax});
    }
    return out;
}

// Maxima that stand at least tau above the dips on either side, of a
// cyclic sequence of extrema: the adjacent pair with the smallest
// difference cancels until every difference is at least tau.
int prominentMaxima(std::vector<Extremum> e, double tau) {
    // Alternate: of two neighbours of one kind, the more extreme stays.
    std::vector<Extremum> alt;
    for (const Extremum& x : e) {
        if (!alt.empty() && alt.back().max == x.max) {
            if (x.max ? x.value > alt.back().value : x.value < alt.back().value) alt.back() = x;
            continue;
        }
        alt.push_back(x);
    }
    while (alt.size() >= 2 && alt.front().max == alt.back().max) {
        Extremum last = alt.back();
        alt.pop_back();
        if (last.max ? last.value > alt.front().value : last.value < alt.front().value)
            alt.front() = last;
    }
    while (alt.size() >= 2) {
        std::size_t best = 0;
        double least = std::numeric_limits<double>::infinity();
        for (std::size_t i = 0; i < alt.size(); ++i) {
            double diff = std::abs(alt[i].value - alt[(i + 1) % alt.size()].value);
            if (diff < least) least = diff, best = i;
        }
        if (!(least < tau)) break;
        const std::size_t second = (best + 1) % alt.size();
        alt.erase(alt.begin() + static_cast<std::ptrdiff_t>(std::max(best, second)));
        alt.erase(alt.begin() + static_cast<std::ptrdiff_t>(std::min(best, second)));
    }
    if (alt.size() < 2) return 0;
    return static_cast<int>(std::count_if(alt.begin(), alt.end(), [](auto& x) { return x.max; }));
}

// Gauss-Kronrod 7-15 nodes and weights on [-1, 1].
constexpr double kXgk[8] = {
    0.991455371120812639, 0.949107912342758525, 0.864864423359769073, 0.741531185599394440,
    0.586087235467691130, 0.405845151377397167, 0.207784955007898468, 0.0};
constexpr double kWgk[8] = {0.022935322010529225, 0.063092092629978553, 0.104790010322250184,
                            0.140653259715525919, 0.169004726639267903, 0.190350578064785410,
                            0.204432940075298892, 0.209482141084727828};
constexpr double kWg[4] = {0.129484966168869693, 0.279705391489276668, 0.381830050505118945,
                           0.417959183673469388};

template <class F>
double integrate(const F& f, double a, double b, double tol, int depth) {
    const double c = 0.5 * (a + b), r = 0.5 * (b - a);
    const double fc = f(c);
    double k = kWgk[7] * fc, gsum = kWg[3] * fc;
    for (int j = 0; j < 7; ++j) {
        const double x = r * kXgk[j];
        const double s = f(c - x) + f(c + x);
        k += kWgk[j] * s;
        if (j % 2 == 1) gsum += kWg[j / 2] * s;
    }
    k *= r, gsum *= r;
    if (std::abs(k - gsum) <= tol || depth == 0) return k;
    return integrate(f, a, c, tol / 2, depth - 1) + integrate(f, c, b, tol / 2, depth - 1);
}

double fromAxis2(Vec3 v, Vec3 axis) {
    const double h = dot(v, axis);
    return std::max(0.0, dot(v, v) - h * h);
}

// Curvature squared and its derivative.
double curvature2(const CurveJet& j) {
    const Vec3 c = cross(j.d1, j.d2);
    const double s = dot(j.d1, j.d1);
    return s > 0 ? dot(c, c) / (s * s * s) : std::numeric_limits<double>::infinity();
}
double curvature2Slope(const CurveJet& j) {
    const Vec3 c = cross(j.d1, j.d2), c1 = cross(j.d1, j.d3);
    const double s = dot(j.d1, j.d1), s1 = 2 * dot(j.d1, j.d2);
    if (!(s > 0)) return 0;
    return (2 * dot(c, c1) * s - 3 * dot(c, c) * s1) / (s * s * s * s);
}

// The largest curvature squared near u, a least of the speed: from u the
// slope of the curvature is followed to where it turns, in steps that start
// at the peak's width |v| / |a| and double up to `reach` on either side.
double peakCurvature2(const ExactCurve& curve, double u, double reach) {
    const CurveJet j = curve.jet(u);
    double most = curvature2(j);
    const double s0 = curvature2Slope(j);
    const double a = std::sqrt(dot(j.d2, j.d2));
    if (s0 == 0 || !(a > 0) || !std::isfinite(most)) return most;
    const double dir = s0 > 0 ? 1 : -1;
    auto slope = [&](double x) { return dir * curvature2Slope(curve.jet(x)); };
    double h = std::min(reach, std::max(std::sqrt(dot(j.d1, j.d1)) / a, 1e-16 * reach));
    double lo = u, glo = std::abs(s0);
    for (; h <= reach; h *= 2) {
        const double x = u + dir * h, gx = slope(x);
        if (!(gx > 0)) {
            const double r =
                dir > 0 ? rootBetween(slope, lo, x, glo, gx) : rootBetween(slope, x, lo, gx, glo);
            return std::max(most, curvature2(curve.jet(r)));
        }
        most = std::max(most, curvature2(curve.jet(x)));
        lo = x, glo = gx;
    }
    return most;
}

// Least distance between two parts of the closed polygon p (corners at the
// curve's times t) at least `apart` from each other along it, refined on
// the curve; corners [0, first) are the ones whose partners are sought (the
// rest are turned copies). Infinity when none is closer than `limit`; the
// search stops at a pair closer than `enough`.
double closestDistantParts(const ExactCurve& curve, const std::vector<Vec3>& p,
                           const std::vector<double>& t, std::size_t first, double apart,
                           double limit, double spacing, double enough) {
    const std::size_t n = p.size();
    std::vector<double> arc(n + 1, 0.0);
    for (std::size_t i = 0; i < n; ++i) arc[i + 1] = arc[i] + length(p[(i + 1) % n] - p[i]);
    const double total = arc[n];
    auto distant = [&](std::size_t i, std::size_t j) {
        const double d = std::abs(arc[i] - arc[j]);
        return std::min(d, total - d) >= apart;
    };
    // Indices below 2n, one lap on at most: a subtraction, not a division,
    // in the innermost loop.
    auto dist2 = [&](std::size_t i, std::size_t j) {
        Vec3 d = p[i < n ? i : i - n] - p[j < n ? j : j - n];
        return dot(d, d);
    };
    // The search radius doubles until some pair is found, with corners
    // thinned to about a quarter of the radius apart.
    double cell = std::min(limit, 4 * spacing), best = std::numeric_limits<double>::infinity();
    std::size_t stride = 1;
    struct Pair {
        double d2;
        std::size_t i, j;
    };
    std::vector<Pair> candidates;
    // A curve wound densely on itself puts every corner near every other:
    // the pairs looked at and kept are bounded, and the closest found within
    // the bound stands.
    constexpr std::size_t kMostVisits = 30'000'000, kMostCandidates = 1 << 20;
    std::size_t visits = 0;
    for (;;) {
        // The ratio of a hostile curve's sizes may not fit an integer: it is
        // bounded by the corners there are before it is converted.
        const double ratio = std::min(cell / (4 * spacing), static_cast<double>(n));
        stride = ratio >= 1 ? static_cast<std::size_t>(ratio) : 1;
        stride = std::min(stride, std::max<std::size_t>(1, n / 16));
        PointGrid grid(p, cell, stride);
        candidates.clear();
        PointGrid::Runs runs;
        for (std::size_t i = 0;
             i < first && visits < kMostVisits && candidates.size() < kMostCandidates; i += stride)
            grid.near(
                p[i],
                [&](std::size_t j) {
                    if (++visits > kMostVisits || candidates.size() >= kMostCandidates) return;
                    // Tens of millions of pairs take a while: an edit, Ctrl+C
                    // or a cancel need not wait for them.
                    if ((visits & 0xffff) == 0) throwIfStopped();
                    // When every corner is searched, a pair is met from both
                    // ends; the second would refine to the same distance.
                    if (first == n && j < i) return;
                    // The distance first: most corners of the cubes around are
                    // farther than the cube's side.
                    const double d2 = dist2(i, j);
                    if (!(d2 < cell * cell) || !distant(i, j)) return;
                    // A local least of the distance among the thinned corners.
                    const std::size_t s = stride;
                    if (d2 > dist2(i + n - s, j) || d2 > dist2(i + s, j) ||
                        d2 > dist2(i, j + n - s) || d2 > dist2(i, j + s))
                        return;
                    candidates.push_back({d2, i, j});
                    best = std::min(best, std::sqrt(d2));
                },
                runs);
        if (!candidates.empty() || cell >= limit || visits >= kMostVisits) break;
        cell = std::min(2 * cell, limit);
    }
    if (candidates.empty()) return std::numeric_limits<double>::infinity();
    const double keep = best + 2.5 * spacing * static_cast<double>(stride);
    std::sort(candidates.begin(), candidates.end(),
              [](const Pair& a, const Pair& b) { return a.d2 < b.d2; });
    double least = best;
    std::size_t refined = 0;
    std::vector<std::pair<std::size_t, std::size_t>> done;
    for (const Pair& c : candidates) {
        if (std::sqrt(c.d2) > keep || refined >= 24 || least <= enough) break;
        // Neighbours of a pair already refined lead to the same place.
        const std::size_t reach = 3 * stride;
        auto close = [&](std::size_t x, std::size_t y) {
            const std::size_t d = x > y ? x - y : y - x;
            return std::min(d, n - d) <= reach;
        };
        bool again = false;
        for (const auto& [di, dj] : done) again = again || (close(di, c.i) && close(dj, c.j));
        if (again) continue;
        done.push_back({c.i, c.j});
        ++refined;
        // Newton on half the squared distance over both times, given up
        // when the pair slides along the curve next to itself (a bend seen
        // from its two sides, not two parts).
        auto corner = [&](double x) {
            double f = std::fmod(x, 1.0);
            if (f < 0) f += 1;
            return std::min(n - 1, static_cast<std::size_t>(std::llround(f * double(n))) % n);
        };
        double u = t[c.i], v = t[c.j];
        double f = 0.5 * c.d2;
        bool lost = false;
        for (int it = 0; it < 30 && !lost; ++it) {
            const CurveJet a = curve.jet(u), b = curve.jet(v);
            const Vec3 d = a.p - b.p;
            f = 0.5 * dot(d, d);
            const double gu = dot(d, a.d1), gv = -dot(d, b.d1);
            const double huu = dot(a.d1, a.d1) + dot(d, a.d2);
            const double hvv = dot(b.d1, b.d1) - dot(d, b.d2);
            const double huv = -dot(a.d1, b.d1);
            const double det = huu * hvv - huv * huv;
            double du, dv;
            if (huu > 0 && det > 0) {
                du = -(hvv * gu - huv * gv) / det;
                dv = -(huu * gv - huv * gu) / det;
            } else {
                const double su = dot(a.d1, a.d1) + dot(b.d1, b.d1);
                if (!(su > 0)) break;
                du = -gu / su, dv = -gv / su;
            }
            bool moved = false;
            for (int half = 0; half < 30; ++half) {
                const Vec3 e = curve.at(u + du) - curve.at(v + dv);
                if (0.5 * dot(e, e) <= f) {
                    u += du, v += dv;
                    moved = true;
                    break;
                }
                du /= 2, dv /= 2;
            }
            if (!moved || (std::abs(du) < 1e-16 && std::abs(dv) < 1e-16)) break;
            lost = !distant(corner(u), corner(v));
        }
        if (lost || !distant(corner(u), corner(v))) continue;
        const Vec3 e = curve.at(u) - curve.at(v);
        least = std::min(least, length(e));
    }
    return least;
}

}  // namespace

CurveShape measureShape(const ExactCurve& curve, Vec3 axis, long long order, double turn,
                        bool circle) {
    CurveShape out;
    if (!curve.valid()) return out;
    axis = normalise(axis);
    const long long k = order >= 1 && order <= 1'000'000 ? order : 1;
    if (k == 1) turn = 0;
    Grid g;
    g.w = 1.0 / static_cast<double>(k);
    const double wanted = std::ceil(kSamplesPerCycle * curve.frequency() / static_cast<double>(k));
    // A grid that cannot follow the curve would find features it cannot
    // refine, and pairs of "distant parts" without end.
    if (!std::isfinite(wanted) || wanted > double(kMostInner)) {
        out.measured = false;
        return out;
    }
    const std::size_t m = std::clamp<std::size_t>(
        std::isfinite(wanted) ? static_cast<std::size_t>(std::min(wanted, double(kMostInner)))
                              : kMostInner,
        kLeastInner, kMostInner);
    // The whole curve is held turned part by part below: a high order times
    // a fine part is more than a measurement may take (a hostile file can
    // ask for a million-fold curve), and is then not measured.
    constexpr double kMostPoints = double(std::size_t{1} << 22);
    if (double(m) * double(k) > kMostPoints) {
        out.measured = false;
        return out;
    }
    g.u.resize(m);
    g.jets.resize(m);
    for (std::size_t i = 0; i < m; ++i) {
        g.u[i] = g.w * static_cast<double>(i) / static_cast<double>(m);
        g.jets[i] = curve.jet(g.u[i]);
    }
    // The whole curve, by turning the first part.
    const std::size_t n = m * static_cast<std::size_t>(k);
    std::vector<Vec3> all(n);
    std::vector<double> times(n);
    for (long long j = 0; j < k; ++j) {
        const double angle = 2 * kPi * std::fmod(turn * static_cast<double>(j), 1.0);
        for (std::size_t i = 0; i < m; ++i) {
            const std::size_t at = static_cast<std::size_t>(j) * m + i;
            all[at] = j == 0 ? g.jets[i].p : rotateAbout(g.jets[i].p, axis, angle);
            times[at] = g.u[i] + g.w * static_cast<double>(j);
        }
    }
    std::vector<double> bend(m), jerk(m);
    for (std::size_t i = 0; i < m; ++i)
        bend[i] = length(g.jets[i].d2), jerk[i] = length(g.jets[i].d3);
    double spacing = 0, chord = 0, reach2 = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double l = length(all[(i + 1) % n] - all[i]);
        spacing = std::max(spacing, l);
        chord += l;
        reach2 = std::max(reach2, dot(all[i], all[i]));
    }
    // A curve so far out that its lengths, squared or summed, overflow (a
    // hostile file's point a 1e153 radii out) has no numbers to measure.
    if (!(reach2 < 1e250) || !std::isfinite(chord)) {
        out.measured = false;
        return out;
    }

    // Largest distance from the origin.
    const double meanSpeed = std::max(chord, 1e-300);
    {
        const double flat = 1e-12 * std::sqrt(reach2) * meanSpeed;
        auto h = [](const CurveJet& j) { return dot(j.p, j.p); };
        auto d = [](const CurveJet& j) { return dot(j.p, j.d1); };
        const double near = 0.9 * reach2;
        auto refine = [&](std::size_t i, bool isMax) {
            return isMax && std::max(h(g.jets[i]), h(g.jets[(i + 1) % m])) >= near;
        };
        for (const Extremum& e : extremaOf(curve, g, h, d, flat, refine, nullptr, true))
            if (e.max) reach2 = std::max(reach2, e.value);
    }
    out.reach = std::sqrt(reach2);
    const double size = out.reach > 0 ? out.reach : 1.0;

    // Length, by adaptive quadrature of the speed over the first part.
    {
        const std::size_t pieces = std::max<std::size_t>(8, m / 16);
        const double tol = 1e-10 * chord / static_cast<double>(k) / static_cast<double>(pieces);
        auto speed = [&](double u) { return length(curve.jet1(u).d1); };
        // The work is bounded whatever the curve: a curve faster than the
        // grid can follow (millions of turns in one closing) would otherwise
        // have every piece halved twenty times over.
        constexpr double kMostEvaluations = 2e7;
        int depth = 20;
        while (depth > 0 && double(pieces) * 15.0 * std::ldexp(1.0, depth) > kMostEvaluations)
            --depth;
        double sum = 0;
        for (std::size_t i = 0; i < pieces; ++i)
            sum += integrate(speed, g.w * double(i) / double(pieces),
                             g.w * double(i + 1) / double(pieces), tol, depth);
        out.length = sum * static_cast<double>(k);
    }
    if (circle) {
        // Every plane through the axis is a mirror; no lobes; the radius is
        // the radius of curvature and no two parts are far apart.
        out.mirror = true;
        const double r = std::sqrt(fromAxis2(g.jets[0].p, axis));
        out.leastRadius = r;
        out.thickness = r;
        out.cusp = !(r > kMeetTolerance * size);
        if (out.cusp) out.thickness = 0;
        if (!out.cusp) out.polygon = all;
        out.corners = std::move(all);
        out.spacing = spacing;
        out.bend = std::move(bend);
        out.jerk = std::move(jerk);
        return out;
    }

    // Lobes: maxima of the distance from the axis.
    const double tau = kLobeProminence * size;
    auto rho = [&](const CurveJet& j) { return std::sqrt(fromAxis2(j.p, axis)); };
    auto rhoSlope = [&](const CurveJet& j) {
        return dot(j.p, j.d1) - dot(j.p, axis) * dot(j.d1, axis);
    };
    const double flat = 1e-12 * size * meanSpeed;
    std::vector<Extremum> rhoExtrema = extremaOf(
        curve, g, rho, rhoSlope, flat, [](std::size_t, bool) { return true; },
        [&](const CurveJet& j) {
            const double pa = dot(j.p, axis), va = dot(j.d1, axis);
            return dot(j.d1, j.d1) + dot(j.p, j.d2) - va * va - pa * dot(j.d2, axis);
        },
        true);
    out.lobes = prominentMaxima(rhoExtrema, tau) * static_cast<int>(k);

    // Cusps: the speed dropping to nothing. The slowest places are kept:
    // the curvature peaks there, however narrowly.
    std::vector<double> slowest;
    {
        auto speed2 = [](const CurveJet& j) { return dot(j.d1, j.d1); };
        auto slope = [](const CurveJet& j) { return dot(j.d1, j.d2); };
        const double still = 1e-12 * meanSpeed * meanSpeed * std::max(1.0, curve.frequency());
        for (const Extremum& e : extremaOf(curve, g, speed2, slope, still,
                                           [](std::size_t, bool isMax) { return !isMax; })) {
            if (e.max) continue;
            slowest.push_back(e.u);
            if (std::sqrt(e.value) <= kMeetTolerance * meanSpeed) out.cusp = true;
        }
    }
    if (!out.cusp) {
        double most = 0;
        for (const CurveJet& j : g.jets) most = std::max(most, curvature2(j));
        const double even = 1e-9 * most * std::max(1.0, curve.frequency());
        for (const Extremum& e : extremaOf(curve, g, curvature2, curvature2Slope, even,
                                           [](std::size_t, bool isMax) { return isMax; }))
            if (e.max) most = std::max(most, e.value);
        // The curvature is |v x a| / |v|^3: its numerator varies no faster
        // than the grid follows, so a peak narrower than the grid stands
        // where the speed is least, about |v| / |a| wide.
        const double step = g.w / static_cast<double>(m);
        for (double u : slowest) most = std::max(most, peakCurvature2(curve, u, step));
        out.leastRadius = most > 0 ? 1 / std::sqrt(most) : std::numeric_limits<double>::infinity();
        if (!(out.leastRadius > kMeetTolerance * size)) out.cusp = true;
    }
    if (out.cusp) {
        out.leastRadius = 0;
    } else {
        const double r = std::min(out.leastRadius, out.length / (2 * kPi));
        out.closestParts =
            closestDistantParts(curve, all, times, m, kPi * r, 2 * r + 2 * spacing,
                                std::max(spacing, 1e-12 * size), kMeetTolerance * size);
        out.crosses = out.closestParts <= kMeetTolerance * size;
        out.thickness = out.crosses ? 0.0 : std::min(r, out.closestParts / 2);
    }

    // Mirror: a plane through the axis must take the tip farthest from the
    // axis to a tip as far and as high; each such pair gives one plane. The
    // planes come from the curve's own tips, so a curve turned about the axis
    // gets its planes turned with it.
    {
        const double mirrorTol = kMirrorTolerance * size;
        std::vector<Extremum> tips;
        double top = 0;
        for (const Extremum& e : rhoExtrema)
            if (e.max) top = std::max(top, e.value);
        for (const Extremum& e : rhoExtrema)
            if (e.max && e.value >= top - mirrorTol) tips.push_back(e);
        bool byHeight = tips.empty();
        if (byHeight) {
            // The distance from the axis does not change: the highest points.
            auto height = [&](const CurveJet& j) { return dot(j.p, axis); };
            auto heightSlope = [&](const CurveJet& j) { return dot(j.d1, axis); };
            std::vector<Extremum> hs = extremaOf(
                curve, g, height, heightSlope, flat, [](std::size_t, bool) { return true; },
                nullptr, true);
            double high = -std::numeric_limits<double>::infinity();
            for (const Extremum& e : hs)
                if (e.max) high = std::max(high, e.value);
            for (const Extremum& e : hs)
                if (e.max && e.value >= high - mirrorTol) tips.push_back(e);
            if (tips.empty()) out.mirror = true;  // a circle about the axis after all
        }
        const Vec3 e1 =
            normalise(cross(axis, std::abs(axis.x) < 0.9 ? Vec3{1, 0, 0} : Vec3{0, 1, 0}));
        const Vec3 e2 = cross(axis, e1);
        auto azimuth = [&](Vec3 v) { return std::atan2(dot(v, e2), dot(v, e1)); };
        // A plane, and the time u0 + u1 of the two tips it exchanges: a
        // mirror of the motion takes the place at time u to the place at
        // u0 + u1 - u.
        struct Plane {
            double theta, times;
        };
        std::vector<Plane> planes;
        if (!tips.empty()) {
            const double u0 = tips.front().u;
            const Vec3 p0 = curve.at(u0);
            const double h0 = dot(p0, axis), r0 = std::sqrt(fromAxis2(p0, axis));
            // A mirror takes p0 to some tip of the first part turned by a
            // multiple of the symmetry's turn. Turning the image by 1/k turn
            // turns the plane by 1/2k, and a k-fold curve with one mirror has
            // mirrors every 1/2k turn: one copy of each tip decides for all
            // of its copies. A curve of very many equal tips repeats the
            // same few planes, and the search stops at a bounded number.
            constexpr std::size_t kMostPlanes = 64;
            for (const Extremum& t : tips) {
                if (planes.size() >= kMostPlanes) break;
                const Vec3 q = curve.at(t.u);
                if (std::abs(dot(q, axis) - h0) > mirrorTol ||
                    std::abs(std::sqrt(fromAxis2(q, axis)) - r0) > mirrorTol)
                    continue;
                const double theta = std::remainder(0.5 * (azimuth(p0) + azimuth(q)), kPi);
                bool seen = false;
                for (const Plane& x : planes)
                    seen =
                        seen || std::abs(std::remainder(x.theta - theta, kPi / double(k))) < 1e-12;
                if (!seen) planes.push_back({theta, u0 + t.u});
            }
        }
        out.grid = std::make_shared<const PointGrid>(all, 2 * spacing);
        const PointGrid& grid = *out.grid;
        // Distance from q to the curve. Near a cusp or where the curve comes
        // back close to itself, the nearest corner may lie on another branch
        // than the nearest point of the curve: every corner nearer than the
        // nearest corner and a side that is the nearest of its neighbours is
        // refined on both of its sides.
        const double du = g.w / static_cast<double>(m);
        std::vector<std::size_t> near;
        auto offCurve = [&](Vec3 q, double enough) {
            double d0 = std::numeric_limits<double>::infinity();
            near.clear();
            grid.near(q, [&](std::size_t i) {
                const double d = length(all[i] - q);
                d0 = std::min(d0, d);
                near.push_back(i);
            });
            if (near.empty() || d0 <= enough) return d0;
            double least = d0;
            auto slope = [&](double u) {
                CurveJet j = curve.jet1(u);
                return dot(j.p - q, j.d1);
            };
            auto dist = [&](std::size_t i) { return length(all[i % n] - q); };
            for (std::size_t i : near) {
                const double di = dist(i);
                if (di > d0 + spacing || di > dist(i + 1) || di > dist(i + n - 1)) continue;
                const double gi = slope(times[i]);
                for (double side : {-1.0, 1.0}) {
                    double a = times[i], b = times[i] + side * du, ga = gi, gb = slope(b);
                    if (side < 0) std::swap(a, b), std::swap(ga, gb);
                    if (ga < 0 && gb > 0) {
                        double u = rootBetween(slope, a, b, ga, gb);
                        least = std::min(least, length(curve.at(u) - q));
                    }
                }
                if (least <= enough) break;
            }
            return least;
        };
        for (const Plane& plane : planes) {
            if (out.mirror) break;
            const Vec3 normal = portable::sin(plane.theta) * e1 - portable::cos(plane.theta) * e2;
            bool all_ = true;
            // A few spread times first: most planes fail at once.
            for (int pass = 0; pass < 2 && all_; ++pass) {
                const std::size_t step = pass == 0 ? std::max<std::size_t>(1, m / 16) : 1;
                for (std::size_t i = 0; i < m && all_; i += step) {
                    const Vec3 x = g.jets[i].p;
                    const Vec3 q = x - (2 * dot(x, normal)) * normal;
                    // The mirror image of the motion first: one evaluation
                    // where a search for the nearest place would have to
                    // tell the branches of a cusp apart.
                    all_ = length(curve.at(plane.times - g.u[i]) - q) <= mirrorTol ||
                           offCurve(q, 0.1 * mirrorTol) <= mirrorTol;
                }
            }
            out.mirror = all_;
        }
    }

    // The polygon of the knot. A side h of an arc that bends no tighter than
    // radius R strays at most h^2 / 8R from it and moves along it while
    // h < R: within the tube of the thickness T when h^2 < 8 R T.
    if (!out.cusp && !out.crosses && out.thickness > 0) {
        const double side =
            std::min(0.5 * out.leastRadius, std::sqrt(4 * out.leastRadius * out.thickness));
        const double needed = spacing / side;
        if (needed <= 1) {
            out.polygon = all;
        } else if (double(n) * needed <= double(kMostPolygon)) {
            const std::size_t mm = static_cast<std::size_t>(std::ceil(double(m) * needed));
            out.polygon.resize(mm * static_cast<std::size_t>(k));
            curve.along(g.w, mm, out.polygon.data());
            for (std::size_t i = 0; i < mm; ++i) {
                const Vec3 p = out.polygon[i];
                for (long long j = 0; j < k; ++j)
                    out.polygon[static_cast<std::size_t>(j) * mm + i] =
                        j == 0 ? p
                               : rotateAbout(p, axis, 2 * kPi * std::fmod(turn * double(j), 1.0));
            }
        }
    }
    out.corners = std::move(all);
    out.spacing = spacing;
    out.bend = std::move(bend);
    out.jerk = std::move(jerk);
    return out;
}
