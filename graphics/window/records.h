// Records of the graphics window: the driver's own state XWI, and the
// viewer records the driver also writes (CONTR title and aspect, SCALE
// margins, MESS message line). The molecule viewer owns the meaning of
// CONTR, SCALE and MESS; they live here because the driver sets them when it
// opens the window and when a hard copy starts.
#pragma once

#include <array>
#include <string>

#include "platform/word.h"

namespace zanek {

// XWI: driver state, fields in word order.
struct XwiRecord {
    int colour = 0;            // word 1: current palette index (ops 2, 9, 10, 11, 15)
    int menu_redraw = 0;       // word 2: 1 = the next op 5 redraws its menu group
    std::array<std::string, 8> species;  // words 3-6: legend symbols, two characters each
    int nspecies = 0;          // word 7: legend entries (at most 8)
    int hardcopy = 0;          // word 8: 1 while a picture is redrawn at hard-copy size
    int pending_action = 0;    // word 9: > 0: the next op 5 takes it as the user's pick
    int pending_geometry = 0;  // word 10: > 0: the Geometry dialogue reuses this button code
    // The screen's drawing size (SCREEN words 4 and 5) while a hard copy is
    // drawn at its own size; the window returns to it afterwards.
    int screen_x = 639, screen_y = 479;
    XwiRecord() { species.fill("  "); }
};
inline XwiRecord XWI;

// CONTR: viewer switches. Words 3-22 the title shown in the title strip
// (80 characters), 23 (REAL) the aspect of the drawing area, 24 symmetry
// switch, 25 cell-edges switch, 26 scale mode, 27 plot style, 28-35 species
// radii (REAL), 36 saved scale mode.
inline Record<40> CONTR;
namespace contr {
constexpr int kStarted = 1;         // set to 0 when the viewer starts
constexpr int kDrawOnce = 2;        // 1 draw the model once and return, 0 interactive
constexpr int kTitle = 3, kAspect = 23, kSymmetry = 24, kCellEdges = 25, kScaleMode = 26;
constexpr int kStyle = 27;          // plot style chosen (1-6)
constexpr int kRadii = 27;          // REAL radius of species s (1..8) at 27 + s
constexpr int kSavedScaleMode = 36; // scale mode saved during a hard-copy redraw
// Aspect of the screen drawing area, (639 - 80) / (479 - 20).
constexpr float kScreenAspect = 559.0f / 459.0f;
}
// The display radius of species s (1..8), CONTR word 27 + s.
inline float& contr_radius(int s) { return CONTR.R(contr::kRadii + s); }
std::string contr_title();                     // words 3-22
void set_contr_title(const std::string& text);  // cut or blank-padded to 80

// SCALE: world-to-pixel mapping of the viewer; words 6 and 7 (REAL) the
// margins of the drawing area, 80.0 (menu column) and 20.0 (title strip).
// Words 1-5 (REAL) the mapping the viewer sets for the picture drawn:
// pixel x = word 1 * (x + word 3), pixel y = H - word 7 - word 2 * (y + word 4).
namespace scalew {
constexpr int kXScale = 1;       // REAL pixels per unit of x
constexpr int kYScale = 2;       // REAL pixels per unit of y
constexpr int kXShift = 3;       // REAL shift added to x before scaling
constexpr int kYShift = 4;       // REAL shift added to y before scaling
constexpr int kMeanRadius = 5;   // REAL mean pixel radius of the atoms drawn
constexpr int kMenuWidth = 6;    // REAL left margin, the menu column (80.0)
constexpr int kTitleHeight = 7;  // REAL top margin, the title strip (20.0)
constexpr float kMenuWidthPixels = 80.0f, kTitleHeightPixels = 20.0f;
}  // namespace scalew
inline Record<8> SCALE = [] {
    Record<8> s;
    s.R(scalew::kMenuWidth) = scalew::kMenuWidthPixels;
    s.R(scalew::kTitleHeight) = scalew::kTitleHeightPixels;
    return s;
}();

// MESS: the message-line text (words 1-20), the message-pending flag
// (word 21) and the length to show (word 22).
struct MessRecord {
    std::string text = std::string(80, ' ');
    int pending = 0;
    int length = 0;
};
inline MessRecord MESS;

// Sets XWI, the menu labels the dialogue changes, CONTR, SCALE and MESS to
// their values at load (start of a run, and tests).
void reset_window_records();

}  // namespace zanek
