// Every space group of the fixture (all 230 in their standard settings, the
// monoclinic and orthorhombic settings, old cubic and short monoclinic
// spellings) against the operators and reflection answers of an
// independent library.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <sstream>

#include "crystaldata/equivalents.h"
#include "crystaldata/spacegroup.h"
#include "jobcontrol/records/crystal.h"
#include "test_spacegroup_fixture.h"

namespace zanek {
namespace {

using test::FixtureGroup;

using OpKey = std::array<int, 12>;

int mod24(int v) { return ((v % 24) + 24) % 24; }

// The fixture's operators with every centring vector added.
std::set<OpKey> reference_ops(const FixtureGroup& g) {
    std::set<OpKey> out;
    for (const auto& op : g.ops)
        for (const auto& c : g.centring) {
            OpKey k{};
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j) k[3 * i + j] = op.R[i][j];
            for (int i = 0; i < 3; ++i) k[9 + i] = mod24(op.t[i] + c[i]);
            out.insert(k);
        }
    return out;
}

// The analysed operators (ERL) with every centring vector added.
std::set<OpKey> analysed_ops(const FixtureGroup& g, int N) {
    std::set<OpKey> out;
    for (int k = 1; k <= N; ++k)
        for (const auto& c : g.centring) {
            OpKey key{};
            for (int i = 1; i <= 3; ++i)
                for (int j = 1; j <= 3; ++j) key[3 * (i - 1) + j - 1] = erl_R(k, i, j);
            for (int i = 1; i <= 3; ++i) {
                int t24 = static_cast<int>(erl_T(k, i) * 24.0f + (erl_T(k, i) >= 0 ? 0.5f : -0.5f));
                key[8 + i] = mod24(t24 + c[i - 1]);
            }
            out.insert(key);
        }
    return out;
}

bool has_inversion(const FixtureGroup& g) {
    for (const auto& op : g.ops) {
        bool inv = true;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                if (op.R[i][j] != (i == j ? -1 : 0)) inv = false;
        if (inv) return true;
    }
    return false;
}

int mod360(int v) { return ((v % 360) + 360) % 360; }

// Checks the reflection answers of the analysed group; returns a list of
// the faults found (empty when all agree).
std::string check_reflections(const FixtureGroup& g) {
    std::ostringstream faults;
    int tlist[24];
    int nt = translated_operators(tlist);
    int lm1 = SYM.I(symw::kLattice) - 1;
    for (const auto& r : g.reflections) {
        int absent;
        EXTIN(absent, r.h[0], r.h[1], r.h[2], lm1, nt, tlist);
        int h = r.h[0], k = r.h[1], l = r.h[2], shift, code, sign, same;
        float s2;
        GENEQ(0, h, k, l, shift, code, sign, same, s2);
        std::ostringstream where;
        where << " (" << r.h[0] << " " << r.h[1] << " " << r.h[2] << ")";
        if (absent != r.absent) faults << where.str() << " absent " << absent << " not " << r.absent;
        if (h != r.std[0] || k != r.std[1] || l != r.std[2])
            faults << where.str() << " standard " << h << " " << k << " " << l;
        if (r.absent) continue;
        if (code != r.code) faults << where.str() << " code " << code << " not " << r.code;
        // The phase carried to the standard reflection must agree with the
        // reference for every phase the reflection may have: any phase when
        // it is general, else the two that map onto the restricted values.
        std::vector<int> phases = {37, 200};
        if (r.code != 1) {
            int p = 15 * (r.code - 1);
            phases = {p * r.sign - r.shift, (p + 180) * r.sign - r.shift};
        }
        for (int phi : phases) {
            int mine = mod360((phi + shift) * sign), ref = mod360((phi + r.shift) * r.sign);
            if (mine != ref) faults << where.str() << " phase " << phi << " -> " << mine << " not " << ref;
        }
    }
    return faults.str();
}

class SpaceGroupTables : public ::testing::Test {
protected:
    void SetUp() override { test::capture_listing("spacegroup_tables"); }
};

TEST_F(SpaceGroupTables, FixtureCoversAllGroups) {
    std::set<int> standard;
    for (const auto& g : test::fixture_groups())
        if (g.standard) standard.insert(g.number);
    EXPECT_EQ(standard.size(), 230u);
}

TEST_F(SpaceGroupTables, OperatorsOfEveryGroupAgree) {
    int checked = 0;
    for (const auto& g : test::fixture_groups()) {
        SCOPED_TRACE(g.symbol + "  (" + g.reference_name + ")");
        reset_crystal_records();
        ASSERT_EQ(test::analyse(g.symbol), 0);
        int stored = SYM.I(symw::kOps);
        int centric = SYM.I(symw::kCentric);
        int N = stored * (centric + 1);
        EXPECT_EQ(static_cast<std::size_t>(N), g.ops.size());
        EXPECT_EQ(centric == 1, has_inversion(g));
        EXPECT_TRUE(analysed_ops(g, N) == reference_ops(g));
        ++checked;
    }
    EXPECT_GT(checked, 500);
}

TEST_F(SpaceGroupTables, AbsencesEquivalentsShiftsAndRestrictionsAgree) {
    for (const auto& g : test::fixture_groups()) {
        SCOPED_TRACE(g.symbol + "  (" + g.reference_name + ")");
        reset_crystal_records();
        ASSERT_EQ(test::analyse(g.symbol), 0);
        test::set_small_metric();
        EXPECT_EQ(check_reflections(g), "");
    }
}

}  // namespace
}  // namespace zanek
