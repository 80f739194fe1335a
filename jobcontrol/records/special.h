// SPEC: the state of the special-position library, filled from the
// symmetry and the cell by XSPINB.
//   1-288   up to 24 operators, 12 words each: R(r,c) at 12(i-1)+r+3(c-1)
//           (REAL), translation at 12(i-1)+10..12
//   289-372 centring vectors CEN(lattice 1..7, coordinate, vector 1..4),
//           REAL, at 289+(lattice-1)+7(coordinate-1)+21(vector-1)
//   373-378 metric a^2, b^2, c^2, 2ab cos(gamma), 2ac cos(beta), 2bc cos(alpha)
//   379 nsym, 380 lattice points, 381 centric flag, 382 floating-origin
//   code, 383 crystal system code, 384 lattice code
//   385-416 orders of the 32 proper rotation types
//   417-480 the 64 rotation codes (entries 33-64 the negated 1-32)
//   481 ready flag (-1 not initialised, 2 initialised)
//   482 coincidence distance (0.6 A, REAL)
//   483, 484 listing unit
// ATPOS: the 124-character line of the peak output; the library writes
// columns 47-124.
#pragma once

#include <string>

#include "platform/word.h"

namespace zanek {


Record<484> initial_spec();

inline Record<484> SPEC = initial_spec();
inline std::string ATPOS(124, ' ');
constexpr int kSpecReady = 481;

namespace specw {
constexpr int kOpWords = 12;          // words per operator: R(r,c) at r + 3(c-1), translation at 10..12
constexpr int kCentring = 289;        // REAL CEN(lattice, coordinate, vector) from 289
constexpr int kMetric = 373;          // REAL 373-378 a^2, b^2, c^2, 2ab cos(gamma), 2ac cos(beta), 2bc cos(alpha)
constexpr int kNsym = 379, kLatticePoints = 380, kCentric = 381;
constexpr int kFloating = 382;        // floating-origin code
constexpr int kSystem = 383, kLattice = 384;
constexpr int kOrders = 384;          // order of proper rotation type t (1..32) at 384 + t
constexpr int kRotationCodes = 416;   // rotation code of entry e (1..64) at 416 + e
constexpr int kCoincidence = 482;     // REAL coincidence distance
constexpr int kListing = 483, kMessages = 484;  // listing units

// Rotation R(r, c) and translation t(r) of operator i (1..24).
inline float& rotation(int i, int r, int c) { return SPEC.R(kOpWords * (i - 1) + r + 3 * (c - 1)); }
inline float& translation(int i, int r) { return SPEC.R(kOpWords * (i - 1) + 9 + r); }
// Centring vector component of lattice 1..7, coordinate 1..3, vector 1..4.
inline float& centring(int lattice, int coordinate, int vector) {
    return SPEC.R(kCentring + (lattice - 1) + 7 * (coordinate - 1) + 21 * (vector - 1));
}
inline float* metric() { return &SPEC.R(kMetric); }  // six words
inline int& order(int t) { return SPEC.I(kOrders + t); }
inline int& rotation_code(int e) { return SPEC.I(kRotationCodes + e); }
}  // namespace specw

}  // namespace zanek
