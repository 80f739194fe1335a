// The cell list (1) and the symmetry list (2), their formers and loaders,
// and the small matrix routines used with them.
#pragma once

#include "platform/word.h"

namespace zanek {

namespace list1 {
constexpr int kType = 1;
constexpr int kLength = 55;
constexpr int kDerived = 15;  // words derived behind the loaded list
}  // namespace list1

namespace list2 {
constexpr int kType = 2;
constexpr int kHeaderLength = 13;
constexpr int kOpWords = 12;    // nine rotation words, three translation words
constexpr int kGroupFixed = 40; // symbol 16, seminvariant vectors 18, moduli 6
// Offsets of the seminvariant vectors and of the moduli in the group tables.
constexpr int kGroupSeminv = 16, kGroupModuli = 34;
constexpr int kMaxOps = 24;     // operators SYM can hold
// Words of list 2 for nsym operators and ntot group operations.
constexpr int length(int nsym, int ntot) { return kOpWords * nsym + kHeaderLength + kGroupFixed + nsym + ntot * ntot; }
}  // namespace list2

// Forms and stores list 1 from a, b, c, alpha, beta, gamma. Angles are
// degrees, or cosines when alpha is below 1.5.
void FRM01(const float cell[6]);
// Loads list 1 into DATA, sets LST01 and RC words 1-15. A caller that
// can do without the cell tests for it first: an absent list 1 resets only
// XLIMI word 1, prints the absence message and fails the running command.
void YFL01();
// Forms and stores list 2 from SYM and ERL.
void YFRM02();
// Forgets the lattice code kept from the last store of list 2 (a new run).
void reset_symmetry_list();
// Loads list 2 into DATA, ERL, SYM and LST02; absent: as YFL01.
void YFL02();

// B := the inverse of the 3x3 matrix A (column-major), truncated.
void MINV9(const float a[9], int b[9]);
// Strided matrix product with the strides in XMATE words 10-13.
void XMTMR(const float* a, const float* b, float* c, int n, int m, int l);
// C = A * B^T for column-major A (N x M) and B (L x M).
void XMTMT(const float* a, const float* b, float* c, int n, int m, int l);

}  // namespace zanek
