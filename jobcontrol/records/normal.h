// Records of the normalisation command: the per-shell values of the
// unobserved-reflection statistics, the known-fragment counters, the
// scattering-power tables and the pseudo-translation request.
#pragma once

#include "platform/word.h"

namespace zanek {

constexpr int kMaxWilsonShells = 30;

// SHELL (REAL): words 2k-1 and 2k the mean z (E^2) and its standard
// deviation expected for the unobserved reflections of Wilson shell k (both 0
// when the shell is not corrected); word 61+k the smallest normalised
// intensity (working-record word 10) of the observed reflections of shell k.
inline Record<91> SHELL;
namespace shell {
inline float& zmed(int k) { return SHELL.R(2 * k - 1); }
inline float& sigma(int k) { return SHELL.R(2 * k); }
inline float& smallest(int k) { return SHELL.R(61 + k); }
}  // namespace shell

// FRGMT: (1) number of phasing reflections and (2) number of weak ones when
// the directives were read (INTEGER); (7) sum |Fc - Fo| and (8) sum Fo of the
// known-fragment residual (REAL).
inline Record<8> FRGMT;

// AT (REAL): scattering-power tables at s = sin(theta)/lambda = 0.01(i-1),
// i = 1..142: word i the power of the whole cell content, word 142+i that of
// the atoms not yet located.
constexpr int kPowerPoints = 142;
inline Record<2 * kPowerPoints> AT;

// CPSEUD (INTEGER): (1) pseudo-translation class code (-1 no request, 0
// automatic search, 2-72 a class of the table, 74 conditions given);
// (2-13) up to three conditions a, b, c, n; (14) conditions with non-zero n.
inline Record<14> CPSEUD;
namespace cpseud {
constexpr int kClass = 1;  // pseudo-translation class code
}  // namespace cpseud

}  // namespace zanek
