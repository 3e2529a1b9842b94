// A traced point's path as a sand-table track: the path seen from above
// (along the stationary sphere's axis) as theta-rho pairs, one pair a line.
// Theta is in radians and unwrapped: it never jumps by a full turn, so the
// table follows the curve round instead of back. Rho runs from 0 at the
// centre to 1 at the point of the path farthest from the centre. The table
// moves from pair to pair with theta and rho changing together (a spiral
// piece), and the pairs are thinned only where that spiral stays within the
// tolerance of the path. The last pair comes back to where the first is.
//
// Threads: reads the automaton; call it where the automaton may be read.
#pragma once

#include <string>
#include <vector>

#include "automaton.h"

struct SandTrackOptions {
    // The sphere and point index to follow; empty name: the first traced point.
    std::string sphere;
    int point = 0;
    double tolerance = 0.0002;  // in table radii
};

struct ThetaRho {
    double theta = 0, rho = 0;
};

class SandTrack {
  public:
    // The track, or empty with *error set.
    static std::vector<ThetaRho> track(const Automaton& a, const SandTrackOptions& options,
                                       std::string* error);
    // Returns "" on success, otherwise one sentence.
    static std::string write(const Automaton& a, const SandTrackOptions& options,
                             const std::string& path);
};
