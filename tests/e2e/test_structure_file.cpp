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
    write_file(dir + "/data.hkl", read_file(shared_dir() + "/testdata/rand_p21c_c18n2o4/data.hkl"));
    return dir;
}

TEST(StructureFile, ForeignFileGetsANewIndex) {
    std::string dir = fresh_dir("sf_foreign");
    write_file(dir + "/struct.bin", std::string(30000, 'x'));
    RunResult r = run_zanek(dir, "%job foreign\n%history\n%end\n");
    EXPECT_EQ(r.exit_code, 0) << r.output;
    EXPECT_NE(r.listing.find("Direct access structure file has been initialized"), std::string::npos);
}

TEST(StructureFile, ZeroLengthFileIsNew) {
    std::string dir = fresh_dir("sf_empty");
    write_file(dir + "/struct.bin", "");
    RunResult r = run_zanek(dir, "%job empty\n%history\n%end\n");
    EXPECT_EQ(r.exit_code, 0) << r.output;
    EXPECT_NE(r.listing.find("Direct access structure file has been initialized"), std::string::npos);
}

TEST(StructureFile, TruncatedFileStopsWithoutOverwritingIt) {
    std::string dir = job_with_data("sf_truncated");
    ASSERT_EQ(run_zanek(dir, kDataJob).exit_code, 0);
    std::string path = dir + "/struct.bin";
    auto size = std::filesystem::file_size(path);
    ASSERT_GT(size, 5u * 8192);
    std::filesystem::resize_file(path, 4 * 8192 + 100);  // cut inside block 4's record
    std::string before = read_file(path);
    RunResult r = run_zanek(dir, "%job again\n%history\n%end\n");
    EXPECT_NE(r.exit_code, 0);
    EXPECT_NE(r.listing.find(" xftch:"), std::string::npos) << r.listing;
    EXPECT_EQ(read_file(path), before);  // nothing on disk was replaced by zeros
}

TEST(StructureFile, CorruptIndexStops1111) {
    std::string dir = job_with_data("sf_corrupt_index");
    ASSERT_EQ(run_zanek(dir, kDataJob).exit_code, 0);
    std::string path = dir + "/struct.bin";
    std::string bytes = read_file(path);
    // Row 0 word 1 of the list-type table (store address 1650) is the magic.
    const size_t at = 8192 * (1650 / 512) + 4 * (1650 % 512);
    bytes[at] = 0x01;
    write_file(path, bytes);
    RunResult r = run_zanek(dir, "%job again\n%history\n%end\n");
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_NE(r.listing.find(" the file index has been corrupted"), std::string::npos) << r.listing;
    EXPECT_NE(r.listing.find(" STOP 1111"), std::string::npos);
}

TEST(StructureFile, UnwritableDirectoryIsAnOpenError) {
    std::string dir = fresh_dir("sf_no_dir");
    RunResult r = run_zanek(dir, "%structure missing/sub/x\n%history\n%end\n");
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.listing.find("  opening file missing/sub/x.bin"), std::string::npos);
}

}  // namespace
