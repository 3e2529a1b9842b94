// 3MF packages for slicers, written directly: one object whose parts are
// the curves' solids at their true positions, each named after its curve
// and carrying its colour as a base material (on each of its triangles).
// The object's mesh holds the parts one after the other; the slicer's own
// metadata names them as parts by their ranges of triangles. A slicer then
// takes the model as one object, keeps the parts where they are relative to
// each other and can print each part in its own filament.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mediamodule.h"

struct ThreeMfPart {
    std::string name;          // sphere/point, or the model's name for a union
    std::uint32_t colour = 0;  // 0x00BBGGRR
    const SolidMesh* mesh = nullptr;
};

// The package (zip through minizip, its model part through Qt's XML
// writer) into file, coordinates in millimetres. "" on success, otherwise
// the reason without a full stop.
std::string writeThreeMf(const std::vector<ThreeMfPart>& parts, const std::string& objectName,
                         OutputFile& file);
