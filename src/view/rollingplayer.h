// The rolling animation's state, shared by the UI thread (the Animate menu,
// its buttons and time slider) and the render thread (which advances the
// clock, places the spheres and draws them rolling).
//
// Threads: every public call takes the player's lock for its own length; the
// render-thread calls (prepare) also use the automaton and must run where
// the automaton may be used (the render thread outside a pause).
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>

#include "automaton.h"
#include "pointpaths.h"
#include "rollingtimeline.h"
#include "spheredrawer.h"

class RollingPlayer {
  public:
    // Seconds one period takes at speed 1.
    static constexpr double kPeriodSeconds = 10.0;
    static constexpr double kSlowest = 0.125, kFastest = 8.0;

    // --- UI thread ---
    // Playing or paused: the spheres are drawn at the animation's time.
    // Stopped: the still picture of time 0 with complete paths.
    bool active() const;
    bool playing() const;
    void play();
    void pause();
    void togglePlay();
    // Back to the start; keeps playing or paused as it was, and starts the
    // animation (paused) when it was stopped.
    void rewind();
    void stop();
    // Fraction of the period, 0..1; starts the animation (paused) when it
    // was stopped.
    double fraction() const;
    void setFraction(double f);
    // Multiples of the normal speed, kept within kSlowest..kFastest.
    double speed() const;
    void faster();
    void slower();
    bool faintRest() const;
    void setFaintRest(bool on);

    // Called on the UI thread after each change above, so that a render
    // thread waiting for something to draw wakes up. Set before use.
    std::function<void()> changed;

    // --- Render thread ---
    // Advances the clock to nowNs (nanoseconds of a steady clock) when
    // playing and places the spheres. pass: the frame update's result, whose
    // recomputed paths make the clock face be worked out again. Returns the
    // drawing options for the frame, or null when the still picture is due.
    const DrawOptions::Rolling* prepare(Automaton& a, const PathPassResult& pass,
                                        std::int64_t nowNs);

  private:
    void notify() const {
        if (changed) changed();
    }
    // A field read under the lock.
    template <class T>
    T locked(const T& field) const {
        std::lock_guard g(lock_);
        return field;
    }
    // A change made under the lock; the listener is told after the lock is
    // let go, so that it may ask the player again.
    template <class Change>
    void update(Change change) {
        {
            std::lock_guard g(lock_);
            change();
        }
        notify();
    }
    mutable std::mutex lock_;
    bool active_ = false;
    bool playing_ = false;
    double fraction_ = 0;
    double speed_ = 1;
    bool faintRest_ = true;
    std::int64_t lastNs_ = 0;
    // Render thread only.
    RollingTimeline timeline_;
    bool timelineReady_ = false;
    double drawnFraction_ = 0;
    DrawOptions::Rolling options_;
};
