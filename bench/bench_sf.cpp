// The structure-factor pass of Fourier recycling: 20,000 reflections and
// 100 atoms in P 21 21 21 (4 operators) and in P 21/c (centrosymmetric),
// structure factors only (one cycle, step A) and with seven cycles of
// least squares of coordinates and B (steps B and C).
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "crystaldata/equivalents.h"
#include "fourier/fourier_records.h"
#include "fourier/recycling/recycling.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/scatter.h"
#include "jobcontrol/records/special.h"
#include "platform/listing.h"

namespace zanek {
namespace {

constexpr int kReflections = 20000, kAtoms = 100;

struct Op {
    int r[3][3];
    float t[3];
};

void set_group(const Op* ops, int n, bool centric) {
    SYM.clear();
    ERL.clear();
    for (int k = 1; k <= n; ++k)
        for (int i = 1; i <= 3; ++i) {
            for (int j = 1; j <= 3; ++j) erl_R(k, i, j) = ops[k - 1].r[i - 1][j - 1];
            erl_T(k, i) = ops[k - 1].t[i - 1];
        }
    SYM.I(symw::kOps) = n;
    SYM.R(symw::kLatticePoints) = 1.0f;
    SYM.I(symw::kCentric) = centric ? 1 : 0;
    SYM.I(symw::kLattice) = 1;
    ERL.I(erlw::kSystem) = 3;
}

void set_up(bool centric) {
    fill_trig();
    const Op p212121[4] = {{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 0}},
                           {{{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}}, {0.5f, 0, 0.5f}},
                           {{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}, {0, 0.5f, 0.5f}},
                           {{{1, 0, 0}, {0, -1, 0}, {0, 0, -1}}, {0.5f, 0.5f, 0}}};
    const Op p21c[2] = {{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 0}},
                        {{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}, {0, 0.5f, 0.5f}}};
    if (centric)
        set_group(p21c, 2, true);
    else
        set_group(p212121, 4, false);
    const float cell[6] = {12.0f, 14.0f, 16.0f, 90.0f, centric ? 100.0f : 90.0f, 90.0f};
    for (int i = 0; i < 6; ++i) cell_constant(i + 1) = cell[i];
    // Carbon and oxygen, four-Gaussian form factors.
    SF.clear();
    const float a[2][4] = {{2.31f, 1.02f, 1.5886f, 0.865f}, {3.0485f, 2.2868f, 1.5463f, 0.867f}};
    const float b[2][4] = {{20.8439f, 10.2075f, 0.5687f, 51.6512f}, {13.2771f, 5.7011f, 0.3239f, 32.9089f}};
    const float c[2] = {0.2156f, 0.2508f};
    for (int t = 1; t <= 2; ++t) {
        for (int q = 1; q <= 4; ++q) sf::a(t, q) = a[t - 1][q - 1], sf::b(t, q) = b[t - 1][q - 1];
        sf::c(t) = c[t - 1];
        sf::z(t) = t == 1 ? 6 : 8;
        sf::count(t) = t == 1 ? 320 : 80;
    }
    sf::species() = 2;
    SPEC = initial_spec();
    SPEC.I(kSpecReady) = -1;

    std::mt19937 rng(11);
    std::uniform_real_distribution<float> u(0.0f, 1.0f);
    ATOMS.clear();
    for (int i = 1; i <= kAtoms; ++i) {
        for (int cc = 1; cc <= 3; ++cc) atom_coord(i, cc) = u(rng);
        atom_coord(i, 4) = 100.0f;
        atom_coord(i, 5) = 1.0f;
        atom_label(i) = i % 5 == 0 ? 2 : 1;
        atom_b(i) = 3.0f;
    }
    CONST.I(konst::kAtomCount) = kAtoms;
    EMAP.I(emap::kPeaksKept) = EMAP.I(emap::kContentPeaks) = kAtoms;
    EMAP.R(emap::kDefaultB) = 3.0f;
    EMAP.I(emap::kStepB) = 2;
    EMAP.I(emap::kNextAction) = 0;
    int r = 0;
    for (int h = 0; r < kReflections; ++h)
        for (int k = -20; k <= 20 && r < kReflections; ++k)
            for (int l = -20; l <= 20 && r < kReflections; ++l) {
                double s2 = 0.25 * (h * h / 144.0 + k * k / 196.0 + l * l / 256.0);
                if (s2 > 0.36 || (h == 0 && k == 0 && l == 0)) continue;
                ++r;
                stage::P(r) = packed_index(h, k, l);
                stage::A4(r) = static_cast<float>(s2);
            }
    UREQ.I(ureqw::kPrint) = 0;
}

// Observed amplitudes: those of the model itself; each run starts from the
// model with every atom moved by up to 0.1 A and its B by up to 1.
std::vector<float> g_fo;
Record<1221> g_atoms;

void observe() {
    for (int r = 1; r <= kReflections; ++r) stage::A1(r) = 0.0f;
    int mode = 0, icyc = 5, nref = kReflections, nc = 1;
    float scale = 0.0f;
    SFTRYYY(mode, icyc, nc, nref, stage::A2_array(), scale);
    g_fo.assign(kReflections + 1, 0.0f);
    for (int r = 1; r <= kReflections; ++r) g_fo[r] = -stage::A1(r);
    g_atoms = ATOMS;
}

void restage(std::mt19937& rng) {
    std::uniform_real_distribution<float> d(-0.007f, 0.007f);
    ATOMS = g_atoms;
    for (int i = 1; i <= kAtoms; ++i) {
        for (int c = 1; c <= 3; ++c) atom_coord(i, c) += d(rng);
        atom_b(i) = 3.0f + 100.0f * d(rng);
    }
    for (int r = 1; r <= kReflections; ++r) stage::A1(r) = g_fo[r];
    EMAP.R(emap::kInvScale) = 1.0f;
}

void run(benchmark::State& state, bool centric, int mode0, int ncyc) {
    set_listing_unit(-1);
    set_up(centric);
    observe();
    std::mt19937 rng(3);
    for (auto _ : state) {
        state.PauseTiming();
        restage(rng);
        state.ResumeTiming();
        int mode = mode0, icyc = 5, nref = kReflections, nc = ncyc;
        float scale = 0.0f;
        SFTRYYY(mode, icyc, nc, nref, stage::A2_array(), scale);
        benchmark::DoNotOptimize(scale);
    }
    state.SetItemsProcessed(state.iterations() * int64_t(kReflections) * kAtoms);
}

void BM_StructureFactorsAcentric(benchmark::State& state) { run(state, false, 0, 1); }
void BM_StructureFactorsCentric(benchmark::State& state) { run(state, true, 0, 1); }
void BM_LeastSquaresSevenCycles(benchmark::State& state) { run(state, false, 3, 7); }

BENCHMARK(BM_StructureFactorsAcentric)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StructureFactorsCentric)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LeastSquaresSevenCycles)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zanek
