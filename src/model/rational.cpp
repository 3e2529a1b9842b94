// Conversions of exact values to doubles and text.
#include "rational.h"

#include <limits>

double toDouble(const BigInt& v) {
    if (v >= std::numeric_limits<std::int64_t>::min() &&
        v <= std::numeric_limits<std::int64_t>::max()) {
        return static_cast<double>(static_cast<std::int64_t>(v));
    }
    // The fast path pass converts 128-bit products with the hardware
    // conversion; values of that size must round the same way here.
    static const BigInt kLimit = BigInt(1) << 126;
    if (v < kLimit && v > -kLimit) return static_cast<double>(static_cast<__int128>(v));
    return v.convert_to<double>();
}

double toDouble(const BigRational& r) {
    return toDouble(boost::multiprecision::numerator(r)) /
           toDouble(boost::multiprecision::denominator(r));
}

BigInt lcmOf(const BigInt& a, const BigInt& b) {
    if (a == 0 || b == 0) return 0;
    BigInt r = a / boost::multiprecision::gcd(a, b) * b;
    return r < 0 ? BigInt(-r) : r;
}

BigRational lcmOfFractions(const BigRational& x, const BigRational& y) {
    BigInt n = lcmOf(boost::multiprecision::numerator(x), boost::multiprecision::numerator(y));
    if (n == 0) return 0;
    BigInt d = boost::multiprecision::gcd(boost::multiprecision::denominator(x),
                                          boost::multiprecision::denominator(y));
    return BigRational(n, d);
}

std::string toString(const Rational& r) {
    if (r.denominator() == 1) return std::to_string(r.numerator());
    return std::to_string(r.numerator()) + "/" + std::to_string(r.denominator());
}

std::string toString(const BigRational& r) {
    const BigInt& d = boost::multiprecision::denominator(r);
    if (d == 1) return boost::multiprecision::numerator(r).str();
    return boost::multiprecision::numerator(r).str() + "/" + d.str();
}
