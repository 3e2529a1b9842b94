// Test doubles for the window side of the document: a render link, a real
// thread that draws scenes as the view's render thread does, and an
// observer that records what it was told.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "automatoncopy.h"
#include "curveinvariants.h"
#include "document.h"
#include "documentobserver.h"
#include "passstop.h"
#include "placement.h"
#include "renderlink.h"
#include "scene.h"
#include "sphere.h"

class FakeRenderLink : public RenderLink {
  public:
    void wakeRenderThread() override { ++wakeUps; }
    void showMessage(const std::string& text) override {
        std::lock_guard<std::mutex> hold(messagesLock);
        messages.push_back(text);
    }
    std::vector<std::string> shownMessages() {
        std::lock_guard<std::mutex> hold(messagesLock);
        return messages;
    }

    std::atomic<int> wakeUps{0};
    std::mutex messagesLock;
    std::vector<std::string> messages;
};

// Loops like the view's render thread: takes the newest scene, works on a
// copy of its own (the paths carried over when only the looks changed),
// samples the paths and measures the curves, giving way to a newer scene.
class FakeRenderThread {
  public:
    explicit FakeRenderThread(Document& doc) : doc_(doc) {
        doc_.renderThreadStopped = 0;
        doc_.renderThreadStarted = 1;
        if (!doc_.scene()) doc_.publish();
        thread_ = std::thread([this] { run(); });
    }
    ~FakeRenderThread() { stop(); }

    void stop() {
        if (!thread_.joinable()) return;
        quit = true;
        doc_.newerScene() = true;
        thread_.join();
        doc_.renderThreadStopped = 1;
    }

    std::atomic<bool> quit{false};
    std::atomic<long> frames{0};
    std::atomic<long> passesStopped{0};
    // The revision whose paths and curves were last completed.
    std::atomic<std::uint64_t> completed{0};

  private:
    void run() {
        std::shared_ptr<const Scene> scene;
        std::unique_ptr<Automaton> work;
        while (!quit) {
            doc_.newerScene() = false;
            std::shared_ptr<const Scene> newest = doc_.scene();
            if (newest && (!scene || newest->revision != scene->revision)) {
                auto copy = copyAutomaton(*newest->automaton);
                if (work) carryPaths(*work, *copy);
                scene = newest;
                work = std::move(copy);
            }
            if (!work) continue;
            PathPassControl control;
            control.stop = &doc_.newerScene();
            PathPassResult pass = frameUpdate(*work, &control);
            if (pass.ran && !pass.completed) {
                ++passesStopped;
                continue;
            }
            if (pass.ran) {
                StopScope scope(&doc_.newerScene());
                try {
                    auto curves = curveInvariants(*work);
                    if (!scope.requested()) doc_.setCurves(scene->revision, std::move(curves));
                } catch (const PassStopped&) {
                    continue;
                }
            }
            if (work->pathsUpToDate) completed = scene->revision;
            ++frames;
            if (!pass.ran) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    Document& doc_;
    std::thread thread_;
};

class RecordingObserver : public DocumentObserver {
  public:
    void refreshSpherePages() override { ++spherePageRefreshes; }
    void refreshViewPage() override { ++viewPageRefreshes; }
    void resetLightPageAllParticles() override { ++lightPageResets; }
    void insertTreeItem(Sphere& s) override { items.push_back(s.name); }
    void selectTreeItem(Sphere& s) override { selected.push_back(s.name); }
    void deleteTreeItem(Sphere& s) override { deletedItems.push_back(s.name); }
    void deleteAllTreeItems() override { ++allItemsDeleted; }
    int swatchForColor(std::uint32_t color) override { return static_cast<int>(color % 97); }
    void updateAllViews() override { ++viewUpdates; }

    int spherePageRefreshes = 0, viewPageRefreshes = 0, lightPageResets = 0;
    int allItemsDeleted = 0, viewUpdates = 0;
    std::vector<std::string> items, selected, deletedItems;
};
