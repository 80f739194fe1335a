// The name of the structure file between the opening and the end of a
// command: a file the user puts at the name while a command runs is never
// written over (the command fails and says so), and a file of any name the
// folder allows, reached through a shorter link, is stored like any other.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "platform/durable.h"
#include "tests/support/test_support.h"

namespace zanek::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kJob = "fecl_r3c_synth";

// A structure file made by one-command runs up to %phase, and %phase to
// run on it, stopped at an event of the write seam while the test changes
// the files.
class PhaseOnTheFile : public ::testing::Test {
protected:
    std::vector<std::string> jobs = one_command_jobs(kJob);
    std::string dir, path, before;

    void prepare(const std::string& folder) {
        dir = job_copy(folder, kJob, false);
        path = dir + "/" + kJob + ".bin";
        for (std::size_t c = 0; c < 4; ++c) ASSERT_EQ(run_zanek(dir, jobs[c]).exit_code, 0) << jobs[c];
        before = read_file(path);
        write_file(dir + "/job.cmd", jobs[4]);
    }
    // The file as before %phase, and nothing beside it but the job's files.
    void reset() const {
        for (const auto& e : fs::directory_iterator(dir))
            if (e.path().extension() != ".hkl" && e.path().extension() != ".cmd") fs::remove(e.path());
        write_file(path, before);
    }
    // The writes of %phase, counted by killing it.
    int writes() const {
        return writes_of_run([&](int k) {
            reset();
            return run_zanek(dir, "", "job.cmd", "job.lis", "ZANEK_WRITE_FAULT=kill:" + std::to_string(k)).exit_code;
        });
    }
    // Runs %phase from the file before it with the seam's faults, one of
    // them a stop at which change is made; its exit code (-1 when it did
    // not stop) and listing.
    RunResult run_changed_at(const std::string& faults, const std::function<void()>& change) const {
        reset();
        const pid_t pid = start_zanek(dir, faults);
        int status = 0;
        if (::waitpid(pid, &status, WUNTRACED) != pid || !WIFSTOPPED(status)) return RunResult{-1, "", ""};
        change();
        ::kill(pid, SIGCONT);
        RunResult r;
        r.exit_code = exit_code_of(pid);
        r.listing = file_exists(dir + "/job.lis") ? read_file(dir + "/job.lis") : "";
        return r;
    }
};

// While %phase runs (stopped at one of its writes), the user moves the
// structure file away and copies another structure file to its name: the
// command fails, the file put there and the file moved away are as they
// were, and nothing is left beside them.
TEST_F(PhaseOnTheFile, FilePutThereWhileACommandRunsIsNeverWrittenOver) {
    ASSERT_NO_FATAL_FAILURE(prepare("put_at_the_name"));
    const std::string moved = path + ".moved";
    const std::string other = before.substr(0, before.size() / 2) + std::string(before.size() / 2, 'x');
    const int events = writes();
    ASSERT_GE(events, 32);
    // Early in the command, and well inside it.
    for (int k : {2, events / 2}) {
        SCOPED_TRACE("the file is replaced at write " + std::to_string(k));
        const RunResult r = run_changed_at("stop:" + std::to_string(k), [&] {
            fs::rename(path, moved);
            write_file(path, other);
        });
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_NE(r.listing.find(" *** error *** " + std::string(kJob) +
                                 ".bin is no longer the file this run opened: it was moved or replaced meanwhile"),
                  std::string::npos)
            << r.listing;
        EXPECT_TRUE(read_file(path) == other);
        EXPECT_TRUE(read_file(moved) == before);
        EXPECT_TRUE(working_copies(dir, kJob).empty());
    }
    // Moved away and nothing put there: the command fails as well, and
    // makes no file at the name.
    EXPECT_EQ(run_changed_at("stop:2", [&] { fs::rename(path, moved); }).exit_code, 1);
    EXPECT_FALSE(file_exists(path));
    EXPECT_TRUE(read_file(moved) == before);
}

// The files beside the structure file that this run gave a name of their
// own: a file the user put at one of the run's names.
std::vector<std::string> found_files(const std::string& dir) {
    std::vector<std::string> found;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().rfind(std::string(kJob) + ".bin.zanek-found-", 0) == 0)
            found.push_back(e.path().string());
    return found;
}

// While %phase runs (stopped at one of its writes), the user renames a file
// onto the name of the run's working copy: that file is neither put at the
// structure file's name nor removed, by this run or the next; it is given
// a name of its own and the listing says which.
TEST_F(PhaseOnTheFile, FileRenamedOntoTheWorkingCopyIsNeitherInstalledNorRemoved) {
    ASSERT_NO_FATAL_FAILURE(prepare("renamed_onto_copy"));
    const std::string users = dir + "/mine.bin";
    const std::string other = before.substr(0, before.size() / 2) + std::string(before.size() / 2, 'x');
    const int events = writes();
    ASSERT_GE(events, 32);
    const RunResult r = run_changed_at("stop:" + std::to_string(events / 2), [&] {
        const std::vector<std::string> copies = working_copies(dir, kJob);
        ASSERT_EQ(copies.size(), 1u);
        write_file(users, other);
        fs::rename(users, copies[0]);
    });
    EXPECT_EQ(r.exit_code, 1);
    const std::string& listing = r.listing;
    EXPECT_NE(listing.find(" *** error *** the working copy of " + std::string(kJob) + ".bin was moved or replaced"),
              std::string::npos)
        << listing;
    const std::vector<std::string> found = found_files(dir);
    ASSERT_EQ(found.size(), 1u) << listing;
    EXPECT_NE(listing.find("is kept as " + found[0]), std::string::npos) << listing;
    EXPECT_TRUE(read_file(found[0]) == other);
    EXPECT_TRUE(read_file(path) == before);
    EXPECT_TRUE(working_copies(dir, kJob).empty());
    // The next run stores as usual and leaves the user's file alone.
    const RunResult next = run_zanek(dir, jobs[4]);
    EXPECT_EQ(next.exit_code, 0) << next.listing;
    EXPECT_TRUE(read_file(found[0]) == other);
}

// Whatever ends the run right after the swap brought a file put at the
// structure file's name to the working copy's name (the swap back fails,
// the process is killed, the power fails), that file is never lost and
// never lies under the copy's name alone: it is at the structure file's
// name or at a name of its own, which the listing gives where it is
// written, and the next run removes nothing of it.
TEST_F(PhaseOnTheFile, FilePutThereSurvivesAFaultAtTheSwapBack) {
    ASSERT_NO_FATAL_FAILURE(prepare("swap_back"));
    const std::string moved = dir + "/moved.bin";
    const std::string other(before.size(), 'u');
    auto run_replaced_at = [&](const std::string& faults) {
        return run_changed_at(faults, [&] {
            fs::rename(path, moved);
            write_file(path, other);
        });
    };
    // The event of the swap: the last at which a file put at the name is
    // still found out.
    int low = 1, high = writes();
    while (low < high) {
        const int mid = (low + high + 1) / 2;
        if (run_replaced_at("stop:" + std::to_string(mid)).exit_code == 1) low = mid;
        else high = mid - 1;
    }
    const int swap = low;
    ASSERT_EQ(run_replaced_at("stop:" + std::to_string(swap)).exit_code, 1);
    const std::string swap_back = std::to_string(swap + 1);
    const RunResult failed = run_replaced_at("stop:" + std::to_string(swap) + ",full:" + swap_back + ":1");
    EXPECT_EQ(failed.exit_code, 1);
    EXPECT_NE(failed.listing.find("could not be given its name back"), std::string::npos) << failed.listing;
    for (const std::string& fault : {"full:" + swap_back + ":1", "full:" + swap_back, "kill:" + swap_back,
                                     "cut:" + swap_back, "kill:" + std::to_string(swap + 2)}) {
        SCOPED_TRACE("the file put at the name, then " + fault);
        const RunResult r = run_replaced_at("stop:" + std::to_string(swap) + "," + fault);
        EXPECT_NE(r.exit_code, 0);
        // The next run on the file removes what a run left under the
        // copy's name.
        const RunResult next = run_zanek(dir, jobs[4].substr(0, jobs[4].find("%phase")) + "%end\n", "open.cmd", "open.lis");
        EXPECT_TRUE(read_file(moved) == before);
        std::vector<std::string> holding;
        for (const auto& e : fs::directory_iterator(dir))
            if (e.is_regular_file() && read_file(e.path().string()) == other) holding.push_back(e.path().string());
        ASSERT_FALSE(holding.empty()) << r.listing << next.listing;
        for (const std::string& name : holding) {
            EXPECT_TRUE(name == path || name.find(".zanek-found-") != std::string::npos) << name;
            if (name != path && !r.listing.empty()) {
                EXPECT_NE(r.listing.find(name), std::string::npos) << r.listing;
            }
        }
        EXPECT_TRUE(working_copies(dir, kJob).empty());
    }
}

// A second hard link to the structure file keeps what it held before the
// run, whatever the run did through the other name: the file a command
// replaced is never written in place while another name leads to it, and
// a run killed at any event of its second command leaves it whole.
TEST(FileAtTheName, SecondHardLinkKeepsWhatItHeldBeforeTheRun) {
    const std::vector<std::string> jobs = one_command_jobs(kJob);
    const std::string dir = job_copy("hard_link", kJob, false);
    const std::string path = dir + "/" + kJob + ".bin", link = dir + "/other.bin";
    ASSERT_EQ(run_zanek(dir, jobs[0]).exit_code, 0);
    const std::string before = read_file(path);
    const std::string job = jobs[1].substr(0, jobs[1].find("%normal")) + "%normal\n%seminvariants\n%invariants\n%end\n";
    write_file(dir + "/job.cmd", job);
    auto fresh_links = [&] {
        fs::remove(path);
        fs::remove(link);
        for (const std::string& copy : working_copies(dir, kJob)) fs::remove(copy);
        write_file(path, before);
        fs::create_hard_link(path, link);
    };
    fresh_links();
    const RunResult whole = run_zanek(dir, "", "job.cmd", "job.lis");
    ASSERT_EQ(whole.exit_code, 0) << whole.listing;
    EXPECT_FALSE(read_file(path) == before);
    EXPECT_TRUE(read_file(link) == before);
    const int writes = writes_of_run([&](int k) {
        fresh_links();
        return run_zanek(dir, "", "job.cmd", "job.lis", "ZANEK_WRITE_FAULT=kill:" + std::to_string(k)).exit_code;
    });
    ASSERT_GT(writes, 10);
    // Every command of the run, the later ones writing into what the one
    // before replaced.
    const int step = std::max(1, writes / 24);
    for (int k = 1; k <= writes; k += step) {
        SCOPED_TRACE("killed at event " + std::to_string(k) + " of " + std::to_string(writes));
        fresh_links();
        ASSERT_EQ(run_zanek(dir, "", "job.cmd", "job.lis", "ZANEK_WRITE_FAULT=kill:" + std::to_string(k)).exit_code,
                  kSeamExitCode);
        EXPECT_TRUE(read_file(link) == before);
    }
}

// A file system (or a sandbox) that cannot swap two names in one step:
// every command stores by a check that the name still leads to the file
// the run opened, then a rename over it; a file put at the name is never
// written over there either.
class WithoutTheSwap : public ::testing::TestWithParam<const char*> {};

TEST_P(WithoutTheSwap, CommandsStoreByCheckAndRenameAndNeverWriteOverAFilePutThere) {
    const std::vector<std::string> jobs = one_command_jobs(kJob);
    const std::string dir = job_copy(std::string("no_swap_") + GetParam(), kJob, false);
    const std::string path = dir + "/" + kJob + ".bin", moved = path + ".moved";
    const std::string no_swap = std::string("ZANEK_NO_EXCHANGE=") + GetParam();
    ASSERT_EQ(run_zanek(dir, jobs[0]).exit_code, 0);
    const std::string before = read_file(path);
    const std::string job = jobs[1].substr(0, jobs[1].find("%normal")) + "%normal\n%seminvariants\n%end\n";
    ASSERT_EQ(run_zanek(dir, job).exit_code, 0);
    const std::string swapped = read_file(path);
    write_file(path, before);
    const RunResult r = run_zanek(dir, job, "job.cmd", "job.lis", no_swap);
    EXPECT_EQ(r.exit_code, 0) << r.listing;
    EXPECT_TRUE(read_file(path) == swapped);
    EXPECT_TRUE(working_copies(dir, kJob).empty());
    // The file moved away and another put at its name while the second
    // command runs.
    write_file(path, before);
    write_file(dir + "/job.cmd", job);
    ::setenv("ZANEK_NO_EXCHANGE", GetParam(), 1);
    const pid_t pid = start_zanek(dir, "stop:" + std::to_string(writes_of_run([&](int k) {
                                            return run_zanek(dir, "", "job.cmd", "job.lis",
                                                             no_swap + " ZANEK_WRITE_FAULT=kill:" + std::to_string(k))
                                                .exit_code;
                                        }) / 2));
    ::unsetenv("ZANEK_NO_EXCHANGE");
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, WUNTRACED), pid);
    ASSERT_TRUE(WIFSTOPPED(status));
    const std::string other(before.size(), 'x');
    fs::rename(path, moved);
    write_file(path, other);
    ::kill(pid, SIGCONT);
    EXPECT_EQ(exit_code_of(pid), 1);
    EXPECT_NE(read_file(dir + "/job.lis").find(" is no longer the file this run opened"), std::string::npos);
    EXPECT_TRUE(read_file(path) == other);
    EXPECT_TRUE(working_copies(dir, kJob).empty());
}

INSTANTIATE_TEST_SUITE_P(FileSystems, WithoutTheSwap, ::testing::Values("EINVAL", "ENOSYS"),
                         [](const auto& info) { return std::string(info.param); });

// A structure file whose real name is as long as a name can be, reached
// through a link with a short name: every command stores, and a working
// copy a killed run left beside it is found and removed by the next run.
TEST(FileAtTheName, LongestNameThroughALinkIsStoredAndItsLeftoverFound) {
    const std::vector<std::string> jobs = one_command_jobs(kJob);
    const std::string ref = job_copy("long_name_ref", kJob, false), dir = job_copy("long_name", kJob, false);
    const std::string path = dir + "/" + kJob + ".bin";
    ASSERT_EQ(run_zanek(dir, jobs[0]).exit_code, 0);
    ASSERT_EQ(run_zanek(ref, jobs[0]).exit_code, 0);
    for (std::size_t length : {236u, 255u}) {
        SCOPED_TRACE(std::to_string(length) + " characters");
        const std::string real = dir + "/" + std::string(length - 4, 'n') + ".bin";
        fs::rename(fs::exists(path) && !fs::is_symlink(path) ? path : fs::canonical(path).string(), real);
        fs::remove(path);
        fs::create_symlink(fs::path(real).filename(), path);
        const std::string before = read_file(real);
        write_file(dir + "/job.cmd", jobs[1]);
        EXPECT_EQ(run_zanek(dir, "", "job.cmd", "job.lis", "ZANEK_WRITE_FAULT=kill:3").exit_code, kSeamExitCode);
        EXPECT_TRUE(read_file(real) == before);
        const RunResult r = run_zanek(dir, jobs[1]);
        EXPECT_EQ(r.exit_code, 0) << r.listing;
        EXPECT_NE(r.listing.find("it is removed unread"), std::string::npos) << r.listing;
        EXPECT_TRUE(fs::is_symlink(path));
        for (const auto& e : fs::directory_iterator(dir))
            EXPECT_EQ(e.path().filename().string().find(".zanek-work-"), std::string::npos) << e.path();
        // The file stored as a plain name stores it.
        ASSERT_EQ(run_zanek(ref, jobs[1]).exit_code, 0);
        EXPECT_TRUE(read_file(real) == read_file(ref + "/" + kJob + ".bin"));
        write_file(real, before);
        write_file(ref + "/" + kJob + ".bin", before);
    }
}

}  // namespace
}  // namespace zanek::test
