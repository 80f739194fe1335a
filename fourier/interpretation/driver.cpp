// The interpretation driver: set-up of the work store from lists 1, 2 and
// 3 and the peak list, one run, and the hand-back of positions and bonds.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "crystaldata/special.h"
#include "fourier/interpretation/interp_internal.h"
#include "fourier/interpretation/interpretation.h"
#include "jobcontrol/lists/list01.h"
#include "jobcontrol/lists/list03.h"
#include "jobcontrol/numeric.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/listptr.h"
#include "jobcontrol/records/special.h"
#include "jobcontrol/records/store.h"
#include "platform/listing.h"

namespace zanek {

namespace {

// Default interpretation print level of each mode.
constexpr int kModeLevel[6] = {0, 3, 0, 1, 3, 0};
constexpr int kOpsParking = 4712;  // DATA words that hold the operators while list 3 is loaded

std::string two_chars(const Word& w) {
    char b[4];
    std::memcpy(b, &w, 4);
    return std::string(b, 2);
}

bool same_symbol(const Word& a, const Word& b) {
    char x[4], y[4];
    std::memcpy(x, &a, 4);
    std::memcpy(y, &b, 4);
    return x[0] == y[0] && x[1] == y[1];
}

// One line per species: number, symbol, atoms in the cell, Z, radius.
void list_species(int first, int count, bool in_xdata) {
    for (int i = 1; i <= count; ++i) {
        const int r = first + list3::kRecordLength * (i - 1);
        const Word sym = in_xdata ? XDATA.W(r) : DATA.W(r);
        auto w = [&](int k) { return in_xdata ? XR(r + k - 1) : DATA.R(r + k - 1); };
        lst("(i5,')',1x,a2,3f10.3)", {i, two_chars(sym), w(list3::kCount), w(list3::kZ), w(list3::kRadius)});
    }
}

}  // namespace

void need_store(int last) {
    if (last > kInterpLimit) throw StoreFull{};
}

void ld_line(const char* text, std::initializer_list<long> values) {
    std::string line(text);
    for (long v : values) line += fmt_i(v, 12);
    lst_line(line);
}

void interpretation_fails(const std::string& message) {
    if (!message.empty()) lst_line(message);
    throw InterpretationFailed{};
}

std::string symbol_upper(const Word& w) {
    std::string s = two_chars(w);
    if (!s.empty() && s[0] >= 'a' && s[0] <= 'z') s[0] = static_cast<char>(s[0] - 'a' + 'A');
    return s;
}

void XLAT(float tv[4][3]) {
    for (int j = 0; j < 4; ++j)
        for (int c = 0; c < 3; ++c) tv[j][c] = 0.0f;
    auto set = [&](int j, float x, float y, float z) {
        tv[j][0] = x;
        tv[j][1] = y;
        tv[j][2] = z;
    };
    const float h = 0.5f, t1 = 1.0f / 3.0f, t2 = 2.0f / 3.0f;
    int points = 1;
    switch (LST02.I(lst02::kStoredLattice)) {
        case 2: set(1, h, h, h); points = 2; break;                                       // I
        case 3: set(1, t1, t2, t2); set(2, t2, t1, t1); points = 3; break;                // R
        case 4: set(1, 0, h, h); set(2, h, 0, h); set(3, h, h, 0); points = 4; break;     // F
        case 5: set(1, 0, h, h); points = 2; break;                                       // A
        case 6: set(1, h, 0, h); points = 2; break;                                       // B
        case 7: set(1, h, h, 0); points = 2; break;                                       // C
        default: break;                                                                   // P
    }
    LST02.I(lst02::kLatticePoints) = points;
    LST02.I(lst02::kThree) = 3;
}

void CLUPAR(InterpSetup& su, int32_t* icode, int& mode, int iprint) {
    // 1. Print level, listing unit, the user's maximum distance.
    const int m = std::clamp(mode, 1, 5);
    XUNIT.I(xunit::kPrint) = std::max(kModeLevel[m], iprint);
    XUNIT.I(xunit::kListing) = UNIT.I(unitw::kListing);
    const int level = XUNIT.I(xunit::kPrint);
    su.few = 0;
    XBUIL.R(xb::kMaxDist2) = cond::max_distance() > 0.5f ? cond::max_distance() : 0.0f;
    LST02.I(lst02::kNsym) = SPEC.I(specw::kNsym);
    const int n = std::clamp(static_cast<int>(CONST.I(konst::kAtomCount)), 0, kMaxAtoms);

    // 2. The cell: direct and reciprocal metric tensors.
    YFL01();
    for (int k = 0; k < 9; ++k) {
        XBUIL.R(xb::kMetric + k) = DATA.R(LST01.I(lst01::kMetric) + k);
        XBUIL.R(xb::kRecipMetric + k) = DATA.R(LST01.I(lst01::kRecipMetric) + k);
    }

    // 3. The symmetry: occupancy of a general position, centring vectors;
    // the operators are parked at the end of DATA while list 3 is loaded.
    YFL02();
    XSPINB();  // the library's centric flag is read below; prepare it if a caller has not
    const int nops = std::clamp(static_cast<int>(LST02.I(lst02::kNsym)), 0, list2::kMaxOps);
    const double mult = static_cast<double>(nops) * LST02.R(lst02::kPointsTimesCentric);
    su.w1 = mult > 0.0 ? static_cast<float>(1.0 / mult) : 1.0f;
    XLAT(su.lat.tv);
    copy_words(DATA.at(kOpsParking), DATA.at(LST02.I(lst02::kOperators)), static_cast<std::size_t>(12 * nops + 1));

    // 4. The species: symbol and rounded Z of each type, user radii, the
    // lightest type other than hydrogen.
    YFL03();
    const int ntypes = LST03.I(lst03::kSpecies);
    const int rec1 = LST03.I(lst03::kFirst), reclen = LST03.I(lst03::kRecordLength);
    Word sym[9];
    int zint[9] = {};
    int lightest = 0;
    for (int i = 1; i <= ntypes; ++i) {
        const int r = rec1 + reclen * (i - 1);
        sym[i] = DATA.W(r + list3::kSymbol - 1);
        zint[i] = static_cast<int>(std::lround(DATA.R(r + list3::kZ - 1)));
        if (cond::radius(i) > 0.0f) DATA.R(r + list3::kRadius - 1) = cond::radius(i);
        if (DATA.R(r + list3::kZ - 1) > 1.0f && (lightest == 0 || zint[i] < zint[lightest])) lightest = i;
    }
    const bool first_is_h = ntypes >= 1 && DATA.R(rec1 + list3::kZ - 1) < 1.5f;
    if (level > 3) list_species(rec1, ntypes, false);

    // 5. Operators behind list 3, then the interpretation peak table.
    const int O = LST03.I(lst03::kNext);
    copy_words(DATA.at(O), DATA.at(kOpsParking), static_cast<std::size_t>(12 * nops));
    const int P = O + 12 * nops;
    const int t_default = std::min(first_is_h ? 2 : 1, std::max(ntypes, 1));
    int first_label = 0;
    if (m >= 4)
        for (int k = 1; k <= n; ++k)
            if (atom_label(k) != 0) {
                first_label = k;
                break;
            }
    const bool by_labels = m >= 4 && first_label != 0;
    int t = t_default;
    if (by_labels) t = first_is_h ? 1 : std::abs(atom_label(first_label)) / 100;
    for (int k = 1; k <= n; ++k) {
        if (by_labels) {
            const int lt = std::abs(atom_label(k)) / 100;
            // A label whose type is not a species of list 3 counts as no label.
            if (atom_label(k) != 0 && lt >= 1 && lt <= ntypes) {
                t = lt;
                icode[k - 1] = ntypes - t + 1;
            } else {
                icode[k - 1] = kNotInterpreted;
            }
        } else {
            icode[k - 1] = ntypes - t + 1;
        }
        const int ts = std::clamp(t, 1, std::max(ntypes, 1));
        const int r = P + 8 * (k - 1);
        DATA.W(r) = sym[ts];
        DATA.R(r + 1) = static_cast<float>(k);
        for (int c = 1; c <= 3; ++c) DATA.R(r + 1 + c) = atom_coord(k, c);
        if (atom_coord(k, 5) <= 0.0f) atom_coord(k, 5) = 1.0f;
        DATA.R(r + 5) = atom_coord(k, 5);
        DATA.R(r + 6) = 1.0f;
        if (atom_coord(k, 4) <= 0.0f) atom_coord(k, 4) = 100.0f * static_cast<float>(t);
        DATA.R(r + 7) = atom_coord(k, 4);
    }
    su.saved_mode = -1;
    if (m >= 4 && !by_labels) {
        su.saved_mode = mode;
        mode = 2;
    }

    // 6. DATA into the work store; the working peak table and the bond list.
    copy_words(XDATA.at(kInterpBase + 1), DATA.at(1), DATA.size());
    Desc& d = su.desc;
    d.peaks = P + kInterpBase;
    d.n = n;
    d.species = rec1 + kInterpBase;
    d.nspecies = ntypes;
    d.species_len = reclen;
    d.ops = O + kInterpBase;
    d.nops = nops;
    su.A = d.peaks + 8 * n;
    su.result_word = d.peaks;
    copy_words(XDATA.at(su.A), XDATA.at(d.peaks), static_cast<std::size_t>(8 * n));
    if (level > 3)
        for (int k = 1; k <= n; ++k) {
            const int r = su.A + 8 * (k - 1);
            lst("(a2,2x,7f12.5)", {two_chars(XDATA.W(r)), XR(r + 1), XR(r + 2), XR(r + 3), XR(r + 4), XR(r + 5),
                                   XR(r + 6), XR(r + 7)});
        }
    su.B = su.A + 40 * n;
    for (int k = su.A + 8 * n; k < su.A + 72 * n; ++k) XI(k) = 0;
    const int next_free = su.A + 72 * n + 8 * std::min(n, 100);

    // 7. Species records by decreasing Z, and the Z of each in that order.
    SORTZ(d.species, ntypes, reclen, -list3::kZ);
    if (level > 3) {
        ld_line(" c--sort decrease-z mode", {static_cast<long>(d.species), static_cast<long>(ntypes), 18L});
        list_species(d.species, ntypes, true);
    }
    for (int i = 1; i <= ntypes && i <= 8; ++i) {
        su.zsort[i] = 0.0f;
        for (int k = 1; k <= ntypes; ++k)
            if (XDATA.W(species_word(d, i, 1)).i == sym[k].i) su.zsort[i] = static_cast<float>(zint[k]);
    }

    // 8. Too few peaks to interpret: all are taken as the lightest species.
    if (n < 3) {
        su.few = 1;
        for (int k = 1; k <= n; ++k) icode[k - 1] = 100 * lightest;
    }

    // 9. Coordination entries by the species they name, in sorted order.
    const int ne = std::clamp(static_cast<int>(cond::entries()), 0, inpcl::kMaxEntries);
    for (int e = 1; e <= ne; ++e) {
        int s = 0;
        for (int i = 1; i <= ntypes; ++i)
            if (same_symbol(cond::element(e), XDATA.W(species_word(d, i, 1)))) s = i;
        cond::species(e) = s;
    }
    if (ne > 1) {
        const int w = next_free;
        for (int e = 1; e <= ne; ++e) {
            const int r = w + 5 * (e - 1);
            XDATA.W(r) = cond::element(e);
            XR(r + 1) = cond::dmin(e);
            XR(r + 2) = cond::dmax(e);
            XI(r + 3) = cond::type(e);
            XR(r + 4) = static_cast<float>(cond::species(e));
        }
        SORTZ(w, ne, 5, 5);
        for (int e = 1; e <= ne; ++e) {
            const int r = w + 5 * (e - 1);
            cond::element(e) = XDATA.W(r);
            cond::dmin(e) = XR(r + 1);
            cond::dmax(e) = XR(r + 2);
            cond::type(e) = XI(r + 3);
            cond::species(e) = static_cast<int32_t>(std::lround(XR(r + 4)));
        }
    }

    // 10. The free word, the centric flag, the lattice points.
    XBUIL.I(xb::kFree) = next_free;
    su.lat.centric = SPEC.I(specw::kCentric);
    su.lat.nlatt = std::clamp(static_cast<int>(LST02.I(lst02::kLatticePoints)), 1, 4);
}

void CLUEND(const InterpSetup& su) {
    const Desc& d = su.desc;
    for (int k = 1; k <= d.n; ++k) {
        const int r = su.A + 8 * (k - 1);
        for (int c = 1; c <= 3; ++c) atom_coord(k, c) = XR(r + 1 + c);
        atom_coord(k, 4) = XR(r + 7);
    }
    if (su.few == 1) return;
    const int nb = std::clamp(static_cast<int>(XI(su.B)), 0, (static_cast<int>(TEMP.size()) - 1) / 2);
    TEMP.R(tempw::kBondCount) = static_cast<float>(nb);
    for (int i = 1; i <= 2 * nb; ++i) bond_atom(i) = static_cast<float>(XI(su.B + i));
}

void MAINCL(int32_t* ICODE, int& MODE, int IPRINT) {
    cond::plot_switch() = 1;
    InterpSetup su;
    CLUPAR(su, ICODE, MODE, IPRINT);
    CLUST(su, ICODE, MODE);
    CLUEND(su);
    if (su.saved_mode != -1) MODE = su.saved_mode;
}

}  // namespace zanek
