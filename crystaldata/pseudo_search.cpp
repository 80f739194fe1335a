// Automatic search for a pseudo-translation: congruences
// a h + b k + c l = 0 (mod n) that the strong reflections obey.
//
// The search looks for a period along each reciprocal axis in the indices
// of the strongest reflections (axial conditions), then for periods in the
// index differences of pairs of strong reflections that differ along one
// axis only, combines the periods of two or three axes into mixed
// conditions, tests these on the strong reflections and drops the axial
// conditions that the mixed ones imply. At most three conditions are handed
// back in RSC.
#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>
#include <vector>

#include "crystaldata/pseudo.h"
#include "jobcontrol/records/pseudo.h"
#include "platform/listing.h"

namespace zanek {

using namespace pseudo;

namespace {

constexpr float kLeastSum = 0.01f;     // an axis sum below this counts as empty
constexpr float kViolationShare = 0.6f;  // times RSC word 11: the share allowed to violate
constexpr float kStartSmallest = 1.0e7f;
// Window of indices on which an implication between conditions is checked.
constexpr int kImplicationWindow = 128;

// The centring conditions of the lattice (rows with n = 0 are none).
Coef lattice_conditions(int latt) {
    Coef c{};
    auto set = [&](int row, int a, int b, int cc, int n) { c[static_cast<std::size_t>(row)] = CoefRow{{a, b, cc}, n, 0}; };
    switch (latt) {
        case 2: set(0, 0, 1, 1, 2); break;   // A
        case 3: set(0, 1, 0, 1, 2); break;   // B
        case 4: set(0, 1, 1, 0, 2); break;   // C
        case 5: set(0, 1, 1, 1, 2); break;   // I
        case 6:                              // F
            set(0, 0, 1, 1, 2);
            set(1, 1, 0, 1, 2);
            set(2, 1, 1, 0, 2);
            break;
        case 7: set(0, -1, 1, 1, 3); break;  // R
        default: break;                      // P
    }
    return c;
}

int residue(long v, int n) { return static_cast<int>(n != 0 ? v % n : v); }

bool obeys(const CoefRow& c, int h, int k, int l) {
    return residue(static_cast<long>(c.v[0]) * h + static_cast<long>(c.v[1]) * k + static_cast<long>(c.v[2]) * l,
                   c.n) == 0;
}

// Does the set of conditions OTHERS imply the axial condition C (index on
// one axis a multiple of its modulus)? Checked on all index triples of a
// window as long as the common period of the conditions, or of 128.
bool implied(const CoefRow& c, const std::vector<CoefRow>& others) {
    long period = std::abs(c.n);
    for (const CoefRow& o : others) {
        period = std::lcm(period, static_cast<long>(std::max(std::abs(o.n), 1)));
        if (period > kImplicationWindow) break;
    }
    const int w = static_cast<int>(std::min<long>(std::max<long>(period, 1), kImplicationWindow));
    for (int h = 0; h < w; ++h)
        for (int k = 0; k < w; ++k)
            for (int l = 0; l < w; ++l) {
                bool all = true;
                for (const CoefRow& o : others)
                    if (!obeys(o, h, k, l)) {
                        all = false;
                        break;
                    }
                if (all && !obeys(c, h, k, l)) return false;
            }
    return true;
}

int axis_of(const CoefRow& c) {
    for (int a = 0; a < 3; ++a)
        if (c.v[a] != 0) return a;
    return 0;
}

// The choice between the mixed conditions of two and of three axes, and
// the removal of axial conditions implied by the mixed ones.
void reduce(Coef& coef, int na, int n6, int n7) {
    const int first6 = na, first7 = na + n6;
    if (n6 > 0 && n7 > 0) {
        bool keep6 = false;
        for (int r = first6; r < first7; ++r)
            if (coef[static_cast<std::size_t>(r)].score <= coef[static_cast<std::size_t>(first7)].score) keep6 = true;
        if (keep6) {
            coef[static_cast<std::size_t>(first7)].n = 0;
        } else {
            for (int r = first6; r < first7; ++r) coef[static_cast<std::size_t>(r)].n = 0;
        }
    }
    const bool three_axis = n7 > 0 && coef[static_cast<std::size_t>(first7)].n != 0;
    bool in_order = true;
    for (int e = 0; e < na; ++e) in_order = in_order && axis_of(coef[static_cast<std::size_t>(e)]) == e;
    int remaining = na;

    for (int ci = na - 1; ci >= 0; --ci) {
        CoefRow& c = coef[static_cast<std::size_t>(ci)];
        const int a = axis_of(c);
        for (int di = na; di < kCoefRows; ++di) {
            const CoefRow& d = coef[static_cast<std::size_t>(di)];
            if (d.n == 0 || d.v[a] == 0) continue;
            // d alone: its other coefficients and its modulus share a
            // divisor that d's coefficient on this axis divides.
            int v[3], k = 0, flag = 1;
            for (int b = 0; b < 3; ++b)
                if (b != a) v[k++] = d.v[b];
            v[2] = d.n;
            GCD3(v, d.v[a], flag);
            if (flag == 0) {
                c.n = 0;
                --remaining;
                break;
            }
            if (remaining < 2) continue;
            if (!in_order) {
                // d together with every other remaining condition.
                std::vector<CoefRow> others;
                for (int r = 0; r < kCoefRows; ++r)
                    if (r != ci && coef[static_cast<std::size_t>(r)].n != 0) others.push_back(coef[static_cast<std::size_t>(r)]);
                if (implied(c, others)) {
                    c.n = 0;
                    --remaining;
                }
                break;
            }
            // d with the other axial conditions on the axes where d has a
            // coefficient.
            int w[3];
            std::fill(w, w + 3, three_axis ? 1 : 0);
            int m = 0;
            for (int e = 0; e < na; ++e) {
                const CoefRow& ax = coef[static_cast<std::size_t>(e)];
                if (e == ci || ax.n == 0) continue;
                const int ea = axis_of(ax);
                if (d.v[ea] != 0 && m < 2) w[m++] = ax.n * d.v[ea];
            }
            if (m == 0) continue;
            w[m] = d.n;
            GCD3(w, d.v[a], flag);
            if (flag != 1) {
                c.n = 0;
                --remaining;
            }
            break;
        }
    }
}

}  // namespace

void COMMUL(int A, int B, int C, int& L) {
    int v[3] = {std::max(A, 1), std::max(B, 1), std::max(C, 1)};
    long l = 1;
    while (v[0] != 1 || v[1] != 1 || v[2] != 1) {
        int d = 0;
        for (int p = 2; p <= kMaxPeriod && d == 0; ++p)
            if (v[0] % p == 0 || v[1] % p == 0 || v[2] % p == 0) d = p;
        if (d == 0) {
            // A prime factor above 256: the rest is multiplied in at once.
            l = std::lcm(l, std::lcm(static_cast<long>(v[0]), std::lcm(static_cast<long>(v[1]), static_cast<long>(v[2]))));
            break;
        }
        l *= d;
        for (int& x : v)
            if (x % d == 0) x /= d;
    }
    L = static_cast<int>(l);
}

void GCD3(const int V[3], int X, int& FLAG) {
    int g = 1;
    for (int d = 9; d >= 2 && g == 1; --d)
        if (V[0] % d == 0 && V[1] % d == 0 && V[2] % d == 0) g = d;
    const int x = std::abs(X);
    FLAG = (g == 1 || x == 0 || g % x != 0) ? 1 : 0;
}

void GCD(AxisSums& W, int PER[3], int& NAX, float RSC11, const Coef& COEF, int NCOND) {
    NAX = 1;
    const float limit = kViolationShare * RSC11;
    for (int axis = 0; axis < 3; ++axis) {
        auto& w = W[static_cast<std::size_t>(axis)];
        float total = 0.0f;
        for (int v = 1; v <= kMaxPeriod; ++v) total += w[static_cast<std::size_t>(v)];
        // D(p): the sum on indices that p does not divide.
        std::array<float, kMaxPeriod + 1> d{};
        for (int p = 2; p <= kMaxPeriod; ++p) {
            if (!(w[static_cast<std::size_t>(p)] >= kLeastSum)) continue;
            for (int v = 1; v <= kMaxPeriod; ++v)
                if (w[static_cast<std::size_t>(v)] >= kLeastSum && v % p != 0) d[static_cast<std::size_t>(p)] += w[static_cast<std::size_t>(v)];
        }
        float smallest = kStartSmallest;
        for (int p = 2; p <= kMaxPeriod; ++p) {
            for (int c = 0; c < std::min(NCOND, kCoefRows); ++c) {
                const CoefRow& row = COEF[static_cast<std::size_t>(c)];
                if (row.v[axis] == 1 && row.n == p) w[static_cast<std::size_t>(p)] = 0.0f;
            }
            if (!(w[static_cast<std::size_t>(p)] >= kLeastSum)) continue;
            if (total > 0.0f && d[static_cast<std::size_t>(p)] / total < limit) {
                if (d[static_cast<std::size_t>(p)] <= smallest) {
                    smallest = d[static_cast<std::size_t>(p)];
                    PER[axis] = p;
                }
            } else {
                w[static_cast<std::size_t>(p)] = 0.0f;
            }
        }
        // The period grows along a chain of qualifying multiples.
        for (int p = 2; p <= kMaxPeriod; ++p)
            if (w[static_cast<std::size_t>(p)] >= kLeastSum && p % PER[axis] == 0) PER[axis] = p;
        if (PER[axis] > 1) ++NAX;
    }
}

void RCHECK(const int V[3], int N, int& NCOND, int& ACC, const std::vector<Strong>& strong, int LATT,
            const Coef& LATC, Coef& COEF) {
    ACC = 0;
    if (LATT != 1) {
        for (const CoefRow& c : LATC)
            if (c.n != 0 && c.v[0] == V[0] && c.v[1] == V[1] && c.v[2] == V[2] && c.n == N) return;
    }
    if (NCOND >= kCoefRows || N == 0) return;
    float t = 0.0f, d = 0.0f;
    for (const Strong& s : strong) {
        t += s.e2;
        const long v = static_cast<long>(V[0]) * s.h[0] + static_cast<long>(V[1]) * s.h[1] + static_cast<long>(V[2]) * s.h[2];
        if (v % N != 0) d += s.e2;
    }
    if (!(t > 0.0f)) return;
    const float share = d / t;
    if (share <= kViolationShare * RSC.R(rsc::kAcceptance)) {
        COEF[static_cast<std::size_t>(NCOND)] = CoefRow{{V[0], V[1], V[2]}, N, static_cast<int>(1.0e6f * share)};
        ++NCOND;
        ACC = 1;
    }
}

void AUTOGP(int LATT, float EMIN, int& NTAB, int NREF, const WorkingFile& wf) {
    lst_blank(2);
    lst_line(std::string(29, ' ') + "*** program searched for pseudo-translational symmetry ***");
    lst_blank();
    int per[3] = {1, 1, 1};
    AxisSums w{};
    Coef coef{};
    const Coef latc = lattice_conditions(LATT);
    const float rsc11 = RSC.R(rsc::kAcceptance);

    // Stage 1: periods of the indices of the strong reflections.
    std::vector<Strong> strong;
    strong.reserve(kMaxStrong);
    NTAB = 0;
    const int n = std::min(NREF, static_cast<int>(wf.size()));
    for (int j = 0; j < n && static_cast<int>(strong.size()) < kMaxStrong; ++j) {
        const WorkRecord& r = wf[static_cast<std::size_t>(j)];
        ++NTAB;
        const float e2 = r.key.r;  // word 8: E^2
        if (!(std::sqrt(std::max(e2, 0.0f)) >= EMIN)) continue;
        const int h[3] = {r.h, r.k, r.l};
        for (int a = 0; a < 3; ++a) {
            const int v = std::abs(h[a]);
            if (v >= 1 && v <= kMaxPeriod) w[static_cast<std::size_t>(a)][static_cast<std::size_t>(v)] += e2;
        }
        strong.push_back(Strong{{h[0], h[1], h[2]}, e2});
    }
    int nax = 1, ncond = 0;
    GCD(w, per, nax, rsc11, coef, 0);
    for (int a = 0; a < 3; ++a) {
        if (per[a] <= 1) continue;
        CoefRow row;
        row.v[a] = 1;
        row.n = per[a];
        coef[static_cast<std::size_t>(ncond++)] = row;
        per[a] = 1;
    }
    const int na = ncond;

    // Stage 2: periods of the index differences along one axis.
    w = AxisSums{};
    for (std::size_t i = 0; i < strong.size(); ++i)
        for (std::size_t j = i + 1; j < strong.size(); ++j) {
            int d[3], nonzero = 0, axis = 0;
            for (int a = 0; a < 3; ++a) {
                d[a] = std::abs(strong[i].h[a] - strong[j].h[a]);
                if (d[a] != 0) {
                    ++nonzero;
                    axis = a;
                }
            }
            if (nonzero == 1 && d[axis] <= kMaxPeriod)
                w[static_cast<std::size_t>(axis)][static_cast<std::size_t>(d[axis])] += strong[i].e2 + strong[j].e2;
        }
    GCD(w, per, nax, rsc11, coef, na);

    int n6 = 0, n7 = 0;
    if (nax > 2) {
        // Mixed conditions of two axes.
        constexpr int kPairs[3][2] = {{0, 1}, {0, 2}, {1, 2}};
        for (const auto& pr : kPairs) {
            if (n6 >= 2) break;
            const int i = pr[0], j = pr[1];
            int L = 1;
            COMMUL(per[i], per[j], 1, L);
            int acc = 0;
            for (int s = 1; s >= -1; s -= 2) {
                if (s == -1 && (L == 2 || acc == 1)) break;
                int v[3] = {0, 0, 0};
                v[i] = L / per[i];
                v[j] = s * (L / per[j]);
                RCHECK(v, L, ncond, acc, strong, LATT, latc, coef);
                n6 += acc;
            }
        }
        // A mixed condition of all three axes.
        if (nax == 4) {
            int L = 1;
            COMMUL(per[0], per[1], per[2], L);
            constexpr int kSigns[4][2] = {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
            for (const auto& sg : kSigns) {
                int v[3] = {sg[0] * (L / per[0]), sg[1] * (L / per[1]), L / per[2]};
                int acc = 0;
                RCHECK(v, L, ncond, acc, strong, LATT, latc, coef);
                if (acc == 1) {
                    n7 = 1;
                    break;
                }
            }
        }
        if (n6 + n7 > 0) reduce(coef, na, n6, n7);
    } else if (na == 0) {
        ncond = 0;
    }

    // The result: the conditions left, in row order, into the three slots.
    int slot = 1;
    for (int r = 1; r <= 3; ++r) rsc::a(r) = rsc::b(r) = rsc::c(r) = rsc::n(r) = 0;
    for (int r = 0; r < kCoefRows && slot <= 3; ++r) {
        const CoefRow& c = coef[static_cast<std::size_t>(r)];
        if (c.n == 0) continue;
        rsc::a(slot) = c.v[0];
        rsc::b(slot) = c.v[1];
        rsc::c(slot) = c.v[2];
        rsc::n(slot) = c.n;
        ++slot;
    }
}

}  // namespace zanek
