// Greedy pieces found by doubling and halving: no recursion and no work
// that grows faster than n log n.
#include "polylinesimplify.h"

#include <algorithm>
#include <cmath>

std::vector<std::size_t> simplifyPieces(std::size_t last, const PieceFits& holds) {
    std::vector<std::size_t> kept{0};
    for (std::size_t i = 0; i < last;) {
        // good: a piece end that holds; bad: one that does not (0: none found).
        std::size_t good = i + 1, bad = 0;
        for (std::size_t step = 2;; step *= 2) {
            const std::size_t j = std::min(last, i + step);
            if (!holds(i, j)) {
                bad = j;
                break;
            }
            good = j;
            if (j == last) break;
        }
        while (bad && bad - good > 1) {
            const std::size_t mid = good + (bad - good) / 2;
            (holds(i, mid) ? good : bad) = mid;
        }
        kept.push_back(good);
        i = good;
    }
    return kept;
}

std::vector<std::size_t> simplifyPolyline(std::size_t last, double tolerance,
                                          const SimplifyDeviation& deviation) {
    // Not a number counts as too far.
    return simplifyPieces(last, [&](std::size_t i, std::size_t j) {
        for (std::size_t k = i + 1; k < j; ++k)
            if (!(deviation(i, j, k) <= tolerance)) return false;
        return true;
    });
}

double segmentDistance(Point2 p, Point2 a, Point2 b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}
