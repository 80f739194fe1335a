// The menu dialogue of graphics op 5: the one place where the program waits
// for the user. It shows the menu group asked for, waits for a button, runs
// the small dialogues some buttons open (submenus, picks, polygon, species
// palette, help pages, hard copy) and answers one viewer action code.
#include <string>

#include "graphics/viewer/viewer.h"
#include "graphics/window/library.h"
#include "graphics/window/menus.h"
#include "graphics/window/window.h"
#include "jobcontrol/records/job.h"

namespace zanek {

namespace {

constexpr int kBackToWait = -9999;  // a dialogue cancelled: wait again

int largest_x() { return SCREEN.I(screenw::kWidth); }
int largest_y() { return SCREEN.I(screenw::kHeight); }

int wait_button() {
    for (;;) {
        int x = 0, y = 0, f = 0;
        SORCIO(x, y, f);
        const int code = KEBOX(x, y);
        if (code >= 0) return code;
    }
}

int code(int row) { return code_of_row(row); }

// The aspect of the screen's drawing area, (W - 80) / (H - 20).
float screen_aspect(int w, int h) {
    return h != 20 ? static_cast<float>(w - 80) / static_cast<float>(h - 20) : contr::kScreenAspect;
}

// "Printer": the picture is drawn afresh at the hard-copy size on a cleared
// picture of its own, the title strip and the main menu first, the
// caller's redraw after them; the screen keeps what it shows.
void start_hard_copy() {
    XWI.screen_x = largest_x();
    XWI.screen_y = largest_y();
    qwin::begin_hard_copy(959, 575);
    SCREEN.I(screenw::kWidth) = 959;
    SCREEN.I(screenw::kHeight) = 575;
    XWI.hardcopy = 1;
    CONTR.R(contr::kAspect) = 1.0f;
    DRAWMENU(menugroup::kMain);
}

void end_hard_copy() {
    // The picture drawn at hard-copy size goes to the hard-copy file; the
    // window returns to the drawing size it had before.
    qwin::end_hard_copy("hcopy.bmp");
    SCREEN.I(screenw::kWidth) = XWI.screen_x;
    SCREEN.I(screenw::kHeight) = XWI.screen_y;
    XWI.hardcopy = 0;
    CONTR.R(contr::kAspect) = screen_aspect(XWI.screen_x, XWI.screen_y);
    CLEARMESSAGE();
}

void relabel_toggle(int row, bool first_choice, int label_if_true, int label_else) {
    CMENU.label[row] = CMENU.toggle[first_choice ? label_if_true : label_else];
    DRAWTASTO(row);
}

// "View pl.": groups 4 and 5 of plane buttons.
int view_planes() {
    XWI.colour = 7;
    DRAWMENU(menugroup::kPlanes);
    for (;;) {
        const int c = wait_button();
        if (c == code(menurow::kPlaneMore)) {
            DRAWMENU(menugroup::kPlanesMore);
        } else if (c == code(menurow::kNormalMore)) {
            DRAWMENU(menugroup::kPlanes);
        } else if (c == code(menurow::kPlaneCancel) || c == code(menurow::kNormalCancel)) {
            restore_main_menu_state();
            XWI.menu_redraw = 0;
            return kBackToWait;
        } else if ((c >= code(menurow::kPlaneFirst) && c <= code(menurow::kPlaneLast)) ||
                   (c >= code(menurow::kNormalFirst) && c <= code(menurow::kNormalLast))) {
            restore_main_menu_state();
            return c - 7;
        }
    }
}

// "Relabel": the atom, then its new species from the palette.
int relabel(int* x, int* y) {
    CLEARMESSAGE();
    write_prompt("Click on atom to Relabel");
    DRAWMENU(menugroup::kCancelOnly);
    XWI.colour = 7;
    int cx = 0, cy = 0, f = 0;
    SORCIO(cx, cy, f);
    // With no species in the legend there is no cell to choose: the
    // relabelling is given up as by Cancel, instead of a wait that no
    // click could end.
    if (KEBOX(cx, cy) == code(menurow::kCancelOnly) || XWI.nspecies <= 0) {
        CLEARMESSAGE();
        restore_main_menu_state();
        return kBackToWait;
    }
    x[0] = cx;
    y[0] = cy;
    CLEARMESSAGE();
    write_prompt("Select new atomic Specie");
    const int h = largest_y();
    for (int i = 1; i <= XWI.nspecies; ++i) {
        const int px = 300 + 35 * i;
        CMENU.button_colour = i;
        qwin::fill(px, h - 25, px + 25, h - 5, i);
        TASTO(px, h - 25, 25, 20, 0, 3);
        qwin::frame(px, h - 25, px + 25, h - 5, 1);
        qwin::text(px + 4, h - 23, XWI.species[i - 1], i == 1 || i == 4 ? 7 : 4);
    }
    int cell = -1;
    while (cell < 0) {
        SORCIO(cx, cy, f);
        cell = KESPEC(cx, cy, XWI.nspecies);
    }
    y[1] = cell;
    const int px = 300 + 35 * cell;
    CMENU.button_colour = cell;
    TASTO(px, h - 25, 25, 20, 1, 2);
    restore_main_menu_state();
    return vac::kRelabel;
}

// "HCopy": printer (redraw at hard-copy size), bitmap file, or cancel.
int hard_copy() {
    DRAWMENU(menugroup::kHardCopy);
    XWI.colour = 7;
    const int c = wait_button();
    DRAWTASTO(c + 10);
    CLEARMESSAGE();
    restore_main_menu_state();
    if (c == code(menurow::kPrinter)) {
        MESS.text = " Running. Please wait ...";
        MESS.text.resize(80, ' ');
        MESS.length = 25;
        PRINTMESS();
        start_hard_copy();
    } else if (c == code(menurow::kBitmapFile)) {
        qwin::save_image(structure_bitmap_name(), 0, 0, largest_x(), largest_y());
    }
    return vac::kHardCopy;
}

// "Geometry": distances, angles, torsions, bonds and the atom table. A
// pending geometry code stands for the first button without submenu or
// prompt.
int geometry(int* x, int* y) {
    const int r0 = CMENU.main_rows;
    int c = XWI.pending_geometry;
    const bool from_pending = c > 0;
    if (!from_pending) {
        CMENU.label[menurow::kTableSwap] = CMENU.toggle[toggle::kBarChart];
        DRAWMENU(menugroup::kGeometry);
        XWI.colour = 7;
    }
    for (bool first = true;; first = false) {
        if (!(from_pending && first)) {
            c = wait_button();
            DRAWTASTO(c + 10);
            CLEARMESSAGE();
            restore_main_menu_state();
        }
        if (c == code(menurow::kGeometryMore)) {
            DRAWMENU(menugroup::kGeometryMore);
        } else if (c == code(menurow::kGeometryMore2)) {
            DRAWMENU(menugroup::kGeometry);
        } else if (c == code(menurow::kGeometryCancel) || c == code(menurow::kGeometryCancel2)) {
            restore_main_menu_state();
            XWI.menu_redraw = 0;
            return kBackToWait;
        } else if (c >= r0 + 11 && c <= r0 + 17) {
            int flag = from_pending ? 1 : 0;
            SELECTATMS(x, y, flag, c - r0 - 9);
            if (flag == -1) {
                XWI.pending_action = 0;
                XWI.pending_geometry = 0;
                return kBackToWait;
            }
            return 100 * (c - r0) - 969;
        } else if (c == code(menurow::kInfo)) {
            return vac::kInfo;
        } else {
            // A pending code that names no Geometry button: the user chooses.
            return kBackToWait;
        }
    }
}

// Buttons of the paging groups 11, 12 and 13.
int paging(int c) {
    if (c == code(menurow::kTableUp) || c == code(menurow::kListUp)) return vac::kPageUp;
    if (c == code(menurow::kTableDown) || c == code(menurow::kListDown)) return vac::kPageDown;
    if (c == code(menurow::kTableSwap)) {
        const bool table = CMENU.label[menurow::kTableSwap] == CMENU.toggle[toggle::kNumTable];
        CMENU.label[menurow::kTableSwap] = CMENU.toggle[table ? toggle::kBarChart : toggle::kNumTable];
        return vac::kPageSwap;
    }
    restore_main_menu_state();
    XWI.menu_redraw = 0;
    CLEARMESSAGE();
    return vac::kPageCancel;
}

// One button code carried out; kBackToWait when its dialogue was cancelled.
int carry_out(int c, int* x, int* y) {
    switch (c) {
    case vac::kEdges:
        relabel_toggle(menurow::kEdges, CONTR.I(contr::kCellEdges) == 0, toggle::kEdgesOff, toggle::kEdgesOn);
        return c;
    case vac::kSymmetry:
        if (CONTR.I(contr::kSymmetry) == 0) {
            CMENU.label[menurow::kSymmetry] = CMENU.toggle[toggle::kSymmOff];
            CLEARMESSAGE();
            write_prompt("Running. Please wait...");
        } else {
            CMENU.label[menurow::kSymmetry] = CMENU.toggle[toggle::kSymmOn];
        }
        DRAWTASTO(menurow::kSymmetry);
        return c;
    case vac::kScale:
        relabel_toggle(menurow::kScale, CONTR.I(contr::kScaleMode) == 3, toggle::kScaleOff, toggle::kScaleOn);
        return c;
    case vac::kDeletePicked: {
        int flag = 0;
        SELECTATMS(x, y, flag, 1);
        return flag == -1 ? kBackToWait : c;
    }
    case button::kSelect: {
        int flag = 0;
        SELEZIONA(x, y, flag);
        switch (flag) {
        case 1: return vac::kDeletePolygon;
        case 2: return vac::kHidePolygon;
        case 3: return vac::kDisplayPolygon;
        case 4: return vac::kShowAll;
        default: return kBackToWait;
        }
    }
    case button::kViewPlanes:
        return view_planes();
    case vac::kRelabel:
        return relabel(x, y);
    case vac::kRegroup:
        CLEARMESSAGE();
        write_prompt("Running. Please wait...");
        return c;
    case vac::kHelp:
        CREATEHELP();
        return c;
    case vac::kHardCopy:
        return hard_copy();
    case button::kGeometry:
        return geometry(x, y);
    default:
        if (c >= CMENU.main_rows + 21 && c <= CMENU.main_rows + 27) return paging(c);
        return c;
    }
}

}  // namespace

std::string structure_bitmap_name() {
    // The structure file's name up to the first "." of its file name,
    // directory kept, followed by ".bmp" (never cut short).
    std::string name = DOTDAT.name[1];
    const auto end = name.find_last_not_of(' ');
    name = end == std::string::npos ? std::string() : name.substr(0, end + 1);
    const auto slash = name.find_last_of('/');
    const auto dot = name.find('.', slash == std::string::npos ? 0 : slash + 1);
    if (dot != std::string::npos) name = name.substr(0, dot);
    return name + ".bmp";
}

namespace {

void menu_dialog(int* x, int* y, int& n) {
    static int scratch_x[100], scratch_y[100];
    if (!x || !y) {
        x = scratch_x;
        y = scratch_y;
    }
    try {
        // With no button on show (nothing drawn yet) the group is drawn
        // too, so that a click can end the wait.
        const bool nothing_shown = CMENU.first_shown < 1;
        if (XWI.pending_action == 0 && (XWI.menu_redraw == 1 || nothing_shown) && XWI.hardcopy == 0) DRAWMENU(n);
        if (XWI.hardcopy == 1) {
            end_hard_copy();
            n = vac::kHardCopyOver;
            return;
        }
        for (;;) {
            XWI.menu_redraw = 0;
            int c;
            const bool from_pending = XWI.pending_action > 0;
            if (from_pending) {
                c = XWI.pending_action;
            } else {
                DISPLAY_MOUSE_CURSOR();
                c = wait_button();
                HIDE_MOUSE_CURSOR();
                DRAWTASTO(c + 10);
            }
            const int result = carry_out(c, x, y);
            if (result != kBackToWait) {
                n = result;
                return;
            }
            // Back to the wait: from now on the user answers, so that
            // pending codes that lead nowhere cannot repeat for ever.
            if (from_pending) {
                XWI.pending_action = 0;
                XWI.pending_geometry = 0;
            }
        }
    } catch (const qwin::NoMoreInput&) {
        // No user to answer: every dialogue ends as Quit.
        restore_main_menu_state();
        XWI.pending_action = 0;
        XWI.pending_geometry = 0;
        CLEARMESSAGE();
        n = vac::kQuit;
    }
}

}  // namespace

void MENUDIALOG(int* x, int* y, int& n) {
    menu_dialog(x, y, n);
    // What the dialogue left on the screen (a "Running. Please wait..."
    // before a long action) is shown before the action runs.
    qwin::update_window();
}

}  // namespace zanek
