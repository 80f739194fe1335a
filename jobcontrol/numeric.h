// Numeric helpers shared by the subsystems: unpacking of the packed words
// (relation word, packed index), compact symmetry-operator codes, the
// Bessel-function ratio I1(x)/I0(x) with its inverse, and the record sort of
// the work store. Their constants and formulas are part of the program's
// numerical behaviour: phases and figures of merit depend on them.
#pragma once

#include <cstdint>

namespace zanek {

// Relation word P = ((A+2048)*4096 + (B+2048))*32 + (C+1) -> A, B, C
// (A, B in -2048..2047, C in -1..30).
void UNPAK3(int32_t P, int32_t& A, int32_t& B, int32_t& C);

// Packed index P = h*2^18 + (k+256)*2^9 + (l+256) -> h, k, l (h >= 0).
void UNPACK(int32_t P, int32_t& H, int32_t& K, int32_t& L);

// Compact operator codes of N symmetry operators. R is R(48,3,3) and T is
// T(48,3) as ERL holds them (R(k,i,j) at R[(k-1) + 48(i-1) + 144(j-1)]);
// MS(2,3,N) receives, for row i of operator k, the signed column codes
// j*R(k,i,j) of its non-zero elements (at most two), and TS(3,N) the
// translations T(k,i). N is 0..48.
void MUSYM(const int32_t* R, const float* T, int N, int32_t* MS, float* TS);

// Rational approximation of I1(x)/I0(x) (odd in X, at most 1 in magnitude).
void BESSE(float X, float& Y);

// Piecewise-polynomial approximation of I1(x)/I0(x) (odd in X).
float BES(float X);

// The x with I1(x)/I0(x) = A, piecewise in A; 100 above A = 0.9949.
// Odd in A: a negative A gives minus the value of |A|.
float BESINV(float A);

// Sorts N records of LEN words held in XDATA from word START on, on the REAL
// key in word |KEY| of each record: ascending when KEY > 0, descending when
// KEY < 0. A diminishing-gap exchange sort whose order of records with equal
// keys other routines (and stored lists) rely on.
void SORTZ(int START, int N, int LEN, int KEY);

}  // namespace zanek
