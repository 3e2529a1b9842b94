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

// The exact motion one pass reads, each piece looked up once per pass: the
// pieces themselves are kept with the spheres between passes
// (exactmotion.h), the common periods of path lists only for the pass.
// Valid while the factors and relations stay as they are.
class MotionCache {
  public:
    explicit MotionCache(const Automaton& a) : a_(a) {}
    const BigRational& relativeRadiusOf(const Sphere& s);
    // Revolutions per time unit of s around its neighbour n.
    std::optional<BigRational> rate(const Sphere& s, const Sphere& n);
    // The radius of n over that of s; empty when a radius on the link is 0.
    std::optional<BigRational> radiusRatio(const Sphere& s, const Sphere& n);
    // For the link from -> to of a path list: the time in which its child
    // rolls one cycle distance (empty: a zero factor stops it), and the
    // revolutions of `to` around `from` in that time.
    const std::optional<BigRational>& linkPeriod(const Sphere& from, const Sphere& to);
    const BigInt& linkCycles(const Sphere& from, const Sphere& to);

    // Common periods longer than this many turns of the time master are
    // not worked out (Automaton::periodTurnLimit); 0 with no limit.
    std::uint64_t turnLimit() const;
    // The same limit as a time; empty with no limit.
    const std::optional<BigRational>& periodLimit();

    // The common period of the links of a path list from the stationary
    // sphere; lists of one pass share their beginnings, and so share the
    // work.
    struct ListPeriod {
        enum Kind { Exact, None, TooLong } kind = None;
        BigRational value;  // for Exact
    };
    const ListPeriod& listPeriod(const std::vector<Sphere*>& list);

  private:
    const std::optional<ExactMemo::Link>& link(const Sphere& child);

    const Automaton& a_;
    std::unordered_map<const Sphere*, BigRational> radii_;
    std::unordered_map<const Sphere*, std::optional<ExactMemo::Link>> links_;
    std::unordered_map<const Sphere*, ListPeriod> periods_;
    std::optional<std::optional<BigRational>> limit_;
};

// Revolutions of s around n at time t (0 for a link that does not move).
BigRational revolutions(const Automaton& a, const Sphere& s, const Sphere& n, const BigRational& t);

// The denominator of relativeRadius(p) / relativeRadius(c) in lowest terms:
// revolutions of c around p in one cycle distance. Empty for a zero radius.
std::optional<BigInt> cycleCount(const Sphere& p, const Sphere& c);

// Places s relative to n (null for the stationary sphere) at time t and
// continues through the tree. With a chain (the spheres from the stationary
// sphere to one sphere), only its members are placed
// and the points of its last sphere are sampled.
void place(Automaton& a, Sphere& s, Sphere* n, const BigRational& t,
           const std::vector<Sphere*>* chain = nullptr);

// Time-0 placement of the whole automaton with cleared paths.
void reset(Automaton& a);
void dynamicReset(Automaton& a);
void dynamicStep(Automaton& a);

// The per-frame entry: recomputes placement and paths when something changed
// or a sphere is dynamic. When a stop request interrupts the path pass the
// result says so and the computed flag stays cleared.
PathPassResult frameUpdate(Automaton& a, const PathPassControl* control = nullptr);

// A stamp no placement in this process has had: what reset and frameUpdate
// leave in Automaton::placements.
std::uint64_t newPlacementStamp();

// The axis angle used for placement, with the dynamic angle added when the
// sphere animates that axis.
double effectiveAxisAngleZ(const Sphere& s);
double effectiveAxisAngleX(const Sphere& s);
