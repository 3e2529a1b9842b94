// What a traced point's closed curve is: when it closes, its exact
// rotational symmetry about the axis the first link turns about, the shape
// measured on the curve itself (lobes, mirror symmetry, length, size,
// thickness, whether it crosses itself or has a cusp), its knot, and how
// it links with the other traced curves.
//
// The symmetry comes from the exact rates: the point's position is the first
// link's turn about its axis applied to the motion of everything below it,
// and the chain of link operations tells when that inner motion repeats.
// The sampled path then checks the claim.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "automaton.h"
#include "geometry.h"
#include "rational.h"
#include "sphere.h"

// Thickness of a closed curve given by its samples in order (the last joins
// the first): the least of the smallest radius of curvature and half the
// least distance between two parts of the curve that are not neighbours
// along it. A tube of that radius does not cross itself. 0 for fewer than
// three samples or a curve that turns back on itself.
double curveThickness(const std::vector<Vec3>& closedPath);
// The smallest radius of the circles through three consecutive samples.
double leastRadiusOfCurvature(const std::vector<Vec3>& closedPath);

// The exact part, from the rates alone.
struct CurveSymmetry {
    enum Kind { None, Circle, Order } kind = None;
    BigRational period;            // time after which the point's curve closes
    BigRational innerPeriod;       // time after which the motion below the first link repeats
    BigRational turn;              // the first link's turn over innerPeriod, in turns
    long long order = 0;           // k, for Order
    BigRational passPeriod;        // the time the path pass samples
    long long periodsPerPass = 1;  // ... covers this many closings
    Vec3 axis{0, 0, 1};            // through the origin
    // None because the pass period is longer than this many turns of the
    // time master, too long to work out (0: not so).
    std::uint64_t longerThanTurns = 0;
};

// Symmetry of point `point` of s. None when s has no path list or no
// common period (a zero factor on the way).
CurveSymmetry curveSymmetry(const Automaton& a, const Sphere& s, std::size_t point);

// The linking number of a curve with another traced curve.
struct CurveLink {
    std::string sphere;
    int point = 0;
    int number = 0;
    // False when the curves come so close that the work allowed could not
    // settle the number (number is then 0 and means nothing).
    bool settled = true;
};

struct CurveInvariants {
    std::string sphere;
    int slot = -1;  // the sphere's slot in the table
    int point = 0;  // index in the sphere's list
    CurveSymmetry symmetry;
    BigRational masterLaps;  // revolutions of the time master around its parent in one period
    BigRational sphereLaps;  // ... of the point's own sphere around its parent
    // Measured on the curve (not on its samples), over one closing:
    int lobes = 0;          // maxima of the distance from the axis; 0 for a circle
    bool mirror = false;    // some plane through the axis is a mirror of the curve
    double length = 0;      // to 1e-6 of itself
    double reach = 0;       // largest distance from the origin, to 1e-9 of itself
    double thickness = 0;   // radius of the thickest tube that does not touch itself
    bool crosses = false;   // passes through itself: no thickness
    bool cusp = false;      // stops and turns back: no thickness
    bool measured = false;  // the numbers above were measured
    double checkError = 0;  // largest miss of the symmetry check, relative to the size
    bool checked = false;   // the check ran (a curve with samples and a claim)
    // The knot, for a curve that does not meet itself ("" when not known).
    std::string knot;
    // When the diagram's crossings leave more than one knot of the table
    // with its polynomial: the knot of the table that has it ("5_1").
    std::string knotPolynomialOf;
    std::vector<long long> alexander;  // symmetric, lowest power first
    long long determinant = 0;
    int knotCrossings = 0;  // of the simplified diagram
    bool knotFound = false;
    // Linking numbers with the other traced curves that it does not meet,
    // settled or not.
    std::vector<CurveLink> links;
};

// Invariants of every traced point with a sampled path, after a path pass,
// and of the points whose period is too long to work out (no path, and a
// symmetry that says so); without knots and links when a caller only judges
// the shapes. A stop request of the calling thread's scope (passstop.h) ends
// the list early.
std::vector<CurveInvariants> curveInvariants(const Automaton& a, bool knotsAndLinks = true);
// One point's; path is its sampled path over one pass.
CurveInvariants curveInvariantsOf(const Automaton& a, const Sphere& s, std::size_t point);

// "closes after 7/2 (7 laps of B), 5-fold, 10 lobes, length 183.2, thickness 0.41"
std::string describeCurve(const CurveInvariants& c, const std::string& timeMaster = {});
// When a curve closes, one sentence for info, the read-out and the help:
// "closes after P turns of the time master M; its sphere S goes N times
// round its parent" (", the other way" when S's rate is negative).
std::string closingText(const CurveInvariants& c, const std::string& timeMaster);
// What follows the closing there, the words every front end uses for the
// shape: "5-fold about (0, 0, 1), 10 lobes, length 183.2, thickness 0.41".
std::string curveShape(const CurveInvariants& c);
// The axis the symmetry and the lobes refer to: "(0, 0, 1)".
std::string axisText(const CurveSymmetry& s);
// The knot as said in text: "unknot", "3_1 = T(2,3)", "Alexander
// polynomial of 5_1, 10 crossings", or the polynomial.
std::string knotText(const CurveInvariants& c);
// How far the knot was told, for the JSON: "named", "not settled" (the
// polynomial of a knot of the table, but not the crossings), "not in the
// table" (a polynomial no knot of the table has), "not found" (no diagram
// or polynomial was made); null for a curve that meets itself or was not
// measured.
const char* knotStatus(const CurveInvariants& c);

// Tolerance of the symmetry check, relative to the curve's size.
constexpr double kSymmetryTolerance = 1e-5;
