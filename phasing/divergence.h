// The divergence stage of the phase command: the last convergence steps,
// the origin reflections and symbols of the starting set, the phase codes
// the multisolution stage reads, the enantiomorph-fixing reflection, and
// the divergence mapping that orders the other reflections by how well the
// reflections placed before them determine their phases.
#pragma once

#include "phasing/convergence.h"

namespace zanek {

// The divergence stage. On return s.pass_through holds P(NREF), the number
// of entries of the relation index list; s.status is -1 when the
// enantiomorph cannot be fixed (or a "perm" reflection fixes the origin).
void CON2(PhaseSettings& s, const PhaseDirectives& d, Convergence& cv);

// Sorts key(1..n) ascending (diminishing-increment insertion sort) and
// moves index(1..n) along with it.
void SORTCO(float* key, int* index, int n);

// Chooses the enantiomorph-fixing reflection of a non-centrosymmetric
// group (PARAM w2, signed); status -1 when none can fix it.
void STARTS(int nsymb, int& status);

// The divergence-mapping heading is printed once per program run; a new
// run in the same process starts afresh.
void reset_divergence_heading();

}  // namespace zanek
