// The structure file across runs: a job run one command per run gives what
// one run gives, and whatever ends a run (a failed command, a stop, a full
// disc, a kill or a power cut at any write, a read of the file that fails,
// a second run on the same file)
// leaves the file as it was before the command that was running or as that
// command left it when done, never in between.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fcntl.h>
#include <ostream>
#include <sys/file.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/durable.h"
#include "tests/support/inprocess.h"
#include "tests/support/small_disc.h"
#include "tests/support/test_support.h"

namespace zanek::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kLeftoverRemoved = "it is removed unread";

std::string job_head(const std::string& structure) {
    return "%job interrupted\n%structure " + structure + "\n%nowindow\n";
}

// A run that only opens the file, removes a working copy left beside it,
// prints the summary of what the file holds and ends; head holds its %job
// and %structure lines.
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
    EXPECT_TRUE(working_copies(split, job).empty());
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
    for (const std::string& copy : working_copies(s.dir, s.structure)) fs::remove(copy);
    if (s.had_file) write_file(path, s.before);
    else fs::remove(path);
}

std::string file_of(const CommandStates& s) { return read_file(s.dir + "/" + s.structure + ".bin"); }

// What the file holds is the state before the command or after it (with
// no file before, an empty one is as good).
::testing::AssertionResult before_or_after(const CommandStates& s, const std::string& now) {
    if (now == s.after) return ::testing::AssertionSuccess();
    if (now == (s.had_file ? s.before : s.fresh)) return ::testing::AssertionSuccess();
    if (!s.had_file && now.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the structure file is neither as before nor as after the command ("
                                         << now.size() << " bytes)";
}

// The command of the test job (its place in the job), the fault, and the
// share of the writes tried: every parts-th write from part + 1 on, so that
// a command of many writes is tried by several tests side by side.
enum class Fault { Kill, Cut, Full, ReadFail };

struct Interruption {
    int command;
    Fault fault;
    int part = 0, parts = 1;
};
// How a fault is shown, and how it is named in a test's name.
struct FaultNames {
    const char* shown;
    const char* tag;
};
const FaultNames& names_of(Fault f) {
    static constexpr FaultNames names[] = {{"kill", "kill"}, {"cut", "cut"}, {"full disc", "full"},
                                           {"failing reads", "readfail"}};
    return names[static_cast<std::size_t>(f)];
}
void PrintTo(const Interruption& i, std::ostream* os) {
    *os << "command " << i.command << ", " << names_of(i.fault).shown << ", part " << i.part + 1 << " of " << i.parts;
}

// Other names a later run may give the structure file: a symbolic link,
// a hard link, a path through another folder.
struct OtherName {
    const char* structure;  // as %structure gives it
    const char* made;       // the link made for it, "" for none
    bool hard;
};
constexpr OtherName kOtherNames[] = {
    {"sym", "sym.bin", false}, {"hard", "hard.bin", true}, {"sub/../fecl_r3c_synth", "", false}};

class EveryWrite : public ::testing::TestWithParam<Interruption> {
protected:
    static constexpr const char* kJob = "fecl_r3c_synth";
    CommandStates s;
    // The counted writes of the command's run; with failing reads, the last
    // event (reads counted) at or after which the run reads the file.
    int writes = 0;
    std::string counted_by;  // the fault that counted them

    void SetUp() override {
        const Interruption i = GetParam();
        s = prepare("every_write_" + name(i), kJob, static_cast<std::size_t>(i.command));
        fs::create_directories(s.dir + "/sub");
        counted_by = i.fault == Fault::ReadFail ? "readfail" : "kill";
        if (i.fault == Fault::ReadFail)
            writes = events_of_run([&](int k) { return run_with("readfail", k).exit_code != 0; });
        else
            writes = writes_of_run([&](int k) { return run_with("kill", k).exit_code; });
    }
    RunResult run_with(const std::string& fault, int k) {
        reset(s);
        return run_zanek(s.dir, s.job, "job.cmd", "job.lis", "ZANEK_WRITE_FAULT=" + fault + ":" + std::to_string(k));
    }
    // A run that opens the file through the other name (made afresh for the
    // file as it is now).
    RunResult open_through(const OtherName& other) {
        const std::string path = s.dir + "/" + kJob + ".bin", link = s.dir + "/" + other.made;
        if (*other.made && file_exists(path)) {
            fs::remove(link);
            if (other.hard) fs::create_hard_link(path, link);
            else fs::create_symlink(std::string(kJob) + ".bin", link);
        }
        // The same job title: a new file keeps it in its index.
        std::string head = head_of(s.job);
        const std::string mine = std::string("%structure ") + kJob + "\n";
        head.replace(head.find(mine), mine.size(), std::string("%structure ") + other.structure + "\n");
        return open_again(s.dir, head);
    }
    void killed_at(int k) {
        SCOPED_TRACE("killed at write " + std::to_string(k));
        ASSERT_EQ(run_with("kill", k).exit_code, kSeamExitCode);
        const bool left = !working_copies(s.dir, kJob).empty();
        const OtherName& other = kOtherNames[static_cast<std::size_t>(k) % 3];
        SCOPED_TRACE(std::string("next run through ") + other.structure);
        RunResult next = open_through(other);
        ASSERT_EQ(next.exit_code, 0) << next.listing;
        EXPECT_TRUE(before_or_after(s, file_of(s)));
        if (other.hard) {
            // A copy beside another name is not this name's: the next run
            // through the first name removes it and leaves the file as it is.
            const std::string now = file_of(s);
            next = open_again(s.dir, head_of(s.job));
            ASSERT_EQ(next.exit_code, 0) << next.listing;
            if (!now.empty()) {
                EXPECT_TRUE(file_of(s) == now);
            }
        }
        EXPECT_EQ(next.listing.find(kLeftoverRemoved) != std::string::npos, left) << next.listing;
    }
    void cut_at(int k) {
        SCOPED_TRACE("power cut at write " + std::to_string(k));
        ASSERT_EQ(run_with("cut", k).exit_code, kSeamExitCode);
        RunResult next = open_again(s.dir, head_of(s.job));
        ASSERT_EQ(next.exit_code, 0) << next.listing;
        EXPECT_TRUE(before_or_after(s, file_of(s)));
        // The last write is the listing's, after the command ended ok: what
        // it stored is on the disc.
        if (k == writes) {
            EXPECT_TRUE(file_of(s) == s.after);
        }
    }
    void full_from(int k) {
        SCOPED_TRACE("disc full from write " + std::to_string(k));
        RunResult r = run_with("full", k);
        // A command that cannot keep its changes fails; a write of the file
        // that fails is the store's stop for a write error. The listing may
        // itself be lost to the full disc: the run then says so.
        const char* end = r.exit_code == 0   ? " == ZANEK ends ok"
                          : r.exit_code == 1 ? " == ZANEK ends in error"
                                             : " STOP";
        if (r.listing.find(end) == std::string::npos) {
            // The listing lost to the full disc: its commands may all have
            // been done, or the one that met the full disc undone.
            EXPECT_NE(r.exit_code, 0) << r.listing;
            EXPECT_NE(r.output.find(" *** error *** the listing file job.lis could not be written"), std::string::npos)
                << r.output;
            EXPECT_TRUE(before_or_after(s, file_of(s)));
        } else if (r.exit_code == 0) {
            EXPECT_TRUE(file_of(s) == s.after);
        } else if (s.had_file) {
            EXPECT_TRUE(file_of(s) == s.before);
        } else {
            // The new file may have its index or not: the next run
            // starts from an empty structure file either way.
            ASSERT_EQ(open_again(s.dir, head_of(s.job)).exit_code, 0);
            EXPECT_TRUE(before_or_after(s, file_of(s)));
        }
        EXPECT_TRUE(working_copies(s.dir, kJob).empty());
    }
    void reads_fail_from(int k) {
        SCOPED_TRACE("reads fail from event " + std::to_string(k));
        RunResult r = run_with("readfail", k);
        // The run reads the file at or after event k: the read fails, and
        // the run ends in the stop of a record that cannot be read, or in
        // error; what the command had done is undone.
        EXPECT_TRUE(ended_in_error_or_stop(r, " STOP 100"));
        if (s.had_file) {
            EXPECT_TRUE(file_of(s) == s.before);
        } else {
            ASSERT_EQ(open_again(s.dir, head_of(s.job)).exit_code, 0);
            EXPECT_TRUE(before_or_after(s, file_of(s)));
        }
        EXPECT_TRUE(working_copies(s.dir, kJob).empty());
    }

public:
    static std::string name(const Interruption& i) {
        return std::to_string(i.command) + "_" + names_of(i.fault).tag + "_" + std::to_string(i.part);
    }
};

// Every write of every command of a test job is, in turn, the moment the
// run is killed: the next run, through another name of the file, finds it
// as it was before the command or as the command left it, and removes the
// working copy left beside it, saying so. Every write, in turn, is the
// moment of a power cut that loses what was not yet flushed to the disc:
// the same holds, and a command that ended ok is not lost. Then every
// write, in turn, is the first one a full disc refuses (writes that need no
// new room still succeed): the failed run itself leaves the file as it was
// before the command, and nothing beside it. The same holds when, from
// every event on in turn (reads counted), every read of the file fails
// while writes still pass: the run ends in error or in the stop of a
// record that cannot be read.
TEST_P(EveryWrite, LeavesTheFileBeforeOrAfterTheCommand) {
    SCOPED_TRACE(s.job);
    ASSERT_GT(writes, 0);
    EXPECT_EQ(run_with(counted_by, writes + 1).exit_code, 0);
    EXPECT_TRUE(file_of(s) == s.after);
    for (int k = GetParam().part + 1; k <= writes; k += GetParam().parts) {
        switch (GetParam().fault) {
        case Fault::Kill: killed_at(k); break;
        case Fault::Cut: cut_at(k); break;
        case Fault::Full: full_from(k); break;
        case Fault::ReadFail: reads_fail_from(k); break;
        }
        if (HasFailure()) return;
    }
}

std::vector<Interruption> every_command_and_fault() {
    std::vector<Interruption> v;
    for (int c = 0; c < 7; ++c) {
        // %invariants, %phase and %fourier write most: their writes are
        // shared among tests that run side by side.
        const int parts = c == 5 ? 10 : c == 4 ? 6 : c == 3 ? 4 : 1;
        for (Fault f : {Fault::Kill, Fault::Cut, Fault::Full, Fault::ReadFail})
            for (int p = 0; p < parts; ++p) v.push_back({c, f, p, parts});
    }
    return v;
}

// %data, %normal, %seminvariants, %invariants, %phase, %fourier, %export.
INSTANTIATE_TEST_SUITE_P(Commands, EveryWrite, ::testing::ValuesIn(every_command_and_fault()),
                         [](const auto& info) { return EveryWrite::name(info.param); });


// ---------------------------------------------------------------------
// Stops, kills and a second run

// A stop inside a command (here the corrupted-list stop of a reflection
// record whose E is not a number, met by the tangent refinement after
// %phase has deleted the model of the earlier phases) leaves the lists as
// they were before the command, as a failure does.
TEST(Interruptions, StopInsideACommandLeavesTheListsAsBefore) {
    const std::string job = "rand_pbar1_c14o2";
    const std::string dir = job_copy("stop_inside_command", job, false);
    ASSERT_EQ(run_zanek(dir, "").exit_code, 0);
    const std::string path = dir + "/" + job + ".bin";
    std::string bytes = read_file(path);
    ASSERT_GT(word_at(bytes, list_word_address(bytes, 15, 1)), 0);  // a model is stored
    put_word(bytes, list_word_address(bytes, 7, 30 + 6 * 999 + 2), 0x7fc00000u);  // record 1000's E: a NaN
    write_file(path, bytes);
    RunResult r = run_zanek(dir, head_of(one_command_jobs(job).at(4)) + "%phase\n%end\n");
    EXPECT_EQ(r.exit_code, 2) << r.listing;
    const std::size_t tangent = r.listing.find("***   tangent formula section   ***");
    ASSERT_NE(tangent, std::string::npos) << r.listing;
    EXPECT_NE(r.listing.find(" requested list   7 has been corrupted", tangent), std::string::npos) << r.listing;
    EXPECT_NE(r.listing.find(" STOP 1111"), std::string::npos);
    EXPECT_EQ(read_file(path), bytes);  // the model %phase had deleted is there again
    EXPECT_TRUE(working_copies(dir, job).empty());
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
    int inside = 0;
    for (int i = 1; i <= 12; ++i) {
        SCOPED_TRACE("killed after " + std::to_string(i) + "/12 of a run");
        reset(s);
        const pid_t pid = start_zanek(s.dir);
        std::this_thread::sleep_for(span * i / 12);
        ::kill(pid, SIGKILL);
        wait_for(pid);
        RunResult next = open_again(s.dir, head_of(s.job));
        ASSERT_EQ(next.exit_code, 0) << next.listing;
        inside += next.listing.find(kLeftoverRemoved) != std::string::npos;
        EXPECT_TRUE(before_or_after(s, file_of(s)));
        EXPECT_TRUE(working_copies(s.dir, job).empty());
    }
    // The command writes from its start to its end: kills spread over the
    // run land inside it.
    EXPECT_GE(inside, 1);
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
        EXPECT_TRUE(working_copies(dir, job).empty());
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
    const pid_t first = start_zanek(dir);
    // A working copy beside the file means a command of the first run is
    // storing.
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (working_copies(dir, job).empty() && std::chrono::steady_clock::now() < give_up)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    ASSERT_FALSE(working_copies(dir, job).empty());
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
        // No file but the run's own command file, listing and console.
        for (const auto& e : fs::directory_iterator(dir)) {
            const std::string f = e.path().filename().string();
            EXPECT_TRUE(f == "job.cmd" || f == "job.lis" || f == "console.out") << f;
        }
    }
}

// An export or plot file named as the structure file, or as a working copy
// of it (the program's own name for one), is refused before it is opened.
TEST(Names, ExportOrPlotFileNamedAsTheStructureFileOrItsCopyIsNotWritten) {
    const std::string job = "fecl_r3c_synth";
    const std::string dir = job_copy("names_plot", job, false);
    const std::vector<std::string> jobs = one_command_jobs(job);
    run_all(dir, jobs, jobs.size() - 1);
    const std::string path = dir + "/" + job + ".bin";
    const std::string before = read_file(path);
    const std::string copy = "." + job + ".bin.zanek-work-7";
    const std::pair<std::string, std::string> names[] = {
        {job + ".bin", " is the structure file: it is not written over"},
        {copy, " is a working copy of the structure file: it is not written"}};
    for (const auto& [name, said] : names) {
        SCOPED_TRACE(name);
        RunResult r = run_zanek(dir, head_of(jobs.back()) + "%export\nshel\nmold " + name + "\n%end\n");
        EXPECT_EQ(r.exit_code, 1) << r.listing;
        EXPECT_NE(r.listing.find(" *** error *** file " + name + said), std::string::npos) << r.listing;
        EXPECT_TRUE(read_file(path) == before);
        EXPECT_FALSE(file_exists(dir + "/" + copy));
        EXPECT_EQ(open_again(dir, head_of(jobs.back())).exit_code, 0);
    }
}

// ---------------------------------------------------------------------
// What lies beside the file

// A file of the user's beside the structure file, named as people name
// their backups, is neither read nor written by any run.
TEST(Beside, UsersOwnBackupIsNeverTouched) {
    const std::string job = "fecl_r3c_synth";
    const std::vector<std::string> jobs = one_command_jobs(job);
    const std::string dir = job_copy("beside_backup", job, false), ref = job_copy("beside_backup_ref", job, false);
    run_all(dir, jobs, 3);
    run_all(ref, jobs, 4);
    const std::string path = dir + "/" + job + ".bin", backup = path + ".bak";
    std::string mine = read_file(path);
    mine.replace(0, 5, "mine!");
    write_file(backup, mine);
    ASSERT_EQ(run_zanek(dir, head_of(jobs[3]) + "%history\n%end\n").exit_code, 0);
    RunResult r = run_zanek(dir, jobs[3]);
    ASSERT_EQ(r.exit_code, 0) << r.listing;
    EXPECT_EQ(r.listing.find("*** warning ***"), std::string::npos) << r.listing;
    EXPECT_TRUE(read_file(backup) == mine);
    EXPECT_TRUE(read_file(path) == read_file(ref + "/" + job + ".bin"));
}

// A working copy beside the file is never read: whatever it holds, and
// whatever became of the file since (left as it was, deleted to start
// afresh, replaced by another structure file), the next run removes it,
// says so, and works on the file that is there.
TEST(Beside, LeftoverCopyIsRemovedUnreadWhateverBecameOfTheFile) {
    const std::string job = "fecl_r3c_synth";
    const std::vector<std::string> jobs = one_command_jobs(job);
    const std::string dir = job_copy("beside_leftover", job, false), other = job_copy("beside_other", job, false);
    run_all(dir, jobs, jobs.size() - 1);
    run_all(other, jobs, 2);
    const std::string path = dir + "/" + job + ".bin";
    const std::string solved = read_file(path), another = read_file(other + "/" + job + ".bin");
    const std::string copy = "." + job + ".bin.zanek-work-4242";
    const std::pair<const char*, std::string> leftovers[] = {
        {"empty", ""}, {"cut short", solved.substr(0, solved.size() / 2)}, {"another file", another}};
    enum Fate { Kept, Deleted, Replaced };
    for (const auto& [what, bytes] : leftovers) {
        for (Fate fate : {Kept, Deleted, Replaced}) {
            SCOPED_TRACE(std::string(what) + ", file " + (fate == Kept ? "kept" : fate == Deleted ? "deleted" : "replaced"));
            write_file(path, solved);
            write_file(dir + "/" + copy, bytes);
            if (fate == Deleted) fs::remove(path);
            if (fate == Replaced) write_file(path, another);
            RunResult r = open_again(dir, head_of(jobs[0]));
            ASSERT_EQ(r.exit_code, 0) << r.listing;
            EXPECT_NE(r.listing.find(" *** warning *** " + copy + " was left beside " + job + ".bin by a run that "
                                     "did not end normally:\n                 " + kLeftoverRemoved),
                      std::string::npos) << r.listing;
            EXPECT_FALSE(file_exists(dir + "/" + copy));
            const std::string now = read_file(path);
            switch (fate) {
            case Kept: EXPECT_TRUE(now == solved); break;
            case Replaced: EXPECT_TRUE(now == another); break;
            case Deleted:
                EXPECT_NE(r.listing.find("Direct access structure file has been initialized"), std::string::npos);
                break;
            }
        }
    }
}

// A working copy that a live process holds belongs to a run still at work
// (on a file that had this name): it is left alone.
TEST(Beside, CopyHeldByALiveRunIsLeftAlone) {
    const std::string job = "fecl_r3c_synth";
    const std::vector<std::string> jobs = one_command_jobs(job);
    const std::string dir = job_copy("beside_live", job, false);
    run_all(dir, jobs, 1);
    const std::string copy = dir + "/." + job + ".bin.zanek-work-4243";
    write_file(copy, "in use");
    LockHolder other(copy);
    ASSERT_GT(other.pid, 0);
    RunResult r = open_again(dir, head_of(jobs[0]));
    ASSERT_EQ(r.exit_code, 0) << r.listing;
    EXPECT_EQ(r.listing.find(kLeftoverRemoved), std::string::npos) << r.listing;
    EXPECT_EQ(read_file(copy), "in use");
}

// ---------------------------------------------------------------------
// What a run needs of its folder and its disc

// The command that runs the program as a user other than root (setpriv),
// so that the folder's permissions apply: "" when the tests are not root.
std::string as_plain_user() { return ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups" : ""; }

// In a folder the user may read but not write, commands that write nothing
// to the structure file (an export, the history) run as before; a command
// that stores fails with the reason and leaves the file as it was.
TEST(Folder, ReadingCommandsRunWhereTheUserMayNotWrite) {
    const std::string job = "fecl_r3c_synth";
    const std::vector<std::string> jobs = one_command_jobs(job);
    const std::string dir = job_copy("folder_read_only", job, false);
    run_all(dir, jobs, jobs.size() - 1);
    const std::string path = dir + "/" + job + ".bin", before = read_file(path);
    // The files the runs write are there already, and writable.
    for (const std::string& f : {job + ".bin", job + ".ins", job + ".plt", std::string("job.lis"), std::string("console.out")}) {
        if (!file_exists(dir + "/" + f)) write_file(dir + "/" + f, "");
        fs::permissions(dir + "/" + f, fs::perms::all & ~fs::perms::owner_exec & ~fs::perms::group_exec & ~fs::perms::others_exec);
    }
    write_file(dir + "/job.cmd", "");
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
    struct Writable {
        std::string dir;
        ~Writable() { fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add); }
    } restore{dir};
    const std::string user = as_plain_user();
    const std::string reach = user + " test -x '" + ZANEK_EXE + "' -a -r '" + source_dir() + "/data/form.dat' -a -w '" +
                              dir + "/job.lis'";
    if (std::system(reach.c_str()) != 0) GTEST_SKIP() << "a plain user cannot reach the program or the test folder here";
    RunResult exported = run_zanek(dir, jobs.back(), "job.cmd", "job.lis", user);
    EXPECT_EQ(exported.exit_code, 0) << exported.listing << exported.output;
    EXPECT_NE(read_file(dir + "/" + job + ".ins").find("FVAR"), std::string::npos);
    EXPECT_EQ(run_zanek(dir, head_of(jobs.back()) + "%history\n%end\n", "job.cmd", "job.lis", user).exit_code, 0);
    RunResult stored = run_zanek(dir, jobs[1], "job.cmd", "job.lis", user);
    EXPECT_EQ(stored.exit_code, 1);
    EXPECT_NE(stored.listing.find(" *** error *** no working copy of " + job + ".bin can be made in " +
                                  fs::canonical(dir).string() + ": Permission denied"),
              std::string::npos) << stored.listing;
    EXPECT_TRUE(read_file(path) == before);
    EXPECT_TRUE(working_copies(dir, job).empty());
}

// Every write of an export run (its listing, its export files) that fails
// on a full disc fails the run, even when room comes back for the writes
// after it: a run that ends ok wrote everything it says it wrote.
TEST(Listing, AWriteLostToAFullDiscFailsTheRunThoughLaterWritesSucceed) {
    const std::string job = "fecl_r3c_synth";
    const std::vector<std::string> jobs = one_command_jobs(job);
    const std::string dir = job_copy("listing_lost_write", job, false);
    run_all(dir, jobs, jobs.size() - 1);
    const std::string before = read_file(dir + "/" + job + ".bin");
    write_file(dir + "/export.cmd", jobs.back());
    auto run_with = [&](const std::string& fault) {
        return run_zanek(dir, "", "export.cmd", "job.lis", "ZANEK_WRITE_FAULT=" + fault);
    };
    const int writes = writes_of_run([&](int k) { return run_with("kill:" + std::to_string(k)).exit_code; });
    ASSERT_GE(writes, 3);
    int listing_lost = 0;
    for (int k = 1; k <= writes; ++k) {
        SCOPED_TRACE("write " + std::to_string(k) + " of " + std::to_string(writes) + " fails");
        RunResult r = run_with("full:" + std::to_string(k) + ":1");
        EXPECT_EQ(r.exit_code, 1) << r.listing << r.output;
        listing_lost += r.output.find(" *** error *** the listing file job.lis could not be written") != std::string::npos;
        EXPECT_TRUE(read_file(dir + "/" + job + ".bin") == before);
    }
    EXPECT_GE(listing_lost, 1);
}

// A real full disc: each storing command of a test job, run with little
// room left, either ends ok or leaves the file as it was before it, with
// nothing beside it, and the same command runs once room is freed; a
// command that writes nothing to the file (an export) and %initialize of a
// large file need no room for a copy.
TEST(FullDisc, EveryCommandLeavesTheFileBeforeOrAfterAndReadingNeedsNoRoom) {
    SmallDisc disc("full_disc", "size=3m");
    if (!disc.why_not.empty()) GTEST_SKIP() << disc.why_not;
    const std::string job = "fecl_r3c_synth";
    const std::vector<std::string> jobs = one_command_jobs(job);
    const std::string ref = job_copy("full_disc_ref", job, false), dir = disc.path + "/job";
    fs::create_directories(dir);
    fs::copy_file(ref + "/data.hkl", dir + "/data.hkl");
    const std::string path = dir + "/" + job + ".bin";
    std::vector<std::string> states;  // the file after each command, one run each
    int failed = 0;
    for (const std::string& j : jobs) {
        ASSERT_EQ(run_zanek(ref, j).exit_code, 0);
        states.push_back(read_file(ref + "/" + job + ".bin"));
    }
    for (std::size_t c = 1; c + 1 < jobs.size(); ++c) {
        for (long long free : {64LL << 10, 512LL << 10}) {
            SCOPED_TRACE(jobs[c] + std::to_string(free >> 10) + " KB free");
            for (const std::string& copy : working_copies(dir, job)) fs::remove(copy);
            disc.free_all();
            write_file(path, states[c - 1]);
            disc.leave_free(free);
            RunResult r = run_zanek(dir, jobs[c]);
            const std::string now = read_file(path);
            EXPECT_TRUE(now == states[c - 1] || (r.exit_code == 0 && now == states[c])) << r.exit_code;
            failed += r.exit_code != 0;
            EXPECT_TRUE(working_copies(dir, job).empty());
            disc.free_all();
            write_file(path, states[c - 1]);
            ASSERT_EQ(run_zanek(dir, jobs[c]).exit_code, 0);
            EXPECT_TRUE(read_file(path) == states[c]);
        }
    }
    EXPECT_GE(failed, 1);  // the disc was full for some of them
    // The solved file exports with 64 KB left, and stays as it was.
    write_file(path, states[jobs.size() - 2]);
    disc.leave_free(64 << 10);
    RunResult exported = run_zanek(dir, jobs.back());
    EXPECT_EQ(exported.exit_code, 0) << exported.listing;
    EXPECT_TRUE(read_file(dir + "/" + job + ".ins") == read_file(ref + "/" + job + ".ins"));
    EXPECT_TRUE(read_file(path) == states[jobs.size() - 2]);
    // A new index for the file starts a new file: nothing of the old is copied.
    RunResult initialized = run_zanek(dir, head_of(jobs[0]) + "%initialize\n%end\n");
    EXPECT_EQ(initialized.exit_code, 0) << initialized.listing;
    EXPECT_NE(initialized.listing.find("Direct access structure file has been initialized"), std::string::npos);
    EXPECT_LT(read_file(path).size(), states[jobs.size() - 2].size());
}

}  // namespace
}  // namespace zanek::test
