// The whole pipeline on every test job: the command file of the job runs
// from %data to %export, and the exported SHELX model must hold at least 70%
// of the true non-hydrogen atoms within 0.5 A. Symmetry images, lattice
// translations (with centring), origin shifts by half cell edges and, in
// non-centrosymmetric groups, the inverted hand are allowed. The operators
// come from the space-group fixture made with an independent library.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

using namespace zanek::test;

namespace {

struct Op {
    int r[9];
    double t[3];
};

struct Group {
    std::vector<Op> ops;
    std::vector<std::array<double, 3>> centring;
    bool centric = false;
};

// The operators of one group from the fixture (translations in 1/24).
Group group_from_fixture(const std::string& gemmi_symbol) {
    std::ifstream in(source_dir() + "/tests/crystaldata/fixtures/spacegroups.txt");
    std::string line;
    Group g;
    bool inside = false;
    while (std::getline(in, line)) {
        if (line.rfind("G ", 0) == 0) {
            if (inside) break;
            std::vector<std::string> f;
            std::stringstream ss(line.substr(2));
            for (std::string p; std::getline(ss, p, '|');) f.push_back(p);
            inside = f.size() >= 4 && f[2] == gemmi_symbol && f[3] == "1";
            continue;
        }
        if (!inside) continue;
        std::istringstream is(line.substr(1));
        if (line[0] == 'O') {
            Op op;
            for (int& v : op.r) is >> v;
            for (double& v : op.t) {
                int n;
                is >> n;
                v = n / 24.0;
            }
            g.ops.push_back(op);
        } else if (line[0] == 'C') {
            std::array<double, 3> c;
            for (double& v : c) {
                int n;
                is >> n;
                v = n / 24.0;
            }
            g.centring.push_back(c);
        }
    }
    for (const Op& op : g.ops)
        if (op.r[0] == -1 && op.r[4] == -1 && op.r[8] == -1 && op.r[1] == 0 && op.r[2] == 0 && op.r[3] == 0)
            g.centric = true;
    return g;
}

struct Cell {
    double m[9];  // fractional to Cartesian
    explicit Cell(const double c[6]) {
        const double d = M_PI / 180.0;
        double ca = std::cos(c[3] * d), cb = std::cos(c[4] * d), cg = std::cos(c[5] * d), sg = std::sin(c[5] * d);
        double v = std::sqrt(1 - ca * ca - cb * cb - cg * cg + 2 * ca * cb * cg);
        double mm[9] = {c[0], c[1] * cg, c[2] * cb, 0, c[1] * sg, c[2] * (ca - cb * cg) / sg, 0, 0, c[2] * v / sg};
        std::copy(mm, mm + 9, m);
    }
    double length(const double f[3]) const {
        double x = m[0] * f[0] + m[1] * f[1] + m[2] * f[2];
        double y = m[3] * f[0] + m[4] * f[1] + m[5] * f[2];
        double z = m[6] * f[0] + m[7] * f[1] + m[8] * f[2];
        return std::sqrt(x * x + y * y + z * z);
    }
};

using Site = std::array<double, 3>;

// Shortest distance from a to any image of b under the group, lattice
// translations included.
double distance(const Group& g, const Cell& cell, const Site& a, const Site& b) {
    double best = 1e9;
    for (const Op& op : g.ops)
        for (const auto& c : g.centring) {
            double d[3];
            for (int i = 0; i < 3; ++i) {
                double x = op.t[i] + c[i];
                for (int j = 0; j < 3; ++j) x += op.r[3 * i + j] * b[j];
                d[i] = x - a[i];
                d[i] -= std::floor(d[i] + 0.5);
            }
            best = std::min(best, cell.length(d));
        }
    return best;
}

std::vector<Site> truth_sites(const std::string& path) {
    std::ifstream in(path);
    std::vector<Site> out;
    for (std::string line; std::getline(in, line);) {
        std::istringstream is(line);
        std::string label, element;
        is >> label >> element;
        if (label == "TITL" || label == "CELL" || label == "REM" || element == "H" || element.empty()) continue;
        Site s;
        if (is >> s[0] >> s[1] >> s[2]) out.push_back(s);
    }
    return out;
}

// The atoms of a SHELX file: lines after FVAR up to HKLF.
std::vector<Site> exported_sites(const std::string& path) {
    std::ifstream in(path);
    std::vector<Site> out;
    bool atoms = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("FVAR", 0) == 0) {
            atoms = true;
            continue;
        }
        if (line.rfind("HKLF", 0) == 0 || line.rfind("END", 0) == 0) break;
        if (!atoms) continue;
        std::istringstream is(line);
        std::string label;
        int sfac;
        Site s;
        if (is >> label >> sfac >> s[0] >> s[1] >> s[2]) out.push_back(s);
    }
    return out;
}

// The share of true atoms found, best over the origin shifts and hands.
double share_found(const Group& g, const Cell& cell, const std::vector<Site>& truth, const std::vector<Site>& model) {
    double best = 0;
    for (int hand : {1, -1}) {
        if (hand < 0 && g.centric) continue;
        for (int shift = 0; shift < 8; ++shift) {
            const double t[3] = {0.5 * (shift & 1), 0.5 * ((shift >> 1) & 1), 0.5 * ((shift >> 2) & 1)};
            int found = 0;
            for (const Site& a : truth)
                for (const Site& m : model) {
                    Site moved = {hand * m[0] + t[0], hand * m[1] + t[1], hand * m[2] + t[2]};
                    if (distance(g, cell, a, moved) < 0.5) {
                        ++found;
                        break;
                    }
                }
            best = std::max(best, double(found) / truth.size());
        }
    }
    return best;
}

struct SolveCase {
    const char* folder;
    const char* gemmi_symbol;
    double cell[6];
};
void PrintTo(const SolveCase& c, std::ostream* os) { *os << c.folder; }

class SolveJobs : public ::testing::TestWithParam<SolveCase> {};

TEST_P(SolveJobs, ExportedModelHoldsMostTrueAtoms) {
    const SolveCase& c = GetParam();
    const std::string src = jobs_dir() + "/" + c.folder;
    if (!std::filesystem::exists(src + "/job.cmd")) GTEST_SKIP() << "no test job " << c.folder;
    const std::string dir = fresh_dir(std::string("solve_") + c.folder);
    std::filesystem::copy(src, dir, std::filesystem::copy_options::recursive);
    RunResult r = run_zanek(dir, "");
    ASSERT_EQ(r.exit_code, 0) << r.output << r.listing.substr(r.listing.size() > 3000 ? r.listing.size() - 3000 : 0);
    ASSERT_NE(r.listing.find("== ZANEK ends ok"), std::string::npos);
    const Group g = group_from_fixture(c.gemmi_symbol);
    ASSERT_FALSE(g.ops.empty()) << c.gemmi_symbol;
    const auto model = exported_sites(dir + "/" + c.folder + ".ins");
    ASSERT_FALSE(model.empty());
    const auto truth = truth_sites(src + "/truth.res");
    EXPECT_GE(share_found(g, Cell(c.cell), truth, model), 0.7) << c.folder;
}

INSTANTIATE_TEST_SUITE_P(
    TestData, SolveJobs,
    ::testing::Values(SolveCase{"rand_p21c_c18n2o4", "P 1 21/c 1", {9.3863, 12.2022, 15.9567, 90, 109, 90}},
                      SolveCase{"rand_p212121_c20o4", "P 21 21 21", {9.2126, 11.9764, 15.6615, 90, 90, 90}},
                      SolveCase{"rand_pbar1_c14o2", "P -1", {7.0939, 9.2220, 12.0596, 83, 109, 129}},
                      SolveCase{"fecl_r3c_synth", "R -3 c:H", {16.193, 16.193, 11.2421, 90, 90, 120}},
                      SolveCase{"fecl_r3c_measured", "R -3 c:H", {16.193, 16.193, 11.2421, 90, 90, 120}}),
    [](const ::testing::TestParamInfo<SolveCase>& info) { return std::string(info.param.folder); });

// The measure itself must not call a wrong model a solution: the true atoms
// moved by a quarter cell along x are not found, the true atoms are.
TEST(SolveMeasure, SeparatesTheTruthFromAShiftedModel) {
    const Group g = group_from_fixture("R -3 c:H");
    const double cell[6] = {16.193, 16.193, 11.2421, 90, 90, 120};
    const auto truth = truth_sites(jobs_dir() + "/fecl_r3c_synth/truth.res");
    ASSERT_FALSE(truth.empty());
    EXPECT_DOUBLE_EQ(share_found(g, Cell(cell), truth, truth), 1.0);
    std::vector<Site> moved = truth;
    for (Site& s : moved) s[0] += 0.25;
    EXPECT_LT(share_found(g, Cell(cell), truth, moved), 0.5);
}

}  // namespace
