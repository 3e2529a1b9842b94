// Knots and links of closed curves, from the crossings of a projection.
//
// A closed polygon (corners in order, the last joined to the first) is
// projected along a direction; its crossings, with which strand passes
// over and their signs, make a diagram. Loops that twist once and pairs of
// crossings that one strand passes over together are undone, and the
// Alexander polynomial of what is left is computed exactly, with integer
// polynomials; the knot is named from it, with the determinant and the
// crossings left where a polynomial belongs to more than one knot.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "geometry.h"

struct KnotType {
    bool found = false;  // a diagram was made and its polynomial computed
    std::string name;    // "unknot", "3_1", "T(2,7)"...; empty when not settled
    // When the polynomial is a knot's of the table but the diagram has as
    // many crossings as another knot with that polynomial (5_1's and
    // 10_132's), that knot's short name ("5_1", "T(2,11)"); name is then
    // empty. Empty too when the polynomial is in the table of no knot.
    std::string polynomialOf;
    int crossings = 0;          // of the diagram once simplified
    long long determinant = 0;  // |Alexander polynomial at -1|
    // Coefficients, lowest power first, for the power -(size-1)/2: the
    // symmetric form with value 1 at t = 1.
    std::vector<long long> alexander;
};

// The knot of a polygon, seen along `direction` first (other directions
// near it when that one shows two corners or crossings on top of each
// other). Not found when the diagram keeps more crossings than are worth
// the polynomial.
KnotType knotType(const std::vector<Vec3>& polygon, Vec3 direction);

// The linking number of two closed polygons that stand for two disjoint
// curves: half the sum of the signs of the crossings between them in a
// projection. Empty when the polygons come within twice their longest side
// of each other (the curves may meet, or the sides are too long to tell) or
// every projection tried is degenerate.
std::optional<int> linkingNumber(const std::vector<Vec3>& a, const std::vector<Vec3>& b,
                                 Vec3 direction);

// The same for polygons the caller knows to keep apart by more than their
// sides.
std::optional<int> linkingNumberApart(const std::vector<Vec3>& a, const std::vector<Vec3>& b,
                                      Vec3 direction);

// "t^-1 - 1 + t" style, in the symmetric form.
std::string alexanderText(const std::vector<long long>& coefficients);
