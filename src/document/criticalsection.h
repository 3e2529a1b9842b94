// A lock held only for single reads or writes of the request flags that the
// UI thread and the render thread exchange.
#pragma once

#include <mutex>

// Satisfies Lockable, so std::lock_guard and std::unique_lock work with it.
// Never hold it across a wait on an event: the other thread needs it to
// answer.
class CriticalSection {
  public:
    CriticalSection() = default;
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }
    bool try_lock() { return mutex_.try_lock(); }

  private:
    std::mutex mutex_;
};
