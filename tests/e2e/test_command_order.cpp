// Commands run on a few reflections before the commands that form their
// inputs, on a new structure file or on one that a whole test job has
// solved: each ends with its own failure message and the run ends in error,
// never with a stop of the program.
#include <gtest/gtest.h>

#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

using namespace zanek::test;

namespace {

struct OrderCase {
    const char* name;
    const char* job;         // the test job whose cell, group and contents are used
    bool solved_first;       // the whole test job runs first on the same structure file
    int reflections;         // taken from the job's reflections, spread over the file
    const char* commands;    // what follows %data
    const char* message;     // the failure the listing must give
};

void PrintTo(const OrderCase& c, std::ostream* os) { *os << c.name; }

// n reflection lines spread evenly over the job's file, then the end line.
std::string few_reflections(const std::string& job, int n) {
    std::vector<std::string> lines;
    std::istringstream in(read_file(jobs_dir() + "/" + job + "/data.hkl"));
    for (std::string line; std::getline(in, line);) {
        std::istringstream hkl(line);
        int h = 0, k = 0, l = 0;
        if (hkl >> h >> k >> l && (h != 0 || k != 0 || l != 0)) lines.push_back(line);
    }
    const std::size_t total = lines.size();
    std::string out;
    for (std::size_t i = 0; i < total; ++i)
        if (i * n / total != (i + 1) * n / total) out += lines[i] + "\n";
    return out + "   0   0   0\n";
}

std::string data_then(const std::string& job, const std::string& commands) {
    std::string cmd = "%job order\n%structure " + job + "\n%nowindow\n%data\n";
    for (const std::string& line : test_job_data_directives(job)) cmd += line + "\n";
    return cmd + commands + "%end\n";
}

class CommandOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(CommandOrder, EndsWithTheCommandsOwnFailure) {
    const OrderCase& c = GetParam();
    const std::string dir = job_copy(std::string("order_") + c.name, c.job, false);
    if (c.solved_first) {
        RunResult solved = run_zanek(dir, "");
        ASSERT_EQ(solved.exit_code, 0) << solved.listing;
    }
    write_file(dir + "/data.hkl", few_reflections(c.job, c.reflections));
    RunResult r = run_zanek(dir, data_then(c.job, c.commands), "order.cmd", "order.lis");
    EXPECT_EQ(r.exit_code, 1) << r.output;
    EXPECT_NE(r.listing.find(c.message), std::string::npos) << r.listing;
    EXPECT_EQ(r.listing.find(" STOP"), std::string::npos) << r.listing;
    EXPECT_NE(r.listing.find(" == ZANEK ends in error"), std::string::npos) << r.listing;
}

INSTANTIATE_TEST_SUITE_P(
    SmallFiles, CommandOrder,
    ::testing::Values(
        // The count of reflections to phase that %data sets from the cell
        // contents is above the few reflections stored.
        OrderCase{"fourier_after_data_p_1", "rand_pbar1_c14o2", false, 5, "%fourier\n",
                  " *** error ***  no sets of phases available"},
        OrderCase{"fourier_set_after_data_p21c", "rand_p21c_c18n2o4", false, 30, "%fourier\nset 1\n",
                  " *** error ***  no sets of phases available"},
        // New reflections delete the phase sets of the solved structure.
        OrderCase{"fourier_after_new_data_solved_p_1", "rand_pbar1_c14o2", true, 12, "%fourier\n",
                  " *** error ***  no sets of phases available"},
        OrderCase{"emap_after_new_data_solved_p21c", "rand_p21c_c18n2o4", true, 30, "%fourier\nrec 0\n",
                  " *** error ***  no sets of phases available"}),
    [](const ::testing::TestParamInfo<OrderCase>& info) { return std::string(info.param.name); });

}  // namespace
