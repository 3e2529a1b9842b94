// Files for other programs and pictures, written from a Python automaton the
// way `rotundel export` and `rotundel render` write them.
#pragma once

#include <pybind11/pybind11.h>

#include <string>

class AutomatonState;

namespace Exports {

// By the extension of path: .csv, .one, .svg or a tube mesh. options are
// the command line's, as keywords (tube_radius, sides). Raises ValueError
// for options or types it cannot write and OSError when writing fails.
void write(AutomatonState& state, const std::string& path, const pybind11::kwargs& options);
// The first frame as "Save image" makes it, rendered without a display.
void render(AutomatonState& state, const std::string& path, int width, int height);
// The docstring of export(), listing the formats this build writes.
const char* help();

}  // namespace Exports
