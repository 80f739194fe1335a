// Symmetry growth: the unit cell of the viewer filled with the symmetry
// equivalents of the model's atoms, together with the atoms within 3 A
// outside the cell faces. The growth works in fractional coordinates; the
// copies become independent entries that remember the atom they show.
#include <algorithm>
#include <cmath>

#include "graphics/viewer/viewer.h"
#include "graphics/viewer/viewer_internal.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/special.h"

namespace zanek {

namespace {

// Moves one coordinate into [lower, upper] by whole cells. A value too far
// away for single steps is moved in one jump; a value that is not finite
// is left as it is (it cannot be brought in).
float into_range(float p, float upper, float lower) {
    if (!std::isfinite(p)) return p;
    if (p > upper) {
        const double k = std::ceil(double(p) - upper);
        if (k > 64.0)
            p = static_cast<float>(p - k);
        else
            while (p > upper) p -= 1.0f;
    }
    if (p < lower) {
        const double k = std::ceil(double(lower) - p);
        if (k > 64.0)
            p = static_cast<float>(p + k);
        else
            while (p < lower) p += 1.0f;
    }
    return p;
}

// Appends image p as entry g + 1 showing atom j when it is new; false once
// the table is full (g has reached the limit).
bool add_image(int& g, int limit, const float p[3], int j) {
    if (IDOPPIO(g, p) != 0) return true;
    ++g;
    ATOMI.r[g] = {p[0], p[1], p[2]};
    ATOMI.atom[g] = j;
    return g < limit;
}

void fractional_model(int n) {
    for (int i = 1; i <= n; ++i) {
        ATOMI.r[i] = {atom_coord(i, 1), atom_coord(i, 2), atom_coord(i, 3)};
        ATOMI.atom[i] = i;
    }
}

}  // namespace

void RIMETTIDENTRO(float p[3]) {
    for (int k = 0; k < 3; ++k) p[k] = into_range(p[k], GENERAC.upper[k], GENERAC.lower[k]);
}

int IDOPPIO(int n, const float p[3]) {
    for (int i = 1; i <= n; ++i) {
        const auto& r = ATOMI.r[i];
        if (std::fabs(r[0] - p[0]) < 0.001f && std::fabs(r[1] - p[1]) < 0.001f && std::fabs(r[2] - p[2]) < 0.001f)
            return -1;
    }
    return 0;
}

void CENTRA(int& n, float v[9], char l) {
    auto set = [v](int k, float a, float b, float c) { v[3 * k] = a, v[3 * k + 1] = b, v[3 * k + 2] = c; };
    switch (l) {
    case 'a': n = 1, set(0, 0.0f, 0.5f, 0.5f); break;
    case 'b': n = 1, set(0, 0.5f, 0.0f, 0.5f); break;
    case 'c': n = 1, set(0, 0.5f, 0.5f, 0.0f); break;
    case 'i': n = 1, set(0, 0.5f, 0.5f, 0.5f); break;
    case 'f':
        n = 3, set(0, 0.0f, 0.5f, 0.5f), set(1, 0.5f, 0.0f, 0.5f), set(2, 0.5f, 0.5f, 0.0f);
        break;
    case 'r': n = 2, set(0, 0.666f, 0.333f, 0.333f), set(1, 0.333f, 0.666f, 0.666f); break;
    default: break;
    }
}

void RUOTA(int k, int i, float p[3]) {
    const auto& r = GENERAC.rot[k - 1];
    const auto& t = GENERAC.trans[k - 1];
    MOLT1(r.data(), ATOMI.r[i].data(), p);
    for (int c = 0; c < 3; ++c) p[c] += t[c];
    RIMETTIDENTRO(p);
}

void TRASL(const float t[3], int i, float p[3], int f) {
    for (int c = 0; c < 3; ++c) p[c] = ATOMI.r[i][c] + t[c];
    if (f != 0) RIMETTIDENTRO(p);
}

void GENERA(float a[9]) {
    const int n = std::clamp(SPEC.I(specw::kNsym), 0, 24);
    for (int k = 1; k <= n; ++k) {
        for (int w = 0; w < 9; ++w) GENERAC.rot[k - 1][w] = specw::rotation(k, w % 3 + 1, w / 3 + 1);
        for (int w = 0; w < 3; ++w) GENERAC.trans[k - 1][w] = specw::translation(k, w + 1);
    }
    GENERAC.nop = n;
    if (SPEC.I(specw::kCentric) == 1) {
        for (int k = 1; k <= n; ++k) {
            for (int w = 0; w < 9; ++w) GENERAC.rot[n + k - 1][w] = -GENERAC.rot[k - 1][w];
            GENERAC.trans[n + k - 1] = GENERAC.trans[k - 1];
        }
        GENERAC.nop = 2 * n;
    }
    const int lc = SPEC.I(specw::kLattice);
    GENERAC.lattice = lc >= 1 && lc <= 7 ? "pabcifr"[lc - 1] : 'p';
    GENERAC.cell = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    for (int k = 0; k < 3; ++k) {
        const float e = cell_constant(k + 1);
        const float m = e > 0.0f ? std::min(3.0f / e, 0.5f * e) : 0.0f;
        GENERAC.upper[k] = 1.0f + m;
        GENERAC.lower[k] = -m;
    }

    const int n1 = ATOMI.n1;
    fractional_model(n1);
    int nc = 0;
    float cv[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
    if (GENERAC.lattice != 'p') CENTRA(nc, cv, GENERAC.lattice);
    for (int c = 0; c < 3; ++c) GENERAC.centring[c] = {cv[3 * c], cv[3 * c + 1], cv[3 * c + 2]};

    int g = n1;
    const int limit = viewer::kMaxEntries - ATOMI.n2;
    bool room = g < limit;
    float p[3];
    for (int i = 1; i <= n1 && room; ++i)
        for (int k = 1; k <= GENERAC.nop && room; ++k) {
            RUOTA(k, i, p);
            room = add_image(g, limit, p, i);
        }
    if (GENERAC.lattice != 'p') {
        const int g0 = g;
        for (int i = 1; i <= g0 && room; ++i)
            for (int v = 0; v < nc && room; ++v) {
                TRASL(GENERAC.centring[v].data(), i, p, -1);
                room = add_image(g, limit, p, ATOMI.atom[i]);
            }
    }
    for (int k = 0; k < 3 && room; ++k)
        for (float s : {-1.0f, 1.0f}) {
            if (!room) break;
            float t[3] = {0, 0, 0};
            t[k] = s * std::fabs(GENERAC.cell[k][k]);
            const int g0 = g;
            for (int i = 1; i <= g0 && room; ++i) {
                TRASL(t, i, p, -1);
                room = add_image(g, limit, p, ATOMI.atom[i]);
            }
        }

    ATOMI.n1 = g;
    for (int i = 1; i <= g; ++i) {
        const int j = ATOMI.atom[i];
        if (i != j && j >= 1 && j <= n1) {
            ATOMI.label[i] = ATOMI.label[j];
            ATOMI.bond_radius[i] = ATOMI.bond_radius[j];
            ATOMI.radius[i] = ATOMI.radius[j];
            ATOMI.colour[i] = ATOMI.colour[j];
            ATOMI.mark[i] = 0.0f;
        }
        const float frac[3] = {ATOMI.r[i][0], ATOMI.r[i][1], ATOMI.r[i][2]};
        MOLT1(WORK.m, frac, ATOMI.r[i].data());
    }
    AGGIUSPIG();
    int nls = 0;
    LSPLANE(nls);
    BUILDBONDS(2);
    FINDOR(a);
}

void SOLOIND(float a[9], int na) {
    na = std::clamp(na, 0, ATOMI.n1);
    for (int i = na + 1; i <= ATOMI.n1; ++i) {
        const float r = ATOMI.radius[i];
        const int j = ATOMI.atom[i];
        if (r > 0.0f && j >= 1 && j <= na) ATOMI.radius[j] = r;
    }
    ATOMI.n1 = na;
    for (int i = 1; i <= na; ++i) {
        const float frac[3] = {atom_coord(i, 1), atom_coord(i, 2), atom_coord(i, 3)};
        MOLT1(WORK.m, frac, ATOMI.r[i].data());
        ATOMI.atom[i] = i;
    }
    AGGIUSPIG();
    int n = 0;
    LSPLANE(n);
    CRT.nbonds = std::clamp(LEG1.count, 0, CRT.capacity);
    GETBONDS(2);
    for (int b = 1; b <= CRT.nbonds; ++b) CRT.bond_a[b] = LEG1.a[b], CRT.bond_b[b] = LEG1.b[b];
    if (n != 0) {
        viewer::reset_box();
        FINDOR(a);
    }
}

}  // namespace zanek
