// %normal on 100,000 reflections: reading list 7, the Wilson plot, the
// rescaling, the E values with their statistics and sort, and the new
// list 7 with its listings, on a structure file of a 40 A cubic P 1 cell.
#include <benchmark/benchmark.h>

#include "jobcontrol/zanek.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "bench/bench_support.h"
#include "crystaldata/data_command.h"
#include "crystaldata/evalues.h"
#include "jobcontrol/commands.h"
#include "jobcontrol/lists/list07.h"
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

using namespace zanek;
using zanek::bench::queue_one;

namespace {

constexpr int kStoreUnit = 30, kListingUnit = 2, kCommandUnit = 1;

// A structure file holding the cell, symmetry and content of %data and a
// list 7 of about 100,000 reflections with Wilson statistics.
int prepare(const std::string& dir) {
    std::filesystem::current_path(dir);
    setenv("CRYSDIR", ZANEK_SOURCE_DIR "/data/", 1);
    units().open_seq(kListingUnit, dir + "/bench.lis", OpenStatus::Unknown, FileForm::Formatted);
    set_listing_unit(kListingUnit);
    reset_run_records();
    DOTDAT.name[1] = dir + "/struct.bin";
    int new_file = 0;
    open_structure_file(true, new_file);

    std::ofstream(dir + "/job.cmd") << "   1   0   0  100.00    1.00\n   0   0   0\n";
    units().open_seq(kCommandUnit, dir + "/job.cmd", OpenStatus::Old, FileForm::Formatted);
    queue_one(23, {"cell 40 40 40 90 90 90", "spac p 1", "cont c 400 o 80 n 40", "refl foll"});
    int status = 0;
    DATAZAN(0, status);
    if (status < 0) return 0;

    std::mt19937 gen(4711);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::vector<std::array<Word, 6>> recs;
    for (int h = 0; h <= 38; ++h)
        for (int k = -38; k <= 38; ++k)
            for (int l = -38; l <= 38; ++l) {
                if (h == 0 && (k < 0 || (k == 0 && l <= 0))) continue;
                double s2 = (h * h + k * k + l * l) / 6400.0;
                if (s2 > 0.206) continue;
                double fo = 500.0 * std::sqrt(-std::log(1.0 - u(gen)) * std::exp(-2.0 * (3.0 + 20.0) * s2));
                std::array<Word, 6> r;
                r[0].i = compact_index(h, k, l);
                r[1].r = 0.0f;  // the sequence key, set below
                r[2].r = static_cast<float>(fo);
                r[3].r = 0.0f;
                r[4].i = 1;
                r[5].r = static_cast<float>(0.5 + 0.05 * fo);
                recs.push_back(r);
            }
    // As %data stores them: keys decreasing from the count down to 1, in the
    // order read. A key above the one before it marks a damaged list.
    for (std::size_t j = 0; j < recs.size(); ++j) recs[j][1].r = static_cast<float>(recs.size() - j);
    write_list7(recs, 0, 67543);
    return static_cast<int>(recs.size());
}

void BM_Normal(benchmark::State& state) {
    static const int n = prepare(bench::fresh_folder("normal"));
    if (n == 0) {
        state.SkipWithError("%data failed");
        return;
    }
    for (auto _ : state) {
        queue_one(1, {});
        int status = 0;
        NORMAL(status);
        if (status < 0) state.SkipWithError("%normal failed");
    }
    state.counters["reflections"] = n;
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(n));
}
BENCHMARK(BM_Normal)->Unit(benchmark::kMillisecond);

}  // namespace
