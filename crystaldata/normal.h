// The normalisation command %normal: reads list 7, puts the amplitudes on
// an absolute scale with a Wilson plot, turns them into normalised
// structure factors E, prints their statistics and rewrites list 7 in
// decreasing order of E.
//
// The reflections of one run are held in the working file: one 13-word
// working record per reflection, kept in memory for the length of the
// command (about 5 MB for 100,000 reflections), walked in list-7 order by
// every pass of the Wilson plot, the rescaling and the E calculation.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/word.h"

namespace zanek {

// One working record (word numbers of the working file in the comments).
struct WorkRecord {
    int32_t h = 0, k = 0, l = 0;  // 1-3
    float fo = 0.0f;              // 4  Fo as stored in list 7
    float s2 = 0.0f;              // 5  (sin(theta)/lambda)^2
    int32_t code = 0;             // 6  10000 q + 100 eps + 2
    int32_t phase = 0;            // 7  phase word with the fragment phase
    Word key{};                   // 8  list-7 key; shell number of an unobserved
                                  //    reflection (INTEGER); E^2 after rescaling
    float v = 0.0f;               // 9  Fo^2 / (L eps Sigma)
    float z = 0.0f;               // 10 Ic / (L eps Sigma) (Ic = Fo^2 without fragment)
    float eps_sigma = 0.0f;       // 11 eps Sigma
    float fc = 1.0f;              // 12 1.0, or +-|Fc| in the known-fragment pass
    float sigma = 0.0f;           // 13 sigma(Fo); negative: generated (unobserved)

    int q() const { return code / 10000; }          // multiplicity weight
    int eps() const { return (code % 10000) / 100; } // epsilon factor
    // A reflection generated as missing carries a negative sigma.
    bool observed() const { return sigma >= 0.0f; }
};

using WorkingFile = std::vector<WorkRecord>;

// The working file of the running %normal (empty between commands).
WorkingFile& working_file();

// Packs multiplicity weight q and epsilon into working-record word 6.
inline int32_t work_code(int q, int eps) { return 10000 * q + 100 * eps + 2; }

// Multiplicity weight q and epsilon factor of reflection h under the stored
// operators of SYM (q = eps = 1 when only the identity is stored).
void multiplicity_epsilon(int h, int k, int l, int& q, int& eps);

// Scattering-power tables AT from SF: counts N_t (whole content) and R_t
// (atoms not yet located; REAL) of the species t = 1..SF word 89.
void build_power_tables(const float* located_counts = nullptr);
// Scattering power of the unlocated atoms at s = sin(theta)/lambda, by
// three-point interpolation in AT; beyond the table, computed directly.
float scattering_power(float s);
// The same for the whole cell content (the first table).
float content_scattering_power(float s);

// Number of Wilson shells for n reflections (at most 30).
int wilson_shell_count(int n);

// The command routine (command code 1).
void NORMAL(int& IERR);
// Directive reader. NOWIL := -1 when the Wilson plot is wanted, 0 after
// bfac; SIG3 := SYM word 222 as loaded with list 7; SEED := the random seed
// of list 7 (67543 when none is read).
void DIRNOR(int& A1, int& NOWIL, float& SIG3, std::string& LINE, int& IERR, int& SEED);
// Copies list 7 into the working file.
void HKLINP(WorkingFile& wf, int& IERR);
// Completes every working record: q, eps, s^2 maximum, Sigma(s), the
// normalised intensities.
void FCAL(WorkingFile& wf);

}  // namespace zanek
