// A small harness for the list tests: one "run" of the program on one
// structure file (records reset, file opened as the spooler opens it), a
// fresh run on the same file, and an independent reader of the file that
// knows only its record layout: store address A lies at byte
// 8192*(A div 512) + 4*(A mod 512), little-endian 4-byte words.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "jobcontrol/lists/list01.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/listptr.h"
#include "jobcontrol/records/phaseset.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/store.h"
#include "platform/listing.h"
#include "platform/stop.h"
#include "platform/units.h"
#include "tests/support/test_support.h"

namespace zanek::listtest {

constexpr int kStoreUnit = 30;
constexpr int kListingUnit = 2;

// --- Independent reader and patcher of the structure file ---------------

inline std::streamoff byte_of(int addr) { return 8192LL * (addr / 512) + 4LL * (addr % 512); }

inline uint32_t file_bits(const std::string& path, int addr) {
    std::ifstream f(path, std::ios::binary);
    f.seekg(byte_of(addr));
    unsigned char b[4] = {0, 0, 0, 0};
    f.read(reinterpret_cast<char*>(b), 4);
    if (!f) ADD_FAILURE() << "word " << addr << " is not in the file";
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}
inline int32_t file_int(const std::string& path, int addr) { return static_cast<int32_t>(file_bits(path, addr)); }
inline float file_real(const std::string& path, int addr) {
    const uint32_t u = file_bits(path, addr);
    float x;
    std::memcpy(&x, &u, 4);
    return x;
}
inline void patch_bits(const std::string& path, int addr, uint32_t u) {
    std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(byte_of(addr));
    const unsigned char b[4] = {static_cast<unsigned char>(u), static_cast<unsigned char>(u >> 8),
                                static_cast<unsigned char>(u >> 16), static_cast<unsigned char>(u >> 24)};
    f.write(reinterpret_cast<const char*>(b), 4);
}
inline void patch_int(const std::string& path, int addr, int32_t v) { patch_bits(path, addr, static_cast<uint32_t>(v)); }
inline void patch_real(const std::string& path, int addr, float v) {
    uint32_t u;
    std::memcpy(&u, &v, 4);
    patch_bits(path, addr, u);
}

// Row t of the list-type table as the file holds it.
struct Row {
    int present, serial, first, last, part, length;
    bool operator==(const Row&) const = default;
};
inline std::ostream& operator<<(std::ostream& os, const Row& r) {
    return os << "(" << r.present << "," << r.serial << "," << r.first << "," << r.last << "," << r.part << ","
              << r.length << ")";
}
inline Row file_row(const std::string& path, int t) {
    const int a = 1650 + 6 * t;
    return {file_int(path, a),     file_int(path, a + 1), file_int(path, a + 2),
            file_int(path, a + 3), file_int(path, a + 4), file_int(path, a + 5)};
}
inline int file_next_free(const std::string& path) { return file_int(path, 1600); }

// The stop code of f, or -99999 when it does not stop.
inline int stop_code(const std::function<void()>& f) {
    try {
        f();
    } catch (const ZanekStop& s) {
        return s.code;
    }
    return -99999;
}

inline Word wi(int32_t v) { return word_of_int(v); }
inline Word wr(float v) { return word_of_real(v); }

// --- One run on one structure file ------------------------------------

class ListRun : public ::testing::Test {
protected:
    std::string dir, path, lis;

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = test::fresh_dir(std::string("lists_") + info->test_suite_name() + "_" + info->name());
        path = dir + "/struct.bin";
        lis = dir + "/lists.lis";
        set_listing_unit(kListingUnit);
        units().open_seq(kListingUnit, lis, OpenStatus::Unknown, FileForm::Formatted);
        start_run();
    }
    void TearDown() override {
        units().close(kStoreUnit);
        units().close(kListingUnit);
    }

    // Every record as at program start, the file opened and its index
    // loaded (or made) as the spooler does at the first job.
    void start_run() {
        units().close(kStoreUnit);
        reset_job_records();
        fill_trig();
        reset_store_records();
        reset_crystal_records();
        reset_list_pointers();
        reset_atom_records();
        reset_phaseset_records();
        reset_symmetry_list();
        ASSERT_EQ(units().open_direct(kStoreUnit, path, false, 2048), IO_OK);
        XDISU.I(xdisu::kUnit) = kStoreUnit;
        int next = 0;
        XGIV(1, 800, next);
        XDWN(kIndexHeaderAddress, XFILI.at(xfili::kTable), 10);
        if (XFILI.I(xfili::kHeaderMagic) != XFILE.I(xfile::kIndexMagic)) SETFI();
        if (XFILE.I(xfile::kIndexState) == xfile::kNotLoaded) {
            SLDF();
            XFILE.I(xfile::kIndexState) = xfile::kLoaded;
        }
        XSAE.I(xsae::kCount) = 0;
    }
    // The end of a run (the file closed without a final dump) and a new
    // run on the same file.
    void fresh_run() { start_run(); }

    std::string listing() {
        lst_flush();
        return test::read_file(lis);
    }
    bool listing_has(const std::string& text) { return listing().find(text) != std::string::npos; }
    long long file_size() {
        units().flush(kStoreUnit);
        return static_cast<long long>(std::filesystem::file_size(path));
    }
    int first_of(int type) { return file_row(path, type).first; }
};

}  // namespace zanek::listtest
