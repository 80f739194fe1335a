// Keeping the best sets: the store filling in trial order, the worst kept
// set replaced once the store is full, sets of cfom 0 dropped, sets equal
// to a kept one up to the enantiomorph rejected or put in its place; and
// the final table with its ranking in the header of list 16.
#include <gtest/gtest.h>

#include "jobcontrol/lists/list16.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/store.h"
#include "phasing/final_table.h"
#include "phasing/stored_sets.h"
#include "tests/phasing/test_tangent_fixture.h"

namespace zanek::phasetest {
namespace {

constexpr int kCfomCol = 5, kTrialCol = 10;

class StoredSetsTest : public PhasingTest {
protected:
    static constexpr int kNref = 4;
    void SetUp() override {
        PhasingTest::SetUp();
        PARAM.I(param::kNref) = kNref;
        // Reflections 1 and 2 are the seminvariant ones.
        UREQ1.I(ureq1::kSeminvRanks) = 1;
        UREQ1.I(ureq1::kSeminvRanks + 1) = 2;
        UREQ1.I(ureq1::kSeminvCount) = 2;
    }
    // A trial with figures close to (cfom, cfom, cfom) and the given phases.
    TrialFigures trial(float cfom, int t) {
        TrialFigures f;
        f.mabs = f.alcomb = f.cphase = f.cfom = cfom;
        f.trial = float(t);
        return f;
    }
    // FOMSP's part before the set keeping: one more set evaluated.
    void offer(const TrialFigures& f, const std::vector<int>& phases, int nkeep,
               const std::vector<float>& weights = {1, 1, 1, 1}) {
        for (int r = 1; r <= kNref; ++r) {
            trial_phase(r) = phases[size_t(r) - 1];
            refl_weight(r) = weights[size_t(r) - 1];
        }
        UREQ1.I(ureq1::kSetsStored) += 1;
        KEEPSET(f, nkeep, slot, lowest);
    }
    int stored() { return UREQ1.I(ureq1::kSetsStored); }
    int rejected_equal() { return UREQ1.I(ureq1::kEquivRejected); }
    // Phases of list-16 record s.
    std::vector<int> record(int s) {
        std::vector<float> w(kNref);
        std::vector<int32_t> phi(kNref);
        Word head[list16::kFigureWords];
        SNR16(s, head, w.data(), phi.data(), kNref);
        return {phi.begin(), phi.end()};
    }
};

TEST_F(StoredSetsTest, FirstSetKeptWhateverItsCfomLaterZeroSetsDropped) {
    make_list16(3);
    offer(trial(0.0f, 1), {10, 20, 30, 40}, 3);
    EXPECT_EQ(stored(), 1);
    EXPECT_EQ(slot, 3);  // the slot word becomes N at the first kept set
    EXPECT_EQ(record(1), (std::vector<int>{10, 20, 30, 40}));
    offer(trial(0.00005f, 2), {50, 60, 70, 80}, 3);
    EXPECT_EQ(stored(), 1);
    EXPECT_EQ(FOM4.I(fom4::kZeroRejects), 1);
    offer(trial(0.5f, 3), {50, 60, 70, 80}, 3);
    EXPECT_EQ(stored(), 2);
    EXPECT_EQ(set_table(kTrialCol, 2), 3.0f);
}

TEST_F(StoredSetsTest, FullStoreReplacesTheWorstSet) {
    make_list16(2);
    offer(trial(0.5f, 1), {10, 20, 30, 40}, 2);
    offer(trial(0.7f, 2), {50, 60, 70, 80}, 2);
    offer(trial(0.6f, 3), {90, 100, 110, 120}, 2);  // replaces the 0.5
    EXPECT_EQ(set_table(kCfomCol, 1), 0.6f);
    EXPECT_EQ(record(1), (std::vector<int>{90, 100, 110, 120}));
    EXPECT_EQ(lowest, 0.5f);
    offer(trial(0.4f, 4), {1, 2, 3, 4}, 2);  // worse than every kept set
    EXPECT_EQ(set_table(kTrialCol, 1), 3.0f);
    EXPECT_EQ(set_table(kTrialCol, 2), 2.0f);
    EXPECT_EQ(FOM4.I(fom4::kZeroRejects), 0);
    // Equal to the lowest: takes the first slot holding it.
    offer(trial(0.6f, 5), {5, 6, 7, 8}, 2);
    EXPECT_EQ(set_table(kTrialCol, 1), 5.0f);
}

// Equal seminvariant phases up to the enantiomorph, reflection by
// reflection within 3 degrees, and close figures: the same solution.
TEST_F(StoredSetsTest, EquivalentSetsAreRejectedOrReplaceTheKeptOne) {
    make_list16(5);
    offer(trial(0.50f, 1), {30, 100, 200, 300}, 5);
    // Enantiomorph of the seminvariant phases (330, 260), other phases free.
    offer(trial(0.495f, 2), {330, 262, 10, 20}, 5);
    EXPECT_EQ(rejected_equal(), 1);
    EXPECT_EQ(stored(), 1);
    EXPECT_EQ(set_table(kTrialCol, 1), 1.0f);
    // The same, better: it takes the kept set's place.
    offer(trial(0.505f, 3), {31, 99, 10, 20}, 5);
    EXPECT_EQ(rejected_equal(), 2);
    EXPECT_EQ(stored(), 1);
    EXPECT_EQ(set_table(kTrialCol, 1), 3.0f);
    EXPECT_EQ(record(1), (std::vector<int>{31, 99, 10, 20}));
    // A seminvariant phase 30 degrees off: another solution.
    offer(trial(0.505f, 4), {61, 99, 10, 20}, 5);
    EXPECT_EQ(stored(), 2);
    // Figures too far apart: not compared.
    offer(trial(0.52f, 5), {31, 99, 10, 20}, 5);
    EXPECT_EQ(stored(), 3);
}

TEST_F(StoredSetsTest, WeakSeminvariantsAndNoreLeaveSetsApart) {
    make_list16(5);
    offer(trial(0.5f, 1), {30, 100, 200, 300}, 5);
    // Reflection 1 differs but carries no weight; 2 agrees: equivalent.
    offer(trial(0.5f, 2), {90, 100, 200, 300}, 5, {0.01f, 1, 1, 1});
    EXPECT_EQ(rejected_equal(), 1);
    // With "nore" (no seminvariant reflections to compare) never rejected.
    UREQ1.I(ureq1::kSeminvCount) = 0;
    offer(trial(0.5f, 3), {30, 100, 200, 300}, 5);
    EXPECT_EQ(stored(), 2);
    EXPECT_EQ(rejected_equal(), 1);
}

// With known phases the better of two equivalent sets is the one with the
// smaller phase error.
TEST_F(StoredSetsTest, KnownPhasesCompareByError) {
    UREQ.I(ureqw::kKnown) = 1;
    make_list16(5);
    TrialFigures a = trial(0.5f, 1), b = trial(0.495f, 2);
    a.error = 40.0f;
    b.error = 20.0f;
    offer(a, {30, 100, 200, 300}, 5);
    offer(b, {30, 100, 200, 300}, 5);
    EXPECT_EQ(set_table(kTrialCol, 1), 2.0f);
}

// The known-phase passes go to the slots after the kept sets; without
// "las" only to the table, not to list 16.
TEST_F(StoredSetsTest, KnownPhasePassesStayOutOfList16WithoutLas) {
    UREQ.I(ureqw::kKnown) = 1;
    make_list16(2);
    offer(trial(0.5f, 1), {30, 100, 200, 300}, 2);
    UREQ1.I(ureq1::kFinalPass) = 1;
    offer(trial(0.9f, 2), {11, 12, 13, 14}, 3);
    EXPECT_EQ(set_table(kTrialCol, 2), 2.0f);
    EXPECT_EQ(record(2), (std::vector<int>{0, 0, 0, 0}));
}

// A set with too many undetermined phases (cfom 0) is kept as the first set
// of a run. The absolute figure of merit then gives it no correlation R(x,y)
// and no phase errors: its record and table row hold zeros there (words 3,
// 7 and 8), not what the trial before left nor sums of its own left
// undivided.
class UndeterminedSetTest : public PhasingTest {};

TEST_F(UndeterminedSetTest, StoresZeroCorrelationAndErrors) {
    UREQ.I(ureqw::kKnown) = 1;  // known phases: the errors are computed
    const Problem whole = random_problem(40, 400, false, 1);
    install(whole);
    make_list16(2);
    start_with({1, 2, 3}, {4, 5, 6});
    refine(1, 2);
    ASSERT_NE(FOM4.R(fom4::kRxy), 0.0f);  // the correlation of a determined trial

    // A new run on a phasing set of which only the first 15 reflections
    // have relations, from symbols 90 degrees off.
    Problem part = whole;
    part.triplets.clear();
    for (const Triplet& t : whole.triplets)
        if (std::max({std::abs(t.r1), std::abs(t.r2), std::abs(t.r3)}) <= 15) part.triplets.push_back(t);
    install(part);
    make_list16(2);
    slot = evaluated = 0;
    start_with({1, 2, 3}, {4, 5, 6});
    for (int r : {4, 5, 6}) {
        const int phi = reduce360(known[size_t(r) - 1] + 90);
        trial_phase(r) = phi == 0 ? 360 : phi;
    }
    refine(1, 2);
    ASSERT_GE(trial_figure(fig::kUndet), 20.0f);
    ASSERT_LT(undetermined(40), 40);  // some phases were found, with errors
    ASSERT_EQ(UREQ1.I(ureq1::kSetsStored), 1);
    Word head[list16::kFigureWords];
    std::vector<float> w(40);
    std::vector<int32_t> phi(40);
    SNR16(1, head, w.data(), phi.data(), 40);
    EXPECT_EQ(head[9].r, 1.0f);  // trial 1
    EXPECT_EQ(head[4].r, 0.0f);  // cfom
    for (int word : {3, 7, 8}) {
        EXPECT_EQ(head[word - 1].r, 0.0f) << "word " << word;
        EXPECT_EQ(set_table(word, 1), 0.0f) << "column " << word;
    }
}

// The final table: sets sorted by cfom into the header of list 16.
class FinalTableTest : public StoredSetsTest {};

TEST_F(FinalTableTest, RankingGoesToTheHeaderOfList16) {
    make_list16(3);
    offer(trial(0.3f, 1), {1, 1, 1, 1}, 3);
    offer(trial(0.9f, 2), {2, 2, 2, 2}, 3);
    offer(trial(0.6f, 3), {3, 3, 3, 3}, 3);
    track_max(track::kCfom) = 0.9f;
    track_min(track::kCfom) = 0.3f;
    int n = 3, status = 0;
    std::vector<float> a(kSetSlots);
    PRTFOM(n, 0, a.data(), kNref, status);
    EXPECT_EQ(status, 0);
    std::vector<float> a16(10);
    std::vector<int32_t> b16(10);
    int count = 0;
    YSFL16(a16.data(), b16.data(), count, 10);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(a16[0], 0.9f);
    EXPECT_EQ(a16[1], 0.6f);
    EXPECT_EQ(a16[2], 0.3f);
    EXPECT_EQ(b16[0], 2);
    EXPECT_EQ(b16[1], 3);
    EXPECT_EQ(b16[2], 1);
    EXPECT_TRUE(listing_has("+++++++++++++  figures  of  merit  ++++++++++++"));
    EXPECT_TRUE(listing_has("               1  (    2)    "));
}

// A full store sends the first known-phase pass to slot N + 2 and the
// second to N + 1: the table shows them in trial order, and the ranking in
// list 16 still points at the record holding each set.
TEST_F(FinalTableTest, KnownPhaseSetsInTrialOrderKeepTheirRecords) {
    UREQ.I(ureqw::kKnown) = 1;
    MAG.I(mag::kLas) = 1;
    make_list16(4);
    offer(trial(0.3f, 1), {1, 1, 1, 1}, 2);
    offer(trial(0.4f, 2), {2, 2, 2, 2}, 2);
    offer(trial(0.5f, 3), {3, 3, 3, 3}, 2);
    UREQ1.I(ureq1::kFinalPass) = 1;
    offer(trial(0.9f, 10), {10, 10, 10, 10}, 4);
    offer(trial(0.9f, 11), {11, 11, 11, 11}, 4);
    ASSERT_EQ(set_table(kTrialCol, 4), 10.0f);
    ASSERT_EQ(set_table(kTrialCol, 3), 11.0f);
    track_max(track::kCfom) = 0.9f;
    int n = 2, status = 0;
    std::vector<float> a(kSetSlots);
    PRTFOM(n, 0, a.data(), kNref, status);
    EXPECT_EQ(n, 4);
    std::vector<float> a16(10);
    std::vector<int32_t> b16(10);
    int count = 0;
    YSFL16(a16.data(), b16.data(), count, 10);
    ASSERT_EQ(count, 4);
    EXPECT_EQ(record(b16[2]), (std::vector<int>{10, 10, 10, 10}));
    EXPECT_EQ(record(b16[3]), (std::vector<int>{11, 11, 11, 11}));
}

// No trial scored (the highest cfom still below 0): the table shows zeros
// and the command fails, saying why.
TEST_F(FinalTableTest, NoTrialScoredShowsZerosAndFails) {
    make_list16(1);
    track_max(track::kCfom) = -1e20f;
    int n = 0, status = 0;
    std::vector<float> a(kSetSlots);
    PRTFOM(n, 0, a.data(), kNref, status);
    EXPECT_EQ(status, -1);
    EXPECT_TRUE(listing_has("                      max       0.000   0.000   0.000   0.000   0.000   0.000"));
    EXPECT_TRUE(listing_has("      ***   error   ***   no trial could be scored: no phase set is kept"));
}

TEST_F(FinalTableTest, AllSetsUndeterminedStopsAndRemovesThePhases) {
    make_list16(2);
    TrialFigures f = trial(0.0f, 1);
    f.undetermined = 2.0f;  // >= 4 div 2
    offer(f, {1, 1, 1, 1}, 2);
    track_max(track::kCfom) = 0.0f;
    int n = 1, status = 0;
    std::vector<float> a(kSetSlots);
    PRTFOM(n, 0, a.data(), kNref, status);
    EXPECT_EQ(status, -1);
    EXPECT_TRUE(listing_has("(**)  ***  warning  ***   the number of undetermined phases is too hight"));
    EXPECT_TRUE(listing_has("      ***   error   ***   all sets have undetermined phases. zan stops"));
    int serial = 0, first = 0, last = 0, part = 0, length = 0;
    SRLIN(16, serial, first, last, part, length);
    EXPECT_EQ(first, -1);
}

TEST_F(FinalTableTest, EnantiomorphWarningNeedsSeventyRelations) {
    make_list16(2);
    TrialFigures f = trial(0.5f, 1);
    f.enantio = 12.5f;
    offer(f, {1, 1, 1, 1}, 2);
    track_max(track::kCfom) = 0.5f;
    for (int nenan_count : {69, 70}) {
        int n = 1, status = 0;
        std::vector<float> a(kSetSlots);
        PRTFOM(n, nenan_count, a.data(), kNref, status);
    }
    const std::string lis = listing();
    const size_t at = lis.find("12.5 (*)");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(lis.find("12.5 (*)", at + 1), std::string::npos);  // once, at 70
    // Column 92 of its line.
    const size_t bol = lis.rfind('\n', at) + 1;
    EXPECT_EQ(at - bol + 1, 92u);
    EXPECT_TRUE(listing_has("possible loss of enantiomorph. the written figure is the average value"));
}

}  // namespace
}  // namespace zanek::phasetest
