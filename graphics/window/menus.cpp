#include "graphics/window/menus.h"

#include <algorithm>

#include "graphics/window/library.h"
#include "graphics/window/records.h"
#include "jobcontrol/files.h"
#include "jobcontrol/records/job.h"
#include "platform/units.h"

namespace zanek {

namespace {

int largest_x() { return SCREEN.I(screenw::kWidth); }
int largest_y() { return SCREEN.I(screenw::kHeight); }

struct Row {
    int x, y, w;
    const char* label;
};

// Rows 1-78 of the menu table: the main menu (1-41) and the submenus along
// the bottom line (42-78).
constexpr Row kMenuRows[CmenuRecord::kRows] = {
    {10, 50, 80, "Plot Style"}, {10, 110, 80, "  Rotate"}, {30, 130, 40, "  X"}, {30, 150, 40, "  Y"},
    {30, 170, 40, "  Z"}, {10, 190, 80, "Translate"}, {30, 210, 40, "  X"}, {30, 230, 40, "  Y"},
    {30, 250, 40, "  Z"},
    {10, 30, 80, "  Quit"},                                                          // 10: code 0
    {10, 70, 27, " 1"}, {37, 70, 27, " 2"}, {64, 70, 26, " 3"},                      // 11-13
    {10, 90, 27, " 4"}, {37, 90, 27, " 5"}, {64, 90, 26, " 6"},                      // 14-16
    {10, 130, 27, " -"}, {63, 130, 27, " +"}, {10, 150, 27, " -"}, {63, 150, 27, " +"},  // 17-20
    {10, 170, 27, " -"}, {63, 170, 27, " +"}, {10, 210, 27, " -"}, {63, 210, 27, " +"},  // 21-24
    {10, 230, 27, " -"}, {63, 230, 27, " +"}, {10, 250, 27, " -"}, {63, 250, 27, " +"},  // 25-28
    {10, 270, 80, "Edges on"}, {10, 290, 80, "Symm  on"}, {10, 310, 80, "Scale off"},  // 29-31
    {10, 330, 80, "Delete"}, {10, 350, 80, "Select"}, {10, 370, 80, "View pl."},      // 32-34
    {10, 390, 80, "Relabel"}, {10, 430, 80, "Regroup"}, {10, 450, 80, "Refine"},      // 35-37
    {10, 470, 80, "Complete"}, {10, 490, 80, "   Help"}, {590, 30, 60, " HCopy"},     // 38-40
    {10, 410, 80, "Geometry"},                                                          // 41
    // group 2 (Select)
    {100, 490, 80, "To delete"}, {200, 490, 80, "To hide"}, {300, 490, 90, "To display"},
    {410, 490, 80, "Show all"}, {510, 490, 80, "Cancel"},
    // group 3 (polygon and atom picks)
    {400, 490, 110, "Close Polygon"}, {530, 490, 80, "Cancel"},
    // group 4 (view planes)
    {100, 490, 120, "Least Sqare P."}, {230, 490, 120, "Norm. to L.& M"}, {360, 490, 110, "Most Sqare P."},
    {480, 490, 70, "More..."}, {560, 490, 60, "Cancel"},
    // group 5 (view planes, more)
    {100, 490, 120, "  Normal to A"}, {230, 490, 120, "  Normal to B"}, {360, 490, 110, " Normal to C"},
    {480, 490, 70, "More..."}, {560, 490, 60, "Cancel"},
    // group 8 (hard copy)
    {400, 490, 70, "Printer"}, {480, 490, 80, ".PCX file"}, {570, 490, 60, "Cancel"},
    // group 9 (geometry)
    {100, 490, 110, " Distances"}, {220, 490, 110, "   Angles"}, {340, 490, 130, "Torsion Angles"},
    {480, 490, 70, "More..."}, {560, 490, 60, "Cancel"},
    // group 10 (geometry, more)
    {100, 490, 120, "  Add Bonds"}, {230, 490, 120, " Delete Bonds"}, {360, 490, 110, "   Info"},
    {480, 490, 70, "More..."}, {560, 490, 60, "Cancel"},
    // group 12 (atom table pages)
    {330, 490, 60, "  Up"}, {400, 490, 60, " Down"}, {470, 490, 60, "Cancel"}, {540, 490, 90, "Bar  chart"},
    // group 11 (neighbour list pages)
    {420, 490, 60, "  Up"}, {490, 490, 60, " Down"}, {560, 490, 60, "Cancel"},
};

std::string padded14(const std::string& s) {
    std::string t = s.substr(0, std::min<std::size_t>(s.size(), 14));
    t.resize(14, ' ');
    return t;
}

std::string up_to_last_nonblank(const std::string& s) {
    const auto end = s.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : s.substr(0, end + 1);
}

// One row of a menu group: face in the button colour, bevel (buttons only),
// outline and label.
void draw_row(int r, int bevel_mode, bool skip_empty_label) {
    const int x1 = static_cast<int>(CMENU.x[r]) - 9, y1 = static_cast<int>(CMENU.y[r]) - 29;
    const int w = CMENU.w[r] - 2;
    qwin::fill(x1, y1, x1 + w, y1 + 18, CMENU.button_colour);
    if (r > 9) TASTO(x1, y1, w, 18, bevel_mode, 2);
    qwin::frame(x1 - 1, y1 - 1, x1 + w + 1, y1 + 19, 1);
    const std::string label = up_to_last_nonblank(CMENU.label[r]);
    if (skip_empty_label && label.empty()) return;
    qwin::text(r > 9 ? x1 + 4 : x1 - 1, y1 + 2, label, 1);
}

// Waits until a click hits a button of the shown group; its code.
int wait_button() {
    for (;;) {
        int x = 0, y = 0, f = 0;
        SORCIO(x, y, f);
        const int code = KEBOX(x, y);
        if (code >= 0) return code;
    }
}

// Closes the help file however the pages are left.
struct HelpFile {
    int unit;
    ~HelpFile() { units().close(unit); }
};

}  // namespace

CmenuRecord::CmenuRecord() {
    for (int r = 1; r <= kRows; ++r) {
        const Row& row = kMenuRows[r - 1];
        x[r] = static_cast<float>(row.x);
        y[r] = static_cast<float>(row.y);
        w[r] = row.w;
        label[r] = padded14(row.label);
    }
    const char* toggles[] = {"Edges off", "Edges on", "Symm  off", "Symm  on", "Scale off", "Scale on",
                             "Cancel", "Close Polygon", "Done", "Num. Table", "Bar  chart"};
    for (int k = 1; k <= 11; ++k) toggle[k] = padded14(toggles[k - 1]);
}

void restore_main_menu_state() {
    CMENU.first_shown = 1;
    CMENU.last_shown = CMENU.main_rows;
    CMENU.button_colour = 3;
}

void set_switch_labels() {
    CMENU.label[menurow::kEdges] = CMENU.toggle[CONTR.I(contr::kCellEdges) == 0 ? toggle::kEdgesOn : toggle::kEdgesOff];
    CMENU.label[menurow::kSymmetry] = CMENU.toggle[CONTR.I(contr::kSymmetry) == 0 ? toggle::kSymmOn : toggle::kSymmOff];
    CMENU.label[menurow::kScale] = CMENU.toggle[CONTR.I(contr::kScaleMode) == 3 ? toggle::kScaleOn : toggle::kScaleOff];
}

void write_prompt(const std::string& text) { qwin::text(85, largest_y() - 20, text, 14); }

void DRAWMENU(int g) {
    const int r0 = CMENU.main_rows;
    CMENU.button_colour = 3;
    struct Group {
        int g, first, last;
    };
    // Rows of each submenu, relative to the main-menu row count.
    static constexpr Group kGroups[] = {{2, 1, 5},   {3, 6, 7},   {4, 8, 12},  {5, 13, 17},
                                        {6, 12, 12}, {7, 11, 12}, {8, 18, 20}, {9, 21, 25},
                                        {10, 26, 30}, {11, 35, 37}, {12, 31, 34}, {13, 33, 34}};
    if (g == 0) {
        const int w = largest_x();
        qwin::fill(81, 0, w, 20, 3);
        TASTO(81, 0, w - 81, 20, 0, 1);
        std::string title = " ZANEK : " + contr_title();
        qwin::text(84, 4, title.substr(0, 80), 4);
        CMENU.first_shown = 1;
        CMENU.last_shown = r0;
    } else if (g == -1) {
        CMENU.first_shown = 10;
        CMENU.last_shown = 10;
    } else {
        for (const Group& gr : kGroups)
            if (gr.g == g) {
                CMENU.first_shown = r0 + gr.first;
                CMENU.last_shown = r0 + gr.last;
                CMENU.button_colour = 7;
            }
    }
    if (g == 2 || g == 4 || g == 9) CLEARMESSAGE();
    for (int r = std::max(CMENU.first_shown, 1); r <= std::min(CMENU.last_shown, CmenuRecord::kRows); ++r)
        draw_row(r, 0, false);
}

void TASTO(int x, int y, int w, int h, int mode, int b) {
    const int x2 = x + w, y2 = y + h;
    const std::vector<std::pair<int, int>> lower_right = {{x, y2}, {x + b, y2 - b}, {x2 - b, y2 - b},
                                                          {x2 - b, y + b}, {x2, y}, {x2, y2}};
    const std::vector<std::pair<int, int>> upper_left = {{x, y2}, {x + b, y2 - b}, {x + b, y + b},
                                                         {x2 - b, y + b}, {x2, y}, {x, y}};
    const int shadow = 8, light = CMENU.button_colour + 8;
    if (mode == 1) {
        // Pressed: the shadow on the upper left; then raised again.
        qwin::polygon(lower_right, light, true);
        qwin::polygon(upper_left, shadow, true);
    }
    qwin::polygon(lower_right, shadow, true);
    qwin::polygon(upper_left, light, true);
}

void DRAWTASTO(int r) {
    if (r < 1 || r > CmenuRecord::kRows) return;
    draw_row(r, 1, true);
}

int KEBOX(int x, int y) {
    for (int r = std::max(CMENU.first_shown, 1); r <= std::min(CMENU.last_shown, CmenuRecord::kRows); ++r) {
        const float rx = CMENU.x[r], ry = CMENU.y[r];
        if (rx - 10 < x && x < rx + CMENU.w[r] - 10 && ry - 30 < y && y < ry - 10) return r - 10;
    }
    return -1;
}

int KESPEC(int x, int y, int n) {
    const int h = largest_y();
    if (y < h - 25) return -1;
    for (int k = 1; k <= n; ++k)
        if (300 + 35 * k < x && x < 325 + 35 * k && h - 25 < y && y < h - 5) return k;
    return -1;
}

void CLEARMESSAGE() { qwin::fill(81, largest_y() - 20, largest_x(), largest_y(), 0); }

void SORCIO(int& x, int& y, int& f) {
    f = 0;
    for (;;) {
        const auto click = qwin::wait_click();
        x = click.first;
        y = click.second;
        if (y <= 20 && x >= 82 && x <= 399) {
            // The title strip left of HCopy: a hard copy of the whole picture.
            qwin::save_image("hcopy.bmp", 0, 0, largest_x(), largest_y());
            continue;
        }
        return;
    }
}

void CREATEHELP() {
    int iostat = 0;
    if (JOPEN(ZANTXT.unit, ZANTXT.name, 0, 2, 1, iostat)) return;
    HelpFile file{ZANTXT.unit};
    bool from_top = true;
    for (;;) {
        qwin::fill(81, 21, largest_x(), largest_y(), 0);
        if (from_top) {
            units().rewind(file.unit);
            std::string first;
            if (units().read_line(file.unit, first) != IO_OK) {
                // A file without text: an empty page.
            }
            from_top = false;
        }
        int y = 40;
        for (int k = 1; k <= 21; ++k) {
            std::string line;
            if (units().read_line(file.unit, line) != IO_OK) {
                from_top = true;
                break;
            }
            if (!line.empty() && line.back() == '\r') line.pop_back();
            line = up_to_last_nonblank(line.substr(0, std::min<std::size_t>(line.size(), 80)));
            if (!line.empty()) qwin::text(85, y, line, 14);
            y += 20;
        }
        DRAWMENU(7);
        const int code = wait_button();
        if (code == code_of_row(menurow::kHelpCancel)) break;  // "More..." shows the next page
    }
    restore_main_menu_state();
}

void SELEZIONA(int* x, int* y, int& flag) {
    DRAWMENU(2);
    const int code = wait_button();
    DRAWTASTO(code + 10);
    // 1 delete, 2 hide, 3 display, 4 show all, -1 Cancel
    flag = code - code_of_row(menurow::kToDelete) + 1;
    if (flag < 1 || flag > 4) flag = -1;
    if (flag >= 1 && flag <= 3) {
        CLEARMESSAGE();
        write_prompt("Draw a polygon around atoms ...");
        CMENU.label[menurow::kPickDone] = CMENU.toggle[toggle::kClosePolygon];
        DRAWMENU(3);
        // At most 98 vertices, so that the closing vertex and the end mark
        // fit the point buffer of 100; further clicks are ignored.
        constexpr int kMaxVertices = 98;
        int n = 0;
        for (;;) {
            int cx = 0, cy = 0, f = 0;
            SORCIO(cx, cy, f);
            const int b = KEBOX(cx, cy);
            if (b == code_of_row(menurow::kPickDone)) {
                if (n > 0) {
                    x[n] = x[0];
                    y[n] = y[0];
                    ++n;
                }
                x[n] = -1;
                y[n] = -1;
                break;
            }
            if (b == code_of_row(menurow::kPickCancel)) {
                flag = -1;
                break;
            }
            if (b >= 0 || n >= kMaxVertices) continue;
            x[n] = cx;
            y[n] = cy;
            if (n == 0) qwin::line(cx, cy, cx + 1, cy + 1, 7);
            else qwin::line(cx, cy, x[n - 1], y[n - 1], 7);
            ++n;
        }
    }
    CLEARMESSAGE();
    restore_main_menu_state();
}

void SELECTATMS(int* x, int* y, int& flag, int mode) {
    if (flag == 0) {
        CLEARMESSAGE();
        const char* prompt = nullptr;
        switch (mode) {
        case 1: prompt = "Click on atoms to delete"; break;
        case 2: prompt = "Click on wanted atom(s)"; break;
        case 3: prompt = "Click on three atoms"; break;
        case 4: prompt = "Click on four atoms"; break;
        case 7: case 8: prompt = "Click on couples of atoms"; break;
        default: break;
        }
        if (prompt) write_prompt(prompt);
    }
    flag = 0;
    CMENU.label[menurow::kPickDone] = CMENU.toggle[toggle::kDone];
    DRAWMENU(mode == 3 || mode == 4 ? 6 : 3);
    x[0] = -1;
    // At most 99 picks, the end mark after them; further clicks are ignored.
    constexpr int kMaxPicks = 99;
    const int wanted = mode >= 2 && mode <= 4 ? mode : 0;
    int n = 0;
    for (;;) {
        int cx = 0, cy = 0, f = 0;
        SORCIO(cx, cy, f);
        const int b = KEBOX(cx, cy);
        if (b >= 0) {
            if (b + 10 == CMENU.last_shown) flag = -1;  // Cancel, the group's last button
            DRAWTASTO(b + 10);
            break;
        }
        if (n >= kMaxPicks) continue;
        x[n] = cx;
        y[n] = cy;
        ++n;
        x[n] = -1;
        if (wanted > 0 && n >= wanted) break;
    }
    CLEARMESSAGE();
    restore_main_menu_state();
}

}  // namespace zanek
