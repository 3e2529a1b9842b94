// The curves' measurement for the window, on a thread of its own: a long
// chain's invariants take longer than a frame, and the frames (and the
// next edit's spheres) must not wait for them.
//
// Threads: measure() and cancel() are called by the render thread; the
// result goes to the document (Document::setCurves, any thread).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "automaton.h"

class Document;

class CurveMeasurer {
  public:
    explicit CurveMeasurer(Document& doc);
    // Stops the measurement under way (within milliseconds) and ends the
    // thread.
    ~CurveMeasurer();
    CurveMeasurer(const CurveMeasurer&) = delete;
    CurveMeasurer& operator=(const CurveMeasurer&) = delete;

    // Measures the curves of a, an automaton with complete paths that
    // nobody changes any more, and reports them as those of revision. A
    // measurement of an older revision under way gives way to it.
    void measure(std::shared_ptr<const Automaton> a, std::uint64_t revision);
    // The measurement under way, if any, is no longer wanted.
    void cancel();
    // Whether a measurement is waiting or under way.
    bool busy() const;

  private:
    void run();

    Document& doc_;
    mutable std::mutex lock_;
    std::condition_variable wake_;
    std::shared_ptr<const Automaton> next_;
    std::uint64_t nextRevision_ = 0;
    bool running_ = false;
    bool quit_ = false;
    // Raised to stop the measurement under way; lowered when one starts.
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
