// Representation sums of a seminvariant phase: for one reflection H and one
// class matrix R_m (PRO word 14) the reflections K of the general solution
// K (I - R_m) = H that are present among the data add one term each to the
// cosine and sine sums of the first and second representation formulas
// (one-phase mode), or a quartet-type term built from cross reflections
// (two-phase mode). Every K used is marked, with all its equivalents, so
// that it counts once for the seminvariant in hand.
#pragma once

namespace zanek {

// Enumerates and sums (PROSS2 word 1: 1 one-phase, 2 two-phase). R is the
// row of H in the table of reflections to search, PHIR the restricted
// phase value (radians, one-phase mode); FLAG (two-phase mode) := 1 when
// the relation is not usable.
void FIND1(int R, float PHIR, int& FLAG);
// The second-representation term of one K, added to PRO words 25, 26.
void SECREP(const float CS[2], float EH, float EK, float G, float QH, int R, float W);
// The cross reflections of a two-phase term (PROSS2 words 7-29, 36, 37,
// 43-48) and their marks.
void QUART(int R);
// E and E^2 - 1 of H + s (equivalent j of free vector k) for every free
// vector of the second formula (H = PRO words 18-20).
void EHK();
// Marks H and its equivalents (negates their isr words, records them in
// the mark list); UREQ word 11 := 1 when the mark list is full.
void MARK(const int H[3], int R, int& N, const int H0[3]);
// S = L + K, IS its super-index, E its |E| and Q = E^2 - 1 (0 and 0 when S
// lies outside the table, 1 and 0 when it is not among the data).
void KSYM(const int L[3], const int K[3], float& E, float& Q, int S[3], int& IS);
// Column J of the second-representation table: T(N, J) := X unless X
// equals one of T(1..N-1, J).
void INSE(float T[50][9], float X, int J, int N);
// Makes every isr word negated for the seminvariant in hand positive again
// and empties the mark list.
void unmark_all();
// E of the free-vector table of EHK: value (E, or E^2 - 1 when q) of
// H + s (equivalent j of free vector k), sigma 1 for s = +1 and 2 for -1.
float free_vector_e(int k, int sigma, int j, bool q);
int free_vector_signs(int k);

}  // namespace zanek
