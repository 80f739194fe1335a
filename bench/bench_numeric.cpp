// Hot loops of the platform and numeric helpers: reading reflection lines
// with a user format, formatting listing lines, and the record sort.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "jobcontrol/numeric.h"
#include "jobcontrol/records/work.h"
#include "platform/fformat.h"
#include "platform/fread.h"

namespace zanek {
namespace {

std::vector<std::string> reflection_lines(int n) {
    std::mt19937 rng(7);
    std::vector<std::string> lines;
    lines.reserve(size_t(n));
    char buf[64];
    for (int i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, "%4d%4d%4d%8.2f%8.2f", int(rng() % 40), int(rng() % 60) - 30,
                      int(rng() % 60) - 30, (rng() % 100000) / 100.0, (rng() % 1000) / 100.0);
        lines.emplace_back(buf);
    }
    return lines;
}

// 100,000 reflection lines under the default format.
void BM_ReadReflections(benchmark::State& state) {
    const auto lines = reflection_lines(100000);
    const FKind kinds[] = {FKind::Int, FKind::Int, FKind::Int, FKind::Real, FKind::Real};
    for (auto _ : state) {
        FReader rd("(3i4,2f8.2)");
        size_t at = 0;
        FRecordSource next = [&](std::string& l) {
            if (at >= lines.size()) return FREAD_EOF;
            l = lines[at++];
            return FREAD_OK;
        };
        Word v[5];
        long sum = 0;
        while (rd.read(kinds, 5, v, next) == FREAD_OK) sum += v[0].i;
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_ReadReflections)->Unit(benchmark::kMillisecond);

// A typical listing line with integers, reals and text.
void BM_FormatLine(benchmark::State& state) {
    int i = 0;
    for (auto _ : state) {
        auto recs = fformat("(1x,3i4,2f8.2,e12.4,2x,a)", {i, -i, 7, 12.5 + i, -0.25, 12345.6, "label"});
        benchmark::DoNotOptimize(recs);
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatLine);

// SORTZ on N six-word records with random keys, descending. Record i
// (0-based) starts at XDATA word 1 + 6i: the key in its first word, the
// record's number in its second.
void BM_Sortz(benchmark::State& state) {
    constexpr int kRecordWords = 6;
    const int n = int(state.range(0));
    std::mt19937 rng(11);
    std::vector<float> keys(static_cast<size_t>(n));
    for (float& k : keys) k = float(rng() % 100000) / 100.0f;
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < n; ++i) {
            const int first = 1 + kRecordWords * i;
            XDATA.R(size_t(first)) = keys[size_t(i)];
            XDATA.I(size_t(first + 1)) = i;
        }
        state.ResumeTiming();
        SORTZ(1, n, kRecordWords, -1);
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_Sortz)->Arg(1000)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zanek
