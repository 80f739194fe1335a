// List 3, the atomic species of the cell with their scattering factors, and
// the scattering-factor file "crysdir:form.dat" it is formed from.
//
// The file: line 1 the release ("92.11" in its first five columns), line 2
// the number of cards per entry, then one entry of (at least 4) cards per
// species. Every card starts with the species' symbol; card 1 carries Z and
// up to three more numbers, card 2 a1 b1 a2 b2 a3 b3, card 3 a4 b4 c, card 4
// three numbers; further cards are not read.
#pragma once

#include "jobcontrol/records/scatter.h"
#include "platform/word.h"

namespace zanek {

// The release that the first five columns of the scattering-factor file
// must carry.
inline constexpr const char* kFormRelease = "92.11";

// --- List 3 --------------------------------------------------------------

// Forms list 3 from the scattering-factor file for the species of the cell
// contents (SF words 73-80, 89, 100-107, as the content directive set them)
// and stores it. ierr := -1 after every reported failure, else unchanged.
void YFRM03(int& ierr);

// Loads list 3 into DATA from the list area base and fills SF and LST03.
// No presence test: callers test with SRLIN where list 3 may be absent.
void YFL03();

// Writes the release complaint (a blank line, the message, a blank line).
void form_release_message();

// --- Card scanner ---------------------------------------------------------
// All routines work on the card in XCARD from its column pointer.

// Reads the next line of UNIT into the card; 0, or -1 at the end of the
// file or after a read error (which is reported).
int JRCRD(int unit);

// Reads one wanted entry, whose first card is the current card, into the
// record at DATA(pos) and advances pos by reclen. count goes to word 13;
// cards is the number of cards per entry (the cards after card 4 are passed
// over); flag 1 reads card 4. Returns 0; 1 when the file ends inside the
// entry; -1 when a card is malformed or does not repeat the symbol.
int JST03(int& pos, int reclen, float count, int cards, int flag, int unit);

// Skips the characters of SET, takes the field up to the next one (or the
// last column), packs it into OUT (at most 40 words), n := its length.
// Returns 0, or -1 when only separators are left.
int JRCX(Word* out, int& n, const Word* set, int nset);
// JRCX with blank and comma as the separators.
int JRCA(Word* out, int& n);
// Skips ( ) blanks and commas and reads a signed integer; digits after a
// decimal point are skipped. i := the value, which is also returned.
int JREDI(int& i);
// One number at the pointer: 0; 1 when the first character is no part of a
// number; -1 when the field goes on with something else than a digit.
int KINPT(float& v);
// n numbers, each after blanks and commas: 0; -1 when the card ends first;
// 1 when a field is not a number.
int KREDF(float* v, int n);
// Up to n numbers (v cleared first): 0 all read; 1 the card ended first;
// -1 a field is not a number.
int JREDF(float* v, int n);
// Number (1..n) of the first table entry (entry i at word 1+(i-1)*stride)
// whose first nw words equal key, or -1.
int KCOMP(int nw, const Word* key, const Word* table, int n, int stride);
// Copies n words.
void TRASF(Word* dest, const Word* src, int n);
// First column from start to the last whose character is not / is in SET;
// -1 when there is none.
int KNE(int start, const Word* set, int nset);
int KEQ(int start, const Word* set, int nset);
// Packs n one-character words, XCARD(1) characters to a word.
void SCOMP(Word* out, const Word* in, int n);

// A character as the scanner holds it: the character and three blanks.
Word char_word(char c);

}  // namespace zanek
