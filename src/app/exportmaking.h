// The export command's options for things to make: printable tubes (radius,
// size), plotter drawings (page, view, tolerance) and sand-table tracks
// (which point). The export command hands each argument here first.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class CRotundelDoc;

struct MakingArguments {
    // As given; each is checked against the output's type before writing.
    std::optional<std::string> tubeRadius, sides, size, scale, page, margin, view, tolerance, point,
        maxTriangles, resolution;
    bool plotter = false, landscape = false, unite = false;
};

// The options as rows for the command line's option table: each keeps its
// value, as given, in m.
struct MakingOption {
    std::string name;   // "--page"
    std::string value;  // what it takes ("" for a flag)
    std::function<std::string(const std::string&)> take;
};
std::vector<MakingOption> makingOptions(MakingArguments& m);

// True when out is a file these options shape: a mesh, a track, or a
// drawing for plotters.
bool makesFile(const std::string& out, const MakingArguments& m);
// "" when every option given applies to out and has a sound value,
// otherwise the usage error.
std::string checkMaking(const std::string& out, const MakingArguments& m);

// Writes out (a mesh, a drawing, or a track) when its type is one of those
// these options shape (after checkMaking). Returns the exit status; errors
// and warnings go to standard error.
int writeMade(CRotundelDoc& doc, const std::string& out, const MakingArguments& m);

// For --help.
extern const char* const kMakingHelp;
