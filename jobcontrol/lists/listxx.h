// The generic table lists of the phase relationships: triplets (8, 10,
// 11, 24), psi-zero triplets (9), quartets (20, 21), one- and two-phase
// seminvariants (26, 27), and the accepted but unused type 12. Items of W
// words are taken from, and spread back into, the caller's array at a
// stride of S words.
#pragma once

#include "platform/word.h"

namespace zanek {

namespace listxx {
constexpr int kHeaderLength = 19;
// Item width W and caller stride S of a table type; false for a type that
// is not a table list.
bool widths(int type, int& w, int& s);
}  // namespace listxx

// Stores COUNT items of ITEMS as list TYPE with the writer's four integers
// I1..I4; FLAG < 0 stores the header and row only. A type that is not a
// table list stops with 1111.
void FRMXX(int flag, int type, int count, int i1, int i2, int i3, int i4, const Word* items);
// Reads the header's count and four integers; with FLAG >= 0 also the
// items into ITEMS at the stride. CAPACITY is the number of words ITEMS
// holds: a stored count that would not fit is a corrupted list.
void SFLXX(int flag, int type, int& count, int& i1, int& i2, int& i3, int& i4, Word* items, int capacity);

}  // namespace zanek
