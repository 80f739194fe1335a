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

constexpr int kSpecReady = 481;

Record<484> initial_spec();

inline Record<484> SPEC = initial_spec();
inline std::string ATPOS(124, ' ');

// Word numbers of SPEC (INTEGER unless marked REAL).
namespace specw {
constexpr int kNsym = 379;          // operators stored
constexpr int kLatticePoints = 380;
constexpr int kCentric = 381;       // 1 centrosymmetric
constexpr int kFloating = 382;      // floating-origin code
constexpr int kSystem = 383;        // crystal system code
constexpr int kLattice = 384;       // 1..7 = P, A, B, C, I, F, R
constexpr int kCoincidence = 482;   // REAL distance below which two images coincide (Angstrom)
}  // namespace specw
// Rotation R(r, c) and translation t(r) of operator i (REAL).
inline float& spec_rotation(int i, int r, int c) { return SPEC.R(12 * (i - 1) + r + 3 * (c - 1)); }
inline float& spec_translation(int i, int r) { return SPEC.R(12 * (i - 1) + 9 + r); }

}  // namespace zanek
