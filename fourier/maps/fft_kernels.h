// One-dimensional discrete Fourier transforms from which the map is built:
// an in-place mixed-radix transform (radices 2, 3, 4 and 5) of many
// sequences at once, and the transform of a Hermitian-symmetric sequence
// into real numbers.
//
// The data are two REAL arrays X (real parts) and Y (imaginary parts); the
// callers pass one interleaved array twice, Y one word after X. Where the
// sequences lie is described by the dimension vector D of five words
// (offsets in words, all from X and Y):
//   point j of sequence c of set b lies at b*D3 + c*D5 + j*D2,
//   for b*D3 < D1 (sets), c*D5 < D4 (sequences of a set), j < N (points).
// Every complex transform computes X_k = sum_j x_j exp(-2 pi i jk/N),
// without normalisation.
#pragma once

namespace zanek {

constexpr int kFftMaxFactors = 14;  // factors of one length, work lists included

// Splits N into factors up to PMAX: FACTOR := the square factors in
// reverse order, the single factors, the square factors in order; SYM the
// same with the product of the single factors in the middle; PSYM the
// product of the square factors; UNSYM the single factors. Each list ends
// with 0 (the arrays hold kFftMaxFactors + 1 entries). Neighbouring
// factors 2 of FACTOR are merged into factors 4 up to TWOGRP, a 1 left in
// the place of the first. ERROR := -1 when a prime factor above PMAX is
// left (or N < 1), else 0.
void SRFPN(int n, int pmax, int twogrp, int factor[], int sym[], int& psym, int unsym[], int& error);

// Forward complex transform of every sequence of length N described by D.
// NWORK (the size of the caller's work array) plays no part. ERROR := -1,
// with nothing transformed, when N has a prime factor above 5.
void CMPLFTN(float* x, float* y, int nwork, int n, const int d[5], int& error);

// One radix kernel per factor of FACTOR (a factor 1 is skipped), the span
// starting at N and divided by the factor before its pass. The results
// are left in digit-reversed order.
void MDFTKDN(int n, const int factor[], const int d[5], float* x, float* y, int nwork);

// Radix-p passes of span M: the p strips start M*D2 words apart (X0, X1,
// ... and Y0, Y1, ...). Output q of a butterfly goes to strip q, except
// that the radix-4 pass stores outputs 1 and 2 in each other's strip, so
// that its order is that of two radix-2 passes.
void R2CFTKN(int n, int m, float* x0, float* y0, float* x1, float* y1, const int d[5]);
void R3CFTKN(int n, int m, float* x0, float* y0, float* x1, float* y1, float* x2, float* y2, const int d[5]);
void R4CFTKN(int n, int m, float* x0, float* y0, float* x1, float* y1, float* x2, float* y2, float* x3,
             float* y3, const int d[5]);
void R5CFTKN(int n, int m, float* x0, float* y0, float* x1, float* y1, float* x2, float* y2, float* x3,
             float* y3, float* x4, float* y4, const int d[5]);

// Puts the digit-reversed results of MDFTKDN back into natural order, in
// place, for every sequence described by D. The digits are those of SYM
// with its middle entry (the product of the single factors) taken apart
// into the single factors UNSYM.
void DIPRPN(int n, const int sym[], int psym, const int unsym[], const int d[5], float* x, float* y);

// Transform of a Hermitian sequence of length 2N whose terms c_0..c_(N-1)
// are given (Y at term 0 carries the real value c_N) into its 2N real
// values: the even-numbered ones in X and the odd-numbered ones in Y,
// term by term. ERROR as in CMPLFTN.
void HERMFTN(float* x, float* y, int nwork, int n, const int d[5], int& error);

}  // namespace zanek
