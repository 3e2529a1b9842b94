// The options of the command line's commands, declared as tables: each
// option says what value it takes, which outputs it applies to and how its
// value is checked, so that parsing, refusals and --help come from one
// place and a new option is one more row.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "exporter.h"

struct CliOption {
    std::vector<std::string> names;  // {"-o", "--output"}: the first is the one --help shows
    std::string value;               // what it takes, as --help shows it ("W"); "" for a flag
    std::string help;                // one line for --help
    // Extensions of the outputs it applies to, lower case with the dot
    // (".stl"); empty: every output.
    std::vector<std::string> appliesTo;
    // Checks and keeps the value (a flag gets ""); "" or the complaint, one
    // sentence without the final full stop.
    std::function<std::string(const std::string& value)> take;
};

struct CliLine {
    std::vector<std::string> files;       // the arguments that are no options
    std::vector<const CliOption*> given;  // in the order given
};

// A flag that sets *on when given.
CliOption flagOption(const std::string& name, const std::string& help, bool* on);

// "" or the complaint. "--name=value" and "--name value" both work.
std::string parseCommandLine(const std::vector<std::string>& args,
                             const std::vector<CliOption>& options, CliLine& line);
// The complaint about the first option given that does not apply to
// output, or "".
std::string checkAppliesTo(const CliLine& line, const std::string& output);
// Two-column lines for --help.
void printOptions(std::ostream& out, const std::vector<CliOption>& options);

// One line on standard error, exit status 2.
int usageError(const std::string& command, const std::string& complaint);
// One sentence on standard error ("rotundel: cannot write F: why."), exit 1.
int fileError(const std::string& action, const std::string& path, std::string why);

class Document;
// Opens the document a command reads, which from then on no save may
// replace; kExitOk, or the read error reported (exit 1).
int openInput(Document& doc, const std::string& path);

// The export service's options that shape the given kinds of output, as
// rows of a command's table: each keeps its value, as given, in request
// (the service checks it once the output is known).
std::vector<CliOption> exportOptionRows(ExportRequest& request,
                                        const std::vector<ExportKind>& kinds);

// Writes request from the document read from input (already open), with
// the service's notes and warnings on standard error; the exit status. A
// plotter sheet (--grid) draws the documents read from moreInputs after it.
int writeExport(Document& doc, const std::string& input, const ExportRequest& request,
                ExportContext context = {}, const std::vector<std::string>& moreInputs = {});
