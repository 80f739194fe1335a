// %restart: the atom edits of its directives, the next-action code and the
// cycle limit, further recycling maps through the one-map routine and the
// end of recycling.
#include "fourier/commands/restart.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <string>

#include "fourier/commands/commands_internal.h"
#include "fourier/fourier_records.h"
#include "fourier/interpretation/interpretation.h"
#include "fourier/maps/fourier.h"
#include "jobcontrol/commands.h"
#include "jobcontrol/files.h"
#include "jobcontrol/lists/list15.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/scatter.h"
#include "jobcontrol/text.h"
#include "platform/listing.h"

namespace zanek {

namespace {

constexpr int kEditBase = 0;      // BUFFER word i: 0, -1 delete, or the new code
constexpr int kGivenBase = 200;   // BUFFER word 200+i: the code of the name given

int& edit_flag(int i) { return BUFFER.I(kEditBase + i); }
int& given_code(int i) { return BUFFER.I(kGivenBase + i); }

// The current species code of atom i (9 for a peak of no species).
int current_code(int i) {
    const int t = std::abs(atom_label(i)) / 100;
    return t == 0 ? kNoSpeciesCode : t;
}

// The symbol of a code for the listing: first letter upper case, Q for 9.
std::string code_symbol(int code) {
    if (code == kNoSpeciesCode) return "Q ";
    std::string s = stored_symbol(code);
    s[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
    return s;
}

bool open_scratch(int unit, const char* name, int& ierr) {
    int iostat = 0;
    if (!JOPEN(unit, "", 0, 1, 2, iostat)) return true;
    lst(std::string("(' *** error ***  open error on scratch file ") + name + ", code =',i5,',  channel =',i5)",
        {iostat, unit});
    ierr = -1;
    return false;
}

}  // namespace

bool open_map_scratch_files(int& ierr) {
    return open_scratch(UNIT.I(unitw::kSequentialScratch), "jrel", ierr) && open_scratch(UNIT.I(unitw::kIfour), "ifour", ierr);
}

void GETCOD(std::string& line, int& atom, int& code, int flag, int& ierr) {
    LCASE(line);
    int n = 0, m = 0;
    SHIFT(line, n);
    std::string word(40, ' ');
    CUTST(line, n, word, m);
    const bool two = m >= 2 && !std::isdigit(static_cast<unsigned char>(word[1]));
    const std::string sym = two ? word.substr(0, 2) : word.substr(0, 1) + " ";
    code = 0;
    for (int t = 1; t <= std::min(sf::species(), sf::kMaxSpecies); ++t)
        if (m >= 1 && stored_symbol(t) == sym) code = t;
    if (code == 0) {
        if (m >= 1 && word[0] == 'q') {
            code = kNoSpeciesCode;
        } else {
            ierr = -1;
            return;
        }
    }
    if (flag != 0) return;
    std::string digits = word.substr(two ? 2 : 1, std::max(0, m - (two ? 2 : 1)));
    int nd = 0;
    SHIFT(digits, nd);
    float rnum[40];
    int inum[40], count = 0, iflag = 0;
    GETNUM(digits, rnum, inum, count, iflag);
    // An atom number outside the peak list cannot name an atom.
    if (nd < 1 || count < 1 || iflag < 0 || inum[0] < 1 || inum[0] > kMaxAtoms) {
        ierr = -1;
        return;
    }
    atom = inum[0];
}

void DIRRES(int& mode, int& ierr) {
    UREQ1.I(ureq1::kMapKind) = 0;
    CONST.R(konst::kGrid) = 0.33333334f;
    TRAN.I(tran::kUnderline) = 100;
    TRAN.I(tran::kPrintUnit) = 0;
    for (int k = 0; k < 3; ++k) TRAN.R(tran::kFraction + k) = 1.0f;
    UREQ1.I(ureq1::kNoPsiE) = 1;
    UREQ1.I(ureq1::kSectionAxis) = 1;
    UREQ.I(ureqw::kPrint) = 0;
    mode = 0;
    for (int k = 1; k <= 400; ++k) BUFFER.I(k) = 0;
    int start = 1, bonds = 0;
    SFL15(CONST.I(konst::kAtomCount), start, CONST.I(konst::kSetNumber), bonds);

    const int count = directive_count();
    for (int k = 0; k < count; ++k) {
        const std::string copy = next_directive_line();
        std::string line = copy;
        LCASE(line);
        int n = 0, m = 0;
        SHIFT(line, n);
        std::string word(40, ' ');
        CUTST(line, n, word, m);
        const std::string key = word.substr(0, 3);
        int atom = 0, code = 0, code2 = 0, err = 0;
        if (key == "com") {
            mode = 2;
        } else if (key == "pri") {
            UREQ.I(ureqw::kPrint) = 4;
        } else if (key == "del") {
            GETCOD(line, atom, code, 0, err);
            if (err == 0) {
                edit_flag(atom) = -1;
                given_code(atom) = code;
                EMAP.I(emap::kNextAction) = 0;
            }
        } else if (key == "ren" || key == "rel") {
            GETCOD(line, atom, code, 0, err);
            int unused = 0;
            if (err == 0) GETCOD(line, unused, code2, 1, err);
            if (err == 0) {
                given_code(atom) = code;
                edit_flag(atom) = code2;
                EMAP.I(emap::kNextAction) = 0;
            }
        } else {
            lst("(' wrong directive on following line:',/,a)", {copy});
            ierr = -1;
            return;
        }
        if (err < 0) {
            lst("(' error in directive : ',a80)", {padded(copy, 80)});
            ierr = -1;
            return;
        }
    }
}

void CHANGE0(int& /*ierr*/) {
    const int n = std::clamp(CONST.I(konst::kAtomCount), 0, kMaxAtoms);
    int accepted = 0;
    for (int i = 1; i <= n; ++i) {
        if (edit_flag(i) != -1) continue;
        if (current_code(i) == given_code(i)) {
            ++accepted;
            lst("('     Atom ',a2,i3,' has been deleted')", {code_symbol(given_code(i)), i});
        } else {
            edit_flag(i) = 0;
            lst("(' *** Atom ',a2,i3,' does not exist. Cannot be deleted')", {code_symbol(given_code(i)), i});
        }
    }
    for (int i = 1; i <= n; ++i) {
        if (edit_flag(i) <= 0) continue;
        if (current_code(i) == given_code(i) || current_code(i) == kNoSpeciesCode) {
            ++accepted;
            lst("('     Atom ',a2,i3,' has been renamed as ',a2,i3)",
                {code_symbol(given_code(i)), i, code_symbol(edit_flag(i)), i});
        } else {
            edit_flag(i) = 0;
            lst("(' *** Atom ',a2,i3,' does not exist. Cannot be renamed')", {code_symbol(given_code(i)), i});
        }
    }
    if (accepted == 0) lst("(/,/,' *** warning *** No changes applied to atom list',/,/)");
}

void CHANGE1(int& /*ierr*/) {
    const int n = std::clamp(CONST.I(konst::kAtomCount), 0, kMaxAtoms);
    int j = 0;
    for (int i = 1; i <= n; ++i) {
        const int flag = edit_flag(i);
        if (flag == -1) continue;
        ++j;
        for (int w = 1; w <= 5; ++w) atom_coord(j, w) = atom_coord(i, w);
        atom_b(j) = atom_b(i);
        int label = atom_label(i);
        if (flag == kNoSpeciesCode) label = 0;
        else if (flag > 0) label = 100 * flag + 1;
        atom_label(j) = label;
    }
    for (int i = j + 1; i <= n; ++i) atom_label(i) = 0;
    EMAP.I(emap::kNextAction) = 1;
    CONST.I(konst::kAtomCount) = j;
    FRM15(j, CONST.I(konst::kSetNumber), 0);
    CP1530();
}

namespace {

// The command: the edits of the directives, then the recycling maps from
// the stored model and the final output section.
void run_restart(int& ierr) {
    INPCL.I(inpcl::kRegroup) = 1;
    EMAP.I(emap::kStepB) = 1;
    command_heading(" Restart routine", HeadingEnd::AfterTitle);
    if (!open_map_scratch_files(ierr)) return;
    // Without an atom list or reflections there is nothing to refine.
    if (!list_stored(15) || !list_stored(7)) {
        skip_directives();
        lst(list_stored(15) ? "(/,' *** error *** No reflections in direct access file',/)"
                            : "(/,' *** error *** No coordinates in direct access file',/)");
        ierr = -1;
        return;
    }
    int mode = 0;
    DIRRES(mode, ierr);
    if (ierr < 0) return;
    EMAP.R(emap::kPrevR) = EMAP.R(emap::kLastR);
    if (EMAP.I(emap::kNextAction) == 0) {
        CHANGE0(ierr);
        CHANGE1(ierr);
        if (ierr < 0) return;
    }
    mode = std::max(mode, EMAP.I(emap::kNextAction));
    const int ncycles = mode == 1 ? 3 : 50;
    const int done = EMAP.I(emap::kCycles);
    EMAP.I(emap::kCycleLimit) = done + ncycles - 1;
    EMAP.I(emap::kNextAction) = mode;
    EMAP.R(emap::kPrevR) = EMAP.R(emap::kLastR);

    int nrefl = 0, cycle = 0;
    float xatoms = 0.0f, cfom = 0.0f;
    for (cycle = done + 2; cycle <= done + ncycles; ++cycle) {
        int nwork = 0;
        DEFCO(nwork);
        FFT(nrefl, cycle, xatoms, cfom, nwork, ierr);
        if (ierr != 0) break;
    }
    if (ierr < 0) return;
    ierr = 0;  // the stop rule ending the maps is no failure
    std::array<int32_t, 200> codes{};
    STOPR(std::string(80, ' '), codes.data(), cycle);
    units().close(UNIT.I(unitw::kSequentialScratch));
    units().close(UNIT.I(unitw::kIfour));
}

}  // namespace

void RESTAR(int& ierr) {
    // Peaks the interpretation cannot take (every atom renamed as
    // hydrogen, say) fail the command, not the run.
    if (!interpretations_succeed([&] { run_restart(ierr); })) ierr = -1;
}

}  // namespace zanek
