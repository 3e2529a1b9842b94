// Common period, exact instants and drawn fractions of the rolling animation.
#include "rollingtimeline.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "placement.h"
#include "pointpaths.h"
#include "relations.h"

RollingTimeline::RollingTimeline(const Automaton& a) {
    if (!a.root || !a.stationarySphere) return;
    MotionCache cache(a);
    std::vector<std::pair<const Sphere*, BigRational>> periods;
    forEachPreOrder(a.root, [&](Sphere& s) {
        if (&s == a.stationarySphere) return;
        PathPlan plan = planPath(a, s, &cache);
        if (plan.period && *plan.period > 0) periods.emplace_back(&s, *plan.period);
    });
    if (periods.empty()) return;
    std::vector<BigRational> all;
    for (auto& [s, p] : periods) all.push_back(p);
    // Each path's own period is within the limit, their common one need
    // not be: then the animation runs through the longest path once, and
    // the paths whose periods do not divide it are seen to close early.
    const std::optional<BigRational>& limit = cache.periodLimit();
    std::optional<BigRational> common = limit ? commonPeriodWithin(all, *limit) : commonPeriod(all);
    period_ = common ? *common : *std::max_element(all.begin(), all.end());
    if (period_ <= 0) period_ = 1;
    for (auto& [s, p] : periods) repeats_[s] = toDouble(BigRational(period_ / p));
}

BigRational RollingTimeline::timeAt(double fraction) const {
    double f = fraction - std::floor(fraction);
    if (!std::isfinite(f)) f = 0;
    auto step = std::clamp<std::int64_t>(std::llround(f * kSteps), 0, kSteps - 1);
    return period_ * BigRational(BigInt(step), BigInt(kSteps));
}

double RollingTimeline::pathShown(const Sphere& s, double fraction) const {
    auto it = repeats_.find(&s);
    if (it == repeats_.end()) return 1;
    double f = fraction - std::floor(fraction);
    return std::clamp(f * it->second, 0.0, 1.0);
}

void RollingTimeline::place(Automaton& a, double fraction) const {
    if (!a.root || !a.stationarySphere) return;
    ::place(a, *a.stationarySphere, nullptr, timeAt(fraction));
}
