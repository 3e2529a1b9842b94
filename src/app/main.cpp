// Entry point: dispatches to the registered sub-commands, or starts the
// program's window when there is none.
#include <algorithm>
#include <cstdio>
#include <iostream>

#include "commands.h"

namespace {
std::vector<CommandEntry>& table() {
    static std::vector<CommandEntry> t;
    return t;
}

void printUsage(std::ostream& out) {
    out << "Rotundel: rolling-sphere automata and the closed curves their points trace.\n\n"
           "usage:\n"
           "  rotundel [FILE.one]                start the program (opening FILE.one)\n";
    auto cmds = registeredCommands();
    std::sort(cmds.begin(), cmds.end(), [](auto& a, auto& b) { return a.name < b.name; });
    for (const auto& c : cmds) {
        if (c.name.empty()) continue;
        std::string line = "  rotundel " + c.usage;
        if (line.size() < 37) line.resize(37, ' ');
        out << line << "  " << c.summary << "\n";
    }
    out << "\nExit status: 0 success, 1 a file could not be read or written, 2 usage.\n";
}
}  // namespace

Command::Command(std::string name, std::string usage, std::string summary, Run run) {
    table().push_back({std::move(name), std::move(usage), std::move(summary), std::move(run)});
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
    std::string name;
    if (!args.empty()) {
        for (const auto& c : registeredCommands())
            if (!c.name.empty() && c.name == args[0]) name = c.name;
        if (!name.empty()) args.erase(args.begin());
    }
    for (const auto& c : registeredCommands())
        if (c.name == name) return c.run(args);
    if (!args.empty() && args[0].size() > 1 && args[0][0] == '-') {
        std::cerr << "rotundel: unknown option " << args[0] << ".\n";
        printUsage(std::cerr);
        return kExitUsage;
    }
    std::cerr << "rotundel: this build has no window; see rotundel --help.\n";
    return kExitUsage;
}
