// Fragment growth on small molecules: a benzene ring, chains, fused rings,
// a polymeric chain, a ring scattered over symmetry-equivalent positions;
// the bond list handed back in TEMP and the fragment listing.
#include "tests/fourier/test_interpretation_fixture.h"

namespace zanek::test {
namespace {

const Cell kBox{20, 20, 20, 90, 90, 90};
constexpr double kDeg = 3.14159265358979 / 180.0;

// A regular hexagon of side d in the xy plane around c.
std::vector<std::array<double, 3>> hexagon(std::array<double, 3> c, double d, double phase = 0.0) {
    std::vector<std::array<double, 3>> r;
    for (int k = 0; k < 6; ++k) {
        const double t = (60.0 * k + phase) * kDeg;
        r.push_back({c[0] + d * std::cos(t), c[1] + d * std::sin(t), c[2]});
    }
    return r;
}

// A zigzag chain of n atoms along x: bonds d, angle 112 degrees.
std::vector<std::array<double, 3>> zigzag(std::array<double, 3> start, int n, double d = 1.54) {
    const double half = (180.0 - 112.0) / 2.0 * kDeg;
    std::vector<std::array<double, 3>> r;
    for (int k = 0; k < n; ++k)
        r.push_back({start[0] + k * d * std::cos(half), start[1] + (k % 2) * d * std::sin(half), start[2]});
    return r;
}

class InterpFragments : public InterpRun {
protected:
    // Every result code: species rank 1, fragment f, placed.
    void expect_fragment(int first, int last, int f) {
        for (int k = first; k <= last; ++k) {
            EXPECT_GT(codes[k - 1], 0) << k;
            EXPECT_EQ(rank(codes[k - 1]), 1) << k;
            EXPECT_EQ(fragment(codes[k - 1]), f) << k;
        }
    }
    double atom_distance(const Cell& cell, int i, int j) {
        return cell.dist({atom_coord(i, 1), atom_coord(i, 2), atom_coord(i, 3)},
                         {atom_coord(j, 1), atom_coord(j, 2), atom_coord(j, 3)});
    }
};

TEST_F(InterpFragments, BenzeneRingIsOneFragmentWithSixBondsAndRingMarks) {
    crystal(kBox, "p 1", "c 6");
    peaks(from_cartesian(kBox, hexagon({10, 10, 10}, 1.39)));
    interpret(interp_mode::kEMap, 1);
    expect_fragment(1, 6, 1);
    const std::vector<std::pair<int, int>> expect = {{1, 2}, {1, 6}, {2, 3}, {3, 4}, {4, 5}, {5, 6}};
    EXPECT_EQ(bonds(), expect);
    EXPECT_TRUE(listed(" fragment number   1 ,    6 peaks included\n\n\n"
                       "      peak   1    2    3    4    5    6\n"
                       " linked to   2    1    2    3    4    1 \n"
                       "             6    3    4    5    6    5 \n"
                       "  ring       *    *    *    *    *    * \n"))
        << listing();
    EXPECT_FALSE(listed("fused rings"));
    EXPECT_FALSE(listed("polimeric"));
}

TEST_F(InterpFragments, ChainHasBondsButNoRingAtoms) {
    crystal(kBox, "p 1", "c 6");
    peaks(from_cartesian(kBox, zigzag({6, 10, 10}, 6)));
    interpret(interp_mode::kEMap, 1);
    expect_fragment(1, 6, 1);
    const std::vector<std::pair<int, int>> expect = {{1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}};
    EXPECT_EQ(bonds(), expect);
    EXPECT_TRUE(listed(" linked to   2    1    2    3    4    5 \n"
                       "                  3    4    5    6      \n"))
        << listing();
    EXPECT_FALSE(listed("  ring "));
}

// Fourteen peaks fill one block of 13 columns and one of a single column.
TEST_F(InterpFragments, FourteenPeaksMakeAFullBlockAndAOneColumnBlock) {
    const Cell box{30, 20, 20, 90, 90, 90};
    crystal(box, "p 1", "c 14");
    peaks(from_cartesian(box, zigzag({3, 10, 10}, 14)));
    interpret(interp_mode::kEMap, 1);
    expect_fragment(1, 14, 1);
    EXPECT_EQ(bonds().size(), 13u);
    EXPECT_TRUE(listed("      peak   1    2    3    4    5    6    7    8    9   10   11   12   13\n")) << listing();
    EXPECT_TRUE(listed("\n\n\n      peak  14\n linked to  13 \n")) << listing();
}

// Naphthalene: two rings sharing an edge; the two shared atoms keep three
// ring neighbours and are the junctions of fused rings.
TEST_F(InterpFragments, FusedRingsAreReportedAroundTheirJunctions) {
    crystal(kBox, "p 1", "c 10");
    const double d = 1.40, h = d * std::sqrt(3.0) / 2.0;
    // Shared edge along y at x = 10: junction atoms 1 and 2.
    std::vector<std::array<double, 3>> r = {{10, 10 + d / 2, 10},     {10, 10 - d / 2, 10},     {10 + h, 10 + d, 10},
                                            {10 + 2 * h, 10 + d / 2, 10}, {10 + 2 * h, 10 - d / 2, 10}, {10 + h, 10 - d, 10},
                                            {10 - h, 10 + d, 10},     {10 - 2 * h, 10 + d / 2, 10}, {10 - 2 * h, 10 - d / 2, 10},
                                            {10 - h, 10 - d, 10}};
    peaks(from_cartesian(kBox, r));
    interpret(interp_mode::kEMap, 1);
    expect_fragment(1, 10, 1);
    EXPECT_EQ(bonds().size(), 11u);
    EXPECT_TRUE(listed("\n\n fragment n. 1 ,fused rings could be found around peaks \n    1   2\n")) << listing();
    EXPECT_TRUE(listed("  ring       *    *    *    *    *    *    *    *    *    * \n"));
}

// A zigzag chain along a whose period is the cell edge: the bond from the
// last atom back to the first closes only through a lattice translation.
TEST_F(InterpFragments, ChainThroughALatticeTranslationIsPolymeric) {
    const double half = (180.0 - 112.0) / 2.0 * kDeg;
    const double step = 1.54 * std::cos(half);
    const Cell cell{4 * step, 20, 20, 90, 90, 90};
    crystal(cell, "p 1", "c 4");
    peaks(from_cartesian(cell, zigzag({0.5, 10, 10}, 4)));
    interpret(interp_mode::kEMap, 1);
    expect_fragment(1, 4, 1);
    // The bond list joins stored positions only: the fourth bond, 4 to the
    // first atom of the next cell, is not in it.
    const std::vector<std::pair<int, int>> expect = {{1, 2}, {2, 3}, {3, 4}};
    EXPECT_EQ(bonds(), expect);
    EXPECT_TRUE(listed(" interpretation finds a polimeric structure through bond(s)   4  1\n")) << listing();
}

// Benzene in P21/c given with three of its atoms at symmetry-equivalent
// places elsewhere in the cell: the interpretation moves them back so
// that the ring is one connected piece again.
TEST_F(InterpFragments, ScatteredRingIsJoinedAgain) {
    const Cell cell{9.3863, 12.2022, 15.9567, 90, 109, 90};
    crystal(cell, "p 1 21/c 1", "c 24");
    const auto ring = from_cartesian(cell, hexagon(cell.cart({0.3, 0.3, 0.3}), 1.39, 10.0));
    std::vector<Peak> list = ring;
    for (int k : {1, 3, 5}) {  // (-x, y+1/2, -z+1/2), then whole cells
        const Peak p = ring[static_cast<std::size_t>(k)];
        list[static_cast<std::size_t>(k)] = {1.0 - p.x, p.y + 0.5, 0.5 - p.z + 1.0, p.height};
    }
    peaks(list);
    EXPECT_GT(atom_distance(cell, 1, 2), 3.0);
    interpret(interp_mode::kEMap, 0);
    expect_fragment(1, 6, 1);
    for (int k = 1; k <= 6; ++k) EXPECT_NEAR(atom_distance(cell, k, k % 6 + 1), 1.39, 2e-3) << k;
    EXPECT_EQ(bonds().size(), 6u);
}

// Naphthalene likewise (tilted out of the plane of a and b): the ring walk
// starts at a junction, goes round both rings and joins every atom again.
TEST_F(InterpFragments, ScatteredFusedRingsAreJoinedAgain) {
    const Cell cell{9.3863, 12.2022, 15.9567, 90, 109, 90};
    crystal(cell, "p 1 21/c 1", "c 40");
    const double d = 1.40, h = d * std::sqrt(3.0) / 2.0;
    const auto c0 = cell.cart({0.3, 0.3, 0.3});
    std::vector<std::array<double, 3>> r;
    const double xy[10][2] = {{0, d / 2},      {0, -d / 2},     {h, d},      {2 * h, d / 2}, {2 * h, -d / 2},
                              {h, -d},         {-h, d},         {-2 * h, d / 2}, {-2 * h, -d / 2}, {-h, -d}};
    for (const auto& p : xy) r.push_back({c0[0] + p[0], c0[1] + p[1], c0[2] + 0.3 * p[0]});
    const auto ring = from_cartesian(cell, r);
    std::vector<Peak> list = ring;
    for (int k : {0, 3, 6, 9}) {
        const Peak p = ring[static_cast<std::size_t>(k)];
        list[static_cast<std::size_t>(k)] = {1.0 - p.x, p.y + 0.5, 0.5 - p.z, p.height};
    }
    peaks(list);
    interpret(interp_mode::kEMap, 1);
    expect_fragment(1, 10, 1);
    const int bonded[11][2] = {{1, 2}, {1, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 2}, {1, 7}, {7, 8}, {8, 9}, {9, 10}, {10, 2}};
    for (const auto& b : bonded) {
        const Peak& p = ring[static_cast<std::size_t>(b[0] - 1)];
        const Peak& q = ring[static_cast<std::size_t>(b[1] - 1)];
        EXPECT_NEAR(atom_distance(cell, b[0], b[1]), cell.dist({p.x, p.y, p.z}, {q.x, q.y, q.z}), 2e-3) << b[0] << "-" << b[1];
    }
    EXPECT_EQ(bonds().size(), 11u);
    EXPECT_FALSE(listed("polimeric")) << listing();
}

// Heavy peaks without neighbours stay as one-peak fragments and are listed
// as isolated; a light peak alone is dropped.
TEST_F(InterpFragments, LoneHeavyPeaksAreIsolatedLightOnesDropped) {
    crystal(kBox, "p 1", "fe 2 c 7");
    std::vector<std::array<double, 3>> r = {{3, 3, 3}, {16, 16, 3}};
    for (const auto& p : hexagon({10, 10, 10}, 1.39)) r.push_back(p);
    r.push_back({3, 16, 16});
    auto list = from_cartesian(kBox, r);
    list[0].height = list[1].height = 500;
    peaks(list);
    interpret(interp_mode::kEMap, 1);
    // Species ranks: Fe 1, C 2. The ring is the largest fragment.
    for (int k = 3; k <= 8; ++k) {
        EXPECT_EQ(rank(codes[k - 1]), 2) << k;
        EXPECT_EQ(fragment(codes[k - 1]), 1) << k;
        EXPECT_GT(codes[k - 1], 0);
    }
    EXPECT_EQ(rank(codes[0]), 1);
    EXPECT_EQ(rank(codes[1]), 1);
    EXPECT_GT(codes[0], 0);
    EXPECT_GT(codes[1], 0);
    EXPECT_NE(fragment(codes[0]), fragment(codes[1]));
    EXPECT_LT(codes[8], 0);  // the lone carbon
    // Lone peaks are listed in fragment order; the ring, grown last, took
    // number 1 from the first Fe.
    EXPECT_TRUE(listed("the following peaks are isolated :     2    1\n")) << listing();
}

// Too few peaks: the lightest non-hydrogen type for every peak, the bond
// table left alone.
TEST_F(InterpFragments, TwoPeaksAreNotInterpreted) {
    crystal(kBox, "p 1", "h 4 c 2 o 1");
    peaks({{0.1, 0.1, 0.1, 100}, {0.15, 0.1, 0.1, 90}});
    bond_count() = 7.0f;
    interpret(interp_mode::kEMap, 0);
    // List 3 holds h, c, o in that order: c is type 2.
    EXPECT_EQ(codes[0], 200);
    EXPECT_EQ(codes[1], 200);
    EXPECT_EQ(bond_count(), 7.0f);
}

}  // namespace
}  // namespace zanek::test

namespace zanek::test {
namespace {

class InterpGrowth : public InterpRun {};

// An equilateral triangle of carbons (60 degrees, outside the 85-145 of
// light atoms): the seed and its first neighbour form the fragment, the
// third peak is rejected because of the second. A coordination type 3
// (55-180 degrees) takes all three.
TEST_F(InterpGrowth, BondAngleOutsideTheClassRangeRejectsAPeak) {
    const Cell box{20, 20, 20, 90, 90, 90};
    crystal(box, "p 1", "c 3");
    const std::vector<std::array<double, 3>> r = {{10, 10, 10}, {11.5, 10, 10}, {10.75, 10 + 1.5 * std::sqrt(0.75), 10}};
    peaks(from_cartesian(box, r));
    interpret(interp_mode::kLaterMap, 0);
    EXPECT_GT(codes[0], 0);
    EXPECT_GT(codes[1], 0);
    EXPECT_LT(codes[2], 0);
    EXPECT_EQ(XI(XBUIL.I(xb::kStatus) + 2), -(100 * 2 + 1));
    const std::vector<std::pair<int, int>> one = {{1, 2}};
    EXPECT_EQ(bonds(), one);

    cond::entries() = 1;
    cond::element(1) = species_word("c");
    cond::dmin(1) = 1.0f;
    cond::dmax(1) = 1.8f;
    cond::type(1) = 3;
    peaks(from_cartesian(box, r));
    interpret(interp_mode::kLaterMap, 0);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(codes[k], 101) << k;
    EXPECT_EQ(bonds().size(), 3u);
}

// A peak 0.9 A from a heavy atom is a ripple of it: it is neglected, and
// the listing names it.
TEST_F(InterpGrowth, PeakTooCloseToAHeavyAtomIsNeglected) {
    const Cell box{20, 20, 20, 90, 90, 90};
    crystal(box, "p 1", "fe 1 c 4");
    auto list = from_cartesian(box, {{10, 10, 10}, {10.9, 10, 10}, {10, 11.95, 10}, {11.2, 12.9, 10}, {11, 14.4, 10}, {12.3, 15.1, 10}});
    list[0].height = 300;
    list[1].height = 60;
    for (int k = 2; k < 6; ++k) list[static_cast<std::size_t>(k)].height = 50;
    peaks(list);
    interpret(interp_mode::kEMap, 2);
    EXPECT_EQ(codes[1], kNotInterpreted);
    EXPECT_EQ(rank(codes[0]), 1);
    for (int k = 2; k < 6; ++k) EXPECT_EQ(rank(codes[k]), 2) << k;
    EXPECT_TRUE(listed(" list of unconsistent peaks  \n    1 with    2\n")) << listing();
    EXPECT_TRUE(listed("\n the following peaks have been neglected:    2\n")) << listing();
}

// Conditions the interpretation cannot go on from end it with its message
// and InterpretationFailed, which fails the command that asked for it; the
// program does not stop.
class InterpFailures : public InterpRun {};

// Two fragments 346 A apart in a 400 A cell: no image of the second within
// the 100 A window of the first.
TEST_F(InterpFailures, FragmentsBeyondReachOfEachOther) {
    const Cell big{400, 400, 400, 90, 90, 90};
    crystal(big, "p 1", "c 4");
    peaks(from_cartesian(big, {{10, 10, 10}, {11.5, 10, 10}, {210, 210, 210}, {211.5, 210, 210}}));
    EXPECT_THROW(interpret(interp_mode::kLaterMap, 0), InterpretationFailed);
    EXPECT_TRUE(listed(" ntot=0\n")) << listing();
}

// Connection tables that would run past the end of the work store.
TEST_F(InterpFailures, FragmentTablesBeyondTheWorkStore) {
    crystal(kBox, "p 1", "c 4");
    Desc d;
    d.n = 200;
    XBUIL.I(xb::kFree) = 243500;  // 243500 + 3 x 200 reaches 244000
    XBUIL.I(xb::kFragments) = 1;
    FragTables ft;
    ft.nfr[1] = 1;
    Lattice lat;
    EXPECT_THROW(STORCL(d, ft, lat, 0), InterpretationFailed);
    EXPECT_TRUE(listed(" storcl mcon2,n15,llfl =          200      243800      243900\n store overflow\n"))
        << listing();
}

// An angle class outside 1-3 (the directives never give one) names the
// class and the three peaks.
TEST_F(InterpFailures, AngleClassOutOfRange) {
    crystal(kBox, "p 1", "c 4");
    group_of(5) = 2;
    group_class(2) = 4;
    EXPECT_THROW(CNTANG(5, 6, 7, 109.5f), InterpretationFailed);
    EXPECT_TRUE(listed("           4           5           6           7\n")) << listing();
    group_class(2) = 2;  // light atoms: 85 to 145 degrees
    angle_min(2) = 85.0f;
    angle_max(2) = 145.0f;
    EXPECT_EQ(CNTANG(5, 6, 7, 109.5f), 2.0f);  // a class in range judges the angle
}

}  // namespace
}  // namespace zanek::test
