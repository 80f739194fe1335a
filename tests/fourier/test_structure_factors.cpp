// The structure-factor pass of Fourier recycling: amplitudes and phases
// against gemmi's for a centrosymmetric, a non-centrosymmetric and a
// centred group; the map coefficients it leaves; the diagonal least squares
// recovering a scale and shifted atoms; and the rules for special
// positions, a floating origin, negative and runaway temperature factors.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "test_recycling_fixture.h"

namespace zanek::test {
namespace {

class StructureFactors : public RecyclingJob {};

double angle_difference(double a, double b) {
    double d = std::fmod(std::fabs(a - b), 360.0);
    return std::min(d, 360.0 - d);
}

double fractional_distance(int slot, const RefAtom& a) {
    double d2 = 0;
    const float t[3] = {a.x, a.y, a.z};
    for (int c = 1; c <= 3; ++c) {
        double d = (atom_coord(slot, c) - t[c - 1]) * cell_constant(c);
        d2 += d * d;
    }
    return std::sqrt(d2);  // good enough for the near-orthogonal shifts used
}

TEST_F(StructureFactors, AmplitudesAndPhasesMatchGemmi) {
    for (const RefModel& m : reference_models()) {
        SCOPED_TRACE(m.group);
        crystal(m.group, m.cell, m.cont);
        set_model(m.atoms);
        EMAP.I(emap::kStepB) = 0;
        EMAP.I(emap::kNextAction) = 0;
        int n = stage_reflections(m.refl);
        ASSERT_GT(n, 200);
        float scale = pass(0, 1, n, 2);
        EXPECT_NEAR(scale, 1.0, 0.01);
        EXPECT_LT(EMAP.R(emap::kR), 0.01f);
        const bool centric = SYM.I(symw::kCentric) == 1;
        int phased = 0;
        for (int r = 1; r <= n; ++r) {
            const RefReflection& ref = m.refl[r - 1];
            // Each atom-operator term may be off by half a degree.
            const double bound = 0.0092 * ref.fmax + 1e-3;
            SCOPED_TRACE(::testing::Message() << ref.h << " " << ref.k << " " << ref.l);
            EXPECT_NEAR(fcalc(r, scale, ref.f), ref.f, bound);
            EXPECT_EQ(stage::A2(r), 1.0f);
            const int phase = stage::A3i(r);
            ASSERT_GE(phase, 1);
            ASSERT_LE(phase, 360);
            if (centric) { EXPECT_TRUE(phase == 180 || phase == 360) << phase; }
            if (ref.f > 20.0 * bound) {
                ++phased;
                double tol = std::asin(bound / ref.f) * 180.0 / M_PI + 0.51;
                EXPECT_LE(angle_difference(phase, ref.phase), tol) << phase << " vs " << ref.phase;
            }
        }
        EXPECT_GT(phased, n / 4);
    }
}

TEST_F(StructureFactors, OneCycleLeavesCoefficientsPhasesAndUnitWeights) {
    const RefModel m = reference_models()[1];  // P 21 21 21
    crystal(m.group, m.cell, m.cont);
    set_model(m.atoms);
    int n = stage_reflections(m.refl, 3.0);  // Fo on three times the scale of Fc
    std::vector<float> fo(n + 1);
    for (int r = 1; r <= n; ++r) fo[r] = stage::A1(r);
    EMAP.I(emap::kStepB) = 0;
    EMAP.I(emap::kNextAction) = 0;
    float scale = pass(0, 1, n, 2);
    EXPECT_NEAR(scale, 1.0 / 3.0, 0.005);
    EXPECT_NEAR(EMAP.R(emap::kInvScale), 3.0, 0.05);  // step A resets the scale
    for (int r = 1; r <= n; ++r) {
        const double fc = m.refl[r - 1].f;
        EXPECT_NEAR(stage::A1(r), 2.0 * scale * fo[r] - fc, 0.0092 * m.refl[r - 1].fmax + 1e-3);
    }
}

TEST_F(StructureFactors, EmptyModelGivesZeroAmplitudeAndPhase360) {
    const RefModel m = reference_models()[1];
    crystal(m.group, m.cell, m.cont);
    set_model(m.atoms);
    for (int i = 1; i <= 4; ++i) atom_label(i) = 0;  // nobody in the model
    int n = stage_reflections(m.refl);
    float scale = pass(0, 1, n);
    EXPECT_EQ(scale, 0.0f);
    EXPECT_EQ(EMAP.R(emap::kR), 1.0f);
    for (int r = 1; r <= n; ++r) {
        EXPECT_EQ(stage::A3i(r), 360);
        EXPECT_EQ(stage::A1(r), 0.0f);
    }
}

// Least squares from a model off the observed structure: scale found, atoms
// moved towards their true places.
TEST_F(StructureFactors, LeastSquaresRecoversScaleAndShiftedAtoms) {
    const RefModel m = reference_models()[1];
    crystal(m.group, m.cell, m.cont);
    std::vector<RefAtom> start = m.atoms;
    start[1].x += 0.03f;   // 0.19 A
    start[3].z -= 0.015f;  // 0.18 A
    set_model(start);
    EMAP.R(emap::kDefaultB) = 3.0f;
    int n = stage_reflections(m.refl, 2.0);
    // First the R of the starting model, with the scale fixed at 2.
    EMAP.I(emap::kStepB) = 2;  // inside step B: the scale is refined, not reset
    EMAP.I(emap::kNextAction) = 0;
    EMAP.R(emap::kInvScale) = 2.0f;
    pass(0, 1, n);
    const float r0 = EMAP.R(emap::kR);
    const double d1 = fractional_distance(2, m.atoms[1]), d3 = fractional_distance(4, m.atoms[3]);

    set_model(start);
    n = stage_reflections(m.refl, 2.0);
    EMAP.R(emap::kInvScale) = 1.0f;  // a wrong scale to start from
    pass(3, 7, n);
    EXPECT_NEAR(EMAP.R(emap::kInvScale), 2.0, 0.04);
    EXPECT_LT(fractional_distance(2, m.atoms[1]), 0.4 * d1);
    EXPECT_LT(fractional_distance(4, m.atoms[3]), 0.4 * d3);
    EXPECT_LT(EMAP.R(emap::kR), 0.6f * r0);
    // The atoms that were in place stay there.
    EXPECT_LT(fractional_distance(1, m.atoms[0]), 0.03);
    EXPECT_LT(fractional_distance(3, m.atoms[2]), 0.03);
    for (int i = 1; i <= 4; ++i) EXPECT_NEAR(atom_b(i), m.atoms[i - 1].b, 1.0) << i;
}

// Observed amplitudes made by the pass itself from a "true" model.
std::vector<float> observed_from(RecyclingJob* job, int n) {
    float scale = 0;
    int mode = 0, ncyc = 1, icyc = 5;
    SFTRYYY(mode, icyc, ncyc, n, stage::A2_array(), scale);
    std::vector<float> fo(n + 1);
    // A1 = 2 scale Fo - Fc with Fo = 0 in the staging arrays: -Fc.
    for (int r = 1; r <= n; ++r) fo[r] = -stage::A1(r);
    (void)job;
    return fo;
}

void restage(const std::vector<float>& fo) {
    for (std::size_t r = 1; r < fo.size(); ++r) stage::A1(static_cast<int>(r)) = fo[r];
}

TEST_F(StructureFactors, AtomTiedBySiteSymmetryIsNotRefined) {
    // (x, x, 0) in P 41 21 2: y is tied to x, so none of x, y, z moves.
    crystal("p 41 21 2", "cell 7.5 7.5 9.0 90 90 90", "cont c 16 o 8");
    std::vector<RefAtom> truth = {{"o", 0.21f, 0.21f, 0.0f, 3.0f}, {"c", 0.13f, 0.32f, 0.27f, 3.0f},
                                  {"c", 0.36f, 0.07f, 0.41f, 3.0f}};
    std::vector<RefReflection> refl;
    for (int h = 0; h <= 6; ++h)
        for (int k = 0; k <= 6; ++k)
            for (int l = 0; l <= 7; ++l)
                if (h + k + l > 0) refl.push_back({h, k, l, 0.0, 0.0, 0.0});
    set_model(truth);
    atom_coord(1, 5) = 0.5f;  // the site of a two-fold axis
    int n = stage_reflections(refl);
    std::vector<float> fo = observed_from(this, n);
    std::vector<RefAtom> start = truth;
    start[0].x = start[0].y = 0.23f;
    start[1].x += 0.02f;
    set_model(start);
    atom_coord(1, 5) = 0.5f;
    n = stage_reflections(refl);
    restage(fo);
    EMAP.I(emap::kStepB) = 2;
    EMAP.R(emap::kInvScale) = 1.0f;
    EMAP.R(emap::kDefaultB) = 3.0f;
    pass(3, 7, n);
    EXPECT_EQ(atom_coord(1, 1), 0.23f);
    EXPECT_EQ(atom_coord(1, 2), 0.23f);
    EXPECT_EQ(atom_coord(1, 3), 0.0f);
    EXPECT_NE(atom_coord(2, 1), start[1].x);  // a general atom is refined
}

TEST_F(StructureFactors, FirstAtomFixesTheFloatingOrigin) {
    // P 21: the origin floats along y; atom 1 keeps its y, atom 2 does not.
    crystal("p 21", "cell 6.0 7.0 8.0 90 100 90", "cont c 4 o 2");
    std::vector<RefAtom> truth = {{"o", 0.21f, 0.10f, 0.33f, 3.0f}, {"c", 0.13f, 0.32f, 0.07f, 3.0f},
                                  {"c", 0.36f, 0.27f, 0.41f, 3.0f}};
    std::vector<RefReflection> refl;
    for (int h = 0; h <= 5; ++h)
        for (int k = -6; k <= 6; ++k)
            for (int l = -6; l <= 6; ++l)
                if (!(h == 0 && (k < 0 || (k == 0 && l <= 0))) && !(h == 0 && l == 0 && k % 2)) refl.push_back({h, k, l, 0, 0, 0});
    set_model(truth);
    int n = stage_reflections(refl);
    std::vector<float> fo = observed_from(this, n);
    std::vector<RefAtom> start = truth;
    start[0].y += 0.02f;
    start[1].y += 0.02f;
    set_model(start);
    n = stage_reflections(refl);
    restage(fo);
    EMAP.I(emap::kStepB) = 2;
    EMAP.R(emap::kInvScale) = 1.0f;
    EMAP.R(emap::kDefaultB) = 3.0f;
    pass(3, 7, n);
    EXPECT_EQ(atom_coord(1, 2), start[0].y);
    EXPECT_NE(atom_coord(1, 1), start[0].x);
    EXPECT_NE(atom_coord(2, 2), start[1].y);
}

TEST_F(StructureFactors, NegativeTemperatureFactorBecomesPointOne) {
    const RefModel m = reference_models()[1];
    crystal(m.group, m.cell, m.cont);
    std::vector<RefAtom> truth = m.atoms;
    truth[2].b = -4.0f;  // a far sharper atom than the model's
    set_model(truth);
    int n = stage_reflections(m.refl);
    for (int r = 1; r <= n; ++r) stage::A1(r) = 0.0f;
    std::vector<float> fo = observed_from(this, n);
    set_model(m.atoms);
    atom_b(3) = 0.3f;
    n = stage_reflections(m.refl);
    restage(fo);
    EMAP.I(emap::kStepB) = 2;
    EMAP.R(emap::kInvScale) = 1.0f;
    EMAP.R(emap::kDefaultB) = 3.0f;
    pass(1, 7, n);
    EXPECT_EQ(atom_b(3), 0.1f);
}

// A spurious light atom with a runaway B is dropped from inner cycle 2 on,
// and only while the list is longer than the expected contents.
TEST_F(StructureFactors, GhostAtomDroppedFromTheSecondCycleOn) {
    const RefModel m = reference_models()[1];
    crystal(m.group, m.cell, m.cont);
    struct Case {
        int ncyc, within;
        bool dropped;
    } cases[] = {{7, 4, true}, {2, 4, false}, {7, 5, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.ncyc << " cycles, " << c.within << " within");
        std::vector<RefAtom> start = m.atoms;
        start.push_back({"c", 0.47f, 0.41f, 0.02f, 20.0f});  // nothing there
        set_model(start);
        EMAP.I(emap::kContentPeaks) = c.within;
        EMAP.R(emap::kDefaultB) = 2.0f;  // limit 6
        EMAP.I(emap::kStepB) = 2;
        EMAP.R(emap::kInvScale) = 1.0f;
        int n = stage_reflections(m.refl);
        pass(3, c.ncyc, n);
        EXPECT_EQ(atom_label(5) == 0, c.dropped);
        EXPECT_EQ(EMAP.I(emap::kPeaksKept), c.dropped ? 4 : 5);
        for (int i = 1; i <= 4; ++i) EXPECT_NE(atom_label(i), 0);
    }
}

TEST(Recount, LabelledAtomsAmongTheFirstN) {
    ATOMS.clear();
    for (int i = 1; i <= 10; ++i) atom_label(i) = (i % 3 == 0) ? 0 : 101;
    EMAP.I(emap::kPeaksKept) = 10;
    PKL15(10);
    EXPECT_EQ(EMAP.I(emap::kPeaksKept), 7);
    EXPECT_EQ(atom_label(3), 0);  // nothing compacted
    for (int i = 1; i <= 10; ++i) atom_label(i) = 0;
    PKL15(10);
    EXPECT_EQ(EMAP.I(emap::kPeaksKept), 7);  // no atom: unchanged
}

}  // namespace
}  // namespace zanek::test
