// Tubes around closed paths: the trig-free tube frame against the literal
// one, and the closed tube's shape (watertight, no seam, turns and
// deviation within their bounds) on sampled paths of several kinds.
#include "tubemesh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "fixtures.h"

namespace {

std::vector<Vec3> curve(int n, Vec3 (*f)(double)) {
    std::vector<Vec3> out;
    for (int k = 0; k < n; ++k) out.push_back(f(6.283185307179586 * k / n));
    return out;
}
Vec3 circle(double t) {
    return {1.5 * std::cos(t), 1.5 * std::sin(t), 0};
}
// Cusps where the curve stops and turns back: no spline rounds them.
Vec3 cardioid(double t) {
    return {2 * std::cos(t) - std::cos(2 * t), 2 * std::sin(t) - std::sin(2 * t), 0};
}
Vec3 trefoil(double t) {
    return {std::sin(t) + 2 * std::sin(2 * t), std::cos(t) - 2 * std::cos(2 * t), -std::sin(3 * t)};
}

// The path of a point 0.6 radii off the centre of the last sphere of a
// tilted three-sphere chain, sampled at the given step.
std::vector<Vec3> chainPath(double step) {
    TestAutomaton a;
    Sphere* s = &a.add("A");
    s = &a.add("B", s, Rational(1, 2));
    s->axisAngleX = 30;
    s = &a.add("C", s, Rational(2, 3));
    s->axisAngleZ = 40;
    s->axisAngleX = 70;
    s->inside = 1;
    s->addPoint(20, 50, 0.6);
    a.pathStep = step;
    frameUpdate(a);
    return s->points[0].path;
}

double distanceToSegment(const Vec3& p, const Vec3& a, const Vec3& b) {
    Vec3 ab = b - a, ap = p - a;
    double t = std::clamp(dot(ap, ab) / dot(ab, ab), 0.0, 1.0);
    return length(ap - t * ab);
}

struct Example {
    const char* what;
    std::vector<Vec3> samples;
    double radius;
    bool cusps = false;
};
std::vector<Example> examples() {
    // A long stadium whose straight sides wiggle by more than the tolerance
    // between the samples that thinning's search looks at.
    std::vector<Vec3> wiggles;
    for (int side = 0; side < 2; ++side) {
        const double sign = side ? -1 : 1;
        for (int k = 0; k < 200; ++k)
            wiggles.push_back({sign * (-30 + 0.3 * k), sign * (5 + (k % 8 == 4 ? 0.012 : 0)), 0});
        for (int k = 0; k < 52; ++k) {
            const double t = 3.141592653589793 * (k / 52.0 - 0.5);
            wiggles.push_back({sign * (30 + 5 * std::cos(t)), sign * -5 * std::sin(t), 0});
        }
    }
    std::vector<Vec3> repeats = curve(40, circle);
    repeats.insert(repeats.begin() + 10, 3, repeats[10]);  // steps of length 0
    repeats.push_back(repeats.front());
    return {
        {"starter circle (37 samples)", curve(37, circle), 0.075},
        {"sparse circle", curve(6, circle), 0.075},
        {"dense circle", curve(20000, circle), 0.075},
        {"trefoil", curve(90, trefoil), 0.1},
        {"repeated samples", repeats, 0.075},
        {"chain, default accuracy", chainPath(0.25005), 0.05},
        {"chain, fine accuracy", chainPath(0.002), 0.05},
        {"cardioid", curve(60, cardioid), 0.05, true},
        // A point of a sphere rolling inside one twice its size.
        {"back and forth along a line",
         curve(50,
               [](double t) {
                   return Vec3{std::cos(t), 0, 0};
               }),
         0.05, true},
        {"cardioid, dense", curve(5000, cardioid), 0.05, true},
        {"wiggles every eighth sample", wiggles, 0.075},
    };
}

}  // namespace

TEST(TubeMesh, TrigFreeFramesMatchTheLiteralTransport) {
    std::vector<std::pair<const char*, std::vector<Vec3>>> paths;
    for (const Example& e : examples()) paths.emplace_back(e.what, e.samples);
    // Steps whose turn lies at the parallel threshold, in both directions.
    std::vector<Vec3> threshold{{0, 0, 0}, {1, 0, 0}};
    for (double angle : {0.99e-7, 1.0e-7, 1.01e-7, 3.14159265359 - 1.0e-7, 3.0, 2e-7}) {
        Vec3 last = threshold.back() - threshold[threshold.size() - 2];
        Vec3 axis = normalise(cross(last, {0, 0.3, 1}));
        Vec3 turned = std::cos(angle) * last + std::sin(angle) * cross(axis, last);
        threshold.push_back(threshold.back() + turned);
    }
    paths.emplace_back("threshold turns", threshold);
    paths.emplace_back("parallel and zero steps", std::vector<Vec3>{{0, 0, 0},
                                                                    {0, 0, 0},
                                                                    {1, 2, 3},
                                                                    {2, 4, 6},
                                                                    {2, 4, 6},
                                                                    {0, 0, 0},
                                                                    {-1, -2, -3},
                                                                    {5, 1, 0},
                                                                    {5, 1, 0}});
    for (const auto& [what, path] : paths) {
        std::vector<TubeFrame> fast = transportTubeFrames(path);
        std::vector<TubeFrame> literal = transportTubeFramesLiteral(path);
        ASSERT_EQ(fast.size(), literal.size());
        double worst = 0;
        for (std::size_t k = 0; k < path.size(); ++k)
            for (int j = 0; j < 7; ++j)
                worst = std::max(worst, length(ringVertex(path[k], fast[k], 1.0, j, 7) -
                                               ringVertex(path[k], literal[k], 1.0, j, 7)));
        EXPECT_LE(worst, 1e-9) << what;
    }
}

TEST(TubeMesh, ClosedTubeIsWatertightSeamlessAndWithinItsBounds) {
    // -1: the settings of mesh files; the others: the drawing's detail levels.
    for (int level = -1; level < kTubeDetailLevels; ++level)
        for (const Example& e : examples()) {
            SCOPED_TRACE(std::string(e.what) + ", level " + std::to_string(level));
            TubeSettings s = level < 0 ? tubeSettingsFor(e.radius / 0.15)
                                       : tubeSettingsAt(e.radius / 0.15, level);
            TubeMesh mesh = closedTube(e.samples, s);
            const std::size_t rings = mesh.rings(), sides = std::size_t(s.sides);
            ASSERT_GE(rings, 3u);
            ASSERT_EQ(mesh.vertices.size(), rings * sides);
            // Every edge is shared by exactly two triangles, once each way.
            std::map<std::pair<std::uint32_t, std::uint32_t>, int> edges;
            for (std::size_t t = 0; t < mesh.triangles.size(); t += 3)
                for (int i = 0; i < 3; ++i)
                    ++edges[{mesh.triangles[t + i], mesh.triangles[t + (i + 1) % 3]}];
            for (const auto& [edge, count] : edges) {
                ASSERT_EQ(count, 1);
                ASSERT_EQ(edges.count({edge.second, edge.first}), 1u);
            }
            EXPECT_EQ(mesh.triangleCount(), 2 * rings * sides);
            // Round, of the tube's radius, with outward normals, and facing out.
            for (std::size_t v = 0; v < mesh.vertices.size(); ++v) {
                Vec3 out = mesh.vertices[v] - mesh.centres[v / sides];
                ASSERT_NEAR(length(out), e.radius, 1e-9 * e.radius);
                ASSERT_NEAR(length(mesh.normals[v]), 1, 1e-9);
            }
            const auto* tri = mesh.triangles.data();
            Vec3 face = cross(mesh.vertices[tri[1]] - mesh.vertices[tri[0]],
                              mesh.vertices[tri[2]] - mesh.vertices[tri[0]]);
            EXPECT_GT(dot(face, mesh.normals[tri[0]]), 0);
            // No seam: going from any ring to the next, the last to the first
            // included, each vertex is nearest to its own counterpart (where
            // rings turn by little; without interpolation they turn freely).
            for (std::size_t r = 0; r < rings && s.maxTurnDegrees < 90; ++r) {
                std::size_t q = (r + 1) % rings;
                for (std::size_t j = 0; j < sides; ++j) {
                    Vec3 a = mesh.vertices[r * sides + j] - mesh.centres[r];
                    std::size_t nearest = 0;
                    for (std::size_t i = 1; i < sides; ++i)
                        if (length(mesh.vertices[q * sides + i] - mesh.centres[q] - a) <
                            length(mesh.vertices[q * sides + nearest] - mesh.centres[q] - a))
                            nearest = i;
                    ASSERT_EQ(nearest, j) << "ring " << r;
                }
            }
            // Corners of at most the limit, and every sample near the line.
            double worstTurn = 0;
            for (std::size_t r = 0; r < rings; ++r) {
                Vec3 in = mesh.centres[r] - mesh.centres[(r + rings - 1) % rings];
                Vec3 out = mesh.centres[(r + 1) % rings] - mesh.centres[r];
                double c = dot(in, out) / (length(in) * length(out));
                worstTurn = std::max(worstTurn, std::acos(std::clamp(c, -1.0, 1.0)) * 180 / M_PI);
            }
            // A cusp keeps its corner, and rounding it is not tried without end.
            if (!e.cusps) EXPECT_LE(worstTurn, s.maxTurnDegrees + 1e-9);
            if (e.cusps) EXPECT_LE(rings, 1000u);
            double worstDeviation = 0;
            for (const Vec3& p : e.samples) {
                double d = INFINITY;
                for (std::size_t r = 0; r < rings; ++r)
                    d = std::min(
                        d, distanceToSegment(p, mesh.centres[r], mesh.centres[(r + 1) % rings]));
                worstDeviation = std::max(worstDeviation, d);
            }
            EXPECT_LE(worstDeviation, s.tolerance * e.radius * (1 + 1e-9));
        }
}

TEST(TubeMesh, DenseSamplesAreThinnedAndSparseOnesInterpolated) {
    struct Case {
        int samples;
        bool fewerRings;
    } cases[] = {{6, false}, {37, false}, {20000, true}};
    for (const auto& c : cases) {
        TubeMesh mesh = closedTube(curve(c.samples, circle), tubeSettingsFor(0.5));
        EXPECT_EQ(mesh.rings() < std::size_t(c.samples), c.fewerRings) << c.samples;
        EXPECT_GE(mesh.rings(), 36u) << c.samples;  // 10 degrees per segment
    }
}

TEST(TubeMesh, DegenerateInputGivesNoTube) {
    const Vec3 nan{NAN, 0, 0};
    struct Case {
        const char* what;
        std::vector<Vec3> samples;
        double radius;
    } cases[] = {
        {"empty", {}, 1},
        {"one sample", {{1, 2, 3}}, 1},
        {"all samples equal", {{1, 2, 3}, {1, 2, 3}, {1, 2, 3}}, 1},
        {"not a number", {{0, 0, 0}, nan, {1, 1, 0}}, 1},
        {"zero radius", curve(10, circle), 0},
        {"radius not a number", curve(10, circle), NAN},
    };
    for (const auto& c : cases) {
        TubeSettings s = tubeSettingsFor(c.radius);
        EXPECT_EQ(closedTube(c.samples, s).triangleCount(), 0u) << c.what;
    }
}

TEST(TubeMesh, DetailGrowsWithTheTubesSizeOnScreen) {
    struct Case {
        double pixels;
        int level;
    } cases[] = {{0, 0},
                 {std::ldexp(1, -20), 1},
                 {0.25, kTubeDetailLevels - 8},
                 {1, kTubeDetailLevels - 6},
                 {3.9, kTubeDetailLevels - 5},
                 {4, kTubeDetailLevels - 4},
                 {1e9, kTubeDetailLevels - 1}};
    int sides = 0;
    for (const auto& c : cases) {
        EXPECT_EQ(tubeDetailLevel(c.pixels), c.level) << c.pixels;
        TubeSettings s = tubeSettingsAt(1, c.level);
        EXPECT_GE(s.sides, sides);
        EXPECT_TRUE(s.sides >= 5 && s.sides <= 12);
        // Thin tubes: the centre line strays by at most about a pixel.
        if (c.pixels < 2) EXPECT_LE(s.tolerance * c.pixels, 1.0) << c.pixels;
        sides = s.sides;
    }
}

TEST(TubeMesh, BudgetBoundsTheTrianglesOfAnyPath) {
    // A path that turns sharply at every sample, as a tiny fast sphere's does.
    std::vector<Vec3> zigzag;
    for (int k = 0; k < 200000; ++k)
        zigzag.push_back(
            {std::cos(k * 0.0001) + 0.01 * (k % 2), std::sin(k * 0.0001), 0.01 * ((k / 2) % 2)});
    struct Case {
        const char* what;
        std::vector<Vec3> samples;
        std::size_t budget;
        bool coarser;
    } cases[] = {
        {"fits", curve(37, circle), 100000, false},
        {"fewer sides and rings", curve(20000, trefoil), 600, true},
        {"every k-th sample", zigzag, 5000, true},
        {"tiny budget", zigzag, 1, true},
    };
    for (const auto& c : cases) {
        bool coarse = false;
        TubeMesh mesh = boundedTube(c.samples, tubeSettingsFor(0.5), c.budget, &coarse);
        EXPECT_GT(mesh.triangleCount(), 0u) << c.what;
        EXPECT_LE(mesh.triangleCount(), std::max<std::size_t>(c.budget, 18)) << c.what;
        EXPECT_EQ(coarse, c.coarser) << c.what;
    }
    // Half shared equally, half by the samples, with a floor.
    EXPECT_EQ(tubeTriangleShares({100, 300, 0}, 60000),
              (std::vector<std::size_t>{17500, 32500, 10000}));
    EXPECT_EQ(tubeTriangleShares({1, 1}, 10), (std::vector<std::size_t>{256, 256}));
}

// The centre lines of solids: within their vertex budget for any path, and
// every sample within the tolerance of the line where the budget allows.
TEST(TubeMesh, CentreLinesStayWithinTheirVertexBudget) {
    std::vector<Vec3> zigzag;
    for (int k = 0; k < 200000; ++k)
        zigzag.push_back(
            {std::cos(k * 0.0001) + 0.01 * (k % 2), std::sin(k * 0.0001), 0.01 * ((k / 2) % 2)});
    TubeSettings s;
    s.radius = 0.05;
    s.tolerance = 0.1;
    s.maxTurnDegrees = 15;
    struct Case {
        const char* what;
        std::vector<Vec3> samples;
        std::size_t budget;
        bool coarser;
    } cases[] = {
        {"fits", curve(400, trefoil), 100000, false},
        {"coarser", curve(20000, trefoil), 20, true},
        {"every k-th sample", zigzag, 1000, true},
    };
    for (const auto& c : cases) {
        bool coarse = false;
        const std::vector<Vec3> line = boundedCentreLine(c.samples, s, c.budget, &coarse);
        EXPECT_GE(line.size(), 3u) << c.what;
        EXPECT_LE(line.size(), c.budget) << c.what;
        EXPECT_EQ(coarse, c.coarser) << c.what;
        if (c.coarser) continue;
        // Each sample's distance to the nearest segment of the line.
        auto gap = [](const Vec3& p, const Vec3& a, const Vec3& b) {
            const Vec3 d = b - a;
            const double dd = dot(d, d);
            const double t = dd > 0 ? std::clamp(dot(p - a, d) / dd, 0.0, 1.0) : 0.0;
            return length(p - (a + t * d));
        };
        double worst = 0;
        for (const Vec3& p : c.samples) {
            double nearest = INFINITY;
            for (std::size_t i = 0; i < line.size(); ++i)
                nearest = std::min(nearest, gap(p, line[i], line[(i + 1) % line.size()]));
            worst = std::max(worst, nearest);
        }
        EXPECT_LE(worst, s.tolerance * s.radius * 1.0001) << c.what;
    }
}
