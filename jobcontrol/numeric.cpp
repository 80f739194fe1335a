#include "jobcontrol/numeric.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "jobcontrol/records/work.h"
#include "platform/stop.h"

namespace zanek {

void UNPAK3(int32_t P, int32_t& A, int32_t& B, int32_t& C) {
    const int32_t q = P / 32;
    C = P - 32 * q - 1;
    A = q / 4096 - 2048;
    B = q - 4096 * (q / 4096) - 2048;
}

void UNPACK(int32_t P, int32_t& H, int32_t& K, int32_t& L) {
    H = P / 262144;
    const int32_t r = P - H * 262144;
    K = r / 512 - 256;
    L = r - 512 * (r / 512) - 256;
}

void MUSYM(const int32_t* R, const float* T, int N, int32_t* MS, float* TS) {
    if (N <= 0) return;
    if (N > 48) zstop(1234, "MUSYM: more than 48 symmetry operators");
    auto r = [R](int k, int i, int j) { return R[(k - 1) + 48 * (i - 1) + 144 * (j - 1)]; };
    for (int k = 1; k <= N; ++k) {
        for (int i = 1; i <= 3; ++i) {
            int32_t* slot = MS + 2 * (i - 1) + 6 * (k - 1);  // MS(1,i,k), MS(2,i,k)
            slot[0] = 0;
            slot[1] = 0;
            int used = 0;
            // A crystallographic row has at most two non-zero elements; a
            // third would take the second slot.
            for (int j = 1; j <= 3; ++j) {
                const int32_t v = r(k, i, j);
                if (v == 0) continue;
                slot[used == 0 ? 0 : 1] = j * v;
                ++used;
            }
            TS[(i - 1) + 3 * (k - 1)] = T[(k - 1) + 48 * (i - 1)];
        }
    }
}

void BESSE(float X, float& Y) {
    const float t = std::fabs(X);
    const float y = (t + 0.4807f) * t / ((t + 0.8636f) * t + 1.3943f);
    Y = std::min(y, 1.0f);
    if (X < 0.0f) Y = -Y;
}

namespace {

// One piece of a piecewise polynomial: valid up to `upto` (inclusive),
// c0 + c1 x + c2 x^2 + c3 x^3 with single-precision coefficients.
struct Piece {
    float upto, c0, c1, c2, c3;
};

// Evaluated in extended precision, as the coefficients were fitted for.
long double poly(const Piece& p, long double x) {
    return static_cast<long double>(p.c0) + static_cast<long double>(p.c1) * x +
           static_cast<long double>(p.c2) * x * x + static_cast<long double>(p.c3) * x * x * x;
}

constexpr Piece kBes[] = {
    {2.9f, -0.00718f, 0.5668f, -0.12287f, 0.008f},
    {7.5f, 0.444f, 0.19096f, -0.02697f, 0.00135f},
    {20.0f, 0.82227f, 0.02189f, -0.00114f, 0.00002f},
    {39.0f, 0.9459f, 0.00187f, -0.00002f, 0.0f},
    {45.0f, 0.9858026f, 0.0000666f, 0.0f, 0.0f},
    {55.0f, 0.97935f, 0.00021f, 0.0f, 0.0f},
    {65.0f, 0.9832f, 0.00014f, 0.0f, 0.0f},
    {80.0f, 0.9862355f, 0.0000933f, 0.0f, 0.0f},
    {99.0f, 0.988652f, 0.0000631f, 0.0f, 0.0f},
};

constexpr Piece kBesInv[] = {
    {0.6989f, -0.00252f, 2.1065f, -1.12674f, 3.09414f},
    {0.8666f, -82.06253f, 344.25644f, -478.71057f, 226.35886f},
    {0.9259f, 486.69736f, -1127.7574f, 658.806f, 0.0f},
    {0.9553f, 3117.1584f, -6767.5825f, 3681.641f, 0.0f},
    {0.9635f, 77576.41f, -162332.53f, 84935.625f, 0.0f},
    {0.9884f, 49773.47f, -102737.234f, 53033.832f, 0.0f},
    {0.9888f, -14787.0f, 15000.0f, 0.0f, 0.0f},
    {0.9909f, -4663.5713f, 4761.905f, 0.0f, 0.0f},
    {0.9923f, -7022.857f, 7142.857f, 0.0f, 0.0f},
    {0.9937f, -10566.785f, 10714.285f, 0.0f, 0.0f},
    {0.9949f, -15653.583f, 15833.333f, 0.0f, 0.0f},
};

}  // namespace

float BES(float X) {
    const float t = std::fabs(X);
    if (t < 1e-6f) return 0.0f;
    const long double s = X < 0.0f ? -1.0L : 1.0L;
    for (const Piece& p : kBes)
        if (t <= p.upto) return static_cast<float>(s * std::fabs(poly(p, t)));
    return static_cast<float>(s);
}

float BESINV(float A) {
    if (std::fabs(A) < 1e-6f) return 0.0f;
    // The ratio I1/I0 is odd, so is its inverse.
    if (A < 0.0f) return -BESINV(-A);
    for (const Piece& p : kBesInv)
        if (A <= p.upto) return static_cast<float>(poly(p, A));
    return 100.0f;
}

void SORTZ(int START, int N, int LEN, int KEY) {
    if (N <= 1) return;
    const int k = KEY < 0 ? -KEY : KEY;
    if (KEY == 0 || LEN < 1 || k > LEN || START < 1 ||
        int64_t(START) - 1 + int64_t(N) * LEN > kXdataWords)
        zstop(1234, "SORTZ: records outside the work store (start " + std::to_string(START) +
                        ", " + std::to_string(N) + " records of " + std::to_string(LEN) +
                        " words, key " + std::to_string(KEY) + ")");
    const bool descending = KEY < 0;
    Word* base = XDATA.at(size_t(START));
    auto rec = [&](int i) { return base + size_t(i - 1) * size_t(LEN); };  // record i, 1-based
    for (int d = 2;; d *= 2) {
        const int g = std::max(N / d, 1);
        // Passes with gap g until one exchanges nothing. A pass need not go
        // beyond the last exchange of the previous one: past it every chain
        // of records g apart is already in its final order, so the skipped
        // comparisons would exchange nothing and the result is the same.
        int limit = N - g;
        while (limit >= 1) {
            int last = 0;
            for (int i = 1; i <= limit; ++i) {
                Word* a = rec(i);
                Word* b = rec(i + g);
                const float ka = a[k - 1].r, kb = b[k - 1].r;
                if (descending ? ka < kb : ka > kb) {
                    std::swap_ranges(a, a + LEN, b);
                    last = i;
                }
            }
            limit = last - 1;
        }
        if (g == 1) return;
    }
}

}  // namespace zanek
