// The writers that need FFmpeg, Assimp or OpenVDB live in a module of their own,
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

// A closed solid for printing: the union of round tubes of one radius
// around closed centre lines, meshed from a level set. Coordinates in the
// file's units (millimetres for a printer).
struct SolidRequest {
    std::vector<std::vector<Vec3>> lines;  // each closed: its last vertex joins its first
    double radius = 0;
    double voxel = 0;       // the level set's cell
    double adaptivity = 0;  // 0..1: how far flat stretches may merge cells
};
// A closed, manifold, outward-facing triangle mesh, with no triangle of
// zero area: vertices and three vertex indices per triangle.
struct SolidMesh {
    std::vector<Vec3> vertices;
    std::vector<std::uint32_t> triangles;
};

// The program's side of the file boundary: the module's mesh writers put
// their bytes only through these, so that the program decides how a file
// reaches the disk.
class OutputFile {
  public:
    virtual ~OutputFile() = default;
    // False once a write failed.
    virtual bool write(const void* bytes, std::size_t size) = 0;
    // As fseek (SEEK_SET, SEEK_CUR, SEEK_END): the new position, or -1.
    virtual long long seek(long long offset, int whence) = 0;
    virtual long long size() = 0;
};
class OutputFiles {
  public:
    virtual ~OutputFiles() = default;
    // A new file at path, owned by this object (an exporter may open more
    // than one: an OBJ file's .mtl); null when it cannot be made.
    virtual OutputFile* open(const std::string& path) = 0;
};

struct MediaModule {
    // Raised whenever the functions below change: a module left over from
    // another build is refused rather than called.
    static constexpr int kInterface = 4;
    int interface = kInterface;

    // Writes the groups of tubes through Assimp's exporter (its format id)
    // as the file path, with vertex normals and colours, opening every file
    // through files. "" on success, otherwise the exporter's reason, ending
    // in a full stop.
    std::string (*writeMesh)(const std::vector<MeshTube>& tubes,
                             const std::vector<MeshGroup>& groups, const char* exporter,
                             const std::string& path, OutputFiles& files);
    // The solid around request's lines into *out (empty without lines): ""
    // on success, otherwise one sentence. The caller bounds the work:
    // request's voxel is chosen so that the lines' narrow band fits the
    // budget it was given.
    std::string (*makeSolid)(const SolidRequest& request, SolidMesh* out);
    // An MP4, WebM or GIF movie of width x height frames, encoded at
    // encodedWidth x encodedHeight, its bytes written into sink (path names
    // it in messages). finish() ends the container; the program then saves
    // sink. Null with *error (one sentence) when it cannot be made.
    std::unique_ptr<MovieFile> (*openMovie)(const std::string& path, MovieFile::Kind kind,
                                            int width, int height, int encodedWidth,
                                            int encodedHeight, OutputFile& sink,
                                            std::string* error);

    // The module, opened on first use (beside the program, in the library
    // folder of an installation, or in the build tree). Null with *error
    // (one sentence) when it cannot be found or loaded.
    static const MediaModule* load(std::string* error);
};

// The module's one exported symbol.
extern "C" const MediaModule* rotundel_media_module();
