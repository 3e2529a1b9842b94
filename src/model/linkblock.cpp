// The block kernels, compiled twice: for AVX2 and for the SSE2 baseline
// (elsewhere, WebAssembly, the two are the same code for the target's own
// vectors, and the switch stays off). GCC's vector extensions keep every
// operation an ordinary IEEE product or sum of two operands (the build
// forbids contracting them into fused multiply-adds), so every variant
// gives the bits of the scalar placement.
#include "linkblock.h"

#include <atomic>
#include <cmath>
#include <cstring>

#include "portablemath.h"

// The vector helpers are always inlined, so no vector ever crosses a call
// between the two instruction sets; GCC's note about that ABI is moot.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

#if defined(__x86_64__) || defined(__i386__)
#define ROTUNDEL_AVX2 __attribute__((target("avx2")))
bool cpuHasAvx2() {
    return __builtin_cpu_supports("avx2") != 0;
}
#else
#define ROTUNDEL_AVX2
bool cpuHasAvx2() {
    return false;
}
#endif

typedef double V4d __attribute__((vector_size(32)));
typedef float V4f __attribute__((vector_size(16)));

[[gnu::always_inline]] inline V4d load(const float* p) {
    V4f f;
    std::memcpy(&f, p, sizeof f);
    return __builtin_convertvector(f, V4d);
}
[[gnu::always_inline]] inline void store(float* p, V4d v) {
    V4f f = __builtin_convertvector(v, V4f);
    std::memcpy(p, &f, sizeof f);
}
[[gnu::always_inline]] inline V4d load(const double* p) {
    V4d v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
[[gnu::always_inline]] inline V4d splat(double x) {
    return V4d{x, x, x, x};
}

// The column pair (a, b) turned as mulRotZ / mulRotX turn it.
[[gnu::always_inline]] inline void turn(V4d& a, V4d& b, V4d c, V4d s) {
    V4d na = a * c + b * s;
    V4d nb = a * -s + b * c;
    a = na;
    b = nb;
}

[[gnu::always_inline]] inline void placeLinkBody(const LinkMotion& m, const double* e,
                                                 const FrameBlock& parent, FrameBlock& out,
                                                 int lanes) {
    alignas(32) double cs[kLinkBlock], ss[kLinkBlock], tx[kLinkBlock], ty[kLinkBlock];
    for (int i = 0; i < lanes; ++i) {
        const double revolution = m.revolutionAt(e[i]), spin = m.spinAt(e[i]);
        const double sr = spin * kDegToRad;
        const portable::SinCos spinTurn = portable::sinCos(sr);
        cs[i] = spinTurn.cos;
        ss[i] = spinTurn.sin;
        const double delta = (revolution - spin) * kDegToRad;
        const portable::SinCos offset = portable::sinCos(delta);
        tx[i] = m.d * offset.cos;
        ty[i] = m.d * offset.sin;
    }
    const int padded = (lanes + 3) & ~3;
    for (int i = lanes; i < padded; ++i) cs[i] = 1, ss[i] = 0, tx[i] = ty[i] = 0;
    const V4d cz = splat(m.cosZ), sz = splat(m.sinZ), cx = splat(m.cosX), sx = splat(m.sinX);
    for (int i = 0; i < padded; i += 4) {
        V4d w[12];
        for (int k = 0; k < 12; ++k) w[k] = load(&parent.m[k][i]);
        const V4d c = load(&cs[i]), s = load(&ss[i]), x = load(&tx[i]), y = load(&ty[i]);
        for (int r = 0; r < 3; ++r) {
            turn(w[r], w[3 + r], cz, sz);      // Rz(axis Z): columns 0 and 1
            turn(w[3 + r], w[6 + r], cx, sx);  // Rx(axis X): columns 1 and 2
            turn(w[r], w[3 + r], c, s);        // Rz(spin)
            w[9 + r] = w[r] * x + w[3 + r] * y + w[9 + r];
        }
        for (int k = 0; k < 12; ++k) store(&out.m[k][i], w[k]);
    }
}

[[gnu::always_inline]] inline void placePointBody(const FrameBlock& f, const PointConsts& p,
                                                  Vec3* out, int lanes) {
    const int padded = (lanes + 3) & ~3;
    const V4d nsz = splat(-p.sz), cz = splat(p.cz), nsx = splat(-p.sx), cx = splat(p.cx),
              h = splat(p.h);
    for (int i = 0; i < padded; i += 4) {
        V4d o[3];
        for (int r = 0; r < 3; ++r) {
            V4d col1 = load(&f.m[r][i]) * nsz + load(&f.m[3 + r][i]) * cz;  // after Rz
            V4d col2 = col1 * nsx + load(&f.m[6 + r][i]) * cx;              // after Rx
            o[r] = col2 * h + load(&f.m[9 + r][i]);
        }
        for (int j = 0; j < 4 && i + j < lanes; ++j) out[i + j] = {o[0][j], o[1][j], o[2][j]};
    }
}

ROTUNDEL_AVX2 void placeLinkAvx2(const LinkMotion& m, const double* e, const FrameBlock& parent,
                                 FrameBlock& out, int lanes) {
    placeLinkBody(m, e, parent, out, lanes);
}
void placeLinkSse2(const LinkMotion& m, const double* e, const FrameBlock& parent, FrameBlock& out,
                   int lanes) {
    placeLinkBody(m, e, parent, out, lanes);
}
ROTUNDEL_AVX2 void placePointAvx2(const FrameBlock& f, const PointConsts& p, Vec3* out, int lanes) {
    placePointBody(f, p, out, lanes);
}
void placePointSse2(const FrameBlock& f, const PointConsts& p, Vec3* out, int lanes) {
    placePointBody(f, p, out, lanes);
}

std::atomic<bool>& avx2Switch() {
    static std::atomic<bool> on{cpuHasAvx2()};
    return on;
}

}  // namespace

void FrameBlock::setIdentity() {
    for (int k = 0; k < 12; ++k) {
        const float v = k == 0 || k == 4 || k == 8 ? 1.0f : 0.0f;
        for (int i = 0; i < kLinkBlock; ++i) m[k][i] = v;
    }
}

void placeLinkBlock(const LinkMotion& m, const double* e, const FrameBlock& parent, FrameBlock& out,
                    int lanes) {
    if (avx2Switch().load(std::memory_order_relaxed))
        placeLinkAvx2(m, e, parent, out, lanes);
    else
        placeLinkSse2(m, e, parent, out, lanes);
}

void placePointBlock(const FrameBlock& frames, const PointConsts& p, Vec3* out, int lanes) {
    if (avx2Switch().load(std::memory_order_relaxed))
        placePointAvx2(frames, p, out, lanes);
    else
        placePointSse2(frames, p, out, lanes);
}

bool linkBlocksUseAvx2() {
    return avx2Switch().load();
}

void setLinkBlocksUseAvx2(bool on) {
    avx2Switch() = on && cpuHasAvx2();
}
