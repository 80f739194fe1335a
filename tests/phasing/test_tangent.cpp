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
        UREQ.I(ureqw::kKnown) = 1;  // known phases: the errors are computed
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
    RIALFNEW(0, SYM.R(symw::kSigma3));
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

// A quartet seen from each of its reflections: the three others enter the
// tangent sum each with its own sign, so that the sum points at the phase
// the quartet gives the reflection (its true phase here), whatever signs
// the four carry.
TEST_F(TangentTest, QuartetTermPointsAtThePhaseItGives) {
    for (int signs = 0; signs < 8; ++signs) {
        const int s2 = signs & 1 ? -1 : 1, s3 = signs & 2 ? -1 : 1, s4 = signs & 4 ? -1 : 1;
        Problem p;
        p.nref = 4;
        p.truth = {45, 75, 135, 210};  // multiples of 15: the shifts are exact
        p.restrict = {1, 1, 1, 1};
        p.e = {2, 2, 2, 2};
        p.quartets = {{1, 2 * s2, 3 * s3, 4 * s4, 1.5f}};
        install(p);
        for (int r = 1; r <= 4; ++r) set_phase(r, known[size_t(r) - 1], 1.0f);
        for (int h = 1; h <= 4; ++h) {
            const TangentSums t = tangent_sums(h, false);
            ASSERT_EQ(t.n, 1);
            const double phi = std::atan2(t.ts, t.tc) * 180.0 / M_PI;
            EXPECT_NEAR(std::remainder(phi - known[size_t(h) - 1], 360.0), 0.0, 1e-3)
                << "signs " << s2 << " " << s3 << " " << s4 << ", seen from " << h;
        }
    }
}

// Relations that agree better than their reliabilities lead one to expect
// (observed alpha above the expected one, five relations or more) mark a
// false solution: the alpha is lowered to w times the expected one, with
// w = exp(-d)^(1/3), d = (observed - expected)^2 / variance, at least 0.2;
// in a random start, once sqrt(d) > 1, to w times the random-start sum
// with w = exp(1 - sqrt(d))^0.2. Sums that agree as expected or less, or
// with fewer relations, keep their alpha.
TEST(TangentDamping, LowersTheAlphaOfRelationsThatAgreeTooWell) {
    struct Case {
        const char* name;
        double gc, sb, v;  // observed alpha (as gc), expected alpha, variance
        int n;
        bool random;
        double a2, w;  // expected alpha^2 and factor
    };
    const double tangent2 = 3.0 * 3.0 + 4.0 * 4.0;  // the tangent sums (3, 4); random-start sums (0, 5)
    const Case cases[] = {
        {"too_good", 15.0, 12.0, 6.0, 5, false, std::pow(std::exp(-0.5) * 12.0, 2), std::exp(-0.5)},
        {"far_too_good", 30.0, 12.0, 6.0, 9, false, std::pow(0.2 * 12.0, 2), 0.2},
        {"as_expected_or_less", 10.0, 12.0, 6.0, 5, false, tangent2, 1.0},
        {"four_relations", 15.0, 12.0, 6.0, 4, false, tangent2, 1.0},
        {"random_too_good", 15.0, 12.0, 1.0, 5, true, std::pow(std::exp(-0.4) * 5.0, 2), std::exp(-0.4)},
        {"random_within_one_sigma", 15.0, 12.0, 9.0, 5, true, tangent2, 1.0},
        {"random_less", 10.0, 12.0, 1.0, 5, true, tangent2, 1.0},
    };
    for (const Case& c : cases) {
        TangentSums s;
        s.ts = 3.0;
        s.tc = 4.0;
        s.qc = 5.0;
        s.gc = c.gc;
        s.sb = c.sb;
        s.v = c.v;
        s.n = c.n;
        double w = -1.0;
        EXPECT_NEAR(supported_alpha2(s, c.random, w), c.a2, 1e-9 * c.a2) << c.name;
        EXPECT_NEAR(w, c.w, 1e-12) << c.name;
    }
}

// With at most 100 reflections every one is active from the first cycle,
// psi-zero terms included. Six weak reflections tie a reflection h to the
// six starting reflections, each by one relation, and the cell is small
// (s = 1): once the weak sums have a phase, their terms reach the first
// cycle's threshold (0.3 sqrt(25)) and outweigh h's one weak triplet.
// Those sums start from zero in every trial: a trial ends the same
// whatever trial was refined before it.
TEST_F(TangentTest, TrialDoesNotDependOnTheTrialBefore) {
    Problem p = random_problem(40, 400, false, 1);
    const int partners[6] = {1, 2, 3, 4, 5, 6};
    const auto starting = [](int r) { return std::abs(r) <= 6; };
    const auto names = [](const Triplet& t, int r) {
        return std::abs(t.r1) == r || std::abs(t.r2) == r || std::abs(t.r3) == r;
    };
    // h: a reflection with a triplet with two starting reflections; that
    // triplet, made weak, is its only one.
    int h = 0;
    Triplet own{};
    for (const Triplet& t : p.triplets) {
        if (starting(t.r1) + starting(t.r2) + starting(t.r3) != 2) continue;
        h = std::abs(!starting(t.r1) ? t.r1 : !starting(t.r2) ? t.r2 : t.r3);
        own = t;
        break;
    }
    ASSERT_GT(h, 0);
    own.g = 0.5f;
    std::vector<Triplet> trip = {own};
    for (const Triplet& t : p.triplets)
        if (!names(t, h)) trip.push_back(t);
    p.triplets = trip;
    p.e[size_t(h) - 1] = 5.5f;
    for (int k : partners) p.e[size_t(k) - 1] = 5.5f;
    SYM.R(symw::kSigma3) = 1.0f;
    install(p);
    std::vector<Word> items;
    for (int i = 1; i <= 6; ++i) {
        const int weak = p.nref + i, k = partners[i - 1], c = (5 * i) % 24;
        e_mode2(weak) = 0.1f;
        restrict_code(weak) = 1;
        items.push_back(word_of_int(relword(h, k, c) + (1 << 30)));  // each opens a group
        items.push_back(word_of_int(relword(weak, h, c)));
        items.push_back(word_of_int(0));
    }
    FRMXX(0, 9, 6, 6, 6, 0, 0, items.data());
    GIAN.I(gian::kSwitch) = 1;
    NEWPSI1();
    RIALFNEW(0, SYM.R(symw::kSigma3));
    prepare_tangent_relations();

    struct Result {
        std::vector<float> figures;
        std::vector<int> phases;
        std::vector<float> weights;
    };
    // One trial from the true starting set, symbols turned by `turn`; h
    // among the symbols or not.
    auto trial = [&](int turn, bool with_h) {
        for (int r = 1; r <= p.nref; ++r) set_phase(r, 0, 0.0f);
        start_with({1, 2, 3}, with_h ? std::vector<int>{4, 5, 6, h} : std::vector<int>{4, 5, 6});
        for (int r : {4, 5, 6}) {
            const int phi = reduce360(known[size_t(r) - 1] + turn);
            trial_phase(r) = phi == 0 ? 360 : phi;
        }
        refine(2);
        Result res;
        for (int k = fig::kMabs; k <= fig::kLatestCfom; ++k) res.figures.push_back(trial_figure(k));
        for (int r = 1; r <= p.nref; ++r) {
            res.phases.push_back(trial_phase(r));
            res.weights.push_back(refl_weight(r));
        }
        return res;
    };
    const Result alone = trial(0, false);
    for (int before : {0, 90}) {
        SCOPED_TRACE(before);
        trial(before, true);
        ASSERT_GT(GIAN.R(gian::kZ1), 0.0f);  // the weak sums hold that trial's phases
        const Result again = trial(0, false);
        EXPECT_EQ(again.figures, alone.figures);
        EXPECT_EQ(again.phases, alone.phases);
        EXPECT_EQ(again.weights, alone.weights);
    }
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
