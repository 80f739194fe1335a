// Standard equivalents of 100,000 reflections, as the reflection input asks
// for them, in a high-symmetry group (24 stored operators) and a
// monoclinic one; and the absence test of the same reflections.
#include <benchmark/benchmark.h>

#include <string>

#include "crystaldata/equivalents.h"
#include "crystaldata/spacegroup.h"
#include "jobcontrol/records/crystal.h"
#include "platform/listing.h"
#include "platform/units.h"

namespace {

void set_group(const char* symbol) {
    zanek::units().open_seq(zanek::listing_unit(), "/dev/null", zanek::OpenStatus::Unknown,
                            zanek::FileForm::Formatted);
    std::string s = symbol;
    int n = static_cast<int>(s.size()), ierr = 0;
    s.resize(80, ' ');
    zanek::ONEBL(s, 80, n, ierr);
    zanek::store_symbol_in_erl(s.substr(0, 16));
    const int zero[3] = {0, 0, 0};
    zanek::INSYM(0, zero, ierr);
    for (int i = 0; i < 3; ++i) zanek::s2_coefficients()[i] = 0.0004f;  // G1..G3: h^2, k^2, l^2
    zanek::RC.R(zanek::rcw::kRhomax) = 1.98f;
}

void run_geneq(benchmark::State& state, const char* symbol) {
    set_group(symbol);
    for (auto _ : state) {
        long sum = 0;
        for (int n = 0; n < 100000; ++n) {
            int h = n % 40, k = (n / 40) % 50 - 25, l = n / 2000 - 25;
            int shift, code, sign, same;
            float s2;
            zanek::GENEQ(1, h, k, l, shift, code, sign, same, s2);
            sum += h + k + l + code;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * 100000);
}

void BM_GeneqCubic(benchmark::State& state) { run_geneq(state, "f m -3 m"); }
void BM_GeneqMonoclinic(benchmark::State& state) { run_geneq(state, "p 21/c"); }

void BM_ExtinCubic(benchmark::State& state) {
    set_group("i a -3 d");
    int tlist[24];
    int nt = zanek::translated_operators(tlist);
    int lm1 = zanek::SYM.I(zanek::symw::kLattice) - 1;
    for (auto _ : state) {
        long sum = 0;
        for (int n = 0; n < 100000; ++n) {
            int absent;
            zanek::EXTIN(absent, n % 40, (n / 40) % 50 - 25, n / 2000 - 25, lm1, nt, tlist);
            sum += absent;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * 100000);
}

}  // namespace

BENCHMARK(BM_GeneqCubic)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GeneqMonoclinic)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExtinCubic)->Unit(benchmark::kMillisecond);
