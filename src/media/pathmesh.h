// The point paths as tube meshes in 3-D files: one closed, watertight tube
// per traced point (the paths are closed, so each tube joins itself and
// needs no caps), named sphere/point and coloured as its sphere: binary STL
// written directly; OBJ, PLY, glTF 2.0 binary and 3MF through Assimp's
// exporters, in the module the program opens on demand (mediamodule.h).
// Colours travel as each format can carry them: OBJ in its .mtl file, PLY
// per vertex, glTF and 3MF as materials; STL has none.
//
// Threads: reads the automaton; call it where the automaton may be read.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "automaton.h"

struct MeshOptions {
    // Absolute tube radius; unset: the drawing's 0.15 x each sphere's radius.
    std::optional<double> tubeRadius;
    // Sides of each tube ring; unset: the drawing's.
    std::optional<int> sides;
    // One radius for every tube, 0.9 x the smallest thickness of the
    // written curves, so that no tube touches itself (wins over tubeRadius).
    bool autoRadius = false;
    // The model's largest dimension in the file, in millimetres (what
    // slicers assume); unset: the automaton's units times scale.
    std::optional<double> sizeMillimetres;
    double scale = 1;
    // Told, one sentence each, of every curve that a tube of the given
    // radius would cross itself on, with the largest radius that would not.
    std::function<void(const std::string&)> warning;
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
    // Tube radii beyond this are no tube around a path of this program.
    static constexpr double kLargestTubeRadius = 1e6;
    static bool acceptsTubeRadius(double r) { return r > 0 && r < kLargestTubeRadius; }
    struct Format {
        const char* extension;    // lower case, with the dot
        const char* exporter;     // Assimp's format id
        const char* description;  // for --help and file dialogs
    };
    static const std::vector<Format>& formats();
    // The format for path's extension (any case), or null.
    static const Format* formatForPath(const std::string& path);

    // Writes the tubes of every point with a path, through the program's
    // one save (AtomicFile): the file appears only when complete (an OBJ
    // file together with its .mtl materials). Returns
    // "" on success, otherwise one sentence. A stop request of the calling
    // thread's scope (passstop.h) ends it early with nothing written.
    static std::string write(const Automaton& a, const std::string& path,
                             const MeshOptions& options = {});
};
