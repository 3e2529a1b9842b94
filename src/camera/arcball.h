// The arcball that turns the automaton: mouse drags (free or constrained to
// an axis), the turning keys, and the state the overlay draws. No OpenGL
// here; the overlay drawing lives in balloverlay.h of the render library,
// which keeps the guide circle's display list with each OpenGL context.
//
// Threads: the user-interface thread calls the input operations; the render
// thread reads the orientation (orientationMatrix) and the guides
// (overlayState). Every operation takes the controller's own lock for its
// whole duration, so a frame never sees half an update.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <utility>

#include "geometry.h"
#include "unitquaternion.h"

// Key codes that key() understands: Qt's own key numbers (this library has
// no Qt, so they are spelt out; the window checks them against Qt's), the
// keypad digits marked with Qt's keypad modifier bit.
constexpr int kBallKeypad = 0x20000000;
enum BallKey : int {
    kBallKeyEscape = 0x01000000,
    kBallKeyTab = 0x01000001,
    kBallKeyHome = 0x01000010,
    kBallKeyLeft = 0x01000012,
    kBallKeyUp = 0x01000013,
    kBallKeyRight = 0x01000014,
    kBallKeyDown = 0x01000015,
    kBallKeyPageUp = 0x01000016,
    kBallKeyPad2 = kBallKeypad | '2',
    kBallKeyPad4 = kBallKeypad | '4',
    kBallKeyPad6 = kBallKeypad | '6',
    kBallKeyPad7 = kBallKeypad | '7',
    kBallKeyPad8 = kBallKeypad | '8',
    kBallKeyPad9 = kBallKeypad | '9',
};

class Arcball {
  public:
    // What the overlay needs, copied under the lock.
    struct Overlay {
        bool drawConstraints = false;
        int constraintMode = 0;
        double ballRadius = 0;
        Mat4 rotationMatrix = identityMatrix();
    };

    // The document's camera as a new document starts it: radius 0.7, the
    // automaton tilted by 50 degrees about x, guides shown in RGB(130, 80, 30).
    Arcball();
    // The orientation a new controller has: 50 degrees about x.
    static unitquaternion defaultOrientation();
    // radius is clamped to 0.1..1 (normalised window units).
    explicit Arcball(double radius, const unitquaternion& orientation = unitquaternion());
    virtual ~Arcball() = default;
    Arcball(const Arcball&) = delete;
    Arcball& operator=(const Arcball&) = delete;

    // Input, user-interface thread. Pixel positions have y growing downwards.
    void setWindowSize(double width, double height);
    void buttonDown(double x, double y);
    void mouseMove(double x, double y);
    void buttonUp();
    void key(int code);
    // The view's left button sets the constraint before buttonDown: 1 with
    // Ctrl (camera axes), 2 with Shift (body axes), 0 otherwise.
    void setConstraintMode(int mode);

    void setColor(std::uint32_t colorref);
    void setOrientation(const unitquaternion& q);
    void setDrawConstraints(bool on);

    // Render thread.
    Mat4 orientationMatrix() const;
    Overlay overlayState() const;

    // Snapshots for callers that want to look (pages, tests).
    unitquaternion orientation() const;
    int constraintModeNow() const;
    int constraintAxisNow() const;
    bool isDragging() const;
    std::array<double, 3> color() const;
    double radius() const { return ballRadius; }

    // The pieces of the drag mathematics, public so that they can be checked
    // on their own.
    std::pair<double, double> normalise(double x, double y) const;
    static Vec3 projectOntoBall(double x, double y, double radius);
    static Vec3 constrainToAxis(Vec3 p, Vec3 axis);
    static unitquaternion rotationFromTo(Vec3 p, Vec3 q, double radius);

  private:
    std::pair<double, double> normaliseLocked(double x, double y) const;
    int nearestAxis(Vec3 q) const;
    const std::array<Vec3, 3>& axisSet() const;
    void releaseLocked();

    mutable std::mutex lock_;
    bool drawConstraints = false;
    Mat4 rotationMatrix = identityMatrix();
    int keyStep = 5;
    std::array<double, 3> ballColor{0, 0.5, 1.0};
    unitquaternion currentOrientation;
    unitquaternion dragStartOrientation;
    double ballRadius = 0.7;
    double windowWidth = 0;
    double windowHeight = 0;
    std::pair<double, double> lastPosition{0, 0};
    bool dragging = false;
    int constraintMode = 0;
    int constraintAxis = 0;
    std::array<Vec3, 3> cameraAxes{Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, 0, 1}};
    std::array<Vec3, 3> bodyAxes{Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, 0, 1}};
};
