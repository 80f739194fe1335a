// The acceptance threshold of the tangent refinement, cycle by cycle, as
// the listing of the trial named by "set" shows it (alpham = sqrt(tau)):
// stage 1 extends the phases over the first min(NREF, 100) reflections of
// the processing order from tau = 25 down by a factor 0.65 a cycle while
// tau stays above 1.5, then over all of them from tau = 25 again; a random
// start begins at tau = 100000, continues from the largest alpha^2 of its
// first cycle, and widens to all reflections once tau falls to 0.5. The
// threshold never falls below 0.05.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "jobcontrol/numeric.h"
#include "tests/phasing/test_tangent_fixture.h"
#include "tests/support/test_support.h"

namespace zanek::phasetest {
namespace {

using test::for_each_record;
using test::kFixedNumberChars;
using test::TextScanner;

struct CycleLine {
    int ncycl, nnn;
    double alpham, max_alfa;
};

// The lines the refinement lists for each cycle of a trial:
// " ncycl=   3 nnn=  40 alpham=   3.250 error= ... max alfa=   7.123".
std::vector<CycleLine> cycle_lines(const std::string& text) {
    std::vector<CycleLine> out;
    for_each_record(text, " ncycl=", [&](TextScanner& s) {
        std::string ncycl, nnn, alpham, max_alfa;
        const auto read_max_alfa = [&](TextScanner& t) { return t.spaces() && t.run_of(kFixedNumberChars, &max_alfa); };
        const bool whole = s.spaces() && s.digits(&ncycl) && s.literal(" nnn=") && s.spaces() && s.digits(&nnn) &&
                           s.literal(" alpham=") && s.spaces() && s.run_of(kFixedNumberChars, &alpham) &&
                           s.literal(" error=") && s.skip_to_last_on_line(" max alfa=", read_max_alfa);
        if (whole) out.push_back({std::stoi(ncycl), std::stoi(nnn), std::stod(alpham), std::stod(max_alfa)});
        return whole;
    });
    return out;
}

// A phasing set of n reflections with true phases (multiples of 15
// degrees) and ntrip triplets among random ranks, each with the shift that
// the true phases satisfy.
Problem consistent_problem(int n, int ntrip, unsigned seed) {
    std::mt19937 rng(seed);
    Problem p;
    p.nref = n;
    for (int r = 1; r <= n; ++r) {
        p.truth.push_back(15 * int(1 + rng() % 24));
        p.restrict.push_back(1);
        p.e.push_back(3.0f - 1.5f * float(r) / float(n));
    }
    std::uniform_real_distribution<float> g(1.5f, 4.0f);
    while (int(p.triplets.size()) < ntrip) {
        const int a = 1 + int(rng() % unsigned(n)), b = 1 + int(rng() % unsigned(n)), c = 1 + int(rng() % unsigned(n));
        if (a == b || b == c || a == c) continue;
        p.triplets.push_back({a, (rng() % 2 ? -1 : 1) * b, (rng() % 2 ? -1 : 1) * c, g(rng)});
    }
    return p;
}

class TangentSchedule : public PhasingTest {
protected:
    void SetUp() override {
        PhasingTest::SetUp();
        UREQ.I(ureqw::kKnown) = 1;
        make_list16(5);
    }

    // Refines trial t with its listing lines and returns its cycle lines.
    std::vector<CycleLine> refine_listed(int t) {
        const size_t before = listing().size();
        CRIS.I(cris::kDumpSet) = t;
        refine(t);
        CRIS.I(cris::kDumpSet) = -1;
        return cycle_lines(listing().substr(before));
    }
};

// tau of the j-th cycle (j from 0) of a schedule that starts at tau0.
double falling(double tau0, int j) { return std::max(tau0 * std::pow(0.65, j), 0.05); }

// Up to 100 reflections: all are active from the first cycle, and every
// cycle takes 0.65 of the threshold before it, from 25: alpham 5.000,
// 4.031, 3.250, 2.620, 2.113, 1.703, 1.373 for the seven cycles of stage 1
// whose threshold is above 1.5 (the next, 1.226, is not), then on.
TEST_F(TangentSchedule, ThresholdFallsFrom25ByAFactor065) {
    const Problem p = random_problem(40, 400, false, 1);
    install(p);
    start_with({1, 2, 3}, {4, 5, 6});
    const std::vector<CycleLine> cycles = refine_listed(1);
    ASSERT_GE(cycles.size(), 8u);
    const double want[7] = {5.000, 4.031, 3.250, 2.620, 2.113, 1.703, 1.373};
    for (int i = 0; i < 7; ++i) EXPECT_NEAR(cycles[size_t(i)].alpham, want[i], 6e-4) << "cycle " << i + 1;
    for (size_t i = 0; i < cycles.size(); ++i) {
        EXPECT_EQ(cycles[i].ncycl, int(i) + 1);
        EXPECT_EQ(cycles[i].nnn, 40);
        EXPECT_NEAR(cycles[i].alpham, std::sqrt(falling(25.0, int(i))), 6e-4) << "cycle " << i + 1;
    }
    EXPECT_EQ(mean_error(40), 0.0);  // the refinement itself still finds the truth
}

// More than 100 reflections: the first 100 of the processing order are
// extended over exactly the seven cycles whose threshold is above 1.5;
// then all 120 are active and the threshold starts again from 25.
TEST_F(TangentSchedule, ExtensionToAllReflectionsRestartsFrom25) {
    const Problem p = consistent_problem(120, 1500, 3);
    install(p);
    start_with({1, 2, 3}, {4, 5, 6});
    const std::vector<CycleLine> cycles = refine_listed(1);
    ASSERT_GE(cycles.size(), 8u);
    for (size_t i = 0; i < cycles.size(); ++i) {
        SCOPED_TRACE(i + 1);
        EXPECT_EQ(cycles[i].ncycl, int(i) + 1);
        if (i < 7) {
            EXPECT_EQ(cycles[i].nnn, 100);
            EXPECT_NEAR(cycles[i].alpham, std::sqrt(falling(25.0, int(i))), 6e-4);
        } else {
            EXPECT_EQ(cycles[i].nnn, 120);
            EXPECT_NEAR(cycles[i].alpham, std::sqrt(falling(25.0, int(i) - 7)), 6e-4);
        }
    }
}

// A random start of 20 reflections, every phase of the set given its true
// value with weight 1: in the first cycle (tau = 100000) nothing is
// accepted, and the sum of reflection h is the sum of |G| over its
// relations (every relation points at the true phase of h). The largest
// of their squares over the 20 active reflections, M, sets the next
// threshold 0.65 M; the 20 go on while the threshold stays above 0.5,
// then all 40 are active from 25 again.
TEST_F(TangentSchedule, RandomStartContinuesFromTheLargestAlphaOfItsFirstCycle) {
    const Problem p = random_problem(40, 400, false, 5);
    install(p);
    CRIS.I(cris::kRandomStart) = 1;
    CRIS.I(cris::kRandomSetSize) = 20;
    for (int r = 1; r <= 40; ++r) set_phase(r, known[size_t(r) - 1], 1.0f);
    double M = 0;
    for (int h = 1; h <= 20; ++h) {
        double sum = 0;
        for (const Triplet& t : p.triplets)
            if (std::abs(t.r1) == h || std::abs(t.r2) == h || std::abs(t.r3) == h)
                sum += std::lround(100.0 * t.g) / 100.0;  // G as the relation word holds it
        M = std::max(M, sum * sum);
    }
    ASSERT_GT(M, 1.0);
    // The expected schedule: tau of each cycle and the active count.
    std::vector<std::pair<double, int>> want = {{100000.0, 20}};
    for (double tau = 0.65 * M; tau > 0.5; tau *= 0.65) want.push_back({tau, 20});
    const size_t first_part = want.size();

    const std::vector<CycleLine> cycles = refine_listed(1);
    ASSERT_GT(cycles.size(), first_part);
    EXPECT_NEAR(cycles[0].max_alfa, std::sqrt(M), 6e-4);
    for (int j = 0; want.size() < cycles.size(); ++j) want.push_back({falling(25.0, j), 40});
    for (size_t i = 0; i < cycles.size(); ++i) {
        SCOPED_TRACE(i + 1);
        EXPECT_EQ(cycles[i].nnn, want[i].second);
        EXPECT_NEAR(cycles[i].alpham, std::sqrt(want[i].first), 6e-4);
    }
}

}  // namespace
}  // namespace zanek::phasetest
