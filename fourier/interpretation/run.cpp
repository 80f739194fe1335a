// One peak interpretation: species labelling, contacts under symmetry,
// short contacts, accepted bond distances, bond angles, fragment growth,
// result codes, fragment tables, bonds, plots and the fragment listing.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "fourier/interpretation/interp_internal.h"
#include "fourier/interpretation/interpretation.h"
#include "platform/listing.h"

namespace zanek {

namespace {

constexpr float kRad = 57.29578f;
constexpr float kSearchFloor2 = 5.76f;  // the neighbour search reaches at least 2.4 A

const char* kDashes78 = "(1x,78('-'))";

// Species table of the listing: radius, distance and angle limits, Z,
// and a mark where the user's conditions touch the species.
void list_species_table(const Desc& d, int nspec, const GroupTable& gt) {
    lst("(/,1x,'Assumed atomic parameters and limits for',' interatomic bonds and angles',/,16x,"
        "'   (interspecies and intraspecies)',/,/,23x,'distances',12x,'angles',7x,'  atomic  ',4x,'user',/,"
        "1x,'type',3x,'radius',4x,'minimum   maximum',4x,'minimum  maximum',4x,'number',4x,'conditions',/)");
    for (int i = 1; i <= nspec; ++i) {
        int digits = 0;
        for (int m = membership(i); m != 0; m /= 10) ++digits;
        const int top = std::max(digits, 1);
        const bool user = (top <= xb::kMaxGroups && gt.entry[top] == i) ||
                          (d.nspecies + 1 - i >= 1 && cond::radius(d.nspecies + 1 - i) > 0.0f);
        const int cls = std::clamp(static_cast<int>(spt(i, 8)), 1, 3);
        lst("(2x,a2,f9.3,1x,2f10.2,1x,2f10.2,f10.3,8x,a2)",
            {symbol_upper(XDATA.W(species_word(d, i, 1))), spt(i, 2), spt(i, 5), spt(i, 6), angle_min(cls),
             angle_max(cls), spt(i, 3), user ? "*" : ""});
    }
}

// Groups: peaks, candidate species, angle range; then the bond-distance
// ranges between groups.
void list_groups(const Desc& d, int n) {
    const int ng = XBUIL.I(xb::kGroups);
    lst_blank();
    lst_line(" Tentative of peak labelling in terms of atomic species");
    lst("(/,'  group',3x,'   peaks',3x,'   possible    ',3x,' species',3x,'  range of ')");
    lst("(' number',3x,'included',2x,'chemical species',3x,'assigned',3x,'bond angles')");
    for (int g = 1; g <= ng; ++g) {
        int count = 0;
        for (int k = 1; k <= n; ++k)
            if (group_of(k) == g) ++count;
        std::string names;
        const int cls = std::clamp(static_cast<int>(group_class(g)), 1, 3);
        if (cls == 3) {
            names = "    any";
        } else {
            for (int j = group_first_species(g); j <= group_last_species(g); ++j)
                names += symbol_upper(XDATA.W(species_word(d, j, 1))) + " ";
        }
        names.resize(15, ' ');  // a 15-character field, filled from the left
        const int last = std::max(1, static_cast<int>(group_last_species(g)));
        lst("(1x,i4,4x,3x,i3,6x,a15,3x,2x,a2,3x,4x,f4.0,' - ',f4.0)",
            {g, count, names, symbol_upper(XDATA.W(species_word(d, last, 1))), angle_min(cls), angle_max(cls)});
    }
    lst("(/,' range of bond distances used to build fragments')");
    for (int c0 = 1; c0 <= ng; c0 += 4) {
        const int c1 = std::min(ng, c0 + 3);
        std::vector<FItem> head;
        for (int c = c0; c <= c1; ++c) {
            head.emplace_back(" group");
            head.emplace_back(c);
        }
        lst("(3x,'group',8(6x,a6,i2,1x))", head);
        for (int g1 = 1; g1 <= c1; ++g1) {
            std::vector<FItem> row{FItem(g1)};
            for (int g2 = c0; g2 <= c1; ++g2) {
                if (g2 < g1)
                    row.emplace_back(std::string(15, ' '));
                else
                    row.emplace_back(fformat("(2x,'(',f4.1,' -',f4.1,' )')", {dmin_of(g1, g2), dmax_of(g1, g2)})[0]);
            }
            lst("(2x,i4,2x,8a15)", row);
        }
    }
}

// Peaks too close to others, and those neglected altogether.
void list_inconsistent(int n) {
    lst_blank();
    bool heading = false;
    for (int k = 1; k <= n; ++k) {
        const int sc = XI(XBUIL.I(xb::kShortIndex) + k - 1);
        if (sc == 0 || XI(sc) == 0) continue;
        if (!heading) {
            lst_line(" list of unconsistent peaks  ");
            heading = true;
        }
        std::vector<FItem> items{FItem(k)};
        for (int e = 1; e <= XI(sc); ++e) items.emplace_back(static_cast<int>(XI(sc + e)));
        lst("(1x,i4,' with ',18i4)", items);
    }
    const int ne = XBUIL.I(xb::kExclCount);
    if (ne > 0) {
        std::vector<FItem> items;
        for (int e = 0; e < ne; ++e) items.emplace_back(static_cast<int>(XI(XBUIL.I(xb::kExcl) + e)));
        lst("(/,' the following peaks have been neglected: ',9i4,/,5(20i4,/))", items);
    }
}

// The neighbour blocks: every image of every peak within the search radius.
void neighbour_search(const Desc& d, const Lattice& lat) {
    const int n = d.n;
    float g[9];
    metric_copy(g);
    std::vector<ImageSet> sets(static_cast<std::size_t>(n));
    for (int j = 1; j <= n; ++j) {
        const float x[3] = {XR(peak_word(d, j, 3)), XR(peak_word(d, j, 4)), XR(peak_word(d, j, 5))};
        image_set(d, lat, x, g, sets[j - 1]);
    }
    XBUIL.I(xb::kRadix1) = 196000;
    XBUIL.I(xb::kRadix2) = 490;
    XBUIL.I(xb::kRadix3) = 10;
    static Images im;
    int cursor = XBUIL.I(xb::kNbrBlocks);
    for (int i = 1; i <= n; ++i) {
        const float xi[3] = {XR(peak_word(d, i, 3)), XR(peak_word(d, i, 4)), XR(peak_word(d, i, 5))};
        const int h = cursor;
        need_store(h + 1);
        XI(h) = i;
        XI(h + 1) = 0;
        XI(XBUIL.I(xb::kNbrHead) + i - 1) = h;
        cursor = h + 2;
        int total = 0;
        for (int j = 1; j <= n; ++j) {
            images_near(sets[j - 1], xi, j, i == j, g, im);
            need_store(cursor + 5 * im.count);
            for (int e = 0; e < im.count; ++e) {
                XI(cursor) = im.code[e];
                XR(cursor + 1) = std::sqrt(im.d2[e]);
                for (int c = 0; c < 3; ++c) XR(cursor + 2 + c) = im.dv[e][c];
                cursor += 5;
            }
            total += im.count;
        }
        XI(h + 1) = total;
    }
    XBUIL.I(xb::kShortIndex) = cursor;
}

// The work store cannot hold the tables of this many contacts: the
// interpretation ends here, with what it has.
void store_full_warning() {
    lst_line(" *** warning *** interpretation work store full: fragments not completed");
}

// No fragment: every peak unplaced, positions back into the cell.
void no_fragment(InterpSetup& su, int32_t* icode) {
    const int n = su.desc.n;
    for (int k = 0; k < n; ++k)
        if (icode[k] >= 0) icode[k] = -(100 * icode[k] + 1);
    for (int k = 1; k <= n; ++k)
        for (int c = 3; c <= 5; ++c) {
            float& x = XR(su.A + 8 * (k - 1) + c - 1);
            x = std::fmod(x, 1.0f);
            if (x < 0.0f) x += 1.0f;
            if (x >= 1.0f) x = 0.0f;
        }
}

}  // namespace

void CLUST(InterpSetup& su, int32_t* icode, int mode) {
    Desc& d = su.desc;
    const int n = d.n;
    const int level = print_level();

    // 1. Too few peaks.
    if (su.few == 1) {
        su.result_word = d.peaks;
        return;
    }

    // 2. Relative heights; the bond-angle ranges of the three angle classes.
    const int P = d.peaks;
    std::vector<float> w(static_cast<std::size_t>(n) + 1, 0.0f);
    const float h1 = XR(peak_word(d, 1, 8));
    for (int k = 1; k <= n; ++k) w[k] = h1 != 0.0f ? XR(peak_word(d, k, 8)) / h1 : 0.0f;
    const float smallest[3] = {55.0f, 85.0f, 55.0f}, largest[3] = {180.0f, 145.0f, 180.0f};
    for (int cls = 1; cls <= 3; ++cls) {
        angle_min(cls) = smallest[cls - 1];
        angle_max(cls) = largest[cls - 1];
    }

    GroupTable gt;
    int nspec = 0;
    int plotflag = level != 0 ? 0 : -1;
    int status = 0;  // first peak status word
    int free_before = 0, switch_before = 0;
    FragTables ft;
    try {
        // 3. Species labelling.
        if (mode <= 3)
            NAMEPK(d, su.w1, nspec, icode, gt, su.zsort);
        else
            READPK(d, su.w1, nspec, icode, gt, su.zsort);

        // 4. Species table.
        if (level > 1) list_species_table(d, nspec, gt);

        // 5. Neighbour search, out to at least 2.4 A.
        const float saved10 = XBUIL.R(xb::kMaxDist2), saved11 = XBUIL.R(xb::kMinDist2);
        XBUIL.R(xb::kMaxDist2) = std::max(saved10, kSearchFloor2);
        const float searched = XBUIL.R(xb::kMaxDist2);
        const int base = XBUIL.I(xb::kFree);
        need_store(base + 2 * n + 1);
        XBUIL.I(xb::kStatus) = status = base;
        XBUIL.I(xb::kNbrHead) = base + n;
        XBUIL.I(xb::kNbrBlocks) = base + 2 * n;
        XBUIL.I(xb::kNbrLen) = 5;
        for (int k = base; k <= base + 2 * n; ++k) XI(k) = 0;
        neighbour_search(d, su.lat);
        XBUIL.R(xb::kMaxDist2) = saved10;
        XBUIL.R(xb::kMinDist2) = saved11;

        // 6. Short contacts.
        const int sc = XBUIL.I(xb::kShortIndex);
        need_store(sc + n);
        for (int k = 0; k < n; ++k) XI(sc + k) = 0;
        XBUIL.I(xb::kShortLists) = sc + n;
        XBUIL.I(xb::kShortCursor) = sc + n;
        XBUIL.I(xb::kAngleClass) = 1;
        for (int g = 1; g <= XBUIL.I(xb::kGroups); ++g) ANINC(g, mode, n);

        // 7. Exclusion list (unlabelled peaks of the label modes), angle records.
        const int ex = XBUIL.I(xb::kShortCursor);
        XBUIL.I(xb::kExcl) = ex;
        XBUIL.I(xb::kExclCursor) = ex;
        XBUIL.I(xb::kExclCount) = 0;
        need_store(ex + 2 * n + 90 * n);
        if (mode >= 4)
            for (int k = 1; k <= n; ++k)
                if (icode[k - 1] == kNotInterpreted) exclude_peak(k);
        XBUIL.I(xb::kAngleIndex) = ex + n;
        XBUIL.I(xb::kAngleRecs) = ex + 2 * n;
        XBUIL.I(xb::kAngleCursor) = ex + 2 * n;
        XBUIL.I(xb::kScan) = XBUIL.I(xb::kStatus);
        XBUIL.I(xb::kBondedPeaks) = 0;
        XBUIL.I(xb::kAngleLen) = 3;
        for (int k = XBUIL.I(xb::kExclCursor); k <= XBUIL.I(xb::kAngleRecs) + 90 * n; ++k) XI(k) = 0;

        // 8-9. Group tables; the contacts found.
        if (level > 2) list_groups(d, n);
        if (level > 1) {
            lst(kDashes78);
            lst("(2x,'interpeak distances up to ',f5.2,/)", {std::sqrt(searched)});
            STTAB(XBUIL.I(xb::kNbrHead), 5, n);
        }

        // 10. Accepted distances.
        for (int g = 1; g <= XBUIL.I(xb::kGroups); ++g) ANDIS(g, mode, n);
        XBUIL.I(xb::kFree) = XBUIL.I(xb::kAngleLists) = XBUIL.I(xb::kAngleCursor);
        if (level > 2) {
            lst_blank();
            lst("('  accepted distances in this interpretation ',/)");
            STTAB(-XBUIL.I(xb::kAngleIndex), 3, n);
        }

        // 11-12. Inconsistent peaks; bond angles.
        if (level > 1) list_inconsistent(n);
        CALANG(d, kRad);

        // 13. Fragment growth.
        for (int k = 1; k <= n; ++k) XI(status + k - 1) = icode[k - 1] == kNotInterpreted ? -101 : 100;
        su.result_word = P;
        free_before = XBUIL.I(xb::kFree);
        switch_before = cond::plot_switch();
        INTCLU(d, ft, nspec, w.data(), mode);
    } catch (const StoreFull&) {
        store_full_warning();
        no_fragment(su, icode);
        return;
    }

    // 14. No fragment: every peak unplaced, positions back into the cell.
    bool any_accepted = false;
    for (int k = 1; k <= n; ++k)
        if (JCOD(XI(status + k - 1)) == 3) any_accepted = true;
    if (XBUIL.I(xb::kFragments) == 0 || !any_accepted) {
        no_fragment(su, icode);
        return;
    }

    // 15. Fragment counts afresh from the status words.
    XBUIL.I(xb::kFree) = free_before;
    d.peaks = P;
    cond::plot_switch() = switch_before;
    for (int k = XBUIL.I(xb::kFree); k <= kInterpLimit; ++k) XI(k) = 0;
    XBUIL.I(xb::kScan) = status;
    ft = FragTables{};
    int nfrag = 0;
    for (int k = 1; k <= n; ++k) {
        const int s = XI(status + k - 1);
        if (JCOD(s) != 3) continue;
        const int f = JORDFR(s);
        ++ft.nfr[f];
        nfrag = std::max(nfrag, f);
    }
    XBUIL.I(xb::kFragments) = nfrag;

    // 16. Result codes: species and fragment, negative outside the fragments.
    for (int k = 1; k <= n; ++k) {
        int& c = icode[k - 1];
        if (c == kNotInterpreted) continue;
        const int s = XI(status + k - 1);
        c = JORDFR(s) + 100 * std::abs(c);
        if (JCOD(s) != 3) c = -c;
    }
    for (int e = 0; e < XBUIL.I(xb::kExclCount); ++e) icode[XI(XBUIL.I(xb::kExcl) + e) - 1] = kNotInterpreted;

    try {
        // 17. Connection tables; positions joined into connected fragments.
        if (level > 0) {
            lst(kDashes78);
            lst(kDashes78);
            lst_blank();
        }
        STORCL(d, ft, su.lat, su.result_word);

        // 18. Bonds, plots and the fragment listing.
        int newn = 0, newstart = 0;
        if (level != 0 || cond::plot_switch() != 0) {
            if (cond::regroup() == 1) BONDER(d, ft, newn, newstart, su.B);
            const float* gg = &XBUIL.R(xb::kMetric);
            CLUPRZ(d, gg, plotflag, newn, newstart);
            STCLU(d, ft, plotflag, newn, newstart, su.result_word);
        }
    } catch (const StoreFull&) {
        store_full_warning();
    }
}

}  // namespace zanek
