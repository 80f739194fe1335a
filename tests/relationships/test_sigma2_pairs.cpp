// The sigma2 pairs of the two-phase routine, on search tables of two or
// three rows written by hand: a first-rank seminvariant H and the pairs
// H = K1 + K2 of equivalents (with sign) of two other rows. Each record
// carries the symmetry shift that turns the listed phases of the partner
// rows into the phases of K1 and K2; with a quarter or a third of the cell
// as screw translation a shift of the wrong sign is off by 90 or 120
// degrees. A pair is formed of two different rows, neither of them the row
// of H.
//
// The phase of an image follows from x' = R x + t: F(h) = exp(2 pi i h.t)
// F(h R), so phi(h R) = phi(h) - 360 h.t. The value of a record,
// Phi = phi(H) - phi(K1) - phi(K2), is worked out from that below.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "jobcontrol/numeric.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/invariants.h"
#include "jobcontrol/records/seminv.h"
#include "relationships/semalg.h"
#include "relationships/seminv_work.h"
#include "relationships/twophase.h"
#include "tests/relationships/test_seminv_fixture.h"

using namespace zanek;
using namespace zanek::semtest;

namespace {

struct Row {
    std::array<int, 3> h;
    float e;
    int code, phase;  // restriction code, known phase
};

// The group, the search table of the rows (row 1 the seminvariant H) and
// its first-rank entry; then the sigma2 pairs. The records, three relation
// words (A, B, C) each.
std::vector<std::array<int32_t, 9>> sigma2_records(const char* symbol, const std::vector<Row>& rows) {
    listing_to("sigma2_pairs");
    EXPECT_TRUE(setup_group(symbol, 6));
    INP.R(inp::kSemAtomsReal) = 20.0f;
    DIR1.I(dir1::kNrs1) = static_cast<int>(rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r)
        FILL(rows[r].h.data(), rows[r].e, rows[r].code, rows[r].phase, static_cast<int>(r) + 1, 0);
    semtab::first_rank_count() = 0;
    PRO.R(pro::kEH) = rows[0].e;
    COST.I(cost::kCode) = rows[0].code;
    int found = 0;
    FILLIS(rows[0].h.data(), 1, found, rows[0].phase);
    EXPECT_GT(found, 0) << "H is a first-rank seminvariant of " << symbol;
    SIGMA2();
    std::vector<std::array<int32_t, 9>> out;
    for (int k = 1; k <= SIG2.I(sig2::kRelations); ++k) {
        std::array<int32_t, 9> w;
        for (int j = 0; j < 3; ++j) UNPAK3(semtab::relation(k, j + 1), w[3 * j], w[3 * j + 1], w[3 * j + 2]);
        out.push_back(w);
    }
    EXPECT_EQ(semtab::relations_before(2), static_cast<int>(out.size())) << "all of them pairs of H";
    return out;
}

// P 41 (1 x,y,z; 2 -x,-y,z+1/2; 3 -y,x,z+1/4; 4 y,-x,z+3/4; h R_2 = (-h,-k,l),
// h R_3 = (k,-h,l)): H = (2 0 0), restricted to 0/180, phase 180, E 2.0;
// row 2 A = (2 1 1), phase 100, E 1.75; row 3 B = (1 0 1), phase 30, E 1.5.
// The pair of rows 3 and 2: H - B R_3 = (2 0 0) - (0 -1 1) = (2 1 -1) =
// -(A R_2), so s = -1, m = 3, zeta = -1, m2 = 2; K1 = B R_3 = (0 -1 1),
// K2 = -(A R_2) = (2 1 -1).
//   phi(K1) = 30 - 360 x 1/4 = -60, phi(K2) = -(100 - 360 x 1/2) = 80:
//   Phi = 180 + 60 - 80 = 160; the shift of the pair is -90 = 270 degrees
//   (18 steps) beside s phi_B - zeta phi_A: 160 = -30 + 180 + 100 + 270.
// P 31 (1 x,y,z; 2 -y,x-y,z+1/3; 3 -x+y,-x,z+2/3; h R_3 = (-h-k,h,l)):
// H = (1 1 0), general (2h + k = 3), phase 50, E 2.0; row 2 A = (1 0 -1),
// phase 100, E 1.75; row 3 B = (2 0 1), phase 30, E 1.5. H - B = (-1 1 -1)
// = A R_3, so s = -1, m = 1, zeta = +1, m2 = 3; K1 = B, K2 = A R_3.
//   phi(K2) = 100 - 360 x (-2/3) = 340: Phi = 50 - 30 - 340 = -320 = 40;
//   the shift is +120 degrees (8 steps): 40 = -30 + 50 - 100 + 120.
// In both, G = 2 E_H E_B E_A / sqrt(20) = 2.3479, stored as 235. The other
// sums of H with the rows' equivalents give pairs of one row with itself or
// with a row above (formed from the other side), or nothing.
TEST(Sigma2Pairs, ShiftOfThePartnersUnderQuarterAndThirdTranslations) {
    struct Case {
        const char* symbol;
        std::vector<Row> rows;
        int32_t w[9];  // A, B, C of words 1, 2, 3
    };
    const Case cases[] = {
        {"p 41", {{{2, 0, 0}, 2.0f, 13, 180}, {{2, 1, 1}, 1.75f, 1, 100}, {{1, 0, 1}, 1.5f, 1, 30}},
         {1, -3, 3, 2, 2, 18, 160 / 15, 235, 160 % 15}},
        {"p 31", {{{1, 1, 0}, 2.0f, 1, 50}, {{1, 0, -1}, 1.75f, 1, 100}, {{2, 0, 1}, 1.5f, 1, 30}},
         {1, -3, 1, -2, 3, 8, 40 / 15, 235, 40 % 15}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.symbol);
        const auto recs = sigma2_records(c.symbol, c.rows);
        ASSERT_EQ(recs.size(), 1u);
        const char* what[9] = {"first-rank entry", "s r", "m", "-zeta r2", "m2", "shift", "Phi div 15", "100 G",
                               "Phi mod 15"};
        for (int i = 0; i < 9; ++i) EXPECT_EQ(recs[0][i], c.w[i]) << what[i];
        EXPECT_NEAR(semtab::relation_g(1), 2.0 * 2.0 * 1.5 * 1.75 / std::sqrt(20.0), 1e-5);
    }
}

// Sums that would pair a row with itself or with the row of H form no
// pair:
//  - P 31, H = (1 1 0) and row 2 (1 0 -1) alone: H = (1 0 -1) - (0 -1 -1)
//    = (1 0 -1) - (1 0 -1) R_2, both partners row 2;
//  - P 41, H = (2 0 0) and row 2 (4 0 0) alone: H = (4 0 0) + (-2 0 0), the
//    second partner H's own reflection.
TEST(Sigma2Pairs, NoPairOfOneReflectionWithItselfOrWithH) {
    struct Case {
        const char* symbol;
        std::vector<Row> rows;
    };
    const Case cases[] = {
        {"p 31", {{{1, 1, 0}, 2.0f, 1, 50}, {{1, 0, -1}, 1.75f, 1, 100}}},
        {"p 41", {{{2, 0, 0}, 2.0f, 13, 180}, {{4, 0, 0}, 1.75f, 13, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.symbol);
        EXPECT_TRUE(sigma2_records(c.symbol, c.rows).empty());
        EXPECT_EQ(SIG2.I(sig2::kRelations), 0);
    }
}

}  // namespace
