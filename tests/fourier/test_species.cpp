// Species labelling: peaks of known structures (the true atoms, with
// heights by atomic number) get their species from the heights and the
// cell content; label modes keep the species of the labels.
#include <fstream>
#include <map>
#include <sstream>

#include "tests/fourier/test_interpretation_fixture.h"

namespace zanek::test {
namespace {

struct TrueAtom {
    std::string element;  // lower case
    double x, y, z, occ;
};

std::vector<TrueAtom> truth(const std::string& job) {
    std::ifstream in(shared_dir() + "/testdata/" + job + "/truth.res");
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
