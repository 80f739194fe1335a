// Weighted tangent refinement of one trial.
//
// For reflection h the relations give the tangent sums
//   Ts + i Tc = sum alpha_r exp(i theta_r),  theta_r = sum of the signed
//   partner phases + shift,
// with alpha_r the alpha that the relation's reliability G and its partners'
// weights t = I1/I0 support. The new phase is atan2(Ts, Tc) and the new
// weight I1/I0 of |T|. Stage 1 extends the phases from the starting set, a
// falling threshold deciding which reflections are accepted in each cycle;
// stage 2 refines every phase, starting set included, until the sum of
// alpha^2 stops growing by more than 2 %.
#include "phasing/tangent.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "jobcontrol/numeric.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "phasing/fom.h"
#include "phasing/multisolution.h"
#include "phasing/phase_records.h"
#include "phasing/phasing_set.h"
#include "phasing/psizero.h"
#include "platform/listing.h"

namespace zanek {

namespace {

TangentRelations g_rel;

constexpr double kDeg = 180.0 / 3.14159265358979323846;
// A safeguard only: the threshold schedule and the 2 % growth test end the
// cycles long before this (the sum of alpha^2 is bounded).
constexpr int kCycleGuard = 100000;

int nref() { return PARAM.I(param::kNref); }
bool random_start() { return CRIS.I(cris::kRandomStart) == 1; }
int enantiomorph() { return std::abs(PARAM.I(param::kEnan)); }

// The trial state of the refinement, as flat pointers into the work store
// (index r = rank, entry 0 unused).
struct Arrays {
    int32_t* phi;    // trial phases
    float* t;        // weights
    float* a2;       // alpha array
    int32_t* fixed;  // fixed marks
    int32_t* code;   // restriction codes
    int32_t* order;  // processing order (index = position)
    Arrays()
        : phi(&XDATA.w[xd::kKnownPhase - 2].i),
          t(&XDATA.w[xd::kWeight - 2].r),
          a2(&XDATA.w[xm::kAlphaObs - 2].r),
          fixed(&XDATA.w[xm::kFixedMark - 2].i),
          code(&XDATA.w[xd::kRestrict - 2].i),
          order(&XDATA.w[xd::kOrder - 2].i) {}
};

inline int sgn(int v) { return v < 0 ? -1 : 1; }

// Phase of a tangent sum in whole degrees 1..360, rounded half away from zero.
inline int tangent_phase(double ts, double tc) {
    const long v = std::lround(std::atan2(ts, tc) * kDeg);
    const int p = int((v + 3600) % 360);
    return p == 0 ? 360 : p;
}

inline int fold(int e) {
    e = std::abs(e) % 360;
    return std::min(e, 360 - e);
}

using Sums = TangentSums;

void sums_of(const Arrays& A, int h, bool random, Sums& s) {
    const TangentRelation* r = g_rel.rel.data() + g_rel.first[h];
    const TangentRelation* end = g_rel.rel.data() + g_rel.first[h + 1];
    for (; r != end; ++r) {
        // Every partner must carry a phase of some weight.
        const int k1 = std::abs(r->p1);
        float p = A.t[k1];
        if (std::fabs(p) < 0.1f) continue;
        int th = sgn(r->p1) * A.phi[k1] + r->shift15;
        if (r->p2 != 0) {
            const int k2 = std::abs(r->p2);
            const float t2 = A.t[k2];
            if (std::fabs(t2) < 0.1f) continue;
            p *= t2;
            th += sgn(r->p2) * A.phi[k2];
            if (r->p3 != 0) {
                const int k3 = std::abs(r->p3);
                const float t3 = A.t[k3];
                if (std::fabs(t3) < 0.1f) continue;
                p *= t3;
                th += sgn(r->p3) * A.phi[k3];
            }
        }
        th = (th + 36000) % 360;
        const double sn = tsin(th), cs = tcos(th);
        const float ap = std::fabs(p);
        if (!random) {
            const double ar = ap == 1.0f ? r->alpha1 : BESINV(r->bg * ap);
            s.ts += ar * sn;
            s.tc += ar * cs;
        } else {
            const double gp = double(r->gabs) * ap;
            s.ts += gp * sn;
            s.tc += gp * cs;
            const double gq = double(r->gabs) * BES(r->gabs * ap);
            s.qs += gq * sn;
            s.qc += gq * cs;
        }
        s.gs += r->gabs * sn;
        s.gc += r->gabs * cs;
        s.sb += r->sb;
        s.v += r->var;
        ++s.n;
    }
}

// Running figures of one cycle.
struct Cycle {
    int accepted = 0;
    double sum_a2 = 0, max_a2 = 0, sum_a = 0, sum_e = 0, sum_ae = 0;
};

// One cycle over the first K entries of the processing order.
void cycle(const Arrays& A, int K, int stage, double tau, int t, const int32_t* known, Cycle& c) {
    const bool random = random_start();
    const bool with_known = UREQ.I(ureqw::kKnown) != 0;
    const bool dump = CRIS.I(cris::kDumpSet) == t;
    const int n = nref();
    for (int k = 1; k <= K; ++k) {
        const int h = A.order[k];
        if (h <= 0 || h > n) continue;
        if (stage == 1 && A.fixed[h] != 0) continue;
        Sums s;
        sums_of(A, h, random, s);
        if (s.n == 0) continue;
        if (K == n) {
            float pmod = 0.0f, modulus = 0.0f;
            int count = 0;
            NEWPSI(t, h, s.gs, s.gc, s.ts, s.tc, s.qs, s.qc, pmod, count, modulus, float(tau));
        }
        project_restricted(A.code[h], s.ts, s.tc);
        project_restricted(A.code[h], s.gs, s.gc);
        if (random) project_restricted(A.code[h], s.qs, s.qc);
        if ((std::fabs(s.ts) < 1e-11 && std::fabs(s.tc) < 1e-11) ||
            (std::fabs(s.gs) < 1e-11 && std::fabs(s.gc) < 1e-11) || s.ts * s.ts + s.tc * s.tc < 1e-11)
            continue;
        if (random && ((std::fabs(s.qs) < 1e-11 && std::fabs(s.qc) < 1e-11) || s.qs * s.qs + s.qc * s.qc < 1e-11))
            continue;

        const double a2 = s.ts * s.ts + s.tc * s.tc;
        const int phi = tangent_phase(s.ts, s.tc);
        double w = 1.0;
        A.a2[h] = float(supported_alpha2(s, random, w));
        if (random) c.max_a2 = std::max(c.max_a2, a2);
        const double entry = A.a2[h];
        if (entry < tau) continue;
        if (!random) {
            A.t[h] = BES(float(std::sqrt(entry)));
        } else {
            A.t[h] = float(w);
            BUFFER.I(h) = 1;
        }
        A.phi[h] = phi;
        ++c.accepted;
        c.sum_a2 += entry;
        int err = 0;
        if (with_known) {
            const double a = std::sqrt(entry);
            err = fold(phi - known[h - 1]);
            c.sum_a += a;
            c.sum_e += err;
            c.sum_ae += a * err;
        }
        if (dump)
            lst("(' code,jcris =',2i5,' fasi ',3i5,6f9.2)",
                {h, s.n, err, phi, known[h - 1], std::sqrt(a2), std::hypot(s.gs, s.gc), std::fabs(s.sb),
                 std::sqrt(std::max(s.v, 0.0)), w, std::sqrt(entry)});
    }
}

void dump_order(int t) {
    const int n = std::min(CRIS.I(cris::kRandomSetSize), kPhaseArray);
    const Arrays A;
    std::vector<FItem> items;
    for (int i = 1; i <= n; ++i) {
        const int r = A.order[i];
        if (r < 1 || r > kPhaseArray) continue;
        items.insert(items.end(), {r, ")", SUP.I(sup::kKnownMode2 - 1 + r), A.phi[r], A.fixed[r]});
    }
    if (!items.empty()) lst("(6(i5,a1,3i4,2x))", items);
}

void print_start_weights() {
    const Arrays A;
    const int n = nref();
    std::vector<FItem> ph, wt;
    for (int r = 1; r <= n; ++r) {
        if (phase_code(r) == 0) continue;
        ph.push_back(A.phi[r]);
        wt.push_back(A.t[r]);
    }
    for (size_t i = 0; i < ph.size(); i += 20) {
        const size_t e = std::min(ph.size(), i + 20);
        lst("(41x,20i4)", std::vector<FItem>(ph.begin() + long(i), ph.begin() + long(e)));
        lst("(41x,20f4.2)", std::vector<FItem>(wt.begin() + long(i), wt.begin() + long(e)));
    }
}

// The trial lines the directives "all" and "tria" ask for.
void print_trial(int tria, int t, const float* figs) {
    const bool with_known = UREQ.I(ureqw::kKnown) != 0;
    if (CONST.I(konst::kAll) == 1) {
        lst_blank();
        if (with_known)
            lst("(4x,'trial no.',i5,3x,'error =',f7.2,' weighted error =',f7.2,' undetermined phases =',i4)",
                {t, figs[fig::kError - 1], figs[fig::kWError - 1], int(figs[fig::kUndet - 1])});
        else
            lst("(4x,'trial no.',i5,3x,' undetermined phases =',i4)", {t, int(figs[fig::kUndet - 1])});
        lst_blank(2);
    }
    if (tria != 1) return;
    const int count = CONST.I(konst::kTriaCount);
    bool listed = count == 0;
    for (int i = 0; i < count && i < kMaxTriaTrials; ++i)
        if (CONST.I(konst::kTriaList + i) == t) listed = true;
    if (!listed) return;
    lst("(1x,4('   code    h   k  l  phi alpha'))");
    const Arrays A;
    std::vector<FItem> items;
    for (int r = 1; r <= nref(); ++r) {
        int h = 0, k = 0, l = 0;
        UNPACC(packed_refl(r), h, k, l);
        items.insert(items.end(), {r, h, k, l, A.phi[r], A.a2[r]});
    }
    if (!items.empty()) lst("(4(i7,3i4,i5,f6.1))", items);
}

}  // namespace

const TangentRelations& tangent_relations() { return g_rel; }

double supported_alpha2(const TangentSums& s, bool random, double& w) {
    w = 1.0;
    const double a_obs = std::sqrt(s.gs * s.gs + s.gc * s.gc), a_exp = std::fabs(s.sb);
    if (!(s.n >= 5 && a_obs > a_exp && s.v > 0.0)) return s.ts * s.ts + s.tc * s.tc;
    const double d = (a_obs - a_exp) * (a_obs - a_exp) / s.v;
    if (!random) {
        w = std::max(std::pow(std::exp(-d), 1.0 / 3.0), 0.2);
        return (w * a_exp) * (w * a_exp);
    }
    if (std::sqrt(d) <= 1.0) return s.ts * s.ts + s.tc * s.tc;
    w = std::max(std::pow(std::exp(1.0 - std::sqrt(d)), 0.2), 0.001);
    const double q = w * std::sqrt(s.qs * s.qs + s.qc * s.qc);
    return q * q;
}

TangentSums tangent_sums(int h, bool random) {
    TangentSums s;
    if (h >= 1 && size_t(h) + 1 < g_rel.first.size()) sums_of(Arrays(), h, random, s);
    return s;
}

void prepare_tangent_relations() {
    const int n = nref();
    g_rel.first.assign(size_t(n) + 2, 0);
    g_rel.rel.clear();
    g_rel.rel.reserve(size_t(std::max(rel_ptr(n), 0)));
    for (int h = 1; h <= n; ++h) {
        g_rel.first[h] = int(g_rel.rel.size());
        for (int e = rel_ptr(h - 1) + 1; e <= rel_ptr(h); ++e) {
            float value = 0.0f;
            int shift = 0, nwords = 0;
            DEPACC(h, rel_index(e), value, shift, nwords);
            TangentRelation r{};
            r.p1 = depacc_slot(1);
            r.p2 = depacc_slot(2);
            r.p3 = depacc_slot(3);
            // A relation that names no other reflection, or one outside the
            // phasing set, has nothing to give.
            if (r.p1 == 0 || std::abs(r.p1) > n || std::abs(r.p2) > n || std::abs(r.p3) > n) continue;
            if (r.p2 == 0 && r.p3 != 0) std::swap(r.p2, r.p3);
            r.shift15 = 15 * shift;
            r.g = value;
            const float g = std::min(value, 6.0f);
            r.gabs = std::fabs(g);
            r.bg = std::fabs(BES(g));
            r.sb = r.gabs * BES(g);
            const float b = BES(r.gabs);
            // G^2 (2 - 2B/G - 2B^2) tends to 0 with G.
            r.var = r.gabs < 1e-6f ? 0.0f : float(double(g) * g * (2.0 - 2.0 * b / r.gabs - 2.0 * double(b) * b));
            r.alpha1 = BESINV(r.bg);
            g_rel.rel.push_back(r);
        }
    }
    g_rel.first[n + 1] = int(g_rel.rel.size());
    prepare_psizero_tables();
}

void WEITAN(int& tria, int& t, const int32_t* known, int& pass, int& onep, float& twop, float& s, int& nkeep,
            int& slot, int& evaluated, float& lowest, int& nenan) {
    if (g_rel.first.size() != size_t(nref()) + 2) prepare_tangent_relations();
    const Arrays A;
    const int n = nref();
    const bool random = random_start();
    const int e = enantiomorph();
    const bool dump = CRIS.I(cris::kDumpSet) == t;

    if (pass == 0) {
        for (int r = 1; r <= n; ++r) {
            A.fixed[r] = 0;
            A.a2[r] = 0.0f;
            BUFFER.I(r) = 0;
        }
        // The psi-zero sums of the weak reflections start from zero, so
        // that no trial inherits the phases of the one before.
        clear_psizero_sums(PSI0.I(psi0::kNzro));
        const int norig = std::min(ERL.I(erlw::kOriginPhases), 3);
        if (random) {
            for (int i = 1; i <= 3; ++i)
                if (start_slot(i) > 0) BUFFER.I(start_slot(i)) = 1;
            if (e > 0) BUFFER.I(e) = 1;
        }
        if (UREQ.I(ureqw::kKnown) != 0) {
            auto take_known = [&](int r) {
                if (r >= 1 && r <= n && known[r - 1] != 0) A.phi[r] = known[r - 1];
            };
            take_known(e);
            if (norig != 0)
                for (int i = 1; i <= 3 && start_slot(i) != 0; ++i) take_known(start_slot(i));
        }
        if (random) {
            if (norig != 0)
                for (int i = 1; i <= 3; ++i)
                    if (start_slot(i) > 0) A.fixed[start_slot(i)] = 1;
        } else {
            for (int i = 1; i <= class_last(2) && i <= kSlotCount; ++i)
                if (start_slot(i) > 0) A.fixed[start_slot(i)] = 1;
            for (int i = 16; i <= class_last(3) && i <= kSlotCount; ++i)
                if (start_slot(i) > 0) A.fixed[start_slot(i)] = 1;
        }
        if (e > 0) A.fixed[e] = 1;
        // Weights become t = I1/I0 of the alpha WEIPHA gave (a random start
        // gives its small weights as t already).
        for (int r = 1; r <= kPhaseArray; ++r) {
            const float w = A.t[r];
            if (w == 0.0f || (random && !(w > 1.0f))) continue;
            A.a2[r] = std::fabs(w);
            A.t[r] = (w < 0.0f ? -1.0f : 1.0f) * BES(std::fabs(w));
        }

        int K = std::min(n, 100);
        double tau = 25.0;
        if (random) {
            K = std::min(CRIS.I(cris::kRandomSetSize), n);
            tau = 100000.0;
        }
        if (dump) dump_order(t);
        if (CONST.I(konst::kAll) == 1) print_start_weights();

        int stage = 1, ncycle = 0;
        double prev = 0.0, sum = 0.0;
        while (ncycle < kCycleGuard) {
            ++ncycle;
            prev = sum;
            Cycle c;
            cycle(A, K, stage, tau, t, known, c);
            sum = c.sum_a2;
            if (K == n)
                for (int i = 1; i <= PSI0.I(psi0::kNzro); ++i) NEWPSI3(i);
            const double err = c.accepted > 0 ? c.sum_e / c.accepted : 0.0;
            const double werr = c.sum_a > 1e-4 ? c.sum_ae / c.sum_a : 0.0;
            if (dump) {
                lst_blank(2);
                lst("(' ncycl=',i4,' nnn=',i4,' alpham=',f8.3,' error=',f8.2,' w-error=',f8.2,' det.phases=',i4,"
                    "' max alfa=',f8.3)",
                    {ncycle, K, std::sqrt(tau), err, werr, c.accepted, std::sqrt(c.max_a2)});
            }
            if (random && ncycle == 1) tau = c.max_a2;
            tau = std::max(0.65 * tau, 0.05);
            if (stage == 1) {
                if (random && K < n && tau > 0.5) continue;
                if (tau > 1.5) continue;
                if (K < n) {
                    K = n;
                    for (int i = 1; i <= PSI0.I(psi0::kNzro); ++i) NEWPSI3(i);
                    if (random) {
                        for (int i = 1; i <= 3; ++i)
                            if (start_slot(i) > 0) A.fixed[start_slot(i)] = 0;
                        if (e > 0) A.fixed[e] = 0;
                        for (int r = 1; r <= n; ++r)
                            if (BUFFER.I(r) == 0) {
                                A.t[r] = 0.0f;
                                A.phi[r] = 0;
                            }
                    }
                    tau = 25.0;
                    continue;
                }
            }
            if (sum > 1e-4 && (sum - prev) / sum - 0.02 > 0.0) continue;
            if (stage == 2) break;
            for (int r = 1; r <= n; ++r)
                if (std::fabs(A.t[r]) >= 0.1f) A.fixed[r] = A.fixed[r] != 0 ? 2 : 1;
            stage = 2;
        }
    }

    // Closing: score the trial and hand it on.
    if (dump) {
        std::vector<FItem> items;
        for (int r = 1; r <= n; ++r) items.insert(items.end(), {r, ")", known[r - 1], A.phi[r], A.t[r], A.fixed[r]});
        if (!items.empty()) lst("(4(i5,a1,2i5,f8.2,i3,3x))", items);
    }
    float figs[8];
    for (int k = 0; k < 8; ++k) figs[k] = trial_figure(k + 1);
    ABSNEW(known, figs, t, s);
    for (int k = 0; k < 8; ++k) trial_figure(k + 1) = figs[k];
    FOMSP(n, t, PARAM.I(param::kTrials), onep, twop, s, SYM.I(symw::kCentric), nkeep, slot, evaluated, lowest, nenan);
    print_trial(tria, t, figs);
}

}  // namespace zanek
