// Fourier recycling: the structure-factor pass with diagonal least squares,
// the three recycling steps that turn a map's peaks into a weighted model
// and refine it, and the bookkeeping that labels the peaks and matches them
// to the previous model.
//
// The staging arrays of the map coefficients live in XDATA (reflection
// r = 1..NREF): P(r) at word r (packed index), A1(r) at 31000+r, A2(r) at
// 62000+r, A3(r) at 93000+r, A4(r) at 124000+r (s^2). On return from a step
// A1 holds the map amplitude 2kFo - Fc, A2 the weight 1.0 and A3 the
// calculated phase in whole degrees 1..360 (INTEGER).
#pragma once

namespace zanek {

// Recycling steps, called by the coefficient routine after each recycling
// map's peak search. ICYC: number of the current map of the run (the E-map
// is 1); NREF: reflections in the staging arrays; A2: the staging array A2
// (stage::A2_array()), which the structure-factor pass fills.
// Step A: peaks weighted by height, structure factors only.
void SFTRA(int& icyc, int& nref, float* a2);
// Step B: peaks labelled from the cell contents and matched to the previous
// model, then seven cycles of structure factors and least squares.
void SFTRB(int& icyc, int& nref, float* a2);
// Step C: step B for a recycling restarted on the user's request.
void SFTRC(int& icyc, int& nref, float* a2);

// Recounts the atoms among the first n whose label is not 0 into EMAP word 5
// (dropped atoms keep label 0 in place).
void PKL15(int n);

// One structure-factor pass: mode 0 structure factors only, 1 B only,
// 2 coordinates only, 3 coordinates and B (0 on return). ncyc inner cycles,
// the last one always a plain structure-factor cycle. fc receives |Fc| and
// ends as 1.0 everywhere; scale := sum Fc / sum Fo of the last cycle.
// During the pass the labels of ATOMS hold species numbers (0 = not in the
// model).
void SFTRYYY(int& mode, int& icyc, int& ncyc, int& nref, float* fc, float& scale);

// Bookkeeping of steps B and C.
void LABEL(int n);
void LABE2(int n);
void MUOVI();
void ASSBTY();
void ASSBTL();

}  // namespace zanek
