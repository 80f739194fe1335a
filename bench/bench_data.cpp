// %data on 100,000 measured reflections of P 21/c: reading them with the
// default format, reducing each to its standard equivalent, merging the
// repeats, walking the index box for missing reflections and writing
// list 7 through the merge of the scratch blocks.
#include <benchmark/benchmark.h>

#include "jobcontrol/zanek.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "crystaldata/data_command.h"
#include "jobcontrol/lists/list03.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/listptr.h"
#include "jobcontrol/records/special.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/store.h"
#include "platform/listing.h"
#include "platform/units.h"

using namespace zanek;
namespace fs = std::filesystem;

namespace {

constexpr int kReflections = 100000;

// Indices in |h| <= 19, |k| <= 30, |l| <= 40 keep the largest super-index
// below 100000; a small generator of our own makes the run repeatable.
void write_reflections(const std::string& path) {
    std::ofstream out(path);
    uint32_t x = 12345;
    auto next = [&](int m) {
        x = x * 1103515245u + 12345u;
        return static_cast<int>((x >> 8) % static_cast<uint32_t>(2 * m + 1)) - m;
    };
    char line[64];
    for (int i = 0; i < kReflections; ++i) {
        int h = next(19), k = next(30), l = next(40);
        if (h == 0 && k == 0 && l == 0) l = 1;
        std::snprintf(line, sizeof line, "%4d%4d%4d%8.2f%8.2f\n", h, k, l, 10.0 + (i % 997), 1.0 + (i % 13) * 0.1);
        out << line;
    }
}

void setup_run(const fs::path& dir) {
    setenv("CRYSDIR", (std::string(ZANEK_SOURCE_DIR) + "/data/").c_str(), 1);
    set_listing_unit(2);
    units().open_seq(2, (dir / "bench.lis").string(), OpenStatus::Unknown, FileForm::Formatted);
    reset_run_records();
    DOTDAT.name[1] = (dir / "bench.bin").string();
    int new_file = 0;
    open_structure_file(true, new_file);
    const char* lines[] = {"cell 30 40 50 90 100 90", "spac p 21/c", "cont c 72 o 16 n 8"};
    std::string refl = "refl ";
    refl += (dir / "bench.hkl").string();
    for (int k = 0; k < 3; ++k) CHARA.set_line(k + 1, lines[k]);
    CHARA.set_line(4, refl);
}

void BM_DataCommand100k(benchmark::State& state) {
    fs::path dir = fs::temp_directory_path() / "zanek_bench_data";
    fs::remove_all(dir);
    fs::create_directories(dir);
    write_reflections((dir / "bench.hkl").string());
    setup_run(dir);
    int status = 0;
    for (auto _ : state) {
        comdir::code(1) = CMD_DATA;
        comdir::directive_lines(1) = 4;
        COMDIR.I(comdir::kCount) = 1;
        COMDIR.I(comdir::kCursor) = 0;
        COMDIR.I(comdir::kRunning) = 1;
        status = 0;
        DATAZAN(0, status);
        benchmark::DoNotOptimize(RC.I(rcw::kReflections));
        if (status != 0) break;
    }
    if (status != 0) state.SkipWithError("%data failed");
    state.SetItemsProcessed(state.iterations() * kReflections);
    units().close(30);
    units().close(2);
    fs::remove_all(dir);
}
BENCHMARK(BM_DataCommand100k)->Unit(benchmark::kMillisecond);

}  // namespace
