// One-phase seminvariants: estimates, their list and list 26.
#include "relationships/onephase.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "jobcontrol/lists/listxx.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/invariants.h"
#include "jobcontrol/records/seminv.h"
#include "platform/listing.h"
#include "platform/stop.h"
#include "relationships/representation.h"
#include "relationships/semalg.h"
#include "relationships/seminv_work.h"

namespace zanek {

namespace {

using onephase::kMaxCandidates;

constexpr double kDegrees = 57.29577951308232;
constexpr int kList26 = 26;
const std::string kWrong = "*   ";
const std::string kRight = "    ";

// Marks of the candidates ("*   " wrongly estimated) while the pass runs.
std::string g_marks[kMaxCandidates + 1];

std::string rule(char c) { return " " + std::string(120, c); }

float restricted_phase(int code) { return (code >= 1 && code <= 24) ? cost::restricted_phase(code) : 0.0f; }

// The first-rank entry of the reflection in row r (0 when there is none):
// a candidate is estimated with the class matrices of its own reflection.
int first_rank_entry_of_row(int r) {
    const int n = std::min(semtab::first_rank_count(), semtab::kFirstRank);
    for (int i = 1; i <= n; ++i)
        if (semtab::first_rank(i, 1) / 10 == r) return i;
    return 0;
}

[[noreturn]] void programming_error(const char* where) {
    lst_line(std::string(" **** subroutine ss1 (") + where + ") ****");
    lst_line(std::string(where) == "kkk" ? " ****  programming  error  ****" : "  ****  programming  error  ****");
    lst_line("  zan ends in error");
    zstop(1234);
}

void warning_no_seminvariants() {
    lst_blank(2);
    lst_line(" **********  warning  **********");
    lst_line(" *    no seminvariants exist   * ");
    lst_line(" *******************************");
    lst_blank(2);
}

// Sums of one candidate over its class matrices.
void sum_candidate(int r, const int* ops, int nops, float p) {
    for (int w : {15, 16, 25, 26}) PRO.R(w) = 0.0f;
    PRO.I(pro::kContributors) = 0;
    PRO.I(pro::kMarks) = 0;
    if (DIR1.I(dir1::kFormula) == 2) EHK();
    for (int i = 0; i < nops; ++i) {
        const int m = ops[i];
        if (m == 0) programming_error("kkk");
        PRO.I(pro::kMatrix) = m;
        Mat3 R, A;
        erl_matrix(m, R);
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b < 3; ++b) A[a][b] = (a == b ? 1 : 0) - R[b][a];
        std::string text(16, ' ');
        if (UREQ.I(ureqw::kPrint) > 2) CONG4(m, text);
        int flag = 0, hout[3];
        std::string sign, mult, letter;
        DIOF(A, flag, hout, sign, mult, letter);
        if (flag != 0) programming_error("idiof");
        if (UREQ.I(ureqw::kPrint) > 2) {
            std::vector<FItem> items = {r, pro::h(1), pro::h(2), pro::h(3), m};
            for (int c = 0; c < 16; ++c) items.emplace_back(std::string(1, text[static_cast<std::size_t>(c)]));
            for (int c = 0; c < 3; ++c) items.emplace_back(hout[c]);
            for (int c = 0; c < 3; ++c) items.emplace_back(pro::current_k(1 + c));
            for (int c = 0; c < 3; ++c) {
                items.emplace_back(std::string(1, sign[static_cast<std::size_t>(c)]));
                items.emplace_back(std::string(1, mult[static_cast<std::size_t>(c)]));
                items.emplace_back(std::string(1, letter[static_cast<std::size_t>(c)]));
            }
            lst("(' ',I3,')',3I4,' - ','mat. ',I2,2X,10A1,' congruent to 0 mod. (',6A1,2X,'h = (',2(I3,','),I3,"
                "')',2X,' x = (',I3,2(',',I3),')',2X,' + (',3A1,2(',',3A1),')')",
                items);
        }
        PROSS2.I(pross2::kMode) = 1;
        int unused = 0;
        FIND1(r, p, unused);
        if (PROSS2.I(pross2::kMode) < 0) break;  // mark list full: the sums so far
    }
    unmark_all();
}

}  // namespace

float H4(float X) {
    if (X == 0.0f) return 0.0f;
    const float x2 = X * X;
    return x2 * x2 - 6.0f * x2 + 3.0f;
}

int32_t JPACK1(int A, float ALPHA, int PHI) {
    const int B = std::min(static_cast<int>(100.0f * ALPHA), 2047);
    int C = (PHI / 15) % 24;
    if (C < 0) C += 24;
    return (A * 4096 + B) * 32 + C + 268500993;
}

void UNPK1(int32_t& W, int& A, float& ALPHA, int& PHI) {
    W -= 1;
    A = W / 131072 - 2048;
    const int B = W / 32 - A * 4096 - 8390656;
    ALPHA = static_cast<float>(B) / 100.0f;
    PHI = 15 * (W % 32);
}

void SORTS(int* IDX, float* V, int N, int NMAX) {
    if (N < 1) {
        warning_no_seminvariants();
        IDX[1] = 1;
        return;
    }
    N = std::min(N, NMAX);
    if (N == 1) {
        IDX[1] = 1;
        return;
    }
    for (int i = 1; i <= N; ++i) IDX[i] = i;
    int gap = 1;
    while (2 * gap < N) gap *= 2;
    for (; gap >= 1; gap /= 2)
        for (int s = 1; s <= gap; ++s) {
            int i = s;
            while (i <= N - gap) {
                bool exchanged = false;
                for (int j = i; j >= 1 && V[j] < V[j + gap]; j -= gap) {
                    std::swap(V[j], V[j + gap]);
                    std::swap(IDX[j], IDX[j + gap]);
                    exchanged = true;
                }
                i += exchanged ? 2 * gap : gap;
            }
        }
}

void SORS1(float ALPH[kMaxCandidates + 1], int& NST, const float SUM[2]) {
    NST = 0;
    const int ncand = std::min(COST.I(cost::kCandidates), kMaxCandidates);
    if (ncand <= 0) {
        warning_no_seminvariants();
        return;
    }
    float scale = 1.0f;
    if (DIR1.I(dir1::kFormula) == 2 && SUM[1] > 0.0f) scale = std::min(1.0f, SUM[0] / SUM[1]);
    bool any = false;
    for (int i = 1; i <= ncand; ++i) {
        if (ALPH[i] == 0.0f) continue;
        g_marks[i] = ALPH[i] < 0.0f ? kWrong : kRight;
        ALPH[i] = std::fabs(ALPH[i]) * scale;
        any = true;
    }
    if (!any) return;
    int idx[kMaxCandidates + 1];
    SORTS(idx, ALPH, ncand, kMaxCandidates);

    lst_blank(2);
    lst_line(std::string(35, ' ') + " List of one-phase structure seminvariants estimated");
    lst_blank();
    std::string head = "   ";
    for (int t = 0; t < 3; ++t) head += "code     H        E     alpha phase       ";
    lst_line(head);
    lst_line("   " + std::string(120, '-'));

    const bool known = UREQ.I(ureqw::kKnown) != 0;
    int strong = 0, agree_count = 0;
    float agree_sum = 0.0f;
    bool any_general = false;
    std::vector<Word> items;
    std::vector<FItem> shown;
    for (int j = 1; j <= ncand && ALPH[j] != 0.0f; ++j) {
        const float alpha = ALPH[j];
        const int cand = idx[j];
        const int r = semtab::candidate(cand);
        const int est = semtab::estimate(cand);
        const int c = est / 1000, phase = est - 1000 * c;
        const int A = c == 1 ? -r : r;
        items.push_back(word_of_int(JPACK1(A, alpha, phase)));
        ++NST;
        if (alpha >= onephase::kStrongAlpha) ++strong;
        if (c == 1) any_general = true;
        const std::string& mark = g_marks[cand];
        if (known && c != 1) {
            float P = 0.5f + 0.5f * std::tanh(alpha);
            if (mark == kWrong) P = 1.0f - P;
            ++agree_count;
            agree_sum += P - 0.5f;
        }
        if (NST <= onephase::kListed) {
            int h[3];
            semtab::slot_vector(1, r, h);
            for (FItem it : std::initializer_list<FItem>{r, h[0], h[1], h[2], semtab::row_e(r), alpha, phase,
                                                           std::string(c == 1 ? "g" : " "), mark.substr(0, 1)})
                shown.push_back(it);
        }
    }
    lst("(3(I6,')',3I3,2X,F6.3,1X,F7.3,1X,I4,A1,A1,3X))", shown);
    if (NST > onephase::kListed) {
        lst_blank();
        lst_line("      .... and so on");
        lst_blank();
    }
    lst_line(" ");
    lst_blank();
    if (UREQ.I(ureqw::kPrint) > 0 && any_general) {
        lst_line(std::string(20, ' ') +
                 "for reflections with  \"g\"-phase  alpha is equal to 1/2  the argument of  io bessel  function");
        lst_blank();
    }
    if (known) {
        lst_line(std::string(20, ' ') + "reflections marked with  *  are wrongly estimated");
        lst_blank();
        const float ari = 2.0f * agree_sum / static_cast<float>(agree_count == 0 ? 1 : agree_count);
        if (UREQ.I(ureqw::kPrint) > 0) lst_line(std::string(60, ' ') + "ari = " + fmt_f(ari, 8, 4));
    }
    FRMXX(0, kList26, NST, NST, strong, 0, 0, items.data());
}

void SS1(SeminvCounts& NS) {
    lst_blank(3);
    lst_line(rule('+'));
    lst_blank();
    lst_line(std::string(39, ' ') + "***   one-phase seminvariants section   ***");
    lst_blank();
    const bool second = DIR1.I(dir1::kFormula) == 2;
    lst_line(std::string(20, ' ') + (second ? "Second representation formula will be used"
                                            : "First representation formula will be used"));
    if (DIR1.I(dir1::kNrs1) < 200 && DIR1.I(dir1::kNrs1) >= 1)
        DIR1.R(dir1::kSearchE) = semtab::row_e(DIR1.I(dir1::kNrs1));
    lst("(20X,'n. of reflections to search s.s.i. = ',I5,'  with  /E/ .ge.',F7.3)",
        {DIR1.I(dir1::kNrs1), DIR1.R(dir1::kSearchE)});
    if (second)
        lst("(20X,'n. of free vectors used            = ',I5,'  with  /E/ .ge.',F7.3)",
            {DIR1.I(dir1::kFreeVectors), DIR1.R(dir1::kFreeE)});
    const int ncand = std::min(COST.I(cost::kCandidates), kMaxCandidates);
    if (ncand <= 0) return;

    PROSS2.R(pross2::kTwoN) = 2.0f * INP.R(inp::kSemAtomsReal);
    PRO.I(pro::kRestricted) = 0;
    PRO.I(pro::kGeneral) = 0;
    static float alpha_table[kMaxCandidates + 1];
    std::fill(std::begin(alpha_table), std::end(alpha_table), 0.0f);
    float sums[2] = {0.0f, 0.0f};
    const bool known = UREQ.I(ureqw::kKnown) != 0;
    const float sqrtN = INP.R(inp::kSemSqrtAtoms);
    const int f = DIR1.I(dir1::kFormula) == 1 ? 1 : 2;

    for (int i = 1; i <= ncand; ++i) {
        const int r = semtab::candidate(i);
        int h[3];
        semtab::slot_vector(1, r, h);
        for (int c = 0; c < 3; ++c) pro::h(1 + c) = h[c];
        const float E = semtab::row_e(r);
        PRO.R(pro::kEH) = E;
        if (E < DIR1.R(dir1::kSearchE)) break;
        const float rp = semtab::rpword(r);
        const int code = static_cast<int>(rp / 1000.0f);
        COST.I(cost::kCode) = code;
        const float known_phase = rp - 1000.0f * static_cast<float>(code);
        const float p = restricted_phase(code);

        const int entry = first_rank_entry_of_row(r);
        if (entry == 0) continue;
        int nops = std::min(semtab::first_rank(entry, 1) % 10, semtab::kMaxClassMatrices);
        int ops[semtab::kMaxClassMatrices] = {};
        for (int k = 0, word = semtab::first_rank(entry, 2); k < nops; ++k, word /= 64) ops[k] = word % 64;
        sum_candidate(r, ops, nops, p);
        if (PRO.I(pro::kContributors) == 0) continue;

        const bool general = code == 1;
        if (general) PRO.I(pro::kGeneral) += 1;
        else PRO.I(pro::kRestricted) += 1;
        float alpha[3] = {}, P[3] = {}, phase[3] = {};
        std::string mark[3] = {kRight, kRight, kRight};
        const int last = (known && f == 1) ? 1 : 2;
        for (int k = 1; k <= last; ++k) {
            const float Ck = k == 1 ? PRO.R(pro::kCos1) : PRO.R(pro::kCos2);
            const float Sk = k == 1 ? PRO.R(pro::kSin1) : PRO.R(pro::kSin2);
            if (general) {
                alpha[k] = E * 0.5f * std::sqrt(Ck * Ck + Sk * Sk) / sqrtN;
                phase[k] = static_cast<float>(std::atan2(Sk, Ck) * kDegrees);
            } else {
                const float x = 0.5f * E * Ck / sqrtN;
                P[k] = 0.5f + 0.5f * std::tanh(std::fabs(x));
                phase[k] = static_cast<float>(p * kDegrees) + (x < 0.0f ? 180.0f : 0.0f);
                alpha[k] = x;
            }
            alpha[k] = std::fabs(alpha[k]);
            sums[k - 1] += alpha[k];
            if (known && !general &&
                std::cos((phase[k] - known_phase) / static_cast<float>(kDegrees)) < 0.0f)
                mark[k] = kWrong;
        }
        if (alpha[f] < onephase::kMinAlpha) {
            if (general) PRO.I(pro::kGeneral) -= 1;
            else PRO.I(pro::kRestricted) -= 1;
            alpha_table[i] = 0.0f;
            continue;
        }
        float ph = phase[f];
        if (ph < 0.0f) ph += 360.0f;
        if (ph >= 360.0f) ph -= 360.0f;
        const int whole = static_cast<int>(ph + 0.5f);
        alpha_table[i] = mark[f] == kWrong ? -alpha[f] : alpha[f];
        semtab::estimate(i) = 1000 * code + whole;
        if (DIR1.I(dir1::kBoth) != 0) {
            if (general)
                lst("(1X,I5,')',3I4,F8.3,F6.1,I4,1X,2(F7.3,1X,5X,A1),7X,I5,8X,I3,'  ')",
                    {r, h[0], h[1], h[2], E, known_phase, PRO.I(pro::kContributors), alpha[1], mark[1].substr(0, 1),
                     alpha[2], mark[2].substr(0, 1), whole, code});
            else
                lst("(1X,I5,')',3I4,F8.3,F6.1,I4,1X,2(F7.3,1X,F5.3,A1),7X,I5,8X,I3,2X,'  ')",
                    {r, h[0], h[1], h[2], E, known_phase, PRO.I(pro::kContributors), alpha[1], P[1],
                     mark[1].substr(0, 1), alpha[2], P[2], mark[2].substr(0, 1), whole, code});
            lst("(1X,104('-'))");
        }
    }

    int nst = 0;
    SORS1(alpha_table, nst, sums);
    if (nst == 0) {
        COST.I(cost::kCandidates) = 0;
        return;
    }
    NS(1) = COST.I(cost::kCandidates);
    NS(3) = nst;
    if (UREQ.I(ureqw::kPrint) > 0) {
        lst_blank();
        lst("(20X,'n. of first rank s.s.i   (restricted-phase)   =',I5)", {PRO.I(pro::kRestricted)});
        if (PRO.I(pro::kGeneral) != 0)
            lst("(20X,'n. of first rank s.s.i.    (general phase)    =',I5)", {PRO.I(pro::kGeneral)});
        lst("(20X,'n. of s.s.i. stored      = ',I5)", {nst});
    }
}

}  // namespace zanek
