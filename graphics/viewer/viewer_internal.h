// Helpers shared by the viewer's own files.
#pragma once

#include <cmath>
#include <climits>
#include <string>

#include "graphics/viewer/viewer_records.h"
#include "jobcontrol/records/job.h"

namespace zanek::viewer {

// Nearest integer, halves away from zero; values beyond the int range (a
// degenerate view) are clamped, and a NaN gives 0.
inline int nint(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return INT_MAX;
    if (v <= -2147483648.0) return INT_MIN;
    return static_cast<int>(std::lround(v));
}
// Truncation towards zero with the same guards.
inline int trunc_int(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return INT_MAX;
    if (v <= -2147483648.0) return INT_MIN;
    return static_cast<int>(v);
}

}  // namespace zanek::viewer
// The viewer's use of BUFFER: the point buffer of the graphics calls and the
// atoms of the geometry tables.
namespace zanek::bufw {
constexpr int kPointX = 1;       // INTEGER x pixels of the point buffer, words 1-100
constexpr int kPointY = 101;     // INTEGER y pixels of the point buffer, words 101-200
constexpr int kAtomTable = 201;  // INTEGER the atoms of the geometry tables, from word 201
}  // namespace zanek::bufw
namespace zanek::viewer {
// The point buffer: BUFFER words 1-100 (x) and 101-200 (y).
inline int* px_buffer() { return &BUFFER.I(bufw::kPointX); }
inline int* py_buffer() { return &BUFFER.I(bufw::kPointY); }
constexpr int kMaxPicks = 99;  // picks the buffer holds before its end mark

inline int screen_w() { return SCREEN.I(screenw::kWidth); }
inline int screen_h() { return SCREEN.I(screenw::kHeight); }

// The independent entry / generated entry tests.
inline bool independent(int i) { return i >= 1 && i <= ATOMI.n1; }

// Element (i, j) of a matrix stored by columns, i and j from 1.
inline float& el(float* a, int i, int j) { return a[(i - 1) + 3 * (j - 1)]; }
inline void identity(float a[9]) {
    for (int k = 0; k < 9; ++k) a[k] = (k % 4 == 0) ? 1.0f : 0.0f;
}

// View box reset to the empty box that ROTATOMS grows.
inline void reset_box() {
    CRT.box[0] = 99999.0f, CRT.box[1] = 99999.0f, CRT.box[2] = -99999.0f, CRT.box[3] = -99999.0f;
}

// Species radius r(s) (CONTR word 27 + s); 0 for a species not in list 3.
float species_radius(int s);
// Hydrogen offset: 1 when species 1 is hydrogen.
int hydrogen_offset();
// The entry whose pixel disc holds the click (x, y) among the independent
// entries with a display radius above 0, the nearest first and the lowest
// number on a tie; 0 when none.
int pick_nearest(int x, int y);
// The label with its 5 characters (blank-padded).
inline std::string label5(const std::string& s) {
    std::string t = s.substr(0, std::min<std::size_t>(s.size(), 5));
    t.resize(5, ' ');
    return t;
}
// Writes TEXT into MESS, pending, with length N.
void set_message(const std::string& text, int n, bool pending = true);

}  // namespace zanek::viewer
