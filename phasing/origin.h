// The space group as the origin problem sees it: how many phases fix the
// origin, modulo what each index enters the structure seminvariants, the
// residue vector of every phasing reflection, and the search for origin
// reflections whose residue vectors are independent modulo those moduli.
#pragma once

namespace zanek {

// Classifies the group: origin phase count (ERL w2917), polar-axis count
// (PARAM w6), seminvariant moduli (PARAM2 w501-503, 0 for a free
// direction), residue vectors (PARAM2 w1..NREF), the restriction codes of
// the phasing set, and possibly SYM w220 = -1 (enantiomorph fixed by the
// group).
void GROUP();

// Searches the phasing set for origin reflections. result = 0 when the
// origin can be fixed (or needs no phase), -1 when not; with store != 0
// the chosen ranks go to list[0..count-1]; required (a rank, 0 none) must
// be among the chosen.
void ORIGIN(int& result, int unused, int store, int required, int list[3]);

// 0 when (R - I)(a, b, c) = 0 (mod m) for every operator R, so that the
// residue a h + b k + c l mod m is the same for all equivalents of a
// reflection, up to the centring allowance of the lattice; non-zero
// otherwise.
void TEST9(int a, int b, int c, int m, int& result);

// Smallest d >= 2 dividing every non-zero argument; 1 when none does or
// when the smallest non-zero argument is 1 or less; 2 when all are 0.
int JFAC(int a, int b, int c);

// The residues (a, b, c) of rank r, decoded from its residue vector (the
// bare one-number value of the hexagonal modulus-6 case as (0, 0, value)).
void residues_of(int r, int& a, int& b, int& c);

}  // namespace zanek
