// Viewer geometry: rotations, the view box of the shown atoms, the view
// window fitted to the drawing area, and the world-to-pixel mapping SCALE:
//   pixel x = nint(S1 (x + S3)),  pixel y = (H - S7) - nint(S2 (y + S4)),
// so that the window's xmin lands on pixel 80 and xmax on W, ymax on
// pixel 20 and ymin on H.
#include <algorithm>
#include <cmath>

#include "graphics/viewer/viewer.h"
#include "graphics/viewer/viewer_internal.h"
#include "graphics/window/records.h"

namespace zanek {

using viewer::el;
using viewer::nint;

void MOLT1(const float a[9], const float v[3], float w[3]) {
    float t[3];
    for (int i = 0; i < 3; ++i) t[i] = a[i] * v[0] + a[i + 3] * v[1] + a[i + 6] * v[2];
    for (int i = 0; i < 3; ++i) w[i] = t[i];
}

void MOLT2(const float a[9], const float b[9], float c[9]) {
    float t[9];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            t[i + 3 * j] = a[i] * b[3 * j] + a[i + 3] * b[3 * j + 1] + a[i + 6] * b[3 * j + 2];
    for (int k = 0; k < 9; ++k) c[k] = t[k];
}

void COMBROT(float a[9]) {
    const int k = CRT.axis_code;
    if (k < 1 || k > 4) return;
    const double th = (CRT.pi / 180.0) * CRT.angle;
    const double c = std::cos(th), s = std::sin(th);
    float r[9];
    viewer::identity(r);
    switch (k) {
    case 1:
        el(r, 2, 2) = c, el(r, 2, 3) = -s, el(r, 3, 2) = s, el(r, 3, 3) = c;
        break;
    case 2:
        el(r, 1, 1) = c, el(r, 1, 3) = s, el(r, 3, 1) = -s, el(r, 3, 3) = c;
        break;
    case 3:
        el(r, 1, 1) = c, el(r, 1, 2) = -s, el(r, 2, 1) = s, el(r, 2, 2) = c;
        break;
    default: {
        const int j = std::clamp(CRT.axis_index, 1, viewer::kMaxAxes);
        const auto& ax = CRT.axis[j];
        const double len = std::sqrt(double(ax[0]) * ax[0] + double(ax[1]) * ax[1] + double(ax[2]) * ax[2]);
        // A zero axis names no rotation (a normal along the line of sight,
        // or no plane at all): the matrix stays as it is.
        if (!(len > 0.0)) return;
        const double u1 = ax[0] / len, u2 = ax[1] / len, u3 = ax[2] / len, t = 1.0 - c;
        el(r, 1, 1) = t * u1 * u1 + c, el(r, 2, 2) = t * u2 * u2 + c, el(r, 3, 3) = t * u3 * u3 + c;
        el(r, 1, 2) = t * u1 * u2 - s * u3, el(r, 2, 1) = t * u1 * u2 + s * u3;
        el(r, 1, 3) = t * u1 * u3 + s * u2, el(r, 3, 1) = t * u1 * u3 - s * u2;
        el(r, 2, 3) = t * u2 * u3 - s * u1, el(r, 3, 2) = t * u2 * u3 + s * u1;
        break;
    }
    }
    MOLT2(a, r, a);
}

void ROTATOMS(const float a[9], int mode) {
    float* box = CRT.box;
    const int n = ATOMI.count();
    for (int i = 1; i <= n; ++i) {
        const float r = ATOMI.radius[i];
        if (r < viewer::kDeletedBelow) continue;
        float w[3];
        MOLT1(a, ATOMI.r[i].data(), w);
        if (mode == 1) ATOMI.r[i] = {w[0], w[1], w[2]};
        if (r >= 0.0f && (CONTR.I(contr::kCellEdges) > 0 || i <= ATOMI.n1)) {
            box[0] = std::min(box[0], w[0] - r), box[2] = std::max(box[2], w[0] + r);
            box[1] = std::min(box[1], w[1] - r), box[3] = std::max(box[3], w[1] + r);
        }
    }
    if (mode != 1) return;
    // Far atoms first, so that nearer ones are drawn over them; hidden and
    // deleted entries keep their places.
    for (int i = 1; i < n; ++i)
        for (int j = i + 1; j <= n; ++j) {
            const int ai = ATOMI.order[i], aj = ATOMI.order[j];
            if (ai < 1 || aj < 1 || ai > n || aj > n) continue;
            if (ATOMI.shown(ai) && ATOMI.shown(aj) && ATOMI.r[ai][2] > ATOMI.r[aj][2]) std::swap(ATOMI.order[i], ATOMI.order[j]);
        }
}

namespace {

// A box that holds nothing (no shown independent atom: an empty model or
// every atom hidden) is replaced by the extent of every entry that is not
// deleted, the cell points included, or by 1 A about the origin, so that
// the mapping never divides by an inverted or infinite extent.
void guard_empty_box(float* box) {
    if (box[0] <= box[2] && box[1] <= box[3]) return;
    float b[4] = {99999.0f, 99999.0f, -99999.0f, -99999.0f};
    for (int i = 1; i <= ATOMI.count(); ++i) {
        if (ATOMI.deleted(i)) continue;
        const auto& r = ATOMI.r[i];
        b[0] = std::min(b[0], r[0]), b[2] = std::max(b[2], r[0]);
        b[1] = std::min(b[1], r[1]), b[3] = std::max(b[3], r[1]);
    }
    if (!(b[0] <= b[2] && b[1] <= b[3])) b[0] = -0.5f, b[1] = -0.5f, b[2] = 0.5f, b[3] = 0.5f;
    std::copy(b, b + 4, box);
}

}  // namespace

void SETSCALE(int mode) {
    float* box = CRT.box;
    float* win = CRT.win;
    if (mode != 3) {
        guard_empty_box(box);
        float x0 = box[0], y0 = box[1], x1 = box[2], y1 = box[3];
        if (mode != 2) {
            const float dx = (x1 - x0) / 10.0f, dy = (y1 - y0) / 10.0f;
            x0 -= dx, x1 += dx, y0 -= dy, y1 += dy;
        }
        const float a = CONTR.R(contr::kAspect) > 0.0f ? CONTR.R(contr::kAspect) : contr::kScreenAspect;
        float w = x1 - x0, h = y1 - y0;
        if (w <= h * a) {
            const float d = (h * a - w) / 2.0f;
            x0 -= d, x1 += d, w = h * a;
        } else {
            const float hh = w / a, d = (hh - h) / 2.0f;
            y0 -= d, y1 += d, h = hh;
        }
        box[0] = x0, box[1] = y0, box[2] = x1, box[3] = y1;
        if (mode == 4) return;
        win[0] = x0, win[1] = y0, win[2] = x0 + w, win[3] = y0 + h;
    }
    WINDOW(win[0], win[1], win[2], win[3]);
    const int fw = CRT.frame[2] - CRT.frame[0], fh = CRT.frame[3] - CRT.frame[1];
    CRT.per_pixel_x = fw != 0 ? (win[2] - win[0]) / fw : 0.0f;
    CRT.per_pixel_y = fh != 0 ? (win[3] - win[1]) / fh : 0.0f;
}

void WINDOW(float& xmin, float& ymin, float& xmax, float& ymax) {
    if (std::fabs(xmin - xmax) < 1.0f) xmin -= 0.5f, xmax += 0.5f;
    if (std::fabs(ymin - ymax) < 1.0f) ymin -= 0.5f, ymax += 0.5f;
    const float wpix = static_cast<float>(viewer::screen_w()) - SCALE.R(scalew::kMenuWidth);
    const float hpix = static_cast<float>(viewer::screen_h()) - SCALE.R(scalew::kTitleHeight);
    SCALE.R(scalew::kXScale) = wpix / (xmax - xmin);
    SCALE.R(scalew::kYScale) = hpix / (ymax - ymin);
    SCALE.R(scalew::kXShift) = SCALE.R(scalew::kMenuWidth) / SCALE.R(scalew::kXScale) - xmin;
    SCALE.R(scalew::kYShift) = -(SCALE.R(scalew::kTitleHeight) / SCALE.R(scalew::kYScale) + ymin);
}

int pixel_x(float x) { return nint(SCALE.R(scalew::kXScale) * (x + SCALE.R(scalew::kXShift))); }
int pixel_y(float y) {
    const int base = viewer::screen_h() - static_cast<int>(SCALE.R(scalew::kTitleHeight));
    return base - nint(SCALE.R(scalew::kYScale) * (y + SCALE.R(scalew::kYShift)));
}
int pixel_radius(float r) { return nint(SCALE.R(scalew::kYScale) * r); }

void ANGTOPIX() {
    double sum = 0.0;
    int count = 0;
    for (int i = 1; i <= ATOMI.count(); ++i) {
        const float r = ATOMI.radius[i];
        ATOMI.px[i] = pixel_x(ATOMI.r[i][0]);
        ATOMI.py[i] = pixel_y(ATOMI.r[i][1]);
        ATOMI.pr[i] = pixel_radius(r);
        const float pr = SCALE.R(scalew::kYScale) * r;
        if (pr > 0.0f && i <= ATOMI.n1) sum += pr, ++count;
    }
    SCALE.R(scalew::kMeanRadius) = count > 0 ? static_cast<float>(sum / count) : 0.0f;
}

void TRASLATE(int k) {
    float* w = CRT.win;
    const float dx = (w[2] - w[0]) / 10.0f, dy = (w[3] - w[1]) / 10.0f;
    switch (k) {
    case 13: w[0] += dx, w[2] += dx; break;
    case 14: w[0] -= dx, w[2] -= dx; break;
    case 15: w[1] += dy, w[3] += dy; break;
    case 16: w[1] -= dy, w[3] -= dy; break;
    case 17: w[0] -= dx, w[2] += dx, w[1] -= dy, w[3] += dy; break;
    case 18: w[0] += dx, w[2] -= dx, w[1] += dy, w[3] -= dy; break;
    default: break;
    }
    std::copy(w, w + 4, CRT.box);
    SETSCALE(3);
}

}  // namespace zanek
