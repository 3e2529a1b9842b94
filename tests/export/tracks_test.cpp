// Sand-table tracks and plotter programs checked as their machines would
// use them: tracks that begin and end at the centre or the rim and keep to
// the curve (measured against the same automaton sampled far more densely
// by the path pass, not by the track's own evaluation), and G-code that
// draws what the SVG of the same page draws.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <cmath>
#include <fstream>
#include <map>
#include <numbers>
#include <set>
#include <sstream>
#include <unordered_map>

#include "chaindocument.h"
#include "commandtest.h"
#include "curvedesign.h"
#include "document.h"
#include "plottersvg.h"
#include "sandtrack.h"
#include "sphere.h"

namespace {
constexpr double kPi = std::numbers::pi;

std::string example(const std::string& name) {
    return std::string(ROTUNDEL_EXAMPLES) + "/" + name;
}

// An example file or a random automaton, sampled at a step of `finer`
// times the document's own.
void load(Document& doc, const std::string& source, double finer) {
    if (source.starts_with("seed ")) {
        ASSERT_TRUE(makeChainDocument(doc, randomChain(std::stoull(source.substr(5)))));
    } else {
        ASSERT_TRUE(doc.openDocument(example(source)).ok);
    }
    doc.pathStep /= finer;
    doc.sampleBudget = 60'000'000;
    PathPassResult pass = doc.step();
    ASSERT_TRUE(pass.coarsened.empty()) << "the dense evaluation was coarsened";
}

// Segments in a grid of square cells, for "how near is the closest".
class SegmentGrid {
  public:
    SegmentGrid(const std::vector<Point2>& line, double cell) : line_(line), cell_(cell) {
        for (std::size_t k = 0; k + 1 < line.size(); ++k) {
            const Point2 a = line[k], b = line[k + 1];
            for (long x = key(std::min(a.x, b.x)); x <= key(std::max(a.x, b.x)); ++x)
                for (long y = key(std::min(a.y, b.y)); y <= key(std::max(a.y, b.y)); ++y)
                    cells_[pack(x, y)].push_back(k);
        }
    }
    // The distance of p from the line, when it is within a cell; else a cell.
    double distance(Point2 p) const {
        double best = cell_;
        for (long x = key(p.x) - 1; x <= key(p.x) + 1; ++x)
            for (long y = key(p.y) - 1; y <= key(p.y) + 1; ++y) {
                auto it = cells_.find(pack(x, y));
                if (it == cells_.end()) continue;
                for (std::size_t k : it->second)
                    best = std::min(best, segmentDistance(p, line_[k], line_[k + 1]));
            }
        return best;
    }

  private:
    long key(double v) const { return static_cast<long>(std::floor(v / cell_)); }
    static long long pack(long x, long y) {
        return (static_cast<long long>(x) << 32) ^ (y & 0xffffffff);
    }
    const std::vector<Point2>& line_;
    double cell_;
    std::unordered_map<long long, std::vector<std::size_t>> cells_;
};

// What the table draws from pair to pair (theta and rho changing
// together), as chords that stray from it by far less than any tolerance.
std::vector<Point2> drawn(const std::vector<ThetaRho>& t, std::size_t first, std::size_t last,
                          double sag) {
    std::vector<Point2> line;
    for (std::size_t k = first; k < last; ++k) {
        const ThetaRho p = t[k], q = t[k + 1];
        const double steps = std::ceil(std::max(
            1.0, std::abs(q.theta - p.theta) * std::sqrt(std::max(p.rho, q.rho) / (8 * sag))));
        for (double m = 0; m < steps; ++m) {
            const double s = m / steps;
            const double th = p.theta + s * (q.theta - p.theta), r = p.rho + s * (q.rho - p.rho);
            line.push_back({r * std::cos(th), r * std::sin(th)});
        }
    }
    line.push_back({t[last].rho * std::cos(t[last].theta), t[last].rho * std::sin(t[last].theta)});
    return line;
}

// How far the track's first path lies from the curve of the same point
// sampled `finer` times as densely by the path pass, both ways (or only the
// curve from the track), and the farthest that curve reaches, in table radii.
struct Distances {
    double curveToTrack = 0, trackToCurve = 0, farthest = 0;
};
Distances measure(const SandTrackResult& r, const std::string& source, double finer = 400,
                  bool both = true) {
    Distances d;
    Document dense;
    load(dense, source, finer);
    EXPECT_EQ(r.paths.size(), 1u);
    const std::string& name = r.paths[0].name;
    const std::string sphere = name.substr(0, name.rfind('/'));
    const int point = std::stoi(name.substr(name.rfind('/') + 1));
    const std::vector<Vec3>* samples = nullptr;
    for (const Sphere* s : dense.sphereTable)
        if (s && s->name == sphere) samples = &s->points[static_cast<std::size_t>(point)].path;
    EXPECT_TRUE(samples && samples->size() > 100);
    if (!samples || samples->empty()) return d;
    std::vector<Point2> curve;
    for (const Vec3& p : *samples)
        curve.push_back({p.x / r.unitsPerRadius, p.y / r.unitsPerRadius});
    curve.push_back(curve.front());
    const std::vector<Point2> track =
        drawn(r.pairs, r.paths[0].first, r.paths[0].last, r.tolerance / 2000);
    // Cells larger than the distances that matter, so a point's own cell
    // and its neighbours hold every segment that could be near enough.
    const double cell = std::max(0.01, 1.5 * r.tolerance);
    const SegmentGrid trackGrid(track, cell);
    for (const Point2& p : curve) {
        d.curveToTrack = std::max(d.curveToTrack, trackGrid.distance(p));
        d.farthest = std::max(d.farthest, std::hypot(p.x, p.y));
    }
    if (!both) return d;
    const SegmentGrid curveGrid(curve, cell);
    for (const Point2& p : track) d.trackToCurve = std::max(d.trackToCurve, curveGrid.distance(p));
    return d;
}
}  // namespace

TEST(SandTracks, BeginAtCentreOrRimAndKeepToTheDenselySampledCurve) {
    std::vector<std::string> sources = {"anaglyph.one",
                                        "chain.one",
                                        "deep-chain.one",
                                        "dynamic-axes.one",
                                        "dynamic.one",
                                        "epicycles.one",
                                        "epicycloid.one",
                                        "flower.one",
                                        "hypocycloid.one",
                                        "long-period.one",
                                        "many-points.one",
                                        "references.one",
                                        "rolling-inside.one",
                                        "siblings.one",
                                        "starter.one",
                                        "stationary-leaf.one",
                                        "tilted-chain.one",
                                        "seed 1",
                                        "seed 2",
                                        "seed 3",
                                        "seed 5",
                                        "seed 6"};
    int row = 0;
    for (const std::string& source : sources) {
        SCOPED_TRACE(source);
        Document doc;
        load(doc, source, 1);
        SandTrackOptions o;
        // Every third row begins at the centre, the others where nearer.
        if (++row % 3 == 0) o.start = SandTrackOptions::Start::Centre;
        SandTrackResult r = SandTrack::track(doc, o);
        if (r.pairs.empty()) {
            EXPECT_FALSE(r.error.empty());
            continue;
        }
        ASSERT_FALSE(r.coarsened);
        const auto& t = r.pairs;
        for (double rho : {t.front().rho, t.back().rho}) EXPECT_TRUE(rho == 0 || rho == 1) << rho;
        if (o.start == SandTrackOptions::Start::Centre) EXPECT_EQ(t.front().rho, 0);
        for (std::size_t k = 1; k < t.size(); ++k)
            ASSERT_LE(std::abs(t[k].theta - t[k - 1].theta), kPi / 4) << k;

        const Distances d = measure(r, source);
        EXPECT_LE(d.curveToTrack, o.tolerance);
        // The dense samples' chords cut corners by a little themselves.
        EXPECT_LE(d.trackToCurve, o.tolerance + 2e-5);
        EXPECT_NEAR(d.farthest, 1, o.tolerance);
    }
}

namespace {
class PenPrograms : public CommandTest {
  protected:
    PenPrograms() : CommandTest("rotundel-pen", "export") {}
};

// The paths of an SVG page in order: each path's nodes, in millimetres.
std::vector<std::vector<Point2>> svgPaths(const fs::path& file, int* layers) {
    QFile f(QString::fromStdString(file.string()));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&f);
    std::vector<std::vector<Point2>> paths;
    const QRegularExpression node(R"(([-\d.]+),([-\d.]+))");
    *layers = 0;
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"g") {
            ++*layers;
        } else if (xml.isStartElement() && xml.name() == u"path") {
            paths.emplace_back();
            auto it = node.globalMatch(xml.attributes().value("d").toString());
            while (it.hasNext()) {
                auto m = it.next();
                paths.back().push_back({m.captured(1).toDouble(), m.captured(2).toDouble()});
            }
        }
    return paths;
}

// What a machine draws from G-code: the polylines between pen-down and
// pen-up, in the page's coordinates (y down), checking on the way that the
// pen goes down and up in turn, draws only when down and stays on the page,
// that a feed is set before the first G1 (GRBL refuses one without), and
// that a dwell follows every pen move when one is asked for.
struct Drawn {
    std::vector<std::vector<Point2>> lines;
    int downs = 0, ups = 0, pauses = 0, dwells = 0;
};
void readGcode(const fs::path& file, double width, double height, Drawn& d,
               const std::string& dwell = "") {
    std::ifstream in(file);
    ASSERT_TRUE(in) << file;
    bool down = false, fed = false, penMoved = false;
    Point2 at{0, 0};
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == ';') continue;
        if (penMoved && !dwell.empty()) {
            ASSERT_EQ(line, "G4 P" + dwell) << "no dwell";
            penMoved = false, ++d.dwells;
            continue;
        }
        ASSERT_NE(line.rfind("G4", 0), 0u) << "a dwell not asked for";
        if (line.rfind("G1 F", 0) == 0) {
            fed = true;
            continue;
        }
        if (line.rfind("G1", 0) == 0) {
            ASSERT_TRUE(fed) << "a G1 before any feed: " << line;
        }
        if (line == "G1 Z0") {
            ASSERT_FALSE(down) << "the pen went down twice";
            down = true, ++d.downs, penMoved = true;
            d.lines.push_back({at});
            continue;
        }
        if (line == "G0 Z5") {
            ASSERT_TRUE(!down || d.downs > 0);
            down = false, ++d.ups, penMoved = true;
            continue;
        }
        if (line == "M0") {
            ASSERT_FALSE(down) << "a pause with the pen down";
            ++d.pauses;
            continue;
        }
        std::istringstream words(line);
        std::string code, x, y;
        words >> code;
        if (code == "G21" || code == "G90") continue;
        ASSERT_TRUE(words >> x >> y) << line;
        ASSERT_EQ(x[0], 'X');
        ASSERT_EQ(y[0], 'Y');
        at = {std::stod(x.substr(1)), height - std::stod(y.substr(1))};
        EXPECT_TRUE(at.x >= 0 && at.x <= width && at.y >= 0 && at.y <= height) << line;
        if (code == "G1") {
            ASSERT_TRUE(down) << "drawing with the pen up: " << line;
            d.lines.back().push_back(at);
        } else {
            ASSERT_EQ(code, "G0");
            ASSERT_FALSE(down) << "travel with the pen down: " << line;
        }
    }
    EXPECT_FALSE(down) << "the program ends with the pen down";
    EXPECT_FALSE(penMoved && !dwell.empty()) << "no dwell after the last pen move";
}
}  // namespace

TEST_F(PenPrograms, GcodeDrawsWhatTheSvgOfTheSamePageDraws) {
    struct Case {
        const char* document;
        std::string options, gcode;
        double width, height;
        bool perLayer;  // one file a layer, or one file with pauses
    } cases[] = {
        {"flower.one", "", "--pen-change M0", 210, 297, false},
        {"epicycles.one", "--page A3 --landscape --view front", "--pen-change M0 --feed 1200", 420,
         297, false},
        {"siblings.one", "--page 300x200mm --tolerance 0.1mm", "", 300, 200, true},
        {"flower.one", "", "--pen-change M0 --pen-dwell 150", 210, 297, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.document) + " " + c.options);
        fs::remove(dir / "page.gcode");
        const std::string doc = quote(example(c.document));
        ASSERT_EQ(
            run(doc + " -o " + quote((dir / "page.svg").string()) + " --plotter " + c.options), 0)
            << err;
        ASSERT_EQ(run(doc + " -o " + quote((dir / "page.gcode").string()) + " --plotter " +
                      c.options + " " + c.gcode),
                  0)
            << err;
        int layers = 0;
        const auto svg = svgPaths(dir / "page.svg", &layers);
        ASSERT_GE(layers, 1);
        Drawn d;
        const std::string dwell =
            c.gcode.find("--pen-dwell 150") != std::string::npos ? "0.15" : "";
        if (!c.perLayer) {
            readGcode(dir / "page.gcode", c.width, c.height, d, dwell);
            EXPECT_EQ(d.pauses, layers - 1);
        } else {
            EXPECT_FALSE(fs::exists(dir / "page.gcode"));
            for (int f = 1; f <= layers; ++f)
                readGcode(dir / ("page-" + std::to_string(f) + ".gcode"), c.width, c.height, d);
            EXPECT_FALSE(fs::exists(dir / ("page-" + std::to_string(layers + 1) + ".gcode")));
        }
        EXPECT_EQ(d.downs, static_cast<int>(svg.size()));
        // One more lift at the start of each file.
        EXPECT_EQ(d.ups, d.downs + (c.perLayer ? layers : 1));
        EXPECT_EQ(d.dwells, dwell.empty() ? 0 : d.ups + d.downs);
        ASSERT_EQ(d.lines.size(), svg.size());
        for (std::size_t p = 0; p < svg.size(); ++p) {
            // The SVG's path closes on its first node; the G-code draws back to it.
            ASSERT_EQ(d.lines[p].size(), svg[p].size() + 1) << p;
            for (std::size_t k = 0; k < d.lines[p].size(); ++k) {
                const Point2 a = d.lines[p][k], b = svg[p][k % svg[p].size()];
                ASSERT_LE(std::hypot(a.x - b.x, a.y - b.y), 2e-4) << p << " " << k;
            }
        }
    }
}

TEST(PenTravel, OrderedPathsTravelLessAndStillDrawEveryPath) {
    Document doc;
    ASSERT_TRUE(doc.openDocument(example("flower.one")).ok);
    doc.step();
    const PlotterDrawing d = PlotterSvg::draw(doc, PlotterOptions{});
    EXPECT_LT(d.travelAfter, 0.8 * d.travelBefore);
    // Measured again from the paths as they now stand.
    double travel = 0;
    Point2 pen{0, 0};
    std::size_t paths = 0;
    for (const PlotterLayer& l : d.layers)
        for (const PlotterPath& p : l.paths) {
            travel += std::hypot(p.nodes[0].x - pen.x, p.nodes[0].y - pen.y);
            pen = p.nodes[0];
            ++paths;
        }
    EXPECT_NEAR(travel, d.travelAfter, 1e-9);
    EXPECT_EQ(paths, 6u);
}

TEST(PlotterScale, FixedScaleDrawsAtThatSizeOrSaysItDoesNotFit) {
    Document doc;
    ASSERT_TRUE(doc.openDocument(example("epicycles.one")).ok);
    doc.step();
    auto extent = [](const PlotterDrawing& d) {
        double x0 = INFINITY, x1 = -INFINITY;
        for (const PlotterLayer& l : d.layers)
            for (const PlotterPath& p : l.paths)
                for (const Point2& q : p.exact) x0 = std::min(x0, q.x), x1 = std::max(x1, q.x);
        return x1 - x0;
    };
    // Seen from above, x on the page is the automaton's x.
    double units = 0;
    for (const Sphere* s : doc.sphereTable)
        if (s)
            for (const SpherePoint& p : s->points)
                for (const Vec3& q : p.path) units = std::max(units, std::abs(q.x));
    PlotterOptions o;
    o.scale = 5;
    const PlotterDrawing small = PlotterSvg::draw(doc, o);
    ASSERT_TRUE(small.error.empty()) << small.error;
    EXPECT_NEAR(extent(small), 5 * 2 * units, 5 * 2 * units * 0.01);
    o.scale = 500;
    const PlotterDrawing large = PlotterSvg::draw(doc, o);
    EXPECT_TRUE(large.layers.empty());
    EXPECT_NE(large.error.find("more than"), std::string::npos) << large.error;
}

TEST_F(PenPrograms, SheetsTracksAndTheirOptions) {
    const std::string flower = quote(example("flower.one")),
                      epicycles = quote(example("epicycles.one")),
                      siblings = quote(example("siblings.one"));
    // Three documents in three cells across an A4 page inside 10 mm margins.
    ASSERT_EQ(run(flower + " " + epicycles + " " + siblings + " -o " +
                  quote((dir / "sheet.svg").string()) + " --plotter --grid 3x1 --verbose"),
              0)
        << err;
    EXPECT_NE(err.find("pen travel"), std::string::npos) << err;
    {
        QFile f(QString::fromStdString((dir / "sheet.svg").string()));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&f);
        const QRegularExpression node(R"(([-\d.]+),[-\d.]+)");
        std::set<int> cells;
        while (!xml.atEnd())
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"path") {
                const int cell =
                    xml.attributes().value("inkscape:label").toString().section(':', 0, 0).toInt();
                cells.insert(cell);
                auto it = node.globalMatch(xml.attributes().value("d").toString());
                while (it.hasNext()) {
                    const double x = it.next().captured(1).toDouble();
                    EXPECT_GE(x, 10 + (cell - 1) * 190.0 / 3 - 1e-3);
                    EXPECT_LE(x, 10 + cell * 190.0 / 3 + 1e-3);
                }
            }
        EXPECT_EQ(cells, (std::set<int>{1, 2, 3}));
    }
    ASSERT_EQ(run(flower + " -o " + quote((dir / "t.thr").string()) +
                  " --point all --start centre" + " --preview " + quote((dir / "t.png").string())),
              0)
        << err;
    EXPECT_GT(fs::file_size(dir / "t.png"), 1000u);
    {
        std::ifstream in(dir / "t.thr");
        std::vector<double> rho;
        for (std::string line; std::getline(in, line);)
            if (!line.empty() && line[0] != '#')
                rho.push_back(std::stod(line.substr(line.find(' '))));
        ASSERT_GT(rho.size(), 6u);
        EXPECT_EQ(rho.front(), 0);
        EXPECT_EQ(rho.back(), 0);
        // Six paths joined through the centre: each comes back to it.
        int atCentre = 0;
        for (std::size_t k = 1; k < rho.size(); ++k) atCentre += rho[k] == 0 && rho[k - 1] > 0;
        EXPECT_EQ(atCentre, 6);
    }
    struct Refused {
        std::string args;
        std::string mentions;
    } refused[] = {
        {flower + " -o x.svg --plotter --scale 200mm", "more than"},
        {flower + " -o x.thr --start middle", "--start"},
        {flower + " -o x.thr --preview x.jpg", "--preview"},
        {flower + " -o x.svg --plotter --pen-up G0", "--pen-up"},
        {flower + " -o x.gcode --plotter --feed 0", "--feed"},
        {flower + " -o x.gcode", "cannot write"},
        {flower + " -o x.svg --plotter --grid 0x2", "--grid"},
        {flower + " " + siblings + " -o x.svg --plotter", "one input file"},
        {flower + " " + siblings + " " + siblings + " -o x.svg --plotter --grid 2x1", "at most 2"},
        {flower + " -o x.thr --tolerance 0.0000001", "--tolerance"},
        // A command of several lines would put the second among the moves.
        {flower + " -o x.gcode --plotter --pen-up " + quote("G0 Z5\nG1 Z0"), "line breaks"},
        {flower + " -o x.gcode --plotter --pen-down " + quote("M3\rS90"), "line breaks"},
        {flower + " -o x.gcode --plotter --pen-down " + quote("M3\vS90"), "line breaks"},
        {flower + " -o x.gcode --plotter --pen-change " + quote("M0\xe2\x80\xa8M3"), "line breaks"},
        {flower + " -o x.gcode --plotter --pen-dwell -5", "--pen-dwell"},
        {flower + " -o x.svg --plotter --pen-dwell 100", "--pen-dwell"},
    };
    for (const Refused& r : refused) {
        SCOPED_TRACE(r.args);
        const int status = run(r.args);
        EXPECT_NE(status, 0);
        if (r.mentions == "line breaks") {
            EXPECT_EQ(status, 2);  // a usage error
        }
        EXPECT_NE(err.find(r.mentions), std::string::npos) << err;
    }
}

TEST(Budgets, PagesAndTracksStayWithinTheirBudgetsAndSaySo) {
    Document flower, longPeriod;
    load(flower, "flower.one", 1);
    load(longPeriod, "long-period.one", 1);
    struct Page {
        std::size_t maxNodes, maxPoints;
        bool thinned;
    } pages[] = {{200'000, 4'000'000, false}, {200, 4'000'000, true}, {200'000, 500, false}};
    for (const Page& p : pages) {
        SCOPED_TRACE(p.maxNodes);
        PlotterOptions o;
        o.maxNodes = p.maxNodes;
        o.maxPoints = p.maxPoints;
        const PlotterDrawing d = PlotterSvg::draw(flower, o);
        std::size_t nodes = 0, exact = 0;
        for (const PlotterLayer& l : d.layers)
            for (const PlotterPath& path : l.paths)
                nodes += path.nodes.size(), exact += path.exact.size();
        EXPECT_LE(nodes, p.maxNodes);
        EXPECT_LE(exact, std::max<std::size_t>(p.maxPoints, 6 * 156));
        EXPECT_EQ(d.thinned, p.thinned);
        EXPECT_EQ(d.tolerance > o.tolerance, p.thinned);
    }
    struct Track {
        std::size_t maxEvaluations, maxPairs;
        bool coarsened;
    } tracks[] = {{2'000'000, 250'000, false}, {20'000, 250'000, true}, {2'000'000, 2'000, true}};
    for (const Track& t : tracks) {
        SCOPED_TRACE(t.maxEvaluations);
        SandTrackOptions o;
        o.maxEvaluations = t.maxEvaluations;
        o.maxPairs = t.maxPairs;
        const SandTrackResult r = SandTrack::track(longPeriod, o);
        ASSERT_FALSE(r.pairs.empty()) << r.error;
        EXPECT_LE(r.pairs.size(), t.maxPairs);
        EXPECT_EQ(r.coarsened, t.coarsened);
        EXPECT_EQ(r.tolerance > o.tolerance, t.coarsened);
        // A coarser track keeps to the tolerance it says.
        if (t.coarsened) {
            EXPECT_LE(measure(r, "long-period.one", 40, false).curveToTrack, r.tolerance);
        }
    }
}

// By default a track follows the point info gives the most lobes that is
// not a circle, and says so in a # line; a track that begins at the rim
// begins on its path, which touches the rim, with no turn along it first.
TEST(SandTracks, FollowTheMostLobedCurveNameItAndTakeNoTurnToTheRim) {
    const struct Case {
        const char* source;
        const char* point;  // as info counts the lobes
    } cases[] = {
        {"deep-chain.one", "K:0"},   // 31 lobes, E:0 19
        {"many-points.one", "B:1"},  // A:0 is a circle
        {"epicycles.one", "C:1"},    // 12 lobes
        {"flower.one", nullptr},
        {"long-period.one", nullptr},
        {"tilted-chain.one", nullptr},
    };
    const fs::path dir = fs::temp_directory_path() / ("rotundel-named-" + std::to_string(getpid()));
    fs::create_directories(dir);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        Document doc;
        load(doc, c.source, 1);
        SandTrackOptions o;
        o.start = SandTrackOptions::Start::Rim;
        SandTrackResult r;
        const fs::path file = dir / "named.thr";
        ASSERT_EQ(SandTrack::write(doc, o, file.string(), {}, &r), "");
        ASSERT_EQ(r.paths.size(), 1u);
        EXPECT_EQ(r.paths[0].first, 0u);
        EXPECT_EQ(r.paths[0].last, r.pairs.size() - 1);
        std::ifstream in(file);
        std::string header, named;
        std::getline(in, header);
        std::getline(in, named);
        std::string expected = r.paths[0].name;
        expected[expected.rfind('/')] = ':';
        EXPECT_EQ(named, "# point " + expected);
        if (c.point) {
            EXPECT_EQ(expected, c.point);
        }
    }
    fs::remove_all(dir);
}
