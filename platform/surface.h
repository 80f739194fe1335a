// The drawing surface of the graphics window: a picture in memory of
// palette indexes (16-colour palette, origin top left, y downwards) with the
// primitives the window driver draws with, and the script of mouse events
// that answers the window's waits where no user clicks: the file named by
// the environment variable ZANEK_EVENTS, or one set by a test. A desktop
// window that shows the picture and returns real clicks is
// platform/display.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zanek {

// Standard 16-colour palette: 0 black, 1 blue, 2 green, 3 cyan, 4 red,
// 5 magenta, 6 brown, 7 light grey, 8 dark grey, 9-14 the bright colours
// (14 yellow), 15 white.
struct Rgb {
    uint8_t r, g, b;
};
const std::array<Rgb, 16>& palette16();

// Text cells of the built-in font: 8 pixels wide, 10 high.
constexpr int kFontWidth = 8, kFontHeight = 10;

class Surface {
public:
    Surface() = default;
    Surface(int width, int height) { resize(width, height); }
    // New size; the picture is cleared to colour 0.
    void resize(int width, int height);
    int width() const { return width_; }
    int height() const { return height_; }

    // Pixels outside the surface are ignored when set and read as -1.
    void set(int x, int y, int colour);
    int get(int x, int y) const;
    void clear(int colour = 0);

    // Bounds are inclusive and may come in either order.
    void line(int x1, int y1, int x2, int y2, int colour);
    void rectangle(int x1, int y1, int x2, int y2, int colour, bool filled);
    // Ellipse inscribed in the bounding box (x1, y1)-(x2, y2).
    void ellipse(int x1, int y1, int x2, int y2, int colour, bool filled);
    // Closed polygon through the points; filled with the even-odd rule,
    // its outline included.
    void polygon(const std::vector<std::pair<int, int>>& points, int colour, bool filled);
    // Text with its top left corner at (x, y); stops at a NUL character.
    // Characters outside the printable ASCII range show as blanks.
    void text(int x, int y, const std::string& s, int colour);

    // Number of pixels of a colour within (x1, y1)-(x2, y2).
    int count(int x1, int y1, int x2, int y2, int colour) const;
    // Number of pixels other than colour 0 within the rectangle.
    int count_drawn(int x1, int y1, int x2, int y2) const;
    const std::vector<uint8_t>& pixels() const { return pix_; }
    // Grows with every change of the picture, so that a copy of it (the
    // desktop window) can tell whether it is still up to date.
    unsigned long long revision() const { return revision_; }

private:
    int width_ = 0, height_ = 0;
    unsigned long long revision_ = 0;
    std::vector<uint8_t> pix_;
};

// One answer of a mouse wait: a left-button click at (x, y), or the end of
// input (no user, or the script used up).
struct MouseEvent {
    int x = 0, y = 0;
    bool end_of_input = false;
};

// The clicks that answer the waits, in order. Script lines hold "x y"
// (pixels); blank lines and lines starting with '#' are skipped. A file
// that cannot be read, or that holds any other line, is no script: it
// gives no clicks, and error() says what is wrong with it.
class MouseScript {
public:
    // Replaces the script (tests).
    void set(const std::vector<std::pair<int, int>>& clicks);
    // Reads a script file; false when it cannot be read or holds a line
    // that is not a click (the script is then empty and error() says why).
    bool load(const std::string& path);
    // Forgets the script; the next wait reads ZANEK_EVENTS afresh.
    void reset();
    // True when the waits are answered from a script: one set by a test,
    // or the file named by ZANEK_EVENTS (read at the first question).
    bool scripted();
    // What is wrong with the script file, "" when nothing.
    const std::string& error() const { return error_; }
    // The next answer; the end of input once the clicks are used up.
    MouseEvent next();
    int remaining() const;

private:
    void load_environment_once();
    std::vector<std::pair<int, int>> clicks_;
    std::size_t next_ = 0;
    bool loaded_ = false;    // ZANEK_EVENTS has been looked at
    bool scripted_ = false;  // a script answers the waits
    std::string error_;
};
MouseScript& mouse_script();

}  // namespace zanek
