// Menus of the molecule viewer: the menu table, drawing of a menu group,
// the bevelled buttons, hit tests for buttons and the species palette, the
// mouse wait with its title-strip hard copy, the help pages and the two
// pick dialogues (polygon and atoms).
#pragma once

#include <array>
#include <string>

namespace zanek {

// CMENU: rows 1-78 (1-based). Rows 1-9 are headings, rows 10 and above
// buttons; the code of a row is row - 10 (Quit 0, main menu 1-31,
// submenus 32-68). Row r is drawn from (X(r) - 9, Y(r) - 29), W(r) - 2
// wide and 18 high.
struct CmenuRecord {
    static constexpr int kRows = 78;
    std::array<float, kRows + 1> x{};
    std::array<float, kRows + 1> y{};
    std::array<int, kRows + 1> w{};
    std::array<std::string, kRows + 1> label;  // 14 characters each
    int main_rows = 41;                        // rows 1-41 form the main menu
    int first_shown = 0, last_shown = 0;       // the group now on screen
    int button_colour = 3;                     // 3 main menu, 7 submenus
    std::array<std::string, 12> toggle;        // 1-11: the labels the dialogue swaps in
    CmenuRecord();
};
inline CmenuRecord CMENU;

// Rows of the menu table the dialogues name (code = row - 10).
namespace menurow {
constexpr int kQuit = 10, kEdges = 29, kSymmetry = 30, kScale = 31, kHCopy = 40;
constexpr int kToDelete = 42, kToHide = 43, kToDisplay = 44, kShowAll = 45, kSelectCancel = 46;
constexpr int kPickDone = 47, kPickCancel = 48;            // "Close Polygon" or "Done", "Cancel"
constexpr int kPlaneFirst = 49, kPlaneLast = 51, kPlaneMore = 52, kPlaneCancel = 53;
constexpr int kNormalFirst = 54, kNormalLast = 56, kNormalMore = 57, kNormalCancel = 58;
constexpr int kHelpMore = 52, kHelpCancel = 53;            // group 7 reuses rows 52-53
constexpr int kCancelOnly = 53;                            // group 6
constexpr int kPrinter = 59, kBitmapFile = 60, kHardCopyCancel = 61;
constexpr int kDistances = 62, kGeometryMore = 65, kGeometryCancel = 66;
constexpr int kAddBonds = 67, kDeleteBonds = 68, kInfo = 69, kGeometryMore2 = 70, kGeometryCancel2 = 71;
constexpr int kTableUp = 72, kTableDown = 73, kTableCancel = 74, kTableSwap = 75;
constexpr int kListUp = 76, kListDown = 77, kListCancel = 78;
}  // namespace menurow
constexpr int code_of_row(int r) { return r - 10; }

// Toggle labels (CMENU toggle 1-11).
namespace toggle {
constexpr int kEdgesOff = 1, kEdgesOn = 2, kSymmOff = 3, kSymmOn = 4, kScaleOff = 5, kScaleOn = 6,
              kCancel = 7, kClosePolygon = 8, kDone = 9, kNumTable = 10, kBarChart = 11;
}

// The help file: its name (logical directory resolved on opening) and unit.
struct ZantxtRecord {
    std::string name = "crysdir:xzanek.txt";
    int unit = 44;
};
inline ZantxtRecord ZANTXT;

// Selects and draws menu group g (0 main menu, -1 the Quit button alone,
// 2-13 the submenus; any other keeps the rows shown).
void DRAWMENU(int g);
// Bevel of width b round the button (x, y, w, h): mode 0 raised, mode 1
// pressed and released again.
void TASTO(int x, int y, int w, int h, int mode, int b);
// Row r drawn again with a press-and-release flash.
void DRAWTASTO(int r);
// Code (row - 10) of the shown row under the click, else -1.
int KEBOX(int x, int y);
// Species palette cell 1..n under the click, else -1.
int KESPEC(int x, int y, int n);
// Clears the message line (81, H-20)-(W, H).
void CLEARMESSAGE();
// Waits for a click outside the title-strip hard-copy zone; a click in
// that zone saves the picture as "hcopy.bmp" and the wait goes on.
void SORCIO(int& x, int& y, int& f);
// Shows the help pages of the help file until Cancel.
void CREATEHELP();
// The Select dialogue: flag 1 to delete, 2 to hide, 3 to display, 4 show
// all, -1 cancelled; the polygon in x, y closed and ended by -1.
void SELEZIONA(int* x, int* y, int& flag);
// Atom picks into x, y (ended by x = -1); flag -1 when cancelled. Mode 1
// delete, 2 wanted atoms (2 picks), 3 three atoms, 4 four atoms, 7 and 8
// couples of atoms.
void SELECTATMS(int* x, int* y, int& flag, int mode);

// The main-menu state (rows 1-41 shown, button colour 3), not redrawn.
void restore_main_menu_state();
// The labels of the edges, symmetry and scale buttons set to what pressing
// them does now, from the switches of CONTR (shown at the next drawing of
// the main menu): "Edges on" while the cell edges are off, "Symm  on"
// while no symmetry copies are shown, "Scale off" while the scale follows
// the model.
void set_switch_labels();
// Writes a prompt in the message line at (85, H-20) in colour 14.
void write_prompt(const std::string& text);

}  // namespace zanek
