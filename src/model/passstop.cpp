// The calling thread's stop scopes.
#include "passstop.h"

namespace {
thread_local const StopScope* innermost = nullptr;
}

StopScope::StopScope(const std::atomic<bool>* flag) : flag_(flag), outer_(innermost) {
    innermost = this;
}

StopScope::~StopScope() {
    innermost = outer_;
}

const StopScope* StopScope::current() {
    return innermost;
}

bool StopScope::requested() const {
    for (const StopScope* s = this; s; s = s->outer_)
        if (s->flag_ && s->flag_->load(std::memory_order_relaxed)) return true;
    return false;
}

StopScope::Adopt::Adopt(const StopScope* scope) : saved_(innermost) {
    innermost = scope;
}

StopScope::Adopt::~Adopt() {
    innermost = saved_;
}

bool stopRequested() {
    return innermost && innermost->requested();
}

void throwIfStopped() {
    if (stopRequested()) throw PassStopped{};
}
