// The plot file of %export: the model once more for a molecule-drawing
// program, as MOLDRAW, SCHAKAL or VYROLA input or as Cartesian
// coordinates. Each writer opens the plot file, writes it whole and closes
// it; a plot file that cannot be opened or written leaves the main export
// file alone and fails the command.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "crystaldata/spacegroup.h"
#include "fourier/commands/commands_internal.h"
#include "fourier/commands/export.h"
#include "fourier/recycling/recycling_internal.h"
#include "jobcontrol/lists/list03.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/special.h"
#include "jobcontrol/text.h"
#include "platform/listing.h"

namespace zanek {

namespace {

int plot_unit() { return UNIT.I(unitw::kPlot); }
int atom_count() { return std::clamp(CONST.I(konst::kAtomCount), 0, kMaxAtoms); }

bool open_plot() { return open_export_file(plot_unit(), 4); }
bool close_plot() { return close_export_file(plot_unit(), 4); }

// Symbol letters (upper case) and the atom number as I3, blanks removed,
// left-justified in a field of the given width.
std::string compact_name(const std::string& sym, int i, int width) {
    std::string s;
    for (char c : upper(sym) + fmt_i(i, 3))
        if (c != ' ') s += c;
    return padded(s, width);
}

std::vector<FItem> cell_items() { return {cell_constant(1), cell_constant(2), cell_constant(3), cell_constant(4), cell_constant(5), cell_constant(6)}; }

int spec_nsym() { return std::clamp(SPEC.I(specw::kNsym), 1, 24); }
bool spec_centric() { return SPEC.I(specw::kCentric) == 1; }

// The operators of the special-position library: translations, then the
// rotation (rounded) row by row, times +1 and, in a centrosymmetric group,
// times -1.
void symmetry_block(int u) {
    for (int sgn : {1, -1}) {
        if (sgn < 0 && !spec_centric()) break;
        for (int k = 1; k <= spec_nsym(); ++k) {
            std::vector<FItem> it;
            for (int r = 1; r <= 3; ++r) it.push_back(specw::translation(k, r));
            for (int r = 1; r <= 3; ++r)
                for (int c = 1; c <= 3; ++c)
                    it.push_back(sgn * static_cast<int>(std::lround(specw::rotation(k, r, c))));
            put(u, "(3f10.5,3(3i4,4x))", it);
        }
    }
}

}  // namespace

bool OUTMOLD() {
    if (!open_plot()) return false;
    const int u = plot_unit();
    const int n = atom_count();
    put(u, "('TITLE',/,a,/,'CELL',/,6f10.3,/,'COSYMB')", [&] {
        std::vector<FItem> it{title_chars(68)};
        for (const FItem& c : cell_items()) it.push_back(c);
        return it;
    }());
    // Unlabelled peaks first, then the atoms by serial number within their
    // species, then the typed atoms without a number; list order within.
    struct Rec {
        int slot, key;
    };
    std::vector<Rec> recs;
    for (int i = 1; i <= n; ++i) {
        const int lab = atom_label(i);
        recs.push_back({i, lab >= 0 ? (lab % 100) * 1000 + i : 10000 + i});
    }
    std::stable_sort(recs.begin(), recs.end(), [](const Rec& a, const Rec& b) { return a.key < b.key; });
    for (std::size_t k = 0; k < recs.size(); ++k) {
        const int i = recs[k].slot;
        const int t = atom_label(i) > 0 ? atom_label(i) / 100 : 0;
        const std::string sym = t >= 1 ? stored_symbol(t) : std::string("h");
        put(u, "(i4,2x,a5,3f10.3)", {static_cast<int>(k) + 1, compact_name(sym, i, 5), atom_coord(i, 1),
                                     atom_coord(i, 2), atom_coord(i, 3)});
    }
    std::string group;
    for (char c : upper(symbol_from_erl()))
        if (c != ' ') group += c;
    put(u, "('   0  0         0         0         0',/,'GROUP',/,a16,/,'SYMNUM')", {padded(group, 16)});
    symmetry_block(u);
    put(u, "('  -1.       -1.       -1.        0   0   0       0   0   0       0   0   0 ')");
    return close_plot();
}

bool OUTSHA() {
    if (!open_plot()) return false;
    const int u = plot_unit();
    const int n = atom_count();
    std::vector<FItem> head{title_chars(68)};
    for (const FItem& c : cell_items()) head.push_back(c);
    put(u, "('TITLE',3x,a,/,'CELL',3x,6f10.3)", head);
    for (int i = 1; i <= n; ++i) {
        const int lab = atom_label(i);
        if (lab == 0) continue;  // a peak of no species is not drawn
        const int t = lab > 0 ? lab / 100 : 0;
        const std::string sym = t >= 1 ? stored_symbol(t) : std::string("h");
        put(u, "('ATOM',3x,a5,3f10.3)", {compact_name(sym, i, 5), atom_coord(i, 1), atom_coord(i, 2), atom_coord(i, 3)});
    }
    put(u, "(a3)", {"END"});
    return close_plot();
}

bool OUTVYRO() {
    if (!open_plot()) return false;
    const int u = plot_unit();
    const int n = atom_count();
    if (list_stored(3)) YFL03();
    const int h = (sf::species() >= 1 && sf::z(1) == 1) ? 1 : 0;
    std::vector<FItem> head{title_chars(80)};
    for (const FItem& c : cell_items()) head.push_back(c);
    head.push_back(n);
    put(u, "(a,/,6f10.3,/,i5)", head);
    for (int i = 1; i <= n; ++i) {
        const int t = std::abs(atom_label(i)) / 100;
        std::string name = compact_name(t >= 1 ? stored_symbol(t) : std::string("q"), i, 6);
        name[5] = ',';
        double r1 = 0.1, r2 = 0.1;
        int colour = 7;
        if (t >= 1) {
            const double rho = bonding_radius(t);
            r1 = 2.0 * rho + 0.3;
            r2 = rho / 3.0;
            colour = t - h;
        }
        put(u, "(a6,5f10.5,i4)", {name, atom_coord(i, 1), atom_coord(i, 2), atom_coord(i, 3), r1, r2, colour});
    }
    put(u, "(i5)", {(spec_centric() ? 2 : 1) * spec_nsym()});
    symmetry_block(u);
    const std::string letters = "pabcifr";
    put(u, "(a1)", {std::string(1, letters[std::clamp(SPEC.I(specw::kLattice), 1, 7) - 1])});
    return close_plot();
}

bool OUTXYZ() {
    if (!open_plot()) return false;
    const int u = plot_unit();
    const int n = atom_count();
    put(u, "(i5,/,a)", {n, title_chars(80)});
    const double rad = trig_pi() / 180.0;
    const double a = cell_constant(1), b = cell_constant(2), c = cell_constant(3);
    const double ca = std::cos(cell_constant(4) * rad), cb = std::cos(cell_constant(5) * rad), cg = std::cos(cell_constant(6) * rad);
    const double sa = std::sin(cell_constant(4) * rad), sb = std::sin(cell_constant(5) * rad);
    // c along Z, a in the XZ plane; gamma* the reciprocal-cell angle.
    const double cgs = (sa * sb) != 0.0 ? (ca * cb - cg) / (sa * sb) : 0.0;
    const double sgs = std::sqrt(std::max(0.0, 1.0 - cgs * cgs));
    for (int i = 1; i <= n; ++i) {
        const double x = atom_coord(i, 1), y = atom_coord(i, 2), z = atom_coord(i, 3);
        const int t = std::abs(atom_label(i)) / 100;
        const std::string sym = t >= 1 ? upper(stored_symbol(t)) : std::string("Q ");
        put(u, "(a2,3x,3f15.7)", {sym, a * sb * x - b * sa * cgs * y, b * sa * sgs * y, a * cb * x + b * ca * y + c * z});
    }
    return close_plot();
}

}  // namespace zanek
