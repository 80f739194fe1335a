// Two-phase structure seminvariants: the sigma2 pairs H = K1 + K2 of the
// first-rank seminvariant reflections, the estimates of phi(K1) + phi(K2)
// from quartet-type sums, their normalisation, list and list 27.
#pragma once

#include <cstdint>

#include "relationships/seminv.h"

namespace zanek {

namespace twophase {
constexpr int kRecords = 500;     // estimates held while the pass runs
constexpr int kKept = 400;        // estimates kept after the pass
constexpr int kListed = 10;
constexpr float kMinAlpha = 0.4f;
constexpr float kMaxAlpha = 6.0f;
constexpr float kMaxG = 20.47f;
}  // namespace twophase

// Estimate record: 1 (code1 + 500) 10^6 + (code2 + 500) 10^3 + psi;
// 2 trunc(1000 alpha), negative for a general pair; 3 Phi from the known
// phases (360 without them).
struct TwoPhaseRecord {
    int w[4] = {};
};

// The sigma2 relation records of the work store.
void SIGMA2();
// Sorts V(1..N) into decreasing order in place; N < 1 writes a box.
void SORTGS(float* V, int N);
// The two-phase pass; NS(2), NS(4) := estimated and stored when anything
// is stored.
void SS2(SeminvCounts& NS);
// Sorts, lists and stores (list 27) the N records REC(1..N).
void SORS2(TwoPhaseRecord* REC, int N, float& ASUM, int& ACNT, int& NRES, float& FOMS, int& NWRONG, int& NSTORED);
// Sorts REC(1..N) into decreasing |word 2|, whole records moving.
void SORT3S(TwoPhaseRecord* REC, int N);
// The two-phase seminvariant pair: index-pair word and value word.
void JPACK2(int32_t& W1, int32_t& W2, int A, int S, int B, float ALPHA, int PHI);
// Enters one listed estimate into the statistics against known phases.
void STATS(float ALPHA, int PHIT, int PHI, const char* MARK, int& NWRONG, int J);
// A(I1..I2) := -1, B(I1..I2) := 0.
void AZZERO(float* A, float* B, int I1, int I2);

}  // namespace zanek
