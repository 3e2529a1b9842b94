// The clock of the rolling animation: one common period after which every
// sphere is back where it started, the exact time at any fraction of it, and
// how much of each traced path has been drawn by then.
//
// Built from the automaton as it stands; holds sphere addresses, so it is
// built again whenever the automaton changes (every change recomputes the
// paths, which is the moment to do it).
#pragma once

#include <unordered_map>

#include "automaton.h"
#include "rational.h"
#include "sphere.h"

class RollingTimeline {
  public:
    // Fractions of the period are turned into exact times on this grid.
    static constexpr std::int64_t kSteps = std::int64_t{1} << 24;

    RollingTimeline() = default;
    explicit RollingTimeline(const Automaton& a);

    // The least common multiple of the spheres' path periods; 1 when no
    // sphere moves. Paths whose period is too long to work out have none
    // and take no part; when the common period of the others is too long
    // as well, the longest of theirs.
    const BigRational& period() const { return period_; }
    // The exact time at fraction f of the period, f taken modulo 1.
    BigRational timeAt(double fraction) const;
    // How much of s's point paths has been traced at fraction f, from 0 to
    // 1: a path closes after its own period, a whole part of the common
    // one, and then stays complete. 1 for a sphere without a period.
    double pathShown(const Sphere& s, double fraction) const;
    // How many times s's own period fits in the common one (pathShown is
    // fraction times this, at most 1); 0 for a sphere without a period.
    double repeats(const Sphere& s) const {
        auto it = repeats_.find(&s);
        return it == repeats_.end() ? 0 : it->second;
    }
    // Places every sphere at fraction f (the working fields; the time-0
    // snapshot stays as it was).
    void place(Automaton& a, double fraction) const;

  private:
    BigRational period_{1};
    // Common period / the sphere's own period, as a double.
    std::unordered_map<const Sphere*, double> repeats_;
};
