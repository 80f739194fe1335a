// Turning the peaks of a recycling map into a model: species from the peak
// heights and what is left of the cell contents, removal of the nearer of
// two peaks closer than their bonding radii allow, and the match of the new
// peaks to the previous model, whose temperature factors, positions and
// occupancies they inherit.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "crystaldata/special.h"
#include "fourier/fourier_records.h"
#include "fourier/recycling/recycling.h"
#include "fourier/recycling/recycling_internal.h"
#include "jobcontrol/lists/list03.h"
#include "jobcontrol/lists/list15.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/scatter.h"
#include "jobcontrol/records/special.h"
#include "jobcontrol/records/store.h"
#include "platform/listing.h"

namespace zanek {

double shortest_equivalent_distance(const float x[3], const float y[3]) {
    const int nsym = std::clamp(SPEC.I(specw::kNsym), 1, 24);
    const int nlat = std::clamp(SPEC.I(specw::kLatticePoints), 1, 4);
    const bool centric = SPEC.I(specw::kCentric) == 1;
    float best = 9999.0f;
    for (int c = 1; c <= nlat; ++c)
        for (int sgn = 0; sgn < (centric ? 2 : 1); ++sgn)
            for (int k = 1; k <= nsym; ++k) {
                float xe[3], dx[3], d;
                XEQUI(x, k, sgn == 0 ? 1.0f : -1.0f, xe, c);
                XDIST(y, xe, d, dx);
                if (d < best) best = d;
            }
    return best;
}

double multiplicity_factor() {
    return (SYM.I(symw::kCentric) == 1 ? 2.0 : 1.0) * SYM.I(symw::kOps) * (SYM.R(symw::kLatticePoints) > 0.0f ? SYM.R(symw::kLatticePoints) : 1.0f);
}

double bonding_radius(int t) {
    if (t < 1 || t > LST03.I(lst03::kSpecies)) return 0.0;
    return DATA.R(LST03.I(lst03::kFirst) + list3::kRecordLength * (t - 1) + list3::kRadius - 1);
}

namespace {

inline int species_of_label(int label) { return std::abs(label) / 100; }

inline void position(int slot, float p[3]) {
    for (int c = 1; c <= 3; ++c) p[c - 1] = atom_coord(slot, c);
}
inline void old_position(int j, float p[3]) {
    for (int c = 1; c <= 3; ++c) p[c - 1] = old_atom_coord(j, c);
}

// Remaining cell contents by reverse species index k = nt + 1 - t (the
// last species of the list first) and the atomic numbers used for the
// expected heights (0 for hydrogen, which takes any height).
struct Contents {
    int nt = 0, nh = 0;
    std::array<int, 10> count{};
    std::array<int, 10> z{};
    Contents() {
        nt = std::clamp(sf::species(), 0, sf::kMaxSpecies);
        for (int k = 1; k <= nt; ++k) {
            int t = nt + 1 - k;
            count[k] = sf::count(t);
            z[k] = sf::z(t) > 1 ? sf::z(t) : 0;
        }
        nh = (nt >= 1 && sf::z(1) == 1) ? nt - 1 : nt;
    }
};

// The species search of one peak (code 0 on entry when none is found): the
// first reverse index k, tried in order, whose remaining count can hold the
// peak's atoms and whose expected height brackets the peak's. Returns false
// when the contents cannot hold the peak at all, which ends the labelling.
bool search_species(Contents& ct, int i, double h1, double zref, double lo, double hi, int& code) {
    const int m = static_cast<int>(std::lround(multiplicity_factor() * atom_coord(i, 5)));
    const double height = atom_coord(i, 4);
    for (int k = 1; k <= ct.nh; ++k) {
        if (ct.count[k] == 0) continue;
        int j = k;
        for (; j <= ct.nh; ++j) {
            ct.count[j] -= m;
            if (ct.count[j] >= 0) break;
            ct.count[j] += m;
        }
        if (j > ct.nh) return false;
        const double e = zref > 0.0 ? h1 * ct.z[j] / zref : 0.0;
        if (ct.z[j] == 0 || (e * lo < height && height < e * hi)) {
            code = j;
            return true;
        }
        ct.count[j] += m;
    }
    return true;
}

}  // namespace

void LABEL(int n) {
    n = std::clamp(n, 0, kMaxAtoms);
    Contents ct;
    double lo = 0.6, hi = 1.4;
    if (EMAP.R(emap::kR) < 0.2f) lo = 0.4, hi = 10000.0;
    std::array<int, kMaxAtoms + 1> code{};
    for (int i = 1; i <= n; ++i) {
        int t = species_of_label(atom_label(i));
        code[i] = (atom_label(i) == 0 || t < 1 || t > ct.nt) ? 0 : ct.nt + 1 - t;
    }
    const double h1 = n >= 1 ? atom_coord(1, 4) : 0.0;
    const double zref = ct.z[1];
    for (int i = 1; i <= n; ++i) {
        if (code[i] == 0) continue;
        if (!search_species(ct, i, h1, zref, lo, hi, code[i])) break;
    }
    for (int i = 1; i <= n; ++i) {
        if (code[i] == 0) continue;
        const int s = atom_label(i) > 0 ? 1 : -1;
        atom_label(i) = (std::abs(atom_label(i)) % 100 + 100 * (ct.nt - code[i] + 1)) * s;
    }
}

void LABE2(int n) {
    const int natoms = std::clamp(CONST.I(konst::kAtomCount), 0, kMaxAtoms);
    n = std::clamp(n, 0, natoms);
    Contents ct;
    const double f = multiplicity_factor();
    std::array<int, kMaxAtoms + 1> code{};
    for (int i = 1; i <= n; ++i) {
        int t = atom_label(i);
        code[i] = (t >= 1 && t <= ct.nt) ? ct.nt - t + 1 : 0;
        if (code[i] != 0) ct.count[code[i]] -= static_cast<int>(std::lround(f * atom_coord(i, 5)));
    }
    const double h1 = n >= 1 ? atom_coord(1, 4) : 0.0;
    const double zref = ct.z[1];
    for (int i = 1; i <= n; ++i) {
        if (code[i] != 0) continue;
        if (!search_species(ct, i, h1, zref, 0.6, 1.4, code[i])) break;
    }
    const int light = light_species();
    for (int i = 1; i <= n; ++i) atom_label(i) = code[i] != 0 ? 100 * (ct.nt - code[i] + 1) + 1 : 100 * light + 1;
    // Peaks beyond the expected contents: a peak matched to an atom of the
    // previous model keeps that atom's species, any other becomes a light
    // atom; all enter the model with a serial number.
    for (int i = n + 1; i <= natoms; ++i) {
        int t = atom_label(i);
        atom_label(i) = (t >= 1 && t <= ct.nt) ? 100 * t + 1 : 100 * light + 1;
    }
}

void MUOVI() {
    XSPINB();
    YFL03();
    const int n = std::clamp(CONST.I(konst::kAtomCount), 0, kMaxAtoms);
    const bool print = UREQ.I(ureqw::kPrint) > 0;
    for (int i = 1; i < n; ++i) {
        if (atom_label(i) == 0) continue;
        float xi[3];
        position(i, xi);
        double best = 9999.0;
        int jbest = 0;
        for (int j = i + 1; j <= n; ++j) {
            if (atom_label(j) == 0) continue;
            float xj[3];
            position(j, xj);
            double d = shortest_equivalent_distance(xi, xj);
            if (d < best) best = d, jbest = j;
        }
        if (jbest == 0) continue;  // no labelled peak after this one
        const int ti = species_of_label(atom_label(i)), tj = species_of_label(atom_label(jbest));
        const double limit = bonding_radius(ti) + bonding_radius(tj) - 0.5;
        std::string word(8, ' ');
        if (best < limit) {
            atom_label(jbest) = 0;
            word = "rejected";
        }
        if (print)
            lst("(2(' ',a2,i4),2f10.4,2x,a8)", {species_symbol(ti), i, species_symbol(tj), jbest, limit, best, word});
    }
    if (print) {
        std::vector<FItem> items;
        for (int i = 1; i <= n; ++i) items.push_back(i), items.push_back(atom_label(i));
        if (!items.empty()) lst("(5(i4,')',i5,5x))", items);
    }
}

namespace {

// The match of the new peaks to the previous model (list 30). restart:
// every peak is a candidate and a matched peak takes the old atom's species
// number as its label; otherwise only labelled peaks are candidates and a
// species change scales the temperature factor by the atomic numbers.
void match_previous(bool restart) {
    XSPINB();
    int nold = 0, start = 1, set = 0, bonds = 0;
    SFL30(nold, start, set, bonds);
    nold = std::clamp(nold, 0, kMaxAtoms);
    const int n = std::clamp(CONST.I(konst::kAtomCount), 0, kMaxAtoms);
    const float bdef = EMAP.R(emap::kDefaultB);
    const bool print = UREQ.I(ureqw::kPrint) > 2;
    const float tolerance = SPEC.R(specw::kCoincidence) > 0.0f ? SPEC.R(specw::kCoincidence) : 0.6f;
    std::array<int, kMaxAtoms + 1> match{};
    std::array<float, kMaxAtoms + 1> bnew{}, bold{};
    for (int i = 1; i <= n; ++i) bnew[i] = bdef;
    // The B table still holds the previous model's values by its numbers.
    for (int j = 1; j <= nold; ++j) bold[j] = atom_b(j);

    auto zof = [](int t) { return (t >= 1 && t <= sf::species()) ? sf::z(t) : 0; };
    auto list_atoms = [&](const char* caption, bool old) {
        lst_line(caption);
        for (int j = 1; j <= (old ? nold : n); ++j) {
            int lab = old ? old_atom_label(j) : atom_label(j);
            float x[3];
            old ? old_position(j, x) : position(j, x);
            float h = old ? old_atom_coord(j, 4) : atom_coord(j, 4);
            int t = old ? lab : species_of_label(lab);
            if (t != 0)
                lst("(2x,a2,i5,f8.1,3f10.3)", {species_symbol(t), j, h, x[0], x[1], x[2]});
            else
                lst("(2x,2x,i5,f8.1,3f10.3)", {j, h, x[0], x[1], x[2]});
        }
    };

    for (int j = 1; j <= nold; ++j) {
        if (old_atom_label(j) == 0) continue;
        const int to = species_of_label(old_atom_label(j));
        old_atom_label(j) = to;
        float xo[3];
        old_position(j, xo);
        double best = 9999.0;
        int ibest = 0;
        for (int i = 1; i <= n; ++i) {
            if (match[i] != 0 || (!restart && atom_label(i) == 0)) continue;
            float xn[3];
            position(i, xn);
            double d = shortest_equivalent_distance(xo, xn);
            if (d < tolerance && d < best) best = d, ibest = i;
        }
        if (ibest == 0) continue;
        match[ibest] = j;
        if (restart) {
            bnew[ibest] = bold[j];
            atom_label(ibest) = to;
            continue;
        }
        const int tn = species_of_label(atom_label(ibest));
        if (tn == to || zof(tn) == 0) {
            bnew[ibest] = bold[j];
        } else {
            bnew[ibest] = static_cast<float>((static_cast<double>(zof(to)) * bold[j] / zof(tn) + bdef) / 2.0);
            if (print) {
                std::vector<FItem> it{species_symbol(to), j, static_cast<float>(zof(to)), bold[j]};
                for (int w = 1; w <= 5; ++w) it.push_back(old_atom_coord(j, w));
                it.push_back(species_symbol(tn));
                it.push_back(ibest);
                it.push_back(static_cast<float>(zof(tn)));
                it.push_back(bnew[ibest]);
                for (int w = 1; w <= 5; ++w) it.push_back(atom_coord(ibest, w));
                lst("(' Era ',a2,i4,f5.0,f7.3,5f8.3,'  e sara'' ',a2,i4,f5.0,f7.3,5f8.3)", it);
            }
        }
    }
    if (print) {
        list_atoms(" vecchia lista ", true);
        list_atoms(" nuova lista ", false);
    }
    for (int i = 1; i <= n; ++i) {
        atom_b(i) = bnew[i];
        if (match[i] == 0) continue;
        for (int w = 1; w <= 3; ++w) atom_coord(i, w) = old_atom_coord(match[i], w);
        atom_coord(i, 5) = old_atom_coord(match[i], 5);
    }
    if (!print) return;
    for (int i = 1; i <= n; ++i) {
        if (atom_label(i) == 0 || match[i] == 0) continue;
        const int j = match[i];
        const int tn = restart ? atom_label(i) : species_of_label(atom_label(i));
        std::vector<FItem> it{species_symbol(tn), i, atom_coord(i, 1), atom_coord(i, 2), atom_coord(i, 3), atom_b(i)};
        if (restart) {
            it.push_back(old_atom_label(j));
        } else {
            it.push_back(species_symbol(old_atom_label(j)));
        }
        it.push_back(j);
        for (int w = 1; w <= 3; ++w) it.push_back(old_atom_coord(j, w));
        it.push_back(bold[j]);
        if (restart)
            lst("(2x,a2,i4,4f10.3,10x,' nalf(',i2,')',i4,4f10.3,10x)", it);
        else
            lst("(2x,a2,i4,4f10.3,10x,a2,i4,4f10.3,10x)", it);
    }
}

}  // namespace

void ASSBTY() { match_previous(false); }
void ASSBTL() { match_previous(true); }

}  // namespace zanek
