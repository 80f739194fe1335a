// Viewer geometry against hand-worked values: rotations, the fit of the view
// window with its margins and aspect, the world-to-pixel mapping, panning
// and zooming, depth order, pixel radii, and the guards of degenerate views.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "test_viewer_fixture.h"

namespace zanek::test {
namespace {

using Geometry = ViewerSurfaceTest;

void expect_matrix(const float* a, std::initializer_list<float> want, float tol = 1e-6f) {
    int k = 0;
    for (float w : want) EXPECT_NEAR(a[k++], w, tol) << "element " << k;
}

TEST_F(Geometry, MatrixProducts) {
    const float a[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};  // by columns
    const float v[3] = {1, 0, -1};
    float w[3];
    MOLT1(a, v, w);
    expect_matrix(w, {-6, -6, -6});
    const float b[9] = {0, 1, 0, 1, 0, 0, 0, 0, 1};  // swaps the first two columns
    float c[9];
    MOLT2(a, b, c);
    expect_matrix(c, {4, 5, 6, 1, 2, 3, 7, 8, 9});
}

TEST_F(Geometry, RotationsAboutTheAxesAndAnAxisOfTheTable) {
    struct Case {
        int code;
        float angle;
        float axis[3];
        float v[3], want[3];
    } cases[] = {
        {1, 90, {0, 0, 0}, {0, 1, 0}, {0, 0, 1}},
        {2, 90, {0, 0, 0}, {0, 0, 1}, {1, 0, 0}},
        {3, 90, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}},
        {3, -5, {0, 0, 0}, {1, 0, 0}, {0.9961947f, -0.0871557f, 0}},
        // 120 degrees about (1,1,1) turns x into y.
        {4, 120, {2, 2, 2}, {1, 0, 0}, {0, 1, 0}},
        {4, 90, {0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
        {0, 90, {0, 0, 0}, {1, 2, 3}, {1, 2, 3}},
        // A zero axis turns nothing instead of dividing by its length.
        {4, 30, {0, 0, 0}, {1, 2, 3}, {1, 2, 3}},
    };
    for (const Case& c : cases) {
        float a[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        CRT.angle = c.angle;
        CRT.axis_code = c.code;
        CRT.axis_index = 1;
        CRT.axis[1] = {c.axis[0], c.axis[1], c.axis[2]};
        COMBROT(a);
        float w[3];
        MOLT1(a, c.v, w);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(w[k], c.want[k], 1e-5) << c.code << " " << c.angle;
    }
    // Six steps of +5 degrees about x make 30 degrees.
    float a[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    for (int k = 0; k < 6; ++k) {
        CRT.angle = 5, CRT.axis_code = 1;
        COMBROT(a);
    }
    const float v[3] = {0, 1, 0};
    float w[3];
    MOLT1(a, v, w);
    EXPECT_NEAR(w[1], std::cos(30 * 3.14159265 / 180), 1e-5);
    EXPECT_NEAR(w[2], 0.5, 1e-5);
}

// A turn about any axis of the table is a proper rotation: its matrix is
// orthogonal (R^T R = I) with determinant +1, it keeps its axis, turns by
// the angle asked (trace 1 + 2 cos t), and about z it is the z turn.
TEST_F(Geometry, ATurnAboutAnAxisOfTheTableIsAProperRotation) {
    const float axes[][3] = {{1, 2, 3}, {-0.3f, 0.0f, 2.0f}, {0, 0, 1}, {5, -1, 0.5f}, {0.01f, 0.02f, -0.03f}};
    const float angles[] = {5, -37, 90, 180, 250};
    const auto el = [](const float* m, int i, int j) { return double(m[(i - 1) + 3 * (j - 1)]); };
    for (const auto& ax : axes)
        for (float angle : angles) {
            float r[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
            CRT.angle = angle, CRT.axis_code = 4, CRT.axis_index = 1;
            CRT.axis[1] = {ax[0], ax[1], ax[2]};
            COMBROT(r);
            const std::string at = std::to_string(ax[0]) + "," + std::to_string(ax[1]) + "," +
                                   std::to_string(ax[2]) + " by " + std::to_string(angle);
            for (int i = 1; i <= 3; ++i)
                for (int j = 1; j <= 3; ++j) {
                    double rtr = 0;
                    for (int k = 1; k <= 3; ++k) rtr += el(r, k, i) * el(r, k, j);
                    EXPECT_NEAR(rtr, i == j ? 1.0 : 0.0, 2e-6) << at << " (R^T R)" << i << j;
                }
            const double det = el(r, 1, 1) * (el(r, 2, 2) * el(r, 3, 3) - el(r, 2, 3) * el(r, 3, 2)) -
                               el(r, 1, 2) * (el(r, 2, 1) * el(r, 3, 3) - el(r, 2, 3) * el(r, 3, 1)) +
                               el(r, 1, 3) * (el(r, 2, 1) * el(r, 3, 2) - el(r, 2, 2) * el(r, 3, 1));
            EXPECT_NEAR(det, 1.0, 3e-6) << at;
            float turned[3];
            MOLT1(r, ax, turned);
            for (int k = 0; k < 3; ++k) EXPECT_NEAR(turned[k], ax[k], 1e-5) << at;
            const double trace = el(r, 1, 1) + el(r, 2, 2) + el(r, 3, 3);
            EXPECT_NEAR(trace, 1.0 + 2.0 * std::cos(angle * 3.14159265358979 / 180.0), 3e-6) << at;
        }
    // About z the table's turn is the turn of axis code 3.
    float r4[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1}, r3[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    CRT.angle = 37, CRT.axis_code = 4, CRT.axis[1] = {0, 0, 2};
    COMBROT(r4);
    CRT.axis_code = 3;
    COMBROT(r3);
    for (int k = 0; k < 9; ++k) EXPECT_NEAR(r4[k], r3[k], 1e-6) << "element " << k;
}

TEST_F(Geometry, FitWithMarginsAspectAndPixelMapping) {
    // Box 0..10 by 0..5: margins of one tenth make -1..11 by -0.5..5.5; the
    // box is wider than the 559/459 aspect allows, so y grows to
    // 12 / (559/459) = 9.85331 about its middle.
    const float aspect = 559.0f / 459.0f;
    CRT.box[0] = 0, CRT.box[1] = 0, CRT.box[2] = 10, CRT.box[3] = 5;
    SETSCALE(1);
    const float h = 12.0f / aspect;
    EXPECT_NEAR(CRT.win[0], -1.0f, 1e-5);
    EXPECT_NEAR(CRT.win[2], 11.0f, 1e-5);
    EXPECT_NEAR(CRT.win[1], 2.5f - h / 2, 1e-4);
    EXPECT_NEAR(CRT.win[3], 2.5f + h / 2, 1e-4);
    EXPECT_NEAR(SCALE.R(scalew::kXScale), 559.0f / 12.0f, 1e-3);
    EXPECT_NEAR(SCALE.R(scalew::kYScale), 459.0f / h, 1e-3);
    // The window's corners land on the drawing area's edges.
    EXPECT_EQ(pixel_x(-1.0f), 80);
    EXPECT_EQ(pixel_x(11.0f), 639);
    EXPECT_EQ(pixel_y(CRT.win[3]), 20);
    EXPECT_EQ(pixel_y(CRT.win[1]), 479);
    // x = 0 lies 1 A right of xmin: 80 + 46.583 = 126.58 -> 127.
    EXPECT_EQ(pixel_x(0.0f), 127);
    EXPECT_EQ(pixel_radius(1.5f), 70);  // 1.5 * 46.583 = 69.87
    EXPECT_NEAR(CRT.per_pixel_x, 12.0f / 639.0f, 1e-6);
    // The widened box is stored back: a second fit widens it again.
    EXPECT_NEAR(CRT.box[0], -1.0f, 1e-5);
    SETSCALE(1);
    EXPECT_NEAR(CRT.win[0], -2.2f, 1e-4);

    // Without margins, and a tall box: x is widened about its middle.
    CRT.box[0] = 0, CRT.box[1] = 0, CRT.box[2] = 2, CRT.box[3] = 8;
    SETSCALE(2);
    EXPECT_NEAR(CRT.win[1], 0.0f, 1e-6);
    EXPECT_NEAR(CRT.win[3], 8.0f, 1e-6);
    EXPECT_NEAR(CRT.win[0], 1.0f - 4.0f * aspect, 1e-4);
    EXPECT_NEAR(CRT.win[2], 1.0f + 4.0f * aspect, 1e-4);

    // Mode 4 fits the box and leaves the window.
    const float before = CRT.win[0];
    CRT.box[0] = 0, CRT.box[1] = 0, CRT.box[2] = 10, CRT.box[3] = 5;
    SETSCALE(4);
    EXPECT_EQ(CRT.win[0], before);
    EXPECT_NEAR(CRT.box[0], -1.0f, 1e-5);
}

TEST_F(Geometry, NarrowAndEmptyModelsGetAWindowOfAtLeastOneAngstrom) {
    // One atom: its box is its own disc; the window is widened to 1 A.
    entry(1, 2.0f, 3.0f, 0.0f, 0.2f);
    ATOMI.n1 = 1;
    fit();
    EXPECT_GE(CRT.win[2] - CRT.win[0], 1.0f);
    EXPECT_GE(CRT.win[3] - CRT.win[1], 1.0f);
    EXPECT_TRUE(std::isfinite(SCALE.R(scalew::kXScale)));
    EXPECT_EQ(ATOMI.px[1], pixel_x(2.0f));
    EXPECT_GT(ATOMI.px[1], 80);
    EXPECT_LT(ATOMI.px[1], 639);

    // Every atom hidden: no shown atom makes the box; the view is fitted to
    // the entries present instead of an inverted box.
    ATOMI.radius[1] = -0.2f;
    entry(2, 6.0f, 3.0f, 0.0f, -0.2f);
    ATOMI.n1 = 2;
    fit();
    EXPECT_TRUE(std::isfinite(SCALE.R(scalew::kXScale)));
    EXPECT_GT(SCALE.R(scalew::kXScale), 0.0f);
    EXPECT_GT(CRT.win[2], CRT.win[0]);
    EXPECT_LE(CRT.win[0], 2.0f);
    EXPECT_GE(CRT.win[2], 6.0f);

    // No entry at all.
    ATOMI.n1 = 0;
    fit();
    EXPECT_TRUE(std::isfinite(SCALE.R(scalew::kXScale)));
    EXPECT_GT(SCALE.R(scalew::kYScale), 0.0f);
}

TEST_F(Geometry, PanAndZoomByOneTenth) {
    CRT.win[0] = 0, CRT.win[1] = 0, CRT.win[2] = 10, CRT.win[3] = 5;
    TRASLATE(13);
    EXPECT_NEAR(CRT.win[0], 1.0f, 1e-6);
    EXPECT_NEAR(CRT.win[2], 11.0f, 1e-6);
    EXPECT_NEAR(CRT.box[0], 1.0f, 1e-6);  // the box follows the window
    TRASLATE(16);
    EXPECT_NEAR(CRT.win[1], -0.5f, 1e-6);
    CRT.win[0] = 0, CRT.win[1] = 0, CRT.win[2] = 10, CRT.win[3] = 5;
    TRASLATE(17);  // zoom out: each extent grows by one fifth
    EXPECT_NEAR(CRT.win[0], -1.0f, 1e-6);
    EXPECT_NEAR(CRT.win[3], 5.5f, 1e-6);
    TRASLATE(18);  // zoom in shrinks the new extent by one fifth
    EXPECT_NEAR(CRT.win[0], 0.2f, 1e-5);
    EXPECT_NEAR(CRT.win[2], 9.8f, 1e-5);
    EXPECT_NEAR(CRT.win[1], 0.1f, 1e-5);
    EXPECT_NEAR(SCALE.R(scalew::kXScale), 559.0f / 9.6f, 1e-3);
    TRASLATE(12);  // not a pan code
    EXPECT_NEAR(CRT.win[0], 0.2f, 1e-5);
}

TEST_F(Geometry, DepthOrderBoxAndMeanPixelRadius) {
    entry(1, 0, 0, 3.0f, 0.5f);   // near
    entry(2, 4, 0, -2.0f, 0.5f);  // far
    entry(3, 2, 2, 5.0f, -0.5f);  // hidden, nearest
    entry(4, 2, -2, -9.0f, 1.0f); // generated
    ATOMI.n1 = 3;
    ATOMI.n2 = 1;
    float a[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    CRT.box[0] = CRT.box[1] = 99999.0f;
    CRT.box[2] = CRT.box[3] = -99999.0f;
    ROTATOMS(a, 2);  // box only
    EXPECT_EQ(ATOMI.order[1], 1);
    EXPECT_FLOAT_EQ(CRT.box[0], -0.5f);
    EXPECT_FLOAT_EQ(CRT.box[2], 4.5f);
    EXPECT_FLOAT_EQ(CRT.box[3], 0.5f);  // the hidden atom does not count
    ROTATOMS(a, 1);
    // Shown atoms far to near (z -9, -2, 3); the hidden entry keeps its place.
    EXPECT_EQ(ATOMI.order[1], 4);
    EXPECT_EQ(ATOMI.order[2], 2);
    EXPECT_EQ(ATOMI.order[3], 3);
    EXPECT_EQ(ATOMI.order[4], 1);
    // Cell points count in the box only with the cell edges on.
    CONTR.I(contr::kCellEdges) = 1;
    CRT.box[0] = CRT.box[1] = 99999.0f;
    CRT.box[2] = CRT.box[3] = -99999.0f;
    ROTATOMS(a, 2);
    EXPECT_FLOAT_EQ(CRT.box[1], -3.0f);
    CONTR.I(contr::kCellEdges) = 0;

    SETSCALE(1);
    ANGTOPIX();
    // Mean pixel radius over shown independent atoms only.
    EXPECT_NEAR(SCALE.R(scalew::kMeanRadius), SCALE.R(scalew::kYScale) * 0.5f, 1e-4);
    EXPECT_EQ(ATOMI.pr[3], -ATOMI.pr[1]);       // hidden: kept up to date
    EXPECT_EQ(ATOMI.px[3], pixel_x(2.0f));
    // A rotation of 180 degrees about y reverses the order.
    CRT.angle = 180, CRT.axis_code = 2;
    float r[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    COMBROT(r);
    ROTATOMS(r, 1);
    EXPECT_EQ(ATOMI.order[1], 1);  // z now -3, 2, (hidden), 9
    EXPECT_EQ(ATOMI.order[2], 2);
    EXPECT_EQ(ATOMI.order[4], 4);
    EXPECT_NEAR(ATOMI.r[1][0], 0.0f, 1e-5);
    EXPECT_NEAR(ATOMI.r[2][0], -4.0f, 1e-5);
}

TEST_F(Geometry, StartingOrientationTakesTheNarrowestTurn) {
    // A rod of five atoms 2 A apart along x (radius 0.3). Turned by t about
    // the line of sight its box is 2(4|cos t| + 0.3) by 2(4|sin t| + 0.3);
    // with margins and the aspect a the fitted width is
    // 1.2 max(2(4|cos t| + 0.3), 2(4|sin t| + 0.3) a). The turn of the
    // smallest fitted width among 0, 10, ..., 180 degrees is kept.
    const double a = 559.0 / 459.0, deg = 3.14159265358979 / 180.0;
    int best = 0;
    double wbest = 1e30;
    for (int k = 0; k <= 18; ++k) {
        const double t = 10 * k * deg;
        const double w = 1.2 * std::max(2 * (4 * std::fabs(std::cos(t)) + 0.3), 2 * (4 * std::fabs(std::sin(t)) + 0.3) * a);
        if (w < wbest - 1e-9) wbest = w, best = k;
    }
    EXPECT_EQ(best, 4);  // 40 degrees: the diagonal fills the wide window best
    for (int i = 1; i <= 5; ++i) entry(i, 2.0f * (i - 3), 0.0f, 0.0f, 0.3f);
    ATOMI.n1 = 5;
    CRT.axis_code = 0;
    CRT.box[0] = CRT.box[1] = 99999.0f;
    CRT.box[2] = CRT.box[3] = -99999.0f;
    float m[9];
    FINDOR(m);
    const double t = 10 * best * deg;
    EXPECT_NEAR(ATOMI.r[1][0], -4 * std::cos(t), 1e-4);
    EXPECT_NEAR(ATOMI.r[1][1], -4 * std::sin(t), 1e-4);
    EXPECT_NEAR(ATOMI.r[5][0], 4 * std::cos(t), 1e-4);
    // The box left behind is the turned model's own.
    EXPECT_NEAR(CRT.box[2], 4 * std::cos(t) + 0.3, 1e-4);
}

TEST_F(Geometry, MessagesAndTextLengths) {
    EXPECT_EQ(LUNG("        "), 0);
    EXPECT_EQ(LUNG(""), 0);
    EXPECT_EQ(LUNG("C12  "), 3);
    MESS.text = std::string(80, 'x');
    MESS.length = 80;
    MESS.pending = 1;
    PRINTMESS();
    EXPECT_EQ(MESS.text[79], '\0');
    EXPECT_EQ(MESS.pending, 0);
    MESS.text = " R = 12.00%";
    MESS.length = 11;
    PRINTMESS();
    EXPECT_EQ(MESS.text.size(), 80u);
    EXPECT_EQ(MESS.text[11], '\0');
    // Shown in yellow in the message line.
    EXPECT_GT(s().count(81, 479 - 13, 639, 479, 14), 10);
}

}  // namespace
}  // namespace zanek::test
