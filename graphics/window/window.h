// The graphics window driver: every picture of the progress screens and of
// the molecule viewer is drawn through GRAPHS, which normalises the
// arguments and hands them to XWIN, one graphics operation per call.
// Coordinates are pixels, origin top left, y downwards; colours are indexes
// of the standard 16-colour palette. W and H are SCREEN words 4 and 5.
#pragma once

#include <cstddef>
#include <string>

#include "graphics/window/records.h"

namespace zanek {

// Graphics operation codes.
namespace gop {
constexpr int kNone = -1;            // nothing drawn
constexpr int kNothing = 0;          // nothing
constexpr int kOpen = 1;             // open and lay out the window; TEXT(1:N) the title
constexpr int kLine = 2;             // line (X(1),Y(1))-(X(2),Y(2)) in the current colour
constexpr int kTitleStrip = 3;       // redraw the title strip with the CONTR title
constexpr int kWait = 5;             // menu dialogue: N in the menu group, out the action code
constexpr int kClearDrawing = 6;     // clear the drawing area (not in hard-copy mode)
constexpr int kClearBelowTitle = 7;  // clear everything below the title strip
constexpr int kNothing8 = 8;         // nothing
constexpr int kText = 9;             // text line at (X(1)+80, Y(1)); X(1) < 0 adds the arrow
constexpr int kCircle = 10;          // circle outline, top left (X(1),Y(1)), diameter N
constexpr int kDisc = 11;            // filled disc, as op 10
constexpr int kColour = 12;          // current colour := VALUE
constexpr int kPolygon = 13;         // closed polygon outline of N points in colour VALUE
constexpr int kFilledPolygon = 14;   // filled polygon of N points in colour VALUE
constexpr int kMessage = 15;         // message line: TEXT(1:N) at (81, H-13)
constexpr int kLegend = 16;          // species legend: N symbols at TEXT columns 3i-2..3i-1
constexpr int kClose = 17;           // nothing (the main program's last call)
}  // namespace gop

// Menu groups that op 5 is asked to show (N on entry).
namespace menugroup {
constexpr int kMain = 0, kQuitOnly = -1, kSelect = 2, kPick = 3, kPlanes = 4, kPlanesMore = 5,
              kCancelOnly = 6, kHelp = 7, kHardCopy = 8, kGeometry = 9, kGeometryMore = 10,
              kNeighbours = 11, kTablePages = 12, kTablePage = 13;
}

// Viewer action codes that op 5 returns in N.
namespace vac {
constexpr int kQuit = 0;
// 1-6 plot styles; 7-12 rotate -/+ about x, y, z; 13-18 translate -/+ along
// x, y, z (17 zoom out, 18 zoom in).
constexpr int kStyleFirst = 1, kStyleLast = 6;
constexpr int kRotateFirst = 7, kRotateLast = 12;
constexpr int kTranslateFirst = 13, kTranslateLast = 18;
constexpr int kEdges = 19, kSymmetry = 20, kScale = 21;
constexpr int kDeletePicked = 22;       // atom picks in X/Y, ended by X = -1
constexpr int kDeletePolygon = -23;     // "To delete": closed polygon, ended by -1
constexpr int kHidePolygon = 23;        // "To hide"
constexpr int kDisplayPolygon = 223;    // "To display": keep only the atoms inside
constexpr int kShowAll = 123;           // "Show all"
constexpr int kRelabel = 25;            // X(1),Y(1) the atom; Y(2) the species number
constexpr int kRegroup = 26, kRefine = 27, kComplete = 28;
constexpr int kHelp = 29;               // the help pages were shown
constexpr int kHardCopy = 30;           // hard copy chosen (printer, file or cancelled)
constexpr int kHardCopyOver = -30;      // the hard-copy redraw is over
constexpr int kPlaneLeastSquares = 32, kPlaneNormalLM = 33, kPlaneMostSquares = 34;
constexpr int kPlaneNormalA = 37, kPlaneNormalB = 38, kPlaneNormalC = 39;
constexpr int kDistances = 131;         // 2 atom picks (fewer with "Done")
constexpr int kAngle = 231;             // 3 atom picks
constexpr int kTorsion = 331;           // 4 atom picks
constexpr int kAddBonds = 631;          // atom picks in pairs
constexpr int kDeleteBonds = 731;       // atom picks in pairs
constexpr int kInfo = 831;              // information table
// Paging groups 11-13 only:
constexpr int kPageUp = -1, kPageDown = 1, kPageCancel = 0, kPageSwap = 2;
}  // namespace vac

// Button codes (menu row - 10) the viewer's editors put into the pending
// codes of XWI: the Geometry button, and the rows of its submenu buttons.
namespace button {
constexpr int kMainRows = 41;                   // r0, rows 1-41 form the main menu
constexpr int kDelete = 22, kSelect = 23, kViewPlanes = 24, kRelabel = 25;
constexpr int kGeometry = 31;                   // main-menu "Geometry"
constexpr int kDistances = kMainRows + 11;      // 52
constexpr int kAngles = kMainRows + 12;         // 53
constexpr int kTorsion = kMainRows + 13;        // 54
constexpr int kAddBonds = kMainRows + 16;       // 57
constexpr int kDeleteBonds = kMainRows + 17;    // 58
}  // namespace button

// The entry of every drawing request. X and Y are the point buffer (BUFFER
// words 1-100 and 101-200); N is a count or size and comes back as the
// action code of op 5. For ops 0, 2, 3, 6, 7, 8 and 12 the caller's N is
// set to 0; texts are shown up to at most 79 characters.
void GRAPHS(int* x, int* y, int& n, int op, const std::string& text, int value);
// The driver itself; an op code outside -1..17 (or 4) stops with "xwin".
void XWIN(int* x, int* y, int& n, int op, const std::string& text, int value);
// The main program's closing call (op 17, nothing else).
void XWIN(std::nullptr_t, std::nullptr_t, int n, int op, const char* text, int value);

// The menu dialogue of op 5: shows menu group n (when the menu is to be
// redrawn), waits for the user and returns the viewer action code in n,
// with any picks in x and y.
void MENUDIALOG(int* x, int* y, int& n);
// The hard copy named after the structure: "<structure name>.bmp".
std::string structure_bitmap_name();

// Mouse-cursor hooks around the waits: nothing to do on this platform.
void DISPLAY_MOUSE_CURSOR();
void HIDE_MOUSE_CURSOR();
// Sets the mouse flag (SCREEN word 8) to 1 when negative; true.
bool IF_MOUSE_THERE();

}  // namespace zanek
