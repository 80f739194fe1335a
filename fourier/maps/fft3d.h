// The three-dimensional map: the coefficient records of the scratch file
// jrel are transformed in two passes through a fixed work area (first over
// blocks of h, along y; then over blocks of sections, along x and, as a
// Hermitian transform, along z) into the integer map that is written back
// on jrel, one record per map row, behind a header and a dimension record.
// The scratch file ifour holds the results of the first pass.
#pragma once

#include <string>
#include <vector>

#include "platform/word.h"

namespace zanek {

// Transforms the coefficients on jrel (CONST word 1 of them) into the map
// of NX x NY x NZ points on jrel, using W(1..NWORK) as work area. The
// largest indices are TRAN words 2 and 4, the scale TRAN word 1. IERR := -1
// when the work area cannot hold one h plane or one section (message
// printed), or a transform or a scratch file fails.
void PP1(float* w, int nwork, int nx, int ny, int nz, int& ierr);

// Pass-1 block: C planes h = H0..H0+C-1 of (lmax+1 = NL) rows of NY
// complex values (k fastest), zeroed and filled from the coefficient file.
// False when the coefficient file cannot be read.
bool READKLN(float* w, int ny, int nl, int c, int h0);
// Writes the pass-1 block to ifour, one record per block of BY sections.
bool WRITEYN(float* w, int ny, int nl, int c, int by);
// Gathers the C sections from Y0 on (section block BLOCK) from ifour into
// the pass-2 layout: per section and x, NZH complex places (l fastest).
// HMAX, LMAX the largest indices, BH the h values per pass-1 block.
bool READHLN(float* w, int nx, int nzh, int c, int y0, int hmax, int lmax, int bh, int block);
// Writes the rows of sections Y0..Y0+C-1 to jrel and prints them when a
// map print unit is set and this is the first section block.
bool OUTPUFN(const float* w, int nz, int nx, int c, int y0, int ny, bool first_block);

// The map header record: job title, set number, TAPE words 1-226.
std::vector<Word> map_header_record();
// Reads the header record back into TAPE words 1-226; returns the set
// number and the title. False when there is no header.
bool read_map_header(int& set, std::string& title);

// A map value: the density times the map scale, rounded half away from
// zero to an integer.
int32_t map_value(float density, float scale);

}  // namespace zanek
