// Hot loops of the seminvariants command on a P21/c data set made here:
// the representation sums of the one-phase estimates (second formula, with
// the free-vector corrections) and the search for the sigma2 pairs of the
// two-phase routine.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "crystaldata/spacegroup.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/invariants.h"
#include "jobcontrol/records/seminv.h"
#include "platform/listing.h"
#include "platform/units.h"
#include "relationships/representation.h"
#include "relationships/semalg.h"
#include "relationships/seminv.h"
#include "relationships/seminv_work.h"
#include "relationships/twophase.h"

namespace zanek {
namespace {

// P 1 21/c 1, maximum indices 12 14 18, every reflection of the box present
// with a random E; the 350 strongest as the reflections to search.
void prepare() {
    static bool done = false;
    if (done) return;
    done = true;
    units().open_seq(listing_unit(), "/dev/null", OpenStatus::Unknown, FileForm::Formatted);
    reset_crystal_records();
    std::string line = "p 1 21/c 1";
    int n = static_cast<int>(line.size()), ierr = 0;
    line.resize(80, ' ');
    ONEBL(line, 80, n, ierr);
    store_symbol_in_erl(line.substr(0, 16));
    const int zero[3] = {0, 0, 0};
    INSYM(0, zero, ierr);
    ERL.I(erlw::kGenerators) = 0;
    UREQ.I(ureqw::kHmax) = 12;
    UREQ.I(ureqw::kKmax) = 14;
    UREQ.I(ureqw::kLmax) = 18;
    UREQ.I(ureqw::kPrint) = 0;
    seminv_symmetry();
    seminv_strides();
    seminv_algebra();
    COST.R(cost::kTwoPi) = 6.2831855f;
    INP.R(inp::kSemAtomsReal) = 92.0f;
    INP.R(inp::kSemSqrtAtoms) = std::sqrt(92.0f);

    std::mt19937 rng(11);
    std::exponential_distribution<float> e2(1.0f);
    struct R {
        int h[3];
        float e;
    };
    std::vector<R> refs;
    for (int h = 0; h <= 12; ++h)
        for (int k = 0; k <= 14; ++k)
            for (int l = -18; l <= 18; ++l) {
                if (h == 0 && (l < 0 || (l == 0 && k == 0))) continue;
                refs.push_back({{h, k, l}, std::sqrt(e2(rng))});
            }
    std::sort(refs.begin(), refs.end(), [](const R& a, const R& b) { return a.e > b.e; });
    std::vector<SeminvReflection>& list = seminv_reflections();
    list.clear();
    semtab::first_rank_count() = 0;
    COST.I(cost::kCandidates) = 0;
    for (std::size_t r = 1; r <= refs.size(); ++r) {
        const R& x = refs[r - 1];
        list.push_back({{x.h[0], x.h[1], x.h[2]}, seminv_e(x.e), 13 * 1 + 360 * 32});
        PRO.R(pro::kEH) = x.e;
        COST.I(cost::kCode) = 13;
        int found = 0;
        if (semtab::first_rank_count() < semtab::kFirstRank) FILLIS(x.h, static_cast<int>(r), found, 360);
        if (r <= 350) FILL(x.h, x.e, 13, 360, static_cast<int>(r), 0);
    }
    DIR1.I(dir1::kFormula) = 2;
    DIR1.I(dir1::kNrs1) = 350;
    DIR1.I(dir1::kFreeVectors) = 60;
    DIR1.R(dir1::kFreeE) = semtab::row_e(60);
    FILLR();
}

// One-phase sums of the first-rank seminvariants among the rows to search.
void BM_OnePhaseSums(benchmark::State& state) {
    prepare();
    const int nfr = semtab::first_rank_count();
    for (auto _ : state) {
        float total = 0.0f;
        for (int i = 1; i <= nfr; ++i) {
            const int r = semtab::first_rank(i, 1) / 10;
            if (r > 350) continue;
            for (int c = 0; c < 3; ++c) pro::h(1 + c) = semtab::first_rank(i, 3 + c);
            PRO.R(pro::kEH) = semtab::row_e(r);
            for (int w : {pro::kCos1, pro::kSin1, pro::kCos2, pro::kSin2}) PRO.R(w) = 0.0f;
            PRO.I(pro::kMarks) = 0;
            PRO.I(pro::kContributors) = 0;
            EHK();
            int word = semtab::first_rank(i, 2);
            for (int m = 0; m < semtab::first_rank(i, 1) % 10; ++m, word /= 64) {
                const int k = word % 64;
                PRO.I(pro::kMatrix) = k;
                Mat3 R, A;
                erl_matrix(k, R);
                for (int a = 0; a < 3; ++a)
                    for (int b = 0; b < 3; ++b) A[a][b] = (a == b ? 1 : 0) - R[b][a];
                int flag = 0, hout[3];
                std::string s, mu, le;
                DIOF(A, flag, hout, s, mu, le);
                PROSS2.I(pross2::kMode) = 1;
                FIND1(r, 0.0f, flag);
            }
            unmark_all();
            total += PRO.R(pro::kCos2);
        }
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_OnePhaseSums)->Unit(benchmark::kMillisecond);

// The sigma2 pairs of every first-rank seminvariant over 350 rows.
void BM_Sigma2Pairs(benchmark::State& state) {
    prepare();
    for (auto _ : state) {
        SIGMA2();
        benchmark::DoNotOptimize(SIG2.I(sig2::kRelations));
    }
    FILLR();
}
BENCHMARK(BM_Sigma2Pairs)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zanek
