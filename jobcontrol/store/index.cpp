// The file index of the structure file and its typed lists: the index
// header at store address 1600, the list-type table at 1650 (40 rows of 6
// words, row 0 describing the table itself), and the lists from 1890 on.
// The resident copy of the table in XFILI is authoritative during a run;
// every change to it is written back whole.
//
// Everything read from the file is checked before it is used as a length
// or an address, so that a damaged or foreign file stops the run with the
// corruption message instead of reading or writing outside the records.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "jobcontrol/records/job.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/store.h"
#include "platform/listing.h"
#include "platform/stop.h"

namespace zanek {

namespace {

constexpr int kNotUsed = -10000;   // filler of the unused header words
constexpr int kTitleWords = 20;    // the 80-character job title
constexpr int kListHeaderWords = 5;
constexpr int64_t kMaxAddress = std::numeric_limits<int32_t>::max();

// Index header words, as numbered in the header (store address 1599 + w).
namespace hdr {
constexpr int kNextFree = 1, kTableLength = 2, kTableAddress = 3, kHeaderLength = 4,
              kTitleStart = 5, kRowLength = 6, kMagic = 8, kTitle = 11;
}

namespace row = list_row;

// Header word w while the header is held in XFILI (during a load).
Word* header_at(int w) { return XFILI.at(static_cast<std::size_t>(xfili::kTable - 1 + w)); }
int32_t& header_word(int w) { return header_at(w)->i; }

[[noreturn]] void index_corrupted() {
    index_corrupted_message();
    zstop(1111);
}

[[noreturn]] void list_corrupted(int type) {
    lst_blank(2);
    lst("(' requested list',i4,' has been corrupted')", {type});
    zstop(1111);
}

[[noreturn]] void programming_error() {
    lst_line(" ****  programming  error  **** ");
    zstop(1234);
}

bool index_loaded() { return XFILE.I(xfile::kIndexState) == xfile::kLoaded; }

// Loads the index once per run (stop 1111 when it is corrupted).
void ensure_index_loaded() {
    if (index_loaded()) return;
    SLDF();
    XFILE.I(xfile::kIndexState) = xfile::kLoaded;
}

// The next free address as stored in the file.
int stored_next_free() {
    Word w;
    XDWN(kIndexHeaderAddress, &w, 1);
    return w.i;
}

// A row of a present list is sound when its list lies in the used part of
// the store, after the index, and its part length is within the list.
bool row_is_sound(int t, int32_t present, int32_t serial, int32_t first, int32_t last, int32_t part,
                  int32_t length, int64_t next_free) {
    if (present != t) return false;
    if (serial < 0 || serial == std::numeric_limits<int32_t>::max()) return false;
    if (first < kFirstListAddress || length < 0 || part < 0 || part > length) return false;
    if (static_cast<int64_t>(first) + length - 1 > last) return false;
    return last < next_free;
}

// The resident table (just read) describes itself and its lists soundly.
bool table_is_sound(int64_t next_free) {
    if (table_word(0, 1) != kIndexMagic) return false;
    if (table_word(0, 2) < 1 || table_word(0, 2) > kMaxListType) return false;
    for (int t = 1; t <= kMaxListType; ++t) {
        if (table_word(t, row::kPresent) <= 0) continue;
        if (!row_is_sound(t, table_word(t, row::kPresent), table_word(t, row::kSerial),
                          table_word(t, row::kFirst), table_word(t, row::kLast), table_word(t, row::kPart),
                          table_word(t, row::kLength), next_free))
            return false;
    }
    return true;
}

void write_table() { XUP(kListTableAddress, XFILI.at(xfili::kTable), kListTableLength); }

// INTEGER(x) of a REAL word, false when it has no INTEGER value.
bool truncate_real(float x, int& value) {
    if (!std::isfinite(x) || std::fabs(x) >= 2147483648.0f) return false;
    value = static_cast<int>(x);
    return true;
}

}  // namespace

void index_corrupted_message() {
    lst_blank(1);
    lst_line(" the file index has been corrupted");
}

int32_t& table_word(int t, int j) { return XFILI.I(static_cast<std::size_t>(xfili::kTable - 1 + kListRowLength * t + j)); }

void SETFI() {
    for (int w = 1; w <= kIndexHeaderLength; ++w) header_word(w) = kNotUsed;
    header_word(hdr::kNextFree) = kIndexHeaderAddress + kIndexHeaderLength + kListTableLength;
    header_word(hdr::kTableLength) = kListTableLength;
    header_word(hdr::kTableAddress) = kListTableAddress;
    header_word(hdr::kHeaderLength) = kIndexHeaderLength;
    header_word(hdr::kTitleStart) = hdr::kTitle;
    header_word(hdr::kRowLength) = kListRowLength;
    header_word(hdr::kMagic) = kIndexMagic;
    copy_words(header_at(hdr::kTitle), UNIT.at(unitw::kTitle), kTitleWords);
    XUP(kIndexHeaderAddress, XFILI.at(xfili::kTable), kIndexHeaderLength);

    for (int k = 0; k < kListTableLength; ++k) XFILI.I(xfili::kTable + k) = 0;
    table_word(0, 1) = kIndexMagic;
    table_word(0, 2) = kListTableLength / kListRowLength - 1;
    table_word(0, 3) = kListTableAddress;
    table_word(0, 4) = kListTableAddress + kListTableLength - 1;
    table_word(0, 5) = kListRowLength;
    table_word(0, 6) = kListTableLength;
    write_table();
    XDUMP();

    if (JSLDF()) index_corrupted();
}

bool JSLDF(int) {
    XDWN(kIndexHeaderAddress, XFILI.at(xfili::kTable), 10);
    // The whole header, as long as it says it is.
    const int header_length = header_word(hdr::kHeaderLength);
    if (header_length < 10 || header_length > kListTableLength) return true;
    XDWN(kIndexHeaderAddress, XFILI.at(xfili::kTable), header_length);

    const int title_start = header_word(hdr::kTitleStart);
    if (title_start < 1 || title_start + kTitleWords - 1 > header_length) return true;
    copy_words(UNIT.at(unitw::kTitle), header_at(title_start), kTitleWords);

    // The table is written back to its fixed place with its fixed length,
    // so it must have been read from there.
    if (header_word(hdr::kTableLength) != kListTableLength ||
        header_word(hdr::kTableAddress) != kListTableAddress)
        return true;
    const int64_t next_free = header_word(hdr::kNextFree);
    if (next_free < kFirstListAddress) return true;
    XDWN(kListTableAddress, XFILI.at(xfili::kTable), kListTableLength);
    return !table_is_sound(next_free);
}

void SLDF() {
    if (JSLDF()) index_corrupted();
    check_lists_in_file();
}

void check_lists_in_file() {
    for (int t = 1; t <= kMaxListType; ++t) {
        if (table_word(t, row::kPresent) <= 0) continue;
        const int64_t last_word = int64_t{table_word(t, row::kFirst)} + std::max(table_word(t, row::kLength), 1) - 1;
        if (!store_block_in_file(static_cast<int>(last_word / kStoreBlockWords))) list_corrupted(t);
    }
}

void write_registered_space() {
    XDUMP();
    int64_t last = kIndexHeaderAddress + kIndexHeaderLength + kListTableLength - 1;
    for (int t = 1; t <= kMaxListType; ++t)
        if (table_word(t, row::kPresent) > 0) last = std::max<int64_t>(last, table_word(t, row::kLast));
    const int last_block = static_cast<int>(last / kStoreBlockWords);
    int block = last_block;
    while (block >= 0 && !store_block_in_file(block)) --block;
    // Spare words a list reserves and never writes (records still to come,
    // table rows to spare) read as zeros, as in the run that stored it.
    static const Word zeros[kStoreBlockWords] = {};
    for (int b = block + 1; b <= last_block; ++b) XSTOR(b, zeros, kStoreBlockWords);
}

void list_absent_message(int type) {
    lst_blank(3);
    lst("(' no list of type',i5,'  stored')", {type});
    lst_blank(1);
}

void XLC() { ensure_index_loaded(); }

void SWLIN(int type, int serial, int first, int last, int part, int length) {
    ensure_index_loaded();
    if (type < 1 || type > kMaxListType) {
        lst_blank(3);
        lst("(i7,' is not a valid list type')", {type});
        zstop(1111);
    }
    // A row that the next load would take for corruption is a fault of
    // the writer: refuse it now rather than lose the file's index later.
    const int next_free = stored_next_free();
    if (next_free < kFirstListAddress) index_corrupted();
    if (!row_is_sound(type, type, serial, first, last, part, length, next_free)) programming_error();
    table_word(type, row::kPresent) = type;
    table_word(type, row::kSerial) = serial;
    table_word(type, row::kFirst) = first;
    table_word(type, row::kLast) = last;
    table_word(type, row::kPart) = part;
    table_word(type, row::kLength) = length;
    write_table();
}

void SRLIN(int type, int& serial, int& first, int& last, int& part, int& length) {
    if (type <= 0) {
        first = -1;
        return;
    }
    ensure_index_loaded();
    if (type > kMaxListType || table_word(type, row::kPresent) <= 0) {
        first = -1;
        return;
    }
    serial = table_word(type, row::kSerial);
    first = table_word(type, row::kFirst);
    last = table_word(type, row::kLast);
    part = table_word(type, row::kPart);
    length = table_word(type, row::kLength);
}

int take_store_space(int n) {
    if (n < 0) programming_error();
    const int64_t f = stored_next_free();
    if (f < kFirstListAddress || f + n > kMaxAddress) index_corrupted();
    Word next = word_of_int(static_cast<int32_t>(f + n));
    XUP(kIndexHeaderAddress, &next, 1);
    XDUMP();
    return static_cast<int>(f);
}

void SOWL(int n, int type, int& serial, int& first, int& last, int& part, int& length) {
    if (n < 0) programming_error();
    serial = 0;
    SRLIN(type, serial, first, last, part, length);
    // The stored length, not the reserved extent, decides whether the old
    // space is reused.
    if (!(first > 0 && length >= n)) {
        first = take_store_space(n);
        last = first + n - 1;
        part = 0;
    }
    serial += 1;
    length = n;
}

void SFRML(int type, int n) {
    const int i0 = XLIMI.I(xlimi::kNextFree);
    if (n < 3 || i0 < 1 || static_cast<int64_t>(i0) + n - 1 > static_cast<int64_t>(DATA.size()))
        programming_error();
    int serial, first, last, part, length;
    SOWL(n, type, serial, first, last, part, length);
    if (type < 1) {
        lst_blank(1);
        lst("(i7,' is not a valid list type')", {type});
        return;
    }
    DATA.R(static_cast<std::size_t>(i0 + 2)) = static_cast<float>(serial);
    XUP(first, DATA.at(static_cast<std::size_t>(i0)), n);
    SWLIN(type, serial, first, last, part, n);
    XDUMP();
}

void SRDLS(int type, int& serial, int i1, int& n) {
    int first = -1, last = 0, part = 0, length = 0;
    SRLIN(type, serial, first, last, part, length);
    if (first <= 0) {
        list_absent_message(type);
        zstop(1111);
    }
    const int count = part > 0 ? part : length;
    // The list (or its leading part) must hold a list header and fit the
    // list image area from i1 on.
    if (count < kListHeaderWords || i1 < 1 || static_cast<int64_t>(i1) + count - 1 > static_cast<int64_t>(DATA.size()))
        list_corrupted(type);
    XDWN(first, DATA.at(static_cast<std::size_t>(i1)), count);
    int stored_type = 0;
    if (!truncate_real(DATA.R(static_cast<std::size_t>(i1 + 1)), stored_type) || stored_type != type)
        list_corrupted(type);
    n = part > 0 ? -count : count;
}

void CANCELLA(int type) {
    if (type < 1 || type > kMaxListType) return;
    ensure_index_loaded();
    if (type > table_word(0, 2)) return;
    table_word(type, row::kPresent) = 0;
    write_table();
    XDUMP();
}

void XSAC(int type, int serial, int i1, int i2) {
    if (type < 1 || type > kMaxListType) programming_error();
    int count = XSAE.I(xsae::kCount);
    if (count < 0 || count > kMaxListType) programming_error();
    int k = 1;
    while (k <= count && xsae::entry(k, xsae::kType) != type) ++k;
    if (k > count) {
        if (count >= kMaxListType) programming_error();
        XSAE.I(xsae::kCount) = count = k;
    }
    xsae::entry(k, xsae::kType) = type;
    xsae::entry(k, xsae::kSerial) = serial;
    xsae::entry(k, xsae::kFirst) = i1;
    xsae::entry(k, xsae::kLast) = i2;
    // The next free word must leave the reserve of five words, and the
    // list registered (with the words derived behind it) must fit.
    const int capacity = std::min<int>(XLIMI.I(xlimi::kCapacity), static_cast<int>(DATA.size()));
    if (XLIMI.I(xlimi::kNextFree) > capacity - 5 || i1 < 1 || i2 > capacity) {
        lst("('1***store overflow*** (list type',i5,')')", {type});
        XPAS();
        lst_flush();
        zstop(0);
    }
}

void XPAS() {
    const int count = XSAE.I(xsae::kCount);
    if (count > 0 && count <= kMaxListType) {
        lst_blank(3);
        lst_line(" allocated store :");
        lst_blank(1);
        lst_line("     list type    serial no.         address         length");
        lst_blank(1);
        for (int k = 1; k <= count; ++k) {
            const int first = xsae::entry(k, xsae::kFirst);
            const int last = xsae::entry(k, xsae::kLast);
            lst("(i13,i13,i14,'  to',i7,i10)", {xsae::entry(k, xsae::kType),
                                               xsae::entry(k, xsae::kSerial), first, last,
                                               last - first + 1});
        }
    }
    lst_blank(2);
    lst("(' free location(s) :',i7,' to ',i7,', ',i7,' word(s) ')",
        {XLIMI.I(xlimi::kNextFree), XLIMI.I(xlimi::kCapacity), XLIMI.I(xlimi::kCapacity) - XLIMI.I(xlimi::kNextFree) + 1});
}

void SNXTF(int n) {
    if (n < kFirstListAddress) programming_error();
    Word w = word_of_int(n);
    XUP(kIndexHeaderAddress, &w, 1);
    XDUMP();
}

void XNXTF(int& n) { n = stored_next_free(); }

void SLDL(int type, int& serial, int& i1, int& i2) {
    int first = -1, last = 0, part = 0, length = 0;
    SRLIN(type, serial, first, last, part, length);
    if (first <= 0) {
        i1 = -1;
        i2 = -1;
        return;
    }
    i1 = XLIMI.I(xlimi::kNextFree);
    i2 = i1 + length - 1;
    XSAC(type, serial, i1, i2);
    int n = 0;
    SRDLS(type, serial, i1, n);
}

void XCLN(int type) {
    const int i0 = XLIMI.I(xlimi::kNextFree);
    if (i0 < 1 || static_cast<int64_t>(i0) + kListHeaderWords - 1 > static_cast<int64_t>(DATA.size()))
        programming_error();
    DATA.R(static_cast<std::size_t>(i0)) = kListMarker;
    DATA.R(static_cast<std::size_t>(i0 + 1)) = static_cast<float>(type);
    DATA.R(static_cast<std::size_t>(i0 + 2)) = 1.0f;
    DATA.R(static_cast<std::size_t>(i0 + 3)) = 0.0f;
    DATA.R(static_cast<std::size_t>(i0 + 4)) = -1.0f;
}

void XCSAE() { XSAE.I(xsae::kCount) = 0; }

}  // namespace zanek
