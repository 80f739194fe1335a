// The viewer's model built from list 15: orthogonalisation against the
// metric of list 1, labels, colours and radii of the true atoms of a test
// job, bonds from the stored bond table and from distances, peaks, the
// hydrogen offset and legend, the cell edges, and the outer loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cctype>
#include <map>
#include <set>

#include "jobcontrol/lists/list01.h"
#include "jobcontrol/records/listptr.h"
#include "jobcontrol/records/store.h"
#include "test_viewer_fixture.h"

namespace zanek::test {
namespace {

constexpr double kDeg = 3.14159265358979 / 180.0;

// Squared distance by the metric tensor of the cell (a, b, c, alpha, beta,
// gamma), independent of any orthogonalisation.
double metric_distance(const float cell[6], const float d[3]) {
    const double a = cell[0], b = cell[1], c = cell[2];
    const double ca = std::cos(cell[3] * kDeg), cb = std::cos(cell[4] * kDeg), cg = std::cos(cell[5] * kDeg);
    const double g[3][3] = {{a * a, a * b * cg, a * c * cb}, {a * b * cg, b * b, b * c * ca}, {a * c * cb, b * c * ca, c * c}};
    double s = 0;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) s += d[i] * g[i][j] * d[j];
    return std::sqrt(s);
}

double view_distance(int i, int j) {
    double s = 0;
    for (int k = 0; k < 3; ++k) s += (double(ATOMI.r[i][k]) - ATOMI.r[j][k]) * (double(ATOMI.r[i][k]) - ATOMI.r[j][k]);
    return std::sqrt(s);
}

TEST_F(ViewerJob, OrthogonalisationReproducesTheMetricOfListOne) {
    p21c();
    YFL01();
    float g[9];
    for (int k = 0; k < 9; ++k) g[k] = DATA.R(LST01.I(lst01::kMetric) + k);
    float a, b, c, al, be, ga;
    TOVYROLA1(a, b, c, al, be, ga);
    EXPECT_FLOAT_EQ(a, 9.3863f);
    EXPECT_FLOAT_EQ(be, 109.0f);
    ORTO();
    const float* m = WORK.m;
    // By hand for the monoclinic cell: columns (a sin(beta), 0, a cos(beta)),
    // (0, b, 0), (0, 0, c).
    EXPECT_NEAR(m[0], 9.3863 * std::sin(109.0 * kDeg), 1e-4);
    EXPECT_NEAR(m[2], 9.3863 * std::cos(109.0 * kDeg), 1e-4);
    EXPECT_NEAR(m[3], 0.0, 1e-5);
    EXPECT_NEAR(m[4], 12.2022, 1e-4);
    EXPECT_NEAR(m[8], 15.9567, 1e-4);
    // M'M is the direct metric tensor stored in list 1 (by columns).
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            double s = 0;
            for (int k = 0; k < 3; ++k) s += double(m[k + 3 * i]) * m[k + 3 * j];
            EXPECT_NEAR(s, g[i + 3 * j], 2e-3 * std::max(1.0, std::fabs(s))) << i << j;
        }
}

TEST_F(ViewerJob, TriclinicOrthogonalisationKeepsEdgesAndAngles) {
    crystal("cell 7.09386 9.22201 12.05956 83.0 109.0 129.0", "p -1", "cont c 56 o 8", "rand_pbar1_c14o2");
    ORTO();
    const float* m = WORK.m;
    auto len = [&](int c) { return std::sqrt(m[3 * c] * m[3 * c] + m[3 * c + 1] * m[3 * c + 1] + m[3 * c + 2] * m[3 * c + 2]); };
    auto cosang = [&](int c1, int c2) {
        return (m[3 * c1] * m[3 * c2] + m[3 * c1 + 1] * m[3 * c2 + 1] + m[3 * c1 + 2] * m[3 * c2 + 2]) / (len(c1) * len(c2));
    };
    EXPECT_NEAR(len(0), 7.09386, 1e-4);
    EXPECT_NEAR(len(1), 9.22201, 1e-4);
    EXPECT_NEAR(len(2), 12.05956, 1e-4);
    EXPECT_NEAR(cosang(1, 2), std::cos(83.0 * kDeg), 1e-5);
    EXPECT_NEAR(cosang(0, 2), std::cos(109.0 * kDeg), 1e-5);
    EXPECT_NEAR(cosang(0, 1), std::cos(129.0 * kDeg), 1e-5);
}

TEST_F(ViewerJob, TrueAtomsGiveLabelsColoursRadiiAndDistances) {
    p21c();
    const std::vector<TruthAtom> t = truth_atoms("rand_p21c_c18n2o4");
    ASSERT_EQ(t.size(), 24u);
    store(truth("rand_p21c_c18n2o4"), {{1, 2}, {3, 7}, {19, 21}});
    build();
    ASSERT_EQ(ATOMI.n1, 24);
    const float cell[6] = {9.3863f, 12.2022f, 15.9567f, 90.0f, 109.0f, 90.0f};
    const std::map<std::string, float> radius = {{"C", 0.77f}, {"N", 0.71f}, {"O", 0.66f}};
    for (int i = 1; i <= 24; ++i) {
        const TruthAtom& a = t[i - 1];
        // The viewer names entry i of species s as the truth file does.
        EXPECT_EQ(ATOMI.label[i], (a.label + "     ").substr(0, 5));
        EXPECT_EQ(ATOMI.colour[i], species(a.element)) << a.label;
        EXPECT_NEAR(ATOMI.radius[i], radius.at(a.element) / 3.0f, 1e-5) << a.label;
        EXPECT_NEAR(ATOMI.bond_radius[i], 2.0f * radius.at(a.element) + 0.3f, 1e-5) << a.label;
        EXPECT_EQ(ATOMI.atom[i], i);
    }
    // Distances in the viewer's Cartesian frame equal those of the metric.
    for (int i = 1; i <= 24; i += 5)
        for (int j = i + 1; j <= 24; j += 3) {
            const float d[3] = {t[i - 1].x - t[j - 1].x, t[i - 1].y - t[j - 1].y, t[i - 1].z - t[j - 1].z};
            EXPECT_NEAR(view_distance(i, j), metric_distance(cell, d), 1e-3) << i << " " << j;
        }
    // The stored bonds come first, the cell-edge bonds after them.
    ASSERT_GE(CRT.nbonds, 3);
    EXPECT_EQ(CRT.bond_a[1], 1);
    EXPECT_EQ(CRT.bond_b[1], 2);
    EXPECT_EQ(CRT.bond_a[2], 3);
    EXPECT_EQ(CRT.bond_b[2], 7);
    EXPECT_EQ(CRT.bond_a[3], 19);
    EXPECT_EQ(CRT.bond_b[3], 21);
    EXPECT_EQ(CRT.nbonds, 3 + CRT.reserve);
    EXPECT_GT(ATOMI.n1 + 0, 0);
    for (int k = 4; k <= CRT.nbonds; ++k) {
        EXPECT_GT(CRT.bond_a[k], ATOMI.n1);
        EXPECT_GT(CRT.bond_b[k], ATOMI.n1);
    }
    EXPECT_EQ(LEG1.count, CRT.nbonds);
    // The model is centred on its shown atoms by the plane fit.
    double cx = 0;
    for (int i = 1; i <= 24; ++i) cx += ATOMI.r[i][0];
    EXPECT_NEAR(cx / 24, 0.0, 1e-4);
}

TEST_F(ViewerJob, BondsFromDistancesFollowTheLargerBondingRadius) {
    p21c();
    const std::vector<TruthAtom> t = truth_atoms("rand_p21c_c18n2o4");
    store(truth("rand_p21c_c18n2o4"), {}, true);
    build();
    const float cell[6] = {9.3863f, 12.2022f, 15.9567f, 90.0f, 109.0f, 90.0f};
    const std::map<std::string, float> radius = {{"C", 0.77f}, {"N", 0.71f}, {"O", 0.66f}};
    std::set<std::pair<int, int>> want;
    for (int i = 1; i <= 24; ++i)
        for (int j = i + 1; j <= 24; ++j) {
            const float d[3] = {t[i - 1].x - t[j - 1].x, t[i - 1].y - t[j - 1].y, t[i - 1].z - t[j - 1].z};
            const double r = 2.0 * std::max(radius.at(t[i - 1].element), radius.at(t[j - 1].element)) + 0.3;
            if (metric_distance(cell, d) <= r) want.insert({i, j});
        }
    std::set<std::pair<int, int>> got;
    for (int k = 1; k <= CRT.nbonds - CRT.reserve; ++k) got.insert({CRT.bond_a[k], CRT.bond_b[k]});
    EXPECT_EQ(got, want);
}

TEST_F(ViewerJob, PeaksAreNamedQAndNeverBondedByDistance) {
    p21c();
    store({{0, 0.10f, 0.10f, 0.10f}, {0, 0.15f, 0.10f, 0.10f}, {0, 0.12f, 0.14f, 0.10f}}, {}, true);
    build();
    ASSERT_EQ(ATOMI.n1, 3);
    EXPECT_EQ(ATOMI.label[1], "Q1   ");
    EXPECT_EQ(ATOMI.label[3], "Q3   ");
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(ATOMI.colour[i], 7);
        // Peaks take the radius of the first species (carbon here).
        EXPECT_NEAR(ATOMI.radius[i], 0.77f / 3.0f, 1e-6);
    }
    EXPECT_EQ(CRT.nbonds, CRT.reserve);
}

TEST_F(ViewerJob, HydrogenAsFirstSpeciesShiftsColoursAndLegend) {
    crystal("cell 16.193 16.193 11.2421 90.0 90.0 120.0", "r -3 c", "cont o 126 h 108 cl 18 fe 6", "fecl_r3c_synth");
    ASSERT_EQ(sf::z(1), 1) << "species 1 is hydrogen";
    const int h = species("h"), o = species("o");
    store({{100 * h + 1, 0.13f, 0.16f, 0.42f}, {100 * o + 1, 0.074f, 0.117f, 0.399f}});
    SCREEN.I(screenw::kOpened) = 1;  // the first viewer of the run sets the legend
    build();
    EXPECT_EQ(ATOMI.colour[1], 4);          // hydrogen: colour 0, drawn in 4
    EXPECT_EQ(ATOMI.colour[2], o - 1);
    EXPECT_EQ(SCREEN.I(screenw::kOpened), 2);
    EXPECT_EQ(XWI.nspecies, sf::species() - 1);
    // The legend starts with species 2, its first letter upper-cased.
    std::string second(reinterpret_cast<const char*>(&sf::symbol(2)), 2);
    second[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(second[0])));
    EXPECT_EQ(XWI.species[0], second);
}

TEST_F(ViewerJob, TenAngstromCellGetsThreePointsAndFourBondsAnEdge) {
    crystal("cell 10 10 10 90 90 90", "p 1", "cont c 20");
    store({{100 * species("c") + 1, 0.5f, 0.5f, 0.5f}});
    build();
    ASSERT_EQ(ATOMI.n1, 1);
    EXPECT_EQ(ATOMI.n2, 9 + 12 * 3);
    EXPECT_EQ(CRT.reserve, 12 * 4);
    EXPECT_EQ(CRT.nbonds, 12 * 4);
    // The entry after the edge points carries no point of the cell.
    EXPECT_TRUE(ATOMI.deleted(ATOMI.n1 + ATOMI.n2));
    // Corners: (1,0,0) and (0,0,0) are 10 A apart; the first edge point of
    // the edge between them lies a quarter of the way.
    EXPECT_NEAR(view_distance(2, 5), 10.0, 1e-4);
    EXPECT_NEAR(view_distance(5, 1 + 9), 7.5, 1e-4);
    // The cell-edge bonds fill the top of the table downwards and follow
    // the model's bonds in slot order: the first edge's bonds (corner 1 to
    // its first point, ..., its last point to corner 4) end the table.
    const int r = CRT.reserve;
    EXPECT_EQ(CRT.bond_a[r], 2);
    EXPECT_EQ(CRT.bond_b[r], 10);
    EXPECT_EQ(CRT.bond_a[r - 1], 10);
    EXPECT_EQ(CRT.bond_b[r - 1], 11);
    EXPECT_EQ(CRT.bond_a[r - 3], 12);
    EXPECT_EQ(CRT.bond_b[r - 3], 5);
    EXPECT_EQ(CRT.bond_a[CRT.capacity - r], 0);  // the slot below the reserve
    // Corners and points are grey, tiny and unlabelled.
    EXPECT_EQ(ATOMI.colour[2], 7);
    EXPECT_FLOAT_EQ(ATOMI.radius[2], 0.01f);
    EXPECT_EQ(ATOMI.label[2], "     ");
}

TEST_F(ViewerJob, DrawOnceDrawsWithoutWaitingAndInteractiveWaits) {
    p21c();
    store(truth("rand_p21c_c18n2o4"), {{1, 2}});
    mouse_script().set({button_centre(menurow::kQuit)});
    VYROLA(1);
    EXPECT_EQ(mouse_script().remaining(), 1);
    EXPECT_GT(window_surface().count_drawn(81, 21, 639, 479), 100);
    EXPECT_EQ(CRT.style, 1);
    VYROLA(3);
    EXPECT_EQ(mouse_script().remaining(), 0);
}

TEST_F(ViewerJob, ListWithoutBondTableHasItsBondsFoundFromDistances) {
    p21c();
    const int c = species("c");
    ATOMS.clear();
    for (int i = 1; i <= 2; ++i) {
        atom_coord(i, 1) = 0.1f * i, atom_coord(i, 2) = 0.2f, atom_coord(i, 3) = 0.3f;
        atom_label(i) = 100 * c + i;
    }
    FRM15(2, 1, 0);  // no bond table stored
    // Work of another command left in TEMP: not a bond table.
    bond_count() = 3.0f;
    bond_atom(1, 1) = 150.0f, bond_atom(1, 2) = 7.0f;
    build();
    // The two carbons are 0.94 A apart: bonded from distances, nothing else.
    ASSERT_EQ(CRT.nbonds - CRT.reserve, 1);
    EXPECT_EQ(CRT.bond_a[1], 1);
    EXPECT_EQ(CRT.bond_b[1], 2);
}

TEST_F(ViewerJob, BondPairsNamingNoAtomArePassedOver) {
    p21c();
    store(truth("rand_p21c_c18n2o4"), {{1, 2}, {0, 3}, {4, 250}, {-2, 5}, {6, 7}});
    build();
    ASSERT_EQ(CRT.nbonds - CRT.reserve, 2);
    EXPECT_EQ(CRT.bond_a[2], 6);
}

TEST_F(ViewerJob, DegenerateAnglesGiveAFiniteMatrix) {
    // No lists at all, and a cell angle of 0: nothing divides by zero.
    cell_constant(1) = 5, cell_constant(2) = 6, cell_constant(3) = 7;
    cell_constant(4) = 0, cell_constant(5) = 90, cell_constant(6) = 90;
    ORTO();
    for (float m : WORK.m) EXPECT_TRUE(std::isfinite(m));
    EXPECT_NEAR(WORK.m[8], 7.0f, 1e-6);
    EXPECT_EQ(ATOMI.n1, 0);
    EXPECT_GT(ATOMI.n2, 8);
}

TEST_F(ViewerJob, EmptyModelCanBeTurnedViewedAndHandedBack) {
    p21c();
    store({});
    // Rotate about x, zoom in, least-squares view, style 6, edges on, Quit.
    mouse_script().set({button_centre(18), button_centre(28), button_centre(34), button_centre(49),
                        button_centre(16), button_centre(29), button_centre(10)});
    VYROLA(3);
    EXPECT_EQ(mouse_script().remaining(), 0);
    EXPECT_EQ(ATOMI.n1, 0);
    for (int k = scalew::kXScale; k <= scalew::kYShift; ++k) EXPECT_TRUE(std::isfinite(SCALE.R(k))) << k;
    for (int i = 1; i <= ATOMI.count(); ++i)
        for (float v : ATOMI.r[i]) EXPECT_TRUE(std::isfinite(v));
    EXPECT_EQ(load15().n, 0);
}

TEST(ViewerLabels, SpeciesSymbolAndEntryNumber) {
    reset_viewer_records();
    sf::species() = 2;
    sf::symbol(1) = species_word("c");
    sf::symbol(2) = species_word("cl");
    struct Case {
        int n, t;
        const char* label;
    } cases[] = {{12, 1, "C12  "}, {3, 0, "Q3   "}, {7, 2, "Cl7  "}, {123, 2, "Cl123"},
                 {999, 2, "Cl999"}, {1234, 2, "X1234"}, {800, 1, "C800 "}, {1, 0, "Q1   "}};
    for (const Case& c : cases) {
        std::string label;
        CREALAB(c.n, c.t, label);
        EXPECT_EQ(label, c.label) << c.n << " " << c.t;
    }
    sf::species() = 0;
}

}  // namespace
}  // namespace zanek::test
