// The whole pipeline on the test jobs with known answers, from %data to
// %fourier: the final model of the output section must hold at least 70%
// of the true non-hydrogen atoms within 0.5 A, allowing the permissible
// origin shifts of the group and, without a centre, the other hand. A run
// with "rec 0" checks the E-map of the best set on its own.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "tests/fourier/test_fourier_command_fixture.h"
#include "tests/support/test_support.h"

namespace zanek::test {
namespace {

struct Site {
    double x[3];
};

struct Job {
    const char* name;
    double cell[6];
    std::vector<TestOp> ops;
    bool centric;
};

std::vector<Job> jobs() {
    const TestOp e = op({1, 0, 0, 0, 1, 0, 0, 0, 1}, 0, 0, 0), i = op({-1, 0, 0, 0, -1, 0, 0, 0, -1}, 0, 0, 0);
    return {
        {"rand_p21c_c18n2o4",
         {9.3863, 12.2022, 15.9567, 90, 109, 90},
         {e, op({-1, 0, 0, 0, 1, 0, 0, 0, -1}, 0, 0.5, 0.5), i, op({1, 0, 0, 0, -1, 0, 0, 0, 1}, 0, 0.5, 0.5)},
         true},
        {"rand_p212121_c20o4",
         {9.2126, 11.9764, 15.6615, 90, 90, 90},
         {e, op({-1, 0, 0, 0, -1, 0, 0, 0, 1}, 0.5, 0, 0.5), op({-1, 0, 0, 0, 1, 0, 0, 0, -1}, 0, 0.5, 0.5),
          op({1, 0, 0, 0, -1, 0, 0, 0, -1}, 0.5, 0.5, 0)},
         false},
        {"rand_pbar1_c14o2", {0, 0, 0, 0, 0, 0}, {e, i}, true},
    };
}

std::vector<Site> truth_atoms(const std::string& path, double cell[6]) {
    std::ifstream f(path);
    std::string line;
    std::vector<Site> out;
    while (std::getline(f, line)) {
        std::istringstream is(line);
        std::string label, element;
        is >> label;
        if (label == "CELL") {
            double lambda;
            is >> lambda;
            for (int k = 0; k < 6; ++k) is >> cell[k];
            continue;
        }
        if (label == "TITL" || label == "REM" || label == "END" || label.empty()) continue;
        Site s;
        if (!(is >> element >> s.x[0] >> s.x[1] >> s.x[2])) continue;
        if (element != "H") out.push_back(s);
    }
    return out;
}

// An element's symbol as the peak list prints it in two columns ("C ",
// "Cl"); "Q " marks a peak that is no atom.
bool is_element_label(std::string_view label) {
    const bool capital = label.size() == 2 && label[0] >= 'A' && label[0] <= 'Z';
    return capital && ((label[1] >= 'a' && label[1] <= 'z') || label[1] == ' ') && label != "Q ";
}

// The coordinates on a line of the peak list that gives an atom: a blank,
// the element's label, the peak's number and height, then x, y and z.
std::optional<Site> listed_atom(const std::string& line) {
    if (line.size() < 3 || line[0] != ' ' || !is_element_label(std::string_view(line).substr(1, 2)))
        return std::nullopt;
    TextScanner s(line, 3);
    std::string x, y, z;
    if (!(s.spaces() && s.digits() && s.some_spaces() && s.integer() && s.some_spaces() && s.decimal(&x) &&
          s.spaces() && s.decimal(&y) && s.spaces() && s.decimal(&z)))
        return std::nullopt;
    return Site{{std::stod(x), std::stod(y), std::stod(z)}};
}

// The atoms of the last output section of the listing.
std::vector<Site> listed_model(const std::string& listing) {
    const std::size_t at = listing.rfind("***   Output section  ***");
    std::vector<Site> out;
    if (at == std::string::npos) return out;
    std::istringstream is(listing.substr(at));
    for (std::string line; std::getline(is, line);)
        if (const std::optional<Site> atom = listed_atom(line)) out.push_back(*atom);
    return out;
}

// The largest share of true atoms matched by the model under one origin
// shift (and hand).
double share_found(const Job& job, const std::vector<Site>& truth, const std::vector<Site>& model, const double cell[6]) {
    TestStructure s;
    s.a = cell[0];
    s.b = cell[1];
    s.c = cell[2];
    s.alpha = cell[3];
    s.beta = cell[4];
    s.gamma = cell[5];
    s.ops = job.ops;
    int best = 0;
    for (int hand : {1, -1}) {
        if (hand < 0 && job.centric) continue;
        for (int shift = 0; shift < 8; ++shift) {
            const double t[3] = {0.5 * (shift & 1), 0.5 * ((shift >> 1) & 1), 0.5 * ((shift >> 2) & 1)};
            int found = 0;
            for (const Site& a : truth) {
                for (const Site& p : model) {
                    const double q[3] = {hand * p.x[0] + t[0], hand * p.x[1] + t[1], hand * p.x[2] + t[2]};
                    if (symmetry_distance(s, a.x, q) < 0.5) {
                        ++found;
                        break;
                    }
                }
            }
            best = std::max(best, found);
        }
    }
    return truth.empty() ? 0.0 : double(best) / truth.size();
}

std::string job_through_fourier(const std::string& cmd, const std::vector<std::string>& fourier_lines) {
    std::istringstream is(cmd);
    std::string line, out;
    while (std::getline(is, line)) {
        if (line.rfind("%export", 0) == 0) break;
        out += line + "\n";
        if (line.rfind("%fourier", 0) == 0)
            for (const std::string& l : fourier_lines) out += l + "\n";
    }
    return out + "%end\n";
}

class TestJobs : public ::testing::TestWithParam<int> {};

TEST_P(TestJobs, FinalModelAndEMapHoldMostTrueAtoms) {
    const Job job = jobs()[static_cast<std::size_t>(GetParam())];
    const std::string src = jobs_dir() + "/" + job.name;
    if (!std::filesystem::exists(src + "/job.cmd")) GTEST_SKIP() << "no test job " << job.name;
    for (const bool emap_only : {false, true}) {
        const std::string dir = fresh_dir(std::string("fourier_e2e_") + job.name + (emap_only ? "_emap" : ""));
        std::filesystem::copy(src, dir, std::filesystem::copy_options::overwrite_existing | std::filesystem::copy_options::recursive);
        const std::string cmd = job_through_fourier(read_file(src + "/job.cmd"), emap_only ? std::vector<std::string>{"rec 0"}
                                                                                           : std::vector<std::string>{});
        RunResult r = run_zanek(dir, cmd);
        ASSERT_EQ(r.exit_code, 0) << r.output;
        double cell[6];
        const auto truth = truth_atoms(src + "/truth.res", cell);
        const auto model = listed_model(r.listing);
        ASSERT_FALSE(model.empty()) << job.name;
        EXPECT_GE(share_found(job, truth, model, cell), 0.7) << job.name << (emap_only ? " E-map" : " final model");
    }
}

INSTANTIATE_TEST_SUITE_P(Fourier, TestJobs, ::testing::Values(0, 1, 2));

}  // namespace
}  // namespace zanek::test
