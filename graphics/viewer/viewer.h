// The molecule viewer: the atom list (list 15) shown as a three-dimensional
// model in the drawing area of the graphics window, turned, zoomed,
// measured and edited by the user, and handed back as list 15 with the
// next-action code that tells %export whether to resume recycling.
//
// View coordinates are Angstrom, x to the right, y up, z towards the viewer.
// A view matrix is a 3x3 REAL matrix stored by columns. Every drawing
// request goes through GRAPHS (graphics/window/window.h) with the point
// buffer BUFFER words 1-100 (x) and 101-200 (y).
#pragma once

#include <string>

#include "graphics/viewer/viewer_records.h"

namespace zanek {

// --- Outer loop and model (list 15 into ATOMI) -----------------------------

// The viewer: MODE 1 or 2 draws once in that style (recycling steps A and
// B), MODE 3 runs interactively until the user leaves.
void VYROLA(int mode);
// Orthogonalisation matrix, atom table and least-squares plane.
void ORTO();
// Cell constants from RC words 7-12; the title of the title strip := the
// job title.
void TOVYROLA1(float& a, float& b, float& c, float& alpha, float& beta, float& gamma);
// Atom table from list 15, then the cell edges.
void TOVYROLA2();
// Label of entry N of species T (0 for a peak): "C12", "Q3", "X1234".
void CREALAB(int n, int t, std::string& label);
// Cell corners and edge points as generated entries with their bonds in
// the reserve slots at the top of the bond table.
void AGGIUSPIG();
// Bond table from the atom list's bond list (TEMP); MODE 2 keeps the
// table as it is and only resets order, colours and radii.
void GETBONDS(int mode);
// Bond table from distances; MODE 1 also saves it in LEG1.
void BUILDBONDS(int mode);
// Starting orientation: the pending rotation, then the narrowest of 18
// turns about the line of sight; the matrix used comes back in A.
void FINDOR(float a[9]);

// --- Geometry (view coordinates to pixels) ----------------------------------

// W := A V.
void MOLT1(const float a[9], const float v[3], float w[3]);
// C := A B.
void MOLT2(const float a[9], const float b[9], float c[9]);
// A := A R, R the pending rotation of CRT (angle, axis code, axis table).
void COMBROT(float a[9]);
// Applies A to the atoms and grows the view box; MODE 1 also stores the
// rotated coordinates and sorts the drawing order far to near.
void ROTATOMS(const float a[9], int mode);
// Fits the view window to the view box and sets SCALE: 1 with margins,
// 2 tight, 3 the stored window, 4 fit the box only.
void SETSCALE(int mode);
// SCALE words 1-4 for this window (widened in place to at least 1 A).
void WINDOW(float& xmin, float& ymin, float& xmax, float& ymax);
// Pixel positions and radii of all entries; SCALE word 5 the mean pixel
// radius of the shown independent atoms.
void ANGTOPIX();
// Pans (13-16) or zooms (17 out, 18 in) the view window by one tenth.
void TRASLATE(int k);
// The world-to-pixel mapping of SCALE.
int pixel_x(float x);
int pixel_y(float y);
int pixel_radius(float r);

// --- Drawing primitives ------------------------------------------------------

void SETCOLR(int c);
void LINEA(int x1, int y1, int x2, int y2, int c);
void LINEA0(float x1, float y1, float x2, float y2, int c);
void METTIPIXEL(int x, int y, int c);
void CERCHIO(int x, int y, int r, int c1, int fill, int c2);
void PAINT(int x, int y, int c, int v, int r);
// Waits for the user's next action with menu group K; K := its code.
void GETKEY(int& k);
// Shows the pending message (MESS) in the message line.
void PRINTMESS();
// Position of the last non-blank character, 0 for a blank string.
int LUNG(const std::string& s);
void NEWPAGE();
void ZFLUSH();
void TOPL();
void DEFSWI();

// --- Drawing styles ----------------------------------------------------------

void STICKSORD();
void BALLS();
void DISEPALLE(int a, int x, int y, int r, int& c);
void DISLEGN(float x1, float y1, float x2, float y2, float& t);
// Half shadow line of the ellipsoid x'Mx = 1 lit from Q: N = 9 points,
// P holds 128 x, then 128 y, then 128 z.
void ELLPRINC(const float q[3], const float v[3], const float m[9], int& n, float p[384]);
void NORMVETT(const float v[3], const float m[9], float& s);
void LABELM(const std::string& text, int x, int y, float sx, float sy, int c);

// --- Dispatcher and hand-back --------------------------------------------------

// The viewer loop; F in: 0 clears the screen first; F out: 2 asks the
// caller to rebuild the model from list 15 (after Regroup), else 0.
void MMENU(float a[9], int& f);
// Drops deleted atoms and symmetry copies, stores list 15 with its bonds
// and the next-action code ACTION (0 none, 1 refine, 2 complete), and
// copies it to list 30.
void MODCOM(int action);
// Regroup without the viewer: interpretation in mode 5, list 15 stored.
void REGRO();

// --- Measurements, atom table, bar chart ---------------------------------------

void DISTANCE();
void DISPDIST(const float* d, const int* il, int a, int cnt);
void CALCANGLE();
void TORSANGLE();
void NUMTABLE(int& key);
void HISTOGR(int& key);

// --- Symmetry growth -----------------------------------------------------------

void GENERA(float a[9]);
void SOLOIND(float a[9], int na);
void CENTRA(int& n, float v[9], char l);
void RUOTA(int k, int i, float p[3]);
void TRASL(const float t[3], int i, float p[3], int f);
void RIMETTIDENTRO(float p[3]);
int IDOPPIO(int n, const float p[3]);

// --- Editing -------------------------------------------------------------------

void DELAT();
void DELHIDE(int code);
int INTERNO(int x, int y, int n);
void RELAB(int x, int y, int& k);
void ADDDELBONDS(int code, int nkept);

// --- View planes -----------------------------------------------------------------

void LSPLANE(int& n);
void FILLMATR(float s[9], float c[3], int& n);
void AUTOV(float a[9], float d[3], float v[9], int& flag);
void CHEPIANO(int k);
void PLANEFOUND(float x, float y, float z);

}  // namespace zanek
