// A whole test job in one run, from %data to %fourier on a new structure
// file: once as the dispatcher runs it (every command's changes kept safe
// on the disc) and once bare (the commands' routines alone, writing the
// file in place), beside a plain read of the file the job leaves. The
// difference between the first two is what keeping the file safe costs
// the job.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "bench/bench_support.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/store/store.h"
#include "jobcontrol/zanek.h"
#include "platform/units.h"

using namespace zanek;

namespace {

constexpr int kStoreUnit = 30;

// One command's routine alone, as the program's dispatcher calls it, with
// what it stored flushed to the file at the end.
int run_bare(int code, const std::vector<std::string>& lines) {
    bench::queue_one(code, lines);
    int status = 0, job_count = 0;
    dispatch_command(code, 0, job_count, status);
    XDUMP();
    return status;
}

// Runs the job's commands in turn; false when one fails.
bool run_job(const std::string& job, bool guarded) {
    const int codes[] = {CMD_DATA, CMD_NORMAL, CMD_SEMINV, CMD_INVAR, CMD_PHASE, CMD_FOURIER};
    for (int code : codes) {
        const std::vector<std::string> lines =
            code == CMD_DATA ? bench::data_directives(job) : std::vector<std::string>{};
        if ((guarded ? bench::run_one(code, lines) : run_bare(code, lines)) < 0) return false;
    }
    return true;
}

void whole_job(benchmark::State& state, bool guarded) {
    const std::string job = "rand_p21c_c18n2o4";
    for (auto _ : state) {
        state.PauseTiming();
        bench::start_run(guarded ? "job_kept_safe" : "job_bare", job);
        state.ResumeTiming();
        if (!run_job(job, guarded)) state.SkipWithError("a command of the job failed");
    }
    units().close(kStoreUnit);
}

void BM_WholeJobKeptSafe(benchmark::State& state) { whole_job(state, true); }
void BM_WholeJobBare(benchmark::State& state) { whole_job(state, false); }
BENCHMARK(BM_WholeJobKeptSafe)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeJobBare)->Unit(benchmark::kMillisecond);

// Reading the whole structure file the job leaves, as a plain read.
void BM_ReadTheJobsFile(benchmark::State& state) {
    const std::string dir = bench::start_run("job_read", "rand_p21c_c18n2o4");
    if (!run_job("rand_p21c_c18n2o4", true)) state.SkipWithError("a command of the job failed");
    units().close(kStoreUnit);
    std::size_t bytes = 0;
    std::vector<char> buf(1 << 20);
    for (auto _ : state) {
        const int fd = ::open((dir + "/struct.bin").c_str(), O_RDONLY);
        bytes = 0;
        for (ssize_t n; (n = ::read(fd, buf.data(), buf.size())) > 0;) bytes += static_cast<std::size_t>(n);
        ::close(fd);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_ReadTheJobsFile)->Unit(benchmark::kMicrosecond);

}  // namespace
