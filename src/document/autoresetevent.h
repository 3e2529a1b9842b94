// An auto-reset event: one waiter passes per signal, and the event closes
// again as it lets that waiter through.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

// Thread-safe: any thread may signal, reset or wait. A signal given while
// nobody waits is kept until the next wait takes it; several signals before
// a wait count as one.
class AutoResetEvent {
  public:
    explicit AutoResetEvent(std::string name = {});
    AutoResetEvent(const AutoResetEvent&) = delete;
    AutoResetEvent& operator=(const AutoResetEvent&) = delete;

    // The name used in time-out messages, e.g. "DocUpdateWaitRender".
    const std::string& name() const { return name_; }

    void signal();
    // Drops a signal that nobody has taken yet.
    void reset();
    // Waits until signalled, taking the signal. False when the time ran out
    // first (the signal, if one comes later, stays for the next wait).
    bool waitFor(std::chrono::milliseconds timeout);
    void wait();

  private:
    std::string name_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool signalled_ = false;
};
