// The phase command: its directives and the command routine that runs the
// convergence, divergence and multisolution stages in order.
#pragma once

#include "phasing/phase_records.h"

namespace zanek {

// The directive values that the convergence and divergence stages read
// besides the phase settings and the records (USE1 "perm", USE2 "orig"
// values and "phas" triples, CRIS, MAG, CONST, GIAN, PARTIA, SUP w405,
// UREQ w6 and w10, EMAP w213).
struct PhaseDirectives {
    int nneg = 0;       // 1: negative triplets (list 10) not used
    int nngq = 0;       // 1: negative quartets (list 20) not used
    int tabl = 0;       // 1: print the table of estimated alphas
    int symb = 5;       // number of selected symbols wanted
    int enan = 0;       // enantiomorph-fixing reflection (rank), 0 automatic
    int spec = 0;       // restricted reflections forced among the symbols
    int nperm = 0;      // "perm" reflections in USE1 w1013..
    int orig = 0;       // 1 when "orig" was given
    int norig = 0;      // origin pairs kept
    int orig_rank[3] = {0, 0, 0};  // their ranks; the values are USE2 w1-3
    int nphas = 0;      // "phas" triples in USE2
    int nzro = 0;       // weak reflections (reflection list header)
    int ipseudo = 0;    // pseudo-translation class (reflection list header)
};

// Reads the directive lines of %phase: settings and directives take their
// defaults first, then every line of the command is read. A bad line prints
// its message and sets s.status to -1. Nothing stored is changed here: a
// positive seed is left in s.new_seed for the command to store.
void DIRPHA(PhaseSettings& s, PhaseDirectives& d);

// The rank of "perm" reflection i (1..12).
inline int& perm_rank(int i) { return USE1.I(use1::kPerm - 1 + i); }
// "phas" triple i (1..200): rank, phase in degrees, weight.
inline int& phas_rank(int i) { return USE2.I(use2::kPhasRank - 1 + i); }
inline int& phas_phase(int i) { return USE2.I(use2::kPhasPhase - 1 + i); }
inline float& phas_weight(int i) { return USE2.R(use2::kPhasWeight - 1 + i); }

}  // namespace zanek
