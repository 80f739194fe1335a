// The reflection lists: list 7 (this program's reflections, streamed record
// by record), list 6 (the sibling program's reflections, read only) and
// list 19 (the pseudo-translation description).
#pragma once

#include <cstdint>

#include "platform/word.h"

namespace zanek {

namespace list7 {
constexpr int kType = 7;
constexpr int kHeaderLength = 30;
constexpr int kRecordLength = 6;
constexpr int kReserved = 7;          // DATA words kept after the staging record
constexpr int kDefaultSeed = 67543;   // random seed of phasing after %data
constexpr int kUpdateSigmaWords = -1; // SPB07 argument: rewrite header words 27-28
constexpr int kMaxIndex = 63;         // largest |h|, |k|, |l|: each is packed as index + 64 in 7 bits
// Header words read in more than one place.
constexpr int kCount = 8, kPseudo = 25, kSeed = 26, kWeakLimit = 27, kSigmaFlag = 28;
// Words of the space a list of n records takes.
constexpr int64_t space(int64_t n) { return kRecordLength * n + kHeaderLength + kRecordLength; }
}  // namespace list7

namespace list6 {
constexpr int kType = 6;
constexpr int kMaxRecordLength = 12;  // the words KKLDNR can hand back
constexpr int kMinRecordLength = 5;   // index word and four values
constexpr int kEndMark = 11111;       // word 1 of the end record (INTEGER)
}  // namespace list6

namespace list19 {
constexpr int kType = 19;
constexpr int kLength = 20;
}  // namespace list19

// Compact index word of group g: (g+1)*2^21 + (h+64)*2^14 + (k+64)*2^7 + (l+64).
constexpr int32_t compact_index(int h, int k, int l, int g = 0) {
    return (g + 1) * 2097152 + (h + 64) * 16384 + (k + 64) * 128 + (l + 64);
}
// Its inverse, with truncating division.
void decode_compact_index(int32_t word, int& h, int& k, int& l, int& g);

// Packs two values to 0.001 into the REAL word 4 of a list-7 record; the
// sum is held in single precision (exact below 2^24).
float pack_pair(float a, float b);

// --- List 7 ---------------------------------------------------------------
// Starts a new list 7 of N records: writes its 30-word header and row.
// A seed of -1 is never stored (it is SPB07's "update words 27-28"): the
// default seed takes its place.
void YSFP07(int n, int ipseudo, int x);
// Appends one 6-word record at the write cursor.
void XSLW07(const Word* rec);
// Opens list 7: header into UREQ, C, RC, SYM and the results; both cursors
// at the first record.
void YSFL07(int& n, int& nref, int& nzro, int& ipseudo, int& x);
// Reads the next record: OUT(1..3) h, k, l; 4 word 2; 5 Fo; 6, 7 the packed
// pair; 8 the phase word (INTEGER); 9 sigma.
void SNR07(Word* out);
// X = -1: header words 27-28 := UREQ words 8 and 4; otherwise word 26 := X.
void SPB07(int x);

// --- List 6 ---------------------------------------------------------------
// MODE 0 opens list 6 (N its record count, UREQ 1-3 set); another MODE
// moves the read cursor back to the first record. Returns 0, or -1 when the
// list's records are longer than 12 words (message printed; the stream then
// reads no record).
int YFL06(int mode, int& n);
// Next record: REC(1..3) h, k, l, REC(4..7) record words 2-5, REC(8..12)
// 0, GROUP its group. Returns -1 at the end record, after the header's
// record count, at the end of the list's space, or on a refused stream.
int KKLDNR(Word* rec, int& group);
// Next record of group 0; -1 at the end.
int KKFNR(Word* rec);

// --- List 19 --------------------------------------------------------------
void FRM19(const int ic[12], float slope, float aint);
// Loads list 19 when present; otherwise leaves the arguments unchanged.
void SFL19(int ic[12], float& slope, float& aint);

}  // namespace zanek
