// The pseudo-translation section of %normal on 12,000 reflections of a
// cubic group (48 rotations, the largest point group): the evaluation of
// the 71 classes with the automatic search, and the renormalisation to a
// class with its statistic of every class.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>

#include "bench/bench_support.h"
#include "crystaldata/pseudo.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/normal.h"
#include "platform/listing.h"
#include "platform/units.h"

using namespace zanek;

namespace {

constexpr int kListingUnit = 2;

// The 48 rotations of m-3m: signed permutations of (h, k, l).
void cubic_group() {
    ERL.clear();
    const int perms[6][3] = {{0, 1, 2}, {1, 2, 0}, {2, 0, 1}, {1, 0, 2}, {0, 2, 1}, {2, 1, 0}};
    int k = 0;
    for (const auto& p : perms)
        for (int s = 0; s < 8; ++s) {
            ++k;
            for (int i = 0; i < 3; ++i) erl_R(k, i + 1, p[i] + 1) = (s >> i) & 1 ? -1 : 1;
        }
    SYM.I(symw::kOps) = 24;
    SYM.I(symw::kCentric) = 1;
    SYM.I(symw::kLattice) = 1;
    SYM.R(symw::kSigma3Prim) = 0.1f;
    ERL.I(erlw::kSystem) = 6;
}

void fill(WorkingFile& wf) {
    std::mt19937 gen(7);
    std::exponential_distribution<float> wilson(1.0f);
    wf.clear();
    for (int h = 0; h <= 40 && wf.size() < 20000; ++h)
        for (int k = 0; k <= h && wf.size() < 20000; ++k)
            for (int l = 0; l <= k && wf.size() < 20000; ++l) {
                if (h + k + l == 0) continue;
                WorkRecord r;
                r.h = h;
                r.k = k;
                r.l = l;
                r.s2 = 0.0004f * static_cast<float>(h * h + k * k + l * l);
                // h even strong: a pseudo-translation (1/2, 0, 0) and its images.
                const float e2 = wilson(gen);
                r.key.r = (h % 2 == 0 && k % 2 == 0 && l % 2 == 0) ? 1.0f + e2 : 0.4f * e2;
                r.code = work_code(1, 1);
                r.sigma = 1.0f;
                wf.push_back(r);
            }
    RC.I(rcw::kReflections) = static_cast<int>(wf.size());
    RC.I(rcw::kShells) = 20;
    float s2max = 0;
    for (const WorkRecord& r : wf) s2max = std::max(s2max, r.s2);
    RC.R(rcw::kLargestS2) = s2max;
    RC.R(rcw::kELimit) = 1.2f;
}

void setup() {
    static bool done = false;
    if (done) return;
    done = true;
    const std::string dir = bench::fresh_folder("pseudo");
    units().open_seq(kListingUnit, dir + "/bench.lis", OpenStatus::Unknown, FileForm::Formatted);
    set_listing_unit(kListingUnit);
    cubic_group();
}

void BM_PseudoSectionCubic(benchmark::State& state) {
    setup();
    for (auto _ : state) {
        state.PauseTiming();
        fill(working_file());
        CPSEUD.clear();
        CPSEUD.I(cpseud::kClass) = 0;
        state.ResumeTiming();
        float slope = 0, cnst = 0, escale = 0;
        int nstore = 0, ierr = 0;
        PSEUDO(slope, cnst, escale, nstore, ierr);
        benchmark::DoNotOptimize(nstore);
    }
}
BENCHMARK(BM_PseudoSectionCubic)->Unit(benchmark::kMillisecond);

void BM_RenormalisationCubic(benchmark::State& state) {
    setup();
    fill(working_file());
    CPSEUD.clear();
    CPSEUD.I(cpseud::kClass) = 2;
    SYM.R(symw::kEquivalents) = 48.0f;
    for (auto _ : state) {
        float escale = 0;
        int nstore = 0;
        RENORM(working_file(), 72, 0.1f, 0.2f, escale, nstore);
        benchmark::DoNotOptimize(escale);
    }
}
BENCHMARK(BM_RenormalisationCubic)->Unit(benchmark::kMillisecond);

}  // namespace
