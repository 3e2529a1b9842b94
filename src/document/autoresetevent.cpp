// An auto-reset event on a mutex and a condition variable.
#include "autoresetevent.h"

AutoResetEvent::AutoResetEvent(std::string name) : name_(std::move(name)) {}

void AutoResetEvent::signal() {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        signalled_ = true;
    }
    cv_.notify_one();
}

void AutoResetEvent::reset() {
    std::lock_guard<std::mutex> hold(mutex_);
    signalled_ = false;
}

bool AutoResetEvent::waitFor(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> hold(mutex_);
    if (!cv_.wait_for(hold, timeout, [this] { return signalled_; })) return false;
    signalled_ = false;
    return true;
}

void AutoResetEvent::wait() {
    std::unique_lock<std::mutex> hold(mutex_);
    cv_.wait(hold, [this] { return signalled_; });
    signalled_ = false;
}
