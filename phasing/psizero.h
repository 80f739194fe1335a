// Psi-zero relations, the expected alphas of the phasing set, and the
// absolute figure of merit of a trial.
#pragma once

#include <cstdint>

namespace zanek {

// PSI0 words (the psi-zero list as loaded).
namespace psi0 {
constexpr int kItems = 1, kNzro = 2;
constexpr int kExpected = 3;    // w3+g-1 expected modulus of group g
constexpr int kRootSum = 303;   // w303+g-1 sqrt(sum a^2) of group g
constexpr int kWeakRank = 603;  // w603+g-1 rank of the weak reflection group g names (0: none)
constexpr int kGroupPtr = 903;  // w903+g-1 group pointer P(g), g = 1..nzro+1
// w1204+i-1 first word of item i (one word further on than the group
// pointers of 300 weak reflections reach)
constexpr int kFirstWord = 1204;
constexpr int kMaxWeak = 300;
constexpr int kMaxItems = 21208 - 1203;
constexpr int32_t kGroupMark = 1 << 30;
}  // namespace psi0

// GIAN words of the psi-zero index.
namespace gian {
constexpr int kRankPtr = 1;     // INTEGER w1.. entries before those of rank r at r (w1 = 0)
constexpr int kEntries = 801;    // list entries (record positions grouped by rank)
constexpr int kRecords = 61801;  // records, two words each
constexpr int kZ1 = 101802, kZ2 = 102102, kZ3 = 102402, kZ4 = 102702;
}  // namespace gian

// Expected alpha and its spread for every phasing reflection, the total
// variance (PARAM w9), and the psi-zero list into PSI0.
void RIALFNEW(int centric, float s);
// The psi-zero records, per-rank pointers and list of GIAN from list 9
// (nothing while the psi-zero switch is off).
void NEWPSI1();
// Clears the psi-zero sums Z1-Z4 of weak reflections 1..weak: no weak
// reflection has a phase before the trial phases give it one.
void clear_psizero_sums(int weak);
// Recomputes the psi-zero sum of weak reflection i from the trial phases.
void NEWPSI3(int i);
// Subtracts the psi-zero terms of rank h from the tangent sums when their
// modulus reaches 0.3*sqrt(tau).
void NEWPSI(int t, int h, double& gs, double& gc, double& ts, double& tc, double& qs, double& qc,
            float& pmod, int& count, float& modulus, float tau);
// Decodes psi-zero record k; with h != 0 the two other ranks and the shift
// are made relative to h.
void DEPAC0(int h, int k, int& shift, int& len, int& r1, int& r2, int& r3);
// Absolute figure of merit, alpha statistics, undetermined phases and
// phase errors of the trial; figs receives them in the order of fig::kMabs
// .. fig::kWError.
void ABSNEW(const int32_t* known, float* figs, int t, float s);

// The refinement reads the psi-zero records through decoded tables; NEWPSI1
// invalidates them and the next use rebuilds them.
void prepare_psizero_tables();
void invalidate_psizero_tables();

}  // namespace zanek
