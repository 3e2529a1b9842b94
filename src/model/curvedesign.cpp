// Random chains and chains of a chosen symmetry.
#include "curvedesign.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <numeric>
#include <optional>
#include <set>

#include "passstop.h"
#include "placement.h"
#include "pointpaths.h"
#include "relations.h"

namespace {

constexpr double kDefaultStep = 0.25005;  // the path step of the default accuracy
// Random automata stay well inside the sample budget, so that they appear
// at once and leave room for edits.
constexpr std::size_t kRandomSampleLimit = 200'000;
constexpr int kRandomAttempts = 400;

}  // namespace

std::uint64_t SplitMix64::next() {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

int SplitMix64::between(int lo, int hi) {
    const std::uint64_t span = static_cast<std::uint64_t>(hi - lo) + 1;
    const std::uint64_t limit = UINT64_MAX - UINT64_MAX % span;
    std::uint64_t v;
    do v = next();
    while (v >= limit);
    return lo + static_cast<int>(v % span);
}

std::string ChainPlan::describe() const {
    std::string out;
    for (std::size_t i = 1; i < levels.size(); ++i) {
        const ChainLevel& l = levels[i];
        if (!out.empty()) out += ", ";
        out += toString(l.factor) + (l.inside ? " in" : " out");
        if (l.antiClockwise) out += " anti";
        if (i > 1 && l.rate != Rational(1)) out += " x" + toString(l.rate);
        if (l.tiltX != 0) out += " tilted";
    }
    // Candidates that differ only in how far out the point is.
    if (!levels.empty() && !levels.back().points.empty() && levels.back().points[0].quantum != 1) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", levels.back().points[0].quantum);
        out += std::string(", point at ") + text + " x radius";
    }
    return out;
}

bool ChainPlan::flat() const {
    for (std::size_t i = 1; i < levels.size(); ++i)
        if (std::fmod(levels[i].tiltX, 180.0) != 0) return false;
    return true;
}

std::vector<Sphere*> buildChain(Automaton& a, const ChainPlan& plan, const MakeSphere& make) {
    std::vector<Sphere*> out;
    Sphere* parent = nullptr;
    for (std::size_t i = 0; i < plan.levels.size(); ++i) {
        Sphere* s = make(parent);
        if (!s) return {};
        const ChainLevel& l = plan.levels[i];
        if (i > 0) s->radiusFactor = l.factor;
        if (i > 1) s->rollingRate = l.rate;
        s->inside = l.inside;
        s->antiClockwise = l.antiClockwise;
        s->axisAngleZ = l.tiltZ;
        s->axisAngleX = l.tiltX;
        // Point 0 is the sphere's centre, as on every sphere the user makes;
        // the traced points follow it. Only spheres that carry traced points
        // show paths, so that the centres' curves do not crowd the picture.
        s->points.clear();
        s->addPoint(0, 0, 0);
        for (const ChainPoint& p : l.points) s->addPoint(p.angleZ, p.angleX, p.quantum);
        s->showPointPaths = !l.points.empty();
        s->color = kLevelColors[std::min<std::size_t>(i, 8)];
        out.push_back(s);
        parent = s;
    }
    if (!out.empty()) a.stationarySphere = out.front();
    return out;
}

ChainAutomaton::ChainAutomaton(const ChainPlan& plan) {
    spheres_ = buildChain(*this, plan, [this](Sphere* parent) {
        auto* s = new Sphere(std::string(1, static_cast<char>('A' + sphereCount)));
        s->document = this;
        sphereTable[static_cast<std::size_t>(sphereCount++)] = s;
        if (!parent) {
            root = radiusRoot = s;
        } else {
            attach(*s, *parent, kParent);
            attach(*s, *parent, kRadius);
            if (!timeMaster)
                timeMaster = s;
            else
                attach(*s, *timeMaster, kTime);
        }
        return s;
    });
}

ChainAutomaton::~ChainAutomaton() {
    destroyInProgress = destroyingEverything = 1;
    if (root) {
        markDoomed(*this, *root);
        destroySubtree(*this, root);
    }
}

bool looksGood(const Automaton& a, const std::vector<CurveInvariants>& curves) {
    bool any = false;
    for (const CurveInvariants& c : curves) {
        // The centres' curves are hidden; the picture is the traced points'.
        if (c.point == 0) continue;
        any = true;
        const CurveSymmetry& s = c.symmetry;
        if (s.kind != CurveSymmetry::Order || s.order < 3 || c.lobes < 3) return false;
        if (!c.checked || !(c.checkError < kSymmetryTolerance)) return false;
        if (!(c.reach > 0) || c.thickness < 0.01 * c.reach) return false;
        // The tube drawn around the curve must not swallow it.
        for (const Sphere* sp : a.sphereTable)
            if (sp && sp->name == c.sphere && 0.15 * sp->radius > 0.2 * c.reach) return false;
    }
    return any;
}

namespace {

ChainPlan drawChain(SplitMix64& rng) {
    ChainPlan plan;
    // Two levels draw few distinct curves that look good, so they are rare:
    // otherwise one of them would be most seeds' automaton.
    const int levels = rng.chance(5) ? 2 : rng.between(3, 4);
    plan.levels.resize(static_cast<std::size_t>(levels));
    for (int i = 1; i < levels; ++i) {
        ChainLevel& l = plan.levels[static_cast<std::size_t>(i)];
        int q = rng.between(2, 7);
        l.factor = Rational(rng.between(1, q - 1), q);
        l.inside = rng.chance(35);
        if (i > 1) {
            l.rate = Rational(rng.between(1, 4), rng.between(1, 3));
            l.antiClockwise = rng.chance(30);
            if (rng.chance(20)) {
                l.tiltX = 15.0 * rng.between(1, 4);
                l.tiltZ = 15.0 * rng.between(0, 23);
            }
        }
    }
    // How far out the traced point is, in thousandths of the radius: each
    // draws another curve of the same symmetry, so that the few chains that
    // look good still give every seed a curve of its own.
    auto quantum = [&rng] { return rng.between(500, 1750) / 1000.0; };
    ChainLevel& last = plan.levels.back();
    last.points.push_back({0, 90, quantum()});
    if (rng.chance(25)) {
        if (levels >= 3 && rng.chance(50))
            plan.levels[static_cast<std::size_t>(levels - 2)].points.push_back({0, 90, 1});
        else
            last.points.push_back({180, 90, quantum()});
    }
    return plan;
}

// Sample count the default accuracy gives the chain's traced points.
std::size_t samplesAtDefault(ChainAutomaton& a) {
    std::size_t total = 0;
    for (Sphere* s : a.spheres()) {
        if (s->points.empty() || s == a.stationarySphere) continue;
        PathPlan plan = planPath(a, *s);
        if (!plan.period || plan.samples <= 0) return 0;
        total += static_cast<std::size_t>(plan.samples) * s->points.size();
    }
    return total;
}

}  // namespace

ChainPlan randomChain(std::uint64_t seed) {
    // Neighbouring seeds start far apart in the generator's sequence.
    SplitMix64 rng(SplitMix64(seed ^ 0x5851f42d4c957f2dULL).next());
    ChainPlan plan;
    for (int attempt = 0; attempt < kRandomAttempts; ++attempt) {
        plan = drawChain(rng);
        ChainAutomaton a(plan);
        a.pathStep = kDefaultStep;
        reset(a);
        std::size_t samples = samplesAtDefault(a);
        if (samples < 100 || samples > kRandomSampleLimit) continue;
        // The exact symmetry is cheap; the measured shape is not.
        bool symmetric = true;
        for (Sphere* s : a.spheres())
            for (std::size_t i = 1; i < s->points.size() && symmetric && s != a.stationarySphere;
                 ++i) {
                CurveSymmetry sym = curveSymmetry(a, *s, i);
                symmetric = sym.kind == CurveSymmetry::Order && sym.order >= 3;
            }
        if (!symmetric) continue;
        pathPass(a);
        if (looksGood(a, curveInvariants(a, false))) return plan;
    }
    return plan;  // the last one drawn: closed and within the budget at least
}

namespace {

struct LinkOption {
    Rational factor;
    Rational rate;
    bool inside, anti;
    int cost;
};

// What one link may be: small fractions, and those whose denominators
// relate to the order wanted (the turn of the first link over the inner
// period has that denominator).
// A tilted link's own turn must come round by itself, which takes a rate
// that is a multiple of the order (orderRates).
std::vector<LinkOption> linkOptions(int order, bool first, int mostNumerator, bool orderRates) {
    std::vector<LinkOption> out;
    const int most = std::min(3 * order + 3, 80);
    static const Rational rates[] = {{1, 1}, {2, 1}, {1, 2}, {3, 1}, {3, 2}, {2, 3}, {1, 3}};
    std::vector<Rational> rateChoices =
        first ? std::vector<Rational>{Rational(1)}
              : std::vector<Rational>(std::begin(rates), std::end(rates));
    if (!first && orderRates)
        for (Rational r :
             {Rational(order), Rational(order, 2), Rational(order, 3), Rational(2 * order, 3)})
            if (std::find(rateChoices.begin(), rateChoices.end(), r) == rateChoices.end())
                rateChoices.push_back(r);
    for (int b = 2; b <= most; ++b)
        for (int a = 1; a <= std::min(mostNumerator, b - 1); ++a) {
            if (std::gcd(a, b) != 1) continue;
            int r = b % order;
            bool related = b <= 6 || r == 0 || r == a % order || r == (order - a % order) % order;
            if (!related) continue;
            for (int inside = 0; inside < 2; ++inside)
                for (const Rational& rate : rateChoices)
                    for (int anti = 0; anti < (first ? 1 : 2); ++anti)
                        out.push_back(
                            {Rational(a, b), rate, inside != 0, anti != 0,
                             a + b + rate.numerator() + rate.denominator() - 2 + inside + anti});
        }
    std::stable_sort(out.begin(), out.end(),
                     [](const LinkOption& x, const LinkOption& y) { return x.cost < y.cost; });
    return out;
}

// The order of a chain of such links, straight from their small fractions:
// the same turn groups curveSymmetry finds, for an untilted chain from the
// stationary root whose traced point lies off its sphere's axis. Each link
// turns by rev = +-D k (D = the factor's numerator, k the rate) and then by
// spin - rev. Candidates found this way are confirmed by curveSymmetry.
using Small = boost::rational<long long>;
struct QuickSymmetry {
    long long order = 0;
    Small inner, turn;
};
//
// A link whose axis is tilted out of its parent's no longer adds its turn to
// the parent's spin about one axis: the two must each come round, so they
// count as separate groups.
QuickSymmetry quickSymmetry(const std::vector<const LinkOption*>& links, int tiltedLink = -1) {
    Small outer, group;
    std::vector<Small> groups;
    for (std::size_t i = 0; i < links.size(); ++i) {
        const LinkOption& o = *links[i];
        Small rate = Small(o.factor.numerator()) * Small(o.rate.numerator(), o.rate.denominator());
        const bool clockwise = !o.anti;
        Small rev = clockwise ? rate : -rate;
        Small u(o.factor.denominator(), o.factor.numerator());  // above 1: the child is smaller
        Small uPrime = o.inside ? u - Small(1) : u + Small(1);
        bool forward = o.inside ? !clockwise : clockwise;
        Small phi = (forward ? rate * uPrime : -rate * uPrime) - rev;
        if (i == 0) {
            outer = rev;
        } else if (static_cast<int>(i) == tiltedLink) {
            groups.push_back(group);
            groups.push_back(rev);
        } else {
            groups.push_back(group + rev);
        }
        group = phi;
    }
    groups.push_back(group);
    long long g = 0, l = 1;
    for (const Small& x : groups) {
        if (x.numerator() == 0) continue;
        g = std::gcd(g, std::abs(x.numerator()));
        l = std::lcm(l, x.denominator());
    }
    QuickSymmetry q;
    if (g == 0) return q;  // a circle
    q.inner = Small(l, g);
    q.turn = outer * q.inner;
    q.turn -= Small(q.turn.numerator() / q.turn.denominator());
    if (q.turn.numerator() < 0) q.turn += Small(1);
    q.order = q.turn.denominator();
    return q;
}

}  // namespace

namespace {

// The search for chains of one order, shared by its stages: what was
// found, the shapes seen, and the time left.
class SymmetrySearch {
  public:
    using Clock = std::chrono::steady_clock;
    // tiltedLink: the link (1 and deeper) whose axis is tilted out of its
    // parent's, so that the curves leave the plane; -1 for flat chains.
    SymmetrySearch(int order, int count, Clock::time_point deadline, int tiltedLink = -1)
        : order_(order), count_(count), tiltedLink_(tiltedLink), deadline_(deadline) {}

    bool full() const { return static_cast<int>(found.size()) >= count_; }
    bool outOfTime() {
        // The clock is read now and then: one option costs microseconds. A
        // stop (a cancelled search in the window, Ctrl+C) ends it as the
        // time limit does.
        if ((++ticks_ & 1023) == 0 && (Clock::now() >= deadline_ || stopRequested()))
            late_ = true;
        return late_;
    }
    bool late() const { return late_; }

    // Every chain of `links` links whose costs add up to less than mostCost
    // (beyond those of `base`, which fixes the first links), cheapest first.
    void visitAll(int links, int mostNumerator, int mostCost,
                  const std::vector<const LinkOption*>& base = {}) {
        const std::vector<LinkOption>& firstOptions = options(true, mostNumerator);
        const std::vector<LinkOption>& otherOptions = options(false, mostNumerator);
        chosen_ = base;
        chosen_.resize(static_cast<std::size_t>(links));
        int fixedCost = 0;
        for (const LinkOption* b : base) fixedCost += b->cost;
        const int from = static_cast<int>(base.size());
        // Candidates whose costs add up to exactly `left`, links in order.
        // The options are sorted by cost, so the last link's are one equal
        // range.
        auto byCost = [](const LinkOption& o, int c) { return o.cost < c; };
        std::function<void(int, int)> visit = [&](int link, int left) {
            const auto& opts = link == 0 ? firstOptions : otherOptions;
            const bool last = link + 1 == links;
            auto it =
                last ? std::lower_bound(opts.begin(), opts.end(), left, byCost) : opts.begin();
            for (; it != opts.end(); ++it) {
                const LinkOption& o = *it;
                if (full() || outOfTime()) return;
                if (last ? o.cost != left : o.cost >= left) break;
                chosen_[static_cast<std::size_t>(link)] = &o;
                if (last)
                    consider(links);
                else
                    visit(link + 1, left - o.cost);
            }
        };
        for (int cost = fixedCost + (links - from);
             cost < fixedCost + mostCost && !full() && !late_; ++cost) {
            if (from == links) break;
            visit(from, cost - fixedCost);
        }
    }

    std::vector<ChainPlan> found;
    std::vector<std::vector<const LinkOption*>> foundLinks;

  private:
    const std::vector<LinkOption>& options(bool first, int mostNumerator) {
        auto& slot = cache_[{first, mostNumerator}];
        if (slot.empty()) slot = linkOptions(order_, first, mostNumerator, tiltedLink_ > 0);
        return slot;
    }

    void consider(int links) {
        QuickSymmetry q = quickSymmetry(chosen_, tiltedLink_);
        if (q.order != order_) return;
        // One of each shape: the same inner period and turn with the same
        // sides of rolling draw much the same curve.
        std::string shape = std::to_string(links) + ":" + std::to_string(q.inner.numerator()) +
                            "/" + std::to_string(q.inner.denominator()) + ":" +
                            std::to_string(q.turn.numerator());
        for (const LinkOption* c : chosen_) shape += c->inside ? "i" : "o";
        if (!shapes_.insert(shape).second) return;
        if (tiltedLink_ >= links) return;
        ChainPlan made;
        made.levels.resize(static_cast<std::size_t>(links) + 1);
        made.levels.back().points.push_back({0, 90, 1});
        for (int l = 0; l < links; ++l) {
            const LinkOption& c = *chosen_[static_cast<std::size_t>(l)];
            ChainLevel& level = made.levels[static_cast<std::size_t>(l + 1)];
            level.factor = c.factor;
            level.rate = c.rate;
            level.inside = c.inside;
            level.antiClockwise = c.anti;
        }
        if (tiltedLink_ > 0) made.levels[static_cast<std::size_t>(tiltedLink_ + 1)].tiltX = 45;
        // The quick order is confirmed on the automaton itself.
        ChainAutomaton a(made);
        CurveSymmetry sym = curveSymmetry(a, *a.spheres().back(), 1);
        if (sym.kind != CurveSymmetry::Order || sym.order != order_) return;
        found.push_back(made);
        foundLinks.push_back(chosen_);
    }

    int order_, count_, tiltedLink_;
    Clock::time_point deadline_;
    unsigned ticks_ = 0;
    bool late_ = false;
    std::map<std::pair<bool, int>, std::vector<LinkOption>> cache_;
    std::vector<const LinkOption*> chosen_;
    std::set<std::string> shapes_;
};

// Chains of `links` links with the second link's axis tilted out of the
// first's, so that their curves leave the plane (a tilt of the first link
// would only turn the whole plane). A tilted link's turn and its parent's
// spin must each come round, which takes rates that are multiples of the
// order. Three links grow from two.
std::vector<ChainPlan> tiltedChains(int order, int links, int wanted,
                                    SymmetrySearch::Clock::time_point deadline) {
    if (links < 2 || wanted <= 0) return {};
    SymmetrySearch two(order, wanted, deadline, 1);
    two.visitAll(2, 3, 120);
    if (links == 2) return two.found;
    SymmetrySearch more(order, wanted, deadline, 1);
    for (std::size_t i = 0; i < two.foundLinks.size() && !more.full() && !more.late(); ++i)
        more.visitAll(links, 3, 60, two.foundLinks[i]);
    return more.found;
}

}  // namespace

std::vector<ChainPlan> symmetricChains(int order, int levels, int count, double seconds,
                                       bool* outOfTime) {
    if (outOfTime) *outOfTime = false;
    if (order < 2 || levels < 2 || levels > 4 || count <= 0) return {};
    const auto deadline =
        SymmetrySearch::Clock::now() + std::chrono::duration_cast<SymmetrySearch::Clock::duration>(
                                           std::chrono::duration<double>(std::max(0.0, seconds)));
    const int links = levels - 1;
    // About one chain in three with a tilted link (the deepest first), whose
    // curve leaves the plane; a tilt of the first link would only turn the
    // whole plane. They are rarer, so their search gets a share of the time.
    const auto now = SymmetrySearch::Clock::now();
    std::vector<ChainPlan> tilted =
        tiltedChains(order, links, count / 3, now + (deadline - now) / 5);
    const int flatWanted = count - static_cast<int>(tilted.size());
    SymmetrySearch search(order, flatWanted, deadline);
    // The simplest chains first: small numerators and costs.
    search.visitAll(links, links == 1 ? 9 : 3, 200);
    // Then wider: longer chains grown from shorter ones of the same order
    // (a last link that keeps it), and larger numerators.
    for (int grow = 1; grow < links && !search.full() && !search.late(); ++grow) {
        SymmetrySearch shorter(order, flatWanted, deadline);
        shorter.visitAll(links - grow, links - grow == 1 ? 9 : 3, 200);
        for (std::size_t i = 0; i < shorter.foundLinks.size() && !search.full() && !search.late();
             ++i)
            search.visitAll(links, 3, 60 * grow, shorter.foundLinks[i]);
    }
    for (int numerator : {6, 12, 24})
        if (!search.full() && !search.late()) search.visitAll(links, numerator, 400);
    if (outOfTime) *outOfTime = search.late() && !search.full();

    std::vector<ChainPlan> found;
    const std::vector<ChainPlan>& flat = search.found;
    for (std::size_t i = 0, t = 0; i < flat.size() || t < tilted.size(); ++i) {
        if (i < flat.size()) found.push_back(flat[i]);
        if (i % 2 == 1 && t < tilted.size()) found.push_back(tilted[t++]);
    }
    if (static_cast<int>(found.size()) > count) found.resize(static_cast<std::size_t>(count));
    // Too few shapes: the same rates with the point nearer the centre or
    // further out draw other curves of the same symmetry.
    const double quanta[] = {0.5, 1.6};
    const std::size_t n = found.size();
    for (std::size_t i = 0; i < n * 2 && static_cast<int>(found.size()) < count; ++i) {
        ChainPlan more = found[i % n];
        more.levels.back().points.front().quantum = quanta[i / n];
        found.push_back(more);
    }
    return found;
}
