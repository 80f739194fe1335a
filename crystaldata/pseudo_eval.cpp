// Computing routines of the pseudo-translation section: the equivalents of a
// reflection, the count of equivalents that obey a class, the grouping of
// reflections by their gamma factor, the straight line of the
// non-pseudo-translational fraction q against s^2, and the renormalisation
// of the intensities to the selected class.
//
// Under an ideal pseudo-translation of class conditions with moduli
// n_1..n_c the expected E^2 of a reflection is gamma = (n_1 ... n_c) G / NEQ,
// G the number of its NEQ equivalents that obey every condition; with a
// fraction q of the scattering power outside the pseudo-translation it is
// q + (1 - q) gamma. A group of reflections of equal gamma < 1 and mean E^2
// e therefore estimates q = (e - gamma) / (1 - gamma).
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "crystaldata/pseudo.h"
#include "crystaldata/wilson.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/normal.h"
#include "platform/fformat.h"
#include "platform/listing.h"

namespace zanek {

using namespace pseudo;

namespace {

// Gamma values closer than this share one entry of a gamma table.
constexpr float kGammaTolerance = 0.001f;
// The fitted q enters the expected intensity at most as 0.99.
constexpr float kMaxQ = 0.99f;
// Expected intensity used when the fitted line and the class leave none
// (q = 0 outside the class): the reflection is taken as 1 % of average.
constexpr double kLeastExpected = 0.01;

int moduli_product(const Conds& cond, int nc) {
    int p = 1;
    for (int j = 0; j < std::clamp(nc, 0, 3); ++j) p *= cond[static_cast<std::size_t>(j)].n;
    return p;
}

// Reflections are always entered one by one with the equivalents of the
// current symmetry.
float gamma_count(const WorkRecord& r, const Conds& cond, int nc, int neq) {
    int he[kMaxNeq][3];
    const int h[3] = {r.h, r.k, r.l};
    EQUI(h, neq, he);
    float g = 0.0f;
    GAMMAC(g, he, cond, nc, neq);
    return g;
}

// One condition of the statistic: a h + b k + c l = n with one-column
// coefficients, or two columns when negative or above 9.
std::string coef_format(int v, bool leading_blank) {
    const bool wide = v < 0 || v > 9;
    return wide ? "i2" : (leading_blank ? "1x,i1" : "i1");
}

std::vector<FItem> condition_items(const Cond& c) { return {c.a, c.b, c.c, c.n}; }

// The parts joined into one string (formats and listing lines).
std::string cat(std::initializer_list<std::string_view> parts) {
    std::string s;
    for (std::string_view p : parts) s.append(p);
    return s;
}

void print_statistic(int last) {
    ClassStats& st = class_stats();
    const std::string block = "           number <E**2>       ";
    lst_blank(3);
    lst_line(cat({std::string(30, ' '), "pseudo-translation statistic after renormalization"}));
    lst_blank();
    lst_line(cat({std::string(6, ' '), block, block, block, block}));
    const auto entry = [&](int m, std::vector<FItem>& items) {
        const Cond& c = class_row(m).cond[0];
        items.insert(items.end(), {m, c.a, c.b, c.c, c.n, static_cast<int>(st.rcount[m]), st.rmean[m]});
    };
    for (int m0 = 1; m0 <= 64; m0 += 4) {
        std::vector<FItem> items;
        for (int m = m0; m <= m0 + 3; ++m) entry(m, items);
        lst("(4(i3,')',1x,i1,'h+',i1,'k+',i1,'l=',i2,'n',i6,f6.3,2x))", items);
    }
    const std::string tail = "           number <E**2>                ";
    lst_blank();
    lst_line(cat({std::string(44, ' '), tail}));
    const std::string cond_fmt = "1x,i1,'h+',i1,'k+',i1,'l=',i2,'n'";
    for (int m = 65; m <= 71; ++m) {
        const ClassRow& row = class_row(m);
        std::vector<FItem> items{m};
        for (int j = 0; j < 2; ++j) {
            auto ci = condition_items(row.cond[static_cast<std::size_t>(j)]);
            items.insert(items.end(), ci.begin(), ci.end());
        }
        items.insert(items.end(), {static_cast<int>(st.rcount[m]), st.rmean[m]});
        lst(cat({"(19x,i3,')',", cond_fmt, ",'   &  ',", cond_fmt, ",i6,f6.3)"}), items);
    }
    lst_blank();
    lst_line(cat({std::string(52, ' '), tail}));
    {
        const ClassRow& row = class_row(72);
        std::vector<FItem> items{72};
        for (int j = 0; j < 3; ++j) {
            auto ci = condition_items(row.cond[static_cast<std::size_t>(j)]);
            items.insert(items.end(), ci.begin(), ci.end());
        }
        items.insert(items.end(), {static_cast<int>(st.rcount[72]), st.rmean[72]});
        lst(cat({"(8x,i3,')',", cond_fmt, ",'   &  ',", cond_fmt, ",'   &  ',", cond_fmt, ",i6,f6.3)"}), items);
    }
    if (last < kWorkClass) return;

    // The work class in the layout of its number of conditions.
    lst("(1x,19x)");
    const ClassRow& row = class_row(kWorkClass);
    const int nc = std::clamp(row.ncond, 1, 3);
    std::vector<FItem> items{kWorkClass};
    std::string fmt;
    auto cond_part = [&](const Cond& c, bool first_wide) {
        // first_wide: a is always printed as i2 (three-condition layout).
        std::string a = first_wide ? "i2" : coef_format(c.a, true);
        return cat({a, ",'h+',", coef_format(c.b, false), ",'k+',", coef_format(c.c, false), ",'l=',i2"});
    };
    for (int j = 0; j < nc; ++j) {
        auto ci = condition_items(row.cond[static_cast<std::size_t>(j)]);
        items.insert(items.end(), ci.begin(), ci.end());
    }
    items.insert(items.end(), {static_cast<int>(st.rcount[kWorkClass]), st.rmean[kWorkClass]});
    if (nc == 1) {
        fmt = cat({"(i3,')',", cond_part(row.cond[0], false), ",i6,f6.3,11x)"});
    } else if (nc == 2) {
        fmt = cat({"(19x,i3,')',", cond_part(row.cond[0], false), ",'n  &  ',", cond_part(row.cond[1], false),
                   ",'n',i6,f6.3)"});
    } else {
        fmt = cat({"(8x,i3,')',", cond_part(row.cond[0], true), ",'n  &  ',", cond_part(row.cond[1], true),
                   ",'n  &  ',", cond_part(row.cond[2], true), ",'n',i6,f6.3)"});
    }
    lst(fmt, items);
}

}  // namespace

ClassStats& pseudo::class_stats() {
    static ClassStats st;
    return st;
}

void EQUI(const int H[3], int NEQ, int HE[][3]) {
    const int neq = std::clamp(NEQ, 0, kMaxNeq);
    for (int i = 1; i <= neq; ++i)
        for (int c = 1; c <= 3; ++c)
            HE[i - 1][c - 1] = H[0] * erl_R(i, 1, c) + H[1] * erl_R(i, 2, c) + H[2] * erl_R(i, 3, c);
}

void GAMMAC(float& G, const int HE[][3], const Conds& COND, int NC, int NEQ) {
    int count = 0;
    const int nc = std::clamp(NC, 0, 3);
    for (int i = 0; i < std::clamp(NEQ, 0, kMaxNeq); ++i) {
        bool obeys = true;
        for (int j = 0; j < nc && obeys; ++j) {
            const Cond& c = COND[static_cast<std::size_t>(j)];
            const int v = c.a * HE[i][0] + c.b * HE[i][1] + c.c * HE[i][2];
            // A zero modulus is read as the plain equation a h + b k + c l = 0.
            obeys = c.n != 0 ? v % c.n == 0 : v == 0;
        }
        if (obeys) ++count;
    }
    G = static_cast<float>(count);
}

void INSERT(GammaTable& T, float E2, float W, float GAM) {
    int j = 0;
    while (j < T.ng && !(std::fabs(T.gv[static_cast<std::size_t>(j)] - GAM) < kGammaTolerance)) ++j;
    if (j == T.ng) {
        if (T.ng == kMaxGamma) {
            // Cannot happen (gamma takes at most NEQ + 1 values); the nearest
            // entry takes the reflection rather than a write beyond the table.
            int best = 0;
            for (int i = 1; i < T.ng; ++i)
                if (std::fabs(T.gv[static_cast<std::size_t>(i)] - GAM) <
                    std::fabs(T.gv[static_cast<std::size_t>(best)] - GAM))
                    best = i;
            j = best;
        } else {
            T.gv[static_cast<std::size_t>(T.ng++)] = GAM;
        }
    }
    T.se[static_cast<std::size_t>(j)] += E2 * W;
    T.sn[static_cast<std::size_t>(j)] += W;
}

void gamma_sums(const GammaTable& T, bool above_one, double& S1, double& S2) {
    S1 = 0.0;
    S2 = 0.0;
    for (int j = 0; j < T.ng; ++j) {
        const double gv = T.gv[static_cast<std::size_t>(j)], se = T.se[static_cast<std::size_t>(j)],
                     sn = T.sn[static_cast<std::size_t>(j)];
        const double d = 1.0 - gv;
        if (sn < kEps) continue;
        if (above_one ? std::fabs(d) < kEps : d < kEps) continue;
        S1 += sn * (se / sn - gv) / d;
        S2 += sn;
    }
}

void ULTIMA(const WorkingFile& wf, int c, float N, int NEQ, float NQ, float& SLOPE, float& CONST) {
    ClassStats& st = class_stats();
    const ClassRow& row = class_row(c);
    const int nc = row.ncond;
    const double g0 = static_cast<double>(moduli_product(row.cond, nc)) / std::max(NEQ, 1);
    const int nsh = std::clamp(RC.I(rcw::kShells), 1, kMaxShells);
    const float s2max = RC.R(rcw::kLargestS2);

    // Per shell: counts, sums of s^2, and the gamma table.
    std::array<double, kMaxShells + 3> count{}, q2{}, L{};
    std::vector<GammaTable> shells(static_cast<std::size_t>(kMaxShells + 1));
    for (const WorkRecord& r : wf) {
        const int mult = r.q();
        const int k = wilson_shell(r.s2, s2max, nsh);
        count[k] += mult;
        q2[k] += static_cast<double>(r.s2) * mult;
        const float g = gamma_count(r, row.cond, nc, NEQ);
        INSERT(shells[static_cast<std::size_t>(k)], r.key.r, static_cast<float>(mult), static_cast<float>(g0 * g));
    }
    for (int k = 1; k <= nsh; ++k) {
        double s1 = 0.0, s2 = 0.0;
        gamma_sums(shells[static_cast<std::size_t>(k)], true, s1, s2);
        st.shell_s1[k] = static_cast<float>(s1);
        st.shell_q[k] = s2 > 0.0 ? static_cast<float>(s1 / s2) : 0.0f;
        L[k] = s1;
    }
    // The two lowest shells, where the Wilson statistics are least sound,
    // stay out of the fit.
    for (int k = 1; k <= 2; ++k) L[k] = count[k] = q2[k] = 0.0;

    // Pairs of neighbouring shells: pair i holds shells i+1 and i+2.
    double S = 0, Sx = 0, Sy = 0, Sxx = 0, Sxy = 0;
    for (int i = 1; i <= nsh - 1; ++i) {
        const double n = count[i + 1] + count[i + 2];
        const double d = std::max(n, 1.0);
        const double y = (L[i + 1] + L[i + 2]) / d;
        const double x = (q2[i + 1] + q2[i + 2]) / d;
        cw::log_wilson(1 + i) = static_cast<float>(y);
        cw::log_debye(1 + i) = static_cast<float>(y);
        cw::mean_s2(1 + i) = static_cast<float>(x);
        S += n;
        Sx += n * x;
        Sy += n * y;
        Sxx += n * x * x;
        Sxy += n * x * y;
    }
    const double D = S * Sxx - Sx * Sx;
    const float level = N != 0.0f ? NQ / N : 0.0f;
    if (!(std::fabs(D) > 1.0e-12 * std::max(1.0, S * Sxx))) {
        // Fewer than two distinct shell means: the level line of the
        // class's overall q.
        SLOPE = 0.0f;
        CONST = level;
        return;
    }
    SLOPE = static_cast<float>((S * Sxy - Sx * Sy) / D);
    CONST = static_cast<float>(std::max((Sxx * Sy - Sxy * Sx) / D, 0.0));
    if (SLOPE < 0.0f) {
        SLOPE = 0.0f;
        CONST = level;
    }
}

void RENORM(WorkingFile& wf, int LAST, float SLOPE, float CONST, float& ESCALE, int& NSTORE) {
    ClassStats& st = class_stats();
    const int c = CPSEUD.I(cpseud::kClass);  // the selected class
    const ClassRow& sel = class_row(c);
    NSTORE = sel.ncond;
    const int neq = std::max(static_cast<int>(SYM.R(symw::kEquivalents)), 1);
    const double g0 = static_cast<double>(moduli_product(sel.cond, NSTORE)) / neq;
    const int last = std::clamp(LAST, 1, kWorkClass);
    FILLKQ(st.map);
    for (int m = 1; m <= kEntries; ++m) st.rcount[m] = st.rmean[m] = 0.0;

    // First pass: E^2 divided by its expected value q(s^2) + (1 - q) gamma.
    double sw = 0.0, sz = 0.0;
    for (WorkRecord& r : wf) {
        const int mult = r.q();
        const double gamma = g0 * gamma_count(r, sel.cond, NSTORE, neq);
        double v = static_cast<double>(SLOPE) * r.s2 + CONST;
        if (v > kMaxQ) v = kMaxQ;
        double expected = v + (1.0 - v) * gamma;
        if (!(expected >= kEps)) expected = kLeastExpected;
        r.z = static_cast<float>(r.key.r / expected);
        sw += mult;
        sz += static_cast<double>(r.z) * mult;
    }
    const double K = sz > 0.0 ? sw / sz : 1.0;

    // Second pass: scaled to a mean of 1; the class means after it.
    double tw = 0.0, tz = 0.0;
    for (WorkRecord& r : wf) {
        const int mult = r.q();
        r.z = static_cast<float>(r.z * K);
        tw += mult;
        tz += static_cast<double>(mult) * r.z;
        int he[kMaxNeq][3];
        const int h[3] = {r.h, r.k, r.l};
        EQUI(h, neq, he);
        for (int m = 1; m <= last; ++m) {
            if (st.map[m] != m) continue;
            const ClassRow& row = class_row(m);
            float g = 0.0f;
            GAMMAC(g, he, row.cond, row.ncond, neq);
            if (inside(g)) {
                st.rcount[m] += mult;
                st.rmean[m] += static_cast<double>(mult) * r.z;
            }
        }
    }
    const double mean = tw > 0.0 ? tz / tw : 1.0;
    for (int m = 1; m <= last; ++m) {
        if (st.map[m] != m) continue;
        const double cnt = st.rcount[m] < kEps ? 1.0 : st.rcount[m];
        st.rmean[m] = mean > 0.0 ? st.rmean[m] / (cnt * mean) : 0.0;
    }
    for (int m = 1; m <= last; ++m)
        if (st.map[m] != m) {
            st.rcount[m] = st.rcount[st.map[m]];
            st.rmean[m] = st.rmean[st.map[m]];
        }
    print_statistic(last);
    ESCALE = static_cast<float>(std::sqrt(K));
}

}  // namespace zanek
