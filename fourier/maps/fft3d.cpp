// The two passes of the map. Pass 1 takes the coefficients of a block of h
// values, laid out as (k fastest, l, h), and transforms them along y; the
// results go to ifour in one record per block of sections. Pass 2 gathers,
// for a block of sections, all h of every section into the layout (l
// fastest in nz/2 complex places, x, y), completes the plane l = 0 by
// Hermitian symmetry, transforms along x over the l = 0..lmax places only
// and then along z as a Hermitian sequence, which leaves nz real values per
// (x, y). The map rows go back to jrel as integers.
#include "fourier/maps/fft3d.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "fourier/fourier_records.h"
#include "fourier/maps/fft_kernels.h"
#include "jobcontrol/records/job.h"
#include "platform/listing.h"
#include "platform/units.h"

namespace zanek {

namespace {

int jrel() { return UNIT.I(unitw::kSequentialScratch); }
int ifour() { return UNIT.I(unitw::kIfour); }

// Sizes of the ifour records of the current map, in writing order.
struct Bookkeeping {
    std::vector<int> record_words;
    int by = 1, section_blocks = 1;
} g_book;

void scratch_failure(const char* name) { lst("(' *** error ***  read or write error on scratch file ',a)", {name}); }

int floor_mod(int a, int n) {
    int r = a % n;
    return r < 0 ? r + n : r;
}

// --- Printing of map sections ------------------------------------------------

// Coordinate in thousandths of the cell edge.
int thousandths(int index, int n) { return static_cast<int>(std::lround(1000.0 * index / n)); }

// The printed number of a map value: a tenth of it, rounded, within +-99.
int printed(int32_t v) { return std::clamp(static_cast<int>(std::lround(0.1 * v)), -99, 99); }

int points_printed(int n, float fraction) {
    return std::min(n, static_cast<int>(static_cast<float>(n) * fraction) + 1);
}

// One printed section: rows by columns of map values, value(row, col).
template <class Value>
void print_section(char axis, int coord, char col_axis, int ncol, int ncol_grid, char row_axis, int nrow,
                   int nrow_grid, Value value) {
    lst_line("1" + std::string(19, ' ') + job_title());
    lst("(/,' section  ',a1,' =',i4,/)", {std::string(1, axis), coord});
    const int under = TRAN.I(tran::kUnderline);
    for (int c0 = 0; c0 < ncol; c0 += 36) {
        const int c1 = std::min(ncol, c0 + 36);
        std::string even = std::string(8, ' ') + col_axis + " =", odd(12, ' ');
        for (int c = c0; c < c1; ++c) {
            if ((c - c0) % 2 == 0) even += fmt_i(thousandths(c, ncol_grid), (c == c0) ? 4 : 6);
            else odd += fmt_i(thousandths(c, ncol_grid), 6);
        }
        lst_line(even);
        lst_line(odd);
        lst_blank();
        for (int r = 0; r < nrow; ++r) {
            std::string row = std::string(" ") + row_axis + " =" + fmt_i(thousandths(r, nrow_grid), 4) + " *  ";
            std::string marks(12, ' ');
            for (int c = c0; c < c1; ++c) {
                const int p = printed(value(r, c));
                row += fmt_i(p, 3);
                marks += (p * 10 > under) ? " **" : "   ";
            }
            lst_line(row);
            lst_line(marks);
        }
    }
}

}  // namespace

int32_t map_value(float density, float scale) {
    const double v = static_cast<double>(density) * scale;
    if (v == 0.0) return 0;
    const double r = std::round(v);  // half away from zero
    return static_cast<int32_t>(std::clamp(r, static_cast<double>(INT_MIN + 1), static_cast<double>(INT_MAX)));
}

std::vector<Word> map_header_record() {
    std::vector<Word> rec(20 + 1 + tape::kHeaderWords);
    const std::string title = job_title();
    pack_chars(rec.data(), title.data(), 20);
    rec[20] = word_of_int(CONST.I(konst::kSetNumber));
    for (int k = 1; k <= tape::kHeaderWords; ++k) rec[static_cast<std::size_t>(20 + k)] = TAPE.W(k);
    return rec;
}

bool read_map_header(int& set, std::string& title) {
    std::vector<Word> rec;
    if (units().read_record(jrel(), rec) != IO_OK || rec.size() < 21u + tape::kHeaderWords) return false;
    title.assign(80, ' ');
    unpack_chars(title.data(), rec.data(), 20);
    set = rec[20].i;
    for (int k = 1; k <= tape::kHeaderWords; ++k) TAPE.W(k) = rec[static_cast<std::size_t>(20 + k)];
    return true;
}

bool READKLN(float* w, int ny, int nl, int c, int h0) {
    std::fill(w, w + static_cast<std::size_t>(2) * ny * nl * c, 0.0f);
    const int ncoef = CONST.I(konst::kCoefficients);
    const int nrec = ncoef / coef::kPerRecord + 1;
    units().rewind(jrel());
    std::vector<Word> rec;
    auto put = [&](int hh, int l, int k, float a, float b) {
        const std::size_t o = 2 * (static_cast<std::size_t>(floor_mod(k, ny)) + static_cast<std::size_t>(ny) * (l + static_cast<std::size_t>(nl) * hh));
        w[o] = a;
        w[o + 1] = b;
    };
    for (int r = 1; r <= nrec; ++r) {
        const int valid = (r < nrec) ? coef::kPerRecord : ncoef % coef::kPerRecord;
        if (valid == 0) break;
        if (units().read_record(jrel(), rec) != IO_OK || rec.size() != coef::kRecordWords) return false;
        for (int e = 0; e < valid; ++e) {
            const int32_t b = rec[static_cast<std::size_t>(e)].i;
            const int h = b / 262144 - 256, k = (b % 262144) / 512 - 256, l = b % 512 - 256;
            if (h < h0 || h >= h0 + c || l < 0 || l >= nl) continue;
            const float a = rec[static_cast<std::size_t>(coef::kPerRecord + 2 * e)].r;
            const float bb = rec[static_cast<std::size_t>(coef::kPerRecord + 2 * e + 1)].r;
            put(h - h0, l, k, a, bb);
            // The line h = l = 0 keeps only k >= 0: its other half is the conjugate.
            if (l == 0 && h == 0 && k != 0) put(h - h0, 0, -k, a, -bb);
        }
    }
    return true;
}

bool WRITEYN(float* w, int ny, int nl, int c, int by) {
    for (int y0 = 0; y0 < ny; y0 += by) {
        const int ns = std::min(by, ny - y0);
        std::vector<Word> rec;
        rec.reserve(static_cast<std::size_t>(2) * ns * c * nl);
        for (int yy = 0; yy < ns; ++yy)
            for (int hh = 0; hh < c; ++hh)
                for (int l = 0; l < nl; ++l) {
                    const std::size_t o = 2 * (static_cast<std::size_t>(y0 + yy) + static_cast<std::size_t>(ny) * (l + static_cast<std::size_t>(nl) * hh));
                    rec.push_back(word_of_real(w[o]));
                    rec.push_back(word_of_real(w[o + 1]));
                }
        if (units().write_record(ifour(), rec) != IO_OK) return false;
        g_book.record_words.push_back(static_cast<int>(rec.size()));
    }
    return true;
}

bool READHLN(float* w, int nx, int nzh, int c, int y0, int hmax, int lmax, int bh, int block) {
    const int nz = 2 * nzh, nl = lmax + 1;
    std::fill(w, w + static_cast<std::size_t>(c) * nx * nz, 0.0f);
    auto at = [&](int yy, int x, int l) { return (static_cast<std::size_t>(yy) * nx + x) * nz + 2 * static_cast<std::size_t>(l); };
    std::vector<Word> rec;
    std::size_t next = 0;  // index of the next ifour record
    int hblock = 0;
    for (int h0 = -hmax; h0 <= hmax; h0 += bh, ++hblock) {
        const int ch = std::min(bh, hmax - h0 + 1);
        const std::size_t wanted = static_cast<std::size_t>(hblock) * g_book.section_blocks + block;
        // Records of the other section blocks are passed over.
        for (; next <= wanted; ++next)
            if (units().read_record(ifour(), rec) != IO_OK) return false;
        if (rec.size() != static_cast<std::size_t>(g_book.record_words[wanted])) return false;
        std::size_t p = 0;
        for (int yy = 0; yy < c; ++yy)
            for (int hh = 0; hh < ch; ++hh) {
                const int x = floor_mod(h0 + hh, nx);
                for (int l = 0; l < nl; ++l, p += 2) {
                    const std::size_t o = at(yy, x, l);
                    w[o] = rec[p].r;
                    w[o + 1] = rec[p + 1].r;
                }
            }
    }
    // Plane l = 0 holds h >= 0 only: G(-h, y, 0) = conj G(h, y, 0).
    for (int yy = 0; yy < c; ++yy)
        for (int h = 1; h <= hmax; ++h) {
            const std::size_t from = at(yy, h, 0), to = at(yy, nx - h, 0);
            w[to] = w[from];
            w[to + 1] = -w[from + 1];
        }
    (void)y0;
    return true;
}

bool OUTPUFN(const float* w, int nz, int nx, int c, int y0, int ny, bool first_block) {
    const float scale = TRAN.R(tran::kScale);
    std::vector<Word> row(static_cast<std::size_t>(nx));
    for (int yy = 0; yy < c; ++yy)
        for (int z = 0; z < nz; ++z) {
            for (int x = 0; x < nx; ++x)
                row[static_cast<std::size_t>(x)] = word_of_int(map_value(w[(static_cast<std::size_t>(yy) * nx + x) * nz + z], scale));
            if (units().write_record(jrel(), row) != IO_OK) return false;
        }
    if (TRAN.I(tran::kPrintUnit) <= 0 || !first_block) return true;

    // Printed sections, from the values of this block.
    auto value = [&](int x, int yy, int z) { return map_value(w[(static_cast<std::size_t>(yy) * nx + x) * nz + z], scale); };
    const int px = points_printed(nx, TRAN.R(tran::kFraction));
    const int py = points_printed(ny, TRAN.R(tran::kFraction + 1));
    const int pz = points_printed(nz, TRAN.R(tran::kFraction + 2));
    const int ylast = std::min(py, y0 + c);  // sections of y this block holds
    const int axis = UREQ1.I(ureq1::kSectionAxis);
    if (axis == 2) {
        for (int x = 0; x < px; ++x)
            print_section('x', thousandths(x, nx), 'y', ylast - y0, ny, 'z', pz, nz,
                          [&](int r, int col) { return value(x, col, r); });
    } else if (axis == 3) {
        for (int z = 0; z < pz; ++z)
            print_section('z', thousandths(z, nz), 'y', ylast - y0, ny, 'x', px, nx,
                          [&](int r, int col) { return value(r, col, z); });
    } else {
        for (int yy = 0; yy + y0 < ylast; ++yy)
            print_section('y', thousandths(y0 + yy, ny), 'x', px, nx, 'z', pz, nz,
                          [&](int r, int col) { return value(col, yy, r); });
    }
    // Once every section within the printed fraction has been printed, the
    // rest of the command prints no map.
    if (y0 + c >= py) TRAN.I(tran::kPrintUnit) = 0;
    return true;
}

void PP1(float* w, int nwork, int nx, int ny, int nz, int& ierr) {
    g_book = Bookkeeping{};
    // Indices beyond half the grid were not expanded; they cannot reach the map.
    const int hmax = std::clamp(TRAN.I(tran::kHmax), 0, std::max(nx / 2 - 1, 0));
    const int lmax = std::clamp(TRAN.I(tran::kLmax), 0, std::max(nz / 2 - 1, 0));
    const int nl = lmax + 1;
    const long plane = 2L * ny * nl, section = static_cast<long>(nx) * nz;
    const long bh = nwork / plane, by = nwork / section;
    if (bh < 1 || by < 1) {
        lst("(' request too large. space available is',i10,' and space requested is larger of',i10,' and',i10)",
            {nwork, plane, section});
        ierr = -1;
        return;
    }
    g_book.by = static_cast<int>(by);
    g_book.section_blocks = static_cast<int>((ny + by - 1) / by);

    // Pass 1: blocks of h, transformed along y.
    units().rewind(ifour());
    for (int h0 = -hmax; h0 <= hmax; h0 += static_cast<int>(bh)) {
        const int c = static_cast<int>(std::min<long>(bh, hmax - h0 + 1));
        if (!READKLN(w, ny, nl, c, h0)) {
            scratch_failure("jrel");
            ierr = -1;
            return;
        }
        const int e = 2 * ny * nl * c;
        const int d[5] = {e, 2, e, e, 2 * ny};
        int err = 0;
        CMPLFTN(w, w + 1, nwork, ny, d, err);
        if (err != 0) {
            ierr = -1;
            return;
        }
        if (!WRITEYN(w, ny, nl, c, g_book.by)) {
            scratch_failure("ifour");
            ierr = -1;
            return;
        }
    }

    // The map replaces the coefficients on jrel.
    units().rewind(jrel());
    const std::vector<Word> dims = {word_of_int(nx), word_of_int(nz), word_of_int(ny)};
    if (units().write_record(jrel(), map_header_record()) != IO_OK || units().write_record(jrel(), dims) != IO_OK) {
        scratch_failure("jrel");
        ierr = -1;
        return;
    }

    // Pass 2: blocks of sections, transformed along x and z.
    int block = 0;
    for (int y0 = 0; y0 < ny; y0 += g_book.by, ++block) {
        const int c = std::min(g_book.by, ny - y0);
        units().rewind(ifour());
        if (!READHLN(w, nx, nz / 2, c, y0, hmax, lmax, static_cast<int>(bh), block)) {
            scratch_failure("ifour");
            ierr = -1;
            return;
        }
        const int e = c * nx * nz;
        const int dx[5] = {e, nz, nx * nz, 2 * nl, 2};
        int err = 0;
        CMPLFTN(w, w + 1, nwork, nx, dx, err);
        if (err == 0) {
            const int dz[5] = {e, 2, e, e, nz};
            HERMFTN(w, w + 1, nwork, nz / 2, dz, err);
        }
        if (err != 0) {
            ierr = -1;
            return;
        }
        if (!OUTPUFN(w, nz, nx, c, y0, ny, block == 0)) {
            scratch_failure("jrel");
            ierr = -1;
            return;
        }
    }
}

}  // namespace zanek
