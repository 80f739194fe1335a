// A %phase that refuses its directives or the stored relations fails the
// command and leaves the structure file as it was: the model an earlier
// %fourier stored can still be exported, and the reflection list keeps its
// seed.
#include <gtest/gtest.h>

#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

using namespace zanek::test;

namespace {

const char* kJob = "rand_pbar1_c14o2";

// The test job's commands up to and with %fourier: a structure file that
// holds a model.
std::string job_up_to_fourier() {
    std::ifstream in(jobs_dir() + "/" + kJob + "/job.cmd");
    std::string text;
    for (std::string line; std::getline(in, line);) {
        text += line + "\n";
        if (line.rfind("%fourier", 0) == 0) break;
    }
    return text + "%end\n";
}

std::string structure_file(const std::string& dir) { return dir + "/" + kJob + ".bin"; }

// Atom lines of an exported SHELX file (after FVAR, up to HKLF or END).
int exported_atoms(const std::string& path) {
    std::ifstream in(path);
    int n = 0;
    bool atoms = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("FVAR", 0) == 0) {
            atoms = true;
        } else if (line.rfind("HKLF", 0) == 0 || line.rfind("END", 0) == 0) {
            break;
        } else if (atoms && !line.empty() && line[0] != ' ') {
            ++n;
        }
    }
    return n;
}

class PhaseRefusal : public ::testing::Test {
protected:
    // One structure file with a model for every case.
    static void SetUpTestSuite() {
        const std::string dir = fresh_dir("phase_refusal_model");
        write_file(dir + "/data.hkl", read_file(jobs_dir() + "/" + kJob + "/data.hkl"));
        const RunResult r = run_zanek(dir, job_up_to_fourier());
        ASSERT_EQ(r.exit_code, 0) << r.output;
        ASSERT_NE(r.listing.find("== ZANEK ends ok"), std::string::npos);
        model_ = read_file(structure_file(dir));
    }
    static std::string model_;  // the structure file's bytes
};
std::string PhaseRefusal::model_;

struct RefusalCase {
    const char* name;
    std::vector<std::string> lines;  // directive lines of the failing %phase
    const char* message;             // what the command says when it refuses them
};
void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class PhaseRefusals : public PhaseRefusal, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(PhaseRefusals, StoredListsAndModelAreKept) {
    const RefusalCase& c = GetParam();
    ASSERT_FALSE(model_.empty());
    const std::string dir = fresh_dir(std::string("phase_refusal_") + c.name);
    write_file(structure_file(dir), model_);

    std::string phase = std::string("%job refused\n%structure ") + kJob + "\n%nowindow\n%phase\n";
    for (const std::string& l : c.lines) phase += l + "\n";
    const RunResult failed = run_zanek(dir, phase + "%end\n", "phase.cmd", "phase.lis");
    EXPECT_NE(failed.exit_code, 0);
    EXPECT_NE(failed.listing.find("== ZANEK ends in error"), std::string::npos) << failed.listing;
    EXPECT_NE(failed.listing.find(c.message), std::string::npos) << failed.listing;
    // Every word of the structure file is as the earlier commands left it.
    EXPECT_TRUE(read_file(structure_file(dir)) == model_) << "the structure file was changed";

    const RunResult exported = run_zanek(
        dir, std::string("%job export\n%structure ") + kJob + "\n%nowindow\n%export\nshel\n%end\n", "export.cmd",
        "export.lis");
    EXPECT_EQ(exported.exit_code, 0) << exported.listing;
    EXPECT_EQ(exported.listing.find("No coordinates"), std::string::npos) << exported.listing;
    EXPECT_GT(exported_atoms(dir + "/" + kJob + ".ins"), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Directives, PhaseRefusals,
    ::testing::Values(
        RefusalCase{"mistyped_keyword", {"symb 5", "smyb 4"}, " wrong directive on following line:"},
        RefusalCase{"number_out_of_range", {"symb 13"}, " error in directive : symb 13"},
        RefusalCase{"random_with_partial", {"rand", "part"},
                    "  *** error *** RANDOM & PARTIAL directives are not compatible."},
        // The seed is accepted with its line; the rank is refused later,
        // against the phasing set of the stored triplets.
        RefusalCase{"seed_then_rank_outside_the_phasing_set", {"seed 12345", "perm 3 9999"},
                    " ***  error  ***  reflexion number  9999   out of range ****"},
        // P-1 needs three origin reflections.
        RefusalCase{"too_few_origin_reflections", {"orig 1 0"},
                    " *** error *** the number of reflections given in input"}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

}  // namespace
