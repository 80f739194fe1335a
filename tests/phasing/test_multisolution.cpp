// The trial generator: magic integers, the phases of the general and
// two-valued symbols trial after trial, the permutation counter of the
// enantiomorphic reflections, and the random generator.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "jobcontrol/numeric.h"
#include "phasing/multisolution.h"
#include "phasing/random.h"
#include "tests/phasing/test_tangent_fixture.h"

namespace zanek::phasetest {
namespace {

TEST(MagicIntegers, SequencesAndIntervals) {
    MAG.clear();
    MAG.R(mag::kSqrtPi) = float(std::sqrt(M_PI));
    struct Case {
        int n, N;
        std::vector<int> m;
    } cases[] = {
        {1, 4, {1}},
        {2, 14, {3, 2}},
        {3, 18, {5, 4, 3}},
        {4, 30, {9, 8, 7, 5}},
        {5, 48, {15, 14, 13, 11, 8}},
        {6, 80, {25, 24, 23, 21, 18, 13}},
    };
    for (const Case& c : cases) {
        int N = c.n;
        MAGIC(N);
        EXPECT_EQ(N, c.N) << c.n;
        for (int k = 1; k <= c.n; ++k) EXPECT_EQ(MAG.I(mag::kMagic - 1 + k), c.m[size_t(k) - 1]) << c.n << " " << k;
        EXPECT_FLOAT_EQ(MAG.R(mag::kDx), 360.0f / float(c.N));
    }
}

TEST(MagicIntegers, GammaOfHalfIntegers) {
    MAG.R(mag::kSqrtPi) = float(std::sqrt(M_PI));
    const double spi = std::sqrt(M_PI);
    const std::pair<int, double> cases[] = {{1, spi}, {2, 1}, {3, spi / 2}, {4, 1}, {5, 0.75 * spi}, {6, 2}, {8, 6}};
    for (auto [n, g] : cases) EXPECT_NEAR(GAMFU(n), g, 1e-6 * g) << n;
}

class TrialGenerator : public PhasingTest {
protected:
    std::array<float, 12> weights = kGeneralSymbolWeights;
    // Reflections 1..n, all general, no relations needed.
    void reflections(int n, bool centric) {
        start_trial_sequence();
        PARAM.I(param::kNref) = n;
        SYM.I(symw::kCentric) = centric ? 1 : 0;
        for (int r = 1; r <= n; ++r) {
            restrict_code(r) = 1;
            phase_code(r) = 0;
        }
    }
    std::vector<int> phases(int n) {
        std::vector<int> v;
        for (int r = 1; r <= n; ++r) v.push_back(trial_phase(r));
        return v;
    }
};

// One general symbol: four values 90 degrees apart, then the trials end.
TEST_F(TrialGenerator, OneGeneralSymbolRunsThroughFourValues) {
    reflections(3, true);
    phase_code(1) = 1000 * 90 + kCodeOrigin;
    phase_code(2) = kCodeSymbol;  // m(1) = 1 keeps the code -1
    int N = 1;
    MAGIC(N);
    ASSERT_EQ(N, 4);
    PARAM.I(param::kPolar) = N;
    float dx = MAG.R(mag::kDx), x = dx / 2 - 360.0f;
    std::vector<int> seen;
    for (int i = 0; i < 6; ++i) {
        int more = 0;
        WEIPHA(more, x, dx, 1, weights);
        if (more == 0) break;
        seen.push_back(trial_phase(2));
        EXPECT_EQ(trial_phase(1), 90);
        EXPECT_EQ(refl_weight(1), 100.0f);
        EXPECT_EQ(refl_weight(2), 5.5f);  // the weight of one general symbol
        EXPECT_EQ(trial_phase(3), 0);
        EXPECT_EQ(refl_weight(3), 0.0f);
    }
    EXPECT_EQ(seen, (std::vector<int>{45, 135, 225, 315}));
}

// Two general symbols with magic integers 3 and 2: 14 trials whose phase
// pairs (3x, 2x) are all different.
TEST_F(TrialGenerator, TwoGeneralSymbolsFollowTheirMagicIntegers) {
    reflections(2, true);
    int N = 2;
    MAGIC(N);
    phase_code(1) = -MAG.I(mag::kMagic);
    phase_code(2) = -MAG.I(mag::kMagic + 1);
    PARAM.I(param::kPolar) = N;
    float dx = MAG.R(mag::kDx), x = dx / 2 - 360.0f;
    std::set<std::pair<int, int>> pairs;
    int trials = 0;
    for (;;) {
        int more = 0;
        WEIPHA(more, x, dx, 2, weights);
        if (more == 0) break;
        ++trials;
        const double xv = x;
        EXPECT_EQ(trial_phase(1), int(std::fmod(3 * -xv, 360.0) + 0.5)) << trials;
        pairs.insert({trial_phase(1), trial_phase(2)});
        EXPECT_EQ(refl_weight(1), 4.7f);
    }
    EXPECT_EQ(trials, 14);
    EXPECT_EQ(pairs.size(), 14u);
}

// Two-valued symbols (restricted phases): 2^k trials; the first takes
// every symbol's first allowed phase. TANGEN codes them and moves the
// first one half a step back, as done here.
TEST_F(TrialGenerator, TwoValuedSymbolsCountInBinary) {
    reflections(2, true);
    restrict_code(1) = 13;  // 0 or 180
    restrict_code(2) = 7;   // 90 or 270
    phase_code(1) = kCodeTwoValued - kCodeTwoValuedStep * 1 + kCodePermStep;
    phase_code(2) = kCodeTwoValued - kCodeTwoValuedStep * 7;
    PARAM.I(param::kPolar) = 1;
    float x = 0.0f;
    std::vector<std::vector<int>> trials;
    for (;;) {
        int more = 0;
        WEIPHA(more, x, 0.0f, 0, weights);
        if (more == 0) break;
        trials.push_back(phases(2));
        EXPECT_EQ(refl_weight(1), 100.0f);
    }
    const std::vector<std::vector<int>> expect = {{360, 90}, {180, 90}, {360, 270}, {180, 270}};
    EXPECT_EQ(trials, expect);
}

// In a non-centrosymmetric group the permutable reflections (PARAM w3-w5)
// count on after the symbols: a fixed phase phi alternates with 359 - phi.
// Without symbols the first trial is the unpermuted starting set.
TEST_F(TrialGenerator, PermutableReflectionsAlternate) {
    reflections(3, false);
    phase_code(1) = 1000 * 100 + kCodeOrigin;
    phase_code(2) = 1000 * 30 + kCodeOrigin;
    PARAM.I(param::kEnanCand) = 1;
    PARAM.I(param::kEnanCand + 1) = 2;
    PARAM.I(param::kPolar) = 1;
    float x = 0.0f;
    std::vector<std::vector<int>> trials;
    for (int i = 0; i < 8; ++i) {
        int more = 0;
        WEIPHA(more, x, 0.0f, 0, weights);
        if (more == 0) break;
        trials.push_back({trial_phase(1), trial_phase(2)});
    }
    const std::vector<std::vector<int>> expect = {{100, 30}, {259, 30}, {100, 329}, {259, 329}};
    EXPECT_EQ(trials, expect);
}

// The enantiomorph reflection of a non-centrosymmetric group keeps to its
// half-circle: sin > 0 for a positive PARAM w2.
TEST_F(TrialGenerator, EnantiomorphReflectionKeepsItsHalfCircle) {
    reflections(2, false);
    phase_code(1) = kCodeSymbol;
    phase_code(2) = kCodeSymbol;
    int N = 1;
    MAGIC(N);
    PARAM.I(param::kPolar) = N;
    PARAM.I(param::kEnan) = 1;
    float dx = MAG.R(mag::kDx), x = dx / 2 - 360.0f;
    int trials = 0;
    for (;;) {
        int more = 0;
        WEIPHA(more, x, dx, 2, weights);
        if (more == 0) break;
        ++trials;
        EXPECT_GT(std::sin(trial_phase(1) * M_PI / 180.0), 0.0) << trial_phase(1);
    }
    EXPECT_EQ(trials, 2);
}

TEST(RandomGenerator, MinimalStandardSequence) {
    int32_t seed = 1;
    float u = 0.0f;
    URAND(seed, u);
    EXPECT_EQ(seed, 16807);
    for (int i = 2; i <= 10000; ++i) URAND(seed, u);
    EXPECT_EQ(seed, 1043618065);  // the published check value of the generator
}

TEST(RandomGenerator, UniformInUnitIntervalAndRepeatable) {
    int32_t a = 67543, b = 67543;
    double sum = 0.0;
    for (int i = 0; i < 20000; ++i) {
        float u = 0.0f, v = 0.0f;
        URAND(a, u);
        URAND(b, v);
        ASSERT_EQ(u, v);
        ASSERT_GE(u, 0.0f);
        ASSERT_LT(u, 1.0f);
        sum += u;
    }
    EXPECT_NEAR(sum / 20000, 0.5, 0.01);
    // Any stored word is a usable state.
    EXPECT_EQ(seed_state(0), 1);
    EXPECT_EQ(seed_state(2147483647), 1);
    EXPECT_EQ(seed_state(-5), 5);
    int32_t z = 0;
    float u = 0.0f;
    URAND(z, u);
    EXPECT_GT(z, 0);
}

}  // namespace
}  // namespace zanek::phasetest
