// What a sphere keeps of its exact motion between passes: its relative
// radius, its rolling speed and the constants of the link to its parent.
// A long chain asks for these at every placement and path plan, and
// working them out again each time (products of hundreds of factors) made
// every edit cost the whole tree.
//
// Each entry records the inputs it was made from: the sphere's own factor,
// the sphere it was measured against and that sphere's entry stamp. Stamps
// are never reused, so an entry made before an edit anywhere up its chain,
// or by a sphere that lived at the same address before, never matches and
// is made again when next asked for (exactmotion.h). Nothing has to be told
// of edits: whoever changes a factor or a link (a page, the Python module,
// an undo, a file) leaves the stale entries behind, and they are passed over.
#pragma once

#include <cstdint>
#include <optional>

#include "rational.h"

struct Sphere;

struct ExactMemo {
    // relativeRadius: the product of radius factors up the radius chain.
    struct Radius {
        std::uint64_t stamp = 0;  // 0: not made yet
        const Sphere* reference = nullptr;
        std::uint64_t referenceStamp = 0;
        Rational factor{0};
        BigRational value;
    } radius;
    // kappa: the rolling speed in cycle distances per time unit, the product
    // of rolling rates up the time chain to the time master.
    struct Speed {
        std::uint64_t stamp = 0;
        const Sphere* reference = nullptr;  // null: the chain ends here
        std::uint64_t referenceStamp = 0;
        Rational rate{0};
        BigRational value;
    } speed;
    // The rolling link to the parent, in both directions: "down" places
    // the sphere from its parent, "up" the parent from the sphere.
    struct Link {
        std::uint64_t stamp = 0;
        const Sphere* parent = nullptr;
        std::uint64_t parentRadius = 0, ownRadius = 0, ownSpeed = 0;
        // Empty when a radius on the link is 0: nothing rolls there.
        std::optional<BigRational> downRate, upRate;  // revolutions per time unit
        BigInt downCycles, upCycles;                  // revolutions in one cycle distance
        // Empty also for a speed of 0.
        std::optional<BigRational> downPeriod, upPeriod;
        BigRational ratio;  // parent's relative radius / the sphere's
    } link;
};
