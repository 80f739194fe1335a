// The stored lists of the structure file as they were before a command,
// to be put back when the command fails after it has replaced some.
#pragma once

#include <vector>

#include "platform/word.h"

namespace zanek {

class StoreSnapshot {
public:
    // Reads the index and every list it names (the index is loaded first);
    // without an open structure file there is nothing to take.
    static StoreSnapshot take();
    // Writes them all back, the resident table with them, and flushes.
    void restore();

private:
    struct List {
        int first = 0;
        std::vector<Word> words;
    };
    bool taken_ = false;
    std::vector<Word> index_;  // the index header and the list-type table
    std::vector<List> lists_;
};

}  // namespace zanek
