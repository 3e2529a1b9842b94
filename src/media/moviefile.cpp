// PNG frame folders, and movie files through the module that holds the
// encoders.
#include "moviefile.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "imagefile.h"
#include "mediamodule.h"

namespace fs = std::filesystem;

namespace {
std::string lowerExtension(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

class PngFolder : public MovieFile {
  public:
    PngFolder(fs::path folder, int w, int h) : folder_(std::move(folder)), w_(w), h_(h) {}
    bool add(const RgbaImage& frame, std::string* error) override {
        if (frame.width != w_ || frame.height != h_) {
            *error = "A movie frame came out at the wrong size.";
            return false;
        }
        std::string why =
            ImageFile::write(frame, (folder_ / frameName(index_)).string(), ImageFormat::Png);
        if (!why.empty()) {
            *error = why;
            return false;
        }
        ++index_;
        return true;
    }
    bool finish(std::string*) override { return true; }

  private:
    fs::path folder_;
    int w_, h_;
    int index_ = 0;
};

}  // namespace

MovieFile::Kind MovieFile::kindForPath(const std::string& path) {
    std::string ext = lowerExtension(path);
    if (ext == ".mp4") return Kind::Mp4;
    if (ext == ".webm") return Kind::WebM;
    if (ext == ".gif") return Kind::Gif;
    return Kind::PngFolder;
}

void MovieFile::encodedSize(Kind kind, int width, int height, int* w, int* h) {
    bool even = kind == Kind::Mp4 || kind == Kind::WebM;
    *w = even && width > 1 ? width & ~1 : width;
    *h = even && height > 1 ? height & ~1 : height;
}

std::string MovieFile::frameName(int index) {
    char name[32];
    std::snprintf(name, sizeof name, "frame%05d.png", index + 1);
    return name;
}

std::unique_ptr<MovieFile> MovieFile::create(const std::string& path, int width, int height,
                                             std::string* error) {
    if (width < 1 || height < 1) {
        *error = "A movie needs frames of at least one pixel.";
        return nullptr;
    }
    Kind kind = kindForPath(path);
    if (kind == Kind::PngFolder) {
        std::error_code ec;
        fs::path folder(path);
        if (!fs::is_directory(folder, ec)) {
            fs::create_directories(folder, ec);
            if (ec || !fs::is_directory(folder)) {
                *error = "The folder " + path + " for the movie frames could not be made" +
                         (ec ? ": " + ec.message() : std::string()) + ".";
                return nullptr;
            }
        }
        return std::make_unique<PngFolder>(folder, width, height);
    }
    if ((kind == Kind::Mp4 || kind == Kind::WebM) && (width < 2 || height < 2)) {
        *error = "MP4 and WebM movies need frames of at least 2 x 2 pixels.";
        return nullptr;
    }
    const MediaModule* module = MediaModule::load(error);
    if (!module) return nullptr;
    int w = 0, h = 0;
    encodedSize(kind, width, height, &w, &h);
    return module->openMovie(path, kind, width, height, w, h, error);
}
