// Wilson plot, unobserved-reflection statistics and rescaling on working
// files built in memory with a known temperature factor and scale.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <ostream>

#include "crystaldata/wilson.h"
#include "tests/crystaldata/test_normal_fixture.h"

using namespace zanek;
using namespace zanek::test;

namespace {

constexpr double kB = 3.0, kScale = 0.02;  // |F_abs|^2 = kScale |Fo|^2

// n reflections spread evenly in s^2 over (0, s2max], normalised intensity
// exp(-2 B s^2) / scale (z = 1 everywhere); keep(s2) decides which are kept.
WorkingFile wilson_data(int n, float s2max, const std::function<bool(float)>& keep = nullptr) {
    WorkingFile wf;
    for (int i = 1; i <= n; ++i) {
        float s2 = s2max * (i - 0.5f) / n;  // clear of the shell limits
        if (keep && !keep(s2)) continue;
        wf.push_back(observed(s2, std::exp(-2.0 * kB * s2) / kScale));
    }
    return wf;
}

bool all_finite_tables() {
    for (int w = 1; w <= cw::kScale; ++w)
        if (!std::isfinite(C.R(w))) return false;
    return true;
}

// Mean z and spread of z below zmax for the centric distribution
// p(z) = exp(-z/2) / sqrt(2 pi z), by quadrature on z = t^2.
void centric_truncated(double zmax, double& mean, double& sd) {
    const int n = 20000;
    const double tmax = std::sqrt(zmax), h = tmax / n, c = std::sqrt(2.0 / std::acos(-1.0));
    double m0 = 0, m1 = 0, m2 = 0;
    for (int i = 0; i <= n; ++i) {
        double t = i * h, w = (i == 0 || i == n) ? 1 : (i % 2 ? 4 : 2);
        double p = c * std::exp(-t * t / 2.0);  // density in t
        m0 += w * p;
        m1 += w * p * t * t;
        m2 += w * p * t * t * t * t;
    }
    mean = m1 / m0;
    sd = std::sqrt(m2 / m0 - mean * mean);
}

}  // namespace

class WilsonPlot : public NormalListing {};

TEST_F(WilsonPlot, FitsTheTemperatureFactorAndScale) {
    wilson_setup(10, 0.5f);
    WorkingFile wf = wilson_data(2000, 0.5f);
    int ierr = 0;
    SUM(wf, 1.0f, ierr);
    ASSERT_EQ(ierr, 0);
    EXPECT_NEAR(C.R(cw::kB), kB, 0.05);
    EXPECT_NEAR(C.R(cw::kScale), kScale, 0.03 * kScale);
    EXPECT_NEAR(C.R(cw::kSlope), -2.0 * C.R(cw::kB), 1e-5);
    EXPECT_NEAR(C.R(cw::kScale), std::exp(-C.R(cw::kIntercept)), 1e-6);
    EXPECT_EQ(wilson_points(), 10);
    // The last point is the last shell alone: its mean s^2 lies in it.
    EXPECT_GT(cw::mean_s2(10), 0.45f);
}

// Each point of the plot pools a shell with the next one. Four shells of
// width 0.1 in s^2, each of its own count, weight and mean intensity:
//   shell 1: 5 reflections at s^2 0.05, q 1, z 4:   sum q 5,  sum q z 20, sum q s^2 0.25
//   shell 2: 5 reflections at s^2 0.15, q 2, z 2:   sum q 10, sum q z 20, sum q s^2 1.5
//   shell 3: 6 reflections at s^2 0.25, q 1, z 1:   sum q 6,  sum q z 6,  sum q s^2 1.5
//   shell 4: 4 reflections at s^2 0.35, q 1, z 0.5: sum q 4,  sum q z 2,  sum q s^2 1.4
// Points (shells 1+2, 2+3, 3+4, 4 alone):
//   n = 15, 16, 10, 4; mean z = 40/15, 26/16, 8/10, 2/4;
//   mean s^2 = 1.75/15, 3.0/16, 2.9/10, 1.4/4.
// Without a known fragment the "debye" and "wilson" values are both
// ln(mean z); the line is fitted to them with weights n.
TEST_F(WilsonPlot, EachPointPoolsAShellWithTheNext) {
    wilson_setup(4, 0.4f);
    UREQ.I(ureqw::kPrint) = 1;
    WorkingFile wf;
    for (int i = 0; i < 5; ++i) wf.push_back(observed(0.05f, 4.0));
    for (int i = 0; i < 5; ++i) wf.push_back(observed(0.15f, 2.0, 2));
    for (int i = 0; i < 6; ++i) wf.push_back(observed(0.25f, 1.0));
    for (int i = 0; i < 4; ++i) wf.push_back(observed(0.35f, 0.5));
    int ierr = 0;
    SUM(wf, 1.0f, ierr);
    ASSERT_EQ(ierr, 0) << listing();
    ASSERT_EQ(wilson_points(), 4);

    const double n[4] = {15, 16, 10, 4};
    const double mean_z[4] = {40.0 / 15, 26.0 / 16, 8.0 / 10, 2.0 / 4};
    const double mean_s2[4] = {1.75 / 15, 3.0 / 16, 2.9 / 10, 1.4 / 4};
    double S = 0, Sx = 0, Sxx = 0, Sy = 0, Sxy = 0;
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k + 1);
        EXPECT_NEAR(cw::mean_s2(k + 1), mean_s2[k], 1e-6);
        EXPECT_NEAR(cw::log_wilson(k + 1), std::log(mean_z[k]), 1e-6);
        EXPECT_NEAR(cw::log_debye(k + 1), std::log(mean_z[k]), 1e-6);
        const double x = mean_s2[k], y = std::log(mean_z[k]);
        S += n[k], Sx += n[k] * x, Sxx += n[k] * x * x, Sy += n[k] * y, Sxy += n[k] * x * y;
    }
    const double D = S * Sxx - Sx * Sx;
    const double slope = (S * Sxy - Sx * Sy) / D, intercept = (Sxx * Sy - Sx * Sxy) / D;
    EXPECT_NEAR(C.R(cw::kSlope), slope, 1e-4);
    EXPECT_NEAR(C.R(cw::kIntercept), intercept, 1e-5);
    EXPECT_NEAR(C.R(cw::kB), -slope / 2, 1e-4);
    EXPECT_NEAR(C.R(cw::kScale), std::exp(-intercept), 1e-5);

    // The table rows: point, range of the pair, n, mean s^2, mean intensity,
    // mean v, debye, wilson.
    const std::string rows[4] = {
        "  1         0.0000  -  0.2000         15        0.1167           2.7                 2.6667         0.9808       0.9808",
        "  2         0.1000  -  0.3000         16        0.1875           1.6                 1.6250         0.4855       0.4855",
        "  3         0.2000  -  0.4000         10        0.2900           0.8                 0.8000        -0.2231      -0.2231",
        "  4         0.3000  -  0.4000          4        0.3500           0.5                 0.5000        -0.6931      -0.6931",
    };
    for (const std::string& r : rows) EXPECT_TRUE(listed(r + "\n")) << r << "\n" << listing();
}

TEST_F(WilsonPlot, EmptyShellsAreSkipped) {
    wilson_setup(10, 0.5f);
    // Shell 4 (s^2 from 0.15 to 0.2) holds no reflection at all.
    WorkingFile wf = wilson_data(2000, 0.5f, [](float s2) { return s2 <= 0.15f || s2 > 0.2f; });
    int ierr = 0;
    SUM(wf, 1.0f, ierr);
    ASSERT_EQ(ierr, 0);
    EXPECT_EQ(wilson_points(), 9);
    EXPECT_NEAR(C.R(cw::kB), kB, 0.08);
    EXPECT_TRUE(all_finite_tables());
}

TEST_F(WilsonPlot, ShellOfUnobservedReflectionsOnlyIsSkipped) {
    wilson_setup(10, 0.5f);
    WorkingFile wf = wilson_data(2000, 0.5f);
    for (WorkRecord& r : wf)
        if (r.s2 > 0.15f && r.s2 <= 0.2f) r = unobserved(r.s2);
    int ierr = 0;
    SUM(wf, 1.0f, ierr);
    ASSERT_EQ(ierr, 0);
    EXPECT_EQ(wilson_points(), 9);
    EXPECT_NEAR(C.R(cw::kB), kB, 0.08);
    EXPECT_TRUE(all_finite_tables());
    EXPECT_TRUE(listed(" shell   no   nu   nu/nt    zmax    zmed   sigma             legenda:"));
    EXPECT_TRUE(listed("    4    0  200   1.000   0.000   0.000   0.000            zmax  = maximum value of z for unobserved reflections"));
    // Word 8 of an unobserved record holds its shell number.
    for (const WorkRecord& r : wf)
        if (!r.observed()) { EXPECT_EQ(r.key.i, 4); }
}

namespace {

struct BadPlot {
    const char* name;
    std::function<WorkingFile()> data;
};
void PrintTo(const BadPlot& c, std::ostream* os) { *os << c.name; }

}  // namespace

class WilsonPlotFails : public NormalListing, public ::testing::WithParamInterface<BadPlot> {};

TEST_P(WilsonPlotFails, WithItsOwnMessageAndNoNaN) {
    wilson_setup(5, 0.4f);
    C.R(cw::kB) = 7.0f;
    C.R(cw::kScale) = 0.5f;
    WorkingFile wf = GetParam().data();
    int ierr = 0;
    SUM(wf, 1.0f, ierr);
    EXPECT_EQ(ierr, -1);
    EXPECT_TRUE(listed(" ***  Wilson-plot procedure in error  ***\n ***         Check reflections        ***"));
    EXPECT_EQ(C.R(cw::kB), 7.0f);  // B and scale untouched
    EXPECT_EQ(C.R(cw::kScale), 0.5f);
    EXPECT_TRUE(all_finite_tables());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WilsonPlotFails,
    ::testing::Values(
        BadPlot{"one_shell",
                [] {  // every reflection at the same resolution
                    WorkingFile wf;
                    for (int i = 0; i < 20; ++i) wf.push_back(observed(0.4f, 1.0 + i));
                    return wf;
                }},
        BadPlot{"zero_amplitudes",
                [] {
                    WorkingFile wf;
                    for (int i = 1; i <= 50; ++i) wf.push_back(observed(0.4f * i / 50, 0.0));
                    return wf;
                }},
        BadPlot{"two_reflections", [] { return WorkingFile{observed(0.1f, 2.0), observed(0.4f, 1.0)}; }},
        BadPlot{"all_unobserved",
                [] {
                    WorkingFile wf;
                    for (int i = 1; i <= 50; ++i) wf.push_back(unobserved(0.4f * i / 50));
                    return wf;
                }},
        BadPlot{"empty", [] { return WorkingFile{}; }}),
    [](const auto& info) { return std::string(info.param.name); });

class UnobservedShells : public NormalListing {};

TEST_F(UnobservedShells, AcentricShellHalfUnobserved) {
    wilson_setup(1, 1.0f);
    int no[1] = {100}, nu[1] = {100}, nt[1] = {0};
    double sum[1] = {100.0};
    SUMUN(no, nu, sum, nt, 1);
    EXPECT_EQ(nt[0], 200);
    // Exponential z below zmax = ln 2: G1 = 1/2, G2 = 1 - (1 + ln 2)/2,
    // zmed = G2/G1 = 1 - ln 2.
    EXPECT_NEAR(shell::zmed(1), 0.30685, 1e-4);
    EXPECT_NEAR(shell::sigma(1), 0.198, 1e-3);
    EXPECT_NEAR(sum[0], 100.0 * 1.1812, 0.02);
    EXPECT_TRUE(listed("    1  100  100   0.500   0.693   0.307   0.198            no    = number of observed reflections"));
}

TEST_F(UnobservedShells, CentricShellUsesHalfTheLimit) {
    wilson_setup(1, 1.0f, true);
    int no[1] = {50}, nu[1] = {50}, nt[1] = {0};
    double sum[1] = {80.0};
    SUMUN(no, nu, sum, nt, 1);
    double zmax = 2.0 * std::pow(0.4769362762, 2);  // erf(y) = 0.5
    double mean = 0, sd = 0;
    centric_truncated(zmax, mean, sd);
    EXPECT_NEAR(shell::zmed(1), mean, 2e-4);
    EXPECT_NEAR(shell::zmed(1), 0.143, 1e-3);
    EXPECT_NEAR(shell::sigma(1), sd, 2e-4);
    // The observed part has mean z (1 - G2)/(1 - G1); the shell sum grows by
    // nu * zmed in units of the observed mean.
    double observed_mean = (1.0 - 0.5 * mean) / 0.5;
    EXPECT_NEAR(sum[0], 80.0 * (1.0 + mean / observed_mean), 0.01);
}

TEST_F(UnobservedShells, FractionIsARealQuotient) {
    wilson_setup(3, 1.0f);
    int no[3] = {100, 100, 3}, nu[3] = {5, 6, 1}, nt[3] = {};
    double sum[3] = {10.0, 10.0, 10.0};
    SUMUN(no, nu, sum, nt, 3);
    // 5 % unobserved or fewer: listed with zeros, sum kept.
    EXPECT_EQ(shell::zmed(1), 0.0f);
    EXPECT_EQ(sum[0], 10.0);
    EXPECT_GT(shell::zmed(2), 0.0f);
    EXPECT_GT(sum[1], 10.0);
    // 1 of 4 unobserved: f = 0.25, zmax = ln(4/3).
    EXPECT_GT(shell::zmed(3), 0.0f);
    EXPECT_TRUE(listed("    3    3    1   0.250   0.288"));
    EXPECT_TRUE(listed("    1  100    5   0.048   0.000   0.000   0.000"));
    // Only three shells: three legend lines.
    EXPECT_FALSE(listed("zmax  = maximum value"));
}

TEST_F(UnobservedShells, ShellWithoutObservedReflectionIsNotCorrected) {
    wilson_setup(2, 1.0f);
    int no[2] = {0, 10}, nu[2] = {7, 0}, nt[2] = {};
    double sum[2] = {0.0, 5.0};
    SUMUN(no, nu, sum, nt, 2);
    EXPECT_EQ(nt[0], 7);
    EXPECT_EQ(sum[0], 0.0);
    EXPECT_EQ(shell::zmed(1), 0.0f);
    EXPECT_EQ(shell::sigma(1), 0.0f);
    EXPECT_TRUE(listed("    1    0    7   1.000   0.000   0.000   0.000"));
}

class Rescaling : public NormalListing {};

TEST_F(Rescaling, MeanWeightedESquaredIsOne) {
    wilson_setup(4, 0.4f);
    C.R(cw::kScale) = 0.5f;     // Wilson scale
    C.R(cw::kB) = 2.0f * 1.5f;  // 2B while the rescaling runs
    WorkingFile wf = {observed(0.05f, 1.0, 2), observed(0.15f, 3.0, 1), observed(0.25f, 0.5, 4),
                      observed(0.35f, 2.0, 1)};
    int ierr = 0;
    RESCA(wf, ierr);
    ASSERT_EQ(ierr, 0);
    double sw = 0, se = 0;
    for (const WorkRecord& r : wf) {
        sw += r.q();
        se += r.q() * r.key.r;
    }
    EXPECT_NEAR(se / sw, 1.0, 1e-6);
    // Ratios between reflections follow scale * v * exp(2B s^2).
    double e0 = 0.5 * 1.0 * std::exp(3.0 * 0.05), e1 = 0.5 * 3.0 * std::exp(3.0 * 0.15);
    EXPECT_NEAR(wf[1].key.r / wf[0].key.r, e1 / e0, 1e-5);
    double ratio = sw / (2 * e0 + e1 + 4 * 0.5 * 0.5 * std::exp(0.75) + 0.5 * 2.0 * std::exp(1.05));
    EXPECT_NEAR(C.R(cw::kScale), ratio, 1e-6 * ratio);
}

TEST_F(Rescaling, UnobservedTakeTheShellEstimateOrHalfTheSmallestObserved) {
    wilson_setup(4, 0.4f);
    C.R(cw::kScale) = 1.0f;
    C.R(cw::kB) = 0.0f;
    shell::zmed(2) = 0.3f;  // shell 2 corrected by the statistics
    WorkingFile wf = {observed(0.02f, 2.0), observed(0.04f, 0.6), unobserved(0.03f),  // shell 1
                      observed(0.15f, 1.0), unobserved(0.16f),                         // shell 2
                      observed(0.25f, 0.8), observed(0.35f, 1.2), unobserved(0.36f)};  // shells 3, 4
    // In E^2 units: shell 4's smallest observed is 1.2 * exp(2B s^2) with B = 0.
    int ierr = 0;
    RESCA(wf, ierr);
    ASSERT_EQ(ierr, 0);
    EXPECT_NEAR(wf[2].key.r / wf[1].key.r, 0.5, 1e-6);  // half the smallest of shell 1
    EXPECT_NEAR(wf[4].key.r / wf[3].key.r, 0.3, 1e-6);  // zmed of shell 2
    EXPECT_NEAR(wf[7].key.r / wf[6].key.r, 0.5, 1e-6);
}

TEST_F(Rescaling, FallbackIsInESquaredUnitsWithATemperatureFactor) {
    wilson_setup(2, 0.4f);
    C.R(cw::kScale) = 0.1f;
    C.R(cw::kB) = 2.0f * 4.0f;  // B = 4
    WorkingFile wf = {observed(0.1f, 5.0), observed(0.3f, 2.0), observed(0.35f, 9.0), unobserved(0.38f)};
    int ierr = 0;
    RESCA(wf, ierr);
    ASSERT_EQ(ierr, 0);
    // Shell 2 (s^2 0.2-0.4): E^2 before the final ratio.
    const double e1 = 0.1 * 2.0 * std::exp(8.0 * 0.3), e2 = 0.1 * 9.0 * std::exp(8.0 * 0.35);
    EXPECT_NEAR(wf[3].key.r / wf[1].key.r, 0.5 * std::min(e1, e2) / e1, 1e-5);
}

TEST_F(Rescaling, KnownFragmentFirstPassKeepsTheScale) {
    wilson_setup(1, 0.4f);
    C.R(cw::kScale) = 0.25f;
    UREQ.I(ureqw::kPartial) = -1;
    WorkingFile wf = {observed(0.1f, 1.0), observed(0.2f, 3.0)};
    int ierr = 0;
    RESCA(wf, ierr);
    EXPECT_EQ(ierr, 0);
    EXPECT_EQ(C.R(cw::kScale), 0.25f);
}

TEST_F(Rescaling, NothingMeasurableFails) {
    wilson_setup(2, 0.4f);
    C.R(cw::kScale) = 1.0f;
    C.R(cw::kB) = 0.0f;
    for (WorkingFile wf : {WorkingFile{unobserved(0.1f), unobserved(0.3f)}, WorkingFile{observed(0.1f, 0.0)},
                           WorkingFile{}}) {
        int ierr = 0;
        RESCA(wf, ierr);
        EXPECT_EQ(ierr, -1);
        EXPECT_EQ(C.R(cw::kScale), 1.0f);
        for (const WorkRecord& r : wf) EXPECT_FALSE(std::isnan(r.key.r));
    }
    EXPECT_TRUE(listed(" *** error *** no reflection with a measurable intensity"));
}

TEST(WilsonChart, CubicThroughFourPoints) {
    const float x[4] = {0.1f, 0.2f, 0.35f, 0.5f};
    float y[4];
    auto f = [](float t) { return 2.0f * t * t * t - 1.5f * t * t + 0.5f * t + 4.0f; };
    for (int i = 0; i < 4; ++i) y[i] = f(x[i]);
    float c[4] = {1e-5f, 0, 0, 0};
    XFIT(x, y, c);
    EXPECT_NEAR(c[0], 2.0f, 1e-2f);
    EXPECT_NEAR(c[1], -1.5f, 1e-2f);
    EXPECT_NEAR(c[2], 0.5f, 1e-3f);
    EXPECT_NEAR(c[3], 4.0f, 1e-4f);
    // Points too close to fix the cubic term: the previous one is kept.
    const float xc[4] = {0.1f, 0.1001f, 0.1002f, 0.1003f};
    const float yc[4] = {1.0f, 1.1f, 1.2f, 1.3f};
    float k[4] = {7.0f, 0, 0, 0};
    XFIT(xc, yc, k);
    EXPECT_EQ(k[0], 7.0f);
}

class WilsonChartListing : public NormalListing {};

TEST_F(WilsonChartListing, ChartLayoutAndLegend) {
    wilson_setup(10, 0.5f);
    WorkingFile wf = wilson_data(2000, 0.5f);
    int ierr = 0;
    SUM(wf, 1.0f, ierr);
    ASSERT_EQ(ierr, 0);
    PLOTW();
    auto ls = lines();
    ASSERT_EQ(ls.size(), 1u + 1 + 1 + 1 + 2 + 51 + 4);
    EXPECT_EQ(ls[0], "");
    EXPECT_EQ(ls[2], std::string(9, ' ') + "*" + std::string(9, ' ') + "*" + std::string(9, ' ') + "*" +
                         std::string(9, ' ') + "*" + std::string(9, ' ') + "*" + std::string(9, ' ') + "*" +
                         std::string(9, ' ') + "*" + std::string(9, ' ') + "*" + std::string(9, ' ') + "*" +
                         std::string(9, ' ') + "*" + std::string(9, ' ') + "*");
    EXPECT_EQ(ls[3], std::string(6, ' ') + std::string(107, '*'));
    const std::string& first = ls[6];
    EXPECT_EQ(first.substr(6, 1), "*");
    EXPECT_EQ(first.substr(112, 2), "**");  // right border and the fifth-row mark
    // Where the data and the fitted line meet the chart shows 'x' or both symbols.
    int rows_with_symbols = 0;
    for (int r = 6; r < 6 + 51; ++r)
        if (ls[r].find_first_of("w*x", 9) < 112) ++rows_with_symbols;
    EXPECT_EQ(rows_with_symbols, 51);
    // Legend box in the last 13 rows, left half over columns 96-115.
    EXPECT_EQ(ls[6 + 38].substr(95, 34), std::string(34, '*'));
    EXPECT_EQ(ls[6 + 46].substr(95), "*           b(iso) =" + fmt_f(C.R(cw::kB), 12, 5) + " *");
    EXPECT_EQ(ls[6 + 49].substr(95), "* scale*f(obs.)**2 =  f(abs.)**2 *");
}
