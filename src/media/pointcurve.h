// A traced point's closed path as a function of time: the point placed at
// any instant of its period, through the same links and constants as the
// path pass, but at exactly the instant asked for. Tracks and drawings are
// checked against this curve rather than against the samples alone, which
// may stand far apart where the point moves fast.
//
// Threads: make() reads the automaton; at() reads only the curve's own
// copy and may be called from any thread.
#pragma once

#include <optional>
#include <vector>

#include "automaton.h"
#include "geometry.h"
#include "linkmotion.h"
#include "sphere.h"

class PointCurve {
  public:
    // Empty when the sphere's links have no common period or the point
    // does not exist.
    static std::optional<PointCurve> make(const Automaton& a, const Sphere& s, int point);
    // The position at the fraction u of the period (0 and 1 are the same
    // instant).
    Vec3 at(double u) const;
    // Revolutions of the fastest link in one period: how many times at most
    // the curve may wind round in one period.
    double mostTurns() const { return mostTurns_; }

  private:
    std::vector<LinkMotion> motions_;
    std::vector<double> turns_;  // revolutions of each link in one period
    double cosZ_ = 1, sinZ_ = 0, cosX_ = 1, sinX_ = 0, distance_ = 0;
    double mostTurns_ = 0;
};
