// Two storing commands in one run: the second works on the copy the first
// left beside the file, brought up to date with the records the first
// changed. Whatever ends the run at any write, flush or rename (a kill, a
// power cut, a full disc, a failing disc) or at any read of the file (a
// failing disc, a disc that fails reads only), the file is as it was before
// the run, after the first command, or after both; and a run that ends ok
// met no failure it did not say.
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
    const char* name;
    const char* kind;  // as the write seam names it
    const char* span;  // ":1" for one event only, "" for every event from K on
    // The file system: "" swaps two names in one step, else the errno of
    // one that cannot (the command then checks the name and renames over).
    const char* no_exchange = "";
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.kind << c.span;
    if (*c.no_exchange) *os << " without the swap (" << c.no_exchange << ")";
}

// The kinds under which reads of the file are events, and fail.
bool reads_fail(const std::string& kind) { return kind == "fail" || kind == "readfail"; }

class TwoCommands : public ::testing::TestWithParam<FaultCase> {
protected:
    std::string dir, path, head, job;
    std::string before, middle, after;  // the file before the run, after its first command, after both
    RunResult clean;                    // the run without a fault
    int events = 0;                     // counted under the fault's kind

    void SetUp() override {
        const std::vector<std::string> jobs = one_command_jobs(kJob);
        dir = job_copy(std::string("two_commands_") + GetParam().name, kJob, false);
        path = dir + "/" + kJob + ".bin";
        ASSERT_EQ(run_zanek(dir, jobs[0]).exit_code, 0);
        before = read_file(path);
        head = jobs[1].substr(0, jobs[1].find("%normal"));
        ASSERT_EQ(run_zanek(dir, head + "%normal\n%end\n").exit_code, 0);
        middle = read_file(path);
        job = head + "%normal\n%seminvariants\n%end\n";
        write_file(path, before);
        clean = run_zanek(dir, job);
        ASSERT_EQ(clean.exit_code, 0);
        after = read_file(path);
        ASSERT_FALSE(after == middle);
        events = count_events();
        ASSERT_GT(events, 10);
    }
    // A kill counts the writes; where reads count too, a failure of one
    // event only shows in the run's exit code or its listing.
    int count_events() {
        if (!reads_fail(GetParam().kind))
            return writes_of_run([&](int k) { return run_with("kill:" + std::to_string(k)).exit_code; });
        return events_of_run([&](int k) {
            const RunResult r = run_with("fail:" + std::to_string(k) + ":1");
            return r.exit_code != 0 || r.listing != clean.listing;
        });
    }
    RunResult run_with(const std::string& fault) {
        write_file(path, before);
        for (const std::string& copy : working_copies(dir, kJob)) fs::remove(copy);
        const std::string file_system = *GetParam().no_exchange
                                            ? std::string(" ZANEK_NO_EXCHANGE=") + GetParam().no_exchange
                                            : "";
        return run_zanek(dir, job, "job.cmd", "job.lis", "ZANEK_WRITE_FAULT=" + fault + file_system);
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
    int failed_runs = 0;
    for (int k = 1; k <= events; ++k) {
        SCOPED_TRACE(kind + " at event " + std::to_string(k) + " of " + std::to_string(events));
        const RunResult r = run_with(kind + ":" + std::to_string(k) + GetParam().span);
        if (kind == "kill" || kind == "cut") {
            EXPECT_EQ(r.exit_code, kSeamExitCode);
            opens_again();
            EXPECT_TRUE(one_of_the_states());
            // A power cut at the run's last write (its listing's) keeps
            // what both commands stored.
            if (kind == "cut" && k == events) {
                EXPECT_TRUE(read_file(path) == after);
            }
        } else if (r.exit_code == 0) {
            // The only failure a run may end ok with is a folder not
            // flushed, and it says so; past the last read, a disc that
            // fails reads fails nothing.
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
            // A disc that fails under the run ends it in error or in a
            // stop; a read that fails, in the stop of a record that
            // cannot be read.
            if (reads_fail(kind)) {
                EXPECT_TRUE(ended_in_error_or_stop(r, kind == "readfail" ? " STOP 100" : " STOP "));
            }
        }
        failed_runs += r.exit_code != 0;
        if (HasFailure()) return;
    }
    // The run reads the file: failing its reads fails it.
    if (kind == "readfail") {
        EXPECT_GT(failed_runs, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, TwoCommands,
                         ::testing::Values(FaultCase{"kill", "kill", ""}, FaultCase{"cut", "cut", ""},
                                           FaultCase{"full", "full", ""}, FaultCase{"fail", "fail", ":1"},
                                           FaultCase{"readfail", "readfail", ""},
                                           FaultCase{"readfail_once", "readfail", ":1"},
                                           FaultCase{"kill_no_swap", "kill", "", "ENOSYS"},
                                           FaultCase{"cut_no_swap", "cut", "", "EINVAL"},
                                           FaultCase{"full_no_swap", "full", "", "ENOSYS"},
                                           FaultCase{"fail_no_swap", "fail", ":1", "EINVAL"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zanek::test
