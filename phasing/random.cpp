// The uniform generator of random trial phases: the multiplicative
// congruential generator x' = 16807 x mod (2^31 - 1) (the "minimal
// standard" of Park and Miller), computed without overflow by Schrage's
// decomposition. Its state is one word in 1..2^31-2.
#include "phasing/random.h"

namespace zanek {

namespace {
constexpr int32_t kModulus = 2147483647;  // 2^31 - 1
constexpr int32_t kMultiplier = 16807;
constexpr int32_t kQ = kModulus / kMultiplier;  // 127773
constexpr int32_t kR = kModulus % kMultiplier;  // 2836
}  // namespace

int32_t seed_state(int32_t seed) {
    // 0 would be a fixed point of the generator and the modulus itself is
    // congruent to it; any other word is brought into 1..2^31-2.
    int64_t s = seed;
    if (s < 0) s = -s;
    s %= kModulus;
    if (s == 0) s = 1;
    return static_cast<int32_t>(s);
}

void URAND(int32_t& seed, float& u) {
    int32_t x = seed_state(seed);
    const int32_t hi = x / kQ, lo = x % kQ;
    x = kMultiplier * lo - kR * hi;
    if (x <= 0) x += kModulus;
    seed = x;
    // x - 1 in 0..2^31-3 over 2^31-2: u in [0, 1); computed in double so
    // that rounding to single precision cannot reach 1.
    const double v = double(x - 1) / double(kModulus - 1);
    float f = static_cast<float>(v);
    if (f >= 1.0f) f = 0.99999994f;
    u = f;
}

}  // namespace zanek
