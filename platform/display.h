// The graphics window on a desktop: an X11 window that shows the drawing
// surface and returns the left-button clicks made in it. The picture in
// memory stays the one thing that is drawn; the window only shows a copy of
// its top-left part, at the same pixel coordinates. The window keeps its
// copy on the X server as its background, so the server repaints it by
// itself while the program computes. A build without the X11 headers, or a
// run without a display (DISPLAY unset or not to be opened), has no window:
// available() is then false and the callers go on as before.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "platform/surface.h"

namespace zanek::display {

// True when the program was built with the X11 display layer.
bool built_in();
// True when a window can be shown: the display named by DISPLAY opens. The
// display is tried once; the answer is kept for the run.
bool available();
// Creates the window when it is not there yet (at (0, 0), titled TITLE),
// sized width x height, and shows that part of the picture. Nothing when
// no display is available or the user has closed the window.
void show(const Surface& picture, int width, int height, const std::string& title);
// Shows the picture, if it changed since it was last shown, when at least
// a frame's time has passed since then: drawing calls use this so that the
// window follows the drawing without copying the picture at every line.
void show_now_and_then(const Surface& picture);
// Shows the picture (if changed) and blocks until the next left-button
// click in the window: its pixel position. Nothing when the window was
// closed (then and at every later wait) or there is no window. Clicks made
// while the program was busy are kept and answer the next waits in order.
std::optional<std::pair<int, int>> wait_click(const Surface& picture);
// True once the user has closed the window.
bool closed();

}  // namespace zanek::display
