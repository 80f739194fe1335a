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
// the summary of what the file holds and ends; head holds its %job and
// %structure lines.
RunResult open_again(const std::string& dir, const std::string& head) {
    return run_zanek(dir, head + "%end\n", "open.cmd", "open.lis");
}

// The lines of a one-command job before its command.
std::string head_of(const std::string& job) { return job.substr(0, job.find("\n%", job.find("%nowindow")) + 1); }

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
        const int64_t written_end = list_word_address(read_file(dir + "/b.bin"), 7, 1) + 30 + 6LL * n;  // header and records
        if (written_end % 512 < 6) ++boundary_cases;
        RunResult second = run_zanek(dir, job_head("b") + "%normal\n%end\n");
        EXPECT_EQ(second.exit_code, 0) << second.listing;
    }
    EXPECT_GE(boundary_cases, 1);  // the spare record began a block at least once
}


// ---------------------------------------------------------------------
// Interrupted commands

// The state of one command of a test job run one command per run: the
// structure file before it and as the command leaves it when done.
struct CommandStates {
    std::string dir, structure, job, before, after;
    bool had_file = false;  // the file existed before the command
    std::string fresh;      // without it: the new empty file a run makes
};

// Runs the commands of the job before command c in dir, then command c
// once without interruption in a second folder, from the same file.
CommandStates prepare(const std::string& name, const std::string& job, std::size_t c) {
    CommandStates s;
    s.structure = job;
    s.dir = job_copy(name, job, false);
    const std::vector<std::string> jobs = one_command_jobs(job);
    s.job = jobs.at(c);
    run_all(s.dir, jobs, c);
    const std::string path = s.dir + "/" + job + ".bin";
    s.had_file = file_exists(path);
    if (s.had_file) s.before = read_file(path);
    const std::string ref = job_copy(name + "_reference", job, false);
    if (s.had_file) write_file(ref + "/" + job + ".bin", s.before);
    RunResult done = run_zanek(ref, s.job);
    EXPECT_EQ(done.exit_code, 0) << done.listing;
    s.after = read_file(ref + "/" + job + ".bin");
    if (!s.had_file) {
        const std::string empty = fresh_dir(name + "_new_file");
        EXPECT_EQ(open_again(empty, head_of(s.job)).exit_code, 0);
        s.fresh = read_file(empty + "/" + job + ".bin");
    }
    return s;
}

// Puts the file back as it was before the command, with nothing beside it.
void reset(const CommandStates& s) {
    const std::string path = s.dir + "/" + s.structure + ".bin";
    fs::remove(path + ".bak");
    fs::remove(path + ".bak.new");
    if (s.had_file) write_file(path, s.before);
    else fs::remove(path);
}

std::string file_of(const CommandStates& s) { return read_file(s.dir + "/" + s.structure + ".bin"); }

// What the file holds is the state before the command or after it.
::testing::AssertionResult before_or_after(const CommandStates& s, const std::string& now) {
    if (now == s.after) return ::testing::AssertionSuccess();
    if (now == (s.had_file ? s.before : s.fresh)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the structure file is neither as before nor as after the command ("
                                         << now.size() << " bytes)";
}

// The command of the test job (its place in the job), the fault, and the
// share of the writes tried: every parts-th write from part + 1 on, so that
// a command of many writes is tried by several tests side by side.
struct Interruption {
    int command;
    bool kill;  // else a full disc
    int part = 0, parts = 1;
};

class EveryWrite : public ::testing::TestWithParam<Interruption> {
protected:
    static constexpr const char* kJob = "fecl_r3c_synth";
    CommandStates s;
    std::string copy;
    int writes = 0;  // counted writes of the command's run

    void SetUp() override {
        const Interruption i = GetParam();
        s = prepare("every_write_" + name(i), kJob, static_cast<std::size_t>(i.command));
        copy = s.dir + "/" + kJob + ".bin.bak";
        // The first write at which a kill no longer comes is one past the last.
        int low = 1, high = 1;
        while (run_with("kill", high).exit_code == kKilled) low = high + 1, high *= 2;
        while (low < high) {
            const int mid = (low + high) / 2;
            if (run_with("kill", mid).exit_code == kKilled) low = mid + 1;
            else high = mid;
        }
        writes = low - 1;
    }
    RunResult run_with(const std::string& fault, int k) {
        reset(s);
        return run_zanek(s.dir, s.job, "job.cmd", "job.lis", "ZANEK_WRITE_FAULT=" + fault + ":" + std::to_string(k));
    }

public:
    static std::string name(const Interruption& i) {
        return std::to_string(i.command) + (i.kill ? "_kill" : "_full") + "_" + std::to_string(i.part);
    }
};

// Every write of every command of a test job is, in turn, the moment the
// run is killed: the next run finds the file as it was before the command
// or as the command left it, and says so when it had to put it back. Then
// every write, in turn, is the first one a full disc refuses (writes that
// lengthen no file still succeed): the failed run itself leaves the file as
// it was before the command.
TEST_P(EveryWrite, LeavesTheFileBeforeOrAfterTheCommand) {
    SCOPED_TRACE(s.job);
    ASSERT_GT(writes, 0);
    EXPECT_EQ(run_with("kill", writes + 1).exit_code, 0);
    EXPECT_EQ(file_of(s), s.after);
    for (int k = GetParam().part + 1; k <= writes; k += GetParam().parts) {
        if (GetParam().kill) {
            SCOPED_TRACE("killed at write " + std::to_string(k));
            ASSERT_EQ(run_with("kill", k).exit_code, kKilled);
            const bool copy_left = file_exists(copy);
            RunResult next = open_again(s.dir, head_of(s.job));
            ASSERT_EQ(next.exit_code, 0) << next.listing;
            EXPECT_EQ(next.listing.find("has been put back") != std::string::npos, copy_left) << next.listing;
            EXPECT_TRUE(before_or_after(s, file_of(s)));
        } else {
            SCOPED_TRACE("disc full from write " + std::to_string(k));
            RunResult r = run_with("full", k);
            // A command that cannot keep a copy fails; a write of the file
            // that fails is the store's stop for a write error.
            const char* end = r.exit_code == 0   ? " == ZANEK ends ok"
                              : r.exit_code == 1 ? " == ZANEK ends in error"
                                                 : " STOP";
            EXPECT_NE(r.listing.find(end), std::string::npos) << r.listing;
            if (r.exit_code == 0) {
                EXPECT_EQ(file_of(s), s.after);
            } else if (s.had_file) {
                EXPECT_TRUE(file_of(s) == s.before);
            } else {
                // The new file may have its index or not: the next run
                // starts from an empty structure file either way.
                ASSERT_EQ(open_again(s.dir, head_of(s.job)).exit_code, 0);
                EXPECT_TRUE(before_or_after(s, file_of(s)));
            }
        }
        EXPECT_FALSE(file_exists(copy));
        if (HasFailure()) return;
    }
}

std::vector<Interruption> every_command_and_fault() {
    std::vector<Interruption> v;
    for (int c = 0; c < 7; ++c) {
        const int parts = c == 3 || c == 5 ? 4 : 1;  // %invariants and %fourier write most
        for (bool kill : {true, false})
            for (int p = 0; p < parts; ++p) v.push_back({c, kill, p, parts});
    }
    return v;
}

// %data, %normal, %seminvariants, %invariants, %phase, %fourier, %export.
INSTANTIATE_TEST_SUITE_P(Commands, EveryWrite, ::testing::ValuesIn(every_command_and_fault()),
                         [](const auto& info) { return EveryWrite::name(info.param); });


// ---------------------------------------------------------------------
// Stops, kills and a second run

// A stop inside a command (here the corrupted-list stop of a reflection
// record whose E is not a number, met after %phase has deleted the model of
// the earlier phases) leaves the lists as they were before the command, as
// a failure does.
TEST(Interruptions, StopInsideACommandLeavesTheListsAsBefore) {
    const std::string job = "rand_pbar1_c14o2";
    const std::string dir = job_copy("stop_inside_command", job, false);
    ASSERT_EQ(run_zanek(dir, "").exit_code, 0);
    const std::string path = dir + "/" + job + ".bin";
    std::string bytes = read_file(path);
    put_word(bytes, list_word_address(bytes, 7, 30 + 6 * 99 + 2), 0x7fc00000u);  // record 100's E: a NaN
    write_file(path, bytes);
    RunResult r = run_zanek(dir, head_of(one_command_jobs(job).at(4)) + "%phase\n%end\n");
    EXPECT_EQ(r.exit_code, 2) << r.listing;
    EXPECT_NE(r.listing.find("ZANEK : Phase routine"), std::string::npos);
    EXPECT_NE(r.listing.find(" requested list   7 has been corrupted"), std::string::npos) << r.listing;
    EXPECT_NE(r.listing.find(" STOP 1111"), std::string::npos);
    EXPECT_EQ(read_file(path), bytes);  // the model %phase had deleted is there again
    EXPECT_FALSE(file_exists(path + ".bak"));
}

pid_t start_zanek(const std::string& dir, const std::string& cmd_name, const std::string& lis_name) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(dir.c_str()) != 0) ::_exit(127);
        ::setenv("ZANEK_CLOCK", kFixedClock, 1);
        ::setenv("CRYSDIR", (source_dir() + "/data/").c_str(), 1);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execl(ZANEK_EXE, ZANEK_EXE, cmd_name.c_str(), lis_name.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return pid;
}

int wait_for(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

// A real process killed (SIGKILL) at moments spread over its command: the
// next run finds the file as it was before the command or after it.
TEST(Interruptions, RunKilledAtAnyMomentLeavesTheFileBeforeOrAfterItsCommand) {
    const std::string job = "rand_p21c_c18n2o4";
    const std::vector<std::string> jobs = one_command_jobs(job);
    const std::size_t fourier = 5;
    ASSERT_NE(jobs.at(fourier).find("%fourier"), std::string::npos);
    const CommandStates s = prepare("real_kill", job, fourier);
    write_file(s.dir + "/job.cmd", s.job);
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(run_zanek(s.dir, "").exit_code, 0);
    const auto span = std::chrono::steady_clock::now() - t0;
    int put_back = 0;
    for (int i = 1; i <= 12; ++i) {
        SCOPED_TRACE("killed after " + std::to_string(i) + "/12 of a run");
        reset(s);
        const pid_t pid = start_zanek(s.dir, "job.cmd", "job.lis");
        std::this_thread::sleep_for(span * i / 12);
        ::kill(pid, SIGKILL);
        wait_for(pid);
        RunResult next = open_again(s.dir, head_of(s.job));
        ASSERT_EQ(next.exit_code, 0) << next.listing;
        put_back += next.listing.find("has been put back") != std::string::npos;
        EXPECT_TRUE(before_or_after(s, file_of(s)));
        EXPECT_FALSE(file_exists(s.dir + "/" + job + ".bin.bak"));
    }
    std::printf("%d of 12 kills landed inside the command\n", put_back);
}

// A process that holds the lock on the structure file, as another run does,
// until it is told to let go.
struct LockHolder {
    pid_t pid = -1;
    int release_fd = -1;
    explicit LockHolder(const std::string& path) {
        int ready[2], release[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0) return;
        pid = ::fork();
        if (pid == 0) {
            const int fd = ::open(path.c_str(), O_RDONLY);
            char c = ::flock(fd, LOCK_EX) == 0 ? 'y' : 'n';
            if (::write(ready[1], &c, 1) != 1) ::_exit(1);
            (void)!::read(release[0], &c, 1);
            ::_exit(0);
        }
        char c = 0;
        if (::read(ready[0], &c, 1) != 1 || c != 'y') pid = -1;
        release_fd = release[1];
    }
    ~LockHolder() {
        if (release_fd >= 0) (void)!::write(release_fd, "x", 1);
        if (pid > 0) wait_for(pid);
    }
};

// A second run on a file another process holds ends in error at once,
// naming the file, and leaves it untouched; once the other lets go, the
// same run works.
TEST(Lock, RunOnAFileAnotherProcessHoldsIsRefusedUntouched) {
    const std::string job = "fecl_r3c_synth";
    const std::string dir = job_copy("lock_held", job, false);
    const std::vector<std::string> jobs = one_command_jobs(job);
    run_all(dir, jobs, 2);
    const std::string path = dir + "/" + job + ".bin";
    const std::string before = read_file(path);
    {
        LockHolder other(path);
        ASSERT_GT(other.pid, 0);
        RunResult r = run_zanek(dir, jobs.at(2));
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_NE(r.listing.find(" *** error *** structure file " + job +
                                 ".bin is in use by another run: it is left untouched"),
                  std::string::npos) << r.listing;
        EXPECT_EQ(r.listing.find("ZANEK : Seminvariants routine"), std::string::npos);
        EXPECT_EQ(read_file(path), before);
        EXPECT_FALSE(file_exists(path + ".bak"));
    }
    EXPECT_EQ(run_zanek(dir, jobs.at(2)).exit_code, 0);
}

// Two runs of the program on one file at once: the second is refused while
// the first works, and the first ends as it would alone.
TEST(Lock, SecondRunOfTheProgramIsRefusedWhileTheFirstWorks) {
    const std::string job = "rand_p21c_c18n2o4";
    const std::string alone = job_copy("lock_alone", job, false);
    ASSERT_EQ(run_zanek(alone, "").exit_code, 0);
    const std::string dir = job_copy("lock_two_runs", job, false);
    const pid_t first = start_zanek(dir, "job.cmd", "job.lis");
    // A copy beside the file means a command of the first run is running.
    const std::string copy = dir + "/" + job + ".bin.bak";
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!file_exists(copy) && std::chrono::steady_clock::now() < give_up)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    ASSERT_TRUE(file_exists(copy));
    RunResult second = run_zanek(dir, head_of(one_command_jobs(job).at(0)) + "%initialize\n%end\n", "second.cmd",
                                 "second.lis");
    const int status = wait_for(first);
    EXPECT_EQ(second.exit_code, 1);
    EXPECT_NE(second.listing.find(" is in use by another run: it is left untouched"), std::string::npos)
        << second.listing;
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(read_file(dir + "/" + job + ".ins"), read_file(alone + "/" + job + ".ins"));
}

// ---------------------------------------------------------------------
// Names

// A structure name holding a control character is refused before any file
// is opened; a plot file named as the structure file is not written over it.
TEST(Names, ControlCharacterInTheStructureNameIsRefused) {
    const std::string dir = fresh_dir("names_control");
    for (const std::string& name : {std::string("a\0b", 3), std::string("a\tb"), std::string("a\x1b")}) {
        RunResult r = run_zanek(dir, "%job names\n%structure " + name + "\n%history\n%end\n");
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_NE(r.listing.find(" *** error *** the structure name holds a control character: a^"),
                  std::string::npos) << r.listing;
        EXPECT_TRUE(fs::is_empty(dir) || !file_exists(dir + "/a.bin"));
    }
}

TEST(Names, ExportOrPlotFileNamedAsTheStructureFileIsNotWrittenOverIt) {
    const std::string job = "fecl_r3c_synth";
    const std::string dir = job_copy("names_plot", job, false);
    const std::vector<std::string> jobs = one_command_jobs(job);
    run_all(dir, jobs, jobs.size() - 1);
    const std::string path = dir + "/" + job + ".bin";
    const std::string before = read_file(path);
    RunResult r = run_zanek(dir, head_of(jobs.back()) + "%export\nshel\nmold " + job + ".bin\n%end\n");
    EXPECT_EQ(r.exit_code, 1) << r.listing;
    EXPECT_NE(r.listing.find(" *** error *** file " + job + ".bin is the structure file: it is not written over"),
              std::string::npos) << r.listing;
    EXPECT_EQ(read_file(path), before);
    EXPECT_EQ(open_again(dir, head_of(jobs.back())).exit_code, 0);
}

}  // namespace
}  // namespace zanek::test
