// The export service: format by name, one option table, one check, one write.
#include "exporter.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "atomicfile.h"
#include "automatonreport.h"
#include "camerarig.h"
#include "document.h"
#include "framerenderer.h"
#include "headlessrenderer.h"
#include "imagefile.h"
#include "moviefile.h"
#include "movierecorder.h"
#include "offscreentarget.h"
#include "passstop.h"
#include "pathcsv.h"
#include "pathmesh.h"
#include "pathsvg.h"
#include "plottergcode.h"
#include "plottersvg.h"
#include "relations.h"
#include "sandtrack.h"
#include "sphere.h"
#include "spheredrawer.h"
#include "tubesizing.h"
#include "webpage.h"

namespace {

constexpr int kDefaultWidth = 640, kDefaultHeight = 480, kLargestSide = 16384;
// Ten minutes of movie: longer is a slip of the keyboard, not a film.
constexpr int kMostFrames = 10 * 60 * MovieFile::kFramesPerSecond;
// Pictures are rendered whole: the pixel count, not the side, is the limit
// that usually applies.
const std::string pixelLimit =
    ", and " + std::to_string(OffscreenTarget::kMaxPixels) + " pixels (8192 x 4096) in all";

using K = ExportKind;

// Sizes and scales: meshes take them below a million (millimetres).
std::optional<double> positiveLength(const std::string& text, bool units) {
    auto v = units ? PlotterSvg::length(text) : decimalNumber(text);
    if (!v || !(*v > 0) || *v >= 1e6) return std::nullopt;
    return v;
}

// Where an option applies, as its refusal says it.
struct Row {
    ExportOption option;
    std::string where;
};

const std::vector<Row>& rows() {
    static const std::vector<Row> table = {
        {{"tube-radius",
          "R|0.8mm|auto",
          "tube radius in automaton units, or a length at the print size; auto (the default) "
          "is 0.75% of the model's largest dimension, at least 0.6mm when a size is given",
          {K::Mesh}},
         "meshes"},
        {{"resolution",
          "0.1mm",
          "the solid's cell at the print size for STL and 3MF (default a fifth of the radius, "
          "0.05mm to 0.2mm)",
          {K::Mesh}},
         "STL and 3MF solids"},
        {{"union", "", "one part for all curves in a 3MF file", {K::Mesh}}, "3MF files"},
        {{"sides", "N", "sides of each tube of OBJ, PLY and GLB (default 7)", {K::Mesh}}, "meshes"},
        {{"max-triangles",
          "N",
          "triangles of the whole file, at most (default 1500000, 500000 for STL and 3MF); above "
          "it tubes are made coarser",
          {K::Mesh}},
         "meshes"},
        {{"size", "100mm", "scale the model so its largest dimension is that long", {K::Mesh}},
         "meshes"},
        {{"scale",
          "S|20mm",
          "or multiply every coordinate by S (millimetres per unit); plotter pages: a length "
          "per automaton unit instead of filling the page",
          {K::Mesh, K::PlotterPage, K::PenProgram}},
         "meshes and drawings for plotters"},
        {{"orient",
          "axis|document",
          "axis (the default) stands the axis info gives the curves upright, +Z (+Y in glTF), "
          "a solid resting on the bed at z = 0; document keeps the automaton's own axes",
          {K::Mesh}},
         "meshes"},
        {{"plotter",
          "",
          "a page in millimetres for pen plotters, one layer per colour (.svg), or G-code for "
          "the same page (.gcode)",
          {K::PlotterPage, K::PenProgram}},
         ".svg drawings and .gcode"},
        {{"page",
          "A4|A3|A5|letter|WxHmm",
          "the plotter's page (default A4)",
          {K::PlotterPage, K::PenProgram}},
         "drawings for plotters (--plotter)"},
        {{"landscape", "", "the page turned sideways", {K::PlotterPage, K::PenProgram}},
         "drawings for plotters (--plotter)"},
        {{"margin", "10mm", "space left free at the page's edges", {K::PlotterPage, K::PenProgram}},
         "drawings for plotters (--plotter)"},
        {{"view",
          "top|front|side|camera",
          "top looks down the stationary sphere's axis (default for plotters; pictures and "
          "movies default to the document's camera)",
          {K::PlotterPage, K::PenProgram, K::Image, K::Movie}},
         "drawings for plotters (--plotter), pictures and movies"},
        {{"tolerance",
          "T",
          "how far a plotter page may stray from the exact curve (a length, default 0.02mm) or "
          "a track (table radii, default 0.0002)",
          {K::PlotterPage, K::PenProgram, K::Track}},
         "drawings for plotters and sand-table tracks"},
        {{"grid",
          "CxR",
          "several documents on one sheet, one to a cell row by row (export a.one b.one c.one "
          "--grid 3x1)",
          {K::PlotterPage, K::PenProgram}},
         "drawings for plotters (--plotter)"},
        {{"verbose",
          "",
          "say the pen's travel before and after ordering the paths",
          {K::PlotterPage, K::PenProgram}},
         "drawings for plotters (--plotter)"},
        {{"pen-up", "CMD", "G-code lifting the pen (default \"G0 Z5\")", {K::PenProgram}},
         "G-code (.gcode --plotter)"},
        {{"pen-down", "CMD", "G-code lowering the pen (default \"G1 Z0\")", {K::PenProgram}},
         "G-code (.gcode --plotter)"},
        {{"feed", "F", "drawing speed in millimetres a minute (default 3000)", {K::PenProgram}},
         "G-code (.gcode --plotter)"},
        {{"pen-dwell",
          "MS",
          "pause after each pen move, in milliseconds, for a servo pen (G4 P in seconds, as GRBL "
          "reads it; default none)",
          {K::PenProgram}},
         "G-code (.gcode --plotter)"},
        {{"pen-change",
          "CMD",
          "G-code between layers, such as M0; without it one file per layer (OUT-1.gcode, "
          "OUT-2.gcode...)",
          {K::PenProgram}},
         "G-code (.gcode --plotter)"},
        {{"point",
          "SPHERE:N[,SPHERE:N...]|all|traced",
          "the traced points drawn (default every one; a sand-table track follows the one with "
          "the most lobes that is not a circle), all or traced for every one",
          {K::Mesh, K::Drawing, K::PlotterPage, K::PenProgram, K::Track, K::Image, K::WebPage}},
         "meshes, drawings, tracks, pictures and web pages"},
        {{"no-centres",
          "",
          "leave out the circles the spheres' centres trace",
          {K::Mesh, K::Drawing, K::PlotterPage, K::PenProgram, K::Track, K::Image, K::WebPage}},
         "meshes, drawings, tracks, pictures and web pages"},
        {{"start",
          "centre|rim",
          "where a sand-table track begins and ends (default whichever is nearer the curve)",
          {K::Track}},
         "sand-table tracks (.thr)"},
        {{"preview", "OUT.png", "a picture of what the table will draw", {K::Track}},
         "sand-table tracks (.thr)"},
        {{"width",
          "W",
          "picture width in pixels, 1 to 16384 (default 640; one side alone keeps 4:3); "
          "width x height at most 33554432 (8192 x 4096)",
          {K::Image, K::Movie}},
         "pictures and movies"},
        {{"height",
          "H",
          "picture height in pixels, 1 to 16384 (default 480; one side alone keeps 4:3)",
          {K::Image, K::Movie}},
         "pictures and movies"},
        {{"curves-only",
          "",
          "the traced curves alone, without spheres and axes",
          {K::Image, K::Movie}},
         "pictures and movies"},
        {{"frames",
          "N",
          "frames to render (default: the document's movie frame count; " +
              std::to_string(MovieFile::kFramesPerSecond) + " a second)",
          {K::Movie}},
         "movies"},
        {{"max-bytes",
          "N|2MB",
          "the web page's size at most (default 2MB); above it the curves keep fewer samples",
          {K::WebPage}},
         "web pages (.html)"},
        {{"rolling",
          "",
          "one period of the rolling animation instead of the dynamic axes and orbit",
          {K::Movie}},
         "movies"},
    };
    return table;
}

const Row* rowFor(const std::string& name) {
    for (const Row& r : rows())
        if (r.option.name == name) return &r;
    return nullptr;
}

bool hasExtension(const std::string& path, const std::string& ext) {
    return lowerExtension(path) == ext;
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
bool isSolid(const std::string& path) {
    return hasExtension(path, ".stl") || hasExtension(path, ".3mf");
}

// The curves a request draws: every traced point, or the ones named
// ("B:0,C:1"; a sphere's name may hold colons, not commas).
struct CurveChoice {
    bool every = true;
    std::vector<std::pair<std::string, int>> named;
};
std::optional<CurveChoice> curveChoice(const std::string& text) {
    CurveChoice c;
    if (text == "all" || text == "traced") return c;
    c.every = false;
    std::size_t from = 0;
    for (;;) {
        const std::size_t comma = std::min(text.find(',', from), text.size());
        const std::string one = text.substr(from, comma - from);
        auto p = one == "all" ? std::nullopt : SandTrack::point(one);
        if (!p) return std::nullopt;
        c.named.emplace_back(p->sphere, p->point);
        if (comma == text.size()) return c;
        from = comma + 1;
    }
}

// The value check of one option given for kind; "" when it is sound.
std::string checkValue(const std::string& name, const std::string& v, ExportKind kind,
                       const std::string& output) {
    if (name == "tube-radius") {
        if (!radiusOf(v))
            return "--tube-radius needs auto, a length such as 0.8mm or a positive number "
                   "below " +
                   std::to_string(static_cast<long>(PathMesh::kLargestTubeRadius)) + ".";
    } else if (name == "resolution") {
        auto r = PlotterSvg::length(v);
        if (!r || !PathMesh::acceptsTubeRadius(*r))
            return "--resolution needs a length such as 0.1mm.";
    } else if (name == "sides") {
        auto n = decimalNumber(v);
        if (!n || *n != std::floor(*n) || *n < 3 || *n > PathMesh::kMostSides)
            return "--sides needs a whole number from 3 to " +
                   std::to_string(PathMesh::kMostSides) + ".";
    } else if (name == "max-triangles") {
        auto n = decimalNumber(v);
        const std::size_t most = MeshOptions::mostTriangles(isSolid(output));
        if (!n || *n != std::floor(*n) || *n < 1 || *n > double(most))
            return "--max-triangles needs a whole number from 1 to " + std::to_string(most) +
                   " for " + (isSolid(output) ? "STL and 3MF" : "OBJ, PLY and glTF") +
                   " files, what a gigabyte of memory holds while they are made.";
    } else if (name == "size") {
        if (!positiveLength(v, true))
            return "--size needs a length above 0 and below 1000000mm, such as 100mm.";
    } else if (name == "scale") {
        // Meshes take a plain factor, plotter pages a length per unit.
        if (kind == K::Mesh ? !positiveLength(v, false) : !positiveLength(v, true))
            return kind == K::Mesh ? "--scale needs a number above 0 and below 1000000."
                                   : "--scale needs a length per automaton unit, such as 20mm.";
    } else if (name == "orient") {
        if (v != "axis" && v != "document") return "--orient needs axis or document.";
    } else if (name == "page") {
        if (!PlotterSvg::pageSize(v))
            return "--page needs A3, A4, A5, letter or a size such as 300x200mm.";
    } else if (name == "margin") {
        auto m = PlotterSvg::length(v);
        if (!m || *m < 0) return "--margin needs a length such as 10mm.";
    } else if (name == "view") {
        if (!PlotterSvg::view(v)) return "--view needs top, front, side or camera.";
    } else if (name == "tolerance") {
        const bool plotter = kind != K::Track;
        auto t = plotter ? PlotterSvg::length(v) : decimalNumber(v);
        if (!t || !(*t >= (plotter ? PlotterSvg::kFinestTolerance : SandTrack::kFinestTolerance)) ||
            *t > 1e6)
            return plotter ? "--tolerance needs a length from 0.001mm to 1000000mm."
                           : "--tolerance needs a number of table radii from 0.000001 to 1000000.";
    } else if (name == "grid") {
        if (!PlotterSvg::grid(v)) return "--grid needs columns x rows from 1 to 100, such as 3x1.";
    } else if (name == "pen-up" || name == "pen-down" || name == "pen-change") {
        // Each is copied into the program as one line of its own; only the
        // pause between layers may be left out.
        if (!PlotterGcode::oneLine(v))
            return "--" + name + " needs one line of G-code, without line breaks.";
        if (name != "pen-change" && v.empty()) return "--" + name + " needs one line of G-code.";
    } else if (name == "pen-dwell") {
        auto ms = decimalNumber(v);
        if (!ms || !(*ms >= 0) || *ms > 1000 * PlotterGcode::kLongestDwell)
            return "--pen-dwell needs a pause from 0 to 60000 milliseconds.";
    } else if (name == "feed") {
        auto f = decimalNumber(v);
        if (!f || !(*f > 0) || *f > 1e6)
            return "--feed needs a speed above 0 and up to 1000000 (millimetres a minute).";
    } else if (name == "point") {
        if (!curveChoice(v))
            return "--point needs all, traced, or spheres and point numbers from 0 to 5, such "
                   "as B:0 or B:0,C:1.";
    } else if (name == "start") {
        if (!SandTrack::start(v)) return "--start needs centre or rim.";
    } else if (name == "preview") {
        if (!hasExtension(v, ".png")) return "--preview needs a .png file.";
    } else if (name == "width" || name == "height") {
        if (!wholeNumber(v, 1, kLargestSide))
            return "--" + name + " must be a whole number of pixels from 1 to " +
                   std::to_string(kLargestSide) + pixelLimit + ".";
    } else if (name == "max-bytes") {
        const std::size_t n = WebPage::bytesOf(v), least = WebPageOptions::leastBytes();
        if (n < least || n > 1'000'000'000)
            return "--max-bytes needs a size from " + std::to_string(least) +
                   " to 1000000000 bytes, such as 2MB or 500kB.";
    } else if (name == "frames") {
        if (!wholeNumber(v, 1, kMostFrames))
            return "--frames must be a whole number from 1 to " + std::to_string(kMostFrames) +
                   " (ten minutes at " + std::to_string(MovieFile::kFramesPerSecond) +
                   " a second).";
    }
    return {};
}

// Width and height asked for: either side alone keeps the default's 4:3.
std::pair<int, int> pictureSize(const ExportRequest& r) {
    auto w = r.get("width"), h = r.get("height");
    int width = w ? *wholeNumber(*w, 1, kLargestSide) : kDefaultWidth;
    int height = h ? *wholeNumber(*h, 1, kLargestSide) : kDefaultHeight;
    auto scaled = [](int side, int to, int from) {
        return std::clamp(static_cast<int>(std::lround(side * double(to) / from)), 1, kLargestSide);
    };
    if (w && !h) height = scaled(width, kDefaultHeight, kDefaultWidth);
    if (h && !w) width = scaled(height, kDefaultWidth, kDefaultHeight);
    return {width, height};
}

std::string cannot(const std::string& action, const std::string& path, std::string why) {
    while (!why.empty() && (why.back() == '.' || why.back() == '\n')) why.pop_back();
    return "cannot " + action + " " + AutomatonReport::printable(path) + ": " + why + ".";
}

ExportResult failed(std::string error) {
    ExportResult r;
    r.error = std::move(error);
    return r;
}

ExportResult done() {
    ExportResult r;
    r.ok = true;
    return r;
}

void tell(const ExportContext& c, const std::string& message) {
    if (c.tell) c.tell(message);
}

// The first traced curve (sphere/point) with a sample that is not a
// finite number within the range every writer can hold; "" when none.
std::string farCurve(const Document& doc) {
    constexpr double kFarthest = 1e100;
    for (const Sphere* s : doc.sphereTable)
        if (s)
            for (std::size_t p = 0; p < s->points.size(); ++p)
                for (const Vec3& v : s->points[p].path)
                    if (!finiteWithin(v, kFarthest)) return s->name + "/" + std::to_string(p);
    return {};
}

std::string nameInSheet(const ExportContext& c, std::size_t i) {
    return i - 1 < c.sheetNames.size() ? c.sheetNames[i - 1]
                                       : "the automaton in cell " + std::to_string(i + 1);
}

// The paths a request leaves out (--point, --no-centres), set aside while
// it is written and put back afterwards: every writer draws the points that
// have a path, so each draws the chosen ones without a choice of its own.
class CurvesLeftOut {
  public:
    CurvesLeftOut() = default;
    CurvesLeftOut(const CurvesLeftOut&) = delete;
    CurvesLeftOut& operator=(const CurvesLeftOut&) = delete;
    ~CurvesLeftOut() {
        for (auto& [path, kept] : kept_) path->swap(kept);
    }
    // "" or why the choice draws nothing: a sphere or point it names that no
    // document of the sheet traces. A point named is drawn even when it is a
    // centre.
    std::string choose(const std::vector<Document*>& sheet, const ExportRequest& r) {
        const auto text = r.get("point");
        const bool noCentres = r.has("no-centres");
        const CurveChoice choice = text ? *curveChoice(*text) : CurveChoice{};
        std::vector<bool> found(choice.named.size(), false);
        for (Document* d : sheet)
            for (Sphere* s : d->sphereTable) {
                if (!s) continue;
                for (std::size_t i = 0; i < s->points.size(); ++i) {
                    SpherePoint& p = s->points[i];
                    if (p.path.empty()) continue;
                    bool named = false;
                    for (std::size_t k = 0; k < choice.named.size(); ++k)
                        if (choice.named[k].first == s->name &&
                            choice.named[k].second == static_cast<int>(i))
                            named = found[k] = true;
                    const bool centre = p.quantumDistance == 0;
                    const bool keep = named || (choice.every && !(noCentres && centre));
                    if (keep) continue;
                    kept_.emplace_back(&p.path, std::vector<Vec3>{});
                    kept_.back().second.swap(p.path);
                }
            }
        for (std::size_t k = 0; k < choice.named.size(); ++k) {
            if (found[k]) continue;
            const auto& [name, point] = choice.named[k];
            bool sphereFound = false;
            for (Document* d : sheet)
                for (Sphere* s : d->sphereTable)
                    sphereFound = sphereFound || (s && s->name == name);
            const std::string shown = AutomatonReport::printable(name);
            return !sphereFound ? "there is no sphere named " + shown + "."
                                : shown + " has no traced point " + std::to_string(point) + ".";
        }
        return {};
    }

  private:
    std::vector<std::pair<std::vector<Vec3>*, std::vector<Vec3>>> kept_;
};

// The camera a drawing through the document's camera is framed with.
CameraSetup documentCamera(const Document& doc, const ExportContext& c) {
    CameraRig rig;
    rig.fovy = Document::kViewFovy;
    return rig.mono(frameSettingsOf(doc).camera, c.viewWidth, c.viewHeight);
}

// The mesh options of a checked request.
MeshOptions meshOptionsOf(const ExportRequest& r) {
    MeshOptions o;
    if (auto radius = r.get("tube-radius")) {
        const RadiusText t = *radiusOf(*radius);
        o.tubeRadius = t.units;
        o.tubeRadiusMillimetres = t.millimetres;
    }
    if (auto v = r.get("resolution")) o.resolution = PlotterSvg::length(*v);
    o.unite = r.has("union");
    if (auto v = r.get("sides")) o.sides = static_cast<int>(*decimalNumber(*v));
    if (auto v = r.get("size")) o.sizeMillimetres = positiveLength(*v, true);
    if (auto v = r.get("scale")) o.scale = *positiveLength(*v, false);
    if (auto v = r.get("orient"); v && *v == "document") o.orient = MeshOptions::Orient::Document;
    if (auto v = r.get("max-triangles"))
        o.maxTriangles = static_cast<std::size_t>(*decimalNumber(*v));
    else if (isSolid(r.output))
        o.maxTriangles = MeshOptions::kDefaultSolidTriangles;
    return o;
}

ExportResult writeMesh(Document& doc, const ExportRequest& r, const ExportContext& c) {
    MeshOptions o = meshOptionsOf(r);
    o.said = [&c](const std::string& s) { tell(c, s); };
    o.warning = [&c](const std::string& w) { tell(c, "warning: " + w); };
    bool coarsened = false;
    o.coarsened = &coarsened;
    std::string error = PathMesh::write(doc, r.output, o);
    if (coarsened)
        tell(c, "note: tubes were made coarser to stay within " + std::to_string(o.maxTriangles) +
                    " triangles (--max-triangles).");
    return error.empty() ? done() : failed(AutomatonReport::printable(error));
}

// A plotter page (or G-code for it) of one document or a sheet of several.
ExportResult writePlotterPage(const std::vector<Document*>& sheet, const ExportRequest& r,
                              const ExportContext& c, bool gcode) {
    PlotterOptions o;
    if (auto v = r.get("page")) std::tie(o.pageWidth, o.pageHeight) = *PlotterSvg::pageSize(*v);
    if (r.has("landscape")) std::swap(o.pageWidth, o.pageHeight);
    if (auto v = r.get("margin")) o.margin = *PlotterSvg::length(*v);
    if (auto v = r.get("view")) o.view = *PlotterSvg::view(*v);
    if (auto v = r.get("tolerance")) o.tolerance = *PlotterSvg::length(*v);
    if (auto v = r.get("scale")) o.scale = *positiveLength(*v, true);
    if (auto v = r.get("grid")) std::tie(o.columns, o.rows) = *PlotterSvg::grid(*v);
    if (o.view == PlotterOptions::View::Camera) {
        // A sheet is seen through its first document's camera.
        o.camera = documentCamera(*sheet.front(), c);
        o.orientation = sheet.front()->cameraController.orientationMatrix();
    }
    const std::vector<const Automaton*> automata(sheet.begin(), sheet.end());
    PlotterDrawing drawing;
    std::string error;
    if (gcode) {
        GcodeOptions g;
        if (auto v = r.get("pen-up")) g.penUp = *v;
        if (auto v = r.get("pen-down")) g.penDown = *v;
        if (auto v = r.get("pen-change")) g.penChange = *v;
        if (auto v = r.get("feed")) g.feed = *decimalNumber(*v);
        if (auto v = r.get("pen-dwell")) g.dwell = *decimalNumber(*v) / 1000;
        error = PlotterGcode::write(automata, o, g, r.output, &drawing);
        if (const auto files = PlotterGcode::files(r.output, drawing, g);
            error.empty() && files.size() > 1)
            tell(c, "note: without --pen-change each layer has a file of its own: " +
                        AutomatonReport::printable(files.front()) + " to " +
                        AutomatonReport::printable(files.back()) + ".");
    } else {
        error = PlotterSvg::write(automata, o, r.output, &drawing);
    }
    if (!error.empty()) return failed(AutomatonReport::printable(error));
    char text[200];
    if (drawing.thinned) {
        // At last nodes are left out evenly, and no tolerance holds.
        std::snprintf(text, sizeof text, "; it keeps to %.3g mm", drawing.tolerance);
        tell(c, "note: the drawing was thinned to stay within " + std::to_string(o.maxNodes) +
                    " nodes, a page a plotter can draw" +
                    (std::isfinite(drawing.tolerance) ? text : "") + ".");
    }
    if (r.has("verbose")) {
        std::snprintf(text, sizeof text,
                      "pen travel %.1f mm in the document's order, %.1f mm as drawn.",
                      drawing.travelBefore, drawing.travelAfter);
        tell(c, text);
    }
    return done();
}

ExportResult writePage(const Document& doc, const ExportRequest& r, const ExportContext& c) {
    WebPageOptions o;
    o.title = WebPage::titleFor(c.documentPath);
    if (auto v = r.get("max-bytes")) o.maxBytes = WebPage::bytesOf(*v);
    o.tell = [&c](const std::string& m) { tell(c, m); };
    std::string why;
    const std::string page = WebPage::make(doc, o, &why);
    if (page.empty()) return failed(cannot("export", c.inputName, why));
    AtomicFile target(r.output);
    if (!target.open()) return failed(cannot("write", r.output, target.error()));
    target.write(page);
    return target.commit() ? done() : failed(cannot("write", r.output, target.error()));
}

ExportResult writeTrack(Document& doc, const ExportRequest& r, const ExportContext& c) {
    SandTrackOptions o;
    // The request's other points are set aside (CurvesLeftOut): one named
    // point is followed as before, every point or several in turn.
    if (auto v = r.get("point")) {
        const CurveChoice choice = *curveChoice(*v);
        if (choice.every || choice.named.size() > 1) {
            o.allPoints = true;
        } else {
            o.sphere = choice.named.front().first;
            o.point = choice.named.front().second;
        }
    }
    if (auto v = r.get("tolerance")) o.tolerance = *decimalNumber(*v);
    if (auto v = r.get("start")) o.start = *SandTrack::start(*v);
    SandTrackResult track;
    std::string error = SandTrack::write(doc, o, r.output, r.get("preview").value_or(""), &track);
    if (!error.empty()) return failed(AutomatonReport::printable(error));
    if (track.coarsened) {
        char text[240];
        std::snprintf(text, sizeof text,
                      "note: the path winds too finely to follow within %zu evaluations and %zu "
                      "lines; the track keeps to about %.3g table radii instead.",
                      o.maxEvaluations, o.maxPairs, track.tolerance);
        tell(c, text);
    }
    return done();
}

// A picture or movie seen from --view: the camera turned for the export
// and turned back afterwards, so that the window's view is as it was.
class ViewTurn {
  public:
    ViewTurn(Document& doc, const ExportRequest& r) : doc_(doc) {
        auto v = r.get("view");
        if (!v) return;
        auto orientation = Exporter::viewOrientation(*v);
        if (!orientation) return;
        saved_ = doc.cameraController.orientation();
        doc.cameraController.setOrientation(*orientation);
    }
    ~ViewTurn() {
        if (saved_) doc_.cameraController.setOrientation(*saved_);
    }
    ViewTurn(const ViewTurn&) = delete;
    ViewTurn& operator=(const ViewTurn&) = delete;

  private:
    Document& doc_;
    std::optional<unitquaternion> saved_;
};

ExportResult writeImage(Document& doc, const ExportRequest& r, const ExportContext& c) {
    ViewTurn turn(doc, r);
    const auto [width, height] = pictureSize(r);
    FrameRenderer::Options options;
    options.textures.setDocumentFolder(c.documentFolder);
    options.report = [&c](const std::string& m) { tell(c, m); };
    std::string error;
    auto renderer = HeadlessRenderer::create(options, &error);
    if (!renderer) return failed(error);
    CameraRig rig;
    rig.fovy = Document::kViewFovy;
    auto image = renderer->render(doc, frameSettingsOf(doc), rig, &doc.cameraController, width,
                                  height, &error);
    if (renderer->frames().spheres().tubesCoarsened())
        tell(c, "note: " +
                    SphereDrawer::tubeBudgetNote(SphereDrawer::pictureTubeBudget(width, height)));
    if (!image) return failed(error);
    // Encoding a large picture takes a while: not for a picture no longer
    // wanted.
    if (stopRequested()) return failed("The export was stopped.");
    if (std::string why = ImageFile::write(*image, r.output, *ImageFile::formatForPath(r.output));
        !why.empty())
        return failed(why);
    return done();
}

ExportResult writeMovie(Document& doc, const ExportRequest& r, const ExportContext& c) {
    ViewTurn turn(doc, r);
    const auto kind = *MovieFile::kindForPath(r.output);
    const auto [width, height] = pictureSize(r);
    int w = width, h = height;
    MovieFile::encodedSize(kind, width, height, &w, &h);
    if (w != width || h != height)
        tell(c, "note: MP4 and WebM frames have even sides; the movie is " + std::to_string(w) +
                    " x " + std::to_string(h) + " pixels.");
    MovieRequest request;
    request.output = r.output;
    request.frames = r.has("frames") ? *wholeNumber(*r.get("frames"), 1, kMostFrames)
                                     : std::max(1, doc.movieFrameCount);
    request.width = width;
    request.height = height;
    // An automaton where nothing else moves rolls, rather than give a movie
    // of identical frames.
    request.rolling = r.has("rolling") || (!anyDynamic(doc) && doc.viewFromStationary == 1);
    request.faintRest = c.faintRest;
    request.documentFolder = c.documentFolder;
    FrameSettings settings = frameSettingsOf(doc);
    request.camera = settings.camera;
    MovieControl control;
    control.cancel = c.cancel;
    control.progress = c.progress;
    MovieResult m = MovieRecorder::record(doc, settings, &doc.cameraController, request, control);
    if (m.tubesCoarsened)
        tell(c, "note: " +
                    SphereDrawer::tubeBudgetNote(SphereDrawer::pictureTubeBudget(width, height)));
    ExportResult result;
    result.ok = m.ok;
    result.cancelled = m.cancelled;
    result.error = m.error;
    return result;
}

}  // namespace

const char* const Exporter::kWrites =
    ".csv, .one, .svg, .obj, .ply, .stl, .glb, .3mf, .thr, .html or .gcode (with --plotter)";

ExportRequest& ExportRequest::set(const std::string& name, const std::string& value) {
    options.emplace_back(name, value);
    return *this;
}

std::optional<std::string> ExportRequest::get(const std::string& name) const {
    for (auto it = options.rbegin(); it != options.rend(); ++it)
        if (it->first == name) return it->second;
    return std::nullopt;
}

const std::vector<ExportOption>& Exporter::options() {
    static const std::vector<ExportOption> list = [] {
        std::vector<ExportOption> out;
        for (const Row& r : rows()) out.push_back(r.option);
        return out;
    }();
    return list;
}

std::optional<ExportKind> Exporter::kindOf(const ExportRequest& request) {
    const std::string& out = request.output;
    if (out.empty()) return std::nullopt;
    const std::string ext = lowerExtension(out);
    if (ext == ".csv") return K::Table;
    if (ext == ".one") return K::Automaton;
    if (ext == ".svg") return request.has("plotter") ? K::PlotterPage : K::Drawing;
    if (ext == ".thr") return K::Track;
    if (ext == ".html" || ext == ".htm") return K::WebPage;
    if (ext == ".gcode" && request.has("plotter")) return K::PenProgram;
    if (PathMesh::formatForPath(out)) return K::Mesh;
    if (ImageFile::formatForPath(out)) return K::Image;
    if (MovieFile::kindForPath(out)) return K::Movie;
    return std::nullopt;
}

bool Exporter::applies(const std::string& name, const ExportRequest& request) {
    const Row* row = rowFor(name);
    const auto kind = kindOf(request);
    if (!row || !kind) return false;
    const auto& kinds = row->option.kinds;
    // --plotter itself is what makes an .svg a plotter page.
    // So do the solids' options among meshes. (Sides are taken for a
    // solid too, which has none: a caller may ask for them before it
    // knows the file's type.)
    return name == "plotter"
               ? hasExtension(request.output, ".svg") || hasExtension(request.output, ".gcode")
           : name == "resolution" ? isSolid(request.output)
           : name == "union"      ? hasExtension(request.output, ".3mf")
                                  : std::find(kinds.begin(), kinds.end(), *kind) != kinds.end();
}

std::string Exporter::check(const ExportRequest& request) {
    const auto kind = kindOf(request);
    if (!kind && hasExtension(request.output, ".gcode"))
        return "cannot write " + AutomatonReport::printable(request.output) +
               ": G-code is written for pen plotters, with --plotter.";
    if (!kind)
        return "cannot write " + AutomatonReport::printable(request.output) + ": it writes " +
               kWrites + ", a picture (.png, .jpg, .bmp, .tif) or a movie (" +
               MovieFile::kAccepted + ").";
    for (const auto& [name, value] : request.options) {
        const Row* row = rowFor(name);
        if (!row) return "unknown option --" + AutomatonReport::printable(name) + ".";
        if (!applies(name, request)) return "--" + name + " applies only to " + row->where + ".";
        if (row->option.value.empty() && !value.empty()) return "--" + name + " takes no value.";
    }
    if (request.has("size") && request.has("scale")) return "give --size or --scale, not both.";
    for (const auto& [name, value] : request.options)
        if (std::string why = checkValue(name, value, *kind, request.output); !why.empty())
            return why;
    if (*kind == K::Image || *kind == K::Movie)
        if (auto [w, h] = pictureSize(request);
            static_cast<long long>(w) * h > OffscreenTarget::kMaxPixels)
            return std::to_string(w) + " x " + std::to_string(h) +
                   " pixels is too large: width x height may be at most " +
                   std::to_string(OffscreenTarget::kMaxPixels) + " (8192 x 4096).";
    // The picture would take the track's place.
    if (auto preview = request.get("preview"); preview && *preview == request.output)
        return "--preview needs a file of its own, not the track's.";
    return {};
}

std::string Exporter::check(const ExportRequest& request, Command command) {
    const auto kind = kindOf(request);
    const std::string out = AutomatonReport::printable(request.output);
    if (kind || !hasExtension(request.output, ".gcode")) {
        const bool picture = kind == K::Image, movie = kind == K::Movie;
        if (command == Command::Export && (!kind || picture || movie))
            return "cannot write " + out + ": an export writes " + kWrites +
                   "; pictures come from render and movies from movie.";
        if (command == Command::Render && !picture)
            return "cannot write " + out +
                   ": a picture's type is chosen by its extension, .png, .jpg, .bmp or .tif.";
        if (command == Command::Movie && !movie)
            return "cannot write " + out + ": a movie's type is chosen by its extension, " +
                   MovieFile::kAccepted + ".";
    }
    return check(request);
}

std::size_t Exporter::mostDocuments(const ExportRequest& request) {
    const auto kind = kindOf(request);
    const auto grid = request.get("grid");
    if (!kind || (*kind != K::PlotterPage && *kind != K::PenProgram) || !grid) return 1;
    const auto cells = PlotterSvg::grid(*grid);
    return cells ? static_cast<std::size_t>(cells->first) * cells->second : 1;
}

TubePreview Exporter::previewTubes(const Document& doc, const ExportRequest& request,
                                   std::optional<double> extent) {
    TubePreview p;
    if (kindOf(request) != K::Mesh) {
        p.error = "only meshes have tubes.";
        return p;
    }
    if (p.error = check(request); !p.error.empty()) return p;
    const MeshOptions o = meshOptionsOf(request);
    const TubeSizing z =
        chooseTubeSizing(doc, o, extent ? *extent : PathMesh::extent(doc, request.output, o));
    if (p.error = z.error; !p.error.empty()) return p;
    p.radius = z.radius;
    p.resolution = z.resolution;
    p.automatonRadius = z.automatonRadius();
    p.scale = z.scale;
    p.sized = z.sized;
    p.messages.push_back(z.said);
    for (const std::string& w : z.warnings) p.messages.push_back("warning: " + w);
    return p;
}

ExportResult Exporter::write(Document& doc, const ExportRequest& request,
                             const ExportContext& context) {
    return writeSheet({&doc}, request, context);
}

namespace {
ExportResult writeKind(const std::vector<Document*>& sheet, ExportKind kind,
                       const ExportRequest& request, const ExportContext& context);
}

ExportResult Exporter::writeSheet(const std::vector<Document*>& sheet, const ExportRequest& request,
                                  const ExportContext& context) {
    if (std::string why = check(request); !why.empty()) return failed(why);
    if (sheet.empty() || std::find(sheet.begin(), sheet.end(), nullptr) != sheet.end())
        return failed("there is no automaton to export.");
    if (const std::size_t most = mostDocuments(request); sheet.size() > most)
        return failed(request.has("grid")
                          ? "--grid " + AutomatonReport::printable(*request.get("grid")) +
                                " holds at most " + std::to_string(most) + " documents."
                          : std::string("several documents go on one sheet only with --grid."));
    const ExportKind kind = *kindOf(request);
    const std::string& out = request.output;
    // No long work for a file that cannot be written.
    const bool folder =
        kind == K::Movie && *MovieFile::kindForPath(out) == MovieFile::Kind::PngFolder;
    if (std::string why = folder ? WorkFolder::problem(out) : AtomicFile::problem(out);
        !why.empty())
        return failed(cannot("write", out, why));
    if (auto preview = request.get("preview"))
        if (std::string why = AtomicFile::problem(*preview); !why.empty())
            return failed(cannot("write", *preview, why));
    Document& doc = *sheet.front();
    if (kind == K::Automaton) {
        DocResult w = doc.saveDocument(out);
        return w ? done() : failed(cannot("write", out, w.why()));
    }
    // The paths of the first frame after opening (the camera fit of
    // pictures and movies takes them in); a movie then starts from the
    // dynamic angles as they were.
    const bool curvesOnly = doc.curvesOnly;
    if (kind == K::Image || kind == K::Movie) doc.curvesOnly = request.has("curves-only");
    ExportResult result;
    try {
        result = writeKind(sheet, kind, request, context);
    } catch (const std::bad_alloc&) {
        // Every budget is meant to keep the work within memory; should one
        // still fall short, the user hears it rather than see an abort.
        result = failed(cannot("write", out, "there is not enough memory for it"));
    }
    doc.curvesOnly = curvesOnly;
    return result;
}

namespace {
ExportResult writeKind(const std::vector<Document*>& sheet, ExportKind kind,
                       const ExportRequest& request, const ExportContext& context) {
    const std::string& out = request.output;
    Document& doc = *sheet.front();
    for (Document* d : sheet)
        if (!context.pathsReady && !d->pathsUpToDate) {
            // No output needs the curves' invariants: they would cost as
            // much again as the paths on a long chain.
            PathPassResult pass = d->step({}, false);
            for (const Sphere* s : pass.coarsened)
                tell(context, "note: the paths of " + AutomatonReport::printable(s->name) +
                                  " were sampled more coarsely to stay within " +
                                  std::to_string(d->sampleBudget) + " samples.");
            if (kind == K::Movie) d->rewindDynamics();
        }
    // Curves whose sizes multiply past what doubles hold (a chain of huge
    // radius factors) have lost their positions to overflow: nothing true
    // can be written of them.
    for (std::size_t i = 0; i < sheet.size(); ++i)
        if (std::string curve = farCurve(*sheet[i]); !curve.empty())
            return failed(
                cannot("export", i == 0 ? context.inputName : nameInSheet(context, i),
                       "the curve of " + AutomatonReport::printable(curve) +
                           " reaches positions too large to compute (beyond 1e100 units), as its "
                           "spheres' sizes multiply past what numbers hold"));
    // Curves left out of this output (--point, --no-centres) are set aside
    // while it is written and put back afterwards.
    CurvesLeftOut leftOut;
    if (Exporter::applies("point", request))
        if (std::string why = leftOut.choose(sheet, request); !why.empty()) return failed(why);
    // Every document of a sheet has something to draw in its cell.
    const Document* silent = nullptr;
    std::string silentName = context.inputName;
    if (kind != K::Image && kind != K::Movie)
        for (std::size_t i = 0; i < sheet.size() && !silent; ++i)
            if (!PathCsv::nothingTraced(*sheet[i]).empty()) {
                silent = sheet[i];
                if (i > 0) silentName = nameInSheet(context, i);
            }
    ExportResult result;
    if (silent && (request.has("point") || request.has("no-centres"))) {
        result = failed(cannot("export", silentName,
                               "the points chosen (--point, --no-centres) leave no path to draw"));
    } else if (silent) {
        result = failed(cannot("export", silentName, PathCsv::nothingTraced(*silent)));
    } else if (kind == K::Table) {
        AtomicFile target(out);
        if (!target.open()) {
            result = failed(cannot("write", out, target.error()));
        } else {
            PathCsv::write(doc, [&target](std::string_view text) { target.write(text); });
            // A stop that came while the rows were made: no file, and said.
            if (stopRequested())
                result = failed("The export was stopped.");
            else
                result = target.commit() ? done() : failed(cannot("write", out, target.error()));
        }
    } else if (kind == K::Drawing) {
        std::string error = PathSvg::write(doc, documentCamera(doc, context),
                                           doc.cameraController.orientationMatrix(),
                                           context.viewWidth, context.viewHeight, out);
        result = error.empty() ? done() : failed(error);
    } else if (kind == K::PlotterPage || kind == K::PenProgram) {
        result = writePlotterPage(sheet, request, context, kind == K::PenProgram);
    } else if (kind == K::Mesh) {
        result = writeMesh(doc, request, context);
    } else if (kind == K::Track) {
        result = writeTrack(doc, request, context);
    } else if (kind == K::WebPage) {
        result = writePage(doc, request, context);
    } else if (kind == K::Image) {
        result = writeImage(doc, request, context);
    } else {
        result = writeMovie(doc, request, context);
    }
    return result;
}
}  // namespace

// The arcball orientations that show the automaton as a plotter page's
// views do: top down the axis (x right, y up), front (x right, z up) and
// side (y right, z up); none for the document's own camera.
std::optional<unitquaternion> Exporter::viewOrientation(const std::string& view) {
    const auto v = PlotterSvg::view(view);
    if (!v) return std::nullopt;
    constexpr double kQuarter = 1.5707963267948966;
    switch (*v) {
        case PlotterOptions::View::Top:
            return unitquaternion(0, {1, 0, 0});
        case PlotterOptions::View::Front:
            return unitquaternion(kQuarter, {1, 0, 0});
        case PlotterOptions::View::Side: {
            unitquaternion q(kQuarter, {0, 0, 1});
            q *= unitquaternion(kQuarter, {1, 0, 0});
            return q;
        }
        case PlotterOptions::View::Camera:
            break;
    }
    return std::nullopt;
}

std::string Exporter::formatHelp() {
    std::string out =
        "  .csv   the sampled positions, one row per sample\n"
        "  .one   the automaton itself (save as)\n"
        "  .svg   the paths projected through the document's camera, one path per point\n";
    for (const auto& f : PathMesh::formats()) {
        std::string ext = f.extension;
        out += "  " + ext + std::string(6 - ext.size(), ' ') + " " + f.description + "\n";
    }
    out +=
        "  .thr   a sand-table track: theta (radians, continuous) and rho (0 at the centre,\n"
        "         1 at the farthest point) of traced points seen from above, beginning and\n"
        "         ending at the centre or the rim\n"
        "  .html  an interactive web page: the curves and spheres to turn, zoom and roll,\n"
        "         with what info says of each curve; one file, nothing fetched\n"
        "  .gcode with --plotter: the plotter page as G-code, in millimetres from the page's\n"
        "         lower left corner\n"
        "With --plotter, .svg is a page in millimetres, one layer per colour, for pen\n"
        "plotters.\n"
        "Meshes hold one closed tube per traced point, named sphere/point, in its sphere's\n"
        "colour (STL has no colours).\n";
    return out;
}

std::string lowerExtension(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

std::optional<double> decimalNumber(const std::string& text) {
    double v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<int> wholeNumber(const std::string& text, int least, int most) {
    int v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < least || v > most)
        return std::nullopt;
    return v;
}
