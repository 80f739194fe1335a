// %data end to end on the test jobs: the program runs each job cut after
// %data, and list 7 is read back from the structure file it leaves. The
// standard indices, the phase restriction codes and the known phases are
// checked against rules worked out by hand from the operators of each
// space group (F(hR) = F(h) exp(-2 pi i h.t); F(-h) = F(h)*).
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "jobcontrol/lists/list07.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/listptr.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/store.h"
#include "platform/listing.h"
#include "platform/units.h"
#include "tests/support/test_support.h"

using namespace zanek;
using namespace zanek::test;
namespace fs = std::filesystem;

namespace {

using Hkl = std::tuple<int, int, int>;

struct Stored {
    float fo;
    int phase_word;
    int code() const { return phase_word & 31; }
    int phase() const { return (phase_word / 32) % 1024; }
};

// The test job cut after %data.
std::string data_job(const std::string& cmd) {
    std::istringstream in(read_file(cmd));
    std::string line, out;
    bool after = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '%' && line.rfind("%data", 0) != 0 && after) break;
        if (line.rfind("%data", 0) == 0) after = true;
        out += line + "\n";
    }
    return out + "%end\n";
}

// List 7 of a structure file, read with the program's own list routines.
std::map<Hkl, Stored> load_list7(const std::string& path, int& count) {
    constexpr int kUnit = 30;
    reset_job_records();
    reset_store_records();
    reset_list_pointers();
    reset_crystal_records();
    XDISU.I(xdisu::kUnit) = kUnit;
    int next = 0;
    XGIV(1, 800, next);
    std::map<Hkl, Stored> recs;
    count = -1;
    if (units().open_direct(kUnit, path, false, 2048) != IO_OK) return recs;
    XDWN(kIndexHeaderAddress, XFILI.at(xfili::kTable), 10);
    SLDF();
    int serial = 0, first = 0, last = 0, part = 0, length = 0;
    SRLIN(7, serial, first, last, part, length);
    if (first > 0) {
        int n = 0, nref = 0, nzro = 0, ip = 0, seed = 0;
        YSFL07(n, nref, nzro, ip, seed);
        count = n;
        for (int i = 0; i < n; ++i) {
            Word w[9];
            SNR07(w);
            recs[{w[0].i, w[1].i, w[2].i}] = {w[4].r, w[7].i};
        }
    }
    units().close(kUnit);
    return recs;
}

struct Job {
    std::string folder;
    std::string listing;
    int exit_code = 0;
    int count = 0;
    std::map<Hkl, Stored> list7;
};

Job run_job(const std::string& folder, const std::string& cmd_name) {
    Job j;
    j.folder = folder;
    std::string src = jobs_dir() + "/" + folder;
    std::string dir = fresh_dir("data_" + folder + "_" + cmd_name);
    for (const auto& e : fs::directory_iterator(src))
        if (e.path().extension() == ".hkl") fs::copy_file(e.path(), dir + "/" + e.path().filename().string());
    RunResult r = run_zanek(dir, data_job(src + "/" + cmd_name + ".cmd"));
    j.exit_code = r.exit_code;
    j.listing = r.listing;
    j.list7 = load_list7(dir + "/" + folder + ".bin", j.count);
    return j;
}

int case_number(const std::string& folder, const std::string& key) {
    const std::string text = read_file(jobs_dir() + "/" + folder + "/case.json");
    std::vector<int> numbers;  // of every "key": followed by digits
    for_each_record(text, "\"" + key + "\": ", [&](TextScanner& s) {
        std::string digits;
        if (!s.digits(&digits)) return false;
        numbers.push_back(std::stoi(digits));
        return true;
    });
    return numbers.empty() ? -1 : numbers.front();
}

std::string count_line(int n, const std::string& text) {
    char b[16];
    std::snprintf(b, sizeof b, "%15d", n);
    return std::string("\n") + b + "  " + text + "\n";
}

const char* const kFolders[] = {"fecl_r3c_measured", "fecl_r3c_synth", "rand_p212121_c20o4", "rand_p21c_c18n2o4",
                                "rand_pbar1_c14o2"};

// --- Every job: the counts -------------------------------------------------

class DataJobs : public ::testing::TestWithParam<const char*> {};

TEST_P(DataJobs, StoreEveryReflectionOnce) {
    const std::string folder = GetParam();
    Job j = run_job(folder, "job");
    ASSERT_EQ(j.exit_code, 0) << j.listing;
    const int n = case_number(folder, "n_reflections");
    ASSERT_GT(n, 0);
    EXPECT_NE(j.listing.find(count_line(n, "input reflections")), std::string::npos) << j.listing;
    EXPECT_NE(j.listing.find(count_line(n, "independent input reflections")), std::string::npos);
    EXPECT_NE(j.listing.find(count_line(0, "symmetry equivalent reflections rejected")), std::string::npos);
    EXPECT_EQ(j.count, n);
    EXPECT_EQ(static_cast<int>(j.list7.size()), n);  // n distinct indices
    EXPECT_NE(j.listing.find(" == ZANEK ends ok"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Jobs, DataJobs, ::testing::ValuesIn(kFolders));

// A file of more than 99999 reflections (here every reflection of a test job
// given 35 times) still shows its counts whole in the listing.
TEST(DataCounts, MoreThanNinetyNineThousandReflectionsAreCountedWhole) {
    const std::string folder = "rand_p21c_c18n2o4";
    const std::string src = jobs_dir() + "/" + folder;
    const std::string dir = fresh_dir("data_many_reflections");
    std::istringstream in(read_file(src + "/data.hkl"));
    std::string line, once;
    int n = 0;
    while (std::getline(in, line) && line.find_first_not_of(" 0") != std::string::npos) once += line + "\n", ++n;
    constexpr int kCopies = 35;
    std::string hkl;
    for (int c = 0; c < kCopies; ++c) hkl += once;
    write_file(dir + "/data.hkl", hkl + "   0   0   0\n");
    RunResult r = run_zanek(dir, data_job(src + "/job.cmd"));
    ASSERT_EQ(r.exit_code, 0) << r.listing;
    ASSERT_GT(n * kCopies, 99999);
    EXPECT_NE(r.listing.find(count_line(n * kCopies, "input reflections")), std::string::npos) << r.listing;
    EXPECT_NE(r.listing.find(count_line(n, "independent input reflections")), std::string::npos);
    EXPECT_NE(r.listing.find(count_line(n * (kCopies - 1), "symmetry equivalent reflections rejected")),
              std::string::npos);
}

// --- Standard indices and phase restriction codes -----------------------------

TEST(DataJobsCodes, CentricGroupsRestrictEveryPhaseTo0Or180) {
    for (const char* folder : {"fecl_r3c_measured", "rand_p21c_c18n2o4", "rand_pbar1_c14o2"}) {
        Job j = run_job(folder, "job");
        ASSERT_GT(j.count, 0) << folder;
        for (const auto& [hkl, rec] : j.list7) ASSERT_EQ(rec.code(), 13) << folder;
    }
}

TEST(DataJobsCodes, StandardIndicesOfTheMonoclinicAndTriclinicJobs) {
    // P 21/c: h k l, -h k -l and their Friedel mates are one reflection; the
    // standard one has the largest h, then k, then l. P -1: h and -h.
    Job mono = run_job("rand_p21c_c18n2o4", "job");
    EXPECT_TRUE(mono.list7.count({11, 0, -6}));   // read as -11 0 6
    EXPECT_TRUE(mono.list7.count({11, 1, -7}));   // read as -11 1 7
    EXPECT_FALSE(mono.list7.count({-11, 0, 6}));
    for (const auto& [hkl, rec] : mono.list7) {
        auto [h, k, l] = hkl;
        EXPECT_TRUE(h > 0 || (h == 0 && k >= 0)) << h << " " << k << " " << l;
        EXPECT_GE(k, 0);
    }
    Job tri = run_job("rand_pbar1_c14o2", "job");
    EXPECT_TRUE(tri.list7.count({8, -5, -2}));  // read as -8 5 2
    for (const auto& [hkl, rec] : tri.list7) {
        auto [h, k, l] = hkl;
        EXPECT_TRUE(h > 0 || (h == 0 && (k > 0 || (k == 0 && l > 0)))) << h << " " << k << " " << l;
    }
}

// In P 21 21 21 the projections are centric: h k 0 has phase 0/180 for h
// even and 90/270 for h odd; h 0 l the same by l, 0 k l by k; the axial
// reflections 0/180; a general reflection is unrestricted.
int p212121_code(int h, int k, int l) {
    int zero = (h == 0) + (k == 0) + (l == 0);
    if (zero >= 2) return 13;
    if (l == 0) return h % 2 == 0 ? 13 : 7;
    if (k == 0) return l % 2 == 0 ? 13 : 7;
    if (h == 0) return k % 2 == 0 ? 13 : 7;
    return 1;
}

TEST(DataJobsCodes, ZonesOfP212121AreRestricted) {
    Job j = run_job("rand_p212121_c20o4", "job");
    ASSERT_GT(j.count, 0);
    int zones = 0;
    for (const auto& [hkl, rec] : j.list7) {
        auto [h, k, l] = hkl;
        EXPECT_GE(std::min({h, k, l}), 0);
        EXPECT_EQ(rec.code(), p212121_code(h, k, l)) << h << " " << k << " " << l;
        zones += p212121_code(h, k, l) != 1;
    }
    EXPECT_GT(zones, 100);
}

// --- Known phases ----------------------------------------------------------------

struct Op {
    int R[3][3];   // the point x goes to R x + t
    double t[3];
};

// The stored operators of each group in the order the program keeps them
// (the first half of a centrosymmetric group).
const std::vector<Op> kP1bar = {{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 0}}};
const std::vector<Op> kP21c = {{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 0}},
                               {{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}, {0, 0.5, 0.5}}};
const std::vector<Op> kP212121 = {{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 0}},
                                  {{{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}}, {0.5, 0, 0.5}},
                                  {{{1, 0, 0}, {0, -1, 0}, {0, 0, -1}}, {0.5, 0.5, 0}},
                                  {{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}, {0, 0.5, 0.5}}};

int reduce(int p) {
    p %= 360;
    if (p < 0) p += 360;
    return p == 0 ? 360 : p;
}

// Checks every reflection of data_known.hkl against list 7: the stored
// reflection is +-hR for the first operator that reaches it, and its phase
// is +-(phi - 360 h.t).
void check_known_phases(const std::string& folder, const std::vector<Op>& ops, bool centric) {
    Job j = run_job(folder, "job_known");
    ASSERT_EQ(j.exit_code, 0) << j.listing;
    std::istringstream in(read_file(jobs_dir() + "/" + folder + "/data_known.hkl"));
    std::string line;
    int checked = 0, friedel = 0;
    while (std::getline(in, line)) {
        int h = std::stoi(line.substr(0, 4)), k = std::stoi(line.substr(4, 4)), l = std::stoi(line.substr(8, 4));
        if (h == 0 && k == 0 && l == 0) break;
        double phi = std::stod(line.substr(28, 8));
        int p = centric ? (std::cos(phi * M_PI / 180.0) > 0 ? 0 : 180) : static_cast<int>(phi);
        bool found = false;
        for (const Op& op : ops) {
            int hr[3];
            for (int c = 0; c < 3; ++c) hr[c] = h * op.R[0][c] + k * op.R[1][c] + l * op.R[2][c];
            int turns = static_cast<int>(std::lround(360.0 * (h * op.t[0] + k * op.t[1] + l * op.t[2])));
            for (int sign : {1, -1}) {
                auto it = j.list7.find({sign * hr[0], sign * hr[1], sign * hr[2]});
                if (it == j.list7.end()) continue;
                EXPECT_EQ(it->second.phase(), reduce(sign * (p - turns)))
                    << folder << ": " << h << " " << k << " " << l << " phase " << phi;
                friedel += sign < 0;
                found = true;
                break;
            }
            if (found) break;
        }
        EXPECT_TRUE(found) << folder << ": " << h << " " << k << " " << l;
        ++checked;
    }
    EXPECT_EQ(checked, j.count);
    if (centric) {
        EXPECT_GT(friedel, 0) << "no Friedel mate among the data";
    }
}

TEST(DataJobsKnownPhases, StoredForTheStandardReflections) {
    check_known_phases("rand_pbar1_c14o2", kP1bar, true);
    check_known_phases("rand_p21c_c18n2o4", kP21c, true);
    check_known_phases("rand_p212121_c20o4", kP212121, false);
}

TEST(DataJobsKnownPhases, FriedelMateWith180IsStoredWith180) {
    // -8 5 3 with 180 degrees in P -1 is stored as 8 -5 -3 with 180.
    Job j = run_job("rand_pbar1_c14o2", "job_known");
    auto it = j.list7.find({8, -5, -3});
    ASSERT_NE(it, j.list7.end());
    EXPECT_EQ(it->second.phase(), 180);
    EXPECT_EQ(it->second.code(), 13);
}

}  // namespace
