// Absences, standard equivalents, phase shifts and restrictions of single
// reflections, the index box and the search for missing reflections.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <tuple>
#include <vector>

#include "crystaldata/equivalents.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/genob.h"
#include "test_spacegroup_fixture.h"

namespace zanek {
namespace {

class Equivalents : public ::testing::Test {
protected:
    void SetUp() override { test::capture_listing("equivalents"); }
    void group(const char* symbol) {
        reset_crystal_records();
        ASSERT_EQ(test::analyse(symbol), 0) << symbol;
        test::set_small_metric();
        nt = translated_operators(tlist);
        lm1 = SYM.I(symw::kLattice) - 1;
    }
    int absent(int h, int k, int l) {
        int a;
        EXTIN(a, h, k, l, lm1, nt, tlist);
        return a;
    }
    struct Answer {
        int h, k, l, shift, code, sign, same;
        float s2;
    };
    Answer geneq(int h, int k, int l, int mode = 0) {
        Answer a{h, k, l, 0, 0, 0, 0, 0};
        GENEQ(mode, a.h, a.k, a.l, a.shift, a.code, a.sign, a.same, a.s2);
        return a;
    }
    int tlist[24];
    int nt = 0, lm1 = 0;
};

TEST_F(Equivalents, P21cAbsencesAndCentricCodes) {
    group("p 21/c");
    EXPECT_EQ(absent(0, 0, 0), 1);
    for (int k = 1; k <= 5; ++k) EXPECT_EQ(absent(0, k, 0), k % 2) << k;
    for (int l = 1; l <= 5; ++l) {
        EXPECT_EQ(absent(2, 0, l), l % 2) << l;
        EXPECT_EQ(absent(0, 1, l), 0);
    }
    for (auto [h, k, l] : std::vector<std::tuple<int, int, int>>{{1, 2, 3}, {-1, 2, -3}, {2, 0, 2}, {0, 2, 0}})
        EXPECT_EQ(geneq(h, k, l).code, kPhaseCentric);
}

TEST_F(Equivalents, P212121AxialReflections) {
    group("p 21 21 21");
    for (int h = 1; h <= 6; ++h) EXPECT_EQ(absent(h, 0, 0), h % 2) << h;
    EXPECT_EQ(geneq(2, 0, 0).code, kPhaseCentric);
    EXPECT_EQ(geneq(4, 0, 0).code, kPhaseCentric);
    EXPECT_EQ(geneq(1, 2, 3).code, kPhaseGeneral);
    // 2 0 1: the two-fold along b (translation 0 1/2 1/2) maps it onto
    // -2 0 -1 and restricts its phase to 180 * 1/2 = 90 or 270 degrees.
    EXPECT_EQ(geneq(2, 0, 1).code, 7);
}

// The restricted phase is 180 h.t (mod 180) for an operator mapping h onto
// -h: in P 41 2 2, 1 1 1 is restricted to 45/225 degrees.
TEST_F(Equivalents, RestrictionFollowsThePhaseConvention) {
    group("p 41 2 2");
    Answer a = geneq(1, 1, 1);
    EXPECT_EQ(std::tie(a.h, a.k, a.l), std::make_tuple(1, 1, 1));
    EXPECT_EQ(a.code, 4);
    EXPECT_EQ(a.shift, 0);
    EXPECT_EQ(a.sign, 1);
    group("p 43 21 2");
    EXPECT_EQ(geneq(1, 1, 1).code, 7);  // -y,-x,-z+1/2: 90 / 270 degrees
}

// The code belongs to the standard indices: -1 1 1 itself is restricted to
// 135/315 degrees (by y,x,-z+3/4), its standard 1 1 1 to 45/225.
TEST_F(Equivalents, RestrictionOfTheStandardReflection) {
    group("p 41 2 2");
    Answer a = geneq(-1, 1, 1);
    EXPECT_EQ(std::tie(a.h, a.k, a.l), std::make_tuple(1, 1, 1));
    EXPECT_EQ(a.code, 4);
    for (int phi : {135, 315}) EXPECT_EQ((((phi + a.shift) * a.sign) % 180 + 180) % 180, 45);
}

TEST_F(Equivalents, FriedelMateThroughTheIdentity) {
    group("p 1");
    Answer a = geneq(-1, -2, -3);
    EXPECT_EQ(std::tie(a.h, a.k, a.l), std::make_tuple(1, 2, 3));
    EXPECT_EQ(a.sign, -1);  // phi(1 2 3) = -phi(-1 -2 -3)
    EXPECT_EQ(a.shift, 0);
    EXPECT_EQ(a.code, kPhaseGeneral);
    EXPECT_EQ(a.same, 0);
    a = geneq(0, 0, -2);
    EXPECT_EQ(std::tie(a.h, a.k, a.l, a.sign), std::make_tuple(0, 0, 2, -1));
}

TEST_F(Equivalents, BeyondRhomaxStillDefined) {
    group("p 41 2 2");
    RC.R(rcw::kRhomax) = 0.001f;  // s^2 of 1 1 1 is 0.003
    Answer a{1, 1, 1, 77, 77, 77, 77, 0};
    GENEQ(0, a.h, a.k, a.l, a.shift, a.code, a.sign, a.same, a.s2);
    EXPECT_EQ(std::tie(a.h, a.k, a.l), std::make_tuple(1, 1, 1));
    EXPECT_EQ(a.sign, 1);
    EXPECT_EQ(a.code, kPhaseGeneral);
    EXPECT_EQ(a.shift, 0);
    EXPECT_EQ(a.same, 0);
    EXPECT_FLOAT_EQ(a.s2, 0.003f);
    RC.R(rcw::kRhomax) = 1000.0f;
    Answer big = geneq(300, -2, 1);
    EXPECT_EQ(std::tie(big.h, big.k, big.l, big.code, big.shift), std::make_tuple(300, -2, 1, 1, 0));
}

TEST_F(Equivalents, ModeOneRaisesTheMaxima) {
    group("p 4");
    RC.R(rcw::kLargestS2) = 0.0f;
    Answer a = geneq(1, 2, 3, 1);
    EXPECT_EQ(a.same, 0);
    EXPECT_EQ(UREQ.I(ureqw::kHmax), 2);
    EXPECT_EQ(UREQ.I(ureqw::kKmax), 2);
    EXPECT_EQ(UREQ.I(ureqw::kLmax), 3);
    EXPECT_FLOAT_EQ(RC.R(rcw::kLargestS2), a.s2);
    EXPECT_EQ(std::tie(a.h, a.k, a.l), std::make_tuple(2, -1, 3));  // k,-h,l
    UREQ.I(ureqw::kHmax) = UREQ.I(ureqw::kKmax) = UREQ.I(ureqw::kLmax) = 0;
    Answer b = geneq(2, -1, 3, 0);
    EXPECT_EQ(UREQ.I(ureqw::kHmax), 0);
    EXPECT_EQ(b.same, 1);
    Answer c = geneq(1, 2, 3, 0);
    EXPECT_EQ(c.same, 0);
}

TEST_F(Equivalents, SinThetaOverLambda) {
    const float G[6] = {0.01f, 0.02f, 0.03f, 0.004f, 0.005f, 0.006f};
    EXPECT_EQ(RHOF(G, 0, 0, 0), 0.0f);
    EXPECT_NEAR(RHOF(G, 1, 2, 3), std::sqrt(0.01 + 0.08 + 0.27 + 0.008 + 0.015 + 0.036), 1e-6);
}

TEST_F(Equivalents, CentringConditions) {
    struct Case {
        const char* symbol;
        int h, k, l, absent;
    };
    for (const Case& c : {Case{"a m m 2", 1, 1, 0, 1}, Case{"a m m 2", 1, 1, 1, 0}, Case{"b 1 1 2", 1, 0, 0, 1},
                          Case{"c 2/m", 1, 0, 1, 1}, Case{"i 4", 1, 1, 1, 1}, Case{"i 4", 1, 1, 0, 0},
                          Case{"f 2 2 2", 1, 1, 0, 1}, Case{"f 2 2 2", 1, 1, 1, 0}, Case{"r 3", 1, 0, 0, 1},
                          Case{"r 3", 1, 0, 1, 0}, Case{"r 3", 1, 0, 2, 1}, Case{"r 3", -1, 0, 2, 0}}) {
        SCOPED_TRACE(c.symbol);
        group(c.symbol);
        EXPECT_EQ(absent(c.h, c.k, c.l), c.absent) << c.h << " " << c.k << " " << c.l;
    }
}

TEST_F(Equivalents, IndexBox) {
    struct Case {
        const char* symbol;
        int hmin, kmin, lmin;
    };
    for (const Case& c : {Case{"p -1", 0, -3, -4}, Case{"p 21/c", 0, 0, -4}, Case{"p 1 1 21/b", 0, -3, 0},
                          Case{"p 21 21 21", 0, 0, 0}, Case{"p 41", 0, 0, 0}, Case{"p 63", 0, -3, 0},
                          Case{"p 21 3", 0, 0, 0}}) {
        SCOPED_TRACE(c.symbol);
        group(c.symbol);
        UREQ.I(ureqw::kHmax) = 2;
        UREQ.I(ureqw::kKmax) = 3;
        UREQ.I(ureqw::kLmax) = 4;
        int hmin, hmax, kmin, kmax, lmin, lmax;
        INDMM(hmin, hmax, kmin, kmax, lmin, lmax);
        EXPECT_EQ(std::tie(hmin, kmin, lmin), std::tie(c.hmin, c.kmin, c.lmin));
        EXPECT_EQ(std::tie(hmax, kmax, lmax), std::make_tuple(2, 3, 4));
    }
}

// A presence table and scratch file in memory.
class Table : public MissingReflections {
public:
    std::map<int, int> words;
    std::vector<std::tuple<int, int, int, int>> records;
    int finished = 0;
    int presence(int s) override { return words.count(s) ? words[s] : 0; }
    void mark_generated(int s) override { words[s] = -10; }
    void append(int h, int k, int l, int code) override { records.emplace_back(h, k, l, code); }
    void finish() override { ++finished; }
};

TEST_F(Equivalents, MissingReflectionsAreCountedOrGenerated) {
    for (int generate : {-1, 0}) {
        SCOPED_TRACE(generate);
        group("p -1");
        test::capture_listing("unobs");
        UREQ.I(ureqw::kHmax) = UREQ.I(ureqw::kKmax) = UREQ.I(ureqw::kLmax) = 1;
        RC.R(rcw::kLargestS2) = 1.0f;
        RC.I(rcw::kReflections) = 2;
        GENOB.I(genob::kMissing) = generate;
        const int strides[2] = {9, 3};
        Table t;
        t.words[9 * 1] = 1;          // 1 0 0 present
        t.words[3 * 1 + 1] = 1;      // 0 1 1 present
        UNOBS(strides, lm1, nt, tlist, t);
        // 13 independent reflections in the box (h >= 0), 2 present.
        EXPECT_EQ(t.records.size(), generate >= 0 ? 11u : 0u);
        EXPECT_EQ(RC.I(rcw::kReflections), generate >= 0 ? 13 : 2);
        EXPECT_EQ(t.finished, generate >= 0 ? 1 : 0);
        EXPECT_FLOAT_EQ(RC.R(rcw::kLargestS2), 1.0f);
        int generated = 0;
        for (auto& [s, w] : t.words) generated += w == -10;
        EXPECT_EQ(generated, 11);
        for (auto& [h, k, l, code] : t.records) {
            EXPECT_EQ(code, kPhaseCentric);
            EXPECT_TRUE(h > 0 || (h == 0 && (k > 0 || (k == 0 && l > 0))));
        }
        EXPECT_EQ(test::listing_text(), generate >= 0
                                            ? "             11  reflections (not in input data) have been added\n"
                                            : "             11  reflections are not in input data\n");
    }
}

TEST_F(Equivalents, NothingPrintedWhenNothingIsMissing) {
    group("p -1");
    test::capture_listing("unobs_none");
    UREQ.I(ureqw::kHmax) = 1;
    UREQ.I(ureqw::kKmax) = UREQ.I(ureqw::kLmax) = 0;
    RC.R(rcw::kLargestS2) = 1.0f;
    GENOB.I(genob::kMissing) = -1;
    const int strides[2] = {1, 1};
    Table t;
    t.words[1] = 1;  // 1 0 0
    UNOBS(strides, lm1, nt, tlist, t);
    EXPECT_EQ(test::listing_text(), "");
}

}  // namespace
}  // namespace zanek
