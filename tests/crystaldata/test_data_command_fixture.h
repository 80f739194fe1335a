// A %data command run in-process on a fresh structure file: the directive
// lines are queued as the spooler queues them, the listing goes to a file,
// and the stored lists are read back with the list loaders.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "crystaldata/data_command.h"
#include "crystaldata/reflections.h"
#include "jobcontrol/lists/list07.h"
#include "jobcontrol/lists/list15.h"
#include "jobcontrol/lists/list03.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/listptr.h"
#include "jobcontrol/records/scatter.h"
#include "jobcontrol/records/special.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/store.h"
#include "jobcontrol/text.h"
#include "platform/listing.h"
#include "platform/units.h"
#include "tests/support/test_support.h"

namespace zanek::test {

// One list-7 record as SNR07 gives it.
struct L7 {
    int h, k, l;
    float key, fo;
    int phase_word;
    float sigma;
    int code() const { return phase_word & 31; }
    int phase() const { return (phase_word / 32) % 1024; }
};

class DataRun : public ::testing::Test {
protected:
    static constexpr int kStoreUnit = 30;
    static constexpr int kListingUnit = 2;
    static constexpr int kCommandUnit = 1;
    std::string dir, lis;
    std::filesystem::path old_cwd;

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "_" + info->name();
        for (char& c : name)
            if (c == '/') c = '_';
        dir = fresh_dir("data_" + name);
        old_cwd = std::filesystem::current_path();
        std::filesystem::current_path(dir);
        lis = dir + "/data.lis";
        setenv("CRYSDIR", (source_dir() + "/data/").c_str(), 1);
        set_listing_unit(kListingUnit);
        units().open_seq(kListingUnit, lis, OpenStatus::Unknown, FileForm::Formatted);
        reset_job_records();
        reset_store_records();
        reset_crystal_records();
        reset_atom_records();
        reset_scatter_records();
        reset_list_pointers();
        SPEC = initial_spec();
        fill_trig();
        BUFFER.I(511) = 85;
        XDISU.I(1) = kStoreUnit;
        int next = 0;
        XGIV(1, 800, next);
        ASSERT_EQ(units().open_direct(kStoreUnit, dir + "/struct.bin", false, 2048), IO_OK);
        XDWN(1600, XFILI.at(3), 10);
        SETFI();
        if (XFILE.I(6) < 0) {
            SLDF();
            XFILE.I(6) = 1;
        }
    }
    void TearDown() override {
        units().close(kStoreUnit);
        units().close(kListingUnit);
        units().close(kCommandUnit);
        std::filesystem::current_path(old_cwd);
    }

    // Queues one %data with these directive lines and runs it; the lines
    // after the job's commands (for "refl foll") come from `following`.
    int run(const std::vector<std::string>& directives, const std::string& following = "") {
        for (int k = 1; k <= 400; ++k) COMDIR.I(k) = 0;
        COMDIR.I(1) = 23;
        COMDIR.I(201) = static_cast<int>(directives.size());
        COMDIR.I(402) = 1;
        COMDIR.I(403) = 0;
        COMDIR.I(404) = 1;
        for (size_t k = 0; k < directives.size(); ++k) CHARA.set_line(static_cast<int>(k) + 1, directives[k]);
        units().close(kCommandUnit);
        write_file(dir + "/job.cmd", following);
        units().open_seq(kCommandUnit, dir + "/job.cmd", OpenStatus::Old, FileForm::Formatted);
        int status = 0;
        DATAZAN(0, status);
        lst_flush();
        return status;
    }

    std::string listing() {
        lst_flush();
        return read_file(lis);
    }
    bool listed(const std::string& text) { return listing().find(text) != std::string::npos; }

    bool stored(int type) {
        int serial = 0, first = 0, last = 0, part = 0, length = 0;
        SRLIN(type, serial, first, last, part, length);
        return first > 0;
    }

    std::vector<L7> list7() {
        std::vector<L7> out;
        if (!stored(7)) return out;
        int n = 0, nref = 0, nzro = 0, ipseudo = 0, x = 0;
        YSFL07(n, nref, nzro, ipseudo, x);
        for (int i = 0; i < n; ++i) {
            Word w[9];
            SNR07(w);
            out.push_back({w[0].i, w[1].i, w[2].i, w[3].r, w[4].r, w[7].i, w[8].r});
        }
        return out;
    }

    // The record of list 7 with these indices, or nullptr.
    static const L7* find(const std::vector<L7>& recs, int h, int k, int l) {
        for (const L7& r : recs)
            if (r.h == h && r.k == k && r.l == l) return &r;
        return nullptr;
    }
};

// Directive lines of a small job in P 1 (a big cell keeps s^2 small).
inline std::vector<std::string> p1_job(const std::string& group = "p 1") {
    return {"cell 20 20 20 90 90 90", "spac " + group, "cont c 8 o 2"};
}

inline std::vector<std::string> with(std::vector<std::string> v, std::initializer_list<std::string> more) {
    v.insert(v.end(), more.begin(), more.end());
    return v;
}

// A reflection line in the default format (3i4,2f8.2).
inline std::string hkl(int h, int k, int l, double fo, double sigma) {
    char b[64];
    std::snprintf(b, sizeof b, "%4d%4d%4d%8.2f%8.2f\n", h, k, l, fo, sigma);
    return b;
}
inline std::string hklp(int h, int k, int l, double fo, double sigma, double phase) {
    char b[80];
    std::snprintf(b, sizeof b, "%4d%4d%4d%8.2f%8.2f%8.2f\n", h, k, l, fo, sigma, phase);
    return b;
}

}  // namespace zanek::test
