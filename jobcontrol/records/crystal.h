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

// Word numbers of the records above (1-based; INTEGER unless marked REAL).
namespace rcw {
constexpr int kS2Coefficients = 1;  // REAL 1-6: G1..G6 of s^2 = G1 h^2 + G2 k^2 + G3 l^2 + G4 hk + G5 hl + G6 kl
constexpr int kCell = 7;            // REAL 7-9 a, b, c; 10-12 the angles in degrees
constexpr int kAngles = 10;         // REAL 10-12 alpha, beta, gamma in degrees
constexpr int kSines = 13;          // REAL 13-15 sines of the angles
constexpr int kReflections = 16;    // reflection count
constexpr int kShells = 17;         // Wilson-plot shells
constexpr int kLargestS2 = 18;      // REAL largest s^2 of the accepted reflections
constexpr int kNref = 19;           // phasing reflections
constexpr int kELimit = 20;         // REAL E limit of the E statistics (1.2)
constexpr int kNzro = 21;           // weak reflections
constexpr int kWeakE = 22;          // REAL E limit of the weak reflections
constexpr int kRhomax = 23;         // REAL largest s^2 accepted in the reflection input
constexpr int kSpare = 24;          // REAL 0.0, written by the directive readers, read by nothing
}  // namespace rcw
// The s^2 coefficients G1..G6 (RC words 1-6), as the s^2 routines take them.
inline float* s2_coefficients() { return &RC.R(rcw::kS2Coefficients); }
// Cell constant i of RC: 1-3 a, b, c; 4-6 alpha, beta, gamma in degrees.
inline float& cell_constant(int i) { return RC.R(rcw::kCell - 1 + i); }
namespace ureqw {
constexpr int kHmax = 1, kKmax = 2, kLmax = 3;  // largest |h|, |k|, |l| over all equivalents
constexpr int kSigma = 4;       // 1 the reflections carry a usable sigma(Fo)
constexpr int kKnown = 5;       // 1 each reflection carries a known phase
constexpr int kPartial = 6;     // partial structure: 0 none, -1 requested, 1 in use
constexpr int kKept = 7;        // flag kept in list 7
constexpr int kWeakLimit = 8;   // REAL weak-amplitude limit
constexpr int kMultiUse = 9;    // size mark of the list-7 writers (240000 %data, 160000 %normal)
constexpr int kPrint = 10;      // print level
constexpr int kWork = 11;       // work flag of the routine that sets it
}  // namespace ureqw
// Largest |index| i (1 h, 2 k, 3 l) over the stored reflections.
inline int& max_index(int i) { return UREQ.I(ureqw::kHmax - 1 + i); }
namespace cw {
constexpr int kMaxWilsonPoints = 30;           // points of the Wilson plot, words 1-90
constexpr int kLogWilson = 0;                  // REAL ln <I> of Wilson point m at word m
constexpr int kLogDebye = 30;                  // REAL ln <sum f^2 exp> of point m at word 30 + m
constexpr int kMeanS2 = 60;                    // REAL mean s^2 of point m at word 60 + m; then E limit 0.1 m
constexpr int kSlope = 141, kIntercept = 142;  // REAL the Wilson line
constexpr int kB = 143;                        // REAL overall temperature factor
constexpr int kScale = 144;                    // REAL scale constant; negative: not normalised
// Wilson-plot point m (1..30): the ordinate ln <I>, the Debye ordinate and
// the abscissa, the mean s^2 (reused for the E limits of the E distribution).
inline float& log_wilson(int m) { return C.R(kLogWilson + m); }
inline float& log_debye(int m) { return C.R(kLogDebye + m); }
inline float& mean_s2(int m) { return C.R(kMeanS2 + m); }
// After the E statistics the abscissa words hold the E limits 0.1 j.
inline float& e_limit(int j) { return C.R(kMeanS2 + j); }
}  // namespace cw
namespace symw {
constexpr int kOps = 217;          // number of stored operators (the first half in a centrosymmetric group)
constexpr int kTransl = 144;       // REAL translation i of operator k at 144 + 3(k-1) + i
constexpr int kLatticePoints = 218;  // REAL lattice points per cell
constexpr int kFamily = 219;       // crystal family 1..8
constexpr int kCentric = 220;      // 1 centrosymmetric, 0 not, -1 enantiomorph fixed by the group
constexpr int kLattice = 221;      // 1..7 = P, A, B, C, I, F, R
constexpr int kSigma3 = 222;       // REAL sigma3/sigma2^1.5 of the primitive cell, as %normal leaves it
constexpr int kEquivalents = 223;  // REAL equivalent positions (centric flag + 1) * operators
constexpr int kSigma3Prim = 224;   // REAL sigma3/sigma2^1.5 of the primitive cell, as %data computed it
constexpr int kMaxOps = 24;        // operators SYM holds
constexpr int kOperators = 1;      // 1-144 the compact rotation codes, 6 words to an operator
}  // namespace symw
// Compact operator k (1..24), row i (1..3), slot s (1 first, 2 second
// non-zero entry): the signed column number (+-1, +-2, +-3 for x, y, z) or 0.
inline int& sym_row_code(int k, int i, int s) { return SYM.I(symw::kOperators - 1 + 6 * (k - 1) + 2 * (i - 1) + s); }
// Translation i (1..3) of compact operator k as a fraction of the cell.
inline float& sym_translation(int k, int i) { return SYM.R(symw::kTransl + 3 * (k - 1) + i); }
namespace erlw {
constexpr int kMaxMatrices = 48;     // point-group matrices R(k), k = 1..48
constexpr int kTranslations = 432;   // REAL translation T(k, i) at 432 + k + 48(i-1)
constexpr int kSymbol = 577;         // 577-592 condensed symbol, a character to a word
constexpr int kSymbolWords = 16;
constexpr int kSystem = 593;         // crystal system 1..6
constexpr int kGenerators = 594;     // generators of the point group
constexpr int kSeminvMatrix = 2898;  // V(i, j) at 2898 + i + 3(j-1), words 2899-2907
constexpr int kThree = 2908;         // the constant 3
constexpr int kVectorText = 2909;    // 2909-2911 the seminvariant vector as text
constexpr int kConditionText = 2912; // 2912-2916 the seminvariance condition as text
// The seminvariant tables stored with list 2: V, the constant 3 and the two
// texts (18 words from 2899), then the moduli and column sums (6 from 2918).
constexpr int kSeminvTables = kSeminvMatrix + 1, kSeminvTableWords = 18;
constexpr int kModuliTables = 2918, kModuliTableWords = 6;
constexpr int kOriginPhases = 2917;  // number of origin phases to fix (0..3)
constexpr int kModuli = 2917;        // seminvariant modulus i (1..3) at 2917 + i
constexpr int kColumnSums = 2920;    // column sum j (1..3) of the reduced seminvariant matrix at 2920 + j
}  // namespace erlw

inline int& erl_R(int k, int i, int j) { return ERL.I(k + 48 * (i - 1) + 144 * (j - 1)); }
inline float& erl_T(int k, int i) { return ERL.R(erlw::kTranslations + k + 48 * (i - 1)); }
inline Word& erl_T_word(int k, int i) { return ERL.W(erlw::kTranslations + k + 48 * (i - 1)); }
inline int& erl_P(int i, int j) { return ERL.I(erlw::kGenerators + i + 48 * (j - 1)); }
// The word of character i (1..16) of the condensed space-group symbol.
inline Word* erl_symbol_char(int i) { return ERL.at(erlw::kSymbol - 1 + i); }
inline int& erl_V(int i, int j) { return ERL.I(erlw::kSeminvMatrix + i + 3 * (j - 1)); }
inline int& erl_modulus(int i) { return ERL.I(erlw::kModuli + i); }
// Column sum j of the reduced seminvariant matrix, or the special value the
// moduli rules leave there.
inline int& erl_column_sum(int j) { return ERL.I(erlw::kColumnSums + j); }

inline void reset_crystal_records() {
    RC.clear();
    UREQ.clear();
    C.clear();
    SYM.clear();
    ERL.clear();
}

}  // namespace zanek
