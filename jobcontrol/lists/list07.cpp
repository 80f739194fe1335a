// Lists 7, 6 and 19. List 7 is far larger than the list image area, so
// only its header and one staging record live in DATA; records pass
// through the block buffer pool in store order.
#include "jobcontrol/lists/list07.h"

#include <algorithm>
#include <cmath>

#include "jobcontrol/lists/listutil.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/listptr.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/store.h"
#include "platform/listing.h"

namespace zanek {

namespace {

constexpr int kRadixGroup = 2097152, kRadixH = 16384, kRadixK = 128;

// sigma3/sigma2^1.5 of one atom in an F-centred cell: the largest value
// header words 22-23 can hold.
constexpr float kMaxPrimitiveRatio = 2.0f;

// Words 16-18 of the list 7 and list 6 cursors: the radices of the packed indices.
constexpr int kRadixGroupWord = 16, kRadixHWord = 17, kRadixKWord = 18;

void set_radices(Record<18>& cursor) {
    cursor.I(kRadixGroupWord) = kRadixGroup;
    cursor.I(kRadixHWord) = kRadixH;
    cursor.I(kRadixKWord) = kRadixK;
}

// LST07 words.
namespace c7 {
constexpr int kWrite = 1, kRead = 3, kFirst = 4, kStaging = 6, kRecLen = 7, kReserved = 8, kCount = 9,
              kCount2 = 10, kPart = 11, kEnd = 12, kLastKey = 13, kHeader = 15;
}
// LST06 words.
namespace c6 {
constexpr int kState = 1, kFirstRecord = 2, kRead = 3, kFirst = 4, kDone = 5, kStaging = 6, kRecLen = 7,
              kReserved = 8, kCount = 9, kCount2 = 10, kPart = 11, kLast = 12, kHeader = 15;
}

// Reads the 30-word header of list 7 into DATA(h0); returns the row's
// first address. The part length must be the header length, and the
// record count must fit the list's space.
int read_list7_header(int h0, int& serial, int& length) {
    int first = -1, last = 0, part = 0;
    SRLIN(list7::kType, serial, first, last, part, length);
    if (first > 0 && part != list7::kHeaderLength) list_corrupted(list7::kType);
    int n = 0;
    SRDLS(list7::kType, serial, h0, n);
    return first;
}

}  // namespace

void decode_compact_index(int32_t word, int& h, int& k, int& l, int& g) {
    const int32_t q = word / kRadixGroup;
    const int32_t r = word % kRadixGroup;
    g = q - 1;
    h = r / kRadixH - 64;
    k = (r % kRadixH) / kRadixK - 64;
    l = r % kRadixK - 64;
}

float pack_pair(float a, float b) {
    const int ia = static_cast<int>(std::min(1000.0f * a, 32767.0f));
    const int ib = static_cast<int>(std::min(1000.0f * b, 32767.0f));
    return static_cast<float>(ia * 32768 + ib);
}

// --- List 7 ---------------------------------------------------------------

void YSFP07(int n, int ipseudo, int x) {
    if (n < 0) list_programming_error();
    const int h0 = XLIMI.I(xlimi::kListBase);
    XLIMI.I(xlimi::kNextFree) = h0;
    if (!fits_data(h0, list7::kHeaderLength + list7::kRecordLength + list7::kReserved)) list_programming_error();
    put_list_header(h0, list7::kType);
    auto real = [&](int word, double v) { DATA.R(h0 + word - 1) = static_cast<float>(v); };
    auto bits = [&](int word, const Word& w) { DATA.W(h0 + word - 1) = w; };
    for (int w = 6; w <= list7::kHeaderLength; ++w) real(w, 0.0);
    real(6, list7::kReserved);
    real(7, list7::kRecordLength);
    real(list7::kCount, n);
    real(10, list7::kHeaderLength);
    for (int i = 1; i <= 3; ++i) real(10 + i, UREQ.I(i));
    real(16, UREQ.I(ureqw::kPartial));
    real(17, UREQ.I(ureqw::kKnown));
    bits(18, C.W(cw::kB));
    bits(19, C.W(cw::kScale));
    real(20, RC.I(rcw::kNref));
    real(21, RC.I(rcw::kNzro));
    bits(22, SYM.W(symw::kSigma3));
    bits(23, SYM.W(symw::kSigma3Prim));
    real(24, UREQ.I(ureqw::kKept));
    real(list7::kPseudo, ipseudo);
    // -1 in the seed word would read as "update words 27-28" to SPB07's
    // callers that pass the seed back; such a seed is replaced.
    DATA.I(h0 + list7::kSeed - 1) = x == list7::kUpdateSigmaWords ? list7::kDefaultSeed : x;
    bits(list7::kWeakLimit, UREQ.W(ureqw::kWeakLimit));
    bits(list7::kSigmaFlag, UREQ.W(ureqw::kSigma));

    LST07.I(c7::kHeader) = h0;
    set_radices(LST07);
    LST07.I(c7::kRecLen) = list7::kRecordLength;
    LST07.I(c7::kReserved) = list7::kReserved;
    LST07.I(c7::kPart) = list7::kHeaderLength;
    RC.I(rcw::kReflections) = n;

    const int64_t space64 = list7::space(n);
    if (space64 > 2000000000) list_programming_error();
    const int space = static_cast<int>(space64);
    int serial = 0, first = -1, last = 0, part = 0, length = 0;
    SRLIN(list7::kType, serial, first, last, part, length);
    if (!(first > 0 && length >= space)) {
        first = take_store_space(space);
        serial = 0;
    }
    serial += 1;
    DATA.R(h0 + 2) = static_cast<float>(serial);
    XUP(first, DATA.at(h0), list7::kHeaderLength);
    SWLIN(list7::kType, serial, first, first + space - 1, list7::kHeaderLength, space);
    XDUMP();
}

void YSFL07(int& n, int& nref, int& nzro, int& ipseudo, int& x) {
    const int h0 = XLIMI.I(xlimi::kListBase);
    XLIMI.I(xlimi::kNextFree) = h0;
    set_radices(LST07);
    int serial = 0, length = 0;
    const int first = read_list7_header(h0, serial, length);
    LST07.I(c7::kFirst) = first;
    LST07.I(c7::kPart) = list7::kHeaderLength;
    LST07.I(c7::kHeader) = h0;

    auto w = [&](int word) -> Word& { return DATA.W(h0 + word - 1); };
    const int count = trunc_word(w(list7::kCount));
    // The count decides how many records the callers read: they must all
    // lie in the list's space.
    if (count < 0 || list7::kHeaderLength + int64_t{list7::kRecordLength} * count > length)
        list_corrupted(list7::kType);
    LST07.I(c7::kReserved) = trunc_word(w(6));
    LST07.I(c7::kRecLen) = trunc_word(w(7));
    LST07.I(c7::kCount) = count;
    LST07.I(c7::kCount2) = count;
    n = count;
    RC.I(rcw::kReflections) = count;
    for (int i = 1; i <= 3; ++i) UREQ.I(i) = trunc_word(w(10 + i));
    // The largest indices size the super-index tables of every later
    // command; %data keeps them within what a record can hold.
    for (int i = 1; i <= 3; ++i)
        if (UREQ.I(i) < 0 || UREQ.I(i) > list7::kMaxIndex) list_corrupted(list7::kType);
    UREQ.I(ureqw::kPartial) = trunc_word(w(16));
    UREQ.I(ureqw::kKnown) = trunc_word(w(17));
    C.W(cw::kB) = w(18);
    C.W(cw::kScale) = w(19);
    RC.I(rcw::kNref) = trunc_word(w(20));
    nref = RC.I(rcw::kNref);
    RC.I(rcw::kNzro) = trunc_word(w(21));
    nzro = RC.I(rcw::kNzro);
    // Words 22-23 hold sigma3/sigma2^1.5 of the content, at most 1 (a
    // single atom), taken to the primitive cell by the square root of the
    // lattice points (at most 4): the commands divide by it and size their
    // atom counts with it, so a value outside 0..2 is a damaged list.
    for (int word : {22, 23})
        if (!(w(word).r >= 0.0f && w(word).r <= kMaxPrimitiveRatio)) list_corrupted(list7::kType);
    SYM.W(symw::kSigma3) = w(22);
    SYM.W(symw::kSigma3Prim) = w(23);
    UREQ.I(ureqw::kKept) = trunc_word(w(24));
    ipseudo = trunc_word(w(list7::kPseudo));
    x = w(list7::kSeed).i;
    UREQ.W(ureqw::kWeakLimit) = w(list7::kWeakLimit);
    UREQ.W(ureqw::kSigma) = w(list7::kSigmaFlag);

    const int records = first + list7::kHeaderLength;
    LST07.I(c7::kRead) = records;
    LST07.I(c7::kWrite) = records;
    LST07.I(c7::kEnd) = records + list7::kRecordLength * count;
    LST07.I(c7::kStaging) = h0 + list7::kHeaderLength;
    XLIMI.I(xlimi::kNextFree) = h0 + list7::kHeaderLength + list7::kRecordLength + list7::kReserved;
}

void SNR07(Word* out) {
    const int addr = LST07.I(c7::kRead);
    // Reading past the last record would read other lists, or beyond the
    // end of the file (which extends it).
    if (addr < LST07.I(c7::kFirst) + list7::kHeaderLength || addr + list7::kRecordLength > LST07.I(c7::kEnd))
        list_programming_error();
    const int s = LST07.I(c7::kStaging);
    XDWN(addr, DATA.at(s), list7::kRecordLength);
    // The key or E, Fo, the packed pair and sigma are numbers in every
    // record a writer stores; a word that is not (a damaged list) would
    // carry NaN into every sum of the commands and overflow their tables.
    for (int w : {1, 2, 3, 5})
        if (!std::isfinite(DATA.R(s + w))) list_corrupted(list7::kType);
    // Every writer stores the records by decreasing key (the input order
    // before %normal, E after it): a key above the one before it is a
    // damaged record, whose E would be taken as the strongest of all.
    const float key = DATA.R(s + 1);
    if (addr > LST07.I(c7::kFirst) + list7::kHeaderLength && key > LST07.R(c7::kLastKey))
        list_corrupted(list7::kType);
    LST07.R(c7::kLastKey) = key;
    LST07.I(c7::kRead) = addr + list7::kRecordLength;

    const int32_t word = DATA.I(s);
    const int32_t r = word % LST07.I(kRadixGroupWord);
    out[0].i = r / LST07.I(kRadixHWord) - 64;
    out[1].i = (r % LST07.I(kRadixHWord)) / LST07.I(kRadixKWord) - 64;
    out[2].i = r % LST07.I(kRadixKWord) - 64;
    out[3] = DATA.W(s + 1);
    out[4] = DATA.W(s + 2);
    // Word 4 holds two values to 0.001 packed as a*32768 + b in a REAL.
    const float packed = DATA.R(s + 3);
    out[5].r = std::trunc(packed / 32768.0f) * 0.001f;
    out[6].r = std::fmod(packed, 32768.0f) * 0.001f;
    out[7] = DATA.W(s + 4);
    out[8] = DATA.W(s + 5);
}

void XSLW07(const Word* rec) {
    const int addr = LST07.I(c7::kWrite);
    // A record past the count would overwrite whatever follows the list.
    if (addr < LST07.I(c7::kFirst) + list7::kHeaderLength || addr + list7::kRecordLength > LST07.I(c7::kEnd))
        list_programming_error();
    const int s = LST07.I(c7::kStaging);
    copy_words(DATA.at(s), rec, list7::kRecordLength);
    XUP(addr, DATA.at(s), list7::kRecordLength);
    LST07.I(c7::kWrite) = addr + list7::kRecordLength;
}

void SPB07(int x) {
    const int h0 = XLIMI.I(xlimi::kListBase);
    XLIMI.I(xlimi::kNextFree) = h0;
    int serial = 0, length = 0;
    const int first = read_list7_header(h0, serial, length);
    if (x == list7::kUpdateSigmaWords) {
        DATA.W(h0 + list7::kWeakLimit - 1) = UREQ.W(ureqw::kWeakLimit);
        DATA.W(h0 + list7::kSigmaFlag - 1) = UREQ.W(ureqw::kSigma);
    } else {
        DATA.I(h0 + list7::kSeed - 1) = x;
    }
    XUP(first, DATA.at(h0), list7::kHeaderLength);
    XDUMP();
}

// --- List 6 ---------------------------------------------------------------

int YFL06(int mode, int& n) {
    if (mode != 0) {
        LST06.I(c6::kRead) = LST06.I(c6::kFirstRecord);
        LST06.I(c6::kDone) = 0;
        return LST06.I(c6::kState) == 1 ? 0 : -1;
    }
    LST06.I(c6::kState) = 0;
    const int h0 = XLIMI.I(xlimi::kListBase);
    XLIMI.I(xlimi::kNextFree) = h0;
    set_radices(LST06);
    int serial = 0, first = -1, last = 0, part = 0, length = 0;
    SRLIN(list6::kType, serial, first, last, part, length);
    // The header must carry at least words 1-13 and fit in DATA.
    if (first > 0 && (part < 13 || !fits_data(h0, part))) list_corrupted(list6::kType);
    int got = 0;
    SRDLS(list6::kType, serial, h0, got);
    LST06.I(c6::kFirst) = first;
    LST06.I(c6::kPart) = part;
    LST06.I(c6::kLast) = last;
    LST06.I(c6::kHeader) = h0;

    auto w = [&](int word) { return trunc_word(DATA.W(h0 + word - 1)); };
    const int reserved = w(6), reclen = w(7), count = w(8);
    const int staging = h0 + part;
    if (count < 0 || reserved < 0 || !fits_data(staging, list6::kMaxRecordLength + reserved))
        list_corrupted(list6::kType);
    LST06.I(c6::kReserved) = reserved;
    LST06.I(c6::kRecLen) = reclen;
    LST06.I(c6::kCount) = count;
    LST06.I(c6::kCount2) = count;
    n = count;
    for (int i = 1; i <= 3; ++i) UREQ.I(i) = w(10 + i);
    LST06.I(c6::kStaging) = staging;
    LST06.I(c6::kFirstRecord) = first + part;
    LST06.I(c6::kRead) = first + part;
    LST06.I(c6::kDone) = 0;
    XLIMI.I(xlimi::kNextFree) = staging + std::max(reclen, 0) + reserved;

    // A record longer than the staging record the callers receive cannot
    // be read; the stream then yields no record.
    if (reclen < list6::kMinRecordLength || reclen > list6::kMaxRecordLength) {
        lst_blank(1);
        lst("(' *** error *** list',i5,' has records of',i6,' words: 5 to 12 can be read')",
            {list6::kType, reclen});
        return -1;
    }
    LST06.I(c6::kState) = 1;
    return 0;
}

int KKLDNR(Word* rec, int& group) {
    if (LST06.I(c6::kState) != 1) return -1;
    const int reclen = LST06.I(c6::kRecLen);
    const int addr = LST06.I(c6::kRead);
    // The header's count ends the list even without an end record, and no
    // record is read beyond the list's space.
    if (LST06.I(c6::kDone) >= LST06.I(c6::kCount)) return -1;
    if (int64_t{addr} + reclen - 1 > LST06.I(c6::kLast)) return -1;
    const int s = LST06.I(c6::kStaging);
    XDWN(addr, DATA.at(s), reclen);
    const int32_t word = DATA.I(s);
    if (word == list6::kEndMark) return -1;
    LST06.I(c6::kRead) = addr + reclen;
    LST06.I(c6::kDone) += 1;
    int h, k, l;
    decode_compact_index(word, h, k, l, group);
    rec[0].i = h;
    rec[1].i = k;
    rec[2].i = l;
    copy_words(rec + 3, DATA.at(s + 1), 4);
    for (int j = 7; j < 12; ++j) rec[j].i = 0;
    return 0;
}

int KKFNR(Word* rec) {
    int group = 0;
    int status;
    while ((status = KKLDNR(rec, group)) == 0 && group != 0) {
    }
    return status;
}

// --- List 19 --------------------------------------------------------------

void FRM19(const int ic[12], float slope, float aint) {
    const int h0 = XLIMI.I(xlimi::kListBase);
    XLIMI.I(xlimi::kNextFree) = h0;
    if (!fits_data(h0, list19::kLength)) list_programming_error();
    put_list_header(h0, list19::kType);
    for (int w = 6; w <= list19::kLength; ++w) DATA.R(h0 + w - 1) = 0.0f;
    DATA.R(h0 + 5) = slope;
    DATA.R(h0 + 6) = aint;
    for (int i = 0; i < 12; ++i) DATA.R(h0 + 7 + i) = static_cast<float>(ic[i]);
    SFRML(list19::kType, list19::kLength);
}

void SFL19(int ic[12], float& slope, float& aint) {
    XLIMI.I(xlimi::kNextFree) = XLIMI.I(xlimi::kListBase);
    int serial = 0, first = -1, last = 0, part = 0, length = 0;
    SRLIN(list19::kType, serial, first, last, part, length);
    if (first <= 0) return;
    const int i1 = XLIMI.I(xlimi::kNextFree);
    check_list_read(list19::kType, i1, -list19::kLength);
    XSAC(list19::kType, serial, i1, i1 + length - 1);
    int n = 0;
    SRDLS(list19::kType, serial, i1, n);
    slope = DATA.R(i1 + 5);
    aint = DATA.R(i1 + 6);
    for (int i = 0; i < 12; ++i) ic[i] = static_cast<int>(DATA.R(i1 + 7 + i));
}

}  // namespace zanek
