// `rotundel movie`: the document's animation (dynamic axes and the orbiting
// camera), or one period of the rolling spheres, rendered without any
// display into a movie file or a folder of PNG frames. An automaton where
// nothing else moves rolls, rather than give a movie of identical frames.
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "automatonreport.h"
#include "cli_options.h"
#include "commands.h"
#include "document.h"
#include "exporter.h"
#include "moviefile.h"

namespace {

std::vector<CliOption> movieOptions(ExportRequest& r) {
    std::vector<CliOption> options = {
        {{"-o", "--output"},
         "OUT",
         std::string("the movie to write: ") + MovieFile::kAccepted,
         {},
         [&r](const std::string& v) -> std::string {
             if (v.empty()) return "-o needs the movie or folder to write";
             r.output = v;
             return {};
         }},
    };
    for (CliOption& o : exportOptionRows(r, {ExportKind::Movie})) options.push_back(std::move(o));
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
    ExportRequest unused;
    printOptions(out, movieOptions(unused));
}

// One line on a terminal, rewritten as frames are done. Elsewhere (a log,
// a pipe) a line of its own every few seconds, so that a long movie shows
// it is under way without filling the log.
std::function<void(int, int)> movieProgress() {
    const bool terminal = ::isatty(STDERR_FILENO);
    const auto every = terminal ? std::chrono::milliseconds(100) : std::chrono::seconds(5);
    auto last =
        std::make_shared<std::chrono::steady_clock::time_point>(std::chrono::steady_clock::now());
    return [terminal, every, last](int done, int total) {
        auto now = std::chrono::steady_clock::now();
        if (now - *last < every && (done < total || !terminal)) return;
        *last = now;
        if (terminal)
            std::cerr << "\rrotundel: frame " << done << " of " << total
                      << (done == total ? "\n" : "") << std::flush;
        else
            std::cerr << "rotundel: frame " << done << " of " << total << "\n" << std::flush;
    };
}

int usage(std::string text) {
    while (!text.empty() && text.back() == '.') text.pop_back();
    return usageError("movie", text);
}

int runMovie(const std::vector<std::string>& args) {
    ExportRequest request;
    const std::vector<CliOption> options = movieOptions(request);
    CliLine line;
    if (std::string why = parseCommandLine(args, options, line); !why.empty()) return usage(why);
    if (line.files.size() > 1) return usage("give one document");
    if (line.files.empty()) return usage("name the document to film");
    if (request.output.empty()) return usage("name the movie or folder to write with -o");
    if (std::string why = Exporter::check(request, Exporter::Command::Movie); !why.empty())
        return usage(why);
    const std::string& input = line.files.front();
    Document doc;
    if (int status = openInput(doc, input); status != kExitOk) return status;
    ExportContext context;
    context.progress = movieProgress();
    return writeExport(doc, input, request, context);
}

Command cmd("movie",
            "movie FILE.one -o OUT [--frames N] [--width W] [--height H] [--rolling] "
            "[--curves-only]",
            "movie (.mp4, .webm, .gif) or PNG frames, no display needed", runMovie, movieHelp);

}  // namespace
