// A marked point of a sphere and the closed path it traces.
#pragma once

#include <array>
#include <vector>

#include "geometry.h"

struct SpherePoint {
    double pointAngleZ = 0;      // degrees about the sphere's axis
    double pointAngleX = 0;      // degrees about the perpendicular axis
    double quantumDistance = 1;  // distance from the centre in sphere radii

    std::vector<Vec3> path;                      // world positions over one period
    std::array<std::vector<Vec3>, 7> tubeLines;  // seven polylines around path
    Vec3 lastDirection;
    Vec3 tubeNormal;
    Vec3 tubeBinormal;
    // normalise(lastDirection), kept so that each step normalises once.
    Vec3 lastUnitDirection;

    void clearPath() {
        path.clear();
        for (auto& l : tubeLines) l.clear();
    }
};
