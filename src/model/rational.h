// Exact factors: the 32-bit Rational stored in spheres and files, and the
// unbounded rationals every derived quantity (radii, speeds, periods) uses.
#pragma once

#include <boost/multiprecision/cpp_int.hpp>
#include <boost/rational.hpp>
#include <cstdint>
#include <string>

// A stored factor. boost::rational keeps lowest terms and a positive
// denominator, and throws boost::bad_rational ("bad rational: zero
// denominator") for a zero denominator or a division by zero.
using Rational = boost::rational<std::int32_t>;
using bad_rational = boost::bad_rational;

// Products of factors along chains, least common multiples of periods and
// k * Per / n outgrow 32 and 64 bits quickly; these never overflow.
using BigInt = boost::multiprecision::cpp_int;
using BigRational = boost::multiprecision::cpp_rational;

inline BigRational toBig(const Rational& r) {
    return BigRational(BigInt(r.numerator()), BigInt(r.denominator()));
}

// Numerator as double divided by denominator as double, both taken from the
// value in lowest terms. Every place that turns an exact value into a double
// goes through here, so the same rational always gives the same double.
double toDouble(const BigInt& v);
double toDouble(const BigRational& r);
inline double toDouble(const Rational& r) {
    return static_cast<double>(r.numerator()) / static_cast<double>(r.denominator());
}

// The least common multiple of two integers: 0 if either is 0, otherwise
// |a / gcd(a, b) * b|.
BigInt lcmOf(const BigInt& a, const BigInt& b);
// The least common multiple of two periods: the shortest time that is a
// whole multiple of both. For fractions in lowest terms it is
// lcm(|a|, |c|) / gcd(b, d), itself in lowest terms, so a fold over many
// periods keeps its numbers as small as the answer allows. 0 if either is 0.
BigRational lcmOfFractions(const BigRational& x, const BigRational& y);

// "3/4", "-2", "0": for messages and the command line.
std::string toString(const Rational& r);
std::string toString(const BigRational& r);
