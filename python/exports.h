// Files for other programs and pictures, written from a Python automaton the
// way `rotundel export` and `rotundel render` write them.
#pragma once

#include <pybind11/pybind11.h>

#include <string>

class AutomatonState;

namespace Exports {

// By the extension of path, as `rotundel export` writes it. options are the
// command line's, as keywords (tube_radius, size, plotter, page, point...).
// Raises ValueError for what the command line refuses, TypeError for a
// value of the wrong type and OSError when writing fails. What the command
// line says of the file ("note: ...", "warning: ...", a mesh's tube radius)
// is said as a RotundelWarning and returned: {"path": ..., "said": [...]}.
pybind11::dict write(AutomatonState& state, const std::string& path,
                     const pybind11::kwargs& options);
// The first frame as `rotundel render` makes it (width, height,
// curves_only), without a display; returns as write() does.
pybind11::dict render(AutomatonState& state, const std::string& path,
                      const pybind11::kwargs& options);
// The bytes export() or render() writes for a file of that extension
// (".html", ".png"), made in a temporary folder that is removed again.
std::string bytesOf(AutomatonState& state, const std::string& extension);
// The docstring of export(), listing the formats this build writes.
const char* help();

}  // namespace Exports
