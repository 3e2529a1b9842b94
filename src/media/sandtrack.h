// Traced points' paths as a sand-table track: the paths seen from above
// (along the stationary sphere's axis) as theta-rho pairs, one pair a line.
// Theta is in radians and unwrapped: it never jumps by a full turn, so the
// table follows the curve round instead of back. Rho runs from 0 at the
// centre to 1 at the point farthest from the centre (of all the paths in
// the track). The table moves from pair to pair with theta and rho changing
// together (a spiral piece); no piece turns by more than an eighth of a
// turn, so that tools that preview tracks with straight lines keep the
// shape.
//
// Tables play tracks one after another, so a track starts and ends at the
// centre or at the rim: each closed path is started at its point nearest to
// that end and reached by a lead-in spiral of one turn (none when the path
// touches it), and left by the same spiral back. Several paths are joined
// through the centre or along the rim.
//
// The track keeps within the tolerance of the curve itself: the curve is
// evaluated at exact instants (pointcurve.h) until consecutive evaluations
// stand less than a quarter of the tolerance apart, and every piece is
// checked both ways against them, the curve against the spiral and the
// spiral against the curve. That work is bounded: a path that winds too
// finely for the tolerance within the budget is followed more coarsely and
// the result says so.
//
// Threads: reads the automaton; call it where the automaton may be read.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "automaton.h"

struct SandTrackOptions {
    enum class Start { Nearer, Centre, Rim };
    // The sphere and point index to follow; empty name: the traced point
    // with the most lobes that is not a circle.
    std::string sphere;
    int point = 0;
    bool allPoints = false;  // every traced point, one after another
    Start start = Start::Nearer;
    double tolerance = 0.0002;  // in table radii
    // Curve evaluations at most, over all paths, and pairs at most: a track
    // beyond that is made coarser.
    std::size_t maxEvaluations = 2'000'000;
    std::size_t maxPairs = 250'000;
};

struct ThetaRho {
    double theta = 0, rho = 0;
};

struct SandTrackResult {
    std::vector<ThetaRho> pairs;  // empty with error set on failure
    std::string error;
    // The pairs [first, last] that follow each path (between its lead-in
    // and lead-out), with the path's sphere/point name.
    struct Stretch {
        std::size_t first = 0, last = 0;
        std::string name;
    };
    std::vector<Stretch> paths;
    double unitsPerRadius = 1;  // automaton units per table radius
    double tolerance = 0;       // what the track keeps to (the asked one unless coarsened)
    bool coarsened = false;
};

class SandTrack {
  public:
    // The smallest tolerance accepted, in table radii.
    static constexpr double kFinestTolerance = 1e-6;

    // The option values as written: "B:1" (sphere B's point 1; the name may
    // hold colons itself) or "all"; "centre" (or "center") or "rim".
    static std::optional<SandTrackOptions> point(const std::string& text);
    static std::optional<SandTrackOptions::Start> start(const std::string& text);

    static SandTrackResult track(const Automaton& a, const SandTrackOptions& options);
    // Writes the track (and, when preview is not empty, a picture of what
    // the table draws, the spirals themselves, size pixels square). Returns
    // "" on success, otherwise one sentence; *result (when given) gets the
    // track.
    static std::string write(const Automaton& a, const SandTrackOptions& options,
                             const std::string& path, const std::string& preview = {},
                             SandTrackResult* result = nullptr);
    static std::string writePreview(const std::vector<ThetaRho>& pairs, const std::string& path,
                                    int size = 1024);
    // Decimals written for a tolerance: enough that rounding takes at most a
    // twentieth of it.
    static int decimals(double tolerance);
};
