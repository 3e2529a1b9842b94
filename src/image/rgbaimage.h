// A picture in memory: 8-bit RGBA pixels, rows from the top.
#pragma once

#include <cstdint>
#include <vector>

struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // width * height * 4, top row first

    bool empty() const { return width <= 0 || height <= 0; }
    const std::uint8_t* at(int x, int y) const {
        return pixels.data() + (static_cast<std::size_t>(y) * width + x) * 4;
    }
};
