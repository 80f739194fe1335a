// Weak reflections for the E-map: the psi-e triplets of list 24 tie each
// of the reflections that follow the phasing set in list 7 to pairs of
// phased strong reflections. The phase of the weak reflection is the
// direction of the sum of the relations' phase indications, each weighted
// by the reliability that the strengths of the two strong reflections
// allow; its weight is the squared Bessel ratio of the resultant (with a
// correction of the resultant when many relations disagree with their
// expected spread).
#include <algorithm>
#include <cmath>
#include <vector>

#include "fourier/fourier_records.h"
#include "fourier/maps/coefficients.h"
#include "fourier/maps/maps_internal.h"
#include "jobcontrol/lists/list07.h"
#include "jobcontrol/lists/listxx.h"
#include "jobcontrol/numeric.h"
#include "jobcontrol/records/crystal.h"
#include "platform/listing.h"

namespace zanek {

namespace {

constexpr int kList24 = 24;
constexpr double kDeg = 180.0 / 3.14159265358979;

// Sums over the relations of one weak reflection: the kappa-weighted and
// the G-weighted phase indications as (sin, cos) pairs, the count, the
// expected resultant Eg and its variance V.
struct WeakSums {
    double ks = 0, kc = 0, gs = 0, gc = 0, eg = 0, v = 0;
    int count = 0;
};

// Projects the (sin, cos) sum onto the direction p allowed to a restricted phase.
void project(double& s, double& c, double p_deg) {
    const double sp = std::sin(p_deg / kDeg), cp = std::cos(p_deg / kDeg);
    const double dot = s * sp + c * cp;
    s = dot * sp;
    c = dot * cp;
}

int reduce360(int d) {
    d %= 360;
    return d < 0 ? d + 360 : d;
}

}  // namespace

void GPSIE(int& n, float& err, float& werr, int& nadd) {
    const int print = UREQ.I(ureqw::kPrint);
    nadd = 0;
    err = werr = 0.0f;
    if (print > 2) {
        lst_line(" tabella pesi");
        std::vector<FItem> items;
        for (int i = 1; i <= n; ++i) {
            items.emplace_back(i);
            items.emplace_back(stage::A4(i));
        }
        if (!items.empty()) lst("(7(i5,f9.2))", items);
    }
    if (!list_stored(kList24)) return;
    int count = 0, to_process = 0, nweak = 0, c3 = 0, c4 = 0;
    SFLXX(-1, kList24, count, to_process, nweak, c3, c4, nullptr, 0);
    const int nrel = std::min(count, to_process);
    if (nrel <= 0 || nweak <= 0) return;
    nweak = std::min(nweak, stage::kMaxReflections - n);
    if (nweak <= 0) return;
    std::vector<Word> items(static_cast<std::size_t>(3) * count);
    SFLXX(0, kList24, count, to_process, nweak, c3, c4, items.data(), static_cast<int>(items.size()));
    nweak = std::min(nweak, stage::kMaxReflections - n);

    int nall = 0, nref = 0, nzro = 0, ipseudo = 0, seed = 0;
    if (print > 2) lst_line("   lettura  relazioni psi-e       ");
    YSFL07(nall, nref, nzro, ipseudo, seed);
    if (print > 2) {
        lst("(' num. rif. tot. ',i5)", {nall});
        lst("(' num. rif. forti ',i5)", {nref});
        lst("(' num. rif. deboli ',i5)", {nzro});
        lst("('   n. relazioni psi-e  = ',i6,' formate da',i4,' riflessi',' con e<e(min)')", {nrel, nweak});
    }

    // Append the reflections n+1..n+nweak of list 7 with weight 0.
    nweak = std::min(nweak, std::max(nall - n, 0));
    std::vector<int> restriction(static_cast<std::size_t>(nweak) + 1), known(static_cast<std::size_t>(nweak) + 1);
    Word out[9];
    for (int r = 1; r <= n + nweak; ++r) {
        SNR07(out);
        if (r <= n) continue;
        const int i = r;
        stage::A2i(i) = 0;
        stage::A1(i) = out[3].r;
        stage::P(i) = out[0].i * 262144 + (out[1].i + 256) * 512 + (out[2].i + 256);
        stage::A4(i) = 0.0f;
        const int word = out[7].i % 32768;
        restriction[static_cast<std::size_t>(r - n)] = word % 32;
        known[static_cast<std::size_t>(r - n)] = word / 32;
    }
    if (nweak <= 0) return;

    double sum_d = 0, sum_dw = 0, sum_w = 0;
    int determined = 0, last_p2 = 0, last_p3 = 0;
    bool heading = false;
    WeakSums acc;
    int current = 0;  // position of the weak reflection being summed, 0 none

    auto finish = [&](int pos) {
        const int k = pos - n;
        int r = restriction[static_cast<std::size_t>(k)];
        if (r != 1 && r != 0) {
            const int rr = ((std::abs(r) - 1) % 12) + 1;
            const double p = 15.0 * (rr - 1);
            project(acc.ks, acc.kc, p);
            project(acc.gs, acc.gc, p);
        }
        const double mod2 = acc.ks * acc.ks + acc.kc * acc.kc;
        if (mod2 < 0.0001) {
            if (print > 2)
                lst("(' reflection ',i5,' has no sign. contributors,   k2 =',i5,'  wt(k2)=',f10.3,'  k3=',i5,'  wt(k3)=',f10.3)",
                    {pos, last_p2, stage::A4(last_p2), last_p3, stage::A4(last_p3)});
            return;
        }
        const double phi = std::atan2(acc.ks, acc.kc) * kDeg;
        const double bmod = std::sqrt(acc.gs * acc.gs + acc.gc * acc.gc);
        double alpha = std::sqrt(mod2);
        if (acc.count >= 4 && acc.v >= 0.001 && bmod > acc.eg)
            alpha = acc.eg * std::max(0.2, std::cbrt(std::exp(-(bmod - acc.eg) * (bmod - acc.eg) / acc.v)));
        const float t = BES(static_cast<float>(alpha));
        const float weight = t * t;
        int phase = static_cast<int>(std::round(phi));  // half away from zero
        phase = reduce360(phase);
        if (phase == 0) phase = 360;
        stage::A2i(pos) = phase;
        stage::A4(pos) = weight;
        int d = std::abs(phase - known[static_cast<std::size_t>(k)]) % 360;
        if (d > 180) d = 360 - d;
        sum_d += d;
        sum_dw += d * static_cast<double>(weight);
        sum_w += weight;
        ++determined;
        if (print > 2) {
            if (!heading) {
                lst_line(" lista riflessi psi-e con fasi determinate");
                lst_line("    num  kode  ( h  k  l )     e       w      type  phi(p) phi(t)   diff  ncontr   alpha  alf(g)  alf(w)");
                heading = true;
            }
            int h = 0, kk = 0, l = 0;
            unpack_index(stage::P(pos), h, kk, l);
            lst("(2i6,'*  (',3i3,')',2f8.2,5i8,4f8.2)",
                {determined, pos, h, kk, l, stage::A1(pos), weight, r, known[static_cast<std::size_t>(k)], phase, d,
                 acc.count, static_cast<float>(alpha), static_cast<float>(bmod), static_cast<float>(std::sqrt(mod2)),
                 static_cast<float>(acc.eg)});
        }
    };

    for (int j = 0; j < nrel; ++j) {
        int32_t a1, b1, c1, a2, b2, c2;
        UNPAK3(items[static_cast<std::size_t>(3 * j)].i, a1, b1, c1);
        UNPAK3(items[static_cast<std::size_t>(3 * j + 1)].i, a2, b2, c2);
        const int weak = std::abs(a1), p2 = std::abs(b1), p3 = std::abs(a2);
        // A relation that names reflections outside the set at hand (list 24
        // of another reflection list) is passed over.
        if (weak <= n || weak > n + nweak || p2 < 1 || p2 > n || p3 < 1 || p3 > n) continue;
        if (weak != current) {
            if (current != 0) finish(current);
            current = weak;
            acc = WeakSums{};
        }
        const int s2 = b1 < 0 ? -1 : 1, s3 = a2 < 0 ? -1 : 1;
        const float g = static_cast<float>(std::abs(b2)) / 100.0f;
        const float t = BES(g);
        const float kappa = BESINV(stage::A4(p2) * stage::A4(p3) * t);
        const int theta = reduce360(-(s3 * stage::A2i(p3) + s2 * stage::A2i(p2) + 15 * c2));
        const double st = sin_deg(theta), ct = cos_deg(theta);
        acc.ks += kappa * st;
        acc.kc += kappa * ct;
        acc.gs += g * st;
        acc.gc += g * ct;
        acc.count += 1;
        acc.eg += static_cast<double>(g) * t;
        // G^2 (2 - 2t/G - 2t^2); t/G tends to 1/2 as G goes to 0.
        const double t_over_g = g > 0.0f ? t / g : 0.5;
        acc.v += static_cast<double>(g) * g * (2.0 - 2.0 * t_over_g - 2.0 * static_cast<double>(t) * t);
        last_p2 = p2;
        last_p3 = p3;
    }
    if (current != 0) finish(current);

    if (determined > 0) err = static_cast<float>(sum_d / determined);
    if (sum_w > 0.0001) werr = static_cast<float>(sum_dw / sum_w);
    for (int i = n + 1; i <= n + nweak; ++i) stage::A1(i) *= stage::A4(i);
    n += nweak;
    nadd = nweak;
}

}  // namespace zanek
