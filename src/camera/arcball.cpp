// Arcball drags, constrained drags and the turning keys.
#include "arcball.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kKeyDegToRad = 0.01745329251994;

bool tiny(Vec3 a) {
    return std::abs(a.x) < 1e-17 && std::abs(a.y) < 1e-17 && std::abs(a.z) < 1e-17;
}

std::array<Vec3, 3> columnsOf(const Mat4& m) {
    return {Vec3{m[0], m[1], m[2]}, Vec3{m[4], m[5], m[6]}, Vec3{m[8], m[9], m[10]}};
}
}  // namespace

Arcball::Arcball(double radius, const unitquaternion& orientation)
    : currentOrientation(orientation),
      // NaN compares false both ways; treat it as the smallest radius.
      ballRadius(std::isnan(radius) ? 0.1 : std::clamp(radius, 0.1, 1.0)) {}

unitquaternion Arcball::defaultOrientation() {
    return unitquaternion(0.872664625997, {1, 0, 0});
}

Arcball::Arcball() : Arcball(0.699999988079071, defaultOrientation()) {
    drawConstraints = true;
    setColor(0x001E5082);
}

void Arcball::setWindowSize(double width, double height) {
    std::lock_guard g(lock_);
    windowWidth = width;
    windowHeight = height;
}

std::pair<double, double> Arcball::normalise(double x, double y) const {
    std::lock_guard g(lock_);
    return normaliseLocked(x, y);
}

std::pair<double, double> Arcball::normaliseLocked(double x, double y) const {
    // Before the first resize the window has no size: every point is the
    // centre, so a drag does nothing instead of turning by NaN.
    if (!(windowWidth > 0) || !(windowHeight > 0)) return {0, 0};
    return {(2 * x - windowWidth) / windowWidth, (windowHeight - 2 * y) / windowHeight};
}

Vec3 Arcball::projectOntoBall(double x, double y, double radius) {
    double r2 = x * x + y * y;
    double R2 = radius * radius;
    if (r2 < R2 / 2) return {x, y, std::sqrt(R2 - r2)};
    // The hyperbolic sheet meets the sphere where r^2 = R^2 / 2, so a drag
    // past the ball's rim keeps turning smoothly.
    return {x, y, R2 / (2 * std::sqrt(r2))};
}

Vec3 Arcball::constrainToAxis(Vec3 p, Vec3 axis) {
    Vec3 q = p - dot(axis, p) * axis;
    double n = length(q);
    if (n > 0) {
        if (q.z < 0) q = -1.0 * q;
        return (1.0 / n) * q;
    }
    if (axis.z != 1) return ::normalise(Vec3{-axis.y, axis.x, 0});
    return {1, 0, 0};
}

unitquaternion Arcball::rotationFromTo(Vec3 p, Vec3 q, double radius) {
    Vec3 axis = cross(q, p);
    if (tiny(axis)) axis = {1, 0, 0};
    double t = std::clamp(length(p - q) / (2 * radius), -1.0, 1.0);
    return unitquaternion(2 * std::asin(t), axis);
}

const std::array<Vec3, 3>& Arcball::axisSet() const {
    return constraintMode == 2 ? bodyAxes : cameraAxes;
}

int Arcball::nearestAxis(Vec3 q) const {
    const auto& axes = axisSet();
    float best = -1;
    int found = 0;
    for (int i = 0; i < 3; ++i) {
        float d = static_cast<float>(dot(constrainToAxis(q, axes[i]), q));
        if (d > best) {
            best = d;
            found = i;
        }
    }
    return found;
}

void Arcball::setConstraintMode(int mode) {
    std::lock_guard g(lock_);
    constraintMode = (mode == 1 || mode == 2) ? mode : 0;
}

void Arcball::buttonDown(double x, double y) {
    std::lock_guard g(lock_);
    lastPosition = normaliseLocked(x, y);
    dragStartOrientation = currentOrientation;
    dragging = true;
}

void Arcball::mouseMove(double x, double y) {
    std::lock_guard g(lock_);
    auto [qx, qy] = normaliseLocked(x, y);
    if (dragging) {
        Vec3 p = projectOntoBall(lastPosition.first, lastPosition.second, ballRadius);
        Vec3 q = projectOntoBall(qx, qy, ballRadius);
        if (constraintMode != 0) {
            const Vec3& axis = axisSet()[constraintAxis];
            p = constrainToAxis(p, axis);
            q = constrainToAxis(q, axis);
        }
        currentOrientation *= rotationFromTo(p, q, ballRadius);
        lastPosition = {qx, qy};
    } else if (constraintMode != 0) {
        constraintAxis = nearestAxis(projectOntoBall(qx, qy, ballRadius));
    }
}

void Arcball::releaseLocked() {
    lastPosition = {0, 0};
    dragging = false;
    rotationMatrix = currentOrientation.rotationMatrix();
    bodyAxes = columnsOf(rotationMatrix);
}

void Arcball::buttonUp() {
    std::lock_guard g(lock_);
    releaseLocked();
}

void Arcball::key(int code) {
    std::lock_guard g(lock_);
    const double step = keyStep * kKeyDegToRad;
    auto turn = [&](double angle, Vec3 axis) { currentOrientation *= unitquaternion(angle, axis); };
    switch (code) {
        case kBallKeyTab:
            if (dragging && constraintMode != 0) {
                constraintAxis = (constraintAxis + 1) % 3;
                currentOrientation = dragStartOrientation;
            }
            break;
        case kBallKeyEscape:
            currentOrientation = dragStartOrientation;
            releaseLocked();
            break;
        case kBallKeyPageUp:
        case kBallKeyPad9:
            turn(step, {0, 0, 1});
            break;
        case kBallKeyHome:
        case kBallKeyPad7:
            turn(-step, {0, 0, 1});
            break;
        case kBallKeyLeft:
        case kBallKeyPad4:
            turn(-step, {0, 1, 0});
            break;
        case kBallKeyUp:
        case kBallKeyPad8:
            turn(step, {1, 0, 0});
            break;
        case kBallKeyRight:
        case kBallKeyPad6:
            turn(step, {0, 1, 0});
            break;
        case kBallKeyDown:
        case kBallKeyPad2:
            turn(-step, {1, 0, 0});
            break;
        default:
            break;
    }
}

void Arcball::setColor(std::uint32_t c) {
    std::lock_guard g(lock_);
    ballColor = {(c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, ((c >> 16) & 0xFF) / 255.0};
}

void Arcball::setOrientation(const unitquaternion& q) {
    std::lock_guard g(lock_);
    currentOrientation = q;
    dragStartOrientation = q;
}

void Arcball::setDrawConstraints(bool on) {
    std::lock_guard g(lock_);
    drawConstraints = on;
}

Mat4 Arcball::orientationMatrix() const {
    std::lock_guard g(lock_);
    return currentOrientation.rotationMatrix();
}

Arcball::Overlay Arcball::overlayState() const {
    std::lock_guard g(lock_);
    return {drawConstraints, constraintMode, ballRadius, rotationMatrix};
}

unitquaternion Arcball::orientation() const {
    std::lock_guard g(lock_);
    return currentOrientation;
}
int Arcball::constraintModeNow() const {
    std::lock_guard g(lock_);
    return constraintMode;
}
int Arcball::constraintAxisNow() const {
    std::lock_guard g(lock_);
    return constraintAxis;
}
bool Arcball::isDragging() const {
    std::lock_guard g(lock_);
    return dragging;
}
std::array<double, 3> Arcball::color() const {
    std::lock_guard g(lock_);
    return ballColor;
}
