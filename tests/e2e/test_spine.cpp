// End-to-end runs of the program on small command files: whole listings are
// compared with reviewed golden listings (clock fixed), so every line of the
// preamble, the headings, the messages and the end line is checked.
// ZANEK_UPDATE_GOLDEN=1 rewrites the golden files (review the diff!).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <cstdlib>
#include <ostream>
#include <string>

#include "tests/support/test_support.h"

using namespace zanek::test;

namespace {

struct SpineCase {
    const char* name;      // golden file name (tests/e2e/golden/<name>.lis)
    const char* commands;  // the command file
    int exit_code;         // 0 ends ok, 1 ends in error
    bool preamble_only = false;  // compare up to the end of the preamble: the
                                 // commands run later have listings of their own
};
void PrintTo(const SpineCase& c, std::ostream* os) { *os << c.name; }

std::string golden_path(const std::string& name) { return source_dir() + "/tests/e2e/golden/" + name + ".lis"; }

void expect_golden(const std::string& name, const std::string& listing) {
    if (std::getenv("ZANEK_UPDATE_GOLDEN")) write_file(golden_path(name), listing);
    ASSERT_TRUE(file_exists(golden_path(name))) << "no golden listing for " << name;
    std::string expected = read_file(golden_path(name));
    auto want = split_lines(expected), got = split_lines(listing);
    for (size_t i = 0; i < std::min(want.size(), got.size()); ++i)
        ASSERT_EQ(got[i], want[i]) << name << ": line " << i + 1;
    EXPECT_EQ(got.size(), want.size()) << name << ": number of lines";
}

class SpineRuns : public ::testing::TestWithParam<SpineCase> {};

TEST_P(SpineRuns, ListingMatchesGolden) {
    const SpineCase& c = GetParam();
    std::string dir = fresh_dir(std::string("spine_") + c.name);
    RunResult r = run_zanek(dir, c.commands);
    std::string listing = r.listing;
    if (c.preamble_only) {
        const std::string end = "Direct access structure file has been initialized\n";
        size_t at = listing.find(end);
        ASSERT_NE(at, std::string::npos) << listing;
        listing = listing.substr(0, at + end.size());
    } else {
        EXPECT_EQ(r.exit_code, c.exit_code) << r.output;
    }
    expect_golden(c.name, listing);
}

std::string many(const std::string& line, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += line;
    return s;
}

const std::string kTooManyDirectives = "%job many\n%data\n" + many("cell 1 1 1\n", 101) + "%end\n";
const std::string kLongLine = "%job long\n%history\n" + std::string(85, '>') + "\n%end\n";
// A %job line of the given number of columns whose last character is "|":
// the title shows whether that character was kept.
std::string job_line_of(std::size_t columns) { return "%job " + std::string(columns - 6, '=') + "|\n"; }
const std::string kLine79 = job_line_of(79) + "%history\n%end\n";
const std::string kLine80 = job_line_of(80) + "%history\n%end\n";
const std::string kLine81 = job_line_of(81) + "%history\n%end\n";
const std::string kTooManyCommands = "%job many\n" + many("%history\n", 201) + "%end\n";

INSTANTIATE_TEST_SUITE_P(
    Jobs, SpineRuns,
    ::testing::Values(
        SpineCase{"history_only", "%job  First test\n%history\n%end\n", 0},
        SpineCase{"history_after_commands",
                  "%job  history\n%quartets\n%QUARTETS\n%history\n%history\n%end\n", 0},
        SpineCase{"two_jobs_go_line", "%job  two jobs\n%history\n%%\n> second job\n%history\n%end\n", 0},
        SpineCase{"no_end", "%job  no end\n%history\n", 1},
        SpineCase{"empty_file", "", 1},
        SpineCase{"directive_first", "cell 1 2 3\n%data\n%end\n", 1},
        SpineCase{"too_many_directives", kTooManyDirectives.c_str(), 1},
        SpineCase{"too_many_commands", kTooManyCommands.c_str(), 1},
        SpineCase{"unknown_command", "%job x\n%frobnicate\n%end\n", 1},
        SpineCase{"three_letter_keyword", "%nor\n%end\n", 1},
        SpineCase{"blank_after_mark", "% normal\n%end\n", 1},
        SpineCase{"mark_alone", "%job mark\n%\n%end\n", 1},
        SpineCase{"end_glued", "%job x\n%endx\n", 1},
        SpineCase{"structure_without_name", "%structure\n%end\n", 1},
        SpineCase{"keyword_cases", "%job cases\n%NORMAL\n%norm\n%normalize\n%History\n%end\n", 0, true},
        SpineCase{"continue_first", "%job cont\n%continue\n", 0, true},
        SpineCase{"continue_after_data", "%job cont\n%data\ncell 5 6 7\n%continue\n", 0, true},
        SpineCase{"continue_after_normal", "%job cont\n%normal\n%continue\n", 0, true},
        SpineCase{"continue_after_history", "%job cont\n%history\n%continue\n%history\n%end\n", 0},
        SpineCase{"after_patterson", "%job pat\n%patterson\n%phase\n", 0, true},
        SpineCase{"quartets_leave_lines", "%job q\n%quartets\nnqua 10\n%history\n%end\n", 0},
        SpineCase{"window_size", "%job w\n%window 300 200\n%nowindow\n%history\n%end\n", 0},
        SpineCase{"crlf_and_comments", "%job crlf\r\n> a comment\r\n\r\n   %history   \r\n%end\r\n", 0},
        SpineCase{"long_line", kLongLine.c_str(), 0},
        SpineCase{"line_of_79_columns", kLine79.c_str(), 0},
        SpineCase{"line_of_80_columns", kLine80.c_str(), 0},
        SpineCase{"line_of_81_columns", kLine81.c_str(), 0},
        SpineCase{"tab_in_command", "%job\ttab\n%end\n", 1},
        SpineCase{"file_names", "%job names\n%structure a.b\n%export\n%end\n", 0, true}),
    [](const ::testing::TestParamInfo<SpineCase>& info) { return std::string(info.param.name); });

TEST(SpineRuns, MissingCommandFileEndsInErrorWithTimeText) {
    std::string dir = fresh_dir("spine_missing_cmd");
    RunResult r = run_zanek(dir, "", "nosuch.cmd");
    EXPECT_EQ(r.exit_code, 1);
    // The listing is not connected yet: the message goes to the console.
    EXPECT_NE(r.output.find(" *** error ***  open error, code =   29 file is nosuch.cmd"), std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find(" At Thu Dec 10 12:            == ZANEK ends in error"), std::string::npos)
        << r.output;
}

TEST(SpineRuns, UnwritableListingDirectoryIsReported) {
    std::string dir = fresh_dir("spine_bad_listing");
    RunResult r = run_zanek(dir, "%history\n%end\n", "job.cmd", "no/such/dir/job.lis");
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.output.find(" *** error ***  open error, code ="), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("== ZANEK ends in error"), std::string::npos);
}

TEST(SpineRuns, UnopenableStructureFileFailsTheSpooler) {
    std::string dir = fresh_dir("spine_bad_structure");
    RunResult r = run_zanek(dir, "%structure nodir/x\n%history\n%end\n");
    EXPECT_EQ(r.exit_code, 1);
    expect_golden("structure_file_unopenable", r.listing);
}

TEST(SpineRuns, ConsoleListing) {
    std::string dir = fresh_dir("spine_console");
    RunResult r = run_zanek(dir, "%job console\n%history\n%end\n", "job.cmd", "CON");
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_NE(r.output.find(" The structure has no story"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("== ZANEK ends ok"), std::string::npos);
}

TEST(SpineRuns, FileNamedLikeConIsAFile) {
    std::string dir = fresh_dir("spine_control");
    RunResult r = run_zanek(dir, "%job control\n%history\n%end\n", "control.cmd", "control.lis");
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_NE(r.listing.find(" The structure has no story"), std::string::npos);
}

TEST(SpineRuns, ScatteringFactorsReleaseCheck) {
    std::string dir = fresh_dir("spine_release");
    write_file(dir + "/form.dat", "91.01\n");
    RunResult bad = run_zanek(dir, "%job rel\n%data\ncont c 4\n%end\n", "job.cmd", "job.lis", "CRYSDIR=" + dir + "/");
    EXPECT_EQ(bad.exit_code, 1);
    expect_golden("release_wrong", bad.listing);

    // A scattering factors file that cannot be opened: the rest of the
    // preamble (export files, the state of the structure file) still follows.
    std::string none = fresh_dir("spine_release_none");
    RunResult missing = run_zanek(none, "%job rel\n%data\ncont c 4\n%export\n%end\n", "job.cmd", "job.lis",
                                  "CRYSDIR=" + none + "/");
    EXPECT_EQ(missing.exit_code, 1);
    const size_t open_error = missing.listing.find(" *** error ***  open error, code =");
    ASSERT_NE(open_error, std::string::npos) << missing.listing;
    const size_t peaks = missing.listing.find("    fourier peaks file               struct.ins", open_error);
    EXPECT_NE(peaks, std::string::npos) << missing.listing;
    EXPECT_NE(missing.listing.find("      Direct access structure file has been initialized", peaks), std::string::npos)
        << missing.listing;

    // Its first line cannot be read: the preamble stops there.
    std::string empty = fresh_dir("spine_release_empty");
    write_file(empty + "/form.dat", "");
    RunResult unread = run_zanek(empty, "%job rel\n%data\ncont c 4\n%end\n", "job.cmd", "job.lis",
                                 "CRYSDIR=" + empty + "/");
    EXPECT_EQ(unread.exit_code, 1);
    EXPECT_NE(unread.listing.find(" reading record no.   1 in file crysdir:form.dat"), std::string::npos)
        << unread.listing;
    EXPECT_EQ(unread.listing.find("Direct access structure file"), std::string::npos) << unread.listing;
}

// %initialize counts only in the first job of a run, which alone opens the
// structure file; in a later job it is ignored with a warning.
TEST(SpineRuns, InitializeAfterAGoLineIsIgnoredWithAWarning) {
    const std::string warning =
        " *** warning *** %initialize ignored: only the first job of a run can initialize the structure file";
    struct Case { const char* commands; bool initialized; bool warned; };
    const Case cases[] = {
        {"%history\n%%\n%initialize\n%history\n%end\n", false, true},
        {"%initialize\n%history\n%%\n%history\n%end\n", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.commands);
        std::string dir = fresh_dir("spine_initialize_later");
        ASSERT_EQ(run_zanek(dir, "%job  kept title\n%history\n%end\n").exit_code, 0);
        RunResult r = run_zanek(dir, c.commands);
        EXPECT_EQ(r.exit_code, 0) << r.listing;
        EXPECT_EQ(r.listing.find("has been initialized") != std::string::npos, c.initialized) << r.listing;
        EXPECT_EQ(r.listing.find("actually contains:") != std::string::npos, !c.initialized);
        const size_t prompt = r.listing.find(" Please enter commands and directives");
        ASSERT_NE(prompt, std::string::npos);
        EXPECT_EQ(r.listing.find(warning, prompt) != std::string::npos, c.warned) << r.listing;
    }
}

TEST(SpineRuns, SecondRunFindsTheStoredTitle) {
    std::string dir = fresh_dir("spine_second_run");
    RunResult first = run_zanek(dir, "%job  stored title\n%history\n%end\n");
    ASSERT_EQ(first.exit_code, 0);
    RunResult second = run_zanek(dir, "%job  another title\n%history\n%end\n");
    ASSERT_EQ(second.exit_code, 0);
    EXPECT_NE(second.listing.find("Direct access structure file actually contains:"), std::string::npos);
    EXPECT_NE(second.listing.find("stored title"), std::string::npos);
    EXPECT_EQ(second.listing.find("another title"), std::string::npos);
}

}  // namespace

namespace {

TEST(SpineHistory, KeepsTheFirst79Commands) {
    std::string cmd = "%job long history\n";
    for (int i = 0; i < 85; ++i) cmd += "%quartets\n";
    cmd += "%history\n%end\n";
    std::string dir = fresh_dir("spine_history_79");
    RunResult r = run_zanek(dir, cmd);
    ASSERT_EQ(r.exit_code, 0);
    size_t at = r.listing.find("List of commands issued in the past");
    ASSERT_NE(at, std::string::npos);
    int listed = 0;
    for (const std::string& line : split_lines(r.listing.substr(at)))
        if (line == "           %quartets") ++listed;
    EXPECT_EQ(listed, 79);
}

}  // namespace

namespace {

TEST(SpineSummary, SecondRunListsTheStoredLists) {
    std::string dir = fresh_dir("spine_summary");
    write_file(dir + "/data.hkl", read_file(jobs_dir() + "/rand_p21c_c18n2o4/data.hkl"));
    RunResult first = run_zanek(dir,
                                "%job summary\n%data\ncell 9.3863 12.2022 15.9567 90 109 90\n"
                                "spac p 1 21/c 1\ncont c 72 o 16 n 8\nrefl data.hkl\n%end\n");
    ASSERT_EQ(first.exit_code, 0) << first.listing;
    RunResult second = run_zanek(dir, "%job again\n%history\n%end\n");
    ASSERT_EQ(second.exit_code, 0);
    auto lines = split_lines(second.listing);
    auto at = std::find(lines.begin(), lines.end(), "      Direct access structure file actually contains:");
    ASSERT_NE(at, lines.end());
    std::vector<std::string> summary(at + 2, at + 6);
    EXPECT_EQ(summary, (std::vector<std::string>{
                           "                                 cell parameters ",
                           "                               2 symmetry operators ",
                           "                               3 atomic species",
                           "                            2952 not normalized reflections "}));
    // The stored title replaces the title of the later job.
    EXPECT_NE(second.listing.find("                    summary"), std::string::npos);
}

}  // namespace

namespace {

TEST(SpineFirstJobAgain, AnotherStructureFileGetsItsOwnIndex) {
    std::string dir = fresh_dir("spine_first_again");
    // The first job ends in a %continue that queues nothing, so the second
    // job is a first job again and opens the structure file it names.
    RunResult r = run_zanek(dir, "%job one\n%structure one\n%history\n%continue\n"
                                 "%job two\n%structure two\n%history\n%end\n");
    ASSERT_EQ(r.exit_code, 0) << r.listing;
    EXPECT_TRUE(file_exists(dir + "/one.bin"));
    EXPECT_TRUE(file_exists(dir + "/two.bin"));
    size_t second = r.listing.find("direct access structure file     two.bin");
    ASSERT_NE(second, std::string::npos);
    EXPECT_NE(r.listing.find("Direct access structure file has been initialized", second), std::string::npos);
    // A later run on two.bin finds the title its own first job stored.
    RunResult again = run_zanek(dir, "%structure two\n%history\n%end\n", "again.cmd", "again.lis");
    EXPECT_NE(again.listing.find(std::string(20, ' ') + "two "), std::string::npos);
}

TEST(SpineBadInput, CommandFileThatIsAFolder) {
    std::string dir = fresh_dir("spine_folder_cmd");
    std::filesystem::create_directories(dir + "/sub.cmd");
    RunResult r = run_zanek(dir, "", "sub.cmd");
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.output.find(" *** error ***  open error, code =   29 file is sub.cmd"), std::string::npos)
        << r.output;
}

}  // namespace
