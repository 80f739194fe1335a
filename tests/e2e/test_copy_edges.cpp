// The working copy of a storing command at its edges: it is private while
// its data is copied; the copy kept from the command before is given the
// file's bits and attributes again, as the user may have changed them
// between two commands; a copy that could not be made whole (or brought up
// to date) is never used; and a folder not flushed after the swap is said.
// The runs are paused by the write seam (stop:K) where the files must be
// looked at or changed.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

#include "tests/support/test_support.h"

namespace zanek::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kJob = "fecl_r3c_synth";
constexpr const char* kAttribute = "user.sample";
constexpr const char* kFolderNotFlushed =
    " *** warning *** the folder of fecl_r3c_synth.bin could not be flushed to the disc: ";

// The program run on dir/job.cmd with the write seam set to stop it at
// event k; a run of fewer events ends without stopping. The run gets the
// most open umask, so that a file it creates with any default mode shows.
class PausedRun {
public:
    PausedRun(const std::string& dir, int k) : PausedRun(dir, "stop:" + std::to_string(k)) {}
    // With the seam's faults, one of them a stop.
    PausedRun(const std::string& dir, const std::string& faults) {
        pid_ = start_zanek(dir, faults, true);
        int status = 0;
        if (pid_ < 0 || ::waitpid(pid_, &status, WUNTRACED) != pid_) {
            pid_ = -1;
            return;
        }
        if (WIFSTOPPED(status)) return;
        pid_ = -1;
        exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // A run still paused is killed: it leaves its copy behind.
    ~PausedRun() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    PausedRun(const PausedRun&) = delete;
    PausedRun& operator=(const PausedRun&) = delete;

    bool paused() const { return pid_ > 0; }
    // Continues the paused run; its exit code.
    int go_on() {
        if (pid_ <= 0) return exit_code_;
        ::kill(pid_, SIGCONT);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return exit_code_;
    }

private:
    pid_t pid_ = -1;
    int exit_code_ = -1;
};

mode_t bits_of(const std::string& path) {
    struct stat sb {};
    EXPECT_EQ(::stat(path.c_str(), &sb), 0) << path;
    return sb.st_mode & 07777;
}

// The value of the sample attribute of the file; nullopt when it has none.
std::optional<std::string> attribute_of(const std::string& path) {
    char buf[256];
    const ssize_t n = ::getxattr(path.c_str(), kAttribute, buf, sizeof buf);
    if (n < 0) return std::nullopt;
    return std::string(buf, static_cast<std::size_t>(n));
}

// Gives the file the sample attribute, or takes it away (nullopt).
bool set_attribute(const std::string& path, const std::optional<std::string>& value) {
    if (!value) return ::removexattr(path.c_str(), kAttribute) == 0 || errno == ENODATA;
    return ::setxattr(path.c_str(), kAttribute, value->data(), value->size(), 0) == 0;
}

// A folder with the test job's structure file as its first commands leave
// it, run one per run, and the job of a few commands that a test runs on
// it in one run.
class CopyEdges : public ::testing::Test {
protected:
    std::vector<std::string> jobs;
    std::string dir, path, head;
    std::string before, after;  // the file before the run and as a run without faults leaves it

    // Runs the first commands of the test job, one run each, for the file
    // before the run; the given commands are the run's job.
    void prepare(const std::string& folder, std::size_t commands_before, const std::string& commands) {
        jobs = one_command_jobs(kJob);
        dir = job_copy(folder, kJob, false);
        path = dir + "/" + kJob + ".bin";
        head = jobs[0].substr(0, jobs[0].find("%data"));
        for (std::size_t c = 0; c < commands_before; ++c) ASSERT_EQ(run_zanek(dir, jobs[c]).exit_code, 0) << jobs[c];
        before = read_file(path);
        after = file_after(commands);
        ASSERT_FALSE(after == before);
        write_file(dir + "/job.cmd", head + commands + "%end\n");
    }
    // The file that the commands, run once without faults from the file
    // before, leave.
    std::string file_after(const std::string& commands) {
        reset();
        const RunResult r = run_zanek(dir, head + commands + "%end\n", "reference.cmd", "reference.lis");
        EXPECT_EQ(r.exit_code, 0) << r.listing;
        const std::string file = read_file(path);
        reset();
        return file;
    }
    // The file as it was before the run, with nothing beside it.
    void reset() {
        for (const std::string& copy : working_copies(dir, kJob)) fs::remove(copy);
        write_file(path, before);
    }
    int events_of_run() {
        return writes_of_run([&](int k) {
            reset();
            return run_zanek(dir, "", "job.cmd", "job.lis", "ZANEK_WRITE_FAULT=kill:" + std::to_string(k)).exit_code;
        });
    }
    // A failing disc counts the reads of the file as events too; a failure
    // of one event only shows in the run's exit code or its listing.
    int events_of_run_counting_reads() {
        reset();
        const std::string clean = run_zanek(dir, "").listing;
        return test::events_of_run([&](int k) {
            const RunResult r = run_failing_at(k);
            return r.exit_code != 0 || r.listing != clean;
        });
    }
    // The run, from the file before it, on a disc that fails at event k only.
    RunResult run_failing_at(int k) {
        reset();
        return run_zanek(dir, "", "job.cmd", "job.lis", "ZANEK_WRITE_FAULT=fail:" + std::to_string(k) + ":1");
    }
    // The first event at which a run paused there finds what `seen` looks
    // for, seen from that event on until the run ends (a run that ended
    // before the event counts as seen). setup readies the file first.
    int first_event_where(const std::function<bool()>& seen, const std::function<void()>& setup = [] {}) {
        int low = 1, high = events_of_run() + 1;
        while (low < high) {
            const int mid = low + (high - low) / 2;
            reset();
            setup();
            PausedRun run(dir, mid);
            if (!run.paused() || seen()) high = mid;
            else low = mid + 1;
        }
        reset();
        return low;
    }
    bool swapped() const { return !(read_file(path) == before); }
};

// ---------------------------------------------------------------------
// The copy kept from the command before

// A change the user makes to the structure file between two commands of
// one run: its bits, and its sample attribute (nullopt: none).
struct ChangeBetween {
    const char* name;
    mode_t bits_before, bits_between;
    std::optional<std::string> attribute_before, attribute_between;
};
void PrintTo(const ChangeBetween& c, std::ostream* os) { *os << c.name; }

class ChangedBetweenCommands : public CopyEdges, public ::testing::WithParamInterface<ChangeBetween> {};

// The run of %normal and %seminvariants is paused when the first command's
// copy has just become the file (at the flush of its folder); the user
// changes the file; the second command's copy, made from the file the
// first replaced, carries the file's bits and attributes as they are now.
TEST_P(ChangedBetweenCommands, SecondCommandKeepsWhatTheUserChanged) {
    const ChangeBetween& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(prepare("changed_between_" + std::string(c.name), 1, "%normal\n%seminvariants\n"));
    auto as_before = [&] {
        ::chmod(path.c_str(), c.bits_before);
        set_attribute(path, c.attribute_before);
    };
    if ((c.attribute_before || c.attribute_between) && !set_attribute(path, "probe"))
        GTEST_SKIP() << "the file system of the test folder keeps no user attributes";
    const int between = first_event_where([&] { return swapped(); }, as_before);
    as_before();
    PausedRun run(dir, between);
    ASSERT_TRUE(run.paused());
    ASSERT_FALSE(read_file(path) == before);
    ASSERT_FALSE(read_file(path) == after);
    // The file the first command replaced waits beside it, not yet brought
    // up to date for the second.
    const std::vector<std::string> kept = working_copies(dir, kJob);
    ASSERT_EQ(kept.size(), 1u);
    ASSERT_TRUE(read_file(kept[0]) == before);
    ASSERT_EQ(::chmod(path.c_str(), c.bits_between), 0);
    ASSERT_TRUE(set_attribute(path, c.attribute_between));
    EXPECT_EQ(run.go_on(), 0) << read_file(dir + "/job.lis");
    EXPECT_TRUE(read_file(path) == after);
    EXPECT_EQ(bits_of(path), c.bits_between) << std::oct << bits_of(path);
    EXPECT_EQ(attribute_of(path), c.attribute_between);
    EXPECT_TRUE(working_copies(dir, kJob).empty());
}

const ChangeBetween kChangesBetween[] = {
    {"bits_taken_away", 0644, 0600, std::nullopt, std::nullopt},
    {"bits_given", 0600, 0664, std::nullopt, std::nullopt},
    {"attribute_changed", 0644, 0644, "crystal 7", "crystal 8"},
    {"attribute_added", 0644, 0644, std::nullopt, "crystal 8"},
    {"attribute_removed", 0644, 0644, "crystal 7", std::nullopt},
};
INSTANTIATE_TEST_SUITE_P(Changes, ChangedBetweenCommands, ::testing::ValuesIn(kChangesBetween),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------
// The copy while it is made

class PrivateWhileMade : public CopyEdges, public ::testing::WithParamInterface<mode_t> {};

// %normal is paused at the first extent its new copy receives: the copy is
// there beside the file, still without the file's data, and no one but its
// owner may open it. When the run ends, the file has its own bits again.
TEST_P(PrivateWhileMade, NoOneButTheOwnerReachesTheCopyWhileItsDataIsCopied) {
    const mode_t bits = GetParam();
    ASSERT_NO_FATAL_FAILURE(prepare("private_copy_" + std::to_string(bits), 1, "%normal\n"));
    auto with_bits = [&] { ::chmod(path.c_str(), bits); };
    const int copying = first_event_where([&] { return !working_copies(dir, kJob).empty(); }, with_bits);
    with_bits();
    PausedRun run(dir, copying);
    ASSERT_TRUE(run.paused());
    const std::vector<std::string> copies = working_copies(dir, kJob);
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_FALSE(read_file(copies[0]) == before);  // its data is still being copied
    EXPECT_EQ(bits_of(copies[0]) & 077, 0u) << std::oct << bits_of(copies[0]);
    EXPECT_EQ(run.go_on(), 0) << read_file(dir + "/job.lis");
    EXPECT_TRUE(read_file(path) == after);
    EXPECT_EQ(bits_of(path), bits) << std::oct << bits_of(path);
}

INSTANTIATE_TEST_SUITE_P(Bits, PrivateWhileMade, ::testing::Values(0600, 0640),
                         [](const auto& info) { return "mode_0" + std::to_string(info.param >> 6) +
                                                       std::to_string(info.param >> 3 & 7) +
                                                       std::to_string(info.param & 7); });

// ---------------------------------------------------------------------
// A copy that could not be made whole

// The disc full, or failing, at one event only of a run of %seminvariants
// and %patterson, two storing commands of which neither rewrites every
// record of the file: the first works on a whole copy of the file, the
// second on the file the first replaced, brought up to date. A copy that
// misses a piece of the file is never used: the run ends ok only with the
// file a run without faults leaves (and a failing disc met on the way is
// said, as only a folder not flushed may be passed over); else it ends in
// error with the file as it was before one of the commands or after both.
// Either way the next run opens it.
class DiscFailsForAMoment : public CopyEdges, public ::testing::WithParamInterface<const char*> {};

TEST_P(DiscFailsForAMoment, RunEndsOkOnlyWithTheWholeFile) {
    const std::string kind = GetParam();
    ASSERT_NO_FATAL_FAILURE(prepare("disc_fails_" + kind, 2, "%seminvariants\n%patterson\n"));
    const std::string between = file_after("%seminvariants\n");
    ASSERT_FALSE(between == before || between == after);
    const int events = kind == "fail" ? events_of_run_counting_reads() : events_of_run();
    ASSERT_GT(events, 20);
    for (int k = 1; k <= events; ++k) {
        SCOPED_TRACE(kind + " at event " + std::to_string(k) + " of " + std::to_string(events));
        reset();
        const RunResult r = run_zanek(dir, "", "job.cmd", "job.lis", "ZANEK_WRITE_FAULT=" + kind + ":" +
                                                                      std::to_string(k) + ":1");
        const std::string now = read_file(path);
        if (r.exit_code == 0) {
            EXPECT_TRUE(now == after);
            if (kind == "fail") {
                EXPECT_NE(r.listing.find(kFolderNotFlushed), std::string::npos) << r.listing;
            }
        } else {
            EXPECT_TRUE(now == before || now == between || now == after);
        }
        EXPECT_TRUE(working_copies(dir, kJob).empty());
        const RunResult next = run_zanek(dir, head + "%end\n", "open.cmd", "open.lis");
        EXPECT_EQ(next.exit_code, 0) << next.listing;
        if (HasFailure()) return;
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, DiscFailsForAMoment, ::testing::Values("full", "fail"),
                         [](const auto& info) { return std::string(info.param); });

// ---------------------------------------------------------------------
// The folder flushed after the swap

// The commands of the run, and a name for them.
struct StoringRun {
    const char* name;
    const char* commands;
};
void PrintTo(const StoringRun& r, std::ostream* os) { *os << r.name; }

ino_t inode_of(const std::string& path) {
    struct stat sb;
    return ::stat(path.c_str(), &sb) == 0 ? sb.st_ino : 0;
}

class FolderNotFlushed : public CopyEdges, public ::testing::WithParamInterface<StoringRun> {};

// The disc fails only at the flush of the folder after the first swap of
// the run: the file is as the command left it, and what the run then does
// is done, so the run ends ok, but it says that the swap may not be on the
// disc yet.
TEST_P(FolderNotFlushed, RunEndsOkAndSaysSo) {
    ASSERT_NO_FATAL_FAILURE(prepare(std::string("folder_not_flushed_") + GetParam().name, 1, GetParam().commands));
    // Right after the swap, the first event that finds the command's copy
    // at the file's name is the flush of the folder. A failing disc counts
    // the reads before it as events too: there, it is the first event from
    // that one on whose failure leaves a run that ends ok.
    const int flush = first_event_where([&] { return swapped(); });
    const int events = events_of_run_counting_reads();
    RunResult r;
    int failed_at = flush;
    for (; failed_at <= events; ++failed_at)
        if ((r = run_failing_at(failed_at)).exit_code == 0) break;
    EXPECT_EQ(r.exit_code, 0) << r.listing;
    EXPECT_NE(r.listing.find(kFolderNotFlushed), std::string::npos) << r.listing;
    EXPECT_TRUE(read_file(path) == after);
    EXPECT_TRUE(working_copies(dir, kJob).empty());
    // The file the swap replaced is not written in place by the next
    // command: a power cut could give it back the file's name, half
    // rewritten. Right after the flush failed, it is gone from beside the
    // file.
    reset();
    const ino_t replaced = inode_of(path);
    PausedRun run(dir, "fail:" + std::to_string(failed_at) + ":1,stop:" + std::to_string(failed_at + 1));
    ASSERT_TRUE(run.paused());
    for (const std::string& copy : working_copies(dir, kJob)) EXPECT_NE(inode_of(copy), replaced) << copy;
    EXPECT_EQ(run.go_on(), 0);
}

INSTANTIATE_TEST_SUITE_P(Runs, FolderNotFlushed,
                         ::testing::Values(StoringRun{"one_command", "%normal\n"},
                                           StoringRun{"two_commands", "%normal\n%seminvariants\n"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zanek::test
