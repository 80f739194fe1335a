// Writing and streaming list 7 record by record (XSLW07, SNR07), as %data,
// %normal and %invariants do for every reflection of the data.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "jobcontrol/lists/list07.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/listptr.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/store.h"
#include "platform/units.h"

using namespace zanek;

namespace {

constexpr int kUnit = 30;
constexpr int kRecords = 20000;

void open_store(const std::string& path) {
    units().close(kUnit);
    reset_store_records();
    reset_crystal_records();
    reset_list_pointers();
    XDISU.I(xdisu::kUnit) = kUnit;
    int next = 0;
    XGIV(1, 800, next);
    units().open_direct(kUnit, path, false, 2048);
    SETFI();
}

void BM_List7WriteAndStream(benchmark::State& state) {
    const std::string path = (std::filesystem::temp_directory_path() / "zanek_bench_lists.bin").string();
    std::filesystem::remove(path);
    open_store(path);
    for (auto _ : state) {
        int n, nref, nzro, ip, x;
        YSFP07(kRecords, 0, list7::kDefaultSeed);
        YSFL07(n, nref, nzro, ip, x);
        for (int k = 0; k < kRecords; ++k) {
            Word rec[6] = {word_of_int(compact_index(k % 127 - 63, (k / 127) % 127 - 63, k % 31)),
                           word_of_real(1.0f), word_of_real(2.0f), word_of_real(pack_pair(0.1f, 0.2f)),
                           word_of_int(33), word_of_real(0.5f)};
            XSLW07(rec);
        }
        YSFL07(n, nref, nzro, ip, x);
        XDUMP();
        int64_t sum = 0;
        Word out[9];
        for (int k = 0; k < n; ++k) {
            SNR07(out);
            sum += out[0].i + out[2].i;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kRecords * 2);
    units().close(kUnit);
    std::filesystem::remove(path);
}
BENCHMARK(BM_List7WriteAndStream)->Unit(benchmark::kMillisecond);

}  // namespace
