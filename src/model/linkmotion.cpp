// Per-link constants of placement.
#include "linkmotion.h"

#include "placement.h"
#include "portablemath.h"

LinkMotion LinkMotion::make(const Automaton&, const Sphere& s, const Sphere& n) {
    LinkMotion m;
    m.rs = s.radius;
    m.rn = n.radius;
    // Orientation and direction belong to the child of the pair.
    const Sphere& c = n.parent == &s ? n : s;
    const bool inside = c.inside != 0;
    m.clockwise = c.antiClockwise == 0;
    m.still = m.rs == 0;
    double u = m.still ? 0.0 : m.rn / m.rs;
    if (!inside) {
        m.uPrime = u + 1;
        m.spinForward = m.clockwise;
        m.d = m.rn + m.rs;
    } else {
        m.uPrime = u >= 1 ? u - 1 : 1 - u;
        m.spinForward = m.clockwise ? m.rn < m.rs : m.rn >= m.rs;
        m.d = m.rn - m.rs;
    }
    m.initialRevolution = s.initialRevolution;
    m.initialSpin = s.initialSpin;
    double az = effectiveAxisAngleZ(s) * kDegToRad;
    double ax = effectiveAxisAngleX(s) * kDegToRad;
    m.cosZ = portable::cos(az);
    m.sinZ = portable::sin(az);
    m.cosX = portable::cos(ax);
    m.sinX = portable::sin(ax);
    return m;
}
