#include "graphics/window/library.h"

#include <algorithm>

#include "platform/bitmap.h"

namespace zanek {

namespace {
// Largest picture a %window size request can give; larger requests are
// drawn clipped.
constexpr int kMaxSide = 4096;
}  // namespace

Surface& window_surface() {
    static Surface s;
    if (s.width() == 0) s.resize(960, 576);
    return s;
}

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
    const int w = std::clamp(largest_x + 1, 960, kMaxSide), h = std::clamp(largest_y + 1, 576, kMaxSide);
    Surface& s = window_surface();
    if (s.width() != w || s.height() != h) s.resize(w, h);
    s.clear(0);
}

void fill(int x1, int y1, int x2, int y2, int colour) { window_surface().rectangle(x1, y1, x2, y2, colour, true); }
void frame(int x1, int y1, int x2, int y2, int colour) { window_surface().rectangle(x1, y1, x2, y2, colour, false); }
void line(int x1, int y1, int x2, int y2, int colour) { window_surface().line(x1, y1, x2, y2, colour); }
void polygon(const std::vector<std::pair<int, int>>& points, int colour, bool filled) {
    window_surface().polygon(points, colour, filled);
}
void ellipse(int x1, int y1, int x2, int y2, int colour, bool filled) {
    window_surface().ellipse(x1, y1, x2, y2, colour, filled);
}
void text(int x, int y, const std::string& s, int colour) { window_surface().text(x, y, s, colour); }

bool save_image(const std::string& path, int x1, int y1, int x2, int y2) {
    return write_bmp(path, window_surface(), x1, y1, x2, y2);
}

std::pair<int, int> wait_click() {
    const MouseEvent e = mouse_script().next();
    if (e.end_of_input) throw NoMoreInput{};
    return {e.x, e.y};
}

}  // namespace qwin
}  // namespace zanek
