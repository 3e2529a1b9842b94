// 3-vectors and the column-major 4x4 matrices that placement composes.
#pragma once

#include <array>
#include <cmath>

struct Vec3 {
    double x = 0, y = 0, z = 0;
    friend bool operator==(const Vec3&, const Vec3&) = default;
};

inline Vec3 operator+(Vec3 a, Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator-(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 operator*(double s, Vec3 a) {
    return {s * a.x, s * a.y, s * a.z};
}
inline double dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vec3 cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double length(Vec3 a) {
    return std::sqrt(dot(a, a));
}
// The zero vector normalises to itself.
inline Vec3 normalise(Vec3 a) {
    double l = length(a);
    return l == 0 ? Vec3{} : Vec3{a.x / l, a.y / l, a.z / l};
}

// Every coordinate a finite number no larger in size than most: what a
// writer checks before a position goes into a file.
inline bool finiteWithin(Vec3 a, double most) {
    return std::abs(a.x) <= most && std::abs(a.y) <= most && std::abs(a.z) <= most;
}

// Column-major as OpenGL stores it: element (row r, column c) is m[c * 4 + r].
using Mat4 = std::array<double, 16>;
using Mat4f = std::array<float, 16>;

constexpr Mat4 identityMatrix() {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}
constexpr Mat4f identityMatrixF() {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

constexpr double kDegToRad = 0.017453292519943295;

// The post-multiplications M = M * A for the three kinds of A that placement
// uses. Each computes exactly the sums that a full 4x4 product would
// (terms multiplied by an exact 0 contribute nothing, in the same order), so
// results equal those of the general product; cos and sin come from the
// caller so that per-link constants can be computed once.
inline void mulRotZ(Mat4& m, double c, double s) {
    for (int r = 0; r < 3; ++r) {
        double a = m[r], b = m[4 + r];
        m[r] = a * c + b * s;
        m[4 + r] = a * -s + b * c;
    }
}
inline void mulRotX(Mat4& m, double c, double s) {
    for (int r = 0; r < 3; ++r) {
        double a = m[4 + r], b = m[8 + r];
        m[4 + r] = a * c + b * s;
        m[8 + r] = a * -s + b * c;
    }
}
inline void mulTranslate(Mat4& m, double x, double y, double z) {
    for (int r = 0; r < 3; ++r) m[12 + r] = m[r] * x + m[4 + r] * y + m[8 + r] * z + m[12 + r];
}
inline void mulTranslateXY(Mat4& m, double x, double y) {
    for (int r = 0; r < 3; ++r) m[12 + r] = m[r] * x + m[4 + r] * y + m[12 + r];
}

inline Mat4 widen(const Mat4f& f) {
    Mat4 m;
    for (int i = 0; i < 16; ++i) m[i] = f[i];
    return m;
}
inline Mat4f narrow(const Mat4& m) {
    Mat4f f;
    for (int i = 0; i < 16; ++i) f[i] = static_cast<float>(m[i]);
    return f;
}
inline Vec3 translationOf(const Mat4& m) {
    return {m[12], m[13], m[14]};
}
