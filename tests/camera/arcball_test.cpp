// The arcball: projection onto the ball, drags free and constrained, the
// keys, and the guides' state.
#include "arcball.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
bool sameOrientation(const unitquaternion& a, const unitquaternion& b, double tol = 1e-12) {
    // q and -q are one orientation.
    double d = a.w * b.w + dot(a.v, b.v);
    return std::abs(std::abs(d) - 1) < tol;
}

struct Ball {
    Arcball c{0.7};
    Ball() { c.setWindowSize(800, 600); }
};

double turnAngle(const unitquaternion& q) {
    return 2 * std::acos(std::min(1.0, std::abs(q.w)));
}
}  // namespace

TEST(BallProjection, SwitchesToTheSheetAtHalfTheSquaredRadius) {
    const double R = 0.7;
    const double rs = R / std::sqrt(2.0);  // r^2 = R^2/2
    struct Case {
        const char* where;
        double x, y;
        double wantZ;
    } cases[] = {
        {"centre", 0, 0, R},
        {"inside", 0.3, 0, std::sqrt(R * R - 0.09)},
        {"seam", rs, 0, R * R / (2 * rs)},
        {"seam from below", rs * (1 - 1e-12), 0, std::sqrt(R * R - rs * rs)},
        {"rim", R, 0, R / 2},
        {"corner", 1, 1, R * R / (2 * std::sqrt(2.0))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        Vec3 p = Arcball::projectOntoBall(c.x, c.y, R);
        EXPECT_NEAR(p.z, c.wantZ, 1e-9);
        EXPECT_EQ(p.x, c.x);
        EXPECT_EQ(p.y, c.y);
    }
    // Both formulas meet at the seam: no jump.
    Vec3 below = Arcball::projectOntoBall(rs - 1e-9, 0, R);
    Vec3 above = Arcball::projectOntoBall(rs + 1e-9, 0, R);
    EXPECT_NEAR(below.z, above.z, 1e-7);
}

TEST(BallController, NormalisesPixelsToTheWindow) {
    Ball b;
    struct Case {
        double x, y, wantX, wantY;
    } cases[] = {{400, 300, 0, 0}, {0, 0, -1, 1}, {800, 600, 1, -1}, {600, 150, 0.5, 0.5}};
    for (const auto& c : cases) {
        auto [x, y] = b.c.normalise(c.x, c.y);
        EXPECT_DOUBLE_EQ(x, c.wantX);
        EXPECT_DOUBLE_EQ(y, c.wantY);
    }
}

TEST(BallController, UnsizedWindowTurnsNothing) {
    Arcball c(0.7);
    c.buttonDown(10, 10);
    c.mouseMove(300, 200);
    c.buttonUp();
    EXPECT_TRUE(sameOrientation(c.orientation(), unitquaternion()));
    for (double v : c.orientationMatrix()) EXPECT_FALSE(std::isnan(v));
}

TEST(BallController, RadiusIsClamped) {
    struct Case {
        double given, want;
    } cases[] = {{0.7, 0.7}, {0.01, 0.1}, {5, 1}, {-1, 0.1}, {NAN, 0.1}};
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(Arcball(c.given).radius(), c.want);
}

TEST(BallController, DragThatEndsWhereItStartedChangesNothing) {
    struct Case {
        double x, y;
    } cases[] = {{400, 300}, {10, 10}, {799, 1}, {500, 320}};
    for (const auto& c : cases) {
        Ball b;
        unitquaternion start(0.872664625997, {1, 0, 0});
        b.c.setOrientation(start);
        b.c.buttonDown(c.x, c.y);
        b.c.mouseMove(c.x, c.y);
        b.c.buttonUp();
        EXPECT_TRUE(sameOrientation(b.c.orientation(), start)) << c.x << "," << c.y;
        for (double v : b.c.orientationMatrix()) EXPECT_FALSE(std::isnan(v));
    }
}

TEST(BallController, HorizontalDragTurnsAboutTheVerticalAxis) {
    Ball b;
    b.c.buttonDown(400, 300);
    b.c.mouseMove(450, 300);
    b.c.buttonUp();
    unitquaternion q = b.c.orientation();
    EXPECT_GT(turnAngle(q), 0.05);
    EXPECT_NEAR(q.v.x, 0, 1e-12);
    EXPECT_NEAR(q.v.z, 0, 1e-12);
}

TEST(BallController, DragBeyondTheBallStaysFinite) {
    Ball b;
    b.c.buttonDown(400, 300);
    for (int i = 0; i <= 40; ++i) b.c.mouseMove(400 + i * 10, 300 - i * 7.5);
    b.c.mouseMove(1e6, -1e6);
    b.c.buttonUp();
    EXPECT_NEAR(b.c.orientation().norm2(), 1, 1e-12);
    for (double v : b.c.orientationMatrix()) EXPECT_TRUE(std::isfinite(v));
}

TEST(BallController, EscapeRestoresTheOrientationAtThePress) {
    Ball b;
    b.c.key(kBallKeyUp);
    unitquaternion atPress = b.c.orientation();
    b.c.buttonDown(400, 300);
    b.c.mouseMove(500, 250);
    EXPECT_FALSE(sameOrientation(b.c.orientation(), atPress));
    b.c.key(kBallKeyEscape);
    EXPECT_TRUE(sameOrientation(b.c.orientation(), atPress));
    EXPECT_FALSE(b.c.isDragging());
    // Moving on with the button still held turns nothing more.
    b.c.mouseMove(600, 100);
    EXPECT_TRUE(sameOrientation(b.c.orientation(), atPress));
}

TEST(BallController, ConstrainedDragTurnsOnlyAboutTheChosenAxis) {
    // Camera axes: the drag picks axis constraintAxis (0 = x at first).
    struct Case {
        int tabs;
        Vec3 axis;
    } cases[] = {{0, {1, 0, 0}}, {1, {0, 1, 0}}, {2, {0, 0, 1}}, {3, {1, 0, 0}}};
    for (const auto& c : cases) {
        Ball b;
        b.c.setConstraintMode(1);
        b.c.buttonDown(380, 290);
        for (int i = 0; i < c.tabs; ++i) b.c.key(kBallKeyTab);
        b.c.mouseMove(470, 200);
        unitquaternion q = b.c.orientation();
        ASSERT_GT(turnAngle(q), 0.01) << c.tabs;
        Vec3 axis = normalise(q.v);
        EXPECT_NEAR(std::abs(dot(axis, c.axis)), 1, 1e-9) << c.tabs;
        EXPECT_EQ(b.c.constraintAxisNow(), c.tabs % 3);
    }
}

TEST(BallController, TabRestartsFromThePressOrientation) {
    Ball b;
    b.c.setConstraintMode(1);
    b.c.buttonDown(400, 300);
    b.c.mouseMove(450, 250);
    b.c.key(kBallKeyTab);
    EXPECT_TRUE(sameOrientation(b.c.orientation(), unitquaternion()));
}

TEST(BallController, TabOutsideAConstrainedDragDoesNothing) {
    Ball b;
    b.c.buttonDown(400, 300);
    b.c.mouseMove(450, 250);
    unitquaternion before = b.c.orientation();
    b.c.key(kBallKeyTab);  // free drag
    EXPECT_TRUE(sameOrientation(b.c.orientation(), before));
    EXPECT_EQ(b.c.constraintAxisNow(), 0);
}

TEST(BallController, BodyAxesFollowTheOrientationAtRelease) {
    struct Case {
        int quarterKey;  // turns a quarter about z before the drag
        Vec3 wantAxis;   // body axis 0 afterwards
    } cases[] = {{0, {1, 0, 0}}, {kBallKeyPageUp, {0, -1, 0}}, {kBallKeyHome, {0, 1, 0}}};
    for (const auto& c : cases) {
        Ball b;
        for (int i = 0; c.quarterKey && i < 18; ++i) b.c.key(c.quarterKey);
        b.c.buttonDown(400, 300);
        b.c.buttonUp();
        b.c.setConstraintMode(2);
        b.c.buttonDown(380, 290);
        unitquaternion atPress = b.c.orientation();
        b.c.mouseMove(470, 200);
        // The turn added by the drag: atPress^-1 (x) now.
        unitquaternion inverse = atPress;
        inverse.v = -1.0 * inverse.v;
        inverse *= b.c.orientation();
        ASSERT_GT(turnAngle(inverse), 0.01);
        EXPECT_NEAR(std::abs(dot(normalise(inverse.v), c.wantAxis)), 1, 1e-9) << c.quarterKey;
    }
}

TEST(BallController, NearestAxisIsPickedAfterEscapeWhileConstrained) {
    struct Case {
        double x, y;
        int want;
    } cases[] = {
        // The point right of the centre lies on the circle about y.
        {700, 300, 1},
        // Above the centre: on the circle about x.
        {400, 100, 0},
    };
    for (const auto& c : cases) {
        Ball b;
        b.c.setConstraintMode(1);
        b.c.buttonDown(400, 300);
        b.c.key(kBallKeyEscape);
        b.c.mouseMove(c.x, c.y);
        EXPECT_EQ(b.c.constraintAxisNow(), c.want) << c.x << "," << c.y;
    }
}

TEST(BallController, KeysTurnByFiveDegreesAboutTheirAxis) {
    const double step = 5 * 0.01745329251994;
    struct Case {
        int code;
        Vec3 axis;
        double sign;
    } cases[] = {
        {kBallKeyPageUp, {0, 0, 1}, 1}, {kBallKeyPad9, {0, 0, 1}, 1},
        {kBallKeyHome, {0, 0, 1}, -1},  {kBallKeyPad7, {0, 0, 1}, -1},
        {kBallKeyLeft, {0, 1, 0}, -1},  {kBallKeyPad4, {0, 1, 0}, -1},
        {kBallKeyUp, {1, 0, 0}, 1},     {kBallKeyPad8, {1, 0, 0}, 1},
        {kBallKeyRight, {0, 1, 0}, 1},  {kBallKeyPad6, {0, 1, 0}, 1},
        {kBallKeyDown, {1, 0, 0}, -1},  {kBallKeyPad2, {1, 0, 0}, -1},
    };
    for (const auto& c : cases) {
        Ball b;
        b.c.key(c.code);
        EXPECT_TRUE(sameOrientation(b.c.orientation(), unitquaternion(c.sign * step, c.axis)))
            << "key " << c.code;
    }
    Ball other;
    for (int code : {0, 8, 65, 99, 255}) other.c.key(code);
    EXPECT_TRUE(sameOrientation(other.c.orientation(), unitquaternion()));
}

TEST(BallController, ColourComesFromAColorref) {
    Arcball c(0.7);
    c.setColor(0x001E5082);  // RGB(130, 80, 30)
    auto col = c.color();
    EXPECT_DOUBLE_EQ(col[0], 130 / 255.0);
    EXPECT_DOUBLE_EQ(col[1], 80 / 255.0);
    EXPECT_DOUBLE_EQ(col[2], 30 / 255.0);
}

TEST(BallController, DefaultIsTheCameraOfANewDocument) {
    Arcball c;
    EXPECT_NEAR(c.radius(), 0.7, 1e-7);
    EXPECT_TRUE(sameOrientation(c.orientation(),
                                unitquaternion(50 * 0.017453292519943295, {1, 0, 0}), 1e-11));
    EXPECT_TRUE(c.overlayState().drawConstraints);
    auto col = c.color();
    EXPECT_DOUBLE_EQ(col[0], 130 / 255.0);
    EXPECT_DOUBLE_EQ(col[2], 30 / 255.0);
}
