// Triplet-type structure invariants of the invariants command: sigma2
// triplets (three strong reflections), psi-zero triplets (one weak, two
// strong) and psi-e triplets (one reflection after the strong ones, two
// strong), found through the symmetry images of the strong reflections and
// the super-index table, with their symmetry phase shift, known-phase sum
// and reliability; and the relation records in which they are stored
// (lists 8, 9, 10, 11, 24).
#pragma once

#include <cstdint>

#include "jobcontrol/records/work.h"
#include "platform/word.h"

namespace zanek {

// --- The work store of the invariants command ----------------------------
// XDATA words: 1-3000 the invariant reflection table (1000 rows of three
// words), 3001-4000 the phase restriction code of each row, 4001-24000 the
// image super-index of each (row, operator) pair, 24001-44000 its symmetry
// image word, 44001-144000 the super-index table isr, 144001-204000 20000
// relation records of three words, 204001-224000 the first sort key of each
// relation, 224001-244000 the second.
namespace invtab {
constexpr int kRows = 1000;
constexpr int kPairs = 20000;
constexpr int kIsrSize = 100000;
constexpr int kRelations = 20000;
constexpr int kTableBase = 0, kRestrictionBase = 3000, kImageBase = 4000, kImageWordBase = 24000,
              kIsrBase = 44000, kRelationBase = 144000, kKey1Base = 204000, kKey2Base = 224000;

// Row words: 1 compact index (h+64)*2^14 + (k+64)*2^7 + (l+64); 2 the E word
// round(100 E)*512 + known phase (0..359); 3 trunc(1000 alpha).
inline int32_t& row_index(int r) { return XDATA.I(kTableBase + 3 * (r - 1) + 1); }
inline int32_t& row_eword(int r) { return XDATA.I(kTableBase + 3 * (r - 1) + 2); }
inline int32_t& row_alpha(int r) { return XDATA.I(kTableBase + 3 * (r - 1) + 3); }
inline int32_t& row_restriction(int r) { return XDATA.I(kRestrictionBase + r); }
inline int32_t& image_s(int p) { return XDATA.I(kImageBase + p); }
inline int32_t& image_word(int p) { return XDATA.I(kImageWordBase + p); }
inline int32_t& isr(int s) { return XDATA.I(kIsrBase + s); }
// Word w (1..3) of relation record n.
inline int32_t& relation(int n, int w) { return XDATA.I(kRelationBase + 3 * (n - 1) + w); }
inline Word* relation_area() { return XDATA.at(kRelationBase + 1); }
inline float& key1(int n) { return XDATA.R(kKey1Base + n); }
inline float& key2(int n) { return XDATA.R(kKey2Base + n); }

constexpr int32_t pack_index(int h, int k, int l) { return (h + 64) * 16384 + (k + 64) * 128 + (l + 64); }
void unpack_index(int32_t w, int hkl[3]);
// E word of a row: round(100 E) with halves up, times 512, plus the phase.
int32_t pack_eword(float e, int phase);
inline float row_e(int r) { return static_cast<float>(row_eword(r) / 512) / 100.0f; }
inline int row_phase(int r) { return row_eword(r) % 512; }
}  // namespace invtab

// Non-negative remainder of a modulo n.
constexpr int pmod(int a, int n) { return ((a % n) + n) % n; }

// Relation word ((A+2048)*4096 + (B+2048))*32 + (C+1).
constexpr int32_t relation_word(int a, int b, int c) { return ((a + 2048) * 4096 + (b + 2048)) * 32 + (c + 1); }

// h' = h R(op) with the matrices of ERL: h'_c = sum_r h_r R(op, r, c).
void symmetry_image(const int h[3], int op, int out[3]);
// Super-index PARAM(1) h + PARAM(2) k + l.
int super_index(const int h[3]);

// Rounding of a reliability to hundredths, halves away from zero.
int round100(double g);

// h, k, l of table row N.
void SCHKL(int n, int hkl[3]);
// Unpacks relation record N (see the record layout in triplets.cpp) into
// G, the p-3 G, the symmetry shift T (15-degree steps) and the known-phase
// sum PHI (degrees), and its rows, operators, signs and E^2 - 1 into CP10.
void DECOM(int n, float& g, float& gp3, int& t, int& phi);
// Sorts relation records 1..N by decreasing first key, moving the record
// words and both keys together (diminishing-gap exchange sort).
void SORTGN(int n);

// The smallest-G word of the relation lists: trunc(1000 G) of the last
// stored triplet of the latest triplet pass of the run (0 before any, and
// 0 when that pass stored nothing).
int32_t& smallest_g_word();

// Outcome of one relation pass (for the counts and the listing).
struct PassOutcome {
    int stored = 0;        // relations in the store at the end
    int overflow = 0;      // triplets met after the store filled
    int rejected = 0;      // psi-zero relations rejected under pseudo-translation
    int inconsistent = 0;  // symmetry-inconsistent triplets skipped
};

// Builds the symmetry images of strong rows 1..DIRTR word 9 and the isr
// entries of this command's relation passes.
void build_relation_images();

// One generation of relations over the table (no list written).
// kind 0 triplets, 1 psi; mode 0 psi-zero, 1 psi-e; capacity the size of
// the store; gmin_psie the psi-e threshold; hdrflag as for STRIP9.
PassOutcome generate_relations(int kind, int mode, int capacity, float gmin_psie, int& hdrflag);

// One pass with its heading, counts and list (psi-e retries included).
// COUNTS is the 14-word count array (0-based here: counts[0] is word 1).
void STRIP9(int kind, int mode, int npsie, int counts[14], int& hdrflag, int big, int rsmode);

// Writes the relation area as a list: 1 list 8, 2 list 9, 4 list 24,
// 5 PROC word 2 := 1 then as 4; any other mode as 1.
void WRTR9(int mode, int32_t mink, int npsie);

}  // namespace zanek
