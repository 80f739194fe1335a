#include "relationships/invariants.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "jobcontrol/commands.h"
#include "jobcontrol/lists/list01.h"
#include "jobcontrol/lists/list03.h"
#include "jobcontrol/lists/list07.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/invariants.h"
#include "jobcontrol/records/phaseset.h"
#include "jobcontrol/records/scatter.h"
#include "jobcontrol/store/store.h"
#include "jobcontrol/text.h"
#include "platform/listing.h"
#include "relationships/p10.h"
#include "relationships/pseudo_reliab.h"
#include "relationships/quartets.h"
#include "relationships/triplets.h"

namespace zanek {

using namespace invariants;
using namespace invtab;

namespace {

constexpr float kCoefficientNotGiven = 99999.0f;
constexpr float kNoUpperE = 999.9f;

// Relation lists of an earlier run that the passes of this command
// replace: an old one would name rows of another selection.
constexpr int kRelationLists[] = {10, 11, 20, 21, 24};

bool list_present(int type) {
    int serial = 0, first = -1, last = 0, part = 0, length = 0;
    SRLIN(type, serial, first, last, part, length);
    return first > 0;
}

void directive_error(const std::string& line) { lst("(' error in directive : ',a80)", {padded(line, 80)}); }

// The lists the command reads; each missing one is reported.
bool lists_present() {
    struct Need {
        int type;
        const char* message;
    };
    static const Need needs[] = {{1, " *** error *** no cell parameters present "},
                                 {2, " *** error *** no space group symbol present "},
                                 {3, " *** error *** no cell content present "},
                                 {7, " *** error *** no reflections  present "}};
    bool ok = true;
    for (const Need& n : needs)
        if (!list_present(n.type)) {
            lst_blank();
            lst_line(n.message);
            ok = false;
        }
    return ok;
}

void set_defaults(int& mode, int& big, int& psie, int& ierr) {
    PROC.I(proc::kTriplets) = PROC.I(proc::kP10) = PROC.I(proc::kQuartets) = PROC.I(proc::kPsiZero) = 1;
    PROC.I(proc::kP3Only) = 0;
    UREQ.I(ureqw::kPrint) = 0;
    big = kDefaultTriplets;
    psie = 1;
    mode = 2;
    DIRTR.clear();
    DIRPS.clear();
    DIRPS.R(dirps::kEmax) = 0.4f;
    DIR10.clear();
    DIR10.R(dir10::kGmin) = 0.6f;
    DIR10.R(dir10::kEnantThreshold) = 0.2f;
    DIR10.R(dir10::kNegThreshold) = -0.2f;
    PSEUD.R(pseud::kCoefficient) = kCoefficientNotGiven;
    PARAM.I(param::kTableRows) = kRows;
    set_quartet_defaults();
    ierr = 0;
}

// Acts on one directive line; false after its message when the line fails
// the command.
bool act_on_directive(const std::string& orig, int& big, int& psie) {
    const DirectiveLine dl = split_directive(orig);
    const std::string& line = dl.rest;
    const std::string key = dl.key();

    float r[40];
    int iv[40], count = 0, iflag = 0;
    GETNUM(line, r, iv, count, iflag);
    if (iflag == -1) return directive_error(orig), false;
    auto values = [&](int wanted) {
        if (count == wanted) return true;
        directive_error(orig);
        return false;
    };

    if (key.substr(0, 3) == "big") {
        if (count > 1) return directive_error(orig), false;
        big = count == 0 || iv[0] < 1 ? kMaxTriplets : std::min(iv[0], kMaxTriplets);
    } else if (key == "nsig") {
        if (!values(0)) return false;
        PROC.I(proc::kTriplets) = 0;
        PROC.I(proc::kP10) = 0;
    } else if (key == "coch") {
        if (!values(0)) return false;
        PROC.I(proc::kP3Only) = 1;
        PROC.I(proc::kP10) = 0;
    } else if (key == "pten") {
        if (!values(0)) return false;
        PROC.I(proc::kP10) = 1;
        PROC.I(proc::kP3Only) = 0;
    } else if (key == "nqua") {
        if (!values(0)) return false;
        PROC.I(proc::kQuartets) = 0;
    } else if (key == "npsi") {
        if (!values(0)) return false;
        PROC.I(proc::kPsiZero) = 0;
    } else if (key == "nops") {
        if (!values(0)) return false;
        psie = 0;
    } else if (key == "emin") {
        if (!values(1)) return false;
        DIRTR.R(dirtr::kEmin) = r[0];
    } else if (key == "nrtr" || key == "nlar" || key == "nrps") {
        if (!values(1)) return false;
        // A negative count has no meaning; 0 asks for the automatic value.
        if (iv[0] < 0) return directive_error(orig), false;
        if (key == "nrtr") DIRTR.I(dirtr::kNrtr) = iv[0];
        if (key == "nlar") DIRPS.I(dirps::kNlar) = iv[0];
        if (key == "nrps") DIRPS.I(dirps::kNrps) = iv[0];
    } else if (key == "emax") {
        if (!values(1)) return false;
        DIRPS.R(dirps::kEmax) = r[0];
    } else if (key == "numk") {
        if (!values(1)) return false;
        DIR10.I(dir10::kNumk) = iv[0];
    } else if (key == "gmin") {
        if (!values(1)) return false;
        DIR10.R(dir10::kGmin) = r[0] < 0.2f ? 0.2001f : r[0];
    } else if (key == "corr") {
        if (!values(1)) return false;
        PSEUD.R(pseud::kCoefficient) = r[0];
    } else if (key == "prin") {
        if (!values(1)) return false;
        UREQ.I(ureqw::kPrint) = iv[0];
    } else {
        lst_line(" wrong directive on following line:");
        lst("(1x,a)", {padded(orig, 80)});
    }
    return true;
}

int nsym() { return std::clamp(SYM.I(symw::kOps), 0, 24); }
bool centric() { return SYM.I(symw::kCentric) == 1; }

// Table row r from a list-7 record.
void fill_row(int r, const Word out[9]) {
    const int32_t phase_word = out[7].i;
    row_index(r) = pack_index(out[0].i, out[1].i, out[2].i);
    row_eword(r) = pack_eword(out[3].r, (phase_word % 32768) / 32);
    row_alpha(r) = pseudo_weight_word(out[0].i, out[1].i, out[2].i);  // 0 without pseudo-translation
    row_restriction(r) = phase_word % 32;
}

void print_counts(const int counts[14]) {
    static const char* const captions[7] = {
        "     positive estimated triplets", "     negative estimated triplets", " enantiomorph sensitive triplets",
        "               psi-zero triplets", "                  psi-e triplets", "     negative estimated quartets",
        " enantiomorph sensitive quartets"};
    auto count_text = [](int c) { return c == 0 ? std::string("       -") : fmt_i(c, 8); };
    lst_blank(2);
    lst_line(std::string(41, ' ') + "number of relationships");
    lst_line(std::string(41, ' ') + "  calculated   stored   ");
    for (int k = 0; k < 7; ++k) {
        lst_blank();
        lst_line(std::string(9, ' ') + captions[k] + count_text(counts[k]) + "   " + count_text(counts[7 + k]));
    }
}

}  // namespace

// ===========================================================================

void set_quartet_defaults() {
    DIRQN.clear();
    DIRQN.R(dirqn::kOrdinaryE) = 1.0f;
    DIRQN.I(dirqn::kSpecialE100) = 100;
    DIRQN.I(dirqn::kSpare3) = 7;
    DIRQN.I(dirqn::kSpare4) = 0;
    DIRQN.I(dirqn::kSpare6) = 40;
    DIRQN.R(dirqn::kThreshold) = 0.2f;
    DIRQN.I(dirqn::kOverflow) = 2000;
    DIRQN.I(dirqn::kNegativeCap) = 750;
    DIRQN.I(dirqn::kEnantCap) = 500;
    DIRQN.I(dirqn::kSpare11) = 500;
    DIRQN.R(dirqn::kEquivOrdinaryE) = 3.0f;
    DIRQN.I(dirqn::kEquivSpecialE100) = 300;
}

void DIRINV(int& mode, int& big, int& psie, int& ierr) {
    set_defaults(mode, big, psie, ierr);
    if (!lists_present()) {
        skip_directives();
        ierr = -1;
        return;
    }
    YFL02();
    int n = 0, nref = 0, nzro = 0, ipseudo = 0, x = 0;
    YSFL07(n, nref, nzro, ipseudo, x);

    for (int k = directive_count(); k > 0; --k) {
        const std::string orig = next_directive_line();
        if (!act_on_directive(orig, big, psie)) {
            ierr = -1;
            return;
        }
    }
    if (DIRTR.R(dirtr::kEmin) < 1.2f) DIRTR.R(dirtr::kEmin) = 1.2f;
    DIRTR.I(dirtr::kNrtr) = std::min(DIRTR.I(dirtr::kNrtr), kMaxStrong);
    if (DIRPS.I(dirps::kNlar) == 0) DIRPS.I(dirps::kNlar) = DIRTR.I(dirtr::kNrtr);
    DIRPS.I(dirps::kNrps) = std::min(DIRPS.I(dirps::kNrps), kMaxWeak);
    if (PROC.I(proc::kPsiZero) == 0) PROC.I(proc::kQuartets) = 0;
    for (int w = prin::kTriplets; w <= prin::kQuartets; ++w) PRIN.I(w) = UREQ.I(ureqw::kPrint);
    if (C.R(cw::kScale) < 0.0f) {
        lst_blank();
        lst_line(" *** error ***  reflections are not normalized");
        ierr = -1;
    }
}

void INPT9(int& ierr, float& sugg, int& mode, int& npsie) {
    ierr = 0;
    // Cell, symmetry, contents and the list-7 counts.
    YFL01();
    for (int w = 0; w < 6; ++w) sinte::cell(1 + w) = RC.R(rcw::kCell + w);
    YFL02();
    YFL03();
    for (int t = 1; t <= sf::kMaxSpecies; ++t) {
        pseud::atom_count(t) = sf::count(t);
        pseud::atomic_number(t) = sf::z(t);
    }
    int nr = 0, nref = 0, nzro = 0, ipseudo = 0, x = 0;
    YSFL07(nr, nref, nzro, ipseudo, x);
    DIRTR.I(dirtr::kStrongRows) = nref;
    DIRTR.I(dirtr::kNzro) = nzro;
    PSEUD.I(pseud::kConditions) = ipseudo;

    // Atoms in the primitive cell and the number of free vectors.
    const float q = SYM.R(symw::kSigma3);
    if (!(q > 0.0f) || !std::isfinite(q)) {
        lst_blank();
        lst_line(" *** error *** no cell content present ");
        ierr = -1;
        return;
    }
    const float inv_q2 = 1.0f / (q * q);
    INP.I(inp::kAtoms) = static_cast<int>(std::trunc(inv_q2 + 0.05f));
    INP.R(inp::kQ) = q;
    INP.R(inp::kAtomsReal) = inv_q2;
    const int neq = nsym() * (1 + (centric() ? 1 : 0));
    TRRE.I(trre::kNeq) = neq;
    if (DIR10.I(dir10::kNumk) == 0)
        DIR10.I(dir10::kNumk) = std::min(INP.I(inp::kAtoms) / std::max(neq, 1) + 30, kMaxFreeVectors);

    // The super-index.
    const int hmax = UREQ.I(ureqw::kHmax), kmax = UREQ.I(ureqw::kKmax), lmax = UREQ.I(ureqw::kLmax);
    PARAM.I(param::kStrideH) = (2 * kmax + 1) * (2 * lmax + 1);
    PARAM.I(param::kStrideK) = 2 * lmax + 1;
    PARAM.I(param::kLargest) = hmax * PARAM.I(param::kStrideH) + kmax * PARAM.I(param::kStrideK) + lmax;
    PARAM.I(param::kIsrSize) = kIsrSize;
    PARAM.I(param::kClassUnit) = 1 << 28;
    PARAM.I(param::kMarkUnit) = 1 << 27;
    PARAM.I(param::kOrdinalUnit) = 32768;
    DIR10.I(dir10::kPositiveCount) = 0;
    DIR10.I(dir10::kEnantCap) = 500;
    DIR10.I(dir10::kNegativeCap) = 500;
    DIRQN.I(dirqn::kOverflow) = 2000;
    DIRQN.I(dirqn::kNegativeCap) = 750;
    DIRQN.I(dirqn::kEnantCap) = 500;
    DIRQN.I(dirqn::kSpare11) = 500;
    if (PARAM.I(param::kLargest) > kIsrSize) {
        lst_blank(2);
        lst("(' *** error *** actual size of isr ( =',i8,' ) is less')", {kIsrSize});
        lst("('               then maximum super-index = ',i8)", {PARAM.I(param::kLargest)});
        lst_blank();
        lst_line(" Restart the program using in %DATA the directive ");
        lst_line("                RHOMAX  xx                        ");
        lst_line(" in order to reduce the maximum values of h,k,l.  ");
        ierr = -1;
        return;
    }

    // The point group: in a centrosymmetric group the inverted matrices
    // follow the stored ones.
    PSEUD.I(pseud::kNeq) = neq;
    PSEUD.R(pseud::kNeqReal) = static_cast<float>(neq);
    if (centric()) {
        const int ns = nsym();
        for (int k = 1; k <= ns && ns + k <= 48; ++k)
            for (int i = 1; i <= 3; ++i)
                for (int j = 1; j <= 3; ++j) erl_R(ns + k, i, j) = -erl_R(k, i, j);
    }

    int& nrtr = DIRTR.I(dirtr::kNrtr);
    int& nrps = DIRPS.I(dirps::kNrps);
    int& nlar = DIRPS.I(dirps::kNlar);
    int& numk = DIR10.I(dir10::kNumk);
    // Under pseudo-translation the selection follows its own rules, the rows
    // carry their pseudo-translation weights and the relations get modified
    // estimates.
    sugg = 0.0f;
    if (ipseudo > 0 && !list_present(19)) {
        // No description of the conditions: the data are taken as they are.
        lst_blank();
        lst_line(" *** warning *** pseudo-translation conditions not found (list 19): ignored");
        ipseudo = 0;
        PSEUD.I(pseud::kConditions) = 0;
    }
    if (ipseudo > 0) {
        int ic[12] = {};
        float slope = 0.0f, intercept = 0.0f;
        SFL19(ic, slope, intercept);
        for (int w = 0; w < 12; ++w) PSEUD.I(pseud::kCondition + w) = ic[w];
        PSEUD.R(pseud::kSlope) = slope;
        PSEUD.R(pseud::kIntercept) = intercept;
        nrtr = std::min({nr - nzro, kMaxStrong, nr});
        if (nlar == 0) nlar = nrtr;
        PROC.I(proc::kP10) = UREQ.I(ureqw::kKnown) == 1 ? 2 : 0;
        numk = -1;
        PREPA(sugg);
    }

    // Sizes of the selection.
    if (nrtr == 0) nrtr = nref;
    nrtr = std::clamp(nrtr, 0, std::min(kMaxStrong, nr));
    if (nlar == 0 || nlar > nrtr) nlar = nrtr;
    int& nzro_kept = DIRTR.I(dirtr::kNzro);
    nzro_kept = std::min(nzro_kept, kMaxWeak);
    if (nrps == 0) nrps = nzro_kept;
    if (numk > nrtr) numk = nrtr;
    DIRTR.I(dirtr::kStrongRows) = std::max(nrtr, numk);

    if (nr - nrps <= DIRTR.I(dirtr::kStrongRows)) {
        nrps = nr - DIRTR.I(dirtr::kStrongRows);
        if (mode == 1) {
            lst_blank(2);
            lst_line(" *** warning *** : there are no psi-e reflections ");
            lst_blank();
            mode = -1;
            return;
        }
    } else if (mode == 1) {
        const int h = std::min(nrtr / 2, kMaxWeak);
        npsie = std::min(nr - nrps - nrtr, h);
        if (npsie <= 0) {
            // Too few strong reflections to take any psi-e reflection.
            lst_blank(2);
            lst_line(" *** warning *** : there are no psi-e reflections ");
            lst_blank();
            npsie = 0;
            mode = -1;
            return;
        }
        nrps = npsie;
    }

    // Strong rows, in the order of list 7 (decreasing E).
    YSFL07(nr, nref, nzro, ipseudo, x);
    const int readable = std::min(DIRTR.I(dirtr::kStrongRows), nr);
    int counted = 0;
    float emin_last = DIRTR.R(dirtr::kEmin);
    for (int r = 1; r <= readable; ++r) {
        Word out[9];
        SNR07(out);
        fill_row(r, out);
        if (counted < nrtr && out[3].r >= DIRTR.R(dirtr::kEmin)) {
            ++counted;
            emin_last = out[3].r;
        }
    }
    nrtr = counted;
    DIRTR.R(dirtr::kEmin) = emin_last;
    nlar = std::min(nlar, nrtr);
    // The free vectors are strong rows: the rows after nrtr take the weak
    // or psi-e reflections.
    numk = std::min(numk, nrtr);
    DIRTR.I(dirtr::kStrongRows) = std::max(nrtr, numk);
    nrps = std::clamp(nrps, 0, kRows - nrtr);

    // Following rows.
    YSFL07(nr, nref, nzro, ipseudo, x);
    int filled = 0;
    if (mode == 1) {
        DIRPS.R(dirps::kEmax) = kNoUpperE;
        for (int r = 1; r <= std::min(nrtr + npsie, nr); ++r) {
            Word out[9];
            SNR07(out);
            if (r > nrtr) fill_row(nrtr + ++filled, out);
        }
    } else {
        const int first = nr - nrps + 1;
        std::vector<std::array<Word, 9>> candidates;
        candidates.reserve(static_cast<size_t>(std::max(nrps, 0)));
        for (int r = 1; r <= nr; ++r) {
            std::array<Word, 9> out;
            SNR07(out.data());
            if (r >= first) candidates.push_back(out);
        }
        for (auto it = candidates.rbegin(); it != candidates.rend(); ++it)
            if ((*it)[3].r <= DIRPS.R(dirps::kEmax)) fill_row(nrtr + ++filled, it->data());
    }
    nrps = filled;
}

void OUTP1(int first, int last) {
    // Five rows to a line, each line after one blank.
    for (int r0 = first; r0 <= last; r0 += 5) {
        std::vector<FItem> items;
        for (int r = r0; r <= std::min(r0 + 4, last); ++r) {
            int h[3];
            SCHKL(r, h);
            items.insert(items.end(), {r, h[0], h[1], h[2], row_e(r), row_phase(r)});
        }
        lst("(1x,5(i3,'*',3i3,f5.2,i4,2x))", items);
    }
}

void OUTP() {
    const int strong = DIRTR.I(dirtr::kStrongRows), nrps = DIRPS.I(dirps::kNrps);
    lst("('   list of the',i4,'  strongest reflections')", {strong});
    lst_blank();
    OUTP1(1, strong);
    if (PROC.I(proc::kPsiZero) == 1 || PROC.I(proc::kQuartets) == 1) {
        lst("('0  list of the',i4,'  weakest reflections for psizero and/or negative quartets cross-vectors')",
            {nrps});
        lst_blank();
        OUTP1(strong + 1, strong + nrps);
    }
}

void INVAR(int& ierr) {
    command_heading(" ZANEK : Invariants routine");
    int mode = 0, big = 0, psie = 0;
    DIRINV(mode, big, psie, ierr);
    if (ierr < 0) return;

    float sugg = 0.0f;
    int table_mode = 0, npsie = 0;
    INPT9(ierr, sugg, table_mode, npsie);
    if (ierr < 0) return;
    if (DIRTR.I(dirtr::kNrtr) < 3) {
        lst_blank();
        lst("(' *** error ***  only',i4,' strong reflections with E above',f6.2,"
            "' : no triplet can be formed')",
            {DIRTR.I(dirtr::kNrtr), DIRTR.R(dirtr::kEmin)});
        ierr = -1;
        return;
    }
    for (int type : kRelationLists) CANCELLA(type);

    if (PROC.I(proc::kP10) == 0 && PROC.I(proc::kP3Only) == 1) {
        DIR10.I(dir10::kNumk) = -1;
        PROC.I(proc::kP10) = 2;
    }
    int counts[14] = {};
    if (pseudo_conditions()) print_pseudo_heading(sugg);
    if (UREQ.I(ureqw::kPrint) > 0) OUTP();

    int hdrflag = 0;
    if (PROC.I(proc::kPsiZero) == 1) {
        UREQ.I(ureqw::kPrint) = PRIN.I(prin::kPsiZero);
        STRIP9(1, 0, 0, counts, hdrflag, big, mode);
    }
    // Negative and enantiomorph-sensitive quartets (lists 20, 21), from the
    // psi-zero relations the pass above left in the relation area.
    if (PROC.I(proc::kQuartets) == 1) {
        UREQ.I(ureqw::kPrint) = PRIN.I(prin::kQuartets);
        NEGQ(counts);
    }
    if (PROC.I(proc::kTriplets) == 1) {
        UREQ.I(ureqw::kPrint) = PRIN.I(prin::kTriplets);
        hdrflag = 0;
        STRIP9(0, 0, 0, counts, hdrflag, big, mode);
        UREQ.I(ureqw::kPrint) = PRIN.I(prin::kP10);
        if (PROC.I(proc::kP10) > 0) P10N(0, counts);
        if (PROC.I(proc::kP3Only) == 1 || DIR10.I(dir10::kNumk) <= 0) {
            CANCELLA(10);
            CANCELLA(11);
            lst_blank();
            lst_line(" triplets have been estimated using p-3 formula");
        } else {
            lst_blank();
            lst("(i5,' triplets have been strengthned by ',i3,'  free vectors using p-10 formula')",
                {counts[7], DIR10.I(dir10::kNumk)});
        }
    }
    if (psie == 1) {
        table_mode = 1;
        INPT9(ierr, sugg, table_mode, npsie);
        if (ierr < 0) return;
        if (table_mode == 1) STRIP9(1, 1, npsie, counts, hdrflag, big, mode);
    }
    print_counts(counts);
}

}  // namespace zanek
