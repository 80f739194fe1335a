// Shared records of the structure-file store: the buffer pool, the file
// index, the list image area and the store map.
#pragma once

#include "platform/word.h"

namespace zanek {

inline Record<1> XDISU;      // (1) unit of the structure file
namespace xdisu {
constexpr int kUnit = 1;  // unit of the structure file
}  // namespace xdisu
inline Record<1600> XBUFD;   // the block buffer pool
// Words of a buffer of the pool, from its first word p: p the back link,
// then the words below, then the block from p + 4. The pool's head word
// p0 + 1 starts the recency chain as a buffer's next link does.
namespace xbufd {
constexpr int kNextLink = 1;   // next buffer of the recency chain (-10000 the end)
constexpr int kBlockHeld = 2;  // store block held (-10000 empty)
constexpr int kDirtyFlag = 3;  // -1 changed since read, 0 clean
constexpr int kFirstWord = 4;  // the block held starts at p + kFirstWord
}  // namespace xbufd
inline Record<16> XDISC;     // pool state and transfer cursor
inline Record<6> XFILE;      // index constants and state
inline Record<242> XFILI;    // index header address/length and resident list-type table
inline Record<5000> DATA;    // the list image area
inline Record<7> XLIMI;      // (1) next free word of DATA, (2) capacity, (7) list area base
inline Record<160> XSAE;     // the store map
namespace xlimi {
constexpr int kNextFree = 1;  // next free word of DATA
constexpr int kCapacity = 2;  // words DATA holds
constexpr int kUnused = 3;    // 5000, kept from the capacity
constexpr int kListBase = 7;  // first word of the list area
}  // namespace xlimi

// XDISC: state of the buffer pool and of the transfer in progress.
namespace disc {
constexpr int kState = 1;       // -1 no pool, 1 ready
constexpr int kMaxBuffers = 2;  // at most 15 buffers
constexpr int kHead = 3;        // pool index of the most recently used buffer
constexpr int kAddress = 4;     // store address of the transfer in progress
constexpr int kLeft = 5;        // words still to transfer
constexpr int kArrayPos = 6;    // next position in the caller's array
constexpr int kBlockLen = 7, kBlockLen2 = 8;  // block length, both copies
constexpr int kBuffer = 9;      // buffer of the current segment
constexpr int kSegFirst = 10, kSegLast = 11;  // pool indices of the current segment
constexpr int kBufLast = 12;    // last data index of the current buffer
constexpr int kCursor = 13;     // copy cursor
constexpr int kOffset = 14;     // offset of the current address in its block
constexpr int kNoPool = -1, kReady = 1;
}  // namespace disc

// XFILE: the index constants and whether the index is resident.
namespace xfile {
constexpr int kIndexMagic = 1;   // 10000
constexpr int kUnused = 2;       // 11000
constexpr int kListMarker = 3;   // 11111
constexpr int kTableLength = 4;  // 240 words of the list-type table
constexpr int kRowLength = 5;    // 6 words a row
constexpr int kIndexState = 6;   // kNotLoaded or kLoaded
constexpr int kNotLoaded = -1, kLoaded = 1;
}  // namespace xfile

// XFILI: where the index header lies, then the resident list-type table
// (row t word j at kTable - 1 + 6t + j); while the index is loaded, words
// kTable.. hold the index header for a moment.
namespace xfili {
constexpr int kHeaderAddress = 1;  // 1600
constexpr int kHeaderLength = 2;   // 50
constexpr int kTable = 3;
constexpr int kHeaderMagic = kTable - 1 + 8;  // header word 8 while the header is held
}  // namespace xfili

// XSAE: the store map, one entry of four words per list type loaded.
namespace xsae {
constexpr int kCount = 1;
// Word j of entry k: the list type, its serial, its first and last DATA index.
constexpr int kType = 1, kSerial = 2, kFirst = 3, kLast = 4;
inline int32_t& entry(int k, int j) { return XSAE.I(4 * k - 3 + j); }
}  // namespace xsae

// Sets the store records to their initial values (start of a run).
void reset_store_records();

}  // namespace zanek
