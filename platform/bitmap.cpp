#include "platform/bitmap.h"

#include <fstream>
#include <iterator>

namespace zanek {

namespace {

void put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>& b, uint32_t v) {
    put16(b, v & 0xffff);
    put16(b, v >> 16);
}
uint32_t get16(const std::vector<uint8_t>& b, std::size_t at) { return b[at] | (b[at + 1] << 8); }
uint32_t get32(const std::vector<uint8_t>& b, std::size_t at) { return get16(b, at) | (get16(b, at + 2) << 16); }

}  // namespace

bool write_bmp(const std::string& path, const Surface& s, int x1, int y1, int x2, int y2) {
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    const long w = static_cast<long>(x2) - x1 + 1, h = static_cast<long>(y2) - y1 + 1;
    if (w <= 0 || h <= 0 || w > 32768 || h > 32768) return false;
    const uint32_t row_bytes = static_cast<uint32_t>(((w + 1) / 2 + 3) / 4 * 4);  // rows padded to 4 bytes
    const uint32_t header = 14 + 40 + 16 * 4;
    const uint32_t image = row_bytes * static_cast<uint32_t>(h);
    std::vector<uint8_t> b;
    b.reserve(header + image);
    b.push_back('B');
    b.push_back('M');
    put32(b, header + image);
    put32(b, 0);
    put32(b, header);
    put32(b, 40);  // BITMAPINFOHEADER
    put32(b, static_cast<uint32_t>(w));
    put32(b, static_cast<uint32_t>(h));  // positive: rows bottom first
    put16(b, 1);
    put16(b, 4);
    put32(b, 0);  // no compression
    put32(b, image);
    put32(b, 3780);  // 96 dots per inch
    put32(b, 3780);
    put32(b, 16);
    put32(b, 0);
    for (const Rgb& c : palette16()) {
        b.push_back(c.b);
        b.push_back(c.g);
        b.push_back(c.r);
        b.push_back(0);
    }
    for (long row = h - 1; row >= 0; --row) {
        std::vector<uint8_t> line(row_bytes, 0);
        for (long col = 0; col < w; ++col) {
            int v = s.get(static_cast<int>(x1 + col), static_cast<int>(y1 + row));
            if (v < 0) v = 0;
            line[col / 2] |= static_cast<uint8_t>(col % 2 == 0 ? v << 4 : v);
        }
        b.insert(b.end(), line.begin(), line.end());
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    return static_cast<bool>(out);
}

std::optional<Bitmap> read_bmp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return std::nullopt;
    const uint32_t offset = get32(b, 10);
    const int32_t w = static_cast<int32_t>(get32(b, 18)), hs = static_cast<int32_t>(get32(b, 22));
    const int bits = static_cast<int>(get16(b, 28));
    if (get32(b, 30) != 0 || (bits != 4 && bits != 8) || w <= 0 || hs == 0) return std::nullopt;
    const bool bottom_up = hs > 0;
    const int h = bottom_up ? hs : -hs;
    const std::size_t row_bytes = ((static_cast<std::size_t>(w) * bits + 7) / 8 + 3) / 4 * 4;
    if (offset + row_bytes * h > b.size()) return std::nullopt;
    Bitmap bm;
    bm.width = w;
    bm.height = h;
    bm.bits = bits;
    bm.index.resize(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        const std::size_t row = offset + row_bytes * (bottom_up ? h - 1 - y : y);
        for (int x = 0; x < w; ++x) {
            int v = bits == 8 ? b[row + x] : (x % 2 == 0 ? b[row + x / 2] >> 4 : b[row + x / 2] & 15);
            bm.index[static_cast<std::size_t>(y) * w + x] = static_cast<uint8_t>(v);
        }
    }
    return bm;
}

}  // namespace zanek
