// The portable shortest decimal (the browser build's) against the standard
// library's to_chars: the same text for every double, hand-picked edges of
// the fixed/scientific choice and a spread of random bit patterns.
#include "numbertext.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace {

std::string standard(double v) {
    char buffer[400];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
    return ec == std::errc() ? std::string(buffer, end) : std::string("(error)");
}

std::string portable(double v) {
    std::string out;
    NumberText::appendShortest(out, v);
    return out;
}

double ofBits(std::uint64_t bits) {
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

}  // namespace

TEST(NumberText, PortableShortestEqualsToCharsAtTheEdges) {
    const double edges[] = {0.0,
                            -0.0,
                            1,
                            -1,
                            0.1,
                            1.0 / 3,
                            2.0 / 3,
                            0.25005,
                            1e-3,
                            1e-4,
                            1.5e-4,
                            0.00123,
                            1234e5,
                            1234e6,
                            12345,
                            123456,
                            1e15,
                            1e16,
                            1e21,
                            1e22,
                            1e23,
                            123456789012345680000.0,
                            9007199254740992.0,
                            9007199254740994.0,
                            18014398509481984.0,
                            0x1p60,
                            0x1p70,
                            0x1p-1074,
                            0x1p-1022,
                            1e-100,
                            1e100,
                            1.7976931348623157e308,
                            std::numeric_limits<double>::infinity(),
                            -std::numeric_limits<double>::infinity(),
                            5e-324,
                            2.5,
                            100,
                            1e5,
                            1e6,
                            1e7,
                            -0.000015,
                            299792.458};
    for (double v : edges) EXPECT_EQ(portable(v), standard(v)) << standard(v);
    EXPECT_EQ(portable(std::nan("")), "nan");
    EXPECT_EQ(portable(-std::nan("")), "-nan");
    // Every power of two: the shortest digits' interval is lopsided there.
    for (int e = -1074; e <= 1023; ++e) {
        const double v = std::ldexp(1.0, e);
        ASSERT_EQ(portable(v), standard(v)) << e;
    }
}

TEST(NumberText, PortableShortestEqualsToCharsOnRandomDoubles) {
    std::mt19937_64 random(20261208);
    std::uniform_real_distribution<double> coordinate(-50, 50);
    for (int i = 0; i < 400000; ++i) {
        // Any finite bit pattern, and coordinates as the CSV has them.
        double v = ofBits(random());
        if (!std::isfinite(v)) continue;
        ASSERT_EQ(portable(v), standard(v)) << standard(v);
        v = coordinate(random);
        ASSERT_EQ(portable(v), standard(v)) << standard(v);
        v = std::ldexp(coordinate(random), -int(random() % 40));
        ASSERT_EQ(portable(v), standard(v)) << standard(v);
    }
}
