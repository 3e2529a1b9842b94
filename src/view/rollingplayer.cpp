// Clock and placement of the rolling animation.
#include "rollingplayer.h"

#include <algorithm>
#include <cmath>

bool RollingPlayer::active() const {
    std::lock_guard g(lock_);
    return active_;
}
bool RollingPlayer::playing() const {
    std::lock_guard g(lock_);
    return playing_;
}
void RollingPlayer::play() {
    {
        std::lock_guard g(lock_);
        active_ = playing_ = true;
        lastNs_ = 0;  // the clock starts with the next frame
    }
    notify();
}
void RollingPlayer::pause() {
    {
        std::lock_guard g(lock_);
        playing_ = false;
    }
    notify();
}
void RollingPlayer::togglePlay() {
    bool on = playing();
    if (on)
        pause();
    else
        play();
}
void RollingPlayer::rewind() {
    {
        std::lock_guard g(lock_);
        active_ = true;
        fraction_ = 0;
        lastNs_ = 0;
    }
    notify();
}
void RollingPlayer::stop() {
    {
        std::lock_guard g(lock_);
        active_ = playing_ = false;
        fraction_ = 0;
    }
    notify();
}
double RollingPlayer::fraction() const {
    std::lock_guard g(lock_);
    return fraction_;
}
void RollingPlayer::setFraction(double f) {
    {
        std::lock_guard g(lock_);
        active_ = true;
        fraction_ = std::isfinite(f) ? std::clamp(f, 0.0, 1.0) : 0.0;
        lastNs_ = 0;
    }
    notify();
}
double RollingPlayer::speed() const {
    std::lock_guard g(lock_);
    return speed_;
}
void RollingPlayer::faster() {
    {
        std::lock_guard g(lock_);
        speed_ = std::min(kFastest, speed_ * 2);
    }
    notify();
}
void RollingPlayer::slower() {
    {
        std::lock_guard g(lock_);
        speed_ = std::max(kSlowest, speed_ / 2);
    }
    notify();
}
bool RollingPlayer::faintRest() const {
    std::lock_guard g(lock_);
    return faintRest_;
}
void RollingPlayer::setFaintRest(bool on) {
    {
        std::lock_guard g(lock_);
        faintRest_ = on;
    }
    notify();
}

const DrawOptions::Rolling* RollingPlayer::prepare(Automaton& a, const PathPassResult& pass,
                                                   std::int64_t nowNs) {
    {
        std::lock_guard g(lock_);
        if (!active_) {
            timelineReady_ = false;
            return nullptr;
        }
        if (playing_) {
            if (lastNs_ != 0) {
                // A frame that took long (a path computation) moves the clock
                // on by at most half a second, not by the whole wait.
                double seconds = std::clamp((nowNs - lastNs_) * 1e-9, 0.0, 0.5);
                fraction_ += seconds * speed_ / kPeriodSeconds;
                fraction_ -= std::floor(fraction_);
            }
            lastNs_ = nowNs;
        }
        drawnFraction_ = fraction_;
        options_.faintRest = faintRest_;
    }
    // Paths not there yet (a computation was interrupted): the still picture.
    if (!a.pathsUpToDate || !a.root || !a.stationarySphere) return nullptr;
    if (pass.ran || !timelineReady_) timeline_ = RollingTimeline(a);
    timelineReady_ = true;
    timeline_.place(a, drawnFraction_);
    options_.pathShown = [this](const Sphere& s) { return timeline_.pathShown(s, drawnFraction_); };
    return &options_;
}
