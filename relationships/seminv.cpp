// The %seminvariants command: its directive reader, its constants and the
// set-up of the tables the estimators read.
#include "relationships/seminv.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "jobcontrol/commands.h"
#include "jobcontrol/history.h"
#include "jobcontrol/lists/list01.h"
#include "jobcontrol/lists/list07.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/invariants.h"
#include "jobcontrol/records/seminv.h"
#include "jobcontrol/store/store.h"
#include "jobcontrol/text.h"
#include "platform/listing.h"
#include "relationships/onephase.h"
#include "relationships/semalg.h"
#include "relationships/seminv_work.h"
#include "relationships/twophase.h"

namespace zanek {

namespace {

constexpr float kTwoPi = 6.2831855f;
constexpr float kStartLimit = 1.4f;   // E limit of the candidates while nrs1 is not reached
constexpr int kKnownPhaseNone = 360;

std::vector<SeminvReflection> g_reflections;

bool list_present(int type) {
    int serial = 0, first = -1, last = 0, part = 0, length = 0;
    SRLIN(type, serial, first, last, part, length);
    return first > 0;
}

void set_restricted_phase_table() {
    for (int c = 1; c <= cost::kMaxCode; ++c) cost::restricted_phase(c) = 0.0f;
    const double pi = 3.14159265358979;
    cost::restricted_phase(3) = static_cast<float>(pi / 6.0);
    cost::restricted_phase(4) = static_cast<float>(pi / 4.0);
    cost::restricted_phase(5) = static_cast<float>(pi / 3.0);
    cost::restricted_phase(7) = static_cast<float>(pi / 2.0);
    cost::restricted_phase(9) = static_cast<float>(2.0 * pi / 3.0);
    cost::restricted_phase(10) = static_cast<float>(3.0 * pi / 4.0);
    cost::restricted_phase(11) = static_cast<float>(5.0 * pi / 6.0);
}

// Completes the matrices of the algebra: R(nsym + k) = -R(k), T(nsym + k) = -T(k).
void complete_operators(int nsym) {
    for (int k = 1; k <= nsym && nsym + k <= 48; ++k)
        for (int i = 1; i <= 3; ++i) {
            for (int j = 1; j <= 3; ++j) erl_R(nsym + k, i, j) = -erl_R(k, i, j);
            erl_T(nsym + k, i) = -erl_T(k, i);
        }
}

void warning_box(const char* text) {
    lst_blank(2);
    lst_line(std::string("     **** warning ****  ") + text);
    lst_blank();
}

void write_search_row(int r, const int H[3], float e, int phase, int code) {
    const char* fmt = r % 3 == 1   ? "(' ',I5,')',2X,3I4,F8.3,I5,I3)"
                      : r % 3 == 2 ? "('+',40X,I5,')',2X,3I4,F8.3,I5,I3)"
                                   : "('+',80X,I5,')',2X,3I4,F8.3,I5,I3)";
    lst(fmt, {r, H[0], H[1], H[2], e, phase, code});
}

std::string count_text(int n) { return n == 0 ? "       -" : fmt_i(n, 8); }

void output_section(SeminvCounts& ns) {
    lst_blank(2);
    lst_line(" " + std::string(120, '+'));
    lst_blank();
    lst_line(std::string(40, ' ') + "***   output   section   ***");
    lst_blank();
    lst_blank();
    lst_line(std::string(41, ' ') + "number of relationships");
    lst_line(std::string(42, ' ') + " calculated   stored   ");
    lst_blank();
    const char* captions[2] = {"     one-phase seminvariants    ", "     two-phase seminvariants    "};
    for (int kind = 1; kind <= 2; ++kind) {
        lst_blank();
        lst_line(std::string(9, ' ') + captions[kind - 1] + count_text(ns(kind)) + "   " + count_text(ns(kind + 2)));
    }
}

}  // namespace

void seminv_symmetry() {
    const int nsym = SYM.I(symw::kOps);
    SYM2.I(sym2::kNsym) = nsym;
    SYM2.I(sym2::kCentric) = SYM.I(symw::kCentric) + 1;
    SYM2.I(sym2::kOrder) = SYM2.I(sym2::kCentric) * nsym;
    SYM2.I(sym2::kMatrices) = (3 - SYM2.I(sym2::kCentric)) * SYM2.I(sym2::kOrder);
    complete_operators(nsym);
}

void seminv_strides() {
    COST.I(cost::kStrideK) = 2 * UREQ.I(ureqw::kLmax) + 1;
    COST.I(cost::kStrideH) = (2 * UREQ.I(ureqw::kKmax) + 1) * COST.I(cost::kStrideK);
    const long long top = static_cast<long long>(UREQ.I(ureqw::kHmax)) * COST.I(cost::kStrideH) +
                          static_cast<long long>(UREQ.I(ureqw::kKmax)) * COST.I(cost::kStrideK) + UREQ.I(ureqw::kLmax);
    COST.I(cost::kLargest) = static_cast<int>(std::min<long long>(top, 2000000000LL));
}

void seminv_algebra() {
    INVERS();
    GENINV();
    CHOICE();
    MLTPLY(SYM2.I(sym2::kMatrices));
}

std::vector<SeminvReflection>& seminv_reflections() { return g_reflections; }

float seminv_e(float e) {
    // The E table holds trunc(1000 E) and marks a reflection used by
    // negating its entry: an E that would enter as 0 could not be marked,
    // so every E below 0.001 is taken as 0.01, as E = 0 is.
    if (e < 0.001f) return 0.01f;
    if (e == 1.0f) return 0.999f;
    return e;
}

void DIRSEM(int& IERR) {
    UREQ.I(ureqw::kPrint) = 0;
    DIRG.I(dirg::kOnePhase) = 1;
    DIRG.I(dirg::kOption) = 0;
    DIRG.I(dirg::kTwoPhase) = 1;
    DIR1.I(dir1::kBoth) = 0;
    DIR1.I(dir1::kFormula) = 2;
    DIR1.I(dir1::kList) = 0;
    DIR1.I(dir1::kNrs1) = 0;
    DIR1.I(dir1::kFreeVectors) = 0;
    DIR1.R(dir1::kSearchE) = 0.0f;
    DIR1.R(dir1::kFreeE) = 0.0f;
    DIR2.I(dir2::kNrs2) = 0;
    DIR2.R(dir2::kGlim) = 0.8f;
    DIR2.R(dir2::kEpli) = 2.0f;
    DIR2.I(dir2::kTraced1) = 0;
    DIR2.I(dir2::kTraced2) = 0;

    const int count = directive_count();
    bool failed = false;
    for (int d = 0; d < count; ++d) {
        std::string line = next_directive_line();
        if (failed) continue;  // the lines of this command are consumed all the same
        const DirectiveLine dl = split_directive(line);
        const std::string& rest = dl.rest;
        const std::string& word = dl.word;
        float r[40];
        int iv[40] = {};
        int nnum = 0, iflag = 0;
        GETNUM(rest, r, iv, nnum, iflag);
        if (iflag == -1) {
            lst("(' error in directive : ',a80)", {padded(line, 80)});
            failed = true;
            continue;
        }
        if (word.compare(0, 3, "end") == 0) continue;
        const std::string key = word.substr(0, 4);
        bool ok = true;
        if (key == "nss1") {
            ok = nnum == 0;
            if (ok) DIRG.I(dirg::kOnePhase) = 0;
        } else if (key == "nss2") {
            ok = nnum == 0;
            if (ok) DIRG.I(dirg::kTwoPhase) = 0;
        } else if (key == "nopt") {
            ok = nnum == 0;
            if (ok) DIRG.I(dirg::kOption) = 0;
        } else if (key == "firs") {
            ok = nnum == 0;
            if (ok) DIR1.I(dir1::kFormula) = 1;
        } else if (key == "list") {
            ok = nnum == 0;
            if (ok) DIR1.I(dir1::kList) = 1;
        } else if (key == "both") {
            ok = nnum == 0;
            if (ok) DIR1.I(dir1::kBoth) = 1;
        } else if (key == "nrs1") {
            // A negative count of reflections would address rows before the first.
            ok = nnum == 1 && iv[0] >= 0;
            if (ok) DIR1.I(dir1::kNrs1) = iv[0];
        } else if (key == "prin") {
            ok = nnum == 1;
            if (ok) UREQ.I(ureqw::kPrint) = iv[0];
        } else if (key == "numk") {
            ok = nnum == 1;  // read and kept nowhere: the free vectors are always nfree
        } else if (key == "epli") {
            ok = nnum == 1;
            if (ok) DIR2.R(dir2::kEpli) = r[0];
        } else if (key == "glim") {
            ok = nnum == 1;
            if (ok) DIR2.R(dir2::kGlim) = r[0];
        } else if (key == "nrs2") {
            ok = nnum == 1;
            if (ok) DIR2.I(dir2::kNrs2) = iv[0];
        } else if (key == "code") {
            ok = nnum >= 1;
            if (ok) {
                DIR2.I(dir2::kTraced1) = iv[0];
                if (nnum >= 2) DIR2.I(dir2::kTraced2) = iv[1];
            }
        } else {
            lst_line(" wrong directive on following line:");
            lst_line(line);
            failed = true;
            continue;
        }
        // A directive with a count of numbers it does not take is said, as
        // every other command says it, not refused in silence.
        if (!ok) {
            lst("(' error in directive : ',a80)", {padded(line, 80)});
            failed = true;
        }
    }
    if (failed) {
        IERR = -1;
        return;
    }
    if (UREQ.I(ureqw::kPrint) > 1) DIR1.I(dir1::kBoth) = 1;
    if (DIR1.I(dir1::kNrs1) != 0) DIR1.R(dir1::kSearchE) = kStartLimit;
}

void FILL(const int H[3], float E, int CODE, int PHASE, int R, int STOP) {
    const int e = static_cast<int>(1000.0f * E);
    const int nsym = std::min(SYM2.I(sym2::kNsym), semtab::kSlots);
    for (int j = 1; j <= nsym; ++j) {
        int h2[3], idx = 0;
        EQUIV(H, h2, j, idx);
        if (STOP != 0) continue;
        bool repeat = false;
        for (int i = 1; i < j && !repeat; ++i)
            repeat = semtab::slot(0, i, R) == h2[0] && semtab::slot(1, i, R) == h2[1] && semtab::slot(2, i, R) == h2[2];
        for (int c = 0; c < 3; ++c) semtab::slot(c, j, R) = h2[c] + (repeat ? semtab::kDuplicate : 0);
    }
    if (STOP != 0) return;
    semtab::eword(R) = (CODE != 1 && SYM2.I(sym2::kCentric) == 1) ? -e : e;
    semtab::rpword(R) = static_cast<float>(1000 * CODE + PHASE);
}

void FILLR() {
    const int top = std::min(COST.I(cost::kLargest), semtab::kIsrSize);
    for (int s = 1; s <= top; ++s) semtab::isr(s) = semtab::kAbsent;
    const int nsym = SYM2.I(sym2::kNsym);
    for (const SeminvReflection& ref : g_reflections) {
        const int e = static_cast<int>(1000.0f * ref.e);
        for (int k = 1; k <= nsym; ++k) {
            int h2[3], s = -1;
            EQUIV(ref.h, h2, k, s);
            if (s != -1) semtab::isr(s) = e;
        }
    }
}

void INPTS(int& IERR) {
    COST.I(cost::kCandidates) = 0;
    semtab::first_rank_count() = 0;
    g_reflections.clear();

    // What the command needs from earlier commands.
    if (!list_present(2)) {
        lst_blank();
        lst_line(" *** error *** no space group symbol present ");
        IERR = -1;
        return;
    }
    if (!list_present(7)) {
        lst_blank();
        lst_line(" *** error *** no reflections  present ");
        IERR = -1;
        return;
    }
    YFL02();
    int nrec = 0, nref = 0, nzro = 0, ipseudo = 0, seed = 0;
    YSFL07(nrec, nref, nzro, ipseudo, seed);
    COST.I(cost::kRecords) = nrec;
    const int nsym = SYM.I(symw::kOps);
    SYM2.R(sym2::kQ) = SYM.R(symw::kSigma3);
    SYM2.I(sym2::kNsym) = nsym;
    if (ipseudo != 0) {
        warning_box("no seminvariants are estimated when zan handles pseudotranslations");
        IERR = 1;
        return;
    }
    seminv_symmetry();
    if (SYM2.I(sym2::kOrder) == 1) {
        warning_box("no seminvariants are estimated when the space group is p 1");
        IERR = 1;
        return;
    }
    if (C.R(cw::kScale) < 0.0f) {
        lst_blank();
        lst_line(" *** error ***  reflections must be normalized.");
        IERR = -1;
        return;
    }
    if (nrec <= 0 || !(SYM2.R(sym2::kQ) > 0.0f) || nsym < 1 || nsym > semtab::kSlots) {
        lst_blank();
        lst_line(" *** error *** no reflections  present ");
        IERR = -1;
        return;
    }
    INP.R(inp::kSemAtomsReal) = (1.0f / SYM2.R(sym2::kQ)) * (1.0f / SYM2.R(sym2::kQ));
    INP.I(inp::kAtoms) = static_cast<int>(INP.R(inp::kSemAtomsReal) + 0.05f);
    INP.R(inp::kSemSqrtAtoms) = std::sqrt(INP.R(inp::kSemAtomsReal));
    const int nfree = std::min(INP.I(inp::kAtoms) / SYM2.I(sym2::kOrder) + 40, semtab::kFreeVectors);
    int& nrs1 = DIR1.I(dir1::kNrs1);
    float& elimit = DIR1.R(dir1::kSearchE);
    if (nrs1 == 0 && elimit == 0.0f) nrs1 = nref;

    seminv_strides();
    if (COST.I(cost::kLargest) > COST.I(cost::kIsrSize)) {
        lst("(1X,'maximum value for   h k l   = ',3I5,//,1X,'costants value to compute the addres=',2I8,//,1X,"
            "'value for the maximum addres   =',I10,//,1X,'maximum allowed value  = ',I6,//,1X,"
            "'change the dimension of isr vector',1X,'and the corrispondent value of lfl',//,1X,"
            "'seminvariants cannot be estimated.')",
            {UREQ.I(ureqw::kHmax), UREQ.I(ureqw::kKmax), UREQ.I(ureqw::kLmax), COST.I(cost::kStrideH),
             COST.I(cost::kStrideK), COST.I(cost::kLargest), COST.I(cost::kIsrSize)});
        IERR = 1;
        return;
    }

    seminv_algebra();

    bool listing = DIR1.I(dir1::kList) == 1;
    if (listing) {
        lst_blank(3);
        lst_line(std::string(22, ' ') + "list of reflection to search seminvariant");
        lst_line(std::string(22, ' ') + std::string(41, '-'));
        lst_blank(2);
    }
    const bool known = UREQ.I(ureqw::kKnown) != 0;
    int stop = 0, last_row = 0;
    g_reflections.reserve(static_cast<std::size_t>(nrec));
    Word out[9];
    for (int r = 1; r <= nrec; ++r) {
        SNR07(out);
        SeminvReflection ref;
        ref.h[0] = out[0].i;
        ref.h[1] = out[1].i;
        ref.h[2] = out[2].i;
        ref.e = seminv_e(out[3].r);
        ref.phase_word = out[7].i;
        g_reflections.push_back(ref);
        PRO.R(pro::kEH) = ref.e;
        const int v = ref.phase_word % 32768;
        const int phase = v / 32;
        const int code = v % 32;
        COST.I(cost::kCode) = code;
        int found = 0;
        if (semtab::first_rank_count() < semtab::kFirstRank) FILLIS(ref.h, r, found, phase);
        if (r > semtab::kRows) stop = 1;
        if (stop != 0) continue;
        int shown = kKnownPhaseNone;
        if (known) shown = phase >= 360 ? phase - 360 : phase;
        if (nrs1 == 0) {
            if (ref.e >= elimit) last_row = r;
        } else if (r == nrs1) {
            elimit = ref.e;
        }
        if (listing && ref.e >= elimit) {
            write_search_row(r, ref.h, ref.e, shown, code);
            if (ref.e == elimit) listing = false;
        }
        if (ref.e >= elimit && found > 0) {
            COST.I(cost::kCandidates) += 1;
            semtab::candidate(COST.I(cost::kCandidates)) = r;
            semtab::candidate_copy(COST.I(cost::kCandidates)) = r;
        }
        FILL(ref.h, ref.e, code, shown, r, stop);
    }
    if (listing) lst_blank(2);

    // Counts that address rows stay within the rows the table holds.
    const int rows = std::min(nrec, semtab::kRows);
    if (DIR1.I(dir1::kFreeVectors) == 0) DIR1.I(dir1::kFreeVectors) = nfree;
    DIR1.I(dir1::kFreeVectors) = std::clamp(DIR1.I(dir1::kFreeVectors), 1, std::min(rows, semtab::kFreeVectors));
    if (nrs1 == 0) nrs1 = last_row;
    nrs1 = std::clamp(nrs1, 1, rows);
    elimit = semtab::row_e(nrs1);
    if (DIR1.R(dir1::kFreeE) == 0.0f) DIR1.R(dir1::kFreeE) = semtab::row_e(DIR1.I(dir1::kFreeVectors));
    if (UREQ.I(ureqw::kPrint) != 0)
        lst("('  number of first rank seminvariants recognized  =',I5,/,'  number of first rank seminvariants to "
            "estimate =',I5)",
            {semtab::first_rank_count(), COST.I(cost::kCandidates)});
}

void INITP(int& IERR) {
    COST.R(cost::kTwoPi) = kTwoPi;
    COST.I(cost::kRows) = semtab::kRows;
    COST.I(cost::kIsrSize) = semtab::kIsrSize;
    set_restricted_phase_table();
    for (int w = semtab::kCandidateBase + 1; w <= semtab::kEstimateBase + semtab::kRows; ++w) XDATA.I(w) = 0;
    INPTS(IERR);
    if (IERR != 0) return;
    if (DIRG.I(dirg::kTwoPhase) == 1) SIGMA2();
    FILLR();
}

void SEMINV(int& IERR) {
    command_heading(" ZANEK : Seminvariants routine", HeadingEnd::TwoEmpty);
    IERR = 0;
    SeminvCounts ns;
    DIRSEM(IERR);
    if (IERR < 0) return;
    INITP(IERR);
    if (IERR != 0) return;
    HISTOR(4, 1, IERR);
    if (IERR != 0) return;
    WRCON();
    if (UREQ.I(ureqw::kPrint) != 0) {
        lst("(/,5X,'the number of reflexions is',I6,'   with   ','h(max) =',I4,3X,'k(max) =',I4,3X,'l(max) =',I4)",
            {COST.I(cost::kRecords), UREQ.I(ureqw::kHmax), UREQ.I(ureqw::kKmax), UREQ.I(ureqw::kLmax)});
        lst("(/,5X,'the number of atoms in primitive cell is ',I5)", {INP.I(inp::kAtoms)});
    }
    lst_blank();
    lst_line(" The following routines will be executed:");
    if (DIRG.I(dirg::kOnePhase) == 1) lst_line(std::string(41, ' ') + ">One-phase seminvariants routine");
    if (DIRG.I(dirg::kTwoPhase) == 1) lst_line(std::string(41, ' ') + ">Two-phase seminvariants routine");

    if (DIRG.I(dirg::kOnePhase) == 1) {
        SS1(ns);
        if (COST.I(cost::kCandidates) == 0) {
            lst_blank(2);
            lst_line("     **** warning ****  no seminvariants have been estimated . Sorry.");
            lst_blank(2);
            return;
        }
    }
    if (DIRG.I(dirg::kTwoPhase) == 1) SS2(ns);
    output_section(ns);
}

}  // namespace zanek
