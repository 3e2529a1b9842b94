// A framebuffer object with colour and depth renderbuffers, for drawing an
// image of any size without a window.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "rgbaimage.h"

class OffscreenTarget {
  public:
    // Images larger than this on a side, or with more pixels than
    // kMaxPixels, are refused before any memory is taken.
    static constexpr int kMaxSide = 16384;
    static constexpr long long kMaxPixels = 32LL * 1024 * 1024;

    // Needs a current context that has framebuffer objects. Null with *error
    // (one sentence) otherwise.
    static std::unique_ptr<OffscreenTarget> create(int width, int height, std::string* error);
    ~OffscreenTarget();
    OffscreenTarget(const OffscreenTarget&) = delete;
    OffscreenTarget& operator=(const OffscreenTarget&) = delete;

    // Draws go to the target from here; the viewport covers it.
    void bind();
    // Back to the framebuffer, viewport and buffers that were in use.
    void unbind();
    // The pixels, top row first.
    RgbaImage read() const;

    int width() const { return width_; }
    int height() const { return height_; }

  private:
    OffscreenTarget() = default;
    int width_ = 0, height_ = 0;
    unsigned framebuffer_ = 0, colour_ = 0, depth_ = 0;
    int savedDraw_ = 0, savedRead_ = 0;
    int savedDrawBuffer_ = 0, savedReadBuffer_ = 0;
    std::array<int, 4> savedViewport_{};
};
