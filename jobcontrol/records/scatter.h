// The atomic species of the cell and their scattering factors: the table SF
// filled from list 3, the list-3 pointers LST03, and the state of the small
// card scanner that reads the scattering-factor file (XCARD, XCHAR).
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/word.h"

namespace zanek {

// SF: species t = 1..8 in the order of list 3 (the order of the file).
//   1-32   a1..a4 of species t in words 4(t-1)+1 .. 4t
//   33-64  b1..b4 in words 32+4(t-1)+1 .. 32+4t
//   65-72  c (word 64+t)
//   73-80  number of atoms of the species in the cell (INTEGER, word 72+t)
//   81-88  atomic number Z (INTEGER, word 80+t)
//   89     number of species; 90 atoms in the cell with Z >= 2
//   91-98  form factors at the current s (work words of the structure factors)
//   100-107 species symbols, two characters and two blanks (word 99+t)
inline Record<107> SF;

namespace sf {
constexpr int kMaxSpecies = 8;
inline float& a(int t, int k) { return SF.R(4 * (t - 1) + k); }
inline float& b(int t, int k) { return SF.R(32 + 4 * (t - 1) + k); }
inline float& c(int t) { return SF.R(64 + t); }
inline int32_t& count(int t) { return SF.I(72 + t); }
inline int32_t& z(int t) { return SF.I(80 + t); }
inline int32_t& species() { return SF.I(89); }       // word 89
inline int32_t& heavy_atoms() { return SF.I(90); }   // word 90
inline float& f_now(int t) { return SF.R(90 + t); }
inline Word& symbol(int t) { return SF.W(99 + t); }
}  // namespace sf

// A species symbol as the lists and SF keep it: its first two characters
// followed by blanks, four bytes in reading order ("c   ", "cl  ").
inline Word species_word(std::string_view s) {
    char b[4] = {' ', ' ', ' ', ' '};
    for (std::size_t i = 0; i < 2 && i < s.size(); ++i) b[i] = s[i];
    Word w;
    std::memcpy(&w, b, 4);
    return w;
}

// List 3: a 12-word header, then one 18-word record per species. Word
// numbers within a record (1-based); all values REAL.
namespace list3 {
constexpr int kType = 3;
constexpr int kHeaderLength = 12;
constexpr int kRecordLength = 18;
constexpr int kSymbol = 1;      // two characters packed into one word
constexpr int kCard4First = 2;  // f' (Mo K-alpha) in our form.dat
constexpr int kC = 3;
constexpr int kA1 = 4;          // a1 b1 a2 b2 a3 b3 in words 4-9
constexpr int kA4 = 10;         // a4 b4 in words 10-11
constexpr int kCard4Second = 12;
constexpr int kCount = 13;      // atoms of the species in the cell
constexpr int kZ = 14;
constexpr int kCard1Second = 15;  // atomic mass in our form.dat
constexpr int kRadius = 16;       // bonding radius (Angstrom)
constexpr int kCard4Third = 17;
constexpr int kCard1Fourth = 18;
}  // namespace list3

// LST03: (1) DATA index of the first record, (2) running record (the word
// after the last record once loaded), (3) record length, (4) number of
// species, (9) DATA index where the list was loaded.
inline Record<9> LST03;
namespace lst03 {
constexpr int kFirst = 1;          // DATA index of the first species record
constexpr int kNext = 2;           // running record
constexpr int kRecordLength = 3;   // words per species record
constexpr int kSpecies = 4;        // number of species
constexpr int kLoaded = 9;         // DATA index where the list was loaded
}  // namespace lst03

// XCARD: (1) characters packed into one word of a text field, (2-81) the
// card, one character and three blanks per word, (82) column pointer,
// (83) start column of the last field, (85) last column to scan.
inline Record<112> XCARD;
namespace xcard {
constexpr int kPack = 1, kCardStart = 2, kPointer = 82, kFieldStart = 83, kLastColumn = 85;
constexpr int kWidth = 80;
}  // namespace xcard

// XCHAR: the character classes of the scanner, one character and three
// blanks per word: ( ) blank , * # 0-9 + - .
inline Record<19> XCHAR;
namespace xchar {
constexpr int kOpen = 1, kClose = 2, kBlank = 3, kComma = 4, kStar = 5, kHash = 6, kDigit0 = 7,
              kPlus = 17, kMinus = 18, kPoint = 19;
}  // namespace xchar

// Sets SF, LST03, XCARD and XCHAR to their values at the start of a run.
void reset_scatter_records();

}  // namespace zanek
