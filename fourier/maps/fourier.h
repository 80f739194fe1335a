// The %fourier command and the routines the other Fourier commands share
// with it: one map (coefficients, transform, peak search), the map-work
// defaults, the output section and the end of recycling.
#pragma once

#include <cstdint>
#include <string>

#include "crystaldata/special.h"

namespace zanek {

// FOURIE(NAME, IERR), the command routine of %fourier, is declared with
// the other command routines in jobcontrol/commands.h.

// Reads the directive lines of %fourier. FRAG out: 0, or minus the unit of
// the fragment file opened by "frag". IERR := -1 after a bad line.
void DIRFOU(int& frag, int& ierr);

// One map: EXPAND, then PP1 on XDATA when coefficients were written, then
// the peak search when a map was made. NREFL in/out the map reflections
// (0 before the first map); ICYC the cycle (1 the E-map or a Patterson
// map, 2 and up for recycling maps); XATOMS out the expected atoms per
// asymmetric unit; CFOM out the cfom of the phase set; NWORK the words of
// XDATA for the transform. IERR in/out: 0 map done, 1 the stop rule ended
// the recycling (no map made, no search), -1 failure.
void FFT(int& nrefl, int icyc, float& xatoms, float& cfom, int nwork, int& ierr);

// The map-work defaults, set before every map: merge distance 0.85 A,
// the peak-list capacity and buffer size; NWORK := 160000.
void DEFCO(int& nwork);

// Fragment start from the known atoms of the fragment file: FRAG in minus
// the unit, out the unit. IERR := -1 after a bad file (message printed).
void GETPLT(int& frag, int& ierr);

// End of recycling: the final interpretation (mode 4) and output of the
// model, which is stored as list 15. CODES: the result-code array (200);
// ICYC := 0.
void STOPR(const std::string& name, int32_t* codes, int& icyc);

// Output section: interpretation of the peaks in MODE (2 later maps, 3
// E-map and intermediate, 4 final; the final one uses the codes STOPR
// prepared), species labels from the result codes, the residual words of
// EMAP, the table of peaks with their special positions, and every peak
// on a special position moved onto it.
void OUTPEA(const std::string& name, int32_t* codes, int& mode);

// Site-symmetry symbol of a special position. WORK and KODE from the
// special-position library (KODE(10) the site order); PRINT 1 writes the
// symbol into ATPOS columns 119-124. RESULT out: 10000*order +
// 100*coordinate index + thermal index, or -1 for a site no table knows.
void SITE(const SiteWork& work, const int kode[10], int print, int& result);
// The symbol alone (6 characters at most; "h.y.s." when unknown).
std::string site_symbol(const SiteWork& work, int order);

}  // namespace zanek
