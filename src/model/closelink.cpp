// Close pairs of curves: their polygons split on the exact curves where the
// capsules of their sides meet (see closelink.h).
#include "closelink.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "knots.h"
#include "passstop.h"

namespace {

// Least distance between the segments pq and rs.
double segmentDistance(Vec3 p, Vec3 q, Vec3 r, Vec3 s) {
    const Vec3 d1 = q - p, d2 = s - r, w = p - r;
    const double a = dot(d1, d1), e = dot(d2, d2), f = dot(d2, w);
    double t1 = 0, t2 = 0;
    if (a <= 0 && e <= 0) return length(w);
    if (a <= 0) {
        t2 = std::clamp(f / e, 0.0, 1.0);
    } else {
        const double c = dot(d1, w);
        if (e <= 0) {
            t1 = std::clamp(-c / a, 0.0, 1.0);
        } else {
            const double b = dot(d1, d2), den = a * e - b * b;
            t1 = den > 0 ? std::clamp((b * f - c * e) / den, 0.0, 1.0) : 0.0;
            t2 = (b * t1 + f) / e;
            if (t2 < 0) {
                t2 = 0, t1 = std::clamp(-c / a, 0.0, 1.0);
            } else if (t2 > 1) {
                t2 = 1, t1 = std::clamp((b - c) / a, 0.0, 1.0);
            }
        }
    }
    return length((p + t1 * d1) - (r + t2 * d2));
}

// Distance of x from the segment pq.
double fromSegment(Vec3 x, Vec3 p, Vec3 q) {
    const Vec3 d = q - p;
    const double dd = dot(d, d);
    const double t = dd > 0 ? std::clamp(dot(x - p, d) / dd, 0.0, 1.0) : 0.0;
    return length(x - (p + t * d));
}

// The largest distance of the arc between times u0 and u1 from the side pq,
// from three places along it: exact at the middle for a parabola, and half
// as much again for what lies between the places. *mid gets the middle.
double arcDeviation(const ExactCurve& c, double u0, double u1, Vec3 p, Vec3 q, Vec3* mid) {
    const double w = u1 - u0;
    *mid = c.at(u0 + 0.5 * w);
    return 1.5 * std::max({fromSegment(c.at(u0 + 0.25 * w), p, q), fromSegment(*mid, p, q),
                           fromSegment(c.at(u0 + 0.75 * w), p, q)});
}

// One curve's sides: the corners' sides first, then the halves of those
// split, each side's halves next to each other.
struct Sides {
    struct Side {
        double u0, u1;
        Vec3 p0, p1, mid;
        double dev = -1;  // the arc's largest distance from the side, once known
        int half = -1;    // the first of its halves, once split
        bool hasMid = false;
    };
    const ExactCurve* curve;
    std::vector<Side> s;
    std::size_t roots;

    explicit Sides(const LinkPolygon& c) : curve(c.curve), roots(c.corners.size()) {
        const std::vector<Vec3>& corners = c.corners;
        const std::vector<double>& dev = c.deviation;
        const double n = double(corners.size());
        s.reserve(corners.size() + 64);
        for (std::size_t i = 0; i < corners.size(); ++i)
            s.push_back({double(i) / n,
                         double(i + 1) / n,
                         corners[i],
                         corners[(i + 1) % corners.size()],
                         {},
                         dev[i % dev.size()],
                         -1,
                         false});
    }
    const Side& at(int i) const { return s[static_cast<std::size_t>(i)]; }
    double dev(int i) {
        Side& x = s[static_cast<std::size_t>(i)];
        if (x.dev < 0)
            x.dev = arcDeviation(*curve, x.u0, x.u1, x.p0, x.p1, &x.mid), x.hasMid = true;
        return x.dev;
    }
    // Splits side i at its middle (once); false when it is too short in time.
    bool split(int i) {
        Side& x = s[static_cast<std::size_t>(i)];
        if (x.half >= 0) return true;
        const double um = 0.5 * (x.u0 + x.u1);
        if (!(um > x.u0 && um < x.u1)) return false;
        if (!x.hasMid) x.mid = curve->at(um), x.hasMid = true;
        const Side copy = x;
        x.half = static_cast<int>(s.size());
        s.push_back({copy.u0, um, copy.p0, copy.mid, {}, -1, -1, false});
        s.push_back({um, copy.u1, copy.mid, copy.p1, {}, -1, -1, false});
        return true;
    }
    // The corners of the sides that were not split, in order along the
    // curve, of the sides that keep theirs (`fine`); of the others, the
    // corners `keep` says.
    template <class Keep, class Fine>
    std::vector<Vec3> polygon(const Keep& keep, const Fine& fine) const {
        std::vector<Vec3> out;
        out.reserve(s.size());
        std::vector<int> stack;
        for (std::size_t r = 0; r < roots; ++r) {
            if (!fine(r)) {
                if (keep(r)) out.push_back(s[r].p0);
                continue;
            }
            stack.push_back(static_cast<int>(r));
            while (!stack.empty()) {
                const Side& x = at(stack.back());
                stack.pop_back();
                if (x.half < 0) {
                    out.push_back(x.p0);
                    continue;
                }
                stack.push_back(x.half + 1);
                stack.push_back(x.half);
            }
        }
        return out;
    }
};

}  // namespace

LinkPolygon::LinkPolygon(const ExactCurve& c, const std::vector<Vec3>& all,
                         const std::vector<double>& bend, const std::vector<double>& jerk)
    : curve(&c) {
    const std::size_t whole = all.size(), part = bend.size();
    if (whole < 3 || part == 0 || whole % part != 0 || jerk.size() != part) return;
    const std::size_t n = whole;
    // The second derivative along a side is at most the largest at its
    // corners and half a side of the third; an arc of h in time strays
    // from its side by h^2 / 8 times that, and half as much again for what
    // the corners may not show.
    const double h = 1.0 / double(n);
    corners = all;
    deviation.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t k = i % part, l = (i + 1) % part;
        deviation[i] =
            1.5 * h * h / 8 * (std::max(bend[k], bend[l]) + 0.5 * h * std::max(jerk[k], jerk[l]));
    }
    const std::vector<Vec3>& p = corners;
    middle.resize(n);
    reach.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const Vec3 q = p[(i + 1) % n];
        middle[i] = 0.5 * (p[i] + q);
        reach[i] = 0.5 * length(q - p[i]) + deviation[i];
    }
    // Blocks of kBlock sides, and groups of kGroup.
    for (std::size_t size : {kBlock, kGroup}) {
        std::vector<Block>& into = size == kBlock ? blocks : groups;
        for (std::size_t b = 0; b < n; b += size) {
            const std::size_t e = std::min(n, b + size);
            Vec3 lo = middle[b], hi = middle[b];
            for (std::size_t i = b; i < e; ++i) {
                const Vec3 m = middle[i];
                lo = {std::min(lo.x, m.x), std::min(lo.y, m.y), std::min(lo.z, m.z)};
                hi = {std::max(hi.x, m.x), std::max(hi.y, m.y), std::max(hi.z, m.z)};
            }
            Block k{0.5 * (lo + hi), 0, p[b], p[e % n], 0};
            for (std::size_t i = b; i < e; ++i) {
                k.radius = std::max(k.radius, length(middle[i] - k.centre) + reach[i]);
                // The side lies within its corners' distance of the chord,
                // and the arc within its deviation of the side.
                k.deviation =
                    std::max(k.deviation, std::max(fromSegment(p[i], k.from, k.to),
                                                   fromSegment(p[(i + 1) % n], k.from, k.to)) +
                                              deviation[i]);
            }
            into.push_back(k);
        }
    }
}

CloseLink closeLinkingNumber(const LinkPolygon& a, const LinkPolygon& b, Vec3 view, double meet,
                             std::size_t budget) {
    CloseLink out;
    if (a.blocks.empty() || b.blocks.empty()) return out;
    // A group or block of sides whose chord's capsule keeps apart from every
    // one of the other curve is drawn as its chord; the others keep their
    // sides, and of those the pairs whose capsules may meet are looked at
    // closer.
    std::vector<std::pair<int, int>> work;
    const std::size_t na = a.middle.size(), nb = b.middle.size(), kBlock = LinkPolygon::kBlock,
                      kGroup = LinkPolygon::kGroup, per = kGroup / kBlock;
    std::vector<char> groupA(a.groups.size()), groupB(b.groups.size()), fineA(a.blocks.size()),
        fineB(b.blocks.size());
    auto apart = [](const LinkPolygon::Block& x, const LinkPolygon::Block& y) {
        return length(x.centre - y.centre) > x.radius + y.radius ||
               segmentDistance(x.from, x.to, y.from, y.to) > x.deviation + y.deviation;
    };
    for (std::size_t gp = 0; gp < a.groups.size(); ++gp)
        for (std::size_t gq = 0; gq < b.groups.size(); ++gq) {
            if (apart(a.groups[gp], b.groups[gq])) continue;
            groupA[gp] = groupB[gq] = 1;
            for (std::size_t p = gp * per; p < std::min(a.blocks.size(), (gp + 1) * per); ++p)
                for (std::size_t q = gq * per; q < std::min(b.blocks.size(), (gq + 1) * per); ++q) {
                    if (apart(a.blocks[p], b.blocks[q])) continue;
                    fineA[p] = fineB[q] = 1;
                    for (std::size_t i = p * kBlock; i < std::min(na, (p + 1) * kBlock); ++i)
                        for (std::size_t j = q * kBlock; j < std::min(nb, (q + 1) * kBlock); ++j)
                            if (length(a.middle[i] - b.middle[j]) <= a.reach[i] + b.reach[j] &&
                                segmentDistance(a.corners[i], a.corners[(i + 1) % na], b.corners[j],
                                                b.corners[(j + 1) % nb]) <=
                                    a.deviation[i] + b.deviation[j])
                                work.push_back({static_cast<int>(i), static_cast<int>(j)});
                }
        }
    // Which corners the polygons keep: all of fine blocks, the first of
    // other blocks in fine groups, the first of other groups.
    auto keepA = [&](std::size_t i) {
        return groupA[i / kGroup] ? fineA[i / kBlock] || i % kBlock == 0 : i % kGroup == 0;
    };
    auto keepB = [&](std::size_t i) {
        return groupB[i / kGroup] ? fineB[i / kBlock] || i % kBlock == 0 : i % kGroup == 0;
    };
    auto settle = [&](const std::vector<Vec3>& pa, const std::vector<Vec3>& pb) {
        const std::optional<int> n = linkingNumberApart(pa, pb, view);
        if (n) out.kind = CloseLink::Settled, out.number = *n;
        return out;
    };
    // Mostly the sides are apart already.
    if (work.empty()) {
        auto reduced = [](const LinkPolygon& c, const auto& keep) {
            std::vector<Vec3> p;
            for (std::size_t i = 0; i < c.corners.size(); ++i)
                if (keep(i)) p.push_back(c.corners[i]);
            return p;
        };
        return settle(reduced(a, keepA), reduced(b, keepB));
    }
    Sides sa(a), sb(b);
    std::size_t splits = 0, looked = 0;
    while (!work.empty()) {
        const auto [i, j] = work.back();
        work.pop_back();
        // Pairs of halves already split elsewhere cost no split: the pairs
        // looked at are bounded too.
        if (++looked > 16 * budget) return out;
        const double di = sa.dev(i), dj = sb.dev(j);
        const Sides::Side &x = sa.at(i), &y = sb.at(j);
        const double d = segmentDistance(x.p0, x.p1, y.p0, y.p1);
        if (d > di + dj) continue;
        if (d <= meet && di <= meet && dj <= meet) {
            out.kind = CloseLink::Meet;
            return out;
        }
        // The side that strays more is split; both when they stray alike.
        const bool splitA = di >= 0.5 * dj, splitB = dj >= 0.5 * di;
        if (splits + 2 > budget) return out;
        const std::size_t before = splits;
        splits += (splitA && x.half < 0) + (splitB && y.half < 0);
        if ((splitA && !sa.split(i)) || (splitB && !sb.split(j))) {
            // Halves too short in time to tell apart: as close as doubles go.
            out.kind = d <= meet ? CloseLink::Meet : CloseLink::Open;
            return out;
        }
        // An edit or a cancel need not wait for a pair to be settled.
        if ((before ^ splits) & ~std::size_t{1023}) throwIfStopped();
        const int ha = sa.at(i).half, hb = sb.at(j).half;
        if (splitA && splitB) {
            for (int p : {ha, ha + 1})
                for (int q : {hb, hb + 1}) work.push_back({p, q});
        } else if (splitA) {
            work.push_back({ha, j});
            work.push_back({ha + 1, j});
        } else {
            work.push_back({i, hb});
            work.push_back({i, hb + 1});
        }
    }
    auto fineSideA = [&](std::size_t i) { return groupA[i / kGroup] && fineA[i / kBlock]; };
    auto fineSideB = [&](std::size_t i) { return groupB[i / kGroup] && fineB[i / kBlock]; };
    return settle(sa.polygon(keepA, fineSideA), sb.polygon(keepB, fineSideB));
}
