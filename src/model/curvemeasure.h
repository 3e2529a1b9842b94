// The shape of a traced point's closed curve, measured on the curve itself
// (exactcurve.h) rather than on the samples of a path pass: every number is
// found from candidates on a grid of times fine enough for the curve's
// highest frequency and then refined to the precision of doubles.
#pragma once

#include <limits>
#include <memory>
#include <vector>

#include "exactcurve.h"
#include "geometry.h"
#include "pointgrid.h"

struct CurveShape {
    // False when the curve turns too fast for the search grid to follow
    // (millions of turns in one closing): nothing below was measured.
    bool measured = true;
    double length = 0;  // along the curve over one closing
    double reach = 0;   // largest distance from the origin
    int lobes = 0;      // maxima of the distance from the axis over one closing
    bool mirror = false;
    // Least of the smallest radius of curvature and half the least distance
    // between two parts of the curve at least pi times that radius apart
    // along it; 0 when the curve crosses itself or has a cusp.
    double thickness = 0;
    double leastRadius = std::numeric_limits<double>::infinity();
    double closestParts = std::numeric_limits<double>::infinity();
    bool crosses = false, cusp = false;
    // Corners on the curve at the times searched, and the longest side
    // between them.
    std::vector<Vec3> corners;
    double spacing = 0;
    // At each corner of the first part (1/order of the curve; corner i +
    // part is corner i turned), the length of the second and third
    // derivatives: what bounds how far an arc between corners strays from
    // its side.
    std::vector<double> bend, jerk;
    // The corners in cubes of twice the spacing (null for a circle), for
    // whoever looks for corners near a place after this.
    std::shared_ptr<const PointGrid> grid;
    // The closed curve as a polygon whose sides are short enough for its
    // curvature and thickness, so that it is the same knot; empty when the curve meets
    // itself or would need too many corners.
    std::vector<Vec3> polygon;
};

// The shape of a curve that has `order`-fold symmetry about `axis` (a unit
// vector through the origin): the curve a fraction 1/order of its period on
// is the curve turned by `turn` turns about the axis. A circle about the
// axis is given as order 1 and circle = true.
CurveShape measureShape(const ExactCurve& curve, Vec3 axis, long long order, double turn,
                        bool circle);

// Relative tolerances: lobes whose height above the dips beside them is
// below kLobeProminence of the size do not count; a mirror plane misses by
// at most kMirrorTolerance of the size; a crossing or cusp is a distance or
// radius of curvature within kMeetTolerance of the size.
constexpr double kLobeProminence = 1e-6;
constexpr double kMirrorTolerance = 1e-6;
constexpr double kMeetTolerance = 1e-9;
