// Figures of merit of a trial on tiny cases worked out by hand: the
// absolute figure of merit, the alpha figure and its combination, the
// phase-dependent figures of the negative triplets and one-phase
// seminvariants, the psi-zero figures and the enantiomorph average.
#include <gtest/gtest.h>

#include <cmath>

#include "jobcontrol/lists/listxx.h"
#include "jobcontrol/numeric.h"
#include "phasing/fom.h"
#include "tests/phasing/test_tangent_fixture.h"

namespace zanek::phasetest {
namespace {

class FomTest : public PhasingTest {
protected:
    void SetUp() override {
        PhasingTest::SetUp();
        make_list16(5);
    }
    // One triplet (1, 2, 3) of E = 2 each; every phase given with t = 1.
    void one_triplet(bool centric, const std::vector<int>& phases) {
        Problem p;
        p.nref = 3;
        p.centric = centric;
        p.truth = {90, 30, 240};
        p.restrict = {1, 1, 1};
        p.e = {2, 2, 2};
        p.triplets = {{1, 2, 3, 2.0f}};
        install(p);
        for (int r = 1; r <= 3; ++r) set_phase(r, phases[size_t(r) - 1], 1.0f);
    }
    // The alpha statistics as ABSNEW would leave them.
    void alpha_stats(float mabs, float q, float z2, float z2m1, float zabs, float undet) {
        trial_figure(fig::kMabs) = mabs;
        trial_figure(fig::kQ) = q;
        trial_figure(fig::kZ2) = z2;
        trial_figure(fig::kZ2m1) = z2m1;
        trial_figure(fig::kZabs) = zabs;
        trial_figure(fig::kUndet) = undet;
    }
    void score(int t, int nref) {
        int nkeep = 5;
        FOMSP(nref, t, 10, 0, 1.0f, SYM.R(symw::kSigma3), SYM.I(symw::kCentric), nkeep, slot, evaluated, lowest, nenan);
    }
    float kept(int column, int s = 1) { return set_table(column, s); }
};

constexpr int kAlcomb = 2, kCphase = 4, kCfom = 5, kEnantio = 9, kPscomb = 11;

// mabs = sum of observed / sum of expected alpha. With one triplet of
// E = 2, s' = 2s = 0.6: every alpha is a = 0.6*2*2 = 2.4 whatever the
// phases, the expected alpha a*I1/I0(a*E) = 2.4*B(4.8).
TEST_F(FomTest, AbsoluteFigureOfMeritOfOneTriplet) {
    one_triplet(false, {90, 30, 240});
    float figs[8] = {};
    ABSNEW(known.data(), figs, 1, 0.3f);
    const double a = 0.6 * 2 * 2;
    EXPECT_NEAR(alpha_exp(1), a * BES(float(a * 2)), 1e-5);
    EXPECT_NEAR(figs[fig::kMabs - 1], 1.0 / BES(4.8f), 1e-4);
    EXPECT_EQ(figs[fig::kUndet - 1], 0.0f);
    // All alphas per relation and all E equal: no correlation.
    EXPECT_EQ(FOM4.R(fom4::kRxy), -9999.0f);
    // Alphas are rescaled by mabs, so each equals its expectation and the
    // deviations vanish.
    EXPECT_NEAR(alpha_obs(1), alpha_exp(1), 1e-5);
    EXPECT_NEAR(figs[fig::kQ - 1], 0.0, 1e-6);
}

// A partner of weight 0.1 or less leaves alpha 0; a reflection of weight
// 0.1 or less is undetermined and loses its phase. Half of NREF (integer
// division) undetermined: mabs 0 and the earlier Q kept.
TEST_F(FomTest, WeakPartnersAndUndeterminedPhases) {
    one_triplet(false, {90, 30, 240});
    refl_weight(3) = 0.05f;
    float figs[8] = {0, 7.0f, 0, 0, 0, 0, 0, 0};
    ABSNEW(known.data(), figs, 1, 0.3f);
    EXPECT_EQ(alpha_obs(1), 0.0f);
    EXPECT_EQ(trial_phase(3), 0);
    EXPECT_EQ(refl_weight(3), 0.0f);
    EXPECT_EQ(figs[fig::kUndet - 1], 1.0f);  // 1 >= 3 div 2
    EXPECT_EQ(figs[fig::kMabs - 1], 0.0f);
    EXPECT_EQ(figs[fig::kQ - 1], 7.0f);
}

// X = (sqrt(nalf4) + sqrt(nalf3) + sqrt(nalf2) + nalf1)/4 with nalf4 and
// nalf1 over 0.968 and 0.798. Without relation lists cphase = 0 and
// cfom = alcomb; alcomb = exp(-(X - 0.8)^1.5) above 0.8, 1 below.
TEST_F(FomTest, AlphaFigureAndItsCombination) {
    one_triplet(false, {90, 30, 240});
    struct Case {
        float q, z2, z2m1, zabs;
        double alcomb;
    } cases[] = {
        {1.0f, 1.0f, 0.968f, 0.798f, std::exp(-std::pow(0.2, 1.5))},        // X = 1
        {0.25f, 0.25f, 0.242f, 0.3990f, 1.0},                               // X = 0.5
        {4.0f, 4.0f, 3.872f, 2.394f, std::exp(-std::pow(2.25 - 0.8, 1.5))},  // X = 2.25
    };
    int t = 1;
    for (const Case& c : cases) {
        alpha_stats(1.0f, c.q, c.z2, c.z2m1, c.zabs, 0.0f);
        score(t, 3);
        EXPECT_NEAR(kept(kAlcomb, t), c.alcomb, 1e-5) << t;
        EXPECT_EQ(kept(kCphase, t), 0.0f);
        EXPECT_NEAR(kept(kCfom, t), c.alcomb, 1e-5);
        EXPECT_EQ(kept(kPscomb, t), 0.0f);  // no weak reflections
        ++t;
    }
    EXPECT_NEAR(track_max(track::kCfom), 1.0, 1e-6);
}

TEST_F(FomTest, TooManyUndeterminedPhasesGiveCfomZero) {
    one_triplet(false, {90, 30, 240});
    alpha_stats(1.0f, 0.25f, 0.25f, 0.242f, 0.399f, 1.0f);  // 1 >= 3 div 2
    score(1, 3);
    EXPECT_EQ(kept(kCfom), 0.0f);
    EXPECT_EQ(kept(kAlcomb), 0.0f);
    EXPECT_EQ(kept(kEnantio), 0.0f);
    // The trackers of the combined figures were never updated.
    EXPECT_EQ(track_max(track::kCfom), -1e20f);
    EXPECT_EQ(trial_figure(fig::kLatestCfom), 0.0f);
}

// A trial whose statistics ABSNEW left as they were (too many
// undetermined phases) scores the same figures, not figures divided again.
TEST_F(FomTest, UnchangedStatisticsAreNotRescaledTwice) {
    one_triplet(false, {90, 30, 240});
    alpha_stats(1.0f, 1.0f, 1.0f, 0.968f, 0.798f, 2.0f);
    score(1, 3);
    score(2, 3);
    EXPECT_FLOAT_EQ(track_min(track::kNalf4), 1.0f);
    EXPECT_FLOAT_EQ(track_max(track::kNalf4), 1.0f);
    EXPECT_FLOAT_EQ(track_min(track::kNalf1), 1.0f);
}

// A negative triplet (list 10) of G = 1 whose phases add to 180 degrees:
// num = G, den = G B(G), R = 1/B(1) > 1.2, so cphase = 1; its weight
// w_R = sqrt(B(1)) and cfom = (w_R + alcomb)/(w_R + 1). Adding to 0
// instead: R = -1/B(1), cphase = exp(-(1.2 - R)^1.5).
TEST_F(FomTest, NegativeTripletFigure) {
    const Word items[3] = {word_of_int(relword(1, 2, -1)), word_of_int(relword(3, 100, 0)), word_of_int(0)};
    FRMXX(0, 10, 1, 1, 0, 0, 0, items);
    const double B = BES(1.0f), wR = std::sqrt(B), alcomb = std::exp(-std::pow(0.2, 1.5));
    struct Case {
        std::vector<int> phases;
        double R;
    } cases[] = {{{60, 60, 60}, 1.0 / B}, {{60, 60, 240}, -1.0 / B}};
    int t = 1;
    for (const Case& c : cases) {
        one_triplet(false, c.phases);
        alpha_stats(1.0f, 1.0f, 1.0f, 0.968f, 0.798f, 0.0f);
        score(t, 3);
        const double cphase = c.R >= 1.2 ? 1.0 : std::exp(-std::pow(1.2 - c.R, 1.5));
        EXPECT_NEAR(kept(kCphase, t), cphase, 1e-5);
        EXPECT_NEAR(kept(kCfom, t), (wR * cphase + alcomb) / (wR + 1.0), 1e-5);
        ++t;
    }
}

// One-phase seminvariants (list 26): the first "onep" items count half;
// a rank beyond NREF is skipped. Item: rank 1, alpha 1.5, phase 90 (c = 6).
TEST_F(FomTest, OnePhaseSeminvariantFigure) {
    const Word items[2] = {word_of_int(relword(-1, 150, 6)), word_of_int(relword(-9, 150, 0))};
    FRMXX(0, 26, 2, 2, 0, 0, 0, items);
    one_triplet(false, {90, 30, 240});
    alpha_stats(1.0f, 1.0f, 1.0f, 0.968f, 0.798f, 0.0f);
    score(1, 3);
    // cos(90 - 90) = 1: num = den/B(1.5) with the same weight either way.
    EXPECT_NEAR(trial_figure(fig::kSs1), 1.0 / BES(1.5f), 1e-5);
    one_triplet(false, {270, 30, 240});
    alpha_stats(1.0f, 1.0f, 1.0f, 0.968f, 0.798f, 0.0f);
    score(2, 3);
    EXPECT_NEAR(trial_figure(fig::kSs1), -1.0 / BES(1.5f), 1e-5);
}

// One psi-zero group of one item: |sum| = e, sqrt(sum e^2) = e, so y = 1:
// nps(3) = (1 - 0.886)^2/0.215, nps(2) = 0, nps(1) = 1, nps(0) = 1/0.886;
// Y = (sqrt(nps3) + nps0 + sqrt(nps2) + sqrt(nps1))/4/mabs: about 0.59
// with mabs 1 (pscomb 1), above 0.8 with mabs 0.5.
TEST_F(FomTest, PsiZeroFigures) {
    one_triplet(false, {90, 30, 240});
    PSI0.I(psi0::kItems) = 1;
    PSI0.I(psi0::kNzro) = 1;
    PSI0.I(psi0::kGroupPtr) = 0;
    PSI0.I(psi0::kGroupPtr + 1) = 1;
    PSI0.I(psi0::kFirstWord) = relword(1, -2, 3);
    const double nps3 = (1 - 0.886) * (1 - 0.886) / 0.215, nps0 = 1 / 0.886;
    const double Y = 0.25 * (std::sqrt(nps3) + nps0 + 0.0 + 1.0);
    ASSERT_LT(Y, 0.8);
    alpha_stats(1.0f, 1.0f, 1.0f, 0.968f, 0.798f, 0.0f);
    score(1, 3);
    EXPECT_NEAR(trial_figure(fig::kNps0), nps0, 1e-5);
    EXPECT_EQ(kept(kPscomb), 1.0f);
    alpha_stats(0.5f, 1.0f, 1.0f, 0.968f, 0.798f, 0.0f);
    score(2, 3);
    // sqrt(nps(2)) = sqrt(|y^2 - 1|/0.736) magnifies the single-precision
    // sines of y = 1: a looser tolerance.
    EXPECT_NEAR(kept(kPscomb, 2), std::exp(-std::pow(2 * Y - 0.8, 1.5)), 5e-4);
}

// Enantiomorph-sensitive triplets (list 11): the average is asin of the
// mean |sin| in degrees; a centrosymmetric group has none.
TEST_F(FomTest, EnantiomorphAverage) {
    const Word items[3] = {word_of_int(relword(1, 2, -1)), word_of_int(relword(3, 100, 0)), word_of_int(0)};
    FRMXX(0, 11, 1, 1, 0, 0, 0, items);
    one_triplet(false, {10, 10, 10});  // theta = 30
    alpha_stats(1.0f, 1.0f, 1.0f, 0.968f, 0.798f, 0.0f);
    score(1, 3);
    EXPECT_NEAR(kept(kEnantio), 30.0, 1e-3);
    EXPECT_EQ(nenan, 1);
    one_triplet(true, {10, 10, 10});
    alpha_stats(1.0f, 1.0f, 1.0f, 0.968f, 0.798f, 0.0f);
    score(2, 3);
    EXPECT_EQ(kept(kEnantio, 2), 0.0f);
}

// The progress line of window mode: the trial, the trials, the cfom and
// the best so far (a negative best written 0).
TEST_F(FomTest, ProgressLineInWindowMode) {
    SCREEN.I(screenw::kMode) = 1;
    SCMESS.counter[0] = 2;
    one_triplet(false, {90, 30, 240});
    alpha_stats(1.0f, 1.0f, 1.0f, 0.968f, 0.798f, 0.0f);
    score(1, 3);
    EXPECT_EQ(SCMESS.area[0][2].substr(0, 48), "Trial    1 /   10  CFom = 0.914  (max = 0.914)  ");
    SCREEN.I(screenw::kMode) = 0;
}

}  // namespace
}  // namespace zanek::phasetest
