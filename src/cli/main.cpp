// Entry point: dispatches to the registered sub-commands, or starts the
// program's window when there is none.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "atomicfile.h"
#include "commands.h"

namespace {
std::vector<CommandEntry>& table() {
    static std::vector<CommandEntry> t;
    return t;
}

constexpr const char* kWindowUsage = "[FILE.one]";
constexpr const char* kWindowSummary = "start the program (opening FILE.one)";

void printUsage(std::ostream& out) {
    auto cmds = registeredCommands();
    cmds.erase(std::remove_if(cmds.begin(), cmds.end(), [](auto& c) { return c.name.empty(); }),
               cmds.end());
    std::sort(cmds.begin(), cmds.end(), [](auto& a, auto& b) { return a.name < b.name; });
    cmds.insert(cmds.begin(), CommandEntry{"", kWindowUsage, kWindowSummary, {}, {}});
    // The summaries start in one column, after the longest usage.
    std::size_t width = 0;
    for (const auto& c : cmds) width = std::max(width, c.usage.size());
    out << "Rotundel: rolling-sphere automata and the closed curves their points trace.\n\n"
           "usage:\n";
    for (const auto& c : cmds) {
        std::string line = "  rotundel " + c.usage;
        line.resize(width + 13, ' ');
        out << line << c.summary << "\n";
    }
    out << "\nEvery command answers --help; rotundel --version prints the version. Exit status: "
           "0 success, 1 a file could not be read or written, 2 usage.\n";
}

bool asksForHelp(const std::vector<std::string>& args) {
    return std::any_of(args.begin(), args.end(),
                       [](const std::string& a) { return a == "--help" || a == "-h"; });
}

// The first argument names neither a command nor anything on disk: most
// likely a mistyped command, which the window could do nothing with.
bool namesNothing(const std::string& arg) {
    if (arg.empty() || arg[0] == '-') return false;
    std::error_code ec;
    return !std::filesystem::exists(arg, ec) && !ec;
}
}  // namespace

Command::Command(std::string name, std::string usage, std::string summary, Run run, Help help) {
    table().push_back(
        {std::move(name), std::move(usage), std::move(summary), std::move(run), std::move(help)});
}

const std::vector<CommandEntry>& registeredCommands() {
    return table();
}

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h" || args[0] == "help")) {
        printUsage(std::cout);
        return kExitOk;
    }
    if (!args.empty() && args[0] == "--version") {
        std::cout << "rotundel " << ROTUNDEL_VERSION << "\n";
        return kExitOk;
    }
    std::string name;
    if (!args.empty()) {
        for (const auto& c : registeredCommands())
            if (!c.name.empty() && c.name == args[0]) name = c.name;
        if (!name.empty()) args.erase(args.begin());
    }
    if (name.empty() && !args.empty() && namesNothing(args[0])) {
        std::cerr << "rotundel: no command or file named " << args[0] << "; see rotundel --help\n";
        return kExitUsage;
    }
    // The window takes no options: one that is not a command's is a slip.
    if (name.empty() && !args.empty() && args[0].size() > 1 && args[0][0] == '-' &&
        !asksForHelp(args)) {
        std::cerr << "rotundel: unknown option " << args[0] << "; see rotundel --help.\n";
        return kExitUsage;
    }
    for (const auto& c : registeredCommands()) {
        if (c.name != name) continue;
        if (asksForHelp(args)) {
            if (name.empty())
                printUsage(std::cout);
            else if (c.help)
                c.help(std::cout);
            else
                std::cout << "usage: rotundel " << c.usage << "\n  " << c.summary << "\n";
            return kExitOk;
        }
        // A command killed by Ctrl+C or SIGTERM leaves no work files behind,
        // and says whether anything was written.
        if (!name.empty()) AtomicFile::cleanUpOnSignals("rotundel: interrupted");
        return c.run(args);
    }
    std::cerr << "rotundel: this build has no window; see rotundel --help.\n";
    return kExitUsage;
}
