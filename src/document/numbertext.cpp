// The shortest round-trip decimal of a double laid out as to_chars lays it
// out. The digits come from the Dragonbox algorithm as the fmt library
// implements it (header-only here, so the browser build compiles it too);
// the choice between fixed and scientific notation follows the standard's
// rule: the shorter text, fixed on a tie.
#include "numbertext.h"

#include <fmt/format.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace NumberText {

void appendShortest(std::string& out, double v) {
    if (std::signbit(v)) out += '-';
    if (std::isnan(v)) {
        out += "nan";
        return;
    }
    const double a = std::fabs(v);
    if (std::isinf(a)) {
        out += "inf";
        return;
    }
    if (a == 0) {
        out += '0';
        return;
    }
    const auto decimal = fmt::detail::dragonbox::to_decimal(a);
    std::uint64_t significand = decimal.significand;
    int exponent = decimal.exponent;  // a == significand * 10^exponent
    while (significand % 10 == 0) {
        significand /= 10;
        ++exponent;
    }
    char digits[24];
    const int n =
        std::snprintf(digits, sizeof digits, "%llu", static_cast<unsigned long long>(significand));
    const int scientificExponent = exponent + n - 1;
    const int absExponent = scientificExponent < 0 ? -scientificExponent : scientificExponent;
    const int scientificLength =
        n + (n > 1 ? 1 : 0) + 2 + (absExponent >= 100 ? 3 : 2);  // "d.ddd" "e+" "dd"
    const int fixedLength = exponent >= 0 ? n + exponent : n + exponent > 0 ? n + 1 : 2 - exponent;
    if (fixedLength <= scientificLength) {
        if (exponent >= 0) {
            // Past 2^53 the zeros after the shortest digits would not be the
            // value's: fixed notation writes the whole number exactly.
            if (a >= 9007199254740992.0) {
                char whole[400];
                std::snprintf(whole, sizeof whole, "%.0f", a);
                out += whole;
            } else {
                out.append(digits, static_cast<std::size_t>(n));
                out.append(static_cast<std::size_t>(exponent), '0');
            }
        } else if (n + exponent > 0) {
            out.append(digits, static_cast<std::size_t>(n + exponent));
            out += '.';
            out.append(digits + n + exponent, static_cast<std::size_t>(-exponent));
        } else {
            out += "0.";
            out.append(static_cast<std::size_t>(-(n + exponent)), '0');
            out.append(digits, static_cast<std::size_t>(n));
        }
        return;
    }
    out += digits[0];
    if (n > 1) {
        out += '.';
        out.append(digits + 1, static_cast<std::size_t>(n - 1));
    }
    char tail[16];
    std::snprintf(tail, sizeof tail, "e%c%02d", scientificExponent < 0 ? '-' : '+', absExponent);
    out += tail;
}

}  // namespace NumberText
