// Special-position library: which symmetry operations map an atom onto
// itself within 0.6 A; the exact special position (mean of the coinciding
// images), the site multiplicity and occupancy 1/m, and the restrictions
// the site symmetry imposes on the coordinates and on the anisotropic
// displacement parameters. Also symmetry-equivalent positions, shortest
// lattice distances and the floating-origin warning of polar groups.
// State: SPEC (jobcontrol/records/special.h), filled once by XSPINB.
#pragma once

namespace zanek {

// Work table of coinciding images: row k (0-based here) = (signed order of
// the rotation, rotation-table entry 1..64, signed operator number).
struct SiteWork {
    int w[48][3];
};

// Initialises SPEC from SYM, ERL, RC and the listing unit when the ready
// flag (SPEC word 481) is not positive.
void XSPINB();

// Site symmetry of the atom P (x, y, z in words 1-3 of 11). PNEW := P with
// the special position and word 11 := 1/m. KODE(1..9) restriction codes of
// x, y, z, U11, U22, U33, U23, U13, U12 (i free, j equal to j, -j minus j,
// 0 fixed, 20+j twice j, 10+j half j); KODE(10) = m. LEVEL 1 position and
// multiplicity only, 2 also the codes, 3 also the restriction text into
// ATPOS. Returns +1 on a general position, -1 on a special one.
int KSPECB(SiteWork& work, const float P[11], float PNEW[11], int KODE[10], int name, int num, int hdr, int level);

// Y = S R_K X + t_K + centring vector L (1 = none).
void XEQUI(const float X[3], int K, float S, float Y[3], int L);

// Shortest distance D (A) between X1 and the lattice translates of X2 among
// eight candidates; DX the fractional difference of that translate.
void XDIST(const float X1[3], const float X2[3], float& D, float DX[3]);

// Warning about an origin that floats freely along polar axes.
void XWRIFL();

// Internal steps, exposed for tests.
int XFLORI();
int XCMAT(const int M[3][3]);
void XDEPAC(const int M[3][3], int& entry, int& order);
void XELLES(const SiteWork& work, int m, int KODE[10]);
void XTHERM(const SiteWork& work, int m, int KODE[10]);
// The 42-character restriction text of KODE(1..9).
void XPRINT(const int KODE[10], char text[42]);

}  // namespace zanek
