// The line-printer chart of the Wilson plot: rows run along s^2, columns
// along the logarithm of the mean intensity; each series is drawn as a
// cubic through a window of four consecutive points.
#include <algorithm>
#include <cmath>
#include <string>

#include "crystaldata/wilson.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "platform/listing.h"

namespace zanek {

namespace {

constexpr int kRows = 51;
constexpr int kField = 106;     // chart field, columns 10-115
constexpr int kCurveMax = 101;  // last chart position of a curve
float g_cubic = 1e-5f;          // cubic coefficient carried between windows

std::string marks_every_ten() {
    std::string s(110, ' ');
    for (int c = 10; c <= 110; c += 10) s[c - 1] = '*';
    return s;
}

std::string side_borders() {
    std::string s(113, ' ');
    s[6] = '*';
    s[112] = '*';
    return s;
}

}  // namespace

void XFIT(const float x[4], const float y[4], float c[4]) {
    double x1 = x[0], x2 = x[1], x3 = x[2], x4 = x[3];
    double y1 = y[0], y2 = y[1], y3 = y[2], y4 = y[3];
    double d4 = (y4 - y1) / (x4 - x1);
    double d2 = (y2 - y1) / (x2 - x1) - d4;
    double d3 = (y3 - y1) / (x3 - x1) - d4;
    double p2 = (x2 + x1) * x2 - x4 * (x4 + x1);
    double p3 = (x3 + x1) * x3 - x4 * (x4 + x1);
    double D = (x3 - x4) * p2 - (x2 - x4) * p3;
    if (std::fabs(D) >= 1e-8) c[0] = static_cast<float>((d2 * (x3 - x4) - d3 * (x2 - x4)) / D);
    double c1 = c[0];
    double c2 = (d2 - p2 * c1) / (x2 - x4);
    double c3 = d4 - (x4 * x1 + x4 * x4 + x1 * x1) * c1 - (x4 + x1) * c2;
    double c4 = y1 - ((x1 * c1 + c2) * x1 + c3) * x1;
    c[1] = static_cast<float>(c2);
    c[2] = static_cast<float>(c3);
    c[3] = static_cast<float>(c4);
}

void XPLOT(const std::vector<float>& data, int npts, int nser, int stride, const char* symb,
           const std::vector<std::string>& rleg, const std::vector<std::string>& lleg) {
    if (npts < 4 || nser < 1) return;  // a cubic window needs four points
    auto X = [&](int s, int p) { return data[static_cast<std::size_t>((s * npts + p) * stride)]; };
    auto Y = [&](int s, int p) { return data[static_cast<std::size_t>((s * npts + p) * stride + 1)]; };
    float xmin = X(0, 0), xmax = xmin, ymin = Y(0, 0), ymax = ymin;
    for (int s = 0; s < nser; ++s) {
        for (int p = 0; p < npts; ++p) {
            xmin = std::min(xmin, X(s, p));
            xmax = std::max(xmax, X(s, p));
            ymin = std::min(ymin, Y(s, p));
            ymax = std::max(ymax, Y(s, p));
        }
    }
    // A range of zero width is drawn over one unit.
    float yrange = ymax > ymin ? ymax - ymin : 1.0f;
    float xrange = xmax > xmin ? xmax - xmin : 1.0f;
    float cy = 100.0f / yrange;
    float dx = xrange / 50.0f;
    g_cubic = 1e-5f;

    lst_blank();
    std::vector<FItem> ticks;
    for (int j = 0; j <= 10; ++j) ticks.emplace_back(ymin + j * yrange / 10.0f);
    lst("(1x,11f10.3)", ticks);
    lst_line(marks_every_ten());
    lst_line(std::string(6, ' ') + std::string(107, '*'));
    lst_line(side_borders());
    lst_line(side_borders());

    const int nleg = static_cast<int>(std::min(lleg.size(), rleg.size()));
    int c = 1;  // first point of the curve window (1-based)
    int first = 1;
    for (int row = 1; row <= kRows; ++row) {
        float xr = xmin + (row - 1) * dx;
        if (row == 1) {
            first = c;
            c += 1;
        } else if (c != npts - 2 && X(0, c) <= xr) {  // x of point c+1
            first = c;
            c += 1;
        }
        std::string field(kField, ' ');
        field[103] = '*';  // right border, column 113
        for (int s = 0; s < nser; ++s) {
            float wx[4], wy[4], cf[4];
            for (int i = 0; i < 4; ++i) {
                wx[i] = X(0, first - 1 + i);
                wy[i] = Y(s, first - 1 + i);
            }
            cf[0] = g_cubic;
            XFIT(wx, wy, cf);
            g_cubic = cf[0];
            double yr = ((cf[0] * xr + cf[1]) * xr + cf[2]) * xr + cf[3];
            double pos = std::min((yr - ymin) * cy, 102.0) + 1.0;
            int p = std::isfinite(pos) ? static_cast<int>(pos) : 1;
            p = std::clamp(p, 1, kCurveMax);
            field[p - 1] = field[p - 1] == ' ' ? symb[s] : 'x';
        }
        std::string head;
        if ((row - 1) % 5 == 0) {
            field[104] = '*';
            head = fmt_f(xr, 6, 3) + "*";
        } else {
            head = std::string(6, ' ') + "*";
        }
        std::string legend(14, ' ');
        int lrow = row - (kRows + 1 - nleg);
        if (nleg > 0 && lrow >= 0) {
            std::string left = lleg[lrow];
            left.resize(20, ' ');
            field.replace(86, 20, left);
            legend = rleg[lrow];
            legend.resize(14, ' ');
        }
        lst_line(head + "  " + field + legend);
    }
    lst_line(side_borders());
    lst_line(side_borders());
    lst_line(std::string(6, ' ') + std::string(107, '*'));
    lst_line(marks_every_ten());
}

void PLOTW() {
    const int n = wilson_points();
    const float b = C.R(cw::kB), slope = C.R(cw::kSlope), intercept = C.R(cw::kIntercept), scale = C.R(cw::kScale);
    const float uiso = b / (8.0f * TRIG.R(trig::kPi) * TRIG.R(trig::kPi));
    const std::string stars20(20, '*'), stars14(14, '*');
    std::vector<std::string> lleg = {
        stars20,
        "*      y   = s**2   ",
        "*      x   = ln <i> ",
        "*    ( w ) = wilson ",
        "*    ( * ) = calc   ",
        stars20,
        "*        intercept =",
        "*            slope =",
        "*           b(iso) =",
        "*           u(iso) =",
        "*            scale =",
        "* scale*f(obs.)**2 =",
        stars20,
    };
    std::vector<std::string> rleg = {
        stars14,
        "             *",
        "/ sigfsq     *",
        "             *",
        "             *",
        stars14,
        fmt_f(intercept, 12, 5) + " *",
        fmt_f(slope, 12, 5) + " *",
        fmt_f(b, 12, 5) + " *",
        fmt_f(uiso, 12, 5) + " *",
        fmt_f(scale, 12, 5) + " *",
        "  f(abs.)**2 *",
        stars14,
    };
    std::vector<float> pts;
    pts.reserve(static_cast<std::size_t>(6 * n));
    for (int k = 1; k <= n; ++k) pts.insert(pts.end(), {cw::mean_s2(k), cw::log_wilson(k), 0.0f});
    for (int k = 1; k <= n; ++k) pts.insert(pts.end(), {cw::mean_s2(k), slope * cw::mean_s2(k) + intercept, 0.0f});
    const char symbols[2] = {'w', '*'};
    XPLOT(pts, n, 2, 3, symbols, rleg, lleg);
}

}  // namespace zanek
