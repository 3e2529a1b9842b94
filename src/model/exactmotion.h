// The exact motion of spheres, kept with each sphere (exactmemo.h) and
// made again only where an input changed: an edit of a middle sphere of a
// long chain redoes that sphere and what hangs below it, nothing above.
//
// Queries may come from several threads at once (each takes the memos'
// lock and answers with a copy); changes may not overlap any query, the
// rule every pass over an automaton already follows.
//
// Inside a StopScope whose flag is raised, making an entry throws
// PassStopped (passstop.h); entries already made stay good.
#pragma once

#include "exactmemo.h"
#include "rational.h"

struct Sphere;

namespace exact {

// The product of radius factors up the radius chain (relativeRadius).
BigRational radiusOf(const Sphere& s);
// kappa(s): rolling rates multiplied up the time chain, up to and with
// the time master, which ends every chain.
BigRational speedOf(const Sphere& s, const Sphere* timeMaster);

// The constants of the link of c to its parent; empty when c has none.
std::optional<ExactMemo::Link> linkOf(const Sphere& c, const Sphere* timeMaster);

}  // namespace exact
