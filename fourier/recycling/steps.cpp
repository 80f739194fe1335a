// The three recycling steps. Each decides which peaks of the last map enter
// the model and with what weight, runs the structure-factor pass that leaves
// the coefficients of the next map, restores the atom list and stores it as
// list 15.
//   step A: peaks weighted by their height, no least squares;
//   step B: peaks given species from the cell contents, matched to the
//           previous model, weighted, then refined by least squares;
//   step C: step B for a recycling restarted on the user's request.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <string>

#include "fourier/fourier_records.h"
#include "fourier/interpretation/interpretation.h"
#include "fourier/recycling/recycling.h"
#include "fourier/recycling/recycling_internal.h"
#include "graphics/screens.h"
#include "jobcontrol/lists/list07.h"
#include "jobcontrol/lists/list15.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/scatter.h"
#include "platform/listing.h"

namespace zanek {

namespace {

inline int species_of_label(int label) { return std::abs(label) / 100; }
inline int z_of(int t) { return (t >= 1 && t <= sf::species()) ? sf::z(t) : 0; }

int atom_count() { return std::clamp(CONST.I(konst::kAtomCount), 0, kMaxAtoms); }

// The atoms of the cell that are not hydrogen, when species 1 is hydrogen.
double expected_atoms() {
    double ntot = 0.0;
    for (int t = light_species(); t <= sf::species(); ++t) ntot += sf::count(t);
    return ntot;
}

// Which atoms the expected-contents count runs over.
enum class Count {
    Labelled,            // step A: every labelled atom
    LabelledWithin,      // step B: labelled atoms while the running sum fits
    AllWithin,           // step C: every atom while the running sum fits
};

// Index of the last atom that the cell contents can hold (the nfull-th
// counted atom), n when none is counted.
int expected_last(Count how, int n) {
    const double f = multiplicity_factor();
    const double ntot = expected_atoms();
    double cum = 0.0;
    int last = 0;
    for (int i = 1; i <= n; ++i) {
        if (how != Count::AllWithin && atom_label(i) == 0) continue;
        if (how != Count::Labelled && cum > ntot) break;
        cum += f * atom_coord(i, 5);
        if (cum - ntot < 0.0833333) last = i;
    }
    return last == 0 ? n : last;
}

struct Saved {
    std::array<int, kMaxAtoms + 1> label{};
    std::array<float, kMaxAtoms + 1> occ{};
};

void save(Saved& s, int n) {
    for (int i = 1; i <= n; ++i) s.label[i] = atom_label(i), s.occ[i] = atom_coord(i, 5);
}

// Mean inverse height of the lightest atoms: atom `last` and up to two
// earlier atoms of its species.
double light_end_inverse_height(int last) {
    if (last < 1) return 0.0;
    const int tl = species_of_label(atom_label(last));
    double sum = atom_coord(last, 4);
    int count = 1;
    for (int j = last - 1; j >= 1 && count <= 2; --j)
        if (species_of_label(atom_label(j)) == tl) sum += atom_coord(j, 4), ++count;
    return sum > 0.0 ? count / sum : 0.0;
}

// Weights of steps B and C: full weight within the expected contents,
// beyond it a weight growing with the height and with R; a weight of 0.3 or
// less drops the peak. Labels become species numbers.
void weigh_by_height(int n, int last, double hinv, bool every_atom) {
    const double r = EMAP.R(emap::kR);
    const double r3 = std::cbrt(r);
    for (int i = 1; i <= n; ++i) {
        const int label = atom_label(i);
        if (label == 0 && !every_atom) continue;
        const float occ0 = atom_coord(i, 5);
        double w = 1.0;
        if (i > last) {
            w = r3 * hinv * atom_coord(i, 4);
            if (w <= 0.3) {
                atom_label(i) = 0;
                w = 0.0;
            }
        }
        atom_coord(i, 5) = static_cast<float>(occ0 * w);
        const int t = species_of_label(atom_label(i));
        atom_label(i) = t;
        if (UREQ.I(ureqw::kPrint) > 1 && label != 0) {
            std::vector<FItem> it{i};
            const bool named = t != 0;
            if (named) it.push_back(species_symbol(t));
            for (FItem v : {FItem(atom_coord(i, 4)), FItem(1.0), FItem(hinv), FItem(100.0 * r), FItem(0.3333333),
                            FItem(w), FItem(occ0), FItem(atom_coord(i, 5)), FItem(w)})
                it.push_back(v);
            lst(named ? "(i4,')',2x,a2,2x,f8.1,4f10.3,f10.8,f6.2,f8.4,3f8.4)"
                      : "(i4,')',6x,f8.1,4f10.3,f10.8,f6.2,f8.4,3f8.4)",
                it);
        }
    }
}

void interpret_silently() {
    std::array<int32_t, kMaxResultCodes> codes{};
    int mode = interp_mode::kRecycle;
    MAINCL(codes.data(), mode, UREQ.I(ureqw::kPrint));
}

void store_and_show(int n, int icyc, int screen_mode) {
    const int set = CONST.I(konst::kSetNumber);
    FRM15(n, set, 1);
    SCRF(set, icyc - 1, screen_mode);
}

}  // namespace

void SFTRA(int& icyc, int& nref, float* a2) {
    const int n = atom_count();
    const int nt = sf::species();
    Saved saved;
    save(saved, n);

    // 1. The peaks the cell contents can hold.
    int nlab = 0;
    for (int i = 1; i <= n; ++i)
        if (atom_label(i) != 0) ++nlab;
    const int last = expected_last(Count::Labelled, n);
    const double hlast = last >= 1 ? atom_coord(last, 4) : 0.0;

    // 2. Weights: peaks beyond the expected contents count by height; typed
    // but unnumbered atoms count less the further down the list they are.
    std::array<double, kMaxAtoms + 1> w{};
    w.fill(1.0);
    int rank = 0;
    for (int i = 1; i <= n; ++i) {
        if (atom_label(i) == 0) continue;
        ++rank;
        const double q = 0.8 * std::sqrt(static_cast<double>(nlab - rank + 1) / nlab);
        const bool typed_only = atom_label(i) < 0;
        if (i <= last)
            w[i] = typed_only ? q : 1.0;
        else
            w[i] = (hlast > 0.0 ? 0.667 * atom_coord(i, 4) / hlast : 0.0) * (typed_only ? q : 1.0);
    }

    // 3. Heights relative to the top peak, never below a floor set by the
    // lightest and the top species; below the floor they fall off slowly.
    const double h1 = n >= 1 ? atom_coord(1, 4) : 0.0;
    const int t1 = n >= 1 ? species_of_label(atom_label(1)) : 0;
    int tl = 0;
    for (int i = n; i >= 1 && tl == 0; --i) tl = species_of_label(atom_label(i));
    const double hmin = z_of(t1) > 0 ? 0.667 * z_of(tl) / z_of(t1) : 0.667;
    std::array<double, kMaxAtoms + 1> rel{};
    UREQ.I(ureqw::kWork) = 0;
    double href = 0.0;
    for (int i = 1; i <= n; ++i) {
        if (atom_label(i) == 0) continue;
        const double h = atom_coord(i, 4);
        if (UREQ.I(ureqw::kWork) == 0) {
            rel[i] = h1 > 0.0 ? h / h1 : 1.0;
            if (rel[i] < hmin) {
                href = h;
                rel[i] = hmin;
                UREQ.I(ureqw::kWork) = 1;
            }
        } else {
            rel[i] = href > 0.0 && h > 0.0 ? hmin * std::sqrt(h / href) : 0.0;
        }
    }

    // 4. The model: every peak an atom of the last species with a weighted
    // occupancy, except the atoms of a known fragment in the first cycle.
    const bool fragment_start = EMAP.I(emap::kFragmentFlag) != 0 && icyc == 2;
    for (int i = 1; i <= n; ++i) {
        atom_label(i) = species_of_label(atom_label(i));
        if (fragment_start || atom_label(i) == 0) continue;
        atom_coord(i, 5) = static_cast<float>(atom_coord(i, 5) * rel[i] * w[i]);
        atom_label(i) = nt;
        const double zeff = z_of(nt) * rel[i] * w[i];
        if (zeff < 1.0) {
            atom_label(i) = 0;
            if (UREQ.I(ureqw::kPrint) > 2)
                lst("(' atom ',i3,' rejected',6f10.5)", {i, saved.occ[i], atom_coord(i, 4), w[i], rel[i], hmin, zeff});
        }
    }

    // 5. Structure factors.
    PKL15(n);
    int mode = 0, ncyc = 1;
    float scale = 0.0f;
    SFTRYYY(mode, icyc, ncyc, nref, a2, scale);

    // 6. Back to the atom list.
    for (int i = 1; i <= n; ++i) {
        if (atom_label(i) != 0) atom_label(i) = saved.label[i];
        atom_coord(i, 5) = saved.occ[i];
    }
    store_and_show(n, icyc, 1);
}

void SFTRB(int& icyc, int& nref, float* a2) {
    int nrec = 0, nphase = 0, nweak = 0, pseudo = 0, seed = 0;
    YSFL07(nrec, nphase, nweak, pseudo, seed);
    const int n = atom_count();

    // 2. Every peak a light atom, then the peaks the contents can hold.
    if (EMAP.I(emap::kStepB) > 0)
        for (int i = 1; i <= n; ++i) atom_label(i) = 100 * light_species() + 1;
    const int last = expected_last(Count::LabelledWithin, n);

    // 3. Species from heights, close pairs removed, match to the last model.
    LABEL(last);
    MUOVI();
    if (EMAP.I(emap::kStepB) != 1) ASSBTY();

    // 4-5. Weights.
    const double hinv = light_end_inverse_height(last);
    Saved saved;
    save(saved, n);
    weigh_by_height(n, last, hinv, false);

    // 6. Structure factors and least squares.
    PKL15(n);
    int mode = 3, ncyc = 7;
    float scale = 0.0f;
    SFTRYYY(mode, icyc, ncyc, nref, a2, scale);

    // 7. Labels with their serial numbers, occupancies as they were.
    for (int i = 1; i <= n; ++i) {
        const int t = atom_label(i);
        if (t != 0) {
            const int s = saved.label[i] > 0 ? 1 : -1;
            atom_label(i) = (100 * t + std::abs(saved.label[i]) % 100) * s;
        }
        atom_coord(i, 5) = saved.occ[i];
    }

    // 8. Interpretation of the refined model; store it.
    interpret_silently();
    EMAP.I(emap::kCycles) = icyc - 1;
    store_and_show(n, icyc, 2);
}

void SFTRC(int& icyc, int& nref, float* a2) {
    const int n = atom_count();
    const int last = expected_last(Count::AllWithin, n);
    if (EMAP.I(emap::kStepB) != 1) {
        ASSBTL();
        LABE2(last);
    }
    const double hinv = light_end_inverse_height(last);
    weigh_by_height(n, last, hinv, true);

    PKL15(n);
    int mode = 3, ncyc = 7;
    float scale = 0.0f;
    SFTRYYY(mode, icyc, ncyc, nref, a2, scale);

    // The weighted occupancies stay; labels carry the species only.
    for (int i = 1; i <= n; ++i) atom_label(i) = 100 * atom_label(i);

    interpret_silently();
    EMAP.I(emap::kCycles) = icyc - 1;
    store_and_show(n, icyc, 2);
}

}  // namespace zanek
