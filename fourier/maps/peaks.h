// Peak search of the integer map on jrel: local maxima among the 18 face
// and edge neighbours, refined to sub-grid positions by a quadratic fit,
// merged when symmetry makes two of them one peak within 0.85 A, kept as
// many as the expected cell content asks for, and stored as the peak list
// ATOMS (records in decreasing height, occupancy 1/site order, labels 0)
// and as list 15.
#pragma once

#include <cstdint>

namespace zanek {

// Reads the map header back, sets up the centring table, the operators
// and the metric, and runs the search. ICYC 1 prints the expected content.
// XATOMS out: expected atoms per asymmetric unit. IERR := -1 when the
// section buffer is too small (message printed).
void SEARCH(int icyc, float& xatoms, int& ierr);

// The search itself over the sections of the map; REGION non-zero lets it
// cover half the sections (symmetry repeats the other half).
void PKSRCH(float& xatoms, int region, int icyc, int& ierr);

// Sub-grid offsets, in grid steps, of the maximum at the centre of a 3x3x3
// block of map values v[section][row][column] (y, z, x; index 1 the
// centre): a quadratic fitted to the centre and its 6 face and 12 edge
// neighbours, with one curvature along every axis. All three are 0 (the
// grid point is kept) when that curvature is not negative, or when an
// offset would exceed a step.
void peak_offsets(const int32_t v[3][3][3], double& dx, double& dy, double& dz);

// How many peaks a Fourier map keeps, from WITHIN (peaks whose summed
// occupancies stay within the expected content) and HIGHEST_POSITIVE (the
// last peak above 0), the peaks wanted (CONST words 6 and 7, the request
// SDIR word 2) and, while recycling, the growth allowed by R. Sets CONST
// word 6 and EMAP words 5-8.
int peaks_to_keep(int within, int highest_positive);

// Sorts N records of 5 REAL words from A by decreasing word KEY (1-5):
// Shell's sort with gapped insertions that move a record only past a
// strictly smaller key.
void SORTF(float* a, int n, int key);

// Y := the K-th symmetry equivalent of (X1, X2, X3): operator
// ((K-1) mod nsym)+1, centring vector (((K-1) div nsym) mod nc)+1, the
// rotation inverted when (K-1) div nsym >= nc.
void OPER(int k, float y[3], float x1, float x2, float x3);

// The quadratic form sum U_i G_ij V_j, G stored by columns.
float QUADR(const float u[3], const float v[3], const float g[9]);

// Sets the number of centring vectors to N and vector N to row L of the
// centring table (1 origin, then the A, B, C, I vectors and the two R ones).
void CENTRE(int n, int l);

}  // namespace zanek
