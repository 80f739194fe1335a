// The tables of the statistics against known phases: cumulative counts
// under the |G| limits by class and sign, correct counts, phase sums, and
// their printed forms.
#include "relationships/known_phase_stats.h"
#include "tests/relationships/model.h"

using namespace zanek;
using namespace zanek::invtest;
using namespace zanek::stats;

namespace {

// Limits a relation of |G| counts under: the number of table limits <= |G|.
TEST(KnownPhaseStats, CumulativeCountsBySignAndClass) {
    CLRT();
    NCLRT();
    CLRT1();
    NCLRT1();
    struct Case {
        float g;
        int tst_limits, nctst_limits, dist_limits;
    };
    const Case cases[] = {{0.0f, 1, 1, 1}, {0.2f, 2, 1, 2}, {1.3f, 7, 4, 7}, {9.5f, 26, 13, 17}, {25.0f, 26, 15, 19}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.g);
        CLRT();
        NCLRT();
        CLRT1();
        NCLRT1();
        SCTST(c.g, 1.0f, 3);
        if (c.g > 0.0f) SCTST(-c.g, -0.5f, 3);
        NCTET(c.g, 0.5f, 60.0f, 2);
        SCTST1(c.g, 0.0f);
        NCTET1(c.g, 0.3f, -0.2f);
        for (int l = 1; l <= 26; ++l) {
            const int in = l <= c.tst_limits ? 1 : 0;
            EXPECT_EQ(TST.I(tst_count(3, l, 1)), in) << l;
            EXPECT_EQ(TST.R(tst_correct(3, l, 1)), static_cast<float>(in));
            // The negative G with G cos phi = -0.5 counts, but not as correct.
            const int neg = c.g == 0.0f ? 0 : in;
            EXPECT_EQ(TST.I(tst_count(3, l, 2)), neg);
            EXPECT_EQ(TST.R(tst_correct(3, l, 2)), 0.0f);
            EXPECT_EQ(TST.I(tst_count(1, l, 1)), 0);
        }
        for (int l = 1; l <= 15; ++l) {
            const int in = l <= c.nctst_limits ? 1 : 0;
            EXPECT_EQ(NCTST.I(nctst_count(2, l, 1)), in) << l;
            EXPECT_EQ(NCTST.R(nctst_correct(2, l, 1)), static_cast<float>(in));
            EXPECT_EQ(NCTST.R(nctst_phase(2, l, 1)), 60.0f * in);
        }
        for (int l = 1; l <= kDistLimits; ++l) {
            const int in = l <= c.dist_limits ? 1 : 0;
            EXPECT_EQ(TST1.I(dist_count(l)), in) << l;
            EXPECT_EQ(TST1.R(dist_correct(l)), static_cast<float>(in)) << "G cos = 0 counts as correct";
            EXPECT_EQ(NCTST1.I(dist_count(l)), in);
            EXPECT_EQ(NCTST1.R(dist_correct(l)), 0.0f) << "expected and observed cosines disagree";
        }
    }
    // A value of G = 0 with a zero cosine product counts as correct.
    CLRT();
    SCTST(0.0f, 0.0f, 1);
    EXPECT_EQ(TST.I(tst_count(1, 1, 1)), 1);
    EXPECT_EQ(TST.R(tst_correct(1, 1, 1)), 1.0f);
    EXPECT_EQ(TST.I(tst_count(1, 2, 1)), 0);
}

class KnownPhaseListing : public ListingTest {};

TEST_F(KnownPhaseListing, PrintedTables) {
    UREQ.I(ureqw::kKnown) = 1;
    CLRT();
    SCTST(1.3f, 1.3f, 1);
    SCTST(1.1f, -1.1f, 1);
    SCTST(-0.5f, 0.5f, 1);
    STST();
    NCLRT();
    NCTET(0.5f, 0.8f, 30.0f, 1);
    NCTET(0.9f, -0.1f, 100.0f, 1);
    NSTST();
    CLRT1();
    SCTST1(1.2f, 1.0f);
    STST1();
    // An earlier table leaves nothing behind after clearing.
    CLRT1();
    SCTST1(0.1f, 1.0f);
    STST1();
    const auto lines = test::split_lines(listing());
    auto has = [&](const std::string& s) { return std::find(lines.begin(), lines.end(), s) != lines.end(); };
    // Class 1 of TST: limits with relations of either sign only.
    EXPECT_TRUE(has("  0.0           2    1.0   50.0           1    1.0  100.0"));
    EXPECT_TRUE(has("  0.4           2    1.0   50.0           1    1.0  100.0"));
    EXPECT_TRUE(has("  0.6           2    1.0   50.0           0    0.0    0.0"));
    EXPECT_TRUE(has("  1.2           1    1.0  100.0           0    0.0    0.0"));
    EXPECT_FALSE(has("  1.4           0    0.0    0.0           0    0.0    0.0"));
    EXPECT_TRUE(has("  arg.         nr.    nc.    %           nr.    nc.    %"));
    // NCTST: every limit, percentages and mean phase errors.
    EXPECT_TRUE(has("  0.0           2   50.0   65.000                    0    0.0    0.000"));
    EXPECT_TRUE(has("  0.8           1    0.0  100.000                    0    0.0    0.000"));
    EXPECT_TRUE(has(" 20.0           0    0.0    0.000                    0    0.0    0.000"));
    // The distribution, with percentages of 0.0 where no relation is.
    EXPECT_TRUE(has("  no.      1     1     1     1     1     1     1     0     0     0     0     0     0     0     0"
                    "     0     0     0     0"));
    EXPECT_TRUE(has("   %   100.0 100.0 100.0 100.0 100.0 100.0 100.0   0.0   0.0   0.0   0.0   0.0   0.0   0.0   0.0"
                    "   0.0   0.0   0.0   0.0"));
    EXPECT_TRUE(has("  no.      1     0     0     0     0     0     0     0     0     0     0     0     0     0     0"
                    "     0     0     0     0"));
    EXPECT_TRUE(has("   g     0.0   0.2   0.4   0.6   0.8   1.0   1.2   1.4   1.6   2.0   2.5   3.0   3.5   4.0   5.0"
                    "   6.0   8.0  10.0  15.0"));
}

}  // namespace
