// Phasing from a known partial structure: phase estimates of the phasing
// set from the fragment and the triplets, and the starting set they give.
#pragma once

namespace zanek {

// Both take the arguments CONVER passes: 1 symbols that must have a
// restricted phase ("spec"); 2 symbols that must have a general phase;
// 3 symbols of either kind; 4 not read; 5 the three origin ranks (cleared
// by XCON); 6 not read.
void XSIM(int& nspec, int& ngen, int& nany, int& unused1, int* origin, int& unused2);
void XCON(int& nspec, int& ngen, int& nany, int& unused1, int* origin, int& unused2);

// Reorders index(1..n) so that key(index(k)) does not increase.
void SORT3(const float* key, int* index, int n);
// Phase-error statistics over order(1..n) with positive weight.
void TSTP(const int* phases, const int* known, const int* order, const float* weights, int n);

}  // namespace zanek
