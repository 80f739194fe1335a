// Two storing commands in one run: the second works on the copy the first
// left beside the file, brought up to date with the records the first
// changed. Whatever ends the run at any write, flush or rename (a kill, a
// power cut, a full disc, a failing disc), the file is as it was before the
// run, after the first command, or after both; and a run that ends ok met
// no failure it did not say.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/durable.h"
#include "tests/support/test_support.h"

namespace zanek::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kJob = "fecl_r3c_synth";
constexpr const char* kFolderNotFlushed = " *** warning *** the folder of ";
constexpr const char* kListingLost = " *** error *** the listing file job.lis could not be written";

struct FaultCase {
    const char* kind;  // as the write seam names it
    const char* span;  // ":1" for one event only, "" for every event from K on
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.kind << c.span; }

class TwoCommands : public ::testing::TestWithParam<FaultCase> {
protected:
    std::string dir, path, head, job;
    std::string before, middle, after;  // the file before the run, after its first command, after both
    int writes = 0;

    void SetUp() override {
        const std::vector<std::string> jobs = one_command_jobs(kJob);
        dir = job_copy(std::string("two_commands_") + GetParam().kind, kJob, false);
        path = dir + "/" + kJob + ".bin";
        ASSERT_EQ(run_zanek(dir, jobs[0]).exit_code, 0);
        before = read_file(path);
        head = jobs[1].substr(0, jobs[1].find("%normal"));
        ASSERT_EQ(run_zanek(dir, head + "%normal\n%end\n").exit_code, 0);
        middle = read_file(path);
        job = head + "%normal\n%seminvariants\n%end\n";
        write_file(path, before);
        ASSERT_EQ(run_zanek(dir, job).exit_code, 0);
        after = read_file(path);
        ASSERT_FALSE(after == middle);
        writes = writes_of_run([&](int k) { return run_with("kill:" + std::to_string(k)).exit_code; });
        ASSERT_GT(writes, 10);
    }
    RunResult run_with(const std::string& fault) {
        write_file(path, before);
        for (const std::string& copy : working_copies(dir, kJob)) fs::remove(copy);
        return run_zanek(dir, job, "job.cmd", "job.lis", "ZANEK_WRITE_FAULT=" + fault);
    }
    bool one_of_the_states() const {
        const std::string now = read_file(path);
        return now == before || now == middle || now == after;
    }
    // The next run opens the file and removes whatever was left beside it.
    void opens_again() {
        const RunResult next = run_zanek(dir, head + "%end\n", "open.cmd", "open.lis");
        EXPECT_EQ(next.exit_code, 0) << next.listing;
        EXPECT_TRUE(working_copies(dir, kJob).empty());
    }
};

TEST_P(TwoCommands, EveryFaultLeavesTheFileAsOneOfTheCommandsLeftIt) {
    const std::string kind = GetParam().kind;
    for (int k = 1; k <= writes; ++k) {
        SCOPED_TRACE(kind + " at event " + std::to_string(k) + " of " + std::to_string(writes));
        const RunResult r = run_with(kind + ":" + std::to_string(k) + GetParam().span);
        if (kind == "kill" || kind == "cut") {
            EXPECT_EQ(r.exit_code, kSeamExitCode);
            opens_again();
            EXPECT_TRUE(one_of_the_states());
            // A power cut at the run's last write (its listing's) keeps
            // what both commands stored.
            if (kind == "cut" && k == writes) {
                EXPECT_TRUE(read_file(path) == after);
            }
        } else if (r.exit_code == 0) {
            // Every event failed: the only failure a run may end ok with is
            // a folder not flushed, and it says so.
            EXPECT_TRUE(read_file(path) == after);
            if (kind == "fail") {
                EXPECT_NE(r.listing.find(kFolderNotFlushed), std::string::npos) << r.listing;
            }
        } else {
            // A command that meets the failure is undone; one before it
            // stays stored. A listing lost on the way is said on the console.
            EXPECT_TRUE(one_of_the_states());
            if (read_file(path) == after) {
                EXPECT_NE(r.output.find(kListingLost), std::string::npos) << r.output;
            }
            EXPECT_TRUE(working_copies(dir, kJob).empty());
        }
        if (HasFailure()) return;
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, TwoCommands,
                         ::testing::Values(FaultCase{"kill", ""}, FaultCase{"cut", ""}, FaultCase{"full", ""},
                                           FaultCase{"fail", ":1"}),
                         [](const auto& info) { return std::string(info.param.kind); });

}  // namespace
}  // namespace zanek::test
