// The sphere record: identity, appearance, the three relations with their
// ordered dependant lists, exact factors, angles, dynamic settings, and the
// results of the last placement.
//
// Spheres are plain records: the operations over them live in relations.h,
// placement.h and pointpaths.h. A sphere is touched only by the thread that
// owns its automaton; the window draws a copy of its own
// (automatoncopy.h), so no sphere is ever shared between threads.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "exactmemo.h"
#include "geometry.h"
#include "rational.h"
#include "spherepoint.h"

struct Automaton;

// A copy of the whole automaton a, its spheres linked among themselves
// (automatoncopy.cpp); with withPaths the points' sampled paths too.
std::unique_ptr<Automaton> copyAutomaton(const Automaton& a, bool withPaths = false);

// Relation kinds, numbered as the relation operations take them.
enum RelationKind : int { kParent = 0, kRadius = 1, kTime = 2 };

struct Sphere {
    explicit Sphere(std::string name = "new");
    Sphere& operator=(const Sphere&) = delete;

    Automaton* document = nullptr;
    int treeImage = 0;
    std::string name;
    std::uint32_t color = 0xffffff;  // 0x00BBGGRR
    std::string textureFile = "earth256.bmp";
    int surface = 1;  // 0 opaque, 1 transparent, 2 mesh, 3 texture, 4 none
    int showCentersLine = 0;
    int showPerpendicularAxis = 1;
    int showRevolutionAxis = 1;
    int showGreatCircle = 1;
    int showRotationAxis = 1;
    int showPointPaths = 1;
    int doomed = 0;

    Sphere* parent = nullptr;
    Sphere* radiusReference = nullptr;
    Sphere* timeReference = nullptr;
    std::string parentName = "pre-birth";
    std::string radiusReferenceName = "fetus";
    std::string timeReferenceName = "genesis";

    // Dependant lists (first/last) and this sphere's links in the list of its
    // reference (next/previous), indexed by RelationKind.
    Sphere* firstDependant[3] = {nullptr, nullptr, nullptr};
    Sphere* lastDependant[3] = {nullptr, nullptr, nullptr};
    Sphere* nextSibling[3] = {nullptr, nullptr, nullptr};
    Sphere* previousSibling[3] = {nullptr, nullptr, nullptr};

    Rational radiusFactor{1, 1};
    double radius = 0;
    short inside = 0;
    short antiClockwise = 0;
    double axisAngleZ = 0;
    double axisAngleX = 0;
    Mat4f frame = identityMatrixF();
    double initialSpin = 0;
    double spin = 0;
    double initialRevolution = 0;
    double revolution = 0;
    Vec3 center;
    Vec3 axisPoint;
    int snapshotTaken = 0;
    Vec3 snapshotCenter;
    double snapshotRadius = 0;
    Mat4f snapshotFrame = identityMatrixF();
    Rational rollingRate{1, 1};
    std::vector<SpherePoint> points;
    int dynamic = 0;
    int dynamicAxisZ = 0;
    int dynamicAxisX = 0;
    float dynamicAngleZ = 0;
    int dynamicForwardZ = 1;
    float dynamicAngleX = 0;
    int dynamicForwardX = 1;
    // Exact motion worked out from the fields above; it keeps track of
    // its own inputs (exactmotion.h), so nothing needs to clear it.
    mutable ExactMemo exact;

    Sphere* reference(int kind) const {
        return kind == kParent ? parent : kind == kRadius ? radiusReference : timeReference;
    }
    Sphere*& referenceSlot(int kind) {
        return kind == kParent ? parent : kind == kRadius ? radiusReference : timeReference;
    }
    Sphere* firstChild() const { return firstDependant[kParent]; }
    Sphere* nextChild() const { return nextSibling[kParent]; }

    void setRadiusFactor(std::int32_t num, std::int32_t den) { radiusFactor = Rational(num, den); }
    void setRollingRate(std::int32_t num, std::int32_t den) { rollingRate = Rational(num, den); }
    void addPoint(double angleZ, double angleX, double quantum);
    // Removes the point at index; an index past the end removes nothing.
    void removePoint(std::size_t index);
    int pointCount() const { return static_cast<int>(points.size()); }

  private:
    // Copies are made only whole automata at a time, which link the copies
    // to each other (automatoncopy.h); a lone copy would point into the
    // original's tree.
    Sphere(const Sphere&) = default;
    friend std::unique_ptr<Automaton> copyAutomaton(const Automaton&, bool);
};

// The product of radiusFactor along the radius-reference chain, stopping at
// the first sphere without a reference (whose own factor is not included).
// Exact at any length; a chain that loops (only a damaged file could make
// one) ends after it has visited every sphere once. Kept with the sphere
// until a factor or link up the chain changes.
BigRational relativeRadius(const Sphere& s);

// Level colours of new spheres, by tree image index 0..8.
extern const std::uint32_t kLevelColors[9];
constexpr std::uint32_t rgb(int r, int g, int b) {
    return static_cast<std::uint32_t>(r) | static_cast<std::uint32_t>(g) << 8 |
           static_cast<std::uint32_t>(b) << 16;
}
