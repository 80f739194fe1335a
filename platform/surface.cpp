#include "platform/surface.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace zanek {

namespace {

// Glyphs of the printable ASCII characters 32-126: seven rows of five
// pixels, the highest bit (16) the leftmost pixel.
constexpr uint8_t kGlyphs[95][7] = {
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},  // blank
    {0x04, 0x04, 0x04, 0x04, 0x04, 0x00, 0x04},  // !
    {0x0a, 0x0a, 0x0a, 0x00, 0x00, 0x00, 0x00},  // "
    {0x0a, 0x0a, 0x1f, 0x0a, 0x1f, 0x0a, 0x0a},  // #
    {0x04, 0x0f, 0x14, 0x0e, 0x05, 0x1e, 0x04},  // $
    {0x18, 0x19, 0x02, 0x04, 0x08, 0x13, 0x03},  // %
    {0x0c, 0x12, 0x14, 0x08, 0x15, 0x12, 0x0d},  // &
    {0x04, 0x04, 0x08, 0x00, 0x00, 0x00, 0x00},  // '
    {0x02, 0x04, 0x08, 0x08, 0x08, 0x04, 0x02},  // (
    {0x08, 0x04, 0x02, 0x02, 0x02, 0x04, 0x08},  // )
    {0x00, 0x04, 0x15, 0x0e, 0x15, 0x04, 0x00},  // *
    {0x00, 0x04, 0x04, 0x1f, 0x04, 0x04, 0x00},  // +
    {0x00, 0x00, 0x00, 0x00, 0x0c, 0x04, 0x08},  // ,
    {0x00, 0x00, 0x00, 0x1f, 0x00, 0x00, 0x00},  // -
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x0c, 0x0c},  // .
    {0x00, 0x01, 0x02, 0x04, 0x08, 0x10, 0x00},  // /
    {0x0e, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0e},  // 0
    {0x04, 0x0c, 0x04, 0x04, 0x04, 0x04, 0x0e},  // 1
    {0x0e, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1f},  // 2
    {0x1f, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0e},  // 3
    {0x02, 0x06, 0x0a, 0x12, 0x1f, 0x02, 0x02},  // 4
    {0x1f, 0x10, 0x1e, 0x01, 0x01, 0x11, 0x0e},  // 5
    {0x06, 0x08, 0x10, 0x1e, 0x11, 0x11, 0x0e},  // 6
    {0x1f, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},  // 7
    {0x0e, 0x11, 0x11, 0x0e, 0x11, 0x11, 0x0e},  // 8
    {0x0e, 0x11, 0x11, 0x0f, 0x01, 0x02, 0x0c},  // 9
    {0x00, 0x0c, 0x0c, 0x00, 0x0c, 0x0c, 0x00},  // :
    {0x00, 0x0c, 0x0c, 0x00, 0x0c, 0x04, 0x08},  // ;
    {0x02, 0x04, 0x08, 0x10, 0x08, 0x04, 0x02},  // <
    {0x00, 0x00, 0x1f, 0x00, 0x1f, 0x00, 0x00},  // =
    {0x08, 0x04, 0x02, 0x01, 0x02, 0x04, 0x08},  // >
    {0x0e, 0x11, 0x01, 0x02, 0x04, 0x00, 0x04},  // ?
    {0x0e, 0x11, 0x01, 0x0d, 0x15, 0x15, 0x0e},  // @
    {0x0e, 0x11, 0x11, 0x1f, 0x11, 0x11, 0x11},  // A
    {0x1e, 0x11, 0x11, 0x1e, 0x11, 0x11, 0x1e},  // B
    {0x0e, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0e},  // C
    {0x1c, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1c},  // D
    {0x1f, 0x10, 0x10, 0x1e, 0x10, 0x10, 0x1f},  // E
    {0x1f, 0x10, 0x10, 0x1e, 0x10, 0x10, 0x10},  // F
    {0x0e, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0f},  // G
    {0x11, 0x11, 0x11, 0x1f, 0x11, 0x11, 0x11},  // H
    {0x0e, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0e},  // I
    {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0c},  // J
    {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11},  // K
    {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1f},  // L
    {0x11, 0x1b, 0x15, 0x15, 0x11, 0x11, 0x11},  // M
    {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11},  // N
    {0x0e, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0e},  // O
    {0x1e, 0x11, 0x11, 0x1e, 0x10, 0x10, 0x10},  // P
    {0x0e, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0d},  // Q
    {0x1e, 0x11, 0x11, 0x1e, 0x14, 0x12, 0x11},  // R
    {0x0f, 0x10, 0x10, 0x0e, 0x01, 0x01, 0x1e},  // S
    {0x1f, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04},  // T
    {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0e},  // U
    {0x11, 0x11, 0x11, 0x11, 0x11, 0x0a, 0x04},  // V
    {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0a},  // W
    {0x11, 0x11, 0x0a, 0x04, 0x0a, 0x11, 0x11},  // X
    {0x11, 0x11, 0x0a, 0x04, 0x04, 0x04, 0x04},  // Y
    {0x1f, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1f},  // Z
    {0x0e, 0x08, 0x08, 0x08, 0x08, 0x08, 0x0e},  // [
    {0x00, 0x10, 0x08, 0x04, 0x02, 0x01, 0x00},  // backslash
    {0x0e, 0x02, 0x02, 0x02, 0x02, 0x02, 0x0e},  // ]
    {0x04, 0x0a, 0x11, 0x00, 0x00, 0x00, 0x00},  // ^
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1f},  // _
    {0x08, 0x04, 0x02, 0x00, 0x00, 0x00, 0x00},  // `
    {0x00, 0x00, 0x0e, 0x01, 0x0f, 0x11, 0x0f},  // a
    {0x10, 0x10, 0x16, 0x19, 0x11, 0x11, 0x1e},  // b
    {0x00, 0x00, 0x0e, 0x10, 0x10, 0x11, 0x0e},  // c
    {0x01, 0x01, 0x0d, 0x13, 0x11, 0x11, 0x0f},  // d
    {0x00, 0x00, 0x0e, 0x11, 0x1f, 0x10, 0x0e},  // e
    {0x06, 0x09, 0x08, 0x1c, 0x08, 0x08, 0x08},  // f
    {0x00, 0x0f, 0x11, 0x11, 0x0f, 0x01, 0x0e},  // g
    {0x10, 0x10, 0x16, 0x19, 0x11, 0x11, 0x11},  // h
    {0x04, 0x00, 0x0c, 0x04, 0x04, 0x04, 0x0e},  // i
    {0x02, 0x00, 0x06, 0x02, 0x02, 0x12, 0x0c},  // j
    {0x10, 0x10, 0x12, 0x14, 0x18, 0x14, 0x12},  // k
    {0x0c, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0e},  // l
    {0x00, 0x00, 0x1a, 0x15, 0x15, 0x11, 0x11},  // m
    {0x00, 0x00, 0x16, 0x19, 0x11, 0x11, 0x11},  // n
    {0x00, 0x00, 0x0e, 0x11, 0x11, 0x11, 0x0e},  // o
    {0x00, 0x00, 0x1e, 0x11, 0x1e, 0x10, 0x10},  // p
    {0x00, 0x00, 0x0d, 0x13, 0x0f, 0x01, 0x01},  // q
    {0x00, 0x00, 0x16, 0x19, 0x10, 0x10, 0x10},  // r
    {0x00, 0x00, 0x0e, 0x10, 0x0e, 0x01, 0x1e},  // s
    {0x08, 0x08, 0x1c, 0x08, 0x08, 0x09, 0x06},  // t
    {0x00, 0x00, 0x11, 0x11, 0x11, 0x13, 0x0d},  // u
    {0x00, 0x00, 0x11, 0x11, 0x11, 0x0a, 0x04},  // v
    {0x00, 0x00, 0x11, 0x11, 0x15, 0x15, 0x0a},  // w
    {0x00, 0x00, 0x11, 0x0a, 0x04, 0x0a, 0x11},  // x
    {0x00, 0x00, 0x11, 0x11, 0x0f, 0x01, 0x0e},  // y
    {0x00, 0x00, 0x1f, 0x02, 0x04, 0x08, 0x1f},  // z
    {0x02, 0x04, 0x04, 0x08, 0x04, 0x04, 0x02},  // {
    {0x04, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04},  // |
    {0x08, 0x04, 0x04, 0x02, 0x04, 0x04, 0x08},  // }
    {0x00, 0x00, 0x08, 0x15, 0x02, 0x00, 0x00},  // ~
};

long round_half_away(double v) { return std::lround(v); }

}  // namespace

const std::array<Rgb, 16>& palette16() {
    static const std::array<Rgb, 16> p = {{
        {0, 0, 0},       {0, 0, 170},     {0, 170, 0},     {0, 170, 170},
        {170, 0, 0},     {170, 0, 170},   {170, 85, 0},    {170, 170, 170},
        {85, 85, 85},    {85, 85, 255},   {85, 255, 85},   {85, 255, 255},
        {255, 85, 85},   {255, 85, 255},  {255, 255, 85},  {255, 255, 255},
    }};
    return p;
}

void Surface::resize(int width, int height) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    pix_.assign(static_cast<std::size_t>(width_) * height_, 0);
}

void Surface::set(int x, int y, int colour) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    pix_[static_cast<std::size_t>(y) * width_ + x] = static_cast<uint8_t>(colour & 15);
}

int Surface::get(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return -1;
    return pix_[static_cast<std::size_t>(y) * width_ + x];
}

void Surface::clear(int colour) { std::fill(pix_.begin(), pix_.end(), static_cast<uint8_t>(colour & 15)); }

void Surface::line(int x1, int y1, int x2, int y2, int colour) {
    // Bresenham: every step moves one pixel along the longer axis.
    const long dx = std::labs(static_cast<long>(x2) - x1), dy = -std::labs(static_cast<long>(y2) - y1);
    const int sx = x1 < x2 ? 1 : -1, sy = y1 < y2 ? 1 : -1;
    long err = dx + dy;
    long x = x1, y = y1;
    for (;;) {
        set(static_cast<int>(x), static_cast<int>(y), colour);
        if (x == x2 && y == y2) break;
        const long e2 = 2 * err;
        if (e2 >= dy) { err += dy; x += sx; }
        if (e2 <= dx) { err += dx; y += sy; }
    }
}

void Surface::rectangle(int x1, int y1, int x2, int y2, int colour, bool filled) {
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    if (filled) {
        const int xa = std::max(x1, 0), xb = std::min(x2, width_ - 1);
        for (int y = std::max(y1, 0); y <= std::min(y2, height_ - 1); ++y)
            for (int x = xa; x <= xb; ++x) set(x, y, colour);
        return;
    }
    line(x1, y1, x2, y1, colour);
    line(x2, y1, x2, y2, colour);
    line(x2, y2, x1, y2, colour);
    line(x1, y2, x1, y1, colour);
}

void Surface::ellipse(int x1, int y1, int x2, int y2, int colour, bool filled) {
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    if (x1 == x2 || y1 == y2) {
        line(x1, y1, x2, y2, colour);
        return;
    }
    const double cx = 0.5 * (x1 + x2), cy = 0.5 * (y1 + y2);
    const double a = 0.5 * (x2 - x1), b = 0.5 * (y2 - y1);
    // Row by row the horizontal extent; for the outline also column by
    // column the vertical extent, so that the steep parts stay closed.
    for (int y = std::max(y1, 0); y <= std::min(y2, height_ - 1); ++y) {
        const double t = 1.0 - ((y - cy) / b) * ((y - cy) / b);
        if (t < 0.0) continue;
        const double half = a * std::sqrt(t);
        const int xa = static_cast<int>(round_half_away(cx - half)), xb = static_cast<int>(round_half_away(cx + half));
        if (filled) {
            for (int x = std::max(xa, 0); x <= std::min(xb, width_ - 1); ++x) set(x, y, colour);
        } else {
            set(xa, y, colour);
            set(xb, y, colour);
        }
    }
    if (filled) return;
    for (int x = std::max(x1, 0); x <= std::min(x2, width_ - 1); ++x) {
        const double t = 1.0 - ((x - cx) / a) * ((x - cx) / a);
        if (t < 0.0) continue;
        const double half = b * std::sqrt(t);
        set(x, static_cast<int>(round_half_away(cy - half)), colour);
        set(x, static_cast<int>(round_half_away(cy + half)), colour);
    }
}

void Surface::polygon(const std::vector<std::pair<int, int>>& pts, int colour, bool filled) {
    const std::size_t n = pts.size();
    if (n == 0) return;
    if (filled && n >= 3) {
        int ymin = pts[0].second, ymax = pts[0].second;
        for (const auto& p : pts) {
            ymin = std::min(ymin, p.second);
            ymax = std::max(ymax, p.second);
        }
        std::vector<double> xs;
        for (int y = std::max(ymin, 0); y <= std::min(ymax, height_ - 1); ++y) {
            xs.clear();
            for (std::size_t i = 0; i < n; ++i) {
                const auto& p = pts[i];
                const auto& q = pts[(i + 1) % n];
                // Half-open in y, so a vertex shared by two edges counts once.
                if ((p.second <= y && q.second > y) || (q.second <= y && p.second > y)) {
                    const double t = static_cast<double>(y - p.second) / (q.second - p.second);
                    xs.push_back(p.first + t * (q.first - p.first));
                }
            }
            std::sort(xs.begin(), xs.end());
            for (std::size_t k = 0; k + 1 < xs.size(); k += 2) {
                const int xa = static_cast<int>(std::ceil(xs[k])), xb = static_cast<int>(std::floor(xs[k + 1]));
                for (int x = std::max(xa, 0); x <= std::min(xb, width_ - 1); ++x) set(x, y, colour);
            }
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        const auto& p = pts[i];
        const auto& q = pts[(i + 1) % n];
        line(p.first, p.second, q.first, q.second, colour);
    }
}

void Surface::text(int x, int y, const std::string& s, int colour) {
    int cx = x;
    for (char ch : s) {
        if (ch == '\0') break;
        const int code = static_cast<unsigned char>(ch);
        if (code > 32 && code < 127) {
            const uint8_t* g = kGlyphs[code - 32];
            for (int row = 0; row < 7; ++row)
                for (int col = 0; col < 5; ++col)
                    if (g[row] & (16 >> col)) {
                        // Bold: every pixel doubled to the right.
                        set(cx + 1 + col, y + 1 + row, colour);
                        set(cx + 2 + col, y + 1 + row, colour);
                    }
        }
        cx += kFontWidth;
    }
}

int Surface::count(int x1, int y1, int x2, int y2, int colour) const {
    int n = 0;
    for (int y = std::max(std::min(y1, y2), 0); y <= std::min(std::max(y1, y2), height_ - 1); ++y)
        for (int x = std::max(std::min(x1, x2), 0); x <= std::min(std::max(x1, x2), width_ - 1); ++x)
            if (get(x, y) == colour) ++n;
    return n;
}

int Surface::count_drawn(int x1, int y1, int x2, int y2) const {
    int n = 0;
    for (int y = std::max(std::min(y1, y2), 0); y <= std::min(std::max(y1, y2), height_ - 1); ++y)
        for (int x = std::max(std::min(x1, x2), 0); x <= std::min(std::max(x1, x2), width_ - 1); ++x)
            if (get(x, y) != 0) ++n;
    return n;
}

void MouseScript::set(const std::vector<std::pair<int, int>>& clicks) {
    clicks_ = clicks;
    next_ = 0;
    loaded_ = true;
}

bool MouseScript::load(const std::string& path) {
    clicks_.clear();
    next_ = 0;
    loaded_ = true;
    std::ifstream in(path);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        std::istringstream words(line);
        long x = 0, y = 0;
        std::string rest;
        if (!(words >> x >> y) || (words >> rest) || x < -32768 || x > 32767 || y < -32768 || y > 32767) break;
        clicks_.emplace_back(static_cast<int>(x), static_cast<int>(y));
    }
    return true;
}

void MouseScript::reset() {
    clicks_.clear();
    next_ = 0;
    loaded_ = false;
}

void MouseScript::load_environment_once() {
    if (loaded_) return;
    loaded_ = true;
    if (const char* path = std::getenv("ZANEK_EVENTS"); path && *path) load(path);
}

MouseEvent MouseScript::next() {
    load_environment_once();
    MouseEvent e;
    if (next_ >= clicks_.size()) {
        e.end_of_input = true;
        return e;
    }
    e.x = clicks_[next_].first;
    e.y = clicks_[next_].second;
    ++next_;
    return e;
}

int MouseScript::remaining() const { return static_cast<int>(clicks_.size() - std::min(next_, clicks_.size())); }

MouseScript& mouse_script() {
    static MouseScript script;
    return script;
}

}  // namespace zanek
