// Closed tubes: the centre line (samples thinned where dense, interpolated
// where sparse), the tube frame carried along it, and the rings and
// triangles around it.
#include "tubemesh.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <optional>

#include "passstop.h"
#include "portablemath.h"

namespace {

constexpr double kTwoPi = 6.28318530718;
constexpr double kStraight = 1e-07;
constexpr double kHalfTurn = 3.14159265359;
// Pieces of the spline between two kept samples, at most.
constexpr int kMaxPieces = 64;
// Samples that one straight stretch of the centre line may replace, at most.
constexpr std::size_t kMaxRun = 4096;
// Thinning looks at every kStride-th sample of a stretch it tries.
constexpr std::size_t kStride = 8;

// The frame rule calls two steps parallel when the arc cosine of the dot
// product of their unit vectors lies within 1e-7 of 0 or of 3.14159265359.
// The arc cosine only falls as its argument grows, so each condition holds
// on one end of [-1, 1]; the ends are found once, by bisection on the
// doubles, and the frame rule then compares the dot product with them. That
// decides every step exactly as the arc cosine does.
struct ParallelBounds {
    double nearOne;       // d >= nearOne: within 1e-7 of 0
    double nearMinusOne;  // d <= nearMinusOne: within 1e-7 of the half turn
    ParallelBounds() {
        auto straight = [](double d) { return std::fabs(std::acos(d)) < kStraight; };
        auto reversed = [](double d) { return std::fabs(std::acos(d) - kHalfTurn) < kStraight; };
        double lo = 0.5, hi = 1.0;  // straight(lo) false, straight(hi) true
        for (int i = 0; i < 200; ++i) {
            double mid = lo + (hi - lo) / 2;
            if (mid <= lo || mid >= hi) break;
            (straight(mid) ? hi : lo) = mid;
        }
        nearOne = hi;
        lo = -1.0, hi = -0.5;  // reversed(lo) true, reversed(hi) false
        for (int i = 0; i < 200; ++i) {
            double mid = lo + (hi - lo) / 2;
            if (mid <= lo || mid >= hi) break;
            (reversed(mid) ? lo : hi) = mid;
        }
        nearMinusOne = lo;
    }
};

const ParallelBounds& parallelBounds() {
    static const ParallelBounds bounds;
    return bounds;
}

// Rodrigues' rotation of v about the unit axis k by the angle whose cosine
// and sine are c and s.
Vec3 rotateAbout(Vec3 v, Vec3 k, double c, double s) {
    return c * v + s * cross(k, v) + (dot(k, v) * (1 - c)) * k;
}

// A normal perpendicular to dir, from (2, 3, 5) unless dir points that way.
Vec3 firstNormal(const Vec3& dir) {
    Vec3 n = normalise(cross({2, 3, 5}, dir));
    if (n == Vec3{}) n = normalise(cross({1, 0, 0}, dir));
    if (n == Vec3{}) n = normalise(cross({0, 1, 0}, dir));
    return n;
}

// The tube frame and the step it was last carried along.
struct Carrier {
    Vec3 normal, binormal;
    Vec3 last, lastUnit;

    void begin(const Vec3& dir, const Vec3& unit) {
        normal = firstNormal(dir);
        binormal = normalise(cross(normal, dir));
        last = dir;
        lastUnit = unit;
    }
    // cos(acos d) is d and sin(acos d) is sqrt(1 - d^2): no trigonometry.
    void turn(const Vec3& dir, const Vec3& unit) {
        const ParallelBounds& b = parallelBounds();
        double d = std::clamp(dot(unit, lastUnit), -1.0, 1.0);
        bool parallel = d != 0 && (d >= b.nearOne || d <= b.nearMinusOne);
        if (!parallel) {
            Vec3 axis = normalise(cross(last, dir));
            if (!(axis == Vec3{})) {
                double s = std::sqrt((1 - d) * (1 + d));
                normal = rotateAbout(normal, axis, d, s);
                binormal = rotateAbout(binormal, axis, d, s);
            }
        }
        last = dir;
        lastUnit = unit;
    }
    void turnLiteral(const Vec3& dir, const Vec3& unit) {
        double d = std::clamp(dot(unit, lastUnit), -1.0, 1.0);
        double u = std::acos(d);
        bool parallel =
            d != 0 && (std::fabs(u) < kStraight || std::fabs(u - kHalfTurn) < kStraight);
        if (!parallel) {
            Vec3 axis = normalise(cross(last, dir));
            if (u != 0 && !(axis == Vec3{})) {
                double c = portable::cos(u), s = portable::sin(u);
                normal = rotateAbout(normal, axis, c, s);
                binormal = rotateAbout(binormal, axis, c, s);
            }
        }
        last = dir;
        lastUnit = unit;
    }
};

template <bool Literal>
std::vector<TubeFrame> transport(const std::vector<Vec3>& path) {
    std::vector<TubeFrame> frames;
    frames.reserve(path.size());
    Carrier c;
    for (std::size_t k = 0; k < path.size(); ++k) {
        if (k == 0) {
            const Vec3 ones{1, 1, 1};
            c.normal = normalise(cross({2, 3, 5}, ones));
            c.binormal = normalise(cross(c.normal, ones));
            c.last = ones;
            c.lastUnit = normalise(ones);
        } else {
            Vec3 dir = path[k] - path[k - 1];
            // A step of length 0 has no direction: the frame stays.
            if (!(dir == Vec3{})) {
                if (k == 1)
                    c.begin(dir, normalise(dir));
                else if (Literal)
                    c.turnLiteral(dir, normalise(dir));
                else
                    c.turn(dir, normalise(dir));
            }
        }
        frames.push_back({c.normal, c.binormal});
    }
    return frames;
}

// Squared distances of points from one segment.
struct Segment {
    Vec3 a, ab;
    double inverse;  // 1 / |ab|^2, or 0 for a segment of length 0
    Segment(const Vec3& from, const Vec3& to) : a(from), ab(to - from) {
        double l2 = dot(ab, ab);
        inverse = l2 > 0 ? 1 / l2 : 0;
    }
    double squaredDistance(const Vec3& p) const {
        Vec3 ap = p - a;
        double t = std::clamp(dot(ap, ab) * inverse, 0.0, 1.0);
        Vec3 off = ap - t * ab;
        return dot(off, off);
    }
};

// The samples without repeats of the one before (the last one's repeat is
// the first).
std::vector<Vec3> distinct(const std::vector<Vec3>& samples) {
    std::vector<Vec3> q(samples.size());
    std::size_t n = 0;
    for (const Vec3& v : samples)
        if (n == 0 || !(v == q[n - 1])) q[n++] = v;
    while (n > 1 && q[n - 1] == q[0]) --n;
    q.resize(n);
    return q;
}

// The samples themselves when they hold no repeats (the usual case: a copy
// of a long path was a tenth of an export), otherwise distinct(samples)
// kept in *copy.
const std::vector<Vec3>& distinctSamples(const std::vector<Vec3>& samples,
                                         std::vector<Vec3>* copy) {
    bool repeats = samples.size() > 1 && samples.back() == samples.front();
    for (std::size_t i = 1; i < samples.size() && !repeats; ++i)
        repeats = samples[i] == samples[i - 1];
    if (!repeats) return samples;
    *copy = distinct(samples);
    return *copy;
}

// The samples to keep, in order, starting with the first: each stretch
// between two kept ones is as long as it can be while every stride-th
// sample in it (and the one in its middle) stays within eps of the straight
// line that replaces it. With a stride above 1 the samples in between are
// not looked at (neighbours on a path lie close together): the check of
// every left-out sample against the finished line keeps any that stands
// off. Index q.size() stands for the first sample again.
std::vector<std::size_t> thin(const std::vector<Vec3>& q, double eps, std::size_t stride) {
    const std::size_t m = q.size();
    std::vector<std::size_t> kept;
    if (!(eps > 0)) {
        kept.resize(m);
        for (std::size_t i = 0; i < m; ++i) kept[i] = i;
        return kept;
    }
    auto at = [&](std::size_t i) -> const Vec3& { return q[i == m ? 0 : i]; };
    const double eps2 = eps * eps;
    auto fits = [&](std::size_t i, std::size_t j, std::size_t stride) {
        Segment seg(at(i), at(j));
        // The middle sample is the likeliest to stand off the chord: a
        // stretch that is too long is mostly found out at once.
        if (j > i + 1 && seg.squaredDistance(at(i + (j - i) / 2)) > eps2) return false;
        for (std::size_t k = i + stride; k < j; k += stride)
            if (seg.squaredDistance(at(k)) > eps2) return false;
        return true;
    };
    std::size_t i = 0;
    while (i < m) {
        kept.push_back(i);
        const std::size_t limit = std::min(m, i + kMaxRun);
        std::size_t good = i + 1, bad = 0;
        // Longer and longer stretches, then a bisection between the last
        // that fitted and the first that did not.
        for (std::size_t span = 2; good < limit; span *= 2) {
            std::size_t j = std::min(limit, i + span);
            if (!fits(i, j, stride)) {
                bad = j;
                break;
            }
            good = j;
        }
        while (bad > good + 1) {
            std::size_t mid = good + (bad - good) / 2;
            (fits(i, mid, stride) ? good : bad) = mid;
        }
        i = good;
    }
    return kept;
}

// The point at parameter t of the centripetal Catmull-Rom segment from p1 to
// p2 (t from 0 to 1), with p0 and p3 the kept samples on either side.
struct SplineSegment {
    Vec3 p0, p1, p2, p3;
    double t0 = 0, t1, t2, t3;
    SplineSegment(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d)
        : p0(a), p1(b), p2(c), p3(d) {
        // A neighbour on top of its end point would make a zero knot
        // interval: mirror the other end instead.
        if (p0 == p1) p0 = p1 - (p2 - p1);
        if (p3 == p2) p3 = p2 + (p2 - p1);
        t1 = t0 + std::sqrt(length(p1 - p0));
        t2 = t1 + std::sqrt(length(p2 - p1));
        t3 = t2 + std::sqrt(length(p3 - p2));
    }
    Vec3 at(double f) const {
        double t = t1 + (t2 - t1) * f;
        auto mix = [t](const Vec3& a, double ta, const Vec3& b, double tb) {
            return ((tb - t) / (tb - ta)) * a + ((t - ta) / (tb - ta)) * b;
        };
        Vec3 a1 = mix(p0, t0, p1, t1), a2 = mix(p1, t1, p2, t2), a3 = mix(p2, t2, p3, t3);
        Vec3 b1 = mix(a1, t0, a2, t2), b2 = mix(a2, t1, a3, t3);
        return mix(b1, t1, b2, t2);
    }
};

// The cosine of the angle between two directions (1 when one is zero).
double turnCosine(const Vec3& a, const Vec3& b) {
    double la = length(a), lb = length(b);
    if (la == 0 || lb == 0) return 1;
    return std::clamp(dot(a, b) / (la * lb), -1.0, 1.0);
}

}  // namespace

TubeSettings tubeSettingsFor(double sphereRadius) {
    TubeSettings s;
    s.radius = 0.15 * sphereRadius;
    s.sides = 7;
    s.maxTurnDegrees = 10;
    s.tolerance = 0.1;
    return s;
}

int tubeDetailLevel(double radiusPixels) {
    // Bands from 2^-20 of a pixel, each twice as wide as the one before.
    int level = 0;
    for (double edge = std::ldexp(1.0, -20); level + 1 < kTubeDetailLevels && radiusPixels >= edge;
         edge *= 2)
        ++level;
    return level;
}

TubeSettings tubeSettingsAt(double sphereRadius, int level) {
    level = std::clamp(level, 0, kTubeDetailLevels - 1);
    TubeSettings s = tubeSettingsFor(sphereRadius);
    constexpr int kFine = kTubeDetailLevels - 5;  // the band from 2 pixels
    if (level >= kFine) {
        // The sides keep the outline within about a pixel of the round
        // tube; the shading (a normal per vertex) hides the facets inside.
        struct Detail {
            int sides;
            double turn, tolerance;
        };
        static constexpr Detail kDetail[] = {
            {5, 20, 0.3}, {6, 15, 0.2}, {7, 10, 0.1}, {9, 10, 0.05}, {12, 7, 0.03}};
        const Detail& d = kDetail[level - kFine];
        s.sides = d.sides;
        s.maxTurnDegrees = d.turn;
        s.tolerance = d.tolerance;
        return s;
    }
    // Thinner tubes: the centre line may stray from the samples by a pixel,
    // which is many radii of a tube far thinner than one.
    const double upper = std::ldexp(1.0, level - kFine + 2);  // pixels, the band's top
    s.sides = 5;
    s.maxTurnDegrees = upper > 1 ? 20 : upper > 0.5 ? 30 : upper > 0.25 ? 45 : 180;
    s.tolerance = 1 / upper;
    return s;
}

TubeMesh boundedTube(const std::vector<Vec3>& samples, const TubeSettings& s,
                     std::size_t maxTriangles, bool* coarsened) {
    if (coarsened) *coarsened = false;
    // Steps down from the settings asked for: fewer sides, a larger
    // tolerance, longer pieces, and at last no interpolation at all.
    struct Step {
        int sides;
        double turn, tolerance;
    };
    const Step steps[] = {
        {s.sides, s.maxTurnDegrees, s.tolerance},
        {std::min(s.sides, 5), std::max(s.maxTurnDegrees, 20.0), std::max(s.tolerance, 0.3)},
        {std::min(s.sides, 4), std::max(s.maxTurnDegrees, 45.0), std::max(s.tolerance, 1.0)},
        {3, 180, std::max(s.tolerance, 2.0)}};
    auto within = [&](TubeSettings t, const std::vector<Vec3>& from) {
        t.maxRings =
            std::max<std::size_t>(3, maxTriangles / (2 * std::size_t(std::max(3, t.sides))));
        if (s.maxRings) t.maxRings = std::min(t.maxRings, s.maxRings);
        return closedTube(from, t);
    };
    TubeMesh mesh = within(s, samples);
    // Empty for want of a path or of sane settings, not for the budget.
    if (!mesh.triangles.empty() || distinct(samples).size() < 3 || !(s.radius > 0) ||
        !std::isfinite(s.radius) || s.sides < 3 || !std::isfinite(s.tolerance) ||
        !std::isfinite(s.maxTurnDegrees))
        return mesh;
    if (coarsened) *coarsened = true;
    TubeSettings t = s;
    for (const Step& step : steps) {
        // A stop (a newer edit in the window) ends the search for a tube
        // that fits: the caller sees the stop and keeps nothing of it.
        if (stopRequested()) return {};
        t.sides = std::max(3, step.sides);
        t.maxTurnDegrees = step.turn;
        t.tolerance = step.tolerance;
        mesh = within(t, samples);
        if (!mesh.triangles.empty()) return mesh;
    }
    if (stopRequested()) return {};
    // Without interpolation a ring stands at a kept sample at most: every
    // k-th sample keeps the ring count within the budget.
    const std::size_t rings = std::max<std::size_t>(3, maxTriangles / 6);
    const std::size_t every = samples.size() / rings + 1;
    std::vector<Vec3> fewer;
    for (std::size_t k = 0; k < samples.size(); k += every) fewer.push_back(samples[k]);
    return within(t, fewer);
}

std::vector<Vec3> boundedCentreLine(const std::vector<Vec3>& samples, const TubeSettings& s,
                                    std::size_t maxVertices, bool* coarsened) {
    if (coarsened) *coarsened = false;
    maxVertices = std::max<std::size_t>(maxVertices, 3);
    TubeSettings t = s;
    t.maxRings = s.maxRings ? std::min(s.maxRings, maxVertices) : maxVertices;
    std::vector<Vec3> line = tessellateClosedPath(samples, t);
    if (!line.empty() || distinct(samples).size() < 3) return line;
    if (coarsened) *coarsened = true;
    t.maxTurnDegrees = 180;
    t.tolerance = std::max(s.tolerance, 1.0);
    line = tessellateClosedPath(samples, t);
    if (!line.empty()) return line;
    const std::size_t every = samples.size() / maxVertices + 1;
    std::vector<Vec3> fewer;
    fewer.reserve(samples.size() / every + 1);
    for (std::size_t k = 0; k < samples.size(); k += every) fewer.push_back(samples[k]);
    return tessellateClosedPath(fewer, t);
}

std::size_t tubeTriangleShare(std::size_t samples, double allSamples, std::size_t paths,
                              std::size_t budget) {
    // Half in equal parts, so that a sparse path next to a dense one still
    // gets a smooth tube, half in proportion to the samples; and at least
    // enough for a coarse tube of a few dozen rings.
    constexpr std::size_t kLeast = 256;
    const double half = static_cast<double>(budget) / 2;
    double share = paths ? half / static_cast<double>(paths) : 0;
    if (allSamples > 0) share += half * static_cast<double>(samples) / allSamples;
    return std::max(kLeast, static_cast<std::size_t>(share));
}

std::vector<std::size_t> tubeTriangleShares(const std::vector<std::size_t>& samples,
                                            std::size_t budget) {
    double total = 0;
    for (std::size_t n : samples) total += static_cast<double>(n);
    std::vector<std::size_t> shares;
    for (std::size_t n : samples)
        shares.push_back(tubeTriangleShare(n, total, samples.size(), budget));
    return shares;
}

std::vector<TubeFrame> transportTubeFrames(const std::vector<Vec3>& path) {
    return transport<false>(path);
}

std::vector<TubeFrame> transportTubeFramesLiteral(const std::vector<Vec3>& path) {
    return transport<true>(path);
}

Vec3 ringVertex(const Vec3& centre, const TubeFrame& f, double radius, int j, int sides) {
    double angle = j * kTwoPi / sides;
    return centre + radius * (portable::cos(angle) * f.binormal + portable::sin(angle) * f.normal);
}

namespace {
// The centre line through the distinct samples q, thinned with the given
// stride; *tolerant: every sample ended within the tolerance of it. Null
// when the line would need more than s.maxRings vertices.
std::optional<std::vector<Vec3>> tessellate(const std::vector<Vec3>& q, const TubeSettings& s,
                                            std::size_t stride, bool* tolerant) {
    const double eps = s.tolerance > 0 ? s.tolerance * s.radius : 0;
    const bool interpolate = s.maxTurnDegrees < 180;
    const double maxTurn = std::max(s.maxTurnDegrees, 0.5) * (kTwoPi / 360);
    const double cosMaxTurn = portable::cos(maxTurn);
    const std::size_t m = q.size();

    std::vector<std::size_t> kept = thin(q, eps, stride);
    // A path that runs out and back along one line thins to its two ends,
    // which make no loop: start from three samples spread round the period,
    // and the check below keeps whatever else the line needs.
    if (kept.size() < 3) kept = {0, m / 3, 2 * m / 3};
    auto keptPoint = [&](std::size_t i) -> const Vec3& { return q[kept[i % kept.size()]]; };
    // Pieces per stretch: a first guess from the turns at both ends of the
    // stretch, raised wherever the result still turns too sharply.
    std::vector<int> pieces;
    auto guess = [&](std::size_t i) {
        if (!interpolate || kept.size() < 3) return 1;
        const std::size_t n = kept.size();
        const Vec3& a = keptPoint(i + n - 1);
        const Vec3& b = keptPoint(i);
        const Vec3& c = keptPoint(i + 1);
        const Vec3& d = keptPoint(i + 2);
        double turn =
            (std::acos(turnCosine(b - a, c - b)) + std::acos(turnCosine(c - b, d - c))) / 2;
        // Clamped before it is made an int: a turn of samples that are no
        // finite numbers is NaN, and makes one piece.
        const double want = std::ceil(turn / (0.8 * maxTurn));
        return want >= 1 ? static_cast<int>(std::min<double>(want, kMaxPieces)) : 1;
    };
    for (std::size_t i = 0; i < kept.size(); ++i) pieces.push_back(guess(i));

    std::vector<Vec3> line;
    std::vector<std::size_t> firstOf;  // first vertex of each stretch in line
    std::vector<Segment> pieceSegments;
    const double eps2 = eps * eps;
    // Stretches whose line changed since their samples were last checked.
    std::vector<char> dirty(kept.size(), 1);
    bool pending = false;  // samples were added in the last round
    for (int round = 0; round < 24; ++round) {
        // A round of a long aliased path takes a while: a stop gives up the
        // line as a line too long would be given up.
        if (stopRequested()) return std::nullopt;
        const std::size_t n = kept.size();
        if (s.maxRings) {
            std::size_t total = 0;
            for (int p : pieces) total += static_cast<std::size_t>(p);
            if (total > s.maxRings) return std::nullopt;
        }
        line.clear();
        firstOf.assign(n + 1, 0);
        for (std::size_t i = 0; i < n; ++i) {
            firstOf[i] = line.size();
            line.push_back(keptPoint(i));
            if (pieces[i] > 1 && n >= 3) {
                SplineSegment seg(keptPoint(i + n - 1), keptPoint(i), keptPoint(i + 1),
                                  keptPoint(i + 2));
                for (int j = 1; j < pieces[i]; ++j) line.push_back(seg.at(double(j) / pieces[i]));
            }
        }
        firstOf[n] = line.size();
        bool changed = false;

        // Every left-out sample stays near its stretch of the line.
        std::vector<std::size_t> insert;
        if (eps > 0) {
            for (std::size_t i = 0; i < n; ++i) {
                if (!dirty[i]) continue;
                std::size_t from = kept[i] + 1, to = i + 1 < n ? kept[i + 1] : m;
                double worst = eps2;
                std::size_t worstAt = 0;
                pieceSegments.clear();
                for (std::size_t v = firstOf[i]; v < firstOf[i + 1]; ++v)
                    pieceSegments.emplace_back(line[v],
                                               v + 1 < line.size() ? line[v + 1] : line[0]);
                // Samples run along the stretch as its pieces do: the piece
                // that held the last sample is tried first, and only a
                // sample that it does not hold is measured against all.
                std::size_t near = 0;
                for (std::size_t k = from; k < to; ++k) {
                    if (pieceSegments[near].squaredDistance(q[k]) <= eps2) continue;
                    double dmin = std::numeric_limits<double>::infinity();
                    for (std::size_t p = 0; p < pieceSegments.size(); ++p) {
                        double d = pieceSegments[p].squaredDistance(q[k]);
                        if (d < dmin) dmin = d, near = p;
                    }
                    if (dmin > worst) worst = dmin, worstAt = k;
                }
                if (worstAt) insert.push_back(worstAt);
            }
        }
        dirty.assign(n, 0);
        pending = !insert.empty();
        if (!insert.empty()) {
            std::vector<std::size_t> merged, split;
            std::vector<int> mergedPieces;
            std::size_t next = 0;
            for (std::size_t i = 0; i < n; ++i) {
                merged.push_back(kept[i]);
                const bool splits = next < insert.size() && insert[next] > kept[i] &&
                                    (i + 1 == n || insert[next] < kept[i + 1]);
                mergedPieces.push_back(splits ? std::max(1, (pieces[i] + 1) / 2) : pieces[i]);
                if (splits) {
                    split.push_back(merged.size());
                    merged.push_back(insert[next++]);
                    mergedPieces.push_back(std::max(1, (pieces[i] + 1) / 2));
                }
            }
            kept = std::move(merged);
            pieces = std::move(mergedPieces);
            // A new kept sample reshapes the spline on two stretches either
            // side of it.
            const std::size_t nk = kept.size();
            dirty.assign(nk, 0);
            for (std::size_t at : split)
                for (std::size_t d = nk - 2; d != nk + 2; ++d) dirty[(at + d) % nk] = 1;
            for (std::size_t i = 0; i < nk; ++i) {
                int g = guess(i);
                if (g > pieces[i]) pieces[i] = g, dirty[i] = 1;
            }
            continue;
        }

        // No corner sharper than the limit, where more pieces can help.
        if (interpolate && n >= 3) {
            std::vector<bool> raise(n, false);
            std::size_t stretch = 0;
            const std::size_t lines = line.size();
            for (std::size_t v = 0; v < lines; ++v) {
                while (stretch + 1 < n && firstOf[stretch + 1] <= v) ++stretch;
                const Vec3& prev = line[(v + lines - 1) % lines];
                const Vec3& next = line[(v + 1) % lines];
                if (turnCosine(line[v] - prev, next - line[v]) < cosMaxTurn) {
                    // The vertex sits between the stretch before (when it is
                    // the first of its own) and its own.
                    raise[stretch] = true;
                    if (v == firstOf[stretch]) raise[(stretch + n - 1) % n] = true;
                }
            }
            for (std::size_t i = 0; i < n; ++i)
                if (raise[i] && pieces[i] < kMaxPieces) {
                    pieces[i] = std::min(kMaxPieces, pieces[i] * 2);
                    dirty[i] = 1;
                    changed = true;
                }
        }
        if (!changed) break;
    }
    *tolerant = !pending;
    return distinct(line);
}

std::optional<std::vector<Vec3>> centreLine(const std::vector<Vec3>& samples,
                                            const TubeSettings& s) {
    std::vector<Vec3> copy;
    const std::vector<Vec3>& q = distinctSamples(samples, &copy);
    if (q.size() < 3) return q;
    bool tolerant = true;
    auto line = tessellate(q, s, kStride, &tolerant);
    // Thinning that looked at every kStride-th sample left out so many that
    // stood off that the rounds ran out adding them back: thin looking at
    // every sample instead (a path with wiggles as short as the stride).
    if (line && !tolerant) line = tessellate(q, s, 1, &tolerant);
    return line;
}
}  // namespace

std::vector<Vec3> tessellateClosedPath(const std::vector<Vec3>& samples, const TubeSettings& s) {
    auto line = centreLine(samples, s);
    return line ? std::move(*line) : std::vector<Vec3>{};
}

TubeMesh closedTube(const std::vector<Vec3>& samples, const TubeSettings& s) {
    TubeMesh mesh;
    if (!(s.radius > 0) || !std::isfinite(s.radius) || s.sides < 3 || !std::isfinite(s.tolerance) ||
        !std::isfinite(s.maxTurnDegrees))
        return mesh;
    for (const Vec3& v : samples)
        if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) return mesh;
    std::vector<Vec3> line = tessellateClosedPath(samples, s);
    const std::size_t rings = line.size();
    if (s.maxRings && rings > s.maxRings) return mesh;
    if (rings < 3) return mesh;

    // Directions of the segments and, at each vertex, the tangent halfway
    // between the segments that meet there.
    std::vector<Vec3> along(rings), tangent(rings);
    for (std::size_t k = 0; k < rings; ++k) along[k] = normalise(line[(k + 1) % rings] - line[k]);
    for (std::size_t k = 0; k < rings; ++k) {
        Vec3 t = normalise(along[(k + rings - 1) % rings] + along[k]);
        tangent[k] = t == Vec3{} ? along[k] : t;
    }

    // The frame carried from tangent to tangent, and once more back to the
    // first: how far it has turned about that tangent on the way round is
    // the twist to spread.
    std::vector<TubeFrame> frames(rings);
    Carrier c;
    c.begin(tangent[0], tangent[0]);
    frames[0] = {c.normal, c.binormal};
    for (std::size_t k = 1; k < rings; ++k) {
        c.turn(tangent[k], tangent[k]);
        frames[k] = {c.normal, c.binormal};
    }
    c.turn(tangent[0], tangent[0]);
    const Vec3 t0 = tangent[0];
    Vec3 back = normalise(c.normal - dot(c.normal, t0) * t0);
    const Vec3 n0 = frames[0].normal;
    double twist = back == Vec3{} ? 0 : std::atan2(dot(cross(n0, back), t0), dot(n0, back));

    std::vector<double> arc(rings + 1, 0);
    for (std::size_t k = 0; k < rings; ++k)
        arc[k + 1] = arc[k] + length(line[(k + 1) % rings] - line[k]);
    const double total = arc[rings];

    const int sides = s.sides;
    std::vector<double> cj(static_cast<std::size_t>(sides)), sj(cj.size());
    for (int j = 0; j < sides; ++j) {
        cj[static_cast<std::size_t>(j)] = portable::cos(j * kTwoPi / sides);
        sj[static_cast<std::size_t>(j)] = portable::sin(j * kTwoPi / sides);
    }
    mesh.sides = sides;
    mesh.centres = std::move(line);
    const std::vector<Vec3>& centre = mesh.centres;
    mesh.vertices.reserve(rings * static_cast<std::size_t>(sides));
    mesh.normals.reserve(mesh.vertices.capacity());
    for (std::size_t k = 0; k < rings; ++k) {
        // Turned back by the share of the twist that this far round holds.
        double alpha = total > 0 ? -twist * arc[k] / total : 0;
        double ca = portable::cos(alpha), sa = portable::sin(alpha);
        const TubeFrame& f = frames[k];
        Vec3 n = ca * f.normal - sa * f.binormal;
        Vec3 b = ca * f.binormal + sa * f.normal;
        for (std::size_t j = 0; j < cj.size(); ++j) {
            Vec3 out = cj[j] * b + sj[j] * n;
            mesh.vertices.push_back(centre[k] + s.radius * out);
            mesh.normals.push_back(out);
        }
    }
    mesh.triangles.resize(rings * cj.size() * 6);
    std::uint32_t* t = mesh.triangles.data();
    const auto side = static_cast<std::uint32_t>(sides);
    for (std::size_t k = 0; k < rings; ++k) {
        const auto r0 = static_cast<std::uint32_t>(k) * side;
        const auto r1 = static_cast<std::uint32_t>((k + 1) % rings) * side;
        for (std::uint32_t j = 0; j < side; ++j, t += 6) {
            std::uint32_t j1 = j + 1 == side ? 0 : j + 1;
            t[0] = r0 + j, t[1] = r0 + j1, t[2] = r1 + j;
            t[3] = r0 + j1, t[4] = r1 + j1, t[5] = r1 + j;
        }
    }
    return mesh;
}
