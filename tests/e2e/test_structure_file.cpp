// The structure file named by a job may be damaged or not ours: every case
// ends the run cleanly with a message, and a valid file keeps its lists.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/test_support.h"

using namespace zanek::test;

namespace {

const char* kDataJob =
    "%job stored\n%data\ncell 9.3863 12.2022 15.9567 90 109 90\n"
    "spac p 1 21/c 1\ncont c 72 o 16 n 8\nrefl data.hkl\n%end\n";

std::string job_with_data(const std::string& name) {
    std::string dir = fresh_dir(name);
    write_file(dir + "/data.hkl", read_file(jobs_dir() + "/rand_p21c_c18n2o4/data.hkl"));
    return dir;
}

// A file that is not empty and holds no index of ours is refused: the run
// names it, ends in error and leaves it as it was. With %initialize the user
// asked for a new file, and it gets a new empty index whatever it held.
TEST(StructureFile, FileWithoutAValidIndexIsRefusedUntouchedUnlessInitialized) {
    struct Case {
        const char* name;
        const char* structure;  // the %structure name, "" for the default
        const char* options;    // command lines before %history
    };
    const Case cases[] = {
        {"sf_foreign_long", "", ""},
        {"sf_foreign_text", "notes", ""},
        {"sf_foreign_initialize", "notes", "%initialize\n"},
        {"sf_damaged_magic", "", ""},
        {"sf_damaged_magic_initialize", "", "%initialize\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string dir = fresh_dir(c.name);
        const std::string file = std::string(*c.structure ? c.structure : "struct") + ".bin";
        const std::string path = dir + "/" + file;
        if (std::string(c.name).find("damaged") != std::string::npos) {
            dir = job_with_data(c.name);
            ASSERT_EQ(run_zanek(dir, kDataJob).exit_code, 0);
            std::string bytes = read_file(dir + "/struct.bin");
            bytes[8192 * 3 + 4 * (1607 % 512)] = 0x11;  // header word 8, the index magic
            write_file(dir + "/struct.bin", bytes);
        } else if (*c.structure) {
            write_file(path, "%job mistyped\n%data\ncell 5 6 7 90 90 90\n%end\n");
        } else {
            write_file(path, std::string(30000, 'x'));
        }
        const std::string before = read_file(path);
        std::string cmd = "%job foreign\n";
        if (*c.structure) cmd += std::string("%structure ") + c.structure + "\n";
        RunResult r = run_zanek(dir, cmd + c.options + "%history\n%end\n");
        if (*c.options) {
            EXPECT_EQ(r.exit_code, 0) << r.listing;
            EXPECT_NE(r.listing.find("Direct access structure file has been initialized"), std::string::npos);
            // The next run finds a valid file holding no lists.
            RunResult again = run_zanek(dir, cmd + "%history\n%end\n");
            EXPECT_EQ(again.exit_code, 0) << again.listing;
            EXPECT_NE(again.listing.find("Direct access structure file actually contains:"), std::string::npos);
            continue;
        }
        EXPECT_EQ(r.exit_code, 1) << r.listing;
        EXPECT_NE(r.listing.find(" *** error *** file " + file +
                                 " is not empty and holds no valid structure file index"),
                  std::string::npos) << r.listing;
        EXPECT_NE(r.listing.find(" == ZANEK ends in error"), std::string::npos);
        EXPECT_EQ(r.listing.find("has been initialized"), std::string::npos);
        EXPECT_EQ(read_file(path), before);
    }
}

// %initialize ordered in a job whose first command then fails: the new
// empty index stands, and the lists the file held are gone.
TEST(StructureFile, InitializeStandsWhenTheFirstCommandFails) {
    const std::string dir = job_with_data("sf_initialize_then_fail");
    ASSERT_EQ(run_zanek(dir, kDataJob).exit_code, 0);
    ASSERT_FALSE(stored_lists(read_file(dir + "/struct.bin")).words.empty());
    RunResult r = run_zanek(dir, "%job again\n%initialize\n%seminvariants\n%end\n");
    EXPECT_EQ(r.exit_code, 1) << r.listing;
    EXPECT_NE(r.listing.find("Direct access structure file has been initialized"), std::string::npos);
    EXPECT_TRUE(stored_lists(read_file(dir + "/struct.bin")).words.empty());
    RunResult again = run_zanek(dir, "%job again\n%history\n%end\n");
    EXPECT_EQ(again.exit_code, 0) << again.listing;
    EXPECT_NE(again.listing.find("Direct access structure file actually contains:"), std::string::npos);
}

// %initialize of a file that held a solved structure, then commands in the
// same run: the file they leave is byte for byte the one the same commands
// leave on a new file, with nothing of the old contents in it.
TEST(StructureFile, InitializeThenCommandsInOneRunGiveWhatANewFileGives) {
    const std::string reused = job_with_data("sf_initialize_reused"), fresh = job_with_data("sf_initialize_fresh");
    const std::string job = "%job stored\n%data\ncell 9.3863 12.2022 15.9567 90 109 90\n"
                            "spac p 1 21/c 1\ncont c 72 o 16 n 8\nrefl data.hkl\n%normal\n%seminvariants\n%end\n";
    ASSERT_EQ(run_zanek(reused, job).exit_code, 0);
    ASSERT_EQ(run_zanek(reused, "%job stored\n%invariants\n%end\n").exit_code, 0);
    std::string with_initialize = job;
    with_initialize.insert(with_initialize.find("%data"), "%initialize\n");
    RunResult r = run_zanek(reused, with_initialize);
    ASSERT_EQ(r.exit_code, 0) << r.listing;
    ASSERT_EQ(run_zanek(fresh, job).exit_code, 0);
    EXPECT_TRUE(read_file(reused + "/struct.bin") == read_file(fresh + "/struct.bin"));
}

// A job that opens a new file and runs no command (its command file ends
// after %%): the new index is stored all the same, and the next run finds
// the file as a valid one.
TEST(StructureFile, NewIndexIsStoredByARunThatRunsNoCommand) {
    const std::string dir = fresh_dir("sf_no_command");
    RunResult r = run_zanek(dir, "%job nothing\n%%\n");
    EXPECT_EQ(r.exit_code, 1) << r.listing;
    EXPECT_NE(r.listing.find("Direct access structure file has been initialized"), std::string::npos);
    EXPECT_GT(read_file(dir + "/struct.bin").size(), 0u);
    RunResult again = run_zanek(dir, "%job nothing\n%history\n%end\n");
    EXPECT_EQ(again.exit_code, 0) << again.listing;
    EXPECT_NE(again.listing.find("Direct access structure file actually contains:"), std::string::npos);
}

TEST(StructureFile, ZeroLengthFileIsNew) {
    std::string dir = fresh_dir("sf_empty");
    write_file(dir + "/struct.bin", "");
    RunResult r = run_zanek(dir, "%job empty\n%history\n%end\n");
    EXPECT_EQ(r.exit_code, 0) << r.output;
    EXPECT_NE(r.listing.find("Direct access structure file has been initialized"), std::string::npos);
}

// A file cut short, inside a record or at a record boundary: the lists that
// lay beyond the cut are lost, which is a corrupted list, and the file is
// neither padded with zero blocks nor otherwise written.
TEST(StructureFile, TruncatedFileStopsWithoutOverwritingIt) {
    struct Case { const char* name; long long cut; const char* message; };
    const Case cases[] = {
        {"sf_cut_inside_record", 4 * 8192 + 100, " requested list   3 has been corrupted"},
        {"sf_cut_at_record_boundary", 5 * 8192, " requested list   7 has been corrupted"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string dir = job_with_data(c.name);
        ASSERT_EQ(run_zanek(dir, kDataJob).exit_code, 0);
        std::string path = dir + "/struct.bin";
        auto size = std::filesystem::file_size(path);
        ASSERT_GT(size, 12u * 8192);  // list 7 runs to block 11
        std::filesystem::resize_file(path, c.cut);
        std::string before = read_file(path);
        RunResult r = run_zanek(dir, "%job again\n%history\n%end\n");
        EXPECT_EQ(r.exit_code, 2);
        EXPECT_NE(r.listing.find(c.message), std::string::npos) << r.listing;
        EXPECT_NE(r.listing.find(" STOP 1111"), std::string::npos);
        EXPECT_EQ(read_file(path), before);  // nothing on disk was replaced by zeros
    }
}

// A damaged list-type table behind a valid index magic: the run says the
// index is corrupted, names the file and ends in error without writing it.
TEST(StructureFile, CorruptIndexEndsInErrorNamingTheFile) {
    std::string dir = job_with_data("sf_corrupt_index");
    ASSERT_EQ(run_zanek(dir, kDataJob).exit_code, 0);
    std::string path = dir + "/struct.bin";
    std::string bytes = read_file(path);
    // Row 0 word 1 of the list-type table (store address 1650) is the magic.
    const size_t at = 8192 * (1650 / 512) + 4 * (1650 % 512);
    bytes[at] = 0x01;
    write_file(path, bytes);
    RunResult r = run_zanek(dir, "%job again\n%history\n%end\n");
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.listing.find(" the file index has been corrupted\n"
                             " *** error *** file struct.bin is not empty and holds no valid structure file index"),
              std::string::npos) << r.listing;
    EXPECT_NE(r.listing.find(" == ZANEK ends in error"), std::string::npos);
    EXPECT_EQ(read_file(path), bytes);
}

TEST(StructureFile, UnwritableDirectoryIsAnOpenError) {
    std::string dir = fresh_dir("sf_no_dir");
    RunResult r = run_zanek(dir, "%structure missing/sub/x\n%history\n%end\n");
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.listing.find("  opening file missing/sub/x.bin"), std::string::npos);
}

}  // namespace
