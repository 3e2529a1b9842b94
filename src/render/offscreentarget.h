// A framebuffer object with colour and depth renderbuffers, for drawing an
// image of any size without a window. It is multisampled (4x, or as many
// samples as the context offers) so that saved images are as smooth as the
// window; reading resolves the samples into a plain framebuffer first.
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
    static constexpr long long kMaxMultisampledPixels = 4096LL * 2048;

    // Needs a current context that has framebuffer objects. Null with *error
    // (one sentence) otherwise. maxSamples 0 makes a plain framebuffer.
    static std::unique_ptr<OffscreenTarget> create(int width, int height, std::string* error,
                                                   int maxSamples = 4);
    ~OffscreenTarget();
    OffscreenTarget(const OffscreenTarget&) = delete;
    OffscreenTarget& operator=(const OffscreenTarget&) = delete;

    // Draws go to the target from here; the viewport covers it.
    void bind();
    // Back to the framebuffer, viewport and buffers that were in use.
    void unbind();
    // Copies the picture (its samples averaged) onto the framebuffer that
    // was drawn to before bind(), at the same place, and unbinds.
    void present();
    // The pixels, top row first.
    RgbaImage read() const;

    int width() const { return width_; }
    int height() const { return height_; }
    // Samples per pixel; 0 when the context has no multisampled buffers.
    int samples() const { return samples_; }

  private:
    OffscreenTarget() = default;
    // Makes the framebuffer with `samples` samples per pixel (0: plain).
    bool build(int samples);
    void releaseBuffers();
    int width_ = 0, height_ = 0, samples_ = 0;
    unsigned framebuffer_ = 0, colour_ = 0, depth_ = 0;
    // The plain framebuffer that a multisampled one is resolved into.
    unsigned resolveFramebuffer_ = 0, resolveColour_ = 0;
    int savedDraw_ = 0, savedRead_ = 0;
    int savedDrawBuffer_ = 0, savedReadBuffer_ = 0;
    std::array<int, 4> savedViewport_{};
};
