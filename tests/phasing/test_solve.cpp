// The whole %phase chain on the computed test jobs, whose true phases are
// known: the set of best cfom must be close to the true phases, allowing
// the origin shifts of the group (and the enantiomorph in a
// non-centrosymmetric group), while a random set is about 90 degrees off.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>

#include "jobcontrol/lists/list16.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/store.h"
#include "phasing/phase_records.h"
#include "tests/support/inprocess.h"
#include "tests/support/test_support.h"

namespace zanek::test {
namespace {

int command_code(const std::string& word) {
    static const std::pair<const char*, int> codes[] = {
        {"%data", CMD_DATA}, {"%normal", CMD_NORMAL}, {"%seminvariants", CMD_SEMINV},
        {"%invariants", CMD_INVAR}, {"%phase", CMD_PHASE}};
    for (const auto& [w, c] : codes)
        if (word == w) return c;
    return 0;
}

// One best set compared with the true phases of list 7.
struct Comparison {
    int compared = 0;
    double error = 180.0;  // mean |phase difference| at the best origin and hand
    bool centric = false;
};

class SolveTest : public InProcessJob {
protected:
    SolveTest() : InProcessJob("solve") {}

    // Queues the commands of the job's known-phase command file up to and
    // including %phase, with the directive lines given for %phase (and
    // those given for %normal after the file's own). known = false takes
    // the job without known phases.
    void queue_job(const std::string& job, const std::vector<std::string>& phase_lines = {}, bool known = true,
                   const std::vector<std::string>& normal_lines = {}) {
        const std::string from = jobs_dir() + "/" + job;
        const std::string data = known ? "/data_known.hkl" : "/data.hkl";
        std::filesystem::copy_file(from + data, dir + data);
        std::istringstream in(read_file(from + (known ? "/job_known.cmd" : "/job.cmd")));
        std::vector<std::pair<int, std::vector<std::string>>> cmds;
        std::string line;
        bool taking = false;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty() && line[0] == '%') {
                std::string word = line.substr(0, line.find(' '));
                const int code = command_code(word);
                taking = code != 0;
                if (taking) cmds.push_back({code, code == CMD_PHASE ? phase_lines : std::vector<std::string>{}});
                if (code == CMD_PHASE) break;
            } else if (taking) {
                cmds.back().second.push_back(line);
            }
        }
        for (auto& [code, lines] : cmds)
            if (code == CMD_NORMAL) lines.insert(lines.end(), normal_lines.begin(), normal_lines.end());
        queue(cmds);
    }

    // The best-cfom set of list 16 against the known phases of list 7.
    Comparison compare_best_set() {
        Comparison c;
        const std::vector<List7Record> refl = list7();
        std::vector<float> a(400);
        std::vector<int32_t> b(400);
        int count = 0;
        YSFL16(a.data(), b.data(), count, 400);
        EXPECT_GE(count, 1);
        if (count < 1) return c;
        const int nref = LST016.I(lst016::kNref);
        std::vector<float> w(static_cast<size_t>(nref));
        std::vector<int32_t> phi(static_cast<size_t>(nref));
        Word head[list16::kFigureWords];
        SNR16(b[0], head, w.data(), phi.data(), nref);
        c.centric = SYM.I(symw::kCentric) == 1;
        for (int hand : {1, -1}) {
            if (hand < 0 && c.centric) break;
            for (int t = 0; t < 8; ++t) {
                const int tx = t & 1, ty = (t >> 1) & 1, tz = (t >> 2) & 1;
                double sum = 0.0;
                int n = 0;
                for (int r = 0; r < nref && r < int(refl.size()); ++r) {
                    const List7Record& q = refl[size_t(r)];
                    const int known = (q.phase_word % 32768) / 32;
                    if (known == 0 || !(w[size_t(r)] > 0.01f)) continue;
                    // The true phase at the shifted origin and hand.
                    const int truth = hand * known + 180 * (q.h * tx + q.k * ty + q.l * tz);
                    int d = std::abs(phi[size_t(r)] - truth) % 360;
                    sum += std::min(d, 360 - d);
                    ++n;
                }
                if (n > 0 && sum / n < c.error) {
                    c.error = sum / n;
                    c.compared = n;
                }
            }
        }
        return c;
    }
};

struct Job {
    const char* name;
    double limit;  // largest mean error at the best origin, degrees
};
void PrintTo(const Job& j, std::ostream* os) { *os << j.name; }

class SolveJobs : public SolveTest, public ::testing::WithParamInterface<Job> {};

TEST_P(SolveJobs, BestSetIsCloseToTheTruePhases) {
    const Job& j = GetParam();
    queue_job(j.name);
    ASSERT_EQ(run_queue(), 0) << listing();
    ASSERT_TRUE(stored(16));
    const Comparison c = compare_best_set();
    EXPECT_GE(c.compared, 50);
    RecordProperty("mean_error", std::to_string(c.error));
    EXPECT_LT(c.error, j.limit) << j.name << ": " << c.error << " degrees over " << c.compared;
    EXPECT_TRUE(listed("***   tangent formula section   ***"));
    EXPECT_TRUE(listed("+++++++++++++  figures  of  merit  ++++++++++++"));
    // The seminvariant check of a test run compares every listed set.
    EXPECT_TRUE(listed(" error using "));
    EXPECT_TRUE(listed(" set    1 <error> ="));
}

INSTANTIATE_TEST_SUITE_P(ComputedJobs, SolveJobs,
                         ::testing::Values(Job{"rand_pbar1_c14o2", 20.0}, Job{"rand_p21c_c18n2o4", 20.0},
                                           Job{"rand_p212121_c20o4", 30.0}, Job{"fecl_r3c_synth", 20.0}),
                         [](const auto& info) { return std::string(info.param.name); });

// Phasing from a fragment of half the true atoms: the fragment fixes the
// origin and the hand, and the best set is close to the true phases.
class SolveWithFragment : public SolveTest, public ::testing::WithParamInterface<const char*> {
protected:
    void queue_with_fragment(const std::string& job) {
        std::vector<TrueAtom> atoms = true_atoms(job);
        ASSERT_GE(atoms.size(), 16u);
        atoms.resize(atoms.size() / 2);
        queue_job(job, {"part"}, true, fragment_directives(atoms));
    }
};

TEST_P(SolveWithFragment, BestSetIsCloseToTheTruePhases) {
    queue_with_fragment(GetParam());
    ASSERT_EQ(run_queue(), 0) << listing();
    EXPECT_TRUE(listed(" partial structure procedure"));
    const Comparison c = compare_best_set();
    EXPECT_GE(c.compared, 50);
    RecordProperty("mean_error", std::to_string(c.error));
    EXPECT_LT(c.error, 30.0) << GetParam() << ": " << c.error << " degrees over " << c.compared;
}

INSTANTIATE_TEST_SUITE_P(ComputedJobs, SolveWithFragment,
                         ::testing::Values("rand_p212121_c20o4", "rand_p21c_c18n2o4", "rand_pbar1_c14o2"));

// The fragment fixes the origin: the divergence stage leaves no origin
// phase, and the refinement of every trial reads that count, not the one
// of the symmetry list that the multisolution stage reloads.
TEST_F(SolveWithFragment, RefinementFixesNoOriginPhase) {
    queue_with_fragment("rand_p212121_c20o4");
    ASSERT_EQ(run_queue(), 0) << listing();
    EXPECT_EQ(ERL.I(erlw::kOriginPhases), 0);
}

// A random start finds the P-1 structure too, and "test" makes it draw the
// same phases in two runs.
TEST_F(SolveTest, RandomStartSolvesAndRepeatsWithTest) {
    queue_job("rand_pbar1_c14o2", {"rand", "maxt 40", "test"});
    ASSERT_EQ(run_queue(), 0) << listing();
    const Comparison c = compare_best_set();
    EXPECT_LT(c.error, 25.0) << c.error;
    EXPECT_TRUE(listed("          the number of random phases is"));
}

// A random start makes exactly "maxt" trials, also a single one.
TEST_F(SolveTest, RandomStartMakesItsNumberOfTrials) {
    queue_job("rand_pbar1_c14o2", {"rand", "maxt 1", "test", "nore"});
    ASSERT_EQ(run_queue(), 0) << listing();
    std::vector<float> a(400);
    std::vector<int32_t> b(400);
    int count = 0;
    YSFL16(a.data(), b.data(), count, 400);
    EXPECT_EQ(count, 1);
    EXPECT_TRUE(listed("      the total number of trials will be       1"));
}

// A random start without trials is refused with its directive line before
// any trial: the command fails and no phase set is left for %fourier.
TEST_F(SolveTest, RandomStartWithoutTrialsFailsWithoutPhaseSets) {
    queue_job("rand_pbar1_c14o2", {"rand", "maxt 0"}, false);
    EXPECT_EQ(run_queue(), -1);
    EXPECT_FALSE(stored(16));
    EXPECT_TRUE(listed(" error in directive : maxt 0"));
    EXPECT_FALSE(listed("***   tangent formula section   ***"));
}

}  // namespace
}  // namespace zanek::test
