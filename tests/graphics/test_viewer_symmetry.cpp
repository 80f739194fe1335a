// Symmetry growth: copies in a cubic P1 cell with its 3 A border, images of
// inverted and centred groups, far-away coordinates, the P21/c cell of a
// test job against an independent enumeration of lattice translates, and
// the removal of the copies.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <map>
#include <set>

#include "jobcontrol/records/special.h"
#include "test_viewer_fixture.h"

namespace zanek::test {
namespace {

double dist(int i, int j) {
    double s = 0;
    for (int k = 0; k < 3; ++k) s += (double(ATOMI.r[i][k]) - ATOMI.r[j][k]) * (double(ATOMI.r[i][k]) - ATOMI.r[j][k]);
    return std::sqrt(s);
}

class Growth : public ViewerSurfaceTest {
protected:
    // A 10 A cubic cell in P1 (or P-1).
    void SetUp() override {
        ViewerSurfaceTest::SetUp();
        SPEC = initial_spec();
        for (int k = 1; k < specw::kCentring; ++k) SPEC.R(k) = 0.0f;  // the 24 operators
        specw::rotation(1, 1, 1) = specw::rotation(1, 2, 2) = specw::rotation(1, 3, 3) = 1.0f;
        SPEC.I(specw::kNsym) = 1;
        SPEC.I(specw::kCentric) = 0;
        SPEC.I(specw::kLattice) = 1;
        cell_constant(1) = cell_constant(2) = cell_constant(3) = 10.0f;
        for (int k = 0; k < 9; ++k) WORK.m[k] = k % 4 == 0 ? 10.0f : 0.0f;
        ATOMS.clear();
    }
    void TearDown() override {
        ATOMS.clear();
        RC.clear();
        SPEC = initial_spec();
        ViewerSurfaceTest::TearDown();
    }
    // Model atoms at fractional positions, with the cell points after them.
    void model(std::initializer_list<std::array<float, 3>> atoms) {
        int i = 0;
        for (const auto& p : atoms) {
            ++i;
            atom_coord(i, 1) = p[0], atom_coord(i, 2) = p[1], atom_coord(i, 3) = p[2];
            atom_label(i) = 100 + i;
            entry(i, 10 * p[0], 10 * p[1], 10 * p[2], 0.3f, 1, 'C' + std::to_string(i));
        }
        ATOMI.n1 = i;
        AGGIUSPIG();
        GETBONDS(2);
        GENERAC.n1_kept = i;
    }
    int copies_of(int atom) {
        int n = 0;
        for (int e = 1; e <= ATOMI.n1; ++e) n += ATOMI.atom[e] == atom;
        return n - 1;
    }
};

TEST_F(Growth, CubicCellWithItsBorder) {
    model({{0.1f, 0.5f, 0.5f}, {0.05f, 0.05f, 0.05f}, {0.5f, 0.5f, 0.5f}});
    float a[9];
    GENERA(a);
    EXPECT_NEAR(GENERAC.upper[0], 1.3f, 1e-6);
    EXPECT_NEAR(GENERAC.lower[2], -0.3f, 1e-6);
    EXPECT_EQ(copies_of(1), 1);  // at x = 1.1
    EXPECT_EQ(copies_of(2), 7);  // at every corner
    EXPECT_EQ(copies_of(3), 0);
    EXPECT_EQ(ATOMI.n1, 3 + 8);
    // Distances between images are whole cell vectors.
    for (int e = 4; e <= ATOMI.n1; ++e) {
        const int j = ATOMI.atom[e];
        const double d = dist(e, j);
        const bool cell_vector = std::fabs(d - 10) < 1e-3 || std::fabs(d - 10 * std::sqrt(2.0)) < 1e-3 ||
                                 std::fabs(d - 10 * std::sqrt(3.0)) < 1e-3;
        EXPECT_TRUE(cell_vector) << e << " " << d;
        EXPECT_EQ(ATOMI.label[e], ATOMI.label[j]);
        EXPECT_FLOAT_EQ(ATOMI.radius[e], 0.3f);
    }
    // Cell points follow the grown entries again.
    EXPECT_EQ(ATOMI.n2, 9 + 12 * 3);
}

TEST_F(Growth, ModelAtomOutsideTheBoxKeepsItsEntry) {
    model({{2.5f, 0.5f, 0.5f}});
    float a[9];
    GENERA(a);
    ASSERT_EQ(ATOMI.n1, 2);
    EXPECT_EQ(ATOMI.atom[2], 1);
    EXPECT_NEAR(dist(1, 2), 20.0, 1e-3);
}

TEST_F(Growth, DeletedAndHiddenAtomsGiveDeletedAndHiddenCopies) {
    model({{0.1f, 0.5f, 0.5f}, {0.5f, 0.1f, 0.5f}});
    ATOMI.radius[1] = -10.3f;
    ATOMI.radius[2] = -0.3f;
    float a[9];
    GENERA(a);
    for (int e = 3; e <= ATOMI.n1; ++e) EXPECT_FLOAT_EQ(ATOMI.radius[e], ATOMI.radius[ATOMI.atom[e]]);
}

TEST_F(Growth, ImagesOfInvertedAndCentredGroups) {
    // Operator 2 of a centrosymmetric group: -R x + t, into the box.
    GENERAC.nop = 2;
    GENERAC.rot[0] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    GENERAC.rot[1] = {-1, 0, 0, 0, -1, 0, 0, 0, -1};
    GENERAC.trans[1] = {0.5f, 0.0f, 0.0f};
    for (int k = 0; k < 3; ++k) GENERAC.upper[k] = 1.3f, GENERAC.lower[k] = -0.3f;
    ATOMI.r[1] = {0.2f, 0.3f, 0.4f};
    float p[3];
    RUOTA(2, 1, p);
    EXPECT_NEAR(p[0], 0.3f, 1e-6);
    EXPECT_NEAR(p[1], -0.3f, 1e-6);  // on the box's lower bound: kept
    EXPECT_NEAR(p[2], 0.6f, 1e-6);   // -0.4 brought in by one cell
    // Centring vectors of the lattices.
    int n = 0;
    float v[9] = {};
    CENTRA(n, v, 'r');
    EXPECT_EQ(n, 2);
    EXPECT_FLOAT_EQ(v[0], 0.666f);
    EXPECT_FLOAT_EQ(v[5], 0.666f);
    CENTRA(n, v, 'f');
    EXPECT_EQ(n, 3);
    EXPECT_FLOAT_EQ(v[3], 0.5f);
    EXPECT_FLOAT_EQ(v[4], 0.0f);
    n = 9;
    CENTRA(n, v, 'p');
    EXPECT_EQ(n, 9);
    const float t[3] = {0.666f, 0.333f, 0.333f};
    TRASL(t, 1, p, -1);
    EXPECT_NEAR(p[0], 0.866f, 1e-6);
    EXPECT_NEAR(p[1], 0.633f, 1e-6);
    // Two images within 0.001 in every coordinate are one.
    ATOMI.r[2] = {0.8665f, 0.6325f, 0.733f};
    EXPECT_EQ(IDOPPIO(2, p), -1);
    EXPECT_EQ(IDOPPIO(1, p), 0);
}

TEST_F(Growth, FarCoordinatesAreBroughtInWithoutEndlessSteps) {
    for (int k = 0; k < 3; ++k) GENERAC.upper[k] = 1.3f, GENERAC.lower[k] = -0.3f;
    float p[3] = {1.0e9f, -2.7f, NAN};
    RIMETTIDENTRO(p);
    EXPECT_GE(p[0], -0.3f);
    EXPECT_LE(p[0], 1.3f);
    EXPECT_NEAR(p[1], 0.3f, 1e-6);
    EXPECT_TRUE(std::isnan(p[2]));
}

TEST_F(Growth, SymmetryOffRestoresTheModelAndItsBonds) {
    model({{0.1f, 0.5f, 0.5f}, {0.2f, 0.5f, 0.5f}});
    add_bond(1, 2);
    // The bond table as built from the atom list: the model bond, then the
    // cell edges.
    CRT.nbonds = 0;
    add_bond(1, 2);
    for (int k = CRT.capacity - CRT.reserve + 1; k <= CRT.capacity; ++k) add_bond(CRT.bond_a[k], CRT.bond_b[k]);
    for (int b = 1; b <= CRT.nbonds; ++b) LEG1.a[b] = CRT.bond_a[b], LEG1.b[b] = CRT.bond_b[b];
    LEG1.count = CRT.nbonds;
    float a[9];
    GENERA(a);
    ASSERT_EQ(ATOMI.n1, 4);
    ATOMI.radius[1] = -10.3f;  // the model atom deleted, its copy (entry 3) left shown
    SOLOIND(a, 2);
    EXPECT_EQ(ATOMI.n1, 2);
    EXPECT_FLOAT_EQ(ATOMI.radius[1], 0.3f);
    EXPECT_EQ(CRT.nbonds, LEG1.count);
    EXPECT_EQ(CRT.bond_a[1], 1);
    EXPECT_EQ(CRT.bond_b[1], 2);
    EXPECT_NEAR(dist(1, 2), 1.0, 1e-4);
    // Recentred on the shown atoms.
    EXPECT_NEAR(ATOMI.r[1][0] + ATOMI.r[2][0], 0.0f, 1e-4);
}

// The P21/c cell of a test job: every image of the four operators and
// every lattice translate within 3 A of the cell, counted per atom by an
// enumeration of its own.
TEST_F(ViewerJob, MonoclinicCellFilledWithTheImagesOfEveryAtom) {
    p21c();
    const std::vector<TruthAtom> t = truth_atoms("rand_p21c_c18n2o4");
    store(truth("rand_p21c_c18n2o4"), {{1, 2}});
    build();
    const float cell[3] = {9.3863f, 12.2022f, 15.9567f};
    std::map<int, int> want;
    for (std::size_t i = 0; i < t.size(); ++i) {
        const double x = t[i].x, y = t[i].y, z = t[i].z;
        const double ops[4][3] = {{x, y, z}, {-x, y + 0.5, -z + 0.5}, {-x, -y, -z}, {x, -y + 0.5, z + 0.5}};
        std::set<std::array<long, 3>> sites;
        for (const auto& o : ops)
            for (int a = -2; a <= 2; ++a)
                for (int b = -2; b <= 2; ++b)
                    for (int c = -2; c <= 2; ++c) {
                        const double p[3] = {o[0] - std::floor(o[0]) + a, o[1] - std::floor(o[1]) + b, o[2] - std::floor(o[2]) + c};
                        bool inside = true;
                        for (int k = 0; k < 3; ++k) inside = inside && p[k] >= -3.0 / cell[k] && p[k] <= 1 + 3.0 / cell[k];
                        if (inside) sites.insert({std::lround(p[0] * 1e4), std::lround(p[1] * 1e4), std::lround(p[2] * 1e4)});
                    }
        want[static_cast<int>(i) + 1] = static_cast<int>(sites.size());
    }
    const int n1 = ATOMI.n1;
    GENERAC.n1_kept = n1;
    CONTR.I(contr::kSymmetry) = 1;
    float a[9];
    GENERA(a);
    std::map<int, int> got;
    for (int e = 1; e <= ATOMI.n1; ++e) ++got[ATOMI.atom[e]];
    EXPECT_EQ(got, want);
    EXPECT_LE(ATOMI.n1 + ATOMI.n2, 800);
    // Copies are real atoms of the picture: bonded by distance among themselves.
    EXPECT_GT(CRT.nbonds, CRT.reserve);
    SOLOIND(a, n1);
    EXPECT_EQ(ATOMI.n1, 24);
}

// One group of the fixture made with gemmi: the %data lines, the atoms and
// every image of each atom within 3 A of the cell.
struct GrowthCase {
    std::string group, cell, cont, job;
    std::vector<std::array<double, 3>> atoms;
    std::map<int, std::vector<std::array<double, 3>>> images;  // by atom number
};

std::vector<GrowthCase> growth_cases() {
    std::ifstream in(source_dir() + "/tests/graphics/fixtures/symmetry_growth.txt");
    std::vector<GrowthCase> cases;
    GrowthCase c;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string key;
        words >> key;
        if (key == "group") c = GrowthCase(), c.group = line.substr(6);
        else if (key == "cell") c.cell = line;
        else if (key == "cont") c.cont = line;
        else if (key == "job") words >> c.job;
        else if (key == "atom") {
            std::array<double, 3> p{};
            words >> p[0] >> p[1] >> p[2];
            c.atoms.push_back(p);
        } else if (key == "image") {
            int k = 0;
            std::array<double, 3> p{};
            words >> k >> p[0] >> p[1] >> p[2];
            c.images[k].push_back(p);
        } else if (key == "end") cases.push_back(c);
    }
    return cases;
}

// Fractional coordinates of the viewer's entries after a growth, found from
// the cell corners that follow them (origin and the ends of a, b and c), so
// that the view's turn and centring drop out.
std::map<int, std::vector<std::array<double, 3>>> grown_fractional() {
    const int n1 = ATOMI.n1;
    const auto& o = ATOMI.r[n1 + 4];
    double e[3][3];
    for (int k = 0; k < 3; ++k)
        for (int d = 0; d < 3; ++d) e[k][d] = double(ATOMI.r[n1 + 1 + k][d]) - o[d];
    const auto det = [](const double a[3], const double b[3], const double c[3]) {
        return a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) + a[2] * (b[0] * c[1] - b[1] * c[0]);
    };
    const double d0 = det(e[0], e[1], e[2]);
    std::map<int, std::vector<std::array<double, 3>>> got;
    for (int i = 1; i <= n1; ++i) {
        const double v[3] = {double(ATOMI.r[i][0]) - o[0], double(ATOMI.r[i][1]) - o[1], double(ATOMI.r[i][2]) - o[2]};
        got[ATOMI.atom[i]].push_back({det(v, e[1], e[2]) / d0, det(e[0], v, e[2]) / d0, det(e[0], e[1], v) / d0});
    }
    return got;
}

// Symmetry growth in a C, an I, an F and an R lattice against images
// enumerated with gemmi (the fixture and its script sit beside this test):
// for every atom, the same images, no more and no fewer. The R centring
// vectors are kept to three decimals (0.666, 0.333), so images agree to
// within 0.002 of a cell edge.
class CentredGrowth : public ViewerJob, public ::testing::WithParamInterface<int> {};

TEST_P(CentredGrowth, TheCellHoldsTheImagesAnIndependentEnumerationFinds) {
    const std::vector<GrowthCase> cases = growth_cases();
    ASSERT_EQ(cases.size(), 4u);
    const GrowthCase& c = cases[static_cast<std::size_t>(GetParam())];
    SCOPED_TRACE(c.group);
    crystal(c.cell, c.group, c.cont, c.job);
    std::vector<Atom> atoms;
    for (std::size_t k = 0; k < c.atoms.size(); ++k)
        atoms.push_back({100 * species("C") + static_cast<int>(k) + 1, float(c.atoms[k][0]), float(c.atoms[k][1]),
                         float(c.atoms[k][2])});
    store(atoms);
    build();
    GENERAC.n1_kept = ATOMI.n1;
    CONTR.I(contr::kSymmetry) = 1;
    float a[9];
    GENERA(a);
    auto got = grown_fractional();
    ASSERT_EQ(got.size(), c.atoms.size());
    for (const auto& [atom, want] : c.images) {
        std::vector<std::array<double, 3>>& mine = got[atom];
        EXPECT_EQ(mine.size(), want.size()) << "atom " << atom;
        for (const auto& w : want) {
            const auto near = std::find_if(mine.begin(), mine.end(), [&](const std::array<double, 3>& p) {
                return std::fabs(p[0] - w[0]) < 0.002 && std::fabs(p[1] - w[1]) < 0.002 && std::fabs(p[2] - w[2]) < 0.002;
            });
            EXPECT_NE(near, mine.end()) << "atom " << atom << " misses the image " << w[0] << " " << w[1] << " " << w[2];
            if (near != mine.end()) mine.erase(near);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Lattices, CentredGrowth, ::testing::Values(0, 1, 2, 3),
                         [](const ::testing::TestParamInfo<int>& i) { return std::string(1, "CIFR"[i.param]); });

}  // namespace
}  // namespace zanek::test
