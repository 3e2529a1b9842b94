// Clock and placement of the rolling animation.
#include "rollingplayer.h"

#include <algorithm>
#include <cmath>

bool RollingPlayer::active() const {
    return locked(active_);
}
bool RollingPlayer::playing() const {
    return locked(playing_);
}
void RollingPlayer::play() {
    update([&] {
        active_ = playing_ = true;
        lastNs_ = 0;  // the clock starts with the next frame
    });
}
void RollingPlayer::pause() {
    update([&] { playing_ = false; });
}
void RollingPlayer::togglePlay() {
    bool on = playing();
    if (on)
        pause();
    else
        play();
}
void RollingPlayer::rewind() {
    update([&] {
        active_ = true;
        fraction_ = 0;
        lastNs_ = 0;
    });
}
void RollingPlayer::stop() {
    update([&] {
        active_ = playing_ = false;
        fraction_ = 0;
    });
}
double RollingPlayer::fraction() const {
    return locked(fraction_);
}
void RollingPlayer::setFraction(double f) {
    update([&] {
        active_ = true;
        fraction_ = std::isfinite(f) ? std::clamp(f, 0.0, 1.0) : 0.0;
        lastNs_ = 0;
    });
}
double RollingPlayer::speed() const {
    return locked(speed_);
}
void RollingPlayer::faster() {
    update([&] { speed_ = std::min(kFastest, speed_ * 2); });
}
void RollingPlayer::slower() {
    update([&] { speed_ = std::max(kSlowest, speed_ / 2); });
}
bool RollingPlayer::faintRest() const {
    return locked(faintRest_);
}
void RollingPlayer::setFaintRest(bool on) {
    update([&] { faintRest_ = on; });
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
