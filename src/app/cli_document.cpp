// The document commands of the command line: new, info and export. They
// need no display and never open a window.
#include <cctype>
#include <charconv>
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
#include "exportmaking.h"
#include "framerenderer.h"
#include "pathmesh.h"
#include "pathsvg.h"
#define ROTUNDEL_EXPORT_DRAWINGS 1
#endif

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
    std::cout << "usage: rotundel export FILE.one -o OUT.EXT [options]\n"
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
    std::cout << kMakingHelp;
#endif
}

int runExport(const std::vector<std::string>& args) {
    std::string file, out;
#ifdef ROTUNDEL_EXPORT_DRAWINGS
    MakingArguments making;
    std::string why;
#endif
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            exportHelp();
            return kExitOk;
        } else if (args[i] == "-o" || args[i] == "--output") {
            if (i + 1 >= args.size()) return usage("-o needs a file name.");
            if (!out.empty()) return usage("export writes one file.");
            out = args[++i];
#ifdef ROTUNDEL_EXPORT_DRAWINGS
        } else if (int taken = takeMakingArgument(args, i, making, &why); taken != 0) {
            if (taken < 0) return usage(why);
#endif
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
    const bool made = makesFile(out, making);
    if (std::string e = checkMaking(out, making); !e.empty()) return usage(e);
#else
    const bool svg = false, made = false;
#endif
    if (!csv && !one && !svg && !made)
        return usage("export cannot write " + AutomatonReport::printable(out) +
#ifdef ROTUNDEL_EXPORT_DRAWINGS
                     ": it writes .csv, .one, .svg, .obj, .ply, .stl, .glb, .3mf or .thr "
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
            return writeMade(doc, out, making);
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
                            "point paths (.csv .svg .obj .ply .stl .glb .3mf .thr) or .one",
                            runExport);

}  // namespace
