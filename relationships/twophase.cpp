// Two-phase seminvariants: sigma2 pairs, estimates, list 27.
#include "relationships/twophase.h"

#include "crystaldata/equivalents.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "jobcontrol/lists/listxx.h"
#include "jobcontrol/numeric.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/invariants.h"
#include "jobcontrol/records/seminv.h"
#include "platform/listing.h"
#include "platform/stop.h"
#include "relationships/known_phase_stats.h"
#include "relationships/onephase.h"
#include "relationships/representation.h"
#include "relationships/semalg.h"
#include "relationships/seminv_work.h"

namespace zanek {

namespace {

using twophase::kRecords;
constexpr double kDegrees = 57.29577951308232;
constexpr int kList27 = 27;

std::string rule(char c) { return " " + std::string(120, c); }

int32_t pack3(int a, int b, int c) { return ((a + 2048) * 4096 + (b + 2048)) * 32 + (c + 1); }

int nearest(double x) { return static_cast<int>(std::lround(x)); }  // halves away from zero

// Phase in whole degrees into 1..360.
int into_1_360(int phi) {
    phi %= 360;
    if (phi <= 0) phi += 360;
    return phi;
}

int row_code(int r) { return static_cast<int>(semtab::rpword(r) / 1000.0f); }
int row_phase(int r) {
    const int w = static_cast<int>(semtab::rpword(r));
    return w % 1000;
}
float restricted_phase(int code) { return (code >= 1 && code <= 24) ? cost::restricted_phase(code) : 0.0f; }
int sign_of(int v) { return v < 0 ? -1 : 1; }

void sigma2_box() {
    lst_blank(2);
    lst_line(" **********  warning  **********");
    lst_line("         no sigma2 exist        ");
    lst_line("        program is killed       ");
    lst_line("********************************");
    lst_blank(2);
}

void seminvariants_box() {
    lst_blank(2);
    lst_line(" **********  warning  **********");
    lst_line("     no seminvariants exist     ");
    lst_line("        program is killed       ");
    lst_line("********************************");
    lst_blank(2);
}

void one_phase_box() {
    lst_blank(2);
    lst_line(" **********  warning  **********");
    lst_line(" *    no seminvariants exist   * ");
    lst_line(" *******************************");
    lst_blank(2);
}

// The diminishing-increment exchange sort into decreasing order of a key,
// moving whole items; equal keys are never exchanged.
template <typename Key, typename Swap>
void exchange_sort(int N, Key key, Swap swap) {
    if (N <= 1) return;
    int gap = 1;
    while (2 * gap < N) gap *= 2;
    for (; gap >= 1; gap /= 2)
        for (int s = 1; s <= gap; ++s) {
            int i = s;
            while (i <= N - gap) {
                bool exchanged = false;
                for (int j = i; j >= 1 && key(j) < key(j + gap); j -= gap) {
                    swap(j, j + gap);
                    exchanged = true;
                }
                i += exchanged ? 2 * gap : gap;
            }
        }
}

// Signed unnormalised super-index of an index triple.
long long raw_super_index(const int h[3]) {
    return static_cast<long long>(COST.I(cost::kStrideH)) * h[0] +
           static_cast<long long>(COST.I(cost::kStrideK)) * h[1] + h[2];
}

int symmetry_shift(const int h[3], int j) {
    const double t = 24.0 * (static_cast<double>(h[0]) * erl_T(j, 1) + static_cast<double>(h[1]) * erl_T(j, 2) +
                             static_cast<double>(h[2]) * erl_T(j, 3));
    int s = nearest(t) % 24;
    if (s < 0) s += 24;
    return s;
}

void flush_contributors(std::vector<FItem>& buffer) {
    if (!buffer.empty()) lst("(5(3X,2I5,F7.2,I5))", buffer);
    buffer.clear();
}

}  // namespace

void SORTGS(float* V, int N) {
    if (N < 1) {
        sigma2_box();
        return;
    }
    exchange_sort(N, [&](int i) { return V[i]; }, [&](int a, int b) { std::swap(V[a], V[b]); });
}

void SORT3S(TwoPhaseRecord* REC, int N) {
    if (N < 1) {
        seminvariants_box();
        return;
    }
    exchange_sort(N, [&](int i) { return std::abs(REC[i].w[2]); }, [&](int a, int b) { std::swap(REC[a], REC[b]); });
}

void JPACK2(int32_t& W1, int32_t& W2, int A, int S, int B, float ALPHA, int PHI) {
    W1 = (A * 4096 + S * B) * 32 + 268500992;
    const int b = std::min(static_cast<int>(100.0f * ALPHA), 2047);
    W2 = b * 32 + PHI / 15 + 402718721;
}

void AZZERO(float* A, float* B, int I1, int I2) {
    for (int i = I1; i <= I2; ++i) {
        A[i] = -1.0f;
        B[i] = 0.0f;
    }
}

void STATS(float ALPHA, int PHIT, int PHI, const char* MARK, int& NWRONG, int J) {
    const double diff = static_cast<double>(PHIT - PHI);
    const float cp = static_cast<float>(std::cos(diff / kDegrees));
    if (SYM2.I(sym2::kCentric) == 1) {
        SCTST(ALPHA, ALPHA * cp, 1);
    } else {
        int fold = std::abs(PHIT - PHI) % 360;
        if (fold > 180) fold = 360 - fold;
        NCTET(ALPHA, cp, static_cast<float>(fold), 1);
    }
    if (NWRONG == 0 && MARK[0] != ' ') NWRONG = J;
}

void SIGMA2() {
    using namespace semtab;
    SYM2.R(sym2::kQ) = 1.0f / std::sqrt(INP.R(inp::kSemAtomsReal));
    const int nsym = std::min(SYM2.I(sym2::kNsym), kSlots);
    const int rows = std::clamp(DIR1.I(dir1::kNrs1), 0, kRows);
    for (int p = 1; p <= kRows * kSlots; ++p) image_s(p) = image_word(p) = 0;
    const int top = std::min(COST.I(cost::kLargest), kIsrSize);
    for (int s = 1; s <= top; ++s) isr(s) = 0;

    // Equivalence map: the first (row, operator) whose equivalent has each super-index.
    for (int r = 1; r <= rows; ++r)
        for (int j = 1; j <= nsym; ++j) {
            int h[3];
            slot_vector(j, r, h);
            long long S = raw_super_index(h);
            const int p = (r - 1) * nsym + j;
            bool repeat = false;
            for (int i = 1; i < j && j > 1; ++i) repeat = repeat || image_s((r - 1) * nsym + i) == S;
            image_s(p) = repeat ? 0 : static_cast<int>(S);
            image_word(p) = ((h[1] + 64) * 128 + (h[2] + 64)) * 32 + symmetry_shift(h, j);
            const long long a = std::llabs(S);
            if (a >= 1 && a <= top && isr(static_cast<int>(a)) == 0)
                isr(static_cast<int>(a)) = (S >= 0 ? 1 : -1) * (32 * r + j);
        }

    SIG2.I(sig2::kRelations) = 0;
    const bool verbose = UREQ.I(ureqw::kPrint) >= 2;
    if (verbose) {
        lst_blank();
        lst_line(" set up sigma2 relationships");
    }
    for (int w = kRelationBase + 1; w <= kRelationBase + 3 * kRelations; ++w) XDATA.I(w) = 0;
    const int nfr = std::min(first_rank_count(), kFirstRank);
    const float rsqrtN = SYM2.R(sym2::kQ);
    int k = 0;
    bool full = false;
    relations_before(1) = 0;
    for (int i = 1; i <= nfr; ++i) {
        relations_before(i + 1) = k;
        if (full) continue;
        const int H[3] = {first_rank(i, 3), first_rank(i, 4), first_rank(i, 5)};
        const int jH = first_rank(i, 1) / 10;
        const float EH = static_cast<float>(first_rank(i, 6)) / 1000.0f;
        const int phiH = first_rank(i, 7) % 1000;
        if (verbose)
            lst("(/,' reflection ',3I4,10X,'code = ',I4,10X,'e = ',F7.2,10X,'phase =',I7,/)",
                {H[0], H[1], H[2], jH, EH, phiH});
        std::vector<FItem> buffer;
        const int before = k;
        for (int r = 1; r <= rows && !full; ++r) {
            if (r == jH) continue;
            std::vector<int> partners;
            for (int m = 1; m <= nsym && !full; ++m) {
                if (image_s((r - 1) * nsym + m) == 0) continue;
                int eq[3];
                slot_vector(m, r, eq);
                for (int s = -1; s <= 1 && !full; s += 2) {
                    int D[3];
                    bool inside = true;
                    for (int c = 0; c < 3; ++c) {
                        D[c] = H[c] + s * eq[c];
                        inside = inside && std::abs(D[c]) <= max_index(1 + c);
                    }
                    if (!inside) continue;
                    long long S = raw_super_index(D);
                    if (S == 0) continue;
                    int zeta = 1;
                    if (S < 0) {
                        zeta = -1;
                        S = -S;
                    }
                    if (S > top || isr(static_cast<int>(S)) == 0) continue;
                    int v = isr(static_cast<int>(S));
                    if (v < 0) {
                        v = -v;
                        zeta = -zeta;
                    }
                    const int r2 = v / 32, m2 = v % 32;
                    if (r2 >= r || r2 == jH) continue;
                    if (std::find(partners.begin(), partners.end(), r2) != partners.end()) continue;
                    partners.push_back(r2);
                    const int s1 = image_word((r - 1) * nsym + m) % 32;
                    const int s2 = image_word((r2 - 1) * nsym + m2) % 32;
                    const int sigma = (zeta * s2 - s * s1 + 48) % 24;
                    int Phi = s * row_phase(r) + phiH - zeta * row_phase(r2) + 15 * sigma;
                    if (Phi < 0) Phi += 3600;
                    Phi %= 360;
                    float G = 2.0f * EH * row_e(r) * row_e(r2) * rsqrtN;
                    if (verbose) {
                        buffer.insert(buffer.end(), {FItem(-s * r), FItem(zeta * r2), FItem(G), FItem(Phi)});
                        if (buffer.size() == 20) flush_contributors(buffer);
                    }
                    ++k;
                    G = std::min(G, twophase::kMaxG);
                    relation_g(k) = G;
                    // Word 1 names the first-rank entry of H (its row may lie beyond any packable field).
                    relation(k, 1) = pack3(i, s * r, m);
                    relation(k, 2) = pack3(-zeta * r2, m2, sigma);
                    relation(k, 3) = pack3(Phi / 15, std::min(nearest(100.0 * G), 2047), Phi % 15);
                    if (k >= kRelations) full = true;
                }
            }
        }
        relations_before(i + 1) = k;
        if (verbose) {
            flush_contributors(buffer);
            lst("(' number of contributors =',I6)", {k - before});
        }
    }
    SIG2.I(sig2::kRelations) = k;
}

void SORS2(TwoPhaseRecord* REC, int N, float& ASUM, int& ACNT, int& NRES, float& FOMS, int& NWRONG, int& NSTORED) {
    ASUM = 0.0f;
    ACNT = 0;
    NRES = 0;
    FOMS = 0.0f;
    NWRONG = 0;
    NSTORED = 0;
    if (N < 1) {
        one_phase_box();
        return;
    }
    const bool centric = SYM2.I(sym2::kCentric) == 1;
    if (centric) CLRT();
    else NCLRT();
    std::vector<float> alpha(static_cast<std::size_t>(N) + 1);
    std::vector<int> code1(alpha.size()), code2(alpha.size()), psi(alpha.size());
    std::vector<bool> general(alpha.size());
    for (int t = 1; t <= N; ++t) {
        const int w1 = std::abs(REC[t].w[1]);
        general[t] = REC[t].w[2] < 0;
        alpha[t] = static_cast<float>(std::abs(REC[t].w[2])) / 1000.0f;
        code1[t] = w1 / 1000000 - 500;
        code2[t] = (w1 % 1000000) / 1000 - 500;
        psi[t] = w1 % 1000;
    }
    std::vector<int> idx(static_cast<std::size_t>(N) + 1);
    std::vector<float> sorted(alpha);
    SORTS(idx.data(), sorted.data(), N, twophase::kKept);

    const bool known = UREQ.I(ureqw::kKnown) != 0;
    lst_blank(2);
    lst_line(std::string(26, ' ') + " List of two-phase structure seminvariants estimated");
    lst_blank(2);
    if (known)
        lst("(10X,'code     H(1)      E  ph.true',3X,'code     H(2)      E  ph.true','  ph.true  ph.calc    alpha',/,8X,"
            "90('-'))");
    else
        lst("(10X,'code     H(1)     E   ph.rest.',2X,'code     H(2)     E   ph.rest.','    phase      alpha',/,8X,"
            "86('-'))");

    const float cos90 = std::cos(90.0f / static_cast<float>(kDegrees));
    float expectation = 0.0f;
    int strong = 0;
    std::vector<Word> items(3 * static_cast<std::size_t>(N));
    for (int j = 1; j <= N; ++j) {
        const int t = idx[static_cast<std::size_t>(j)];
        const float a = alpha[t];
        const int r1 = std::abs(code1[t]), r2 = std::abs(code2[t]);
        int H1[3], H2[3];
        semtab::slot_vector(1, r1, H1);
        semtab::slot_vector(1, r2, H2);
        const float E1 = semtab::row_e(r1), E2 = semtab::row_e(r2);
        float P = 0.5f;
        if (general[t]) {
            SS2C.I(ss2c::kGeneral) += 1;
        } else {
            NRES += 1;
            P = 0.5f + 0.5f * std::tanh(a);
        }
        const int Phi = REC[t].w[3];
        const int d = std::abs(Phi - psi[t]);
        const bool wrong = std::cos(static_cast<float>(d) / static_cast<float>(kDegrees)) <= cos90;
        const char* mark = wrong ? "*   " : "    ";
        ASUM += (wrong ? -1.0f : 1.0f) * (P - 0.5f);
        ACNT += 1;
        FOMS += static_cast<float>(std::cos(((d + 36000) % 360) / kDegrees)) * a;
        expectation += std::min(1.0f, ((a + 0.4807f) * a) / ((a + 0.8636f) * a + 1.3943f)) * a;
        if (j <= twophase::kListed) {
            if (known)
                lst("(9X,I4,')',1X,3I3,F7.3,2X,I4,4X,I4,')',1X,3I3,F7.3,2X,I3,6X,I4,5X,I4,2X,F9.3,A1)",
                    {code1[t], H1[0], H1[1], H1[2], E1, row_phase(r1), code2[t], H2[0], H2[1], H2[2], E2,
                     row_phase(r2), Phi, psi[t], a, std::string(1, mark[0])});
            else
                lst("(9X,I4,')',1X,3I3,F7.3,A9,1X,I4,')',1X,3I3,F7.3,A9,4X,I4,3X,F9.3)",
                    {code1[t], H1[0], H1[1], H1[2], E1, restriction_text(row_code(r1)), code2[t], H2[0], H2[1],
                     H2[2], E2, restriction_text(row_code(r2)), psi[t], a});
        }
        if (known) STATS(a, Phi, psi[t], mark, NWRONG, j);
        if (a >= DIR2.R(dir2::kGlim)) ++strong;
        int32_t w1 = 0, w2 = 0;
        JPACK2(w1, w2, code1[t], sign_of(code2[t]), std::abs(code2[t]), a, psi[t]);
        items[3 * (j - 1)] = word_of_int(w1);
        items[3 * (j - 1) + 1] = word_of_int(w2);
        items[3 * (j - 1) + 2] = word_of_int(Phi);
    }
    if (expectation >= 0.0001f) FOMS /= expectation;
    if (N > twophase::kListed) {
        lst_blank();
        lst_line(std::string(14, ' ') + " .... and so on");
        lst_blank();
    }
    lst_line(" ");
    lst_blank();
    if (UREQ.I(ureqw::kPrint) > 0 && SS2C.I(ss2c::kGeneral) > 0) {
        lst_line(std::string(20, ' ') + "for nrp seminvariants alpha is equal to  1/2  the argument of  io bessel  function");
        lst_blank(2);
    }
    if (known) lst_line(std::string(20, ' ') + "seminvariants marked with * are wrongly estimated");
    NSTORED = N;
    FRMXX(0, kList27, N, N, strong, 0, 0, items.data());
}

void SS2(SeminvCounts& NS) {
    using namespace semtab;
    static TwoPhaseRecord rec[kRecords + 1];
    PROSS2.I(pross2::kTrace) = 0;
    int nrec = 0, running = 0;
    SS2C.I(ss2c::kRecords) = 0;
    SS2C.I(ss2c::kGeneral) = 0;
    SYM2.I(sym2::kCentric) -= 1;
    PROSS2.R(pross2::kTwoN) = 2.0f * INP.R(inp::kSemAtomsReal);
    const float natoms = INP.R(inp::kSemAtomsReal);
    const int nfr = std::min(first_rank_count(), kFirstRank);

    for (int i = 1; i <= nfr; ++i) {
        const int H[3] = {first_rank(i, 3), first_rank(i, 4), first_rank(i, 5)};
        const float EH = static_cast<float>(first_rank(i, 6)) / 1000.0f;
        PRO.R(pro::kEH) = EH;
        const int hcode = first_rank(i, 7) / 1000;
        const float p = restricted_phase(hcode);
        const int jH = first_rank(i, 1) / 10;
        const int nops = std::min(first_rank(i, 1) % 10, kMaxClassMatrices);
        int ops[kMaxClassMatrices] = {};
        for (int c = 0, word = first_rank(i, 2); c < nops; ++c, word /= 64) ops[c] = word % 64;
        for (int c = 0; c < 3; ++c) pro::h(1 + c) = H[c];

        for (int k = relations_before(i) + 1; k <= relations_before(i + 1); ++k) {
            int a1, b1, c1, a2, b2, c2;
            UNPAK3(relation(k, 1), a1, b1, c1);
            UNPAK3(relation(k, 2), a2, b2, c2);
            const int code1 = -b1, m = c1, code2 = -a2, m2 = b2;
            PROSS2.I(pross2::kShift) = c2;
            const int r1 = std::abs(code1), r2 = std::abs(code2);
            const bool restricted = row_code(r1) != 1 && row_code(r2) != 1;
            COST.I(cost::kCode) = restricted ? 13 : 1;
            PROSS2.R(pross2::kEH) = EH;
            PROSS2.R(pross2::kERow1) = row_e(r1);
            PROSS2.R(pross2::kERow2) = row_e(r2);
            pross2::e(1) = row_e(r1);
            pross2::e(2) = row_e(r2);
            for (int c = 0; c < 3; ++c) pro::pair_h(1 + c) = H[c];
            int K1[3], K2[3];
            slot_vector(m, r1, K1);
            slot_vector(m2, r2, K2);
            for (int c = 0; c < 3; ++c) {
                K1[c] *= sign_of(code1);
                K2[c] *= sign_of(code2);
                pro::k1(1 + c) = K1[c];
                pro::k2(1 + c) = K2[c];
            }
            const bool traced = r1 == DIR2.I(dir2::kTraced1) && r2 == DIR2.I(dir2::kTraced2);
            PROSS2.I(pross2::kTrace) = traced ? 1 : 0;
            if (traced)
                lst("(' ',I5,')',3I4,F8.3,8X,2(I5,')',3I4,F8.3,I3,5X),I5)",
                    {jH, H[0], H[1], H[2], EH, code1, K1[0], K1[1], K1[2], row_e(r1), m, code2, K2[0], K2[1], K2[2],
                     row_e(r2), m2, c2});

            PRO.I(pro::kMarks) = 0;
            PROSS2.R(pross2::kSin) = 0.0f;
            PROSS2.R(pross2::kCos) = 0.0f;
            int flag = 0;
            for (int c = 0; c < nops; ++c) {
                const int mm = ops[c];
                if (mm == 0) break;
                PRO.I(pro::kMatrix) = mm;
                Mat3 sq, I3 = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
                PROD1(mm, mm, sq);
                bool square_identity = true;
                for (int a = 0; a < 3; ++a)
                    for (int b = 0; b < 3; ++b) square_identity = square_identity && sq[a][b] == I3[a][b];
                PROSS2.I(pross2::kSquare) = square_identity ? 0 : 1;
                PROSS2.I(pross2::kFlagK1) = 0;
                PROSS2.I(pross2::kFlagK2) = 0;
                PROSS2.I(pross2::kFlag34) = 1;
                int img[3], idx = 0;
                EQUIV(K1, img, mm, idx);
                for (int a = 0; a < 3; ++a) pross2::p1(1 + a) = img[a] + K1[a];
                if (img[0] + K1[0] + img[1] + K1[1] + img[2] + K1[2] == 0) {
                    PROSS2.I(pross2::kFlagK1) = 1;
                    PROSS2.I(pross2::kFlag34) = 0;
                }
                EQUIV(K2, img, mm, idx);
                if (img[0] + K2[0] + img[1] + K2[1] + img[2] + K2[2] == 0) PROSS2.I(pross2::kFlagK2) = 1;
                Mat3 R, A;
                erl_matrix(mm, R);
                for (int a = 0; a < 3; ++a)
                    for (int b = 0; b < 3; ++b) A[a][b] = (a == b ? 1 : 0) - R[b][a];
                std::string text(16, ' ');
                if (traced) CONG4(mm, text);
                int dflag = 0, hout[3];
                std::string sign, mult, letter;
                DIOF(A, dflag, hout, sign, mult, letter);
                if (dflag != 0) {
                    lst_line(" **** subroutine ss1 (idiof) ****");
                    lst_line("  ****  programming  error  ****");
                    lst_line("  zan ends in error");
                    zstop(1234);
                }
                PROSS2.I(pross2::kMode) = 2;
                FIND1(jH, p, flag);
                if (PROSS2.I(pross2::kMode) < 0) break;
            }
            unmark_all();
            if (flag != 0) continue;

            const float S = PROSS2.R(pross2::kSin), C = PROSS2.R(pross2::kCos);
            float alpha = std::fabs(pross2::e(1) * pross2::e(2)) / natoms * std::sqrt(S * S + C * C);
            if (restricted) alpha *= 2.0f;
            double psi_deg;
            if (C == 0.0f) {
                if (S == 0.0f) continue;
                psi_deg = S > 0.0f ? 90.0 : 270.0;
            } else {
                psi_deg = std::atan2(static_cast<double>(S), static_cast<double>(C)) * kDegrees;
            }
            int psi = into_1_360(nearest(psi_deg));
            const int Phi = into_1_360(sign_of(code1) * row_phase(r1) + sign_of(code2) * row_phase(r2));
            if (restricted) {
                const int P = into_1_360(sign_of(code1) * nearest(restricted_phase(row_code(r1)) * kDegrees) +
                                         sign_of(code2) * nearest(restricted_phase(row_code(r2)) * kDegrees));
                const float x = alpha * static_cast<float>(std::cos((psi - P) / kDegrees));
                psi = x >= 0.0f ? P : into_1_360(P + 180);
                alpha = std::fabs(x);
            }
            const float signed_alpha = restricted ? alpha : -alpha;
            if (!(alpha > twophase::kMinAlpha)) continue;
            nrec += 1;
            if (nrec > kRecords) {
                SORT3S(rec, kRecords);
                nrec = twophase::kKept + 1;
            }
            rec[nrec].w[1] = (code1 + 500) * 1000000 + (code2 + 500) * 1000 + psi;
            rec[nrec].w[2] = static_cast<int>(1000.0f * signed_alpha);
            rec[nrec].w[3] = Phi;
            running += 1;
            if (traced) {
                lst_blank();
                lst("(' *** code *** ',I4)", {nrec});
                lst("(I4,'* (',3I3,')',F6.2,I5)", {code1, K1[0], K1[1], K1[2], row_e(r1), row_phase(r1)});
                lst("(I4,'* (',3I3,')',F6.2,I5)", {code2, K2[0], K2[1], K2[2], row_e(r2), row_phase(r2)});
                lst("('  alfa ',F12.5,' phic = ',I5,' phiv = ',I5)", {alpha, psi, Phi});
            }
        }
    }
    SS2C.I(ss2c::kRecords) = nrec;

    SORT3S(rec, nrec);
    nrec = std::min(nrec, twophase::kKept);
    // Normalisation against the largest sigma2 reliabilities.
    float A = 0.0f;
    for (int t = 1; t <= nrec; ++t) A += static_cast<float>(std::abs(rec[t].w[2])) / 1000.0f;
    const int nrel = SIG2.I(sig2::kRelations);
    std::vector<float> g(static_cast<std::size_t>(std::max(nrel, 0)) + 1);
    for (int k = 1; k <= nrel; ++k) {
        int a3, b3, c3;
        UNPAK3(relation(k, 3), a3, b3, c3);
        g[static_cast<std::size_t>(k)] = static_cast<float>(b3) / 100.0f;
    }
    SORTGS(g.data(), nrel);
    float sumG = 0.0f;
    for (int k = 1; k <= std::min({nrec, twophase::kKept, nrel}); ++k) sumG += g[static_cast<std::size_t>(k)];
    SIG2.R(sig2::kSumG) = sumG;
    const float ratio = sumG > 0.0f ? std::max(1.0f, A / sumG) : 1.0f;
    const float factor = SYM2.I(sym2::kCentric) == 0 ? 0.8f : 0.6f;
    int kept = 0;
    for (int t = 1; t <= nrec; ++t) {
        float a = (static_cast<float>(rec[t].w[2]) / 1000.0f) / (2.0f * ratio) * factor;
        if (std::fabs(a) > twophase::kMaxAlpha) a = std::copysign(twophase::kMaxAlpha, a);
        if (std::fabs(a) < twophase::kMinAlpha) continue;
        ++kept;
        rec[kept].w[1] = rec[t].w[1];
        rec[kept].w[2] = static_cast<int>(1000.0f * a);
        rec[kept].w[3] = rec[t].w[3];
    }

    lst_blank(3);
    lst_line(rule('+'));
    lst_blank();
    lst_line(std::string(39, ' ') + "***   two-phase seminvariants section   ***");
    lst_blank();
    lst_line(std::string(20, ' ') + "First representation formula will be used");
    lst("(20X,'n. of reflections to search s.s.i. = ',I5,'  with  /E/ .ge.',F7.3)",
        {DIR1.I(dir1::kNrs1), DIR1.R(dir1::kSearchE)});

    float asum = 0.0f, foms = 0.0f;
    int acnt = 0, nres = 0, nwrong = 0, stored = 0;
    SORS2(rec, kept, asum, acnt, nres, foms, nwrong, stored);
    if (stored > 0) {
        NS(2) = running;
        NS(4) = stored;
        const bool known = UREQ.I(ureqw::kKnown) != 0;
        if (known && UREQ.I(ureqw::kPrint) > 0 && acnt != 0) {
            lst_line(std::string(60, ' ') + "ari = " + fmt_f(asum / static_cast<float>(acnt), 8, 4));
            lst_line(std::string(60, ' ') + "foms2 = " + fmt_f(foms, 8, 4));
        }
        if (UREQ.I(ureqw::kPrint) > 0) {
            lst("(20X,'n. of first rank s.s.i   (restricted-phase)   =',I6)", {nres});
            if (SS2C.I(ss2c::kGeneral) != 0)
                lst("(20X,'n. of first rank s.s.i.    (general phase)    =',I6)", {SS2C.I(ss2c::kGeneral)});
            if (known) {
                lst("(/,/,1X,'serial number of the first wrong ','relationship =',I5,/,/)", {nwrong});
                if (SYM2.I(sym2::kCentric) == 1) STST();
                else NSTST();
            }
        }
    }
    UREQ.I(ureqw::kPrint) = 0;
}

}  // namespace zanek
