// The undo history over the document: random runs of edits undone to the
// start and redone to the end, merged drags, and the modified flag.
#include "undohistory.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <random>

#include "document.h"
#include "editjournal.h"
#include "fakes.h"
#include "sphere.h"

namespace {

Sphere* anySphere(Document& doc, std::mt19937& rng) {
    std::vector<Sphere*> live;
    for (Sphere* s : doc.sphereTable)
        if (s) live.push_back(s);
    if (live.empty()) return nullptr;
    return live[std::uniform_int_distribution<std::size_t>(0, live.size() - 1)(rng)];
}

// One random edit, bracketed as the window brackets it. Some change nothing.
void randomEdit(Document& doc, std::mt19937& rng) {
    EditJournal* j = doc.journal;
    Sphere* s = anySphere(doc, rng);
    switch (std::uniform_int_distribution<int>(0, 7)(rng)) {
        case 0:
        case 1: {
            EditScope e(j, "Create Sphere");
            doc.createSphere();
            break;
        }
        case 2: {
            // Destroying is rarer than creating, so the automaton grows.
            if (s && std::uniform_int_distribution<int>(0, 2)(rng) == 0) {
                doc.selectSphere(s);
                EditScope e(j, "Destroy Sphere");
                doc.destroySphere();
            }
            break;
        }
        case 3: {
            if (!s) break;
            const char* names[] = {"Moon", "B", "ZEROOREZ", "two\nlines", "Sun"};
            EditScope e(j, "Rename " + s->name);
            doc.renameSphere(*s, names[std::uniform_int_distribution<int>(0, 4)(rng)]);
            break;
        }
        case 4: {
            if (!s) break;
            doc.selectSphere(s);
            const int sixths = std::uniform_int_distribution<int>(1, 5)(rng);
            doc.applyEdit("Radius of " + s->name, 1, kRewind | kPlace | kFitCamera,
                          [s, sixths] { s->setRadiusFactor(sixths, 6); });
            break;
        }
        case 5: {
            if (!s) break;
            const auto inside = static_cast<short>(std::uniform_int_distribution<int>(0, 1)(rng));
            doc.applyEdit("Show point paths of " + s->name, 0, kRewind | kPlace, [s, inside] {
                s->showPointPaths = !s->showPointPaths;
                s->inside = inside;
            });
            break;
        }
        case 6: {
            EditScope e(j, "Stereo");
            doc.stereo = !doc.stereo;
            doc.anaglyphScheme = std::uniform_int_distribution<int>(1, 6)(rng);
            break;
        }
        default:
            // Choosing another sphere is no edit.
            if (s) doc.selectSphere(s);
            break;
    }
}

struct RandomRun {
    unsigned seed;
    int edits;
    bool renderThread;
};

}  // namespace

TEST(UndoHistory, RandomEditsUndoToTheStartAndRedoToTheEnd) {
    const RandomRun runs[] = {{1, 40, false}, {2, 60, false}, {3, 25, true}, {4, 80, false}};
    for (const RandomRun& run : runs) {
        SCOPED_TRACE("seed " + std::to_string(run.seed));
        Document doc;
        FakeRenderLink link;
        RecordingObserver observer;
        doc.connectViews(&link, &observer);
        std::unique_ptr<FakeRenderThread> thread;
        if (run.renderThread) thread = std::make_unique<FakeRenderThread>(doc);
        doc.newDocument();
        UndoHistory history(doc);
        doc.journal = &history;

        std::mt19937 rng(run.seed);
        // The state after each step, index = the stack's index.
        std::vector<DocSnapshot> states{doc.takeSnapshot()};
        for (int i = 0; i < run.edits; ++i) {
            randomEdit(doc, rng);
            int index = history.stack().index();
            states.resize(static_cast<std::size_t>(index));
            states.push_back(doc.takeSnapshot());
        }
        const int steps = history.stack().count();
        ASSERT_GT(steps, run.edits / 3);
        while (history.stack().canUndo()) {
            history.stack().undo();
            DocSnapshot now = doc.takeSnapshot();
            const DocSnapshot& want = states[static_cast<std::size_t>(history.stack().index())];
            ASSERT_EQ(now.bytes, want.bytes) << "after undo to " << history.stack().index();
            ASSERT_EQ(now.tableSlots, want.tableSlots);
            ASSERT_EQ(now.treeImages, want.treeImages);
        }
        EXPECT_FALSE(doc.isModified());
        while (history.stack().canRedo()) history.stack().redo();
        DocSnapshot end = doc.takeSnapshot();
        EXPECT_EQ(end.bytes, states.back().bytes);
        EXPECT_EQ(end.tableSlots, states.back().tableSlots);
        EXPECT_TRUE(doc.isModified());
        if (thread) thread->stop();
        doc.disconnectViews();
    }
}

TEST(UndoHistory, ADragIsOneStep) {
    struct Case {
        const char* what;
        // (merge key, numerator / 12); key -1 ends the run, -2 undoes
        std::vector<std::pair<int, int>> radii;
        int steps;
    } cases[] = {
        {"one drag", {{7, 1}, {7, 2}, {7, 3}, {7, 4}}, 1},
        {"two drags", {{7, 1}, {7, 2}, {-1, 0}, {7, 3}, {7, 4}}, 2},
        {"an edit after an undo", {{7, 1}, {-1, 0}, {7, 2}, {-2, 0}, {7, 3}}, 2},
        {"drag back to the start", {{7, 5}, {7, 3}, {7, 6}}, 0},
        {"unmerged clicks", {{0, 1}, {0, 2}, {0, 3}}, 3},
        {"two controls", {{7, 1}, {7, 2}, {8, 3}, {8, 4}}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Document doc;
        doc.newDocument();
        UndoHistory history(doc);
        doc.journal = &history;
        Sphere* b = doc.selectedSphere;
        const std::string start = doc.takeSnapshot().bytes;
        for (auto [key, twelfths] : c.radii) {
            if (key < 0) {
                key == -1 ? history.endRun() : history.stack().undo();
                continue;
            }
            doc.applyEdit("Radius of B", key, kRewind | kPlace | kFitCamera,
                          [b, twelfths] { b->setRadiusFactor(twelfths, 12); });
        }
        EXPECT_EQ(history.stack().count(), c.steps);
        while (history.stack().canUndo()) history.stack().undo();
        EXPECT_EQ(doc.takeSnapshot().bytes, start);
        if (c.steps) {
            history.stack().redo();
            EXPECT_EQ(history.stack().undoText().toStdString(), "Radius of B");
        }
    }
}

TEST(UndoHistory, TheSavedStepIsTheUnmodifiedOne) {
    Document doc;
    doc.newDocument();
    UndoHistory history(doc);
    doc.journal = &history;
    auto create = [&] {
        EditScope e(doc.journal, "Create Sphere");
        doc.createSphere();
    };
    create();
    create();
    EXPECT_TRUE(doc.isModified());
    history.setClean();  // saved with two new spheres
    EXPECT_FALSE(doc.isModified());
    // (action, modified afterwards)
    const std::pair<char, bool> steps[] = {{'u', true},  {'u', true}, {'r', true},
                                           {'r', false}, {'c', true}, {'u', false}};
    for (auto [action, modified] : steps) {
        if (action == 'u') history.stack().undo();
        if (action == 'r') history.stack().redo();
        if (action == 'c') create();
        EXPECT_EQ(doc.isModified(), modified) << action;
    }
    history.clear();
    EXPECT_FALSE(doc.isModified());
    EXPECT_FALSE(history.stack().canUndo());
}

TEST(UndoHistory, UndoRefitsACreationAndKeepsTheTemplateAndTheSelection) {
    Document doc;
    FakeRenderLink link;
    RecordingObserver observer;
    doc.connectViews(&link, &observer);
    doc.newDocument();
    UndoHistory history(doc);
    doc.journal = &history;
    doc.makeTemplate(doc.selectedSphere);
    Sphere* a = doc.root;
    doc.selectSphere(a);
    {
        EditScope e(doc.journal, "Create Sphere");
        doc.createSphere();
    }
    doc.cameraDistance = -123.0;  // the user zoomed
    observer.items.clear();
    observer.selected.clear();
    history.stack().undo();
    // Creating fitted the camera: its undo fits it to what is left.
    const double fitted = doc.cameraDistance;
    doc.fitCameraDistance();
    EXPECT_EQ(doc.cameraDistance, fitted);
    EXPECT_NE(fitted, -123.0);
    // The tree is built anew with the selection shown; the pages follow.
    EXPECT_EQ(observer.items, (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(observer.selected, std::vector<std::string>{"A"});
    EXPECT_GT(observer.spherePageRefreshes, 0);
    ASSERT_NE(doc.scene(), nullptr);
    EXPECT_EQ(doc.scene()->automaton->sphereCount, 2);
    ASSERT_NE(doc.templateSphere, nullptr);
    ASSERT_NE(doc.selectedSphere, nullptr);
    EXPECT_EQ(doc.selectedSphere->name, "A");
    history.stack().redo();
    EXPECT_EQ(doc.selectedSphere->name, "C");
    EXPECT_EQ(doc.sphereCount, 3);
    doc.disconnectViews();
}

TEST(UndoHistory, EdgeStepsGoBackAndForth) {
    struct Case {
        const char* what;
        std::function<void(Document&)> edit;
        int steps;
        std::string selectedBefore;
    } cases[] = {
        {"destroying the root leaves nothing",
         [](Document& d) {
             d.selectSphere(d.root);
             EditScope e(d.journal, "Destroy Sphere");
             d.destroySphere();
             EXPECT_EQ(d.sphereCount, 0);
         },
         1, "A"},
        {"a refused name is no step",
         [](Document& d) {
             EditScope e(d.journal, "Rename B");
             EXPECT_FALSE(d.renameSphere(*d.selectedSphere, "ZEROOREZ"));
         },
         0, "B"},
        {"nested brackets make one step",
         [](Document& d) {
             EditScope outer(d.journal, "Create Sphere");
             d.createSphere();
             EditScope inner(d.journal, "Create Sphere");
             d.createSphere();
         },
         1, "B"},
        {"the stationary sphere and a view mode",
         [](Document& d) {
             EditScope e(d.journal, "Stationary sphere");
             d.stationarySphere = d.selectedSphere;
             d.viewFromStationary = 0;
         },
         1, "B"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Document doc;
        doc.newDocument();
        UndoHistory history(doc);
        doc.journal = &history;
        const DocSnapshot start = doc.takeSnapshot();
        c.edit(doc);
        const DocSnapshot end = doc.takeSnapshot();
        EXPECT_EQ(history.stack().count(), c.steps);
        EXPECT_EQ(doc.isModified(), c.steps > 0);
        if (!c.steps) continue;
        history.stack().undo();
        EXPECT_EQ(doc.takeSnapshot().bytes, start.bytes);
        // The selection of the moment the edit began.
        ASSERT_NE(doc.selectedSphere, nullptr);
        EXPECT_EQ(doc.selectedSphere->name, c.selectedBefore);
        history.stack().redo();
        EXPECT_EQ(doc.takeSnapshot().bytes, end.bytes);
        EXPECT_EQ(doc.stationarySphere == nullptr, end.tableSlots.empty());
    }
}

namespace {
// Child of parent, made as CREATE makes it.
Sphere* childOf(Document& d, Sphere* parent) {
    d.selectSphere(parent);
    return d.createSphere();
}
// A(B, D(E)) where E sits in an earlier slot than its parent D, both named
// "D": by name, E's parent would be E itself.
void selfNamedParent(Document& d) {
    Sphere* b = childOf(d, d.root);
    Sphere* c = childOf(d, d.root);
    d.selectSphere(b);
    d.destroySphere();
    childOf(d, c)->name = c->name;
}
// A(B, B): a second "B", which nothing links to, as a file may have it.
void twinLeaf(Document& d) {
    childOf(d, d.root)->name = "B";
}
// A(B, B(D)): a second "B" with a child, which no file can say.
void twinNames(Document& d) {
    Sphere* twin = childOf(d, d.root);
    childOf(d, twin);
    twin->name = "B";
}
}  // namespace

// One edit on a document, undone and redone: the saved bytes and the links
// come back exactly, the view keeps its rotation, and the camera is fitted
// again exactly when the edit fitted it.
TEST(UndoHistory, UndoAndRedoPutBackExactlyTheEdit) {
    struct Case {
        const char* what;
        std::function<void(Document&)> setUp;
        std::function<void(Document&)> edit;
        bool refits;
    } cases[] = {
        // clang-format off
        {"rename", {}, [](Document& d) {
             d.applyEdit("Rename", 0, 0, [&d] { d.renameSphere(*d.selectedSphere, "Moon"); }); }, false},
        {"radius", {}, [](Document& d) { d.applyEdit("Radius", 0, kRewind | kPlace | kFitCamera,
             [&d] { d.selectedSphere->setRadiusFactor(1000999, 1000); }); }, true},
        {"create", {}, [](Document& d) { EditScope e(d.journal, "Create"); d.createSphere(); }, true},
        {"destroy", {}, [](Document& d) { EditScope e(d.journal, "Destroy"); d.destroySphere(); }, true},
        {"a parent named as its child", selfNamedParent, [](Document& d) {
             d.applyEdit("Inside", 0, kPlace, [&d] { d.selectedSphere->inside = 1; }); }, false},
        {"two spheres of one name", twinNames, [](Document& d) {
             d.applyEdit("Rate", 0, kPlace, [&d] { d.selectedSphere->rollingRate = Rational(3, 2); }); }, false},
        // clang-format on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Document doc;
        doc.newDocument();
        if (c.setUp) c.setUp(doc);
        UndoHistory history(doc);
        doc.journal = &history;
        const DocSnapshot before = doc.takeSnapshot();
        c.edit(doc);
        const DocSnapshot after = doc.takeSnapshot();
        ASSERT_EQ(history.stack().count(), 1);
        const unitquaternion turned(1.0, {0, 1, 0});
        for (bool undo : {true, false}) {
            doc.cameraController.setOrientation(turned);  // the user turned the view
            doc.cameraDistance = -123.0;                  // ... and zoomed
            undo ? history.stack().undo() : history.stack().redo();
            const DocSnapshot now = doc.takeSnapshot();
            const DocSnapshot& want = undo ? before : after;
            EXPECT_EQ(now.bytes, want.bytes);
            EXPECT_EQ(now.links, want.links);
            EXPECT_EQ(now.preOrder, want.preOrder);
            EXPECT_EQ(doc.cameraController.orientation().w, turned.w);
            const double distance = doc.cameraDistance;
            doc.fitCameraDistance();
            EXPECT_EQ(distance == doc.cameraDistance, c.refits);
            EXPECT_EQ(distance == -123.0, !c.refits);
        }
    }
}

// What a file cannot say is not saved; what it can is read back the same.
TEST(UndoHistory, SaveWritesOnlyWhatOpenReadsBackTheSame) {
    const std::pair<void (*)(Document&), bool> cases[] = {{[](Document&) {}, true},
                                                              {twinLeaf, true},
                                                              {twinNames, false},
                                                              {selfNamedParent, false}};
    for (auto [setUp, saved] : cases) {
        Document doc;
        doc.newDocument();
        setUp(doc);
        const std::string path = ::testing::TempDir() + "/roundtrip.one";
        std::remove(path.c_str());
        DocResult r = doc.saveDocument(path);
        EXPECT_EQ(r.ok, saved) << r.reason;
        if (!saved) continue;
        Document back;
        ASSERT_TRUE(back.openDocument(path).ok);
        EXPECT_EQ(back.takeSnapshot().links, doc.takeSnapshot().links);
    }
}

TEST(UndoHistory, ASnapshotThatCannotBePutBackChangesNothing) {
    Document doc;
    FakeRenderLink link;
    doc.connectViews(&link, nullptr);
    doc.newDocument();
    DocSnapshot bad = doc.takeSnapshot();
    bad.links.at(3) = 1;  // B its own parent
    const DocSnapshot now = doc.takeSnapshot();
    EXPECT_FALSE(doc.restoreSnapshot(bad));
    EXPECT_TRUE(doc.takeSnapshot().sameContents(now));
    EXPECT_EQ(link.shownMessages(), std::vector<std::string>{Document::kRestoreFailed});
    doc.disconnectViews();
}
