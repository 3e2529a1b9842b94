// A general quaternion (w, v) with the product and the rotation matrix that
// the arcball composes.
#pragma once

#include "geometry.h"

class quaternion {
  public:
    quaternion() = default;
    quaternion(double w, Vec3 v) : w(w), v(v) {}
    virtual ~quaternion() = default;

    double norm2() const { return w * w + dot(v, v); }
    // Scales to unit length. A zero quaternion has no direction and is left
    // as it is rather than filled with NaN.
    void normalise();
    // In place q <- q (x) r.
    quaternion& operator*=(const quaternion& r);

    // Column-major matrix that, multiplied onto an OpenGL matrix, turns by
    // the inverse of the rotation this quaternion describes. Divides by the
    // squared norm; a zero quaternion yields the identity.
    virtual Mat4 rotationMatrix() const;

    double w = 1;
    Vec3 v;

  protected:
    Mat4 rotationMatrixScaled(double s) const;
};
