// `rotundel render`: the first frame after opening a document, as "Save
// image" makes it (white background, the document's camera, stereo and
// scheme), rendered without any display, through the export service.
#include <iostream>
#include <string>
#include <vector>

#include "automatonreport.h"
#include "cli_options.h"
#include "commands.h"
#include "document.h"
#include "exporter.h"

namespace {

std::vector<CliOption> renderOptions(ExportRequest& r) {
    std::vector<CliOption> options = {
        {{"-o", "--output"},
         "OUT",
         "the image to write: .png, .jpg, .bmp or .tif",
         {},
         [&r](const std::string& v) -> std::string {
             if (v.empty()) return "-o needs the name of the image to write";
             r.output = v;
             return {};
         }},
    };
    for (CliOption& o : exportOptionRows(r, {ExportKind::Image})) options.push_back(std::move(o));
    return options;
}

void renderHelp(std::ostream& out) {
    out << "usage: rotundel render FILE.one -o OUT.EXT [--width W] [--height H] [--curves-only]\n"
           "Renders the first frame after opening FILE.one as Save image makes it, without a "
           "display;\nthe camera frames the spheres and the traced paths.\nOptions:\n";
    ExportRequest unused;
    printOptions(out, renderOptions(unused));
}

int usage(std::string text) {
    while (!text.empty() && text.back() == '.') text.pop_back();
    return usageError("render", text);
}

int renderCommand(const std::vector<std::string>& args) {
    ExportRequest request;
    const std::vector<CliOption> table = renderOptions(request);
    CliLine line;
    if (std::string why = parseCommandLine(args, table, line); !why.empty()) return usage(why);
    if (line.files.size() > 1) return usage("give one document to render");
    if (line.files.empty()) return usage("name the document to render");
    if (request.output.empty()) return usage("name the image to write with -o");
    if (std::string why = Exporter::check(request, Exporter::Command::Render); !why.empty())
        return usage(why);
    const std::string& input = line.files.front();
    Document doc;
    if (int status = openInput(doc, input); status != kExitOk) return status;
    return writeExport(doc, input, request);
}

Command cmd("render", "render FILE.one -o OUT.EXT [--width W] [--height H] [--curves-only]",
            "still image (png, jpg, bmp, tif), no display needed", renderCommand, renderHelp);

}  // namespace
