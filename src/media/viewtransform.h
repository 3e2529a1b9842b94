// What gluLookAt followed by the arcball's orientation does to a point, for
// drawings made without OpenGL through the same camera as the picture.
#pragma once

#include "camerarig.h"
#include "geometry.h"

// The position in eye coordinates (the camera looks down -z).
struct ViewTransform {
    Vec3 s, u, f, eye;
    Mat4 orientation = identityMatrix();
    bool orient = false;

    ViewTransform() = default;
    ViewTransform(const CameraSetup& c, const Mat4& turn) {
        f = normalise(c.center - c.eye);
        s = normalise(cross(f, c.up));
        u = cross(s, f);
        eye = c.eye;
        orientation = turn;
        orient = c.applyOrientation;
    }
    Vec3 operator()(const Vec3& p) const {
        Vec3 q = p;
        if (orient) {
            const Mat4& m = orientation;
            q = {m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12],
                 m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
                 m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]};
        }
        Vec3 d = q - eye;
        return {dot(s, d), dot(u, d), -dot(f, d)};
    }
};
