// The document commands of the command line: new and info. They need no
// display and never open a window.
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "atomicfile.h"
#include "automatonreport.h"
#include "chaindocument.h"
#include "cli_options.h"
#include "commands.h"
#include "document.h"
#include "sphere.h"

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
    Document doc;
    doc.newDocument();
    DocResult r = doc.saveDocument(file);
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
    Document doc;
    if (int status = openInput(doc, file); status != kExitOk) return status;
    AutomatonReport report(doc);
    std::cout << (json ? report.json() : report.text());
    return kExitOk;
}

const Command newCommand("new", "new FILE.one [--force] [--random [--seed N]]",
                         "write the starter automaton (root A, child B), or a random one", runNew);
void infoHelp(std::ostream& out) {
    out << "usage: rotundel info FILE.one [--json]\n"
           "Lists the spheres, relations, roles, periods and sample counts, then what each\n"
           "traced point's curve is, measured on the exact curve (--json: the same as JSON).\n"
           "Lengths are in units of the root sphere's radius.\n"
           "  closes after P (N laps of S)  P turns of the time master round its parent until\n"
           "      the path repeats; S, the point's sphere, goes N times round its parent\n"
           "      meanwhile, \"backwards\" when its rolling rate is negative\n"
           "  about (x, y, z)   the axis of the symmetry, mirrors and lobes: the direction\n"
           "      through the origin about which the first link of the point's chain turns\n"
           "  k-fold            a turn of 1/k about the axis, and none smaller, keeps the\n"
           "      curve; a circle is kept by every turn\n"
           "  with mirrors      a plane through the axis reflects the curve onto itself\n"
           "  lobes             maxima of the distance from the axis in one closing that stand\n"
           "      out from the size; a multiple of k, none for a circle\n"
           "  length            of one closing, to 1e-6 of itself\n"
           "  largest distance  from the origin, to 1e-9\n"
           "  thickness         radius of the thickest tube that does not touch itself (least\n"
           "      radius of curvature, half the least distance between far-apart parts), to\n"
           "      1e-6; \"crosses itself\" or \"has a cusp\" instead when it has none\n"
           "  knot              unknot, 3_1, 4_1, 5_1, 5_2, 6_1 or T(p,q), of a curve that does\n"
           "      not meet itself, where the projection's crossings settle it among the\n"
           "      knots of up to 10 crossings; else \"Alexander polynomial of 5_1, 10\n"
           "      crossings\" (JSON: knot null, knotStatus \"named\", \"not settled\",\n"
           "      \"not in the table\" or \"not found\", alexanderOf, knotCrossings)\n"
           "  linking number    signed winding of two curves that keep apart round each\n"
           "      other (positive right-handed); 0 is not printed; \"not determined\" (JSON\n"
           "      linkingNumber null) for a close pair the measurement could not settle\n";
}

const Command infoCommand("info", "info FILE.one [--json]",
                          "spheres, relations, periods, sample counts", runInfo, infoHelp);

}  // namespace
