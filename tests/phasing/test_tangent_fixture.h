// Synthetic phasing problems for the tests of the multisolution stage: a
// phasing set with chosen true phases, E values and restriction codes, and
// relations that the true phases satisfy exactly (each relation's shift is
// chosen so), installed in the work store as the convergence stage leaves
// it: relation store, relation pointers and index list, the strong-and-weak
// arrays, a structure file holding list 16.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <algorithm>
#include <random>
#include <vector>

#include "jobcontrol/lists/list16.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/store.h"
#include "phasing/fom.h"
#include "phasing/multisolution.h"
#include "phasing/phase_records.h"
#include "phasing/psizero.h"
#include "phasing/tangent.h"
#include "tests/jobcontrol/lists_fixture.h"

namespace zanek::phasetest {

// A relation word ((a+2048)*4096 + (b+2048))*32 + (c+1).
inline int32_t relword(int a, int b, int c) { return ((a + 2048) * 4096 + (b + 2048)) * 32 + (c + 1); }

inline int fold(int e) {
    e = std::abs(e) % 360;
    return std::min(e, 360 - e);
}

struct Triplet {
    int r1, r2, r3;  // signed ranks (r1 > 0)
    float g;         // reliability
};
struct Quartet {
    int r1, r2, r3, r4;
    float g;
};

struct Hkl {
    int h, k, l;
    Hkl operator-() const { return {-h, -k, -l}; }
    Hkl operator+(const Hkl& o) const { return {h + o.h, k + o.k, l + o.l}; }
    bool operator==(const Hkl&) const = default;
};

struct Problem {
    int nref = 0;
    bool centric = false;
    std::vector<Hkl> hkl;        // indices of rank r at [r-1]
    std::vector<int> truth;      // true phase of rank r at [r-1], 1..360
    std::vector<int> restrict;   // restriction code
    std::vector<float> e;        // E value
    std::vector<Triplet> triplets;
    std::vector<Quartet> quartets;
    std::vector<std::pair<int, int>> twophase;  // (r1, +-r2) two-phase seminvariants, alpha 2

    int phase(int r) const { return truth[size_t(std::abs(r)) - 1] * (r < 0 ? -1 : 1); }
    // The shift (15-degree steps) that makes the true phases satisfy
    // sum s_i phi_i + 15 c = 0 (mod 360); phases are multiples of 15.
    static int shift_for(int sum) { return ((-sum / 15) % 24 + 24) % 24; }
    // The true phases moved to another origin: phi(h) + 360 h.t, t in
    // 24ths of the cell edges (12ths... for centric sets only halves).
    std::vector<int> shifted(int tx, int ty, int tz) const {
        std::vector<int> v;
        for (int r = 1; r <= nref; ++r) {
            const Hkl& q = hkl[size_t(r) - 1];
            int p = (truth[size_t(r) - 1] + 15 * (q.h * tx + q.k * ty + q.l * tz)) % 360;
            if (p <= 0) p += 360;
            v.push_back(p);
        }
        return v;
    }
};

// A random problem in P1 (or P-1 when centric): nref reflections with
// indices up to 2, their true phases (multiples of 15 degrees, or 180/360),
// and up to ntrip triplets h1 + s2 h2 + s3 h3 = 0 among them, whose
// shifts make the true phases satisfy them. The relations depend on the
// phases only through origin-free combinations, as real invariants do.
inline Problem random_problem(int nref, int ntrip, bool centric, unsigned seed, float gmin = 1.5f,
                              float gmax = 4.0f) {
    std::mt19937 rng(seed);
    Problem p;
    p.nref = nref;
    p.centric = centric;
    // One of each Friedel pair, h > 0 or h = 0, k > 0 or h = k = 0, l > 0.
    std::vector<Hkl> pool;
    for (int h = 0; h <= 2; ++h)
        for (int k = -2; k <= 2; ++k)
            for (int l = -2; l <= 2; ++l)
                if (h > 0 || (h == 0 && k > 0) || (h == 0 && k == 0 && l > 0)) pool.push_back({h, k, l});
    std::shuffle(pool.begin(), pool.end(), rng);
    pool.resize(size_t(nref));
    for (int r = 1; r <= nref; ++r) {
        p.hkl.push_back(pool[size_t(r) - 1]);
        p.truth.push_back(centric ? (rng() % 2 ? 180 : 360) : 15 * int(1 + rng() % 24));
        p.restrict.push_back(centric ? 13 : 1);
        p.e.push_back(3.0f - 1.5f * float(r) / float(nref));
    }
    auto rank_of = [&](const Hkl& q, int& signed_rank) {
        for (int r = 1; r <= nref; ++r) {
            if (p.hkl[size_t(r) - 1] == q) return signed_rank = r, true;
            if (p.hkl[size_t(r) - 1] == -q) return signed_rank = -r, true;
        }
        return false;
    };
    std::uniform_real_distribution<float> g(gmin, gmax);
    std::vector<Triplet> all;
    for (int a = 1; a <= nref; ++a)
        for (int b = a + 1; b <= nref; ++b)
            for (int sb : {1, -1}) {
                const Hkl hb = sb > 0 ? p.hkl[size_t(b) - 1] : -p.hkl[size_t(b) - 1];
                int c = 0;
                // h_a + s_b h_b + s_c h_c = 0 with h_c the third reflection.
                if (!rank_of(-(p.hkl[size_t(a) - 1] + hb), c) || std::abs(c) <= b) continue;
                all.push_back({a, sb * b, c, g(rng)});
            }
    std::shuffle(all.begin(), all.end(), rng);
    if (int(all.size()) > ntrip) all.resize(size_t(ntrip));
    p.triplets = all;
    return p;
}

class PhasingTest : public listtest::ListRun {
protected:
    std::vector<int32_t> known;  // known phases by rank, for WEITAN and ABSNEW

    void SetUp() override {
        ListRun::SetUp();
        XDATA.clear();
        PARAM.clear();
        UREQ1.clear();
        CRIS.clear();
        MAG.clear();
        GIAN.clear();
        PSI0.clear();
        FOM4.clear();
        CFOMXX.clear();
        SUP.clear();
        UNP.clear();
        CONST.clear();
        BUFFER.clear();
        FOMTRK.clear();
        fill_tables();
        CRIS.I(cris::kDumpSet) = -1;
        SYM.R(symw::kSigma3) = 0.3f;
        SYM.R(symw::kSigma3Prim) = 0.3f;
    }

    // Installs the problem as the convergence stage would leave it: no
    // starting set yet, every phase empty, processing order 1..nref.
    void install(const Problem& p) {
        const int n = p.nref;
        PARAM.I(param::kNref) = n;
        PARAM.I(param::kTrials) = 1;
        SYM.I(symw::kCentric) = p.centric ? 1 : 0;
        unp_max(1) = 10;
        unp_max(2) = 10;
        unp_max(3) = 10;
        UNP.I(unp::kStrideK) = 21;
        UNP.I(unp::kStrideH) = 21 * 21;
        UNP.I(unp::kOffset) = 10 * 21 + 10;
        for (int r = 1; r <= n; ++r) {
            e_mode2(r) = p.e[size_t(r) - 1];
            restrict_code(r) = p.restrict[size_t(r) - 1];
            const Hkl& q = p.hkl.empty() ? Hkl{0, 0, r} : p.hkl[size_t(r) - 1];
            packed_refl(r) = q.h * UNP.I(unp::kStrideH) + q.k * UNP.I(unp::kStrideK) + q.l;  // super-index
            proc_order(r) = r;
            trial_phase(r) = 0;
            refl_weight(r) = 0.0f;
            SUP.I(sup::kKnownMode2 - 1 + r) = p.truth[size_t(r) - 1];
        }
        known.assign(p.truth.begin(), p.truth.end());
        // Relation store.
        int pos = 1;
        std::vector<std::vector<int>> names;  // ranks of each item
        std::vector<int> at;
        for (const auto& [r1, r2] : p.twophase) {
            const int c = Problem::shift_for(p.phase(r1) + p.phase(r2));
            rel_word(pos) = relword(r1, r2, -1);
            rel_word(pos + 1) = relword(kValueWordA, 200, c);
            at.push_back(pos);
            names.push_back({r1, r2});
            pos += 2;
        }
        for (const Triplet& t : p.triplets) {
            const int c = Problem::shift_for(p.phase(t.r1) + p.phase(t.r2) + p.phase(t.r3));
            rel_word(pos) = relword(t.r1, t.r2, -1);
            rel_word(pos + 1) = relword(t.r3, int(std::lround(100.0 * t.g)), c);
            at.push_back(pos);
            names.push_back({t.r1, t.r2, t.r3});
            pos += 2;
        }
        for (const Quartet& q : p.quartets) {
            const int c = Problem::shift_for(p.phase(q.r1) + p.phase(q.r2) + p.phase(q.r3) + p.phase(q.r4));
            rel_word(pos) = relword(q.r1, q.r2, -1);
            rel_word(pos + 1) = relword(q.r3, q.r4, -1);
            rel_word(pos + 2) = relword(0, -int(std::lround(100.0 * q.g)), c);
            at.push_back(pos);
            names.push_back({q.r1, q.r2, q.r3, q.r4});
            pos += 3;
        }
        std::vector<int> count(size_t(n) + 1, 0);
        for (const auto& v : names)
            for (int r : v) ++count[size_t(std::abs(r))];
        rel_ptr(0) = 0;
        for (int q = 1; q <= n; ++q) rel_ptr(q) = rel_ptr(q - 1) + count[size_t(q)];
        std::vector<int> run(size_t(n) + 1, 0);
        for (int q = 1; q <= n; ++q) run[size_t(q)] = rel_ptr(q - 1);
        for (size_t i = 0; i < names.size(); ++i)
            for (int r : names[i]) rel_index(++run[size_t(std::abs(r))]) = at[i];
        RIALFNEW(SYM.I(symw::kCentric), SYM.R(symw::kSigma3));
        prepare_tangent_relations();
    }

    // The starting set: origin reflections (class 1, slots 1-3) and symbols
    // (class 2, slots 4..), all fixed at their true phases.
    void start_with(const std::vector<int>& origin, const std::vector<int>& symbols) {
        class_last(1) = 0;
        class_last(2) = 3;
        class_last(3) = 15;
        for (int s = 1; s <= kSlotCount; ++s) start_slot(s) = 0;
        for (int r : origin) start_slot(++class_last(1)) = r;
        for (int r : symbols) start_slot(++class_last(2)) = r;
        ERL.I(erlw::kOriginPhases) = int(origin.size());
        for (int r : origin) set_phase(r, known[size_t(r) - 1], 100.0f);
        for (int r : symbols) set_phase(r, known[size_t(r) - 1], 100.0f);
    }
    void set_phase(int r, int phi, float alpha) {
        trial_phase(r) = phi;
        refl_weight(r) = alpha;
    }

    // List 16 with room for n sets; the set bookkeeping as TANGEN starts it.
    int slot = 0, evaluated = 0, nenan = 0;
    float lowest = 0.0f;
    void make_list16(int n) {
        NFRM16(n);
        XLIMI.I(xlimi::kNextFree) = XLIMI.I(xlimi::kListBase);
        UREQ1.I(ureq1::kSetsStored) = 0;
        UREQ1.I(ureq1::kEquivRejected) = 0;
        UREQ1.I(ureq1::kFinalPass) = 0;
    }

    // One trial refined and scored.
    void refine(int t, int nkeep = 5, int pass = 0) {
        int tria = 0, onep = 0;
        float twop = 1.0f, s = SYM.R(symw::kSigma3);
        WEITAN(tria, t, known.data(), pass, onep, twop, s, nkeep, slot, evaluated, lowest, nenan);
    }

    double mean_error(int n) const {
        double sum = 0.0;
        for (int r = 1; r <= n; ++r) sum += fold(trial_phase(r) - known[size_t(r) - 1]);
        return sum / n;
    }
    int undetermined(int n) const {
        int u = 0;
        for (int r = 1; r <= n; ++r)
            if (trial_phase(r) == 0) ++u;
        return u;
    }
};

}  // namespace zanek::phasetest
