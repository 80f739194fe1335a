// Phasing from a partial structure: the phase estimates of the fragment
// and the triplets, the starting set they give, the symbol choice, and the
// sort and error table of the procedure.
#include <gtest/gtest.h>

#include <cmath>

#include "phasing/partial.h"
#include "tests/phasing/test_tangent_fixture.h"

namespace zanek::phasetest {
namespace {

class PartialTest : public PhasingTest {
protected:
    // A fragment phase and its two values for rank r.
    void fragment(int r, int phase, float a, float b) {
        PARTIA.I(partia::kPhaseP + r) = phase;
        PARTIA.R(partia::kValueA + r) = a;
        PARTIA.R(partia::kValueB + r) = b;
    }
    void install_partial(const Problem& p) {
        install(p);
        SYM.R(symw::kSigma3Prim) = 0.3f;
        for (int r = 1; r <= p.nref; ++r) packed_refl(r) = 500000 * 200 + packed_refl(r);  // mode-1 words
    }
    int args[6] = {0, 0, 0, 0, 0, 0};
    int origin[3] = {5, 6, 7};
    void xsim() { XSIM(args[0], args[1], args[2], args[3], origin, args[5]); }
    void xcon() { XCON(args[0], args[1], args[2], args[3], origin, args[5]); }
};

// Without relations the estimate is the fragment's own phase; with no
// fragment information either (S = C = 0) it is 360. A restricted
// reflection is put on p or p + 180.
TEST_F(PartialTest, EstimateWithoutRelations) {
    Problem p;
    p.nref = 3;
    p.truth = {100, 200, 300};
    p.restrict = {1, 1, 7};
    p.e = {2, 2, 2};
    install_partial(p);
    fragment(1, 123, 1.0f, 0.8f);
    fragment(2, -40, 0.0f, 0.5f);  // eps = 0; P raised to 320
    fragment(3, 200, 1.0f, 0.8f);  // 90/270: 200 is nearer 270
    xsim();
    EXPECT_EQ(trial_phase(1), 123);
    EXPECT_EQ(trial_phase(2), 360);
    EXPECT_EQ(PARTIA.I(partia::kPhaseP + 2), 320);
    EXPECT_EQ(trial_phase(3), 270);
    // No triplet estimate at all: the fragment alone weighs each reflection.
    EXPECT_FLOAT_EQ(alpha3_est(1), 1.6f);
}

// With a fragment whose phases are the true ones the estimates are the
// true phases, and the reliability combines eps = 2ab with the triplet
// modulus scaled by r = sum eps / sum alpha.
TEST_F(PartialTest, FragmentAndTripletsAgreeOnTheTruePhases) {
    const Problem p = random_problem(40, 400, false, 1);
    install_partial(p);
    for (int r = 1; r <= 40; ++r) fragment(r, p.truth[size_t(r) - 1], 1.2f, 0.5f);
    xsim();
    EXPECT_EQ(mean_error(40), 0.0);
    const double r = PARTIA.R(partia::kScale);
    EXPECT_GT(r, 0.0);
    EXPECT_NEAR(PARTIA.R(partia::kSumEps), 40 * 1.2, 1e-3);
    // The processing order is sorted by the combined reliability.
    for (int k = 1; k < 40; ++k) EXPECT_GE(alpha3_est(proc_order(k)), alpha3_est(proc_order(k + 1)));
}

// The starting set: the 15 most reliable reflections (when at least 7 of
// them reach 4.0) fixed at their estimates, the symbols taken among the
// rest by the square root of their summed relation values, one parity
// class at a time; the origin left to the fragment.
TEST_F(PartialTest, StartingSetAndSymbols) {
    const Problem p = random_problem(40, 400, false, 3);
    install_partial(p);
    for (int r = 1; r <= 40; ++r) {
        fragment(r, p.truth[size_t(r) - 1], 2.0f, 2.0f);  // eps = 8: reliable
        sqrt_sum(r) = float(r);                          // symbols prefer high ranks
        phase_code(r) = 0;
    }
    xsim();
    args[0] = 0;  // spec
    args[1] = 0;
    args[2] = 3;  // symbols of either kind
    xcon();
    EXPECT_EQ(ERL.I(erlw::kOriginPhases), 0);
    EXPECT_EQ(origin[0], 0);
    EXPECT_EQ(SUP.I(sup::kStartSize), 18);
    EXPECT_EQ(PARTIA.I(partia::kStartSize), 18);
    int fixed = 0, symbols = 0, none = 0;
    for (int k = 1; k <= 40; ++k) {
        const int r = proc_order(k);
        const int c = phase_code(r);
        if (k <= 15) {
            EXPECT_EQ(c % 1000, 100) << k;
            EXPECT_EQ(c / 1000, p.truth[size_t(r) - 1]);
            ++fixed;
        } else if (k <= 18) {
            EXPECT_EQ(c, -1) << k;
            ++symbols;
        } else {
            EXPECT_EQ(c, -100) << k;
            ++none;
        }
    }
    EXPECT_EQ(fixed + symbols + none, 40);
    EXPECT_EQ(args[2], 0);
}

// Too few reliable reflections: the last resort is the four best.
TEST_F(PartialTest, WeakFragmentGivesTheFourBest) {
    const Problem p = random_problem(20, 200, false, 5);
    install_partial(p);
    // Five reflections of reliability about 1.6, the others 0.18: fewer
    // than 7 reach 4.0, 3.0 or 2.5 among the first 15, 12 or 8.
    for (int r = 1; r <= 20; ++r) {
        if (r <= 5)
            fragment(r, p.truth[size_t(r) - 1], 1.0f, 0.8f);
        else
            fragment(r, p.truth[size_t(r) - 1], 0.3f, 0.3f);
        phase_code(r) = 0;
    }
    SYM.R(symw::kSigma3Prim) = 0.01f;  // triplet estimates negligible
    xsim();
    xcon();
    EXPECT_EQ(SUP.I(sup::kStartSize), 4);
    int fixed = 0;
    for (int r = 1; r <= 20; ++r)
        if (phase_code(r) > 0) {
            ++fixed;
            EXPECT_LE(r, 5);
        }
    EXPECT_EQ(fixed, 4);
}

TEST(PartialSort, Sort3OrdersTheIndexByDecreasingKey) {
    const float key[7] = {0.5f, 3.0f, 1.0f, 3.0f, -2.0f, 7.5f, 0.0f};
    int index[7] = {1, 2, 3, 4, 5, 6, 7};
    SORT3(key, index, 7);
    for (int k = 0; k + 1 < 7; ++k) EXPECT_GE(key[index[k] - 1], key[index[k + 1] - 1]);
    EXPECT_EQ(index[0], 6);
    EXPECT_EQ(index[6], 5);
    EXPECT_EQ(key[5], 7.5f);  // the key array itself is untouched
}

}  // namespace
}  // namespace zanek::phasetest
