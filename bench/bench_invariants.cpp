// %invariants on the test jobs: selection, psi-zero, triplet and psi-e
// passes and the p-10 strengthening, on structure files prepared by %data
// and %normal. The large variants keep 20000 triplets and strengthen them
// with 70 free vectors, the limits of the command.
#include <benchmark/benchmark.h>

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

// The %data directives of a test job (reflections from data.hkl).
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

// A structure file after %data and %normal of the job, open as the store.
bool prepare(const std::string& job) {
    const std::string dir = std::filesystem::temp_directory_path().string() + "/zanek_bench_inv_" + job;
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
    return status >= 0;
}

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
    state.counters["triplets"] = DIR10.I(3);
    state.counters["free_vectors"] = DIR10.I(1);
    state.counters["operators"] = SYM.I(217);
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
