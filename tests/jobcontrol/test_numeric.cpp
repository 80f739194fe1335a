// The shared numeric helpers: unpacking against the packing formulas, the
// compact operator codes, the Bessel-function ratio against I1(x)/I0(x)
// summed from its power series, and the record sort against a hand-worked
// fixture and a plain transcription of the diminishing-gap exchange sort.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "jobcontrol/numeric.h"
#include "jobcontrol/records/work.h"
#include "platform/stop.h"

namespace zanek {
namespace {

// ---- unpacking -----------------------------------------------------------

int32_t relation_word(int a, int b, int c) { return ((a + 2048) * 4096 + (b + 2048)) * 32 + (c + 1); }
int32_t packed_index(int h, int k, int l) { return h * 262144 + (k + 256) * 512 + (l + 256); }

TEST(Numeric, UnpackRelationWord) {
    int32_t a = 9, b = 9, c = 9;
    UNPAK3(268500993, a, b, c);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(c, 0);
    const int as[] = {-2048, -1, 0, 1, 1024, 2047};
    const int cs[] = {-1, 0, 1, 15, 30};
    for (int ea : as)
        for (int eb : as)
            for (int ec : cs) {
                UNPAK3(relation_word(ea, eb, ec), a, b, c);
                EXPECT_EQ(a, ea);
                EXPECT_EQ(b, eb);
                EXPECT_EQ(c, ec) << ea << " " << eb;
            }
}

TEST(Numeric, UnpackPackedIndex) {
    int32_t h = 9, k = 9, l = 9;
    UNPACK(131328, h, k, l);
    EXPECT_EQ(h, 0);
    EXPECT_EQ(k, 0);
    EXPECT_EQ(l, 0);
    const int ks[] = {-255, -63, -1, 0, 1, 63, 255};
    for (int eh : {0, 1, 2, 63, 100})
        for (int ek : ks)
            for (int el : ks) {
                UNPACK(packed_index(eh, ek, el), h, k, l);
                EXPECT_EQ(h, eh);
                EXPECT_EQ(k, ek);
                EXPECT_EQ(l, el);
            }
}

// ---- compact operator codes ------------------------------------------------

TEST(Numeric, MusymRowCodes) {
    std::vector<int32_t> R(48 * 9, 0);
    std::vector<float> T(48 * 3, 0.0f);
    auto r = [&](int k, int i, int j) -> int32_t& { return R[size_t((k - 1) + 48 * (i - 1) + 144 * (j - 1))]; };
    auto t = [&](int k, int i) -> float& { return T[size_t((k - 1) + 48 * (i - 1))]; };
    // Operator 1: identity. Operator 2: a hexagonal operator with rows
    // (1,-1,0), (0,-1,1) and (0,0,-1) and a translation. Operator 3: a row
    // with three non-zero elements, which no crystal has, to show that the
    // third code replaces the second.
    r(1, 1, 1) = r(1, 2, 2) = r(1, 3, 3) = 1;
    r(2, 1, 1) = 1;
    r(2, 1, 2) = -1;
    r(2, 2, 2) = -1;
    r(2, 2, 3) = 1;
    r(2, 3, 3) = -1;
    t(2, 1) = 0.5f;
    t(2, 3) = 0.25f;
    r(3, 1, 1) = r(3, 1, 2) = r(3, 1, 3) = 1;
    std::vector<int32_t> MS(2 * 3 * 3, 77);
    std::vector<float> TS(3 * 3, 7.0f);
    MUSYM(R.data(), T.data(), 3, MS.data(), TS.data());
    const int32_t want[3][3][2] = {
        {{1, 0}, {2, 0}, {3, 0}},
        {{1, -2}, {-2, 3}, {-3, 0}},
        {{1, 3}, {0, 0}, {0, 0}},
    };
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 3; ++i)
            for (int s = 0; s < 2; ++s)
                EXPECT_EQ(MS[size_t(s + 2 * i + 6 * k)], want[k][i][s]) << "op " << k + 1 << " row " << i + 1;
    EXPECT_EQ(TS[0 + 3 * 1], 0.5f);
    EXPECT_EQ(TS[1 + 3 * 1], 0.0f);
    EXPECT_EQ(TS[2 + 3 * 1], 0.25f);
    // N = 0 writes nothing.
    std::vector<int32_t> untouched(6, 5);
    std::vector<float> tuntouched(3, 5.0f);
    MUSYM(R.data(), T.data(), 0, untouched.data(), tuntouched.data());
    EXPECT_EQ(untouched[0], 5);
    EXPECT_EQ(tuntouched[0], 5.0f);
}

// ---- Bessel-function ratio -------------------------------------------------

// I1(x)/I0(x) from the power series of both functions.
double bessel_ratio(double x) {
    long double i0 = 0, i1 = 0, a = 1;  // a = (x/2)^(2k) / (k!)^2
    const long double h = x / 2;
    for (int k = 0; k < 1000 && a > 1e-30L * i0; ++k) {
        i0 += a;
        i1 += a * h / (k + 1);
        a *= h * h / ((k + 1.0L) * (k + 1.0L));
    }
    return double(i1 / i0);
}

TEST(Numeric, SeriesReference) {
    // Values of the ratio from tables of I0 and I1.
    EXPECT_NEAR(bessel_ratio(1.0), 0.5651591 / 1.2660659, 1e-6);
    EXPECT_NEAR(bessel_ratio(2.0), 1.5906369 / 2.2795853, 1e-6);
}

TEST(Numeric, BesFollowsTheRatio) {
    // Over the whole fitted range the approximation stays within 0.011
    // (its worst point is the join at x = 20).
    for (int j = 1; j <= 9900; ++j) {
        const double x = j * 0.01;
        const double r = bessel_ratio(x);
        ASSERT_NEAR(BES(float(x)), r, 0.011) << x;
        ASSERT_NEAR(BES(float(-x)), -r, 0.011) << -x;
    }
}

TEST(Numeric, BesPieces) {
    EXPECT_EQ(BES(1e-7f), 0.0f);
    EXPECT_EQ(BES(0.0f), 0.0f);
    const double p3 = 0.444 + 0.19096 * 3 - 0.02697 * 9 + 0.00135 * 27;
    EXPECT_NEAR(BES(-3.0f), -p3, 1e-6);
    const double p29 = -0.00718 + 0.5668 * 2.9 - 0.12287 * 2.9 * 2.9 + 0.008 * 2.9 * 2.9 * 2.9;
    EXPECT_NEAR(BES(2.9f), p29, 1e-6);  // the bound belongs to the piece below it
    EXPECT_NEAR(BES(99.0f), 0.988652 + 0.0000631 * 99, 1e-6);
    EXPECT_EQ(BES(150.0f), 1.0f);
    EXPECT_EQ(BES(-150.0f), -1.0f);
}

TEST(Numeric, BesseFollowsTheRatio) {
    float y = 5.0f;
    BESSE(0.0f, y);
    EXPECT_EQ(y, 0.0f);
    for (int j = 1; j <= 5000; ++j) {
        const float x = float(j * 0.02);
        float yp = 0, ym = 0;
        BESSE(x, yp);
        BESSE(-x, ym);
        ASSERT_EQ(ym, -yp) << x;
        ASSERT_LE(yp, 1.0f);
        ASSERT_NEAR(yp, bessel_ratio(x), 0.016) << x;
    }
    BESSE(1e6f, y);
    EXPECT_LE(y, 1.0f);
    EXPECT_GT(y, 0.999f);
}

TEST(Numeric, BesinvInvertsTheRatio) {
    EXPECT_EQ(BESINV(0.0f), 0.0f);
    EXPECT_EQ(BESINV(5e-7f), 0.0f);
    EXPECT_EQ(BESINV(0.995f), 100.0f);
    EXPECT_NEAR(BESINV(0.5f), -0.00252 + 2.1065 * 0.5 - 1.12674 * 0.25 + 3.09414 * 0.125, 1e-5);
    EXPECT_NEAR(BESINV(0.9888f), 15000 * 0.9888 - 14787, 0.05);
    // I1(x)/I0(x) at x = BESINV(a) comes back to a within 0.01.
    for (int j = 5; j < 995; ++j) {
        const float a = float(j / 1000.0);
        const float x = BESINV(a);
        ASSERT_GT(x, 0.0f) << a;
        ASSERT_NEAR(bessel_ratio(x), a, 0.01) << a;
        ASSERT_NEAR(BES(x), a, 0.02) << a;
    }
}

TEST(Numeric, BesinvIsOdd) {
    // The ratio is odd, so is its inverse: a negative argument gives minus
    // the value of its magnitude (not the first polynomial at a < 0).
    for (float a : {0.001f, 0.3f, 0.5f, 0.8f, 0.95f, 0.99f, 0.999f}) EXPECT_EQ(BESINV(-a), -BESINV(a)) << a;
    EXPECT_LT(BESINV(-0.5f), -1.0f);
}

// ---- record sort ---------------------------------------------------------

// The sort exactly as described: gaps N/2, N/4, ... 1; for each gap, full
// passes over records 1..N-g until one exchanges nothing.
void reference_sort(std::vector<Word>& w, int N, int LEN, int KEY) {
    if (N <= 1) return;
    const int dir = KEY > 0 ? 1 : -1, k = std::abs(KEY);
    int d = 2;
    for (;;) {
        const int g = std::max(N / d, 1);
        bool exchanged = true;
        while (exchanged) {
            exchanged = false;
            for (int i = 1; i <= N - g; ++i) {
                const float a = w[size_t((i - 1) * LEN + k - 1)].r;
                const float b = w[size_t((i + g - 1) * LEN + k - 1)].r;
                if (dir * (a - b) > 0) {
                    for (int m = 0; m < LEN; ++m)
                        std::swap(w[size_t((i - 1) * LEN + m)], w[size_t((i + g - 1) * LEN + m)]);
                    exchanged = true;
                }
            }
        }
        if (g == 1) return;
        d *= 2;
    }
}

TEST(Numeric, SortzEqualKeysHandWorked) {
    // Records (id, key): A 3.0, B 5.0, C 5.0, D 1.0, sorted descending on
    // word 2. Gap 2: A and C exchange (C B A D), the repeat pass exchanges
    // nothing; gap 1 exchanges nothing (B and C have equal keys). So C comes
    // before B although B came first.
    const int start = 101;
    const float keys[] = {3.0f, 5.0f, 5.0f, 1.0f};
    for (int i = 0; i < 4; ++i) {
        XDATA.I(size_t(start + 2 * i)) = 'A' + i;
        XDATA.R(size_t(start + 2 * i + 1)) = keys[i];
    }
    XDATA.I(size_t(start + 8)) = 4242;  // the word after the records stays
    SORTZ(start, 4, 2, -2);
    const char want[] = {'C', 'B', 'A', 'D'};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(XDATA.I(size_t(start + 2 * i)), want[i]) << i;
    EXPECT_EQ(XDATA.R(size_t(start + 3)), 5.0f);
    EXPECT_EQ(XDATA.I(size_t(start + 8)), 4242);
}

TEST(Numeric, SortzMatchesTheDescribedSort) {
    std::mt19937 rng(12345);
    struct Shape {
        int N, LEN, KEY;
    };
    const Shape shapes[] = {{2, 1, 1}, {3, 2, -1}, {7, 3, 2}, {50, 6, -2}, {333, 4, 3}, {1000, 2, -1}, {2047, 5, 5}};
    for (const Shape& s : shapes) {
        for (int ties : {3, 1000000}) {
            const int start = 17;
            std::vector<Word> want(size_t(s.N * s.LEN));
            for (int i = 0; i < s.N * s.LEN; ++i) {
                Word w;
                if (i % s.LEN == std::abs(s.KEY) - 1)
                    w.r = float(int(rng() % unsigned(ties)) - ties / 2) * 0.5f;
                else
                    w.i = i;  // makes every record distinguishable
                want[size_t(i)] = w;
                XDATA.W(size_t(start + i)) = w;
            }
            reference_sort(want, s.N, s.LEN, s.KEY);
            SORTZ(start, s.N, s.LEN, s.KEY);
            for (int i = 0; i < s.N * s.LEN; ++i)
                ASSERT_EQ(XDATA.I(size_t(start + i)), want[size_t(i)].i)
                    << "N " << s.N << " key " << s.KEY << " word " << i;
        }
    }
}

TEST(Numeric, SortzNothingToDo) {
    const int start = 1;
    XDATA.R(start) = 2.0f;
    XDATA.R(start + 1) = 1.0f;
    SORTZ(start, 1, 1, 1);
    SORTZ(start, 0, 1, 1);
    SORTZ(start, -3, 1, 1);
    EXPECT_EQ(XDATA.R(start), 2.0f);
}

TEST(Numeric, SortzOutsideTheWorkStoreStops) {
    EXPECT_THROW(SORTZ(kXdataWords - 5, 4, 2, 1), ZanekStop);
    EXPECT_THROW(SORTZ(0, 4, 2, 1), ZanekStop);
    EXPECT_THROW(SORTZ(1, 4, 2, 3), ZanekStop);
    EXPECT_THROW(SORTZ(1, 4, 2, 0), ZanekStop);
    EXPECT_NO_THROW(SORTZ(kXdataWords - 7, 4, 2, 1));
}

}  // namespace
}  // namespace zanek
