// A complete structure file (a test job solved from %data to %export) taken
// through later jobs: a job that fails on its input leaves every stored list
// and the exported model as they were, and a job that needs a list the file
// lacks fails with the absence message instead of working on a list image
// that is not there.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <ostream>
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
            write_file(dir + "/" + f, read_file(jobs_dir() + "/" + kJob + "/" + f));
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
    write_file(dir + "/data.hkl", read_file(jobs_dir() + "/" + kJob + "/data.hkl"));
    return dir;
}

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
void PrintTo(const MissingCase& c, std::ostream* os) { *os << c.name; }

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
                      MissingCase{"symmetry_patterson", 2, "%patterson"},
                      MissingCase{"cell_export", 1, "%export\nshel"}, MissingCase{"symmetry_export", 2, "%export\nshel"},
                      MissingCase{"species_export", 3, "%export\nshel"}),
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

// A cell whose edges and angles are sound but whose derived words (a
// reciprocal angle, an element of the metric tensor) were damaged would
// give NaN distances in a run that ends ok: it is a corrupted list too.
TEST(PoisonedList, DerivedCellWordThatDisagreesWithTheCellStopsTheRun) {
    struct Case { int word; float value; };
    for (const Case c : {Case{17, 3.0f}, Case{24, -500.0f}, Case{12, 1.0f}}) {
        SCOPED_TRACE(c.word);
        std::string bytes = solved_structure_file();
        uint32_t bits = 0;
        std::memcpy(&bits, &c.value, 4);
        put_word(bytes, list_word_address(bytes, 1, c.word), bits);
        std::string dir = folder_with_solved_file("poisoned_derived_cell", bytes);
        RunResult r = run_zanek(dir, kOpenJob + "%restart\n%end\n");
        EXPECT_EQ(r.exit_code, 2) << r.listing;
        EXPECT_NE(r.listing.find(" requested list   1 has been corrupted"), std::string::npos) << r.listing;
        EXPECT_EQ(r.listing.find("ends ok"), std::string::npos);
    }
}

// --- A failing later job leaves the file as it was ------------------------

// The SHELX model that %export writes from the structure file in dir.
std::string exported_model(const std::string& dir) {
    const std::string ins = dir + "/" + kJob + ".ins";
    std::filesystem::remove(ins);
    RunResult r = run_zanek(dir, kOpenJob + "%export\nshel\n%end\n", "export.cmd", "export.lis");
    EXPECT_EQ(r.exit_code, 0) << r.listing;
    return read_file(ins);
}

const std::string& solved_export() {
    static const std::string text = exported_model(folder_with_solved_file("stored_lists_export"));
    return text;
}

// --- New reflections -------------------------------------------------------

// The relations name reflections by their place in list 7 and the phase
// sets hold their phases: after a %data that reads reflections again they
// are gone, so %phase asks for %invariants instead of phasing the new
// reflections with the old relations. The model and the cell stay.
TEST(NewReflections, DeleteTheRelationsAndPhaseSetsFormedFromTheOldOnes) {
    const StoredLists solved = stored_lists(solved_structure_file());
    for (int type : {1, 2, 3, 7, 8, 15, 16}) ASSERT_TRUE(solved.words.count(type)) << "list " << type;

    std::string dir = folder_with_solved_file("new_reflections");
    RunResult r = run_zanek(dir, kOpenJob +
                                     "%data\ncell 16.1930 16.1930 11.2421 90 90 120\nspac r -3 c\n"
                                     "cont o 126 h 108 cl 18 fe 6\nrefl data.hkl\n%normal\n%phase\n%end\n");
    EXPECT_EQ(r.exit_code, 1) << r.listing;
    EXPECT_NE(r.listing.find(" ****  error : no triplets calculated    ****"), std::string::npos) << r.listing;

    const StoredLists after = stored_lists(read_file(dir + "/" + kStructure));
    for (int type : {8, 9, 10, 11, 12, 16, 20, 21, 24, 26, 27}) EXPECT_FALSE(after.words.count(type)) << "list " << type;
    for (int type : {1, 2, 3, 7, 15}) EXPECT_TRUE(after.words.count(type)) << "list " << type;
    EXPECT_TRUE(after.words.at(15) == solved.words.at(15));
}

struct FailingJob {
    const char* name;
    const char* commands;  // the later job's commands and directives
    const char* message;   // what the failing command says
};
void PrintTo(const FailingJob& c, std::ostream* os) { *os << c.name; }

class LaterJob : public ::testing::TestWithParam<FailingJob> {};

TEST_P(LaterJob, FailingOnItsInputKeepsEveryListAndTheExport) {
    const FailingJob& c = GetParam();
    const StoredLists before = stored_lists(solved_structure_file());
    ASSERT_GE(before.words.size(), 10u);  // cell to atoms: a complete file

    std::string dir = folder_with_solved_file(std::string("later_job_") + c.name);
    RunResult r = run_zanek(dir, kOpenJob + c.commands + "\n%end\n");
    EXPECT_EQ(r.exit_code, 1) << r.listing;
    EXPECT_NE(r.listing.find(c.message), std::string::npos) << r.listing;
    EXPECT_NE(r.listing.find(" == ZANEK ends in error"), std::string::npos);

    const StoredLists after = stored_lists(read_file(dir + "/" + kStructure));
    for (int a = 0; a < 290; ++a) EXPECT_EQ(after.index[a], before.index[a]) << "store address " << 1600 + a;
    for (const auto& [type, words] : before.words) {
        auto it = after.words.find(type);
        ASSERT_NE(it, after.words.end()) << "list " << type << " is gone";
        EXPECT_TRUE(it->second == words) << "list " << type << " has changed";
    }
    EXPECT_EQ(after.words.size(), before.words.size());
    EXPECT_EQ(exported_model(dir), solved_export());
}

INSTANTIATE_TEST_SUITE_P(
    Commands, LaterJob,
    ::testing::Values(
        // A cell whose angles close no cell: refused before list 1 is replaced.
        FailingJob{"data", "%data\ncell 16.1930 16.1930 11.2421 90 90 220\nspac r -3 c\n"
                           "cont o 126 h 108 cl 18 fe 6\nrefl data.hkl",
                   " error in directive : cell 16.1930 16.1930 11.2421 90 90 220"},
        // Failures met after lists 1, 2, 3 or 15 of the new data have been
        // stored: those lists are put back as they were.
        FailingJob{"data_group", "%data\ncell 16.0 16.0 11.0 90 90 120\nspac r -3 q\n"
                                 "cont o 126 h 108 cl 18 fe 6\nrefl data.hkl",
                   " error in directive : spac r -3 q"},
        FailingJob{"data_fragment", "%data\ncell 16.0 16.0 11.0 90 90 120\nspac r -3 c\n"
                                    "cont o 126 h 108 cl 18 fe 6\nfrag zn 0.1 0.2 0.3\nrefl data.hkl",
                   "  *** error *** zn type not present in the declared content"},
        FailingJob{"data_reflections", "%data\ncell 16.0 16.0 11.0 90 90 120\nspac r -3 c\n"
                                       "cont o 120 h 108 cl 18 fe 6\nfrag fe 0.1 0.2 0.3\nrefl missing.hkl",
                   " *** error ***  open error, code ="},
        FailingJob{"normal", "%normal\nnref 10 20", " error in directive : nref 10 20"},
        FailingJob{"seminvariants", "%seminvariants\nbeth", " wrong directive on following line:\nbeth"},
        FailingJob{"invariants", "%invariants\nnsig 3", " error in directive : nsig 3"},
        FailingJob{"phase", "%phase\nseed 1 2", " error in directive : seed 1 2"},
        FailingJob{"fourier", "%fourier\nradi zn 1.2", " error in directive : radi zn 1.2"},
        FailingJob{"restart", "%restart\ndel zz99", " error in directive : del zz99"},
        FailingJob{"export_directive", "%export\nxxxx", " error in directive : xxxx"},
        FailingJob{"export_unopenable", "%export\nshel nodir/x.ins", " open error, code ="},
        FailingJob{"patterson", "%patterson\ngrid 1 2", " error in directive : grid 1 2"}),
    [](const ::testing::TestParamInfo<FailingJob>& info) { return std::string(info.param.name); });

}  // namespace
