// Movies written frame by frame: MP4 (H.264), WebM (VP9) and GIF through
// FFmpeg's libraries, or a folder of numbered PNG pictures for any other
// name. Movies are written through the program's one save (AtomicFile,
// WorkFolder) and take their own name only when complete, so a cancelled,
// failed or killed movie leaves nothing half-written behind (and an older
// movie of that name as it was).
//
// Threads: one movie belongs to one thread at a time.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "rgbaimage.h"

class MovieFile {
  public:
    enum class Kind { Mp4, WebM, Gif, PngFolder };
    static constexpr int kFramesPerSecond = 25;

    // By the extension, in any case: .mp4, .webm, .gif; a name without an
    // extension, or ending in '/', is a folder of PNG frames. Any other
    // extension is none of them (a typing slip rather than a folder).
    static std::optional<Kind> kindForPath(const std::string& path);
    // For messages: what kindForPath accepts.
    static constexpr const char* kAccepted =
        ".mp4, .webm, .gif, or a name without extension for a folder of PNG frames";
    // The size frames are encoded at: H.264 and VP9 store colour at half
    // resolution and need even sides, so an odd side loses its last pixel.
    static void encodedSize(Kind kind, int width, int height, int* w, int* h);
    // The name of frame index (from 0) inside a PNG folder.
    static std::string frameName(int index);

    // Ready for frames of width x height pixels. Null with *error (one
    // sentence) when the file or folder cannot be made.
    static std::unique_ptr<MovieFile> create(const std::string& path, int width, int height,
                                             std::string* error);
    virtual ~MovieFile() = default;

    // Frames must have the size given to create.
    virtual bool add(const RgbaImage& frame, std::string* error) = 0;
    // Ends the movie and gives the file its name. Not calling it (a
    // cancelled movie) throws the partial file away.
    virtual bool finish(std::string* error) = 0;
};
