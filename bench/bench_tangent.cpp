// The hot loop of phasing: the weighted tangent refinement. A phasing set
// of 400 reflections with 20,000 triplets (the most the relation store
// holds), as the convergence stage leaves it; one cycle's tangent sums,
// and whole trials refined and scored into list 16.
#include <benchmark/benchmark.h>

#include "bench/bench_support.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "jobcontrol/lists/list16.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/listptr.h"
#include "jobcontrol/records/phaseset.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/store.h"
#include "phasing/fom.h"
#include "phasing/multisolution.h"
#include "phasing/phase_records.h"
#include "phasing/psizero.h"
#include "phasing/tangent.h"
#include "platform/listing.h"
#include "platform/units.h"

namespace zanek {
namespace {

constexpr int kNref = 400;
constexpr int kTriplets = 20000;

int32_t relword(int a, int b, int c) { return ((a + 2048) * 4096 + (b + 2048)) * 32 + (c + 1); }

std::vector<int> g_truth;

// A P1 phasing set: reflections up to index 5, random true phases, and
// the triplets h1 + s2 h2 + s3 h3 = 0 among them with the shifts that the
// true phases satisfy.
void install_problem() {
    std::mt19937 rng(17);
    std::vector<std::tuple<int, int, int>> pool;
    for (int h = 0; h <= 5; ++h)
        for (int k = -5; k <= 5; ++k)
            for (int l = -5; l <= 5; ++l)
                if (h > 0 || (h == 0 && k > 0) || (h == 0 && k == 0 && l > 0)) pool.push_back({h, k, l});
    std::shuffle(pool.begin(), pool.end(), rng);
    pool.resize(kNref);
    std::map<std::tuple<int, int, int>, int> rank;
    for (int r = 1; r <= kNref; ++r) rank[pool[size_t(r) - 1]] = r;
    g_truth.assign(kNref, 0);
    XDATA.clear();
    PARAM.I(param::kNref) = kNref;
    for (int r = 1; r <= kNref; ++r) {
        g_truth[size_t(r) - 1] = 1 + int(rng() % 360);
        e_mode2(r) = 3.5f - 2.0f * float(r) / kNref;
        restrict_code(r) = 1;
        proc_order(r) = r;
        packed_refl(r) = r;
    }
    std::vector<std::vector<int>> items;
    int pos = 1;
    std::vector<int> at;
    for (int a = 1; a <= kNref && int(items.size()) < kTriplets; ++a)
        for (int b = a + 1; b <= kNref && int(items.size()) < kTriplets; ++b)
            for (int sb : {1, -1}) {
                auto [h1, k1, l1] = pool[size_t(a) - 1];
                auto [h2, k2, l2] = pool[size_t(b) - 1];
                const int h3 = -(h1 + sb * h2), k3 = -(k1 + sb * k2), l3 = -(l1 + sb * l2);
                int c = 0;
                if (auto f = rank.find({h3, k3, l3}); f != rank.end())
                    c = f->second;
                else if (auto g = rank.find({-h3, -k3, -l3}); g != rank.end())
                    c = -g->second;
                if (c == 0 || std::abs(c) <= b || int(items.size()) >= kTriplets) continue;
                const int sum = g_truth[size_t(a) - 1] + sb * g_truth[size_t(b) - 1] +
                                (c > 0 ? 1 : -1) * g_truth[size_t(std::abs(c)) - 1];
                const int shift = ((-sum / 15) % 24 + 24) % 24;  // nearest shift below the exact value
                rel_word(pos) = relword(a, sb * b, -1);
                rel_word(pos + 1) = relword(c, 100 + int(rng() % 200), shift);
                at.push_back(pos);
                items.push_back({a, b, std::abs(c)});
                pos += 2;
            }
    std::vector<int> count(kNref + 1, 0);
    for (const auto& v : items)
        for (int r : v) ++count[size_t(r)];
    rel_ptr(0) = 0;
    for (int q = 1; q <= kNref; ++q) rel_ptr(q) = rel_ptr(q - 1) + count[size_t(q)];
    std::vector<int> run(kNref + 1, 0);
    for (int q = 1; q <= kNref; ++q) run[size_t(q)] = rel_ptr(q - 1);
    for (size_t i = 0; i < items.size(); ++i)
        for (int r : items[i]) rel_index(++run[size_t(r)]) = at[i];
}

// A structure file for list 16 and a listing that goes nowhere.
void open_store() {
    static bool done = false;
    if (done) return;
    done = true;
    bench::start_run("tangent");
}

void setup() {
    open_store();
    fill_tables();
    SYM.I(symw::kCentric) = 0;
    SYM.R(symw::kSigma3) = 0.15f;
    UREQ.I(ureqw::kKnown) = 0;
    CRIS.I(cris::kDumpSet) = -1;
    install_problem();
    RIALFNEW(0, 0.15f);
    prepare_tangent_relations();
}

// A starting set of 3 origin reflections and 5 symbols at their true phases.
void start_trial() {
    for (int r = 1; r <= kNref; ++r) {
        trial_phase(r) = 0;
        refl_weight(r) = 0.0f;
    }
    class_last(1) = 3;
    class_last(2) = 8;
    class_last(3) = 15;
    for (int s = 1; s <= 8; ++s) {
        start_slot(s) = s;
        trial_phase(s) = g_truth[size_t(s) - 1];
        refl_weight(s) = 100.0f;
    }
    ERL.I(erlw::kOriginPhases) = 3;
}

// One cycle's sums over every reflection: the inner loop of the refinement.
void BM_TangentSums(benchmark::State& state) {
    setup();
    for (int r = 1; r <= kNref; ++r) {
        trial_phase(r) = g_truth[size_t(r) - 1];
        refl_weight(r) = 0.9f;
    }
    for (auto _ : state) {
        double sum = 0.0;
        for (int h = 1; h <= kNref; ++h) sum += tangent_sums(h, false).ts;
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * int64_t(rel_ptr(kNref)));
    state.counters["relations"] = rel_ptr(kNref) / 3;
}
BENCHMARK(BM_TangentSums)->Unit(benchmark::kMicrosecond);

// Whole trials: extension, refinement, figures of merit, set keeping.
void BM_TangentTrial(benchmark::State& state) {
    setup();
    NFRM16(10);
    XLIMI.I(xlimi::kNextFree) = XLIMI.I(xlimi::kListBase);
    UREQ1.I(ureq1::kSetsStored) = 0;
    int t = 1, slot = 0, evaluated = 0, nenan = 0, tria = 0, pass = 0, onep = 0, nkeep = 10;
    float lowest = 0.0f, twop = 1.0f, s = 0.15f;
    std::vector<int32_t> known(kNref, 0);
    PARAM.I(param::kTrials) = 1000000;
    for (auto _ : state) {
        start_trial();
        WEITAN(tria, t, known.data(), pass, onep, twop, s, nkeep, slot, evaluated, lowest, nenan);
        ++t;
    }
    state.SetItemsProcessed(state.iterations());
    int wrong = 0;
    for (int r = 1; r <= kNref; ++r) {
        const int d = std::abs(trial_phase(r) - g_truth[size_t(r) - 1]) % 360;
        if (std::min(d, 360 - d) > 30) ++wrong;
    }
    state.counters["phases_off_30"] = wrong;
}
BENCHMARK(BM_TangentTrial)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zanek
