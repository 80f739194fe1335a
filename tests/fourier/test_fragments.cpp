// Fragment growth on small molecules: a benzene ring, a chain, fused rings,
// with the bond list handed back in TEMP and the fragment listing.
#include "tests/fourier/test_interpretation_fixture.h"

namespace zanek::test {
namespace {

const Cell kBox{20, 20, 20, 90, 90, 90};

// A regular hexagon of side d in the xy plane around c.
std::vector<std::array<double, 3>> hexagon(std::array<double, 3> c, double d, double phase = 0.0) {
    std::vector<std::array<double, 3>> r;
    for (int k = 0; k < 6; ++k) {
        const double t = (60.0 * k + phase) * 3.14159265358979 / 180.0;
        r.push_back({c[0] + d * std::cos(t), c[1] + d * std::sin(t), c[2]});
    }
    return r;
}

class Fragments : public InterpRun {};

TEST_F(Fragments, BenzeneRingIsOneFragmentWithSixBonds) {
    crystal(kBox, "p 1", "c 6");
    peaks(from_cartesian(kBox, hexagon({10, 10, 10}, 1.39)));
    interpret(interp_mode::kEMap, 3);
    for (int k = 0; k < 6; ++k) {
        EXPECT_GT(codes[k], 0) << k;
        EXPECT_EQ(rank(codes[k]), 1);
        EXPECT_EQ(fragment(codes[k]), 1);
    }
    std::vector<std::pair<int, int>> expect = {{1, 2}, {1, 6}, {2, 3}, {3, 4}, {4, 5}, {5, 6}};
    EXPECT_EQ(bonds(), expect) << listing();
}

}  // namespace
}  // namespace zanek::test
