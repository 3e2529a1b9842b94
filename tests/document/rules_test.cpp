// The editing rules: each rule at its boundaries with its message, and
// createSphere(parent, settings) refusing before it makes anything.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>

#include "document.h"
#include "documentrules.h"
#include "relations.h"
#include "sphere.h"

namespace {

// A(B(C)): B is the time master, A the root and the size unit.
struct Abc {
    Document doc;
    Sphere *a, *b, *c;
    Abc() {
        doc.newDocument();
        a = doc.root;
        b = doc.selectedSphere;
        c = doc.createSphere();
    }
};

}  // namespace

TEST(Rules, FactorPartsAtTheirBounds) {
    struct Case {
        long long whole, numerator, denominator;
        std::string why;
    };
    const Case cases[] = {
        {0, 1, 1000, ""},
        {1000, 999, 1000, ""},
        {0, 0, 7, "radius must be greater than 0"},
        {-1, 5, 1, "radius must be greater than 0"},
        {1, -1, 1, "radius must be greater than 0"},
        {1001, 0, 1, "the whole number of radius must be from 0 to 1000"},
        {1, 1001, 1, "the numerator of radius must be from 0 to 1000"},
        {1, 0, 0, "the denominator of radius must be from 1 to 1000"},
        {1, 0, 1001, "the denominator of radius must be from 1 to 1000"},
        // The whole number is judged first, as the dialog's first field.
        {5000, 5000, 0, "the whole number of radius must be from 0 to 1000"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(rules::factorRefusal("radius", c.whole, c.numerator, c.denominator), c.why)
            << c.whole << " " << c.numerator << "/" << c.denominator;
}

TEST(Rules, FactorsHeldAsFractions) {
    struct Case {
        Rational x;
        std::string why;
    };
    const Case cases[] = {
        {Rational(1000999, 1000), ""},
        {Rational(1, 1000), ""},
        {Rational(0), "rate must be greater than 0"},
        {Rational(-3, 2), "rate must be greater than 0"},
        {Rational(1, 1001), "the denominator of rate must be from 1 to 1000"},
        {Rational(1001), "the whole number of rate must be from 0 to 1000"},
        {Rational(2001, 2), ""},  // 1000 1/2
    };
    for (const Case& c : cases) EXPECT_EQ(rules::factorRefusal("rate", c.x), c.why) << c.x;
}

// Each rule on A(B(C)) with the message it gives; "" where it allows.
TEST(Rules, EachRuleWithItsMessage) {
    struct Case {
        const char* what;
        std::function<std::string(Abc&)> ask;
        std::string why;
    };
    auto points = [](Sphere& s, int n) {
        while (s.pointCount() < n) s.addPoint(0, 0, 1);
    };
    const Case cases[] = {
        {"fifth point added",
         [&](Abc& t) {
             points(*t.c, 5);
             return rules::addPointRefusal(*t.c);
         },
         ""},
        {"seventh point refused",
         [&](Abc& t) {
             points(*t.c, 6);
             return rules::addPointRefusal(*t.c);
         },
         "You can only specify 6 points per sphere."},
        {"point 0 stays", [](Abc&) { return rules::pointChangeRefusal(0); },
         "point 0 is the sphere's centre: it cannot be removed or changed"},
        {"point 1 moves", [](Abc&) { return rules::pointChangeRefusal(1); }, ""},
        {"accuracy 0", [](Abc&) { return rules::accuracyRefusal(0); }, ""},
        {"accuracy 100", [](Abc&) { return rules::accuracyRefusal(100); }, ""},
        {"accuracy -1", [](Abc&) { return rules::accuracyRefusal(-1); },
         "accuracy must be a whole number from 0 to 100"},
        {"accuracy 101", [](Abc&) { return rules::accuracyRefusal(101); },
         "accuracy must be a whole number from 0 to 100"},
        {"size unit's radius", [](Abc& t) { return rules::radiusFixed(t.doc, *t.a); },
         "A is the unit of size: its radius is 1."},
        {"B's radius", [](Abc& t) { return rules::radiusFixed(t.doc, *t.b); }, ""},
        {"root's rate", [](Abc& t) { return rules::rateFixed(t.doc, *t.a); },
         "A is the root: nothing rolls it."},
        {"time master's rate", [](Abc& t) { return rules::rateFixed(t.doc, *t.b); },
         "B sets the clock: it rolls one cycle distance per time unit."},
        {"C's rate", [](Abc& t) { return rules::rateFixed(t.doc, *t.c); }, ""},
        {"C sized by A", [](Abc& t) { return rules::referenceRefusal(t.doc, *t.c, *t.a, kRadius); },
         ""},
        {"B sized by C, which B sizes",
         [](Abc& t) { return rules::referenceRefusal(t.doc, *t.b, *t.c, kRadius); },
         "C cannot be the size reference of B: it depends on B."},
        {"C sized by itself",
         [](Abc& t) { return rules::referenceRefusal(t.doc, *t.c, *t.c, kRadius); },
         "C cannot be the size reference of C: it depends on C."},
        {"C timed by the root",
         [](Abc& t) { return rules::referenceRefusal(t.doc, *t.c, *t.a, kTime); },
         "A cannot be the time reference of C: it depends on C."},
        {"time master timed",
         [](Abc& t) { return rules::referenceRefusal(t.doc, *t.b, *t.c, kTime); },
         "B sets the clock: it has no time reference."},
        {"size unit sized",
         [](Abc& t) { return rules::referenceRefusal(t.doc, *t.a, *t.b, kRadius); },
         "A is the unit of size: it has no size reference."},
        {"name with spaces around", [](Abc& t) { return t.doc.nameRefusal(*t.c, " Moon\t"); }, ""},
        {"A with a space is A", [](Abc& t) { return t.doc.nameRefusal(*t.c, "A "); },
         "A sphere named A already exists."},
        {"a space alone", [](Abc& t) { return t.doc.nameRefusal(*t.c, " "); },
         "A sphere needs a name."},
        {"a tab alone", [](Abc& t) { return t.doc.nameRefusal(*t.c, "\t"); },
         "A sphere needs a name."},
        {"own name with a space", [](Abc& t) { return t.doc.nameRefusal(*t.c, " C"); }, ""},
        {"new sphere's taken name", [](Abc& t) { return t.doc.nameRefusal(nullptr, "C"); },
         "A sphere named C already exists."},
    };
    for (const Case& c : cases) {
        Abc t;
        EXPECT_EQ(c.ask(t), c.why) << c.what;
    }
}

TEST(Rules, RenameStoresTheTrimmedName) {
    Abc t;
    ASSERT_TRUE(t.doc.renameSphere(*t.c, "  Moon "));
    EXPECT_EQ(t.c->name, "Moon");
    EXPECT_FALSE(t.doc.renameSphere(*t.c, "B "));
    EXPECT_EQ(t.c->name, "Moon");
    EXPECT_EQ(t.doc.lastError(), "A sphere named B already exists.");
}

// A file may already hold names with spaces, even two that trim alike:
// reading it refuses nothing.
TEST(Rules, FilesWithUntrimmedNamesStillLoad) {
    Abc t;
    t.b->name = "A ";
    t.c->name = " ";
    const std::string path =
        (std::filesystem::temp_directory_path() / "rules_untrimmed_names.one").string();
    ASSERT_TRUE(t.doc.saveDocument(path));
    Document back;
    ASSERT_TRUE(back.openDocument(path)) << back.lastError();
    std::remove(path.c_str());
    ASSERT_EQ(back.sphereCount, 3);
    EXPECT_EQ(back.sphereTable[1]->name, "A ");
    EXPECT_EQ(back.sphereTable[2]->name, " ");
}

// createSphere(parent, settings): refused settings leave the automaton as
// it was; accepted ones replace CREATE's values.
TEST(Rules, CreateSphereWithSettings) {
    struct Case {
        const char* what;
        SphereSettings settings;
        std::string why;
        double revolution;  // of the new sphere, when made under A beside B
    };
    auto with = [](auto change) {
        SphereSettings s;
        change(s);
        return s;
    };
    const Case cases[] = {
        {"CREATE's defaults: identical to B", {}, "", 60},
        {"radius 0", with([](SphereSettings& s) { s.radius = Rational(0); }),
         "radius must be greater than 0", 0},
        {"rate 1/1001", with([](SphereSettings& s) { s.rate = Rational(1, 1001); }),
         "the denominator of rate must be from 1 to 1000", 0},
        {"blank name", with([](SphereSettings& s) { s.name = "  "; }), "A sphere needs a name.", 0},
        {"B again, spaced", with([](SphereSettings& s) { s.name = "B\t"; }),
         "A sphere named B already exists.", 0},
        {"another radius: no turn", with([](SphereSettings& s) { s.radius = Rational(1, 3); }), "",
         0},
        {"inside: no turn", with([](SphereSettings& s) { s.inside = true; }), "", 0},
        {"an angle given", with([](SphereSettings& s) { s.initialRevolution = 10.0; }), "", 10},
    };
    for (const Case& c : cases) {
        Document doc;
        doc.newDocument();
        const int before = doc.sphereCount;
        Sphere* s = doc.createSphere(doc.root, c.settings);
        EXPECT_EQ(doc.lastError(), c.why) << c.what;
        if (!c.why.empty()) {
            EXPECT_EQ(s, nullptr) << c.what;
            EXPECT_EQ(doc.sphereCount, before) << c.what;
            continue;
        }
        ASSERT_NE(s, nullptr) << c.what;
        EXPECT_EQ(s->parent, doc.root) << c.what;
        EXPECT_EQ(s->initialRevolution, c.revolution) << c.what;
    }
}

TEST(Rules, CreateSphereNamesAndClock) {
    Document doc;
    Sphere* root = doc.createSphere(nullptr, SphereSettings{});
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(doc.createSphere(nullptr, SphereSettings{}), nullptr);
    EXPECT_EQ(doc.lastError(), "The automaton has a root already.");
    // The first child sets the clock: it rolls at rate 1.
    SphereSettings fast;
    fast.rate = Rational(2);
    EXPECT_EQ(doc.createSphere(root, fast), nullptr);
    EXPECT_EQ(doc.lastError(), rules::kNewClock);
    SphereSettings named;
    named.name = " Moon ";
    Sphere* moon = doc.createSphere(root, named);
    ASSERT_NE(moon, nullptr);
    EXPECT_EQ(moon->name, "Moon");
    EXPECT_EQ(doc.timeMaster, moon);
    // Later children take any rate in range.
    Sphere* next = doc.createSphere(root, fast);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->rollingRate, Rational(2));
}

TEST(Rules, SentenceForTheWindow) {
    EXPECT_EQ(rules::sentence(rules::kPointZero),
              "Point 0 is the sphere's centre: it cannot be removed or changed.");
    EXPECT_EQ(rules::sentence("done."), "Done.");
}
