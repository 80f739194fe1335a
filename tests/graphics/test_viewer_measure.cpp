// Measurements of the viewer against hand-computed geometry: distances,
// the neighbour list and its paging, bond angles, torsion angles, wrong
// selections; the atom table and the bar chart of the heights.
#include <gtest/gtest.h>

#include <cmath>

#include "graphics/viewer/viewer_internal.h"
#include "jobcontrol/records/atoms.h"
#include "test_viewer_fixture.h"

namespace zanek::test {
namespace {

class Measure : public ViewerSurfaceTest {
protected:
    // C1 (0,0,0), C2 (1.5,0,0), C3 (1.5,1.5,0), C4 = C3 + 1.5 (-cos 60, 0,
    // sin 60), C5 = C2 + 1.5 (cos 60, -sin 60, 0):
    //   C1-C2 1.5 A; C1-C2-C5 120 degrees; C1-C2-C3 90 degrees;
    //   torsion C1-C2-C3-C4 60 degrees: seen along C2-C3 (y), C2->C1 is -x
    //   and C3->C4 lies 60 degrees from -x.
    void SetUp() override {
        ViewerSurfaceTest::SetUp();
        const float c60 = 0.5f, s60 = 0.8660254f;
        entry(1, 0, 0, 0, 0.2f, 1, "C1");
        entry(2, 1.5f, 0, 0, 0.2f, 1, "C2");
        entry(3, 1.5f, 1.5f, 0, 0.2f, 1, "C3");
        entry(4, 1.5f - 1.5f * c60, 1.5f, 1.5f * s60, 0.2f, 1, "C4");
        entry(5, 1.5f + 1.5f * c60, -1.5f * s60, 0, 0.2f, 1, "C5");
        ATOMI.n1 = 5;
        GENERAC.n1_kept = 5;
        fit();
    }
    // Picks at the pixel centres of the entries (0: empty space), ended by -1.
    static void picks(std::initializer_list<int> entries) {
        int k = 0;
        for (int e : entries) {
            viewer::px_buffer()[k] = e > 0 ? ATOMI.px[e] : 600;
            viewer::py_buffer()[k] = e > 0 ? ATOMI.py[e] : 40;
            ++k;
        }
        viewer::px_buffer()[k] = -1;
        viewer::py_buffer()[k] = -1;
    }
    static std::string message() { return MESS.text.substr(0, MESS.length); }
};

TEST_F(Measure, DistanceBetweenTwoAtoms) {
    picks({1, 2});
    DISTANCE();
    EXPECT_EQ(MESS.text.substr(0, 32), " Distance C1   - C2    =  1.5000");
    EXPECT_EQ(MESS.length, 35);
    EXPECT_EQ(MESS.pending, 0);  // shown at once
    // The next wait goes straight back to picking two atoms.
    EXPECT_EQ(XWI.pending_action, 31);
    EXPECT_EQ(XWI.pending_geometry, 52);
    EXPECT_EQ(XWI.menu_redraw, 0);

    picks({4, 5});
    DISTANCE();
    // C4-C5: (1.5, 1.5 + 1.299, 1.299) -> sqrt(11.7721) = 3.4311
    EXPECT_EQ(MESS.text.substr(0, 32), " Distance C4   - C5    =  3.4311");
    picks({3, 3});
    DISTANCE();
    EXPECT_EQ(MESS.text.substr(0, 32), " Distance C3   - C3    =  0.0000");
}

TEST_F(Measure, WrongSelectionsAreReportedAndLeftPending) {
    picks({0, 1});
    DISTANCE();
    EXPECT_EQ(message(), std::string(" Sorry ....   Wrong selection !") + "    ");
    EXPECT_EQ(MESS.pending, 1);
    struct Case {
        bool angle;
        std::initializer_list<int> p;
    } cases[] = {{true, {1, 2, 1}}, {true, {1, 2}}, {true, {2, 2, 3}},
                 {false, {1, 2, 2, 3}}, {false, {1, 2, 3}}, {false, {1, 0, 2, 3, 4}}};
    for (const Case& c : cases) {
        MESS.text = std::string(80, ' ');
        picks(c.p);
        if (c.angle)
            CALCANGLE();
        else
            TORSANGLE();
        EXPECT_EQ(MESS.text.substr(0, 31), " Sorry ....   Wrong selection !");
        EXPECT_EQ(MESS.pending, 1);
    }
}

TEST_F(Measure, BondAngles) {
    picks({1, 2, 5});
    CALCANGLE();
    EXPECT_EQ(message(), std::string(" Angle C1   - C2   - C5    =  120.0") + "   ");
    EXPECT_EQ(MESS.pending, 1);
    EXPECT_EQ(XWI.pending_geometry, 53);
    // A pick in empty space is passed over.
    picks({1, 0, 2, 3});
    CALCANGLE();
    EXPECT_EQ(MESS.text.substr(0, 35), " Angle C1   - C2   - C3    =   90.0");
}

TEST_F(Measure, TorsionAnglesAreUnsigned) {
    picks({1, 2, 3, 4});
    TORSANGLE();
    EXPECT_EQ(MESS.text.substr(0, 49), " Torsion angle C1   - C2   - C3   - C4    =  60.0");
    EXPECT_EQ(MESS.length, 50);
    EXPECT_EQ(XWI.pending_geometry, 54);
    // The mirror conformation gives the same value.
    ATOMI.r[4][2] = -ATOMI.r[4][2];
    TORSANGLE();
    EXPECT_EQ(MESS.text.substr(0, 49), " Torsion angle C1   - C2   - C3   - C4    =  60.0");
    // a1, a2, a3, a1 is accepted: b3 = C1 - C3.
    picks({1, 2, 3, 1});
    TORSANGLE();
    EXPECT_EQ(MESS.text.substr(0, 43), " Torsion angle C1   - C2   - C3   - C1    =");
}

TEST_F(Measure, NeighbourListPagesAndWraps) {
    // C2 and empty space: its neighbours within 1.5 x 1.84 A in atom order:
    // C1 1.5, C3 1.5, C4 2.1213, C5 1.5.
    picks({2, 0});
    mouse_script().set({button_centre(menurow::kListDown), button_centre(menurow::kListUp),
                        button_centre(menurow::kListUp), button_centre(menurow::kListCancel)});
    DISTANCE();
    EXPECT_EQ(mouse_script().remaining(), 0);
    // Down to 2, up to 1, up again wraps to 4.
    EXPECT_EQ(MESS.text.substr(0, 36), "  4 /  4) Dist. C2   - C5   = 1.5000");
    EXPECT_EQ(MESS.length, 38);

    // An atom far from all others lists its nearest one alone: C3 at
    // (20,0,0) and C5: sqrt(17.75^2 + 1.299^2) = 17.7975.
    ATOMI.r[3] = {20.0f, 0.0f, 0.0f};
    fit();
    picks({3});
    mouse_script().set({button_centre(menurow::kListCancel)});
    DISTANCE();
    EXPECT_EQ(MESS.text.substr(0, 36), "  1 /  1) Dist. C3   - C5   =17.7975");
}

TEST_F(Measure, CoincidentAtomsMakeNoAngle) {
    // Two different atoms at one place (a misplaced peak): no angle and no
    // torsion can be formed, instead of a division by zero.
    ATOMI.r[5] = ATOMI.r[2];
    fit();
    ATOMI.px[5] += 30;  // picked apart on the screen
    picks({1, 2, 5});
    CALCANGLE();
    EXPECT_EQ(MESS.text.substr(0, 31), " Sorry ....   Wrong selection !");
    picks({1, 2, 5, 3});
    TORSANGLE();
    EXPECT_EQ(MESS.text.substr(0, 31), " Sorry ....   Wrong selection !");
}

TEST_F(Measure, AtomWithoutNeighboursGivesTheWrongSelectionText) {
    for (int i = 2; i <= 5; ++i) ATOMI.radius[i] = -0.2f;
    picks({1});
    DISTANCE();
    EXPECT_EQ(MESS.text.substr(0, 31), " Sorry ....   Wrong selection !");
}

class Table : public ViewerSurfaceTest {
protected:
    // 60 model atoms of colour 1 with heights 100 k (atom 7 has none).
    void SetUp() override {
        ViewerSurfaceTest::SetUp();
        ATOMS.clear();
        for (int k = 1; k <= 60; ++k) {
            entry(k, 0.1f * k, 0, 0, 0.3f, 1, 'C' + std::to_string(k));
            atom_coord(k, 4) = k == 7 ? 0.0f : 100.0f * k;
            atom_b(k) = 2.5f;
        }
        ATOMI.n1 = 60;
        GENERAC.n1_kept = 60;
    }
    void TearDown() override {
        ATOMS.clear();
        EMAP.clear();
        ViewerSurfaceTest::TearDown();
    }
    // Pixels of colour c in the text band of the line at y.
    int band(int y, int c) { return s().count(81, y, 639, y + 9, c); }
};

TEST_F(Table, PagesOfThreeEntriesALine) {
    mouse_script().set({button_centre(menurow::kTableDown), button_centre(menurow::kTableCancel)});
    int key = -5;
    // First page: heading at y 50 in colour 10, lines at y 80, 105, ...,
    // 430 (15 lines, 45 entries); the line at 455 would pass H - 35 = 444.
    NUMTABLE(key);
    EXPECT_EQ(key, 0);
    EXPECT_EQ(mouse_script().remaining(), 0);
    // After " Down" the page holds entries 46-60: five lines from y 80.
    EXPECT_GT(band(50, 10), 20);
    EXPECT_GT(band(80, 7), 20);
    EXPECT_GT(band(180, 7), 20);
    EXPECT_EQ(band(205, 7), 0);
    // The list of the table is kept from point-buffer word 201.
    EXPECT_EQ(BUFFER.I(bufw::kAtomTable), 1);
    EXPECT_EQ(BUFFER.I(bufw::kAtomTable + 59), 60);
}

TEST_F(Table, FirstPageEndsAboveTheMessageLine) {
    mouse_script().set({button_centre(menurow::kTableCancel)});
    int key = -5;
    NUMTABLE(key);
    EXPECT_GT(band(430, 7), 20);
    EXPECT_EQ(band(455, 7), 0);
    EXPECT_EQ(key, 0);
}

TEST_F(Table, DeletedAtomsAreLeftOutHiddenOnesListed) {
    for (int k = 4; k <= 60; ++k) ATOMI.radius[k] = -20.0f;
    ATOMI.radius[2] = -0.3f;
    mouse_script().set({button_centre(menurow::kTableSwap)});
    int key = -5;
    NUMTABLE(key);
    EXPECT_EQ(key, 2);  // the user asked for the bar chart
    EXPECT_GT(band(80, 7), 20);
    EXPECT_EQ(band(105, 7), 0);
    EXPECT_EQ(BUFFER.I(bufw::kAtomTable + 2), 3);
}

TEST_F(Table, BarChartOfSixtyAtomsTakesTwoRows) {
    // 559 / 60 = 9 < 10: two rows of 30 bars, pitch 18, width 13; the first
    // row from y 30 down to 199 = (459 - 60) / 2, the second from 229 to 428.
    mouse_script().set({button_centre(menurow::kTableCancel)});
    int key = -5;
    HISTOGR(key);
    EXPECT_EQ(key, 0);
    // Atom 1: height 100 of 6000 -> nint(-169 / 60) = -3 pixels: y 196-199.
    EXPECT_EQ(s().get(90, 197), 1);
    EXPECT_EQ(s().get(98, 197), 1);
    EXPECT_NE(s().get(99, 197), 1);
    // Atom 2 stands 18 pixels further right.
    EXPECT_EQ(s().get(103, 198), 1);
    EXPECT_NE(s().get(102, 198), 1);
    // Atom 30: nint(-169 / 2) = -85 (halves away from zero): top at y 114.
    const int x30 = 85 + 29 * 18;
    EXPECT_EQ(s().get(x30 + 5, 115), 1);
    EXPECT_NE(s().get(x30 + 5, 112), 1);
    // Atom 7 (height 0) shows a stub of 3 % of the row: trunc(199 - 5.07) = 193.
    const int x7 = 85 + 6 * 18;
    EXPECT_EQ(s().get(x7 + 5, 194), 1);
    EXPECT_NE(s().get(x7 + 5, 191), 1);
    // Atom 31 opens the second row: nint(-199 * 3100 / 6000) = -103 -> y 325.
    EXPECT_EQ(s().get(90, 330), 1);
    EXPECT_NE(s().get(90, 322), 1);
    // The baselines in colour 7.
    EXPECT_EQ(s().get(300, 199), 7);
    EXPECT_EQ(s().get(300, 428), 7);
}

// Bars of colour 1 crossing the line at y: runs of colour 1 from x 81 to W.
int bars_on(const Surface& s, int y) {
    int runs = 0;
    for (int x = 81; x <= 639; ++x) runs += s.get(x, y) == 1 && s.get(x - 1, y) != 1;
    return runs;
}

// For every count of atoms the list can hold, the chart keeps all its bars
// inside the window: one row while the pitch is 10 pixels or more, else two
// rows, the first with the larger half.
TEST_F(Table, EveryBarOfEveryAtomCountStaysInsideTheWindow) {
    for (int n = 1; n <= 200; ++n) {
        ATOMS.clear();
        for (int k = 1; k <= n; ++k) {
            entry(k, 0.1f * k, 0, 0, 0.3f, 1, 'C' + std::to_string(k));
            atom_coord(k, 4) = 100.0f * k;
        }
        ATOMI.n1 = n;
        GENERAC.n1_kept = n;
        s().clear();
        mouse_script().set({button_centre(menurow::kTableCancel)});
        int key = -5;
        HISTOGR(key);
        EXPECT_EQ(key, 0);
        EXPECT_EQ(s().count_drawn(640, 0, s().width() - 1, s().height() - 1), 0) << n << " atoms";
        // (Row 480 holds the lower outline of the bottom-line buttons.)
        EXPECT_EQ(s().count_drawn(0, 481, s().width() - 1, s().height() - 1), 0) << n << " atoms";
        EXPECT_EQ(s().count(0, 21, 80, 479, 1), 0) << n << " atoms";  // none in the menu column
        const bool one_row = 554 / n >= 10;
        EXPECT_EQ(bars_on(s(), one_row ? 448 : 198), one_row ? n : n - n / 2) << n << " atoms";
        if (!one_row) {
            EXPECT_EQ(bars_on(s(), 427), n / 2) << n << " atoms";
        }
    }
}

// Heights below a negative largest one are cut at the top of the row.
TEST_F(Table, BarsOfNegativeHeightsStayInTheirRow) {
    for (int k = 1; k <= 60; ++k) atom_coord(k, 4) = -100.0f * k;
    mouse_script().set({button_centre(menurow::kTableCancel)});
    int key = -5;
    HISTOGR(key);
    EXPECT_EQ(s().count(81, 0, 639, 29, 1), 0);     // above the first row's top
    EXPECT_EQ(s().count(81, 200, 639, 228, 1), 0);  // between the rows
    EXPECT_GT(s().count(81, 30, 639, 199, 1), 0);
}

TEST_F(Table, EmptyChartAndTableDoNotDivideByZero) {
    for (int k = 1; k <= 60; ++k) ATOMI.radius[k] = -20.0f;
    mouse_script().set({button_centre(menurow::kTableCancel), button_centre(menurow::kTableCancel)});
    int key = -5;
    HISTOGR(key);
    EXPECT_EQ(key, 0);
    NUMTABLE(key);
    EXPECT_EQ(key, 0);
    EXPECT_EQ(band(80, 7), 0);
}

}  // namespace
}  // namespace zanek::test
