// Theta-rho tracks.
#include "sandtrack.h"

#include <QSaveFile>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

#include "polylinesimplify.h"
#include "sphere.h"
#include "tubemesh.h"

namespace {
Point2 cartesian(const ThetaRho& p) {
    return {p.rho * std::cos(p.theta), p.rho * std::sin(p.theta)};
}

// How far sample k lies from the spiral the table draws from i to j: from
// the spiral's point at k's theta (at k's rho where theta stands still),
// which bounds its distance from the whole piece. Outside the piece's range
// it is no bound at all, and the piece must be split.
double spiralDeviation(const std::vector<ThetaRho>& t, std::size_t i, std::size_t j,
                       std::size_t k) {
    const double dTheta = t[j].theta - t[i].theta, dRho = t[j].rho - t[i].rho;
    // No piece turns by more than an eighth of a turn: tools that preview
    // tracks with straight lines keep the shape.
    if (std::abs(dTheta) > std::numbers::pi / 4) return INFINITY;
    double u;
    if (std::abs(dTheta) > 1e-12)
        u = (t[k].theta - t[i].theta) / dTheta;
    else if (std::abs(dRho) > 1e-12)
        u = (t[k].rho - t[i].rho) / dRho;
    else
        u = 0;
    if (!(u >= 0 && u <= 1)) return INFINITY;
    Point2 drawn = cartesian({t[i].theta + u * dTheta, t[i].rho + u * dRho});
    Point2 p = cartesian(t[k]);
    return std::hypot(p.x - drawn.x, p.y - drawn.y);
}
}  // namespace

std::vector<ThetaRho> SandTrack::track(const Automaton& a, const SandTrackOptions& o,
                                       std::string* error) {
    const std::vector<Vec3>* path = nullptr;
    bool sphereFound = o.sphere.empty();
    for (const Sphere* s : a.sphereTable) {
        if (!s || path) continue;
        if (o.sphere.empty()) {
            for (const SpherePoint& p : s->points)
                if (!path && !p.path.empty()) path = &p.path;
        } else if (s->name == o.sphere) {
            sphereFound = true;
            if (o.point >= 0 && o.point < s->pointCount() && !s->points[o.point].path.empty())
                path = &s->points[o.point].path;
        }
    }
    if (!path) {
        *error = !sphereFound ? "There is no sphere named " + o.sphere + "."
                 : o.sphere.empty()
                     ? std::string("There are no point paths to write.")
                     : o.sphere + " has no traced point " + std::to_string(o.point) + ".";
        return {};
    }
    // Sparse samples are joined by the smooth curve through them, so that the
    // table does not draw corners the curve does not have.
    TubeSettings smooth;
    smooth.maxTurnDegrees = 1;
    smooth.tolerance = 0;
    const std::vector<Vec3> dense = tessellateClosedPath(*path, smooth);
    path = &dense;
    double farthest = 0;
    for (const Vec3& p : *path) farthest = std::max(farthest, std::hypot(p.x, p.y));
    if (!(farthest > 0) || !std::isfinite(farthest)) {
        *error = "The path stays at the centre of the table: there is nothing to draw.";
        return {};
    }
    // The samples and the first again, theta carried on across each half turn.
    std::vector<ThetaRho> t;
    t.reserve(path->size() + 1);
    for (std::size_t k = 0; k <= path->size(); ++k) {
        const Vec3& p = (*path)[k % path->size()];
        ThetaRho q{std::atan2(p.y, p.x), std::min(1.0, std::hypot(p.x, p.y) / farthest)};
        if (!t.empty()) {
            // At the centre theta means nothing: keep the last one.
            if (q.rho == 0) q.theta = t.back().theta;
            const double turn = 2 * std::numbers::pi;
            q.theta += turn * std::round((t.back().theta - q.theta) / turn);
        }
        t.push_back(q);
    }
    // Written with five decimals: the rounding takes its share of the tolerance.
    auto kept =
        simplifyPolyline(t.size() - 1, std::max(0.0, o.tolerance - 2e-5),
                         [&t](auto i, auto j, auto k) { return spiralDeviation(t, i, j, k); });
    std::vector<ThetaRho> out;
    out.reserve(kept.size());
    for (std::size_t k : kept) out.push_back(t[k]);
    return out;
}

std::string SandTrack::write(const Automaton& a, const SandTrackOptions& o,
                             const std::string& file) {
    if (!(o.tolerance > 0) || !std::isfinite(o.tolerance))
        return "The tolerance must be a positive number.";
    std::string error;
    std::vector<ThetaRho> t = track(a, o, &error);
    if (t.empty()) return error;
    QSaveFile out(QString::fromStdString(file));
    if (!out.open(QIODevice::WriteOnly))
        return "The track " + file + " could not be written: " + out.errorString().toStdString() +
               ".";
    std::string text =
        "# Rotundel sand-table track: theta (radians, continuous) rho (0 centre, 1 "
        "rim)\n";
    char buffer[64];
    for (const ThetaRho& p : t) {
        auto end = std::to_chars(buffer, buffer + 30, p.theta, std::chars_format::fixed, 5).ptr;
        *end++ = ' ';
        end = std::to_chars(end, buffer + 64, p.rho, std::chars_format::fixed, 5).ptr;
        *end++ = '\n';
        text.append(buffer, end);
    }
    out.write(text.data(), static_cast<qint64>(text.size()));
    if (!out.commit())
        return "The track " + file + " could not be written: " + out.errorString().toStdString() +
               ".";
    return {};
}
