// Mouse routing and zoom of the view.
#include "cameramouse.h"

#include <algorithm>
#include <cmath>

void CameraMouse::leftButtonDown(Arcball& ball, double x, double y, bool ctrl, bool shift) {
    leftDragging = true;
    pressX = x;
    pressY = y;
    ball.setConstraintMode(ctrl ? 1 : shift ? 2 : 0);
    ball.buttonDown(x, y);
}

void CameraMouse::leftButtonUp(Arcball& ball) {
    leftDragging = false;
    pressX = pressY = 0;
    ball.buttonUp();
}

bool CameraMouse::rightButtonDown(double x, double y, bool keepInView, double cameraDistance) {
    if (keepInView) return false;
    rightDragging = true;
    pressX = x;
    pressY = y;
    distanceAtPress = static_cast<float>(-cameraDistance);
    return true;
}

bool CameraMouse::rightButtonUp(bool keepInView) {
    if (keepInView) return false;
    rightDragging = false;
    return true;
}

std::optional<double> CameraMouse::mouseMove(Arcball& ball, double x, double y) {
    if (leftDragging) {
        ball.mouseMove(x, y);
        return std::nullopt;
    }
    if (!rightDragging) return std::nullopt;
    double dy = pressY - y;
    float d = static_cast<float>(std::abs(dy) / 3.0);
    if (!(d > 0)) return std::nullopt;
    if (dy > 0) {
        double n = distanceAtPress - d;
        return n < kNearest ? -kNearest : -n;
    }
    double n = distanceAtPress + d;
    return n > kFarthest ? -kFarthest : -n;
}

double CameraMouse::keyboardZoom(double cameraDistance, bool deleteDown, bool insertDown) {
    if (deleteDown) cameraDistance *= 1.02;
    if (insertDown) cameraDistance /= 1.02;
    return cameraDistance;
}

double CameraMouse::zoomWithinBounds(double cameraDistance, double delta) {
    double n = cameraDistance + delta;
    if (delta > 0) return std::min(n, std::max(cameraDistance, -kNearest));
    return std::max(n, std::min(cameraDistance, -kFarthest));
}

double CameraMouse::wheelZoom(double cameraDistance, int angleDelta) {
    double n = cameraDistance * std::pow(1.1, -angleDelta / 120.0);
    return zoomWithinBounds(cameraDistance, n - cameraDistance);
}
