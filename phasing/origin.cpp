#include "phasing/origin.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "jobcontrol/numeric.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/phaseset.h"
#include "phasing/phase_records.h"
#include "phasing/phasing_set.h"

namespace zanek {

namespace {

constexpr int kFree = 1000;  // modulus of a polar direction while the group is classified

int nops() { return std::clamp(SYM.I(symw::kOps), 0, 24); }
int nref() { return std::clamp(PARAM.I(param::kNref), 0, kMaxPhasingRefl); }
bool noncentric() { return SYM.I(symw::kCentric) <= 0; }
int lattice() { return SYM.I(symw::kLattice); }

// Rotation of operator k as a 3x3 integer matrix from its compact codes.
void rotation(int k, int R[3][3]) {
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) R[i][j] = 0;
        for (int slot = 1; slot <= 2; ++slot) {
            const int code = sym_row_code(k, i + 1, slot);
            if (code != 0) R[i][std::abs(code) - 1] += code > 0 ? 1 : -1;
        }
    }
}

// A residue: v mod m into 0..m-1 for a true modulus; the signed index
// itself along a free direction.
int residue(int v, int m) {
    if (m == kFree || m == 0) return v;
    const int r = v % m;
    return r < 0 ? r + m : r;
}

int pack_residues(int a, int b, int c) { return (a * 512 + b) * 512 + c + kResidueBias; }

// Some operator reverses axis j (the first slot of its row j is negative).
bool axis_reversed(int j) {
    for (int k = 1; k <= nops(); ++k)
        if (sym_row_code(k, j, 1) < 0) return true;
    return false;
}

// The axis the x row mixes with: 3 (cubic), 2 (tetragonal, trigonal,
// hexagonal) or 0.
int x_mixing() {
    for (int axis : {3, 2})
        for (int k = 1; k <= nops(); ++k)
            for (int slot = 1; slot <= 2; ++slot)
                if (std::abs(sym_row_code(k, 1, slot)) == axis) return axis;
    return 0;
}

bool test9_passes(int a, int b, int c, int m) {
    int result = 0;
    TEST9(a, b, c, m, result);
    return result == 0;
}

// The way the residue vector of a reflection is formed from its indices.
enum class Form { Axes, AFace, BPolar, OneSum, Hex2, TetI, Hex3, Bare6, LOnly };

void store_residues(Form form) {
    const int m1 = sem_modulus(1), m2 = sem_modulus(2), m3 = sem_modulus(3);
    for (int r = 1; r <= nref(); ++r) {
        int h = 0, k = 0, l = 0;
        UNPACC(packed_super(packed_refl(r)), h, k, l);
        int v = 0;
        switch (form) {
            case Form::Axes: v = pack_residues(residue(h, m1), residue(k, m2), residue(l, m3)); break;
            case Form::AFace: v = pack_residues(0, residue(h, m2), residue(l, m3)); break;
            case Form::BPolar: v = pack_residues(0, residue(h, m2), residue(k, m3)); break;
            case Form::OneSum: v = pack_residues(0, 0, residue(h + k + l, m3)); break;
            case Form::Hex2: v = pack_residues(0, residue(h + k, m2), residue(l, m3)); break;
            case Form::TetI: v = pack_residues(0, 0, residue(l + 2 * k, m3)); break;
            case Form::Hex3: v = pack_residues(0, residue(h - k, m2), residue(l, m3)); break;
            case Form::Bare6: v = residue(4 * k + 2 * h + 3 * l, 6); break;
            case Form::LOnly: v = pack_residues(0, 0, residue(l, m3)); break;
        }
        residue_vector(r) = v;
    }
}

// Restriction codes of the phasing set from the operators: a reflection
// that some operator sends to its Friedel opposite has its phase fixed to
// pi h.t modulo pi.
void restriction_codes() {
    for (int r = 1; r <= nref(); ++r) restrict_code(r) = kRestrictCentric;
    if (!noncentric()) return;
    for (int r = 1; r <= nref(); ++r) {
        int hkl[3];
        UNPACC(packed_super(packed_refl(r)), hkl[0], hkl[1], hkl[2]);
        restrict_code(r) = kRestrictGeneral;
        for (int k = 1; k <= nops(); ++k) {
            int R[3][3];
            rotation(k, R);
            bool opposite = true;
            int q = 0;
            for (int j = 0; j < 3; ++j) {
                int t = 0;
                for (int i = 0; i < 3; ++i) t += hkl[i] * R[i][j];
                if (t + hkl[j] != 0) opposite = false;
                const float tr = SYM.R(symw::kTransl + 3 * (k - 1) + j + 1);
                q += static_cast<int>(std::trunc(12.0f * tr + 0.1f)) * hkl[j];
            }
            if (!opposite) continue;
            const int code = q % 12 + 1;
            restrict_code(r) = code < 2 ? q % 12 + 13 : code;
            break;
        }
    }
}

// Origin phases by lattice: the centring halves (or quarters) the shifts.
void adjust_for_lattice() {
    int& n = ERL.I(erlw::kOriginPhases);
    switch (lattice()) {
        case kLatF: n = std::abs(n - 2); break;
        case kLatA:
        case kLatB:
        case kLatC:
        case kLatI: n -= 1; break;
        default: break;
    }
}

}  // namespace

void residues_of(int r, int& a, int& b, int& c) {
    const int v = residue_vector(r);
    if (v >= 0 && v < 6) {  // the bare modulus-6 value
        a = b = 0;
        c = v;
        return;
    }
    UNPACK(v, a, b, c);
}

int JFAC(int a, int b, int c) {
    const int v[3] = {a, b, c};
    bool any = false;
    int smallest = 0;
    for (int x : v)
        if (x != 0 && (!any || x < smallest)) {
            smallest = x;
            any = true;
        }
    if (!any) return 2;
    if (smallest <= 1) return 1;
    for (int d = 2; d <= smallest; ++d) {
        bool divides = true;
        for (int x : v)
            if (x != 0 && x % d != 0) divides = false;
        if (divides) return d;
    }
    return 1;
}

void TEST9(int a, int b, int c, int m, int& result) {
    result = 0;
    for (int k = 1; k <= nops(); ++k) {
        int R[3][3];
        rotation(k, R);
        for (int i = 0; i < 3; ++i) R[i][i] -= 1;
        // The residue h.(a,b,c) mod m is kept by the operator when
        // (R - I)(a,b,c) = 0 (mod m), hR being the image of h.
        int count = 0;
        for (int j = 0; j < 3; ++j) {
            const int v = std::abs((R[j][0] * a + R[j][1] * b + R[j][2] * c) % m);
            if (v > 0 && 2 * v != m) {
                result = 1;
                return;
            }
            if (2 * v == m) ++count;
        }
        if (count == 0) continue;
        const int lat = lattice();
        const bool allowed = (lat == kLatF && count == 2) ||
                             ((lat == kLatI || lat < 1 || lat > 7) && count == 3);
        if (!allowed) {
            result = count;
            return;
        }
    }
}

void GROUP() {
    int& polar = PARAM.I(param::kPolar);
    int& count = ERL.I(erlw::kOriginPhases);
    polar = 0;
    for (int j = 1; j <= 3; ++j) sem_modulus(j) = 2;
    const int mix = x_mixing();

    Form form = Form::Axes;
    if (mix == 0) {
        count = 3;
        if (noncentric()) {
            polar = 3;
            for (int j = 1; j <= 3; ++j) {
                if (axis_reversed(j)) {
                    sem_modulus(j) = 2;
                    --polar;
                } else {
                    sem_modulus(j) = kFree;
                }
            }
        }
        switch (lattice()) {
            case kLatA: form = Form::AFace; break;
            case kLatB:
                if (polar > 1) {
                    sem_modulus(3) = kFree;
                    form = Form::BPolar;
                }
                break;
            case kLatC:
                if (polar > 1) {
                    sem_modulus(2) = kFree;
                    form = Form::AFace;
                }
                break;
            case kLatF:
                if (!noncentric()) {
                    count = 1;
                    form = Form::OneSum;
                } else if (test9_passes(1, 1, 1, 4)) {
                    sem_modulus(3) = 4;
                    form = Form::OneSum;
                }
                break;
            default: break;
        }
    } else {
        if (noncentric()) {
            if (lattice() == kLatP) {
                for (int k = 1; k <= nops(); ++k) {
                    const float t = SYM.R(symw::kTransl + 3 * (k - 1) + 3);
                    if (static_cast<int>(std::trunc(24.0f * t + 0.1f)) % 12 != 0) SYM.I(symw::kCentric) = -1;
                }
            }
            if (!axis_reversed(3)) {
                polar = 1;
                sem_modulus(3) = kFree;
            }
        }
        if (mix == 3) {
            if (lattice() != kLatR && noncentric() && test9_passes(1, 1, 1, 4)) sem_modulus(3) = 4;
            count = 1;
            form = Form::OneSum;
        } else if (test9_passes(1, 1, 0, 2)) {
            count = 2;
            if (lattice() == kLatI && test9_passes(0, 2, 1, 4)) {
                sem_modulus(3) = 4;
                form = Form::TetI;
            } else {
                form = Form::Hex2;
            }
        } else if (lattice() != kLatR && noncentric() && test9_passes(1, 2, 0, 3)) {
            sem_modulus(2) = 3;
            if (sem_modulus(3) == 2) {
                count = 1;
                sem_modulus(3) = 6;
                form = Form::Bare6;
            } else {
                count = 2;
                form = Form::Hex3;
            }
        } else {
            count = 1;
            form = Form::LOnly;
        }
    }
    store_residues(form);
    restriction_codes();
    if (noncentric())
        for (int j = 1; j <= 3; ++j) sem_modulus(j) %= kFree;
    adjust_for_lattice();
}

namespace {

bool is_candidate(int r, int& general) {
    if (UREQ.I(ureqw::kPartial) == 0) {
        if (restrict_code(r) < 0) return false;
    } else {
        const int c = phase_code(r);
        if (!(c == 0 || c % 1000 == kCodeOrigin)) return false;
        if (alpha3_est(r) < 0.2f) return false;
    }
    int a = 0, b = 0, c = 0;
    residues_of(r, a, b, c);
    if (a == 0 && b == 0 && c == 0) return false;
    general = bare_restriction(restrict_code(r)) == kRestrictGeneral ? 1 : 0;
    return true;
}

long det3(const int v[3][3]) {
    return static_cast<long>(v[0][0]) * (v[1][1] * v[2][2] - v[1][2] * v[2][1]) -
           static_cast<long>(v[0][1]) * (v[1][0] * v[2][2] - v[1][2] * v[2][0]) +
           static_cast<long>(v[0][2]) * (v[1][0] * v[2][1] - v[1][1] * v[2][0]);
}

bool independent(const int* ranks, int n) {
    int v[3][3] = {};
    for (int i = 0; i < n; ++i) residues_of(ranks[i], v[i][0], v[i][1], v[i][2]);
    const int m1 = sem_modulus(1), m2 = sem_modulus(2), m3 = sem_modulus(3);
    if (n == 1) return v[0][2] == 1 || v[0][2] == m3 - 1;
    if (n == 2) {
        const long d = static_cast<long>(v[0][1]) * v[1][2] - static_cast<long>(v[1][1]) * v[0][2];
        if (std::labs(d) == 1) return true;
        const int m = std::max(m2, m3);
        return m != 0 && d % m != 0;
    }
    const long D = det3(v);
    if (std::labs(D) == 1) return true;
    const int sum = m1 + m2 + m3;
    if (sum == 2) {
        // One index taken modulo 2, two free: a reflection odd in the
        // modulo-2 index together with a unimodular pair of the free ones.
        const int j2 = m1 == 2 ? 0 : (m2 == 2 ? 1 : 2);
        const int f1 = j2 == 0 ? 1 : 0, f2 = j2 == 2 ? 1 : 2;
        for (int i = 0; i < 3; ++i) {
            if (v[i][j2] != 1) continue;
            const int p = (i + 1) % 3, q = (i + 2) % 3;
            const long minor = static_cast<long>(v[p][f1]) * v[q][f2] - static_cast<long>(v[q][f1]) * v[p][f2];
            if (std::labs(minor) == 1) return true;
        }
        return false;
    }
    if (sum != 0) {
        if (D % 2 == 0) return false;
        const int m[3] = {m1, m2, m3};
        for (int j = 0; j < 3; ++j)
            if (m[j] == 0 && JFAC(v[0][j], v[1][j], v[2][j]) != 1) return false;
        return true;
    }
    return false;
}

}  // namespace

void ORIGIN(int& result, int /*unused*/, int store, int required, int list[3]) {
    result = 0;
    const int need = std::clamp(ERL.I(erlw::kOriginPhases), 0, 3);
    if (need == 0) return;

    // Candidates in rank order, or in processing order with a partial structure.
    const bool partial = UREQ.I(ureqw::kPartial) != 0;
    int cand[kPhaseArray];
    int gen[kPhaseArray];
    int nc = 0;
    for (int i = 1; i <= nref(); ++i) {
        const int r = partial ? proc_order(i) : i;
        if (r < 1 || r > nref()) continue;
        int g = 0;
        if (is_candidate(r, g)) {
            cand[nc] = r;
            gen[nc] = g;
            ++nc;
        }
    }
    const int polar = PARAM.I(param::kPolar);
    int pick[3];
    auto accept = [&](int n) {
        if (required != 0 && std::find(pick, pick + n, required) == pick + n) return false;
        if (!independent(pick, n)) return false;
        if (store != 0)
            for (int i = 0; i < n; ++i) list[i] = pick[i];
        return true;
    };
    for (int a = 0; a < nc; ++a) {
        pick[0] = cand[a];
        const int ga = gen[a];
        if (ga > polar) continue;
        if (need == 1) {
            if (accept(1)) return;
            continue;
        }
        for (int b = a + 1; b < nc; ++b) {
            const int gb = ga + gen[b];
            if (gb > polar) continue;
            pick[1] = cand[b];
            if (need == 2) {
                if (accept(2)) return;
                continue;
            }
            for (int c = b + 1; c < nc; ++c) {
                if (gb + gen[c] > polar) continue;
                pick[2] = cand[c];
                if (accept(3)) return;
            }
        }
    }
    result = -1;
}

}  // namespace zanek
