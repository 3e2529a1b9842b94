// A marked point of a sphere and the closed path it traces.
#pragma once

#include <vector>

#include "geometry.h"

struct SpherePoint {
    double pointAngleZ = 0;      // degrees about the sphere's axis
    double pointAngleX = 0;      // degrees about the perpendicular axis
    double quantumDistance = 1;  // distance from the centre in sphere radii

    // World positions over one period. The tube drawn around them is built
    // from these when it is drawn (tubemesh.h).
    std::vector<Vec3> path;

    void clearPath() { path.clear(); }
};
