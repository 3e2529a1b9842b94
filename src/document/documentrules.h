// The rules every edit of the automaton keeps, whoever makes it (the
// window's pages, the Python module): factor ranges, the points, the
// references, the start angle of identical siblings, names and the path
// accuracy. Each refusal is a phrase that names the value as the caller
// calls it ("radius must be greater than 0"); sentence() makes it a
// sentence for a message box.
#pragma once

#include <optional>
#include <string>

#include "rational.h"

class Document;
struct Sphere;

// What a new sphere is given in place of what CREATE would give it; unset
// values are CREATE's (the template's settings, or the defaults).
struct SphereSettings {
    std::optional<std::string> name;
    std::optional<Rational> radius;
    std::optional<Rational> rate;
    std::optional<bool> inside;
    std::optional<bool> antiClockwise;
    std::optional<double> axisZ;
    std::optional<double> axisX;
    // Unset: the template's angle turned on by 60 degrees for each
    // identical sibling, so that they do not sit on top of one another.
    std::optional<double> initialRevolution;
};

namespace rules {

inline constexpr int kMaxPoints = 6;
// A factor is entered as a whole number and a fraction; each part has its
// range.
inline constexpr long long kFactorPartMax = 1000;
inline constexpr int kAccuracyMax = 100;
inline constexpr double kSiblingTurn = 60.0;

inline constexpr const char* kSixPoints = "You can only specify 6 points per sphere.";
inline constexpr const char* kPointZero =
    "point 0 is the sphere's centre: it cannot be removed or changed";
inline constexpr const char* kAccuracy = "accuracy must be a whole number from 0 to 100";
inline constexpr const char* kNewClock = "The new sphere sets the clock: its rate is 1.";

// The phrase as a sentence: first letter capital, a full stop at the end.
std::string sentence(std::string phrase);

// Which part of a factor is out of range, checked as the exact-value
// dialog's fields are: the whole factor above zero, then the whole number
// (0..1000), the numerator (0..1000) and the denominator (1..1000).
enum class FactorFault { None, NotPositive, Whole, Numerator, Denominator };
FactorFault factorFault(long long whole, long long numerator, long long denominator);
// The range of one part (Whole, Numerator or Denominator).
struct PartRange {
    const char* part;
    long long low, high;
};
PartRange partRange(FactorFault part);
// Why a factor named what ("radius", "rate") cannot be whole + numerator /
// denominator; "" when it can.
std::string factorRefusal(const std::string& what, long long whole, long long numerator,
                          long long denominator);
// The same for a factor held as a fraction (any sign, lowest terms or not).
std::string factorRefusal(const std::string& what, Rational x);

// A factor as a person types it, in a page's field or a script: "3",
// "3/2", "2 4/6" or "0.5", with a minus or spaces around "/" if need be.
// Why it cannot be the factor what (the form, or the range the exact-value
// dialog holds it to); "" when it can, and then *x is the factor.
std::string typedFactorRefusal(const std::string& what, const std::string& text, Rational* x);
// A factor as it is written back for people: "3", "1/3", "2 2/3".
std::string exactText(Rational x);

// The size unit's radius is 1 and it has no size reference; the root and
// the time master roll at rate 1 and have no time reference. "" when s has
// a radius (rate) to edit, else why not.
std::string radiusFixed(const Document& doc, const Sphere& s);
std::string rateFixed(const Document& doc, const Sphere& s);
// Why to cannot be the size (kRadius) or time (kTime) reference of s: a
// fixed factor, a sphere outside the tree, the root as a time reference,
// or a reference that depends on s. "" when it can.
std::string referenceRefusal(const Document& doc, const Sphere& s, const Sphere& to, int kind);

// A sphere holds at most six points; point 0, its centre, stays.
std::string addPointRefusal(const Sphere& s);
std::string pointChangeRefusal(int index);

// The start angle of s among its siblings: start turned on by 60 degrees
// for each sibling rolling the same way with the same radius.
double siblingTurn(const Sphere& s, double start);

// A path accuracy the view page's slider can show.
std::string accuracyRefusal(long long accuracy);

// A name without the spaces and tabs around it: "A " and "A" name one
// sphere.
std::string trimmedName(const std::string& name);

}  // namespace rules
