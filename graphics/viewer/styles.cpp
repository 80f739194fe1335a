// The six plot styles of the viewer. Styles 1 and 2 are line drawings;
// styles 3 to 6 draw the independent atoms as balls and the bonds as
// tapered, shaded bars. Every style paints far to near (painter's order),
// so that nearer atoms and bonds cover farther ones.
#include <algorithm>
#include <cmath>
#include <string_view>

#include "graphics/viewer/viewer.h"
#include "graphics/viewer/viewer_internal.h"
#include "graphics/window/window.h"

namespace zanek {

using viewer::nint;
using viewer::trunc_int;

namespace {

// The stroke font: 62 segments on a grid x 0..5, y -2..4 (y up, baseline
// y = 0), and the segments of each character of the alphabet.
struct Segment {
    int x1, y1, x2, y2;
};
constexpr Segment kSegments[62] = {
    {0, 4, 4, 4}, {0, 2, 4, 2}, {0, 0, 4, 0}, {0, 4, 0, 2}, {4, 4, 4, 2}, {0, 2, 0, 0}, {4, 2, 4, 0},
    {0, 4, 0, 0}, {4, 4, 4, 0}, {2, 4, 2, 0}, {0, 4, 2, 0}, {2, 0, 4, 4}, {0, 4, 4, 0}, {0, 0, 4, 4},
    {2, 2, 4, 0}, {0, 4, 5, 4}, {3, 4, 3, 0}, {5, 4, 5, 0}, {0, 2, 4, 4}, {0, 3, 4, 0}, {0, 4, 2, 2},
    {2, 2, 4, 4}, {0, 0, 0, 2}, {0, 4, 2, 4}, {2, 4, 4, 2}, {3, 4, 3, 2}, {0, 0, 2, 0}, {2, 0, 4, 2},
    {2, 2, 4, 0}, {0, 4, 2, 4}, {0, 3, 2, 3}, {0, 2, 2, 2}, {0, 1, 2, 1}, {0, 0, 2, 0}, {0, 4, 0, 0},
    {2, 4, 2, 0}, {0, 4, 0, 2}, {0, 2, 0, 0}, {2, 4, 2, 2}, {2, 2, 2, 0}, {0, 3, 0, 0}, {2, 3, 2, 0},
    {0, 4, 0, 1}, {2, 4, 2, 1}, {2, 3, 2, 2}, {0, 1, 0, 0}, {0, 3, 1, 0}, {1, 0, 2, 3}, {2, 2, 0, 0},
    {0, 2, 2, 0}, {0, 3, 0, 1}, {2, 3, 2, -2}, {0, -2, 2, -2}, {0, 2, 1, 2}, {4, 3, 4, 0}, {2, 3, 4, 3},
    {0, 3, 0, -2}, {0, 0, 0, 0}, {0, 4, 0, 4}, {1, 0, 3, 0}, {1, 3, 2, 4}, {1, 4, 2, 4}};

constexpr std::string_view kAlphabet = " ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz/'-+.:?0123456789";

// Segment numbers of each character of the alphabet, in alphabet order.
struct Glyph {
    int n;
    int seg[6];
};
constexpr Glyph kGlyphs[70] = {
    {0, {}},                   // blank
    {4, {1, 2, 8, 9}},         // A
    {6, {8, 2, 7, 3, 24, 26}}, // B
    {3, {1, 8, 3}},            // C
    {5, {8, 3, 24, 25, 7}},    // D
    {4, {8, 1, 2, 3}},         // E
    {3, {8, 1, 2}},            // F
    {4, {1, 8, 3, 7}},         // G
    {3, {8, 2, 9}},            // H
    {1, {8}},                  // I
    {3, {9, 3, 23}},           // J
    {3, {8, 19, 20}},          // K
    {2, {8, 3}},               // L
    {4, {8, 21, 22, 9}},       // M
    {3, {8, 13, 9}},           // N
    {4, {1, 8, 3, 9}},         // O
    {4, {8, 1, 2, 5}},         // P
    {6, {8, 1, 5, 27, 28, 29}},// Q
    {5, {8, 1, 2, 5, 15}},     // R
    {5, {1, 2, 3, 4, 7}},      // S
    {2, {1, 10}},              // T
    {3, {8, 3, 9}},            // U
    {2, {11, 12}},             // V
    {4, {8, 10, 9, 3}},        // W
    {2, {13, 14}},             // X
    {4, {4, 2, 9, 3}},         // Y
    {3, {1, 14, 3}},           // Z
    {5, {31, 42, 33, 46, 34}}, // a
    {4, {35, 32, 40, 34}},     // b
    {3, {31, 41, 34}},         // c
    {4, {32, 38, 34, 36}},     // d
    {5, {31, 41, 32, 45, 34}}, // e
    {3, {30, 35, 54}},         // f
    {5, {31, 34, 51, 52, 53}}, // g
    {3, {35, 32, 40}},         // h
    {2, {38, 59}},             // i
    {2, {52, 53}},             // j
    {3, {35, 49, 50}},         // k
    {3, {10, 60, 62}},         // l
    {5, {31, 56, 41, 42, 55}}, // m
    {3, {31, 41, 42}},         // n
    {4, {31, 41, 34, 42}},     // o
    {4, {57, 31, 42, 34}},     // p
    {4, {31, 34, 41, 52}},     // q
    {2, {31, 41}},             // r
    {5, {30, 37, 32, 40, 34}}, // s
    {3, {35, 31, 34}},         // t
    {3, {41, 34, 42}},         // u
    {2, {47, 48}},             // v
    {4, {41, 42, 55, 3}},      // w
    {2, {49, 50}},             // x
    {4, {41, 34, 52, 53}},     // y
    {3, {31, 49, 34}},         // z
    {1, {14}},                 // /
    {1, {4}},                  // '
    {1, {2}},                  // -
    {2, {2, 10}},              // +
    {1, {58}},                 // .
    {2, {58, 59}},             // :
    {4, {30, 39, 32, 38}},     // ?
    {4, {1, 3, 8, 9}},         // 0
    {3, {10, 60, 61}},         // 1
    {5, {1, 5, 2, 6, 3}},      // 2
    {4, {1, 2, 3, 9}},         // 3
    {3, {4, 2, 9}},            // 4
    {5, {1, 4, 2, 7, 3}},      // 5
    {5, {1, 8, 3, 7, 2}},      // 6
    {2, {1, 9}},               // 7
    {5, {1, 2, 3, 8, 9}},      // 8
    {5, {1, 2, 3, 4, 9}},      // 9
};

int bright(int c) { return c + 8; }
bool hardcopy() { return XWI.hardcopy == 1; }

void op(int n, int code, int value) {
    GRAPHS(viewer::px_buffer(), viewer::py_buffer(), n, code, std::string(80, ' '), value);
}

float z_of(int e) { return ATOMI.r[e][2]; }

// Exchange sort of the drawing order by depth, far (small z) first, with
// the key the caller gives.
template <typename Key>
void sort_order(Key key) {
    const int n = ATOMI.count();
    for (int i = 1; i < n; ++i)
        for (int j = i + 1; j <= n; ++j)
            if (key(ATOMI.order[i]) > key(ATOMI.order[j])) std::swap(ATOMI.order[i], ATOMI.order[j]);
}

bool valid_entry(int e) { return e >= 1 && e <= ATOMI.count(); }

// The small ball of style 2.
void small_ball(int e) {
    const int x = ATOMI.px[e], y = ATOMI.py[e];
    CERCHIO(x, y, 3, 8, 1, 8);
    CERCHIO(x, y, 4, 0, 0, 0);
    PAINT(x, y, ATOMI.colour[e], ATOMI.colour[e], 4);
    METTIPIXEL(x + 1, y - 2, 15);
    if (ATOMI.label[e][0] == 'Q') CERCHIO(x, y, 2, 0, 1, 0);
}

void stick_bond(int p, int q, int style) {
    const int x1 = ATOMI.px[p], y1 = ATOMI.py[p], x2 = ATOMI.px[q], y2 = ATOMI.py[q];
    const int ox = x1 < x2 ? 1 : -1, oy = y1 < y2 ? 1 : -1;
    for (int d : {-oy, oy, -2 * oy, 2 * oy}) LINEA(x1 + ox, y1 + d, x2 - ox, y2 + d, 0);
    const int xm = (x1 + x2) / 2, ym = (y1 + y2) / 2;
    LINEA(x1, y1, xm, ym, bright(ATOMI.colour[p]));
    LINEA(xm, ym, x2, y2, bright(ATOMI.colour[q]));
    if (style == 2) {
        if (viewer::independent(p)) small_ball(p);
        if (viewer::independent(q)) small_ball(q);
    }
}

}  // namespace

void STICKSORD() {
    sort_order([](int e) { return valid_entry(e) ? z_of(e) : 0.0f; });
    op(0, gop::kClearDrawing, 1);
    const int style = CRT.style;
    const bool edges = CONTR.I(contr::kCellEdges) > 0;
    for (int place = 1; place <= ATOMI.count(); ++place) {
        const int a = ATOMI.order[place];
        if (!valid_entry(a) || !(ATOMI.radius[a] > 0.0f) || !(viewer::independent(a) || edges)) continue;
        bool drawn = false;
        for (int b = 1; b <= CRT.nbonds; ++b) {
            const int p = std::abs(CRT.bond_a[b]), q = std::abs(CRT.bond_b[b]);
            if (!valid_entry(p) || !valid_entry(q) || (p != a && q != a)) continue;
            const int other = p == a ? q : p;
            if (z_of(other) > z_of(a)) continue;
            if (!(ATOMI.radius[p] > 0.0f) || !(ATOMI.radius[q] > 0.0f)) continue;
            stick_bond(p, q, style);
            drawn = true;
        }
        if (drawn) continue;
        if (style == 1)
            METTIPIXEL(ATOMI.px[a], ATOMI.py[a], bright(ATOMI.colour[a]));
        else if (viewer::independent(a))
            small_ball(a);
    }
}

void BALLS() {
    CRT.per_pixel_x = CRT.frame_w != 0.0f ? (CRT.win[2] - CRT.win[0]) / CRT.frame_w : 0.0f;
    CRT.per_pixel_y = CRT.frame_h != 0.0f ? (CRT.win[3] - CRT.win[1]) / CRT.frame_h : 0.0f;
    sort_order([](int e) { return valid_entry(e) ? static_cast<float>(trunc_int(z_of(e))) : 0.0f; });
    op(0, gop::kClearDrawing, 1);
    const int style = CRT.style;
    const bool edges = CONTR.I(contr::kCellEdges) > 0;
    for (int place = 1; place <= ATOMI.count(); ++place) {
        const int a = ATOMI.order[place];
        if (!valid_entry(a)) continue;
        const float ra = ATOMI.radius[a];
        if (!(ra > 0.0f)) continue;
        ATOMI.mark[a] = ra;
        for (int b = 1; b <= CRT.nbonds; ++b) {
            int p = CRT.bond_a[b], q = CRT.bond_b[b];
            if (p < 0) continue;  // drawn already in this pass
            if (!valid_entry(p) || !valid_entry(q)) continue;
            if (!(viewer::independent(p) || edges) || (a != p && a != q)) continue;
            if (!(ATOMI.mark[p] > 0.0f) || !(ATOMI.mark[q] > 0.0f)) continue;
            const int first = CRT.bond_a[b];
            auto mark_drawn = [&] { CRT.bond_a[b] = -first; };
            if (z_of(p) > z_of(q)) std::swap(p, q);
            const auto& rp = ATOMI.r[p];
            const auto& rq = ATOMI.r[q];
            const float dx = rp[0] - rq[0], dy = rp[1] - rq[1], dz = rp[2] - rq[2];
            const float proj = dx * dx + dy * dy;
            if (proj < 0.001f) {
                mark_drawn();
                continue;
            }
            const float l3 = std::sqrt(proj + dz * dz), l2 = std::sqrt(proj);
            float rqm = ATOMI.mark[q];
            if (viewer::independent(q)) rqm -= 2.0f * CRT.per_pixel_x;
            const float sx = rq[0] + dx * rqm / l2, sy = rq[1] + dy * rqm / l2;
            const float ex = rp[0] - dx * ATOMI.mark[p] / l3, ey = rp[1] - dy * ATOMI.mark[p] / l3;
            const float dd = std::sqrt((ex - rq[0]) * (ex - rq[0]) + (ey - rq[1]) * (ey - rq[1]));
            if (dd < ATOMI.mark[q] || dd < ATOMI.mark[p]) {
                mark_drawn();
                continue;
            }
            float t = (l3 - std::fabs(dz)) / l3;
            if (!viewer::independent(a)) {
                LINEA0(sx, sy, ex, ey, 7);
            } else {
                DISLEGN(sx, sy, ex, ey, t);
                if (style != 6) CERCHIO(ATOMI.px[a], ATOMI.py[a], ATOMI.pr[a], ATOMI.colour[a], 0, 0);
            }
            mark_drawn();
        }
        if (!viewer::independent(a)) continue;
        int c = ATOMI.colour[a];
        DISEPALLE(a, ATOMI.px[a], ATOMI.py[a], ATOMI.pr[a], c);
        if (style != 3 && ATOMI.label[a][0] == 'Q') {
            const int r = ATOMI.pr[a];
            const int rr = std::max(1, std::min(r - 2, trunc_int(0.6 * r - 2.0)));
            CERCHIO(ATOMI.px[a], ATOMI.py[a], rr, 0, 1, 0);
            if (style == 5) CERCHIO(ATOMI.px[a], ATOMI.py[a], rr, c, 0, c);
        }
    }
}

namespace {

void highlight(int x, int y, int r) {
    const int h = std::max(1, nint(0.2 * r));
    CERCHIO(nint(x + r / 2.0), nint(y - r / 2.0), h, 0, 1, hardcopy() ? 0 : 15);
}

void lit_sphere(int a, int x, int y, int r) {
    int* bx = viewer::px_buffer();
    int* by = viewer::py_buffer();
    const double kDeg = 3.14159265358979 / 180.0;
    const double xs = hardcopy() ? 2.0 : 1.0;
    for (int k = 0; k < 40; ++k) {
        const double th = (-225.0 + 9.0 * k) * kDeg;
        bx[k] = nint(x + xs * r * std::cos(th));
        by[k] = nint(y - r * std::sin(th));
    }
    op(40, gop::kFilledPolygon, bright(ATOMI.colour[a]));
    // The shadow: the half shadow line of the sphere of radius R lit from
    // (1, -1, 0.7), closing the first 20 circle points into a crescent.
    const float r2 = static_cast<float>(r) * static_cast<float>(r);
    const float inv = r2 > 0.0f ? 1.0f / r2 : 1.0f;
    const float m[9] = {inv, 0, 0, 0, inv, 0, 0, 0, inv};
    const float v[3] = {m[6], m[7], m[8]};
    const float q[3] = {1.0f, -1.0f, 0.7f};
    float p[384];
    int n = 0;
    ELLPRINC(q, v, m, n, p);
    for (int k = 0; k < 9; ++k) {
        bx[20 + k] = trunc_int(x + xs * p[k]);
        by[20 + k] = trunc_int(y + p[128 + k]);
    }
    bx[n + 18] = bx[0], by[n + 18] = by[0];
    op(28, gop::kPolygon, ATOMI.colour[a]);
    op(28, gop::kFilledPolygon, ATOMI.colour[a]);
    highlight(x, y, r);
}

}  // namespace

void DISEPALLE(int a, int x, int y, int r, int& c) {
    const bool flat = c <= 0;
    c = ATOMI.colour[a];
    const int style = CRT.style;
    CERCHIO(x, y, r + 2, 0, 1, 0);
    if (!(flat && (style == 4 || style == 6))) {
        if (style == 6) {
            lit_sphere(a, x, y, r);
            return;
        }
        c = style == 4 ? ATOMI.colour[a] : bright(ATOMI.colour[a]);
        CERCHIO(x, y, r, c, 0, c);
        if (style != 3 && !flat) {
            if (style == 4) CERCHIO(x, y, r, c, 1, c);
            highlight(x, y, r);
        }
    }
    if (style != 3) return;
    const float m = SCALE.R(scalew::kMeanRadius);
    float sy = 4.0f, sx = 3.0f;
    if (m < 10.0f)
        sy = 1.0f, sx = 0.75f;
    else if (m < 15.0f)
        sy = 1.5f, sx = 1.0f;
    else if (m < 22.0f)
        sy = 2.0f, sx = 1.5f;
    else if (m < 30.0f)
        sy = 2.8f, sx = 2.0f;
    const int n = LUNG(ATOMI.label[a]);
    if (n > 0) LABELM(ATOMI.label[a], trunc_int(x - 3.0 * n * sx), trunc_int(y + 2.0 * sy), sx, sy, 7);
}

void DISLEGN(float x1, float y1, float x2, float y2, float& t) {
    const float w = 0.8f * t + 0.2f;
    t = w;
    float p[4][2];
    if (std::fabs(x1 - x2) < 0.00001f) {
        p[0][0] = x1 - 0.08f, p[0][1] = y1, p[1][0] = x1 + 0.08f, p[1][1] = y1;
        p[2][0] = x2 - 0.08f, p[2][1] = y2, p[3][0] = x2 + 0.08f, p[3][1] = y2;
    } else {
        const double m = (static_cast<double>(y2) - y1) / (static_cast<double>(x2) - x1);
        if (std::fabs(m) <= 0.00001) {
            const float h = 0.08f * w;
            p[0][0] = x1, p[0][1] = y1 - h, p[1][0] = x1, p[1][1] = y1 + h;
            p[2][0] = x2, p[2][1] = y2 - h, p[3][0] = x2, p[3][1] = y2 + h;
        } else {
            const double s = std::sqrt(m * m + 1.0);
            const double d = 0.08 * m / s, e = 0.08 * w * m / s;
            p[0][0] = static_cast<float>(x1 + d), p[0][1] = static_cast<float>(y1 - d / m);
            p[1][0] = static_cast<float>(x1 - d), p[1][1] = static_cast<float>(y1 + d / m);
            p[2][0] = static_cast<float>(x2 + e), p[2][1] = static_cast<float>(y2 - e / m);
            p[3][0] = static_cast<float>(x2 - e), p[3][1] = static_cast<float>(y2 + e / m);
        }
    }
    int* bx = viewer::px_buffer();
    int* by = viewer::py_buffer();
    const int corner[4] = {0, 1, 3, 2};  // P1, P2, P4, P3
    for (int k = 0; k < 4; ++k) bx[k] = pixel_x(p[corner[k]][0]), by[k] = pixel_y(p[corner[k]][1]);
    op(4, gop::kFilledPolygon, 0);
    bx[4] = bx[0], by[4] = by[0];
    op(5, gop::kPolygon, CRT.bond_outline);
}

void NORMVETT(const float v[3], const float m[9], float& s) {
    float n = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (n < 0.0001f) n = 0.0001f;
    const float u[3] = {v[0] / n, v[1] / n, v[2] / n};
    CRT.unit[0] = u[0], CRT.unit[1] = u[1], CRT.unit[2] = u[2];
    float mu[3];
    MOLT1(m, u, mu);
    float q = u[0] * mu[0] + u[1] * mu[1] + u[2] * mu[2];
    if (std::fabs(q) < 0.0001f) q = 0.0001f;
    s = std::sqrt(1.0f / std::fabs(q));
}

void ELLPRINC(const float q[3], const float v[3], const float m[9], int& n, float p[384]) {
    auto cross = [](const float a[3], const float b[3], float c[3]) {
        c[0] = a[1] * b[2] - a[2] * b[1];
        c[1] = a[2] * b[0] - a[0] * b[2];
        c[2] = a[0] * b[1] - a[1] * b[0];
    };
    auto put = [p](int k, const float x[3]) { p[k - 1] = x[0], p[127 + k] = x[1], p[255 + k] = x[2]; };
    auto get = [p](int k, float x[3]) { x[0] = p[k - 1], x[1] = p[127 + k], x[2] = p[255 + k]; };
    // The point of the ellipsoid along a direction.
    auto onto = [m](const float dir[3], float x[3]) {
        float s = 0;
        NORMVETT(dir, m, s);
        for (int i = 0; i < 3; ++i) x[i] = s * CRT.unit[i];
    };
    float c[3], a[3], ma[3], d[3], b[3];
    cross(v, q, c);
    onto(c, a);
    MOLT1(m, a, ma);
    cross(q, ma, d);
    onto(d, b);
    if (b[2] <= 0.0f) b[0] = -b[0], b[1] = -b[1], b[2] = -b[2];
    n = 9;
    const float na[3] = {-a[0], -a[1], -a[2]};
    put(1, a), put(5, b), put(9, na);
    auto bisect = [&](int k, int k1, int k2) {
        float x1[3], x2[3], s[3], x[3];
        get(k1, x1), get(k2, x2);
        for (int i = 0; i < 3; ++i) s[i] = x1[i] + x2[i];
        onto(s, x);
        put(k, x);
    };
    bisect(3, 1, 5), bisect(7, 5, 9);
    bisect(2, 1, 3), bisect(4, 3, 5), bisect(6, 5, 7), bisect(8, 7, 9);
}

void LABELM(const std::string& text, int x0, int y, float sx, float sy, int c) {
    const std::string t = viewer::label5(text);
    const int n = LUNG(t);
    int x = x0;
    int* bx = viewer::px_buffer();
    int* by = viewer::py_buffer();
    for (int i = 0; i < n; ++i) {
        if (t[i] == ' ') continue;
        const auto pos = kAlphabet.find(t[i]);
        const Glyph& g = kGlyphs[pos == std::string_view::npos ? 0 : pos];
        for (int k = 0; k < g.n; ++k) {
            const Segment& s = kSegments[g.seg[k] - 1];
            SETCOLR(c);
            bx[0] = trunc_int(x + s.x1 * sx), by[0] = trunc_int(y - s.y1 * sy);
            bx[1] = trunc_int(x + s.x2 * sx), by[1] = trunc_int(y - s.y2 * sy);
            op(0, gop::kLine, c);
        }
        x = trunc_int(x + 7.0 * sx);
    }
}

}  // namespace zanek
