// One-phase structure seminvariants: estimation of the phases of the
// first-rank seminvariant reflections from their representation sums, the
// list of the estimates and list 26.
#pragma once

#include <cstdint>

#include "relationships/seminv.h"

namespace zanek {

namespace onephase {
constexpr int kMaxCandidates = 350;
constexpr float kMinAlpha = 0.2f;   // estimates below are rejected
constexpr float kStrongAlpha = 0.8f;
constexpr int kListed = 9;          // estimates shown in the listing
}  // namespace onephase

// The one-phase pass. NS(1), NS(3) := candidates and stored estimates
// when anything is stored; otherwise COST word 9 := 0.
void SS1(SeminvCounts& NS);
// Sorts, lists and stores (list 26) the estimates of the alpha table
// ALPH (candidates 1..COST word 9); NST := the number stored.
void SORS1(float ALPH[onephase::kMaxCandidates + 1], int& NST, const float SUM[2]);
// Index sort of V(1..N) into decreasing order (a diminishing-increment
// exchange sort; equal values are never exchanged). IDX and V are 1-based.
// N < 1 writes a warning box and sets IDX(1) := 1.
void SORTS(int* IDX, float* V, int N, int NMAX);
// The one-phase seminvariant word (A +-rank, negative for a general
// phase; alpha; phase in degrees).
int32_t JPACK1(int A, float ALPHA, int PHI);
// Its inverse (W is replaced by W - 1).
void UNPK1(int32_t& W, int& A, float& ALPHA, int& PHI);
// X^4 - 6 X^2 + 3, and 0 for X = 0.
float H4(float X);

}  // namespace zanek
