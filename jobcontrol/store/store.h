// The structure file as a word-addressed store: the block buffer pool and
// the file index with its typed lists. All arguments by reference, as the
// callers throughout the program use them.
#pragma once

#include <cstdint>

#include "platform/word.h"

namespace zanek {

// --- Layout of the structure file (shared with the sibling program) -----
constexpr int kStoreBlockWords = 512;           // words of a store block (IMPL word 6)
constexpr int kIndexHeaderAddress = 1600;  // index header, 50 words
constexpr int kIndexHeaderLength = 50;
constexpr int kListTableAddress = 1650;        // list-type table, 40 rows of 6 words
constexpr int kListTableLength = 240;
constexpr int kListRowLength = 6;
constexpr int kMaxListType = 39;
constexpr int kFirstListAddress = 1890;    // where the first list of a new file goes
constexpr int kIndexMagic = 10000;         // index header word 8, table row 0 word 1
constexpr float kListMarker = 11111.0f;    // list header word 1

// --- Block buffer pool -------------------------------------------------
void XGIV(int base, int size, int& next);          // builds the pool in XBUFD
void XUP(int addr, const Word* array, int n);      // store words addr..addr+n-1
void XDWN(int addr, Word* array, int n);           // read words addr..addr+n-1
void XDUMP();                                      // write every dirty buffer
void XFNDB();                                      // make the current block resident
void XFTCH(int block, Word* buf, int n);           // read record block+1
void XSTOR(int block, const Word* buf, int n);     // write record block+1
int KWLNT(int n);                                  // n raised to whole blocks
// Empties every buffer without writing it: the file has been put back
// under the pool, and what the buffers hold belongs to the file as it was.
void forget_buffered_blocks();

// What the structure file (unit XDISU word 1) holds on disc: nothing at
// all, and the whole of store block b. A block missing from the file reads
// as zeros and is then written (free space of the store); these let the
// caller tell free space from words the file has lost.
bool store_file_empty();
bool store_block_in_file(int block);

// --- File index and lists ----------------------------------------------
void SETFI();                                      // new empty index, loaded
void SLDF();                                       // load the index; stop 1111 when corrupt
// Every list the loaded index names must lie whole in the file: a file cut
// short at a record boundary would otherwise read its lost lists as zero
// blocks. Stops with 1111 (" requested list tt has been corrupted").
void check_lists_in_file();
// Writes out every word the lists of the index register, the spare words
// a list reserves and never writes included (as zero blocks): a later run
// checks that each list lies whole in the file. The caller flushes.
void write_registered_space();
// A blank line and " the file index has been corrupted".
void index_corrupted_message();
// The absence message of a list that is not stored (three blank lines,
// " no list of type tt  stored", a blank line).
void list_absent_message(int type);
bool JSLDF(int dummy = 0);                         // load the index; true when corrupt
void SWLIN(int type, int serial, int first, int last, int part, int length);
void SRLIN(int type, int& serial, int& first, int& last, int& part, int& length);
void SOWL(int n, int type, int& serial, int& first, int& last, int& part, int& length);
void SFRML(int type, int n);                       // store the image at DATA(XLIMI(1))
void SRDLS(int type, int& serial, int i1, int& n); // read list into DATA(i1...)
void CANCELLA(int type);                           // delete a list
void XSAC(int type, int serial, int i1, int i2);   // store map entry, overflow check
void XPAS();                                       // print the store map
void SNXTF(int n);
void XNXTF(int& n);
void XLC();
void SLDL(int type, int& serial, int& i1, int& i2);
void XCLN(int type);
void XCSAE();

// Takes n words of new space at the next free address of the store (index
// header word 1 += n, flushed) and returns the first address. Writers of
// streamed lists that take space themselves use this, so that the next
// free address is checked as SOWL checks it. Stops with 1111 (" the file
// index has been corrupted") when the stored next free address is not
// sound.
int take_store_space(int n);

// Word j (1..6) of row t (0..39) of the resident list-type table
// (XFILI word 2+6t+j).
int32_t& table_word(int t, int j);
// The words of a row: the list type (0 when the list is absent), its
// serial, its first and last store address, the part and the whole length.
namespace list_row {
constexpr int kPresent = 1, kSerial = 2, kFirst = 3, kLast = 4, kPart = 5, kLength = 6;
}

}  // namespace zanek
