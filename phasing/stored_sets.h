// Keeping the best phase sets: the stored-set table and list 16, with the
// rejection of sets equivalent to a kept one (same seminvariant phases up
// to the enantiomorph).
#pragma once

namespace zanek {

// The figures of a scored trial, in the columns of the stored-set table.
struct TrialFigures {
    float mabs = 0, alcomb = 0, rxy = 0, cphase = 0, cfom = 0, undetermined = 0, error = 0,
          werror = 0, enantio = 0, trial = 0, pscomb = 0;
};

// Decides whether trial set f (its weights and phases are the refinement
// arrays of the work store) is kept, and where; writes the table row and
// list-16 record. nkeep, slot and lowest are arguments 8, 9 and 11 of FOMSP.
void KEEPSET(const TrialFigures& f, int nkeep, int& slot, float& lowest);

}  // namespace zanek
