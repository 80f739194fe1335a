// The structure file across runs: a job run one command per run gives what
// one run gives, and whatever ends a run (a failed command, a stop, a full
// disc, a kill at any write, a second run on the same file) leaves the file
// as it was before the command that was running or as that command left it
// when done, never in between.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "tests/support/inprocess.h"
#include "tests/support/test_support.h"

namespace zanek::test {
namespace {

namespace fs = std::filesystem;

constexpr int kKilled = 137;  // the exit code of a run ended by the write seam's kill

std::string job_head(const std::string& structure) {
    return "%job interrupted\n%structure " + structure + "\n%nowindow\n";
}

// A run that only opens the file, puts back a copy left beside it, prints
// the summary of what the file holds and ends.
RunResult open_again(const std::string& dir, const std::string& structure) {
    return run_zanek(dir, job_head(structure) + "%end\n", "open.cmd", "open.lis");
}

// Runs the jobs in turn, one run each, in dir; all must end ok.
void run_all(const std::string& dir, const std::vector<std::string>& jobs, std::size_t count) {
    for (std::size_t c = 0; c < count; ++c) {
        RunResult r = run_zanek(dir, jobs[c]);
        ASSERT_EQ(r.exit_code, 0) << jobs[c] << r.listing;
    }
}

// ---------------------------------------------------------------------
// One command per run

class SplitRuns : public ::testing::TestWithParam<const char*> {};

// Each test job, run once whole and once one command per run, exports the
// same model: nothing a command hands to the next is lost between runs.
TEST_P(SplitRuns, OneCommandPerRunExportsTheSameModelAsOneRun) {
    const std::string job = GetParam();
    const std::string whole = job_copy("split_whole_" + job, job, false);
    ASSERT_EQ(run_zanek(whole, "").exit_code, 0);
    const std::string split = job_copy("split_each_" + job, job, false);
    const std::vector<std::string> jobs = one_command_jobs(job);
    ASSERT_GE(jobs.size(), 6u);
    run_all(split, jobs, jobs.size());
    const std::string ins = "/" + job + ".ins";
    ASSERT_TRUE(file_exists(whole + ins));
    EXPECT_EQ(read_file(split + ins), read_file(whole + ins));
    EXPECT_FALSE(file_exists(split + "/" + job + ".bin.bak"));
}

INSTANTIATE_TEST_SUITE_P(TestJobs, SplitRuns,
                         ::testing::Values("fecl_r3c_synth", "fecl_r3c_measured", "rand_p21c_c18n2o4",
                                           "rand_p212121_c20o4", "rand_pbar1_c14o2"));

// Store address of list 7's first word, as its row in the file says.
int32_t list7_first_address(const std::string& path) {
    const std::string bytes = read_file(path);
    const int address = 1650 + 6 * 7 + 2;  // row 7, word 3
    const std::size_t at = 8192 * (address / 512) + 4 * (address % 512);
    int32_t v = 0;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
}

// A reflection list reserves one spare record after its last one. For some
// counts the spare words begin a block of their own, which only the list's
// registration names: the file must hold it when the run ends, or the next
// run refuses the list as cut short. A full period of counts (a block holds
// 85 1/3 records) is tried, %data in one run and %normal in the next.
TEST(SplitRuns, EveryReflectionCountAroundABlockBoundaryLoadsInTheNextRun) {
    const std::string dir = fresh_dir("split_block_boundary");
    std::vector<std::string> lines;
    for (int h = 0; h <= 9 && lines.size() < 420; ++h)
        for (int k = -9; k <= 9 && lines.size() < 420; ++k)
            for (int l = -9; l <= 9 && lines.size() < 420; ++l) {
                if (h == 0 && (k < 0 || (k == 0 && l <= 0))) continue;  // one of each Friedel pair
                const double s2 = h * h / 64.0 + k * k / 81.0 + l * l / 100.0;
                const double fo = 50.0 + 900.0 * std::exp(-2.0 * s2) * (1.2 + std::sin(1.3 * h + 2.1 * k + 0.7 * l));
                lines.push_back(hkl(h, k, l, fo, 2.0));
            }
    int boundary_cases = 0;
    for (int n = 330; n <= 416; ++n) {
        SCOPED_TRACE(n);
        std::string data;
        for (int i = 0; i < n; ++i) data += lines[static_cast<std::size_t>(i)];
        write_file(dir + "/data.hkl", data + hkl(0, 0, 0, 0, 0));
        fs::remove(dir + "/b.bin");
        RunResult first = run_zanek(dir, job_head("b") + "%data\ncell 8 9 10 90 90 90\nspac p -1\n"
                                                         "cont c 40\nrefl data.hkl\n%end\n");
        ASSERT_EQ(first.exit_code, 0) << first.listing;
        char kept[64];
        std::snprintf(kept, sizeof kept, "%15d  independent input reflections", n);
        ASSERT_NE(first.listing.find(kept), std::string::npos) << first.listing;
        const int64_t written_end = list7_first_address(dir + "/b.bin") + 30 + 6LL * n;  // header and records
        if (written_end % 512 < 6) ++boundary_cases;
        RunResult second = run_zanek(dir, job_head("b") + "%normal\n%end\n");
        EXPECT_EQ(second.exit_code, 0) << second.listing;
    }
    EXPECT_GE(boundary_cases, 1);  // the spare record began a block at least once
}

}  // namespace
}  // namespace zanek::test
