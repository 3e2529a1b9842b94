// `rotundel movie`: the document's animation (dynamic axes and the orbiting
// camera), or with --rolling one period of the rolling spheres, rendered
// without any display into a movie file or a folder of PNG frames.
#include <charconv>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "automatonreport.h"
#include "commands.h"
#include "crotundeldoc.h"
#include "movierecorder.h"

namespace {
constexpr int kLargestSide = 16384;
constexpr int kMostFrames = 100000;

int usage(const std::string& why) {
    std::cerr << "rotundel movie: " << why
              << "\nusage: rotundel movie FILE.one -o OUT [--frames N] [--width W] [--height H] "
                 "[--rolling]\n"
                 "  OUT ending in .mp4 (H.264), .webm (VP9) or .gif is a movie file; any other "
                 "OUT is a\n  folder of numbered PNG frames (made when missing).\n"
                 "  --frames N   frames to render (default: the document's movie frame count)\n"
                 "  --width W, --height H   frame size in pixels (default 640 x 480)\n"
                 "  --rolling    one period of the rolling animation instead of the dynamic "
                 "axes\n";
    return kExitUsage;
}

std::optional<int> number(const std::string& text, int least, int most) {
    int v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < least || v > most)
        return std::nullopt;
    return v;
}

int runMovie(const std::vector<std::string>& args) {
    std::string input, output;
    std::optional<int> frames;
    int width = 640, height = 480;
    bool rolling = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> std::optional<std::string> {
            auto eq = a.find('=');
            if (a.rfind("--", 0) == 0 && eq != std::string::npos) return a.substr(eq + 1);
            if (i + 1 < args.size()) return args[++i];
            return std::nullopt;
        };
        std::string name = a.substr(0, a.find('='));
        if (a == "--help" || a == "-h") {
            usage("renders a movie of an automaton.");
            return kExitOk;
        } else if (name == "-o" || name == "--output") {
            auto v = value();
            if (!v || v->empty()) return usage("-o needs the movie or folder to write.");
            output = *v;
        } else if (name == "--frames") {
            auto v = value();
            auto n = v ? number(*v, 1, kMostFrames) : std::nullopt;
            if (!n)
                return usage("--frames must be a whole number from 1 to " +
                             std::to_string(kMostFrames) + ".");
            frames = *n;
        } else if (name == "--width" || name == "--height") {
            auto v = value();
            auto n = v ? number(*v, 1, kLargestSide) : std::nullopt;
            if (!n)
                return usage(name + " must be a whole number of pixels from 1 to " +
                             std::to_string(kLargestSide) + ".");
            (name == "--width" ? width : height) = *n;
        } else if (a == "--rolling") {
            rolling = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return usage("unknown option " + AutomatonReport::printable(a) + ".");
        } else if (input.empty()) {
            input = a;
        } else {
            return usage("give one document.");
        }
    }
    if (input.empty()) return usage("name the document to film.");
    if (output.empty()) return usage("name the movie or folder to write with -o.");

    CRotundelDoc doc;
    DocResult opened = doc.OpenDocument(input);
    if (!opened) {
        std::cerr << "rotundel: " << AutomatonReport::printable(input) << ": " << opened.message;
        if (!opened.reason.empty()) std::cerr << " (" << opened.reason << ")";
        std::cerr << "\n";
        return kExitFileError;
    }
    MovieRequest request;
    request.output = output;
    request.frames = frames ? *frames : std::max(1, doc.movieFrameCount);
    request.width = width;
    request.height = height;
    request.rolling = rolling;
    std::error_code ec;
    request.documentFolder = std::filesystem::absolute(input, ec).parent_path().string();
    FrameSettings settings = frameSettingsOf(doc);
    request.camera = settings.camera;
    const CBallController* ball = nullptr;
#ifdef ROTUNDEL_DOCUMENT_CAMERA
    doc.cameraController.setWindowSize(width, height);
    ball = &doc.cameraController;
#endif
    MovieResult r = MovieRecorder::record(doc, settings, ball, request);
    if (r.tubesCoarsened) std::cerr << "rotundel: note: " << SphereDrawer::tubeBudgetNote() << "\n";
    if (!r.ok) {
        std::cerr << "rotundel: " << r.error << "\n";
        return kExitFileError;
    }
    return kExitOk;
}

Command cmd("movie", "movie FILE.one -o OUT [--frames N] [--width W] [--height H] [--rolling]",
            "movie (.mp4, .webm, .gif) or PNG frames, no display needed", runMovie);
}  // namespace
