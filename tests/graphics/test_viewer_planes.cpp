// View planes: the least-squares plane of a benzene ring, the principal
// directions and the Jacobi eigenvalue routine, the turns onto the line of
// sight, the cell-axis views, and the guards for empty and degenerate views.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "test_viewer_fixture.h"

namespace zanek::test {
namespace {

class Planes : public ViewerSurfaceTest {
protected:
    static constexpr float kR = 1.39f;  // C-C of benzene
    float n[3] = {1.0f / 3, 2.0f / 3, 2.0f / 3};  // normal of the ring's plane

    // A benzene ring about (5, -3, 2) in the plane normal to n, then the
    // four cell corners (1,0,0), (0,1,0), (0,0,1), (0,0,0) of a cell with
    // a = (3, 0, 4), b = (0, 2, 0), c = (0, 0, 5).
    void SetUp() override {
        ViewerSurfaceTest::SetUp();
        const float u[3] = {2.0f / 3, 1.0f / 3, -2.0f / 3}, v[3] = {2.0f / 3, -2.0f / 3, 1.0f / 3};
        for (int k = 0; k < 6; ++k) {
            const double t = k * 3.14159265358979 / 3;
            const float c = static_cast<float>(kR * std::cos(t)), s = static_cast<float>(kR * std::sin(t));
            entry(k + 1, 5 + c * u[0] + s * v[0], -3 + c * u[1] + s * v[1], 2 + c * u[2] + s * v[2], 0.26f);
        }
        ATOMI.n1 = 6;
        entry(7, 3, 0, 4, 0.01f, 7, "");
        entry(8, 0, 2, 0, 0.01f, 7, "");
        entry(9, 0, 0, 5, 0.01f, 7, "");
        entry(10, 0, 0, 0, 0.01f, 7, "");
        ATOMI.n2 = 4;
    }
    static void centroid(double c[3]) {
        c[0] = c[1] = c[2] = 0;
        for (int i = 1; i <= 6; ++i)
            for (int k = 0; k < 3; ++k) c[k] += ATOMI.r[i][k] / 6.0;
    }
};

TEST_F(Planes, LeastSquaresPlaneOfABenzeneRing) {
    int count = 0;
    LSPLANE(count);
    EXPECT_EQ(count, 6);
    double c[3];
    centroid(c);
    for (double ck : c) EXPECT_NEAR(ck, 0.0, 1e-5);
    // The cell corners moved with the atoms.
    EXPECT_NEAR(ATOMI.r[10][0], -5.0f, 1e-4);
    EXPECT_NEAR(ATOMI.r[10][1], 3.0f, 1e-4);
    // Eigenvalues ascending: 0 across the plane, 3 R^2 twice within it.
    EXPECT_NEAR(WORK.eig[0], 0.0f, 1e-4);
    EXPECT_NEAR(WORK.eig[1], 3 * kR * kR, 1e-3);
    EXPECT_NEAR(WORK.eig[2], 3 * kR * kR, 1e-3);
    // The plane normal is +-n, a unit vector.
    const float dot = WORK.vec[0] * n[0] + WORK.vec[1] * n[1] + WORK.vec[2] * n[2];
    EXPECT_NEAR(std::fabs(dot), 1.0f, 1e-5);
    // The other two directions lie in the plane.
    for (int j = 1; j <= 2; ++j)
        EXPECT_NEAR(WORK.vec[3 * j] * n[0] + WORK.vec[3 * j + 1] * n[1] + WORK.vec[3 * j + 2] * n[2], 0.0f, 1e-4);
}

TEST_F(Planes, LeastSquaresViewShowsTheRingFlat) {
    CHEPIANO(1);
    for (int i = 1; i <= 6; ++i) EXPECT_NEAR(ATOMI.r[i][2], 0.0f, 1e-4) << i;
    // Still a ring of radius R about the origin.
    for (int i = 1; i <= 6; ++i)
        EXPECT_NEAR(std::hypot(ATOMI.r[i][0], ATOMI.r[i][1]), kR, 1e-4) << i;
    // Edge-on along a direction of the plane: the plane now holds the line
    // of sight, so its normal has no z component.
    CHEPIANO(2);
    int count = 0;
    LSPLANE(count);
    EXPECT_NEAR(WORK.vec[2], 0.0f, 1e-4);
}

TEST_F(Planes, CellAxisViews) {
    // a = (3, 0, 4): turned onto +z.
    CHEPIANO(4);
    float d[3];
    for (int k = 0; k < 3; ++k) d[k] = ATOMI.r[7][k] - ATOMI.r[10][k];
    EXPECT_NEAR(d[0], 0.0f, 1e-4);
    EXPECT_NEAR(d[1], 0.0f, 1e-4);
    EXPECT_NEAR(d[2], 5.0f, 1e-4);
    // b now lies in the screen plane (t >= 0.999): a turn of exactly 90
    // degrees brings it onto the line of sight.
    CHEPIANO(5);
    for (int k = 0; k < 3; ++k) d[k] = ATOMI.r[8][k] - ATOMI.r[10][k];
    EXPECT_NEAR(std::hypot(d[0], d[1]), 0.0f, 1e-4);
    EXPECT_NEAR(std::fabs(d[2]), 2.0f, 1e-4);
}

TEST_F(Planes, TurnOntoTheLineOfSight) {
    PLANEFOUND(0, 0, 1);  // already along the line of sight
    EXPECT_FLOAT_EQ(CRT.angle, 0.0f);
    EXPECT_EQ(CRT.axis_code, 4);
    EXPECT_FLOAT_EQ(CRT.axis[1][2], 1.0f);
    PLANEFOUND(0, 3, -4);  // onto -z: angle negative
    EXPECT_NEAR(CRT.angle, -std::atan(3.0 / 4.0) * 180 / 3.14159265, 1e-3);
    EXPECT_FLOAT_EQ(CRT.axis[1][0], 3.0f);
    EXPECT_FLOAT_EQ(CRT.axis[1][1], 0.0f);
    PLANEFOUND(1, 0.02f, 0);  // within 2.6 degrees of the screen plane
    EXPECT_FLOAT_EQ(CRT.angle, 90.0f);
    // A zero direction turns nothing.
    PLANEFOUND(0, 0, 0);
    EXPECT_EQ(CRT.axis_code, 0);
    EXPECT_TRUE(std::isfinite(CRT.angle));
}

TEST_F(Planes, HiddenModelIsNotMoved) {
    for (int i = 1; i <= 6; ++i) ATOMI.radius[i] = -0.26f;
    const auto before = ATOMI.r;
    WORK.eig[0] = 7.0f;
    int count = -1;
    LSPLANE(count);
    EXPECT_EQ(count, 0);
    EXPECT_FLOAT_EQ(WORK.eig[0], 7.0f);
    for (float s : WORK.s) EXPECT_EQ(s, 0.0f);
    CHEPIANO(1);
    CHEPIANO(3);
    EXPECT_EQ(ATOMI.r, before);
    // The cell-axis views still work.
    CHEPIANO(6);
    EXPECT_NEAR(ATOMI.r[9][2] - ATOMI.r[10][2], 5.0f, 1e-4);
}

TEST_F(Planes, OneShownAtomIsMovedToTheOrigin) {
    for (int i = 2; i <= 6; ++i) ATOMI.radius[i] = -0.26f;
    int count = 0;
    LSPLANE(count);
    EXPECT_EQ(count, 1);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(ATOMI.r[1][k], 0.0f, 1e-6);
    for (float e : WORK.eig) EXPECT_EQ(e, 0.0f);
}

TEST(Jacobi, EigenvaluesAndVectors) {
    // Already diagonal: unchanged, V the identity, one sweep.
    float a[9] = {3, 0, 0, 0, 1, 0, 0, 0, 2}, d[3], v[9];
    int flag = -1;
    AUTOV(a, d, v, flag);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(d[0], 3.0f);
    EXPECT_EQ(d[1], 1.0f);
    EXPECT_EQ(d[2], 2.0f);
    for (int k = 0; k < 9; ++k) EXPECT_EQ(v[k], k % 4 == 0 ? 1.0f : 0.0f);
    // Zero matrix: three zero eigenvalues.
    float z[9] = {};
    AUTOV(z, d, v, flag);
    EXPECT_EQ(flag, 1);
    for (float e : d) EXPECT_NEAR(e, 0.0f, 1e-12);
    // [[2,1,0],[1,2,0],[0,0,3]]: eigenvalues 1, 3, 3; A v = lambda v.
    const float m[9] = {2, 1, 0, 1, 2, 0, 0, 0, 3};
    float b[9];
    std::copy(m, m + 9, b);
    AUTOV(b, d, v, flag);
    EXPECT_EQ(flag, 1);
    float sorted[3] = {d[0], d[1], d[2]};
    std::sort(sorted, sorted + 3);
    EXPECT_NEAR(sorted[0], 1.0f, 1e-5);
    EXPECT_NEAR(sorted[2], 3.0f, 1e-5);
    for (int j = 0; j < 3; ++j) {
        float av[3];
        MOLT1(m, v + 3 * j, av);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(av[k], d[j] * v[3 * j + k], 1e-5);
        EXPECT_NEAR(std::hypot(v[3 * j], v[3 * j + 1], v[3 * j + 2]), 1.0f, 1e-5);
    }
}

}  // namespace
}  // namespace zanek::test
