// Site-symmetry symbols of special positions, oriented as in the tables of
// Wyckoff positions: one place per set of symmetry directions of the
// crystal family (for the monoclinic and orthorhombic families a, b and c;
// tetragonal c, <100>, <110>; hexagonal c, <100>, <1-10>; rhombohedral c
// and <100>; cubic <100>, <111>, <110>), each showing the symmetry elements
// along its directions (one symbol for each class of directions the site's
// operations carry into one another) or a dot, shortened as point-group
// symbols are (2/m beside other elements is written m; 4/m beside the
// cubic 3 is m).
// The coordinate and displacement restrictions of the site give the site
// code that goes with the symbol.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <numeric>
#include <string>
#include <vector>

#include "fourier/fourier_records.h"
#include "fourier/maps/fourier.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/special.h"
#include "platform/listing.h"

namespace zanek {

namespace {

const char* const kUnknownSite = "h.y.s.";

// Keys of the coordinate restrictions (x, y, z) of the special positions:
// (c1+10)*10000 + c2*100 + c3 + 1010 with the restriction codes of the
// special-position library (0 fixed, j equal to coordinate j, -j its
// negative, 20+j twice it).
const int kCoordinateKeys[28] = {
    111010, 101210, 101013, 101213, 111013, 111210, 101010, 111110,  // x00 0y0 00z 0yz x0z xy0 000 xx0
    101208, 101212, 110909, 110910, 110911, 110913, 111009, 111011,  // 0y-y 0yy x-x-x x-x0 x-xx x-xz x0-x x0x
    111109, 111111, 111113, 111208, 111209, 111211, 111212, 113110,  // xx-x xxx xxz xy-y xy-x xyx xyy x2x0
    113113, 311110, 311113, 0};                                      // x2xz 2xx0 2xxz
// Keys of the displacement restrictions, (U11 U22 U33) and (U23 U13 U12),
// built the same way (10+j: half of parameter j).
const int kThermalKeys[30][2] = {
    {141516, 101810}, {141516, 101019}, {141516, 171010}, {141516, 101010}, {141414, 101010},
    {141414, 170303}, {141414, 170317}, {141414, 171703}, {141414, 171717}, {141416, 101010},
    {141416, 101019}, {141416, 101024}, {141416, 170319}, {141416, 171719}, {141514, 101010},
    {141514, 101810}, {141514, 171803}, {141514, 171817}, {141515, 101010}, {141515, 171010},
    {141515, 171802}, {141515, 171818}, {141516, 101024}, {141516, 101025}, {141516, 101825},
    {141516, 171024}, {141516, 171819}, {141516, 173724}, {141516, 371725}, {101010, 101010}};

int restriction_key(int a, int b, int c) { return (a + 10) * 10000 + b * 100 + c + 1010; }

// Sets of symmetry directions of each crystal family (7: rhombohedral).
using Dir = std::array<int, 3>;
std::vector<std::vector<Dir>> symmetry_directions(int family) {
    switch (family) {
        case 4: return {{{0, 0, 1}}, {{1, 0, 0}, {0, 1, 0}}, {{1, -1, 0}, {1, 1, 0}}};
        case 5: return {{{0, 0, 1}}, {{1, 0, 0}, {0, 1, 0}, {-1, -1, 0}}, {{1, -1, 0}, {1, 2, 0}, {-2, -1, 0}}};
        case 7: return {{{0, 0, 1}}, {{1, 0, 0}, {0, 1, 0}, {-1, -1, 0}}};
        case 6:
            return {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
                    {{1, 1, 1}, {1, -1, -1}, {-1, 1, -1}, {-1, -1, 1}},
                    {{1, -1, 0}, {1, 1, 0}, {0, 1, -1}, {0, 1, 1}, {-1, 0, 1}, {1, 0, 1}}};
        default: return {{{1, 0, 0}}, {{0, 1, 0}}, {{0, 0, 1}}};
    }
}

using Mat = std::array<std::array<int, 3>, 3>;

Mat multiply(const Mat& a, const Mat& b) {
    Mat c{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) c[i][j] += a[i][k] * b[k][j];
    return c;
}

int determinant(const Mat& m) {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

// Order of a proper rotation from its trace.
int proper_order(const Mat& r) {
    switch (r[0][0] + r[1][1] + r[2][2]) {
        case 3: return 1;
        case -1: return 2;
        case 0: return 3;
        case 1: return 4;
        case 2: return 6;
        default: return 0;
    }
}

// Axis of a proper rotation of order n: a non-zero column of I + R + ... + R^(n-1).
Dir rotation_axis(const Mat& r, int n) {
    Mat sum{}, power{};
    for (int i = 0; i < 3; ++i) power[i][i] = 1;
    for (int k = 0; k < n; ++k) {
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) sum[i][j] += power[i][j];
        power = multiply(power, r);
    }
    Dir best{0, 0, 0};
    int norm = 0;
    for (int j = 0; j < 3; ++j) {
        int s = sum[0][j] * sum[0][j] + sum[1][j] * sum[1][j] + sum[2][j] * sum[2][j];
        if (s > norm) {
            norm = s;
            best = {sum[0][j], sum[1][j], sum[2][j]};
        }
    }
    int g = std::gcd(std::gcd(std::abs(best[0]), std::abs(best[1])), std::abs(best[2]));
    if (g > 1)
        for (int& v : best) v /= g;
    return best;
}

bool parallel(const Dir& u, const Dir& d) {
    return u[1] * d[2] - u[2] * d[1] == 0 && u[2] * d[0] - u[0] * d[2] == 0 && u[0] * d[1] - u[1] * d[0] == 0 &&
           (u[0] != 0 || u[1] != 0 || u[2] != 0);
}

// Elements found along the directions of one place of the symbol.
struct Place {
    int proper = 1;
    bool mirror = false, bar3 = false, bar4 = false, bar6 = false;
    std::string symbol() const {
        if (proper == 6) return mirror ? "6/m" : "6";
        if (proper == 4) return mirror ? "4/m" : "4";
        if (bar4) return "-4";
        if (proper == 3) return bar3 ? "-3" : (mirror || bar6) ? "-6" : "3";
        if (bar6) return "-6";
        if (bar3) return "-3";
        if (proper == 2) return mirror ? "2/m" : "2";
        if (mirror) return "m";
        return ".";
    }
};

// The rotation of site operation k (row of the work table): the signed
// operator of the special-position library.
Mat site_rotation(int signed_op) {
    const int j = std::abs(signed_op);
    const int s = signed_op < 0 ? -1 : 1;
    Mat m{};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) m[r][c] = s * static_cast<int>(std::lround(specw::rotation(j, r + 1, c + 1)));
    return m;
}

int crystal_family() {
    if (TAPE.I(tape::kLattice) == 7 || SYM.I(symw::kLattice) == 7) return 7;
    return ERL.I(erlw::kSystem);
}

}  // namespace

std::string site_symbol(const SiteWork& work, int order) {
    const int family = crystal_family();
    const auto directions = symmetry_directions(family);
    // Elements along every direction of every place.
    std::vector<std::vector<Place>> along(directions.size());
    for (std::size_t p = 0; p < directions.size(); ++p) along[p].resize(directions[p].size());
    std::vector<Mat> rotations;
    bool inversion = false;
    for (int k = 0; k < order - 1 && k < 48; ++k) {
        const int op = work.w[k][2];
        if (op == 0 || std::abs(op) > 24) return kUnknownSite;
        const Mat w = site_rotation(op);
        rotations.push_back(w);
        const bool proper = determinant(w) > 0;
        Mat r = w;
        if (!proper)
            for (auto& row : r)
                for (int& v : row) v = -v;
        const int n = proper_order(r);
        if (n == 0) return kUnknownSite;
        if (n == 1) {
            if (!proper) inversion = true;  // -1
            continue;                       // a pure lattice translation
        }
        const Dir axis = rotation_axis(r, n);
        bool found = false;
        for (std::size_t p = 0; p < directions.size() && !found; ++p) {
            for (std::size_t d = 0; d < directions[p].size() && !found; ++d) {
                if (!parallel(axis, directions[p][d])) continue;
                Place& pl = along[p][d];
                if (proper) pl.proper = std::max(pl.proper, n);
                else if (n == 2) pl.mirror = true;
                else if (n == 3) pl.bar3 = true;
                else if (n == 4) pl.bar4 = true;
                else if (n == 6) pl.bar6 = true;
                found = true;
            }
        }
        if (!found) return kUnknownSite;
    }
    // Images that coincide only approximately need not form a group: such a
    // site has no symbol.
    {
        Mat identity{};
        for (int i = 0; i < 3; ++i) identity[i][i] = 1;
        std::vector<Mat> group = rotations;
        group.push_back(identity);
        for (const Mat& a : group)
            for (const Mat& b : group)
                if (std::find(group.begin(), group.end(), multiply(a, b)) == group.end()) return kUnknownSite;
    }
    // A place shows one symbol for each class of its directions that the
    // site's operations carry into one another, the higher axes first.
    auto image = [](const Mat& w, const Dir& d) {
        Dir e{};
        for (int i = 0; i < 3; ++i) e[i] = w[i][0] * d[0] + w[i][1] * d[1] + w[i][2] * d[2];
        return e;
    };
    std::vector<std::vector<std::string>> parts(directions.size());
    int elements = 0;
    for (std::size_t p = 0; p < directions.size(); ++p) {
        std::vector<bool> taken(directions[p].size(), false);
        std::vector<std::pair<int, std::string>> classes;
        for (std::size_t d = 0; d < directions[p].size(); ++d) {
            if (taken[d]) continue;
            taken[d] = true;
            for (const Mat& w : rotations) {
                const Dir e = image(w, directions[p][d]);
                for (std::size_t d2 = d + 1; d2 < directions[p].size(); ++d2)
                    if (!taken[d2] && parallel(e, directions[p][d2])) taken[d2] = true;
            }
            const std::string sym = along[p][d].symbol();
            if (sym == ".") continue;
            const int rank = along[p][d].proper * 2 + (along[p][d].bar4 || along[p][d].bar6 || along[p][d].bar3 ? 1 : 0);
            classes.push_back({rank, sym});
        }
        std::stable_sort(classes.begin(), classes.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
        for (const auto& c : classes) parts[p].push_back(c.second);
        elements += static_cast<int>(parts[p].size());
    }
    if (elements == 0 || family == 1) return inversion ? "-1" : "1";
    // Short symbols: 2/m among other elements is m; the cubic 4/m beside the 3 is m.
    for (auto& place : parts)
        for (std::string& s : place)
            if (s == "2/m" && elements > 1) s = "m";
    if (family == 6 && parts.size() > 1 && !parts[1].empty())
        for (std::string& s : parts[0])
            if (s == "4/m") s = "m";
    std::string symbol;
    for (const auto& place : parts) {
        if (place.empty()) symbol += ".";
        for (const std::string& s : place) symbol += s;
    }
    return symbol.size() <= 6 ? symbol : kUnknownSite;
}

void SITE(const SiteWork& work, const int kode[10], int print, int& result) {
    const int order = kode[9];
    const int ckey = restriction_key(kode[0], kode[1], kode[2]);
    const int t1 = restriction_key(kode[3], kode[4], kode[5]), t2 = restriction_key(kode[6], kode[7], kode[8]);
    int c = 0, t = 0;
    for (int i = 0; i < 28; ++i)
        if (kCoordinateKeys[i] == ckey && ckey != 0) c = i + 1;
    for (int i = 0; i < 30; ++i)
        if (kThermalKeys[i][0] == t1 && kThermalKeys[i][1] == t2) t = i + 1;
    if ((c == 0 || t == 0) && print) {
        std::vector<FItem> items;
        for (int i = 0; i < 10; ++i) items.emplace_back(kode[i]);
        for (int v : {ckey, t1, t2, c, t}) items.emplace_back(v);
        lst("(' errore ',10i3,3i8,2i4)", items);
        lst_blank();
    }
    const std::string symbol = site_symbol(work, order);
    if (print) {
        if (ATPOS.size() < 124) ATPOS.resize(124, ' ');
        ATPOS.replace(118, 6, (symbol + "      ").substr(0, 6));
    }
    result = symbol == kUnknownSite ? -1 : 10000 * order + 100 * c + t;
}

}  // namespace zanek
