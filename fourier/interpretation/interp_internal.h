// The peak interpretation's own records, work-store layout and routines.
// Every table of one interpretation lives in the work store XDATA from word
// 161002 on (the words below belong to the caller: reflections, map); the
// words of XBUIL say where each table starts. Routines are exposed here so
// that the tests can drive the stages one by one.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "fourier/fourier_records.h"
#include "jobcontrol/records/work.h"
#include "platform/word.h"

namespace zanek {

// --- Records private to the interpretation ------------------------------

// XBUIL (800 words; INTEGER unless marked REAL):
//   1-3 radices of the packed neighbour code (196000, 490, 10)
//   4 next free work-store word
//   5 last peak of the last heavy group (1 when none); 6 number of groups
//   7 number of fragments; 8, 9 numbers of heavy and of light species
//   10, 11 REAL: squares of the largest and of the smallest distance of interest
//   12-20, 21-29 REAL: direct and reciprocal metric tensors
//   30-38, 39-47 REAL: smallest and largest bonding radius of group g (29+g, 38+g)
//   48-128, 129-209 REAL: DMIN(g1,g2), DMAX(g1,g2)
//   210-212, 213-215 REAL: smallest and largest bond angle of angle classes 1-3
//   216, 217 start and record length of the species table
//   218-234 bases and cursors of the contact, angle and status tables
//   235+g angle class of group g; 244+g, 253+g first and last species of g;
//   262+g, 271+g first and last peak of g; 289+j membership of species j;
//   298+k group of peak k (k = 1..500)
inline Record<800> XBUIL;
// XUNIT: word 2 the listing unit, word 6 the interpretation print level.
inline Record<8> XUNIT;
namespace xunit {
constexpr int kListing = 2, kPrint = 6;
}
// WORKC: the projection plots' plane fit and scale (see plots.cpp).
inline Record<141> WORKC;

namespace xb {
constexpr int kRadix1 = 1, kRadix2 = 2, kRadix3 = 3;
constexpr int kFree = 4;           // next free work-store word
constexpr int kLastHeavyPeak = 5;  // peaks 1..w5 count as heavy
constexpr int kGroups = 6;
constexpr int kFragments = 7;
constexpr int kHeavySpecies = 8, kLightSpecies = 9;
constexpr int kMaxDist2 = 10, kMinDist2 = 11;  // REAL
constexpr int kMetric = 12, kRecipMetric = 21;
constexpr int kGroupRmin = 29, kGroupRmax = 38;  // REAL + g: smallest, largest radius of group g
constexpr int kDmin = 47, kDmax = 128;          // REAL + g1 + 9(g2-1): DMIN(g1,g2), DMAX(g1,g2)
constexpr int kAngleMin = 209, kAngleMax = 212;  // REAL + class: smallest, largest bond angle
constexpr int kSpeciesTable = 216, kSpeciesLen = 217;
// Contact and growth tables (work-store indices).
constexpr int kStatus = 218;       // peak status words
constexpr int kScan = 219;         // scan cursor
constexpr int kNbrHead = 220;      // per peak: index of its neighbour block
constexpr int kNbrBlocks = 221;    // start of the neighbour blocks
constexpr int kNbrLen = 222;       // words per neighbour record (5)
constexpr int kAngleLists = 223;   // start of the angle lists / cursor
constexpr int kExcl = 224;         // exclusion list
constexpr int kExclCursor = 225;
constexpr int kExclCount = 226;
constexpr int kAngleIndex = 227;   // per peak: index of its angle record
constexpr int kAngleRecs = 228;
constexpr int kAngleCursor = 229;
constexpr int kBondedPeaks = 230;
constexpr int kAngleLen = 231;     // words per angle-record entry (3)
constexpr int kShortIndex = 232;   // per peak: index of its short-contact list
constexpr int kShortLists = 233;
constexpr int kShortCursor = 234;
constexpr int kAngleClass = 235;   // + g: angle class of group g; word 235 itself is set to 1
constexpr int kFirstSpecies = 244, kLastSpecies = 253;  // + g
constexpr int kFirstPeak = 262, kLastPeak = 271;        // + g
constexpr int kMembership = 289;   // + j: membership of species j (10^(g-1) for each group g)
constexpr int kGroupOf = 298;      // + k: group of peak k
constexpr int kMaxGroups = 9;
constexpr int kMaxPeakGroups = 500;
}  // namespace xb

inline float& dmin_of(int g1, int g2) { return XBUIL.R(xb::kDmin + g1 + 9 * (g2 - 1)); }
inline float& dmax_of(int g1, int g2) { return XBUIL.R(xb::kDmax + g1 + 9 * (g2 - 1)); }
inline float& angle_min(int cls) { return XBUIL.R(xb::kAngleMin + cls); }
inline float& angle_max(int cls) { return XBUIL.R(xb::kAngleMax + cls); }
inline int32_t& group_class(int g) { return XBUIL.I(xb::kAngleClass + g); }
inline int32_t& group_first_species(int g) { return XBUIL.I(xb::kFirstSpecies + g); }
inline int32_t& group_last_species(int g) { return XBUIL.I(xb::kLastSpecies + g); }
inline int32_t& group_first_peak(int g) { return XBUIL.I(xb::kFirstPeak + g); }
inline int32_t& group_last_peak(int g) { return XBUIL.I(xb::kLastPeak + g); }
inline float& group_rmin(int g) { return XBUIL.R(xb::kGroupRmin + g); }
inline float& group_rmax(int g) { return XBUIL.R(xb::kGroupRmax + g); }
inline int32_t& membership(int j) { return XBUIL.I(xb::kMembership + j); }
inline int32_t& group_of(int k) { return XBUIL.I(xb::kGroupOf + k); }
inline int print_level() { return XUNIT.I(xunit::kPrint); }

// The user's conditions (INPCL, set by the %fourier directives), word by word.
namespace cond {
inline int32_t& entries() { return INPCL.I(inpcl::kCount); }
inline Word& element(int e) { return INPCL.W(inpcl::kElement + e); }
inline float& dmin(int e) { return INPCL.R(inpcl::kMin + e); }
inline float& dmax(int e) { return INPCL.R(inpcl::kMax + e); }
inline int32_t& type(int e) { return INPCL.I(inpcl::kType + e); }
inline int32_t& species(int e) { return INPCL.I(inpcl::kSpecies + e); }
inline int32_t& plot_switch() { return INPCL.I(inpcl::kPlotSwitch); }
inline int32_t& regroup() { return INPCL.I(inpcl::kRegroup); }
inline float& max_distance() { return INPCL.R(inpcl::kDmax); }
inline float& radius(int k) { return INPCL.R(inpcl::kRadius + k); }
}  // namespace cond

// --- Work store ---------------------------------------------------------

constexpr int kInterpBase = 161001;   // XDATA(kInterpBase + d) = DATA(d)
constexpr int kInterpLimit = 243488;  // last work-store word the interpretation uses
inline int32_t& XI(int k) { return XDATA.I(k); }
inline float& XR(int k) { return XDATA.R(k); }

// Thrown when a table would run beyond the part of the work store the
// interpretation may use; the run then ends without (further) fragments.
struct StoreFull {};
void need_store(int last);

// --- Descriptor and set-up values --------------------------------------

// The interpretation descriptor: where the peak, species and operator
// tables lie in the work store.
struct Desc {
    int peaks = 0;         // 1: first word of the peak table in use
    int n = 0;             // 2: number of peaks
    int peak_len = 8;      // 3
    int species = 0;       // 4 (and 7): first species record
    int nspecies = 0;      // 5 (and 8)
    int species_len = 18;  // 6 (and 9)
    int ops = 0;           // 10: first operator record
    int nops = 0;          // 11
    int op_len = 12;       // 12: rotation row by row, then the translation
};

// Peak records (8 words): 1 species symbol, 2 serial (REAL), 3-5 x y z,
// 6 occupancy, 7 1.0, 8 height.
inline int peak_word(const Desc& d, int k, int w) { return d.peaks + d.peak_len * (k - 1) + w - 1; }
inline int species_word(const Desc& d, int i, int w) { return d.species + d.species_len * (i - 1) + w - 1; }
// Species table (8 REAL words per species used, from XBUIL word 216).
inline float& spt(int i, int w) { return XR(XBUIL.I(xb::kSpeciesTable) + 8 * (i - 1) + w - 1); }

// Centring vectors: up to four, vector 1 the origin.
struct Lattice {
    int centric = 0;     // 1 when the group is centrosymmetric
    int nlatt = 1;       // vectors in use
    float tv[4][3] = {};
};

// Values kept by MAINCL between the set-up, the run and the hand-back.
struct InterpSetup {
    Desc desc;
    Lattice lat;
    float w1 = 1.0f;       // occupancy of one general position
    int few = 0;           // 1 when fewer than three peaks
    int saved_mode = -1;   // the caller's mode when the run switched it to 2
    int A = 0;             // working peak table
    int B = 0;             // bond list
    float zsort[9] = {};   // atomic number of each sorted species (1-based)
    int result_word = 0;   // start of the interpretation peak table
};

// --- Packed neighbour codes ----------------------------------------------

struct NbrCode {
    int s, t1, t2, t3, j, op, l;
};
NbrCode NOROP(int code);
NbrCode IOROP(int k);  // decodes XDATA(k)
int KORD(int code);

// --- Driver (driver.cpp) --------------------------------------------------

void CLUPAR(InterpSetup& su, int32_t* icode, int& mode, int iprint);
void XLAT(float tv[4][3]);
void CLUEND(const InterpSetup& su);

// --- Species labelling (species.cpp) ---------------------------------------

struct GroupTable {
    int entry[10] = {};  // 1-based: species index of the condition applied to group g
};
void NAMEPK(const Desc& d, float w1, int& nspec, int32_t* icode, GroupTable& gt, const float* zsort);
void READPK(const Desc& d, float w1, int& nspec, int32_t* icode, GroupTable& gt, const float* zsort);
int PIC15(const Desc& d, float w1, float cum);

// --- Distances and angles (distances.cpp) ---------------------------------

constexpr int kMaxImages = 192;  // 24 operators x 2 signs x 4 centring vectors
struct Images {
    int count = 0;
    int code[kMaxImages];
    float d2[kMaxImages];
    float dv[kMaxImages][3];
    float pos[kMaxImages][3];
    float trans[kMaxImages][3];
};
// Images of peak j near peak i (peak numbers above n name the fragment
// centroids that follow the peak table).
void IDST(const Desc& d, const Lattice& lat, int i, int j, Images& out);
// The distinct symmetry images of one position, in the order IDST makes
// them; they depend on the position only, so the neighbour search forms
// them once per peak.
struct ImageSet {
    int count = 0;
    double z[kMaxImages][3];
    int base[kMaxImages];  // op*10 + L
    int sign[kMaxImages];
};
void image_set(const Desc& d, const Lattice& lat, const float x[3], const float g[9], ImageSet& set);
void images_near(const ImageSet& set, const float xi[3], int j, bool self, const float g[9], Images& out);
double metric2(const float* g, const double v[3]);
void metric_copy(float g[9]);
void exclude_peak(int k);
void ANINC(int g, int mode, int n);
void ANDIS(int g, int mode, int n);
void CALANG(const Desc& d, float rad);
float ANG(const float u[3], const float v[3]);
void STTAB(int start, int stride, int n);

// --- The run (run.cpp) ------------------------------------------------------

void CLUST(InterpSetup& su, int32_t* icode, int mode);

// --- Fragment growth and bonds (fragments.cpp) ------------------------------

constexpr int kMaxGrownFragments = 49;  // fragment start table of 50 words
struct FragTables {
    int nfr[101] = {};   // peaks per fragment (1-based)
    int fptr[51] = {};   // first word of each connection table
};
inline int JORDFR(int code) { return (code < 0 ? -code : code) % 100; }
inline int JCOD(int code) { return code / 100; }
float CNTANG(int c, int j, int k, float angle);
void INTCLU(const Desc& d, FragTables& ft, int ns, const float* w, int mode);
void STORCL(Desc& d, FragTables& ft, const Lattice& lat, int res);
void BONDER(const Desc& d, const FragTables& ft, int& newn, int& newstart, int b);

// --- Fragment listing and rings (listing.cpp) --------------------------------

struct RingInfo {
    int nring = 0;
    int ring[501] = {};  // 1-based, increasing peak numbers
    int start = 0;       // degree table (n words), junctions from start + n
    int nfused = 0;
};
void CHANEL(int f, int n, const FragTables& ft, RingInfo& ri, int quiet);
void STCLU(const Desc& d, FragTables& ft, int& plotflag, int newn, int newstart, int res);

// --- Polymeric links, connected positions (links.cpp) -----------------------

int JUPXYZ(const Desc& d, const Lattice& lat, int i, int k, float x[3], float& dist);
void CHCOO(const Desc& d, int k, const float x[3]);
void CHGXYZ(Desc& d, const Lattice& lat, const FragTables& ft, int& scratch, int res);
void SORDA(int f, const Desc& d, const FragTables& ft, int scratch, int nfused, const Lattice& lat);

// --- Projection plots (plots.cpp) ---------------------------------------------

void CLUPRZ(const Desc& d, const float* gg, int& flag, int newn, int newstart);
// Eigenvalues (ascending) and eigenvectors of M = S G (fractional
// components, 1 A long; vector k in evec[3k..3k+2]) with their dual vectors.
void EIGNV3(const float g[9], const float m[9], float eval[3], float evec[9], float dvec[9]);
// Places the labels of np (column, label) pairs at XDATA(S) on one plot
// line and prints it; labels above n are bond points.
void STLINE(int S, int np, int n, float cms);

// --- Listing helpers ----------------------------------------------------------

// A list-directed line: the text, then each number.
void ld_line(const char* text, std::initializer_list<long> values);
// Lists the message (when not empty) and ends the interpretation with
// InterpretationFailed.
[[noreturn]] void interpretation_fails(const std::string& message);
// Element symbol of a species word, first letter in upper case.
std::string symbol_upper(const Word& w);

}  // namespace zanek
