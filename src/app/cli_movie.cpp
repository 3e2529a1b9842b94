// `rotundel movie`: the document's animation (dynamic axes and the orbiting
// camera), or one period of the rolling spheres, rendered without any
// display into a movie file or a folder of PNG frames. An automaton where
// nothing else moves rolls, rather than give a movie of identical frames.
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "atomicfile.h"
#include "automatonreport.h"
#include "cli_options.h"
#include "commands.h"
#include "crotundeldoc.h"
#include "moviefile.h"
#include "movierecorder.h"
#include "relations.h"

namespace {
constexpr int kMostFrames = 100000;

struct MovieArgs {
    std::string output;
    std::optional<int> frames;
    PictureSize size;
    bool rolling = false;
    bool curvesOnly = false;
};

std::vector<CliOption> movieOptions(MovieArgs& a) {
    std::vector<CliOption> options = {
        {{"-o", "--output"},
         "OUT",
         std::string("the movie to write: ") + MovieFile::kAccepted,
         {},
         [&a](const std::string& v) -> std::string {
             if (v.empty()) return "-o needs the movie or folder to write";
             a.output = v;
             return {};
         }},
        {{"--frames"},
         "N",
         "frames to render (default: the document's movie frame count; " +
             std::to_string(MovieFile::kFramesPerSecond) + " a second)",
         {},
         [&a](const std::string& v) -> std::string {
             auto n = wholeNumber(v, 1, kMostFrames);
             if (!n)
                 return "--frames must be a whole number from 1 to " + std::to_string(kMostFrames);
             a.frames = *n;
             return {};
         }},
    };
    a.size.addOptions(options);
    options.push_back(flagOption(
        "--rolling", "one period of the rolling animation instead of the dynamic axes and orbit",
        &a.rolling));
    options.push_back(flagOption(
        "--curves-only", "the traced curves alone, without spheres and axes", &a.curvesOnly));
    return options;
}

void movieHelp(std::ostream& out) {
    out << "usage: rotundel movie FILE.one -o OUT [--frames N] [--width W] [--height H] "
           "[--rolling] [--curves-only]\n"
           "Renders the document's animation without a display: the dynamic axes turning and "
           "the\ncamera orbiting, one cycle in the document's movie frame count. An automaton "
           "with\nneither (a still one) rolls instead, as --rolling asks. MP4 and WebM frames "
           "have even\nsides (an odd side loses a pixel); GIF and PNG frames keep the size "
           "asked for.\nOptions:\n";
    MovieArgs unused;
    printOptions(out, movieOptions(unused));
}

// One line on a terminal, rewritten as frames are done; nothing otherwise.
MovieControl terminalProgress() {
    MovieControl control;
    if (!::isatty(STDERR_FILENO)) return control;
    auto last = std::make_shared<std::chrono::steady_clock::time_point>();
    control.progress = [last](int done, int total) {
        auto now = std::chrono::steady_clock::now();
        if (done < total && now - *last < std::chrono::milliseconds(100)) return;
        *last = now;
        std::cerr << "\rrotundel: frame " << done << " of " << total << (done == total ? "\n" : "")
                  << std::flush;
    };
    return control;
}

int runMovie(const std::vector<std::string>& args) {
    MovieArgs a;
    const std::vector<CliOption> options = movieOptions(a);
    CliLine line;
    if (std::string why = parseCommandLine(args, options, line); !why.empty())
        return usageError("movie", why);
    if (line.files.size() > 1) return usageError("movie", "give one document");
    if (line.files.empty()) return usageError("movie", "name the document to film");
    if (a.output.empty()) return usageError("movie", "name the movie or folder to write with -o");
    const auto kind = MovieFile::kindForPath(a.output);
    if (!kind)
        return usageError("movie", "the movie type is chosen by the extension of " +
                                       AutomatonReport::printable(a.output) + ": " +
                                       MovieFile::kAccepted);
    a.size.keepProportions();
    const std::string& input = line.files.front();

    CRotundelDoc doc;
    if (int status = openInput(doc, input); status != kExitOk) return status;
    // Refused before any frame is rendered.
    std::string why = *kind == MovieFile::Kind::PngFolder ? WorkFolder::problem(a.output)
                                                          : AtomicFile::problem(a.output);
    if (!why.empty()) return fileError("write", a.output, why);
    int w = a.size.width, h = a.size.height;
    MovieFile::encodedSize(*kind, a.size.width, a.size.height, &w, &h);
    if (w != a.size.width || h != a.size.height)
        std::cerr << "rotundel: note: MP4 and WebM frames have even sides; the movie is " << w
                  << " x " << h << " pixels.\n";
    // The paths of the first frame, so that the camera fit takes them in;
    // the movie itself starts from the dynamic angles as they were.
    doc.Step();
    doc.RewindDynamics();

    MovieRequest request;
    request.output = a.output;
    request.frames = a.frames ? *a.frames : std::max(1, doc.movieFrameCount);
    request.width = a.size.width;
    request.height = a.size.height;
    request.rolling = a.rolling || (!anyDynamic(doc) && doc.viewFromStationary == 1);
    std::error_code ec;
    request.documentFolder = std::filesystem::absolute(input, ec).parent_path().string();
    doc.curvesOnly = a.curvesOnly;
    FrameSettings settings = frameSettingsOf(doc);
    request.camera = settings.camera;
    const CBallController* ball = nullptr;
#ifdef ROTUNDEL_DOCUMENT_CAMERA
    doc.cameraController.setWindowSize(a.size.width, a.size.height);
    ball = &doc.cameraController;
#endif
    MovieResult r = MovieRecorder::record(doc, settings, ball, request, terminalProgress());
    if (r.tubesCoarsened) std::cerr << "rotundel: note: " << SphereDrawer::tubeBudgetNote() << "\n";
    if (!r.ok) {
        std::cerr << "rotundel: " << r.error << "\n";
        return kExitFileError;
    }
    return kExitOk;
}

Command cmd("movie",
            "movie FILE.one -o OUT [--frames N] [--width W] [--height H] [--rolling] "
            "[--curves-only]",
            "movie (.mp4, .webm, .gif) or PNG frames, no display needed", runMovie, movieHelp);
}  // namespace
