// Species labelling: peaks of known structures (the true atoms, with
// heights by atomic number) get their species from the heights and the
// cell content; label modes keep the species of the labels.
#include <fstream>
#include <map>
#include <ostream>
#include <sstream>

#include "tests/fourier/test_interpretation_fixture.h"

namespace zanek::test {
namespace {

struct TrueAtom {
    std::string element;  // lower case
    double x, y, z, occ;
};

std::vector<TrueAtom> truth(const std::string& job) {
    std::ifstream in(jobs_dir() + "/" + job + "/truth.res");
    std::vector<TrueAtom> atoms;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream s(line);
        std::string label, el;
        TrueAtom a{};
        if (!(s >> label >> el >> a.x >> a.y >> a.z >> a.occ)) continue;
        if (label == "CELL" || label == "TITL" || label == "REM") continue;
        for (char& c : el) c = static_cast<char>(std::tolower(c));
        a.element = el;
        if (el != "h") atoms.push_back(a);
    }
    return atoms;
}

const std::map<std::string, int> kZ = {{"c", 6}, {"n", 7}, {"o", 8}, {"cl", 17}, {"fe", 26}};

struct Job {
    const char* name;
    Cell cell;
    const char* group;
    const char* content;
    std::vector<std::string> by_rank;  // species in decreasing Z (hydrogen left out)
    double min_right;                  // fraction of atoms whose species must come out right
};
void PrintTo(const Job& j, std::ostream* os) { *os << j.name; }

class SpeciesOfKnownStructures : public InterpRun, public ::testing::WithParamInterface<Job> {};

// Peaks are the true atoms in decreasing atomic number; the special sites
// of R-3c carry their occupancy 1/(site order): Fe on -3 (6), Cl1 and O4
// on twofold axes (2). Only the major component of the disordered
// perchlorate is used.
std::vector<std::pair<TrueAtom, double>> peaks_of(const std::string& job) {
    std::vector<std::pair<TrueAtom, double>> v;
    for (const TrueAtom& a : truth(job)) {
        if (a.occ < 0.5) continue;
        double occ = 1.0;
        if (job.rfind("fecl", 0) == 0) {
            if (a.element == "fe") occ = 1.0 / 6.0;
            if (std::fabs(a.x - 1.0 / 3.0) < 1e-4 && std::fabs(a.z - 5.0 / 12.0) < 1e-4) occ = 0.5;
        }
        v.push_back({a, occ});
    }
    std::stable_sort(v.begin(), v.end(),
                     [](const auto& p, const auto& q) { return kZ.at(p.first.element) > kZ.at(q.first.element); });
    return v;
}

TEST_P(SpeciesOfKnownStructures, HeightsGiveTheSpeciesOfMostAtoms) {
    const Job& job = GetParam();
    crystal(job.cell, job.group, job.content);
    const auto atoms = peaks_of(job.name);
    std::vector<Peak> list;
    for (const auto& [a, occ] : atoms) list.push_back({a.x, a.y, a.z, static_cast<double>(kZ.at(a.element)), 0, occ});
    peaks(list);
    interpret(interp_mode::kEMap, 3);
    int right = 0;
    for (std::size_t k = 0; k < atoms.size(); ++k) {
        ASSERT_NE(codes[k], kNotInterpreted);
        const int r = rank(codes[k]);
        ASSERT_GE(r, 1);
        ASSERT_LE(r, static_cast<int>(job.by_rank.size()));
        if (job.by_rank[r - 1] == atoms[k].first.element) ++right;
    }
    EXPECT_GE(right, job.min_right * static_cast<double>(atoms.size())) << right << " of " << atoms.size();
}

TEST_P(SpeciesOfKnownStructures, LabelsKeepTheirSpecies) {
    const Job& job = GetParam();
    crystal(job.cell, job.group, job.content);
    const auto atoms = peaks_of(job.name);
    std::vector<Peak> list;
    std::map<std::string, int> serial;
    for (const auto& [a, occ] : atoms) {
        int type = 0;
        for (int t = 1; t <= sf::species(); ++t) {
            const char* s = reinterpret_cast<const char*>(&sf::symbol(t));
            std::string sym(s, 2);
            if (sym.back() == ' ') sym.pop_back();
            if (sym == a.element) type = t;
        }
        ASSERT_NE(type, 0) << a.element;
        list.push_back({a.x, a.y, a.z, static_cast<double>(kZ.at(a.element)), 100 * type + ++serial[a.element], occ});
    }
    peaks(list);
    EXPECT_EQ(interpret(interp_mode::kFinal, 0), interp_mode::kFinal);
    for (std::size_t k = 0; k < atoms.size(); ++k) {
        const int r = rank(codes[k]);
        ASSERT_GE(r, 1) << k;
        EXPECT_EQ(job.by_rank[r - 1], atoms[k].first.element) << k;
    }
}

INSTANTIATE_TEST_SUITE_P(
    TestJobs, SpeciesOfKnownStructures,
    ::testing::Values(Job{"fecl_r3c_synth", {16.193, 16.193, 11.2421, 90, 90, 120}, "r -3 c", "o 126 h 108 cl 18 fe 6",
                          {"fe", "cl", "o"}, 1.0},
                      Job{"rand_p21c_c18n2o4", {9.3863, 12.2022, 15.9567, 90, 109, 90}, "p 1 21/c 1", "c 72 o 16 n 8",
                          {"o", "n", "c"}, 0.7},
                      Job{"rand_p212121_c20o4", {9.2126, 11.9764, 15.6615, 90, 90, 90}, "p 21 21 21", "c 80 o 16", {"o", "c"}, 0.8}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zanek::test

namespace zanek::test {
namespace {

const Cell kBox{20, 20, 20, 90, 90, 90};

class InterpSpecies : public InterpRun {
protected:
    // n peaks on a line, 3 A apart (no contacts), heights as given.
    std::vector<Peak> line(const std::vector<double>& heights) {
        std::vector<Peak> v;
        for (std::size_t k = 0; k < heights.size(); ++k) v.push_back({0.05 + 0.15 * static_cast<double>(k), 0.5, 0.5, heights[k]});
        return v;
    }
};

TEST_F(InterpSpecies, ExactContentGivesNoMessageOnePeakFewerCutsTheLightestSpecies) {
    crystal(kBox, "p 1", "o 1 c 6");
    peaks(line({8, 6, 6, 6, 6, 6, 6}));
    interpret(interp_mode::kLaterMap, 0);
    EXPECT_FALSE(listed("not enought peaks"));
    peaks(line({8, 6, 6, 6, 6, 6}));
    interpret(interp_mode::kLaterMap, 0);
    EXPECT_TRUE(listed("\n not enought peaks present . the lightest specie considered is c , asymetric unit content = "
                       "     5.00\n"))
        << listing();
}

TEST_F(InterpSpecies, WithoutHeavySpeciesOneGroupHoldsEverything) {
    crystal(kBox, "p 1", "o 2 n 1 c 5");
    peaks(line({8, 8, 7, 6, 6, 6, 6, 6}));
    interpret(interp_mode::kLaterMap, 0);
    EXPECT_EQ(XBUIL.I(xb::kGroups), 1);
    EXPECT_EQ(group_class(1), 2);
    EXPECT_EQ(group_first_peak(1), 1);
    EXPECT_EQ(group_last_peak(1), 8);
    EXPECT_EQ(group_first_species(1), 1);
    EXPECT_EQ(group_last_species(1), 3);
    for (int k = 0; k < 8; ++k) EXPECT_EQ(rank(codes[k]), 3) << k;  // the group's last species, c
}

// A heavy species gets a group of its own where the heights drop clearly
// after its expected peaks: Fe (26) over Cl (17), ratio 1.53, threshold
// 1.167 + 0.222 * 1.53 = 1.506.
TEST_F(InterpSpecies, HeightGapClosesAHeavyGroup) {
    crystal(kBox, "p 1", "fe 1 cl 1 c 4");
    const double gap_fe[] = {1.6, 1.45};  // drop after the Fe peak: clear, then too small
    const int groups_fe[] = {3, 2};
    for (int t = 0; t < 2; ++t) {
        peaks(line({100.0 * gap_fe[t], 100, 30, 30, 30, 30}));
        interpret(interp_mode::kLaterMap, 0);
        EXPECT_EQ(XBUIL.I(xb::kGroups), groups_fe[t]) << t;
        EXPECT_EQ(group_class(1), 1) << t;
    }
    // Fe alone, Cl alone, then the carbon group.
    peaks(line({160, 100, 30, 30, 30, 30}));
    interpret(interp_mode::kLaterMap, 0);
    EXPECT_EQ(rank(codes[0]), 1);
    EXPECT_EQ(rank(codes[1]), 2);
    for (int k = 2; k < 6; ++k) EXPECT_EQ(rank(codes[k]), 3);
    EXPECT_EQ(XBUIL.I(xb::kLastHeavyPeak), 2);
}

// With R = 0.10 (recycling under way) every minimum distance is 0.19 A
// shorter than with R = 0.20, but never below 0.8 A.
TEST_F(InterpSpecies, MinimumDistancesShrinkOnceRecyclingConverges) {
    crystal(kBox, "p 1", "c 4 o 2");
    float at[2][2];
    const float rs[2] = {0.20f, 0.10f};
    for (int t = 0; t < 2; ++t) {
        EMAP.R(emap::kR) = rs[t];
        peaks(line({8, 8, 6, 6, 6, 6}));
        interpret(interp_mode::kLaterMap, 0);
        at[t][0] = spt(1, 5);  // o: 0.66 + 0.66 - delta
        at[t][1] = spt(2, 5);  // c: 0.77 + 0.66 - delta
    }
    EXPECT_NEAR(at[0][0], 0.97f, 1e-5);
    EXPECT_NEAR(at[1][0], 0.80f, 1e-5);
    EXPECT_NEAR(at[0][1], 1.08f, 1e-5);
    EXPECT_NEAR(at[1][1], 0.89f, 1e-5);
}

TEST_F(InterpSpecies, ExpectedBlockOfPeaks) {
    crystal(kBox, "p 1", "c 6");
    peaks({{0.1, 0.1, 0.1, 9, 0, 1.0}, {0.2, 0.1, 0.1, 8, 0, 0.5}, {0.3, 0.1, 0.1, 7, 0, 0.5}, {0.4, 0.1, 0.1, 6, 0, 1.0}});
    InterpSetup su;
    int mode = interp_mode::kLaterMap;
    CLUPAR(su, codes, mode, 0);
    const struct {
        float cum;
        int k;
    } cases[] = {{0.5f, 1}, {1.0f, 1}, {1.5f, 2}, {2.0f, 3}, {2.9f, 4}, {10.0f, 4}};
    for (const auto& c : cases) EXPECT_EQ(PIC15(su.desc, su.w1, c.cum), c.k) << c.cum;
}

// Label modes: an unlabelled peak is not interpreted but takes the
// species (and, without a height, the height 100*type) of the last
// labelled peak before it.
TEST_F(InterpSpecies, UnlabelledPeakInALabelModeIsNotInterpreted) {
    crystal(kBox, "p 1", "c 4 o 2");  // list 3: c type 1, o type 2
    peaks({{0.1, 0.1, 0.1, 8, 201}, {0.3, 0.1, 0.1, 0, 0}, {0.5, 0.1, 0.1, 6, 101}, {0.7, 0.1, 0.1, 6, 102}});
    EXPECT_EQ(interpret(interp_mode::kRecycle, 0), interp_mode::kRecycle);
    EXPECT_EQ(codes[1], kNotInterpreted);
    EXPECT_EQ(atom_coord(2, 4), 200.0f);
    EXPECT_EQ(rank(codes[0]), 1);
    EXPECT_EQ(rank(codes[2]), 2);
}

TEST_F(InterpSpecies, LabelModeWithoutLabelsRunsAsTheHeightMode) {
    crystal(kBox, "p 1", "c 4 o 2");
    peaks(line({8, 8, 6, 6, 6, 6}));
    interpret(interp_mode::kLaterMap, 0);
    std::vector<int32_t> by_height(codes, codes + 6);
    peaks(line({8, 8, 6, 6, 6, 6}));
    EXPECT_EQ(interpret(interp_mode::kFinal, 0), interp_mode::kFinal);
    EXPECT_EQ(std::vector<int32_t>(codes, codes + 6), by_height);
}

TEST_F(InterpSpecies, OnlyHydrogenLabelsCannotBeRecognised) {
    crystal(kBox, "p 1", "h 4 c 4");
    peaks({{0.1, 0.1, 0.1, 8, 101}, {0.3, 0.1, 0.1, 8, 102}, {0.5, 0.1, 0.1, 6, 103}});
    EXPECT_THROW(interpret(interp_mode::kRecycle, 0), InterpretationFailed);
    EXPECT_TRUE(listed(" Given peaks cannot be recognized \n"));
}

// User conditions: a coordination entry sets the distances and angle class
// of the groups of its species and widens the search; distances of 0.3 A
// or less and a type 0 change nothing.
TEST_F(InterpSpecies, CoordinationEntries) {
    crystal(kBox, "p 1", "fe 1 c 4");
    auto entry = [](int e, const char* el, float lo, float hi, int type) {
        cond::entries() = e;
        cond::element(e) = species_word(el);
        cond::dmin(e) = lo;
        cond::dmax(e) = hi;
        cond::type(e) = type;
    };
    entry(1, "fe", 1.7f, 3.4f, 3);
    peaks(line({200, 30, 30, 30, 30}));
    interpret(interp_mode::kLaterMap, 0);
    EXPECT_EQ(group_class(1), 3);
    EXPECT_FLOAT_EQ(dmin_of(1, 2), 1.7f);
    EXPECT_FLOAT_EQ(dmax_of(2, 1), 3.4f);
    EXPECT_FLOAT_EQ(spt(1, 6), 3.4f);
    EXPECT_GE(XBUIL.R(xb::kMaxDist2), 3.4f * 3.4f - 1e-4f);
    entry(1, "fe", 0.3f, 0.2f, 0);
    peaks(line({200, 30, 30, 30, 30}));
    interpret(interp_mode::kLaterMap, 0);
    EXPECT_EQ(group_class(1), 1);
    EXPECT_NEAR(dmin_of(1, 2), 1.32f + 0.77f - 0.35f, 1e-5);
}

TEST_F(InterpSpecies, SmallMaximumDistanceCountsAsNotGiven) {
    crystal(kBox, "p 1", "c 6");
    peaks(line({6, 6, 6, 6}));
    for (float dmax : {0.5f, 2.0f}) {
        cond::max_distance() = dmax;
        InterpSetup su;
        int mode = interp_mode::kLaterMap;
        CLUPAR(su, codes, mode, 0);
        EXPECT_EQ(XBUIL.R(xb::kMaxDist2), dmax > 0.5f ? dmax : 0.0f);
    }
}

}  // namespace
}  // namespace zanek::test

namespace zanek::test {
namespace {

// The species and group tables of the listing (print level 3). Fe: radius
// 1.32, minimum 1.32 + 0.77 - 0.35, maximum 1.32 + 1.32 + 0.41, angles of
// class 1 (Z > 18); Cl and C: class 2.
TEST_F(InterpRun, SpeciesAndGroupTablesOfTheListing) {
    crystal({20, 20, 20, 90, 90, 90}, "p 1", "fe 1 cl 1 c 4");
    peaks({{0.05, 0.5, 0.5, 160}, {0.2, 0.5, 0.5, 100}, {0.35, 0.5, 0.5, 30}, {0.5, 0.5, 0.5, 30}, {0.65, 0.5, 0.5, 30},
           {0.8, 0.5, 0.5, 30}});
    interpret(interp_mode::kEMap, 3);
    const char* lines[] = {
        "\n Assumed atomic parameters and limits for interatomic bonds and angles\n"
        "                   (interspecies and intraspecies)\n\n"
        "                       distances            angles         atomic      user\n"
        " type   radius    minimum   maximum    minimum  maximum    number    conditions\n\n",
        "\n  Fe    1.320       1.74      3.05      55.00    180.00    26.000          \n",
        "\n  Cl    1.020       1.44      2.75      85.00    145.00    17.000          \n",
        "\n  C     0.770       1.19      2.50      85.00    145.00     6.000          \n",
        "\n Tentative of peak labelling in terms of atomic species\n\n"
        "  group      peaks      possible        species     range of \n"
        " number   included  chemical species   assigned   bond angles\n",
        "\n    1         1      Fe                  Fe        55. - 180.\n",
        "\n    2         1      Cl                  Cl        55. - 180.\n",  // a heavy group: class 1
        "\n    3         4      C                   C         85. - 145.\n",
        "\n range of bond distances used to build fragments\n   group       group 1        group 2        group 3\n",
        "\n  interpeak distances up to  3.05\n\n",
    };
    for (const char* l : lines) EXPECT_TRUE(listed(l)) << l << "\n" << listing();
}

}  // namespace
}  // namespace zanek::test
