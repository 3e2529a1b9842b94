// Sine and cosine with the same bits in every build (portablemath.cpp says
// why): what the model computes positions and measures with.
#pragma once

namespace portable {

double sin(double x);
double cos(double x);

// Both from one reduction of x: the same bits as sin(x) and cos(x), in
// about the time of one of them.
struct SinCos {
    double sin, cos;
};
SinCos sinCos(double x);

}  // namespace portable
