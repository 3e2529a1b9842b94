// The rolling animation's clock: the common period, exact instants, how much
// of each path has been traced, and placement at a fraction of the period.
#include "rollingtimeline.h"

#include <gtest/gtest.h>

#include "fixtures.h"

namespace {
BigRational q(long long n, long long d = 1) {
    return BigRational(BigInt(n), BigInt(d));
}
}  // namespace

TEST(RollingTimeline, PeriodInstantsAndTracedShares) {
    // Root A (stationary), B = 1/2 of A rolling on it (period 1), C = 1/3 of
    // B rolling on B (link period 1/3 at B's speed), D on A at rate 1/2 of
    // the time master (period 2).
    TestAutomaton a;
    Sphere& A = a.add("A", nullptr, Rational(1));
    Sphere& B = a.add("B", &A);
    Sphere& C = a.add("C", &B, Rational(1, 3));
    Sphere& D = a.add("D", &A);
    D.rollingRate = Rational(1, 2);
    reset(a);
    RollingTimeline t(a);
    const BigRational P = t.period();
    ASSERT_GT(P, 0);
    struct Case {
        const Sphere* s;
        double fraction;
        double shown;
    } cases[] = {
        {&A, 0.5, 1.0},  // the stationary sphere has no path of its own
        {&D, 0.25, 0.25},
        {&D, 0.999, 0.999},
        {&D, 1.0, 0.0},  // a whole period starts again
    };
    // D's period is the longest, so it is the common one.
    EXPECT_EQ(P, *planPath(a, D).period);
    for (const auto& c : cases)
        EXPECT_NEAR(t.pathShown(*c.s, c.fraction), c.shown, 1e-12)
            << c.s->name << " " << c.fraction;
    for (Sphere* s : {&B, &C}) {
        double repeats = toDouble(BigRational(P / *planPath(a, *s).period));
        ASSERT_GE(repeats, 2);
        EXPECT_NEAR(t.pathShown(*s, 0.5 / repeats), 0.5, 1e-9) << s->name;
        EXPECT_EQ(t.pathShown(*s, 1.5 / repeats), 1.0) << s->name;
    }
    EXPECT_EQ(t.timeAt(0), 0);
    EXPECT_EQ(t.timeAt(0.25), P / 4);
    EXPECT_EQ(t.timeAt(1.25), P / 4);
}

TEST(RollingTimeline, PlacesAtTheExactInstantAndKeepsTheSnapshot) {
    TestAutomaton a;
    Sphere& A = a.add("A", nullptr, Rational(1));
    Sphere& B = a.add("B", &A);
    reset(a);
    const Vec3 start = B.snapshotCenter;
    RollingTimeline t(a);
    EXPECT_EQ(t.period(), q(1));
    for (double f : {0.0, 0.25, 0.5, 0.75}) {
        t.place(a, f);
        Vec3 rolled = B.center;
        place(a, A, nullptr, q(static_cast<long long>(f * 4), 4));
        EXPECT_EQ(rolled, B.center) << f;
        EXPECT_EQ(B.snapshotCenter, start);
    }
    // A quarter of the way round the circle of radius 1.5.
    t.place(a, 0.25);
    EXPECT_NEAR(length(B.center - start), 1.5 * std::sqrt(2.0), 1e-9);
}

TEST(RollingTimeline, NothingMovesWithoutAStationarySphere) {
    TestAutomaton a;
    Sphere& A = a.add("A", nullptr, Rational(1));
    a.add("B", &A);
    reset(a);
    a.stationarySphere = nullptr;
    RollingTimeline t(a);
    EXPECT_EQ(t.period(), q(1));
    t.place(a, 0.5);  // does nothing, and does not fail
    EXPECT_EQ(t.pathShown(A, 0.5), 1.0);
}
