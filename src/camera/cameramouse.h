// The view's mouse and keyboard routing to the camera: left drags go to the
// arcball, right drags zoom, Delete and Insert zoom once per frame.
//
// Threads: the mouse operations run on the user-interface thread, the
// keyboard zoom on the render thread; distances are passed in and returned
// so that the caller decides how the document's field is shared.
#pragma once

#include <optional>

#include "arcball.h"

class CameraMouse {
  public:
    static constexpr double kNearest = 1.0;
    static constexpr double kFarthest = 1000.0;

    // Ctrl constrains to the camera axes, Shift to the body axes.
    void leftButtonDown(Arcball& ball, double x, double y, bool ctrl, bool shift);
    void leftButtonUp(Arcball& ball);
    // Both return whether the view is to capture (or release) the mouse:
    // nothing happens while the automaton is kept entirely in view.
    bool rightButtonDown(double x, double y, bool keepInView, double cameraDistance);
    bool rightButtonUp(bool keepInView);
    // While the mouse is captured. Returns the new camera distance when a
    // right drag changed it.
    std::optional<double> mouseMove(Arcball& ball, double x, double y);
    // Delete moves the camera away, Insert nearer; both may apply. No bounds.
    static double keyboardZoom(double cameraDistance, bool deleteDown, bool insertDown);
    // The distance moved by delta (positive: nearer) within the drag's
    // bounds; a distance already beyond a bound is not pulled back to it.
    static double zoomWithinBounds(double cameraDistance, double delta);
    // The mouse wheel: one notch (120) takes the camera 10% nearer or
    // farther, within the drag's bounds.
    static double wheelZoom(double cameraDistance, int angleDelta);

    bool leftDragging = false;
    bool rightDragging = false;
    double pressX = 0, pressY = 0;
    float distanceAtPress = 0;
};
