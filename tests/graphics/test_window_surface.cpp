// The drawing surface: pixels of lines, rectangles, ellipses, polygons and
// text, and the bitmap files of hard copies read back.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/bitmap.h"
#include "platform/surface.h"
#include "tests/support/test_support.h"

namespace zanek {
namespace {

TEST(Surface, PixelsOutsideAreIgnoredAndReadAsMinusOne) {
    Surface s(10, 8);
    s.set(-1, 0, 5);
    s.set(10, 0, 5);
    s.set(3, 8, 5);
    EXPECT_EQ(s.count_drawn(0, 0, 9, 7), 0);
    EXPECT_EQ(s.get(10, 0), -1);
    EXPECT_EQ(s.get(0, -1), -1);
    s.set(9, 7, 21);  // only the palette's 16 colours: 21 is colour 5
    EXPECT_EQ(s.get(9, 7), 5);
}

TEST(Surface, LinesCoverBothEndsAndEveryStepOfTheLongerAxis) {
    struct Case {
        int x1, y1, x2, y2, pixels;
    };
    const Case cases[] = {{2, 3, 12, 3, 11}, {5, 1, 5, 9, 9}, {0, 0, 7, 7, 8}, {9, 2, 1, 6, 9}, {4, 4, 4, 4, 1}};
    for (const Case& c : cases) {
        Surface s(20, 20);
        s.line(c.x1, c.y1, c.x2, c.y2, 14);
        EXPECT_EQ(s.get(c.x1, c.y1), 14);
        EXPECT_EQ(s.get(c.x2, c.y2), 14);
        EXPECT_EQ(s.count(0, 0, 19, 19, 14), c.pixels) << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2;
    }
}

TEST(Surface, RectanglesFilledAndOutlinedWithInclusiveBounds) {
    Surface s(30, 30);
    s.rectangle(12, 8, 3, 2, 3, true);  // corners in any order
    EXPECT_EQ(s.count(0, 0, 29, 29, 3), 10 * 7);
    s.clear();
    s.rectangle(2, 2, 6, 5, 1, false);
    EXPECT_EQ(s.count(0, 0, 29, 29, 1), 2 * 5 + 2 * 2);
    EXPECT_EQ(s.get(4, 3), 0);  // inside stays empty
}

TEST(Surface, CircleOfDiameterEightTouchesItsBoxAtTheMiddles) {
    Surface s(20, 20);
    s.ellipse(2, 3, 10, 11, 4, false);
    EXPECT_EQ(s.get(6, 3), 4);   // top
    EXPECT_EQ(s.get(6, 11), 4);  // bottom
    EXPECT_EQ(s.get(2, 7), 4);   // left
    EXPECT_EQ(s.get(10, 7), 4);  // right
    EXPECT_EQ(s.get(6, 7), 0);   // the centre of an outline
    EXPECT_EQ(s.get(2, 3), 0);   // the box corner is outside
    EXPECT_EQ(s.count(0, 0, 19, 2, 4) + s.count(0, 12, 19, 19, 4) + s.count(0, 0, 1, 19, 4) + s.count(11, 0, 19, 19, 4), 0);
    s.clear();
    s.ellipse(2, 3, 10, 11, 4, true);
    EXPECT_EQ(s.get(6, 7), 4);
    const int area = s.count(0, 0, 19, 19, 4);
    EXPECT_GT(area, 45);  // pi r^2 = 50 for r = 4
    EXPECT_LT(area, 70);
}

TEST(Surface, FilledPolygonHoldsItsInteriorAndOutline) {
    Surface s(40, 40);
    // A right triangle with legs of 20 pixels.
    s.polygon({{5, 5}, {25, 5}, {5, 25}}, 2, true);
    EXPECT_EQ(s.get(6, 6), 2);
    EXPECT_EQ(s.get(10, 10), 2);
    EXPECT_EQ(s.get(20, 20), 0);  // beyond the hypotenuse
    const int area = s.count(0, 0, 39, 39, 2);
    EXPECT_GT(area, 200);  // 21 x 21 / 2 = 220 with the boundary
    EXPECT_LT(area, 260);
    s.clear();
    s.polygon({{5, 5}, {25, 5}, {5, 25}}, 2, false);
    EXPECT_EQ(s.get(10, 10), 0);
    EXPECT_EQ(s.get(15, 15), 2);  // on the hypotenuse
}

TEST(Surface, TextCellsAreEightPixelsWideAndStopAtNul) {
    Surface s(100, 20);
    s.text(0, 0, "II", 14);
    const int one = s.count(0, 0, 7, 9, 14);
    EXPECT_GT(one, 10);
    EXPECT_EQ(s.count(8, 0, 15, 9, 14), one);  // the same glyph in the next cell
    EXPECT_EQ(s.count(0, 10, 99, 19, 14), 0);  // within the 10-pixel height
    s.clear();
    s.text(0, 0, std::string("A\0B", 3), 14);
    EXPECT_GT(s.count(0, 0, 7, 9, 14), 0);
    EXPECT_EQ(s.count(8, 0, 99, 19, 14), 0);
    s.clear();
    s.text(0, 0, "   ", 14);
    EXPECT_EQ(s.count_drawn(0, 0, 99, 19), 0);
}

TEST(Bitmap, HardCopyReadsBackWithItsSizeAndColours) {
    const std::string dir = test::fresh_dir("bitmap_roundtrip");
    Surface s(50, 40);
    s.rectangle(0, 0, 49, 39, 1, true);
    s.rectangle(10, 5, 20, 15, 14, true);
    s.set(49, 39, 4);
    for (int w : {11, 12, 13, 14}) {  // odd and even widths pad their rows differently
        const std::string path = dir + "/part" + std::to_string(w) + ".bmp";
        ASSERT_TRUE(write_bmp(path, s, 10, 5, 10 + w - 1, 15));
        auto bm = read_bmp(path);
        ASSERT_TRUE(bm.has_value());
        EXPECT_EQ(bm->width, w);
        EXPECT_EQ(bm->height, 11);
        EXPECT_EQ(bm->at(0, 0), 14);
        EXPECT_EQ(bm->at(10, 10), 14);
        if (w > 11) {
            EXPECT_EQ(bm->at(11, 10), 1);
        }
    }
    const std::string whole = dir + "/whole.bmp";
    ASSERT_TRUE(write_bmp(whole, s, 0, 0, 49, 39));
    auto bm = read_bmp(whole);
    ASSERT_TRUE(bm.has_value());
    EXPECT_EQ(bm->at(49, 39), 4);  // rows are stored bottom first: the corner stays the corner
    EXPECT_EQ(bm->at(0, 0), 1);
    EXPECT_EQ(std::filesystem::file_size(whole), 14u + 40 + 64 + 40 * 28);
}

TEST(Bitmap, PixelsBeyondTheSurfaceAreBlackAndBadFilesAreRefused) {
    const std::string dir = test::fresh_dir("bitmap_edges");
    Surface s(4, 4);
    s.clear(15);
    ASSERT_TRUE(write_bmp(dir + "/wide.bmp", s, 2, 2, 5, 5));
    auto bm = read_bmp(dir + "/wide.bmp");
    ASSERT_TRUE(bm.has_value());
    EXPECT_EQ(bm->at(0, 0), 15);
    EXPECT_EQ(bm->at(3, 3), 0);
    EXPECT_FALSE(write_bmp(dir + "/no/such/dir/x.bmp", s, 0, 0, 3, 3));
    test::write_file(dir + "/text.bmp", "not a bitmap");
    EXPECT_FALSE(read_bmp(dir + "/text.bmp").has_value());
    EXPECT_FALSE(read_bmp(dir + "/missing.bmp").has_value());
}

TEST(MouseScript, ClicksInOrderThenTheEndOfInput) {
    const std::string dir = test::fresh_dir("mouse_script");
    test::write_file(dir + "/events", "# clicks\n40 10\n\n  300 200\r\n");
    MouseScript m;
    ASSERT_TRUE(m.load(dir + "/events"));
    EXPECT_TRUE(m.scripted());
    EXPECT_EQ(m.error(), "");
    EXPECT_EQ(m.remaining(), 2);
    MouseEvent e = m.next();
    EXPECT_FALSE(e.end_of_input);
    EXPECT_EQ(e.x, 40);
    EXPECT_EQ(e.y, 10);
    e = m.next();
    EXPECT_EQ(e.x, 300);
    EXPECT_EQ(e.y, 200);
    EXPECT_TRUE(m.next().end_of_input);
    EXPECT_TRUE(m.next().end_of_input);  // and stays there
}

// A script file that cannot be used gives no clicks at all and says why,
// so that the wait can fail instead of quietly answering Quit.
TEST(MouseScript, AFileThatCannotBeUsedIsNoScript) {
    const std::string dir = test::fresh_dir("mouse_script_bad");
    struct Case {
        const char* name;
        const char* text;  // nullptr: no such file
        const char* error;
    };
    const Case cases[] = {
        {"three_numbers", "40 10\n7 8 9\n1 2\n", "line 2 is not a click (x y): 7 8 9"},
        {"a_word", "# clicks\n\nQuit\n", "line 3 is not a click (x y): Quit"},
        {"one_number", "40\n", "line 1 is not a click (x y): 40"},
        {"out_of_range", "40000 10\n", "line 1 is not a click (x y): 40000 10"},
        {"missing", nullptr, "cannot be read"},
        {".", nullptr, "cannot be read"},  // a folder
    };
    for (const Case& c : cases) {
        const std::string path = dir + "/" + c.name;
        if (c.text) test::write_file(path, c.text);
        MouseScript m;
        EXPECT_FALSE(m.load(path)) << c.name;
        EXPECT_EQ(m.error(), c.error) << c.name;
        EXPECT_TRUE(m.scripted()) << c.name;
        EXPECT_EQ(m.remaining(), 0) << c.name;
        EXPECT_TRUE(m.next().end_of_input) << c.name;
    }
}

}  // namespace
}  // namespace zanek
