// The phase-set list (16): a header with two per-set arrays (figure of
// merit, set record number) in ranking order, then one record per trial
// phase set: eleven figure words and NREF weighted phase words.
#pragma once

#include <cstdint>

#include "platform/word.h"

namespace zanek {

namespace list16 {
constexpr int kType = 16;
constexpr int kFigureWords = 11;
constexpr int kFixedHeader = 15;  // header words before the two arrays
// Weighted phase word: nint(w*1000000)*512 + phase, w clipped to 1.0.
int32_t pack_phase(float& weight, int phase);
void unpack_phase(int32_t word, float& weight, int& phase);
}  // namespace list16

// Creates list 16 for NSETS sets of PARAM word 1 phases, all set records
// written with zero words.
void NFRM16(int nsets);
// Opens list 16 at DATA(XLIMI word 1): A1 the figures of merit, A2 the set
// numbers, NSETS header word 11. CAPACITY is the length of A1 and A2: a
// stored count above it is a corrupted list.
void SFL16(float* a1, int32_t* a2, int& nsets, int capacity);
// Reads set record I; W and PHI must hold NREF (LST016 word 12) entries,
// CAPACITY says how many they hold.
void SNR16(int i, Word* fom, float* w, int32_t* phi, int capacity);
// Writes set record I; weights above 1.0 are set to 1.0 in W itself.
void SNW16(int i, const Word* fom, float* w, const int32_t* phi);
// Rewrites the header's arrays with N entries (at most the stored count).
void SUP16(const float* a1, const int32_t* a2, int n);
// As SFL16 and SUP16, after resetting XLIMI word 1 to word 7.
void YSFL16(float* a1, int32_t* a2, int& nsets, int capacity);
void YSUP16(const float* a1, const int32_t* a2, int n);

}  // namespace zanek
