// The block buffer pool of the structure file. The file is a sequence of
// 8192-byte records; record b+1 carries store block b in its first 512
// words. Blocks pass through a small pool of buffers kept in XBUFD in
// recency order, so that sequential list reads and writes touch each block
// once and a block is written back only when it is evicted or dumped.
//
// Pool layout in XBUFD (1-based word indices): a 4-word head at p0
// (p0 = -10000, p0+1 = first buffer of the recency chain), then buffers of
// 516 words: p back link, p+1 next link (-10000 = end), p+2 block held
// (-10000 = empty), p+3 dirty flag (-1 changed, 0 clean), p+4.. the block.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <sys/stat.h>

#include "jobcontrol/records/store.h"
#include "jobcontrol/store/safeguard.h"
#include "jobcontrol/store/store.h"
#include "platform/listing.h"
#include "platform/stop.h"
#include "platform/units.h"

namespace zanek {

namespace {

constexpr int kNone = -10000;      // end of the chain, empty buffer
constexpr int kHeadWords = 4;
constexpr int kBufferWords = kStoreBlockWords + 4;
constexpr int kDirty = -1;

using namespace xbufd;  // the words of a buffer

int& pool_word(int k) { return XBUFD.I(static_cast<std::size_t>(k)); }
int& disc_word(int k) { return XDISC.I(static_cast<std::size_t>(k)); }

[[noreturn]] void programming_error() {
    lst_line(" ****  programming  error  **** ");
    zstop(1234);
}

// Bytes of record rec (1-based) present in the direct-access file of unit.
long long record_bytes_present(int unit, int rec) {
    const UnitFile* f = units().file(unit);
    if (!f || !f->fp) return 0;
    units().flush(unit);
    struct stat sb;
    if (::fstat(fileno(f->fp), &sb) != 0) return 0;
    long long off = static_cast<long long>(rec - 1) * f->recl_bytes;
    return std::max<long long>(0, static_cast<long long>(sb.st_size) - off);
}

// The transfer addr..addr+n-1 must lie in the store's address range.
void check_range(int addr, int n) {
    if (addr < 0 || static_cast<int64_t>(addr) + n > std::numeric_limits<int32_t>::max())
        programming_error();
}

// Reads block b into buffer p, which is empty or clean.
void load_block(int p, int b) {
    pool_word(p + kBlockHeld) = kNone;  // holds nothing until the read succeeds
    XFTCH(b, XBUFD.at(static_cast<std::size_t>(p + kFirstWord)), kStoreBlockWords);
    pool_word(p + kBlockHeld) = b;
    pool_word(p + kDirtyFlag) = 0;
}

void write_back(int p) {
    XSTOR(pool_word(p + kBlockHeld), XBUFD.at(static_cast<std::size_t>(p + kFirstWord)), kStoreBlockWords);
    pool_word(p + kDirtyFlag) = 0;
}

}  // namespace

bool store_file_empty() { return record_bytes_present(XDISU.I(xdisu::kUnit), 1) == 0; }

bool store_block_in_file(int block) {
    return block >= 0 && record_bytes_present(XDISU.I(xdisu::kUnit), block + 1) >= 4LL * kStoreBlockWords;
}

int KWLNT(int n) { return (n + kStoreBlockWords - 1) / kStoreBlockWords * kStoreBlockWords; }

void XGIV(int base, int size, int& next) {
    // Rebuilding a live pool must not lose changes still held in it.
    if (disc_word(disc::kState) > 0) XDUMP();
    disc_word(disc::kBlockLen) = kStoreBlockWords;
    disc_word(disc::kBlockLen2) = kStoreBlockWords;
    // The pool must lie inside XBUFD.
    int room = base >= 1 ? std::min<int64_t>(size, static_cast<int64_t>(XBUFD.size()) - base + 1) : 0;
    int count = (room - kHeadWords) / kBufferWords;
    if (room < kHeadWords || count <= 0) {
        disc_word(disc::kState) = disc::kNoPool;
        next = base;
        return;
    }
    count = std::min(count, disc_word(disc::kMaxBuffers));
    if (count <= 0) {
        disc_word(disc::kState) = disc::kNoPool;
        next = base;
        return;
    }
    pool_word(base) = kNone;
    pool_word(base + 2) = 0;
    pool_word(base + 3) = 0;
    int prev = base;
    for (int k = 0; k < count; ++k) {
        int p = base + kHeadWords + kBufferWords * k;
        pool_word(p) = prev;
        pool_word(prev + kNextLink) = p;
        pool_word(p + kBlockHeld) = kNone;
        pool_word(p + kDirtyFlag) = 0;
        prev = p;
    }
    pool_word(prev + kNextLink) = kNone;
    disc_word(disc::kHead) = base;
    disc_word(disc::kState) = disc::kReady;
    next = base + kHeadWords + kBufferWords * count;
}

void XFNDB() {
    if (disc_word(disc::kState) < 0) {
        lst_line(" *** error *** no buffers allocated to the disc routines");
        zstop(46);
    }
    const int addr = disc_word(disc::kAddress);
    const int b = addr / kStoreBlockWords;
    const int offset = addr % kStoreBlockWords;
    const int head = disc_word(disc::kHead);
    const int first = pool_word(head + kNextLink);

    int p = first;
    if (pool_word(first + kBlockHeld) != b) {
        // Walk the chain: the buffer holding b, else the first empty one,
        // else the least recently used (the last), written back if changed.
        int prev = head;
        for (int steps = 0;; ++steps) {
            if (steps > disc_word(disc::kMaxBuffers)) programming_error();  // broken chain
            if (pool_word(p + kBlockHeld) == b) break;
            if (pool_word(p + kBlockHeld) < 0) {
                load_block(p, b);
                break;
            }
            if (pool_word(p + kNextLink) <= 0) {
                if (pool_word(p + kDirtyFlag) == kDirty) write_back(p);
                load_block(p, b);
                break;
            }
            prev = p;
            p = pool_word(p + kNextLink);
        }
        // Move it to the front of the chain.
        if (p != first) {
            pool_word(prev + kNextLink) = pool_word(p + kNextLink);
            pool_word(p + kNextLink) = first;
            pool_word(head + kNextLink) = p;
        }
    }

    // The segment: from the offset to the end of the range or of the block.
    const int count = std::min(disc_word(disc::kLeft), kStoreBlockWords - offset);
    disc_word(disc::kBuffer) = p;
    disc_word(disc::kOffset) = offset;
    disc_word(disc::kSegFirst) = p + kFirstWord + offset;
    disc_word(disc::kSegLast) = p + kFirstWord + offset + count - 1;
    disc_word(disc::kBufLast) = p + kFirstWord + kStoreBlockWords - 1;
    disc_word(disc::kLeft) -= count;
    disc_word(disc::kAddress) += count;
}

namespace {

// Runs a transfer of n words from addr through the pool; copy(segment
// pointer, array position, count) moves one segment.
template <class Copy>
void transfer(int addr, int n, bool writing, Copy copy) {
    if (n <= 0) return;
    check_range(addr, n);
    disc_word(disc::kAddress) = addr;
    disc_word(disc::kLeft) = n;
    disc_word(disc::kArrayPos) = 1;
    while (disc_word(disc::kLeft) > 0) {
        XFNDB();
        const int p = disc_word(disc::kBuffer);
        if (writing) pool_word(p + kDirtyFlag) = kDirty;
        const int seg_first = disc_word(disc::kSegFirst);
        const int count = disc_word(disc::kSegLast) - seg_first + 1;
        disc_word(disc::kCursor) = seg_first;
        copy(XBUFD.at(static_cast<std::size_t>(seg_first)), disc_word(disc::kArrayPos) - 1, count);
        disc_word(disc::kArrayPos) += count;
        disc_word(disc::kCursor) = seg_first + count;
    }
}

}  // namespace

void XUP(int addr, const Word* array, int n) {
    transfer(addr, n, true, [array](Word* seg, int pos, int count) { copy_words(seg, array + pos, count); });
}

void XDWN(int addr, Word* array, int n) {
    transfer(addr, n, false, [array](Word* seg, int pos, int count) { copy_words(array + pos, seg, count); });
}

void XDUMP() {
    if (disc_word(disc::kState) < 0) return;
    bool wrote = false;
    int p = pool_word(disc_word(disc::kHead) + kNextLink);
    for (int steps = 0; p > 0; ++steps) {
        if (steps > disc_word(disc::kMaxBuffers)) programming_error();  // broken chain
        if (pool_word(p + kDirtyFlag) == kDirty) {
            write_back(p);
            wrote = true;
        }
        p = pool_word(p + kNextLink);
    }
    // A dump is the point at which a change is in the file: push it past
    // the run-time's own buffering.
    if (wrote && units().flush(XDISU.I(xdisu::kUnit)) != IO_OK) {
        lst("(' xstor: ',i5,' error')", {static_cast<int>(IO_WRITE_FAILED)});
        zstop(200);
    }
}

void forget_buffered_blocks() {
    if (disc_word(disc::kState) < 0) return;
    int p = pool_word(disc_word(disc::kHead) + kNextLink);
    for (int steps = 0; p > 0; ++steps) {
        if (steps > disc_word(disc::kMaxBuffers)) programming_error();  // broken chain
        pool_word(p + kBlockHeld) = kNone;
        pool_word(p + kDirtyFlag) = 0;
        p = pool_word(p + kNextLink);
    }
}

void XFTCH(int block, Word* buf, int n) {
    if (n < 1 || n > kStoreBlockWords) programming_error();
    const int unit = XDISU.I(xdisu::kUnit);
    const int rec = block + 1;
    const int status = units().read_direct(unit, rec, buf, n);
    if (status <= 0) return;
    if (status == IO_BEYOND_END) {
        if (record_bytes_present(unit, rec) == 0) {
            // A block that was never written: it reads as zeros, and the
            // zero block is written so that the file covers it.
            const int words = std::min(KWLNT(n), n);
            std::fill(buf, buf + words, Word{});
            prepare_store_write(rec);
            const int wstatus = units().write_direct(unit, rec, buf, words);
            if (wstatus <= 0) return;
            lst("(' xftch: ',i5,' error - unit =',i5)", {wstatus, unit});
            zstop(100);
        }
        // Part of the block is in the file and the rest is missing: the
        // file has been cut short. Its words are real data, so they are
        // neither replaced by zeros nor read as if the block were whole.
        lst("(' xftch: ',i5,' error - unit =',i5)", {status, unit});
        lst("(' xftch: record',i8,' is incomplete - the structure file has been cut short')", {rec});
        zstop(100);
    }
    lst("(' xftch: ',i5,' error - unit =',i5)", {status, unit});
    zstop(100);
}

void XSTOR(int block, const Word* buf, int n) {
    if (n < 1 || n > kStoreBlockWords) programming_error();
    prepare_store_write(block + 1);
    const int status = units().write_direct(XDISU.I(xdisu::kUnit), block + 1, buf, n);
    if (status > 0) {
        lst("(' xstor: ',i5,' error')", {status});
        zstop(200);
    }
}

}  // namespace zanek
