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

// The indices kept from vertices 0..last (ascending, 0 and last always)
// such that no vertex left out deviates by more than tolerance. Each piece
// is made as long as it may be from where the last one ended: lengths are
// tried doubling, then halved back between the last that held and the first
// that did not. A piece of length l costs O(l log l) deviations, the whole
// line O(n log n) however it bends (splitting at the worst vertex, as
// Douglas-Peucker does, is quadratic on curves that wind evenly). For a
// closed curve pass the first vertex again as the last.
std::vector<std::size_t> simplifyPolyline(std::size_t last, double tolerance,
                                          const SimplifyDeviation& deviation);

// The same for pieces judged whole: whether vertices i..j (i < j) may be
// drawn as one piece. A piece of two neighbours is taken even when it does
// not fit, so that the line always gets on.
using PieceFits = std::function<bool(std::size_t i, std::size_t j)>;
std::vector<std::size_t> simplifyPieces(std::size_t last, const PieceFits& fits);

struct Point2 {
    double x = 0, y = 0;
};

// The distance of p from the segment a-b (from a when they meet).
double segmentDistance(Point2 p, Point2 a, Point2 b);
