// Helpers of the %normal tests: a listing captured in a file, and working
// files built in memory for the Wilson plot, the rescaling and the E values.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include <cstdlib>
#include <filesystem>

#include "crystaldata/data_command.h"
#include "crystaldata/normal.h"
#include "jobcontrol/commands.h"
#include "jobcontrol/lists/list07.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/listptr.h"
#include "jobcontrol/records/scatter.h"
#include "jobcontrol/records/special.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/store.h"
#include "crystaldata/special_functions.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/normal.h"
#include "platform/listing.h"
#include "platform/units.h"
#include "tests/support/test_support.h"

namespace zanek::test {

class NormalListing : public ::testing::Test {
protected:
    static constexpr int kListingUnit = 2;
    std::string dir, lis;

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "_" + info->name();
        for (char& c : name)
            if (c == '/') c = '_';
        dir = fresh_dir("normal_" + name);
        lis = dir + "/t.lis";
        units().close(kListingUnit);
        units().open_seq(kListingUnit, lis, OpenStatus::Unknown, FileForm::Formatted);
        set_listing_unit(kListingUnit);
        reset_error_routines();
        reset_crystal_records();
        SHELL.clear();
        CPSEUD.clear();
    }
    void TearDown() override { units().close(kListingUnit); }

    std::string listing() {
        lst_flush();
        return read_file(lis);
    }
    bool listed(const std::string& text) { return listing().find(text) != std::string::npos; }
    std::vector<std::string> lines() { return split_lines(listing()); }
};

// An observed working record: normalised intensity v at s^2, weight q.
inline WorkRecord observed(float s2, double v, int q = 1, int eps = 1) {
    WorkRecord r;
    r.s2 = s2;
    r.code = work_code(q, eps);
    r.v = static_cast<float>(v);
    r.z = r.v;
    r.eps_sigma = static_cast<float>(eps);  // Sigma = 1
    r.fo = static_cast<float>(std::sqrt(v * eps));  // L = 1
    r.sigma = 1.0f;
    return r;
}

inline WorkRecord unobserved(float s2, int q = 1) {
    WorkRecord r = observed(s2, 0.0, q);
    r.fo = 0.0f;
    r.sigma = -1.0f;
    return r;
}

// The crystal records the Wilson plot reads: ns shells up to s2max, one
// lattice point, acentric unless said otherwise.
inline void wilson_setup(int ns, float s2max, bool centric = false) {
    RC.I(17) = ns;
    RC.R(18) = s2max;
    SYM.R(218) = 1.0f;
    SYM.I(217) = 1;
    SYM.I(220) = centric ? 1 : 0;
    UREQ.I(6) = 0;
    UREQ.I(10) = 0;
}

// One list-7 record as SNR07 gives it.
struct NormalL7 {
    int h, k, l;
    float e, fo, a, b;
    int phase_word;
    float sigma;
    int restriction() const { return phase_word % 32; }
};

// %data and %normal run in-process on a fresh structure file, queued as the
// spooler queues a job; the listing goes to a file.
class NormalRun : public ::testing::Test {
protected:
    static constexpr int kStoreUnit = 30, kListingUnit = 2, kCommandUnit = 1;
    std::string dir, lis;
    std::filesystem::path old_cwd;

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "_" + info->name();
        for (char& c : name)
            if (c == '/') c = '_';
        dir = fresh_dir("normal_" + name);
        old_cwd = std::filesystem::current_path();
        std::filesystem::current_path(dir);
        lis = dir + "/run.lis";
        setenv("CRYSDIR", (source_dir() + "/data/").c_str(), 1);
        units().close(kListingUnit);
        units().open_seq(kListingUnit, lis, OpenStatus::Unknown, FileForm::Formatted);
        set_listing_unit(kListingUnit);
        reset_job_records();
        reset_store_records();
        reset_crystal_records();
        reset_atom_records();
        reset_scatter_records();
        reset_list_pointers();
        reset_error_routines();
        SHELL.clear();
        CPSEUD.clear();
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

    // Queues the commands (code, directive lines) as one job; the lines
    // after the job's commands come from `following`.
    void queue(const std::vector<std::pair<int, std::vector<std::string>>>& cmds, const std::string& following) {
        for (int k = 1; k <= 404; ++k) COMDIR.I(k) = 0;
        int line = 0;
        for (std::size_t c = 0; c < cmds.size(); ++c) {
            COMDIR.I(static_cast<int>(c) + 1) = cmds[c].first;
            COMDIR.I(201 + static_cast<int>(c)) = static_cast<int>(cmds[c].second.size());
            for (const std::string& l : cmds[c].second) CHARA.set_line(++line, l);
        }
        COMDIR.I(402) = static_cast<int>(cmds.size());
        units().close(kCommandUnit);
        write_file(dir + "/job.cmd", following);
        units().open_seq(kCommandUnit, dir + "/job.cmd", OpenStatus::Old, FileForm::Formatted);
    }

    // Runs command number c of the queue as the dispatcher does.
    int dispatch(int c) {
        COMDIR.I(404) = c;
        XLIMI.I(7) = 1;
        int status = 0;
        if (COMDIR.I(c) == 23) DATAZAN(0, status);
        if (COMDIR.I(c) == 1) NORMAL(status);
        lst_flush();
        return status;
    }

    // %data with these directives, then %normal with its own; returns the
    // status of %normal (or of %data when that fails: -100 + its status).
    int run(const std::vector<std::string>& data, const std::vector<std::string>& normal,
            const std::string& following = "") {
        queue({{23, data}, {1, normal}}, following);
        int s = dispatch(1);
        if (s < 0) return -100 + s;
        return dispatch(2);
    }
    int run_normal_only(const std::vector<std::string>& normal) {
        queue({{1, normal}}, "");
        return dispatch(1);
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

    std::vector<NormalL7> list7() {
        std::vector<NormalL7> out;
        if (!stored(7)) return out;
        int n = 0, nref = 0, nzro = 0, ipseudo = 0, x = 0;
        YSFL07(n, nref, nzro, ipseudo, x);
        for (int i = 0; i < n; ++i) {
            Word w[9];
            SNR07(w);
            out.push_back({w[0].i, w[1].i, w[2].i, w[3].r, w[4].r, w[5].r, w[6].r, w[7].i, w[8].r});
        }
        return out;
    }
};

// Directive lines of %data for a small job in P 1 whose reflections follow.
inline std::vector<std::string> p1_data(const std::string& group = "p 1", const std::string& cell = "10 11 12 90 90 90") {
    return {"cell " + cell, "spac " + group, "cont c 20 o 4", "refl foll"};
}

inline std::vector<std::string> with_lines(std::vector<std::string> v, std::initializer_list<std::string> more) {
    v.insert(v.end(), more.begin(), more.end());
    return v;
}

// A reflection line in the default format (3i4,2f8.2).
inline std::string refl_line(int h, int k, int l, double fo, double sigma) {
    char b[64];
    std::snprintf(b, sizeof b, "%4d%4d%4d%8.2f%8.2f\n", h, k, l, fo, sigma);
    return b;
}

}  // namespace zanek::test
