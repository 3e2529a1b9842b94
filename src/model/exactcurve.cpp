// The exact curve of a traced point, composed link by link as placement
// composes the sphere frames, but in double precision throughout and with
// derivatives carried along.
#include "exactcurve.h"

#include <cmath>

#include "placement.h"
#include "portablemath.h"
#include "relations.h"

namespace {

// A value and its first three derivatives.
struct J {
    double v = 0, a = 0, b = 0, c = 0;
};
inline J operator+(J x, J y) {
    return {x.v + y.v, x.a + y.a, x.b + y.b, x.c + y.c};
}
inline J operator-(J x, J y) {
    return {x.v - y.v, x.a - y.a, x.b - y.b, x.c - y.c};
}
inline J operator*(double s, J x) {
    return {s * x.v, s * x.a, s * x.b, s * x.c};
}
inline J operator*(J x, J y) {
    return {x.v * y.v, x.a * y.v + x.v * y.a, x.b * y.v + 2 * x.a * y.a + x.v * y.b,
            x.c * y.v + 3 * x.b * y.a + 3 * x.a * y.b + x.v * y.c};
}
// cos and sin of the angle a0 + a1 u at u.
inline void turnJets(double a0, double a1, double u, J& c, J& s) {
    const auto [sv, cv] = portable::sinCos(a0 + a1 * u);
    const double a2 = a1 * a1, a3 = a2 * a1;
    c = {cv, -sv * a1, -cv * a2, sv * a3};
    s = {sv, cv * a1, -sv * a2, -cv * a3};
}

// A value and its first derivative only: the same operations as J's first
// two parts, so that they are the jet's to the bit.
struct J1 {
    double v = 0, a = 0;
};
inline J1 operator+(J1 x, J1 y) {
    return {x.v + y.v, x.a + y.a};
}
inline J1 operator-(J1 x, J1 y) {
    return {x.v - y.v, x.a - y.a};
}
inline J1 operator*(double s, J1 x) {
    return {s * x.v, s * x.a};
}
inline J1 operator*(J1 x, J1 y) {
    return {x.v * y.v, x.a * y.v + x.v * y.a};
}
inline void turnJets(double a0, double a1, double u, J1& c, J1& s) {
    const auto [sv, cv] = portable::sinCos(a0 + a1 * u);
    c = {cv, -sv * a1};
    s = {sv, cv * a1};
}

}  // namespace

ExactCurve::ExactCurve(const Automaton& a, const Sphere& s, std::size_t point,
                       const BigRational& period) {
    if (point >= s.points.size()) return;
    std::vector<Sphere*> list = findPathList(a, const_cast<Sphere&>(s));
    if (list.size() < 2) return;
    MotionCache cache(a);
    frequency_ = 0;
    for (std::size_t i = 1; i < list.size(); ++i) {
        Link l;
        l.m = LinkMotion::make(a, *list[i], *list[i - 1]);
        auto rate = cache.rate(*list[i], *list[i - 1]);
        if (!rate) return;
        // Revolutions over the period, then the angles in radians.
        const double turns = toDouble(BigRational(*rate * period));
        const double twoPi = 2 * M_PI;
        const double rev1 = (l.m.clockwise ? 1 : -1) * twoPi * turns;
        const double spinTurns = l.m.still ? 0.0 : turns * l.m.uPrime;
        const double spin1 = (l.m.spinForward ? 1 : -1) * twoPi * spinTurns;
        l.spin0 = l.m.initialSpin * kDegToRad;
        l.spin1 = spin1;
        l.delta0 = (l.m.initialRevolution - l.m.initialSpin) * kDegToRad;
        l.delta1 = rev1 - spin1;
        frequency_ += (std::abs(l.spin1) + std::abs(l.delta1)) / twoPi;
        links_.push_back(l);
    }
    const SpherePoint& p = s.points[point];
    const double z = p.pointAngleZ * kDegToRad, x = p.pointAngleX * kDegToRad;
    const double h = p.quantumDistance * s.radius;
    const double y = -portable::sin(x) * h;
    point_ = {-portable::sin(z) * y, portable::cos(z) * y, portable::cos(x) * h};
    valid_ = true;
}

Vec3 ExactCurve::at(double u) const {
    Vec3 v = point_;
    for (std::size_t i = links_.size(); i-- > 0;) {
        const Link& l = links_[i];
        const double delta = l.delta0 + l.delta1 * u, spin = l.spin0 + l.spin1 * u;
        const portable::SinCos offset = portable::sinCos(delta);
        double x = v.x + l.m.d * offset.cos, y = v.y + l.m.d * offset.sin, z = v.z;
        const auto [ss, cs] = portable::sinCos(spin);
        double x1 = cs * x - ss * y, y1 = ss * x + cs * y;                            // Rz(spin)
        double y2 = l.m.cosX * y1 - l.m.sinX * z, z2 = l.m.sinX * y1 + l.m.cosX * z;  // Rx
        v = {l.m.cosZ * x1 - l.m.sinZ * y2, l.m.sinZ * x1 + l.m.cosZ * y2, z2};       // Rz
    }
    return v;
}

void ExactCurve::along(double w, std::size_t count, Vec3* out) const {
    // Exact every kSeed corners, turned by a fixed step in between: a few
    // hundred roundings at most separate a corner from at()'s, where the
    // sines and cosines of every corner were most of the work.
    constexpr std::size_t kSeed = 64;
    const std::size_t n = links_.size();
    struct Turn {
        double c = 1, s = 0, stepC = 1, stepS = 0;
        void seed(double angle, double step) {
            c = portable::cos(angle), s = portable::sin(angle);
            stepC = portable::cos(step), stepS = portable::sin(step);
        }
        void advance() {
            const double c1 = c * stepC - s * stepS;
            s = s * stepC + c * stepS;
            c = c1;
        }
    };
    std::vector<Turn> delta(n), spin(n);
    const double du = w / static_cast<double>(count);
    for (std::size_t k = 0; k < count; ++k) {
        if (k % kSeed == 0) {
            const double u = w * static_cast<double>(k) / static_cast<double>(count);
            for (std::size_t i = 0; i < n; ++i) {
                const Link& l = links_[i];
                delta[i].seed(l.delta0 + l.delta1 * u, l.delta1 * du);
                spin[i].seed(l.spin0 + l.spin1 * u, l.spin1 * du);
            }
        }
        Vec3 v = point_;
        for (std::size_t i = n; i-- > 0;) {
            const Link& l = links_[i];
            double x = v.x + l.m.d * delta[i].c, y = v.y + l.m.d * delta[i].s, z = v.z;
            const double cs = spin[i].c, ss = spin[i].s;
            double x1 = cs * x - ss * y, y1 = ss * x + cs * y;
            double y2 = l.m.cosX * y1 - l.m.sinX * z, z2 = l.m.sinX * y1 + l.m.cosX * z;
            v = {l.m.cosZ * x1 - l.m.sinZ * y2, l.m.sinZ * x1 + l.m.cosZ * y2, z2};
            delta[i].advance();
            spin[i].advance();
        }
        out[k] = v;
    }
}

CurveJet ExactCurve::jet1(double u) const {
    J1 x{point_.x}, y{point_.y}, z{point_.z};
    for (std::size_t i = links_.size(); i-- > 0;) {
        const Link& l = links_[i];
        J1 cd, sd, cs, ss;
        turnJets(l.delta0, l.delta1, u, cd, sd);
        turnJets(l.spin0, l.spin1, u, cs, ss);
        x = x + l.m.d * cd;
        y = y + l.m.d * sd;
        J1 x1 = cs * x - ss * y, y1 = ss * x + cs * y;
        J1 y2 = l.m.cosX * y1 - l.m.sinX * z, z2 = l.m.sinX * y1 + l.m.cosX * z;
        x = l.m.cosZ * x1 - l.m.sinZ * y2;
        y = l.m.sinZ * x1 + l.m.cosZ * y2;
        z = z2;
    }
    return {{x.v, y.v, z.v}, {x.a, y.a, z.a}, {}, {}};
}

CurveJet ExactCurve::jet(double u) const {
    J x{point_.x}, y{point_.y}, z{point_.z};
    for (std::size_t i = links_.size(); i-- > 0;) {
        const Link& l = links_[i];
        J cd, sd, cs, ss;
        turnJets(l.delta0, l.delta1, u, cd, sd);
        turnJets(l.spin0, l.spin1, u, cs, ss);
        x = x + l.m.d * cd;
        y = y + l.m.d * sd;
        J x1 = cs * x - ss * y, y1 = ss * x + cs * y;
        J y2 = l.m.cosX * y1 - l.m.sinX * z, z2 = l.m.sinX * y1 + l.m.cosX * z;
        x = l.m.cosZ * x1 - l.m.sinZ * y2;
        y = l.m.sinZ * x1 + l.m.cosZ * y2;
        z = z2;
    }
    return {{x.v, y.v, z.v}, {x.a, y.a, z.a}, {x.b, y.b, z.b}, {x.c, y.c, z.c}};
}
