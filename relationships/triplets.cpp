// Relation record (three relation words; items of lists 8, 10, 11 and 24):
//
//   word  A                        B                       C
//   1     i, first row (positive)  sigma*j, second row     PHI div 15
//   2     -tau*k, third row        round(100 G)            t, symmetry shift
//   3     32 m + q - 2048          round(100 G) of p-3     PHI mod 15
//
// m is the operator that carried the second reflection, q the operator of
// the image that matched the third: h_i + sigma h_j R_m - tau h_k R_q = 0,
// and the invariant phi(h_i) + sigma phi(h_j R_m) - tau phi(h_k R_q) equals
// phi_i + sigma phi_j - tau phi_k + 15 t degrees in the phases of the table
// rows. PHI (0..359) is that sum from the known phases.
//
// Psi-zero record (items of list 9): word 1 (sigma*j, -tau*k, t), with 2^30
// added on the first item of each weak reflection; word 2 (i, sigma*j, t).
#include "relationships/triplets.h"

#include "crystaldata/equivalents.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "jobcontrol/lists/listxx.h"
#include "jobcontrol/numeric.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/invariants.h"
#include "jobcontrol/records/phaseset.h"
#include "platform/listing.h"
#include "relationships/known_phase_stats.h"
#include "relationships/pseudo_reliab.h"

namespace zanek {

using namespace invtab;

namespace {

constexpr int kPsiZeroPerWeak = 80;     // relations kept per weak reflection
constexpr int kPsiZeroCapacity = 20000;
constexpr int kPsiECapacity = 8000;
constexpr float kGClip = 20.47f;
constexpr int32_t kGroupMark = 1 << 30;  // first item of a weak reflection in list 9
constexpr int kShownInconsistent = 10;
// Under pseudo-translation a psi-zero relation above this is rejected.
constexpr float kPseudoPsiZeroLimit = 0.2f;

int32_t g_smallest_word = 0;

int nsym() { return std::clamp(SYM.I(symw::kOps), 0, 24); }
bool centric() { return SYM.I(symw::kCentric) == 1; }

// Phase shift of operator op for the untransformed h, in 15-degree steps
// (0..23): nint(24 h.t) reduced modulo 24.
int shift_steps(const int h[3], int op) {
    const double u = 24.0 * (h[0] * static_cast<double>(erl_T(op, 1)) + h[1] * static_cast<double>(erl_T(op, 2)) +
                             h[2] * static_cast<double>(erl_T(op, 3)));
    return pmod(static_cast<int>(std::lround(u)), 24);
}

// isr entry of an image: its sign, row and operator.
constexpr int32_t isr_entry(int sign, int row, int op) { return sign * (row * 32 + op); }

// The relation store of one pass: appends while there is room; for
// triplets, once full, every further triplet whose G is not below the
// smallest stored one replaces it.
class RelationStore {
public:
    explicit RelationStore(int capacity) : capacity_(std::clamp(capacity, 0, kRelations)) {}

    bool full() const { return stored_ >= capacity_; }
    int stored() const { return stored_; }
    int overflow() const { return overflow_; }

    void append(const int32_t w[3], float key) {
        ++stored_;
        put(stored_, w, key);
    }

    // The smallest stored key; on the first call with a full store the
    // store is sorted and its last relation is the smallest.
    float smallest_key() {
        ensure_sorted();
        return key1(smallest_);
    }

    void offer(const int32_t w[3], float key) {
        ensure_sorted();
        ++overflow_;
        if (key < key1(smallest_)) return;
        put(smallest_, w, key);
        lowest_replaced_ = std::min(lowest_replaced_, smallest_);
        // Records before the lowest one replaced are still in decreasing
        // order, so the smallest lies at or after the one just before it.
        int best = std::max(lowest_replaced_ - 1, 1);
        for (int n = best + 1; n <= stored_; ++n)
            if (key1(n) <= key1(best)) best = n;
        smallest_ = best;
    }

private:
    void put(int n, const int32_t w[3], float key) {
        for (int k = 1; k <= 3; ++k) relation(n, k) = w[k - 1];
        key1(n) = key;
        key2(n) = key;
    }
    void ensure_sorted() {
        if (sorted_) return;
        SORTGN(stored_);
        sorted_ = true;
        smallest_ = stored_;
        lowest_replaced_ = stored_ + 1;
    }

    int capacity_;
    int stored_ = 0;
    int overflow_ = 0;
    bool sorted_ = false;
    int smallest_ = 0;
    int lowest_replaced_ = 0;
};

// A table row in the form the generation loop reads it.
struct RowData {
    int h[3];
    int s;
    float e;
    int phase;
    int restriction;
};

RowData row_data(int r) {
    RowData d;
    unpack_index(row_index(r), d.h);
    d.s = super_index(d.h);
    d.e = row_e(r);
    d.phase = row_phase(r);
    d.restriction = row_restriction(r);
    return d;
}

// The listing of the symmetry-inconsistent triplets.
void show_inconsistent(int count, int& hdrflag, int i, int j, int k) {
    if (count > kShownInconsistent) return;
    if (count == 1 && hdrflag == 0) {
        hdrflag = 1;
        lst_blank(2);
        lst_line("  the following triplets are symmetry inconsistent: they have been excluded from the procedure");
        lst_blank(2);
        lst("(10x,3('code',2x,'ph.rest.',5x))");
    }
    lst("(10x,3(1x,i3,1x,a9,5x))", {i, restriction_text(row_restriction(i)), j,
                                     restriction_text(row_restriction(j)), k, restriction_text(row_restriction(k))});
    if (count == kShownInconsistent) {
        lst_line(std::string(10, ' ') + " ..... and so on");
        lst_blank();
    }
}

// Relations listed three to a line at print level 2.
class RelationLines {
public:
    void add(int a, int b, float g, int phi) {
        items_.insert(items_.end(), {a, b, g, phi});
        if (items_.size() == 12) flush();
    }
    void flush() {
        if (!items_.empty()) lst("(3(2x,2i4,f7.2,i5))", items_);
        items_.clear();
    }

private:
    std::vector<FItem> items_;
};

// Under pseudo-translation: G (the p-3 estimate) := the modified estimate
// of the relation; false when the relation is to be skipped (a psi relation
// of three pseudo-translation weak reflections, a triplet of |G| below
// 0.001). With known phases the relation enters the class statistics.
bool pseudo_estimate(int kind, int i, int j, int k, int sigma, int tau, int m, int q, float ei, float ej, float ek,
                     int phi, float& g) {
    int h1[3], h2[3], h3[3];
    int32_t rec[16];
    PSEUDT(g, i, j, k, sigma, tau, m, q, h1, h2, h3, ei, ej, ek, rec);
    if (kind == 1 && rec[4] == 0 && rec[9] == 0 && rec[14] == 0) return false;
    if (kind == 0 && std::fabs(g) < 0.001f) return false;
    pseudo_class_entry(rec, g, phi);
    return true;
}

}  // namespace

// ===========================================================================

void invtab::unpack_index(int32_t w, int hkl[3]) {
    hkl[0] = w / 16384 - 64;
    hkl[1] = (w % 16384) / 128 - 64;
    hkl[2] = w % 128 - 64;
}

int32_t invtab::pack_eword(float e, int phase) {
    const int32_t e100 = static_cast<int32_t>(std::floor(100.0 * static_cast<double>(e) + 0.5));
    return e100 * 512 + pmod(phase, 360);
}

void symmetry_image(const int h[3], int op, int out[3]) {
    for (int c = 1; c <= 3; ++c) out[c - 1] = h[0] * erl_R(op, 1, c) + h[1] * erl_R(op, 2, c) + h[2] * erl_R(op, 3, c);
}

int super_index(const int h[3]) { return PARAM.I(param::kStrideH) * h[0] + PARAM.I(param::kStrideK) * h[1] + h[2]; }

int round100(double g) { return static_cast<int>(std::lround(100.0 * g)); }

int32_t& smallest_g_word() { return g_smallest_word; }

void SCHKL(int n, int hkl[3]) { unpack_index(row_index(n), hkl); }

void DECOM(int n, float& g, float& gp3, int& t, int& phi) {
    int32_t a[3], b[3], c[3];
    for (int w = 1; w <= 3; ++w) UNPAK3(relation(n, w), a[w - 1], b[w - 1], c[w - 1]);
    g = static_cast<float>(b[1]) / 100.0f;
    gp3 = static_cast<float>(b[2]) / 100.0f;
    t = c[1];
    phi = 15 * c[0] + c[2];
    const int signed_rows[3] = {a[0], b[0], a[1]};
    for (int k = 0; k < 3; ++k) {
        cp10::row(1 + k) = std::abs(signed_rows[k]);
        cp10::sign(1 + k) = signed_rows[k] < 0 ? -1 : 1;
    }
    cp10::op(1) = 1;
    cp10::op(2) = (a[2] + 2048) / 32;
    cp10::op(3) = (a[2] + 2048) % 32;
    for (int k = 0; k < 3; ++k) {
        const float e = row_e(cp10::row(1 + k));
        cp10::q(1 + k) = e * e - 1.0f;
    }
}

void SORTGN(int n) {
    if (n <= 1) return;
    auto exchange = [](int p, int r) {
        for (int w = 1; w <= 3; ++w) std::swap(relation(p, w), relation(r, w));
        std::swap(key1(p), key1(r));
        std::swap(key2(p), key2(r));
    };
    for (int d = 2;; d *= 2) {
        const int gap = std::max(n / d, 1);
        bool exchanged = true;
        while (exchanged) {
            exchanged = false;
            for (int p = 1; p <= n - gap; ++p)
                if (key1(p) < key1(p + gap)) {
                    exchange(p, p + gap);
                    exchanged = true;
                }
        }
        if (gap == 1) return;
    }
}

void build_relation_images() {
    const int ns = nsym();
    const int rows = std::clamp(DIRTR.I(dirtr::kStrongRows), 0, kPairs / std::max(ns, 1));
    for (int p = 1; p <= kPairs; ++p) image_s(p) = 0;
    const int largest = std::clamp(PARAM.I(param::kLargest), 0, kIsrSize);
    for (int s = 1; s <= largest; ++s) isr(s) = 0;
    for (int r = 1; r <= rows; ++r) {
        int h[3];
        SCHKL(r, h);
        int sop[25];
        for (int op = 1; op <= ns; ++op) {
            int hp[3];
            symmetry_image(h, op, hp);
            const int s = super_index(hp);
            sop[op] = s;
            const int p = (r - 1) * ns + op;
            bool repeated = false;
            for (int o = 1; o < op; ++o) repeated = repeated || sop[o] == s;
            image_s(p) = repeated ? 0 : s;
            image_word(p) = ((hp[1] + 64) * 128 + (hp[2] + 64)) * 32 + shift_steps(h, op);
            const int a = std::abs(s);
            if (a >= 1 && a <= largest && isr(a) == 0) isr(a) = isr_entry(s < 0 ? -1 : 1, r, op);
        }
    }
}

PassOutcome generate_relations(int kind, int mode, int capacity, float gmin_psie, int& hdrflag) {
    const int ns = nsym();
    const bool acentric = !centric();
    const int nrtr = DIRTR.I(dirtr::kNrtr);
    const int nrps = DIRPS.I(dirps::kNrps);
    const int nlar = DIRPS.I(dirps::kNlar);
    const int largest = std::clamp(PARAM.I(param::kLargest), 0, kIsrSize);
    const int kmax = UREQ.I(ureqw::kKmax), lmax = UREQ.I(ureqw::kLmax);
    const float q = INP.R(inp::kQ);
    const float factor = acentric ? 2.0f : 1.0f;
    const int print = UREQ.I(ureqw::kPrint);
    const bool psi_zero = kind == 1 && mode == 0;
    const bool psi_e = kind == 1 && mode == 1;
    const bool pseudo = pseudo_conditions();

    int ifirst, ilast, jlast, limit;
    if (kind == 0) {
        ifirst = 1, ilast = nrtr - 2, jlast = nrtr - 1, limit = nrtr;
    } else {
        ifirst = nrtr + 1, ilast = nrtr + nrps, jlast = nlar - 1, limit = nlar;
    }
    ilast = std::min(ilast, kRows);
    limit = std::min(limit, DIRTR.I(dirtr::kStrongRows));  // third rows must have images

    // The rows in the form the loop reads them.
    const int nrows = std::max({ilast, limit, 0});
    std::vector<RowData> rows(static_cast<size_t>(nrows) + 1);
    for (int r = 1; r <= nrows; ++r) rows[r] = row_data(r);

    RelationStore store(capacity);
    PassOutcome out;
    RelationLines lines;
    std::vector<int> seen;
    seen.reserve(2 * ns);

    for (int i = ifirst; i <= ilast; ++i) {
        const RowData& ri = rows[i];
        // (Under pseudo-translation the modified estimate has no such bound.)
        if (kind == 0 && !pseudo && store.full() && store.stored() > 0) {
            // No triplet of this or a later first row can beat the smallest
            // stored one: their G is at most factor E_i^3 q.
            const float bound = factor * ri.e * ri.e * ri.e * q;
            if (round100(bound) < static_cast<int>(std::trunc(100.0f * store.smallest_key()))) break;
        }
        if (print >= 2) {
            lst_blank();
            lst("(' reflection ',3i4,10x,'code = ',i4,10x,'e = ',f7.2,10x,'phase =',i7)",
                {ri.h[0], ri.h[1], ri.h[2], i, ri.e, ri.phase});
            lst_blank();
        }
        int contributors = 0;
        int stored_here = 0;
        bool ended = false;
        for (int j = (kind == 0 ? i + 1 : 1); j <= jlast && !ended; ++j) {
            const RowData& rj = rows[j];
            seen.clear();
            bool next_j = false;
            for (int m = 1; m <= ns && !next_j && !ended; ++m) {
                const int pj = (j - 1) * ns + m;
                const int sjm = image_s(pj);
                if (sjm == 0) continue;
                const int wj = image_word(pj);
                const int kj = (wj / 32) / 128 - 64, lj = (wj / 32) % 128 - 64, sj = wj % 32;
                for (int sigma = -1; sigma <= 1 && !next_j && !ended; sigma += 2) {
                    const int s3 = ri.s + sigma * sjm;
                    if (s3 == 0) continue;
                    const int tau0 = s3 < 0 ? -1 : 1;
                    const int a3 = std::abs(s3);
                    if (a3 > largest) continue;
                    const int entry = isr(a3);
                    if (entry == 0) continue;
                    if (std::abs(ri.h[1] + sigma * kj) > kmax || std::abs(ri.h[2] + sigma * lj) > lmax) continue;
                    const int tau = entry < 0 ? -tau0 : tau0;
                    const int k = std::abs(entry) / 32, qop = std::abs(entry) % 32;
                    if (k <= j || k > limit) continue;
                    if (std::find(seen.begin(), seen.end(), k) != seen.end()) continue;
                    seen.push_back(k);
                    const RowData& rk = rows[k];
                    const int sk = image_word((k - 1) * ns + qop) % 32;
                    const int t = pmod(tau * sk - sigma * sj + 48, 24);
                    const int phi = pmod(ri.phase + sigma * rj.phase - tau * rk.phase + 15 * t, 360);

                    if (acentric && ri.restriction != 1 && rj.restriction != 1 && rk.restriction != 1) {
                        const int d = 15 * ((ri.restriction - 1) + sigma * (rj.restriction - 1) -
                                            tau * (rk.restriction - 1) + t);
                        if (pmod(d, 180) != 0) {
                            ++out.inconsistent;
                            show_inconsistent(out.inconsistent, hdrflag, i, j, k);
                            continue;
                        }
                    }
                    float g = ri.e * rj.e * rk.e * q;
                    if (pseudo && !pseudo_estimate(kind, i, j, k, sigma, tau, m, qop, ri.e, rj.e, rk.e, phi, g))
                        continue;
                    g *= factor;
                    if (pseudo && g > kPseudoPsiZeroLimit) {
                        ++out.rejected;
                        if (psi_zero) continue;
                    }
                    if (psi_e && g < gmin_psie) continue;

                    ++contributors;
                    if (psi_zero && stored_here >= kPsiZeroPerWeak) {
                        next_j = true;
                        continue;
                    }
                    if (print >= 2) lines.add(-sigma * j, tau * k, g, phi);

                    const int b = std::clamp(round100(std::min(g, kGClip)), -2047, 2047);
                    const int32_t w[3] = {relation_word(i, sigma * j, phi / 15), relation_word(-tau * k, b, t),
                                          relation_word(32 * m + qop - 2048, b, phi % 15)};
                    if (!store.full()) {
                        store.append(w, g);
                        ++stored_here;
                    } else if (kind == 0) {
                        store.offer(w, g);
                    } else {
                        ended = true;
                    }
                }
            }
        }
        if (print >= 2) {
            lines.flush();
            lst("(' number of contributors =',i6)", {contributors});
        }
        if (ended) break;
    }
    lines.flush();
    out.stored = store.stored();
    out.overflow = store.overflow();
    return out;
}

namespace {

void pass_heading(int kind, int mode) {
    if (kind == 0) {
        lst_blank(2);
        lst("(' Sigma2 relationships estimated among the ',i4,' strongest reflections - (Emin =',f5.2,')')",
            {DIRTR.I(dirtr::kNrtr), DIRTR.R(dirtr::kEmin)});
    } else if (mode == 0) {
        lst_blank();
        lst("(' Psi-zero relationships estimated among the ',i4,' strongest and the ',i4,'  weakest reflections')",
            {DIRPS.I(dirps::kNlar), DIRPS.I(dirps::kNrps)});
        lst_blank();
    } else {
        lst_blank(2);
        lst("(' Psi-e relationships among the ',i4,'  strongest and the ',i4,'  following  reflections')",
            {DIRPS.I(dirps::kNlar), DIRPS.I(dirps::kNrps)});
    }
}

void clear_pass_statistics() {
    if (centric())
        CLRT1();
    else
        NCLRT1();
    if (UREQ.I(ureqw::kKnown) != 0 && PSEUD.I(pseud::kConditions) > 0) {
        for (int w = pseud::kClassTable; w <= pseud::kClassCount; ++w) PSEUD.I(w) = 0;
        if (centric())
            CLRT();
        else
            NCLRT();
    }
}

// The psi-e threshold of the first try.
float psi_e_threshold() {
    if (centric()) {
        const float g = 0.6f;
        lst_blank(2);
        lst("(5x,'centrosymmetric, g(min) for psi-e =',f8.3)", {g});
        lst_blank(2);
        return g;
    }
    const int nrtr = DIRTR.I(dirtr::kNrtr), nrps = DIRPS.I(dirps::kNrps);
    const float efmx = row_e(1), efmn = row_e(nrtr), eemx = row_e(nrtr + 1), eemn = row_e(nrtr + nrps);
    float g = ((efmx * efmx * eemx - efmn * efmn * eemn) * 0.4f + efmn * efmn * eemn) * INP.R(inp::kQ);
    g = std::clamp(g, 0.6f, 1.0f);
    if (UREQ.I(ureqw::kPrint) > 0) {
        lst_blank(2);
        lst("(5x,'efmx =',f8.3,'   efmn =',f8.3,'   eemx =',f8.3,'   eemn =',f8.3,5x,'g(min) for psi-e =',f8.3)",
            {efmx, efmn, eemx, eemn, g});
        lst_blank(2);
    }
    return g;
}

}  // namespace

void STRIP9(int kind, int mode, int npsie, int counts[14], int& hdrflag, int big, int rsmode) {
    const int capacity = kind == 0 ? std::min(big, kRelations) : (mode == 0 ? kPsiZeroCapacity : kPsiECapacity);
    const int print = UREQ.I(ureqw::kPrint);
    float g = 0.0f;
    int g0 = 0;
    for (int attempt = 1;; ++attempt) {
        pass_heading(kind, mode);
        clear_pass_statistics();
        build_relation_images();
        if (print > 0) {
            lst_blank();
            lst_line(kind == 0 ? " set up sigma2 relationships" : " set up psi-zero relationships");
        }
        for (int w = kRelationBase + 1; w <= kRelationBase + 3 * kRelations; ++w) XDATA.I(w) = 0;
        if (kind == 1 && mode == 1 && attempt == 1) {
            g = psi_e_threshold();
            g0 = round100(g);
        }
        const PassOutcome out = generate_relations(kind, mode, capacity, g, hdrflag);
        const int calculated = out.stored + out.overflow;

        if (kind == 0) {
            if (print > 0)
                lst("(i8,' triplet(s) calculated and',i6,' stored')", {calculated, out.stored});
            counts[0] = calculated;
            counts[7] = out.stored;
            SORTGN(out.stored);
            DIRTR.I(dirtr::kStored) = out.stored;
            g_smallest_word = out.stored > 0 ? static_cast<int32_t>(std::trunc(1000.0f * key1(out.stored))) : 0;
            WRTR9(1, g_smallest_word, npsie);
            if (pseudo_conditions() && UREQ.I(ureqw::kKnown) != 0) {
                if (centric())
                    STST();
                else
                    NSTST();
            }
            return;
        }
        if (mode == 0) {
            DIRPS.I(dirps::kStored) = out.stored;
            if (print > 0)
                lst("(i8,' psi-zero triplet(s) calculated and',i6,' stored',i6,' rejected')",
                    {calculated, out.stored, out.rejected});
            counts[3] = calculated;
            counts[10] = out.stored;
            WRTR9(2, g_smallest_word, npsie);
            return;
        }
        const int nrps = std::max(DIRPS.I(dirps::kNrps), 1);
        if (attempt <= 2 && out.stored / nrps <= 20 && g0 > 50) {
            g = std::max(g - 0.2f, 0.5f);
            lst_line(" insufficient psi-e found - lower g value and try again");
            continue;
        }
        counts[4] = calculated;
        counts[11] = out.stored;
        DIRTR.I(dirtr::kStored) = out.stored;
        if (out.stored == 0) {
            lst_line(" *** Warning *** : no psi-e found");
            return;
        }
        WRTR9(4, g_smallest_word, npsie);
        return;
    }
}

void WRTR9(int mode, int32_t mink, int npsie) {
    if (mode == 2) {
        const int n = std::clamp(DIRPS.I(dirps::kStored), 0, kRelations);
        // Psi-zero items, grouped by weak reflection.
        std::vector<Word> items(static_cast<size_t>(3) * std::max(n, 1));
        int previous = 0;
        for (int r = 1; r <= n; ++r) {
            int32_t a1, b1, c1, a2, b2, c2;
            UNPAK3(relation(r, 1), a1, b1, c1);
            UNPAK3(relation(r, 2), a2, b2, c2);
            int32_t first = relation_word(b1, a2, c2);
            if (a1 != previous) first += kGroupMark;
            previous = a1;
            items[3 * (r - 1)].i = first;
            items[3 * (r - 1) + 1].i = relation_word(a1, b1, c2);
            items[3 * (r - 1) + 2].i = 0;
        }
        FRMXX(0, 9, n, n, DIRPS.I(dirps::kNrps), 0, 0, items.data());
        return;
    }
    const int n = std::clamp(DIRTR.I(dirtr::kStored), 0, kRelations);
    if (mode == 5) {
        PROC.I(proc::kP10) = 1;
        mode = 4;
    }
    if (mode == 4) {
        FRMXX(0, 24, n, n, npsie, PROC.I(proc::kP10), mink, relation_area());
        return;
    }
    FRMXX(0, 8, n, n, DIRTR.I(dirtr::kNrtr), PROC.I(proc::kP10), mink, relation_area());
}

}  // namespace zanek
