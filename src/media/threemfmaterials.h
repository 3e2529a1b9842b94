// Colours and names in 3MF packages. The 3MF exporter this program uses
// writes each base material's colour from a misconverted number (an orange
// tube came out black or blue) and leaves objects unnamed, so the package
// it writes is opened again and its model part given the right colours,
// one per tube, and the tubes' names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ThreeMfTube {
    std::string name;      // sphere/point
    std::uint32_t colour;  // 0x00BBGGRR
};

// Rewrites the package at path in place: base material i and object i (in
// the order they are written) belong to tubes[i]. Returns "" on success,
// otherwise the reason.
std::string fixThreeMfMaterials(const std::string& path, const std::vector<ThreeMfTube>& tubes);
