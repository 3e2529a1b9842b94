// Image files through QImageReader and QImageWriter.
#include "imagefile.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "atomicfile.h"

namespace {
std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}
const char* qtFormat(ImageFormat f) {
    switch (f) {
        case ImageFormat::Bmp:
            return "bmp";
        case ImageFormat::Jpeg:
            return "jpg";
        case ImageFormat::Png:
            return "png";
        case ImageFormat::Tiff:
            return "tif";
    }
    return "png";
}
}  // namespace

std::optional<ImageFormat> ImageFile::formatForPath(const std::string& path) {
    auto dot = path.find_last_of('.');
    auto slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = lower(path.substr(dot + 1));
    if (ext == "bmp") return ImageFormat::Bmp;
    if (ext == "jpg" || ext == "jpeg") return ImageFormat::Jpeg;
    if (ext == "png") return ImageFormat::Png;
    if (ext == "tif" || ext == "tiff") return ImageFormat::Tiff;
    return {};
}

std::string ImageFile::encode(const RgbaImage& image, ImageFormat format, std::string* bytes) {
    if (image.empty() ||
        image.pixels.size() != static_cast<std::size_t>(image.width) * image.height * 4)
        return "there is no picture to write.";
    const char* fmt = qtFormat(format);
    QImage picture(image.pixels.data(), image.width, image.height, image.width * 4,
                   QImage::Format_RGBA8888);
    // Opaque in every format: the frame clears alpha to 0, which would make
    // the background of a PNG or TIFF transparent. JPEG and BMP writers want
    // 32-bit RGB anyway.
    QImage out = picture.convertToFormat(QImage::Format_RGB32);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    // Asked for its one format, the writer loads that plugin alone (PNG and
    // BMP are built into Qt); listing the supported formats would load
    // every image plugin installed, a good part of a small render's time.
    QImageWriter writer(&buffer, fmt);
    if (!writer.canWrite())
        return "this installation cannot write " + lower(fmt) +
               " files (the Qt image format plugins are missing).";
    if (format == ImageFormat::Jpeg) writer.setQuality(95);
    if (!writer.write(out)) return writer.errorString().toStdString() + ".";
    bytes->assign(buffer.data().constData(), static_cast<std::size_t>(buffer.data().size()));
    return {};
}

std::string ImageFile::write(const RgbaImage& image, const std::string& path, ImageFormat format) {
    const std::string prefix = "Cannot write the image " + path + ": ";
    std::string bytes;
    if (std::string why = encode(image, format, &bytes); !why.empty()) return prefix + why;
    AtomicFile file(path);
    if (file.open()) file.write(bytes);
    if (!file.commit()) return prefix + file.error() + ".";
    return {};
}

bool ImageFile::read(const std::string& path, RgbaImage* out, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = "Cannot read the picture " + path + ": " + why;
        return false;
    };
    QFileInfo info(QString::fromStdString(path));
    // Devices, pipes and folders are no pictures, and reading one could
    // block for ever.
    if (!info.exists()) return fail("no such file.");
    if (!info.isFile()) return fail("it is not a regular file.");
    if (info.size() > kMaxTextureBytes) return fail("the file is too large.");
    QImageReader reader(info.absoluteFilePath());
    QSize size = reader.size();
    if (size.isValid() && (size.width() > kMaxTextureSide || size.height() > kMaxTextureSide))
        return fail("the picture is larger than " + std::to_string(kMaxTextureSide) +
                    " pixels on a side.");
    reader.setAllocationLimit(256);
    QImage picture = reader.read();
    if (picture.isNull()) return fail(reader.errorString().toStdString() + ".");
    if (picture.width() > kMaxTextureSide || picture.height() > kMaxTextureSide)
        return fail("the picture is larger than " + std::to_string(kMaxTextureSide) +
                    " pixels on a side.");
    QImage rgba = picture.convertToFormat(QImage::Format_RGBA8888);
    out->width = rgba.width();
    out->height = rgba.height();
    out->pixels.resize(static_cast<std::size_t>(out->width) * out->height * 4);
    for (int y = 0; y < out->height; ++y)
        std::memcpy(out->pixels.data() + static_cast<std::size_t>(y) * out->width * 4,
                    rgba.constScanLine(y), static_cast<std::size_t>(out->width) * 4);
    return true;
}
