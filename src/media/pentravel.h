// The order in which a pen draws closed paths, and the node each begins at,
// chosen to keep the travel with the pen up short: nearest neighbour from
// where the pen stands, then 2-opt over the order, then for each path the
// node that is nearest on the way from the path before to the path after,
// the last two once more. A closed path ends where it begins, so the pen
// leaves each path from its starting node.
#pragma once

#include <cstddef>
#include <vector>

#include "polylinesimplify.h"

struct TravelPlan {
    std::vector<std::size_t> order;  // indices of the paths, in drawing order
    std::vector<std::size_t> start;  // per path (by index): the node it begins at
};

// The pen's travel from `from` through the paths in this order, each begun
// at its start node.
double travelLength(const std::vector<std::vector<Point2>>& paths, const TravelPlan& plan,
                    Point2 from);

// The plan as the paths stand: in order, each begun at its first node.
TravelPlan planAsGiven(const std::vector<std::vector<Point2>>& paths);

// A short plan; never longer than the plan as given.
TravelPlan planTravel(const std::vector<std::vector<Point2>>& paths, Point2 from);
