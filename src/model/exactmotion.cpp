// Exact motion kept per sphere: each query checks the recorded inputs down
// its chain from the top and makes again only the entries whose inputs
// changed.
#include "exactmotion.h"

#include <atomic>
#include <mutex>
#include <unordered_set>
#include <vector>

#include "passstop.h"
#include "sphere.h"

namespace {

std::mutex& memoLock() {
    static std::mutex lock;
    return lock;
}

std::uint64_t freshStamp() {
    static std::atomic<std::uint64_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

// A recorded reference stamp that no entry ever has.
constexpr std::uint64_t kNeverValid = ~std::uint64_t{0};
// Chains in a document are at most as long as its table; a longer walk
// has met a loop, which only a damaged file (or a test) can make.
constexpr std::size_t kLongestChain = 4096;

// What relativeRadius did before anything was kept: the product up the
// chain, stopping where a sphere comes round again.
BigRational radiusWalkingLoops(const Sphere& s) {
    BigRational r(1);
    std::unordered_set<const Sphere*> seen;
    for (const Sphere* x = &s; x->radiusReference && seen.insert(x).second; x = x->radiusReference)
        r *= toBig(x->radiusFactor);
    return r;
}

BigRational speedWalkingLoops(const Sphere& s, const Sphere* master) {
    BigRational r = toBig(s.rollingRate);
    std::unordered_set<const Sphere*> seen;
    for (const Sphere* x = &s; x != master && x->timeReference && seen.insert(x).second;
         x = x->timeReference)
        r *= toBig(x->timeReference->rollingRate);
    return r;
}

// Brings s's radius entry up to date; the lock is held.
const ExactMemo::Radius& radiusEntry(const Sphere& s) {
    thread_local std::vector<const Sphere*> chain;
    chain.clear();
    for (const Sphere* x = &s; x; x = x->radiusReference) {
        chain.push_back(x);
        if (chain.size() > kLongestChain) {
            ExactMemo::Radius& e = s.exact.radius;
            throwIfStopped();
            e.value = radiusWalkingLoops(s);
            e.reference = s.radiusReference;
            e.referenceStamp = kNeverValid;
            e.factor = s.radiusFactor;
            e.stamp = freshStamp();
            return e;
        }
    }
    for (std::size_t i = chain.size(); i-- > 0;) {
        const Sphere& y = *chain[i];
        const Sphere* ref = y.radiusReference;
        ExactMemo::Radius& e = y.exact.radius;
        const bool valid =
            e.stamp != 0 && e.reference == ref &&
            (!ref || (e.factor == y.radiusFactor && e.referenceStamp == ref->exact.radius.stamp));
        if (valid) continue;
        throwIfStopped();
        // The top of the chain (the radius root) measures 1 whatever its
        // own factor says.
        e.value =
            ref ? BigRational(ref->exact.radius.value * toBig(y.radiusFactor)) : BigRational(1);
        e.reference = ref;
        e.referenceStamp = ref ? ref->exact.radius.stamp : 0;
        e.factor = y.radiusFactor;
        e.stamp = freshStamp();
    }
    return s.exact.radius;
}

const Sphere* nextInTime(const Sphere& x, const Sphere* master) {
    return &x == master ? nullptr : x.timeReference;
}

const ExactMemo::Speed& speedEntry(const Sphere& s, const Sphere* master) {
    thread_local std::vector<const Sphere*> chain;
    chain.clear();
    for (const Sphere* x = &s; x; x = nextInTime(*x, master)) {
        chain.push_back(x);
        if (chain.size() > kLongestChain) {
            ExactMemo::Speed& e = s.exact.speed;
            throwIfStopped();
            e.value = speedWalkingLoops(s, master);
            e.reference = nextInTime(s, master);
            e.referenceStamp = kNeverValid;
            e.rate = s.rollingRate;
            e.stamp = freshStamp();
            return e;
        }
    }
    for (std::size_t i = chain.size(); i-- > 0;) {
        const Sphere& y = *chain[i];
        const Sphere* ref = nextInTime(y, master);
        ExactMemo::Speed& e = y.exact.speed;
        const bool valid = e.stamp != 0 && e.reference == ref && e.rate == y.rollingRate &&
                           (!ref || e.referenceStamp == ref->exact.speed.stamp);
        if (valid) continue;
        throwIfStopped();
        e.value =
            ref ? BigRational(ref->exact.speed.value * toBig(y.rollingRate)) : toBig(y.rollingRate);
        e.reference = ref;
        e.referenceStamp = ref ? ref->exact.speed.stamp : 0;
        e.rate = y.rollingRate;
        e.stamp = freshStamp();
    }
    return s.exact.speed;
}

}  // namespace

namespace exact {

BigRational radiusOf(const Sphere& s) {
    std::lock_guard<std::mutex> hold(memoLock());
    return radiusEntry(s).value;
}

BigRational speedOf(const Sphere& s, const Sphere* timeMaster) {
    std::lock_guard<std::mutex> hold(memoLock());
    return speedEntry(s, timeMaster).value;
}

std::optional<ExactMemo::Link> linkOf(const Sphere& c, const Sphere* timeMaster) {
    if (!c.parent) return std::nullopt;
    std::lock_guard<std::mutex> hold(memoLock());
    const Sphere& p = *c.parent;
    const ExactMemo::Radius& rp = radiusEntry(p);
    const ExactMemo::Radius& rc = radiusEntry(c);
    const ExactMemo::Speed& kappa = speedEntry(c, timeMaster);
    ExactMemo::Link& e = c.exact.link;
    if (e.stamp != 0 && e.parent == &p && e.parentRadius == rp.stamp && e.ownRadius == rc.stamp &&
        e.ownSpeed == kappa.stamp)
        return e;
    throwIfStopped();
    e.parent = &p;
    e.parentRadius = rp.stamp;
    e.ownRadius = rc.stamp;
    e.ownSpeed = kappa.stamp;
    e.downRate.reset();
    e.upRate.reset();
    e.downPeriod.reset();
    e.upPeriod.reset();
    if (rp.value != 0 && rc.value != 0) {
        e.ratio = rp.value / rc.value;
        // n / D in lowest terms: in one cycle distance the sphere goes D
        // times round its parent, the parent |n| times round the sphere.
        e.downCycles = boost::multiprecision::denominator(e.ratio);
        const BigInt& n = boost::multiprecision::numerator(e.ratio);
        e.upCycles = n < 0 ? BigInt(-n) : n;
        e.downRate = BigRational(e.downCycles) * kappa.value;
        e.upRate = *e.downRate * e.ratio;
        if (kappa.value != 0) {
            e.downPeriod = BigRational(e.downCycles) / *e.downRate;
            e.upPeriod = BigRational(e.upCycles) / *e.upRate;
        }
    } else {
        e.ratio = 0;
        e.downCycles = e.upCycles = 0;
    }
    e.stamp = freshStamp();
    return e;
}

}  // namespace exact
