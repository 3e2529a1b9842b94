// The size of printable tubes: one radius for every tube that keeps each
// clear of itself (0.9 x the smallest thickness of the curves), warnings
// for a radius given by hand that does not, and the scale that gives the
// model its size in millimetres.
//
// Threads: reads the automaton; call it where the automaton may be read.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "automaton.h"
#include "pathmesh.h"

struct TubeSizing {
    // One radius for every tube; unset: each sphere's drawn radius (also
    // for auto when every curve meets itself, so that none has a thickness).
    std::optional<double> radius;
    std::vector<std::string> warnings;
};

// What auto takes of the smallest thickness.
constexpr double kAutoRadiusShare = 0.9;

// A stop request of the calling thread's scope (passstop.h) ends it early
// with what it has.
TubeSizing chooseTubeRadius(const Automaton& a, const MeshOptions& options);

// The factor for every coordinate: options' scale, or the one that makes
// largestDimension (of the unscaled model) options' size in millimetres.
double meshScale(const MeshOptions& options, double largestDimension);
