// The convergence stage on the test jobs after %data, %normal,
// %seminvariants and %invariants: the relation store against the lists
// those commands wrote (read back here on their own), the phases fixed
// before the trials, and the failures.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "jobcontrol/lists/listxx.h"
#include "jobcontrol/numeric.h"
#include "jobcontrol/store/store.h"
#include "jobcontrol/records/crystal.h"
#include "phasing/convergence.h"
#include "phasing/phasing_set.h"
#include "phasing/relation_store.h"
#include "tests/phasing/phase_job_fixture.h"

using namespace zanek;
using namespace zanek::test;

namespace {

// A relation list as the writer left it.
struct Stored {
    bool present = false;
    int count = 0, w10 = 0, w11 = 0, w12 = 0, w13 = 0, stride = 0;
    std::vector<Word> items;
    int32_t word(int i, int w) const { return items[static_cast<std::size_t>((i - 1) * stride + w - 1)].i; }
};

Stored read_list(int type) {
    Stored t;
    int serial = 0, first = -1, last = 0, part = 0, length = 0;
    SRLIN(type, serial, first, last, part, length);
    if (first <= 0) return t;
    t.present = true;
    int width = 0;
    listxx::widths(type, width, t.stride);
    SFLXX(-1, type, t.count, t.w10, t.w11, t.w12, t.w13, nullptr, 0);
    t.items.resize(static_cast<std::size_t>(t.count * t.stride));
    if (t.count > 0)
        SFLXX(0, type, t.count, t.w10, t.w11, t.w12, t.w13, t.items.data(), static_cast<int>(t.items.size()));
    return t;
}

class ConvergenceJob : public PhaseJob {
protected:
    PhaseSettings s;
    PhaseDirectives d;
    Convergence cv;
};

// Positive triplets (list 8) and negative triplets above 0.59 (list 10)
// come into the store with their reliabilities doubled in a
// centrosymmetric group, after the two-phase seminvariants of list 27 at
// or above the threshold (0.001 x list 8 header word 13).
TEST_F(ConvergenceJob, RelationStoreHoldsTheStoredRelations) {
    prepare("rand_p21c_c18n2o4", {});
    ASSERT_TRUE(build_relation_store(s, d, cv));
    const Stored l8 = read_list(8), l10 = read_list(10), l27 = read_list(27), l20 = read_list(20);
    ASSERT_TRUE(l8.present);
    EXPECT_EQ(PARAM.I(param::kNref), l8.w11);
    EXPECT_FLOAT_EQ(s.twop, 0.001f * static_cast<float>(l8.w13));

    int ntwo = 0;
    if (l27.present) {
        const int b0 = static_cast<int>(std::trunc(100.0f * s.twop));
        for (int i = 1; i <= std::min(l27.w11, 170); ++i) {
            if (fields(l27.word(i, 2)).b < b0) break;
            ++ntwo;
        }
    }
    int nneg = 0;
    if (l10.present)
        for (int i = 1; i <= l10.w10; ++i)
            if (fields(l10.word(i, 2)).b > 59) ++nneg;
    EXPECT_EQ(cv.ntwo, ntwo);
    EXPECT_EQ(cv.ntrip, l8.w10 + nneg);
    // Negative quartets: of the first 200 items of list 20, those whose
    // value word has B > 39 enter the store.
    int nquart = 0;
    if (l20.present)
        for (int i = 1; i <= std::min(l20.w10, 200); ++i)
            if (fields(l20.word(i, 3)).b > 39) ++nquart;
    EXPECT_EQ(cv.nquart, nquart);
    EXPECT_EQ(s.store_length, 2 * cv.ntwo + 2 * cv.ntrip + 3 * cv.nquart);
    EXPECT_EQ(cv.nrel, cv.ntwo + cv.ntrip + cv.nquart);

    // The positive triplets follow the two-phase seminvariants, one to one.
    for (int i = 1; i <= l8.w10; ++i) {
        const int pos = 2 * ntwo + 2 * i - 1;
        const Fields w1 = fields(l8.word(i, 1)), w2 = fields(l8.word(i, 2));
        const Fields s1 = fields(rel_word(pos)), s2 = fields(rel_word(pos + 1));
        ASSERT_EQ(s1.a, w1.a) << i;
        ASSERT_EQ(s1.b, w1.b) << i;
        ASSERT_EQ(s1.c, -1) << i;
        ASSERT_EQ(s2.a, w2.a) << i;
        ASSERT_EQ(s2.b, std::min(2 * w2.b, 2047)) << i;
        ASSERT_EQ(s2.c, w2.c) << i;
    }
    // The negative ones, their phase turned by 180 degrees.
    int k = 0;
    for (int i = 1; i <= (l10.present ? l10.w10 : 0); ++i) {
        const Fields w2 = fields(l10.word(i, 2));
        if (w2.b <= 59) continue;
        const int pos = 2 * ntwo + 2 * (l8.w10 + ++k) - 1;
        const Fields s2 = fields(rel_word(pos + 1));
        ASSERT_EQ(s2.a, w2.a);
        ASSERT_EQ(s2.b, -std::min(2 * w2.b, 2047));
        ASSERT_EQ(s2.c, (w2.c + 12) % 24);
    }

    // Every relation is listed under each of its reflections once.
    const int nref = PARAM.I(param::kNref);
    EXPECT_EQ(rel_ptr(nref), 2 * cv.ntwo + 3 * cv.ntrip + 4 * cv.nquart);
    std::vector<int> seen(static_cast<std::size_t>(s.store_length + 1), 0);
    for (int r = 1; r <= nref; ++r)
        for (int e = rel_ptr(r - 1) + 1; e <= rel_ptr(r); ++e) {
            float v = 0.0f;
            int shift = 0, nw = 0;
            DEPACC(r, rel_index(e), v, shift, nw);  // stops if r is not in the relation
            ++seen[static_cast<std::size_t>(rel_index(e))];
        }
    for (int pos = 1; pos <= s.store_length;) {
        float v = 0.0f;
        int shift = 0, nw = 0;
        DEPACC(0, pos, v, shift, nw);
        const int named = nw == 3 ? 4 : (depacc_slot(3) != 0 ? 3 : 2);
        EXPECT_EQ(seen[static_cast<std::size_t>(pos)], named) << pos;
        pos += nw;
    }
}

TEST_F(ConvergenceJob, NoNegativeTripletsWithNneg) {
    prepare("rand_p21c_c18n2o4", {"nneg"});
    ASSERT_TRUE(build_relation_store(s, d, cv));
    EXPECT_EQ(cv.ntrip, read_list(8).w10);
}

// The restriction codes worked out from the operators agree with those
// %data stored with every reflection (a non-centrosymmetric group with
// restricted zones).
TEST_F(ConvergenceJob, RestrictionCodesAgreeWithTheReflectionList) {
    prepare("rand_p212121_c20o4", {});
    const std::vector<List7Record> refl = list7();
    ASSERT_TRUE(build_relation_store(s, d, cv));
    const int nref = PARAM.I(param::kNref);
    ASSERT_LE(nref, static_cast<int>(refl.size()));
    int restricted = 0;
    for (int r = 1; r <= nref; ++r) {
        const int code = std::abs(restrict_code(r));
        EXPECT_EQ(code, refl[static_cast<std::size_t>(r - 1)].restriction()) << r;
        if (code != 1) ++restricted;
    }
    EXPECT_GT(restricted, 0);
}

// The one-phase seminvariants with the largest alpha are fixed first:
// phase 15 C, weight (1 + tanh alpha)/2 for a restricted phase.
TEST_F(ConvergenceJob, OnePhaseSeminvariantsAndKnownPhasesAreFixedFirst) {
    prepare("rand_p21c_c18n2o4", {"onep 2", "phas 7 90 0.8"});
    ASSERT_TRUE(build_relation_store(s, d, cv));
    const Stored l26 = read_list(26);
    ASSERT_TRUE(l26.present);
    std::vector<int> ranks;
    for (int i = 1; i <= std::min(2, l26.w10); ++i) {
        const Fields f = fields(l26.word(i, 1));
        const int r = std::abs(f.a);
        if (r > PARAM.I(param::kNref) || r == 7) continue;
        ranks.push_back(r);
        double alpha = f.b / 100.0;
        if (f.a > 0 && f.c >= 12) alpha = -alpha;
        const double p = f.a > 0 ? (1.0 + std::tanh(std::fabs(alpha))) / 2.0 : -1.0;
        if (p > 0) { EXPECT_NEAR(refl_weight(r), p, 1e-5) << r; }
        EXPECT_FLOAT_EQ(assigned_phase(r), f.c == 0 ? 360.0f : 15.0f * f.c);
    }
    EXPECT_EQ(cv.k_onephase, static_cast<int>(ranks.size()));
    for (std::size_t i = 0; i < ranks.size(); ++i) EXPECT_EQ(proc_order(static_cast<int>(i) + 1), ranks[i]);
    EXPECT_EQ(cv.k_fixed, cv.k_onephase + 1);
    EXPECT_EQ(proc_order(cv.k_fixed), 7);
    EXPECT_FLOAT_EQ(assigned_phase(7), 90.0f);
    EXPECT_FLOAT_EQ(refl_weight(7), 0.8f);
}

TEST_F(ConvergenceJob, KnownPhaseOutsideThePhasingSetFails) {
    prepare("rand_p21c_c18n2o4", {"phas 480 90 1.0"});
    EXPECT_FALSE(build_relation_store(s, d, cv));
    EXPECT_EQ(s.status, -1);
    EXPECT_TRUE(listed(" ***  error  ***  reflexion number   480   out of range ****"));
}

TEST_F(ConvergenceJob, PermOutsideThePhasingSetFails) {
    prepare("rand_p21c_c18n2o4", {"perm 3 490"});
    EXPECT_FALSE(build_relation_store(s, d, cv));
    EXPECT_EQ(s.status, -1);
}

TEST_F(ConvergenceJob, NoTripletsNoPhasing) {
    prepare("rand_p21c_c18n2o4", {}, kSeminv);
    EXPECT_FALSE(build_relation_store(s, d, cv));
    EXPECT_EQ(s.status, -1);
    EXPECT_TRUE(listed(" ****  error : no triplets calculated    ****"));
    EXPECT_TRUE(listed(" ****  try with more active reflections ****"));
}

// A triplet list written by another program over more reflections than the
// phasing arrays hold (499): the command fails with its message, the
// program goes on.
TEST_F(ConvergenceJob, TripletsOverTooManyReflectionsFailTheCommand) {
    prepare("rand_p21c_c18n2o4", {});
    Stored l8 = read_list(8);
    ASSERT_TRUE(l8.present);
    FRMXX(0, 8, l8.count, l8.w10, 500, l8.w12, l8.w13, l8.items.data());
    ASSERT_EQ(read_list(8).w11, 500);
    int status = 0;
    EXPECT_NO_THROW(status = dispatch(kPhase));
    EXPECT_EQ(status, -1);
    EXPECT_TRUE(listed(" ****  error : the triplets were formed among   500 reflections ****")) << listing();
    EXPECT_TRUE(listed(" ****          at most   499 reflections can be phased          ****"));
}

// The first estimate of a reflection: the sum over its relations of
// |G| I1(G)/I0(G).
TEST_F(ConvergenceJob, FirstEstimatesSumTheBesselWeightedReliabilities) {
    prepare("rand_pbar1_c14o2", {"symb 5"});
    ASSERT_TRUE(build_relation_store(s, d, cv));
    // The first estimates from the stored relations: A(r) = sum |G| B(G)
    // over the relations of r (centrosymmetric: doubled triplet G).
    const int nref = PARAM.I(param::kNref);
    for (int r = 1; r <= nref; r += 37) {
        double sum = 0.0;
        for (int e = rel_ptr(r - 1) + 1; e <= rel_ptr(r); ++e) {
            float v = 0.0f;
            int shift = 0, nw = 0;
            DEPACC(r, rel_index(e), v, shift, nw);
            sum += std::fabs(v) * BES(v);
        }
        float out = 0.0f;
        SUP.R(sup::kSumAll) = 0.0f;
        INTER(1, r, out);
        EXPECT_NEAR(std::fabs(SUP.R(sup::kSumAll)), sum, 1e-3 * sum + 1e-4) << r;
    }
}

}  // namespace

namespace {

// A structure file used again: %data reads the reflections anew and
// %phase follows without %normal. The relations stored by the earlier
// %invariants belong to the E values of the earlier list; the command
// fails with its message instead of phasing amplitudes that were never
// normalized, and no phase sets are stored.
TEST_F(ConvergenceJob, ReflectionsReadAgainMustBeNormalizedBeforePhasing) {
    prepare("rand_pbar1_c14o2", {});
    queue({{CMD_DATA, job_directives("rand_pbar1_c14o2", "%data", "job.cmd")}, {CMD_PHASE, {}}});
    COMDIR.I(comdir::kCursor) = 0;
    ASSERT_GE(dispatch(1), 0);
    EXPECT_EQ(dispatch(2), -1);
    EXPECT_TRUE(listed("\n *** error ***  reflections must be normalized.\n")) << listing();
    int serial = 0, first = -1, last = 0, part = 0, length = 0;
    SRLIN(16, serial, first, last, part, length);
    EXPECT_EQ(first, -1);
}

// %phase before any reflections: a failed command, not a stop.
TEST_F(ConvergenceJob, NoReflectionListFailsTheCommand) {
    queue({{CMD_PHASE, {"symb 4", "nops"}}});
    COMDIR.I(comdir::kCursor) = 0;
    EXPECT_EQ(dispatch(1), -1);
    EXPECT_TRUE(listed(" ****  error : no triplets calculated    ****"));
    EXPECT_EQ(COMDIR.I(comdir::kCursor), 2);
}

}  // namespace
