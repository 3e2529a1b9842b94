// The linking number of two traced curves that come close to each other,
// settled on the exact curves rather than on polygons of fixed sides.
//
// A side of a polygon whose corners lie on the curve, together with the arc
// it stands for, lies inside the capsule of points within `dev` of the side,
// dev being the arc's largest distance from it; a capsule is convex, so the
// sides made by splitting the arc lie in it too. Where two capsules, one of
// each curve, do not meet, nothing of either arc or of any finer polygon of
// it comes near the other: the sides there may stay. Sides whose capsules
// meet are split on the exact curve until every pair is apart, and the
// polygons then deform into the curves without passing through each other,
// so their linking number is the curves'.
#pragma once

#include <cstddef>
#include <vector>

#include "exactcurve.h"
#include "geometry.h"

struct CloseLink {
    enum Kind {
        Settled,  // number holds the linking number
        Meet,     // the curves come within the meeting distance: none
        Open,     // the budget ran out before the sides came apart
    } kind = Open;
    int number = 0;
};

// A curve's polygon for its links and what finds the sides of two curves
// that come near each other: each side's middle and reach (half its length
// and its arc's largest distance from it), and blocks of consecutive sides
// in balls. Made once per curve, read by any number of pairs at once.
class LinkPolygon {
  public:
    // corners at times i / corners.size() of the curve's closing (u as
    // exactcurve.h has it); bend and jerk the lengths of the second and
    // third derivatives at the first corners (corner i at bend[i %
    // bend.size()], as curvemeasure.h's CurveShape has them).
    LinkPolygon(const ExactCurve& curve, const std::vector<Vec3>& corners,
                const std::vector<double>& bend, const std::vector<double>& jerk);

    // kBlock (or kGroup) consecutive sides in a ball, and the chord from
    // their first corner to their last, from which their arcs stray by at
    // most `deviation`.
    struct Block {
        Vec3 centre;
        double radius;
        Vec3 from, to;
        double deviation;
    };
    const ExactCurve* curve;
    std::vector<Vec3> corners;      // at times i / corners.size()
    std::vector<double> deviation;  // of side i from its arc
    std::vector<Vec3> middle;
    std::vector<double> reach;
    std::vector<Block> blocks, groups;  // of kBlock sides, of kGroup
    static constexpr std::size_t kBlock = 4, kGroup = 16;
};

// `view` is the direction to project along first. Curves closer than
// `meet` meet; at most `budget` sides are split.
CloseLink closeLinkingNumber(const LinkPolygon& a, const LinkPolygon& b, Vec3 view, double meet,
                             std::size_t budget);
