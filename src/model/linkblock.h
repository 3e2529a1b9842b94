// Placement of one rolling link over a block of consecutive instants, and
// the positions of a sphere's points over the block: the arithmetic of
// LinkMotion::apply and of the point placement, operation for operation,
// so that every narrowed float is the one the instant-by-instant placement
// gives. The sums and products run four instants at a time (AVX2 where the
// processor has it, SSE2 otherwise); the sines and cosines are the same
// library calls as the instant-by-instant placement makes.
#pragma once

#include "geometry.h"
#include "linkmotion.h"

constexpr int kLinkBlock = 64;

// Rows 0..2 of a block of sphere frames; row 3 of a placed frame is always
// (0, 0, 0, 1). Element (row r, column c) of instant i is m[c * 3 + r][i].
struct FrameBlock {
    alignas(32) float m[12][kLinkBlock];
    // Every instant at the identity (the stationary sphere).
    void setIdentity();
};

// The point's constants: cos and sin of its two angles, its distance in
// world units.
struct PointConsts {
    double cz, sz, cx, sx, h;
};

// out = parent * Rz(axis Z) * Rx(axis X) * Rz(spin) * T(...) at the
// instants whose revolution counts are e[0..lanes).
void placeLinkBlock(const LinkMotion& m, const double* e, const FrameBlock& parent, FrameBlock& out,
                    int lanes);
// The positions of a point in the frames of the block.
void placePointBlock(const FrameBlock& frames, const PointConsts& p, Vec3* out, int lanes);

// Whether the blocks run on AVX2; tests switch it off to check the other
// path. Not to be changed while a pass runs.
bool linkBlocksUseAvx2();
void setLinkBlocksUseAvx2(bool on);
