// The convergence and divergence stages together on the test jobs: the
// starting set (fixed phases, origin reflections, symbols) and its phase
// codes, the enantiomorph choice, the processing order of the divergence
// mapping and its weights, and the directives that steer them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "jobcontrol/records/crystal.h"
#include "phasing/convergence.h"
#include "phasing/divergence.h"
#include "phasing/origin.h"
#include "phasing/phasing_set.h"
#include "tests/phasing/phase_job_fixture.h"
#include "tests/phasing/phasing_fixture.h"

using namespace zanek;
using namespace zanek::test;

namespace {

class DivergenceJob : public PhaseJob {
protected:
    PhaseSettings s;
    std::vector<List7Record> refl;
    int nref = 0;

    void run(const std::string& job, const std::vector<std::string>& lines, bool known = false) {
        reset_divergence_heading();
        prepare(job, lines, kInvar, known);
        refl = list7();
        CONVER(s);
        nref = PARAM.I(param::kNref);
    }
    const List7Record& hkl_of(int r) const { return refl[static_cast<std::size_t>(r - 1)]; }
    int origin_count() const { return ERL.I(erlw::kOriginPhases); }
    int start() const { return SUP.I(sup::kStartSize); }
    std::vector<int> positions(int from, int to) const {
        std::vector<int> v;
        for (int p = from; p <= to; ++p) v.push_back(proc_order(p));
        return v;
    }
    // Ranks whose phase code marks an origin reflection.
    std::vector<int> origin_reflections() const {
        std::vector<int> v;
        for (int r = 1; r <= nref; ++r)
            if (phase_code(r) > 0 && phase_code(r) % 1000 == kCodeOrigin) v.push_back(r);
        return v;
    }
    // Rank of the residues modulo 2 of the reflections (the seminvariant
    // vector (h,k,l) mod (2,2,2)), by elimination over GF(2).
    int parity_rank(const std::vector<int>& ranks) const {
        std::vector<int> rows;
        for (int r : ranks) {
            const List7Record& x = hkl_of(r);
            rows.push_back((std::abs(x.h) % 2) * 4 + (std::abs(x.k) % 2) * 2 + std::abs(x.l) % 2);
        }
        int rank = 0;
        for (int bit = 4; bit >= 1; bit /= 2) {
            auto it = std::find_if(rows.begin() + rank, rows.end(), [&](int v) { return (v & bit) != 0; });
            if (it == rows.end()) continue;
            std::swap(*it, rows[static_cast<std::size_t>(rank)]);
            for (std::size_t i = 0; i < rows.size(); ++i)
                if (static_cast<int>(i) != rank && (rows[i] & bit)) rows[i] ^= rows[static_cast<std::size_t>(rank)];
            ++rank;
        }
        return rank;
    }
};

struct JobCase {
    const char* job;
    bool centric;
    int origin_phases;
};
void PrintTo(const JobCase& c, std::ostream* os) { *os << c.job; }

class StartingSet : public DivergenceJob, public ::testing::WithParamInterface<JobCase> {};

TEST_P(StartingSet, FixedOriginSymbolsThenTheMapping) {
    const JobCase& c = GetParam();
    run(c.job, {});
    ASSERT_EQ(s.status, 0) << listing();
    EXPECT_EQ(origin_count(), c.origin_phases);

    // The processing order holds every reflection once.
    std::vector<int> order = positions(1, nref);
    std::sort(order.begin(), order.end());
    for (int r = 1; r <= nref; ++r) ASSERT_EQ(order[static_cast<std::size_t>(r - 1)], r) << "rank " << r;

    // Starting set: K fixed phases, the origin reflections, five symbols.
    const std::vector<int> origins = origin_reflections();
    ASSERT_EQ(static_cast<int>(origins.size()), c.origin_phases);
    int k = 0;
    while (k < start() && phase_code(proc_order(k + 1)) > 0 && phase_code(proc_order(k + 1)) % 1000 <= 100) ++k;
    EXPECT_EQ(start(), k + c.origin_phases + 5);
    for (int p = 1; p <= k; ++p) EXPECT_LT(refl_weight(proc_order(p)), 0.0f) << "fixed phases carry negative weights";
    std::vector<int> origin_positions = positions(k + 1, k + c.origin_phases);
    std::sort(origin_positions.begin(), origin_positions.end());
    EXPECT_EQ(origin_positions, origins);
    for (int p = k + c.origin_phases + 1; p <= start(); ++p) {
        EXPECT_EQ(phase_code(proc_order(p)), kCodeSymbol) << p;
        EXPECT_FLOAT_EQ(preset_phase(proc_order(p)), -99.0f);
    }

    // Origin reflections are independent modulo the seminvariant moduli.
    if (c.origin_phases == 3) { EXPECT_EQ(parity_rank(origins), 3); }
    if (c.origin_phases == 1) { EXPECT_EQ(std::abs(hkl_of(origins[0]).l) % 2, 1) << "R-3c: l odd"; }

    // Outside the starting set: no phase, except the enantiomorph reflection.
    const int enan = std::abs(PARAM.I(param::kEnan));
    for (int p = start() + 1; p <= nref; ++p) {
        const int r = proc_order(p);
        if (r == enan) continue;
        EXPECT_EQ(phase_code(r), kCodeNoPhase) << p;
        EXPECT_FLOAT_EQ(preset_phase(r), 0.0f);
    }
    // Mapping weights: 0.25 .. 1.0 from the alpha of the placed reflections
    // (the last one and an enantiomorph reflection outside the set: 0).
    for (int p = start() + 1; p < nref; ++p) {
        const int r = proc_order(p);
        if (r == enan) continue;
        EXPECT_GE(refl_weight(r), 0.25f) << p;
        EXPECT_LE(refl_weight(r), 1.0f) << p;
    }
    for (int r = 1; r <= nref; ++r) {
        EXPECT_GE(restrict_code(r), 1);
        EXPECT_LE(restrict_code(r), 13);
    }
    EXPECT_EQ(s.pass_through, rel_ptr(nref));

    if (c.centric) {
        EXPECT_EQ(PARAM.I(param::kEnan), 0);
        EXPECT_FALSE(listed("enantiomorph fixing reflexion"));
    } else {
        EXPECT_NE(PARAM.I(param::kEnan), 0);
        EXPECT_TRUE(listed("     enantiomorph fixing reflexion "));
    }
    EXPECT_TRUE(listed("     origin fixing reflexion(s)"));
    EXPECT_TRUE(listed("     selected symbols         "));
}

INSTANTIATE_TEST_SUITE_P(Jobs, StartingSet,
                         ::testing::Values(JobCase{"rand_p21c_c18n2o4", true, 3}, JobCase{"rand_pbar1_c14o2", true, 3},
                                           JobCase{"rand_p212121_c20o4", false, 3},
                                           JobCase{"fecl_r3c_synth", true, 1}),
                         [](const ::testing::TestParamInfo<JobCase>& info) { return std::string(info.param.job); });

// No polar axis in P212121: the origin is fixed by restricted reflections;
// the enantiomorph reflection is a symbol whose two values differ by more
// than an origin shift.
TEST_F(DivergenceJob, P212121OriginFromRestrictedReflections) {
    run("rand_p212121_c20o4", {});
    ASSERT_EQ(s.status, 0);
    for (int r : origin_reflections()) EXPECT_NE(restrict_code(r), 1) << r;
    const int e = std::abs(PARAM.I(param::kEnan));
    EXPECT_TRUE(e >= 1 && e <= nref);
}

TEST_F(DivergenceJob, PermutedReflectionsAreTheSymbols) {
    run("rand_pbar1_c14o2", {"symb 2", "perm 40 41"});
    ASSERT_EQ(s.status, 0);
    EXPECT_EQ(positions(start() - 1, start()), (std::vector<int>{40, 41}));
    EXPECT_EQ(phase_code(40), kCodeSymbol);
    EXPECT_EQ(phase_code(41), kCodeSymbol);
}

TEST_F(DivergenceJob, FewerSymbolsWhenAsked) {
    run("rand_p21c_c18n2o4", {"symb 3"});
    ASSERT_EQ(s.status, 0);
    int symbols = 0;
    for (int r = 1; r <= nref; ++r)
        if (phase_code(r) == kCodeSymbol) ++symbols;
    EXPECT_EQ(symbols, 3);
}

// The user's origin: its reflections take the user's values, matched by
// rank (0 read as 360), whatever order the origin search leaves them in.
TEST_F(DivergenceJob, UserOriginValuesFollowTheirReflections) {
    reset_divergence_heading();
    prepare("rand_pbar1_c14o2", {"orig 1 0 2 0 3 0"});
    refl = list7();
    // Three ranks independent modulo 2, found here from the indices, given
    // out of rank order.
    std::vector<int> pick;
    for (int r = 1; r <= 60 && pick.size() < 3; ++r) {
        std::vector<int> trial = pick;
        trial.push_back(r);
        if (parity_rank(trial) == static_cast<int>(trial.size())) pick = trial;
    }
    ASSERT_EQ(pick.size(), 3u);
    const int data_lines = static_cast<int>(job_directives("rand_pbar1_c14o2", "%data").size());
    CHARA.set_line(data_lines + 1, "orig " + std::to_string(pick[2]) + " 180 " + std::to_string(pick[0]) + " 0 " +
                                       std::to_string(pick[1]) + " 180");
    CONVER(s);
    nref = PARAM.I(param::kNref);
    ASSERT_EQ(s.status, 0) << listing();
    EXPECT_FALSE(listed("do not properly fix the origin"));
    EXPECT_EQ(phase_code(pick[2]), 180 * 1000 + kCodeOrigin);
    EXPECT_EQ(phase_code(pick[0]), 360 * 1000 + kCodeOrigin);
    EXPECT_EQ(phase_code(pick[1]), 180 * 1000 + kCodeOrigin);
}

TEST_F(DivergenceJob, TooFewOriginReflectionsFail) {
    run("rand_pbar1_c14o2", {"orig 1 0 2 0"});
    EXPECT_EQ(s.status, -1);
    EXPECT_TRUE(listed(" *** error *** the number of reflections given in input"));
}

TEST_F(DivergenceJob, PermutingAnOriginReflectionFails) {
    run("rand_pbar1_c14o2", {"orig 1 0 2 0 3 0", "perm 2"});
    EXPECT_EQ(s.status, -1);
    EXPECT_TRUE(listed("0 reflection having code   2 will not be permuted."));
    EXPECT_TRUE(listed("0 origin.  program, anyway, is interrupted. sorry. "));
}

TEST_F(DivergenceJob, RandomStartTakesTheRemovedReflections) {
    run("rand_p21c_c18n2o4", {"rand 50"});
    ASSERT_EQ(s.status, 0);
    // No one-phase seminvariants in a random start: the set is the origin
    // reflections and 50 random phases.
    EXPECT_EQ(start(), std::min(50 + origin_count(), 499));
    for (int p = origin_count() + 1; p <= start(); ++p) EXPECT_EQ(phase_code(proc_order(p)), kCodeSymbol) << p;
    EXPECT_FALSE(listed("     selected symbols         "));
}

TEST_F(DivergenceJob, ListedMappingRows) {
    run("rand_p21c_c18n2o4", {"list 4"});
    ASSERT_EQ(s.status, 0);
    const auto l = lines();
    EXPECT_NE(std::find(l.begin(), l.end(), std::string(50, ' ') + "divergence mapping"), l.end());
    int rows = 0;
    for (const std::string& x : l)
        if (x.rfind(" -", 0) == 0) ++rows;
    EXPECT_EQ(rows, 4);
    // The first row is the reflection placed right after the starting set.
    const int r = proc_order(start() + 1);
    bool found = false;
    for (const std::string& x : l)
        if (x.rfind(" -", 0) == 0 && std::stoi(x.substr(2, 6)) == r) found = true;
    EXPECT_TRUE(found);
}

TEST_F(DivergenceJob, KnownPhaseRunListsBothValuesOfTheContributors) {
    run("rand_p21c_c18n2o4", {"list 2", "prin 2"}, true);
    ASSERT_EQ(s.status, 0);
    EXPECT_EQ(UREQ.I(ureqw::kKnown), 1);
    EXPECT_TRUE(listed(" jump="));
    EXPECT_TRUE(listed("  contenuto dei vettori  z  e  zp dopo  la scelta dello  starting set "));
}

}  // namespace

namespace {

// The seminvariant reflections of the phasing set: in P21/c those with h,
// k and l all even.
TEST_F(DivergenceJob, SeminvariantReflectionsOfP21c) {
    run("rand_p21c_c18n2o4", {});
    ASSERT_EQ(s.status, 0);
    PUNTS1();
    std::vector<int> expected;
    for (int r = 1; r <= nref; ++r) {
        const List7Record& x = hkl_of(r);
        if (x.h % 2 == 0 && x.k % 2 == 0 && x.l % 2 == 0) expected.push_back(r);
    }
    std::vector<int> got;
    for (int i = 1; i <= UREQ1.I(ureq1::kSeminvCount); ++i) got.push_back(UREQ1.I(ureq1::kSeminvRanks - 1 + i));
    EXPECT_EQ(got, expected);
    EXPECT_FALSE(expected.empty());
}

}  // namespace

namespace {

// The enantiomorph choice on a small hand-made phasing set: four
// reflections, the first two in the starting set.
class EnantiomorphChoice : public InProcessJob {
protected:
    EnantiomorphChoice() : InProcessJob("enan") {}
    void SetUp() override {
        InProcessJob::SetUp();
        set_group({"x,y,z", "-x,y+1/2,-z"}, 0, 1);  // P21
        set_phasing_set({{1, 0, 0}, {0, 1, 1}, {1, 2, 3}, {2, 1, 1}});
        for (int q = 0; q <= 4; ++q) rel_ptr(q) = 0;
        const int codes[4] = {13, 1, 1, 1};
        for (int r = 1; r <= 4; ++r) {
            restrict_code(r) = codes[r - 1];
            proc_order(r) = r;
            phase_code(r) = kCodeNoPhase;
            alpha3_est(r) = 1.0f;
        }
        phase_code(1) = 360 * 1000 + kCodeOrigin;
        phase_code(2) = kCodeSymbol;
        SUP.I(sup::kStartSize) = 2;
        for (int w = param::kEnan; w <= param::kEnanCand + 2; ++w) PARAM.I(w) = 0;
        ERL.I(erlw::kOriginPhases) = 1;
    }
};

TEST_F(EnantiomorphChoice, CentrosymmetricGroupNeedsNone) {
    SYM.I(symw::kCentric) = 1;
    int status = 0;
    STARTS(1, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(PARAM.I(param::kEnan), 0);
    EXPECT_EQ(proc_order(3), 0);
    EXPECT_EQ(proc_order(4), 0);
}

TEST_F(EnantiomorphChoice, GroupThatFixesTheEnantiomorphNeedsNone) {
    SYM.I(symw::kCentric) = -1;
    int status = 0;
    STARTS(1, status);
    EXPECT_EQ(PARAM.I(param::kEnan), 0);
}

// A reflection given the phase 45 as an origin reflection keeps the role.
TEST_F(EnantiomorphChoice, PhasedReflectionIsAcceptedAsItIs) {
    phase_code(2) = 45 * 1000 + kCodeOrigin;
    PARAM.I(param::kEnan) = 2;
    int status = 0;
    STARTS(1, status);
    EXPECT_EQ(PARAM.I(param::kEnan), 2);
}

// The parity test of a candidate against the origin reflections: with one
// origin reflection (restricted to 45/225 here) there is no pair to test,
// and a candidate whose residues are all even with it gives the sign of
// the half-circle from the parities alone (+1), not from the reflection
// paired with itself (whose restriction would give -1).
TEST_F(EnantiomorphChoice, SingleOriginReflectionIsNotPairedWithItself) {
    set_phasing_set({{1, 0, 0}, {0, 1, 1}, {2, 2, 2}, {2, 1, 1}});
    GROUP();
    ASSERT_EQ(sem_modulus(3), 2);  // primitive, l of modulus 2: the parity test runs
    int x = 0, y = 0, z = 0;
    residues_of(3, x, y, z);
    ASSERT_EQ(x % 2 + y % 2 + z % 2, 0);
    ERL.I(erlw::kOriginPhases) = 1;
    restrict_code(1) = 4;
    phase_code(1) = 45 * 1000 + kCodeOrigin;
    restrict_code(3) = 1;
    phase_code(3) = kCodeSymbol;
    PARAM.I(param::kEnan) = 3;
    int status = 0;
    STARTS(1, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(PARAM.I(param::kEnan), 3);
}

// No symbol to choose from: the first general reflection outside the
// starting set joins it as a symbol.
TEST_F(EnantiomorphChoice, FallbackTakesTheFirstGeneralRemovedReflection) {
    int status = 0;
    STARTS(0, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(PARAM.I(param::kEnan), 3);
    EXPECT_EQ(proc_order(3), 3);
    EXPECT_EQ(proc_order(4), 0);
    EXPECT_EQ(phase_code(3), kCodeSymbol);
    EXPECT_TRUE(listed(" ****  warning :  the reflexions in the starting set will not define the enantiomorph"));
}

TEST_F(EnantiomorphChoice, NoGeneralReflectionLeftFails) {
    restrict_code(3) = 13;
    restrict_code(4) = 7;
    alpha3_est(3) = alpha3_est(4) = 0.0f;
    int status = 0;
    STARTS(0, status);
    EXPECT_EQ(status, -1);
    EXPECT_TRUE(listed(" *** error *** the enantiomorph can not be fixed"));
    EXPECT_TRUE(listed("               the program is interrupted"));
}

// A user's reflection in a centrosymmetric group is refused, and so is
// each further candidate, each offered once.
TEST_F(EnantiomorphChoice, UserReflectionRefusedInACentrosymmetricGroup) {
    SYM.I(symw::kCentric) = 1;
    PARAM.I(param::kEnan) = 3;
    PARAM.I(param::kEnanCand) = 4;
    PARAM.I(param::kEnanCand + 1) = 3;
    PARAM.I(param::kEnanCand + 2) = 4;
    int status = 0;
    STARTS(1, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(PARAM.I(param::kEnan), 0);
    int warnings = 0;
    for (const std::string& l : lines())
        if (l.find("enantiomorph fixing reflexion chosen by the user does not fix the enantiomorph") !=
            std::string::npos)
            ++warnings;
    EXPECT_EQ(warnings, 4);
}

}  // namespace

namespace {

// The rows of the origin table: (30x,4i4,f6.2,7x,a9,4x,i6) with rank,
// indices, E, the restriction and the phase the origin is fixed with.
TEST_F(DivergenceJob, OriginTableRows) {
    run("rand_p21c_c18n2o4", {});
    ASSERT_EQ(s.status, 0);
    const auto l = lines();
    auto it = std::find(l.begin(), l.end(), "     origin fixing reflexion(s)");
    ASSERT_NE(it, l.end());
    it += 3;  // two heading lines
    for (int r : origin_reflections()) {
        const List7Record& x = hkl_of(r);
        const double e = std::trunc(100.0 * (x.key + 0.005)) / 100.0;
        char row[120];
        std::snprintf(row, sizeof row, "%30s%4d%4d%4d%4d%6.2f%7s%9s%4s%6d", "", r, x.h, x.k, x.l, e, "",
                      "   0,180 ", "", 360);
        EXPECT_NE(std::find(it, it + 3, std::string(row)), it + 3) << row;
    }
}

}  // namespace
