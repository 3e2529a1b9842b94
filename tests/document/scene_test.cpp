// The scenes the document publishes for the window, drawn by a real thread
// that works as the view's render thread does, and the auto-reset event
// that wakes that thread.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "autoresetevent.h"
#include "document.h"
#include "fakes.h"
#include "onefile.h"
#include "relations.h"
#include "sphere.h"

using namespace std::chrono_literals;

TEST(AutoResetEvent, OneSignalLetsOneWaiterThrough) {
    struct Case {
        const char* what;
        int signalsBefore;
        bool resetBefore;
        std::vector<bool> waits;  // results of successive short waits
    };
    const Case cases[] = {
        {"no signal times out", 0, false, {false}},
        {"a kept signal passes once", 1, false, {true, false}},
        {"two signals count as one", 2, false, {true, false}},
        {"reset drops a kept signal", 1, true, {false}},
    };
    for (const Case& c : cases) {
        AutoResetEvent e("test");
        for (int i = 0; i < c.signalsBefore; ++i) e.signal();
        if (c.resetBefore) e.reset();
        for (bool expected : c.waits) EXPECT_EQ(e.waitFor(10ms), expected) << c.what;
    }
}

TEST(AutoResetEvent, WakesAWaiterOnAnotherThread) {
    AutoResetEvent e("DocUpdateWaitRender");
    EXPECT_EQ(e.name(), "DocUpdateWaitRender");
    std::thread t([&] {
        std::this_thread::sleep_for(20ms);
        e.signal();
    });
    EXPECT_TRUE(e.waitFor(5000ms));
    t.join();
}

namespace {

// The starter automaton whose B is a thousand times A's size with six
// points and a child C (a third of B, rate 8/3, six points): its paths take
// long enough that edits land inside path passes.
void makeHeavy(Document& doc) {
    doc.newDocument();
    // Within a smaller budget: the sanitizers run this thirty times slower.
    doc.sampleBudget = 60'000;
    Sphere* b = doc.findSphereByName("B");
    doc.applyEdit("heavy", 0, kPlace, [&] {
        b->setRadiusFactor(1000, 1);
        while (b->pointCount() < 6) b->addPoint(30.0 * b->pointCount(), 45, 1);
    });
    doc.selectSphere(b);
    Sphere* c = doc.createSphere();
    doc.applyEdit("child", 0, kPlace, [&] {
        c->setRadiusFactor(1, 3);
        c->setRollingRate(8, 3);
        while (c->pointCount() < 6) c->addPoint(60.0 * c->pointCount(), 10, 1);
    });
}

void loadDeepChain(Document& doc) {
    ASSERT_TRUE(doc.openDocument(ROTUNDEL_EXAMPLES "/deep-chain.one"));
    doc.sampleBudget = 60'000;
}

Sphere* pick(Document& doc, std::mt19937& rng) {
    std::vector<Sphere*> live;
    for (Sphere* s : doc.sphereTable)
        if (s) live.push_back(s);
    if (live.empty()) return nullptr;
    return live[std::uniform_int_distribution<std::size_t>(0, live.size() - 1)(rng)];
}

// One of the window's kinds of edit, the same for every document given the
// same generator state: a radius, a rate, an axis, a colour, a name, a
// point, CREATE, DESTROY, an undo (a snapshot put back) or an open.
void randomEdit(Document& doc, std::mt19937& rng, std::vector<DocSnapshot>& undo,
                const std::string& file) {
    const int kind = std::uniform_int_distribution<int>(0, 9)(rng);
    const int n = std::uniform_int_distribution<int>(1, 9)(rng);
    Sphere* s = pick(doc, rng);
    if (kind < 7) undo.push_back(doc.takeSnapshot());
    if (!s && kind != 9) return;
    switch (kind) {
        case 0:
            doc.applyEdit("radius", 0, kPlace | kFitCamera, [&] { s->setRadiusFactor(n, 4); });
            break;
        case 1:
            if (s != doc.timeMaster)
                doc.applyEdit("rate", 0, kPlace, [&] { s->setRollingRate(n, 3); });
            break;
        case 2:
            doc.applyEdit("axis", 0, kPlace, [&] { s->axisAngleX = 10.0 * n; });
            break;
        case 3:
            doc.applyEdit("colour", 0, 0, [&] { s->color = 0x010101u * static_cast<unsigned>(n); });
            break;
        case 4:
            doc.applyEdit("name", 0, 0, [&] { doc.renameSphere(*s, s->name + "x"); });
            break;
        case 5:
            if (s->pointCount() < 6)
                doc.applyEdit("point", 0, kPlace, [&] { s->addPoint(10.0 * n, 5.0 * n, 1); });
            break;
        case 6:
            doc.selectSphere(s);
            if (n < 5 && doc.sphereCount < 12)
                doc.createSphere();
            else if (s != doc.root)
                doc.destroySphere();
            break;
        case 7:
        case 8:
            if (!undo.empty()) {
                doc.restoreSnapshot(undo.back());
                undo.pop_back();
            }
            break;
        case 9:
            if (n == 1) doc.openDocument(file);
            break;
    }
}

}  // namespace

// Every change the window makes ends in exactly one new scene, however its
// parts nest, and the scene holds what the document holds; a document
// without a view copies nothing.
TEST(Scenes, EachChangePublishesOneSceneOfWhatTheDocumentHolds) {
    struct Case {
        const char* what;
        std::function<void(Document&)> change;
    } cases[] = {
        {"CREATE", [](Document& d) { d.createSphere(); }},
        {"DESTROY", [](Document& d) { d.destroySphere(); }},
        {"an edit",
         [](Document& d) {
             d.applyEdit("r", 0, kPlace | kFitCamera,
                         [&] { d.root->firstChild()->setRadiusFactor(1, 3); });
         }},
        {"nested changes",
         [](Document& d) {
             Document::Change outer(d);
             Document::Change inner(d);
             d.curvesOnly = true;
         }},
        {"new document", [](Document& d) { d.newDocument(); }},
        {"undo",
         [](Document& d) {
             DocSnapshot before = d.takeSnapshot();
             d.createSphere();
             const auto after = d.revision();
             d.restoreSnapshot(before);
             EXPECT_EQ(d.revision(), after + 1);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Document doc;
        FakeRenderLink link;
        doc.connectViews(&link, nullptr);
        doc.newDocument();
        doc.selectSphere(doc.root->firstChild());
        const auto before = doc.revision();
        const int wakeUps = link.wakeUps;
        c.change(doc);
        EXPECT_GT(doc.revision(), before);
        EXPECT_EQ(link.wakeUps - wakeUps, static_cast<int>(doc.revision() - before));
        auto scene = doc.scene();
        ASSERT_NE(scene, nullptr);
        EXPECT_EQ(scene->revision, doc.revision());
        EXPECT_EQ(scene->curvesOnly, doc.curvesOnly);
        EXPECT_TRUE(sameMotion(*scene->automaton, doc));
        // The scene is a copy: its spheres are not the document's.
        for (int i = 0; i < Automaton::kTableSize; ++i)
            if (doc.sphereTable[i]) {
                EXPECT_NE(scene->automaton->sphereTable[i], doc.sphereTable[i]);
                EXPECT_EQ(scene->automaton->sphereTable[i]->name, doc.sphereTable[i]->name);
            }
    }
    Document alone;
    alone.newDocument();
    alone.createSphere();
    EXPECT_EQ(alone.scene(), nullptr);
    EXPECT_EQ(alone.revision(), 0u);
}

// A copy keeps the paths of the one it replaces only when the spheres move
// as before; its placement agrees with an independent placement.
TEST(Scenes, ACopyKeepsThePathsOnlyWhenOnlyTheLooksChanged) {
    struct Case {
        const char* what;
        std::function<void(Document&, Sphere&)> edit;
        bool kept;
    } cases[] = {
        {"colour", [](Document&, Sphere& b) { b.color = 0x123456; }, true},
        {"name", [](Document& d, Sphere& b) { d.renameSphere(b, "Moon"); }, true},
        {"surface", [](Document&, Sphere& b) { b.surface = 0; }, true},
        {"radius", [](Document&, Sphere& b) { b.setRadiusFactor(1, 3); }, false},
        {"rate", [](Document&, Sphere& b) { b.setRollingRate(2, 5); }, false},
        {"point", [](Document&, Sphere& b) { b.points[0].quantumDistance = 0.5; }, false},
        {"stationary", [](Document& d, Sphere& b) { d.stationarySphere = &b; }, false},
        {"new sphere", [](Document& d, Sphere&) { d.createSphere(); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Document doc;
        doc.newDocument();
        Sphere& b = *doc.root->firstChild();
        b.addPoint(0, 0, 1);
        doc.selectSphere(&b);
        auto drawn = copyAutomaton(doc);
        frameUpdate(*drawn);
        ASSERT_TRUE(drawn->pathsUpToDate);
        c.edit(doc, b);
        auto next = copyAutomaton(doc);
        carryPaths(*drawn, *next);
        EXPECT_EQ(next->pathsUpToDate != 0, c.kept);
        const int slot = doc.slotOf(&b);
        const Sphere& nb = *next->sphereTable[static_cast<std::size_t>(slot)];
        EXPECT_EQ(nb.points[1].path.empty(), !c.kept);
        if (c.kept) continue;
        // Sampled afresh, the copy has the paths the document itself gets.
        frameUpdate(*next);
        doc.step({}, false);
        ASSERT_EQ(nb.points.size(), b.points.size());
        EXPECT_EQ(nb.points[1].path, b.points[1].path);
    }
}

// Random edits, undos and opens while a thread draws the scenes as the
// window does: no edit is lost (the last scene is the document, and the
// thread finishes its paths and curves), and the document ends as the same
// edits leave a document without a window.
TEST(Scenes, RandomEditsAgainstARunningRenderThreadLoseNothing) {
    namespace fs = std::filesystem;
    struct Case {
        const char* what;
        void (*make)(Document&);
        unsigned seed;
    } cases[] = {{"heavy", makeHeavy, 5}, {"deep chain", loadDeepChain, 9}};
    const std::string file = (fs::temp_directory_path() / "rotundel-scenes-test.one").string();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Document doc, plain;
        FakeRenderLink link;
        doc.connectViews(&link, nullptr);
        c.make(doc);
        c.make(plain);
        ASSERT_TRUE(doc.saveDocument(file));
        doc.sampleBudget = plain.sampleBudget = 60'000;
        FakeRenderThread render(doc);
        std::mt19937 rngA(c.seed), rngB(c.seed), pace(c.seed);
        std::vector<DocSnapshot> undoA, undoB;
        for (int i = 0; i < 200; ++i) {
            randomEdit(doc, rngA, undoA, file);
            randomEdit(plain, rngB, undoB, file);
            doc.sampleBudget = plain.sampleBudget = 60'000;
            // Now and then the thread gets far enough to sample and measure.
            if (pace() % 8 == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(pace() % 20));
        }
        EXPECT_EQ(doc.takeSnapshot().bytes, plain.takeSnapshot().bytes);
        // A last publication carries the last budget; then the thread must
        // catch up with it.
        { Document::Change settle(doc); }
        const auto last = doc.revision();
        for (int i = 0; i < 60000 && render.completed < last; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_EQ(render.completed, last);
        EXPECT_EQ(doc.curvesRevision(), last);
        EXPECT_TRUE(sameMotion(*doc.scene()->automaton, doc));
        render.stop();
        std::printf("%s: %ld frames, %ld passes stopped by an edit\n", c.what, render.frames.load(),
                    render.passesStopped.load());
        EXPECT_GT(render.frames, 0);
    }
    fs::remove(file);
}
