// Streaming 6-word reflection records through the one-buffer pool of the
// structure file, as list 7 is written and read record by record.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "bench/bench_support.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/safeguard.h"
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

// What protecting one command costs on a structure file of the given size
// in store blocks (8 KiB each on the disc): the copy written beside the
// file and flushed, one list word changed, then either the commit (the
// file flushed, the copy removed) or the undo (the copy put back).
void guarded_commands(benchmark::State& state, bool fail) {
    bench::start_run(fail ? "guard_undo" : "guard_commit");
    const int blocks = static_cast<int>(state.range(0));
    Word w = word_of_int(1);
    XUP(blocks * kStoreBlockWords - 1, &w, 1);  // the file reaches its size
    XDUMP();
    for (auto _ : state) {
        CommandGuard guard;
        guard.begin();
        w.i += 1;
        XUP(kFirstListAddress, &w, 1);
        if (fail) guard.undo();
        else guard.commit();
    }
    state.SetBytesProcessed(state.iterations() * int64_t{blocks} * 8192);
    units().close(kUnit);
    let_go_structure_file();
}

void BM_GuardedCommandThatEndsOk(benchmark::State& state) { guarded_commands(state, false); }
void BM_GuardedCommandThatFails(benchmark::State& state) { guarded_commands(state, true); }
// 12 blocks: a new file after %data of a few hundred reflections; 100: a
// solved small structure; 1000: about 8 MB, a large job.
BENCHMARK(BM_GuardedCommandThatEndsOk)->Arg(12)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GuardedCommandThatFails)->Arg(12)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
