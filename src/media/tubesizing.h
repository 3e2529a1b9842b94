// The size of printable tubes: the scale that gives the model its size in
// millimetres, one radius for every tube (by default a share of the model's
// largest dimension, never thinner than a nozzle draws when the model has a
// size), the level set's cell, and what to tell the user about them.
//
// Threads: reads the automaton; call it where the automaton may be read.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "automaton.h"
#include "pathmesh.h"

struct TubeSizing {
    // File units per automaton unit.
    double scale = 1;
    // In the file's units: millimetres when the model has a size (--size or
    // --scale), the automaton's units otherwise.
    double radius = 0;
    double resolution = 0;
    bool sized = false;
    // The radius used, as the user is told it: "tube radius 0.75 mm (0.031
    // units)".
    std::string said;
    std::vector<std::string> warnings;
    // Empty when the model can be sized; otherwise one sentence.
    std::string error;
    double automatonRadius() const { return radius / scale; }
};

// The default radius's share of the model's largest dimension.
constexpr double kDefaultRadiusShare = 0.0075;
// The thinnest radius, in millimetres, that a 0.4 mm nozzle draws well:
// the default never goes below it, and a radius given below it is warned of.
constexpr double kThinnestPrintedRadius = 0.6;
// The default cell of a solid: this share of the radius, within these
// millimetres when the model has a size.
constexpr double kResolutionShare = 0.2;
constexpr double kFinestResolution = 0.05, kCoarsestResolution = 0.2;

// The largest dimension of the box around the lines.
double largestDimension(const std::vector<const std::vector<Vec3>*>& lines);
// ... and around every traced point's samples.
double largestDimension(const Automaton& a);

// extent, when given, is the model's largest dimension in automaton units
// as its centre lines run (a spline between samples may reach past them);
// otherwise the samples' own.
TubeSizing chooseTubeSizing(const Automaton& a, const MeshOptions& options,
                            std::optional<double> extent = std::nullopt);
