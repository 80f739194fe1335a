// The atom model in memory: the peak list, the previous atom list, the
// recycling state, the bond table and the Fourier command's constants.
// They travel between commands in lists 15 and 30.
#pragma once

#include "platform/word.h"

namespace zanek {

constexpr int kMaxAtoms = 200;  // slots of the peak list

// ATOMS: slot i in words 5i-4..5i (x, y, z fractional, peak height,
// occupancy; REAL), label code of slot i in word 1000+i (INTEGER),
// fragment table in words 1201-1221 (1201 count, 1202-1211 types,
// 1212-1221 atoms per fragment).
inline Record<1221> ATOMS;
// ATOMO: the previous atom list, laid out as ATOMS (words 1-1000 the five
// reals of each slot, 1001-1200 the label codes); also scratch for the
// recycling code.
inline Record<1600> ATOMO;
// EMAP: recycling state (REAL unless stated): 9 default isotropic B,
// 10-209 B of atoms 1-200 (word 9+i), 211 inverse Fo/Fc scale,
// 212 R of the last cycle, 213-214 thresholds, 215 cycles done,
// 216 next-action code (0 none, 1 refine, 2 complete).
inline Record<220> EMAP;
// TEMP: while a bond table is held, word 1 the number of bonds (REAL;
// -1.0: still to be found from distances), then the pairs of atom numbers
// from word 2. Other commands use it as work space (up to word 9800).
inline Record<10000> TEMP;
namespace tempw {
constexpr int kBondCount = 1;  // REAL bonds in the table; -1.0 still to be found from distances
}  // namespace tempw
// The bond table in TEMP: the count, and atom e (1, 2) of bond k at word 2k + e - 1 (REAL).
inline float& bond_count() { return TEMP.R(tempw::kBondCount); }
inline float& bond_atom(int k, int e) { return TEMP.R(2 * k + e - 1); }
// CONST: the Fourier command's constants; word 5 the phase-set number of
// the current atom list, 7 its number of atoms, 9 the number of phase sets.
inline Record<40> CONST;

// Slot accessors of the peak list (slot 1..200).
inline float& atom_coord(int slot, int j) { return ATOMS.R(5 * slot - 5 + j); }  // j = 1..5
inline int& atom_label(int slot) { return ATOMS.I(1000 + slot); }
// The label of a slot as four characters (a species symbol before it is coded).
inline Word& atom_label_word(int slot) { return ATOMS.W(1000 + slot); }
// Fragment table: the count, then the type and the number of atoms of each
// fragment f = 1..10.
namespace atomsw {
constexpr int kFragments = 1201;      // fragments in the table
constexpr int kFragmentTypes = 1201;  // type of fragment f at 1201 + f
constexpr int kFragmentAtoms = 1211;  // atoms of fragment f at 1211 + f
constexpr int kFragmentTableEnd = 1221;
inline int& fragment_type(int f) { return ATOMS.I(kFragmentTypes + f); }
inline int& fragment_atoms(int f) { return ATOMS.I(kFragmentAtoms + f); }
}  // namespace atomsw
inline float& atom_b(int slot) { return EMAP.R(9 + slot); }

namespace emap {
constexpr int kDefaultB = 9, kInvScale = 211, kLastR = 212, kCycles = 215, kNextAction = 216;
}
namespace konst {
constexpr int kSetNumber = 5, kAtomCount = 7, kSetCount = 9;
}

// Slot accessors of the previous atom list (slot 1..200), laid out as the peak list.
inline float& old_atom_coord(int slot, int j) { return ATOMO.R(5 * slot - 5 + j); }  // j = 1..5
inline int& old_atom_label(int slot) { return ATOMO.I(1000 + slot); }
// Item k (1..2 x bonds) of the bond table, the pairs read as one run of atom numbers.
inline float& bond_atom(int k) { return TEMP.R(tempw::kBondCount + k); }

inline void reset_atom_records() {
    ATOMS.clear();
    ATOMO.clear();
    EMAP.clear();
    TEMP.clear();
    CONST.clear();
}

}  // namespace zanek
