// The render pause against a real thread that loops as the view's render
// thread does, and the auto-reset event underneath it.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "autoresetevent.h"
#include "document.h"
#include "fakes.h"
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

// A document connected to a fake view whose render thread loops.
struct Rig {
    Document doc;
    FakeRenderLink link;
    explicit Rig() {
        doc.connectViews(&link, nullptr);
        doc.newDocument();
    }
};

void waitForFrames(FakeRenderThread& t, long more) {
    long target = t.frames + more;
    for (int i = 0; i < 5000 && t.frames < target; ++i) std::this_thread::sleep_for(1ms);
}

}  // namespace

TEST(RenderPause, EditsHappenOnlyWhileTheRenderThreadIsParked) {
    Rig rig;
    FakeRenderThread render(rig.doc, rig.link);
    for (int round = 0; round < 40; ++round) {
        rig.doc.renderPause();
        ASSERT_TRUE(render.parked) << round;
        long frames = render.frames;
        // Changing the automaton here is safe only because the thread waits.
        rig.doc.selectSphere(rig.doc.root);
        if (round % 3 == 2)
            rig.doc.destroySphere();
        else
            rig.doc.createSphere();
        std::this_thread::sleep_for(1ms);
        EXPECT_EQ(render.frames, frames) << round;
        rig.doc.renderResume();
        waitForFrames(render, 1);
    }
    // The operations paused by themselves as well (the thread was running).
    rig.doc.createSphere();
    rig.doc.destroySphere();
    waitForFrames(render, 2);
    render.stop();
    EXPECT_TRUE(rig.link.shownMessages().empty());
    EXPECT_FALSE(rig.link.docUpdate);
}

TEST(RenderPause, PausesDoNotNest) {
    Rig rig;
    FakeRenderThread render(rig.doc, rig.link);
    rig.doc.renderPause();
    ASSERT_TRUE(render.parked);
    rig.doc.renderPause();  // returns at once, raises nothing
    EXPECT_FALSE(rig.link.docUpdate);
    EXPECT_EQ(rig.doc.renderPaused, 1);
    rig.doc.renderResume();  // the first resume ends the pause
    EXPECT_EQ(rig.doc.renderPaused, 0);
    waitForFrames(render, 3);
    EXPECT_FALSE(render.parked);
    long frames = render.frames;
    waitForFrames(render, 1);
    EXPECT_GT(render.frames, frames);
}

TEST(RenderPause, ResumeWithoutPauseSignalsNothing) {
    Rig rig;
    rig.doc.renderThreadStarted = 1;
    rig.doc.renderResume();
    EXPECT_FALSE(rig.link.completeRender.waitFor(0ms));
}

TEST(RenderPause, ALongPathPassGivesWayAtOnce) {
    Rig rig;
    // A chain of 30 spheres traced at the finest step with one point on its
    // last sphere: one uninterrupted pass samples a million positions through
    // 30 links, seconds of work, while planning it stays short.
    rig.doc.sampleBudget = 1'000'000;
    rig.doc.pathAccuracy = 100;
    rig.doc.setPathAccuracy();
    Sphere* last = nullptr;
    for (int i = 0; i < 30; ++i) {
        last = rig.doc.createSphere();
        last->setRadiusFactor(1, 1);
        last->setRollingRate(1 + i % 3, 7);
    }
    for (Sphere* s : rig.doc.sphereTable)
        if (s) s->points.clear();
    last->addPoint(10, 20, 1.5);
    FakeRenderThread render(rig.doc, rig.link);
    std::this_thread::sleep_for(200ms);  // well inside the first pass
    rig.doc.renderPause();
    EXPECT_TRUE(render.parked);
    EXPECT_TRUE(rig.link.shownMessages().empty());
    EXPECT_EQ(rig.doc.pathsUpToDate, 0);  // the interrupted pass left it unset
    rig.doc.renderResume();
    // Stopping the loop while it computes must also be prompt.
    rig.doc.renderPause();
    render.stop();
    rig.doc.renderResume();
}

TEST(RenderPause, ASlowAnswerShowsTheBusyCursorAndTheEditWaitsForIt) {
    Rig rig;
    // The thread answers only after 1200 ms: a busy machine.
    FakeRenderThread render(rig.doc, rig.link, 1200);
    Sphere* b = rig.doc.findSphereByName("B");
    ASSERT_NE(b, nullptr);
    const std::size_t points = b->points.size();
    rig.doc.applyEdit("Points of B", 0, kPlace | kRewind, [&] {
        EXPECT_TRUE(render.parked);  // still safe to change the automaton
        b->addPoint(0, 0, 1);
    });
    EXPECT_EQ(b->points.size(), points + 1);
    // No message box: its event loop would let other edits in meanwhile.
    EXPECT_EQ(rig.link.shownMessages(), std::vector<std::string>{});
    EXPECT_EQ(rig.link.busy, (std::vector<bool>{true, false}));
    render.stop();
}

TEST(RenderPause, AStaleAnswerDoesNotCountAsParking) {
    Rig rig;
    rig.link.waitRender.signal();  // left over from an earlier hand-over
    FakeRenderThread render(rig.doc, rig.link, 300);
    rig.doc.renderPause();
    EXPECT_TRUE(render.parked);
    rig.doc.renderResume();
    render.stop();
}

TEST(RenderPause, AThreadThatEndsReleasesTheWaitingPause) {
    struct Case {
        const char* what;
        int started, stopped;
    };
    const Case cases[] = {{"never started", 0, 0}, {"already stopped", 1, 1}};
    for (const Case& c : cases) {
        Rig rig;
        rig.doc.renderThreadStarted = c.started;
        rig.doc.renderThreadStopped = c.stopped;
        // Nobody answers: the pause must not hang, and the resume must not
        // leave a signal that would release a later thread too early.
        rig.doc.renderPause();
        rig.doc.renderResume();
        EXPECT_FALSE(rig.link.docUpdate) << c.what;
        EXPECT_FALSE(rig.link.completeRender.waitFor(0ms)) << c.what;
        EXPECT_TRUE(rig.link.shownMessages().empty()) << c.what;
    }
}

TEST(RenderPause, NothingPausesWithoutAView) {
    Document doc;
    doc.renderThreadStarted = 1;
    doc.renderPause();
    EXPECT_EQ(doc.renderPaused, 0);
    EXPECT_FALSE(doc.renderThreadRunning());
}

TEST(RenderPause, OpeningAndNewDocumentKeepTheThreadParkedThroughout) {
    // The observer's calls come inside the operations; at each one the
    // render thread must be parked.
    struct ParkedObserver : RecordingObserver {
        FakeRenderThread* render = nullptr;
        int unparkedCalls = 0;
        void check() {
            if (render && !render->parked) ++unparkedCalls;
        }
        void refreshSpherePages() override { check(); }
        void refreshViewPage() override { check(); }
        void deleteAllTreeItems() override { check(); }
        void* insertTreeItem(Sphere&) override {
            check();
            return nullptr;
        }
    };
    Document doc;
    FakeRenderLink link;
    ParkedObserver seen;
    doc.connectViews(&link, &seen);
    doc.newDocument();
    FakeRenderThread render(doc, link);
    seen.render = &render;
    waitForFrames(render, 2);
    doc.newDocument();
    doc.createSphere();
    doc.destroySphere();
    EXPECT_EQ(seen.unparkedCalls, 0);
    EXPECT_EQ(doc.renderPaused, 0);
    render.stop();
}
