#include "tests/support/inprocess.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "jobcontrol/lists/list07.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/safeguard.h"
#include "jobcontrol/store/store.h"
#include "jobcontrol/text.h"
#include "jobcontrol/zanek.h"
#include "platform/listing.h"
#include "platform/units.h"
#include "tests/support/test_support.h"

namespace zanek::test {

void InProcessJob::SetUp() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = prefix_ + "_" + info->test_suite_name() + "_" + info->name();
    for (char& c : name)
        if (c == '/') c = '_';
    dir = fresh_dir(name);
    old_cwd_ = std::filesystem::current_path().string();
    std::filesystem::current_path(dir);
    lis = dir + "/run.lis";
    setenv("CRYSDIR", (source_dir() + "/data/").c_str(), 1);
    reset_run_records();
    units().close(kListingUnit);
    set_listing_unit(kListingUnit);
    ASSERT_EQ(units().open_seq(kListingUnit, lis, OpenStatus::Unknown, FileForm::Formatted), IO_OK);
    DOTDAT.name[1] = padded("struct.bin", 80);  // in the test's folder
    int new_file = 0;
    ASSERT_TRUE(open_structure_file(true, new_file));
}

void InProcessJob::TearDown() {
    units().close(kStoreUnit);
    let_go_structure_file();
    units().close(kListingUnit);
    units().close(kCommandUnit);
    std::filesystem::current_path(old_cwd_);
}

void InProcessJob::queue(const std::vector<std::pair<int, std::vector<std::string>>>& cmds,
                         const std::string& following) {
    COMDIR.clear();
    COMDIR.I(comdir::kCapacity) = kQueueCapacity;
    int line = 0;
    for (std::size_t c = 0; c < cmds.size(); ++c) {
        const int k = static_cast<int>(c) + 1;
        comdir::code(k) = cmds[c].first;
        comdir::directive_lines(k) = static_cast<int>(cmds[c].second.size());
        for (const std::string& l : cmds[c].second) CHARA.set_line(++line, l);
    }
    COMDIR.I(comdir::kCount) = static_cast<int>(cmds.size());
    units().close(kCommandUnit);
    write_file(dir + "/job.cmd", following);
    units().open_seq(kCommandUnit, dir + "/job.cmd", OpenStatus::Old, FileForm::Formatted);
}

int InProcessJob::dispatch(int c) {
    COMDIR.I(comdir::kRunning) = c;
    XLIMI.I(xlimi::kListBase) = 1;
    int status = 0, job_count = 0;
    run_command(comdir::code(c), 0, job_count, status);
    lst_flush();
    return status;
}

int InProcessJob::run_queue() {
    COMDIR.I(comdir::kCursor) = 0;
    int status = 0;
    for (int c = 1; c <= COMDIR.I(comdir::kCount) && status >= 0; ++c) status = dispatch(c);
    return status;
}

std::string InProcessJob::listing() {
    lst_flush();
    return read_file(lis);
}

std::vector<std::string> InProcessJob::lines() { return split_lines(listing()); }

bool InProcessJob::stored(int type) {
    int serial = 0, first = 0, last = 0, part = 0, length = 0;
    SRLIN(type, serial, first, last, part, length);
    return first > 0;
}

std::vector<List7Record> InProcessJob::list7() {
    std::vector<List7Record> out;
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

const List7Record* InProcessJob::find(const std::vector<List7Record>& recs, int h, int k, int l) {
    for (const List7Record& r : recs)
        if (r.h == h && r.k == k && r.l == l) return &r;
    return nullptr;
}

std::string hkl(int h, int k, int l, double fo, double sigma) {
    char b[64];
    std::snprintf(b, sizeof b, "%4d%4d%4d%8.2f%8.2f\n", h, k, l, fo, sigma);
    return b;
}

std::string hklp(int h, int k, int l, double fo, double sigma, double phase) {
    char b[80];
    std::snprintf(b, sizeof b, "%4d%4d%4d%8.2f%8.2f%8.2f\n", h, k, l, fo, sigma, phase);
    return b;
}

}  // namespace zanek::test
