// Line-printer projection plots: the principal axes of a point set, the
// placing of labels on one line, and whole plots of small structures.
#include "tests/fourier/test_interpretation_fixture.h"

namespace zanek::test {
namespace {

// Metric tensor of a cell, column by column.
std::array<float, 9> metric(const Cell& cell) {
    const auto m = cell.orth();
    std::array<float, 9> g{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            double s = 0;
            for (int k = 0; k < 3; ++k) s += m[3 * k + i] * m[3 * k + j];
            g[i + 3 * j] = static_cast<float>(s);
        }
    return g;
}

// M = (sum p p^T) G for fractional points p.
std::array<float, 9> normal_matrix(const std::vector<std::array<double, 3>>& p, const std::array<float, 9>& g) {
    double s[3][3] = {};
    for (const auto& x : p)
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b < 3; ++b) s[a][b] += x[a] * x[b];
    std::array<float, 9> m{};
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b) {
            double v = 0;
            for (int k = 0; k < 3; ++k) v += s[a][k] * g[k + 3 * b];
            m[a + 3 * b] = static_cast<float>(v);
        }
    return m;
}

// Principal axes of points spread 3, 1.5 and 0.4 A along three orthogonal
// directions u1, u2, u3 (turned away from the cell axes), in a monoclinic
// cell: eigenvalues are the sums of squares along the directions, the
// eigenvectors those directions, 1 A long.
TEST(InterpPlaneFit, PrincipalAxesInAMonoclinicCell) {
    const Cell cell{9.0, 11.0, 13.0, 90, 105, 90};
    const double c = std::cos(0.5), s = std::sin(0.5);
    const std::array<std::array<double, 3>, 3> u = {{{c, s, 0}, {-s * 0.6, c * 0.6, 0.8}, {s * 0.8, -c * 0.8, 0.6}}};
    const double spread[3] = {3.0, 1.5, 0.4};
    std::vector<std::array<double, 3>> pts;
    for (int k = 0; k < 3; ++k)
        for (int sign : {-1, 1}) {
            std::array<double, 3> r{};
            for (int i = 0; i < 3; ++i) r[i] = sign * spread[k] * u[k][i];
            pts.push_back(cell.frac(r));
        }
    const auto g = metric(cell);
    const auto m = normal_matrix(pts, g);
    float eval[3], ev[9], dv[9];
    EIGNV3(g.data(), m.data(), eval, ev, dv);
    // Ascending: 2*0.4^2, 2*1.5^2, 2*3^2.
    EXPECT_NEAR(eval[0], 0.32, 1e-3);
    EXPECT_NEAR(eval[1], 4.5, 1e-3);
    EXPECT_NEAR(eval[2], 18.0, 1e-3);
    for (int k = 0; k < 3; ++k) {
        const auto r = cell.cart({ev[3 * k], ev[3 * k + 1], ev[3 * k + 2]});
        const auto& want = u[2 - k];
        const double len = std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]);
        EXPECT_NEAR(len, 1.0, 1e-4);
        const double dot = r[0] * want[0] + r[1] * want[1] + r[2] * want[2];
        EXPECT_NEAR(std::fabs(dot), 1.0, 1e-4) << k;
        // The dual vector projects a fractional point on the axis in A.
        const double along = dv[3 * k] * pts[0][0] + dv[3 * k + 1] * pts[0][1] + dv[3 * k + 2] * pts[0][2];
        const auto p0 = cell.cart(pts[0]);
        EXPECT_NEAR(std::fabs(along), std::fabs(p0[0] * r[0] + p0[1] * r[1] + p0[2] * r[2]), 1e-3);
    }
}

// A flat ring: two equal eigenvalues. The axes still come out finite and
// orthonormal.
TEST(InterpPlaneFit, EqualSpreadsStillGiveOrthonormalAxes) {
    const Cell cell{10, 10, 10, 90, 90, 90};
    std::vector<std::array<double, 3>> pts;
    for (int k = 0; k < 6; ++k) pts.push_back(cell.frac({1.4 * std::cos(k * 1.0471976), 1.4 * std::sin(k * 1.0471976), 0}));
    const auto g = metric(cell);
    const auto m = normal_matrix(pts, g);
    float eval[3], ev[9], dv[9];
    EIGNV3(g.data(), m.data(), eval, ev, dv);
    EXPECT_NEAR(eval[0], 0.0, 1e-4);
    EXPECT_NEAR(eval[1], 5.88, 1e-3);
    EXPECT_NEAR(eval[2], 5.88, 1e-3);
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b) {
            const auto ra = cell.cart({ev[3 * a], ev[3 * a + 1], ev[3 * a + 2]});
            const auto rb = cell.cart({ev[3 * b], ev[3 * b + 1], ev[3 * b + 2]});
            EXPECT_NEAR(ra[0] * rb[0] + ra[1] * rb[1] + ra[2] * rb[2], a == b ? 1.0 : 0.0, 1e-4) << a << b;
        }
    const auto normal = cell.cart({ev[0], ev[1], ev[2]});
    EXPECT_NEAR(std::fabs(normal[2]), 1.0, 1e-5);
}

// --- Labels on one line -----------------------------------------------------

class InterpPlotLine : public InterpRun {
protected:
    // Places the (column, label) pairs and returns the printed line.
    std::string line(const std::vector<std::pair<int, int>>& pairs, int n = 500, float cms = 1.0f) {
        const int S = 200000;
        for (std::size_t k = 0; k < pairs.size(); ++k) {
            XR(S + 2 * static_cast<int>(k)) = static_cast<float>(pairs[k].first);
            XR(S + 2 * static_cast<int>(k) + 1) = static_cast<float>(pairs[k].second);
        }
        start_listing_afresh();
        STLINE(S, static_cast<int>(pairs.size()), n, cms);
        std::string l = listing();
        if (!l.empty() && l.back() == '\n') l.pop_back();
        return l;
    }
    static std::string at(int column, const std::string& text) { return std::string(static_cast<std::size_t>(column), ' ') + text; }
};

TEST_F(InterpPlotLine, LabelsArePlacedRightToLeft) {
    struct Case {
        std::vector<std::pair<int, int>> pairs;
        int column;  // first column of `text`
        std::string text;
    } cases[] = {
        {{{40, 7}}, 40, "7"},
        {{{41, 12}, {40, 3}}, 39, "312"},         // the next is pushed left, numbers touch
        {{{1, 45}, {10, 7}}, 1, "45       7"},     // room on the right: begins at column 1
        {{{1, 123}, {4, 45}}, 1, "123 45"},       // no room: the label on the right moves on
        {{{1, 123}, {2, 45}, {3, 6}}, 1, "123456"},
    };
    for (const Case& c : cases) {
        const std::string l = line(c.pairs);
        EXPECT_EQ(l.substr(0, static_cast<std::size_t>(c.column) + c.text.size()), at(c.column, c.text)) << "[" << l << "]";
    }
}

TEST_F(InterpPlotLine, BondPointsShowOnlyAtLargeScale) {
    EXPECT_EQ(line({{20, 51}, {10, 5}}, 50, 2.5f).substr(0, 21), at(10, "5         *"));
    EXPECT_EQ(line({{20, 51}, {10, 5}}, 50, 1.5f).substr(0, 21), at(10, "5          "));
}

TEST_F(InterpPlotLine, ALineIsSeventyEightColumnsAfterTheCarriageControl) {
    const std::string l = line({{78, 199}, {1, 2}});
    EXPECT_EQ(l.size(), 79u);
    EXPECT_EQ(l.substr(76), "199");
    EXPECT_EQ(l.substr(0, 2), " 2");
}

// --- Whole plots ----------------------------------------------------------------

class InterpPlots : public InterpRun {};

const Cell kLong{40, 20, 20, 90, 90, 90};

// A chain 13 A long is drawn down the page: one peak per printed line.
TEST_F(InterpPlots, LongStructureRunsDownThePage) {
    crystal(kLong, "p 1", "c 10");
    std::vector<std::array<double, 3>> r;
    for (int k = 0; k < 10; ++k) r.push_back({5 + 1.45 * k, 10 + (k % 2) * 0.6, 10});
    peaks(from_cartesian(kLong, r));
    interpret(interp_mode::kEMap, 1);
    const auto lines = split_lines(listing());
    std::size_t top = 0;
    while (top < lines.size() && lines[top].find("overall plot of the structure") == std::string::npos) ++top;
    ASSERT_LT(top, lines.size()) << listing();
    EXPECT_NE(lines[top + 1].find("scale :  2.50 cms/a"), std::string::npos) << lines[top + 1];
    int with_peak = 0;
    for (std::size_t k = top + 5; k < lines.size() && lines[k] != "  "; ++k) {
        int numbers = 0;
        bool in_number = false;
        for (char ch : lines[k]) {
            if (std::isdigit(static_cast<unsigned char>(ch)) && !in_number) ++numbers;
            in_number = std::isdigit(static_cast<unsigned char>(ch)) != 0;
        }
        EXPECT_LE(numbers, 1) << lines[k];
        with_peak += numbers;
    }
    EXPECT_EQ(with_peak, 10);
}

// At print level 0 no plot is drawn, and the bonds are still handed back.
TEST_F(InterpPlots, NoPlotAtPrintLevelZero) {
    crystal(kLong, "p 1", "c 10");
    std::vector<std::array<double, 3>> r;
    for (int k = 0; k < 4; ++k) r.push_back({5 + 1.45 * k, 10 + (k % 2) * 0.6, 10});
    peaks(from_cartesian(kLong, r));
    interpret(interp_mode::kLaterMap, 0);
    EXPECT_FALSE(listed("overall plot"));
    EXPECT_EQ(bonds().size(), 3u);
}

}  // namespace
}  // namespace zanek::test
