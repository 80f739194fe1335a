#include "crystaldata/spacegroup.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "jobcontrol/numeric.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/text.h"
#include "platform/listing.h"

namespace zanek {

namespace {

// ---------------------------------------------------------------- tables

// Rotation matrices by matrix code: 1-24 the cubic group, 25-36 the
// hexagonal group, each written as the image of x, y, z.
constexpr const char* kMatrixImage[37] = {
    "",
    "x,y,z",    "x,-y,-z",  "-x,y,-z",  "-x,-y,z",  "z,x,y",    "-z,x,-y",
    "-z,-x,y",  "z,-x,-y",  "y,z,x",    "-y,-z,x",  "y,-z,-x",  "-y,z,-x",
    "-y,-x,-z", "y,-x,z",   "-y,x,z",   "y,x,-z",   "-x,-z,-y", "-x,z,y",
    "x,z,-y",   "x,-z,y",   "-z,-y,-x", "z,y,-x",   "z,-y,x",   "-z,y,x",
    "x,y,z",    "x-y,x,z",  "-y,x-y,z", "-x,-y,z",  "-x+y,-x,z", "y,-x+y,z",
    "y,x,-z",   "x,x-y,-z", "x-y,-y,-z", "-y,-x,-z", "-x,-x+y,-z", "-x+y,y,-z",
};

struct MatrixTable {
    int m[37][3][3] = {};
    MatrixTable() {
        for (int code = 1; code <= 36; ++code) {
            const char* p = kMatrixImage[code];
            int row = 0, sign = 1;
            for (; *p; ++p) {
                if (*p == ',') { ++row; sign = 1; }
                else if (*p == '-') sign = -1;
                else if (*p == '+') sign = 1;
                else { m[code][row][*p - 'x'] = sign; sign = 1; }
            }
        }
    }
};
const MatrixTable kMatrices;

// Operation blocks of the 31 acentric point groups (signed matrix codes).
constexpr int kBlocks[32][25] = {
    {0},
    {1, 1},
    {2, 1, -2},
    {2, 1, -3},
    {2, 1, -4},
    {2, 1, 2},
    {2, 1, 3},
    {2, 1, 4},
    {4, 1, 2, -3, -4},
    {4, 1, 3, -2, -4},
    {4, 1, 4, -2, -3},
    {4, 1, 4, 2, 3},
    {4, 1, 4, -15, -14},
    {4, 1, 4, 15, 14},
    {8, 1, 4, 15, 14, -2, -3, -13, -16},
    {8, 1, 4, 2, 3, -13, -16, -14, -15},
    {8, 1, 4, 13, 16, -2, -3, -14, -15},
    {8, 1, 4, 2, 3, 13, 16, 14, 15},
    {3, 1, 3, 5},
    {6, 1, 3, 5, -9, -11, -7},
    {6, 1, 3, 5, -10, -8, -12},
    {6, 1, 3, 5, 9, 11, 7},
    {6, 1, 3, 5, 10, 8, 12},
    {6, 1, 3, 5, -4, -2, -6},
    {6, 1, 4, 3, 5, 2, 6},
    {12, 1, 4, 3, 5, 2, 6, -9, -11, -7, -10, -8, -12},
    {12, 1, 3, 5, 10, 8, 12, -9, -11, -7, -4, -2, -6},
    {12, 1, 3, 5, 9, 11, 7, -10, -8, -12, -4, -2, -6},
    {12, 1, 4, 3, 5, 2, 6, 9, 11, 7, 10, 8, 12},
    {12, 1, 4, 2, 3, 5, 9, 7, 12, 8, 10, 6, 11},
    {24, 1, 4, 2, 3, 5, 9, 7, 12, 8, 10, 6, 11, -13, -16, -14, -15, -17, -21, -19, -24, -20, -22, -18, -23},
    {24, 1, 4, 2, 3, 5, 9, 7, 12, 8, 10, 6, 11, 13, 16, 14, 15, 17, 21, 19, 24, 20, 22, 18, 23},
};

// Point-group table: key, operation block, generators (up to 3), class.
struct PointGroup {
    int key, block, gen[3], cls;
};
constexpr PointGroup kPointGroups[46] = {
    {0, 0, {0, 0, 0}, 0},
    {111, 1, {1, 0, 0}, 1},      {711, 2, {2, 0, 0}, 2},      {171, 3, {2, 0, 0}, 3},
    {117, 4, {2, 0, 0}, 4},      {211, 5, {2, 0, 0}, 5},      {121, 6, {2, 0, 0}, 6},
    {112, 7, {2, 0, 0}, 7},      {277, 8, {3, 4, 0}, 5},      {727, 9, {3, 4, 0}, 6},
    {772, 10, {3, 4, 0}, 7},     {222, 11, {3, 4, 0}, 8},     {-389, 12, {3, 0, 0}, 10},
    {411, 13, {3, 0, 0}, 9},     {477, 14, {5, 7, 0}, 9},     {-373, 15, {5, 3, 0}, 10},
    {-328, 16, {5, 3, 0}, 10},   {422, 17, {3, 5, 0}, 10},    {311, 18, {2, 0, 0}, 15},
    {371, 19, {4, 2, 0}, 15},    {317, 20, {4, 2, 0}, 13},    {321, 21, {4, 2, 0}, 11},
    {312, 22, {4, 2, 0}, 16},    {-589, 23, {5, 0, 0}, 16},   {611, 24, {5, 0, 0}, 13},
    {677, 25, {7, 10, 0}, 13},   {-528, 26, {7, 4, 0}, 16},   {-573, 27, {7, 4, 0}, 11},
    {622, 28, {7, 10, 0}, 11},   {231, 29, {2, 5, 0}, 12},    {-363, 30, {5, 14, 0}, 12},
    {432, 31, {5, 14, 0}, 12},   {-89, 1, {2, 0, 0}, 8},      {218, 5, {4, 2, 0}, 8},
    {128, 6, {4, 2, 0}, 8},      {119, 7, {4, 2, 0}, 8},      {777, 11, {7, 8, 6}, 8},
    {-289, 18, {5, 0, 0}, 11},   {418, 13, {6, 3, 0}, 10},    {484, 17, {10, 11, 13}, 10},
    {-229, 21, {10, 8, 0}, 11},  {-283, 22, {10, 8, 0}, 11},  {684, 28, {14, 19, 22}, 11},
    {618, 24, {8, 5, 0}, 11},    {737, 31, {26, 37, 5}, 12},  {731, 29, {14, 5, 0}, 12},
};

// Translation vectors in 1/24 by translation code.
constexpr int kVectors[35][3] = {
    {0, 0, 0},
    {0, 0, 0},    {12, 0, 0},  {0, 12, 0},  {0, 0, 12},  {0, 12, 12}, {12, 0, 12},
    {12, 12, 0},  {12, 12, 12}, {0, 6, 6},  {6, 0, 6},   {6, 6, 0},   {6, 6, 6},
    {18, 6, 6},   {0, 0, 4},   {0, 0, 6},   {0, 0, 8},   {0, 0, 12},  {0, 0, 16},
    {0, 0, 18},   {0, 0, 20},  {18, 6, 0},  {18, 12, 6}, {18, 6, 3},  {18, 6, 9},
    {0, 18, 0},   {0, 6, 0},   {0, 6, 3},   {6, 0, 0},   {0, 12, 6},  {9, 9, 0},
    {9, 0, 9},    {0, 9, 9},   {6, 18, 18}, {0, 18, 9},
};

// Translation code of a glide letter (m a b c n d) by symbol position, for
// crystal systems 1-3 and 4-6; 0: the letter cannot stand there.
constexpr int kGlideLow[6][3] = {{1, 1, 1}, {0, 2, 2}, {3, 0, 3}, {4, 4, 0}, {5, 6, 7}, {9, 10, 11}};
constexpr int kGlideHigh[6][3] = {{1, 1, 1}, {2, 0, 0}, {3, 3, 0}, {0, 4, 4}, {7, 5, 8}, {11, 0, 12}};

// Groups whose origin is moved after the closure: symbol code, translation
// code. P n a m (603) is moved by (0 1/2 0), which puts its centre of
// symmetry at the origin as in every other centrosymmetric setting.
constexpr int kOrigins[78][2] = {
    {2, 26},     {6, 11},     {5, 15},     {7, 26},     {435, 28},   {603, 3},    {453, 28},
    {645, 15},   {747, 26},   {771, 15},   {2287, 30},  {2383, 32},  {2299, 31},  {1622, 11},
    {899, 9},    {1319, 10},  {1209, 10},  {1749, 11},  {954, 9},    {1601, 11},  {898, 9},
    {1221, 10},  {1770, 11},  {955, 9},    {1307, 10},  {2401, 13},  {2547, 13},  {2421, 13},
    {5105, 16},  {7303, 15},  {7205, 15},  {29187, 12}, {29687, 12}, {31662, 12}, {13721, 21},
    {13202, 11}, {13210, 21}, {13691, 22}, {17219, 21}, {17221, 15}, {17223, 23}, {17227, 13},
    {17229, 15}, {17231, 24}, {17721, 24}, {14137, 21}, {14147, 11}, {14164, 21}, {14170, 21},
    {14638, 3},  {14689, 25}, {14692, 26}, {15183, 15}, {15160, 21}, {15185, 13}, {16229, 15},
    {16228, 11}, {16230, 12}, {16729, 15}, {15708, 34}, {17122, 3},  {17149, 3},  {17102, 21},
    {17129, 21}, {17120, 11}, {17148, 11}, {17155, 3},  {17132, 3},  {17135, 21}, {17112, 11},
    {17153, 11}, {17131, 11}, {17603, 3},  {17659, 29}, {17662, 15}, {5204, 14},  {5104, 14},
    {5205, 16},
};

// Settings whose symbol code is shared with another setting or missing from
// the origin table: the origin move (1/24) that puts their origin where the
// International Tables have it. P n m 21 shares its code with P n a m.
struct SettingOrigin {
    const char* symbol;
    int v[3];
};
constexpr SettingOrigin kSettingOrigins[] = {
    {"p n m 21", {0, 6, 0}},  {"c m m b", {6, 6, 0}},   {"a c m m", {0, 6, 6}},   {"b m a m", {18, 12, 6}},
    {"c c c b", {12, 0, 12}}, {"a c a a", {12, 12, 0}}, {"b b a b", {0, 12, 12}}, {"i m m b", {6, 18, 6}},
    {"i b m m", {6, 18, 6}},  {"i m a m", {18, 6, 6}},
};

// Seminvariant classes: vector text, condition text, matrix V (rows).
struct SeminvariantClass {
    const char* vector;     // three letters
    const char* condition;  // up to ten characters, blank when none
    int V[3][3];
};
constexpr SeminvariantClass kClasses[19] = {
    {"", "", {{0}}},
    {"000", "", {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}},
    {"g00", "", {{96, 0, 0}, {0, 1, 0}, {0, 0, 1}}},
    {"0g0", "", {{1, 0, 0}, {0, 96, 0}, {0, 0, 1}}},
    {"00g", "", {{1, 0, 0}, {0, 1, 0}, {0, 0, 96}}},
    {"0gg", "", {{1, 0, 0}, {0, 96, 0}, {0, 0, 96}}},
    {"g0g", "", {{96, 0, 0}, {0, 1, 0}, {0, 0, 96}}},
    {"gg0", "", {{96, 0, 0}, {0, 96, 0}, {0, 0, 1}}},
    {"ggg", "", {{96, 0, 0}, {0, 96, 0}, {0, 0, 96}}},
    {"hk0", "h+k=2n", {{96, 96, 0}, {0, 0, 1}, {0, 0, 0}}},
    {"hkg", "h+k=2n", {{96, 96, 0}, {0, 0, 96}, {0, 0, 0}}},
    {"hkg", "", {{0, 0, 96}, {0, 0, 0}, {0, 0, 0}}},
    {"hkl", "h+k+l=2n", {{96, 96, 96}, {0, 0, 0}, {0, 0, 0}}},
    {"hk0", "", {{0, 0, 1}, {0, 0, 0}, {0, 0, 0}}},
    {"hkg", "2h+4k+g=6n", {{64, 128, 32}, {0, 0, 0}, {0, 0, 0}}},
    {"hk0", "2h+k=3n", {{128, 64, 0}, {0, 0, 1}, {0, 0, 0}}},
    {"hkg", "2h+k=3n", {{128, 64, 0}, {0, 0, 96}, {0, 0, 0}}},
    {"ggg", "h+k+l=4n", {{48, 48, 48}, {96, 0, 0}, {0, 96, 0}}},
    {"hkg", "2h+2k+g=4n", {{96, 96, 0}, {0, 96, 48}, {0, 0, 96}}},
};

// Centring vectors (1/24) by lattice letter index (p a b c f i r), four
// each; p and r are not normalised.
constexpr int kCentring[8][4][3] = {
    {},
    {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
    {{0, 0, 0}, {0, 12, 12}, {0, 0, 0}, {0, 0, 0}},
    {{0, 0, 0}, {12, 0, 12}, {0, 0, 0}, {0, 0, 0}},
    {{0, 0, 0}, {12, 12, 0}, {0, 0, 0}, {0, 0, 0}},
    {{0, 0, 0}, {0, 12, 12}, {12, 0, 12}, {12, 12, 0}},
    {{0, 0, 0}, {12, 12, 12}, {0, 0, 0}, {0, 0, 0}},
    {{0, 0, 0}, {16, 8, 8}, {8, 16, 16}, {0, 0, 0}},  // used only to check the group
};

constexpr const char* kFamilyName[7] = {"", "triclinic", "monoclinic", "orthorhombic",
                                        "tetragonal", "hexagonal", "cubic"};

// Character codes of the parse grid.
constexpr int kSlash = 7;
int plane_code(char ch) {
    switch (ch) {
        case 'm': return -7;
        case 'a': return -6;
        case 'b': return -5;
        case 'c': return -4;
        case 'n': return -3;
        case 'd': return -2;
        default: return 0;
    }
}

int mod24(int v) { return ((v % 24) + 24) % 24; }

bool same_matrix(const int a[3][3], const int b[3][3]) {
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            if (a[i][j] != b[i][j]) return false;
    return true;
}

void multiply(const int a[3][3], const int b[3][3], int c[3][3]) {
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            int s = 0;
            for (int k = 0; k < 3; ++k) s += a[i][k] * b[k][j];
            c[i][j] = s;
        }
}

// R t + u reduced to 0..23.
void apply(const int r[3][3], const int t[3], const int u[3], int out[3]) {
    for (int i = 0; i < 3; ++i) out[i] = mod24(r[i][0] * t[0] + r[i][1] * t[1] + r[i][2] * t[2] + u[i]);
}

// Whether v (reduced) is a lattice translation of the letter.
bool is_centring(int L, const int v[3]) {
    for (int c = 0; c < 4; ++c) {
        const int* w = kCentring[L][c];
        if (mod24(v[0] - w[0]) == 0 && mod24(v[1] - w[1]) == 0 && mod24(v[2] - w[2]) == 0) return true;
    }
    return false;
}

// Parse grid of the symbol: G(r, c) for parts r = 1..3, positions c = 1..4.
struct Grid {
    int G[4][5] = {};
    int O[4] = {0, 1, 1, 1};
};

// Step 1-3: lattice letter, grid, crystal system, normalised parts.
SymbolFault read_grid(std::string_view sym, SymbolAnalysis& a, Grid& g) {
    a.letter = sym.empty() ? ' ' : sym[0];
    const char* letters = "pabcfir";
    const char* at = std::strchr(letters, a.letter);
    if (a.letter == '\0' || !at) return SymbolFault::grid;
    a.L = static_cast<int>(at - letters) + 1;
    a.K = 2;
    int r = 1, c = 1;
    for (std::size_t pos = 2; pos < 16 && pos < sym.size(); ++pos) {
        char ch = sym[pos];
        if (ch == ' ') {
            ++r;
            c = 1;
            continue;
        }
        if (r > 3 || c > 4) return SymbolFault::grid;
        int code;
        if (ch >= '0' && ch <= '9') code = ch - '0';
        else if (ch == '-') code = -1;
        else if (ch == '/') code = kSlash;
        else code = plane_code(ch);
        if (code == 0 && ch != '0') return SymbolFault::grid;
        g.G[r][c] = code;
        if (code == 3 || code == 6) a.K = 5;
        ++c;
    }
    auto& G = g.G;
    // Today's notation writes -3 in the second position of a centrosymmetric
    // cubic symbol (a plane letter in front); it names the same group as 3.
    if (G[2][1] == -1 && G[2][2] == 3 && G[2][3] == 0 && G[1][1] <= -2) {
        G[2][1] = 3;
        G[2][2] = 0;
    }
    if (G[1][1] == 4 || (G[1][1] == -1 && G[1][2] == 4)) a.K = 4;
    if (G[2][1] == 3) a.K = 6;
    if ((G[1][1] == 1 && G[2][1] == 0) || (G[1][1] == -1 && G[1][2] == 1)) a.K = 1;
    if (a.K == 2 && G[2][1] == 0) {
        for (int k = 1; k <= 4; ++k) {
            G[2][k] = G[1][k];
            G[1][k] = 0;
        }
        G[1][1] = 1;
        G[3][1] = 1;
    } else if (a.K == 2 && G[1][1] != 1 && G[2][1] != 1 && G[3][1] != 1) {
        a.K = 3;
    }
    for (int p = 1; p <= 3; ++p) {
        if (G[p][1] != 0) g.O[p] = G[p][1];
        if (g.O[p] == -1) g.O[p] = -G[p][2];
        if (G[p][1] <= -2) {
            g.O[p] = 7;
            G[p][4] = G[p][1];
            G[p][1] = 1;
        }
        if (G[p][2] == kSlash) {
            G[p][4] = G[p][3];
            G[p][3] = kSlash;
            G[p][2] = 0;
        }
    }
    return SymbolFault::none;
}

// Steps 4-5: point group, operations, product table.
SymbolFault build_operations(SymbolAnalysis& a, const Grid& g) {
    const auto& G = g.G;
    int key = 100 * g.O[1] + 10 * g.O[2] + g.O[3] + G[1][3] + G[2][3] + G[3][3];
    a.pg = 0;
    for (int n = 1; n <= 45; ++n)
        if (kPointGroups[n].key == key) { a.pg = n; break; }
    if (a.pg == 0) return SymbolFault::point_group;
    a.acentric = a.pg <= 31 ? 1 : 0;
    const int* block = kBlocks[kPointGroups[a.pg].block];
    a.ng = block[0];
    for (int k = 1; k <= a.ng; ++k) {
        int v = block[k];
        int code = std::abs(v) + (a.K == 5 ? 24 : 0);
        if (code > 36) return SymbolFault::not_closed;
        int s = v < 0 ? -1 : 1;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) a.R[k][i][j] = s * kMatrices.m[code][i][j];
    }
    a.N = a.ng;
    if (!a.acentric) {
        for (int k = 1; k <= a.ng; ++k)
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j) a.R[a.ng + k][i][j] = -a.R[k][i][j];
        a.N = 2 * a.ng;
    }
    for (int i = 1; i <= a.ng; ++i)
        for (int j = 1; j <= a.ng; ++j) {
            int prod[3][3];
            multiply(a.R[i], a.R[j], prod);
            int found = 0;
            for (int k = 1; k <= a.ng && !found; ++k)
                if (same_matrix(a.R[k], prod)) found = k;
            if (!found) return SymbolFault::not_closed;
            a.P[i][j] = found;
            if (!a.acentric) {
                a.P[i][j + a.ng] = a.P[i + a.ng][j] = found + a.ng;
                a.P[i + a.ng][j + a.ng] = found;
            }
        }
    return SymbolFault::none;
}

// Step 6: the symbol code that selects the origin move.
int symbol_code(const SymbolAnalysis& a, const Grid& g) {
    const auto& G = g.G;
    int code = 0;
    int block = kPointGroups[a.pg].block;
    if (a.K == 3) code = 400 * a.L + 49 * G[1][4] + 7 * G[2][4] + G[3][4] + 399;
    if (a.K >= 4)
        code = 1000 * block + 100 * a.L + 25 * ((G[3][4] + 7) / 2) + 5 * G[1][4] + G[2][4] + 4 * G[1][2] +
               2 * G[2][2] + 42;
    if (a.K == 5) code = 100 * a.pg + G[1][2] + G[2][1] + G[3][1] + 3000;
    if (a.pg == 11) code = 4 * G[1][2] + 2 * G[2][2] + G[3][2];
    if (a.K <= 2) code = 0;
    return code;
}

// Steps 7-8: translations of the generators and the origin shift of the
// glide letters.
SymbolFault generator_translations(SymbolAnalysis& a, const Grid& g, int s[3]) {
    const auto& G = g.G;
    int c[4] = {0, 1, 1, 1};
    int n = (a.pg == 30 || a.pg == 31) ? 1 : 0;
    for (int r = 1; r <= 3; ++r) {
        if (G[r][4] == 0) continue;
        if (n >= 3) return SymbolFault::glide;
        int letter = G[r][4] + 7;
        int code = a.K <= 3 ? kGlideLow[letter][r - 1] : kGlideHigh[letter][r - 1];
        if (code == 0) return SymbolFault::glide;
        c[++n] = code;
    }
    if (a.pg == 30 && G[3][4] == plane_code('d')) c[n] = 13;
    if (n < 2) {
        for (int r = 1; r <= 3; ++r) {
            if (G[r][1] != 2) continue;
            if (n >= 3) return SymbolFault::not_closed;
            int q = G[r][2];
            c[++n] = a.K <= 3 ? r * q + 1 : (a.K == 6 ? 5 * q + 1 : q + 1);
        }
        if (G[1][2] != 0 && G[1][1] >= 3 && G[1][1] <= 6) {
            if (n >= 3) return SymbolFault::not_closed;
            c[++n] = (10 * G[1][2]) / G[1][1] - (2 * G[1][2]) / G[1][1] + 13;
        }
    }
    int S = c[3];
    if (a.pg == 31) {
        int q = G[1][2];
        S = ((a.L % 5) + 2 * (5 * q * q - 21 * q) + 43) * q + 7 * (q / 2) + q / 3 + 1;
    }
    for (int k = 1; k <= 3; ++k)
        if (c[k] < 1 || c[k] > 34) return SymbolFault::translations;
    if (S < 1 || S > 34) return SymbolFault::translations;
    int F = (G[3][1] == 2 && (G[2][1] == 2 || G[2][1] == 3)) ? 1 : 0;
    for (int j = 1; j <= 3; ++j) {
        int e = kPointGroups[a.pg].gen[j - 1];
        if (e == 0) break;
        int sigma = j == 2 ? F * (1 - 2 * (a.K == 6 ? 1 : 0)) : 0;
        for (int i = 0; i < 3; ++i) a.t[e][i] = kVectors[c[j]][i] - sigma * kVectors[S][i];
        if (a.K < 4 && F == 0 && a.letter != 'f')
            for (int i = 0; i < 3; ++i) s[i] += kVectors[c[j]][i] / 2;
    }
    return SymbolFault::none;
}

// Step 9: closure of the translations over the group, in passes over the
// operations listed at the start of each pass. At most N passes are needed.
SymbolFault close_translations(SymbolAnalysis& a) {
    bool listed[49] = {};
    int list[49];
    int count = 0;
    for (int j = 0; j < 3; ++j) {
        int e = kPointGroups[a.pg].gen[j];
        if (e == 0 || e > a.N) break;
        if (!listed[e]) { listed[e] = true; list[count++] = e; }
    }
    for (int pass = 0; count < a.N; ++pass) {
        int at_start = count;
        for (int ia = 0; ia < at_start; ++ia)
            for (int ib = 0; ib < at_start; ++ib) {
                int ka = list[ia], kb = list[ib];
                int k = a.P[ka][kb];
                if (listed[k]) continue;
                apply(a.R[ka], a.t[kb], a.t[ka], a.t[k]);
                listed[k] = true;
                list[count++] = k;
            }
        if (count == at_start) return SymbolFault::not_closed;  // the generators do not generate
    }
    for (int k = 1; k <= a.N; ++k)
        for (int i = 0; i < 3; ++i) a.t[k][i] = mod24(a.t[k][i]);
    return SymbolFault::none;
}

// Steps 10-11: origin move, then the centring vector that gives the
// smallest translation sum.
void place_origin(SymbolAnalysis& a, int s[3]) {
    for (int k = 1; k <= a.N; ++k) {
        int moved[3];
        for (int i = 0; i < 3; ++i)
            moved[i] = mod24(a.t[k][i] + a.R[k][i][0] * s[0] + a.R[k][i][1] * s[1] + a.R[k][i][2] * s[2] - s[i]);
        std::memcpy(a.t[k], moved, sizeof moved);
    }
    if (a.letter == 'p' || a.letter == 'r') return;
    for (int k = 1; k <= a.N; ++k) {
        int best[3] = {}, best_sum = 1 << 30;
        for (int v = 0; v < 4; ++v) {
            int cand[3], sum = 0;
            for (int i = 0; i < 3; ++i) {
                cand[i] = mod24(a.t[k][i] + kCentring[a.L][v][i]);
                sum += cand[i];
            }
            if (sum < best_sum) {
                best_sum = sum;
                std::memcpy(best, cand, sizeof cand);
            }
        }
        std::memcpy(a.t[k], best, sizeof best);
    }
}

// The operations must form a space group: every product lands on the
// listed operation up to a lattice translation, and the centring is
// carried into itself by every rotation.
SymbolFault check_group(const SymbolAnalysis& a) {
    if (!is_centring(a.L, a.t[1])) return SymbolFault::translations;
    for (int k = 1; k <= a.N; ++k)
        for (int c = 1; c < 4; ++c) {
            int image[3];
            const int zero[3] = {0, 0, 0};
            apply(a.R[k], kCentring[a.L][c], zero, image);
            if (!is_centring(a.L, image)) return SymbolFault::lattice;
        }
    for (int i = 1; i <= a.N; ++i)
        for (int j = 1; j <= a.N; ++j) {
            int prod[3];
            apply(a.R[i], a.t[j], a.t[i], prod);
            const int* have = a.t[a.P[i][j]];
            int diff[3] = {prod[0] - have[0], prod[1] - have[1], prod[2] - have[2]};
            if (!is_centring(a.L, diff)) return SymbolFault::translations;
        }
    return SymbolFault::none;
}

int seminvariant_class(const SymbolAnalysis& a) {
    int cls = kPointGroups[a.pg].cls;
    if (a.K == 6 && a.letter == 'f') cls = 8;
    if (a.letter == 'f' && (a.pg == 30 || a.pg == 11 || a.pg == 29)) cls = 17;
    if (a.letter == 'i' && (a.pg == 12 || a.pg == 16)) cls = 18;
    if (a.letter == 'r' && (a.pg == 40 || a.pg == 37 || a.pg == 21)) cls = 14;
    return cls;
}

std::string sixteen(std::string_view s) {
    std::string out(s.substr(0, std::min<std::size_t>(16, s.size())));
    out.resize(16, ' ');
    return out;
}

// Text of a translation of n/24 in 4 characters.
std::string translation_text(int n) {
    switch (n) {
        case 0: return "    ";
        case 3: return "+1/8";
        case 4: return "+1/6";
        case 6: return "+1/4";
        case 8: return "+1/3";
        case 9: return "+3/8";
        case 12: return "+1/2";
        case 16: return "+2/3";
        case 18: return "+3/4";
        case 20: return "+5/6";
        default: break;
    }
    // Other fractions (from an unusual origin shift): the reduced fraction.
    int p = n, q = 24;
    for (int d = 2; d <= 12; ++d)
        while (p % d == 0 && q % d == 0) { p /= d; q /= d; }
    std::string f = std::to_string(p);
    f += '/';
    f += std::to_string(q);
    if (f.size() <= 3) return std::string(1, '+').append(f);
    if (f.size() == 4) return f;
    return "****";
}

std::string origin_component_text(int n) {
    if (n == 0) return "  0  ";
    int q = 24 / n;
    std::string s = "1/" + std::to_string(q);
    if (q < 0) s = "-1/" + std::to_string(-q);
    s.resize(5, ' ');
    return s;
}

void print_group(const SymbolAnalysis& a, std::string_view sym, int shiftflag, const int shift[3]) {
    lst_blank();
    lst_line(" Crystal family" + std::string(29, ' ') + ":  " + sixteen(kFamilyName[a.K]).substr(0, 12));
    std::string shown = sixteen(sym);
    if (shown[0] >= 'a' && shown[0] <= 'z') shown[0] = static_cast<char>(shown[0] - 'a' + 'A');
    std::string origin(33, ' ');
    if (shiftflag) {
        origin = "( origin shift = ";
        for (int i = 0; i < 3; ++i) origin += origin_component_text(shift[i]);
        origin += ")";
    }
    lst_blank();
    if (a.acentric)
        lst_line(" Space group (noncentrosymmetric)" + std::string(11, ' ') + ":  " + shown + origin);
    else
        lst_line(" Space group (centrosymmetric)" + std::string(14, ' ') + ":  " + shown + origin);
    lst_blank();
    lst_line(" Symmetry-operations");
    lst_blank();
    std::string line;
    for (int k = 1; k <= a.N; ++k) {
        line += ' ';
        line += fmt_i(k, 3);
        for (int i = 0; i < 3; ++i) {
            if (i) line += ",";
            line += operation_row_text(a.R[k][i], a.t[k][i]);
        }
        if (k % 4 == 0 || k == a.N) {
            lst_line(line);
            line.clear();
        }
    }
    const SeminvariantClass& c = kClasses[a.cls];
    std::string text = " Seminvariant condition : ";
    for (int i = 0; i < 3; ++i) text += std::string(" ") + c.vector[i];
    text += "    ";
    std::string cond = c.condition;
    cond.resize(10, ' ');
    text += cond;
    lst_blank(2);
    lst_line(text);
}

// ERL words 2899-2916 from the seminvariant class.
void store_class(int cls) {
    const SeminvariantClass& c = kClasses[cls];
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 3; ++j) erl_V(i, j) = c.V[i - 1][j - 1];
    ERL.I(erlw::kThree) = 3;
    for (int i = 0; i < 3; ++i) {
        char w[4] = {' ', c.vector[i], ' ', ' '};
        pack_chars(ERL.at(erlw::kVectorText + i), w, 1);
    }
    std::string cond = c.condition;
    cond.resize(10, ' ');
    for (int i = 0; i < 5; ++i) {
        char w[4] = {cond[2 * i], cond[2 * i + 1], ' ', ' '};
        pack_chars(ERL.at(erlw::kConditionText + i), w, 1);
    }
}

void store_analysis(const SymbolAnalysis& a) {
    for (int k = 1; k <= 48; ++k)
        for (int i = 1; i <= 3; ++i) {
            for (int j = 1; j <= 3; ++j) erl_R(k, i, j) = k <= a.N ? a.R[k][i - 1][j - 1] : 0;
            erl_T(k, i) = k <= a.N && a.t[k][i - 1] != 0 ? static_cast<float>(a.t[k][i - 1]) / 24.0f : 0.0f;
        }
    for (int i = 1; i <= 48; ++i)
        for (int j = 1; j <= 48; ++j) erl_P(i, j) = (i <= a.N && j <= a.N) ? a.P[i][j] : 0;
    store_class(a.cls);
    ERL.I(erlw::kSystem) = a.K;
    ERL.I(erlw::kGenerators) = a.ngen;
    char w[4] = {a.letter, ' ', ' ', ' '};
    Word letter;
    pack_chars(&letter, w, 1);
    MODIF(&erl_R(1, 1, 1), &erl_T(1, 1), a.N, a.acentric, letter.i);
}

}  // namespace

// ------------------------------------------------------------ interfaces

std::string operation_row_text(const int row[3], int t24) {
    std::string rot;
    const char* axis = "xyz";
    if (row[0] == 1 && row[1] == -1 && row[2] == 0) rot = "x-y";
    else if (row[0] == -1 && row[1] == 1 && row[2] == 0) rot = "y-x";
    else {
        for (int c = 0; c < 3; ++c) {
            if (row[c] == 0) continue;
            if (row[c] < 0) rot += "-";
            else if (!rot.empty()) rot += "+";
            rot += axis[c];
        }
    }
    std::string out = fmt_a(rot, 4);
    if (rot.size() < 4) out = std::string(4 - rot.size(), ' ') + rot;
    return out + translation_text(t24);
}

SymbolFault analyse_symbol(std::string_view sym, int shiftflag, const int shift[3], SymbolAnalysis& a) {
    a = SymbolAnalysis{};
    Grid g;
    SymbolFault f = read_grid(sym, a, g);
    if (f == SymbolFault::none) f = build_operations(a, g);
    if (f != SymbolFault::none) return f;
    a.symcode = symbol_code(a, g);
    a.ngen = 0;
    for (int j = 0; j < 3; ++j)
        if (kPointGroups[a.pg].gen[j]) ++a.ngen;
    int s[3] = {0, 0, 0};
    f = generator_translations(a, g, s);
    if (f == SymbolFault::none) f = close_translations(a);
    if (f != SymbolFault::none) return f;
    if (shiftflag)
        for (int i = 0; i < 3; ++i) s[i] = shift[i];
    const int* move = nullptr;
    for (const auto& o : kOrigins)
        if (o[0] == a.symcode && a.symcode != 0) {
            move = kVectors[o[1]];
            break;
        }
    std::string_view typed = sym.substr(0, std::min<std::size_t>(16, sym.size()));
    while (!typed.empty() && typed.back() == ' ') typed.remove_suffix(1);
    for (const auto& o : kSettingOrigins)
        if (typed == o.symbol) move = o.v;
    if (move)
        for (int i = 0; i < 3; ++i) s[i] += move[i];
    for (int i = 0; i < 3; ++i) a.shift[i] = s[i];
    place_origin(a, s);
    a.cls = seminvariant_class(a);
    return check_group(a);
}

void ONEBL(std::string& str, int len, int /*n*/, int& ierr) {
    ierr = 0;
    if (static_cast<int>(str.size()) < len) str.resize(len, ' ');
    if (static_cast<int>(str.size()) < 16) str.resize(16, ' ');
    // Condense: every non-blank character, and the first blank of a run.
    std::string condensed;
    bool last_blank = false;
    for (int i = 0; i < len; ++i) {
        char ch = str[i];
        if (ch == ' ') {
            if (last_blank) continue;
            last_blank = true;
        } else {
            last_blank = false;
        }
        condensed.push_back(ch);
    }
    // Three parts of at most four characters each fill 16 columns: a
    // longer text is no symbol (and would not fit ERL words 577-592).
    const int length = KSTRLN(condensed);
    str.replace(0, 16, padded(condensed, 16));
    if (length > 16 || str[1] != ' ' || !std::strchr("pabcifr", str[0]) || str[0] == '\0') {
        ierr = -1;
        return;
    }
    // Grammar, over the condensed text (blanks typed between the parts
    // are not parts of their own): parts separated by blanks; a part is a
    // plane letter, or an optional "-", an order, a screw digit below it,
    // and "/" with a letter.
    int b = 0, s = 0, c = 0, f = 1, d = 0;
    for (int pos = 2; pos <= length; ++pos) {
        char ch = str[pos - 1];
        if (ch == ' ') {
            ++b;
            s = 0;
            c = 0;
            f = 1;
            continue;
        }
        if (!std::strchr("mabcnd-123456/", ch) || b > 3) { ierr = -1; return; }
        if (plane_code(ch) != 0) {
            if (s != 0 && s != 3) { ierr = -1; return; }
            s = 4;
        } else if (ch == '-') {
            if (s != 0) { ierr = -1; return; }
            s = 1;
            f = -1;
            ++c;
        } else if (ch == '/') {
            if (s != 2) { ierr = -1; return; }
            s = 3;
        } else {
            int digit = ch - '0';
            if (s <= 1) {
                if (digit == 5) { ierr = -1; return; }
                s = 2;
                d = digit;
            } else if (s == 2) {
                if (digit >= d) { ierr = -1; return; }
            } else {
                ierr = -1;
                return;
            }
            if (++c > 2) { ierr = -1; return; }
        }
    }
    if (f == -1 && c == 1) { ierr = -1; return; }
    // A symbol of the right grammar may still name no space group (a typo
    // such as "p 1 d"): refuse it here, where the directive line is known.
    SymbolAnalysis a;
    const int zero[3] = {0, 0, 0};
    if (analyse_symbol(std::string_view(str).substr(0, 16), 0, zero, a) != SymbolFault::none) ierr = -1;
}

std::string symbol_from_erl() {
    std::string s(16, ' ');
    for (int i = 0; i < 16; ++i) {
        char w[4];
        unpack_chars(w, erl_symbol_char(i + 1), 1);
        s[i] = w[0];
    }
    return s;
}

void store_symbol_in_erl(std::string_view sym16) {
    for (int i = 0; i < 16; ++i) {
        char w[4] = {i < static_cast<int>(sym16.size()) ? sym16[i] : ' ', ' ', ' ', ' '};
        pack_chars(erl_symbol_char(i + 1), w, 1);
    }
}

void SYMM(int lu, int shiftflag, const int shift[3], int& ierr) {
    (void)lu;  // the listing goes to the listing unit
    ierr = 0;
    std::string sym = symbol_from_erl();
    static SymbolAnalysis a;  // large: kept out of the stack
    if (analyse_symbol(sym, shiftflag, shift, a) != SymbolFault::none) {
        ierr = -1;
        return;
    }
    print_group(a, sym, shiftflag, shift);
    store_analysis(a);
    CALMOD(a.pg, a.L, a.acentric, kClasses[a.cls].V, a.cls);
}

void INSYM(int shiftflag, const int shift[3], int& ierr) {
    SYMM(listing_unit(), shiftflag, shift, ierr);
    if (ierr < 0) return;
    char w[4];
    unpack_chars(w, SYM.at(symw::kLattice), 1);
    char letter = w[0];
    const char* codes = "pabcifr";
    const char* at = std::strchr(codes, letter);
    int lattice = at && letter ? static_cast<int>(at - codes) + 1 : 1;
    SYM.R(symw::kLatticePoints) = 1.0f;
    int n = SYM.I(symw::kOps);
    auto row1_has = [&](int column) {
        for (int k = 1; k <= n; ++k)
            if (std::abs(sym_row_code(k, 1, 1)) == column || std::abs(sym_row_code(k, 1, 2)) == column) return true;
        return false;
    };
    auto row1_slot1_is_z = [&]() {
        for (int k = 1; k <= n; ++k)
            if (std::abs(sym_row_code(k, 1, 1)) == 3) return true;
        return false;
    };
    if (letter == 'a' || letter == 'b' || letter == 'c' || letter == 'i') SYM.R(symw::kLatticePoints) = 2.0f;
    if (letter == 'f') SYM.R(symw::kLatticePoints) = 4.0f;
    if (letter == 'r') SYM.R(symw::kLatticePoints) = row1_slot1_is_z() ? 1.0f : 3.0f;
    int family;
    if (row1_has(3)) {
        family = 8;
        if (letter == 'r') {
            family = 7;
            lattice = 1;
        }
    } else if (row1_has(2)) {
        // Tetragonal groups store 4 or 8 operators; of the others, those with
        // the two-fold axis -x,-y,z are hexagonal.
        family = (n == 4 || n == 8) ? 4 : 5;
        for (int k = 2; k <= n && family == 5; ++k) {
            bool row1_x_alone = std::abs(sym_row_code(k, 1, 1)) == 1 && sym_row_code(k, 1, 2) == 0;
            bool row2_without_x = std::abs(sym_row_code(k, 2, 1)) != 1 && std::abs(sym_row_code(k, 2, 2)) != 1;
            if (row1_x_alone && row2_without_x) family = 6;
        }
    } else {
        family = std::min(n, 3);
    }
    SYM.I(symw::kFamily) = family;
    SYM.I(symw::kLattice) = lattice;
}

void CALMOD(int number, int L, int A, const int vtab[3][3], int cls) {
    (void)cls;
    int m[4] = {0, 256, 256, 256};
    int M[4][4] = {};
    int rowsum[4] = {};
    for (int j = 1; j <= 3; ++j) erl_column_sum(j) = 0;
    for (int i = 1; i <= 3; ++i) {
        for (int j = 1; j <= 3; ++j) {
            int v = vtab[i - 1][j - 1];
            rowsum[i] += v;
            if (v > 1 && v < m[i]) m[i] = v;
        }
    }
    for (int i = 1; i <= 3; ++i) {
        for (int j = 1; j <= 3; ++j) M[i][j] = vtab[i - 1][j - 1] / m[i];
        m[i] = 192 / m[i];
    }
    int count = 3;
    for (int i = 3; i >= 1 && rowsum[i] <= 0; --i) --count;
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 3; ++j)
            if (vtab[i - 1][j - 1] == 1) M[i][j] = 1;
    for (int j = 1; j <= 3; ++j) erl_column_sum(j) = M[1][j] + M[2][j] + M[3][j];
    const char letter = "?pabcfir"[std::clamp(L, 0, 7)];
    bool done = false;
    if (letter == 'f') {
        count = 1;
        m[2] = m[3] = 0;
        if (number == 10) {
            erl_column_sum(1) = erl_column_sum(2) = 0;
            m[1] = 0;
        } else {
            erl_column_sum(1) = erl_column_sum(2) = 1;
            m[1] = A ? 4 : 2;
        }
    } else if (letter == 'a' || letter == 'c' || letter == 'i') {
        --count;
        if (count <= 0) {
            m[1] = m[2] = m[3] = 1;
            done = true;
        } else {
            const int attempts[2][2] = {{2, 1}, {1, 2}};
            for (const auto& pq : attempts) {
                int p = pq[0], q = pq[1];
                int u = p;
                if (letter == 'i') u = count == 2 ? q : p;
                if (m[u] != 0) {
                    erl_column_sum(u) = 0;
                    m[p] = 0;
                    break;
                }
            }
            bool i_special = letter == 'i' && (number == 12 || number == 16);
            if (letter == 'c' || (letter == 'i' && !i_special)) {
                if (count == 1) {
                    erl_column_sum(1) = erl_column_sum(2) = 0;
                } else {
                    m[2] = m[3];
                    m[3] = 0;
                }
            }
            if (i_special) {
                count = 1;
                erl_column_sum(1) = 0;
                erl_column_sum(2) = 2;
                erl_column_sum(3) = -1;
                m[1] = 4;
                m[2] = m[3] = 0;
            }
        }
    } else if (letter == 'r') {
        if (A && (number == 18 || number == 19)) {
            count = 1;
            erl_column_sum(3) = 0;
        }
    } else if (letter == 'p') {
        if (A && (number == 26 || number == 22 || number == 23)) {
            count = 1;
            erl_column_sum(2) = 4;
            erl_column_sum(3) = 3;
            m[1] = 6;
            m[2] = 0;
        }
    }
    (void)done;
    ERL.I(erlw::kOriginPhases) = count;
    for (int i = 1; i <= 3; ++i) erl_modulus(i) = m[i];
}

void NEWMAT() {
    int n = std::clamp(SYM.I(symw::kOps), 0, 24);
    for (int k = 1; k <= n; ++k)
        for (int i = 1; i <= 3; ++i) {
            for (int j = 1; j <= 3; ++j) erl_R(n + k, i, j) = -erl_R(k, i, j);
            erl_T(n + k, i) = -erl_T(k, i);
        }
}

void MODIF(const int* R, const float* T, int N, int A, int letter) {
    SYM.I(symw::kCentric) = 1 - A;
    int n = A == 0 ? N / 2 : N;
    n = std::clamp(n, 0, 24);
    SYM.I(symw::kOps) = n;
    SYM.I(symw::kLattice) = letter;
    MUSYM(R, T, n, &sym_row_code(1, 1, 1), &sym_translation(1, 1));
}

}  // namespace zanek
