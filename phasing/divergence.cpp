#include "phasing/divergence.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "crystaldata/equivalents.h"
#include "jobcontrol/numeric.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/phaseset.h"
#include "phasing/origin.h"
#include "phasing/phasing_set.h"
#include "platform/listing.h"

namespace zanek {

namespace {

constexpr float kOriginMark = -1.0f;  // A(r) of an origin reflection
constexpr float kSymbolMark = -99.0f; // preset phase of a symbol
constexpr float kNoKey = 1e20f;

bool heading_printed = false;

int print_level() { return UREQ.I(ureqw::kPrint); }
int nref() { return PARAM.I(param::kNref); }
int origin_count() { return std::clamp(ERL.I(erlw::kOriginPhases), 0, 3); }
bool partial() { return UREQ.I(ureqw::kPartial) != 0; }
int& front() { return SUP.I(sup::kNextFront); }
int& start_size() { return SUP.I(sup::kStartSize); }
float& sort_key(int i) { return USE1.R(use1::kSortKey - 1 + i); }
int& sort_index(int i) { return USE1.I(use1::kSortIndex - 1 + i); }
int& symbol(int i) { return USE1.I(use1::kSymbols - 1 + i); }

// The phase an origin reflection is fixed to: the first value its
// restriction allows (360 for 0).
float origin_phase(int code) {
    const int c = bare_restriction(code) - 1;
    return c % 12 == 0 ? 360.0f : static_cast<float>(15 * c);
}

bool in_positions(int r, int from, int to) {
    for (int p = std::max(from, 1); p <= std::min(to, kPhaseArray); ++p)
        if (proc_order(p) == r) return true;
    return false;
}

void hkl_of(int r, int& h, int& k, int& l) { UNPACC(packed_super(packed_refl(r)), h, k, l); }

void dump_order() {
    std::vector<FItem> items;
    for (int p = 1; p <= nref(); ++p) items.emplace_back(proc_order(p));
    if (!items.empty()) lst("(20i4)", items);
}

// ---------------------------------------------------------------------------
// Convergence on the reflections still in play: always the least
// determined one goes, unless it is needed for the origin.

void convergence_loop(const PhaseDirectives& d, Convergence& cv) {
    int n = 0;
    for (;;) {
        for (int r = 1; r <= nref(); ++r)
            if (restrict_code(r) >= 0) refl_weight(r) = BES(alpha_est(r));
        int rs = 0;
        float best = 1e10f;
        for (int r = 1; r <= nref(); ++r)
            if (restrict_code(r) >= 0 && alpha_est(r) != kOriginMark && alpha_est(r) < best) {
                best = alpha_est(r);
                rs = r;
            }
        if (rs == 0 || best > 8.999999e9f) return;
        ++n;
        restrict_code(rs) = -(restrict_code(rs) + kRemovedMark);

        const int norig = origin_count();
        const bool is_origin = std::find(cv.origin, cv.origin + norig, rs) != cv.origin + norig;
        if (is_origin && d.orig == 0) {
            int result = 0;
            ORIGIN(result, 0, 1, 0, cv.origin);
            if (print_level() == 2)
                lst("(' jump=',i4,i6,i6,' igin=',3i8,10x,'  k  ',i8)",
                    {result, ERL.I(erlw::kOriginPhases), PARAM.I(param::kPolar), cv.origin[0], cv.origin[1],
                     cv.origin[2], front()});
            if (result != 0) {
                // No other set fixes the origin: this one stays an origin reflection.
                proc_order(front()) = rs;
                ++front();
                restrict_code(rs) = bare_restriction(restrict_code(rs));
                alpha_est(rs) = kOriginMark;
                preset_phase(rs) = origin_phase(restrict_code(rs));
                continue;
            }
        }
        sort_key(rs) = 10.0f * alpha_est(rs) / static_cast<float>(n);
        sort_index(rs) = rs;
        if (print_level() == 2) lst("(3x,i5,f10.2,i5)", {rs, alpha_est(rs), restrict_code(rs)});
        if (cv.removal_slot >= 1) proc_order(cv.removal_slot) = rs;
        cv.removal_slot = std::max(cv.removal_slot - 1, 0);
        float out = 0.0f;
        INTER(2, rs, out);
        alpha_est(rs) = std::fabs(alpha_est(rs));
        if (alpha3_est(rs) < 0.0f) lst("(' ii =',2i8,f12.4)", {2, rs, alpha_est(rs)});
    }
}

// The origin reflections take their places after the fixed phases.
void place_origin(const PhaseDirectives& d, Convergence& cv) {
    const int norig = origin_count();
    const int k = cv.k_fixed;
    if (front() - 1 != k + norig) {
        for (int i = 0; i < norig; ++i) {
            const int o = cv.origin[i];
            if (o == 0 || in_positions(o, k + 1, front() - 1)) continue;
            proc_order(front()) = o;
            ++front();
            alpha_est(o) = kOriginMark;
            preset_phase(o) = origin_phase(restrict_code(o));
        }
    }
    if (d.orig != 0) {
        // The user's origin values, matched to the chosen ranks.
        for (int i = 0; i < norig; ++i) {
            const int o = cv.origin[i];
            if (o == 0) continue;
            int value = 0;
            for (int j = 0; j < 3; ++j)
                if (d.orig_rank[j] == o) value = USE2.I(use2::kOrigValue + j);
            value %= 360;
            if (value <= 0) value += 360;
            preset_phase(o) = static_cast<float>(value);
            restrict_code(o) = -restrict_code(o);
        }
    }
    // General-phase origin reflections beyond the polar axes: given 45
    // degrees, they are candidates for the enantiomorph.
    int general = 0;
    for (int i = 0; i < norig; ++i) {
        const int o = cv.origin[i];
        if (o == 0 || bare_restriction(restrict_code(o)) != kRestrictGeneral) continue;
        if (++general <= cv.polar_before) continue;
        if (PARAM.I(param::kEnan) == 0) {
            PARAM.I(param::kEnan) = o;
        } else {
            for (int w = param::kEnanCand; w <= param::kEnanCand + 2; ++w)
                if (PARAM.I(w) == 0) {
                    PARAM.I(w) = o;
                    break;
                }
        }
        preset_phase(o) = 45.0f;
    }
}

// The symbols: the "perm" reflections, then "spec" restricted ones and the
// rest from the latest removals of the convergence loop, by sort key.
bool choose_symbols(PhaseSettings& s, const PhaseDirectives& d, Convergence& cv) {
    const int norig = origin_count();
    int c = 1;
    const int nperm = std::clamp(d.nperm, 0, kMaxSymbols);
    for (int i = 1; i <= nperm; ++i) {
        const int q = perm_rank(i);
        if (norig > 0 && std::find(cv.origin, cv.origin + norig, q) != cv.origin + norig) {
            lst("('0 reflection having code ',i3,' will not be permuted.')", {q});
            lst_line("0 please do not permute this reflection or force the ");
            lst_line("0 origin.  program, anyway, is interrupted. sorry. ");
            s.status = -1;
            return false;
        }
        symbol(c++) = q;
    }
    auto chosen = [&](int r) {
        for (int i = 1; i < c; ++i)
            if (symbol(i) == r) return true;
        return false;
    };
    if (nperm < cv.nsymb) {
        SORTCO(&sort_key(1), &sort_index(1), nref());
        if (d.spec > 0) {
            int appended = 0;
            for (int i = 1; i <= nref() && appended < d.spec && c <= kMaxSymbols; ++i) {
                const int r = sort_index(i);
                if (r < 1 || std::abs(restrict_code(r)) == kRemovedMark + kRestrictGeneral) continue;
                bool in_perm = false;
                for (int j = 1; j <= nperm; ++j)
                    if (perm_rank(j) == r) in_perm = true;
                if (in_perm) continue;
                symbol(c++) = r;
                ++appended;
            }
        }
        for (int i = 1; i <= nref() && c <= cv.nsymb && c <= kMaxSymbols; ++i) {
            const int r = sort_index(i);
            if (r >= 1 && !chosen(r)) symbol(c++) = r;
        }
    }
    cv.nsymb = c - 1;
    int general = 0;
    for (int i = 1; i <= cv.nsymb; ++i)
        if (bare_restriction(restrict_code(symbol(i))) == kRestrictGeneral) ++general;
    PARAM.I(param::kPolar) = general;
    if (print_level() == 2)
        dump_phasing_set("  contenuto dei vettori  z  e  zp dopo", "  la scelta dello  starting set ");
    return true;
}

// The processing order of the starting set: fixed phases, origin
// reflections, then the symbols.
void order_starting_set(const Convergence& cv) {
    if (!partial()) {
        int slot = std::max(cv.removal_slot, 1);
        for (int p = slot; p <= nref(); ++p)
            for (int i = 1; i <= cv.nsymb; ++i)
                if (proc_order(p) == symbol(i)) proc_order(p) = kCodeNoPhase;
        int j = nref();
        for (int p = nref(); p >= slot; --p)
            if (proc_order(p) >= 0) proc_order(j--) = proc_order(p);
        for (int p = 1; p <= cv.k_fixed; ++p) {
            const int r = proc_order(p);
            if (r >= 1) restrict_code(r) = -restrict_code(r);
        }
        for (int i = 1; i <= cv.nsymb && front() <= nref(); ++i) {
            proc_order(front()) = symbol(i);
            ++front();
        }
        start_size() = front() - 1;
    }
    if (print_level() == 2) {
        lst("('  ntot. riflessi nello starting set  =',i4,2i4)", {start_size(), cv.k_fixed, origin_count()});
        lst("(' contenuto del vettore iorde prima della mappa')");
        dump_order();
    }
    if (CRIS.I(cris::kRandomStart) != 0)
        start_size() = std::min(CRIS.I(cris::kRandomCount) + origin_count() + cv.k_fixed, kMaxPhasingRefl);
}

// The tables of the starting set.
void starting_set_tables(const Convergence& cv) {
    const int norig = cv.norig_placed;
    const int k = cv.k_fixed, k1 = cv.k_onephase;
    const bool test = UREQ.I(ureqw::kKnown) != 0;
    auto title = [](const char* text) {
        lst_blank(2);
        lst_line(std::string(5, ' ') + text);
    };
    auto columns = [](bool symbols, bool alpha) {
        const std::string pad(30, ' ');
        if (symbols) {
            lst_line(pad + "                                phase ");
            lst_line(pad + "code   h   k   l    E        restriction ");
        } else {
            lst_line(pad + "                                phase     assigned");
            lst_line(pad + "code   h   k   l    E        restriction    phase" + (alpha ? "   alpha" : ""));
        }
    };
    // The phase of position p, its mark, and (partial structure) the
    // preset phase taken from the phase code.
    auto row = [&](int p, int kind) {
        const int r = proc_order(p);
        if (r < 1 || r > nref()) return;
        int h = 0, kk = 0, l = 0;
        hkl_of(r, h, kk, l);
        const float e = packed_e(packed_refl(r));
        int phase = static_cast<int>(preset_phase(r));
        const char* mark = " ";
        if (partial()) {
            phase = code_phase(phase_code(r));
            preset_phase(r) = static_cast<float>(phase);
            refl_weight(r) = 1.0f;
            if (test) {
                int diff = std::abs(phase - PARTIA.I(partia::kKnown + r)) % 360;
                if (diff > 180) diff = 360 - diff;
                const int allowed = SYM.I(symw::kCentric) == 0 ? 45 : 0;
                if (diff > allowed) mark = "*";
            }
        }
        const char* label = restriction_text(bare_restriction(restrict_code(r)));
        if (kind == 0)
            lst("(30x,4i4,f6.2,7x,a9,4x,i6)", {r, h, kk, l, e, label, phase});
        else if (kind == 1)
            lst("(30x,4i4,f6.2,7x,a9,4x,i6,a1)", {r, h, kk, l, e, label, phase, mark});
        else if (kind == 2)
            lst("(30x,4i4,f6.2,7x,a9,5x,i6,a1,1x,f6.2)", {r, h, kk, l, e, label, phase, mark, alpha3_est(r)});
        else
            lst("(30x,4i4,f6.2,7x,a9)", {r, h, kk, l, e, label});
    };
    if (norig > 0) {
        title("origin fixing reflexion(s)");
        columns(false, false);
        for (int p = k + 1; p <= k + norig; ++p) row(p, 0);
    }
    if (k1 > 0) {
        title("one-phase s.s. phases used       ");
        columns(false, false);
        for (int p = 1; p <= k1; ++p) row(p, 1);
    }
    if (k1 < k) {
        title("known phases used        ");
        columns(false, partial());
        for (int p = k1 + 1; p <= k; ++p) row(p, partial() ? 2 : 0);
    }
    if (k + norig + 1 <= start_size() && CRIS.I(cris::kRandomStart) == 0) {
        title("selected symbols         ");
        columns(true, false);
        for (int p = k + norig + 1; p <= start_size(); ++p) row(p, 3);
    }
}

// ---------------------------------------------------------------------------
// Phase codes of the multisolution stage.

void phase_codes(const Convergence& cv) {
    const int n = nref();
    for (int r = 1; r <= n; ++r) {
        if ((alpha_est(r) < 0.0f && preset_phase(r) != 0.0f) || restrict_code(r) > 0) {
            restrict_code(r) = -restrict_code(r);
        } else {
            restrict_code(r) = -bare_restriction(restrict_code(r));
            alpha_est(r) = 0.0f;
            preset_phase(r) = 0.0f;
        }
    }
    for (int p = cv.k_fixed + cv.norig_placed + 1; p <= start_size(); ++p)
        if (proc_order(p) >= 1) preset_phase(proc_order(p)) = kSymbolMark;
    for (int r = 1; r <= n; ++r) restrict_code(r) = -restrict_code(r);
    for (int r = 1; r <= kPhaseArray; ++r) phase_code(r) = 0;
    if (print_level() == 2) dump_phasing_set(nullptr, nullptr);
    for (int r = 1; r <= n; ++r) {
        const float v = preset_phase(r);
        const int phi = static_cast<int>(std::trunc(v + 0.5f));
        if (alpha_est(r) != 0.0f) {
            phase_code(r) = 1000 * phi + kCodeOrigin;
            refl_weight(r) = 1.0f;
        } else if (v < 0.0f) {
            phase_code(r) = kCodeSymbol;
            refl_weight(r) = 1.0f;
        } else if (v > 0.0f) {
            phase_code(r) = 1000 * phi + static_cast<int>(std::trunc(100.0f * std::fabs(refl_weight(r)) + 0.5f));
        } else {
            phase_code(r) = kCodeNoPhase;
        }
    }
    if (print_level() == 2) {
        std::vector<FItem> items;
        for (int r = 1; r <= n; ++r) {
            items.emplace_back(r);
            items.emplace_back(phase_code(r));
            items.emplace_back(refl_weight(r));
        }
        lst("(4(i4,'*',i8,f5.2))", items);
    }
    const int e = std::abs(PARAM.I(param::kEnan));
    if (e != 0 && phase_code(e) < kCodeSymbol) phase_code(e) = kCodeSymbol;
}

void enantiomorph_report() {
    if (SYM.I(symw::kCentric) < 0 && !partial()) {
        lst_blank(2);
        lst_line("     enantiomorph fixed by space group ");
        return;
    }
    const int e = std::abs(PARAM.I(param::kEnan));
    if (e == 0) return;
    int h = 0, k = 0, l = 0;
    hkl_of(e, h, k, l);
    lst_blank(2);
    lst_line("     enantiomorph fixing reflexion ");
    lst_blank();
    lst_line(std::string(30, ' ') + "code   h   k   l    E");
    lst_blank();
    lst("(30x,4i4,f6.2)", {e, h, k, l, packed_e(packed_refl(e))});
}

// ---------------------------------------------------------------------------
// Divergence mapping.

void list_contributors() {
    const int ns = std::min(SUP.I(sup::kSingleCount), 5);
    if (ns > 0) {
        std::vector<FItem> items;
        for (int i = 1; i <= ns; ++i) {
            items.emplace_back(SUP.I(sup::kSinglePartner - 1 + i));
            items.emplace_back(SUP.I(sup::kSingleShift - 1 + i));
            items.emplace_back(SUP.R(sup::kSingleValue - 1 + i));
        }
        lst("(35x,5(i6,'*',i4,f6.2))", items);
    }
    const int nt = std::min(SUP.I(sup::kTripCount), sup::kContributors);
    if (nt > 0) {
        const bool known = UREQ.I(ureqw::kKnown) != 0;
        std::vector<FItem> items;
        for (int i = 1; i <= nt; ++i) {
            items.emplace_back(SUP.I(sup::kTripPartner1 - 1 + i));
            items.emplace_back(SUP.I(sup::kTripPartner2 - 1 + i));
            items.emplace_back(SUP.I(sup::kTripShift - 1 + i));
            items.emplace_back(SUP.R(sup::kTripValue - 1 + i));
            if (known) items.emplace_back(SUP.R(sup::kTripValue2 - 1 + i));
        }
        lst(known ? "(36x,3(2(i5,'*'),i4,2f6.2,2x))" : "(36x,4(2(i5,'*'),i4,f6.2))", items);
    }
    const int nq = std::min(SUP.I(sup::kQuartCount), sup::kContributors);
    if (nq > 0) {
        std::vector<FItem> items;
        for (int i = 1; i <= nq; ++i) {
            items.emplace_back(SUP.I(sup::kQuartP1 - 1 + i));
            items.emplace_back(SUP.I(sup::kQuartP2 - 1 + i));
            items.emplace_back(SUP.I(sup::kQuartP3 - 1 + i));
            items.emplace_back(SUP.I(sup::kQuartShift - 1 + i));
            items.emplace_back(SUP.R(sup::kQuartValue - 1 + i));
        }
        lst("(36x,3(3i5,i4,f6.2))", items);
    }
}

void initial_weights(const PhaseSettings& s) {
    const int e = std::abs(PARAM.I(param::kEnan));
    for (int r = 1; r <= nref(); ++r)
        if (!in_positions(r, 1, start_size())) refl_weight(r) = 0.0f;
    for (int p = 1; p <= kPhaseArray && proc_order(p) != 0; ++p) {
        const int r = proc_order(p);
        if (r < 1 || r > nref()) continue;
        if (r == e && refl_weight(r) != 1.0f) continue;
        if (preset_phase(r) == kSymbolMark) {
            const int general = std::clamp(PARAM.I(param::kPolar), 1, kMaxSymbols);
            refl_weight(r) = bare_restriction(restrict_code(r)) == kRestrictGeneral ? s.weights[general - 1] : 100.0f;
        } else {
            refl_weight(r) = code_weight(phase_code(r)) > kCodeFixed ? 100.0f : -1.0f;
        }
    }
    for (int r = 1; r <= nref(); ++r) {
        if (refl_weight(r) > 1.0f)
            refl_weight(r) = BES(refl_weight(r));
        else if (refl_weight(r) < 0.0f)
            refl_weight(r) = static_cast<float>(code_weight(phase_code(r))) * 0.01f;
    }
}

// Places the reflections of the processing order from the cursor on, each
// adding its relations to the estimates of its open partners.
void walk_placed() {
    while (front() < kPhaseArray && proc_order(front()) > 0) {
        const int r = proc_order(front());
        restrict_code(r) = std::abs(restrict_code(r));
        SUP.I(sup::kSingleCount) = 0;
        SUP.I(sup::kTripCount) = 0;
        SUP.I(sup::kQuartCount) = 0;
        float out = 0.0f;
        INTER(3, r, out);
        ++front();
        alpha_est(r) = std::fabs(alpha_est(r));
    }
}

void divergence_mapping(const PhaseSettings& s, const Convergence& cv) {
    const int n = nref();
    for (int r = 1; r <= n; ++r) restrict_code(r) = -std::abs(restrict_code(r));
    if (proc_order(1) >= 1) restrict_code(proc_order(1)) = std::abs(restrict_code(proc_order(1)));
    SUP.I(sup::kStartCopy) = start_size();
    front() = 2;
    initial_weights(s);
    const int listed = SUP.I(sup::kListCount);
    for (;;) {
        walk_placed();
        if (cv.symbols_reduced == 1) break;
        if (listed != 0 && !heading_printed) {
            heading_printed = true;
            lst_blank(3);
            lst_line(std::string(50, ' ') + "divergence mapping");
            lst_blank(2);
            lst("(2a,6x,a)", {"    code", "     h    k    l    alfest", "contributors"});
            lst_blank();
        }
        // The open reflection best determined by those placed.
        int best_r = 0;
        float best = 0.0f;
        for (int r = 1; r <= n; ++r)
            if (restrict_code(r) <= 0 && alpha_est(r) * alpha_est(r) >= best) {
                best = alpha_est(r) * alpha_est(r);
                best_r = r;
            }
        if (best_r == 0 || front() > kPhaseArray) break;
        proc_order(front()) = best_r;
        const float a = std::sqrt(best);
        if (listed != 0) list_contributors();
        if (front() >= n) {
            restrict_code(best_r) = std::abs(restrict_code(best_r));
            int p = front();
            for (int r = 1; r <= n && p < kPhaseArray; ++r)
                if (restrict_code(r) <= 0) {
                    restrict_code(r) = -restrict_code(r);
                    proc_order(++p) = r;
                }
            break;
        }
        refl_weight(best_r) = a >= 5.0f ? 1.0f : std::max(0.15f * a + 0.25f, 0.15f);
        if (front() <= listed + start_size()) {
            int h = 0, k = 0, l = 0;
            hkl_of(best_r, h, k, l);
            lst("(' -',2i6,2i5,2f10.2)", {best_r, h, k, l, a, refl_weight(best_r)});
        }
    }
    // Every code is bare and positive again.
    for (int r = 1; r <= n; ++r) restrict_code(r) = std::abs(restrict_code(r));
}

void ending(PhaseSettings& s, const Convergence& cv) {
    s.pass_through = rel_ptr(nref());
    for (int p = 1; p <= cv.k_fixed; ++p)
        if (proc_order(p) >= 1) refl_weight(proc_order(p)) = -refl_weight(proc_order(p));
    if (partial() && cv.nsymb > 0)
        for (int p = cv.k_fixed + cv.norig_placed + 1; p <= start_size(); ++p)
            if (proc_order(p) >= 1) preset_phase(proc_order(p)) = kSymbolMark;
    for (int p = start_size() + 1; p <= nref(); ++p)
        if (proc_order(p) >= 1 && proc_order(p) <= nref()) preset_phase(proc_order(p)) = 0.0f;
    if (print_level() == 2) {
        dump_order();
        std::vector<FItem> items;
        for (int q = 0; q <= nref(); ++q) items.emplace_back(rel_ptr(q));
        lst("(10i10)", items);
        items.clear();
        for (int r = 1; r <= nref(); ++r) {
            items.emplace_back(r);
            items.emplace_back(preset_phase(r));
            items.emplace_back(alpha3_est(r));
            items.emplace_back(phase_code(r));
            items.emplace_back(refl_weight(r));
        }
        lst("(3(i5,2f9.2,i9,f7.3))", items);
    }
}

int par(int v) { return v % 2; }

}  // namespace

void reset_divergence_heading() { heading_printed = false; }

void SORTCO(float* key, int* index, int n) {
    if (n < 2) return;
    int p = 4;
    while (p < n) p *= 2;
    int g = std::min(n, 3 * p / 4 - 1);
    do {
        g /= 2;
        if (g < 1) break;
        for (int i = g + 1; i <= n; ++i) {
            const float x = key[i - 1];
            const int xi = index[i - 1];
            int j = i - g;
            while (j >= 1 && key[j - 1] > x) {
                key[j + g - 1] = key[j - 1];
                index[j + g - 1] = index[j - 1];
                j -= g;
            }
            key[j + g - 1] = x;
            index[j + g - 1] = xi;
        }
    } while (g >= 2);
}

void STARTS(int nsymb, int& status) {
    const int n = nref();
    const int first = start_size() + 1;
    const int norig = origin_count();
    const int centric = SYM.I(symw::kCentric);
    enum class St { Entry, Setup, Search, Scan, Parity, Decide, Reject, UserReject, Fallback, Finish };
    St st = St::Entry;
    int F = 0, s = 1, cand = 0;

    auto abs_all_a3 = [&] {
        for (int r = 1; r <= n; ++r) alpha3_est(r) = std::fabs(alpha3_est(r));
    };
    auto is_origin_refl = [](int r) { return phase_code(r) % 1000 == kCodeOrigin; };

    for (;;) {
        switch (st) {
            case St::Entry: {
                const int e = PARAM.I(param::kEnan);
                if (e < 0)
                    st = St::Finish;
                else if (e > 0)
                    st = phase_code(e) >= 0 ? St::Finish : (centric != 0 ? St::UserReject : St::Setup);
                else
                    st = centric != 0 ? St::Finish : St::Setup;
                break;
            }
            case St::Setup: {
                abs_all_a3();
                F = 0;
                s = 1;
                if (SYM.I(symw::kLattice) == kLatP) {
                    bool all2 = true;
                    for (int w = 4 - norig; w <= 3; ++w)
                        if (sem_modulus(w) != 2) all2 = false;
                    if (all2) F = 1;
                }
                st = St::Search;
                break;
            }
            case St::Search: {
                cand = 0;
                if (PARAM.I(param::kEnan) != 0) {
                    cand = std::abs(PARAM.I(param::kEnan));
                    st = F == 0 ? St::Decide : St::Parity;
                    break;
                }
                if (nsymb == 0) {
                    st = St::Fallback;
                    break;
                }
                float best = 0.0f;
                for (int i = 1; i <= n && cand == 0; ++i) {
                    const int r = proc_order(i);
                    if (r < 1 || r > n || phase_code(r) != kCodeNoPhase) continue;
                    for (int e = rel_ptr(r - 1) + 1; e <= rel_ptr(r); ++e) {
                        float v = 0.0f;
                        int shift = 0, nw = 0;
                        DEPACC(r, rel_index(e), v, shift, nw);
                        for (int k = 1; k <= 3; ++k) {
                            const int p = std::abs(depacc_slot(k));
                            if (p < 1 || p > n) continue;
                            if (phase_code(p) == kCodeSymbol && alpha3_est(p) > best &&
                                !(F == 1 && bare_restriction(restrict_code(p)) == kRestrictGeneral)) {
                                cand = p;
                                best = alpha3_est(p);
                                if (print_level() == 2)
                                    lst("(5x,' max',i3,' ila',i3,' ira',i3,' i',i3)", {p, r, e, i});
                            }
                        }
                    }
                }
                if (cand != 0)
                    st = F == 0 ? St::Decide : St::Parity;
                else
                    st = F == 0 ? St::Fallback : St::Scan;
                break;
            }
            case St::Scan: {
                cand = 0;
                for (int p = first; p <= n; ++p) {
                    const int r = proc_order(p);
                    if (r >= 1 && r <= n && alpha3_est(r) > 0.0f &&
                        bare_restriction(restrict_code(r)) != kRestrictGeneral) {
                        cand = r;
                        break;
                    }
                }
                if (cand != 0) {
                    st = St::Parity;
                } else if (F == 2) {
                    st = St::Fallback;
                } else {
                    F = 2;
                    st = St::Search;
                }
                break;
            }
            case St::Parity: {
                int a = 0, b = 0, d = 0;
                residues_of(cand, a, b, d);
                int T = 0;
                bool decided = false;
                for (int j = 1; j <= n && !decided; ++j) {
                    if (!is_origin_refl(j)) continue;
                    int x = 0, y = 0, z = 0;
                    residues_of(j, x, y, z);
                    const int cj = bare_restriction(restrict_code(j));
                    if (par(a + x) + par(b + y) + par(d + z) <= 0) {
                        s = std::abs(cj - 7) < 3 ? -1 : 1;
                        decided = true;
                        break;
                    }
                    // The next origin reflection, cyclically; a single
                    // origin reflection makes no pair with itself.
                    int k = 0;
                    for (int q = j + 1; q <= n && k == 0; ++q)
                        if (is_origin_refl(q)) k = q;
                    for (int q = 1; q < j && k == 0; ++q)
                        if (is_origin_refl(q)) k = q;
                    if (k != 0) {
                        int x2 = 0, y2 = 0, z2 = 0;
                        residues_of(k, x2, y2, z2);
                        if (par(a + x + x2) + par(b + y + y2) + par(d + z + z2) <= 0) {
                            const int t = cj + bare_restriction(restrict_code(k));
                            const int u = t - 12 * ((t - 2) / 12) - 8;
                            s = std::abs(u) < 3 ? -1 : 1;
                            decided = true;
                            break;
                        }
                    }
                    T += cj - 1;
                    a += x;
                    b += y;
                    d += z;
                    if (print_level() == 2) lst("(i10,'***',4i8)", {j, a, b, d, T});
                }
                if (decided) {
                    st = St::Decide;
                    break;
                }
                const int q = par(a) + par(b) + par(d);
                if (q < 0) {
                    st = St::Reject;
                    break;
                }
                if (q > 0) {
                    s = 1;
                } else {
                    const int u = T % 12 - 6;
                    s = std::abs(u) < 3 ? -1 : 1;
                }
                st = St::Decide;
                break;
            }
            case St::Decide: {
                const int cc = bare_restriction(restrict_code(cand));
                const bool accepted =
                    cc <= 1 || (std::abs(cc - 7) >= 3 && s < 0) || (std::abs(cc - 7) < 3 && s > 0);
                if (accepted) {
                    PARAM.I(param::kEnan) = s * cand;
                    st = St::Finish;
                } else {
                    st = St::Reject;
                }
                break;
            }
            case St::Reject:
                alpha3_est(cand) = -alpha3_est(cand);
                if (PARAM.I(param::kEnan) != 0)
                    st = St::UserReject;
                else
                    st = F == 0 ? St::Search : St::Scan;
                break;
            case St::UserReject:
                lst_blank();
                lst_line(" ****  warning :  enantiomorph fixing reflexion chosen by the user does not fix the "
                         "enantiomorph");
                lst_blank(2);
                PARAM.I(param::kEnan) = PARAM.I(param::kEnanCand);
                PARAM.I(param::kEnanCand) = PARAM.I(param::kEnanCand + 1);
                PARAM.I(param::kEnanCand + 1) = PARAM.I(param::kEnanCand + 2);
                // The last candidate has moved up: it is not offered twice.
                PARAM.I(param::kEnanCand + 2) = 0;
                st = St::Entry;
                break;
            case St::Fallback: {
                lst_blank();
                lst_line(" ****  warning :  the reflexions in the starting set will not define the enantiomorph");
                lst_line("                  the last general  reflexion eliminated by converge is added to the "
                         "starting set.");
                int r = 0;
                for (int p = first; p <= n && r == 0; ++p) {
                    const int q = proc_order(p);
                    if (q >= 1 && q <= n && bare_restriction(restrict_code(q)) == kRestrictGeneral) r = q;
                }
                if (r == 0) {
                    lst_blank();
                    lst_line(" *** error *** the enantiomorph can not be fixed");
                    lst_line("               the program is interrupted");
                    status = -1;
                    abs_all_a3();
                    return;
                }
                PARAM.I(param::kEnan) = r;
                st = St::Finish;
                break;
            }
            case St::Finish: {
                abs_all_a3();
                for (int p = first; p <= n; ++p) proc_order(p) = 0;
                const int e = std::abs(PARAM.I(param::kEnan));
                if (centric == 0 && e >= 1 && e <= n && phase_code(e) < kCodeSymbol && first <= kPhaseArray) {
                    proc_order(first) = e;
                    phase_code(e) = kCodeSymbol;
                }
                return;
            }
        }
    }
}

void CON2(PhaseSettings& s, const PhaseDirectives& d, Convergence& cv) {
    for (int r = 1; r <= kPhaseArray; ++r) {
        sort_key(r) = kNoKey;
        sort_index(r) = 0;
    }
    if (!partial()) {
        convergence_loop(d, cv);
        if (origin_count() > 0) place_origin(d, cv);
        // The origin reflections keep their places even when the origin
        // phase count is cleared below (too few reflections for the symbols).
        cv.norig_placed = front() - 1 - cv.k_fixed;
        if (!choose_symbols(s, d, cv)) return;
    } else {
        cv.norig_placed = origin_count();
    }
    order_starting_set(cv);
    if (cv.symbols_reduced == 1) ERL.I(erlw::kOriginPhases) = 0;
    starting_set_tables(cv);

    if (!partial()) {
        phase_codes(cv);
        if (CRIS.I(cris::kRandomStart) == 0) {
            if (cv.symbols_reduced == 0) {
                STARTS(cv.nsymb, s.status);
                if (s.status < 0) return;
            }
        } else {
            for (int p = start_size() + 1; p <= nref(); ++p) proc_order(p) = 0;
        }
        const int e = d.enan;
        if (e != 0 && std::abs(PARAM.I(param::kEnan)) == e &&
            !in_positions(e, cv.k_fixed + cv.norig_placed + 1, start_size()) && start_size() + 1 <= kPhaseArray)
            proc_order(start_size() + 1) = e;
    }
    enantiomorph_report();
    if (!partial()) divergence_mapping(s, cv);
    ending(s, cv);
}

}  // namespace zanek
