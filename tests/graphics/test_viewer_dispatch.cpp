// The viewer loop driven by scripted clicks: a fixed scale keeps the window
// through zoom and style changes, the hard copy redraws at its own size and
// comes back to the screen with the scale mode it had, the edges and
// symmetry switches, the information table, and Quit storing the model.
#include <gtest/gtest.h>

#include "platform/bitmap.h"
#include "test_viewer_fixture.h"

namespace zanek::test {
namespace {

class Dispatch : public ViewerJob {
protected:
    float a[9];
    void SetUp() override {
        ViewerJob::SetUp();
        p21c();
        store(truth("rand_p21c_c18n2o4"), {{1, 2}, {2, 3}});
        build();
        CRT.style = 2;
        CONTR.I(contr::kStyle) = 2;
        CONTR.I(contr::kDrawOnce) = 0;  // interactive
        CRT.box[0] = CRT.box[1] = 99999.0f;
        CRT.box[2] = CRT.box[3] = -99999.0f;
        FINDOR(a);
    }
    // The window the loop's first full drawing fits.
    std::array<float, 4> first_window() {
        const CrtRecord saved = CRT;
        SETSCALE(1);
        std::array<float, 4> w = {CRT.win[0], CRT.win[1], CRT.win[2], CRT.win[3]};
        CRT = saved;
        return w;
    }
    int run(const std::vector<int>& rows) {
        std::vector<std::pair<int, int>> clicks;
        for (int r : rows) clicks.push_back(button_centre(r));
        mouse_script().set(clicks);
        int f = 0;
        MMENU(a, f);
        return f;
    }
};

TEST_F(Dispatch, FixedScaleKeepsTheWindowThroughZoomAndStyle) {
    const auto w0 = first_window();
    // "Scale off" fixes the scale, "+" of z zooms in, style 4 redraws.
    EXPECT_EQ(run({31, 28, 14}), 0);
    EXPECT_EQ(CONTR.I(contr::kScaleMode), 3);
    EXPECT_EQ(CRT.style, 4);
    const float dx = (w0[2] - w0[0]) / 10, dy = (w0[3] - w0[1]) / 10;
    EXPECT_NEAR(CRT.win[0], w0[0] + dx, 1e-4);
    EXPECT_NEAR(CRT.win[2], w0[2] - dx, 1e-4);
    EXPECT_NEAR(CRT.win[1], w0[1] + dy, 1e-4);
    // Quit at the end of the clicks stored the model with code 0.
    EXPECT_EQ(load15().next, 0);
    EXPECT_EQ(load15().n, 24);
}

TEST_F(Dispatch, HardCopyRedrawsAtItsSizeAndReturnsToTheScreen) {
    // "HCopy", "Printer": the picture is drawn at 959 x 575, and the next
    // wait ends the hard copy at once, redrawing tightly at screen size.
    EXPECT_EQ(run({40, 59}), 0);
    EXPECT_EQ(SCREEN.I(screenw::kWidth), 639);
    EXPECT_EQ(SCREEN.I(screenw::kHeight), 479);
    EXPECT_EQ(XWI.hardcopy, 0);
    EXPECT_EQ(CONTR.I(contr::kScaleMode), 1);  // restored after the tight redraw
    EXPECT_TRUE(file_exists(dir + "/hcopy.bmp"));
}

// The printed picture is the view drawn afresh at the hard-copy size on a
// cleared picture: the title strip and the main menu, then the model, and
// nothing of the screen it was chosen from (the model at screen size, the
// submenu, the messages).
TEST_F(Dispatch, ThePrinterCopyIsAFreshRedrawOfTheView) {
    SETSCALE(1);
    CONTR.I(contr::kScaleMode) = 3;  // a fixed view window: the redraw keeps it
    MESS.text = " R =  9.99%";
    MESS.text.resize(80, ' ');
    MESS.length = 11;
    MESS.pending = 1;
    const CrtRecord crt = CRT;
    const AtomiRecord atomi = ATOMI;
    const auto contr = CONTR;
    const auto scale = SCALE;
    const CmenuRecord cmenu = CMENU;
    EXPECT_EQ(run({40, 59}), 0);  // "HCopy", "Printer"; then Quit
    auto printed = read_bmp(dir + "/hcopy.bmp");
    ASSERT_TRUE(printed.has_value());
    ASSERT_EQ(printed->width, 960);
    ASSERT_EQ(printed->height, 576);

    // The same view drawn by hand on a cleared picture of that size.
    CRT = crt;
    ATOMI = atomi;
    CONTR = contr;
    SCALE = scale;
    CMENU = cmenu;
    window_surface().clear();
    SCREEN.I(screenw::kWidth) = 959;
    SCREEN.I(screenw::kHeight) = 575;
    XWI.hardcopy = 1;
    CONTR.R(contr::kAspect) = 1.0f;
    DRAWMENU(menugroup::kMain);
    SETSCALE(3);
    ANGTOPIX();
    STICKSORD();
    int differ = 0;
    for (int y = 0; y < 576; ++y)
        for (int x = 0; x < 960; ++x) differ += printed->at(x, y) != window_surface().get(x, y);
    EXPECT_EQ(differ, 0);
    EXPECT_EQ(printed->at(70, 310), 3);   // the "Delete" button of the main menu
    EXPECT_EQ(printed->at(900, 10), 3);   // the title strip runs to the hard copy's right edge
    EXPECT_GT(window_surface().count_drawn(81, 21, 959, 575), 100);  // a model was drawn
}

TEST_F(Dispatch, EdgesAndSymmetrySwitches) {
    const int n2 = ATOMI.n2;
    // Edges on, symmetry on: copies fill the cell; symmetry off again.
    EXPECT_EQ(run({29, 30}), 0);
    EXPECT_EQ(CONTR.I(contr::kCellEdges), 1);
    EXPECT_EQ(CONTR.I(contr::kSymmetry), 1);
    // Quit dropped the copies before storing.
    EXPECT_EQ(ATOMI.n1, 24);
    EXPECT_EQ(ATOMI.n2, n2);
    EXPECT_EQ(load15().n, 24);
    // A new viewer starts with both switches off; on and off again.
    CONTR.I(contr::kSymmetry) = 0;
    EXPECT_EQ(run({30, 30}), 0);
    EXPECT_EQ(CONTR.I(contr::kSymmetry), 0);
    EXPECT_EQ(GENERAC.n1_kept, 24);
}

TEST_F(Dispatch, InformationTableAndChartThenBackToTheModel) {
    // "Geometry", "More...", "Info": the table; "Bar  chart": the chart;
    // "Num. Table": the table again; "Cancel".
    EXPECT_EQ(run({41, 65, 69, 75, 75, 74}), 0);
    EXPECT_EQ(mouse_script().remaining(), 0);
    EXPECT_EQ(load15().n, 24);
}

}  // namespace
}  // namespace zanek::test
