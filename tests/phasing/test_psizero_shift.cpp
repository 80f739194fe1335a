// Psi-zero relations whose shift is not a half turn. A relation that names
// a reflection through its image under a screw axis carries the phase
// shift -360 h.t of the axis' translation: 120 or 240 degrees for a 3-fold
// screw (t = 1/3, 2/3 of the cell), 90 or 270 for a 4-fold one (1/4, 3/4),
// 60 or 300 for a 6-fold one (1/6, 5/6). With such shifts the sign with
// which the shift enters matters (a shift of 180 degrees reads the same
// either way): the phase the weak reflection's relations give it, the
// term that pushes a strong reflection away from it in the tangent
// refinement, and the psi-zero figures of merit all turn with it.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "jobcontrol/lists/listxx.h"
#include "jobcontrol/numeric.h"
#include "phasing/fom.h"
#include "tests/phasing/test_tangent_fixture.h"
#include "tests/support/test_support.h"

namespace zanek::phasetest {
namespace {

// The ratio I1(x)/I0(x) as the phasing computes it everywhere: a cubic in x
// on each range of x (the two ranges used here, x up to 2.9 and up to 7.5).
double bessel_ratio(double x) {
    if (x <= 2.9) return -0.00718 + 0.5668 * x - 0.12287 * x * x + 0.008 * x * x * x;
    return 0.444 + 0.19096 * x - 0.02697 * x * x + 0.00135 * x * x * x;
}

int phase360(int p) {
    p = ((p % 360) + 360) % 360;
    return p == 0 ? 360 : p;
}

// One weak reflection w (rank 5) with two psi-zero relations over the
// strong reflections 1..4 (E = 2 each, s = 0.3, P 1-like, so s' = 2s and
// every relation has a = s' E E = 2.4):
//   R1: phi(w) + phi(1) + phi(2) + 15 c1 = 0,
//   R2: phi(w) + phi(3) - phi(4) + 15 c2 = 0.
// The strong phases are chosen so that R1 gives w the phase 90 degrees,
// and R2 gives it 90 (agree) or 90 + 120 (disagree). A triplet (1, 2, 3)
// that the phases satisfy gives the strong reflections relations of their
// own (4 has none).
struct Shifts {
    int c1, c2;       // shifts of R1 and R2, 15-degree steps
    bool agree;       // R2 gives w the same phase as R1
};

constexpr int kWeakPhase = 90;
constexpr double kA = 0.6 * 2.0 * 2.0;  // s' E(k) E(l)

class PsiZeroShift : public PhasingTest {
protected:
    std::vector<int> phi;  // phases of ranks 1..4 at [0..3]

    void build(const Shifts& s, float g = 2.0f) {
        const int p1 = 30, p3 = 45;
        const int p2 = phase360(-kWeakPhase - p1 - 15 * s.c1);
        const int p4 = phase360(p3 + 15 * s.c2 + kWeakPhase + (s.agree ? 0 : 120));
        phi = {p1, p2, p3, p4};
        Problem p;
        p.nref = 4;
        p.truth = phi;
        p.restrict = {1, 1, 1, 1};
        p.e = {2, 2, 2, 2};
        p.triplets = {{1, 2, 3, g}};
        install(p);
        e_mode2(5) = 0.1f;
        restrict_code(5) = 1;
        // List 9: items (u, v) at a stride of three; the first item of the
        // group carries the group mark.
        const Word items[6] = {word_of_int(relword(1, 2, s.c1) + (1 << 30)), word_of_int(relword(5, 1, s.c1)),
                               word_of_int(0),
                               word_of_int(relword(3, -4, s.c2)), word_of_int(relword(5, 3, s.c2)),
                               word_of_int(0)};
        FRMXX(0, 9, 2, 2, 1, 0, 0, items);
        GIAN.I(gian::kSwitch) = 1;
        NEWPSI1();
        RIALFNEW(0, SYM.R(symw::kSigma3));
        ASSERT_EQ(PSI0.I(psi0::kNzro), 1);
        ASSERT_EQ(PSI0.I(psi0::kItems), 2);
        for (int r = 1; r <= 4; ++r) set_phase(r, phi[size_t(r) - 1], 1.0f);
    }
};

const Shifts kShifts[] = {
    {8, 4, true},    // 120 (a third) and 60 (a sixth)
    {6, 16, true},   // 90 (a quarter) and 240 (two thirds)
    {20, 18, true},  // 300 (five sixths) and 270 (three quarters)
    {8, 4, false},
    {6, 16, false},
};

// The psi-zero sum of the weak reflection: Z2 the phase its relations give
// it (90 when they agree), Z1 the modulus of the sum (2a when they agree,
// |a + a exp(i 120)| = a when they are 120 degrees apart), Z4 = sqrt(2) a
// and Z3 = 0.886 Z4 (no centre of symmetry).
TEST_F(PsiZeroShift, WeakReflectionSumFollowsTheShifts) {
    for (const Shifts& s : kShifts) {
        SCOPED_TRACE(testing::Message() << "c1 " << s.c1 << " c2 " << s.c2 << " agree " << s.agree);
        build(s);
        NEWPSI3(1);
        const double z4 = std::sqrt(2.0) * kA;
        EXPECT_NEAR(GIAN.R(gian::kZ4), z4, 1e-5);
        EXPECT_NEAR(GIAN.R(gian::kZ3), 0.886 * z4, 1e-5);
        EXPECT_NEAR(GIAN.R(gian::kZ1), s.agree ? 2.0 * kA : kA, 1e-5);
        if (s.agree) {
            EXPECT_EQ(GIAN.I(gian::kZ2), kWeakPhase);
        }
    }
}

// Seen from each strong reflection h, a relation gives h the phase the
// weak reflection's sum and the other strong reflection require; that is
// h's own phase here (the relations agree). The term subtracted from h's
// sums points there: -w (sin phi(h), cos phi(h)) with
// w = E(h) E(k) s' I1/I0(x), x = (Z1 - Z3)/Z4 = (2a - 0.886 sqrt(2) a)/(sqrt(2) a)
//   = sqrt(2) - 0.886.
// When the two relations disagree (Z1 = a < Z4 = sqrt(2) a) the weak sum is
// smaller than its expected spread and no term is used.
TEST_F(PsiZeroShift, TermOfEachStrongReflectionPointsAtThePhaseItsRelationGives) {
    const double w = kA * bessel_ratio(std::sqrt(2.0) - 0.886);
    for (const Shifts& s : kShifts) {
        build(s);
        NEWPSI3(1);
        for (int h = 1; h <= 4; ++h) {
            SCOPED_TRACE(testing::Message() << "c1 " << s.c1 << " c2 " << s.c2 << " agree " << s.agree << " h " << h);
            double gs = 0, gc = 0, ts = 0, tc = 0, qs = 0, qc = 0;
            float pmod = -1.0f, modulus = -1.0f;
            int count = -1;
            NEWPSI(1, h, gs, gc, ts, tc, qs, qc, pmod, count, modulus, 0.01f);
            if (!s.agree) {  // the sum is smaller than its expected spread
                EXPECT_EQ(count, 0);
                EXPECT_EQ(ts, 0.0);
                EXPECT_EQ(tc, 0.0);
                continue;
            }
            const double ph = phi[size_t(h) - 1] * M_PI / 180.0;
            EXPECT_EQ(count, 1);
            EXPECT_NEAR(modulus, w, 1e-5);
            EXPECT_NEAR(pmod, w, 1e-5);
            for (double v : {ts, gs, qs}) EXPECT_NEAR(v, -w * std::sin(ph), 1e-5);
            for (double v : {tc, gc, qc}) EXPECT_NEAR(v, -w * std::cos(ph), 1e-5);
        }
    }
}

// The term is used when its modulus reaches 0.3 sqrt(tau), the threshold
// of the cycle, and not below it: just under and just over the modulus w
// of the term of reflection 1.
TEST_F(PsiZeroShift, TermIsUsedFromThreeTenthsOfTheRootOfTheThresholdUp) {
    build({8, 4, true});
    NEWPSI3(1);
    const double w = kA * bessel_ratio(std::sqrt(2.0) - 0.886);
    struct Case {
        double root_tau;  // sqrt(tau)
        bool used;
    } cases[] = {{0.999 * w / 0.3, true}, {1.001 * w / 0.3, false}, {0.5 * w / 0.3, true}, {2.0 * w / 0.3, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.root_tau);
        double gs = 0, gc = 0, ts = 0, tc = 0, qs = 0, qc = 0;
        float pmod = -1.0f, modulus = -1.0f;
        int count = -1;
        NEWPSI(1, 1, gs, gc, ts, tc, qs, qc, pmod, count, modulus, float(c.root_tau * c.root_tau));
        EXPECT_EQ(count, 1);
        EXPECT_NEAR(modulus, w, 1e-5);
        const double want_s = c.used ? -w * std::sin(30 * M_PI / 180.0) : 0.0;
        const double want_c = c.used ? -w * std::cos(30 * M_PI / 180.0) : 0.0;
        EXPECT_NEAR(ts, want_s, 1e-5);
        EXPECT_NEAR(tc, want_c, 1e-5);
        EXPECT_NEAR(gs, want_s, 1e-5);
        EXPECT_NEAR(qc, want_c, 1e-5);
        EXPECT_EQ(pmod, c.used ? float(modulus) : -1.0f);
    }
}

// The figures of merit take the group with its shifts: the items' angles
// phi(1) + phi(2) + 15 c1 and phi(3) - phi(4) + 15 c2 (both -phi(w)) add to
// P = 2a when the relations agree and to a when they are 120 degrees apart;
// V = sqrt(2) a. With the true phases the strong reflections' alphas match
// their expectations, so only the group deviates:
//   <|z|> = rho |0.886 V - P| / V / N, rho = 1/mabs = I1/I0(4.8) (each
//   strong alpha is a, each expected alpha a I1/I0(a E) = a I1/I0(4.8)),
//   N = 3 strong reflections with relations + 1 group;
//   nps(0) = P / (0.886 V).
TEST_F(PsiZeroShift, FiguresOfMeritTakeTheGroupWithItsShifts) {
    make_list16(5);
    const double rho = bessel_ratio(4.8);
    int t = 1;
    for (const Shifts& s : kShifts) {
        SCOPED_TRACE(testing::Message() << "c1 " << s.c1 << " c2 " << s.c2 << " agree " << s.agree);
        build(s);
        const double P = s.agree ? 2.0 * kA : kA, V = std::sqrt(2.0) * kA;
        float figs[8] = {};
        ABSNEW(known.data(), figs, t, SYM.R(symw::kSigma3));
        EXPECT_NEAR(figs[fig::kMabs - 1], 1.0 / rho, 1e-4);
        EXPECT_EQ(figs[fig::kUndet - 1], 1.0f);  // reflection 4 has no triplet
        const double y = std::fabs(0.886 * V - P) / V;
        EXPECT_NEAR(figs[fig::kZabs - 1], rho * y / 4.0, 1e-5);
        EXPECT_NEAR(figs[fig::kZ2 - 1], rho * y * y / 4.0, 1e-5);

        for (int k = 0; k < 8; ++k) trial_figure(k + 1) = figs[k];
        int nkeep = 5;
        FOMSP(4, t, 10, 0, 1.0f, SYM.R(symw::kSigma3), SYM.I(symw::kCentric), nkeep, slot, evaluated, lowest,
              nenan);
        EXPECT_NEAR(trial_figure(fig::kNps0), P / (0.886 * V), 1e-5);
        ++t;
    }
}

// The refinement adds the psi-zero terms once every reflection is active,
// which a set of four is from the first cycle. Reflections 1, 2 and 4 are
// the starting set; 3 has only the triplet (1, 2, 3), of G = 6, and enters
// the psi-zero sum with its true phase (weight 0, so it is no partner of
// anything until refined). With s = 0.75 (s' = 1.5):
// - cycle 1 (tau = 25): the weak sums have no phase yet, so 3 has the
//   triplet term alone: alpha = BESINV(B(6)) at its true phase, accepted;
// - cycle 2 (tau = 16.25): the weak sum, recomputed at the end of cycle 1,
//   gives 3 the term w = E(3) E(4) s' B(sqrt(2) - 0.886) = 6 B(0.528) along
//   its own phase (above 0.3 sqrt(16.25)), which is subtracted: the tangent
//   sum is alpha - w and the reliability sum 6 - w.
// The listing of the trial shows both sums of each accepted reflection.
TEST_F(PsiZeroShift, RefinementSubtractsTheTermOnceEveryReflectionIsActive) {
    SYM.R(symw::kSigma3) = 0.75f;
    build({8, 4, true}, 6.0f);
    UREQ.I(ureqw::kKnown) = 1;
    make_list16(5);
    start_with({1, 2, 4}, {});
    set_phase(3, phi[2], 0.0f);
    CRIS.I(cris::kDumpSet) = 1;
    refine(1);
    // BES and BESINV as the phasing defines them: B(6) from the cubic for x
    // in 2.9..7.5, its inverse from the quadratic for 0.8666..0.9259.
    const double b6 = bessel_ratio(6.0);
    ASSERT_GT(b6, 0.8666);
    ASSERT_LT(b6, 0.9259);
    const double alpha = 486.69736 - 1127.7574 * b6 + 658.806 * b6 * b6;
    const double w = 2.0 * 2.0 * 1.5 * bessel_ratio(std::sqrt(2.0) - 0.886);
    ASSERT_GT(w, 0.3 * std::sqrt(16.25));
    ASSERT_GT((alpha - w) * (alpha - w), 16.25);  // still accepted in cycle 2

    // Lines " code,jcris =" h, relations, error, phase, known, |T|, |G|, ...
    const std::string text = listing();
    std::vector<std::array<double, 4>> seen;  // error, phase, tangent sum, reliability sum of 3
    test::for_each_record(text, " code,jcris =", [&](test::TextScanner& s) {
        std::string error, phase, tangent_sum, reliability_sum;
        const bool whole = s.some_spaces() && s.literal("3") && s.some_spaces() && s.literal("1 fasi") &&
                           s.some_spaces() && s.digits(&error) && s.some_spaces() && s.digits(&phase) &&
                           s.some_spaces() && s.digits() && s.some_spaces() &&
                           s.run_of(test::kFixedNumberChars, &tangent_sum) && s.some_spaces() &&
                           s.run_of(test::kFixedNumberChars, &reliability_sum);
        if (whole)
            seen.push_back({std::stod(error), std::stod(phase), std::stod(tangent_sum), std::stod(reliability_sum)});
        return whole;
    });
    ASSERT_GE(seen.size(), 2u) << text;
    for (size_t c = 0; c < 2; ++c) {
        SCOPED_TRACE(c + 1);
        EXPECT_EQ(seen[c][0], 0.0);       // phase error
        EXPECT_EQ(seen[c][1], phi[2]);    // the true phase of 3
    }
    EXPECT_NEAR(seen[0][2], alpha, 0.006);
    EXPECT_NEAR(seen[0][3], 6.0, 0.006);
    EXPECT_NEAR(seen[1][2], alpha - w, 0.006);
    EXPECT_NEAR(seen[1][3], 6.0 - w, 0.006);
}

}  // namespace
}  // namespace zanek::phasetest
