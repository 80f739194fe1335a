// Directive-line helpers: the cases every directive reader relies on.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>

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

namespace {

struct NumberCase {
    const char* line;
    int wanted;
    int count;
    int flag;
    std::vector<float> reals;
    std::vector<int> ints;
};
void PrintTo(const NumberCase& c, std::ostream* os) {
    *os << '"' << c.line << '"';
    if (c.wanted != 0) *os << ", " << c.wanted << " wanted";
}

}  // namespace

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

// Each digit k at power p adds k x 10^p, the product and the sum both
// rounded to single precision, with 10^-n the reciprocal of 10^n:
//   fl(1/10) = 13421773 2^-27; 9 fl(1/10) = 15099494.625 2^-24 -> 15099495 2^-24
//   (the REAL nearest 0.9 is 15099494 2^-24);
//   1 + 15099495 2^-24 = 15938355.5 2^-23 -> (tie, even) 15938356 2^-23;
//   fl(1/100) = 10737418 2^-30; 5 fl(1/100) = 13421772.5 2^-28 -> (tie, even)
//   13421772 2^-28 (the REAL nearest 0.05 is 13421773 2^-28);
//   15938356 2^-23 + 13421772 2^-28 = 16357786.375 2^-23 -> 16357786 2^-23
//   (summing the nearest REALs of 1.9 and 0.05 instead gives 16357785 2^-23,
//   which F5.1 prints as 1.9).
TEST(Getnum, TermsAreFormedAndSummedInSinglePrecision) {
    struct Case {
        const char* word;
        float want;
    };
    const Case cases[] = {
        {"0.9", std::ldexp(15099495.0f, -24)},
        {"-.9", -std::ldexp(15099495.0f, -24)},
        {"0.05", std::ldexp(13421772.0f, -28)},
        {"1.95", std::ldexp(16357786.0f, -23)},
        {"1.9", std::ldexp(15938356.0f, -23)},
        {"25", 25.0f},
    };
    for (const Case& c : cases) {
        float rnum[40];
        int inum[40], n = 0, flag = 0;
        GETNUM(c.word, rnum, inum, n, flag);
        ASSERT_EQ(n, 1) << c.word;
        EXPECT_EQ(rnum[0], c.want) << c.word;  // bit for bit
    }
}

TEST(Getnum, LeadingZerosOfALongWordAddNothing) {
    // Forty digits: the first carries 10^39, beyond the REAL range.
    std::string line = std::string(39, '0') + "7";
    float rnum[40];
    int inum[40], n = 0, flag = 0;
    GETNUM(line, rnum, inum, n, flag);
    ASSERT_EQ(n, 1);
    EXPECT_EQ(rnum[0], 7.0f);
    EXPECT_EQ(inum[0], 7);
}

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
