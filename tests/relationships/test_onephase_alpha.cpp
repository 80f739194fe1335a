// The one-phase estimate of a first-rank seminvariant from its
// representation sums, on one candidate whose representations are written
// by hand, and its item of list 26. For a general phase alpha is half the
// argument of the Bessel function I0: alpha = E_H x 1/2 |sum G e^(ia)| / sqrt N;
// for a restricted phase x = 1/2 E_H (sum G cos a) / sqrt N. Here N = 20
// atoms and the first representation formula is used, where each
// reflection K of the solutions of K (I - R_m) = H present among the data
// adds G = E_K^2 - 1 at the angle a = p - 360 K.t_m (p the restricted phase
// value, 0 for a general phase).
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "jobcontrol/lists/listxx.h"
#include "jobcontrol/numeric.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/invariants.h"
#include "jobcontrol/records/seminv.h"
#include "jobcontrol/store/store.h"
#include "relationships/onephase.h"
#include "relationships/semalg.h"
#include "relationships/seminv_work.h"
#include "tests/relationships/test_seminv_fixture.h"
#include "tests/support/inprocess.h"

using namespace zanek;

namespace {

constexpr double kPi = 3.14159265358979;

class OnePhaseAlpha : public test::InProcessJob {
protected:
    OnePhaseAlpha() : InProcessJob("onephase_alpha") {}

    // Reflection h among the data with |E| = e1000 / 1000, at every equivalent.
    static void present(const std::array<int, 3>& h, int e1000) {
        for (int j = 1; j <= SYM2.I(sym2::kNsym); ++j) {
            int img[3], s = -1;
            EQUIV(h.data(), img, j, s);
            if (s > 0) semtab::isr(s) = e1000;
        }
    }
};

// P 31 (2 -y,x-y,z+1/3; 3 -x+y,-x,z+2/3; h R_2 = (k,-h-k,l)): H = (1 1 0),
// 2h + k = 3, a first-rank seminvariant of general phase; E_H = 2.5. Its
// class matrix is the three-fold axis, operator 2: K - K R_2 = (h - k,
// h + 2k, 0) = (1 1 0) gives K = (1 0 l), K.t_2 = l/3. Among the data
// (1 0 1), E 1.5: G 1.25, a = -120; (1 0 2), E 1.25: G 0.5625, a = -240.
//   C = 1.25 cos(-120) + 0.5625 cos(-240) = -0.90625,
//   S = 1.25 sin(-120) + 0.5625 sin(-240) = -0.59539,
//   alpha = 2.5 x 0.5 x 1.08433 / sqrt(20) = 0.30308, listed 0.303 and
//   stored as 30; phase atan2(S, C) = 213.3, whole 213, stored as 14 steps.
// P 41 (2 -x,-y,z+1/2; 3 -y,x,z+1/4): H = (2 0 0), restricted to 0/180,
// E_H = 2.0, class matrices the two-fold (K = (1 0 l), K.t_2 = l/2) and the
// four-fold screw axis (K = (1 -1 l)). Among the data only (1 0 1) = -(1 0 -1) R_2,
// E 1.5: met once at l = -1 (a = 180) and then marked.
//   x = 0.5 x 2.0 x (1.25 cos 180) / sqrt(20) = -0.27951: phase 180,
//   alpha 0.280, stored as 27 with 12 steps.
TEST_F(OnePhaseAlpha, HalfTheBesselArgumentForGeneralAndRestrictedPhases) {
    struct Case {
        const char* symbol;
        std::array<int, 3> H;
        float eh;
        int code;
        std::vector<std::pair<std::array<int, 3>, int>> data;
        int a, b, c;  // the list-26 word: +-row, trunc(100 alpha), phase steps
        const char* listed;
    };
    const Case cases[] = {
        {"p 31", {1, 1, 0}, 2.5f, 1, {{{1, 0, 1}, 1500}, {{1, 0, 2}, 1250}}, -1, 30, 14, "  2.500   0.303  213g "},
        {"p 41", {2, 0, 0}, 2.0f, 13, {{{1, 0, 1}, 1500}}, 1, 27, 12, "  2.000   0.280  180  "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.symbol);
        ASSERT_TRUE(semtest::setup_group(c.symbol, 6));
        for (int x = 1; x <= COST.I(cost::kLargest); ++x) semtab::isr(x) = semtab::kAbsent;
        for (const auto& [h, e] : c.data) present(h, e);
        COST.R(cost::kTwoPi) = static_cast<float>(2.0 * kPi);
        for (int code = 1; code <= 24; ++code) cost::restricted_phase(code) = 0.0f;
        INP.R(inp::kSemAtomsReal) = 20.0f;
        INP.R(inp::kSemSqrtAtoms) = std::sqrt(20.0f);
        UREQ.I(ureqw::kKnown) = 0;
        UREQ.I(ureqw::kWork) = 0;
        PRO.clear();
        PROSS2.clear();
        DIR1.I(dir1::kBoth) = 0;
        DIR1.I(dir1::kFormula) = 1;
        DIR1.I(dir1::kNrs1) = 1;
        DIR1.I(dir1::kFreeVectors) = 0;
        DIR1.R(dir1::kSearchE) = 0.0f;
        FILL(c.H.data(), c.eh, c.code, 360, 1, 0);
        semtab::first_rank_count() = 0;
        PRO.R(pro::kEH) = c.eh;
        COST.I(cost::kCode) = c.code;
        int found = 0;
        FILLIS(c.H.data(), 1, found, 0);
        ASSERT_GT(found, 0);
        COST.I(cost::kCandidates) = 1;
        semtab::candidate(1) = 1;
        CANCELLA(26);

        SeminvCounts ns;
        SS1(ns);
        ASSERT_EQ(ns(3), 1) << "one estimate stored";
        int count = 0, i1, i2, i3, i4;
        std::vector<Word> items(4);
        SFLXX(0, 26, count, i1, i2, i3, i4, items.data(), static_cast<int>(items.size()));
        ASSERT_EQ(count, 1);
        int32_t a, b, cc;
        UNPAK3(items[0].i, a, b, cc);
        EXPECT_EQ(a, c.a) << "row, negative for a general phase";
        EXPECT_EQ(b, c.b) << "trunc(100 alpha)";
        EXPECT_EQ(cc, c.c) << "phase in 15-degree steps";
        EXPECT_TRUE(listed(c.listed)) << listing();
    }
}

}  // namespace
