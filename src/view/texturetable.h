// The 300 texture names shared by all spheres of the window's context, and
// which of them are taken.
#pragma once

#include <array>
#include <mutex>

// Thread-safe: the render thread prepares textures for spheres, the UI
// thread gives names back while the render thread is parked. Slot 0 is
// reserved from the start and never given back: a sphere whose textureSlot
// equals it (or is 0) has no texture of its own yet.
class TextureTable {
  public:
    static constexpr int kSize = 300;

    // Names are the OpenGL texture names the render thread generates for
    // them; by default 1..300, which a fresh context hands out first.
    TextureTable();
    void setNames(const std::array<unsigned, kSize>& names);

    // The first free slot's name, or -1 when all are taken.
    int take();
    // Frees the slot holding name (slots 1..299 only); other names are ignored.
    void giveBack(int name);
    int used() const;
    int reservedName() const;
    bool inUse(int name) const;
    std::array<unsigned, kSize> names() const;

  private:
    mutable std::mutex mutex_;
    std::array<unsigned, kSize> names_{};
    std::array<bool, kSize> inUse_{};
    int used_ = 0;
};
