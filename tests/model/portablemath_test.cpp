// The model's own sine and cosine against the C library's: within one unit
// in the last place everywhere (small, medium and huge arguments, where the
// reduction by pi/2 takes its three different paths), exact at the edges;
// both at once equal to each alone.
#include "portablemath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

// Units in the last place between a and b (of b's size).
double ulps(double a, double b) {
    if (a == b) return 0;
    const double unit =
        std::nextafter(std::fabs(b), std::numeric_limits<double>::infinity()) - std::fabs(b);
    return std::fabs(a - b) / unit;
}

}  // namespace

TEST(PortableMath, SineAndCosineWithinOneUlpOfTheLibrary) {
    std::mt19937_64 random(7);
    // Below pi/4, up to 9pi/4 (the unrolled reductions), up to 2^20 pi/2
    // (the medium reduction) and far beyond (the large reduction).
    for (double range : {0.7, 7.0, 1.6e6, 1e22, 1e300}) {
        std::uniform_real_distribution<double> pick(-range, range);
        for (int i = 0; i < 100000; ++i) {
            const double x = pick(random);
            ASSERT_LE(ulps(portable::sin(x), std::sin(x)), 1.0) << x;
            ASSERT_LE(ulps(portable::cos(x), std::cos(x)), 1.0) << x;
            ASSERT_EQ(portable::sin(-x), -portable::sin(x)) << x;
            ASSERT_EQ(portable::cos(-x), portable::cos(x)) << x;
            // One reduction for both gives the same bits as two.
            const portable::SinCos both = portable::sinCos(x);
            ASSERT_EQ(both.sin, portable::sin(x)) << x;
            ASSERT_EQ(both.cos, portable::cos(x)) << x;
        }
    }
}

TEST(PortableMath, EdgesAreExact) {
    EXPECT_EQ(portable::sin(0.0), 0.0);
    EXPECT_TRUE(std::signbit(portable::sin(-0.0)));
    EXPECT_EQ(portable::cos(0.0), 1.0);
    EXPECT_EQ(portable::sin(1e-30), 1e-30);
    // Where the tiny-argument shortcuts of sin and of sinCos part ways.
    for (double x : {1.05e-8, 1.2e-8, 1.49e-8, 1.5e-8, -1.3e-8}) {
        EXPECT_EQ(portable::sinCos(x).sin, portable::sin(x)) << x;
        EXPECT_EQ(portable::sinCos(x).cos, portable::cos(x)) << x;
    }
    EXPECT_TRUE(std::isnan(portable::sin(std::numeric_limits<double>::infinity())));
    EXPECT_TRUE(std::isnan(portable::cos(-std::numeric_limits<double>::infinity())));
    EXPECT_TRUE(std::isnan(portable::sin(std::nan(""))));
    // Near the multiples of pi/2 the reduction must not cancel away the
    // result: sin(pi) is pi's own rounding error.
    EXPECT_EQ(portable::sin(M_PI), std::sin(M_PI));
    EXPECT_EQ(portable::cos(M_PI / 2), std::cos(M_PI / 2));
    EXPECT_EQ(portable::sin(2 * M_PI), std::sin(2 * M_PI));
}
