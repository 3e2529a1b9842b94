// Exact factors: normalisation, the zero-denominator error, and derived
// products that outgrow 32 and 64 bits.
#include "rational.h"

#include <gtest/gtest.h>

#include "fixtures.h"

TEST(Rational, NormalisesLikeTheStoredFactor) {
    struct Case {
        int n, d, wantN, wantD;
    } cases[] = {{6, -4, -3, 2}, {0, -7, 0, 1}, {4, -6, -2, 3}, {0, 5, 0, 1}, {-8, -12, 2, 3}};
    for (auto c : cases) {
        Rational r(c.n, c.d);
        EXPECT_EQ(r.numerator(), c.wantN) << c.n << "/" << c.d;
        EXPECT_EQ(r.denominator(), c.wantD) << c.n << "/" << c.d;
    }
}

TEST(Rational, ZeroDenominatorAndDivisionByZeroRaise) {
    try {
        Rational r(5, 0);
        FAIL() << "no exception";
    } catch (const bad_rational& e) {
        EXPECT_STREQ(e.what(), "bad rational: zero denominator");
    }
    Rational a(1, 2);
    EXPECT_THROW(a /= Rational(0), bad_rational);
    EXPECT_EQ(a, Rational(1, 2));  // unchanged by the failed operation
}

TEST(Rational, LeastCommonMultipleOfIntegers) {
    struct Case {
        long long a, b, want;
    } cases[] = {{4, 6, 12}, {0, 5, 0}, {5, 0, 0}, {-4, 6, 12}, {7, 7, 7}};
    for (auto c : cases) EXPECT_EQ(lcmOf(c.a, c.b), BigInt(c.want)) << c.a << "," << c.b;
}

TEST(Rational, RelativeRadiusOfAChainIsExactBeyondSixtyFourBits) {
    TestAutomaton a;
    Sphere* s = &a.add("A");
    // Ten links of 1/97 give 97^-10, whose denominator needs 66 bits.
    for (int i = 0; i < 10; ++i) s = &a.add(std::string(1, char('B' + i)), s, Rational(1, 97));
    BigInt den = 1;
    for (int i = 0; i < 10; ++i) den *= 97;
    EXPECT_GT(den, BigInt(1) << 64);
    EXPECT_EQ(relativeRadius(*s), BigRational(BigInt(1), den));
    EXPECT_GT(s->radius, -1);  // untouched until a radius pass
    radiusPass(a);
    EXPECT_DOUBLE_EQ(s->radius, std::pow(97.0, -10));
}

TEST(Rational, RelativeRadiusStopsAtTheRadiusRoot) {
    TestAutomaton a;
    Sphere& root = a.add("A");
    root.radiusFactor = Rational(7, 3);  // never read: the radius root has no reference
    Sphere& b = a.add("B", &root, Rational(1, 2));
    Sphere& c = a.add("C", &b, Rational(2, 3));
    EXPECT_EQ(relativeRadius(root), BigRational(1));
    EXPECT_EQ(relativeRadius(b), BigRational(1, 2));
    EXPECT_EQ(relativeRadius(c), BigRational(1, 3));
}

TEST(Rational, ToDoubleGoesThroughTheReducedFraction) {
    EXPECT_EQ(toDouble(BigRational(6, 4)), 1.5);
    BigInt big = (BigInt(1) << 80) + 1;
    EXPECT_EQ(toDouble(BigRational(big, big * 3)), 1.0 / 3.0);
    EXPECT_EQ(toString(Rational(-3, 2)), "-3/2");
    EXPECT_EQ(toString(Rational(4, 1)), "4");
}
