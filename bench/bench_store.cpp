// Streaming 6-word reflection records through the one-buffer pool of the
// structure file, as list 7 is written and read record by record.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

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
    XDISU.I(xdisu::kUnit) = kUnit;
    int next = 0;
    XGIV(1, 800, next);
    units().open_direct(kUnit, path, false, 2048);
}

void BM_StreamRecords(benchmark::State& state) {
    const std::string path = (std::filesystem::temp_directory_path() / "zanek_bench_store.bin").string();
    std::filesystem::remove(path);
    open_store(path);
    Word rec[6];
    for (auto _ : state) {
        int addr = 1920;
        for (int k = 0; k < kRecords; ++k, addr += 6) {
            for (int j = 0; j < 6; ++j) rec[j].i = k + j;
            XUP(addr, rec, 6);
        }
        XDUMP();
        addr = 1920;
        int64_t sum = 0;
        for (int k = 0; k < kRecords; ++k, addr += 6) {
            XDWN(addr, rec, 6);
            sum += rec[0].i;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kRecords * 2);
    units().close(kUnit);
    std::filesystem::remove(path);
}
BENCHMARK(BM_StreamRecords)->Unit(benchmark::kMillisecond);

}  // namespace
