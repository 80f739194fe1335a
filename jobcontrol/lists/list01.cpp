// Lists 1 and 2: the cell with its reciprocal cell, metric tensors and
// Cartesian matrices, and the space-group operators with their inverses
// and product table.
#include "jobcontrol/lists/list01.h"

#include <algorithm>
#include <cmath>

#include "jobcontrol/lists/listutil.h"
#include "jobcontrol/numeric.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/listptr.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/store.h"
#include "platform/listing.h"
#include "platform/stop.h"

namespace zanek {

namespace {

// Cell words of list 1 (offsets from the list's first word, 1-based).
constexpr int kCell = 6, kVolume = 12, kRecip = 13, kRecipVolume = 19, kG = 20, kGstar = 29,
              kOrtho = 38, kDeortho = 47;

// Angles in radians from the three input values: cosines when the first is
// below 1.5, else degrees.
void cell_angles(const float cell[6], double ang[3]) {
    const bool cosines = cell[3] < 1.5f;
    const double deg = TRIG.R(trig::kRadian);  // pi/180
    for (int i = 0; i < 3; ++i) {
        const double v = cell[3 + i];
        ang[i] = cosines ? std::atan2(std::sqrt(1.0 - v * v), v) : v * deg;
    }
}

// A stored cell from which every length, angle, volume and s^2 of the run
// is derived must be a real cell: finite words, positive edges, angles
// strictly between 0 and 180 degrees that close a cell of positive volume.
// Anything else (a damaged or foreign list) would carry NaN through the
// whole run.
bool cell_is_sound(int i1) {
    auto w = [&](int word) { return static_cast<double>(DATA.R(i1 + word - 1)); };
    for (int word = kCell; word <= list1::kLength; ++word)
        if (!std::isfinite(w(word))) return false;
    constexpr double kPi = 3.14159265358979323846;
    double c[3];
    for (int k = 0; k < 3; ++k) {
        if (!(w(kCell + k) > 0.0 && w(kRecip + k) > 0.0)) return false;
        const double angle = w(kCell + 3 + k);
        if (!(angle > 0.0 && angle < kPi)) return false;
        c[k] = std::cos(angle);
    }
    const double volume_factor = 1.0 - c[0] * c[0] - c[1] * c[1] - c[2] * c[2] + 2.0 * c[0] * c[1] * c[2];
    return volume_factor > 0.0 && w(kVolume) > 0.0 && w(kRecipVolume) > 0.0;
}

}  // namespace

void XMTMR(const float* a, const float* b, float* c, int n, int m, int l) {
    const int s10 = XMATE.I(xmate::kStrides), s11 = XMATE.I(xmate::kStrides + 1), s12 = XMATE.I(xmate::kStrides + 2), s13 = XMATE.I(xmate::kStrides + 3);
    for (int ll = 1; ll <= l; ++ll) {
        for (int r = 1; r <= n; ++r) {
            double sum = 0.0;
            for (int t = 1; t <= m; ++t)
                sum += static_cast<double>(a[(r - 1) * s11 + (t - 1) * s10]) *
                       static_cast<double>(b[(ll - 1) * s13 + (t - 1) * s12]);
            c[r - 1 + n * (ll - 1)] = static_cast<float>(sum);
        }
    }
}

void XMTMT(const float* a, const float* b, float* c, int n, int m, int l) {
    XMATE.I(xmate::kStrides) = n;
    XMATE.I(xmate::kStrides + 1) = 1;
    XMATE.I(xmate::kStrides + 2) = l;
    XMATE.I(xmate::kStrides + 3) = 1;
    XMTMR(a, b, c, n, m, l);
}

void MINV9(const float a[9], int b[9]) {
    // A(i,j) = a[(i-1) + 3(j-1)]; the inverse is the transposed cofactor
    // matrix over the determinant.
    auto A = [&](int i, int j) { return static_cast<double>(a[(i - 1) + 3 * (j - 1)]); };
    double cof[3][3];
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 3; ++j) {
            const int i1 = i % 3 + 1, i2 = (i + 1) % 3 + 1, j1 = j % 3 + 1, j2 = (j + 1) % 3 + 1;
            cof[i - 1][j - 1] = A(i1, j1) * A(i2, j2) - A(i1, j2) * A(i2, j1);
        }
    const double det = A(1, 1) * cof[0][0] + A(1, 2) * cof[0][1] + A(1, 3) * cof[0][2];
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 3; ++j)  // inverse(i,j) = cofactor(j,i) / det
            b[(i - 1) + 3 * (j - 1)] = det == 0.0 ? 0 : static_cast<int>(std::trunc(cof[j - 1][i - 1] / det));
}

namespace {

// The cell words of list 1 (words kCell..55, word k at words[k - 1]) of the
// cell with edges a, b, c and angles ang (radians): the cell, its volume,
// the reciprocal cell and its volume, the metric tensors G and G*, and the
// orthogonalisation matrices.
void form_cell_words(double a, double b, double c, const double ang[3], float* words) {
    const double ca = std::cos(ang[0]), cb = std::cos(ang[1]), cg = std::cos(ang[2]);
    const double sa = std::sin(ang[0]), sb = std::sin(ang[1]), sg = std::sin(ang[2]);
    // The reciprocal cell.
    const double cas = (cb * cg - ca) / (sb * sg);
    const double cbs = (cg * ca - cb) / (sg * sa);
    const double cgs = (ca * cb - cg) / (sa * sb);
    const double sas = std::sqrt(1.0 - cas * cas), sbs = std::sqrt(1.0 - cbs * cbs),
                 sgs = std::sqrt(1.0 - cgs * cgs);
    const double as = 1.0 / (a * sb * sgs), bs = 1.0 / (b * sg * sas), cs = 1.0 / (c * sa * sbs);
    const double vstar = as * bs * cs * sas * sbs * sg;

    auto put = [&](int word, double v) { words[word - 1] = static_cast<float>(v); };
    const double cellw[6] = {a, b, c, ang[0], ang[1], ang[2]};
    const double recw[6] = {as, bs, cs, std::atan2(sas, cas), std::atan2(sbs, cbs), std::atan2(sgs, cgs)};
    for (int k = 0; k < 6; ++k) {
        put(kCell + k, cellw[k]);
        put(kRecip + k, recw[k]);
    }
    put(kVolume, 1.0 / vstar);
    put(kRecipVolume, vstar);

    // Cartesian frame: Z along c, X along a*. Rows: X, Y, Z components of a, b, c.
    const double ortho[9] = {a * sb * sgs, 0.0, 0.0, -a * sb * cgs, b * sa, 0.0, a * cb, b * ca, c};
    const double deortho[9] = {as, bs * cgs, cs * cbs, 0.0, bs * sgs, -cs * sbs * ca, 0.0, 0.0, 1.0 / c};
    for (int k = 0; k < 9; ++k) {
        put(kOrtho + k, ortho[k]);
        put(kDeortho + k, deortho[k]);
    }
    // G = P P^T and G* = Q Q^T with P, Q the stored 3x3 column-major arrays.
    XMATE.I(xmate::kStrides) = 3;
    XMATE.I(xmate::kStrides + 1) = 1;
    XMATE.I(xmate::kStrides + 2) = 3;
    XMATE.I(xmate::kStrides + 3) = 1;
    const float* p = &words[kOrtho - 1];
    const float* q = &words[kDeortho - 1];
    XMTMR(p, p, &words[kG - 1], 3, 3, 3);
    XMTMR(q, q, &words[kGstar - 1], 3, 3, 3);
}

// The words a stored cell derives from its edges and angles must be those
// the cell gives (to single precision, relative to the largest word of
// their group: an element of G that is zero for the cell is rounding
// noise on the scale of a^2): a damaged metric tensor or reciprocal angle
// in a sound-looking cell would turn distances into NaN.
bool derived_words_agree(int i1) {
    auto w = [&](int word) { return static_cast<double>(DATA.R(i1 + word - 1)); };
    const double ang[3] = {w(kCell + 3), w(kCell + 4), w(kCell + 5)};
    float fresh[list1::kLength] = {};
    form_cell_words(w(kCell), w(kCell + 1), w(kCell + 2), ang, fresh);
    struct Group { int first, count; };
    const Group groups[] = {{kVolume, 1},  {kRecip, 3}, {kRecip + 3, 3}, {kRecipVolume, 1},
                            {kG, 9},       {kGstar, 9}, {kOrtho, 9},     {kDeortho, 9}};
    for (const Group& g : groups) {
        double scale = 0.0;
        for (int word = g.first; word < g.first + g.count; ++word)
            scale = std::max(scale, std::fabs(static_cast<double>(fresh[word - 1])));
        for (int word = g.first; word < g.first + g.count; ++word)
            if (!(std::fabs(w(word) - fresh[word - 1]) <= 1.0e-4 * scale)) return false;
    }
    return true;
}

}  // namespace

void FRM01(const float cell[6]) {
    const int h0 = XLIMI.I(xlimi::kListBase);
    XLIMI.I(xlimi::kNextFree) = h0;
    if (!fits_data(h0, 224)) list_programming_error();
    put_list_header(h0, list1::kType);
    for (int k = kCell; k <= list1::kLength; ++k) DATA.R(h0 + k - 1) = 0.0f;

    double ang[3];
    cell_angles(cell, ang);
    form_cell_words(cell[0], cell[1], cell[2], ang, &DATA.R(h0));
    SFRML(list1::kType, list1::kLength);
}

void YFL01() {
    XLIMI.I(xlimi::kNextFree) = XLIMI.I(xlimi::kListBase);
    int serial = 0, first = 0, last = 0, part = 0, length = 0;
    SRLIN(list1::kType, serial, first, last, part, length);
    if (first <= 0) list_missing(list1::kType);
    const int i1 = XLIMI.I(xlimi::kNextFree);
    const int i2 = i1 + list1::kLength - 1;
    // The list and the derived words behind it must fit in DATA.
    check_list_read(list1::kType, i1, -list1::kLength);
    if (!fits_data(i1, list1::kLength + list1::kDerived))
        list_corrupted(list1::kType);
    XSAC(list1::kType, serial, i1, i2);
    int n = 0;
    SRDLS(list1::kType, serial, i1, n);
    if (!cell_is_sound(i1) || !derived_words_agree(i1)) list_corrupted(list1::kType);

    const int offsets[6] = {5, 12, 19, 28, 37, 46};
    for (int k = 0; k < 6; ++k) LST01.I(k + 1) = i1 + offsets[k];
    LST01.I(lst01::kExponents) = i2 + 1;
    LST01.I(lst01::kRecipCosines) = i2 + 7;
    LST01.I(lst01::kS2Coefficients) = i2 + 10;
    XLIMI.I(xlimi::kNextFree) = i2 + 16;

    auto w = [&](int word) { return static_cast<double>(DATA.R(i1 + word - 1)); };
    const double as = w(kRecip), bs = w(kRecip + 1), cs = w(kRecip + 2);
    const double cas = std::cos(w(kRecip + 3)), cbs = std::cos(w(kRecip + 4)), cgs = std::cos(w(kRecip + 5));
    const double pi = TRIG.R(trig::kPi) != 0.0f ? TRIG.R(trig::kPi) : 3.1415927f;
    const double two_pi2 = 2.0 * pi * pi, four_pi2 = 4.0 * pi * pi;
    const double derived[15] = {-two_pi2 * as * as, -two_pi2 * bs * bs, -two_pi2 * cs * cs,
                                -four_pi2 * bs * cs, -four_pi2 * as * cs, -four_pi2 * as * bs,
                                cas, cbs, cgs,
                                as * as / 4.0, as * bs * cgs / 2.0, as * cs * cbs / 2.0,
                                bs * bs / 4.0, bs * cs * cas / 2.0, cs * cs / 4.0};
    for (int k = 0; k < 15; ++k) DATA.R(i2 + 1 + k) = static_cast<float>(derived[k]);
    XSAC(list1::kType, serial, i1, i2 + list1::kDerived);

    // RC: s^2 coefficients G1..G6, the cell, its angles in degrees and their sines.
    const int order[6] = {9, 12, 14, 10, 11, 13};  // index into derived[]
    for (int k = 0; k < 6; ++k) RC.R(rcw::kS2Coefficients + k) = static_cast<float>(derived[order[k]]);
    const double to_deg = TRIG.R(trig::kDegree);
    for (int k = 0; k < 3; ++k) {
        RC.R(rcw::kCell + k) = DATA.R(i1 + kCell - 1 + k);
        RC.R(rcw::kAngles + k) = static_cast<float>(w(kCell + 3 + k) * to_deg);
        RC.R(rcw::kSines + k) = static_cast<float>(std::sin(w(kCell + 3 + k)));
    }
}

// --- List 2 --------------------------------------------------------------

namespace {

// Lattice codes: SYM word 221 counts P A B C I F R; the list counts
// P I R F A B C, so that P, I, R, F give the number of lattice points.
constexpr int kStoredFromSym[8] = {0, 1, 5, 6, 7, 2, 4, 3};
constexpr int kSymFromStored[8] = {0, 1, 5, 7, 6, 2, 3, 4};

// The stored lattice code of the last YFRM02 of the run, kept for an
// unknown SYM code (0 before the first store).
int g_stored_lattice = 0;

int rotation_word(int h0, int k, int i, int j) {  // DATA index of REAL(R(k,i,j))
    return h0 + list2::kHeaderLength + list2::kOpWords * (k - 1) + 3 * (i - 1) + (j - 1);
}

// Stored operators are rotations of whole numbers -1, 0, 1 and finite
// translations; anything else would be copied into every symmetry record.
bool operators_are_sound(int i1, int nsym) {
    for (int k = 1; k <= nsym; ++k) {
        const int r0 = rotation_word(i1, k, 1, 1);
        for (int e = 0; e < 9; ++e) {
            const float r = DATA.R(r0 + e);
            if (r != -1.0f && r != 0.0f && r != 1.0f) return false;
        }
        for (int t = 9; t < 12; ++t)
            if (!std::isfinite(DATA.R(r0 + t))) return false;
    }
    return true;
}

}  // namespace

void reset_symmetry_list() { g_stored_lattice = 0; }

void YFRM02() {
    const int h0 = XLIMI.I(xlimi::kListBase);
    XLIMI.I(xlimi::kNextFree) = h0;
    const int nsym = SYM.I(symw::kOps);
    const int centric = SYM.I(symw::kCentric);
    if (nsym < 1 || nsym > list2::kMaxOps || centric < 0 || centric > 1) list_programming_error();
    const int ntot = nsym * (centric + 1);
    const int length = list2::length(nsym, ntot);
    if (!fits_data(h0, length)) list_programming_error();

    put_list_header(h0, list2::kType);
    ERL.I(erlw::kGenerators) = 0;
    const int code = SYM.I(symw::kLattice);
    if (code >= 1 && code <= 7) {
        g_stored_lattice = kStoredFromSym[code];
    } else {
        // The code of the previous store (none on the first) is kept: say so.
        lst("(' *** warning *** unknown lattice code',i5,', list 2 is stored with lattice code',i2)",
            {code, g_stored_lattice});
    }
    auto put = [&](int word, double v) { DATA.R(h0 + word - 1) = static_cast<float>(v); };
    put(6, g_stored_lattice);
    put(7, centric + 1);
    put(8, nsym);
    put(9, ERL.I(erlw::kSystem));
    put(10, ERL.I(erlw::kOriginPhases));
    put(11, list2::kHeaderLength);
    put(12, 0.0);
    put(13, list2::kOpWords * nsym + list2::kHeaderLength);

    // Operator records: rotations as reals, translations as stored.
    for (int k = 1; k <= nsym; ++k) {
        for (int i = 1; i <= 3; ++i)
            for (int j = 1; j <= 3; ++j) DATA.R(rotation_word(h0, k, i, j)) = static_cast<float>(erl_R(k, i, j));
        const int t0 = rotation_word(h0, k, 1, 1) + 9;
        for (int i = 1; i <= 3; ++i) DATA.W(t0 + i - 1) = erl_T_word(k, i);
    }
    // Group tables: symbol, seminvariant vectors and moduli, inverses, products.
    int p = h0 + list2::kOpWords * nsym + list2::kHeaderLength;
    copy_words(DATA.at(p), ERL.at(erlw::kSymbol), erlw::kSymbolWords);
    copy_words(DATA.at(p + list2::kGroupSeminv), ERL.at(erlw::kSeminvTables), erlw::kSeminvTableWords);
    copy_words(DATA.at(p + list2::kGroupModuli), ERL.at(erlw::kModuliTables), erlw::kModuliTableWords);
    p += list2::kGroupFixed;
    DATA.I(p) = 1;
    for (int k = 2; k <= nsym; ++k) {
        int inv[9];
        MINV9(&DATA.R(rotation_word(h0, k, 1, 1)), inv);
        int found = 0;
        for (int j = 1; j <= nsym && found == 0; ++j) {
            bool same = true;
            for (int e = 0; e < 9 && same; ++e)
                same = DATA.R(rotation_word(h0, j, 1, 1) + e) == static_cast<float>(inv[e]);
            if (same) found = j;
        }
        if (found == 0) zstop(333);
        DATA.I(p + k - 1) = found;
    }
    p += nsym;
    for (int i = 1; i <= ntot; ++i)
        for (int j = 1; j <= ntot; ++j) DATA.I(p++) = erl_P(i, j);
    SFRML(list2::kType, length);
}

void YFL02() {
    XLIMI.I(xlimi::kNextFree) = XLIMI.I(xlimi::kListBase);
    int serial = 0, first = 0, last = 0, part = 0, length = 0;
    SRLIN(list2::kType, serial, first, last, part, length);
    if (first <= 0) list_missing(list2::kType);
    const int i1 = XLIMI.I(xlimi::kNextFree);
    const int i2 = i1 + length - 1;
    check_list_read(list2::kType, i1, -list2::length(1, 1));
    XSAC(list2::kType, serial, i1, i2);
    int n = 0;
    SRDLS(list2::kType, serial, i1, n);

    auto header = [&](int word) { return trunc_word(DATA.W(i1 + word - 1)); };
    const int nsym = header(8);
    const int centric1 = header(7);  // centric flag + 1
    // The counts decide how many words are copied into ERL and SYM.
    if (nsym < 1 || nsym > list2::kMaxOps || centric1 < 1 || centric1 > 2 ||
        list2::length(nsym, nsym * centric1) > length || !operators_are_sound(i1, nsym))
        list_corrupted(list2::kType);
    const int ntot = nsym * centric1;

    SYM.I(symw::kOps) = nsym;
    LST02.I(lst02::kNsym) = nsym;
    LST02.I(lst02::kNsymCopy) = nsym;
    ERL.I(erlw::kSystem) = header(9);
    LST02.I(lst02::kSystem) = header(9);
    ERL.I(erlw::kOriginPhases) = header(10);
    ERL.I(erlw::kGenerators) = header(12);
    LST02.I(lst02::kCentricPlusOne) = centric1;
    SYM.I(symw::kCentric) = centric1 - 1;
    const int stored = header(6);
    LST02.I(lst02::kStoredLattice) = stored;
    if (stored >= 1 && stored <= 7) SYM.I(symw::kLattice) = kSymFromStored[stored];

    for (int k = 1; k <= nsym; ++k) {
        for (int i = 1; i <= 3; ++i)
            for (int j = 1; j <= 3; ++j) erl_R(k, i, j) = trunc_word(DATA.W(rotation_word(i1, k, i, j)));
        const int t0 = rotation_word(i1, k, 1, 1) + 9;
        for (int i = 1; i <= 3; ++i) erl_T_word(k, i) = DATA.W(t0 + i - 1);
    }
    const int part2 = i1 + list2::kOpWords * nsym + list2::kHeaderLength;
    copy_words(ERL.at(erlw::kSymbol), DATA.at(part2), erlw::kSymbolWords);
    copy_words(ERL.at(erlw::kSeminvTables), DATA.at(part2 + list2::kGroupSeminv), erlw::kSeminvTableWords);
    copy_words(ERL.at(erlw::kModuliTables), DATA.at(part2 + list2::kGroupModuli), erlw::kModuliTableWords);
    const int products = part2 + list2::kGroupFixed + nsym;
    int p = products;
    for (int i = 1; i <= ntot; ++i)
        for (int j = 1; j <= ntot; ++j) erl_P(i, j) = DATA.I(p++);

    LST02.I(lst02::kOperators) = i1 + list2::kHeaderLength;
    LST02.I(lst02::kProducts) = products;
    LST02.I(lst02::kProductsCopy) = products;
    LST02.I(lst02::kOpWords) = list2::kOpWords;
    LST02.I(lst02::kGroupTables) = part2;
    LST02.I(lst02::kGroupTablesCopy) = part2;
    LST02.I(lst02::kAfterList) = i2 + 1;
    LST02.I(lst02::kTen) = 10;
    LST02.I(lst02::kThree) = 3;
    const float code = DATA.R(i1 + 5);
    const int points = code > 4.0f ? 2 : (code < 0.1f ? 1 : stored);
    LST02.I(lst02::kLatticePoints) = points;
    SYM.R(symw::kLatticePoints) = static_cast<float>(points);
    LST02.R(lst02::kPointsTimesCentric) = SYM.R(symw::kLatticePoints) * static_cast<float>(centric1);
    XSAC(list2::kType, serial, i1, i2 + 10 * nsym);
    MUSYM(&erl_R(1, 1, 1), &erl_T(1, 1), nsym, &sym_row_code(1, 1, 1), &sym_translation(1, 1));
}

}  // namespace zanek
