// The window driver: one graphics operation per call on the drawing surface
// of the graphics window. Layout (bounds inclusive, W and H = SCREEN words
// 4 and 5): name box (0,0)-(80,20), title strip (81,0)-(W,20), menu column
// (0,21)-(80,H), drawing area (81,21)-(W,H), message line (81,H-20)-(W,H).
#include "graphics/window/window.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "graphics/window/library.h"
#include "graphics/window/menus.h"
#include "graphics/screens.h"
#include "jobcontrol/records/job.h"
#include "platform/stop.h"

namespace zanek {

namespace {

// Only the low 16 bits of coordinates, counts and colours are used.
int s16(int v) { return static_cast<int16_t>(static_cast<uint16_t>(v & 0xffff)); }

int largest_x() { return SCREEN.I(screenw::kWidth); }
int largest_y() { return SCREEN.I(screenw::kHeight); }

// TEXT(1:N), shown up to a NUL character.
std::string text_part(const std::string& text, int n) {
    if (n <= 0) return std::string();
    std::string t = text.substr(0, std::min<std::size_t>(text.size(), static_cast<std::size_t>(n)));
    const auto nul = t.find('\0');
    return nul == std::string::npos ? t : t.substr(0, nul);
}

void mark_menu_touched(int x, int y) {
    if (x <= 80 || y <= 20) XWI.menu_redraw = 1;
}

void title_strip(const std::string& text) {
    qwin::fill(81, 0, largest_x(), 20, 3);
    TASTO(81, 0, largest_x() - 81, 20, 0, 1);
    qwin::text(84, 4, text, 4);
}

// Op 1: open and lay out the window.
void open_window(int n, const std::string& text) {
    // The library shapes its frame with the start-up hook when it starts.
    if (!qwin::frame_window().initialised) INITIALSETTINGS();
    // A frame of fixed size without menus at (0, 0), the child window
    // sized for the drawing, cleared. (A hard copy is drawn on a picture
    // of its own.)
    for (int k = 7; k >= 1; --k) qwin::delete_menu(k);
    qwin::set_frame(0, 0, 640, 480);
    qwin::open(largest_x(), largest_y());
    set_contr_title(text);
    SCALE.R(scalew::kMenuWidth) = scalew::kMenuWidthPixels;
    SCALE.R(scalew::kTitleHeight) = scalew::kTitleHeightPixels;
    CMENU.button_colour = 3;
    // Title strip, then the name box with its bevel and the program's name.
    qwin::fill(81, 0, largest_x(), 20, 3);
    TASTO(81, 0, largest_x() - 81, 20, 1, 1);
    qwin::fill(0, 0, 80, 20, 3);
    TASTO(0, 0, 80, 20, 1, 1);
    qwin::text(4, 4, "  ZANEK", 4);
    qwin::text(84, 4, text_part(text, n), 4);
    XWI.menu_redraw = 1;
}

// Op 9: a text line at (X(1) + 80, Y(1)); X(1) < 0 adds the arrow mark
// pointing at it and clears the menu column first.
void text_line(int x, int y, int n, const std::string& text) {
    const bool arrow = x < 0;
    if (arrow) {
        x = -x;
        qwin::fill(0, 21, 80, largest_y(), 0);
    }
    const int px = x + static_cast<int>(SCALE.R(scalew::kMenuWidth));
    const int py = y > largest_y() ? largest_y() - 7 : y;
    const int band = SCREEN.I(screenw::kLineSpacing) - 5;
    if (band >= 0) qwin::fill(px, py, largest_x(), py + band, 0);
    qwin::text(px, py, text_part(text, n), XWI.colour);
    if (arrow) {
        const int a = px - 30;
        const std::vector<std::pair<int, int>> mark = {{a, py + 5},       {a + 15, py + 5}, {a + 15, py},
                                                       {a + 23, py + 8},  {a + 15, py + 16}, {a + 15, py + 11},
                                                       {a, py + 11},      {a, py + 5}};
        qwin::polygon(mark, XWI.colour, false);
        qwin::polygon(mark, XWI.colour, true);
    }
}

// Ops 10 and 11: circle of diameter N with top left (X(1), Y(1)), twice as
// wide in hard-copy mode.
void circle(int x, int y, int n, bool filled) {
    mark_menu_touched(x, y);
    const int r = n / 2;
    const int rw = XWI.hardcopy == 1 ? static_cast<int>(2.0 * r) : r;
    qwin::ellipse(x + r - rw, y, x + r + rw, y + 2 * r, XWI.colour, filled);
}

// Ops 13 and 14: polygon of N points (at most 100, the point buffer).
void polygon(const int* x, const int* y, int n, int colour, bool filled) {
    if (!x || !y) return;
    n = std::clamp(n, 0, 100);
    std::vector<std::pair<int, int>> pts;
    pts.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) pts.emplace_back(s16(x[i]), s16(y[i]));
    qwin::polygon(pts, colour, filled);
}

// Op 16: the species legend, two-letter symbols at every third column.
void legend(int n, const std::string& text) {
    n = std::clamp(n, 0, 8);
    XWI.nspecies = n;
    std::string t = text;
    if (t.size() < 24) t.resize(24, ' ');
    for (int i = 1; i <= n; ++i) XWI.species[i - 1] = t.substr(3 * i - 3, 2);
}

}  // namespace

void GRAPHS(int* x, int* y, int& n, int op, const std::string& text, int value) {
    switch (op) {
    case 0: case 2: case 3: case 6: case 7: case 8: case 12:
        n = 0;
        XWIN(x, y, n, op, text, value);
        return;
    case -1: case 1: case 9: case 15: case 16: {
        // At most 79 characters of a text are shown.
        std::string t = text;
        t.resize(80, ' ');
        t[79] = '\0';
        XWIN(x, y, n, op, t, value);
        return;
    }
    default:
        XWIN(x, y, n, op, text, value);
        return;
    }
}

namespace {

void draw_operation(int* x, int* y, int& n, int op, const std::string& text, int value) {
    const bool have_points = x != nullptr && y != nullptr;
    switch (op) {
    case gop::kNone: case gop::kNothing: case gop::kNothing8: case gop::kClose:
        return;
    case gop::kOpen:
        open_window(s16(n), text);
        return;
    case gop::kLine:
        if (!have_points) return;
        mark_menu_touched(s16(x[0]), s16(y[0]));
        mark_menu_touched(s16(x[1]), s16(y[1]));
        qwin::line(s16(x[0]), s16(y[0]), s16(x[1]), s16(y[1]), XWI.colour);
        return;
    case gop::kTitleStrip:
        title_strip(contr_title());
        CMENU.button_colour = 3;
        return;
    case gop::kWait:
        MENUDIALOG(x, y, n);
        return;
    case gop::kClearDrawing:
        if (XWI.hardcopy != 1) qwin::fill(81, 21, largest_x(), largest_y(), 0);
        return;
    case gop::kClearBelowTitle:
        qwin::fill(0, 21, largest_x(), largest_y(), 0);
        return;
    case gop::kText:
        if (have_points) text_line(s16(x[0]), s16(y[0]), s16(n), text);
        return;
    case gop::kCircle:
    case gop::kDisc:
        if (have_points) circle(s16(x[0]), s16(y[0]), s16(n), op == gop::kDisc);
        return;
    case gop::kColour:
        XWI.colour = s16(value);
        return;
    case gop::kPolygon:
    case gop::kFilledPolygon:
        polygon(x, y, s16(n), s16(value), op == gop::kFilledPolygon);
        return;
    case gop::kMessage:
        qwin::fill(81, largest_y() - 13, largest_x(), largest_y(), 0);
        qwin::text(81, largest_y() - 13, text_part(text, s16(n)), XWI.colour);
        return;
    case gop::kLegend:
        legend(s16(n), text);
        return;
    default:
        zstop(0, "xwin");
    }
}

}  // namespace

void XWIN(int* x, int* y, int& n, int op, const std::string& text, int value) {
    draw_operation(x, y, n, op, text, value);
    qwin::follow_drawing();
}

void XWIN(std::nullptr_t, std::nullptr_t, int n, int op, const char* text, int value) {
    XWIN(static_cast<int*>(nullptr), static_cast<int*>(nullptr), n, op, std::string(text ? text : ""), value);
}

void DISPLAY_MOUSE_CURSOR() {}
void HIDE_MOUSE_CURSOR() {}

bool IF_MOUSE_THERE() {
    if (SCREEN.I(screenw::kMouse) < 0) SCREEN.I(screenw::kMouse) = 1;
    return true;
}

}  // namespace zanek
