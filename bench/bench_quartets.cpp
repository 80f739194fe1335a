// The quartet pass of %invariants on the test jobs: the cross-vector index
// (symmetry images of the strong reflections, the super-index table over
// list 7 and the zones of the operators) and the search over the pairs of
// psi-zero relations, on structure files prepared by %data and %normal and
// psi-zero relations left by %invariants. The large variants use the
// largest strong and weak selections the command allows.
#include <benchmark/benchmark.h>

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

namespace {

constexpr int kStoreUnit = 30, kListingUnit = 2;

void queue_one(int code, const std::vector<std::string>& lines) {
    for (int k = 1; k <= 404; ++k) COMDIR.I(k) = 0;
    COMDIR.I(1) = code;
    COMDIR.I(201) = static_cast<int>(lines.size());
    COMDIR.I(402) = 1;
    COMDIR.I(404) = 1;
    for (std::size_t k = 0; k < lines.size(); ++k) CHARA.set_line(static_cast<int>(k) + 1, lines[k]);
    XLIMI.I(7) = 1;
}

std::vector<std::string> data_directives(const std::string& job) {
    std::ifstream in(std::string(ZANEK_SHARED_DIR) + "/testdata/" + job + "/job.cmd");
    std::vector<std::string> out;
    std::string line;
    bool in_data = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '%') {
            in_data = line.rfind("%data", 0) == 0;
            continue;
        }
        if (in_data) out.push_back(line);
    }
    return out;
}

// %data, %normal and %invariants without its triplet and psi-e passes:
// the table and the psi-zero relations are in the work store.
bool prepare(const std::string& job, std::vector<std::string> selection) {
    const std::string dir = std::filesystem::temp_directory_path().string() + "/zanek_bench_quart_" + job;
    std::filesystem::create_directories(dir);
    std::filesystem::copy_file(std::string(ZANEK_SHARED_DIR) + "/testdata/" + job + "/data.hkl", dir + "/data.hkl",
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::current_path(dir);
    std::filesystem::remove(dir + "/struct.bin");
    setenv("CRYSDIR", ZANEK_SOURCE_DIR "/data/", 1);
    units().close(kStoreUnit);
    units().close(kListingUnit);
    units().open_seq(kListingUnit, dir + "/bench.lis", OpenStatus::Unknown, FileForm::Formatted);
    set_listing_unit(kListingUnit);
    reset_job_records();
    reset_store_records();
    reset_crystal_records();
    reset_atom_records();
    reset_scatter_records();
    reset_list_pointers();
    reset_phaseset_records();
    SPEC = initial_spec();
    fill_trig();
    BUFFER.I(511) = 85;
    XDISU.I(1) = kStoreUnit;
    int next = 0;
    XGIV(1, 800, next);
    units().open_direct(kStoreUnit, dir + "/struct.bin", false, 2048);
    XDWN(1600, XFILI.at(3), 10);
    SETFI();
    SLDF();
    XFILE.I(6) = 1;
    queue_one(23, data_directives(job));
    int status = 0;
    DATAZAN(0, status);
    if (status < 0) return false;
    queue_one(1, {});
    NORMAL(status);
    if (status < 0) return false;
    selection.insert(selection.end(), {"nsig", "nops"});
    queue_one(3, selection);
    INVAR(status);
    return status >= 0 && DIRPS.I(3) > 1;
}

void counters(benchmark::State& state, const int counts[14]) {
    state.counters["psi_zero"] = DIRPS.I(3);
    state.counters["negative_met"] = counts[5];
    state.counters["enant"] = counts[13];
    state.counters["operators"] = SYM.I(217);
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
    state.counters["largest_super_index"] = PARAM.I(3);
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
