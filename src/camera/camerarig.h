// Where the camera stands for a frame: the mono set-up of either view mode,
// the two off-axis eyes of the anaglyph frame, and the orbit that advances
// with every set-up. Pure arithmetic; the render library loads the result
// into OpenGL.
//
// Threads: one rig belongs to one render thread (the window's, or a headless
// renderer's). It is not locked.
#pragma once

#include "geometry.h"

// The document's settings that place the camera.
struct CameraSettings {
    int viewFromStationary = 1;
    double cameraDistance = -40.0;  // negative: the camera stands at -cameraDistance
    int movieFrameCount = 100;
    Vec3 orbitTarget;
};

// One set-up, ready for glFrustum and gluLookAt.
struct CameraSetup {
    double left = 0, right = 0, bottom = 0, top = 0;
    double nearDistance = 0.1, farDistance = 1000000;
    Vec3 eye, center, up;
    bool applyOrientation = false;  // multiply by the arcball's orientation afterwards
    bool rightBuffer = false;       // the second eye of a stereo frame
};

class CameraRig {
  public:
    static constexpr double kFarDistance = 1000000;
    static constexpr double kTwoPi = 6.28318530718;

    CameraSetup mono(const CameraSettings& s, int width, int height);
    // eyeSelector 1 = first eye, 0 = second eye. Changes nearDistance, which
    // later mono frames keep.
    CameraSetup stereo(const CameraSettings& s, int eyeSelector, int width, int height);

    float fovy = 45.0f;
    double nearDistance = 0.1;
    double focalDistance = 0;
    double eyeSeparation = 0;
    int eyeSelector = 0;
    // Of the last set-up.
    Vec3 eye, direction, up;
    // The orbit's direction and up vector, kept from set-up to set-up so that
    // switching view modes resumes the orbit where it was.
    Vec3 orbitDirection{0, 1, -0.333};
    Vec3 orbitUp{0, -0.333, 1};

  private:
    void placeEye(const CameraSettings& s);
    double halfHeight(double nearDist) const;
};
