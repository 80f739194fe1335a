// The symmetry phase shift a triplet carries for the operators that bring
// its second and third reflections into the closing setting, and the test
// that drops triplets of restricted reflections whose restrictions leave no
// phase sum of 0 or 180 degrees. With half translations a shift of +180 and
// one of -180 agree, so the cases here use screw axes whose translations are
// a quarter, a third or a sixth of the cell: a shift taken with the wrong
// sign, or from the wrong reflection, moves the phase sum by 90 or 120
// degrees.
//
// The phase of an image follows from x' = R x + t: F(h) = exp(2 pi i h.t)
// F(h R), so phi(h R) = phi(h) - 360 h.t, with h the untransformed row.
#include <set>
#include <tuple>

#include "jobcontrol/numeric.h"
#include "tests/relationships/model.h"

using namespace zanek;
using namespace zanek::invtest;
using namespace zanek::invtab;

namespace {

// The trigonal and hexagonal screw groups of the International Tables
// (numbers 144, 152 and 169), operators as x' = R x + t.
Group group_p31() {
    return {"P 31",
            {op({1, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 0, 0}), op({0, -1, 0, 1, -1, 0, 0, 0, 1}, {0, 0, 1.0 / 3.0}),
             op({-1, 1, 0, -1, 0, 0, 0, 0, 1}, {0, 0, 2.0 / 3.0})},
            false};
}
Group group_p3121() {
    Group g = group_p31();
    g.name = "P 31 2 1";
    g.ops.push_back(op({0, 1, 0, 1, 0, 0, 0, 0, -1}, {0, 0, 0}));
    g.ops.push_back(op({1, -1, 0, 0, -1, 0, 0, 0, -1}, {0, 0, 2.0 / 3.0}));
    g.ops.push_back(op({-1, 0, 0, -1, 1, 0, 0, 0, -1}, {0, 0, 1.0 / 3.0}));
    return g;
}
Group group_p61() {
    return {"P 61",
            {op({1, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 0, 0}), op({1, -1, 0, 1, 0, 0, 0, 0, 1}, {0, 0, 1.0 / 6.0}),
             op({0, -1, 0, 1, -1, 0, 0, 0, 1}, {0, 0, 1.0 / 3.0}), op({-1, 0, 0, 0, -1, 0, 0, 0, 1}, {0, 0, 0.5}),
             op({-1, 1, 0, -1, 0, 0, 0, 0, 1}, {0, 0, 2.0 / 3.0}), op({0, 1, 0, -1, 1, 0, 0, 0, 1}, {0, 0, 5.0 / 6.0})},
            false};
}

class TripletShifts : public ListingTest {};

// The records of a model, with the index box widened so that it holds every
// symmetry image of the reflections (as the maximum indices of the data
// do): in a hexagonal group (h k l) R = (-h-k h l) leaves a box of |h|, |k|
// <= 5, and the super-index is one-to-one only inside the box.
void set_wide_records(const Model& m, int hk) {
    m.set_records();
    UREQ.I(ureqw::kHmax) = hk;
    UREQ.I(ureqw::kKmax) = hk;
    const int lmax = UREQ.I(ureqw::kLmax);
    PARAM.I(param::kStrideH) = (2 * hk + 1) * (2 * lmax + 1);
    PARAM.I(param::kStrideK) = 2 * lmax + 1;
    PARAM.I(param::kLargest) = hk * PARAM.I(param::kStrideH) + hk * PARAM.I(param::kStrideK) + lmax;
}

// Three strong rows by hand, one triplet among them. In each case the
// search meets the closing vectors first through the operator named.
//
// P 41 (1 x,y,z; 2 -x,-y,z+1/2; 3 -y,x,z+1/4; 4 y,-x,z+3/4; h R_3 = (k,-h,l),
// h R_4 = (-k,h,l)): rows (1 0 1) phase 10, (1 2 1) phase 20, (1 3 2)
// phase 40, all general. The second row's images added to the first, in
// the order of the search: R_1: -(0 -2 0), +(2 2 2); R_2: -(2 2 0),
// +(0 -2 2); R_3: -(-1 1 0), +(3 -1 2) = (1 3 2) R_3; no image of rows 1 and
// 2 is +-(3 -1 2). So sigma = tau = +1, m = q = 3, and the invariant
//   phi(1 0 1) + phi((1 2 1) R_3) - phi((1 3 2) R_3)
//   = 10 + (20 - 360 x 1/4) - (40 - 360 x 2/4) = 10 + 20 - 40 + 90 = 80:
// a shift of +90 degrees, t = 6 (with a sign turned it would be 270).
//
// P 31 2 1 (1 x,y,z; 2 -y,x-y,z+1/3; 3 -x+y,-x,z+2/3; 4 y,x,-z;
// 5 x-y,-y,-z+2/3; 6 -x,-x+y,-z+1/3; h R_2 = (k,-h-k,l)): 0 k l is
// restricted by operator 5 to 180 x 2l/3 = 120 l (mod 180) degrees, h 0 l
// by operator 6 to 60 l, h -h 0 and h 0 0 to 0 (restriction codes 9 for
// 120, 5 for 60, 13 for 0).
//  - rows (0 1 1) at 120, (1 0 1) at 60, (0 2 0) at 0: the first closure is
//    (0 1 1) - (1 0 1) R_2 - (0 2 0) = (0 1 1) - (0 -1 1) - (0 2 0) = 0, and
//    phi((1 0 1) R_2) = 60 - 360 x 1/3 = -60, so the sum is
//    120 + 60 - 0 = 180: consistent, t = +120 degrees = 8 steps, Phi 180;
//  - rows (1 0 1) at 60, (1 0 0) at 0, (0 1 1) at 120: the first closure is
//    (1 0 1) + (1 0 0) R_2 - (0 1 1) R_2 = (1 0 1) + (0 -1 0) - (1 -1 1) = 0,
//    sum 60 + 0 - (120 - 120) = 60: no sum of 0 or 180 is possible, the
//    triplet is inconsistent and dropped (its shift is also +120 degrees:
//    with the shift turned round the test would pass it).
TEST_F(TripletShifts, HandMadeTripletsUnderQuarterAndThirdTranslations) {
    struct Row {
        V3 h;
        int phase, restriction;
    };
    struct Case {
        const char* what;
        Group (*group)();
        Row rows[3];
        bool stored;
        int sigma, tau, m, q, t, phi;
    };
    const Case cases[] = {
        {"P 41, general rows", group_p41, {{{1, 0, 1}, 10, 1}, {{1, 2, 1}, 20, 1}, {{1, 3, 2}, 40, 1}},
         true, 1, 1, 3, 3, 6, 80},
        {"P 31 2 1, consistent", group_p3121, {{{0, 1, 1}, 120, 9}, {{1, 0, 1}, 60, 5}, {{0, 2, 0}, 0, 13}},
         true, -1, 1, 2, 1, 8, 180},
        // Dropped: no relation is stored, so there are no words to check.
        {"P 31 2 1, inconsistent", group_p3121, {{{1, 0, 1}, 60, 5}, {{1, 0, 0}, 0, 13}, {{0, 1, 1}, 120, 9}},
         false, 0, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Model m(c.group(), 2, 1, {3, 3, 3});  // for the records only
        set_wide_records(m, 6);
        const float e[3] = {2.5f, 2.2f, 2.0f};
        for (int r = 1; r <= 3; ++r) {
            const Row& row = c.rows[r - 1];
            row_index(r) = pack_index(row.h[0], row.h[1], row.h[2]);
            row_eword(r) = pack_eword(e[r - 1], row.phase);
            row_alpha(r) = 0;
            row_restriction(r) = row.restriction;
        }
        DIRTR.clear();
        DIRPS.clear();
        DIRTR.I(dirtr::kNrtr) = 3;
        DIRTR.I(dirtr::kStrongRows) = 3;
        build_relation_images();
        int hdr = 0;
        const PassOutcome out = generate_relations(0, 0, kRelations, 0.0f, hdr);
        if (!c.stored) {
            EXPECT_EQ(out.stored, 0);
            EXPECT_EQ(out.inconsistent, 1);
            continue;
        }
        ASSERT_EQ(out.stored, 1);
        EXPECT_EQ(out.inconsistent, 0);
        const Relation r = decoded(1);
        EXPECT_EQ(r.row[0], 1);
        EXPECT_EQ(r.row[1], 2);
        EXPECT_EQ(r.row[2], 3);
        EXPECT_EQ(r.sign[1], c.sigma) << "sigma";
        EXPECT_EQ(r.sign[2], -c.tau) << "-tau";
        EXPECT_EQ(r.op[1], c.m);
        EXPECT_EQ(r.op[2], c.q);
        EXPECT_EQ(r.t, c.t);
        EXPECT_EQ(r.phi, c.phi);
    }
}

// Every stored triplet of a model structure closes, and its listed phase
// sum plus the stored shift is the phase sum of its three vectors computed
// from the atoms; triplets whose shift is neither 0 nor 180 degrees are
// among them, so the sign and size of the shift are tested.
TEST_F(TripletShifts, PhaseSumsUnderQuarterThirdAndSixthTranslations) {
    struct Case {
        Group (*group)();
        int atoms;
        V3 box;
        int strong;
    };
    const Case cases[] = {
        {group_p41, 6, {5, 5, 6}, 70},
        {group_p31, 5, {5, 5, 6}, 70},
        {group_p61, 4, {5, 5, 7}, 70},
    };
    for (const Case& c : cases) {
        const Model m(c.group(), c.atoms, 2024, c.box);
        SCOPED_TRACE(m.group().name);
        set_wide_records(m, 2 * c.box[0]);
        m.fill_table(c.strong, 0);
        build_relation_images();
        int hdr = 0;
        const PassOutcome out = generate_relations(0, 0, kRelations, 0.0f, hdr);
        ASSERT_GT(out.stored, 50);
        int fractional = 0;
        for (int n = 1; n <= out.stored; ++n) {
            const Relation r = decoded(n);
            SCOPED_TRACE(n);
            const auto v = vectors(r, m.group());
            for (int x = 0; x < 3; ++x) ASSERT_EQ(v[0][x] + v[1][x] + v[2][x], 0);
            const double truth = m.phase_deg(v[0]) + m.phase_deg(v[1]) + m.phase_deg(v[2]);
            EXPECT_LE(angle_gap(truth, r.phi), 2.0) << "shift " << 15 * r.t << ", true sum " << truth;
            if (r.t % 12 != 0) ++fractional;
        }
        EXPECT_GT(fractional, out.stored / 10) << "shifts other than 0 and 180 degrees";
    }
}

// P 31 2 1: 0 k l is restricted to 120 l (mod 180) degrees, h 0 l to 60 l and
// h -h 0 to 0. A triplet of three restricted reflections has its phase sum
// fixed modulo 180 by the restrictions and the shifts; when that sum is not
// 0 or 180 the triplet is inconsistent and dropped. Which triplets those are
// is decided here from the atoms: the true phase sum of each closing triple
// of restricted rows.
TEST_F(TripletShifts, RestrictedTripletsUnderTheThreeFoldScrewAxisAreKeptOnlyWhenConsistent) {
    const Model m(group_p3121(), 4, 77, {5, 5, 6});
    set_wide_records(m, 10);
    const int strong = 90;
    m.fill_table(strong, 0);
    const auto& ops = m.group().ops;
    std::vector<V3> h(strong + 1);
    for (int r = 1; r <= strong; ++r) SCHKL(r, h[r].data());

    // The closing triples of restricted rows and whether their phase sum,
    // from the atoms, is 0 or 180 (every closure of one triple agrees).
    std::set<std::tuple<int, int, int>> consistent, inconsistent;
    std::set<int> codes;
    for (int i = 1; i <= strong; ++i) {
        if (row_restriction(i) == 1) continue;
        codes.insert(row_restriction(i));
        for (int j = i + 1; j <= strong; ++j) {
            if (row_restriction(j) == 1) continue;
            for (int k = j + 1; k <= strong; ++k) {
                if (row_restriction(k) == 1) continue;
                std::set<bool> verdicts;
                for (const Op& om : ops)
                    for (int sigma : {-1, 1})
                        for (const Op& oq : ops)
                            for (int tau : {-1, 1}) {
                                const V3 a = scaled(sigma, times(h[j], om)), b = scaled(-tau, times(h[k], oq));
                                if (h[i][0] + a[0] + b[0] || h[i][1] + a[1] + b[1] || h[i][2] + a[2] + b[2]) continue;
                                const double sum = m.phase_deg(h[i]) + m.phase_deg(a) + m.phase_deg(b);
                                verdicts.insert(std::min(angle_gap(sum, 0.0), angle_gap(sum, 180.0)) <= 2.0);
                            }
                if (verdicts.empty()) continue;
                ASSERT_EQ(verdicts.size(), 1u) << i << " " << j << " " << k;
                (*verdicts.begin() ? consistent : inconsistent).insert({i, j, k});
            }
        }
    }
    ASSERT_GE(codes.size(), 3u) << "restrictions to 0, 60 and 120 degrees among the rows";
    ASSERT_GT(consistent.size(), 5u);
    ASSERT_GT(inconsistent.size(), 5u);

    build_relation_images();
    int hdr = 0;
    const PassOutcome out = generate_relations(0, 0, kRelations, 0.0f, hdr);
    std::set<std::tuple<int, int, int>> kept;
    for (int n = 1; n <= out.stored; ++n) {
        const Relation r = decoded(n);
        const auto v = vectors(r, m.group());
        const double truth = m.phase_deg(v[0]) + m.phase_deg(v[1]) + m.phase_deg(v[2]);
        EXPECT_LE(angle_gap(truth, r.phi), 2.0) << n;
        if (row_restriction(r.row[0]) != 1 && row_restriction(r.row[1]) != 1 && row_restriction(r.row[2]) != 1)
            kept.insert({r.row[0], r.row[1], r.row[2]});
    }
    EXPECT_EQ(kept, consistent);
    EXPECT_EQ(out.inconsistent, static_cast<int>(inconsistent.size()));
}

}  // namespace
