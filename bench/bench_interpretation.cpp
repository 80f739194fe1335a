// Benchmark of one peak interpretation (MAINCL): 200 peaks of organic
// density in P21/c, and 100 peaks in R-3c (36 images per peak), through
// species labelling, the neighbour search under symmetry, angles,
// fragment growth, connected positions and the bond list.
#include <benchmark/benchmark.h>

#include "bench/bench_support.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "crystaldata/data_command.h"
#include "fourier/interpretation/interp_internal.h"
#include "fourier/interpretation/interpretation.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/listptr.h"
#include "jobcontrol/records/scatter.h"
#include "jobcontrol/records/special.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/store.h"
#include "platform/listing.h"
#include "platform/units.h"

namespace zanek {
namespace {

// A fresh structure file with the lists of one %data run.
void prepare(const std::vector<std::string>& lines) {
    bench::start_run("interp");
    bench::run_one(23, lines);
    XLIMI.I(xlimi::kListBase) = 1;
    SPEC.I(kSpecReady) = -1;
    INPCL.clear();
    for (int k = 1; k <= 8; ++k) cond::radius(k) = -1.0f;
    cond::regroup() = 1;
    EMAP.R(emap::kR) = 1.0f;
}

// n peaks at random, at least `gap` A apart in an orthogonal frame of
// the cell edges (symmetry images are not checked), decreasing heights.
void random_peaks(int n, const double cell[3], double gap, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::vector<std::array<double, 3>> p;
    while (static_cast<int>(p.size()) < n) {
        std::array<double, 3> x = {u(rng), u(rng), u(rng)};
        bool ok = true;
        for (const auto& q : p) {
            double d2 = 0;
            for (int c = 0; c < 3; ++c) {
                double d = x[c] - q[c];
                d -= std::round(d);
                d2 += d * d * cell[c] * cell[c];
            }
            if (d2 < gap * gap) ok = false;
        }
        if (ok) p.push_back(x);
    }
    for (int k = 1; k <= n; ++k) {
        for (int c = 1; c <= 3; ++c) atom_coord(k, c) = static_cast<float>(p[k - 1][c - 1]);
        atom_coord(k, 4) = static_cast<float>(1000 - 3 * k);
        atom_coord(k, 5) = 1.0f;
        atom_label(k) = 0;
    }
    CONST.I(konst::kAtomCount) = n;
}

void run(benchmark::State& state, const std::vector<std::string>& lines, const double cell[3], int n) {
    prepare(lines);
    int32_t codes[kMaxResultCodes];
    for (auto _ : state) {
        state.PauseTiming();
        random_peaks(n, cell, 1.3, 7);
        state.ResumeTiming();
        int mode = interp_mode::kLaterMap;
        MAINCL(codes, mode, 0);
        benchmark::DoNotOptimize(codes[0]);
    }
}

void BM_Interpretation_P21c_200(benchmark::State& state) {
    const double cell[3] = {20.0, 25.0, 30.0};
    run(state, {"cell 20 25 30 90 100 90", "spac p 1 21/c 1", "cont c 640 n 80 o 80"}, cell, 200);
}
BENCHMARK(BM_Interpretation_P21c_200)->Unit(benchmark::kMillisecond);

void BM_Interpretation_R3c_100(benchmark::State& state) {
    const double cell[3] = {30.0, 30.0, 24.0};
    run(state, {"cell 30 30 24 90 90 120", "spac r -3 c", "cont c 2880 o 720"}, cell, 100);
}
BENCHMARK(BM_Interpretation_R3c_100)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zanek
