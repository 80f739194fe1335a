// Pointer and cursor records of the cell, symmetry and reflection lists.
// They say where a loaded list lies in DATA and, for the streamed lists,
// where the next record is read or written in the structure file.
#pragma once

#include "platform/word.h"

namespace zanek {

// LST01 (list 1, the cell): 1-6 DATA indices of list words 6, 13, 20, 29,
// 38, 47 (cell, reciprocal cell, G, G*, the two coordinate matrices);
// 7-9 DATA indices of the derived words (exponent factors, reciprocal
// cosines, s^2 coefficients).
inline Record<9> LST01;

// LST02 (list 2, the symmetry): 1 centric flag + 1; 2 stored lattice code;
// 3 REAL lattice points x (centric flag + 1); 4 crystal system; 6 DATA index
// of the first operator record; 7 and 22 DATA index of the product table;
// 8 operator record length 12; 9 and 17 nsym; 10 and 11 DATA index of the
// group tables (symbol onward); 14 the index after the list; 16 the
// constant 10; 20 the constant 3; 21 lattice points.
inline Record<22> LST02;

// LST07 (list 7 cursor): 1 write address; 3 read address; 4 first store
// address of the list; 6 DATA index of the staging record; 7 record length
// 6; 8 words reserved after the staging record, 7; 9 and 10 record count;
// 11 part length 30; 12 store address just past the last record;
// 13 REAL key of the record last read; 15 DATA index of the header image; 16-18 radices 2097152, 16384, 128.
inline Record<18> LST07;

// LST06 (list 6 cursor): 1 stream state (1 open, 0 closed or refused);
// 2 store address of the first record; 3 read address; 4 first store
// address of the list; 5 records read so far; 6 DATA index of the staging
// record; 7 record length; 8 reserved words after the staging record;
// 9 and 10 record count; 11 part length; 12 last store address of the
// list's space; 15 DATA index of the header image; 16-18 radices.
inline Record<18> LST06;

// XMATE: words 10-13 the strides of the strided matrix product.
inline Record<13> XMATE;
namespace xmate {
constexpr int kStrides = 10;  // 10-13 the strides of the strided matrix product
}  // namespace xmate

// Word numbers of LST01 and LST02 (INTEGER unless marked REAL).
namespace lst01 {
constexpr int kMetric = 3;          // DATA index of the direct metric tensor G (9 REAL words)
constexpr int kRecipMetric = 4;     // DATA index of the reciprocal metric tensor G*
constexpr int kExponents = 7;       // DATA index of the exponent factors
constexpr int kRecipCosines = 8;    // DATA index of the reciprocal cosines
constexpr int kS2Coefficients = 9;  // DATA index of the s^2 coefficients
}  // namespace lst01
namespace lst02 {
constexpr int kCentricPlusOne = 1;  // centric flag + 1
constexpr int kSystem = 4;          // crystal system
constexpr int kProducts = 7;        // DATA index of the product table (copied at 22)
constexpr int kOpWords = 8;         // operator record length
constexpr int kGroupTables = 10;    // DATA index of the group tables (copied at 11)
constexpr int kGroupTablesCopy = 11;
constexpr int kAfterList = 14;      // DATA index just past the list
constexpr int kTen = 16;            // the constant 10
constexpr int kNsymCopy = 17;       // operators stored, a second copy
constexpr int kProductsCopy = 22;
constexpr int kStoredLattice = 2;   // stored lattice code 1 P, 2 I, 3 R, 4 F, 5 A, 6 B, 7 C
constexpr int kPointsTimesCentric = 3;  // REAL lattice points x (centric flag + 1)
constexpr int kOperators = 6;       // DATA index of the first operator record
constexpr int kNsym = 9;            // operators stored
constexpr int kThree = 20;          // the constant 3
constexpr int kLatticePoints = 21;
}  // namespace lst02

inline void reset_list_pointers() {
    LST01.clear();
    LST02.clear();
    LST07.clear();
    LST06.clear();
    XMATE.clear();
}

}  // namespace zanek
