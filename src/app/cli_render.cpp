// `rotundel render`: the first frame after opening a document, as "Save
// image" makes it (white background, the document's camera, stereo and
// scheme), rendered without any display.
#include <algorithm>
#include <charconv>
#include <cmath>
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
#include "headlessrenderer.h"
#include "imagefile.h"

namespace {
struct RenderArgs {
    std::string output;
    PictureSize size;
    bool curvesOnly = false;
};

std::vector<CliOption> renderOptions(RenderArgs& a) {
    std::vector<CliOption> options = {
        {{"-o", "--output"},
         "OUT",
         "the image to write: .png, .jpg, .bmp or .tif",
         {},
         [&a](const std::string& v) -> std::string {
             if (v.empty()) return "-o needs the name of the image to write";
             a.output = v;
             return {};
         }},
    };
    a.size.addOptions(options);
    options.push_back(flagOption(
        "--curves-only", "the traced curves alone, without spheres and axes", &a.curvesOnly));
    return options;
}

void renderHelp(std::ostream& out) {
    out << "usage: rotundel render FILE.one -o OUT.EXT [--width W] [--height H] [--curves-only]\n"
           "Renders the first frame after opening FILE.one as Save image makes it, without a "
           "display;\nthe camera frames the spheres and the traced paths.\nOptions:\n";
    RenderArgs unused;
    printOptions(out, renderOptions(unused));
}

int renderCommand(const std::vector<std::string>& args) {
    RenderArgs a;
    const std::vector<CliOption> table = renderOptions(a);
    CliLine line;
    if (std::string why = parseCommandLine(args, table, line); !why.empty())
        return usageError("render", why);
    if (line.files.size() > 1) return usageError("render", "give one document to render");
    if (line.files.empty()) return usageError("render", "name the document to render");
    if (a.output.empty()) return usageError("render", "name the image to write with -o");
    auto format = ImageFile::formatForPath(a.output);
    if (!format)
        return usageError("render", "the image type is chosen by the extension of " +
                                        AutomatonReport::printable(a.output) +
                                        ": .png, .jpg, .bmp or .tif");
    a.size.keepProportions();
    const std::string& input = line.files.front();

    CRotundelDoc doc;
    if (int status = openInput(doc, input); status != kExitOk) return status;
    if (std::string why = AtomicFile::problem(a.output); !why.empty())
        return fileError("write", a.output, why);
    // The frame's own update: placement, dynamic step and the point paths
    // (which the camera fit then takes in).
    doc.Step();
    doc.curvesOnly = a.curvesOnly;

    FrameRenderer::Options options;
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::absolute(input, ec).parent_path();
    options.textures.setDocumentFolder(folder.string());
    options.report = [](const std::string& m) { std::cerr << "rotundel: " << m << "\n"; };
    std::string error;
    auto renderer = HeadlessRenderer::create(options, &error);
    if (!renderer) {
        std::cerr << "rotundel: " << error << "\n";
        return kExitFileError;
    }
    CameraRig rig;
    rig.fovy = CRotundelDoc::kViewFovy;
    const CBallController* ball = nullptr;
#ifdef ROTUNDEL_DOCUMENT_CAMERA
    doc.cameraController.setWindowSize(a.size.width, a.size.height);
    ball = &doc.cameraController;
#endif
    auto image =
        renderer->render(doc, frameSettingsOf(doc), rig, ball, a.size.width, a.size.height, &error);
    if (renderer->frames().spheres().tubesCoarsened())
        std::cerr << "rotundel: note: " << SphereDrawer::tubeBudgetNote() << "\n";
    if (!image) {
        std::cerr << "rotundel: " << error << "\n";
        return kExitFileError;
    }
    if (std::string why = ImageFile::write(*image, a.output, *format); !why.empty()) {
        std::cerr << "rotundel: " << why << "\n";
        return kExitFileError;
    }
    return kExitOk;
}

Command cmd("render", "render FILE.one -o OUT.EXT [--width W] [--height H] [--curves-only]",
            "still image (png, jpg, bmp, tif), no display needed", renderCommand, renderHelp);
}  // namespace
