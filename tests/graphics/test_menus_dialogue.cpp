// The menu dialogue of graphics op 5: scripted click sequences and the
// viewer action codes, picks and labels they give.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>

#include "platform/bitmap.h"
#include "tests/graphics/test_window_fixture.h"
#include "tests/support/test_support.h"

namespace zanek::test {
namespace {

using Dialogue = WindowTest;
using Clicks = std::vector<std::pair<int, int>>;

constexpr std::pair<int, int> kAtom1{300, 200}, kAtom2{350, 220}, kAtom3{400, 260}, kAtom4{420, 300};

TEST_F(Dialogue, MainMenuButtonsAnswerTheirCodes) {
    // Quit, styles, rotations, translations, Refine and Complete come back as they are.
    for (int row : {10, 11, 16, 17, 22, 23, 28, 37, 38}) {
        XWI.menu_redraw = 1;
        clicks({centre(row)});
        EXPECT_EQ(wait(menugroup::kMain), row - 10) << "row " << row;
    }
}

TEST_F(Dialogue, ClicksOffTheButtonsAreIgnored) {
    XWI.menu_redraw = 1;
    clicks({{300, 300}, {40, 30} /* a heading */, {5, 40} /* between two rows */, centre(37)});
    EXPECT_EQ(wait(menugroup::kMain), vac::kRefine);
    EXPECT_EQ(mouse_script().remaining(), 0);
}

struct Sequence {
    const char* what;
    Clicks clicks;
    int code;
};
void PrintTo(const Sequence& q, std::ostream* os) { *os << q.what; }

class DialogueSequences : public WindowTest, public ::testing::WithParamInterface<Sequence> {};

TEST_P(DialogueSequences, GiveTheirActionCode) {
    const Sequence& q = GetParam();
    XWI.menu_redraw = 1;
    clicks(q.clicks);
    EXPECT_EQ(wait(menugroup::kMain), q.code) << q.what;
    EXPECT_EQ(mouse_script().remaining(), 0) << q.what;
    EXPECT_EQ(CMENU.first_shown, 1) << q.what;  // every way out restores the main menu
    EXPECT_EQ(CMENU.last_shown, 41) << q.what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, DialogueSequences,
    ::testing::Values(
        Sequence{"Delete, two atoms, Done", {row_centre(32), kAtom1, kAtom2, row_centre(47)}, 22},
        Sequence{"Delete, Cancel, then Quit", {row_centre(32), row_centre(48), row_centre(10)}, 0},
        Sequence{"Select, To delete, polygon", {row_centre(33), row_centre(42), kAtom1, kAtom2, kAtom3, row_centre(47)}, -23},
        Sequence{"Select, To hide, polygon", {row_centre(33), row_centre(43), kAtom1, kAtom2, kAtom3, row_centre(47)}, 23},
        Sequence{"Select, To display, polygon", {row_centre(33), row_centre(44), kAtom1, kAtom2, kAtom3, row_centre(47)}, 223},
        Sequence{"Select, Show all", {row_centre(33), row_centre(45)}, 123},
        Sequence{"Select, Cancel, Complete", {row_centre(33), row_centre(46), row_centre(38)}, 28},
        Sequence{"Select, To hide, polygon cancelled, Regroup", {row_centre(33), row_centre(43), kAtom1, row_centre(48), row_centre(36)}, 26},
        Sequence{"View pl., Least squares", {row_centre(34), row_centre(49)}, 32},
        Sequence{"View pl., normal to L and M", {row_centre(34), row_centre(50)}, 33},
        Sequence{"View pl., More, Normal to B", {row_centre(34), row_centre(52), row_centre(55)}, 38},
        Sequence{"View pl., More, More, Most squares", {row_centre(34), row_centre(52), row_centre(57), row_centre(51)}, 34},
        Sequence{"View pl., More, Normal to C", {row_centre(34), row_centre(52), row_centre(56)}, 39},
        Sequence{"View pl., Cancel, Quit", {row_centre(34), row_centre(53), row_centre(10)}, 0},
        Sequence{"View pl., More, Cancel, style 2", {row_centre(34), row_centre(52), row_centre(58), row_centre(12)}, 2},
        Sequence{"Geometry, Distances, two atoms", {row_centre(41), row_centre(62), kAtom1, kAtom2}, 131},
        Sequence{"Geometry, Distances, one atom, Done", {row_centre(41), row_centre(62), kAtom1, row_centre(47)}, 131},
        Sequence{"Geometry, Angles, three atoms", {row_centre(41), row_centre(63), kAtom1, kAtom2, kAtom3}, 231},
        Sequence{"Geometry, Torsion, four atoms", {row_centre(41), row_centre(64), kAtom1, kAtom2, kAtom3, kAtom4}, 331},
        Sequence{"Geometry, More, Add Bonds, pairs, Done", {row_centre(41), row_centre(65), row_centre(67), kAtom1, kAtom2, row_centre(47)}, 631},
        Sequence{"Geometry, More, Delete Bonds, pair, Done", {row_centre(41), row_centre(65), row_centre(68), kAtom1, kAtom2, row_centre(47)}, 731},
        Sequence{"Geometry, More, Info", {row_centre(41), row_centre(65), row_centre(69)}, 831},
        Sequence{"Geometry, More, More, Angles", {row_centre(41), row_centre(65), row_centre(70), row_centre(63), kAtom1, kAtom2, kAtom3}, 231},
        Sequence{"Geometry, Cancel, Quit", {row_centre(41), row_centre(66), row_centre(10)}, 0},
        Sequence{"Geometry, Angles, Cancel, Refine", {row_centre(41), row_centre(63), kAtom1, row_centre(53), row_centre(37)}, 27},
        Sequence{"Relabel, Cancel, Quit", {row_centre(35), row_centre(53), row_centre(10)}, 0}));

TEST_F(Dialogue, DistancePicksEndWithMinusOne) {
    clicks({centre(41), centre(62), kAtom1, kAtom2});
    EXPECT_EQ(wait(menugroup::kMain), vac::kDistances);
    EXPECT_EQ(bx[0], kAtom1.first);
    EXPECT_EQ(by[1], kAtom2.second);
    EXPECT_EQ(bx[2], -1);
}

TEST_F(Dialogue, PolygonPicksComeBackClosed) {
    clicks({centre(33), centre(42), kAtom1, kAtom2, kAtom3, centre(47)});
    EXPECT_EQ(wait(menugroup::kMain), vac::kDeletePolygon);
    EXPECT_EQ(bx[3], kAtom1.first);
    EXPECT_EQ(bx[4], -1);
    EXPECT_EQ(by[4], -1);
}

TEST_F(Dialogue, PendingGeometryGoesStraightToPairPicking) {
    XWI.pending_action = button::kGeometry;
    XWI.pending_geometry = button::kAddBonds;
    XWI.menu_redraw = 1;
    s().rectangle(81, 459, 639, 479, 0, true);
    clicks({kAtom1, kAtom2, kAtom3, kAtom4, centre(47)});
    EXPECT_EQ(wait(menugroup::kMain), vac::kAddBonds);
    EXPECT_EQ(bx[3], kAtom4.first);
    EXPECT_EQ(bx[4], -1);
    EXPECT_EQ(mouse_script().remaining(), 0);
}

TEST_F(Dialogue, CancelOfPendingPicksClearsThePendingCodes) {
    XWI.pending_action = button::kGeometry;
    XWI.pending_geometry = button::kDistances;
    clicks({centre(48), centre(37)});
    EXPECT_EQ(wait(menugroup::kMain), vac::kRefine);  // Cancel, then the user picks Refine
    EXPECT_EQ(XWI.pending_action, 0);
    EXPECT_EQ(XWI.pending_geometry, 0);
}

TEST_F(Dialogue, PendingCodesThatLeadBackToTheWaitDoNotRepeat) {
    // A pending geometry code naming the Cancel button of the submenu: the
    // dialogue goes back to the wait, and the user then answers.
    XWI.pending_action = button::kGeometry;
    XWI.pending_geometry = 56;
    clicks({centre(38)});
    EXPECT_EQ(wait(menugroup::kMain), vac::kComplete);
    EXPECT_EQ(XWI.pending_action, 0);
}

TEST_F(Dialogue, RelabelTakesTheAtomAndTheSpeciesCell) {
    op(gop::kLegend, 3, "C  N  O  ");
    const int h = SCREEN.I(screenw::kHeight);
    clicks({centre(35), kAtom2, {300 + 35 * 2 + 12, h - 15}});
    EXPECT_EQ(wait(menugroup::kMain), vac::kRelabel);
    EXPECT_EQ(bx[0], kAtom2.first);
    EXPECT_EQ(by[0], kAtom2.second);
    EXPECT_EQ(by[1], 2);
    // The palette: cell i in colour i, the symbols written on them.
    EXPECT_EQ(s().get(300 + 35 * 3 + 12, h - 15), 3);
    EXPECT_GT(s().count(300 + 35 + 4, h - 23, 300 + 35 + 20, h - 13, 7), 5);  // "C" in colour 7 on cell 1
}

TEST_F(Dialogue, RelabelIgnoresClicksOffThePalette) {
    op(gop::kLegend, 2, "C  N  ");
    const int h = SCREEN.I(screenw::kHeight);
    clicks({centre(35), kAtom1, {200, 200}, {300 + 35 * 3 + 12, h - 15} /* no third cell */, {300 + 35 + 12, h - 15}});
    EXPECT_EQ(wait(menugroup::kMain), vac::kRelabel);
    EXPECT_EQ(by[1], 1);
}

TEST_F(Dialogue, RelabelWithoutALegendIsGivenUp) {
    XWI.nspecies = 0;
    clicks({centre(35), kAtom1, centre(10)});
    EXPECT_EQ(wait(menugroup::kMain), vac::kQuit);
    EXPECT_EQ(mouse_script().remaining(), 0);
}

TEST_F(Dialogue, TogglesSwapTheirLabels) {
    struct Case {
        int row, word, value;
        const char* label;
    };
    const Case cases[] = {{29, contr::kCellEdges, 0, "Edges off"}, {29, contr::kCellEdges, 1, "Edges on"},
                          {30, contr::kSymmetry, 0, "Symm  off"},  {30, contr::kSymmetry, 1, "Symm  on"},
                          {31, contr::kScaleMode, 3, "Scale off"}, {31, contr::kScaleMode, 1, "Scale on"}};
    for (const Case& c : cases) {
        CONTR.I(c.word) = c.value;
        clicks({centre(c.row)});
        EXPECT_EQ(wait(menugroup::kMain), c.row - 10);
        EXPECT_EQ(CMENU.label[c.row].substr(0, std::string(c.label).size()), c.label);
    }
}

TEST_F(Dialogue, WithoutARedrawTheLastGroupStillAnswers) {
    DRAWMENU(menugroup::kTablePage);  // "Cancel", "Bar  chart"
    XWI.menu_redraw = 0;
    clicks({centre(32) /* main-menu Delete, not on show */, centre(74)});
    EXPECT_EQ(wait(menugroup::kMain), vac::kPageCancel);
    EXPECT_EQ(mouse_script().remaining(), 0);
}

TEST_F(Dialogue, PagingGroupsAnswerUpDownCancelAndSwap) {
    struct Case {
        int group, row, code;
    };
    const Case cases[] = {{12, 72, -1}, {12, 73, 1}, {12, 74, 0}, {11, 76, -1}, {11, 77, 1}, {11, 78, 0}, {13, 74, 0}};
    for (const Case& c : cases) {
        XWI.menu_redraw = 1;
        clicks({centre(c.row)});
        EXPECT_EQ(wait(c.group), c.code) << "row " << c.row;
    }
    XWI.menu_redraw = 1;
    clicks({centre(75), centre(75)});
    EXPECT_EQ(wait(13), vac::kPageSwap);
    EXPECT_EQ(CMENU.label[75].substr(0, 10), "Num. Table");
    EXPECT_EQ(wait(13), vac::kPageSwap);
    EXPECT_EQ(CMENU.label[75].substr(0, 10), "Bar  chart");
}

TEST_F(Dialogue, TheEndScreenShowsOnlyQuit) {
    XWI.menu_redraw = 1;
    clicks({centre(37) /* Refine is not on show */, centre(10)});
    EXPECT_EQ(wait(menugroup::kQuitOnly), vac::kQuit);
    EXPECT_EQ(mouse_script().remaining(), 0);
}

TEST_F(Dialogue, WithoutAUserEveryWaitAnswersQuit) {
    clicks({});
    EXPECT_EQ(wait(menugroup::kMain), vac::kQuit);
    EXPECT_EQ(wait(menugroup::kQuitOnly), vac::kQuit);
    EXPECT_EQ(wait(menugroup::kTablePages), vac::kPageCancel);
    // A dialogue left half-way by the end of input: Geometry, Torsion, one atom.
    XWI.pending_action = button::kGeometry;
    XWI.pending_geometry = button::kAngles;
    clicks({kAtom1});
    EXPECT_EQ(wait(menugroup::kMain), vac::kQuit);
    EXPECT_EQ(XWI.pending_action, 0);
    EXPECT_EQ(XWI.pending_geometry, 0);
    EXPECT_EQ(CMENU.last_shown, 41);
}

TEST_F(Dialogue, RegroupSaysRunning) {
    clicks({centre(36)});
    EXPECT_EQ(wait(menugroup::kMain), vac::kRegroup);
    EXPECT_GT(s().count(85, 459, 85 + 23 * 8, 469, 14), 50);
}

class DialogueInFolder : public WindowTest {
protected:
    std::string dir, old;
    void SetUp() override {
        WindowTest::SetUp();
        dir = fresh_dir(std::string("dialogue_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        old = std::filesystem::current_path().string();
        std::filesystem::current_path(dir);
        DOTDAT.name[1] = "myxtal.bin";
        DOTDAT.name[1].resize(80, ' ');
    }
    void TearDown() override {
        std::filesystem::current_path(old);
        ZANTXT = ZantxtRecord();
        WindowTest::TearDown();
    }
};

TEST_F(DialogueInFolder, PrinterRedrawsAtHardCopySizeAndTheNextWaitEndsIt) {
    // Something on the screen that the printed picture must not show.
    op(gop::kColour, 0, "", 13);
    bx[0] = 300, by[0] = 300, bx[1] = 320, by[1] = 300;
    op(gop::kLine);
    clicks({centre(40), centre(59)});
    EXPECT_EQ(wait(menugroup::kMain), vac::kHardCopy);
    EXPECT_EQ(SCREEN.I(screenw::kWidth), 959);
    EXPECT_EQ(SCREEN.I(screenw::kHeight), 575);
    EXPECT_EQ(XWI.hardcopy, 1);
    EXPECT_FLOAT_EQ(CONTR.R(contr::kAspect), 1.0f);
    EXPECT_EQ(MESS.length, 25);
    EXPECT_EQ(MESS.text.substr(0, 25), " Running. Please wait ...");
    // The caller redraws at the larger size; a mark at the far corner.
    op(gop::kColour, 0, "", 12);
    bx[0] = 950, by[0] = 570, bx[1] = 959, by[1] = 575;
    op(gop::kLine);
    clicks({centre(10)});
    EXPECT_EQ(wait(menugroup::kMain), vac::kHardCopyOver);  // at once, without a click
    EXPECT_EQ(mouse_script().remaining(), 1);
    EXPECT_EQ(SCREEN.I(screenw::kWidth), 639);
    EXPECT_EQ(SCREEN.I(screenw::kHeight), 479);
    EXPECT_EQ(XWI.hardcopy, 0);
    EXPECT_FLOAT_EQ(CONTR.R(contr::kAspect), 559.0f / 459.0f);
    auto bm = read_bmp(dir + "/hcopy.bmp");  // the printed picture
    ASSERT_TRUE(bm.has_value());
    EXPECT_EQ(bm->width, 960);
    EXPECT_EQ(bm->height, 576);
    EXPECT_EQ(bm->at(959, 575), 12);
    EXPECT_EQ(bm->at(310, 300), 0);  // drawn on a cleared picture
    int magenta = 0;
    for (int y = 0; y < bm->height; ++y)
        for (int x = 0; x < bm->width; ++x) magenta += bm->at(x, y) == 13;
    EXPECT_EQ(magenta, 0);
    EXPECT_EQ(bm->at(70, 310), 3);   // with the main menu ("Delete")
    EXPECT_EQ(s().get(310, 300), 13);  // and the screen keeps its picture
}

// A drawing size given by %window is the size the window returns to after
// a hard copy, with the aspect of that drawing area.
TEST_F(DialogueInFolder, AWindowSizeSurvivesAHardCopy) {
    SCREEN.I(screenw::kWidth) = 799;
    SCREEN.I(screenw::kHeight) = 599;
    clicks({centre(40), centre(59)});
    EXPECT_EQ(wait(menugroup::kMain), vac::kHardCopy);
    EXPECT_EQ(SCREEN.I(screenw::kWidth), 959);
    EXPECT_EQ(SCREEN.I(screenw::kHeight), 575);
    EXPECT_EQ(wait(menugroup::kMain), vac::kHardCopyOver);
    EXPECT_EQ(SCREEN.I(screenw::kWidth), 799);
    EXPECT_EQ(SCREEN.I(screenw::kHeight), 599);
    EXPECT_FLOAT_EQ(CONTR.R(contr::kAspect), 719.0f / 579.0f);
}

TEST_F(DialogueInFolder, BitmapFileIsNamedAfterTheStructure) {
    clicks({centre(40), centre(60)});
    EXPECT_EQ(wait(menugroup::kMain), vac::kHardCopy);
    auto bm = read_bmp(dir + "/myxtal.bmp");
    ASSERT_TRUE(bm.has_value());
    EXPECT_EQ(bm->width, 640);
    EXPECT_EQ(bm->height, 480);
    EXPECT_EQ(XWI.hardcopy, 0);
}

TEST_F(DialogueInFolder, BitmapNamesAreNotCutShort) {
    struct Case {
        const char* file;
        const char* bitmap;
    };
    for (const Case& c : {Case{"a_rather_long_name.bin", "a_rather_long_name.bmp"},
                          Case{"sub.dir/xtal.bin", "sub.dir/xtal.bmp"}, Case{"plain", "plain.bmp"}}) {
        DOTDAT.name[1] = c.file;
        DOTDAT.name[1].resize(80, ' ');
        EXPECT_EQ(structure_bitmap_name(), c.bitmap);
    }
}

TEST_F(DialogueInFolder, HardCopyCancelledStillAnswers30) {
    clicks({centre(40), centre(61)});
    EXPECT_EQ(wait(menugroup::kMain), vac::kHardCopy);
    EXPECT_FALSE(std::filesystem::exists(dir + "/myxtal.bmp"));
    EXPECT_EQ(XWI.hardcopy, 0);
}

TEST_F(DialogueInFolder, HelpShowsItsPagesAndAnswers29) {
    write_file(dir + "/help.txt", "skipped\nfirst line of help\n");
    ZANTXT.name = dir + "/help.txt";
    clicks({centre(39), centre(52), centre(53)});
    EXPECT_EQ(wait(menugroup::kMain), vac::kHelp);
    EXPECT_GT(s().count(85, 40, 85 + 18 * 8, 49, 14), 50);
    EXPECT_EQ(mouse_script().remaining(), 0);
}

}  // namespace
}  // namespace zanek::test
