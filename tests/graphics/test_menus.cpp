// Menus and buttons: the menu groups, hit tests of buttons and species
// cells, the mouse wait with its title-strip hard copy, the help pages and
// the polygon and atom pick dialogues.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/bitmap.h"
#include "platform/units.h"
#include "tests/graphics/test_window_fixture.h"
#include "tests/support/test_support.h"

namespace zanek::test {
namespace {

using Menus = WindowTest;

TEST_F(Menus, GroupsShowTheirRowsInTheirButtonColour) {
    struct Case {
        int group, first, last, colour;
    };
    const Case cases[] = {{0, 1, 41, 3},   {-1, 10, 10, 3}, {2, 42, 46, 7},  {3, 47, 48, 7},  {4, 49, 53, 7},
                          {5, 54, 58, 7},  {6, 53, 53, 7},  {7, 52, 53, 7},  {8, 59, 61, 7},  {9, 62, 66, 7},
                          {10, 67, 71, 7}, {11, 76, 78, 7}, {12, 72, 75, 7}, {13, 74, 75, 7}};
    for (const Case& c : cases) {
        DRAWMENU(c.group);
        EXPECT_EQ(CMENU.first_shown, c.first) << "group " << c.group;
        EXPECT_EQ(CMENU.last_shown, c.last) << "group " << c.group;
        EXPECT_EQ(CMENU.button_colour, c.colour) << "group " << c.group;
    }
    DRAWMENU(9);
    DRAWMENU(42);  // an unknown group keeps the rows shown
    EXPECT_EQ(CMENU.first_shown, 62);
    EXPECT_EQ(CMENU.last_shown, 66);
    EXPECT_EQ(CMENU.button_colour, 3);
}

TEST_F(Menus, AButtonIsAFaceWithBevelOutlineAndLabel) {
    op(gop::kClearBelowTitle);
    DRAWMENU(0);
    // Row 32 "Delete": face (1, 301)-(79, 319), outline one pixel outside.
    EXPECT_EQ(s().get(0, 310), 1);
    EXPECT_EQ(s().get(80, 310), 1);
    EXPECT_EQ(s().get(40, 300), 1);
    EXPECT_EQ(s().get(40, 320), 1);
    EXPECT_EQ(s().get(2, 310), 11);   // the light upper-left bevel, colour 3 + 8
    EXPECT_EQ(s().get(78, 310), 8);   // the shadow
    EXPECT_EQ(s().get(70, 310), 3);   // the face beyond the label
    EXPECT_GT(s().count(5, 303, 5 + 6 * 8, 313, 1), 30);  // "Delete" at (x1 + 4, y1 + 2)
    // The main menu redraws the title strip with " ZANEK : " and the title.
    EXPECT_GT(s().count(84, 4, 84 + 9 * 8, 14, 4), 30);
}

TEST_F(Menus, ClicksOnTheOutlineMissAndTheFirstPixelInsideHits) {
    DRAWMENU(0);
    // Row 32 "Delete": X 10, Y 330, W 80 -> hits for 0 < x < 80, 300 < y < 320.
    struct Case {
        int x, y, code;
    };
    const Case cases[] = {{0, 310, -1}, {1, 310, 22}, {79, 310, 22}, {80, 310, -1},
                          {40, 300, -1}, {40, 301, 22}, {40, 319, 22}, {40, 320, -1},
                          {40, 10, 0},   {610, 10, 30}, {40, 30, -9}};  // Quit, HCopy, the heading "Plot Style"
    for (const Case& c : cases) EXPECT_EQ(KEBOX(c.x, c.y), c.code) << c.x << "," << c.y;
}

TEST_F(Menus, OnlyTheShownGroupIsHit) {
    DRAWMENU(6);
    EXPECT_EQ(KEBOX(40, 310), -1);            // main-menu "Delete" is not on show
    const auto [cx, cy] = centre(53);
    EXPECT_EQ(KEBOX(cx, cy), 43);             // "Cancel"
    DRAWMENU(-1);
    EXPECT_EQ(KEBOX(40, 10), 0);
    EXPECT_EQ(KEBOX(610, 10), -1);
}

TEST_F(Menus, SpeciesCellsLieAlongTheBottomLine) {
    // Cell k spans 300 + 35k < x < 325 + 35k and H - 25 < y < H - 5.
    struct Case {
        int x, y, n, cell;
    };
    const Case cases[] = {{350, 465, 4, 1}, {336, 465, 4, 1}, {335, 465, 4, -1}, {359, 465, 4, 1},
                          {360, 465, 4, -1}, {371, 465, 4, 2}, {441, 470, 4, 4}, {440, 470, 4, -1},
                          {480, 470, 4, -1}, {480, 470, 5, 5}, {350, 454, 4, -1}, {350, 455, 4, 1},
                          {350, 473, 4, 1}, {350, 474, 4, -1}};
    for (const Case& c : cases) EXPECT_EQ(KESPEC(c.x, c.y, c.n), c.cell) << c.x << "," << c.y << " n " << c.n;
}

TEST_F(Menus, ClearingTheMessageLineLeavesTheRest) {
    s().rectangle(0, 0, 639, 479, 5, true);
    CLEARMESSAGE();
    EXPECT_EQ(s().count(81, 459, 639, 479, 5), 0);
    EXPECT_EQ(s().count(0, 459, 80, 479, 5), 81 * 21);
    EXPECT_EQ(s().count(81, 458, 639, 458, 5), 559);
}

class MenusInFolder : public WindowTest {
protected:
    std::string dir, old;
    void SetUp() override {
        WindowTest::SetUp();
        dir = fresh_dir(std::string("menus_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        old = std::filesystem::current_path().string();
        std::filesystem::current_path(dir);
    }
    void TearDown() override {
        std::filesystem::current_path(old);
        ZANTXT = ZantxtRecord();
        WindowTest::TearDown();
    }
};

TEST_F(MenusInFolder, ATitleStripClickSavesAHardCopyAndTheWaitGoesOn) {
    clicks({{200, 10}, {450, 10}});
    int x = 0, y = 0, f = 7;
    SORCIO(x, y, f);
    EXPECT_EQ(x, 450);  // the second click is returned: right of the hard-copy zone
    EXPECT_EQ(y, 10);
    EXPECT_EQ(f, 0);
    auto bm = read_bmp(dir + "/hcopy.bmp");
    ASSERT_TRUE(bm.has_value());
    EXPECT_EQ(bm->width, 640);
    EXPECT_EQ(bm->height, 480);
    EXPECT_EQ(bm->at(200, 17), 3);  // the title strip
}

TEST_F(MenusInFolder, TheHardCopyZoneEndsAtTheHCopyButton) {
    struct Case {
        int x, y;
        bool saved;
    };
    for (const Case& c : {Case{82, 20, true}, Case{399, 0, true}, Case{81, 10, false}, Case{400, 10, false},
                          Case{200, 21, false}}) {
        std::filesystem::remove(dir + "/hcopy.bmp");
        clicks({{c.x, c.y}, {300, 300}});
        int x = 0, y = 0, f = 0;
        SORCIO(x, y, f);
        EXPECT_EQ(std::filesystem::exists(dir + "/hcopy.bmp"), c.saved) << c.x << "," << c.y;
        EXPECT_EQ(x, c.saved ? 300 : c.x);
    }
}

// A help file of 30 lines; line k holds k letters "M", so that the page
// shows which lines it holds by the lengths of its rows.
std::string thirty_lines() {
    std::string t;
    for (int k = 1; k <= 30; ++k) t += std::string(k, 'M') + "\n";
    return t;
}

// The length in characters of the text drawn in help row i (1-based).
int help_row_chars(Surface& s, int i) {
    const int y = 40 + 20 * (i - 1);
    int last = -1;
    for (int x = 85; x < 640; ++x)
        if (s.count(x, y, x, y + 9, 14) > 0) last = x;
    return last < 0 ? 0 : (last - 85) / 8 + 1;
}

TEST_F(MenusInFolder, HelpPagesOfAThirtyLineFile) {
    write_file(dir + "/help.txt", thirty_lines());
    ZANTXT.name = dir + "/help.txt";
    const auto more = centre(52), cancel = centre(53);
    struct Case {
        std::vector<std::pair<int, int>> clicks;
        int first_line, rows;
    };
    const Case cases[] = {{{cancel}, 2, 21}, {{more, cancel}, 23, 8}, {{more, more, cancel}, 2, 21}};
    for (const Case& c : cases) {
        clicks(c.clicks);
        CREATEHELP();
        for (int i = 1; i <= 21; ++i) {
            const int expected = i <= c.rows ? c.first_line + i - 1 : 0;
            EXPECT_EQ(help_row_chars(s(), i), std::min(expected, 69)) << "row " << i << " after " << c.clicks.size();
        }
        EXPECT_EQ(CMENU.first_shown, 1);  // the main-menu state again
        EXPECT_EQ(CMENU.last_shown, 41);
        EXPECT_EQ(CMENU.button_colour, 3);
        EXPECT_EQ(mouse_script().remaining(), 0);
    }
    EXPECT_FALSE(units().connected(ZANTXT.unit));  // closed after Cancel
}

TEST_F(MenusInFolder, AMissingHelpFileShowsNothing) {
    ZANTXT.name = dir + "/nothing.txt";
    clicks({centre(53)});
    const auto before = s().pixels();
    CREATEHELP();
    EXPECT_EQ(s().pixels(), before);
    EXPECT_EQ(mouse_script().remaining(), 1);  // no wait
}

TEST_F(MenusInFolder, TheProjectHelpTextFillsItsPages) {
    ZANTXT.name = source_dir() + "/data/xzanek.txt";
    clicks({centre(53)});
    CREATEHELP();
    int rows = 0;
    for (int i = 1; i <= 21; ++i) rows += help_row_chars(s(), i) > 0;
    EXPECT_GE(rows, 15);
    EXPECT_FALSE(units().connected(ZANTXT.unit));
    // Every line of the help text fits the drawing area right of x 85.
    for (const std::string& line : split_lines(read_file(ZANTXT.name))) EXPECT_LE(line.size(), 69u) << line;
}

TEST_F(Menus, ShowAllNeedsNoPolygon) {
    clicks({centre(45)});
    int flag = 0;
    SELEZIONA(bx, by, flag);
    EXPECT_EQ(flag, 4);
    EXPECT_EQ(mouse_script().remaining(), 0);
    EXPECT_EQ(CMENU.last_shown, 41);
}

TEST_F(Menus, APolygonIsClosedByItsFirstVertexAndEndedByMinusOne) {
    for (int choice : {42, 43, 44}) {
        clicks({centre(choice), {200, 100}, {400, 120}, {300, 300}, centre(47)});
        int flag = 0;
        SELEZIONA(bx, by, flag);
        EXPECT_EQ(flag, choice - 41);
        const int ex[] = {200, 400, 300, 200, -1}, ey[] = {100, 120, 300, 100, -1};
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(bx[i], ex[i]) << i;
            EXPECT_EQ(by[i], ey[i]) << i;
        }
        EXPECT_EQ(CMENU.label[47].substr(0, 13), "Close Polygon");
        EXPECT_EQ(s().get(350, 210), 7);  // the sides drawn in light grey
    }
}

TEST_F(Menus, APolygonCancelledOrEmpty) {
    clicks({centre(42), {200, 100}, centre(48)});
    int flag = 0;
    SELEZIONA(bx, by, flag);
    EXPECT_EQ(flag, -1);
    clicks({centre(46)});
    SELEZIONA(bx, by, flag);
    EXPECT_EQ(flag, -1);
    clicks({centre(43), centre(47)});  // closed without a vertex: just the end mark
    SELEZIONA(bx, by, flag);
    EXPECT_EQ(flag, 2);
    EXPECT_EQ(bx[0], -1);
}

TEST_F(Menus, APolygonKeepsAtMost98VerticesInTheBuffer) {
    std::vector<std::pair<int, int>> c = {centre(42)};
    for (int i = 0; i < 120; ++i) c.emplace_back(100 + i, 100 + (i % 7));
    c.push_back(centre(47));
    clicks(c);
    int flag = 0;
    SELEZIONA(bx, by, flag);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(bx[97], 197);  // the 98th vertex
    EXPECT_EQ(bx[98], 100);  // then the first again
    EXPECT_EQ(bx[99], -1);
}

TEST_F(Menus, AtomPicksStopAtTheWantedCount) {
    struct Case {
        int mode, picks_given, picks_kept;
        bool done;
        int flag;
    };
    const Case cases[] = {{3, 3, 3, false, 0}, {4, 4, 4, false, 0}, {2, 2, 2, false, 0},
                          {2, 1, 1, true, 0},  {7, 5, 5, true, 0},  {1, 2, 2, true, 0}};
    for (const Case& c : cases) {
        std::vector<std::pair<int, int>> cl;
        for (int i = 0; i < c.picks_given; ++i) cl.emplace_back(150 + 10 * i, 200 + i);
        if (c.done) cl.push_back(centre(47));
        cl.emplace_back(333, 333);  // must be left unread
        clicks(cl);
        int flag = 0;
        SELECTATMS(bx, by, flag, c.mode);
        EXPECT_EQ(flag, c.flag) << "mode " << c.mode;
        for (int i = 0; i < c.picks_kept; ++i) EXPECT_EQ(bx[i], 150 + 10 * i);
        EXPECT_EQ(bx[c.picks_kept], -1) << "mode " << c.mode;
        EXPECT_EQ(mouse_script().remaining(), 1) << "mode " << c.mode;
        EXPECT_EQ(CMENU.label[47].substr(0, 4), "Done");
        EXPECT_EQ(CMENU.last_shown, 41);
    }
}

TEST_F(Menus, AtomPicksCancelled) {
    clicks({{150, 150}, centre(53)});  // modes 3 and 4 show Cancel alone
    int flag = 0;
    SELECTATMS(bx, by, flag, 3);
    EXPECT_EQ(flag, -1);
    clicks({{150, 150}, centre(48)});
    flag = 0;
    SELECTATMS(bx, by, flag, 7);
    EXPECT_EQ(flag, -1);
}

// The prompt is looked at while the picking waits, through a hard copy
// taken by a click on the title strip.
TEST_F(MenusInFolder, ThePromptOfAPickIsShownOnlyWhenTheFlagIsZero) {
    for (int start_flag : {0, 1}) {
        std::filesystem::remove(dir + "/hcopy.bmp");
        clicks({{200, 10}, centre(47)});
        int flag = start_flag;
        SELECTATMS(bx, by, flag, 7);
        EXPECT_EQ(flag, 0);
        auto bm = read_bmp(dir + "/hcopy.bmp");
        ASSERT_TRUE(bm.has_value());
        int yellow = 0;
        for (int y = 459; y <= 469; ++y)
            for (int x = 85; x < 85 + 25 * 8; ++x) yellow += bm->at(x, y) == 14;
        if (start_flag == 0) EXPECT_GT(yellow, 100) << "\"Click on couples of atoms\"";
        else EXPECT_EQ(yellow, 0);
        EXPECT_EQ(s().count(81, 459, 639, 479, 14), 0);  // cleared on the way out
    }
}

TEST_F(Menus, NoMoreInputEndsAWait) {
    clicks({});
    int x = 0, y = 0, f = 0;
    EXPECT_THROW(SORCIO(x, y, f), qwin::NoMoreInput);
}

}  // namespace
}  // namespace zanek::test
