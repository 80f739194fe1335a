// Pieces of the seminvariants command in memory: the directive reader, the
// search table and the E table over the super-index, the marks and look-ups
// of the representation sums, the sorts and the packed words of lists 26
// and 27.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "jobcontrol/numeric.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/seminv.h"
#include "relationships/onephase.h"
#include "relationships/representation.h"
#include "relationships/seminv_work.h"
#include "relationships/twophase.h"
#include "tests/relationships/test_seminv_fixture.h"

using namespace zanek;
using namespace zanek::semtest;

namespace {

// Queues LINES as the directive lines of the running command.
void queue(const std::vector<std::string>& lines) {
    COMDIR.clear();
    COMDIR.I(comdir::kRunning) = 1;
    comdir::directive_lines(1) = static_cast<int>(lines.size());
    for (std::size_t k = 0; k < lines.size(); ++k) CHARA.set_line(static_cast<int>(k) + 1, lines[k]);
}

// Expected switches: one- and two-phase routines; DIR1 both, formula, list, nrs1 and the E limit of
// the reflections to search; print level; DIR2 glim and the traced pair of codes.
struct Switches {
    int one, two, both, formula, list, nrs1;
    float elimit;
    int print;
    float glim;
    int code1, code2;
};

struct DirectiveCase {
    std::vector<std::string> lines;
    int ierr;
    bool message;
    Switches set;  // checked only when the lines are accepted
};

}  // namespace

TEST(SeminvUnits, DirectiveReader) {
    const DirectiveCase cases[] = {
        {{}, 0, false, {1, 1, 0, 2, 0, 0, 0.0f, 0, 0.8f, 0, 0}},
        {{"nss1", "nss2"}, 0, false, {0, 0, 0, 2, 0, 0, 0.0f, 0, 0.8f, 0, 0}},
        {{"FIRST", "list", "end"}, 0, false, {1, 1, 0, 1, 1, 0, 0.0f, 0, 0.8f, 0, 0}},
        {{"nrs1 120"}, 0, false, {1, 1, 0, 2, 0, 120, 1.4f, 0, 0.8f, 0, 0}},
        {{"prin 2"}, 0, false, {1, 1, 1, 2, 0, 0, 0.0f, 2, 0.8f, 0, 0}},
        {{"prin 1", "both"}, 0, false, {1, 1, 1, 2, 0, 0, 0.0f, 1, 0.8f, 0, 0}},
        {{"prin 1"}, 0, false, {1, 1, 0, 2, 0, 0, 0.0f, 1, 0.8f, 0, 0}},
        {{"glim 1.5", "code 7"}, 0, false, {1, 1, 0, 2, 0, 0, 0.0f, 0, 1.5f, 7, 0}},
        {{"code 7 9 11", "numk 12", "epli 3", "nrs2 5", "nopt"}, 0, false, {1, 1, 0, 2, 0, 0, 0.0f, 0, 0.8f, 7, 9}},
        // Failures, each reported: a count of numbers the directive does not
        // take, a word that is no number, an unknown keyword.
        {{"numk"}, -1, true, {}},
        {{"nrs1 1 2"}, -1, true, {}},
        {{"nss1 5"}, -1, true, {}},
        {{"glim x"}, -1, true, {}},
        {{"end x"}, -1, true, {}},
        {{"nss1", "what", "nss2"}, -1, true, {}},
        {{"nrs1 -3"}, -1, true, {}},
    };
    for (const DirectiveCase& c : cases) {
        const std::string path = listing_to("seminv_dirsem");
        queue(c.lines);
        UREQ.I(ureqw::kPrint) = 9;
        int ierr = 0;
        DIRSEM(ierr);
        const std::string what = c.lines.empty() ? "(none)" : c.lines.front();
        EXPECT_EQ(ierr, c.ierr) << what;
        EXPECT_EQ(COMDIR.I(comdir::kCursor), static_cast<int>(c.lines.size())) << what << ": every line consumed";
        const std::string lis = listing_of(path);
        EXPECT_EQ(!lis.empty(), c.message) << what << "\n" << lis;
        if (c.ierr != 0) continue;
        EXPECT_EQ(DIRG.I(dirg::kOnePhase), c.set.one) << what;
        EXPECT_EQ(DIRG.I(dirg::kOption), 0) << what;
        EXPECT_EQ(DIRG.I(dirg::kTwoPhase), c.set.two) << what;
        EXPECT_EQ(DIR1.I(dir1::kBoth), c.set.both) << what;
        EXPECT_EQ(DIR1.I(dir1::kFormula), c.set.formula) << what;
        EXPECT_EQ(DIR1.I(dir1::kList), c.set.list) << what;
        EXPECT_EQ(DIR1.I(dir1::kNrs1), c.set.nrs1) << what;
        EXPECT_EQ(DIR1.I(dir1::kFreeVectors), 0) << what;
        EXPECT_FLOAT_EQ(DIR1.R(dir1::kSearchE), c.set.elimit) << what;
        EXPECT_FLOAT_EQ(DIR1.R(dir1::kFreeE), 0.0f) << what;
        EXPECT_EQ(UREQ.I(ureqw::kPrint), c.set.print) << what;
        EXPECT_FLOAT_EQ(DIR2.R(dir2::kGlim), c.set.glim) << what;
        EXPECT_EQ(DIR2.I(dir2::kTraced1), c.set.code1) << what;
        EXPECT_EQ(DIR2.I(dir2::kTraced2), c.set.code2) << what;
    }
    EXPECT_EQ(listing_of(listing_to("seminv_dirsem_msg")), "");
    queue({"nss1", "what 1", "nss2"});
    const std::string path = listing_to("seminv_dirsem_msg");
    int ierr = 0;
    DIRSEM(ierr);
    EXPECT_EQ(listing_of(path).substr(0, 36), " wrong directive on following line:\n");
    // The refused line is named, padded to 80 characters as the other commands do.
    for (const char* line : {"nss1 5", "glim x"}) {
        queue({"nss2", line});
        const std::string said = listing_to("seminv_dirsem_count");
        DIRSEM(ierr);
        EXPECT_EQ(listing_of(said), " error in directive : " + std::string(line) + std::string(80 - std::strlen(line), ' ') + "\n");
    }
}

// Rows of the search table: every distinct equivalent once unmarked, the
// repeats marked by 1000; the E word negative for a restricted phase in a
// group without a centre of symmetry.
TEST(SeminvUnits, SearchTableRows) {
    listing_to("seminv_fill");
    ASSERT_TRUE(setup_group("p 21 21 21"));
    struct Case {
        int H[3];
        int code, distinct;
        int eword;
    };
    const Case cases[] = {{{3, 4, 5}, 1, 4, 2345}, {{0, 0, 4}, 13, 2, -2345}, {{2, 0, 3}, 13, 4, -2345}};
    for (const Case& c : cases) {
        FILL(c.H, 2.345f, c.code, 180, 7, 0);
        std::set<std::vector<int>> unmarked;
        for (int j = 1; j <= 4; ++j) {
            std::vector<int> v = {semtab::slot(0, j, 7), semtab::slot(1, j, 7), semtab::slot(2, j, 7)};
            if (semtab::slot_is_duplicate(j, 7)) {
                int h[3];
                semtab::slot_vector(j, 7, h);
                EXPECT_TRUE(unmarked.count({h[0], h[1], h[2]})) << "a repeat of an earlier slot";
                EXPECT_GE(v[0], 900);
            } else {
                EXPECT_TRUE(unmarked.insert(v).second);
            }
        }
        EXPECT_EQ(static_cast<int>(unmarked.size()), c.distinct);
        EXPECT_EQ(semtab::eword(7), c.eword);
        EXPECT_FLOAT_EQ(semtab::rpword(7), 1000.0f * c.code + 180.0f);
    }
    // In a centrosymmetric group every E word is positive.
    ASSERT_TRUE(setup_group("p 1 21/c 1"));
    const int H[3] = {1, 0, 2};
    FILL(H, 1.5f, 13, 0, 3, 0);
    EXPECT_EQ(semtab::eword(3), 1500);
    // A stopped row is left as it was.
    FILL(H, 2.5f, 13, 0, 3, 1);
    EXPECT_EQ(semtab::eword(3), 1500);
}

// The E table over the super-index: every equivalent of every reflection,
// E = 0 entered as 10 and E = 1 as 999, equivalents beyond the maximum
// indices left out, -1000 elsewhere.
TEST(SeminvUnits, ETableOverTheSuperIndex) {
    listing_to("seminv_fillr");
    ASSERT_TRUE(setup_group("p 4", 4));
    UREQ.I(ureqw::kKmax) = 3;  // |k| at most 3: the four-fold takes (4, 1, 0) to (-1, 4, 0), beyond it
    seminv_strides();
    std::vector<SeminvReflection>& refs = seminv_reflections();
    refs.clear();
    refs.push_back({{1, 2, 0}, seminv_e(0.0f), 0});
    refs.push_back({{2, 1, 1}, seminv_e(1.0f), 0});
    refs.push_back({{4, 1, 0}, seminv_e(1.732f), 0});
    FILLR();
    auto entry = [](int h, int k, int l) {
        const int H[3] = {h, k, l};
        int s = -1;
        INDR(H, s);
        return s < 0 ? -9999 : semtab::isr(s);
    };
    EXPECT_EQ(entry(1, 2, 0), 10);
    EXPECT_EQ(entry(-2, 1, 0), 10);  // the four-fold image
    EXPECT_EQ(entry(-1, -2, 0), 10);
    EXPECT_EQ(entry(2, 1, 1), 999);
    EXPECT_EQ(entry(-1, 2, 1), 999);
    EXPECT_EQ(entry(4, 1, 0), 1732);
    EXPECT_EQ(entry(-1, 4, 0), -9999);  // beyond |k| = 3
    EXPECT_EQ(entry(1, 1, 1), semtab::kAbsent);
    refs.clear();
}

// Marks and look-ups of the representation sums.
TEST(SeminvUnits, MarksAndLookups) {
    listing_to("seminv_marks");
    ASSERT_TRUE(setup_group("p -1", 12));
    for (int s = 1; s <= COST.I(cost::kLargest); ++s) semtab::isr(s) = 1500;
    const int absent[3] = {0, 0, 5};
    int sa = -1;
    INDR(absent, sa);
    semtab::isr(sa) = semtab::kAbsent;

    const int L[3] = {0, 0, 2}, K[3] = {0, 0, 3}, far[3] = {0, 0, 20};
    float e = 0.0f, q = 0.0f;
    int S[3], is = 0;
    KSYM(L, K, e, q, S, is);  // (0, 0, 5): not among the data
    EXPECT_EQ(is, sa);
    EXPECT_FLOAT_EQ(e, 1.0f);
    EXPECT_FLOAT_EQ(q, 0.0f);
    KSYM(L, far, e, q, S, is);  // beyond the maximum indices
    EXPECT_EQ(is, -1);
    EXPECT_FLOAT_EQ(e, 0.0f);
    EXPECT_FLOAT_EQ(q, 0.0f);
    KSYM(L, L, e, q, S, is);
    EXPECT_FLOAT_EQ(e, 1.5f);
    EXPECT_FLOAT_EQ(q, 1.25f);

    // Marking negates; the owner of the sums makes the entries positive again.
    PRO.I(pro::kMarks) = 0;
    int n = 0;
    for (int h = 1; h <= 12 && UREQ.I(ureqw::kWork) == 0; ++h)
        for (int k = -12; k <= 12 && UREQ.I(ureqw::kWork) == 0; ++k)
            for (int l = -12; l <= 12; ++l) {
                const int H[3] = {h, k, l};
                MARK(H, 0, n, H);
                if (UREQ.I(ureqw::kWork) != 0) break;
            }
    EXPECT_EQ(UREQ.I(ureqw::kWork), 1);
    EXPECT_EQ(n, semtab::kMarks);
    const int first[3] = {1, -12, -12};
    int s1 = -1;
    INDR(first, s1);
    EXPECT_EQ(semtab::isr(s1), -1500);
    PRO.I(pro::kMarks) = n;
    unmark_all();
    EXPECT_EQ(semtab::isr(s1), 1500);
    EXPECT_EQ(PRO.I(pro::kMarks), 0);
    KSYM(L, L, e, q, S, is);  // a marked entry is looked up by its magnitude
    EXPECT_FLOAT_EQ(e, 1.5f);

    static float T[50][9];
    for (auto& row : T)
        for (float& v : row) v = 0.0f;
    INSE(T, 0.5f, 3, 1);
    INSE(T, 0.5f, 3, 2);
    INSE(T, 0.7f, 3, 3);
    EXPECT_FLOAT_EQ(T[1][3], 0.5f);
    EXPECT_FLOAT_EQ(T[2][3], 0.0f);
    EXPECT_FLOAT_EQ(T[3][3], 0.7f);
}

TEST(SeminvUnits, Sorts) {
    listing_to("seminv_sorts");
    {
        float v[4] = {0.0f, 0.3f, 0.9f, 0.5f};
        int idx[4] = {};
        SORTS(idx, v, 3, 350);
        EXPECT_FLOAT_EQ(v[1], 0.9f);
        EXPECT_FLOAT_EQ(v[2], 0.5f);
        EXPECT_FLOAT_EQ(v[3], 0.3f);
        EXPECT_EQ(idx[1], 2);
        EXPECT_EQ(idx[2], 3);
        EXPECT_EQ(idx[3], 1);
    }
    // Every order of up to 8 values, with ties: decreasing, and the index
    // table a permutation that carries the original values.
    for (int n = 1; n <= 8; ++n) {
        std::vector<int> perm(n);
        for (int i = 0; i < n; ++i) perm[i] = i / 2;  // ties
        do {
            std::vector<float> v(n + 1), orig(n + 1);
            std::vector<int> idx(n + 1);
            for (int i = 1; i <= n; ++i) orig[i] = v[i] = static_cast<float>(perm[i - 1]);
            SORTS(idx.data(), v.data(), n, 350);
            for (int i = 1; i < n; ++i) ASSERT_GE(v[i], v[i + 1]);
            for (int i = 1; i <= n; ++i) ASSERT_EQ(v[i], orig[idx[i]]);
            std::vector<float> g(orig);
            SORTGS(g.data(), n);
            for (int i = 1; i <= n; ++i) ASSERT_EQ(g[i], v[i]);
        } while (std::next_permutation(perm.begin(), perm.end()));
    }
    const std::string path = listing_to("seminv_sorts_empty");
    int idx[2] = {0, 0};
    float v[2] = {};
    SORTS(idx, v, 0, 350);
    EXPECT_EQ(idx[1], 1);
    SORTGS(v, 0);
    const std::string lis = listing_of(path);
    EXPECT_NE(lis.find(" *    no seminvariants exist   * "), std::string::npos);
    EXPECT_NE(lis.find("         no sigma2 exist        "), std::string::npos);

    TwoPhaseRecord rec[5];
    const int w2[5] = {0, 500, -900, 700, -600};
    for (int t = 1; t <= 4; ++t) rec[t].w[2] = w2[t];
    SORT3S(rec, 4);
    EXPECT_EQ(rec[1].w[2], -900);
    EXPECT_EQ(rec[2].w[2], 700);
    EXPECT_EQ(rec[3].w[2], -600);
    EXPECT_EQ(rec[4].w[2], 500);
}

TEST(SeminvUnits, PackedWords) {
    struct Case {
        int A;
        float alpha;
        int phase;
        int B, C;
    };
    const Case cases[] = {
        {12, 0.876f, 180, 87, 12}, {-40, 25.0f, 360, 2047, 0}, {7, 0.2f, 0, 20, 0}, {-350, 1.5f, 345, 150, 23},
    };
    for (const Case& c : cases) {
        const int32_t w = JPACK1(c.A, c.alpha, c.phase);
        int32_t a, b, cc;
        UNPAK3(w, a, b, cc);
        EXPECT_EQ(a, c.A);
        EXPECT_EQ(b, c.B);
        EXPECT_EQ(cc, c.C);
        int32_t w2 = w;
        int A = 0, phi = 0;
        float alpha = 0.0f;
        UNPK1(w2, A, alpha, phi);
        EXPECT_EQ(w2, w - 1);
        EXPECT_EQ(A, c.A);
        EXPECT_FLOAT_EQ(alpha, c.B / 100.0f);
        EXPECT_EQ(phi, 15 * c.C);
    }
    int32_t w1 = 0, v = 0;
    JPACK2(w1, v, 26, -1, 16, 6.0f, 360);
    int32_t a, b, c;
    UNPAK3(w1, a, b, c);
    EXPECT_EQ(a, 26);
    EXPECT_EQ(b, -16);
    EXPECT_EQ(c, -1);
    UNPAK3(v, a, b, c);
    EXPECT_EQ(a, 1024);
    EXPECT_EQ(b, 600);
    EXPECT_EQ(c, 24);  // 360 degrees
    JPACK2(w1, v, -3, 1, 200, 30.0f, 15);
    UNPAK3(v, a, b, c);
    EXPECT_EQ(b, 2047);
    EXPECT_EQ(c, 1);
    EXPECT_FLOAT_EQ(H4(0.0f), 0.0f);
    EXPECT_FLOAT_EQ(H4(1.0f), -2.0f);
    EXPECT_FLOAT_EQ(H4(2.0f), -5.0f);
    float A1[4] = {1, 2, 3, 4}, B1[4] = {1, 2, 3, 4};
    AZZERO(A1, B1, 1, 2);
    EXPECT_FLOAT_EQ(A1[1], -1.0f);
    EXPECT_FLOAT_EQ(B1[2], 0.0f);
    EXPECT_FLOAT_EQ(A1[3], 4.0f);
}
