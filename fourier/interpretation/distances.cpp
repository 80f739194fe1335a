// Distances under symmetry and bond angles. Every contact between peaks is
// judged in the crystal, not only within the asymmetric unit: IDST gives
// the symmetry images of one peak next to another, named by a packed
// neighbour code s*(T*196000 + j*490 + op*10 + L); ANINC lists the contacts
// shorter than a bond, ANDIS keeps the acceptable bond distances, CALANG
// works out the bond angles at every peak.
#include <algorithm>
#include <cmath>
#include <vector>

#include "fourier/interpretation/interp_internal.h"
#include "platform/listing.h"

namespace zanek {

namespace {

constexpr int kRadixT = 196000, kRadixJ = 490, kRadixOp = 10;
constexpr double kCoincide2 = 0.6;  // A^2: images closer than this are one image

// Brings a fractional difference into [-0.5, 0.5] by whole cells; returns
// the number of cells taken off (signed).
double reduce(double& x) {
    if (std::fabs(x) <= 0.5) return 0.0;
    const double k = std::ceil(std::fabs(x) - 0.5);
    const double step = x > 0 ? k : -k;
    x -= step;
    return step;
}

}  // namespace

double metric2(const float* g, const double v[3]) {
    double s = 0.0;
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b) s += v[a] * static_cast<double>(g[a + 3 * b]) * v[b];
    return s;
}

void metric_copy(float g[9]) {
    for (int k = 0; k < 9; ++k) g[k] = XBUIL.R(xb::kMetric + k);
}

void image_set(const Desc& d, const Lattice& lat, const float x[3], const float g[9], ImageSet& set) {
    set.count = 0;
    const int nsign = lat.centric == 1 ? 2 : 1;
    for (int o = 1; o <= d.nops; ++o) {
        const int r = d.ops + d.op_len * (o - 1);
        double rx[3];
        for (int c = 0; c < 3; ++c)
            rx[c] = static_cast<double>(XR(r + 3 * c)) * x[0] + static_cast<double>(XR(r + 3 * c + 1)) * x[1] +
                    static_cast<double>(XR(r + 3 * c + 2)) * x[2] + XR(r + 9 + c);
        for (int si = 0; si < nsign; ++si) {
            const int s = si == 0 ? 1 : -1;
            for (int L = 1; L <= lat.nlatt; ++L) {
                double z[3];
                for (int c = 0; c < 3; ++c) z[c] = s * rx[c] + lat.tv[L - 1][c];
                bool dup = false;
                for (int q = 0; q < set.count && !dup; ++q) {
                    double diff[3];
                    for (int c = 0; c < 3; ++c) {
                        diff[c] = z[c] - set.z[q][c];
                        reduce(diff[c]);
                    }
                    dup = metric2(g, diff) < kCoincide2;
                }
                if (dup || set.count >= kMaxImages) continue;
                for (int c = 0; c < 3; ++c) set.z[set.count][c] = z[c];
                set.base[set.count] = o * kRadixOp + L;
                set.sign[set.count] = s;
                ++set.count;
            }
        }
    }
}

void images_near(const ImageSet& set, const float xi[3], int j, bool self, const float g[9], Images& out) {
    out.count = 0;
    const float w10 = XBUIL.R(xb::kMaxDist2), w11 = XBUIL.R(xb::kMinDist2);
    for (int q = 0; q < set.count; ++q) {
        double delta[3], trans[3];
        int T = 0;
        for (int c = 0; c < 3; ++c) {
            delta[c] = static_cast<double>(xi[c]) - set.z[q][c];
            trans[c] = reduce(delta[c]);  // whole cells added to the image
            const int digit = trans[c] == 0.0 ? 0 : (delta[c] >= 0.0 ? 1 : 3);
            T = 10 * T + digit;
        }
        const double d2 = metric2(g, delta);
        if (self && d2 < 0.001) continue;
        const bool too_short = d2 <= w11;
        if (!too_short && d2 > w10) continue;
        if (out.count >= kMaxImages) break;
        const int e = out.count++;
        out.code[e] = set.sign[q] * (T * kRadixT + j * kRadixJ + set.base[q]);
        out.d2[e] = static_cast<float>(d2);
        for (int c = 0; c < 3; ++c) {
            float v = static_cast<float>(delta[c]);
            if (std::fabs(v) < 1e-10f) v = v < 0.0f ? -1e-10f : 1e-10f;
            out.dv[e][c] = v;
            out.trans[e][c] = static_cast<float>(trans[c]);
            out.pos[e][c] = static_cast<float>(set.z[q][c] + trans[c]);
        }
        if (too_short) return;  // a contact shorter than any bond ends the search
    }
}

void IDST(const Desc& d, const Lattice& lat, int i, int j, Images& out) {
    XBUIL.I(xb::kRadix1) = kRadixT;
    XBUIL.I(xb::kRadix2) = kRadixJ;
    XBUIL.I(xb::kRadix3) = kRadixOp;
    float g[9];
    metric_copy(g);
    float xi[3], xj[3];
    for (int c = 0; c < 3; ++c) {
        xi[c] = XR(peak_word(d, i, 3 + c));
        xj[c] = XR(peak_word(d, j, 3 + c));
    }
    static ImageSet set;  // large: kept out of the stack
    image_set(d, lat, xj, g, set);
    images_near(set, xi, j, i == j, g, out);
}

NbrCode NOROP(int code) {
    NbrCode c{};
    c.s = code >= 0 ? 1 : -1;
    const int a = code >= 0 ? code : -code;
    const int T = a / kRadixT;
    c.t1 = T / 100;
    c.t2 = (T % 100) / 10;
    c.t3 = T % 10;
    const int r = a - kRadixT * T;
    c.j = r / kRadixJ;
    c.op = (r - kRadixJ * c.j) / kRadixOp;
    c.l = r - kRadixJ * c.j - kRadixOp * c.op;
    return c;
}

NbrCode IOROP(int k) { return NOROP(XI(k)); }

int KORD(int code) { return NOROP(code).j; }

// --- Short contacts and accepted distances ----------------------------------

namespace {

bool excluded(int k) {
    const int start = XBUIL.I(xb::kExcl), count = XBUIL.I(xb::kExclCount);
    for (int e = 0; e < count; ++e)
        if (XI(start + e) == k) return true;
    return false;
}

void peak_range(int g, int mode, int n, int& lo, int& hi) {
    if (mode >= 3) {
        lo = 1;
        hi = n;
    } else {
        lo = std::max(1, static_cast<int>(group_first_peak(g)));
        hi = std::min(n, static_cast<int>(group_last_peak(g)));
    }
}

}  // namespace

void exclude_peak(int k) {
    if (excluded(k)) return;
    XI(XBUIL.I(xb::kExclCursor)) = k;
    ++XBUIL.I(xb::kExclCursor);
    ++XBUIL.I(xb::kExclCount);
}

void ANINC(int g, int mode, int n) {
    int lo, hi;
    peak_range(g, mode, n, lo, hi);
    for (int k = lo; k <= hi; ++k) {
        if (group_of(k) != g) continue;
        const int cur = XBUIL.I(xb::kShortCursor);
        XI(XBUIL.I(xb::kShortIndex) + k - 1) = cur;
        const int h = XI(XBUIL.I(xb::kNbrHead) + k - 1);
        const int nrec = h != 0 ? XI(h + 1) : 0;
        need_store(cur + 1 + nrec);
        int count = 0, last = 0;
        for (int r = 0; r < nrec; ++r) {
            const int rec = h + 2 + 5 * r;
            const int m = KORD(XI(rec));
            const int gm = group_of(m);
            if (gm == 0) continue;  // a peak of no species group (hydrogen label) is not judged
            if (XR(rec + 1) < dmin_of(g, gm) && m != last) {
                XI(cur + 1 + count) = m;
                ++count;
                last = m;
            }
        }
        XI(cur) = count;
        XBUIL.I(xb::kShortCursor) = cur + 1 + count;
    }
}

void ANDIS(int g, int mode, int n) {
    int lo, hi;
    peak_range(g, mode, n, lo, hi);
    const int angle_index = XBUIL.I(xb::kAngleIndex);
    for (int k = lo; k <= hi; ++k) {
        if (group_of(k) != g) continue;
        if (excluded(k)) {
            XI(angle_index + k - 1) = 0;
            continue;
        }
        const int cur = XBUIL.I(xb::kAngleCursor);
        XI(angle_index + k - 1) = cur;
        XI(cur) = k;
        XI(cur + 1) = 0;
        const int h = XI(XBUIL.I(xb::kNbrHead) + k - 1);
        const int nrec = h != 0 ? XI(h + 1) : 0;
        need_store(cur + 2 + 3 * nrec);
        int count = 0;
        for (int r = 0; r < nrec; ++r) {
            const int rec = h + 2 + 5 * r;
            const int code = XI(rec);
            const int m = KORD(code);
            if (excluded(m)) continue;
            const int gm = group_of(m);
            if (gm == 0) continue;
            const float dist = XR(rec + 1);
            if (dist < dmin_of(g, gm)) {
                // A contact too short for a bond next to a heavy peak: the
                // lower peak is a ghost (ripple) of the heavy one.
                if (k <= m && group_class(g) == 1) {
                    exclude_peak(m);
                    for (int p = 1; p < k; ++p) {
                        const int ar = XI(angle_index + p - 1);
                        if (ar == 0) continue;
                        const int np = XI(ar + 1);
                        for (int e = 0; e < np; ++e) {
                            if (KORD(XI(ar + 3 + 3 * e)) != m) continue;
                            for (int w = ar + 2 + 3 * e; w < ar + 2 + 3 * (np - 1); ++w) XI(w) = XI(w + 3);
                            XI(ar + 1) = np - 1;
                            break;
                        }
                    }
                }
            } else if (dist <= dmax_of(g, gm)) {
                const int e = cur + 2 + 3 * count;
                XI(e) = rec;
                XI(e + 1) = code;
                XI(e + 2) = 0;
                ++count;
            }
        }
        XI(cur + 1) = count;
        XBUIL.I(xb::kAngleCursor) = cur + 2 + 3 * count;
        if (count != 0) {
            ++XBUIL.I(xb::kBondedPeaks);
            ++XBUIL.I(xb::kScan);
        }
    }
}

float ANG(const float u[3], const float v[3]) {
    double s = 0.0;
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b) s += static_cast<double>(u[a]) * XBUIL.R(xb::kMetric + a + 3 * b) * v[b];
    return static_cast<float>(s);
}

void CALANG(const Desc& d, float rad) {
    const bool print = print_level() > 1;
    if (print) lst("(/,1x,' bond angles in this interpretation',/)");
    int cursor = XBUIL.I(xb::kAngleLists);
    struct Shown {
        int pa, oa, k, pb, ob;
        float angle;
    };
    std::vector<Shown> pending;
    auto flush = [&](bool all) {
        while (pending.size() >= 2 || (all && !pending.empty())) {
            if (pending.size() >= 2) {
                const Shown& a = pending[0];
                const Shown& b = pending[1];
                lst("(1x,2('(',i3,'(',i3,')',' - ',i3,' - ',i3,'(',i3,'))',f6.1,5x))",
                    {a.pa, a.oa, a.k, a.pb, a.ob, a.angle, b.pa, b.oa, b.k, b.pb, b.ob, b.angle});
                pending.erase(pending.begin(), pending.begin() + 2);
            } else {
                const Shown& a = pending[0];
                lst("(1x,'(',i3,'(',i3,')',' - ',i3,' - ',i3,'(',i3,'))',f6.1,5x)",
                    {a.pa, a.oa, a.k, a.pb, a.ob, a.angle});
                pending.clear();
            }
        }
    };
    for (int k = 1; k <= d.n; ++k) {
        const int ar = XI(XBUIL.I(xb::kAngleIndex) + k - 1);
        if (ar == 0) continue;
        const int na = XI(ar + 1);
        if (na < 2) continue;
        need_store(cursor + 2 * na * (na - 1));
        for (int a = 0; a < na; ++a) {
            const int ea = ar + 2 + 3 * a;
            const int reca = XI(ea), codea = XI(ea + 1);
            const float u[3] = {XR(reca + 2), XR(reca + 3), XR(reca + 4)};
            const float da = XR(reca + 1);
            XI(ea + 2) = cursor;
            const NbrCode ca = NOROP(codea);
            for (int b = 0; b < na; ++b) {
                const int eb = ar + 2 + 3 * b;
                const int codeb = XI(eb + 1);
                if (codeb == codea) continue;
                const int recb = XI(eb);
                const float v[3] = {XR(recb + 2), XR(recb + 3), XR(recb + 4)};
                const float prod = da * XR(recb + 1);
                const float div = prod <= 1e-35f ? 1e-5f : prod;
                float cs = ANG(u, v) / div;
                // Rounding may carry a cosine just beyond +-1.
                cs = std::clamp(cs, -1.0f, 1.0f);
                const float angle = std::acos(cs) * rad;
                XI(cursor) = codeb;
                XI(cursor + 1) = static_cast<int32_t>(std::lround(angle));
                cursor += 2;
                const NbrCode cb = NOROP(codeb);
                if (print && ca.j <= cb.j) {
                    pending.push_back({ca.j, ca.s * ca.op, k, cb.j, cb.s * cb.op, angle});
                    flush(false);
                }
            }
        }
    }
    if (print) flush(true);
    XBUIL.I(xb::kFree) = cursor;
}

void STTAB(int start, int stride, int n) {
    if (print_level() <= 1) return;
    const int base = start < 0 ? -start : start;
    for (int i = 1; i <= n; ++i) {
        const int h = XI(base + i - 1);
        if (h == 0) continue;
        const int count = XI(h + 1);
        if (count <= 0) continue;
        std::vector<FItem> items;
        bool first = true;
        auto emit = [&]() {
            if (first) {
                items.insert(items.begin(), FItem(static_cast<int>(XI(h))));
                lst("(i3,')',5(i5,'(',i2,')',f6.2))", items);
            } else {
                lst("(4x,5(i5,'(',i2,')',f6.2))", items);
            }
            items.clear();
            first = false;
        };
        for (int e = 0; e < count; ++e) {
            const int w = h + 2 + stride * e;
            const int rec = start > 0 ? w : XI(w);
            const NbrCode c = NOROP(XI(rec));
            items.emplace_back(c.j);
            items.emplace_back(c.s * c.op);
            items.emplace_back(XR(rec + 1));
            if (items.size() == 15) emit();
        }
        if (!items.empty()) emit();
    }
}

}  // namespace zanek
