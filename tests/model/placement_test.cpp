// Placement at exact times: centres, spins and revolutions of small
// automata whose answers are known, and the zero-factor behaviour.
#include <gtest/gtest.h>

#include <cmath>

#include "fixtures.h"

namespace {
void expectNear(Vec3 got, Vec3 want, double tol = 1e-6) {
    EXPECT_NEAR(got.x, want.x, tol);
    EXPECT_NEAR(got.y, want.y, tol);
    EXPECT_NEAR(got.z, want.z, tol);
}
bool finite(const Sphere& s) {
    for (float f : s.frame)
        if (!std::isfinite(f)) return false;
    return std::isfinite(s.center.x + s.center.y + s.center.z + s.radius + s.spin + s.revolution);
}
}  // namespace

TEST(Placement, OneChildRollingOutsideAndInside) {
    struct Case {
        short inside;
        short antiClockwise;
        double wantX;  // centre at time 0
        double wantSpinAtOne;
        double wantRevolutionAtOne;
    } cases[] = {
        {0, 0, 1.5, 1080, 360},  // outside, clockwise: 360 * (2 + 1)
        {0, 1, 1.5, -1080, -360},
        {1, 0, 0.5, -360, 360},  // inside: 360 * (2 - 1), turning back
        {1, 1, 0.5, 360, -360},
    };
    for (const auto& c : cases) {
        TestAutomaton a;
        a.add("A");
        Sphere& b = a.add("B");
        b.inside = c.inside;
        b.antiClockwise = c.antiClockwise;
        reset(a);
        expectNear(b.center, {c.wantX, 0, 0});
        expectNear(b.axisPoint, {c.wantX, 0, 1});
        expectNear(b.snapshotCenter, {c.wantX, 0, 0});
        EXPECT_EQ(b.snapshotRadius, 0.5);
        place(a, *a.root, nullptr, BigRational(1));
        EXPECT_DOUBLE_EQ(b.spin, c.wantSpinAtOne) << c.inside << c.antiClockwise;
        EXPECT_DOUBLE_EQ(b.revolution, c.wantRevolutionAtOne);
        expectNear(b.center, {c.wantX, 0, 0});          // a whole revolution later
        expectNear(b.snapshotCenter, {c.wantX, 0, 0});  // the snapshot keeps time 0
    }
}

TEST(Placement, TimeZeroUsesInitialAnglesWhateverTheFactors) {
    TestAutomaton a;
    a.add("A");
    Sphere& b = a.add("B", nullptr, Rational(3, 7));
    b.rollingRate = Rational(5, 11);
    b.initialRevolution = 90;
    b.initialSpin = 30;
    reset(a);
    EXPECT_EQ(b.revolution, 90);
    EXPECT_EQ(b.spin, 30);
    double d = 1 + 3.0 / 7;
    expectNear(b.center, {0, d, 0});
}

TEST(Placement, RevolutionCountsFollowCycleCountAndTimeChain) {
    TestAutomaton a;
    Sphere& r = a.add("A");
    Sphere& b =
        a.add("B", nullptr, Rational(2, 3));  // ratio 3/2: two revolutions per cycle distance
    Sphere& c = a.add("C", &b, Rational(1, 2));
    c.rollingRate = Rational(3, 1);
    radiusPass(a);
    EXPECT_EQ(*cycleCount(r, b), BigInt(2));
    EXPECT_EQ(revolutions(a, b, r, BigRational(1)), BigRational(2));
    // C: cycle count 1, its own rate 3, times the master's rate 1.
    EXPECT_EQ(revolutions(a, c, b, BigRational(1, 3)), BigRational(1));
    // The parent going round its child: times rr(P) / rr(C) = 2.
    EXPECT_EQ(revolutions(a, b, c, BigRational(1)), BigRational(6));
}

TEST(Placement, StationaryChildPlacesTheRootAroundIt) {
    TestAutomaton a;
    Sphere& r = a.add("A");
    Sphere& b = a.add("B");
    b.inside = 0;
    a.stationarySphere = &b;
    reset(a);
    expectNear(b.center, {0, 0, 0});
    expectNear(r.center, {1.5, 0, 0});
    // Parent around child: t * D * kappa * 2 revolutions.
    EXPECT_EQ(revolutions(a, r, b, BigRational(1)), BigRational(2));
    place(a, b, nullptr, BigRational(1, 4));
    EXPECT_DOUBLE_EQ(r.revolution, 180);
    EXPECT_DOUBLE_EQ(r.spin, 360.0 * 0.5 * (0.5 + 1));  // u = Rn / Rs = 1/2
}

TEST(Placement, DynamicAnglesAdvanceInSinglePrecision) {
    TestAutomaton a;
    a.add("A");
    Sphere& b = a.add("B");
    b.dynamic = 1;
    b.dynamicAxisZ = 1;
    b.dynamicAxisX = 1;
    b.dynamicForwardX = 0;
    float z = 0, x = 0;
    for (int i = 0; i < 100; ++i) {
        dynamicStep(a);
        z += 3.6f;
        if (z >= 360.0f) z -= 360.0f;
        x -= 3.6f;
        EXPECT_EQ(b.dynamicAngleZ, z);
        EXPECT_EQ(b.dynamicAngleX, x);
    }
    EXPECT_NEAR(b.dynamicAngleZ, 0, 1e-3);  // one whole turn, give or take rounding
    dynamicReset(a);
    EXPECT_EQ(b.dynamicAngleZ, 0);
    EXPECT_EQ(b.dynamicForwardX, 1);
}

TEST(Placement, DynamicFlagWithoutAxesKeepsRecomputingButChangesNothing) {
    TestAutomaton a;
    a.add("A");
    Sphere& b = a.add("B");
    b.addPoint(0, 0, 1);
    frameUpdate(a);
    auto first = b.points[0].path;
    EXPECT_EQ(a.pathsUpToDate, 1);
    b.dynamic = 1;
    const auto placements = a.placements;
    frameUpdate(a);
    EXPECT_EQ(a.pathsUpToDate, 1);
    EXPECT_EQ(b.points[0].path, first);
    EXPECT_NE(a.placements, placements);  // what was made of the spheres is made again
}

TEST(Placement, ZeroFactorsAndBrokenTimeChainsStayFinite) {
    struct Case {
        const char* what;
        Rational radius, rate;
        bool breakTimeChain;
    } cases[] = {
        {"zero radius factor", Rational(0), Rational(1), false},
        {"zero rolling rate", Rational(1, 2), Rational(0), false},
        {"time chain ends early", Rational(1, 3), Rational(2), true},
    };
    for (const auto& c : cases) {
        TestAutomaton a;
        a.add("A");
        Sphere& b = a.add("B");
        Sphere& x = a.add("C", &b);
        Sphere& y = a.add("D", &x);  // rolls on the odd sphere
        x.radiusFactor = c.radius;
        x.rollingRate = c.rate;
        x.addPoint(0, 0, 1);
        y.addPoint(30, 40, 2);
        if (c.breakTimeChain) {
            Sphere* t = x.timeReference;
            detach(a, *t, x, kTime);
        }
        frameUpdate(a);
        for (Sphere* s : treeSpheres(a)) {
            EXPECT_TRUE(finite(*s)) << c.what << " " << s->name;
            for (const auto& p : s->points)
                for (const auto& v : p.path) EXPECT_TRUE(std::isfinite(v.x + v.y + v.z)) << c.what;
        }
        if (!c.breakTimeChain) {
            EXPECT_TRUE(x.points[0].path.empty()) << c.what;
            EXPECT_TRUE(y.points[0].path.empty()) << c.what;
        } else {
            EXPECT_FALSE(x.points[0].path.empty()) << c.what;
        }
    }
}

TEST(Placement, NothingHappensWithoutAStationarySphere) {
    TestAutomaton a;
    a.add("A");
    Sphere& b = a.add("B");
    b.addPoint(0, 0, 1);
    a.stationarySphere = nullptr;
    EXPECT_TRUE(frameUpdate(a).completed);
    EXPECT_EQ(a.pathsUpToDate, 0);
    EXPECT_TRUE(b.points[0].path.empty());
}
