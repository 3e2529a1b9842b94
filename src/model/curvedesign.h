// Automata made to order: random chains that trace good-looking curves, and
// chains whose curves have exactly a given rotational symmetry.
//
// A chain is a root and one sphere below another; its description is plain
// data, so the same one can be built in a bare automaton (to judge it) and
// in a document (to show and save it).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "automaton.h"
#include "curveinvariants.h"
#include "rational.h"
#include "sphere.h"

struct ChainPoint {
    double angleZ = 0, angleX = 90, quantum = 1;
};

struct ChainLevel {
    Rational factor{1, 1};  // radius relative to the level above
    Rational rate{1, 1};    // rolling rate; the first child is the time master
    bool inside = false;
    bool antiClockwise = false;
    double tiltZ = 0, tiltX = 0;
    std::vector<ChainPoint> points;
};

struct ChainPlan {
    std::vector<ChainLevel> levels;  // [0] is the root
    std::string describe() const;    // "1/3 out, 2/5 in x3/2, ..."
    // No link tilted (a half turn keeps the plane): the curves lie in
    // planes across the axis and show their symmetry best from the top.
    bool flat() const;
};

// A small, fast generator whose stream is the same on every machine.
class SplitMix64 {
  public:
    explicit SplitMix64(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next();
    // Uniform in [lo, hi], by rejection so that no value is favoured.
    int between(int lo, int hi);
    bool chance(int percent) { return between(0, 99) < percent; }

  private:
    std::uint64_t state_;
};

// Makes a sphere below parent (null for the root) in the automaton the
// chain is built in; returns null when it cannot.
using MakeSphere = std::function<Sphere*(Sphere* parent)>;
// Builds the chain with make, setting every factor, rate, flag, tilt, point
// and level colour; the root becomes the stationary sphere. Returns the
// spheres, root first (empty when make failed).
std::vector<Sphere*> buildChain(Automaton& a, const ChainPlan& plan, const MakeSphere& make);

// An automaton of its own that a chain is built in, to judge it.
class ChainAutomaton : public Automaton {
  public:
    explicit ChainAutomaton(const ChainPlan& plan);
    ~ChainAutomaton() override;
    const std::vector<Sphere*>& spheres() const { return spheres_; }

  private:
    std::vector<Sphere*> spheres_;
};

// Why a random chain is good enough to show: every traced point's curve
// has k >= 3 and at least three lobes, a thickness not tiny against its
// size, enough samples to be seen, and passes the symmetry check.
bool looksGood(const Automaton& a, const std::vector<CurveInvariants>& curves);

// The random chain of a seed: 2 to 4 levels, small fractions, mixed
// directions, sometimes tilted, one or two traced points, with a period
// that the default accuracy samples within budget, and that looks good.
ChainPlan randomChain(std::uint64_t seed);

// Chains of `levels` spheres (2..4) whose traced point (point 1 of the last
// sphere) has exactly `order`-fold symmetry (2..24), simplest factors and
// rates first, one of each distinct curve shape, about a third of them with
// a tilted link so that the curve leaves the plane; at most count of them.
// The search widens until it has count or `seconds` have passed; outOfTime
// then says that it stopped short.
std::vector<ChainPlan> symmetricChains(int order, int levels, int count, double seconds = 20,
                                       bool* outOfTime = nullptr);
