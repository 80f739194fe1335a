// Editing the viewer's model: deleting atoms by clicking them or by a
// polygon drawn about them, hiding and showing atoms, giving an atom
// another species, adding and removing bonds. The edits reach the atom
// list when the model is handed back (MODCOM).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "graphics/viewer/viewer.h"
#include "graphics/viewer/viewer_internal.h"
#include "graphics/window/window.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/neutro.h"
#include "jobcontrol/records/scatter.h"
#include "platform/fformat.h"
#include "platform/listing.h"

namespace zanek {

namespace {

int pixel_distance(int x, int y, int e) {
    const double dx = x - ATOMI.px[e], dy = y - ATOMI.py[e];
    return viewer::nint(std::sqrt(dx * dx + dy * dy));
}

// The entry under the click, walking the drawing order from its last place
// down; among equal distances the one met last wins.
int pick_in_order(int x, int y, bool shown_only) {
    int best = 9999, found = 0;
    for (int place = ATOMI.count(); place >= 1; --place) {
        const int e = ATOMI.order[place];
        if (!viewer::independent(e)) continue;
        if (shown_only && !(ATOMI.radius[e] > 0.0f)) continue;
        const int d = pixel_distance(x, y, e);
        if (d <= ATOMI.pr[e] && d <= best) best = d, found = e;
    }
    return found;
}

// The entry under the click among entries n1 down to 1 (bond picks).
int pick_descending(int x, int y) {
    int best = 9999, found = 0;
    for (int e = ATOMI.n1; e >= 1; --e) {
        if (!(ATOMI.radius[e] > 0.0f)) continue;
        const int d = pixel_distance(x, y, e);
        if (d <= ATOMI.pr[e] && d <= best) best = d, found = e;
    }
    return found;
}

// Marks entry e deleted and every independent entry of the same atom too.
void delete_entry(int e) {
    const float r = ATOMI.radius[e];
    ATOMI.radius[e] = -(r + 10.0f);
    for (int i = 1; i <= ATOMI.n1; ++i)
        if (ATOMI.atom[i] == ATOMI.atom[e]) ATOMI.radius[i] = ATOMI.radius[e];
}

// The listing of deleted labels: PER labels a line, 6 columns apart.
class DeletedList {
public:
    DeletedList(int per, int width) : per_(per), line_(std::size_t(width), ' ') {}
    void add(const std::string& label) {
        if (used_ == per_) flush();
        line_.replace(std::size_t(6 * used_), 5, viewer::label5(label));
        ++used_;
    }
    void finish() {
        if (used_ > 0) flush();
    }

private:
    void flush() {
        if (!heading_) {
            lst_blank(1);
            lst_line(" The following Atom(s) has been deleted :");
            heading_ = true;
        }
        lst_line(" " + line_);
        std::fill(line_.begin(), line_.end(), ' ');
        used_ = 0;
    }
    int per_;
    std::string line_;
    int used_ = 0;
    bool heading_ = false;
};

std::string count_text(const char* fmt, int n) {
    const auto rec = fformat(fmt, {n});
    return rec.empty() ? std::string() : rec.front();
}

void deleted_message(int count) {
    if (count == 0)
        viewer::set_message(" No Atom deleted !", 18);
    else
        viewer::set_message(count_text("(i3,' Atom(s) has been deleted !')", count), 30);
}

// The polygon of the picks: repeated vertices removed, and vertices spread
// so that no two of them (but the closing one) lie within 2 pixel rows.
int polygon_vertices(int* x, int* y) {
    int n = 0;
    for (int k = 0; k < viewer::kMaxPicks && x[k] >= 0; ++k) {
        if (n > 0 && x[k] == x[n - 1] && y[k] == y[n - 1]) continue;
        x[n] = x[k], y[n] = y[k];
        ++n;
    }
    // Every pass only lowers vertices, so the spreading settles; the bound
    // on the passes is far above what 99 vertices can need.
    bool changed = true;
    for (int pass = 0; changed && pass < 100000; ++pass) {
        changed = false;
        for (int i = 0; i < n - 1; ++i)
            for (int j = i + 1; j < n - 1; ++j)
                if (std::abs(y[i] - y[j]) < 3) y[j] -= 1, changed = true;
    }
    return n;
}

}  // namespace

int viewer::pick_nearest(int x, int y) {
    int best = 0, bestd = 0;
    for (int e = 1; e <= ATOMI.n1; ++e) {
        if (!(ATOMI.radius[e] > 0.0f)) continue;
        const int d = pixel_distance(x, y, e);
        if (d > ATOMI.pr[e]) continue;
        if (best == 0 || d < bestd) best = e, bestd = d;
    }
    return best;
}

void DELAT() {
    const int* x = viewer::px_buffer();
    const int* y = viewer::py_buffer();
    DeletedList list(21, 130);
    int count = 0;
    for (int k = 0; k < viewer::kMaxPicks && x[k] >= 0; ++k) {
        const int e = pick_in_order(x[k], y[k], true);
        if (e == 0) continue;
        ++count;
        delete_entry(e);
        list.add(ATOMI.label[e]);
    }
    list.finish();
    deleted_message(count);
}

void DELHIDE(int code) {
    if (code == 123) {
        for (int i = 1; i <= ATOMI.n1; ++i)
            if (!ATOMI.deleted(i)) ATOMI.radius[i] = std::fabs(ATOMI.radius[i]);
        return;
    }
    int* x = viewer::px_buffer();
    int* y = viewer::py_buffer();
    const int nv = polygon_vertices(x, y);
    if (nv < viewer::kMaxPicks + 1) x[nv] = -1, y[nv] = -1;
    DeletedList list(22, 132);
    int count = 0;
    for (int place = ATOMI.count(); place >= 1; --place) {
        const int e = ATOMI.order[place];
        if (!viewer::independent(e) || !ATOMI.shown(e)) continue;
        const bool inside = INTERNO(ATOMI.px[e], ATOMI.py[e], nv) == -2 || INTERNO(ATOMI.px[e], ATOMI.py[e] - 1, nv) == -2;
        if (code == 223 && !inside) {
            ATOMI.radius[e] = -ATOMI.radius[e];
            ++count;
        } else if (code == 23 && inside) {
            ATOMI.radius[e] = -ATOMI.radius[e];
            ++count;
        } else if (code == -23 && inside) {
            delete_entry(e);
            ++count;
            list.add(ATOMI.label[e]);
        }
    }
    if (code == -23) {
        list.finish();
        deleted_message(count);
    } else if (count == 0) {
        viewer::set_message(" No Atom hidden  !", 18);
    } else {
        viewer::set_message(count_text("(i3,' Atom(s) has been hidden  !')", count), 30);
    }
}

int INTERNO(int x0, int y0, int n) {
    const int* x = viewer::px_buffer();
    const int* y = viewer::py_buffer();
    const double X = x0, Y = y0;
    int left = 0, right = 0;
    for (int k = 0; k + 1 < n; ++k) {
        const double yk = y[k], yk1 = y[k + 1];
        if (yk1 == Y || (yk - Y) / (Y - yk1) < 0.0) continue;
        const double dy = yk1 - yk;
        const double slope = std::fabs(dy) <= 1e-5 ? 0.0 : (x[k + 1] - x[k]) / dy;
        const double xi = x[k] + (Y - yk) * slope;
        if (xi < X) ++left;
        if (xi > X) ++right;
    }
    int result = 0;
    if (right % 2 == 1) --result;
    if (left % 2 == 1) --result;
    return result;
}

void RELAB(int x, int y, int& k) {
    const int h = viewer::hydrogen_offset();
    if (h == 1 && NEUTRO.I(neutro::kNeutron) == 0) ++k;
    const int e = pick_in_order(x, y, false);
    if (e == 0 || k < 1) {
        viewer::set_message(" No Atom reLabelled !", 21);
        return;
    }
    const int a = ATOMI.atom[e];
    if (a >= 1 && a <= kMaxAtoms) atom_label(a) = atom_label(a) % 100 + 100 * k;
    const std::string old = viewer::label5(ATOMI.label[e]);
    std::string label;
    CREALAB(a, k, label);
    const std::string text = " Atom " + old + " has been reLabelled  " + " as   " + viewer::label5(label) + " !";
    viewer::set_message(text, 46);
    lst_line(text);
    const float rk = viewer::species_radius(k);
    const float shown = rk / 3.0f;
    for (int i = 1; i <= ATOMI.n1; ++i) {
        if (i != e && ATOMI.atom[i] != a) continue;
        ATOMI.label[i] = viewer::label5(label);
        ATOMI.colour[i] = k - h;
        ATOMI.bond_radius[i] = 2.0f * rk + 0.3f;
        if (ATOMI.deleted(i)) continue;
        ATOMI.radius[i] = ATOMI.radius[i] < 0.0f ? -shown : shown;
    }
}

void ADDDELBONDS(int code, int nkept) {
    const int* x = viewer::px_buffer();
    const int* y = viewer::py_buffer();
    const bool add = code == 631;
    int count = 0;
    for (int k = 0; k + 1 < viewer::kMaxPicks && x[k] >= 0 && x[k + 1] >= 0; k += 2) {
        const int e1 = pick_descending(x[k], y[k]);
        if (e1 == 0) break;
        const int e2 = pick_descending(x[k + 1], y[k + 1]);
        if (e2 == 0) break;
        if (e1 == e2) continue;
        if (add && CRT.nbonds >= CRT.capacity) break;
        ++count;
        if (add) {
            const int first = CRT.nbonds - CRT.reserve + 1;  // the place before the reserve
            for (int b = CRT.nbonds; b >= first; --b) CRT.bond_a[b + 1] = CRT.bond_a[b], CRT.bond_b[b + 1] = CRT.bond_b[b];
            CRT.bond_a[first] = e1, CRT.bond_b[first] = e2;
            ++CRT.nbonds;
            if (CRT.nbonds >= CRT.capacity) break;
        } else {
            for (int b = 1; b <= CRT.nbonds; ++b) {
                const int p = std::abs(CRT.bond_a[b]), q = std::abs(CRT.bond_b[b]);
                if (!((p == e1 && q == e2) || (p == e2 && q == e1))) continue;
                for (int c = b; c < CRT.nbonds; ++c) CRT.bond_a[c] = CRT.bond_a[c + 1], CRT.bond_b[c] = CRT.bond_b[c + 1];
                --CRT.nbonds;
                break;
            }
        }
    }
    viewer::set_message(count_text(add ? "(i4,'  bond(s) have been added  ')" : "(i4,'  bond(s) have been deleted')", count), 32);
    XWI.pending_action = button::kGeometry;
    XWI.pending_geometry = add ? button::kAddBonds : button::kDeleteBonds;
    XWI.menu_redraw = 1;
    if (ATOMI.n1 == nkept) {
        for (int b = 1; b <= CRT.nbonds; ++b) LEG1.a[b] = CRT.bond_a[b], LEG1.b[b] = CRT.bond_b[b];
        LEG1.count = CRT.nbonds;
    }
}

}  // namespace zanek
