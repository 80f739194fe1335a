// Connected positions and polymeric links. The peak search gives each peak
// at some symmetry-equivalent place in the cell, so a bonded fragment comes
// out scattered over several asymmetric units. CHGXYZ moves the peaks to
// equivalent positions so that every fragment is one connected piece (ring
// atoms first, by walking round the rings), brings each fragment next to
// the ones before it and puts every other peak beside its nearest fragment
// atom. A ring bond that closes only through a symmetry operation marks a
// polymeric structure.
#include <algorithm>
#include <cmath>
#include <vector>

#include "fourier/interpretation/interp_internal.h"
#include "platform/listing.h"

namespace zanek {

namespace {

constexpr float kWindow2 = 10000.0f;  // 100 A: every image counts
constexpr int kMaxLinks = 200;
constexpr int kMaxWalkCandidates = 50;

Images& scratch_images() {
    static Images im;
    return im;
}

// Index of the nearest image (the last of equal ones), -1 when none.
int nearest(const Images& im) {
    int best = -1;
    float d2 = 100000.0f;
    for (int e = 0; e < im.count; ++e)
        if (im.d2[e] <= d2) {
            d2 = im.d2[e];
            best = e;
        }
    return best;
}

// Position of x under a packed code's operation and a whole-cell shift.
void apply_code(const Desc& d, const Lattice& lat, int code, const float shift[3], const float x[3], float y[3]) {
    const NbrCode c = NOROP(code);
    const int r = d.ops + d.op_len * (std::max(c.op, 1) - 1);
    const int L = std::clamp(c.l, 1, 4);
    for (int k = 0; k < 3; ++k) {
        const double v = static_cast<double>(XR(r + 3 * k)) * x[0] + static_cast<double>(XR(r + 3 * k + 1)) * x[1] +
                         static_cast<double>(XR(r + 3 * k + 2)) * x[2] + XR(r + 9 + k);
        y[k] = static_cast<float>(c.s * v + lat.tv[L - 1][k] + shift[k]);
    }
}

void position(const Desc& d, int k, float x[3]) {
    for (int c = 0; c < 3; ++c) x[c] = XR(peak_word(d, k, 3 + c));
}

struct Walk {
    int degree = 0;   // D' (copy of the degree table)
    int list = 0;     // walk list
    int count = 0;    // entries of the walk list
    std::vector<int> links;  // pairs (cur, p)
};

// Next ring atom of the walk from cur (1 when there is one).
int MNDST(const Desc& d, const Lattice& lat, const FragTables& ft, int f, Walk& w, int start, int cur, int& next) {
    next = 0;
    const int idx = XI(ft.fptr[f] + cur - 1);
    if (idx == 0 || XI(idx + 1) == 0) return 0;
    auto D = [&](int i) -> int32_t& { return XI(w.degree + i - 1); };
    const int came_from = w.count >= 2 ? std::abs(XI(w.list + w.count - 2)) : 0;
    int from = start, result = 0, ncand = 0;
    float values[kMaxWalkCandidates];
    for (int e = 0; e < XI(idx + 1); ++e) {
        const int p = XI(idx + 2 + e) / 10;
        if (D(p) == 0 || (w.count >= 2 && p == came_from)) continue;
        if (p == start) from = cur;
        int j = 1;
        float dist = 0.0f;
        if (p != cur) {
            float x[3];
            j = JUPXYZ(d, lat, from, p, x, dist);
        }
        if (D(p) < 0 && j == 1 && static_cast<int>(w.links.size()) < 2 * kMaxLinks) {
            bool known = false;
            for (std::size_t q = 0; q < w.links.size(); q += 2)
                if ((w.links[q] == cur && w.links[q + 1] == p) || (w.links[q] == p && w.links[q + 1] == cur)) known = true;
            if (!known) {
                w.links.push_back(cur);
                w.links.push_back(p);
            }
        }
        if (p == cur || D(p) <= 0) continue;
        const float value = D(p) == 40 ? dist + 100.0f : dist;
        if (D(p) == 40 && ncand > 0) continue;  // an entered junction only as the first choice
        if (ncand == 0) {
            next = p;
            result = 1;
        } else {
            for (int q = 0; q < ncand; ++q)
                if (value < values[q]) {
                    next = p;
                    break;
                }
        }
        if (ncand < kMaxWalkCandidates) values[ncand++] = value;
    }
    return result;
}

}  // namespace

int JUPXYZ(const Desc& d, const Lattice& lat, int i, int k, float x[3], float& dist) {
    Images& im = scratch_images();
    IDST(d, lat, i, k, im);
    const int e = nearest(im);
    if (e < 0) return 0;
    for (int c = 0; c < 3; ++c) x[c] = im.pos[e][c];
    dist = std::sqrt(im.d2[e]);
    for (int c = 0; c < 3; ++c)
        if (std::fabs(x[c] - XR(peak_word(d, k, 3 + c))) > 0.001f) return 1;
    return 0;
}

void CHCOO(const Desc& d, int k, const float x[3]) {
    for (int c = 0; c < 3; ++c) XR(peak_word(d, k, 3 + c)) = x[c];
}

void SORDA(int f, const Desc& d, const FragTables& ft, int scratch, int nfused, const Lattice& lat) {
    const int n = d.n;
    Walk w;
    w.degree = XBUIL.I(xb::kFree);
    w.list = w.degree + n;
    need_store(w.list + n);
    XBUIL.I(xb::kFree) = w.list + n;
    auto D = [&](int i) -> int32_t& { return XI(w.degree + i - 1); };
    int top = 0;
    for (int i = 1; i <= n; ++i) {
        D(i) = XI(scratch + i - 1) < 2 ? 0 : XI(scratch + i - 1);
        top = std::max(top, static_cast<int>(D(i)));
    }
    auto append = [&](int v) {
        if (w.count < n) XI(w.list + w.count++) = v;
    };
    int s = std::max(nfused > 0 ? 3 : 2, top);
    int scan = 1;
    for (int guard = 0; guard < 100000; ++guard) {
        int i = scan;
        while (i <= n && D(i) != s) ++i;
        if (i > n) {
            if (s == -3 || s == 2) break;
            s = s == 40 ? -3 : 40;
            scan = 1;
            continue;
        }
        if (s == 40) {
            D(i) = -3;
            append(-i);
        } else if (s >= 3 && s < 40) {
            D(i) = 40;
            append(i);
            s = 40;
        } else if (s == 2) {
            D(i) = -2;
            append(i);
        }
        const int scan_made = scan;
        const int start = i;
        int cur = i, p = 0;
        bool junction_closed = false;
        while (MNDST(d, lat, ft, f, w, start, cur, p) == 1) {
            if (s == -3) s = 40;
            if (D(p) == 40) {
                D(p) = -3;
                junction_closed = true;
                break;
            }
            float x[3];
            float dist = 0.0f;
            position(d, p, x);
            JUPXYZ(d, lat, cur, p, x, dist);
            CHCOO(d, p, x);
            const int dp = D(p);
            D(p) = (dp >= 3 && dp < 40) ? 40 : -2;
            append(p);
            cur = p;
        }
        if (junction_closed) {
            scan = 1;
            continue;
        }
        if (s == -3) {
            scan = scan_made + 1;
            if (scan > n) break;
        } else if (s == 2) {
            break;
        } else {
            scan = 1;
        }
    }
    for (int i = 1; i <= n; ++i)
        if (D(i) <= -2) XI(scratch + i - 1) = 2;

    // Ring bonds that close only through a symmetry operation.
    if (print_level() > 0 && !w.links.empty()) {
        std::vector<FItem> items;
        for (int v : w.links) items.emplace_back(v);
        const std::size_t first = std::min<std::size_t>(items.size(), 6);
        lst("(1x,'interpretation finds a polimeric structure through',' bond(s) ',3(2i3,4x))",
            std::vector<FItem>(items.begin(), items.begin() + static_cast<long>(first)));
        for (std::size_t q = first; q < items.size(); q += 16)
            lst("(1x,8(2i3,4x))", std::vector<FItem>(items.begin() + static_cast<long>(q),
                                                     items.begin() + static_cast<long>(std::min(items.size(), q + 16))));
    }
}

void CHGXYZ(Desc& d, const Lattice& lat, const FragTables& ft, int& scratch, int res) {
    const int n = d.n;
    const int nfrag = XBUIL.I(xb::kFragments);
    // 1. Membership table, the copy of the peak records, the centroids.
    const int E = XBUIL.I(xb::kFree);
    need_store(E + 17 * n + 8 * nfrag);
    copy_words(XDATA.at(E + n), XDATA.at(d.peaks), static_cast<std::size_t>(8 * n));
    const int centroids = E + 9 * n;
    for (int k = centroids; k < centroids + 8 * std::max(n, nfrag); ++k) XI(k) = 0;
    XBUIL.I(xb::kFree) = E + n + 8 * n + 8 * std::max(n, nfrag);
    const float saved10 = XBUIL.R(xb::kMaxDist2);
    XBUIL.R(xb::kMaxDist2) = kWindow2;
    d.peaks = E + n;
    auto memb = [&](int i) -> int32_t& { return XI(E + i - 1); };
    const int status = XBUIL.I(xb::kStatus);
    auto st = [&](int i) -> int32_t& { return XI(status + i - 1); };
    auto centroid = [&](int f) { return centroids + 8 * (f - 1); };
    auto in_fragment = [&](int i, int f) { return st(i) > 0 && JORDFR(st(i)) == f; };

    // 2. Each fragment made one connected piece.
    for (int f = 1; f <= nfrag; ++f) {
        double C[3] = {0, 0, 0};
        for (int i = 1; i <= n; ++i) memb(i) = in_fragment(i, f) ? 1 : 0;
        if (ft.fptr[f] == 0 || ft.nfr[f] <= 0) continue;
        RingInfo ri;
        CHANEL(f, n, ft, ri, 0);
        scratch = ri.start;
        auto add = [&](int k) {
            for (int c = 0; c < 3; ++c) C[c] += XR(peak_word(d, k, 3 + c));
        };
        bool placed_any = false;
        if (ri.nring > 0) {
            SORDA(f, d, ft, scratch, ri.nfused, lat);
            for (int i = 1; i <= n; ++i)
                if (XI(scratch + i - 1) == 2 && memb(i) != 0) {
                    memb(i) = 2;
                    add(i);
                    placed_any = true;
                }
        }
        for (bool placed = true; placed;) {
            placed = false;
            for (int i = 1; i <= n; ++i) {
                if (!placed_any && memb(i) == 1) {
                    memb(i) = 2;
                    add(i);
                    placed_any = placed = true;
                }
                if (memb(i) != 2) continue;
                const int idx = XI(ft.fptr[f] + i - 1);
                if (idx == 0) continue;
                for (int e = 0; e < XI(idx + 1); ++e) {
                    const int code = XI(idx + 2 + e);
                    const int p = code / 10;
                    if (code % 10 != 0 || memb(p) != 1) continue;
                    float x[3], dist = 0.0f;
                    position(d, p, x);
                    if (JUPXYZ(d, lat, i, p, x, dist) == 1) CHCOO(d, p, x);
                    for (int c = 0; c < 3; ++c) C[c] += x[c];
                    memb(p) = 2;
                    placed = true;
                }
            }
        }
        const int r = centroid(f);
        XI(r) = f;
        XR(r + 1) = static_cast<float>(n + f);
        for (int c = 0; c < 3; ++c) XR(r + 2 + c) = static_cast<float>(C[c] / ft.nfr[f]);
        XR(r + 5) = XR(r + 6) = 0.0f;
    }

    // 3. Each further fragment beside the nearest earlier one.
    Images& im = scratch_images();
    for (int f = 2; f <= nfrag; ++f) {
        int best_code = 0;
        float best_d2 = 100000.0f, shift[3] = {0, 0, 0};
        bool found = false;
        for (int k = 1; k < f; ++k) {
            IDST(d, lat, n + k, n + f, im);
            if (im.count == 0) interpretation_fails(" ntot=0");
            for (int e = 0; e < im.count; ++e)
                if (im.d2[e] <= best_d2) {
                    best_d2 = im.d2[e];
                    best_code = im.code[e];
                    for (int c = 0; c < 3; ++c) shift[c] = im.trans[e][c];
                    found = true;
                }
        }
        if (!found) continue;
        const int r = centroid(f);
        XI(r) = best_code;
        double C[3] = {0, 0, 0};
        int moved = 0;
        for (int i = 1; i <= n; ++i) {
            if (!in_fragment(i, f)) continue;
            float x[3], y[3];
            position(d, i, x);
            apply_code(d, lat, best_code, shift, x, y);
            CHCOO(d, i, y);
            for (int c = 0; c < 3; ++c) C[c] += y[c];
            ++moved;
        }
        if (moved > 0)
            for (int c = 0; c < 3; ++c) XR(r + 2 + c) = static_cast<float>(C[c] / moved);
    }

    // 4. Every other peak beside its nearest fragment atom, or fragment.
    for (int i = 1; i <= n; ++i) {
        if (st(i) > 0) continue;
        const int h = XI(XBUIL.I(xb::kNbrHead) + i - 1);
        int p = 0;
        float pd = 0.0f;
        for (int e = 0; h != 0 && e < XI(h + 1); ++e) {
            const int rec = h + 2 + 5 * e;
            const int m = KORD(XI(rec));
            if (memb(m) != 2) continue;
            if (p == 0 || XR(rec + 1) < pd) {
                p = m;
                pd = XR(rec + 1);
            }
        }
        const int kept = std::abs(st(i)) / 100;
        int chosen = -1;
        if (p != 0) {
            st(i) = -(100 * kept + JORDFR(st(p)));
            IDST(d, lat, p, i, im);
            chosen = nearest(im);
            if (chosen >= 0) CHCOO(d, i, im.pos[chosen]);
        } else if (nfrag > 0) {
            float best_d2 = 100000.0f, x[3] = {0, 0, 0};
            int best_k = 0;
            for (int k = 1; k <= nfrag; ++k) {
                IDST(d, lat, n + k, i, im);
                if (im.count == 0) interpretation_fails(" ntot=0");
                for (int e = 0; e < im.count; ++e)
                    if (im.d2[e] <= best_d2) {
                        best_d2 = im.d2[e];
                        best_k = k;
                        for (int c = 0; c < 3; ++c) x[c] = im.pos[e][c];
                    }
            }
            st(i) = -(100 * kept + best_k);
            CHCOO(d, i, x);
        }
    }

    // 5. The moved positions into the working peak table.
    copy_words(XDATA.at(res + 8 * n), XDATA.at(E + n), static_cast<std::size_t>(8 * n));
    XBUIL.R(xb::kMaxDist2) = saved10;
    d.peaks = E + n;
}

}  // namespace zanek
