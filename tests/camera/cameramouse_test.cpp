// Right-drag zoom, its limits, keep-in-view, and the keyboard zoom.
#include "cameramouse.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(CameraMouse, RightDragZoomFollowsTheMouseWithinLimits) {
    struct Case {
        double startDistance;  // as the document holds it (negative)
        double dy;             // pixels moved up (positive) or down
        double want;
    } cases[] = {
        {-40, 30, -30},       // 3 pixels per unit nearer
        {-40, -30, -50},      // farther
        {-40, 300, -1},       // stops at distance 1
        {-40, 117, -1},       // 40 - 39 = 1 exactly
        {-40, 120, -1},       // would be 0
        {-990, -300, -1000},  // stops at 1000
        {-40, -2880, -1000},
    };
    for (const auto& c : cases) {
        CameraMouse m;
        Arcball ball{0.7};
        ASSERT_TRUE(m.rightButtonDown(100, 500, false, c.startDistance));
        auto d = m.mouseMove(ball, 100, 500 - c.dy);
        ASSERT_TRUE(d.has_value()) << c.dy;
        EXPECT_NEAR(*d, c.want, 1e-4) << c.startDistance << " " << c.dy;
        EXPECT_TRUE(m.rightButtonUp(false));
    }
}

TEST(CameraMouse, NoVerticalMoveNoZoom) {
    CameraMouse m;
    Arcball ball{0.7};
    m.rightButtonDown(100, 100, false, -40);
    EXPECT_FALSE(m.mouseMove(ball, 300, 100).has_value());
}

TEST(CameraMouse, KeepInViewDisablesTheRightButtonOnly) {
    CameraMouse m;
    Arcball ball{0.7};
    EXPECT_FALSE(m.rightButtonDown(100, 100, true, -40));
    EXPECT_FALSE(m.mouseMove(ball, 100, 10).has_value());
    EXPECT_FALSE(m.rightButtonUp(true));
    EXPECT_DOUBLE_EQ(CameraMouse::keyboardZoom(-40, true, false), -40 * 1.02);
}

TEST(CameraMouse, KeyboardZoom) {
    struct Case {
        bool del, ins;
        double want;
    } cases[] = {
        {false, false, -40},
        {true, false, -40.8},
        {false, true, -40 / 1.02},
        {true, true, -40},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(CameraMouse::keyboardZoom(-40, c.del, c.ins), c.want, 1e-12);
    // No bounds: far past 1000.
    double d = -990;
    for (int i = 0; i < 10; ++i) d = CameraMouse::keyboardZoom(d, true, false);
    EXPECT_LT(d, -1000);
}

TEST(CameraMouse, LeftDragGoesToTheBallWithItsConstraint) {
    struct Case {
        bool ctrl, shift;
        int wantMode;
    } cases[] = {{false, false, 0}, {true, false, 1}, {false, true, 2}, {true, true, 1}};
    for (const auto& c : cases) {
        CameraMouse m;
        Arcball ball{0.7};
        ball.setWindowSize(800, 600);
        m.leftButtonDown(ball, 380, 290, c.ctrl, c.shift);
        EXPECT_EQ(ball.constraintModeNow(), c.wantMode);
        EXPECT_TRUE(ball.isDragging());
        EXPECT_FALSE(m.mouseMove(ball, 470, 200).has_value());
        EXPECT_LT(std::abs(ball.orientation().w), 0.9999);
        m.leftButtonUp(ball);
        EXPECT_FALSE(ball.isDragging());
        // Guides stay after release until the next plain press.
        EXPECT_EQ(ball.constraintModeNow(), c.wantMode);
    }
}
