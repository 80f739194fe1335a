// Negative and enantiomorph-sensitive quartets of the invariants command:
// four-phase structure invariants phi1 + phi2 + phi3 + phi4 (h1 + h2 + h3 +
// h4 = 0) built from pairs of psi-zero triplets that share their weak
// reflection, whose reliability G and expected phase come from the
// magnitudes of the three cross vectors h1 + h2, h1 + h3, h1 + h4. Quartets
// expected near 180 degrees are kept as list 20 (at most 750, the weakest
// replaced by stronger ones); in groups without a centre of symmetry those
// with a small G are kept as list 21 (the first 500).
//
// Quartet record (items of lists 20 and 21, three relation words):
//   word 1  index-pair word of s1 p1 and s2 p2 (C = -1)
//   word 2  index-pair word of s3 p3 and s4 p4
//   word 3  value word: A = 1024, B = 100 G (0..2047), C = ph (0..23)
// p_t are strong rows of the invariant reflection table, s_t their signs;
// the invariant s1 phi(h_p1 R_o1) + ... + s4 phi(h_p4 R_o4) equals
// s1 phi_p1 + ... + s4 phi_p4 + 15 ph degrees.
#pragma once

#include <cstdint>

#include "jobcontrol/records/work.h"
#include "platform/word.h"

namespace zanek {

namespace quartet {

constexpr int kIdentLimit = 180;      // identifier positions of one quartet and its equivalents
constexpr int kNegativeCapacity = 750;
constexpr int kEnantCapacity = 500;
constexpr int kRecordWords = 7;
// Candidate records in the work store: the negative list from XDATA word
// 204001 (750 records), the enantiomorph-sensitive list from 209251.
constexpr int kNegativeBase = 204000, kEnantBase = 209250;
inline Word* negative_records() { return XDATA.at(kNegativeBase + 1); }
inline Word* enant_records() { return XDATA.at(kEnantBase + 1); }

// One symmetry image of a strong row as the quartet search reads it:
// the signed super-index S' (0 when an earlier operator gave the same |S'|),
// the indices of h R and its phase shift in 15-degree steps.
struct Image {
    int s;
    int h[3];
    int shift;
    int full_s;  // the super-index of h R itself, also for a repeat
};

// A reflection vector: its super-index and indices.
struct Vec {
    int s = 0;
    int h[3] = {0, 0, 0};
};

// The quartet in hand: its partners, vectors, cross vectors and counts.
struct Work {
    const Image* slot[5] = {};  // slots 1..4: images under operators 1..nsym (index op - 1)
    int row[5] = {}, op[5] = {}, sign[5] = {};
    Vec v[5];                   // V1..V4, signs applied
    Vec x[4];                   // cross vectors 1..3
    float e[4] = {}, q[4] = {};
    int ident[kIdentLimit + 4] = {};  // identifier positions 1..kIdentLimit + 1
    int start = 2;              // position of the identifier of cross vector 1
    int weak = 0;               // the weak row shared by the two psi-zero relations
    int outside = 0, special_absent = 0, extinct = 0, special = 0;
    double c = 0.0, s = 0.0;    // the reliability vector
};
Work& work();

// Decodes the image table of strong rows 1..nlar (after RECIP) for XBC9.
void load_images(int nlar, int nsym);

// Reliability threshold t of the enantiomorph-sensitive list for N atoms
// in the primitive cell.
float threshold(float n);

// The quartet pass after RECIP: the search over the psi-zero relations,
// the lists, the statistics and the counts.
void search(int counts[14]);

}  // namespace quartet

// The quartet pass. COUNTS is the 14-word count array (0-based here:
// counts[5] negative calculated, [12] stored, [6] enantiomorph-sensitive
// calculated, [13] stored).
void NEGQ(int counts[14]);

// Points slot SLOT (1..4) at the images of strong row ROW.
void XBC9(int row, int slot, int nsym);

// Classifies cross vector N (1..3: V1 + V(N+1)) of the quartet in hand:
// 0 acceptable, 1 rejects the quartet, -1 a weak row below NMIN. MODE 0
// tests a negative-quartet candidate, 1 an equivalent quartet.
int IEDEB(int n, int nmin, int mode);

// Adds the contributions of the equivalent quartets to the reliability
// vector; 0, or -1 when the quartet is to be dropped. LIMIT = 180.
int IEQUI(int limit);

// Sorts N seven-word candidate records into decreasing order of word 6.
void SORTC(int n, Word* recs);

// Stores an enantiomorph-sensitive candidate (the quartet in hand) with
// 100 B, 100 G, G, the shift ph, the expected phase THETA (radians) and the
// known-phase sum PSI; FULL := 1 when the list is full and nothing was
// stored, else 0.
void ENAN(int ib, int ig, float g, int ph, float theta, int psi, int& full);

}  // namespace zanek
