// Figures of merit of one trial.
//
// The alpha figure X measures how far the alphas a trial reaches deviate
// from their expected values, in units of the expected spread (about 1 for
// a right set, larger for the "uranium" sets that agree too well). The
// phase-dependent figures test the trial's phases against relations that
// the tangent formula did not use as such: one- and two-phase seminvariant
// estimates, negative quartets and triplets (whose cosine should be
// negative) and psi-zero relations (whose sums should be small). The
// enantiomorph-sensitive relations measure how far a set is from its own
// enantiomorph (|sin| near 0: the set is close to centrosymmetric).
#include "phasing/fom.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "graphics/screens.h"
#include "jobcontrol/lists/listxx.h"
#include "jobcontrol/numeric.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/store/store.h"
#include "phasing/multisolution.h"
#include "phasing/phase_records.h"
#include "phasing/psizero.h"
#include "phasing/stored_sets.h"
#include "platform/listing.h"

namespace zanek {

namespace {

// FOM4 words.
constexpr int kZ2Expected = 1, kZExpected = 2, kCount21 = 3, kCount11 = 4, kCount10 = 5, kCount26 = 6,
              kCount27 = 7, kCount20 = 8, kCountR = 9, kRxy = 11;

// The relation tables of the phase-dependent figures, loaded at the first
// trial of a run and kept for all its trials.
struct Table {
    int words = 0;            // words kept per item
    std::vector<int32_t> w;   // item i word j at w[i*words + j]
    int count() const { return words ? int(w.size()) / words : 0; }
    int32_t at(int i, int j) const { return w[size_t(i) * words + j]; }
};
Table g26, g27, g20, g21, g11, g10;

void load_table(int type, int words, int capacity, Table& tab) {
    tab.words = words;
    tab.w.clear();
    int serial = 0, first = -1, last = 0, part = 0, length = 0;
    SRLIN(type, serial, first, last, part, length);
    if (first < 0) return;
    int stored = 0, c1 = 0, c2 = 0, c3 = 0, c4 = 0, w = 0, stride = 0;
    SFLXX(-1, type, stored, c1, c2, c3, c4, nullptr, 0);
    listxx::widths(type, w, stride);
    std::vector<Word> items(static_cast<size_t>(std::max(stored, 1)) * size_t(std::max(stride, 1)));
    SFLXX(0, type, stored, c1, c2, c3, c4, items.data(), int(items.size()));
    // Header word 10 is the number of items in use; a longer list is cut.
    const int n = std::max(0, std::min({c1, stored, capacity}));
    tab.w.resize(size_t(n) * words);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < words; ++j) tab.w[size_t(i) * words + j] = items[size_t(i) * stride + j].i;
}

inline int field_a(int32_t w) { return w / 131072 - 2048; }
inline int field_b(int32_t w) { return (w % 131072) / 32 - 2048; }
inline int field_c(int32_t w) { return w % 32 - 1; }
inline int sgn(int v) { return v < 0 ? -1 : 1; }

// The signed phase term of a rank, or false when the rank has no phase.
struct Phases {
    int n;
    bool term(int r, int& acc) const {
        const int a = std::abs(r);
        if (a < 1 || a > n) return false;
        const int p = trial_phase(a);
        if (p == 0) return false;
        acc += sgn(r) * p;
        return true;
    }
};

struct Ratio {
    double num = 0, den = 0;
    double value(bool empty) const { return empty ? 0.0 : den < 1e-5 ? num : num / den; }
};

void note_fig(int k, double v) {
    track_max(k) = std::max(track_max(k), float(v));
    track_min(k) = std::min(track_min(k), float(v));
}

void print_heading() {
    lst_blank(6);
    lst_line("          numerators and denominators of phase dependant foms");
    lst_blank();
    lst("(1x,'trial',9x,'ss1fom',12x,'ss2fom',12x,'nquest',12x,'ntrest',12x,'fentrs',12x,'fenqus')");
    lst("(5x,6(7x,'num     den'))");
    lst_blank();
}

const char* const kColumns[15] = {"mabs ",    " nalf(1)", " nalf(2)", " nalf(3)", " nalf(4)",
                                  "    ss1 ", "    ss2 ", "    nqu ", "    ntr ", "  nps(0)",
                                  "  nps(1)", "  nps(2)", "  nps(3)", "   entr ", "   enqu "};
// Tracker of each listed column.
const int kColumnTracker[15] = {track::kMabs, track::kNalf1, track::kNalf2, track::kNalf3, track::kNalf4,
                                track::kSs1,  track::kSs2,   track::kNqu,   track::kNtr,   track::kNps0,
                                track::kNps1, track::kNps2,  track::kNps3,  track::kEntr,  track::kEnqu};

std::string column_names() {
    std::string s;
    for (const char* c : kColumns) s += c;
    return s;
}

}  // namespace

void FOMSP(int nref, int t, int ntrials, int onep, float twop, float s, int centric, int& nkeep, int& slot,
           int& evaluated, float& lowest, int& nenan) {
    const bool all = CONST.I(konst::kAll) == 1;
    const bool centro = centric >= 1;
    if (t < 2) {
        for (int k = kCount21; k <= kCount20; ++k) FOM4.I(k) = 0;
        for (int k = 1; k <= track::kCount; ++k) {
            track_max(k) = -1e20f;
            track_min(k) = 1e20f;
        }
        load_table(26, 1, 200, g26);
        load_table(27, 2, 2500, g27);
        load_table(20, 3, 750, g20);
        load_table(21, 3, 500, g21);
        load_table(11, 2, 500, g11);
        load_table(10, 2, 500, g10);
        FOM4.I(kCount26) = g26.count();
        FOM4.I(kCount27) = g27.count();
        FOM4.I(kCount20) = g20.count();
        FOM4.I(kCount21) = g21.count();
        FOM4.I(kCount11) = g11.count();
        FOM4.I(kCount10) = g10.count();
        FOM4.I(kCountR) = FOM4.I(kCount26) + FOM4.I(kCount27) + FOM4.I(kCount10) + FOM4.I(kCount20);
        nenan = FOM4.I(kCount21) + FOM4.I(kCount11);
        FOM4.R(kZ2Expected) = 0.968f;
        FOM4.R(kZExpected) = 0.798f;
    }
    if (all) print_heading();

    // Alpha figure. The scaled statistics are kept apart from ABSNEW's words,
    // which a trial with too many undetermined phases leaves as they were.
    trial_figure(fig::kLatestCfom) = 0.0f;
    const double mabs = trial_figure(fig::kMabs);
    const double nalf2 = trial_figure(fig::kQ), nalf3 = trial_figure(fig::kZ2);
    const double nalf4 = trial_figure(fig::kZ2m1) / FOM4.R(kZ2Expected);
    const double nalf1 = trial_figure(fig::kZabs) / FOM4.R(kZExpected);
    const double X = 0.25 * (std::sqrt(std::max(nalf4, 0.0)) + std::sqrt(std::max(nalf3, 0.0)) +
                             std::sqrt(std::max(nalf2, 0.0)) + nalf1);
    note_fig(track::kMabs, mabs);
    note_fig(track::kNalf2, nalf2);
    note_fig(track::kNalf3, nalf3);
    note_fig(track::kNalf4, nalf4);
    note_fig(track::kNalf1, nalf1);
    note_fig(track::kX, X);

    // Phase-dependent figures.
    const Phases P{nref};
    Ratio ss1, ss2, nqu, ntr;
    for (int i = 0; i < g26.count(); ++i) {
        const int32_t w = g26.at(i, 0);
        int th = 0;
        if (!P.term(std::abs(field_a(w)), th)) continue;
        const double alpha = std::abs(field_b(w)) / 100.0;
        th = reduce360(th - 15 * field_c(w));
        const double wt = i < onep ? alpha / 2.0 : alpha;
        ss1.num += wt * tcos(th);
        ss1.den += wt * BES(float(alpha));
    }
    for (int i = 0; i < g27.count(); ++i) {
        const int32_t w1 = g27.at(i, 0), w2 = g27.at(i, 1);
        int th = 0;
        if (!P.term(field_a(w1), th) || !P.term(field_b(w1), th)) continue;
        const double alpha = std::abs(field_b(w2)) / 100.0;
        if (alpha < 1e-4) continue;
        th = reduce360(th - 15 * field_c(w2));
        const double wt = alpha >= twop ? alpha / 2.0 : alpha;
        ss2.num += wt * tcos(th);
        ss2.den += wt * BES(float(alpha));
    }
    int nneg = 0;
    double gneg = 0.0;
    // A quartet of list 20 or 21: its four phases and shift, false when one is missing.
    auto quartet = [&](const Table& tab, int i, double& g, int& th) {
        const int32_t w1 = tab.at(i, 0), w2 = tab.at(i, 1), w3 = tab.at(i, 2);
        th = 0;
        if (!P.term(field_a(w1), th) || !P.term(field_b(w1), th) || !P.term(field_a(w2), th) ||
            !P.term(field_b(w2), th))
            return false;
        g = std::abs(field_b(w3)) / 100.0;
        th = reduce360(th + 15 * field_c(w3));
        return true;
    };
    // A triplet of list 10 or 11 (its first reflection taken positive).
    auto triplet = [&](const Table& tab, int i, double& g, int& th) {
        const int32_t w1 = tab.at(i, 0), w2 = tab.at(i, 1);
        th = 0;
        if (!P.term(std::abs(field_a(w1)), th) || !P.term(field_b(w1), th) || !P.term(field_a(w2), th))
            return false;
        g = std::abs(field_b(w2)) / 100.0;
        th = reduce360(th + 15 * field_c(w2));
        return true;
    };
    for (int i = 0; i < g20.count(); ++i) {
        double g = 0.0;
        int th = 0;
        if (!quartet(g20, i, g, th)) continue;
        nqu.num -= g * tcos(th);
        nqu.den += g * BES(float(g));
        ++nneg;
        gneg += g;
    }
    for (int i = 0; i < g10.count(); ++i) {
        double g = 0.0;
        int th = 0;
        if (!triplet(g10, i, g, th)) continue;
        ntr.num -= g * tcos(th);
        ntr.den += g * BES(float(g));
        ++nneg;
        gneg += g;
    }
    const double vss1 = ss1.value(g26.count() == 0), vss2 = ss2.value(g27.count() == 0);
    const double vnqu = nqu.value(g20.count() == 0), vntr = ntr.value(g10.count() == 0);
    trial_figure(fig::kSs1) = float(vss1);
    note_fig(track::kSs1, vss1);
    note_fig(track::kSs2, vss2);
    note_fig(track::kNqu, vnqu);
    note_fig(track::kNtr, vntr);
    const double den = ss1.den + ss2.den + nqu.den + ntr.den;
    const double R = den > 1e-5 ? (ss1.num + ss2.num + nqu.num + ntr.num) / den : 0.0;
    const double wR = nneg > 0 ? std::sqrt(BES(float(gneg / nneg))) : 0.0;

    // Psi-zero figures.
    const int nz = PSI0.I(psi0::kNzro);
    double nps0 = 0, nps1 = 0, nps2 = 0, nps3 = 0, Y = 0;
    if (nz != 0) {
        const double sp = centro ? s : 2.0 * s;
        const double c0 = centro ? 0.798 : 0.886;
        double sumP = 0, sumV = 0, fa = 0, fb = 0, fc = 0;
        for (int g = 1; g <= nz; ++g) {
            const int lo = PSI0.I(psi0::kGroupPtr - 1 + g) + 1, hi = PSI0.I(psi0::kGroupPtr + g);
            if (hi < lo) continue;
            double e2 = 0, vs = 0, vc = 0;
            for (int i = lo; i <= hi; ++i) {
                const int32_t w = PSI0.I(psi0::kFirstWord - 1 + i) % psi0::kGroupMark;
                int th = 0;
                const int a = field_a(w), b = field_b(w);
                if (!P.term(a, th) || !P.term(b, th)) continue;
                const double e = sp * e_mode2(std::abs(a)) * e_mode2(std::abs(b));
                e2 += e * e;
                th = reduce360(th + 15 * field_c(w));
                vc += e * tcos(th);
                vs += e * tsin(th);
            }
            const double pm = std::sqrt(vs * vs + vc * vc), v = std::sqrt(e2);
            sumP += pm;
            sumV += v;
            const double y = v > 1e-4 ? pm / v : 0.0;
            fa += (y - c0) * (y - c0);
            fb += std::fabs(y * y - 1.0);
            fc += y * y;
        }
        nps3 = fa / (nz * 0.215);
        nps2 = fb / (nz * 0.736);
        nps1 = fc / nz;
        nps0 = std::fabs(sumV) > 1e-4 ? sumP / (sumV * 0.886) : 0.0;
        Y = mabs > 0.001 ? 0.25 * (std::sqrt(nps3) + nps0 + std::sqrt(nps2) + std::sqrt(nps1)) / mabs : 0.0;
    }
    trial_figure(fig::kNps0) = float(nps0);
    note_fig(track::kNps0, nps0);
    note_fig(track::kNps1, nps1);
    note_fig(track::kNps2, nps2);
    note_fig(track::kNps3, nps3);

    // Enantiomorph-sensitive figures.
    double entr = 0, enqu = 0, se = 0, sin11 = 0, sin21 = 0;
    int n11 = 0, n21 = 0;
    if (!centro) {
        for (int i = 0; i < g11.count(); ++i) {
            double g = 0.0;
            int th = 0;
            if (!triplet(g11, i, g, th)) continue;
            sin11 += std::fabs(tsin(th));
            ++n11;
        }
        for (int i = 0; i < g21.count(); ++i) {
            double g = 0.0;
            int th = 0;
            if (!quartet(g21, i, g, th)) continue;
            sin21 += std::fabs(tsin(th));
            ++n21;
        }
        entr = n11 > 0 ? sin11 / n11 : 0.0;
        enqu = n21 > 0 ? sin21 / n21 : 0.0;
        se = n11 + n21 > 0 ? (sin11 + sin21) / (n11 + n21) : 0.0;
        note_fig(track::kEntr, entr);
        note_fig(track::kEnqu, enqu);
    }

    // A figure no trial has given stays 0 in the table.
    for (int k = 1; k <= 16; ++k) {
        if (track_max(k) == -1e20f) track_max(k) = 0.0f;
        if (track_min(k) == 1e20f) track_min(k) = 0.0f;
    }
    if (all) {
        lst("(1x,i4,6(2x,2f8.2))", {t, ss1.num, ss1.den, ss2.num, ss2.den, nqu.num, nqu.den, ntr.num, ntr.den,
                                    0.1 * sin11, 0.1 * n11, 0.1 * sin21, 0.1 * n21});
        lst_blank(3);
        lst_line(std::string(30, ' ') + "++++++++++  figures  of  merit  ++++++++++");
        lst_blank();
        lst_line(std::string(8, ' ') + column_names());
        lst_blank();
        std::vector<FItem> mins, maxs;
        for (int c : kColumnTracker) {
            mins.push_back(track_min(c));
            maxs.push_back(track_max(c));
        }
        lst("(' min',15f8.3)", mins);
        lst("(' max',15f8.3)", maxs);
        lst_blank(3);
        lst_line(" trial  " + column_names());
        lst("(1x,i3,15f8.3)", {t, mabs, nalf1, nalf2, nalf3, nalf4, vss1, vss2, vnqu, vntr, nps0, nps1, nps2,
                                  nps3, entr, enqu});
    }

    // Combination.
    TrialFigures f;
    f.mabs = float(mabs);
    f.undetermined = trial_figure(fig::kUndet);
    f.trial = float(t);
    // With too many undetermined phases the trial has no correlation and no
    // phase errors (ABSNEW left the previous trial's R(x,y) and its own
    // error sums undivided): its set keeps zeros there, as in every
    // combined figure.
    if (trial_figure(fig::kUndet) < float(nref / 2)) {
        f.rxy = FOM4.R(kRxy);
        f.error = trial_figure(fig::kError);
        f.werror = trial_figure(fig::kWError);
        if (X <= 0.8) {
            f.alcomb = 1.0f;
        } else {
            const double e = std::pow(X - 0.8, 1.5);
            f.alcomb = e > 87.0 ? 0.0f : float(std::exp(-e));
        }
        if (Y > 0.8)
            f.pscomb = float(std::exp(-std::pow(Y - 0.8, 1.5)));
        else
            f.pscomb = nz == 0 ? 0.0f : 1.0f;
        if (FOM4.I(kCountR) == 0 || std::fabs(R) < 1e-5)
            f.cphase = float(R);
        else
            f.cphase = R < 1.2 ? float(std::exp(-std::pow(1.2 - R, 1.5))) : 1.0f;
        f.cfom = float((wR * f.cphase + f.alcomb) / (wR + 1.0));
        f.enantio = float(std::asin(std::min(se, 1.0)) * 180.0 / 3.14159265358979323846);
        trial_figure(fig::kLatestCfom) = f.cfom;
        note_fig(track::kAlcomb, f.alcomb);
        note_fig(track::kPscomb, f.pscomb);
        note_fig(track::kRxy, f.rxy);
        note_fig(track::kCphase, f.cphase);
        note_fig(track::kCfom, f.cfom);
    }

    // Progress.
    UREQ1.I(ureq1::kSetsStored) += 1;
    evaluated += 1;
    if (t <= ntrials) CFOMXX.R(cfomxx::kBest) = track_max(track::kCfom);
    SCRP(t, ntrials, trial_figure(fig::kLatestCfom), CFOMXX.R(cfomxx::kBest));
    KEEPSET(f, nkeep, slot, lowest);
}

}  // namespace zanek
