// The crystal-data records carried from command to command within a run:
// cell constants and reflection-set limits, run switches, scale and
// temperature factor, compact symmetry and the full point group.
#pragma once

#include "platform/word.h"

namespace zanek {

// RC: 1-6 s^2 coefficients, 7-12 cell, 13-15 sines of the angles,
// 16 reflection count, 17 Wilson shells, 18 largest s^2, 19 nref,
// 20 E limit, 21 nzro, 22 weak E limit, 23 rhomax, 24 unused.
inline Record<24> RC;
// UREQ: 1-3 max |h|,|k|,|l|, 4 sigma flag, 5 known phases, 6 partial
// structure, 7 kept flag, 8 weak-amplitude limit, 9 multi-use,
// 10 print level, 11 work flag.
inline Record<16> UREQ;
// C: 1-140 Wilson tables, 141 slope, 142 intercept, 143 B, 144 scale.
inline Record<152> C;
// SYM: compact operators (1-144), translations (145-216), 217 operator
// count, 218 lattice points, 219 family, 220 centric, 221 lattice code,
// 222-224 sigma3/sigma2^1.5 and equivalent positions.
inline Record<224> SYM;
// ERL: point-group matrices R(48,3,3) at k+48(i-1)+144(j-1), translations
// T(48,3) at 432+k+48(i-1), condensed symbol 577-592, system 593,
// generators 594, product table 595-2898, seminvariant description 2899-2923.
inline Record<2923> ERL;

inline int& erl_R(int k, int i, int j) { return ERL.I(k + 48 * (i - 1) + 144 * (j - 1)); }
inline float& erl_T(int k, int i) { return ERL.R(432 + k + 48 * (i - 1)); }
inline int& erl_P(int i, int j) { return ERL.I(594 + i + 48 * (j - 1)); }
inline int& erl_V(int i, int j) { return ERL.I(2898 + i + 3 * (j - 1)); }

inline void reset_crystal_records() {
    RC.clear();
    UREQ.clear();
    C.clear();
    SYM.clear();
    ERL.clear();
}

}  // namespace zanek
