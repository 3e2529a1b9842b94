// The text mesh formats, Wavefront OBJ with its .mtl materials and PLY
// with vertex colours, written as they are made: a chunk of text at a time
// through the program's files, so that a file of millions of triangles
// costs its tubes' memory and no copy of them as text, and a stop request
// is seen between chunks.
#pragma once

#include <string>
#include <vector>

#include "mediamodule.h"

// Every tube's vertices (with its colour) and normals, then each group's
// faces under its name and material; the materials in a .mtl beside path.
// A file that cannot be made or written is told by files (the system's
// reason); a stop request ends the writing early.
void writeObjFile(const std::vector<MeshTube>& tubes, const std::vector<MeshGroup>& groups,
                  const std::string& path, OutputFiles& files);

// One mesh of every tube: vertices with normals and colours, then faces.
// Errors and stops as for writeObjFile.
void writePlyFile(const std::vector<MeshTube>& tubes, const std::string& path, OutputFiles& files);
