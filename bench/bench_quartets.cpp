// The quartet pass of %invariants on the test jobs: the cross-vector index
// (symmetry images of the strong reflections, the super-index table over
// list 7 and the zones of the operators) and the search over the pairs of
// psi-zero relations, on structure files prepared by %data and %normal and
// psi-zero relations left by %invariants. The large variants use the
// largest strong and weak selections the command allows.
#include <benchmark/benchmark.h>

#include "bench/bench_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
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
#include "relationships/crossvec.h"
#include "relationships/invariants.h"
#include "relationships/quartets.h"

using namespace zanek;
using namespace zanek::bench;

namespace {

constexpr int kStoreUnit = 30, kListingUnit = 2;

// %data, %normal and %invariants without its triplet and psi-e passes:
// the table and the psi-zero relations are in the work store.
bool prepare(const std::string& job, std::vector<std::string> selection) {
    if (!data_and_normal("quart_" + job, job)) return false;
    selection.insert(selection.end(), {"nsig", "nops"});
    return run_one(3, selection) >= 0 && DIRPS.I(dirps::kStored) > 1;
}

void counters(benchmark::State& state, const int counts[14]) {
    state.counters["psi_zero"] = DIRPS.I(dirps::kStored);
    state.counters["negative_met"] = counts[5];
    state.counters["enant"] = counts[13];
    state.counters["operators"] = SYM.I(symw::kOps);
}

void run_pass(benchmark::State& state, const std::string& job, const std::vector<std::string>& selection) {
    if (!prepare(job, selection)) {
        state.SkipWithError("preparation failed");
        return;
    }
    int counts[14] = {};
    for (auto _ : state) NEGQ(counts);
    counters(state, counts);
}

void run_index(benchmark::State& state, const std::string& job) {
    if (!prepare(job, {})) {
        state.SkipWithError("preparation failed");
        return;
    }
    for (auto _ : state) RECIP();
    state.counters["largest_super_index"] = PARAM.I(param::kLargest);
}

const std::vector<std::string> kLargest = {"nrtr 499", "nrps 300"};

void BM_Quartets_P212121(benchmark::State& state) { run_pass(state, "rand_p212121_c20o4", {}); }
void BM_Quartets_P212121_Largest(benchmark::State& state) { run_pass(state, "rand_p212121_c20o4", kLargest); }
void BM_Quartets_R3c(benchmark::State& state) { run_pass(state, "fecl_r3c_measured", {}); }
void BM_Quartets_R3c_Largest(benchmark::State& state) { run_pass(state, "fecl_r3c_measured", kLargest); }
void BM_CrossVectorIndex_R3c(benchmark::State& state) { run_index(state, "fecl_r3c_measured"); }
BENCHMARK(BM_Quartets_P212121)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Quartets_P212121_Largest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Quartets_R3c)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Quartets_R3c_Largest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CrossVectorIndex_R3c)->Unit(benchmark::kMillisecond);

}  // namespace
