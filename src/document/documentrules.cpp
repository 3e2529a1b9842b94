// The editing rules and their messages.
#include "documentrules.h"

#include <cctype>

#include "document.h"
#include "relations.h"
#include "sphere.h"

namespace rules {

std::string sentence(std::string phrase) {
    if (!phrase.empty())
        phrase[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(phrase[0])));
    if (!phrase.empty() && phrase.back() != '.') phrase += '.';
    return phrase;
}

PartRange partRange(FactorFault part) {
    switch (part) {
        case FactorFault::Numerator:
            return {"numerator", 0, kFactorPartMax};
        case FactorFault::Denominator:
            return {"denominator", 1, kFactorPartMax};
        default:
            return {"whole number", 0, kFactorPartMax};
    }
}

FactorFault factorFault(long long whole, long long numerator, long long denominator) {
    if (whole < 0 || numerator < 0 || (whole == 0 && numerator == 0))
        return FactorFault::NotPositive;
    for (FactorFault part :
         {FactorFault::Whole, FactorFault::Numerator, FactorFault::Denominator}) {
        const PartRange r = partRange(part);
        const long long v = part == FactorFault::Whole       ? whole
                            : part == FactorFault::Numerator ? numerator
                                                             : denominator;
        if (v < r.low || v > r.high) return part;
    }
    return FactorFault::None;
}

std::string factorRefusal(const std::string& what, long long whole, long long numerator,
                          long long denominator) {
    const FactorFault fault = factorFault(whole, numerator, denominator);
    if (fault == FactorFault::None) return {};
    if (fault == FactorFault::NotPositive) return what + " must be greater than 0";
    const PartRange r = partRange(fault);
    return "the " + std::string(r.part) + " of " + what + " must be from " + std::to_string(r.low) +
           " to " + std::to_string(r.high);
}

std::string factorRefusal(const std::string& what, Rational x) {
    long long n = x.numerator(), d = x.denominator();
    if (d < 0) n = -n, d = -d;
    if (n <= 0) return what + " must be greater than 0";
    return factorRefusal(what, n / d, n % d, d);
}

std::string radiusFixed(const Document& doc, const Sphere& s) {
    if (&s == doc.radiusRoot) return s.name + " is the unit of size: its radius is 1.";
    return {};
}

std::string rateFixed(const Document& doc, const Sphere& s) {
    if (&s == doc.root) return s.name + " is the root: nothing rolls it.";
    if (&s == doc.timeMaster)
        return s.name + " sets the clock: it rolls one cycle distance per time unit.";
    return {};
}

std::string referenceRefusal(const Document& doc, const Sphere& s, const Sphere& to, int kind) {
    if (kind == kTime && (&s == doc.root || &s == doc.timeMaster))
        return s.name + " sets the clock: it has no time reference.";
    if (kind == kRadius && &s == doc.radiusRoot)
        return s.name + " is the unit of size: it has no size reference.";
    bool inTree = false;
    forEachPreOrder(doc.root, [&](Sphere& t) { inTree = inTree || &t == &to; });
    // The root rolls on nothing: it cannot set anyone's pace. A reference
    // that depends on s would close a loop.
    if (!inTree || (kind == kTime && &to == doc.root) || reaches(&to, &s, kind))
        return to.name + " cannot be the " + (kind == kRadius ? "size" : "time") +
               " reference of " + s.name + ": it depends on " + s.name + ".";
    return {};
}

std::string addPointRefusal(const Sphere& s) {
    return s.pointCount() >= kMaxPoints ? kSixPoints : "";
}

std::string pointChangeRefusal(int index) {
    return index == 0 ? kPointZero : "";
}

double siblingTurn(const Sphere& s, double start) {
    if (!s.parent) return start;
    for (Sphere* c = s.parent->firstChild(); c; c = c->nextChild())
        if (c != &s && c->inside == s.inside && c->antiClockwise == s.antiClockwise &&
            c->radiusFactor == s.radiusFactor && c->radiusReference == s.radiusReference)
            start += kSiblingTurn;
    return start;
}

std::string accuracyRefusal(long long accuracy) {
    return accuracy < 0 || accuracy > kAccuracyMax ? kAccuracy : "";
}

std::string trimmedName(const std::string& name) {
    const char* space = " \t\v\f";
    const auto first = name.find_first_not_of(space);
    if (first == std::string::npos) return {};
    return name.substr(first, name.find_last_not_of(space) - first + 1);
}

}  // namespace rules
