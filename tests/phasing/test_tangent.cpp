// The weighted tangent refinement on synthetic phasing sets whose true
// phases satisfy every relation exactly.
#include <gtest/gtest.h>

#include <cmath>

#include "jobcontrol/lists/listxx.h"
#include "jobcontrol/numeric.h"
#include "phasing/tangent.h"
#include "tests/phasing/test_tangent_fixture.h"

namespace zanek::phasetest {
namespace {

class TangentTest : public PhasingTest {
protected:
    void SetUp() override {
        PhasingTest::SetUp();
        UREQ.I(5) = 1;  // known phases: the errors are computed
        make_list16(5);
    }
};

// Extension from a true starting set: the tangent formula fills in every
// other phase, and (the relations being exact) fills it in exactly.
TEST_F(TangentTest, ExtensionFromTrueStartingSetReproducesTheTruth) {
    struct Case {
        bool centric;
        unsigned seed;
    } cases[] = {{false, 1}, {false, 7}, {true, 3}, {true, 11}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seed);
        const Problem p = random_problem(40, 400, c.centric, c.seed);
        ASSERT_GT(p.triplets.size(), 100u);
        install(p);
        start_with({1, 2, 3}, {4, 5, 6});
        refine(1);
        EXPECT_EQ(undetermined(40), 0);
        EXPECT_EQ(mean_error(40), 0.0);
        EXPECT_EQ(trial_figure(fig::kError), 0.0f);
    }
}

// The relations fix only origin-free combinations: a starting set moved to
// another origin extends to the true phases at that origin.
TEST_F(TangentTest, ExtensionFollowsTheOriginOfTheStartingSet) {
    const Problem p = random_problem(40, 400, false, 7);
    install(p);
    known = p.shifted(4, 0, 8);  // origin moved by (1/6, 0, 1/3)
    ASSERT_NE(known, p.truth);
    start_with({1, 2, 3}, {4, 5, 6});
    refine(1);
    EXPECT_EQ(mean_error(40), 0.0);
}

// With one wrong symbol phase there is no consistent set: the extension
// goes wrong (the tests above are not passed by any starting set).
TEST_F(TangentTest, WrongSymbolPhaseGivesAWrongExtension) {
    const Problem p = random_problem(40, 400, false, 1);
    install(p);
    start_with({1, 2, 3}, {4, 5, 6});
    trial_phase(4) = reduce360(known[3] + 90) == 0 ? 360 : reduce360(known[3] + 90);
    refine(1);
    EXPECT_GT(mean_error(40), 20.0);
}

// From the true phases everywhere the refinement stays put.
TEST_F(TangentTest, TruePhasesAreAFixedPoint) {
    for (bool centric : {false, true}) {
        const Problem p = random_problem(30, 300, centric, 5);
        install(p);
        start_with({1, 2}, {});
        for (int r = 3; r <= 30; ++r) set_phase(r, known[size_t(r) - 1], 2.0f);
        refine(1);
        EXPECT_EQ(mean_error(30), 0.0) << "centric " << centric;
    }
}

// Phases a little off (general: up to 30 degrees; centric: a few wrong
// signs) come back to the truth.
TEST_F(TangentTest, SlightlyWrongPhasesComeBack) {
    {
        const Problem p = random_problem(40, 400, false, 9);
        install(p);
        start_with({1, 2, 3, 4, 5}, {});
        const int offsets[] = {30, -25, 20, -15, 10, -30, 25};
        for (int r = 6; r <= 40; ++r) {
            const int phi = reduce360(known[size_t(r) - 1] + offsets[r % 7]);
            set_phase(r, phi == 0 ? 360 : phi, 2.0f);
        }
        const double before = mean_error(40);
        ASSERT_GT(before, 15.0);
        refine(1);
        // The refinement stops once the alphas grow by 2 % or less a cycle,
        // a few degrees short of the exact set.
        EXPECT_LE(mean_error(40), 5.0);
        EXPECT_EQ(undetermined(40), 0);
    }
    {
        const Problem p = random_problem(40, 400, true, 13);
        install(p);
        start_with({1, 2, 3, 4, 5}, {});
        for (int r = 6; r <= 40; ++r) set_phase(r, known[size_t(r) - 1], 2.0f);
        for (int r : {6, 17, 29, 38}) trial_phase(r) = trial_phase(r) == 180 ? 360 : 180;
        refine(1);
        EXPECT_EQ(mean_error(40), 0.0);
    }
}

// A centric reflection always ends on one of its two allowed phases.
TEST_F(TangentTest, RestrictedPhasesEndOnAllowedValues) {
    Problem p = random_problem(40, 400, false, 1);
    // Reflection 7 may take only 90 or 270 (code 7): its true phase is made so.
    p.restrict[6] = 7;
    p.truth[6] = 270;
    install(p);
    ASSERT_GE(rel_ptr(7) - rel_ptr(6), 8);
    start_with({1, 2, 3}, {4, 5, 6});
    // A wrong start for 7 that is not on its allowed line.
    set_phase(7, 200, 1.0f);
    refine(1);
    EXPECT_TRUE(trial_phase(7) == 90 || trial_phase(7) == 270) << trial_phase(7);
}

// The sums of one reflection: a partner below |t| = 0.1 removes the whole
// relation; G above 6 counts as 6; a negative G stays negative in the
// expected alpha.
TEST_F(TangentTest, SumsOfOneReflection) {
    Problem p;
    p.nref = 5;
    p.truth = {90, 30, 240, 120, 300};
    p.restrict = {1, 1, 1, 1, 1};
    p.e = {2, 2, 2, 2, 2};
    p.triplets = {{1, 2, 3, 2.0f}, {1, 4, 5, 8.0f}};
    install(p);
    // Partners 2, 3 well phased, 4 phased, 5 too weakly (t = I1/I0(0.15) < 0.1).
    for (int r : {2, 3, 4}) set_phase(r, known[size_t(r) - 1], 0.0f), refl_weight(r) = 1.0f;
    set_phase(5, known[4], 0.0f);
    refl_weight(5) = BES(0.15f);
    ASSERT_LT(refl_weight(5), 0.1f);
    TangentSums s = tangent_sums(1, false);
    EXPECT_EQ(s.n, 1);
    // The one relation points at the true phase of 1 with alpha 2.
    EXPECT_NEAR(std::atan2(s.ts, s.tc) * 180.0 / M_PI, 90.0, 1e-3);
    EXPECT_NEAR(std::hypot(s.ts, s.tc), BESINV(BES(2.0f)), 1e-5);
    EXPECT_NEAR(s.sb, 2.0 * BES(2.0f), 1e-5);

    // Now 5 is phased: the second relation counts with G = 6, not 8.
    refl_weight(5) = 1.0f;
    s = tangent_sums(1, false);
    EXPECT_EQ(s.n, 2);
    EXPECT_NEAR(s.sb, 2.0 * BES(2.0f) + 6.0 * BES(6.0f), 1e-4);
    EXPECT_NEAR(std::hypot(s.gs, s.gc), 8.0, 1e-4);  // both point at 90 degrees: 2 + 6
}

TEST_F(TangentTest, NegativeReliabilityStaysNegative) {
    Problem p;
    p.nref = 3;
    p.truth = {90, 30, 240};
    p.restrict = {1, 1, 1};
    p.e = {2, 2, 2};
    p.triplets = {{1, 2, 3, -1.5f}};
    install(p);
    for (int r : {2, 3}) set_phase(r, known[size_t(r) - 1], 0.0f), refl_weight(r) = 1.0f;
    const TangentSums s = tangent_sums(1, false);
    EXPECT_EQ(s.n, 1);
    EXPECT_NEAR(s.sb, 1.5 * BES(-1.5f), 1e-6);
    EXPECT_LT(s.sb, 0.0);
    EXPECT_NEAR(std::hypot(s.gs, s.gc), 1.5, 1e-6);
}

// A relation of reliability 0 adds nothing to the variance (the limit of
// G^2 (2 - 2B(G)/G - 2B^2) is 0), and its expected alpha term is finite.
TEST_F(TangentTest, ZeroReliabilityGivesNoNaN) {
    Problem p;
    p.nref = 3;
    p.truth = {90, 30, 240};
    p.restrict = {1, 1, 1};
    p.e = {2, 2, 2};
    p.triplets = {{1, 2, 3, 0.0f}};
    install(p);
    for (int r : {2, 3}) set_phase(r, known[size_t(r) - 1], 0.0f), refl_weight(r) = 1.0f;
    const TangentSums s = tangent_sums(1, false);
    EXPECT_EQ(s.n, 1);
    EXPECT_EQ(s.v, 0.0);
    EXPECT_EQ(s.sb, 0.0);
    EXPECT_TRUE(std::isfinite(alpha_sigma(1)));
    EXPECT_TRUE(std::isfinite(alpha_exp(1)));
}

// A psi-zero relation of weak reflection w (rank NREF + 1) with the strong
// 1 and 2: its sum has the modulus a = s' E1 E2 at the phase the two give;
// seen from reflection 1 the term to subtract points at the phase of 1
// itself, with the weight E1 E2 s' B((Z1 - Z3)/Z4), once it reaches
// 0.3 sqrt(tau).
TEST_F(TangentTest, PsiZeroTermOfOneWeakReflection) {
    Problem p;
    p.nref = 3;
    p.truth = {90, 30, 240};
    p.restrict = {1, 1, 1};
    p.e = {2.0f, 1.5f, 2.0f};
    install(p);
    e_mode2(4) = 0.1f;
    const int c = 3;  // 45 degrees
    const Word items[3] = {word_of_int(relword(1, 2, c) + (1 << 30)), word_of_int(relword(4, 1, c)),
                           word_of_int(0)};
    FRMXX(0, 9, 1, 1, 1, 0, 0, items);
    GIAN.I(gian::kSwitch) = 1;
    NEWPSI1();
    RIALFNEW(0, SYM.R(222));
    ASSERT_EQ(PSI0.I(psi0::kNzro), 1);
    set_phase(1, 90, 1.0f);
    set_phase(2, 30, 1.0f);
    NEWPSI3(1);
    const double a = 2 * 0.3 * 2.0 * 1.5;
    EXPECT_NEAR(GIAN.R(gian::kZ1), a, 1e-5);
    EXPECT_NEAR(GIAN.R(gian::kZ4), a, 1e-5);
    EXPECT_NEAR(GIAN.R(gian::kZ3), 0.886 * a, 1e-5);
    EXPECT_EQ(GIAN.I(gian::kZ2), reduce360(-90 - 30 - 15 * c));
    double gs = 0, gc = 0, ts = 0, tc = 0, qs = 0, qc = 0;
    float pmod = 0, modulus = 0;
    int count = 0;
    NEWPSI(1, 1, gs, gc, ts, tc, qs, qc, pmod, count, modulus, 0.01f);
    const double w = a * BES(float(1.0 - 0.886));
    EXPECT_EQ(count, 1);
    EXPECT_NEAR(modulus, w, 1e-5);
    EXPECT_NEAR(ts, -w, 1e-5);  // -w (sin 90, cos 90)
    EXPECT_NEAR(tc, 0.0, 1e-5);
    EXPECT_NEAR(gs, -w, 1e-5);
    // Below 0.3 sqrt(tau) nothing is subtracted.
    ts = tc = gs = gc = 0;
    NEWPSI(1, 1, gs, gc, ts, tc, qs, qc, pmod, count, modulus, 25.0f);
    EXPECT_EQ(ts, 0.0);
    // With "nops" the refinement has no psi-zero term.
    GIAN.I(gian::kSwitch) = 0;
    count = 7;
    NEWPSI(1, 1, gs, gc, ts, tc, qs, qc, pmod, count, modulus, 0.01f);
    EXPECT_EQ(count, 7);
}

TEST(TangentProjection, RestrictedSumGoesToTheAllowedLine) {
    fill_tables();
    struct Case {
        int code;
        double s, c;
        int expect;  // phase of the projected vector
    } cases[] = {
        {13, 0.3, 1.0, 360},   // 0/180: towards 0
        {13, 0.3, -1.0, 180},  // towards 180
        {7, 1.0, 0.2, 90},     // 90/270
        {7, -1.0, 0.2, 270},
        {4, 1.0, 1.2, 45},     // 45/225
        {4 + 20, 1.0, 1.2, 45},  // a removed mark reads as its bare code
    };
    for (const Case& k : cases) {
        double s = k.s, c = k.c;
        project_restricted(k.code, s, c);
        int phi = int(std::lround(std::atan2(s, c) * 180.0 / M_PI));
        phi = (phi + 3600) % 360;
        if (phi == 0) phi = 360;
        EXPECT_EQ(phi, k.expect) << k.code;
    }
    double s = 0.4, c = 0.7;
    project_restricted(1, s, c);
    EXPECT_EQ(s, 0.4);
    EXPECT_EQ(c, 0.7);
}

}  // namespace
}  // namespace zanek::phasetest
