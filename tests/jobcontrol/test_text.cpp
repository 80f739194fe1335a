// Directive-line helpers: the cases every directive reader relies on.
#include <gtest/gtest.h>

#include <cmath>

#include "jobcontrol/records/job.h"
#include "jobcontrol/text.h"

using namespace zanek;

TEST(Shift, LeftJustifiesAndMeasures) {
    std::string line = "   ab c  ";
    int n = 0;
    SHIFT(line, n);
    EXPECT_EQ(line, "ab c     ");
    EXPECT_EQ(n, 4);

    std::string blank = "     ";
    SHIFT(blank, n);
    EXPECT_EQ(blank, "     ");
    EXPECT_EQ(n, -1);

    std::string empty;
    SHIFT(empty, n);
    EXPECT_EQ(n, -1);
}

TEST(Cutst, CutsFirstWord) {
    std::string line = "cell 10 12";
    std::string word(40, ' ');
    int n = 0, m = 0;
    CUTST(line, n, word, m);
    EXPECT_EQ(m, 4);
    EXPECT_EQ(word.substr(0, 5), "cell ");
    EXPECT_EQ(word.size(), 40u);
    EXPECT_EQ(line.substr(0, 5), "10 12");
    EXPECT_EQ(n, 5);

    std::string one = "single";
    CUTST(one, n, word, m);
    EXPECT_EQ(m, 6);
    EXPECT_EQ(n, -1);

    std::string leading = " x";
    CUTST(leading, n, word, m);
    EXPECT_EQ(m, 0);
    EXPECT_EQ(word, std::string(40, ' '));
    EXPECT_EQ(leading.substr(0, 1), "x");
}

TEST(Cutst, NeverWritesPastTheCallersWord) {
    std::string line = "abcdefghij rest";
    std::string word(4, ' ');
    int n = 0, m = 0;
    CUTST(line, n, word, m);
    EXPECT_EQ(word, "abcd");
    EXPECT_EQ(m, 4);
    // The rest of the long word stays at the front of the line.
    EXPECT_EQ(line.substr(0, 11), "efghij rest");
}

TEST(Cutst, LongWordIsCutAtForty) {
    std::string line(45, '7');
    std::string word(40, ' ');
    int n = 0, m = 0;
    CUTST(line, n, word, m);
    EXPECT_EQ(m, 40);
    EXPECT_EQ(n, 5);
}

struct NumberCase {
    const char* line;
    int wanted;
    int count;
    int flag;
    std::vector<float> reals;
    std::vector<int> ints;
};

class GetnumCases : public ::testing::TestWithParam<NumberCase> {};

TEST_P(GetnumCases, ReadsAsSpecified) {
    const NumberCase& c = GetParam();
    float rnum[40];
    int inum[40] = {};
    int n = -7, flag = c.wanted;
    GETNUM(c.line, rnum, inum, n, flag);
    EXPECT_EQ(n, c.count);
    EXPECT_EQ(flag, c.flag);
    for (size_t i = 0; i < c.reals.size(); ++i) EXPECT_FLOAT_EQ(rnum[i], c.reals[i]) << i;
    for (size_t i = 0; i < c.ints.size(); ++i) EXPECT_EQ(inum[i], c.ints[i]) << i;
    for (int i = n; i < 40; ++i) EXPECT_EQ(rnum[i], 0.0f);
}

INSTANTIATE_TEST_SUITE_P(
    Table, GetnumCases,
    ::testing::Values(NumberCase{"12.5", 0, 1, 1, {12.5f}, {12}},
                      NumberCase{"-3", 0, 1, 1, {-3.0f}, {-3}},
                      NumberCase{".5", 0, 1, 1, {0.5f}, {0}},
                      NumberCase{"-", 0, 1, 1, {0.0f}, {0}},
                      NumberCase{"1.2.3", 0, 1, 1, {1.23f}, {1}},
                      NumberCase{"+4", 0, 0, -1, {}, {}},
                      NumberCase{"1e3", 0, 0, -1, {}, {}},
                      NumberCase{"3-1", 0, 0, -1, {}, {}},
                      NumberCase{"1 2 3", 2, 2, 2, {1, 2}, {1, 2}},
                      NumberCase{"1 2 3", 0, 3, 1, {1, 2, 3}, {1, 2, 3}},
                      NumberCase{"1 x 3", 0, 1, -1, {1}, {1}},
                      NumberCase{"      ", 5, 0, 5, {}, {}},
                      NumberCase{"10.5 -0.25 7", 0, 3, 1, {10.5f, -0.25f, 7.0f}, {10, 0, 7}}));

TEST(Getnum, FortyFiveDigitsAreTwoNumbersAndNeverOverflow) {
    std::string line(45, '9');
    float rnum[40];
    int inum[40];
    int n = 0, flag = 0;
    GETNUM(line, rnum, inum, n, flag);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(flag, 1);
    EXPECT_GT(inum[0], 0);  // saturated, not wrapped to a negative number
    EXPECT_EQ(inum[1], 99999);
    EXPECT_TRUE(std::isfinite(rnum[0]));
}

TEST(Case, UpperAndLower) {
    std::string s = "AbC-12z";
    UCASE(s);
    EXPECT_EQ(s, "ABC-12Z");
    LCASE(s);
    EXPECT_EQ(s, "abc-12z");
}

TEST(Xcmprp, ClosesUpLetters) {
    std::string s = " a b  c ";
    int n = 0;
    XCMPRP(s, n);
    EXPECT_EQ(s, "abc     ");
    EXPECT_EQ(n, 3);
    std::string blank = "   ";
    XCMPRP(blank, n);
    EXPECT_EQ(n, 0);
}

TEST(Kstrln, LastNonBlank) {
    EXPECT_EQ(KSTRLN("   "), 0);
    EXPECT_EQ(KSTRLN(""), 0);
    EXPECT_EQ(KSTRLN("ab  "), 2);
}
