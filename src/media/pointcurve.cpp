// A traced point placed at exact instants.
#include "pointcurve.h"

#include <cmath>

#include "placement.h"
#include "pointpaths.h"

std::optional<PointCurve> PointCurve::make(const Automaton& a, const Sphere& s, int point) {
    if (point < 0 || point >= static_cast<int>(s.points.size())) return std::nullopt;
    // Planning only reads the sphere; it keeps the pointer for its caller.
    PathPlan plan = planPath(a, const_cast<Sphere&>(s));
    if (!plan.period || plan.list.size() < 2) return std::nullopt;
    PointCurve c;
    MotionCache cache(a);
    for (std::size_t i = 1; i < plan.list.size(); ++i) {
        const Sphere& from = *plan.list[i - 1];
        const Sphere& to = *plan.list[i];
        c.motions_.push_back(LinkMotion::make(a, to, from));
        auto rate = cache.rate(to, from);
        const double turns = rate ? toDouble(BigRational(*rate * *plan.period)) : 0.0;
        if (!std::isfinite(turns)) return std::nullopt;
        c.turns_.push_back(turns);
        c.mostTurns_ = std::max(c.mostTurns_, std::abs(turns));
    }
    const SpherePoint& p = s.points[static_cast<std::size_t>(point)];
    const double z = p.pointAngleZ * kDegToRad, x = p.pointAngleX * kDegToRad;
    c.cosZ_ = std::cos(z), c.sinZ_ = std::sin(z), c.cosX_ = std::cos(x), c.sinX_ = std::sin(x);
    c.distance_ = p.quantumDistance * c.motions_.back().rs;
    return c;
}

Vec3 PointCurve::at(double u) const {
    Mat4 w = identityMatrix();
    for (std::size_t i = 0; i < motions_.size(); ++i) {
        const LinkMotion& m = motions_[i];
        const double e = turns_[i] * u;
        m.apply(w, m.revolutionAt(e), m.spinAt(e));
    }
    mulRotZ(w, cosZ_, sinZ_);
    mulRotX(w, cosX_, sinX_);
    mulTranslate(w, 0, 0, distance_);
    return translationOf(w);
}
