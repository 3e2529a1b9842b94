// Placement of every sphere at an exact time, the time-0 reset, the dynamic
// axis animation and the per-frame update.
//
// Zero factors: a sphere whose radius or whose neighbour's radius on a
// rolling link is 0 (a radius factor of 0 somewhere in its chain) does not
// revolve or spin on that link, and a link with rolling speed 0 does not
// move; such spheres keep their time-0 placement at every instant. Point
// paths that need such a link have no common period and stay empty. Nothing
// ever becomes NaN or infinite.
#pragma once

#include <map>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "automaton.h"
#include "pointpaths.h"
#include "rational.h"
#include "sphere.h"

// Sets radius of every sphere of the root's tree from its relative radius.
void radiusPass(Automaton& a);

// Revolutions per time unit that s makes around its neighbour n (one of
// them the other's parent). Empty when a radius on the link is 0.
std::optional<BigRational> revolutionRate(const Automaton& a, const Sphere& s, const Sphere& n);

// Relative radii and revolution rates, each worked out once. A pass over a
// deep tree asks for the same ones many times; valid while the factors and
// relations stay as they are.
class MotionCache {
  public:
    explicit MotionCache(const Automaton& a) : a_(a) {}
    const BigRational& relativeRadiusOf(const Sphere& s);
    std::optional<BigRational> rate(const Sphere& s, const Sphere& n);

  private:
    const Automaton& a_;
    std::unordered_map<const Sphere*, BigRational> radii_;
    std::map<std::pair<const Sphere*, const Sphere*>, std::optional<BigRational>> rates_;
};

// Revolutions of s around n at time t (0 for a link that does not move).
BigRational revolutions(const Automaton& a, const Sphere& s, const Sphere& n, const BigRational& t);

// The denominator of relativeRadius(p) / relativeRadius(c) in lowest terms:
// revolutions of c around p in one cycle distance. Empty for a zero radius.
std::optional<BigInt> cycleCount(const Sphere& p, const Sphere& c);

// Places s relative to n (null for the stationary sphere) at time t and
// continues through the tree. With a path list, only its members are placed
// and the points of its last sphere are sampled.
void place(Automaton& a, Sphere& s, Sphere* n, const BigRational& t,
           const std::vector<Sphere*>* pathList = nullptr);

// Time-0 placement of the whole automaton with cleared paths.
void reset(Automaton& a);
void dynamicReset(Automaton& a);
void dynamicStep(Automaton& a);

// The per-frame entry: recomputes placement and paths when something changed
// or a sphere is dynamic. When a stop request interrupts the path pass the
// result says so and the computed flag stays cleared.
PathPassResult frameUpdate(Automaton& a, const PathPassControl* control = nullptr);

// The axis angle used for placement, with the dynamic angle added when the
// sphere animates that axis.
double effectiveAxisAngleZ(const Sphere& s);
double effectiveAxisAngleX(const Sphere& s);
