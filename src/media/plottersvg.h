// The point paths as a drawing for pen plotters: a page in millimetres, the
// curves projected orthographically (or through the camera) and fitted to
// the page inside its margin, one Inkscape layer per colour so that plotter
// tools change pens between layers, and in a layer one closed path per
// traced point with only as many nodes as the tolerance needs.
//
// What a plotter can draw is bounded: the curves are smoothed and thinned
// within budgets of points and nodes fixed before anything is made, and a
// page that would need more nodes is drawn at a larger tolerance (the
// drawing says so). On each layer the paths are ordered, and each closed
// path begun at the node, that keep the pen's travel between them short:
// nearest neighbour first, then 2-opt.
//
// Threads: reads the automaton; call it where the automaton may be read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "automaton.h"
#include "camerarig.h"
#include "geometry.h"
#include "polylinesimplify.h"

struct PlotterOptions {
    enum class View { Top, Front, Side, Camera };
    double pageWidth = 210, pageHeight = 297;  // millimetres
    double margin = 10;
    View view = View::Top;    // top: looking down the stationary sphere's axis
    double tolerance = 0.02;  // millimetres on the page
    double penWidth = 0.3;
    // Millimetres per automaton unit; 0: as large as the page allows.
    double scale = 0;
    // Several automata on one sheet: columns x rows cells inside the
    // margin, filled row by row, each automaton fitted to its cell.
    int columns = 1, rows = 1;
    // Points of the smoothed curves and nodes drawn, at most, on the page.
    std::size_t maxPoints = 4'000'000;
    std::size_t maxNodes = 200'000;
    // The camera view: where the camera stands and the arcball's turn.
    CameraSetup camera;
    Mat4 orientation = identityMatrix();
};

struct PlotterPath {
    std::string name;           // sphere/point
    std::vector<Point2> exact;  // the curve through the samples, on the page
    std::vector<Point2> nodes;  // what is drawn (closed: the last joins the first)
};
struct PlotterLayer {
    std::string label;  // "1 red"
    std::uint32_t colour = 0;
    std::vector<PlotterPath> paths;
};
struct PlotterDrawing {
    std::vector<PlotterLayer> layers;
    std::string error;  // why there is no drawing (a scale that does not fit the page)
    // The pen's travel with the pen up, in millimetres, from the page's
    // corner through every layer: in the order of the document, and as drawn.
    double travelBefore = 0, travelAfter = 0;
    double tolerance = 0;  // what the nodes keep to, in millimetres
    bool thinned = false;  // the tolerance had to grow to keep within maxNodes
};

class PlotterSvg {
  public:
    // Page names (A3, A4, A5, letter) or WxHmm, in millimetres, portrait.
    static std::optional<std::pair<double, double>> pageSize(const std::string& text);
    // A length with an optional unit (mm, cm, in); no unit means millimetres.
    static std::optional<double> length(const std::string& text);
    static std::optional<PlotterOptions::View> view(const std::string& text);
    // "3x1": columns by rows, each from 1 to 100.
    static std::optional<std::pair<int, int>> grid(const std::string& text);
    // The smallest tolerance the written numbers can keep to.
    static constexpr double kFinestTolerance = 0.001;

    static PlotterDrawing draw(const Automaton& a, const PlotterOptions& options);
    // Several automata on one sheet (options.columns x options.rows cells).
    static PlotterDrawing draw(const std::vector<const Automaton*>& sheet,
                               const PlotterOptions& options);
    // "" when the options make a page, otherwise one sentence.
    static std::string check(const PlotterOptions& options);
    // Returns "" on success, otherwise one sentence; *drawing (when given)
    // gets what was drawn.
    static std::string write(const std::vector<const Automaton*>& sheet,
                             const PlotterOptions& options, const std::string& path,
                             PlotterDrawing* drawing = nullptr);
    static std::string write(const Automaton& a, const PlotterOptions& options,
                             const std::string& path);
    // The pen's travel between the paths of the layers as they stand.
    static double travel(const PlotterDrawing& drawing);
    // A plain colour word for a 0x00BBGGRR colour ("red", "dark blue"...).
    static std::string colourName(std::uint32_t colour);
};
