// Line-printer projection plots of the structure found: the peaks (and the
// bond points between bonded peaks) are projected on their least-squares
// plane, with the direction of largest spread across or down the page,
// scaled to a 78-column line, and each peak's number is printed at its
// character position.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "fourier/interpretation/interp_internal.h"
#include "jobcontrol/numeric.h"
#include "platform/listing.h"

namespace zanek {

namespace {

constexpr int kEntryLen = 9;      // words per plot-table entry
constexpr int kWidth = 78;        // columns of a plot line
constexpr float kMaxColsPerA = 9.8425197f;
constexpr float kWideLimit = 7.8740153f;

// WORKC words.
constexpr int kG = 1, kEval = 55, kEvec = 58, kDual = 67, kNormal = 76, kCentroid = 100;
constexpr int kWeights = 134, kTable = 138, kCursor = 139, kLen = 140, kCount = 141;

float& evec(int k, int i) { return WORKC.R(kEvec - 1 + k + 3 * (i - 1)); }  // component i of vector k
float& dual(int k, int i) { return WORKC.R(kDual - 1 + k + 3 * (i - 1)); }
float& normal(int a, int b) { return WORKC.R(kNormal + (a - 1) + 3 * (b - 1)); }

// Centroid and normal matrix M = (sum w p p^T) G of the points, whose
// coordinates become relative to the centroid.
void XNEQP(const float* g, int start, int count, int len, int wstart, float m[9], float cen[3]) {
    double sw = 0.0, c[3] = {0, 0, 0};
    for (int e = 0; e < count; ++e) {
        const double w = XR(wstart + e);
        sw += w;
        for (int k = 0; k < 3; ++k) c[k] += w * XR(start + len * e + 2 + k);
    }
    for (int k = 0; k < 3; ++k) cen[k] = static_cast<float>(sw > 0 ? c[k] / sw : 0.0);
    double s[3][3] = {};
    for (int e = 0; e < count; ++e) {
        const double w = XR(wstart + e);
        double p[3];
        for (int k = 0; k < 3; ++k) {
            float& x = XR(start + len * e + 2 + k);
            x -= cen[k];
            p[k] = x;
        }
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b < 3; ++b) s[a][b] += w * p[a] * p[b];
    }
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b) {
            double v = 0.0;
            for (int k = 0; k < 3; ++k) v += s[a][k] * g[k + 3 * b];
            m[a + 3 * b] = static_cast<float>(v);
        }
}

double gnorm2(const float* g, const double v[3]) { return metric2(g, v); }

// A unit vector (in the metric) orthogonal to the eigenvectors already
// found: for a repeated eigenvalue any direction of its plane will do.
void complete_basis(const float* g, const double (*known)[3], int nknown, double out[3]) {
    double best = -1.0;
    for (int axis = 0; axis < 3; ++axis) {
        double v[3] = {0, 0, 0};
        v[axis] = 1.0;
        for (int q = 0; q < nknown; ++q) {
            double dot = 0.0;
            for (int a = 0; a < 3; ++a)
                for (int b = 0; b < 3; ++b) dot += known[q][a] * g[a + 3 * b] * v[b];
            for (int a = 0; a < 3; ++a) v[a] -= dot * known[q][a];
        }
        const double len2 = gnorm2(g, v);
        if (len2 > best) {
            best = len2;
            for (int a = 0; a < 3; ++a) out[a] = v[a];
        }
    }
    const double len = std::sqrt(std::max(best, 1e-300));
    for (int a = 0; a < 3; ++a) out[a] /= len;
}

// Cofactors of row r of the 3x3 matrix a (row-major).
void cofactor_row(const double a[3][3], int r, double v[3]) {
    const int r1 = (r + 1) % 3, r2 = (r + 2) % 3;
    for (int c = 0; c < 3; ++c) {
        const int c1 = (c + 1) % 3, c2 = (c + 2) % 3;
        v[c] = a[r1][c1] * a[r2][c2] - a[r1][c2] * a[r2][c1];
    }
}

}  // namespace

void STLINE(int S, int np, int n, float cms) {
    const char marker = cms > 2.0f ? '*' : ' ';
    SORTZ(S, np, 2, -1);
    std::vector<int> end(static_cast<std::size_t>(np)), limit(static_cast<std::size_t>(np)),
        width(static_cast<std::size_t>(np)), label(static_cast<std::size_t>(np));
    std::vector<char> dropped(static_cast<std::size_t>(np), 0);
    int prev = kWidth;
    for (int i = 0; i < np; ++i) {
        const int column = static_cast<int>(XR(S + 2 * i));
        const int lab = static_cast<int>(XR(S + 2 * i + 1));
        const int w = lab > n ? 1 : (lab < 10 ? 1 : (lab < 100 ? 2 : 3));
        label[i] = lab;
        width[i] = w;
        limit[i] = prev;
        const int c = std::min(column, prev);
        if (c - w >= 0) {
            end[i] = c;
            prev = c - w;
        } else if (c + w - 1 <= limit[i]) {
            end[i] = c + w - 1;
            prev = c - 1;
        } else {
            // Not room enough on the left: push earlier labels to the right.
            const int s = w - c;
            int j = -1;
            for (int q = i - 1; q >= 0 && j < 0; --q)
                if (!dropped[q] && limit[q] - end[q] > s) j = q;
            end[i] = c;
            if (j >= 0 && i > 0) {
                for (int t = j; t <= i; ++t) {
                    if (dropped[t]) continue;
                    end[t] += s;
                    if (t > j) limit[t] += s;
                }
                prev = end[i] - w;
            } else {
                dropped[i] = 1;
                prev = c - w;
            }
        }
    }
    std::string cells(kWidth, ' ');
    for (int i = 0; i < np; ++i) {
        if (dropped[i] || end[i] <= 0) continue;
        if (label[i] > n) {
            if (end[i] <= kWidth) cells[end[i] - 1] = marker;
            continue;
        }
        const std::string digits = std::to_string(label[i]);
        for (int q = 0; q < static_cast<int>(digits.size()); ++q) {
            const int col = end[i] - static_cast<int>(digits.size()) + 1 + q;
            if (col >= 1 && col <= kWidth) cells[col - 1] = digits[q];
        }
    }
    lst_line(" " + cells);
    for (int k = 0; k < 2 * kWidth; ++k) XR(S + k) = 0.0f;
}

namespace {

void SPRZSM(int& flag, int n, int S, int start, int count) {
    float mx[3] = {-100000.0f, -100000.0f, -100000.0f}, mn[3] = {100000.0f, 100000.0f, 100000.0f};
    for (int e = 0; e < count; ++e) {
        const int r = start + kEntryLen * e;
        const float p[3] = {XR(r + 2), XR(r + 3), XR(r + 4)};
        for (int a = 0; a < 3; ++a) {
            const int k = 3 - a;  // axis 1 is the direction of largest spread
            const float v = dual(k, 1) * p[0] + dual(k, 2) * p[1] + dual(k, 3) * p[2];
            XR(r + 2 + a) = v;
            mx[a] = std::max(mx[a], v);
            mn[a] = std::min(mn[a], v);
        }
    }
    auto range = [&](int a) { return mx[a - 1] - mn[a - 1]; };
    int H = 1, V = 2;
    if (static_cast<float>(kWidth) / range(1) < kWideLimit) {
        H = 2;
        V = 1;
    }
    const float cpa = std::min(static_cast<float>(kWidth) / std::max(range(H), range(H + 1)), kMaxColsPerA);
    const float cms = 0.254f * cpa;
    if (flag <= 0 && cms > 2.0f) flag = -1;
    SORTZ(start, count, kEntryLen, -(V + 2));
    if (flag <= 0)
        lst("(/,/,' ',21('-'),' overall plot of the structure  ',25('-'))");
    else
        lst("(/,/,' ',21('-'),'  partial plot for fragment ',i3,1x,25('-'))", {flag});
    lst("(' ',12('-'),' projection on l.s.q. plane ---- scale :',f6.2,' cms/a  ',12('-'))", {cms});
    for (int k = 0; k < 3; ++k) lst_line("  ");
    const float margin = (static_cast<float>(kWidth) - range(H) * cpa) * 0.5f + 1.5f;
    for (int k = 0; k < 2 * kWidth; ++k) XR(S + k) = 0.0f;
    int lines = 0, np = 0;
    for (int e = 0; e < count; ++e) {
        const int r = start + kEntryLen * e;
        const int nl = static_cast<int>(0.6f * cpa * (mx[V - 1] - XR(r + 1 + V)) - static_cast<float>(lines) + 0.5f);
        if (nl > 0) {
            if (np > 0) STLINE(S, np, n, cms);
            np = 0;
            lines += nl;
        }
        int column = static_cast<int>((XR(r + 1 + H) - mn[H - 1]) * cpa + margin);
        column = std::clamp(column, 1, kWidth);
        if (np < kWidth) {
            XR(S + 2 * np) = static_cast<float>(column);
            XR(S + 2 * np + 1) = XR(r + 1);
            ++np;
        }
    }
    if (np > 0) STLINE(S, np, n, cms);
    lst_line("  ");
    lst_line("  ");
}

// Plane fit of the plot table: centroid, normal matrix, principal axes.
void XPQMM(int start, int count) {
    const int wstart = WORKC.I(kWeights);
    for (int e = 0; e <= count; ++e) XR(wstart + e) = 1.0f;
    float m[9], cen[3];
    XNEQP(&WORKC.R(kG), start, count, kEntryLen, wstart, m, cen);
    for (int k = 0; k < 9; ++k) WORKC.R(kNormal + k) = m[k];
    for (int k = 0; k < 3; ++k) WORKC.R(kCentroid + k) = cen[k];
    float eval[3], ev[9], dv[9];
    EIGNV3(&WORKC.R(kG), m, eval, ev, dv);
    const float* g = &WORKC.R(kG);
    for (int k = 1; k <= 3; ++k) {
        WORKC.R(kEval + k - 1) = eval[k - 1];
        for (int i = 1; i <= 3; ++i) evec(k, i) = ev[(k - 1) * 3 + i - 1];
        // The dual vectors for the projection: G e_k (e_k of length 1 A).
        for (int i = 1; i <= 3; ++i) {
            double u = 0.0;
            for (int j = 1; j <= 3; ++j) u += static_cast<double>(g[(i - 1) + 3 * (j - 1)]) * evec(k, j);
            dual(k, i) = static_cast<float>(u);
        }
    }
    if (print_level() > 4) {
        std::vector<FItem> rows;
        for (int a = 1; a <= 3; ++a)
            for (int b = 1; b <= 3; ++b) rows.emplace_back(normal(a, b));
        lst("(15x,'normal equat. matrix          ',/,3(10x,3f10.5,/))", rows);
        std::vector<FItem> items;
        for (int k = 1; k <= 3; ++k) {
            items.emplace_back(k);
            items.emplace_back(WORKC.R(kEval + k - 1));
            for (int i = 1; i <= 3; ++i) items.emplace_back(evec(k, i));
            for (int i = 1; i <= 3; ++i) items.emplace_back(dual(k, i));
        }
        lst("(/,'eigenvalue',5x,'real eigenvectors',5x,'dual eigenvectors',/,5x,i5,2x,7f9.4)", items);
        const float l1 = WORKC.R(kEval), l2 = WORKC.R(kEval + 1), l3 = WORKC.R(kEval + 2);
        auto ratio = [](float a, float b) { return b != 0.0f ? a / b : 0.0f; };
        lst("(/,5x,'indici di confidenza ',/,5x,3(f8.2,2x),/)", {ratio(l3, l2), ratio(l3, l1), ratio(l2, l1)});
    }
}

}  // namespace

void EIGNV3(const float g[9], const float m[9], float eval[3], float evec_out[9], float dvec[9]) {
    double a3[3][3];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) a3[r][c] = m[r + 3 * c];
    // Characteristic polynomial l^3 + a l^2 + b l + c.
    const double a = -(a3[0][0] + a3[1][1] + a3[2][2]);
    const double b = a3[0][0] * a3[1][1] - a3[0][1] * a3[1][0] + a3[0][0] * a3[2][2] - a3[0][2] * a3[2][0] +
                     a3[1][1] * a3[2][2] - a3[1][2] * a3[2][1];
    const double det = a3[0][0] * (a3[1][1] * a3[2][2] - a3[1][2] * a3[2][1]) -
                       a3[0][1] * (a3[1][0] * a3[2][2] - a3[1][2] * a3[2][0]) +
                       a3[0][2] * (a3[1][0] * a3[2][1] - a3[1][1] * a3[2][0]);
    const double c = -det;
    const double p = (3.0 * b - a * a) / 3.0;
    const double q = (2.0 * a * a * a - 9.0 * a * b + 27.0 * c) / 27.0;
    double roots[3];
    // The roots are real (M is similar to a symmetric matrix); a slightly
    // positive discriminant only means nearly equal roots.
    if (p < 0.0) {
        const double arg = std::clamp(-(q / 2.0) / std::sqrt(-p * p * p / 27.0), -1.0, 1.0);
        const double phi = std::acos(arg) / 3.0;
        const double t[3] = {0.0, 2.0943935, 4.188787};
        for (int k = 0; k < 3; ++k) roots[k] = 2.0 * std::sqrt(-p / 3.0) * std::cos(phi + t[k]) - a / 3.0;
    } else {
        roots[0] = roots[1] = roots[2] = -a / 3.0;
    }
    const double l1 = std::min({roots[0], roots[1], roots[2]});
    const double l3 = std::max({roots[0], roots[1], roots[2]});
    const double lam[3] = {l1, roots[0] + roots[1] + roots[2] - l1 - l3, l3};
    double scale = 0.0;
    for (int k = 0; k < 9; ++k) scale = std::max(scale, std::fabs(static_cast<double>(m[k])));
    const double tiny = 1e-10 * std::max(scale * scale, 1e-30);
    double vec[3][3];
    bool ok[3] = {false, false, false};
    for (int k = 0; k < 3; ++k) {
        double s[3][3];
        for (int r = 0; r < 3; ++r)
            for (int col = 0; col < 3; ++col) s[r][col] = a3[r][col] - (r == col ? lam[k] : 0.0);
        // Row k's cofactors; another row when these vanish.
        double v[3];
        cofactor_row(s, k, v);
        double len2 = gnorm2(g, v);
        if (len2 <= tiny) {
            for (int r = 0; r < 3; ++r) {
                double w[3];
                cofactor_row(s, r, w);
                const double l = gnorm2(g, w);
                if (l > len2) {
                    len2 = l;
                    for (int i = 0; i < 3; ++i) v[i] = w[i];
                }
            }
        }
        if (len2 > tiny) {
            for (int i = 0; i < 3; ++i) vec[k][i] = v[i] / std::sqrt(len2);
            ok[k] = true;
        }
    }
    for (int k = 0; k < 3; ++k) {
        if (ok[k]) continue;
        double known[3][3];
        int nk = 0;
        for (int q2 = 0; q2 < 3; ++q2)
            if (ok[q2]) {
                for (int i = 0; i < 3; ++i) known[nk][i] = vec[q2][i];
                ++nk;
            }
        complete_basis(g, known, nk, vec[k]);
        ok[k] = true;
    }
    // Reciprocal metric for the dual vectors' normalisation.
    double gi[3][3];
    {
        double gm[3][3];
        for (int r = 0; r < 3; ++r)
            for (int col = 0; col < 3; ++col) gm[r][col] = g[r + 3 * col];
        const double dg = gm[0][0] * (gm[1][1] * gm[2][2] - gm[1][2] * gm[2][1]) -
                          gm[0][1] * (gm[1][0] * gm[2][2] - gm[1][2] * gm[2][0]) +
                          gm[0][2] * (gm[1][0] * gm[2][1] - gm[1][1] * gm[2][0]);
        for (int r = 0; r < 3; ++r)
            for (int col = 0; col < 3; ++col) {
                double cf[3];
                cofactor_row(gm, col, cf);
                gi[r][col] = dg != 0.0 ? cf[r] / dg : 0.0;
            }
    }
    for (int k = 0; k < 3; ++k) {
        eval[k] = static_cast<float>(lam[k]);
        double u[3];
        for (int i = 0; i < 3; ++i) {
            evec_out[3 * k + i] = static_cast<float>(vec[k][i]);
            u[i] = 0.0;
            for (int j = 0; j < 3; ++j) u[i] += g[i + 3 * j] * vec[k][j];
        }
        double n2 = 0.0;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) n2 += u[i] * gi[i][j] * u[j];
        const double len = n2 > 0.0 ? std::sqrt(n2) : 1.0;
        for (int i = 0; i < 3; ++i) dvec[3 * k + i] = static_cast<float>(u[i] / len);
    }
}

void CLUPRZ(const Desc& d, const float* gg, int& flag, int newn, int newstart) {
    if (flag == -1) return;
    for (int k = 0; k < 18; ++k) WORKC.R(kG + k) = gg[k];
    if (newn <= 3) return;
    const int n = d.n;
    const int start = XBUIL.I(xb::kFree);
    need_store(start + kEntryLen * newn + (newn + 1) + kEntryLen * newn + 2 * kWidth);
    WORKC.I(kTable) = start;
    WORKC.I(kLen) = kEntryLen;
    int count = 0;
    const int status = XBUIL.I(xb::kStatus), heads = XBUIL.I(xb::kNbrHead);
    for (int k = 1; k <= newn; ++k) {
        const int rec = newstart + 8 * (k - 1);
        bool taken;
        if (k <= n) {
            const int h = XI(heads + k - 1);
            taken = h != 0 && XI(h + 1) != 0 && (flag == 0 || JORDFR(XI(status + k - 1)) == flag);
        } else {
            taken = flag == 0 || static_cast<int>(std::lround(XR(rec + 1))) == flag;
        }
        if (!taken) continue;
        const int e = start + kEntryLen * count;
        for (int w = 0; w < 5; ++w) XDATA.W(e + w) = XDATA.W(rec + w);
        XR(e + 1) = static_cast<float>(k);
        ++count;
    }
    WORKC.I(kCount) = count;
    WORKC.I(kCursor) = start + kEntryLen * count;
    XBUIL.I(xb::kFree) = WORKC.I(kWeights) = start + kEntryLen * count;
    if (count == 0) return;  // nothing to fit a plane to
    XPQMM(start, count);
    if (flag != 0) cond::plot_switch() = 1;
    SPRZSM(flag, n, WORKC.I(kWeights) + kEntryLen * newn, start, count);
}

}  // namespace zanek
