// Representation sums of %seminvariants on small cases worked out by hand,
// in P 41 (operators, as the set-up numbers them: 1 x,y,z; 2 -x,-y,z+1/2;
// 3 -y,x,z+1/4; 4 y,-x,z+3/4; h R_3 = (k, -h, l), h R_2 = (-h, -k, l)).
// Only the reflections a case names are among the data; each is entered
// at every equivalent, as the E table of the command holds them.
//
// One-phase mode: every reflection K found on the solution line adds
// w G (cos a, sin a), a = phi - 360 K.t_m, to the sums; the expected terms
// below are listed one by one with their G, w and angle. Two-phase mode:
// the cross reflections of QUART and the quartet-type sum Q, each of whose
// terms is non-zero in the first case, and the angle 15 (nearest(24 K.t_m)
// mod 24 - sigma) degrees, whose sign shows under the quarter translation
// of the four-fold screw axis.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <vector>

#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/invariants.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/seminv.h"
#include "relationships/representation.h"
#include "relationships/seminv_work.h"
#include "tests/relationships/test_seminv_fixture.h"

using namespace zanek;
using namespace zanek::semtest;

namespace {

constexpr double kPi = 3.14159265358979;
constexpr int kTwoFold = 2, kFourFold = 3;  // operators 2 and 3 of P 41

struct Term {
    double g, w, degrees;  // the term w G (cos, sin) of the angle
};

// Sum of the terms, (cosine, sine).
std::pair<double, double> sum_of(const std::vector<Term>& terms) {
    double c = 0.0, s = 0.0;
    for (const Term& t : terms) {
        c += t.w * t.g * std::cos(t.degrees * kPi / 180.0);
        s += t.w * t.g * std::sin(t.degrees * kPi / 180.0);
    }
    return {c, s};
}

class RepresentationSums : public ::testing::Test {
protected:
    void SetUp() override {
        listing_to("representation_sums");
        ASSERT_TRUE(setup_group("p 41", 12));
        ASSERT_EQ(SYM2.I(sym2::kNsym), 4);
        // The operators the cases rely on.
        ASSERT_FLOAT_EQ(erl_T(kTwoFold, 3), 0.5f);
        ASSERT_FLOAT_EQ(erl_T(kFourFold, 3), 0.25f);
        const int v[3] = {1, 2, 3};
        int img[3], s = 0;
        EQUIV(v, img, kFourFold, s);
        ASSERT_EQ(img[0], 2);
        ASSERT_EQ(img[1], -1);
        ASSERT_EQ(img[2], 3);
        for (int x = 1; x <= COST.I(cost::kLargest); ++x) semtab::isr(x) = semtab::kAbsent;
        PRO.clear();
        PROSS2.clear();
        COST.R(cost::kTwoPi) = static_cast<float>(2.0 * kPi);
        UREQ.I(ureqw::kPrint) = 0;
        UREQ.I(ureqw::kWork) = 0;
        DIR1.I(dir1::kFormula) = 1;
        DIR1.I(dir1::kFreeVectors) = 0;
        DIR1.R(dir1::kFreeE) = 1.5f;
        INP.R(inp::kSemAtomsReal) = 20.0f;
    }

    // Reflection h among the data with |E| = e1000 / 1000.
    static void present(int h, int k, int l, int e1000) {
        const int v[3] = {h, k, l};
        for (int j = 1; j <= SYM2.I(sym2::kNsym); ++j) {
            int img[3], s = -1;
            EQUIV(v, img, j, s);
            if (s > 0) semtab::isr(s) = e1000;
        }
    }

    // H, its |E| and the class matrix m; the solutions K = u + t (0, 0, 1)
    // (line) or K = u alone.
    static void seminvariant(const int H[3], float eh, int m, const int u[3], bool line) {
        for (int j = 1; j <= 3; ++j)
            for (int i = 1; i <= 3; ++i) pro::solution(i, j) = 0;
        if (line) pro::solution(3, 3) = 1;  // column 3 of P
        for (int c = 0; c < 3; ++c) {
            pro::current_k(1 + c) = u[c];
            pro::h(1 + c) = H[c];
        }
        PRO.R(pro::kEH) = eh;
        PRO.I(pro::kMatrix) = m;
    }

    static void one_phase(float phir) {
        PROSS2.I(pross2::kMode) = 1;
        int flag = 0;
        FIND1(1, phir, flag);
    }
};

// --- One-phase mode ---------------------------------------------------------

// H = (2, 0, 0), |E| 2.0, restricted phase 60 degrees, under the two-fold
// screw axis (K = (1, 0, l), K.t = l/2, a = 60 - 180 l) and then the
// four-fold one (K = (1, -1, l), K.t = l/4, a = 60 - 90 l). The parameter
// runs upwards from l = -12: (1, 0, -l) and (1, -1, -l) are equivalents of
// (1, 0, l) and (1, -1, l), so each reflection is counted at its negative l
// and found marked at its positive l.
class OnePhaseSums : public RepresentationSums {
protected:
    void SetUp() override {
        RepresentationSums::SetUp();
        present(1, 0, 0, 1500);   // K = H/2, strong
        present(1, 0, 1, 700);    // medium
        present(1, 0, 3, 10);     // weak
        present(1, 0, 10, 300);   // weak and far: (1 + 10) 2 > 20
        present(1, -1, 1, 1800);  // strong, near
        present(1, -1, 2, 2000);  // |E| of H
        present(1, -1, 9, 1100);  // strong and far
    }
    const int H[3] = {2, 0, 0};
    const int u2[3] = {1, 0, 0}, u4[3] = {1, -1, 0};
    // G = E^2 - 1 ((E^2 - 3) / 3 when E = E_H), w = 1/2 for K = H/2.
    const std::vector<Term> two_fold = {
        {0.09 - 1.0, 1.0, 60.0},      // l = -10: 60 + 1800
        {0.0001 - 1.0, 1.0, 240.0},   // l = -3: 60 + 540
        {0.49 - 1.0, 1.0, 240.0},     // l = -1
        {1.25, 0.5, 60.0},            // l = 0, K = H/2
    };
    const std::vector<Term> four_fold = {
        {0.21, 1.0, 150.0},           // l = -9: 60 + 810
        {1.0 / 3.0, 1.0, 240.0},      // l = -2: 60 + 180, E_K = E_H
        {2.24, 1.0, 150.0},           // l = -1: 60 + 90
    };

    void expect_sums(const std::vector<Term>& terms, int count) {
        const auto [c, s] = sum_of(terms);
        EXPECT_NEAR(PRO.R(pro::kCos1), c, 1e-4);
        EXPECT_NEAR(PRO.R(pro::kSin1), s, 1e-4);
        EXPECT_EQ(PRO.I(pro::kContributors), count);
    }
};

TEST_F(OnePhaseSums, FirstFormulaTermByTerm) {
    seminvariant(H, 2.0f, kTwoFold, u2, true);
    one_phase(static_cast<float>(kPi / 3.0));
    expect_sums(two_fold, 4);
    // The second pair repeats the first under the first formula.
    EXPECT_NEAR(PRO.R(pro::kCos2), PRO.R(pro::kCos1), 1e-5);
    EXPECT_NEAR(PRO.R(pro::kSin2), PRO.R(pro::kSin1), 1e-5);

    // The next class matrix adds to the same sums; the marks stay.
    seminvariant(H, 2.0f, kFourFold, u4, true);
    one_phase(static_cast<float>(kPi / 3.0));
    std::vector<Term> all = two_fold;
    all.insert(all.end(), four_fold.begin(), four_fold.end());
    expect_sums(all, 7);
    EXPECT_NEAR(PRO.R(pro::kCos2), PRO.R(pro::kCos1), 1e-5);
    EXPECT_NEAR(PRO.R(pro::kSin2), PRO.R(pro::kSin1), 1e-5);
    unmark_all();
}

TEST_F(OnePhaseSums, SecondFormulaWithoutFreeVectorsTakesGOfTheFarReflections) {
    // Without free vectors the term of a far K is G (cos, sin): here the
    // far reflections have w = 1, so both pairs agree.
    DIR1.I(dir1::kFormula) = 2;
    seminvariant(H, 2.0f, kFourFold, u4, true);
    one_phase(static_cast<float>(kPi / 3.0));
    expect_sums(four_fold, 3);
    const auto [c, s] = sum_of(four_fold);
    EXPECT_NEAR(PRO.R(pro::kCos2), c, 1e-4);
    EXPECT_NEAR(PRO.R(pro::kSin2), s, 1e-4);
    unmark_all();
}

// A reflection whose E is below 0.001 is entered like one of E = 0, so that
// it can be marked: (1, 0, 3) and its equivalent (1, 0, -3) count once.
TEST_F(RepresentationSums, ReflectionOfTinyEIsCountedOnce) {
    std::vector<SeminvReflection>& refs = seminv_reflections();
    refs.clear();
    refs.push_back({{1, 0, 3}, seminv_e(0.0005f), 0});
    FILLR();
    refs.clear();
    const int H[3] = {2, 0, 0}, u[3] = {1, 0, 0};
    seminvariant(H, 2.0f, kTwoFold, u, true);
    one_phase(static_cast<float>(kPi / 3.0));
    EXPECT_EQ(PRO.I(pro::kContributors), 1);
    // l = -3: 60 + 540 degrees; E entered as 0.01.
    const auto [c, s] = sum_of({{0.0001 - 1.0, 1.0, 240.0}});
    EXPECT_NEAR(PRO.R(pro::kCos1), c, 1e-4);
    EXPECT_NEAR(PRO.R(pro::kSin1), s, 1e-4);
    unmark_all();
}

// The second-representation term of one far K = (1, -1, 9) (|E| 1.1,
// G = 0.21, a = 60 - 90 x 9 = 330 degrees) for H = (2, 0, 0) with one free vector
// F = (0, 1, 1) (row 2, |E| 1.6, q_n = 1.56); 20 atoms; free-vector limit
// 1.5. The equivalents of F under operators 1-4 are (0, 1, 1), (0, -1, 1),
// (1, 0, 1), (-1, 0, 1); L = s (equivalent j), N = 4 (sigma - 1) + j.
// Among the data: H + L = (2, 1, 1) (N 1, and (2, 1, -1) of N 6), |E| 1.4;
// L + K = (1, 0, 10) (N 1, and (0, -1, 10) of N 4), |E| 1.3; L + K =
// (2, -1, 10) (N 3), |E| 0.9. Worked through:
//   N 1: q_L 0.96, q_KL 0.69; L2 = (1, 0, 1) by the product 1.3 = 3, and
//        L2 + K = (2, -1, 10): q_KL2 -0.19. Columns: 0.96, 0.69 x 0.96,
//        0.69, 0.69 x -0.19, all weights 1.
//   N 3: q_L 0 (absent), q_KL -0.19; L2 = (0, -1, 1) (product 3.3 = 2),
//        L2 + K absent. Column 5: -0.19.
//   N 4: q_KL 0.69 is a repeat in column 5; L2 = F (product 4.3 = 1),
//        L2 + K = (1, 0, 10): E_KL = E_KL2, all weights 0.
//   N 6: q_L 0.96 is a repeat in column 1; L2 = -(equivalent 4) (product
//        6.3 = 8), L2 + K absent: E_KL = E_KL2 = 1, all weights 0.
//   N 2, 5, 7, 8: nothing among the data.
// S1 = 0.96, S2 = 0.6624, S3 = 0.69 - 0.19, S4 = -0.1311.
TEST_F(RepresentationSums, SecondFormulaTermOfAFarReflection) {
    const int H[3] = {2, 0, 0}, F[3] = {0, 1, 1}, u[3] = {1, -1, 9};
    FILL(H, 2.0f, 1, 0, 1, 0);
    FILL(F, 1.6f, 1, 0, 2, 0);
    present(1, -1, 9, 1100);
    present(2, 1, 1, 1400);
    present(1, 0, 10, 1300);
    present(2, -1, 10, 900);
    DIR1.I(dir1::kFormula) = 2;
    DIR1.I(dir1::kFreeVectors) = 2;
    seminvariant(H, 2.0f, kFourFold, u, false);
    EHK();
    one_phase(static_cast<float>(kPi / 3.0));
    ASSERT_EQ(PRO.I(pro::kContributors), 1);

    const double G = 0.21, w = 1.0, qn = 1.56, qh = 3.0, natoms = 20.0;
    const double S1 = 0.96, S2 = 0.69 * 0.96, S3 = 0.69 - 0.19, S4 = 0.69 * -0.19;
    const double a = (2.0 * G + 1.0) * w;
    const double A = qn * S3 + S2;
    const double B = std::max(0.0, (G * A + (qn * S1 + S4) * qh) / (2.0 * natoms));
    const double C = ((S2 + S4) * a * qn - A / 2.0) / natoms;
    const double c = std::cos(330.0 * kPi / 180.0), s = std::sin(330.0 * kPi / 180.0);
    EXPECT_NEAR(PRO.R(pro::kCos1), G * c, 1e-5);  // the first pair keeps the plain term
    EXPECT_NEAR(PRO.R(pro::kSin1), G * s, 1e-5);
    EXPECT_NEAR(PRO.R(pro::kCos2), G * c + C * c / (1.0 + B), 1e-5);
    EXPECT_NEAR(PRO.R(pro::kSin2), G * s + C * s / (1.0 + B), 1e-5);
    // A different sum in each column: the correction is not small.
    EXPECT_GT(std::fabs(C), 0.02);
    unmark_all();
}

// --- Two-phase mode ---------------------------------------------------------

struct QuartetCase {
    const char* name;
    int m;                  // class matrix
    int k1[3], k2[3], k[3];  // partners and K (the only solution)
    int flag_k1, flag_k2, flag34, square;  // as the two-phase routine sets them
    int p1[3];              // K1 R_m + K1
    int sigma;              // shift of the sigma2 relation
    struct Entry {
        int h, k, l, e1000;
    };
    std::vector<Entry> data;  // K, X5 .. X14 (when formed) and the rest
    int quartet_shift;      // expected quartet shift, in 15 degree steps
    // Expected E^2 - 1 of K, X5 .. X9 and X11 .. X14.
    double qK, qX5, qX6, qX7, qX8, qX9, qX11, qX12, qX13, qX14;
    double q_sum;           // Q worked out by hand
    int flag;               // expected FLAG
};

void PrintTo(const QuartetCase& c, std::ostream* os) { *os << c.name; }

class QuartetTerm : public RepresentationSums, public ::testing::WithParamInterface<QuartetCase> {};

TEST_P(QuartetTerm, CrossReflectionsSumAndShift) {
    const QuartetCase& c = GetParam();
    for (const auto& d : c.data) present(d.h, d.k, d.l, d.e1000);
    const int H[3] = {c.k1[0] + c.k2[0], c.k1[1] + c.k2[1], c.k1[2] + c.k2[2]};
    seminvariant(H, 2.0f, c.m, c.k, false);
    for (int i = 0; i < 3; ++i) {
        pro::k1(1 + i) = c.k1[i];
        pro::k2(1 + i) = c.k2[i];
        pross2::p1(1 + i) = c.p1[i];
    }
    PROSS2.R(pross2::kEH) = 2.0f;
    PROSS2.R(pross2::kERow1) = 2.1f;
    PROSS2.R(pross2::kERow2) = 1.9f;
    PROSS2.I(pross2::kShift) = c.sigma;
    PROSS2.I(pross2::kFlagK1) = c.flag_k1;
    PROSS2.I(pross2::kFlagK2) = c.flag_k2;
    PROSS2.I(pross2::kFlag34) = c.flag34;
    PROSS2.I(pross2::kSquare) = c.square;
    PROSS2.I(pross2::kMode) = 2;
    int flag = -1;
    FIND1(1, 0.0f, flag);
    EXPECT_EQ(flag, c.flag);
    if (c.flag != 0) {
        EXPECT_EQ(PRO.I(pro::kContributors), 0);
        EXPECT_EQ(PROSS2.R(pross2::kSin), 0.0f);
        EXPECT_EQ(PROSS2.R(pross2::kCos), 0.0f);
        unmark_all();
        return;
    }
    ASSERT_EQ(PRO.I(pro::kContributors), 1);
    // Term by term: the E^2 - 1 of K and of each cross reflection.
    const struct {
        const char* what;
        float value;
        double q;
    } qs[] = {{"K", pross2::q(3), c.qK},      {"X5", pross2::q(5), c.qX5},    {"X6", pross2::q(6), c.qX6},
              {"X7", pross2::q(7), c.qX7},    {"X8", pross2::q(8), c.qX8},    {"X9", pross2::q(9), c.qX9},
              {"X11", pross2::qx(1), c.qX11}, {"X12", pross2::qx(2), c.qX12}, {"X13", pross2::qx(3), c.qX13},
              {"X14", pross2::qx(4), c.qX14}};
    for (const auto& x : qs) EXPECT_NEAR(x.value, x.q, 1e-5) << "E^2 - 1 of " << x.what;
    EXPECT_EQ(PROSS2.I(pross2::kQuartetShift), c.quartet_shift);
    const double q = c.q_sum;
    const double angle = 15.0 * c.quartet_shift * kPi / 180.0;
    EXPECT_NEAR(PROSS2.R(pross2::kSin), q * std::sin(angle), 1e-4);
    EXPECT_NEAR(PROSS2.R(pross2::kCos), q * std::cos(angle), 1e-4);
    unmark_all();
}

// Two-fold screw axis (its square the identity): K1 = (2, 1, 1),
// K2 = (0, 2, -3), K = (1, 0, 5); P1 = (0, 0, 2). X5 = (2, 3, -2),
// X6 = (1, 1, -4), X7 = (-1, 2, -8), X8 = (-2, 1, -2), X9 = (-1, 0, -3),
// X10 = (1, 3, -7), X11 = K + P1 = (1, 0, 7), X12 = X6 + P1 = (1, 1, -2),
// X13 = X9 + P1 = (-1, 0, -1), X14 = X7 - P1 = (-1, 2, -10). K R + K and
// (-X6) R - X6 do not sum to 0: every term of Q is there. K.t = 5/2:
// 24 K.t = 60 = 12 mod 24, less sigma 3: 9 (135 degrees).
// Q = 1.25 + 0.21 + 0.0924 + 0.8625 + 0.525 - 1.26 - 1.275 - 0.315 - 3.4248.
const QuartetCase kTwoFoldCase{
    "two_fold_every_term", kTwoFold, {2, 1, 1}, {0, 2, -3}, {1, 0, 5}, 0, 0, 1, 0, {0, 0, 2}, 3,
    {{1, 0, 5, 1500},
     {2, 3, -2, 1300},
     {1, 1, -4, 1100},
     {-1, 2, -8, 700},
     {-2, 1, -2, 1200},
     {-1, 0, -3, 500},
     {1, 3, -7, 900},
     {1, 0, 7, 800},
     {1, 1, -2, 1400},
     {-1, 0, -1, 600},
     {-1, 2, -10, 1600}},
    9, 1.25, 0.69, 0.21, -0.51, 0.44, -0.75, -0.36, 0.96, -0.64, 1.56, -3.3349, 0};

// Four-fold screw axis (its square the two-fold): no X11 .. X14 and no
// qX7 + qX9 terms. K1 = (2, 1, 1), K2 = (0, 2, -3), K = (1, 0, 5);
// P1 = (1, -2, 1) + K1 = (3, -1, 2). X5 = (2, 3, -2), X6 = (1, 1, -4),
// X7 = (-1, 2, -8), X8 = (1, 0, -2), X9 = (2, -1, -3), X10 = (1, 3, -7).
// K.t = 5/4: 24 K.t = 30 = 6 mod 24, less sigma 2: 4 (60 degrees); with the
// sign of K.t turned it would be 16 (240 degrees).
const QuartetCase kFourFoldCase{
    "four_fold_quarter_shift", kFourFold, {2, 1, 1}, {0, 2, -3}, {1, 0, 5}, 0, 0, 1, 1, {3, -1, 2}, 2,
    {{1, 0, 5, 1500}, {2, 3, -2, 1300}, {1, 1, -4, 1100}, {-1, 2, -8, 700}, {1, 0, -2, 1200}, {2, -1, -3, 500},
     {1, 3, -7, 900}},
    4, 1.25, 0.69, 0.21, -0.51, 0.44, -0.75, 0.0, 0.0, 0.0, 0.0, 1.3499, 0};

// Four-fold axis with K1 = (2, 1, -1), K2 = (0, 3, -3): K1 R + K1 = (3, -1, -2)
// and K2 R + K2 = (3, 3, -6) sum to 0, so the flags of K1 and K2 are set: X7 and
// X9 are not looked up (their q stay 0 although they are among the data)
// and the terms 2 qK qX7, 2 qX6 qX9 drop out. X5 = (2, 4, -4),
// X6 = (1, 1, -6), X7 = (-1, 3, -8), X8 = (1, 1, -4), X9 = (2, -1, -7).
const QuartetCase kFlaggedCase{
    "four_fold_flags_set", kFourFold, {2, 1, -1}, {0, 3, -3}, {1, 0, 5}, 1, 1, 0, 1, {3, -1, -2}, 2,
    {{1, 0, 5, 1500}, {2, 4, -4, 1300}, {1, 1, -6, 1100}, {-1, 3, -8, 700}, {1, 1, -4, 1200}, {2, -1, -7, 500},
     {1, 4, -9, 900}},
    4, 1.25, 0.69, 0.21, 0.0, 0.44, 0.0, 0.0, 0.0, 0.0, 0.0, 2.9399, 0};

// K1 R_m + K2 = X8 among the data with |E| of H or more: the relation is
// not usable and nothing is summed.
QuartetCase unusable() {
    QuartetCase c = kFourFoldCase;
    c.name = "k1_image_plus_k2_strong";
    c.data[4].e1000 = 2000;
    c.flag = 1;
    return c;
}

INSTANTIATE_TEST_SUITE_P(Cases, QuartetTerm, ::testing::Values(kTwoFoldCase, kFourFoldCase, kFlaggedCase, unusable()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(QuartetTermSum, EveryTermOfTheFirstCaseCounts) {
    // Q = qK + qX6 + qX6 qX8 + qK qX5 + 2 qK qX6 + (qX7 + qX9) + 2 qK qX7
    //     + 2 qX6 qX9 + 2 (qX11 qX14 + qX9 qX12 + qX7 qX11 + qX12 qX13): in the
    // two-fold case each term is far from 0, so a term left out moves the
    // sums well beyond the tolerance of the comparison.
    const QuartetCase& c = kTwoFoldCase;
    const double terms[] = {c.qK, c.qX6, c.qX6 * c.qX8, c.qK * c.qX5, 2 * c.qK * c.qX6, c.qX7 + c.qX9,
                            2 * c.qK * c.qX7, 2 * c.qX6 * c.qX9, 2 * c.qX11 * c.qX14, 2 * c.qX9 * c.qX12,
                            2 * c.qX7 * c.qX11, 2 * c.qX12 * c.qX13};
    double total = 0.0;
    for (double t : terms) {
        EXPECT_GT(std::fabs(t), 0.05);
        total += t;
    }
    EXPECT_NEAR(total, c.q_sum, 1e-9);
    // The other cases: the square of the operator not the identity, and
    // then both flags set.
    EXPECT_NEAR(kFourFoldCase.q_sum, total - terms[5] - terms[8] - terms[9] - terms[10] - terms[11], 1e-9);
    EXPECT_NEAR(kFlaggedCase.q_sum, kFourFoldCase.q_sum - terms[6] - terms[7], 1e-9);
}

}  // namespace
