// The document commands of the command line: new, info and export. They
// need no display and never open a window.
#include <cctype>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "atomicfile.h"
#include "automatonreport.h"
#include "commands.h"
#include "crotundeldoc.h"
#include "pathcsv.h"
#include "sphere.h"

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

int runExport(const std::vector<std::string>& args) {
    std::string file, out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" || args[i] == "--output") {
            if (i + 1 >= args.size()) return usage("-o needs a file name.");
            if (!out.empty()) return usage("export writes one file.");
            out = args[++i];
        } else if (isOption(args[i])) {
            return usage("export does not know the option " + AutomatonReport::printable(args[i]) +
                         ".");
        } else if (file.empty()) {
            file = args[i];
        } else {
            return usage("export takes one input file.");
        }
    }
    if (file.empty() || out.empty()) return usage("rotundel export FILE.one -o OUT.csv|OUT.one");
    const bool csv = endsWith(out, ".csv");
    if (!csv && !endsWith(out, ".one"))
        return usage(
            "export writes .csv (point paths) or .one (the automaton); for images use "
            "rotundel render.");

    CRotundelDoc doc;
    DocResult r = doc.OpenDocument(file);
    if (!r) return fileError("read", file, r);
    if (!csv) {
        DocResult w = doc.SaveDocument(out);
        return w ? kExitOk : fileError("write", out, w);
    }
    // The paths of the first frame after opening.
    PathPassResult pass = doc.Step();
    for (const Sphere* s : pass.coarsened)
        std::cerr << "rotundel: note: the paths of " << AutomatonReport::printable(s->name)
                  << " were sampled more coarsely to stay within " << doc.sampleBudget
                  << " samples.\n";
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
const Command exportCommand("export", "export FILE.one -o OUT.csv|OUT.one",
                            "point paths as CSV, or the automaton as .one", runExport);

}  // namespace
