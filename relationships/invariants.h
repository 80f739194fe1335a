// The invariants command: its directive reader, the selection of the
// strong, weak and psi-e reflections into the invariant reflection table,
// and the driver that runs the relation passes and prints their counts.
#pragma once

namespace zanek {

// The command routine (status 0, or -1 after its message).
void INVAR(int& ierr);

// Reads the directive lines: MODE := 2 (the relation-store mode), BIG the
// number of triplets kept, PSIE 1 when the psi-e pass runs; sets PROC,
// PRIN, DIRTR, DIRPS, DIR10, DIRQN and PSEUD word 509.
void DIRINV(int& mode, int& big, int& psie, int& ierr);
// The quartet constants (DIRQN) as the reader sets them before the lines.
void set_quartet_defaults();

// Builds the invariant reflection table: MODE 0 strong and weak rows,
// 1 strong and psi-e rows (out: -1 when there is no psi-e reflection).
// SUGG: the suggested coefficient for w-w-w triplets under
// pseudo-translation. NPSIE: the number of psi-e reflections (mode 1).
void INPT9(int& ierr, float& sugg, int& mode, int& npsie);

// Listings of the table: the strong and weak rows; rows FIRST..LAST.
void OUTP();
void OUTP1(int first, int last);

namespace invariants {
constexpr int kMaxStrong = 499;       // strong reflections the phasing arrays hold
constexpr int kMaxWeak = 300;
constexpr int kMaxTriplets = 20000;   // relation records of the work store
constexpr int kDefaultTriplets = 8000;
constexpr int kMaxFreeVectors = 70;
}  // namespace invariants

}  // namespace zanek
