// The export command's options for printers, plotters and sand tables.
#include "exportmaking.h"

#if __has_include("pathmesh.h")
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iostream>

#include "automatonreport.h"
#include "cli_options.h"
#include "commands.h"
#include "crotundeldoc.h"
#include "framerenderer.h"
#include "pathmesh.h"
#include "plottergcode.h"
#include "plottersvg.h"
#include "sandtrack.h"

namespace {
struct Option {
    const char* name;
    std::optional<std::string> MakingArguments::*value;
};
const Option kValued[] = {
    {"--tube-radius", &MakingArguments::tubeRadius},
    {"--sides", &MakingArguments::sides},
    {"--max-triangles", &MakingArguments::maxTriangles},
    {"--size", &MakingArguments::size},
    {"--scale", &MakingArguments::scale},
    {"--page", &MakingArguments::page},
    {"--margin", &MakingArguments::margin},
    {"--view", &MakingArguments::view},
    {"--tolerance", &MakingArguments::tolerance},
    {"--point", &MakingArguments::point},
    {"--start", &MakingArguments::start},
    {"--preview", &MakingArguments::preview},
    {"--pen-up", &MakingArguments::penUp},
    {"--pen-down", &MakingArguments::penDown},
    {"--feed", &MakingArguments::feed},
    {"--pen-change", &MakingArguments::penChange},
    {"--grid", &MakingArguments::grid},
};

bool hasExtension(const std::string& path, const std::string& ext) {
    if (path.size() < ext.size()) return false;
    for (std::size_t i = 0; i < ext.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(path[path.size() - ext.size() + i])) != ext[i])
            return false;
    return true;
}

std::optional<double> positiveLength(const std::optional<std::string>& text, bool units) {
    if (!text) return std::nullopt;
    auto v = units ? PlotterSvg::length(*text) : decimalNumber(*text);
    if (!v || !(*v > 0) || *v > 1e6) return std::nullopt;
    return v;
}

bool isMesh(const std::string& out) {
    return PathMesh::formatForPath(out) != nullptr;
}
bool isTrack(const std::string& out) {
    return hasExtension(out, ".thr");
}
bool isGcode(const std::string& out, const MakingArguments& m) {
    return m.plotter && hasExtension(out, ".gcode");
}
bool isPlotter(const std::string& out, const MakingArguments& m) {
    return m.plotter && (hasExtension(out, ".svg") || isGcode(out, m));
}

}  // namespace

const char* const kMakingHelp =
    "  .thr   a sand-table track: theta (radians, continuous) and rho (0 at the centre,\n"
    "         1 at the farthest point) of traced points seen from above\n"
    "Meshes hold one closed tube per traced point, named sphere/point, in its sphere's\n"
    "colour (STL has no colours).\n"
    "  --tube-radius R|auto  tube radius in automaton units; auto (the default) is 0.9 x\n"
    "                        the thinnest curve's thickness, so no tube touches itself\n"
    "  --sides N             sides of each tube, 3 to 64 (default 7)\n"
    "  --max-triangles N     triangles of all tubes together, at most (default 2000000);\n"
    "                        above it tubes are made coarser\n"
    "  --size 100mm          scale the model so its largest dimension is that long\n"
    "  --scale S             or multiply every coordinate by S (millimetres per unit)\n"
    "Drawings for pen plotters (OUT.svg):\n"
    "  --plotter             a page in millimetres, one layer per colour, closed paths\n"
    "                        (OUT.svg), or G-code for the same page (OUT.gcode)\n"
    "  --page A4|A3|A5|letter|WxHmm   (default A4)   --landscape   --margin 10mm\n"
    "  --view top|front|side|camera   top looks down the stationary sphere's axis\n"
    "  --tolerance 0.02mm    how far the drawing may stray from the exact curve\n"
    "  --scale 20mm          millimetres per automaton unit instead of filling the page\n"
    "  --grid 3x1            several documents on one sheet, one to a cell\n"
    "  --verbose             say the pen's travel before and after ordering the paths\n"
    "  --pen-up CMD --pen-down CMD   G-code lifting and lowering the pen\n"
    "                        (default \"G0 Z5\" and \"G1 Z0\")   --feed 3000 (mm/min)\n"
    "  --pen-change CMD      G-code between layers (such as M0); without it, one file\n"
    "                        per layer (OUT-1.gcode, OUT-2.gcode...)\n"
    "Sand-table tracks (OUT.thr):\n"
    "  --point SPHERE:N|all  the traced point to follow (default the one with the most\n"
    "                        lobes that is not a circle), or all of them one after another\n"
    "  --start centre|rim    where the track begins and ends (default the nearer)\n"
    "  --tolerance T         how far the track may stray, in table radii (default 0.0002)\n"
    "  --preview OUT.png     a picture of what the table will draw\n";

std::vector<MakingOption> makingOptions(MakingArguments& m) {
    std::vector<MakingOption> rows;
    for (const char* flag : {"--plotter", "--landscape", "--verbose"}) {
        bool* on = std::string(flag) == "--plotter"     ? &m.plotter
                   : std::string(flag) == "--landscape" ? &m.landscape
                                                        : &m.verbose;
        rows.push_back({flag, "", [on](const std::string&) -> std::string {
                            *on = true;
                            return {};
                        }});
    }
    for (const Option& o : kValued) {
        auto* field = &(m.*o.value);
        rows.push_back({o.name, "X", [field](const std::string& v) -> std::string {
                            *field = v;
                            return {};
                        }});
    }
    return rows;
}

int sheetCells(const MakingArguments& m) {
    auto g = m.grid ? PlotterSvg::grid(*m.grid) : std::nullopt;
    return g ? g->first * g->second : 1;
}

bool makesFile(const std::string& out, const MakingArguments& m) {
    return isMesh(out) || isTrack(out) || isPlotter(out, m);
}

std::string checkMaking(const std::string& out, const MakingArguments& m) {
    const bool mesh = isMesh(out), track = isTrack(out), plotter = isPlotter(out, m),
               gcode = isGcode(out, m);
    auto only = [&](bool given, const char* option, bool applies, const char* where) {
        return given && !applies ? std::string(option) + " applies only to " + where + "." : "";
    };
    for (const std::string& e : {
             only(m.plotter, "--plotter", hasExtension(out, ".svg") || hasExtension(out, ".gcode"),
                  ".svg drawings and .gcode"),
             only(m.tubeRadius.has_value(), "--tube-radius", mesh, "meshes"),
             only(m.sides.has_value(), "--sides", mesh, "meshes"),
             only(m.maxTriangles.has_value(), "--max-triangles", mesh, "meshes"),
             only(m.size.has_value(), "--size", mesh, "meshes"),
             only(m.scale.has_value(), "--scale", mesh || plotter,
                  "meshes and drawings for plotters"),
             only(m.page.has_value(), "--page", plotter, "drawings for plotters (--plotter)"),
             only(m.margin.has_value(), "--margin", plotter, "drawings for plotters (--plotter)"),
             only(m.view.has_value(), "--view", plotter, "drawings for plotters (--plotter)"),
             only(m.landscape, "--landscape", plotter, "drawings for plotters (--plotter)"),
             only(m.tolerance.has_value(), "--tolerance", plotter || track,
                  "drawings for plotters and sand-table tracks"),
             only(m.point.has_value(), "--point", track, "sand-table tracks (.thr)"),
             only(m.start.has_value(), "--start", track, "sand-table tracks (.thr)"),
             only(m.preview.has_value(), "--preview", track, "sand-table tracks (.thr)"),
             only(m.grid.has_value(), "--grid", plotter, "drawings for plotters (--plotter)"),
             only(m.verbose, "--verbose", plotter, "drawings for plotters (--plotter)"),
             only(m.penUp.has_value(), "--pen-up", gcode, "G-code (.gcode --plotter)"),
             only(m.penDown.has_value(), "--pen-down", gcode, "G-code (.gcode --plotter)"),
             only(m.feed.has_value(), "--feed", gcode, "G-code (.gcode --plotter)"),
             only(m.penChange.has_value(), "--pen-change", gcode, "G-code (.gcode --plotter)"),
         })
        if (!e.empty()) return e;
    if (m.size && m.scale) return "give --size or --scale, not both.";
    if (m.tubeRadius && *m.tubeRadius != "auto") {
        auto r = decimalNumber(*m.tubeRadius);
        if (!r || !PathMesh::acceptsTubeRadius(*r))
            return "--tube-radius needs auto or a positive number below " +
                   std::to_string(static_cast<long>(PathMesh::kLargestTubeRadius)) + ".";
    }
    if (m.sides) {
        auto v = decimalNumber(*m.sides);
        if (!v || *v != std::floor(*v) || *v < 3 || *v > PathMesh::kMostSides)
            return "--sides needs a whole number from 3 to " +
                   std::to_string(PathMesh::kMostSides) + ".";
    }
    if (m.maxTriangles) {
        auto v = decimalNumber(*m.maxTriangles);
        if (!v || *v != std::floor(*v) || *v < 1 || *v > double(MeshOptions::kMostTriangles))
            return "--max-triangles needs a whole number from 1 to " +
                   std::to_string(MeshOptions::kMostTriangles) + ".";
    }
    if (m.size && !positiveLength(m.size, true)) return "--size needs a length such as 100mm.";
    if (m.scale && !positiveLength(m.scale, plotter))
        return plotter ? "--scale needs a length a unit, such as 20mm."
                       : "--scale needs a positive number.";
    if (m.page && !PlotterSvg::pageSize(*m.page))
        return "--page needs A3, A4, A5, letter or a size such as 300x200mm.";
    if (m.margin) {
        auto v = PlotterSvg::length(*m.margin);
        if (!v || *v < 0) return "--margin needs a length such as 10mm.";
    }
    if (m.view && !PlotterSvg::view(*m.view)) return "--view needs top, front, side or camera.";
    if (m.tolerance) {
        auto v = plotter ? PlotterSvg::length(*m.tolerance) : decimalNumber(*m.tolerance);
        if (!v || !(*v >= (plotter ? PlotterSvg::kFinestTolerance : SandTrack::kFinestTolerance)) ||
            *v > 1e6)
            return plotter ? "--tolerance needs a length of at least 0.001mm."
                           : "--tolerance needs a number of table radii from 0.000001 up.";
    }
    if (m.point && !SandTrack::point(*m.point))
        return "--point needs all or a sphere and a point number from 0 to 5, such as B:0.";
    if (m.start && !SandTrack::start(*m.start)) return "--start needs centre or rim.";
    if (m.preview && !hasExtension(*m.preview, ".png")) return "--preview needs a .png file.";
    if (m.grid && !PlotterSvg::grid(*m.grid))
        return "--grid needs columns x rows from 1 to 100, such as 3x1.";
    if (m.feed) {
        auto v = decimalNumber(*m.feed);
        if (!v || !(*v > 0) || *v > 1e6) return "--feed needs a speed from 0 to 1000000 (mm/min).";
    }
    for (const auto* command : {&m.penUp, &m.penDown, &m.penChange})
        if (*command && (command->value().find_first_of("\r\n") != std::string::npos ||
                         (command != &m.penChange && command->value().empty())))
            return "the pen commands need one line of G-code each.";
    return {};
}

int writeMade(CRotundelDoc& doc, const std::string& out, const MakingArguments& m,
              const std::vector<CRotundelDoc*>& more) {
    std::string error;
    if (isMesh(out)) {
        MeshOptions o;
        o.autoRadius = !m.tubeRadius || *m.tubeRadius == "auto";
        if (!o.autoRadius) o.tubeRadius = decimalNumber(*m.tubeRadius);
        if (m.sides) o.sides = static_cast<int>(*decimalNumber(*m.sides));
        if (m.size) o.sizeMillimetres = positiveLength(m.size, true);
        if (m.scale) o.scale = *positiveLength(m.scale, false);
        o.warning = [](const std::string& w) { std::cerr << "rotundel: warning: " << w << "\n"; };
        if (m.maxTriangles)
            o.maxTriangles = static_cast<std::size_t>(*decimalNumber(*m.maxTriangles));
        bool coarsened = false;
        o.coarsened = &coarsened;
        error = PathMesh::write(doc, out, o);
        if (coarsened)
            std::cerr << "rotundel: note: tubes were made coarser to stay within " << o.maxTriangles
                      << " triangles (--max-triangles).\n";
    } else if (isTrack(out)) {
        SandTrackOptions o;
        if (m.point) o = *SandTrack::point(*m.point);
        if (m.tolerance) o.tolerance = *decimalNumber(*m.tolerance);
        if (m.start)
            o.start =
                *m.start == "rim" ? SandTrackOptions::Start::Rim : SandTrackOptions::Start::Centre;
        SandTrackResult track;
        error = SandTrack::write(doc, o, out, m.preview.value_or(""), &track);
        if (error.empty() && track.coarsened)
            std::cerr << "rotundel: note: the path winds too finely to follow within "
                      << o.maxEvaluations << " evaluations and " << o.maxPairs
                      << " lines; the track keeps to about " << track.tolerance
                      << " table radii instead.\n";
    } else {
        PlotterOptions o;
        if (m.page) std::tie(o.pageWidth, o.pageHeight) = *PlotterSvg::pageSize(*m.page);
        if (m.landscape) std::swap(o.pageWidth, o.pageHeight);
        if (m.margin) o.margin = *PlotterSvg::length(*m.margin);
        if (m.view) o.view = *PlotterSvg::view(*m.view);
        if (m.tolerance) o.tolerance = *PlotterSvg::length(*m.tolerance);
        if (m.scale) o.scale = *positiveLength(m.scale, true);
        if (m.grid) std::tie(o.columns, o.rows) = *PlotterSvg::grid(*m.grid);
        if (o.view == PlotterOptions::View::Camera) {
            constexpr int kWidth = 640, kHeight = 480;
            CameraRig rig;
            rig.fovy = CRotundelDoc::kViewFovy;
            o.camera = rig.mono(frameSettingsOf(doc).camera, kWidth, kHeight);
#ifdef ROTUNDEL_DOCUMENT_CAMERA
            o.orientation = doc.cameraController.orientationMatrix();
#endif
        }
        std::vector<const Automaton*> sheet{&doc};
        for (const CRotundelDoc* d : more) sheet.push_back(d);
        PlotterDrawing drawing;
        if (isGcode(out, m)) {
            GcodeOptions g;
            if (m.penUp) g.penUp = *m.penUp;
            if (m.penDown) g.penDown = *m.penDown;
            if (m.penChange) g.penChange = *m.penChange;
            if (m.feed) g.feed = *decimalNumber(*m.feed);
            error = PlotterGcode::write(sheet, o, g, out, &drawing);
            if (error.empty() && m.verbose)
                for (const std::string& f : PlotterGcode::files(out, drawing, g))
                    std::cerr << "rotundel: wrote " << AutomatonReport::printable(f) << "\n";
        } else {
            error = PlotterSvg::write(sheet, o, out, &drawing);
        }
        if (error.empty() && drawing.thinned)
            std::cerr << "rotundel: note: the drawing was thinned to stay within " << o.maxNodes
                      << " nodes, a page a plotter can draw"
                      << (std::isfinite(drawing.tolerance)
                              ? "; it keeps to " + std::to_string(drawing.tolerance) + " mm"
                              : std::string())
                      << ".\n";
        if (error.empty() && m.verbose) {
            char text[160];
            std::snprintf(text, sizeof text,
                          "rotundel: pen travel %.1f mm in the document's order, %.1f mm as "
                          "drawn.\n",
                          drawing.travelBefore, drawing.travelAfter);
            std::cerr << text;
        }
    }
    if (error.empty()) return kExitOk;
    std::cerr << "rotundel: " << AutomatonReport::printable(error) << "\n";
    return kExitFileError;
}
#endif
