// Helpers shared by the list formers and loaders: the list header, and
// guards. Every length or count that comes from the structure file and
// decides how many words are read, or where they go, is checked before it
// is used: a list that does not fit the array it fills is a corrupted list.
#pragma once

#include "platform/word.h"

namespace zanek {

// The five header words every list starts with (11111.0, type, serial 1,
// 0.0, -1.0) at DATA(h0).
void put_list_header(int h0, int type);

// INTEGER(x) of a REAL word, truncated; a word with no INTEGER value
// (not finite, or beyond the INTEGER range) gives the most negative
// INTEGER, which every count check refuses.
int trunc_word(const Word& w);

// "requested list tt has been corrupted", then stop 1111.
[[noreturn]] void list_corrupted(int type);

// A list the running command needs is not stored: the absence message
// (" no list of type tt  stored"), then the command fails (CommandFailed).
[[noreturn]] void list_missing(int type);

// " ****  programming  error  **** ", then stop 1234: a caller asked for
// something that would write outside a list or an array.
[[noreturn]] void list_programming_error();

// True when words i1..i1+n-1 lie inside the list image area DATA.
bool fits_data(int i1, int n);

// The words a whole-list read of TYPE brings in (the part length when it is
// set, else the length) must fit in DATA from i1 on and number exactly
// WORDS (when WORDS > 0) or at least -WORDS (when WORDS < 0); otherwise the
// list is corrupted. An absent list passes (its read stops in the store).
void check_list_read(int type, int i1, int words);

}  // namespace zanek
