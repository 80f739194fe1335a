// The known fragment of %normal (directive `part`): atoms whose positions
// are known. The run then has two passes: the first normalises the data
// with the whole cell content; the second subtracts the known atoms from
// the content, computes their structure factors, repeats the Wilson plot
// on the intensity left to the atoms not yet located, and stores for every
// reflection the E normalised on those atoms (E'), the E of the fragment
// (E'p) and the fragment's phase P, which the phasing command takes as
// prior information.
//
// Partial-structure state (UREQ word 6, kept in list 7 header word 16):
// 0 no fragment; -1 a fragment was given and the first pass runs with the
// whole content; 1 the known-fragment pass.
#pragma once

#include <string>
#include <vector>

#include "crystaldata/normal.h"
#include "platform/word.h"

namespace zanek {

constexpr int kPartialNone = 0, kPartialRequested = -1, kPartialInUse = 1;
constexpr int kPartialFragmentType = 1;  // fragment table: a `part` block of %normal
constexpr int kNoFragmentPhase = 360;    // phase word P when no fragment is used

// UREQ word 6.
int& partial_state();

// Occupancy 1/m of the fragment atoms in `slots` (given without one), m the
// multiplicity of their site in the current symmetry.
void fragment_site_occupancies(const std::vector<int>& slots);

// End of the first reading of the directives: a fragment rules out a
// pseudo-translation request (warning); on a list 7 normalised before, the
// state becomes 1 at once; a fragment on data never normalised refuses
// `bfac`. Then the known atoms are typed (and, in state 1, taken off the
// cell content and listed), the scattering-power tables are built and, in
// state 1, SYM word 222 becomes sigma3/sigma2^1.5 of the atoms not yet
// located. bfac_given: the directive bfac was read. False after the
// message of a failure.
bool finish_fragment_directives(bool bfac_given);

// The second reading before the known-fragment pass: the state becomes 1,
// only the first fragment is kept, and the known atoms are taken off the
// content as above. False after the message of a failure.
bool second_fragment_reading();

// Start of the known-fragment pass: lists the atoms not yet located; false
// after " *** error *** known fragment too big." when none is left.
bool begin_fragment_pass();

// A fragment is refused on data holding reflections generated as missing
// (their amplitudes are not measured). False after the message.
bool refuse_generated(const WorkingFile& wf);

// Structure-factor contribution of atoms first..last of the fragment table
// under one operator: hp = h R, shift = h.t + 1000, s2 = s^2. a, b are
// raised by f occ cos and f occ sin of 360 (hp.x + shift) (whole-degree
// sine table). When done is not 1, the form factors SF words 91-98 are
// first computed at s2 (and done := 1).
void SFAC(int first, int last, const int hp[3], float shift, float s2, float& a, float& b, int& done);

// The known fragments' structure factor of the reflection of working
// record r: fc = |A + iB| L exp(-B s^2) (B the overall temperature factor,
// C word 143), phase := the phase P in 1..360 (360 when fc is 0). Adds to
// the residual sums FRGMT words 7 and 8.
void fragment_structure_factor(const WorkRecord& r, float& fc, int& phase);

// The working file of the known-fragment pass, built from list 7 itself
// (in its order of decreasing E); the header load keeps SYM words 222 and
// 224 and the state 1.
void fragment_working_file(WorkingFile& wf);

// Residual 100 sum|Fc - Fo| / sum Fo of the fragment (FRGMT word 7), listed.
void print_fragment_residual(int n);

// The list-7 record of the known-fragment pass: key word 8 (the E of the
// first pass), Fo and sigma unchanged, the packed pair E' = sqrt(T word 9)
// and E'p = sqrt(T word 10) with T = C144 exp(2 B s^2), the phase word
// with the fragment phase.
void fragment_ecal_record(const WorkRecord& r, Word out[6]);

// The E listings after the known-fragment pass: the FRGMT word 1 largest
// and FRGMT word 2 weakest reflections with E', E'p and the fragment phase.
void OUT90P(int N);
// The ratio text of the fo/sig column of OUT90P (6 characters).
std::string fo_sigma_text6(float fo, float sigma, bool with_sigma);

}  // namespace zanek
