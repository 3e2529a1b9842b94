// Theta-rho tracks, checked against the curve evaluated at exact instants.
#include "sandtrack.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

#include "atomicfile.h"
#include "curveinvariants.h"
#include "imagefile.h"
#include "passstop.h"
#include "pointcurve.h"
#include "polylinesimplify.h"
#include "sphere.h"

namespace {
constexpr double kPi = std::numbers::pi, kTurn = 2 * std::numbers::pi;
// The most a piece may turn: an eighth of a turn, less what five decimals
// of rounding could add.
constexpr double kMostTurn = kPi / 4 - 1e-4;

struct Traced {
    const Sphere* sphere = nullptr;
    int point = 0;
    std::string name;
};

// Lobes of a path seen from above: the maxima of its distance from the
// centre, each counted when the distance falls by a twentieth of its range
// on both sides. A path whose distance hardly changes is a circle.
int lobes(const std::vector<Vec3>& path, bool* circle) {
    double lo = INFINITY, hi = 0;
    std::vector<double> r;
    r.reserve(path.size());
    for (const Vec3& p : path) {
        r.push_back(std::hypot(p.x, p.y));
        lo = std::min(lo, r.back());
        hi = std::max(hi, r.back());
    }
    *circle = !(hi - lo > 1e-3 * hi);
    if (*circle) return 0;
    const double fall = (hi - lo) / 20;
    // Start from the lowest sample, so that every maximum is closed on both sides.
    const std::size_t n = r.size(), from = std::min_element(r.begin(), r.end()) - r.begin();
    int count = 0;
    double peak = r[from], valley = r[from];
    bool rising = true;
    for (std::size_t k = 1; k <= n; ++k) {
        const double v = r[(from + k) % n];
        if (rising) {
            if (v > peak) peak = v;
            if (peak - v > fall) rising = false, valley = v, ++count;
        } else {
            if (v < valley) valley = v;
            if (v - valley > fall) rising = true, peak = v;
        }
    }
    return std::max(count, 1);
}

std::vector<Traced> chosen(const Automaton& a, const SandTrackOptions& o, std::string* error) {
    std::vector<Traced> all;
    bool sphereFound = false;
    for (const Sphere* s : a.sphereTable) {
        if (!s) continue;
        sphereFound |= s->name == o.sphere;
        for (std::size_t i = 0; i < s->points.size(); ++i)
            if (!s->points[i].path.empty())
                all.push_back({s, static_cast<int>(i), s->name + "/" + std::to_string(i)});
    }
    if (!o.allPoints && !o.sphere.empty()) {
        for (const Traced& t : all)
            if (t.sphere->name == o.sphere && t.point == o.point) return {t};
        *error = !sphereFound ? "There is no sphere named " + o.sphere + "."
                              : o.sphere + " has no traced point " + std::to_string(o.point) + ".";
        return {};
    }
    if (all.empty()) {
        *error = "There are no point paths to write.";
        return {};
    }
    if (o.allPoints) return all;
    // The lobes info gives, measured on the curve itself; the samples'
    // own count where the curve could not be measured.
    const std::vector<CurveInvariants> measured = curveInvariants(a, false);
    const Traced* best = &all.front();
    int most = -1;
    for (const Traced& t : all) {
        if (stopRequested()) return {};
        auto c = std::find_if(measured.begin(), measured.end(), [&](const CurveInvariants& m) {
            return m.slot == a.slotOf(t.sphere) && m.point == t.point;
        });
        bool circle = c != measured.end() && c->symmetry.kind == CurveSymmetry::Circle;
        int n = c != measured.end() ? c->lobes : 0;
        if (c == measured.end() || !c->measured)
            n = lobes(t.sphere->points[static_cast<std::size_t>(t.point)].path, &circle);
        if (!circle && n > 0 && n > most) most = n, best = &t;
    }
    return {*best};
}

// One path evaluated finely and closed (the last point is the first again),
// in automaton units and then in table radii.
struct Fine {
    std::vector<double> u;
    std::vector<Point2> p;
    std::vector<double> theta, rho;
    std::size_t last() const { return p.size() - 1; }
};

// Evaluations from `initial` even steps, each interval halved while the
// curve's middle stands off the chord by more than a tenth of the
// tolerance, the chord is so long for its distance from the centre that
// the table's spiral could bow away from it by more (a spiral bows by up
// to chord^2 / 4 rho), or (farther than a quarter of the tolerance from the
// centre) the interval turns by more than a sixteenth of a turn about it.
// Lengths are in table radii at `radius` units a radius. Rounds stop
// before they would pass cap points; *tolerance then grows to what the
// intervals left would need.
Fine evaluate(const PointCurve& c, std::size_t initial, double radius, double* tolerance,
              std::size_t cap) {
    Fine f;
    f.u.resize(initial + 1);
    f.p.resize(initial + 1);
    // Each evaluation of a deep chain is costly: a stop is looked at as
    // they go, and what is left unevaluated is given up with the track.
    for (std::size_t k = 0; k < initial && !((k & 63) == 0 && stopRequested()); ++k) {
        f.u[k] = double(k) / double(initial);
        const Vec3 q = c.at(f.u[k]);
        f.p[k] = {q.x, q.y};
    }
    f.u[initial] = 1;
    f.p[initial] = f.p[0];
    const double cosTurn = std::cos(kPi / 8);
    // The tolerance the interval a-b needs, with m its middle; *turns: it
    // turns too far about the centre whatever the tolerance.
    auto needs = [&](Point2 a, Point2 m, Point2 b, bool* turns) -> double {
        const double ra = std::hypot(a.x, a.y), rb = std::hypot(b.x, b.y);
        const double chord = std::hypot(b.x - a.x, b.y - a.y) / radius;
        const double bow = 10 * segmentDistance(m, a, b) / radius;
        const double reach = std::max(ra, rb) / radius;
        const double spiral = reach > 0 ? 2.5 * chord * chord / reach : 0.0;
        *turns = reach >= *tolerance / 4 && ra > 0 && rb > 0 &&
                 (a.x * b.x + a.y * b.y) < cosTurn * ra * rb;
        return std::max(bow, spiral);
    };
    std::vector<char> open(f.last(), 1);
    std::vector<Point2> middle(f.last());
    for (int round = 0; round < 60 && !stopRequested(); ++round) {
        std::size_t more = 0;
        double needed = 0;
        for (std::size_t k = 0; k < open.size(); ++k) {
            if ((k & 255) == 0 && stopRequested()) break;  // the track is given up
            if (!open[k]) continue;
            open[k] = 0;
            if (!(f.u[k + 1] - f.u[k] > 1e-13)) continue;
            const Vec3 q = c.at((f.u[k] + f.u[k + 1]) / 2);
            middle[k] = {q.x, q.y};
            bool turns = false;
            const double need = needs(f.p[k], middle[k], f.p[k + 1], &turns);
            if (need > *tolerance || turns) {
                open[k] = 1, ++more;
                needed = std::max(needed, need);
            }
        }
        if (!more) break;
        if (f.p.size() + more > cap) {
            *tolerance = std::max(*tolerance, needed);
            break;
        }
        Fine g;
        std::vector<char> next;
        g.u.reserve(f.p.size() + more);
        g.p.reserve(f.p.size() + more);
        next.reserve(open.size() + more);
        for (std::size_t k = 0; k < open.size(); ++k) {
            g.u.push_back(f.u[k]);
            g.p.push_back(f.p[k]);
            next.push_back(open[k]);
            if (!open[k]) continue;
            g.u.push_back((f.u[k] + f.u[k + 1]) / 2);
            g.p.push_back(middle[k]);
            next.push_back(1);
        }
        g.u.push_back(f.u.back());
        g.p.push_back(f.p.back());
        f = std::move(g);
        open = std::move(next);
        middle.assign(open.size(), Point2{});
    }
    return f;
}

// Theta unwrapped along the path; at the centre theta means nothing and
// the last one is kept.
void toPolar(Fine& f, double radius) {
    f.theta.resize(f.p.size());
    f.rho.resize(f.p.size());
    for (std::size_t k = 0; k < f.p.size(); ++k) {
        Point2& q = f.p[k];
        f.rho[k] = std::min(1.0, std::hypot(q.x, q.y) / radius);
        q = {q.x / radius, q.y / radius};
        double t = f.rho[k] > 0 ? std::atan2(q.y, q.x) : (k ? f.theta[k - 1] : 0.0);
        if (k) t += kTurn * std::round((f.theta[k - 1] - t) / kTurn);
        f.theta[k] = t;
    }
}

// The same closed path begun at vertex s.
void startAt(Fine& f, std::size_t s) {
    const std::size_t n = f.last();
    if (s == 0 || s >= n) return;
    const double winding = f.theta[n] - f.theta[0];
    Fine g;
    for (std::size_t k = 0; k <= n; ++k) {
        const std::size_t i = (s + k) % n;
        g.u.push_back(f.u[i]);
        g.p.push_back(f.p[i]);
        g.rho.push_back(f.rho[i]);
        g.theta.push_back(f.theta[i] + (s + k >= n ? winding : 0.0));
    }
    f = std::move(g);
}

Point2 cartesian(double theta, double rho) {
    return {rho * std::cos(theta), rho * std::sin(theta)};
}

// Whether p lies within d of the polyline v[0..n-1], looking near *hint
// (the segment that held last) only: the two lines run along each other,
// and a point that needs a search farther off makes the piece fail, which
// only costs a shorter piece.
bool near(Point2 p, const Point2* v, std::size_t n, double d, std::size_t* hint) {
    if (n == 1) return std::hypot(p.x - v[0].x, p.y - v[0].y) <= d;
    constexpr std::size_t kWindow = 64;
    const std::size_t from = *hint > kWindow ? *hint - kWindow : 0;
    const std::size_t to = std::min(n - 1, *hint + kWindow);
    for (std::size_t s = *hint; s < to; ++s)
        if (segmentDistance(p, v[s], v[s + 1]) <= d) return *hint = s, true;
    for (std::size_t s = from; s < *hint && s < to; ++s)
        if (segmentDistance(p, v[s], v[s + 1]) <= d) return *hint = s, true;
    return false;
}

// Whether the table's spiral from i to j keeps within d of the curve
// between them and the curve within d of the spiral; the spiral is
// measured as chords that stray from it by at most sag.
bool fits(const Fine& f, std::size_t i, std::size_t j, double d, double sag,
          std::vector<Point2>& spiral) {
    const double dTheta = f.theta[j] - f.theta[i], dRho = f.rho[j] - f.rho[i];
    if (std::abs(dTheta) > kMostTurn) return false;
    // A spiral curves by at most about 1.1 / rho, so a chord of length l
    // stands off it by l^2 1.1 / (8 rho) at most.
    const double reach = std::max(f.rho[i], f.rho[j]);
    const double inner = std::max(std::min(f.rho[i], f.rho[j]), sag);
    const double length = std::hypot(dRho, reach * dTheta);
    const double byTurn = std::ceil(length * std::sqrt(1.1 / (8 * inner * sag)));
    const std::size_t chords = std::clamp<std::size_t>(
        std::max<std::size_t>(static_cast<std::size_t>(byTurn), (j - i + 7) / 8), 1, 1 << 16);
    spiral.resize(chords + 1);
    for (std::size_t m = 0; m <= chords; ++m) {
        const double s = double(m) / double(chords);
        spiral[m] = cartesian(f.theta[i] + s * dTheta, f.rho[i] + s * dRho);
    }
    std::size_t hint = 0;
    for (std::size_t k = i + 1; k < j; ++k)
        if (!near(f.p[k], spiral.data(), spiral.size(), d, &hint)) return false;
    hint = 0;
    for (const Point2& q : spiral)
        if (!near(q, &f.p[i], j - i + 1, d, &hint)) return false;
    return true;
}

// Appends q, split into pieces along the same spiral where it turns by
// more than an eighth of a turn from the last pair.
void append(std::vector<ThetaRho>& out, ThetaRho q) {
    if (!out.empty()) {
        const ThetaRho p = out.back();
        if (p.theta == q.theta && p.rho == q.rho) return;
        const double parts = std::ceil(std::abs(q.theta - p.theta) / kMostTurn);
        for (double m = 1; m < parts; ++m)
            out.push_back(
                {p.theta + m / parts * (q.theta - p.theta), p.rho + m / parts * (q.rho - p.rho)});
    }
    out.push_back(q);
}

struct Followed {
    Traced traced;
    Fine fine;
    std::vector<std::size_t> kept;
};

// Every path followed within cap evaluations, begun at its point nearest
// the track's end (*rim: the rim, otherwise the centre) and thinned to the
// pieces that keep to the tolerance. False when a path has no curve to
// evaluate or stays at the centre.
bool follow(const Automaton& a, const SandTrackOptions& o, std::vector<Followed>& paths,
            std::size_t cap, SandTrackResult& r, bool* rim) {
    const std::size_t each = std::max<std::size_t>(256, cap / paths.size());
    double radius = 0;
    std::vector<PointCurve> curves;
    for (Followed& f : paths) {
        auto c = PointCurve::make(a, *f.traced.sphere, f.traced.point);
        if (!c) return false;
        curves.push_back(*c);
        for (const Vec3& q : f.traced.sphere->points[std::size_t(f.traced.point)].path)
            radius = std::max(radius, std::hypot(q.x, q.y));
    }
    if (!(radius > 0) || !std::isfinite(radius)) return false;
    // The tolerance kept: the one asked, or what the budget reaches.
    double tolerance = o.tolerance;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const auto& samples =
            paths[i].traced.sphere->points[std::size_t(paths[i].traced.point)].path;
        const double turns = std::min(1e12, curves[i].mostTurns());
        const std::size_t most = std::max<std::size_t>(each / 8, 64);
        const std::size_t initial = std::clamp<std::size_t>(
            std::max<std::size_t>(samples.size(), static_cast<std::size_t>(8 * turns)),
            std::min<std::size_t>(1024, most), most);
        paths[i].fine = evaluate(curves[i], initial, radius, &tolerance, each);
        if (stopRequested()) return false;  // the caller says why
    }
    // The rim is the farthest evaluation: a path that reaches it touches
    // the rim exactly and needs no turn to get there (the samples' farthest
    // point, between evaluations, would leave it a hair inside).
    radius = 0;
    for (Followed& f : paths)
        for (const Point2& q : f.fine.p) radius = std::max(radius, std::hypot(q.x, q.y));
    if (!(radius > 0) || !std::isfinite(radius)) return false;
    r.unitsPerRadius = radius;
    r.coarsened |= tolerance > o.tolerance;
    r.tolerance = tolerance;

    // Where the track begins and ends: the nearer of centre and rim, over
    // all the paths.
    double toCentre = 0, toRim = 0;
    for (Followed& f : paths) {
        toPolar(f.fine, radius);
        toCentre += *std::min_element(f.fine.rho.begin(), f.fine.rho.end());
        toRim += 1 - *std::max_element(f.fine.rho.begin(), f.fine.rho.end());
    }
    *rim = o.start == SandTrackOptions::Start::Rim ||
           (o.start == SandTrackOptions::Start::Nearer && toRim <= toCentre);

    // What a piece may stray, checked at the evaluations: the tolerance less
    // what the curve may bow off the chords between them and the spiral
    // bow off the same chords (a tenth each), the rounding written and the
    // chords the spiral is measured by (a twentieth each).
    const double rounding = 0.75 * std::pow(10.0, -SandTrack::decimals(r.tolerance));
    const double sag = r.tolerance / 20;
    const double within = 0.8 * r.tolerance - rounding - sag;
    std::vector<Point2> spiral;
    for (Followed& f : paths) {
        const auto& rho = f.fine.rho;
        const auto s = *rim ? std::max_element(rho.begin(), rho.end() - 1)
                            : std::min_element(rho.begin(), rho.end() - 1);
        startAt(f.fine, static_cast<std::size_t>(s - rho.begin()));
        // Stopped, every piece "fits": the thinning ends at once, and the
        // track is given up.
        f.kept = simplifyPieces(f.fine.last(), [&](std::size_t i, std::size_t j) {
            return stopRequested() || fits(f.fine, i, j, within, sag, spiral);
        });
    }
    return true;
}

// The track from the followed paths: lead-in, path, lead-out for each,
// joined at the end they share.
void assemble(const std::vector<Followed>& paths, bool rim, SandTrackResult& r) {
    const double end = rim ? 1.0 : 0.0;
    std::vector<ThetaRho>& out = r.pairs;
    out.clear();
    r.paths.clear();
    for (const Followed& f : paths) {
        const Fine& c = f.fine;
        const std::size_t n = c.last();
        // The spirals wind the way the path sets off and comes back.
        auto way = [](double d) { return d < 0 ? -1.0 : 1.0; };
        const double in = way(c.theta[f.kept.size() > 1 ? f.kept[1] : n] - c.theta[0]);
        const double outWay = way(c.theta[n] - c.theta[f.kept.size() > 1 ? f.kept.end()[-2] : 0]);
        // A path that touches the end within rounding starts there exactly.
        const bool lead = std::abs(c.rho[0] - end) > 1e-9;
        double start = c.theta[0] - (lead ? in * kTurn : 0.0);
        // Theta carried on from where the last path left the table.
        double shift = 0;
        if (!out.empty()) shift = kTurn * std::round((out.back().theta - start) / kTurn);
        append(out, {start + shift, end});
        SandTrackResult::Stretch stretch;
        stretch.name = f.traced.name;
        for (std::size_t k : f.kept) {
            append(out, {c.theta[k] + shift, !lead && (k == 0 || k == n) ? end : c.rho[k]});
            if (k == 0) stretch.first = out.size() - 1;
        }
        stretch.last = out.size() - 1;
        r.paths.push_back(stretch);
        if (lead) append(out, {c.theta[n] + shift + outWay * kTurn, end});
    }
}
}  // namespace

std::optional<SandTrackOptions> SandTrack::point(const std::string& text) {
    SandTrackOptions o;
    if (text == "all") {
        o.allPoints = true;
        return o;
    }
    const auto colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) return std::nullopt;
    const std::string n = text.substr(colon + 1);
    if (n.size() != 1 || n[0] < '0' || n[0] > '5') return std::nullopt;
    o.sphere = text.substr(0, colon);
    o.point = n[0] - '0';
    return o;
}

std::optional<SandTrackOptions::Start> SandTrack::start(const std::string& text) {
    if (text == "centre" || text == "center") return SandTrackOptions::Start::Centre;
    if (text == "rim") return SandTrackOptions::Start::Rim;
    return std::nullopt;
}

int SandTrack::decimals(double tolerance) {
    int d = 5;
    while (d < 9 && 0.75 * std::pow(10.0, -d) > tolerance / 20) ++d;
    return d;
}

SandTrackResult SandTrack::track(const Automaton& a, const SandTrackOptions& o) {
    SandTrackResult r;
    if (!(o.tolerance >= kFinestTolerance) || !std::isfinite(o.tolerance)) {
        r.error = "The tolerance must be at least 0.000001 table radii.";
        return r;
    }
    std::vector<Followed> paths;
    for (const Traced& t : chosen(a, o, &r.error)) paths.push_back({t, {}, {}});
    if (stopRequested()) r.error = "The export was stopped.";
    if (paths.empty() || stopRequested()) return r;
    bool rim = true;
    // A track with more pairs than a table plays in reasonable time is
    // followed again with fewer evaluations, which bounds its pairs.
    for (std::size_t cap : {o.maxEvaluations, std::max<std::size_t>(o.maxPairs / 5, 64)}) {
        const bool followed = follow(a, o, paths, cap, r, &rim);
        if (stopRequested()) {
            r.error = "The export was stopped.";
            r.pairs.clear();
            return r;
        }
        if (!followed) {
            r.error = "The path stays at the centre of the table: there is nothing to draw.";
            r.pairs.clear();
            return r;
        }
        assemble(paths, rim, r);
        if (r.pairs.size() <= o.maxPairs) break;
        r.coarsened = true;
    }
    return r;
}

std::string SandTrack::writePreview(const std::vector<ThetaRho>& pairs, const std::string& file,
                                    int size) {
    QImage image(size, size, QImage::Format_RGBA8888);
    image.fill(QColor(0xb0, 0xa0, 0x80));
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        const double c = size / 2.0, r = size / 2.0 - 4;
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0xf0, 0xe4, 0xc8));
        painter.drawEllipse(QPointF(c, c), r + 2, r + 2);
        // Each spiral piece drawn as chords no longer than a pixel or a
        // hundredth of a radian.
        QPainterPath path;
        auto at = [&](double theta, double rho) {
            return QPointF(c + r * rho * std::cos(theta), c - r * rho * std::sin(theta));
        };
        if (!pairs.empty()) path.moveTo(at(pairs[0].theta, pairs[0].rho));
        for (std::size_t k = 1; k < pairs.size(); ++k) {
            const ThetaRho p = pairs[k - 1], q = pairs[k];
            const double steps = std::clamp(
                std::ceil(std::max(std::abs(q.theta - p.theta) * 100,
                                   std::abs(q.theta - p.theta) * r * std::max(p.rho, q.rho))),
                1.0, 1000.0);
            for (double m = 1; m <= steps; ++m)
                path.lineTo(at(p.theta + m / steps * (q.theta - p.theta),
                               p.rho + m / steps * (q.rho - p.rho)));
        }
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor(0x60, 0x50, 0x38), std::max(1.0, size / 700.0)));
        painter.drawPath(path);
    }
    RgbaImage picture;
    picture.width = size;
    picture.height = size;
    picture.pixels.assign(image.constBits(), image.constBits() + image.sizeInBytes());
    std::string error = ImageFile::write(picture, file, ImageFormat::Png);
    return error;
}

std::string SandTrack::write(const Automaton& a, const SandTrackOptions& o, const std::string& file,
                             const std::string& preview, SandTrackResult* result) {
    SandTrackResult local;
    SandTrackResult& r = result ? *result : local;
    r = track(a, o);
    if (r.pairs.empty()) return r.error;
    std::string text =
        "# Rotundel sand-table track: theta (radians, continuous) rho (0 centre, 1 "
        "rim)\n";
    // Which curves it follows, so that a track can be traced back to them.
    text += r.paths.size() == 1 ? "# point " : "# points, in turn: ";
    for (std::size_t i = 0; i < r.paths.size(); ++i) {
        // As --point names it: B:0.
        std::string name = r.paths[i].name;
        if (const auto slash = name.rfind('/'); slash != std::string::npos) name[slash] = ':';
        for (char ch : (i ? ", " : "") + name)
            text += static_cast<unsigned char>(ch) < 0x20 || ch == 0x7f ? '?' : ch;
    }
    text += "\n";
    const int places = decimals(r.tolerance);
    char buffer[96];
    // Each number must be finite and fit its field (a turn count beyond
    // any table's, and every rho within the table).
    for (const ThetaRho& p : r.pairs)
        if (!(std::abs(p.theta) < 1e15) || !(p.rho >= 0 && p.rho <= 1))
            return "The track " + file +
                   " cannot be made: its positions are too large to "
                   "compute.";
    for (const ThetaRho& p : r.pairs) {
        auto end =
            std::to_chars(buffer, buffer + 60, p.theta, std::chars_format::fixed, places).ptr;
        *end++ = ' ';
        end = std::to_chars(end, buffer + 94, p.rho, std::chars_format::fixed, places).ptr;
        *end++ = '\n';
        text.append(buffer, end);
    }
    const std::string failed = "The track " + file + " could not be written";
    AtomicFile target(file);
    if (!target.open()) return failed + ": " + target.error() + ".";
    target.write(text);
    if (!target.commit()) return failed + ": " + target.error() + ".";
    if (!preview.empty()) return writePreview(r.pairs, preview);
    return {};
}
