// Camera set-up of mono and anaglyph frames.
#include "camerarig.h"

#include <cmath>

namespace {
constexpr double kFovDegToRad = 0.01745329251994;

double aspectOf(int width, int height) {
    // A window that has not been sized yet is treated as one pixel square
    // rather than dividing by zero.
    return static_cast<double>(width > 0 ? width : 1) / (height > 0 ? height : 1);
}

Vec3 turnAboutZ(Vec3 a, double c, double s) {
    return {a.x * c - a.y * s, a.x * s + a.y * c, a.z};
}
}  // namespace

void CameraRig::placeEye(const CameraSettings& s) {
    if (s.viewFromStationary == 1) {
        eye = {0, 0, -s.cameraDistance};
        direction = {0, 0, -1};
        up = {0, 1, 0};
        return;
    }
    // A frame count of 0 (only a damaged file has one) leaves the orbit
    // standing rather than turning it by an infinite angle.
    if (s.movieFrameCount > 0) {
        double angle = kTwoPi / s.movieFrameCount;
        double c = std::cos(angle), sn = std::sin(angle);
        orbitDirection = turnAboutZ(orbitDirection, c, sn);
        orbitUp = turnAboutZ(orbitUp, c, sn);
    }
    eye = s.orbitTarget + s.cameraDistance * normalise(orbitDirection);
    direction = orbitDirection;
    up = orbitUp;
}

double CameraRig::halfHeight(double nearDist) const {
    return nearDist * std::tan(fovy * kFovDegToRad * 0.5);
}

CameraSetup CameraRig::mono(const CameraSettings& s, int width, int height) {
    placeEye(s);
    CameraSetup c;
    double aspect = aspectOf(width, height);
    double h = halfHeight(nearDistance);
    c.left = -aspect * h;
    c.right = aspect * h;
    c.bottom = -h;
    c.top = h;
    c.nearDistance = nearDistance;
    c.farDistance = kFarDistance;
    c.eye = eye;
    c.center = eye + direction;
    c.up = up;
    c.applyOrientation = s.viewFromStationary == 1;
    return c;
}

CameraSetup CameraRig::stereo(const CameraSettings& s, int selector, int width, int height) {
    placeEye(s);
    eyeSelector = selector;
    double focal = eye.z - eye.z * 0.14285714285714285;
    // The plane of zero parallax must lie in front of the camera. With the
    // eye at or below z = 0 (distance 0, or an orbit seen from below) there is
    // no such plane: draw both eyes from one point with the near distance of
    // the last good set-up instead of a frustum of NaN.
    bool usable = focal > 0 && std::isfinite(focal);
    if (usable) {
        focalDistance = focal;
        eyeSeparation = focal / 20;
        nearDistance = focal / 5;
    }
    double half = usable ? eyeSeparation / 2 : 0;
    double k = usable ? nearDistance / focalDistance : 0;
    double aspect = aspectOf(width, height);
    double h = halfHeight(nearDistance);
    double shift = (selector == 1 ? 1 : -1) * half * k;

    CameraSetup c;
    c.left = -aspect * h + shift;
    c.right = aspect * h + shift;
    c.bottom = -h;
    c.top = h;
    c.nearDistance = nearDistance;
    c.farDistance = kFarDistance;
    Vec3 r = half * normalise(cross(direction, up));
    c.eye = selector == 1 ? eye - r : eye + r;
    c.center = c.eye + direction;
    c.up = up;
    c.applyOrientation = s.viewFromStationary == 1;
    c.rightBuffer = selector != 1;
    return c;
}
