// Random chains and chains of a chosen symmetry.
#include "curvedesign.h"

#include <algorithm>
#include <numeric>
#include <set>

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
    return out;
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
        s->points.clear();
        for (const ChainPoint& p : l.points) s->addPoint(p.angleZ, p.angleX, p.quantum);
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
    if (curves.empty()) return false;
    for (const CurveInvariants& c : curves) {
        const CurveSymmetry& s = c.symmetry;
        if (s.kind != CurveSymmetry::Order || s.order < 3 || c.lobes < 3) return false;
        if (!c.checked || !(c.checkError < kSymmetryTolerance)) return false;
        if (!(c.reach > 0) || c.thickness < 0.01 * c.reach) return false;
        // The tube drawn around the curve must not swallow it.
        for (const Sphere* sp : a.sphereTable)
            if (sp && sp->name == c.sphere && 0.15 * sp->radius > 0.2 * c.reach) return false;
    }
    return true;
}

namespace {

ChainPlan drawChain(SplitMix64& rng) {
    ChainPlan plan;
    const int levels = rng.chance(20) ? 2 : rng.between(3, 4);
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
    static const double quanta[] = {1, 1, 0.5, 0.75, 1.5};
    ChainLevel& last = plan.levels.back();
    last.points.push_back({0, 90, quanta[rng.between(0, 4)]});
    if (rng.chance(25)) {
        if (levels >= 3 && rng.chance(50))
            plan.levels[static_cast<std::size_t>(levels - 2)].points.push_back({0, 90, 1});
        else
            last.points.push_back({180, 90, quanta[rng.between(0, 4)]});
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
            for (std::size_t i = 0; i < s->points.size() && symmetric && s != a.stationarySphere;
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
std::vector<LinkOption> linkOptions(int order, bool first, int mostNumerator) {
    std::vector<LinkOption> out;
    const int most = std::min(3 * order + 3, 80);
    static const Rational rates[] = {{1, 1}, {2, 1}, {1, 2}, {3, 1}, {3, 2}, {2, 3}, {1, 3}};
    const std::vector<Rational> rateChoices =
        first ? std::vector<Rational>{Rational(1)}
              : std::vector<Rational>(std::begin(rates), std::end(rates));
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
QuickSymmetry quickSymmetry(const std::vector<const LinkOption*>& links) {
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
        if (i == 0)
            outer = rev;
        else
            groups.push_back(group + rev);
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

std::vector<ChainPlan> symmetricChains(int order, int levels, int count) {
    std::vector<ChainPlan> found;
    if (order < 1 || levels < 2 || levels > 4 || count <= 0) return found;
    const int links = levels - 1;
    const int mostNumerator = links == 1 ? 9 : 3;
    const std::vector<LinkOption> firstOptions = linkOptions(order, true, mostNumerator);
    const std::vector<LinkOption> otherOptions = linkOptions(order, false, mostNumerator);
    ChainPlan plan;
    plan.levels.resize(static_cast<std::size_t>(levels));
    plan.levels.back().points.push_back({0, 90, 1});
    std::set<std::string> shapes;
    constexpr long long kMostTried = 1'500'000;  // options looked at, at most
    long long tried = 0;
    std::vector<const LinkOption*> chosen(static_cast<std::size_t>(links));

    auto accept = [&]() {
        ChainPlan made = plan;
        for (int l = 0; l < links; ++l) {
            const LinkOption& c = *chosen[static_cast<std::size_t>(l)];
            ChainLevel& level = made.levels[static_cast<std::size_t>(l + 1)];
            level.factor = c.factor;
            level.rate = c.rate;
            level.inside = c.inside;
            level.antiClockwise = c.anti;
        }
        ChainAutomaton a(made);
        CurveSymmetry sym = curveSymmetry(a, *a.spheres().back(), 0);
        if (sym.kind == CurveSymmetry::Order && sym.order == order) found.push_back(made);
    };
    // Candidates whose costs add up to exactly `left`, links in order. The
    // options are sorted by cost, so the last link's are one equal range.
    auto byCost = [](const LinkOption& o, int c) { return o.cost < c; };
    std::function<void(int, int)> visit = [&](int link, int left) {
        const auto& options = link == 0 ? firstOptions : otherOptions;
        const bool last = link + 1 == links;
        auto from =
            last ? std::lower_bound(options.begin(), options.end(), left, byCost) : options.begin();
        for (auto it = from; it != options.end(); ++it) {
            const LinkOption& o = *it;
            if (static_cast<int>(found.size()) >= count || ++tried >= kMostTried) return;
            if (last ? o.cost != left : o.cost >= left) break;
            chosen[static_cast<std::size_t>(link)] = &o;
            if (!last) {
                visit(link + 1, left - o.cost);
                continue;
            }
            QuickSymmetry q = quickSymmetry(chosen);
            if (q.order != order) continue;
            // One of each shape: the same inner period and turn with the
            // same sides of rolling draw much the same curve.
            std::string shape = std::to_string(q.inner.numerator()) + "/" +
                                std::to_string(q.inner.denominator()) + ":" +
                                std::to_string(q.turn.numerator());
            for (const LinkOption* c : chosen) shape += c->inside ? "i" : "o";
            if (shapes.insert(shape).second) accept();
        }
    };
    for (int cost = 3 * links;
         cost < 600 && static_cast<int>(found.size()) < count && tried < kMostTried; ++cost)
        visit(0, cost);
    // Too few shapes: the same rates with the point nearer the centre or
    // further out draw other curves of the same symmetry.
    const double quanta[] = {0.5, 1.6};
    for (std::size_t i = 0, n = found.size(); i < n * 2 && static_cast<int>(found.size()) < count;
         ++i) {
        ChainPlan more = found[i % n];
        more.levels.back().points.front().quantum = quanta[i / n];
        found.push_back(more);
    }
    return found;
}
