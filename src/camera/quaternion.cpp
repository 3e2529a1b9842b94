// Quaternion product, normalisation and rotation matrix.
#include "quaternion.h"

#include <cmath>

void quaternion::normalise() {
    double n2 = norm2();
    if (!(n2 > 0) || !std::isfinite(n2)) return;
    double n = std::sqrt(n2);
    w /= n;
    v = (1.0 / n) * v;
}

quaternion& quaternion::operator*=(const quaternion& r) {
    double nw = w * r.w - dot(v, r.v);
    Vec3 nv = w * r.v + r.w * v + cross(v, r.v);
    w = nw;
    v = nv;
    return *this;
}

Mat4 quaternion::rotationMatrix() const {
    double n2 = norm2();
    return rotationMatrixScaled(n2 > 0 ? 2.0 / n2 : 0.0);
}

Mat4 quaternion::rotationMatrixScaled(double s) const {
    const double x = v.x, y = v.y, z = v.z;
    return {1 - s * (y * y + z * z),
            s * (x * y - z * w),
            s * (x * z + y * w),
            0,
            s * (x * y + z * w),
            1 - s * (x * x + z * z),
            s * (y * z - x * w),
            0,
            s * (x * z - y * w),
            s * (y * z + x * w),
            1 - s * (x * x + y * y),
            0,
            0,
            0,
            0,
            1};
}
