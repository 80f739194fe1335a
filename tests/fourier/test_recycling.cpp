// The recycling steps and their atom bookkeeping: species from peak heights
// and the cell contents, the removal of peaks closer than their bonding
// radii, the match of new peaks to the previous model, and the three steps
// around the structure-factor pass (weights, dropped peaks, restored or
// weighted occupancies, labels).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "crystaldata/special.h"
#include "jobcontrol/lists/list15.h"
#include "platform/listing.h"
#include "test_recycling_fixture.h"

namespace zanek::test {
namespace {

struct Peak {
    int label;
    float x, y, z, height, occ;
};

class Bookkeeping : public RecyclingJob {
protected:
    RefModel model = reference_models()[1];  // P 21 21 21, cell 6.3 8.1 11.7, c 8 n 4 o 4

    // %data of the reference structure, with its reflections as list 7.
    void crystal_with_reflections() {
        std::string refl;
        for (const RefReflection& r : model.refl) refl += hkl(r.h, r.k, r.l, r.f, 0.5);
        refl += hkl(0, 0, 0, 0, 0);
        queue({{CMD_DATA, {model.cell, "spac " + model.group, model.cont, "refl foll"}}}, refl);
        ASSERT_EQ(dispatch(1), 0) << listing();
        SPEC.I(kSpecReady) = -1;
        XSPINB();
    }

    static void peaks(const std::vector<Peak>& p) {
        ATOMS.clear();
        for (std::size_t k = 0; k < p.size(); ++k) {
            const int i = static_cast<int>(k) + 1;
            atom_coord(i, 1) = p[k].x, atom_coord(i, 2) = p[k].y, atom_coord(i, 3) = p[k].z;
            atom_coord(i, 4) = p[k].height, atom_coord(i, 5) = p[k].occ;
            atom_label(i) = p[k].label;
        }
        CONST.I(konst::kAtomCount) = static_cast<int>(p.size());
    }
    static std::vector<int> labels(int n) {
        std::vector<int> v;
        for (int i = 1; i <= n; ++i) v.push_back(atom_label(i));
        return v;
    }
    int c() const { return species("c"); }
    int n() const { return species("n"); }
    int o() const { return species("o"); }
};

// Peaks in general positions of P 21 21 21 (4 atoms each).
std::vector<Peak> row(std::vector<float> heights, std::vector<int> labels) {
    std::vector<Peak> p;
    for (std::size_t k = 0; k < heights.size(); ++k)
        p.push_back({labels[k], 0.05f + 0.11f * k, 0.07f * k, 0.03f + 0.09f * k, heights[k], 1.0f});
    return p;
}

TEST_F(Bookkeeping, SpeciesFromHeightsAndTheRemainingContents) {
    crystal(model.group, model.cell, model.cont);
    ASSERT_EQ(sf::species(), 3);
    const std::vector<float> h = {800, 700, 300, 600, 580, 550, 500, 450};
    const std::vector<int> start = {101, 101, 202, 101, 101, 101, 101, 103};
    // R above 0.2: windows 0.6 and 1.4 of the expected height h1 Z/Z(o).
    // Peak 3 (300 against 600 for carbon) keeps its species; the carbons
    // run out after four peaks, so peak 8 keeps its own too.
    EMAP.R(emap::kR) = 0.3f;
    peaks(row(h, start));
    LABEL(8);
    const std::vector<int> want = {100 * o() + 1, 100 * n() + 1, 202, 101, 101, 101, 101, 103};
    EXPECT_EQ(labels(8), want);
    // R below 0.2: anything above 0.4 of the expected height is taken.
    EMAP.R(emap::kR) = 0.1f;
    peaks(row(h, start));
    LABEL(8);
    const std::vector<int> low = {100 * o() + 1, 100 * n() + 1, 100 * c() + 2, 101, 101, 101, 101, 103};
    EXPECT_EQ(labels(8), low);
    // Only the first N peaks are labelled.
    peaks(row(h, start));
    LABEL(1);
    EXPECT_EQ(labels(8)[1], 101);
}

TEST_F(Bookkeeping, PeakTooBigForTheContentsEndsTheLabelling) {
    crystal(model.group, model.cell, model.cont);
    EMAP.R(emap::kR) = 0.3f;
    std::vector<Peak> p = row({800, 700, 600, 580, 550, 500, 450, 400}, {101, 101, 101, 101, 101, 101, 101, 101});
    p[1].occ = 5.0f;  // 20 atoms: more than any species has left
    peaks(p);
    LABEL(8);
    const std::vector<int> want = {100 * o() + 1, 101, 101, 101, 101, 101, 101, 101};
    EXPECT_EQ(labels(8), want);
}

TEST_F(Bookkeeping, HydrogenFirstInTheContentsIsNeverAssigned) {
    crystal(model.group, model.cell, "cont h 16 c 8 o 4");
    ASSERT_EQ(sf::z(1), 1);
    EMAP.R(emap::kR) = 0.3f;
    // o, c, c, then a peak far too low for carbon: it stays as it was.
    peaks(row({800, 600, 590, 100}, {201, 201, 201, 201}));
    LABEL(4);
    const std::vector<int> want = {100 * o() + 1, 100 * c() + 1, 100 * c() + 1, 201};
    EXPECT_EQ(labels(4), want);
}

TEST_F(Bookkeeping, RestartLabellingKeepsMatchedSpecies) {
    crystal(model.group, model.cell, model.cont);
    // Species numbers from the match with the previous model, 0 elsewhere.
    peaks(row({800, 700, 600, 580, 300, 500}, {o(), 0, 0, c(), 0, n()}));
    LABE2(5);
    // Peak 2: oxygen is used up by peak 1, nitrogen fits; peak 3 carbon;
    // peak 5 too low for anything: a light atom; peak 6, beyond the
    // contents, keeps the species of its match.
    const std::vector<int> want = {100 * o() + 1, 100 * n() + 1, 100 * c() + 1, 100 * c() + 1, 100 * c() + 1,
                                   100 * n() + 1};
    EXPECT_EQ(labels(6), want);
}

TEST_F(Bookkeeping, CloserThanBondingRadiiAllowDropsTheLaterPeak) {
    crystal(model.group, model.cell, model.cont);
    UREQ.I(ureqw::kPrint) = 1;
    // Carbons 0.9 A apart along a (limit 0.77 + 0.77 - 0.5 = 1.04), and
    // another pair 1.5 A apart.
    const float dx9 = 0.9f / 6.3f, dx15 = 1.5f / 6.3f;
    peaks({{101, 0.10f, 0.10f, 0.10f, 900, 1},
           {102, 0.10f + dx9, 0.10f, 0.10f, 800, 1},
           {103, 0.40f, 0.40f, 0.30f, 700, 1},
           {104, 0.40f + dx15, 0.40f, 0.30f, 600, 1}});
    MUOVI();
    const std::vector<int> want = {101, 0, 103, 104};
    EXPECT_EQ(labels(4), want);
    EXPECT_TRUE(listed(" c    1 c    2    1.0400    0.9000  rejected")) << listing();
    EXPECT_TRUE(listed("   1)  101        2)    0        3)  103        4)  104"));
}

TEST_F(Bookkeeping, NewPeaksInheritFromThePreviousModel) {
    crystal(model.group, model.cell, model.cont);
    // The previous model: carbon 1 at (0.1, 0.2, 0.3) with B 2.0, oxygen 2
    // at (0.6, 0.1, 0.4) with B 4.0 and occupancy 0.5.
    peaks({{100 * c() + 1, 0.1f, 0.2f, 0.3f, 900, 1.0f}, {100 * o() + 1, 0.6f, 0.1f, 0.4f, 800, 0.5f}});
    atom_b(1) = 2.0f, atom_b(2) = 4.0f;
    FRM15(2, 1, 0);
    CP1530();
    EMAP.R(emap::kDefaultB) = 3.0f;
    // New peaks: the image of carbon 1 by (1/2-x, -y, 1/2+z), 0.2 A off;
    // a nitrogen where the oxygen was; a peak far from both.
    const float img[3] = {0.5f - 0.1f + 0.2f / 6.3f, -0.2f, 0.5f + 0.3f};
    peaks({{100 * c() + 1, img[0], img[1], img[2], 700, 1.0f},
           {100 * n() + 1, 0.6f, 0.1f, 0.4f + 0.1f / 11.7f, 650, 1.0f},
           {100 * c() + 2, 0.3f, 0.7f, 0.15f, 600, 1.0f}});
    ASSBTY();
    // Matched: the old position, occupancy and B (same species) ...
    EXPECT_FLOAT_EQ(atom_coord(1, 1), 0.1f);
    EXPECT_FLOAT_EQ(atom_coord(1, 2), 0.2f);
    EXPECT_FLOAT_EQ(atom_coord(1, 3), 0.3f);
    EXPECT_FLOAT_EQ(atom_coord(1, 4), 700.0f);  // the height stays the new one
    EXPECT_FLOAT_EQ(atom_b(1), 2.0f);
    // ... or B scaled by the atomic numbers for another species,
    EXPECT_FLOAT_EQ(atom_b(2), (8.0f * 4.0f / 7.0f + 3.0f) / 2.0f);
    EXPECT_FLOAT_EQ(atom_coord(2, 5), 0.5f);
    EXPECT_EQ(atom_label(2), 100 * n() + 1);
    // unmatched: own position, default B.
    EXPECT_FLOAT_EQ(atom_coord(3, 1), 0.3f);
    EXPECT_FLOAT_EQ(atom_b(3), 3.0f);

    // The restart twin: any peak is a candidate and takes the old species.
    atom_b(1) = 2.0f, atom_b(2) = 4.0f;
    peaks({{0, img[0], img[1], img[2], 700, 1.0f}, {0, 0.6f, 0.1f, 0.4f, 650, 1.0f}, {0, 0.3f, 0.7f, 0.15f, 600, 1.0f}});
    ASSBTL();
    EXPECT_EQ(atom_label(1), c());
    EXPECT_EQ(atom_label(2), o());
    EXPECT_EQ(atom_label(3), 0);
    EXPECT_FLOAT_EQ(atom_b(2), 4.0f);
    EXPECT_FLOAT_EQ(atom_b(3), 3.0f);
}

TEST_F(Bookkeeping, AnOldAtomMatchesOneNewPeakOnly) {
    crystal(model.group, model.cell, model.cont);
    peaks({{101, 0.1f, 0.2f, 0.3f, 900, 1.0f}});
    atom_b(1) = 2.0f;
    FRM15(1, 1, 0);
    CP1530();
    EMAP.R(emap::kDefaultB) = 3.0f;
    // Two peaks near the old atom: the nearer one (the second) takes it.
    peaks({{101, 0.1f + 0.3f / 6.3f, 0.2f, 0.3f, 700, 1.0f}, {101, 0.1f + 0.1f / 6.3f, 0.2f, 0.3f, 650, 1.0f}});
    ASSBTY();
    EXPECT_FLOAT_EQ(atom_b(1), 3.0f);
    EXPECT_FLOAT_EQ(atom_b(2), 2.0f);
    EXPECT_FLOAT_EQ(atom_coord(2, 1), 0.1f);
}

// --- The steps ----------------------------------------------------------

class Steps : public Bookkeeping {
protected:
    int nref = 0;
    void SetUp() override {
        Bookkeeping::SetUp();
        crystal_with_reflections();
        nref = stage_reflections(model.refl);
        EMAP.R(emap::kDefaultB) = 3.0f;
        for (int i = 1; i <= 200; ++i) atom_b(i) = 3.0f;
        EMAP.I(emap::kFragmentFlag) = 0;
        EMAP.I(emap::kNextAction) = 0;
        EMAP.I(emap::kStepB) = 0;
        EMAP.R(emap::kInvScale) = 1.0f;
        CONST.I(konst::kSetNumber) = 1;
    }
    // The reference structure as a peak list, heaviest first, with heights
    // that follow the atomic numbers (o, n, c, c).
    std::vector<Peak> structure() {
        const int order[4] = {3, 2, 0, 1};
        const float height[4] = {800, 700, 600, 590};
        std::vector<Peak> p;
        for (int k = 0; k < 4; ++k) {
            const RefAtom& a = model.atoms[order[k]];
            p.push_back({100 * species(a.el) + k + 1, a.x, a.y, a.z, height[k], 1.0f});
        }
        return p;
    }
};

TEST_F(Steps, StepAWeighsPeaksAndRestoresTheList) {
    std::vector<Peak> p = structure();
    p.push_back({0, 0.45f, 0.45f, 0.45f, 100.0f, 1.0f});  // an unlabelled peak
    peaks(p);
    int icyc = 3;
    SFTRA(icyc, nref, stage::A2_array());
    // Every atom became a peak of the last species with a weighted
    // occupancy: an imperfect model, but far from nothing.
    EXPECT_LT(EMAP.R(emap::kR), 0.5f);
    EXPECT_GT(EMAP.R(emap::kR), 0.02f);
    // Labels and occupancies are those of the list again, and stored.
    for (std::size_t k = 0; k < p.size(); ++k) {
        EXPECT_EQ(atom_label(static_cast<int>(k) + 1), p[k].label);
        EXPECT_FLOAT_EQ(atom_coord(static_cast<int>(k) + 1, 5), 1.0f);
    }
    int n = 0, start = 1, set = 0, bonds = 0;
    SFL15(n, start, set, bonds);
    EXPECT_EQ(n, 5);
    EXPECT_EQ(bonds, 1);
    EXPECT_EQ(stage::A2(1), 1.0f);
}

TEST_F(Steps, StepAWithoutLabelledPeaksHasNoModel) {
    std::vector<Peak> p = structure();
    for (Peak& q : p) q.label = 0;
    peaks(p);
    int icyc = 3;
    SFTRA(icyc, nref, stage::A2_array());
    EXPECT_EQ(EMAP.R(emap::kR), 1.0f);
    for (int r = 1; r <= nref; ++r) ASSERT_EQ(stage::A3i(r), 360);
}

TEST_F(Steps, FragmentAtomsEnterWithTheirOwnSpeciesInTheFirstCycle) {
    // The residual of the fragment itself, species and occupancies as given.
    peaks(structure());
    for (int i = 1; i <= 4; ++i) atom_label(i) /= 100;
    CONST.I(konst::kAtomCount) = 4;
    EMAP.I(emap::kPeaksKept) = EMAP.I(emap::kContentPeaks) = 4;
    pass(0, 1, nref, 2);
    const float r_direct = EMAP.R(emap::kR);

    peaks(structure());
    stage_reflections(model.refl);
    EMAP.I(emap::kFragmentFlag) = -41;
    int icyc = 2;
    SFTRA(icyc, nref, stage::A2_array());
    const float r_fragment = EMAP.R(emap::kR);
    EXPECT_FLOAT_EQ(r_fragment, r_direct);
    EXPECT_LT(r_fragment, 0.05f);  // the true structure, one B for all
    // In a later cycle the same atoms are weighted peaks of one species.
    peaks(structure());
    stage_reflections(model.refl);
    icyc = 3;
    SFTRA(icyc, nref, stage::A2_array());
    EXPECT_GT(std::fabs(EMAP.R(emap::kR) - r_fragment), 0.002f);
}

TEST_F(Steps, StepBDropsWeakPeaksBeyondTheContentsAtLowR) {
    // Beyond the four atoms the contents hold, peak 5 has weight
    // R^(1/3) 500 / mean(600, 590): 0.084 at R = 0.001, 0.56 at R = 0.3;
    // peak 6 is too low in both.
    struct Case {
        float r;
        bool fifth_kept;
    } cases[] = {{0.001f, false}, {0.3f, true}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.r);
        std::vector<Peak> p = structure();
        p.push_back({101, 0.47f, 0.93f, 0.71f, 500.0f, 1.0f});
        p.push_back({101, 0.93f, 0.47f, 0.21f, 100.0f, 1.0f});
        peaks(p);
        stage_reflections(model.refl);
        EMAP.R(emap::kInvScale) = 1.0f;
        EMAP.I(emap::kStepB) = 1;  // the first step-B cycle: no match with list 30
        EMAP.R(emap::kR) = k.r;
        EMAP.I(emap::kContentPeaks) = 6;  // no ghosts dropped by the least squares
        EMAP.I(emap::kPeaksKept) = 6;
        int icyc = 6;
        SFTRB(icyc, nref, stage::A2_array());
        EXPECT_EQ(atom_label(5) != 0, k.fifth_kept);
        EXPECT_EQ(atom_label(6), 0);
        const std::vector<int> want = {100 * o() + 1, 100 * n() + 1, 100 * c() + 1, 100 * c() + 1};
        for (int i = 1; i <= 4; ++i) {
            EXPECT_EQ(atom_label(i), want[i - 1]) << i;
            EXPECT_FLOAT_EQ(atom_coord(i, 5), 1.0f);  // occupancies restored
        }
        EXPECT_FLOAT_EQ(atom_coord(5, 5), 1.0f);
        EXPECT_EQ(EMAP.I(emap::kCycles), 5);
        EXPECT_LT(EMAP.R(emap::kR), 0.1f);
    }
}

TEST_F(Steps, StepCStoresWeightedOccupanciesAndSpeciesLabels) {
    std::vector<Peak> p = structure();
    p.push_back({101, 0.47f, 0.93f, 0.71f, 500.0f, 1.0f});
    peaks(p);
    EMAP.I(emap::kStepB) = 1;  // the first restarted cycle: labels as listed
    EMAP.I(emap::kNextAction) = 1;
    EMAP.R(emap::kR) = 0.3f;
    EMAP.I(emap::kContentPeaks) = 5;  // no ghosts dropped by the least squares
    int icyc = 8;
    SFTRC(icyc, nref, stage::A2_array());
    const std::vector<int> want = {100 * o(), 100 * n(), 100 * c(), 100 * c(), 100 * c()};
    EXPECT_EQ(labels(5), want);
    for (int i = 1; i <= 4; ++i) EXPECT_FLOAT_EQ(atom_coord(i, 5), 1.0f);
    // The peak beyond the contents keeps its weight as its occupancy.
    const double w = std::cbrt(0.3) * 2.0 / (600.0 + 590.0) * 500.0;
    EXPECT_NEAR(atom_coord(5, 5), w, 1e-5);
    EXPECT_EQ(EMAP.I(emap::kCycles), 7);
    int n = 0, start = 1, set = 0, bonds = 0;
    SFL15(n, start, set, bonds);
    EXPECT_NEAR(atom_coord(5, 5), w, 1e-5);
}

}  // namespace
}  // namespace zanek::test
