// Crossings of projected polygons, the Alexander polynomial by fraction-free
// elimination over the integer polynomials, and the table of names.
#include "knots.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <string>
#include <tuple>
#include <unordered_map>
#include <utility>

#include "pointgrid.h"

namespace {

// Diagrams with more crossings than these are not worth the elimination.
constexpr std::size_t kMostCrossingsFound = 200000;
constexpr int kMostForPolynomial = 40;

struct Crossing {
    double over, under;  // positions along the curves: component * big + index + fraction
    int overPart, underPart;
    int sign;
};

struct Strand {
    const std::vector<Vec3>* p;
    int part;
};

double cross2(double ax, double ay, double bx, double by) {
    return ax * by - ay * bx;
}

// Sorts by key no larger than `most`, equal keys left in the order they
// came: a byte at a time from the lowest, over the bytes `most` uses.
void sortKeepingOrder(std::vector<std::pair<std::uint64_t, std::uint32_t>>& v, std::uint64_t most) {
    std::vector<std::pair<std::uint64_t, std::uint32_t>> other(v.size());
    for (int shift = 0; shift < 64 && (most >> shift) != 0; shift += 8) {
        std::size_t start[257] = {};
        for (const auto& e : v) ++start[((e.first >> shift) & 0xff) + 1];
        for (int b = 0; b < 256; ++b) start[b + 1] += start[b];
        for (const auto& e : v) other[start[(e.first >> shift) & 0xff]++] = e;
        v.swap(other);
    }
}

// Crossings of the polygons seen along dir; empty optional when degenerate.
std::optional<std::vector<Crossing>> crossingsOf(const std::vector<Strand>& strands, Vec3 dir,
                                                 bool onlyBetween = false) {
    dir = normalise(dir);
    const Vec3 e1 = normalise(cross(dir, std::abs(dir.x) < 0.9 ? Vec3{1, 0, 0} : Vec3{0, 1, 0}));
    const Vec3 e2 = cross(dir, e1);
    struct Seg {
        double x0, y0, x1, y1;
        int part;
        std::size_t index, count;
    };
    std::vector<Seg> segs;
    std::size_t corners = 0;
    for (const Strand& s : strands) corners += s.p->size();
    segs.reserve(corners);
    double total = 0, size2 = 0;
    std::vector<double> px, py;  // each corner projected once
    for (const Strand& s : strands) {
        const auto& p = *s.p;
        const std::size_t n = p.size();
        px.resize(n);
        py.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            px[i] = dot(p[i], e1), py[i] = dot(p[i], e2);
            size2 = std::max(size2, dot(p[i], p[i]));
        }
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t j = i + 1 == n ? 0 : i + 1;
            segs.push_back({px[i], py[i], px[j], py[j], s.part, i, n});
            total += std::hypot(px[j] - px[i], py[j] - py[i]);
        }
    }
    const double size = std::sqrt(size2);
    if (segs.empty() || !(size > 0)) return std::vector<Crossing>{};
    const double cell = std::max(2 * total / double(segs.size()), 1e-9 * size);
    // The cells each side passes through, numbered row by row over the box
    // of the projection, and then grouped by a sort that keeps the sides of
    // one cell in order.
    // (Made twice rather than kept: the sides may be a million.)
    struct Span {
        std::int64_t x0, x1, y0, y1;
    };
    auto spanOf = [cell](const Seg& s) {
        return Span{static_cast<std::int64_t>(std::floor(std::min(s.x0, s.x1) / cell)),
                    static_cast<std::int64_t>(std::floor(std::max(s.x0, s.x1) / cell)),
                    static_cast<std::int64_t>(std::floor(std::min(s.y0, s.y1) / cell)),
                    static_cast<std::int64_t>(std::floor(std::max(s.y0, s.y1) / cell))};
    };
    std::int64_t left = 0, right = 0, bottom = 0, top = 0;
    std::size_t entries = 0;
    for (std::size_t i = 0; i < segs.size(); ++i) {
        const Span c = spanOf(segs[i]);
        if ((c.x1 - c.x0 + 1) * (c.y1 - c.y0 + 1) > 4096)
            return std::nullopt;  // a side far too long
        entries += static_cast<std::size_t>((c.x1 - c.x0 + 1) * (c.y1 - c.y0 + 1));
        left = i == 0 ? c.x0 : std::min(left, c.x0);
        right = i == 0 ? c.x1 : std::max(right, c.x1);
        bottom = i == 0 ? c.y0 : std::min(bottom, c.y0);
        top = i == 0 ? c.y1 : std::max(top, c.y1);
    }
    // The cells are at least twice the mean side, so the box spans fewer
    // cells across than there are sides: its rows and columns fit in 32
    // bits, and their numbers in 64.
    const auto width = static_cast<std::uint64_t>(right - left + 1);
    const auto height = static_cast<std::uint64_t>(top - bottom + 1);
    if (width > 0xffffffffu || height > 0xffffffffu) return std::nullopt;
    std::vector<std::pair<std::uint64_t, std::uint32_t>> cells;
    cells.reserve(entries);
    for (std::size_t i = 0; i < segs.size(); ++i) {
        const Span c = spanOf(segs[i]);
        for (auto x = c.x0; x <= c.x1; ++x)
            for (auto y = c.y0; y <= c.y1; ++y)
                cells.push_back({static_cast<std::uint64_t>(y - bottom) * width +
                                     static_cast<std::uint64_t>(x - left),
                                 static_cast<std::uint32_t>(i)});
    }
    sortKeepingOrder(cells, width * height - 1);
    std::vector<Crossing> out;
    const double eps = 1e-9;
    for (std::size_t g0 = 0, g1 = 0; g0 < cells.size(); g0 = g1) {
        const std::uint64_t k = cells[g0].first;
        while (g1 < cells.size() && cells[g1].first == k) ++g1;
        for (std::size_t a = g0; a < g1; ++a)
            for (std::size_t b = a + 1; b < g1; ++b) {
                const Seg& s = segs[cells[a].second];
                const Seg& t = segs[cells[b].second];
                if (s.part == t.part) {
                    if (onlyBetween) continue;
                    const std::size_t d = s.index > t.index ? s.index - t.index : t.index - s.index;
                    if (d == 1 || d + 1 == s.count) continue;  // neighbours share a corner
                }
                const double rx = s.x1 - s.x0, ry = s.y1 - s.y0, wx = t.x1 - t.x0, wy = t.y1 - t.y0;
                const double qx = t.x0 - s.x0, qy = t.y0 - s.y0;
                const double den = cross2(rx, ry, wx, wy);
                const double u = den != 0 ? cross2(qx, qy, wx, wy) / den : -1;
                const double v = den != 0 ? cross2(qx, qy, rx, ry) / den : -1;
                if (den == 0 || u < -eps || u > 1 + eps || v < -eps || v > 1 + eps) {
                    // Parallel sides lying on one line would be no crossing.
                    if (den == 0 && std::abs(cross2(qx, qy, rx, ry)) <= eps * size * size)
                        return std::nullopt;
                    continue;
                }
                if (u < eps || u > 1 - eps || v < eps || v > 1 - eps) return std::nullopt;
                // Counted once: in the cell that holds the crossing.
                const double cx = s.x0 + u * rx, cy = s.y0 + u * ry;
                if (static_cast<std::int64_t>(std::floor(cx / cell)) !=
                        left + static_cast<std::int64_t>(k % width) ||
                    static_cast<std::int64_t>(std::floor(cy / cell)) !=
                        bottom + static_cast<std::int64_t>(k / width))
                    continue;
                const Strand* ss = nullptr;
                const Strand* ts = nullptr;
                for (const Strand& x : strands) {
                    if (x.part == s.part) ss = &x;
                    if (x.part == t.part) ts = &x;
                }
                const auto& ps = *ss->p;
                const auto& pt = *ts->p;
                const Vec3 sa = ps[s.index], sb = ps[(s.index + 1) % s.count];
                const Vec3 ta = pt[t.index], tb = pt[(t.index + 1) % t.count];
                const double hs = dot(sa + u * (sb - sa), dir), ht = dot(ta + v * (tb - ta), dir);
                if (std::abs(hs - ht) <= 1e-12 * size) return std::nullopt;
                const bool sOver = hs > ht;
                const Vec3 over = sOver ? sb - sa : tb - ta, under = sOver ? tb - ta : sb - sa;
                const double sign = dot(dir, cross(over, under));
                const double posS = double(s.index) + u, posT = double(t.index) + v;
                out.push_back({sOver ? posS : posT, sOver ? posT : posS, sOver ? s.part : t.part,
                               sOver ? t.part : s.part, sign > 0 ? 1 : -1});
                if (out.size() > kMostCrossingsFound) return std::nullopt;
            }
    }
    return out;
}

// Directions to look from: the one given, then others tilted from it.
std::vector<Vec3> viewsAround(Vec3 d) {
    d = normalise(d);
    const Vec3 e1 = normalise(cross(d, std::abs(d.x) < 0.9 ? Vec3{1, 0, 0} : Vec3{0, 1, 0}));
    const Vec3 e2 = cross(d, e1);
    std::vector<Vec3> out{d};
    const double tilts[][2] = {
        {0.0123, 0.0071}, {-0.031, 0.017}, {0.07, -0.043}, {0.21, 0.13}, {-0.37, 0.29}};
    for (const auto& t : tilts) out.push_back(normalise(d + t[0] * e1 + t[1] * e2));
    return out;
}

// Integer polynomials, lowest power first; empty is 0.
using Poly = std::vector<long long>;

void trim(Poly& p) {
    while (!p.empty() && p.back() == 0) p.pop_back();
}

struct Overflow {};

long long fit(__int128 v) {
    if (v > INT64_MAX || v < INT64_MIN) throw Overflow{};
    return static_cast<long long>(v);
}

Poly mul(const Poly& a, const Poly& b) {
    if (a.empty() || b.empty()) return {};
    std::vector<__int128> r(a.size() + b.size() - 1, 0);
    for (std::size_t i = 0; i < a.size(); ++i)
        for (std::size_t j = 0; j < b.size(); ++j) {
            r[i + j] += static_cast<__int128>(a[i]) * b[j];
            if (r[i + j] > (__int128(1) << 120) || r[i + j] < -(__int128(1) << 120))
                throw Overflow{};
        }
    Poly out(r.size());
    for (std::size_t i = 0; i < r.size(); ++i) out[i] = fit(r[i]);
    trim(out);
    return out;
}

Poly sub(const Poly& a, const Poly& b) {
    Poly out(std::max(a.size(), b.size()), 0);
    for (std::size_t i = 0; i < a.size(); ++i) out[i] = a[i];
    for (std::size_t i = 0; i < b.size(); ++i) out[i] = fit(__int128(out[i]) - b[i]);
    trim(out);
    return out;
}

// a / b where b divides a exactly; nothing when it does not.
std::optional<Poly> divExact(Poly a, const Poly& b) {
    if (b.empty()) return std::nullopt;
    if (a.empty()) return Poly{};
    if (a.size() < b.size()) return std::nullopt;
    Poly q(a.size() - b.size() + 1, 0);
    for (std::size_t i = q.size(); i-- > 0;) {
        const long long top = a[i + b.size() - 1];
        if (top % b.back() != 0) return std::nullopt;
        const long long c = top / b.back();
        q[i] = c;
        for (std::size_t j = 0; j < b.size(); ++j)
            a[i + j] = fit(__int128(a[i + j]) - __int128(c) * b[j]);
    }
    trim(a);
    if (!a.empty()) return std::nullopt;
    trim(q);
    return q;
}

// Determinant by Bareiss's fraction-free elimination.
std::optional<Poly> determinant(std::vector<std::vector<Poly>> m) {
    const std::size_t n = m.size();
    if (n == 0) return Poly{1};
    Poly previous{1};
    for (std::size_t k = 0; k + 1 < n; ++k) {
        if (m[k][k].empty()) {
            std::size_t r = k + 1;
            while (r < n && m[r][k].empty()) ++r;
            if (r == n) return Poly{};
            std::swap(m[k], m[r]);  // changes the sign only
        }
        for (std::size_t i = k + 1; i < n; ++i)
            for (std::size_t j = k + 1; j < n; ++j) {
                auto q = divExact(sub(mul(m[k][k], m[i][j]), mul(m[i][k], m[k][j])), previous);
                if (!q) return std::nullopt;
                m[i][j] = std::move(*q);
            }
        previous = m[k][k];
    }
    return m[n - 1][n - 1];
}

// Strips powers of t and the sign: lowest power 0, value positive at 1.
Poly normalised(Poly p) {
    trim(p);
    std::size_t low = 0;
    while (low < p.size() && p[low] == 0) ++low;
    p.erase(p.begin(), p.begin() + static_cast<std::ptrdiff_t>(low));
    long long at1 = 0;
    for (long long c : p) at1 += c;
    if (at1 < 0)
        for (long long& c : p) c = -c;
    return p;
}

// Gauss code: the crossings met along the knot, each twice.
struct Passage {
    int crossing;
    bool over;
};

// Undoes twisted loops (a crossing met twice in a row) and pairs of
// crossings one strand passes over together and the other under together.
std::vector<Passage> simplified(std::vector<Passage> code) {
    for (bool changed = true; changed && !code.empty();) {
        changed = false;
        const std::size_t n = code.size();
        for (std::size_t i = 0; i < n && !changed; ++i) {
            const Passage& a = code[i];
            const Passage& b = code[(i + 1) % n];
            if (a.crossing == b.crossing) {
                const int c = a.crossing;
                code.erase(std::remove_if(code.begin(), code.end(),
                                          [c](const Passage& p) { return p.crossing == c; }),
                           code.end());
                changed = true;
                break;
            }
            if (a.over != b.over) continue;
            for (std::size_t j = 0; j < n; ++j) {
                const Passage& x = code[j];
                const Passage& y = code[(j + 1) % n];
                if (x.over == a.over) continue;
                if ((x.crossing == a.crossing && y.crossing == b.crossing) ||
                    (x.crossing == b.crossing && y.crossing == a.crossing)) {
                    const int c1 = a.crossing, c2 = b.crossing;
                    code.erase(std::remove_if(code.begin(), code.end(),
                                              [c1, c2](const Passage& p) {
                                                  return p.crossing == c1 || p.crossing == c2;
                                              }),
                               code.end());
                    changed = true;
                    break;
                }
            }
        }
    }
    return code;
}

std::optional<Poly> alexanderOf(const std::vector<Passage>& code, const std::vector<int>& signs) {
    if (code.empty()) return Poly{1};
    // Start at a passage under, so that arcs run from one under passage to the next.
    std::size_t start = 0;
    while (code[start].over) ++start;
    const std::size_t len = code.size(), n = len / 2;
    std::unordered_map<int, int> index;  // crossing numbers renumbered 0..n-1
    std::vector<int> overArc(n, -1), inArc(n, -1), outArc(n, -1), sign(n, 0);
    int arc = -1;
    for (std::size_t s = 0; s < len; ++s) {
        const Passage& p = code[(start + s) % len];
        const int c = index.emplace(p.crossing, static_cast<int>(index.size())).first->second;
        const auto at = static_cast<std::size_t>(c);
        sign[at] = signs[static_cast<std::size_t>(p.crossing)];
        if (p.over) {
            overArc[at] = arc;  // the first passage is under, so arc >= 0 here
        } else {
            ++arc;
            inArc[at] = arc == 0 ? static_cast<int>(n) - 1 : arc - 1;
            outArc[at] = arc;
        }
    }
    if (n == 1) return Poly{1};
    std::vector<std::vector<Poly>> m(n - 1, std::vector<Poly>(n - 1));
    auto add = [&](std::size_t row, int col, const Poly& v) {
        if (col == static_cast<int>(n) - 1) return;
        auto& e = m[row][static_cast<std::size_t>(col)];
        Poly sum(std::max(e.size(), v.size()), 0);
        for (std::size_t i = 0; i < e.size(); ++i) sum[i] += e[i];
        for (std::size_t i = 0; i < v.size(); ++i) sum[i] += v[i];
        trim(sum);
        e = sum;
    };
    for (std::size_t c = 0; c + 1 < n; ++c) {
        add(c, overArc[c], Poly{1, -1});
        if (sign[c] > 0) {
            add(c, inArc[c], Poly{0, 1});
            add(c, outArc[c], Poly{-1});
        } else {
            add(c, inArc[c], Poly{-1});
            add(c, outArc[c], Poly{0, 1});
        }
    }
    auto d = determinant(std::move(m));
    if (!d) return std::nullopt;
    return normalised(*d);
}

Poly torusPolynomial(int p, int q) {
    // (t^pq - 1)(t - 1) / ((t^p - 1)(t^q - 1))
    auto power = [](int e) {
        Poly x(static_cast<std::size_t>(e) + 1, 0);
        x[0] = -1;
        x.back() = 1;
        return x;
    };
    auto num = mul(power(p * q), power(1));
    auto den = mul(power(p), power(q));
    return normalised(*divExact(num, den));
}

// The name of a knot from its polynomial and the crossings of a diagram of
// it, and the knot of the table whose polynomial it is.
//
// The table is that of the knots of up to 10 crossings: a diagram of n
// crossings is a knot of at most n, so below 11 crossings the polynomial
// names the one knot of the table that has it, and below the crossings of
// the next knot sharing it, that knot alone. Among knots of up to 10
// crossings 5_1 shares its polynomial with 10_132, 6_1 with 9_46; the
// trivial polynomial is the unknot's below 11 crossings (two knots of 11
// have it). A diagram of 11 or more crossings settles no name.
std::pair<std::string, std::string> nameOf(const Poly& a, int crossings) {
    constexpr int kTable = 11;  // the table holds the knots below this many crossings
    struct Known {
        Poly p;
        const char* name;
        const char* brief;
        int settled;  // the polynomial names the knot below this many crossings
    };
    static const Known table[] = {
        {{1}, "unknot", "unknot", kTable},   {{1, -1, 1}, "3_1 = T(2,3)", "3_1", kTable},
        {{-1, 3, -1}, "4_1", "4_1", kTable}, {{1, -1, 1, -1, 1}, "5_1 = T(2,5)", "5_1", 10},
        {{2, -3, 2}, "5_2", "5_2", kTable},  {{-2, 5, -2}, "6_1", "6_1", 9},
    };
    for (const Known& k : table)
        if (k.p == a) {
            if (crossings < k.settled) return {k.name, ""};
            if (std::string(k.brief) == "6_1" && crossings < kTable) return {"6_1 or 9_46", ""};
            return {"", k.brief};
        }
    for (int p = 2; p <= 12; ++p)
        for (int q = p + 1; (p - 1) * (q - 1) <= 60; ++q) {
            if (std::gcd(p, q) != 1 || torusPolynomial(p, q) != a) continue;
            const std::string name = "T(" + std::to_string(p) + "," + std::to_string(q) + ")";
            const int fewest = std::min(p * (q - 1), q * (p - 1));
            if (crossings >= fewest && crossings < kTable) return {name, ""};
            return {"", name};
        }
    return {"", ""};
}

}  // namespace

KnotType knotType(const std::vector<Vec3>& polygon, Vec3 direction) {
    KnotType out;
    if (polygon.size() < 3) return out;
    std::vector<Strand> strands{{&polygon, 0}};
    for (Vec3 view : viewsAround(direction)) {
        auto crossings = crossingsOf(strands, view);
        if (!crossings) continue;
        std::vector<Passage> code;
        std::vector<std::pair<double, Passage>> along;
        std::vector<int> signs;
        for (std::size_t c = 0; c < crossings->size(); ++c) {
            const Crossing& x = (*crossings)[c];
            along.push_back({x.over, {static_cast<int>(c), true}});
            along.push_back({x.under, {static_cast<int>(c), false}});
            signs.push_back(x.sign);
        }
        std::sort(along.begin(), along.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& [pos, p] : along) code.push_back(p);
        code = simplified(std::move(code));
        out.crossings = static_cast<int>(code.size() / 2);
        if (out.crossings > kMostForPolynomial) return out;
        std::optional<Poly> a;
        try {
            a = alexanderOf(code, signs);
        } catch (const Overflow&) {
            return out;
        }
        long long at1 = 0;
        if (a)
            for (long long c : *a) at1 += c;
        if (!a || at1 != 1) continue;  // not a knot's polynomial: look from elsewhere
        out.found = true;
        out.alexander = *a;
        long long atMinus1 = 0;
        for (std::size_t i = 0; i < a->size(); ++i) atMinus1 += i % 2 ? -(*a)[i] : (*a)[i];
        out.determinant = std::abs(atMinus1);
        std::tie(out.name, out.polynomialOf) = nameOf(*a, out.crossings);
        return out;
    }
    return out;
}

std::optional<int> linkingNumber(const std::vector<Vec3>& a, const std::vector<Vec3>& b,
                                 Vec3 direction) {
    if (a.size() < 3 || b.size() < 3) return std::nullopt;
    // Each polygon must stand for its curve in the other's complement: the
    // straight sides may not come near the other curve.
    double side = 0, size = 0;
    for (const auto* p : {&a, &b})
        for (std::size_t i = 0; i < p->size(); ++i) {
            side = std::max(side, length((*p)[(i + 1) % p->size()] - (*p)[i]));
            size = std::max(size, length((*p)[i]));
        }
    {
        if (!(side > 0)) return std::nullopt;
        PointGrid grid(a, 2 * side);
        bool close = false;
        for (const Vec3& q : b) {
            grid.near(q, [&](std::size_t i) { close = close || length(a[i] - q) < 2 * side; });
            if (close) return std::nullopt;
        }
    }
    return linkingNumberApart(a, b, direction);
}

std::optional<int> linkingNumberApart(const std::vector<Vec3>& a, const std::vector<Vec3>& b,
                                      Vec3 direction) {
    if (a.size() < 3 || b.size() < 3) return std::nullopt;
    // Curves in boxes apart do not link.
    {
        Vec3 lo[2], hi[2];
        for (int k = 0; k < 2; ++k) {
            const auto& p = k == 0 ? a : b;
            lo[k] = hi[k] = p[0];
            for (const Vec3& v : p) {
                lo[k] = {std::min(lo[k].x, v.x), std::min(lo[k].y, v.y), std::min(lo[k].z, v.z)};
                hi[k] = {std::max(hi[k].x, v.x), std::max(hi[k].y, v.y), std::max(hi[k].z, v.z)};
            }
        }
        if (lo[0].x > hi[1].x || lo[1].x > hi[0].x || lo[0].y > hi[1].y || lo[1].y > hi[0].y ||
            lo[0].z > hi[1].z || lo[1].z > hi[0].z)
            return 0;
    }
    std::vector<Strand> strands{{&a, 0}, {&b, 1}};
    for (Vec3 view : viewsAround(direction)) {
        auto crossings = crossingsOf(strands, view, true);
        if (!crossings) continue;
        int sum = 0;
        for (const Crossing& c : *crossings)
            if (c.overPart != c.underPart) sum += c.sign;
        if (sum % 2 != 0) continue;
        return sum / 2;
    }
    return std::nullopt;
}

std::string alexanderText(const std::vector<long long>& c) {
    if (c.empty()) return "0";
    const int low = -static_cast<int>(c.size() - 1) / 2;
    std::string out;
    for (std::size_t i = 0; i < c.size(); ++i) {
        long long v = c[i];
        if (v == 0) continue;
        const int e = low + static_cast<int>(i);
        const long long mag = v < 0 ? -v : v;
        if (out.empty())
            out += v < 0 ? "-" : "";
        else
            out += v < 0 ? " - " : " + ";
        const std::string power = e == 0 ? "" : e == 1 ? "t" : "t^" + std::to_string(e);
        if (mag != 1 || e == 0) out += std::to_string(mag);
        out += power;
    }
    return out;
}
