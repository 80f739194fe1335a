// Peak search: on synthetic integer maps of Gaussian blobs written to the
// map file (positions, heights, cell faces, ties, symmetry merging, the
// lowered thresholds), the count rule, the record sort, and on E-maps of
// small structures computed from structure factors of known positions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "crystaldata/special.h"
#include "fourier/fourier_records.h"
#include "fourier/maps/fft3d.h"
#include "fourier/maps/fourier.h"
#include "fourier/maps/peaks.h"
#include "jobcontrol/files.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/scatter.h"
#include "jobcontrol/records/special.h"
#include "platform/units.h"
#include "tests/fourier/test_fourier_command_fixture.h"

namespace zanek {
namespace {

struct Blob {
    double x, y, z, height;
};

// A synthetic map in a cubic cell of edge `edge` and one of the groups P 1
// or P 1 2 1 (the two-fold along b), written to jrel with its header.
class SyntheticMap : public test::InProcessJob {
protected:
    SyntheticMap() : InProcessJob("peaks") {}
    void SetUp() override {
        InProcessJob::SetUp();
        UNIT.I(unitw::kIfour) = 33;
        UNIT.I(unitw::kSequentialScratch) = 32;
        int st = 0;
        ASSERT_FALSE(JOPEN(32, "", 0, 1, 2, st));
        ASSERT_FALSE(JOPEN(33, "", 0, 1, 2, st));
        TAPE.clear();
        CENT.clear();
        MISC.clear();
        CONST.clear();
        SDIR.clear();
        UREQ1.clear();
        EMAP.clear();
        SYM.clear();
        ERL.clear();
        SF.clear();
        for (int k = 1; k <= kMaxAtoms; ++k) atom_label(k) = 0;
    }
    void TearDown() override {
        units().close(32);
        units().close(33);
        SPEC.I(kSpecReady) = -1;
        InProcessJob::TearDown();
    }

    // Group: 1 P 1, 2 P 1 2 1. atoms: atoms with Z > 1 in the cell.
    void symmetry(int group, double edge, int atoms) {
        const int nsym = group == 2 ? 2 : 1;
        SYM.I(symw::kOps) = nsym;
        SYM.I(symw::kCentric) = 0;
        SYM.I(symw::kLattice) = 1;
        SYM.R(symw::kLatticePoints) = 1.0f;
        ERL.I(erlw::kSystem) = group == 2 ? 2 : 1;
        for (int k = 1; k <= nsym; ++k)
            for (int i = 1; i <= 3; ++i) erl_R(k, i, i) = (k == 2 && i != 2) ? -1 : 1;
        for (int k = 1; k <= nsym; ++k)
            for (int r = 0; r < 3; ++r) {
                const int code = (k == 2 && r != 1) ? -(r + 1) : (r + 1);
                sym_row_code(k, r + 1, 1) = code;
                TAPE.I(tape::kRot + 6 * (k - 1) + 2 * r) = code;
            }
        for (int i = 1; i <= 3; ++i) {
            cell_constant(i) = static_cast<float>(edge);
            cell_constant(3 + i) = 90.0f;
            map_cell(i) = static_cast<float>(edge);
            map_cell(3 + i) = 90.0f;
        }
        TAPE.I(tape::kNsym) = nsym;
        TAPE.I(tape::kCentric) = 0;
        TAPE.I(tape::kLattice) = 1;
        TAPE.I(tape::kExpected) = atoms / nsym;
        MISC.R(misc::kLatticePoints) = 1.0f;
        sf::heavy_atoms() = atoms;
        SPEC.I(kSpecReady) = -1;
        XSPINB();
    }

    // Writes the map of the blobs (Gaussians of 0.5 A width, periodic).
    void write_map(int n, double edge, const std::vector<Blob>& blobs, int set = 1) {
        CONST.I(konst::kSetNumber) = set;
        units().rewind(32);
        units().write_record(32, map_header_record());
        units().write_record(32, {word_of_int(n), word_of_int(n), word_of_int(n)});
        std::vector<Word> row(static_cast<std::size_t>(n));
        for (int y = 0; y < n; ++y)
            for (int z = 0; z < n; ++z) {
                for (int x = 0; x < n; ++x) {
                    double v = 0;
                    for (const Blob& b : blobs) {
                        double d[3] = {double(x) / n - b.x, double(y) / n - b.y, double(z) / n - b.z};
                        double r2 = 0;
                        for (double& c : d) {
                            c -= std::round(c);
                            r2 += c * c * edge * edge;
                        }
                        v += b.height * std::exp(-r2 / (2 * 0.25));
                    }
                    row[static_cast<std::size_t>(x)] = word_of_int(static_cast<int>(std::lround(v)));
                }
                units().write_record(32, row);
            }
    }

    int search(int request = 0) {
        SDIR.R(sdir::kMerge) = kMergeDistance;
        SDIR.I(sdir::kPeaks) = request;
        EMAP.I(emap::kCycleLimit) = 0;
        float x = 0;
        int ierr = 0;
        SEARCH(1, x, ierr);
        EXPECT_EQ(ierr, 0);
        return CONST.I(konst::kAtomCount);
    }

    static double dist(double edge, const double a[3], const Blob& b) {
        double s = 0;
        const double p[3] = {b.x, b.y, b.z};
        for (int i = 0; i < 3; ++i) {
            double d = a[i] - p[i];
            d -= std::round(d);
            s += d * d;
        }
        return edge * std::sqrt(s);
    }
    static void peak_at(int i, double p[3]) {
        for (int c = 0; c < 3; ++c) p[c] = atom_coord(i, c + 1);
    }
};

TEST_F(SyntheticMap, BlobsGivePeaksAtTheirCentresInDecreasingHeight) {
    const double edge = 10.0;
    symmetry(1, edge, 3);
    const std::vector<Blob> blobs = {{0.31, 0.42, 0.17, 300}, {0.71, 0.13, 0.58, 900}, {0.52, 0.81, 0.86, 600}};
    write_map(30, edge, blobs);
    ASSERT_EQ(search(), 3);
    const int order[3] = {1, 2, 0};
    for (int i = 1; i <= 3; ++i) {
        double p[3];
        peak_at(i, p);
        EXPECT_LT(dist(edge, p, blobs[static_cast<std::size_t>(order[i - 1])]), 0.12) << "peak " << i;
        EXPECT_FLOAT_EQ(atom_coord(i, 5), 1.0f);
        EXPECT_EQ(atom_label(i), 0);
        if (i > 1) { EXPECT_GT(atom_coord(i - 1, 4), atom_coord(i, 4)); }
    }
    // The height is the map value at the peak's grid point.
    EXPECT_NEAR(atom_coord(1, 4), 900.0f, 60.0f);
}

TEST_F(SyntheticMap, PeakOnTheCellFaceIsReportedNearOne) {
    const double edge = 10.0;
    symmetry(1, edge, 1);
    write_map(30, edge, {{0.0, 0.5, 0.0, 500}});
    ASSERT_EQ(search(), 1);
    EXPECT_NEAR(atom_coord(1, 1), 1.0f, 1e-3f);  // grid point 0 is reported as index nx
    EXPECT_NEAR(atom_coord(1, 2), 0.5f, 1e-3f);
    EXPECT_NEAR(atom_coord(1, 3), 1.0f, 1e-3f);
}

// Peaks near the last section (y = 29/30 of a 30-section map): the search
// covers every section of a P 1 map, the last one too, and treats the
// map as periodic, so the last section's neighbour after it is section 0
// and section 0's neighbour before it the last one. Each case is one blob
// alone in the cell.
TEST_F(SyntheticMap, PeaksInAndNextToTheLastSectionAreFound) {
    const double edge = 10.0;
    const int n = 30;
    struct Case {
        const char* what;
        Blob blob;
        double tolerance;  // Angstrom, from the blob's centre
    };
    const std::vector<Case> cases = {
        // On grid point (9, 29, 21): found there exactly, at the height of
        // the blob (its images in the next cells add nothing at 10 A).
        {"on the last section", {9.0 / n, 29.0 / n, 21.0 / n, 500}, 1e-3},
        {"on section 0", {16.0 / n, 0.0, 5.0 / n, 500}, 1e-3},
        // Off the grid: the last section is the highest, its neighbours are
        // section 28 and, across the cell edge, section 0.
        {"in the last section, towards section 0", {0.31, 29.3 / n, 0.57, 800}, 0.12},
        {"in section 0, towards the last section", {0.44, 0.2 / n, 0.23, 800}, 0.12},
        // Halfway between the last section and section 0 the two grid
        // points are equal: one peak, not two and not none.
        {"between the last section and section 0", {12.0 / n, 29.5 / n, 8.0 / n, 600}, 0.2},
    };
    symmetry(1, edge, 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        write_map(n, edge, {c.blob});
        ASSERT_EQ(search(), 1);
        double p[3];
        peak_at(1, p);
        EXPECT_LT(dist(edge, p, c.blob), c.tolerance) << p[0] << " " << p[1] << " " << p[2];
        if (c.tolerance < 0.01) {
            EXPECT_EQ(atom_coord(1, 4), 500.0f);
        }
    }
}

TEST_F(SyntheticMap, EqualNeighbouringMaximaGiveOnePeak) {
    const double edge = 10.0;
    symmetry(1, edge, 1);
    // Centred halfway between grid points 9 and 10 along x: two equal values.
    write_map(30, edge, {{9.5 / 30, 12.0 / 30, 7.0 / 30, 500}});
    ASSERT_EQ(search(), 1);
    EXPECT_NEAR(atom_coord(1, 1) * 30, 9.5, 0.6);
}

TEST_F(SyntheticMap, SymmetryImageWithinMergeDistanceIsMerged) {
    const double edge = 10.0;
    symmetry(2, edge, 2);
    // The second blob sits 0.4 A from the two-fold image of the first.
    const Blob a{0.23, 0.31, 0.14, 800}, b{1 - 0.23 + 0.04, 0.31, 1 - 0.14, 500};
    write_map(30, edge, {a, b});
    ASSERT_EQ(search(), 1);
    double p[3];
    peak_at(1, p);
    EXPECT_LT(dist(edge, p, a), 0.12);  // the higher one, at its own position
    // Far enough apart, both stay.
    const Blob c{1 - 0.23 + 0.15, 0.31, 1 - 0.14, 500};
    write_map(30, edge, {a, c});
    EXPECT_EQ(search(), 2);
}

TEST_F(SyntheticMap, RequestIsCappedAt180) {
    symmetry(1, 10.0, 1);
    write_map(20, 10.0, {{0.5, 0.5, 0.5, 400}});
    search(250);
    EXPECT_EQ(SDIR.I(sdir::kPeaks), 180);
}

TEST_F(SyntheticMap, NegativePhaseSetNumberSkipsTheSearch) {
    symmetry(1, 10.0, 1);
    write_map(20, 10.0, {{0.5, 0.5, 0.5, 400}}, -1);
    CONST.I(konst::kAtomCount) = 77;
    search();
    EXPECT_EQ(CONST.I(konst::kAtomCount), 77);
}

TEST_F(SyntheticMap, BufferTooSmallFails) {
    symmetry(1, 10.0, 1);
    // (nz+2)(nx+2) words a section: 3 sections of 232 x 232 exceed the buffer.
    CONST.I(konst::kSetNumber) = 1;
    units().rewind(32);
    units().write_record(32, map_header_record());
    units().write_record(32, {word_of_int(230), word_of_int(230), word_of_int(2)});
    SDIR.R(sdir::kMerge) = kMergeDistance;
    float x = 0;
    int ierr = 0;
    SEARCH(1, x, ierr);
    EXPECT_EQ(ierr, -1);
}

// The sub-grid fit on 3x3x3 blocks of map values given by a function of
// the grid offsets (x, y, z).
TEST(PeakFit, OffsetsOfTheFittedMaximumOrTheGridPoint) {
    struct Case {
        const char* what;
        std::function<int(int, int, int)> value;
        double want[3];
    };
    // 1000 - 100 |r - m|^2 is an integer at whole offsets and a quadratic
    // the fit reproduces: its maximum m is found exactly.
    auto bowl = [](double mx, double my, double mz) {
        return [=](int x, int y, int z) {
            return static_cast<int>(std::lround(1000 - 100 * ((x - mx) * (x - mx) + (y - my) * (y - my) +
                                                               (z - mz) * (z - mz))));
        };
    };
    const std::vector<Case> cases = {
        {"maximum off the grid point", bowl(0.2, -0.3, 0.1), {0.2, -0.3, 0.1}},
        {"maximum more than a step away", bowl(1.5, 0.0, 0.0), {0, 0, 0}},
        // Above all 18 neighbours, but the faces are low and the edges high:
        // the fit curves up, and its stationary point lies on the lower (-x)
        // side although the values rise towards +x.
        {"fit curving up",
         [](int x, int y, int z) {
             const int away = std::abs(x) + std::abs(y) + std::abs(z);
             if (away == 0) return 100;
             if (away == 1) return 0;
             return x > 0 ? 95 : 90;
         },
         {0, 0, 0}},
        // Flat: no curvature at all.
        {"flat", [](int, int, int) { return 50; }, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        int32_t block[3][3][3];
        for (int y = -1; y <= 1; ++y)
            for (int z = -1; z <= 1; ++z)
                for (int x = -1; x <= 1; ++x) block[y + 1][z + 1][x + 1] = c.value(x, y, z);
        double d[3] = {9, 9, 9};
        peak_offsets(block, d[0], d[1], d[2]);
        for (int a = 0; a < 3; ++a) EXPECT_NEAR(d[a], c.want[a], 1e-12) << c.what << " axis " << a;
    }
}

TEST(PeakCount, RulesOfTheFinalCount) {
    struct Case {
        int request, c6, c7, within, positive, cycle_limit, step_b;
        float r;
        int content_before, want_count, want_c6, want_content;
    };
    const std::vector<Case> cases = {
        // No request: wanted counts from the content, (11E+13)/9 and (3E+1)/2.
        {0, 0, 0, 10, 40, 0, 0, 1.0f, 0, 15, 15, 10},
        // E-map (R = 1): nothing cut by the growth rule.
        {0, 0, 0, 10, 40, -100, 0, 1.0f, 0, 15, 15, 10},
        // Step A with R = 0.3: 20 + 10 * 0.3^0.2 = 27.
        {30, 30, 30, 20, 40, 100, 0, 0.3f, 20, 27, 30, 20},
        // Step B uses R^0.5: 20 + 10 * 0.5477 = 25.
        {30, 30, 30, 20, 40, 100, 3, 0.3f, 20, 25, 30, 20},
        // An almost featureless map: at most the positive peaks.
        {0, 0, 0, 2, 3, 0, 0, 1.0f, 0, 3, 3, 2},
        // No peak within the content: E becomes the wanted count.
        {12, 12, 12, 0, 40, 0, 0, 1.0f, 0, 12, 12, 12},
    };
    for (const Case& c : cases) {
        SDIR.I(sdir::kPeaks) = c.request;
        CONST.I(konst::kPeaksWanted) = c.c6;
        CONST.I(konst::kAtomCount) = c.c7;
        EMAP.I(emap::kCycleLimit) = c.cycle_limit;
        EMAP.I(emap::kStepB) = c.step_b;
        EMAP.R(emap::kR) = c.r;
        EMAP.I(emap::kContentPeaks) = c.content_before;
        EMAP.I(emap::kNextAction) = 0;
        EMAP.I(emap::kFragmentFlag) = -41;
        const int count = peaks_to_keep(c.within, c.positive);
        EXPECT_EQ(count, c.want_count) << c.within << " " << c.r;
        EXPECT_EQ(CONST.I(konst::kPeaksWanted), c.want_c6);
        EXPECT_EQ(EMAP.I(emap::kContentPeaks), c.want_content);
        EXPECT_EQ(EMAP.I(emap::kPeaksKept), count);
        EXPECT_EQ(EMAP.I(emap::kFragmentFlag), 0);
    }
}

TEST(PeakSort, DecreasingKeyWholeRecordsLabelsStay) {
    for (int n : {0, 1, 2, 3, 7, 16, 33, 200}) {
        std::vector<float> a(static_cast<std::size_t>(5 * std::max(n, 1)));
        for (int i = 0; i < n; ++i) {
            float key = static_cast<float>((i * 37) % 23) - 5.0f;
            for (int w = 0; w < 5; ++w) a[static_cast<std::size_t>(5 * i + w)] = key + 0.001f * w;
        }
        SORTF(a.data(), n, 4);
        for (int i = 0; i < n; ++i) {
            const float key = a[static_cast<std::size_t>(5 * i + 3)];
            for (int w = 0; w < 5; ++w) EXPECT_FLOAT_EQ(a[static_cast<std::size_t>(5 * i + w)], key + 0.001f * (w - 3));
            if (i > 0) { EXPECT_GE(a[static_cast<std::size_t>(5 * (i - 1) + 3)], key); }
        }
    }
}

// E-maps of small structures from known phases.
class EMapPeaks : public test::MapJob {
protected:
    void check_emap(const test::TestStructure& s) {
        prepare(s);
        make_phase_sets({1.0f});
        // The map-work settings of the directive reader's defaults.
        UREQ1.I(ureq1::kMapKind) = 0;
        UREQ1.I(ureq1::kNoPsiE) = 1;
        CONST.I(konst::kSetNumber) = 1;
        CONST.R(konst::kGrid) = 1.0f / 3.0f;
        TRAN.I(tran::kPrintUnit) = 0;
        SDIR.I(sdir::kPeaks) = SDIR.I(sdir::kProjections) = 0;
        EMAP.I(emap::kCycleLimit) = -100;
        EMAP.R(emap::kR) = 1.0f;
        EMAP.I(emap::kStepB) = 0;
        EMAP.I(emap::kNextAction) = 0;
        SPEC.I(kSpecReady) = -1;
        int st = 0;
        ASSERT_FALSE(JOPEN(UNIT.I(unitw::kSequentialScratch), "", 0, 1, 2, st));
        ASSERT_FALSE(JOPEN(UNIT.I(unitw::kIfour), "", 0, 1, 2, st));
        int nwork = 0, nrefl = 0, ierr = 0;
        float xatoms = 0, cfom = 0;
        DEFCO(nwork);
        FFT(nrefl, 1, xatoms, cfom, nwork, ierr);
        units().close(UNIT.I(unitw::kSequentialScratch));
        units().close(UNIT.I(unitw::kIfour));
        ASSERT_EQ(ierr, 0) << listing();
        EXPECT_FLOAT_EQ(xatoms, 4.0f);  // 16 atoms, four general positions
        ASSERT_GE(CONST.I(konst::kAtomCount), 4);
        // The four highest peaks are the four atoms, iron first, chlorine second.
        std::vector<int> seen;
        for (int i = 1; i <= 4; ++i) {
            const double p[3] = {atom_coord(i, 1), atom_coord(i, 2), atom_coord(i, 3)};
            int which = -1;
            EXPECT_LT(nearest_atom(p, which), 0.25) << s.group << " peak " << i;
            seen.push_back(which);
        }
        EXPECT_EQ(seen[0], 0) << s.group;
        EXPECT_EQ(seen[1], 1) << s.group;
        std::sort(seen.begin(), seen.end());
        EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3})) << s.group;
        // In the centrosymmetric group only the first half of the cell (and
        // the section after it) is searched.
        if (SYM.I(symw::kCentric) == 1) {
            for (int i = 1; i <= CONST.I(konst::kAtomCount); ++i) EXPECT_LE(atom_coord(i, 2), 0.55f);
        }
        // The peak list went to list 15.
        int n = 0, start = 1, set = 0, bonds = 0;
        const float h1 = atom_coord(1, 4);
        SFL15(n, start, set, bonds);
        EXPECT_EQ(n, CONST.I(konst::kAtomCount));
        EXPECT_EQ(set, 1);
        EXPECT_FLOAT_EQ(atom_coord(1, 4), h1);
    }
};

TEST_F(EMapPeaks, PointAtomsInP212121GivePeaksAtTheirPositionsHeaviestFirst) {
    check_emap(test::p212121_structure());
}

TEST_F(EMapPeaks, PointAtomsInP21cGivePeaksAtTheirPositionsHeaviestFirst) { check_emap(test::p21c_structure()); }

}  // namespace
}  // namespace zanek
