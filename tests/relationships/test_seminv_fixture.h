// Helpers of the seminvariant tests: a space group set up in memory as the
// seminvariants command sees it, and an independent reader of lists 7, 26
// and 27 in a structure file.
#pragma once

#include <string>
#include <vector>

#include "crystaldata/spacegroup.h"
#include "jobcontrol/numeric.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/seminv.h"
#include "platform/listing.h"
#include "platform/units.h"
#include "relationships/semalg.h"
#include "relationships/seminv.h"
#include "tests/jobcontrol/lists_fixture.h"
#include "tests/support/test_support.h"

namespace zanek::semtest {

// Sends the listing to a scratch file of the test folder NAME.
inline std::string listing_to(const std::string& name) {
    const std::string path = test::fresh_dir(name) + "/listing.lis";
    units().close(listing_unit());
    units().open_seq(listing_unit(), path, OpenStatus::Unknown, FileForm::Formatted);
    return path;
}
inline std::string listing_of(const std::string& path) {
    units().flush(listing_unit());
    return test::read_file(path);
}

// Analyses SYMBOL as %data does and prepares the algebra as the command
// does after loading list 2 (which leaves the generators word of ERL at 0). The maximum
// indices become MAXH in all three directions.
inline bool setup_group(const std::string& symbol, int maxh = 12, int print_level = 0) {
    reset_crystal_records();
    std::string line = symbol;
    int n = static_cast<int>(line.size());
    line.resize(80, ' ');
    int ierr = 0;
    ONEBL(line, 80, n, ierr);
    if (ierr < 0) return false;
    store_symbol_in_erl(line.substr(0, 16));
    const int zero[3] = {0, 0, 0};
    INSYM(0, zero, ierr);
    if (ierr < 0) return false;
    ERL.I(erlw::kGenerators) = 0;
    UREQ.I(ureqw::kHmax) = UREQ.I(ureqw::kKmax) = UREQ.I(ureqw::kLmax) = maxh;
    UREQ.I(ureqw::kPrint) = print_level;
    seminv_symmetry();
    seminv_strides();
    seminv_algebra();
    return true;
}

// --- Lists in a structure file ----------------------------------------------

struct L7Record {
    int h, k, l;
    float e;
    int code, phase;  // restriction code, known phase in degrees
};

inline std::vector<L7Record> read_list7(const std::string& path) {
    using namespace listtest;
    std::vector<L7Record> out;
    const Row row = file_row(path, 7);
    if (row.present != 7) return out;
    const int n = static_cast<int>(file_real(path, row.first + 7));
    for (int r = 0; r < n; ++r) {
        const int a = row.first + 30 + 6 * r;
        const int idx = file_int(path, a);
        L7Record rec;
        rec.h = (idx % 2097152) / 16384 - 64;
        rec.k = (idx % 16384) / 128 - 64;
        rec.l = idx % 128 - 64;
        rec.e = file_real(path, a + 1);
        const int v = file_int(path, a + 4) % 32768;
        rec.code = v % 32;
        rec.phase = v / 32;
        out.push_back(rec);
    }
    return out;
}

struct TableList {
    int count = -1;  // -1: absent
    int c[4] = {};
    std::vector<int32_t> words;
};

inline TableList read_table(const std::string& path, int type) {
    using namespace listtest;
    TableList t;
    const Row row = file_row(path, type);
    if (row.present != type) return t;
    const int width = static_cast<int>(file_real(path, row.first + 5));
    t.count = static_cast<int>(file_real(path, row.first + 8));
    for (int i = 0; i < 4; ++i) t.c[i] = static_cast<int>(file_real(path, row.first + 9 + i));
    for (int k = 0; k < t.count * width; ++k) t.words.push_back(file_int(path, row.first + 19 + k));
    return t;
}

// Runs %data of a computed test job with its true phases, %normal and the
// commands AFTER in DIR (structure file DIR/struct.bin).
inline test::RunResult run_known(const std::string& dir, const std::string& job, const std::string& after) {
    const std::string src = test::jobs_dir() + "/" + job;
    test::write_file(dir + "/data_known.hkl", test::read_file(src + "/data_known.hkl"));
    std::string directives;
    bool in_data = false;
    for (const std::string& l : test::split_lines(test::read_file(src + "/job_known.cmd"))) {
        if (!l.empty() && l[0] == '%') {
            in_data = l.rfind("%data", 0) == 0;
            continue;
        }
        if (in_data) directives += l + "\n";
    }
    return test::run_zanek(dir, "%job " + job + "\n%nowindow\n%initialize\n%data\n" + directives + "%normal\n" + after +
                                    "%end\n");
}

}  // namespace zanek::semtest
