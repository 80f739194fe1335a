#include "relationships/pseudo_reliab.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/invariants.h"
#include "jobcontrol/records/job.h"
#include "platform/listing.h"
#include "platform/stop.h"
#include "relationships/known_phase_stats.h"
#include "relationships/triplets.h"

namespace zanek {

using namespace invtab;

namespace {

constexpr int kMaxClasses = 10, kOverflowClass = 11;
constexpr float kCoefficientGiven = 99000.0f;  // above: no `corr` directive
constexpr float kMaxQ = 0.99f;
constexpr float kWeak = 0.0001f;  // a weight below this marks a pseudo-translation weak reflection
// Expected intensity taken when the line and the weight leave none.
constexpr double kLeastExpected = 0.01;

int ncond() { return std::clamp(PSEUD.I(pseud::kConditions), 0, 3); }
int neq() { return std::clamp(PSEUD.I(pseud::kNeq), 1, 48); }
int cond(int j, int w) { return pseud::condition(j + 1, w + 1); }  // j 0..2, w 0 a .. 3 n

bool obeys_all(const int h[3]) {
    for (int j = 0; j < ncond(); ++j) {
        const int v = cond(j, 0) * h[0] + cond(j, 1) * h[1] + cond(j, 2) * h[2];
        const int n = cond(j, 3);
        if (n != 0 ? v % n != 0 : v != 0) return false;
    }
    return true;
}

float pi_over_180() { return TRIG.R(trig::kRadian) > 0.0f ? TRIG.R(trig::kRadian) : 0.017453292f; }

}  // namespace

bool pseudo_conditions() { return PSEUD.I(pseud::kConditions) > 0; }

void SENTI() {
    const double rad = pi_over_180();
    const double a = sinte::cell(1), b = sinte::cell(2), c = sinte::cell(3);
    const double al = sinte::cell(4) * rad, be = sinte::cell(5) * rad, ga = sinte::cell(6) * rad;
    const double ca = std::cos(al), cb = std::cos(be), cg = std::cos(ga);
    const double sa = std::sin(al), sb = std::sin(be), sg = std::sin(ga);
    const double v = a * b * c * std::sqrt(std::max(0.0, 1.0 - ca * ca - cb * cb - cg * cg + 2.0 * ca * cb * cg));
    if (!(v > 0.0) || !(sa > 0.0) || !(sb > 0.0) || !(sg > 0.0)) {
        for (int i = 1; i <= 6; ++i) sinte::reciprocal(i) = 0.0f;
        return;
    }
    sinte::reciprocal(1) = static_cast<float>(b * c * sa / v);
    sinte::reciprocal(2) = static_cast<float>(a * c * sb / v);
    sinte::reciprocal(3) = static_cast<float>(a * b * sg / v);
    sinte::reciprocal(4) = static_cast<float>((cb * cg - ca) / (sb * sg));
    sinte::reciprocal(5) = static_cast<float>((ca * cg - cb) / (sa * sg));
    sinte::reciprocal(6) = static_cast<float>((ca * cb - cg) / (sa * sb));
}

void SENT(float& SS, const int HKL[3]) {
    const double h = HKL[0], k = HKL[1], l = HKL[2];
    const double as = sinte::reciprocal(1), bs = sinte::reciprocal(2), cs = sinte::reciprocal(3);
    SS = static_cast<float>(0.25 * (h * h * as * as + k * k * bs * bs + l * l * cs * cs +
                                    2.0 * k * l * bs * cs * sinte::reciprocal(4) +
                                    2.0 * h * l * as * cs * sinte::reciprocal(5) +
                                    2.0 * h * k * as * bs * sinte::reciprocal(6)));
}

void EQUIT(int HKL[3], int J) {
    int out[3];
    symmetry_image(HKL, J, out);
    for (int c = 0; c < 3; ++c) HKL[c] = out[c];
}

void ALFAS(float& ALPHA, const int HKL[3]) {
    int n = 0;
    for (int j = 1; j <= neq(); ++j) {
        int h[3] = {HKL[0], HKL[1], HKL[2]};
        EQUIT(h, j);
        if (obeys_all(h)) ++n;
    }
    ALPHA = PSEUD.R(pseud::kP) * static_cast<float>(n) / static_cast<float>(neq());
}

void BETAS(float& B, const int H1[3], const int H2[3], const int H3[3]) {
    int n = 0;
    for (int j = 1; j <= neq(); ++j) {
        int a[3] = {H1[0], H1[1], H1[2]}, b[3] = {H2[0], H2[1], H2[2]}, c[3] = {H3[0], H3[1], H3[2]};
        EQUIT(a, j);
        EQUIT(b, j);
        EQUIT(c, j);
        if (obeys_all(a) && obeys_all(b) && obeys_all(c)) ++n;
    }
    B = static_cast<float>(n);
}

int32_t pseudo_weight_word(int h, int k, int l) {
    if (!pseudo_conditions()) return 0;
    const int hkl[3] = {h, k, l};
    float alpha = 0.0f;
    ALFAS(alpha, hkl);
    return static_cast<int32_t>(1000.0f * alpha);
}

void PREPA(float& SUGG) {
    int p = 1;
    for (int j = 0; j < ncond(); ++j) p *= cond(j, 3);
    PSEUD.R(pseud::kP) = static_cast<float>(p);
    PSEUD.R(pseud::kP2) = static_cast<float>(p) * static_cast<float>(p);
    SENTI();
    const int nz = static_cast<int>(static_cast<float>(neq()) * PSEUD.R(pseud::kP));

    // The heaviest atoms, as many as the pseudo-translation can carry.
    struct Type {
        int z, count;
    };
    std::array<Type, 8> types;
    for (int t = 0; t < 8; ++t)
        types[static_cast<std::size_t>(t)] = {pseud::atomic_number(t + 1), pseud::atom_count(t + 1)};
    std::stable_sort(types.begin(), types.end(), [](const Type& x, const Type& y) { return x.z > y.z; });
    int last = -1, sum = 0;
    for (int t = 0; t < 8; ++t) {
        if (types[static_cast<std::size_t>(t)].count == 0) break;
        sum += types[static_cast<std::size_t>(t)].count;
        last = t;
        if (sum >= nz) break;
    }
    const int z1 = types[0].z;
    SUGG = (last < 0 || z1 <= 0) ? 0.0f
                                 : -0.5f * static_cast<float>(z1 - types[static_cast<std::size_t>(last)].z) /
                                       static_cast<float>(z1);
    if (PSEUD.R(pseud::kCoefficient) > kCoefficientGiven) PSEUD.R(pseud::kCoefficient) = SUGG;
}

void PSEUDT(float& G, int I, int J, int K, int SIGMA, int TAU, int M, int Q, int H1[3], int H2[3], int H3[3],
            float EI, float EJ, float EK, int32_t REC[16]) {
    // The three vectors of the invariant.
    int hj[3], hk[3], t[3];
    SCHKL(I, H1);
    SCHKL(J, hj);
    SCHKL(K, hk);
    symmetry_image(hj, M, t);
    for (int c = 0; c < 3; ++c) H2[c] = SIGMA * t[c];
    symmetry_image(hk, Q, t);
    for (int c = 0; c < 3; ++c) H3[c] = -TAU * t[c];
    if (H1[0] + H2[0] + H3[0] != 0 || H1[1] + H2[1] + H3[1] != 0 || H1[2] + H2[2] + H3[2] != 0) {
        lst("(1x,5i6,9i5)", {I, J, K, M, Q, H1[0], H1[1], H1[2], H2[0], H2[1], H2[2], H3[0], H3[1], H3[2]});
        lst_line("****  programming  error  ****");
        lst_line(" zan ends in error");
        zstop(1234);
    }

    // Expected intensities q + (1 - q) alpha of the three reflections, q
    // from the line at their s^2.
    const float slope = PSEUD.R(pseud::kSlope), ic = PSEUD.R(pseud::kIntercept);
    const int* h[3] = {H1, H2, H3};
    const int rows[3] = {I, J, K};
    double e[3], alpha[3], ebar = 0.0, d = 1.0;
    int weak = 0;
    for (int n = 0; n < 3; ++n) {
        float ss = 0.0f;
        SENT(ss, h[n]);
        e[n] = std::min(slope * ss + ic, kMaxQ);
        ebar += e[n] / 3.0;
        alpha[n] = static_cast<double>(row_alpha(rows[n])) / 1000.0;
        double qn = e[n] + (1.0 - e[n]) * alpha[n];
        if (!(qn >= 1.0e-5)) qn = kLeastExpected;
        d *= qn;
        if (alpha[n] < kWeak) ++weak;
    }
    float b = 0.0f;
    BETAS(b, H1, H2, H3);

    const double p = PSEUD.R(pseud::kP), rn = std::sqrt(static_cast<double>(INP.R(inp::kAtomsReal)));
    const double u = (1.0 - ic) / rn, v = ic / rn;
    const double r = p > 0.0 ? (p - 1.0) * (ebar - ic) / (p * rn) : 0.0;
    const double c1 = weak == 3 ? 1.0 : 0.0, c2 = weak == 2 ? 1.0 : 0.0;
    const double w = PSEUD.R(pseud::kCoefficient);
    const double z = (u * b * PSEUD.R(pseud::kP2) / neq() + v * (1.0 + c1 * w) + c2 * r) / std::sqrt(d);
    G = static_cast<float>(z * EI * EJ * EK);

    for (int n = 0; n < 3; ++n) {
        REC[5 * n] = rows[n];
        for (int c = 0; c < 3; ++c) REC[5 * n + 1 + c] = h[n][c];
        REC[5 * n + 4] = row_alpha(rows[n]);
    }
    REC[15] = static_cast<int32_t>(1000.0f * b);
}

void pseudo_class_entry(const int32_t REC[16], float G, int PHI) {
    if (UREQ.I(ureqw::kKnown) == 0) return;
    const int32_t key = REC[4] + REC[9] + REC[14] + REC[15] / 1000;
    int& count = PSEUD.I(pseud::kClassCount);
    int cls = kOverflowClass;
    if (count < kMaxClasses) {
        cls = 0;
        for (int c = 1; c <= count && cls == 0; ++c)
            if (pseud::class_word(c, 0) == key) cls = c;
        if (cls == 0) {
            cls = ++count;
            pseud::class_word(cls, 0) = key;
            pseud::class_word(cls, 1) = REC[4];
            pseud::class_word(cls, 2) = REC[9];
            pseud::class_word(cls, 3) = REC[14];
            pseud::class_word(cls, 4) = REC[15];
        }
    }
    const double phi = PHI * M_PI / 180.0;
    if (SYM.I(symw::kCentric) == 1) {
        SCTST(G, static_cast<float>(G * std::cos(phi)), cls);
    } else {
        const float g2 = 2.0f * G;
        const int folded = PHI <= 180 ? PHI : 360 - PHI;
        NCTET(g2, static_cast<float>(std::cos(phi)), static_cast<float>(folded), cls);
    }
}

void print_pseudo_heading(float SUGG) {
    const int n = ncond();
    lst_blank();
    lst("(45x,i1,' pseudo-translation(s) provided')", {n});
    lst_blank();
    // A coefficient outside 0..9 widens its field for this and the
    // following lines.
    bool wide[3] = {false, false, false};
    for (int j = 0; j < n; ++j) {
        for (int w = 0; w < 3; ++w) wide[w] = wide[w] || cond(j, w) < 0 || cond(j, w) > 9;
        const std::string f = "(54x," + std::string(wide[0] ? "i2" : "i1") + ",'h+'," + (wide[1] ? "i2" : "i1") +
                              ",'k+'," + (wide[2] ? "i2" : "i1") + ",'l=',i2,'n')";
        lst(f, {cond(j, 0), cond(j, 1), cond(j, 2), cond(j, 3)});
    }
    lst_blank(2);
    lst_line(std::string(34, ' ') + " < E**2 > computed through least squares straight line");
    lst_blank(2);
    lst("(50x,' slope =',f8.3)", {PSEUD.R(pseud::kSlope)});
    lst("(47x,'intercept =',f8.3)", {PSEUD.R(pseud::kIntercept)});
    lst("(20x,'   applied coeff. for w-w-w triplets =',f8.3)", {PSEUD.R(pseud::kCoefficient)});
    lst("(20x,' subgested coeff. for w-w-w triplets =',f8.3)", {SUGG});
    lst_blank(2);
}

}  // namespace zanek
