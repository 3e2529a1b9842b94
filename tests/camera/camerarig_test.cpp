// Camera set-up: both view modes, the orbit, and the anaglyph eyes.
#include "camerarig.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
void expectNear(Vec3 got, Vec3 want, double tol) {
    EXPECT_NEAR(got.x, want.x, tol);
    EXPECT_NEAR(got.y, want.y, tol);
    EXPECT_NEAR(got.z, want.z, tol);
}
CameraSettings stationary(double distance = -40) {
    CameraSettings s;
    s.cameraDistance = distance;
    return s;
}
CameraSettings orbit(int frames, double distance = -40) {
    CameraSettings s;
    s.viewFromStationary = 0;
    s.movieFrameCount = frames;
    s.cameraDistance = distance;
    return s;
}
bool finite(const CameraSetup& c) {
    for (double v : {c.left, c.right, c.bottom, c.top, c.nearDistance, c.eye.x, c.eye.y, c.eye.z,
                     c.center.x, c.center.y, c.center.z})
        if (!std::isfinite(v)) return false;
    return true;
}
}  // namespace

TEST(CameraRig, StationaryViewLooksDownTheZAxis) {
    CameraRig rig;
    CameraSetup c = rig.mono(stationary(), 800, 600);
    expectNear(c.eye, {0, 0, 40}, 0);
    expectNear(c.center, {0, 0, 39}, 0);
    expectNear(c.up, {0, 1, 0}, 0);
    EXPECT_TRUE(c.applyOrientation);
    double h = 0.1 * std::tan(45 * 0.01745329251994 / 2);
    EXPECT_NEAR(c.top, h, 1e-15);
    EXPECT_NEAR(c.right, h * 800 / 600, 1e-15);
    EXPECT_DOUBLE_EQ(c.nearDistance, 0.1);
    EXPECT_DOUBLE_EQ(c.farDistance, 1000000);
}

TEST(CameraRig, OrbitCompletesOneTurnInMovieFrameCountSetUps) {
    for (int frames : {10, 100, 1000}) {
        CameraRig rig;
        Vec3 d0 = rig.orbitDirection, u0 = rig.orbitUp;
        CameraSettings s = orbit(frames);
        Vec3 half;
        for (int i = 0; i < frames; ++i) {
            rig.mono(s, 640, 480);
            if (i == frames / 2 - 1) half = rig.direction;
        }
        expectNear(rig.orbitDirection, d0, 1e-9);
        expectNear(rig.orbitUp, u0, 1e-9);
        // Half-way round, the camera looks from the other side.
        expectNear(half, {-d0.x, -d0.y, d0.z}, 1e-9);
    }
}

TEST(CameraRig, OrbitEyeLooksAtTheTarget) {
    CameraRig rig;
    CameraSettings s = orbit(100);
    s.orbitTarget = {1, 2, 3};
    CameraSetup c = rig.mono(s, 640, 480);
    EXPECT_FALSE(c.applyOrientation);
    // The target lies on the line of sight at the camera distance.
    Vec3 toTarget = s.orbitTarget - c.eye;
    EXPECT_NEAR(length(toTarget), 40, 1e-9);
    EXPECT_NEAR(dot(normalise(toTarget), normalise(c.center - c.eye)), 1, 1e-12);
}

TEST(CameraRig, OrbitStaysWhereItWasAcrossModeSwitches) {
    CameraRig rig;
    for (int i = 0; i < 7; ++i) rig.mono(orbit(100), 640, 480);
    Vec3 d = rig.orbitDirection;
    rig.mono(stationary(), 640, 480);
    expectNear(rig.orbitDirection, d, 0);
}

TEST(CameraRig, StereoAtDistanceForty) {
    CameraRig rig;
    const double focal = 40 * 6.0 / 7.0;
    for (int selector : {1, 0}) {
        CameraSetup c = rig.stereo(stationary(), selector, 800, 600);
        EXPECT_NEAR(rig.focalDistance, focal, 1e-12);
        EXPECT_NEAR(rig.eyeSeparation, focal / 20, 1e-12);
        EXPECT_NEAR(rig.nearDistance, focal / 5, 1e-12);
        EXPECT_NEAR(c.nearDistance, 6.857142857142857, 1e-12);
        // The eyes stand half the separation either side of the axis.
        EXPECT_NEAR(c.eye.x, selector == 1 ? -focal / 40 : focal / 40, 1e-12);
        EXPECT_EQ(c.rightBuffer, selector == 0);
        // Off-axis frusta shifted by (separation / 2) * near / focal.
        double shift = (focal / 40) * (focal / 5) / focal;
        double h = (focal / 5) * std::tan(45 * 0.01745329251994 / 2);
        EXPECT_NEAR(c.left, -h * 800 / 600 + (selector == 1 ? shift : -shift), 1e-12);
    }
}

TEST(CameraRig, MonoKeepsTheNearDistanceOfTheLastStereoFrame) {
    CameraRig rig;
    rig.stereo(stationary(), 1, 800, 600);
    rig.stereo(stationary(), 0, 800, 600);
    CameraSetup c = rig.mono(stationary(-100), 800, 600);
    EXPECT_NEAR(c.nearDistance, 40 * 6.0 / 7.0 / 5, 1e-12);
}

TEST(CameraRig, StereoOrbitAdvancesOncePerEye) {
    CameraRig a, b;
    a.stereo(orbit(100), 1, 640, 480);
    a.stereo(orbit(100), 0, 640, 480);
    b.mono(orbit(100), 640, 480);
    b.mono(orbit(100), 640, 480);
    expectNear(a.orbitDirection, b.orbitDirection, 1e-15);
}

TEST(CameraRig, DegenerateInputsGiveFiniteSetUps) {
    struct Case {
        const char* what;
        CameraSettings s;
        int w, h;
    } cases[] = {
        {"distance zero", stationary(0), 800, 600}, {"camera behind", stationary(25), 800, 600},
        {"zero frames", orbit(0), 800, 600},        {"negative frames", orbit(-5), 800, 600},
        {"unsized window", stationary(), 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CameraRig rig;
        EXPECT_TRUE(finite(rig.mono(c.s, c.w, c.h)));
        CameraSetup st = rig.stereo(c.s, 1, c.w, c.h);
        EXPECT_TRUE(finite(st));
        EXPECT_GT(st.nearDistance, 0);
        EXPECT_TRUE(finite(rig.stereo(c.s, 0, c.w, c.h)));
    }
}
