// The point paths as tube meshes in 3-D files: one closed, watertight tube
// per traced point (the paths are closed, so each tube joins itself and
// needs no caps), named sphere/point and coloured as its sphere, written
// through Assimp's exporters as OBJ, PLY (with vertex colours), binary STL,
// glTF 2.0 binary or 3MF.
//
// Threads: reads the automaton; call it where the automaton may be read.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "automaton.h"

struct MeshOptions {
    // Absolute tube radius; unset: the drawing's 0.15 x each sphere's radius.
    std::optional<double> tubeRadius;
    // Sides of each tube ring; unset: the drawing's.
    std::optional<int> sides;
    // Triangles of all tubes together, at most: above it tubes are made
    // coarser (fewer sides and rings), which *coarsened (when set) says.
    std::size_t maxTriangles = kDefaultMaxTriangles;
    bool* coarsened = nullptr;
    static constexpr std::size_t kDefaultMaxTriangles = 2'000'000;
    static constexpr std::size_t kMostTriangles = 50'000'000;
};

class PathMesh {
  public:
    static constexpr int kMostSides = 64;
    struct Format {
        const char* extension;    // lower case, with the dot
        const char* exporter;     // Assimp's format id
        const char* description;  // for --help and file dialogs
    };
    static const std::vector<Format>& formats();
    // The format for path's extension (any case), or null.
    static const Format* formatForPath(const std::string& path);

    // Writes the tubes of every point with a path. The file appears only
    // when complete (an OBJ file together with its .mtl materials). Returns
    // "" on success, otherwise one sentence.
    static std::string write(const Automaton& a, const std::string& path,
                             const MeshOptions& options = {});
};
