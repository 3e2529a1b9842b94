// The editing rules and their messages.
#include "documentrules.h"

#include <cctype>
#include <numeric>
#include <regex>

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

std::string typedFactorRefusal(const std::string& what, const std::string& text, Rational* x) {
    // "2 4/6": a whole number, a space and a fraction; "3/2"; "3"; "0.5".
    static const std::regex form(
        R"(\s*(-)?\s*(?:([0-9]{1,9})\s+([0-9]{1,9})\s*/\s*([0-9]{1,9})|([0-9]{1,9})\s*/\s*([0-9]{1,9})|([0-9]{1,9})(?:\.([0-9]{1,9}))?|\.([0-9]{1,9}))\s*)");
    std::smatch m;
    if (text.size() > 64 || !std::regex_match(text, m, form))
        return "\"" + (text.size() > 64 ? text.substr(0, 60) + "..." : text) +
               "\" is not a factor: write it as \"3\", \"3/2\", \"2 4/6\" or \"0.5\"";
    auto number = [&m](int i) { return m[i].matched ? std::stoll(m[i].str()) : 0LL; };
    long long whole = 0, numerator = 0, denominator = 1;
    if (m[2].matched) {
        whole = number(2), numerator = number(3), denominator = number(4);
    } else if (m[5].matched) {
        numerator = number(5), denominator = number(6);
        // "7/2" is 3 1/2 to the dialog.
        if (denominator > 0) whole = numerator / denominator, numerator %= denominator;
    } else {
        whole = number(7);
        const std::string decimals = m[8].matched ? m[8].str() : m[9].matched ? m[9].str() : "";
        if (!decimals.empty()) {
            numerator = std::stoll(decimals);
            denominator = 1;
            for (std::size_t i = 0; i < decimals.size(); ++i) denominator *= 10;
            const long long g = std::gcd(numerator, denominator);
            if (g > 1) numerator /= g, denominator /= g;
        }
    }
    if (m[1].matched && (whole > 0 || numerator > 0)) return what + " must be greater than 0";
    if (std::string why = factorRefusal(what, whole, numerator, denominator); !why.empty())
        return why;
    *x = Rational(static_cast<std::int32_t>(whole * denominator + numerator),
                  static_cast<std::int32_t>(denominator));
    return {};
}

std::string exactText(Rational x) {
    const long long n = x.numerator(), d = x.denominator();
    if (d == 1) return std::to_string(n);
    const long long whole = n / d, rest = n % d;
    const std::string sign = n < 0 && whole == 0 ? "-" : "";
    const std::string fraction = std::to_string(rest < 0 ? -rest : rest) + "/" + std::to_string(d);
    return whole == 0 ? sign + fraction : std::to_string(whole) + " " + fraction;
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
