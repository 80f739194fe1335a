// Strengthening of the sigma2 triplets by the p-10 formula: each triplet
// of list 8 is re-estimated with the help of free vectors (the strongest
// reflections), whose cross vectors with the three reflections of the
// triplet bring six further magnitudes into the estimate. The new
// reliabilities are rescaled to the mean of the p-3 ones and split into
// positive (list 8), negative (list 10) and enantiomorph-sensitive (list 11)
// triplets.
#pragma once

#include <vector>

namespace zanek {

// A reflection of list 7 beyond the strong ones, as the p-10 pass sees it.
struct OtherReflection {
    int h, k, l;
    float e;
};

// The image arrays and the super-index table of the p-10 pass: strong rows
// 1..nrtr of the invariant reflection table, and the other reflections.
void build_p10_images(const std::vector<OtherReflection>& others);

// Re-estimates relation records 1..n with numk free vectors: key 1 := the
// p-10 G, key 2 := the p-3 G. Returns the sums of the p-3 G and of |p-10 G|.
struct P10Sums {
    double p3 = 0.0, p10 = 0.0;
};
P10Sums p10_strengthen(int n, int numk);

// The three sets after sorting records 1..n by decreasing G: first record
// and count of each (0, 0 when empty), and the counts before the caps.
struct P10Sets {
    int first_pos = 0, pos = 0;
    int first_es = 0, es = 0, es_before = 0;
    int first_neg = 0, neg = 0, neg_before = 0;
    float ethr = 0.0f, nthr = 0.0f;
};
P10Sets classify_p10(int n, float gmin, float ethr, float nthr, int es_cap, int neg_cap);

// The whole pass: list 8 in, lists 8, 10, 11 out. COUNTS is the 14-word
// count array (0-based here). MODE is not used.
void P10N(int mode, int counts[14]);
// Statistics and listing of the three sets (DIR10 words 7-12).
void TEST10N();

}  // namespace zanek
