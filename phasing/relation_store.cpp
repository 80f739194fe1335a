#include "phasing/relation_store.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "jobcontrol/lists/list01.h"
#include "jobcontrol/lists/list07.h"
#include "jobcontrol/lists/listutil.h"
#include "jobcontrol/commands.h"
#include "jobcontrol/lists/listxx.h"
#include "jobcontrol/numeric.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/normal.h"
#include "jobcontrol/records/phaseset.h"
#include "jobcontrol/store/store.h"
#include "phasing/origin.h"
#include "phasing/phasing_set.h"
#include "phasing/psizero.h"
#include "platform/listing.h"
#include "relationships/triplets.h"

namespace zanek {

namespace {

constexpr int kOnePhaseList = 26, kTwoPhaseList = 27, kTripletList = 8, kNegTripletList = 10,
              kNegQuartetList = 20;
constexpr int kMaxTwoPhase = 170;   // two-phase seminvariants used at most
constexpr int kMaxQuartets = 200;   // negative quartets read at most
constexpr int kTwoPhaseCap = 600;   // 100 * alpha of a two-phase seminvariant at most
constexpr int kKappaCap = 2047;     // |100 * kappa| a relation word can carry

int print_level() { return UREQ.I(ureqw::kPrint); }
bool centric() { return SYM.I(symw::kCentric) >= 1; }
int nref() { return PARAM.I(param::kNref); }
bool valid_rank(int r) { return r != 0 && std::abs(r) <= nref(); }

// A generic table list as SFLXX reads it.
struct Table {
    bool present = false;
    int count = 0, c1 = 0, c2 = 0, c3 = 0, c4 = 0;  // count = header word 9, c1..c4 words 10-13
    int stride = 0;
    std::vector<Word> items;
    int32_t word(int item, int w) const { return items[static_cast<std::size_t>((item - 1) * stride + w - 1)].i; }
};

bool list_present(int type) {
    int serial = 0, first = -1, last = 0, part = 0, length = 0;
    SRLIN(type, serial, first, last, part, length);
    return first > 0;
}

Table load_table(int type, bool with_items) {
    Table t;
    t.present = list_present(type);
    if (!t.present) return t;
    int width = 0;
    listxx::widths(type, width, t.stride);
    SFLXX(-1, type, t.count, t.c1, t.c2, t.c3, t.c4, nullptr, 0);
    if (!with_items || t.count <= 0) return t;
    t.items.assign(static_cast<std::size_t>(t.count) * t.stride, Word{});
    SFLXX(0, type, t.count, t.c1, t.c2, t.c3, t.c4, t.items.data(), static_cast<int>(t.items.size()));
    return t;
}

void unpack(int32_t w, int& a, int& b, int& c) {
    int32_t A = 0, B = 0, C = 0;
    UNPAK3(w, A, B, C);
    a = A;
    b = B;
    c = C;
}

// The same two reflections as an index-pair word (shift field -1): the
// writers of the lists keep a test quantity in the shift field of word 1.
int32_t index_pair(int32_t w) {
    int a = 0, b = 0, c = 0;
    unpack(w, a, b, c);
    return relation_word(a, b, -1);
}

// The relation store as it is filled: items are appended while both the
// store and the relation index list (one entry per reflection named) have
// room for them.
struct StoreWriter {
    int pos = 1;
    int index_entries = 0;
    bool overflow = false;
    bool add(std::initializer_list<int32_t> words, int nrefl) {
        const int n = static_cast<int>(words.size());
        if (pos - 1 + n > kRelStoreWords || index_entries + nrefl > kRelIndexWords) {
            overflow = true;
            return false;
        }
        for (int32_t w : words) rel_word(pos++) = w;
        index_entries += nrefl;
        return true;
    }
};

bool among(int r, const int* list, int n) { return std::find(list, list + n, r) != list + n; }

int perm_list(int* out, const PhaseDirectives& d) {
    const int n = std::clamp(d.nperm, 0, kMaxSymbols);
    for (int i = 1; i <= n; ++i) out[i - 1] = perm_rank(i);
    return n;
}

void append_order(int r) {
    int& front = SUP.I(sup::kNextFront);
    proc_order(front) = r;
    ++front;
}

int phase_or_360(int phase) { return phase == 0 ? 360 : phase; }

// One-phase seminvariants estimated with alpha of at least 0.8: fixed
// before the trials, with the probability of their estimate as weight.
void one_phase_seminvariants(PhaseSettings& s, const PhaseDirectives& d, Convergence& cv) {
    const Table t = load_table(kOnePhaseList, true);
    int perm[kMaxSymbols];
    const int nperm = perm_list(perm, d);
    int used = 0;
    for (int i = 1; i <= t.c1 && i <= s.onep && i <= t.count; ++i) {
        int A = 0, B = 0, C = 0;
        unpack(t.word(i, 1), A, B, C);
        float alpha = static_cast<float>(B) / 100.0f;
        int rank = std::abs(A);
        double p = 0.0;
        if (A <= 0) {
            const double x = 2.0 * alpha;
            p = std::min(1.0, (x + 0.4807) * x / ((x + 0.8636) * x + 1.3943));
        } else {
            if (C >= 12) alpha = -alpha;
            p = (std::tanh(static_cast<double>(alpha)) + 1.0) / 2.0;
            if (alpha < 0.0f) p = 1.0 - p;
        }
        if (rank < 1 || rank > nref()) continue;
        if (among(rank, perm, nperm)) {
            lst_blank();
            lst("(' ****  warning : reflection with code ',i4,' is a seminvariant to be used in active way but it "
                "will be permuted  ****')",
                {rank});
            lst_blank();
            continue;
        }
        bool known = false;
        for (int j = 1; j <= d.nphas; ++j)
            if (phas_rank(j) == rank) known = true;
        if (known) continue;
        if (print_level() == 1)
            lst("(' code=',i8,'  g=',f6.2,'  p+=',f6.2,'  dshift=',i6)", {rank, alpha, static_cast<float>(p), C});
        append_order(rank);
        ++used;
        assigned_phase(rank) = static_cast<float>(phase_or_360(15 * C));
        refl_weight(rank) = static_cast<float>(p);
    }
    if (print_level() == 2) {
        lst_blank(3);
        lst("(10x,i6,' one phase seminvariants read ',i6,' of which are used ')", {t.c1, used});
        if (used == 0) lst("(10x,' no one phase seminvariants accepted ')");
    }
    cv.k_onephase = used;
}

// The user's known phases ("phas"): fixed before the trials with the
// user's weight. False after the message when a rank is out of range.
bool known_phases(PhaseSettings& s, const PhaseDirectives& d, Convergence& cv) {
    int perm[kMaxSymbols];
    const int nperm = perm_list(perm, d);
    for (int j = 1; j <= d.nphas; ++j) {
        const int rank = phas_rank(j);
        if (rank < 1 || rank > nref()) {
            lst("(' ***  error  ***  reflexion number',i6,'   out of range ****')", {rank});
            s.status = -1;
            return false;
        }
        if (among(rank, perm, nperm)) {
            lst("(' ****  warning  :  reflection with code ',i3,' has a ','known phase but it will be permuted  **** ')",
                {rank});
            continue;
        }
        append_order(rank);
        assigned_phase(rank) = static_cast<float>(phase_or_360(phas_phase(j)));
        refl_weight(rank) = phas_weight(j);
    }
    cv.k_fixed = SUP.I(sup::kNextFront) - 1;
    if (print_level() == 2) {
        lst("('  contenuto iorde dopo  lettura seminvarianti')");
        std::vector<FItem> items;
        for (int i = 1; i <= cv.k_fixed; ++i) items.emplace_back(proc_order(i));
        if (!items.empty()) lst("(20i6)", items);
    }
    return true;
}

// Two-phase seminvariants at or above the threshold, in decreasing alpha.
void two_phase_seminvariants(const PhaseSettings& s, Convergence& cv, StoreWriter& store) {
    const Table t = load_table(kTwoPhaseList, true);
    if (!t.present) return;
    const int n = std::min({t.c2, kMaxTwoPhase, t.count});
    if (print_level() == 1)
        lst("(6x,'  list of  two phase seminvariants',' with /alpha/ greater than ',f6.2)", {s.twop});
    const int b0 = static_cast<int>(std::trunc(100.0f * s.twop));
    for (int i = 1; i <= n; ++i) {
        int A = 0, B = 0, C = 0;
        unpack(t.word(i, 2), A, B, C);
        if (B < b0) break;
        int r1 = 0, r2 = 0, c = 0;
        unpack(t.word(i, 1), r1, r2, c);
        if (!valid_rank(r1) || !valid_rank(r2)) continue;
        if (!store.add({index_pair(t.word(i, 1)), relation_word(A, std::min(B, kTwoPhaseCap), C % 24)}, 2)) break;
        ++cv.ntwo;
        if (print_level() == 1)
            lst("(1x,3i6,f8.2,i6)", {cv.ntwo, r1, r2, static_cast<float>(B) / 100.0f, C});
    }
    if (cv.ntwo > 0) {
        lst_blank(3);
        lst("(i6,'  two-phase structure seminvariants (with alpha',' greater than ',f5.2,' ) are used in active way')",
            {cv.ntwo, s.twop});
        lst_blank(2);
    }
}

struct Triplet {
    int32_t w1, w2;
};

bool triplet_valid(const Triplet& t) {
    int a = 0, b = 0, c = 0;
    unpack(t.w1, a, b, c);
    if (!valid_rank(a) || !valid_rank(b)) return false;
    unpack(t.w2, a, b, c);
    return valid_rank(a) && c >= 0 && c <= 23;
}

// Positive triplets, then the negative ones (kappa above 0.59) with their
// phase turned by 180 degrees and a negative reliability.
std::vector<Triplet> load_triplets(const PhaseDirectives& d, int ntrip_header) {
    std::vector<Triplet> out;
    const Table pos = load_table(kTripletList, true);
    const int n = std::min(ntrip_header, pos.count);
    for (int i = 1; i <= n; ++i) out.push_back({index_pair(pos.word(i, 1)), pos.word(i, 2)});
    if (d.nneg == 0) {
        const Table neg = load_table(kNegTripletList, true);
        for (int i = 1; i <= std::min(neg.c1, neg.count); ++i) {
            int A = 0, B = 0, C = 0;
            unpack(neg.word(i, 2), A, B, C);
            if (B > 59) out.push_back({index_pair(neg.word(i, 1)), relation_word(A, -B, (C + 12) % 24)});
        }
    }
    return out;
}

int reduce360(double v) {
    int x = static_cast<int>(std::lround(std::fmod(v, 360.0)));
    while (x <= 0) x += 360;
    while (x > 360) x -= 360;
    return x;
}

constexpr double kDeg = 3.14159265358979323846 / 180.0;

// With a partial structure the reliability and phase of every triplet take
// the fragment's information in; returns the scale of the new
// reliabilities to the old.
float rescale_for_partial(std::vector<Triplet>& trip) {
    double sum_a = 0.0, sum_k = 0.0, fom_a = 0.0, fom_k = 0.0;
    const bool test = UREQ.I(ureqw::kKnown) == 1;
    auto pa = [](int r) { return PARTIA.R(partia::kValueA + r); };
    auto pb = [](int r) { return PARTIA.R(partia::kValueB + r); };
    auto pp = [](int r) { return PARTIA.I(partia::kPhaseP + r); };
    for (Triplet& t : trip) {
        int r1 = 0, r2 = 0, c = 0, r3 = 0, B = 0, C = 0;
        unpack(t.w1, r1, r2, c);
        unpack(t.w2, r3, B, C);
        const int s = 15 * C;
        const int g = std::min(centric() ? 2 * B : B, kKappaCap);
        const double a3 = 0.01 * g;
        sum_a += a3;
        const int q1 = std::abs(r1), q2 = std::abs(r2), q3 = std::abs(r3);
        const int s2 = r2 < 0 ? -1 : 1, s3 = r3 < 0 ? -1 : 1;
        const int psip = reduce360(s + pp(q1) + s2 * pp(q2) + s3 * pp(q3));
        const double dd = BES(2.0f * pa(q1) * pb(q1)) * BES(2.0f * pa(q2) * pb(q2)) * BES(2.0f * pa(q3) * pb(q3));
        const double beta = BESINV(static_cast<float>(dd)) / 2.0;
        const double x = beta * std::sin(psip * kDeg);
        const double y = beta * std::cos(psip * kDeg) + a3;
        double kappa = std::sqrt(x * x + y * y);
        double psi1 = std::atan2(x, y) / kDeg;
        const int psi_new = reduce360(psi1 < 0 ? -std::floor(-psi1 + 0.5) : std::floor(psi1 + 0.5));
        kappa = std::clamp(kappa, 0.01, 20.47);
        sum_k += kappa;
        const int new_c = (reduce360(s - psi_new) / 15) % 24;
        t.w2 = relation_word(r3, static_cast<int>(std::trunc(100.0 * kappa)), new_c);
        if (test) {
            const int psi = reduce360(s + known_phase(q1) + s2 * known_phase(q2) + s3 * known_phase(q3));
            fom_a += a3 * std::cos(psi * kDeg);
            fom_k += kappa * std::cos((psi - psi_new) * kDeg);
        }
    }
    const float scale = sum_a > 0.0 ? static_cast<float>(sum_k / sum_a) : 1.0f;
    if (print_level() == 1) {
        const float f1 = test && sum_a != 0.0 ? static_cast<float>(fom_a / sum_a) : 0.0f;
        const float f2 = test && sum_k != 0.0 ? static_cast<float>(fom_k / sum_k) : 0.0f;
        lst_blank(2);
        lst("('  scale  ',f5.2,'  fom1(k) =',f7.3,' fom2(alfa3) =',f7.3)", {scale, f1, f2});
        lst_blank();
    }
    return scale;
}

void triplets_into_store(const std::vector<Triplet>& trip, float scale, Convergence& cv, StoreWriter& store) {
    const bool partial = UREQ.I(ureqw::kPartial) != 0;
    for (const Triplet& t : trip) {
        if (!triplet_valid(t)) continue;
        int r3 = 0, B = 0, C = 0;
        unpack(t.w2, r3, B, C);
        int b = 0;
        if (!partial) {
            b = std::clamp(centric() ? 2 * B : B, -kKappaCap, kKappaCap);
        } else {
            const double k = std::min(20.47, std::max(0.01, B / 100.0 / scale));
            b = static_cast<int>(std::trunc(100.0 * k));
        }
        if (!store.add({t.w1, relation_word(r3, b, C)}, 3)) return;
        ++cv.ntrip;
    }
}

// Negative quartets (kappa above 0.39): their phase turned by 180 degrees.
void quartets_into_store(const Table& q, Convergence& cv, StoreWriter& store) {
    const int n = std::min({q.c1, kMaxQuartets, q.count});
    for (int i = 1; i <= n; ++i) {
        int r1 = 0, r2 = 0, r3 = 0, r4 = 0, c = 0, A = 0, B = 0, C = 0;
        unpack(q.word(i, 1), r1, r2, c);
        unpack(q.word(i, 2), r3, r4, c);
        unpack(q.word(i, 3), A, B, C);
        if (B <= 39) continue;
        if (!valid_rank(r1) || !valid_rank(r2) || !valid_rank(r3) || !valid_rank(r4)) continue;
        const int b = std::min(centric() ? 2 * B : B, kKappaCap);
        if (!store.add({index_pair(q.word(i, 1)), index_pair(q.word(i, 2)), relation_word(0, -b, (C + 12) % 24)}, 4))
            return;
        ++cv.nquart;
    }
}

void clear_phasing_arrays() {
    for (int r = 1; r <= kPhaseArray; ++r) {
        proc_order(r) = 0;
        alpha_est(r) = 0.0f;
        alpha3_est(r) = 0.0f;
        preset_phase(r) = 0.0f;
        assigned_phase(r) = 0.0f;
        refl_weight(r) = 0.0f;
        sqrt_sum(r) = 0.0f;
        phase_code(r) = 0;
    }
    rel_ptr(0) = 0;
}

void no_triplets(PhaseSettings& s) {
    lst_blank(2);
    lst_line(" ****  error : no triplets calculated    ****");
    lst_blank(2);
    lst_line(" ****  try with more active reflections ****");
    lst_blank(2);
    s.status = -1;
}

void phasing_set_too_large(PhaseSettings& s, int n) {
    lst_blank(2);
    lst("(' ****  error : the triplets were formed among',i6,' reflections ****')", {n});
    lst("(' ****          at most',i6,' reflections can be phased          ****')", {kMaxPhasingRefl});
    lst_blank(2);
    s.status = -1;
}

}  // namespace

int index_relations(int length) {
    const int n = std::clamp(nref(), 0, kMaxPhasingRefl);
    for (int q = 0; q <= n; ++q) rel_ptr(q) = 0;
    float value = 0.0f;
    int shift = 0, nwords = 0, items = 0;
    // Count the relations of every reflection, then place them.
    for (int pos = 1; pos <= length; pos += nwords) {
        DEPACC(0, pos, value, shift, nwords);
        ++items;
        for (int i = 1; i <= 4; ++i) {
            const int r = std::abs(depacc_slot(i));
            if (r >= 1 && r <= n) ++rel_ptr(r);
        }
    }
    for (int q = 1; q <= n; ++q) rel_ptr(q) += rel_ptr(q - 1);
    for (int q = 0; q <= n; ++q) running_ptr(q) = rel_ptr(q);
    for (int pos = 1; pos <= length; pos += nwords) {
        DEPACC(0, pos, value, shift, nwords);
        for (int i = 1; i <= 4; ++i) {
            const int r = std::abs(depacc_slot(i));
            if (r >= 1 && r <= n) rel_index(++running_ptr(r - 1)) = pos;
        }
    }
    return items;
}

bool build_relation_store(PhaseSettings& s, PhaseDirectives& d, Convergence& cv) {
    cv = Convergence{};
    clear_phasing_arrays();
    // Without reflections there are no triplets either: the command fails
    // (its directive lines are still its own).
    if (!list_present(7)) {
        skip_directives();
        no_triplets(s);
        return false;
    }
    YFL02();
    int n = 0, nref_list = 0, nzro = 0, ipseudo = 0, seed = 0;
    YSFL07(n, nref_list, nzro, ipseudo, seed);
    PARAM.I(param::kReflCount) = n;
    PARAM.I(param::kNref) = nref_list;
    CPSEUD.I(cpseud::kClass) = ipseudo;
    s.seed = seed;
    for (int i = 1; i <= 3; ++i) UNP.I(i) = UREQ.I(i);

    DIRPHA(s, d);
    if (s.status < 0) return false;
    // Reflections of a later %data that were never normalized carry no E
    // values, and the relations still stored were formed over the E values
    // of the reflections before them: phases from the two would be noise.
    if (C.R(cw::kScale) < 0.0f) {
        lst_blank();
        lst_line(" *** error ***  reflections must be normalized.");
        s.status = -1;
        return false;
    }
    cv.nsymb = d.symb;

    const bool partial = UREQ.I(ureqw::kPartial) != 0;
    if (!partial) {
        const Table one = load_table(kOnePhaseList, false);
        if (one.present) s.onep = std::min(s.onep, one.c2);
    }
    const Table trip_header = load_table(kTripletList, false);
    if (!trip_header.present || trip_header.c1 < 1) {
        no_triplets(s);
        return false;
    }
    // The phasing set is the one the invariants were formed over; a list
    // formed over more reflections than the phasing arrays hold is refused.
    if (trip_header.c2 < 1) list_corrupted(kTripletList);
    if (trip_header.c2 > kMaxPhasingRefl) {
        phasing_set_too_large(s, trip_header.c2);
        return false;
    }
    if (!partial) {
        PARAM.I(param::kNref) = trip_header.c2;
        if (s.twop == 0.0f) s.twop = static_cast<float>(trip_header.c4) * 0.001f;
    }
    PARAM.I(param::kNref) = std::clamp(PARAM.I(param::kNref), 1, kMaxPhasingRefl);

    // Ranks the directives name must lie in the phasing set.
    auto out_of_range = [&](int rank) {
        lst("(' ***  error  ***  reflexion number',i6,'   out of range ****')", {rank});
        s.status = -1;
        return false;
    };
    for (int i = 1; i <= std::min(d.nperm, kMaxSymbols); ++i)
        if (!valid_rank(perm_rank(i)) || perm_rank(i) < 0) return out_of_range(perm_rank(i));
    if (d.enan != 0 && !valid_rank(d.enan)) return out_of_range(d.enan);
    int kept = 0;
    for (int i = 0; i < d.norig; ++i) {
        if (d.orig_rank[i] > nref()) continue;
        d.orig_rank[kept] = d.orig_rank[i];
        USE2.I(use2::kOrigValue + kept) = USE2.I(use2::kOrigValue + i);
        ++kept;
    }
    for (int i = kept; i < kMaxOrigPairs; ++i) d.orig_rank[i] = 0;
    d.norig = kept;

    SUP.I(sup::kNextFront) = 1;
    StoreWriter store;
    if (!partial) one_phase_seminvariants(s, d, cv);
    if (!known_phases(s, d, cv)) return false;
    two_phase_seminvariants(s, cv, store);

    std::vector<Triplet> trip = load_triplets(d, trip_header.c1);
    const Table quartets = load_table(kNegQuartetList, true);
    REFSTO(1);
    float scale = 1.0f;
    if (partial && !trip.empty()) scale = rescale_for_partial(trip);
    triplets_into_store(trip, scale, cv, store);
    SUP.I(sup::kTriplets) = cv.ntrip;
    if (d.nngq == 0 && quartets.present) quartets_into_store(quartets, cv, store);
    if (store.overflow)
        lst_line(" *** warning *** the relation store is full: the relations that follow are not used");

    s.store_length = store.pos - 1;
    cv.nrel = index_relations(s.store_length);

    NEWPSI1();
    for (int r = 1; r <= kPhaseArray; ++r) phase_code(r) = 0;
    GROUP();
    SUP.I(sup::kListCount) = std::abs(SUP.I(sup::kListCount));
    for (int w = param::kEnan; w <= param::kEnanCand + 2; ++w) PARAM.I(w) = 0;
    for (int i = 0; i < 3; ++i) cv.origin[i] = d.orig != 0 ? d.orig_rank[i] : 0;
    return true;
}

}  // namespace zanek
