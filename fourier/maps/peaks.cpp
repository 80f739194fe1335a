// Peak search. Three sections of the map at a time sit in a ring of padded
// sections (each row carries copies of its first two values after its
// last, each section copies of its first two rows after its last), so the
// neighbours of every point of the middle section lie at fixed offsets and
// the map is periodic without index arithmetic. A point is a peak when it
// is above every neighbour that comes before it in storage order and not
// below any that comes after it, so of two equal neighbouring maxima the
// first one wins.
#include "fourier/maps/peaks.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "crystaldata/special.h"
#include "fourier/fourier_records.h"
#include "fourier/maps/fft3d.h"
#include "jobcontrol/lists/list15.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/scatter.h"
#include "jobcontrol/records/special.h"
#include "platform/listing.h"
#include "platform/units.h"

namespace zanek {

namespace {

constexpr int kMaxPeaksRequested = 180;  // capacity less 20
constexpr int kMinPeaks = 20;
constexpr float kRejected = -999999.0f;
constexpr int kThresholdStep = 100, kLowestThreshold = -200;
constexpr float kSpecialExcess = 1.2f;
constexpr double kTolerance = 1e-6;

int jrel() { return UNIT.I(unitw::kSequentialScratch); }

// Centring vectors by lattice code 1-7 (P A B C I F R), origin first.
struct Centring {
    int count;
    float v[4][3];
};
const Centring kCentring[8] = {
    {1, {{0, 0, 0}}},
    {1, {{0, 0, 0}}},                                                          // P
    {2, {{0, 0, 0}, {0, 0.5f, 0.5f}}},                                          // A
    {2, {{0, 0, 0}, {0.5f, 0, 0.5f}}},                                          // B
    {2, {{0, 0, 0}, {0.5f, 0.5f, 0}}},                                          // C
    {2, {{0, 0, 0}, {0.5f, 0.5f, 0.5f}}},                                       // I
    {4, {{0, 0, 0}, {0, 0.5f, 0.5f}, {0.5f, 0, 0.5f}, {0.5f, 0.5f, 0}}},        // F
    {3, {{0, 0, 0}, {0.333333f, 0.666667f, 0.666667f}, {0.666667f, 0.333333f, 0.333333f}}},  // R
};
// Rows of the centring table CENTRE picks from.
const float kCentringRows[7][3] = {{0, 0, 0},       {0, 0.5f, 0.5f}, {0.5f, 0, 0.5f},
                                   {0.5f, 0.5f, 0}, {0.5f, 0.5f, 0.5f}, {0.333333f, 0.666667f, 0.666667f},
                                   {0.666667f, 0.333333f, 0.333333f}};

int nsym() { return std::clamp(TAPE.I(tape::kNsym), 1, 24); }
int ncentring() { return std::clamp(CENT.I(cent::kCount), 1, 4); }

float& matrix(int op, int r, int c) { return CENT.R(cent::kMatrices + 9 * (op - 1) + 3 * (c - 1) + (r - 1)); }

// Compact rotation code of operator op, row r (1-3), slot s (1-2).
int rot_code(int op, int r, int s) { return TAPE.I(tape::kRot + 6 * (op - 1) + 2 * (r - 1) + (s - 1)); }

void setup_symmetry() {
    const int lattice = std::clamp(TAPE.I(tape::kLattice), 1, 7);
    const Centring& c = kCentring[lattice];
    CENT.I(cent::kCount) = c.count;
    for (int v = 0; v < 4; ++v)
        for (int i = 0; i < 3; ++i) CENT.R(cent::kVectors + 3 * v + i) = v < c.count ? c.v[v][i] : 0.0f;
    for (int op = 1; op <= nsym(); ++op) {
        for (int r = 1; r <= 3; ++r) {
            for (int col = 1; col <= 3; ++col) matrix(op, r, col) = 0.0f;
            for (int s = 1; s <= 2; ++s) {
                const int code = rot_code(op, r, s);
                if (code != 0 && std::abs(code) <= 3) matrix(op, r, std::abs(code)) = code > 0 ? 1.0f : -1.0f;
            }
        }
    }
    TAPE.I(tape::kMultiplicity) = c.count * (TAPE.I(tape::kCentric) + 1) * nsym();
}

void setup_metric() {
    const double a = map_cell(1), b = map_cell(2), c = map_cell(3);
    const double rad = 3.14159265358979 / 180.0;
    const double ca = std::cos(map_cell(4) * rad), cb = std::cos(map_cell(5) * rad), cg = std::cos(map_cell(6) * rad);
    const double g[9] = {a * a, a * b * cg, a * c * cb, a * b * cg, b * b, b * c * ca, a * c * cb, b * c * ca, c * c};
    for (int k = 0; k < 9; ++k) MISC.R(misc::kMetric + k) = static_cast<float>(g[k]);
    const double v = a * b * c * std::sqrt(std::max(1.0 - ca * ca - cb * cb - cg * cg + 2.0 * ca * cb * cg, 0.0));
    const double sa = std::sqrt(std::max(1.0 - ca * ca, 0.0)), sb = std::sqrt(std::max(1.0 - cb * cb, 0.0)),
                 sg = std::sqrt(std::max(1.0 - cg * cg, 0.0));
    const double d = SDIR.R(sdir::kMerge);
    const double area[3] = {b * c * sa, c * a * sb, a * b * sg};
    for (int i = 0; i < 3; ++i) MISC.R(misc::kWidths + i) = v > 0.0 ? static_cast<float>(d * area[i] / v) : 1.0f;
}

// Region code: -1 or 1 when symmetry repeats the second half of the
// sections in the first (a centre, a centring that shifts y by 1/2, an
// operator y -> -y, or a screw y -> y + 1/2), else 0.
int region_code() {
    if (TAPE.I(tape::kCentric) == 1) return -1;
    const int lattice = TAPE.I(tape::kLattice);
    if (lattice == 2 || lattice == 4 || lattice == 5 || lattice == 6) return 1;
    for (int op = 2; op <= nsym(); ++op) {
        bool diagonal = true;
        for (int r = 1; r <= 3 && diagonal; ++r) {
            const int c1 = rot_code(op, r, 1), c2 = rot_code(op, r, 2);
            if (std::abs(c1) != r || c2 != 0) diagonal = false;
        }
        if (!diagonal) continue;
        const double ty = TAPE.R(tape::kTrans + 3 * (op - 1) + 1);
        const int yc = rot_code(op, 2, 1);
        if (yc < 0 && std::abs(ty) < kTolerance) return -1;
        if (yc > 0 && std::abs(std::abs(ty) - 0.5) < kTolerance) return 1;
        return 0;  // the first diagonal operator decides
    }
    return 0;
}

// The ring of three padded sections in XDATA and the reading of the map.
class SectionRing {
public:
    SectionRing(int nx, int ny, int nz) : nx_(nx), ny_(ny), nz_(nz), row_(nx + 2), size_((nz + 2) * (nx + 2)) {}
    int row() const { return row_; }
    int size() const { return size_; }

    // Positions the file at the first map row.
    bool rewind_to_map() {
        units().rewind(jrel());
        std::vector<Word> rec;
        next_section_ = 0;
        return units().read_record(jrel(), rec) == IO_OK && units().read_record(jrel(), rec) == IO_OK;
    }
    // Reads section `index` into ring slot `slot` (0-2), reading on from
    // the current file position (rewinding when the section lies before it).
    bool read(int index, int slot) {
        if (index < next_section_ && !rewind_to_map()) return false;
        while (next_section_ < index) {
            if (!read_rows(nullptr)) return false;
            ++next_section_;
        }
        int32_t* s = &XDATA.I(kMapWorkStart) + static_cast<std::size_t>(slot) * size_;
        if (!read_rows(s)) return false;
        ++next_section_;
        return true;
    }
    const int32_t* slot(int k) const { return &XDATA.I(kMapWorkStart) + static_cast<std::size_t>(k) * size_; }

private:
    // RDSECT: nz rows of nx values, each row padded with its first two
    // values, then rows 0 and 1 copied after the last.
    bool read_rows(int32_t* s) {
        for (int z = 0; z < nz_; ++z) {
            if (units().read_record(jrel(), rec_) != IO_OK || static_cast<int>(rec_.size()) != nx_) return false;
            if (!s) continue;
            int32_t* r = s + static_cast<std::size_t>(z) * row_;
            for (int x = 0; x < nx_; ++x) r[x] = rec_[static_cast<std::size_t>(x)].i;
            r[nx_] = r[0];
            r[nx_ + 1] = r[nx_ > 1 ? 1 : 0];
        }
        if (s) {
            std::copy(s, s + row_, s + static_cast<std::size_t>(nz_) * row_);
            const int32_t* second = s + (nz_ > 1 ? row_ : 0);
            std::copy(second, second + row_, s + static_cast<std::size_t>(nz_ + 1) * row_);
        }
        return true;
    }
    int nx_, ny_, nz_, row_, size_;
    int next_section_ = 0;
    std::vector<Word> rec_;
};

float& peak(int i, int w) { return atom_coord(i, w); }  // record i, word w (1 x ... 4 height 5 occ)

// Merges candidate record n+1 into the list of n peaks; returns the new n.
int merge_candidate(int n) {
    const int cand = n + 1;
    const float cx = peak(cand, 1), cy = peak(cand, 2), cz = peak(cand, 3), ch = peak(cand, 4);
    if (n == 0) return 1;
    const float* widths = &MISC.R(misc::kWidths);
    const float* g = &MISC.R(misc::kMetric);
    const float limit = SDIR.R(sdir::kMerge);  // squared merge distance
    int replaced = 0;
    const int nops = TAPE.I(tape::kMultiplicity);
    for (int k = 1; k <= nops; ++k) {
        float e[3];
        OPER(k, e, cx, cy, cz);
        for (int m = 1; m <= n; ++m) {
            float d[3];
            bool near = true;
            for (int r = 0; r < 3 && near; ++r) {
                d[r] = peak(m, r + 1) - e[r];
                d[r] -= static_cast<float>(static_cast<int>(d[r] + (d[r] >= 0.0f ? 0.5f : -0.5f)));
                if (std::abs(d[r]) > widths[r]) near = false;
            }
            if (!near || QUADR(d, d, g) > limit) continue;
            if (replaced != 0) peak(replaced, 4) = 0.0f;
            if (!(ch > peak(m, 4))) return n;  // the candidate is given up
            for (int w = 1; w <= 4; ++w) peak(m, w) = peak(cand, w);
            replaced = m;
        }
    }
    return replaced != 0 ? n : n + 1;
}

}  // namespace

void peak_offsets(const int32_t v[3][3][3], double& dx, double& dy, double& dz) {
    dx = dy = dz = 0.0;
    // Sums over the centre's 6 face and 12 edge neighbours, and over the
    // five of them on the + and on the - side along x, y and z.
    const double c = v[1][1][1];
    double faces = 0, edges = 0, plus[3] = {}, minus[3] = {};
    for (int y = -1; y <= 1; ++y)
        for (int z = -1; z <= 1; ++z)
            for (int x = -1; x <= 1; ++x) {
                const int away = std::abs(x) + std::abs(y) + std::abs(z);
                if (away == 0 || away == 3) continue;  // the centre; corners are not used
                const double value = v[y + 1][z + 1][x + 1];
                (away == 1 ? faces : edges) += value;
                const int off[3] = {x, y, z};
                for (int a = 0; a < 3; ++a) {
                    if (off[a] > 0) plus[a] += value;
                    if (off[a] < 0) minus[a] += value;
                }
            }
    // Least squares over the 19 values of a + b.r + q |r|^2: one curvature q
    // along every axis, W = -2q, and the gradient b_a = (S+_a - S-_a) / 10;
    // the maximum lies at -b / 2q = b / W. Where the fit does not curve down
    // (W <= 0) it has no maximum (b / W would point away from the higher
    // side), and the grid point is kept.
    const double w = (30.0 * c + 11.0 * faces - 8.0 * edges) / 63.0;
    if (!(w > 0.0)) return;
    const double d[3] = {(plus[0] - minus[0]) / (10.0 * w), (plus[1] - minus[1]) / (10.0 * w),
                         (plus[2] - minus[2]) / (10.0 * w)};
    if (std::abs(d[0]) > 1.0 || std::abs(d[1]) > 1.0 || std::abs(d[2]) > 1.0) return;
    dx = d[0], dy = d[1], dz = d[2];
}

int peaks_to_keep(int within, int highest_positive) {
    int c7 = CONST.I(konst::kAtomCount), c6 = CONST.I(konst::kPeaksWanted);
    if (SDIR.I(sdir::kPeaks) <= 0) {
        c7 = std::min(kMaxPeaksRequested, (11 * within + 13) / 9);
        c6 = std::min(kMaxPeaksRequested, (3 * within + 1) / 2);
    }
    if (highest_positive < 5) c7 = highest_positive;
    else if (c7 < 5) c7 = 5;
    if (within == 0) within = c7;
    c6 = std::min(highest_positive, c6);
    c7 = std::min(highest_positive, c7);
    int count = std::max(c6, c7);
    CONST.I(konst::kPeaksWanted) = c6;
    if (EMAP.I(emap::kNextAction) != 0) EMAP.I(emap::kContentPeaks) = within;
    if (EMAP.I(emap::kCycleLimit) != 0) {
        // The list grows from one cycle to the next by a share of the gain
        // that falls as R falls (R^0.2 in step A, R^0.5 in step B).
        const double r = std::max(EMAP.R(emap::kR), 0.0f);
        const double f = EMAP.I(emap::kStepB) == 0 ? std::pow(r, 0.2) : std::sqrt(r);
        const int before = EMAP.I(emap::kContentPeaks);
        count = std::min(count, static_cast<int>(before + (count - before) * f));
    }
    EMAP.I(emap::kContentPeaks) = within;
    EMAP.I(emap::kFragmentFlag) = 0;
    EMAP.I(emap::kPeaksKept) = count;
    EMAP.I(emap::kPeaksKept2) = count;
    return count;
}

void SORTF(float* a, int n, int key) {
    if (n < 2) return;
    // The passes work on (key, record) pairs; the records are moved once at
    // the end, in the order the passes leave.
    std::vector<std::pair<float, int>> order(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) order[static_cast<std::size_t>(i)] = {a[5 * i + key - 1], i};
    int p = 4;
    while (p < n) p *= 2;
    int gap = std::min(n, (3 * p) / 4 - 1);
    for (;;) {
        for (int i = gap; i < n; ++i) {
            const std::pair<float, int> tmp = order[static_cast<std::size_t>(i)];
            int j = i;
            while (j >= gap && order[static_cast<std::size_t>(j - gap)].first < tmp.first) {
                order[static_cast<std::size_t>(j)] = order[static_cast<std::size_t>(j - gap)];
                j -= gap;
            }
            order[static_cast<std::size_t>(j)] = tmp;
        }
        if (gap <= 1) break;
        gap /= 2;
    }
    std::vector<float> copy(a, a + 5 * n);
    for (int i = 0; i < n; ++i) {
        const int from = order[static_cast<std::size_t>(i)].second;
        std::copy(copy.begin() + 5 * from, copy.begin() + 5 * from + 5, a + 5 * i);
    }
}

void OPER(int k, float y[3], float x1, float x2, float x3) {
    const int ns = nsym(), nc = ncentring();
    const int op = (k - 1) % ns + 1;
    const int block = (k - 1) / ns;
    const int cv = block % nc;
    const float sign = block >= nc ? -1.0f : 1.0f;
    const float x[3] = {x1, x2, x3};
    for (int r = 1; r <= 3; ++r) {
        float v = 0.0f;
        for (int c = 1; c <= 3; ++c) v += matrix(op, r, c) * x[c - 1];
        y[r - 1] = sign * v + TAPE.R(tape::kTrans + 3 * (op - 1) + r - 1) + CENT.R(cent::kVectors + 3 * cv + r - 1);
    }
}

float QUADR(const float u[3], const float v[3], const float g[9]) {
    float s = 0.0f;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) s += u[i] * g[i + 3 * j] * v[j];
    return s;
}

void CENTRE(int n, int l) {
    if (n < 1 || n > 4 || l < 1 || l > 7) return;
    CENT.I(cent::kCount) = n;
    for (int i = 0; i < 3; ++i) CENT.R(cent::kVectors + 3 * (n - 1) + i) = kCentringRows[l - 1][i];
}

void SEARCH(int icyc, float& xatoms, int& ierr) {
    SDIR.I(sdir::kPeaks) = std::min(SDIR.I(sdir::kPeaks), kMaxPeaksRequested);
    units().rewind(jrel());
    int set = 0;
    std::string title;
    if (!read_map_header(set, title)) {  // no map on the scratch file
        ierr = -1;
        return;
    }
    if (set < 0) return;

    const double per_unit =
        (TAPE.I(tape::kCentric) + 1.0) * nsym() * std::max(MISC.R(misc::kLatticePoints), 1.0f);
    const float x = static_cast<float>(sf::heavy_atoms() / per_unit);
    xatoms = x;
    if (icyc == 1) {
        lst_line(" a  number  of  atoms  has to be found");
        lst_line(" such that the sum of site occupancies");
        lst("(' ( occ. ) is equal to ',f8.3)", {x});
    }
    const int requested = SDIR.I(sdir::kPeaks);
    if (requested <= 0) {
        CONST.I(konst::kAtomCount) =
            std::max(std::min(kMaxPeaksRequested, (2 * static_cast<int>(11.0f * x + 13.0f)) / 9), kMinPeaks);
        CONST.I(konst::kPeaksWanted) = std::max(std::min(kMaxPeaksRequested, static_cast<int>(3.0f * x + 3.0f)), kMinPeaks);
    } else {
        CONST.I(konst::kAtomCount) = requested;
        CONST.I(konst::kPeaksWanted) = requested;
        lst("(' number of peaks to be considered is',i6)", {requested});
    }
    if (SDIR.I(sdir::kProjections) > 0) lst("(' number of projections  of each  cluster to be output is',i3)", {SDIR.I(sdir::kProjections)});

    const int region = region_code();
    setup_symmetry();
    setup_metric();
    SDIR.R(sdir::kMerge) = SDIR.R(sdir::kMerge) * SDIR.R(sdir::kMerge);
    XSPINB();
    PKSRCH(xatoms, region, icyc, ierr);
}

void PKSRCH(float& xatoms, int region, int icyc, int& ierr) {
    units().rewind(jrel());
    std::vector<Word> rec;
    units().read_record(jrel(), rec);  // header
    if (units().read_record(jrel(), rec) != IO_OK || rec.size() != 3) {
        ierr = -1;
        return;
    }
    const int nx = rec[0].i, nz = rec[1].i, ny = rec[2].i;
    const bool half = region != 0;
    // Sections searched: all of them, or the first half and the one after it.
    const int last = half ? ny - ny / 2 : ny - 1;
    SectionRing ring(nx, ny, nz);
    const long room = kPeakBufferWords;
    if (3L * ring.size() > room) {
        lst("(' not enough room in array nstore.',' space available  =',i7,' space required  =',i7)",
            {static_cast<int>(room), 3 * ring.size()});
        ierr = -1;
        return;
    }
    const int R = ring.row();
    const int capacity = std::min(kPeakCapacity, 2 * CONST.I(konst::kAtomCount));
    int threshold = 0, n = 0;

    for (;;) {
        n = 0;
        // Ring slots of sections s-1, s, s+1.
        int prev = 0, cur = 1, next = 2;
        if (!ring.read(ny - 1, prev) || !ring.read(0, cur)) {
            ierr = -1;
            return;
        }
        for (int s = 0; s <= last; ++s) {
            if (!ring.read((s + 1) % ny, next)) {
                ierr = -1;
                return;
            }
            const int32_t* P = ring.slot(prev);
            const int32_t* C = ring.slot(cur);
            const int32_t* N = ring.slot(next);
            for (int j = 1; j <= nz; ++j) {
                for (int i = 1; i <= nx; ++i) {
                    const int o = j * R + i;
                    const int32_t v = C[o];
                    if (v < threshold) continue;
                    // Before in storage order: strictly above; after: not below.
                    if (!(v > C[o - 1] && v > C[o - R] && v > C[o - R - 1] && v > C[o - R + 1] && v > P[o] &&
                          v > P[o - 1] && v > P[o + 1] && v > P[o - R] && v > P[o + R]))
                        continue;
                    if (!(v >= C[o + 1] && v >= C[o + R] && v >= C[o + R + 1] && v >= C[o + R - 1] && v >= N[o] &&
                          v >= N[o - 1] && v >= N[o + 1] && v >= N[o - R] && v >= N[o + R]))
                        continue;
                    int32_t block[3][3][3];
                    const int32_t* sections[3] = {P, C, N};
                    for (int sy = 0; sy < 3; ++sy)
                        for (int rz = 0; rz < 3; ++rz)
                            for (int cx = 0; cx < 3; ++cx) block[sy][rz][cx] = sections[sy][o + (rz - 1) * R + cx - 1];
                    double dx = 0, dy = 0, dz = 0;
                    peak_offsets(block, dx, dy, dz);
                    const int cand = n + 1;
                    peak(cand, 1) = static_cast<float>((i + dx) / nx);
                    peak(cand, 2) = static_cast<float>((s + dy) / ny);
                    peak(cand, 3) = static_cast<float>((j + dz) / nz);
                    peak(cand, 4) = static_cast<float>(v);
                    peak(cand, 5) = 1.0f;
                    n = merge_candidate(n);
                    if (n >= capacity) {
                        SORTF(&atom_coord(1, 1), n, 4);
                        n = std::min(n, CONST.I(konst::kPeaksWanted));
                        threshold = static_cast<int>(peak(n, 4) + 0.5f);
                    }
                }
            }
            const int t = prev;
            prev = cur;
            cur = next;
            next = t;
        }
        SORTF(&atom_coord(1, 1), n, 4);
        if (n < CONST.I(konst::kPeaksWanted) && threshold > kLowestThreshold) {
            threshold -= kThresholdStep;
            continue;
        }
        if (n < CONST.I(konst::kPeaksWanted)) CONST.I(konst::kPeaksWanted) = n;
        break;
    }

    // Site symmetry and the expected content.
    const float x = xatoms;
    const float content = std::max(static_cast<float>(TAPE.I(tape::kExpected)), x);
    SiteWork work;
    bool rejected = false;
    for (int i = 1; i <= n; ++i) {
        float p[11] = {peak(i, 1), peak(i, 2), peak(i, 3)}, pnew[11];
        int kode[10];
        KSPECB(work, p, pnew, kode, 0, 0, 0, 1);
        peak(i, 5) = 1.0f / static_cast<float>(std::max(kode[9], 1));
        if (peak(i, 5) > kSpecialExcess * x) {
            peak(i, 4) = kRejected;
            rejected = true;
        }
    }
    if (rejected) {
        SORTF(&atom_coord(1, 1), n, 4);
        while (n > 0 && peak(n, 4) == kRejected) --n;
    }
    for (int i = 1; i <= kMaxAtoms; ++i) atom_label(i) = 0;
    int highest_positive = 0, within = 0;
    double cum = 0.0;
    for (int i = 1; i <= n; ++i) {
        if (peak(i, 4) > 0.001f) highest_positive = i;
        cum += peak(i, 5);
        if (cum <= content) within = i;
    }

    int count = UREQ1.I(ureq1::kMapKind) == 0 ? peaks_to_keep(within, highest_positive) : within;
    count = std::clamp(count, 0, n);
    CONST.I(konst::kAtomCount) = count;
    FRM15(count, CONST.I(konst::kSetNumber), 0);
    (void)icyc;
}

}  // namespace zanek
