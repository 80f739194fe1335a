// Origin classification of space groups and the search for origin-fixing
// reflections, against the seminvariant vectors and moduli of the
// International Tables (Hauptman-Karle classification), written in by hand:
//   P-1, P21/c, P212121   (h,k,l) mod (2,2,2)   three origin phases
//   P1                     (h,k,l) mod (0,0,0)   three, every direction free
//   P21 (unique axis b)    (h,k,l) mod (2,0,2)   three, y free
//   R-3c (hexagonal axes)  (l) mod (2)           one
//   P3                     (h-k,l) mod (3,0)     two
//   P312                   (2h+4k+3l) mod (6)    one (origins 0,0,0; 1/3,2/3,0; 0,0,1/2; ...)
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "phasing/origin.h"
#include "phasing/phase_records.h"
#include "tests/phasing/phasing_fixture.h"

using namespace zanek;
using namespace zanek::test;

namespace {

const std::vector<std::string> kP1 = {"x,y,z"};
const std::vector<std::string> kP21c = {"x,y,z", "-x,y+1/2,-z+1/2"};
const std::vector<std::string> kP212121 = {"x,y,z", "-x+1/2,-y,z+1/2", "-x,y+1/2,-z+1/2", "x+1/2,-y+1/2,-z"};
const std::vector<std::string> kP21 = {"x,y,z", "-x,y+1/2,-z"};
const std::vector<std::string> kR3c = {"x,y,z", "-y,x-y,z", "-x+y,-x,z", "y,x,-z+1/2", "x-y,-y,-z+1/2", "-x,-x+y,-z+1/2"};
const std::vector<std::string> kP4122 = {"x,y,z",    "-x,-y,z+1/2", "-y,x,z+1/4",    "y,-x,z+3/4",
                                         "-x,y,-z",  "x,-y,-z+1/2", "y,x,-z+3/4",    "-y,-x,-z+1/4"};
const std::vector<std::string> kP4 = {"x,y,z", "-x,-y,z", "-y,x,z", "y,-x,z"};
const std::vector<std::string> kP3 = {"x,y,z", "-y,x-y,z", "-x+y,-x,z"};
const std::vector<std::string> kP312 = {"x,y,z", "-y,x-y,z", "-x+y,-x,z", "-y,-x,-z", "-x+y,y,-z", "x,x-y,-z"};

bool seminvariant(int r) {
    int a = 0, b = 0, c = 0;
    residues_of(r, a, b, c);
    return a == 0 && b == 0 && c == 0;
}

struct GroupCase {
    const char* name;
    const std::vector<std::string>* ops;
    int centric, lattice;
    int origin_phases;
    int m1, m2, m3;  // -1: not checked
    int polar;
    std::vector<Hkl> refl;
    std::vector<bool> is_seminvariant;  // from the seminvariant vector above
};
void PrintTo(const GroupCase& g, std::ostream* os) { *os << g.name; }

class GroupClassification : public ::testing::TestWithParam<GroupCase> {};

TEST_P(GroupClassification, OriginPhasesModuliAndSeminvariants) {
    const GroupCase& g = GetParam();
    set_group(*g.ops, g.centric, g.lattice);
    set_phasing_set(g.refl);
    GROUP();
    EXPECT_EQ(ERL.I(erlw::kOriginPhases), g.origin_phases);
    if (g.m1 >= 0) { EXPECT_EQ(sem_modulus(1), g.m1); }
    if (g.m2 >= 0) { EXPECT_EQ(sem_modulus(2), g.m2); }
    EXPECT_EQ(sem_modulus(3), g.m3);
    EXPECT_EQ(PARAM.I(param::kPolar), g.polar);
    for (std::size_t i = 0; i < g.refl.size(); ++i)
        EXPECT_EQ(seminvariant(static_cast<int>(i) + 1), g.is_seminvariant[i])
            << g.name << " " << g.refl[i].h << " " << g.refl[i].k << " " << g.refl[i].l;
}

INSTANTIATE_TEST_SUITE_P(
    Groups, GroupClassification,
    ::testing::Values(
        GroupCase{"P-1", &kP1, 1, 1, 3, 2, 2, 2, 0,
                  {{2, 0, 0}, {2, 4, -6}, {1, 0, 0}, {0, 2, 1}, {3, 3, 3}, {2, -2, 1}},
                  {true, true, false, false, false, false}},
        GroupCase{"P21/c", &kP21c, 1, 1, 3, 2, 2, 2, 0,
                  {{2, 2, 2}, {4, 0, -2}, {1, 0, 0}, {0, 1, 1}, {2, 3, -4}, {1, 1, 2}},
                  {true, true, false, false, false, false}},
        GroupCase{"P212121", &kP212121, 0, 1, 3, 2, 2, 2, 0,
                  {{2, 2, 0}, {0, 4, 2}, {1, 2, 3}, {2, 1, 0}, {0, 1, 1}, {4, -2, 6}},
                  {true, true, false, false, false, true}},
        GroupCase{"P1", &kP1, 0, 1, 3, 0, 0, 0, 3,
                  {{1, 0, 0}, {2, 2, 2}, {0, 0, 1}, {1, -1, 1}},
                  {false, false, false, false}},
        GroupCase{"P21", &kP21, 0, 1, 3, 2, 0, 2, 1,
                  {{2, 0, 2}, {2, 1, 2}, {0, 4, 0}, {1, 0, 0}, {2, 2, -2}},
                  {true, false, false, false, false}},
        GroupCase{"P3", &kP3, 0, 1, 2, -1, 3, 0, 1,
                  {{1, 1, 0}, {1, -2, 0}, {2, 1, 0}, {0, 0, 1}, {1, 1, 1}, {4, 1, 0}},
                  {true, true, false, false, false, true}},
        GroupCase{"P312", &kP312, 0, 1, 1, -1, 3, 6, 0,
                  {{1, 1, 0}, {0, 0, 2}, {1, 0, 0}, {0, 0, 1}, {1, 1, 1}, {2, -1, 2}},
                  {true, true, false, false, false, true}},
        GroupCase{"R-3c", &kR3c, 1, 7, 1, -1, -1, 2, 0,
                  {{1, 0, 4}, {0, 1, 2}, {1, 1, 3}, {2, 1, 1}, {0, 0, 6}, {3, 0, 3}},
                  {true, true, false, false, true, false}}),
    [](const ::testing::TestParamInfo<GroupCase>& info) {
        std::string n = info.param.name;
        for (char& c : n)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return n;
    });

// Restriction codes recomputed from the operators: a reflection sent to its
// Friedel opposite by (R, t) has its phase at 180 h.t modulo 180, the code
// being 1 + that phase / 15 (13 for 0/180).
TEST(RestrictionCodes, FromTheOperatorsWithSignedIndices) {
    struct Case {
        const std::vector<std::string>* ops;
        Hkl h;
        int code;
    };
    const std::vector<Case> cases = {
        {&kP212121, {2, 1, 0}, 13},  // h.t = 1: 0/180
        {&kP212121, {1, 0, 2}, 13},  // h.t = 1
        {&kP212121, {0, 1, 1}, 7},   // h.t = 1/2: 90/270
        {&kP212121, {3, 0, 1}, 7},   // op (-x,y+1/2,-z+1/2): h.t = 1/2
        {&kP212121, {1, 2, 3}, 1},   // general
        {&kP1, {1, 2, 3}, 1},
        {&kP4122, {1, -1, 0}, 13},
        {&kP4122, {1, -1, 1}, 10},   // op (y,x,-z+3/4): h.t = 3/4: 135/315
        {&kP4122, {1, -1, -1}, 4},   // h.t = -3/4: 45/225
        {&kP4122, {1, -1, 2}, 7},    // h.t = 3/2: 90/270
    };
    for (const Case& c : cases) {
        set_group(*c.ops, 0, 1);
        set_phasing_set({c.h});
        GROUP();
        EXPECT_EQ(restrict_code(1), c.code) << c.h.h << " " << c.h.k << " " << c.h.l;
    }
    set_group(kP21c, 1, 1);
    set_phasing_set({{1, 2, 3}, {0, 1, 0}});
    GROUP();
    EXPECT_EQ(restrict_code(1), 13);
    EXPECT_EQ(restrict_code(2), 13);
}

TEST(RestrictionCodes, PolarTetragonalGroupFloatsAlongZ) {
    set_group(kP4, 0, 1);
    set_phasing_set({{1, 0, 0}, {1, 1, 0}, {0, 0, 1}});
    GROUP();
    // P4: (h+k, l) mod (2, 0), two origin phases, z free.
    EXPECT_EQ(ERL.I(erlw::kOriginPhases), 2);
    EXPECT_EQ(sem_modulus(3), 0);
    EXPECT_EQ(PARAM.I(param::kPolar), 1);
    EXPECT_FALSE(seminvariant(1));
    EXPECT_TRUE(seminvariant(2));
    EXPECT_FALSE(seminvariant(3));
}

struct OriginCase {
    const char* name;
    const std::vector<std::string>* ops;
    int centric, lattice;
    std::vector<Hkl> refl;
    int required;
    std::vector<int> expected;  // the ranks chosen; empty: not fixable
    int general_allowed = -1;   // general reflections allowed (as the automatic search raises it)
};
void PrintTo(const OriginCase& c, std::ostream* os) { *os << c.name; }

class OriginSearch : public ::testing::TestWithParam<OriginCase> {};

// The first combination in rank order whose residues are independent
// modulo the seminvariant moduli is chosen (worked out by hand).
TEST_P(OriginSearch, ChoosesTheFirstIndependentSet) {
    const OriginCase& c = GetParam();
    set_group(*c.ops, c.centric, c.lattice);
    set_phasing_set(c.refl);
    GROUP();
    if (c.general_allowed >= 0) PARAM.I(param::kPolar) = c.general_allowed;
    int list[3] = {0, 0, 0};
    int result = 99;
    ORIGIN(result, 0, 1, c.required, list);
    if (c.expected.empty()) {
        EXPECT_EQ(result, -1);
        return;
    }
    EXPECT_EQ(result, 0);
    for (std::size_t i = 0; i < c.expected.size(); ++i) EXPECT_EQ(list[i], c.expected[i]) << c.name << " " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Groups, OriginSearch,
    ::testing::Values(
        // (1,0,0),(0,1,0),(1,1,0) are dependent modulo 2.
        OriginCase{"P_1", &kP1, 1, 1, {{2, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 1, 1}}, 0, {2, 3, 5}},
        OriginCase{"P_1_required", &kP1, 1, 1, {{2, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 1, 1}}, 4, {2, 4, 5}},
        // det[(1,0,0),(0,1,1),(1,1,1)] = 0; det[(1,0,0),(0,1,1),(1,1,2)] = -1.
        OriginCase{"P21c", &kP21c, 1, 1, {{1, 0, 0}, {0, 1, 1}, {1, 1, 1}, {1, 1, 2}}, 0, {1, 2, 4}},
        // No polar axis: the general reflection (1,2,3) may not fix the origin.
        OriginCase{"P212121", &kP212121, 0, 1, {{1, 2, 3}, {2, 1, 0}, {1, 0, 2}, {0, 1, 1}}, 0, {2, 3, 4}},
        // det[(1,1,1),(1,-1,0),(0,1,-1)] = 3 and det[(1,1,1),(1,-1,0),(0,0,1)] = -2
        // fix the origin only up to shifts; det[(1,1,1),(0,1,-1),(0,0,1)] = 1.
        OriginCase{"P1", &kP1, 0, 1, {{1, 1, 1}, {1, -1, 0}, {0, 1, -1}, {0, 0, 1}}, 0, {1, 3, 4}},
        OriginCase{"R3c", &kR3c, 1, 7, {{1, 0, 4}, {0, 1, 2}, {1, 1, 3}, {2, 1, 1}}, 0, {3}},
        // (1,0,0) and (2,1,0) have the same residues (1 mod 3, 0).
        // Every reflection of P3 has a general phase: the search allows a
        // second one beyond the polar axis.
        OriginCase{"P3", &kP3, 0, 1, {{1, 1, 0}, {1, 0, 0}, {2, 1, 0}, {0, 0, 1}}, 0, {2, 4}, 2},
        OriginCase{"P3_one_general", &kP3, 0, 1, {{1, 1, 0}, {1, 0, 0}, {2, 1, 0}, {0, 0, 1}}, 0, {}},
        // 2h+4k+3l mod 6: 0, 2, 3, 3 (1,1,1), then 5 for (1,0,1).
        OriginCase{"P312", &kP312, 0, 1, {{1, 1, 0}, {1, 0, 0}, {0, 0, 1}, {1, 1, 1}, {1, 0, 1}}, 0, {5}, 1},
        // Every reflection a seminvariant: the origin cannot be fixed.
        OriginCase{"P_1_seminvariants", &kP1, 1, 1, {{2, 0, 0}, {0, 2, 2}, {2, 2, 4}, {4, 0, 2}}, 0, {}}),
    [](const ::testing::TestParamInfo<OriginCase>& info) { return std::string(info.param.name); });

// In P1 every direction is free: three reflections fix the origin exactly
// when the matrix of their indices is unimodular. Triples of small indices
// drawn in turn (each reflection as the reflection list holds it, of the
// Friedel pair the one with a positive super-index), their determinant
// taken here by the rule of Sarrus.
TEST(OriginSearch, P1TripleFixesTheOriginWhenUnimodular) {
    set_group(kP1, 0, 1);
    uint32_t seed = 2024;
    auto draw = [&] {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 16) % 5) - 2;  // -2..2
    };
    int unimodular = 0, others = 0;
    for (int n = 0; n < 600; ++n) {
        int a[3][3];
        bool zero_row = false;
        for (auto& row : a) {
            for (int& x : row) x = draw();
            const int first = row[0] != 0 ? row[0] : row[1] != 0 ? row[1] : row[2];
            if (first < 0)
                for (int& x : row) x = -x;
            zero_row = zero_row || first == 0;
        }
        if (zero_row) continue;
        const int D = a[0][0] * a[1][1] * a[2][2] + a[0][1] * a[1][2] * a[2][0] + a[0][2] * a[1][0] * a[2][1] -
                      a[0][2] * a[1][1] * a[2][0] - a[0][0] * a[1][2] * a[2][1] - a[0][1] * a[1][0] * a[2][2];
        set_phasing_set({{a[0][0], a[0][1], a[0][2]}, {a[1][0], a[1][1], a[1][2]}, {a[2][0], a[2][1], a[2][2]}});
        GROUP();
        int list[3] = {};
        int result = 9;
        ORIGIN(result, 0, 1, 0, list);
        EXPECT_EQ(result == 0, std::abs(D) == 1) << "det " << D << " of (" << a[0][0] << a[0][1] << a[0][2] << ")("
                                                 << a[1][0] << a[1][1] << a[1][2] << ")(" << a[2][0] << a[2][1]
                                                 << a[2][2] << ")";
        ++(std::abs(D) == 1 ? unimodular : others);
    }
    EXPECT_GT(unimodular, 30);
    EXPECT_GT(others, 30);
}

// Residues of indices (or sums of indices) that are negative lie in 0..m-1
// like those of positive ones: a negative remainder is folded (a free
// direction keeps the signed index). Written in by hand from the
// seminvariant vectors of the heading. A negative odd index fixes the
// origin like a positive one.
TEST(OriginResidues, NegativeIndicesFoldIntoTheModulus) {
    struct Case {
        const char* name;
        const std::vector<std::string>* ops;
        int centric, lattice;
        Hkl h;
        int a, b, c;  // residue vector
    };
    const Case cases[] = {
        {"P-1", &kP1, 1, 1, {1, -3, 2}, 1, 1, 0},
        {"P21/c", &kP21c, 1, 1, {2, 1, -1}, 0, 1, 1},
        {"P212121", &kP212121, 0, 1, {3, 0, -2}, 1, 0, 0},
        {"P21 (y free)", &kP21, 0, 1, {1, -2, -3}, 1, -2, 1},
        {"P3 (h-k mod 3, l free)", &kP3, 0, 1, {1, 2, -1}, 0, 2, -1},
        {"P312 (2h+4k+3l mod 6)", &kP312, 0, 1, {1, 0, -1}, 0, 0, 5},
        {"R-3c (l mod 2)", &kR3c, 1, 7, {1, 1, -3}, 0, 0, 1},
    };
    for (const Case& c : cases) {
        set_group(*c.ops, c.centric, c.lattice);
        set_phasing_set({c.h});
        GROUP();
        int a = 0, b = 0, d = 0;
        residues_of(1, a, b, d);
        EXPECT_EQ(a, c.a) << c.name;
        EXPECT_EQ(b, c.b) << c.name;
        EXPECT_EQ(d, c.c) << c.name;
    }
    set_group(kR3c, 1, 7);
    set_phasing_set({{1, 1, -3}});
    GROUP();
    int list[3] = {};
    int result = 9;
    ORIGIN(result, 0, 1, 0, list);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(list[0], 1);
}

TEST(OriginSearch, StoreZeroOnlyTests) {
    set_group(kP1, 1, 1);
    set_phasing_set({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}});
    GROUP();
    int list[3] = {7, 8, 9};
    int result = 5;
    ORIGIN(result, 0, 0, 0, list);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(list[0], 7);
    EXPECT_EQ(list[2], 9);
}

TEST(OriginSearch, FixedAndRemovedReflectionsAreNoCandidates) {
    set_group(kP1, 1, 1);
    set_phasing_set({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}});
    GROUP();
    restrict_code(3) = -13;  // fixed before the trials
    int list[3] = {};
    int result = 0;
    ORIGIN(result, 0, 1, 0, list);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(list[0], 1);
    EXPECT_EQ(list[1], 2);
    EXPECT_EQ(list[2], 4);
    restrict_code(4) = -(13 + kRemovedMark);
    ORIGIN(result, 0, 1, 0, list);
    EXPECT_EQ(result, -1);
}

TEST(OriginSearch, NoOriginPhaseNeedsNothing) {
    set_group(kP1, 1, 5);  // I-1: (h,k,l) mod (2,2,2) with h+k+l even, two origin phases
    set_phasing_set({{1, 1, 0}});
    GROUP();
    EXPECT_EQ(ERL.I(erlw::kOriginPhases), 2);
    ERL.I(erlw::kOriginPhases) = 0;
    int list[3] = {};
    int result = 9;
    ORIGIN(result, 0, 1, 0, list);
    EXPECT_EQ(result, 0);
}

TEST(Jfac, SmallestCommonDivisorOfTheNonZeroArguments) {
    struct Case {
        int a, b, c, d;
    };
    for (const Case& c : std::vector<Case>{
             {4, 8, 0, 2}, {3, 5, 0, 1}, {0, 0, 0, 2}, {-2, 4, 0, 1}, {6, 9, 0, 3}, {0, 0, 7, 7}, {1, 0, 0, 1}, {9, 15, 21, 3}})
        EXPECT_EQ(JFAC(c.a, c.b, c.c), c.d) << c.a << " " << c.b << " " << c.c;
}

TEST(Test9, ResidueConditionUnderTheOperators) {
    int result = -1;
    set_group(kP4, 0, 1);
    TEST9(1, 1, 0, 2, result);  // h+k is invariant mod 2 under the fourfold
    EXPECT_EQ(result, 0);
    set_group(kR3c, 1, 7);
    TEST9(1, 1, 0, 2, result);  // not under the threefold of hexagonal axes
    EXPECT_NE(result, 0);
    set_group(kP212121, 0, 1);
    TEST9(1, 1, 1, 2, result);  // each axis reversed: h, k, l change by 2h etc., even
    EXPECT_EQ(result, 0);
}

}  // namespace
