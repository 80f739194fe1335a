// The window driver's graphics operation codes: what each draws, the
// arguments GRAPHS normalises, the menu-redraw flag, hard-copy circles,
// the legend, and the stop at an unknown code.
#include <gtest/gtest.h>

#include "graphics/screens.h"
#include "platform/stop.h"
#include "tests/graphics/test_window_fixture.h"

namespace zanek::test {
namespace {

using WindowOps = WindowTest;

TEST_F(WindowOps, OpeningLaysOutNameBoxTitleStripAndTitle) {
    // Title strip and name box in cyan with their bevels, the drawing area black.
    EXPECT_EQ(s().get(75, 17), 3);   // name box face
    EXPECT_EQ(s().get(200, 17), 3);  // title strip face
    EXPECT_EQ(s().get(200, 20), 8);  // the shadow of the raised bevel
    EXPECT_EQ(s().get(82, 1), 11);   // its light side
    EXPECT_EQ(s().count(81, 21, 639, 479, 0), (639 - 81 + 1) * (479 - 21 + 1));
    EXPECT_GT(s().count(4, 4, 60, 14, 4), 20);    // "  ZANEK" in red
    EXPECT_GT(s().count(84, 4, 170, 14, 4), 20);  // the title in red
    EXPECT_EQ(contr_title().substr(0, 10), "test title");
    EXPECT_EQ(XWI.menu_redraw, 1);
    EXPECT_FLOAT_EQ(SCALE.R(scalew::kMenuWidth), 80.0f);
    EXPECT_FLOAT_EQ(SCALE.R(scalew::kTitleHeight), 20.0f);
    EXPECT_EQ(qwin::frame_window().menus, 0);
    EXPECT_EQ(qwin::frame_window().width, 640);
    EXPECT_EQ(qwin::frame_window().height, 480);
}

TEST_F(WindowOps, GraphsZeroesTheCountOfOpsThatTakeNone) {
    for (int code : {0, 2, 3, 6, 7, 8, 12}) EXPECT_EQ(op(code, 7, "", 1), 0) << "op " << code;
    for (int code : {9, 10, 11, 15, 16, 17, -1}) EXPECT_EQ(op(code, 4, "ab", 1), 4) << "op " << code;
}

TEST_F(WindowOps, NothingOpsDrawNothing) {
    op(gop::kClearBelowTitle);
    const auto before = s().pixels();
    for (int code : {-1, 0, 8, 17}) op(code, 5, "some text", 3);
    EXPECT_EQ(s().pixels(), before);
    XWIN(nullptr, nullptr, 0, 17, "    ", 0);  // the main program's last call
    EXPECT_EQ(s().pixels(), before);
}

TEST_F(WindowOps, UnknownOpCodesStopWithXwin) {
    for (int code : {4, -2, 18, 1000}) {
        try {
            op(code);
            ADD_FAILURE() << "op " << code << " did not stop";
        } catch (const ZanekStop& e) {
            EXPECT_EQ(e.text, "xwin");
        }
    }
}

TEST_F(WindowOps, LinesNearTheMenuColumnOrTitleStripAskForAMenuRedraw) {
    struct Case {
        int x1, y1, x2, y2, flag;
    };
    const Case cases[] = {{80, 100, 300, 100, 1}, {300, 100, 80, 200, 1}, {81, 100, 300, 200, 0},
                          {200, 20, 300, 300, 1}, {200, 21, 300, 300, 0}, {200, 300, 300, 20, 1}};
    for (const Case& c : cases) {
        XWI.menu_redraw = 0;
        op(gop::kColour, 0, "", 10);
        bx[0] = c.x1, by[0] = c.y1, bx[1] = c.x2, by[1] = c.y2;
        op(gop::kLine);
        EXPECT_EQ(XWI.menu_redraw, c.flag) << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2;
        EXPECT_EQ(s().get(c.x1, c.y1), 10);
        EXPECT_EQ(s().get(c.x2, c.y2), 10);
    }
}

TEST_F(WindowOps, OnlyTheLow16BitsOfCoordinatesCount) {
    op(gop::kColour, 0, "", 12);
    bx[0] = 65536 + 200, by[0] = 65536 * 3 + 100, bx[1] = 210, by[1] = 100;
    op(gop::kLine);
    EXPECT_EQ(s().count(200, 100, 210, 100, 12), 11);
}

TEST_F(WindowOps, TextLineClearsItsBandAndWritesAtTheMarginPlusX) {
    SCREEN.I(screenw::kLineSpacing) = 23;
    op(gop::kColour, 0, "", 15);
    bx[0] = 100, by[0] = 60;
    s().rectangle(81, 55, 639, 100, 9, true);  // something to be cleared
    op(gop::kText, 5, "HELLO world");
    EXPECT_EQ(s().count(180, 60, 639, 60 + 18, 9), 0);  // band y 60..78 cleared from x 180
    EXPECT_EQ(s().get(179, 70), 9);                     // left of the text untouched
    EXPECT_EQ(s().get(300, 79), 9);                     // below the band untouched
    EXPECT_GT(s().count(180, 60, 219, 69, 15), 30);     // "HELLO"
    EXPECT_EQ(s().count(220, 60, 639, 78, 15), 0);      // only N = 5 characters
}

TEST_F(WindowOps, TextBelowTheWindowGoesToTheBottomLine) {
    SCREEN.I(screenw::kLineSpacing) = 23;
    op(gop::kColour, 0, "", 14);
    bx[0] = 10, by[0] = 600;
    op(gop::kText, 1, "X");
    EXPECT_GT(s().count(90, 472, 97, 479, 14), 0);  // written at y = H - 7 = 472
    EXPECT_EQ(s().count(90, 400, 97, 471, 14), 0);
}

TEST_F(WindowOps, NegativeXAddsTheArrowAndClearsTheMenuColumn) {
    SCREEN.I(screenw::kLineSpacing) = 23;
    s().rectangle(0, 21, 80, 479, 6, true);
    op(gop::kColour, 0, "", 2);
    bx[0] = -4, by[0] = 100;
    op(gop::kText, 3, "abc");
    EXPECT_EQ(s().count(0, 21, 80, 479, 6), 0);
    // Arrow from x 54 to 77 (a = 84 - 30), y 100..116, text from x 84.
    EXPECT_EQ(s().get(54, 105), 2);
    EXPECT_EQ(s().get(77, 108), 2);
    EXPECT_EQ(s().get(53, 108), 0);
    EXPECT_EQ(s().get(78, 108), 0);
    EXPECT_EQ(s().get(60, 108), 2);  // filled
    EXPECT_GT(s().count(84, 100, 107, 109, 2), 10);
}

TEST_F(WindowOps, CirclesOfDiameterNAndTwiceAsWideInHardCopy) {
    op(gop::kClearBelowTitle);
    op(gop::kColour, 0, "", 13);
    bx[0] = 200, by[0] = 200;
    op(gop::kCircle, 9);  // radius 4: box (200, 200)-(208, 208)
    EXPECT_EQ(s().get(204, 200), 13);
    EXPECT_EQ(s().get(204, 208), 13);
    EXPECT_EQ(s().get(200, 204), 13);
    EXPECT_EQ(s().get(208, 204), 13);
    EXPECT_EQ(s().count(209, 190, 230, 220, 13) + s().count(180, 209, 230, 220, 13), 0);
    op(gop::kClearBelowTitle);
    XWI.hardcopy = 1;
    op(gop::kDisc, 9);  // box (196, 200)-(212, 208): 16 wide, 8 high
    EXPECT_EQ(s().get(196, 204), 13);
    EXPECT_EQ(s().get(212, 204), 13);
    EXPECT_EQ(s().get(204, 204), 13);
    EXPECT_EQ(s().get(195, 204), 0);
    EXPECT_EQ(s().get(213, 204), 0);
    EXPECT_EQ(s().get(204, 209), 0);
    XWI.hardcopy = 0;
}

TEST_F(WindowOps, CircleAtTheMenuColumnAsksForAMenuRedraw) {
    struct Case {
        int x, y, flag;
    };
    for (const auto [x, y, flag] : {Case{80, 100, 1}, Case{81, 100, 0}, Case{200, 20, 1}, Case{200, 21, 0}}) {
        XWI.menu_redraw = 0;
        bx[0] = x, by[0] = y;
        op(gop::kCircle, 6);
        EXPECT_EQ(XWI.menu_redraw, flag) << x << "," << y;
    }
}

TEST_F(WindowOps, ClearingTheDrawingAreaIsSkippedInHardCopyModeButBelowTheTitleIsNot) {
    s().rectangle(0, 0, 639, 479, 5, true);
    XWI.hardcopy = 1;
    op(gop::kClearDrawing);
    EXPECT_EQ(s().count(81, 21, 639, 479, 5), (639 - 80) * (479 - 20));
    op(gop::kClearBelowTitle);
    EXPECT_EQ(s().count(0, 21, 639, 479, 5), 0);
    XWI.hardcopy = 0;
    s().rectangle(0, 0, 639, 479, 5, true);
    op(gop::kClearDrawing);
    EXPECT_EQ(s().count(81, 21, 639, 479, 5), 0);
    EXPECT_EQ(s().count(0, 21, 80, 479, 5), 80 * (479 - 20) + (479 - 20));  // menu column kept
    EXPECT_EQ(s().count(0, 0, 639, 20, 5), 640 * 21);                      // title strip kept
}

TEST_F(WindowOps, PolygonsUseTheirOwnColourAndKeepTheCurrentOne) {
    op(gop::kClearBelowTitle);
    op(gop::kColour, 0, "", 9);
    const int pts[][2] = {{200, 200}, {240, 200}, {240, 230}, {200, 230}};
    for (int i = 0; i < 4; ++i) bx[i] = pts[i][0], by[i] = pts[i][1];
    op(gop::kPolygon, 4, "", 12);
    EXPECT_EQ(s().get(220, 200), 12);
    EXPECT_EQ(s().get(220, 215), 0);
    op(gop::kFilledPolygon, 4, "", 6);
    EXPECT_EQ(s().count(200, 200, 240, 230, 6), 41 * 31);
    EXPECT_EQ(XWI.colour, 9);
    op(gop::kFilledPolygon, 500, "", 6);  // more than the 100 points of the buffer: no overrun
}

TEST_F(WindowOps, MessageLineClearsAndWritesFromBottomMinus13) {
    s().rectangle(81, 440, 639, 479, 5, true);
    op(gop::kColour, 0, "", 14);
    op(gop::kMessage, 6, "R = 12.5%  and more");
    EXPECT_EQ(s().count(81, 466, 639, 479, 5), 0);  // from H - 13
    EXPECT_EQ(s().get(200, 465), 5);
    EXPECT_GT(s().count(81, 466, 81 + 47, 475, 14), 20);
    EXPECT_EQ(s().count(81 + 48, 466, 639, 479, 14), 0);
}

TEST_F(WindowOps, LegendTakesTwoLetterSymbolsAtEveryThirdColumn) {
    op(gop::kLegend, 4, "C  H  N  O  ");
    EXPECT_EQ(XWI.nspecies, 4);
    EXPECT_EQ(XWI.species[0], "C ");
    EXPECT_EQ(XWI.species[1], "H ");
    EXPECT_EQ(XWI.species[3], "O ");
    op(gop::kLegend, 0, "Br+Cl");
    EXPECT_EQ(XWI.nspecies, 0);
    EXPECT_EQ(XWI.species[0], "C ");  // the old symbols stay
    op(gop::kLegend, 2, "Br+Cl");
    EXPECT_EQ(XWI.species[0], "Br");
    EXPECT_EQ(XWI.species[1], "Cl");
    op(gop::kLegend, 12, "C  H  N  O  S  P  Cl Br Fe Cu ");  // at most 8 entries
    EXPECT_EQ(XWI.nspecies, 8);
    EXPECT_EQ(XWI.species[7], "Br");
}

TEST_F(WindowOps, TitleStripRedrawShowsTheStoredTitleAndResetsTheButtonColour) {
    s().rectangle(81, 0, 639, 20, 0, true);
    CMENU.button_colour = 7;
    set_contr_title("another title");
    op(gop::kTitleStrip);
    EXPECT_GT(s().count(81, 0, 639, 20, 3), 8000);
    EXPECT_GT(s().count(84, 4, 84 + 13 * 8, 14, 4), 40);
    EXPECT_EQ(CMENU.button_colour, 3);
}

TEST_F(WindowOps, TextsAreShownUpToSeventyNineCharacters) {
    SCREEN.I(screenw::kLineSpacing) = 23;
    op(gop::kColour, 0, "", 15);
    bx[0] = 0, by[0] = 100;
    const std::string full(90, 'M');
    op(gop::kText, 80, full);  // the 80th character is replaced by a NUL
    // Characters 1-79 from x 80: the 79th cell ends at x 80 + 79*8 - 1 = 711,
    // beyond the 640-pixel screen but inside the window's picture.
    EXPECT_GT(s().count(80 + 78 * 8, 100, 80 + 79 * 8 - 1, 109, 15), 0);
    EXPECT_EQ(s().count(80 + 79 * 8, 100, 80 + 80 * 8, 109, 15), 0);
}

TEST(StartupHook, ShapesTheFrameAndReturnsTrue) {
    qwin::frame_window() = qwin::FrameWindow();
    EXPECT_TRUE(INITIALSETTINGS());
    EXPECT_EQ(qwin::frame_window().menus, 0);
    EXPECT_FALSE(qwin::frame_window().status_bar);
    EXPECT_EQ(qwin::frame_window().x, 0);
    EXPECT_EQ(qwin::frame_window().y, 0);
    EXPECT_EQ(qwin::frame_window().width, 640);
    EXPECT_EQ(qwin::frame_window().height, 480);
}

}  // namespace
}  // namespace zanek::test
