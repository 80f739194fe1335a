#include "crystaldata/fragment.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "crystaldata/data_command.h"
#include "crystaldata/equivalents.h"
#include "crystaldata/special.h"
#include "jobcontrol/lists/list03.h"
#include "jobcontrol/lists/list07.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/normal.h"
#include "jobcontrol/records/scatter.h"
#include "jobcontrol/records/special.h"
#include "platform/listing.h"

namespace zanek {

namespace {

// Words of the shared records read in more than one place.
constexpr int kNoPseudoRequest = -1;
constexpr int kPhaseUnit = 32768;  // phase word: P * 32768 + known phase * 32 + code
constexpr float kCountTolerance = 0.001f;

// Atom counts of the cell content before the known atoms are taken off
// (N_t) and the numbers not yet located (R_t, fractions allowed).
int32_t g_full[sf::kMaxSpecies];
float g_unlocated[sf::kMaxSpecies];

int species() { return std::clamp(sf::species(), 0, sf::kMaxSpecies); }
int fragments() { return std::clamp(ATOMS.I(atomsw::kFragments), 0, kMaxFragments); }
int fragment_atoms(int f) { return std::clamp(atomsw::fragment_atoms(f), 0, kMaxAtoms); }

// General positions in the cell: equivalent positions times lattice points.
double general_positions() {
    return (SYM.I(symw::kCentric) + 1.0) * SYM.I(symw::kOps) * static_cast<double>(SYM.R(symw::kLatticePoints));
}

// A species symbol word with its first letter in upper case.
std::string symbol_text(const Word& w) {
    char s[4];
    std::memcpy(s, &w, 4);
    std::string sym(s, 2);
    if (sym[0] >= 'a' && sym[0] <= 'z') sym[0] = static_cast<char>(sym[0] - 'a' + 'A');
    return sym;
}

void keep_counts() {
    for (int t = 1; t <= species(); ++t) {
        g_full[t - 1] = sf::count(t);
        g_unlocated[t - 1] = static_cast<float>(sf::count(t));
    }
}

// Scattering-power tables: the whole content N_t and the atoms not yet
// located R_t.
void build_tables() {
    int32_t reduced[sf::kMaxSpecies];
    for (int t = 1; t <= species(); ++t) {
        reduced[t - 1] = sf::count(t);
        sf::count(t) = g_full[t - 1];
    }
    build_power_tables(g_unlocated);
    for (int t = 1; t <= species(); ++t) sf::count(t) = reduced[t - 1];
}

// sigma3 / sigma2^1.5 of the atoms not yet located (0 when none is left).
float unlocated_ratio() {
    double s2 = 0.0, s3 = 0.0;
    for (int t = 1; t <= species(); ++t) {
        const double r = g_unlocated[t - 1], z = sf::z(t);
        s2 += r * z * z;
        s3 += r * z * z * z;
    }
    return s2 > 0.0 ? static_cast<float>(s3 / std::pow(s2, 1.5)) : 0.0f;
}

void print_section(int natoms, double m) {
    lst_blank(2);
    lst_line(" " + std::string(120, '+'));
    lst_line(std::string(40, ' ') + "***  partial structure section  ***");
    lst_line(std::string(37, ' ') + "Previous temperature factor (b) =" + fmt_f(C.R(cw::kB), 9, 5));
    lst_line(std::string(25, ' ') + "Fragment : known positions for" + fmt_i(natoms, 5) +
             "  atoms having multiplicity =" + fmt_f(m, 5, 1));
    lst_line(std::string(28, ' ') + "Type" + std::string(12, ' ') + "x" + std::string(14, ' ') + "y" +
             std::string(14, ' ') + "z" + std::string(12, ' ') + "occ");
}

// The type t of a fragment atom's symbol word; 0 when the content has none.
int species_of(const Word& symbol) {
    for (int t = 1; t <= species(); ++t)
        if (std::memcmp(&sf::symbol(t), &symbol, 4) == 0) return t;
    return 0;
}

// Types the fragment atoms (first reading) and, in state 1, takes them off
// the cell content and lists them. False after the message of a failure.
bool known_atoms(bool second_reading) {
    const bool in_use = partial_state() == kPartialInUse;
    const double m = general_positions();
    int slot = 0;
    for (int f = 1; f <= fragments(); ++f) {
        const int natoms = fragment_atoms(f);
        for (int j = 1; j <= natoms && slot < kMaxAtoms; ++j) {
            ++slot;
            if (in_use && atomsw::fragment_type(f) == kPartialFragmentType && j == 1) print_section(natoms, m);
            // The first reading replaces the symbol word by the type.
            const int typed = atom_label(slot);
            if (!second_reading || typed < 1 || typed > species()) {
                const int t = species_of(atom_label_word(slot));
                if (t == 0) {
                    char s[4];
                    std::memcpy(s, &atom_label_word(slot), 4);
                    lst("(' error :',a2,' type not present in the declared content')", {std::string(s, 2)});
                    return false;
                }
                atom_label(slot) = t;
            }
            const int t = atom_label(slot);
            if (!in_use) continue;
            const double occupancy = atom_coord(slot, 5);
            const int equal = static_cast<int>(std::lround(m * occupancy));
            // SF word 90 counts the atoms heavier than hydrogen only.
            if (sf::z(t) >= 2) sf::heavy_atoms() -= equal;
            sf::count(t) -= equal;
            float& left = g_unlocated[t - 1];
            left = static_cast<float>(left - m * occupancy);
            if (std::fabs(left) < kCountTolerance) left = 0.0f;
            lst("(1x,28x,a2,4f15.4)", {symbol_text(sf::symbol(t)), atom_coord(slot, 1), atom_coord(slot, 2),
                                       atom_coord(slot, 3), atom_coord(slot, 4)});
            if (left < 0.0f) {
                YFL03();  // the counts of the whole content again
                lst_line("  *** error *** the number of atoms in the fragment ");
                lst_line("                exceedes the cell content");
                lst("('                type of atom ',a2,' max = ',i8)", {symbol_text(sf::symbol(t)), sf::count(t)});
                lst_blank(2);
                return false;
            }
        }
    }
    return true;
}

// The amplitudes of a list 7 written by a complete %normal, on the absolute
// scale of the fragment's Fc. That run stored Fo' = Fo sqrt(k) (k the ratio
// that made <E^2> = 1, kept as the list's scale) and E^2 = k w Fo^2
// exp(2 B s^2) / (L eps Sigma) (w the Wilson scale, Sigma the scattering
// power of the whole content). The absolute amplitude sqrt(w) Fo, which the
// first pass of a two-pass run stores, is thus E sqrt(L eps Sigma
// exp(-2 B s^2) / k): one factor for all reflections, taken from the sums
// over the measured ones, brings Fo and sigma to it.
void put_on_absolute_scale(WorkingFile& wf, float b, float k) {
    if (!(k > 0.0f)) return;
    const double points = SYM.R(symw::kLatticePoints);
    double absolute = 0.0, stored = 0.0;
    for (const WorkRecord& r : wf) {
        if (!r.observed()) continue;
        int q = 1, eps = 1;
        multiplicity_epsilon(r.h, r.k, r.l, q, eps);
        const double e = r.key.r;
        const double power = content_scattering_power(std::sqrt(r.s2));
        absolute += e * e * points * eps * power * std::exp(-2.0 * b * r.s2) / k;
        stored += static_cast<double>(r.fo) * r.fo;
    }
    if (!(stored > 0.0) || !(absolute > 0.0)) return;
    const double factor = std::sqrt(absolute / stored);
    for (WorkRecord& r : wf) {
        r.fo = static_cast<float>(r.fo * factor);
        r.sigma = static_cast<float>(r.sigma * factor);
    }
}

// The tables and sigma ratio after the atoms are known.
void finish_reading() {
    build_tables();
    if (partial_state() == kPartialInUse) {
        UREQ.I(ureqw::kWork) = 1;
        SYM.R(symw::kSigma3) = unlocated_ratio();
    }
}

}  // namespace

int& partial_state() { return UREQ.I(ureqw::kPartial); }

void fragment_site_occupancies(const std::vector<int>& slots) {
    for (int slot : slots) {
        if (slot < 1 || slot > kMaxAtoms) continue;
        SiteWork work;
        float p[11] = {}, pnew[11] = {};
        int kode[10];
        for (int j = 0; j < 3; ++j) p[j] = atom_coord(slot, j + 1);
        int name = 0, num = slot, hdr = 0;
        KSPECB(work, p, pnew, kode, name, num, hdr, 1);
        atom_coord(slot, 4) = pnew[10];
        atom_coord(slot, 5) = pnew[10];
    }
}

bool finish_fragment_directives(bool bfac_given) {
    if (partial_state() != kPartialNone && CPSEUD.I(cpseud::kClass) != kNoPseudoRequest) {
        lst_line("  *** warning *** PSEUDO & PARTIAL directives are not compatible. PSEUDO ignored.");
        CPSEUD.I(cpseud::kClass) = kNoPseudoRequest;
    }
    // On data normalised before, the fragment pass runs at once.
    if (partial_state() == kPartialRequested && C.R(cw::kScale) > 0.0f) partial_state() = kPartialInUse;
    if (partial_state() == kPartialRequested && bfac_given) {
        lst_line("  *** error *** BFAC & PARTIAL directives are not compatible.");
        return false;
    }
    keep_counts();
    if (!known_atoms(false)) return false;
    finish_reading();
    return true;
}

bool second_fragment_reading() {
    keep_counts();
    FRGMT.I(frgmt::kNref) = RC.I(rcw::kNref);
    FRGMT.I(frgmt::kNzro) = RC.I(rcw::kNzro);
    partial_state() = kPartialInUse;
    ATOMS.I(atomsw::kFragments) = std::min(ATOMS.I(atomsw::kFragments), 1);  // only the first fragment counts now
    if (!known_atoms(true)) return false;
    finish_reading();
    return true;
}

bool begin_fragment_pass() {
    const double m = general_positions();
    const double points = SYM.R(symw::kLatticePoints);
    const float ratio = static_cast<float>(SYM.R(symw::kSigma3) * std::sqrt(std::max(points, 0.0)));
    SYM.R(symw::kSigma3Prim) = ratio;
    const int equal_atoms = ratio > 0.0f ? static_cast<int>(1.0 / (double(ratio) * ratio) + 0.5) : 0;
    lst("(/31x,'Number of not localized atoms in asymmetric unit =',f6.2/31x,"
        "'Equivalent number of equal atoms in primitive cell =',i6)",
        {m > 0.0 ? sf::heavy_atoms() / m : 0.0, equal_atoms});
    if (sf::heavy_atoms() <= 0) {
        lst_line(" *** error *** known fragment too big.");
        return false;
    }
    return true;
}

bool refuse_generated(const WorkingFile& wf) {
    for (const WorkRecord& r : wf)
        if (!r.observed()) {
            lst_blank();
            lst_line(" *** error *** Partial directive not allowed if ");
            lst_line("               reflections have been generated.");
            return false;
        }
    return true;
}

void SFAC(int first, int last, const int hp[3], float shift, float s2, float& a, float& b, int& done) {
    if (done != 1) {
        for (int t = 1; t <= species(); ++t) {
            double f = sf::c(t);
            for (int k = 1; k <= 4; ++k) f += sf::a(t, k) * std::exp(-sf::b(t, k) * static_cast<double>(s2));
            sf::f_now(t) = static_cast<float>(f);
        }
        done = 1;
    }
    first = std::max(first, 1);
    last = std::min(last, kMaxAtoms);
    for (int j = first; j <= last; ++j) {
        const int t = atom_label(j);
        if (t < 1 || t > species()) continue;
        const double u = hp[0] * static_cast<double>(atom_coord(j, 1)) + hp[1] * static_cast<double>(atom_coord(j, 2)) +
                         hp[2] * static_cast<double>(atom_coord(j, 3)) + shift;
        const double x = u - std::floor(u);  // whole cycles removed
        int d = static_cast<int>(360.0 * x + 0.5) + 1;
        if (d > 360) d = 1;
        // The phase is d - 1 degrees; its cosine is the sine of d + 89.
        const double w = sf::f_now(t) * static_cast<double>(atom_coord(j, 5));
        a += static_cast<float>(w * trig::sine(d - 1 + 90));
        b += static_cast<float>(w * trig::sine(d - 1));
    }
}

void fragment_structure_factor(const WorkRecord& r, float& fc, int& phase) {
    const int nsym = std::clamp(SYM.I(symw::kOps), 0, 24);
    const bool centric = SYM.I(symw::kCentric) == 1;
    const int hv[3] = {r.h, r.k, r.l};
    double A = 0.0, B = 0.0;
    int first = 1;
    for (int f = 1; f <= fragments(); ++f) {
        const int last = first + fragment_atoms(f) - 1;
        int done = 0;  // form factors once per reflection and fragment
        for (int m = 1; m <= nsym; ++m) {
            int hp[3] = {0, 0, 0};
            for (int i = 0; i < 3; ++i)
                for (int s = 1; s <= 2; ++s) {
                    const int c = sym_row_code(m, i + 1, s);  // row code: signed column number
                    if (c != 0) hp[std::abs(c) - 1] += (c > 0 ? 1 : -1) * hv[i];
                }
            const float shift =
                static_cast<float>(r.h * double(sym_translation(m, 1)) + r.k * double(sym_translation(m, 2)) +
                                   r.l * double(sym_translation(m, 3)) + 1000.0);
            float am = 0.0f, bm = 0.0f;
            SFAC(first, last, hp, shift, r.s2, am, bm, done);
            A += am;
            // A centre of symmetry at the origin doubles the cosine part and
            // cancels the sine part.
            if (centric)
                A += am;
            else
                B += bm;
        }
        first = last + 1;
    }
    double phi = 0.0;
    fc = 0.0f;
    if (A * A + B * B > 1e-6) {
        fc = static_cast<float>(std::sqrt(A * A + B * B) * SYM.R(symw::kLatticePoints) *
                                std::exp(-static_cast<double>(C.R(cw::kB)) * r.s2));
        phi = std::atan2(B, A) * 180.0 / M_PI;
    }
    FRGMT.R(frgmt::kResidual) += std::fabs(fc - r.fo);
    FRGMT.R(frgmt::kFoSum) += r.fo;
    phase = static_cast<int>(phi + 360.0 + 0.5) % 360;
    if (phase == 0) phase = kNoFragmentPhase;
}

void fragment_working_file(WorkingFile& wf) {
    // Opening list 7 reloads its header: keep what this command set.
    const Word ratio = SYM.W(symw::kSigma3), ratio_data = SYM.W(symw::kSigma3Prim);
    const Word b = C.W(cw::kB), scale = C.W(cw::kScale);
    int n = 0, nref = 0, nzro = 0, ipseudo = 0, x = 0;
    YSFL07(n, nref, nzro, ipseudo, x);
    // The list's own state and scale: written by the first pass of this
    // command (state -1, amplitudes already absolute) or by an earlier,
    // complete %normal (state 0).
    const bool earlier_run = partial_state() == kPartialNone;
    const float earlier_b = C.R(cw::kB), earlier_scale = C.R(cw::kScale);
    SYM.W(symw::kSigma3) = ratio;
    SYM.W(symw::kSigma3Prim) = ratio_data;
    C.W(cw::kB) = b;
    C.W(cw::kScale) = scale;
    partial_state() = kPartialInUse;
    wf.assign(static_cast<std::size_t>(std::max(n, 0)), WorkRecord{});
    Word out[9];
    for (WorkRecord& r : wf) {
        SNR07(out);
        r.h = out[0].i;
        r.k = out[1].i;
        r.l = out[2].i;
        r.key = out[3];  // the E of the first pass
        r.fo = out[4].r;
        const int32_t word = out[7].i;
        r.fc = word < 0 ? -1.0f : 1.0f;
        r.phase = word < 0 ? -word : word;
        r.sigma = out[8].r;
        const float s = RHOF(s2_coefficients(), r.h, r.k, r.l);
        r.s2 = s * s;
    }
    if (earlier_run) put_on_absolute_scale(wf, earlier_b, earlier_scale);
}

void print_fragment_residual(int n) {
    float& residual = FRGMT.R(frgmt::kResidual);
    const float fo_sum = FRGMT.R(frgmt::kFoSum);
    residual = fo_sum > 0.0f ? 100.0f * residual / fo_sum : 0.0f;
    lst("(/35x,'Resid =',f7.2,'%'/35x,'using ',i6,' reflexions'/)", {FRGMT.R(frgmt::kResidual), n});
}

void fragment_ecal_record(const WorkRecord& r, Word out[6]) {
    const double t = C.R(cw::kScale) * std::exp(2.0 * C.R(cw::kB) * static_cast<double>(r.s2));
    const float e = static_cast<float>(std::sqrt(std::max(0.0, t * r.v)));
    const float ep = static_cast<float>(std::sqrt(std::max(0.0, t * r.z)));
    out[0].i = compact_index(r.h, r.k, r.l);
    out[1] = r.key;
    out[2].r = r.fo;
    out[3].r = pack_pair(e, ep);
    out[4].i = r.phase;
    out[5].r = r.sigma;
}

}  // namespace zanek
