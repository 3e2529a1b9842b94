// The writers that need FFmpeg or Assimp live in a module of their own,
// rotundel_media_heavy.so, opened the first time a movie or a mesh file is
// written: those libraries and their codecs are over a hundred shared
// objects, and loading them cost every start of the program (even --help)
// about 50 ms. This header is the whole contract between the program and
// the module; both sides are built together, so C++ types may cross it.
//
// Threads: load() may be called from any thread; the functions of the
// module are as thread-safe as the writers they stand for.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "moviefile.h"
#include "tubemesh.h"

// One traced point's tube, named sphere/point and coloured as its sphere
// (0x00BBGGRR).
struct MeshTube {
    std::string name;
    std::uint32_t colour = 0;
    TubeMesh mesh;
};
// Consecutive tubes that a file holds as one mesh with one name.
struct MeshGroup {
    std::string name;
    std::size_t first = 0, count = 0;
};

struct MediaModule {
    // Raised whenever the functions below change: a module left over from
    // another build is refused rather than called.
    static constexpr int kInterface = 1;
    int interface = kInterface;

    // Writes the groups of tubes through Assimp's exporter (its format id)
    // to path, with vertex normals and colours. "" on success, otherwise
    // the exporter's reason, ending in a full stop.
    std::string (*writeMesh)(const std::vector<MeshTube>& tubes,
                             const std::vector<MeshGroup>& groups, const char* exporter,
                             const std::string& path);
    // An MP4, WebM or GIF movie of width x height frames, encoded at
    // encodedWidth x encodedHeight. Null with *error (one sentence) when it
    // cannot be made.
    std::unique_ptr<MovieFile> (*openMovie)(const std::string& path, MovieFile::Kind kind,
                                            int width, int height, int encodedWidth,
                                            int encodedHeight, std::string* error);

    // The module, opened on first use (beside the program, in the library
    // folder of an installation, or in the build tree). Null with *error
    // (one sentence) when it cannot be found or loaded.
    static const MediaModule* load(std::string* error);
};

// The module's one exported symbol.
extern "C" const MediaModule* rotundel_media_module();
