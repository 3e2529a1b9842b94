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
#include <sstream>
#include <unordered_map>

#include "chaindocument.h"
#include "commandtest.h"
#include "crotundeldoc.h"
#include "curvedesign.h"
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
void load(CRotundelDoc& doc, const std::string& source, double finer) {
    if (source.starts_with("seed ")) {
        ASSERT_TRUE(makeChainDocument(doc, randomChain(std::stoull(source.substr(5)))));
    } else {
        ASSERT_TRUE(doc.OpenDocument(example(source)).ok);
    }
    doc.pathStep /= finer;
    doc.sampleBudget = 60'000'000;
    PathPassResult pass = doc.Step();
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
    static long long pack(long x, long y) { return (static_cast<long long>(x) << 32) ^ (y & 0xffffffff); }
    const std::vector<Point2>& line_;
    double cell_;
    std::unordered_map<long long, std::vector<std::size_t>> cells_;
};

// What the table draws from pair to pair (theta and rho changing
// together), as chords that stray from it by far less than any tolerance.
std::vector<Point2> drawn(const std::vector<ThetaRho>& t, std::size_t first, std::size_t last) {
    std::vector<Point2> line;
    for (std::size_t k = first; k < last; ++k) {
        const ThetaRho p = t[k], q = t[k + 1];
        const double steps = std::ceil(
            std::max(1.0, std::abs(q.theta - p.theta) * std::sqrt(std::max(p.rho, q.rho) / 8e-7)));
        for (double m = 0; m < steps; ++m) {
            const double s = m / steps;
            const double th = p.theta + s * (q.theta - p.theta), r = p.rho + s * (q.rho - p.rho);
            line.push_back({r * std::cos(th), r * std::sin(th)});
        }
    }
    line.push_back({t[last].rho * std::cos(t[last].theta), t[last].rho * std::sin(t[last].theta)});
    return line;
}
}  // namespace

TEST(SandTracks, BeginAtCentreOrRimAndKeepToTheDenselySampledCurve) {
    std::vector<std::string> sources = {
        "anaglyph.one",     "chain.one",           "deep-chain.one", "dynamic-axes.one",
        "dynamic.one",      "epicycles.one",       "epicycloid.one", "flower.one",
        "hypocycloid.one",  "long-period.one",     "many-points.one", "references.one",
        "rolling-inside.one", "siblings.one",      "starter.one",    "stationary-leaf.one",
        "tilted-chain.one", "seed 1",              "seed 2",         "seed 3",
        "seed 5",           "seed 6"};
    int row = 0;
    for (const std::string& source : sources) {
        SCOPED_TRACE(source);
        CRotundelDoc doc;
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

        // The same point, sampled 400 times as densely by the path pass.
        CRotundelDoc dense;
        load(dense, source, 400);
        ASSERT_EQ(r.paths.size(), 1u);
        const std::string& name = r.paths[0].name;
        const std::string sphere = name.substr(0, name.rfind('/'));
        const int point = std::stoi(name.substr(name.rfind('/') + 1));
        const std::vector<Vec3>* samples = nullptr;
        for (const Sphere* s : dense.sphereTable)
            if (s && s->name == sphere) samples = &s->points[static_cast<std::size_t>(point)].path;
        ASSERT_TRUE(samples && samples->size() > 100);
        std::vector<Point2> curve;
        for (const Vec3& p : *samples)
            curve.push_back({p.x / r.unitsPerRadius, p.y / r.unitsPerRadius});
        curve.push_back(curve.front());

        const std::vector<Point2> track = drawn(t, r.paths[0].first, r.paths[0].last);
        const SegmentGrid trackGrid(track, 0.01), curveGrid(curve, 0.01);
        double curveToTrack = 0, trackToCurve = 0, farthest = 0;
        for (const Point2& p : curve) {
            curveToTrack = std::max(curveToTrack, trackGrid.distance(p));
            farthest = std::max(farthest, std::hypot(p.x, p.y));
        }
        for (const Point2& p : track) trackToCurve = std::max(trackToCurve, curveGrid.distance(p));
        EXPECT_LE(curveToTrack, o.tolerance);
        // The dense samples' chords cut corners by a little themselves.
        EXPECT_LE(trackToCurve, o.tolerance + 2e-5);
        EXPECT_NEAR(farthest, 1, o.tolerance);
    }
}
