// The %fourier command: directives, the E-map from a phase set (or a start
// from known fragment atoms), Fourier recycling under the stop rule, and
// the final interpretation of the model.
#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <string>

#include "crystaldata/special.h"
#include "fourier/fourier_records.h"
#include "fourier/interpretation/interpretation.h"
#include "fourier/maps/coefficients.h"
#include "fourier/maps/fft3d.h"
#include "fourier/maps/fourier.h"
#include "fourier/maps/maps_internal.h"
#include "fourier/maps/peaks.h"
#include "jobcontrol/commands.h"
#include "jobcontrol/files.h"
#include "jobcontrol/lists/list03.h"
#include "jobcontrol/lists/list07.h"
#include "jobcontrol/lists/list15.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/scatter.h"
#include "jobcontrol/records/special.h"
#include "jobcontrol/text.h"
#include "platform/listing.h"
#include "platform/units.h"

namespace zanek {

namespace {

constexpr float kDefaultGrid = 0.33333334f;
constexpr int kDefaultCycles = 100;
constexpr int kDefaultUnderline = 100;
constexpr int kCarbon = 6;

// The result codes of the interpretation, one per peak; they outlive the
// command (the export and the restart continue from them).
std::array<int32_t, kMaxAtoms> g_codes{};

int print_level() { return UREQ.I(ureqw::kPrint); }

// --- Directives ----------------------------------------------------------------

void directive_error(const std::string& line) { lst("(' error in directive : ',a80)", {padded(line, 80)}); }

// Species k (1..) of the cell content whose symbol matches the first two
// characters of word; 0 when none (the last match counts).
int species_of_symbol(const std::string& word) {
    std::string s = padded(word, 2);
    LCASE(s);
    int found = 0;
    for (int t = 1; t <= std::min(sf::species(), sf::kMaxSpecies); ++t) {
        const char* p = reinterpret_cast<const char*>(&sf::symbol(t));
        if (p[0] == s[0] && p[1] == s[1]) found = t;
    }
    return found;
}

// Numbers of the rest of a directive line; false after a bad character.
bool numbers(const std::string& rest, float r[40], int iv[40], int& n) {
    int flag = 0;
    GETNUM(rest, r, iv, n, flag);
    return flag != -1;
}

bool keyword(const std::string& word, const char* key) {
    const std::size_t n = std::char_traits<char>::length(key);
    return padded(word, n) == key;
}

// Loads the cell content and the reflection-list header when they are
// stored, so that the directives can be checked against them in a later
// run too.
void load_content_and_header() {
    if (list_stored(3)) YFL03();
    if (list_stored(7)) {
        int n = 0, nref = 0, nzro = 0, ip = 0, seed = 0;
        YSFL07(n, nref, nzro, ip, seed);
    }
}

void set_directive_defaults(int& frag) {
    SPEC.I(kSpecReady) = -1;
    for (int k = 1; k <= sf::kMaxSpecies; ++k) INPCL.R(inpcl::kRadius + k) = -1.0f;
    EMAP.R(emap::kFomi) = -1.0f;
    EMAP.R(emap::kSigm) = -1.0f;
    INPCL.R(inpcl::kDmax) = 0.0f;
    UREQ1.I(ureq1::kSectionAxis) = 1;
    frag = 0;
    for (int w = 1; w <= 51; ++w) INPCL.I(w) = 0;
    UREQ.I(ureqw::kPrint) = 0;
    UREQ1.I(ureq1::kNoPsiE) = 0;
    SDIR.I(sdir::kPeaks) = SDIR.I(sdir::kProjections) = SDIR.I(sdir::kNoInterpretation) = 0;
    TRAN.I(tran::kPrintUnit) = 0;
    CONST.I(konst::kSetNumber) = 0;
    for (int i = 0; i < 3; ++i) TRAN.R(tran::kFraction + i) = 1.0f;
    CONST.R(konst::kGrid) = kDefaultGrid;
    EMAP.I(emap::kCycleLimit) = -kDefaultCycles;
    INPCL.I(inpcl::kRegroup) = 1;
    TRAN.I(tran::kUnderline) = kDefaultUnderline;
}

// "frag": opens the fragment file named by the rest of the line.
bool open_fragment(const std::string& rest, int& frag) {
    const int unit = IMPL.I(implw::kFormUnit);
    std::string name = rtrim(rest);
    int st = 0;
    if (JOPEN(unit, name, 0, 2, 1, st)) {
        lst("(' *** error ***  open error - code =',i5,'.  Fragment file name is ',a)", {st, name});
        return false;
    }
    frag = -unit;
    return true;
}

// "coor": element, minimum, maximum, optional coordination type.
bool read_coordination(const std::string& line, std::string rest) {
    int n = 0, m = 0;
    std::string element(40, ' ');
    CUTST(rest, n, element, m);
    float r[40];
    int iv[40], count = 0;
    if (m < 1 || !numbers(rest, r, iv, count) || count < 2) {
        directive_error(line);
        return false;
    }
    const int e = INPCL.I(inpcl::kCount) + 1;
    if (e > inpcl::kMaxEntries) {  // the table holds ten entries
        directive_error(line);
        return false;
    }
    LCASE(element);
    if (r[1] - r[0] <= 0.0001f) {
        lst_line(" *** warning ***  minimum and maximum are zero or wrong");
        lst_line("                  in directive " + rtrim(line));
        lst_line("                  default values for element " + element.substr(0, 2) + " will be used");
        return true;
    }
    int type = 0;
    if (count >= 3) {
        type = iv[2];
        if (type > 3 || type < 0) {
            lst("(' coordination type = ',i5,'  not expected')", {type});
            return false;
        }
    }
    INPCL.I(inpcl::kCount) = e;
    INPCL.W(inpcl::kElement + e) = species_word(element.substr(0, 2));
    INPCL.R(inpcl::kMin + e) = r[0];
    INPCL.R(inpcl::kMax + e) = r[1];
    INPCL.I(inpcl::kType + e) = type;
    return true;
}

// "radi": element of the cell content and its radius.
bool read_radius(const std::string& line, std::string rest) {
    int n = 0, m = 0;
    std::string element(40, ' ');
    CUTST(rest, n, element, m);
    LCASE(element);
    const int k = species_of_symbol(element);
    if (k == 0) {
        lst("(' Element ',a2,' not present in the declared content')", {element.substr(0, 2)});
        directive_error(line);
        return false;
    }
    float r[40];
    int iv[40], count = 0;
    if (!numbers(rest, r, iv, count) || count != 1) {
        directive_error(line);
        return false;
    }
    INPCL.R(inpcl::kRadius + k) = r[0];
    return true;
}

// --- Fragment start -------------------------------------------------------------

void check_file_error(int& ierr) {
    lst_blank();
    lst_line(" *** error ***  check coordinate file ");
    lst_blank();
    ierr = -1;
}

}  // namespace

void DEFCO(int& nwork) {
    SDIR.R(sdir::kMerge) = kMergeDistance;
    KUSE.I(kuse::kMark) = 10000;
    KUSE.I(kuse::kCapacity) = kPeakCapacity;
    KUSE.I(kuse::kBufferWords) = kPeakBufferWords;
    nwork = kFftWorkWords;
}

void DIRFOU(int& frag, int& ierr) {
    set_directive_defaults(frag);
    load_content_and_header();
    std::string last_line;
    for (int k = directive_count(); k > 0; --k) {
        const std::string line = next_directive_line();
        last_line = line;
        const DirectiveLine d = split_directive(line);
        const std::string& rest = d.rest;
        const std::string& word = d.word;
        float r[40];
        int iv[40], count = 0;
        // The numeric directives: exactly `want` numbers (the first an integer for some).
        auto want = [&](int wanted) {
            if (!numbers(rest, r, iv, count) || count != wanted) {
                directive_error(line);
                ierr = -1;
                return false;
            }
            return true;
        };
        if (keyword(word, "layy")) UREQ1.I(ureq1::kSectionAxis) = 1;
        else if (keyword(word, "layx")) UREQ1.I(ureq1::kSectionAxis) = 2;
        else if (keyword(word, "layz")) UREQ1.I(ureq1::kSectionAxis) = 3;
        else if (keyword(word, "frag")) {
            if (!open_fragment(rest, frag)) ierr = -1;
        } else if (keyword(word, "radi")) {
            if (!read_radius(line, rest)) ierr = -1;
        } else if (keyword(word, "coor")) {
            if (!read_coordination(line, rest)) ierr = -1;
        } else if (keyword(word, "fomi")) {
            if (want(1)) EMAP.R(emap::kFomi) = r[0];
        } else if (keyword(word, "sigm")) {
            if (want(1)) EMAP.R(emap::kSigm) = r[0];
        } else if (keyword(word, "ls")) {
            if (want(1)) EMAP.I(emap::kLs) = iv[0];
        } else if (keyword(word, "peak")) {
            if (want(1)) SDIR.I(sdir::kPeaks) = iv[0];
        } else if (keyword(word, "prin")) {
            if (want(1)) UREQ.I(ureqw::kPrint) = iv[0];
        } else if (keyword(word, "dmax")) {
            if (want(1)) INPCL.R(inpcl::kDmax) = r[0];
        } else if (keyword(word, "proj")) {
            if (want(1)) SDIR.I(sdir::kProjections) = iv[0];
        } else if (keyword(word, "noin")) {
            SDIR.I(sdir::kNoInterpretation) = 1;
        } else if (keyword(word, "psej")) {
            UREQ1.I(ureq1::kNoPsiE) = 1;
        } else if (keyword(word, "set")) {
            if (want(1)) CONST.I(konst::kSetNumber) = iv[0];
        } else if (keyword(word, "tan")) {
            CONST.I(konst::kSetNumber) = konst::kSetBeforeLast;
        } else if (keyword(word, "kno")) {
            CONST.I(konst::kSetNumber) = konst::kLastSet;
        } else if (keyword(word, "rec")) {
            // Ignored unless exactly one number is given; a negative count
            // would start recycling without a map.
            if (!numbers(rest, r, iv, count) || (count == 1 && iv[0] < 0)) {
                directive_error(line);
                ierr = -1;
            } else if (count == 1) {
                EMAP.I(emap::kCycleLimit) = -iv[0];
            }
        } else if (keyword(word, "leve")) {
            if (want(1)) TRAN.I(tran::kUnderline) = iv[0];
        } else if (keyword(word, "grid")) {
            if (want(1)) {
                if (r[0] > 0.0f) {
                    CONST.R(konst::kGrid) = r[0];
                } else {  // no grid of zero or negative spacing
                    directive_error(line);
                    ierr = -1;
                }
            }
        } else if (keyword(word, "limi")) {
            if (want(3))
                for (int i = 0; i < 3; ++i) TRAN.R(tran::kFraction + i) = std::min(r[i], 1.0f);
        } else if (keyword(word, "map")) {
            TRAN.I(tran::kPrintUnit) = UNIT.I(unitw::kListing);
        } else {
            lst_line(" wrong directive on following line:");
            lst_line(rtrim(line));
            ierr = -1;
        }
        if (ierr < 0) {
            // The rest of the command's lines are not read as directives.
            for (--k; k > 0; --k) next_directive_line();
            return;
        }
    }
    if (EMAP.R(emap::kSigm) > 0.0f && UREQ.I(ureqw::kSigma) == 0) {
        lst_line(" *** warning ***  no suitable sigma(F) in data");
        lst_line("                  SIGMA directive ignored");
        EMAP.R(emap::kSigm) = -1.0f;
    }
    for (int e = 1; e <= INPCL.I(inpcl::kCount); ++e) {
        const char* p = reinterpret_cast<const char*>(&INPCL.W(inpcl::kElement + e));
        const std::string symbol(p, 2);
        if (species_of_symbol(symbol) == 0) {
            lst("(' Element ',a2,' not present in the declared content')", {symbol});
            directive_error(last_line);
            ierr = -1;
            return;
        }
    }
}

void GETPLT(int& frag, int& ierr) {
    const int unit = -frag;
    TEMP.R(tempw::kBondCount) = -1.0f;
    CONST.I(konst::kAtomCount) = 0;
    for (int w = 1; w <= 5 * kMaxAtoms; ++w) ATOMS.R(w) = 0.0f;
    int count = 0;
    std::string line;
    while (units().read_line(unit, line) == IO_OK) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        int n = 0, m = 0;
        SHIFT(line, n);
        if (n < 0) continue;  // a blank line holds no atom
        std::string word(40, ' ');
        CUTST(line, n, word, m);
        LCASE(word);
        int z = 0;
        if (m >= 3) {
            z = kCarbon;  // a long name is not looked up
        } else {
            const int t = species_of_symbol(word);
            z = t > 0 ? sf::z(t) : 0;
        }
        if (z == 0 || count == kMaxAtoms) {  // unknown element, or more atoms than the list holds
            units().close(unit);
            check_file_error(ierr);
            return;
        }
        float r[40];
        int iv[40], k = 0, flag = 0;
        GETNUM(line, r, iv, k, flag);
        ++count;
        atom_label(count) = 100 * z + 1;
        for (int c = 1; c <= 3; ++c) atom_coord(count, c) = r[c - 1];
    }
    units().close(unit);
    XSPINB();
    const int nspecies = std::min(sf::species(), sf::kMaxSpecies);
    for (int i = 1; i <= count; ++i) {
        const int z = atom_label(i) / 100;
        int k = 0;
        for (int t = 1; t <= nspecies; ++t)
            if (sf::z(t) == z) k = t;
        if (k == 0) {
            check_file_error(ierr);
            return;
        }
        atom_label(i) = 100 * k + 1;
        atom_coord(i, 4) = static_cast<float>(100 * z + k);
        SiteWork work;
        float p[11] = {atom_coord(i, 1), atom_coord(i, 2), atom_coord(i, 3)}, pnew[11];
        int kode[10];
        KSPECB(work, p, pnew, kode, 0, 0, 0, 1);
        atom_coord(i, 5) = 1.0f / static_cast<float>(std::max(kode[9], 1));
    }
    SORTF(&atom_coord(1, 1), count, 4);
    for (int i = 1; i <= count; ++i) atom_label(i) = 100 * (static_cast<int>(atom_coord(i, 4)) % 100) + 1;
    CONST.I(konst::kAtomCount) = count;
    CONST.I(konst::kSetNumber) = 1;
    FRM15(count, 1, 0);
    int flag = 0, nref = 0;
    INPTF(flag, nref);
    EMAP.I(emap::kFragmentFlag) = -unit;
    frag = unit;

    const float multiplicity = static_cast<float>(SPEC.I(specw::kNsym) * (1 + SPEC.I(specw::kCentric)) * SPEC.I(specw::kLatticePoints));
    lst("(/,' Fragment : known positions for',i5,'  atoms having multiplicity =',f5.1,/)", {count, multiplicity});
    lst("(5x,'type',13x,'x',14x,'y',14x,'z',13x,'occ')");
    for (int i = 1; i <= count; ++i)
        lst("(5x,a2,4f15.4)", {species_label(atom_label(i) / 100), atom_coord(i, 1), atom_coord(i, 2), atom_coord(i, 3),
                               atom_coord(i, 5)});
}

void FFT(int& nrefl, int icyc, float& xatoms, float& cfom, int nwork, int& ierr) {
    EXPAND(nrefl, icyc, cfom, ierr);
    if (ierr == 0) {
        nwork = std::clamp(nwork, 1, kFftWorkWords);
        PP1(&XDATA.R(kMapWorkStart), nwork, CONST.I(konst::kNx), CONST.I(konst::kNy), CONST.I(konst::kNz), ierr);
    }
    // The stop rule makes no map: the last map is not searched again.
    if (ierr == 0) SEARCH(icyc, xatoms, ierr);
}

void STOPR(const std::string& name, int32_t* codes, int& icyc) {
    int n = 0, start = 1, set = 0, bonds = 0;
    SFL15(n, start, set, bonds);
    n = std::clamp(n, 0, kMaxAtoms);
    CONST.I(konst::kAtomCount) = n;
    const int saved_print = print_level();
    if (UREQ.I(ureqw::kPrint) == 0) UREQ.I(ureqw::kPrint) = 2;
    for (int i = 1; i <= n; ++i) {
        atom_label(i) = std::abs(atom_label(i));
        old_atom_label(i) = atom_label(i);
        for (int w = 1; w <= 4; ++w) old_atom_coord(i, w) = atom_coord(i, w);
    }
    // Keep the labelled atoms and the peaks after them higher than half the
    // last labelled one.
    int last = 0;
    for (int i = 1; i <= n; ++i)
        if (atom_label(i) != 0) last = i;
    int kept = n;
    if (last > 0) {
        kept = last;
        for (int i = last + 1; i <= n; ++i)
            if (atom_coord(i, 4) > 0.5f * atom_coord(last, 4)) ++kept;
    }
    CONST.I(konst::kAtomCount) = kept;
    int mode = 4;
    MAINCL(codes, mode, UREQ.I(ureqw::kPrint));
    const int nspecies = sf::species();
    for (int i = 1; i <= kept; ++i) {
        const int saved = old_atom_label(i);
        if (saved == 0) continue;
        const int s = codes[i - 1] <= 0 ? -1 : 1;
        int c = std::abs(codes[i - 1]) % 100;
        if (c == 99) c = 0;
        codes[i - 1] = s * (c + 100 * (nspecies - saved / 100 + 1));
    }
    for (int i = kept + 1; i <= n; ++i) {
        codes[i - 1] = -1;
        atom_label(i) = 0;
    }
    CONST.I(konst::kAtomCount) = n;
    EMAP.I(emap::kStepB) = emap::kFinal;
    mode = 4;
    OUTPEA(name, codes, mode);
    for (int i = 1; i <= n; ++i)
        if (old_atom_label(i) == 0) atom_label(i) = 0;
    EMAP.R(emap::kLastR) = EMAP.R(emap::kR);
    FRM15(n, CONST.I(konst::kSetNumber), 1);
    UREQ.I(ureqw::kPrint) = saved_print;
    icyc = 0;
}

namespace {

// The command: scratch files, directives, the E-map and the recycling
// maps, each followed by the output section.
void run_fourier(std::string& name, int& ierr) {
    EMAP.I(emap::kNextAction) = 0;
    command_heading(" fourier routine", HeadingEnd::AfterTitle);
    int st = 0;
    if (JOPEN(UNIT.I(unitw::kSequentialScratch), "jrel", 0, 1, 2, st)) {
        lst("(' *** error ***  open error on scratch file jrel, code =',i5,',  channel =',i5)", {st, UNIT.I(unitw::kSequentialScratch)});
        ierr = -1;
        return;
    }
    if (JOPEN(UNIT.I(unitw::kIfour), "ifour", 0, 1, 2, st)) {
        lst("(' *** error ***  open error on scratch file ifour, code =',i5,',  channel =',i5)", {st, UNIT.I(unitw::kIfour)});
        ierr = -1;
        return;
    }
    EMAP.R(emap::kPrevR) = 999999.9f;
    EMAP.R(emap::kR) = 1.0f;
    EMAP.I(emap::kStepB) = 0;
    int nwork = 0;
    DEFCO(nwork);

    int frag = 0;
    DIRFOU(frag, ierr);
    if (ierr < 0) return;
    if (frag == 0) {
        lst_line(" " + std::string(120, '+'));
        lst_blank();
        section_banner("***  fast fourier transform section   ***");
    }
    if (C.R(cw::kB) < 0.0f) C.R(cw::kB) = 0.1f;
    for (int w = emap::kDefaultB; w <= emap::kLastB; ++w) EMAP.R(w) = C.R(cw::kB);

    if (frag != 0) {
        const int saved = print_level();
        if (UREQ.I(ureqw::kPrint) == 0) UREQ.I(ureqw::kPrint) = 2;
        GETPLT(frag, ierr);
        if (ierr < 0) return;
        XSPINB();
        FRM15(CONST.I(konst::kAtomCount), CONST.I(konst::kSetNumber), 0);
        UREQ.I(ureqw::kPrint) = saved;
        EMAP.I(emap::kCycleLimit) = kDefaultCycles;
    }
    if (EMAP.I(emap::kCycleLimit) == 0) {
        EMAP.R(emap::kR) = -1.0f;
        EMAP.R(emap::kPrevR) = -1.0f;
    }
    int nrefl = 0;
    float xatoms = 0.0f, cfom = 0.0f;
    if (EMAP.I(emap::kCycleLimit) < 1) {
        const int saved = print_level();
        if (UREQ.I(ureqw::kPrint) == 0) UREQ.I(ureqw::kPrint) = 1;
        FFT(nrefl, 1, xatoms, cfom, nwork, ierr);
        if (ierr < 0) return;
        int mode = 3;
        OUTPEA(name, g_codes.data(), mode);
        FRM15(CONST.I(konst::kAtomCount), CONST.I(konst::kSetNumber), 1);
        EMAP.I(emap::kCycleLimit) = std::abs(EMAP.I(emap::kCycleLimit));
        UREQ.I(ureqw::kPrint) = saved;
    }
    if (EMAP.I(emap::kCycleLimit) > 0) {
        CP1530();
        enum class Stop { Running, IntermediateDone, Last, Final } state = Stop::Running;
        const int last_cycle = EMAP.I(emap::kCycleLimit) + 1;
        for (int c = 2; c <= last_cycle && state != Stop::Final; ++c) {
            if (c == last_cycle) state = Stop::Last;
            DEFCO(nwork);
            FFT(nrefl, c, xatoms, cfom, nwork, ierr);
            if (ierr < 0) break;  // a failing map ends the recycling
            if (ierr == 0) {
                if (state != Stop::IntermediateDone) {
                    int mode = 2;
                    OUTPEA(name, g_codes.data(), mode);
                }
                FRM15(CONST.I(konst::kAtomCount), CONST.I(konst::kSetNumber), 1);
            } else {
                ierr = 0;
                if (state == Stop::Running) {
                    state = Stop::IntermediateDone;
                    const int saved = print_level();
                    if (UREQ.I(ureqw::kPrint) == 0) UREQ.I(ureqw::kPrint) = 1;
                    const int saved_step = EMAP.I(emap::kStepB);
                    EMAP.I(emap::kStepB) = emap::kIntermediate;
                    int mode = 3;
                    OUTPEA(name, g_codes.data(), mode);
                    EMAP.I(emap::kStepB) = saved_step;
                    UREQ.I(ureqw::kPrint) = saved;
                } else {
                    state = Stop::Final;
                }
            }
        }
        if (ierr < 0) return;
        int icyc = last_cycle;
        STOPR(name, g_codes.data(), icyc);
    }
    units().close(UNIT.I(unitw::kSequentialScratch));
    units().close(UNIT.I(unitw::kIfour));
}

}  // namespace

void FOURIE(std::string& name, int& ierr) {
    // Peaks the interpretation cannot take fail the command, not the run.
    if (!interpretations_succeed([&] { run_fourier(name, ierr); })) ierr = -1;
}

}  // namespace zanek
