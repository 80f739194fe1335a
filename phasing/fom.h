// Figures of merit of one trial: the alpha figures, the phase-dependent
// figures of the seminvariant, negative and enantiomorph-sensitive
// relations, the psi-zero figures, and their combination cfom.
#pragma once

#include "platform/word.h"

namespace zanek {

// Figure trackers: 21 (maximum, minimum) pairs, in this order.
namespace track {
enum : int {
    kMabs = 1, kNalf2, kNalf3, kNalf4, kNalf1, kSs1, kSs2, kNqu, kNtr, kNps0, kEntr, kEnqu,
    kNps3, kNps2, kNps1, kX, kPscomb, kAlcomb, kRxy, kCphase, kCfom
};
constexpr int kCount = 21;
}  // namespace track
// FOMTRK: word 2k-1 the maximum and 2k the minimum of figure k.
inline Record<42> FOMTRK;
namespace fomtrk {
constexpr int kMax = 1, kMin = 2;  // REAL the pair of figure 1; figure k lies kPair*(k-1) further on
constexpr int kPair = 2;
}  // namespace fomtrk
inline float& track_max(int k) { return FOMTRK.R(fomtrk::kMax + fomtrk::kPair * (k - 1)); }
inline float& track_min(int k) { return FOMTRK.R(fomtrk::kMin + fomtrk::kPair * (k - 1)); }

// Scores trial t and hands it to the set keeping. Arguments: 1 NREF;
// 2 trial number; 3 number of trials; 4 one-phase count; 5 two-phase
// threshold; 6 s; 7 centric flag (SYM w220); 8 sets to keep; 9 slot word;
// 10 evaluated trials; 11 lowest kept cfom; 12 count for the final table.
void FOMSP(int nref, int t, int ntrials, int onep, float twop, float s, int centric, int& nkeep,
           int& slot, int& evaluated, float& lowest, int& nenan);

}  // namespace zanek
