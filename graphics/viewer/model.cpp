// The viewer's model: list 15 turned into the viewer atom table (Cartesian
// coordinates, labels, colours, display and bonding radii), the cell edges
// as generated entries, the bond table, and the starting orientation that
// shows the model at the largest scale.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "crystaldata/special.h"
#include "graphics/viewer/viewer.h"
#include "graphics/viewer/viewer_internal.h"
#include "graphics/window/menus.h"
#include "graphics/window/window.h"
#include "jobcontrol/lists/list01.h"
#include "jobcontrol/lists/list03.h"
#include "jobcontrol/lists/list15.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/scatter.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/store.h"

namespace zanek {

namespace {

constexpr float kDegree = 0.017453292f;

bool present(int type) {
    int serial = 0, first = -1, last = 0, part = 0, length = 0;
    SRLIN(type, serial, first, last, part, length);
    return first > 0;
}

// The cell and symmetry of the structure file, when no command of this run
// has loaded them yet (an %export in a job of its own); the centric flag a
// phasing command may have changed is kept.
void load_crystal_data() {
    if (!(cell_constant(1) > 0.0f) && present(1)) YFL01();
    if (SYM.I(symw::kOps) == 0 && present(2)) {
        const int centric = SYM.I(symw::kCentric);
        YFL02();
        if (centric == -1) SYM.I(symw::kCentric) = centric;
    }
}

// Species symbol t with its first letter upper-cased, two characters.
std::string species_symbol(int t) {
    std::string s(2, ' ');
    if (t >= 1 && t <= sf::species()) {
        const Word w = sf::symbol(t);
        char b[4];
        std::memcpy(b, &w, 4);
        s[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(b[0])));
        s[1] = b[1];
    }
    return s;
}

void set_entry(int e, const float frac[3], int colour, float radius) {
    MOLT1(WORK.m, frac, ATOMI.r[e].data());
    ATOMI.label[e] = "     ";
    ATOMI.colour[e] = colour;
    ATOMI.radius[e] = radius;
    ATOMI.bond_radius[e] = 0.0f;
    ATOMI.atom[e] = 0;
    ATOMI.mark[e] = 0.0f;
}

// The rotation that GETBONDS and BUILDBONDS leave pending: the plane
// normal of WORK turned onto the line of sight about the axis (ny, -nx, 0).
void pending_plane_rotation() {
    const double nx = WORK.vec[0], ny = WORK.vec[1], nz = WORK.vec[2];
    const double t = std::sqrt(nx * nx + ny * ny), l = std::sqrt(nx * nx + ny * ny + nz * nz);
    // No plane (a zero normal) asks for no turn.
    double angle = l > 0.0 ? std::asin(std::clamp(t / l, -1.0, 1.0)) / kDegree : 0.0;
    angle = std::fabs(angle);
    if (nz < 0.0) angle = -angle;
    CRT.angle = static_cast<float>(angle);
    CRT.axis_code = 4;
    CRT.axis_index = 1;
    CRT.axis[1] = {static_cast<float>(ny), static_cast<float>(-nx), 0.0f};
}

// First part shared by GETBONDS and BUILDBONDS.
void bonds_prologue() {
    pending_plane_rotation();
    for (int i = 1; i <= ATOMI.count(); ++i) {
        ATOMI.order[i] = i;
        if (ATOMI.colour[i] == 0) ATOMI.colour[i] = 4;
        if (std::fabs(ATOMI.radius[i]) < 1e-5f) ATOMI.radius[i] = 0.22f;
    }
}

// The reserve bonds (cell edges, at the top slots C-R+1..C) appended after
// the nb model bonds; the bond count becomes nb + R.
void append_reserve(int nb) {
    const int c = CRT.capacity, r = CRT.reserve;
    for (int k = 1; k <= r; ++k) {
        CRT.bond_a[nb + k] = CRT.bond_a[c - r + k];
        CRT.bond_b[nb + k] = CRT.bond_b[c - r + k];
    }
    CRT.nbonds = nb + r;
}

void save_bonds() {
    for (int k = 1; k <= CRT.nbonds; ++k) LEG1.a[k] = CRT.bond_a[k], LEG1.b[k] = CRT.bond_b[k];
    LEG1.count = CRT.nbonds;
}

}  // namespace

namespace viewer {

float species_radius(int s) {
    if (s < 1 || s > sf::species() || s > 8) return 0.0f;
    return contr_radius(s);
}

int hydrogen_offset() { return sf::species() >= 1 && sf::z(1) == 1 ? 1 : 0; }

}  // namespace viewer

void VYROLA(int mode) {
    load_crystal_data();
    XSPINB();
    CONTR.I(contr::kStarted) = 0;
    CRT.bond_outline = 2;
    CRT.pi = 3.1415927f;
    CONTR.I(contr::kDrawOnce) = 1;
    int style = mode;
    if (mode == 3) CONTR.I(contr::kDrawOnce) = 0, style = 2;
    const int w = viewer::screen_w(), h = viewer::screen_h();
    CRT.frame[0] = 0, CRT.frame[1] = 0, CRT.frame[2] = w, CRT.frame[3] = h;
    CRT.frame_w = static_cast<float>(w), CRT.frame_h = static_cast<float>(h);
    CONTR.I(contr::kStyle) = style;
    CONTR.R(contr::kAspect) = h != 20 ? static_cast<float>(w - 80) / static_cast<float>(h - 20) : contr::kScreenAspect;

    float a[9];
    for (;;) {
        ORTO();
        CONTR.I(contr::kScaleMode) = 1;
        CONTR.I(contr::kCellEdges) = 0;
        CONTR.I(contr::kSymmetry) = 0;
        // The buttons say so too (after a Regroup, or in a later viewer).
        set_switch_labels();
        int n = 0;
        GRAPHS(viewer::px_buffer(), viewer::py_buffer(), n, gop::kNothing8, std::string(80, ' '), 0);
        if (static_cast<int>(bond_count()) == -1)
            BUILDBONDS(1);
        else
            GETBONDS(1);
        viewer::reset_box();
        CRT.style = style;
        FINDOR(a);
        n = 0;
        GRAPHS(viewer::px_buffer(), viewer::py_buffer(), n, gop::kClearDrawing, std::string(80, ' '), 0);
        int f = 0;
        MMENU(a, f);
        if (f != 2) return;
    }
}

void TOVYROLA1(float& a, float& b, float& c, float& alpha, float& beta, float& gamma) {
    a = cell_constant(1), b = cell_constant(2), c = cell_constant(3);
    alpha = cell_constant(4), beta = cell_constant(5), gamma = cell_constant(6);
    set_contr_title(job_title());
}

void ORTO() {
    float a, b, c, al, be, ga;
    TOVYROLA1(a, b, c, al, be, ga);
    const double ca = std::cos(al * kDegree), sa = std::sin(al * kDegree);
    const double cb = std::cos(be * kDegree), sb = std::sin(be * kDegree);
    const double cg = std::cos(ga * kDegree);
    // A degenerate cell (an angle of 0 or 180 degrees) has no reciprocal
    // angle: gamma* is taken as 90 degrees instead of dividing by zero.
    const double den = sa * sb;
    const double cgs = den != 0.0 ? std::clamp((ca * cb - cg) / den, -1.0, 1.0) : 0.0;
    const double sgs = std::sin(std::acos(cgs));
    float* m = WORK.m;
    m[0] = static_cast<float>(a * sb), m[1] = 0.0f, m[2] = static_cast<float>(a * cb);
    m[3] = static_cast<float>(-b * sa * cgs), m[4] = static_cast<float>(b * sa * sgs), m[5] = static_cast<float>(b * ca);
    m[6] = 0.0f, m[7] = 0.0f, m[8] = c;
    TOVYROLA2();
    int n = 0;
    LSPLANE(n);
}

void TOVYROLA2() {
    CRT.capacity = viewer::kMaxBonds;
    int nsp = 0;
    if (present(3)) {
        YFL03();
        nsp = std::min(sf::species(), 8);
        for (int s = 1; s <= nsp; ++s) {
            const int record = LST03.I(lst03::kFirst) + (s - 1) * LST03.I(lst03::kRecordLength);
            contr_radius(s) = DATA.R(record + list3::kRadius - 1);
        }
    } else {
        sf::species() = 0;
    }
    const int h = viewer::hydrogen_offset();

    if (SCREEN.I(screenw::kOpened) == 1) {
        std::string text(80, ' ');
        for (int s = h + 1; s <= nsp; ++s) {
            const int i = s - h;
            const std::string sym = species_symbol(s);
            text[3 * i - 3] = sym[0], text[3 * i - 2] = sym[1];
            if (i > 1) text[3 * i - 4] = '+';
        }
        int n = nsp - h;
        GRAPHS(viewer::px_buffer(), viewer::py_buffer(), n, gop::kLegend, text, 0);
        SCREEN.I(screenw::kOpened) = 2;
    }

    ATOMI.n1 = 0;
    ATOMI.n2 = 0;
    int n = 0, start = 1, set = 0, bondflag = 0;
    // A stored bond count of -1 (bonds still to be found from distances)
    // is not copied by the loader: TEMP says so beforehand, and a stored
    // table replaces it.
    bond_count() = -1.0f;
    if (present(15)) SFL15(n, start, set, bondflag);
    CONST.I(konst::kAtomCount) = n;
    CONST.I(konst::kSetNumber) = set;
    // Without a bond table in the list, TEMP holds another command's work:
    // the bonds are then found from distances.
    if (bondflag != 1) bond_count() = -1.0f;
    for (int i = 1; i <= n; ++i) {
        ATOMI.n1 = i;
        const int t = atom_label(i) / 100;
        const int at = std::abs(t);
        const float frac[3] = {atom_coord(i, 1), atom_coord(i, 2), atom_coord(i, 3)};
        MOLT1(WORK.m, frac, ATOMI.r[i].data());
        CREALAB(i, at, ATOMI.label[i]);
        ATOMI.colour[i] = t != 0 ? at - h : 7;
        const int s = t != 0 ? at : h + 1;
        const float rs = viewer::species_radius(s);
        ATOMI.radius[i] = rs / 3.0f;
        ATOMI.bond_radius[i] = 2.0f * rs + 0.3f;
        ATOMI.atom[i] = i;
        ATOMI.mark[i] = 0.0f;
    }
    AGGIUSPIG();
    GENERAC.n1_kept = ATOMI.n1;
}

void CREALAB(int n, int t, std::string& label) {
    std::string f(6, ' ');
    if (t == 0) {
        f[0] = 'Q';
    } else {
        const std::string s = species_symbol(t);
        f[0] = s[0], f[1] = s[1];
    }
    char num[16];
    if (f[1] != ' ' && n < 1000) {
        std::snprintf(num, sizeof num, "%4d", n);
        f.replace(2, 4, std::string(num).substr(0, 4));
    } else {
        if (f[1] != ' ') f[0] = 'X';
        std::snprintf(num, sizeof num, "%5d", n);
        f.replace(1, 5, std::string(num).substr(0, 5));
    }
    std::string out;
    for (char ch : f)
        if (ch != ' ') out += ch;
    label = viewer::label5(out);
}

void AGGIUSPIG() {
    static const float corner[8][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0},
                                       {1, 1, 0}, {1, 0, 1}, {0, 1, 1}, {1, 1, 1}};
    static const int edge[12][2] = {{1, 4}, {1, 5}, {1, 6}, {2, 4}, {2, 5}, {2, 7},
                                    {3, 4}, {3, 6}, {3, 7}, {8, 5}, {8, 6}, {8, 7}};
    const int n1 = ATOMI.n1, cap = CRT.capacity;
    CRT.reserve = 0;
    ATOMI.n2 = 0;
    if (n1 + 8 > viewer::kMaxEntries) return;  // no room for the cell
    for (int k = 0; k < 8; ++k) set_entry(n1 + 1 + k, corner[k], 7, 0.01f);
    int n2 = 9, r = 0;
    bool full = false;
    for (int e = 0; e < 12 && !full; ++e) {
        const int p = n1 + edge[e][0], q = n1 + edge[e][1];
        const auto& rp = ATOMI.r[p];
        const auto& rq = ATOMI.r[q];
        const double dx = rq[0] - rp[0], dy = rq[1] - rp[1], dz = rq[2] - rp[2];
        const double d = std::sqrt(dx * dx + dy * dy + dz * dz);
        const double step = d > 0.0 ? 2.5 / d : 2.0;
        int prev = p;
        // Points strictly inside the edge: a point that rounding would put
        // on the far corner (an edge of exactly 2.5 A times a whole number)
        // is not made.
        for (int k = 1; k * step < 1.0 - 1e-5; ++k) {
            const int e2 = n1 + n2;
            if (e2 > viewer::kMaxEntries || cap - r < 2) {
                full = true;
                break;
            }
            const double t = k * step;
            const float frac[3] = {0, 0, 0};
            set_entry(e2, frac, 7, 0.01f);
            ATOMI.r[e2] = {static_cast<float>(rp[0] + t * dx), static_cast<float>(rp[1] + t * dy),
                           static_cast<float>(rp[2] + t * dz)};
            ++n2;
            CRT.bond_a[cap - r] = prev, CRT.bond_b[cap - r] = e2;
            ++r;
            prev = e2;
        }
        if (full) break;
        CRT.bond_a[cap - r] = prev, CRT.bond_b[cap - r] = q;
        ++r;
    }
    // Entry n1 + n2 closes the generated entries; it carries no point of
    // the cell and is kept as a deleted entry, so nothing draws or counts it.
    if (n1 + n2 > viewer::kMaxEntries) {
        n2 = viewer::kMaxEntries - n1;
    } else {
        const float origin[3] = {0, 0, 0};
        set_entry(n1 + n2, origin, 7, -20.0f);
    }
    ATOMI.n2 = n2;
    CRT.reserve = r;
    if (cap - r >= 1) CRT.bond_a[cap - r] = 0, CRT.bond_b[cap - r] = 0;
}

void GETBONDS(int mode) {
    bonds_prologue();
    if (mode == 2) return;
    const int room = CRT.capacity - CRT.reserve;
    const int count = std::clamp(static_cast<int>(bond_count()), 0, (static_cast<int>(TEMP.size()) - 1) / 2);
    int nb = 0;
    for (int k = 1; k <= count && nb < room; ++k) {
        const int a = static_cast<int>(bond_atom(k, 1)), b = static_cast<int>(bond_atom(k, 2));
        // Pairs that name no atom of the model are passed over.
        if (!viewer::independent(a) || !viewer::independent(b) || a > kMaxAtoms || b > kMaxAtoms) continue;
        if (atom_label(a) == 0 || atom_label(b) == 0) continue;
        ++nb;
        CRT.bond_a[nb] = a, CRT.bond_b[nb] = b;
    }
    append_reserve(nb);
    save_bonds();
}

void BUILDBONDS(int mode) {
    bonds_prologue();
    const int room = CRT.capacity - CRT.reserve;
    int nb = 0;
    for (int i = 1; i < ATOMI.n1; ++i) {
        if (ATOMI.label[i][0] == 'Q') continue;
        for (int j = i + 1; j <= ATOMI.n1; ++j) {
            if (ATOMI.label[j][0] == 'Q') continue;
            float r = std::max(ATOMI.bond_radius[i], ATOMI.bond_radius[j]);
            if (r < 1e-5f) r = 2.05f;
            const auto& a = ATOMI.r[i];
            const auto& b = ATOMI.r[j];
            const float dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
            if (std::sqrt(dx * dx + dy * dy + dz * dz) > r) continue;
            ++nb;
            CRT.bond_a[nb] = i, CRT.bond_b[nb] = j;
            if (nb >= room) {
                CRT.nbonds = nb;
                return;
            }
        }
    }
    append_reserve(nb);
    if (mode == 1) save_bonds();
}

void FINDOR(float a[9]) {
    viewer::identity(a);
    COMBROT(a);
    ROTATOMS(a, 1);
    SETSCALE(4);
    const float r1 = ATOMI.radius[1];
    auto measure = [r1]() {
        const float w = CRT.box[2] - CRT.box[0];
        return r1 != 0.0f ? std::fabs(w / r1) : std::fabs(w);
    };
    float best = measure();
    float b[9];
    viewer::identity(b);
    for (int k = 1; k <= 18; ++k) {
        float t[9];
        viewer::identity(t);
        CRT.angle = static_cast<float>(10 * k);
        CRT.axis_code = 3;
        COMBROT(t);
        viewer::reset_box();
        ROTATOMS(t, 2);
        SETSCALE(4);
        const float m = measure();
        // Widths equal but for rounding (mirror turns of a symmetric
        // model) are a tie, which the earlier turn wins.
        if (m < best * (1.0f - 1e-5f)) best = m, std::copy(t, t + 9, b);
    }
    viewer::reset_box();
    ROTATOMS(b, 1);
    // The matrix handed back is the whole turn from the Cartesian frame.
    MOLT2(b, a, a);
}

}  // namespace zanek
