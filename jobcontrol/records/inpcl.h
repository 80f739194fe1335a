// INPCL: the user's conditions for the peak interpretation, set by the
// %fourier directives (coor, radi, dmax) and read by the interpretation.
#pragma once

#include <cstdint>

#include "platform/word.h"

namespace zanek {

// INPCL (64 words):
//   1        number of coordination entries (INTEGER, at most 10)
//   1+e      element symbol of entry e (two characters and two blanks)
//   11+e     minimum bond distance of entry e (REAL, Angstrom)
//   21+e     maximum bond distance of entry e (REAL, Angstrom)
//   31+e     coordination (angle) type of entry e (INTEGER, 0..3)
//   41+e     species index of entry e (INTEGER, set by the interpretation)
//   52       plot/bond switch, set to 1 at every interpretation (INTEGER)
//   53       regroup flag: 1 builds the bond table (INTEGER)
//   54       maximum interpeak distance "dmax" (REAL, 0.0 when not given)
//   54+k     bonding radius of list-3 type k, k = 1..8 (REAL, -1.0 when not given)
inline Record<64> INPCL;

namespace inpcl {
constexpr int kMaxEntries = 10;
inline int32_t& entries() { return INPCL.I(1); }
inline Word& element(int e) { return INPCL.W(1 + e); }
inline float& dmin(int e) { return INPCL.R(11 + e); }
inline float& dmax(int e) { return INPCL.R(21 + e); }
inline int32_t& type(int e) { return INPCL.I(31 + e); }
inline int32_t& species(int e) { return INPCL.I(41 + e); }
inline int32_t& plot_switch() { return INPCL.I(52); }
inline int32_t& regroup() { return INPCL.I(53); }
inline float& max_distance() { return INPCL.R(54); }
inline float& radius(int k) { return INPCL.R(54 + k); }
}  // namespace inpcl

}  // namespace zanek
