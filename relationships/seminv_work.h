// The work store of the seminvariants command: where its tables lie in
// XDATA (word numbers; every table is rebuilt by each %seminvariants).
//
//        1 ..  100000  isr: trunc(1000 E) at the super-index of every
//                      symmetry equivalent of every list-7 reflection,
//                      -1000 absent (a temporary map while the sigma2
//                      relations are formed)
//   100001 ..  100350  one-phase candidates: rows of the search table
//   100351 ..  100700  a copy of the candidate list
//   100701 ..  101050  one-phase estimate words 1000 code + phase
//   101051 ..  126250  table of reflections to search: h, k, l of slot j
//                      (equivalent j) of row r
//   135252 ..  136251  mark list: super-indices negated while summing
//   136252 ..  136601  E word of row r
//   136602 ..  136951  restriction-and-phase word of row r (REAL)
//   136952 ..  143951  first-rank seminvariant table, 7 columns of 1000
//   143952             number of first-rank entries
//   143953 ..  151952  reliability G of sigma2 relation k (REAL)
//   176001 ..  200000  sigma2 relation records, three words each
//   200001 ..  201001  sigma2 relations before first-rank entry i
//   209002 ..  225801  per (row, operator): unnormalised super-index of the
//                      equivalent, and its symmetry image word (350 rows of
//                      24 operators each)
#pragma once

#include <cstdint>

#include "jobcontrol/records/work.h"

namespace zanek::semtab {

constexpr int kRows = 350;          // rows of the table of reflections to search
constexpr int kSlots = 24;          // equivalents per row
constexpr int kFirstRank = 1000;    // entries of the first-rank table
constexpr int kIsrSize = 100000;    // super-indices isr can hold
constexpr int kMarks = 1000;        // reflections marked for one seminvariant
constexpr int kRelations = 8000;    // sigma2 relations
constexpr int kFreeVectors = 100;   // free vectors of the second formula
constexpr int kMaxClassMatrices = 5;
constexpr int kDuplicate = 1000;    // added to each index of a repeated equivalent
constexpr int kAbsent = -1000;      // isr word of a reflection not in the data

// The areas of the work store (above): the word before each table's first.
constexpr int kIsrBase = 0;
constexpr int kCandidateBase = 100000;
constexpr int kCandidateCopyBase = 100350;
constexpr int kEstimateBase = 100700;
constexpr int kSlotBase = 101050;
constexpr int kMarkBase = 135251;
constexpr int kEwordBase = 136251;
constexpr int kRpwordBase = 136601;
constexpr int kFirstRankBase = 136951;
constexpr int kFirstRankCount = 143952;  // the count word itself
constexpr int kRelationGBase = 143952;
constexpr int kRelationBase = 176000;
constexpr int kBeforeBase = 200000;
constexpr int kImageBase = 209001;
constexpr int kImageWordBase = 217401;

inline int32_t& isr(int s) { return XDATA.I(kIsrBase + s); }
inline int32_t& candidate(int i) { return XDATA.I(kCandidateBase + i); }
inline int32_t& candidate_copy(int i) { return XDATA.I(kCandidateCopyBase + i); }
inline int32_t& estimate(int i) { return XDATA.I(kEstimateBase + i); }
// Index c (0 h, 1 k, 2 l) of slot j of row r.
inline int32_t& slot(int c, int j, int r) { return XDATA.I(kSlotBase + kRows * kSlots * c + kRows * (j - 1) + r); }
inline int32_t& mark(int n) { return XDATA.I(kMarkBase + n); }
inline int32_t& eword(int r) { return XDATA.I(kEwordBase + r); }
inline float& rpword(int r) { return XDATA.R(kRpwordBase + r); }
// Column c (1..7) of first-rank entry n.
inline int32_t& first_rank(int n, int c) { return XDATA.I(kFirstRankBase + kFirstRank * (c - 1) + n); }
inline int32_t& first_rank_count() { return XDATA.I(kFirstRankCount); }
inline float& relation_g(int k) { return XDATA.R(kRelationGBase + k); }
// Word w (1..3) of sigma2 relation record k.
inline int32_t& relation(int k, int w) { return XDATA.I(kRelationBase + 3 * (k - 1) + w); }
// Number of sigma2 relations of the first-rank entries before entry i
// (i = 1..1001): the relations of entry i are those after it up to the
// value of entry i + 1.
inline int32_t& relations_before(int i) { return XDATA.I(kBeforeBase + i); }
// Per (row r, operator j), p = (r - 1) nsym + j.
inline int32_t& image_s(int p) { return XDATA.I(kImageBase + p); }
inline int32_t& image_word(int p) { return XDATA.I(kImageWordBase + p); }

// The equivalent of slot j of row r without its duplicate mark.
inline void slot_vector(int j, int r, int h[3]) {
    for (int c = 0; c < 3; ++c) {
        int v = slot(c, j, r);
        if (slot(0, j, r) > 500) v -= kDuplicate;  // a repeat carries the mark on all three
        h[c] = v;
    }
}
inline bool slot_is_duplicate(int j, int r) { return slot(0, j, r) > 500; }

// |E| of row r.
inline float row_e(int r) { return static_cast<float>(eword(r) < 0 ? -eword(r) : eword(r)) / 1000.0f; }

}  // namespace zanek::semtab
