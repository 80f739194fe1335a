// The multisolution driver.
//
// The trials are the values of a counter whose digits live in the data:
// the magic-integer variable x (fastest: every general symbol i takes the
// phase m_i x, the magic integers m_i spreading the symbols' phases evenly
// over their space with few trials), then each two-valued symbol (first or
// second allowed phase), then the permutable reflections (a phase or its
// enantiomorphic value). A random start draws the symbols' phases instead.
#include "phasing/multisolution.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "jobcontrol/lists/list01.h"
#include "jobcontrol/lists/list03.h"
#include "jobcontrol/lists/list07.h"
#include "jobcontrol/lists/list16.h"
#include "jobcontrol/lists/listxx.h"
#include "jobcontrol/numeric.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/normal.h"
#include "jobcontrol/records/scatter.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/store.h"
#include "phasing/final_table.h"
#include "phasing/fom.h"
#include "phasing/phasing_set.h"
#include "phasing/psizero.h"
#include "phasing/random.h"
#include "phasing/tangent.h"
#include "platform/listing.h"

namespace zanek {

namespace {

constexpr double kPi = 3.14159265358979323846;

int nref() { return PARAM.I(param::kNref); }
bool random_start() { return CRIS.I(cris::kRandomStart) == 1; }

inline int& magic(int k) { return MAG.I(mag::kMagic - 1 + k); }      // m(k), k = 1..n
inline int& fibonacci(int k) { return MAG.I(mag::kFibonacci - 1 + k); } // f(k), k = 1..n-1

// True until the first trial of a sequence has been made.
bool g_fresh_sequence = false;

// Phase 0 means "no phase": a phase of 0 degrees is written 360.
inline int as_phase(int p) { return p == 0 ? 360 : p; }

void print_int_rows(const std::string& fmt, const std::vector<int>& v, size_t per_line) {
    for (size_t i = 0; i < v.size(); i += per_line) {
        std::vector<FItem> items;
        for (size_t j = i; j < std::min(v.size(), i + per_line); ++j) items.push_back(v[j]);
        lst(fmt, items);
    }
}

// The debugging dumps of print level 2.
void dump_setup(int nrel) {
    const int n = nref();
    lst("(' nant=',4i6)", {PARAM.I(param::kEnan), PARAM.I(param::kEnanCand), PARAM.I(param::kEnanCand + 1),
                           PARAM.I(param::kEnanCand + 2)});
    lst("(' nrel=',i8)", {nrel});
    std::vector<int> order, codes;
    for (int i = 1; i <= n; ++i) order.push_back(proc_order(i));
    for (int r = 1; r <= n; ++r) codes.push_back(phase_code(r));
    lst_line("  contenuto  vettore  iorde  ");
    print_int_rows("(20i6)", order, 20);
    lst_line("  contenuto  vettore  iz     ");
    print_int_rows("(10i12)", codes, 10);
    std::vector<FItem> items;
    for (int r = 1; r <= n; ++r) items.insert(items.end(), {r, preset_phase(r), refl_weight(r)});
    if (!items.empty()) lst("(4(i6,2f10.2))", items);
    items.clear();
    for (int r = 1; r <= n; ++r) {
        int h = 0, k = 0, l = 0;
        UNPACC(packed_refl(r), h, k, l);
        items.insert(items.end(), {r, ")", h, k, l, restrict_code(r), "*", SUP.I(sup::kKnownMode2 - 1 + r),
                                   e_mode2(r)});
    }
    if (!items.empty()) lst("(3(i5,a1,3i4,i4,a1,i4,f6.2,3x))", items);
}

// The random phases of the symbols of a random start.
void draw_random_phases(int32_t& seed) {
    for (int s = 4; s <= kSlotCount; ++s) {
        const int j = start_slot(s);
        if (j == 0) break;
        float u = 0.0f;
        URAND(seed, u);
        int phi = int(std::lround(360.0 * u));
        const int r = bare_restriction(restrict_code(j));
        if (r != kRestrictGeneral) {
            const int p = 15 * (reduced_restriction(r) - 1);
            auto dist = [](int a, int b) {
                const int d = std::abs(a - b) % 360;
                return std::min(d, 360 - d);
            };
            phi = dist(phi, p) < dist(phi, p + 180) ? p : p + 180;
        }
        trial_phase(j) = as_phase(phi % 360);
    }
}

// Set-up steps 1 to 12 of the run; returns the number of trials.
struct Setup {
    int trials = 0;
    int nsymb = 0;          // general symbols (the weight table's index)
    std::vector<int> start; // the starting-set list, for "all"
    float x = 0.0f, dx = 0.0f;
};

}  // namespace

void fill_tables() {
    for (int i = 0; i < 450; ++i) TABLES.R(i + 1) = float(std::sin(i * kPi / 180.0));
}

float GAMFU(int n) {
    double g = (n % 2 == 1) ? double(float(std::sqrt(kPi))) : 1.0;  // MAG w1
    if (n > 2) {
        if (n % 2 == 1)
            for (int i = 0; i < (n - 1) / 2; ++i) g *= 0.5 + i;
        else
            for (int i = 1; i <= n / 2 - 1; ++i) g *= i;
    }
    return float(g);
}

void MAGIC(int& N) {
    const int n = N;
    if (n <= 1) {
        magic(1) = 1;
        N = 4;
        MAG.R(mag::kDx) = 90.0f;
    } else {
        int fsum = 0;
        for (int i = 1; i <= n - 1; ++i) {
            fibonacci(i) = i <= 2 ? 1 : fibonacci(i - 1) + fibonacci(i - 2);
            fsum += fibonacci(i);
        }
        magic(1) = 2 * (1 + fsum) - 1;
        for (int k = 1; k <= n - 1; ++k) magic(k + 1) = magic(k) - fibonacci(k);
        double S = 0.0;
        for (int k = 1; k <= n; ++k) S += double(magic(k)) * magic(k);
        const double lg = std::log(double(GAMFU(n + 1)));
        const double v = (2.0 / std::sqrt(kPi)) * std::exp((lg - 0.5 * n * std::log(S)) / (n - 1));
        N = int(1.0 / v) + 1;
        if (N % 2 == 1) ++N;
        MAG.R(mag::kDx) = 360.0f / float(N);
    }
    if (UREQ.I(ureqw::kPrint) != 0) {
        lst_blank();
        lst("(3x,'sequence of',i3,'  m. i. (no. of intervals =',i5,' dx =',f8.4,' )')", {n, N, MAG.R(mag::kDx)});
        std::vector<int> m;
        for (int k = std::max(n, 1); k >= 1; --k) m.push_back(magic(k));
        print_int_rows("(5x,15i7)", m, 15);
    }
}

void start_trial_sequence() { g_fresh_sequence = true; }

void WEIPHA(int& more, float& x, float dx, int nsymb, const std::array<float, 12>& weights) {
    const int n = nref();
    const bool random = random_start();
    const int centric = SYM.I(symw::kCentric);
    const int e = std::abs(PARAM.I(param::kEnan));
    for (;;) {
        more = 0;
        if (PARAM.I(param::kPolar) != 1) {
            x -= dx;
            if (x > -720.1f)
                more = 1;
            else
                x += 360.0f;
        }
        for (int j = 1; j <= n; ++j) {
            int& c = phase_code(j);
            float& w = refl_weight(j);
            int& phi = trial_phase(j);
            if (c == 0) {
                w = 0.0f;
                phi = 0;
            } else if (c > 0) {
                const int p = c % 1000;
                w = p >= 100 ? 100.0f : p == 0 ? 0.0f : BESINV(float(p) / 100.0f);
                phi = as_phase((c / 1000) % 360);
            } else if (bare_restriction(restrict_code(j)) != kRestrictGeneral) {
                if (more == 0) {
                    const int next = c - kCodePermStep;
                    if (next <= -720000) {
                        c = next + 360000;
                    } else {
                        c = next;
                        more = 1;
                    }
                }
                w = random ? 0.8f : 100.0f;
                phi = as_phase((std::abs(c) / 1000) % 360);
            } else {
                w = random ? 0.25f : weights[size_t(std::clamp(nsymb, 1, 12) - 1)];
                const float cx = float(c) * x;
                phi = as_phase(int(std::fmod(cx, 360.0f) + 0.5f));
            }
        }
        // The enantiomorph reflection keeps to its half-circle.
        if (centric == 0 && !random && more == 1 && e > 0) {
            float& w = refl_weight(e);
            if (w == 0.0f) w = bare_restriction(restrict_code(e)) == kRestrictGeneral ? 5.5f : 100.0f;
            const int p = reduce360(trial_phase(e));
            const bool ok = PARAM.I(param::kEnan) > 0 ? tsin(p) > 0.0f : tcos(p) > 0.0f;
            if (!ok) continue;
        }
        break;
    }

    // Without symbols nothing steps the counter at the first trial: that
    // trial is the starting set as it stands, the permutations follow.
    const bool first = g_fresh_sequence;
    g_fresh_sequence = false;
    if (more == 0 && first) {
        more = 1;
    } else if (more == 0 && centric != 1) {
        // The permutation counter: its digits are the signed ranks of
        // PARAM w(s+1)..w5.
        const int s = centric + 2;
        for (int d = s + 1; d <= 5; ++d) {
            const int digit = PARAM.I(d);
            if (digit == 0) break;
            if (digit < 0) continue;
            for (int q = s + 1; q <= d; ++q) {
                PARAM.I(q) = -PARAM.I(q);
                const int r = std::abs(PARAM.I(q));
                if (r < 1 || r > n) continue;
                int& c = phase_code(r);
                c = 360000 - c;
                trial_phase(r) = (std::abs(c) / 1000) % 360;
            }
            more = 1;
            break;
        }
    }

    if (CONST.I(konst::kAll) != 0) {
        std::vector<int> phases;
        for (int j = 1; j <= n; ++j)
            if (phase_code(j) != 0) phases.push_back(trial_phase(j));
        print_int_rows("(41x,20i4)", phases, 20);
    }
}

void TANGEN(int& pass_through, int& nrel, int& onep, float& twop, int& tria, int& test, int& unused, int& seed,
            float& minf, int& nkeep, int& status, const std::array<float, 12>& weights) {
    const bool random = random_start();
    // 1. Slot table, sine table, constants.
    class_last(1) = 0;
    class_last(2) = 3;
    class_last(3) = random ? 496 : 15;
    for (int s = 1; s <= kSlotCount; ++s) start_slot(s) = 0;
    fill_tables();
    MAG.R(mag::kSqrtPi) = float(std::sqrt(kPi));
    MAG.R(mag::kTwoOverSqrtPi) = float(2.0 / std::sqrt(kPi));
    float s = SYM.R(symw::kSigma3);

    // 2. Heading.
    lst_blank(3);
    lst_line(" " + std::string(120, '+'));
    lst_blank(2);
    lst_line(std::string(42, ' ') + "***   tangent formula section   ***");

    // 3. Sizes of the phasing set, weak reflections and seed.
    {
        int serial = 0, first = -1, last = 0, part = 0, length = 0;
        SRLIN(8, serial, first, last, part, length);
        if (first > 0) {
            int count = 0, c1 = 0, c2 = 0, c3 = 0, c4 = 0;
            SFLXX(-1, 8, count, c1, c2, c3, c4, nullptr, 0);
            PARAM.I(param::kNref) = c2;
            SUP.I(sup::kTriplets) = c1;
        }
        int n7 = 0, nr = 0, nz = 0, ipseudo = 0, x = 0;
        YSFL07(n7, nr, nz, ipseudo, x);
        PARAM.I(param::kReflCount) = n7;
        PSI0.I(psi0::kNzro) = nz;
        CPSEUD.I(cpseud::kClass) = ipseudo;
        seed = x;
    }
    // sigma3/sigma2^1.5 as the reflection list holds it: s^2 is the
    // reciprocal of the number of equal atoms in the primitive cell.
    s = SYM.R(symw::kSigma3);
    if (s > 0.0f) sf::heavy_atoms() = int(1.0f / (s * s) + 0.05f);
    // 4. The strong and weak reflections, expected alphas, psi-zero list.
    REFSTO(2);
    RIALFNEW(SYM.I(symw::kCentric), s);
    UREQ.I(ureqw::kPartial) = 0;
    prepare_tangent_relations();
    const int n = nref();
    if (UREQ.I(ureqw::kPrint) == 2) dump_setup(nrel);

    // 6. Classes of the preset phases: 1 origin, 2 symbols, 3 other phases
    // fixed before the trials.
    const int limit[4] = {0, 3, random ? 496 : 15, kSlotCount};
    for (int j = 1; j <= n; ++j) {
        const float v = preset_phase(j);
        if (v == 0.0f) continue;
        const int c = v < 0.0f ? 2 : refl_weight(j) < 0.0f ? 3 : 1;
        if (class_last(c) < limit[c]) start_slot(++class_last(c)) = j;
        if (c != 2) trial_phase(j) = int(v);
    }
    CRIS.I(cris::kRandomSetSize) =
        CRIS.I(cris::kRandomCount) + ERL.I(erlw::kOriginPhases) + (PARAM.I(param::kEnan) != 0 ? 1 : 0);
    if (UREQ.I(ureqw::kPrint) == 2) {
        lst("('  icont =',3i6)", {class_last(1), class_last(2), class_last(3)});
        lst("(' nsymb =',i6)", {class_last(2) - 3});
    }

    // 8. Symbols and binary digits of the counter.
    Setup S;
    PARAM.I(param::kPolar) = 0;
    int kbits = 0, first_two = 0;
    const int e = std::abs(PARAM.I(param::kEnan));
    for (int j = 1; j <= n; ++j) {
        int& c = phase_code(j);
        if (c == kCodeSymbol) {
            const int r = bare_restriction(restrict_code(j));
            if (r == kRestrictGeneral) {
                PARAM.I(param::kPolar) += 1;
            } else {
                c = kCodeTwoValued - kCodeTwoValuedStep * reduced_restriction(r);
                ++kbits;
                if (first_two == 0) first_two = j;
            }
            S.start.push_back(j);
        } else if (c >= 0) {
            if (j == e && c % 1000 > 100) ++kbits;
            S.start.push_back(j);
        } else {
            c = 0;
        }
    }
    if (PARAM.I(param::kEnanCand) > 0) ++kbits;
    if (PARAM.I(param::kEnanCand + 1) > 0) ++kbits;
    kbits = std::min(kbits, 20);

    // 9. Number of trials.
    S.nsymb = PARAM.I(param::kPolar);
    long trials = 0;
    if (random) {
        PARAM.I(param::kPolar) = CRIS.I(cris::kMaxTrials);
        trials = CRIS.I(cris::kMaxTrials);
    } else {
        if (S.nsymb == 0) {
            if (first_two > 0) phase_code(first_two) += kCodePermStep;
            PARAM.I(param::kPolar) = 1;
            trials = 1L << kbits;
        } else {
            int N = std::min(S.nsymb, kMaxSymbols);
            MAGIC(N);
            PARAM.I(param::kPolar) = N;
            int used = 0;
            if (e > 0 && phase_code(e) == kCodeSymbol && bare_restriction(restrict_code(e)) == kRestrictGeneral) {
                phase_code(e) = -magic(1);
                used = 1;
            }
            if (N != 4)
                for (int j = 1; j <= n; ++j)
                    if (phase_code(j) == kCodeSymbol && used < std::min(S.nsymb, kMaxSymbols))
                        phase_code(j) = -magic(++used);
            SUP.I(sup::kTripCount) = used;
            trials = (1L << kbits) * N;
        }
        if (PARAM.I(param::kEnan) != 0) {
            if (SYM.I(symw::kCentric) == 0) trials /= 2;
            if (e > 0 && bare_restriction(restrict_code(e)) == kRestrictGeneral && phase_code(e) < 0)
                PARAM.I(param::kPolar) /= 2;
        }
    }
    trials = std::min(trials, 1000000000L);
    PARAM.I(param::kTrials) = int(trials);

    // 10. Counters and the announcement.
    UREQ1.I(ureq1::kSetsStored) = 0;
    UREQ1.I(ureq1::kEquivRejected) = 0;
    UREQ1.I(ureq1::kFinalPass) = 0;
    FOM4.I(fom4::kZeroRejects) = 0;
    int evaluated = 0;
    // No figure yet: a run in which no trial is scored is seen as such by
    // the final table, whatever an earlier %phase left.
    for (int k = 1; k <= track::kCount; ++k) {
        track_max(k) = -1e20f;
        track_min(k) = 1e20f;
    }
    if (!random) {
        lst("('     the total number of permutations is',i8)", {int(trials)});
    } else {
        lst("('          the number of random phases is',i8)", {CRIS.I(cris::kRandomCount)});
        lst("('      the total number of trials will be',i8)", {PARAM.I(param::kTrials)});
    }

    // 11. Sets to keep and list 16.
    if (nkeep == kMaxKeptSets) nkeep = int(trials);
    // The reload brings back the symmetry list's own centric flag and
    // origin-phase count; the refinement reads those the convergence and
    // divergence stages left (no origin phase, for one, when a fragment
    // fixes the origin).
    const int centric = SYM.I(symw::kCentric), norigin = ERL.I(erlw::kOriginPhases);
    YFL01();
    YFL02();
    YFL03();
    SYM.I(symw::kCentric) = centric;
    ERL.I(erlw::kOriginPhases) = norigin;
    if (test == 0) seed = list7::kDefaultSeed;
    trial_figure(fig::kLatestCfom) = -0.1f;
    nkeep = std::max(0, std::min({nkeep, int(std::min(trials, 300L)), kMaxKeptSets}));
    lst("(' the maximum number of sets stored will be ',i4)", {nkeep});
    const int known_flag = UREQ.I(ureqw::kKnown) != 0 ? 1 : 0;
    NFRM16(nkeep + 2 * known_flag * (MAG.I(mag::kLas) != 0 ? 1 : 0));
    XLIMI.I(xlimi::kNextFree) = XLIMI.I(xlimi::kListBase);
    {
        std::vector<float> a(kSetSlots);
        std::vector<int32_t> b(kSetSlots);
        int count = 0;
        SFL16(a.data(), b.data(), count, kSetSlots);
    }

    // 12. The magic-integer variable. A random start keeps x at 0.
    S.dx = random ? 0.0f : MAG.R(mag::kDx);
    S.x = 0.0f;
    if (!random && PARAM.I(param::kPolar) != 1) {
        if (CONST.I(konst::kAll) == 1)
            lst("(' the number of magic integer permutations is',i6)", {PARAM.I(param::kPolar)});
        S.x = S.dx / 2.0f - 360.0f;
        if (PARAM.I(param::kEnan) < 0) S.x -= 90.0f;
        while (S.x <= -360.1f) S.x += S.dx;
    }

    // The trials.
    start_trial_sequence();
    int slot = 0, nenan = 0;
    float lowest = 0.0f;
    int32_t* known = &SUP.I(sup::kKnownMode2);
    int pass = 0;
    int t = 1;
    while (trial_figure(fig::kLatestCfom) <= minf) {
        for (int j = 1; j <= n; ++j) trial_phase(j) = 0;
        if (CONST.I(konst::kAll) == 1 && t <= trials) {
            lst("(' trial no.',i6)", {t});
            lst_line(" starting set phases");
            print_int_rows("(41x,20i4)", S.start, 20);
        }
        int more = 0;
        WEIPHA(more, S.x, S.dx, S.nsymb, weights);
        if (random) {
            // A random start makes exactly its number of trials, whatever
            // the counter of the symbols says.
            CRIS.I(cris::kMaxTrials) -= 1;
            more = CRIS.I(cris::kMaxTrials) < 0 ? 0 : 1;
            if (more == 1) draw_random_phases(seed);
            SPB07(seed);
        }
        if (more == 0 && !(t == 1 && class_last(2) == 3)) break;
        WEITAN(tria, t, known, pass, onep, twop, s, nkeep, slot, evaluated, lowest, nenan);
        ++t;
    }
    if (trial_figure(fig::kLatestCfom) > minf) {
        lst_blank(2);
        lst("(' a set with  cfom greater than',f6.3,' has been found.')", {minf});
        lst_blank(2);
        lst_line(" the multisolution procedure has been stopped.");
        lst_blank(2);
        if (t <= nkeep) nkeep = t - 1 - UREQ1.I(ureq1::kEquivRejected);
    }

    // Closing.
    nkeep = std::min({UREQ1.I(ureq1::kSetsStored), nkeep, t - 1 - UREQ1.I(ureq1::kEquivRejected)});
    UREQ1.I(ureq1::kFinalPass) = 1;
    if (UREQ.I(ureqw::kKnown) != 0 && UREQ.I(ureqw::kPartial) == 0) {
        for (int p = 0; p < 2; ++p) {
            for (int j = 1; j <= n; ++j) {
                if (known[j - 1] == 0) known[j - 1] = 360;
                refl_weight(j) = p == 0 ? 100.0f : 1.0f;
                if (rel_ptr(j - 1) + 1 > rel_ptr(j)) refl_weight(j) = 0.0f;
                trial_phase(j) = known[j - 1];
            }
            if (p == 0) {
                nkeep += 2;
                pass = 0;
            } else {
                ++t;
                pass = 1;
                UREQ1.I(ureq1::kFinalPass) = 1;
            }
            WEITAN(tria, t, known, pass, onep, twop, s, nkeep, slot, evaluated, lowest, nenan);
        }
    }
    if (UREQ.I(ureqw::kKnown) == 1 && UREQ.I(ureqw::kPartial) == 0) {
        evaluated -= 2;
        nkeep -= 2;
    }
    nkeep = std::min(UREQ1.I(ureq1::kSetsStored), nkeep);
    int nlist = std::max(0, std::min(evaluated, nkeep));
    if (FOM4.I(fom4::kZeroRejects) != 0)
        lst("(7x,'the number of sets rejected with cfom=0.0 is ',i6)", {FOM4.I(fom4::kZeroRejects)});
    if (UREQ1.I(ureq1::kEquivRejected) != 0)
        lst("(10x,'the number of equivalent sets rejected is ',i6)", {UREQ1.I(ureq1::kEquivRejected)});
    std::vector<float> a(kSetSlots);
    PRTFOM(nlist, nenan, a.data(), n, status);
}

}  // namespace zanek
