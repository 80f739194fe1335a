// Special positions against the Wyckoff positions of the International
// Tables: site multiplicity (order of the site symmetry), occupancy 1/m,
// coordinate and displacement-parameter restrictions, floating origin.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "crystaldata/special.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/special.h"
#include "platform/stop.h"
#include "test_spacegroup_fixture.h"

namespace zanek {
namespace {

// Analyses the symbol, sets the cell and initialises the library afresh.
void setup(const std::string& symbol, std::array<float, 6> cell) {
    reset_crystal_records();
    ASSERT_EQ(test::analyse(symbol), 0) << symbol;
    for (int i = 0; i < 6; ++i) cell_constant(1 + i) = cell[i];
    SPEC.I(kSpecReady) = -1;
    XSPINB();
}

struct Site {
    std::array<float, 3> xyz;
    int m;                      // order of the site symmetry
    std::array<float, 3> exact; // the special position
    std::array<int, 9> kode;    // x y z U11 U22 U33 U23 U13 U12
};

struct GroupSites {
    const char* symbol;
    std::array<float, 6> cell;
    std::vector<Site> sites;
};

// Restriction codes: i free, j = parameter j, -j its negative, 0 fixed,
// 10+j half of j, 20+j twice j (U numbered 4..9).
const std::vector<GroupSites> kWyckoff = {
    {"p -1", {5.1f, 6.2f, 7.3f, 80.f, 95.f, 105.f},
     {{{0.01f, -0.01f, 0.005f}, 2, {0, 0, 0}, {0, 0, 0, 4, 5, 6, 7, 8, 9}},          // 1a
      {{0.5f, 0.49f, 0.5f}, 2, {0.5f, 0.5f, 0.5f}, {0, 0, 0, 4, 5, 6, 7, 8, 9}},     // 1h
      {{0.1f, 0.2f, 0.3f}, 1, {0.1f, 0.2f, 0.3f}, {1, 2, 3, 4, 5, 6, 7, 8, 9}}}},    // 2i
    {"p 21/c", {6.f, 7.f, 8.f, 90.f, 100.f, 90.f},
     {{{0.f, 0.5f, 0.5f}, 2, {0, 0.5f, 0.5f}, {0, 0, 0, 4, 5, 6, 7, 8, 9}},          // 2d
      {{0.1f, 0.2f, 0.3f}, 1, {0.1f, 0.2f, 0.3f}, {1, 2, 3, 4, 5, 6, 7, 8, 9}}}},    // 4e
    {"c 2/c", {10.f, 7.f, 9.f, 90.f, 110.f, 90.f},
     {{{0.f, 0.3f, 0.25f}, 2, {0, 0.3f, 0.25f}, {0, 2, 0, 4, 5, 6, 0, 8, 0}},       // 4e  0,y,1/4
      {{0.25f, 0.25f, 0.f}, 2, {0.25f, 0.25f, 0}, {0, 0, 0, 4, 5, 6, 7, 8, 9}},      // 4c  -1
      {{0.f, 0.5f, 0.f}, 2, {0, 0.5f, 0}, {0, 0, 0, 4, 5, 6, 7, 8, 9}}}},            // 4b  -1
    {"p n m a", {8.f, 6.f, 7.f, 90.f, 90.f, 90.f},
     {{{0.1f, 0.25f, 0.3f}, 2, {0.1f, 0.25f, 0.3f}, {1, 0, 3, 4, 5, 6, 0, 8, 0}},   // 4c  x,1/4,z
      {{0.f, 0.f, 0.f}, 2, {0, 0, 0}, {0, 0, 0, 4, 5, 6, 7, 8, 9}}}},               // 4a  -1
    {"p 4/m m m", {5.f, 5.f, 7.f, 90.f, 90.f, 90.f},
     {{{0.f, 0.f, 0.f}, 16, {0, 0, 0}, {0, 0, 0, 4, 4, 6, 0, 0, 0}},                // 1a  4/mmm
      {{0.3f, 0.f, 0.f}, 4, {0.3f, 0, 0}, {1, 0, 0, 4, 5, 6, 0, 0, 0}},             // 4j  x,0,0
      {{0.3f, 0.3f, 0.f}, 4, {0.3f, 0.3f, 0}, {1, 1, 0, 4, 4, 6, 0, 0, 9}},         // 4j  x,x,0
      {{0.f, 0.5f, 0.2f}, 4, {0, 0.5f, 0.2f}, {0, 0, 3, 4, 5, 6, 0, 0, 0}},         // 4i  0,1/2,z
      {{0.f, 0.f, 0.2f}, 8, {0, 0, 0.2f}, {0, 0, 3, 4, 4, 6, 0, 0, 0}}}},           // 2g  0,0,z
    {"r -3 c", {5.f, 5.f, 14.f, 90.f, 90.f, 120.f},
     {{{0.f, 0.f, 0.f}, 6, {0, 0, 0}, {0, 0, 0, 4, 4, 6, 0, 0, 14}},                // 6b  -3.
      {{0.f, 0.f, 0.25f}, 6, {0, 0, 0.25f}, {0, 0, 0, 4, 4, 6, 0, 0, 14}},          // 6a  32
      {{0.f, 0.f, 0.1f}, 3, {0, 0, 0.1f}, {0, 0, 3, 4, 4, 6, 0, 0, 14}}}},          // 12c 3.
    {"f m -3 m", {8.f, 8.f, 8.f, 90.f, 90.f, 90.f},
     {{{0.f, 0.f, 0.f}, 48, {0, 0, 0}, {0, 0, 0, 4, 4, 4, 0, 0, 0}},                // 4a  m-3m
      {{0.25f, 0.25f, 0.25f}, 24, {0.25f, 0.25f, 0.25f}, {0, 0, 0, 4, 4, 4, 0, 0, 0}},  // 8c -43m
      {{0.2f, 0.f, 0.f}, 8, {0.2f, 0, 0}, {1, 0, 0, 4, 5, 5, 0, 0, 0}},             // 24e 4m.m
      {{0.2f, 0.2f, 0.2f}, 6, {0.2f, 0.2f, 0.2f}, {1, 1, 1, 4, 4, 4, 7, 7, 7}}}},   // 32f .3m
};

TEST(SpecialPositions, WyckoffSitesOfSeveralGroups) {
    test::capture_listing("special_wyckoff");
    for (const auto& g : kWyckoff) {
        setup(g.symbol, g.cell);
        for (const auto& s : g.sites) {
            SCOPED_TRACE(std::string(g.symbol) + " at " + std::to_string(s.xyz[0]) + " " +
                         std::to_string(s.xyz[1]) + " " + std::to_string(s.xyz[2]));
            SiteWork work{};
            float P[11] = {s.xyz[0], s.xyz[1], s.xyz[2], 0, 0, 0, 0, 0, 0, 0, 1.0f}, PNEW[11];
            int KODE[10];
            int result = KSPECB(work, P, PNEW, KODE, 0, 1, 0, 2);
            EXPECT_EQ(result, s.m == 1 ? 1 : -1);
            EXPECT_EQ(KODE[9], s.m);
            EXPECT_FLOAT_EQ(PNEW[10], 1.0f / s.m);
            for (int i = 0; i < 3; ++i) EXPECT_NEAR(PNEW[i], s.exact[i], 1e-5);
            for (int i = 0; i < 9; ++i) EXPECT_EQ(KODE[i], s.kode[i]) << "parameter " << i + 1;
        }
    }
}

TEST(SpecialPositions, TwoFoldAxisOfP2) {
    setup("p 2", {5.f, 6.f, 7.f, 90.f, 100.f, 90.f});
    SiteWork work{};
    float P[11] = {0.01f, 0.3f, -0.01f, 0, 0, 0, 0, 0, 0, 0, 1}, PNEW[11];
    int KODE[10];
    EXPECT_EQ(KSPECB(work, P, PNEW, KODE, 0, 1, 0, 2), -1);
    EXPECT_EQ(KODE[9], 2);
    EXPECT_FLOAT_EQ(PNEW[10], 0.5f);
    EXPECT_NEAR(PNEW[0], 0.0f, 1e-6);
    EXPECT_NEAR(PNEW[1], 0.3f, 1e-6);
    EXPECT_NEAR(PNEW[2], 0.0f, 1e-6);
    EXPECT_EQ(KODE[0], 0);
    EXPECT_EQ(KODE[1], 2);
    EXPECT_EQ(KODE[2], 0);
    // The image row: operator 2 (-x, y, -z) is entry 6 of the rotation table, order 2.
    EXPECT_EQ(work.w[0][2], 2);
    EXPECT_EQ(work.w[0][1], 6);
    EXPECT_EQ(work.w[0][0], 2);
}

TEST(SpecialPositions, CoincidenceDistanceIsSixTenthsOfAnAngstrom) {
    // P m (b unique): the mirror at y = 0 is 2|y|b from the atom's image.
    setup("p m", {5.f, 10.f, 7.f, 90.f, 90.f, 90.f});
    for (auto [y, m] : std::vector<std::pair<float, int>>{{0.0295f, 2}, {0.0305f, 1}}) {
        SiteWork work{};
        float P[11] = {0.2f, y, 0.3f, 0, 0, 0, 0, 0, 0, 0, 1}, PNEW[11];
        int KODE[10];
        int result = KSPECB(work, P, PNEW, KODE, 0, 1, 0, 1);
        EXPECT_EQ(KODE[9], m) << y;
        EXPECT_EQ(result, m == 1 ? 1 : -1);
        EXPECT_NEAR(PNEW[1], m == 2 ? 0.0f : y, 1e-6);
    }
}

// In an R-centred group (hexagonal axes) the lattice translations include
// (2/3 1/3 1/3) and (1/3 2/3 2/3): sites where an image meets the atom only
// through one of them. In R -3 the centre -x + (2/3 1/3 1/3) = x lies at
// (1/3 1/6 1/6) (Wyckoff 9d, site -1); (2/3 1/3 1/3), the centring image of
// the origin (3a), keeps the site -3, its inverted images -x + (1/3 2/3 2/3);
// in R 3 2 the two-fold axis x-y,-y,-z with (1/3 2/3 2/3) passes through
// (x 1/3 1/3) (Wyckoff 9d, site .2): (x - 1/3 + 1/3, -1/3 + 2/3, -1/3 + 2/3).
// The vectors are held to four decimals (0.6666, 0.3333), so the averaged
// position lies within 1e-4 of the exact one.
TEST(SpecialPositions, SitesOnSymmetryElementsOfTheRhombohedralCentring) {
    test::capture_listing("special_rhombohedral");
    struct Case {
        const char* symbol;
        std::array<float, 3> xyz;
        int m;
        std::array<float, 3> exact;
        std::array<int, 3> kode;  // x y z
    };
    const Case cases[] = {
        {"r -3", {0.3333f, 0.1667f, 0.1667f}, 2, {1.f / 3, 1.f / 6, 1.f / 6}, {0, 0, 0}},
        {"r -3", {0.6667f, 0.3333f, 0.3333f}, 6, {2.f / 3, 1.f / 3, 1.f / 3}, {0, 0, 0}},
        {"r 3 2", {0.2f, 0.3333f, 0.3333f}, 2, {0.2f, 1.f / 3, 1.f / 3}, {1, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.symbol) + " at " + std::to_string(c.xyz[0]) + " " + std::to_string(c.xyz[1]) +
                     " " + std::to_string(c.xyz[2]));
        setup(c.symbol, {5.f, 5.f, 14.f, 90.f, 90.f, 120.f});
        SiteWork work{};
        float P[11] = {c.xyz[0], c.xyz[1], c.xyz[2], 0, 0, 0, 0, 0, 0, 0, 1.0f}, PNEW[11];
        int KODE[10];
        EXPECT_EQ(KSPECB(work, P, PNEW, KODE, 0, 1, 0, 2), -1);
        EXPECT_EQ(KODE[9], c.m);
        EXPECT_FLOAT_EQ(PNEW[10], 1.0f / c.m);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(PNEW[i], c.exact[i], 1e-4);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(KODE[i], c.kode[i]) << "coordinate " << i + 1;
    }
    // The -3 site: U11 = U22 = 2 U12, U33 free, U23 = U13 = 0 (as at the
    // origin of R -3 c).
    setup("r -3", {5.f, 5.f, 14.f, 90.f, 90.f, 120.f});
    SiteWork work{};
    float P[11] = {0.6667f, 0.3333f, 0.3333f, 0, 0, 0, 0, 0, 0, 0, 1.0f}, PNEW[11];
    int KODE[10];
    KSPECB(work, P, PNEW, KODE, 0, 1, 0, 2);
    const int u[6] = {4, 4, 6, 0, 0, 14};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(KODE[3 + i], u[i]) << "parameter " << 4 + i;

    // The centring translations themselves: x + (2/3 1/3 1/3), x + (1/3 2/3 2/3).
    const float X[3] = {0.1f, 0.2f, 0.3f};
    const float want[2][3] = {{0.1f + 2.f / 3, 0.2f + 1.f / 3, 0.3f + 1.f / 3}, {0.1f + 1.f / 3, 0.2f + 2.f / 3, 0.3f + 2.f / 3}};
    for (int L = 2; L <= 3; ++L) {
        float Y[3];
        XEQUI(X, 1, 1.0f, Y, L);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(Y[i], want[L - 2][i], 1e-4) << "vector " << L << ", " << i;
    }
}

TEST(SpecialPositions, CentreOfSymmetryAtTheOrigin) {
    setup("p -1", {5.f, 6.f, 7.f, 90.f, 90.f, 90.f});
    SiteWork work{};
    float P[11] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, PNEW[11];
    int KODE[10];
    KSPECB(work, P, PNEW, KODE, 0, 1, 0, 1);
    EXPECT_EQ(work.w[0][2], -1);  // operator 1 with the centre of symmetry
    EXPECT_EQ(work.w[0][1], 33);
    EXPECT_EQ(work.w[0][0], -1);
}

TEST(SpecialPositions, NoImageMeansRowOneOnes) {
    setup("p 1", {5.f, 6.f, 7.f, 90.f, 90.f, 90.f});
    SiteWork work{};
    float P[11] = {0.1f, 0.2f, 0.3f, 0, 0, 0, 0, 0, 0, 0, 1}, PNEW[11];
    int KODE[10];
    EXPECT_EQ(KSPECB(work, P, PNEW, KODE, 0, 1, 0, 3), 1);
    EXPECT_EQ(work.w[0][0], 1);
    EXPECT_EQ(work.w[0][1], 1);
    EXPECT_EQ(work.w[0][2], 1);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(KODE[i], i + 1);
}

TEST(SpecialPositions, FloatingOriginCodesAndWarning) {
    struct Case {
        const char* symbol;
        int code;
        const char* axes;
    };
    for (const Case& c : {Case{"p 1", 111, "xyz"}, Case{"p 2", 10, " y "}, Case{"p 1 1 2", 1, "  z"},
                          Case{"c c", 101, "x z"}, Case{"p m m 2", 1, "  z"}, Case{"p 41", 1, "  z"},
                          Case{"p 21/c", 0, ""}, Case{"p 2 2 2", 0, ""}, Case{"r 3", 1, "  z"}}) {
        SCOPED_TRACE(c.symbol);
        setup(c.symbol, {5.f, 6.f, 7.f, 90.f, 90.f, 90.f});
        test::capture_listing("special_floating");
        EXPECT_EQ(SPEC.I(specw::kFloating), c.code);
        XWRIFL();
        std::string expected = c.code ? "\n *** warning *** freely floating origin along " + std::string(c.axes) + "\n\n" : "";
        EXPECT_EQ(test::listing_text(), expected);
    }
}

TEST(SpecialPositions, ShortestDistanceChoosesFirstOfEqualCandidates) {
    setup("p 1", {10.f, 10.f, 10.f, 90.f, 90.f, 90.f});
    float X1[3] = {0.1f, 0.2f, 0.3f}, D, DX[3];
    float plus[3] = {0.6f, 0.2f, 0.3f}, minus[3] = {-0.4f, 0.2f, 0.3f};
    XDIST(X1, plus, D, DX);
    EXPECT_NEAR(DX[0], 0.5f, 1e-6);
    EXPECT_NEAR(D, 5.0f, 1e-5);
    XDIST(X1, minus, D, DX);
    EXPECT_NEAR(DX[0], -0.5f, 1e-6);
    EXPECT_NEAR(D, 5.0f, 1e-5);
    float far[3] = {0.95f, 0.25f, -0.65f};
    XDIST(X1, far, D, DX);
    EXPECT_NEAR(DX[0], -0.15f, 1e-6);
    EXPECT_NEAR(DX[1], 0.05f, 1e-6);
    EXPECT_NEAR(DX[2], 0.05f, 1e-6);
}

// In an oblique cell the metric's cross terms decide both the shortest
// translate and its length. Monoclinic, a = 10, c = 12, beta = 60: the
// length^2 of (x, 0, z) is 100 x^2 + 144 z^2 + 2 a c cos(beta) x z, with
// 2 a c cos(beta) = 120. For the difference (0.45, 0, 0.45) the candidates are
//   ( 0.45, 0.45):  20.25 + 29.16 + 24.3 = 73.71
//   ( 0.45,-0.55):  20.25 + 43.56 - 29.7 = 34.11
//   (-0.55, 0.45):  30.25 + 29.16 - 29.7 = 29.71   shortest, D = 5.4507
//   (-0.55,-0.55):  30.25 + 43.56 + 36.3 = 110.11
// (without the x z term (0.45, 0.45) would win with D = 7.029).
TEST(SpecialPositions, ShortestDistanceInAnObliqueCell) {
    setup("p 1", {10.f, 8.f, 12.f, 90.f, 60.f, 90.f});
    float X1[3] = {0.1f, 0.2f, 0.3f}, X2[3] = {0.55f, 0.2f, 0.75f}, D, DX[3];
    XDIST(X1, X2, D, DX);
    EXPECT_NEAR(DX[0], -0.55f, 1e-5);
    EXPECT_NEAR(DX[1], 0.0f, 1e-6);
    EXPECT_NEAR(DX[2], 0.45f, 1e-5);
    EXPECT_NEAR(D, std::sqrt(29.71), 1e-4);
}

// P -1 with beta = 120 (2 a c cos(beta) = -120): an atom at (0.02, 0, 0.02)
// lies (-0.04, 0, -0.04) from its inverted image, a length^2 of
// 0.16 + 0.2304 - 0.192 = 0.1984, D = 0.445 A: within 0.6 A, so it is
// moved onto the centre (without the x z term D would be 0.625 A).
TEST(SpecialPositions, AtomNearTheCentreOfAnObliqueCellIsMovedOntoIt) {
    setup("p -1", {10.f, 8.f, 12.f, 90.f, 120.f, 90.f});
    SiteWork work{};
    float P[11] = {0.02f, 0.0f, 0.02f, 0, 0, 0, 0, 0, 0, 0, 1}, PNEW[11];
    int KODE[10];
    EXPECT_EQ(KSPECB(work, P, PNEW, KODE, 0, 1, 0, 1), -1);
    EXPECT_EQ(KODE[9], 2);
    EXPECT_FLOAT_EQ(PNEW[10], 0.5f);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(PNEW[i], 0.0f, 1e-6);
}

TEST(SpecialPositions, EquivalentPositionWithCentringAndInversion) {
    setup("c 2/c", {10.f, 7.f, 9.f, 90.f, 110.f, 90.f});
    float X[3] = {0.1f, 0.2f, 0.3f}, Y[3];
    XEQUI(X, 2, -1.0f, Y, 2);  // operator 2 is -x, y, -z+1/2; S = -1 and C centring
    EXPECT_NEAR(Y[0], 0.1f + 0.5f, 1e-6);
    EXPECT_NEAR(Y[1], -0.2f + 0.5f, 1e-6);
    EXPECT_NEAR(Y[2], 0.3f + 0.5f, 1e-6);
}

TEST(SpecialPositions, RestrictionText) {
    const int kode[10] = {1, 0, 3, 4, 5, 6, 0, 8, 0, 2};
    char text[42];
    XPRINT(kode, text);
    EXPECT_EQ(std::string(text, 42), "  x   0   z  11  22   33    0   13    0   ");
    const int hex[10] = {-2, 2, 0, 4, 4, 6, 0, 0, 14, 6};
    XPRINT(hex, text);
    EXPECT_EQ(std::string(text, 42), " -y   y   0  11  11   33    0    0  11/2  ");
}

TEST(SpecialPositions, LevelThreeWritesThePeakLineColumns) {
    setup("p n m a", {8.f, 6.f, 7.f, 90.f, 90.f, 90.f});
    ATPOS.assign(124, '#');
    SiteWork work{};
    float P[11] = {0.1f, 0.25f, 0.3f, 0, 0, 0, 0, 0, 0, 0, 1}, PNEW[11];
    int KODE[10];
    KSPECB(work, P, PNEW, KODE, 0, 1, 0, 3);
    EXPECT_EQ(ATPOS.substr(0, 46), std::string(46, '#'));
    EXPECT_EQ(ATPOS.substr(46), "  0.100  0.250  0.300  0.5000   x   0   z  11  22   33    0   13    0         ");
}

TEST(SpecialPositions, UnknownRotationStops) {
    test::capture_listing("special_stop");
    const int M[3][3] = {{1, 1, 0}, {0, 1, 0}, {0, 0, 1}};
    int entry, order;
    EXPECT_THROW(XDEPAC(M, entry, order), ZanekStop);
    EXPECT_NE(test::listing_text().find(" stop speclib - xdepac "), std::string::npos);
}

}  // namespace
}  // namespace zanek
