// The data every stage of the phase command shares: the layout of the work
// store XDATA while phases are being determined, the phasing set and its
// per-reflection arrays, the packed reflection word, the phase code, the
// relation store with its pointers and index list, the processing order,
// and the global records of the phase command.
//
// Reflections are named by their rank r (1..NREF) in the phasing set: the
// first NREF reflections of the reflection list, sorted by decreasing E.
// Every per-reflection array holds 500 entries; because the relation
// pointers P(0..NREF) sit directly in front of the restriction codes, NREF
// may not exceed 499.
#pragma once

#include <array>
#include <cstdint>
#include <cstdlib>

#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/phaseset.h"
#include "jobcontrol/records/work.h"
#include "platform/word.h"

namespace zanek {

// ---------------------------------------------------------------------------
// Sizes

constexpr int kPhaseArray = 500;          // entries of every per-reflection array
constexpr int kMaxPhasingRefl = 499;      // largest NREF the arrays admit
constexpr int kMaxStrongWeak = 800;       // mode-2 arrays: strong and weak reflections
constexpr int kRelStoreWords = 41000;     // relation store w80501-121500
constexpr int kRelIndexWords = 61000;     // relation index list w129911-190910
constexpr int kLoadItems = 20000;         // items of the load area and word arrays
constexpr int kMaxSymbols = 12;           // selected symbols (USE1 w1-12)
constexpr int kMaxPhasTriples = 200;      // "phas" triples (USE2)
constexpr int kMaxOrigPairs = 3;          // "orig" pairs
constexpr int kMaxTriaTrials = 20;        // "tria" numbers kept (CONST w10-29)

// ---------------------------------------------------------------------------
// XDATA layout during %phase (first word of each area, 1-based)

namespace xd {
constexpr int kLoad = 1;              // w1-60000 INTEGER load area (3 words an item)
constexpr int kAlpha = 60001;         // w60001-60500 REAL A(r)
constexpr int kFirstWords = 60501;    // w60501-80500 INTEGER first words of loaded items
constexpr int kRelStore = 80501;      // w80501-121500 INTEGER relation store
constexpr int kKnownPhase = 121501;   // w121501-122000 INTEGER known phase, later trial phase
constexpr int kOrder = 122001;        // w122001-122500 INTEGER processing order
constexpr int kAlpha3 = 122501;       // w122501-123000 REAL A3(r)
constexpr int kPhaseCode = 123001;    // w123001-123500 INTEGER phase code
constexpr int kPacked = 123501;       // w123501-124300 INTEGER packed word (mode 1) / super-index (mode 2)
constexpr int kEMode2 = 124301;       // w124301-125100 REAL E to 0.01 (mode 2)
constexpr int kRelPtr = 125101;       // w125101-125600 INTEGER P(0..NREF)
constexpr int kRestrict = 125601;     // w125601-126400 INTEGER restriction codes (mode 2: up to 800)
constexpr int kMultisolution = 126401;  // w126401-129403 areas of the multisolution stages
constexpr int kWeight = 128404;       // w128404-128903 REAL W(r)
constexpr int kPreset = 128904;       // w128904-129403 REAL preset phase
constexpr int kTangent = 129404;      // w129404-129903 tangent refinement area
constexpr int kSlots = 129904;        // w129904-129907 INTEGER the four DEPACC slots
constexpr int kRelIndex = 129911;     // w129911-190910 INTEGER relation index list
constexpr int kStoredSets = 190911;   // w190911-210939 figures of stored sets
constexpr int kSecondWords = 190940;  // w190940-210939 second words while the store is built
constexpr int kRunPtr = 210940;       // w210940-211439 INTEGER running pointers
constexpr int kRowBuffers = 211441;   // w211441-214990 row buffers of the alpha tables
constexpr int kAssigned = 217491;     // w217491-217990 REAL assigned phase
constexpr int kPsiZero = 217991;      // w217991-... psi-zero work area
}  // namespace xd

// Per-reflection accessors, r = rank 1..500.
inline float& alpha_est(int r) { return XDATA.R(xd::kAlpha - 1 + r); }        // A(r)
inline float& alpha3_est(int r) { return XDATA.R(xd::kAlpha3 - 1 + r); }      // A3(r)
inline int& known_phase(int r) { return XDATA.I(xd::kKnownPhase - 1 + r); }   // degrees, 0 none
inline int& trial_phase(int r) { return XDATA.I(xd::kKnownPhase - 1 + r); }   // same words, later
inline int& proc_order(int i) { return XDATA.I(xd::kOrder - 1 + i); }         // i = position 1..500
inline int& phase_code(int r) { return XDATA.I(xd::kPhaseCode - 1 + r); }
inline int& packed_refl(int r) { return XDATA.I(xd::kPacked - 1 + r); }       // r up to 800 in mode 2
inline float& e_mode2(int r) { return XDATA.R(xd::kEMode2 - 1 + r); }         // r up to 800
inline int& rel_ptr(int q) { return XDATA.I(xd::kRelPtr + q); }              // q = 0..NREF
inline int& restrict_code(int r) { return XDATA.I(xd::kRestrict - 1 + r); }   // r up to 800 in mode 2
inline float& refl_weight(int r) { return XDATA.R(xd::kWeight - 1 + r); }     // W(r)
inline float& preset_phase(int r) { return XDATA.R(xd::kPreset - 1 + r); }
inline int& depacc_slot(int i) { return XDATA.I(xd::kSlots - 1 + i); }        // i = 1..4
inline int& rel_index(int k) { return XDATA.I(xd::kRelIndex - 1 + k); }       // k = 1..61000
inline int& rel_word(int pos) { return XDATA.I(xd::kRelStore - 1 + pos); }    // pos = 1..41000
inline float& assigned_phase(int r) { return XDATA.R(xd::kAssigned - 1 + r); }
inline int& load_word(int k) { return XDATA.I(xd::kLoad - 1 + k); }
inline int& first_word(int i) { return XDATA.I(xd::kFirstWords - 1 + i); }
inline int& second_word(int i) { return XDATA.I(xd::kSecondWords - 1 + i); }
inline int& running_ptr(int q) { return XDATA.I(xd::kRunPtr + q); }          // q = 0..NREF

// ---------------------------------------------------------------------------
// Packed reflection word: 500000*trunc(100*(E+0.005)) + S, S the super-index.

constexpr int kPackedE = 500000;
inline int32_t pack_reflection(float e, int super) {
    return kPackedE * static_cast<int32_t>(100.0f * (e + 0.005f)) + super;
}
inline int packed_super(int32_t w) { return w % kPackedE; }
inline float packed_e(int32_t w) { return static_cast<float>(w / kPackedE) * 0.01f; }

// ---------------------------------------------------------------------------
// Phase restriction code: 1 general; 2..13 the two values 15(r'-1), +180.
// Marks on top of it: -code fixed before the trials, -(code+20) removed by
// convergence; during the divergence mapping negative = open.

constexpr int kRemovedMark = 20;
constexpr int kRestrictGeneral = 1;
constexpr int kRestrictCentric = 13;
// The bare value of a marked code.
inline int bare_restriction(int code) {
    int c = std::abs(code);
    return c > kRemovedMark ? c - kRemovedMark : c;
}
// The reduced code r' = r - 12*((r-1) div 12); the first allowed phase is 15(r'-1).
inline int reduced_restriction(int r) { return r - 12 * ((r - 1) / 12); }

// ---------------------------------------------------------------------------
// Phase code (INTEGER per rank):
//   1000*phi + 200      origin reflection, fixed absolutely
//   1000*phi + p        assigned phase with weight p/100 (p >= 100 read as fixed)
//   -1                  symbol (or enantiomorph reflection outside the starting set)
//   -100                no phase (outside the starting set; later 0)
//   -345000 - 15000*r'  two-valued symbol with reduced restriction code r'

constexpr int kCodeOrigin = 200;
constexpr int kCodeFixed = 100;
constexpr int kCodeSymbol = -1;
constexpr int kCodeNoPhase = -100;
constexpr int kCodeTwoValued = -345000;
constexpr int kCodeTwoValuedStep = 15000;
constexpr int kCodePermStep = 180000;
inline int code_phase(int c) { return c / 1000; }
inline int code_weight(int c) { return c % 1000; }

// ---------------------------------------------------------------------------
// Relation store items (store positions 1..store length, through DEPACC):
//   triplet  2 words: index-pair (r1>0, +-r2, C=-1); (+-r3 <700, 100*kappa signed, shift)
//   two-phase seminvariant 2 words: index-pair; value word (A=1024, 100*alpha <= 600, phase)
//   quartet  3 words: index-pair (r1,+-r2); index-pair (+-r3,+-r4); (A=0, -100*kappa, shift)
// A negative kappa marks a relation from a negative list (shift moved by 180 degrees).
constexpr int kValueWordA = 1024;
constexpr int kThirdReflLimit = 700;  // word 2 A at or above this is a value word

// ---------------------------------------------------------------------------
// Words of the crystal-data records (symw, ureqw, erlw: crystal.h).

enum Lattice { kLatP = 1, kLatA, kLatB, kLatC, kLatI, kLatF, kLatR };

// ---------------------------------------------------------------------------
// Global records of %phase

// PARAM (phaseset.h) words during %phase.
namespace param {
constexpr int kEnan = 2;        // enantiomorph reflection (signed rank)
constexpr int kEnanCand = 3;    // w3-w5 further candidates / permutable reflections
constexpr int kPolar = 6;       // polar count, origin-search counter, general symbols, N
constexpr int kSumS = 7;        // REAL sum of s(r)
constexpr int kSumA3 = 8;       // REAL sum of A3(r)
constexpr int kTotalVar = 9;    // REAL total variance (expected alphas)
constexpr int kReflCount = 10;  // reflections in list 7
constexpr int kTrials = 11;     // number of trials
}  // namespace param

// PARAM2: residue vectors of the phasing set (w1..NREF, packed like a packed
// index with bias 131328) and the seminvariant moduli (w501-503).
inline Record<503> PARAM2;
constexpr int kResidueBias = 131328;  // 256*512 + 256
inline int& residue_vector(int r) { return PARAM2.I(r); }
constexpr int kSemModulus = 501;  // INTEGER w501-503 the seminvariant moduli
inline int& sem_modulus(int j) { return PARAM2.I(kSemModulus - 1 + j); }  // j = 1..3

// UNP: super-index strides: w1-3 the largest |h|, |k|, |l|, w4 C1,
// w5 C2, w6 offset kmax*C2 + lmax.
inline Record<8> UNP;
namespace unp {
constexpr int kMaxH = 1;    // INTEGER w1-3 the largest |h|, |k|, |l|
constexpr int kStrideH = 4;  // INTEGER C1 = (2 kmax + 1)(2 lmax + 1), stride of h
constexpr int kStrideK = 5;  // INTEGER C2 = 2 lmax + 1, stride of k
constexpr int kOffset = 6;   // INTEGER kmax*C2 + lmax, makes the super-index of (0,-k,-l) positive
}  // namespace unp
// Largest |index| i (1 h, 2 k, 3 l) of the phasing set.
inline int& unp_max(int i) { return UNP.I(unp::kMaxH - 1 + i); }

// UREQ1 (phasing overlay): w2-501 ranks whose phase is a structure
// seminvariant, w502 their count, w503 sets stored, w504 equivalent sets
// rejected, w505 final-pass flag.
inline Record<505> UREQ1;
namespace ureq1 {
constexpr int kSeminvRanks = 2, kSeminvCount = 502, kSetsStored = 503, kEquivRejected = 504,
              kFinalPass = 505;
}

// CRIS: w1 random phases, w2 random-start flag, w3 maxt, w4 random starting-set
// size, w5 the trial whose working is dumped ("set").
inline Record<5> CRIS;
namespace cris {
constexpr int kRandomCount = 1, kRandomStart = 2, kMaxTrials = 3, kRandomSetSize = 4, kDumpSet = 5;
}

// MAG: w1 sqrt(pi), w2 2/sqrt(pi), w3.. magic integers, w18.. Fibonacci
// terms, w33 REAL dx, w35 "las" flag.
inline Record<35> MAG;
namespace mag {
constexpr int kSqrtPi = 1;       // REAL sqrt(pi)
constexpr int kTwoOverSqrtPi = 2;  // REAL 2/sqrt(pi)
constexpr int kMagic = 3;        // INTEGER w3.. the magic integers m(1..n)
constexpr int kFibonacci = 18;   // INTEGER w18.. the Fibonacci terms f(1..n-1)
constexpr int kLas = 35, kDx = 33;
}

// TABLES: sines of 0..449 whole degrees (cos d = entry d + 91).
inline Record<450> TABLES;

// GIAN: psi-zero work tables; w101801 the psi-zero switch ("nops" clears it).
inline Record<103001> GIAN;
namespace gian {
constexpr int kSwitch = 101801;
}

// PSI0: the psi-zero list as loaded (w1 items, w2 nzro, groups from w3).
inline Record<21208> PSI0;

// FOM4: figure-of-merit constants and counts (w10 sets rejected with cfom 0,
// w11 R(x,y)).
inline Record<11> FOM4;
namespace fom4 {
constexpr int kZeroRejects = 10;  // INTEGER sets rejected with cfom 0
constexpr int kRxy = 11;          // REAL correlation R(x,y)
}  // namespace fom4

// CFOMXX: w1 REAL the best cfom shown on the progress line.
inline Record<1> CFOMXX;
namespace cfomxx {
constexpr int kBest = 1;  // REAL best cfom so far
}  // namespace cfomxx

// PARTIA: partial-structure data: w1-799 and w801-1599 REAL the two values of
// word 4 of each phasing reflection, w1601-2100 known phases of a test run,
// w2101-2600 partial-structure phase P; w2901-2906 flags and values
// (w2903 gmin, w2906 cutm).
inline Record<2906> PARTIA;
namespace partia {
constexpr int kValueA = 0, kValueB = 800, kKnown = 1600, kPhaseP = 2100;
constexpr int kListFlag = 2901, kStartSize = 2902, kGmin = 2903, kScale = 2904, kSumEps = 2905,
              kCutm = 2906;
}

// SUP: work words of the convergence and divergence stages.
inline Record<2050> SUP;
namespace sup {
constexpr int kTripPartner1 = 1;    // w1-80 triplet contributors, first partner
constexpr int kTripPartner2 = 81;   // w81-160 second partner
constexpr int kTripShift = 161;     // w161-240 shift
constexpr int kTripValue = 241;     // w241-320 value (|P - cos psi| in test runs)
constexpr int kTripValue2 = 321;    // w321-400 value
constexpr int kTripCount = 401;     // w401 (also the magic-integer counter of TANGEN)
constexpr int kSumAll = 402;        // REAL running sum of INTER over all relations
constexpr int kNextFront = 404;     // next free front position of the processing order
constexpr int kListCount = 405;     // "list" value
constexpr int kQuartValue = 406;    // w406-485 quartet value / removal record value
constexpr int kQuartP1 = 486;       // w486-565
constexpr int kQuartP2 = 566;       // w566-645
constexpr int kQuartP3 = 646;       // w646-725 (removal record: shift)
constexpr int kQuartShift = 726;    // w726-805
constexpr int kQuartCount = 806;    // w806 (also TANGEN's positive enantiomorph)
constexpr int kTriplets = 807;      // number of triplets kept
constexpr int kSqrtSum = 808;       // w808-1307 REAL s(r) at 807+r
constexpr int kSingleCount = 1308;  // single-partner contributors: count
constexpr int kSinglePartner = 1309, kSingleShift = 1389, kSingleValue = 1469;
constexpr int kStartCopy = 1549;    // starting-set size copy for INTER mode 3
constexpr int kStartSize = 1550;    // starting-set size
constexpr int kKnownMode2 = 1551;   // w1551-2050 known phases (mode 2) at 1550+r
constexpr int kContributors = 80;   // entries of each contributor list
}  // namespace sup
inline float& sqrt_sum(int r) { return SUP.R(sup::kSqrtSum - 1 + r); }

// USE1: w1-12 selected symbols, w13-512 REAL sort keys (rank r at 12+r),
// w513-1012 sort index (512+r), w1013-1024 the "perm" reflections.
inline Record<1024> USE1;
namespace use1 {
constexpr int kSymbols = 1, kSortKey = 13, kSortIndex = 513, kPerm = 1013;
}

// USE2: w1-3 origin values of "orig"; "phas" triples: rank w4-203,
// phase w204-403 (INTEGER degrees), weight w404-603 (REAL).
inline Record<603> USE2;
namespace use2 {
constexpr int kOrigValue = 1, kPhasRank = 4, kPhasPhase = 204, kPhasWeight = 404;
}

// CONST (atoms.h) words during %phase: w8 "all", w9 count and w10-29 the
// trial numbers of "tria". EMAP w212 last R (-1.0 here), w213 minf threshold.
namespace konst {
constexpr int kAll = 8, kTriaCount = 9, kTriaList = 10;
}
namespace emap {
constexpr int kMinf = 213;
}

// General-symbol weight table: the alpha of every magic-integer phase when
// the starting set holds n general symbols (n = 1..12).
constexpr std::array<float, 12> kGeneralSymbolWeights = {5.5f, 4.7f, 3.2f, 2.6f, 2.4f, 2.2f,
                                                         2.1f, 2.0f, 1.9f, 1.8f, 1.7f, 1.7f};

// The phase settings CONTAN keeps for the whole command and hands, in this
// order, to the convergence stage and to the multisolution driver.
struct PhaseSettings {
    int pass_through = 0;      // set by the divergence stage: entries of the relation index list
    int store_length = 0;      // relation-store length in words
    int onep = 3;              // one-phase count
    float twop = 0.0f;         // two-phase threshold
    int trial_output = 15;     // 1 when "tria" named trials
    int const100 = 100;        // a constant no directive changes
    int seed = 0;              // random seed
    float minf = 0.95f;        // cfom stop threshold (EMAP w213)
    int max_sets = 10;         // sets to keep
    int status = 0;            // command status
    std::array<float, 12> weights = kGeneralSymbolWeights;
    int test = 1;              // 0 after "test": fixed seed
    int reject = 1;            // 0 after "nore"
    int new_seed = 0;          // positive "seed" value, stored once the command's inputs are accepted
};

}  // namespace zanek
