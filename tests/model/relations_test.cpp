// The three relations: ordered dependant lists, refused cycles, destruction
// with re-linking, list rules and walks.
#include <gtest/gtest.h>

#include <vector>

#include "fixtures.h"

namespace {
std::vector<std::string> dependants(const Sphere& s, int kind) {
    std::vector<std::string> out;
    for (Sphere* d = s.firstDependant[kind]; d; d = d->nextSibling[kind]) out.push_back(d->name);
    return out;
}
std::vector<std::string> names(const std::vector<Sphere*>& v) {
    std::vector<std::string> out;
    for (auto* s : v) out.push_back(s->name);
    return out;
}
using Names = std::vector<std::string>;
}  // namespace

TEST(Sphere, FreshSphereHasTheInitialValues) {
    Sphere s("X");
    EXPECT_EQ(s.radiusFactor, Rational(1));
    EXPECT_EQ(s.rollingRate, Rational(1));
    EXPECT_EQ(s.surface, 1);
    EXPECT_EQ(s.color, 0xffffffu);
    EXPECT_EQ(s.showCentersLine, 0);
    EXPECT_EQ(s.showPerpendicularAxis + s.showRevolutionAxis + s.showGreatCircle +
                  s.showRotationAxis + s.showPointPaths,
              5);
    EXPECT_EQ(s.dynamicForwardZ, 1);
    EXPECT_EQ(s.dynamicForwardX, 1);
    EXPECT_TRUE(s.points.empty());
    EXPECT_EQ(s.textureFile, "earth256.bmp");
    EXPECT_EQ(s.parentName, "pre-birth");
    EXPECT_EQ(s.radiusReferenceName, "fetus");
    EXPECT_EQ(s.timeReferenceName, "genesis");
}

TEST(Sphere, RemovingAPointPastTheEndRemovesNothing) {
    Sphere s;
    s.addPoint(1, 2, 3);
    s.addPoint(4, 5, 6);
    s.removePoint(7);
    EXPECT_EQ(s.pointCount(), 2);
    s.removePoint(0);
    ASSERT_EQ(s.pointCount(), 1);
    EXPECT_EQ(s.points[0].pointAngleZ, 4);
}

TEST(Relations, DependantListsKeepAttachmentOrderAndReattachGoesLast) {
    TestAutomaton a;
    Sphere& r = a.add("A");
    Sphere& b = a.add("B");
    Sphere& c = a.add("C");
    Sphere& d = a.add("D");
    EXPECT_EQ(dependants(r, kParent), (Names{"B", "C", "D"}));
    ASSERT_TRUE(attach(b, c, kRadius));  // move B's radius reference from A to C
    EXPECT_EQ(dependants(r, kRadius), (Names{"C", "D"}));
    ASSERT_TRUE(attach(b, r, kRadius));
    EXPECT_EQ(dependants(r, kRadius), (Names{"C", "D", "B"}));
    EXPECT_EQ(b.radiusReference, &r);
    EXPECT_EQ(dependants(c, kRadius), Names{});
    (void)d;
}

TEST(Relations, LinksThatWouldCloseACycleAreRefused) {
    TestAutomaton a;
    Sphere& r = a.add("A");
    Sphere& b = a.add("B");
    Sphere& c = a.add("C", &b);
    Sphere& d = a.add("D", &c);
    struct Case {
        Sphere* dependant;
        Sphere* reference;
        int kind;
        bool accepted;
    } cases[] = {
        {&b, &d, kParent, false},  // a child of its own descendant
        {&b, &b, kParent, false},  // its own parent
        {&b, &d, kRadius, false},  // radius chain D -> C -> B -> B
        {&c, &c, kTime, false},    // its own time reference
        {&b, &c, kTime, false},    // C already times itself by B
        {&d, &c, kTime, true},     // D times itself by C instead of B
        {&c, &d, kTime, false},    // ... so C can no longer time itself by D
        {&d, &b, kRadius, true},   // a shortcut, no cycle
    };
    for (const auto& k : cases) {
        Sphere* before = k.dependant->reference(k.kind);
        EXPECT_EQ(attach(*k.dependant, *k.reference, k.kind), k.accepted)
            << k.dependant->name << " -> " << k.reference->name << " kind " << k.kind;
        if (!k.accepted) {
            EXPECT_EQ(k.dependant->reference(k.kind), before);
        }
    }
    (void)r;
}

TEST(Relations, DestroyRelinksSurvivorsToRadiusRootInTheirFormerOrder) {
    TestAutomaton a;
    Sphere& r = a.add("A");
    Sphere& b = a.add("B");  // time master
    Sphere& x = a.add("X");  // will be destroyed
    Sphere& p = a.add("P");
    Sphere& q = a.add("Q");
    Sphere& s = a.add("S");
    for (Sphere* d : {&q, &p, &s}) ASSERT_TRUE(attach(*d, x, kRadius));
    a.destroyInProgress = 1;
    markDoomed(a, x);
    destroySubtree(a, &x);
    a.destroyInProgress = 0;
    EXPECT_EQ(dependants(r, kRadius), (Names{"B", "Q", "P", "S"}));
    EXPECT_EQ(dependants(r, kParent), (Names{"B", "P", "Q", "S"}));
    EXPECT_EQ(a.sphereCount, 5);
    EXPECT_EQ(a.slotOf(nullptr), 2);  // X's slot is empty, not compacted
    (void)b;
}

TEST(Relations, DestroyDoesNotRelinkDoomedDependantsAndHandsTimeToTheMaster) {
    TestAutomaton a;
    a.add("A");
    Sphere& b = a.add("B");  // time master
    Sphere& x = a.add("X");
    Sphere& y = a.add("Y", &x);
    Sphere& z = a.add("Z");
    ASSERT_TRUE(attach(y, x, kTime));
    ASSERT_TRUE(attach(z, x, kTime));
    a.destroyInProgress = 1;
    markDoomed(a, x);
    EXPECT_EQ(a.sphereCount, 3);
    destroySubtree(a, &x);
    EXPECT_EQ(dependants(b, kTime), (Names{"Z"}));
    EXPECT_EQ(z.timeReference, &b);
}

TEST(Relations, DestroyingEverythingRelinksNothing) {
    auto* a = new TestAutomaton;
    Sphere& r = a->add("A");
    a->add("B");
    Sphere& c = a->add("C");
    a->stationarySphere = &c;
    a->destroyInProgress = a->destroyingEverything = 1;
    markDoomed(*a, r);
    EXPECT_EQ(a->sphereCount, 0);
    EXPECT_EQ(a->stationarySphere, nullptr);
    destroySubtree(*a, &r);
    for (auto* slot : a->sphereTable) EXPECT_EQ(slot, nullptr);
    a->root = nullptr;
    delete a;
}

TEST(Relations, ListsLeaveOutSelectedRadiusDependantsAndTheRootFromTime) {
    TestAutomaton a;
    Sphere& r = a.add("A");
    Sphere& b = a.add("B");
    Sphere& c = a.add("C", &b);  // radius of C depends on B
    Sphere& d = a.add("D");
    ASSERT_TRUE(attach(d, c, kRadius));  // and D's on C, so on B too
    EXPECT_EQ(names(fillList(a, ListKind::Radius, &b)), (Names{"A"}));  // not C, not D
    auto time = fillList(a, ListKind::Time, &c);
    ASSERT_EQ(time.size(), 2u);  // B and D: not the root, not C itself
    EXPECT_EQ(time[0], &b);
    EXPECT_EQ(time[1], &d);
    EXPECT_EQ(fillList(a, ListKind::Stationary, &c).size(), 4u);
    (void)r;
}

TEST(Relations, NeighbourTraversalGoesUpThenDownNeverBack) {
    TestAutomaton a;
    Sphere& r = a.add("A");
    Sphere& b = a.add("B");
    a.add("C");
    Sphere& d = a.add("D", &b);
    a.add("E", &b);
    a.stationarySphere = &d;
    std::vector<std::string> order;
    forEachNeighbour(a.stationarySphere, [&](Sphere& s, Sphere*) { order.push_back(s.name); });
    EXPECT_EQ(order, (Names{"D", "B", "A", "C", "E"}));
    (void)r;
}

TEST(Relations, WalksTerminateOnLoopingLinks) {
    TestAutomaton a;
    Sphere& r = a.add("A");
    Sphere& b = a.add("B");
    Sphere& c = a.add("C", &b);
    // What a damaged file could produce: parent pointers that loop.
    Sphere* savedParent = b.parent;
    b.parent = &c;
    int visits = 0;
    forEachNeighbour(&c, [&](Sphere&, Sphere*) { ++visits; });
    EXPECT_LE(visits, 3);
    EXPECT_TRUE(findPathList(a, c).empty() || findPathList(a, c).size() <= 3);
    b.parent = savedParent;
    // A radius chain that loops: the relative radius still comes back.
    b.radiusReference = &c;
    c.radiusReference = &b;
    (void)relativeRadius(c);
    b.radiusReference = &r;
    c.radiusReference = &b;
}

TEST(Relations, PathListFollowsAncestorsOrDescendantsOnly) {
    TestAutomaton a;
    a.add("A");
    Sphere& b = a.add("B");
    Sphere& c = a.add("C");
    Sphere& d = a.add("D", &b);
    a.stationarySphere = &b;
    EXPECT_EQ(names(findPathList(a, d)), (Names{"B", "D"}));
    EXPECT_EQ(names(findPathList(a, *a.root)), (Names{"B", "A"}));
    EXPECT_TRUE(findPathList(a, c).empty());  // a sibling branch
    EXPECT_EQ(names(findPathList(a, b)), (Names{"B"}));
}

TEST(Relations, StationaryWithinAndExtent) {
    TestAutomaton a;
    Sphere& r = a.add("A");
    Sphere& b = a.add("B");
    Sphere& c = a.add("C", &b);
    a.stationarySphere = &c;
    EXPECT_TRUE(stationaryWithin(a, b));
    EXPECT_TRUE(stationaryWithin(a, c));
    a.stationarySphere = &r;
    EXPECT_FALSE(stationaryWithin(a, b));
    c.center = {3, 4, 0};
    b.center = {1, 0, 0};
    EXPECT_DOUBLE_EQ(extent(a), 5.0);
}
