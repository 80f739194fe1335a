// Mixed-radix transform by decimation in frequency: each pass splits every
// group of p*M points into p interleaved sub-sequences of span M, with the
// p-point transform of the points M apart followed by the twiddle factors
// exp(-2 pi i jq / (pM)). After the last pass the results stand in
// digit-reversed order, which DIPRPN undoes. Many sequences are handled in
// one sweep through the dimension vector, so that the twiddle factors of a
// butterfly position are computed once for all of them.
#include "fourier/maps/fft_kernels.h"

#include <cmath>
#include <vector>

namespace zanek {

namespace {

constexpr float kTwoPi = 6.2831855f;  // 2 pi in single precision
constexpr float kSin60 = 0.8660254f;
constexpr float kCos72 = 0.309017f, kCos144 = -0.809017f;
constexpr float kSin72 = 0.9510565f, kSin36 = 0.5877852f;

enum { D1 = 0, D2 = 1, D3 = 2, D4 = 3, D5 = 4 };

// Calls body(offset) for every sequence of every set, offset being the
// word of point 0 of the sequence plus base.
template <class Body>
inline void sweep(const int d[5], int base, Body&& body) {
    for (int b = 0; b < d[D1]; b += d[D3])
        for (int c = 0; c < d[D4]; c += d[D5]) body(base + b + c);
}

// Twiddle factors cos and sin of k*theta for k = 1..4 by the angle sums.
struct Twiddles {
    float c[5], s[5];
    Twiddles(int j, int p, int m, int upto) {
        const float th = kTwoPi * static_cast<float>(j) / static_cast<float>(p * m);
        c[1] = std::cos(th);
        s[1] = std::sin(th);
        for (int k = 2; k <= upto; ++k) {
            c[k] = c[k - 1] * c[1] - s[k - 1] * s[1];
            s[k] = c[k - 1] * s[1] + s[k - 1] * c[1];
        }
    }
};

// (re, im) * (c - i s)
inline void rotate(float& re, float& im, float c, float s) {
    const float r = re * c + im * s;
    im = im * c - re * s;
    re = r;
}

}  // namespace

void SRFPN(int n, int pmax, int twogrp, int factor[], int sym[], int& psym, int unsym[], int& error) {
    error = 0;
    psym = 1;
    factor[0] = sym[0] = unsym[0] = 0;
    if (n < 1) {
        error = -1;
        return;
    }
    int square[kFftMaxFactors], single[kFftMaxFactors];
    int nsq = 0, nsi = 0, left = n;
    for (int d = 2; d <= pmax; ++d) {
        while (left % (d * d) == 0) {
            if (2 * nsq + nsi + 2 > kFftMaxFactors) {
                error = -1;
                return;
            }
            square[nsq++] = d;
            psym *= d;
            left /= d * d;
        }
        if (left % d == 0) {
            if (2 * nsq + nsi + 1 > kFftMaxFactors) {
                error = -1;
                return;
            }
            single[nsi++] = d;
            left /= d;
        }
    }
    if (left != 1) {
        error = -1;
        return;
    }
    int f = 0, s = 0;
    for (int i = nsq - 1; i >= 0; --i) factor[f++] = sym[s++] = square[i];
    int core = 1;
    for (int i = 0; i < nsi; ++i) {
        factor[f++] = unsym[i] = single[i];
        core *= single[i];
    }
    unsym[nsi] = 0;
    if (nsi > 0) sym[s++] = core;  // n / psym^2
    for (int i = 0; i < nsq; ++i) factor[f++] = sym[s++] = square[i];
    factor[f] = 0;
    sym[s] = 0;
    // Pairs of neighbouring factors 2 become factors 4.
    if (twogrp >= 4) {
        for (int i = 0; i + 1 < f; ++i) {
            if (factor[i] == 2 && factor[i + 1] == 2) {
                factor[i] = 1;
                factor[i + 1] = 4;
                ++i;
            }
        }
    }
}

void R2CFTKN(int n, int m, float* x0, float* y0, float* x1, float* y1, const int d[5]) {
    const int group = 2 * m * d[D2], extent = n * d[D2];
    for (int j = 0; j < m; ++j) {
        const Twiddles t(j, 2, m, 1);
        for (int g = 0; g < extent; g += group) {
            sweep(d, g + j * d[D2], [&](int o) {
                const float ar = x0[o], ai = y0[o], br = x1[o], bi = y1[o];
                x0[o] = ar + br;
                y0[o] = ai + bi;
                float dr = ar - br, di = ai - bi;
                if (j != 0) rotate(dr, di, t.c[1], t.s[1]);
                x1[o] = dr;
                y1[o] = di;
            });
        }
    }
}

void R3CFTKN(int n, int m, float* x0, float* y0, float* x1, float* y1, float* x2, float* y2, const int d[5]) {
    const int group = 3 * m * d[D2], extent = n * d[D2];
    for (int j = 0; j < m; ++j) {
        const Twiddles t(j, 3, m, 2);
        for (int g = 0; g < extent; g += group) {
            sweep(d, g + j * d[D2], [&](int o) {
                const float ar = x0[o], ai = y0[o];
                const float sr = x1[o] + x2[o], si = y1[o] + y2[o];
                const float dr = (x1[o] - x2[o]) * kSin60, di = (y1[o] - y2[o]) * kSin60;
                x0[o] = ar + sr;
                y0[o] = ai + si;
                const float mr = ar - 0.5f * sr, mi = ai - 0.5f * si;
                // outputs 1 and 2: m -/+ i d
                float r1 = mr + di, i1 = mi - dr;
                float r2 = mr - di, i2 = mi + dr;
                if (j != 0) {
                    rotate(r1, i1, t.c[1], t.s[1]);
                    rotate(r2, i2, t.c[2], t.s[2]);
                }
                x1[o] = r1;
                y1[o] = i1;
                x2[o] = r2;
                y2[o] = i2;
            });
        }
    }
}

void R4CFTKN(int n, int m, float* x0, float* y0, float* x1, float* y1, float* x2, float* y2, float* x3,
             float* y3, const int d[5]) {
    const int group = 4 * m * d[D2], extent = n * d[D2];
    for (int j = 0; j < m; ++j) {
        const Twiddles t(j, 4, m, 3);
        for (int g = 0; g < extent; g += group) {
            sweep(d, g + j * d[D2], [&](int o) {
                const float s02r = x0[o] + x2[o], s02i = y0[o] + y2[o];
                const float d02r = x0[o] - x2[o], d02i = y0[o] - y2[o];
                const float s13r = x1[o] + x3[o], s13i = y1[o] + y3[o];
                const float d13r = x1[o] - x3[o], d13i = y1[o] - y3[o];
                float r0 = s02r + s13r, i0 = s02i + s13i;
                float r2 = s02r - s13r, i2 = s02i - s13i;
                // outputs 1 and 3: d02 -/+ i d13
                float r1 = d02r + d13i, i1 = d02i - d13r;
                float r3 = d02r - d13i, i3 = d02i + d13r;
                if (j != 0) {
                    rotate(r1, i1, t.c[1], t.s[1]);
                    rotate(r2, i2, t.c[2], t.s[2]);
                    rotate(r3, i3, t.c[3], t.s[3]);
                }
                // Output 2 goes to strip 1 and output 1 to strip 2.
                x0[o] = r0;
                y0[o] = i0;
                x1[o] = r2;
                y1[o] = i2;
                x2[o] = r1;
                y2[o] = i1;
                x3[o] = r3;
                y3[o] = i3;
            });
        }
    }
}

void R5CFTKN(int n, int m, float* x0, float* y0, float* x1, float* y1, float* x2, float* y2, float* x3,
             float* y3, float* x4, float* y4, const int d[5]) {
    const int group = 5 * m * d[D2], extent = n * d[D2];
    for (int j = 0; j < m; ++j) {
        const Twiddles t(j, 5, m, 4);
        for (int g = 0; g < extent; g += group) {
            sweep(d, g + j * d[D2], [&](int o) {
                const float ar = x0[o], ai = y0[o];
                const float t1r = x1[o] + x4[o], t1i = y1[o] + y4[o];
                const float t2r = x2[o] + x3[o], t2i = y2[o] + y3[o];
                const float d1r = x1[o] - x4[o], d1i = y1[o] - y4[o];
                const float d2r = x2[o] - x3[o], d2i = y2[o] - y3[o];
                x0[o] = ar + t1r + t2r;
                y0[o] = ai + t1i + t2i;
                const float a1r = ar + kCos72 * t1r + kCos144 * t2r, a1i = ai + kCos72 * t1i + kCos144 * t2i;
                const float a2r = ar + kCos144 * t1r + kCos72 * t2r, a2i = ai + kCos144 * t1i + kCos72 * t2i;
                const float b1r = kSin72 * d1r + kSin36 * d2r, b1i = kSin72 * d1i + kSin36 * d2i;
                const float b2r = kSin36 * d1r - kSin72 * d2r, b2i = kSin36 * d1i - kSin72 * d2i;
                // outputs 1, 4 = a1 -/+ i b1; outputs 2, 3 = a2 -/+ i b2
                float r1 = a1r + b1i, i1 = a1i - b1r;
                float r4 = a1r - b1i, i4 = a1i + b1r;
                float r2 = a2r + b2i, i2 = a2i - b2r;
                float r3 = a2r - b2i, i3 = a2i + b2r;
                if (j != 0) {
                    rotate(r1, i1, t.c[1], t.s[1]);
                    rotate(r2, i2, t.c[2], t.s[2]);
                    rotate(r3, i3, t.c[3], t.s[3]);
                    rotate(r4, i4, t.c[4], t.s[4]);
                }
                x1[o] = r1;
                y1[o] = i1;
                x2[o] = r2;
                y2[o] = i2;
                x3[o] = r3;
                y3[o] = i3;
                x4[o] = r4;
                y4[o] = i4;
            });
        }
    }
}

void MDFTKDN(int n, const int factor[], const int d[5], float* x, float* y, int /*nwork*/) {
    int span = n;
    for (int i = 0; i < kFftMaxFactors && factor[i] != 0; ++i) {
        const int p = factor[i];
        if (p == 1) continue;
        span /= p;
        const int s = span * d[D2];
        switch (p) {
            case 2: R2CFTKN(n, span, x, y, x + s, y + s, d); break;
            case 3: R3CFTKN(n, span, x, y, x + s, y + s, x + 2 * s, y + 2 * s, d); break;
            case 4:
                R4CFTKN(n, span, x, y, x + s, y + s, x + 2 * s, y + 2 * s, x + 3 * s, y + 3 * s, d);
                break;
            case 5:
                R5CFTKN(n, span, x, y, x + s, y + s, x + 2 * s, y + 2 * s, x + 3 * s, y + 3 * s, x + 4 * s,
                        y + 4 * s, d);
                break;
            default: break;  // SRFPN admits no other factor
        }
    }
}

void DIPRPN(int n, const int sym[], int /*psym*/, const int unsym[], const int d[5], float* x, float* y) {
    if (n <= 1) return;
    // The digits of the passes, in pass order: SYM with its middle entry
    // (present when there are single factors) replaced by those factors.
    int nsym = 0, nuns = 0;
    while (nsym < kFftMaxFactors && sym[nsym] != 0) ++nsym;
    while (nuns < kFftMaxFactors && unsym[nuns] != 0) ++nuns;
    const int nsq = (nsym - (nuns > 0 ? 1 : 0)) / 2;
    std::vector<int> digits;
    for (int i = 0; i < nsq; ++i) digits.push_back(sym[i]);
    for (int i = 0; i < nuns; ++i) digits.push_back(unsym[i]);
    for (int i = 0; i < nsq; ++i) digits.push_back(sym[nsym - nsq + i]);
    // Frequency k = q1 + p1 q2 + p1 p2 q3 + ... stands at q1 S1 + q2 S2 + ...,
    // S_i the span after pass i.
    std::vector<int> pos(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k) {
        int rest = k, span = n, at = 0;
        for (int p : digits) {
            span /= p;
            at += (rest % p) * span;
            rest /= p;
        }
        pos[static_cast<std::size_t>(k)] = at;
    }
    // Follow the cycles of k <- pos[k].
    std::vector<char> done(static_cast<std::size_t>(n), 0);
    for (int k0 = 0; k0 < n; ++k0) {
        if (done[static_cast<std::size_t>(k0)] || pos[static_cast<std::size_t>(k0)] == k0) continue;
        std::vector<int> cycle;
        for (int k = k0; !done[static_cast<std::size_t>(k)]; k = pos[static_cast<std::size_t>(k)]) {
            done[static_cast<std::size_t>(k)] = 1;
            cycle.push_back(k);
        }
        const int len = static_cast<int>(cycle.size());
        sweep(d, 0, [&](int o) {
            const float vr = x[o + cycle[0] * d[D2]], vi = y[o + cycle[0] * d[D2]];
            for (int c = 0; c + 1 < len; ++c) {
                const int to = o + cycle[static_cast<std::size_t>(c)] * d[D2];
                const int from = o + cycle[static_cast<std::size_t>(c) + 1] * d[D2];
                x[to] = x[from];
                y[to] = y[from];
            }
            const int last = o + cycle[static_cast<std::size_t>(len) - 1] * d[D2];
            x[last] = vr;
            y[last] = vi;
        });
    }
}

void CMPLFTN(float* x, float* y, int nwork, int n, const int d[5], int& error) {
    int factor[kFftMaxFactors + 1], sym[kFftMaxFactors + 1], unsym[kFftMaxFactors + 1], psym = 1;
    SRFPN(n, 5, 4, factor, sym, psym, unsym, error);
    if (error != 0) return;
    MDFTKDN(n, factor, d, x, y, nwork);
    DIPRPN(n, sym, psym, unsym, d, x, y);
}

void HERMFTN(float* x, float* y, int nwork, int n, const int d[5], int& error) {
    int factor[kFftMaxFactors + 1], sym[kFftMaxFactors + 1], unsym[kFftMaxFactors + 1], psym = 1;
    SRFPN(n, 5, 4, factor, sym, psym, unsym, error);
    if (error != 0) return;
    // Term 0 with c_N (in Y): (c_0 + c_N, c_0 - c_N).
    sweep(d, 0, [&](int o) {
        const float a = x[o], b = y[o];
        x[o] = a + b;
        y[o] = a - b;
    });
    // Terms k and N-k: z_k = (c_k + conj c_(N-k)) + i w^k (c_k - conj c_(N-k)),
    // w = exp(-2 pi i / 2N), so that the length-N transform of z gives the
    // even values in its real parts and the odd ones in its imaginary parts.
    for (int k = 1; k <= n / 2; ++k) {
        const float phi = kTwoPi * static_cast<float>(k) / static_cast<float>(2 * n);
        const float c = std::cos(phi), s = std::sin(phi);
        const int a = k * d[D2], b = (n - k) * d[D2];
        sweep(d, 0, [&](int o) {
            const float x1 = x[o + a], y1 = y[o + a], x2 = x[o + b], y2 = y[o + b];
            const float u = (x1 - x2) * c + (y1 + y2) * s;
            const float v = (x1 - x2) * s - (y1 + y2) * c;
            x[o + a] = x1 + x2 + v;
            y[o + a] = u + (y1 - y2);
            if (b != a) {
                x[o + b] = x1 + x2 - v;
                y[o + b] = u - (y1 - y2);
            }
        });
    }
    MDFTKDN(n, factor, d, x, y, nwork);
    DIPRPN(n, sym, psym, unsym, d, x, y);
}

}  // namespace zanek
