// Records of the invariants command (triplets, psi-zero and psi-e
// relations, p-10 strengthening) and the tables of the statistics against
// known phases, which the seminvariants command uses as well.
#pragma once

#include "platform/word.h"

namespace zanek {

// PROC (INTEGER): 1 sigma2 triplet pass on/off; 2 p-10 mode (1 p-10,
// 2 p-3 only through the p-10 pass, 0 no p-10 pass); 3 quartet pass on/off;
// 4 psi-zero pass on/off; 5 p-3 only requested (coch).
inline Record<5> PROC;
namespace proc {
constexpr int kTriplets = 1, kP10 = 2, kQuartets = 3, kPsiZero = 4, kP3Only = 5;
}
// PRIN (INTEGER): print levels of the triplet, psi-zero, p-10 and quartet
// passes.
inline Record<4> PRIN;
namespace prin {
constexpr int kTriplets = 1, kPsiZero = 2, kP10 = 3, kQuartets = 4;
}
// DIRTR: 1 nrtr (I), 2 emin (R), 3 relations stored by the last pass (I),
// 8 sum of the p-3 G processed by the p-10 pass (R), 9 strong rows of the
// table (I), 10 nzro (I).
inline Record<10> DIRTR;
namespace dirtr {
constexpr int kNrtr = 1;         // strong reflections
constexpr int kEmin = 2;         // REAL smallest E of a strong reflection
constexpr int kStored = 3;       // relations stored by the last pass
constexpr int kP3Sum = 8;        // REAL sum of the p-3 G processed by the p-10 pass
constexpr int kStrongRows = 9;   // strong rows of the table
constexpr int kNzro = 10;        // weak reflections named in list 7
}  // namespace dirtr
// DIRPS: 1 nrps (I), 2 emax (R), 3 psi-zero relations stored (I), 4 nlar (I).
inline Record<4> DIRPS;
namespace dirps {
constexpr int kNrps = 1;         // weak (or psi-e) reflections
constexpr int kEmax = 2;         // REAL largest E of a weak reflection
constexpr int kStored = 3;       // psi-zero relations stored
constexpr int kNlar = 4;         // strong reflections used in the psi passes
}  // namespace dirps
// DIR10: 1 numk (I), 2 listing count (I), 3 triplets processed (I), 4 gmin
// (R), 5 enantiomorph-sensitive threshold (R), 6 negative threshold (R),
// 7-9 counts of the positive, enantiomorph-sensitive and negative sets (I),
// 10-12 their first records (I), 13-14 caps of the enantiomorph-sensitive
// and negative sets (I).
inline Record<14> DIR10;
namespace dir10 {
constexpr int kNumk = 1;             // free vectors (0 automatic, -1 none)
constexpr int kListed = 2;           // triplets listed
constexpr int kProcessed = 3;        // triplets processed
constexpr int kGmin = 4;             // REAL threshold of the positive set
constexpr int kEnantThreshold = 5;   // REAL
constexpr int kNegThreshold = 6;     // REAL
constexpr int kPositiveCount = 7, kEnantCount = 8, kNegativeCount = 9;
constexpr int kPositiveFirst = 10, kEnantFirst = 11, kNegativeFirst = 12;
constexpr int kEnantCap = 13, kNegativeCap = 14;
}  // namespace dir10
// DIRQN: parameters of the quartet pass.
inline Record<13> DIRQN;
namespace dirqn {
constexpr int kOrdinaryE = 1;          // REAL largest E of an ordinary cross vector of a candidate
constexpr int kSpecialE100 = 2;        // 100 E limit of a special cross vector of a candidate
constexpr int kStored = 5;             // negative quartets stored
constexpr int kThreshold = 7;          // REAL reliability t of the enantiomorph-sensitive list
constexpr int kOverflow = 8;           // candidates met with the list full that end the search
constexpr int kNegativeCap = 9, kEnantCap = 10;  // capacities of the two lists
constexpr int kEquivOrdinaryE = 12;    // REAL the limit of word 1 for an equivalent quartet
constexpr int kEquivSpecialE100 = 13;  // the limit of word 2 for an equivalent quartet
constexpr int kSpare3 = 3, kSpare4 = 4, kSpare6 = 6, kSpare11 = 11;  // set, read by no pass
}  // namespace dirqn
// INP: filled afresh by each command that uses it. Invariants: 1 N atoms
// in the primitive cell (I), 2 q = sigma3/sigma2^1.5 (R), 4 1/q^2 (R).
// Seminvariants: 1 N (I), 2 N (R), 3 sqrt N (R).
inline Record<8> INP;
namespace inp {
constexpr int kAtoms = 1;          // N = trunc(1/q^2 + 0.05), atoms in the primitive cell
constexpr int kQ = 2;              // REAL invariants: q
constexpr int kAtomsReal = 4;      // REAL invariants: 1/q^2
constexpr int kSemAtomsReal = 2;   // REAL seminvariants: 1/q^2
constexpr int kSemSqrtAtoms = 3;   // REAL seminvariants: its square root
}  // namespace inp
// TRRE: 40 neq, operators times (1 + centric flag) (I).
inline Record<40> TRRE;
namespace trre {
constexpr int kNeq = 40;
}
// SINTE (REAL): 1-6 cell edges and angles, 7-12 reciprocal cell.
inline Record<12> SINTE;
namespace sinte {
// i = 1..6: a, b, c, alpha, beta, gamma (degrees).
inline float& cell(int i) { return SINTE.R(i); }
// i = 1..6: a*, b*, c*, cos alpha*, cos beta*, cos gamma*.
inline float& reciprocal(int i) { return SINTE.R(6 + i); }
}  // namespace sinte
// PSEUD: pseudo-translation data of the invariants (433 neq R, 434-435 slope
// and intercept R, 436 number of conditions I, 437-448 conditions I, 450 neq
// I, 451-452 P and P^2 R, 453-508 class table, 509 w-w-w coefficient R,
// 510-517 atoms per type I, 518-525 atomic numbers I).
inline Record<525> PSEUD;
namespace pseud {
constexpr int kNeqReal = 433;       // REAL neq
constexpr int kSlope = 434, kIntercept = 435;  // REAL the line of list 19
constexpr int kConditions = 436;    // number of conditions (0: none)
constexpr int kCondition = 437;     // 437-448 the conditions a, b, c, n
constexpr int kNeq = 450;
constexpr int kP = 451, kP2 = 452;  // REAL product P of the moduli, and P^2
constexpr int kClassTable = 453;    // 453-502 classes 1..10, five words each
constexpr int kClassCount = 508;
constexpr int kCoefficient = 509;   // REAL coefficient of w-w-w triplets (99999.0 not given)
constexpr int kCounts = 510;        // 510-517 atoms in the cell per type
constexpr int kZ = 518;             // 518-525 atomic number per type
constexpr int kMaxConditions = 3, kMaxClasses = 10, kTypes = 8;
// Word w (1 a, 2 b, 3 c, 4 n) of condition j (1..3): a h + b k + c l = 0 mod n.
inline int& condition(int j, int w) { return PSEUD.I(kCondition - 1 + 4 * (j - 1) + w); }
// Word k of class c (1..10): 0 key, 1-3 trunc(1000 alpha) of the three
// reflections, 4 trunc(1000 B).
inline int& class_word(int c, int k) { return PSEUD.I(kClassTable + 5 * (c - 1) + k); }
inline int& atom_count(int t) { return PSEUD.I(kCounts - 1 + t); }   // t = 1..8
inline int& atomic_number(int t) { return PSEUD.I(kZ - 1 + t); }
}  // namespace pseud
// CP10: the relation unpacked by DECOM: 1-3 rows, 4-6 operators, 7-9 signs
// (I), 10-12 E^2 - 1 of the three rows, 13 E^2 - 1 of the free vector (R).
inline Record<159> CP10;
namespace cp10 {
// Reflection t = 1..3 of the relation: its row, operator, sign and E^2 - 1.
inline int& row(int t) { return CP10.I(t); }
inline int& op(int t) { return CP10.I(3 + t); }
inline int& sign(int t) { return CP10.I(6 + t); }
inline float& q(int t) { return CP10.R(9 + t); }
constexpr int kFreeQ = 13;  // REAL E^2 - 1 of the free vector in hand
}  // namespace cp10

// Statistics against known phases. TST: by class and sign with 26
// cumulative |G| limits (centrosymmetric groups); NCTST: the same with 15
// limits and the phase sums (other groups); TST1, NCTST1: the distribution
// of |G| over 19 limits.
inline Record<1457> TST;
inline Record<1336> NCTST;
inline Record<58> TST1;
inline Record<58> NCTST1;

}  // namespace zanek
