// The constants of one rolling link (a sphere placed from its neighbour),
// worked out once so that placing the sphere at many instants only needs
// the revolution count e of each instant.
#pragma once

#include <cmath>

#include "automaton.h"
#include "geometry.h"
#include "portablemath.h"
#include "sphere.h"

struct LinkMotion {
    double rs = 0, rn = 0;  // radii of the placed sphere and its neighbour
    double uPrime = 0;      // spin per revolution, in turns
    double d = 0;           // distance of the centres
    bool still = false;     // a zero radius: no spin from rolling
    bool clockwise = true;
    bool spinForward = true;
    double initialRevolution = 0, initialSpin = 0;
    double cosZ = 1, sinZ = 0, cosX = 1, sinX = 0;  // the tilted axis

    static LinkMotion make(const Automaton& a, const Sphere& s, const Sphere& n);

    double revolutionAt(double e) const {
        double turn = 360.0 * e;
        return clockwise ? initialRevolution + turn : initialRevolution - turn;
    }
    double spinAt(double e) const {
        double v = still ? 0.0 : 360.0 * e * uPrime;
        return spinForward ? initialSpin + v : initialSpin - v;
    }
    // m = m * Rz(axis Z) * Rx(axis X) * Rz(spin) * T(d cos delta, d sin delta, 0).
    void apply(Mat4& m, double revolution, double spin) const {
        mulRotZ(m, cosZ, sinZ);
        mulRotX(m, cosX, sinX);
        const portable::SinCos turn = portable::sinCos(spin * kDegToRad);
        mulRotZ(m, turn.cos, turn.sin);
        const portable::SinCos offset = portable::sinCos((revolution - spin) * kDegToRad);
        mulTranslateXY(m, d * offset.cos, d * offset.sin);
    }
};
