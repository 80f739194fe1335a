// Fragment growth: connected sets of peaks whose bond angles fit the angle
// class of their group. Each peak carries a status word state*100 +
// fragment (100 free, 200+f pending, 300+f accepted, 0 dropped,
// -(100p+f) rejected because of peak p). Then the connection table of each
// fragment and, for the atom list, the bond list with two bond points per
// bond for the projection plots.
#include <algorithm>
#include <cmath>
#include <vector>

#include "fourier/interpretation/interp_internal.h"
#include "platform/listing.h"

namespace zanek {

float CNTANG(int c, int j, int k, float angle) {
    const int cls = group_class(group_of(c));
    if (cls < 1 || cls > 3) {
        ld_line("", {static_cast<long>(cls), static_cast<long>(c), static_cast<long>(j), static_cast<long>(k)});
        interpretation_fails("");
    }
    return (angle >= angle_min(cls) && angle <= angle_max(cls)) ? 2.0f : -1.0f;
}

namespace {

constexpr int kMaxCandidates = 30;
constexpr int kMaxNeighbours = 19;  // neighbours in one connection record
constexpr int kMaxPasses = 1000000; // guard against a growth that never settles

enum class Next { PeakDone, CheckContacts, NewPass };

struct Candidate {
    int peak, code, state;
    float nw, cw, score;
};

class Growth {
public:
    Growth(const Desc& d, int ns, const float* w)
        : d_(d), n_(d.n), ns_(ns), w_(w), status_(XBUIL.I(xb::kStatus)), angle_(XBUIL.I(xb::kAngleIndex)),
          short_(XBUIL.I(xb::kShortIndex)) {}

    void run(FragTables& ft) {
        F_ = 1;
        maxF_ = 1;
        first_ = 1;
        pass_ = 0;
        for (int guard = 0; guard < kMaxPasses; ++guard) {
            // 2. One pass from the current first peak.
            ++pass_;
            restart_ = false;
            passcand_ = 0;
            bool again = false;
            for (int c = first_; c <= n_ && !again; ++c) again = peak(c) == Next::NewPass;
            if (again || passcand_ != 0) continue;
            // 9. The fragment stopped growing: on to pending or free peaks.
            int from = 1;
            if (st(first_) == 100) {
                st(first_) = light(first_) ? 0 : F_ + 300;
                if (first_ == n_) break;
                from = first_ + 1;
            }
            int q = from;
            while (q <= n_ && state(q) != 1 && state(q) != 2) ++q;
            if (q > n_) break;
            if (state(q) == 2) {
                first_ = q;
                F_ = frag(q);
            } else {
                if (maxF_ >= kMaxGrownFragments) break;  // the fragment tables are full
                F_ = ++maxF_;                         // a number no fragment uses yet
                first_ = q;
                pass_ = 0;
            }
        }
        close(ft);
    }

private:
    const Desc& d_;
    int n_, ns_;
    const float* w_;
    int status_, angle_, short_;
    int F_ = 1, maxF_ = 1, first_ = 1, pass_ = 0, passcand_ = 0;
    bool restart_ = false;

    int32_t& st(int i) { return XI(status_ + i - 1); }
    int state(int i) { return JCOD(st(i)); }
    int frag(int i) { return JORDFR(st(i)); }
    bool accepted(int i) { return st(i) > 300; }
    int record(int i) { return XI(angle_ + i - 1); }
    int nA(int i) {
        const int a = record(i);
        return a != 0 ? XI(a + 1) : 0;
    }
    int entry_code(int i, int e) { return XI(record(i) + 3 + 3 * e); }
    int entry_list(int i, int e) { return XI(record(i) + 4 + 3 * e); }
    bool light(int i) { return i > XBUIL.I(xb::kLastHeavyPeak) && XBUIL.I(xb::kHeavySpecies) < ns_; }
    void reject(int i, int because) { st(i) = -(100 * because + F_); }

    std::vector<int> shorts(int i) {
        std::vector<int> v;
        const int sc = XI(short_ + i - 1);
        if (sc != 0)
            for (int e = 1; e <= XI(sc); ++e) v.push_back(XI(sc + e));
        return v;
    }
    // The first peak of i's short contacts that is accepted, 0 when none.
    int accepted_short(int i) {
        for (int p : shorts(i))
            if (accepted(p)) return p;
        return 0;
    }

    Next peak(int c) {
        // 3. No bonded neighbours, no longer free, or too close to an
        // accepted peak.
        if (record(c) == 0) {
            st(c) = -(100 + F_);
            return Next::PeakDone;
        }
        if (state(c) <= 0) return Next::PeakDone;
        if (const int p = accepted_short(c)) {
            reject(c, p);
            return Next::PeakDone;
        }
        // 4. The seed of a fragment.
        bool seed = false;
        if (pass_ == 1 && c == first_) {
            if (nA(c) > 0) {
                st(c) = F_ + 200;
            } else {
                st(c) = F_ + 300;
                if (light(c)) {
                    st(c) = 0;
                    return Next::PeakDone;
                }
                for (int p : shorts(c)) {
                    if (p <= c && st(p) >= 0) {
                        reject(c, p);
                        return Next::PeakDone;
                    }
                    if (p > c && st(p) > 0) reject(p, c);
                }
                st(c) = F_ + 200;
            }
            seed = true;
        }
        // 5. Growing a pending peak.
        if (state(c) == 2) {
            const Next r = grow(c, seed);
            if (r == Next::PeakDone) return r;
        }
        // 8. Short contacts of an accepted peak.
        if (st(c) > 300)
            for (int p : shorts(c)) {
                if (p <= c && st(p) >= 300) {
                    reject(c, p);
                    return Next::PeakDone;
                }
                if (p > c && st(p) > 0) reject(p, c);
            }
        return restart_ ? Next::NewPass : Next::PeakDone;
    }

    Next grow(int c, bool seed) {
        if (frag(c) != 0) F_ = frag(c);
        st(c) = F_ + 300;
        const int na = nA(c);
        for (int e = 0; e < na; ++e) {
            const int j = KORD(entry_code(c, e));
            if (st(j) < 0) continue;
            if (seed) {
                if (const int p = accepted_short(j)) {
                    reject(j, p);
                    continue;
                }
                st(j) = F_ + 200;
                if (na == 1) return Next::PeakDone;
                return attach(c, j, e);
            }
            if (state(j) == 3) return attach(c, j, e);
        }
        // No attachment: a heavy peak stays as a fragment of its own.
        st(c) = 0;
        if (c <= XBUIL.I(xb::kLastHeavyPeak) || XBUIL.I(xb::kHeavySpecies) == ns_) st(c) = F_ + 300;
        return Next::CheckContacts;
    }

    // 6-7. c joins through its neighbour j (entry e); the other neighbours
    // of c whose angle j-c-k fits become candidates, and the compatible
    // best of them are taken.
    Next attach(int c, int j, int e) {
        const int fj = frag(j);
        if (fj != F_) {
            for (int i = 1; i <= n_; ++i)
                if (st(i) > 0 && frag(i) == F_) st(i) = 100 * state(i) + fj;
            F_ = fj;
        }
        const int na = nA(c);
        if (na == 1) {
            st(j) = fj + 300;
            return Next::PeakDone;
        }
        Candidate cand[kMaxCandidates];
        int nc = 0;
        const int list = entry_list(c, e);
        for (int q = 0; q < na - 1; ++q) {
            const int code = XI(list + 2 * q);
            const float angle = static_cast<float>(XI(list + 2 * q + 1));
            const int k = KORD(code);
            if (state(k) <= 0) continue;
            if (accepted_short(k)) {
                st(k) = 0;
                continue;
            }
            if (CNTANG(c, j, k, angle) != 2.0f) {
                if (state(k) == 3) {
                    reject(c, j);
                    return Next::PeakDone;
                }
                reject(k, j);
                continue;
            }
            if (nc >= kMaxCandidates) continue;
            float nw = 0.0f;
            for (int b = 0; b < nA(k); ++b) nw += w_[KORD(entry_code(k, b))];
            cand[nc++] = {k, code, state(k), nw, 0.0f, 0.0f};
        }
        passcand_ += nc;
        if (nc == 0) return Next::CheckContacts;
        if (nc == 1) {
            if (!accepted(cand[0].peak)) st(cand[0].peak) = F_ + 200;
            restart_ = true;
            return Next::CheckContacts;
        }
        // Compatibility of each pair of candidates through the angle at c.
        bool fits[kMaxCandidates][kMaxCandidates] = {};
        for (int v = 0; v < nc; ++v) {
            int ev = -1;
            for (int b = 0; b < na && ev < 0; ++b)
                if (entry_code(c, b) == cand[v].code) ev = b;
            if (ev < 0) continue;
            const int lv = entry_list(c, ev);
            for (int q = 0; q < na - 1; ++q) {
                const int code = XI(lv + 2 * q);
                int u = -1;
                for (int t = 0; t < nc && u < 0; ++t)
                    if (cand[t].code == code) u = t;
                if (u < 0) continue;
                const float r = CNTANG(c, cand[v].peak, cand[u].peak, static_cast<float>(XI(lv + 2 * q + 1)));
                if (r != 2.0f && cand[v].state == 3 && cand[u].state == 3) {
                    reject(c, j);
                    return Next::PeakDone;
                }
                fits[v][u] = r == 2.0f;
                if (r == 2.0f) cand[v].cw += w_[cand[u].peak];
            }
        }
        for (int v = 0; v < nc; ++v)
            cand[v].score = 10.0f * static_cast<float>(cand[v].state) + 2.0f * w_[cand[v].peak] + cand[v].cw +
                            0.33f * cand[v].nw;
        for (;;) {
            float best = 0.0f;
            int bi = -1;
            for (int v = 0; v < nc; ++v)
                if (cand[v].score > best) {
                    best = cand[v].score;
                    bi = v;
                }
            if (bi < 0 || best < 0.001f) break;
            cand[bi].score = 0.0f;
            const int p = cand[bi].peak;
            if (!accepted(p)) st(p) = F_ + 200;
            for (int u = 0; u < nc; ++u)
                if (u != bi && !fits[bi][u]) {
                    reject(cand[u].peak, p);
                    cand[u].score = 0.0f;
                }
        }
        restart_ = true;
        return Next::CheckContacts;
    }

    // 10. Fragment counts; lone peaks dissolved unless heavy; numbers
    // closed up; the largest fragment becomes number 1.
    void close(FragTables& ft) {
        int* nfr = ft.nfr;
        for (int f = 0; f <= 100; ++f) nfr[f] = 0;
        int count = 0;
        for (int i = 1; i <= n_; ++i)
            if (st(i) > 0 && state(i) == 3) {
                ++nfr[frag(i)];
                count = std::max(count, frag(i));
            }
        if (count >= 2) {
            bool changed = true;
            while (changed) {
                changed = false;
                for (int f = 1; f <= count && !changed; ++f) {
                    if (nfr[f] == 1) {
                        int i = 1;
                        while (i <= n_ && !(st(i) > 0 && state(i) == 3 && frag(i) == f)) ++i;
                        if (!(i <= n_ && accepted(i) && i - 1 <= XBUIL.I(xb::kLastHeavyPeak))) {
                            if (i <= n_) st(i) = 0;
                            nfr[f] = 0;
                            changed = true;
                        }
                    }
                    if (nfr[f] != 0) continue;
                    if (f == count) {
                        --count;
                        changed = true;
                        continue;
                    }
                    for (int i = 1; i <= n_; ++i)
                        if (frag(i) > f) st(i) += st(i) > 0 ? -1 : 1;
                    for (int g = f; g < 100; ++g) nfr[g] = nfr[g + 1];
                    nfr[100] = 0;
                    --count;
                    changed = true;
                }
            }
            int big = 1;
            for (int f = 1; f <= count; ++f)
                if (nfr[f] >= nfr[big]) big = f;
            if (big != 1) {
                std::swap(nfr[1], nfr[big]);
                for (int i = 1; i <= n_; ++i) {
                    const int fr = frag(i);
                    const int to = fr == 1 ? big : (fr == big ? 1 : fr);
                    if (to != fr) st(i) += st(i) > 0 ? to - fr : fr - to;
                }
            }
        }
        XBUIL.I(xb::kFragments) = count;
    }
};

}  // namespace

void INTCLU(const Desc& d, FragTables& ft, int ns, const float* w, int mode) {
    (void)mode;
    Growth(d, ns, w).run(ft);
}

void STORCL(Desc& d, FragTables& ft, const Lattice& lat, int res) {
    const int n = d.n;
    const int status = XBUIL.I(xb::kStatus), angle = XBUIL.I(xb::kAngleIndex);
    const int nfrag = XBUIL.I(xb::kFragments);
    const int start = XBUIL.I(xb::kFree);
    for (int& p : ft.fptr) p = 0;
    ft.fptr[1] = start;
    int wp = start + n;
    bool first = true;
    for (int f = 1; f <= nfrag; ++f) {
        if (ft.nfr[f] <= 0) continue;
        if (!first) {
            ft.fptr[f] = wp;
            wp += n;
        }
        first = false;
        if (wp + n >= 244000 - n) {
            ld_line(" storcl mcon2,n15,llfl = ", {static_cast<long>(n), 244000L - n, static_cast<long>(wp + n)});
            interpretation_fails(" store overflow");
        }
        const int table = ft.fptr[f];
        for (int i = 0; i < n; ++i) XI(table + i) = 0;
        int written = 0;
        for (int i = 1; i <= n && written < ft.nfr[f]; ++i) {
            const int s = XI(status + i - 1);
            if (!(s > 300 && JORDFR(s) == f)) continue;
            int codes[kMaxNeighbours];
            int m = 0;
            if (ft.nfr[f] > 1) {
                const int a = XI(angle + i - 1);
                const int na = a != 0 ? XI(a + 1) : 0;
                if (na == 0) continue;
                for (int e = 0; e < na; ++e) {
                    const int p = KORD(XI(XI(a + 2 + 3 * e)));
                    const int sp = XI(status + p - 1);
                    if (!(sp > 300 && JORDFR(sp) == f)) continue;
                    if (m >= kMaxNeighbours) break;  // more neighbours than a record holds
                    int r = p == i ? 1 : 0;
                    for (int q = 0; q < m; ++q)
                        if (codes[q] / 10 == p) ++r;
                    codes[m++] = 10 * p + r;
                }
            }
            need_store(wp + 2 + m);
            XI(table + i - 1) = wp;
            XI(wp) = i;
            XI(wp + 1) = m;
            for (int q = 0; q < m; ++q) XI(wp + 2 + q) = codes[q];
            wp += 2 + m;
            ++written;
        }
    }
    XBUIL.I(xb::kFree) = wp + n;
    ft.fptr[std::min(nfrag + 1, 50)] = wp;
    const float saved10 = XBUIL.R(xb::kMaxDist2);
    int scratch = 0;
    CHGXYZ(d, lat, ft, scratch, res);
    XBUIL.R(xb::kMaxDist2) = saved10;
}

void BONDER(const Desc& d, const FragTables& ft, int& newn, int& newstart, int b) {
    const int n = d.n;
    newn = n;
    newstart = XBUIL.I(xb::kFree);
    need_store(newstart + 8 * n);
    copy_words(XDATA.at(newstart), XDATA.at(d.peaks), static_cast<std::size_t>(8 * n));
    const float* g = &XBUIL.R(xb::kMetric);
    const int max_bonds = (32 * n - 1) / 2;
    int nb = 0;
    auto pos = [&](int k, int c) { return static_cast<double>(XR(newstart + 8 * (k - 1) + 1 + c)); };
    for (int f = 1; f <= XBUIL.I(xb::kFragments) && f <= kMaxGrownFragments; ++f) {
        const int table = ft.fptr[f];
        if (table == 0 || ft.nfr[f] <= 0) continue;
        for (int i = 1; i <= n; ++i) {
            const int idx = XI(table + i - 1);
            if (idx == 0) continue;
            const int c = XI(idx), m = XI(idx + 1);
            for (int q = 0; q < m; ++q) {
                const int code = XI(idx + 2 + q);
                const int p = code / 10;
                if (!(p > c && code == 10 * p)) continue;
                double delta[3];
                for (int k = 0; k < 3; ++k) delta[k] = pos(c, k + 1) - pos(p, k + 1);
                const double dist = std::sqrt(metric2(g, delta));
                const int gc = std::max(1, static_cast<int>(group_of(c))), gp = std::max(1, static_cast<int>(group_of(p)));
                if (dist > dmax_of(gc, gp) || nb >= max_bonds) continue;
                ++nb;
                XI(b + 2 * nb - 1) = static_cast<int32_t>(std::lround(XR(newstart + 8 * (c - 1) + 1)));
                XI(b + 2 * nb) = static_cast<int32_t>(std::lround(XR(newstart + 8 * (p - 1) + 1)));
                need_store(newstart + 8 * (newn + 2));
                for (int t = 1; t <= 2; ++t) {
                    const int r = newstart + 8 * newn;
                    XDATA.W(r) = XDATA.W(newstart);
                    XR(r + 1) = static_cast<float>(f);
                    for (int k = 0; k < 3; ++k) XR(r + 2 + k) = static_cast<float>(pos(c, k + 1) - delta[k] * t / 3.0);
                    XR(r + 5) = -9999.0f;
                    XR(r + 6) = 0.0f;
                    XR(r + 7) = 0.0f;
                    ++newn;
                }
            }
        }
    }
    XI(b) = nb;
    XBUIL.I(xb::kFree) = newstart + 8 * newn;
}

}  // namespace zanek
