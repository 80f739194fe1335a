// View planes: the principal directions of the shown atoms (the normal of
// their least-squares plane and the two directions of their spread), and
// the turn that brings a chosen direction onto the line of sight.
#include <algorithm>
#include <cmath>

#include "graphics/viewer/viewer.h"
#include "graphics/viewer/viewer_internal.h"

namespace zanek {

using viewer::el;

void FILLMATR(float s[9], float c[3], int& n) {
    std::fill(s, s + 9, 0.0f);
    std::fill(c, c + 3, 0.0f);
    n = 0;
    for (int i = 1; i <= ATOMI.n1; ++i) {
        if (!(ATOMI.radius[i] > 0.0f)) continue;
        for (int k = 0; k < 3; ++k) c[k] += ATOMI.r[i][k];
        ++n;
    }
    if (n == 0) return;
    for (int k = 0; k < 3; ++k) c[k] /= static_cast<float>(n);
    for (int i = 1; i <= ATOMI.count(); ++i)
        for (int k = 0; k < 3; ++k) ATOMI.r[i][k] -= c[k];
    for (int i = 1; i <= ATOMI.n1; ++i) {
        if (!(ATOMI.radius[i] > 0.0f)) continue;
        const auto& r = ATOMI.r[i];
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b < 3; ++b) s[a + 3 * b] += r[a] * r[b];
    }
}

void AUTOV(float a[9], float d[3], float v[9], int& flag) {
    viewer::identity(v);
    float p = el(a, 1, 1) * el(a, 1, 1) + el(a, 2, 2) * el(a, 2, 2) + el(a, 3, 3) * el(a, 3, 3);
    static const int pairs[3][2] = {{1, 2}, {1, 3}, {2, 3}};
    for (int sweep = 0; sweep < 50; ++sweep) {
        for (const auto& pq : pairs) {
            const int ip = pq[0], iq = pq[1];
            const float dd = el(a, ip, ip) - el(a, iq, iq);
            const float apq = el(a, ip, iq);
            float c, s;
            if (std::fabs(dd) <= 1e-11f) {
                c = s = 0.7071068f;
            } else if (std::fabs(apq) <= 1e-11f) {
                el(a, ip, iq) = 0.0f, el(a, iq, ip) = 0.0f;
                continue;
            } else {
                const float t = 2.0f * apq * (dd < 0.0f ? -1.0f : 1.0f);
                const float r = std::sqrt(dd * dd + t * t);
                c = std::sqrt((std::fabs(dd) / r + 1.0f) / 2.0f);
                s = t / (2.0f * c * r);
            }
            // T: the identity with Tpp = c, Tpq = Tqp = s, Tqq = -c.
            float t[9];
            viewer::identity(t);
            el(t, ip, ip) = c, el(t, ip, iq) = s, el(t, iq, ip) = s, el(t, iq, iq) = -c;
            float tt[9];
            for (int i = 1; i <= 3; ++i)
                for (int j = 1; j <= 3; ++j) el(tt, i, j) = el(t, j, i);
            MOLT2(tt, a, a);
            MOLT2(a, t, a);
            MOLT2(v, t, v);
            el(a, ip, iq) = 0.0f, el(a, iq, ip) = 0.0f;
        }
        for (int j = 1; j <= 3; ++j) d[j - 1] = el(a, j, j);
        const float q = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
        if (std::fabs(q) <= 1e-5f || 1.0f - p / q < 1e-8f) {
            flag = 1;
            return;
        }
        p = q;
    }
    flag = 0;
}

void LSPLANE(int& n) {
    float c[3];
    FILLMATR(WORK.s, c, n);
    if (n == 0) return;
    float s[9];
    std::copy(WORK.s, WORK.s + 9, s);
    int flag = 0;
    AUTOV(s, WORK.eig, WORK.vec, flag);
    std::copy(s, s + 9, WORK.s);  // left nearly diagonal
    float* d = WORK.eig;
    float* v = WORK.vec;
    for (int i = 0; i < 2; ++i)
        for (int j = i + 1; j < 3; ++j)
            if (d[i] > d[j]) {
                std::swap(d[i], d[j]);
                for (int k = 0; k < 3; ++k) std::swap(v[3 * i + k], v[3 * j + k]);
            }
}

void PLANEFOUND(float x, float y, float z) {
    const double s = std::sqrt(double(x) * x + double(y) * y + double(z) * z);
    // A zero direction gives no view: nothing is turned.
    if (!(s > 0.0)) {
        CRT.angle = 0.0f;
        CRT.axis_code = 0;
        return;
    }
    const double t = std::sqrt(double(x) * x + double(y) * y) / s;
    double theta = 90.0;
    if (t < 0.999) theta = std::atan(t / std::sqrt(1.0 - t * t)) * 180.0 / CRT.pi;
    CRT.angle = static_cast<float>(z < 0.0f ? -theta : theta);
    CRT.axis_code = 4;
    CRT.axis_index = 1;
    const bool along = std::fabs(x) < 1e-5f && std::fabs(y) < 1e-5f;
    CRT.axis[1] = {y, -x, along ? 1.0f : 0.0f};
}

void CHEPIANO(int k) {
    float u[3];
    if (k >= 1 && k <= 3) {
        int n = 0;
        LSPLANE(n);
        if (n == 0) return;
        std::copy(WORK.vec + 3 * (k - 1), WORK.vec + 3 * k, u);
    } else if (k >= 4 && k <= 6) {
        if (ATOMI.n2 < 4) return;  // no cell corners
        const auto& e = ATOMI.r[ATOMI.n1 + k - 3];
        const auto& o = ATOMI.r[ATOMI.n1 + 4];
        for (int i = 0; i < 3; ++i) u[i] = e[i] - o[i];
    } else {
        return;
    }
    PLANEFOUND(u[0], u[1], u[2]);
    float a[9];
    FINDOR(a);
}

}  // namespace zanek
