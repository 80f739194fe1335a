// In-process set-up for the recycling tests: a %data command gives the cell,
// the symmetry and the scattering factors; the atom model and the staging
// arrays of the map coefficients are then filled directly. The reference
// structure factors (fixtures/sf_reference.txt) were computed once with
// gemmi by fixtures/make_sf_reference.py.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "crystaldata/equivalents.h"
#include "fourier/fourier_records.h"
#include "fourier/recycling/recycling.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/scatter.h"
#include "jobcontrol/records/special.h"
#include "tests/support/inprocess.h"
#include "tests/support/test_support.h"

namespace zanek::test {

struct RefAtom {
    std::string el;
    float x, y, z, b;
};
struct RefReflection {
    int h, k, l;
    double f, phase, fmax;
};
struct RefModel {
    std::string group, cell, cont;
    std::vector<RefAtom> atoms;
    std::vector<RefReflection> refl;
};

inline std::vector<RefModel> reference_models() {
    std::ifstream in(source_dir() + "/tests/fourier/fixtures/sf_reference.txt");
    std::vector<RefModel> out;
    std::string line;
    RefModel m;
    while (std::getline(in, line)) {
        std::istringstream s(line);
        std::string key;
        s >> key;
        if (key == "group") {
            m = RefModel();
            m.group = line.substr(6);
        } else if (key == "cell") {
            m.cell = line;
        } else if (key == "cont") {
            m.cont = line;
        } else if (key == "atom") {
            RefAtom a;
            s >> a.el >> a.x >> a.y >> a.z >> a.b;
            m.atoms.push_back(a);
        } else if (key == "refl") {
            RefReflection r;
            s >> r.h >> r.k >> r.l >> r.f >> r.phase >> r.fmax;
            m.refl.push_back(r);
        } else if (key == "end") {
            out.push_back(m);
        }
    }
    return out;
}

class RecyclingJob : public InProcessJob {
protected:
    RecyclingJob() : InProcessJob("recyc") {}

    // %data with a cell, a space group and the cell contents.
    void crystal(const std::string& group, const std::string& cell, const std::string& cont) {
        queue({{CMD_DATA, {cell, "spac " + group, cont}}});
        ASSERT_EQ(dispatch(1), 0) << listing();
        SPEC.I(kSpecReady) = -1;
    }

    // Species number of a symbol in the cell contents (0 when absent).
    static int species(const std::string& el) {
        for (int t = 1; t <= sf::species(); ++t) {
            const char* p = reinterpret_cast<const char*>(&sf::symbol(t));
            std::string sym(p, 2);
            if (sym == (el + " ").substr(0, 2)) return t;
        }
        return 0;
    }

    // The model as the structure-factor pass takes it: labels are species
    // numbers, occupancy 1, the B table from the atoms.
    void set_model(const std::vector<RefAtom>& atoms) {
        ATOMS.clear();
        for (std::size_t i = 0; i < atoms.size(); ++i) {
            int s = static_cast<int>(i) + 1;
            atom_coord(s, 1) = atoms[i].x;
            atom_coord(s, 2) = atoms[i].y;
            atom_coord(s, 3) = atoms[i].z;
            atom_coord(s, 4) = 100.0f;
            atom_coord(s, 5) = 1.0f;
            atom_label(s) = species(atoms[i].el);
            atom_b(s) = atoms[i].b;
        }
        int n = static_cast<int>(atoms.size());
        CONST.I(konst::kAtomCount) = n;
        EMAP.I(emap::kPeaksKept) = n;
        EMAP.I(emap::kContentPeaks) = n;
    }

    // Staging arrays: packed index, Fo and s^2 of every reflection.
    int stage_reflections(const std::vector<RefReflection>& refl, double fo_scale = 1.0) {
        int n = 0;
        for (const RefReflection& r : refl) {
            ++n;
            stage::P(n) = packed_index(r.h, r.k, r.l);
            stage::A1(n) = static_cast<float>(fo_scale * r.f);
            float s = RHOF(s2_coefficients(), r.h, r.k, r.l);
            stage::A4(n) = s * s;
            stage::A3i(n) = 0;
        }
        return n;
    }

    // One structure-factor pass; returns the scale.
    float pass(int mode, int ncyc, int nref, int icyc = 5) {
        float scale = 0.0f;
        SFTRYYY(mode, icyc, ncyc, nref, stage::A2_array(), scale);
        EXPECT_EQ(mode, 0);
        return scale;
    }

    // |Fc| of reflection r from the coefficient 2 k Fo - Fc left by the pass.
    static double fcalc(int r, float scale, double fo) { return 2.0 * scale * fo - stage::A1(r); }
};

}  // namespace zanek::test
