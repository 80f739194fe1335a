// The peak search on a synthetic map of Gaussian atoms: a structure of 40
// atoms in P 1 on a 48 x 48 x 60 grid, and 150 atoms on a 90 x 100 x 120
// grid, each search reading the map from the scratch file.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "bench/bench_support.h"
#include "crystaldata/special.h"
#include "fourier/fourier_records.h"
#include "fourier/maps/fft3d.h"
#include "fourier/maps/peaks.h"
#include "jobcontrol/files.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/scatter.h"
#include "jobcontrol/records/special.h"
#include "jobcontrol/zanek.h"
#include "platform/listing.h"
#include "platform/units.h"

namespace zanek {
namespace {

// A fresh structure file for the peak lists the search stores.
void store_setup() {
    const std::string dir = bench::fresh_folder("peaks");
    units().open_seq(2, dir + "/bench.lis", OpenStatus::Unknown, FileForm::Formatted);
    set_listing_unit(2);
    reset_run_records();
    DOTDAT.name[1] = dir + "/struct.bin";
    int new_file = 0;
    open_structure_file(true, new_file);
}

void p1_setup(double a, double b, double c, int atoms) {
    SYM.clear();
    ERL.clear();
    SYM.I(symw::kOps) = 1;
    SYM.I(symw::kLattice) = 1;
    SYM.R(symw::kLatticePoints) = 1.0f;
    ERL.I(erlw::kSystem) = 1;
    for (int i = 1; i <= 3; ++i) erl_R(1, i, i) = 1;
    for (int r = 0; r < 3; ++r) {
        sym_row_code(1, r + 1, 1) = r + 1;
        TAPE.I(tape::kRot + 2 * r) = r + 1;
    }
    const double e[3] = {a, b, c};
    for (int i = 1; i <= 3; ++i) {
        cell_constant(i) = static_cast<float>(e[i - 1]);
        cell_constant(3 + i) = 90.0f;
        map_cell(i) = static_cast<float>(e[i - 1]);
        map_cell(3 + i) = 90.0f;
    }
    TAPE.I(tape::kNsym) = 1;
    TAPE.I(tape::kCentric) = 0;
    TAPE.I(tape::kLattice) = 1;
    TAPE.I(tape::kExpected) = atoms;
    MISC.R(misc::kLatticePoints) = 1.0f;
    sf::heavy_atoms() = atoms;
    SPEC.I(kSpecReady) = -1;
    XSPINB();
}

std::vector<std::vector<Word>> blob_map(int nx, int ny, int nz, const double edge[3], int atoms) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> u(0, 1);
    std::vector<std::array<double, 4>> blobs;
    for (int i = 0; i < atoms; ++i) blobs.push_back({u(rng), u(rng), u(rng), 300 + 600 * u(rng)});
    std::vector<double> map(static_cast<std::size_t>(nx) * ny * nz, 0.0);
    for (const auto& b : blobs) {
        for (int y = 0; y < ny; ++y)
            for (int z = 0; z < nz; ++z)
                for (int x = 0; x < nx; ++x) {
                    double d[3] = {double(x) / nx - b[0], double(y) / ny - b[1], double(z) / nz - b[2]}, r2 = 0;
                    for (int i = 0; i < 3; ++i) {
                        d[i] -= std::round(d[i]);
                        r2 += d[i] * d[i] * edge[i] * edge[i];
                    }
                    if (r2 < 4.0) map[(static_cast<std::size_t>(y) * nz + z) * nx + x] += b[3] * std::exp(-r2 / 0.5);
                }
    }
    std::vector<std::vector<Word>> rows;
    for (int y = 0; y < ny; ++y)
        for (int z = 0; z < nz; ++z) {
            std::vector<Word> row(static_cast<std::size_t>(nx));
            for (int x = 0; x < nx; ++x)
                row[static_cast<std::size_t>(x)] =
                    word_of_int(static_cast<int>(std::lround(map[(static_cast<std::size_t>(y) * nz + z) * nx + x] + 3.0 * std::sin(x + 2.0 * y + 3.0 * z))));
            rows.push_back(row);
        }
    return rows;
}

void BM_PeakSearch(benchmark::State& state) {
    const int nx = static_cast<int>(state.range(0)), ny = static_cast<int>(state.range(1)),
              nz = static_cast<int>(state.range(2)), atoms = static_cast<int>(state.range(3));
    const double edge[3] = {nx / 3.0, ny / 3.0, nz / 3.0};
    store_setup();
    UNIT.I(unitw::kSequentialScratch) = 32;
    int st = 0;
    JOPEN(32, "", 0, 1, 2, st);
    p1_setup(edge[0], edge[1], edge[2], atoms);
    CONST.I(konst::kSetNumber) = 1;
    units().rewind(32);
    units().write_record(32, map_header_record());
    units().write_record(32, {word_of_int(nx), word_of_int(nz), word_of_int(ny)});
    for (const auto& r : blob_map(nx, ny, nz, edge, atoms)) units().write_record(32, r);
    UREQ1.I(ureq1::kMapKind) = 0;
    EMAP.I(emap::kCycleLimit) = 0;
    for (auto _ : state) {
        SDIR.R(sdir::kMerge) = kMergeDistance;
        SDIR.I(sdir::kPeaks) = 0;
        float x = 0;
        int ierr = 0;
        SEARCH(1, x, ierr);
        if (ierr != 0) state.SkipWithError("search failed");
    }
    state.counters["peaks"] = CONST.I(konst::kAtomCount);
    units().close(32);
    units().close(IMPL.I(implw::kStructureUnit));
    units().close(2);
}
BENCHMARK(BM_PeakSearch)->Args({48, 48, 60, 40})->Args({90, 100, 120, 150})->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zanek
