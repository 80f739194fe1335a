// %patterson: directives, the Patterson symmetry, the map through the
// one-map routine of the Fourier maps, and the table of its peaks.
#include "fourier/commands/patterson.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>

#include "crystaldata/spacegroup.h"
#include "fourier/commands/commands_internal.h"
#include "fourier/fourier_records.h"
#include "fourier/maps/fourier.h"
#include "jobcontrol/commands.h"
#include "jobcontrol/lists/list01.h"
#include "jobcontrol/lists/list07.h"
#include "jobcontrol/numeric.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/special.h"
#include "jobcontrol/text.h"
#include "platform/listing.h"

namespace zanek {

namespace {

void set_defaults() {
    UREQ1.I(ureq1::kSectionAxis) = 1;
    UREQ1.I(ureq1::kMapKind) = PATT_E2;
    UREQ1.I(ureq1::kNoPsiE) = 1;
    TRAN.I(tran::kPrintUnit) = 0;
    TRAN.I(tran::kUnderline) = 100;
    for (int k = 0; k < 3; ++k) TRAN.R(tran::kFraction + k) = 1.0f;
    SDIR.I(sdir::kPeaks) = 0;
    CONST.R(konst::kGrid) = 0.33333334f;
    UREQ.I(ureqw::kPrint) = 0;
    SPEC.I(kSpecReady) = -1;
}

// The numbers of the rest of a directive line; false when there are not
// exactly `want` of them or one of them is no number.
bool numbers(const std::string& rest, int want, float rnum[40], int inum[40]) {
    int n = 0, flag = 0;
    GETNUM(rest, rnum, inum, n, flag);
    return flag >= 0 && n == want;
}

}  // namespace

void DIRPAT(int& ierr) {
    set_defaults();
    const int count = directive_count();
    for (int k = 0; k < count; ++k) {
        const std::string line = next_directive_line();
        const DirectiveLine d = split_directive(line);
        const std::string& rest = d.rest;
        const std::string whole = d.word.substr(0, std::max(0, d.word_length));
        const std::string k4 = d.key(4), k3 = d.key(3);
        float rnum[40];
        int inum[40];
        bool bad_numbers = false;
        if (k4 == "layy") {
            UREQ1.I(ureq1::kSectionAxis) = 1;
        } else if (k4 == "layx") {
            UREQ1.I(ureq1::kSectionAxis) = 2;
        } else if (k4 == "layz") {
            UREQ1.I(ureq1::kSectionAxis) = 3;
        } else if (whole == "e*e" || k4 == "e**2") {
            UREQ1.I(ureq1::kMapKind) = PATT_E2;
        } else if (whole == "f*f" || k4 == "f**2") {
            UREQ1.I(ureq1::kMapKind) = PATT_F2;
        } else if (k3 == "e*f" || k3 == "f*e") {
            UREQ1.I(ureq1::kMapKind) = PATT_FE;
        } else if (k3 == "map") {
            TRAN.I(tran::kPrintUnit) = listing_unit();
        } else if (k4 == "peak") {
            if (!(bad_numbers = !numbers(rest, 1, rnum, inum))) SDIR.I(sdir::kPeaks) = inum[0];
        } else if (k4 == "grid") {
            if (!(bad_numbers = !numbers(rest, 1, rnum, inum))) CONST.R(konst::kGrid) = rnum[0];
        } else if (k4 == "prin") {
            if (!(bad_numbers = !numbers(rest, 1, rnum, inum))) UREQ.I(ureqw::kPrint) = inum[0];
        } else if (k4 == "limi") {
            if (!(bad_numbers = !numbers(rest, 3, rnum, inum)))
                for (int c = 0; c < 3; ++c) TRAN.R(tran::kFraction + c) = std::min(rnum[c], 1.0f);
        } else {
            lst("(' wrong directive on following line:',/,a)", {line});
            ierr = -1;
            return;
        }
        if (bad_numbers) {
            lst("(' error in directive : ',a80)", {padded(line, 80)});
            ierr = -1;
            return;
        }
    }
}

void LAUE(const std::string& symbol, int family, std::string& cls) {
    if (family < 1) return;
    family = std::min(family, 6);
    if (family <= 3) {
        static const char* kLow[3] = {" -1  ", " 2/m ", " mmm "};
        cls = kLow[family - 1];
        return;
    }
    // Parts of the symbol after the lattice letter.
    std::istringstream in(symbol);
    std::string part;
    int parts = -1;
    while (in >> part) ++parts;
    parts = std::clamp(parts, 0, 4);
    if (family == 4) {
        cls = parts == 1 ? " 4/m " : "4/mmm";
    } else if (family == 5) {
        if (symbol.find('6') != std::string::npos)
            cls = parts == 1 ? " 6/m " : "6/mmm";
        else
            cls = parts == 1 ? "  -3 " : " -3m ";
    } else {
        cls = parts == 2 ? " m-3 " : " m-3m";
    }
}

namespace {

// The Patterson symmetry: the stored rotations without their
// translations, with a centre of symmetry.
void patterson_symmetry() {
    YFL02();
    const int nsym = std::clamp(SYM.I(symw::kOps), 0, 48);
    for (int k = 1; k <= nsym; ++k)
        for (int i = 1; i <= 3; ++i) erl_T(k, i) = 0.0f;
    SYM.I(symw::kCentric) = 1;
    MUSYM(&erl_R(1, 1, 1), &erl_T(1, 1), nsym, &SYM.I(symw::kOperators), &SYM.R(symw::kTransl + 1));
}

void coefficient_heading(int kind, const std::string& laue) {
    static const char* kHead[4] = {"", " /E/**2 coefficients ", " /F/**2 coefficients ", " /F/*/E/ coefficients "};
    lst("(/,48x,a)", {kHead[std::clamp(kind, 1, 3)]});
    lst("(48x,' Laue class: ',a5,/,/)", {laue});
}

void peak_table() {
    lst("('  ','peak',2x,'height',5x,'x',6x,'y',6x,'z',3x,' occ. ')");
    const int n = std::clamp(CONST.I(konst::kAtomCount), 0, kMaxAtoms);
    for (int i = 1; i <= n; ++i)
        lst("(i5,i8,2x,3f7.3,f8.4)", {i, static_cast<int>(atom_coord(i, 4) + 0.5f), atom_coord(i, 1),
                                      atom_coord(i, 2), atom_coord(i, 3), atom_coord(i, 5)});
}

}  // namespace

void PATTER(int& ierr) {
    command_heading(" patterson routine");
    section_banner("***   patterson synthesis section    ***");
    lst_blank();
    if (!list_stored(7)) {
        skip_directives();
        lst_line(" *** error ***  no reflections in direct access file.");
        ierr = -1;
        return;
    }
    int nrec = 0, nphase = 0, nweak = 0, pseudo = 0, seed = 0;
    YSFL07(nrec, nphase, nweak, pseudo, seed);
    if (!open_map_scratch_files(ierr)) {
        skip_directives();
        return;
    }
    int nwork = 0;
    DEFCO(nwork);
    // The map kind goes back to a Fourier map however the command ends.
    struct FourierAgain {
        ~FourierAgain() { UREQ1.I(ureq1::kMapKind) = 0; }
    } again;
    DIRPAT(ierr);
    if (ierr < 0) return;
    const int kind = UREQ1.I(ureq1::kMapKind);
    if (kind != PATT_F2 && C.R(cw::kScale) < 0.0f) {
        lst_line(" *** error ***  reflections must be normalized.");
        ierr = -1;
    }
    patterson_symmetry();
    std::string laue = "     ";
    LAUE(symbol_from_erl(), ERL.I(erlw::kSystem), laue);
    coefficient_heading(kind, laue);
    // A Patterson map belongs to no phase set.
    CONST.I(konst::kSetNumber) = 0;
    int nrefl = 0;
    float xatoms = 0.0f, cfom = 0.0f;
    FFT(nrefl, 1, xatoms, cfom, nwork, ierr);
    if (ierr < 0) return;
    peak_table();
    units().close(UNIT.I(unitw::kSequentialScratch));
    units().close(UNIT.I(unitw::kIfour));
}

}  // namespace zanek
