// PNG frame folders, and movie files through the module that holds the
// encoders.
#include "moviefile.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "atomicfile.h"
#include "imagefile.h"
#include "mediamodule.h"

namespace fs = std::filesystem;

namespace {
std::string lowerExtension(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

// Frames go to a work folder beside the target and join it when the movie
// is complete, so a cancelled or killed movie leaves no frames behind.
class PngFolder : public MovieFile {
  public:
    PngFolder(const std::string& target, int w, int h)
        : work_(target), target_(target), w_(w), h_(h) {}
    bool open(std::string* error) {
        if (work_.open()) return true;
        *error = "The folder " + target_ +
                 " for the movie frames could not be made: " + work_.error() + ".";
        return false;
    }
    bool add(const RgbaImage& frame, std::string* error) override {
        if (frame.width != w_ || frame.height != h_) {
            *error = "A movie frame came out at the wrong size.";
            return false;
        }
        const std::string work = (work_.path() / frameName(index_)).string();
        std::string why = ImageFile::write(frame, work, ImageFormat::Png);
        if (!why.empty()) {
            // Said of the frame where it was to go: the work folder is ours,
            // not a name the user knows.
            const std::string shown = (std::filesystem::path(target_) / frameName(index_)).string();
            for (std::size_t at; (at = why.find(work)) != std::string::npos;)
                why.replace(at, work.size(), shown);
            *error = why;
            return false;
        }
        ++index_;
        return true;
    }
    bool finish(std::string* error) override {
        if (!work_.commit()) {
            *error =
                "The movie frames could not be put into " + target_ + ": " + work_.error() + ".";
            return false;
        }
        // The folder holds one movie: frames of a longer one made there
        // before would play on after this one's end. A frame that no save
        // could replace (read-only, the file being read) stays.
        std::error_code ec;
        for (int k = index_;; ++k) {
            const fs::path frame = fs::path(target_) / frameName(k);
            if (!fs::exists(fs::symlink_status(frame, ec))) break;
            if (AtomicFile::problem(frame.string()).empty()) fs::remove(frame, ec);
        }
        return true;
    }

  private:
    WorkFolder work_;
    std::string target_;
    int w_, h_;
    int index_ = 0;
};

// An encoded movie whose bytes reach the disk through the program's one
// save: the module's encoder writes into the file, which takes its name
// when the movie is finished.
class SavedMovie : public MovieFile {
  public:
    explicit SavedMovie(const std::string& path) : target_(path), file_(path), sink_(file_) {}
    bool open(const MediaModule& module, Kind kind, int width, int height, std::string* error) {
        if (!file_.open()) {
            *error = "The movie " + target_ + " could not be written: " + file_.error() + ".";
            return false;
        }
        int w = 0, h = 0;
        encodedSize(kind, width, height, &w, &h);
        encoder_ = module.openMovie(target_, kind, width, height, w, h, sink_, error);
        return encoder_ != nullptr;
    }
    bool add(const RgbaImage& frame, std::string* error) override {
        return encoder_->add(frame, error);
    }
    bool finish(std::string* error) override {
        if (!encoder_->finish(error)) return false;
        encoder_.reset();
        if (!file_.commit()) {
            *error = "The movie " + target_ + " could not be written: " + file_.error() + ".";
            return false;
        }
        return true;
    }

  private:
    struct Sink : OutputFile {
        explicit Sink(AtomicFile& f) : file(f) {}
        AtomicFile& file;
        bool write(const void* bytes, std::size_t size) override {
            file.write(std::string_view(static_cast<const char*>(bytes), size));
            return true;  // a failure is remembered and told by commit()
        }
        long long seek(long long offset, int whence) override { return file.seek(offset, whence); }
        long long size() override { return file.size(); }
    };
    std::string target_;
    AtomicFile file_;
    Sink sink_;
    std::unique_ptr<MovieFile> encoder_;  // goes before the file it writes into
};
}  // namespace

std::optional<MovieFile::Kind> MovieFile::kindForPath(const std::string& path) {
    if (!path.empty() && path.back() == '/') return Kind::PngFolder;
    std::string ext = lowerExtension(path);
    if (ext == ".mp4") return Kind::Mp4;
    if (ext == ".webm") return Kind::WebM;
    if (ext == ".gif") return Kind::Gif;
    if (ext.empty()) return Kind::PngFolder;
    return std::nullopt;
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
    std::optional<Kind> known = kindForPath(path);
    if (!known) {
        *error = "The movie type is chosen by the extension of " + path + ": " + kAccepted + ".";
        return nullptr;
    }
    const Kind kind = *known;
    if (kind == Kind::PngFolder) {
        auto frames = std::make_unique<PngFolder>(path, width, height);
        if (!frames->open(error)) return nullptr;
        return frames;
    }
    if ((kind == Kind::Mp4 || kind == Kind::WebM) && (width < 2 || height < 2)) {
        *error = "MP4 and WebM movies need frames of at least 2 x 2 pixels.";
        return nullptr;
    }
    const MediaModule* module = MediaModule::load(error);
    if (!module) return nullptr;
    auto movie = std::make_unique<SavedMovie>(path);
    if (!movie->open(*module, kind, width, height, error)) return nullptr;
    return movie;
}
