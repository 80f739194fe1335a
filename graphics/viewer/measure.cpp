// Measurements on the viewer's model: the distance between two picked
// atoms or the neighbours of one, bond and torsion angles, and the table
// of the model's atoms with their peak heights and thermal parameters,
// which can be switched to a bar chart of the heights.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "graphics/viewer/viewer.h"
#include "graphics/viewer/viewer_internal.h"
#include "graphics/window/window.h"
#include "jobcontrol/records/atoms.h"
#include "platform/fformat.h"

namespace zanek {

namespace {

constexpr const char* kWrong = " Sorry ....   Wrong selection !";

std::string formatted(const char* fmt, const std::vector<FItem>& items) {
    const auto rec = fformat(fmt, items);
    return rec.empty() ? std::string() : rec.front();
}

std::string lab(int e) { return viewer::label5(ATOMI.label[e]); }

double dist(int a, int b) {
    const auto& p = ATOMI.r[a];
    const auto& q = ATOMI.r[b];
    const double dx = p[0] - q[0], dy = p[1] - q[1], dz = p[2] - q[2];
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

void wrong_selection() { viewer::set_message(kWrong, 35); }

void sub(int a, int b, double v[3]) {
    for (int k = 0; k < 3; ++k) v[k] = double(ATOMI.r[a][k]) - ATOMI.r[b][k];
}
double dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
double norm(const double a[3]) { return std::sqrt(dot(a, a)); }
void cross(const double a[3], const double b[3], double c[3]) {
    c[0] = a[1] * b[2] - a[2] * b[1];
    c[1] = a[2] * b[0] - a[0] * b[2];
    c[2] = a[0] * b[1] - a[1] * b[0];
}
double clamp_cos(double c) { return std::clamp(c, -0.999999, 0.999999); }
double degrees(double rad) { return rad * 180.0 / 3.14159265358979; }

// Picks of the point buffer, each turned into the atom under it (0: none),
// up to the end mark.
std::vector<int> picked_atoms() {
    const int* x = viewer::px_buffer();
    const int* y = viewer::py_buffer();
    std::vector<int> v;
    for (int k = 0; k < viewer::kMaxPicks && x[k] >= 0; ++k) v.push_back(viewer::pick_nearest(x[k], y[k]));
    return v;
}

void wait_group(int& key, int group) {
    XWI.menu_redraw = 1;
    XWI.pending_action = 0;
    XWI.pending_geometry = 0;
    key = group;
    GETKEY(key);
}

// The atoms of the table and the chart: the model's own atoms that are not
// deleted, in atom order.
std::vector<int> table_atoms() {
    std::vector<int> v;
    const int n = std::min(GENERAC.n1_kept, viewer::kMaxEntries);
    for (int k = 1; k <= n; ++k)
        if (!ATOMI.deleted(k)) v.push_back(k);
    // The list is also kept in the point buffer from word 201 on.
    for (std::size_t j = 0; j < v.size() && bufw::kAtomTable + j <= BUFFER.size(); ++j)
        BUFFER.I(bufw::kAtomTable + static_cast<int>(j)) = v[j];
    return v;
}

float height(int k) { return k >= 1 && k <= kMaxAtoms ? atom_coord(k, 4) : 0.0f; }
float bvalue(int k) { return k >= 1 && k <= kMaxAtoms ? atom_b(k) : 0.0f; }

void text_line(int x, int y, int n) {
    int* bx = viewer::px_buffer();
    int* by = viewer::py_buffer();
    bx[0] = x, by[0] = y;
    GRAPHS(bx, by, n, gop::kText, MESS.text, 0);
}

void clear_drawing() {
    int n = 0;
    GRAPHS(viewer::px_buffer(), viewer::py_buffer(), n, gop::kClearDrawing, std::string(80, ' '), 0);
}

}  // namespace

void DISTANCE() {
    const std::vector<int> picks = picked_atoms();
    int first = 0;
    bool done = false;
    for (int a : picks) {
        if (a == 0) break;
        if (first == 0) {
            first = a;
            continue;
        }
        viewer::set_message(formatted("(' Distance ',a5,'- ',a5,' = ',f7.4)", {lab(first), lab(a), dist(first, a)}), 35);
        PRINTMESS();
        done = true;
        break;
    }
    if (!done && first == 0) wrong_selection();
    if (!done && first != 0) {
        std::vector<float> d;
        std::vector<int> il;
        double nearest = 999.0;
        int inear = 0;
        for (int i = 1; i <= ATOMI.n1; ++i) {
            if (i == first || !(ATOMI.radius[i] > 0.0f)) continue;
            const double di = dist(i, first);
            if (di <= 1.5 * ATOMI.bond_radius[first] || di <= 1.5 * ATOMI.bond_radius[i]) {
                d.push_back(static_cast<float>(di));
                il.push_back(i);
            }
            if (di < nearest) nearest = di, inear = i;
        }
        if (d.empty() && inear != 0) d.push_back(static_cast<float>(nearest)), il.push_back(inear);
        // An atom with no other shown atom has no neighbour to list.
        if (d.empty())
            wrong_selection();
        else
            DISPDIST(d.data(), il.data(), first, static_cast<int>(d.size()));
    }
    XWI.menu_redraw = 0;
    XWI.pending_action = button::kGeometry;
    XWI.pending_geometry = button::kDistances;
}

void DISPDIST(const float* d, const int* il, int a, int cnt) {
    if (cnt < 1) return;
    int k = 1;
    for (;;) {
        viewer::set_message(formatted("(i3,' /',i3,') Dist. ',a5,'- ',a5,'=',f7.4)", {k, cnt, lab(a), lab(il[k - 1]), d[k - 1]}),
                            38);
        PRINTMESS();
        int key = 0;
        wait_group(key, menugroup::kNeighbours);
        if (key == 0) return;
        k = ((k - 1 + key) % cnt + cnt) % cnt + 1;
    }
}

void CALCANGLE() {
    std::vector<int> at;
    for (int a : picked_atoms()) {
        if (a != 0) at.push_back(a);
        if (at.size() == 3) break;
    }
    XWI.menu_redraw = 1;
    XWI.pending_action = button::kGeometry;
    XWI.pending_geometry = button::kAngles;
    if (at.size() < 3 || at[0] == at[1] || at[1] == at[2] || at[0] == at[2]) return wrong_selection();
    double u[3], w[3];
    sub(at[0], at[1], u);
    sub(at[2], at[1], w);
    const double nu = norm(u), nw = norm(w);
    // Two atoms at one place make no angle.
    if (!(nu > 0.0 && nw > 0.0)) return wrong_selection();
    const double angle = degrees(std::acos(clamp_cos(dot(u, w) / (nu * nw))));
    viewer::set_message(formatted("(' Angle ',a5,'- ',a5,'- ',a5,' = ',f6.1)", {lab(at[0]), lab(at[1]), lab(at[2]), angle}), 38);
}

void TORSANGLE() {
    std::vector<int> at;
    bool bad = false;
    for (int a : picked_atoms()) {
        if (a == 0) {
            bad = true;
            break;
        }
        at.push_back(a);
        if (at.size() == 4) break;
    }
    XWI.menu_redraw = 1;
    XWI.pending_action = button::kGeometry;
    XWI.pending_geometry = button::kTorsion;
    if (bad || at.size() < 4 || at[0] == at[1] || at[1] == at[2] || at[2] == at[3]) return wrong_selection();
    double b1[3], b2[3], b3[3], p[3], q[3];
    sub(at[1], at[0], b1);
    sub(at[2], at[1], b2);
    sub(at[3], at[2], b3);
    const double n1 = norm(b1), n2 = norm(b2), n3 = norm(b3);
    // Coincident neighbours make no torsion.
    if (!(n1 > 0.0 && n2 > 0.0 && n3 > 0.0)) return wrong_selection();
    cross(b1, b2, p);
    cross(b2, b3, q);
    const double c12 = clamp_cos(dot(b1, b2) / (n1 * n2)), c23 = clamp_cos(dot(b2, b3) / (n2 * n3));
    const double s12 = std::sin(std::acos(c12)), s23 = std::sin(std::acos(c23));
    const double c = clamp_cos(dot(p, q) / (n2 * n2 * n1 * n3 * s23 * s12));
    const double angle = degrees(std::acos(c));
    viewer::set_message(formatted("(' Torsion angle ',a5,'- ',a5,'- ',a5,'- ',a5,' =',f6.1)",
                                  {lab(at[0]), lab(at[1]), lab(at[2]), lab(at[3]), angle}),
                        50);
}

void NUMTABLE(int& key) {
    const std::vector<int> list = table_atoms();
    const int l = static_cast<int>(list.size());
    const int h = viewer::screen_h();
    const int y0 = viewer::trunc_int(SCALE.R(scalew::kTitleHeight) + 30.0f);
    int s = 1, first_page = -1, last_drawn = 0;
    // Draws the page that starts at list position s; returns the entries drawn.
    auto page = [&]() {
        MESS.text = std::string(80, ' ');
        clear_drawing();
        MESS.text = "Atom  Height    B       Atom  Height    B       Atom  Height    B  ";
        MESS.text.resize(80, ' ');
        SETCOLR(10);
        text_line(10, y0, 65);
        SETCOLR(7);
        MESS.text = std::string(80, ' ');
        int y = y0 + 30, drawn = 0;
        for (int j = s; j <= l; ++j) {
            const int k = list[j - 1];
            const int col = 1 + 24 * ((j - s) % 3);
            const std::string e = formatted("(a5,f7.0,f7.3)", {lab(k), height(k), bvalue(k)});
            MESS.text.replace(col, 19, e.substr(0, 19));
            ++drawn;
            last_drawn = j;
            if ((j - s) % 3 == 2 || j == l) {
                text_line(10, y, 68);
                MESS.text = std::string(80, ' ');
                y += 25;
                if (y > h - 35) break;
            }
        }
        if (first_page < 0) first_page = drawn;
    };
    page();
    for (;;) {
        key = first_page >= l ? menugroup::kTablePage : menugroup::kTablePages;
        wait_group(key, key);
        if (key == 0 || key == 2) return;
        if (key > 0) {
            s = last_drawn + 1;
            while ((s - 1) % 3 != 0) ++s;
            if (s > l) s = std::max(1, s - first_page);
        } else {
            s = std::max(1, s - first_page);
        }
        page();
    }
}

void HISTOGR(int& key) {
    const std::vector<int> list = table_atoms();
    const int n = static_cast<int>(list.size());
    const int w = viewer::screen_w(), h = viewer::screen_h();
    for (;;) {
        MESS.text.replace(0, 5, "     ");
        clear_drawing();
        float hmax = -999.0f;
        for (int k : list) hmax = std::max(hmax, height(k));
        if (std::fabs(hmax) <= 0.0001f) hmax = 1.0f;
        const int x0 = viewer::trunc_int(SCALE.R(scalew::kMenuWidth) + 5.0f);
        int yt = viewer::trunc_int(SCALE.R(scalew::kTitleHeight) + 10.0f), yb = h - 30;
        // The pitch shares the width right of the first bar among the bars
        // of a row, and a second row takes the smaller half of an odd
        // count, so that the last bar of a row ends inside the window.
        const int room = std::max(w - x0, 1);
        int m = n, p = n > 0 ? room / n : room;
        if (p < 10) {
            m = n - n / 2;
            p = std::max(room / m, 1);
            yb = viewer::trunc_int(((h - 20) - 60) * 0.5);
        }
        int b = viewer::trunc_int(0.75 * p);
        if (b == p) b = p - 1;
        auto axes = [&]() {
            LINEA(80, yb, w, yb, 7);
            const int dashes = (w - 80 + 5) / 5;
            for (int k = 1; k <= 3; ++k) {
                const int y = yb + k * (yt - yb) / 4;
                for (int d = 0; d < dashes; ++d) LINEA(80 + 5 * d, y, 80 + 5 * d + 2, y, 7);
            }
        };
        axes();
        int x = x0;
        int* bx = viewer::px_buffer();
        int* by = viewer::py_buffer();
        for (int j = 0; j < n; ++j) {
            if (j == m && m > 0) {
                const int old = yb;
                yt = yt + yb;
                yb = yt + old;
                x = x0;
                axes();
            }
            const int k = list[j];
            double hh = viewer::nint((yt - yb) * std::fabs(height(k) / hmax));
            if (hh > -1.0) hh = (yt - yb) * 0.03;
            // A height beyond the largest one (all heights negative) is cut
            // at the top of its row.
            hh = std::max(hh, double(yt - yb));
            const int top = viewer::trunc_int(yb + hh);
            bx[0] = x, by[0] = yb, bx[1] = x, by[1] = top, bx[2] = x + b, by[2] = top;
            bx[3] = x + b, by[3] = yb, bx[4] = x, by[4] = yb;
            int five = 5;
            GRAPHS(bx, by, five, gop::kPolygon, std::string(80, ' '), ATOMI.colour[k]);
            five = 5;
            GRAPHS(bx, by, five, gop::kFilledPolygon, std::string(80, ' '), ATOMI.colour[k]);
            x += p;
        }
        if (SCREEN.I(screenw::kMouse) < 0) SCREEN.I(screenw::kMouse) = 1;
        wait_group(key, menugroup::kTablePage);
        if (key == 0 || key == 2) return;
    }
}

}  // namespace zanek
