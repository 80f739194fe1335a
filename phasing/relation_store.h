// The first half of the convergence stage: the directives, the relation
// lists that the seminvariants and invariants commands stored, the phases
// known before the trials, and the relation store with its relation
// pointers and relation index list.
#pragma once

#include "phasing/convergence.h"

namespace zanek {

// Directives, relation lists, fixed phases, relation store with pointers
// and index list, group classification. False when the stage must end
// (s.status set, or no triplets).
bool build_relation_store(PhaseSettings& s, PhaseDirectives& d, Convergence& cv);

// Relation pointers P(0..NREF) and the relation index list of a store of
// the given length in words; returns the number of items.
int index_relations(int length);

}  // namespace zanek
