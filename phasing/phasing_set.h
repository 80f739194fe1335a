// Helpers of the phasing set that every phasing stage calls: filling the
// per-reflection arrays from the reflection list, unpacking a super-index,
// reading one relation of the relation store as seen from one of its
// reflections, and listing the reflections whose phase is a structure
// seminvariant.
#pragma once

namespace zanek {

// Mode 1 (convergence): packed reflection words, known phases and
// restriction codes of the first NREF reflections (and the partial-structure
// values when a partial structure is in use, halving SYM w224).
// Mode 2 (multisolution): super-index, E to 0.01, known phase (SUP w1551..)
// and restriction code of the first NREF and the last nzro (PSI0 w2)
// reflections of the list.
void REFSTO(int mode);

// h, k, l of a super-index S >= 0 (strides in UNP).
void UNPACC(int S, int& h, int& k, int& l);

// Reads the relation-store item at word position pos. value = B/100 of its
// value word, shift in 15-degree steps (0..23), nwords = 2 or 3. The other
// reflections are left in the four DEPACC slots (XDATA w129904-129907),
// zero where absent. With r != 0 they are seen from r: signed so that
// phi(r) = sum(slot phases) + 15*shift, r itself removed.
// A corrupt item stops the program.
void DEPACC(int r, int pos, float& value, int& shift, int& nwords);

// UREQ1 w2..w502: the ranks whose phase is a structure seminvariant.
void PUNTS1();

// Debugging dump of the phasing set (print level 2): rank, estimated
// alpha, preset phase, restriction code and weight of every reflection,
// after an optional two-part heading.
void dump_phasing_set(const char* heading1, const char* heading2);

}  // namespace zanek
