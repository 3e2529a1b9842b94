// The exact motion kept with each sphere against the same quantities worked
// out from scratch by walking the chains, after every kind of edit that
// must make the kept values stale; and the limit on common periods.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "curveinvariants.h"
#include "fixtures.h"
#include "passstop.h"

namespace {

// From scratch, the textbook way: products up the chains, the link period
// as 1 / kappa of the link's child, and the common period as
// lcm(numerators over L) / L with L the lcm of the denominators.
BigRational radiusFromScratch(const Sphere& s) {
    BigRational r = 1;
    for (const Sphere* x = &s; x->radiusReference; x = x->radiusReference)
        r *= toBig(x->radiusFactor);
    return r;
}

BigRational speedFromScratch(const Automaton& a, const Sphere& s) {
    BigRational k = toBig(s.rollingRate);
    for (const Sphere* x = &s; x != a.timeMaster && x->timeReference; x = x->timeReference)
        k *= toBig(x->timeReference->rollingRate);
    return k;
}

BigRational periodFromScratch(const Automaton& a, const std::vector<Sphere*>& list) {
    std::vector<BigRational> t;
    for (std::size_t i = 1; i < list.size(); ++i) {
        const Sphere& child = list[i]->parent == list[i - 1] ? *list[i] : *list[i - 1];
        t.push_back(1 / speedFromScratch(a, child));
    }
    BigInt l = 1, m = 1;
    for (const auto& x : t) l = lcmOf(l, boost::multiprecision::denominator(x));
    for (const auto& x : t) m = lcmOf(m, boost::multiprecision::numerator(BigRational(x * l)));
    return BigRational(m, l);
}

// Root A, time master B, then a chain C..J below B with mixed factors and
// rates, and K below J and a side branch S off C, both timed by E.
struct Chain : TestAutomaton {
    std::map<std::string, Sphere*> by;
    Chain() {
        Sphere* s = &add("A", nullptr, Rational(1));
        by["A"] = s;
        s = by["B"] = &add("B", s, Rational(1, 2));
        const Rational factors[] = {{2, 3}, {3, 5}, {5, 7}, {1, 2}, {4, 9}, {7, 8}, {2, 5}, {5, 6}};
        const Rational rates[] = {{3, 2}, {5, 3}, {7, 4}, {2, 7}, {9, 5}, {4, 3}, {6, 5}, {8, 7}};
        for (int i = 0; i < 8; ++i) {
            std::string name(1, char('C' + i));
            s = by[name] = &add(name, s, factors[i]);
            s->rollingRate = rates[i];
            s->addPoint(30.0 * i, 20, 1);
        }
        Sphere& k = *(by["K"] = &add("K", by["J"], Rational(1, 3)));
        k.rollingRate = Rational(3, 4);
        attach(k, *by["E"], kTime);
        k.addPoint(10, 50, 1);
        Sphere& side = *(by["S"] = &add("S", by["C"], Rational(1, 4)));
        side.rollingRate = Rational(5, 2);
        attach(side, *by["E"], kTime);
        side.addPoint(0, 0, 1);
        periodTurnLimit = kNoPeriodLimit;
    }
};

// Everything kept, worked out once (so that a later query could use it).
void askAll(Automaton& a) {
    MotionCache cache(a);
    for (Sphere* s : treeSpheres(a)) {
        (void)relativeRadius(*s);
        if (s->parent) (void)revolutionRate(a, *s, *s->parent);
        (void)planPath(a, *s, &cache);
    }
}

void expectAsFromScratch(Automaton& a, const std::string& edit) {
    MotionCache cache(a);
    for (Sphere* s : treeSpheres(a)) {
        SCOPED_TRACE(edit + ", sphere " + s->name);
        EXPECT_EQ(relativeRadius(*s), radiusFromScratch(*s));
        if (s->parent) {
            // A child goes D * kappa times round its parent per time unit.
            BigRational ratio = radiusFromScratch(*s->parent) / radiusFromScratch(*s);
            BigRational want =
                BigRational(boost::multiprecision::denominator(ratio)) * speedFromScratch(a, *s);
            EXPECT_EQ(*revolutionRate(a, *s, *s->parent), want);
        }
        PathPlan plan = planPath(a, *s, &cache);
        if (plan.list.size() < 2) continue;
        ASSERT_TRUE(plan.period);
        EXPECT_EQ(*plan.period, periodFromScratch(a, plan.list));
    }
}

TEST(ExactMotion, KeptValuesFollowEveryEditAsAFreshComputationWould) {
    struct Case {
        const char* edit;
        std::function<void(Chain&)> apply;
    } cases[] = {
        {"rate of a middle sphere", [](Chain& c) { c.by["F"]->rollingRate = Rational(11, 13); }},
        {"rate of a sphere others are timed by",
         [](Chain& c) { c.by["E"]->rollingRate = Rational(13, 6); }},
        {"radius of a middle sphere", [](Chain& c) { c.by["E"]->radiusFactor = Rational(9, 11); }},
        {"radius reference moved",
         [](Chain& c) { ASSERT_TRUE(attach(*c.by["G"], *c.by["C"], kRadius)); }},
        {"time reference moved",
         [](Chain& c) { ASSERT_TRUE(attach(*c.by["H"], *c.by["D"], kTime)); }},
        {"time reference moved to the master and back",
         [](Chain& c) {
             ASSERT_TRUE(attach(*c.by["K"], *c.timeMaster, kTime));
             askAll(c);
             ASSERT_TRUE(attach(*c.by["K"], *c.by["E"], kTime));
         }},
        {"another time master", [](Chain& c) { c.timeMaster = c.by["C"]; }},
        {"another stationary sphere", [](Chain& c) { c.stationarySphere = c.by["F"]; }},
        {"destroyed middle sphere, its time dependants re-linked",
         [](Chain& c) {
             c.destroyInProgress = 1;
             markDoomed(c, *c.by["E"]);
             destroySubtree(c, c.by["E"]);
             c.destroyInProgress = 0;
         }},
        {"destroyed, and new spheres where the old ones lived",
         [](Chain& c) {
             c.destroyInProgress = 1;
             markDoomed(c, *c.by["G"]);
             destroySubtree(c, c.by["G"]);
             c.destroyInProgress = 0;
             Sphere* s = c.by["F"];
             for (int i = 0; i < 4; ++i) {
                 s = &c.add("N" + std::to_string(i), s, Rational(3 + i, 10));
                 s->rollingRate = Rational(7, 2 + i);
                 s->addPoint(0, 90, 1);
             }
         }},
        {"rate and radius edited and undone",
         [](Chain& c) {
             Rational rate = c.by["F"]->rollingRate, radius = c.by["D"]->radiusFactor;
             c.by["F"]->rollingRate = Rational(17, 3);
             c.by["D"]->radiusFactor = Rational(1, 9);
             askAll(c);
             c.by["F"]->rollingRate = rate;
             c.by["D"]->radiusFactor = radius;
         }},
    };
    for (const auto& c : cases) {
        Chain chain;
        askAll(chain);
        c.apply(chain);
        expectAsFromScratch(chain, c.edit);
    }
}

TEST(ExactMotion, PeriodsPastTheSampleBudgetsTurnsAreNamedNotWorkedOut) {
    // Rates 1/p for coprime p: the common period of the k-th sphere is the
    // product of k of the p, 10^6k turns of the master.
    TestAutomaton a;
    Sphere* s = &a.add("A");
    s = &a.add("B", s, Rational(1, 2));
    for (int p : {1000003, 999983, 999979, 999961}) {
        s = &a.add(std::to_string(p), s, Rational(1, 2));
        s->rollingRate = Rational(1, p);
        s->addPoint(0, 0, 1);
    }
    a.sampleBudget = 5000;
    a.periodTurnLimit = 2'000'000;
    reset(a);
    struct Case {
        const char* sphere;
        bool exact;
    } cases[] = {{"1000003", true}, {"999983", false}, {"999961", false}};
    for (const auto& c : cases) {
        Sphere* x = nullptr;
        for (Sphere* t : treeSpheres(a))
            if (t->name == c.sphere) x = t;
        PathPlan plan = planPath(a, *x);
        EXPECT_EQ(bool(plan.period), c.exact) << c.sphere;
        EXPECT_EQ(plan.longerThanTurns, c.exact ? 0u : 2'000'000u) << c.sphere;
        EXPECT_EQ(plan.samples > 0, c.exact) << c.sphere;
    }
    EXPECT_EQ(periodTooLongText(5000), "period longer than 5000 turns");
    PathPassResult r = frameUpdate(a);
    EXPECT_TRUE(r.completed);
    EXPECT_FALSE(a.root->firstChild()->firstChild()->points[0].path.empty());
    EXPECT_TRUE(s->points[0].path.empty());
    // The curve says so too.
    CurveSymmetry sym = curveSymmetry(a, *s, 0);
    EXPECT_EQ(sym.kind, CurveSymmetry::None);
    EXPECT_EQ(sym.longerThanTurns, 2'000'000u);
    bool named = false;
    for (const CurveInvariants& c : curveInvariants(a))
        if (c.sphere == s->name) named = describeCurve(c) == "period longer than 2000000 turns";
    EXPECT_TRUE(named);
}

TEST(ExactMotion, BoundedCommonPeriodAgreesWithTheUnboundedOne) {
    const std::vector<BigRational> periods = {BigRational(991, 997), BigRational(977, 983),
                                              BigRational(967, 971), BigRational(6, 4)};
    const BigRational all = commonPeriod(periods);
    EXPECT_EQ(*commonPeriodWithin(periods, all), all);
    EXPECT_FALSE(commonPeriodWithin(periods, all - BigRational(1, 1000)));
    EXPECT_EQ(all, BigRational(BigInt(991) * 977 * 967 * 3));
}

TEST(ExactMotion, AStopRequestEndsTheArithmeticAndThePass) {
    TestAutomaton a;
    Sphere* s = &a.add("A");
    for (int i = 0; i < 40; ++i) {
        s = &a.add("S" + std::to_string(i), s, Rational(97, 101));
        s->rollingRate = Rational(101 + i, 97);
        s->addPoint(0, 90, 1);
    }
    std::atomic<bool> stop{true};
    {
        StopScope scope(&stop);
        EXPECT_THROW(relativeRadius(*s), PassStopped);
        EXPECT_FALSE(frameUpdate(a).completed);
        EXPECT_TRUE(curveInvariants(a).empty());
    }
    // Outside the scope everything is worked out, and agrees with scratch.
    EXPECT_EQ(relativeRadius(*s), radiusFromScratch(*s));
    EXPECT_TRUE(frameUpdate(a).completed);
}

}  // namespace
