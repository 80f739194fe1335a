// List 16. The phasing command creates it with room for a fixed number of
// sets and writes sets as trials finish; %fourier reads the header to pick
// a set and lowers its figure once it has been used.
#include "jobcontrol/lists/list16.h"

#include <cmath>
#include <cstring>

#include "jobcontrol/lists/listutil.h"
#include "jobcontrol/records/phaseset.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/store.h"

namespace zanek {

namespace {

using namespace lst016;  // the cursor words
// Header words.
constexpr int kArraysAfter = 9, kHeaderWord = 10, kNsets = 11;

// Store address of set record i; a set outside the list's room would
// read or overwrite words of other lists.
int set_address(int i) {
    if (i < 1 || i > LST016.I(kRoom)) list_programming_error();
    return LST016.I(kSet1) + (i - 1) * LST016.I(kSetLen);
}

}  // namespace

int32_t list16::pack_phase(float& weight, int phase) {
    if (weight > 1.0f) weight = 1.0f;
    const float scaled = weight * 1000000.0f;  // single precision, as stored weights were made
    const int32_t q = static_cast<int32_t>(std::lround(scaled));
    return q * 512 + phase;
}

void list16::unpack_phase(int32_t word, float& weight, int& phase) {
    const int32_t q = word / 512;
    phase = word - 512 * q;
    weight = static_cast<float>(q) / 1000000.0f;
}

void NFRM16(int nsets) {
    const int nref = PARAM.I(param::kNref);
    if (nsets < 0 || nref < 0) list_programming_error();
    const int h0 = XLIMI.I(xlimi::kListBase);
    XLIMI.I(xlimi::kNextFree) = h0;
    const int hlen = 2 * nsets + list16::kFixedHeader;
    const int setlen = list16::kFigureWords + nref;
    if (!fits_data(h0, hlen + setlen)) list_programming_error();
    LST016.I(kHeader) = h0;
    LST016.I(kHeaderLen) = hlen;
    put_list_header(h0, list16::kType);
    for (int k = 6; k <= hlen; ++k) DATA.I(h0 + k - 1) = 0;
    DATA.R(h0 + 5) = static_cast<float>(list16::kFigureWords);
    DATA.R(h0 + 6) = 1.0f;
    DATA.R(h0 + 7) = static_cast<float>(nref);
    DATA.R(h0 + kArraysAfter - 1) = static_cast<float>(list16::kFixedHeader);
    DATA.R(h0 + kHeaderWord - 1) = static_cast<float>(hlen);
    DATA.R(h0 + kNsets - 1) = static_cast<float>(nsets);
    LST016.I(kFigures) = list16::kFigureWords;
    LST016.I(kPerPhase) = 1;
    LST016.I(kSetLen) = setlen;
    LST016.I(kNref) = nref;

    const int64_t space64 = hlen + int64_t{nsets} * setlen;
    if (space64 > 2000000000) list_programming_error();
    const int space = static_cast<int>(space64);
    int serial = 0, first = 0, last = 0, part = 0, length = 0;
    SOWL(space, list16::kType, serial, first, last, part, length);
    DATA.R(h0 + 2) = static_cast<float>(serial);
    XUP(first, DATA.at(h0), hlen);
    SWLIN(list16::kType, serial, first, first + space - 1, hlen, space);

    LST016.I(kFirst) = first;
    LST016.I(kSet1) = first + hlen;
    LST016.I(kRoom) = nsets;
    LST016.I(kStaging) = h0 + hlen;
    LST016.I(kPhases) = h0 + hlen + list16::kFigureWords;
    // Every set record starts with zero figure and phase words.
    const int s = LST016.I(kStaging);
    for (int k = 0; k < setlen; ++k) DATA.I(s + k) = 0;
    for (int i = 1; i <= nsets; ++i) XUP(set_address(i), DATA.at(s), setlen);
    XDUMP();
}

void SFL16(float* a1, int32_t* a2, int& nsets, int capacity) {
    const int h0 = XLIMI.I(xlimi::kNextFree);
    LST016.I(kHeader) = h0;
    int serial = 0, first = -1, last = 0, part = 0, length = 0;
    SRLIN(list16::kType, serial, first, last, part, length);
    if (first > 0) check_list_read(list16::kType, h0, -list16::kFixedHeader);
    LST016.I(kFirst) = first;
    LST016.I(kHeaderLen) = part;
    int n = 0;
    SRDLS(list16::kType, serial, h0, n);

    auto header = [&](int word) { return trunc_word(DATA.W(h0 + word - 1)); };
    const int figures = header(6), perphase = header(7), nref = header(8), after = header(kArraysAfter);
    const int hlen = header(kHeaderWord), stored = header(kNsets);
    // These words decide the set length, where the arrays are and how many
    // entries are copied: all must agree with the list's space and with
    // the arrays that receive them.
    const int64_t setlen = int64_t{perphase} * nref + figures;
    if (figures != list16::kFigureWords || perphase != 1 || nref < 0 || hlen != part || stored < 0 ||
        after < 5 || after + 2 * int64_t{stored} > hlen || stored > capacity ||
        !fits_data(h0 + hlen, static_cast<int>(std::min<int64_t>(setlen, 1 << 30))))
        list_corrupted(list16::kType);
    const int64_t room = setlen > 0 ? (length - hlen) / setlen : 0;
    LST016.I(kFigures) = figures;
    LST016.I(kPerPhase) = perphase;
    LST016.I(kNref) = nref;
    LST016.I(kSetLen) = static_cast<int>(setlen);
    LST016.I(kRoom) = static_cast<int>(room);
    LST016.I(kSet1) = first + hlen;
    LST016.I(kStaging) = h0 + hlen;
    LST016.I(kPhases) = h0 + hlen + list16::kFigureWords;
    nsets = stored;
    for (int k = 0; k < stored; ++k) {
        std::memcpy(&a1[k], DATA.at(h0 + after + k), 4);
        std::memcpy(&a2[k], DATA.at(h0 + after + stored + k), 4);
    }
}

void SNR16(int i, Word* fom, float* w, int32_t* phi, int capacity) {
    const int nref = LST016.I(kNref);
    if (nref > capacity) list_corrupted(list16::kType);
    const int s = LST016.I(kStaging);
    XDWN(set_address(i), DATA.at(s), LST016.I(kSetLen));
    copy_words(fom, DATA.at(s), list16::kFigureWords);
    const int p = LST016.I(kPhases);
    for (int j = 0; j < nref; ++j) {
        int phase = 0;
        list16::unpack_phase(DATA.I(p + j), w[j], phase);
        phi[j] = phase;
    }
}

void SNW16(int i, const Word* fom, float* w, const int32_t* phi) {
    const int addr = set_address(i);
    const int s = LST016.I(kStaging);
    copy_words(DATA.at(s), fom, list16::kFigureWords);
    const int p = LST016.I(kPhases);
    for (int j = 0; j < LST016.I(kNref); ++j) DATA.I(p + j) = list16::pack_phase(w[j], phi[j]);
    XUP(addr, DATA.at(s), LST016.I(kSetLen));
    XDUMP();
}

void SUP16(const float* a1, const int32_t* a2, int n) {
    const int h0 = XLIMI.I(xlimi::kNextFree);
    LST016.I(kHeader) = h0;
    int serial = 0, first = -1, last = 0, part = 0, length = 0;
    SRLIN(list16::kType, serial, first, last, part, length);
    if (first > 0) check_list_read(list16::kType, h0, -list16::kFixedHeader);
    int got = 0;
    SRDLS(list16::kType, serial, h0, got);
    const int after = trunc_word(DATA.W(h0 + kArraysAfter - 1));
    const int stored = trunc_word(DATA.W(h0 + kNsets - 1));
    const int hlen = trunc_word(DATA.W(h0 + kHeaderWord - 1));
    if (hlen != part || stored < 0 || after < 5 || after + 2 * int64_t{stored} > hlen)
        list_corrupted(list16::kType);
    int used = stored;
    if (n <= stored) {
        used = n < 0 ? 0 : n;
        DATA.R(h0 + kNsets - 1) = static_cast<float>(used);
    }
    for (int k = 0; k < used; ++k) {
        std::memcpy(DATA.at(h0 + after + k), &a1[k], 4);
        std::memcpy(DATA.at(h0 + after + used + k), &a2[k], 4);
    }
    XUP(first, DATA.at(h0), hlen);
    XDUMP();
}

void YSFL16(float* a1, int32_t* a2, int& nsets, int capacity) {
    XLIMI.I(xlimi::kNextFree) = XLIMI.I(xlimi::kListBase);
    SFL16(a1, a2, nsets, capacity);
}

void YSUP16(const float* a1, const int32_t* a2, int n) {
    XLIMI.I(xlimi::kNextFree) = XLIMI.I(xlimi::kListBase);
    SUP16(a1, a2, n);
}

}  // namespace zanek
