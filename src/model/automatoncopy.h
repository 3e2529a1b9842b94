// Copies of a whole automaton, so that work on it (drawing, a path pass, an
// export) can go on in another thread while the original is edited.
#pragma once

#include <memory>

#include "automaton.h"
#include "sphere.h"

// copyAutomaton (declared with Sphere): every sphere in its own table slot,
// with its name, appearance, factors, angles, points and the results of the
// last placement; relations and roles point to the copies. The exact-motion
// memo comes along, so that a long chain's copy is placed at once.

// Whether the spheres of b move as those of a, sample for sample: the same
// slots, relations, roles, factors, angles, points and path settings. Only
// appearance (names, colours, surfaces, what is shown) may differ.
bool sameMotion(const Automaton& a, const Automaton& b);

// Gives `to` the placement and the paths that `from` has computed, for an
// automaton that moves as `from` does (sameMotion), so that a change of
// appearance does not cost a path pass. Nothing is done otherwise.
void carryPaths(const Automaton& from, Automaton& to);
