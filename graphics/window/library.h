// The windowing calls the driver, the menus and the start-up hook make,
// done on the in-memory drawing surface of platform/surface: filled and
// outlined rectangles, lines, polygons, ellipses, text, saving a rectangle
// as a bitmap, and the wait for a mouse click. On a desktop the picture is
// also shown in a window of its own (platform/display) that follows the
// drawing and answers the waits with real clicks; a script of clicks
// (ZANEK_EVENTS, or a test's) takes precedence over it.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/surface.h"

namespace zanek {

// The graphics window's picture. Created at the default size on first use;
// opened (sized and cleared) by graphics op 1.
Surface& window_surface();
// The picture the drawing calls go to: the window's, or the hard copy's
// while one is drawn.
Surface& drawing_surface();

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

// Sizes the window's picture for a drawing of largest_x x largest_y
// (pixels 0..largest_x, 0..largest_y), clears it and, on a desktop, shows
// it in a window of that size.
void open(int largest_x, int largest_y);
// Brings the desktop window up to date with the picture at once; nothing
// without one.
void update_window();
// The same at most once a frame: the driver calls it after every graphics
// operation, so that the window follows the drawing as it happens without
// showing half of an operation.
void follow_drawing();
// A hard copy: from begin to end the drawing calls go to a picture of its
// own, cleared, for a drawing of largest_x x largest_y; the window's
// picture is left as it was. end writes the hard copy's picture as a
// bitmap file (false when it cannot be written) and draws on the window
// again.
void begin_hard_copy(int largest_x, int largest_y);
bool end_hard_copy(const std::string& path);
bool drawing_hard_copy();
void fill(int x1, int y1, int x2, int y2, int colour);
void frame(int x1, int y1, int x2, int y2, int colour);
void line(int x1, int y1, int x2, int y2, int colour);
void polygon(const std::vector<std::pair<int, int>>& points, int colour, bool filled);
void ellipse(int x1, int y1, int x2, int y2, int colour, bool filled);
void text(int x, int y, const std::string& s, int colour);
// Writes the rectangle of the window's picture as a bitmap file; false
// when it cannot be written.
bool save_image(const std::string& path, int x1, int y1, int x2, int y2);

// Raised when a wait finds no more input (no user, script used up, the
// desktop window closed): the menu dialogue unwinds and answers Quit.
struct NoMoreInput {};
// Blocks for the next left-button click: from the script when there is
// one, else from the desktop window; throws NoMoreInput at the end of
// input. A script file that cannot be used is said on the listing and the
// wait fails: the run stops.
std::pair<int, int> wait_click();

}  // namespace qwin
}  // namespace zanek
