// Weighted tangent refinement of one trial: the phases of the starting set
// are extended over the whole phasing set cycle by cycle with a falling
// acceptance threshold, then refined together until the sum of alpha^2
// stops growing; the trial is then scored and handed to the set keeping.
#pragma once

#include <cstdint>

namespace zanek {

// Arguments: 1 1 when "tria" named trials to list; 2 trial number; 3 known
// phases by rank (SUP w1551..); 4 pass flag (not 0: score only); 5 one-
// phase count; 6 two-phase threshold; 7 s = sigma3/sigma2^1.5; 8 sets to
// keep; 9-12 the set-bookkeeping words (slot word, evaluated trials,
// lowest kept cfom, count for the final table).
void WEITAN(int& tria, int& t, const int32_t* known, int& pass, int& onep, float& twop, float& s,
            int& nkeep, int& slot, int& evaluated, float& lowest, int& nenan);

// Decodes the relation store once into flat per-reflection tables (signed
// partners, shift and reliability as seen from each reflection). TANGEN
// calls it after the store is final; WEITAN reads only these tables.
void prepare_tangent_relations();

}  // namespace zanek
