// %seminvariants run by the built program: estimates of the computed test
// jobs against their true phases, the stored lists 26 and 27, the
// directives, and the data on which the command cannot work.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <ostream>
#include <string>

#include "jobcontrol/numeric.h"
#include "jobcontrol/records/job.h"
#include "tests/relationships/test_seminv_fixture.h"

using namespace zanek;
using namespace zanek::semtest;

namespace {

constexpr double kRad = 3.14159265358979 / 180.0;

struct OnePhase {
    int rank;      // row of list 7
    bool general;  // phase not restricted
    int alpha100;  // 100 alpha
    int phase;     // degrees
};

std::vector<OnePhase> one_phase_items(const TableList& t) {
    std::vector<OnePhase> out;
    for (int32_t w : t.words) {
        int32_t a, b, c;
        UNPAK3(w, a, b, c);
        out.push_back({std::abs(a), a <= 0, b, 15 * c});
    }
    return out;
}

struct TwoPhase {
    int code1, code2, alpha100, psi, phi;
};

std::vector<TwoPhase> two_phase_items(const TableList& t) {
    std::vector<TwoPhase> out;
    for (std::size_t i = 0; i + 2 < t.words.size(); i += 3) {
        int32_t a1, b1, c1, a2, b2, c2;
        UNPAK3(t.words[i], a1, b1, c1);
        UNPAK3(t.words[i + 1], a2, b2, c2);
        EXPECT_EQ(c1, -1);
        EXPECT_EQ(a2, 1024);
        out.push_back({a1, b1, b2, 15 * c2, t.words[i + 2]});
    }
    return out;
}

// The numbers of the output section: calculated and stored of one kind.
std::pair<std::string, std::string> output_counts(const std::string& lis, const std::string& caption) {
    const std::size_t p = lis.find(caption);
    if (p == std::string::npos) return {"", ""};
    const std::string line = lis.substr(p + caption.size(), 19);
    return {line.substr(0, 8), line.substr(11, 8)};
}

struct JobCase {
    const char* job;
    double one_phase_min;  // least fraction of stored restricted one-phase estimates that agree
    double two_phase_min;  // the same for the 50 strongest two-phase estimates
};
void PrintTo(const JobCase& c, std::ostream* os) { *os << c.job; }

class SeminvKnownJobs : public ::testing::TestWithParam<JobCase> {};

}  // namespace

// The true phases of the computed jobs (list 7 of %data with `know`) check
// the estimates: the sign (0 or 180 degrees) of a restricted one-phase
// seminvariant, and the value of a two-phase seminvariant, agree with the
// truth far more often than the half of a guess.
TEST_P(SeminvKnownJobs, EstimatesAgreeWithTrueHases) {
    const JobCase& c = GetParam();
    const std::string dir = test::fresh_dir(std::string("seminv_known_") + c.job);
    const test::RunResult run = run_known(dir, c.job, "%seminvariants\n");
    ASSERT_EQ(run.exit_code, 0) << run.listing;
    const std::string path = dir + "/struct.bin";
    const std::vector<L7Record> l7 = read_list7(path);
    ASSERT_FALSE(l7.empty());

    const TableList l26 = read_table(path, 26);
    ASSERT_GT(l26.count, 0);
    const std::vector<OnePhase> one = one_phase_items(l26);
    int restricted = 0, agree = 0, strong = 0;
    for (std::size_t i = 0; i < one.size(); ++i) {
        const OnePhase& o = one[i];
        ASSERT_GE(o.rank, 1);
        ASSERT_LE(o.rank, static_cast<int>(l7.size()));
        if (i > 0) {
            EXPECT_LE(o.alpha100, one[i - 1].alpha100) << "list 26 is in decreasing alpha";
        }
        if (o.alpha100 >= 80) ++strong;
        const L7Record& r = l7[static_cast<std::size_t>(o.rank - 1)];
        EXPECT_EQ(o.general, r.code == 1);
        if (o.general) continue;
        ++restricted;
        if (std::cos((o.phase - r.phase) * kRad) > 0.0) ++agree;
    }
    EXPECT_EQ(l26.c[0], l26.count);
    EXPECT_EQ(l26.c[1], strong);
    ASSERT_GE(restricted, 8) << c.job;
    EXPECT_GE(static_cast<double>(agree) / restricted, c.one_phase_min)
        << c.job << ": " << agree << " of " << restricted << " one-phase signs right";

    const TableList l27 = read_table(path, 27);
    ASSERT_GT(l27.count, 0);
    const std::vector<TwoPhase> two = two_phase_items(l27);
    int n = 0, right = 0;
    double cos_sum = 0.0;
    for (std::size_t i = 0; i < two.size() && n < 50; ++i, ++n) {
        const TwoPhase& t = two[i];
        if (i > 0) {
            EXPECT_LE(t.alpha100, two[i - 1].alpha100) << "list 27 is in decreasing alpha";
        }
        const L7Record& r1 = l7[static_cast<std::size_t>(std::abs(t.code1) - 1)];
        const L7Record& r2 = l7[static_cast<std::size_t>(std::abs(t.code2) - 1)];
        // The true value from the list-7 phases, independently of the command's own word 3.
        const int truth = (t.code1 < 0 ? -1 : 1) * r1.phase + (t.code2 < 0 ? -1 : 1) * r2.phase;
        EXPECT_EQ(((truth - t.phi) % 360 + 360) % 360, 0) << c.job << " item " << i;
        const double cs = std::cos((t.psi - truth) * kRad);
        cos_sum += cs;
        if (cs > 0.0) ++right;
    }
    EXPECT_GE(static_cast<double>(right) / n, c.two_phase_min)
        << c.job << ": " << right << " of " << n << " two-phase estimates right, mean cos " << cos_sum / n;

    // The output section counts what the lists hold.
    const auto onec = output_counts(run.listing, "     one-phase seminvariants    ");
    const auto twoc = output_counts(run.listing, "     two-phase seminvariants    ");
    EXPECT_EQ(std::stoi(onec.second), l26.count);
    EXPECT_EQ(std::stoi(twoc.second), l27.count);
}

INSTANTIATE_TEST_SUITE_P(Jobs, SeminvKnownJobs,
                         ::testing::Values(JobCase{"rand_p21c_c18n2o4", 0.85, 0.9},
                                           JobCase{"rand_p212121_c20o4", 0.75, 0.7},
                                           JobCase{"rand_pbar1_c14o2", 0.8, 0.8},
                                           JobCase{"fecl_r3c_synth", 0.8, 0.9}),
                         [](const ::testing::TestParamInfo<JobCase>& info) { return std::string(info.param.job); });

namespace {

// A face-centred cubic structure computed here: NATOMS carbon atoms in
// general positions of F m -3 m (cell 25 A), every unique reflection to
// 0.95 A with its amplitude and true phase (0 or 180).
std::string fm3m_data(int natoms) {
    uint32_t state = 12345u;
    auto next = [&]() {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) / 16777216.0;
    };
    std::vector<std::array<double, 3>> atoms;
    for (int i = 0; i < natoms; ++i) atoms.push_back({next(), next(), next()});
    // The 48 point operations: signed permutations; the centring of F.
    std::vector<std::array<std::array<int, 3>, 3>> ops;
    const int perms[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    for (const auto& p : perms)
        for (int s = 0; s < 8; ++s) {
            std::array<std::array<int, 3>, 3> m{};
            for (int i = 0; i < 3; ++i) m[i][p[i]] = (s >> i) & 1 ? -1 : 1;
            ops.push_back(m);
        }
    const double centring[4][3] = {{0, 0, 0}, {0, .5, .5}, {.5, 0, .5}, {.5, .5, 0}};
    const double a = 25.0, dmin = 0.95;
    std::string out;
    for (int h = 0; h <= 26; ++h)
        for (int k = 0; k <= h; ++k)
            for (int l = 0; l <= k; ++l) {
                if (h + k + l == 0 || (h - k) % 2 != 0 || (k - l) % 2 != 0) continue;
                if ((h * h + k * k + l * l) / (a * a) > 1.0 / (dmin * dmin)) continue;
                double F = 0.0;
                for (const auto& x : atoms)
                    for (const auto& m : ops)
                        for (const auto& c : centring) {
                            double arg = 0.0;
                            const int hv[3] = {h, k, l};
                            for (int i = 0; i < 3; ++i)
                                arg += hv[i] * (m[i][0] * x[0] + m[i][1] * x[1] + m[i][2] * x[2] + c[i]);
                            F += std::cos(2.0 * 3.14159265358979 * arg);
                        }
                char line[64];
                std::snprintf(line, sizeof line, "%4d%4d%4d%8.2f%8.2f%8.2f\n", h, k, l, std::fabs(F) * 10.0 + 0.01,
                              0.02 * std::fabs(F) * 10.0 + 1.0, F >= 0.0 ? 0.0 : 180.0);
                out += line;
            }
    return out + "   0   0   0\n";
}

}  // namespace

// A group of 24 stored operators with the full 350 rows to search: every
// (row, operator) pair of the sigma2 search has its own place, and the
// estimates still agree with the true phases.
TEST(SeminvCommand, CubicGroupWithAllRowsSearched) {
    const std::string dir = test::fresh_dir("seminv_fm3m");
    test::write_file(dir + "/data_known.hkl", fm3m_data(6));
    const test::RunResult run =
        test::run_zanek(dir, "%job fm3m\n%nowindow\n%initialize\n%data\ncell 25 25 25 90 90 90\nspac f m -3 m\n"
                             "cont c 1152\nknow\nform (3i4,3f8.2)\nrefl data_known.hkl\n%normal\n%seminvariants\n"
                             "nrs1 400\n%end\n");
    ASSERT_EQ(run.exit_code, 0) << run.listing;
    EXPECT_NE(run.listing.find("n. of reflections to search s.s.i. =   350"), std::string::npos);
    const std::string path = dir + "/struct.bin";
    const std::vector<L7Record> l7 = read_list7(path);
    ASSERT_GT(l7.size(), 500u);
    const std::vector<OnePhase> one = one_phase_items(read_table(path, 26));
    ASSERT_GE(one.size(), 10u);
    int agree = 0, agree_strong = 0;
    for (std::size_t i = 0; i < one.size(); ++i) {
        const bool ok = std::cos((one[i].phase - l7[one[i].rank - 1].phase) * kRad) > 0.0;
        agree += ok;
        if (i < 8) agree_strong += ok;
    }
    EXPECT_GE(agree_strong, 7) << "of the 8 strongest";
    EXPECT_GE(static_cast<double>(agree) / one.size(), 0.6) << agree << " of " << one.size();
    const std::vector<TwoPhase> two = two_phase_items(read_table(path, 27));
    ASSERT_GE(two.size(), 30u);
    int right = 0;
    for (std::size_t i = 0; i < 30; ++i) {
        const TwoPhase& t = two[i];
        const int truth = (t.code1 < 0 ? -1 : 1) * l7[std::abs(t.code1) - 1].phase +
                          (t.code2 < 0 ? -1 : 1) * l7[std::abs(t.code2) - 1].phase;
        right += std::cos((t.psi - truth) * kRad) > 0.0;
    }
    EXPECT_GE(right, 20) << right << " of 30";
}

namespace {

const char* const kPbar1Data = "%data\ncell 7.0939 9.2220 12.0596 83.000 109.000 129.000\nspac p -1\ncont c 28 o 4\n"
                               "know\nform (3i4,3f8.2)\nrefl data_known.hkl\n";

test::RunResult run_pbar1(const std::string& name, const std::string& commands, const std::string& data = kPbar1Data) {
    const std::string dir = test::fresh_dir(name);
    test::write_file(dir + "/data_known.hkl",
                     test::read_file(test::jobs_dir() + "/rand_pbar1_c14o2/data_known.hkl"));
    return test::run_zanek(dir, "%job pbar1\n%nowindow\n%initialize\n" + data + commands + "%end\n");
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

// Data on which the command cannot work: the space group P1 and a
// pseudo-translation end the command with a warning and status 1 and the
// job goes on; a structure file without symmetry, without reflections, or
// with reflections not yet normalised fails the command.
TEST(SeminvCommand, DataItCannotWorkOn) {
    std::string p1 = kPbar1Data;
    p1.replace(p1.find("spac p -1"), 9, "spac p 1");
    struct Case {
        const char* name;
        std::string data, commands;
        int exit_code;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"seminv_p1", p1, "%normal\n%seminvariants\n%history\n", 0,
         {"     **** warning ****  no seminvariants are estimated when the space group is p 1",
          " ZANEK : History of the structure", " == ZANEK ends ok"}},
        {"seminv_before_data", "", "%seminvariants\n", 1,
         {" *** error *** no space group symbol present", " == ZANEK ends in error"}},
        {"seminv_before_normal", kPbar1Data, "%seminvariants\n", 1,
         {" *** error ***  reflections must be normalized.", " == ZANEK ends in error"}},
    };
    for (const Case& c : cases) {
        const test::RunResult run = run_pbar1(c.name, c.commands, c.data);
        EXPECT_EQ(run.exit_code, c.exit_code) << c.name << "\n" << run.listing;
        for (const std::string& line : c.lines) EXPECT_TRUE(has(run.listing, line)) << c.name << ": " << line;
        EXPECT_FALSE(has(run.listing, "one-phase seminvariants section")) << c.name;
    }
}

// Switches of the routines and the count of rows to search.
TEST(SeminvCommand, RoutinesSwitchedOff) {
    struct Case {
        const char* name;
        const char* directives;
        bool one, two;
        bool list26, list27;
    };
    const Case cases[] = {
        {"seminv_nss2", "nss2\n", true, false, true, false},
        {"seminv_nss1", "nss1\n", false, true, false, true},
        {"seminv_none", "nss1\nnss2\n", false, false, false, false},
    };
    for (const Case& c : cases) {
        const std::string dir = test::fresh_dir(c.name);
        test::write_file(dir + "/data_known.hkl",
                         test::read_file(test::jobs_dir() + "/rand_pbar1_c14o2/data_known.hkl"));
        const test::RunResult run = test::run_zanek(
            dir, std::string("%job pbar1\n%nowindow\n%initialize\n") + kPbar1Data + "%normal\n%seminvariants\n" +
                     c.directives + "%end\n");
        ASSERT_EQ(run.exit_code, 0) << c.name << "\n" << run.listing;
        EXPECT_EQ(has(run.listing, ">One-phase seminvariants routine"), c.one) << c.name;
        EXPECT_EQ(has(run.listing, ">Two-phase seminvariants routine"), c.two) << c.name;
        EXPECT_TRUE(has(run.listing, "Seminvariant condition :  g g g")) << c.name;
        const auto onec = output_counts(run.listing, "     one-phase seminvariants    ");
        const auto twoc = output_counts(run.listing, "     two-phase seminvariants    ");
        EXPECT_EQ(onec.first == "       -", !c.one) << c.name;
        EXPECT_EQ(twoc.second == "       -", !c.two) << c.name;
        EXPECT_EQ(read_table(dir + "/struct.bin", 26).count >= 0, c.list26) << c.name;
        EXPECT_EQ(read_table(dir + "/struct.bin", 27).count >= 0, c.list27) << c.name;
    }
}

TEST(SeminvCommand, RowsToSearchAndListing) {
    const test::RunResult many = run_pbar1("seminv_nrs1", "%normal\n%seminvariants\nnrs1 400\nlist\nnss2\n");
    ASSERT_EQ(many.exit_code, 0) << many.listing;
    EXPECT_TRUE(has(many.listing, "n. of reflections to search s.s.i. =   350"));
    EXPECT_TRUE(has(many.listing, "                      list of reflection to search seminvariant"));
    // The search list: rows of E at least 1.4 (the limit until row nrs1),
    // three to a line, in row order.
    const std::size_t from = many.listing.find("list of reflection to search seminvariant");
    int rows = 0, last = 0;
    for (const std::string& l : test::split_lines(many.listing.substr(from))) {
        if (rows > 0 && l.empty()) break;  // the list ends with empty lines
        auto bracket = [&](std::size_t at) { return l.size() >= at + 29 && l[at + 6] == ')'; };
        const std::size_t at = bracket(0) ? 0 : bracket(40) ? 40 : bracket(80) ? 80 : std::string::npos;
        if (at == std::string::npos || l.substr(at + 1, 5).find_first_not_of(' ') == std::string::npos) continue;
        const int row = std::stoi(l.substr(at + 1, 5));
        const double e = std::stod(l.substr(at + 21, 8));
        EXPECT_EQ(row, last + 1);
        EXPECT_GE(e, 1.4) << l;
        last = row;
        ++rows;
    }
    EXPECT_GT(rows, 100);
    EXPECT_LE(rows, 350);

    const test::RunResult errors = run_pbar1("seminv_wrong", "%normal\n%seminvariants\nfirs\nwhat 1\n");
    EXPECT_EQ(errors.exit_code, 1);
    EXPECT_TRUE(has(errors.listing, " wrong directive on following line:\nwhat 1"));
    EXPECT_FALSE(has(errors.listing, "First rank seminvariant condition(s)"));
}

// With nrs1 given the candidates break off where E falls below 1.4 and
// resume at row nrs1: here row 108 (5 -1 -6, a first-rank reflection) is
// passed over and row 109 (10 -4 8) is the last candidate. Each is still
// estimated with the class matrices of its own reflection (R-3c: every
// first-rank seminvariant has l even), and row 109 gets its estimate.
TEST(SeminvCommand, CandidatesKeepTheirOwnMatrices) {
    const std::string dir = test::fresh_dir("seminv_nrs1_r3c");
    const test::RunResult run = run_known(dir, "fecl_r3c_synth", "%seminvariants\nnrs1 109\nnss2\n");
    ASSERT_EQ(run.exit_code, 0) << run.listing;
    const std::vector<L7Record> l7 = read_list7(dir + "/struct.bin");
    ASSERT_GT(l7.size(), 109u);
    ASSERT_LT(l7[107].e, 1.4f);  // row 108 lies in the break
    ASSERT_EQ(l7[107].l % 2, 0);
    ASSERT_LT(l7[108].e, 1.4f);
    const std::vector<OnePhase> one = one_phase_items(read_table(dir + "/struct.bin", 26));
    ASSERT_FALSE(one.empty());
    bool resumed = false;
    for (const OnePhase& o : one) {
        EXPECT_EQ(l7[o.rank - 1].l % 2, 0) << o.rank;
        EXPECT_NE(o.rank, 108) << "a row in the break is no candidate";
        resumed = resumed || o.rank == 109;
    }
    EXPECT_TRUE(resumed) << "row nrs1 has no estimate";
}

// A list 7 that carries a pseudo-translation, or maximum indices whose
// super-index passes the size of the E table (the structure file patched
// between two runs): a warning, status 1, and the next command runs.
TEST(SeminvCommand, PseudoTranslationAndLargeIndices) {
    struct Case {
        const char* name;
        int word;     // list-7 header word patched
        float value;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"seminv_pseudo", 25, 1.0f,
         {"     **** warning ****  no seminvariants are estimated when zan handles pseudotranslations"}},
        {"seminv_large", 11, 60.0f,
         {" maximum value for   h k l   =    60   ", " maximum allowed value  = 100000",
          " seminvariants cannot be estimated."}},
    };
    for (const Case& c : cases) {
        const std::string dir = test::fresh_dir(c.name);
        test::write_file(dir + "/data_known.hkl",
                         test::read_file(test::jobs_dir() + "/rand_pbar1_c14o2/data_known.hkl"));
        ASSERT_EQ(test::run_zanek(dir, std::string("%job pbar1\n%nowindow\n%initialize\n") + kPbar1Data +
                                           "%normal\n%end\n")
                      .exit_code,
                  0);
        const std::string path = dir + "/struct.bin";
        const listtest::Row row = listtest::file_row(path, 7);
        ASSERT_EQ(row.present, 7);
        listtest::patch_real(path, row.first + c.word - 1, c.value);
        if (c.word == 11) {
            listtest::patch_real(path, row.first + 11, 60.0f);
            listtest::patch_real(path, row.first + 12, 60.0f);
        }
        const test::RunResult run = test::run_zanek(dir, "%job pbar1\n%nowindow\n%seminvariants\n%history\n%end\n");
        EXPECT_EQ(run.exit_code, 0) << c.name << "\n" << run.listing;
        for (const std::string& line : c.lines) EXPECT_TRUE(has(run.listing, line)) << c.name << ": " << line;
        EXPECT_TRUE(has(run.listing, " ZANEK : History of the structure")) << c.name;
        EXPECT_FALSE(has(run.listing, "one-phase seminvariants section")) << c.name;
        EXPECT_EQ(read_table(path, 26).count, -1) << c.name;
    }
}
