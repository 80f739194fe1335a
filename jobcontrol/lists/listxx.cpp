// Generic table lists: a 19-word header and items streamed one at a time
// through a W-word staging area, so that tables of any length pass through
// the list image area.
#include "jobcontrol/lists/listxx.h"

#include <cstdint>

#include "jobcontrol/lists/listutil.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/store.h"
#include "platform/listing.h"
#include "platform/stop.h"

namespace zanek {

namespace {
constexpr int kWidth = 6, kStride = 7, kHeaderWord = 8, kCount = 9, kFirstInt = 10;
}

bool listxx::widths(int type, int& w, int& s) {
    switch (type) {
        case 8: case 10: case 11: case 12: case 24: case 27: w = 3; s = 3; return true;
        case 9: w = 2; s = 3; return true;
        case 20: case 21: w = 3; s = 7; return true;
        case 26: w = 1; s = 1; return true;
        default: return false;
    }
}

void FRMXX(int flag, int type, int count, int i1, int i2, int i3, int i4, const Word* items) {
    int w = 0, s = 0;
    if (!listxx::widths(type, w, s)) {
        lst_blank(3);
        lst("(i7,' is not a valid list type')", {type});
        zstop(1111);
    }
    if (count < 0) list_programming_error();
    const int h0 = XLIMI.I(xlimi::kListBase);
    XLIMI.I(xlimi::kNextFree) = h0;
    if (!fits_data(h0, listxx::kHeaderLength + w)) list_programming_error();
    put_list_header(h0, type);
    for (int k = 6; k <= listxx::kHeaderLength; ++k) DATA.R(h0 + k - 1) = 0.0f;
    DATA.R(h0 + kWidth - 1) = static_cast<float>(w);
    DATA.R(h0 + kStride - 1) = static_cast<float>(s);
    DATA.R(h0 + kHeaderWord - 1) = static_cast<float>(listxx::kHeaderLength);
    DATA.R(h0 + kCount - 1) = static_cast<float>(count);
    const int ints[4] = {i1, i2, i3, i4};
    for (int k = 0; k < 4; ++k) DATA.R(h0 + kFirstInt - 1 + k) = static_cast<float>(ints[k]);

    const int64_t space64 = int64_t{count + 1} * w + listxx::kHeaderLength;
    if (space64 > 2000000000) list_programming_error();
    const int space = static_cast<int>(space64);
    int serial = 0, first = 0, last = 0, part = 0, length = 0;
    SOWL(space, type, serial, first, last, part, length);
    DATA.R(h0 + 2) = static_cast<float>(serial);
    XUP(first, DATA.at(h0), listxx::kHeaderLength);
    SWLIN(type, serial, first, first + space - 1, listxx::kHeaderLength, space);
    if (flag < 0) return;

    const int staging = h0 + listxx::kHeaderLength;
    XLIMI.I(xlimi::kNextFree) = staging + w;
    for (int k = 0; k < count; ++k) {
        copy_words(DATA.at(staging), items + int64_t{k} * s, w);
        XUP(first + listxx::kHeaderLength + k * w, DATA.at(staging), w);
    }
    XDUMP();
}

void SFLXX(int flag, int type, int& count, int& i1, int& i2, int& i3, int& i4, Word* items, int capacity) {
    const int h0 = XLIMI.I(xlimi::kListBase);
    XLIMI.I(xlimi::kNextFree) = h0;
    int serial = 0, first = -1, last = 0, part = 0, length = 0;
    SRLIN(type, serial, first, last, part, length);
    if (first > 0) check_list_read(type, h0, listxx::kHeaderLength);
    int n = 0;
    SRDLS(type, serial, h0, n);

    auto header = [&](int word) { return trunc_word(DATA.W(h0 + word - 1)); };
    const int w = header(kWidth), s = header(kStride), hlen = header(kHeaderWord);
    const int stored = header(kCount);
    // Width, stride and count decide what is read and where it goes: the
    // items must lie in the list and fit the caller's array.
    if (w < 1 || s < w || hlen != listxx::kHeaderLength || stored < 0 ||
        int64_t{stored} * w + hlen > length || !fits_data(h0 + hlen, w))
        list_corrupted(type);
    count = stored;
    i1 = header(kFirstInt);
    i2 = header(kFirstInt + 1);
    i3 = header(kFirstInt + 2);
    i4 = header(kFirstInt + 3);
    if (flag < 0) return;
    if (stored > 0 && int64_t{stored - 1} * s + w > capacity) list_corrupted(type);

    const int staging = h0 + listxx::kHeaderLength;
    XLIMI.I(xlimi::kNextFree) = staging + w;
    int addr = first + hlen;
    for (int k = 0; k < stored; ++k) {
        XDWN(addr, DATA.at(staging), w);
        addr += w;
        copy_words(items + int64_t{k} * s, DATA.at(staging), w);
    }
}

}  // namespace zanek
