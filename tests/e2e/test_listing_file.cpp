// A listing that cannot be written (a full disc) ends the run in error,
// with a line on standard error naming the listing, whatever the commands
// did: the user must not take a run without a record for a good one.
// A listing named as a file the run reads or keeps (the command file, a
// structure file, an input file the command file names) is refused before
// anything is written; an old listing is still written over. A listing
// that is a named pipe is written into it, and the run does not wait at
// the name check for the pipe's other end.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "tests/support/test_support.h"

using namespace zanek::test;

namespace {

struct ListingCase {
    const char* name;
    const char* commands;
    const char* listing;  // second argument of the command line
    const char* stdout_to;  // where standard output goes
    const char* said;      // the line on standard error
};

void PrintTo(const ListingCase& c, std::ostream* os) { *os << c.name; }

struct Outcome {
    int exit_code = -1;
    std::string errors;
};

Outcome run_with_listing(const std::string& dir, const ListingCase& c) {
    write_file(dir + "/job.cmd", c.commands);
    const std::string cmd = "cd '" + dir + "' && env ZANEK_CLOCK='" + kFixedClock + "' '" + ZANEK_EXE + "' job.cmd " +
                            c.listing + " > " + c.stdout_to + " 2> errors.txt < /dev/null";
    const int rc = std::system(cmd.c_str());
    Outcome out;
    out.exit_code = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    out.errors = read_file(dir + "/errors.txt");
    if (out.exit_code == 86) ADD_FAILURE() << "sanitizer report:\n" << out.errors;
    return out;
}

class UnwritableListing : public ::testing::TestWithParam<ListingCase> {};

TEST_P(UnwritableListing, EndsInErrorNamingTheListing) {
    const ListingCase& c = GetParam();
    const std::string dir = fresh_dir(std::string("listing_") + c.name);
    const Outcome out = run_with_listing(dir, c);
    EXPECT_EQ(out.exit_code, 1) << out.errors;
    EXPECT_NE(out.errors.find(c.said), std::string::npos) << out.errors;
}

constexpr const char* kGoodJob = "%job fine\n%history\n%end\n";
constexpr const char* kFailedJob = "%job bad\n%frobnicate\n%end\n";

INSTANTIATE_TEST_SUITE_P(
    FullDisc, UnwritableListing,
    ::testing::Values(
        ListingCase{"good_job_listing_file", kGoodJob, "/dev/full", "out.txt",
                    " *** error *** the listing file /dev/full could not be written"},
        // A failed job ended in error already; the lost listing is said all the same.
        ListingCase{"failed_job_listing_file", kFailedJob, "/dev/full", "out.txt",
                    " *** error *** the listing file /dev/full could not be written"},
        ListingCase{"good_job_console", kGoodJob, "con", "/dev/full",
                    " *** error *** the listing file con could not be written"}),
    [](const ::testing::TestParamInfo<ListingCase>& info) { return std::string(info.param.name); });

namespace fs = std::filesystem;

struct NamedListingCase {
    const char* name;
    const char* commands;
    const char* listing;  // second argument of the command line
    const char* said;     // the refusal on standard error
};

void PrintTo(const NamedListingCase& c, std::ostream* os) { *os << c.name; }

constexpr const char* kOldListing = "the listing of an earlier run\n";

// A folder "run" with the files a user keeps beside a job: a structure file
// s.bin made by a run, a reflection file, a fragment file and a link to it,
// an old listing; the job's command file is written last.
std::string folder_of_a_job(const std::string& name, const std::string& commands) {
    const std::string run = fresh_dir(name) + "/run";
    fs::create_directories(run + "/sub");
    EXPECT_EQ(run_zanek(run, "%structure s\n%history\n%end\n", "make.cmd", "make.lis").exit_code, 0);
    write_file(run + "/data.hkl", "   1   0   0   10.0   1.0\n");
    write_file(run + "/frag.dat", "C 0.1 0.2 0.3\n");
    fs::create_symlink("frag.dat", run + "/alias.dat");
    write_file(run + "/old.lis", kOldListing);
    write_file(run + "/job.cmd", commands);
    return run;
}

using Files = std::map<std::string, std::string>;

// Every file of the folder by name, with its bytes.
Files files_in(const std::string& dir) {
    Files files;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        files[fs::relative(e.path(), dir).string()] = e.is_regular_file() ? read_file(e.path().string()) : "";
    return files;
}

// The names of the files made, removed or changed between two looks.
std::vector<std::string> changed_files(const Files& before, const Files& after) {
    std::vector<std::string> changed;
    for (const auto& [name, bytes] : after)
        if (!before.count(name) || before.at(name) != bytes) changed.push_back(name);
    for (const auto& [name, bytes] : before)
        if (!after.count(name)) changed.push_back(name);
    return changed;
}

// Runs job.cmd of the folder with the listing named; standard output and
// error go beside the folder, so that the run's own files alone are in it.
// A run given a time limit is stopped when it outlasts it (exit code 124).
Outcome run_job(const std::string& run, const std::string& listing, int time_limit_seconds = 0) {
    const std::string limit = time_limit_seconds > 0 ? "timeout " + std::to_string(time_limit_seconds) + " " : "";
    const std::string cmd = "cd '" + run + "' && env ZANEK_CLOCK='" + kFixedClock + "' " + limit + "'" + ZANEK_EXE +
                            "' job.cmd " + listing + " > ../out.txt 2> ../errors.txt < /dev/null";
    const int rc = std::system(cmd.c_str());
    Outcome out;
    out.exit_code = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    out.errors = read_file(run + "/../errors.txt");
    if (out.exit_code == 86) ADD_FAILURE() << "sanitizer report:\n" << out.errors;
    return out;
}

class ListingNamedAsKeptFile : public ::testing::TestWithParam<NamedListingCase> {};

TEST_P(ListingNamedAsKeptFile, IsRefusedAndNoFileIsWritten) {
    const NamedListingCase& c = GetParam();
    const std::string run = folder_of_a_job(c.name, c.commands);
    const auto before = files_in(run);
    const Outcome out = run_job(run, c.listing);
    EXPECT_EQ(out.exit_code, 1) << out.errors;
    EXPECT_NE(out.errors.find(c.said), std::string::npos) << out.errors;
    // Every file as it was, and none made (not the job's structure file either).
    EXPECT_EQ(changed_files(before, files_in(run)), std::vector<std::string>{});
}

constexpr const char* kDefaultStructureJob = "%job a\n%history\n%end\n";

INSTANTIATE_TEST_SUITE_P(
    Names, ListingNamedAsKeptFile,
    ::testing::Values(
        NamedListingCase{"structure_file_of_the_job", "%job a\n%structure s\n%history\n%end\n", "s.bin",
                         " *** error *** the listing file s.bin is the structure file named in the command file: "
                         "it is not written over"},
        NamedListingCase{"structure_file_of_no_job", kDefaultStructureJob, "s.bin",
                         " *** error *** the listing file s.bin is a structure file: it is not written over"},
        NamedListingCase{"reflection_file", "%job a\n%data\nreflections data.hkl\n%end\n", "data.hkl",
                         " *** error *** the listing file data.hkl is the reflection file named in the command "
                         "file: it is not written over"},
        // No job names a structure: the default structure file, not made yet.
        NamedListingCase{"default_structure_file_not_yet_made", kDefaultStructureJob, "struct.bin",
                         " *** error *** the listing file struct.bin is the default structure file: it is not "
                         "written over"},
        // Commands and directives in capitals, shifted by leading blanks.
        NamedListingCase{"reflection_file_in_capitals", "%JOB A\n   %DATA\n     REFL data.hkl\n%END\n", "data.hkl",
                         " *** error *** the listing file data.hkl is the reflection file named in the command "
                         "file: it is not written over"},
        NamedListingCase{"structure_file_in_capitals", "%JOB A\n  %STRUCTURE new\n%HISTORY\n%END\n", "new.bin",
                         " *** error *** the listing file new.bin is the structure file named in the command file: "
                         "it is not written over"},
        NamedListingCase{"fragment_file_in_capitals", "%JOB A\n%FOURIER\n  FRAG frag.dat\n%END\n", "frag.dat",
                         " *** error *** the listing file frag.dat is the fragment file named in the command "
                         "file: it is not written over"},
        NamedListingCase{"command_file", kDefaultStructureJob, "job.cmd",
                         " *** error *** the listing file job.cmd is the command file: it is not written over"},
        // Another name of the file: a link, reached by a winding path.
        NamedListingCase{"fragment_file_by_link", "%job a\n%fourier\nfrag frag.dat\n%end\n", "sub/../alias.dat",
                         " *** error *** the listing file sub/../alias.dat is the fragment file named in the "
                         "command file: it is not written over"}),
    [](const ::testing::TestParamInfo<NamedListingCase>& info) { return std::string(info.param.name); });

TEST(ListingNamedAsOldListing, IsWrittenOver) {
    const std::string run = folder_of_a_job("old_listing", kDefaultStructureJob);
    const Outcome out = run_job(run, "old.lis");
    EXPECT_EQ(out.exit_code, 0) << out.errors;
    const std::string listing = read_file(run + "/old.lis");
    EXPECT_EQ(listing.find(kOldListing), std::string::npos);
    EXPECT_NE(listing.find(" == ZANEK ends ok"), std::string::npos) << listing;
}

// A listing that is a named pipe is written into it: the name check looks
// at what the name leads to without opening it, so the run does not wait
// for the pipe's other end, whether a reader holds it or none. The run has
// a time limit: a run stuck at the pipe fails the test instead of hanging it.
struct PipeCase {
    const char* name;
    bool reader;  // the test holds the pipe's read end during the run
};

void PrintTo(const PipeCase& c, std::ostream* os) { *os << c.name; }

class ListingNamedAsPipe : public ::testing::TestWithParam<PipeCase> {};

TEST_P(ListingNamedAsPipe, RunEnds) {
    const PipeCase& c = GetParam();
    const std::string run = folder_of_a_job(std::string("pipe_listing_") + c.name, kDefaultStructureJob);
    const std::string pipe = run + "/pipe.lis";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    // The read end is opened without waiting for a writer; what the run
    // writes stays in the pipe until the test reads it after the run.
    const int reader = c.reader ? ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK) : -1;
    if (c.reader) {
        ASSERT_GE(reader, 0);
    }
    const Outcome out = run_job(run, "pipe.lis", 60);
    std::string listing;
    char buffer[4096];
    for (ssize_t got; reader >= 0 && (got = ::read(reader, buffer, sizeof buffer)) > 0;) listing.append(buffer, got);
    if (reader >= 0) ::close(reader);
    ASSERT_NE(out.exit_code, 124) << "the run was stopped at its time limit: it waited on the pipe";
    EXPECT_EQ(out.exit_code, 0) << out.errors;
    if (c.reader) {
        EXPECT_NE(listing.find(" == ZANEK ends ok"), std::string::npos) << listing;
    }
    EXPECT_TRUE(fs::is_fifo(pipe));
}

INSTANTIATE_TEST_SUITE_P(Pipes, ListingNamedAsPipe,
                         ::testing::Values(PipeCase{"with_a_reader", true}, PipeCase{"without_a_reader", false}),
                         [](const ::testing::TestParamInfo<PipeCase>& info) { return std::string(info.param.name); });

}  // namespace
