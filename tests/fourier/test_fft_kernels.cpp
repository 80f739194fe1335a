// The one-dimensional transforms against direct Fourier sums in double
// precision, for every radix the kernels have and for lengths that mix
// them, in the memory layouts the map passes use.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "fourier/maps/fft_kernels.h"

namespace zanek {
namespace {

using cd = std::complex<double>;

std::vector<int> list_of(const int* a) {
    std::vector<int> v;
    for (int i = 0; i <= kFftMaxFactors && a[i] != 0; ++i) v.push_back(a[i]);
    return v;
}

struct Factors {
    int factor[kFftMaxFactors + 1], sym[kFftMaxFactors + 1], unsym[kFftMaxFactors + 1], psym = 0, error = 0;
    explicit Factors(int n) { SRFPN(n, 5, 4, factor, sym, psym, unsym, error); }
};

TEST(FftFactors, SymmetrisedListsAndMergedTwos) {
    struct Case {
        int n;
        std::vector<int> factor, sym, unsym;
        int psym;
    };
    const std::vector<Case> cases = {
        {1, {}, {}, {}, 1},
        {2, {2}, {2}, {2}, 1},
        {3, {3}, {3}, {3}, 1},
        {4, {1, 4}, {2, 2}, {}, 2},
        {5, {5}, {5}, {5}, 1},
        {8, {1, 4, 2}, {2, 2, 2}, {2}, 2},        // one 4, one 2, a 1 placeholder
        {16, {1, 4, 1, 4}, {2, 2, 2, 2}, {}, 4},
        {150, {5, 2, 3, 5}, {5, 6, 5}, {2, 3}, 5},  // square 5 around the core 2.3
        {36, {3, 1, 4, 3}, {3, 2, 2, 3}, {}, 6},     // 2 and 3 squared: the two 2s meet
        {90, {3, 2, 5, 3}, {3, 10, 3}, {2, 5}, 3},
    };
    for (const Case& c : cases) {
        Factors f(c.n);
        EXPECT_EQ(f.error, 0) << c.n;
        std::vector<int> merged = c.factor;
        EXPECT_EQ(list_of(f.factor), merged) << c.n;
        EXPECT_EQ(list_of(f.sym), c.sym) << c.n;
        EXPECT_EQ(list_of(f.unsym), c.unsym) << c.n;
        EXPECT_EQ(f.psym, c.psym) << c.n;
    }
}

TEST(FftFactors, PrimeFactorAboveFiveIsRefused) {
    for (int n : {7, 11, 14, 49, 2 * 3 * 5 * 7, 0}) {
        Factors f(n);
        EXPECT_EQ(f.error, -1) << n;
    }
}

// A layout of several sets of several sequences. Complex values are
// interleaved (Y one word after X).
struct Layout {
    int n, sets, seqs;
    bool points_outer;  // true: sequences adjacent (D5 = 2); false: points adjacent (D2 = 2)
    int d[5];
    std::vector<float> w;
    Layout(int n_, int sets_, int seqs_, bool outer) : n(n_), sets(sets_), seqs(seqs_), points_outer(outer) {
        if (outer) {
            d[1] = 2 * seqs;          // D2: next point
            d[4] = 2;                 // D5: next sequence
            d[3] = 2 * seqs;          // D4: extent of the sequences
            d[2] = 2 * seqs * n + 6;  // D3: next set (a gap between sets)
        } else {
            d[1] = 2;
            d[4] = 2 * n;
            d[3] = 2 * n * seqs;
            d[2] = 2 * n * seqs;
        }
        d[0] = sets * d[2];
        w.assign(static_cast<std::size_t>(d[0]) + 8, 0.0f);
    }
    int at(int set, int seq, int point) const { return set * d[2] + seq * d[4] + point * d[1]; }
    cd get(int set, int seq, int point) const {
        int o = at(set, seq, point);
        return {w[static_cast<std::size_t>(o)], w[static_cast<std::size_t>(o) + 1]};
    }
    void put(int set, int seq, int point, cd v) {
        int o = at(set, seq, point);
        w[static_cast<std::size_t>(o)] = static_cast<float>(v.real());
        w[static_cast<std::size_t>(o) + 1] = static_cast<float>(v.imag());
    }
};

std::vector<cd> direct_dft(const std::vector<cd>& x) {
    const std::size_t n = x.size();
    std::vector<cd> out(n);
    for (std::size_t k = 0; k < n; ++k) {
        cd s = 0;
        for (std::size_t j = 0; j < n; ++j) s += x[j] * std::polar(1.0, -2.0 * M_PI * double(j * k % n) / double(n));
        out[k] = s;
    }
    return out;
}

const std::vector<int> kLengths = {1,  2,  3,  4,  5,  6,  8,  9,  10, 12,  15,  16,  18,  20,  24,  25,  27,
                                   30, 32, 36, 40, 45, 48, 50, 54, 60, 64,  72,  75,  80,  81,  90,  96,  100,
                                   120, 125, 128, 135, 144, 150, 243, 250};

TEST(FftComplex, EqualsDirectSumForEveryLengthAndLayout) {
    std::mt19937 rng(12345);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (bool outer : {true, false}) {
        for (int n : kLengths) {
            Layout lay(n, 2, 3, outer);
            std::vector<std::vector<cd>> in;
            for (int b = 0; b < lay.sets; ++b)
                for (int c = 0; c < lay.seqs; ++c) {
                    std::vector<cd> x(static_cast<std::size_t>(n));
                    for (auto& v : x) v = cd(u(rng), u(rng));
                    for (int j = 0; j < n; ++j) lay.put(b, c, j, x[static_cast<std::size_t>(j)]);
                    in.push_back(x);
                }
            std::vector<float> gaps_before = lay.w;
            int err = 99;
            CMPLFTN(lay.w.data(), lay.w.data() + 1, 0, n, lay.d, err);
            ASSERT_EQ(err, 0) << n;
            int s = 0;
            for (int b = 0; b < lay.sets; ++b)
                for (int c = 0; c < lay.seqs; ++c, ++s) {
                    std::vector<cd> want = direct_dft(in[static_cast<std::size_t>(s)]);
                    double tol = 2e-6 * n * (1.0 + std::log2(double(n)));
                    for (int k = 0; k < n; ++k)
                        ASSERT_LT(std::abs(lay.get(b, c, k) - want[static_cast<std::size_t>(k)]), tol)
                            << "n=" << n << " set " << b << " seq " << c << " k " << k << " outer " << outer;
                }
            // Words between the sets are not touched.
            if (outer) {
                for (int b = 0; b < lay.sets; ++b)
                    for (int g = 2 * lay.seqs * n; g < lay.d[2]; ++g)
                        EXPECT_EQ(lay.w[static_cast<std::size_t>(b * lay.d[2] + g)],
                                  gaps_before[static_cast<std::size_t>(b * lay.d[2] + g)]);
            }
        }
    }
}

TEST(FftComplex, RefusedLengthLeavesDataUntouched) {
    Layout lay(7, 1, 2, false);
    for (std::size_t i = 0; i < lay.w.size(); ++i) lay.w[i] = float(i) * 0.5f;
    std::vector<float> before = lay.w;
    int err = 0;
    CMPLFTN(lay.w.data(), lay.w.data() + 1, 0, 7, lay.d, err);
    EXPECT_EQ(err, -1);
    EXPECT_EQ(lay.w, before);
    HERMFTN(lay.w.data(), lay.w.data() + 1, 0, 7, lay.d, err);
    EXPECT_EQ(err, -1);
    EXPECT_EQ(lay.w, before);
}

// Real values r_m = sum over l = 0..2N-1 of c_l exp(-2 pi i l m / 2N), with
// c_(2N-l) = conj c_l.
std::vector<double> hermitian_direct(const std::vector<cd>& c /* c_0..c_N */) {
    const int n = static_cast<int>(c.size()) - 1;
    std::vector<double> r(static_cast<std::size_t>(2 * n));
    for (int m = 0; m < 2 * n; ++m) {
        cd s = 0;
        for (int l = 0; l < 2 * n; ++l) {
            cd v = l <= n ? c[static_cast<std::size_t>(l)] : std::conj(c[static_cast<std::size_t>(2 * n - l)]);
            s += v * std::polar(1.0, -2.0 * M_PI * double((l * m) % (2 * n)) / double(2 * n));
        }
        r[static_cast<std::size_t>(m)] = s.real();
    }
    return r;
}

TEST(FftHermitian, RealValuesEqualDirectSumForOddAndEvenLengths) {
    std::mt19937 rng(777);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (bool outer : {true, false}) {
        for (int n : kLengths) {
            Layout lay(n, 2, 2, outer);
            std::vector<std::vector<cd>> in;
            for (int b = 0; b < lay.sets; ++b)
                for (int q = 0; q < lay.seqs; ++q) {
                    std::vector<cd> c(static_cast<std::size_t>(n) + 1);
                    for (auto& v : c) v = cd(u(rng), u(rng));
                    c[0] = cd(c[0].real(), 0.0);
                    c[static_cast<std::size_t>(n)] = cd(c[static_cast<std::size_t>(n)].real(), 0.0);
                    for (int j = 0; j < n; ++j) lay.put(b, q, j, c[static_cast<std::size_t>(j)]);
                    // Y of term 0 carries the real value c_N.
                    lay.put(b, q, 0, cd(c[0].real(), c[static_cast<std::size_t>(n)].real()));
                    in.push_back(c);
                }
            int err = 99;
            HERMFTN(lay.w.data(), lay.w.data() + 1, 0, n, lay.d, err);
            ASSERT_EQ(err, 0);
            int s = 0;
            for (int b = 0; b < lay.sets; ++b)
                for (int q = 0; q < lay.seqs; ++q, ++s) {
                    std::vector<double> want = hermitian_direct(in[static_cast<std::size_t>(s)]);
                    double tol = 4e-6 * n * (1.0 + std::log2(double(n)));
                    for (int j = 0; j < n; ++j) {
                        cd got = lay.get(b, q, j);
                        ASSERT_NEAR(got.real(), want[static_cast<std::size_t>(2 * j)], tol) << n << " j " << j;
                        ASSERT_NEAR(got.imag(), want[static_cast<std::size_t>(2 * j + 1)], tol) << n << " j " << j;
                    }
                }
        }
    }
}

TEST(FftHermitian, OnlyTermZeroAndNyquistGiveAlternatingValues) {
    for (int n : {1, 2, 3, 5, 6, 8, 15}) {
        Layout lay(n, 1, 1, false);
        const double a = 1.75, b = -0.5;
        lay.put(0, 0, 0, cd(a, b));
        int err = 0;
        HERMFTN(lay.w.data(), lay.w.data() + 1, 0, n, lay.d, err);
        ASSERT_EQ(err, 0);
        for (int j = 0; j < n; ++j) {
            EXPECT_NEAR(lay.get(0, 0, j).real(), a + b, 1e-5) << n;  // value 2j
            EXPECT_NEAR(lay.get(0, 0, j).imag(), a - b, 1e-5) << n;  // value 2j+1
        }
    }
}

}  // namespace
}  // namespace zanek
