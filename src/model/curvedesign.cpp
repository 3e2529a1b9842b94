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

std::string ChainSpec::describe() const {
    std::string out;
    for (std::size_t i = 1; i < levels.size(); ++i) {
        const ChainLevel& l = levels[i];
        if (!out.empty()) out += ", ";
        out += toString(l.factor) + (l.inside ? " in" : " out");
        if (l.antiClockwise) out += " anti";
        if (i > 1 && l.rate != 1) out += " x" + toString(l.rate);
        if (l.tiltX != 0) out += " tilted";
    }
    return out;
}

std::vector<Sphere*> buildChain(Automaton& a, const ChainSpec& spec, const MakeSphere& make) {
    std::vector<Sphere*> out;
    Sphere* parent = nullptr;
    for (std::size_t i = 0; i < spec.levels.size(); ++i) {
        Sphere* s = make(parent);
        if (!s) return {};
        const ChainLevel& l = spec.levels[i];
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

ChainAutomaton::ChainAutomaton(const ChainSpec& spec) {
    spheres_ = buildChain(*this, spec, [this](Sphere* parent) {
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

ChainSpec drawChain(SplitMix64& rng) {
    ChainSpec spec;
    const int levels = rng.chance(20) ? 2 : rng.between(3, 4);
    spec.levels.resize(static_cast<std::size_t>(levels));
    for (int i = 1; i < levels; ++i) {
        ChainLevel& l = spec.levels[static_cast<std::size_t>(i)];
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
    ChainLevel& last = spec.levels.back();
    last.points.push_back({0, 90, quanta[rng.between(0, 4)]});
    if (rng.chance(25)) {
        if (levels >= 3 && rng.chance(50))
            spec.levels[static_cast<std::size_t>(levels - 2)].points.push_back({0, 90, 1});
        else
            last.points.push_back({180, 90, quanta[rng.between(0, 4)]});
    }
    return spec;
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

ChainSpec randomChain(std::uint64_t seed) {
    SplitMix64 rng(seed);
    ChainSpec spec;
    for (int attempt = 0; attempt < kRandomAttempts; ++attempt) {
        spec = drawChain(rng);
        ChainAutomaton a(spec);
        a.pathStep = kDefaultStep;
        reset(a);
        std::size_t samples = samplesAtDefault(a);
        if (samples < 100 || samples > kRandomSampleLimit) continue;
        pathPass(a);
        if (looksGood(a, curveInvariants(a))) return spec;
    }
    return spec;  // the last one drawn: closed and within the budget at least
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
std::vector<LinkOption> linkOptions(int order, bool first) {
    std::vector<LinkOption> out;
    const int most = std::min(3 * order + 3, 80);
    static const Rational rates[] = {{1, 1}, {2, 1}, {1, 2}, {3, 1}, {3, 2}, {2, 3}, {1, 3}};
    for (int b = 2; b <= most; ++b)
        for (int a = 1; a <= std::min(3, b - 1); ++a) {
            if (std::gcd(a, b) != 1) continue;
            int r = b % order;
            bool related = b <= 6 || r == 0 || r == a % order || r == (order - a % order) % order;
            if (!related) continue;
            for (int inside = 0; inside < 2; ++inside)
                for (const Rational& rate :
                     first ? std::vector<Rational>{Rational(1)}
                           : std::vector<Rational>(std::begin(rates), std::end(rates)))
                    for (int anti = 0; anti < (first ? 1 : 2); ++anti)
                        out.push_back(
                            {Rational(a, b), rate, inside != 0, anti != 0,
                             a + b + rate.numerator() + rate.denominator() - 2 + inside + anti});
        }
    return out;
}

}  // namespace

std::vector<ChainSpec> symmetricChains(int order, int levels, int count) {
    std::vector<ChainSpec> found;
    if (order < 1 || levels < 2 || levels > 4 || count <= 0) return found;
    const int links = levels - 1;
    const std::vector<LinkOption> firstOptions = linkOptions(order, true);
    const std::vector<LinkOption> otherOptions = linkOptions(order, false);
    ChainSpec spec;
    spec.levels.resize(static_cast<std::size_t>(levels));
    spec.levels.back().points.push_back({0, 90, 1});
    // One automaton, its factors changed for every candidate.
    ChainAutomaton a(spec);
    std::set<std::string> shapes;
    constexpr long long kMostTried = 400'000;
    long long tried = 0;
    std::vector<int> chosen(static_cast<std::size_t>(links));

    // Candidates whose costs add up to exactly `cost`, cheapest links first.
    std::function<void(int, int, int)> visit = [&](int link, int left, int cost) {
        if (static_cast<int>(found.size()) >= count || tried >= kMostTried) return;
        const auto& options = link == 0 ? firstOptions : otherOptions;
        for (std::size_t i = 0; i < options.size(); ++i) {
            const LinkOption& o = options[i];
            if (o.cost > left) continue;
            if (link + 1 < links && o.cost == left) continue;
            if (link + 1 == links && o.cost != left) continue;
            Sphere& s = *a.spheres()[static_cast<std::size_t>(link + 1)];
            s.radiusFactor = o.factor;
            if (link > 0) s.rollingRate = o.rate;
            s.inside = o.inside;
            s.antiClockwise = o.anti;
            chosen[static_cast<std::size_t>(link)] = static_cast<int>(i);
            if (link + 1 < links) {
                visit(link + 1, left - o.cost, cost);
                if (static_cast<int>(found.size()) >= count || tried >= kMostTried) return;
                continue;
            }
            ++tried;
            radiusPass(a);
            CurveSymmetry sym = curveSymmetry(a, s, 0);
            if (sym.kind != CurveSymmetry::Order || sym.order != order) continue;
            // One of each shape: the same inner period and turn with the
            // same sides of rolling draw much the same curve.
            std::string shape = toString(sym.innerPeriod) + "/" + toString(sym.turn);
            for (int l = 0; l < links; ++l) {
                const LinkOption& c =
                    (l == 0 ? firstOptions : otherOptions)[static_cast<std::size_t>(
                        chosen[static_cast<std::size_t>(l)])];
                shape += c.inside ? "i" : "o";
            }
            if (!shapes.insert(shape).second) continue;
            ChainSpec made = spec;
            for (int l = 0; l < links; ++l) {
                const LinkOption& c =
                    (l == 0 ? firstOptions : otherOptions)[static_cast<std::size_t>(
                        chosen[static_cast<std::size_t>(l)])];
                ChainLevel& level = made.levels[static_cast<std::size_t>(l + 1)];
                level.factor = c.factor;
                level.rate = c.rate;
                level.inside = c.inside;
                level.antiClockwise = c.anti;
            }
            found.push_back(made);
            if (static_cast<int>(found.size()) >= count) return;
        }
    };
    for (int cost = 3 * links;
         cost < 400 && static_cast<int>(found.size()) < count && tried < kMostTried; ++cost)
        visit(0, cost, cost);
    return found;
}
