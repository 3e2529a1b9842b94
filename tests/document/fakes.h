// Test doubles for the window side of the document: a render link whose
// render thread is a real thread looping as the view's will, and an
// observer that records what it was told.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "document.h"
#include "documentobserver.h"
#include "renderlink.h"
#include "sphere.h"

class FakeRenderLink : public RenderLink {
  public:
    std::mutex& requestLock() override { return lock; }
    bool docUpdateRequested() const override { return docUpdate; }
    void setDocUpdateRequest(bool on) override { docUpdate = on; }
    void setTextureAssignmentRequest(bool on) override { textureRequest = on; }
    AutoResetEvent& docUpdateWaitRender() override { return waitRender; }
    AutoResetEvent& docUpdateCompleteRender() override { return completeRender; }
    void showMessage(const std::string& text) override {
        std::lock_guard<std::mutex> hold(messagesLock);
        messages.push_back(text);
    }
    void showBusy(bool on) override { busy.push_back(on); }  // the UI thread's own
    std::vector<std::string> shownMessages() {
        std::lock_guard<std::mutex> hold(messagesLock);
        return messages;
    }

    std::mutex lock;
    bool docUpdate = false;
    bool textureRequest = false;
    AutoResetEvent waitRender{"DocUpdateWaitRender"};
    AutoResetEvent completeRender{"DocUpdateCompleteRender"};
    std::mutex messagesLock;
    std::vector<std::string> messages;
    std::vector<bool> busy;
};

// Loops like the view's render thread: serve a pending document update by
// parking, otherwise Step and read the automaton.
class FakeRenderThread {
  public:
    FakeRenderThread(Document& doc, FakeRenderLink& link, int answerDelayMs = 0)
        : doc_(doc), link_(link), answerDelayMs_(answerDelayMs) {
        doc_.renderThreadStopped = 0;
        doc_.renderThreadStarted = 1;
        thread_ = std::thread([this] { run(); });
    }
    ~FakeRenderThread() { stop(); }

    void stop() {
        if (!thread_.joinable()) return;
        quit = true;
        link_.completeRender.signal();
        thread_.join();
        doc_.renderThreadStopped = 1;
    }

    std::atomic<bool> quit{false};
    std::atomic<bool> parked{false};
    std::atomic<long> frames{0};
    std::atomic<long> spheresSeen{0};

  private:
    void run() {
        while (!quit) {
            if (answerDelayMs_ > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(answerDelayMs_));
                answerDelayMs_ = 0;
            }
            bool park = false;
            {
                std::lock_guard<std::mutex> hold(link_.requestLock());
                if (link_.docUpdateRequested()) {
                    link_.setDocUpdateRequest(false);
                    park = true;
                }
            }
            if (park) {
                parked = true;
                link_.waitRender.signal();
                // A render thread that goes on after a time-out would read a
                // changing automaton: keep waiting.
                while (!link_.completeRender.waitFor(std::chrono::milliseconds(2000)) && !quit) {
                }
                parked = false;
                continue;
            }
            doc_.step();
            long seen = 0;
            for (Sphere* s : doc_.sphereTable)
                if (s) seen += static_cast<long>(s->points.size()) + 1;
            spheresSeen = seen;
            ++frames;
        }
    }

    Document& doc_;
    FakeRenderLink& link_;
    int answerDelayMs_;
    std::thread thread_;
};

class RecordingObserver : public DocumentObserver {
  public:
    void refreshSpherePages() override { ++spherePageRefreshes; }
    void refreshViewPage() override { ++viewPageRefreshes; }
    void resetLightPageAllParticles() override { ++lightPageResets; }
    void* insertTreeItem(Sphere& s) override {
        items.push_back(s.name);
        return reinterpret_cast<void*>(items.size());
    }
    void selectTreeItem(Sphere& s) override { selected.push_back(s.name); }
    void deleteTreeItem(Sphere& s) override { deletedItems.push_back(s.name); }
    void deleteAllTreeItems() override { ++allItemsDeleted; }
    int swatchForColor(std::uint32_t color) override { return static_cast<int>(color % 97); }
    void releaseTextureSlot(Sphere& s) override { releasedTextures.push_back(s.name); }
    void updateAllViews() override { ++viewUpdates; }

    int spherePageRefreshes = 0, viewPageRefreshes = 0, lightPageResets = 0;
    int allItemsDeleted = 0, viewUpdates = 0;
    std::vector<std::string> items, selected, deletedItems, releasedTextures;
};
