// The pseudo-translation section of %normal: evaluation of the classes of
// reflections defined by congruences against the normalised intensities,
// their ranking, the selection of the most probable class and the hand-over
// to the line fit and the renormalisation.
#include <algorithm>
#include <cmath>
#include <string>

#include "crystaldata/pseudo.h"
#include "jobcontrol/lists/list07.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/normal.h"
#include "jobcontrol/records/pseudo.h"
#include "platform/fformat.h"
#include "platform/listing.h"

namespace zanek {

using namespace pseudo;

namespace {

// CPSEUD word 1 codes.
constexpr int kNoRequest = -1, kGivenConditions = 74;
constexpr int kMaxRanks = 10;
// A class is accepted from 13 % of the scattering power in
// pseudo-translation on.
constexpr int kLeastPercent = 12;
constexpr float kDisplaciveTest = 0.25f;

void section_heading() {
    lst_blank(2);
    lst_line(" " + std::string(120, '+'));
    lst_blank();
    lst_line(std::string(38, ' ') + "***   pseudotranslation section   ***");
    lst_blank();
    lst("(10x,a80)", {job_title()});
    lst_blank();
}

void nothing_found() {
    lst_blank();
    lst_line(std::string(29, ' ') + "***  no pseudo-translational symmetry has been found   ***");
    lst_blank();
}

void table_heading() {
    lst_line(std::string(22, ' ') + " class(es) of reflections probably affected by pseudotranslational effects:");
    lst_blank();
    lst_line(std::string(28, ' ') + "condition   number of   <E**2>  figure         mean fract. scatt. power");
    lst_line(std::string(39, ' ') + "reflections         of merit   in pseudotranslation (m.f.s.p.)");
    lst_blank();
}

void user_conditions_missing() {
    lst_blank(2);
    lst_line(" *** warning *** user must specify the condition for reflexions.");
    lst_line("                 pseudo directive ignored");
    lst_blank(2);
}

// The user's conditions of CPSEUD words 2-13 into the work class: those
// with a non-zero modulus, in order (a zero modulus defines no class).
void user_class(int count) {
    ClassRow row;
    for (auto& c : row.cond) c = Cond{0, 0, 0, 0};
    int k = 0;
    for (int j = 1; j <= cpseud::kMaxConditions; ++j) {
        if (cpseud::n(j) == 0 || k >= count) continue;
        row.cond[static_cast<std::size_t>(k++)] = Cond{cpseud::a(j), cpseud::b(j), cpseud::c(j), cpseud::n(j)};
    }
    row.ncond = k;
    class_row(kWorkClass) = row;
}

// Runs the automatic search; returns the last class to evaluate (73 when
// it found a class that is not in the table).
int search_class() {
    RSC.R(rsc::kScale) = C.R(cw::kScale);
    RSC.R(rsc::kAcceptance) = 0.5f;
    RSC.R(rsc::kDoubleB) = C.R(cw::kB);  // 2B while this runs
    int ntab = 0;
    AUTOGP(SYM.I(symw::kLattice), RC.R(rcw::kELimit), ntab, RC.I(rcw::kReflections), working_file());
    ClassRow found;
    int k = 0;
    for (int j = 1; j <= 3; ++j)
        if (rsc::n(j) != 0 && k < 3) found.cond[static_cast<std::size_t>(k++)] = Cond{rsc::a(j), rsc::b(j), rsc::c(j), rsc::n(j)};
    found.ncond = k;
    if (k == 0) return kFixedLast;
    for (int m = kFixedFirst; m <= kFixedLast; ++m)
        if (same_conditions(class_row(m).cond, found.cond)) return kFixedLast;  // evaluated as that class
    class_row(kWorkClass) = found;
    return kWorkClass;
}

int moduli_product(const ClassRow& row) {
    int p = 1;
    for (int j = 0; j < row.ncond; ++j) p *= row.cond[static_cast<std::size_t>(j)].n;
    return p;
}

// Class statistics over the working file (steps of gathering and of the
// per-class estimates). Returns false when the file holds no reflection.
bool gather(int first, int last, int neq, float N) {
    ClassStats& st = class_stats();
    const WorkingFile& wf = working_file();
    std::array<int, kEntries + 1> product{};
    for (int m = first; m <= last; ++m) product[m] = moduli_product(class_row(m));
    double total_w = 0.0, total_e = 0.0;
    for (const WorkRecord& r : wf) {
        const int mult = r.q();
        const float e2 = r.key.r;  // word 8: E^2 after the rescaling
        total_w += mult;
        total_e += static_cast<double>(e2) * mult;
        int he[kMaxNeq][3];
        const int h[3] = {r.h, r.k, r.l};
        EQUI(h, neq, he);
        for (int m = first; m <= last; ++m) {
            if (st.map[m] != m) continue;
            const ClassRow& row = class_row(m);
            float g = 0.0f;
            GAMMAC(g, he, row.cond, row.ncond, neq);
            const float gamma = static_cast<float>(product[m]) * g / static_cast<float>(neq);
            INSERT(st.gamma[m], e2, static_cast<float>(mult), gamma);
            if (inside(g)) {
                st.nin[m] += mult;
                st.insum[m] += static_cast<double>(e2) * mult;
            } else {
                st.nout[m] += mult;
                st.outsum[m] += static_cast<double>(e2) * mult;
            }
        }
    }
    if (!(total_w > 0.0) || !(total_e > 0.0)) return false;
    const double mean = total_e / total_w;
    for (int m = first; m <= last; ++m) {
        if (st.map[m] != m) continue;
        const double nin = st.nin[m] <= kEps ? 1.0 : st.nin[m];
        st.r1[m] = static_cast<float>(st.insum[m] / (nin * mean));
        if (st.nout[m] <= kEps) {
            st.status[m] = 1;
        } else {
            st.eout[m] = static_cast<float>(st.outsum[m] / st.nout[m]);
            st.n_eout[m] = N * st.eout[m];
            st.n_not[m] = N - N * st.eout[m];
        }
        double s1 = 0.0, s2 = 0.0;
        gamma_sums(st.gamma[m], false, s1, s2);
        if (std::fabs(s2) < kEps) {
            st.status[m] = 2;
        } else {
            const float q = static_cast<float>(s1 / s2);
            st.n_q[m] = N * q;
            st.n_pt[m] = N - N * q;
            if (st.n_pt[m] < 0.0f) st.status[m] = 2;
        }
    }
    for (int m = first; m <= last; ++m) {
        st.fom[m] = 0.0f;
        st.number[m] = 0;
        if (st.map[m] == m && st.eout[m] >= 0.001f && st.eout[m] < 1.0f && st.status[m] == 0) {
            st.number[m] = m;
            st.fom[m] = st.r1[m] / st.eout[m];
        }
    }
    for (int m = first; m <= last; ++m) {
        const int r = st.map[m];
        if (r == m) continue;
        st.nin[m] = st.nin[r];
        st.r1[m] = st.r1[r];
    }
    return true;
}

void displacive_test(float slope, float cnst, float p_sel) {
    const float p0 = 1.0f - cnst;
    const float pmax = 1.0f - (slope * RC.R(rcw::kLargestS2) + cnst);
    const float test = (p0 - pmax) / p_sel;
    if (!(test > kDisplaciveTest)) return;
    const std::string pad(30, ' ');
    lst_blank();
    lst_line(pad + "remarkable deviations (of displacive type) from");
    lst_line(pad + "ideal pseudotranslational symmetry are present:");
    lst("(30x,'      at s**2 = 0.0    m.f.s.p. =',i4,' %     ')", {static_cast<int>(100.0f * p0)});
    lst("(30x,'      at s**2 = max    m.f.s.p. =',i4,' %     ')", {static_cast<int>(100.0f * pmax)});
    lst("(30x,'                      <m.f.s.p.>=',i4,' %     ')", {static_cast<int>(100.0f * p_sel)});
    lst("(30x,'                          test  =',f9.3)", {test});
}

}  // namespace

void PSEUDO(float& SLOPE, float& CONST, float& ESCALE, int& NSTORE, int& IERR) {
    (void)IERR;  // no failure ends the command here
    ClassStats& st = class_stats();
    section_heading();

    // The classes to evaluate.
    const int w1 = CPSEUD.I(cpseud::kClass);  // the request
    int first = kFixedFirst, last = kFixedLast;
    clear_work_class();
    if (w1 >= kFixedFirst && w1 <= kFixedLast) {
        class_row(kWorkClass) = class_row(w1);
        first = last = kWorkClass;
    } else if (w1 == kGivenConditions) {
        const int count = CPSEUD.I(cpseud::kWithModulus);  // conditions with a modulus
        if (count < 1) {
            user_conditions_missing();
            CPSEUD.I(cpseud::kClass) = kNoRequest;
            return;
        }
        user_class(count);
        first = last = kWorkClass;
    } else {
        last = search_class();
    }

    st.clear();
    NSTORE = 0;
    FILLKQ(st.map);
    const int neq = std::clamp((SYM.I(symw::kCentric) + 1) * SYM.I(symw::kOps), 1, kMaxNeq);
    SYM.R(symw::kEquivalents) = static_cast<float>(neq);
    const float sigma_ratio = SYM.R(symw::kSigma3Prim);  // sigma3/sigma2^1.5, primitive cell
    // Atoms in the primitive cell; it cancels in every percentage, so a
    // missing ratio only takes the value 1.
    const float N = sigma_ratio > 0.0f ? 1.0f / (sigma_ratio * sigma_ratio) : 1.0f;

    if (!gather(first, last, neq, N)) {
        nothing_found();
        CPSEUD.I(cpseud::kClass) = kNoRequest;
        return;
    }

    // Ranking by the figure of merit.
    std::array<float, kEntries + 1> F = st.fom, R = st.r1, A = st.n_not, B = st.n_eout;
    std::array<int, kEntries + 1> K = st.nin, Cn = st.number;
    SORT(F.data(), R.data(), K.data(), Cn.data(), A.data(), B.data(), kEntries);
    if (Cn[1] == 0) {
        nothing_found();
        CPSEUD.I(cpseud::kClass) = kNoRequest;
        return;
    }

    int selected = 0;
    float p_sel = 0.0f;
    std::string selected_text;
    const int ranks = std::min(last - first + 1, kMaxRanks);
    for (int i = 1; i <= ranks; ++i) {
        const int c = Cn[i];
        if (c == 0) continue;
        const float p = st.n_pt[c] / N;
        const int t = static_cast<int>(100.0f * p);
        if (t <= kLeastPercent) continue;
        const ClassRow& row = class_row(c);
        const std::string text = condition_text(row.ncond, row.cond);
        if (selected == 0) {
            table_heading();
            selected = c;
            p_sel = p;
            selected_text = text;
        }
        lst("(1x,a,3x,i6,5x,f6.3,3x,f5.2,15x,i5,' %')", {text, K[i], R[i], F[i], t});
    }
    if (selected == 0) {
        nothing_found();
        CPSEUD.I(cpseud::kClass) = kNoRequest;
        return;
    }

    const ClassRow& sel = class_row(selected);
    CPSEUD.I(cpseud::kClass) = selected;
    for (int j = 0; j < 3; ++j) {
        const Cond& c = sel.cond[static_cast<std::size_t>(j)];
        cpseud::a(j + 1) = c.a;
        cpseud::b(j + 1) = c.b;
        cpseud::c(j + 1) = c.c;
        cpseud::n(j + 1) = c.n;
    }
    double s1 = 0.0, s2 = 0.0;
    gamma_sums(st.gamma[selected], false, s1, s2);
    const float nq = N * static_cast<float>(s1 / s2);
    ULTIMA(working_file(), selected, N, neq, nq, SLOPE, CONST);
    displacive_test(SLOPE, CONST, p_sel);

    if (w1 == kNoRequest) {
        CPSEUD.I(cpseud::kClass) = kNoRequest;
        lst_blank();
        lst_line(std::string(20, ' ') + "*** pseudotranslational symmetry will be neglected in subsequent steps ***");
        lst_blank();
        return;
    }
    lst_blank();
    lst_line(" " + selected_text + " class has been selected as the most probable one;");
    lst_line(std::string(38, ' ') + "pseudotranslational symmetry is assumed as prior ");
    lst_line(std::string(38, ' ') + "information in subsequent steps.");
    RENORM(working_file(), last, SLOPE, CONST, ESCALE, NSTORE);
}

void pseudo_translation_of_normal(int& NSTORE, int& IERR) {
    float slope = 0.0f, cnst = 0.0f, escale = 0.0f;
    NSTORE = 0;
    PSEUDO(slope, cnst, escale, NSTORE, IERR);
    if (NSTORE != 0) {
        FRM19(&cpseud::a(1), slope, cnst);
    } else if (CPSEUD.I(cpseud::kClass) > 0) {
        // The E values take the renormalised intensities only after a
        // renormalisation.
        CPSEUD.I(cpseud::kClass) = kNoRequest;
    }
}

}  // namespace zanek
