// The phase-set list cursor and the phasing parameters that size it.
#pragma once

#include "platform/word.h"

namespace zanek {

// LST016 (list 16 cursor): 1 store address of set record 1; 2 first store
// address of the list; 3 number of set records the list has room for;
// 4 words per phase (1); 5 figure words per set (11); 7 header length H;
// 8 DATA index of the header image; 9 DATA index of the staging set
// record; 10 DATA index of its first phase word; 11 set length L;
// 12 NREF, phases per set.
inline Record<12> LST016;

// PARAM: filled afresh by each command that uses it (invariants,
// seminvariants, phasing); word 1 is the number of phasing reflections
// when list 16 is created.
inline Record<50> PARAM;
// PARAM words during %invariants (INTEGER); the phase command's are in
// namespace param of the phasing records.
namespace param {
constexpr int kStrideH = 1;     // (2 kmax + 1)(2 lmax + 1), stride of h in the super-index
constexpr int kStrideK = 2;     // 2 lmax + 1, stride of k
constexpr int kLargest = 3;     // largest super-index
constexpr int kIsrSize = 4;     // size of the isr table
constexpr int kTableRows = 5;   // rows of the invariant reflection table
constexpr int kClassUnit = 6;   // 2^28, 2^27 and 32768: the field units of the isr coding
constexpr int kMarkUnit = 7;
constexpr int kOrdinalUnit = 8;
// During %phase and while list 16 is formed: NREF, the phasing reflections
// (phases in each stored set).
constexpr int kNref = 1;
}  // namespace param

inline void reset_phaseset_records() {
    LST016.clear();
    PARAM.clear();
}

}  // namespace zanek
