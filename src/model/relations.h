// The three relations between spheres (parent, radius reference, time
// reference), their link operations, subtree destruction, and the walks over
// the tree that every pass uses.
//
// Every walk here terminates on any pointer structure, including a tree read
// from a damaged file: each sphere is visited at most once.
#pragma once

#include <functional>
#include <vector>

#include "automaton.h"
#include "sphere.h"

// Appends dependant to reference's list of that kind and sets its pointer.
// Refused (returns false, nothing changes) when it would close a cycle:
// reference is dependant itself or already depends on it through that
// relation. A dependant already linked is first unlinked from its old
// reference.
bool attach(Sphere& dependant, Sphere& reference, int kind);

// Unlinks dependant from reference's list. Inside a destroy operation that
// spares the root, a surviving dependant moves to the radius root (kind 1)
// or the time master (kind 2, unless it is the time master).
void detach(Automaton& a, Sphere& reference, Sphere& dependant, int kind);

// True if target is start or lies below it in the dependant lists of kind.
bool reaches(const Sphere* target, const Sphere* start, int kind);

// Marks s and its subtree doomed, counts them out of the automaton and clears
// the stationary sphere and reference child roles that they hold.
void markDoomed(Automaton& a, Sphere& s);

// Destroys s and its subtree (after markDoomed, with destroyInProgress set)
// and frees them. Survivors that referred to a destroyed sphere are
// re-linked as detach describes.
void destroySubtree(Automaton& a, Sphere* s);

// Pre-order walk (a sphere, then its children in order) from s, leaving out
// skip and its subtree.
void forEachPreOrder(Sphere* s, const std::function<void(Sphere&)>& work,
                     const Sphere* skip = nullptr);

// The neighbour traversal: from the stationary sphere, into the parent and
// then the children, never back. work(sphere, predecessor).
void forEachNeighbour(Sphere* start, const std::function<void(Sphere&, Sphere*)>& work);

// Which list a sphere may appear in on the property pages.
enum class ListKind { Radius, Time, Stationary };

// The spheres a reference list offers, in pre-order from the root: for the
// radius and time lists, those that do not already depend on selected
// along that relation (which would make a loop).
std::vector<Sphere*> fillList(const Automaton& a, ListKind kind, const Sphere* selected);

bool anyDynamic(const Automaton& a);
bool stationaryWithin(const Automaton& a, const Sphere& s);
// Largest distance of a sphere centre from the origin over the root's tree.
double extent(const Automaton& a, double start = 0);
// Largest distance from the origin that a sphere's surface, or the tube
// drawn around a traced path, reaches: what a camera must keep in view.
double reach(const Automaton& a);

// The spheres from the stationary sphere to s along parent links, or empty
// when s is neither an ancestor nor a descendant of the stationary sphere.
std::vector<Sphere*> findPathList(const Automaton& a, Sphere& s);

// Every sphere of the root's tree, pre-order.
std::vector<Sphere*> treeSpheres(const Automaton& a);
