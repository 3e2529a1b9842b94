// Point paths: planning (periods, lengths, sample counts), the literal pass,
// and the fast pass that the frame update uses.
//
// The fast pass computes exactly what place() would at every instant, but
// keeps the per-link constants (radii, axis rotations, revolution rates) out
// of the per-sample loop, places each link once per instant for all the
// traced spheres whose lists share it, runs blocks of instants through each
// link at a time, keeps the frames in local arrays instead of the spheres,
// and so can sample different spheres, and different stretches of one
// period, on several threads. The pass stores positions only: the tubes
// around them are built when they are drawn.
#include "pointpaths.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <numeric>

#include "linkblock.h"
#include "linkmotion.h"
#include "parallel.h"
#include "passstop.h"
#include "placement.h"
#include "portable.h"
#include "portablemath.h"
#include "relations.h"

namespace {

// e(k) = k * c exactly, converted as numerator / denominator in lowest terms.
struct RevolutionSteps {
    enum Mode { Fast, Mid, Slow } mode = Slow;
    double pd = 0, qd = 0;
    std::int64_t p = 0;
    std::uint64_t q = 1;
    BigRational c;

    RevolutionSteps(const BigRational& value, long long n) : c(value) {
        const BigInt& num = boost::multiprecision::numerator(value);
        const BigInt& den = boost::multiprecision::denominator(value);
        const BigInt two53 = BigInt(1) << 53, two62 = BigInt(1) << 62;
        BigInt absNum = num < 0 ? BigInt(-num) : num;
        if (absNum * n <= two53 && den <= two53) {
            mode = Fast;
            pd = toDouble(num);
            qd = toDouble(den);
        } else if (absNum < two62 && den < two62) {
            mode = Mid;
            p = static_cast<std::int64_t>(num);
            q = static_cast<std::uint64_t>(den);
        }
    }
    double at(long long k) const {
        switch (mode) {
            case Fast:
                // k * p is exact, so this is the correctly rounded quotient,
                // the same as that of the reduced fraction.
                return (static_cast<double>(k) * pd) / qd;
            case Mid: {
                std::uint64_t g = std::gcd(static_cast<std::uint64_t>(k), q);
                __int128 num = static_cast<__int128>(static_cast<std::uint64_t>(k) / g) * p;
                std::uint64_t den = q / g;
                auto conv = [](__int128 v) {
                    if (v >= std::numeric_limits<std::int64_t>::min() &&
                        v <= std::numeric_limits<std::int64_t>::max())
                        return static_cast<double>(static_cast<std::int64_t>(v));
                    return static_cast<double>(v);
                };
                return conv(num) / conv(static_cast<__int128>(den));
            }
            case Slow:
                break;
        }
        // k * num / den with the common factor of k and den taken out, which
        // leaves it in lowest terms (num and den have none) without a
        // greatest common divisor of the long numbers at every sample.
        const BigInt& num = boost::multiprecision::numerator(c);
        const BigInt& den = boost::multiprecision::denominator(c);
        const auto uk = static_cast<std::uint64_t>(k);
        const std::uint64_t g = uk == 0 ? 0 : std::gcd(uk, static_cast<std::uint64_t>(den % uk));
        if (g == 0) return 0.0;
        return toDouble(BigInt(BigInt(uk / g) * num)) / toDouble(BigInt(den / g));
    }
};

struct Job {
    PathPlan* plan;
    long long n;
    BigRational perStep;
    std::vector<LinkMotion> motions;
    std::vector<RevolutionSteps> steps;
    std::vector<PointConsts> pointConsts;
};

// Traced spheres whose lists start alike and whose instants coincide (the
// same sample count and the same exact time step) share the placements of
// their common links: each link of a group is placed once per instant. The
// links form a tree rooted at the stationary sphere.
struct LinkNode {
    int parent;  // -1: placed from the stationary sphere
    const Sphere* sphere;
    LinkMotion motion;
    RevolutionSteps steps;
};
struct Traced {
    int node;
    Sphere* sphere;
    std::vector<PointConsts> points;
};
struct Group {
    long long n;
    BigRational perStep;
    std::vector<LinkNode> nodes;  // parents before their children
    std::vector<Traced> traced;
};

void addToGroups(std::vector<Group>& groups, const Job& job) {
    Group* g = nullptr;
    for (auto& candidate : groups)
        if (candidate.n == job.n && candidate.perStep == job.perStep) g = &candidate;
    if (!g) g = &groups.emplace_back(Group{job.n, job.perStep, {}, {}});
    const auto& list = job.plan->list;
    int parent = -1;
    for (std::size_t i = 1; i < list.size(); ++i) {
        int found = -1;
        for (std::size_t k = 0; k < g->nodes.size() && found < 0; ++k)
            if (g->nodes[k].parent == parent && g->nodes[k].sphere == list[i])
                found = static_cast<int>(k);
        if (found < 0) {
            g->nodes.push_back({parent, list[i], job.motions[i - 1], job.steps[i - 1]});
            found = static_cast<int>(g->nodes.size()) - 1;
        }
        parent = found;
    }
    g->traced.push_back({parent, job.plan->sphere, job.pointConsts});
}

// Samples k0..k1 of every traced sphere of the group, a block of instants
// at a time.
void sampleRange(const Group& g, long long k0, long long k1) {
    static thread_local std::vector<FrameBlock> frames;
    static thread_local FrameBlock identity;
    identity.setIdentity();
    frames.resize(g.nodes.size());
    alignas(32) double e[kLinkBlock];
    for (long long kb = k0; kb < k1; kb += kLinkBlock) {
        const int lanes = static_cast<int>(std::min<long long>(kLinkBlock, k1 - kb));
        for (std::size_t i = 0; i < g.nodes.size(); ++i) {
            const LinkNode& node = g.nodes[i];
            for (int l = 0; l < lanes; ++l) e[l] = node.steps.at(kb + l);
            const FrameBlock& parent =
                node.parent < 0 ? identity : frames[static_cast<std::size_t>(node.parent)];
            placeLinkBlock(node.motion, e, parent, frames[i], lanes);
        }
        for (const Traced& t : g.traced)
            for (std::size_t j = 0; j < t.points.size(); ++j)
                placePointBlock(frames[static_cast<std::size_t>(t.node)], t.points[j],
                                &t.sphere->points[j].path[static_cast<std::size_t>(kb)], lanes);
    }
}

// Writes the working fields that the literal pass leaves: every sphere of
// the list at the last sampled instant.
void leaveAtLastInstant(Automaton& a, const Job& job) {
    const long long k = job.n - 1;
    Mat4 w = identityMatrix();
    const auto& list = job.plan->list;
    Sphere& st = *list.front();
    st.center = {0, 0, 0};
    st.axisPoint = {0, 0, 1};
    st.frame = identityMatrixF();
    for (std::size_t i = 0; i < job.motions.size(); ++i) {
        Sphere& s = *list[i + 1];
        const LinkMotion& m = job.motions[i];
        w = widen(list[i]->frame);
        double e = job.steps[i].at(k);
        s.revolution = m.revolutionAt(e);
        s.spin = m.spinAt(e);
        m.apply(w, s.revolution, s.spin);
        s.center = translationOf(w);
        s.axisPoint = {w[8] + w[12], w[9] + w[13], w[10] + w[14]};
        s.frame = narrow(w);
    }
    a.workMatrix = w;
}

// Largest per-sphere sample count that keeps the total within the budget.
long long capForBudget(const std::vector<PathPlan>& plans, std::size_t budget) {
    auto total = [&](long long cap) {
        long double t = 0;
        for (const auto& p : plans)
            if (p.samples > 0)
                t += static_cast<long double>(std::min(p.samples, cap)) * p.sphere->points.size();
        return t;
    };
    long long hi = 0;
    for (const auto& p : plans)
        if (!p.sphere->points.empty()) hi = std::max(hi, p.samples);
    if (total(hi) <= budget) return hi;
    long long lo = 0;
    while (lo < hi) {
        long long mid = lo + (hi - lo + 1) / 2;
        if (total(mid) <= budget)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
}

// The sample count a plan gets under the budget's cap. Spheres without
// points sample nothing and are not held to it.
long long samplesWithin(const PathPlan& plan, long long cap) {
    return plan.sphere->points.empty() ? plan.samples : std::min(plan.samples, cap);
}

// Plans for every traced sphere; empty when a stop request came first.
std::vector<PathPlan> planAll(Automaton& a, MotionCache& cache,
                              const std::function<bool()>& stopRequested) {
    std::vector<PathPlan> plans;
    bool stopped = false;
    try {
        forEachNeighbour(a.stationarySphere, [&](Sphere& s, Sphere*) {
            if (stopped || (stopped = stopRequested())) return;
            if (&s != a.stationarySphere) plans.push_back(planPath(a, s, &cache));
        });
    } catch (const PassStopped&) {
        stopped = true;
    }
    if (stopped) plans.clear();
    return plans;
}

// x / y for x a whole multiple of y: exact division of the cross products,
// no greatest common divisor needed.
BigInt wholeQuotient(const BigRational& x, const BigRational& y) {
    return BigInt(boost::multiprecision::numerator(x) * boost::multiprecision::denominator(y)) /
           BigInt(boost::multiprecision::denominator(x) * boost::multiprecision::numerator(y));
}

}  // namespace

std::optional<BigRational> linkPeriod(const Automaton& a, const Sphere& from, const Sphere& to,
                                      MotionCache* cache) {
    MotionCache local(a);
    return (cache ? *cache : local).linkPeriod(from, to);
}

BigRational commonPeriod(const std::vector<BigRational>& periods) {
    if (periods.empty()) return 1;
    BigRational p = periods.front() < 0 ? BigRational(-periods.front()) : periods.front();
    for (std::size_t i = 1; i < periods.size(); ++i) p = lcmOfFractions(p, periods[i]);
    return p;
}

std::optional<BigRational> commonPeriodWithin(const std::vector<BigRational>& periods,
                                              const BigRational& limit) {
    if (periods.empty()) return BigRational(1);
    BigRational p = periods.front() < 0 ? BigRational(-periods.front()) : periods.front();
    for (std::size_t i = 1; i < periods.size() && p <= limit; ++i)
        p = lcmOfFractions(p, periods[i]);
    if (p > limit) return std::nullopt;
    return p;
}

std::string periodTooLongText(std::uint64_t turns) {
    return "period longer than " + std::to_string(turns) + " turns";
}

long long sampleCount(double length, double step) {
    double q = length / step;
    if (!(q >= 1)) return 0;  // also NaN and negative
    constexpr double kMax = 4.0e18;
    return q >= kMax ? static_cast<long long>(kMax) : static_cast<long long>(q);
}

PathPlan planPath(const Automaton& a, Sphere& s, MotionCache* cache) {
    MotionCache local(a);
    MotionCache& c = cache ? *cache : local;
    PathPlan plan;
    plan.sphere = &s;
    plan.list = findPathList(a, s);
    if (plan.list.size() < 2) return plan;
    for (std::size_t i = 1; i < plan.list.size(); ++i) {
        const auto& t = c.linkPeriod(*plan.list[i - 1], *plan.list[i]);
        if (!t) {
            plan.linkPeriods.clear();
            return plan;
        }
        plan.linkPeriods.push_back(*t);
    }
    const MotionCache::ListPeriod& common = c.listPeriod(plan.list);
    if (common.kind == MotionCache::ListPeriod::TooLong) plan.longerThanTurns = c.turnLimit();
    if (common.kind != MotionCache::ListPeriod::Exact) return plan;
    plan.period = common.value;
    double length = 0;
    for (std::size_t i = 1; i < plan.list.size(); ++i) {
        const Sphere& from = *plan.list[i - 1];
        const Sphere& to = *plan.list[i];
        // The revolutions of the link over the period: its cycles times the
        // whole number of link periods in the common one.
        BigInt turns =
            c.linkCycles(from, to) * wholeQuotient(*plan.period, plan.linkPeriods[i - 1]);
        length += toDouble(turns) * a.twoPi * (from.radius + to.radius);
    }
    plan.length = length;
    plan.samples = sampleCount(length, a.pathStep);
    return plan;
}

void samplePoints(Automaton& a, Sphere& s, double rs) {
    for (auto& p : s.points) {
        a.workMatrix = widen(s.frame);
        double z = p.pointAngleZ * kDegToRad, x = p.pointAngleX * kDegToRad;
        mulRotZ(a.workMatrix, portable::cos(z), portable::sin(z));
        mulRotX(a.workMatrix, portable::cos(x), portable::sin(x));
        mulTranslate(a.workMatrix, 0, 0, p.quantumDistance * rs);
        appendSample(p, translationOf(a.workMatrix));
    }
}

void appendSample(SpherePoint& p, const Vec3& position) {
    p.path.push_back(position);
}

PathPassResult pathPassLiteral(Automaton& a) {
    PathPassResult result;
    result.ran = true;
    if (!a.stationarySphere) return result;
    MotionCache cache(a);
    std::vector<PathPlan> plans = planAll(a, cache, [] { return false; });
    long long cap = capForBudget(plans, a.sampleBudget);
    for (auto& plan : plans) {
        long long n = samplesWithin(plan, cap);
        if (n < plan.samples && !plan.sphere->points.empty())
            result.coarsened.push_back(plan.sphere);
        if (n <= 0 || !plan.period) continue;
        BigRational dt = *plan.period / BigRational(n);
        for (long long k = 0; k < n; ++k)
            place(a, *a.stationarySphere, nullptr, BigRational(BigInt(k) * dt), &plan.list);
        result.samples += static_cast<std::size_t>(n) * plan.sphere->points.size();
    }
    return result;
}

PathPassResult pathPass(Automaton& a, const PathPassControl* control) {
    PathPassResult result;
    result.ran = true;
    if (!a.stationarySphere) return result;
    std::atomic<bool> stopped{false};
    std::atomic<double> doneCost{0};
    // The caller's flag and the scopes around the pass, polled alike from
    // the helper threads.
    StopScope scope(control ? control->stop : nullptr);
    auto stopRequested = [&]() {
        if (stopped.load(std::memory_order_relaxed)) return true;
        if (scope.requested()) {
            stopped = true;
            return true;
        }
        return false;
    };
    MotionCache cache(a);
    std::vector<PathPlan> plans = planAll(a, cache, stopRequested);
    if (stopped) {
        result.completed = false;
        return result;
    }
    const long long cap = capForBudget(plans, a.sampleBudget);

    std::vector<Job> jobs;
    // Making room for the positions writes every one of them once; that is
    // done on the workers too, one path each.
    std::vector<std::pair<std::vector<Vec3>*, std::size_t>> resizes;
    for (auto& plan : plans) {
        if (stopRequested()) {
            result.completed = false;
            return result;
        }
        long long n = samplesWithin(plan, cap);
        if (n < plan.samples && !plan.sphere->points.empty())
            result.coarsened.push_back(plan.sphere);
        if (n <= 0 || !plan.period) continue;
        BigRational perStep = *plan.period / BigRational(n);
        Job job{&plan, n, perStep, {}, {}, {}};
        for (std::size_t i = 1; i < plan.list.size(); ++i) {
            Sphere& from = *plan.list[i - 1];
            Sphere& to = *plan.list[i];
            job.motions.push_back(LinkMotion::make(a, to, from));
            // Revolutions per step: the link's turns over the period, / n.
            BigInt turns =
                cache.linkCycles(from, to) * wholeQuotient(*plan.period, plan.linkPeriods[i - 1]);
            job.steps.emplace_back(BigRational(turns, BigInt(n)), n);
        }
        Sphere& s = *plan.sphere;
        for (auto& p : s.points) {
            double z = p.pointAngleZ * kDegToRad, x = p.pointAngleX * kDegToRad;
            job.pointConsts.push_back({portable::cos(z), portable::sin(z), portable::cos(x),
                                       portable::sin(x), p.quantumDistance * s.radius});
            p.clearPath();
            resizes.push_back({&p.path, static_cast<std::size_t>(n)});
        }
        result.samples += static_cast<std::size_t>(n) * s.points.size();
        jobs.push_back(std::move(job));
    }

    std::vector<Group> groups;
    for (const Job& job : jobs)
        if (!job.pointConsts.empty()) addToGroups(groups, job);

    // Work items: stretches of samples of one group.
    constexpr long long kChunk = 8 * kLinkBlock;
    struct Item {
        std::size_t group;
        long long k0, k1;
        double cost;
    };
    std::vector<Item> items;
    double totalCost = 0;
    for (std::size_t j = 0; j < groups.size(); ++j) {
        const Group& g = groups[j];
        std::size_t points = 0;
        for (const Traced& t : g.traced) points += t.points.size();
        for (long long k = 0; k < g.n; k += kChunk) {
            long long k1 = std::min(g.n, k + kChunk);
            double cost = double(k1 - k) * double(g.nodes.size() + points);
            items.push_back({j, k, k1, cost});
            totalCost += cost;
        }
    }

    auto addDone = [&](double c) { portable::addTo(doneCost, c); };

    unsigned threads = control && control->threads ? control->threads : portable::hardwareThreads();
    // Starting a thread costs tens of microseconds; not worth it for small passes.
    if (totalCost < 20000) threads = 1;

    auto reportProgress = [&]() {
        if (control && control->progress && totalCost > 0)
            control->progress(std::min(1.0, doneCost.load() / totalCost));
    };
    // Two phases: room for the paths, then the samples.
    ParallelOptions parallel;
    parallel.threads = threads;
    parallelFor(
        resizes.size(),
        [&](std::size_t i, unsigned) { resizes[i].first->resize(resizes[i].second); }, parallel);
    parallel.stop = [&] { return stopRequested(); };
    parallelFor(
        items.size(),
        [&](std::size_t i, unsigned worker) {
            const Item& it = items[i];
            sampleRange(groups[it.group], it.k0, it.k1);
            addDone(it.cost);
            if (worker == 0) reportProgress();
        },
        parallel);
    if (stopped) {
        result.completed = false;
        return result;
    }
    for (const Job& job : jobs) leaveAtLastInstant(a, job);
    if (control && control->progress && totalCost > 0) control->progress(1.0);
    return result;
}
