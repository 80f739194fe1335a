#include "phasing/convergence.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "jobcontrol/history.h"
#include "jobcontrol/numeric.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/phaseset.h"
#include "phasing/divergence.h"
#include "phasing/origin.h"
#include "phasing/partial.h"
#include "phasing/phasing_set.h"
#include "phasing/relation_store.h"
#include "platform/listing.h"

namespace zanek {

namespace {

int print_level() { return UREQ.I(ureqw::kPrint); }
int nref() { return PARAM.I(param::kNref); }
int origin_count() { return std::clamp(ERL.I(erlw::kOriginPhases), 0, 3); }

// The removal record of INTER mode 2, listed at print level 2.
struct RemovalRecord {
    int n = 0;
    float value[sup::kContributors];
    int q1[sup::kContributors], q2[sup::kContributors], shift[sup::kContributors];
};
RemovalRecord removal;

void record_contributor(int r, int partners, const int* q, int shift, float v) {
    auto put = [](int base, int i, int value) { SUP.I(base - 1 + i) = value; };
    if (partners == 1) {
        int& n = SUP.I(sup::kSingleCount);
        if (n >= sup::kContributors) return;
        ++n;
        put(sup::kSinglePartner, n, q[0]);
        put(sup::kSingleShift, n, shift);
        SUP.R(sup::kSingleValue - 1 + n) = v;
    } else if (partners == 2) {
        int& n = SUP.I(sup::kTripCount);
        if (n >= sup::kContributors) return;
        ++n;
        put(sup::kTripPartner1, n, q[0]);
        put(sup::kTripPartner2, n, q[1]);
        put(sup::kTripShift, n, shift);
        float first = v;
        if (UREQ.I(ureqw::kKnown) != 0) {
            // How far the relation's probable sign is from what the known
            // phases give.
            const double p = std::min(1.0, (v + 0.4807) * v / ((v + 0.8636) * v + 1.3943));
            const int s2 = q[0] < 0 ? -1 : 1, s3 = q[1] < 0 ? -1 : 1;
            const int t = known_phase(r) - s2 * known_phase(std::abs(q[0])) - s3 * known_phase(std::abs(q[1])) -
                          15 * shift;
            first = static_cast<float>(std::fabs(p - std::cos(t * 3.14159265358979323846 / 180.0)));
        }
        SUP.R(sup::kTripValue - 1 + n) = first;
        SUP.R(sup::kTripValue2 - 1 + n) = v;
    } else {
        int& n = SUP.I(sup::kQuartCount);
        if (n >= sup::kContributors) return;
        ++n;
        put(sup::kQuartP1, n, q[0]);
        put(sup::kQuartP2, n, q[1]);
        put(sup::kQuartP3, n, q[2]);
        put(sup::kQuartShift, n, shift);
        SUP.R(sup::kQuartValue - 1 + n) = v;
    }
}

}  // namespace

void INTER(int mode, int r, float& out) {
    if (mode == 2) removal.n = 0;
    const int first = rel_ptr(r - 1) + 1, last = rel_ptr(r);
    for (int e = first; e <= last; ++e) {
        float v = 0.0f;
        int shift = 0, nwords = 0;
        DEPACC(r, rel_index(e), v, shift, nwords);
        int q[3];
        int partners = 0;
        for (int i = 1; i <= 3; ++i) {
            q[i - 1] = depacc_slot(i);
            if (q[i - 1] != 0) ++partners;
        }
        double w = 1.0;
        double t = 0.0;
        int open = 0;
        if (mode == 1) {
            t = std::fabs(v) * BES(v);
        } else if (mode == 2 || mode == 4 || mode == 5) {
            bool marked = false;
            for (int i = 0; i < partners; ++i) {
                const int p = std::abs(q[i]);
                if (std::abs(restrict_code(p)) > kRemovedMark) marked = true;
                w *= refl_weight(p);
            }
            if (marked) continue;
            t = std::fabs(v) * w * BES(v);
        } else {
            w = refl_weight(r);
            for (int i = 0; i < partners; ++i) {
                const int p = std::abs(q[i]);
                if (restrict_code(p) > 0)
                    w *= refl_weight(p);
                else
                    open = open == 0 ? p : -1;
            }
            if (open < 0) continue;  // two or more open partners
            if (open > 0) {
                const int start = SUP.I(sup::kStartCopy);
                if (SUP.I(sup::kNextFront) > start) {
                    t = std::fabs(v) * w * BES(v);
                } else {
                    bool in_start = false;
                    for (int i = 1; i <= start && i <= kPhaseArray; ++i)
                        if (proc_order(i) == open) in_start = true;
                    if (in_start) continue;
                    t = std::fabs(v) * w * BES(static_cast<float>(v * w));
                }
            } else {
                if (SUP.I(sup::kNextFront) <= SUP.I(sup::kListCount) + SUP.I(sup::kStartSize))
                    record_contributor(r, partners, q, shift, v);
                continue;
            }
        }

        if (mode == 1 || mode == 5) {
            SUP.R(sup::kSumAll) += static_cast<float>(t);
            if (partners >= 2) {
                out += static_cast<float>(t);
                const float vv = mode == 1 ? v : BES(v);
                sqrt_sum(r) += vv * vv;
            }
        } else if (mode == 2 || mode == 4) {
            for (int i = 0; i < partners; ++i) {
                const int p = std::abs(q[i]);
                if (restrict_code(p) >= 0 && alpha_est(p) >= 0.0f) alpha_est(p) -= static_cast<float>(t);
            }
            if (mode == 2 && print_level() > 0 && removal.n < sup::kContributors) {
                removal.value[removal.n] = std::fabs(v);
                removal.q1[removal.n] = q[0];
                removal.q2[removal.n] = q[1];
                removal.shift[removal.n] = shift;
                ++removal.n;
            }
        } else {
            alpha_est(open) += static_cast<float>(t);
        }
    }
    if (mode == 2 && print_level() == 2 && removal.n > 0) {
        std::vector<FItem> items;
        for (int i = 0; i < removal.n; ++i) {
            items.emplace_back(removal.q1[i]);
            items.emplace_back(removal.q2[i]);
            items.emplace_back(removal.shift[i]);
            items.emplace_back(removal.value[i]);
        }
        lst("(20x,4(2i5,i4,f7.2,3x))", items);
    }
}

namespace {

void print_jump(int result, const int* origin) {
    lst("(' jump=',i4,i6,i6,' igin=',3i8,10x,'  k  ',i8)",
        {result, ERL.I(erlw::kOriginPhases), PARAM.I(param::kPolar), origin[0], origin[1], origin[2],
         SUP.I(sup::kNextFront)});
}

// The table of estimated alphas: rows of four (three in test runs) entries.
class AlphaTable {
public:
    explicit AlphaTable(bool on) : on_(on), test_(UREQ.I(ureqw::kKnown) != 0) {
        if (!on_) return;
        lst_blank(4);
        lst_line(std::string(47, ' ') + "table of estimated alpha's");
        if (test_)
            lst("(4a)", {"   code   h   k   l    E   phi   alpha   ", "   code   h   k   l    E   phi   alpha   ",
                         "   code   h   k   l    E   phi   alpha   "});
        else
            lst("(4a)", {"  code  h   k   l    E  alpha", "  code  h   k   l    E  alpha", "  code  h   k   l    E  alpha",
                         "  code  h   k   l    E  alpha"});
    }
    void row(int r) {
        if (!on_) return;
        int h = 0, k = 0, l = 0;
        UNPACC(packed_super(packed_refl(r)), h, k, l);
        items_.emplace_back(r);
        items_.emplace_back(h);
        items_.emplace_back(k);
        items_.emplace_back(l);
        items_.emplace_back(packed_e(packed_refl(r)));
        if (test_) items_.emplace_back(known_phase(r));
        items_.emplace_back(alpha_est(r));
        if (++n_ == (test_ ? 3 : 4)) flush();
    }
    void flush() {
        if (!on_ || n_ == 0) return;
        lst(test_ ? "(3(i6,')',3i4,f6.2,i5,1x,f9.3))" : "(4(i4,')',3i4,f6.2,f6.1))", items_);
        items_.clear();
        n_ = 0;
    }

private:
    bool on_, test_;
    int n_ = 0;
    std::vector<FItem> items_;
};

// Estimates of every reflection from its relations: mode 1 the first
// estimates, mode 5 the estimates weighted by the partners' Bessel ratios.
// Returns the sum of the estimates.
double estimate_all(int mode, AlphaTable* table) {
    double sum = 0.0;
    for (int r = 1; r <= nref(); ++r) {
        float out = 0.0f;
        SUP.R(sup::kSumAll) = 0.0f;
        INTER(mode, r, out);
        alpha_est(r) = std::fabs(SUP.R(sup::kSumAll));
        alpha3_est(r) = std::fabs(out);
        sum += alpha_est(r);
        if (table != nullptr) table->row(r);
    }
    float sum_s = 0.0f, sum_a3 = 0.0f;
    for (int r = 1; r <= nref(); ++r) {
        sqrt_sum(r) = std::sqrt(sqrt_sum(r));
        sum_s += sqrt_sum(r);
        sum_a3 += alpha3_est(r);
    }
    PARAM.R(param::kSumS) = sum_s;
    PARAM.R(param::kSumA3) = sum_a3;
    return sum;
}

// The user's origin reflections: only they are candidates, and ORIGIN
// tells whether they fix the origin. False when too few were given.
bool user_origin(PhaseSettings& s, const PhaseDirectives& d, Convergence& cv) {
    if (d.norig < origin_count()) {
        lst_line(" *** error *** the number of reflections given in input");
        lst_line("               is not sufficient to fix the origin:");
        lst_line("               the program is interrupted");
        s.status = -1;
        return false;
    }
    if (print_level() == 2) {
        lst("(' igin',3i8)", {d.orig_rank[0], d.orig_rank[1], d.orig_rank[2]});
        lst("('   ipigin',3i8)",
            {USE2.I(use2::kOrigValue), USE2.I(use2::kOrigValue + 1), USE2.I(use2::kOrigValue + 2)});
    }
    auto is_origin = [&](int r) { return std::find(d.orig_rank, d.orig_rank + 3, r) != d.orig_rank + 3; };
    for (int r = 1; r <= nref(); ++r)
        if (assigned_phase(r) == 0.0f && !is_origin(r)) restrict_code(r) = -restrict_code(r);
    for (int i = 0; i < 3; ++i) cv.origin[i] = d.orig_rank[i];
    int result = 0;
    ORIGIN(result, 0, 1, 0, cv.origin);
    if (print_level() == 2) print_jump(result, cv.origin);
    if (result != 0) {
        lst_blank(2);
        lst_line("      ****  warning  :  input reflexions do not properly fix the origin  ****");
        lst_blank();
    }
    for (int r = 1; r <= nref(); ++r)
        if (assigned_phase(r) == 0.0f) restrict_code(r) = -restrict_code(r);
    if (print_level() == 2) {
        std::vector<FItem> items;
        for (int r = 1; r <= nref(); ++r) {
            items.emplace_back(r);
            items.emplace_back(restrict_code(r));
            items.emplace_back(preset_phase(r));
            items.emplace_back(assigned_phase(r));
        }
        lst("(4(2i6,2f8.1))", items);
    }
    return true;
}

// Reflections whose estimate is below a quarter of the mean leave the
// phasing before the divergence stage, each taking its contributions to
// its partners' estimates along.
void remove_weak(double sum_alpha, Convergence& cv) {
    const double t = sum_alpha / (4.0 * nref());
    for (int r = 1; r <= nref(); ++r) {
        alpha_est(r) = std::fabs(alpha_est(r));
        if (restrict_code(r) >= 0 && alpha_est(r) <= t) {
            restrict_code(r) = -kRemovedMark - restrict_code(r);
            if (cv.removal_slot >= 1) proc_order(cv.removal_slot) = r;
            --cv.removal_slot;
            float out = 0.0f;
            INTER(4, r, out);
        }
    }
}

void limit_symbols(Convergence& cv) {
    if (cv.nsymb > cv.removal_slot) {
        cv.nsymb = std::max(cv.removal_slot, 0);
        cv.symbols_reduced = 1;
    }
}

// Automatic origin: one more general reflection is allowed at each new
// search; when none fixes the origin, two more symbols are taken instead.
void automatic_origin(Convergence& cv) {
    int result = 0;
    int& polar = PARAM.I(param::kPolar);
    ORIGIN(result, 0, 1, 0, cv.origin);
    if (print_level() == 2) print_jump(result, cv.origin);
    while ((result != 0 || polar < 0) && polar < origin_count()) {
        ++polar;
        ORIGIN(result, 0, 1, 0, cv.origin);
        if (print_level() == 2) print_jump(result, cv.origin);
    }
    if (result == 0 && polar >= 0) return;
    ERL.I(erlw::kOriginPhases) = 0;
    lst_blank();
    lst_line(" ****  warning : the origin can not be fixed correctly  ****");
    cv.nsymb = std::min(cv.nsymb + 2, kMaxSymbols);
    if (cv.nsymb > cv.removal_slot) {
        cv.nsymb = std::max(cv.removal_slot, 0);
        cv.symbols_reduced = 1;
    } else if (CRIS.I(cris::kRandomStart) == 0) {
        lst_blank();
        lst_line(" **** the number of selected symbols will be increased  ****");
    }
}

// With a partial structure the fragment fixes the origin and the
// partial-structure procedure lays out the starting set.
void partial_structure_start(const PhaseDirectives& d, Convergence& cv) {
    PARTIA.I(partia::kListFlag) = 0;
    int spec = d.spec, none = 0, any = cv.nsymb - d.spec, polar = -PARAM.I(param::kPolar), zero = 0;
    XSIM(spec, none, any, polar, cv.origin, zero);
    spec = d.spec;
    none = 0;
    any = cv.nsymb - d.spec;
    polar = -PARAM.I(param::kPolar);
    XCON(spec, none, any, polar, cv.origin, zero);
    SUP.I(sup::kStartSize) = PARTIA.I(partia::kStartSize);
    cv.k_fixed = SUP.I(sup::kStartSize) - cv.nsymb - ERL.I(erlw::kOriginPhases);
    cv.k_onephase = 0;
}

}  // namespace

void CONVER(PhaseSettings& s) {
    PhaseDirectives d;
    Convergence cv;
    if (!build_relation_store(s, d, cv)) return;
    cv.removal_slot = nref();

    if (UREQ.I(ureqw::kPartial) != 0) {
        cv.polar_before = PARAM.I(param::kPolar);
        partial_structure_start(d, cv);
    } else {
        for (int r = 1; r <= nref(); ++r)
            if (refl_weight(r) != 0.0f) restrict_code(r) = -restrict_code(r);
        if (d.enan != 0) PARAM.I(param::kEnan) = d.enan;
        if (d.orig != 0) {
            if (!user_origin(s, d, cv)) return;
        } else {
            for (int& o : cv.origin) o = 0;
        }

        AlphaTable table(d.tabl != 0);
        estimate_all(1, &table);
        table.flush();
        double sum_alpha = 0.0;
        for (int pass = 1; pass <= 2; ++pass) {
            for (int r = 1; r <= nref(); ++r) {
                sqrt_sum(r) = 0.0f;
                alpha3_est(r) = 0.0f;
                alpha_est(r) *= 0.5f;
                // The phases fixed before the trials keep their own weights.
                if (restrict_code(r) >= 0) refl_weight(r) = BES(alpha_est(r));
            }
            sum_alpha = estimate_all(5, nullptr);
            if (print_level() == 2) dump_phasing_set(nullptr, nullptr);
        }
        for (int r = 1; r <= nref(); ++r) {
            if (restrict_code(r) > 0) continue;
            if (refl_weight(r) != 0.0f) {
                preset_phase(r) = assigned_phase(r);
                alpha_est(r) = 0.0f;
            } else {
                preset_phase(r) = 0.0f;
            }
        }
        remove_weak(sum_alpha, cv);
        for (int r = 1; r <= nref(); ++r)
            if (restrict_code(r) <= 0 && preset_phase(r) <= 0.0f) refl_weight(r) = 0.0f;
        if (print_level() == 2)
            dump_phasing_set("  contenuto dei vettori z  e  zp dopo aver", "  eliminato i riflessi con alfa troppo basso ");

        cv.polar_before = PARAM.I(param::kPolar);
        limit_symbols(cv);
        if (cv.symbols_reduced == 0) {
            for (int r = 1; r <= kPhaseArray; ++r) USE1.R(use1::kSortKey - 1 + r) = 1e20f;
            if (d.orig == 0) automatic_origin(cv);
        }
    }

    HISTOR(3, cv.nsymb, s.status);
    if (s.status < 0) return;
    CON2(s, d, cv);
}

}  // namespace zanek
