// Distances under symmetry: the images of one peak next to another,
// against contacts worked out independently (gemmi, and by hand), with
// their packed neighbour codes; bond angles at a peak.
#include <fstream>
#include <map>
#include <ostream>
#include <sstream>

#include "tests/fourier/test_interpretation_fixture.h"

namespace zanek::test {
namespace {

class InterpDistances : public InterpRun {
protected:
    InterpSetup su;
    Images im;

    // Lays out the work store for these peaks (mode 3) and sets the
    // search radius and the too-short limit.
    void setup(const std::vector<Peak>& list, double search, double too_short = 0.0) {
        peaks(list);
        int mode = interp_mode::kEMap;
        CLUPAR(su, codes, mode, 0);
        XBUIL.R(xb::kMaxDist2) = static_cast<float>(search * search);
        XBUIL.R(xb::kMinDist2) = static_cast<float>(too_short * too_short);
    }
    std::vector<double> distances(int i, int j) {
        IDST(su.desc, su.lat, i, j, im);
        std::vector<double> d;
        for (int e = 0; e < im.count; ++e) d.push_back(std::sqrt(im.d2[e]));
        std::sort(d.begin(), d.end());
        return d;
    }
    // Rotation of operator op of the descriptor's table, row by row.
    std::array<int, 9> rotation(int op) {
        std::array<int, 9> r{};
        for (int k = 0; k < 9; ++k) r[k] = static_cast<int>(std::lround(XR(su.desc.ops + 12 * (op - 1) + k)));
        return r;
    }
};

// --- Against gemmi: every contact of every pair of atoms ----------------------

struct ContactJob {
    const char* name;
    Cell cell;
    const char* group;
    const char* content;
    double cutoff;
};
void PrintTo(const ContactJob& c, std::ostream* os) { *os << c.name; }

std::map<std::pair<int, int>, std::vector<double>> reference(const std::string& job, int& natoms) {
    std::ifstream in(source_dir() + "/tests/fourier/fixtures/interp_contacts.txt");
    std::map<std::pair<int, int>, std::vector<double>> out;
    std::string line;
    bool mine = false;
    while (std::getline(in, line)) {
        std::istringstream s(line);
        std::string first;
        s >> first;
        if (first == "job") {
            std::string name;
            s >> name;
            mine = name == job;
            if (mine) s >> natoms;
            continue;
        }
        if (!mine) continue;
        int i = std::stoi(first), j;
        s >> j;
        double d;
        while (s >> d) out[{i, j}].push_back(d);
    }
    return out;
}

// The atoms of truth.res in the order the reference uses (decreasing Z).
std::vector<Peak> true_peaks(const std::string& job) {
    const std::map<std::string, int> z = {{"c", 6}, {"n", 7}, {"o", 8}, {"cl", 17}, {"fe", 26}};
    std::ifstream in(jobs_dir() + "/" + job + "/truth.res");
    std::vector<std::pair<int, Peak>> v;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream s(line);
        std::string label, el;
        double x, y, zz, occ;
        if (!(s >> label >> el >> x >> y >> zz >> occ) || label == "CELL") continue;
        for (char& c : el) c = static_cast<char>(std::tolower(c));
        if (el == "h" || occ < 0.5) continue;
        v.push_back({z.at(el), {x, y, zz, static_cast<double>(z.at(el))}});
    }
    std::stable_sort(v.begin(), v.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<Peak> out;
    for (auto& p : v) out.push_back(p.second);
    return out;
}

class ContactsOfKnownStructures : public InterpDistances, public ::testing::WithParamInterface<ContactJob> {};

TEST_P(ContactsOfKnownStructures, EveryImageWithinTheSearchRadiusIsFoundOnce) {
    const ContactJob& job = GetParam();
    crystal(job.cell, job.group, job.content);
    int natoms = 0;
    const auto ref = reference(job.name, natoms);
    const auto list = true_peaks(job.name);
    ASSERT_EQ(static_cast<int>(list.size()), natoms);
    setup(list, job.cutoff);
    for (int i = 1; i <= natoms; ++i)
        for (int j = 1; j <= natoms; ++j) {
            const auto it = ref.find({i, j});
            const std::vector<double> want = it == ref.end() ? std::vector<double>{} : it->second;
            const std::vector<double> got = distances(i, j);
            ASSERT_EQ(got.size(), want.size()) << "pair " << i << " " << j;
            for (std::size_t k = 0; k < got.size(); ++k) EXPECT_NEAR(got[k], want[k], 2e-3) << i << " " << j;
            // Each image lies where its difference vector says.
            for (int e = 0; e < im.count; ++e)
                for (int c = 0; c < 3; ++c)
                    EXPECT_NEAR(im.dv[e][c], XR(peak_word(su.desc, i, 3 + c)) - im.pos[e][c], 1e-5);
        }
}

INSTANTIATE_TEST_SUITE_P(TestJobs, ContactsOfKnownStructures,
                         ::testing::Values(ContactJob{"fecl_r3c_synth", {16.193, 16.193, 11.2421, 90, 90, 120}, "r -3 c",
                                                      "o 126 h 108 cl 18 fe 6", 3.05},
                                           ContactJob{"rand_p21c_c18n2o4", {9.3863, 12.2022, 15.9567, 90, 109, 90},
                                                      "p 1 21/c 1", "c 72 o 16 n 8", 2.4},
                                           ContactJob{"rand_pbar1_c14o2", {7.0939, 9.2220, 12.0596, 83, 109, 129},
                                                      "p -1", "c 28 o 4", 2.4}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Hand-computed contacts ---------------------------------------------------

const Cell kMono{9.3863, 12.2022, 15.9567, 90, 109, 90};

// A at (0.1, 0.2, 0.3); B' = A + (1.2 A along a, 0.9 A along b), 1.5 A from
// A; B is the preimage of B' under the screw axis (-x, y+1/2, -z+1/2),
// brought into the cell: B = (0.772154, 0.773757, 0.2), some 7 A from A.
TEST_F(InterpDistances, MonoclinicContactClosesOnlyThroughTheScrewAxis) {
    crystal(kMono, "p 1 21/c 1", "c 8");
    const double bx = 0.1 + 1.2 / 9.3863, by = 0.2 + 0.9 / 12.2022;
    setup({{0.1, 0.2, 0.3, 100}, {1.0 - bx, by + 0.5, 0.2, 100}, {0.5, 0.5, 0.5, 100}}, 2.0);
    EXPECT_GT(kMono.dist({0.1, 0.2, 0.3}, {1.0 - bx, by + 0.5, 0.2}), 6.0);
    const auto d = distances(1, 2);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_NEAR(d[0], 1.5, 1e-4);
    EXPECT_NEAR(im.pos[0][0], bx, 1e-5);
    EXPECT_NEAR(im.pos[0][1], by, 1e-5);
    EXPECT_NEAR(im.pos[0][2], 0.3, 1e-5);
    // Z = R B + t = (-0.772154, 1.273757, 0.3); A - Z = (0.872, -1.074, 0)
    // needs a cell up along x (remainder negative: digit 3), one down along
    // y (remainder negative: 3), none along z (0).
    const NbrCode c = NOROP(im.code[0]);
    EXPECT_EQ(c.s, 1);
    EXPECT_EQ(c.t1, 3);
    EXPECT_EQ(c.t2, 3);
    EXPECT_EQ(c.t3, 0);
    EXPECT_EQ(c.j, 2);
    EXPECT_EQ(c.l, 1);
    EXPECT_EQ(rotation(c.op), (std::array<int, 9>{-1, 0, 0, 0, 1, 0, 0, 0, -1}));
    EXPECT_EQ(im.trans[0][0], 1.0f);
    EXPECT_EQ(im.trans[0][1], -1.0f);
    EXPECT_EQ(im.trans[0][2], 0.0f);
    EXPECT_EQ(KORD(im.code[0]), 2);
}

// Fe on the -3 site (0, 0, 1/2) of R-3c and O1 at (0.0742, 0.11666,
// 0.39908): with the hexagonal metric d^2 = a^2(dx^2 + dy^2 - dx dy) +
// c^2 dz^2 = 262.213 * 0.010460 + 126.385 * 0.010185 = 4.0300, d = 2.0075 A;
// the site symmetry makes six such O around the Fe.
TEST_F(InterpDistances, HexagonalOctahedronAroundTheInversionCentre) {
    crystal({16.193, 16.193, 11.2421, 90, 90, 120}, "r -3 c", "o 126 h 108 cl 18 fe 6");
    setup({{0, 0, 0.5, 26, 0, 1.0 / 6.0}, {0.0742, 0.11666, 0.39908, 8}, {0.33333, 0.25401, 0.41667, 17, 0, 0.5}}, 2.5);
    const auto d = distances(1, 2);
    ASSERT_EQ(d.size(), 6u);
    for (double x : d) EXPECT_NEAR(x, 2.0075, 2e-4);
    // Distinct images: 6 of the Fe (-3), 18 of the Cl (twofold axis), 36 of O.
    float g[9];
    metric_copy(g);
    static ImageSet set;
    const float fe[3] = {0, 0, 0.5f}, cl[3] = {0.33333f, 0.25401f, 0.41667f}, o[3] = {0.0742f, 0.11666f, 0.39908f};
    image_set(su.desc, su.lat, fe, g, set);
    EXPECT_EQ(set.count, 6);
    image_set(su.desc, su.lat, cl, g, set);
    EXPECT_EQ(set.count, 18);
    image_set(su.desc, su.lat, o, g, set);
    EXPECT_EQ(set.count, 36);
}

// In P-1 a peak is compared with itself: its image through the centre is
// returned, the peak itself never.
TEST_F(InterpDistances, APeakNextToItselfGivesOnlyItsOtherImages) {
    crystal({10, 10, 10, 90, 90, 90}, "p -1", "c 6");
    setup({{0.06, 0.0, 0.0, 100}, {0.5, 0.5, 0.5, 100}, {0.3, 0.3, 0.3, 100}}, 2.0);
    const auto d = distances(1, 1);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_NEAR(d[0], 1.2, 1e-4);
    EXPECT_EQ(NOROP(im.code[0]).s, -1);
}

// A contact shorter than any bond ends the search for that pair: the
// second image (through the centre, 0.9 A) is not looked at once the
// first (0.5 A) is found too short.
TEST_F(InterpDistances, ATooShortContactEndsTheSearchEarly) {
    crystal({10, 10, 10, 90, 90, 90}, "p -1", "c 6");
    const std::vector<Peak> list = {{0.02, 0.0, 0.0, 100}, {0.07, 0.0, 0.0, 100}, {0.5, 0.5, 0.5, 100}};
    setup(list, 2.0, 0.0);
    EXPECT_EQ(distances(1, 2).size(), 2u);
    setup(list, 2.0, 0.8);
    const auto d = distances(1, 2);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_NEAR(d[0], 0.5, 1e-4);
}

// The translation digits keep the direction of a shift, not its size.
TEST_F(InterpDistances, OneOrTwoCellsAwayGiveTheSameCode) {
    crystal({10, 10, 10, 90, 90, 90}, "p 1", "c 6");
    setup({{0.1, 0.1, 0.1, 100}, {1.22, 0.1, 0.1, 100}, {2.22, 0.1, 0.1, 100}}, 2.0);
    IDST(su.desc, su.lat, 1, 2, im);
    ASSERT_EQ(im.count, 1);
    const int one = im.code[0];
    IDST(su.desc, su.lat, 1, 3, im);
    ASSERT_EQ(im.count, 1);
    const NbrCode a = NOROP(one), b = NOROP(im.code[0]);
    EXPECT_EQ(a.t1, 3);
    EXPECT_EQ(b.t1, 3);
    EXPECT_EQ(a.t2, 0);
    EXPECT_EQ(a.op, b.op);
    EXPECT_NEAR(std::sqrt(im.d2[0]), 1.2, 1e-4);
    EXPECT_EQ(im.trans[0][0], -2.0f);
}

TEST(InterpNeighbourCode, DecodesEveryField) {
    struct Case {
        int code;
        NbrCode want;
    } cases[] = {
        {310 * 196000 + 2 * 490 + 7 * 10 + 3, {1, 3, 1, 0, 2, 7, 3}},
        {-(13 * 196000 + 399 * 490 + 48 * 10 + 4), {-1, 0, 1, 3, 399, 48, 4}},
        {1 * 490 + 1 * 10 + 1, {1, 0, 0, 0, 1, 1, 1}},
    };
    for (const Case& c : cases) {
        const NbrCode d = NOROP(c.code);
        EXPECT_EQ(d.s, c.want.s);
        EXPECT_EQ(d.t1, c.want.t1);
        EXPECT_EQ(d.t2, c.want.t2);
        EXPECT_EQ(d.t3, c.want.t3);
        EXPECT_EQ(d.j, c.want.j);
        EXPECT_EQ(d.op, c.want.op);
        EXPECT_EQ(d.l, c.want.l);
        EXPECT_EQ(KORD(c.code), c.want.j);
    }
}

// --- Bond angles -----------------------------------------------------------------

// The angle list of the entry of peak c whose neighbour is a: the angle
// a-c-b for neighbour b.
int angle_at(int c, int a, int b) {
    const int ar = XI(XBUIL.I(xb::kAngleIndex) + c - 1);
    if (ar == 0) return -1;
    const int na = XI(ar + 1);
    for (int e = 0; e < na; ++e) {
        if (KORD(XI(ar + 3 + 3 * e)) != a) continue;
        const int list = XI(ar + 4 + 3 * e);
        for (int q = 0; q < na - 1; ++q)
            if (KORD(XI(list + 2 * q)) == b) return XI(list + 2 * q + 1);
    }
    return -1;
}

// A tetrahedral centre (109.47 degrees) and a straight chain, whose cosine
// may come out just beyond -1 and still gives 180 degrees.
TEST_F(InterpDistances, BondAnglesInWholeDegrees) {
    const Cell box{20, 20, 20, 90, 90, 90};
    crystal(box, "p 1", "c 8");
    const double b = 1.54 / std::sqrt(3.0);
    std::vector<std::array<double, 3>> r = {{10, 10, 10},         {10 + b, 10 + b, 10 + b}, {10 - b, 10 - b, 10 + b},
                                            {10 - b, 10 + b, 10 - b}, {10 + b, 10 - b, 10 - b}, {4, 4, 4},
                                            {5.5, 4, 4},          {7, 4, 4}};
    peaks(from_cartesian(box, r));
    interpret(interp_mode::kLaterMap, 0);
    EXPECT_EQ(angle_at(1, 2, 3), 109);
    EXPECT_EQ(angle_at(1, 4, 5), 109);
    EXPECT_EQ(angle_at(7, 6, 8), 180);
}

}  // namespace
}  // namespace zanek::test
