// Quaternion products and rotation matrices, including the degenerate
// quaternions that must never produce NaN.
#include "quaternion.h"

#include <gtest/gtest.h>

#include <cmath>

#include "unitquaternion.h"

namespace {
// Applies the matrix (column-major) to a point.
Vec3 turnPoint(const Mat4& m, Vec3 p) {
    return {m[0] * p.x + m[4] * p.y + m[8] * p.z, m[1] * p.x + m[5] * p.y + m[9] * p.z,
            m[2] * p.x + m[6] * p.y + m[10] * p.z};
}
void expectIdentity(const Mat4& m) {
    Mat4 id = identityMatrix();
    for (int i = 0; i < 16; ++i) EXPECT_DOUBLE_EQ(m[i], id[i]) << "element " << i;
}
constexpr double kQuarter = 1.5707963267948966;
}  // namespace

TEST(Quaternion, DegenerateQuaternionsGiveIdentityNotNaN) {
    struct Case {
        const char* what;
        quaternion q;
    } cases[] = {
        {"zero", quaternion(0, {0, 0, 0})},
        {"identity", quaternion(1, {0, 0, 0})},
        {"scaled identity", quaternion(7.5, {0, 0, 0})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        expectIdentity(c.q.rotationMatrix());
        expectIdentity(unitquaternion(c.q).rotationMatrix());
    }
}

TEST(Quaternion, NormaliseLeavesZeroAloneAndScalesOthers) {
    quaternion zero(0, {});
    zero.normalise();
    EXPECT_EQ(zero.w, 0);
    EXPECT_FALSE(std::isnan(zero.v.x));
    quaternion q(0, {3, 0, 4});
    q.normalise();
    EXPECT_DOUBLE_EQ(q.norm2(), 1.0);
    EXPECT_DOUBLE_EQ(q.v.x, 0.6);
}

TEST(Quaternion, MatrixTurnsByTheInverseRotation) {
    // A quarter turn about z described by q; the matrix turns x to -y.
    struct Case {
        Vec3 axis;
        Vec3 in, want;
    } cases[] = {
        {{0, 0, 1}, {1, 0, 0}, {0, -1, 0}}, {{0, 0, 1}, {0, 1, 0}, {1, 0, 0}},
        {{1, 0, 0}, {0, 1, 0}, {0, 0, -1}}, {{0, 1, 0}, {0, 0, 1}, {-1, 0, 0}},
        {{0, 0, 5}, {1, 0, 0}, {0, -1, 0}},  // the axis length does not matter
    };
    for (const auto& c : cases) {
        unitquaternion u(kQuarter, c.axis);
        Vec3 got = turnPoint(u.rotationMatrix(), c.in);
        EXPECT_NEAR(got.x, c.want.x, 1e-12);
        EXPECT_NEAR(got.y, c.want.y, 1e-12);
        EXPECT_NEAR(got.z, c.want.z, 1e-12);
        // The general quaternion agrees when scaled.
        quaternion scaled(u.w * 3, 3.0 * u.v);
        Vec3 g2 = turnPoint(scaled.rotationMatrix(), c.in);
        EXPECT_NEAR(g2.x, c.want.x, 1e-12);
        EXPECT_NEAR(g2.y, c.want.y, 1e-12);
        EXPECT_NEAR(g2.z, c.want.z, 1e-12);
    }
}

TEST(Quaternion, ProductComposesTurnsAboutOneAxis) {
    unitquaternion a(0.3, {0, 0, 1});
    a *= unitquaternion(0.5, {0, 0, 1});
    unitquaternion want(0.8, {0, 0, 1});
    EXPECT_NEAR(a.w, want.w, 1e-15);
    EXPECT_NEAR(a.v.z, want.v.z, 1e-15);
}

TEST(Quaternion, ProductIsNotCommutative) {
    unitquaternion x(kQuarter, {1, 0, 0}), y(kQuarter, {0, 1, 0});
    unitquaternion xy = x, yx = y;
    xy *= y;
    yx *= x;
    EXPECT_GT(std::abs(xy.v.z - yx.v.z), 0.5);
}

TEST(Quaternion, ZeroAxisIsNoTurn) {
    expectIdentity(unitquaternion(1.0, {0, 0, 0}).rotationMatrix());
}

TEST(Quaternion, ManyProductsStayUnit) {
    unitquaternion q;
    for (int i = 0; i < 100000; ++i) q *= unitquaternion(0.01 * (i % 7), {1, 2, 3.0 + i % 5});
    EXPECT_NEAR(q.norm2(), 1.0, 1e-12);
}
