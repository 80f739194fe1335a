// The structure-file store: the block buffer pool, the file index and the
// list routines. The file's bytes are checked with a reader of its own that
// knows only the record layout: 8192-byte records, store address A at byte
// 8192*(A div 512) + 4*(A mod 512), little-endian 4-byte words.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <sys/stat.h>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "jobcontrol/records/job.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/safeguard.h"
#include "jobcontrol/store/store.h"
#include "jobcontrol/zanek.h"
#include "platform/listing.h"
#include "platform/stop.h"
#include "platform/units.h"
#include "tests/support/test_support.h"

using namespace zanek;
namespace fs = std::filesystem;

namespace {

constexpr int kStoreUnit = 30;
constexpr int kListingUnit = 2;

// --- An independent reader and patcher of the file ---------------------

std::streamoff byte_of(int addr) { return 8192LL * (addr / 512) + 4LL * (addr % 512); }

uint32_t file_bits(const std::string& path, int addr) {
    std::ifstream f(path, std::ios::binary);
    f.seekg(byte_of(addr));
    unsigned char b[4] = {0, 0, 0, 0};
    f.read(reinterpret_cast<char*>(b), 4);
    if (!f) ADD_FAILURE() << "word " << addr << " is not in the file";
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}
int32_t file_int(const std::string& path, int addr) { return static_cast<int32_t>(file_bits(path, addr)); }
float file_real(const std::string& path, int addr) {
    uint32_t u = file_bits(path, addr);
    float x;
    std::memcpy(&x, &u, 4);
    return x;
}

void patch_bits(const std::string& path, int addr, uint32_t u) {
    std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(byte_of(addr));
    unsigned char b[4] = {static_cast<unsigned char>(u), static_cast<unsigned char>(u >> 8),
                          static_cast<unsigned char>(u >> 16), static_cast<unsigned char>(u >> 24)};
    f.write(reinterpret_cast<char*>(b), 4);
}
void patch_int(const std::string& path, int addr, int32_t v) { patch_bits(path, addr, static_cast<uint32_t>(v)); }

struct Row {
    int present, serial, first, last, part, length;
    bool operator==(const Row&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Row& r) {
    return os << "(" << r.present << "," << r.serial << "," << r.first << "," << r.last << "," << r.part << ","
              << r.length << ")";
}
Row file_row(const std::string& path, int t) {
    int a = 1650 + 6 * t;
    return {file_int(path, a), file_int(path, a + 1), file_int(path, a + 2),
            file_int(path, a + 3), file_int(path, a + 4), file_int(path, a + 5)};
}

// --- The fixture: one run of the program on one structure file ---------

class Store : public ::testing::Test {
protected:
    std::string dir, path, lis;

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = test::fresh_dir(std::string("store_") + info->name());
        path = dir + "/struct.bin";
        lis = dir + "/store.lis";
        set_listing_unit(kListingUnit);
        units().open_seq(kListingUnit, lis, OpenStatus::Unknown, FileForm::Formatted);
        reset_job_records();
        reset_store_records();
    }
    void TearDown() override {
        units().close(kStoreUnit);
        units().close(kListingUnit);
    }

    // Starts a run: fresh records, pool of `pool_size` words, file opened.
    void start_run(int pool_size = 800) {
        units().close(kStoreUnit);
        reset_store_records();
        XDISU.I(xdisu::kUnit) = kStoreUnit;
        int next = 0;
        XGIV(1, pool_size, next);
        ASSERT_EQ(units().open_direct(kStoreUnit, path, false, 2048), IO_OK);
    }

    // What the first job of a run does with the file; returns the new-file
    // flag, or kRefused when the file is refused.
    static constexpr int kRefused = -1;
    int first_job(bool initialize = false) {
        int new_file = 0;
        return load_or_initialise_index(initialize, new_file) ? new_file : kRefused;
    }

    void end_run() {
        units().close(kStoreUnit);  // as the main program: no final dump
    }

    // Forms an n-word list image of the given type at DATA(XLIMI(1)) whose
    // words after the header are tag*1000 + k, and stores it.
    void store_list(int type, int n, int tag) {
        XLIMI.I(xlimi::kNextFree) = XLIMI.I(xlimi::kListBase);
        XCLN(type);
        for (int k = 6; k <= n; ++k) DATA.I(XLIMI.I(xlimi::kNextFree) + k - 1) = tag * 1000 + k;
        SFRML(type, n);
    }

    std::string listing() {
        lst_flush();
        return test::read_file(lis);
    }
    long long file_size() { return static_cast<long long>(fs::file_size(path)); }
};

int stop_code(const std::function<void()>& f) {
    try {
        f();
    } catch (const ZanekStop& s) {
        return s.code;
    }
    return -99999;  // no stop
}

// ======================================================================
// Block buffer pool
// ======================================================================

TEST(BufferPool, BuildsAsManyBuffersAsFitTheSizeAndTheRecord) {
    struct Case { int base, size, next, state; };
    const Case cases[] = {
        {1, 800, 521, 1},      // the spooler's call: one buffer
        {1, 520, 521, 1},      // exactly one buffer
        {1, 519, 1, -1},       // none fits
        {1, 1600, 1553, 1},    // three buffers fill the record
        {1, 100000, 1553, 1},  // never beyond the record
        {100, 1600, 1136, 1},  // two buffers from word 100
        {0, 800, 0, -1},       // no pool outside the record
    };
    for (const Case& c : cases) {
        reset_store_records();
        int next = -1;
        XGIV(c.base, c.size, next);
        EXPECT_EQ(next, c.next) << c.base << "," << c.size;
        EXPECT_EQ(XDISC.I(disc::kState), c.state) << c.base << "," << c.size;
        if (c.state > 0) {
            // Head, then a chain of empty clean buffers ending in -10000.
            EXPECT_EQ(XBUFD.I(c.base), -10000);
            int p = XBUFD.I(c.base + xbufd::kNextLink), n = 0;
            while (p > 0) {
                EXPECT_EQ(XBUFD.I(p + xbufd::kBlockHeld), -10000);
                EXPECT_EQ(XBUFD.I(p + xbufd::kDirtyFlag), 0);
                p = XBUFD.I(p + xbufd::kNextLink);
                ++n;
            }
            EXPECT_EQ(p, -10000);
            EXPECT_EQ(c.base + 4 + 516 * n, c.next);
        }
    }
}

TEST(BufferPool, KwlntRoundsUpToWholeBlocks) {
    EXPECT_EQ(KWLNT(1), 512);
    EXPECT_EQ(KWLNT(512), 512);
    EXPECT_EQ(KWLNT(513), 1024);
    EXPECT_EQ(KWLNT(0), 0);
}

TEST_F(Store, TransferWithoutPoolStops46AndDumpDoesNothing) {
    reset_store_records();
    XDUMP();  // before XGIV: nothing happens
    Word w{};
    EXPECT_EQ(stop_code([&] { XDWN(1600, &w, 1); }), 46);
    int next = 0;
    XGIV(1, 519, next);  // too small: still no pool
    EXPECT_EQ(stop_code([&] { XUP(1600, &w, 1); }), 46);
    EXPECT_NE(listing().find(" *** error *** no buffers allocated to the disc routines"), std::string::npos);
}

TEST_F(Store, FirstReadOfAnEmptyFileWritesAZeroBlock) {
    start_run();
    ASSERT_EQ(file_size(), 0);
    Word w[10];
    for (Word& x : w) x.i = 77;
    XDWN(1600, w, 10);
    for (Word& x : w) EXPECT_EQ(x.i, 0);
    units().flush(kStoreUnit);
    // Block 3 (record 4) now exists, a whole record long.
    EXPECT_EQ(file_size(), 4 * 8192);
    // A block far beyond: the file grows to cover it, all zeros.
    XDWN(10 * 512 + 5, w, 1);
    units().flush(kStoreUnit);
    EXPECT_EQ(file_size(), 11 * 8192);
    EXPECT_EQ(file_int(path, 10 * 512 + 5), 0);
}

TEST_F(Store, OneBufferWritesBackEachBlockWhenTheNextIsNeeded) {
    start_run();  // one buffer
    // 900 words from address 1000 cover blocks 1 (24 words), 2 and 3.
    std::vector<Word> a(900);
    for (int k = 0; k < 900; ++k) a[k].i = 500000 + k;
    XUP(1000, a.data(), 900);
    units().flush(kStoreUnit);
    // Blocks 1 and 2 were evicted (written); block 3 is still only in the buffer.
    EXPECT_EQ(file_int(path, 1000), 500000);
    EXPECT_EQ(file_int(path, 1023), 500023);   // last word of block 1
    EXPECT_EQ(file_int(path, 1024), 500024);   // first of block 2
    EXPECT_EQ(file_int(path, 1535), 500535);
    EXPECT_EQ(file_int(path, 1536), 0);        // block 3 was read as zeros and written so
    XDUMP();
    EXPECT_EQ(file_int(path, 1536), 500536);
    EXPECT_EQ(file_int(path, 1899), 500899);
    // The words around the range keep what they held.
    EXPECT_EQ(file_int(path, 999), 0);
    EXPECT_EQ(file_int(path, 1900), 0);
    // Read back across the boundaries, through the one buffer.
    std::vector<Word> b(900);
    XDWN(1000, b.data(), 900);
    for (int k = 0; k < 900; ++k) ASSERT_EQ(b[k].i, 500000 + k) << k;
}

TEST_F(Store, PartialWriteKeepsTheRestOfTheBlock) {
    start_run();
    std::vector<Word> a(512);
    for (int k = 0; k < 512; ++k) a[k].i = k + 1;
    XUP(2048, a.data(), 512);  // block 4 whole
    XDUMP();
    end_run();
    start_run();
    Word w = word_of_int(-5);
    XUP(2048 + 100, &w, 1);
    XDUMP();
    EXPECT_EQ(file_int(path, 2048 + 99), 100);
    EXPECT_EQ(file_int(path, 2048 + 100), -5);
    EXPECT_EQ(file_int(path, 2048 + 101), 102);
}

TEST_F(Store, SeveralBuffersKeepRecentBlocksAndEvictTheLeastRecent) {
    start_run(1600);  // three buffers
    Word w;
    for (int b = 0; b < 3; ++b) {
        w = word_of_int(100 + b);
        XUP(512 * b, &w, 1);  // blocks 0, 1, 2 dirty
    }
    units().flush(kStoreUnit);
    // Nothing has reached the file but the zero blocks read on first use.
    EXPECT_EQ(file_int(path, 0), 0);
    EXPECT_EQ(file_int(path, 512), 0);
    XDWN(0, &w, 1);  // block 0 becomes the most recent; block 1 the least
    w = word_of_int(103);
    XUP(512 * 3, &w, 1);  // block 3 needs a buffer: block 1 goes
    units().flush(kStoreUnit);
    EXPECT_EQ(file_int(path, 512), 101);  // evicted, written back
    EXPECT_EQ(file_int(path, 0), 0);      // still resident, not written
    EXPECT_EQ(file_int(path, 1024), 0);
    XDUMP();
    for (int b = 0; b < 4; ++b) EXPECT_EQ(file_int(path, 512 * b), 100 + b);
    // After a dump nothing is dirty: a second dump writes nothing, so a
    // change made to the file behind the pool's back survives it.
    patch_int(path, 1024, 999);
    XDUMP();
    EXPECT_EQ(file_int(path, 1024), 999);
}

TEST_F(Store, ReadingAResidentBlockDoesNotTouchTheFile) {
    start_run();
    Word w = word_of_int(42);
    XUP(1700, &w, 1);
    XDUMP();
    // Change the file behind the pool's back: the resident block still answers.
    patch_int(path, 1700, 43);
    Word r{};
    XDWN(1700, &r, 1);
    EXPECT_EQ(r.i, 42);
    // Once another block has taken the buffer, the file is read again.
    XDWN(0, &r, 1);
    XDWN(1700, &r, 1);
    EXPECT_EQ(r.i, 43);
}

TEST_F(Store, RebuildingThePoolWritesPendingChangesFirst) {
    start_run();
    Word w = word_of_int(31);
    XUP(1800, &w, 1);
    int next = 0;
    XGIV(1, 800, next);
    units().flush(kStoreUnit);
    EXPECT_EQ(file_int(path, 1800), 31);
}

// ======================================================================
// Record transfers on damaged files
// ======================================================================

TEST_F(Store, TruncatedRecordStopsWithoutTouchingTheFile) {
    start_run();
    ASSERT_EQ(first_job(), 1);
    store_list(1, 40, 1);
    end_run();
    // Cut the file inside the used part of record 4 (block 3, the index).
    const long long cut = 3 * 8192 + 1000;
    fs::resize_file(path, cut);
    const std::string before = test::read_file(path);
    start_run();
    // The first job finds no whole index block and refuses the file; a read
    // of the cut record stops.
    EXPECT_EQ(first_job(), kRefused);
    Word header[10];
    EXPECT_EQ(stop_code([&] { XDWN(1600, header, 10); }), 100);
    units().close(kStoreUnit);
    EXPECT_EQ(file_size(), cut);
    EXPECT_EQ(test::read_file(path), before);
    const std::string l = listing();
    EXPECT_NE(l.find(" xftch:    36 error - unit =   30"), std::string::npos) << l;
    EXPECT_NE(l.find(" xftch: record       4 is incomplete - the structure file has been cut short"),
              std::string::npos) << l;
}

// A file cut at a record boundary: the lists the index names beyond its
// end are lost words, never free space to be read as zero blocks.
TEST_F(Store, ListsBeyondTheEndOfACutFileStop1111WithoutTouchingIt) {
    struct Case { const char* what; long long cut; int list; };
    // List 1 lies in block 3, list 2 in blocks 3 to 4, list 15 in blocks 4 to 6.
    const Case cases[] = {
        {"last block of list 15 missing", 6 * 8192, 15},
        {"list 15 wholly missing", 4 * 8192 + 2048 - 4, 2},
        {"everything after the index block missing", 4 * 8192, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::write_file(path, "");
        start_run();
        ASSERT_EQ(first_job(), 1);
        store_list(1, 20, 1);
        store_list(2, 300, 2);
        store_list(15, 1000, 15);
        end_run();
        ASSERT_GE(file_size(), 6 * 8192 + 2048);
        fs::resize_file(path, c.cut);
        const std::string before = test::read_file(path);
        start_run();
        EXPECT_EQ(stop_code([&] { first_job(); }), 1111);
        units().close(kStoreUnit);
        EXPECT_EQ(test::read_file(path), before);
        char text[64];
        std::snprintf(text, sizeof text, " requested list%4d has been corrupted", c.list);
        EXPECT_NE(listing().find(text), std::string::npos) << listing();
        test::write_file(lis, "");
        units().open_seq(kListingUnit, lis, OpenStatus::Unknown, FileForm::Formatted);
    }
}

TEST_F(Store, SpaceTakenButNeverWrittenIsFreeSpace) {
    start_run();
    first_job();
    store_list(1, 20, 1);
    // A run that took space and stopped before the list was written: the
    // next free address lies far beyond the end of the file.
    const int taken = take_store_space(5000);
    end_run();
    ASSERT_LT(file_size(), 8192LL * ((taken + 5000) / 512));
    start_run();
    EXPECT_EQ(first_job(), 0);
    store_list(2, 30, 2);
    end_run();
    EXPECT_EQ(file_row(path, 2), (Row{2, 1, taken + 5000, taken + 5029, 0, 30}));
    EXPECT_EQ(file_int(path, taken + 5029), 2030);
}

TEST_F(Store, RecordCutInItsUnusedTailStillReads) {
    start_run();
    first_job();
    constexpr int kLength = 40;
    store_list(1, kLength, 1);
    end_run();
    // Only the unused 6144 bytes of the last record are missing.
    fs::resize_file(path, 3 * 8192 + 2048);
    start_run();
    EXPECT_EQ(first_job(), 0);
    int serial = 0, n = 0;
    SRDLS(1, serial, 1, n);
    EXPECT_EQ(n, kLength);
    EXPECT_EQ(DATA.I(kLength), 1000 + kLength);  // the last word, read from DATA word 1
}

TEST_F(Store, OtherReadErrorsStop100) {
    reset_store_records();
    XDISU.I(xdisu::kUnit) = kStoreUnit;
    int next = 0;
    XGIV(1, 800, next);
    Word w;
    // Nothing is connected to the unit.
    EXPECT_EQ(stop_code([&] { XDWN(1600, &w, 1); }), 100);
    EXPECT_NE(listing().find(" xftch:    31 error - unit =   30"), std::string::npos);
}

TEST_F(Store, WriteErrorsStop200) {
    Word buf[512] = {};
    XDISU.I(xdisu::kUnit) = kStoreUnit;  // not connected
    EXPECT_EQ(stop_code([&] { XSTOR(3, buf, 512); }), 200);
    EXPECT_NE(listing().find(" xstor:    31 error"), std::string::npos);
}

// ======================================================================
// File index
// ======================================================================

TEST_F(Store, NewFileGetsAnEmptyIndexWithTheJobTitle) {
    set_job_title("test structure for the store");
    start_run();
    EXPECT_EQ(first_job(), 1);
    end_run();
    EXPECT_EQ(file_size(), 4 * 8192);
    const int header[10] = {1890, 240, 1650, 50, 11, 6, -10000, 10000, -10000, -10000};
    for (int w = 1; w <= 10; ++w) EXPECT_EQ(file_int(path, 1599 + w), header[w - 1]) << "header word " << w;
    std::string title;
    for (int w = 11; w <= 30; ++w) {
        uint32_t u = file_bits(path, 1599 + w);
        for (int b = 0; b < 4; ++b) title.push_back(static_cast<char>(u >> (8 * b)));
    }
    EXPECT_EQ(title, "test structure for the store" + std::string(52, ' '));
    for (int w = 31; w <= 50; ++w) EXPECT_EQ(file_int(path, 1599 + w), -10000) << "header word " << w;
    EXPECT_EQ(file_row(path, 0), (Row{10000, 39, 1650, 1889, 6, 240}));
    for (int t = 1; t <= 39; ++t) EXPECT_EQ(file_row(path, t), (Row{0, 0, 0, 0, 0, 0})) << t;
    EXPECT_EQ(XFILE.I(xfile::kIndexState), xfile::kLoaded);
}

TEST_F(Store, StoredListBytesAndRowAreInTheFile) {
    start_run();
    first_job();
    store_list(1, 20, 7);
    end_run();
    // The first list starts at 1890: block 3, offset 354.
    EXPECT_EQ(byte_of(1890), 3 * 8192 + 4 * 354);
    EXPECT_EQ(file_real(path, 1890), 11111.0f);
    EXPECT_EQ(file_real(path, 1891), 1.0f);
    EXPECT_EQ(file_real(path, 1892), 1.0f);  // serial no.
    EXPECT_EQ(file_real(path, 1893), 0.0f);
    EXPECT_EQ(file_real(path, 1894), -1.0f);
    for (int k = 6; k <= 20; ++k) EXPECT_EQ(file_int(path, 1889 + k), 7000 + k);
    EXPECT_EQ(file_row(path, 1), (Row{1, 1, 1890, 1909, 0, 20}));
    EXPECT_EQ(file_int(path, 1600), 1910);  // next free address
}

TEST_F(Store, ASecondRunFindsTheListsAndTheStoredTitle) {
    set_job_title("first run title");
    start_run();
    first_job();
    store_list(2, 30, 2);
    store_list(15, 600, 15);  // crosses from block 3 into block 4
    end_run();

    reset_job_records();
    set_job_title("second run title");
    start_run();
    EXPECT_EQ(first_job(), 0);
    EXPECT_EQ(job_title(), "first run title" + std::string(65, ' '));
    int serial = 0, first = 0, last = 0, part = 0, length = 0;
    SRLIN(15, serial, first, last, part, length);
    EXPECT_EQ((Row{15, serial, first, last, part, length}), (Row{15, 1, 1920, 2519, 0, 600}));
    int n = 0;
    DATA.clear();
    SRDLS(15, serial, 1, n);
    EXPECT_EQ(n, 600);
    // Read from DATA word 1, DATA word k is list word k: the stored header
    // starts with the marker and the type.
    EXPECT_EQ(DATA.R(1), 11111.0f);
    EXPECT_EQ(DATA.R(2), 15.0f);
    for (int k = 6; k <= 600; ++k) ASSERT_EQ(DATA.I(k), 15000 + k) << k;
    SRDLS(2, serial, 1, n);
    EXPECT_EQ(n, 30);
    EXPECT_EQ(DATA.I(30), 2030);  // list word 30
}

TEST_F(Store, SowlReusesSpaceByStoredLengthAndCountsSerials) {
    start_run();
    first_job();
    // Each step: store type 15 with n words; expected row afterwards and
    // the next free address.
    struct Step { int n; Row row; int next_free; };
    const Step steps[] = {
        {30, {15, 1, 1890, 1919, 0, 30}, 1920},  // new file: first list at 1890
        {25, {15, 2, 1890, 1919, 0, 25}, 1920},  // shorter: same space, reserved end kept
        {28, {15, 3, 1920, 1947, 0, 28}, 1948},  // longer than the stored 25: new space
        {28, {15, 4, 1920, 1947, 0, 28}, 1948},  // equal: reused
    };
    for (const Step& s : steps) {
        store_list(15, s.n, s.row.serial);
        EXPECT_EQ(file_row(path, 15), s.row) << s.n;
        EXPECT_EQ(file_int(path, 1600), s.next_free) << s.n;
        EXPECT_EQ(file_real(path, s.row.first + 2), static_cast<float>(s.row.serial)) << s.n;
    }
    // SOWL itself reports the allocation it makes.
    int serial = -7, first = 0, last = 0, part = 9, length = 0;
    SOWL(100, 3, serial, first, last, part, length);
    EXPECT_EQ((Row{3, serial, first, last, part, length}), (Row{3, 1, 1948, 2047, 0, 100}));
    EXPECT_EQ(file_int(path, 1600), 2048);
}

TEST_F(Store, DeletedListIsStoredAgainInNewSpaceWithSerialOne) {
    start_run();
    first_job();
    store_list(30, 40, 1);
    store_list(30, 40, 2);
    EXPECT_EQ(file_row(path, 30), (Row{30, 2, 1890, 1929, 0, 40}));
    CANCELLA(30);
    // Only word 1 of the row is cleared, in the file too.
    EXPECT_EQ(file_row(path, 30), (Row{0, 2, 1890, 1929, 0, 40}));
    int serial = 0, first = 0, last = 0, part = 0, length = 0;
    SRLIN(30, serial, first, last, part, length);
    EXPECT_EQ(first, -1);
    store_list(30, 40, 3);
    EXPECT_EQ(file_row(path, 30), (Row{30, 1, 1930, 1969, 0, 40}));
    // Types outside the table are ignored.
    CANCELLA(0);
    CANCELLA(40);
    EXPECT_EQ(file_row(path, 30), (Row{30, 1, 1930, 1969, 0, 40}));
}

TEST_F(Store, SrlinOutsideTheTableAndForAbsentLists) {
    // With type 0 or below the index is not even loaded: no file, no pool.
    for (int type : {0, -1, -39}) {
        int serial = 11, first = 0, last = 12, part = 13, length = 14;
        SRLIN(type, serial, first, last, part, length);
        EXPECT_EQ(first, -1);
        EXPECT_EQ((Row{0, serial, 0, last, part, length}), (Row{0, 11, 0, 12, 13, 14}));
    }
    EXPECT_EQ(XFILE.I(xfile::kIndexState), xfile::kNotLoaded);

    start_run();
    first_job();
    store_list(39, 10, 1);
    for (int type : {40, 41, 5}) {
        int serial = 11, first = 0, last = 12, part = 13, length = 14;
        SRLIN(type, serial, first, last, part, length);
        EXPECT_EQ(first, -1) << type;
        EXPECT_EQ((Row{0, serial, 0, last, part, length}), (Row{0, 11, 0, 12, 13, 14})) << type;
    }
    int serial = 0, first = 0, last = 0, part = 0, length = 0;
    SRLIN(39, serial, first, last, part, length);
    EXPECT_EQ((Row{39, serial, first, last, part, length}), (Row{39, 1, 1890, 1899, 0, 10}));
}

TEST_F(Store, SrlinLoadsTheIndexOnFirstUse) {
    start_run();
    first_job();
    store_list(7, 12, 1);
    end_run();
    start_run();  // index state -1: the first SRLIN loads it
    int serial = 0, first = 0, last = 0, part = 0, length = 0;
    SRLIN(7, serial, first, last, part, length);
    EXPECT_EQ(first, 1890);
    EXPECT_EQ(XFILE.I(xfile::kIndexState), xfile::kLoaded);
}

TEST_F(Store, SrdlsReadsOnlyThePartOfAStreamedList) {
    start_run();
    first_job();
    // A streamed list: 19 header words then items, part length 19.
    // Formed at DATA word 1, so that DATA word k holds list word k.
    constexpr int kImage = 1, kLength = 100, kPart = 19;
    XLIMI.I(xlimi::kNextFree) = kImage;
    XCLN(24);
    for (int k = 6; k <= kLength; ++k) DATA.I(kImage + k - 1) = k;
    int serial = 0, first = 0, last = 0, part = 0, length = 0;
    SOWL(kLength, 24, serial, first, last, part, length);
    XUP(first, DATA.at(kImage), kLength);
    SWLIN(24, serial, first, first + kLength - 1, kPart, kLength);
    XDUMP();
    EXPECT_EQ(file_row(path, 24), (Row{24, 1, 1890, 1989, 19, 100}));

    constexpr int kReadAt = kImage + kLength;  // just after the image
    for (int k = kImage; k < kReadAt + kLength; ++k) DATA.I(k) = -1;
    int n = 0, got_serial = 0;
    SRDLS(24, got_serial, kReadAt, n);
    EXPECT_EQ(n, -19);
    EXPECT_EQ(got_serial, 1);
    EXPECT_EQ(DATA.R(kReadAt), 11111.0f);
    EXPECT_EQ(DATA.I(kReadAt + kPart - 1), 19);
    EXPECT_EQ(DATA.I(kReadAt + kPart), -1);  // nothing beyond the part
    EXPECT_EQ(DATA.I(kReadAt - 1), -1);
}

TEST_F(Store, SrdlsOfAnAbsentListStops1111) {
    start_run();
    first_job();
    int serial = 0, n = 0;
    EXPECT_EQ(stop_code([&] { SRDLS(5, serial, 1, n); }), 1111);
    const auto lines = test::split_lines(listing());
    ASSERT_GE(lines.size(), 5u);
    const size_t k = lines.size() - 2;
    EXPECT_EQ(lines[k], " no list of type    5  stored");
    EXPECT_EQ(lines[k - 1], "");
    EXPECT_EQ(lines[k - 3], "");
    EXPECT_EQ(lines[k + 1], "");
}

TEST_F(Store, SrdlsRefusesAListWhoseTypeWordDiffers) {
    start_run();
    first_job();
    store_list(7, 12, 1);
    patch_bits(path, 1891, 0x40000000u);  // header word 2 := 2.0
    end_run();
    start_run();
    first_job();
    int serial = 0, n = 0;
    EXPECT_EQ(stop_code([&] { SRDLS(7, serial, 1, n); }), 1111);
    EXPECT_NE(listing().find("\n\n requested list   7 has been corrupted"), std::string::npos);
}

TEST_F(Store, SrdlsRefusesAListThatDoesNotFitTheImageArea) {
    start_run();
    first_job();
    constexpr int kLength = 4000;
    store_list(15, kLength, 1);
    int serial = 0, n = 0;
    const int last = static_cast<int>(DATA.size());  // word 5000
    const int fits_exactly = last - kLength + 1;     // word 1001
    DATA.I(last) = -3;
    EXPECT_EQ(stop_code([&] { SRDLS(15, serial, fits_exactly + 1, n); }), 1111);
    EXPECT_EQ(DATA.I(last), -3);  // nothing was read into DATA
    EXPECT_NE(listing().find(" requested list  15 has been corrupted"), std::string::npos);
    SRDLS(15, serial, fits_exactly, n);
    EXPECT_EQ(n, kLength);
    EXPECT_EQ(DATA.I(last), 1000 + kLength);
}

TEST_F(Store, InvalidListTypes) {
    start_run();
    first_job();
    // SWLIN stops; SFRML of a type below 1 only reports, but its space is taken.
    EXPECT_EQ(stop_code([&] { SWLIN(40, 1, 1890, 1899, 0, 10); }), 1111);
    EXPECT_NE(listing().find("\n\n\n     40 is not a valid list type"), std::string::npos);
    store_list(0, 10, 1);
    EXPECT_NE(listing().find("\n      0 is not a valid list type"), std::string::npos);
    EXPECT_EQ(file_int(path, 1600), 1900);
    for (int t = 1; t <= 39; ++t) EXPECT_EQ(file_row(path, t).present, 0);
}

TEST_F(Store, InitializeOnAValidFileStartsAnEmptyIndex) {
    start_run();
    first_job();
    store_list(1, 55, 1);
    store_list(2, 100, 1);
    end_run();
    set_job_title("new title");
    start_run();
    EXPECT_EQ(first_job(true), 1);
    int serial = 0, first = 0, last = 0, part = 0, length = 0;
    SRLIN(1, serial, first, last, part, length);
    EXPECT_EQ(first, -1);
    store_list(2, 10, 5);
    EXPECT_EQ(file_row(path, 2), (Row{2, 1, 1890, 1899, 0, 10}));
    EXPECT_EQ(file_bits(path, 1610), uint32_t('n') | uint32_t('e') << 8 | uint32_t('w') << 16 | uint32_t(' ') << 24);
}

TEST_F(Store, ZeroLengthFileGetsANewIndex) {
    test::write_file(path, "");
    start_run();
    EXPECT_EQ(first_job(), 1);
    store_list(1, 20, 1);
    end_run();
    EXPECT_EQ(file_row(path, 1), (Row{1, 1, 1890, 1909, 0, 20}));
    EXPECT_EQ(file_int(path, 1607), 10000);
}

// A file that is not empty and has no index of ours (a mistyped name, a
// damaged index block) is given a new index only when the job holds
// %initialize; otherwise the first job names it and refuses it, and not a
// byte of it changes.
TEST_F(Store, FileWithoutAValidIndexIsRefusedUntouchedUnlessInitializeAsksForANewOne) {
    enum Kind { Text, StructureFile };
    struct Case { const char* what; Kind kind; int patch_addr; bool initialize; };
    const Case cases[] = {
        {"short text file", Text, 0, false},
        {"short text file, initialize", Text, 0, true},
        {"long text file", Text, 0, false},
        {"long text file, initialize", Text, 0, true},
        {"text file ending inside the index record, initialize", Text, 0, true},
        {"index magic damaged", StructureFile, 1607, false},
        {"index magic damaged, initialize", StructureFile, 1607, true},
        {"table magic damaged", StructureFile, 1650, false},
        {"table magic damaged, initialize", StructureFile, 1650, true},
    };
    DOTDAT.name[1] = "struct.bin";  // the name the run opens (path is the same file)
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string what = c.what;
        if (c.kind == Text) {
            const std::size_t size = what.find("long") != std::string::npos     ? 5 * 8192 + 100
                                     : what.find("inside") != std::string::npos ? 3 * 8192 + 1000
                                                                                : 0;
            test::write_file(path, size ? std::string(size, 'x') : "%job mistyped\n%data\n%end\n");
        } else {
            test::write_file(path, "");
            start_run();
            first_job();
            store_list(1, 20, 1);
            end_run();
            patch_int(path, c.patch_addr, 12345);
        }
        const std::string before = test::read_file(path);
        start_run();
        if (c.initialize) {
            // The user asked for a new file: a new empty index, whatever
            // the file held, which the next run loads.
            EXPECT_EQ(first_job(true), 1);
            end_run();
            EXPECT_NE(test::read_file(path), before);
            start_run();
            EXPECT_EQ(first_job(), 0);
            int serial = 0, first = 0, last = 0, part = 0, length = 0;
            SRLIN(1, serial, first, last, part, length);
            EXPECT_EQ(first, -1);
            EXPECT_EQ(file_int(path, 1600), 1890);  // the next list goes where a new file's first does
            end_run();
            EXPECT_EQ(listing().find("holds no valid structure file index"), std::string::npos);
        } else {
            EXPECT_EQ(first_job(), kRefused);
            end_run();
            EXPECT_EQ(test::read_file(path), before);
            const std::string l = listing();
            EXPECT_NE(l.find(" *** error *** file struct.bin is not empty and holds no valid structure file index\n"
                             "               it is left untouched: check the name given with %structure\n"),
                      std::string::npos) << l;
            EXPECT_EQ(l.find(" the file index has been corrupted") != std::string::npos, c.patch_addr == 1650) << l;
        }
        test::write_file(lis, "");
        units().open_seq(kListingUnit, lis, OpenStatus::Unknown, FileForm::Formatted);
    }
}

// A valid index whose words have been damaged: the first job says so and
// refuses the file without writing to it, and every later load (SLDF)
// stops with " the file index has been corrupted" and 1111, before any list
// is read.
TEST_F(Store, CorruptIndexStops1111) {
    struct Case { const char* what; int addr; int32_t value; };
    const Case cases[] = {
        {"table magic", 1650, 9999},
        {"number of rows", 1651, 400},
        {"header length", 1603, 100000},
        {"header length too short", 1603, 3},
        {"title start", 1604, 45},
        {"table length", 1601, 2400},
        {"table address", 1602, -5},
        {"next free below the lists", 1599 + 1, 12},
        {"row word 1 not its type", 1650 + 6 * 1, 2},
        {"first address inside the index", 1650 + 6 * 1 + 2, 1600},
        {"negative length", 1650 + 6 * 1 + 5, -20},
        {"part longer than the list", 1650 + 6 * 1 + 4, 21},
        {"negative part", 1650 + 6 * 1 + 4, -1},
        {"list beyond its reserved end", 1650 + 6 * 1 + 3, 1900},
        {"reserved end beyond next free", 1650 + 6 * 1 + 3, 5000},
        {"huge first address", 1650 + 6 * 1 + 2, 2147483600},
    };
    DOTDAT.name[1] = "struct.bin";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::write_file(path, "");
        start_run();
        first_job();
        store_list(1, 20, 1);
        end_run();
        patch_int(path, c.addr, c.value);
        const std::string before = test::read_file(path);
        start_run();
        EXPECT_EQ(first_job(), kRefused);
        EXPECT_EQ(listing().rfind("\n the file index has been corrupted\n *** error *** file struct.bin", 0), 0u)
            << listing();
        test::write_file(lis, "");
        units().open_seq(kListingUnit, lis, OpenStatus::Unknown, FileForm::Formatted);
        EXPECT_EQ(stop_code([] { SLDF(); }), 1111);
        EXPECT_EQ(listing(), "\n the file index has been corrupted\n");
        end_run();
        EXPECT_EQ(test::read_file(path), before);
        test::write_file(lis, "");
        units().open_seq(kListingUnit, lis, OpenStatus::Unknown, FileForm::Formatted);
    }
}

TEST_F(Store, CorruptNextFreeAddressStopsAllocation) {
    start_run();
    first_job();
    store_list(1, 20, 1);
    // Damage header word 1 behind the resident index, then ask for space.
    Word w = word_of_int(-100);
    XUP(1600, &w, 1);
    EXPECT_EQ(stop_code([&] { store_list(2, 20, 1); }), 1111);
    w = word_of_int(2147483000);
    XUP(1600, &w, 1);
    EXPECT_EQ(stop_code([&] { store_list(2, 2000, 1); }), 1111);
    EXPECT_NE(listing().find(" the file index has been corrupted"), std::string::npos);
}

// ======================================================================
// Store map
// ======================================================================

TEST_F(Store, StoreMapReusesTheEntryOfAType) {
    XSAC(1, 1, 1, 55);
    XSAC(2, 3, 1, 120);
    XSAC(1, 1, 1, 70);
    EXPECT_EQ(XSAE.I(xsae::kCount), 2);
    // Type, serial, first and last DATA word of each entry.
    const int entries[2][4] = {{1, 1, 1, 70}, {2, 3, 1, 120}};
    for (int e = 1; e <= 2; ++e)
        for (int j = xsae::kType; j <= xsae::kLast; ++j)
            EXPECT_EQ(xsae::entry(e, j), entries[e - 1][j - 1]) << e << "," << j;
    XCSAE();
    EXPECT_EQ(XSAE.I(xsae::kCount), 0);
}

TEST_F(Store, StoreMapListing) {
    XSAC(1, 1, 1, 55);
    XSAC(15, 12, 1, 1020);
    XLIMI.I(xlimi::kNextFree) = 1021;
    XPAS();
    const auto lines = test::split_lines(listing());
    const std::vector<std::string> want = {
        "", "", "",
        " allocated store :",
        "",
        "     list type    serial no.         address         length",
        "",
        "            1            1             1  to     55        55",
        "           15           12             1  to   1020      1020",
        "", "",
        " free location(s) :   1021 to    5000,    3980 word(s) ",
    };
    EXPECT_EQ(lines, want);
}

TEST_F(Store, StoreOverflowPrintsTheMapAndStops) {
    struct Case { int next_free, i1, i2; bool overflow; };
    const Case cases[] = {
        {4995, 1, 100, false},
        {4996, 1, 100, true},   // the reserve of five words is gone
        {1, 1, 5000, false},    // a list filling the area exactly
        {1, 1, 5001, true},     // a list longer than the area
        {1, 4000, 5100, true},  // a list running past its end
    };
    for (const Case& c : cases) {
        reset_store_records();
        test::write_file(lis, "");
        units().open_seq(kListingUnit, lis, OpenStatus::Unknown, FileForm::Formatted);
        XLIMI.I(xlimi::kNextFree) = c.next_free;
        const int code = stop_code([&] { XSAC(19, 2, c.i1, c.i2); });
        EXPECT_EQ(code, c.overflow ? 0 : -99999) << c.next_free << " " << c.i2;
        const std::string l = listing();
        if (c.overflow) {
            EXPECT_EQ(l.rfind("1***store overflow*** (list type   19)\n\n\n\n allocated store :", 0), 0u) << l;
            EXPECT_NE(l.find("           19            2"), std::string::npos);
        } else {
            EXPECT_EQ(l, "");
        }
    }
}

TEST_F(Store, NeverCalledRoutines) {
    start_run();
    first_job();
    int n = 0;
    XNXTF(n);
    EXPECT_EQ(n, 1890);
    SNXTF(2000);
    EXPECT_EQ(file_int(path, 1600), 2000);
    constexpr int kLength = 20, kLoadAt = 7, kLastWord = kLoadAt + kLength - 1;
    store_list(3, kLength, 1);
    EXPECT_EQ(file_row(path, 3).first, 2000);
    XLIMI.I(xlimi::kNextFree) = kLoadAt;
    int serial = 0, i1 = 0, i2 = 0;
    SLDL(3, serial, i1, i2);
    EXPECT_EQ((std::vector<int>{serial, i1, i2}), (std::vector<int>{1, 7, 26}));
    EXPECT_EQ(DATA.I(kLastWord), 1000 + kLength);
    EXPECT_EQ(XLIMI.I(xlimi::kNextFree), kLoadAt);
    EXPECT_EQ(XSAE.I(xsae::kCount), 1);
    SLDL(4, serial, i1, i2);
    EXPECT_EQ(i1, -1);
}

// Another run may rename its working copy over the structure file's name
// between this run's opening of the name and its lock: the lock is then
// on a file that no longer has the name. The run opens the name again and
// holds the file that is there, so that it never works on a file renamed
// away under it.
TEST_F(Store, FileRenamedAwayBeforeTheLockIsOpenedAgainByItsName) {
    test::write_file(path, std::string(4 * 8192, 'a'));
    start_run();
    test::write_file(dir + "/newer.bin", std::string(4 * 8192, 'b'));
    ASSERT_EQ(std::rename((dir + "/newer.bin").c_str(), path.c_str()), 0);
    ASSERT_TRUE(hold_structure_file());
    struct stat held, named;
    ASSERT_EQ(::fstat(fileno(units().file(kStoreUnit)->fp), &held), 0);
    ASSERT_EQ(::stat(path.c_str(), &named), 0);
    EXPECT_EQ(held.st_ino, named.st_ino);
    let_go_structure_file();
}

// Commands in one run on a held structure file: each works on a copy made
// from the one the command before left beside the file. Whatever was
// written since (by a command, one that was undone, or outside any
// command) reaches the next copy, and a command undone leaves no trace:
// the file ends byte for byte as the same run without it leaves it.
TEST_F(Store, EveryCommandsCopyHoldsEverythingWrittenBeforeItAndNothingUndone) {
    auto run = [&](bool with_undone_command) {
        fs::remove(path);
        start_run();
        EXPECT_TRUE(hold_structure_file());
        EXPECT_EQ(first_job(), 1);
        {
            CommandGuard c;
            store_list(1, 20, 1);
            EXPECT_TRUE(c.commit());
        }
        {
            CommandGuard c;
            store_list(2, 3000, 2);
            EXPECT_TRUE(c.commit());
        }
        {
            CommandGuard c;
            store_list(5, 20, 5);
            EXPECT_TRUE(c.commit());
        }
        // Straight into the file, between commands, into a block of list 2
        // that the command just before did not write.
        Word w = word_of_int(4242);
        XUP(2600, &w, 1);
        XDUMP();
        if (with_undone_command) {
            CommandGuard c;  // not committed: undone as it goes
            store_list(4, 5000, 4);
            XDUMP();
        }
        {
            CommandGuard c;
            store_list(3, 40, 3);
            EXPECT_TRUE(c.commit());
        }
        end_run();
        let_go_structure_file();
        EXPECT_TRUE(test::working_copies(dir, "struct").empty());
        return test::read_file(path);
    };
    const std::string plain = run(false);
    EXPECT_EQ(file_int(path, 2600), 4242);
    EXPECT_EQ(file_row(path, 3).present, 3);
    EXPECT_EQ(file_row(path, 4).present, 0);
    EXPECT_TRUE(run(true) == plain);
}

// A file at the name of this run's copy, held by a live run (a process of
// the same number in another process space): it is left alone, and the
// command's copy takes a name of its own.
TEST_F(Store, CopyNameHeldByALiveRunIsLeftAlone) {
    const std::string taken = dir + "/.struct.bin.zanek-work-" + std::to_string(::getpid());
    test::write_file(taken, "another run's copy");
    const int other = ::open(taken.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    start_run();
    ASSERT_TRUE(hold_structure_file());
    EXPECT_EQ(first_job(true), 1);
    {
        CommandGuard c;
        store_list(1, 20, 1);
        EXPECT_TRUE(c.commit());
    }
    end_run();
    let_go_structure_file();
    EXPECT_EQ(test::read_file(taken), "another run's copy");
    EXPECT_EQ(file_row(path, 1).present, 1);
    ::close(other);
}

// A fresh start passed on to the next command is stored with it, and
// stands when that command fails; what that command kept meanwhile (a
// model handed back from the viewer) stands too, and is not started afresh.
TEST_F(Store, FreshStartPassedOnStandsAndSoDoesWhatItsCommandKept) {
    std::vector<Word> ones(kStoreBlockWords, word_of_int(0x01010101)), twos(kStoreBlockWords, word_of_int(0x02020202));
    auto fresh_start = [&] { XSTOR(0, ones.data(), kStoreBlockWords); };
    auto run = [&](bool keep) {
        test::write_file(path, std::string(4 * 8192, 'x'));
        start_run();
        EXPECT_TRUE(hold_structure_file());
        {
            CommandGuard start(true);
            fresh_start();
            start.pass_on(fresh_start);
        }
        {
            CommandGuard c;  // takes up the fresh start, then fails
            XSTOR(1, twos.data(), kStoreBlockWords);
            if (keep) keep_stored_lists();
            XSTOR(2, twos.data(), kStoreBlockWords);
        }
        end_run();
        let_go_structure_file();
        return test::read_file(path);
    };
    // The file as the fresh start leaves it: its block, and the index's
    // room up to block 3 written as zeros.
    const std::string started = std::string(4 * kStoreBlockWords, '\x01') + std::string(4 * 8192 - 4 * kStoreBlockWords, '\0');
    EXPECT_TRUE(run(false) == started);
    std::string kept = started;
    std::fill_n(kept.begin() + 8192, 4 * kStoreBlockWords, '\x02');  // block 1, kept; block 2 undone
    EXPECT_TRUE(run(true) == kept);
}

// A fresh start (a new index) begins from nothing: the copies of the
// commands after it hold nothing of what the file held before, even in the
// blocks the fresh start left unwritten.
TEST_F(Store, CopiesAfterAFreshStartHoldNothingOfTheFileBefore) {
    test::write_file(path, std::string(16 * 8192, 'x'));
    start_run();
    ASSERT_TRUE(hold_structure_file());
    std::vector<Word> block(kStoreBlockWords, word_of_int(0x01010101));
    {
        CommandGuard fresh(true);
        XSTOR(0, block.data(), kStoreBlockWords);
        XSTOR(7, block.data(), kStoreBlockWords);
        ASSERT_TRUE(fresh.commit());
    }
    {
        CommandGuard c;
        XSTOR(2, block.data(), kStoreBlockWords);
        ASSERT_TRUE(c.commit());
    }
    end_run();
    let_go_structure_file();
    const std::string bytes = test::read_file(path);
    ASSERT_EQ(bytes.size(), 8u * 8192);
    for (std::size_t b = 0; b < 8; ++b) {
        const bool written = b == 0 || b == 2 || b == 7;
        // A block's words fill the start of its 8 KiB record; the rest reads as zeros.
        const std::string want = std::string(4 * kStoreBlockWords, written ? '\x01' : '\0') +
                                 std::string(8192 - 4 * kStoreBlockWords, '\0');
        const std::string got = bytes.substr(b * 8192, 8192);
        EXPECT_TRUE(got == want) << "block " << b << " differs from byte "
                                 << std::mismatch(got.begin(), got.end(), want.begin()).first - got.begin();
    }
}

}  // namespace
