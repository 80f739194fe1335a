#include "relationships/p10.h"

#include <algorithm>
#include <cmath>

#include "jobcontrol/lists/list07.h"
#include "jobcontrol/lists/listxx.h"
#include "jobcontrol/numeric.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/invariants.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/phaseset.h"
#include "platform/listing.h"
#include "relationships/known_phase_stats.h"
#include "relationships/triplets.h"

namespace zanek {

using namespace invtab;

namespace {

constexpr float kGClip = 20.47f;

int nsym() { return std::clamp(SYM.I(symw::kOps), 0, 24); }
bool centric() { return SYM.I(symw::kCentric) == 1; }

// Image word of this pass: (k' + 64)*128 + (l' + 64).
int image_k(int w) { return w / 128 - 64; }
int image_l(int w) { return w % 128 - 64; }

// The list-7 reflections after the first nrtr records.
std::vector<OtherReflection> read_other_reflections(int nrtr) {
    std::vector<OtherReflection> others;
    int n = 0, nref = 0, nzro = 0, ipseudo = 0, x = 0;
    YSFL07(n, nref, nzro, ipseudo, x);
    others.reserve(static_cast<size_t>(std::max(n - nrtr, 0)));
    for (int r = 1; r <= n; ++r) {
        Word out[9];
        SNR07(out);
        if (r <= nrtr) continue;
        others.push_back({out[0].i, out[1].i, out[2].i, out[3].r});
    }
    return others;
}

// Expected cosine of a triplet of reliability G in a group without a
// centre of symmetry.
float expected_cosine(float g) {
    float y = 0.0f;
    BESSE(g, y);
    return y;
}

}  // namespace

void build_p10_images(const std::vector<OtherReflection>& others) {
    const int ns = nsym();
    const int nrtr = std::clamp(DIRTR.I(dirtr::kNrtr), 0, kPairs / std::max(ns, 1));
    const int largest = std::clamp(PARAM.I(param::kLargest), 0, kIsrSize);
    for (int p = 1; p <= kPairs; ++p) image_s(p) = 0;
    for (int s = 1; s <= largest; ++s) isr(s) = 0;
    for (int r = 1; r <= nrtr; ++r) {
        int h[3];
        SCHKL(r, h);
        int sop[25];
        for (int op = 1; op <= ns; ++op) {
            int hp[3];
            symmetry_image(h, op, hp);
            const int s = super_index(hp);
            sop[op] = s;
            bool repeated = false;
            for (int o = 1; o < op; ++o) repeated = repeated || std::abs(sop[o]) == std::abs(s);
            const int p = (r - 1) * ns + op;
            image_s(p) = repeated ? 0 : s;
            image_word(p) = (hp[1] + 64) * 128 + (hp[2] + 64);
            const int a = std::abs(s);
            if (a >= 1 && a <= largest) isr(a) = -r;
        }
    }
    for (const OtherReflection& o : others) {
        const int h[3] = {o.h, o.k, o.l};
        const int value = static_cast<int>(std::trunc(100.0f * std::max(o.e, 0.01f) + 0.05f));
        for (int op = 1; op <= ns; ++op) {
            int hp[3];
            symmetry_image(h, op, hp);
            const int a = std::abs(super_index(hp));
            if (a >= 1 && a <= largest) isr(a) = value;
        }
    }
}

P10Sums p10_strengthen(int n, int numk) {
    const int ns = nsym();
    const int largest = std::clamp(PARAM.I(param::kLargest), 0, kIsrSize);
    const int kmax = UREQ.I(ureqw::kKmax), lmax = UREQ.I(ureqw::kLmax);
    const double q = INP.R(inp::kQ);
    const double q2 = q * q, hq2 = 0.5 * q2;
    const int32_t* isr_table = &isr(0);  // isr_table[s] is the entry at s
    const int32_t* images = &image_s(0);
    const int32_t* words = &image_word(0);

    // E^2 - 1 of the free vectors and of the strong rows named by isr.
    const int nrtr = DIRTR.I(dirtr::kNrtr);
    std::vector<double> eps(static_cast<size_t>(std::max(nrtr, 0)) + 1, 0.0);
    for (int r = 1; r <= nrtr; ++r) {
        const double e = row_e(r);
        eps[r] = e * e - 1.0;
    }
    numk = std::min(numk, nrtr);

    P10Sums sums;
    for (int t = 1; t <= n; ++t) {
        float g = 0.0f, gp3 = 0.0f;
        int shift = 0, phi = 0;
        DECOM(t, g, gp3, shift, phi);
        sums.p3 += gp3;
        key2(t) = gp3;
        const int rows[3] = {cp10::row(1), cp10::row(2), cp10::row(3)};
        const int ops[3] = {cp10::op(1), cp10::op(2), cp10::op(3)};
        const double e1 = cp10::q(1), e2 = cp10::q(2), e3 = cp10::q(3);

        // The three vectors u_n = sign_n h_{row n} R_{op n}, summing to zero.
        int su[3], ku[3], lu[3];
        for (int k = 0; k < 3; ++k) {
            int h[3], hp[3];
            SCHKL(rows[k], h);
            symmetry_image(h, std::clamp(ops[k], 1, std::max(ns, 1)), hp);
            const int sg = cp10::sign(1 + k);
            for (int c = 0; c < 3; ++c) hp[c] *= sg;
            su[k] = super_index(hp);
            ku[k] = hp[1];
            lu[k] = hp[2];
        }
        // Operators under which all three rows only repeat earlier images.
        bool passed_over[25] = {};
        for (int op = 1; op <= ns; ++op)
            passed_over[op] = images[(rows[0] - 1) * ns + op] == 0 && images[(rows[1] - 1) * ns + op] == 0 &&
                              images[(rows[2] - 1) * ns + op] == 0;

        double acc = 0.0;
        for (int f = 1; f <= numk; ++f) {
            if (f == rows[0] || f == rows[1] || f == rows[2]) continue;
            const double ek = eps[f];
            double A = 0.0, Wp = 0.0;
            for (int op = 1; op <= ns; ++op) {
                if (passed_over[op]) continue;
                const int pf = (f - 1) * ns + op;
                const int sv = images[pf];
                if (sv == 0) continue;
                const int kv = image_k(words[pf]), lv = image_l(words[pf]);
                double a[3][2] = {};  // [n][0] for u_n - v, [n][1] for u_n + v
                bool given_up = false;
                for (int k = 0; k < 3 && !given_up; ++k)
                    for (int side = 0; side < 2; ++side) {
                        const int sgn = side == 0 ? -1 : 1;
                        const int sx = su[k] + sgn * sv;
                        if (sx == 0) continue;
                        const int ax = sx < 0 ? -sx : sx;
                        if (ax > largest) continue;
                        const int entry = isr_table[ax];
                        if (entry == 0) continue;
                        const int kx = ku[k] + sgn * kv, lx = lu[k] + sgn * lv;
                        if (kx > kmax || kx < -kmax || lx > lmax || lx < -lmax) continue;
                        double e2x;
                        if (entry < 0) {
                            const int r = -entry;
                            if (r <= f || r == rows[0] || r == rows[1] || r == rows[2]) {
                                given_up = true;
                                break;
                            }
                            e2x = eps[r];
                        } else {
                            const double e = entry / 100.0;
                            e2x = e * e - 1.0;
                        }
                        a[k][side] = e2x;
                    }
                if (given_up) continue;
                const double a1m = a[0][0], a1p = a[0][1], a2m = a[1][0], a2p = a[1][1], a3m = a[2][0],
                             a3p = a[2][1];
                const double X = ek * ((a1m + a2m) * a3p + (a1m + a3m) * a2p + (a2m + a3m) * a1p);
                A += q2 * X;
                const double Y = e3 * (a1m * a2p + a2m * a1p + (a3p + a3m) * ek) +
                                 e1 * (a2m * a3p + a2p * a3m + (a1p + a1m) * ek) +
                                 e2 * (a1m * a3p + a1p * a3m + (a2p + a2m) * ek);
                Wp += hq2 * Y;
            }
            const double W = std::max(0.0, hq2 * e1 * e2 * e3 + Wp);
            acc += A / (1.0 + W);
        }
        const float gp10 = static_cast<float>((1.0 + acc) * gp3);
        key1(t) = gp10;
        sums.p10 += std::fabs(gp10);
    }
    return sums;
}

P10Sets classify_p10(int n, float gmin, float ethr, float nthr, int es_cap, int neg_cap) {
    P10Sets s;
    for (int r = 1; r <= n; ++r) {
        const float g = key1(r);
        if (g >= gmin) ++s.pos;
        if (std::fabs(g) <= ethr) {
            if (s.first_es == 0) s.first_es = r;
            ++s.es;
        }
        if (g <= nthr) {
            if (s.first_neg == 0) s.first_neg = r;
            ++s.neg;
        }
    }
    s.first_pos = s.pos > 0 ? 1 : 0;
    s.neg_before = s.neg;
    if (s.neg > neg_cap) {
        s.first_neg += s.neg - neg_cap;
        s.neg = neg_cap;
    }
    s.es_before = s.es;
    while (s.es > es_cap) {
        ethr -= 0.05f;
        const int from = s.first_es, to = s.first_es + s.es - 1;
        s.first_es = 0;
        s.es = 0;
        for (int r = from; r <= to; ++r)
            if (std::fabs(key1(r)) <= ethr) {
                if (s.first_es == 0) s.first_es = r;
                ++s.es;
            }
    }
    s.ethr = ethr;
    s.nthr = nthr;
    return s;
}

void TEST10N() {
    const bool cen = centric();
    const bool known = UREQ.I(ureqw::kKnown) != 0;
    const int print = UREQ.I(ureqw::kPrint);
    const int listing = DIR10.I(dir10::kListed);
    PSEUD.I(pseud::kClassCount) = 1;
    if (cen) {
        if (known) CLRT();
        CLRT1();
    } else {
        if (known) NCLRT();
        NCLRT1();
    }
    if (listing > 0) {
        lst_blank(2);
        lst("(10x,'code',14x,'g(2r)',5x,'g(1r)',3x,'phi(calc)',4x,'phi(ver)',7x,'dphi')");
        lst_blank();
    }
    const float pi = TRIG.R(trig::kPi);
    const float to_degrees = TRIG.R(trig::kDegree);
    int first_wrong = 0;
    struct Set {
        int first, count;
        bool negative;
        double d1 = 0.0, d2 = 0.0;
    };
    Set sets[3] = {{DIR10.I(dir10::kPositiveFirst), DIR10.I(dir10::kPositiveCount), false},
                   {DIR10.I(dir10::kEnantFirst), cen ? 0 : DIR10.I(dir10::kEnantCount), false},
                   {DIR10.I(dir10::kNegativeFirst), DIR10.I(dir10::kNegativeCount), true}};
    for (int which = 0; which < 3; ++which) {
        Set& set = sets[which];
        for (int c = 1; c <= set.count; ++c) {
            const int r = set.first + c - 1;
            float g3 = 0.0f, gp3 = 0.0f;
            int shift = 0, phi_deg = 0;
            DECOM(r, g3, gp3, shift, phi_deg);
            const float g = key1(r);
            const float phi = static_cast<float>(phi_deg) / to_degrees;
            const float cosphi = std::cos(phi);
            float expected;
            bool wrong;
            if (cen) {
                if (known) SCTST(g, g * cosphi, 1);
                SCTST1(g, g * cosphi);
                expected = g < 0.0f ? -1.0f : 1.0f;
                wrong = g * cosphi < 0.0f;
            } else {
                expected = expected_cosine(g);
                const float folded = static_cast<float>(phi_deg <= 180 ? phi_deg : 360 - phi_deg);
                if (known) NCTET(g, cosphi, folded, 1);
                NCTET1(g, expected, cosphi);
                wrong = expected * cosphi < 0.0f;
            }
            if (which == 0 && wrong && first_wrong == 0) first_wrong = c;
            if (!known) continue;
            const float psi = std::acos(std::clamp(expected, -1.0f, 1.0f));
            float d = psi - phi;
            if (std::fabs(d) > pi) d = std::fabs(d) - 2.0f * pi;
            set.d1 += d;
            set.d2 += std::fabs(d);
            if (print > 0 && (c <= listing || set.negative))
                lst("(4x,3i5,4x,2f10.2,3f12.2)",
                    {cp10::row(1) * cp10::sign(1), cp10::row(2) * cp10::sign(2), cp10::row(3) * cp10::sign(3), g,
                     key2(r), psi * to_degrees, phi * to_degrees, d * to_degrees});
        }
        if (known && set.count > 0) {
            set.d1 *= 180.0 / (pi * set.count);
            set.d2 *= 180.0 / (pi * set.count);
        }
    }
    if (known) {
        lst_blank(2);
        lst("(1x,'serial number of the first wrong triplet =',i5)", {first_wrong});
    }
    lst_blank();
    lst_line(std::string(38, ' ') + "            Triplets statistic");
    if (!cen) {
        if (known) {
            lst_blank(2);
            lst("(49x,'<dphi>',5x,'</dphi/>')");
            lst("(2x,i6,' positive relationships ',12x,2f10.3)", {sets[0].count, sets[0].d1, sets[0].d2});
            lst("(2x,i6,' enantiomorph sensitive rel. ',7x,2f10.3)", {sets[1].count, sets[1].d1, sets[1].d2});
            lst("(2x,i6,' negative relationships ',12x,2f10.3)", {sets[2].count, sets[2].d1, sets[2].d2});
            lst_blank(2);
            NSTST();
        }
        NSTST1();
    } else {
        if (known) STST();
        STST1();
    }
}

void P10N(int /*mode*/, int counts[14]) {
    const bool cen = centric();
    const int numk = DIR10.I(dir10::kNumk);
    float gmin = DIR10.R(dir10::kGmin), ethr = DIR10.R(dir10::kEnantThreshold), nthr = DIR10.R(dir10::kNegThreshold);
    if (numk <= 0) {
        gmin = 0.0f;
        ethr = -10000.0f;
        nthr = 0.0f;
    }
    if (cen) {
        ethr = -10000.0f;
        nthr = 0.0f;
    }
    int nl = 0, i1 = 0, i2 = 0, i3 = 0, i4 = 0;
    SFLXX(0, 8, nl, i1, i2, i3, i4, relation_area(), 3 * kRelations);
    int n = DIR10.I(dir10::kProcessed);
    if (n == 0 || n > nl) n = nl;
    DIR10.I(dir10::kProcessed) = n;
    DIR10.I(dir10::kListed) = std::min(DIR10.I(dir10::kListed), n);

    build_p10_images(read_other_reflections(DIRTR.I(dirtr::kNrtr)));
    const P10Sums sums = p10_strengthen(n, numk);
    DIRTR.R(dirtr::kP3Sum) = static_cast<float>(sums.p3);

    const double factor = numk > 0 && sums.p10 > 0.0 ? sums.p3 / sums.p10 : 1.0;
    for (int t = 1; t <= n; ++t) {
        const float g = std::clamp(static_cast<float>(factor * key1(t)), -kGClip, kGClip);
        key1(t) = g;
        int32_t a, b, c;
        UNPAK3(relation(t, 2), a, b, c);
        relation(t, 2) = relation_word(a, std::abs(static_cast<int>(std::trunc(100.0f * g))), c);
    }
    SORTGN(n);

    const P10Sets s = classify_p10(n, gmin, ethr, nthr, DIR10.I(dir10::kEnantCap), DIR10.I(dir10::kNegativeCap));
    DIR10.R(dir10::kEnantThreshold) = s.ethr;
    DIR10.R(dir10::kNegThreshold) = s.nthr;
    DIR10.I(dir10::kPositiveCount) = s.pos;
    DIR10.I(dir10::kEnantCount) = s.es;
    DIR10.I(dir10::kNegativeCount) = s.neg;
    DIR10.I(dir10::kPositiveFirst) = s.first_pos;
    DIR10.I(dir10::kEnantFirst) = s.first_es;
    DIR10.I(dir10::kNegativeFirst) = s.first_neg;
    counts[0] = s.pos;
    counts[7] = s.pos;
    counts[1] = s.neg_before;
    counts[8] = s.neg;
    counts[2] = s.es_before;
    counts[9] = s.es;
    smallest_g_word() = s.pos > 0 ? static_cast<int32_t>(std::trunc(1000.0f * key1(s.pos))) : 0;

    TEST10N();

    const int32_t mink = smallest_g_word();
    const int nrtr = DIRTR.I(dirtr::kNrtr), mode = PROC.I(proc::kP10);
    if (s.pos > 0) FRMXX(0, 8, nl, s.pos, nrtr, mode, mink, relation_area());
    if (s.neg > 0) FRMXX(0, 10, s.neg, s.neg, nrtr, mode, mink, relation_area() + 3 * (s.first_neg - 1));
    if (!cen && s.es > 0) FRMXX(0, 11, s.es, s.es, nrtr, mode, mink, relation_area() + 3 * (s.first_es - 1));
}

}  // namespace zanek
