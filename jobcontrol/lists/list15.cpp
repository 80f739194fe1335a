// Lists 15 and 30. The atom record splits a label code into species and
// number within the species; loading rebuilds it, so a negative code with
// a non-zero number comes back as the negated species code.
#include "jobcontrol/lists/list15.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "jobcontrol/lists/listutil.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/store.h"

namespace zanek {

namespace {

// Header words.
constexpr int kCount = 8, kSet = 9, kBondFlag = 10, kLastR = 11, kCycles = 12, kNext = 13, kDefaultB = 14,
              kInvScale = 15;

// Words a bond table of nb bonds takes (the count word and the pairs).
int64_t bond_words(int nb) { return 2 * int64_t{nb} + 1 > 0 ? 2 * int64_t{nb} + 1 : 1; }

// The words of the atom records and the bond table must fit the list;
// with a count read from the file a misfit is a corrupted list.
bool records_fit(int n, int bondflag, int nb_if_any) {
    if (n < 0 || n > kMaxAtoms) return false;
    int64_t words = list15::kHeaderLength + int64_t{list15::kRecordLength} * n;
    if (bondflag == 1) words += bond_words(nb_if_any);
    return words <= list15::kLength;
}

// Loads list TYPE into DATA from XLIMI word 7 and returns its DATA index.
int load_atom_list(int type) {
    const int i1 = XLIMI.I(xlimi::kListBase);
    XLIMI.I(xlimi::kNextFree) = i1;
    int serial = 0, first = -1, last = 0, part = 0, length = 0;
    SRLIN(type, serial, first, last, part, length);
    if (first > 0) {
        check_list_read(type, i1, -list15::kHeaderLength);
        XSAC(type, serial, i1, i1 + length - 1);
    }
    int n = 0;
    SRDLS(type, serial, i1, n);
    return i1;
}

// Checks the counts of a loaded list and returns N, SET and BONDFLAG;
// START is clamped to 1..200 and the atoms must fit the slots from it.
void read_counts(int type, int i1, int& n, int& start, int& set, int& bondflag, int& nb) {
    n = trunc_word(DATA.W(i1 + kCount - 1));
    set = trunc_word(DATA.W(i1 + kSet - 1));
    bondflag = trunc_word(DATA.W(i1 + kBondFlag - 1));
    nb = 0;
    if (n >= 0 && n <= kMaxAtoms && bondflag == 1) {
        const int at = i1 + list15::kHeaderLength + list15::kRecordLength * n;
        if (fits_data(at, 1)) nb = trunc_word(DATA.W(at));
    }
    if (start < 1 || start > kMaxAtoms) start = 1;
    if (!records_fit(n, bondflag, nb) || start + n - 1 > kMaxAtoms || bond_words(nb) > static_cast<int64_t>(TEMP.size()))
        list_corrupted(type);
}

// Atom i's record at DATA(rec): label, coordinates, height, occupancy.
int record_label(int rec) { return list15::rebuild_label(DATA.I(rec), DATA.I(rec + 2)); }

// A record as the former writes it: a species of 0 or more and a number
// within the species of 0 to 99 that rebuild an INTEGER label code, and
// finite coordinates, height, occupancy and B. Anything else is a damaged
// list, which would carry an overflowing label or NaN positions into the
// maps, the distances and the viewer.
bool record_is_sound(int rec) {
    const int32_t species = DATA.I(rec), number = DATA.I(rec + 2);
    if (species < 0 || species > (INT32_MAX - 99) / 100 || number < 0 || number > 99) return false;
    for (int j = 3; j < list15::kRecordLength; ++j)
        if (!std::isfinite(DATA.R(rec + j))) return false;
    return true;
}

// Every record of the N atoms from DATA(rec0) on is sound; otherwise the
// list is corrupted (before anything of it is loaded).
void check_records(int type, int rec0, int n) {
    for (int i = 0; i < n; ++i)
        if (!record_is_sound(rec0 + i * list15::kRecordLength)) list_corrupted(type);
}

// Copies the list at DATA(i1) as list TYPE (its own serial number).
void store_copy(int i1, int type) {
    DATA.R(i1 + 1) = static_cast<float>(type);
    XLIMI.I(xlimi::kNextFree) = i1;
    SFRML(type, list15::kLength);
    XDUMP();
}

void copy_list(int from, int to) {
    const int i1 = load_atom_list(from);
    int serial = 0, first = -1, last = 0, part = 0, length = 0;
    SRLIN(from, serial, first, last, part, length);
    // The copy is always 5000 words; a shorter source leaves the rest zero.
    for (int k = length; k < list15::kLength; ++k) DATA.I(i1 + k) = 0;
    store_copy(i1, to);
}

}  // namespace

int list15::rebuild_label(int species, int number) {
    if (species > 0 && number == 0) return -100 * species;
    return 100 * species + number;
}

void FRM15(int n, int set, int bondflag) {
    const int nb = bondflag == 1 ? trunc_word(TEMP.W(tempw::kBondCount)) : 0;
    if (!records_fit(n, bondflag, nb)) list_programming_error();
    const int h0 = XLIMI.I(xlimi::kListBase);
    XLIMI.I(xlimi::kNextFree) = h0;
    if (!fits_data(h0, list15::kLength)) list_programming_error();
    // Words beyond the bond table are not read: they are written as zeros.
    for (int k = 0; k < list15::kLength; ++k) DATA.I(h0 + k) = 0;
    put_list_header(h0, list15::kType);
    DATA.R(h0 + 5) = static_cast<float>(list15::kHeaderLength);
    DATA.R(h0 + 6) = static_cast<float>(list15::kRecordLength);
    DATA.R(h0 + kCount - 1) = static_cast<float>(n);
    DATA.R(h0 + kSet - 1) = static_cast<float>(set);
    DATA.R(h0 + kBondFlag - 1) = static_cast<float>(bondflag);
    DATA.W(h0 + kLastR - 1) = EMAP.W(emap::kLastR);
    DATA.W(h0 + kCycles - 1) = EMAP.W(emap::kCycles);
    DATA.W(h0 + kNext - 1) = EMAP.W(emap::kNextAction);
    DATA.W(h0 + kDefaultB - 1) = EMAP.W(emap::kDefaultB);
    DATA.W(h0 + kInvScale - 1) = EMAP.W(emap::kInvScale);

    int rec = h0 + list15::kHeaderLength;
    for (int i = 1; i <= n; ++i, rec += list15::kRecordLength) {
        const int label = atom_label(i);
        DATA.I(rec) = std::abs(label) / 100;
        DATA.I(rec + 1) = i;
        DATA.I(rec + 2) = label >= 0 ? label % 100 : 0;
        for (int j = 1; j <= 5; ++j) DATA.R(rec + 2 + j) = atom_coord(i, j);
        DATA.R(rec + 8) = atom_b(i);
    }
    if (bondflag == 1) {
        DATA.R(rec) = -1.0f;
        if (nb >= 0) copy_words(DATA.at(rec), TEMP.at(tempw::kBondCount), 2 * nb + 1);
    }
    SFRML(list15::kType, list15::kLength);
    XDUMP();
}

void SFL15(int& n, int& start, int& set, int& bondflag) {
    const int i1 = load_atom_list(list15::kType);
    int nb = 0;
    read_counts(list15::kType, i1, n, start, set, bondflag, nb);
    check_records(list15::kType, i1 + list15::kHeaderLength, n);
    EMAP.W(emap::kInvScale) = DATA.W(i1 + kInvScale - 1);
    EMAP.W(emap::kLastR) = DATA.W(i1 + kLastR - 1);
    EMAP.W(emap::kCycles) = DATA.W(i1 + kCycles - 1);
    EMAP.W(emap::kNextAction) = DATA.W(i1 + kNext - 1);
    EMAP.W(emap::kDefaultB) = DATA.W(i1 + kDefaultB - 1);

    int rec = i1 + list15::kHeaderLength;
    for (int i = 1; i <= n; ++i, rec += list15::kRecordLength) {
        const int k = start + i - 1;
        atom_label(k) = record_label(rec);
        for (int j = 1; j <= 5; ++j) atom_coord(k, j) = DATA.R(rec + 2 + j);
        atom_b(k) = DATA.R(rec + 8);
    }
    // A stored count of -1 (bonds to be found from distances) is loaded too,
    // so that no bond table left in TEMP by other work is taken for this
    // model's bonds.
    if (bondflag == 1 && nb >= -1) copy_words(TEMP.at(tempw::kBondCount), DATA.at(rec), std::max(1, 2 * nb + 1));
}

void SFL30(int& n, int& start, int& set, int& bondflag) {
    const int i1 = load_atom_list(list15::kPreviousType);
    int nb = 0;
    read_counts(list15::kPreviousType, i1, n, start, set, bondflag, nb);
    check_records(list15::kPreviousType, i1 + list15::kHeaderLength, n);
    int rec = i1 + list15::kHeaderLength;
    for (int i = 1; i <= n; ++i, rec += list15::kRecordLength) {
        const int k = start + i - 1;
        old_atom_label(k) = record_label(rec);
        for (int j = 1; j <= 5; ++j) old_atom_coord(k, j) = DATA.R(rec + 2 + j);
    }
}

void CP1530() { copy_list(list15::kType, list15::kPreviousType); }

void CP3015() { copy_list(list15::kPreviousType, list15::kType); }

}  // namespace zanek
