// Streaming 6-word reflection records through the one-buffer pool of the
// structure file, as list 7 is written and read record by record.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/safeguard.h"
#include "jobcontrol/store/store.h"
#include "jobcontrol/zanek.h"
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

// What keeping one command's changes safe costs on a structure file of the
// given size in store blocks (8 KiB each on the disc): one list word
// changed, which makes the working copy of the file (from the copy the
// command before left beside it), then either the commit (the copy flushed
// to the disc and swapped with the file) or the undo (the copy dropped).
void guarded_commands(benchmark::State& state, bool fail) {
    bench::start_run(fail ? "guard_undo" : "guard_commit");
    const int blocks = static_cast<int>(state.range(0));
    Word w = word_of_int(1);
    {
        CommandGuard grow;
        XUP(blocks * kStoreBlockWords - 1, &w, 1);  // the file reaches its size
        grow.commit();
    }
    for (auto _ : state) {
        CommandGuard guard;  // a command not committed is undone as it goes
        w.i += 1;
        XUP(kFirstListAddress, &w, 1);
        XDUMP();
        if (!fail) guard.commit();
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

// Real commands of a test job, each run on the file the commands before it
// left, once as the dispatcher runs it (its changes kept safe) and once
// bare (the command's routine alone): the difference is what the safety
// costs a command, against the command's own time. %normal and %fourier
// store lists; %export and %history only read them.
constexpr const char* kCostJob = "rand_p21c_c18n2o4";

struct Stage {
    int code;
    std::vector<std::string> lines;
};

// The file before each command of the test job, made once.
const std::map<int, std::string>& files_before_each_command() {
    static const std::map<int, std::string> files = [] {
        std::map<int, std::string> out;
        const std::string dir = bench::start_run("cost_prepare", kCostJob);
        const Stage stages[] = {{CMD_DATA, bench::data_directives(kCostJob)}, {CMD_NORMAL, {}}, {CMD_SEMINV, {}},
                                {CMD_INVAR, {}}, {CMD_PHASE, {}}, {CMD_FOURIER, {}}};
        for (const Stage& s : stages) {
            XDUMP();
            out[s.code] = bench::read_bytes(dir + "/struct.bin");
            if (bench::run_one(s.code, s.lines) < 0) std::abort();
        }
        XDUMP();
        out[CMD_EXPORT] = out[CMD_HISTORY] = bench::read_bytes(dir + "/struct.bin");
        return out;
    }();
    return files;
}

void command_cost(benchmark::State& state, bool guarded) {
    const int code = static_cast<int>(state.range(0));
    const std::string before = files_before_each_command().at(code);
    const std::vector<std::string> lines = code == CMD_EXPORT ? std::vector<std::string>{"shel"} : std::vector<std::string>{};
    for (auto _ : state) {
        state.PauseTiming();
        bench::reopen_run("cost", before);
        bench::queue_one(code, lines);
        state.ResumeTiming();
        int status = 0, job_count = 0;
        if (guarded) run_command(code, 0, job_count, status);
        else dispatch_command(code, 0, job_count, status);
        if (status < 0) state.SkipWithError("the command failed");
    }
    units().close(kUnit);
    let_go_structure_file();
}

void BM_CommandKeptSafe(benchmark::State& state) { command_cost(state, true); }
void BM_CommandBare(benchmark::State& state) { command_cost(state, false); }
BENCHMARK(BM_CommandKeptSafe)->Arg(CMD_NORMAL)->Arg(CMD_FOURIER)->Arg(CMD_EXPORT)->Arg(CMD_HISTORY)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CommandBare)->Arg(CMD_NORMAL)->Arg(CMD_FOURIER)->Arg(CMD_EXPORT)->Arg(CMD_HISTORY)->Unit(benchmark::kMillisecond);

}  // namespace
