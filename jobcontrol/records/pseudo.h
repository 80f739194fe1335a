// Record of the pseudo-translation analysis of %normal: the parameters and
// the result of the automatic search for congruences that the strong
// reflections obey.
#pragma once

#include "platform/word.h"

namespace zanek {

// RSC: (11) REAL acceptance parameter 0.5 of the search (the fractions of
// strong E^2 allowed to violate a condition are 0.6 times it); (12) REAL the
// doubled overall B; (21) REAL the scale; found condition k = 1..3 (INTEGER):
// a at word 30 + 8(k-1), b at 54 + 8(k-1), c at 78 + 8(k-1), modulus n at
// 102 + 8(k-1) (n = 0: no condition in the slot).
inline Record<128> RSC;

namespace rsc {
constexpr int kAcceptance = 11, kDoubleB = 12, kScale = 21;
inline int& a(int k) { return RSC.I(30 + 8 * (k - 1)); }
inline int& b(int k) { return RSC.I(54 + 8 * (k - 1)); }
inline int& c(int k) { return RSC.I(78 + 8 * (k - 1)); }
inline int& n(int k) { return RSC.I(102 + 8 * (k - 1)); }
}  // namespace rsc

}  // namespace zanek
