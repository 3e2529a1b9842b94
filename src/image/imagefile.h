// Reading pictures for textures and writing rendered images, in the formats
// Qt's image plugins know. The only part of the renderer that uses Qt.
#pragma once

#include <optional>
#include <string>

#include "rgbaimage.h"

enum class ImageFormat { Bmp, Jpeg, Png, Tiff };

class ImageFile {
  public:
    // Largest side and file size accepted for a texture: a bigger picture is
    // more than a sphere of 20 x 20 facets can show, and refusing it keeps a
    // hostile document from filling the memory.
    static constexpr int kMaxTextureSide = 4096;
    static constexpr long long kMaxTextureBytes = 64LL << 20;

    // By the extension, in any case: bmp, jpg, jpeg, png, tif, tiff.
    static std::optional<ImageFormat> formatForPath(const std::string& path);
    // The file's bytes in the format; "" on success, otherwise the reason
    // (a phrase ending in a full stop).
    static std::string encode(const RgbaImage& image, ImageFormat format, std::string* bytes);
    // Writes through the program's one save (AtomicFile): a failed write
    // leaves an existing file as it was. Returns "" on success, otherwise one sentence.
    static std::string write(const RgbaImage& image, const std::string& path, ImageFormat format);
    // Reads a picture; on failure returns false with one sentence in *error.
    static bool read(const std::string& path, RgbaImage* out, std::string* error);
};
