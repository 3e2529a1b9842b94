// The invariants measured on the exact curve, against closed forms and
// independent dense evaluations of the same curves, at two accuracies; and
// knots and links against curves whose type is known.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <tuple>

#include "curvedesign.h"
#include "curveinvariants.h"
#include "exactcurve.h"
#include "fixtures.h"
#include "knots.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Root A (radius 1) stationary, B rolling on it with factor f, one point
// on B at the given angle from its axis and distance in radii.
Sphere& rolling(TestAutomaton& a, Rational f, bool inside, double angleX, double quantum) {
    a.add("A", nullptr, Rational(1));
    Sphere& b = a.add("B", nullptr, f);
    b.inside = inside;
    b.addPoint(0, angleX, quantum);
    return b;
}

// Length of the closed plane curve p(theta), theta in [0, span], by chord
// sums refined by Richardson's rule: independent of the quadrature tested.
double denseLength(const std::function<Vec3(double)>& p, double span) {
    auto chords = [&](int n) {
        double sum = 0;
        Vec3 prev = p(0);
        for (int i = 1; i <= n; ++i) {
            Vec3 x = p(span * i / n);
            sum += length(x - prev);
            prev = x;
        }
        return sum;
    };
    const double fine = chords(1 << 21), coarse = chords(1 << 20);
    return fine + (fine - coarse) / 3;
}

// Epitrochoid (sign +1) or hypotrochoid (-1) of a circle r on a circle R,
// the point at d from the rolling circle's centre.
std::function<Vec3(double)> trochoid(double R, double r, double d, int sign) {
    return [=](double t) {
        const double c = R + sign * r, w = c / r;
        return Vec3{c * std::cos(t) - sign * d * std::cos(w * t),
                    c * std::sin(t) - d * std::sin(w * t), 0};
    };
}

struct Row {
    const char* name;
    std::function<Sphere&(TestAutomaton&)> build;
    long long order;  // 0: a circle
    double length;    // closed form or dense evaluation
    double reach;
    int lobes;
    bool mirror;
    enum Meets { Apart, Crosses, Cusp } meets;
    double thickness;  // for curves apart; 0: not compared
    const char* knot;  // for curves apart
};

std::vector<Row> knownCurves() {
    const double third = 1.0 / 3;
    return {
        // Epicycloids and hypocycloids: arches of length 8 r (R +- r) / R.
        {"epicycloid 3/1",
         [](auto& a) -> Sphere& {
             return rolling(a, {1, 3}, false, 90, 1);
         },
         3, 32.0 / 3, 5.0 / 3, 3, true, Row::Cusp, 0, ""},
        {"epicycloid 3/2",
         [](auto& a) -> Sphere& {
             return rolling(a, {2, 3}, false, 90, 1);
         },
         3, 80.0 / 3, 7.0 / 3, 3, true, Row::Cusp, 0, ""},
        {"hypocycloid 4/1 (astroid)",
         [](auto& a) -> Sphere& {
             return rolling(a, {1, 4}, true, 90, 1);
         },
         4, 6.0, 1.0, 4, true, Row::Cusp, 0, ""},
        {"hypocycloid 5/2",
         [](auto& a) -> Sphere& {
             return rolling(a, {2, 5}, true, 90, 1);
         },
         5, 9.6, 1.0, 5, true, Row::Cusp, 0, ""},
        // Trochoids: the point beyond the rim loops through the curve itself;
        // inside it, the curve is smooth and simple.
        {"epitrochoid with loops",
         [](auto& a) -> Sphere& {
             return rolling(a, {1, 3}, false, 90, 1.5);
         },
         3, denseLength(trochoid(1, third, 0.5, 1), 2 * kPi), 1 + third + 0.5, 3, true,
         Row::Crosses, 0, ""},
        {"hypotrochoid with loops",
         [](auto& a) -> Sphere& {
             return rolling(a, {1, 5}, true, 90, 2);
         },
         5, denseLength(trochoid(1, 0.2, 0.4, -1), 2 * kPi), 1.2, 5, true, Row::Crosses, 0, ""},
        {"smooth epitrochoid",
         [](auto& a) -> Sphere& {
             return rolling(a, {1, 3}, false, 90, 0.5);
         },
         3, denseLength(trochoid(1, third, third / 2, 1), 2 * kPi), 1 + third + third / 2, 3, true,
         Row::Apart, -1, "unknot"},
        // A point on B's axis goes round a circle of radius 4/3 at height 1/3.
        {"circle",
         [](auto& a) -> Sphere& {
             return rolling(a, {1, 3}, false, 0, 1);
         },
         0, 2 * kPi * 4 / 3, std::sqrt(16.0 / 9 + 1.0 / 9), 0, true, Row::Apart, 4.0 / 3, "unknot"},
    };
}

// Least radius of curvature of the smooth epitrochoid, from its formula on
// a fine grid: the curvature of a plane curve is |x'y'' - y'x''| / |v|^3.
double trochoidLeastRadius(double R, double r, double d) {
    const double c = R + r, w = c / r;
    double least = 1e300;
    for (int i = 0; i < 400000; ++i) {
        const double t = 2 * kPi * i / 400000;
        const double x1 = -c * std::sin(t) + d * w * std::sin(w * t);
        const double y1 = c * std::cos(t) - d * w * std::cos(w * t);
        const double x2 = -c * std::cos(t) + d * w * w * std::cos(w * t);
        const double y2 = -c * std::sin(t) + d * w * w * std::sin(w * t);
        const double v2 = x1 * x1 + y1 * y1;
        least = std::min(least, v2 * std::sqrt(v2) / std::abs(x1 * y2 - y1 * x2));
    }
    return least;
}

TEST(CurveMeasure, KnownCurvesAtTwoAccuracies) {
    for (const Row& row : knownCurves()) {
        for (double step : {0.35, 0.0051}) {  // accuracy 30 and 99
            SCOPED_TRACE(std::string(row.name) + ", step " + std::to_string(step));
            TestAutomaton a;
            Sphere& s = row.build(a);
            a.pathStep = step;
            reset(a);
            pathPass(a);
            CurveInvariants c = curveInvariantsOf(a, s, 0);
            ASSERT_TRUE(c.measured);
            if (row.order == 0) {
                EXPECT_EQ(c.symmetry.kind, CurveSymmetry::Circle);
            } else {
                EXPECT_EQ(c.symmetry.order, row.order);
            }
            EXPECT_NEAR(c.length, row.length, 1e-6 * row.length);
            EXPECT_NEAR(c.reach, row.reach, 1e-9 * row.reach);
            EXPECT_EQ(c.lobes, row.lobes);
            EXPECT_EQ(c.mirror, row.mirror);
            EXPECT_EQ(c.crosses, row.meets == Row::Crosses);
            EXPECT_EQ(c.cusp, row.meets == Row::Cusp);
            if (row.meets != Row::Apart) {
                EXPECT_EQ(c.thickness, 0);
                EXPECT_EQ(c.knot, "");
                continue;
            }
            const double thickness =
                row.thickness > 0 ? row.thickness : trochoidLeastRadius(1, 1.0 / 3, 1.0 / 6);
            EXPECT_NEAR(c.thickness, thickness, 1e-6 * thickness);
            EXPECT_EQ(c.knot, row.knot);
        }
    }
}

// A half turn of a sphere's axis reverses the turns below it instead of
// separating them: the centre of the tilted sphere (radius 1/8 on B's 1/2)
// goes round a circle of radius 1 + 1/2 + 1/2 + 1/8, and a point on its
// equator keeps the symmetry of the untilted chain.
TEST(CurveMeasure, HalfTurnTiltKeepsTheSymmetry) {
    TestAutomaton a;
    a.add("A", nullptr, Rational(1));
    Sphere& b = a.add("B", nullptr, Rational(1, 2));
    Sphere& c = a.add("C", &b, Rational(1, 4));
    c.rollingRate = Rational(2);
    c.axisAngleX = 180;
    c.addPoint(0, 0, 0);   // the centre
    c.addPoint(0, 90, 1);  // on the equator
    a.pathStep = 0.01;
    reset(a);
    pathPass(a);
    auto curves = curveInvariants(a);
    ASSERT_EQ(curves.size(), 2u);
    // The sampled centre stays at one distance from the axis.
    double lo = 1e300, hi = 0;
    for (const Vec3& p : c.points[0].path) {
        lo = std::min(lo, std::hypot(p.x, p.y));
        hi = std::max(hi, std::hypot(p.x, p.y));
    }
    EXPECT_NEAR(lo, 2.125, 1e-5);
    EXPECT_NEAR(hi, 2.125, 1e-5);
    EXPECT_EQ(curves[0].symmetry.kind, CurveSymmetry::Circle);
    EXPECT_EQ(curves[0].lobes, 0);
    EXPECT_TRUE(curves[0].mirror);
    EXPECT_NEAR(curves[0].length, 2 * kPi * hi, 1e-5 * hi);
    EXPECT_EQ(curves[1].symmetry.kind, CurveSymmetry::Order);
    EXPECT_TRUE(curves[1].checked);
    EXPECT_LT(curves[1].checkError, kSymmetryTolerance);
    EXPECT_EQ(curves[1].symmetry.order, 8);
    EXPECT_EQ(curves[1].lobes % 8, 0);
    EXPECT_TRUE(curves[1].mirror);
}

// A k-fold curve has a multiple of k lobes, whatever the order asked for.
TEST(CurveMeasure, LobesOfSymmetricDesignsAreMultiplesOfTheOrder) {
    for (int order : {2, 5, 7, 24}) {
        const auto chains = symmetricChains(order, 2, 3);
        EXPECT_FALSE(chains.empty());
        for (const ChainPlan& plan : chains) {
            SCOPED_TRACE(std::to_string(order) + ": " + plan.describe());
            ChainAutomaton a(plan);
            reset(a);
            pathPass(a);
            const auto curves = curveInvariants(a, false);
            EXPECT_FALSE(curves.empty());
            for (const CurveInvariants& c : curves) {
                if (c.point == 0) continue;  // the centres' curves have orders of their own
                EXPECT_EQ(c.lobes % order, 0);
                EXPECT_GT(c.lobes, 0);
            }
        }
    }
}

// Closed polygons of known knots and links.
std::vector<Vec3> closed(int n, const std::function<Vec3(double)>& f) {
    std::vector<Vec3> p;
    for (int i = 0; i < n; ++i) p.push_back(f(2 * kPi * i / n));
    return p;
}
std::vector<Vec3> torusKnot(int p, int q) {
    return closed(4000, [=](double t) {
        const double r = 2 + std::cos(q * t);
        return Vec3{r * std::cos(p * t), r * std::sin(p * t), std::sin(q * t)};
    });
}

TEST(Knots, KnownKnots) {
    struct K {
        const char* name;
        std::vector<Vec3> polygon;
        const char* knot;
        long long determinant;
    } rows[] = {
        {"circle",
         closed(100,
                [](double t) {
                    return Vec3{std::cos(t), std::sin(t), 0};
                }),
         "unknot", 1},
        {"twisted unknot (a loop in the projection)",
         closed(2000,
                [](double t) {
                    return Vec3{std::cos(t) + 0.8 * std::cos(2 * t),
                                std::sin(t) + 0.8 * std::sin(2 * t), 0.3 * std::sin(t)};
                }),
         "unknot", 1},
        {"trefoil", torusKnot(2, 3), "3_1 = T(2,3)", 3},
        {"trefoil the other way round", torusKnot(3, 2), "3_1 = T(2,3)", 3},
        {"cinquefoil", torusKnot(2, 5), "5_1 = T(2,5)", 5},
        {"T(3,4)", torusKnot(3, 4), "T(3,4)", 3},
        {"T(2,7)", torusKnot(2, 7), "T(2,7)", 7},
        {"figure eight",
         closed(4000,
                [](double t) {
                    const double r = 2 + std::cos(2 * t);
                    return Vec3{r * std::cos(3 * t), r * std::sin(3 * t), std::sin(4 * t)};
                }),
         "4_1", 5},
    };
    for (const K& k : rows) {
        SCOPED_TRACE(k.name);
        for (Vec3 view : {Vec3{0, 0, 1}, Vec3{0.3, -0.5, 0.8}}) {
            KnotType t = knotType(k.polygon, view);
            ASSERT_TRUE(t.found);
            EXPECT_EQ(t.name, k.knot);
            EXPECT_EQ(t.determinant, k.determinant);
        }
    }
}

// A name stands only where the diagram's crossings leave one knot of the
// table (knots of up to 10 crossings) with its polynomial. A torus knot
// T(p,q) wound p times round the axis and seen along it is a closed
// p-braid of q(p - 1) crossings: T(2,7) drawn so has 12, more than the
// table holds, and is only said to have T(2,7)'s polynomial.
TEST(Knots, NamesOnlyWhereTheCrossingsSettleThem) {
    struct N {
        int p, q;  // wound p times round the axis, q times round the tube
        int crossings;
        const char* name;
        const char* polynomialOf;
    } rows[] = {
        {2, 5, 5, "5_1 = T(2,5)", ""}, {4, 3, 9, "T(3,4)", ""},  {3, 5, 10, "T(3,5)", ""},
        {7, 2, 12, "", "T(2,7)"},      {5, 3, 12, "", "T(3,5)"}, {2, 11, 11, "", "T(2,11)"},
        {9, 2, 16, "", "T(2,9)"},
    };
    for (const N& n : rows) {
        SCOPED_TRACE(std::to_string(n.p) + "," + std::to_string(n.q));
        const KnotType t = knotType(torusKnot(n.p, n.q), {0, 0, 1});
        ASSERT_TRUE(t.found);
        EXPECT_EQ(t.crossings, n.crossings);
        EXPECT_EQ(t.name, n.name);
        EXPECT_EQ(t.polynomialOf, n.polynomialOf);
    }
}

// Gauss's double integral of the linking number, on the polygons' sides.
double gaussLinking(const std::vector<Vec3>& a, const std::vector<Vec3>& b) {
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        for (std::size_t j = 0; j < b.size(); ++j) {
            const Vec3 da = a[(i + 1) % a.size()] - a[i], db = b[(j + 1) % b.size()] - b[j];
            const Vec3 r =
                0.5 * (a[i] + a[(i + 1) % a.size()]) - 0.5 * (b[j] + b[(j + 1) % b.size()]);
            const double l = length(r);
            sum += dot(r, cross(da, db)) / (l * l * l);
        }
    return sum / (4 * kPi);
}

TEST(Knots, LinkingNumbersAgreeWithGaussIntegral) {
    auto ring = [](Vec3 c, Vec3 u, Vec3 v, double r) {
        return closed(600,
                      [=](double t) { return c + (r * std::cos(t)) * u + (r * std::sin(t)) * v; });
    };
    auto strand = [](int p, int q, double phase) {
        return closed(1500, [=](double t) {
            const double r = 2 + 0.6 * std::cos(q * t + phase);
            return Vec3{r * std::cos(p * t), r * std::sin(p * t), 0.6 * std::sin(q * t + phase)};
        });
    };
    struct L {
        const char* name;
        std::vector<Vec3> a, b;
    } rows[] = {
        {"Hopf link", ring({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, 1),
         ring({1, 0, 0}, {1, 0, 0}, {0, 0, 1}, 1)},
        {"Hopf link reversed", ring({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, 1),
         ring({1, 0, 0}, {0, 0, 1}, {1, 0, 0}, 1)},
        {"apart", ring({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, 1),
         ring({5, 0, 0}, {1, 0, 0}, {0, 0, 1}, 1)},
        {"core and a curve winding round it three times", ring({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, 2),
         strand(1, 3, 0)},
        {"two parallel (1,2) curves on a torus", strand(1, 2, 0), strand(1, 2, kPi)},
    };
    for (const L& l : rows) {
        SCOPED_TRACE(l.name);
        auto n = linkingNumber(l.a, l.b, {0.1, 0.2, 1});
        ASSERT_TRUE(n.has_value());
        EXPECT_EQ(*n, std::lround(gaussLinking(l.a, l.b)));
    }
}

// Curves that meet have no linking number.
TEST(Knots, CurvesThatMeetAreNotLinked) {
    auto a = closed(500, [](double t) { return Vec3{std::cos(t), std::sin(t), 0}; });
    auto b = closed(500, [](double t) { return Vec3{2 + std::cos(t), 0, std::sin(t)}; });
    EXPECT_FALSE(linkingNumber(a, b, {0, 0, 1}).has_value());
}

}  // namespace

namespace {

// Three spheres, the last rolling on a tilted axis: knotted curves. The
// type read from the exact curve must be the type of the sampled path that
// the placement itself computes, and the linking number of two of its
// points the Gauss integral over their sampled paths.
ChainPlan tiltedChain(Rational b, Rational c, int rate, double tilt, std::vector<double> quanta) {
    ChainPlan p;
    p.levels.resize(3);
    p.levels[1].factor = b;
    p.levels[2].factor = c;
    p.levels[2].rate = Rational(rate);
    p.levels[2].tiltX = tilt;
    for (double q : quanta) p.levels[2].points.push_back({0, q == 0 ? 0.0 : 90.0, q});
    return p;
}

std::vector<Vec3> thinned(const std::vector<Vec3>& p, std::size_t most) {
    std::vector<Vec3> out;
    const std::size_t stride = std::max<std::size_t>(1, p.size() / most);
    for (std::size_t i = 0; i < p.size(); i += stride) out.push_back(p[i]);
    return out;
}

TEST(Knots, KnotsAndLinksOfAutomata) {
    struct K {
        const char* name;
        ChainPlan plan;
        const char* knot;  // of the traced point
        bool linked;       // check its link with its sphere's centre
    } rows[] = {
        {"3-fold trefoil and the centre", tiltedChain({2, 3}, {2, 3}, 3, 90, {1}), "3_1 = T(2,3)",
         true},
        {"figure eight", tiltedChain({1, 3}, {3, 4}, 2, 30, {1}), "4_1", false},
        {"trefoil", tiltedChain({1, 4}, {3, 4}, 3, 90, {1}), "3_1 = T(2,3)", false},
    };
    for (const K& k : rows) {
        SCOPED_TRACE(k.name);
        ChainAutomaton a(k.plan);
        a.pathStep = 0.002;
        reset(a);
        pathPass(a);
        const Sphere& s = *a.spheres().back();
        std::vector<CurveInvariants> mine;  // the centre (point 0) and the traced point
        for (const CurveInvariants& c : curveInvariants(a))
            if (c.sphere == s.name) mine.push_back(c);
        ASSERT_EQ(mine.size(), 2u);
        EXPECT_EQ(mine[1].knot, k.knot);
        KnotType sampled = knotType(s.points[1].path, {0.2, 0.1, 1});
        EXPECT_EQ(sampled.name, k.knot);
        if (k.linked) {
            auto with = [&](const CurveInvariants& c, int point) -> std::optional<int> {
                for (const CurveLink& l : c.links)
                    if (l.sphere == s.name && l.point == point) return l.number;
                return std::nullopt;
            };
            ASSERT_TRUE(with(mine[0], 1));
            EXPECT_EQ(*with(mine[0], 1),
                      std::lround(gaussLinking(thinned(s.points[0].path, 3000),
                                               thinned(s.points[1].path, 3000))));
            EXPECT_EQ(with(mine[1], 0), with(mine[0], 1));
        }
    }
}

}  // namespace

namespace {

// The sphere a curve of the list was traced on.
const std::vector<Vec3>& pathOf(const ChainAutomaton& a, const std::string& sphere, int point) {
    for (const Sphere* s : a.spheres())
        if (s->name == sphere) return s->points[static_cast<std::size_t>(point)].path;
    static const std::vector<Vec3> none;
    return none;
}

// Every linking number reported for a pair of traced curves is the Gauss
// integral over their sampled paths, and the pairs expected are reported
// (the centres of B and C are traced too): Hopf links of the centres and a
// point winding round them, either way; a trefoil round them three times;
// circles stacked apart (the point above B passes 0.004 from C's centre's
// curve, and that pair is reported too); and four curves in boxes that
// overlap without linking (all six pairs keep apart, the closest 0.019).
TEST(Knots, LinkingNumbersOfTracedCurves) {
    // B's centre, and a point on its axis going round above it.
    ChainPlan stacked = tiltedChain({1, 2}, {1, 3}, 1, 90, {});
    stacked.levels[1].points = {{0, 0, 1}};
    struct L {
        const char* name;
        ChainPlan plan;
        std::size_t pairs;  // linking numbers reported
    } rows[] = {
        {"Hopf link", tiltedChain({1, 2}, {1, 3}, 1, 90, {1.5}), 3},
        {"Hopf link the other way", tiltedChain({1, 2}, {1, 3}, -1, 90, {1.5}), 3},
        {"winding at three times the rate", tiltedChain({1, 2}, {1, 3}, 3, 90, {1.5}), 3},
        {"trefoil round the centres", tiltedChain({2, 3}, {2, 3}, 3, 90, {1}), 3},
        {"circles stacked apart", stacked, 3},
        {"four curves, none linked", tiltedChain({1, 2}, {1, 3}, 2, 90, {1.5, 1.2}), 6},
    };
    for (const L& l : rows) {
        SCOPED_TRACE(l.name);
        ChainAutomaton a(l.plan);
        a.pathStep = 0.002;
        reset(a);
        pathPass(a);
        const std::vector<CurveInvariants> curves = curveInvariants(a);
        std::size_t pairs = 0;
        for (const CurveInvariants& c : curves)
            for (const CurveLink& k : c.links) {
                if (std::tie(k.sphere, k.point) < std::tie(c.sphere, c.point)) continue;
                SCOPED_TRACE(c.sphere + std::to_string(c.point) + " and " + k.sphere +
                             std::to_string(k.point));
                auto other = std::find_if(curves.begin(), curves.end(), [&](const auto& o) {
                    return o.sphere == k.sphere && o.point == k.point;
                });
                ASSERT_NE(other, curves.end());
                // A sampled path goes round its curve as many times as the
                // pass holds closings, and the integral counts every lap.
                const long long laps = c.symmetry.periodsPerPass * other->symmetry.periodsPerPass;
                ASSERT_GT(laps, 0);
                const double gauss = gaussLinking(thinned(pathOf(a, c.sphere, c.point), 3000),
                                                  thinned(pathOf(a, k.sphere, k.point), 3000)) /
                                     double(laps);
                EXPECT_NEAR(gauss, std::round(gauss), 0.05);  // the integral has settled
                EXPECT_TRUE(k.settled);
                EXPECT_EQ(k.number, std::lround(gauss));
                ++pairs;
            }
        EXPECT_EQ(pairs, l.pairs);
    }
}

// Corners along the curve turned step by step stay on the curve placed
// time by time, over many steps of fast turns; the position and velocity
// alone are the whole jet's, and the velocity is the slope of the position.
TEST(ExactCurve, CornersAlongAndFirstOrderJets) {
    ChainPlan inside = tiltedChain({1, 7}, {3, 11}, 9, 30, {1.5});
    inside.levels[2].inside = true;
    struct C {
        const char* name;
        ChainPlan plan;
    } rows[] = {
        {"tilted chain", tiltedChain({2, 3}, {2, 3}, 3, 90, {1})},
        {"fast small sphere inside", inside},
        {"centre of a tilted sphere", tiltedChain({1, 3}, {3, 4}, 2, 30, {})},
    };
    for (const C& c : rows) {
        SCOPED_TRACE(c.name);
        ChainAutomaton a(c.plan);
        const Sphere& s = *a.spheres().back();
        const std::size_t point = s.points.size() - 1;  // the traced point, or the centre
        const CurveSymmetry sym = curveSymmetry(a, s, point);
        ASSERT_NE(sym.kind, CurveSymmetry::None);
        const ExactCurve curve(a, s, point, sym.period);
        ASSERT_TRUE(curve.valid());
        for (double w : {1.0, 0.37}) {
            const std::size_t count = 40000;
            std::vector<Vec3> along(count);
            curve.along(w, count, along.data());
            double size = 0, miss = 0;
            for (std::size_t i = 0; i < count; ++i) {
                const Vec3 p = curve.at(w * double(i) / double(count));
                size = std::max(size, length(p));
                miss = std::max(miss, length(along[i] - p));
            }
            EXPECT_LE(miss, 1e-12 * size);
        }
        for (double u : {0.0, 0.1234, 0.5, 0.987}) {
            const CurveJet j = curve.jet(u), j1 = curve.jet1(u);
            EXPECT_EQ(j1.p.x, j.p.x);
            EXPECT_EQ(j1.p.y, j.p.y);
            EXPECT_EQ(j1.p.z, j.p.z);
            EXPECT_EQ(j1.d1.x, j.d1.x);
            EXPECT_EQ(j1.d1.y, j.d1.y);
            EXPECT_EQ(j1.d1.z, j.d1.z);
            const double h = 1e-6;
            const Vec3 slope = (1 / (2 * h)) * (curve.at(u + h) - curve.at(u - h));
            EXPECT_LE(length(slope - j1.d1), 1e-6 * std::max(1.0, length(j1.d1)));
        }
    }
}

}  // namespace

namespace {

// A curve and its copy turned about the axis (the sphere started further
// round its parent) are the same shape: every invariant agrees with the
// unturned curve's. Trochoids are mirror symmetric whatever the start (a
// plane through the axis and a cusp or a lobe's tip reflects them); a
// trefoil is chiral and has no mirror at any start.
TEST(CurveMeasure, TurnedCopiesReadAlike) {
    struct T {
        const char* name;
        std::function<Sphere&(TestAutomaton&)> build;
        bool mirror;
    } rows[] = {
        {"epicycloid 4/1 (the cusps)",
         [](auto& a) -> Sphere& {
             return rolling(a, {1, 4}, false, 90, 1);
         },
         true},
        {"smooth epitrochoid 5/1",
         [](auto& a) -> Sphere& {
             return rolling(a, {1, 5}, false, 90, 0.7);
         },
         true},
        {"epitrochoid 3/1 with loops",
         [](auto& a) -> Sphere& {
             return rolling(a, {1, 3}, false, 90, 1.5);
         },
         true},
        {"hypotrochoid 5/2",
         [](auto& a) -> Sphere& {
             return rolling(a, {2, 5}, true, 90, 0.6);
         },
         true},
        {"point off the equator",
         [](auto& a) -> Sphere& {
             return rolling(a, {1, 3}, false, 50, 1);
         },
         true},
    };
    auto measure = [](Automaton& a, Sphere& s, double revolution) {
        s.initialRevolution = revolution;
        a.pathStep = 0.01;
        reset(a);
        pathPass(a);
        return curveInvariantsOf(a, s, 0);
    };
    auto agree = [](const CurveInvariants& c, const CurveInvariants& first) {
        EXPECT_EQ(c.symmetry.order, first.symmetry.order);
        EXPECT_EQ(c.mirror, first.mirror);
        EXPECT_EQ(c.lobes, first.lobes);
        EXPECT_EQ(c.cusp, first.cusp);
        EXPECT_EQ(c.crosses, first.crosses);
        EXPECT_NEAR(c.length, first.length, 1e-9 * first.length);
        EXPECT_NEAR(c.reach, first.reach, 1e-9 * first.reach);
        EXPECT_NEAR(c.thickness, first.thickness, 1e-6 * first.reach);
        EXPECT_EQ(c.knot, first.knot);
    };
    const double turns[] = {0, 7.5, 15, 33.3, 60, 137.25, 300};
    for (const T& row : rows) {
        SCOPED_TRACE(row.name);
        std::optional<CurveInvariants> first;
        for (double revolution : turns) {
            SCOPED_TRACE(revolution);
            TestAutomaton a;
            Sphere& s = row.build(a);
            const CurveInvariants c = measure(a, s, revolution);
            ASSERT_TRUE(c.measured);
            EXPECT_EQ(c.mirror, row.mirror);
            if (first)
                agree(c, *first);
            else
                first = c;
        }
    }
    // The trefoil of a tilted chain, turned by its first sphere's axis.
    std::optional<CurveInvariants> first;
    for (double revolution : turns) {
        SCOPED_TRACE(revolution);
        ChainAutomaton a(tiltedChain({2, 3}, {2, 3}, 3, 90, {1}));
        Sphere& s = *a.spheres().back();
        a.spheres()[1]->axisAngleZ = revolution;
        a.pathStep = 0.01;
        reset(a);
        pathPass(a);
        const CurveInvariants c = curveInvariantsOf(a, s, 1);
        ASSERT_TRUE(c.measured);
        EXPECT_FALSE(c.mirror);
        EXPECT_EQ(c.knot, "3_1 = T(2,3)");
        if (first)
            agree(c, *first);
        else
            first = c;
    }
}

}  // namespace

namespace {

// Near a cusp the curvature peaks far more narrowly than the grid that
// searches the curve: the thickness must still not exceed the least radius
// of curvature. For a trochoid whose point lies a fraction e inside the
// rolling circle's rim, the peak stands where the point passes closest to
// (epi) or farthest from (hypo) the fixed circle's centre, where velocity
// c e and acceleration are at right angles: R = c e^2 / (w (1 - e) -+ 1).
// The third row is a 24-fold curve of three spheres, checked against a
// dense evaluation of the curvature over its first 24th.
TEST(CurveMeasure, ThicknessWithinNarrowCurvaturePeaks) {
    auto epi = [](double e) {
        const double c = 4.0 / 3, w = 4;
        return c * e * e / (w * (1 - e) - 1);
    };
    auto hypo = [](double e) {
        const double c = 3.0 / 4, w = 3;
        return c * e * e / (w * (1 - e) + 1);
    };
    struct N {
        const char* name;
        std::function<Sphere&(TestAutomaton&)> build;
        double least;  // 0: dense evaluation
    } rows[] = {
        {"epitrochoid, 1e-3 inside the rim",
         [](auto& a) -> Sphere& {
             return rolling(a, {1, 3}, false, 90, 1 - 1e-3);
         },
         epi(1e-3)},
        {"epitrochoid, 2e-4 inside the rim",
         [](auto& a) -> Sphere& {
             return rolling(a, {1, 3}, false, 90, 1 - 2e-4);
         },
         epi(2e-4)},
        {"hypotrochoid, 1e-3 inside the rim",
         [](auto& a) -> Sphere& {
             return rolling(a, {1, 4}, true, 90, 1 - 1e-3);
         },
         hypo(1e-3)},
        {"1/24 inside 1/23 on the root",
         [](auto& a) -> Sphere& {
             a.add("A", nullptr, Rational(1, 2));
             Sphere& b = a.add("B", nullptr, Rational(1, 23));
             Sphere& c = a.add("C", &b, Rational(1, 24));
             c.inside = 1;
             c.addPoint(0, 90, 1);
             return c;
         },
         0},
    };
    for (const N& row : rows) {
        SCOPED_TRACE(row.name);
        TestAutomaton a;
        Sphere& s = row.build(a);
        a.pathStep = 0.05;
        reset(a);
        pathPass(a);
        const CurveInvariants c = curveInvariantsOf(a, s, 0);
        ASSERT_TRUE(c.measured);
        ASSERT_FALSE(c.cusp);
        ASSERT_FALSE(c.crosses);
        double least = row.least;
        if (least == 0) {
            const ExactCurve curve(a, s, 0, c.symmetry.period);
            const double part = 1.0 / double(c.symmetry.order);
            least = std::numeric_limits<double>::infinity();
            for (int i = 0; i < 1000000; ++i) {
                const CurveJet j = curve.jet(part * i / 1000000);
                const Vec3 x = cross(j.d1, j.d2);
                const double v = length(j.d1);
                least = std::min(least, v * v * v / length(x));
            }
        }
        EXPECT_LE(c.thickness, least * (1 + 1e-9));
        EXPECT_GE(c.thickness, least * (1 - 1e-3));
    }
}

}  // namespace
