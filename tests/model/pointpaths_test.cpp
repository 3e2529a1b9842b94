// Point paths: periods, sample counts, the tube frame, and the fast pass
// against the literal one.
#include <gtest/gtest.h>

#include <cmath>

#include "fixtures.h"
#include "linkblock.h"
#include "tubemesh.h"

namespace {

// The starter automaton: root A, child B of radius factor 1/2 with point 0
// at its centre.
void starter(TestAutomaton& a) {
    a.add("A");
    a.add("B").addPoint(0, 0, 0);
}

// A chain of spheres below the root with mixed factors, tilted axes, inside
// and anti-clockwise rolling, several points each, and dynamic axes.
void mixedChain(TestAutomaton& a, Sphere** middle = nullptr) {
    Sphere* s = &a.add("A");
    const Rational factors[] = {{1, 2}, {2, 3}, {3, 4}, {1, 3}, {5, 7}};
    const Rational rates[] = {{1, 1}, {3, 2}, {2, 1}, {1, 2}, {4, 3}};
    for (int i = 0; i < 5; ++i) {
        s = &a.add(std::string(1, char('B' + i)), s, factors[i]);
        if (i > 0) s->rollingRate = rates[i];
        s->axisAngleZ = 17.0 * i;
        s->axisAngleX = 31.0 * i + 5;
        s->inside = short(i % 2);
        s->antiClockwise = short(i == 3);
        s->initialRevolution = 10.0 * i;
        s->initialSpin = 7.0 * i;
        for (int p = 0; p < 3; ++p) s->addPoint(40.0 * p, 25.0 * p, p);
        if (i == 2) {
            s->dynamic = s->dynamicAxisZ = s->dynamicAxisX = 1;
            s->dynamicAngleZ = 12.5f;
            s->dynamicAngleX = 350.0f;
        }
        if (i == 1 && middle) *middle = s;
    }
    // A side branch off the root as well.
    Sphere& side = a.add("S", a.root, Rational(1, 5));
    side.addPoint(90, 45, 1);
    a.pathStep = 0.05;
}

// Six links with tilted axes, every third rolling inside, three points on
// each sphere: sampled under a budget, so that all the spheres share their
// instants and their lists' common links.
void deepChain(TestAutomaton& a, Sphere** = nullptr) {
    Sphere* s = &a.add("A", nullptr, Rational(1));
    s->addPoint(0, 0, 0);
    const Rational factors[] = {{1, 2}, {2, 3}, {3, 5}, {1, 2}, {3, 4}, {2, 3}};
    for (int i = 0; i < 6; ++i) {
        s = &a.add(std::string(1, char('B' + i)), s, factors[i]);
        s->axisAngleZ = 15.0 * (i + 1);
        s->axisAngleX = 20.0 * (i + 1);
        s->inside = short(i % 3 == 2);
        for (int p = 0; p < 4; ++p) s->addPoint(30.0 * p, 45.0 * p, p == 0 ? 0 : 1 + p % 2);
    }
    a.pathStep = 0.0001;
    a.sampleBudget = 40000;
}

// Rates and radii whose periods run long (revolution counts with large
// numerators and denominators), rolling inside and anti-clockwise, from
// initial angles.
void longPeriodChain(TestAutomaton& a, Sphere** = nullptr) {
    Sphere* s = &a.add("A", nullptr, Rational(1));
    const Rational factors[] = {{3, 7}, {5, 11}, {7, 9}, {4, 13}};
    const Rational rates[] = {{1, 1}, {1000003, 999983}, {999979, 1000033}, {1009, 997}};
    for (int i = 0; i < 4; ++i) {
        s = &a.add(std::string(1, char('B' + i)), s, factors[i]);
        if (i > 0) s->rollingRate = rates[i];
        s->inside = short(i % 2 == 0);
        s->antiClockwise = short(i != 2);
        s->initialRevolution = 33.0 + 11 * i;
        s->initialSpin = 71.0 - 13 * i;
        s->axisAngleZ = 10.0 * i;
        s->axisAngleX = 50.0 - 7 * i;
        s->addPoint(25, 35, 1);
        s->addPoint(0, 0, 0.5);
    }
    a.pathStep = 0.001;
    a.sampleBudget = 24000;
    // Its periods run to about 10^15 turns: worked out all the same, for
    // the long numbers they bring into every instant.
    a.periodTurnLimit = Automaton::kNoPeriodLimit;
}

std::vector<std::vector<Vec3>> allPaths(const Automaton& a) {
    std::vector<std::vector<Vec3>> out;
    for (Sphere* s : treeSpheres(a))
        for (const auto& p : s->points) out.push_back(p.path);
    return out;
}

}  // namespace

TEST(PointPaths, StarterAutomatonHas37SamplesTracingTheCentre) {
    TestAutomaton a;
    starter(a);
    Sphere& b = *a.timeMaster;
    reset(a);
    PathPlan plan = planPath(a, b);
    EXPECT_EQ(*plan.period, BigRational(1));
    EXPECT_NEAR(plan.length, 6.28318530718 * 1.5, 1e-12);
    EXPECT_EQ(plan.samples, 37);
    ASSERT_TRUE(frameUpdate(a).completed);
    const auto& path = b.points[0].path;
    ASSERT_EQ(path.size(), 37u);
    for (std::size_t k = 0; k < path.size(); ++k) {
        double angle = 2 * M_PI * double(k) / 37;
        EXPECT_NEAR(path[k].x, 1.5 * std::cos(angle), 1e-6) << k;
        EXPECT_NEAR(path[k].y, 1.5 * std::sin(angle), 1e-6) << k;
        EXPECT_NEAR(path[k].z, 0, 1e-6);
    }
    // Its tube is 0.15 of B's radius thick.
    TubeMesh tube = closedTube(path, tubeSettingsFor(b.radius));
    ASSERT_GT(tube.rings(), 0u);
    for (std::size_t v = 0; v < tube.vertices.size(); ++v)
        EXPECT_NEAR(length(tube.vertices[v] - tube.centres[v / 7]), 0.15 * 0.5, 1e-9);
    EXPECT_TRUE(a.root->points.empty() || a.root->points[0].path.empty());
}

TEST(PointPaths, CommonPeriodOfLinkPeriods) {
    struct Case {
        std::vector<BigRational> periods;
        BigRational want;
    } cases[] = {
        {{BigRational(1, 2), BigRational(1, 3)}, BigRational(1)},
        {{BigRational(1, 2), BigRational(1, 4)}, BigRational(1, 2)},
        {{BigRational(2, 3), BigRational(3, 4)}, BigRational(6)},
        {{BigRational(5)}, BigRational(5)},
        {{}, BigRational(1)},
    };
    for (const auto& c : cases) EXPECT_EQ(commonPeriod(c.periods), c.want) << toString(c.want);
}

TEST(PointPaths, PeriodsBeyondSixtyFourBitsStayExactAndSamplingIsBounded) {
    TestAutomaton a;
    Sphere* s = &a.add("A");
    // Rates 1/p for coprime p: the link periods are the p, the common period
    // their product, about 10^24.
    const int primes[] = {1000003, 999983, 999979, 999961};
    s = &a.add("B", s, Rational(1, 2));
    BigInt product = 1;
    for (int p : primes) {
        s = &a.add(std::to_string(p), s, Rational(1, 2));
        s->rollingRate = Rational(1, p);
        product *= p;
    }
    s->addPoint(0, 0, 1);
    a.sampleBudget = 5000;
    a.periodTurnLimit = Automaton::kNoPeriodLimit;
    reset(a);
    PathPlan plan = planPath(a, *s);
    ASSERT_TRUE(plan.period);
    EXPECT_EQ(*plan.period, BigRational(product));
    EXPECT_GT(product, BigInt(1) << 64);
    PathPassResult r = frameUpdate(a);
    EXPECT_TRUE(r.completed);
    EXPECT_LE(r.samples, 5000u);
    ASSERT_EQ(r.coarsened.size(), 1u);
    EXPECT_EQ(r.coarsened[0], s);
    EXPECT_EQ(s->points[0].path.size(), 5000u);
    for (const auto& v : s->points[0].path) ASSERT_TRUE(std::isfinite(v.x + v.y + v.z));
}

TEST(PointPaths, FastPassEqualsTheLiteralPassBitForBit) {
    struct Case {
        const char* what;
        void (*build)(TestAutomaton&, Sphere**);
        bool middleStationary;
    } cases[] = {
        {"mixed chain", [](TestAutomaton& a, Sphere** m) { mixedChain(a, m); }, false},
        // A sphere in the middle of the chain held still.
        {"mixed chain from its middle", [](TestAutomaton& a, Sphere** m) { mixedChain(a, m); },
         true},
        {"deep chain", deepChain, false},
        {"long-period chain", longPeriodChain, false},
    };
    const bool avx2 = linkBlocksUseAvx2();
    for (const auto& c : cases) {
        TestAutomaton lit;
        Sphere* middle = nullptr;
        c.build(lit, &middle);
        if (c.middleStationary) lit.stationarySphere = middle;
        reset(lit);
        dynamicStep(lit);
        pathPassLiteral(lit);
        for (bool useAvx2 : {true, false}) {
            SCOPED_TRACE(std::string(c.what) + (useAvx2 ? "" : ", without AVX2"));
            setLinkBlocksUseAvx2(useAvx2 && avx2);
            TestAutomaton fast;
            c.build(fast, &middle);
            if (c.middleStationary) fast.stationarySphere = middle;
            PathPassControl one;
            one.threads = 1;
            reset(fast);
            dynamicStep(fast);
            PathPassResult r = pathPass(fast, &one);
            ASSERT_GT(r.samples, 1000u);
            ASSERT_EQ(allPaths(lit), allPaths(fast));
            // The working fields are left at the last sampled instant in both.
            auto ls = treeSpheres(lit), fs = treeSpheres(fast);
            for (std::size_t i = 0; i < ls.size(); ++i) {
                EXPECT_EQ(ls[i]->frame, fs[i]->frame) << ls[i]->name;
                EXPECT_EQ(ls[i]->center, fs[i]->center) << ls[i]->name;
            }
        }
    }
    setLinkBlocksUseAvx2(avx2);
}

TEST(PointPaths, ThreadsGiveTheSameResultAsOneThread) {
    TestAutomaton one, many;
    mixedChain(one);
    mixedChain(many);
    one.pathStep = many.pathStep = 0.002;
    PathPassControl c1, c4;
    c1.threads = 1;
    c4.threads = 4;
    frameUpdate(one, &c1);
    frameUpdate(many, &c4);
    EXPECT_EQ(allPaths(one), allPaths(many));
}

TEST(PointPaths, StopRequestInterruptsAndLeavesTheFlagCleared) {
    TestAutomaton a;
    mixedChain(a);
    a.pathStep = 0.001;
    std::atomic<bool> stop{true};
    double lastProgress = -1;
    PathPassControl c;
    c.stop = &stop;
    c.progress = [&](double f) { lastProgress = f; };
    EXPECT_FALSE(frameUpdate(a, &c).completed);
    EXPECT_EQ(a.pathsUpToDate, 0);
    stop = false;
    EXPECT_TRUE(frameUpdate(a, &c).completed);
    EXPECT_EQ(a.pathsUpToDate, 1);
    EXPECT_NEAR(lastProgress, 1.0, 0.05);
}

TEST(PointPaths, TubeFrameSurvivesStraightRunsRepeatsAndReversals) {
    struct Case {
        const char* what;
        std::vector<Vec3> positions;
    } cases[] = {
        {"straight", {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}}},
        {"repeated sample", {{0, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 0, 0}, {2, 0, 0}}},
        {"first step repeated", {{0, 0, 0}, {0, 0, 0}, {1, 1, 0}}},
        {"reversal", {{0, 0, 0}, {1, 0, 0}, {0, 0, 0}, {1, 0, 0}}},
        {"along (2,3,5)", {{0, 0, 0}, {2, 3, 5}, {4, 6, 10}}},
        {"nearly straight", {{0, 0, 0}, {1, 1e-9, 0}, {2, 2.0000000001e-9, 0}, {3, 3e-9, 0}}},
    };
    for (const auto& c : cases) {
        std::vector<TubeFrame> frames = transportTubeFrames(c.positions);
        ASSERT_EQ(frames.size(), c.positions.size());
        for (std::size_t k = 0; k < frames.size(); ++k) {
            EXPECT_NEAR(length(frames[k].normal), 1.0, 1e-9) << c.what << " sample " << k;
            EXPECT_NEAR(length(frames[k].binormal), 1.0, 1e-9) << c.what << " sample " << k;
            for (int j = 0; j < 7; ++j)
                EXPECT_NEAR(
                    length(ringVertex(c.positions[k], frames[k], 0.15, j, 7) - c.positions[k]),
                    0.15, 1e-9)
                    << c.what;
        }
        if (std::string(c.what) == "straight") {
            EXPECT_EQ(frames.back().normal, frames[1].normal);
            EXPECT_EQ(frames.back().binormal, frames[1].binormal);
        }
    }
}

TEST(PointPaths, SampleCountTruncatesAndStaysBounded) {
    struct Case {
        double length, step;
        long long want;
    } cases[] = {
        {9.42477796077, 0.25005, 37},  {0.1, 0.25, 0}, {-5, 0.25, 0},
        {1, 0, 4000000000000000000LL}, {NAN, 1, 0},    {1e300, 1e-300, 4000000000000000000LL}};
    for (const auto& c : cases) EXPECT_EQ(sampleCount(c.length, c.step), c.want) << c.length;
}
