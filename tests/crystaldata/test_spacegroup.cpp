// Symbol checking, analysis of single groups, seminvariant moduli, lattice
// and family codes, the printed group, and the refusal of symbols that do
// not name a space group.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "crystaldata/spacegroup.h"
#include "jobcontrol/records/crystal.h"
#include "test_spacegroup_fixture.h"

namespace zanek {
namespace {

struct Op {
    int R[3][3] = {};
    int t[3] = {};  // 1/24
    bool operator==(const Op& o) const {
        for (int i = 0; i < 3; ++i) {
            if (t[i] != o.t[i]) return false;
            for (int j = 0; j < 3; ++j)
                if (R[i][j] != o.R[i][j]) return false;
        }
        return true;
    }
};

// "x-y,-y+1/2,z+3/4" -> matrix and translation in 1/24 (0..23).
Op parse_op(const std::string& text) {
    Op op;
    int row = 0, sign = 1;
    for (std::size_t p = 0; p < text.size(); ++p) {
        char ch = text[p];
        if (ch == ',') { ++row; sign = 1; }
        else if (ch == '-') sign = -1;
        else if (ch == '+') sign = 1;
        else if (ch >= 'x' && ch <= 'z') { op.R[row][ch - 'x'] = sign; sign = 1; }
        else if (ch >= '0' && ch <= '9') {
            int num = ch - '0';
            int den = text[p + 2] - '0';
            p += 2;
            op.t[row] = ((sign * num * 24 / den) % 24 + 24) % 24;
            sign = 1;
        }
    }
    return op;
}

Op stored_op(int k) {
    Op op;
    for (int i = 1; i <= 3; ++i) {
        for (int j = 1; j <= 3; ++j) op.R[i - 1][j - 1] = erl_R(k, i, j);
        op.t[i - 1] = static_cast<int>(std::lround(erl_T(k, i) * 24.0f));
    }
    return op;
}

int operation_count() { return SYM.I(symw::kOps) * (SYM.I(symw::kCentric) + 1); }

bool has_op(const std::string& text) {
    Op want = parse_op(text);
    for (int k = 1; k <= operation_count(); ++k)
        if (stored_op(k) == want) return true;
    return false;
}

class SpaceGroup : public ::testing::Test {
protected:
    void SetUp() override {
        test::capture_listing("spacegroup");
        reset_crystal_records();
    }
};

TEST_F(SpaceGroup, SymbolGrammar) {
    struct Case {
        const char* typed;
        int ierr;
        const char* condensed;
    };
    for (const Case& c : {Case{"p 21/c", 0, "p 21/c"}, Case{"p   21   21  21", 0, "p 21 21 21"},
                          Case{"p -1", 0, "p -1"}, Case{"p 1", 0, "p 1"}, Case{"i 41/a m d", 0, "i 41/a m d"},
                          Case{"p 5", -1, "p 5"}, Case{"p 21/e", -1, "p 21/e"}, Case{"p -42 m", -1, "p -42 m"},
                          Case{"p 2 2 2 2", -1, "p 2 2 2 2"}, Case{"pm", -1, "pm"}, Case{"x 2", -1, "x 2"},
                          Case{"p 4 -", -1, "p 4 -"}, Case{"p 22", -1, "p 22"}, Case{"p 2/m/m", -1, "p 2/m/m"},
                          // Blanks typed between the parts are condensed before the check,
                          // also when the typed text runs past 16 columns.
                          Case{"p    21    21    21", 0, "p 21 21 21"}, Case{"p  1    21/c       1", 0, "p 1 21/c 1"},
                          Case{"p    2    2    2    2", -1, "p 2 2 2 2"},
                          // Condensed, still longer than a symbol can be.
                          Case{"p 42/n 21/c 2/m 2", -1, "p 42/n 21/c 2/m "}}) {
        SCOPED_TRACE(c.typed);
        std::string s = c.typed;
        int n = static_cast<int>(s.size());
        s.resize(80, ' ');
        int ierr = 99;
        ONEBL(s, 80, n, ierr);
        EXPECT_EQ(ierr, c.ierr);
        std::string condensed = c.condensed;
        condensed.resize(16, ' ');
        EXPECT_EQ(s.substr(0, 16), condensed);
    }
}

// Symbols that pass the grammar but name no space group are refused, and
// the analysis always ends.
TEST_F(SpaceGroup, SymbolsThatDoNotCloseToAGroupAreRefused) {
    for (const char* typed : {"p 1 d", "p 2 -3", "a 4 2 2", "p 4 2 a", "p 3 3", "c m 3", "p -3 -3", "p 6 2 3",
                              "r 4", "p a 1 1"}) {
        SCOPED_TRACE(typed);
        EXPECT_EQ(test::analyse(typed), -1);
    }
    for (const char* typed : {"f 1 d 1", "c 4 2 2", "p 3 1 2", "r 3 c"}) {
        SCOPED_TRACE(typed);
        EXPECT_EQ(test::analyse(typed), 0);
    }
}

// Today's notation (-3 in the second position) names the cubic groups.
TEST_F(SpaceGroup, CubicSymbolsWithMinusThreeInSecondPosition) {
    for (auto [today, old] : std::vector<std::pair<const char*, const char*>>{
             {"p m -3 m", "p m 3 m"}, {"f m -3 m", "f m 3 m"}, {"f d -3 m", "f d 3 m"}, {"i a -3 d", "i a 3 d"},
             {"p a -3", "p a 3"}, {"p n -3 n", "p n 3 n"}}) {
        SCOPED_TRACE(today);
        ASSERT_EQ(test::analyse(old), 0);
        std::vector<Op> expected;
        for (int k = 1; k <= operation_count(); ++k) expected.push_back(stored_op(k));
        int family = SYM.I(symw::kFamily);
        ASSERT_EQ(test::analyse(today), 0);
        EXPECT_EQ(ERL.I(erlw::kSystem), 6);
        EXPECT_EQ(family, 8);
        EXPECT_EQ(SYM.I(symw::kFamily), 8);
        ASSERT_EQ(static_cast<std::size_t>(operation_count()), expected.size());
        for (int k = 1; k <= operation_count(); ++k) EXPECT_TRUE(stored_op(k) == expected[k - 1]) << k;
    }
}

TEST_F(SpaceGroup, ShortMonoclinicSymbol) {
    ASSERT_EQ(test::analyse("p 21/c"), 0);
    const char* ops[] = {"x,y,z", "-x,y+1/2,-z+1/2", "-x,-y,-z", "x,-y+1/2,z+1/2"};
    for (int k = 1; k <= 4; ++k) EXPECT_TRUE(stored_op(k) == parse_op(ops[k - 1])) << ops[k - 1];
    EXPECT_EQ(SYM.I(symw::kOps), 2);
    EXPECT_EQ(SYM.I(symw::kCentric), 1);
    EXPECT_EQ(SYM.I(symw::kLattice), 1);
    EXPECT_EQ(SYM.R(symw::kLatticePoints), 1.0f);
    EXPECT_EQ(SYM.I(symw::kFamily), 2);
    EXPECT_EQ(ERL.I(erlw::kSystem), 2);
    EXPECT_EQ(ERL.I(erlw::kGenerators), 2);
    // Compact operator 2: rows -x, y, -z as column codes; translation 0 1/2 1/2.
    EXPECT_EQ(sym_row_code(2, 1, 1), -1);
    EXPECT_EQ(sym_row_code(2, 2, 1), 2);
    EXPECT_EQ(sym_row_code(2, 3, 1), -3);
    EXPECT_FLOAT_EQ(sym_translation(2, 2), 0.5f);
    EXPECT_FLOAT_EQ(sym_translation(2, 3), 0.5f);
    // Seminvariant moduli of class 8 with a primitive lattice.
    EXPECT_EQ(ERL.I(erlw::kOriginPhases), 3);
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(erl_modulus(i), 2);
    for (int j = 1; j <= 3; ++j) EXPECT_EQ(erl_column_sum(j), 1);
    // Product table: (-x,y+1/2,-z+1/2)(-x,-y,-z) = x,-y+1/2,z+1/2.
    EXPECT_EQ(erl_P(2, 3), 4);
    EXPECT_EQ(erl_P(3, 3), 1);
}

TEST_F(SpaceGroup, OperationsInTheirOrder) {
    struct Case {
        const char* symbol;
        std::vector<const char*> ops;  // the first operations, in order
    };
    for (const Case& c : {Case{"p 21 21 21", {"x,y,z", "-x+1/2,-y,z+1/2", "x+1/2,-y+1/2,-z", "-x,y+1/2,-z+1/2"}},
                          Case{"p n m a", {"x,y,z", "-x+1/2,-y,z+1/2", "x+1/2,-y+1/2,-z+1/2", "-x,y+1/2,-z",
                                           "-x,-y,-z", "x+1/2,y,-z+1/2", "-x+1/2,y+1/2,z+1/2", "x,-y+1/2,z"}},
                          Case{"i 41/a", {"x,y,z", "-x,-y+1/2,z", "-y+3/4,x+1/4,z+1/4", "y+1/4,-x+1/4,z+1/4",
                                          "-x,-y,-z", "x,y+1/2,-z", "y+3/4,-x+1/4,-z+1/4", "-y+1/4,x+1/4,-z+1/4"}},
                          Case{"p 63/m m c", {"x,y,z", "-x,-y,z+1/2"}}}) {
        SCOPED_TRACE(c.symbol);
        ASSERT_EQ(test::analyse(c.symbol), 0);
        for (std::size_t k = 0; k < c.ops.size(); ++k)
            EXPECT_TRUE(stored_op(static_cast<int>(k) + 1) == parse_op(c.ops[k])) << c.ops[k];
    }
    ASSERT_EQ(test::analyse("p 63/m m c"), 0);
    EXPECT_EQ(operation_count(), 24);
    EXPECT_TRUE(stored_op(7) == parse_op("x-y,-y,-z"));
}

// C m c e (typed c m c a), worked by hand through the analysis: point group
// mmm, generators -x,y,z; x,-y,z; x,y,-z with the glide translations
// 0; (0,0,1/2); (1/2,0,0); closure, then the origin moved by (1/2,1/4,1/4)
// (half the glides plus the origin table's (1/4,1/4,0)). Four operators
// then have translations whose C-centred partner has the same component
// sum, (0,1/2,1/2) against (1/2,0,1/2): a tie keeps the translation the
// closure gave (the ITA list has, for example, -x,y+1/2,-z+1/2 as the fourth).
TEST_F(SpaceGroup, CentringTranslationsThatTieKeepTheClosuresChoice) {
    ASSERT_EQ(test::analyse("c m c a"), 0);
    const std::vector<const char*> ops = {"x,y,z",    "-x,-y+1/2,z+1/2", "x,-y,-z", "-x+1/2,y,-z+1/2",
                                          "-x,-y,-z", "x+1/2,y,-z+1/2",  "-x,y,z",  "x,-y+1/2,z+1/2"};
    ASSERT_EQ(operation_count(), 8);
    for (std::size_t k = 0; k < ops.size(); ++k)
        EXPECT_TRUE(stored_op(static_cast<int>(k) + 1) == parse_op(ops[k])) << k + 1 << ": " << ops[k];
}

TEST_F(SpaceGroup, OperationsAmongTheGroup) {
    struct Case {
        const char* symbol;
        int count;
        std::vector<const char*> ops;
    };
    for (const Case& c : {Case{"p 43 21 2", 8, {"-y+1/2,x+1/2,z+3/4", "y,x,-z"}},
                          Case{"f d 3 m", 48, {"-x+1/4,-y+1/4,z", "x,-y+1/4,-z+1/4", "z,x,y", "-y,-x,-z", "-x,-y,-z"}},
                          Case{"p 61 2 2", 12, {"x-y,x,z+1/6", "y,-x+y,z+5/6"}},
                          Case{"p 21 3", 12, {"-x+1/2,-y,z+1/2", "-z+1/2,-x,y+1/2"}},
                          Case{"p n a m", 8, {"-x,-y,-z"}}}) {
        SCOPED_TRACE(c.symbol);
        ASSERT_EQ(test::analyse(c.symbol), 0);
        EXPECT_EQ(operation_count(), c.count);
        for (const char* op : c.ops) EXPECT_TRUE(has_op(op)) << op;
    }
}

TEST_F(SpaceGroup, LatticeCodePointsAndFamily) {
    struct Case {
        const char* symbol;
        int system, lattice;
        float points;
        int family;
    };
    for (const Case& c : {Case{"p 1", 1, 1, 1.f, 1}, Case{"p -1", 1, 1, 1.f, 1}, Case{"c 2/c", 2, 4, 2.f, 2},
                          Case{"f d d 2", 3, 6, 4.f, 3}, Case{"i 41/a m d", 4, 5, 2.f, 4}, Case{"r -3", 5, 7, 3.f, 5},
                          Case{"p 3 2 1", 5, 1, 1.f, 5}, Case{"p 63/m m c", 5, 1, 1.f, 6}, Case{"p 6", 5, 1, 1.f, 6},
                          Case{"i a -3 d", 6, 5, 2.f, 8}, Case{"a m a 2", 3, 2, 2.f, 3}, Case{"b 1 1 2", 2, 3, 2.f, 2}}) {
        SCOPED_TRACE(c.symbol);
        ASSERT_EQ(test::analyse(c.symbol), 0);
        EXPECT_EQ(ERL.I(erlw::kSystem), c.system);
        EXPECT_EQ(SYM.I(symw::kLattice), c.lattice);
        EXPECT_EQ(SYM.R(symw::kLatticePoints), c.points);
        EXPECT_EQ(SYM.I(symw::kFamily), c.family);
    }
    ASSERT_EQ(test::analyse("r -3"), 0);
    EXPECT_EQ(operation_count(), 6);
}

TEST_F(SpaceGroup, SeminvariantModuli) {
    struct Case {
        const char* symbol;
        int count, m[3], w[3];
    };
    for (const Case& c : {Case{"p 21/c", 3, {2, 2, 2}, {1, 1, 1}}, Case{"c 2/c", 2, {2, 2, 0}, {1, 0, 1}},
                          Case{"p 1", 3, {0, 0, 0}, {1, 1, 1}}, Case{"f m m m", 1, {2, 0, 0}, {1, 1, 1}},
                          Case{"f d d 2", 1, {0, 0, 0}, {0, 0, 1}}, Case{"p 3 1 2", 1, {6, 0, 0}, {2, 4, 3}}}) {
        SCOPED_TRACE(c.symbol);
        ASSERT_EQ(test::analyse(c.symbol), 0);
        EXPECT_EQ(ERL.I(erlw::kOriginPhases), c.count);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(erl_modulus(1 + i), c.m[i]) << "modulus " << i + 1;
        for (int i = 0; i < 3; ++i) EXPECT_EQ(erl_column_sum(1 + i), c.w[i]) << "column sum " << i + 1;
    }
}

TEST_F(SpaceGroup, SeminvariantDescriptionWords) {
    ASSERT_EQ(test::analyse("i 4"), 0);  // class 9: h k 0, h+k=2n
    char w[4];
    std::string vector, condition;
    for (int i = 0; i < 3; ++i) {
        unpack_chars(w, ERL.at(erlw::kVectorText + i), 1);
        vector += std::string(w, 4);
    }
    for (int i = 0; i < 5; ++i) {
        unpack_chars(w, ERL.at(erlw::kConditionText + i), 1);
        condition += std::string(w, 4);
    }
    EXPECT_EQ(vector, " h   k   0  ");
    EXPECT_EQ(condition, "h+  k=  2n          ");
    EXPECT_EQ(ERL.I(erlw::kThree), 3);
    EXPECT_EQ(erl_V(1, 1), 96);
    EXPECT_EQ(erl_V(1, 2), 96);
    EXPECT_EQ(erl_V(2, 3), 1);
}

TEST_F(SpaceGroup, PrintedGroup) {
    test::capture_listing("spacegroup_listing");
    ASSERT_EQ(test::analyse("p  21/c"), 0);
    std::string expected =
        "\n"
        " Crystal family                             :  monoclinic  \n"
        "\n"
        " Space group (centrosymmetric)              :  P 21/c          " + std::string(33, ' ') + "\n"
        "\n"
        " Symmetry-operations\n"
        "\n"
        "   1   x    ,   y    ,   z       2  -x    ,   y+1/2,  -z+1/2"
        "   3  -x    ,  -y    ,  -z       4   x    ,  -y+1/2,   z+1/2\n"
        "\n"
        "\n"
        " Seminvariant condition :  g g g              \n";
    EXPECT_EQ(test::listing_text(), expected);
}

TEST_F(SpaceGroup, PrintedGroupWithOriginShiftAndHexagonalRows) {
    test::capture_listing("spacegroup_listing_shift");
    const int shift[3] = {12, 0, 6};
    ASSERT_EQ(test::analyse("p 31", 1, shift), 0);
    std::string expected =
        "\n"
        " Crystal family                             :  hexagonal   \n"
        "\n"
        " Space group (noncentrosymmetric)           :  P 31            ( origin shift = 1/2    0  1/4  )\n"
        "\n"
        " Symmetry-operations\n"
        "\n"
        "   1   x    ,   y    ,   z       2  -y+1/2, x-y+1/2,   z+1/3"
        "   3 y-x    ,  -x+1/2,   z+2/3\n"
        "\n"
        "\n"
        " Seminvariant condition :  h k 0    2h+k=3n   \n";
    EXPECT_EQ(test::listing_text(), expected);
}

// The translations of an R-centred group are left as the origin shift makes
// them: the letter r is not among those whose centring vectors reduce the
// translation sum. With the origin moved by s = (1/3 0 0), t' = t + R s - s:
// for -y,x-y,z R s - s = (0 1/3 0) - (1/3 0 0) = (2/3 1/3 0), for -x+y,-x,z
// (-1/3 -1/3 0) - s = (1/3 2/3 0), for y,x,-z (2/3 1/3 0), for x-y,-y,-z 0,
// for -x,-x+y,-z (1/3 2/3 0). Adding the centring vector (1/3 2/3 2/3) or
// (2/3 1/3 1/3) would turn (2/3 1/3 0) into (0 0 2/3) and (1/3 2/3 0) into
// (0 0 1/3), of smaller sums, which an I-, F- or C-centred group would keep.
TEST_F(SpaceGroup, RhombohedralTranslationsAreNotReducedByTheCentring) {
    struct Case {
        const char* symbol;
        std::vector<const char*> ops;
    };
    const Case cases[] = {
        {"r 3", {"x,y,z", "-y+2/3,x-y+1/3,z", "-x+y+1/3,-x+2/3,z"}},
        {"r 3 2",
         {"x,y,z", "-y+2/3,x-y+1/3,z", "-x+y+1/3,-x+2/3,z", "y+2/3,x+1/3,-z", "x-y,-y,-z", "-x+1/3,-x+y+2/3,-z"}},
    };
    const int shift[3] = {8, 0, 0};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.symbol);
        reset_crystal_records();
        ASSERT_EQ(test::analyse(c.symbol, 1, shift), 0);
        ASSERT_EQ(operation_count(), static_cast<int>(c.ops.size()));
        for (const char* op : c.ops) EXPECT_TRUE(has_op(op)) << op;
        EXPECT_EQ(SYM.R(symw::kLatticePoints), 3.0f);
    }
}

TEST_F(SpaceGroup, InvertedOperatorsAppended) {
    ASSERT_EQ(test::analyse("p 21 21 21"), 0);
    NEWMAT();
    EXPECT_TRUE(stored_op(4) == parse_op("-x,y+1/2,-z+1/2"));
    EXPECT_EQ(erl_R(5, 1, 1), -1);  // -(x,y,z)
    EXPECT_EQ(erl_R(6, 1, 1), 1);   // -(-x,-y,z)
    EXPECT_EQ(erl_R(6, 3, 3), -1);
    EXPECT_FLOAT_EQ(erl_T(6, 1), -0.5f);
    EXPECT_FLOAT_EQ(erl_T(6, 3), -0.5f);
}

}  // namespace
}  // namespace zanek
