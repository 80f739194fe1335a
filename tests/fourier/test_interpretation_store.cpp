// A peak list far too dense for the interpretation's part of the work
// store: the run ends with a warning and no fragments instead of writing
// beyond the store.
#include "tests/fourier/test_interpretation_fixture.h"

namespace zanek::test {
namespace {

class InterpretationStore : public InterpRun {};

TEST_F(InterpretationStore, TooManyContactsEndTheRunWithoutFragments) {
    const Cell cell{9.3863, 12.2022, 15.9567, 90, 109, 90};
    crystal(cell, "p 1 21/c 1", "c 72 o 16 n 8");
    // 200 peaks at least 0.85 A apart (as the peak search leaves them) in a
    // cell that holds 96 atoms: some 27 contacts within 2.4 A per peak.
    uint32_t seed = 12345;
    auto next = [&seed]() {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) / 16777216.0;
    };
    std::vector<Peak> v;
    while (v.size() < 200) {
        const std::array<double, 3> x{next(), next(), next()};
        bool ok = true;
        for (const Peak& p : v)
            if (cell.dist(x, {p.x, p.y, p.z}) < 0.85) ok = false;
        if (ok) v.push_back({x[0], x[1], x[2], 1000.0 - static_cast<double>(v.size())});
    }
    peaks(v);
    interpret(interp_mode::kEMap, 0);
    EXPECT_TRUE(listed(" *** warning *** interpretation work store full: fragments not completed\n")) << listing();
    for (int k = 1; k <= 200; ++k) {
        EXPECT_LT(codes[k - 1], 0) << k;
        for (int c = 1; c <= 3; ++c) {
            EXPECT_GE(atom_coord(k, c), 0.0f);
            EXPECT_LT(atom_coord(k, c), 1.0f);
        }
    }
    EXPECT_EQ(bond_count(), 0.0f);
}

}  // namespace
}  // namespace zanek::test
