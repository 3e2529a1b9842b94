// The sub-commands of the rotundel executable. Each cli_*.cpp file registers
// its commands with a static Command object; main() dispatches on the first
// argument. The command named "" is what runs with no sub-command (the window).
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

struct Command {
    using Run = std::function<int(const std::vector<std::string>& args)>;
    // The command's own --help; without one, --help prints usage and summary.
    using Help = std::function<void(std::ostream&)>;
    // usage: one line for --help, e.g. "info FILE.one [--json]".
    Command(std::string name, std::string usage, std::string summary, Run run, Help help = {});
};

struct CommandEntry {
    std::string name, usage, summary;
    Command::Run run;
    Command::Help help;
};
const std::vector<CommandEntry>& registeredCommands();

// Exit statuses of every command.
enum ExitStatus { kExitOk = 0, kExitFileError = 1, kExitUsage = 2 };
