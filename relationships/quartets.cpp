#include "relationships/quartets.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "jobcontrol/lists/listxx.h"
#include "jobcontrol/numeric.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/invariants.h"
#include "jobcontrol/records/phaseset.h"
#include "platform/listing.h"
#include "platform/stop.h"
#include "relationships/crossvec.h"
#include "relationships/known_phase_stats.h"
#include "relationships/triplets.h"

namespace zanek {

using namespace invtab;
using quartet::Image;
using quartet::Vec;
using quartet::Work;

namespace {

constexpr int kMaxOps = 24;
constexpr float kGCap = 20.47f;
constexpr float kCentricThreshold = -9999.0f;
constexpr double kTiny = 1e-11;
constexpr double kTwoPi = 2.0 * M_PI;
// Candidate record words.
constexpr int kWordB = 5, kWordG = 6, kWordPsi = 7;

Work g_work;
std::vector<Image> g_images;  // strong rows 1..nlar times the operators
int g_image_ops = 1;
double g_running_q = 0.0;     // total Q of the equivalents over the run (debugging line)

int nsym() { return std::clamp(SYM.I(symw::kOps), 1, kMaxOps); }
bool centric() { return SYM.I(symw::kCentric) == 1; }
int print_level() { return UREQ.I(ureqw::kPrint); }

Vec signed_image(int sign, const Image& im) {
    Vec v;
    v.s = sign * im.full_s;
    for (int c = 0; c < 3; ++c) v.h[c] = sign * im.h[c];
    return v;
}

Vec sum(const Vec& a, const Vec& b) {
    Vec v;
    v.s = a.s + b.s;
    for (int c = 0; c < 3; ++c) v.h[c] = a.h[c] + b.h[c];
    return v;
}

[[noreturn]] void programming_error(const char* where) {
    lst_line(std::string(" ") + where);
    lst_line(" **** programming  error ****");
    lst_line("  zan ends in error");
    zstop(1234);
}

// Records cross vector n of the quartet in hand.
void record_cross(int n, const Vec& x, float e, float q, int ident) {
    Work& w = g_work;
    w.x[n] = x;
    w.e[n] = e;
    w.q[n] = q;
    w.ident[w.start + n - 1] = ident;
}

// The four partner words (p_t * 32 + o_t) * s_t of the quartet in hand.
void partner_words(int32_t* rec) {
    for (int t = 1; t <= 4; ++t) rec[t - 1] = (g_work.row[t] * 32 + g_work.op[t]) * g_work.sign[t];
}

int32_t& rec_word(Word* recs, int r, int w) { return recs[quartet::kRecordWords * (r - 1) + (w - 1)].i; }

// The quartet record of a candidate in place of its words 1-3.
void to_quartet_record(Word* recs, int r) {
    int row[4], sign[4];
    for (int t = 0; t < 4; ++t) {
        const int32_t p = rec_word(recs, r, t + 1);
        sign[t] = p < 0 ? -1 : 1;
        row[t] = std::abs(p) / 32;
    }
    const int ph = rec_word(recs, r, kWordB) % 32;
    const int ig = std::clamp(rec_word(recs, r, kWordG), 0, 2047);
    rec_word(recs, r, 1) = relation_word(sign[0] * row[0], sign[1] * row[1], -1);
    rec_word(recs, r, 2) = relation_word(sign[2] * row[2], sign[3] * row[3], -1);
    rec_word(recs, r, 3) = relation_word(1024, ig, ph);
}

// The negative list: appends while there is room; once full, a candidate
// not weaker than the weakest stored one replaces it.
class NegativeList {
public:
    NegativeList(Word* recs, int capacity, int overflow_limit)
        : recs_(recs), capacity_(capacity), overflow_limit_(overflow_limit) {}

    int stored() const { return stored_; }
    int overflow() const { return overflow_; }

    // False when the search is to end (this candidate not considered).
    bool offer(const int32_t rec[7]) {
        if (stored_ < capacity_) {
            put(++stored_, rec);
            return true;
        }
        if (!sorted_) {
            SORTC(capacity_, recs_);
            sorted_ = true;
            weakest_ = capacity_;
            low_ = capacity_;
        }
        if (++overflow_ >= overflow_limit_) return false;
        if (rec[kWordG - 1] < rec_word(recs_, weakest_, kWordG)) return true;
        put(weakest_, rec);
        // Records below low - 1 were never replaced and are still in
        // decreasing order, so the weakest lies at or after low - 1.
        int best = std::max(low_ - 1, 1);
        for (int r = best + 1; r <= capacity_; ++r)
            if (rec_word(recs_, r, kWordG) <= rec_word(recs_, best, kWordG)) best = r;
        weakest_ = best;
        low_ = std::min(low_, best);
        return true;
    }

private:
    void put(int r, const int32_t rec[7]) {
        for (int w = 1; w <= quartet::kRecordWords; ++w) rec_word(recs_, r, w) = rec[w - 1];
    }
    Word* recs_;
    int capacity_, overflow_limit_;
    int stored_ = 0, overflow_ = 0;
    bool sorted_ = false;
    int weakest_ = 0, low_ = 0;
};

int g_enant_stored = 0;
int g_enant_capacity = quartet::kEnantCapacity;

// A psi-zero relation decoded once: its weak row and its two partners.
struct PsiZero {
    int weak;
    int row[2], op[2], sign[2];
};

std::vector<PsiZero> decode_psi_zero(int n) {
    std::vector<PsiZero> out(static_cast<size_t>(n) + 1);
    for (int r = 1; r <= n; ++r) {
        float g = 0.0f, gp3 = 0.0f;
        int t = 0, phi = 0;
        DECOM(r, g, gp3, t, phi);
        PsiZero& p = out[r];
        p.weak = cp10::row(1);
        p.row[0] = cp10::row(2);
        p.row[1] = cp10::row(3);
        p.op[0] = cp10::op(2);
        p.op[1] = cp10::op(3);
        p.sign[0] = cp10::sign(2);
        p.sign[1] = cp10::sign(3);
    }
    return out;
}

// A partner row and operator the image table can answer for.
bool usable(int row, int op, int nlar, int ns) { return row >= 1 && row <= nlar && op >= 1 && op <= ns; }

void set_partner(int t, int row, int op, int sign, int ns) {
    Work& w = g_work;
    w.row[t] = row;
    w.op[t] = op;
    w.sign[t] = sign;
    XBC9(row, t, ns);
    w.v[t] = signed_image(sign, w.slot[t][op - 1]);
}

void print_vectors(std::vector<FItem>& items) {
    for (int t = 1; t <= 4; ++t)
        for (int c = 0; c < 3; ++c) items.push_back(g_work.v[t].h[c]);
}

}  // namespace

// ===========================================================================

Work& quartet::work() { return g_work; }

void quartet::load_images(int nlar, int ns) {
    g_image_ops = ns;
    g_images.assign(static_cast<size_t>(std::max(nlar, 0)) * ns, Image{});
    for (int p = 1; p <= nlar * ns; ++p) {
        Image& im = g_images[p - 1];
        const int32_t w = image_word(p);
        im.s = image_s(p);
        unpack_index(w / 32, im.h);
        im.shift = w % 32;
        im.full_s = super_index(im.h);
    }
}

float quartet::threshold(float n) {
    if (n < 70.0f) return 0.35f;
    if (n < 700.0f) return 0.35f * std::exp(-(n - 70.0f) / 500.0f);
    return 0.1f;
}

void XBC9(int row, int slot, int ns) { g_work.slot[slot] = g_images.data() + static_cast<size_t>(row - 1) * ns; }

int IEDEB(int n, int nmin, int mode) {
    Work& w = g_work;
    for (int t = n; t <= 3; ++t) {
        w.e[t] = 0.0f;
        w.q[t] = 0.0f;
        w.x[t] = Vec{};
    }
    const Vec x = sum(w.v[1], w.v[n + 1]);
    const int a = std::abs(x.s);
    if (x.s == 0 || a > std::clamp(PARAM.I(param::kLargest), 0, kIsrSize) || std::abs(x.h[1]) > UREQ.I(ureqw::kKmax) ||
        std::abs(x.h[2]) > UREQ.I(ureqw::kLmax) || isr(a) == 0) {
        ++w.outside;
        w.ident[w.start + n - 1] = 0;
        return 0;
    }
    const qcode::Decoded d = qcode::decode(isr(a));
    switch (d.kind) {
        case qcode::Kind::Ordinary: {
            const float e = static_cast<float>(d.e100) / 100.0f;
            record_cross(n, x, e, e * e - 1.0f, d.ref);
            return mode == 0 && e > DIRQN.R(dirqn::kOrdinaryE) ? 1 : 0;
        }
        case qcode::Kind::Extinct:
            ++w.extinct;
            ++w.special;
            record_cross(n, x, 0.0f, 0.0f, 0);
            return 0;
        case qcode::Kind::SpecialAbsent:
            ++w.special_absent;
            ++w.special;
            record_cross(n, x, 1.0f, 0.0f, 0);
            return 0;
        case qcode::Kind::Strong: {
            const float e = row_e(d.ref);
            record_cross(n, x, e, e * e - 1.0f, -d.ref);
            return mode == 0 ? 1 : 0;
        }
        case qcode::Kind::Weak: {
            if (d.ref < nmin) return -1;
            const float e = row_e(d.ref);
            record_cross(n, x, e, e * e - 1.0f, -d.ref);
            if (d.special) ++w.special;
            return 0;
        }
        case qcode::Kind::SpecialOrdinary: {
            // Identified by its ordinal like an ordinary reflection: a
            // negative ordinal could be taken for a weak row of that number.
            const float e = static_cast<float>(d.e100) / 100.0f;
            record_cross(n, x, e, e * e - 1.0f, d.ref);
            const int limit = DIRQN.I(mode == 0 ? dirqn::kSpecialE100 : dirqn::kEquivSpecialE100);
            if (d.e100 > limit) return 1;
            ++w.special;
            return 0;
        }
        default:
            programming_error("**** function iedeb  ****");
    }
}

int IEQUI(int limit) {
    Work& w = g_work;
    const Work saved = w;
    const int ns = g_image_ops;
    const bool centro = centric();
    const int print = print_level();
    const Image* img1 = w.slot[1];
    const Image* img2 = w.slot[2];
    const Image* img3 = w.slot[3];
    const Image* img4 = w.slot[4];
    const int s1 = w.sign[1], s2 = w.sign[2], s3 = w.sign[3], s4 = w.sign[4];
    const int shift1 = s1 * img1[w.op[1] - 1].shift;
    const Vec v1 = signed_image(s1, img1[w.op[1] - 1]);
    const int nmin = w.weak;
    const int signs = centro ? 2 : 1;
    int start = 5;

    auto finish = [&](int result) {
        const double c = w.c, s = w.s;
        w = saved;
        w.c = c;
        w.s = s;
        return result;
    };

    for (int a = 1; a <= ns; ++a) {
        if (img2[a - 1].s == 0) continue;
        for (int ia = 0; ia < signs; ++ia) {
            const int sa = ia == 0 ? 1 : -1;
            for (int b = 1; b <= ns; ++b) {
                if (img3[b - 1].s == 0) continue;
                for (int ib = 0; ib < signs; ++ib) {
                    const int sb = ib == 0 ? 1 : -1;
                    const Vec v2 = signed_image(sa * s2, img2[a - 1]);
                    const Vec v3 = signed_image(sb * s3, img3[b - 1]);
                    const int t = v1.s + sa * s2 * img2[a - 1].s + sb * s3 * img3[b - 1].s;
                    if (t == 0) continue;
                    // The fourth vector closes the quartet: the super-indices
                    // must agree and so must the indices (a super-index
                    // alone names a reflection only inside the index box).
                    const Vec rest = sum(sum(v1, v2), v3);
                    int c = 0, sc = 0;
                    for (int k = 1; k <= ns && c == 0; ++k) {
                        const Image& im = img4[k - 1];
                        for (int ic = 0; ic < signs && c == 0; ++ic) {
                            const int sg = ic == 0 ? 1 : -1;
                            if (im.s != -t * s4 * sg) continue;
                            const Vec v4 = signed_image(sg * s4, im);
                            if (v4.h[0] == -rest.h[0] && v4.h[1] == -rest.h[1] && v4.h[2] == -rest.h[2]) {
                                c = k;
                                sc = sg;
                            }
                        }
                    }
                    if (c == 0) continue;
                    const int total = shift1 + sa * s2 * img2[a - 1].shift + sb * s3 * img3[b - 1].shift +
                                      sc * s4 * img4[c - 1].shift;
                    const int psi_eq = (720 - 15 * total) % 360;
                    w.v[2] = v2;
                    w.v[3] = v3;
                    w.v[4] = signed_image(sc * s4, img4[c - 1]);
                    w.start = start;
                    for (int n = 1; n <= 3; ++n) {
                        const int r = IEDEB(n, nmin, 1);
                        if (r == 0) continue;
                        if (print >= 2) {
                            std::vector<FItem> items;
                            print_vectors(items);
                            for (int m = 1; m <= 3; ++m)
                                items.insert(items.end(), {w.x[m].h[0], w.x[m].h[1], w.x[m].h[2], w.q[m]});
                            items.push_back(r);
                            lst("(2x,4(3i3,5x),3x,3(3i3,f5.2),'quart. rejected  iedeb=',i3)", items);
                        }
                        return finish(-1);
                    }
                    char mark[4] = {' ', ' ', ' ', ' '};
                    for (int n = 1; n <= 3; ++n) {
                        int& id = w.ident[start + n - 1];
                        if (id == 0) continue;
                        for (int p = 2; p < start; ++p)
                            if (w.ident[p] == id) {
                                w.q[n] = 0.0f;
                                id = 0;
                                mark[n] = '*';
                                break;
                            }
                    }
                    if (print >= 2) {
                        std::vector<FItem> items;
                        print_vectors(items);
                        for (int m = 1; m <= 3; ++m)
                            items.insert(items.end(), {w.x[m].h[0], w.x[m].h[1], w.x[m].h[2], w.q[m],
                                                       std::string(1, mark[m])});
                        items.push_back(psi_eq);
                        lst("(2x,4(3i3,5x),3x,3(3i3,f5.2,a1),i5)", items);
                    }
                    const float qeq = w.q[1] + w.q[2] + w.q[3];
                    const double rad = psi_eq * M_PI / 180.0;
                    w.c += qeq * std::cos(rad);
                    w.s += qeq * std::sin(rad);
                    g_running_q += qeq;
                    if (print >= 2)
                        lst("(1x,'sume=',e10.2,'sumeps= ',e10.2,' sumcos= ',e10.2,' sumsin= ',e10.2,' cos=',e10.2,"
                            "' sin=',e10.2,f10.2,i10)",
                            {g_running_q, qeq, w.c, w.s, std::cos(rad), std::sin(rad), rad, psi_eq});
                    start += 3;
                    if (start >= limit) {
                        lst("(4i6,' quartet with more than ',i4,' equivalents')",
                            {w.row[1], w.row[2], w.row[3], w.row[4], limit});
                        return finish(-1);
                    }
                }
            }
        }
    }
    return finish(0);
}

void SORTC(int n, Word* recs) {
    if (n <= 1) return;
    auto exchange = [&](int p, int r) {
        for (int w = 1; w <= quartet::kRecordWords; ++w) std::swap(rec_word(recs, p, w), rec_word(recs, r, w));
    };
    for (int d = 2;; d *= 2) {
        const int gap = std::max(n / d, 1);
        bool exchanged = true;
        while (exchanged) {
            exchanged = false;
            for (int p = 1; p <= n - gap; ++p)
                if (rec_word(recs, p, kWordG) < rec_word(recs, p + gap, kWordG)) {
                    exchange(p, p + gap);
                    exchanged = true;
                }
        }
        if (gap == 1) return;
    }
}

void ENAN(int ib, int ig, float g, int ph, float theta, int psi, int& full) {
    if (g_enant_stored >= g_enant_capacity) {
        full = 1;
        return;
    }
    full = 0;
    int32_t rec[7];
    partner_words(rec);
    rec[kWordB - 1] = ib * 32 + ph;
    rec[kWordG - 1] = ig;
    rec[kWordPsi - 1] = 80 * psi;
    ++g_enant_stored;
    for (int w = 1; w <= quartet::kRecordWords; ++w) rec_word(quartet::enant_records(), g_enant_stored, w) = rec[w - 1];
    if (print_level() >= 2)
        lst("(1x,'/g/=',f10.2,'  theta=',f10.2,'  --- enantiomorph sensitive quartet')",
            {g, static_cast<float>(theta * 360.0 / kTwoPi)});
}

namespace {

// The statistics of the stored negative quartets against the known phases.
void enter_statistics(Word* recs, int n, bool known) {
    const bool centro = centric();
    for (int r = 1; r <= n; ++r) {
        const float big_g = static_cast<float>(rec_word(recs, r, kWordG)) / 100.0f;
        const int psi = rec_word(recs, r, kWordPsi) / 80;
        const float g = -big_g;
        const float c = static_cast<float>(std::cos(psi * M_PI / 180.0));
        if (centro) {
            if (known) SCTST(g, c * g, 1);
            SCTST1(g, c * g);
        } else {
            float b = 0.0f;
            BESSE(big_g, b);
            b = -b;
            const float folded = static_cast<float>(psi > 180 ? 360 - psi : psi);
            if (known) NCTET(g, c, folded, 1);
            NCTET1(g, b, c);
        }
    }
}

}  // namespace

void NEGQ(int counts[14]) {
    RECIP();
    quartet::search(counts);
}

void quartet::search(int counts[14]) {
    const bool centro = centric();
    const bool known = UREQ.I(ureqw::kKnown) == 1;
    if (known) {
        if (centro)
            CLRT();
        else
            NCLRT();
    }
    if (centro)
        CLRT1();
    else
        NCLRT1();

    const int npsi = std::clamp(DIRPS.I(dirps::kStored), 0, kRelations);
    lst_blank();
    lst("(' Negative quartets relationships estimated using ',i6,' psi-zero relationships ')", {npsi});

    const int ns = nsym();
    const int nlar = std::clamp(DIRPS.I(dirps::kNlar), 0, std::min(DIRTR.I(dirtr::kNrtr), kPairs / ns));
    quartet::load_images(nlar, ns);

    // The threshold t and the number of atoms N in the primitive cell.
    const float q = INP.R(inp::kQ);
    const float natoms = q > 0.0f ? 1.0f / (q * q) : 1.0f;
    DIRQN.I(dirqn::kStored) = 0;
    DIRQN.R(dirqn::kThreshold) = centro ? kCentricThreshold : quartet::threshold(natoms);
    const float t = DIRQN.R(dirqn::kThreshold);
    const int neg_capacity = std::clamp(DIRQN.I(dirqn::kNegativeCap), 1, quartet::kNegativeCapacity);
    g_enant_capacity = std::clamp(DIRQN.I(dirqn::kEnantCap), 1, quartet::kEnantCapacity);
    g_enant_stored = 0;
    for (int w = quartet::kNegativeBase + 1; w <= quartet::kEnantBase + quartet::kRecordWords * quartet::kEnantCapacity;
         ++w)
        XDATA.I(w) = 0;
    Word* negative = quartet::negative_records();
    NegativeList list(negative, neg_capacity, std::max(DIRQN.I(dirqn::kOverflow), 1));
    bool enant_full = false;

    const std::vector<PsiZero> rel = decode_psi_zero(npsi);
    Work& w = g_work;
    bool ended = false;
    for (int i = 1; i <= npsi - 1 && !ended; ++i) {
        const PsiZero& ri = rel[i];
        const int weak = ri.weak;
        int hw[3];
        SCHKL(weak, hw);
        const int sw = std::abs(super_index(hw));
        const bool weak_special =
            sw >= 1 && sw <= std::clamp(PARAM.I(param::kLargest), 0, kIsrSize) && qcode::special_mark(isr(sw));
        if (!usable(ri.row[0], ri.op[0], nlar, ns) || !usable(ri.row[1], ri.op[1], nlar, ns)) continue;
        set_partner(1, ri.row[0], ri.op[0], ri.sign[0], ns);
        set_partner(2, ri.row[1], ri.op[1], ri.sign[1], ns);
        const float ew = row_e(weak);
        w.weak = weak;

        for (int j = i + 1; j <= npsi && !ended; ++j) {
            const PsiZero& rj = rel[j];
            if (rj.weak != weak) break;
            w.outside = w.special_absent = w.extinct = w.special = 0;
            w.start = 2;
            for (int n = 1; n <= 3; ++n) {
                w.x[n] = Vec{};
                w.e[n] = w.q[n] = 0.0f;
                w.ident[1 + n] = 0;
            }
            const int p3 = rj.row[0], p4 = rj.row[1];
            if (p3 == w.row[1] || p3 == w.row[2] || p4 == w.row[1] || p4 == w.row[2]) continue;
            if (!usable(p3, rj.op[0], nlar, ns) || !usable(p4, rj.op[1], nlar, ns)) continue;
            set_partner(3, p3, rj.op[0], -rj.sign[0], ns);
            set_partner(4, p4, rj.op[1], -rj.sign[1], ns);

            // Cross vector 1 is the weak reflection (or its Friedel mate).
            record_cross(1, sum(w.v[1], w.v[2]), ew, ew * ew - 1.0f, -weak);
            if (weak_special) ++w.special;
            if (IEDEB(2, weak, 0) != 0 || IEDEB(3, weak, 0) != 0) continue;
            if (w.outside >= 2 || w.special_absent >= 2) continue;
            const int m = 6 - (3 * w.outside + 2 * w.special_absent + w.extinct);
            if (m == 0) programming_error("**** subroutine negq ****");
            if (m < 3) continue;

            int shift_sum = 0;
            for (int s = 1; s <= 4; ++s) shift_sum += w.sign[s] * w.slot[s][w.op[s] - 1].shift;
            const int ph = pmod(96 - shift_sum, 24);
            const double theta = ph * kTwoPi / 24.0;
            const float sumq = w.q[1] + w.q[2] + w.q[3];
            if (w.extinct == 0 && w.special == 0 && sumq > -1.0f) continue;
            w.c = sumq * std::cos(theta);
            w.s = sumq * std::sin(theta);

            int phi = 0;
            if (known)
                for (int s = 1; s <= 4; ++s) phi += w.sign[s] * row_phase(w.row[s]);
            if (phi < 0) phi += 1800;
            const int psi = (phi % 360 + 15 * ph) % 360;
            const float b = row_e(w.row[1]) * row_e(w.row[2]) * row_e(w.row[3]) * row_e(w.row[4]) / natoms;

            if (w.special != 0) {
                for (int p = 5; p <= quartet::kIdentLimit + 1; ++p) w.ident[p] = 0;
                if (IEQUI(quartet::kIdentLimit) < 0) continue;
            }
            if (w.extinct == 0) {
                w.c += std::cos(theta);
                w.s += std::sin(theta);
            }
            if (std::fabs(w.c) < kTiny && std::fabs(w.s) < kTiny) continue;
            const double r = std::sqrt(w.c * w.c + w.s * w.s);
            float g = static_cast<float>((centro ? 1.0 : 2.0) * b * r);
            g = std::min(g, kGCap);
            double alpha = -std::atan2(w.s, w.c);
            if (alpha < 0.0) alpha += kTwoPi;
            const double expected = alpha + theta;
            int ig = round100(g);
            const int ib = std::clamp(round100(b), 0, 1 << 25);

            if (!centro && g <= t) {
                if (enant_full) continue;
                int full = 0;
                ENAN(ib, ig, g, ph, static_cast<float>(expected), psi, full);
                enant_full = full == 1;
                continue;
            }
            if (std::cos(expected) >= 0.0 || g < t) continue;
            if (m < 5) {
                g *= 0.85f;
                ig = round100(g);
            }
            int32_t rec[7];
            partner_words(rec);
            rec[kWordB - 1] = ib * 32 + ph;
            rec[kWordG - 1] = ig;
            rec[kWordPsi - 1] = 80 * psi + m;
            if (!list.offer(rec)) ended = true;
        }
    }

    // The stored quartets as list items.
    const int nneg = list.stored();
    DIRQN.I(dirqn::kStored) = nneg;
    SORTC(nneg, negative);
    enter_statistics(negative, nneg, known);
    for (int r = 1; r <= nneg; ++r) to_quartet_record(negative, r);
    Word* enant = quartet::enant_records();
    for (int r = 1; r <= g_enant_stored; ++r) to_quartet_record(enant, r);

    if (nneg > 0) {
        FRMXX(0, 20, nneg, nneg, 0, 0, 0, negative);
        if (known) {
            if (centro)
                STST();
            else
                NSTST();
        }
        lst_blank();
        lst_line(std::string(38, ' ') + "         Negative quartets statistic");
        if (centro)
            STST1();
        else
            NSTST1();
    }
    if (g_enant_stored > 0 && !centro) FRMXX(0, 21, g_enant_stored, g_enant_stored, 0, 0, 0, enant);

    const int neg_calculated = nneg + list.overflow();
    if (print_level() > 0) {
        lst_line(" ");
        lst("(i8,' negative quartet(s) calculated and',i6,' stored')", {neg_calculated, nneg});
        lst_line(" ");
        if (!centro)
            lst("(i8,' enant.sens. quartet(s) calculated and',i6,' stored')", {g_enant_stored, g_enant_stored});
    }
    counts[5] = neg_calculated;
    counts[12] = nneg;
    counts[6] = g_enant_stored;
    counts[13] = g_enant_stored;
    lst_line(" ");
}

}  // namespace zanek
