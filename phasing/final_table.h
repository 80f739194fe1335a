// The final figure-of-merit table of a multisolution run, the ranking in
// the header of list 16, and the seminvariant check of a test run.
#pragma once

#include <cstdint>

namespace zanek {

// Sorts the n kept sets by cfom, prints the table with its warnings and
// writes the ranking into list 16 (a receives the cfom of each row). The
// status becomes -1, and lists 15 and 16 are removed, when no set is usable.
void PRTFOM(int& n, int nenan, float* a, int nref, int& status);

// Compares the seminvariant phases of every listed set with the known
// phases (known[r-1] for rank r), for both enantiomorphs.
void SSFOM(const int32_t* known);

}  // namespace zanek
