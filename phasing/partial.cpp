// Phasing from a known partial structure.
//
// The fragment gives every phasing reflection a phase P and, through the
// two values a and b of its reflection record, a reliability eps = 2ab.
// The triplets combine the fragment phases of the partners into a second
// estimate; the two are weighed against each other, the most reliable
// reflections are fixed and the symbols are chosen among the rest.
#include "phasing/partial.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "jobcontrol/records/crystal.h"
#include "phasing/multisolution.h"
#include "phasing/phase_records.h"
#include "phasing/phasing_set.h"
#include "platform/listing.h"

namespace zanek {

namespace {

constexpr double kDeg = 180.0 / 3.14159265358979323846;

int nref() { return PARAM.I(param::kNref); }
float pa(int j) { return PARTIA.R(partia::kValueA + j); }
float pb(int j) { return PARTIA.R(partia::kValueB + j); }
int& pphase(int j) { return PARTIA.I(partia::kPhaseP + j); }
int& pknown(int j) { return PARTIA.I(partia::kKnown + j); }

// Rational approximation of the Bessel ratio I1/I0.
double Q(double x) { return std::min(1.0, (x + 0.4807) * x / ((x + 0.8636) * x + 1.3943)); }

inline int sgn(int v) { return v < 0 ? -1 : 1; }

// The partners of a relation of j with exactly two partners; false for a
// relation with one partner, or a quartet (three partners), which the
// partial-structure estimate does not use.
bool two_partners(int j, int e, int& k, int& l, int& shift, float& g) {
    int nwords = 0;
    DEPACC(j, rel_index(e), g, shift, nwords);
    k = depacc_slot(1);
    l = depacc_slot(2);
    const int n = nref();
    return k != 0 && l != 0 && depacc_slot(3) == 0 && std::abs(k) <= n && std::abs(l) <= n;
}

// Phase of a sum moved to the allowed values of a restricted reflection:
// psi in degrees, 0 when the sum is 0; the result in 1..360.
int allowed_phase(int j, double s, double c) {
    double psi = (s == 0.0 && c == 0.0) ? 0.0 : std::atan2(s, c) * kDeg;
    if (psi <= 0.0) psi += 360.0;
    const int r = bare_restriction(restrict_code(j));
    if (r > kRestrictGeneral) {
        const int p = 15 * (reduced_restriction(r) - 1);
        psi = tcos(reduce360(int(psi + 0.5) - p)) >= 0.0f ? p : p + 180;
    }
    const int phi = int(psi + 0.5);
    return phi == 0 ? 360 : phi;
}

// Modulus of a restricted reflection's sum along its allowed direction.
double restricted_modulus(int j, double s, double c, int phi) {
    const int r = bare_restriction(restrict_code(j));
    if (r <= kRestrictGeneral) return std::sqrt(s * s + c * c);
    const int p = 15 * (reduced_restriction(r) - 1);
    return std::sqrt(std::fabs(tcos(reduce360(phi - p))) * (s * s + c * c));
}

std::vector<int> order_list() {
    std::vector<int> v(static_cast<size_t>(nref()));
    for (int k = 1; k <= nref(); ++k) v[size_t(k) - 1] = proc_order(k);
    return v;
}
void set_order(const std::vector<int>& v) {
    for (size_t k = 0; k < v.size(); ++k) proc_order(int(k) + 1) = v[k];
}

// A3 by rank as a 0-based array of the sort keys.
std::vector<float> alpha3_keys() {
    std::vector<float> k(static_cast<size_t>(nref()));
    for (int j = 1; j <= nref(); ++j) k[size_t(j) - 1] = alpha3_est(j);
    return k;
}

void sort_order_by_alpha3() {
    std::vector<int> ord = order_list();
    const std::vector<float> keys = alpha3_keys();
    SORT3(keys.data(), ord.data(), nref());
    set_order(ord);
}

void print_errors(const std::vector<int>& phases, const std::vector<int>& known, const std::vector<float>& w) {
    const std::vector<int> ord = order_list();
    TSTP(phases.data(), known.data(), ord.data(), w.data(), nref());
}

void print_codes() {
    std::vector<FItem> items;
    for (int k = 1; k <= nref(); ++k) {
        const int r = proc_order(k);
        if (r < 1 || r > nref()) continue;
        items.insert(items.end(), {r, phase_code(r), restrict_code(r), alpha3_est(r)});
    }
    if (!items.empty()) lst("(5(i5,i8,i4,f7.1))", items);
}

}  // namespace

void SORT3(const float* key, int* index, int n) {
    if (n < 2) return;
    std::vector<float> c(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) c[size_t(k)] = key[index[k] - 1];
    int P = 4;
    while (P < n) P *= 2;
    int g = std::min(3 * P / 4 - 1, n);
    while (g > 1) {
        g /= 2;
        for (int i = g; i < n; ++i) {
            const float x = c[size_t(i)];
            const int ix = index[i];
            int j = i;
            while (j >= g && c[size_t(j - g)] < x) {
                c[size_t(j)] = c[size_t(j - g)];
                index[j] = index[j - g];
                j -= g;
            }
            c[size_t(j)] = x;
            index[j] = ix;
        }
    }
}

void TSTP(const int* phases, const int* known, const int* order, const float* weights, int n) {
    double se[5] = {}, se2[5] = {}, cnt[5] = {};
    for (int k = 1; k <= n; ++k) {
        const int r = order[k - 1];
        if (r < 1 || !(weights[r - 1] > 0.0f)) continue;
        int e = std::abs(phases[r - 1] - known[r - 1]);
        if (e > 180) e = 360 - e;
        const bool in[5] = {true, k <= 50, k <= 100, k >= n - 99, k >= n - 49};
        for (int c = 0; c < 5; ++c)
            if (in[c]) {
                se[c] += e;
                se2[c] += double(e) * e;
                cnt[c] += 1;
            }
    }
    std::vector<FItem> mean, rms, count;
    for (int c = 0; c < 5; ++c) {
        mean.push_back(cnt[c] >= 1 ? se[c] / cnt[c] : 0.0);
        rms.push_back(cnt[c] >= 1 ? std::sqrt(se2[c] / cnt[c]) : 0.0);
        count.push_back(cnt[c]);
    }
    lst_blank();
    lst_line(std::string(11, ' ') + "    all    f50   f100   l100    l50");
    lst_blank();
    lst("(' (err)    =',5f7.1)", mean);
    lst("(' (err**2) =',5f7.1)", rms);
    lst("(' no. refl.=',5f7.0)", count);
}

void XSIM(int&, int&, int&, int&, int*, int&) {
    const int n = nref();
    fill_tables();
    lst_blank(2);
    lst_line(std::string(45, ' ') + " partial structure procedure");
    lst_blank(2);
    std::vector<float> weight(static_cast<size_t>(n), 1.0f);
    for (int j = 1; j <= n; ++j) {
        proc_order(j) = j;
        alpha3_est(j) = 2.0f * pa(j) * pb(j);
        if (pphase(j) <= 0) pphase(j) += 360;
    }
    const bool test = UREQ.I(ureqw::kKnown) != 0;
    const double sigma = SYM.R(symw::kSigma3Prim);
    std::vector<int> known(static_cast<size_t>(n)), P(static_cast<size_t>(n));
    for (int j = 1; j <= n; ++j) P[size_t(j) - 1] = pphase(j);
    if (test) {
        for (int j = 1; j <= n; ++j) {
            pknown(j) = trial_phase(j) <= 0 ? trial_phase(j) + 360 : trial_phase(j);
            known[size_t(j) - 1] = pknown(j);
        }
        sort_order_by_alpha3();
        print_errors(P, known, weight);
        // Two diagnostic estimates from the true phases: with the fragment's
        // part of each partner removed, and the plain tangent sum.
        for (int pass = 1; pass <= 2; ++pass) {
            std::vector<int> est(static_cast<size_t>(n));
            for (int j = 1; j <= n; ++j) {
                double S = 0.0, C = 0.0;
                for (int e = rel_ptr(j - 1) + 1; e <= rel_ptr(j); ++e) {
                    int k = 0, l = 0, shift = 0;
                    float g = 0.0f;
                    if (!two_partners(j, e, k, l, shift, g)) continue;
                    const int ka = std::abs(k), la = std::abs(l);
                    const int fk = sgn(k) * known[size_t(ka) - 1], fl = sgn(l) * known[size_t(la) - 1];
                    const int pk = sgn(k) * pphase(ka), pl = sgn(l) * pphase(la);
                    const int c15 = 15 * shift;
                    if (pass == 1) {
                        const double ak = pa(ka), bk = pb(ka), al = pa(la), bl = pb(la);
                        const struct { double m; int th; } terms[4] = {{ak * al, fk + fl},
                                                                      {-bk * al, pk + fl},
                                                                      {-ak * bl, fk + pl},
                                                                      {bk * bl, pk + pl}};
                        for (const auto& t : terms) {
                            const int th = reduce360(t.th + c15);
                            S += t.m * tsin(th);
                            C += t.m * tcos(th);
                        }
                    } else {
                        const int th = reduce360(fk + fl + c15);
                        S += g * tsin(th);
                        C += g * tcos(th);
                    }
                }
                if (pass == 1) {
                    const double eps = 2.0 * pa(j) * pb(j);
                    S = S * sigma * pa(j) + eps * tsin(reduce360(pphase(j)));
                    C = C * sigma * pa(j) + eps * tcos(reduce360(pphase(j)));
                }
                const int phi = allowed_phase(j, S, C);
                est[size_t(j) - 1] = phi;
                alpha3_est(j) = float(restricted_modulus(j, S, C, phi));
            }
            sort_order_by_alpha3();
            print_errors(est, known, weight);
        }
    }

    // The estimate of every run.
    double sum_eps = 0.0, sum_alpha = 0.0;
    for (int j = 1; j <= n; ++j) {
        const double eps = 2.0 * pa(j) * pb(j);
        double S = eps * tsin(reduce360(pphase(j))), C = eps * tcos(reduce360(pphase(j)));
        double ts = 0.0, tc = 0.0;
        for (int e = rel_ptr(j - 1) + 1; e <= rel_ptr(j); ++e) {
            int k = 0, l = 0, shift = 0;
            float g = 0.0f;
            if (!two_partners(j, e, k, l, shift, g)) continue;
            const int ka = std::abs(k), la = std::abs(l);
            const double T = (pa(ka) - pb(ka)) * (pa(la) - pb(la)) * Q(1.4 * pa(ka) * pb(ka)) *
                             Q(1.4 * pa(la) * pb(la)) * sigma * pa(j);
            const int th = reduce360(15 * shift + sgn(k) * pphase(ka) + sgn(l) * pphase(la));
            S += T * tsin(th);
            C += T * tcos(th);
            ts += T * tsin(th);
            tc += T * tcos(th);
        }
        trial_phase(j) = allowed_phase(j, S, C);
        alpha3_est(j) = float(std::sqrt(ts * ts + tc * tc));
        sum_eps += eps;
        sum_alpha += alpha3_est(j);
    }
    // Scale between the fragment and the triplets. Without any triplet
    // estimate the fragment alone decides.
    const double r = sum_alpha > 0.0 ? sum_eps / sum_alpha : 0.0;
    PARTIA.R(partia::kScale) = float(r);
    for (int j = 1; j <= n; ++j) {
        const double eps = 2.0 * pa(j) * pb(j), a3 = alpha3_est(j);
        double v;
        if (sum_alpha <= 0.0)
            v = a3 + eps;
        else if (r <= 1.0)
            v = (r * a3 + eps) / 2.0;
        else
            v = (a3 + eps) / (1.0 / r + 1.0);
        alpha3_est(j) = float(v);
    }
    PARTIA.R(partia::kSumEps) = float(sum_eps);
    sort_order_by_alpha3();
    if (test) {
        std::vector<int> est(static_cast<size_t>(n));
        for (int j = 1; j <= n; ++j) est[size_t(j) - 1] = trial_phase(j);
        print_errors(est, known, weight);
    }
}

void XCON(int& nspec, int& ngen, int& nany, int&, int* origin, int&) {
    const int n = nref();
    // 1. Size and threshold of the starting set.
    auto reliable = [&](int K, float t) {
        int c = 0;
        for (int k = 1; k <= std::min(K, n); ++k)
            if (alpha3_est(proc_order(k)) >= t) ++c;
        return c;
    };
    int K = 15;
    float t = 4.0f;
    int cnt = reliable(K, t);
    while (cnt < 7 && K > 8) {
        if (K > 12) {
            K = 12;
            t = 3.0f;
        } else {
            K = 8;
            t = 2.5f;
        }
        cnt = reliable(K, t);
    }
    if (cnt < 7) {
        K = 4;
        t = 1.5f;
    }
    // 2. The reliable reflections keep a phase.
    int& fixed = PARTIA.I(partia::kStartSize);
    fixed = 0;
    for (int k = 1; k <= n; ++k) {
        const int r = proc_order(k);
        if (k > K || alpha3_est(r) < t)
            phase_code(r) = kCodeNoPhase;
        else
            ++fixed;
    }
    if (UREQ.I(ureqw::kPrint) > 1) print_codes();
    // 3. The fragment fixes the origin.
    ERL.I(erlw::kOriginPhases) = 0;
    for (int i = 0; i < 3; ++i) origin[i] = 0;
    // 4. Phase codes.
    for (int k = 1; k <= n; ++k) {
        const int r = proc_order(k);
        if (phase_code(r) != 0) continue;
        phase_code(r) = k > fixed ? kCodeNoPhase : 1000 * trial_phase(r) + kCodeFixed;
    }
    // 5. Does the starting set define the enantiomorph?
    if (SYM.I(symw::kCentric) != 1) {
        bool defined = false;
        for (int j = 1; j <= n && !defined; ++j) {
            if (phase_code(j) <= 0) continue;
            for (int e = rel_ptr(j - 1) + 1; e <= rel_ptr(j) && !defined; ++e) {
                int k = 0, l = 0, shift = 0;
                float g = 0.0f;
                if (!two_partners(j, e, k, l, shift, g)) continue;
                if (phase_code(std::abs(k)) <= 0 || phase_code(std::abs(l)) <= 0) continue;
                const int psi = reduce360(sgn(k) * pphase(std::abs(k)) + sgn(l) * pphase(std::abs(l)) + 15 * shift);
                defined = (psi >= 30 && psi <= 148) || (psi >= 210 && psi <= 328);
            }
        }
        if (!defined) {
            lst_blank(2);
            lst_line(std::string(53, ' ') + "* ** *** ** *");
            lst_line(std::string(26, ' ') + "the reflexions in the starting set will not define the enantiomorph");
            lst_blank(2);
        }
    }
    // 6. Symbols, spread over the eight parity classes.
    auto parity_class = [](int r) {
        int h = 0, k = 0, l = 0;
        UNPACC(packed_super(packed_refl(r)), h, k, l);
        return 4 * (std::abs(h) % 2) + 2 * (std::abs(k) % 2) + std::abs(l) % 2;
    };
    int count[8] = {};
    bool open[8];
    std::fill(open, open + 8, true);
    for (int r = 1; r <= n; ++r) {
        const int c = phase_code(r);
        if (c == kCodeSymbol || c % 1000 > 100) ++count[parity_class(r)];
    }
    std::vector<char> passed(size_t(n) + 1, 0);
    bool done = false;
    while (!done) {
        int m = -1;
        for (int c = 0; c < 8; ++c)
            if (open[c] && (m < 0 || count[c] < m)) m = count[c];
        if (m < 0) break;
        std::fill(passed.begin(), passed.end(), 0);
        bool taken = false;
        for (;;) {
            int best = 0;
            for (int r = 1; r <= n; ++r)
                if (phase_code(r) < -10 && !passed[size_t(r)] && (best == 0 || sqrt_sum(r) > sqrt_sum(best))) best = r;
            if (best == 0) break;
            const int cls = parity_class(best);
            if (count[cls] > m) {
                passed[size_t(best)] = 1;
                continue;
            }
            const bool general = bare_restriction(restrict_code(best)) <= kRestrictGeneral;
            int* pool = nullptr;
            if (general)
                pool = ngen > 0 ? &ngen : nany > 0 ? &nany : nullptr;
            else
                pool = nspec > 0 ? &nspec : nany > 0 ? &nany : nullptr;
            if (pool != nullptr) {
                --*pool;
                phase_code(best) = kCodeSymbol;
                ++count[cls];
                taken = true;
                break;
            }
            if (nany == 0 && nspec == 0 && ngen == 0) {
                done = true;
                break;
            }
            passed[size_t(best)] = 1;
        }
        if (done) break;
        if (!taken) {
            // No candidate was left in this round: close the emptiest classes,
            // or end when there is no candidate at all.
            bool any = false;
            for (int r = 1; r <= n; ++r)
                if (phase_code(r) < -10) any = true;
            if (!any) break;
            for (int c = 0; c < 8; ++c)
                if (open[c] && count[c] <= m) open[c] = false;
        }
    }
    // 7. The new processing order.
    std::vector<int> old = order_list(), now;
    for (int want : {100, 200})
        for (int r : old)
            if (r >= 1 && r <= n && phase_code(r) > 0 && phase_code(r) % 1000 == want) now.push_back(r);
    for (int r : old)
        if (r >= 1 && r <= n && phase_code(r) == kCodeSymbol) now.push_back(r);
    SUP.I(sup::kStartSize) = int(now.size());
    fixed = int(now.size());
    for (int r : old)
        if (r >= 1 && r <= n && phase_code(r) == kCodeNoPhase) now.push_back(r);
    for (int r : old)
        if (r >= 1 && r <= n && std::find(now.begin(), now.end(), r) == now.end()) now.push_back(r);
    set_order(now);
    if (UREQ.I(ureqw::kPrint) > 1) {
        print_codes();
        UREQ.I(ureqw::kPrint) = 0;
    }
}

}  // namespace zanek
