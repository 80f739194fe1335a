// The frame of the phase command: its directive reader (defaults, counts
// and limits of every keyword), and the helpers of the phasing set
// (super-index unpacking, relation items as seen from each reflection,
// the relation pointers and index list, the sort of the symbol choice).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "jobcontrol/lists/list07.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "phasing/divergence.h"
#include "platform/stop.h"
#include "phasing/phase_command.h"
#include "phasing/phasing_set.h"
#include "phasing/relation_store.h"
#include "relationships/triplets.h"
#include "tests/phasing/phase_job_fixture.h"
#include "tests/phasing/phasing_fixture.h"

using namespace zanek;
using namespace zanek::test;

namespace {

// --- Directive reader --------------------------------------------------

class PhaseDirectivesTest : public PhaseJob {
protected:
    PhaseSettings s;
    PhaseDirectives d;
    int nref = 0;
    int lines_read = 0;

    void read(const std::vector<std::string>& lines) {
        prepare("rand_pbar1_c14o2", lines, kNormal);
        int n = 0, nzro = 0, ipseudo = 0, seed = 0;
        YSFL07(n, nref, nzro, ipseudo, seed);
        const int before = COMDIR.I(comdir::kCursor);
        DIRPHA(s, d);
        lines_read = COMDIR.I(comdir::kCursor) - before;
    }
    int stored_seed() {
        int n = 0, nr = 0, nzro = 0, ipseudo = 0, seed = 0;
        YSFL07(n, nr, nzro, ipseudo, seed);
        return seed;
    }
};

TEST_F(PhaseDirectivesTest, NoDirectivesGiveTheDefaults) {
    read({});
    EXPECT_EQ(s.status, 0);
    EXPECT_EQ(d.symb, 5);
    EXPECT_EQ(s.onep, 3);
    EXPECT_EQ(s.twop, 0.0f);
    EXPECT_FLOAT_EQ(s.minf, 0.95f);
    EXPECT_FLOAT_EQ(EMAP.R(emap::kMinf), 0.95f);
    EXPECT_EQ(s.max_sets, 10);
    EXPECT_EQ(CRIS.I(cris::kMaxTrials), 100);
    EXPECT_EQ(CRIS.I(cris::kRandomStart), 0);
    EXPECT_EQ(CRIS.I(cris::kRandomCount), nref / 2);
    EXPECT_EQ(CRIS.I(cris::kDumpSet), -1);
    EXPECT_EQ(s.reject, 1);
    EXPECT_EQ(s.test, 1);
    EXPECT_EQ(s.trial_output, 0);
    EXPECT_EQ(s.seed, list7::kDefaultSeed);
    EXPECT_EQ(GIAN.I(gian::kSwitch), 1);
    EXPECT_FLOAT_EQ(PARTIA.R(partia::kGmin), 4.0f);
    EXPECT_FLOAT_EQ(PARTIA.R(partia::kCutm), 0.05f);
    EXPECT_EQ(UREQ.I(ureqw::kPartial), 0);
    EXPECT_EQ(UREQ.I(ureqw::kPrint), 0);
    EXPECT_EQ(d.nneg + d.nngq + d.tabl + d.nperm + d.orig + d.nphas + d.enan + d.spec, 0);
    EXPECT_EQ(stored_seed(), list7::kDefaultSeed);
}

struct DirectiveCase {
    const char* name;
    std::vector<std::string> lines;
    bool ok;
    std::function<void(const PhaseSettings&, const PhaseDirectives&, int nref)> check;
    std::string refused_line = "";  // the line the error names, when it matters
};
void PrintTo(const DirectiveCase& c, std::ostream* os) { *os << c.name; }

class DirectiveLines : public PhaseDirectivesTest, public ::testing::WithParamInterface<DirectiveCase> {};

TEST_P(DirectiveLines, CountsLimitsAndEffects) {
    const DirectiveCase& c = GetParam();
    read(c.lines);
    EXPECT_EQ(s.status, c.ok ? 0 : -1);
    if (!c.ok) {
        EXPECT_TRUE(listed(" error in directive : " + c.refused_line)) << listing();
    }
    if (c.check) c.check(s, d, nref);
    // Every directive line of the command has been read.
    EXPECT_EQ(lines_read, static_cast<int>(c.lines.size()));
}

const auto none = std::function<void(const PhaseSettings&, const PhaseDirectives&, int)>();

INSTANTIATE_TEST_SUITE_P(
    Keywords, DirectiveLines,
    ::testing::Values(
        DirectiveCase{"seed_needs_one_number", {"seed"}, false, none},
        DirectiveCase{"seed_two_numbers", {"seed 1 2"}, false, none},
        DirectiveCase{"rand_alone", {"rand"}, true,
                      [](auto&, auto&, int nref) {
                          EXPECT_EQ(CRIS.I(cris::kRandomStart), 1);
                          EXPECT_EQ(CRIS.I(cris::kRandomCount), nref / 2);
                      }},
        DirectiveCase{"rand_lowered_below_nref", {"rand 1000"}, true,
                      [](auto&, auto&, int nref) { EXPECT_EQ(CRIS.I(cris::kRandomCount), nref - 4); }},
        DirectiveCase{"rand_sets_count", {"rand 40"}, true,
                      [](const PhaseSettings& s, auto&, int) {
                          EXPECT_EQ(CRIS.I(cris::kRandomCount), 40);
                          EXPECT_EQ(s.onep, 0);  // random start: no one-phase seminvariants
                      }},
        DirectiveCase{"rand_two_numbers", {"rand 1 2"}, false, none},
        // A random start makes maxt trials: it needs at least one, in
        // whichever order the two lines come; the line named is maxt's.
        DirectiveCase{"maxt_zero_with_rand", {"rand", "maxt 0"}, false, none},
        DirectiveCase{"maxt_negative_before_rand", {"maxt -3", "nops", "rand"}, false,
                      [](auto&, auto&, int) { EXPECT_EQ(CRIS.I(cris::kRandomStart), 1); }, "maxt -3"},
        DirectiveCase{"maxt_one", {"rand", "maxt 1"}, true,
                      [](auto&, auto&, int) { EXPECT_EQ(CRIS.I(cris::kMaxTrials), 1); }},
        // Without a random start the number is not used: any value will do,
        // and the lines after it are read as usual.
        DirectiveCase{"maxt_zero_without_rand", {"maxt 0"}, true,
                      [](auto&, auto&, int) { EXPECT_EQ(CRIS.I(cris::kRandomStart), 0); }},
        DirectiveCase{"maxt_negative_without_rand", {"maxt -3", "symb 7"}, true,
                      [](auto&, const PhaseDirectives& d, int) { EXPECT_EQ(d.symb, 7); }},
        DirectiveCase{"orig_odd_count", {"orig 1 0 2"}, false, none},
        DirectiveCase{"orig_rank_beyond_nref_dropped", {"orig 5 0 600 90"}, true,
                      [](auto&, const PhaseDirectives& d, int) {
                          EXPECT_EQ(d.orig, 1);
                          EXPECT_EQ(d.norig, 1);
                          EXPECT_EQ(d.orig_rank[0], 5);
                          EXPECT_EQ(USE2.I(use2::kOrigValue), 0);
                      }},
        DirectiveCase{"orig_more_than_three_pairs", {"orig 1 0 2 0 3 0 4 0"}, false, none},
        DirectiveCase{"phas_five_numbers", {"phas 1 2 3 4 5"}, false, none},
        DirectiveCase{"phas_two_lines_append", {"phas 3 90 0.8", "phas 7 180 1.5"}, true,
                      [](auto&, const PhaseDirectives& d, int) {
                          ASSERT_EQ(d.nphas, 2);
                          EXPECT_EQ(phas_rank(1), 3);
                          EXPECT_EQ(phas_phase(1), 90);
                          EXPECT_FLOAT_EQ(phas_weight(1), 0.8f);
                          EXPECT_EQ(phas_rank(2), 7);
                          EXPECT_FLOAT_EQ(phas_weight(2), 1.5f);
                      }},
        DirectiveCase{"perm_thirteen", {"perm 1 2 3 4 5 6 7 8 9 10 11 12 13"}, false, none},
        DirectiveCase{"perm_kept", {"perm 4 9"}, true,
                      [](auto&, const PhaseDirectives& d, int) {
                          EXPECT_EQ(d.nperm, 2);
                          EXPECT_EQ(perm_rank(1), 4);
                          EXPECT_EQ(perm_rank(2), 9);
                      }},
        DirectiveCase{"tria_keeps_first_twenty",
                      {"tria 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25"}, true,
                      [](const PhaseSettings& s, auto&, int) {
                          EXPECT_EQ(CONST.I(konst::kTriaCount), 20);
                          EXPECT_EQ(CONST.I(konst::kTriaList + 19), 20);
                          EXPECT_EQ(s.trial_output, 1);
                      }},
        DirectiveCase{"minf_threshold", {"minf 0.9"}, true,
                      [](const PhaseSettings& s, auto&, int) {
                          EXPECT_FLOAT_EQ(s.minf, 0.9f);
                          EXPECT_EQ(s.max_sets, 10);
                      }},
        DirectiveCase{"minf_threshold_and_sets", {"minf 0.9 50"}, true,
                      [](const PhaseSettings& s, auto&, int) { EXPECT_EQ(s.max_sets, 50); }},
        DirectiveCase{"minf_three_numbers", {"minf 0.9 50 3"}, false, none},
        DirectiveCase{"minf_no_sets", {"minf 0.9 0"}, false, none},
        DirectiveCase{"minf_negative_threshold", {"minf -1"}, false, none},
        DirectiveCase{"minf_zero_threshold", {"minf 0"}, true,
                      [](const PhaseSettings& s, auto&, int) { EXPECT_FLOAT_EQ(s.minf, 0.0f); }},
        DirectiveCase{"symb_thirteen", {"symb 13"}, false, none},
        DirectiveCase{"symb_seven", {"symb 7"}, true, [](auto&, const PhaseDirectives& d, int) { EXPECT_EQ(d.symb, 7); }},
        DirectiveCase{"spec_thirteen", {"spec 13"}, false, none},
        DirectiveCase{"onep_negative", {"onep -1"}, false, none},
        DirectiveCase{"onep_truncated", {"onep 2.7"}, true, [](const PhaseSettings& s, auto&, int) { EXPECT_EQ(s.onep, 2); }},
        DirectiveCase{"twop_real", {"twop 0.75"}, true,
                      [](const PhaseSettings& s, auto&, int) { EXPECT_FLOAT_EQ(s.twop, 0.75f); }},
        DirectiveCase{"list_absolute", {"list -7"}, true, [](auto&, auto&, int) { EXPECT_EQ(SUP.I(sup::kListCount), 7); }},
        DirectiveCase{"switches",
                      {"nops", "nneg", "nngq", "nore", "test", "tabl", "all", "las", "set 4", "maxt 50", "prin 2",
                       "enan 17", "spec 2", "gmin 3.5", "cutm 0.1"},
                      true,
                      [](const PhaseSettings& s, const PhaseDirectives& d, int) {
                          EXPECT_EQ(GIAN.I(gian::kSwitch), 0);
                          EXPECT_EQ(d.nneg, 1);
                          EXPECT_EQ(d.nngq, 1);
                          EXPECT_EQ(s.reject, 0);
                          EXPECT_EQ(s.test, 0);
                          EXPECT_EQ(d.tabl, 1);
                          EXPECT_EQ(CONST.I(konst::kAll), 1);
                          EXPECT_EQ(MAG.I(mag::kLas), 1);
                          EXPECT_EQ(CRIS.I(cris::kDumpSet), 4);
                          EXPECT_EQ(CRIS.I(cris::kMaxTrials), 50);
                          EXPECT_EQ(UREQ.I(ureqw::kPrint), 2);
                          EXPECT_EQ(d.enan, 17);
                          EXPECT_EQ(d.spec, 2);
                          EXPECT_FLOAT_EQ(PARTIA.R(partia::kGmin), 3.5f);
                          EXPECT_FLOAT_EQ(PARTIA.R(partia::kCutm), 0.1f);
                      }},
        DirectiveCase{"part_sets_partial_state", {"part"}, true,
                      [](auto&, auto&, int) { EXPECT_EQ(UREQ.I(ureqw::kPartial), 1); }},
        DirectiveCase{"keyword_without_numbers_given_one", {"tabl 3"}, false, none},
        DirectiveCase{"bad_character", {"symb 5x"}, false, none},
        DirectiveCase{"error_ends_the_reader", {"symb 13", "nops"}, false,
                      [](auto&, auto&, int) { EXPECT_EQ(GIAN.I(gian::kSwitch), 1); }}),
    [](const ::testing::TestParamInfo<DirectiveCase>& info) { return std::string(info.param.name); });

// The reader changes nothing stored: a positive seed waits for the command
// to accept its inputs.
TEST_F(PhaseDirectivesTest, PositiveSeedIsKeptForTheCommandToStore) {
    read({"seed 12345"});
    EXPECT_EQ(s.status, 0);
    EXPECT_EQ(s.seed, 12345);
    EXPECT_EQ(s.new_seed, 12345);
    EXPECT_EQ(stored_seed(), list7::kDefaultSeed);
}

TEST_F(PhaseDirectivesTest, ZeroOrNegativeSeedLeavesTheStoredSeed) {
    read({"seed 0"});
    EXPECT_EQ(s.new_seed, 0);
    EXPECT_EQ(stored_seed(), list7::kDefaultSeed);
}

TEST_F(PhaseDirectivesTest, NegativeSeedLeavesTheStoredSeed) {
    read({"seed -5"});
    EXPECT_EQ(s.status, 0);
    EXPECT_EQ(s.new_seed, 0);
    EXPECT_EQ(stored_seed(), list7::kDefaultSeed);
}

// The whole command: the seed of an accepted %phase is in the reflection
// list when the trials start; a %phase refused after its lines were read
// leaves the stored seed alone.
class PhaseCommandSeed : public PhaseJob {
protected:
    int run_phase(const std::vector<std::string>& lines) {
        prepare("rand_pbar1_c14o2", lines);
        return dispatch(kPhase);
    }
    int stored_seed() {
        int n = 0, nr = 0, nzro = 0, ipseudo = 0, seed = 0;
        YSFL07(n, nr, nzro, ipseudo, seed);
        return seed;
    }
};

TEST_F(PhaseCommandSeed, AcceptedCommandStoresThePositiveSeed) {
    EXPECT_GE(run_phase({"seed 12345"}), 0);
    EXPECT_EQ(stored_seed(), 12345);
}

TEST_F(PhaseCommandSeed, RefusedCommandLeavesTheStoredSeed) {
    EXPECT_EQ(run_phase({"seed 12345", "perm 3 9999"}), -1);
    EXPECT_TRUE(listed(" ***  error  ***  reflexion number  9999   out of range ****"));
    EXPECT_EQ(stored_seed(), list7::kDefaultSeed);
}

TEST_F(PhaseDirectivesTest, UnknownKeyword) {
    read({"zork 1"});
    EXPECT_EQ(s.status, -1);
    const auto l = lines();
    const auto it = std::find(l.begin(), l.end(), " wrong directive on following line:");
    ASSERT_NE(it, l.end());
    ASSERT_NE(it + 1, l.end());
    EXPECT_EQ((it + 1)->substr(0, 7), " zork 1");
}

TEST_F(PhaseDirectivesTest, RandomStartWithoutTrialsNamesItsLine) {
    read({"rand", "maxt 0"});
    EXPECT_EQ(s.status, -1);
    EXPECT_TRUE(listed("\n error in directive : maxt 0" + std::string(74, ' ') + "\n")) << listing();
}

TEST_F(PhaseDirectivesTest, RandomAndPartialAreNotCompatible) {
    read({"rand", "part"});
    EXPECT_EQ(s.status, -1);
    EXPECT_TRUE(listed("  *** error *** RANDOM & PARTIAL directives are not compatible."));
}

// --- Phasing-set helpers ------------------------------------------------

TEST(Unpacc, InvertsTheSuperIndex) {
    set_phasing_set({{0, 0, 1}});
    for (int h = 0; h <= 15; h += 3)
        for (int k = -15; k <= 15; k += 5)
            for (int l = -15; l <= 15; l += 2) {
                if (h == 0 && (k < 0 || (k == 0 && l < 0))) continue;  // first non-zero index positive
                const int s = h * UNP.I(unp::kStrideH) + k * UNP.I(unp::kStrideK) + l;
                int a = 0, b = 0, c = 0;
                UNPACC(s, a, b, c);
                EXPECT_EQ(a, h);
                EXPECT_EQ(b, k);
                EXPECT_EQ(c, l);
            }
}

TEST(PackedReflection, CarriesEToTheHundredth) {
    const int32_t w = pack_reflection(2.347f, 12345);
    EXPECT_EQ(packed_super(w), 12345);
    EXPECT_FLOAT_EQ(packed_e(w), 2.35f);
    EXPECT_FLOAT_EQ(packed_e(pack_reflection(1.0f, 0)), 1.0f);
}

// phi(r) = sum of the slot phases + 15 * shift for the relation seen from r.
TEST(Depacc, ItemsAsSeenFromEachReflection) {
    PARAM.I(param::kNref) = 20;
    // Triplet phi5 - phi7 + phi9 + 45 = 0, kappa 1.50.
    rel_word(1) = relation_word(5, -7, -1);
    rel_word(2) = relation_word(9, 150, 3);
    // Two-phase seminvariant phi2 + phi4 + 60 = 0, alpha 2.50.
    rel_word(3) = relation_word(2, 4, -1);
    rel_word(4) = relation_word(1024, 250, 4);
    // Negative quartet phi1 + phi3 - phi6 - phi8 + 180 = 0, kappa -0.80.
    rel_word(5) = relation_word(1, 3, -1);
    rel_word(6) = relation_word(-6, -8, -1);
    rel_word(7) = relation_word(0, -80, 12);

    struct Case {
        int r, pos;
        float value;
        int shift, nwords;
        int q[4];
    };
    const std::vector<Case> cases = {
        {0, 1, 1.5f, 3, 2, {5, -7, 9, 0}},
        {5, 1, 1.5f, 21, 2, {7, -9, 0, 0}},   // phi5 = phi7 - phi9 - 45
        {7, 1, 1.5f, 3, 2, {5, 9, 0, 0}},     // phi7 = phi5 + phi9 + 45
        {9, 1, 1.5f, 21, 2, {-5, 7, 0, 0}},   // phi9 = -phi5 + phi7 - 45
        {0, 3, 2.5f, 4, 2, {2, 4, 0, 0}},
        {2, 3, 2.5f, 20, 2, {-4, 0, 0, 0}},   // phi2 = -phi4 + 60
        {4, 3, 2.5f, 20, 2, {-2, 0, 0, 0}},
        {0, 5, -0.8f, 12, 3, {1, 3, -6, -8}},
        {1, 5, -0.8f, 12, 3, {-3, 6, 8, 0}},  // phi1 = -phi3 + phi6 + phi8 + 180
        {8, 5, -0.8f, 12, 3, {1, 3, -6, 0}},  // phi8 = phi1 + phi3 - phi6 + 180
    };
    for (const Case& c : cases) {
        float value = 0.0f;
        int shift = -1, nwords = 0;
        DEPACC(c.r, c.pos, value, shift, nwords);
        EXPECT_FLOAT_EQ(value, c.value) << c.r << "@" << c.pos;
        EXPECT_EQ(shift, c.shift) << c.r << "@" << c.pos;
        EXPECT_EQ(nwords, c.nwords);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(depacc_slot(i + 1), c.q[i]) << c.r << "@" << c.pos << " slot " << i + 1;
    }
}

TEST(Depacc, ACorruptItemStops) {
    rel_word(1) = relation_word(5, 7, 0);  // not an index-pair word
    rel_word(2) = relation_word(9, 150, 3);
    float v = 0.0f;
    int shift = 0, nw = 0;
    EXPECT_THROW(DEPACC(0, 1, v, shift, nw), ZanekStop);
    rel_word(1) = relation_word(5, 7, -1);
    EXPECT_THROW(DEPACC(6, 1, v, shift, nw), ZanekStop);  // 6 is not in the item
}

TEST(IndexRelations, PointersAndIndexListOfEveryReflection) {
    PARAM.I(param::kNref) = 6;
    int pos = 1;
    auto put = [&](std::initializer_list<int32_t> w) {
        const int at = pos;
        for (int32_t x : w) rel_word(pos++) = x;
        return at;
    };
    const int t1 = put({relation_word(1, -2, -1), relation_word(3, 120, 0)});
    const int s1 = put({relation_word(2, 5, -1), relation_word(1024, 200, 6)});
    const int q1 = put({relation_word(1, 3, -1), relation_word(-5, 6, -1), relation_word(0, -90, 12)});
    const int t2 = put({relation_word(2, 3, -1), relation_word(-5, 80, 6)});
    const int items = index_relations(pos - 1);
    EXPECT_EQ(items, 4);
    // Relations by reflection: 1 {t1, q1}; 2 {t1, s1, t2}; 3 {t1, q1, t2};
    // 4 {}; 5 {s1, q1, t2}; 6 {q1}.
    const std::vector<std::vector<int>> expected = {{t1, q1}, {t1, s1, t2}, {t1, q1, t2}, {}, {s1, q1, t2}, {q1}};
    EXPECT_EQ(rel_ptr(0), 0);
    for (int r = 1; r <= 6; ++r) {
        std::vector<int> got;
        for (int e = rel_ptr(r - 1) + 1; e <= rel_ptr(r); ++e) got.push_back(rel_index(e));
        EXPECT_EQ(got, expected[static_cast<std::size_t>(r - 1)]) << "reflection " << r;
    }
    EXPECT_EQ(rel_ptr(6), 12);
}

TEST(Sortco, SortsKeysAndMovesTheIndexAlong) {
    std::mt19937 gen(7);
    std::uniform_real_distribution<float> u(0.0f, 100.0f);
    for (int n : {1, 2, 3, 5, 17, 100, 500}) {
        std::vector<float> key(static_cast<std::size_t>(n));
        std::vector<int> index(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            key[static_cast<std::size_t>(i)] = i % 7 == 0 ? 1e20f : u(gen);
            index[static_cast<std::size_t>(i)] = i + 1;
        }
        const std::vector<float> original = key;
        SORTCO(key.data(), index.data(), n);
        EXPECT_TRUE(std::is_sorted(key.begin(), key.end())) << n;
        for (int i = 0; i < n; ++i)
            EXPECT_EQ(key[static_cast<std::size_t>(i)], original[static_cast<std::size_t>(index[static_cast<std::size_t>(i)] - 1)]);
    }
}

}  // namespace
