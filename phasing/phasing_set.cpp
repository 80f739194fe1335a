#include "phasing/phasing_set.h"

#include <algorithm>
#include <cmath>
#include <vector>
#include <cstdint>

#include "jobcontrol/lists/list07.h"
#include "jobcontrol/numeric.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/phaseset.h"
#include "phasing/phase_records.h"
#include "phasing/psizero.h"
#include "platform/listing.h"
#include "platform/stop.h"
#include "relationships/semalg.h"

namespace zanek {

namespace {

// Fields of the reflection phase word P*32768 + phi*32 + r.
int word_phase(int32_t w) { return (w % 32768) / 32; }
int word_restriction(int32_t w) { return (w % 32768) % 32; }
int word_partial_phase(int32_t w) { return w / 32768; }

// E carried to 0.01 as the packed word holds it; E is kept within what
// the packed word can carry.
int hundredths(float e) {
    const double v = std::trunc(100.0 * (static_cast<double>(e) + 0.005));
    return static_cast<int>(std::clamp(v, 0.0, 4000.0));
}

int super_index(int h, int k, int l) { return h * UNP.I(unp::kStrideH) + k * UNP.I(unp::kStrideK) + l; }

}  // namespace

void REFSTO(int mode) {
    // The strides of the super-index from the largest indices of the data.
    for (int i = 1; i <= 3; ++i) unp_max(i) = max_index(i);
    UNP.I(unp::kStrideK) = 2 * unp_max(3) + 1;
    UNP.I(unp::kStrideH) = (2 * unp_max(2) + 1) * UNP.I(unp::kStrideK);
    UNP.I(unp::kOffset) = unp_max(2) * UNP.I(unp::kStrideK) + unp_max(3);

    // Read the reflection list from its first record; opening it reloads
    // the run switches from its header, so keep the ones this command set.
    const Record<16> ureq = UREQ;
    int count = 0, nref_list = 0, nzro_list = 0, ipseudo = 0, seed = 0;
    YSFL07(count, nref_list, nzro_list, ipseudo, seed);
    UREQ = ureq;
    PARAM.I(param::kReflCount) = count;

    const int nref = std::clamp(PARAM.I(param::kNref), 0, count);
    const bool partial = UREQ.I(ureqw::kPartial) != 0;
    Word rec[9];
    if (mode == 1) {
        const int n = std::min(nref, kMaxPhasingRefl);
        for (int j = 1; j <= n; ++j) {
            SNR07(rec);
            const int32_t w = rec[7].i;
            packed_refl(j) = kPackedE * hundredths(rec[3].r) + super_index(rec[0].i, rec[1].i, rec[2].i);
            known_phase(j) = word_phase(w);
            restrict_code(j) = word_restriction(w);
            if (partial) {
                PARTIA.R(partia::kValueA + j) = rec[5].r;
                PARTIA.R(partia::kValueB + j) = rec[6].r;
                PARTIA.I(partia::kPhaseP + j) = word_partial_phase(w);
            }
        }
        if (partial) SYM.R(symw::kSigma3Prim) *= 0.5f;
        return;
    }

    // Mode 2: the phasing set, then the weak reflections at the end of the
    // list, as entries 1.. of the strong-and-weak arrays.
    const int nzro = std::clamp(PSI0.I(psi0::kNzro), 0, count);
    const int n_strong = std::min(nref, kMaxStrongWeak);
    const int n_weak = std::min(nzro, kMaxStrongWeak - n_strong);
    const int weak_from = count - nzro + 1;
    int entry = 0;
    for (int i = 1; i <= count && entry < n_strong + n_weak; ++i) {
        SNR07(rec);
        if (i > n_strong && i < weak_from) continue;
        ++entry;
        const int32_t w = rec[7].i;
        packed_refl(entry) = super_index(rec[0].i, rec[1].i, rec[2].i);
        e_mode2(entry) = static_cast<float>(hundredths(rec[3].r)) * 0.01f;
        // Known phases are kept for the phasing set only (SUP holds 500).
        if (entry <= kPhaseArray) SUP.I(sup::kKnownMode2 - 1 + entry) = word_phase(w);
        restrict_code(entry) = word_restriction(w);
    }
}

void UNPACC(int S, int& h, int& k, int& l) {
    const int c1 = UNP.I(unp::kStrideH), c2 = UNP.I(unp::kStrideK);
    const int t = S + UNP.I(unp::kOffset);
    h = t / c1;
    const int u = t % c1;
    k = u / c2 - unp_max(2);
    l = u % c2 - unp_max(3);
}

void DEPACC(int r, int pos, float& value, int& shift, int& nwords) {
    int32_t q[4] = {0, 0, 0, 0};
    int32_t a = 0, b = 0, c = 0;
    UNPAK3(rel_word(pos), a, b, c);
    q[0] = a;
    q[1] = b;
    nwords = 1;
    if (c >= 0) {
        lst("(' error in subroutine depacc',5i10)", {pos, q[0], q[1], rel_word(pos), c});
        zstop(0);
    }
    UNPAK3(rel_word(pos + 1), a, b, c);
    q[2] = a;
    q[3] = b;
    nwords = 2;
    bool two_reflections = false;
    if (c >= 0) {
        value = static_cast<float>(q[3]) * 0.01f;
        q[3] = 0;
        shift = c;
        if (q[2] >= kThirdReflLimit) {
            q[2] = 0;
            two_reflections = true;
        }
    } else {
        const int32_t x = rel_word(pos + 2);
        shift = (x % 32) - 1;
        const int32_t bb = ((x / 32) % 4096) - 2048;
        value = static_cast<float>(bb) * 0.01f;
        nwords = 3;
    }
    if (r != 0) {
        int found = -1;
        for (int i = 0; i < 4; ++i)
            if (std::abs(q[i]) == r) {
                found = i;
                break;
            }
        if (found < 0) {
            lst("(' *****error in subroutine  depacc ******',5i8)", {r, q[0], q[1], q[2], q[3]});
            zstop(0);
        }
        const int s = q[found] >= 0 ? 1 : -1;
        int32_t others[3];
        int n = 0;
        for (int i = 0; i < 4; ++i)
            if (i != found) others[n++] = -s * q[i];
        q[0] = others[0];
        q[1] = others[1];
        q[2] = others[2];
        q[3] = 0;
        if (two_reflections) q[1] = 0;
        shift = -s * shift;
        if (shift < 0) shift += 24;
    }
    for (int i = 0; i < 4; ++i) depacc_slot(i + 1) = q[i];
}

void PUNTS1() {
    int& count = UREQ1.I(ureq1::kSeminvCount);
    count = 0;
    const int nref = std::clamp(PARAM.I(param::kNref), 0, kMaxPhasingRefl);
    for (int r = 1; r <= nref; ++r) {
        int hkl[3];
        UNPACC(packed_super(packed_refl(r)), hkl[0], hkl[1], hkl[2]);
        if (MODULX(hkl) == 0) {
            ++count;
            UREQ1.I(ureq1::kSeminvRanks - 1 + count) = r;
        }
    }
}

void dump_phasing_set(const char* heading1, const char* heading2) {
    if (heading1 != nullptr) lst("(a,a)", {heading1, heading2});
    std::vector<FItem> items;
    for (int r = 1; r <= PARAM.I(param::kNref); ++r) {
        items.emplace_back(r);
        items.emplace_back(alpha_est(r));
        items.emplace_back(preset_phase(r));
        items.emplace_back(restrict_code(r));
        items.emplace_back(refl_weight(r));
    }
    if (!items.empty()) lst("(3(i5,2f9.2,i5,f7.3))", items);
}

}  // namespace zanek
