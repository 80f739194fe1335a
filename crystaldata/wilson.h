// The Wilson plot of %normal: mean normalised intensity in shells of
// (sin(theta)/lambda)^2, a weighted straight line through its logarithm that
// gives the overall temperature factor B and the absolute scale, the
// correction of each shell for its unobserved reflections, the line-printer
// chart of the plot, and the rescaling of every intensity to E^2 with
// <E^2> = 1.
#pragma once

#include <vector>

#include "crystaldata/normal.h"

namespace zanek {

// Shell of a reflection: min(trunc(s2 * ns / s2max + 1), ns) (1 when the
// largest s^2 is not positive).
int wilson_shell(float s2, float s2max, int ns);

// Accumulates the shells of the working file (RC words 17, 18), writes the
// shell number into word 8 of every unobserved record, corrects the shells
// for their unobserved reflections (SUMUN), fits the Wilson line and fills
// C words 1-90 and 141-144 and SHELL words 62-91. Shells without an observed
// reflection are left out of the fit; fewer than three usable points, or
// fewer than 20 measured intensities, fail the plot (IERR := -1 after the
// Wilson-plot message).
void SUM(WorkingFile& wf, float L, int& IERR);

// Number of points that the last SUM put into the C tables (words 1..m,
// 31..30+m, 61..60+m); the chart plots these.
int wilson_points();

// Unobserved-reflection statistics per shell: NO, NU the weighted counts of
// observed and unobserved reflections, SUMI the observed intensity sums
// (completed here), NT := NO + NU. Fills SHELL words 1..2*nsh and prints the
// shell table.
void SUMUN(const int* NO, const int* NU, double* SUMI, int* NT, int nsh);

// Line-printer chart of the Wilson plot (the points of the last SUM).
void PLOTW();

// General line-printer chart: nser series of npts points (x, y at words 1
// and 2 of each stride-word point, series after series), symbols symb[s],
// and a legend box of nleg lines (left halves of 20, right halves of 14
// characters) in the bottom right corner.
void XPLOT(const std::vector<float>& data, int npts, int nser, int stride, const char* symb,
           const std::vector<std::string>& rleg, const std::vector<std::string>& lleg);

// Cubic through four points: y = c[0] x^3 + c[1] x^2 + c[2] x + c[3]. c[0]
// keeps its value when the points are too close in x to determine it.
void XFIT(const float x[4], const float y[4], float c[4]);

// Rescaling: word 8 := E^2 for every record (C word 143 holds 2B while this
// runs), scaled so that the weighted mean of E^2 is 1; C word 144 := the
// ratio unless the first pass of a known-fragment run. IERR := -1 (after a
// message) when no reflection has a non-zero intensity.
void RESCA(WorkingFile& wf, int& IERR);

}  // namespace zanek
