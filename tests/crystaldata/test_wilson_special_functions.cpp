// The special functions of the intensity statistics against closed forms
// and the standard library: the incomplete gamma function at half-integer
// and integer orders (erf and exponential forms) and by quadrature, the
// inverse error function, ln Gamma, and the error routine's messages.
#include <gtest/gtest.h>

#include <cmath>

#include "crystaldata/special_functions.h"
#include "tests/crystaldata/test_normal_fixture.h"

using namespace zanek;
using namespace zanek::test;

namespace {

// P(a, x) by closed forms for a = 0.5, 1, 1.5, 2, 2.5, 3.
double closed_gamma(double a, double x) {
    const double e = std::exp(-x), r = std::sqrt(x), pi = std::acos(-1.0);
    if (a == 0.5) return std::erf(r);
    if (a == 1.0) return 1.0 - e;
    if (a == 1.5) return std::erf(r) - 2.0 * r * e / std::sqrt(pi);
    if (a == 2.0) return 1.0 - e * (1.0 + x);
    if (a == 2.5) return std::erf(r) - 2.0 * r * e / std::sqrt(pi) * (1.0 + 2.0 * x / 3.0);
    return 1.0 - e * (1.0 + x + x * x / 2.0);  // a = 3
}

// P(a, x) by Simpson's rule on t = u^2 (smooth for a > 0.5).
double quadrature_gamma(double a, double x) {
    const int n = 20000;
    const double umax = std::sqrt(x), h = umax / n;
    auto f = [&](double u) { return u == 0.0 ? 0.0 : 2.0 * std::pow(u, 2 * a - 1) * std::exp(-u * u); };
    double s = f(0) + f(umax);
    for (int i = 1; i < n; ++i) s += (i % 2 ? 4.0 : 2.0) * f(i * h);
    return s * h / 3.0 / std::tgamma(a);
}

}  // namespace

class SpecialFunctions : public NormalListing {};

TEST_F(SpecialFunctions, IncompleteGammaMatchesClosedForms) {
    for (double a : {0.5, 1.0, 1.5, 2.0, 2.5, 3.0}) {
        for (double x : {1e-4, 0.01, 0.1, 0.2275, 0.5, 0.693, 1.0, 1.5, 2.0, 3.0, 5.0, 10.0, 30.0}) {
            float p = -1.0f;
            int ier = -1;
            MDGAM(static_cast<float>(x), static_cast<float>(a), p, ier);
            EXPECT_EQ(ier, 0);
            EXPECT_NEAR(p, closed_gamma(a, x), 2e-6) << "a=" << a << " x=" << x;
        }
    }
}

TEST_F(SpecialFunctions, IncompleteGammaOfOtherOrdersMatchesQuadrature) {
    for (double a : {0.75, 3.7, 6.2}) {
        for (double x : {0.3, 2.0, 4.0, 9.0}) {
            float p = 0.0f;
            int ier = 0;
            MDGAM(static_cast<float>(x), static_cast<float>(a), p, ier);
            EXPECT_NEAR(p, quadrature_gamma(a, x), 5e-6) << "a=" << a << " x=" << x;
        }
    }
}

TEST_F(SpecialFunctions, IncompleteGammaDomainErrors) {
    struct Case {
        float x, p;
        int ier;
    } cases[] = {{-1.0f, 1.0f, 129}, {1.0f, 0.0f, 130}, {1.0f, -2.0f, 130}};
    for (const Case& c : cases) {
        float prob = 0.5f;
        int ier = 0;
        MDGAM(c.x, c.p, prob, ier);
        EXPECT_EQ(ier, c.ier);
        EXPECT_EQ(prob, 0.0f);
    }
    EXPECT_TRUE(listed(" *** TERMINAL ERROR          (IER = 130) FROM IMSL ROUTINE MDGAM"));
    float prob = 1.0f;
    int ier = 1;
    MDGAM(0.0f, 2.0f, prob, ier);
    EXPECT_EQ(ier, 0);
    EXPECT_EQ(prob, 0.0f);
}

TEST_F(SpecialFunctions, InverseErrorFunction) {
    for (double p : {-0.999, -0.9, -0.5, -0.1, 0.0, 0.05, 0.3, 0.5, 0.84, 0.85, 0.86, 0.95, 0.999, 0.999999}) {
        float y = 0.0f;
        int ier = -1;
        MERFI(static_cast<float>(p), y, ier);
        EXPECT_EQ(ier, 0);
        EXPECT_NEAR(std::erf(static_cast<double>(y)), p, 2e-6) << p;
    }
    float y = 1.0f;
    int ier = 0;
    MERFI(0.0f, y, ier);
    EXPECT_EQ(y, 0.0f);
    MERFI(1.0f, y, ier);
    EXPECT_EQ(ier, 129);
    EXPECT_EQ(y, kHugeReal);
    MERFI(-1.0f, y, ier);
    EXPECT_EQ(y, -kHugeReal);
}

TEST_F(SpecialFunctions, LogGammaMatchesLibrary) {
    for (double x : {1e-9, 0.01, 0.3, 0.5, 0.9, 1.0, 1.5, 2.0, 2.5, 3.9, 4.0, 4.1, 7.3, 12.0, 12.5, 100.0, 1e6,
                     -0.5, -1.5, -2.7, -10.2}) {
        double want = std::lgamma(x);
        EXPECT_NEAR(ALGAMX(static_cast<float>(x)), want, 2e-6 * std::max(1.0, std::fabs(want))) << x;
    }
    EXPECT_NEAR(ALGAMX(1.0f), 0.0f, 1e-6f);
    EXPECT_NEAR(ALGAMX(2.0f), 0.0f, 1e-6f);
}

TEST_F(SpecialFunctions, LogGammaPolesNameBothRoutines) {
    EXPECT_EQ(ALGAMX(-1.0f), kHugeReal);
    EXPECT_EQ(ALGAMX(0.0f), kHugeReal);
    EXPECT_EQ(ALGAMX(5e36f), kHugeReal);
    auto ls = lines();
    ASSERT_EQ(ls.size(), 3u);
    EXPECT_EQ(ls[0], " *** TERMINAL ERROR          (IER = 130) FROM IMSL ROUTINE MLGAMA=ALGAMX");
    EXPECT_EQ(ls[2], " *** TERMINAL ERROR          (IER = 129) FROM IMSL ROUTINE MLGAMA=ALGAMX");
}

TEST_F(SpecialFunctions, ErrorRoutineLevelsAndTraceback) {
    int level = 1;
    UERTST(level, "UERSET");
    EXPECT_EQ(level, 4);  // the old level
    int w = 70;
    UERTST(w, "ROUT  ");  // warning with fix: suppressed at level 1
    int t = 200;
    UERTST(t, "ROUT  ");
    level = 9;
    UERTST(level, "UERSET");  // above 4: level 4
    EXPECT_EQ(level, 1);
    int u = 5;
    UERTST(u, "ROUT  ");
    int s = 40;
    UERTST(s, "ROUT  ");
    auto ls = lines();
    ASSERT_EQ(ls.size(), 3u);
    EXPECT_EQ(ls[0], " *** TERMINAL ERROR          (IER = 200) FROM IMSL ROUTINE ROUT");
    EXPECT_EQ(ls[1], " *** UNDEFINED ERROR         (IER =     5) FROM IMSL ROUTINE ROUT");
    EXPECT_EQ(ls[2], " *** WARNING ERROR           (IER =  40) FROM IMSL ROUTINE ROUT");
}

TEST(SpecialFunctionsText, UnpackMeasuresTheName) {
    std::string out;
    int n = -1;
    USPKD("MDGAM ", 6, out, n);
    EXPECT_EQ(out, "MDGAM ");
    EXPECT_EQ(n, 5);
    USPKD("      ", 6, out, n);
    EXPECT_EQ(n, 0);
    USPKD("ABC", 0, out, n);
    EXPECT_EQ(n, 0);
    int nin = 0, nout = 0;
    UGETIO(1, nin, nout);
    EXPECT_EQ(nin, 5);
    EXPECT_EQ(nout, 6);
}
