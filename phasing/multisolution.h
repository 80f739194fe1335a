// The multisolution stage of the phase command: the starting set becomes a
// sequence of trials (magic integers for the general symbols, the two
// allowed values of restricted symbols, the two enantiomorphic values of
// the permutable reflections, or random phases); each trial is extended
// and refined by the weighted tangent formula, scored, and the best sets
// are kept in the phase-set list (16).
#pragma once

#include <array>
#include <cstdint>

#include "phasing/phase_records.h"

namespace zanek {

// ---------------------------------------------------------------------------
// Work-store areas of the multisolution stages (1-based XDATA words, inside
// the area the phase command leaves to them).
namespace xm {
constexpr int kClassLast = 126401;   // w126401-126403 INTEGER last slot used in classes 1-3
constexpr int kSlot = 126404;        // w126404-126903 INTEGER starting-set slots 1..500
constexpr int kFixedMark = 126904;   // w126904-127403 INTEGER fixed mark of rank r
constexpr int kSigma = 127404;       // w127404-127903 REAL spread of the expected alpha of r
constexpr int kFigures = 127904;     // w127904-127923 REAL figures of the latest trial
constexpr int kAlphaObs = xd::kTangent;  // w129404-129903 REAL alpha array of the refinement
constexpr int kSetTable = xd::kStoredSets;  // w190911-194232 REAL stored-set table, 11 x 302
}  // namespace xm

constexpr int kSlotCount = 500;      // starting-set slots
constexpr int kSetSlots = 302;       // stored-set slots: 300 kept sets and two known-phase sets
constexpr int kMaxKeptSets = 300;

// Figures of the latest trial (word xm::kFigures - 1 + index).
namespace fig {
constexpr int kMabs = 1;        // sum of observed / sum of expected alpha
constexpr int kQ = 2;           // nalf(2): squared deviations over the total variance
constexpr int kZ2 = 3;          // nalf(3): <z^2>
constexpr int kZ2m1 = 4;        // nalf(4): <|z^2 - 1|>
constexpr int kZabs = 5;        // nalf(1): <|z|>
constexpr int kUndet = 6;       // number of undetermined phases
constexpr int kError = 7;       // mean phase error against the known phases
constexpr int kWError = 8;      // the same weighted by the observed alpha
constexpr int kSs1 = 9;         // one-phase seminvariant figure
constexpr int kNps0 = 10;       // psi-zero modulus ratio
constexpr int kLatestCfom = 11; // cfom of the latest trial (the stop test reads it)
}  // namespace fig

inline int& class_last(int c) { return XDATA.I(xm::kClassLast - 1 + c); }  // c = 1..3
inline int& start_slot(int s) { return XDATA.I(xm::kSlot - 1 + s); }       // s = 1..500
inline int& fixed_mark(int r) { return XDATA.I(xm::kFixedMark - 1 + r); }
inline float& alpha_sigma(int r) { return XDATA.R(xm::kSigma - 1 + r); }
inline float& alpha_exp(int r) { return XDATA.R(xd::kAlpha3 - 1 + r); }    // replaces A3 here
inline float& alpha_obs(int r) { return XDATA.R(xm::kAlphaObs - 1 + r); }
inline float& trial_figure(int k) { return XDATA.R(xm::kFigures - 1 + k); }
// Stored-set table: column c (1..11) of slot s (1..302).
inline float& set_table(int c, int s) { return XDATA.R(xm::kSetTable + (c - 1) * kSetSlots + (s - 1)); }

// ---------------------------------------------------------------------------
// Whole-degree sines of this stage's own table (sin d = entry d+1, cos d =
// entry d+91, d = 0..359) and the projection of a sum of vectors on the
// allowed direction of a restricted phase.

void fill_tables();
inline float tsin(int d) { return TABLES.R(d + 1); }
inline float tcos(int d) { return tsin(d + 90); }
inline int reduce360(int d) {
    const int r = d % 360;
    return r < 0 ? r + 360 : r;
}
// (S, C) becomes (S sin p + C cos p)(sin p, cos p), p = 15(r'-1) the first
// allowed phase of restriction code r; nothing for a general phase.
inline void project_restricted(int code, double& s, double& c) {
    const int r = bare_restriction(code);
    if (r <= kRestrictGeneral) return;
    const int p = 15 * (reduced_restriction(r) - 1);
    const double sp = tsin(p), cp = tcos(p);
    const double m = s * sp + c * cp;
    s = m * sp;
    c = m * cp;
}

// ---------------------------------------------------------------------------
// Routines

// The multisolution run (called once by CONTAN, after the divergence stage
// has coded the starting set). Arguments in CONTAN's order: 1 not used;
// 2 number of relations (print level 2); 3 one-phase count; 4 two-phase
// threshold; 5 1 when "tria" named trials; 6 0 after "test" (fixed seed);
// 7 not used; 8 random seed (in/out); 9 cfom stop threshold; 10 sets to
// keep (300: one per trial; out: the number kept); 11 command status
// (out); 12 the general-symbol weight table.
void TANGEN(int& pass_through, int& nrel, int& onep, float& twop, int& tria, int& test, int& unused,
            int& seed, float& minf, int& nkeep, int& status, const std::array<float, 12>& weights);

// Magic integers of n general symbols: fills MAG w3.. (m), w18.. (Fibonacci
// terms) and w33 (dx); returns in N the number of values of the variable.
void MAGIC(int& N);
// Gamma(n/2).
float GAMFU(int n);
// The phases and weights of the next trial; more = 0 when none is left.
// The first trial of a sequence (after start_trial_sequence) is the
// starting set as coded, even when no symbol steps the counter.
void start_trial_sequence();
void WEIPHA(int& more, float& x, float dx, int nsymb, const std::array<float, 12>& weights);

}  // namespace zanek
