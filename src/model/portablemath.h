// Sine and cosine with the same bits in every build (portablemath.cpp says
// why): what the model computes positions and measures with.
#pragma once

namespace portable {

double sin(double x);
double cos(double x);

}  // namespace portable
