// Reliabilities of triplet-type invariants under pseudo-translation.
//
// When %normal has found a pseudo-translation (list 7 names the number of
// its conditions, list 19 holds them with the straight line
// q(s^2) = slope s^2 + intercept of the scattering fraction outside it),
// reflections that obey the conditions are systematically strong and the
// others weak, and the p-3 reliability misjudges a triplet. Each reflection
// of the invariant table then carries a pseudo-translation weight
// alpha = P n(h) / neq (P the product of the moduli, n(h) the point-group
// images of h that obey every condition), and the p-3 estimate of every
// triplet, psi-zero and psi-e relation is replaced by a modified estimate
// that takes the expected intensities q + (1 - q) alpha into account.
#pragma once

#include <cstdint>

namespace zanek {

// True when list 7 carries pseudo-translation conditions (PSEUD word 436).
bool pseudo_conditions();

// Preparation once per reflection selection: P and P^2 (PSEUD words 451,
// 452), the reciprocal cell, and SUGG, the suggested coefficient of triplets
// of three pseudo-translation weak reflections; the applied coefficient
// (PSEUD word 509) becomes SUGG unless given.
void PREPA(float& SUGG);
// SINTE words 7-12 (reciprocal cell) from words 1-6 (direct cell).
void SENTI();
// SS := s^2 = (sin(theta)/lambda)^2 of HKL.
void SENT(float& SS, const int HKL[3]);
// HKL := HKL R(J), R(J) the J-th matrix of ERL.
void EQUIT(int HKL[3], int J);
// ALPHA := the pseudo-translation weight of HKL.
void ALFAS(float& ALPHA, const int HKL[3]);
// B := the number of point-group matrices that take all three vectors into
// reflections obeying every condition.
void BETAS(float& B, const int H1[3], const int H2[3], const int H3[3]);
// The modified estimate of the relation of table rows I, J, K with signs
// SIGMA, TAU and operators M (second) and Q (third): G in the p-3 value,
// out the modified one; H1..H3 the three vectors (summing to zero); REC the
// triplet description (words 2-5, 7-10, 12-16; rows go into 1, 6, 11).
void PSEUDT(float& G, int I, int J, int K, int SIGMA, int TAU, int M, int Q, int H1[3], int H2[3], int H3[3],
            float EI, float EJ, float EK, int32_t REC[16]);

// trunc(1000 alpha) of a reflection: word 3 of its row in the invariant
// table (0 without pseudo-translation).
int32_t pseudo_weight_word(int h, int k, int l);

// With known phases: the relation described by REC, of modified estimate
// G (before the factor 2 of groups without a centre of symmetry) and
// known-phase sum PHI (degrees), into the class statistics.
void pseudo_class_entry(const int32_t REC[16], float G, int PHI);

// The pseudo-translation block of the heading of %invariants.
void print_pseudo_heading(float SUGG);

}  // namespace zanek
