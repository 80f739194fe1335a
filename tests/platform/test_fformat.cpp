// The Fortran-style formatter: each case is a format, its items and the
// records a Fortran run-time writes for them (worked out by hand from the
// rules of formatted output).
#include <gtest/gtest.h>

#include <ostream>

#include "platform/fformat.h"
#include "platform/stop.h"

namespace zanek {
namespace {

struct Case {
    const char* name;
    const char* fmt;
    std::vector<FItem> items;
    std::vector<std::string> want;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class FFormatCase : public ::testing::TestWithParam<Case> {};

TEST_P(FFormatCase, WritesTheRecords) {
    const Case& c = GetParam();
    EXPECT_EQ(fformat(c.fmt, c.items), c.want) << c.fmt;
    // A second call goes through the cache of parsed formats.
    EXPECT_EQ(fformat(c.fmt, c.items), c.want) << c.fmt << " (cached)";
}

const Case kCases[] = {
    // Integers
    {"IRightJustified", "(i5)", {42}, {"   42"}},
    {"INegative", "(i5)", {-42}, {"  -42"}},
    {"IOverflow", "(i3)", {12345}, {"***"}},
    {"INegativeOverflow", "(i2)", {-10}, {"**"}},
    {"IExactFit", "(i3)", {-99}, {"-99"}},
    {"IMinDigits", "(i6.3)", {7}, {"   007"}},
    {"IMinDigitsNegative", "(i6.3)", {-7}, {"  -007"}},
    {"IZeroMinDigitsZero", "(i3.0)", {0}, {"   "}},
    {"ITruncatesReal", "(i4,i4)", {3.9, -3.9}, {"   3  -3"}},
    // Fixed point
    {"FRounds", "(f8.2)", {3.14159}, {"    3.14"}},
    {"FKeepsZeroWhenRoom", "(f4.2)", {0.5}, {"0.50"}},
    {"FDropsZeroWhenNarrow", "(f3.2)", {0.5}, {".50"}},
    {"FNegativeDropsZero", "(f4.2)", {-0.5}, {"-.50"}},
    {"FNegativeToZero", "(f6.2)", {-0.001}, {" -0.00"}},
    {"FOverflow", "(f5.2)", {1234.5}, {"*****"}},
    {"FZeroDecimals", "(f5.0)", {12.3}, {"  12."}},
    {"FIntegerItem", "(f6.1)", {7}, {"   7.0"}},
    {"FFloatBinaryValue", "(f6.3)", {0.1f}, {" 0.100"}},
    {"FRoundsUpADigit", "(f6.2)", {9.999}, {" 10.00"}},
    {"FRepeat", "(/1x,a,3f10.4)", {"xyz", 1.0, -2.5, 0.125},
     {"", " xyz    1.0000   -2.5000    0.1250"}},
    // Exponent form
    {"EBasic", "(e12.4)", {12346.0}, {"  0.1235E+05"}},
    {"ETieToEven", "(e12.4)", {12345.0}, {"  0.1234E+05"}},
    {"ESmall", "(e12.4)", {0.00012346}, {"  0.1235E-03"}},
    {"ENegative", "(e12.4)", {-1.5}, {" -0.1500E+01"}},
    {"EZero", "(e11.4)", {0.0}, {" 0.0000E+00"}},
    {"EThreeDigitExponent", "(e11.4)", {1e100}, {" 0.1000+101"}},
    {"ENegativeThreeDigits", "(e11.4)", {1.5e-120}, {" 0.1500-119"}},
    {"ERoundsUpADecade", "(e10.3)", {9999.6}, {" 0.100E+05"}},
    {"EDropsZeroWhenNarrow", "(e9.4)", {12346.0}, {".1235E+05"}},
    {"EOverflow", "(e8.4)", {12345.0}, {"********"}},
    {"DForm", "(d11.4)", {2.0}, {" 0.2000D+01"}},
    // Characters
    {"AShortRightJustified", "(a6)", {"abc"}, {"   abc"}},
    {"ALongKeepsLeft", "(a3)", {"abcdef"}, {"abc"}},
    {"APlainKeepsBlanks", "(a,'|')", {"ab  "}, {"ab  |"}},
    {"AIntegerWord", "(a4)", {0x64636261}, {"abcd"}},
    {"LongA", "(20x,a80)", {"title"}, {std::string(95, ' ') + "title"}},
    // Literals and positioning
    {"ErrorLine", "(1x,'error ',i5,'  opening file ',a)", {29, "struct.bin"},
     {" error    29  opening file struct.bin"}},
    {"DoubleQuoteLiteral", "(\"say \"\"hi\"\"\")", {}, {"say \"hi\""}},
    {"DoubledApostrophe", "('it''s')", {}, {"it's"}},
    {"Hollerith", "(i3,1h),1x,i1,2hh+,i1,6hn  &  )", {5, 2, 3}, {"  5) 2h+3n  &  "}},
    {"UpperCaseAndBlanks", "(30X,4I4,F6.2)", {1, 2, 3, 4, 1.5},
     {std::string(30, ' ') + "   1   2   3   4  1.50"}},
    {"TrailingXWritesNothing", "(a,5x)", {"ab"}, {"ab"}},
    {"Tab", "(t5,a,t2,a)", {"xy", "q"}, {" q  xy"}},
    {"TabLeftOverwrites", "(a,tl2,a)", {"abcd", "XY"}, {"abXY"}},
    // Records
    {"SlashAlone", "(/)", {}, {"", ""}},
    {"EmptyFormat", "()", {}, {""}},
    {"SlashesBetween", "('a',2/'b')", {}, {"a", "", "b"}},
    {"GroupRepeat", "(3(i4,f8.2))", {1, 1.5, 2, 2.5, 3, 3.5},
     {"   1    1.50   2    2.50   3    3.50"}},
    {"NestedGroups", "(2(1x,2(i2)),'|')", {1, 2, 3, 4}, {"  1 2  3 4|"}},
    {"TrailingSlashAfterLastItem", "(1x,i2,/)", {5}, {"  5", ""}},
    {"GroupWithSlash", "(2(1x,i1,/))", {1, 2}, {" 1", " 2", ""}},
    // Stopping for want of items
    {"StopsAtDataDescriptor", "(i4,' and ',i4,' more')", {7}, {"   7 and "}},
    {"WritesLiteralsWithNoItems", "(1x,'text',i5)", {}, {" text"}},
    {"StopsInsideGroup", "(3(i4,f8.2))", {1, 1.5, 2}, {"   1    1.50   2"}},
    {"LiteralsAfterLastItem", "(i2,' end')", {5}, {" 5 end"}},
    {"ColonStops", "(i2,:,' more')", {5}, {" 5"}},
    // Reversion
    {"ReversionToWholeFormat", "(1x,2i3)", {1, 2, 3, 4, 5}, {"   1  2", "   3  4", "   5"}},
    {"ReversionToLastGroup", "('h',i2,2(i3))", {1, 2, 3, 4, 5, 6},
     {"h 1  2  3", "  4  5", "  6"}},
    {"ReversionKeepsTail", "(i1,(i2),'.')", {1, 2, 3}, {"1 2.", " 3."}},
    {"ReversionToLastTopLevelGroup", "(i1,(i1,(i1)),(i2,i2))", {1, 2, 3, 4, 5, 6, 7},
     {"123 4 5", " 6 7"}},
};

INSTANTIATE_TEST_SUITE_P(Table, FFormatCase, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FFormat, FieldHelpers) {
    EXPECT_EQ(fmt_i(12345, 3), "***");
    EXPECT_EQ(fmt_i(-5, 4), "  -5");
    EXPECT_EQ(fmt_i_whole(7, 2), " 7");
    EXPECT_EQ(fmt_i_whole(100, 2), "100");
    EXPECT_EQ(fmt_i_whole(-12, 2), "-12");
    EXPECT_EQ(fmt_f(0.5, 3, 2), ".50");
    EXPECT_EQ(fmt_f(-0.004, 5, 2), "-0.00");
    EXPECT_EQ(fmt_e(12346.0, 12, 4), "  0.1235E+05");
    EXPECT_EQ(fmt_a("ab", 4), "  ab");
    EXPECT_EQ(fmt_a("abcdef", 4), "abcd");
}

TEST(FFormat, MalformedFormatsStop) {
    for (const char* f : {"(i5", "(q5)", "(f8)", "(i)", "('abc)", "(5h12)", "(0i3)"})
        EXPECT_THROW(fformat(f, {1}), ZanekStop) << f;
}

TEST(FFormat, ItemsWithoutDescriptorStop) {
    EXPECT_THROW(fformat("('text')", {1}), ZanekStop);
}

}  // namespace
}  // namespace zanek
