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
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "platform/durable.h"
#include "tests/support/test_support.h"

namespace zanek::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kJob = "fecl_r3c_synth";
// Longer than any run of the program takes here: a run still going then
// waits for something that never comes.
constexpr int kRunSeconds = 120;

// The files in dir whose names hold part, whatever the structure file's
// name: its working copies (".zanek-work-"), or the files of the user's
// that a run gave a name of their own (".zanek-found-").
std::vector<std::string> names_holding(const std::string& dir, const std::string& part) {
    std::vector<std::string> found;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().find(part) != std::string::npos) found.push_back(e.path().string());
    return found;
}

// The first name of its own that a run gives a file of the user's, from
// the name of that run's working copy: without its leading dot, and with
// "found" for "work".
std::string first_found_name(const std::string& copy) {
    const std::string name = fs::path(copy).filename().string(), work = ".zanek-work-";
    const std::size_t at = name.rfind(work);
    return fs::path(copy).parent_path().string() + "/" + name.substr(1, at - 1) + ".zanek-found-" +
           name.substr(at + work.size());
}

bool is_pipe(const std::string& path) {
    struct stat sb;
    return ::lstat(path.c_str(), &sb) == 0 && S_ISFIFO(sb.st_mode);
}

// A pipe named path, in place of a plain file a user could put there.
void make_pipe(const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0) << path; }

// A structure file made by one-command runs up to %phase, and %phase to
// run on it, stopped at an event of the write seam while the test changes
// the files.
class PhaseOnTheFile : public ::testing::Test {
protected:
    std::vector<std::string> jobs = one_command_jobs(kJob);
    std::string dir, path, real, before;

    void prepare(const std::string& folder) {
        dir = job_copy(folder, kJob, false);
        path = real = dir + "/" + kJob + ".bin";
        for (std::size_t c = 0; c < 4; ++c) ASSERT_EQ(run_zanek(dir, jobs[c]).exit_code, 0) << jobs[c];
        before = read_file(path);
        write_file(dir + "/job.cmd", jobs[4]);
    }
    // The structure file is given a real name of length characters, and
    // the job reaches it through a symbolic link.
    void give_long_name(std::size_t length) {
        real = dir + "/" + std::string(length - 4, 'n') + ".bin";
        fs::rename(path, real);
        fs::create_symlink(fs::path(real).filename(), path);
    }
    // The file as before %phase, and nothing beside it but the job's files.
    void reset() const {
        for (const auto& e : fs::directory_iterator(dir))
            if (e.path().extension() != ".hkl" && e.path().extension() != ".cmd") fs::remove(e.path());
        write_file(real, before);
        if (real != path) fs::create_symlink(fs::path(real).filename(), path);
    }
    // The run started as pid: its exit code (-2 when it did not end within
    // kRunSeconds), listing and console.
    RunResult ended(pid_t pid) const {
        RunResult r;
        r.exit_code = exit_code_within(pid, kRunSeconds);
        r.listing = file_exists(dir + "/job.lis") ? read_file(dir + "/job.lis") : "";
        r.output = read_file(dir + "/console.out");
        return r;
    }
    RunResult run_whole() const { return ended(start_zanek(dir)); }
    // The writes of %phase, counted by killing it. With also, faults that
    // act past the run's end: a disc that fails there makes the seam count
    // reads among the events, as it does for any run with a failing disc.
    int writes(const std::string& also = "") const {
        return writes_of_run([&](int k) {
            reset();
            return run_zanek(dir, "", "job.cmd", "job.lis", "ZANEK_WRITE_FAULT=kill:" + std::to_string(k) + also)
                .exit_code;
        });
    }
    // Runs %phase from the file before it with the seam's faults, one of
    // them a stop at which change is made; its exit code (-1 when it did
    // not stop, -2 when it did not end in time), listing and console.
    RunResult run_changed_at(const std::string& faults, const std::function<void()>& change) const {
        reset();
        const pid_t pid = start_zanek(dir, faults);
        int status = 0;
        if (::waitpid(pid, &status, WUNTRACED) != pid || !WIFSTOPPED(status)) return RunResult{-1, "", ""};
        change();
        ::kill(pid, SIGCONT);
        return ended(pid);
    }
    // Where run_replaced_at moves the structure file, and what it puts at
    // its name.
    std::string moved() const { return dir + "/moved.bin"; }
    std::string put_there() const { return std::string(before.size(), 'u'); }
    // Runs %phase with the seam's faults, the structure file moved away and
    // another file put at its name at the stop among them.
    RunResult run_replaced_at(const std::string& faults) const {
        return run_changed_at(faults, [&] {
            fs::rename(path, moved());
            write_file(path, put_there());
        });
    }
    // The event of the swap of %phase's copy with the file: the last at
    // which a file put at the name is still found out.
    int swap_event() const {
        int low = 1, high = writes();
        while (low < high) {
            const int mid = (low + high + 1) / 2;
            if (run_replaced_at("stop:" + std::to_string(mid)).exit_code == 1) low = mid;
            else high = mid - 1;
        }
        return low;
    }
    // Renames a new file holding bytes (or, when bytes is empty, a pipe)
    // onto the one working copy beside the file; the copy's name.
    std::string rename_onto_the_copy(const std::string& bytes) const {
        const std::vector<std::string> copies = names_holding(dir, ".zanek-work-");
        EXPECT_EQ(copies.size(), 1u);
        if (copies.size() != 1) return "";
        const std::string users = dir + "/mine";
        if (bytes.empty()) make_pipe(users);
        else write_file(users, bytes);
        fs::rename(users, copies[0]);
        return copies[0];
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

// While %phase runs (stopped at one of its writes), the user renames a file
// onto the name of the run's working copy: that file is neither put at the
// structure file's name nor removed, by this run or the next; it is given
// a name of its own, passing by one already taken, and the listing says
// which. A structure file whose name is as long as a name can be is no
// different: the name of its own is shortened as the copy's is.
class RenamedOntoTheCopy : public PhaseOnTheFile, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(RenamedOntoTheCopy, FileIsNeitherInstalledNorRemovedAndKeepsANameOfItsOwn) {
    ASSERT_NO_FATAL_FAILURE(prepare("renamed_onto_copy_" + std::to_string(GetParam())));
    if (GetParam() > 0) give_long_name(GetParam());
    const std::string other = before.substr(0, before.size() / 2) + std::string(before.size() / 2, 'x');
    const int events = writes();
    ASSERT_GE(events, 32);
    std::string taken;
    const RunResult r = run_changed_at("stop:" + std::to_string(events / 2), [&] {
        // A file of an earlier run of the same number holds the first
        // name the run would give.
        taken = first_found_name(names_holding(dir, ".zanek-work-").at(0));
        write_file(taken, "an earlier run's");
        rename_onto_the_copy(other);
    });
    EXPECT_EQ(r.exit_code, 1);
    const std::string& listing = r.listing;
    EXPECT_NE(listing.find(" *** error *** the working copy of " + std::string(kJob) + ".bin was moved or replaced"),
              std::string::npos)
        << listing;
    const std::string found = taken + "-1";
    EXPECT_TRUE(file_exists(found) && read_file(found) == other) << listing;
    EXPECT_NE(listing.find("is kept as " + found), std::string::npos) << listing;
    EXPECT_TRUE(read_file(taken) == "an earlier run's");
    EXPECT_EQ(names_holding(dir, ".zanek-found-").size(), 2u);
    EXPECT_TRUE(read_file(real) == before);
    EXPECT_TRUE(names_holding(dir, ".zanek-work-").empty());
    // The next run stores as usual and leaves the user's files alone.
    const RunResult next = run_zanek(dir, jobs[4]);
    EXPECT_EQ(next.exit_code, 0) << next.listing;
    EXPECT_TRUE(file_exists(found) && read_file(found) == other);
    EXPECT_TRUE(read_file(taken) == "an earlier run's");
}

INSTANTIATE_TEST_SUITE_P(Names, RenamedOntoTheCopy, ::testing::Values(0u, 255u), [](const auto& info) {
    return info.param == 0 ? std::string("the_jobs_own") : std::to_string(info.param) + "_characters";
});

// After the last command of a run, while its end is stopped, the user
// renames a file, or a pipe, onto the name of the file that command
// replaced, kept beside the structure file until the end: the run's end
// removes nothing it did not make. A plain file is given a name of its
// own, which the listing gives; a pipe is left where it is, untouched,
// and neither this run nor the next waits on it.
class PutAtTheKeptCopysName : public PhaseOnTheFile, public ::testing::WithParamInterface<bool> {};

TEST_P(PutAtTheKeptCopysName, AfterTheLastCommandIsNeverRemoved) {
    const bool pipe = GetParam();
    ASSERT_NO_FATAL_FAILURE(prepare(pipe ? "pipe_at_the_end" : "file_at_the_end"));
    const std::string other(before.size() / 2, 'k');
    std::string kept;
    // The run's last event: its listing goes out before the run lets go
    // of the file.
    const RunResult r = run_changed_at("stop:" + std::to_string(writes()),
                                       [&] { kept = rename_onto_the_copy(pipe ? "" : other); });
    ASSERT_EQ(r.exit_code, 0) << r.listing;
    EXPECT_FALSE(read_file(path) == before);
    const std::vector<std::string> found = names_holding(dir, ".zanek-found-");
    if (pipe) {
        EXPECT_TRUE(is_pipe(kept));
        EXPECT_TRUE(found.empty());
    } else {
        ASSERT_EQ(found.size(), 1u) << r.listing;
        EXPECT_TRUE(read_file(found[0]) == other);
        EXPECT_NE(r.listing.find(" *** warning *** a file put at " + kept + " while this run held it is kept as " +
                                 found[0]),
                  std::string::npos)
            << r.listing;
        EXPECT_TRUE(names_holding(dir, ".zanek-work-").empty());
    }
    const RunResult next = run_whole();
    EXPECT_EQ(next.exit_code, 0) << next.listing;
    if (pipe) EXPECT_TRUE(is_pipe(kept));
    else EXPECT_TRUE(read_file(found[0]) == other);
}

INSTANTIATE_TEST_SUITE_P(Files, PutAtTheKeptCopysName, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "pipe" : "plain_file"); });

// A pipe at a working copy's name, left by anyone (in a shared folder,
// another user whose pipe one cannot remove), or renamed onto the copy
// while a command runs: no run waits on it, and none removes or moves it.
// The command whose copy it replaced fails; the next run ends ok.
TEST_F(PhaseOnTheFile, PipeAtACopysNameNeitherHangsARunNorIsTouched) {
    ASSERT_NO_FATAL_FAILURE(prepare("pipe_at_a_copys_name"));
    const std::string leftover = dir + "/." + kJob + ".bin.zanek-work-99999";
    reset();
    ASSERT_NO_FATAL_FAILURE(make_pipe(leftover));
    const RunResult whole = run_whole();
    EXPECT_EQ(whole.exit_code, 0) << whole.listing;
    EXPECT_TRUE(is_pipe(leftover));
    EXPECT_FALSE(read_file(path) == before);
    std::string copy;
    const RunResult r = run_changed_at("stop:" + std::to_string(writes() / 2), [&] { copy = rename_onto_the_copy(""); });
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.listing.find(" *** error *** the working copy of " + std::string(kJob) + ".bin was moved or replaced"),
              std::string::npos)
        << r.listing;
    EXPECT_TRUE(is_pipe(copy));
    EXPECT_TRUE(read_file(path) == before);
    EXPECT_TRUE(names_holding(dir, ".zanek-found-").empty());
    const RunResult next = run_whole();
    EXPECT_EQ(next.exit_code, 0) << next.listing;
    EXPECT_TRUE(is_pipe(copy));
}

// The disc fills, or fails, while a file the user renamed onto the working
// copy's name lies there: the file can be given no name of its own, and
// the listing, on the same disc, cannot be written either. The warning
// that tells the user to move the file away goes to standard error.
TEST_F(PhaseOnTheFile, WarningTheListingCannotCarryGoesToStandardError) {
    ASSERT_NO_FATAL_FAILURE(prepare("warning_on_stderr"));
    const std::string other(before.size(), 'w');
    for (const std::string fault : {"full", "fail"}) {
        SCOPED_TRACE("the disc is " + fault);
        const int stop = writes("," + fault + ":100000000") / 2;
        std::string copy;
        const RunResult r = run_changed_at("stop:" + std::to_string(stop) + "," + fault + ":" +
                                               std::to_string(stop + 1),
                                           [&] { copy = rename_onto_the_copy(other); });
        EXPECT_TRUE(r.exit_code == 1 || r.exit_code == 2) << r.output;
        EXPECT_NE(r.output.find(" *** error *** the listing file job.lis could not be written"), std::string::npos)
            << r.output;
        EXPECT_NE(r.output.find(" *** warning *** a file put at " + copy + " while this run held it is left there"),
                  std::string::npos)
            << r.output;
        EXPECT_NE(r.output.find("move it away before the next run on " + std::string(kJob) + ".bin, which removes it"),
                  std::string::npos)
            << r.output;
        EXPECT_TRUE(read_file(copy) == other);
        EXPECT_TRUE(read_file(path) == before);
    }
}

// Whatever ends the run right after the swap brought a file put at the
// structure file's name to the working copy's name (the swap back fails,
// the process is killed, the power fails), that file is never lost and
// never lies under the copy's name alone: it is at the structure file's
// name or at a name of its own, which the listing gives where it is
// written, and the next run removes nothing of it.
TEST_F(PhaseOnTheFile, FilePutThereSurvivesAFaultAtTheSwapBack) {
    ASSERT_NO_FATAL_FAILURE(prepare("swap_back"));
    const std::string moved = this->moved(), other = put_there();
    const int swap = swap_event();
    ASSERT_EQ(run_replaced_at("stop:" + std::to_string(swap)).exit_code, 1);
    const std::string swap_back = std::to_string(swap + 1);
    const RunResult failed = run_replaced_at("stop:" + std::to_string(swap) + ",full:" + swap_back + ":1");
    EXPECT_EQ(failed.exit_code, 1);
    const std::vector<std::string> found = names_holding(dir, ".zanek-found-");
    ASSERT_EQ(found.size(), 1u) << failed.listing;
    EXPECT_TRUE(read_file(found[0]) == other);
    EXPECT_FALSE(read_file(path) == before || read_file(path) == other);
    EXPECT_NE(failed.listing.find(" *** error *** the swap of " + std::string(kJob) +
                                  ".bin and its working copy could not be taken back: "),
              std::string::npos)
        << failed.listing;
    EXPECT_NE(failed.listing.find(std::string(kJob) + ".bin holds what this command stored;"), std::string::npos);
    EXPECT_NE(failed.listing.find("the file put at " + std::string(kJob) + ".bin is kept as " + found[0]),
              std::string::npos);
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

// The user renames a file onto the working copy's name at the moment of
// the swap: the swap brings that file to the structure file's name and the
// structure file to the copy's. The run sees that what came to the name is
// not its copy and swaps the two back. Whether that goes through or a full
// disc fails it, the file is never taken for the structure file, the
// structure file is never lost, and the listing says what lies where.
TEST_F(PhaseOnTheFile, FileRenamedOntoTheCopyAtTheSwapIsNeverInstalled) {
    ASSERT_NO_FATAL_FAILURE(prepare("renamed_at_the_swap"));
    const std::string other(before.size(), 'r'), job = std::string(kJob) + ".bin";
    const int swap = swap_event();
    std::string copy;
    const RunResult back = run_changed_at("stop:" + std::to_string(swap), [&] { copy = rename_onto_the_copy(other); });
    EXPECT_EQ(back.exit_code, 1);
    EXPECT_TRUE(read_file(path) == before);
    EXPECT_NE(back.listing.find(" *** error *** the working copy of " + job + " was moved or replaced meanwhile"),
              std::string::npos)
        << back.listing;
    EXPECT_EQ(back.listing.find("is no longer the file this run opened"), std::string::npos) << back.listing;
    std::vector<std::string> found = names_holding(dir, ".zanek-found-");
    ASSERT_EQ(found.size(), 1u) << back.listing;
    EXPECT_TRUE(read_file(found[0]) == other);
    EXPECT_NE(back.listing.find("is kept as " + found[0]), std::string::npos) << back.listing;
    EXPECT_TRUE(names_holding(dir, ".zanek-work-").empty());

    // The swap back fails: the file put at the copy's name stays at the
    // structure file's, and the structure file keeps a name of its own.
    const RunResult failed = run_changed_at("stop:" + std::to_string(swap) + ",full:" + std::to_string(swap + 1) + ":1",
                                            [&] { copy = rename_onto_the_copy(other); });
    EXPECT_EQ(failed.exit_code, 1);
    EXPECT_TRUE(read_file(path) == other);
    found = names_holding(dir, ".zanek-found-");
    ASSERT_EQ(found.size(), 1u) << failed.listing;
    EXPECT_TRUE(read_file(found[0]) == before);
    EXPECT_NE(failed.listing.find(job + " holds the file put at " + copy + ";"), std::string::npos) << failed.listing;
    EXPECT_NE(failed.listing.find("the structure file as before this command is kept as " + found[0]),
              std::string::npos)
        << failed.listing;
    EXPECT_TRUE(names_holding(dir, ".zanek-work-").empty());
    run_zanek(dir, jobs[4].substr(0, jobs[4].find("%phase")) + "%end\n", "open.cmd", "open.lis");
    EXPECT_TRUE(read_file(found[0]) == before);
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
