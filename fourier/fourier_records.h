// Records of the Fourier maps: the map and set words of CONST, the staging
// arrays of the map coefficients in XDATA, the coefficient records of the
// scratch file jrel, the map header TAPE, the map controls TRAN, the
// peak-search settings SDIR and KUSE, the centring table CENT, the figures
// MISC, the map-kind switches UREQ1 and the interpretation conditions INPCL
// that the directives of %fourier fill. EMAP, CONST, ATOMS, ATOMO and TEMP
// themselves live in jobcontrol/records/atoms.h; the word names below add
// to that file's.
#pragma once

#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/work.h"
#include "platform/word.h"

namespace zanek {

// EMAP, the recycling state (INTEGER unless marked REAL).
namespace emap {
constexpr int kCycleLimit = 1;     // below 1: an E-map first; 0: no recycling
constexpr int kStepB = 2;          // step-B counter; 1000 / 2000 while interpreting / output
constexpr int kR = 3;              // REAL current residual
constexpr int kPrevR = 4;          // REAL previous residual
constexpr int kPeaksKept = 5;      // peaks kept by the last search (atom count in step B)
constexpr int kPeaksKept2 = 6;     // the same count
constexpr int kContentPeaks = 7;   // peaks within the expected content
constexpr int kFragmentFlag = 8;   // minus the fragment unit after a fragment start
constexpr int kLs = 210;           // value of "ls", read by nothing
constexpr int kFomi = 213;         // REAL, -1.0 when not given
constexpr int kSigm = 214;         // REAL, -1.0 when not given
constexpr int kFirstB = 10, kLastB = 209;
constexpr int kIntermediate = 1000, kFinal = 2000;  // step-B counter while interpreting
}  // namespace emap

// CONST, map and set words.
namespace konst {
constexpr int kCoefficients = 1;   // coefficients written to jrel
constexpr int kNx = 2, kNy = 3, kNz = 4;
constexpr int kPeaksWanted = 6;
constexpr int kGrid = 30;          // REAL grid spacing in Angstrom
constexpr int kLastSet = 1000, kSetBeforeLast = 1001;  // set requests "kno", "tan"
}  // namespace konst

// UREQ1: word 1 the map kind (0 Fourier; Patterson 1 E^2, 2 F^2, 3 F.E),
// word 506 the psi-e switch (1: no psi-e reflections), word 507 the
// section axis of the printed map (1 y, 2 x, 3 z).
inline Record<507> UREQ1;
namespace ureq1 {
constexpr int kMapKind = 1, kNoPsiE = 506, kSectionAxis = 507;
}

// SDIR: 1 merge distance of peaks in Angstrom (REAL; the peak search
// squares it in place), 2 peaks requested, 3 projections requested,
// 4 flag "noin".
inline Record<4> SDIR;
namespace sdir {
constexpr int kMerge = 1;        // REAL merge distance (its square during the peak search)
constexpr int kPeaks = 2;        // peaks requested
constexpr int kProjections = 3;  // projections of each cluster requested
constexpr int kNoInterpretation = 4;  // 1: "noin" given
}  // namespace sdir
// KUSE: 1 10000 (read by nothing), 2 capacity of the peak list,
// 3 words of the three-section peak buffer.
inline Record<3> KUSE;
namespace kuse {
constexpr int kMark = 1, kCapacity = 2, kBufferWords = 3;
}
// The map-work defaults, set before every map.
constexpr float kMergeDistance = 0.85f;
constexpr int kPeakCapacity = 200;
constexpr int kPeakBufferWords = 159856;
constexpr int kFftWorkWords = 160000;
// The map transform and the peak search's section buffer both start at XDATA word 1.
constexpr int kMapWorkStart = 1;

// TRAN, map output controls: 1 map scale (REAL), 2-4 largest h, k, l,
// 5 underlining level, 6 print unit of the map (0 none), 7-9 printed
// fractions of x, y, z (REAL).
inline Record<9> TRAN;
namespace tran {
constexpr int kScale = 1, kHmax = 2, kKmax = 3, kLmax = 4, kUnderline = 5, kPrintUnit = 6, kFraction = 7;
}

// MISC: 1-9 metric tensor (by columns), 10-12 fractional widths of the
// merge distance, 15-25 the eleven figures of the phase set used (15 mabs,
// 16 alcomb, 17 R(x,y), 18 cphase, 19 cfom), 26 lattice points.
inline Record<26> MISC;
namespace misc {
constexpr int kMetric = 1, kWidths = 10, kFigures = 15, kCfom = 19, kLatticePoints = 26;
}

// TAPE, the map header: 1-6 cell (REAL), 7 operators, 8 centric flag,
// 9 lattice code (1-7 P A B C I F R), 10 expected atoms per asymmetric
// unit, 11-82 translations of 24 operators (REAL), 83-226 compact rotation
// codes of 24 operators (3 rows x 2 signed column codes), 227 general-
// position multiplicity. Words 1-150 also serve as the row buffer of the
// map writer, which is why the header travels with the map.
inline Record<227> TAPE;
namespace tape {
constexpr int kCell = 1, kNsym = 7, kCentric = 8, kLattice = 9, kExpected = 10;
constexpr int kTrans = 11, kRot = 83, kMultiplicity = 227;
constexpr int kHeaderWords = 226;  // words 1-226 travel with the map
}  // namespace tape
// Cell constant i of the map (REAL; 1-3 a, b, c, 4-6 the angles in degrees).
inline float& map_cell(int i) { return TAPE.R(tape::kCell - 1 + i); }

// CENT, centring table of the peak search: 1-12 up to four centring
// vectors (REAL, the origin first), 13 onward the 3x3 REAL rotation of
// each operator (by columns), 229 the number of centring vectors.
inline Record<229> CENT;
namespace cent {
constexpr int kVectors = 1, kMatrices = 13, kCount = 229;
}

// INPCL, the interpretation conditions set by the %fourier directives:
// 1 number of coordination entries (at most 10); entry e: element symbol
// word 1+e, minimum distance 11+e, maximum 21+e (REAL), coordination type
// 31+e, species index 41+e (set by the interpretation); 52 set by the
// interpretation at each call; 53 regroup flag; 54 maximum distance
// "dmax" (REAL); 54+k radius of species k (REAL, -1.0 when not given).
inline Record<64> INPCL;
namespace inpcl {
constexpr int kCount = 1, kElement = 1, kMin = 11, kMax = 21, kType = 31, kSpecies = 41;
constexpr int kPlotSwitch = 52;  // set to 1 at every interpretation
constexpr int kRegroup = 53, kDmax = 54, kRadius = 54;
constexpr int kMaxEntries = 10;
}  // namespace inpcl

// Staging arrays of the map coefficients in XDATA, reflection i = 1..n:
// P(i) packed index h*2^18 + (k+256)*2^9 + (l+256) at word i, and A1..A4
// at words 31000+i, 62000+i, 93000+i, 124000+i.
namespace stage {
constexpr int kMaxReflections = 31000;
constexpr int kP = 0, kA1 = 31000, kA2 = 62000, kA3 = 93000, kA4 = 124000;
inline int32_t& P(int i) { return XDATA.I(kP + i); }
inline float& A1(int i) { return XDATA.R(kA1 + i); }
inline float& A2(int i) { return XDATA.R(kA2 + i); }
inline int32_t& A2i(int i) { return XDATA.I(kA2 + i); }  // the phase while it is an integer
inline int32_t& A3i(int i) { return XDATA.I(kA3 + i); }
inline float& A3(int i) { return XDATA.R(kA3 + i); }
inline float& A4(int i) { return XDATA.R(kA4 + i); }
// The array A2 as the recycling steps take it (A2(1) first).
inline float* A2_array() { return &XDATA.R(kA2 + 1); }
}  // namespace stage

// Coefficient record of jrel: 100 biased packed indices (INTEGER), then
// 100 pairs (A, B) of REAL. The biased index of (h, k, l) is
// (h+256)*2^18 + (k+256)*2^9 + (l+256), every stored index in the
// hemisphere l > 0, or l = 0 and h > 0, or l = h = 0 and k >= 0.
namespace coef {
constexpr int kPerRecord = 100;
constexpr int kRecordWords = 3 * kPerRecord;
constexpr int32_t biased_index(int h, int k, int l) {
    return (h + 256) * 262144 + (k + 256) * 512 + (l + 256);
}
}  // namespace coef

}  // namespace zanek
