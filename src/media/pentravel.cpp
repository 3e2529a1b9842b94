// Nearest neighbour, 2-opt and starting nodes, each bounded in its work by
// the number of paths and the page's node budget.
#include "pentravel.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
double distance(Point2 a, Point2 b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

// For each path in order, the node that makes the way in from the last
// path and out to the next shortest.
void chooseStarts(const std::vector<std::vector<Point2>>& paths, TravelPlan& plan, Point2 from) {
    const std::size_t n = plan.order.size();
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t p = plan.order[i];
        const Point2 before = i ? paths[plan.order[i - 1]][plan.start[plan.order[i - 1]]] : from;
        const bool hasNext = i + 1 < n;
        const Point2 after =
            hasNext ? paths[plan.order[i + 1]][plan.start[plan.order[i + 1]]] : Point2{};
        double best = std::numeric_limits<double>::infinity();
        for (std::size_t k = 0; k < paths[p].size(); ++k) {
            const double d =
                distance(before, paths[p][k]) + (hasNext ? distance(paths[p][k], after) : 0.0);
            if (d < best) best = d, plan.start[p] = k;
        }
    }
}

// Reverses stretches of the order while that shortens the travel; the
// travel is open at the end (the pen stays where it finished).
void twoOpt(const std::vector<std::vector<Point2>>& paths, TravelPlan& plan, Point2 from) {
    const std::size_t n = plan.order.size();
    auto at = [&](std::size_t i) {  // position i: 0 is where the pen stands
        return i == 0 ? from : paths[plan.order[i - 1]][plan.start[plan.order[i - 1]]];
    };
    // Sweeps cost n^2 each: as many as keep the whole to about 10^8 steps.
    const double sweeps = std::clamp(1e8 / std::max(1.0, double(n) * double(n)), 1.0, 50.0);
    for (int sweep = 0; sweep < int(sweeps); ++sweep) {
        bool better = false;
        for (std::size_t i = 1; i < n; ++i)
            for (std::size_t j = i + 1; j <= n; ++j) {
                const double before =
                    distance(at(i - 1), at(i)) + (j < n ? distance(at(j), at(j + 1)) : 0.0);
                const double after =
                    distance(at(i - 1), at(j)) + (j < n ? distance(at(i), at(j + 1)) : 0.0);
                if (after < before - 1e-9) {
                    std::reverse(plan.order.begin() + static_cast<std::ptrdiff_t>(i - 1),
                                 plan.order.begin() + static_cast<std::ptrdiff_t>(j));
                    better = true;
                }
            }
        if (!better) break;
    }
}
}  // namespace

double travelLength(const std::vector<std::vector<Point2>>& paths, const TravelPlan& plan,
                    Point2 from) {
    double sum = 0;
    for (std::size_t p : plan.order) {
        if (paths[p].empty()) continue;
        const Point2 to = paths[p][plan.start[p]];
        sum += distance(from, to);
        from = to;
    }
    return sum;
}

TravelPlan planAsGiven(const std::vector<std::vector<Point2>>& paths) {
    TravelPlan plan;
    for (std::size_t p = 0; p < paths.size(); ++p) plan.order.push_back(p);
    plan.start.assign(paths.size(), 0);
    return plan;
}

TravelPlan planTravel(const std::vector<std::vector<Point2>>& paths, Point2 from) {
    TravelPlan plan;
    plan.start.assign(paths.size(), 0);
    std::vector<char> done(paths.size(), 0);
    Point2 pen = from;
    for (std::size_t p = 0; p < paths.size(); ++p)
        if (paths[p].empty()) done[p] = 1, plan.order.push_back(p);
    // Each path is looked at through at most kLooks of its nodes, spread
    // evenly, so that the search costs paths^2 x kLooks however many nodes
    // the paths have; the starting nodes are chosen among all of them after.
    constexpr std::size_t kLooks = 64;
    while (plan.order.size() < paths.size()) {
        double best = std::numeric_limits<double>::infinity();
        std::size_t which = 0, node = 0;
        for (std::size_t p = 0; p < paths.size(); ++p) {
            if (done[p]) continue;
            const std::size_t step = std::max<std::size_t>(1, paths[p].size() / kLooks);
            for (std::size_t k = 0; k < paths[p].size(); k += step) {
                const double d = distance(pen, paths[p][k]);
                if (d < best) best = d, which = p, node = k;
            }
        }
        done[which] = 1;
        plan.order.push_back(which);
        plan.start[which] = node;
        pen = paths[which][node];
    }
    for (int round = 0; round < 2; ++round) {
        twoOpt(paths, plan, from);
        chooseStarts(paths, plan, from);
    }
    TravelPlan given = planAsGiven(paths);
    chooseStarts(paths, given, from);
    return travelLength(paths, given, from) < travelLength(paths, plan, from) ? given : plan;
}
