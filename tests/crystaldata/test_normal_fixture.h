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
#include "tests/support/inprocess.h"
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
    RC.I(rcw::kShells) = ns;
    RC.R(rcw::kLargestS2) = s2max;
    SYM.R(symw::kLatticePoints) = 1.0f;
    SYM.I(symw::kOps) = 1;
    SYM.I(symw::kCentric) = centric ? 1 : 0;
    UREQ.I(ureqw::kPartial) = 0;
    UREQ.I(ureqw::kPrint) = 0;
}

using NormalL7 = List7Record;

// %data and %normal run in-process on a fresh structure file, queued as the
// spooler queues a job; the listing goes to a file.
class NormalRun : public InProcessJob {
protected:
    NormalRun() : InProcessJob("normal") {}

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
};

// Directive lines of %data for a small job in P 1 whose reflections follow.
inline std::vector<std::string> p1_data(const std::string& group = "p 1", const std::string& cell = "10 11 12 90 90 90") {
    return {"cell " + cell, "spac " + group, "cont c 20 o 4", "refl foll"};
}

inline std::vector<std::string> with_lines(std::vector<std::string> v, std::initializer_list<std::string> more) {
    return with(std::move(v), more);
}

// A reflection line in the default format (3i4,2f8.2).
inline std::string refl_line(int h, int k, int l, double fo, double sigma) { return hkl(h, k, l, fo, sigma); }

}  // namespace zanek::test
