// The document commands of the command line: new, info and export. They
// need no display and never open a window.
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "atomicfile.h"
#include "automatonreport.h"
#include "chaindocument.h"
#include "cli_options.h"
#include "commands.h"
#include "crotundeldoc.h"
#include "pathcsv.h"
#include "sphere.h"
#if __has_include("pathmesh.h")
#include "exportmaking.h"
#include "framerenderer.h"
#include "pathmesh.h"
#include "pathsvg.h"
#define ROTUNDEL_EXPORT_DRAWINGS 1
#endif

namespace {

int usage(const std::string& command, std::string text) {
    while (!text.empty() && text.back() == '.') text.pop_back();
    return usageError(command, text);
}

bool endsWith(const std::string& s, const std::string& tail) {
    return lowerExtension(s) == tail;
}

int fileError(const std::string& action, const std::string& path, const DocResult& r) {
    return ::fileError(action, path, r.why());
}

bool isOption(const std::string& a) {
    return a.size() > 1 && a[0] == '-';
}

int runNew(const std::vector<std::string>& args) {
    std::string file;
    bool force = false, random = false;
    std::optional<std::uint64_t> seed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--force")
            force = true;
        else if (a == "--random")
            random = true;
        else if (a == "--seed") {
            std::uint64_t v = 0;
            const std::string n = i + 1 < args.size() ? args[++i] : std::string();
            auto [end, ec] = std::from_chars(n.data(), n.data() + n.size(), v);
            if (n.empty() || ec != std::errc() || end != n.data() + n.size())
                return usage("new", "--seed takes a whole number from 0 to 18446744073709551615");
            seed = v;
        } else if (isOption(a))
            return usage("new",
                         "new does not know the option " + AutomatonReport::printable(a) + ".");
        else if (file.empty())
            file = a;
        else
            return usage("new", "new takes one file name: rotundel new FILE.one [--force]");
    }
    if (file.empty())
        return usage("new", "new takes one file name: rotundel new FILE.one [--force]");
    if (seed && !random) return usage("new", "--seed goes with --random");
    if (!endsWith(file, ".one"))
        return usage("new", "the new automaton's file name must end in .one: " +
                                AutomatonReport::printable(file));
    std::error_code ec;
    if (!force && std::filesystem::exists(std::filesystem::symlink_status(file, ec)))
        return fileError("write", file,
                         DocResult{false, "", "it already exists; give --force to replace it"});
    if (random) {
        const std::uint64_t chosen = seed ? *seed : std::random_device{}();
        std::string error = writeChainFile(randomChain(chosen), file);
        if (!error.empty()) return fileError("write", file, DocResult{false, "", error});
        std::cout << "random automaton, seed " << chosen << "\n";
        return kExitOk;
    }
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
            return usage("info",
                         "info does not know the option " + AutomatonReport::printable(a) + ".");
        else if (file.empty())
            file = a;
        else
            return usage("info", "info takes one file name.");
    }
    if (file.empty()) return usage("info", "info needs a file: rotundel info FILE.one [--json]");
    CRotundelDoc doc;
    if (int status = openInput(doc, file); status != kExitOk) return status;
    AutomatonReport report(doc);
    std::cout << (json ? report.json() : report.text());
    return kExitOk;
}

// What export writes, by OUT's extension.
struct ExportArgs {
    std::string out;
#ifdef ROTUNDEL_EXPORT_DRAWINGS
    MakingArguments making;  // meshes, plotter drawings and tracks; checked by checkMaking
#endif
};

std::vector<CliOption> exportOptions(ExportArgs& a) {
    std::vector<CliOption> options = {
        {{"-o", "--output"},
         "OUT",
         "the file to write; its extension picks the format",
         {},
         [&a](const std::string& v) -> std::string {
             if (v.empty()) return "-o needs a file name";
             if (!a.out.empty()) return "export writes one file";
             a.out = v;
             return {};
         }},
    };
#ifdef ROTUNDEL_EXPORT_DRAWINGS
    // Which outputs these apply to, and their values, are checked together
    // by checkMaking once the output is known; --help lists them below.
    for (const MakingOption& m : makingOptions(a.making))
        options.push_back({{m.name}, m.value, "", {}, m.take});
#endif
    return options;
}

void exportHelp(std::ostream& out) {
    out << "usage: rotundel export FILE.one -o OUT.EXT [options]\n"
           "Writes the point paths of the automaton's first frame. OUT's extension picks "
           "the format:\n"
           "  .csv   the sampled positions, one row per sample\n"
           "  .one   the automaton itself (save as)\n";
#ifdef ROTUNDEL_EXPORT_DRAWINGS
    out << "  .svg   the paths projected through the document's camera, one path per point\n";
    for (const auto& f : PathMesh::formats())
        out << "  " << f.extension << (std::string(6 - std::string(f.extension).size(), ' ')) << " "
            << f.description << "\n";
    out << kMakingHelp;
#endif
    out << "  -o OUT                the file to write; its extension picks the format\n";
}

int runExport(const std::vector<std::string>& args) {
    ExportArgs a;
    const std::vector<CliOption> options = exportOptions(a);
    CliLine line;
    if (std::string why = parseCommandLine(args, options, line); !why.empty())
        return usage("export", why);
#ifdef ROTUNDEL_EXPORT_DRAWINGS
    // A plotter sheet (--grid) draws several documents, one to a cell.
    const std::size_t inputs = static_cast<std::size_t>(a.making.grid ? sheetCells(a.making) : 1);
#else
    const std::size_t inputs = 1;
#endif
    if (line.files.size() > inputs)
        return usage("export", inputs > 1 ? "export takes at most " + std::to_string(inputs) +
                                                " input files for that --grid"
                                          : std::string("export takes one input file"));
    if (line.files.empty() || a.out.empty())
        return usage(
            "export",
            "give the document and the file to write: rotundel export FILE.one -o OUT.EXT");
    const std::string& file = line.files.front();
    const std::string& out = a.out;
    const bool csv = endsWith(out, ".csv");
    const bool one = endsWith(out, ".one");
#ifdef ROTUNDEL_EXPORT_DRAWINGS
    const bool svg = endsWith(out, ".svg");
    const bool made = makesFile(out, a.making);
    if (std::string e = checkMaking(out, a.making); !e.empty()) return usage("export", e);
#else
    const bool svg = false, made = false;
#endif
    if (!csv && !one && !svg && !made)
        return usage("export",
                     "export cannot write " + AutomatonReport::printable(out) +
#ifdef ROTUNDEL_EXPORT_DRAWINGS
                         ": it writes .csv, .one, .svg, .obj, .ply, .stl, .glb, .3mf, .thr or "
                         ".gcode (with --plotter) "
#else
                         ": it writes .csv or .one "
#endif
                         "(for images use rotundel render)");
    if (std::string why = checkAppliesTo(line, out); !why.empty()) return usage("export", why);

    CRotundelDoc doc;
    if (int status = openInput(doc, file); status != kExitOk) return status;
    // No long work for a file that cannot be written.
    if (std::string why = AtomicFile::problem(out); !why.empty())
        return ::fileError("write", out, why);
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
    int traced = 0;
    for (const Sphere* s : doc.sphereTable)
        if (s)
            for (const auto& p : s->points) traced += !p.path.empty();
    if (traced == 0)
        return ::fileError("export", file,
                           doc.stationarySphere
                               ? "no point of it traces a path"
                               : "it has no stationary sphere, so no point traces a path");
#ifdef ROTUNDEL_EXPORT_DRAWINGS
    if (svg || made) {
        std::string error;
        if (svg && !made) {
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
            // The further documents of a sheet, each at its first frame.
            std::vector<std::unique_ptr<CRotundelDoc>> more;
            std::vector<CRotundelDoc*> others;
            for (std::size_t f = 1; f < line.files.size(); ++f) {
                more.push_back(std::make_unique<CRotundelDoc>());
                if (int status = openInput(*more.back(), line.files[f]); status != kExitOk)
                    return status;
                more.back()->Step();
                others.push_back(more.back().get());
            }
            return writeMade(doc, out, a.making, others);
        }
        if (!error.empty()) {
            std::cerr << "rotundel: " << error << "\n";
            return kExitFileError;
        }
        return kExitOk;
    }
#endif
    AtomicFile target(out);
    if (!target.open()) return ::fileError("write", out, target.error());
    PathCsv::write(doc, [&target](std::string_view text) { target.write(text); });
    if (!target.commit()) return ::fileError("write", out, target.error());
    return kExitOk;
}

const Command newCommand("new", "new FILE.one [--force] [--random [--seed N]]",
                         "write the starter automaton (root A, child B), or a random one", runNew);
const Command infoCommand("info", "info FILE.one [--json]",
                          "spheres, relations, periods, sample counts", runInfo);
const Command exportCommand("export", "export FILE.one -o OUT.EXT",
                            "point paths (.csv .svg .obj .ply .stl .glb .3mf .thr) or .one",
                            runExport, exportHelp);

}  // namespace
