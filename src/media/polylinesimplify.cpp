// Douglas-Peucker without recursion: a million samples would otherwise
// nest as deep as the curve is long where it bends evenly.
#include "polylinesimplify.h"

#include <algorithm>
#include <cmath>
#include <utility>

std::vector<std::size_t> simplifyPolyline(std::size_t last, double tolerance,
                                          const SimplifyDeviation& deviation) {
    std::vector<char> keep(last + 1, 0);
    keep[0] = keep[last] = 1;
    std::vector<std::pair<std::size_t, std::size_t>> open{{0, last}};
    while (!open.empty()) {
        auto [i, j] = open.back();
        open.pop_back();
        double worst = -1;
        std::size_t at = i;
        for (std::size_t k = i + 1; k < j; ++k) {
            double d = deviation(i, j, k);
            // Not a number counts as too far: keep splitting.
            if (!(d <= worst)) {
                worst = std::isnan(d) ? INFINITY : d;
                at = k;
            }
        }
        if (at == i || worst <= tolerance) continue;
        // No bound at all (the piece is not allowed as it stands): halve it.
        if (std::isinf(worst)) at = i + (j - i) / 2;
        keep[at] = 1;
        open.push_back({i, at});
        open.push_back({at, j});
    }
    std::vector<std::size_t> kept;
    for (std::size_t k = 0; k <= last; ++k)
        if (keep[k]) kept.push_back(k);
    return kept;
}

double segmentDistance(Point2 p, Point2 a, Point2 b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}
