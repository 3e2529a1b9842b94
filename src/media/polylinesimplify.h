// Fewer nodes for long closed polylines: what plotters and sand tables are
// sent. A plotter draws straight lines between the nodes it is given, a sand
// table a spiral between theta-rho pairs, so the caller says how far a left
// out vertex lies from what the machine would draw instead.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

// Distance of vertex k from what is drawn between the kept vertices i and j
// (i < k < j); an upper bound is enough, and infinity (or not a number)
// for a piece that may not be drawn as one, which is then halved.
using SimplifyDeviation = std::function<double(std::size_t i, std::size_t j, std::size_t k)>;

// The indices kept from vertices 0..last (ascending, 0 and last always),
// split where the deviation is largest until no vertex left out deviates by
// more than tolerance (Douglas-Peucker). For a closed curve pass the first
// vertex again as the last.
std::vector<std::size_t> simplifyPolyline(std::size_t last, double tolerance,
                                          const SimplifyDeviation& deviation);

struct Point2 {
    double x = 0, y = 0;
};

// The distance of p from the segment a-b (from a when they meet).
double segmentDistance(Point2 p, Point2 a, Point2 b);
