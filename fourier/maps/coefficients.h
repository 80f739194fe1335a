// Coefficients of one map: the crystal data into the map header, the
// reflections into the staging arrays, the phases of a set of list 16 (or
// of a recycling step), the weak reflections with psi-e phases, the grid,
// and the expansion over the symmetry operators into one hemisphere,
// written to the scratch file jrel in records of 100. The recycling stop
// rule lives here too, since it is decided after each recycling step.
#pragma once

namespace zanek {

// Prepares the coefficients of map ICYC (1 the first map of a run).
// NREFL: map reflections, set at cycle 1. CFOM out: cfom of the phase set
// (first map). IERR: unchanged when the coefficients are written, 1 when
// the stop rule ends the recycling, -1 after a failure (message printed).
void EXPAND(int& nrefl, int icyc, float& cfom, int& ierr);

// Reads N list-7 records into the staging arrays (all at cycle 1, those
// above the amplitude threshold later); N out the number kept. SIGM out:
// the sigma multiplier in use, -1.0 when the scale test is used. FLAG the
// pseudo-translation flag of list 7.
void GETREF(float& sigm, int icyc, int flag, int& n);

// Loads lists 1, 2 (not for a Patterson map), 3 and the list-7 header and
// fills TAPE, TRAN words 2-4 and MISC word 26. FLAG out: pseudo-translation
// flag; N out: phasing reflections (Fourier map) or all reflections
// (Patterson map).
void INPTF(int& flag, int& n);

// Weak reflections with psi-e phases appended to the n phasing reflections
// of the staging arrays (see psie.cpp). N in/out; ERR, WERR mean and
// weighted mean phase errors against known phases; NADD the number added.
void GPSIE(int& n, float& err, float& werr, int& nadd);

// The grid rule: points along each axis with no prime factor above 5, the
// third even, nx at most 150 (the spacing grows by 0.02 A until it is).
// GRID in/out the spacing; CELL the three edges; N out the three counts.
void choose_grid(float& grid, const float cell[3], int n[3]);

// Expands the n reflections of the staging arrays (Fourier map) or of list
// 7 (Patterson map of kind 1-3) over the operators into the hemisphere and
// writes the coefficient records to jrel; CONST word 1 := their number.
// Returns the sum of the moduli of the written coefficients.
double expand_to_hemisphere(int n, int map_kind, int flag);

// The recycling stop rule after a structure-factor step of cycle ICYC:
// the last cycle (CYCLE_LIMIT + 1) ends the recycling; step A (STEP_B 0)
// ends when R fell by less than 0.0025 (the previous model comes back when
// R rose); step B ends when R rose after at least four step-B passes (the
// previous model comes back).
enum class StopRule { Continue, LastCycle, EndStepA, EndStepARestore, EndStepB };
StopRule recycling_stop_rule(int icyc, int cycle_limit, int step_b, float prev_r, float r);

// Decodes a packed index h*2^18 + (k+256)*2^9 + (l+256) (h >= 0).
void unpack_index(int p, int& h, int& k, int& l);

}  // namespace zanek
