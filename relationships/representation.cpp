// Representation sums of the seminvariant phases.
#include "relationships/representation.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/invariants.h"
#include "jobcontrol/records/seminv.h"
#include "platform/listing.h"
#include "relationships/semalg.h"
#include "relationships/seminv_work.h"

namespace zanek {

namespace {

using semtab::kFreeVectors;
using semtab::kSlots;

// Free-vector E tables of EHK: number of signs and of equivalents of each
// free vector, then E and E^2 - 1 of H + s (equivalent j).
struct FreeVectorTable {
    int signs[kFreeVectors + 1] = {};
    int count[kFreeVectors + 1] = {};
    float e[kFreeVectors + 1][3][kSlots + 1] = {};
    float q[kFreeVectors + 1][3][kSlots + 1] = {};
};
FreeVectorTable g_free;

int nsym() { return std::min(SYM2.I(sym2::kNsym), kSlots); }

void add(const int a[3], const int b[3], int out[3]) {
    for (int c = 0; c < 3; ++c) out[c] = a[c] + b[c];
}
void scaled(int s, const int a[3], int out[3]) {
    for (int c = 0; c < 3; ++c) out[c] = s * a[c];
}
int component_sum(const int a[3]) { return a[0] + a[1] + a[2]; }

// E and E^2 - 1 of a reflection as the sums see it: 0, 0 outside the
// table; 1, 0 when not among the data; |E| otherwise.
void lookup_sum(const int h[3], float& e, float& q) {
    int s = -1;
    INDR(h, s);
    if (s == -1) {
        e = 0.0f;
        q = 0.0f;
        return;
    }
    int v = semtab::isr(s);
    if (v == semtab::kAbsent) {
        e = 1.0f;
        q = 0.0f;
        return;
    }
    e = static_cast<float>(std::abs(v)) / 1000.0f;
    q = e * e - 1.0f;
}

// The same for a cross reflection of the two-phase term: -1, 0 outside the
// table, isr / 1000 otherwise (so -1 when not among the data).
void lookup_cross(const int h[3], float& e, float& q, int* index = nullptr) {
    int s = -1;
    INDR(h, s);
    if (index) *index = s;
    if (s == -1) {
        e = -1.0f;
        q = 0.0f;
        return;
    }
    e = static_cast<float>(semtab::isr(s)) / 1000.0f;
    q = e * e - 1.0f;
}

bool present(const int h[3]) {
    int s = -1;
    INDR(h, s);
    return s > 0 && semtab::isr(s) != semtab::kAbsent;
}

void mark_one(const int h[3]) {
    int n = PRO.I(pro::kMarks);
    MARK(h, 0, n, h);
    PRO.I(pro::kMarks) = n;
}

// K R_m as a row vector.
void mapped(const int k[3], int m, int out[3]) {
    int idx = 0;
    EQUIV(k, out, m, idx);
}

float restricted_sum_dot(const int k[3], int m) {
    return static_cast<float>(k[0]) * erl_T(m, 1) + static_cast<float>(k[1]) * erl_T(m, 2) +
           static_cast<float>(k[2]) * erl_T(m, 3);
}

void one_phase_term(int R, float PHIR, const int K[3], float EK, float G, float EH, float QH, int SH) {
    const int m = PRO.I(pro::kMatrix);
    const float a = PHIR - COST.R(cost::kTwoPi) * restricted_sum_dot(K, m);
    const float cs[2] = {std::cos(a), std::sin(a)};
    float w = 1.0f;
    bool far = false;
    if (EK <= 0.4f || EK >= 0.9f) {
        const int H[3] = {pro::h(1), pro::h(2), pro::h(3)};
        if (K[0] == H[0] / 2 && K[1] == H[1] / 2 && K[2] == H[2] / 2) w = 0.5f;
        far = (std::abs(K[0]) + std::abs(K[1]) + std::abs(K[2])) * SH > 20;
    }
    PRO.R(pro::kCos1) += cs[0] * w * G;
    PRO.R(pro::kSin1) += cs[1] * w * G;
    if (DIR1.I(dir1::kFormula) == 1 || !far) {
        PRO.R(pro::kCos2) += w * G * cs[0];
        PRO.R(pro::kSin2) += w * G * cs[1];
    } else {
        SECREP(cs, EH, EK, G, QH, R, w);
    }
}

void two_phase_term() {
    using pross2::q, pross2::qx;
    const bool square_is_identity = PROSS2.I(pross2::kSquare) == 0;
    float Q = q(3) + q(6) + q(6) * q(8) + q(3) * q(5) + 2.0f * q(3) * q(6);
    if (square_is_identity) Q += q(7) + q(9);
    if (PROSS2.I(pross2::kFlagK1) == 0) Q += 2.0f * q(3) * q(7);
    if (PROSS2.I(pross2::kFlagK2) == 0) Q += 2.0f * q(6) * q(9);
    if (square_is_identity) Q += 2.0f * (qx(1) * qx(4) + q(9) * qx(2) + q(7) * qx(1) + qx(2) * qx(3));
    const double angle = 15.0 * PROSS2.I(pross2::kQuartetShift) * 3.14159265358979 / 180.0;
    PROSS2.R(pross2::kSin) += Q * static_cast<float>(std::sin(angle));
    PROSS2.R(pross2::kCos) += Q * static_cast<float>(std::cos(angle));
    if (PROSS2.I(pross2::kTrace) != 0)
        lst("('0  qj, deltaj ',2F10.3,' ssin,scos ',2F10.3)",
            {Q, static_cast<float>(15 * PROSS2.I(pross2::kQuartetShift)), PROSS2.R(pross2::kSin),
             PROSS2.R(pross2::kCos)});
}

// Parameter range of column j of P: wide enough that every K = P t + u
// within the maximum indices is reached.
void parameter_range(const int P[3][3], const int u[3], int j, int& lo, int& hi) {
    if (P[0][j] == 0 && P[1][j] == 0 && P[2][j] == 0) {
        lo = hi = 0;
        return;
    }
    int reach = std::max({UREQ.I(ureqw::kHmax), UREQ.I(ureqw::kKmax), UREQ.I(ureqw::kLmax)}) +
                std::max({std::abs(u[0]), std::abs(u[1]), std::abs(u[2])});
    lo = -reach;
    hi = reach;
}

}  // namespace

void unmark_all() {
    const int n = std::min(PRO.I(pro::kMarks), semtab::kMarks);
    for (int i = 1; i <= n; ++i) {
        int& v = semtab::isr(semtab::mark(i));
        v = std::abs(v);
    }
    PRO.I(pro::kMarks) = 0;
}

void MARK(const int H[3], int /*R*/, int& N, const int* /*H0*/) {
    UREQ.I(ureqw::kWork) = 0;
    for (int j = 1; j <= nsym(); ++j) {
        int h2[3], s = -1;
        EQUIV(H, h2, j, s);
        if (s <= 0 || semtab::isr(s) <= 0) continue;
        if (N >= semtab::kMarks) {
            UREQ.I(ureqw::kWork) = 1;
            return;
        }
        semtab::isr(s) = -semtab::isr(s);
        N += 1;
        semtab::mark(N) = s;
    }
}

void KSYM(const int L[3], const int K[3], float& E, float& Q, int S[3], int& IS) {
    add(L, K, S);
    INDR(S, IS);
    lookup_sum(S, E, Q);
}

void INSE(float T[50][9], float X, int J, int N) {
    for (int i = 1; i < N; ++i)
        if (T[i][J] == X) return;
    T[N][J] = X;
}

int free_vector_signs(int k) { return g_free.signs[k]; }

float free_vector_e(int k, int sigma, int j, bool q) { return q ? g_free.q[k][sigma][j] : g_free.e[k][sigma][j]; }

void EHK() {
    const int H[3] = {pro::h(1), pro::h(2), pro::h(3)};
    const int n = nsym();
    for (int k = 1; k <= std::min(DIR1.I(dir1::kFreeVectors), kFreeVectors); ++k) {
        const int d = (SYM2.I(sym2::kCentric) == 1 && semtab::eword(k) <= 0) ? 1 : 2;
        g_free.signs[k] = d;
        g_free.count[k] = d * n;
        for (int sigma = 1; sigma <= d; ++sigma)
            for (int j = 1; j <= n; ++j) {
                const int s = sigma == 1 ? 1 : -1;
                int x[3];
                for (int c = 0; c < 3; ++c) x[c] = H[c] + s * semtab::slot(c, j, k);
                lookup_sum(x, g_free.e[k][sigma][j], g_free.q[k][sigma][j]);
            }
    }
}

void SECREP(const float CS[2], float EH, float EK, float G, float QH, int R, float W) {
    const int m = PRO.I(pro::kMatrix);
    const int H[3] = {pro::h(1), pro::h(2), pro::h(3)};
    const int K[3] = {pro::current_k(1), pro::current_k(2), pro::current_k(3)};
    const float a = (2.0f * G + 1.0f) * W;
    const float natoms = INP.R(inp::kSemAtomsReal);
    const float flimit = DIR1.R(dir1::kFreeE);
    if (UREQ.I(ureqw::kPrint) > 0)
        lst("(1X,'&&&&',2(3I4,2F9.3,5X),' &&&& nmat=',I2,' &&&&',I5,F9.3)",
            {H[0], H[1], H[2], EH, QH, K[0], K[1], K[2], EK, G, m, semtab::kRows, flimit});
    const int n_sym = nsym();
    float dC = 0.0f, dS = 0.0f;
    static float T[50][9];
    for (int n = 1; n <= std::min(DIR1.I(dir1::kFreeVectors), kFreeVectors); ++n) {
        if (n == R) continue;
        const float En = semtab::row_e(n);
        if (En == EK) continue;
        const float qn = En * En - 1.0f;
        bool dropped = false;
        for (int sigma = 1; sigma <= g_free.signs[n] && !dropped; ++sigma)
            for (int j = 1; j <= n_sym && !dropped; ++j) {
                const int N = n_sym * (sigma - 1) + j;
                for (int c = 1; c <= 8; ++c) T[N][c] = (c % 2 == 0) ? 1.0f : 0.0f;
                if (semtab::slot_is_duplicate(j, n)) continue;
                const int s = sigma == 1 ? 1 : -1;
                int eq[3], L[3], S[3], IS = 0;
                semtab::slot_vector(j, n, eq);
                scaled(s, eq, L);
                const float eL = g_free.e[n][sigma][j], qL = g_free.q[n][sigma][j];
                float eKL = 0.0f, qKL = 0.0f;
                KSYM(L, K, eKL, qKL, S, IS);
                if (qKL == 0.0f && qL == 0.0f) continue;
                if (eL > flimit && eL > En) T[N][4] = T[N][6] = 0.0f;
                if (qKL == qL) {
                    T[N][2] = T[N][4] = T[N][6] = T[N][8] = 0.0f;
                    continue;
                }
                if (eKL > flimit && eKL > En) {
                    T[N][2] = T[N][4] = T[N][6] = T[N][8] = 0.0f;
                    continue;
                }
                if (qKL != 0.0f) INSE(T, qKL, 5, N);
                if (qL != 0.0f) INSE(T, qL, 1, N);
                if (qKL * qL != 0.0f) INSE(T, qKL * qL, 3, N);
                int t = (N >= 1 && N <= 48 && m >= 1 && m <= 48) ? erl_P(N, m) : 0;
                int g = 1;
                if (t > n_sym) {
                    g = -1;
                    t -= n_sym;
                }
                float eKL2 = 0.0f, qKL2 = 0.0f;
                if (t >= 1 && t <= n_sym) {
                    int eq2[3], L2[3], S2[3], IS2 = 0;
                    semtab::slot_vector(t, n, eq2);
                    scaled(g, eq2, L2);
                    KSYM(L2, K, eKL2, qKL2, S2, IS2);
                }
                if (eKL2 > En) T[N][8] = 0.0f;
                if (qKL * qKL2 != 0.0f) INSE(T, qKL * qKL2, 7, N);
                if ((eL != 0.0f && eL == EK) || (eKL != 0.0f && eKL == EK) || eKL == EH || eL == En) {
                    dropped = true;
                    break;
                }
                if (eKL != 0.0f && eKL == eKL2) T[N][2] = T[N][4] = T[N][6] = T[N][8] = 0.0f;
            }
        if (dropped) continue;
        float S1 = 0.0f, S2 = 0.0f, S3 = 0.0f, S4 = 0.0f;
        for (int N = 1; N <= std::min(g_free.count[n], 2 * kSlots); ++N) {
            S1 += T[N][1] * T[N][2];
            S2 += T[N][3] * T[N][4];
            S3 += T[N][5] * T[N][6];
            S4 += T[N][7] * T[N][8];
        }
        const float A = qn * S3 + S2;
        const float B = std::max(0.0f, (G * A + (qn * S1 + S4) * QH) / (2.0f * natoms));
        const float Cn = ((S2 + S4) * a * qn - A / 2.0f) / natoms;
        dC += Cn * CS[0] / (1.0f + B);
        dS += Cn * CS[1] / (1.0f + B);
    }
    PRO.R(pro::kCos2) += G * CS[0] + dC;
    PRO.R(pro::kSin2) += G * CS[1] + dS;
    if (UREQ.I(ureqw::kPrint) > 0)
        lst("('  eps2,coef,codh,sr2,sum      ',9X,8F10.4)",
            {a, W, CS[0], CS[1], PRO.R(pro::kCos2), PRO.R(pro::kSin2), dC, dS});
}

void QUART(int /*R*/) {
    const int m = PRO.I(pro::kMatrix);
    const int K1[3] = {pro::k1(1), pro::k1(2), pro::k1(3)};
    const int K2[3] = {pro::k2(1), pro::k2(2), pro::k2(3)};
    const int K[3] = {pro::current_k(1), pro::current_k(2), pro::current_k(3)};
    const int P1[3] = {pross2::p1(1), pross2::p1(2), pross2::p1(3)};
    int X[15][3] = {};
    int KR[3], K1R[3];
    mapped(K, m, KR);
    mapped(K1, m, K1R);
    for (int c = 0; c < 3; ++c) {
        X[1][c] = K1[c];
        X[2][c] = K2[c];
        X[3][c] = -K[c];
        X[4][c] = KR[c];
        X[5][c] = K1[c] + K2[c];
        X[6][c] = K1[c] - K[c];
        X[7][c] = K2[c] - K[c];
        X[8][c] = K1R[c] + K2[c];
        X[9][c] = K1R[c] + K1[c] - K[c];
        X[10][c] = K2[c] + K1[c] - K[c];
    }
    // Flags of the images that fold back on themselves.
    int KRK[3];
    add(KR, K, KRK);
    if (component_sum(KRK) == 0) PROSS2.I(pross2::kFlagK1) = 1;
    PROSS2.I(pross2::kFlag36) = PROSS2.I(pross2::kFlagK1) == 0 ? 1 : 0;
    {
        const double kt = 24.0 * restricted_sum_dot(K, m);
        int shift = static_cast<int>(std::lround(kt)) % 24;
        if (shift < 0) shift += 24;
        PROSS2.I(pross2::kQuartetShift) = shift - PROSS2.I(pross2::kShift);
    }
    const bool x6 = present(X[6]);
    PROSS2.I(pross2::kFlag37) = 0;
    if (x6) {
        PROSS2.I(pross2::kFlag37) = 1;
        if (PROSS2.I(pross2::kFlagK2) == 0) {
            int minus[3], img[3], sum[3];
            scaled(-1, X[6], minus);
            mapped(minus, m, img);
            add(img, minus, sum);
            if (component_sum(sum) == 0) PROSS2.I(pross2::kFlagK2) = 1;
        }
        if (PROSS2.I(pross2::kFlagK2) != 0) PROSS2.I(pross2::kFlag37) = 0;
    }
    const bool square_is_identity = PROSS2.I(pross2::kSquare) == 0;
    float e = 0.0f, q = 0.0f;
    if (square_is_identity) {
        int img[3], s = -1;
        EQUIV(X[7], img, m, s);
        if (s > 0) {
            if (PROSS2.I(pross2::kFlag34) == 1 && PROSS2.I(pross2::kFlag36) == 1) {
                add(K, P1, X[11]);
                PROSS2.I(pross2::kFlagX11) = 1;
                lookup_cross(X[11], e, q);
                pross2::qx(1) = q;
                mark_one(X[11]);
            } else {
                mark_one(img);
            }
        }
    }
    if (square_is_identity && x6) {
        int minus9[3];
        scaled(-1, X[9], minus9);
        mark_one(minus9);
        if (PROSS2.I(pross2::kFlag34) == 1 && PROSS2.I(pross2::kFlag37) == 1) {
            add(X[6], P1, X[12]);
            lookup_cross(X[12], e, q);
            pross2::qx(2) = q;
            PROSS2.I(pross2::kFlagX12) = 1;
        }
    }
    // Presets: the partners and K, then the cross reflections absent.
    const float EK = PROSS2.R(pross2::kEK);
    pross2::e(1) = PROSS2.R(pross2::kERow1);
    pross2::e(2) = PROSS2.R(pross2::kERow2);
    pross2::e(3) = EK;
    pross2::e(4) = EK;
    for (int t = 1; t <= 4; ++t) pross2::q(t) = pross2::e(t) * pross2::e(t) - 1.0f;
    for (int t = 5; t <= 10; ++t) {
        pross2::e(t) = -1.0f;
        pross2::q(t) = 0.0f;
    }
    const int last = x6 ? 10 : 7;
    for (int t = 5; t <= last; ++t) {
        if (t == 7 && PROSS2.I(pross2::kFlagK1) != 0) continue;
        if (t == 9 && PROSS2.I(pross2::kFlagK2) != 0) continue;
        lookup_cross(X[t], pross2::e(t), pross2::q(t));
    }
    if (square_is_identity) {
        if (PROSS2.I(pross2::kFlagX12) != 0 && x6) {
            add(X[9], P1, X[13]);
            lookup_cross(X[13], e, q);
            pross2::qx(3) = q;
        }
        if (PROSS2.I(pross2::kFlagX11) != 0) {
            for (int c = 0; c < 3; ++c) X[14][c] = X[7][c] - P1[c];
            lookup_cross(X[14], e, q);
            pross2::qx(4) = q;
        }
    }
    if (PROSS2.I(pross2::kTrace) != 0) {
        lst("('  controllo su h1*i=-h1*rm ',3I5,10X,3I5)", {K1[0], K1[1], K1[2], K1R[0], K1R[1], K1R[2]});
        int K2R[3];
        mapped(K2, m, K2R);
        lst("('  controllo su h2rbeta*i=-h2rbeta*rm ',3I5,4X,3I5)", {K2[0], K2[1], K2[2], K2R[0], K2R[1], K2R[2]});
        lst("('  u1(i+rm)  ',3I5)", {P1[0], P1[1], P1[2]});
        lst("(' asterisco -u(13,2) ',3I8)", {X[11][0], X[11][1], X[11][2]});
        for (int t = 1; t <= 10; ++t)
            lst("(1X,I3,3I5,2F9.3)", {t, X[t][0], X[t][1], X[t][2], pross2::e(t), pross2::q(t)});
        lst("(1X,'shifts',2I5)", {PROSS2.I(pross2::kShift), PROSS2.I(pross2::kQuartetShift)});
    }
}

void FIND1(int R, float PHIR, int& FLAG) {
    const float EH = PRO.R(pro::kEH);
    const float QH = EH * EH - 1.0f;
    const int H[3] = {pro::h(1), pro::h(2), pro::h(3)};
    const int SH = std::abs(H[0]) + std::abs(H[1]) + std::abs(H[2]);
    const int mode = PROSS2.I(pross2::kMode);
    const int m = PRO.I(pro::kMatrix);
    if (mode == 2) {
        FLAG = 0;
        const int K1[3] = {pro::k1(1), pro::k1(2), pro::k1(3)};
        const int K2[3] = {pro::k2(1), pro::k2(2), pro::k2(3)};
        int img[3], kp[3], s = -1;
        mapped(K1, m, img);
        add(img, K2, kp);
        INDR(kp, s);
        if (s > 0 && static_cast<float>(std::abs(semtab::isr(s))) / 1000.0f >= EH) {
            FLAG = 1;
            return;
        }
    }
    int P[3][3], u[3];
    for (int c = 0; c < 3; ++c)
        for (int r = 0; r < 3; ++r) P[r][c] = pro::solution(r + 1, c + 1);
    for (int c = 0; c < 3; ++c) u[c] = pro::current_k(1 + c);
    int lo[3], hi[3];
    for (int j = 0; j < 3; ++j) parameter_range(P, u, j, lo[j], hi[j]);
    const int U[3] = {UREQ.I(ureqw::kHmax), UREQ.I(ureqw::kKmax), UREQ.I(ureqw::kLmax)};
    for (int t1 = lo[0]; t1 <= hi[0]; ++t1)
        for (int t2 = lo[1]; t2 <= hi[1]; ++t2)
            for (int t3 = lo[2]; t3 <= hi[2]; ++t3) {
                int K[3];
                bool inside = true;
                for (int i = 0; i < 3 && inside; ++i) {
                    K[i] = P[i][0] * t1 + P[i][1] * t2 + P[i][2] * t3 + u[i];
                    inside = std::abs(K[i]) <= U[i];
                }
                if (!inside || (K[0] == 0 && K[1] == 0 && K[2] == 0)) continue;
                for (int c = 0; c < 3; ++c) pro::current_k(1 + c) = K[c];
                PROSS2.R(pross2::kEK) = -999.99f;
                int s = -1;
                INDR(K, s);
                if (s <= 0 || semtab::isr(s) < 0) continue;
                const float EK = static_cast<float>(semtab::isr(s)) / 1000.0f;
                PROSS2.R(pross2::kEK) = EK;
                if (PROSS2.I(pross2::kTrace) != 0)
                    lst("(' ',' kx',3I5,' e2',F7.2,' kkk',I5,' ikkk',I5)",
                        {K[0], K[1], K[2], EK, m, PROSS2.I(pross2::kSquare)});
                mark_one(K);
                if (UREQ.I(ureqw::kWork) != 0) {
                    PROSS2.I(pross2::kMode) = -std::abs(mode);
                    for (int c = 0; c < 3; ++c) pro::current_k(1 + c) = u[c];
                    return;
                }
                PRO.I(pro::kContributors) += 1;
                float G = EK * EK - 1.0f;
                if (EK == EH) G = (G - 2.0f) / 3.0f;
                if (mode == 1) {
                    one_phase_term(R, PHIR, K, EK, G, EH, QH, SH);
                } else {
                    for (int w = pross2::kFlagX11; w <= pross2::kQX + 4; ++w) PROSS2.I(w) = 0;
                    QUART(R);
                    two_phase_term();
                }
            }
    for (int c = 0; c < 3; ++c) pro::current_k(1 + c) = u[c];
}

}  // namespace zanek
