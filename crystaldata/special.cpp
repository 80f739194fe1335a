#include "crystaldata/special.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/special.h"
#include "platform/listing.h"
#include "platform/stop.h"

namespace zanek {

namespace {

constexpr int kMaxSpecOperators = 24;
constexpr int kWorkRows = 48;

// The 32 proper rotations of the crystallographic point groups (rows) and
// their orders; entries 33-64 of the table are the same matrices negated.
constexpr int kRotations[32][3][3] = {
    {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},    {{1, 0, 0}, {0, -1, 0}, {0, 0, -1}}, {{1, -1, 0}, {0, -1, 0}, {0, 0, -1}},
    {{1, 0, 0}, {0, 0, 1}, {0, -1, 0}},   {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}},  {{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}},
    {{-1, 0, 0}, {-1, 1, 0}, {0, 0, -1}}, {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}},  {{0, 0, 1}, {0, 1, 0}, {-1, 0, 0}},
    {{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}},  {{0, -1, 0}, {1, -1, 0}, {0, 0, 1}}, {{-1, 1, 0}, {-1, 0, 0}, {0, 0, 1}},
    {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},   {{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}},  {{1, -1, 0}, {1, 0, 0}, {0, 0, 1}},
    {{0, 1, 0}, {-1, 1, 0}, {0, 0, 1}},   {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}},  {{0, -1, 0}, {-1, 0, 0}, {0, 0, -1}},
    {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},   {{0, 0, 1}, {0, -1, 0}, {1, 0, 0}},  {{0, 0, -1}, {0, -1, 0}, {-1, 0, 0}},
    {{-1, 0, 0}, {0, 0, -1}, {0, -1, 0}}, {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},   {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}},
    {{0, -1, 0}, {0, 0, 1}, {-1, 0, 0}},  {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}}, {{0, -1, 0}, {0, 0, -1}, {1, 0, 0}},
    {{0, 0, 1}, {-1, 0, 0}, {0, -1, 0}},  {{0, 1, 0}, {0, 0, -1}, {-1, 0, 0}}, {{0, 0, -1}, {1, 0, 0}, {0, -1, 0}},
    {{1, 0, 0}, {1, -1, 0}, {0, 0, -1}},  {{-1, 1, 0}, {0, 1, 0}, {0, 0, -1}},
};
constexpr int kOrders[32] = {1, 2, 2, 4, 4, 2, 2, 4, 4, 2, 3, 3, 4, 4, 6, 6,
                             2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3, 2, 2};

int code_of(const int M[3][3]) {
    int code = 0;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            int k = 3 * r + c;
            if (M[r][c] != 0) code += 1 << k;
            if (M[r][c] < 0) code += 1 << (k + 9);
        }
    return code;
}

int spec_nsym() { return std::clamp(SPEC.I(specw::kNsym), 0, kMaxSpecOperators); }

// Integer rotation of signed operator s*j.
void signed_rotation(int sj, int M[3][3]) {
    int j = std::abs(sj), s = sj < 0 ? -1 : 1;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) M[r][c] = s * static_cast<int>(std::lround(specw::rotation(j, r + 1, c + 1)));
}

// Coinciding images of the atom: the position is moved to their mean.
int XNUOVA(SiteWork& work, const float P[11], float PNEW[11], int KODE[10]) {
    const float Y[3] = {P[0], P[1], P[2]};
    double A[3] = {Y[0], Y[1], Y[2]};
    int count = 0;
    const int nsym = spec_nsym();
    const int nlat = std::clamp(SPEC.I(specw::kLatticePoints), 1, 4);
    const bool centric = SPEC.I(specw::kCentric) == 1;
    const float limit = SPEC.R(specw::kCoincidence);
    for (int L = 1; L <= nlat; ++L)
        for (int S = 1; S >= (centric ? -1 : 1); S -= 2)
            for (int j = 1; j <= nsym; ++j) {
                if (L == 1 && S == 1 && j == 1) continue;
                float Z[3], D, DX[3];
                XEQUI(Y, j, static_cast<float>(S), Z, L);
                XDIST(Y, Z, D, DX);
                if (D > limit || count >= kWorkRows - 1) continue;
                work.w[count][2] = S * j;
                for (int i = 0; i < 3; ++i) A[i] += Y[i] + DX[i];
                ++count;
            }
    std::memcpy(PNEW, P, 11 * sizeof(float));
    if (count == 0) {
        work.w[0][0] = work.w[0][1] = work.w[0][2] = 1;
    } else {
        for (int k = 0; k < count; ++k) {
            int M[3][3];
            signed_rotation(work.w[k][2], M);
            XDEPAC(M, work.w[k][1], work.w[k][0]);
        }
        for (int i = 0; i < 3; ++i) PNEW[i] = static_cast<float>(A[i] / (count + 1));
    }
    int m = count + 1;
    KODE[9] = m;
    PNEW[10] = 1.0f / static_cast<float>(m);
    return m;
}

const char* kLabels[9] = {" x", " y", " z", "11", "22", "33", "23", "13", "12"};

}  // namespace

Record<484> initial_spec() {
    Record<484> s;
    auto cen = [&](int lattice, int vector, float x, float y, float z) {
        s.R(specw::kCentring + (lattice - 1) + 21 * (vector - 1)) = x;
        s.R(specw::kCentring + (lattice - 1) + 7 + 21 * (vector - 1)) = y;
        s.R(specw::kCentring + (lattice - 1) + 14 + 21 * (vector - 1)) = z;
    };
    cen(2, 2, 0.0f, 0.5f, 0.5f);  // A
    cen(3, 2, 0.5f, 0.0f, 0.5f);  // B
    cen(4, 2, 0.5f, 0.5f, 0.0f);  // C
    cen(5, 2, 0.5f, 0.5f, 0.5f);  // I
    cen(6, 2, 0.5f, 0.5f, 0.0f);  // F
    cen(6, 3, 0.0f, 0.5f, 0.5f);
    cen(6, 4, 0.5f, 0.0f, 0.5f);
    cen(7, 2, 0.6666f, 0.3333f, 0.3333f);  // R (four decimals)
    cen(7, 3, 0.3333f, 0.6666f, 0.6666f);
    for (int e = 1; e <= 32; ++e) {
        s.I(specw::kOrders + e) = kOrders[e - 1];
        int neg[3][3];
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) neg[r][c] = -kRotations[e - 1][r][c];
        s.I(specw::kRotationCodes + e) = code_of(kRotations[e - 1]);
        s.I(specw::kRotationCodes + 32 + e) = code_of(neg);
    }
    s.I(kSpecReady) = -1;
    s.R(specw::kCoincidence) = 0.6f;
    return s;
}

void XSPINB() {
    if (SPEC.I(kSpecReady) > 0) return;
    const int nsym = std::clamp(SYM.I(symw::kOps), 0, kMaxSpecOperators);
    SPEC.I(specw::kNsym) = nsym;
    SPEC.I(specw::kCentric) = SYM.I(symw::kCentric);
    int lattice = std::clamp(SYM.I(symw::kLattice), 1, 7);
    SPEC.I(specw::kLattice) = lattice;
    SPEC.I(specw::kSystem) = ERL.I(erlw::kSystem);
    constexpr int kPoints[8] = {0, 1, 2, 2, 2, 2, 4, 3};
    SPEC.I(specw::kLatticePoints) = kPoints[lattice];
    const double rad = 3.14159265358979 / 180.0;
    double a = cell_constant(1), b = cell_constant(2), c = cell_constant(3);
    double ca = std::cos(cell_constant(4) * rad), cb = std::cos(cell_constant(5) * rad),
           cg = std::cos(cell_constant(6) * rad);
    specw::metric()[0] = static_cast<float>(a * a);
    specw::metric()[1] = static_cast<float>(b * b);
    specw::metric()[2] = static_cast<float>(c * c);
    specw::metric()[3] = static_cast<float>(2 * a * b * cg);
    specw::metric()[4] = static_cast<float>(2 * a * c * cb);
    specw::metric()[5] = static_cast<float>(2 * b * c * ca);
    for (int i = 1; i <= kMaxSpecOperators; ++i)
        for (int r = 1; r <= 3; ++r) {
            for (int col = 1; col <= 3; ++col)
                specw::rotation(i, r, col) = i <= nsym ? static_cast<float>(erl_R(i, r, col)) : 0.0f;
            specw::translation(i, r) = i <= nsym ? erl_T(i, r) : 0.0f;
        }
    SPEC.I(specw::kListing) = SPEC.I(specw::kMessages) = listing_unit();
    SPEC.I(specw::kFloating) = XFLORI();
    SPEC.I(kSpecReady) = 2;
}

int XFLORI() {
    if (SPEC.I(specw::kCentric) == 1) return 0;
    const int nsym = spec_nsym();
    int code = 0;
    for (int i = 1; i <= 3; ++i) {
        float sum = 0.0f;
        for (int k = 1; k <= nsym; ++k)
            for (int r = 1; r <= 3; ++r) sum += specw::rotation(k, r, i);
        int f = (nsym > 0 && std::lround(sum) == nsym) ? 1 : 0;
        code = 10 * code + f;
    }
    return code;
}

void XEQUI(const float X[3], int K, float S, float Y[3], int L) {
    K = std::clamp(K, 1, kMaxSpecOperators);
    L = std::clamp(L, 1, 4);
    int lattice = std::clamp(SPEC.I(specw::kLattice), 1, 7);
    for (int r = 1; r <= 3; ++r) {
        float v = 0.0f;
        for (int c = 1; c <= 3; ++c) v += specw::rotation(K, r, c) * S * X[c - 1];
        Y[r - 1] = v + specw::translation(K, r) + specw::centring(lattice, r, L);
    }
}

void XDIST(const float X1[3], const float X2[3], float& D, float DX[3]) {
    float f[3][2];
    for (int i = 0; i < 3; ++i) {
        float d = X2[i] - X1[i];
        f[i][0] = d - std::trunc(d);
        f[i][1] = f[i][0] > 0.0f ? f[i][0] - 1.0f : f[i][0] + 1.0f;
    }
    const float* g = specw::metric();
    float best = -1.0f;
    for (int cx = 0; cx < 2; ++cx)
        for (int cy = 0; cy < 2; ++cy)
            for (int cz = 0; cz < 2; ++cz) {
                float x = f[0][cx], y = f[1][cy], z = f[2][cz];
                float q = g[0] * x * x + g[1] * y * y + g[2] * z * z + g[3] * x * y + g[4] * x * z + g[5] * y * z;
                float len = std::sqrt(std::max(q, 0.0f));
                if (best < 0.0f || len < best) {
                    best = len;
                    DX[0] = x;
                    DX[1] = y;
                    DX[2] = z;
                }
            }
    D = best;
}

int XCMAT(const int M[3][3]) { return code_of(M); }

void XDEPAC(const int M[3][3], int& entry, int& order) {
    int code = XCMAT(M);
    entry = 0;
    for (int e = 1; e <= 64; ++e)
        if (specw::rotation_code(e) == code) entry = e;
    if (entry == 0) {
        lst_line(" stop speclib - xdepac ");
        for (int c = 0; c < 3; ++c) lst("(3i4)", {M[0][c], M[1][c], M[2][c]});
        lst("(i10)", {code});
        zstop(0, "speclib - xdepac ");
    }
    order = entry <= 32 ? specw::order(entry) : -specw::order(entry - 32);
}

void XELLES(const SiteWork& work, int m, int KODE[10]) {
    const int weight[3] = {3, 11, 13};
    int acc[3] = {3, 11, 13};
    for (int k = 0; k < m - 1 && k < kWorkRows; ++k) {
        int M[3][3];
        signed_rotation(work.w[k][2], M);
        for (int r = 0; r < 3; ++r) {
            if (acc[r] == 0) continue;
            acc[r] += M[r][0] * weight[0] + M[r][1] * weight[1] + M[r][2] * weight[2];
        }
    }
    bool all_multiples = m > 0;
    for (int r = 0; r < 3; ++r)
        if (acc[r] != 0 && acc[r] % m != 0) all_multiples = false;
    if (all_multiples)
        for (int& v : acc) v /= m;
    for (int r = 0; r < 3; ++r) {
        if (acc[r] == 0) continue;
        if (acc[r] < 0)
            for (int& v : acc) v = -v;
        break;
    }
    // Relations between coordinates (x = y, y = -x, y = 2x, ...).
    int rel[3] = {0, 0, 0};
    for (int pass = 0; pass < 2; ++pass) {
        bool found = false;
        for (int r = 0; r < 2; ++r) {
            if (rel[r] != 0 || acc[r] == 0) continue;
            for (int s = r + 1; s < 3; ++s)
                for (int q : {-1, 1, 2}) {
                    if (acc[r] * q == acc[s]) {
                        rel[s] = q;
                        rel[r] = 1;
                        found = true;
                    } else if (acc[s] * q == acc[r]) {
                        rel[r] = q;
                        rel[s] = 1;
                        found = true;
                    }
                }
        }
        if (!found) continue;
        int u = 0;
        while (u < 3 && rel[u] == 0) ++u;
        for (int t = 0; t < 3; ++t)
            if (rel[t] != 0) acc[t] = weight[u] * rel[t];
    }
    int code[3];
    for (int r = 0; r < 3; ++r) {
        int v = acc[r];
        bool allowed = v == 0 || std::abs(v) == 3 || v == 6 || std::abs(v) == 11 || v == 22 || std::abs(v) == 13 ||
                       v == 26;
        if (!allowed) acc[r] = v = weight[r];
        code[r] = 0;
        for (int i = 0; i < 3; ++i) {
            if (v == weight[i]) code[r] = i + 1;
            else if (v == 2 * weight[i]) code[r] = 21 + i;
            else if (v == -weight[i]) code[r] = -(i + 1);
        }
    }
    for (int r = 0; r < 3; ++r) {
        if (code[r] >= 0) continue;
        int i = -code[r];
        if (code[0] != i && code[1] != i && code[2] != i) code[r] = i;
    }
    KODE[0] = code[0];
    KODE[1] = code[1];
    KODE[2] = code[2];
    if (code[2] == -3 || code[2] == 23) KODE[2] = 3;
}

void XTHERM(const SiteWork& work, int m, int KODE[10]) {
    // Site rotations: the identity and the coinciding images, signs dropped.
    int ops[kWorkRows][3][3];
    int nops = 0;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) ops[0][r][c] = r == c ? 1 : 0;
    nops = 1;
    for (int k = 0; k < m - 1 && nops < kWorkRows; ++k) {
        int M[3][3];
        signed_rotation(std::abs(work.w[k][2]), M);
        std::memcpy(ops[nops++], M, sizeof M);
    }
    // Rows: U11 U22 U33 U23 U13 U12; columns: U11 U22 U33 U12 U13 U23.
    const int comp[6][2] = {{0, 0}, {1, 1}, {2, 2}, {1, 2}, {0, 2}, {0, 1}};
    int row[6][6] = {};
    for (int p = 0; p < 6; ++p) {
        int i = comp[p][0], j = comp[p][1];
        int T[3][3] = {};
        for (int o = 0; o < nops; ++o)
            for (int k = 0; k < 3; ++k)
                for (int l = 0; l < 3; ++l) T[k][l] += ops[o][i][k] * ops[o][j][l];
        row[p][0] = T[0][0];
        row[p][1] = T[1][1];
        row[p][2] = T[2][2];
        row[p][3] = T[0][1] + T[1][0];
        row[p][4] = T[0][2] + T[2][0];
        row[p][5] = T[1][2] + T[2][1];
    }
    if (SPEC.I(specw::kSystem) == 5)
        for (int p = 3; p < 6; ++p)
            for (int c = 0; c < 6; ++c) row[p][c] *= 2;
    int TC[6];
    for (int p = 0; p < 6; ++p) {
        TC[p] = 99;
        bool zero = true;
        for (int c = 0; c < 6; ++c)
            if (row[p][c] != 0) zero = false;
        if (zero) TC[p] = 0;
    }
    // Groups of proportional rows.
    int g = 1;
    const int factors[4][2] = {{1, 1}, {1, 2}, {1, 1}, {2, 1}};
    for (int p = 0; p < 5; ++p) {
        if (TC[p] != 99) continue;
        bool first = true;
        for (int q = p + 1; q < 6; ++q)
            for (int sigma : {-1, 1})
                for (const auto& f : factors) {
                    int c1 = f[0], c2 = f[1];
                    bool match = true;
                    for (int c = 0; c < 6; ++c)
                        if (c1 * row[p][c] != sigma * c2 * row[q][c]) match = false;
                    if (!match) continue;
                    if (first) {
                        ++g;
                        first = false;
                    }
                    TC[p] = c2 * g;
                    TC[q] = sigma * c1 * g;
                }
        if (TC[p] == 99) TC[p] = 1;
    }
    if (TC[5] == 99) TC[5] = 1;
    int A = 0, B = 0;
    for (int p = 1; p <= 6; ++p) {
        int v = 6 - TC[p - 1];
        int c;
        switch (v) {
            case 5: c = p; break;
            case 6: c = 0; break;
            case 3: if (A) c = A; else { c = p; A = p; } break;
            case 4: if (B) c = B; else { c = p; B = p; } break;
            case 0: if (A) c = 20 + A; else { c = 20 + p; A = p; } break;
            case 9: if (A) c = -A; else { c = -p; A = p; } break;
            default: c = v; break;
        }
        int kode;
        if (c == 0) kode = 0;
        else if (c > 0 && c < 10) kode = c + 3;
        else if (c < 0) kode = c - 3;
        else kode = (c % 20) + 23;
        KODE[2 + p] = kode;
    }
    if (KODE[8] >= 4 && KODE[8] <= 6) KODE[8] += 10;
}

void XPRINT(const int KODE[10], char text[42]) {
    std::memset(text, ' ', 42);
    const int start[9] = {1, 5, 9, 13, 17, 22, 27, 32, 37};
    for (int i = 1; i <= 9; ++i) {
        int c = KODE[i - 1];
        std::string f;
        if (c == 0) f = "  0  ";
        else if (c > 0 && c <= i) f = std::string(" ") + kLabels[c - 1] + "   ";
        else if (c > i && c < 10) f = std::string(" ") + kLabels[c - 1] + "  ";
        else if (c >= 10 && c <= 20) f = std::string(kLabels[std::clamp(c - 10, 1, 9) - 1]) + "/2 ";
        else if (c > 20) f = std::string(kLabels[std::clamp(c - 20, 1, 9) - 1]) + "*2 ";
        else if (i <= 3) f = std::string(" -") + "xyz"[std::clamp(-c, 1, 3) - 1] + "  ";
        else f = std::string("-") + kLabels[std::clamp(-c, 1, 9) - 1] + "  ";
        f.resize(6, ' ');
        for (int k = 0; k < 6 && start[i - 1] - 1 + k < 42; ++k) text[start[i - 1] - 1 + k] = f[k];
    }
}

int KSPECB(SiteWork& work, const float P[11], float PNEW[11], int KODE[10], int name, int num, int hdr, int level) {
    (void)name;
    (void)num;
    (void)hdr;
    for (int i = 0; i < 9; ++i) KODE[i] = i + 1;
    KODE[9] = 1;
    int m = XNUOVA(work, P, PNEW, KODE);
    if (m > 1 && level > 1) {
        XELLES(work, m, KODE);
        XTHERM(work, m, KODE);
        if (level > 2) {
            char text[42];
            XPRINT(KODE, text);
            std::string cols = fformat("(3f7.3,f8.4)", {PNEW[0], PNEW[1], PNEW[2], PNEW[10]})[0];
            cols += " " + std::string(text, 42);
            cols.resize(124 - 46, ' ');
            if (ATPOS.size() < 124) ATPOS.resize(124, ' ');
            ATPOS.replace(46, 124 - 46, cols);
        }
    }
    return m == 1 ? 1 : -1;
}

void XWRIFL() {
    int code = SPEC.I(specw::kFloating);
    if (code == 0) return;
    std::string axes = "   ";
    if (code / 100 % 10) axes[0] = 'x';
    if (code / 10 % 10) axes[1] = 'y';
    if (code % 10) axes[2] = 'z';
    lst_blank();
    lst_line(" *** warning *** freely floating origin along " + axes);
    lst_blank();
}

}  // namespace zanek
