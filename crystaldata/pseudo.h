// Pseudo-translational symmetry in %normal.
//
// A structure whose atoms nearly repeat under a translation that is not a
// lattice translation has a class of systematically strong reflections:
// those that obey one to three congruences a h + b k + c l = 0 (mod n).
// PSEUDO evaluates the classes of a fixed table (and a class found by the
// automatic search AUTOGP) against the normalised intensities of the working
// file, ranks them, selects the most probable one, fits the fraction q of
// the scattering power that does not obey the pseudo-translation as a
// straight line in s^2 (ULTIMA) and, when the pseudo-translation is taken as
// prior information, renormalises the intensities to it (RENORM).
#pragma once

#include <array>
#include <string>
#include <vector>

#include "crystaldata/normal.h"

namespace zanek {

namespace pseudo {

constexpr int kFixedFirst = 2, kFixedLast = 72;  // the fixed classes
constexpr int kWorkClass = 73;                   // a requested or newly found class
constexpr int kEntries = 74;                     // statistics entries 1..74
constexpr int kMaxNeq = 48;                      // rotations of the point group
constexpr int kMaxShells = 30;                   // Wilson shells
constexpr float kEps = 1.0e-5f;
// Distinct gamma values of one key: gamma = P G / NEQ with G = 0..NEQ.
constexpr int kMaxGamma = kMaxNeq + 1;

// One congruence a h + b k + c l = 0 (mod n); an unused slot is (1,1,1;1).
struct Cond {
    int a = 1, b = 1, c = 1, n = 1;
};
using Conds = std::array<Cond, 3>;

struct ClassRow {
    int ncond = 1;
    Conds cond{};
};

// The class table: 1 the trivial class, 2..72 fixed, 73 the work slot.
ClassRow& class_row(int m);
// Restores the work slot to the trivial class.
void clear_work_class();
// True when the twelve condition words of the two rows are equal.
bool same_conditions(const Conds& x, const Conds& y);

// Reflections grouped by their gamma factor: up to kMaxGamma entries of the
// gamma value, the sum of E^2 times multiplicity and the sum of
// multiplicity.
struct GammaTable {
    int ng = 0;
    std::array<float, kMaxGamma> gv{}, se{}, sn{};
};

// The class statistics of one evaluation (entries 1..74; index 0 unused).
struct ClassStats {
    std::array<int, kEntries + 1> nin{};    // multiplicity inside the class (G > 0)
    std::array<double, kEntries + 1> insum{}, outsum{};
    std::array<int, kEntries + 1> nout{};   // multiplicity outside
    std::array<float, kEntries + 1> r1{};   // mean E^2 inside / overall mean
    std::array<float, kEntries + 1> fom{};
    std::array<float, kEntries + 1> n_not{};   // N - N Eout
    std::array<float, kEntries + 1> n_eout{};  // N Eout
    std::array<float, kEntries + 1> eout{};    // mean E^2 outside
    std::array<int, kEntries + 1> number{};    // class number when ranked, else 0
    std::array<float, kEntries + 1> n_pt{};    // N (1 - q): atoms in pseudo-translation
    std::array<float, kEntries + 1> n_q{};     // N q
    std::array<int, kEntries + 1> status{};    // 0 valid, 1 nothing outside, 2 no estimate
    std::array<int, kEntries + 1> map{};       // class map
    std::array<GammaTable, kEntries + 1> gamma{};
    // After renormalisation: multiplicity and mean E^2 of every class.
    std::array<double, kEntries + 1> rcount{}, rmean{};
    // The line fit: per shell k the q estimate and its sum, per shell pair
    // i the mean q (y) and the mean s^2 (x).
    std::array<float, kMaxShells + 2> shell_q{}, shell_s1{};
    void clear() { *this = ClassStats{}; }
};
ClassStats& class_stats();

// Sign of the gamma factor test of a reflection: inside the class.
inline bool inside(float g) { return g >= kEps; }

}  // namespace pseudo

// --- Classes, ranking and the listing (pseudo_classes.cpp) ---------------

// MAP(1..74) := the class map of crystal system ERL word 593: for every
// class the representative of the classes the Laue symmetry makes
// equivalent.
void FILLKQ(std::array<int, pseudo::kEntries + 1>& MAP);
// Six parallel arrays of M entries (index 1..M) sorted together by
// decreasing F: diminishing-increment insertion sort.
void SORT(float* F, float* R, int* K, int* C, float* A, float* B, int M);
// The condition text of a class (36 characters, right-justified).
std::string condition_text(int ncond, const pseudo::Conds& cond);

// --- Evaluation and renormalisation (pseudo_eval.cpp) --------------------

// HE(i) := H R_i, i = 1..NEQ, with the rotations of ERL.
void EQUI(const int H[3], int NEQ, int HE[][3]);
// G := the number of the NEQ equivalents that obey the NC conditions.
void GAMMAC(float& G, const int HE[][3], const pseudo::Conds& COND, int NC, int NEQ);
// Enters (E2 W, W) under the gamma value GAM of table T.
void INSERT(pseudo::GammaTable& T, float E2, float W, float GAM);
// q estimate of a gamma table: S1 = sum SN (SE/SN - GV)/(1 - GV) and
// S2 = sum SN over the entries with SN >= eps and (1 - GV) >= eps, or with
// |1 - GV| >= eps when gamma above 1 is to count.
void gamma_sums(const pseudo::GammaTable& T, bool above_one, double& S1, double& S2);
// The straight line q(s^2) = SLOPE s^2 + CONST of class c, fitted to the
// per-shell estimates of q of the working file; NQ is N q of the class.
void ULTIMA(const WorkingFile& wf, int c, float N, int NEQ, float NQ, float& SLOPE, float& CONST);
// Renormalises working-record word 10 for the class in CPSEUD word 1 with
// the fitted line, prints the statistic of every class after it; NSTORE :=
// the class's number of conditions, ESCALE := the root of the scale.
void RENORM(WorkingFile& wf, int LAST, float SLOPE, float CONST, float& ESCALE, int& NSTORE);

// --- The section (pseudo.cpp) ---------------------------------------------

// The pseudo-translation section of %normal (working file of working_file()).
// SLOPE, CONST: the fitted line of the selected class; ESCALE, NSTORE: set by
// RENORM (NSTORE non-zero: list 19 is to be stored); IERR never changed.
void PSEUDO(float& SLOPE, float& CONST, float& ESCALE, int& NSTORE, int& IERR);
// The pseudo-translation step of %normal after the rescaling: PSEUDO, and
// list 19 when a class is taken as prior information. NSTORE := its number
// of conditions (0 when none), kept with list 7.
void pseudo_translation_of_normal(int& NSTORE, int& IERR);

// --- Automatic search (pseudo_search.cpp) ---------------------------------

namespace pseudo {
constexpr int kMaxPeriod = 256;
constexpr int kMaxStrong = 1000;
constexpr int kCoefRows = 6;
// Conditions found so far: a, b, c, n and the score (10^6 times the
// fraction of strong E^2 that violates the condition); n = 0 is empty.
struct CoefRow {
    int v[3] = {0, 0, 0};
    int n = 0;
    int score = 0;
};
using Coef = std::array<CoefRow, kCoefRows>;
using AxisSums = std::array<std::array<float, kMaxPeriod + 1>, 3>;  // [axis][1..256]
struct Strong {
    int h[3];
    float e2;
};
}  // namespace pseudo

// The search: conditions into RSC (slots 1-3). NTAB := reflections read.
void AUTOGP(int LATT, float EMIN, int& NTAB, int NREF, const WorkingFile& wf);
// Periods of the axis sums W; conditions of COEF(1..NCOND) with coefficient
// 1 on an axis exclude their modulus there. NAX := 1 + axes with a period.
void GCD(pseudo::AxisSums& W, int PER[3], int& NAX, float RSC11, const pseudo::Coef& COEF, int NCOND);
// L := least common multiple of A, B, C (1..256).
void COMMUL(int A, int B, int C, int& L);
// Tests V mod N on the strong reflections; ACC := 1 when accepted (appended
// to COEF).
void RCHECK(const int V[3], int N, int& NCOND, int& ACC, const std::vector<pseudo::Strong>& strong, int LATT,
            const pseudo::Coef& LATC, pseudo::Coef& COEF);
// FLAG := 0 when the largest g of 9..2 dividing V(1..3) is a multiple of X,
// else 1.
void GCD3(const int V[3], int X, int& FLAG);

}  // namespace zanek
