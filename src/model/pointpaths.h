// The closed paths of the marked points: common periods, length estimates,
// sample counts, and the sampled positions.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "automaton.h"
#include "rational.h"
#include "sphere.h"

// How a caller steers a long path pass. stop is polled at least every few
// hundred microseconds of work, as are the stop scopes of the calling
// thread (passstop.h); progress gets the fraction done, from the calling
// thread only.
class MotionCache;

struct PathPassControl {
    const std::atomic<bool>* stop = nullptr;
    std::function<void(double)> progress;
    unsigned threads = 0;  // 0 = as many as the machine has
};

struct PathPassResult {
    bool ran = false;  // a pass was made (the frame update may have had nothing to do)
    bool completed = true;
    std::size_t samples = 0;         // positions sampled over all points
    std::vector<Sphere*> coarsened;  // spheres sampled at a coarser step to fit the budget
};

// What the path pass works out for one traced sphere before sampling.
struct PathPlan {
    Sphere* sphere = nullptr;
    std::vector<Sphere*> list;  // stationary sphere ... sphere
    std::vector<BigRational> linkPeriods;
    std::optional<BigRational> period;  // empty: no common period (a zero factor), or ...
    // ... one longer than this many turns of the time master, which was not
    // worked out (0: not so).
    std::uint64_t longerThanTurns = 0;
    double length = 0;      // estimated path length
    long long samples = 0;  // n; 0 or less = no samples
};

// "period longer than N turns": what a plan with longerThanTurns says.
std::string periodTooLongText(std::uint64_t turns);

// Link period of the consecutive pair (a, b) of a path list: the time in
// which the child of the pair rolls one cycle distance on the parent.
std::optional<BigRational> linkPeriod(const Automaton& a, const Sphere& from, const Sphere& to,
                                      MotionCache* cache = nullptr);
// The shortest time after which every one of the periods has completed a
// whole number of cycles.
BigRational commonPeriod(const std::vector<BigRational>& periods);
// The same, or empty as soon as it would be longer than limit.
std::optional<BigRational> commonPeriodWithin(const std::vector<BigRational>& periods,
                                              const BigRational& limit);
PathPlan planPath(const Automaton& a, Sphere& s, MotionCache* cache = nullptr);

// Sample count for a length and step, truncated toward zero and kept within
// what a long long holds.
long long sampleCount(double length, double step);

// The pass of every frame update: fills every point's path.
PathPassResult pathPass(Automaton& a, const PathPassControl* control = nullptr);

// The same pass done literally: place() at every instant, one sphere at a
// time. Slow; kept as the reference that the fast pass must match.
PathPassResult pathPassLiteral(Automaton& a);

// Adds the positions of s's points in its current frame (radius rs).
void samplePoints(Automaton& a, Sphere& s, double rs);
// Appends one position to a point's path.
void appendSample(SpherePoint& p, const Vec3& position);
