// Runs of the built program on the computed test jobs (with their true
// phases) and an independent reader of the relation lists that the runs
// leave in the structure file.
#pragma once

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "jobcontrol/numeric.h"
#include "tests/jobcontrol/lists_fixture.h"
#include "tests/support/test_support.h"

namespace zanek::invtest {

// The %data directives of a test job's job_known.cmd (the lines between
// %data and the next command).
inline std::string data_directives(const std::string& job) {
    const auto lines = test::split_lines(test::read_file(test::jobs_dir() + "/" + job + "/job_known.cmd"));
    std::string out;
    bool in_data = false;
    for (const std::string& l : lines) {
        if (!l.empty() && l[0] == '%') {
            in_data = l.rfind("%data", 0) == 0;
            continue;
        }
        if (in_data) out += l + "\n";
    }
    return out;
}

// Runs %data (with the job's known-phase reflections), %normal and the
// given commands in a fresh folder; the structure file is dir/struct.bin.
inline test::RunResult run_known_job(const std::string& dir, const std::string& job, const std::string& after,
                                     const std::string& hkl = "data_known.hkl") {
    std::filesystem::copy_file(test::jobs_dir() + "/" + job + "/data_known.hkl", dir + "/data_known.hkl",
                               std::filesystem::copy_options::overwrite_existing);
    std::string directives = data_directives(job);
    if (hkl != "data_known.hkl") {
        const auto p = directives.find("data_known.hkl");
        directives.replace(p, 14, hkl);
    }
    return test::run_zanek(dir, "%nowindow\n%initialize\n%data\n" + directives + after + "%end\n");
}

// One relation record of a list, as the file holds it.
struct StoredRelation {
    int32_t a[3], b[3], c[3];
    int phi() const { return 15 * c[0] + c[2]; }  // the known-phase sum, degrees
};

// The items of relation list TYPE (8, 10, 11, 24) in the structure file.
inline std::vector<StoredRelation> stored_relations(const std::string& path, int type) {
    using namespace listtest;
    std::vector<StoredRelation> out;
    const Row row = file_row(path, type);
    if (row.present != type) return out;
    const int n = static_cast<int>(file_real(path, row.first + 8));
    for (int k = 0; k < n; ++k) {
        StoredRelation r;
        for (int w = 0; w < 3; ++w) UNPAK3(file_int(path, row.first + 19 + 3 * k + w), r.a[w], r.b[w], r.c[w]);
        out.push_back(r);
    }
    return out;
}

inline double mean_cos(const std::vector<StoredRelation>& rs, std::size_t first, std::size_t count) {
    double s = 0.0;
    std::size_t n = 0;
    for (std::size_t k = first; k < rs.size() && k < first + count; ++k, ++n) s += std::cos(rs[k].phi() * M_PI / 180.0);
    return n ? s / n : 0.0;
}

inline double mean_abs_phi(const std::vector<StoredRelation>& rs, std::size_t count) {
    double s = 0.0;
    std::size_t n = 0;
    for (std::size_t k = 0; k < rs.size() && k < count; ++k, ++n) s += rs[k].phi() <= 180 ? rs[k].phi() : 360 - rs[k].phi();
    return n ? s / n : 0.0;
}

// The numbers on the listing line that starts with PREFIX, after the
// prefix (the first such line from FROM on).
inline std::vector<double> numbers_after(const std::string& listing, const std::string& prefix,
                                         std::size_t from = 0) {
    std::vector<double> v;
    for (const std::string& l : test::split_lines(listing.substr(from))) {
        if (l.rfind(prefix, 0) != 0) continue;
        std::size_t p = prefix.size();
        while (p < l.size()) {
            char* end = nullptr;
            const double x = std::strtod(l.c_str() + p, &end);
            if (end == l.c_str() + p) break;
            v.push_back(x);
            p = static_cast<std::size_t>(end - l.c_str());
        }
        break;
    }
    return v;
}

}  // namespace zanek::invtest
