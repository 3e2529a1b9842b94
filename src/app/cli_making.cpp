// The export command's options for printers, plotters and sand tables.
#include "exportmaking.h"

#if __has_include("pathmesh.h")
#include <cctype>
#include <charconv>
#include <cmath>
#include <iostream>

#include "automatonreport.h"
#include "cli_options.h"
#include "commands.h"
#include "crotundeldoc.h"
#include "framerenderer.h"
#include "pathmesh.h"
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
    {"--resolution", &MakingArguments::resolution},
    {"--size", &MakingArguments::size},
    {"--scale", &MakingArguments::scale},
    {"--page", &MakingArguments::page},
    {"--margin", &MakingArguments::margin},
    {"--view", &MakingArguments::view},
    {"--tolerance", &MakingArguments::tolerance},
    {"--point", &MakingArguments::point},
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

// "B:1" names sphere B's point 1; the sphere's name may hold colons itself.
std::optional<SandTrackOptions> pointOf(const std::string& text) {
    auto colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) return std::nullopt;
    auto n = decimalNumber(text.substr(colon + 1));
    if (!n || *n < 0 || *n > 5 || *n != std::floor(*n)) return std::nullopt;
    SandTrackOptions o;
    o.sphere = text.substr(0, colon);
    o.point = static_cast<int>(*n);
    return o;
}

// "0.8mm" (or cm, in) at the print size, a plain number in automaton
// units; auto is the default rule.
struct RadiusText {
    std::optional<double> units, millimetres;
};
std::optional<RadiusText> radiusOf(const std::string& text) {
    RadiusText r;
    if (text == "auto") return r;
    if (auto n = decimalNumber(text)) {
        r.units = n;
        return PathMesh::acceptsTubeRadius(*n) ? std::optional(r) : std::nullopt;
    }
    r.millimetres = PlotterSvg::length(text);
    if (!r.millimetres || !PathMesh::acceptsTubeRadius(*r.millimetres)) return std::nullopt;
    return r;
}
bool isSolid(const std::string& out) {
    return hasExtension(out, ".stl") || hasExtension(out, ".3mf");
}

bool isMesh(const std::string& out) {
    return PathMesh::formatForPath(out) != nullptr;
}
bool isTrack(const std::string& out) {
    return hasExtension(out, ".thr");
}
bool isPlotter(const std::string& out, const MakingArguments& m) {
    return m.plotter && hasExtension(out, ".svg");
}
}  // namespace

const char* const kMakingHelp =
    "  .thr   a sand-table track: theta (radians, continuous) and rho (0 at the centre,\n"
    "         1 at the path's farthest point) of one traced point seen from above\n"
    "STL and 3MF hold one closed solid for printing, the union of round tubes around\n"
    "the traced points; 3MF one object with a part per curve in its sphere's colour.\n"
    "OBJ, PLY and GLB hold one closed tube per traced point, named sphere/point, in its\n"
    "sphere's colour; GLB in metres with +Y up.\n"
    "  --tube-radius R|0.8mm|auto  tube radius in automaton units, or a length at the\n"
    "                        print size; auto (the default) is 0.75% of the model's\n"
    "                        largest dimension, at least 0.6mm when a size is given\n"
    "  --resolution 0.1mm    the solid's cell at the print size (default a fifth of\n"
    "                        the radius, 0.05mm to 0.2mm)\n"
    "  --union               one part for all curves in a 3MF file\n"
    "  --sides N             sides of each tube, 3 to 64 (default 7)\n"
    "  --max-triangles N     triangles of the whole file, at most (default 1500000);\n"
    "                        above it tubes are made coarser\n"
    "  --size 100mm          scale the model so its largest dimension is that long\n"
    "  --scale S             or multiply every coordinate by S (millimetres per unit)\n"
    "Drawings for pen plotters (OUT.svg):\n"
    "  --plotter             a page in millimetres, one layer per colour, closed paths\n"
    "  --page A4|A3|A5|letter|WxHmm   (default A4)   --landscape   --margin 10mm\n"
    "  --view top|front|side|camera   top looks down the stationary sphere's axis\n"
    "  --tolerance 0.02mm    how far the drawing may stray from the exact curve\n"
    "Sand-table tracks (OUT.thr):\n"
    "  --point SPHERE:N      the traced point to follow (default the first)\n"
    "  --tolerance T         how far the track may stray, in table radii (default 0.0002)\n";

std::vector<MakingOption> makingOptions(MakingArguments& m) {
    std::vector<MakingOption> rows;
    for (const char* flag : {"--plotter", "--landscape", "--union"}) {
        const std::string f = flag;
        bool* on = f == "--plotter" ? &m.plotter : f == "--union" ? &m.unite : &m.landscape;
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

bool makesFile(const std::string& out, const MakingArguments& m) {
    return isMesh(out) || isTrack(out) || isPlotter(out, m);
}

std::string checkMaking(const std::string& out, const MakingArguments& m) {
    const bool mesh = isMesh(out), track = isTrack(out), plotter = isPlotter(out, m);
    auto only = [&](bool given, const char* option, bool applies, const char* where) {
        return given && !applies ? std::string(option) + " applies only to " + where + "." : "";
    };
    for (const std::string& e : {
             only(m.plotter, "--plotter", hasExtension(out, ".svg"), ".svg drawings"),
             only(m.tubeRadius.has_value(), "--tube-radius", mesh, "meshes"),
             only(m.sides.has_value(), "--sides", mesh && !isSolid(out), "OBJ, PLY and GLB meshes"),
             only(m.resolution.has_value(), "--resolution", isSolid(out), "STL and 3MF solids"),
             only(m.unite, "--union", hasExtension(out, ".3mf"), "3MF files"),
             only(m.maxTriangles.has_value(), "--max-triangles", mesh, "meshes"),
             only(m.size.has_value(), "--size", mesh, "meshes"),
             only(m.scale.has_value(), "--scale", mesh, "meshes"),
             only(m.page.has_value(), "--page", plotter, "drawings for plotters (--plotter)"),
             only(m.margin.has_value(), "--margin", plotter, "drawings for plotters (--plotter)"),
             only(m.view.has_value(), "--view", plotter, "drawings for plotters (--plotter)"),
             only(m.landscape, "--landscape", plotter, "drawings for plotters (--plotter)"),
             only(m.tolerance.has_value(), "--tolerance", plotter || track,
                  "drawings for plotters and sand-table tracks"),
             only(m.point.has_value(), "--point", track, "sand-table tracks (.thr)"),
         })
        if (!e.empty()) return e;
    if (m.size && m.scale) return "give --size or --scale, not both.";
    if (m.tubeRadius && !radiusOf(*m.tubeRadius))
        return "--tube-radius needs auto, a length such as 0.8mm or a positive number below " +
               std::to_string(static_cast<long>(PathMesh::kLargestTubeRadius)) + ".";
    if (m.resolution) {
        auto v = PlotterSvg::length(*m.resolution);
        if (!v || !PathMesh::acceptsTubeRadius(*v))
            return "--resolution needs a length such as 0.1mm.";
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
    if (m.scale && !positiveLength(m.scale, false)) return "--scale needs a positive number.";
    if (m.page && !PlotterSvg::pageSize(*m.page))
        return "--page needs A3, A4, A5, letter or a size such as 300x200mm.";
    if (m.margin) {
        auto v = PlotterSvg::length(*m.margin);
        if (!v || *v < 0) return "--margin needs a length such as 10mm.";
    }
    if (m.view && !PlotterSvg::view(*m.view)) return "--view needs top, front, side or camera.";
    if (m.tolerance) {
        auto v = plotter ? PlotterSvg::length(*m.tolerance) : decimalNumber(*m.tolerance);
        if (!v || !(*v >= (plotter ? PlotterSvg::kFinestTolerance : 1e-9)) || *v > 1e6)
            return plotter ? "--tolerance needs a length of at least 0.001mm."
                           : "--tolerance needs a positive number (table radii).";
    }
    if (m.point && !pointOf(*m.point))
        return "--point needs a sphere and a point number from 0 to 5, such as B:0.";
    return {};
}

int writeMade(CRotundelDoc& doc, const std::string& out, const MakingArguments& m) {
    std::string error;
    if (isMesh(out)) {
        MeshOptions o;
        if (m.tubeRadius) {
            const RadiusText r = *radiusOf(*m.tubeRadius);
            o.tubeRadius = r.units;
            o.tubeRadiusMillimetres = r.millimetres;
        }
        if (m.resolution) o.resolution = PlotterSvg::length(*m.resolution);
        o.unite = m.unite;
        o.said = [](const std::string& s) { std::cerr << "rotundel: " << s << "\n"; };
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
        if (m.point) o = *pointOf(*m.point);
        if (m.tolerance) o.tolerance = *decimalNumber(*m.tolerance);
        error = SandTrack::write(doc, o, out);
    } else {
        PlotterOptions o;
        if (m.page) std::tie(o.pageWidth, o.pageHeight) = *PlotterSvg::pageSize(*m.page);
        if (m.landscape) std::swap(o.pageWidth, o.pageHeight);
        if (m.margin) o.margin = *PlotterSvg::length(*m.margin);
        if (m.view) o.view = *PlotterSvg::view(*m.view);
        if (m.tolerance) o.tolerance = *PlotterSvg::length(*m.tolerance);
        if (o.view == PlotterOptions::View::Camera) {
            constexpr int kWidth = 640, kHeight = 480;
            CameraRig rig;
            rig.fovy = CRotundelDoc::kViewFovy;
            o.camera = rig.mono(frameSettingsOf(doc).camera, kWidth, kHeight);
#ifdef ROTUNDEL_DOCUMENT_CAMERA
            o.orientation = doc.cameraController.orientationMatrix();
#endif
        }
        error = PlotterSvg::write(doc, o, out);
    }
    if (error.empty()) return kExitOk;
    std::cerr << "rotundel: " << AutomatonReport::printable(error) << "\n";
    return kExitFileError;
}
#endif
