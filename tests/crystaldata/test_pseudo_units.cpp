// The pseudo-translation section of %normal, routine by routine, on working
// files built in memory: the class table and its texts, the class maps, the
// ranking sort, the gamma factor and its table, the periods and conditions
// of the automatic search, the line fit of q against s^2, the
// renormalisation, and the selection with its thresholds.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "crystaldata/pseudo.h"
#include "jobcontrol/records/pseudo.h"
#include "tests/crystaldata/test_normal_fixture.h"

using namespace zanek;
using namespace zanek::pseudo;
using namespace zanek::test;

namespace {

// The point group in ERL: the identity, the inversion (P-1) or the 2-fold
// axis along b (P21), with SYM words 217 and 220 to match.
enum class Lattice { P1, Pbar1, P21 };
void set_group(Lattice g) {
    ERL.clear();
    auto put = [](int k, std::array<int, 9> r) {
        for (int i = 1; i <= 3; ++i)
            for (int j = 1; j <= 3; ++j) erl_R(k, i, j) = r[static_cast<std::size_t>(3 * (i - 1) + (j - 1))];
    };
    put(1, {1, 0, 0, 0, 1, 0, 0, 0, 1});
    SYM.I(symw::kOps) = 1;
    SYM.I(symw::kCentric) = 0;
    ERL.I(erlw::kSystem) = 1;
    if (g == Lattice::Pbar1) {
        put(2, {-1, 0, 0, 0, -1, 0, 0, 0, -1});
        SYM.I(symw::kCentric) = 1;
    } else if (g == Lattice::P21) {
        put(2, {-1, 0, 0, 0, 1, 0, 0, 0, -1});
        SYM.I(symw::kOps) = 2;
        ERL.I(erlw::kSystem) = 2;
    }
    SYM.I(symw::kLattice) = 1;
    SYM.R(symw::kSigma3Prim) = 1.0f;  // N = 1: the fractions are the numbers
}

WorkRecord refl(int h, int k, int l, float s2, float e2, int q = 1) {
    WorkRecord r;
    r.h = h;
    r.k = k;
    r.l = l;
    r.s2 = s2;
    r.key.r = e2;
    r.code = work_code(q, 1);
    r.sigma = 1.0f;
    return r;
}

// A P1 working file in which the reflections with h odd have E^2 = q(s^2)
// and those with h even 2 - q(s^2), as an ideal pseudo-translation (1/2,0,0)
// with a fraction q outside it gives.
WorkingFile ideal_h2(float (*q)(float), int ns = 6, float s2max = 0.6f) {
    WorkingFile wf;
    for (int h = -5; h <= 5; ++h)
        for (int k = 0; k <= 4; ++k)
            for (int l = 0; l <= 4; ++l) {
                if (h == 0 && k == 0 && l == 0) continue;
                const float s2 = s2max * static_cast<float>((h + 5) * 25 + k * 5 + l + 1) / 277.0f;
                const float qq = q(s2);
                wf.push_back(refl(h, k, l, s2, (h % 2 != 0) ? qq : 2.0f - qq));
            }
    RC.I(rcw::kReflections) = static_cast<int>(wf.size());
    RC.I(rcw::kShells) = ns;
    RC.R(rcw::kLargestS2) = s2max;
    return wf;
}

class PseudoUnits : public NormalListing {
protected:
    void SetUp() override {
        NormalListing::SetUp();
        set_group(Lattice::P1);
        RSC.clear();
        RSC.R(rsc::kAcceptance) = 0.5f;  // as the section sets it
        RC.R(rcw::kELimit) = 1.2f;
        working_file().clear();
    }
    void TearDown() override {
        working_file().clear();
        NormalListing::TearDown();
    }
};

// --- The class table and its texts ----------------------------------------

TEST(PseudoClasses, TableHoldsTheFixedConditions) {
    int one = 0, two = 0, three = 0;
    for (int m = 2; m <= 72; ++m) {
        const int n = class_row(m).ncond;
        one += n == 1;
        two += n == 2;
        three += n == 3;
        for (int j = n; j < 3; ++j) {  // unused slots hold (1,1,1;1)
            const Cond& c = class_row(m).cond[static_cast<std::size_t>(j)];
            EXPECT_TRUE(c.a == 1 && c.b == 1 && c.c == 1 && c.n == 1) << m;
        }
    }
    EXPECT_EQ(one, 63);
    EXPECT_EQ(two, 7);
    EXPECT_EQ(three, 1);
    struct Probe {
        int m, a, b, c, n;
    } probes[] = {{2, 1, 0, 0, 2}, {8, 0, 1, 1, 2}, {16, 1, 1, 2, 3}, {22, 0, 0, 1, 4}, {41, 3, 3, 1, 4},
                  {49, 0, 1, 3, 4}, {50, 0, 3, 2, 6}, {58, 3, 3, 2, 6}, {59, 0, 4, 3, 12}, {64, 3, 0, 4, 12}};
    for (const Probe& p : probes) {
        const Cond& c = class_row(p.m).cond[0];
        EXPECT_TRUE(c.a == p.a && c.b == p.b && c.c == p.c && c.n == p.n) << p.m;
    }
    const Cond& c68 = class_row(68).cond[1];
    EXPECT_TRUE(c68.a == 0 && c68.b == 1 && c68.c == 1 && c68.n == 2);
}

TEST(PseudoClasses, ConditionTextsAreRightJustifiedIn36Columns) {
    auto user = [](std::vector<Cond> cs) {
        Conds c{};
        for (std::size_t j = 0; j < cs.size(); ++j) c[j] = cs[j];
        return condition_text(static_cast<int>(cs.size()), c);
    };
    const struct {
        std::string text, want;
    } cases[] = {
        {condition_text(class_row(2).ncond, class_row(2).cond), "h= 2n"},
        {condition_text(class_row(16).ncond, class_row(16).cond), "h+k+2l= 3n"},
        {condition_text(class_row(59).ncond, class_row(59).cond), "4k+3l=12n"},
        {condition_text(class_row(68).ncond, class_row(68).cond), "h= 2n & k+l= 2n"},
        {condition_text(class_row(72).ncond, class_row(72).cond), "h= 2n & k= 2n & l= 2n"},
        {user({{-1, 1, 0, 3}}), "-1h+k= 3n"},
        {user({{12, 0, 1, 24}}), "12h+l=24n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.text.size(), 36u) << c.want;
        EXPECT_EQ(c.text, std::string(36 - c.want.size(), ' ') + c.want);
    }
    // Three long conditions do not fit: nothing is cut off.
    const std::string longer = user({{1, 2, 3, 4}, {2, 3, 1, 5}, {3, 1, 2, 7}});
    EXPECT_EQ(longer.substr(longer.find_first_not_of(' ')), "h+2k+3l= 4n & 2h+3k+l= 5n & 3h+k+2l= 7n");
}

TEST(PseudoClasses, ClassMapsJoinTheClassesTheLaueSymmetryMakesEquivalent) {
    std::array<int, kEntries + 1> map{};
    for (int system = 1; system <= 6; ++system) {
        ERL.I(erlw::kSystem) = system;
        FILLKQ(map);
        for (int m = 1; m <= kEntries; ++m) EXPECT_EQ(map[map[m]], map[m]) << system << " " << m;
        EXPECT_EQ(map[73], 73);
        EXPECT_EQ(map[74], 74);
        if (system == 1) {
            for (int m = 1; m <= kEntries; ++m) EXPECT_EQ(map[m], m);
        }
    }
    const struct {
        int system, m, rep;
    } cases[] = {{2, 17, 15}, {2, 45, 34}, {2, 46, 34}, {2, 43, 41}, {2, 2, 2},   {3, 18, 15}, {3, 44, 33},
                 {4, 3, 2},   {4, 49, 26}, {4, 69, 68}, {5, 70, 4},  {5, 58, 11}, {5, 71, 68}, {6, 21, 6},
                 {6, 70, 5},  {6, 4, 2},   {6, 67, 65}, {6, 64, 59}};
    for (const auto& c : cases) {
        ERL.I(erlw::kSystem) = c.system;
        FILLKQ(map);
        EXPECT_EQ(map[c.m], c.rep) << c.system << " " << c.m;
    }
}

TEST(PseudoClasses, SortRanksByDecreasingFigureWithItsOwnIncrements) {
    // Five entries sort with increments 2 and 1: equal figures end up
    // neither in their first nor in reverse order.
    float F[6] = {0, 1, 0, 1, 1, 2}, R[6] = {0, 10, 20, 30, 40, 50}, A[6] = {}, B[6] = {};
    int K[6] = {0, 1, 2, 3, 4, 5}, C[6] = {0, 1, 2, 3, 4, 5};
    SORT(F, R, K, C, A, B, 5);
    const int want[5] = {5, 4, 1, 3, 2};
    for (int i = 1; i <= 5; ++i) {
        EXPECT_EQ(C[i], want[i - 1]) << i;
        EXPECT_EQ(K[i], C[i]);
        EXPECT_EQ(R[i], 10.0f * static_cast<float>(C[i]));
    }
    // 74 entries: decreasing, and every entry carried with its companions.
    std::array<float, 75> f{}, r{}, a{}, b{};
    std::array<int, 75> k{}, c{};
    for (int i = 1; i <= 74; ++i) {
        f[i] = static_cast<float>((i * 37) % 23);
        r[i] = f[i] + 0.5f;
        a[i] = static_cast<float>(i);
        b[i] = -static_cast<float>(i);
        k[i] = c[i] = i;
    }
    SORT(f.data(), r.data(), k.data(), c.data(), a.data(), b.data(), 74);
    for (int i = 1; i <= 74; ++i) {
        if (i > 1) {
            EXPECT_GE(f[i - 1], f[i]);
        }
        EXPECT_EQ(r[i], f[i] + 0.5f);
        EXPECT_EQ(a[i], static_cast<float>(c[i]));
        EXPECT_EQ(b[i], -static_cast<float>(k[i]));
    }
}

// --- Gamma factor ---------------------------------------------------------

TEST(PseudoGamma, EquivalentsObeyingEveryConditionAreCounted) {
    set_group(Lattice::P21);
    const int h[3] = {1, 2, 3};
    int he[kMaxNeq][3];
    EQUI(h, 2, he);
    EXPECT_EQ(he[1][0], -1);
    EXPECT_EQ(he[1][1], 2);
    EXPECT_EQ(he[1][2], -3);
    const struct {
        int m;
        float g;
    } cases[] = {{2, 0}, {3, 2}, {5, 2}, {7, 2}, {16, 1}, {65, 0}, {67, 0}, {1, 2}};
    for (const auto& c : cases) {
        float g = -1;
        GAMMAC(g, he, class_row(c.m).cond, class_row(c.m).ncond, 2);
        EXPECT_EQ(g, c.g) << c.m;
    }
    // h + k = 3 is odd for (1,2,3) and its image (-1,2,-3) gives 1.
    Conds hk{};
    hk[0] = Cond{1, 1, 0, 3};
    float g = 0;
    GAMMAC(g, he, hk, 1, 2);
    EXPECT_EQ(g, 1.0f);
}

TEST(PseudoGamma, CloseGammaValuesShareOneEntry) {
    GammaTable t;
    INSERT(t, 2.0f, 1.0f, 0.5f);
    INSERT(t, 4.0f, 3.0f, 0.5005f);
    INSERT(t, 1.0f, 2.0f, 0.5011f);
    ASSERT_EQ(t.ng, 2);
    EXPECT_FLOAT_EQ(t.se[0], 14.0f);
    EXPECT_FLOAT_EQ(t.sn[0], 4.0f);
    EXPECT_FLOAT_EQ(t.gv[1], 0.5011f);
    // q estimates: (e - gamma)/(1 - gamma); gamma = 2 counts only when asked.
    GammaTable u;
    INSERT(u, 0.3f, 1.0f, 0.0f);
    INSERT(u, 1.7f, 1.0f, 2.0f);
    double s1 = 0, s2 = 0;
    gamma_sums(u, false, s1, s2);
    EXPECT_NEAR(s1 / s2, 0.3, 1e-6);
    EXPECT_EQ(s2, 1.0);
    gamma_sums(u, true, s1, s2);
    EXPECT_NEAR(s1 / s2, 0.3, 1e-6);
    EXPECT_EQ(s2, 2.0);
    // More distinct values than one table was first meant for (12) stay
    // apart: a cubic group gives up to 49.
    GammaTable v;
    for (int i = 0; i <= 48; ++i) INSERT(v, 1.0f, 1.0f, 4.0f * static_cast<float>(i) / 48.0f);
    EXPECT_EQ(v.ng, 49);
}

// --- Automatic search -----------------------------------------------------

TEST(PseudoSearch, SmallHelpers) {
    const struct {
        int a, b, c, l;
    } lcm[] = {{2, 3, 1, 6}, {4, 6, 1, 12}, {2, 2, 1, 2}, {12, 8, 6, 24}, {256, 1, 1, 256}, {1, 1, 1, 1}};
    for (const auto& c : lcm) {
        int l = 0;
        COMMUL(c.a, c.b, c.c, l);
        EXPECT_EQ(l, c.l) << c.a << " " << c.b << " " << c.c;
    }
    const struct {
        int v[3], x, flag;
    } gcd3[] = {{{2, 0, 2}, 1, 0}, {{1, 0, 2}, 1, 1}, {{4, 0, 8}, 3, 1}, {{6, 3, 9}, 3, 0}, {{18, 9, 27}, 2, 1},
                {{10, 20, 0}, 1, 0}, {{0, 0, 4}, 2, 0}, {{7, 14, 0}, 2, 1}};
    for (const auto& c : gcd3) {
        int flag = -1;
        GCD3(c.v, c.x, flag);
        EXPECT_EQ(flag, c.flag) << c.v[0] << " " << c.v[1] << " " << c.v[2] << " / " << c.x;
    }
}

TEST(PseudoSearch, PeriodsQualifyBelowThirtyPerCentOfViolatingIntensity) {
    auto period = [](std::vector<std::pair<int, float>> sums, const Coef& coef = {}, int ncond = 0) {
        AxisSums w{};
        for (auto [v, s] : sums) w[0][static_cast<std::size_t>(v)] = s;
        int per[3] = {1, 1, 1}, nax = 0;
        GCD(w, per, nax, 0.5f, coef, ncond);
        EXPECT_EQ(nax, per[0] > 1 ? 2 : 1);
        return per[0];
    };
    EXPECT_EQ(period({{1, 3.0f}, {2, 7.0f}}), 1);    // exactly 30 %: not below
    EXPECT_EQ(period({{1, 2.9f}, {2, 7.1f}}), 2);
    EXPECT_EQ(period({{1, 2.0f}, {3, 4.0f}, {6, 4.0f}}), 3);  // 3 qualifies, 2 does not
    // A chain of qualifying multiples: 2, then 4, then 8.
    EXPECT_EQ(period({{2, 0.5f}, {4, 2.0f}, {8, 7.5f}}), 8);
    // A condition already found excludes its modulus.
    Coef coef{};
    coef[0] = CoefRow{{1, 0, 0}, 2, 0};
    EXPECT_EQ(period({{1, 2.9f}, {2, 7.1f}}, coef, 1), 1);
}

TEST(PseudoSearch, CandidatesAreTestedOnTheStrongReflections) {
    std::vector<Strong> strong;
    for (int i = 0; i < 7; ++i) strong.push_back(Strong{{2 * i, i, 1}, 1.0f});  // h even
    for (int i = 0; i < 3; ++i) strong.push_back(Strong{{2 * i + 1, i, 0}, 1.0f});  // h odd: 30 %
    RSC.R(rsc::kAcceptance) = 0.5f;
    Coef coef{}, latc{};
    int ncond = 0, acc = -1;
    const int v[3] = {1, 0, 0};
    RCHECK(v, 2, ncond, acc, strong, 1, latc, coef);
    EXPECT_EQ(acc, 1);  // exactly 30 % is accepted here
    EXPECT_EQ(ncond, 1);
    EXPECT_EQ(coef[0].n, 2);
    EXPECT_EQ(coef[0].score, 300000);
    strong.push_back(Strong{{1, 1, 1}, 0.5f});  // above 30 %
    RCHECK(v, 2, ncond, acc, strong, 1, latc, coef);
    EXPECT_EQ(acc, 0);
    EXPECT_EQ(ncond, 1);
    // A lattice condition is never a pseudo-translation.
    latc[0] = CoefRow{{1, 1, 0}, 2, 0};
    const int c[3] = {1, 1, 0};
    std::vector<Strong> centred{Strong{{1, 1, 0}, 2.0f}, Strong{{2, 0, 3}, 2.0f}};
    RCHECK(c, 2, ncond, acc, centred, 4, latc, coef);
    EXPECT_EQ(acc, 0);
    RCHECK(c, 2, ncond, acc, centred, 1, latc, coef);
    EXPECT_EQ(acc, 1);
}

// Working file of a grid of reflections: strong (E^2 = 3) where the test
// says so, weak (E^2 = 0.3) elsewhere.
WorkingFile grid(bool (*strong)(int, int, int)) {
    WorkingFile wf;
    for (int h = -4; h <= 4; ++h)
        for (int k = -4; k <= 4; ++k)
            for (int l = -4; l <= 4; ++l) wf.push_back(refl(h, k, l, 0.1f, strong(h, k, l) ? 3.0f : 0.3f));
    return wf;
}

TEST_F(PseudoUnits, SearchFindsAxialAndMixedConditions) {
    struct Case {
        const char* name;
        bool (*strong)(int, int, int);
        int latt;
        std::vector<std::array<int, 4>> want;
    } cases[] = {
        {"h even", [](int h, int, int) { return h % 2 == 0; }, 1, {{1, 0, 0, 2}}},
        {"l a multiple of 3", [](int, int, int l) { return l % 3 == 0; }, 1, {{0, 0, 1, 3}}},
        {"h+k even", [](int h, int k, int) { return (h + k) % 2 == 0; }, 1, {{1, 1, 0, 2}}},
        {"h+k even in a C lattice", [](int h, int k, int) { return (h + k) % 2 == 0; }, 4, {}},
        // The obverse R condition: all three axes have difference period 3;
        // of the three-axis candidates (1,1,1), (1,-1,1), (-1,1,1) mod 3 the
        // third is the first that the strong reflections obey. In an R lattice
        // it is the centring itself, not a pseudo-translation.
        {"-h+k+l = 3n", [](int h, int k, int l) { return ((-h + k + l) % 3 + 3) % 3 == 0; }, 1, {{-1, 1, 1, 3}}},
        {"-h+k+l = 3n in an R lattice", [](int h, int k, int l) { return ((-h + k + l) % 3 + 3) % 3 == 0; }, 7, {}},
        {"nothing", [](int h, int k, int l) { return (h * 7 + k * 3 + l * 5) % 4 == 1; }, 1, {}},
        // h + 2k = 0 (mod 4) implies h even: the axial condition goes.
        {"h+2k = 4n", [](int h, int k, int) { return ((h + 2 * k) % 4 + 4) % 4 == 0; }, 1, {{1, 2, 0, 4}}},
        // h even and h + k = 0 (mod 4) imply k even: that axial condition
        // goes, h even stays.
        {"h even, h+k = 4n", [](int h, int k, int) { return h % 2 == 0 && ((h + k) % 4 + 4) % 4 == 0; }, 1,
         {{1, 0, 0, 2}, {1, 1, 0, 4}}},
        // The same on the axes h and l: implication checked on the indices.
        {"h even, h+l = 4n", [](int h, int, int l) { return h % 2 == 0 && ((h + l) % 4 + 4) % 4 == 0; }, 1,
         {{1, 0, 0, 2}, {1, 0, 1, 4}}},
    };
    for (const Case& c : cases) {
        const WorkingFile wf = grid(c.strong);
        int ntab = 0;
        AUTOGP(c.latt, 1.2f, ntab, static_cast<int>(wf.size()), wf);
        EXPECT_EQ(ntab, static_cast<int>(wf.size())) << c.name;
        for (int s = 1; s <= 3; ++s) {
            if (s <= static_cast<int>(c.want.size())) {
                const auto& w = c.want[static_cast<std::size_t>(s - 1)];
                EXPECT_EQ(rsc::a(s), w[0]) << c.name;
                EXPECT_EQ(rsc::b(s), w[1]) << c.name;
                EXPECT_EQ(rsc::c(s), w[2]) << c.name;
                EXPECT_EQ(rsc::n(s), w[3]) << c.name;
            } else {
                EXPECT_EQ(rsc::n(s), 0) << c.name << " slot " << s;
            }
        }
    }
    EXPECT_TRUE(listed("*** program searched for pseudo-translational symmetry ***"));
}

TEST_F(PseudoUnits, SearchStopsAtTheThousandthStrongReflection) {
    WorkingFile wf;
    for (int i = 0; i < 1200; ++i) wf.push_back(refl(2 * (i % 20), i / 20 - 30, 1, 0.1f, 4.0f));
    for (int i = 0; i < 100; ++i) wf.push_back(refl(1 + 2 * (i % 9), i, 2, 0.1f, 4.0f));  // never read
    int ntab = 0;
    AUTOGP(1, 1.2f, ntab, static_cast<int>(wf.size()), wf);
    EXPECT_EQ(ntab, 1000);
    EXPECT_EQ(rsc::n(1), 2);
    EXPECT_EQ(rsc::a(1), 1);
}

// --- Line fit and renormalisation -----------------------------------------

float linear_q(float s2) { return 0.1f + 0.5f * s2; }
float wild_low_q(float s2) { return s2 < 0.2f ? 0.9f : 0.1f + 0.5f * s2; }
float falling_q(float s2) { return 0.4f - 0.5f * s2; }

TEST_F(PseudoUnits, LineOfQAgainstS2LeavesTheTwoLowestShellsOut) {
    const struct {
        const char* name;
        float (*q)(float);
        int shells;
        float slope, cnst;
    } cases[] = {
        {"linear", linear_q, 6, 0.5f, 0.1f},
        {"wild first shells", wild_low_q, 6, 0.5f, 0.1f},  // shells 1, 2 end at s^2 = 0.2
        {"falling: level line", falling_q, 6, 0.0f, -1.0f},
        {"one shell: level line", linear_q, 1, 0.0f, -1.0f},
    };
    for (const auto& c : cases) {
        const WorkingFile wf = ideal_h2(c.q, c.shells);
        // The class's overall q, as the evaluation hands it on.
        double sum = 0;
        int n = 0;
        for (const WorkRecord& r : wf)
            if (r.h % 2 != 0) sum += r.key.r, ++n;
        const float nq = static_cast<float>(sum / n);
        float slope = -9, cnst = -9;
        ULTIMA(wf, 2, 1.0f, 1, nq, slope, cnst);
        EXPECT_NEAR(slope, c.slope, 1e-4) << c.name;
        EXPECT_NEAR(cnst, c.cnst < 0 ? nq : c.cnst, 1e-4) << c.name;
    }
    // Shell pairs: pair 1 is shell 3 alone, the last pair shell 6 alone.
    const WorkingFile wf = ideal_h2(linear_q, 6);
    float slope = 0, cnst = 0;
    ULTIMA(wf, 2, 1.0f, 1, 0.3f, slope, cnst);
    double s3 = 0;
    int n3 = 0;
    for (const WorkRecord& r : wf)
        if (r.s2 >= 0.2f && r.s2 < 0.3f) s3 += r.s2, ++n3;
    EXPECT_NEAR(cw::log_wilson(2), 0.1 + 0.5 * s3 / n3, 1e-5);  // y of pair 1
    EXPECT_EQ(cw::log_debye(2), cw::log_wilson(2));
    EXPECT_NEAR(cw::mean_s2(2), s3 / n3, 1e-5);  // x of pair 1: the mean s^2 of shell 3
}

TEST_F(PseudoUnits, RenormalisationDividesByTheExpectedIntensity) {
    CPSEUD.clear();
    CPSEUD.I(cpseud::kClass) = 2;
    SYM.R(symw::kEquivalents) = 1.0f;
    struct Case {
        const char* name;
        float slope, cnst;
        double ratio;  // renormalised E^2 of h odd over that of h even (both E^2 = 1 before)
    } cases[] = {
        {"q = 0.5: 0.5 and 1.5", 0.0f, 0.5f, 1.5 / 0.5},
        {"q above 0.99 enters as 0.99", 0.0f, 2.0f, (0.99 + 0.01 * 2.0) / 0.99},
        {"q = 0: no expected intensity outside", 0.0f, 0.0f, 2.0 / 0.01},
    };
    for (const auto& c : cases) {
        WorkingFile wf{refl(1, 0, 0, 0.1f, 1.0f), refl(2, 0, 0, 0.1f, 1.0f), refl(3, 1, 0, 0.2f, 1.0f, 2)};
        float escale = 0;
        int nstore = 0;
        RENORM(wf, 72, c.slope, c.cnst, escale, nstore);
        EXPECT_EQ(nstore, 1) << c.name;
        EXPECT_NEAR(wf[0].z / wf[1].z, c.ratio, 1e-4 * c.ratio) << c.name;
        // Scaled to a multiplicity-weighted mean of 1.
        const double mean = (wf[0].z + wf[1].z + 2.0 * wf[2].z) / 4.0;
        EXPECT_NEAR(mean, 1.0, 1e-5) << c.name;
        // ESCALE is the root of the scale applied after the division.
        const double expected = c.cnst > 0.99f ? 0.99 : c.cnst;
        const double raw_odd = std::max(expected, 0.01);
        EXPECT_NEAR(escale * escale, wf[0].z / (1.0 / raw_odd), 1e-4) << c.name;
        EXPECT_TRUE(std::isfinite(wf[0].z));
    }
    EXPECT_TRUE(listed("pseudo-translation statistic after renormalization"));
}

TEST_F(PseudoUnits, StatisticAfterRenormalisationShowsEveryClass) {
    CPSEUD.clear();
    CPSEUD.I(cpseud::kClass) = 73;
    clear_work_class();
    class_row(73) = class_row(2);
    SYM.R(symw::kEquivalents) = 1.0f;
    WorkingFile wf = ideal_h2(linear_q);
    float escale = 0;
    int nstore = 0;
    RENORM(wf, 73, 0.5f, 0.1f, escale, nstore);
    const auto ls = lines();
    const std::string head = "                 number <E**2>       ";
    auto at = [&](const std::string& start) {
        for (std::size_t i = 0; i < ls.size(); ++i)
            if (ls[i].rfind(start, 0) == 0) return static_cast<int>(i);
        return -1;
    };
    const int h = at(std::string(6, ' ') + "           number <E**2>       ");
    ASSERT_GE(h, 0);
    EXPECT_EQ(ls[static_cast<std::size_t>(h)].size(), 6u + 4 * 31);
    // Class 1 holds every reflection with mean 1; class 2 the h-even ones,
    // equally renormalised to 1 (the data are ideal).
    const std::string& first = ls[static_cast<std::size_t>(h + 1)];
    char want1[80], want2[80];
    std::snprintf(want1, sizeof want1, "  1) 1h+1k+1l= 1n%6d%6.3f  ", static_cast<int>(wf.size()), 1.0);
    EXPECT_EQ(first.substr(0, 31), want1);
    int even = 0;
    for (const WorkRecord& r : wf) even += r.h % 2 == 0;
    std::snprintf(want2, sizeof want2, "  2) 1h+0k+0l= 2n%6d%6.3f", even, 1.0);
    EXPECT_EQ(first.substr(31, 29), want2);
    EXPECT_GE(at("                    65) 1h+0k+0l= 2n   &   0h+1k+0l= 2n"), 0);
    EXPECT_GE(at("         72) 1h+0k+0l= 2n   &   0h+1k+0l= 2n   &   0h+0k+1l= 2n"), 0);
    const int c73 = at(" 73) 1h+0k+0l= 2");
    ASSERT_GE(c73, 0);
    EXPECT_EQ(ls[static_cast<std::size_t>(c73) - 1], "");
    char want73[80];
    std::snprintf(want73, sizeof want73, " 73) 1h+0k+0l= 2%6d%6.3f", even, 1.0);
    EXPECT_EQ(ls[static_cast<std::size_t>(c73)], want73);
}

// --- Selection --------------------------------------------------------------

TEST_F(PseudoUnits, AutomaticSearchSelectsTheClassAndRenormalises) {
    working_file() = ideal_h2([](float) { return 0.3f; });
    CPSEUD.clear();
    CPSEUD.I(cpseud::kClass) = 0;
    float slope = -1, cnst = -1, escale = 0;
    int nstore = -1, ierr = 0;
    PSEUDO(slope, cnst, escale, nstore, ierr);
    EXPECT_EQ(ierr, 0);
    EXPECT_EQ(CPSEUD.I(cpseud::kClass), 2);
    const int want[12] = {1, 0, 0, 2, 1, 1, 1, 1, 1, 1, 1, 1};
    for (int w = 0; w < 12; ++w) EXPECT_EQ(cpseud::condition_word(1 + w), want[w]) << w;
    EXPECT_EQ(nstore, 1);
    EXPECT_NEAR(slope, 0.0f, 1e-5);
    EXPECT_NEAR(cnst, 0.3f, 1e-5);
    EXPECT_EQ(SYM.R(symw::kEquivalents), 1.0f);
    for (const WorkRecord& r : working_file()) EXPECT_NEAR(r.z, 1.0f, 1e-5);
    // The row of the class, worked out from the data: inside E^2 1.7,
    // outside 0.3, overall mean M.
    int even = 0, all = 0;
    double sum = 0;
    for (const WorkRecord& r : working_file()) {
        ++all;
        sum += r.key.r;
        even += r.h % 2 == 0;
    }
    const double r1 = 1.7 / (sum / all);
    char row[120];
    std::snprintf(row, sizeof row, " %36s   %6d     %6.3f   %5.2f%15s%5d %%", "h= 2n", even, r1, r1 / 0.3, "", 70);
    EXPECT_TRUE(listed(row)) << row;
    EXPECT_TRUE(listed(std::string(22, ' ') +
                       " class(es) of reflections probably affected by pseudotranslational effects:"));
    EXPECT_TRUE(listed(std::string(32, ' ') + "h= 2n class has been selected as the most probable one;"));
    EXPECT_TRUE(listed(std::string(38, ' ') + "***   pseudotranslation section   ***"));
    EXPECT_FALSE(listed("remarkable deviations"));
}

TEST_F(PseudoUnits, WithoutARequestTheClassIsNeglected) {
    working_file() = ideal_h2([](float) { return 0.3f; });
    for (WorkRecord& r : working_file()) r.z = -5.0f;
    CPSEUD.clear();
    CPSEUD.I(cpseud::kClass) = -1;
    float slope = 0, cnst = 0, escale = 0;
    int nstore = 0, ierr = 0;
    PSEUDO(slope, cnst, escale, nstore, ierr);
    EXPECT_EQ(CPSEUD.I(cpseud::kClass), -1);
    EXPECT_EQ(cpseud::n(1), 2);  // the conditions of the class found stay
    EXPECT_EQ(nstore, 0);
    EXPECT_NEAR(cnst, 0.3f, 1e-5);
    for (const WorkRecord& r : working_file()) EXPECT_EQ(r.z, -5.0f);  // word 10 untouched
    EXPECT_TRUE(listed(std::string(20, ' ') +
                       "*** pseudotranslational symmetry will be neglected in subsequent steps ***"));
    EXPECT_FALSE(listed("pseudo-translation statistic after renormalization"));
}

TEST_F(PseudoUnits, RequestedClassesAndTheirThresholds) {
    struct Case {
        const char* name;
        int request;
        float q_outside;  // E^2 of the reflections outside class 2 (h odd)
        std::vector<int> user;  // condition words (a, b, c, n each) for request 74
        int selected;
        const char* percent;
    } cases[] = {
        {"class 2 requested", 2, 0.3f, {}, 73, "   70 %"},
        {"class 5 requested: too little", 5, 0.3f, {}, -1, nullptr},
        {"13 per cent is accepted", 2, 0.865f, {}, 73, "   13 %"},
        {"12.99 per cent is not", 2, 0.8701f, {}, -1, nullptr},
        {"outside mean 1 is not valid", 2, 1.0f, {}, -1, nullptr},
        {"outside mean 0.001 is valid", 2, 0.001f, {}, 73, "   99 %"},
        {"user condition", 74, 0.3f, {1, 0, 0, 2}, 73, "   70 %"},
        {"user condition after an empty slot", 74, 0.3f, {0, 1, 0, 0, 1, 0, 0, 2}, 73, "   70 %"},
    };
    for (const Case& c : cases) {
        SetUp();
        working_file() = ideal_h2([](float) { return 0.3f; });
        for (WorkRecord& r : working_file())
            if (r.h % 2 != 0) r.key.r = c.q_outside;
        CPSEUD.clear();
        CPSEUD.I(cpseud::kClass) = c.request;
        for (std::size_t w = 0; w < c.user.size(); ++w) cpseud::condition_word(1 + static_cast<int>(w)) = c.user[w];
        CPSEUD.I(cpseud::kWithModulus) = c.request == 74 ? 1 : 0;
        float slope = 0, cnst = 0, escale = 0;
        int nstore = 0, ierr = 0;
        PSEUDO(slope, cnst, escale, nstore, ierr);
        EXPECT_EQ(CPSEUD.I(cpseud::kClass), c.selected) << c.name;
        EXPECT_EQ(nstore, c.selected > 0 ? 1 : 0) << c.name;
        if (c.selected > 0) {
            EXPECT_EQ(cpseud::a(1), 1) << c.name;
            EXPECT_EQ(cpseud::n(1), 2) << c.name;
            EXPECT_TRUE(listed(std::string("h= 2n") + "  ")) << c.name;
            EXPECT_TRUE(listed(c.percent)) << c.name;
            // One class evaluated: one row.
            int rows = 0;
            for (const std::string& l : lines()) rows += l.size() > 40 && l.substr(l.size() - 2) == " %";
            EXPECT_EQ(rows, 1) << c.name;
            EXPECT_TRUE(listed(" 73) ")) << c.name;
        } else {
            EXPECT_TRUE(listed(std::string(29, ' ') + "***  no pseudo-translational symmetry has been found   ***"))
                << c.name;
        }
        TearDown();
    }
}

TEST_F(PseudoUnits, UserRequestWithoutConditionIsIgnored) {
    working_file() = ideal_h2([](float) { return 0.3f; });
    CPSEUD.clear();
    CPSEUD.I(cpseud::kClass) = 74;
    CPSEUD.I(cpseud::kWithModulus) = 0;
    float slope = 0, cnst = 0, escale = 0;
    int nstore = 0, ierr = 0;
    PSEUDO(slope, cnst, escale, nstore, ierr);
    EXPECT_EQ(CPSEUD.I(cpseud::kClass), -1);
    EXPECT_EQ(nstore, 0);
    const auto ls = lines();
    bool found = false;
    for (std::size_t i = 2; i + 3 < ls.size(); ++i)
        if (ls[i] == " *** warning *** user must specify the condition for reflexions.") {
            found = true;
            EXPECT_EQ(ls[i + 1], "                 pseudo directive ignored");
            EXPECT_EQ(ls[i - 1], "");
            EXPECT_EQ(ls[i + 2], "");
        }
    EXPECT_TRUE(found);
    EXPECT_FALSE(listed("*** program searched"));
}

TEST_F(PseudoUnits, FallingScatteringFractionIsReportedAsDisplacive) {
    // q rises steeply with s^2: the pseudo-translation holds at low
    // resolution only.
    working_file() = ideal_h2([](float s2) { return 0.05f + 1.5f * s2; }, 6, 0.6f);
    CPSEUD.clear();
    CPSEUD.I(cpseud::kClass) = 2;
    float slope = 0, cnst = 0, escale = 0;
    int nstore = 0, ierr = 0;
    PSEUDO(slope, cnst, escale, nstore, ierr);
    ASSERT_EQ(CPSEUD.I(cpseud::kClass), 73);
    EXPECT_NEAR(slope, 1.5f, 1e-3);
    EXPECT_NEAR(cnst, 0.05f, 1e-3);
    const std::string pad(30, ' ');
    EXPECT_TRUE(listed(pad + "remarkable deviations (of displacive type) from"));
    EXPECT_TRUE(listed(pad + "ideal pseudotranslational symmetry are present:"));
    EXPECT_TRUE(listed(pad + "      at s**2 = 0.0    m.f.s.p. =  9"));
    EXPECT_TRUE(listed(pad + "                          test  ="));
}

TEST_F(PseudoUnits, MonoclinicClassesRankByTheirRepresentative) {
    set_group(Lattice::P21);
    // Intensities of an ideal pseudo-translation of class 16,
    // h + k + 2l = 0 (mod 3). The 2-fold axis takes it into class 18,
    // 2h + k + l = 0 (mod 3), which is therefore not ranked on its own;
    // class 17 likewise takes the statistics of class 15.
    WorkingFile wf;
    for (int h = -4; h <= 4; ++h)
        for (int k = 0; k <= 4; ++k)
            for (int l = -4; l <= 4; ++l) {
                if (h == 0 && k == 0 && l == 0) continue;
                const int he[2][3] = {{h, k, l}, {-h, k, -l}};
                int g = 0;
                for (const auto& x : he) g += (x[0] + x[1] + 2 * x[2]) % 3 == 0;
                const float gamma = 3.0f * static_cast<float>(g) / 2.0f;
                wf.push_back(refl(h, k, l, 0.01f * static_cast<float>(h * h + k * k + l * l), 0.25f + 0.75f * gamma));
            }
    RC.I(rcw::kShells) = 5;
    RC.R(rcw::kLargestS2) = 0.48f;
    working_file() = wf;
    CPSEUD.clear();
    CPSEUD.I(cpseud::kClass) = 0;
    float slope = 0, cnst = 0, escale = 0;
    int nstore = 0, ierr = 0;
    PSEUDO(slope, cnst, escale, nstore, ierr);
    EXPECT_EQ(SYM.R(symw::kEquivalents), 2.0f);
    const ClassStats& st = class_stats();
    EXPECT_EQ(st.number[17], 0);        // never ranked itself
    EXPECT_EQ(st.nin[17], st.nin[15]);  // statistics of its representative
    EXPECT_EQ(st.r1[18], st.r1[16]);
    EXPECT_EQ(CPSEUD.I(cpseud::kClass), 16);
    EXPECT_NEAR(cnst, 0.25f, 1e-4);
}

}  // namespace
