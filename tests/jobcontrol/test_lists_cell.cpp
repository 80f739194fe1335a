// The cell list (1), the symmetry list (2) and the matrix routines: formed,
// stored, reloaded in a fresh run and compared with values worked out
// independently here (metric tensors, volumes, s^2 coefficients, and a
// gemmi reference for three cells).
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "jobcontrol/commands.h"
#include "jobcontrol/lists/list01.h"
#include "tests/jobcontrol/lists_fixture.h"

using namespace zanek;
using namespace zanek::listtest;

namespace {

#include "tests/jobcontrol/fixtures/cell_reference.inc"

constexpr double kDeg = 3.14159265358979323846 / 180.0;

using Mat = std::array<std::array<double, 3>, 3>;

// Metric tensor of a cell, from its definition G(i,j) = e_i . e_j.
Mat metric(double a, double b, double c, double al, double be, double ga) {
    const double e[3] = {a, b, c};
    const double cosang[3][3] = {{1, std::cos(ga), std::cos(be)},
                                 {std::cos(ga), 1, std::cos(al)},
                                 {std::cos(be), std::cos(al), 1}};
    Mat g{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) g[i][j] = e[i] * e[j] * cosang[i][j];
    return g;
}

double det3(const Mat& m) {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

// List word w (1-based) of the image loaded at the list area base. The
// tests name list 1 words by their numbers in the stored layout, which is
// what they pin: 6-8 the edges, 9-11 the angles in radians, 12 the volume,
// 13-15 and 16-18 the reciprocal edges and angles, 19 1/V, 20 G, 29 G*,
// 38 and 47 the two coordinate matrices.
float list_word(int w) { return DATA.R(XLIMI.I(xlimi::kListBase) + w - 1); }

// Column-major 3x3 held in list words w..w+8, as M(i,j).
double colmaj(int w, int i, int j) { return list_word(w + (i - 1) + 3 * (j - 1)); }

}  // namespace

// ======================================================================
// Matrix routines
// ======================================================================

TEST(MatrixRoutines, Minv9InvertsIntegerRotations) {
    // Column-major 3x3 matrices with determinant +1 or -1.
    const std::vector<std::array<float, 9>> cases = {
        {1, 0, 0, 0, 1, 0, 0, 0, 1},       // identity
        {0, 1, 0, -1, -1, 0, 0, 0, 1},     // three-fold about c in hexagonal axes
        {-1, 0, 0, 0, 1, 0, 0, 0, -1},     // two-fold about b
        {0, 1, 0, -1, 0, 0, 0, 0, 1},      // four-fold about c
        {1, 0, 0, 0, -1, 0, 0, 0, 1},      // mirror (determinant -1)
        {0, 0, 1, 1, 0, 0, 0, 1, 0},       // cubic three-fold
        {1, -1, 0, 0, -1, 0, 0, 0, -1},    // hexagonal two-fold
    };
    for (const auto& a : cases) {
        int b[9];
        MINV9(a.data(), b);
        // A * B must be the identity (column-major products).
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) {
                double s = 0;
                for (int t = 0; t < 3; ++t) s += a[i + 3 * t] * b[t + 3 * j];
                EXPECT_EQ(s, i == j ? 1.0 : 0.0) << "case starting " << a[0] << a[1] << a[2];
            }
    }
}

TEST(MatrixRoutines, Minv9TruncatesANonIntegerInverse) {
    const float a[9] = {2, 0, 0, 0, 4, 0, 0, 0, -1};  // inverse diag(0.5, 0.25, -1)
    int b[9];
    MINV9(a, b);
    const int want[9] = {0, 0, 0, 0, 0, 0, 0, 0, -1};
    for (int k = 0; k < 9; ++k) EXPECT_EQ(b[k], want[k]) << k;
}

TEST(MatrixRoutines, StridedProductsAreATimesBTransposed) {
    // A is 2x3 and B is 4x3, column-major: C = A * B^T is 2x4.
    const float a[6] = {1, 4, 2, 5, 3, 6};                    // rows (1,2,3), (4,5,6)
    const float b[12] = {1, 0, 2, -1, 0, 1, 1, 2, 3, 1, 0, 1};  // rows (1,0,3), (0,1,1), (2,1,0), (-1,2,1)
    float c[8] = {};
    XMTMT(a, b, c, 2, 3, 4);
    EXPECT_EQ(XMATE.I(xmate::kStrides), 2);
    EXPECT_EQ(XMATE.I(xmate::kStrides + 1), 1);
    EXPECT_EQ(XMATE.I(xmate::kStrides + 2), 4);
    EXPECT_EQ(XMATE.I(xmate::kStrides + 3), 1);
    const float arow[2][3] = {{1, 2, 3}, {4, 5, 6}};
    const float brow[4][3] = {{1, 0, 3}, {0, 1, 1}, {2, 1, 0}, {-1, 2, 1}};
    for (int r = 0; r < 2; ++r)
        for (int l = 0; l < 4; ++l) {
            float s = 0;
            for (int t = 0; t < 3; ++t) s += arow[r][t] * brow[l][t];
            EXPECT_EQ(c[r + 2 * l], s) << r << "," << l;
        }
    // The cell former's strides (3, 1, 3, 1) give A * A^T for a 3x3 A.
    XMATE.I(xmate::kStrides) = 3;
    XMATE.I(xmate::kStrides + 1) = 1;
    XMATE.I(xmate::kStrides + 2) = 3;
    XMATE.I(xmate::kStrides + 3) = 1;
    const float m[9] = {1, 2, 0, -1, 3, 4, 2, 0, 5};
    float g[9];
    XMTMR(m, m, g, 3, 3, 3);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            float s = 0;
            for (int t = 0; t < 3; ++t) s += m[i + 3 * t] * m[j + 3 * t];
            EXPECT_EQ(g[i + 3 * j], s);
        }
}

// ======================================================================
// List 1
// ======================================================================

class CellList : public ListRun {};

TEST_F(CellList, CubicCellHasDiagonalTensorsAndVolume1000) {
    const float cell[6] = {10, 10, 10, 90, 90, 90};
    FRM01(cell);
    fresh_run();
    YFL01();
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 3; ++j) {
            EXPECT_NEAR(colmaj(38, i, j), i == j ? 10.0 : 0.0, 1e-5);
            EXPECT_NEAR(colmaj(20, i, j), i == j ? 100.0 : 0.0, 1e-4);
            EXPECT_NEAR(colmaj(29, i, j), i == j ? 0.01 : 0.0, 1e-8);
        }
    EXPECT_NEAR(list_word(12), 1000.0, 1e-2);
    EXPECT_NEAR(list_word(19), 0.001, 1e-9);
}

TEST_F(CellList, SmallAlphaMeansCosinesAndExactly1Point5MeansDegrees) {
    const float cosines[6] = {10, 10, 10, 0.0f, 0.0f, -0.5f};
    FRM01(cosines);
    YFL01();
    EXPECT_NEAR(cell_constant(4), 90.0, 1e-4);
    EXPECT_NEAR(cell_constant(5), 90.0, 1e-4);
    EXPECT_NEAR(cell_constant(6), 120.0, 1e-4);

    const float degrees[6] = {10, 10, 10, 1.5f, 90, 90};
    FRM01(degrees);
    YFL01();
    EXPECT_NEAR(list_word(9), 1.5 * kDeg, 1e-7);  // alpha in radians
    EXPECT_NEAR(cell_constant(4), 1.5, 1e-5);
}

TEST_F(CellList, MonoclinicCellAgainstHandWorkedFormulas) {
    const double a = 5.2, b = 7.3, c = 9.1, beta = 104.5 * kDeg;
    const float cell[6] = {5.2f, 7.3f, 9.1f, 90.0f, 104.5f, 90.0f};
    FRM01(cell);
    fresh_run();
    YFL01();
    // Monoclinic, unique axis b: V = abc sin(beta); a* = 1/(a sin beta),
    // b* = 1/b, c* = 1/(c sin beta), cos(beta*) = -cos(beta).
    const double v = a * b * c * std::sin(beta);
    const double as = 1 / (a * std::sin(beta)), bs = 1 / b, cs = 1 / (c * std::sin(beta));
    const double cbs = -std::cos(beta);
    EXPECT_NEAR(list_word(12), v, 1e-5 * v);
    EXPECT_NEAR(list_word(13), as, 1e-6);
    EXPECT_NEAR(list_word(14), bs, 1e-6);
    EXPECT_NEAR(list_word(15), cs, 1e-6);
    EXPECT_NEAR(list_word(17), std::acos(cbs), 1e-6);
    // s^2 = h^2 a*^2/4 + k^2 b*^2/4 + l^2 c*^2/4 + hl a*c* cos(beta*)/2.
    const double want[6] = {as * as / 4, bs * bs / 4, cs * cs / 4, 0.0, as * cs * cbs / 2, 0.0};
    for (int k = 0; k < 6; ++k) EXPECT_NEAR(s2_coefficients()[k], want[k], 1e-7) << "G" << k + 1;
    EXPECT_NEAR(cell_constant(1), 5.2, 1e-6);
    EXPECT_NEAR(cell_constant(5), 104.5, 1e-4);
    EXPECT_NEAR(RC.R(rcw::kSines + 1), std::sin(beta), 1e-6);  // sin(beta)
    EXPECT_NEAR(RC.R(rcw::kSines), 1.0, 1e-6);                 // sin(alpha)
}

TEST_F(CellList, CellsAgreeWithTheGemmiReference) {
    for (const CellReference& ref : kCellReference) {
        SCOPED_TRACE(ref.name);
        float cell[6];
        for (int k = 0; k < 6; ++k) cell[k] = static_cast<float>(ref.cell[k]);
        FRM01(cell);
        YFL01();
        EXPECT_NEAR(list_word(12), ref.volume, 2e-6 * ref.volume);
        EXPECT_NEAR(list_word(19), 1.0 / ref.volume, 2e-6 / ref.volume);
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(list_word(13 + k), ref.recip[k], 1e-6);
            EXPECT_NEAR(list_word(16 + k) / kDeg, ref.recip[3 + k], 1e-4);
        }
        for (int r = 0; r < 8; ++r) {
            const int h = ref.hkl[r][0], k = ref.hkl[r][1], l = ref.hkl[r][2];
            const float* G = s2_coefficients();  // G1..G6
            const double s2 = G[0] * h * h + G[1] * k * k + G[2] * l * l + G[3] * h * k + G[4] * h * l + G[5] * k * l;
            EXPECT_NEAR(s2, ref.s2[r], 2e-6 * ref.s2[r]) << h << " " << k << " " << l;
        }
    }
}

TEST_F(CellList, TriclinicTensorsAndCartesianFrameAreConsistent) {
    const double a = 5.1, b = 6.2, c = 7.3, al = 80 * kDeg, be = 95 * kDeg, ga = 110 * kDeg;
    const float cell[6] = {5.1f, 6.2f, 7.3f, 80, 95, 110};
    FRM01(cell);
    YFL01();
    const Mat g = metric(a, b, c, al, be, ga);
    // G from its definition; G* its inverse; V^2 = det G.
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            EXPECT_NEAR(colmaj(20, i + 1, j + 1), g[i][j], 1e-4);
            double s = 0;
            for (int t = 0; t < 3; ++t) s += g[i][t] * colmaj(29, t + 1, j + 1);
            EXPECT_NEAR(s, i == j ? 1.0 : 0.0, 1e-5);
        }
    EXPECT_NEAR(list_word(12), std::sqrt(det3(g)), 1e-3);
    // The Cartesian images of a, b, c have the cell's lengths and angles,
    // c lies along Z and a* along X; the second matrix undoes the first.
    double e[3][3];
    for (int edge = 0; edge < 3; ++edge)
        for (int comp = 0; comp < 3; ++comp) e[edge][comp] = list_word(38 + 3 * comp + edge);
    auto dot = [&](int p, int q) { return e[p][0] * e[q][0] + e[p][1] * e[q][1] + e[p][2] * e[q][2]; };
    EXPECT_NEAR(std::sqrt(dot(0, 0)), a, 1e-5);
    EXPECT_NEAR(std::sqrt(dot(2, 2)), c, 1e-5);
    EXPECT_NEAR(dot(0, 1) / (a * b), std::cos(ga), 1e-6);
    EXPECT_NEAR(e[2][0], 0.0, 1e-6);
    EXPECT_NEAR(e[2][1], 0.0, 1e-6);
    EXPECT_NEAR(e[1][0], 0.0, 1e-6);  // b is perpendicular to a*
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            // fractional -> Cartesian (X = sum w38.. ) then back (x = w47 X + w50 Y + w53 Z).
            double s = 0;
            for (int t = 0; t < 3; ++t) s += list_word(47 + i + 3 * t) * list_word(38 + 3 * t + j);
            EXPECT_NEAR(s, i == j ? 1.0 : 0.0, 1e-6);
        }
}

TEST_F(CellList, StoredBytesAndLoaderPointers) {
    const float cell[6] = {5.2f, 7.3f, 9.1f, 90.0f, 104.5f, 90.0f};
    FRM01(cell);
    // The first list of a new file starts at 1890 (block 3, offset 354).
    EXPECT_EQ(file_row(path, 1), (Row{1, 1, 1890, 1944, 0, 55}));
    EXPECT_EQ(file_real(path, 1890), 11111.0f);
    EXPECT_EQ(file_real(path, 1891), 1.0f);
    EXPECT_EQ(file_real(path, 1892), 1.0f);
    EXPECT_EQ(file_real(path, 1893), 0.0f);
    EXPECT_EQ(file_real(path, 1894), -1.0f);
    EXPECT_NEAR(file_real(path, 1895), 5.2f, 0);
    EXPECT_NEAR(file_real(path, 1899), 104.5 * kDeg, 1e-6);
    FRM01(cell);  // stored again: same place, serial 2
    EXPECT_EQ(file_row(path, 1), (Row{1, 2, 1890, 1944, 0, 55}));
    EXPECT_EQ(file_real(path, 1892), 2.0f);

    fresh_run();
    XLIMI.I(xlimi::kListBase) = 1;
    YFL01();
    const int i1 = 1, i2 = 55;
    const int want[9] = {i1 + 5, i1 + 12, i1 + 19, i1 + 28, i1 + 37, i1 + 46, i2 + 1, i2 + 7, i2 + 10};
    for (int k = 0; k < 9; ++k) EXPECT_EQ(LST01.I(k + 1), want[k]) << k + 1;
    EXPECT_EQ(XLIMI.I(xlimi::kNextFree), i2 + 16);
    ASSERT_EQ(XSAE.I(xsae::kCount), 1);
    EXPECT_EQ(xsae::entry(1, xsae::kType), 1);
    EXPECT_EQ(xsae::entry(1, xsae::kSerial), 2);
    EXPECT_EQ(xsae::entry(1, xsae::kFirst), i1);
    EXPECT_EQ(xsae::entry(1, xsae::kLast), i2 + 15);
    // The derived s^2 coefficients follow the list in the order
    // a*^2/4, a*b* cos(gamma*)/2, a*c* cos(beta*)/2, b*^2/4, b*c* cos(alpha*)/2, c*^2/4.
    const int s2 = LST01.I(lst01::kS2Coefficients);
    const float* G = s2_coefficients();  // G1..G6
    EXPECT_EQ(DATA.R(s2), G[0]);
    EXPECT_EQ(DATA.R(s2 + 1), G[3]);
    EXPECT_EQ(DATA.R(s2 + 2), G[4]);
    EXPECT_EQ(DATA.R(s2 + 3), G[1]);
    EXPECT_EQ(DATA.R(s2 + 4), G[5]);
    EXPECT_EQ(DATA.R(s2 + 5), G[2]);
    // Exponent factors -2 pi^2 a*^2 ... and the reciprocal cosines.
    const double as = list_word(13);
    EXPECT_NEAR(DATA.R(LST01.I(lst01::kExponents)), -2 * M_PI * M_PI * as * as, 1e-5);
    EXPECT_NEAR(DATA.R(LST01.I(lst01::kRecipCosines) + 1), std::cos(list_word(17)), 1e-6);
}

// A command that loads the cell or the symmetry when the list is not stored
// is told so and fails; nothing of the shared records is changed, so no
// word of a missing list image is ever read.
TEST_F(CellList, AbsentCellOrSymmetryListFailsTheCommand) {
    struct Case { const char* what; int type; void (*load)(); };
    const Case cases[] = {{"cell", 1, YFL01}, {"symmetry", 2, YFL02}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RC.R(rcw::kS2Coefficients) = 7.0f;
        SYM.I(symw::kOps) = 3;
        LST01.I(lst01::kMetric) = 123;
        XLIMI.I(xlimi::kNextFree) = 99;
        EXPECT_THROW(c.load(), CommandFailed);
        EXPECT_EQ(XLIMI.I(xlimi::kNextFree), 1);
        EXPECT_EQ(RC.R(rcw::kS2Coefficients), 7.0f);
        EXPECT_EQ(SYM.I(symw::kOps), 3);
        EXPECT_EQ(LST01.I(lst01::kMetric), 123);
        EXPECT_EQ(XSAE.I(xsae::kCount), 0);
        char text[64];
        std::snprintf(text, sizeof text, "\n\n\n no list of type%5d  stored\n\n", c.type);
        EXPECT_NE(listing().find(text), std::string::npos) << listing();
    }
}

TEST_F(CellList, ATooShortListIsCorrupted) {
    const float cell[6] = {10, 10, 10, 90, 90, 90};
    FRM01(cell);
    patch_int(path, 1650 + 6 * 1 + 5, 40);  // row length 40
    fresh_run();
    EXPECT_EQ(stop_code([] { YFL01(); }), 1111);
    EXPECT_TRUE(listing_has(" requested list   1 has been corrupted"));
}

// A stored cell whose values would carry NaN or nonsense into every later
// computation is a corrupted list: the run stops before RC is filled.
TEST_F(CellList, PoisonedCellWordsAreACorruptedList) {
    struct Case { const char* what; int word; float value; };
    const float nan = std::nanf("");
    const float inf = std::numeric_limits<float>::infinity();
    const Case cases[] = {
        {"edge a NaN", 6, nan},
        {"edge b zero", 7, 0.0f},
        {"edge c negative", 8, -9.1f},
        {"edge a infinite", 6, inf},
        {"angle alpha zero", 9, 0.0f},
        {"angle beta 180 degrees", 10, static_cast<float>(180 * kDeg)},
        {"angle gamma NaN", 11, nan},
        // 20 + 20 < 90 degrees: three angles that close no cell.
        {"no real volume", 11, static_cast<float>(150 * kDeg)},
        {"volume zero", 12, 0.0f},
        {"reciprocal edge negative", 14, -0.1f},
        {"reciprocal volume NaN", 19, nan},
        {"metric tensor NaN", 24, nan},
        {"Cartesian matrix infinite", 40, inf},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const float cell[6] = {5.2f, 7.3f, 9.1f, 20.0f, 20.0f, 30.0f};
        FRM01(cell);
        fresh_run();
        YFL01();  // the cell as stored is sound
        patch_real(path, first_of(1) + c.word - 1, c.value);
        fresh_run();
        cell_constant(1) = -1.0f;
        EXPECT_EQ(stop_code([] { YFL01(); }), 1111);
        EXPECT_TRUE(listing_has(" requested list   1 has been corrupted"));
        EXPECT_EQ(cell_constant(1), -1.0f);  // nothing of the cell reached RC
    }
}

// ======================================================================
// List 2
// ======================================================================

namespace {

struct Op {
    int r[3][3];
    float t[3];
};

Mat to_mat(const int r[3][3]) {
    Mat m{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) m[i][j] = r[i][j];
    return m;
}

// Fills ERL and SYM with a group of nsym operators (centric: followed by
// their products with the inversion), with its product table found by
// multiplying the matrices.
void set_group(const std::vector<Op>& ops, int centric, int lattice, const char* symbol) {
    const int nsym = static_cast<int>(ops.size());
    std::vector<Op> all = ops;
    if (centric)
        for (const Op& o : ops) {
            Op m = o;
            for (int i = 0; i < 3; ++i) {
                for (int j = 0; j < 3; ++j) m.r[i][j] = -o.r[i][j];
                m.t[i] = -o.t[i];
            }
            all.push_back(m);
        }
    const int ntot = static_cast<int>(all.size());
    for (int k = 1; k <= ntot; ++k)
        for (int i = 1; i <= 3; ++i) {
            for (int j = 1; j <= 3; ++j) erl_R(k, i, j) = all[k - 1].r[i - 1][j - 1];
            erl_T(k, i) = all[k - 1].t[i - 1];
        }
    for (int i = 0; i < ntot; ++i)
        for (int j = 0; j < ntot; ++j) {
            int prod[3][3];
            for (int p = 0; p < 3; ++p)
                for (int q = 0; q < 3; ++q) {
                    prod[p][q] = 0;
                    for (int t = 0; t < 3; ++t) prod[p][q] += all[i].r[p][t] * all[j].r[t][q];
                }
            int found = 0;
            for (int k = 0; k < ntot && !found; ++k)
                if (to_mat(all[k].r) == to_mat(prod)) found = k + 1;
            erl_P(i + 1, j + 1) = found;
        }
    for (int k = 0; k < 16; ++k) {
        char b[4] = {' ', ' ', ' ', ' '};
        if (symbol[k] != 0) b[0] = symbol[k];
        std::memcpy(erl_symbol_char(k + 1), b, 4);
        if (symbol[k] == 0) symbol = "                ";
    }
    // The seminvariant tables, V through the column sums, each word its own value.
    for (int w = erlw::kSeminvTables; w <= static_cast<int>(ERL.size()); ++w) ERL.I(w) = 50 + w;
    ERL.I(erlw::kSystem) = 2;
    ERL.I(erlw::kOriginPhases) = 3;
    ERL.I(erlw::kGenerators) = 1;
    SYM.I(symw::kOps) = nsym;
    SYM.I(symw::kCentric) = centric;
    SYM.I(symw::kLattice) = lattice;
}

// The rotations and translations of operators 1-2 and the products of
// operations 1-4, as the group accessors read them.
struct GroupWords {
    int r[2][3][3];
    float t[2][3];
    int p[4][4];
};
GroupWords group_words() {
    GroupWords g{};
    for (int k = 1; k <= 2; ++k)
        for (int i = 1; i <= 3; ++i) {
            for (int j = 1; j <= 3; ++j) g.r[k - 1][i - 1][j - 1] = erl_R(k, i, j);
            g.t[k - 1][i - 1] = erl_T(k, i);
        }
    for (int i = 1; i <= 4; ++i)
        for (int j = 1; j <= 4; ++j) g.p[i - 1][j - 1] = erl_P(i, j);
    return g;
}

const std::vector<Op> kP21c = {{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 0}},
                               {{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}, {0, 0.5f, 0.5f}}};
const std::vector<Op> kP3 = {{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 0}},
                             {{{0, -1, 0}, {1, -1, 0}, {0, 0, 1}}, {0, 0, 0}},
                             {{{-1, 1, 0}, {-1, 0, 0}, {0, 0, 1}}, {0, 0, 0}}};

}  // namespace

class SymmetryList : public ListRun {};

TEST_F(SymmetryList, CentricGroupRoundTripsThroughAFreshRun) {
    set_group(kP21c, 1, 1, "p 1 21/c 1");
    const auto erl_before = ERL;
    const GroupWords group_before = group_words();
    YFRM02();
    EXPECT_EQ(ERL.I(erlw::kGenerators), 0);
    const int len = 12 * 2 + 13 + 40 + 2 + 16;
    EXPECT_EQ(file_row(path, 2).length, len);

    fresh_run();
    YFL02();
    const GroupWords group = group_words();
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) EXPECT_EQ(group.r[k][i][j], group_before.r[k][i][j]);
            EXPECT_EQ(group.t[k][i], group_before.t[k][i]);
        }
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_EQ(group.p[i][j], group_before.p[i][j]) << i + 1 << j + 1;
    // The first and last word of each table stored with the group, and a
    // word from the middle of the symbol.
    const int table_words[] = {erlw::kSymbol, erlw::kSymbol + 8, erlw::kSymbol + erlw::kSymbolWords - 1,
                               erlw::kSeminvTables, erlw::kSeminvTables + erlw::kSeminvTableWords - 1,
                               erlw::kModuliTables, erlw::kModuliTables + erlw::kModuliTableWords - 1};
    for (int w : table_words) EXPECT_EQ(ERL.I(w), erl_before.I(w)) << w;
    EXPECT_EQ(ERL.I(erlw::kOriginPhases), 3);
    EXPECT_EQ(ERL.I(erlw::kSystem), 2);
    EXPECT_EQ(ERL.I(erlw::kGenerators), 0);
    EXPECT_EQ(SYM.I(symw::kOps), 2);
    EXPECT_EQ(SYM.I(symw::kCentric), 1);
    EXPECT_EQ(SYM.I(symw::kLattice), 1);
    EXPECT_EQ(SYM.R(symw::kLatticePoints), 1.0f);
    // Compact operators: -x, y+1/2, -z+1/2 is rows (-1,0), (2,0), (-3,0).
    const int want2[3][2] = {{-1, 0}, {2, 0}, {-3, 0}};
    for (int i = 1; i <= 3; ++i)
        for (int slot = 1; slot <= 2; ++slot) EXPECT_EQ(sym_row_code(2, i, slot), want2[i - 1][slot - 1]);
    EXPECT_EQ(sym_translation(2, 1), 0.0f);
    EXPECT_EQ(sym_translation(2, 2), 0.5f);
    EXPECT_EQ(sym_translation(2, 3), 0.5f);
    // The pointers into DATA.
    const int i1 = XLIMI.I(xlimi::kListBase);
    EXPECT_EQ(LST02.I(lst02::kCentricPlusOne), 2);
    EXPECT_EQ(LST02.I(lst02::kStoredLattice), 1);
    EXPECT_EQ(LST02.R(lst02::kPointsTimesCentric), 2.0f);
    EXPECT_EQ(LST02.I(lst02::kSystem), 2);
    EXPECT_EQ(LST02.I(lst02::kOperators), i1 + 13);
    EXPECT_EQ(LST02.I(lst02::kOpWords), 12);
    EXPECT_EQ(LST02.I(lst02::kNsym), 2);
    EXPECT_EQ(LST02.I(lst02::kNsymCopy), 2);
    EXPECT_EQ(LST02.I(lst02::kGroupTables), i1 + 37);
    EXPECT_EQ(LST02.I(lst02::kProducts), i1 + 37 + 40 + 2);
    EXPECT_EQ(LST02.I(lst02::kProductsCopy), LST02.I(lst02::kProducts));
    EXPECT_EQ(LST02.I(lst02::kAfterList), i1 + len);
    EXPECT_EQ(LST02.I(lst02::kTen), 10);
    EXPECT_EQ(LST02.I(lst02::kThree), 3);
    EXPECT_EQ(LST02.I(lst02::kLatticePoints), 1);
    EXPECT_EQ(XLIMI.I(xlimi::kNextFree), i1);
    EXPECT_EQ(xsae::entry(1, xsae::kLast), i1 + len - 1 + 20);
}

TEST_F(SymmetryList, StoredLayoutHasRotationsAsRealsAndInverseNumbers) {
    set_group(kP3, 0, 1, "p 3");
    YFRM02();
    const int f = first_of(2);
    EXPECT_EQ(file_real(path, f + 5), 1.0f);   // stored lattice code P
    EXPECT_EQ(file_real(path, f + 6), 1.0f);   // acentric + 1
    EXPECT_EQ(file_real(path, f + 7), 3.0f);   // nsym
    EXPECT_EQ(file_real(path, f + 10), 13.0f);
    EXPECT_EQ(file_real(path, f + 12), 12.0f * 3 + 13);
    // Operator 2, -y, x-y, z: rows (0,-1,0), (1,-1,0), (0,0,1), row by row.
    const float rot2[9] = {0, -1, 0, 1, -1, 0, 0, 0, 1};
    for (int e = 0; e < 9; ++e) EXPECT_EQ(file_real(path, f + 13 + 12 + e), rot2[e]) << e;
    // Inverse numbers after the 40 fixed words of the group tables: 1, 3, 2.
    const int inv = f + 13 + 36 + 40;
    EXPECT_EQ(file_int(path, inv), 1);
    EXPECT_EQ(file_int(path, inv + 1), 3);
    EXPECT_EQ(file_int(path, inv + 2), 2);
    fresh_run();
    YFL02();
    // The hexagonal row (1,-1,0) becomes the codes 1, -2.
    EXPECT_EQ(sym_row_code(2, 2, 1), 1);
    EXPECT_EQ(sym_row_code(2, 2, 2), -2);
}

TEST_F(SymmetryList, CentricGroupOfFourOperatorsStores64Products) {
    const std::vector<Op> mmm = {{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 0}},
                                 {{{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}}, {0.5f, 0, 0.5f}},
                                 {{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}, {0, 0.5f, 0}},
                                 {{{1, 0, 0}, {0, -1, 0}, {0, 0, -1}}, {0.5f, 0.5f, 0}}};
    set_group(mmm, 1, 1, "p b c a");
    YFRM02();
    EXPECT_EQ(file_row(path, 2).length, 12 * 4 + 13 + 40 + 4 + 64);
    ERL.clear();
    fresh_run();
    YFL02();
    EXPECT_EQ(erl_P(8, 8), 1);  // (-m)(-m) = E
    EXPECT_EQ(erl_P(2, 3), 4);
    EXPECT_EQ(erl_P(5, 2), 6);  // (-1)(2z) = -2z
}

TEST_F(SymmetryList, OperatorWithoutItsInverseStops333) {
    const std::vector<Op> bad = {{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 0}},
                                 {{{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}, {0, 0, 0}}};  // a lone four-fold
    set_group(bad, 0, 1, "p 4?");
    EXPECT_EQ(stop_code([] { YFRM02(); }), 333);
    EXPECT_EQ(file_row(path, 2).present, 0);
}

TEST_F(SymmetryList, LatticeCodesMapBothWaysAndGiveTheLatticePoints) {
    struct Case { int sym_code, stored, points; };
    const Case cases[] = {{1, 1, 1}, {2, 5, 2}, {3, 6, 2}, {4, 7, 2}, {5, 2, 2}, {6, 4, 4}, {7, 3, 3}};
    for (const Case& c : cases) {
        set_group(kP21c, 0, c.sym_code, "x");
        YFRM02();
        EXPECT_EQ(file_real(path, first_of(2) + 5), static_cast<float>(c.stored)) << c.sym_code;
        SYM.I(symw::kLattice) = 0;
        YFL02();
        EXPECT_EQ(SYM.I(symw::kLattice), c.sym_code);
        EXPECT_EQ(SYM.R(symw::kLatticePoints), static_cast<float>(c.points)) << c.sym_code;
        EXPECT_EQ(LST02.I(lst02::kLatticePoints), c.points);
        EXPECT_EQ(LST02.R(lst02::kPointsTimesCentric), static_cast<float>(c.points));
    }
    // An unknown code keeps the stored code of the previous form.
    set_group(kP21c, 0, 99, "x");
    YFRM02();
    EXPECT_EQ(file_real(path, first_of(2) + 5), 3.0f);
}

// An unknown lattice code is said: on the first store of the run no code
// is kept (0, one lattice point), later the previous store's code is.
TEST_F(SymmetryList, UnknownLatticeCodeIsSaid) {
    set_group(kP21c, 0, 99, "x");
    YFRM02();
    EXPECT_EQ(file_real(path, first_of(2) + 5), 0.0f);
    EXPECT_TRUE(listing_has(" *** warning *** unknown lattice code   99, list 2 is stored with lattice code 0\n"))
        << listing();
    set_group(kP21c, 0, 5, "x");  // I: stored code 2
    YFRM02();
    set_group(kP21c, 0, -1, "x");
    YFRM02();
    EXPECT_EQ(file_real(path, first_of(2) + 5), 2.0f);
    EXPECT_TRUE(listing_has(" *** warning *** unknown lattice code   -1, list 2 is stored with lattice code 2\n"));
    // A new run starts without a kept code.
    fresh_run();
    set_group(kP21c, 0, 0, "x");
    YFRM02();
    EXPECT_EQ(file_real(path, first_of(2) + 5), 0.0f);
}

TEST_F(SymmetryList, StoredLatticeCodeZeroKeepsTheSymCodeAndOnePoint) {
    set_group(kP21c, 0, 5, "x");
    YFRM02();
    patch_real(path, first_of(2) + 5, 0.0f);
    fresh_run();
    SYM.I(symw::kLattice) = 6;
    YFL02();
    EXPECT_EQ(SYM.I(symw::kLattice), 6);
    EXPECT_EQ(SYM.R(symw::kLatticePoints), 1.0f);
}

// Rotation words other than -1, 0, 1 and translations that are not finite
// would poison every symmetry record: the list is corrupted.
TEST_F(SymmetryList, PoisonedOperatorWordsAreACorruptedList) {
    struct Case { const char* what; int offset; float value; };  // offset in operator 2's record
    const Case cases[] = {
        {"rotation NaN", 0, std::nanf("")},
        {"rotation 2", 4, 2.0f},
        {"rotation not whole", 8, 0.5f},
        {"translation NaN", 9, std::nanf("")},
        {"translation infinite", 11, std::numeric_limits<float>::infinity()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        set_group(kP21c, 1, 1, "x");
        YFRM02();
        patch_real(path, first_of(2) + 13 + 12 + c.offset, c.value);
        fresh_run();
        EXPECT_EQ(stop_code([] { YFL02(); }), 1111);
        EXPECT_TRUE(listing_has(" requested list   2 has been corrupted"));
        EXPECT_EQ(SYM.I(symw::kOps), 0);  // nothing loaded
    }
}

TEST_F(SymmetryList, CorruptOperatorCountStops1111WithoutOverrun) {
    struct Case { float nsym, centric; };
    const Case cases[] = {{30.0f, 1.0f}, {1.0e6f, 1.0f}, {-2.0f, 1.0f}, {2.0f, 3.0f}, {20.0f, 2.0f}};
    for (const Case& c : cases) {
        set_group(kP21c, 1, 1, "x");
        YFRM02();
        patch_real(path, first_of(2) + 7, c.nsym);
        patch_real(path, first_of(2) + 6, c.centric);
        fresh_run();
        EXPECT_EQ(stop_code([] { YFL02(); }), 1111) << c.nsym << " " << c.centric;
        EXPECT_TRUE(listing_has(" requested list   2 has been corrupted"));
        EXPECT_EQ(SYM.I(symw::kOps), 0);  // nothing loaded
    }
}
