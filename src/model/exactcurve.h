// A traced point's closed curve as a function of time, in double precision
// with its first three derivatives, so that what is measured on the curve
// does not depend on how finely the path pass sampled it.
//
// Time is given as the fraction u of the curve's period: u and u + 1 are
// the same place. Every link turns its angles linearly with time, so the
// position is a composition of turns whose angles are a + b u, and the
// derivatives follow from the product rule.
#pragma once

#include <cstddef>
#include <vector>

#include "automaton.h"
#include "geometry.h"
#include "linkmotion.h"
#include "portablemath.h"
#include "rational.h"
#include "sphere.h"

// Position and its derivatives with respect to u.
struct CurveJet {
    Vec3 p, d1, d2, d3;
};

class ExactCurve {
  public:
    ExactCurve() = default;
    // Point `point` of s, over `period` (a time of the automaton's clock).
    // Invalid when s has no chain to the stationary sphere or a link does
    // not move at a known rate.
    ExactCurve(const Automaton& a, const Sphere& s, std::size_t point, const BigRational& period);
    bool valid() const { return valid_; }

    Vec3 at(double u) const;
    CurveJet jet(double u) const;
    // at(w i / count) for i below count into out, to within a few hundred
    // roundings: for polygons that stand for the curve, at a fraction of
    // the cost.
    void along(double w, std::size_t count, Vec3* out) const;
    // jet(u)'s position and velocity alone (d2 and d3 left zero), for less
    // work: the same to the bit.
    CurveJet jet1(double u) const;
    // An upper bound of the curve's highest frequency, in cycles per period:
    // sampling several times this often resolves every feature.
    double frequency() const { return frequency_; }

  private:
    struct Link {
        LinkMotion m;
        double spin0 = 0, spin1 = 0;    // spin in radians: spin0 + spin1 u
        double delta0 = 0, delta1 = 0;  // revolution - spin, likewise
    };
    std::vector<Link> links_;  // stationary end first
    Vec3 point_;               // the point in its sphere's frame
    double frequency_ = 0;
    bool valid_ = false;
};

// Rotation of v about the unit axis n by angle (radians).
inline Vec3 rotateAbout(Vec3 v, Vec3 n, double angle) {
    double c = portable::cos(angle), s = portable::sin(angle);
    return c * v + s * cross(n, v) + (dot(n, v) * (1 - c)) * n;
}
