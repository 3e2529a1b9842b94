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
#include "commands.h"
#include "crotundeldoc.h"
#include "headlessrenderer.h"
#include "imagefile.h"

namespace {
constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 480;
constexpr int kLargest = 16384;

struct RenderArgs {
    std::string input, output;
    int width = kDefaultWidth, height = kDefaultHeight;
    bool widthGiven = false, heightGiven = false;
};

int usage(const std::string& why) {
    std::cerr << "rotundel render: " << why
              << "\nusage: rotundel render FILE.one -o OUT.{png,jpg,bmp,tif} [--width W] "
                 "[--height H]\n";
    return kExitUsage;
}

std::optional<int> parseSize(const std::string& text) {
    int v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < 1 || v > kLargest)
        return std::nullopt;
    return v;
}

// Empty string: parsed; otherwise the usage complaint.
std::string parse(const std::vector<std::string>& args, RenderArgs& out) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](const std::string& name) -> std::optional<std::string> {
            if (a.rfind(name + "=", 0) == 0) return a.substr(name.size() + 1);
            if (a == name && i + 1 < args.size()) return args[++i];
            return std::nullopt;
        };
        if (a == "-o" || a == "--output" || a.rfind("--output=", 0) == 0) {
            auto v = a == "-o" ? (i + 1 < args.size() ? std::optional(args[++i]) : std::nullopt)
                               : value("--output");
            if (!v || v->empty()) return "-o needs the name of the image to write.";
            out.output = *v;
        } else if (a == "--width" || a.rfind("--width=", 0) == 0 || a == "--height" ||
                   a.rfind("--height=", 0) == 0) {
            bool width = a.rfind("--width", 0) == 0;
            auto v = value(width ? "--width" : "--height");
            if (!v) return std::string(width ? "--width" : "--height") + " needs a number.";
            auto n = parseSize(*v);
            if (!n)
                return std::string(width ? "the width" : "the height") +
                       " must be a whole number of pixels from 1 to " + std::to_string(kLargest) +
                       ".";
            (width ? out.width : out.height) = *n;
            (width ? out.widthGiven : out.heightGiven) = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return "unknown option " + a + ".";
        } else if (out.input.empty()) {
            out.input = a;
        } else {
            return "give one document to render.";
        }
    }
    // One side alone keeps the default picture's proportions.
    if (out.widthGiven && !out.heightGiven)
        out.height = std::clamp(
            static_cast<int>(std::lround(out.width * double(kDefaultHeight) / kDefaultWidth)), 1,
            kLargest);
    if (out.heightGiven && !out.widthGiven)
        out.width = std::clamp(
            static_cast<int>(std::lround(out.height * double(kDefaultWidth) / kDefaultHeight)), 1,
            kLargest);
    if (out.input.empty()) return "name the document to render.";
    if (out.output.empty()) return "name the image to write with -o.";
    if (!ImageFile::formatForPath(out.output))
        return "the image type is chosen by the extension of " + out.output +
               ": .png, .jpg, .bmp or .tif.";
    return {};
}

int renderCommand(const std::vector<std::string>& args) {
    RenderArgs a;
    if (std::string why = parse(args, a); !why.empty()) return usage(why);

    CRotundelDoc doc;
    DocResult opened = doc.OpenDocument(a.input);
    if (!opened) {
        std::cerr << "rotundel: " << a.input << ": " << opened.message;
        if (!opened.reason.empty()) std::cerr << " (" << opened.reason << ")";
        std::cerr << "\n";
        return kExitFileError;
    }
    // The frame's own update: placement, dynamic step and the point paths.
    doc.Step();

    FrameRenderer::Options options;
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::absolute(a.input, ec).parent_path();
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
    doc.cameraController.setWindowSize(a.width, a.height);
    ball = &doc.cameraController;
#endif
    auto image = renderer->render(doc, frameSettingsOf(doc), rig, ball, a.width, a.height, &error);
    if (renderer->frames().spheres().tubesCoarsened())
        std::cerr << "rotundel: note: " << SphereDrawer::tubeBudgetNote() << "\n";
    if (!image) {
        std::cerr << "rotundel: " << error << "\n";
        return kExitFileError;
    }
    // Through the document's saving, which leaves nothing behind when killed.
    std::string bytes;
    std::string why = ImageFile::encode(*image, *ImageFile::formatForPath(a.output), &bytes);
    AtomicFile file(a.output);
    if (why.empty()) {
        if (file.open()) file.write(bytes);
        if (!file.commit()) why = file.error() + ".";
    }
    if (!why.empty()) {
        std::cerr << "rotundel: Cannot write the image " << a.output << ": " << why << "\n";
        return kExitFileError;
    }
    return kExitOk;
}

Command cmd("render", "render FILE.one -o OUT.EXT [--width W] [--height H]",
            "still image (png, jpg, bmp, tif), no display needed", renderCommand);
}  // namespace
