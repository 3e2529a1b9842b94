// "rotundel design": automata whose curves have exactly a chosen rotational
// symmetry, written as .one files into a folder.
#include <charconv>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "automatonreport.h"
#include "chaindocument.h"
#include "cli_options.h"
#include "commands.h"
#include "curvedesign.h"

namespace {

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
        {"--symmetry", 1, 24, &order}, {"--levels", 2, 4, &levels}, {"--count", 1, 100, &count}};
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
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!std::filesystem::is_directory(folder, ec)) {
        std::cerr << "rotundel: cannot write into " << AutomatonReport::printable(folder)
                  << ": it is not a folder that can be made.\n";
        return kExitFileError;
    }
    std::vector<ChainPlan> chains = symmetricChains(order, levels, count);
    if (chains.empty()) {
        std::cerr << "rotundel: no automaton of " << levels << " levels with exactly " << order
                  << "-fold symmetry was found among the simple ones.\n";
        return kExitFileError;
    }
    for (std::size_t i = 0; i < chains.size(); ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "symmetry%d-levels%d-%02zu.one", order, levels, i + 1);
        std::string path = (std::filesystem::path(folder) / name).string();
        std::string error = writeChainFile(chains[i], path);
        if (!error.empty()) {
            std::cerr << "rotundel: cannot write " << AutomatonReport::printable(path) << ": "
                      << error << ".\n";
            return kExitFileError;
        }
        std::cout << name << ": " << chains[i].describe() << "\n";
    }
    return kExitOk;
}

void designHelp(std::ostream& out) {
    out << "usage: " << kUsage
        << "\nWrites candidate automata whose traced curves have exactly K-fold symmetry "
           "about the\nstationary sphere's axis, simplest rates first, as FOLDER/NN.one.\n"
           "  --symmetry K   the order asked for, 1 to 24\n"
           "  --levels L     spheres in the chain below the root, 2 to 4 (default 3)\n"
           "  --count N      how many candidates to write (default 12)\n";
}

const Command designCommand("design", "design --symmetry K [--levels L] [--count N] -o FOLDER",
                            "automata whose curves have exactly K-fold symmetry", runDesign,
                            designHelp);

}  // namespace
