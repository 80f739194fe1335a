#include "crystaldata/link.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "crystaldata/data_command.h"
#include "crystaldata/equivalents.h"
#include "crystaldata/reflections.h"
#include "jobcontrol/commands.h"
#include "jobcontrol/files.h"
#include "jobcontrol/lists/list01.h"
#include "jobcontrol/lists/list03.h"
#include "jobcontrol/lists/list07.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/scatter.h"
#include "jobcontrol/store/store.h"
#include "jobcontrol/text.h"
#include "platform/listing.h"
#include "platform/stop.h"
#include "platform/units.h"

namespace zanek {

namespace {

// Words of the shared records that the link sets or reads.
constexpr int kWordLength = 40;  // CUTST's longest word

bool list_present(int type) {
    int serial = 0, first = -1, last = 0, part = 0, length = 0;
    SRLIN(type, serial, first, last, part, length);
    return first > 0;
}

// The rest of the command's directive lines, unread after a failure.
void skip_rest(int read, int count) {
    for (; read < count; ++read) next_directive_line();
}

// Counts of the records passed over, for the summary.
struct LinkCounts {
    int big_index = 0;  // an index (or one of the standard equivalent) beyond 63
    int negative = 0;   // Fo < 0 set to 0
    int origin = 0;     // the record 0 0 0 (F000 carries no phase)
};

void list6_problems() { lst("(' *** error ***  problems in list number',i5)", {list6::kType}); }

bool index_fits(int h, int k, int l) {
    return std::abs(h) <= kMaxIndex && std::abs(k) <= kMaxIndex && std::abs(l) <= kMaxIndex;
}

// The known phase of a list-6 record carried to the standard equivalent as
// %data carries an input phase: in a centrosymmetric group first moved to
// 0 or 180, then ((phase + shift) * sign) in 1..360.
int link_phase(float value, int shift, int sign) {
    double phase = value;
    if (phase < 0.0) phase += 360.0;
    phase = std::fmod(std::trunc(phase + 0.05), 360.0);
    if (SYM.I(symw::kCentric) == 1) phase = std::cos(phase * TRIG.R(trig::kRadian)) > 0.0 ? 0.0 : 180.0;
    return standard_phase(static_cast<int>(phase), shift, sign);
}

// Standard equivalent of a record with GENEQ; a record beyond rhomax is
// reduced all the same (the link does not screen the resolution), so that
// every stored record carries its standard indices and restriction code.
void standard_equivalent(int& h, int& k, int& l, int& shift, int& code, int& sign, float s2) {
    const float rhomax = RC.R(rcw::kRhomax);
    RC.R(rcw::kRhomax) = std::max(rhomax, s2);
    int same = 0;
    float s2_out = 0.0f;
    GENEQ(1, h, k, l, shift, code, sign, same, s2_out);
    RC.R(rcw::kRhomax) = rhomax;
}

}  // namespace

void DIRVORP(int& ierr) {
    // The sigmas are taken to mean something until the list-7 writer finds
    // them all alike, as for %data: the flag of the run's start (0) would
    // mark valid sigmas meaningless.
    UREQ.I(ureqw::kSigma) = 1;
    UREQ.I(ureqw::kKnown) = 0;
    UREQ.I(ureqw::kPartial) = 0;
    UREQ.I(ureqw::kKept) = 0;
    UREQ.I(ureqw::kPrint) = 0;
    RC.I(rcw::kNref) = 0;
    RC.R(rcw::kELimit) = 1.2f;
    RC.I(rcw::kNzro) = kLinkWeakWanted;
    RC.R(rcw::kWeakE) = 0.3f;
    RC.R(rcw::kRhomax) = kLinkRhomax;
    RC.R(rcw::kSpare) = 0.0f;
    C.R(cw::kB) = 0.0f;
    C.R(cw::kScale) = -99.9f;

    const int count = directive_count();
    for (int read = 0; read < count;) {
        const std::string orig = next_directive_line();
        ++read;
        std::string line = orig, word(kWordLength, ' ');
        int n = 0, m = 0;
        SHIFT(line, n);
        CUTST(line, n, word, m);
        LCASE(word);
        float r[40];
        int iv[40], nnum = 0, iflag = 0;
        GETNUM(line, r, iv, nnum, iflag);
        const bool know = word.substr(0, 4) == "know";
        if (iflag == -1 || (know && nnum != 0)) {
            lst("(' error in directive : ',a)", {padded(orig, 80)});
            ierr = -1;
        } else if (!know) {
            lst_line(" wrong directive on following line:");
            lst("(1x,a)", {padded(orig, 80)});
            ierr = -1;
        } else {
            UREQ.I(ureqw::kKnown) = 1;
            continue;
        }
        skip_rest(read, count);
        return;
    }
}

void VORP(int& ierr) {
    // The sibling program's cell, symmetry and content.
    if (list_present(1)) {
        YFL01();
    } else {
        lst("(/' *** error *** no cell parameters supplied')");
        ierr = -1;
    }
    if (list_present(2)) {
        YFL02();
    } else {
        lst("(/' *** error *** no space group symbol supplied')");
        ierr = -1;
    }
    if (list_present(3)) {
        YFL03();
    } else {
        lst("(/' *** error *** no cell content supplied')");
        ierr = -1;
    }
    if (ierr < 0) return;
    SYM.R(symw::kSigma3) = content_ratio();

    RC.I(rcw::kReflections) = 0;
    max_index(1) = max_index(2) = max_index(3) = -100;
    // Without its reflections the link has nothing to hand on: a later
    // command would work on whatever list 7 the file holds.
    if (!list_present(list6::kType)) {
        lst("(' *** error ***  list number',i5,' not existent'/'                reflections expected')",
            {list6::kType});
        ierr = -1;
        return;
    }

    int n = 0;
    const int opened = YFL06(0, n);
    UREQ.R(ureqw::kWeakLimit) = -999.9f;
    RC.R(rcw::kLargestS2) = -999.9f;
    float largest_s2 = -99.9f;
    if (opened < 0) {  // records the stream cannot read (message printed)
        list6_problems();
        ierr = -1;
        return;
    }

    const bool known = UREQ.I(ureqw::kKnown) == 1;
    ScratchWriter scratch;
    LinkCounts counts;
    int stored = 0;
    // The record count of the header counts the records of every group;
    // those of group 0 are the reflections.
    for (int i = 0; i < n; ++i) {
        Word rec[list6::kMaxRecordLength];
        int group = 0;
        if (KKLDNR(rec, group) != 0) {  // the list ends before its count
            list6_problems();
            ierr = -1;
            return;
        }
        if (group != 0) continue;
        int h = rec[0].i, k = rec[1].i, l = rec[2].i;
        float fo = rec[3].r, sigma = rec[4].r;
        const float phase_value = rec[6].r;
        if (!std::isfinite(fo) || !std::isfinite(sigma) || !std::isfinite(phase_value)) {
            list6_problems();
            ierr = -1;
            return;
        }
        if (sigma < 0.0f) {
            lst("(/' *** error ***  negative value of sigma(F) in input:'//16x,'reflection ',3i4,"
                "' Fobs =',f10.3,' Sigma(F) =',f10.3)",
                {h, k, l, fo, sigma});
            ierr = -1;
            return;
        }
        if (h == 0 && k == 0 && l == 0) {
            ++counts.origin;
            continue;
        }
        if (!index_fits(h, k, l)) {
            ++counts.big_index;
            continue;
        }
        if (fo < 0.0f) {  // %data sets a negative amplitude to zero as well
            fo = 0.0f;
            if (sigma < 0.1f) sigma = 0.1f;
            ++counts.negative;
        }
        const float rho = RHOF(s2_coefficients(), h, k, l);
        const float s2 = rho * rho;
        RC.R(rcw::kLargestS2) = std::max(RC.R(rcw::kLargestS2), s2);
        UREQ.R(ureqw::kWeakLimit) = std::max(UREQ.R(ureqw::kWeakLimit), fo);

        int shift = 0, code = kPhaseGeneral, sign = 1;
        standard_equivalent(h, k, l, shift, code, sign, s2);
        if (!index_fits(h, k, l)) {  // a compact index word cannot hold it
            ++counts.big_index;
            continue;
        }
        largest_s2 = std::max(largest_s2, s2);
        const int phase = known ? link_phase(phase_value, shift, sign) : 0;
        scratch.put(h, k, l, fo, sigma, phase * 32 + code);
        ++stored;
    }
    scratch.close();
    RC.I(rcw::kReflections) = stored;

    if (counts.big_index) lst("(i15,'  rejected reflections with indices .gt. 63')", {counts.big_index});
    if (counts.negative) lst("(i15,'  Fo(s) negative set to 0.0                ')", {counts.negative});
    lst("(i15,'  independent input reflections'/3x,3i4,'  maximum  h,k,l  values'/"
        "8x,f7.4,'  maximum s**2 = (sin(theta)/lambda)**2')",
        {stored, max_index(1), max_index(2), max_index(3), largest_s2});
    RC.R(rcw::kLargestS2) = largest_s2;
    // The later commands index their tables by the super-index, as after
    // %data.
    if (!super_index_fits(super_index_of_maxima().largest, largest_s2)) ierr = -1;
}

void VORPM(int& status) {
    command_heading(" ZANEK : Vorp-Zan link routine", HeadingEnd::Link);

    if (!open_reflection_scratch()) {
        skip_directives();
        status = -1;
        return;
    }
    int ierr = 0;
    DIRVORP(ierr);
    if (ierr >= 0) VORP(ierr);
    if (ierr >= 0) {
        // Derived quantities of the content, as %data gives them.
        const int equivalents = (SYM.I(symw::kCentric) + 1) * SYM.I(symw::kOps);
        const double points = SYM.R(symw::kLatticePoints);
        const double nasym = equivalents > 0 && points > 0 ? sf::heavy_atoms() / (equivalents * points) : 0.0;
        const float ratio = static_cast<float>(SYM.R(symw::kSigma3) * std::sqrt(std::max(points, 0.0)));
        SYM.R(symw::kSigma3) = ratio;
        SYM.R(symw::kSigma3Prim) = ratio;
        const int equal_atoms = ratio > 0.0f ? static_cast<int>(1.0 / (double(ratio) * ratio) + 0.5) : 0;
        lst("(/39x,'number of atoms in asymmetric unit =',f6.2/31x,"
            "'equivalent number of equal atoms in primitive cell =',i6)",
            {nasym, equal_atoms});

        RC.I(rcw::kNref) = default_phasing_reflections(nasym, SYM.I(symw::kCentric) == 1, SYM.I(symw::kOps) == 1);
        // Even an empty list 6 gives a list 7 (of no record): the list 7
        // of an earlier job must not stand for the sibling's data.
        int seed = kDataSeed;
        PREPL7(0, seed, RC.I(rcw::kReflections));
        XDUMP();
    }
    units().close(UNIT.I(unitw::kScratch));  // the reflection scratch file
    if (ierr < 0) status = -1;
}

}  // namespace zanek
