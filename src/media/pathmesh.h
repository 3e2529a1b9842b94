// The point paths as meshes in 3-D files. For printing (STL, 3MF) a closed
// solid: the union of round tubes around the paths, crossings and touching
// strands fused, meshed from a level set in the module the program opens on
// demand; 3MF holds one object whose parts are the curves in place (or one
// part with union), each in its sphere's colour. For viewers (OBJ, PLY,
// glTF 2.0 binary) one closed tube per traced point (the paths are closed,
// so each tube joins itself and needs no caps), named sphere/point and
// coloured as its sphere, through Assimp's exporters. Colours travel as each
// format can carry them: OBJ in its .mtl file, PLY per vertex, glTF and 3MF
// as materials; STL has none. glTF is in metres with +Y up, as that format
// says; the others in the file's units (millimetres for a printer).
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
    // One tube radius for every tube, in automaton units, or in millimetres
    // at the print size (wins). Unset: 0.75% of the model's largest
    // dimension, never below 0.6 mm when the model has a size.
    std::optional<double> tubeRadius;
    std::optional<double> tubeRadiusMillimetres;
    // No longer a choice of its own: without a radius the default above
    // applies. Kept for the callers that still set it.
    bool autoRadius = false;
    // Sides of each tube ring of a viewer's mesh; unset: the drawing's.
    std::optional<int> sides;
    // The level set's cell for solids, in the file's units; unset: a fifth
    // of the radius, from 0.05 to 0.2 mm when the model has a size.
    std::optional<double> resolution;
    // All curves of a 3MF file in one part rather than one part each.
    bool unite = false;
    // The model's largest dimension in the file, in millimetres (what
    // slicers assume); unset: the automaton's units times scale.
    std::optional<double> sizeMillimetres;
    double scale = 1;
    // Axis: the model turned so that the axis its curves' symmetry refers
    // to (the first link's, as info says it) points up, +Z (glTF's +Y), and
    // a solid rests on the bed (its lowest point at z = 0). Document: the
    // automaton's own axes, as it stands in the window.
    enum class Orient { Axis, Document } orient = Orient::Axis;
    // Told of the radius used ("tube radius 0.75 mm (0.031 units)") and,
    // one sentence each, of anything a printer may not make.
    std::function<void(const std::string&)> said;
    std::function<void(const std::string&)> warning;
    // Triangles of the whole file, at most: above it tubes and solids are
    // made coarser (fewer sides and rings, larger cells), which *coarsened
    // (when set) says.
    std::size_t maxTriangles = kDefaultMaxTriangles;
    bool* coarsened = nullptr;
    static constexpr std::size_t kDefaultMaxTriangles = 1'500'000;
    // What a gigabyte holds while a file is made (measured peaks: about
    // 600 bytes a triangle for OBJ, 500 for glTF, 350 for PLY and for
    // solids' STL and 3MF with the level set's cells).
    static constexpr std::size_t kMostTriangles = 2'500'000;
    static constexpr std::size_t kMostViewerTriangles = 1'600'000;
    static std::size_t mostTriangles(bool solid) {
        return solid ? kMostTriangles : kMostViewerTriangles;
    }
    // A printable solid's: what a slicer takes in a few seconds.
    static constexpr std::size_t kDefaultSolidTriangles = 500'000;
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
    //
    // The work is known before it is done: centre lines, rings and the
    // level set's cells are counted from the samples and the budget before
    // anything of their size is allocated.
    static std::string write(const Automaton& a, const std::string& path,
                             const MeshOptions& options = {});
    // The model's largest dimension, in automaton units, that write() sizes
    // path's tubes by: their centre lines', which may reach a little past
    // the samples (the samples' own when there is no tube to make). As
    // costly as building the centre lines (a viewer's whole tubes).
    static double extent(const Automaton& a, const std::string& path,
                         const MeshOptions& options = {});
};
