#include "crystaldata/normal.h"

#include <algorithm>
#include <cmath>

#include "crystaldata/data_command.h"
#include "crystaldata/equivalents.h"
#include "crystaldata/evalues.h"
#include "crystaldata/pseudo.h"
#include "crystaldata/fragment.h"
#include "crystaldata/special.h"
#include "crystaldata/spacegroup.h"
#include "crystaldata/wilson.h"
#include "jobcontrol/commands.h"
#include "jobcontrol/lists/list01.h"
#include "jobcontrol/lists/list03.h"
#include "jobcontrol/lists/list07.h"
#include "jobcontrol/numeric.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/normal.h"
#include "jobcontrol/records/scatter.h"
#include "jobcontrol/records/special.h"
#include "jobcontrol/store/store.h"
#include "jobcontrol/text.h"
#include "platform/listing.h"

namespace zanek {

namespace {

WorkingFile g_work;

// Defaults of the directives, set at every %normal.
constexpr float kStrongLimit = 1.2f;   // RC word 20
constexpr float kWeakLimit = 0.4f;     // RC word 22
constexpr int kWeakWanted = 166;       // RC word 21
constexpr float kRhoMax = 1.0f;        // RC word 23
constexpr int kDefaultSeed = list7::kDefaultSeed;

// Pseudo-translation class codes (CPSEUD word 1).
constexpr int kNoRequest = -1, kAutomatic = 0, kGivenConditions = 74, kNoCondition = -2;

// Form factor of species t at s^2 = (sin(theta)/lambda)^2; a term whose
// exponent passes 60 is left out.
double form_factor(int t, double s2) {
    double f = sf::c(t);
    for (int k = 1; k <= 4; ++k) {
        double e = sf::b(t, k) * s2;
        if (e > 60.0) continue;
        f += sf::a(t, k) * std::exp(-e);
    }
    return f;
}

double power_at(double s, const float* counts) {
    double sum = 0.0;
    const double s2 = s * s;
    for (int t = 1; t <= std::clamp(sf::species(), 0, sf::kMaxSpecies); ++t) {
        double f = form_factor(t, s2);
        sum += counts[t - 1] * f * f;
    }
    return sum;
}

// The N_t (whole content) and R_t (atoms not yet located) of the last
// table build.
float g_content[sf::kMaxSpecies] = {};
float g_unlocated[sf::kMaxSpecies] = {};

// Three-point interpolation at s in the table of AT words first+1 ..
// first+142; beyond the table the power of `counts` is computed directly.
float interpolated_power(float s, int first, const float* counts) {
    double x = 100.0 * s;
    int i = std::max(static_cast<int>(x + 1.5), 2);
    if (i + 1 > kPowerPoints) return static_cast<float>(power_at(s, counts));
    double u = x - (i - 1);
    double ym = AT.R(first + i - 1), y0 = AT.R(first + i), yp = AT.R(first + i + 1);
    double a = (yp - ym) / 2.0;
    double c = a + ym - y0;
    return static_cast<float>(y0 + u * a + u * u * c);
}

bool list_present(int type) {
    int serial = 0, first = -1, last = 0, part = 0, length = 0;
    SRLIN(type, serial, first, last, part, length);
    return first > 0;
}

void directive_error(const std::string& line) { lst("(' error in directive : ',a80)", {padded(line, 80)}); }

// Reads the numbers of a directive: false after a number error.
bool numbers(const std::string& rest, float r[40], int i[40], int& n) {
    int iflag = 0;
    GETNUM(rest, r, i, n, iflag);
    return iflag != -1;
}

// pseu: none (automatic search), one class number, or conditions a b c n.
bool read_pseu(const float* r, const int* iv, int n) {
    for (int w = cpseud::kClass; w < cpseud::kWithModulus; ++w) CPSEUD.I(w) = 0;
    if (n == 0) {
        CPSEUD.I(cpseud::kClass) = kAutomatic;
        return true;
    }
    if (n == 1) {
        int k = iv[0];
        CPSEUD.I(cpseud::kClass) = (k >= 2 && k <= 72) ? k : kNoRequest;
        return true;
    }
    if (n > 12) return false;  // three conditions at most
    for (int j = 0; j < n; ++j) cpseud::condition_word(1 + j) = iv[j];
    int conditions = 0;
    for (int c = 0; c < 3; ++c)
        if (cpseud::n(c + 1) != 0) ++conditions;
    CPSEUD.I(cpseud::kWithModulus) = conditions;
    CPSEUD.I(cpseud::kClass) = conditions > 0 ? kGivenConditions : kNoCondition;
    (void)r;
    return conditions > 0;
}

}  // namespace

WorkingFile& working_file() { return g_work; }

int wilson_shell_count(int n) {
    double x = 8.0 * std::log10(0.05 * std::max(n, 100) + 0.5);
    return std::min(static_cast<int>(x), kMaxWilsonShells);
}

void multiplicity_epsilon(int h, int k, int l, int& q, int& eps) {
    const int nsym = SYM.I(symw::kOps);
    q = 1;
    eps = 1;
    if (nsym <= 1) return;
    const int hv[3] = {h, k, l};
    int same = 0, opposite = 0;
    for (int m = 2; m <= std::min(nsym, 24); ++m) {
        int hp[3] = {0, 0, 0};
        for (int i = 0; i < 3; ++i) {
            for (int s = 1; s <= 2; ++s) {
                int c = sym_row_code(m, i + 1, s);  // row code: signed column number
                if (c != 0) hp[std::abs(c) - 1] += (c > 0 ? 1 : -1) * hv[i];
            }
        }
        if (hp[0] == h && hp[1] == k && hp[2] == l) ++same;
        else if (hp[0] == -h && hp[1] == -k && hp[2] == -l) ++opposite;
    }
    q = nsym / (1 + same + opposite);
    double e = 1.0 + same + (SYM.I(symw::kCentric) != 0 ? opposite : 0);
    eps = static_cast<int>(e + 0.5);
}

void build_power_tables(const float* located_counts) {
    const int nt = std::clamp(sf::species(), 0, sf::kMaxSpecies);
    for (int t = 1; t <= nt; ++t) {
        g_content[t - 1] = static_cast<float>(sf::count(t));
        g_unlocated[t - 1] = located_counts ? located_counts[t - 1] : g_content[t - 1];
    }
    for (int i = 1; i <= kPowerPoints; ++i) {
        double s = 0.01 * (i - 1);
        AT.R(i) = static_cast<float>(power_at(s, g_content));
        AT.R(kPowerPoints + i) = static_cast<float>(power_at(s, g_unlocated));
    }
}

float scattering_power(float s) { return interpolated_power(s, kPowerPoints, g_unlocated); }

float content_scattering_power(float s) { return interpolated_power(s, 0, g_content); }

void HKLINP(WorkingFile& wf, int& IERR) {
    RC.R(rcw::kLargestS2) = -999.9f;  // largest s^2, raised below
    // Opening list 7 reloads its header: keep what the directives set.
    const int32_t want_nref = RC.I(rcw::kNref), want_nzro = RC.I(rcw::kNzro);
    const Word b = C.W(cw::kB), scale = C.W(cw::kScale);
    const int32_t state = partial_state();  // a `part` directive may have set it
    int n = 0, nref = 0, nzro = 0, ip = 0, x = 0;
    YSFL07(n, nref, nzro, ip, x);
    RC.I(rcw::kNref) = want_nref;
    RC.I(rcw::kNzro) = want_nzro;
    C.W(cw::kB) = b;
    C.W(cw::kScale) = scale;
    partial_state() = state;
    wf.assign(static_cast<std::size_t>(std::max(n, 0)), WorkRecord{});
    Word out[9];
    for (int j = 0; j < n; ++j) {
        SNR07(out);
        WorkRecord& r = wf[static_cast<std::size_t>(j)];
        r.h = out[0].i;
        r.k = out[1].i;
        r.l = out[2].i;
        r.key = out[3];
        r.fo = out[4].r;
        r.phase = out[7].i % 32768;
        r.sigma = out[8].r;
        float s = RHOF(s2_coefficients(), r.h, r.k, r.l);
        r.s2 = s * s;
        r.code = 0;
        r.fc = 1.0f;
        RC.R(rcw::kLargestS2) = std::max(RC.R(rcw::kLargestS2), r.s2);
    }
    (void)IERR;
}

void FCAL(WorkingFile& wf) {
    const float L = SYM.R(symw::kLatticePoints);
    // Known-fragment pass: the working file comes from list 7 itself.
    const bool fragment_pass = partial_state() == kPartialInUse;
    if (fragment_pass) fragment_working_file(wf);
    for (WorkRecord& r : wf) {
        RC.R(rcw::kLargestS2) = std::max(RC.R(rcw::kLargestS2), r.s2);
        int q = 1, eps = 1;
        multiplicity_epsilon(r.h, r.k, r.l, q, eps);
        float sigma_s = scattering_power(std::sqrt(r.s2));
        double denom = static_cast<double>(L) * eps * sigma_s;
        double fo2 = static_cast<double>(r.fo) * r.fo;
        double ic = fo2;  // intensity of word 10: Fc^2 of the fragment in its pass
        int p = kNoFragmentPhase;
        if (fragment_pass) {
            float fc = 0.0f;
            fragment_structure_factor(r, fc, p);
            ic = static_cast<double>(fc) * fc;
            r.fc = std::copysign(fc, r.fc);
        }
        r.code = work_code(q, eps);
        r.phase = p * 32768 + r.phase % 32768;
        r.v = static_cast<float>(fo2 / denom);
        r.z = static_cast<float>(ic / denom);
        r.eps_sigma = static_cast<float>(eps * static_cast<double>(sigma_s));
    }
}

void DIRNOR(int& A1, int& NOWIL, float& SIG3, std::string& LINE, int& IERR, int& SEED) {
    // Second reading, before the known-fragment pass: no directive line.
    if (UREQ.I(ureqw::kWork) != 0) {
        NOWIL = -1;
        if (!second_fragment_reading()) IERR = -1;
        return;
    }
    // First reading: defaults.
    A1 = 0;
    SEED = kDefaultSeed;
    NOWIL = -1;
    for (int w = atomsw::kFragments; w <= atomsw::kFragmentTableEnd; ++w) ATOMS.I(w) = 0;
    for (int slot = 1; slot <= kMaxAtoms; ++slot) {        // atom records
        for (int j = 1; j <= 5; ++j) atom_coord(slot, j) = 0.0f;
        atom_label_word(slot) = species_word("");
    }
    UREQ.I(ureqw::kPrint) = 0;
    UREQ.I(ureqw::kKept) = 0;
    UREQ.I(ureqw::kPartial) = 0;
    CPSEUD.I(cpseud::kClass) = kNoRequest;
    CPSEUD.I(cpseud::kWithModulus) = 0;
    RC.R(rcw::kELimit) = kStrongLimit;
    RC.R(rcw::kWeakE) = kWeakLimit;
    RC.R(rcw::kRhomax) = kRhoMax;
    RC.R(rcw::kSpare) = 0.0f;

    // The lists the command needs; every missing one is reported.
    bool missing = false;
    if (!list_present(1)) {
        lst_blank();
        lst_line(" *** error *** no cell parameters present ");
        missing = true;
    } else {
        YFL01();
    }
    if (!list_present(2)) {
        lst_blank();
        lst_line(" *** error *** no space group symbol present ");
        missing = true;
    } else {
        YFL02();
        if (SYM.I(symw::kCentric) == 1) NEWMAT();
        MUSYM(&erl_R(1, 1, 1), &erl_T(1, 1), SYM.I(symw::kOps), &sym_row_code(1, 1, 1), &sym_translation(1, 1));
    }
    // The special-position library (occupancy 1/m of fragment atoms given
    // without one) is built afresh from the symmetry and cell just loaded.
    if (list_present(1) && list_present(2)) {
        SPEC.I(kSpecReady) = -1;
        XSPINB();
    }
    if (!list_present(3)) {
        lst_blank();
        lst_line(" *** error *** no cell content present ");
        missing = true;
    } else {
        YFL03();
    }
    if (!list_present(7)) {
        lst_blank();
        lst_line(" *** error *** no reflections  present ");
        missing = true;
    } else {
        int n = 0, nref = 0, nzro = 0, ip = 0;
        YSFL07(n, nref, nzro, ip, SEED);
        RC.I(rcw::kReflections) = n;
        SIG3 = SYM.R(symw::kSigma3);
        RC.I(rcw::kNzro) = kWeakWanted;
        FRGMT.I(frgmt::kNref) = RC.I(rcw::kNref);
        FRGMT.I(frgmt::kNzro) = RC.I(rcw::kNzro);
    }
    if (missing) {
        skip_directives();
        IERR = -1;
        return;
    }

    // The directive lines.
    const int count = directive_count();
    bool failed = false;
    int lineno = 0;
    bool pending = false;  // a directive line left behind by the atoms of part
    DataDirectives fragment_input;
    while (!failed) {
        if (!pending) {
            if (lineno >= count) break;
            LINE = next_directive_line();
            ++lineno;
        }
        pending = false;
        std::string rest = LINE;
        int n = 0, m = 0;
        SHIFT(rest, n);
        std::string word(40, ' ');
        CUTST(rest, n, word, m);
        LCASE(word);
        const std::string key = word.substr(0, 4);
        if (key == "part") {
            // The atoms of a known fragment are read into the fragment table.
            if (ATOMS.I(atomsw::kFragments) >= kMaxFragments) {
                directive_error(LINE);
                failed = true;
                break;
            }
            const int f = ++ATOMS.I(atomsw::kFragments);
            atomsw::fragment_type(f) = kPartialFragmentType;
            partial_state() = kPartialRequested;
            int ierr = 0;
            GETFRG(rest, n, LINE, lineno, count, fragment_input, ierr);
            if (ierr < 0) {
                directive_error(LINE);
                failed = true;
            }
            pending = ierr == 0;
            continue;
        }
        float r[40];
        int iv[40];
        int nnum = 0;
        bool ok = numbers(rest, r, iv, nnum);
        auto exactly_one = [&]() { return ok && nnum == 1; };
        if (key == "nref") {
            if ((ok = exactly_one())) RC.I(rcw::kNref) = iv[0];
        } else if (key == "nzro") {
            if ((ok = exactly_one())) RC.I(rcw::kNzro) = iv[0];
        } else if (key == "prin") {
            if ((ok = exactly_one())) UREQ.I(ureqw::kPrint) = iv[0];
        } else if (key == "bfac") {
            if ((ok = exactly_one())) {
                C.R(cw::kB) = r[0];
                NOWIL = 0;
            }
        } else if (key == "pseu") {
            ok = ok && read_pseu(r, iv, nnum);
        } else {
            lst_line(" wrong directive on following line:");
            lst_line(LINE);
            failed = true;
            continue;
        }
        if (!ok) {
            directive_error(LINE);
            failed = true;
        }
    }
    // The rest of the command's lines are not read after a failure.
    while (lineno < count) {
        next_directive_line();
        ++lineno;
    }
    if (failed) {
        IERR = -1;
        return;
    }
    IMPL.I(implw::kReflectionUnit) = UNIT.I(unitw::kCommands);
    // The known fragments (their atoms typed, and in the fragment pass
    // taken off the content) and the scattering-power tables.
    fragment_site_occupancies(fragment_input.site_occupancy_slots);
    if (!finish_fragment_directives(NOWIL == 0)) IERR = -1;
}

void NORMAL(int& IERR) {
    command_heading(" ZANEK : Normalization routine         ", HeadingEnd::TwoEmpty);

    // A list 7 that carries a known fragment or a pseudo-translation of an
    // earlier run cannot be normalised again.
    if (list_present(7)) {
        int n = 0, nref = 0, nzro = 0, ipseudo = 0, x = 0;
        YSFL07(n, nref, nzro, ipseudo, x);
        if (UREQ.I(ureqw::kPartial) != 0 || ipseudo != 0) {
            lst_blank(2);
            lst_line(" *** error ***  PARTIAL or PSEUDO have been used");
            lst_line("                in a previous run of ZAN.       ");
            lst_line("                Restart from %DATA.             ");
            skip_directives();
            IERR = -1;
            return;
        }
    }
    RC.R(rcw::kLargestS2) = 0.0f;
    for (int w = cpseud::kConditions; w < cpseud::kWithModulus; ++w) CPSEUD.I(w) = 0;
    BUFFER.I(bufw::kWorkRecordsPerBlock) = 39;
    BUFFER.I(bufw::kWorkRecordWords) = 13;
    UREQ.I(ureqw::kMultiUse) = 160000;
    UREQ.I(ureqw::kWork) = 0;
    SHELL.clear();
    WorkingFile& wf = working_file();
    wf.clear();

    int a1 = 0, nowil = -1, seed = kDefaultSeed;
    float sig3 = 0.0f;
    std::string line;
    DIRNOR(a1, nowil, sig3, line, IERR, seed);
    if (IERR < 0) return;

    // With a known fragment on data not yet normalised the steps run twice:
    // first with the whole cell content, then as the known-fragment pass.
    float b0 = 0.0f, s0 = 0.0f;  // B and scale of the first pass, handed on
    int nstore = 0;              // pseudo-translation conditions kept with list 7
    for (;;) {
        const int state = partial_state();
        if (state == kPartialInUse && !begin_fragment_pass()) {
            IERR = -1;
            return;
        }
        if (state != kPartialInUse) {
            HKLINP(wf, IERR);
            if (IERR < 0) return;
            if (state == kPartialRequested && !refuse_generated(wf)) {
                IERR = -1;
                return;
            }
        }
        if (!(scattering_power(0.0f) > 0.0f)) {
            lst_blank();
            lst_line(" *** error *** no cell content present ");
            IERR = -1;
            return;
        }
        if (state == kPartialInUse) {
            FRGMT.R(frgmt::kResidual) = FRGMT.R(frgmt::kFoSum) = 0.0f;
            FCAL(wf);
            if (!refuse_generated(wf)) {
                IERR = -1;
                return;
            }
            print_fragment_residual(static_cast<int>(wf.size()));
        } else {
            FCAL(wf);
        }
        const int n = static_cast<int>(wf.size());
        RC.I(rcw::kReflections) = n;
        RC.I(rcw::kShells) = wilson_shell_count(n);
        if (n <= 0) {
            lst_line(" *** error *** no reflections supplied");
            IERR = -1;
            return;
        }
        if (state == kPartialInUse) {
            // List 7 keeps sigma3/sigma2^1.5 of the whole content in header
            // word 22, that of the atoms not yet located in word 23.
            b0 = C.R(cw::kB);
            s0 = C.R(cw::kScale);
            SYM.R(symw::kSigma3) = sig3;
        }

        if (nowil == -1) {
            if (UREQ.I(ureqw::kPrint) > 0) lst("(' number of points on wilson plot =',i3)", {RC.I(rcw::kShells)});
            SUM(wf, SYM.R(symw::kLatticePoints), IERR);
            if (IERR < 0) {
                wf.clear();
                return;
            }
            PLOTW();
        }
        C.R(cw::kB) = 2.0f * C.R(cw::kB);  // the rescaling works with 2B
        if (nowil != -1) C.R(cw::kScale) = 1.0f;
        if (state != kPartialInUse) {
            RESCA(wf, IERR);
            if (IERR < 0) {
                C.R(cw::kB) = C.R(cw::kB) / 2.0f;
                wf.clear();
                return;
            }
            // Pseudo-translational symmetry (with 2B in C word 143); list 19.
            if (state == kPartialNone) pseudo_translation_of_normal(nstore, IERR);
            lst_blank(2);
            lst_line(" " + std::string(120, '+'));
        }
        C.R(cw::kB) = C.R(cw::kB) / 2.0f;

        ECAL(wf, nstore, seed, b0, s0, IERR);
        if (IERR < 0) break;
        if (state != kPartialRequested) break;
        // The known-fragment pass follows.
        UREQ.I(ureqw::kWork) = 1;
        DIRNOR(a1, nowil, sig3, line, IERR, seed);
        if (IERR < 0) break;
    }
    XDUMP();
    wf.clear();
    wf.shrink_to_fit();
}

}  // namespace zanek
