// The whole sign chain, from the reflection input through the standard
// equivalents, phase shifts and restrictions to the shifts carried by the
// relations: %data, %normal and %invariants on the computed test jobs,
// whose true phases come from an independent library. The strongest
// triplets must have phase sums near zero, the negative ones near 180
// degrees, and the statistics the command prints must say so too.
#include "tests/relationships/jobs.h"

using namespace zanek;
using namespace zanek::invtest;

namespace {

struct Job {
    const char* name;
    bool centric;
};

const Job kJobs[] = {{"fecl_r3c_synth", true},
                     {"rand_p212121_c20o4", false},
                     {"rand_p21c_c18n2o4", true},
                     {"rand_pbar1_c14o2", true}};

TEST(KnownPhases, StrongTripletsHaveSmallPhaseSumsOnEveryComputedJob) {
    for (const Job& job : kJobs) {
        SCOPED_TRACE(job.name);
        const std::string dir = test::fresh_dir(std::string("inv_known_") + job.name);
        const auto run = run_known_job(dir, job.name, "%normal\n%invariants\n");
        ASSERT_EQ(run.exit_code, 0) << run.listing.substr(run.listing.size() > 3000 ? run.listing.size() - 3000 : 0);
        const std::size_t inv = run.listing.find(" ZANEK : Invariants routine");
        ASSERT_NE(inv, std::string::npos);
        const std::string bin = dir + "/struct.bin";

        // The stored triplets, strongest first.
        const auto positive = stored_relations(bin, 8);
        ASSERT_GT(positive.size(), 500u);
        const double top_phi = mean_abs_phi(positive, 100);
        const double top_cos = mean_cos(positive, 0, 300);
        EXPECT_LT(top_phi, job.centric ? 10.0 : 40.0) << "mean |phi| of the 100 strongest";
        EXPECT_GT(top_cos, job.centric ? 0.9 : 0.6) << "mean cos phi of the 300 strongest";
        // All of list 8's positive triplets together still agree.
        const int npos = static_cast<int>(listtest::file_real(bin, listtest::file_row(bin, 8).first + 9));
        EXPECT_GT(mean_cos(positive, 0, npos), job.centric ? 0.8 : 0.4);

        // The negative triplets of the p-10 estimate lean towards 180.
        const auto negative = stored_relations(bin, 10);
        ASSERT_GT(negative.size(), 20u);
        EXPECT_LT(mean_cos(negative, 0, negative.size()), job.centric ? -0.2 : 0.2);
        EXPECT_LT(mean_cos(negative, 0, negative.size()), top_cos - 0.5);

        // The command's own statistics against the known phases: the triplet
        // table follows the quartet statistics.
        const std::size_t trip = run.listing.find("serial number of the first wrong triplet =", inv);
        ASSERT_NE(trip, std::string::npos);
        if (job.centric) {
            const auto at1 = numbers_after(run.listing, "  1.0   ", trip);  // nr, nc, %, nr, nc, %
            ASSERT_EQ(at1.size(), 6u);
            EXPECT_GT(at1[0], 100);
            EXPECT_GE(at1[2], 95.0) << "per cent correct signs at |G| >= 1";
        } else {
            const auto at2 = numbers_after(run.listing, "  2.0   ", trip);  // nr, %, <|phi|>, nr, %, <|phi|>
            ASSERT_EQ(at2.size(), 6u);
            EXPECT_GT(at2[0], 100);
            EXPECT_GE(at2[1], 95.0);
            EXPECT_LT(at2[2], 40.0) << "mean |phi| at G >= 2";
        }
        EXPECT_NE(run.listing.find("serial number of the first wrong triplet ="), std::string::npos);
        // The count table agrees with list 8.
        const auto counts = numbers_after(run.listing, "              positive estimated triplets", inv);
        ASSERT_EQ(counts.size(), 2u);
        EXPECT_EQ(counts[1], npos);
    }
}

}  // namespace
