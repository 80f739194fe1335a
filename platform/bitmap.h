// Bitmap files of the drawing surface: the hard copies of the graphics
// window, written as uncompressed 4-bit Windows bitmaps (BMP) with the
// 16-colour palette.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/surface.h"

namespace zanek {

// Writes the rectangle (x1, y1)-(x2, y2), bounds inclusive, of the surface;
// pixels outside the surface are written as colour 0. False when the file
// cannot be written or the rectangle is empty.
bool write_bmp(const std::string& path, const Surface& s, int x1, int y1, int x2, int y2);

// A bitmap read back: size and palette indexes, rows top first.
struct Bitmap {
    int width = 0, height = 0, bits = 0;
    std::vector<uint8_t> index;
    int at(int x, int y) const { return index[static_cast<std::size_t>(y) * width + x]; }
};
// Reads a 4-bit or 8-bit uncompressed bitmap; nothing when the file is not one.
std::optional<Bitmap> read_bmp(const std::string& path);

}  // namespace zanek
