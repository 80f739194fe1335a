// Output section of %fourier: the peaks are interpreted (unless the final
// output brings its own codes), labelled with the species the
// interpretation found, listed with their special positions, and moved
// onto the special position where they sit on one.
#include <algorithm>
#include <cmath>
#include <string>

#include "crystaldata/special.h"
#include "fourier/fourier_records.h"
#include "fourier/interpretation/interpretation.h"
#include "fourier/maps/fourier.h"
#include "fourier/maps/maps_internal.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/scatter.h"
#include "jobcontrol/records/special.h"
#include "platform/fformat.h"
#include "platform/listing.h"

namespace zanek {

namespace {

constexpr int kShortLine = 50, kLongLine = 124;

void long_heading() {
    lst_blank();
    lst_line(std::string(46, ' ') + "   special positions information   ");
    lst_line(std::string(12, ' ') + "i--- found  in ---i" + std::string(16, ' ') + "i--- moved  to ---i" +
             std::string(12, ' ') + "i---------  restrictions  on  ---------i");
    lst_line(" Atom  Height      x      y      z  B(iso) Frag      x      y      z    Occ." +
             std::string(2, ' ') + " L.Sq. shifts & thermal parameters    Site");
    lst_blank();
}

void short_heading() {
    lst_blank();
    lst_line(" Atom  Height      x      y      z  B(iso) Frag");
    lst_blank();
}

// Site order of peak i and the averaged special position.
int site_of(int i, int level, SiteWork& work, int kode[10], float pnew[11]) {
    float p[11] = {atom_coord(i, 1), atom_coord(i, 2), atom_coord(i, 3)};
    KSPECB(work, p, pnew, kode, 0, 0, 0, level);
    return kode[9];
}

}  // namespace

void OUTPEA(const std::string& /*name*/, int32_t* codes, int& mode) {
    const int n = std::clamp(CONST.I(konst::kAtomCount), 0, kMaxAtoms);
    const int nspecies = sf::species();
    if (EMAP.I(emap::kCycleLimit) == 0) UREQ.I(ureqw::kPrint) = 3;
    const int step = EMAP.I(emap::kStepB);
    if (step == 0 || step == emap::kIntermediate) {
        if (step == emap::kIntermediate) mode = 3;
        std::fill(codes, codes + kMaxAtoms, 0);
        MAINCL(codes, mode, UREQ.I(ureqw::kPrint));
        if (step == 0 && codes[0] == kNotInterpreted) codes[0] = 100;
    }

    switch (EMAP.I(emap::kNextAction)) {
        case 0:
            if (EMAP.I(emap::kCycleLimit) == 100) {
                EMAP.R(emap::kLastR) = EMAP.R(emap::kPrevR);
                EMAP.R(emap::kR) = EMAP.R(emap::kPrevR);
            } else {
                EMAP.R(emap::kLastR) = EMAP.R(emap::kR);
                EMAP.R(emap::kPrevR) = EMAP.R(emap::kR);
            }
            break;
        case 1: EMAP.R(emap::kLastR) = EMAP.R(emap::kR); break;
        default:
            EMAP.R(emap::kR) = EMAP.R(emap::kPrevR);
            EMAP.R(emap::kLastR) = EMAP.R(emap::kPrevR);
            break;
    }

    const int print = UREQ.I(ureqw::kPrint);
    XSPINB();
    bool any_special = false;
    if (print > 1) {
        fourier_heading("***   Output section  ***");
        const float r100 = 100.0f * EMAP.R(emap::kR);
        if (r100 > 0.0f)
            lst("(' After ',a,'  cycles final residual value =',f7.2,'% ')",
                {fmt_i_whole(EMAP.I(emap::kCycles), 2), r100});
        XWRIFL();
        for (int i = 1; i <= n && !any_special; ++i) {
            SiteWork work;
            int kode[10];
            float pnew[11];
            if (site_of(i, 2, work, kode, pnew) > 1) any_special = true;
        }
        if (any_special) long_heading();
        else short_heading();
    }

    for (int i = 1; i <= n; ++i) {
        int code = codes[i - 1], sign = 1, fragment = 0;
        if (code < 0) {
            sign = -1;
            code = std::abs(code);
            if (code / 100 > nspecies) {
                code = 0;
                sign = 0;
            }
        } else {
            fragment = code % 100;
        }
        const int k = nspecies - code / 100 + 1;
        codes[i - 1] = sign * k;
        atom_label(i) = sign * (100 * k + fragment);
        const int height = static_cast<int>(atom_coord(i, 4) + 0.5f);

        if (print > 1) {
            ATPOS.assign(kLongLine, ' ');
            std::string line;
            if (k > nspecies) {
                line = fformat("(1x,'Q ',i3,i6,2x,3f7.3,11x)", {i, height, atom_coord(i, 1), atom_coord(i, 2),
                                                                  atom_coord(i, 3)})[0];
            } else {
                line = fformat("(1x,a2,i3,i6,2x,3f7.3,f7.2,i4)", {species_label(k), i, height, atom_coord(i, 1),
                                                                   atom_coord(i, 2), atom_coord(i, 3), atom_b(i), fragment})[0];
            }
            line.resize(46, ' ');
            ATPOS.replace(0, 46, line);
        }
        SiteWork work;
        int kode[10];
        float pnew[11];
        const int order = site_of(i, print > 1 ? 3 : 2, work, kode, pnew);
        if (order > 1) {
            int result = 0;
            SITE(work, kode, print > 1 ? 1 : 0, result);
            for (int c = 1; c <= 3; ++c) atom_coord(i, c) = pnew[c - 1];
        }
        if (print > 1) lst_line(ATPOS.substr(0, any_special ? kLongLine : kShortLine));
    }
}

}  // namespace zanek
