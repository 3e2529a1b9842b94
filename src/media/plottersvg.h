// The point paths as a drawing for pen plotters: a page in millimetres, the
// curves projected orthographically (or through the camera) and fitted to
// the page inside its margin, one Inkscape layer per colour so that plotter
// tools change pens between layers, and in a layer one closed path per
// traced point with only as many nodes as the tolerance needs.
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
};

class PlotterSvg {
  public:
    // Page names (A3, A4, A5, letter) or WxHmm, in millimetres, portrait.
    static std::optional<std::pair<double, double>> pageSize(const std::string& text);
    // A length with an optional unit (mm, cm, in); no unit means millimetres.
    static std::optional<double> length(const std::string& text);
    static std::optional<PlotterOptions::View> view(const std::string& text);
    // The smallest tolerance the written numbers can keep to.
    static constexpr double kFinestTolerance = 0.001;

    static PlotterDrawing draw(const Automaton& a, const PlotterOptions& options);
    // Returns "" on success, otherwise one sentence.
    static std::string write(const Automaton& a, const PlotterOptions& options,
                             const std::string& path);
    // A plain colour word for a 0x00BBGGRR colour ("red", "dark blue"...).
    static std::string colourName(std::uint32_t colour);
};
