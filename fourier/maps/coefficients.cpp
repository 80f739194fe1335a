// Map coefficients. For the first map of a run the phased reflections come
// with the phases and weights of one set of list 16 (and, unless switched
// off, weak reflections with psi-e phases); for a recycling map a
// structure-factor step leaves 2kFo - Fc with calculated phases; for a
// Patterson map the squared amplitudes of list 7 are taken. Every
// reflection is expanded over the stored operators into the hemisphere
// l > 0, or l = 0 and h > 0, or l = h = 0 and k >= 0, with the phase shift
// of the operator's translation, and streamed to jrel in records of 100.
#include "fourier/maps/coefficients.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "crystaldata/equivalents.h"
#include "crystaldata/special.h"
#include "fourier/fourier_records.h"
#include "fourier/maps/maps_internal.h"
#include "fourier/recycling/recycling.h"
#include "jobcontrol/lists/list01.h"
#include "jobcontrol/lists/list03.h"
#include "jobcontrol/lists/list07.h"
#include "jobcontrol/lists/list15.h"
#include "jobcontrol/lists/list16.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/scatter.h"
#include "platform/listing.h"
#include "platform/units.h"

namespace zanek {

namespace {

constexpr int kMaxGridX = 150;         // a map row fits the row buffer of the map writer
constexpr float kGridStep = 0.02f;     // spacing added while nx is too large
constexpr float kMapScaleSum = 3000.0f;
constexpr int kSetCapacity = 2500;     // sets a list-16 header can list in the list area
constexpr float kStepAStop = 0.0025f;  // step A ends when R falls by less
constexpr int kStepBMinimum = 4;       // step-B passes before a rise of R stops

int jrel() { return UNIT.I(unitw::kSequentialScratch); }

bool fourier_map() { return UREQ1.I(ureq1::kMapKind) == 0; }

// --- Listing boxes -------------------------------------------------------------

const std::string kBoxMargin(6, ' ');

void box_rule() { lst_line(kBoxMargin + "+" + std::string(67, '-') + "+"); }
void box_text(const std::string& label, const std::string& value) {
    lst_line(kBoxMargin + label + value + "  i");
}
void box_real(const std::string& label, float v) { box_text(label, std::string(6, ' ') + fmt_f(v, 10, 3)); }
void box_int(const std::string& label, int v) { box_text(label, std::string(10, ' ') + fmt_i(v, 6)); }

void figure_box(int set) {
    const std::string m(25, ' ');
    lst_blank();
    lst_line(m + std::string(68, '+'));
    lst_line(m + "i           i        F i g u r e s      o f      m e r i t         i");
    lst_line(m + "i  Set no.  i" + std::string(54, '-') + "i");
    lst_line(m + "i           i   mabs   i  alcomb  i  R(x,y)  i  cphase  i   cfom   i");
    std::string sep = m + "i-----------i";
    for (int k = 0; k < 5; ++k) sep += "          i";
    lst_line(sep);
    std::string row = m + "i " + fmt_i(set, 6) + "    i";
    for (int k = 0; k < 5; ++k) row += fmt_f(MISC.R(misc::kFigures + k), 8, 4) + "  i";
    lst_line(row);
    lst_line(m + std::string(68, '+'));
}

std::string space_group_symbol() {
    std::string s(16, ' ');
    for (int k = 0; k < 16; ++k) {
        char c = static_cast<char>(ERL.I(erlw::kSymbol + k) & 0xff);
        s[static_cast<std::size_t>(k)] = c ? c : ' ';
    }
    if (s[0] >= 'a' && s[0] <= 'z') s[0] = static_cast<char>(s[0] - 'a' + 'A');
    return s;
}

void data_box(const int hkl_max[3], int n) {
    const int* g = &CONST.I(konst::kNx);
    lst_blank();
    box_rule();
    box_text("i                           Space group symbol  i", space_group_symbol());
    const char* cell_names[6] = {"a", "b", "c", "alpha", "beta", "gamma"};
    for (int i = 0; i < 6; ++i) {
        std::string label = i == 0 ? "i                     Unit cell parameters   a  i"
                                   : 'i' + std::string(45 - std::string(cell_names[i]).size(), ' ') + cell_names[i] + "  i";
        box_real(label, TAPE.R(tape::kCell + i));
    }
    box_real("i  Grid spacing (in angstrom) is approximately  i", CONST.R(konst::kGrid));
    box_int("i    Number of grid points in fourier map   nx  i", g[0]);
    box_int("i                                           ny  i", g[1]);
    box_int("i                                           nz  i", g[2]);
    box_int("i                   Maximum indices value    h  i", hkl_max[0]);
    box_int("i                                            k  i", hkl_max[1]);
    box_int("i                                            l  i", hkl_max[2]);
    box_int("i      Number of independent reflections input  i", n);
}

// --- Phase set -------------------------------------------------------------------

void no_phase_sets() { lst_line(" *** error ***  no sets of phases available"); }

// Takes the phases and weights of the requested set of list 16 into A2 and
// A3 of the n staging reflections; false after a failure.
bool take_phase_set(int n) {
    std::vector<float> cfom(kSetCapacity);
    std::vector<int32_t> record(kSetCapacity);
    int nsets = 0;
    YSFL16(cfom.data(), record.data(), nsets, kSetCapacity);
    CONST.I(konst::kSetCount) = nsets;
    int request = CONST.I(konst::kSetNumber);
    if (request >= konst::kLastSet) request = nsets - (request - konst::kLastSet);
    if (request > nsets) {
        lst("(' *** error ***  set ',i3,' has been required',/,'                but only ',i3,' sets are available')",
            {request, nsets});
        return false;
    }
    if (nsets < 1) {  // an empty list offers no best set either
        no_phase_sets();
        return false;
    }
    bool lowered = false;
    if (request <= 0) {
        int best = 0;
        for (int s = 1; s < nsets; ++s)
            if (cfom[static_cast<std::size_t>(s)] > cfom[static_cast<std::size_t>(best)]) best = s;
        request = best + 1;
        cfom[static_cast<std::size_t>(best)] -= 100.0f;  // the next run without a request takes the next best
        lowered = true;
    }
    CONST.I(konst::kSetNumber) = request;
    // Reflections beyond the set's own count keep weight 0.
    for (int i = 1; i <= n; ++i) {
        stage::A2(i) = 0.0f;
        stage::A3i(i) = 0;
    }
    Word fom[list16::kFigureWords];
    SNR16(record[static_cast<std::size_t>(request - 1)], fom, stage::A2_array(), &stage::A3i(1),
          stage::kMaxReflections);
    for (int k = 0; k < list16::kFigureWords; ++k) MISC.W(misc::kFigures + k) = fom[k];
    if (lowered) YSUP16(cfom.data(), record.data(), nsets);
    return true;
}

// --- Recycling -----------------------------------------------------------------

void recycling_heading_lines(int n, float sigm) {
    fourier_heading("***   Fourier recycling section  ***");
    const int total = RC.I(rcw::kReflections);
    const int p = total > 0 ? static_cast<int>(std::lround(100.0 * n / total)) : 0;
    if (sigm >= 0.0f)
        lst("(1x,i5,' (',i3,'% of total ) reflections used with Fo > ',f4.2,' * sigma(Fo)')", {n, p, sigm});
    else
        lst("(1x,i5,' (',i3,'% of total ) reflections used with Fo > ',f8.2)", {n, p, UREQ.R(ureqw::kWeakLimit)});
    lst_blank();
    lst_line(std::string(20, ' ') + "Step      cycle       residual");
}

// One recycling step and the stop rule; false when the rule ends the
// recycling (IERR := 1 by the caller).
bool recycling_step(int icyc, int n, float sigm) {
    if (icyc == 2) recycling_heading_lines(n, sigm);
    int count = 0, start = 1, set = 0, bonds = 0;
    SFL15(count, start, set, bonds);
    CONST.I(konst::kAtomCount) = count;
    if (EMAP.I(emap::kStepB) == 1) {
        fourier_heading("***   Fourier recycling restarted  ***");
        lst_line("  In step B scale factor, atomic coordinates and isotropic");
        lst_line(" thermal factors are refined via diagonal matrix.");
        lst_blank();
        lst_line(std::string(20, ' ') + "Step      cycle       residual");
    }
    if (EMAP.I(emap::kStepB) > 0) {
        EMAP.I(emap::kPeaksKept) = count;
        if (EMAP.I(emap::kNextAction) == 0) {
            const int t = sf::z(1) == 1 ? 2 : 1;  // the lightest non-hydrogen species
            for (int i = 1; i <= count; ++i)
                if (atom_label(i) != 0) atom_label(i) = 100 * t + 1;
        }
    }
    PKL15(count);
    int cyc = icyc, nref = n;
    if (EMAP.I(emap::kNextAction) == 0) {
        if (EMAP.I(emap::kStepB) == 0) {
            SFTRA(cyc, nref, stage::A2_array());
        } else {
            SFTRB(cyc, nref, stage::A2_array());
            EMAP.I(emap::kStepB) += 1;
        }
    } else {
        SFTRC(cyc, nref, stage::A2_array());
        EMAP.I(emap::kStepB) += 1;
    }

    // Stop rule.
    auto restore_previous = [] {
        CP3015();
        int c = 0, s = 1, st = 0, b = 0;
        SFL15(c, s, st, b);
        CONST.I(konst::kAtomCount) = c;
    };
    switch (recycling_stop_rule(icyc, EMAP.I(emap::kCycleLimit), EMAP.I(emap::kStepB), EMAP.R(emap::kPrevR),
                                EMAP.R(emap::kR))) {
        case StopRule::LastCycle:
            fourier_heading("***   Final interpretation  ***");
            return false;
        case StopRule::EndStepA:
        case StopRule::EndStepARestore:
            fourier_heading("***   Intermediate interpretation  ***");
            if (EMAP.R(emap::kPrevR) - EMAP.R(emap::kR) < 0.0f) restore_previous();
            EMAP.I(emap::kStepB) = 1;
            return false;
        case StopRule::EndStepB:
            if (UREQ.I(ureqw::kPrint) > 2) lst("(1x,a,i8)", {" r-fac stop %", EMAP.I(emap::kStepB)});
            fourier_heading("***   Final interpretation  ***");
            restore_previous();
            return false;
        case StopRule::Continue: break;
    }
    EMAP.R(emap::kPrevR) = EMAP.R(emap::kR);
    CP1530();
    return true;
}

}  // namespace

StopRule recycling_stop_rule(int icyc, int cycle_limit, int step_b, float prev_r, float r) {
    if (icyc == cycle_limit + 1) return StopRule::LastCycle;
    const float d = prev_r - r;
    if (step_b < 1 && d < kStepAStop) return d < 0.0f ? StopRule::EndStepARestore : StopRule::EndStepA;
    if (step_b >= kStepBMinimum && d < 0.0f) return StopRule::EndStepB;
    return StopRule::Continue;
}

void unpack_index(int p, int& h, int& k, int& l) {
    h = p / 262144;
    const int r = p - h * 262144;
    k = r / 512 - 256;
    l = r - 512 * (r / 512) - 256;
}

void INPTF(int& flag, int& n) {
    const bool patterson = !fourier_map();
    YFL01();
    if (!patterson) YFL02();
    for (int k = 1; k <= 72; ++k) TAPE.W(tape::kTrans - 1 + k) = SYM.W(symw::kTransl + k);
    for (int k = 1; k <= 144; ++k) TAPE.W(tape::kRot - 1 + k) = SYM.W(symw::kOperators - 1 + k);
    YFL03();
    int count = 0, nref = 0, nzro = 0, seed = 0;
    flag = 0;
    YSFL07(count, nref, nzro, flag, seed);
    n = patterson ? RC.I(rcw::kReflections) : RC.I(rcw::kNref);
    for (int i = 0; i < 6; ++i) TAPE.R(tape::kCell + i) = cell_constant(i + 1);
    for (int i = 0; i < 3; ++i) TRAN.I(tran::kHmax + i) = max_index(i + 1);
    const int nsym = SYM.I(symw::kOps), centric = SYM.I(symw::kCentric);
    const float points = SYM.R(symw::kLatticePoints);
    TAPE.I(tape::kNsym) = nsym;
    TAPE.I(tape::kCentric) = centric;
    TAPE.I(tape::kLattice) = SYM.I(symw::kLattice);
    const double per_unit = static_cast<double>(centric + 1) * nsym * points;
    TAPE.I(tape::kExpected) = per_unit > 0.0 ? static_cast<int>(sf::heavy_atoms() / per_unit + 0.5) : 0;
    MISC.R(misc::kLatticePoints) = points;
    if (centric == 1 && nsym >= 1 && nsym <= 24) {
        for (int k = 1; k <= nsym; ++k) {
            for (int i = 1; i <= 3; ++i) {
                for (int j = 1; j <= 3; ++j) erl_R(nsym + k, i, j) = -erl_R(k, i, j);
                erl_T(nsym + k, i) = erl_T(k, i);
            }
        }
    }
}

void GETREF(float& sigm, int icyc, int flag, int& n) {
    float threshold = 0.0f;
    if (UREQ.I(ureqw::kSigma) >= 1 && EMAP.R(emap::kSigm) > 0.0f) {
        sigm = EMAP.R(emap::kSigm);
    } else {
        sigm = -1.0f;
        if (EMAP.R(emap::kFomi) > 0.0f) UREQ.R(ureqw::kWeakLimit) = EMAP.R(emap::kFomi);
        threshold = UREQ.R(ureqw::kWeakLimit) * std::sqrt(std::max(C.R(cw::kScale), 0.0f));
    }
    int kept = 0;
    Word out[9];
    for (int r = 0; r < n; ++r) {
        SNR07(out);
        const int h = out[0].i, k = out[1].i, l = out[2].i;
        const float value = flag != 0 ? out[5].r : out[3].r;
        const float fo = out[4].r, sigma = out[8].r;
        if (icyc > 1) {
            const bool strong = sigm > 0.0f ? fo > sigm * sigma : fo > threshold;
            if (!strong) continue;
        }
        ++kept;
        stage::P(kept) = packed_index(h, k, l);
        if (icyc <= 1) {
            stage::A1(kept) = value;
        } else {
            stage::A1(kept) = fo;
            stage::A2(kept) = value;
            const float s = RHOF(&RC.R(rcw::kS2Coefficients), h, k, l);
            stage::A4(kept) = s * s;
        }
    }
    n = kept;
}

void choose_grid(float& grid, const float cell[3], int n[3]) {
    if (!(grid > 0.0f)) grid = 1.0f / 3.0f;
    for (;;) {
        for (int i = 0; i < 3; ++i) {
            const int step = i == 2 ? 2 : 1;
            int m = std::max(static_cast<int>(cell[i] / grid + 0.5f), 1);
            if (i == 2 && m % 2 == 1) m += 1;
            for (;; m += step) {
                int left = m;
                for (int d : {2, 3, 4, 5})
                    while (left % d == 0) left /= d;
                if (left == 1) break;
            }
            n[i] = m;
        }
        if (n[0] <= kMaxGridX) return;
        grid += kGridStep;
    }
}

double expand_to_hemisphere(int n, int map_kind, int flag) {
    const int nsym = std::clamp(TAPE.I(tape::kNsym), 1, 24);
    const int grid[3] = {CONST.I(konst::kNx), CONST.I(konst::kNy), CONST.I(konst::kNz)};
    float sine[16];
    for (int t = 1; t <= 15; ++t) sine[t] = sin_deg(30 * t);
    int trans12[24][3];
    for (int j = 0; j < nsym; ++j)
        for (int r = 0; r < 3; ++r)
            trans12[j][r] = static_cast<int>(12.0f * TAPE.R(tape::kTrans + 3 * j + r) + 0.1f);

    units().rewind(jrel());
    std::vector<Word> rec(coef::kRecordWords);
    int stored = 0, in_record = 0;
    double sum = 0.0;
    auto flush = [&] {
        if (units().write_record(jrel(), rec) != IO_OK)
            lst("(' *** error ***  read or write error on scratch file ',a)", {"jrel"});
        in_record = 0;
    };
    int32_t seen[24];
    Word out[9];
    for (int i = 1; i <= n; ++i) {
        int hkl[3];
        float a = 0.0f, b = 0.0f;
        if (map_kind == 0) {
            unpack_index(stage::P(i), hkl[0], hkl[1], hkl[2]);
            a = stage::A1(i);
            b = stage::A2(i);
        } else {
            SNR07(out);
            for (int r = 0; r < 3; ++r) hkl[r] = out[r].i;
            const float e = flag != 0 ? out[5].r : out[3].r;
            const float fo = flag != 0 ? out[6].r : out[4].r;
            a = map_kind == 1 ? e * e : map_kind == 2 ? fo * fo : e * fo;
        }
        int nseen = 0;
        for (int j = 0; j < nsym; ++j) {
            int hp[3] = {0, 0, 0};
            for (int r = 0; r < 3; ++r)
                for (int s = 0; s < 2; ++s) {
                    const int c = TAPE.I(tape::kRot + 6 * j + 2 * r + s);
                    if (c != 0 && std::abs(c) <= 3) hp[std::abs(c) - 1] += (c > 0 ? 1 : -1) * hkl[r];
                }
            const int sgn = (hp[2] < 0 || (hp[2] == 0 && hp[0] < 0) || (hp[2] == 0 && hp[0] == 0 && hp[1] < 0)) ? -1 : 1;
            for (int& v : hp) v *= sgn;
            bool beyond = false;
            for (int r = 0; r < 3 && !beyond; ++r) {
                if (std::abs(hp[r]) >= grid[r] / 2) beyond = true;
                else TRAN.I(tran::kHmax + r) = std::max(TRAN.I(tran::kHmax + r), std::abs(hp[r]));
            }
            if (beyond) continue;
            const int32_t key = coef::biased_index(hp[0], hp[1], hp[2]);
            if (std::find(seen, seen + nseen, key) != seen + nseen) continue;
            seen[nseen++] = key;
            // Phase shift -360 h.t in steps of 30 degrees, t in 1..12.
            int t = -(hkl[0] * trans12[j][0] + hkl[1] * trans12[j][1] + hkl[2] * trans12[j][2]) % 12;
            if (t <= 0) t += 12;
            const float c = sine[t + 3], s = sine[t];
            const float ap = a * c - b * s;
            const float bp = static_cast<float>(sgn) * (a * s + b * c);
            sum += std::sqrt(static_cast<double>(ap) * ap + static_cast<double>(bp) * bp);
            rec[static_cast<std::size_t>(in_record)] = word_of_int(key);
            rec[static_cast<std::size_t>(coef::kPerRecord + 2 * in_record)] = word_of_real(ap);
            rec[static_cast<std::size_t>(coef::kPerRecord + 2 * in_record + 1)] = word_of_real(bp);
            ++stored;
            if (++in_record == coef::kPerRecord) flush();
        }
    }
    if (in_record > 0) flush();
    CONST.I(konst::kCoefficients) = stored;
    return sum;
}

void EXPAND(int& nrefl, int icyc, float& cfom, int& ierr) {
    const int kind = UREQ1.I(ureq1::kMapKind);
    int flag = 0, n = 0;
    INPTF(flag, n);
    if (icyc > 1) n = RC.I(rcw::kReflections);
    n = std::clamp(n, 0, stage::kMaxReflections);

    float sigm = -1.0f;
    // Without phase sets there is no E-map to make. The count of reflections
    // to phase is then no guide either: after %data alone it is a default
    // for the cell contents, not a count of the stored reflections.
    if (kind == 0 && icyc <= 1 && !list_stored(16)) {
        no_phase_sets();
        ierr = -1;
        return;
    }
    if (kind == 0) {
        GETREF(sigm, icyc, flag, n);
        XSPINB();
        if (icyc <= 1) {
            if (!take_phase_set(n)) {
                ierr = -1;
                return;
            }
        } else if (!recycling_step(icyc, n, sigm)) {
            ierr = 1;
            return;
        }
        // A4 := weight, A2 := phase, A1 := amplitude x weight.
        for (int i = 1; i <= n; ++i) {
            const float weight = stage::A2(i);
            stage::A4(i) = weight;
            stage::A2i(i) = stage::A3i(i);
            stage::A1(i) *= weight;
        }
    }

    int nadd = 0;
    float err = 0.0f, werr = 0.0f;
    if (kind == 0 && icyc <= 1) {
        if (UREQ1.I(ureq1::kNoPsiE) == 0) GPSIE(n, err, werr, nadd);
        nrefl = n;
        figure_box(CONST.I(konst::kSetNumber));
        cfom = MISC.R(misc::kCfom);
    }
    if (n == 0) {
        lst_line(" *** error *** no reflections supplied");
        ierr = -1;
        return;
    }
    if (icyc <= 1) {
        if (nadd == 0) {
            lst_blank(3);
        } else {
            if (UREQ.I(ureqw::kKnown) != 0) {
                lst_line("                  mean phase error  " + fmt_f(err, 9, 2));
                lst_line("         weighted mean phase error  " + fmt_f(werr, 9, 2));
            }
            lst("(' number of added psi-e reflections  ',i6)", {nadd});
        }
    }
    if (kind == 0) {
        for (int i = 1; i <= n; ++i) {
            const int phase = stage::A2i(i);
            const float amplitude = stage::A1(i);
            stage::A1(i) = amplitude * cos_deg(phase);
            stage::A2(i) = amplitude * sin_deg(phase);
        }
    }

    float grid = CONST.R(konst::kGrid);
    const float edges[3] = {map_cell(1), map_cell(2), map_cell(3)};
    int points[3];
    choose_grid(grid, edges, points);
    CONST.R(konst::kGrid) = grid;
    for (int i = 0; i < 3; ++i) CONST.I(konst::kNx + i) = points[i];

    if (icyc <= 1) {
        const int hkl_max[3] = {TRAN.I(tran::kHmax), TRAN.I(tran::kKmax), TRAN.I(tran::kLmax)};
        data_box(hkl_max, n);
    }
    const double sum = expand_to_hemisphere(n, kind, flag);
    // The integer map is the density times this scale.
    TRAN.R(tran::kScale) = sum > 0.0 ? static_cast<float>(kMapScaleSum / sum) : 1.0f;
    if (icyc <= 1) {
        box_int("i      Number of reflections in one hemisphere  i", CONST.I(konst::kCoefficients));
        box_real("i                                        Scale  i", TRAN.R(tran::kScale));
        box_rule();
        fourier_heading("***   E-map interpretation  ***", true);
    }
    if (TRAN.I(tran::kPrintUnit) > 0) {
        lst("(' fourier map to be printed from x =  0.0  to',f7.3,',  y =  0.0  to',f7.3,',  z =  0.0  to',f7.3)",
            {TRAN.R(tran::kFraction), TRAN.R(tran::kFraction + 1), TRAN.R(tran::kFraction + 2)});
        lst("(' points underlined if greater than',i5)", {TRAN.I(tran::kUnderline)});
    }
}

}  // namespace zanek
