// The document commands of the command line: new, info and export. They
// need no display and never open a window.
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "atomicfile.h"
#include "automatonreport.h"
#include "commands.h"
#include "crotundeldoc.h"
#include "pathcsv.h"
#include "sphere.h"
#if __has_include("pathmesh.h")
#include "framerenderer.h"
#include "pathmesh.h"
#include "pathsvg.h"
#define ROTUNDEL_EXPORT_DRAWINGS 1
#endif

namespace {
#ifdef ROTUNDEL_EXPORT_DRAWINGS
constexpr std::size_t kDefaultTriangles = MeshOptions::kDefaultMaxTriangles;
constexpr std::size_t kMostTriangles = MeshOptions::kMostTriangles;
#else
constexpr std::size_t kDefaultTriangles = 2'000'000, kMostTriangles = 50'000'000;
#endif
}  // namespace

namespace {

int usage(const std::string& text) {
    std::cerr << "rotundel: " << text << "\nusage: see rotundel --help.\n";
    return kExitUsage;
}

bool endsWith(const std::string& s, const std::string& tail) {
    if (s.size() < tail.size()) return false;
    for (std::size_t i = 0; i < tail.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - tail.size() + i])) != tail[i])
            return false;
    return true;
}

// One sentence: what failed, on which file, and why.
int fileError(const std::string& action, const std::string& path, const DocResult& r) {
    std::string reason = r.message;
    if (!reason.empty() && reason.back() == '.') reason.pop_back();
    if (reason.empty())
        reason = r.reason;
    else if (!r.reason.empty())
        reason += " (" + r.reason + ")";
    std::cerr << "rotundel: cannot " << action << " " << AutomatonReport::printable(path) << ": "
              << reason << ".\n";
    return kExitFileError;
}

bool isOption(const std::string& a) {
    return a.size() > 1 && a[0] == '-';
}

int runNew(const std::vector<std::string>& args) {
    std::string file;
    bool force = false;
    for (const std::string& a : args) {
        if (a == "--force")
            force = true;
        else if (isOption(a))
            return usage("new does not know the option " + AutomatonReport::printable(a) + ".");
        else if (file.empty())
            file = a;
        else
            return usage("new takes one file name: rotundel new FILE.one [--force]");
    }
    if (file.empty()) return usage("new takes one file name: rotundel new FILE.one [--force]");
    if (!endsWith(file, ".one"))
        return usage("the new automaton's file name must end in .one: " +
                     AutomatonReport::printable(file));
    std::error_code ec;
    if (!force && std::filesystem::exists(std::filesystem::symlink_status(file, ec)))
        return fileError("write", file,
                         DocResult{false, "", "it already exists; give --force to replace it"});
    CRotundelDoc doc;
    doc.NewDocument();
    DocResult r = doc.SaveDocument(file);
    if (!r) return fileError("write", file, r);
    return kExitOk;
}

int runInfo(const std::vector<std::string>& args) {
    std::string file;
    bool json = false;
    for (const std::string& a : args) {
        if (a == "--json")
            json = true;
        else if (isOption(a))
            return usage("info does not know the option " + AutomatonReport::printable(a) + ".");
        else if (file.empty())
            file = a;
        else
            return usage("info takes one file name.");
    }
    if (file.empty()) return usage("info needs a file: rotundel info FILE.one [--json]");
    CRotundelDoc doc;
    DocResult r = doc.OpenDocument(file);
    if (!r) return fileError("read", file, r);
    AutomatonReport report(doc);
    std::cout << (json ? report.json() : report.text());
    return kExitOk;
}

void exportHelp() {
    std::cout << "usage: rotundel export FILE.one -o OUT.EXT [--tube-radius R] [--sides N] "
                 "[--max-triangles N]\n"
                 "Writes the point paths of the automaton's first frame. OUT's extension picks "
                 "the format:\n"
                 "  .csv   the sampled positions, one row per sample\n"
                 "  .one   the automaton itself (save as)\n";
#ifdef ROTUNDEL_EXPORT_DRAWINGS
    std::cout << "  .svg   the paths projected through the document's camera, one path per "
                 "point\n";
    for (const auto& f : PathMesh::formats())
        std::cout << "  " << f.extension << (std::string(6 - std::string(f.extension).size(), ' '))
                  << " " << f.description << "\n";
    std::cout << "Meshes hold one closed tube per traced point, named sphere/point.\n"
                 "  --tube-radius R   tube radius in automaton units (default 0.15 x the "
                 "sphere's radius)\n"
                 "  --sides N         sides of each tube, 3 to "
              << PathMesh::kMostSides << " (default 7)\n"
              << "  --max-triangles N  triangles of all tubes together, at most (default "
              << MeshOptions::kDefaultMaxTriangles << "); above it tubes are made coarser\n";
#endif
}

std::optional<double> parseNumber(const std::string& text) {
    double v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return v;
}

int runExport(const std::vector<std::string>& args) {
    std::string file, out;
    std::optional<double> tubeRadius;
    std::optional<int> sides;
    std::size_t maxTriangles = kDefaultTriangles;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            exportHelp();
            return kExitOk;
        } else if (args[i] == "-o" || args[i] == "--output") {
            if (i + 1 >= args.size()) return usage("-o needs a file name.");
            if (!out.empty()) return usage("export writes one file.");
            out = args[++i];
        } else if (args[i] == "--tube-radius") {
            auto v = i + 1 < args.size() ? parseNumber(args[++i]) : std::nullopt;
            if (!v || !(*v > 0) || *v > 1e6) return usage("--tube-radius needs a positive number.");
            tubeRadius = *v;
        } else if (args[i] == "--sides") {
            auto v = i + 1 < args.size() ? parseNumber(args[++i]) : std::nullopt;
            if (!v || *v != static_cast<int>(*v) || *v < 3 || *v > 64)
                return usage("--sides needs a whole number from 3 to 64.");
            sides = static_cast<int>(*v);
        } else if (args[i] == "--max-triangles") {
            auto v = i + 1 < args.size() ? parseNumber(args[++i]) : std::nullopt;
            if (!v || *v != std::floor(*v) || *v < 1 || *v > static_cast<double>(kMostTriangles))
                return usage("--max-triangles needs a whole number from 1 to " +
                             std::to_string(kMostTriangles) + ".");
            maxTriangles = static_cast<std::size_t>(*v);
        } else if (isOption(args[i])) {
            return usage("export does not know the option " + AutomatonReport::printable(args[i]) +
                         ".");
        } else if (file.empty()) {
            file = args[i];
        } else {
            return usage("export takes one input file.");
        }
    }
    if (file.empty() || out.empty()) return usage("rotundel export FILE.one -o OUT.EXT");
    const bool csv = endsWith(out, ".csv");
    const bool one = endsWith(out, ".one");
#ifdef ROTUNDEL_EXPORT_DRAWINGS
    const bool svg = endsWith(out, ".svg");
    const bool mesh = PathMesh::formatForPath(out) != nullptr;
#else
    const bool svg = false, mesh = false;
#endif
    if (!csv && !one && !svg && !mesh)
        return usage("export cannot write " + AutomatonReport::printable(out) +
#ifdef ROTUNDEL_EXPORT_DRAWINGS
                     ": it writes .csv, .one, .svg, .obj, .ply, .stl, .glb or .3mf "
#else
                     ": it writes .csv or .one "
#endif
                     "(rotundel export --help says more; for images use rotundel render).");

    CRotundelDoc doc;
    DocResult r = doc.OpenDocument(file);
    if (!r) return fileError("read", file, r);
    if (one) {
        DocResult w = doc.SaveDocument(out);
        return w ? kExitOk : fileError("write", out, w);
    }
    // The paths of the first frame after opening.
    PathPassResult pass = doc.Step();
    for (const Sphere* s : pass.coarsened)
        std::cerr << "rotundel: note: the paths of " << AutomatonReport::printable(s->name)
                  << " were sampled more coarsely to stay within " << doc.sampleBudget
                  << " samples.\n";
#ifdef ROTUNDEL_EXPORT_DRAWINGS
    if (svg || mesh) {
        std::string error;
        if (svg) {
            constexpr int kWidth = 640, kHeight = 480;
            CameraRig rig;
            rig.fovy = CRotundelDoc::kViewFovy;
            CameraSetup camera = rig.mono(frameSettingsOf(doc).camera, kWidth, kHeight);
            Mat4 orientation = identityMatrix();
#ifdef ROTUNDEL_DOCUMENT_CAMERA
            orientation = doc.cameraController.orientationMatrix();
#endif
            error = PathSvg::write(doc, camera, orientation, kWidth, kHeight, out);
        } else {
            MeshOptions options;
            options.tubeRadius = tubeRadius;
            options.sides = sides;
            options.maxTriangles = maxTriangles;
            bool coarsened = false;
            options.coarsened = &coarsened;
            error = PathMesh::write(doc, out, options);
            if (coarsened)
                std::cerr << "rotundel: note: tubes were made coarser to stay within "
                          << maxTriangles << " triangles (--max-triangles).\n";
        }
        if (!error.empty()) {
            std::cerr << "rotundel: " << error << "\n";
            return kExitFileError;
        }
        return kExitOk;
    }
#endif
    AtomicFile target(out);
    if (!target.open()) return fileError("write", out, DocResult{false, "", target.error()});
    PathCsv::write(doc, [&target](std::string_view text) { target.write(text); });
    if (!target.commit()) return fileError("write", out, DocResult{false, "", target.error()});
    return kExitOk;
}

const Command newCommand("new", "new FILE.one [--force]",
                         "write the starter automaton (root A, child B)", runNew);
const Command infoCommand("info", "info FILE.one [--json]",
                          "spheres, relations, periods, sample counts", runInfo);
const Command exportCommand("export", "export FILE.one -o OUT.EXT",
                            "point paths (.csv .svg .obj .ply .stl .glb .3mf) or .one", runExport);

}  // namespace
