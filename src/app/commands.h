// The sub-commands of the rotundel executable. Each cli_*.cpp file registers
// its commands with a static Command object; main() dispatches on the first
// argument. The command named "" is what runs with no sub-command (the window).
#pragma once

#include <functional>
#include <string>
#include <vector>

struct Command {
    using Run = std::function<int(const std::vector<std::string>& args)>;
    // usage: one line for --help, e.g. "info FILE.one [--json]".
    Command(std::string name, std::string usage, std::string summary, Run run);
};

struct CommandEntry {
    std::string name, usage, summary;
    Command::Run run;
};
const std::vector<CommandEntry>& registeredCommands();

// Exit statuses of every command.
enum ExitStatus { kExitOk = 0, kExitFileError = 1, kExitUsage = 2 };
