// A complete structure file (a test job solved from %data to %export) taken
// through later jobs: a job that needs a list the file lacks fails with the
// absence message instead of working on a list image that is not there.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "tests/support/test_support.h"

using namespace zanek::test;

namespace {

const std::string kJob = "fecl_r3c_synth";
const std::string kStructure = kJob + ".bin";
const std::string kOpenJob = "%structure " + kJob + "\n%nowindow\n";

// The structure file of the test job solved by its own command file, made
// once per test process.
const std::string& solved_structure_file() {
    static const std::string bytes = [] {
        std::string dir = fresh_dir("stored_lists_solved");
        for (const char* f : {"job.cmd", "data.hkl"})
            write_file(dir + "/" + f, read_file(shared_dir() + "/testdata/" + kJob + "/" + f));
        RunResult r = run_zanek(dir, "");
        EXPECT_EQ(r.exit_code, 0) << r.listing;
        return read_file(dir + "/" + kStructure);
    }();
    return bytes;
}

// A fresh folder with the solved structure file and the job's reflections.
std::string folder_with_solved_file(const std::string& name, const std::string& bytes = solved_structure_file()) {
    std::string dir = fresh_dir(name);
    write_file(dir + "/" + kStructure, bytes);
    write_file(dir + "/data.hkl", read_file(shared_dir() + "/testdata/" + kJob + "/data.hkl"));
    return dir;
}

// Store address a lies at byte 8192*(a div 512) + 4*(a mod 512), a
// little-endian 4-byte word; row t of the list-type table starts at store
// address 1650 + 6t, its first word is t while the list is present.
size_t byte_of(int addr) { return 8192 * static_cast<size_t>(addr / 512) + 4 * static_cast<size_t>(addr % 512); }

int32_t word_at(const std::string& bytes, int addr) {
    const size_t at = byte_of(addr);
    uint32_t u = 0;
    for (int b = 3; b >= 0; --b) u = u << 8 | static_cast<unsigned char>(bytes.at(at + b));
    return static_cast<int32_t>(u);
}

void put_word(std::string& bytes, int addr, uint32_t u) {
    for (int b = 0; b < 4; ++b) bytes.at(byte_of(addr) + b) = static_cast<char>(u >> (8 * b));
}

// Store address of word w of stored list t (row t word 3 is its first address).
int list_word_address(const std::string& bytes, int type, int word) { return word_at(bytes, 1650 + 6 * type + 2) + word - 1; }

// Removes list t from the index, as a file written elsewhere may lack it.
void remove_list(std::string& bytes, int type) {
    ASSERT_EQ(word_at(bytes, 1650 + 6 * type), type) << "list " << type << " is not in the solved file";
    put_word(bytes, 1650 + 6 * type, 0);
}

struct MissingCase {
    const char* name;
    int list;
    const char* command;
};

class MissingList : public ::testing::TestWithParam<MissingCase> {};

// The cell or the symmetry list is missing (a file written by another
// program, or damaged): every command that loads it says so and fails.
TEST_P(MissingList, FailsTheCommandWithTheAbsenceMessage) {
    const MissingCase& c = GetParam();
    std::string bytes = solved_structure_file();
    remove_list(bytes, c.list);
    std::string dir = folder_with_solved_file(std::string("missing_") + c.name, bytes);
    RunResult r = run_zanek(dir, kOpenJob + c.command + "\n%end\n");
    EXPECT_EQ(r.exit_code, 1) << r.listing;
    char absent[64];
    std::snprintf(absent, sizeof absent, "\n\n\n no list of type%5d  stored\n\n", c.list);
    EXPECT_NE(r.listing.find(absent), std::string::npos) << r.listing;
    EXPECT_NE(r.listing.find(" == ZANEK ends in error"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, MissingList,
    ::testing::Values(MissingCase{"cell_phase", 1, "%phase"}, MissingCase{"cell_fourier", 1, "%fourier"},
                      MissingCase{"cell_restart", 1, "%restart"}, MissingCase{"cell_patterson", 1, "%patterson"},
                      MissingCase{"symmetry_phase", 2, "%phase"}, MissingCase{"symmetry_fourier", 2, "%fourier"},
                      MissingCase{"symmetry_restart", 2, "%restart"},
                      MissingCase{"symmetry_patterson", 2, "%patterson"}),
    [](const ::testing::TestParamInfo<MissingCase>& info) { return std::string(info.param.name); });

// A cell edge damaged to NaN in the file is a corrupted list: the run
// stops with the message instead of listing NaN and ending ok.
TEST(PoisonedList, NaNCellEdgeStopsTheRun) {
    for (const char* command : {"%normal", "%fourier"}) {
        SCOPED_TRACE(command);
        std::string bytes = solved_structure_file();
        put_word(bytes, list_word_address(bytes, 1, 6), 0x7fc00000u);  // edge a: a quiet NaN
        std::string dir = folder_with_solved_file("poisoned_cell", bytes);
        RunResult r = run_zanek(dir, kOpenJob + command + "\n%end\n");
        EXPECT_EQ(r.exit_code, 2) << r.listing;
        EXPECT_NE(r.listing.find(" requested list   1 has been corrupted"), std::string::npos) << r.listing;
        EXPECT_EQ(r.listing.find("ends ok"), std::string::npos);
    }
}

}  // namespace
