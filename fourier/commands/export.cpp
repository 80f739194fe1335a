// %export driver, its directives, the main export file in the formats of
// CRYSTALS, SHELX-92, MolEN and TeXan, and the insertion of %restart when
// the viewer asked for more refinement.
#include "fourier/commands/export.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "crystaldata/spacegroup.h"
#include "crystaldata/special.h"
#include "fourier/commands/commands_internal.h"
#include "fourier/interpretation/interpretation.h"
#include "graphics/screens.h"
#include "jobcontrol/commands.h"
#include "jobcontrol/files.h"
#include "jobcontrol/lists/list01.h"
#include "jobcontrol/lists/list03.h"
#include "jobcontrol/lists/list07.h"
#include "jobcontrol/lists/list15.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/scatter.h"
#include "jobcontrol/records/special.h"
#include "jobcontrol/store/safeguard.h"
#include "jobcontrol/store/store.h"
#include "jobcontrol/text.h"
#include "platform/fformat.h"
#include "platform/listing.h"

namespace zanek {

namespace {

int main_unit() { return UNIT.I(unitw::kPeaks); }

int atom_count() { return std::clamp(CONST.I(konst::kAtomCount), 0, kMaxAtoms); }
int species_of(int slot) { return std::abs(atom_label(slot)) / 100; }
float u_from_b(float b) { return b / (8.0f * trig_pi() * trig_pi()); }
float default_u() { return u_from_b(C.R(cw::kB)); }

std::string rest_of_line(const std::string& rest, int n) { return n > 0 ? padded(rest, 80) : std::string(); }

}  // namespace

std::string shelx_atom_name(const std::string& sym, int i) {
    const std::string num = std::to_string(i);
    std::string name = i >= 100 ? padded(sym, 1) + std::string(3 - std::min<std::size_t>(3, num.size()), ' ') + num
                                : padded(sym, 2) + std::string(2 - std::min<std::size_t>(2, num.size()), ' ') + num;
    for (char& c : name)
        if (c == ' ') c = '0';
    return upper(name);
}

void DIREXP(int& plot, int /*set*/, int& comp, int& ierr) {
    plot = PLOT_VYROLA;
    comp = 0;
    UREQ.I(ureqw::kPrint) = 0;
    const int count = directive_count();
    for (int line_no = 0; line_no < count; ++line_no) {
        const std::string line = next_directive_line();
        const DirectiveLine d = split_directive(line);
        const std::string key = d.key();
        std::string name = rest_of_line(d.rest, d.rest_length);
        int target = 3;  // the main file; 4 the plot file
        if (key == "crys") {
            IMPL.I(implw::kMainFormat) = 1;
        } else if (key == "comp") {
            IMPL.I(implw::kMainFormat) = 1;
            comp = 1;
            name.clear();
        } else if (key == "shel") {
            IMPL.I(implw::kMainFormat) = 0;
        } else if (key == "texa") {
            IMPL.I(implw::kMainFormat) = -1;
            IMPL.I(implw::kOutsideMode) = 2;
        } else if (key == "mole") {
            IMPL.I(implw::kMainFormat) = -1;
            IMPL.I(implw::kOutsideMode) = 1;
        } else if (key == "mold") {
            plot = PLOT_MOLDRAW, target = 4;
        } else if (key == "scha") {
            plot = PLOT_SCHAKAL, target = 4;
        } else if (key == "vyro") {
            plot = PLOT_VYROLA, target = 4;
        } else if (d.key(3) == "xyz") {
            plot = PLOT_CARTESIAN, target = 4;
        } else {
            lst("(' error in directive : ',a80)", {padded(line, 80)});
            ierr = -1;
            return;
        }
        if (!name.empty()) DOTDAT.name[target] = name;
    }
}

void OUTCRY(int comp) {
    const int u = main_unit();
    const int n = atom_count();
    if (comp == 1) {
        put(u, "('#title ',a)", {title_chars(80)});
        put(u, "('#quickstart ',/,'cell ',3f8.3,3f8.2)", {cell_constant(1), cell_constant(2), cell_constant(3), cell_constant(4), cell_constant(5), cell_constant(6)});
        put(u, "('spacegroup ',a)", {symbol_from_erl()});
        std::vector<FItem> content;
        for (int t = 1; t <= std::min(sf::species(), sf::kMaxSpecies); ++t)
            content.push_back(stored_symbol(t)), content.push_back(sf::count(t));
        put(u, "('content ',8(a2,i4,2x))", content);
        put(u, "('file ',a,/,'format (3f4.0,2f8.2) ',/,'end')", {dotdat_name(2)});
        put(u, "('# ',a,/,'# number of atoms = ',i5,' for set no. ',i5,'  final R value = ',f7.2,'%',/,'# ',/,"
               "'#list 28 ',/,'minima /fo/ = ',f10.3,/,'end ')",
            {title_chars(76), n, CONST.I(konst::kSetNumber), 100.0 * EMAP.R(emap::kLastR), UREQ.R(ureqw::kWeakLimit)});
    }
    put(u, "('#list 5 ',/,'read natom = 0',/,'end',/,'#edit ')");
    bool any_q = false;
    for (int i = 1; i <= n; ++i) {
        const int t = species_of(i);
        if (t >= 1) {
            put(u, "('atom ',a2,i4,5x,5f10.4)", {stored_symbol(t), i, atom_coord(i, 5), u_from_b(atom_b(i)),
                                                atom_coord(i, 1), atom_coord(i, 2), atom_coord(i, 3)});
        } else {
            any_q = true;
            put(u, "('atom q ',i4,5x,5f10.4)",
                {i, atom_coord(i, 5), default_u(), atom_coord(i, 1), atom_coord(i, 2), atom_coord(i, 3)});
        }
    }
    if (any_q) put(u, "('select type ne q  ')");
    if (comp == 1) put(u, "('end',/,'#list 12',/,'block x''s  u[iso] ')");
    put(u, "('end ',/,'#use last')");
}

namespace {

// One SYMM line of operator k: for each row the translation (F8.5, when
// above 0.001) and the signed axis letters, rows separated by commas.
std::string symm_line(int k) {
    std::string line = "SYMM ";
    const char axis[3] = {'X', 'Y', 'Z'};
    for (int r = 1; r <= 3; ++r) {
        bool any = false;
        const float t = erl_T(k, r);
        if (t > 0.001f) {
            line += fmt_f(t, 8, 5);
            any = true;
        }
        for (int c = 1; c <= 3; ++c) {
            const int v = erl_R(k, r, c);
            if (v == 0) continue;
            if (v < 0) line += '-';
            else if (any) line += '+';
            line += axis[c - 1];
            any = true;
        }
        if (r < 3) line += ',';
    }
    return padded(line, 79);
}

// SHELX lattice number of the lattice code 1-7 (P A B C I F R).
int shelx_lattice(int code) {
    constexpr int kLatt[8] = {1, 1, 5, 6, 7, 2, 4, 3};
    return kLatt[std::clamp(code, 0, 7)];
}

}  // namespace

void OUTSHE() {
    const int u = main_unit();
    const int n = atom_count();
    const int nsym = std::clamp(SPEC.I(specw::kNsym), 1, 24);
    const bool centric = SPEC.I(specw::kCentric) == 1;
    // Z: the general positions of the cell, every operator with and without
    // the centre, at every lattice point.
    const int lattice_points = std::clamp(SPEC.I(specw::kLatticePoints), 1, 4);
    const int z = nsym * (centric ? 2 : 1) * lattice_points;
    put(u, "('TITL    ',a)", {title_chars(72)});
    put(u, "('CELL  ',f8.5,2x,6f9.3,/,'ZERR  ',i8,2x,6f9.3)",
        {0.71069, cell_constant(1), cell_constant(2), cell_constant(3), cell_constant(4), cell_constant(5), cell_constant(6), z, 0.005, 0.005, 0.005, 0.005, 0.005,
         0.005});
    const int latt = shelx_lattice(SPEC.I(specw::kLattice));
    put(u, "('LATT ',2i2)", {centric ? latt : -latt});
    for (int k = 2; k <= nsym; ++k) units().write_line(u, symm_line(k));

    // Scattering-factor order: carbon, hydrogen, then the others as listed.
    const int nt = std::clamp(sf::species(), 0, sf::kMaxSpecies);
    std::vector<int> order;
    for (int z : {6, 1})
        for (int t = 1; t <= nt; ++t)
            if (sf::z(t) == z && std::find(order.begin(), order.end(), t) == order.end()) order.push_back(t);
    for (int t = 1; t <= nt; ++t)
        if (std::find(order.begin(), order.end(), t) == order.end()) order.push_back(t);
    std::vector<FItem> sfac, unit_counts;
    for (int t : order) sfac.push_back(upper(stored_symbol(t))), unit_counts.push_back(sf::count(t));
    put(u, "('SFAC  ',8(2x,a2))", sfac);
    put(u, "('UNIT  ',8i4)", unit_counts);
    put(u, "('MERG      2',/,'OMIT      4',/,'L.S.      4',/,'LIST      1',/,'FMAP      2',/,'PLAN     25',/,"
           "'FVAR    1.0')");
    auto sfac_number = [&](int t) {
        return static_cast<int>(std::find(order.begin(), order.end(), t) - order.begin()) + 1;
    };
    for (int i = 1; i <= n; ++i) {
        const int t = species_of(i);
        if (t < 1 || t > nt) continue;
        put(u, "(a4,i5,5f10.5)", {shelx_atom_name(stored_symbol(t), i), sfac_number(t), atom_coord(i, 1),
                                  atom_coord(i, 2), atom_coord(i, 3), atom_coord(i, 5) + 10.0f, u_from_b(atom_b(i))});
    }
    put(u, "('           ',/,'HKLF      4',/,'END        ')");
    // Peaks of no species, after the end of the instructions.
    for (int i = 1; i <= n; ++i) {
        if (species_of(i) >= 1) continue;
        put(u, "(a4,i5,5f10.5)", {shelx_atom_name("q", i), 1, atom_coord(i, 1), atom_coord(i, 2), atom_coord(i, 3),
                                  atom_coord(i, 5) + 10.0f, default_u()});
    }
}

void OUTENR(const std::vector<int>& spec) {
    const int u = main_unit();
    const int n = atom_count();
    put(u, "(' ZANOL Release 93.02',i5,'  peaks for set no. ',i5,5i5)", {n, CONST.I(konst::kSetNumber)});
    SiteWork work{};
    for (int i = 1; i <= n; ++i) {
        const int t = spec[i - 1];
        if (t < 1) continue;
        float p[11] = {}, pnew[11] = {};
        int kode[10];
        for (int c = 1; c <= 3; ++c) p[c - 1] = atom_coord(i, c);
        KSPECB(work, p, pnew, kode, 0, 0, 0, 0);
        const int m = std::max(1, kode[9]);
        std::vector<FItem> it{stored_symbol(t), i, 1.0f / m, u_from_b(atom_b(i)), atom_coord(i, 1), atom_coord(i, 2),
                              atom_coord(i, 3), static_cast<int>(std::lround(atom_coord(i, 4)))};
        for (int c = 0; c < 9; ++c) it.push_back(kode[c]);
        put(u, "(' ',a2,i3,5f8.5,i7,9i3)", it);
    }
}

void OUTMSC(const std::vector<int>& spec) {
    const int u = main_unit();
    const int n = atom_count();
    std::vector<FItem> head{n, CONST.I(konst::kSetNumber)};
    for (int k = 0; k < 5; ++k) head.push_back(IMPL.I(implw::kResults + k));
    put(u, "(' ZANOL Release 93.02',i5,'  peaks for set no. ',i5,5i5)", head);
    for (int i = 1; i <= n; ++i) {
        const int t = spec[i - 1];
        if (t < 1) continue;
        put(u, "(a2,i5,3f10.5,i7)", {stored_symbol(t), i, atom_coord(i, 1), atom_coord(i, 2), atom_coord(i, 3),
                                     static_cast<int>(std::lround(atom_coord(i, 4)))});
    }
}

bool open_export_file(int unit, int k) {
    // Opening empties the file: the structure file must never be taken
    // for an export file, whatever the names given.
    if (names_structure_file(rtrim(DOTDAT.name[k]))) {
        lst_line(" *** error *** file " + dotdat_name(k) + " is the structure file: it is not written over");
        return false;
    }
    if (names_working_copy(rtrim(DOTDAT.name[k]))) {
        lst_line(" *** error *** file " + dotdat_name(k) + " is a working copy of the structure file: it is not written");
        return false;
    }
    int iostat = 0;
    if (!JOPEN(unit, DOTDAT.name[k], 0, 0, 1, iostat)) return true;
    lst("(' *** error ***  open error, code =',i5,' file is ',a)", {iostat, dotdat_name(k)});
    return false;
}

bool close_export_file(int unit, int k) {
    const int iostat = units().close(unit);
    if (iostat == IO_OK) return true;
    lst("(' *** error ***  write error, code =',i5,' file is ',a)", {iostat, dotdat_name(k)});
    return false;
}

bool export_requeue() {
    if (EMAP.I(emap::kNextAction) == 0) return false;
    if (MODQUE(padded("restart", 80), 7)) return true;
    // No room in the queue for the restart: the model is exported as it is.
    EMAP.I(emap::kNextAction) = 0;
    return false;
}

namespace {

void export_heading() {
    if (COMDIR.I(comdir::kRunning) == 1) {
        command_heading(" ZANEK : Export routine");
        return;
    }
    lst("(/,/,/,' ',120('-'),/,' ZANEK : Export routine                ',68x,'Release  93.02',/,/,20x,a,/,/)",
        {job_title()});
}

// The cell, symmetry and species of the structure file, so that an export
// in a run of its own writes the stored structure. The centric flag that
// a phasing command may have changed is kept. A file that lacks one of
// them (damaged, or written elsewhere) has no model to export: false after
// the absence message, instead of a model in a cell of zeros.
bool load_crystal_lists() {
    for (int type : {1, 2, 3})
        if (!list_stored(type)) {
            list_absent_message(type);
            return false;
        }
    const int centric = SYM.I(symw::kCentric);
    YFL01();
    YFL02();
    if (centric == -1) SYM.I(symw::kCentric) = centric;
    YFL03();
    return true;
}

void no_coordinates(int& status) {
    lst("(/,' *** error *** No coordinates in direct access file',/)");
    status = -1;
}

// The plot file in the format of the directives, then its line of the
// listing; false when it could not be written.
bool write_plot_file(int plot) {
    const char* line = "('   VYROLA        ',a)";
    bool written = false;
    switch (plot) {
    case PLOT_MOLDRAW: line = "('   MOLDRAW       ',a)", written = OUTMOLD(); break;
    case PLOT_SCHAKAL: line = "('   SCHAKAL       ',a)", written = OUTSHA(); break;
    case PLOT_CARTESIAN: line = "('   Cartesian     ',a)", written = OUTXYZ(); break;
    default: written = OUTVYRO(); break;
    }
    if (written) lst(line, {dotdat_name(4)});
    return written;
}

}  // namespace

void EXPORT(int& status) {
    export_heading();

    // The viewer shows the final model and may ask for more refinement;
    // a regrouping it asked for may meet peaks it cannot interpret.
    float r = 0.0f;
    if (!interpretations_succeed([&] { LASTPLOT(r); })) {
        status = -1;
        return;
    }
    if (export_requeue()) return;

    if (!list_stored(15)) {
        no_coordinates(status);
        return;
    }
    if (!load_crystal_lists()) {
        status = -1;
        return;
    }
    SPEC.I(kSpecReady) = -1;
    XSPINB();
    int n = 0, start = 1, set = 0, bonds = 0;
    SFL15(n, start, set, bonds);
    CONST.I(konst::kAtomCount) = n;
    CONST.I(konst::kSetNumber) = set;
    // Recycling that kept no atom (nothing in the maps matched the content)
    // leaves an empty model: there is nothing to export.
    if (n < 1) {
        no_coordinates(status);
        return;
    }

    int plot = PLOT_VYROLA, comp = 0, ierr = 0;
    DIREXP(plot, set, comp, ierr);
    if (ierr < 0) {
        status = -1;
        return;
    }
    if (!list_stored(7)) {
        lst("(/,' *** error *** No reflections in direct access file',/)");
        status = -1;
        return;
    }
    int nrec = 0, nphase = 0, nweak = 0, pseudo = 0, seed = 0;
    YSFL07(nrec, nphase, nweak, pseudo, seed);

    const std::string main_name = dotdat_name(3);
    if (!open_export_file(main_unit(), 3)) {
        status = -1;
        return;
    }
    if (EMAP.R(emap::kLastR) > 0.0f)
        lst("(/,/,3x,'Final R value using',i4,' atoms is ',f7.2,'%','  after ',a,'  cycles.')",
            {n, 100.0 * EMAP.R(emap::kLastR), fmt_i_whole(EMAP.I(emap::kCycles), 2)});

    // A file is named in the listing only once it is written whole.
    std::vector<int> spec(kMaxAtoms, 0);
    for (int i = 1; i <= n; ++i) spec[i - 1] = species_of(i);
    // The outside-program formats are those of a main format of -1.
    const int outside = IMPL.I(implw::kMainFormat) == -1 ? IMPL.I(implw::kOutsideMode) : 0;
    if (outside == 1 || outside == 2) {
        if (outside == 1) OUTENR(spec);
        else OUTMSC(spec);
        if (!close_export_file(main_unit(), 3)) {
            status = -1;
            return;
        }
        lst(outside == 1 ? "('   MolEN         ',a)" : "('   TeXan         ',a)", {main_name});
        return;
    }
    lst("(/,/,/,'   Atoms informations files produced:',/,/,'   Format        File Name ',/)");
    const bool shelx = IMPL.I(implw::kMainFormat) == 0;
    if (shelx) OUTSHE();
    else OUTCRY(comp);
    if (!close_export_file(main_unit(), 3)) {
        status = -1;
        return;
    }
    lst(shelx ? "('   SHELX-92      ',a)" : "('   CRYSTALS      ',a)", {main_name});
    if (!write_plot_file(plot)) status = -1;
}

}  // namespace zanek
