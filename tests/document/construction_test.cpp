// CREATE, DESTROY and TEMPLATE: names, levels, colours, roles, spreading,
// re-linking and the limits of the table.
#include <gtest/gtest.h>

#include "document.h"
#include "fakes.h"
#include "onefile.h"
#include "relations.h"
#include "sphere.h"

namespace {

// A chain: every creation goes under the sphere created just before.
std::vector<Sphere*> createChain(Document& doc, int n) {
    std::vector<Sphere*> made;
    for (int i = 0; i < n; ++i) made.push_back(doc.createSphere());
    return made;
}

}  // namespace

TEST(Construction, NewDocumentHoldsRootAAndChildB) {
    Document doc;
    doc.newDocument();
    ASSERT_EQ(doc.sphereCount, 2);
    Sphere* a = doc.sphereTable[0];
    Sphere* b = doc.sphereTable[1];
    EXPECT_EQ(a->name, "A");
    EXPECT_EQ(b->name, "B");
    EXPECT_EQ(doc.root, a);
    EXPECT_EQ(doc.stationarySphere, a);
    EXPECT_EQ(doc.radiusRoot, a);
    EXPECT_EQ(doc.timeMaster, b);
    EXPECT_EQ(doc.referenceChild, b);
    EXPECT_EQ(doc.selectedSphere, b);
    EXPECT_EQ(b->parent, a);
    EXPECT_EQ(b->radiusReference, a);
    EXPECT_EQ(b->timeReference, nullptr);
    EXPECT_EQ(doc.nextNameLetter, 'C');
    EXPECT_EQ(b->radiusFactor, Rational(1, 2));
    EXPECT_EQ(b->rollingRate, Rational(1, 1));
    ASSERT_EQ(b->points.size(), 1u);
    EXPECT_FALSE(doc.isModified());
}

TEST(Construction, NamesRunThroughBothAlphabetsAndRoundAgain) {
    Document doc;
    auto made = createChain(doc, 106);
    // Round again, every letter is taken: a number tells them apart; a
    // letter freed by a rename is taken before the numbered ones.
    made[53]->name = "Moon";
    const std::pair<int, const char*> expected[] = {{0, "A"},  {25, "Z"},  {26, "a"},
                                                    {51, "z"}, {52, "A2"}, {105, "B3"}};
    EXPECT_EQ(doc.createSphere()->name, "B2");
    made[1]->name = "Sun";
    EXPECT_EQ(doc.createSphere()->name, "B");
    for (auto [index, name] : expected)
        EXPECT_EQ(made[static_cast<std::size_t>(index)]->name, name);
}

TEST(Construction, ANameLetterThatIsNoLetterRestartsAtA) {
    // A file may carry any byte as the next letter; a line feed would make a
    // name that cannot be saved.
    for (unsigned char letter : {'\n', '\r', '0', '\xff', '['}) {
        Document doc;
        doc.newDocument();
        doc.nextNameLetter = letter;
        Sphere* s = doc.createSphere();
        EXPECT_TRUE(Document::isStorableName(s->name));
        // "A" and "B" are taken.
        EXPECT_EQ(s->name, letter == '[' ? "a" : "C") << int(letter);
    }
}

TEST(Construction, LevelsColourAndWrapAfterEight) {
    Document doc;
    auto made = createChain(doc, 11);
    const int images[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 0, 1};
    for (std::size_t i = 0; i < made.size(); ++i) {
        EXPECT_EQ(made[i]->treeImage, images[i]) << i;
        EXPECT_EQ(made[i]->color, kLevelColors[images[i]]) << i;
    }
    // A parent with a swatch image of its own (a file's colour) starts over.
    made.back()->treeImage = 40;
    EXPECT_EQ(doc.createSphere()->treeImage, 0);
}

TEST(Construction, IdenticalSiblingsAreSpreadBySixtyDegrees) {
    struct Case {
        const char* what;
        std::function<void(Sphere&)> change;  // applied to the second child
        double thirdAngle;
    };
    const Case cases[] = {
        {"all identical", [](Sphere&) {}, 120.0},
        {"second inside", [](Sphere& s) { s.inside = 1; }, 60.0},
        {"second anti-clockwise", [](Sphere& s) { s.antiClockwise = 1; }, 60.0},
        {"second radius 1/3", [](Sphere& s) { s.setRadiusFactor(1, 3); }, 60.0},
    };
    for (const Case& c : cases) {
        Document doc;
        doc.newDocument();
        Sphere* a = doc.root;
        doc.selectSphere(a);
        Sphere* second = doc.createSphere();  // "B" is the first child
        EXPECT_EQ(second->initialRevolution, 60.0) << c.what;
        c.change(*second);
        doc.selectSphere(a);
        EXPECT_EQ(doc.createSphere()->initialRevolution, c.thirdAngle) << c.what;
    }
}

TEST(Construction, TemplateSettingsGoToEveryNewSphere) {
    Document doc;
    doc.newDocument();
    Sphere* b = doc.selectedSphere;
    b->points.clear();
    b->addPoint(1, 2, 3);
    b->addPoint(4, 5, 6);
    b->addPoint(7, 8, 9);
    b->setRadiusFactor(2, 5);
    b->setRollingRate(-3, 2);
    b->initialRevolution = 15;
    b->surface = 2;
    b->showCentersLine = 1;
    b->dynamic = 1;
    doc.makeTemplate(b);
    ASSERT_NE(doc.templateSphere, nullptr);
    EXPECT_EQ(doc.templateSphere->name, "Template");
    EXPECT_EQ(doc.slotOf(doc.templateSphere), -1);
    doc.makeTemplate(b);  // a second TEMPLATE does not double the points
    EXPECT_EQ(doc.templateSphere->points.size(), 3u);

    doc.selectSphere(doc.root);
    Sphere* c = doc.createSphere();
    EXPECT_EQ(c->points.size(), 3u);
    EXPECT_EQ(c->points[2].quantumDistance, 9);
    EXPECT_EQ(c->radiusFactor, Rational(2, 5));
    EXPECT_EQ(c->rollingRate, Rational(-3, 2));
    EXPECT_EQ(c->surface, 2);
    EXPECT_EQ(c->showCentersLine, 1);
    EXPECT_EQ(c->dynamic, 1);
    EXPECT_EQ(c->color, kLevelColors[1]);  // its own level's colour
    EXPECT_EQ(c->name, "C");
    // "B" has radius 2/5 too: an identical sibling, so 15 + 60.
    EXPECT_EQ(c->initialRevolution, 75.0);
    doc.makeTemplate(nullptr);  // nothing selected: nothing happens
    EXPECT_EQ(doc.templateSphere->points.size(), 3u);
}

TEST(Construction, DestroyingTheTimeMasterHandsOverToTheNextChild) {
    Document doc;
    doc.newDocument();
    Sphere* b = doc.selectedSphere;
    doc.createSphere();  // "C" under "B"
    doc.selectSphere(doc.root);
    Sphere* d = doc.createSphere();
    d->setRollingRate(7, 3);
    doc.selectSphere(doc.root);
    Sphere* e = doc.createSphere();
    ASSERT_EQ(e->timeReference, b);

    doc.selectSphere(b);
    doc.destroySphere();
    EXPECT_EQ(doc.sphereCount, 3);
    EXPECT_EQ(doc.timeMaster, d);
    EXPECT_EQ(d->rollingRate, Rational(1, 1));
    EXPECT_EQ(d->timeReference, nullptr);  // the master has none
    EXPECT_EQ(e->timeReference, d);        // survivors move to the new master
    EXPECT_EQ(doc.selectedSphere, doc.root);
    EXPECT_EQ(doc.referenceChild, d);
    EXPECT_EQ(doc.slotOf(d), 3);  // slots are not compacted
    EXPECT_EQ(doc.sphereTable[1], nullptr);
    EXPECT_EQ(doc.findSphereByName("E"), e);  // slot 4, past the count of 3
    EXPECT_TRUE(doc.isModified());
}

TEST(Construction, DestroyingTheOnlyChildLeavesNoTimeMaster) {
    Document doc;
    doc.newDocument();
    doc.destroySphere();  // "B"
    EXPECT_EQ(doc.timeMaster, nullptr);
    EXPECT_EQ(doc.referenceChild, nullptr);  // gone with "B", not reset below two spheres
    Sphere* c = doc.createSphere();
    EXPECT_EQ(c->parent, doc.root);
    EXPECT_EQ(doc.timeMaster, c);
    EXPECT_EQ(doc.slotOf(c), 1);
}

TEST(Construction, RadiusDependantsOfDestroyedSpheresMoveToTheRadiusRoot) {
    Document doc;
    doc.newDocument();
    Sphere* b = doc.selectedSphere;
    doc.selectSphere(doc.root);
    Sphere* c = doc.createSphere();
    attach(*c, *b, kRadius);
    doc.selectSphere(b);
    doc.destroySphere();
    EXPECT_EQ(c->radiusReference, doc.radiusRoot);
}

TEST(Construction, DestroyingTheStationarySphereMakesTheRootStationary) {
    Document doc;
    doc.newDocument();
    Sphere* c = doc.createSphere();
    doc.stationarySphere = c;
    doc.selectSphere(doc.findSphereByName("B"));
    doc.destroySphere();
    EXPECT_EQ(doc.stationarySphere, doc.root);
    EXPECT_EQ(doc.step().completed, true);
    EXPECT_EQ(doc.pathsUpToDate, 1);
}

TEST(Construction, DestroyingTheRootEmptiesTheAutomaton) {
    Document doc;
    RecordingObserver seen;
    doc.connectViews(nullptr, &seen);
    doc.newDocument();
    doc.selectSphere(doc.root);
    doc.destroySphere();
    EXPECT_EQ(doc.sphereCount, 0);
    for (Sphere* role : {doc.root, doc.radiusRoot, doc.timeMaster, doc.stationarySphere,
                         doc.referenceChild, doc.selectedSphere})
        EXPECT_EQ(role, nullptr);
    EXPECT_EQ(seen.deletedItems.size(), 2u);
    doc.destroySphere();  // nothing left: nothing happens
    EXPECT_EQ(doc.sphereCount, 0);
    Sphere* c = doc.createSphere();
    EXPECT_EQ(c->name, "C");
    EXPECT_EQ(doc.root, c);
    EXPECT_EQ(doc.stationarySphere, c);
    EXPECT_EQ(doc.radiusRoot, c);
    EXPECT_EQ(doc.slotOf(c), 0);
}

TEST(Construction, CreatingWithNothingSelectedStaysInTheTree) {
    Document doc;
    doc.newDocument();
    doc.selectSphere(nullptr);
    Sphere* c = doc.createSphere();
    EXPECT_EQ(c->parent, doc.root);
    Document again;
    OneFile::read(std::string_view(OneFile::write(doc)), again);
    EXPECT_EQ(again.sphereCount, 3);
}

TEST(Construction, TheThreeHundredFirstSphereIsRefused) {
    Document doc;
    FakeRenderLink link;
    doc.connectViews(&link, nullptr);
    doc.newDocument();
    doc.selectSphere(doc.root);
    for (int i = 2; i < 300; ++i) {
        ASSERT_NE(doc.createSphere(), nullptr);
        doc.selectSphere(doc.root);
    }
    EXPECT_EQ(doc.sphereCount, 300);
    unsigned char letter = doc.nextNameLetter;
    EXPECT_EQ(doc.createSphere(), nullptr);
    EXPECT_EQ(doc.sphereCount, 300);
    EXPECT_EQ(doc.nextNameLetter, letter);
    EXPECT_EQ(doc.lastError(), "An automaton holds at most 300 spheres.");
    EXPECT_EQ(link.shownMessages(),
              std::vector<std::string>{"An automaton holds at most 300 spheres."});
    EXPECT_EQ(treeSpheres(doc).size(), 300u);
    // Room again after a destruction.
    doc.selectSphere(doc.sphereTable[150]);
    doc.destroySphere();
    EXPECT_NE(doc.createSphere(), nullptr);
    EXPECT_EQ(doc.slotOf(doc.selectedSphere), 150);
}

TEST(Construction, TreeItemsFollowCreationAndDestruction) {
    Document doc;
    RecordingObserver seen;
    doc.connectViews(nullptr, &seen);
    doc.newDocument();
    EXPECT_EQ(seen.items, (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(seen.selected, (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(seen.allItemsDeleted, 1);
    doc.createSphere();
    doc.selectSphere(doc.findSphereByName("B"));
    doc.destroySphere();
    EXPECT_EQ(seen.deletedItems, (std::vector<std::string>{"C", "B"}));
    EXPECT_EQ(seen.selected.back(), "A");
}

TEST(Construction, RenamingRefusesLineBreaks) {
    struct Case {
        std::string name;
        bool accepted;
        std::string why = {};
    };
    // "ZEROOREZ" marks "no sphere" in files: a sphere of that name would
    // take every empty link when the file is read again. Files and undo
    // tell spheres apart by name: no two alike, and none empty.
    const Case cases[] = {{"Earth", true},
                          {"", false, "A sphere needs a name."},
                          {"two words", true},
                          {"a\nb", false},
                          {"a\r", false},
                          {"\r\n", false},
                          {"ZEROOREZ", false},
                          {"ZEROOREZ2", true},
                          {"A", false, "A sphere named A already exists."},
                          {"a", true}};
    for (const Case& c : cases) {
        Document doc;
        doc.newDocument();
        Sphere* b = doc.selectedSphere;
        EXPECT_EQ(doc.renameSphere(*b, c.name), c.accepted) << c.name;
        EXPECT_EQ(b->name, c.accepted ? c.name : "B");
        EXPECT_EQ(doc.isModified(), c.accepted);
        if (!c.accepted) {
            EXPECT_FALSE(doc.lastError().empty());
        }
        if (!c.why.empty()) EXPECT_EQ(doc.lastError(), c.why);
    }
}
