// Seminvariance algebra and first-rank recognition of the seminvariants
// command.
//
// A reflection H is tied to the reflections K with K (I - R_k) = H by the
// rotation R_k of a symmetry operator; its phase is then estimated from
// theirs. The algebra prepares, once per command, a scaled generalised
// inverse of A_k = I - R_k^T for every matrix (A X A = Y A), the classes of
// matrices of which one representative is enough, the inverses and the
// product table. The recognition decides whether a reflection is a
// first-rank structure seminvariant (the seminvariance test MODULX, also
// used by the phasing command), solves each congruence in integers (DIOF)
// and prints the conditions of the group.
//
// Matrices are int[3][3], m[r][c] with 0-based row r and column c; the
// matrices of the group are R(k) = ERL rotation k (1-based numbers).
#pragma once

#include <string>

namespace zanek {

using Mat3 = int[3][3];

// Rotation k of ERL into m.
void erl_matrix(int k, Mat3 m);

// --- Algebra ----------------------------------------------------------------
// Inverse table CHOI words 133.. for the matrices 1..order.
void INVERS();
// M := inverse of R(J); a singular matrix stops the program (1234).
void INVS(int J, Mat3 M);
// B := adjugate(A) / DET (integer division); DET = 0 leaves B unset after
// writing A and its cofactors on the console.
void INV3(const Mat3 A, int& DET, Mat3 B);
// INV rows 2..2 nsym.
void GENINV();
// Diagonal reduction of A with accumulated transforms: A X A = Y A when
// the reduction leaves a diagonal whose elements divide Y.
void G12SP(const Mat3 A, Mat3 X, int& Y);
// Elementary row / column operations on W, accumulated in U / V.
// MODE 1 exchanges P and Q; MODE 2 adds MULT times row (column) Q to row
// (column) P, and COLOP with P = Q multiplies column P by MULT.
void ROWOP(Mat3 W, int P, int Q, int MULT, Mat3 U, int MODE);
void COLOP(Mat3 W, int P, int Q, int MULT, Mat3 V, int MODE);
// The classes of matrices (CHOI words 1-3 and the members).
void CHOICE();
// X := X R(A) R(B).
void PRODM(int A, int B, Mat3 X);
// Product table of ERL for the matrices 1..N.
void MLTPLY(int N);
// OUT := R(I) R(J).
void PROD1(int I, int J, Mat3 OUT);

// --- Recognition ------------------------------------------------------------
// 0 when every row i of the seminvariant matrix V (ERL 2899-2907) gives
// V(i,1) h + V(i,2) k + V(i,3) l divisible by 192, else 1.
int MODULX(const int H[3]);
// Super-index of H with the sign normalised (first non-zero index
// positive), or -1 for 0 0 0, beyond the maximum indices or beyond the
// largest super-index.
void INDR(const int H[3], int& IDX);
// H2 := H R(J) (row vector times matrix); IDX := INDR(H2).
void EQUIV(const int H[3], int H2[3], int J, int& IDX);
// Tests H (record R of list 7) and appends its first-rank entry when it is
// a first-rank seminvariant; FOUND = the number of class matrices (0..5).
void FILLIS(const int H[3], int R, int& FOUND, int PHASE);
// Integer solution of A K = H (H in PRO words 18-20, matrix number in
// PRO word 14): FLAG 0 solved (P and u in PRO words 1-12), 1 not.
void DIOF(const Mat3 A, int& FLAG, int HOUT[3], std::string& SIGN, std::string& MULT, std::string& LETTER);
// 16-character condition text of matrix K (left as it is for the identity).
void CONG4(int K, std::string& TEXT);
// Condition text of a matrix code; a code without entry prints a box.
void CONG5(int CODE, std::string& TEXT);
// Code of a matrix as CONG4 forms it.
int matrix_code(const Mat3 R);
// Writes the seminvariance conditions of the group.
void WRCON();

}  // namespace zanek
