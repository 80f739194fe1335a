// Fortran-style formatted input: single fields, then whole formats reading
// reflection records (values worked out by hand from the column rules).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <ostream>

#include "platform/fread.h"

namespace zanek {
namespace {

constexpr FKind I = FKind::Int;
constexpr FKind R = FKind::Real;

struct IntCase {
    const char* field;
    int status;
    int32_t value;
};

TEST(FReadField, Integers) {
    const IntCase cases[] = {
        {"  12", FREAD_OK, 12},
        {"  1 2", FREAD_OK, 12},  // blanks inside are ignored
        {"    ", FREAD_OK, 0},    // all blank
        {"", FREAD_OK, 0},        // past the end of a short line
        {" -12", FREAD_OK, -12},
        {"+  7", FREAD_OK, 7},
        {"- 12", FREAD_OK, -12},
        {"2147483647", FREAD_OK, 2147483647},
        {"-2147483648", FREAD_OK, INT32_MIN},
        {"2147483648", FREAD_RANGE, 0},
        {"  1.", FREAD_BAD_INTEGER, 0},
        {" 1-2", FREAD_BAD_INTEGER, 0},
        {"   -", FREAD_BAD_INTEGER, 0},
        {"  x1", FREAD_BAD_INTEGER, 0},
        {" \t 1", FREAD_BAD_INTEGER, 0},  // a tab is not a blank
    };
    for (const IntCase& c : cases) {
        int32_t v = -999;
        EXPECT_EQ(FReader::read_int_field(c.field, v), c.status) << "'" << c.field << "'";
        if (c.status == FREAD_OK) {
            EXPECT_EQ(v, c.value) << "'" << c.field << "'";
        }
    }
}

struct RealCase {
    const char* field;
    int d;
    int status;
    float value;
};

TEST(FReadField, Reals) {
    const RealCase cases[] = {
        {"   12345", 2, FREAD_OK, 123.45f},  // implied decimals
        {"  123.4", 2, FREAD_OK, 123.4f},    // the point overrides d
        {"      ", 2, FREAD_OK, 0.0f},
        {"", 3, FREAD_OK, 0.0f},
        {"  -1 5", 1, FREAD_OK, -1.5f},
        {"   .5", 2, FREAD_OK, 0.5f},
        {"   5.", 2, FREAD_OK, 5.0f},
        {"  1.5+2", 2, FREAD_OK, 150.0f},  // bare signed exponent
        {"  1.5-2", 2, FREAD_OK, 0.015f},
        {" 1.5e2", 2, FREAD_OK, 150.0f},
        {" 1.5E+2", 2, FREAD_OK, 150.0f},
        {" 1.5d-1", 2, FREAD_OK, 0.15f},
        {" 1.5D 1", 2, FREAD_OK, 15.0f},
        {"  15E1", 1, FREAD_OK, 15.0f},  // implied decimal, then the exponent
        {"  0.000", 2, FREAD_OK, 0.0f},
        {"  000250", 3, FREAD_OK, 0.25f},
        {"0.1", 0, FREAD_OK, 0.1f},  // nearest REAL to one tenth
        {"1e39", 0, FREAD_RANGE, 0.0f},
        {"1e-60", 0, FREAD_OK, 0.0f},
        {"  1.2.3", 2, FREAD_BAD_REAL, 0.0f},
        {"  1.5e", 2, FREAD_BAD_REAL, 0.0f},
        {"    -", 2, FREAD_BAD_REAL, 0.0f},
        {"    .", 2, FREAD_BAD_REAL, 0.0f},
        {"  12a", 2, FREAD_BAD_REAL, 0.0f},
        {" 1\t5", 2, FREAD_BAD_REAL, 0.0f},
    };
    for (const RealCase& c : cases) {
        float v = -999.0f;
        EXPECT_EQ(FReader::read_real_field(c.field, c.d, v), c.status) << "'" << c.field << "'";
        if (c.status == FREAD_OK) {
            EXPECT_EQ(v, c.value) << "'" << c.field << "'";
        }
    }
}

TEST(FReadField, LongMantissaKeepsItsMagnitude) {
    float v = 0.0f;
    // 51 digits and no point: about 1.1e50, beyond a REAL.
    EXPECT_EQ(FReader::read_real_field(std::string(51, '1'), 0, v), FREAD_RANGE);
    // 45 digits with a point after the first: 1.111... exactly as with few digits.
    std::string f = "1." + std::string(44, '1');
    ASSERT_EQ(FReader::read_real_field(f, 0, v), FREAD_OK);
    EXPECT_EQ(v, 1.11111111111111111111f);
}

// One reflection h 0 0, 10h, 1.0 in the columns of (3i4,2f8.2).
std::string fmt_line(int h) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%4d%4d%4d%8.2f%8.2f", h, 0, 0, 10.0 * h, 1.0);
    return buf;
}

// A source of records from a list of lines.
struct Lines {
    std::vector<std::string> lines;
    size_t at = 0;
    FRecordSource source() {
        return [this](std::string& l) {
            if (at >= lines.size()) return FREAD_EOF;
            l = lines[at++];
            return FREAD_OK;
        };
    }
};

TEST(FRead, DefaultReflectionFormat) {
    FReader rd("(3i4,2f8.2)");
    ASSERT_TRUE(rd.ok()) << rd.error();
    const FKind kinds[] = {I, I, I, R, R};
    Lines in{{"   1  -2   3  123.45    1.5\r", " 1 2   0", ""}};
    auto src = in.source();
    Word v[5];
    ASSERT_EQ(rd.read(kinds, 5, v, src), FREAD_OK) << rd.message();
    EXPECT_EQ(v[0].i, 1);
    EXPECT_EQ(v[1].i, -2);
    EXPECT_EQ(v[2].i, 3);
    EXPECT_EQ(v[3].r, 123.45f);
    EXPECT_EQ(v[4].r, 1.5f);
    // A short line: the missing fields are zero; blanks inside a field are ignored.
    ASSERT_EQ(rd.read(kinds, 5, v, src), FREAD_OK);
    EXPECT_EQ(v[0].i, 12);
    EXPECT_EQ(v[1].i, 0);
    EXPECT_EQ(v[2].i, 0);
    EXPECT_EQ(v[3].r, 0.0f);
    // A blank line reads 0 0 0.
    ASSERT_EQ(rd.read(kinds, 5, v, src), FREAD_OK);
    EXPECT_EQ(v[0].i, 0);
    EXPECT_EQ(rd.read(kinds, 5, v, src), FREAD_EOF);
}

struct FormatCase {
    const char* name;
    const char* fmt;
    std::vector<FKind> kinds;
    std::vector<std::string> lines;
    std::vector<double> want;  // integers and reals alike
    int records;               // records used
};
void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.name; }

class FReadFormatCase : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FReadFormatCase, ReadsTheValues) {
    const FormatCase& c = GetParam();
    FReader rd(c.fmt);
    ASSERT_TRUE(rd.ok()) << rd.error();
    EXPECT_EQ(rd.check(c.kinds.data(), c.kinds.size()), FREAD_OK) << rd.message();
    Lines in{c.lines};
    std::vector<Word> v(c.kinds.size());
    ASSERT_EQ(rd.read(c.kinds.data(), c.kinds.size(), v.data(), in.source()), FREAD_OK)
        << rd.message();
    for (size_t k = 0; k < c.kinds.size(); ++k) {
        double got = c.kinds[k] == I ? double(v[k].i) : double(v[k].r);
        EXPECT_EQ(got, double(c.kinds[k] == I ? c.want[k] : float(c.want[k]))) << "item " << k + 1;
    }
    EXPECT_EQ(rd.records_used(), c.records);
}

const FormatCase kFormats[] = {
    {"SkipColumns", "(3i4,2x,2f8.2)", {I, I, I, R, R},
     {"   1   2   3xx   10.00    0.50"}, {1, 2, 3, 10.0, 0.5}, 1},
    {"TabToColumn", "(t2,3i4,2f8.2)", {I, I, I, R, R},
     {"#   4   5   6    1.25   12345"}, {4, 5, 6, 1.25, 123.45}, 1},
    {"TabLeftRereads", "(i4,tl4,i2,tr1,i1)", {I, I, I}, {"1234"}, {1234, 12, 4}, 1},
    {"UpperCaseAndBlanks", "( 3I4 , 2F8.2 )   trailing text", {I, I, I, R, R},
     {"   7   8   9    1.00    2.00"}, {7, 8, 9, 1.0, 2.0}, 1},
    {"TwoReflectionsARecord", "(2(3i4,2f8.2))", {I, I, I, R, R, I, I, I, R, R},
     {"   1   0   0   10.00    1.00   0   2   0   20.00    2.00"},
     {1, 0, 0, 10.0, 1.0, 0, 2, 0, 20.0, 2.0}, 1},
    {"RevertsToTheWholeFormat", "(3i4,2f8.2)", {I, I, I, R, R, I, I, I, R, R},
     {"   1   0   0   10.00    1.00", "   0   2   0   20.00    2.00"},
     {1, 0, 0, 10.0, 1.0, 0, 2, 0, 20.0, 2.0}, 2},
    {"RevertsToTheLastGroup", "(i2,2(i3))", {I, I, I, I, I},
     {" 1  2  3", "  4  5"}, {1, 2, 3, 4, 5}, 2},
    {"SlashTakesANewRecord", "(3i4/2f8.2)", {I, I, I, R, R},
     {"   1   2   3   99.00", "    5.00    6.00"}, {1, 2, 3, 5.0, 6.0}, 2},
    {"ExponentFields", "(3i4,e10.3,d8.2)", {I, I, I, R, R},
     {"   1   1   1  1.234E+2   25D-1"}, {1, 1, 1, 123.4, 0.025}, 1},
    {"WithAPhase", "(3i4,3f8.2)", {I, I, I, R, R, R},
     {"   1   2   3   10.00    1.00  180.00"}, {1, 2, 3, 10.0, 1.0, 180.0}, 1},
    {"FewerItemsThanFields", "(3i4,2f8.2)", {I, I, I}, {"   1   2   3 garbage"}, {1, 2, 3}, 1},
    {"NestedGroups", "(2(i1,2(1x,i1)))", {I, I, I, I, I, I}, {"1 2 34 5 6"}, {1, 2, 3, 4, 5, 6}, 1},
};

INSTANTIATE_TEST_SUITE_P(Table, FReadFormatCase, ::testing::ValuesIn(kFormats),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FRead, FirstRecordInHand) {
    FReader rd("(3i4,2f8.2)");
    const FKind kinds[] = {I, I, I, R, R, I, I, I, R, R};
    Lines in{{"   4   5   6    3.00    0.30"}};
    Word v[10];
    ASSERT_EQ(rd.read("   1   2   3    2.00    0.20", kinds, 10, v, in.source()), FREAD_OK);
    EXPECT_EQ(v[0].i, 1);
    EXPECT_EQ(v[5].i, 4);
    EXPECT_EQ(v[9].r, 0.3f);
    EXPECT_EQ(rd.records_used(), 2);
}

TEST(FRead, ManyReflectionsInOneRecordRead) {
    // Reading record after record with a format that holds three reflections.
    FReader rd("(3(3i4,2f8.2))");
    const FKind one[] = {I, I, I, R, R};
    std::vector<FKind> kinds(15);
    for (size_t k = 0; k < 15; ++k) kinds[k] = one[k % 5];
    Lines in;
    for (int line = 0; line < 4; ++line) {
        std::string s;
        for (int r = 0; r < 3; ++r) {
            int h = line * 3 + r + 1;
            s += fmt_line(h);
        }
        in.lines.push_back(s);
    }
    auto src = in.source();
    std::vector<Word> v(15);
    for (int line = 0; line < 4; ++line) {
        ASSERT_EQ(rd.read(kinds.data(), 15, v.data(), src), FREAD_OK);
        for (int r = 0; r < 3; ++r) {
            int h = line * 3 + r + 1;
            EXPECT_EQ(v[size_t(r * 5)].i, h);
            EXPECT_EQ(v[size_t(r * 5 + 3)].r, float(h) * 10.0f);
        }
    }
    EXPECT_EQ(rd.read(kinds.data(), 15, v.data(), src), FREAD_EOF);
}

TEST(FRead, Errors) {
    const FKind kinds[] = {I, I, I, R, R};
    Word v[5];
    {
        FReader rd("(3i4,2f8.2)");
        Lines in{{"   1  x2   3   10.00    1.00"}};
        EXPECT_EQ(rd.read(kinds, 5, v, in.source()), FREAD_BAD_INTEGER);
        EXPECT_NE(rd.message().find("columns 5-8"), std::string::npos) << rd.message();
    }
    {
        FReader rd("(3i4,2f8.2)");
        Lines in{{"   1   2   3  10.0.0    1.00"}};
        EXPECT_EQ(rd.read(kinds, 5, v, in.source()), FREAD_BAD_REAL);
    }
    {
        // End of file in the middle of a read that needs a second record.
        FReader rd("(3i4/2f8.2)");
        Lines in{{"   1   2   3"}};
        EXPECT_EQ(rd.read(kinds, 5, v, in.source()), FREAD_EOF);
    }
    {
        // An error status of the source is handed back as it is.
        FReader rd("(3i4,2f8.2)");
        FRecordSource bad = [](std::string&) { return 39; };
        EXPECT_EQ(rd.read(kinds, 5, v, bad), 39);
    }
}

TEST(FRead, KindMismatch) {
    FReader rd("(3i4,2f8.2)");
    const FKind wrong[] = {I, I, R, R, R};
    EXPECT_EQ(rd.check(wrong, 5), FREAD_MISMATCH);
    EXPECT_NE(rd.message().find("item 3"), std::string::npos) << rd.message();
    Word v[5];
    Lines in{{"   1   2   3   10.00    1.00"}};
    EXPECT_EQ(rd.read(wrong, 5, v, in.source()), FREAD_MISMATCH);
    // The mismatch is found on the reverted pass too.
    const FKind second[] = {I, I, I, R, R, I, R};
    EXPECT_EQ(rd.check(second, 7), FREAD_MISMATCH);
}

TEST(FRead, MalformedFormats) {
    for (const char* f : {"3i4,2f8.2", "(3i4,2f8.2", "(3i4,2f8)", "(3i,2f8.2)", "(3q4)",
                          "(3i4,'x',2f8.2)", "(3i4,2a8)", "(0i4)", "(2x)", "(i4,t)", "()"}) {
        FReader rd(f);
        EXPECT_FALSE(rd.ok()) << f;
        EXPECT_FALSE(rd.error().empty()) << f;
        Word v[1];
        const FKind k[] = {I};
        Lines in{{"1"}};
        EXPECT_EQ(rd.read(k, 1, v, in.source()), FREAD_BAD_FORMAT) << f;
    }
    // A reverted group without fields cannot take the remaining items.
    FReader rd("(i4,(1x))");
    ASSERT_TRUE(rd.ok());
    const FKind two[] = {I, I};
    EXPECT_EQ(rd.check(two, 2), FREAD_BAD_FORMAT);
}

}  // namespace
}  // namespace zanek
