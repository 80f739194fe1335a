// Space group from its Hermann-Mauguin symbol: the symbol is condensed and
// checked, its point group recognised from the orders of the axes in the
// three symbol positions, the operations taken from a fixed table, and the
// translations built from the glide letters and screw digits and closed
// over the group in units of 1/24. The results go into SYM and ERL.
#pragma once

#include <string>
#include <string_view>

namespace zanek {

// Result of the analysis of one symbol, before it is stored.
struct SymbolAnalysis {
    char letter = 'p';      // lattice letter p a b c f i r
    int L = 1;              // lattice letter index: p 1, a 2, b 3, c 4, f 5, i 6, r 7
    int K = 2;              // crystal system code 1..6
    int pg = 0;             // point-group number 1..45
    int acentric = 0;       // 1 for point groups 1-31
    int ng = 0;             // operations of the rotation block
    int N = 0;              // operations of the point group (2ng when centrosymmetric)
    int R[49][3][3] = {};   // R[k] (k = 1..N), rows and columns 0-based
    int t[49][3] = {};      // translations in 1/24, 0..23
    int P[49][49] = {};     // product table: R[P[i][j]] = R[i]R[j]
    int ngen = 0;           // generators named for the point group
    int symcode = 0;        // symbol code matched against the origin table
    int cls = 1;            // seminvariant class 1..18
    int shift[3] = {};      // origin shift applied (1/24)
};

// Reasons why a symbol does not describe a space group.
enum class SymbolFault {
    none,
    grid,          // more than three parts or four characters in a part
    point_group,   // the axis orders name no point group of the table
    glide,         // a plane letter that cannot stand in its position
    not_closed,    // the rotations do not form a group
    translations,  // the translations are not those of a space group
    lattice,       // the centring is not compatible with the rotations
};

// Analyses the condensed 16-character symbol (lower case). shiftflag 1:
// the given origin shift (1/24) replaces the one of the glide letters.
SymbolFault analyse_symbol(std::string_view sym, int shiftflag, const int shift[3], SymbolAnalysis& out);

// Condenses the symbol typed in STR(1:len) into STR(1:16) (one blank
// between parts) and checks the grammar of the condensed text; n, the
// typed length, is not needed for that. The symbol must also close to a
// group. ierr 0 accepted, -1 refused.
void ONEBL(std::string& str, int len, int n, int& ierr);

// Analyses the symbol in ERL words 577-592, fills SYM and ERL, prints the
// group. ierr -1 (nothing stored) when the symbol is no space group.
void INSYM(int shiftflag, const int shift[3], int& ierr);
// The analysis proper with its listing and stores; called by INSYM.
void SYMM(int lu, int shiftflag, const int shift[3], int& ierr);
// Origin phase count and seminvariant moduli (ERL words 2917-2923).
void CALMOD(int number, int L, int A, const int vtab[3][3], int cls);
// Appends the inverted operators: R(n+k) := -R(k), T(n+k) := -T(k).
void NEWMAT();
// Stores N operations R, T (ERL layout) as the compact symmetry of SYM.
void MODIF(const int* R, const float* T, int N, int A, int letter);

// The symbol in ERL words 577-592 (one character per word).
std::string symbol_from_erl();
void store_symbol_in_erl(std::string_view sym16);

// Text of an operation row for the listing (8 characters).
std::string operation_row_text(const int row[3], int t24);

}  // namespace zanek
