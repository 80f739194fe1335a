// Keeping the best phase sets of a multisolution run.
//
// Sets are kept in trial order until the store is full; after that a new
// set replaces the worst kept one when it is better. Two sets that agree on
// the phases of the structure seminvariants (directly or after the change
// of enantiomorph phi -> 360 - phi) are the same solution under another
// origin, so only the better of them is kept.
#include "phasing/stored_sets.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include "jobcontrol/lists/list16.h"
#include "jobcontrol/records/crystal.h"
#include "phasing/fom.h"
#include "phasing/multisolution.h"
#include "phasing/phase_records.h"

namespace zanek {

namespace {

// Stored-set table columns.
enum : int { kMabs = 1, kAlcomb, kRxy, kCphase, kCfom, kUndet, kError, kWError, kEnantio, kTrial, kPscomb };

// Does the trial agree with kept set i on every seminvariant phase that
// both determine (weight above 0.01), allowing each the enantiomorph value?
bool same_seminvariants(int i, int nref) {
    std::vector<float> w(size_t(nref) + 1);
    std::vector<int32_t> phi(size_t(nref) + 1);
    Word head[list16::kFigureWords];
    SNR16(i, head, w.data(), phi.data(), nref);
    const int count = UREQ1.I(ureq1::kSeminvCount);
    for (int k = 0; k < count; ++k) {
        const int r = UREQ1.I(ureq1::kSeminvRanks + k);
        if (r < 1 || r > nref) continue;
        if (!(refl_weight(r) > 0.01f && w[size_t(r) - 1] > 0.01f)) continue;
        const int p = trial_phase(r), q = phi[size_t(r) - 1];
        if (!(std::abs((360 - p) - q) <= 3 || std::abs(p - q) <= 3)) return false;
    }
    return true;
}

void store(const TrialFigures& f, int slot) {
    const float cols[11] = {f.mabs,         f.alcomb, f.rxy,     f.cphase,  f.cfom, f.undetermined,
                            f.error,        f.werror, f.enantio, f.trial,   f.pscomb};
    for (int c = 1; c <= 11; ++c) set_table(c, slot) = cols[c - 1];
    const bool final_pass = UREQ1.I(ureq1::kFinalPass) == 1;
    if (final_pass && UREQ.I(ureqw::kKnown) == 1 && MAG.I(mag::kLas) == 0) return;
    Word head[list16::kFigureWords];
    for (int c = 0; c < 10; ++c) head[c].r = cols[c];
    head[10].i = 0;
    const int nref = PARAM.I(param::kNref);
    std::vector<float> w(static_cast<size_t>(nref));
    std::vector<int32_t> phi(static_cast<size_t>(nref));
    for (int r = 1; r <= nref; ++r) {
        w[size_t(r) - 1] = refl_weight(r);
        phi[size_t(r) - 1] = trial_phase(r);
    }
    SNW16(slot, head, w.data(), phi.data());
}

}  // namespace

void KEEPSET(const TrialFigures& f, int nkeep, int& slotword, float& lowest) {
    int& n = UREQ1.I(ureq1::kSetsStored);
    const bool final_pass = UREQ1.I(ureq1::kFinalPass) == 1;
    int slot = 0;
    if (n <= nkeep) {
        slot = n;
        if (n == 1) slotword = nkeep;
        if (final_pass) return store(f, slot);
        // The first set of a run is kept whatever its figure.
        if (f.cfom < 0.0001f && n > 1) {
            FOM4.I(fom4::kZeroRejects) += 1;
            n -= 1;
            return;
        }
    } else {
        if (final_pass && n > slotword) {
            slotword += 1;
            return store(f, slotword);
        }
        slot = 1;
        for (int s = 2; s <= nkeep && s <= kSetSlots; ++s)
            if (set_table(kCfom, s) < set_table(kCfom, slot)) slot = s;
        lowest = set_table(kCfom, slot);
        if (f.cfom < lowest) {
            n -= 1;
            if (f.cfom < 0.01f) FOM4.I(fom4::kZeroRejects) += 1;
            return;
        }
    }

    if (UREQ1.I(ureq1::kSeminvCount) > 0) {
        const int nref = PARAM.I(param::kNref);
        const int last = std::min(n - 1, nkeep);
        for (int i = 1; i <= last; ++i) {
            if (!(std::fabs(f.cfom - set_table(kCfom, i)) < 0.009f)) continue;
            const float close = (std::fabs(f.alcomb - set_table(kAlcomb, i)) + std::fabs(f.mabs - set_table(kMabs, i)) +
                                 std::fabs(f.cphase - set_table(kCphase, i))) / 3.0f;
            if (!(close <= 0.009f)) continue;
            if (!same_seminvariants(i, nref)) continue;
            n -= 1;
            UREQ1.I(ureq1::kEquivRejected) += 1;
            const bool better =
                UREQ.I(ureqw::kKnown) == 0 ? f.cfom > set_table(kCfom, i) : f.error < set_table(kError, i);
            if (better) return store(f, i);
            return;
        }
    }
    store(f, slot);
}

}  // namespace zanek
