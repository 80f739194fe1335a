// Psi-zero relations, expected alphas and the absolute figure of merit.
//
// A psi-zero relation ties a weak reflection w to two strong ones k, l with
// w = k + l: since |E(w)| is small, the sum over its relations of
// E(k)E(l)exp(i(phi_k + phi_l)) should be small too. The expected alpha of
// a strong reflection is what its relations would give with true phases;
// the absolute figure of merit compares the alphas a trial reaches with
// those expectations.
#include "phasing/psizero.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "jobcontrol/lists/listxx.h"
#include "jobcontrol/numeric.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/store/store.h"
#include "phasing/multisolution.h"
#include "phasing/phase_records.h"
#include "phasing/phasing_set.h"
#include "phasing/tangent.h"
#include "platform/listing.h"
#include "platform/stop.h"

namespace zanek {

namespace {

constexpr int kList9 = 9;
constexpr double kRad = 3.14159265358979323846 / 180.0;

int nref() { return PARAM.I(param::kNref); }
int nzro() { return PSI0.I(psi0::kNzro); }
float evalue(int r) { return e_mode2(r); }

// Fields of a relation word ((a+2048)*4096 + (b+2048))*32 + (c+1).
inline int field_a(int32_t w) { return w / 131072 - 2048; }
inline int field_b(int32_t w) { return (w % 131072) / 32 - 2048; }
inline int field_c(int32_t w) { return w % 32 - 1; }
inline int sgn(int v) { return v < 0 ? -1 : 1; }

// A psi-zero item's first word without the group marker (sign kept).
inline int32_t unmarked(int32_t w) { return w % psi0::kGroupMark; }

// Reads list 9 (items of two words at a stride of three); false when absent.
bool load_list9(std::vector<Word>& items, int& count, int& weak) {
    int serial = 0, first = -1, last = 0, part = 0, length = 0;
    SRLIN(kList9, serial, first, last, part, length);
    if (first < 0) return false;
    int stored = 0, c1 = 0, c2 = 0, c3 = 0, c4 = 0;
    SFLXX(-1, kList9, stored, c1, c2, c3, c4, nullptr, 0);
    items.assign(size_t(std::max(stored, 1)) * 3, Word{});
    SFLXX(0, kList9, stored, c1, c2, c3, c4, items.data(), int(items.size()));
    // Header word 10 is the number of items used; word 11 the weak reflections.
    count = std::min(c1, stored);
    weak = c2;
    return true;
}

// The weak reflections and items the tables have room for: a list beyond
// them cannot have been written by the invariants command.
void check_psi0_bounds(int count, int weak) {
    if (count < 0 || count > psi0::kMaxItems || weak < 0 || weak > psi0::kMaxWeak ||
        nref() + weak > kMaxStrongWeak)
        zstop(1111, "psi-zero list larger than the phasing tables (" + std::to_string(count) + " items, " +
                        std::to_string(weak) + " weak reflections)");
}

// The rank of the weak reflection a psi-zero item names (field a of its
// second word). The invariants command numbers the weak reflections after
// its nref strong rows, the weakest first; here they follow the phasing
// set in list-7 order, the weakest last. A weak reflection without
// relations opens no group, so the groups cannot be mapped by position.
// 0 when the row is not one of the weak reflections.
int weak_rank(int32_t second_word, int weak) {
    const int row = field_a(second_word) - nref();
    return row >= 1 && row <= weak ? nref() + weak + 1 - row : 0;
}

inline double sine(int deg) { return tsin(deg); }
inline double cosine(int deg) { return tcos(deg); }
inline int reduce(int deg) { return reduce360(deg); }
inline void project(int code, double& s, double& c) { project_restricted(code, s, c); }

// Decoded psi-zero tables for the refinement, rebuilt whenever NEWPSI1 has
// rebuilt the records: per weak reflection its two strong partners and
// shift, per strong reflection its weak partner, strong partner and shift
// as seen from it.
struct PsiTables {
    bool ready = false;
    std::vector<int> weak_first;        // weak i: entries weak_first[i]..weak_first[i+1]-1
    std::vector<int> weak_k2, weak_k3, weak_shift;
    std::vector<int> strong_first;      // rank h: entries strong_first[h]..strong_first[h+1]-1
    std::vector<int> strong_weak, strong_k, strong_shift;
};
PsiTables g_psi;

void build_psi_tables() {
    PsiTables& p = g_psi;
    const int n = nref(), nz = nzro();
    p.weak_first.assign(size_t(nz) + 2, 0);
    p.weak_k2.clear(); p.weak_k3.clear(); p.weak_shift.clear();
    p.strong_first.assign(size_t(n) + 2, 0);
    p.strong_weak.clear(); p.strong_k.clear(); p.strong_shift.clear();
    if (GIAN.I(gian::kSwitch) != 0 && nz > 0) {
        for (int i = 1; i <= nz; ++i) {
            p.weak_first[i] = int(p.weak_k2.size());
            const int rank = n + i;
            for (int e = GIAN.I(rank) + 1; e <= GIAN.I(rank + 1); ++e) {
                int shift = 0, len = 0, r1 = 0, r2 = 0, r3 = 0;
                DEPAC0(0, GIAN.I(gian::kEntries - 1 + e), shift, len, r1, r2, r3);
                if (std::abs(r2) < 1 || std::abs(r2) > n || std::abs(r3) < 1 || std::abs(r3) > n) continue;
                p.weak_k2.push_back(r2);
                p.weak_k3.push_back(r3);
                p.weak_shift.push_back(shift);
            }
        }
        p.weak_first[nz + 1] = int(p.weak_k2.size());
        for (int h = 1; h <= n; ++h) {
            p.strong_first[h] = int(p.strong_k.size());
            for (int e = GIAN.I(h) + 1; e <= GIAN.I(h + 1); ++e) {
                int shift = 0, len = 0, r1 = 0, r2 = 0, r3 = 0;
                DEPAC0(h, GIAN.I(gian::kEntries - 1 + e), shift, len, r1, r2, r3);
                const int i = std::abs(r1) - n, k = std::abs(r2);
                if (i < 1 || i > nz || k < 1 || k > n) continue;
                p.strong_weak.push_back(r1);
                p.strong_k.push_back(r2);
                p.strong_shift.push_back(shift);
            }
        }
        p.strong_first[n + 1] = int(p.strong_k.size());
    }
    p.ready = true;
}

inline float& z1(int i) { return GIAN.R(gian::kZ1 - 1 + i); }
inline int& z2(int i) { return GIAN.I(gian::kZ2 - 1 + i); }
inline float& z3(int i) { return GIAN.R(gian::kZ3 - 1 + i); }
inline float& z4(int i) { return GIAN.R(gian::kZ4 - 1 + i); }

// s' of the psi-zero and triplet terms: s in a centrosymmetric group, 2s otherwise.
inline float s_prime(float s) { return SYM.I(symw::kCentric) >= 1 ? s : 2.0f * s; }
inline float c_zero() { return SYM.I(symw::kCentric) >= 1 ? 0.798f : 0.886f; }

}  // namespace

void invalidate_psizero_tables() { g_psi.ready = false; }

void prepare_psizero_tables() { build_psi_tables(); }

// ---------------------------------------------------------------------------

void RIALFNEW(int centric, float s) {
    const bool centro = centric >= 1;
    const double sp = centro ? s : 2.0 * s;
    const double spp = centro ? double(s) * s : 2.0 * double(s) * s;
    const int n = nref();
    double total = 0.0;
    for (int j = 1; j <= n; ++j) {
        double A = 0.0, V = 0.0;
        for (int e = rel_ptr(j - 1) + 1; e <= rel_ptr(j); ++e) {
            float g = 0.0f;
            int shift = 0, nwords = 0;
            DEPACC(j, rel_index(e), g, shift, nwords);
            const int k = std::abs(depacc_slot(1)), l = std::abs(depacc_slot(2)), m = std::abs(depacc_slot(3));
            if (l == 0) continue;  // a single-partner relation tells nothing of alpha
            double a = 0.0, x = 0.0;
            const bool quartet = m != 0;
            if (!quartet) {
                a = sp * evalue(k) * evalue(l);
                x = a * evalue(j) * (g < 0.0f ? -1.0 : 1.0);
            } else {
                a = spp * evalue(k) * evalue(l) * evalue(m);
                x = g;
            }
            if (centro) {
                const double T = std::tanh(quartet ? x / 2.0 : x);
                A += a * T;
                V += a * a * (1.0 - T * T);
            } else {
                const double B = BES(float(x));
                // I1(x)/I0(x)/x tends to 1/2 as x tends to 0.
                const double Bx = std::fabs(x) < 1e-6 ? 0.5 : B / x;
                A += a * B;
                V += a * a * (1.0 - Bx - B * B);
            }
        }
        alpha_exp(j) = float(std::fabs(A));
        total += std::fabs(V);
        alpha_sigma(j) = float(std::sqrt(std::fabs(V)));
    }

    // The psi-zero list.
    PSI0.I(psi0::kItems) = 0;
    PSI0.I(psi0::kNzro) = 0;
    std::vector<Word> items;
    int count = 0, weak = 0;
    if (load_list9(items, count, weak)) {
        check_psi0_bounds(count, weak);
        PSI0.I(psi0::kItems) = count;
        PSI0.I(psi0::kNzro) = weak;
        if (count >= 1) {
            for (int i = 1; i <= count; ++i) PSI0.I(psi0::kFirstWord - 1 + i) = items[size_t(i - 1) * 3].i;
            for (int g = 1; g <= weak; ++g) {
                PSI0.R(psi0::kExpected - 1 + g) = 0.0f;
                PSI0.R(psi0::kRootSum - 1 + g) = 0.0f;
                PSI0.I(psi0::kWeakRank - 1 + g) = 0;
            }
            for (int g = 1; g <= weak + 1; ++g) PSI0.I(psi0::kGroupPtr - 1 + g) = count;
            // Group pointers: item 1 opens group 1, every marked item the next.
            int g = 1;
            PSI0.I(psi0::kGroupPtr) = 0;
            for (int i = 2; i <= count && weak > 0; ++i) {
                if (std::abs(PSI0.I(psi0::kFirstWord - 1 + i)) >= psi0::kGroupMark && g < weak) {
                    ++g;
                    PSI0.I(psi0::kGroupPtr - 1 + g) = i - 1;
                }
            }
            const float c0 = centro ? 0.798f : 0.886f;
            for (g = 1; g <= weak; ++g) {
                const int lo = PSI0.I(psi0::kGroupPtr - 1 + g) + 1, hi = PSI0.I(psi0::kGroupPtr + g);
                if (lo <= hi) PSI0.I(psi0::kWeakRank - 1 + g) = weak_rank(items[size_t(lo - 1) * 3 + 1].i, weak);
                double sum = 0.0;
                for (int i = lo; i <= hi; ++i) {
                    int32_t& w = PSI0.I(psi0::kFirstWord - 1 + i);
                    w = unmarked(w);
                    const int a = std::abs(field_a(w)), b = std::abs(field_b(w));
                    if (a < 1 || b < 1 || a > n || b > n) continue;
                    const double x = sp * evalue(a) * evalue(b);
                    sum += x * x;
                }
                total += sum;
                PSI0.R(psi0::kRootSum - 1 + g) = float(std::sqrt(sum));
                PSI0.R(psi0::kExpected - 1 + g) = float(c0 * std::sqrt(sum));
            }
        }
    }
    PARAM.R(param::kTotalVar) = float(total);
}

void NEWPSI1() {
    invalidate_psizero_tables();
    if (GIAN.I(gian::kSwitch) == 0) return;
    std::vector<Word> items;
    int count = 0, weak = 0;
    if (!load_list9(items, count, weak)) count = weak = 0;
    check_psi0_bounds(count, weak);
    const int n = nref();
    const int top = n + weak;
    // Records: item (u, v) at position k = 2i-1.
    for (int i = 1; i <= count; ++i) {
        const int32_t u = items[size_t(i - 1) * 3].i, v = items[size_t(i - 1) * 3 + 1].i;
        const int k = 2 * i - 1;
        GIAN.I(gian::kRecords - 1 + k) = (v / 32) * 32;
        GIAN.I(gian::kRecords + k) = ((u / 32) % 4096) * 131072 + 65536 + (v % 32);
    }
    // Per-rank counts, then pointers. A rank outside the phasing set and its
    // weak reflections cannot be indexed and is left out.
    std::vector<int> cnt(size_t(top) + 2, 0);
    auto ranks_of = [&](int k, int rr[3]) {
        int shift = 0, len = 0;
        DEPAC0(0, k, shift, len, rr[0], rr[1], rr[2]);
    };
    for (int i = 1; i <= count; ++i) {
        int rr[3];
        ranks_of(2 * i - 1, rr);
        for (int q : rr) {
            const int a = std::abs(q);
            if (a >= 1 && a <= top) ++cnt[a];
        }
    }
    GIAN.I(gian::kRankPtr) = 0;
    for (int r = 1; r <= top; ++r) GIAN.I(r + 1) = GIAN.I(r) + cnt[r];
    if (GIAN.I(top + 1) > gian::kRecords - gian::kEntries)
        zstop(1111, "psi-zero index larger than its table");
    std::vector<int> run(size_t(top) + 2, 0);
    for (int r = 1; r <= top; ++r) run[r] = GIAN.I(r);
    for (int i = 1; i <= count; ++i) {
        int rr[3];
        ranks_of(2 * i - 1, rr);
        for (int q : rr) {
            const int a = std::abs(q);
            if (a < 1 || a > top) continue;
            GIAN.I(gian::kEntries - 1 + ++run[a]) = 2 * i - 1;
        }
    }
    clear_psizero_sums(weak);
}

void clear_psizero_sums(int weak) {
    for (int i = 1; i <= std::min(weak, psi0::kMaxWeak); ++i) {
        z1(i) = 0.0f;
        z2(i) = 0;
        z3(i) = 0.0f;
        z4(i) = 0.0f;
    }
}

void NEWPSI3(int i) {
    if (!g_psi.ready) build_psi_tables();
    z1(i) = 0.0f;
    z2(i) = 0;
    z3(i) = 0.0f;
    z4(i) = 0.0f;
    if (i < 1 || size_t(i) + 1 >= g_psi.weak_first.size()) return;
    const float sp = s_prime(SYM.R(symw::kSigma3));
    double sa2 = 0.0, S = 0.0, C = 0.0;
    for (int e = g_psi.weak_first[i]; e < g_psi.weak_first[i + 1]; ++e) {
        const int r2 = g_psi.weak_k2[e], r3 = g_psi.weak_k3[e];
        const int k2 = std::abs(r2), k3 = std::abs(r3);
        const int p2 = trial_phase(k2), p3 = trial_phase(k3);
        if (p2 == 0 || p3 == 0) continue;
        const double a = double(evalue(k2)) * evalue(k3) * sp;
        sa2 += a * a;
        const int th = reduce(-sgn(r2) * p2 - sgn(r3) * p3 - 15 * g_psi.weak_shift[e]);
        S += a * sine(th);
        C += a * cosine(th);
    }
    if (sa2 > 0.001) {
        z4(i) = float(std::sqrt(sa2));
        z1(i) = float(std::sqrt(S * S + C * C));
        int ph = int(std::atan2(S, C) / kRad + 3600.0) % 360;
        z2(i) = ph == 0 ? 360 : ph;
        z3(i) = c_zero() * z4(i);
    }
}

void NEWPSI(int t, int h, double& gs, double& gc, double& ts, double& tc, double& qs, double& qc, float& pmod,
            int& count, float& modulus, float tau) {
    if (GIAN.I(gian::kSwitch) == 0) return;
    if (!g_psi.ready) build_psi_tables();
    count = 0;
    double ps = 0.0, pc = 0.0;
    if (h >= 1 && size_t(h) + 1 < g_psi.strong_first.size()) {
        const int n = nref();
        const float sp = s_prime(SYM.R(symw::kSigma3));
        for (int e = g_psi.strong_first[h]; e < g_psi.strong_first[h + 1]; ++e) {
            const int r1 = g_psi.strong_weak[e], r2 = g_psi.strong_k[e];
            const int i = std::abs(r1) - n, k = std::abs(r2);
            if (z2(i) == 0 || trial_phase(k) == 0) continue;
            if (!(z4(i) <= z1(i))) continue;
            const int th = reduce(sgn(r2) * trial_phase(k) + sgn(r1) * z2(i) + 15 * g_psi.strong_shift[e]);
            const double x = (z1(i) - z3(i)) / z4(i);
            const double w = double(evalue(h)) * evalue(k) * sp * BES(float(x));
            ++count;
            ps += w * sine(th);
            pc += w * cosine(th);
        }
    }
    const double p = std::sqrt(ps * ps + pc * pc);
    modulus = float(p);
    if (0.3 * std::sqrt(tau) <= p) {
        gs -= ps;
        ts -= ps;
        qs -= ps;
        gc -= pc;
        tc -= pc;
        qc -= pc;
        pmod = float(p);
    }
}

void DEPAC0(int h, int k, int& shift, int& len, int& r1, int& r2, int& r3) {
    const int32_t w1 = GIAN.I(gian::kRecords - 1 + k), w2 = GIAN.I(gian::kRecords + k);
    int32_t a = 0, b = 0, c = 0;
    UNPAK3(w1, a, b, c);
    int slot[3] = {a, b, 0};
    int32_t a2 = 0, b2 = 0, c2 = 0;
    UNPAK3(w2, a2, b2, c2);
    slot[2] = a2;
    shift = w2 % 32 - 1;
    len = 2;
    if (h != 0) {
        int at = -1;
        for (int s : {2, 1, 0})
            if (std::abs(slot[s]) == std::abs(h)) { at = s; break; }
        if (at < 0) {
            lst("(5x,'***** error in subroutine depac0 ******',i5,3x,4i5)", {h, slot[0], slot[1], slot[2], k});
            zstop(0);
        }
        const int s = slot[at] < 0 ? 1 : -1;
        int others[2], n = 0;
        for (int q = 0; q < 3; ++q)
            if (q != at) others[n++] = slot[q];
        slot[0] = others[0] * s;
        slot[1] = others[1] * s;
        shift *= s;
        if (shift < 0) shift += 24;
    }
    r1 = slot[0];
    r2 = slot[1];
    r3 = slot[2];
}

// ---------------------------------------------------------------------------

void ABSNEW(const int32_t* known, float* figs, int t, float s) {
    const int n = nref(), nz = nzro();
    const TangentRelations& rel = tangent_relations();
    const double sp = s_prime(s);
    const double sps = sp * s;
    const bool with_known = UREQ.I(ureqw::kKnown) > 0;
    double mabs = 0.0, undet = 0.0, error = 0.0, werror = 0.0;
    double sum_a = 0.0, sum_exp = 0.0, sum_aw = 0.0;
    int n1 = 0;
    std::vector<int> nrel(size_t(n) + 1, 0);
    for (int j = 1; j <= n; ++j) {
        float& tj = refl_weight(j);
        tj = std::fabs(tj);
        alpha_obs(j) = 0.0f;
        if (rel_ptr(j) == rel_ptr(j - 1)) {
            undet += 1.0;
            continue;
        }
        if (tj > 0.1f) {
            double S = 0.0, C = 0.0;
            for (int e = rel.first[j]; e < rel.first[j + 1]; ++e) {
                const TangentRelation& R = rel.rel[size_t(e)];
                const int k = R.p1, l = R.p2, m = R.p3;
                if (l == 0) continue;
                const int ka = std::abs(k), la = std::abs(l), ma = std::abs(m);
                if (!(refl_weight(ka) > 0.1f && refl_weight(la) > 0.1f)) continue;
                double a;
                int th = sgn(k) * trial_phase(ka) + sgn(l) * trial_phase(la) + R.shift15;
                if (m == 0) {
                    a = sp * evalue(ka) * evalue(la);
                } else {
                    if (!(refl_weight(ma) > 0.1f)) continue;
                    a = sps * evalue(ka) * evalue(la) * evalue(ma);
                    th += sgn(m) * trial_phase(ma);
                }
                th = reduce(th);
                S += a * sine(th);
                C += a * cosine(th);
            }
            project(restrict_code(j), S, C);
            if (std::fabs(S) < 1e-16) S = 0.0;
            if (std::fabs(C) < 1e-16) C = 0.0;
            alpha_obs(j) = float(std::sqrt(S * S + C * C));
        } else {
            undet += 1.0;
            trial_phase(j) = 0;
            tj = 0.0f;
        }
        ++n1;
        nrel[j] = rel_ptr(j) - rel_ptr(j - 1);
        sum_a += alpha_obs(j);
        if (tj > 0.1f) {
            sum_exp += alpha_exp(j);
            if (with_known) {
                sum_aw += alpha_obs(j);
                int e = std::abs(known[j - 1] - trial_phase(j)) % 360;
                e = std::min(e, 360 - e);
                error += e;
                werror += double(alpha_obs(j)) * e;
            }
        }
    }
    figs[fig::kMabs - 1] = 0.0f;
    figs[fig::kUndet - 1] = float(undet);
    figs[fig::kError - 1] = float(error);
    figs[fig::kWError - 1] = float(werror);
    if (undet >= n / 2) return;

    // Psi-zero groups.
    std::vector<double> pg(size_t(nz) + 1, 0.0);
    std::vector<int> cnt(size_t(nz) + 1, 0);
    int n2 = 0;
    for (int g = 1; g <= nz; ++g) {
        const int lo = PSI0.I(psi0::kGroupPtr - 1 + g) + 1, hi = PSI0.I(psi0::kGroupPtr + g);
        if (!(PSI0.R(psi0::kExpected - 1 + g) >= 1e-6f || PSI0.R(psi0::kRootSum - 1 + g) >= 1e-6f) || hi < lo ||
            PSI0.I(psi0::kWeakRank - 1 + g) == 0)
            continue;
        double S = 0.0, C = 0.0;
        for (int i = lo; i <= hi; ++i) {
            const int32_t w = unmarked(PSI0.I(psi0::kFirstWord - 1 + i));
            const int a = field_a(w), b = field_b(w);
            const int aa = std::abs(a), ba = std::abs(b);
            if (aa < 1 || ba < 1 || aa > n || ba > n) continue;
            if (trial_phase(aa) == 0 || trial_phase(ba) == 0) continue;
            const double x = sp * evalue(aa) * evalue(ba);
            const int th = reduce(sgn(a) * trial_phase(aa) + sgn(b) * trial_phase(ba) + 15 * field_c(w));
            S += x * sine(th);
            C += x * cosine(th);
        }
        project(restrict_code(PSI0.I(psi0::kWeakRank - 1 + g)), S, C);
        if (std::fabs(S) < 1e-16) S = 0.0;
        if (std::fabs(C) < 1e-16) C = 0.0;
        pg[g] = std::sqrt(S * S + C * C);
        ++n2;
        cnt[g] = hi - lo + 1;
    }

    mabs = sum_exp > 1e-4 ? sum_a / sum_exp : 0.0;
    std::vector<double> q(static_cast<size_t>(n) + 1, 0.0), u(size_t(nz) + 1, 0.0);
    double sum_q = 0.0, sum_e = 0.0, d1 = 0.0, zs1 = 0.0, zs2 = 0.0, zs3 = 0.0;
    for (int j = 1; j <= n; ++j) {
        if (nrel[j] == 0) continue;
        q[j] = alpha_obs(j) / double(nrel[j]);
        if (mabs > 1e-4) alpha_obs(j) = float(alpha_obs(j) / mabs);
        sum_q += q[j];
        sum_e += evalue(j);
        const double d = double(alpha_exp(j)) - alpha_obs(j);
        d1 += d * d;
        if (alpha_sigma(j) >= 1e-4f) {
            const double z = d / alpha_sigma(j);
            zs1 += std::fabs(z);
            zs2 += z * z;
            zs3 += std::fabs(z * z - 1.0);
        }
    }
    if (sum_aw > 1e-5) werror /= sum_aw;
    double sum_u = 0.0, d2 = 0.0, y1 = 0.0, y2 = 0.0, y3 = 0.0;
    for (int g = 1; g <= nz; ++g) {
        if (cnt[g] == 0) continue;
        u[g] = pg[g] / cnt[g];
        sum_u += u[g];
        sum_e += evalue(PSI0.I(psi0::kWeakRank - 1 + g));
        const double d = PSI0.R(psi0::kExpected - 1 + g) - pg[g];
        d2 += d * d;
        const double root = PSI0.R(psi0::kRootSum - 1 + g);
        if (root >= 1e-4) {
            const double z = d / root;
            y1 += std::fabs(z);
            y2 += z * z;
            y3 += std::fabs(z * z - 1.0);
        }
    }
    const double rho = mabs > 1e-4 ? 1.0 / mabs : 1.0;
    y1 *= rho;
    y2 *= rho;
    y3 *= rho;
    d2 *= rho;

    // Correlation between the observed alpha per relation and E.
    const int nn = n1 + n2;
    double qbar = 0.0, ebar = 0.0;
    if (nn > 0) {
        qbar = (sum_q + sum_u) / nn;
        ebar = sum_e / nn;
    }
    double sxy = 0.0, sxx = 0.0, syy = 0.0;
    for (int j = 1; j <= n; ++j) {
        if (nrel[j] == 0) continue;
        const double dx = q[j] - qbar, dy = evalue(j) - ebar;
        sxy += dx * dy;
        sxx += dx * dx;
        syy += dy * dy;
    }
    for (int g = 1; g <= nz; ++g) {
        if (cnt[g] == 0) continue;
        const double dx = u[g] - qbar, dy = evalue(PSI0.I(psi0::kWeakRank - 1 + g)) - ebar;
        sxy += dx * dy;
        sxx += dx * dx;
        syy += dy * dy;
    }
    FOM4.R(fom4::kRxy) = sxx * syy > 0.0 ? float(sxy / std::sqrt(sxx * syy)) : -9999.0f;

    const double vt = PARAM.R(param::kTotalVar);
    figs[fig::kMabs - 1] = float(mabs);
    figs[fig::kQ - 1] = float(vt > 1e-4 ? (d1 + d2) / vt : 1e-5);
    figs[fig::kZabs - 1] = float(nn > 0 ? (zs1 + y1) / nn : 0.0);
    figs[fig::kZ2 - 1] = float(nn > 0 ? (zs2 + y2) / nn : 0.0);
    figs[fig::kZ2m1 - 1] = float(nn > 0 ? (zs3 + y3) / nn : 0.0);
    figs[fig::kError - 1] = float(n1 > 0 ? error / n1 : 0.0);
    figs[fig::kWError - 1] = float(werror);
}

}  // namespace zanek
