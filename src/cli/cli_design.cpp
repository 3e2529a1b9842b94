// "rotundel design": automata whose curves have exactly a chosen rotational
// symmetry, written as .one files into a folder.
#include <charconv>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "atomicfile.h"
#include "automatonreport.h"
#include "chaindocument.h"
#include "cli_options.h"
#include "commands.h"
#include "curvedesign.h"

namespace {

// How long the search may widen before it gives what it has.
constexpr int kSearchSeconds = 20;

constexpr const char* kUsage = "rotundel design --symmetry K [--levels L] [--count N] -o FOLDER";

// One line, as every command's usage errors.
int usage(std::string text) {
    while (!text.empty() && text.back() == '.') text.pop_back();
    return usageError("design", text);
}

bool parseInt(const std::string& text, int lo, int hi, int* out) {
    int v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < lo || v > hi) return false;
    *out = v;
    return true;
}

int runDesign(const std::vector<std::string>& args) {
    int order = 0, levels = 3, count = 12;
    std::string folder;
    struct Number {
        const char* option;
        int lo, hi;
        int* value;
    } numbers[] = {
        {"--symmetry", 2, 24, &order}, {"--levels", 2, 4, &levels}, {"--count", 1, 100, &count}};
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool known = false;
        for (const Number& n : numbers) {
            if (a != n.option) continue;
            known = true;
            if (i + 1 >= args.size() || !parseInt(args[++i], n.lo, n.hi, n.value))
                return usage(std::string(n.option) + " takes a whole number from " +
                             std::to_string(n.lo) + " to " + std::to_string(n.hi) + ".");
        }
        if (known) continue;
        if (a == "-o" && i + 1 < args.size())
            folder = args[++i];
        else
            return usage("design does not know " + AutomatonReport::printable(a) + ".");
    }
    if (order == 0 || folder.empty()) return usage("design needs --symmetry K and -o FOLDER.");
    // The candidates are made in a work folder beside the target and join
    // it together: an interrupted or failing design leaves the folder as
    // it was.
    std::error_code ec;
    const std::filesystem::path parent = std::filesystem::path(folder).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent, ec);
    WorkFolder work(folder);
    if (!work.open()) {
        std::cerr << "rotundel: cannot write into " << AutomatonReport::printable(folder) << ": "
                  << work.error() << ".\n";
        return kExitFileError;
    }
    bool late = false;
    std::vector<ChainPlan> chains = symmetricChains(order, levels, count, kSearchSeconds, &late);
    if (chains.empty()) {
        std::cerr << "rotundel: no automaton of " << levels << " levels with exactly " << order
                  << "-fold symmetry was found in " << kSearchSeconds << " s of search.\n";
        return kExitFileError;
    }
    if (late)
        std::cerr << "note: the search stopped after " << kSearchSeconds << " s with "
                  << chains.size() << " of the " << count << " candidates asked for.\n";
    std::string lines;
    for (std::size_t i = 0; i < chains.size(); ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "symmetry%d-levels%d-%02zu.one", order, levels, i + 1);
        std::string error = writeChainFile(chains[i], (work.path() / name).string());
        if (!error.empty()) {
            std::string path = (std::filesystem::path(folder) / name).string();
            std::cerr << "rotundel: cannot write " << AutomatonReport::printable(path) << ": "
                      << error << ".\n";
            return kExitFileError;
        }
        lines += std::string(name) + ": " + chains[i].describe() +
                 (chains[i].flat() ? " (flat: render --view top)" : " (leaves the plane)") + "\n";
    }
    if (!work.commit()) {
        std::cerr << "rotundel: cannot write into " << AutomatonReport::printable(folder) << ": "
                  << work.error() << ".\n";
        return kExitFileError;
    }
    std::cout << lines;
    return kExitOk;
}

void designHelp(std::ostream& out) {
    out << "usage: " << kUsage
        << "\nWrites candidate automata whose traced curves have exactly K-fold symmetry "
           "about the\nstationary sphere's axis, simplest rates first, as FOLDER/NN.one. About one "
           "in three\nhas a tilted link, so that its curve leaves the plane; flat ones show their "
           "symmetry\nbest from the top (render --view top). Point 0 of every sphere is its "
           "centre; the\ntraced point is point 1 of the last sphere. The search widens for up to " +
               std::to_string(kSearchSeconds) +
               " s.\n"
               "  --symmetry K   the order asked for, 2 to 24\n"
               "  --levels L     spheres in the chain, the root included, 2 to 4 (default 3)\n"
               "  --count N      how many candidates to write (default 12)\n";
}

const Command designCommand("design", "design --symmetry K [--levels L] [--count N] -o FOLDER",
                            "automata whose curves have exactly K-fold symmetry", runDesign,
                            designHelp);

}  // namespace
