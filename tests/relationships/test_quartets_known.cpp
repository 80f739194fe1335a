// Quartets of the computed test jobs, whose true phases come from an
// independent library: %data (with the known phases), %normal and
// %invariants in process. The phase sums of the negative quartets lean
// towards 180 degrees, the more so the larger their reliability; the
// enantiomorph-sensitive quartets (only without a centre of symmetry) have
// small reliabilities and phase sums that do not lean to 180 degrees; the
// count table and the statistics agree with the lists.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "jobcontrol/lists/listxx.h"
#include "jobcontrol/numeric.h"
#include "jobcontrol/records/invariants.h"
#include "relationships/quartets.h"
#include "tests/relationships/jobs.h"
#include "tests/support/inprocess.h"

using namespace zanek;

namespace {

struct Job {
    const char* name;
    bool centric;
};
void PrintTo(const Job& j, std::ostream* os) { *os << j.name; }

class QuartetJobs : public test::InProcessJob, public ::testing::WithParamInterface<Job> {
protected:
    QuartetJobs() : InProcessJob("quartjob") {}

    struct Item {
        double g;
        double cos_phi, sin_phi;
    };
    // The items of list 20 or 21 with the phase sum of their four
    // reflections from the known phases of list 7, plus 15 ph.
    std::vector<Item> items(int type, const std::vector<test::List7Record>& recs) {
        std::vector<Item> out;
        if (!stored(type)) return out;
        int n = 0, i1, i2, i3, i4;
        std::vector<Word> words(7 * 800);
        SFLXX(0, type, n, i1, i2, i3, i4, words.data(), static_cast<int>(words.size()));
        for (int i = 0; i < n; ++i) {
            int32_t a[3], b[3], c[3];
            for (int w = 0; w < 3; ++w) UNPAK3(words[7 * i + w].i, a[w], b[w], c[w]);
            double phi = 15.0 * c[2];
            for (int r : {a[0], b[0], a[1], b[1]}) phi += (r < 0 ? -1 : 1) * recs[std::abs(r) - 1].phase();
            out.push_back({b[2] / 100.0, std::cos(phi * M_PI / 180.0), std::sin(phi * M_PI / 180.0)});
        }
        return out;
    }
};

double mean_of(const std::vector<double>& v) {
    double s = 0.0;
    for (double x : v) s += x;
    return v.empty() ? 0.0 : s / v.size();
}

TEST_P(QuartetJobs, NegativeQuartetsNear180AndSmallEnantiomorphSensitiveOnes) {
    const Job& job = GetParam();
    std::filesystem::copy_file(test::jobs_dir() + "/" + job.name + "/data_known.hkl",
                               dir + "/data_known.hkl");
    std::vector<std::string> data;
    for (const std::string& l : test::split_lines(invtest::data_directives(job.name)))
        if (!l.empty()) data.push_back(l);
    queue({{23, data}, {1, {}}, {3, {"prin 1"}}});
    ASSERT_EQ(run_queue(), 0) << listing();
    const auto recs = list7();
    const std::string lis = listing();

    const auto neg = items(20, recs);
    ASSERT_GT(neg.size(), 300u);
    std::vector<double> cos_all, cos_top;
    for (std::size_t i = 0; i < neg.size(); ++i) {
        if (i > 0) { EXPECT_GE(neg[i - 1].g, neg[i].g); }
        cos_all.push_back(neg[i].cos_phi);
        if (i < 100) cos_top.push_back(neg[i].cos_phi);
    }
    int negative_cos = 0;
    for (double c : cos_all) negative_cos += c < 0.0;
    EXPECT_GT(negative_cos, static_cast<int>(0.6 * neg.size())) << "most phase sums beyond 90 degrees";
    EXPECT_LT(mean_of(cos_all), job.centric ? -0.3 : -0.15);
    EXPECT_LT(mean_of(cos_top), mean_of(cos_all) + 0.05) << "the strongest lean at least as much";

    const auto es = items(21, recs);
    if (job.centric) {
        EXPECT_TRUE(es.empty());
    } else {
        ASSERT_GT(es.size(), 50u);
        const float t = quartet::threshold(1.0f / (INP.R(inp::kQ) * INP.R(inp::kQ)));
        std::vector<double> cos_es;
        for (const auto& q : es) {
            EXPECT_LE(q.g, t + 0.005);
            cos_es.push_back(q.cos_phi);
        }
        // Their phase sums are expected near +-90 degrees: no lean to 180.
        EXPECT_LT(std::fabs(mean_of(cos_es)), 0.15);
        EXPECT_GT(mean_of(cos_es), mean_of(cos_all) + 0.1);
    }

    // The listing: the pass's own lines and the count table.
    const auto pass = invtest::numbers_after(lis, " Negative quartets relationships estimated using ");
    ASSERT_EQ(pass.size(), 1u);
    EXPECT_EQ(pass[0], DIRPS.I(dirps::kStored));
    EXPECT_NE(lis.find(std::string(38, ' ') + "         Negative quartets statistic"), std::string::npos);
    std::size_t at = lis.find(" negative quartet(s) calculated and");
    ASSERT_NE(at, std::string::npos);
    const auto table = invtest::numbers_after(lis, "              negative estimated quartets");
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[1], neg.size());
    EXPECT_GE(table[0], table[1]);
    const auto es_table = invtest::numbers_after(lis, "          enantiomorph sensitive quartets");
    if (job.centric) {
        EXPECT_TRUE(es_table.empty()) << "a count of 0 prints as a dash";
        EXPECT_EQ(lis.find(" enant.sens. quartet(s) calculated and"), std::string::npos);
    } else {
        ASSERT_EQ(es_table.size(), 2u);
        EXPECT_EQ(es_table[1], es.size());
    }
}

INSTANTIATE_TEST_SUITE_P(Computed, QuartetJobs,
                         ::testing::Values(Job{"rand_p212121_c20o4", false}, Job{"rand_p21c_c18n2o4", true},
                                           Job{"rand_pbar1_c14o2", true}, Job{"fecl_r3c_synth", true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
