// The map transform: the one-dimensional kernels on many sequences at once
// (the layout of the x pass), and the whole three-dimensional map from
// coefficient records on the scratch file, on the grid of a small organic
// structure and on a larger one.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "fourier/fourier_records.h"
#include "fourier/maps/fft3d.h"
#include "fourier/maps/fft_kernels.h"
#include "jobcontrol/files.h"
#include "jobcontrol/records/job.h"
#include "platform/units.h"

namespace zanek {
namespace {

// Forward transforms of 32 sections x 20 sequences of length n, points nz
// words apart as in the x pass.
void BM_ComplexKernels(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0)), nz = 48, sections = 32, nl = 20;
    std::vector<float> w(static_cast<std::size_t>(sections) * n * nz);
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> u(-1, 1);
    for (float& v : w) v = u(rng);
    const int d[5] = {sections * n * nz, nz, n * nz, 2 * nl, 2};
    for (auto _ : state) {
        int err = 0;
        CMPLFTN(w.data(), w.data() + 1, 0, n, d, err);
        benchmark::DoNotOptimize(w.data());
    }
    state.SetItemsProcessed(state.iterations() * sections * nl * n);
}
BENCHMARK(BM_ComplexKernels)->Arg(30)->Arg(48)->Arg(60)->Arg(150);

// A full map: random coefficients of one hemisphere (half the reflections
// of the grid's resolution sphere), transformed into the integer map.
void BM_Map(benchmark::State& state) {
    const int nx = static_cast<int>(state.range(0)), ny = static_cast<int>(state.range(1)),
              nz = static_cast<int>(state.range(2));
    UNIT.I(unitw::kIfour) = 33;
    UNIT.I(unitw::kSequentialScratch) = 32;
    int st = 0;
    JOPEN(32, "", 0, 1, 2, st);
    JOPEN(33, "", 0, 1, 2, st);
    const int hm = nx / 2 - 1, km = ny / 2 - 1, lm = nz / 2 - 1;
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> u(-50, 50);
    std::vector<std::vector<Word>> records;
    std::vector<Word> rec(coef::kRecordWords);
    int n = 0;
    for (int l = 0; l <= lm; ++l)
        for (int h = -hm; h <= hm; ++h)
            for (int k = -km; k <= km; ++k) {
                if (l == 0 && (h < 0 || (h == 0 && k < 0))) continue;
                const double r2 = double(h * h) / (hm * hm) + double(k * k) / (km * km) + double(l * l) / (lm * lm);
                if (r2 > 1.0 || (n > 0 && rng() % 2)) continue;  // about half of the sphere
                const int e = n % coef::kPerRecord;
                rec[static_cast<std::size_t>(e)] = word_of_int(coef::biased_index(h, k, l));
                rec[static_cast<std::size_t>(coef::kPerRecord + 2 * e)] = word_of_real(u(rng));
                rec[static_cast<std::size_t>(coef::kPerRecord + 2 * e + 1)] = word_of_real(u(rng));
                if (++n % coef::kPerRecord == 0) records.push_back(rec);
            }
    if (n % coef::kPerRecord) records.push_back(rec);
    CONST.I(konst::kCoefficients) = n;
    TRAN.I(tran::kHmax) = hm;
    TRAN.I(tran::kKmax) = km;
    TRAN.I(tran::kLmax) = lm;
    TRAN.R(tran::kScale) = 1.0f;
    TRAN.I(tran::kPrintUnit) = 0;
    std::vector<float> work(static_cast<std::size_t>(kFftWorkWords));
    for (auto _ : state) {
        state.PauseTiming();
        units().rewind(32);
        for (const auto& r : records) units().write_record(32, r);
        state.ResumeTiming();
        int ierr = 0;
        PP1(work.data(), kFftWorkWords, nx, ny, nz, ierr);
        if (ierr != 0) state.SkipWithError("map failed");
    }
    state.counters["coefficients"] = n;
    units().close(32);
    units().close(33);
}
BENCHMARK(BM_Map)->Args({30, 40, 48})->Args({48, 48, 60})->Args({90, 100, 120})->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zanek
