// The six plot styles on the drawing surface: every style paints the model,
// each with its own look (bond halves in the bright atom colours, small
// balls, labelled rings, filled balls with a highlight, lit spheres), bonds
// along the line of sight and cell points, and the stroke font of labels.
#include <gtest/gtest.h>

#include "test_viewer_fixture.h"

namespace zanek::test {
namespace {

class Styles : public ViewerSurfaceTest {
protected:
    // C1 (colour 1) and O2 (colour 3) 1.5 A apart with a bond, a peak Q3,
    // and one cell point (generated entry 4) bonded to entry 5.
    void SetUp() override {
        ViewerSurfaceTest::SetUp();
        entry(1, 0, 0, 0, 0.4f, 1, "C1");
        entry(2, 1.5f, 0, 0.2f, 0.4f, 3, "O2");
        entry(3, 0.8f, 1.5f, -0.2f, 0.4f, 7, "Q3");
        entry(4, -0.8f, -1.5f, 0, 0.01f, 7, "");
        entry(5, 2.2f, -1.5f, 0, 0.01f, 7, "");
        ATOMI.n1 = 3;
        ATOMI.n2 = 2;
        bond(1, 2);
        bond(4, 5);
        CRT.reserve = 1;
        fit();
    }
    void draw(int style) {
        CRT.style = style;
        ANGTOPIX();
        if (style <= 2)
            STICKSORD();
        else
            BALLS();
        for (int b = 1; b <= CRT.nbonds; ++b) CRT.bond_a[b] = std::abs(CRT.bond_a[b]);
        for (int i = 1; i <= ATOMI.count(); ++i) ATOMI.mark[i] = 0.0f;
    }
    int colour_count(int c) { return s().count(81, 21, 639, 479, c); }
    int centre(int e) { return s().get(ATOMI.px[e], ATOMI.py[e]); }
};

TEST_F(Styles, EveryStylePaintsTheModel) {
    for (int style = 1; style <= 6; ++style) {
        s().clear(0);
        draw(style);
        EXPECT_GT(drawn(), 30) << "style " << style;
        // The bonds' processed marks are undone after every pass.
        EXPECT_GT(CRT.bond_a[1], 0);
    }
}

TEST_F(Styles, SticksDrawBondHalvesInTheBrightAtomColours) {
    draw(1);
    EXPECT_GT(colour_count(9), 10);   // bright blue half of C1
    EXPECT_GT(colour_count(11), 10);  // bright cyan half of O2
    // An atom without bond is one dot in its bright colour; the cell point
    // is not drawn while the cell edges are off.
    EXPECT_EQ(centre(3), 15);
    EXPECT_EQ(colour_count(7), 0);
    // With the cell edges on, the cell bond is drawn too.
    CONTR.I(contr::kCellEdges) = 1;
    fit();
    s().clear(0);
    draw(1);
    EXPECT_GT(colour_count(15), 10);
}

TEST_F(Styles, SmallBallsOfStyleTwo) {
    draw(2);
    // The ball of radius 4 in the atom colour, a white dot up right of the
    // centre, and the black centre of a peak.
    EXPECT_EQ(s().get(ATOMI.px[1] - 2, ATOMI.py[1] + 2), 1);
    EXPECT_EQ(s().get(ATOMI.px[1] + 1, ATOMI.py[1] - 2), 15);
    EXPECT_EQ(centre(3), 0);
    EXPECT_EQ(s().get(ATOMI.px[3] + 3, ATOMI.py[3]), 7);
}

TEST_F(Styles, BallStylesLookAsDescribed) {
    // 3: a black ball with a bright ring and its label in colour 7.
    draw(3);
    const int r = ATOMI.pr[1];
    ASSERT_GT(r, 8);
    EXPECT_EQ(s().get(ATOMI.px[1] - r, ATOMI.py[1]), 9);  // the bond leaves to the right
    EXPECT_GT(colour_count(7), 10);
    // 4: a ball filled in the atom colour with a white highlight up right.
    s().clear(0);
    draw(4);
    EXPECT_EQ(s().get(ATOMI.px[1] - r / 2, ATOMI.py[1] + r / 2), 1);
    EXPECT_EQ(s().get(ATOMI.px[1] + r / 2, ATOMI.py[1] - r / 2), 15);
    // The peak's black centre mark.
    EXPECT_EQ(centre(3), 0);
    // 5: black ball, bright ring, highlight.
    s().clear(0);
    draw(5);
    EXPECT_EQ(s().get(ATOMI.px[2] - r / 2, ATOMI.py[2] + r / 2), 0);
    EXPECT_EQ(s().get(ATOMI.px[2] + r / 2, ATOMI.py[2] - r / 2), 15);
    EXPECT_GT(colour_count(11), 10);
    // 6: a bright disc with a crescent in the atom colour and a highlight.
    s().clear(0);
    draw(6);
    EXPECT_GT(colour_count(9), 20);
    EXPECT_GT(colour_count(1), 5);
    EXPECT_EQ(s().get(ATOMI.px[1] + r / 2, ATOMI.py[1] - r / 2), 15);
    // The bond bar between the balls, outlined in colour 2.
    EXPECT_GT(colour_count(2), 5);
}

TEST_F(Styles, BondAlongTheLineOfSightIsNotDrawnAsABar) {
    ATOMI.r[2] = {0.0f, 0.0f, 2.0f};  // right in front of C1
    fit();
    draw(5);
    EXPECT_EQ(colour_count(2), 0);
    // In the stick styles it is drawn between the two pixel positions.
    s().clear(0);
    draw(1);
    EXPECT_GT(colour_count(9) + colour_count(11), 0);
}

TEST_F(Styles, CellBondsAreThinGreyLinesInTheBallStyles) {
    CONTR.I(contr::kCellEdges) = 1;
    fit();
    draw(4);
    const int y = ATOMI.py[4];
    int grey = 0;
    for (int x = ATOMI.px[4]; x <= ATOMI.px[5]; ++x) grey += s().get(x, y) == 7;
    EXPECT_GT(grey, 10);
    // Generated entries get no ball.
    EXPECT_NE(centre(4), 1);
}

TEST_F(Styles, StrokeFontLabels) {
    // "C1" at (100, 100) with scales 1: C is segments 1, 8, 3 (top, left,
    // bottom of a 4 x 4 cell); "1" starts 7 pixels on with its stem at x 2.
    LABELM("C1   ", 100, 100, 1.0f, 1.0f, 12);
    EXPECT_EQ(s().get(102, 96), 12);
    EXPECT_EQ(s().get(100, 98), 12);
    EXPECT_EQ(s().get(102, 100), 12);
    EXPECT_NE(s().get(104, 98), 12);  // C is open on the right
    EXPECT_EQ(s().get(109, 98), 12);
    // A character outside the alphabet leaves a gap of one cell.
    LABELM("C*1  ", 200, 100, 1.0f, 1.0f, 12);
    EXPECT_EQ(s().get(216, 98), 12);
    EXPECT_EQ(s().count(207, 94, 212, 101, 12), 0);
    // Blanks draw nothing.
    LABELM("     ", 300, 100, 2.0f, 2.0f, 12);
    EXPECT_EQ(s().count(290, 80, 340, 110, 12), 0);
}

}  // namespace
}  // namespace zanek::test
