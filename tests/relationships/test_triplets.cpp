// The relation passes on in-memory reflection tables of small model
// structures: every stored relation closes (its three vectors sum to zero),
// carries the true phase sum of its three reflections computed directly
// from the atoms, and the reliability of the p-3 formula; the set found is
// the set of all triplets among the rows; the store limits hold.
#include <map>
#include <set>
#include <tuple>

#include "jobcontrol/numeric.h"
#include "tests/relationships/model.h"

using namespace zanek;
using namespace zanek::invtest;
using namespace zanek::invtab;

namespace {

class RelationPass : public ListingTest {};

struct Case {
    Group (*group)();
    int atoms;
    V3 box;
    int strong, weak;
};

const Case kCases[] = {
    {group_p1, 10, {4, 4, 4}, 60, 20},
    {group_pbar1, 12, {4, 4, 4}, 60, 20},
    {group_p212121, 6, {5, 5, 5}, 70, 20},
    {group_p21c, 6, {4, 5, 5}, 70, 20},
};

// The triples (i, j, k), i < j < k <= n, whose vectors close under the
// stored operators, found by brute force over the table.
std::set<std::tuple<int, int, int>> closing_triples(const Model& m, int n) {
    const auto& ops = m.group().ops;
    std::vector<V3> h(n + 1);
    for (int r = 1; r <= n; ++r) SCHKL(r, h[r].data());
    std::set<std::tuple<int, int, int>> out;
    for (int i = 1; i <= n; ++i)
        for (int j = i + 1; j <= n; ++j)
            for (int k = j + 1; k <= n; ++k) {
                bool closes = false;
                for (const Op& om : ops)
                    for (int sigma : {-1, 1})
                        for (const Op& oq : ops) {
                            const V3 a = times(h[j], om), b = times(h[k], oq);
                            V3 s3{h[i][0] + sigma * a[0], h[i][1] + sigma * a[1], h[i][2] + sigma * a[2]};
                            if (s3 == b || s3 == neg(b)) closes = true;
                        }
                if (closes) out.insert({i, j, k});
            }
    return out;
}

TEST_F(RelationPass, TripletsCloseCarryTheTruePhaseSumAndTheP3Reliability) {
    for (const Case& c : kCases) {
        const Model m(c.group(), c.atoms, 1234, c.box);
        SCOPED_TRACE(m.group().name);
        ASSERT_GE(static_cast<int>(m.reflections().size()), c.strong + c.weak);
        m.set_records();
        m.fill_table(c.strong, c.weak);
        build_relation_images();
        int hdr = 0;
        const PassOutcome out = generate_relations(0, 0, kRelations, 0.0f, hdr);
        ASSERT_GT(out.stored, 20);
        EXPECT_EQ(out.overflow, 0);

        const double factor = m.group().centric ? 1.0 : 2.0;
        std::set<std::tuple<int, int, int>> found;
        int restricted_all = 0;
        for (int n = 1; n <= out.stored; ++n) {
            const Relation r = decoded(n);
            SCOPED_TRACE(n);
            ASSERT_TRUE(r.row[0] < r.row[1] && r.row[1] < r.row[2] && r.row[2] <= c.strong);
            EXPECT_EQ(r.sign[0], 1);
            EXPECT_EQ(r.op[0], 1);
            found.insert({r.row[0], r.row[1], r.row[2]});
            const auto v = vectors(r, m.group());
            for (int x = 0; x < 3; ++x) ASSERT_EQ(v[0][x] + v[1][x] + v[2][x], 0);
            // Phase sum of the three vectors, each computed from the atoms.
            const double truth = m.phase_deg(v[0]) + m.phase_deg(v[1]) + m.phase_deg(v[2]);
            EXPECT_LE(angle_gap(truth, r.phi), 2.0) << truth;
            EXPECT_GE(r.phi, 0);
            EXPECT_LT(r.phi, 360);
            EXPECT_GE(r.t, 0);
            EXPECT_LT(r.t, 24);
            // p-3: E_i E_j E_k q, doubled without a centre of symmetry.
            const double g = factor * row_e(r.row[0]) * row_e(r.row[1]) * row_e(r.row[2]) * m.q();
            EXPECT_NEAR(key1(n), g, 1e-4 * g);
            EXPECT_EQ(std::lround(100 * r.g), std::lround(100 * std::min(g, 20.47)));
            EXPECT_EQ(r.g, r.gp3);
            // A triplet of restricted reflections is consistent with its
            // restrictions: its phase sum is 0 or 180.
            if (!m.group().centric && row_restriction(r.row[0]) != 1 && row_restriction(r.row[1]) != 1 &&
                row_restriction(r.row[2]) != 1) {
                ++restricted_all;
                EXPECT_LE(std::min(angle_gap(truth, 0.0), angle_gap(truth, 180.0)), 2.0);
            }
        }
        EXPECT_EQ(found.size(), static_cast<size_t>(out.stored)) << "one relation per triple";
        const auto expected = closing_triples(m, c.strong);
        for (const auto& t : found) EXPECT_TRUE(expected.count(t));
        EXPECT_EQ(expected.size() - found.size(), static_cast<size_t>(out.inconsistent));
        if (m.group().name == "P 21 21 21") {
            EXPECT_GT(restricted_all, 0);
            EXPECT_GT(out.inconsistent, 0);
        } else {
            EXPECT_EQ(out.inconsistent, 0);
        }
    }
}

// A full store keeps the largest G met: those of a run with room for all.
TEST_F(RelationPass, FullStoreKeepsTheLargestReliabilities) {
    for (const Case& c : {kCases[0], kCases[2]}) {
        const Model m(c.group(), c.atoms, 99, c.box);
        SCOPED_TRACE(m.group().name);
        m.set_records();
        m.fill_table(c.strong, 0);
        build_relation_images();
        int hdr = 0;
        const PassOutcome all = generate_relations(0, 0, kRelations, 0.0f, hdr);
        std::vector<float> keys;
        for (int n = 1; n <= all.stored; ++n) keys.push_back(key1(n));
        std::sort(keys.rbegin(), keys.rend());

        for (int capacity : {1, 7, 50}) {
            ASSERT_GT(all.stored, capacity);
            build_relation_images();
            const PassOutcome part = generate_relations(0, 0, capacity, 0.0f, hdr);
            EXPECT_EQ(part.stored, capacity);
            EXPECT_GT(part.overflow, 0);
            EXPECT_LE(part.overflow, all.stored - capacity);
            std::vector<float> kept;
            for (int n = 1; n <= part.stored; ++n) kept.push_back(key1(n));
            std::sort(kept.rbegin(), kept.rend());
            for (int n = 0; n < capacity; ++n) EXPECT_EQ(kept[n], keys[n]) << capacity << " " << n;
        }
    }
}

TEST_F(RelationPass, PsiRelationsJoinOneWeakAndTwoStrongReflections) {
    const Model m(group_p212121(), 8, 7, {6, 6, 6});
    const int strong = 200, weak = 30, nlar = 180;
    m.set_records();
    m.fill_table(strong, weak, nlar);
    build_relation_images();
    int hdr = 0;
    const PassOutcome psi0 = generate_relations(1, 0, kRelations, 0.0f, hdr);
    ASSERT_GT(psi0.stored, 100);
    std::map<int, int> per_weak;
    int previous_weak = 0;
    for (int n = 1; n <= psi0.stored; ++n) {
        const Relation r = decoded(n);
        ASSERT_GT(r.row[0], strong);
        ASSERT_LE(r.row[0], strong + weak);
        ASSERT_GE(r.row[0], previous_weak) << "relations of one weak reflection are consecutive";
        previous_weak = r.row[0];
        ASSERT_TRUE(r.row[1] < r.row[2] && r.row[2] <= nlar);
        ++per_weak[r.row[0]];
        const auto v = vectors(r, m.group());
        for (int x = 0; x < 3; ++x) ASSERT_EQ(v[0][x] + v[1][x] + v[2][x], 0);
        const double truth = m.phase_deg(v[0]) + m.phase_deg(v[1]) + m.phase_deg(v[2]);
        EXPECT_LE(angle_gap(truth, r.phi), 2.0);
    }
    int largest = 0;
    for (const auto& [row, count] : per_weak) largest = std::max(largest, count);
    EXPECT_EQ(largest, 80) << "no weak reflection keeps more than 80 relations";

    // Psi-e: the reflections after the strong ones, every relation at or
    // above the threshold.
    m.fill_table(strong, weak, nlar, true);
    build_relation_images();
    const PassOutcome psie = generate_relations(1, 1, 8000, 0.9f, hdr);
    ASSERT_GT(psie.stored, 0);
    for (int n = 1; n <= psie.stored; ++n) EXPECT_GE(key1(n), 0.9f);
}

TEST_F(RelationPass, InconsistentTripletsAreListedOnceUnderOneHeading) {
    const Model m(group_p212121(), 6, 1234, {5, 5, 5});
    m.set_records();
    m.fill_table(70, 0);
    build_relation_images();
    int hdr = 0;
    const PassOutcome a = generate_relations(0, 0, kRelations, 0.0f, hdr);
    ASSERT_GT(a.inconsistent, 0);
    EXPECT_EQ(hdr, 1);
    build_relation_images();
    generate_relations(0, 0, kRelations, 0.0f, hdr);  // heading already printed
    const std::string lis = listing();
    size_t count = 0;
    for (size_t p = lis.find("symmetry inconsistent"); p != std::string::npos;
         p = lis.find("symmetry inconsistent", p + 1))
        ++count;
    EXPECT_EQ(count, 1u);
    EXPECT_NE(lis.find("code  ph.rest."), std::string::npos);
}

TEST(RelationRecord, SortAndUnpacking) {
    // SORTGN: decreasing key, words and second key moving along.
    const float keys[] = {3.0f, 5.0f, 5.0f, 1.0f, -2.0f, 7.5f};
    for (int n = 1; n <= 6; ++n) {
        key1(n) = keys[n - 1];
        key2(n) = 10.0f * keys[n - 1];
        for (int w = 1; w <= 3; ++w) relation(n, w) = 100 * n + w;
    }
    SORTGN(6);
    const float sorted[] = {7.5f, 5.0f, 5.0f, 3.0f, 1.0f, -2.0f};
    for (int n = 1; n <= 6; ++n) {
        EXPECT_EQ(key1(n), sorted[n - 1]);
        EXPECT_EQ(key2(n), 10.0f * sorted[n - 1]);
        const int orig = relation(n, 1) / 100;
        EXPECT_EQ(keys[orig - 1], sorted[n - 1]);
        EXPECT_EQ(relation(n, 3), 100 * orig + 3);
    }
    key1(1) = 1.0f;
    SORTGN(1);
    EXPECT_EQ(key1(1), 1.0f);

    // DECOM of a record built by hand: rows 4, -9, 17; operators 1, 3, 2.
    row_eword(4) = pack_eword(2.0f, 10);
    row_eword(9) = pack_eword(1.5f, 20);
    row_eword(17) = pack_eword(1.25f, 30);
    relation(1, 1) = relation_word(4, -9, 341 / 15);
    relation(1, 2) = relation_word(-17, 212, 5);
    relation(1, 3) = relation_word(32 * 3 + 2 - 2048, 198, 341 % 15);
    float g, gp3;
    int t, phi;
    DECOM(1, g, gp3, t, phi);
    EXPECT_FLOAT_EQ(g, 2.12f);
    EXPECT_FLOAT_EQ(gp3, 1.98f);
    EXPECT_EQ(t, 5);
    EXPECT_EQ(phi, 341);
    EXPECT_EQ(cp10::row(1), 4);
    EXPECT_EQ(cp10::row(2), 9);
    EXPECT_EQ(cp10::row(3), 17);
    EXPECT_EQ(cp10::op(1), 1);
    EXPECT_EQ(cp10::op(2), 3);
    EXPECT_EQ(cp10::op(3), 2);
    EXPECT_EQ(cp10::sign(1), 1);
    EXPECT_EQ(cp10::sign(2), -1);
    EXPECT_EQ(cp10::sign(3), -1);
    EXPECT_FLOAT_EQ(cp10::q(1), 3.0f);
    EXPECT_FLOAT_EQ(cp10::q(2), 1.25f);
    EXPECT_FLOAT_EQ(cp10::q(3), 0.5625f);

    // The E word rounds halves up; the phase is kept modulo 360.
    EXPECT_EQ(pack_eword(1.125f, 0) / 512, 113);
    EXPECT_EQ(pack_eword(2.0f, 360) % 512, 0);
    EXPECT_EQ(pmod(-15, 24), 9);
    EXPECT_EQ(pmod(-360, 360), 0);
}

}  // namespace
