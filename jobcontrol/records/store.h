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
inline Record<16> XDISC;     // pool state and transfer cursor
inline Record<6> XFILE;      // index constants and state
inline Record<242> XFILI;    // index header address/length and resident list-type table
inline Record<5000> DATA;    // the list image area
inline Record<7> XLIMI;      // (1) next free word of DATA, (2) capacity, (7) list area base
inline Record<160> XSAE;     // the store map
namespace xlimi {
constexpr int kNextFree = 1;  // next free word of DATA
constexpr int kCapacity = 2;  // words DATA holds
constexpr int kListBase = 7;  // first word of the list area
}  // namespace xlimi

// Sets the store records to their initial values (start of a run).
void reset_store_records();

}  // namespace zanek
