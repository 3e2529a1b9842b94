// A quaternion kept at unit length: the orientations and incremental turns
// of the arcball.
#pragma once

#include "quaternion.h"

class unitquaternion : public quaternion {
  public:
    unitquaternion() = default;
    // Copies and normalises. A zero quaternion becomes the identity, since
    // it describes no orientation at all.
    explicit unitquaternion(const quaternion& q);
    // The turn by angle (radians) about axis; a zero axis gives a turn of
    // nothing.
    unitquaternion(double angle, Vec3 axis);

    unitquaternion& operator*=(const unitquaternion& r);
    Mat4 rotationMatrix() const override { return rotationMatrixScaled(2.0); }
};
