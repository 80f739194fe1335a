// The convergence stage of the phase command: the relations become the
// relation store, every phasing reflection gets an estimate of how well
// its relations determine its phase, the weakest are removed, and the
// origin is chosen; the divergence stage follows.
#pragma once

#include "phasing/phase_command.h"
#include "phasing/phase_records.h"

namespace zanek {

// What the convergence stage hands to the divergence stage.
struct Convergence {
    int k_fixed = 0;      // K: phases fixed before the trials (processing-order positions 1..K)
    int k_onephase = 0;   // K1 <= K: of which from one-phase seminvariants
    int origin[3] = {0, 0, 0};  // origin ranks (the first ERL w2917 are the origin reflections)
    int nsymb = 0;        // symbols wanted, then chosen
    int removal_slot = 0; // next free processing-order position from the end
    int polar_before = 0; // PARAM w6 before the automatic origin search
    int symbols_reduced = 0;  // 1 when the symbol count was cut to the reflections left
    int norig_placed = 0; // origin reflections placed after the K fixed phases
    int ntwo = 0;         // active two-phase seminvariants
    int ntrip = 0;        // triplets in the store
    int nquart = 0;       // quartets in the store
    int nrel = 0;         // relations (items) in the store
};

// The whole convergence stage, ending in the divergence stage. s carries
// the phase settings of the command (status -1 after a failure whose
// message has been printed).
void CONVER(PhaseSettings& s);

// Walks the relations of rank r. Mode 1: first estimates; 2: removal of r
// from its partners' estimates (recorded for the listing); 4: removal
// without record; 5: weighted estimates; 3 (and others): divergence
// mapping, adding to the estimates of the open partners. out accumulates
// the sum over relations with two or more partners (modes 1 and 5).
void INTER(int mode, int r, float& out);

}  // namespace zanek
