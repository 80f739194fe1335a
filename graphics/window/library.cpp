#include "graphics/window/library.h"

#include <algorithm>
#include <cstdlib>

#include "platform/bitmap.h"
#include "platform/display.h"
#include "platform/listing.h"
#include "platform/stop.h"

namespace zanek {

namespace {
// Largest picture a %window size request can give; larger requests are
// drawn clipped.
constexpr int kMaxSide = 4096;
// The fixed title of the desktop window.
constexpr const char* kWindowTitle = "ZANEK graphics window";

// The screen picture's shown size, and the hard copy's picture while one
// is drawn.
struct WindowState {
    int width = 640, height = 480;
    bool hard_copy = false;
    Surface hard_copy_picture;
};
WindowState& state() {
    static WindowState s;
    return s;
}

// The desktop window is used when no script answers the waits and a
// display can be opened.
bool desktop() { return !mouse_script().scripted() && display::available(); }

int side(int largest, int least) { return std::clamp(largest + 1, least, kMaxSide); }

// A script that cannot be used fails the wait: said on the listing, then
// the run stops as for any failed mouse wait.
[[noreturn]] void failed_wait(const std::string& why) {
    const char* name = std::getenv("ZANEK_EVENTS");
    std::string text = " *** error *** mouse events file " + std::string(name ? name : "") + ": " + why;
    lst_line(text.substr(0, std::min<std::size_t>(text.size(), 120)));
    zstop(0);
}
}  // namespace

Surface& window_surface() {
    static Surface s;
    if (s.width() == 0) s.resize(960, 576);
    return s;
}

Surface& drawing_surface() { return state().hard_copy ? state().hard_copy_picture : window_surface(); }

namespace qwin {

FrameWindow& frame_window() {
    static FrameWindow f;
    return f;
}

void delete_menu(int k) {
    FrameWindow& f = frame_window();
    if (k == f.menus) f.menus = k - 1;
}

void toggle_status_bar() { frame_window().status_bar = !frame_window().status_bar; }

void set_frame(int x, int y, int width, int height) {
    FrameWindow& f = frame_window();
    f.x = x;
    f.y = y;
    f.width = width;
    f.height = height;
}

void open(int largest_x, int largest_y) {
    WindowState& w = state();
    w.hard_copy = false;
    w.width = side(largest_x, 640);
    w.height = side(largest_y, 480);
    // The picture has room for the hard-copy size too, as the window the
    // library makes has (texts may run past the shown part).
    const int pw = side(largest_x, 960), ph = side(largest_y, 576);
    Surface& s = window_surface();
    if (s.width() != pw || s.height() != ph) s.resize(pw, ph);
    s.clear(0);
    update_window();
}

void update_window() {
    if (!state().hard_copy && desktop()) display::show(window_surface(), state().width, state().height, kWindowTitle);
}

void follow_drawing() {
    if (!state().hard_copy && desktop()) display::show_now_and_then(window_surface());
}

void begin_hard_copy(int largest_x, int largest_y) {
    WindowState& w = state();
    w.hard_copy_picture.resize(side(largest_x, 1), side(largest_y, 1));
    w.hard_copy = true;
}

bool end_hard_copy(const std::string& path) {
    WindowState& w = state();
    if (!w.hard_copy) return false;
    w.hard_copy = false;
    const Surface& p = w.hard_copy_picture;
    return write_bmp(path, p, 0, 0, p.width() - 1, p.height() - 1);
}

bool drawing_hard_copy() { return state().hard_copy; }

void fill(int x1, int y1, int x2, int y2, int colour) { drawing_surface().rectangle(x1, y1, x2, y2, colour, true); }
void frame(int x1, int y1, int x2, int y2, int colour) { drawing_surface().rectangle(x1, y1, x2, y2, colour, false); }
void line(int x1, int y1, int x2, int y2, int colour) { drawing_surface().line(x1, y1, x2, y2, colour); }
void polygon(const std::vector<std::pair<int, int>>& points, int colour, bool filled) {
    drawing_surface().polygon(points, colour, filled);
}
void ellipse(int x1, int y1, int x2, int y2, int colour, bool filled) {
    drawing_surface().ellipse(x1, y1, x2, y2, colour, filled);
}
void text(int x, int y, const std::string& s, int colour) { drawing_surface().text(x, y, s, colour); }

bool save_image(const std::string& path, int x1, int y1, int x2, int y2) {
    return write_bmp(path, window_surface(), x1, y1, x2, y2);
}

std::pair<int, int> wait_click() {
    MouseScript& script = mouse_script();
    if (script.scripted()) {
        if (!script.error().empty()) failed_wait(script.error());
        const MouseEvent e = script.next();
        if (e.end_of_input) throw NoMoreInput{};
        return {e.x, e.y};
    }
    if (desktop()) {
        update_window();
        if (const auto click = display::wait_click(window_surface())) return *click;
    }
    throw NoMoreInput{};
}

}  // namespace qwin
}  // namespace zanek
