// The point paths as a vector drawing: each traced point's closed path
// projected through the camera, one SVG <path> per point in its sphere's
// colour, the farthest drawn first, written through Qt's SVG generator.
//
// Threads: reads the automaton; call it where the automaton may be read.
#pragma once

#include <string>

#include "automaton.h"
#include "camerarig.h"
#include "geometry.h"

class PathSvg {
  public:
    // camera: the set-up of a width x height frame; orientation: the
    // arcball's turn applied after the camera (when the set-up asks for it).
    // Returns "" on success, otherwise one sentence.
    static std::string write(const Automaton& a, const CameraSetup& camera, const Mat4& orientation,
                             int width, int height, const std::string& path);
};
