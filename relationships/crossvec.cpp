#include "relationships/crossvec.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "jobcontrol/lists/list07.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/invariants.h"
#include "jobcontrol/records/phaseset.h"
#include "platform/listing.h"
#include "relationships/triplets.h"

namespace zanek {

using namespace invtab;

namespace {

constexpr int kMaxOps = 24;
constexpr int kMaxE100 = 65535;  // keeps an ordinary entry inside a positive word

int nsym() { return std::clamp(SYM.I(symw::kOps), 1, kMaxOps); }
bool centric() { return SYM.I(symw::kCentric) == 1; }
int largest() { return std::clamp(PARAM.I(param::kLargest), 0, kIsrSize); }
int print_level() { return UREQ.I(ureqw::kPrint); }

// Classes and translation orders of the operators, as GEEST leaves them.
OperatorClass g_class[kMaxOps + 1][2];
int g_order[kMaxOps + 1][3];

// isr slot of h k l, or 0 when its super-index is 0 or beyond the table.
int slot_of(const int h[3]) {
    const int s = std::abs(super_index(h));
    return s >= 1 && s <= largest() ? s : 0;
}

void mark_extinct(const int h[3]) {
    const int s = slot_of(h);
    if (s == 0) return;
    isr(s) = qcode::kExtinct;
    if (print_level() >= 3) lst("(1x,'rifl. estinto  ',3i4)", {h[0], h[1], h[2]});
}

// E of a list-7 record as the ordinary code holds it: trunc(100 E + 0.5),
// E raised to 0.01 when it is not positive.
int e100_of(float e) {
    const double x = e <= 0.0f ? 0.01 : static_cast<double>(e);
    return std::clamp(static_cast<int>(std::trunc(100.0 * x + 0.5)), 0, kMaxE100);
}

void enter_strong_rows(int nlar, int ns) {
    for (int i = 1; i <= nlar; ++i) {
        int h[3];
        SCHKL(i, h);
        for (int k = 1; k <= ns; ++k) {
            int hp[3];
            if (k == 1)
                std::copy(h, h + 3, hp);
            else
                symmetry_image(h, k, hp);
            const int s = super_index(hp);
            bool repeat = false;
            for (int o = 1; o < k && !repeat; ++o) repeat = std::abs(image_s((i - 1) * ns + o)) == std::abs(s);
            const int p = (i - 1) * ns + k;
            image_s(p) = repeat ? 0 : s;
            image_word(p) = qimage::word(pack_index(hp[0], hp[1], hp[2]), qimage::shift_steps(h, k));
            const int a = std::abs(s);
            if (a >= 1 && a <= largest() && isr(a) == 0) isr(a) = qcode::strong(i);
        }
    }
}

void enter_weak_rows(int first, int last, int ns) {
    for (int j = first; j <= last; ++j) {
        int h[3];
        SCHKL(j, h);
        for (int k = 1; k <= ns; ++k) {
            int hp[3];
            symmetry_image(h, k, hp);
            const int a = slot_of(hp);
            if (a != 0 && isr(a) == 0) isr(a) = qcode::weak(j);
        }
    }
}

void enter_list7(int ns) {
    int nr = 0, nref = 0, nzro = 0, ipseudo = 0, x = 0;
    YSFL07(nr, nref, nzro, ipseudo, x);
    int last[3] = {0, 0, 0};
    for (int n = 1; n <= nr; ++n) {
        Word out[9];
        SNR07(out);
        if (n > qcode::kMaxOrdinal) {
            lst("(1x,'too much independent reflections, last reflec','tion stored :',3i4)",
                {last[0], last[1], last[2]});
            return;
        }
        const int h[3] = {out[0].i, out[1].i, out[2].i};
        std::copy(h, h + 3, last);
        const int32_t code = qcode::ordinary(e100_of(out[3].r), n);
        for (int k = 1; k <= ns; ++k) {
            int hp[3];
            symmetry_image(h, k, hp);
            const int a = slot_of(hp);
            if (a != 0 && isr(a) == 0) isr(a) = code;
        }
    }
}

}  // namespace

// ===========================================================================

qcode::Decoded qcode::decode(int32_t entry) {
    Decoded d;
    if (entry == 0) return d;
    if (entry > 0) {
        d.kind = Kind::Ordinary;
        d.e100 = entry / kOrdinal;
        d.ref = entry % kOrdinal;
        return d;
    }
    if (entry == kExtinct) {
        d.kind = Kind::Extinct;
        d.special = true;
        return d;
    }
    if (entry == kSpecialAbsent) {
        d.kind = Kind::SpecialAbsent;
        d.special = true;
        return d;
    }
    const int32_t magnitude = -entry;
    switch (-(entry / kUnit)) {
        case 1:
            d.kind = Kind::Strong;
            d.ref = magnitude % kOrdinal;
            return d;
        case 2:
            d.kind = Kind::Weak;
            d.ref = magnitude % kOrdinal;
            d.special = special_mark(entry);
            return d;
        case 3: {
            const int32_t v = magnitude - 3 * kUnit - kMark;
            d.kind = Kind::SpecialOrdinary;
            d.ref = v % kOrdinal;
            d.e100 = v / kOrdinal;
            d.special = true;
            return d;
        }
        default:
            d.kind = Kind::Unknown;
            return d;
    }
}

qcode::Decoded qcode::classify(int h, int k, int l) {
    const int hkl[3] = {h, k, l};
    const int s = super_index(hkl);
    if (s == 0 || std::abs(s) > largest() || std::abs(k) > UREQ.I(ureqw::kKmax) || std::abs(l) > UREQ.I(ureqw::kLmax))
        return {};
    return decode(isr(std::abs(s)));
}

int qimage::shift_steps(const int h[3], int op) {
    const double u = 24.0 * (h[0] * static_cast<double>(erl_T(op, 1)) + h[1] * static_cast<double>(erl_T(op, 2)) +
                             h[2] * static_cast<double>(erl_T(op, 3)));
    // The remainder is taken non-negative whatever the size of h: a
    // negative shift would borrow from the compact index in the image word.
    return pmod(static_cast<int>(std::round(u)), 24);
}

OperatorClass classify_operator(int k, int variant) {
    const int g = variant == 2 ? -1 : 1;
    int m[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) m[i][j] = (i == j ? 1 : 0) - g * erl_R(k, i + 1, j + 1);
    OperatorClass oc;
    for (int j = 0; j < 3; ++j) {
        bool off = false;
        for (int x = 0; x < 3; ++x)
            if (x != j && (m[j][x] != 0 || m[x][j] != 0)) off = true;
        oc.c[j] = m[j][j] != 0 ? (off ? 3 : 0) : (off ? 0 : 1);
    }
    oc.code = oc.c[0] + oc.c[1] + oc.c[2];
    bool reduce_single = true;
    if (oc.code >= 6) {
        static const int pairs[3][2] = {{0, 1}, {0, 2}, {1, 2}};
        for (const auto& pr : pairs) {
            const int a = pr[0], b = pr[1];
            if (oc.c[a] != 3 || oc.c[b] != 3) continue;
            const int negatives = (m[a][a] < 0) + (m[b][b] < 0) + (m[a][b] < 0) + (m[b][a] < 0);
            oc.pair_sign = negatives == 2 ? 1 : -1;
            if (m[a][a] * m[b][b] - m[a][b] * m[b][a] != 0) {
                oc.c[a] = oc.c[b] = 0;
                oc.code -= 6;
            } else {
                reduce_single = false;
            }
            break;
        }
    }
    if (reduce_single && (oc.code == 3 || oc.code == 4))
        for (int j = 0; j < 3; ++j)
            if (oc.c[j] == 3) {
                oc.c[j] = 0;
                oc.code -= 3;
                break;
            }
    return oc;
}

int translation_order(float t) {
    if (t < 0.001f) return 0;
    for (int d = 1; d <= 8; ++d) {
        const double x = d / static_cast<double>(t) + 0.0001;
        if (x - std::trunc(x) <= 0.001 || d == 8) return static_cast<int>(std::trunc(x));
    }
    return 0;
}

void RECIP() {
    const int ns = nsym();
    const int nrtr = DIRTR.I(dirtr::kNrtr), nrps = DIRPS.I(dirps::kNrps);
    const int nlar = std::clamp(DIRPS.I(dirps::kNlar), 0, std::min(nrtr, kPairs / ns));
    for (int p = 1; p <= kPairs; ++p) {
        image_s(p) = 0;
        image_word(p) = 0;
    }
    for (int s = 1; s <= largest(); ++s) isr(s) = 0;
    enter_strong_rows(nlar, ns);
    enter_weak_rows(nrtr + 1, std::min(nrtr + nrps, kRows), ns);
    enter_list7(ns);
    if (SYM.I(symw::kOps) != 1) GEEST();
}

void GEEST() {
    const int ns = nsym();
    const int variants = centric() ? 2 : 1;
    for (int k = 1; k <= ns; ++k)
        for (int v = 1; v <= variants; ++v) g_class[k][v - 1] = classify_operator(k, v);
    for (int k = 1; k <= ns; ++k) {
        float t[3];
        for (int j = 0; j < 3; ++j) {
            t[j] = erl_T(k, j + 1);
            g_order[k][j] = translation_order(t[j]);
        }
        for (int v = 1; v <= variants; ++v) {
            const OperatorClass& oc = g_class[k][v - 1];
            switch (oc.code) {
                case 1: SCREW(v, k); break;
                case 2: GLIDE(v, k); break;
                case 6:
                case 7: TETRA(v, k, t, oc.pair_sign); break;
                default:
                    if (oc.code > 9) SCREW(v, k);
                    break;
            }
        }
    }
}

void SCREW(int v, int k) {
    const OperatorClass& oc = g_class[k][v - 1];
    int a = 2;
    for (int j = 2; j >= 0; --j)
        if (oc.c[j] != 0) a = j;
    const int m = g_order[k][a] != 0 ? g_order[k][a] : 1;
    for (int x = 1; x <= max_index(1 + a); ++x) {
        int h[3] = {0, 0, 0};
        h[a] = x;
        if (x % m != 0)
            mark_extinct(h);
        else
            SPECQ(h);
    }
}

void GLIDE(int v, int k) {
    const OperatorClass& oc = g_class[k][v - 1];
    int sum = 0, translated = 0, along = -1;
    for (int j = 0; j < 3; ++j)
        if (oc.c[j] != 0) {
            sum += j + 1;
            if (g_order[k][j] != 0) {
                ++translated;
                along = j;
            }
        }
    if (sum <= 2) return;
    const int a = sum == 5 ? 1 : 0;
    const int b = sum == 4 || sum == 5 ? 2 : 1;
    const int m = g_order[k][b] != 0 ? g_order[k][b] : (g_order[k][a] != 0 ? g_order[k][a] : 1);
    for (int ha = 0; ha <= max_index(1 + a); ++ha)
        for (int hb = -max_index(1 + b); hb <= max_index(1 + b); ++hb) {
            int h[3] = {0, 0, 0};
            h[a] = ha;
            h[b] = hb;
            if (translated == 0) {
                SPECQ(h);
                continue;
            }
            const int x = translated == 2 ? ha + hb : h[along];
            if (x % m != 0)
                mark_extinct(h);
            else
                SPECQ(h);
        }
}

void TETRA(int v, int k, const float t[3], int pair_sign) {
    const OperatorClass& oc = g_class[k][v - 1];
    int f = 0;
    for (int j = 2; j >= 0; --j)
        if (oc.c[j] != 3) f = j;
    const int p = f == 0 ? 1 : 0;
    const int q = f == 2 ? 1 : 2;
    const bool free_f = oc.c[f] != 0;
    int n[3] = {g_order[k][0], g_order[k][1], g_order[k][2]};
    const int np = n[p], nq = n[q];

    int d = 1, mp = 0, mf = 0;
    const double x = pair_sign * static_cast<double>(t[q]) + t[p];
    if (std::fabs(x - std::trunc(x)) <= 0.001) {
        if (free_f && n[f] != 0) {
            d = n[f];
            mf = 1;
        }
    } else {
        if (std::fabs(t[p] - t[q]) <= 0.001)
            n[p] /= 2;
        else if (np == nq)
            n[p] = np / 2;
        else
            n[p] = std::max(n[p], n[q]);
        // Translations below the order threshold leave an order of 0: such
        // a diagonal carries no condition, and a divisor must not be 0.
        n[p] = std::max(n[p], 1);
        if (!free_f || n[f] == 0) {
            d = n[p];
            mp = 1;
        } else {
            d = std::max(n[p], n[f]);
            mp = d / n[p];
            mf = d / n[f];
        }
    }
    const int top = std::min(max_index(1 + p), max_index(1 + q));
    const int ffirst = free_f ? 1 : 0, flast = free_f ? max_index(1 + f) : 0;
    for (int i = 0; i <= top; ++i)
        for (int hf = ffirst; hf <= flast; ++hf) {
            int h[3];
            h[p] = i;
            h[q] = pair_sign * i;
            h[f] = hf;
            if ((mp * i + mf * hf) % d != 0)
                mark_extinct(h);
            else
                SPECQ(h);
        }
}

void SPECQ(const int h[3]) {
    const int limit = std::max(DIRQN.I(dirqn::kSpecialE100), DIRQN.I(dirqn::kEquivSpecialE100));
    const int s = slot_of(h);
    if (s == 0) return;
    int32_t& v = isr(s);
    const bool show = print_level() >= 3;
    if (v == 0) {
        v = qcode::kSpecialAbsent;
        if (show) lst("(20x,'rifl. assente speciale  ',3i4)", {h[0], h[1], h[2]});
    } else if (v < 0) {
        if (v <= qcode::kExtinct) return;
        if (v / qcode::kUnit == -2 && !qcode::special_mark(v)) v -= qcode::kMark;
        if (show) lst("(20x,'rifl. spec. debolissimo  ',3i4)", {h[0], h[1], h[2]});
    } else {
        if (v / qcode::kOrdinal > limit) return;
        v = qcode::special_ordinary(v);
        if (show) lst("(20x,'rifl. spec. debole  ',3i4)", {h[0], h[1], h[2]});
    }
}

}  // namespace zanek
