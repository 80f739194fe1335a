// A copy of the file index and of the lists it names, taken before a
// command runs: commands store their lists as they go (%data the cell, the
// symmetry and the content as it meets them, the recycling its atoms after
// each cycle), so one that fails part-way would leave some replaced. The
// copy is then written back: the index, its next free address and every
// list's words are as they were before the command, and no list of the
// structure the user had is lost to a command that failed.
#include "jobcontrol/store/snapshot.h"

#include "jobcontrol/records/store.h"
#include "jobcontrol/store/store.h"
#include "platform/units.h"

namespace zanek {

namespace {

constexpr int kIndexWords = kIndexHeaderLength + kListTableLength;  // store words 1600-1889

}  // namespace

StoreSnapshot StoreSnapshot::take() {
    StoreSnapshot s;
    if (!units().connected(XDISU.I(xdisu::kUnit))) return s;  // no structure file yet: nothing to keep
    s.taken_ = true;
    int serial = 0, first = 0, last = 0, part = 0, length = 0;
    SRLIN(1, serial, first, last, part, length);  // loads the index when it is not resident
    s.index_.resize(kIndexWords);
    XDWN(kIndexHeaderAddress, s.index_.data(), kIndexWords);
    // The loader has checked every row: a present list lies whole in the
    // used part of the file.
    for (int t = 1; t <= kMaxListType; ++t) {
        if (table_word(t, list_row::kPresent) <= 0) continue;
        List list;
        list.first = table_word(t, list_row::kFirst);
        list.words.resize(static_cast<std::size_t>(table_word(t, list_row::kLast) - list.first + 1));
        XDWN(list.first, list.words.data(), static_cast<int>(list.words.size()));
        s.lists_.push_back(std::move(list));
    }
    return s;
}

void StoreSnapshot::restore() {
    if (!taken_) return;
    for (List& list : lists_) XUP(list.first, list.words.data(), static_cast<int>(list.words.size()));
    XUP(kIndexHeaderAddress, index_.data(), kIndexWords);
    // The resident table is the one the rest of the run reads and writes.
    for (int k = 0; k < kListTableLength; ++k) XFILI.W(xfili::kTable + k) = index_[kIndexHeaderLength + k];
    XDUMP();
}

}  // namespace zanek
