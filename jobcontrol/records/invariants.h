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
// PRIN (INTEGER): print levels of the triplet, psi-zero, p-10 and quartet
// passes.
inline Record<4> PRIN;
// DIRTR: 1 nrtr (I), 2 emin (R), 3 relations stored by the last pass (I),
// 8 sum of the p-3 G processed by the p-10 pass (R), 9 strong rows of the
// table (I), 10 nzro (I).
inline Record<10> DIRTR;
// DIRPS: 1 nrps (I), 2 emax (R), 3 psi-zero relations stored (I), 4 nlar (I).
inline Record<4> DIRPS;
// DIR10: 1 numk (I), 2 listing count (I), 3 triplets processed (I), 4 gmin
// (R), 5 enantiomorph-sensitive threshold (R), 6 negative threshold (R),
// 7-9 counts of the positive, enantiomorph-sensitive and negative sets (I),
// 10-12 their first records (I), 13-14 caps of the enantiomorph-sensitive
// and negative sets (I).
inline Record<14> DIR10;
// DIRQN: parameters of the quartet pass.
inline Record<13> DIRQN;
// INP: filled afresh by each command that uses it. Invariants: 1 N atoms
// in the primitive cell (I), 2 q = sigma3/sigma2^1.5 (R), 4 1/q^2 (R).
// Seminvariants: 1 N (I), 2 N (R), 3 sqrt N (R).
inline Record<8> INP;
// TRRE: 40 neq, operators times (1 + centric flag) (I).
inline Record<40> TRRE;
// SINTE (REAL): 1-6 cell edges and angles, 7-12 reciprocal cell.
inline Record<12> SINTE;
// PSEUD: pseudo-translation data of the invariants (433 neq R, 434-435 slope
// and intercept R, 436 number of conditions I, 437-448 conditions I, 450 neq
// I, 451-452 P and P^2 R, 453-508 class table, 509 w-w-w coefficient R,
// 510-517 atoms per type I, 518-525 atomic numbers I).
inline Record<525> PSEUD;
// CP10: the relation unpacked by DECOM: 1-3 rows, 4-6 operators, 7-9 signs
// (I), 10-12 E^2 - 1 of the three rows, 13 E^2 - 1 of the free vector (R).
inline Record<159> CP10;

// Statistics against known phases. TST: by class and sign with 26
// cumulative |G| limits (centrosymmetric groups); NCTST: the same with 15
// limits and the phase sums (other groups); TST1, NCTST1: the distribution
// of |G| over 19 limits.
inline Record<1457> TST;
inline Record<1336> NCTST;
inline Record<58> TST1;
inline Record<58> NCTST1;

}  // namespace zanek
