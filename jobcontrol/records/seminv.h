// Records of the seminvariants command: its directive switches, constants,
// symmetry summary, the representation-sum records and the classes of the
// seminvariance algebra. All are rebuilt by every %seminvariants.
#pragma once

#include "platform/word.h"

namespace zanek {

// DIRG (INTEGER): 1 one-phase routine on (1) / off (0); 2 option word
// (0, read by the two-phase routine); 3 two-phase routine on / off.
inline Record<3> DIRG;
namespace dirg {
constexpr int kOnePhase = 1, kOption = 2, kTwoPhase = 3;
}
// DIR1: 1 "both" listing flag (I); 2 representation formula 1 or 2 (I);
// 3 list the reflections to search (I); 4 nrs1, reflections to search (I);
// 5 number of free vectors (I, at most 100); 6 E limit of the reflections
// to search (R); 7 E limit of the free vectors (R).
inline Record<7> DIR1;
namespace dir1 {
constexpr int kBoth = 1, kFormula = 2, kList = 3, kNrs1 = 4, kFreeVectors = 5;
constexpr int kSearchE = 6;  // REAL E limit of the reflections to search
constexpr int kFreeE = 7;    // REAL E limit of the free vectors
}  // namespace dir1
// DIR2: 1 nrs2 (I, read nowhere); 2 glim, alpha limit of the two-phase
// list (R); 4 epli (R, read nowhere); 5, 6 the traced pair of codes (I).
inline Record<6> DIR2;
namespace dir2 {
constexpr int kNrs2 = 1;
constexpr int kGlim = 2, kEpli = 4;  // REAL
constexpr int kTraced1 = 5, kTraced2 = 6;
}  // namespace dir2
// COST: 1 2 pi (R); 2 stride of h in the super-index (I); 3 stride of k
// (I); 4 largest super-index (I); 5 rows of the search table, 350 (I);
// 6 size of isr, 100000 (I); 7 records of list 7 (I); 9 number of one-phase
// candidates (I); 10 phase restriction code in hand (I); 11-34 the phase p
// (radians, R) of a reflection restricted to p and p + pi, at 10 + code.
inline Record<34> COST;
namespace cost {
constexpr int kTwoPi = 1;                        // REAL
constexpr int kStrideH = 2, kStrideK = 3, kLargest = 4;
constexpr int kRows = 5, kIsrSize = 6, kRecords = 7, kCandidates = 9, kCode = 10;
constexpr int kRestrictedPhases = 10;            // REAL the phase of code c at 10 + c
constexpr int kMaxCode = 24;
// The phase p (radians) of a reflection restricted to p and p + pi by code c (1..24).
inline float& restricted_phase(int c) { return COST.R(kRestrictedPhases + c); }
}  // namespace cost
// SYM2: 1 order of the point group with the centre (I); 2 number of
// matrices of the algebra, 2 nsym (I); 3 nsym (I); 4 centric flag + 1 (I;
// decreased by one by the two-phase routine); 5 q = sigma3/sigma2^1.5, then
// 1/sqrt(N) (R).
inline Record<5> SYM2;
namespace sym2 {
constexpr int kOrder = 1, kMatrices = 2, kNsym = 3;
constexpr int kCentric = 4;  // centric flag + 1 (less one in the two-phase routine)
constexpr int kQ = 5;        // REAL q, then 1/sqrt(N)
}  // namespace sym2
// PRO: 1-9 matrix P of the general solution (column j at 3j-2..3j, I);
// 10-12 particular solution u, then the current K (I); 13 marks used (I);
// 14 class-matrix operator number (I); 15, 16 first-formula cosine and sine
// sums (R); 17 contributors (I); 18-20 H (I); 21 |E| of H (R); 25, 26
// second-formula sums (R); 27-29 H of a two-phase relation (I); 30-32 K1,
// 33-35 K2 (I); 36, 37 counts of restricted and general estimates (I).
inline Record<40> PRO;
namespace pro {
constexpr int kMarks = 13, kMatrix = 14;
constexpr int kCos1 = 15, kSin1 = 16;  // REAL first-formula sums
constexpr int kContributors = 17;
constexpr int kEH = 21;                // REAL
constexpr int kCos2 = 25, kSin2 = 26;  // REAL second-formula sums
constexpr int kRestricted = 36, kGeneral = 37;
// Element (i, j), i, j = 1..3, of the matrix P of the general solution.
inline int& solution(int i, int j) { return PRO.I(3 * (j - 1) + i); }
// Component i = 1..3 of the particular solution u, then of the current K.
inline int& current_k(int i) { return PRO.I(9 + i); }
inline int& h(int i) { return PRO.I(17 + i); }
inline int& pair_h(int i) { return PRO.I(26 + i); }  // H of a two-phase relation
inline int& k1(int i) { return PRO.I(29 + i); }
inline int& k2(int i) { return PRO.I(32 + i); }
}  // namespace pro
// PROSS2: the working words of the representation sums (mode, E values of
// the partners and cross reflections, flags, two-phase sums); word numbers
// as named in namespace pross2 below.
inline Record<51> PROSS2;
// CHOI (INTEGER): 1 number of classes; 2 largest class size; 3 number of
// classes; member m of class c at 4 + 8(c-1) + m (c = 1..16); 133-180 the
// inverse table (word 132 + j: the matrix equal to the inverse of j).
inline Record<180> CHOI;
namespace choi {
constexpr int kClasses = 1, kLargest = 2, kClassCount = 3;
constexpr int kMemberBase = 4, kInverseBase = 132;
constexpr int kMaxClasses = 16, kMaxMembers = 8;
inline int& member(int c, int m) { return CHOI.I(kMemberBase + kMaxMembers * (c - 1) + m); }
inline int& inverse(int j) { return CHOI.I(kInverseBase + j); }  // the matrix equal to R(j)^-1
}  // namespace choi
// INV (INTEGER 48 x 19): row k describes matrix k: X_k element m at
// (k, 2m-1), Z_k = X_k A_k element m at (k, 2m), the scale Y_k at (k, 19),
// with A_k = I - R_k^T and A X A = Y A (elements column by column).
inline Record<48 * 19> INV;
namespace inv {
constexpr int kRows = 48;
inline int& x(int k, int m) { return INV.I(k + kRows * (2 * m - 2)); }  // m = 1..9
inline int& z(int k, int m) { return INV.I(k + kRows * (2 * m - 1)); }
inline int& y(int k) { return INV.I(k + kRows * 18); }
}  // namespace inv
// SIG2: 1 sum of the largest sigma2 reliabilities (R); 2 number of sigma2
// relations (I).
inline Record<2> SIG2;
namespace sig2 {
constexpr int kSumG = 1;  // REAL
constexpr int kRelations = 2;
}  // namespace sig2
// SS2C: 5, 9 |E| of the two partners of the line in hand (R); 13 number of
// two-phase records (I); 14 stored general-phase estimates (I).
inline Record<14> SS2C;
namespace ss2c {
constexpr int kEPartner1 = 5, kEPartner2 = 9;  // REAL
constexpr int kRecords = 13, kGeneral = 14;
}  // namespace ss2c

namespace pross2 {
constexpr int kMode = 1;           // I: 1 one-phase, 2 two-phase, negative: mark list full
constexpr int kEK = 2;             // R: |E| of the current K
constexpr int kEH = 3;             // R: |E| of H (two-phase)
constexpr int kERow1 = 4, kERow2 = 5;  // R: |E| of the partner rows
constexpr int kShift = 6;          // I: phase shift of the sigma2 relation (15 degree steps)
constexpr int kE = 6;              // R: |E| of cross reflection t at kE + t (t = 1..10)
constexpr int kQ = 16;             // R: E^2 - 1 of cross reflection t at kQ + t
constexpr int kFlagK1 = 27, kFlagK2 = 28;
constexpr int kQuartetShift = 29;  // I
constexpr int kTwoN = 30;          // R: 2N
constexpr int kSin = 31, kCos = 32;  // R: two-phase sums
constexpr int kTrace = 33;         // I
constexpr int kFlag34 = 34, kFlag36 = 36, kFlag37 = 37;
constexpr int kSquare = 42;        // I: 0 when the square of the operator is the identity
constexpr int kFlagX11 = 43, kFlagX12 = 44;
constexpr int kQX = 44;            // R: E^2 - 1 of X11..X14 at kQX + 1..4
constexpr int kP1 = 48;            // I: P1 = K1 R_m + K1 at 49-51
// |E| and E^2 - 1 of cross reflection t (1..10: K1, K2, K, K, X5..X10), q of X11..X14.
inline float& e(int t) { return PROSS2.R(kE + t); }
inline float& q(int t) { return PROSS2.R(kQ + t); }
inline float& qx(int t) { return PROSS2.R(kQX + t); }
inline int& p1(int i) { return PROSS2.I(kP1 + i); }
}  // namespace pross2

}  // namespace zanek
