// %invariants on the test jobs: selection, psi-zero, triplet and psi-e
// passes and the p-10 strengthening, on structure files prepared by %data
// and %normal. The large variants keep 20000 triplets and strengthen them
// with 70 free vectors, the limits of the command.
#include <benchmark/benchmark.h>

#include "bench/bench_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "crystaldata/normal.h"
#include "jobcontrol/commands.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/invariants.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/listptr.h"
#include "jobcontrol/records/phaseset.h"
#include "jobcontrol/records/scatter.h"
#include "jobcontrol/records/special.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/store.h"
#include "platform/listing.h"
#include "platform/units.h"

using namespace zanek;
using namespace zanek::bench;

namespace {

constexpr int kStoreUnit = 30, kListingUnit = 2;

// A structure file after %data and %normal of the job, open as the store.
bool prepare(const std::string& job) { return data_and_normal("inv_" + job, job); }

void run(benchmark::State& state, const std::string& job, const std::vector<std::string>& directives) {
    if (!prepare(job)) {
        state.SkipWithError("%data or %normal failed");
        return;
    }
    for (auto _ : state) {
        queue_one(3, directives);
        int status = 0;
        INVAR(status);
        if (status < 0) state.SkipWithError("%invariants failed");
    }
    state.counters["triplets"] = DIR10.I(dir10::kProcessed);
    state.counters["free_vectors"] = DIR10.I(dir10::kNumk);
    state.counters["operators"] = SYM.I(symw::kOps);
}

void BM_Invariants_P21c(benchmark::State& state) { run(state, "rand_p21c_c18n2o4", {}); }
void BM_Invariants_P21c_Limits(benchmark::State& state) {
    run(state, "rand_p21c_c18n2o4", {"big 20000", "numk 70", "nrtr 499"});
}
void BM_Invariants_R3c(benchmark::State& state) { run(state, "fecl_r3c_measured", {}); }
void BM_Invariants_R3c_Limits(benchmark::State& state) {
    run(state, "fecl_r3c_measured", {"big 20000", "numk 70", "nrtr 499"});
}
BENCHMARK(BM_Invariants_P21c)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Invariants_P21c_Limits)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Invariants_R3c)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Invariants_R3c_Limits)->Unit(benchmark::kMillisecond);

}  // namespace
