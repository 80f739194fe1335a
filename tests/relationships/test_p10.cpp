// The p-10 estimate of a triplet worked by hand on a small P 1 table, the
// cases where a free vector gives no term, the splitting into positive,
// negative and enantiomorph-sensitive sets, and the effect of the estimate
// on a model structure: triplets it calls negative are mostly negative.
#include <cmath>

#include "relationships/p10.h"
#include "tests/relationships/model.h"

using namespace zanek;
using namespace zanek::invtest;
using namespace zanek::invtab;

namespace {

// A P 1 table: row 1 the free vector, rows 2-4 a triplet
// h2 + h3 - h4 = 0, and the other reflections in the list.
class HandP10 : public ::testing::Test {
protected:
    void SetUp() override {
        SYM.clear();
        ERL.clear();
        SYM.I(symw::kOps) = 1;
        for (int i = 1; i <= 3; ++i) erl_R(1, i, i) = 1;
        UREQ.I(ureqw::kHmax) = UREQ.I(ureqw::kKmax) = UREQ.I(ureqw::kLmax) = 3;
        PARAM.I(param::kStrideH) = 49;
        PARAM.I(param::kStrideK) = 7;
        PARAM.I(param::kLargest) = 3 * 49 + 3 * 7 + 3;
        INP.R(inp::kQ) = 0.3f;
        DIRTR.clear();
        DIRTR.I(dirtr::kNrtr) = 4;
        DIRTR.I(dirtr::kStrongRows) = 4;
    }
    void put(int row, V3 h, float e) {
        row_index(row) = pack_index(h[0], h[1], h[2]);
        row_eword(row) = pack_eword(e, 0);
        row_restriction(row) = 1;
    }
    // The triplet 2 + 3 - 4 with p-3 G 1.21.
    void store_triplet() {
        relation(1, 1) = relation_word(2, 3, 0);
        relation(1, 2) = relation_word(-4, 121, 0);
        relation(1, 3) = relation_word(32 * 1 + 1 - 2048, 121, 0);
    }
};

TEST_F(HandP10, SixCrossVectorsEnterTheEstimate) {
    put(1, {0, 0, 1}, 2.0f);
    put(2, {1, 0, 0}, 1.8f);
    put(3, {0, 1, 0}, 1.6f);
    put(4, {1, 1, 0}, 1.4f);
    store_triplet();
    // u1 -+ v = (1,0,-1), (1,0,1); u2 -+ v = (0,1,-1), (0,1,1);
    // u3 -+ v = (-1,-1,-1), (-1,-1,1), found as their Friedel mates.
    build_p10_images({{1, 0, -1, 1.2f}, {1, 0, 1, 0.5f}, {0, 1, -1, 1.5f}, {0, 1, 1, 0.8f}, {1, 1, 1, 1.1f},
                      {1, 1, -1, 1.3f}});
    const P10Sums s = p10_strengthen(1, 1);

    auto a = [](double e) { return e * e - 1.0; };
    const double q2 = 0.09, ek = a(2.0), e1 = a(1.8), e2 = a(1.6), e3 = a(1.4);
    const double a1m = a(1.2), a1p = a(0.5), a2m = a(1.5), a2p = a(0.8), a3m = a(1.1), a3p = a(1.3);
    const double X = ek * ((a1m + a2m) * a3p + (a1m + a3m) * a2p + (a2m + a3m) * a1p);
    const double Y = e3 * (a1m * a2p + a2m * a1p + (a3p + a3m) * ek) + e1 * (a2m * a3p + a2p * a3m + (a1p + a1m) * ek) +
                     e2 * (a1m * a3p + a1p * a3m + (a2p + a2m) * ek);
    const double W = std::max(0.0, 0.5 * q2 * e1 * e2 * e3 + 0.5 * q2 * Y);
    const double expected = (1.0 + q2 * X / (1.0 + W)) * 1.21;
    EXPECT_NEAR(key1(1), expected, 2e-4 * expected);
    EXPECT_FLOAT_EQ(key2(1), 1.21f);
    EXPECT_NEAR(s.p3, 1.21, 1e-6);
    EXPECT_NEAR(s.p10, std::fabs(expected), 2e-4 * expected);
}

TEST_F(HandP10, NoTermWhenACrossVectorMeetsTheTripletOrAStrongerFreeVector) {
    struct Case {
        const char* what;
        V3 free1, free2;
        int numk;
    };
    // (-1,1,0) + u1 = (0,1,0) is row 3 of the triplet; with two free
    // vectors, u2 + (0,0,1) = (0,1,1) is free vector 1, stronger than 2.
    const Case cases[] = {{"cross vector is a triplet row", {-1, 1, 0}, {0, 0, 3}, 1},
                          {"cross vector is a stronger free vector", {0, 1, 1}, {0, 0, 1}, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DIRTR.I(dirtr::kNrtr) = 6;
        DIRTR.I(dirtr::kStrongRows) = 6;
        put(1, c.free1, 2.2f);
        put(2, c.free2, 2.0f);
        put(3, {1, 0, 0}, 1.8f);
        put(4, {0, 1, 0}, 1.6f);
        put(5, {1, 1, 0}, 1.4f);
        put(6, {2, 0, 0}, 1.3f);
        relation(1, 1) = relation_word(3, 4, 0);
        relation(1, 2) = relation_word(-5, 121, 0);
        relation(1, 3) = relation_word(32 * 1 + 1 - 2048, 121, 0);
        // Every other cross vector is present and strong.
        std::vector<OtherReflection> others;
        for (int h = -3; h <= 3; ++h)
            for (int k = -3; k <= 3; ++k)
                for (int l = 1; l <= 3; ++l) {
                    const V3 v{h, k, l};
                    if (v != c.free1 && v != c.free2) others.push_back({h, k, l, 1.9f});
                }
        if (c.numk == 1) {
            build_p10_images(others);
            p10_strengthen(1, 1);
            EXPECT_FLOAT_EQ(key1(1), 1.21f);
        } else {
            // Free vector 1 alone gives a term; free vector 2 gives none.
            build_p10_images(others);
            p10_strengthen(1, 1);
            const float one = key1(1);
            EXPECT_NE(one, 1.21f);
            p10_strengthen(1, 2);
            EXPECT_FLOAT_EQ(key1(1), one);
        }
    }
}

// Relations with the given reliabilities, sorted as the pass leaves them.
void keys_of(const std::vector<float>& g) {
    for (std::size_t n = 0; n < g.size(); ++n) key1(static_cast<int>(n) + 1) = g[n];
    SORTGN(static_cast<int>(g.size()));
}

TEST(P10Sets, SplitCapAndLoweredThreshold) {
    {
        // 300 positive, 900 near zero, 700 negative.
        std::vector<float> g;
        for (int n = 0; n < 300; ++n) g.push_back(0.6f + 0.01f * n);
        for (int n = 0; n < 900; ++n) g.push_back(-0.19f + 0.38f * n / 899.0f);
        for (int n = 0; n < 700; ++n) g.push_back(-0.3f - 0.01f * n);
        keys_of(g);
        const P10Sets s = classify_p10(static_cast<int>(g.size()), 0.6f, 0.2f, -0.2f, 500, 500);
        EXPECT_EQ(s.first_pos, 1);
        EXPECT_EQ(s.pos, 300);
        EXPECT_EQ(s.neg_before, 700);
        EXPECT_EQ(s.neg, 500);
        // The 500 most negative remain.
        EXPECT_EQ(s.first_neg, 1900 - 500 + 1);
        EXPECT_LT(key1(s.first_neg), -0.3f - 0.01f * 199 + 1e-4f);
        EXPECT_EQ(s.es_before, 900);
        EXPECT_LE(s.es, 500);
        EXPECT_NEAR(s.ethr, 0.1f, 1e-5f);  // 0.15 still leaves more than 500
        for (int r = s.first_es; r < s.first_es + s.es; ++r) EXPECT_LE(std::fabs(key1(r)), s.ethr);
    }
    {
        // No free vectors: G >= 0 positive, G <= 0 negative, G = 0 both.
        keys_of({2.0f, 1.0f, 0.0f, -0.5f, -1.0f});
        const P10Sets s = classify_p10(5, 0.0f, -10000.0f, 0.0f, 500, 500);
        EXPECT_EQ(s.pos, 3);
        EXPECT_EQ(s.neg, 3);
        EXPECT_EQ(s.first_neg, 3);
        EXPECT_EQ(s.es, 0);
    }
    {
        const P10Sets s = classify_p10(0, 0.6f, 0.2f, -0.2f, 500, 500);
        EXPECT_EQ(s.pos + s.es + s.neg, 0);
        EXPECT_EQ(s.first_pos, 0);
    }
}

// On a model structure the p-10 estimate finds negative triplets: those
// it calls negative have on average a negative cosine of their true phase
// sum, while the positive set has a clearly positive one.
TEST(P10Model, NegativeEstimatesAreMostlyNegative) {
    const Model m(group_pbar1(), 12, 1, {6, 6, 6});
    const int strong = 250;
    m.set_records();
    m.fill_table(strong, 0);
    build_relation_images();
    int hdr = 0;
    const PassOutcome out = generate_relations(0, 0, kRelations, 0.0f, hdr);
    ASSERT_GT(out.stored, 400);
    std::vector<OtherReflection> others;
    for (std::size_t r = strong; r < m.reflections().size(); ++r) {
        const auto& x = m.reflections()[r];
        others.push_back({x.h[0], x.h[1], x.h[2], static_cast<float>(x.e)});
    }
    build_p10_images(others);
    const P10Sums sums = p10_strengthen(out.stored, 40);
    for (int t = 1; t <= out.stored; ++t) key1(t) *= static_cast<float>(sums.p3 / sums.p10);
    SORTGN(out.stored);
    const P10Sets s = classify_p10(out.stored, 0.6f, -10000.0f, 0.0f, 500, 500);
    ASSERT_GT(s.neg, 100);
    auto mean_cos = [](int first, int count) {
        double sum = 0.0;
        for (int r = first; r < first + count; ++r) sum += std::cos(decoded(r).phi * M_PI / 180.0);
        return sum / count;
    };
    EXPECT_LT(mean_cos(s.first_neg, s.neg), -0.2);
    EXPECT_GT(mean_cos(1, s.pos), 0.8);
}

}  // namespace
