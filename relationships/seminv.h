// The %seminvariants command: directives, constants and the set-up on
// which the one- and two-phase estimates rest (the table of reflections to
// search, the first-rank seminvariant table, the candidates and the E table
// over the super-index). SEMINV itself is declared in jobcontrol/commands.h.
#pragma once

#include <vector>

namespace zanek {

// Count array of the command: relationships calculated (1 one-phase,
// 2 two-phase) and stored (3, 4).
struct SeminvCounts {
    int n[5] = {};
    int& operator()(int k) { return n[k]; }
};

// Defaults and directive lines; IERR := -1 on a directive error.
void DIRSEM(int& IERR);
// Constants, INPTS, the sigma2 relations (two-phase routine on), FILLR.
void INITP(int& IERR);
// Symmetry, algebra, search table, first-rank table and candidates.
// IERR := 1 when nothing can be estimated (pseudo-translation, P1, too
// large a super-index), -1 when the structure file lacks what is needed.
void INPTS(int& IERR);
// Row R of the search table from H (unless STOP != 0).
void FILL(const int H[3], float E, int CODE, int PHASE, int R, int STOP);
// isr from every equivalent of every reflection of list 7.
void FILLR();

// The reflections of list 7 as the set-up read them (index, E with the
// substitutions of seminv_e, phase word), kept for FILLR.
struct SeminvReflection {
    int h[3];
    float e;
    int phase_word;
};

// Steps of the set-up that tests and other callers may take alone:
// SYM2 words 1-4 from SYM and the matrices R(nsym + k) = -R(k) of ERL;
// the super-index strides COST words 2-4 from the maximum indices; the
// seminvariance algebra (inverses, generalised inverses, classes, product
// table).
void seminv_symmetry();
void seminv_strides();
void seminv_algebra();

// The reflections of list 7 that FILLR enters (filled by INPTS).
std::vector<SeminvReflection>& seminv_reflections();

// E as the command uses it: below 0.001 (0.0 included) -> 0.01, 1.0 -> 0.999.
float seminv_e(float e);

}  // namespace zanek
