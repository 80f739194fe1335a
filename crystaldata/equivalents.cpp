#include "crystaldata/equivalents.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/genob.h"
#include "platform/listing.h"

namespace zanek {

namespace {

constexpr int kMaxOperators = 24;

inline int stored_operators() { return std::clamp(SYM.I(symw::kOps), 0, kMaxOperators); }

// Image h R of the row vector h under stored operator j, from the compact
// row codes (every slot holding +-c adds +-h_r to component c).
inline void image(int j, const int h[3], int out[3]) {
    out[0] = out[1] = out[2] = 0;
    for (int r = 0; r < 3; ++r)
        for (int slot = 0; slot < 2; ++slot) {
            int v = sym_row_code(j, r + 1, slot + 1);
            if (v > 0 && v <= 3) out[v - 1] += h[r];
            else if (v < 0 && v >= -3) out[-v - 1] -= h[r];
        }
}

// Translation component i (0..2) of stored operator j.
inline float translation(int j, int i) { return sym_translation(j, i + 1); }

// h.t in 1/24 of a turn, from the stored translations.
inline int phase_turns24(int j, const int h[3]) {
    int s = 0;
    for (int i = 0; i < 3; ++i) s += static_cast<int>(24.0f * translation(j, i) + 0.01f) * h[i];
    return s;
}

inline int positive_mod(int v, int m) { return ((v % m) + m) % m; }

}  // namespace

float RHOF(const float* G, int h, int k, int l) {
    double s = static_cast<double>(G[0]) * h * h + static_cast<double>(G[1]) * k * k +
               static_cast<double>(G[2]) * l * l + static_cast<double>(G[3]) * h * k +
               static_cast<double>(G[4]) * h * l + static_cast<double>(G[5]) * k * l;
    return static_cast<float>(std::sqrt(std::max(s, 0.0)));
}

int translated_operators(int tlist[24]) {
    int nt = 0;
    int n = stored_operators();
    for (int j = 2; j <= n; ++j) {
        bool moves = false;
        for (int i = 0; i < 3; ++i)
            if (std::fabs(translation(j, i)) > 0.00001f) moves = true;
        if (moves) tlist[nt++] = j;
    }
    return nt;
}

void EXTIN(int& absent, int h, int k, int l, int lm1, int nt, const int* tlist) {
    absent = 1;
    if (h == 0 && k == 0 && l == 0) return;
    switch (lm1 + 1) {
        case 2: if ((k + l) % 2) return; break;                          // a
        case 3: if ((h + l) % 2) return; break;                          // b
        case 4: if ((h + k) % 2) return; break;                          // c
        case 5: if ((h + k + l) % 2) return; break;                      // i
        case 6: if ((k + l) % 2 || (h + l) % 2 || (h + k) % 2) return; break;  // f
        case 7: if ((-h + k + l) % 3) return; break;                     // r
        default: break;
    }
    const int hv[3] = {h, k, l};
    const bool centric = SYM.I(symw::kCentric) == 1;
    nt = std::clamp(nt, 0, kMaxOperators);
    for (int m = 0; m < nt; ++m) {
        int j = tlist[m];
        if (j < 1 || j > stored_operators()) continue;
        int hp[3];
        image(j, hv, hp);
        for (int s = 1; s >= (centric ? -1 : 1); s -= 2) {
            if (hp[0] != s * h || hp[1] != s * k || hp[2] != s * l) continue;
            double u = s * (static_cast<double>(translation(j, 0)) * h + static_cast<double>(translation(j, 1)) * k +
                            static_cast<double>(translation(j, 2)) * l);
            long milli = static_cast<long>((std::fabs(u) + 0.0005) * 1000.0);
            if (milli % 1000 != 0) return;
        }
    }
    absent = 0;
}

void GENEQ(int mode, int& h, int& k, int& l, int& shift, int& code, int& sign, int& same, float& s2) {
    sign = 1;
    float s = RHOF(s2_coefficients(), h, k, l);
    s2 = s * s;
    // Beyond rhomax, or beyond the indices a packed index can hold: the
    // caller rejects the reflection; the answers are still defined.
    if (s2 > RC.R(rcw::kRhomax) || std::abs(h) > 255 || std::abs(k) > 255 || std::abs(l) > 255) {
        shift = 0;
        code = kPhaseGeneral;
        same = 0;
        return;
    }
    const int hv[3] = {h, k, l};
    const bool centric = SYM.I(symw::kCentric) == 1;
    const int n = stored_operators();
    int best_key = -1, best_shift24 = 0, best_sign = 1;
    int restriction = -1;  // phase of h restricted to 15 r or 15 r + 180 degrees
    int hmax[3] = {0, 0, 0};
    for (int j = 1; j <= std::max(n, 1); ++j) {
        int hp[3] = {h, k, l};
        if (n > 0) image(j, hv, hp);
        // h.t is needed only for the best operator and the first one that
        // maps h onto -h.
        if (!centric && restriction < 0 && hp[0] == -h && hp[1] == -k && hp[2] == -l)
            restriction = positive_mod(n > 0 ? phase_turns24(j, hv) : 0, 24) / 2;  // 12 h.t mod 12
        int p = hp[0] * 262144 + hp[1] * 512 + hp[2];
        int key = std::abs(p) + kPackedZero;
        for (int i = 0; i < 3; ++i) hmax[i] = std::max(hmax[i], std::abs(hp[i]));
        if (key > best_key) {
            best_key = key;
            best_shift24 = positive_mod(n > 0 ? -phase_turns24(j, hv) : 0, 24);
            best_sign = p >= 0 ? 1 : -1;
        }
    }
    if (mode == 1) {
        RC.R(rcw::kLargestS2) = std::max(RC.R(rcw::kLargestS2), s2);
        for (int i = 0; i < 3; ++i) max_index(1 + i) = std::max(max_index(1 + i), hmax[i]);
    }
    int H = best_key / 262144;
    int rest = best_key - H * 262144;
    int K = rest / 512 - 256;
    int L = rest - 512 * (rest / 512) - 256;
    same = (mode != 1 && H == h && K == k && L == l) ? 1 : 0;
    h = H;
    k = K;
    l = L;
    shift = 15 * best_shift24;
    sign = best_sign;
    // The restriction of the standard reflection: its phase is
    // (phi + shift) sign with phi = 15 r or 15 r + 180.
    if (centric) {
        code = kPhaseCentric;
    } else if (restriction < 0) {
        code = kPhaseGeneral;
    } else {
        int r = positive_mod((restriction + best_shift24) * best_sign, 12);
        code = r == 0 ? kPhaseCentric : r + 1;
    }
}

void INDMM(int& hmin, int& hmax, int& kmin, int& kmax, int& lmin, int& lmax) {
    hmax = std::clamp(max_index(1), 0, 255);
    kmax = std::clamp(max_index(2), 0, 255);
    lmax = std::clamp(max_index(3), 0, 255);
    hmin = -hmax;
    kmin = -kmax;
    lmin = -lmax;
    switch (ERL.I(erlw::kSystem)) {
        case 1:
            hmin = 0;
            break;
        case 2: {
            // c unique (p 1 1 2 ...): characters 3 and 5 of the symbol are 1
            char w3[4], w5[4];
            unpack_chars(w3, erl_symbol_char(3), 1);
            unpack_chars(w5, erl_symbol_char(5), 1);
            hmin = 0;
            if (w3[0] == '1' && w5[0] == '1') lmin = 0;
            else kmin = 0;
            break;
        }
        case 3:
        case 4:
        case 6:
            hmin = kmin = lmin = 0;
            break;
        case 5:
            hmin = lmin = 0;
            break;
        default:
            break;
    }
}

void UNOBS(const int strides[2], int lm1, int nt, const int* tlist, MissingReflections& table) {
    const float largest = RC.R(rcw::kLargestS2);
    const bool generate = GENOB.I(genob::kMissing) >= 0;
    const int system = ERL.I(erlw::kSystem);
    int hmin, hmax, kmin, kmax, lmin, lmax;
    INDMM(hmin, hmax, kmin, kmax, lmin, lmax);
    const int c1 = strides[0], c2 = strides[1];
    int count = 0;
    for (int h = hmin; h <= hmax; ++h)
        for (int k = kmin; k <= kmax; ++k)
            for (int l = lmin; l <= lmax; ++l) {
                if (h == 0 && k == 0 && l == 0) continue;
                if (system == 5 && k < 0 && std::abs(h) < std::abs(k)) continue;
                if (system == 6 && l < k && k < h) continue;
                int s = std::abs(c1 * h + c2 * k + l);
                if (table.presence(s) != 0) continue;
                int absent;
                EXTIN(absent, h, k, l, lm1, nt, tlist);
                if (absent) continue;
                int H = h, K = k, L = l, shift, code, sign, same;
                float s2;
                GENEQ(0, H, K, L, shift, code, sign, same, s2);
                if (s2 > largest) continue;
                if (std::abs(H) > max_index(1) || std::abs(K) > max_index(2) || std::abs(L) > max_index(3)) continue;
                int sp = std::abs(c1 * H + c2 * K + L);
                if (table.presence(sp) != 0) continue;
                table.mark_generated(sp);
                ++count;
                if (generate) {
                    table.append(H, K, L, code);
                    RC.I(rcw::kReflections) += 1;
                }
            }
    if (generate) table.finish();
    if (count > 0) {
        if (generate)
            lst("(10x,i5,'  reflections (not in input data) have been added')", {count});
        else
            lst("(10x,i5,'  reflections are not in input data')", {count});
    }
    RC.R(rcw::kLargestS2) = largest;
}

const char* restriction_text(int code) {
    static const char* const kText[14] = {"         ", "   any   ", "         ", "  30,210 ", "  45,225 ",
                                          "  60,240 ", "         ", "  90,270 ", "         ", " 120,300 ",
                                          " 135,315 ", " 150,330 ", "         ", "   0,180 "};
    return code >= 1 && code <= 13 ? kText[code] : kText[0];
}

}  // namespace zanek
