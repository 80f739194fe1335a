// The windowing calls the driver, the menus and the start-up hook make,
// done on the in-memory drawing surface of platform/surface: filled and
// outlined rectangles, lines, polygons, ellipses, text, saving a rectangle
// as a bitmap, and the wait for a mouse click.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/surface.h"

namespace zanek {

// The graphics window's picture. Created at the default size on first use;
// opened (sized and cleared) by graphics op 1.
Surface& window_surface();

namespace qwin {

// The frame window round the graphics window: its menus (1-7), status bar
// and place on the screen. Nothing is shown; the start-up hook and the
// window opening shape it as they would a real frame.
struct FrameWindow {
    int menus = 7;
    bool status_bar = true;
    int x = 0, y = 0, width = 800, height = 600;
    bool initialised = false;  // the start-up hook has run
};
FrameWindow& frame_window();
void delete_menu(int k);  // removes menu k when it is the last one
void toggle_status_bar();
void set_frame(int x, int y, int width, int height);

// Sizes the window for a drawing of (width-1) x (height-1) at least as large
// as the hard-copy drawing (959 x 575), and clears it.
void open(int largest_x, int largest_y);
void fill(int x1, int y1, int x2, int y2, int colour);
void frame(int x1, int y1, int x2, int y2, int colour);
void line(int x1, int y1, int x2, int y2, int colour);
void polygon(const std::vector<std::pair<int, int>>& points, int colour, bool filled);
void ellipse(int x1, int y1, int x2, int y2, int colour, bool filled);
void text(int x, int y, const std::string& s, int colour);
// Writes the rectangle as a bitmap file; false when it cannot be written.
bool save_image(const std::string& path, int x1, int y1, int x2, int y2);

// Raised when a wait finds no more input (no user, script used up): the
// menu dialogue unwinds and answers Quit.
struct NoMoreInput {};
// Blocks for the next left-button click; throws NoMoreInput at the end of input.
std::pair<int, int> wait_click();

}  // namespace qwin
}  // namespace zanek
