// A plotter drawing as G-code, for pen plotters and for pens held by 3-D
// printers and CNC machines: the same page, nodes and order as the SVG,
// in millimetres with the origin at the page's lower left corner (x to the
// right, y up, as machines count). The pen is lifted and lowered by the
// user's own commands; each closed path is drawn from its first node round
// to it again. Between layers either a pause for a pen change, or one file
// per layer.
#pragma once

#include <string>
#include <vector>

#include "plottersvg.h"

struct GcodeOptions {
    std::string penUp = "G0 Z5", penDown = "G1 Z0";
    double feed = 3000;     // drawing speed, millimetres a minute
    std::string penChange;  // between layers; empty: one file per layer
    double dwell = 0;       // seconds to wait after each pen move (a servo's travel); 0: none
};

class PlotterGcode {
  public:
    // The program for layers [first, last) of the drawing.
    static std::string text(const PlotterDrawing& drawing, const PlotterOptions& page,
                            const GcodeOptions& options, std::size_t first, std::size_t last);
    // The files written for path: path itself, or with several layers and
    // no pen change one per layer ("x.gcode" -> "x-1.gcode", "x-2.gcode"...).
    static std::vector<std::string> files(const std::string& path, const PlotterDrawing& drawing,
                                          const GcodeOptions& options);
    // "" when the options make sound G-code, otherwise one sentence.
    static std::string check(const GcodeOptions& options);
    // Whether a command of the user's stays one line in the program for
    // every reader: no control character (tab aside), and none of the
    // characters some readers break lines at (U+0085, U+2028, U+2029).
    static bool oneLine(const std::string& command);
    // The longest dwell after a pen move, in seconds.
    static constexpr double kLongestDwell = 60;
    // Writes the drawing (made as for the SVG). Returns "" on success,
    // otherwise one sentence; *drawing (when given) gets what was drawn.
    static std::string write(const std::vector<const Automaton*>& sheet, const PlotterOptions& page,
                             const GcodeOptions& options, const std::string& path,
                             PlotterDrawing* drawing = nullptr);
};
