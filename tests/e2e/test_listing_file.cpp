// A listing that cannot be written (a full disc) ends the run in error,
// with a line on standard error naming the listing, whatever the commands
// did: the user must not take a run without a record for a good one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <string>
#include <sys/wait.h>

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

}  // namespace
