// Unit quaternions built from a quaternion or from an angle and an axis.
#include "unitquaternion.h"

#include <cmath>

unitquaternion::unitquaternion(const quaternion& q) : quaternion(q.w, q.v) {
    if (!(norm2() > 0) || !std::isfinite(norm2())) {
        w = 1;
        v = {};
        return;
    }
    normalise();
}

unitquaternion::unitquaternion(double angle, Vec3 axis)
    : quaternion(std::cos(angle / 2), std::sin(angle / 2) * ::normalise(axis)) {
    // A zero axis leaves (cos, 0): renormalise so the result stays a unit
    // quaternion (the identity) instead of shrinking every later product.
    if (axis == Vec3{}) {
        w = 1;
        v = {};
    }
}

unitquaternion& unitquaternion::operator*=(const unitquaternion& r) {
    quaternion::operator*=(r);
    // Products of unit quaternions drift away from unit length over
    // thousands of drags; keep the invariant the class promises.
    normalise();
    return *this;
}
