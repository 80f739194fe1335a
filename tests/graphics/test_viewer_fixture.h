// Set-up for the molecule-viewer tests: a graphics window opened on the
// in-memory surface with no scripted clicks, the viewer records at their
// load values; ViewerJob adds a structure file whose lists 1, 2 and 3 come
// from a %data command on one of the test jobs, and whose list 15 the test
// stores from the true atoms.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "crystaldata/special.h"
#include "graphics/viewer/viewer.h"
#include "graphics/window/library.h"
#include "graphics/window/menus.h"
#include "graphics/window/window.h"
#include "jobcontrol/lists/list15.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/scatter.h"
#include "platform/surface.h"
#include "tests/support/inprocess.h"
#include "tests/support/test_support.h"

namespace zanek::test {

// Opens the window as the start screen does and clears the viewer.
inline void open_viewer_window() {
    reset_window_records();
    reset_viewer_records();
    SCREEN.I(screenw::kMode) = 1;
    SCREEN.I(screenw::kWidth) = 639;
    SCREEN.I(screenw::kHeight) = 479;
    SCREEN.I(screenw::kMouse) = -1;
    mouse_script().set({});
    int bx[100] = {}, by[100] = {};
    int n = 79;
    GRAPHS(bx, by, n, gop::kOpen, "viewer test", 0);
}

// The centre of menu row r, where a click hits its button.
inline std::pair<int, int> button_centre(int r) {
    return {static_cast<int>(CMENU.x[r]) + CMENU.w[r] / 2 - 10, static_cast<int>(CMENU.y[r]) - 20};
}

// Viewer state set by VYROLA before a model is built: pixel frame, aspect, pi.
inline void viewer_frame() {
    const int w = SCREEN.I(screenw::kWidth), h = SCREEN.I(screenw::kHeight);
    CRT.frame[0] = 0, CRT.frame[1] = 0, CRT.frame[2] = w, CRT.frame[3] = h;
    CRT.frame_w = static_cast<float>(w), CRT.frame_h = static_cast<float>(h);
    CONTR.R(contr::kAspect) = static_cast<float>(w - 80) / static_cast<float>(h - 20);
    CONTR.I(contr::kScaleMode) = 1;
}

// Entry i at view position (x, y, z) with display radius r, colour c and
// label; it shows atom i.
inline void set_entry(int i, float x, float y, float z, float r = 0.5f, int c = 1, const std::string& label = "C") {
    ATOMI.r[i] = {x, y, z};
    ATOMI.radius[i] = r;
    ATOMI.colour[i] = c;
    ATOMI.label[i] = (label + "     ").substr(0, 5);
    ATOMI.order[i] = i;
    ATOMI.atom[i] = i;
    ATOMI.bond_radius[i] = 1.84f;
}
inline void add_bond(int a, int b) {
    ++CRT.nbonds;
    CRT.bond_a[CRT.nbonds] = a;
    CRT.bond_b[CRT.nbonds] = b;
}
// Fits the view to the shown entries and sets the pixel positions.
inline void fit_view() {
    float a[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    CRT.box[0] = CRT.box[1] = 99999.0f;
    CRT.box[2] = CRT.box[3] = -99999.0f;
    ROTATOMS(a, 1);
    SETSCALE(1);
    ANGTOPIX();
}

class ViewerSurfaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        reset_job_records();
        open_viewer_window();
        viewer_frame();
    }
    void TearDown() override {
        mouse_script().reset();
        reset_job_records();
        reset_window_records();
        reset_viewer_records();
    }
    Surface& s() { return window_surface(); }
    int drawn() { return s().count_drawn(81, 21, SCREEN.I(screenw::kWidth), SCREEN.I(screenw::kHeight)); }

    static void entry(int i, float x, float y, float z, float r = 0.5f, int c = 1, const std::string& label = "C") {
        set_entry(i, x, y, z, r, c, label);
    }
    static void bond(int a, int b) { add_bond(a, b); }
    static void fit() { fit_view(); }
};

// One atom of a test job's truth.res.
struct TruthAtom {
    std::string label, element;
    float x, y, z;
};

// The atoms of the shared truth reader, in the viewer's single precision.
inline std::vector<TruthAtom> truth_atoms(const std::string& job) {
    std::vector<TruthAtom> v;
    for (const TrueAtom& a : true_atoms(job))
        v.push_back({a.label, a.element, static_cast<float>(a.x), static_cast<float>(a.y), static_cast<float>(a.z)});
    return v;
}

class ViewerJob : public InProcessJob {
protected:
    ViewerJob() : InProcessJob("viewer") {}

    void SetUp() override {
        InProcessJob::SetUp();
        open_viewer_window();
    }
    void TearDown() override {
        mouse_script().reset();
        InProcessJob::TearDown();
        reset_window_records();
        reset_viewer_records();
    }

    // %data with the cell, group and contents of a test job and the first
    // reflections of its data file.
    void crystal(const std::string& cell, const std::string& group, const std::string& cont,
                 const std::string& job = "rand_p21c_c18n2o4") {
        std::ifstream in(jobs_dir() + "/" + job + "/data.hkl");
        std::string refl, line;
        for (int k = 0; k < 300 && std::getline(in, line); ++k) refl += line + "\n";
        refl += hkl(0, 0, 0, 0, 0);
        queue({{CMD_DATA, {cell, "spac " + group, cont, "refl foll"}}}, refl);
        ASSERT_EQ(dispatch(1), 0) << listing();
    }
    void p21c() { crystal("cell 9.3863 12.2022 15.9567 90.000 109.000 90.000", "p 1 21/c 1", "cont c 72 o 16 n 8"); }

    static int species(const std::string& el) {
        std::string want = el;
        for (char& c : want) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        want = (want + " ").substr(0, 2);
        for (int t = 1; t <= sf::species(); ++t)
            if (std::string(reinterpret_cast<const char*>(&sf::symbol(t)), 2) == want) return t;
        return 0;
    }

    // Stores atoms as list 15 (label codes species*100 + serial) with the
    // bond table given (pairs of atom numbers), or bonds to be found from
    // distances when none is given.
    struct Atom {
        int code;
        float x, y, z;
    };
    static void store(const std::vector<Atom>& atoms, const std::vector<std::pair<int, int>>& bonds = {},
                      bool from_distances = false, int set = 3) {
        ATOMS.clear();
        for (std::size_t k = 0; k < atoms.size(); ++k) {
            const int i = static_cast<int>(k) + 1;
            atom_coord(i, 1) = atoms[k].x, atom_coord(i, 2) = atoms[k].y, atom_coord(i, 3) = atoms[k].z;
            atom_coord(i, 4) = 900.0f - 10.0f * i;
            atom_coord(i, 5) = 1.0f;
            atom_label(i) = atoms[k].code;
            atom_b(i) = 2.0f + 0.1f * i;
        }
        EMAP.R(emap::kDefaultB) = 3.0f;
        EMAP.R(emap::kLastR) = 0.25f;
        EMAP.I(emap::kNextAction) = 0;
        TEMP.clear();
        if (from_distances) {
            bond_count() = -1.0f;
        } else {
            bond_count() = static_cast<float>(bonds.size());
            for (std::size_t b = 0; b < bonds.size(); ++b) {
                bond_atom(static_cast<int>(b) + 1, 1) = static_cast<float>(bonds[b].first);
                bond_atom(static_cast<int>(b) + 1, 2) = static_cast<float>(bonds[b].second);
            }
        }
        FRM15(static_cast<int>(atoms.size()), set, 1);
        ATOMS.clear();
        TEMP.clear();
    }
    // The true atoms of a test job with their species.
    std::vector<Atom> truth(const std::string& job) {
        std::vector<Atom> v;
        int serial = 0;
        for (const TruthAtom& a : truth_atoms(job)) v.push_back({100 * species(a.element) + (++serial), a.x, a.y, a.z});
        return v;
    }
    // Builds the viewer's model from list 15 as VYROLA does, without
    // drawing or waiting.
    static void build() {
        viewer_frame();
        XSPINB();
        ORTO();
        if (static_cast<int>(bond_count()) == -1)
            BUILDBONDS(1);
        else
            GETBONDS(1);
    }
    struct Loaded {
        int n = 0, set = 0, bondflag = 0, next = 0;
        std::vector<int> labels;
        std::vector<std::pair<int, int>> bonds;
        std::vector<std::array<float, 3>> xyz;
    };
    static Loaded load15() {
        Loaded l;
        int start = 1;
        SFL15(l.n, start, l.set, l.bondflag);
        l.next = EMAP.I(emap::kNextAction);
        for (int i = 1; i <= l.n; ++i) {
            l.labels.push_back(atom_label(i));
            l.xyz.push_back({atom_coord(i, 1), atom_coord(i, 2), atom_coord(i, 3)});
        }
        if (l.bondflag == 1)
            for (int b = 1; b <= static_cast<int>(bond_count()); ++b)
                l.bonds.push_back({static_cast<int>(bond_atom(b, 1)), static_cast<int>(bond_atom(b, 2))});
        return l;
    }
};

}  // namespace zanek::test
