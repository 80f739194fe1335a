#include "crystaldata/data_command.h"

#include "crystaldata/fragment.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "crystaldata/reflections.h"
#include "crystaldata/spacegroup.h"
#include "crystaldata/special.h"
#include "jobcontrol/commands.h"
#include "jobcontrol/files.h"
#include "jobcontrol/lists/list01.h"
#include "jobcontrol/lists/list03.h"
#include "jobcontrol/lists/list15.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/genob.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/neutro.h"
#include "jobcontrol/records/scatter.h"
#include "jobcontrol/records/special.h"
#include "jobcontrol/store/store.h"
#include "jobcontrol/text.h"
#include "platform/fread.h"
#include "platform/listing.h"
#include "platform/units.h"

namespace zanek {

namespace {

// Words of the shared records that this command sets or reads.
constexpr int kDataFragmentType = 3;   // a fragment given to %data
constexpr int kWordLength = 40;        // CUTST's longest word
// The most atoms of one species a cell may hold. List 3 keeps the counts as
// REALs and the commands sum them over the species as INTEGERs: counts up to
// here stay exact in both, far beyond any cell this program can phase.
constexpr int kMaxSpeciesCount = 1000000;

const Word kBlankWord = species_word("");

std::string line80(const std::string& s) { return padded(s, 80); }

void wrong_directive(const std::string& orig) {
    lst_line(" wrong directive on following line:");
    lst("(1x,a)", {line80(orig)});
}

void directive_error(const std::string& orig) { lst("(' error in directive : ',a)", {line80(orig)}); }

int total_fragment_atoms() {
    int n = 0;
    for (int f = 1; f <= std::min(ATOMS.I(atomsw::kFragments), kMaxFragments); ++f) n += atomsw::fragment_atoms(f);
    return n;
}

// The defaults of every %data, before its first directive.
void set_defaults(DataDirectives& d) {
    d = DataDirectives{};
    d.format = line80(kDefaultReflectionFormat);
    d.name = std::string(80, ' ');
    UREQ.I(ureqw::kPartial) = 0;
    UREQ.I(ureqw::kKept) = 0;
    UREQ.I(ureqw::kPrint) = 0;
    UREQ.I(ureqw::kKnown) = 0;
    UREQ.I(ureqw::kSigma) = 1;
    NEUTRO.I(neutro::kNeutron) = 0;
    for (int w = atomsw::kFragments; w <= atomsw::kFragmentTableEnd; ++w) ATOMS.I(w) = 0;
    GENOB.I(genob::kMissing) = -1;
    RC.I(rcw::kNref) = 0;
    RC.I(rcw::kNzro) = 166;
    RC.R(rcw::kELimit) = 1.2f;
    RC.R(rcw::kWeakE) = 0.3f;
    RC.R(rcw::kRhomax) = 1.98f;
    RC.R(rcw::kSpare) = 0.0f;
    C.R(cw::kB) = 0.0f;
    C.R(cw::kScale) = -99.9f;
    for (int i = 1; i <= kMaxAtoms; ++i) {
        for (int j = 1; j <= 3; ++j) atom_coord(i, j) = 0.0f;
        atom_coord(i, 4) = 1.0f;
        atom_coord(i, 5) = 1.0f;
        atom_label_word(i) = kBlankWord;
    }
}

// The numbers of a directive line; false when a word is not a number.
struct Numbers {
    float r[40];
    int i[40];
    int n = 0;
    bool read(const std::string& rest) {
        int iflag = 0;
        GETNUM(rest, r, i, n, iflag);
        return iflag != -1;
    }
};

// An origin-shift component n (in 1/24) must be 0 or a positive divisor of
// 24, so that the shift is 1/(24/n) of the cell edge.
bool shift_component_ok(int n) { return n == 0 || (n > 0 && 24 % n == 0); }

// Acts on one directive; false after its message when it fails the command.
// `line` is the rest of the line after the keyword (length n), `orig` the
// line as typed.
bool act_on_directive(const std::string& key, std::string& line, int n, const std::string& orig,
                      DataDirectives& d) {
    if (key == "spac") {
        if (n < 2) return directive_error(orig), false;
        std::string sym = line;
        LCASE(sym);
        int ierr = 0;
        ONEBL(sym, static_cast<int>(sym.size()), n, ierr);
        if (ierr < 0) return directive_error(orig), false;
        store_symbol_in_erl(std::string_view(sym).substr(0, 16));
        d.group_read = true;
        d.symbol_line = orig;
        return true;
    }
    if (key == "cont") {
        std::string rest = line;
        LCASE(rest);
        int ntypes = 0;
        GETCON(rest, ntypes);
        if (ntypes <= 0) return directive_error(orig), false;
        d.content_read = true;
        return true;
    }
    if (key == "refl") {
        d.name = line80(line);
        std::string head = d.name.substr(0, 4);
        LCASE(head);
        if (head == "foll") {
            d.source = DataDirectives::Source::CommandFile;
            IMPL.I(implw::kReflectionUnit) = UNIT.I(unitw::kCommands);
        } else {
            d.source = DataDirectives::Source::NamedFile;
            IMPL.I(implw::kReflectionUnit) = 34;
        }
        return true;
    }
    if (key == "form") {
        std::size_t open = orig.find('(');
        if (open == std::string::npos) return directive_error(orig), false;
        d.format = line80(orig.substr(open));
        if (!FReader(d.format).ok()) return directive_error(orig), false;
        return true;
    }
    if (key == "fosq") return d.sign = -1, true;
    if (key == "gene") return GENOB.I(genob::kMissing) = 0, true;
    if (key == "nosi") return UREQ.I(ureqw::kSigma) = 0, true;
    return false;  // not reached: numeric directives are handled by the caller
}

// The directives that take numbers; false after the message on failure.
bool act_on_numbers(const std::string& key, const Numbers& v, const std::string& orig, DataDirectives& d) {
    if (key == "cell") {
        if (v.n != 6) return directive_error(orig), false;
        float cell[6];
        std::copy(v.r, v.r + 6, cell);
        if (!cell_is_sound(cell)) return directive_error(orig), false;
        for (int j = 0; j < 6; ++j) cell_constant(1 + j) = cell[j];
        FRM01(cell);
        d.cell_read = true;
        return true;
    }
    if (key == "shif") {
        if (v.n != 3) return directive_error(orig), false;
        for (int j = 0; j < 3; ++j)
            if (!shift_component_ok(v.i[j])) {
                lst("(///' origin shift components must be integral multiples',' of 1/24 ')");
                return directive_error(orig), false;
            }
        std::copy(v.i, v.i + 3, d.shift);
        d.shift_flag = 1;
        return true;
    }
    if (key == "rhom") {
        if (v.n != 1) return directive_error(orig), false;
        RC.R(rcw::kRhomax) = v.r[0];
        if (!(v.r[0] >= 0.0f && v.r[0] <= 1.0f)) return directive_error(orig), false;
        return true;
    }
    if (key == "prin") {
        if (v.n != 1) return directive_error(orig), false;
        UREQ.I(ureqw::kPrint) = v.i[0];
        return true;
    }
    if (key == "know") {
        if (v.n != 0) return directive_error(orig), false;
        UREQ.I(ureqw::kKnown) = 1;
        return true;
    }
    if (key == "reco") {
        if (v.n != 1 || v.i[0] < 1 || v.i[0] > kMaxPerRecord) return directive_error(orig), false;
        d.records = v.i[0];
        return true;
    }
    wrong_directive(orig);
    return false;
}

bool is_text_directive(const std::string& key) {
    static const char* const keys[] = {"spac", "cont", "refl", "form", "fosq", "gene", "nosi"};
    return std::any_of(std::begin(keys), std::end(keys), [&](const char* k) { return key == k; });
}

// The directive loop; false when a directive failed the command.
bool read_directives(DataDirectives& d) {
    const int nlines = directive_count();
    int lineno = 0;
    std::string orig, line;
    int n = -1;
    bool pending = false;  // a line left behind by a fragment
    for (;;) {
        if (!pending) {
            if (lineno >= nlines) break;
            orig = next_directive_line();
            ++lineno;
            line = orig;
        }
        pending = false;
        std::string word(kWordLength, ' ');
        int m = 0;
        CUTST(line, n, word, m);
        LCASE(word);
        const std::string key = word.substr(0, 4);
        if (key == "frag") {
            if (ATOMS.I(atomsw::kFragments) >= kMaxFragments) return directive_error(orig), false;
            int f = ++ATOMS.I(atomsw::kFragments);
            atomsw::fragment_type(f) = kDataFragmentType;
            int ierr = 0;
            GETFRG(line, n, orig, lineno, nlines, d, ierr);
            if (ierr < 0) return directive_error(orig), false;
            if (ierr == 1) break;
            pending = true;
            continue;
        }
        if (is_text_directive(key)) {
            if (!act_on_directive(key, line, n, orig, d)) return false;
            continue;
        }
        Numbers v;
        if (!v.read(line)) return directive_error(orig), false;
        if (!act_on_numbers(key, v, orig, d)) return false;
    }
    return true;
}

// The content table, with the scattering-factor constants of list 3.
void print_content() {
    lst("(/15x,'Unit cell contents and scattering factor constants     f = sum (  a(i) * exp(-b(i)*s2)  )  "
        "i=1,4 + c '//' ','atom',4x,'number in cell',4x,'atomic number',5x,'a(1)',5x,'b(1)',5x,'a(2)',5x,"
        "'b(2)',5x,'a(3)',5x,'b(3)',5x,'a(4)',5x,'b(4)',5x,' c')");
    for (int t = 1; t <= std::min(sf::species(), sf::kMaxSpecies); ++t) {
        char s[4];
        std::memcpy(s, &sf::symbol(t), 4);
        std::string sym(s, 2);
        if (sym[0] >= 'a' && sym[0] <= 'z') sym[0] = static_cast<char>(sym[0] - 'a' + 'A');
        lst("(' ',1x,a2,i14,i17,6x,9f9.3)",
            {sym, sf::count(t), sf::z(t), sf::a(t, 1), sf::b(t, 1), sf::a(t, 2), sf::b(t, 2), sf::a(t, 3),
             sf::b(t, 3), sf::a(t, 4), sf::b(t, 4), sf::c(t)});
    }
}

// Occupancy 1/m of the fragment atoms given without one, m the multiplicity
// of their site in the space group just analysed.
void site_occupancies(const DataDirectives& d) {
    if (d.site_occupancy_slots.empty()) return;
    SPEC.I(kSpecReady) = -1;  // the library is built afresh from this symmetry
    XSPINB();
    fragment_site_occupancies(d.site_occupancy_slots);
}

// Label codes of the fragment atoms (type 100 t + 1), and list 15. False
// after the message when an atom's type is not in the content.
bool label_fragments() {
    int first = 1;
    for (int f = 1; f <= std::min(ATOMS.I(atomsw::kFragments), kMaxFragments); ++f) {
        int natoms = atomsw::fragment_atoms(f);
        lst("(/' fragment number          =',i3/' no. of atoms in fragment =',i3/5x,'type',7x,'x',9x,'y',9x,"
            "'z',7x,'occ.   number in cell')",
            {f, natoms});
        for (int slot = first; slot < first + natoms; ++slot) {
            int type = 0;
            for (int t = 1; t <= std::min(sf::species(), sf::kMaxSpecies); ++t)
                if (std::memcmp(&sf::symbol(t), &atom_label_word(slot), 4) == 0) {
                    type = t;
                    break;
                }
            if (type == 0) {
                char s[4];
                std::memcpy(s, &atom_label_word(slot), 4);
                lst("('  *** error *** ',a2,' type not present in the declared content')", {std::string(s, 2)});
                return false;
            }
            atom_label(slot) = 100 * type + 1;
        }
        first += natoms;
    }
    if (ATOMS.I(atomsw::kFragments) > 0) FRM15(total_fragment_atoms(), 0, 0);
    return true;
}

// What the directives left to check and store once they are all read.
void finish_directives(DataDirectives& d, int& ierr) {
    d.nrec = d.records * d.sign;
    if (d.cell_read) {
        YFL01();
        const float* g = s2_coefficients();
        lst("(/' Direct cell',9x,'a =',f8.3,4x,'b =',f8.3,4x,'c =',f8.3,4x,'alpha =',f7.2,4x,'beta =',f7.2,4x,"
            "'gamma =',f7.2//' s2 = s**2 =',f9.6,' * h**2 +',f9.6,' * k**2 +',f9.6,' * l**2 +',f9.6,"
            "' * h * k +',f9.6,' * h * l +',f9.6,' * k * l')",
            {cell_constant(1), cell_constant(2), cell_constant(3), cell_constant(4), cell_constant(5), cell_constant(6),
             g[0], g[1], g[2], g[3], g[4], g[5]});
    } else {
        lst("(/' *** error *** no cell parameters supplied')");
        ierr = -1;
    }
    if (d.group_read) {
        int err = 0;
        INSYM(d.shift_flag, d.shift, err);
        if (err < 0) {
            directive_error(d.symbol_line);
            ierr = -1;
        } else {
            YFRM02();
        }
    } else {
        lst("(/' *** error *** no space group symbol supplied')");
        ierr = -1;
    }
    if (d.content_read) {
        YFRM03(ierr);
        if (ierr >= 0) YFL03();
    } else {
        lst("(/' *** error *** no cell content supplied')");
        ierr = -1;
    }
    XDUMP();
    if (ierr < 0) return;

    print_content();
    SYM.R(symw::kSigma3) = content_ratio();
    site_occupancies(d);
    if (!label_fragments()) ierr = -1;
}

}  // namespace

// ===========================================================================

bool cell_is_sound(const float cell[6]) {
    for (int j = 0; j < 3; ++j)
        if (!(cell[j] > 0.0f) || !std::isfinite(cell[j])) return false;
    double c[3];
    const bool cosines = cell[3] < 1.5f;
    for (int j = 0; j < 3; ++j) {
        double v = cell[3 + j];
        if (cosines) {
            if (!(v > -1.0 && v < 1.0)) return false;
            c[j] = v;
        } else {
            if (!(v > 0.0 && v < 180.0)) return false;
            c[j] = std::cos(v * M_PI / 180.0);
        }
    }
    double g = 1.0 - c[0] * c[0] - c[1] * c[1] - c[2] * c[2] + 2.0 * c[0] * c[1] * c[2];
    return g > 1e-6;
}

int default_phasing_reflections(double nasym, bool centric, bool one_operator) {
    double a = std::trunc(4.0 * nasym + 100.5);
    if (centric) a += 50;
    if (one_operator) a += 50;
    int A = static_cast<int>(std::min(a, 499.0));
    int B = std::min(499 - A, 100);
    return A + B / 2;
}

namespace {
bool species_given_before(int t) {
    for (int u = 1; u < t; ++u)
        if (sf::symbol(u).i == sf::symbol(t).i) return true;
    return false;
}
}  // namespace

void GETCON(std::string& line, int& ntypes) {
    ntypes = 0;
    int n = static_cast<int>(rtrim(line).size());
    if (n == 0) n = -1;
    for (int t = 1; t <= kMaxContentTypes; ++t) {
        std::string word(kWordLength, ' ');
        int m = 0;
        CUTST(line, n, word, m);
        if (n < 0) {
            ntypes = -1;
            return;
        }
        ntypes = t;
        sf::symbol(t) = species_word(word.substr(0, 2));
        if (species_given_before(t)) {  // one species twice would be counted and scattered as two
            ntypes = -1;
            return;
        }
        float r[40];
        int i[40], count = 0, iflag = 1;
        GETNUM(line, r, i, count, iflag);
        if (iflag == -1 || count < 1 || i[0] <= 0 || i[0] > kMaxSpeciesCount) {
            ntypes = -1;
            return;
        }
        sf::count(t) = i[0];
        CUTST(line, n, word, m);
        if (n < 0) break;
    }
    sf::species() = ntypes;
}

void GETFRG(std::string& line, int& n, std::string& orig, int& lineno, int nlines, DataDirectives& d,
            int& ierr) {
    const int f = ATOMS.I(atomsw::kFragments);
    int slot = total_fragment_atoms();  // atoms of the earlier fragments
    int count = 0;
    auto done = [&](int code) {
        atomsw::fragment_atoms(f) = count;
        ierr = code;
    };
    if (n < 0) {  // the atoms start on the next directive line
        if (lineno >= nlines) return done(1);
        orig = next_directive_line();
        ++lineno;
        line = orig;
    }
    for (;;) {
        std::string word(kWordLength, ' ');
        int m = 0;
        CUTST(line, n, word, m);
        if (m > 2) {  // a directive, not an element symbol
            line = orig;
            return done(0);
        }
        if (n < 0 || slot >= kMaxAtoms) return done(-1);
        ++slot;
        std::string sym = word.substr(0, 2);
        LCASE(sym);
        atom_label_word(slot) = species_word(sym);
        Numbers v;
        if (!v.read(line) || (v.n != 3 && v.n != 4)) return done(-1);
        for (int j = 0; j < 3; ++j) atom_coord(slot, j + 1) = v.r[j];
        if (v.n == 4) {
            atom_coord(slot, 4) = v.r[3];
            atom_coord(slot, 5) = v.r[3];
        } else {
            d.site_occupancy_slots.push_back(slot);
        }
        ++count;
        if (lineno >= nlines) return done(1);
        orig = next_directive_line();
        ++lineno;
        line = orig;
    }
}

void DIRDAT(DataDirectives& d, int& ierr) {
    set_defaults(d);
    if (!read_directives(d)) {
        ierr = -1;
        return;
    }
    finish_directives(d, ierr);
}

namespace {

// The directives, the derived numbers and the reflections; ierr < 0 when
// the command fails.
void read_and_store(int& ierr) {
    DataDirectives d;
    DIRDAT(d, ierr);
    if (ierr < 0) return;

    // Derived quantities of the cell and its content.
    const int equivalents = (SYM.I(symw::kCentric) + 1) * SYM.I(symw::kOps);
    const double points = SYM.R(symw::kLatticePoints);
    const double atoms = sf::heavy_atoms();
    const double nasym = equivalents > 0 && points > 0 ? atoms / (equivalents * points) : 0.0;
    const float ratio = static_cast<float>(SYM.R(symw::kSigma3) * std::sqrt(points));
    SYM.R(symw::kSigma3) = ratio;
    SYM.R(symw::kSigma3Prim) = ratio;
    const int equal_atoms = ratio > 0.0f ? static_cast<int>(1.0 / (double(ratio) * ratio) + 0.5) : 0;
    const double rad = TRIG.R(trig::kRadian);
    const double ca = std::cos(cell_constant(4) * rad), cb = std::cos(cell_constant(5) * rad),
                 cg = std::cos(cell_constant(6) * rad);
    const double volume = double(cell_constant(1)) * cell_constant(2) * cell_constant(3) *
                          std::sqrt(std::max(0.0, 1.0 - ca * ca - cb * cb - cg * cg + 2.0 * ca * cb * cg));
    const double per_atom = atoms > 0 ? volume / atoms : 0.0;
    lst("(/39x,'Number of atoms in asymmetric unit =',f6.2/31x,'Equivalent number of equal atoms in primitive cell "
        "=',i6/46x,'Volume per atom =',f7.2/)",
        {nasym, equal_atoms, per_atom});

    if (d.source != DataDirectives::Source::None) {
        RC.I(rcw::kNref) =
            default_phasing_reflections(nasym, SYM.I(symw::kCentric) == 1, SYM.I(symw::kOps) == 1);
        int nacc = 0;
        DATAIN(d.name, d.format, d.nrec, nacc, ierr);
        if (ierr >= 0) {
            int seed = d.seed;
            PREPL7(0, seed, nacc);
        }
        XDUMP();
    }
}

}  // namespace

void DATAZAN(int /*new_file*/, int& status) {
    command_heading(" ZANEK : Data routine", HeadingEnd::TwoEmpty);
    SYM.I(symw::kOps) = 0;
    RC.I(rcw::kReflections) = 0;
    RC.R(rcw::kLargestS2) = 0.0f;

    if (!open_reflection_scratch()) {
        skip_directives();
        status = -1;
        return;
    }
    // The cell, symmetry, content, fragment and reflection lists are stored
    // as they are met; the dispatcher puts back those a failing %data replaced.
    int ierr = 0;
    read_and_store(ierr);
    units().close(UNIT.I(unitw::kScratch));  // the reflection scratch file
    if (ierr < 0) status = -1;
}

// Sigma3 / Sigma2^1.5 of the cell content of SF (the cell, not yet the
// primitive cell).
float content_ratio() {
    double s2 = 0.0, s3 = 0.0;
    for (int t = 1; t <= std::clamp(sf::species(), 0, sf::kMaxSpecies); ++t) {
        const double n = sf::count(t), z = sf::z(t);
        s2 += n * z * z;
        s3 += n * z * z * z;
    }
    return s2 > 0.0 ? static_cast<float>(s3 / std::pow(s2, 1.5)) : 0.0f;
}

}  // namespace zanek
