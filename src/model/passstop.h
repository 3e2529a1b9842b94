// How a stop request reaches work deep inside a pass: the window's edit,
// Ctrl+C in the Python module, a cancelled export. The code that starts a
// pass opens a StopScope on its thread with the flag it watches; anything
// the pass calls, however deep (exact arithmetic, invariants, tube
// building), polls the scopes of its thread without the flag being passed
// down through every signature. Helper threads of a pass adopt the
// caller's scope, which outlives them.
//
// Long loops poll stopRequested() and return early; the exact arithmetic,
// whose callers cannot all return early, throws PassStopped instead, which
// the code that opened the scope catches.
#pragma once

#include <atomic>

class StopScope {
  public:
    // flag may be null: the scope then adds nothing to the ones around it.
    explicit StopScope(const std::atomic<bool>* flag);
    ~StopScope();
    StopScope(const StopScope&) = delete;
    StopScope& operator=(const StopScope&) = delete;

    // The innermost scope of the calling thread (null: none).
    static const StopScope* current();
    // True when this scope's flag or that of any scope around it is set.
    bool requested() const;

    // For a helper thread: while it lives, the thread polls scope (which
    // must outlive it) as its own.
    class Adopt {
      public:
        explicit Adopt(const StopScope* scope);
        ~Adopt();
        Adopt(const Adopt&) = delete;
        Adopt& operator=(const Adopt&) = delete;

      private:
        const StopScope* saved_;
    };

  private:
    const std::atomic<bool>* flag_;
    const StopScope* outer_;
};

// A stop has been requested of the calling thread's pass.
bool stopRequested();

// Thrown by throwIfStopped from work that cannot return early.
struct PassStopped {};
void throwIfStopped();
