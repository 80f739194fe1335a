// Seminvariance algebra and first-rank recognition: the seminvariance
// conditions of a set of space groups against the International Tables'
// seminvariant vectors and moduli (written here by hand), the generalised
// inverses, the integer solutions of K (I - R) = H, the classes of
// matrices and the condition texts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <ostream>
#include <set>
#include <string>

#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/seminv.h"
#include "relationships/semalg.h"
#include "relationships/seminv_work.h"
#include "tests/relationships/test_seminv_fixture.h"

using namespace zanek;
using namespace zanek::semtest;

namespace {

// A seminvariant vector with its moduli as the tables give them: the
// linear forms (coefficients of h, k, l) and a modulus each.
struct Form {
    int c[3];
    int modulus;
};

enum class Lattice { P, C, R, F };

struct GroupCase {
    const char* symbol;
    Lattice lattice;
    std::vector<Form> seminvariant;
};
void PrintTo(const GroupCase& g, std::ostream* os) { *os << g.symbol; }

// International Tables (structure seminvariants of the Hauptman-Karle
// groups): P-1, P21/c, P212121 and Pnma (h,k,l) mod (2,2,2); C2/c (h,l)
// mod (2,2); R-3c on hexagonal axes l mod 2; P41212 (h+k,l) mod (2,2);
// Fm-3m (h+k+l) mod 2.
const std::vector<GroupCase>& groups() {
    static const std::vector<GroupCase> g = {
        {"p -1", Lattice::P, {{{1, 0, 0}, 2}, {{0, 1, 0}, 2}, {{0, 0, 1}, 2}}},
        {"p 1 21/c 1", Lattice::P, {{{1, 0, 0}, 2}, {{0, 1, 0}, 2}, {{0, 0, 1}, 2}}},
        {"p 21 21 21", Lattice::P, {{{1, 0, 0}, 2}, {{0, 1, 0}, 2}, {{0, 0, 1}, 2}}},
        {"c 1 2/c 1", Lattice::C, {{{1, 0, 0}, 2}, {{0, 0, 1}, 2}}},
        {"r -3 c", Lattice::R, {{{0, 0, 1}, 2}}},
        {"p n m a", Lattice::P, {{{1, 0, 0}, 2}, {{0, 1, 0}, 2}, {{0, 0, 1}, 2}}},
        {"p 41 21 2", Lattice::P, {{{1, 1, 0}, 2}, {{0, 0, 1}, 2}}},
        {"f m -3 m", Lattice::F, {{{1, 1, 1}, 2}}},
    };
    return g;
}

bool lattice_allows(Lattice L, int h, int k, int l) {
    switch (L) {
    case Lattice::P: return true;
    case Lattice::C: return (h + k) % 2 == 0;
    case Lattice::R: return ((-h + k + l) % 3 + 3) % 3 == 0;
    case Lattice::F: return std::abs(h % 2) == std::abs(k % 2) && std::abs(k % 2) == std::abs(l % 2);
    }
    return false;
}

bool satisfies(const std::vector<Form>& forms, const int H[3]) {
    for (const Form& f : forms) {
        int s = f.c[0] * H[0] + f.c[1] * H[1] + f.c[2] * H[2];
        if (f.modulus == 0 ? s != 0 : s % f.modulus != 0) return false;
    }
    return true;
}

void multiply(const Mat3 a, const Mat3 b, Mat3 out) {
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            out[r][c] = 0;
            for (int t = 0; t < 3; ++t) out[r][c] += a[r][t] * b[t][c];
        }
}

// A = I - R(k)^T.
void a_matrix(int k, Mat3 A) {
    Mat3 R;
    erl_matrix(k, R);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) A[r][c] = (r == c ? 1 : 0) - R[c][r];
}

// H = K (I - R(k)) for a row vector K.
void image(int k, const int K[3], int H[3]) {
    Mat3 R;
    erl_matrix(k, R);
    for (int j = 0; j < 3; ++j) H[j] = K[j] - (K[0] * R[0][j] + K[1] * R[1][j] + K[2] * R[2][j]);
}

bool solve(int k, const int H[3], int u[3], Mat3 P) {
    PRO.I(pro::kMatrix) = k;
    for (int c = 0; c < 3; ++c) pro::h(1 + c) = H[c];
    Mat3 A;
    a_matrix(k, A);
    int flag = 0, hout[3];
    std::string sign, mult, letter;
    DIOF(A, flag, hout, sign, mult, letter);
    for (int c = 0; c < 3; ++c) {
        u[c] = pro::current_k(1 + c);
        for (int r = 0; r < 3; ++r) P[r][c] = pro::solution(r + 1, c + 1);
    }
    return flag == 0;
}

class SeminvGroups : public ::testing::TestWithParam<GroupCase> {
protected:
    void SetUp() override { listing_to("seminv_algebra"); }
};

}  // namespace

TEST_P(SeminvGroups, SeminvarianceTestFollowsTheTables) {
    const GroupCase& g = GetParam();
    ASSERT_TRUE(setup_group(g.symbol)) << g.symbol;
    int seminvariants = 0, others = 0;
    for (int h = -8; h <= 8; ++h)
        for (int k = -8; k <= 8; ++k)
            for (int l = -8; l <= 8; ++l) {
                if (!lattice_allows(g.lattice, h, k, l)) continue;
                const int H[3] = {h, k, l};
                const bool expected = satisfies(g.seminvariant, H);
                EXPECT_EQ(MODULX(H), expected ? 0 : 1) << g.symbol << " " << h << " " << k << " " << l;
                (expected ? seminvariants : others) += 1;
            }
    EXPECT_GT(seminvariants, 50);
    EXPECT_GT(others, 50);
}

// Every class matrix ties the seminvariant reflections it recognises to
// reflections K of the general solution K = P t + u, and every image
// K (I - R) is solvable.
TEST_P(SeminvGroups, CongruencesSolvedInIntegers) {
    const GroupCase& g = GetParam();
    ASSERT_TRUE(setup_group(g.symbol)) << g.symbol;
    const int order = SYM2.I(sym2::kOrder);
    for (int k = 2; k <= SYM2.I(sym2::kMatrices); ++k) {
        // A X A = Y A for the scaled generalised inverse.
        Mat3 A, X, AX, AXA;
        a_matrix(k, A);
        for (int m = 1; m <= 9; ++m) X[(m - 1) % 3][(m - 1) / 3] = inv::x(k, m);
        const int Y = inv::y(k);
        ASSERT_NE(Y, 0) << g.symbol << " matrix " << k;
        multiply(A, X, AX);
        multiply(AX, A, AXA);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) ASSERT_EQ(AXA[r][c], Y * A[r][c]) << g.symbol << " matrix " << k;
        if (k > order) continue;
        for (int a = -3; a <= 3; ++a)
            for (int b = -3; b <= 3; ++b)
                for (int c = -3; c <= 3; ++c) {
                    const int K0[3] = {a, b, c};
                    int H[3], u[3];
                    Mat3 P;
                    image(k, K0, H);
                    ASSERT_TRUE(solve(k, H, u, P)) << g.symbol << " matrix " << k;
                    for (int t = -2; t <= 2; ++t) {
                        const int tv[3] = {t, 1 - t, 2 * t};
                        int K[3], H2[3];
                        for (int r = 0; r < 3; ++r) K[r] = P[r][0] * tv[0] + P[r][1] * tv[1] + P[r][2] * tv[2] + u[r];
                        image(k, K, H2);
                        ASSERT_TRUE(H2[0] == H[0] && H2[1] == H[1] && H2[2] == H[2]) << g.symbol << " matrix " << k;
                    }
                }
    }
}

INSTANTIATE_TEST_SUITE_P(Tables, SeminvGroups, ::testing::ValuesIn(groups()),
                         [](const ::testing::TestParamInfo<GroupCase>& info) {
                             std::string s;
                             for (const char* p = info.param.symbol; *p; ++p)
                                 if (*p == '-') s += "bar";
                                 else if (std::isalnum(static_cast<unsigned char>(*p))) s += *p;
                             return s;
                         });

TEST(SeminvAlgebra, ModulxOnTheClassMatrixOfAllEven) {
    reset_crystal_records();
    for (int i = 1; i <= 3; ++i) erl_V(i, i) = 96;
    const int even[3] = {2, 4, 6}, odd[3] = {1, 2, 2}, negative[3] = {-2, 0, -6};
    EXPECT_EQ(MODULX(even), 0);
    EXPECT_EQ(MODULX(odd), 1);
    EXPECT_EQ(MODULX(negative), 0);
}

TEST(SeminvAlgebra, DiagonalReductionExamples) {
    struct Case {
        Mat3 A;
        int Y;
        Mat3 X;
    };
    const Case cases[] = {
        // Two-fold axis along c: A = diag(2, 2, 0).
        {{{2, 0, 0}, {0, 2, 0}, {0, 0, 0}}, 2, {{1, 0, 0}, {0, 1, 0}, {0, 0, 0}}},
        // Three-fold axis along c on hexagonal axes.
        {{{1, -1, 0}, {1, 2, 0}, {0, 0, 0}}, 3, {{2, 1, 0}, {-1, 1, 0}, {0, 0, 0}}},
        // The inversion: A = 2 I.
        {{{2, 0, 0}, {0, 2, 0}, {0, 0, 2}}, 2, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}},
    };
    for (const Case& c : cases) {
        Mat3 X = {{9, 9, 9}, {9, 9, 9}, {9, 9, 9}};
        int Y = 0;
        G12SP(c.A, X, Y);
        EXPECT_EQ(Y, c.Y);
        for (int r = 0; r < 3; ++r)
            for (int col = 0; col < 3; ++col) EXPECT_EQ(X[r][col], c.X[r][col]) << r << col;
    }
}

TEST(SeminvAlgebra, DiofOfATwoFoldAxis) {
    listing_to("seminv_diof");
    ASSERT_TRUE(setup_group("p 1 1 2"));
    int axis = 0;  // the two-fold along c
    for (int k = 1; k <= SYM2.I(sym2::kOrder); ++k)
        if (erl_R(k, 1, 1) == -1 && erl_R(k, 2, 2) == -1 && erl_R(k, 3, 3) == 1) axis = k;
    ASSERT_NE(axis, 0);
    const Mat3 A = {{2, 0, 0}, {0, 2, 0}, {0, 0, 0}};
    PRO.I(pro::kMatrix) = axis;
    struct Case {
        int H[3];
        int flag;
        int u[3];
        const char* letters;
    };
    const Case cases[] = {{{2, 4, 3}, 1, {}, ""}, {{2, 4, 0}, 0, {1, 2, 0}, "00l"}, {{1, 4, 0}, 1, {}, ""}};
    for (const Case& c : cases) {
        for (int i = 0; i < 3; ++i) pro::h(1 + i) = c.H[i];
        int flag = -1, hout[3];
        std::string sign, mult, letter;
        DIOF(A, flag, hout, sign, mult, letter);
        EXPECT_EQ(flag, c.flag);
        if (c.flag != 0) continue;
        EXPECT_EQ(letter, c.letters);
        EXPECT_EQ(sign, "   ");
        for (int i = 0; i < 3; ++i) EXPECT_EQ(pro::current_k(1 + i), c.u[i]);
        const int P[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 1}};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) EXPECT_EQ(pro::solution(i + 1, j + 1), P[i][j]) << i << j;
    }
}

TEST(SeminvAlgebra, ClassesOfMatrices) {
    listing_to("seminv_classes");
    struct Case {
        const char* symbol;
        int generators;  // the generators word of ERL as the analysis leaves it, or 0 as list 2 does
        int classes, largest;
    };
    const Case cases[] = {
        {"p 21 21 21", 0, 3, 1},  // one class per two-fold axis
        {"p 4", 0, 2, 1},         // the four-fold and its square; the inverse four-fold left out
        {"p 4", -1, 2, 1},        // the same through the single-generator rule
        {"p 1 21/c 1", 0, 3, 1},
        {"p 4/m m m", 0, 0, 0},   // checked below: -I forms a class of its own
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(setup_group(c.symbol));
        if (c.generators < 0) {
            ERL.I(erlw::kGenerators) = 1;
            CHOICE();
        }
        if (c.classes == 0) {
            const int minus_i = SYM2.I(sym2::kOrder) / 2 + 1;
            bool alone = false;
            for (int k = 1; k <= CHOI.I(choi::kClassCount); ++k)
                alone = alone || (choi::member(k, 1) == minus_i && choi::member(k, 2) == 0);
            EXPECT_TRUE(alone) << c.symbol;
            continue;
        }
        EXPECT_EQ(CHOI.I(choi::kClassCount), c.classes) << c.symbol;
        EXPECT_EQ(CHOI.I(choi::kClasses), c.classes) << c.symbol;
        EXPECT_EQ(CHOI.I(choi::kLargest), c.largest) << c.symbol;
    }
}

// Every class member of every group: the matrix and its inverse are never
// both members, and every matrix other than the identity is a member or
// conjugate to one or the inverse of one.
TEST(SeminvAlgebra, ClassesCoverTheGroup) {
    listing_to("seminv_cover");
    for (const char* symbol : {"p 4/m m m", "p 6/m m m", "f m -3 m", "r -3 c", "p -3", "i 41/a m d"}) {
        ASSERT_TRUE(setup_group(symbol));
        const int order = SYM2.I(sym2::kOrder);
        std::set<int> members;
        for (int c = 1; c <= CHOI.I(choi::kClassCount); ++c)
            for (int m = 1; m <= choi::kMaxMembers; ++m)
                if (int k = choi::member(c, m); k != 0) members.insert(k);
        for (int k : members) {
            const int inv = choi::inverse(k);
            if (inv != k) { EXPECT_FALSE(members.count(inv)) << symbol << " " << k << " and its inverse " << inv; }
        }
        for (int k = 2; k <= order; ++k) {
            bool reached = members.count(k) > 0 || members.count(choi::inverse(k)) > 0;
            for (int b = 2; b <= order && !reached; ++b) {
                // Some member conjugate to k or to its inverse.
                Mat3 inv;
                INVS(b, inv);
                for (int m : members) {
                    Mat3 conj;
                    for (int r = 0; r < 3; ++r)
                        for (int c = 0; c < 3; ++c) conj[r][c] = inv[r][c];
                    PRODM(m, b, conj);
                    Mat3 rk, rki;
                    erl_matrix(k, rk);
                    erl_matrix(choi::inverse(k), rki);
                    bool same = true, same_inv = true;
                    for (int r = 0; r < 3; ++r)
                        for (int c = 0; c < 3; ++c) {
                            same = same && conj[r][c] == rk[r][c];
                            same_inv = same_inv && conj[r][c] == rki[r][c];
                        }
                    reached = reached || same || same_inv;
                }
            }
            EXPECT_TRUE(reached) << symbol << " matrix " << k;
        }
    }
}

TEST(SeminvAlgebra, SuperIndex) {
    reset_crystal_records();
    UREQ.I(ureqw::kHmax) = 5;
    UREQ.I(ureqw::kKmax) = 6;
    UREQ.I(ureqw::kLmax) = 7;
    seminv_strides();
    EXPECT_EQ(COST.I(cost::kStrideK), 15);
    EXPECT_EQ(COST.I(cost::kStrideH), 13 * 15);
    EXPECT_EQ(COST.I(cost::kLargest), 5 * 195 + 6 * 15 + 7);
    auto indr = [](int h, int k, int l) {
        const int H[3] = {h, k, l};
        int s = 0;
        INDR(H, s);
        return s;
    };
    EXPECT_EQ(indr(0, 0, 0), -1);
    EXPECT_EQ(indr(-1, 2, 0), indr(1, -2, 0));
    EXPECT_EQ(indr(0, -3, 4), indr(0, 3, -4));
    EXPECT_EQ(indr(6, 0, 0), -1);
    EXPECT_EQ(indr(0, 0, -8), -1);
    // Distinct reflections of the box get distinct super-indices up to the largest one.
    std::set<int> seen;
    for (int h = 0; h <= 5; ++h)
        for (int k = -6; k <= 6; ++k)
            for (int l = -7; l <= 7; ++l) {
                if (h == 0 && (k < 0 || (k == 0 && l <= 0))) continue;
                int s = indr(h, k, l);
                ASSERT_GE(s, 1);
                ASSERT_LE(s, COST.I(cost::kLargest));
                ASSERT_TRUE(seen.insert(s).second) << h << " " << k << " " << l;
            }
}

// The condition text of each of the 63 rotations (the cubic and hexagonal
// matrices with their negatives) states exactly the lattice of reflections
// K (I - R): every K of a box gives a reflection that satisfies it, and
// every reflection that satisfies it is such an image.
TEST(SeminvAlgebra, ConditionTextsDescribeTheImages) {
    listing_to("seminv_cong5");
    std::vector<std::array<std::array<int, 3>, 3>> mats;
    for (const char* symbol : {"p m -3 m", "p 6/m m m"}) {
        ASSERT_TRUE(setup_group(symbol));
        for (int k = 1; k <= SYM2.I(sym2::kOrder); ++k) {
            std::array<std::array<int, 3>, 3> m;
            for (int r = 0; r < 3; ++r)
                for (int c = 0; c < 3; ++c) m[r][c] = erl_R(k, r + 1, c + 1);
            if (std::find(mats.begin(), mats.end(), m) == mats.end()) mats.push_back(m);
        }
    }
    ASSERT_EQ(mats.size(), 64u);  // with the identity
    std::set<int> codes;
    for (const auto& m : mats) {
        Mat3 R;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) R[r][c] = m[r][c];
        const int code = matrix_code(R);
        codes.insert(code);
        if (code == 3972) continue;  // the identity
        std::string text;
        CONG5(code, text);
        ASSERT_EQ(text.size(), 16u);
        // Parse "(form,form)" and the moduli "m,m)".
        ASSERT_EQ(text[0], '(');
        const std::size_t close = text.find(')');
        ASSERT_NE(close, std::string::npos) << text;
        std::vector<std::array<int, 3>> forms(1, {0, 0, 0});
        int sign = 1, coef = 1;
        for (std::size_t i = 1; i < close; ++i) {
            char ch = text[i];
            if (ch == ',') {
                forms.push_back({0, 0, 0});
                sign = 1;
            } else if (ch == '+') sign = 1;
            else if (ch == '-') sign = -1;
            else if (ch >= '2' && ch <= '3') coef = ch - '0';
            else {
                const int axis = ch == 'h' ? 0 : ch == 'k' ? 1 : 2;
                forms.back()[axis] = sign * coef;
                sign = 1;
                coef = 1;
            }
        }
        std::vector<int> moduli;
        for (std::size_t i = 10; i < 16; i += 2) {
            moduli.push_back(text[i] - '0');
            if (text[i + 1] == ')') break;
        }
        ASSERT_EQ(moduli.size(), forms.size()) << text;
        auto holds = [&](const int H[3]) {
            for (std::size_t f = 0; f < forms.size(); ++f) {
                int s = forms[f][0] * H[0] + forms[f][1] * H[1] + forms[f][2] * H[2];
                if (moduli[f] == 0 ? s != 0 : s % moduli[f] != 0) return false;
            }
            return true;
        };
        std::set<std::array<int, 3>> images;
        for (int a = -8; a <= 8; ++a)
            for (int b = -8; b <= 8; ++b)
                for (int c = -8; c <= 8; ++c) {
                    int H[3];
                    const int K[3] = {a, b, c};
                    for (int j = 0; j < 3; ++j) H[j] = K[j] - (K[0] * R[0][j] + K[1] * R[1][j] + K[2] * R[2][j]);
                    EXPECT_TRUE(holds(H)) << text << " code " << code;
                    images.insert({H[0], H[1], H[2]});
                }
        for (int h = -4; h <= 4; ++h)
            for (int k = -4; k <= 4; ++k)
                for (int l = -4; l <= 4; ++l) {
                    const int H[3] = {h, k, l};
                    EXPECT_EQ(holds(H), images.count({h, k, l}) > 0) << text << " code " << code << " " << h << k << l;
                }
    }
    EXPECT_EQ(codes.size(), 64u);  // the codes tell the matrices apart
}

TEST(SeminvAlgebra, UnknownMatrixCodeWritesTheBox) {
    const std::string path = listing_to("seminv_cong5_box");
    std::string text = "xxxxxxxxxxxxxxxx";
    CONG5(1234, text);
    EXPECT_EQ(text, std::string(16, ' '));
    const std::string lis = listing_of(path);
    EXPECT_NE(lis.find(" error in the subroutine cong5 - syco =    1234"), std::string::npos) << lis;
    EXPECT_NE(lis.find(std::string(120, '#')), std::string::npos);
}

TEST(SeminvAlgebra, ConditionsOfTheGroupInTheListing) {
    const std::string path = listing_to("seminv_wrcon");
    ASSERT_TRUE(setup_group("p 1 21/c 1"));
    WRCON();
    const std::string lis = listing_of(path);
    EXPECT_NE(lis.find("                    Seminvariant condition :  g g g"), std::string::npos) << lis;
    // The two-fold axis along b ties H to K with h, l even and k = 0; the
    // inversion to K = H/2; the mirror to h = l = 0, k even.
    EXPECT_NE(lis.find("                    (h,k,l)    congruent to 0 mod. (2,0,2)  because of matrix n.  2"),
              std::string::npos)
        << lis;
    EXPECT_NE(lis.find("(h,k,l)    congruent to 0 mod. (2,2,2)  because of matrix n.  3"), std::string::npos);
    EXPECT_NE(lis.find("(h,k,l)    congruent to 0 mod. (0,2,0)  because of matrix n.  4"), std::string::npos);
}

// First-rank recognition: a seminvariant reflection gets an entry with
// the class matrices whose congruence it satisfies, up to five.
TEST(SeminvAlgebra, FirstRankEntries) {
    listing_to("seminv_fillis");
    ASSERT_TRUE(setup_group("p 1 21/c 1"));
    semtab::first_rank_count() = 0;
    PRO.R(pro::kEH) = 2.5f;
    COST.I(cost::kCode) = 13;
    struct Case {
        int H[3];
        int found;
    };
    // (4,0,6): the two-fold (h, l even, k = 0) and the inversion; (4,2,6):
    // the inversion only; (3,0,2): not a seminvariant.
    const Case cases[] = {{{4, 0, 6}, 2}, {{4, 2, 6}, 1}, {{3, 0, 2}, 0}, {{0, 2, 0}, 2}};
    int entries = 0;
    for (int i = 0; i < 4; ++i) {
        int found = 0;
        FILLIS(cases[i].H, 10 + i, found, 180);
        EXPECT_EQ(found, cases[i].found) << i;
        if (found == 0) continue;
        ++entries;
        EXPECT_EQ(semtab::first_rank(entries, 1), 10 * (10 + i) + found);
        EXPECT_EQ(semtab::first_rank(entries, 6), 2500);
        EXPECT_EQ(semtab::first_rank(entries, 7), 13180);
        for (int c = 0; c < 3; ++c) EXPECT_EQ(semtab::first_rank(entries, 3 + c), cases[i].H[c]);
    }
    EXPECT_EQ(semtab::first_rank_count(), entries);
    EXPECT_EQ(semtab::first_rank(1, 2), 2 + 64 * 3);  // matrices 2 and 3, six bits each
}

// A reflection tied by more than five class matrices keeps the first five
// and says so.
TEST(SeminvAlgebra, AtMostFiveClassMatrices) {
    const std::string path = listing_to("seminv_fillis_five");
    ASSERT_TRUE(setup_group("f m -3 m", 26));
    semtab::first_rank_count() = 0;
    PRO.R(pro::kEH) = 1.5f;
    COST.I(cost::kCode) = 13;
    const int H[3] = {14, 8, 2};
    int found = 0;
    FILLIS(H, 1, found, 0);
    EXPECT_EQ(found, 5);
    EXPECT_EQ(semtab::first_rank(1, 1), 15);
    int word = semtab::first_rank(1, 2);
    std::set<int> ops;
    for (int i = 0; i < 5; ++i, word /= 64) ops.insert(word % 64);
    EXPECT_EQ(ops.size(), 5u);
    EXPECT_FALSE(ops.count(0));
    const std::string lis = listing_of(path);
    EXPECT_NE(lis.find(" seminvariant   14   8   2  code =    1 uses more than 5 matrices. ("), std::string::npos)
        << lis;
}
