// Negative quartets built by hand from two psi-zero relations of one weak
// reflection, in a group of one operator (no shifts, theta = 0): the
// reliability G = 2 B |Q1 + Q2 + Q3 + 1| (the 1 left out when a cross vector
// is extinct), B = E1 E2 E3 E4 / N, reduced to 0.85 G when the magnitudes of
// the cross vectors are incompletely known, and the pairs whose second
// relation repeats a partner of the first, which form no quartet.
//
// Strong rows 1 (1 0 0) E 2.5, 2 (-1 0 -1) E 2.2, 3 (0 1 0) E 2.0,
// 4 (0 -1 1) E 1.8, 5 (1 0 -1) E 1.6, 6 (1 0 2) E 1.5; weak row 7 (0 0 1),
// E 0.3 (Q = -0.91). N = 20 atoms, so the threshold t is 0.35.
// The first relation is w + h1 + h2 = 0, so V1 = (1 0 0), V2 = (-1 0 -1) and
// the first cross vector V1 + V2 is the weak reflection's mate.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "jobcontrol/numeric.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/invariants.h"
#include "jobcontrol/records/phaseset.h"
#include "jobcontrol/store/store.h"
#include "relationships/crossvec.h"
#include "relationships/invariants.h"
#include "relationships/quartets.h"
#include "relationships/triplets.h"
#include "tests/support/inprocess.h"

using namespace zanek;
using namespace zanek::invtab;

namespace {

using H3 = std::array<int, 3>;

constexpr int kWeak = 7;
const H3 kRows[kWeak + 1] = {{0, 0, 0}, {1, 0, 0}, {-1, 0, -1}, {0, 1, 0}, {0, -1, 1}, {1, 0, -1}, {1, 0, 2}, {0, 0, 1}};
const float kE[kWeak + 1] = {0.0f, 2.5f, 2.2f, 2.0f, 1.8f, 1.6f, 1.5f, 0.3f};

// An isr entry of a cross vector, or none (the reflection is not among the data).
struct Entry {
    H3 h;
    int32_t code;
};

class QuartetByHand : public test::InProcessJob {
protected:
    QuartetByHand() : InProcessJob("quartet_hand") {}

    static int s_of(const H3& h) { return super_index(h.data()); }

    // Runs the quartet search over relation 1 (w + h1 + h2 = 0) and the
    // second relation w + b h|b| + a h|a| = 0 (signed rows b, a), with the
    // cross-vector entries given; the stored negative candidates.
    std::vector<std::array<int32_t, 7>> run(int b, int a, const std::vector<Entry>& entries) {
        SYM.clear();
        SYM.I(symw::kOps) = 1;
        SYM.I(symw::kCentric) = 0;
        UREQ.I(ureqw::kHmax) = UREQ.I(ureqw::kKmax) = UREQ.I(ureqw::kLmax) = 3;
        UREQ.I(ureqw::kKnown) = 0;
        UREQ.I(ureqw::kPrint) = 0;
        PARAM.I(param::kStrideH) = 49;
        PARAM.I(param::kStrideK) = 7;
        PARAM.I(param::kLargest) = 3 * 49 + 3 * 7 + 3;
        INP.R(inp::kQ) = 1.0f / std::sqrt(20.0f);
        set_quartet_defaults();
        DIRTR.clear();
        DIRPS.clear();
        DIRTR.I(dirtr::kNrtr) = kWeak - 1;
        DIRTR.I(dirtr::kStrongRows) = kWeak - 1;
        DIRPS.I(dirps::kNrps) = 1;
        DIRPS.I(dirps::kNlar) = kWeak - 1;

        for (int s = 1; s <= PARAM.I(param::kLargest); ++s) isr(s) = 0;
        for (int p = 1; p <= kPairs; ++p) image_s(p) = image_word(p) = 0;
        for (int r = 1; r <= kWeak; ++r) {
            row_index(r) = pack_index(kRows[r][0], kRows[r][1], kRows[r][2]);
            row_eword(r) = pack_eword(kE[r], 0);
            row_restriction(r) = 1;
            const int s = s_of(kRows[r]);
            isr(std::abs(s)) = r == kWeak ? qcode::weak(r) : qcode::strong(r);
            if (r < kWeak) {
                image_s(r) = s;
                image_word(r) = qimage::word(pack_index(kRows[r][0], kRows[r][1], kRows[r][2]), 0);
            }
        }
        for (const Entry& e : entries) isr(std::abs(s_of(e.h))) = e.code;

        const int ops = 32 * 1 + 1 - 2048;  // both partners under operator 1
        relation(1, 1) = relation_word(kWeak, 1, 0);
        relation(1, 2) = relation_word(2, 0, 0);
        relation(1, 3) = relation_word(ops, 0, 0);
        relation(2, 1) = relation_word(kWeak, b, 0);
        relation(2, 2) = relation_word(a, 0, 0);
        relation(2, 3) = relation_word(ops, 0, 0);
        // Both relations close: w + h1 + h2 = 0 and w + b h|b| + a h|a| = 0.
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(kRows[kWeak][c] + kRows[1][c] + kRows[2][c], 0);
            EXPECT_EQ(kRows[kWeak][c] + (b < 0 ? -1 : 1) * kRows[std::abs(b)][c] +
                          (a < 0 ? -1 : 1) * kRows[std::abs(a)][c],
                      0);
        }
        DIRPS.I(dirps::kStored) = 2;

        CANCELLA(20);
        CANCELLA(21);
        int counts[14] = {};
        quartet::search(counts);
        std::vector<std::array<int32_t, 7>> out;
        for (int r = 0; r < counts[12]; ++r) {
            std::array<int32_t, 7> rec;
            for (int w = 0; w < 7; ++w) rec[w] = quartet::negative_records()[7 * r + w].i;
            out.push_back(rec);
        }
        EXPECT_EQ(counts[13], 0) << "no enantiomorph-sensitive quartet";
        return out;
    }
};

// The second relation w - h3 - h4 = 0 gives V3 = (0 1 0), V4 = (0 -1 1); the
// cross vectors V1 + V3 = (1 1 0) and V1 + V4 = (1 -1 1) take the entries of
// each case. B = 2.5 x 2.2 x 2.0 x 1.8 / 20 = 0.99. The completeness count
// is m = 6 - (3 outside + 2 special absent + extinct); below 5 G is reduced.
//   both ordinary, E 0.5 and 0.6: Q sum -0.91 - 0.75 - 0.64 = -2.30, m 6,
//     G = 2 x 0.99 x |-2.30 + 1| = 2.574;
//   (1 -1 1) not among the data: Q 0, m 3, G = 0.85 x 2 x 0.99 x 0.66 = 1.1108;
//   (1 -1 1) special absent: E 1, Q 0, m 4, G = 1.1108 likewise;
//   (1 -1 1) extinct: Q 0 and no 1 in the sum, m 5, G = 2 x 0.99 x 1.66 = 3.2868;
//   both extinct: m 4, G = 0.85 x 2 x 0.99 x 0.91 = 1.5315;
//   one extinct and one not among the data: m 2, no quartet;
//   both not among the data: no quartet.
// Every G lies above t and the expected phase is 180 degrees: all go to the
// negative list. (In a group of one operator the only equivalent quartet of
// a candidate with a special cross vector is the candidate itself, which
// adds nothing.)
TEST_F(QuartetByHand, ReliabilityIsReducedWhenTheCrossVectorsAreIncompletelyKnown) {
    const H3 x2{1, 1, 0}, x3{1, -1, 1};
    const int32_t e05 = qcode::ordinary(50, 11), e06 = qcode::ordinary(60, 12);
    struct Case {
        const char* what;
        std::vector<Entry> entries;
        int m;      // completeness count, 0 when no quartet is formed
        int g100;   // 100 G rounded
    };
    const Case cases[] = {
        {"both ordinary", {{x2, e05}, {x3, e06}}, 6, 257},
        {"one not among the data", {{x2, e05}}, 3, 111},
        {"one special absent", {{x2, e05}, {x3, qcode::kSpecialAbsent}}, 4, 111},
        {"one extinct", {{x2, e05}, {x3, qcode::kExtinct}}, 5, 329},
        {"both extinct", {{x2, qcode::kExtinct}, {x3, qcode::kExtinct}}, 4, 153},
        {"one extinct, one not among the data", {{x2, qcode::kExtinct}}, 0, 0},
        {"neither among the data", {}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto stored = run(-3, -4, c.entries);
        if (c.m == 0) {
            EXPECT_TRUE(stored.empty());
            EXPECT_FALSE(this->stored(20));
            continue;
        }
        ASSERT_EQ(stored.size(), 1u);
        const auto& rec = stored[0];
        EXPECT_EQ(rec[6], c.m) << "80 psi + m with psi 0";
        EXPECT_EQ(rec[5], c.g100);
        int32_t a, b, ph;
        UNPAK3(rec[2], a, b, ph);
        EXPECT_EQ(a, 1024);
        EXPECT_EQ(b, c.g100);
        EXPECT_EQ(ph, 0);
        UNPAK3(rec[1], a, b, ph);
        EXPECT_EQ(a, 3) << "V3 = +h3";
        EXPECT_EQ(b, 4) << "V4 = +h4";
        EXPECT_TRUE(this->stored(20));
    }
}

// The second relation repeats a partner of the first (rows 1 and 2): the
// four phases are then not four reflections, and the pair is dropped
// whichever partner is repeated. Each of these pairs would otherwise make a
// negative quartet: its cross vectors are the weak reflection (or its
// mate) and a reflection not among the data, Q sum -1.82, m 3, and
// G = 0.85 x 2 B x 0.82 well above t.
//   p3 = p1: w - h1 + h5 = 0, V3 = (1 0 0), V4 = (-1 0 1);
//   p3 = p2: w - h2 - h6 = 0, V3 = (-1 0 -1), V4 = (1 0 2);
//   p4 = p1: w + h5 - h1 = 0, V3 = (-1 0 1), V4 = (1 0 0);
//   p4 = p2: w - h6 - h2 = 0, V3 = (1 0 2), V4 = (-1 0 -1).
TEST_F(QuartetByHand, ASecondRelationThatRepeatsAPartnerFormsNoQuartet) {
    struct Case {
        const char* what;
        int b, a;  // signed rows of the second relation
    };
    const Case cases[] = {{"third partner the first", -1, 5},
                          {"third partner the second", -2, -6},
                          {"fourth partner the first", 5, -1},
                          {"fourth partner the second", -6, -2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(run(c.b, c.a, {}).empty());
        EXPECT_FALSE(stored(20));
    }
    // Four distinct partners (w - h3 - h4 = 0) with cross vectors of the
    // same kind: (1 1 0) ordinary with E 0.3 (Q -0.91), (1 -1 1) not among
    // the data. Q sum -1.82, m 3: G = 0.85 x 2 x 0.99 x 0.82 = 1.38006.
    const auto control = run(-3, -4, {{{1, 1, 0}, qcode::ordinary(30, 5)}});
    ASSERT_EQ(control.size(), 1u);
    EXPECT_EQ(control[0][5], 138);
}

}  // namespace
