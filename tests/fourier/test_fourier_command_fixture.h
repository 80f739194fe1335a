// In-process jobs for the Fourier-map tests: a small structure of point-like
// atoms whose amplitudes and phases are computed here by a direct
// structure-factor sum, read by %data with known phases and normalised by
// %normal; phase sets of list 16 made from those phases; and matching of
// peaks to atoms under the space-group symmetry.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "fourier/fourier_records.h"
#include "jobcontrol/lists/list07.h"
#include "jobcontrol/lists/list15.h"
#include "jobcontrol/lists/list16.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/phaseset.h"
#include "jobcontrol/records/store.h"
#include "tests/support/inprocess.h"

namespace zanek::test {

struct TestAtom {
    std::string element;
    int z;
    double x, y, z_;
};

// A structure in a space group given by its general positions (x, y, z as
// matrices and translations), independent of the program's own tables.
struct TestOp {
    int r[3][3];
    double t[3];
};

struct TestStructure {
    std::string cell, group, content;
    double a, b, c, alpha, beta, gamma;
    std::vector<TestOp> ops;  // every general position, centring and inversion included
    std::vector<TestAtom> atoms;
};

inline TestOp op(std::initializer_list<int> rows, double t1, double t2, double t3) {
    TestOp o{};
    auto it = rows.begin();
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) o.r[i][j] = *it++;
    o.t[0] = t1;
    o.t[1] = t2;
    o.t[2] = t3;
    return o;
}

// P 21 21 21 with an iron, a chlorine and two oxygen atoms.
inline TestStructure p212121_structure() {
    TestStructure s;
    s.a = 8.1;
    s.b = 9.3;
    s.c = 10.2;
    s.alpha = s.beta = s.gamma = 90.0;
    s.cell = "cell 8.1 9.3 10.2 90 90 90";
    s.group = "spac p 21 21 21";
    s.content = "cont fe 4 cl 4 o 8";
    s.ops = {op({1, 0, 0, 0, 1, 0, 0, 0, 1}, 0, 0, 0), op({-1, 0, 0, 0, -1, 0, 0, 0, 1}, 0.5, 0, 0.5),
             op({-1, 0, 0, 0, 1, 0, 0, 0, -1}, 0, 0.5, 0.5), op({1, 0, 0, 0, -1, 0, 0, 0, -1}, 0.5, 0.5, 0)};
    s.atoms = {{"fe", 26, 0.112, 0.231, 0.347},
               {"cl", 17, 0.403, 0.118, 0.062},
               {"o", 8, 0.287, 0.452, 0.189},
               {"o", 8, 0.061, 0.367, 0.571}};
    return s;
}

// P 1 21/c 1 (b unique) with the same kind of atoms.
inline TestStructure p21c_structure() {
    TestStructure s;
    s.a = 7.3;
    s.b = 8.6;
    s.c = 9.9;
    s.alpha = s.gamma = 90.0;
    s.beta = 104.0;
    s.cell = "cell 7.3 8.6 9.9 90 104 90";
    s.group = "spac p 1 21/c 1";
    s.content = "cont fe 4 cl 4 o 8";
    TestOp e = op({1, 0, 0, 0, 1, 0, 0, 0, 1}, 0, 0, 0), s2 = op({-1, 0, 0, 0, 1, 0, 0, 0, -1}, 0, 0.5, 0.5);
    TestOp i = op({-1, 0, 0, 0, -1, 0, 0, 0, -1}, 0, 0, 0), c = op({1, 0, 0, 0, -1, 0, 0, 0, 1}, 0, 0.5, 0.5);
    s.ops = {e, s2, i, c};
    s.atoms = {{"fe", 26, 0.137, 0.212, 0.083},
               {"cl", 17, 0.381, 0.096, 0.327},
               {"o", 8, 0.262, 0.417, 0.213},
               {"o", 8, 0.034, 0.331, 0.402}};
    return s;
}

inline double cos_deg(double d) { return std::cos(d * M_PI / 180.0); }

// 1/d^2 of a reflection of the cell.
inline double inv_d2(const TestStructure& s, int h, int k, int l) {
    const double ca = cos_deg(s.alpha), cb = cos_deg(s.beta), cg = cos_deg(s.gamma);
    const double sa = std::sqrt(1 - ca * ca), sb = std::sqrt(1 - cb * cb), sg = std::sqrt(1 - cg * cg);
    const double v = s.a * s.b * s.c * std::sqrt(1 - ca * ca - cb * cb - cg * cg + 2 * ca * cb * cg);
    const double as = s.b * s.c * sa / v, bs = s.a * s.c * sb / v, cs = s.a * s.b * sg / v;
    const double cas = (cb * cg - ca) / (sb * sg), cbs = (ca * cg - cb) / (sa * sg), cgs = (ca * cb - cg) / (sa * sb);
    return h * h * as * as + k * k * bs * bs + l * l * cs * cs + 2 * k * l * bs * cs * cas + 2 * h * l * as * cs * cbs +
           2 * h * k * as * bs * cgs;
}

// F(h) = sum over atoms and general positions of f exp(2 pi i h.x), with a
// Gaussian scattering factor of a point-like atom at rest.
inline std::complex<double> structure_factor(const TestStructure& s, int h, int k, int l) {
    const double s2 = inv_d2(s, h, k, l) / 4.0;
    std::complex<double> f = 0;
    for (const TestAtom& a : s.atoms) {
        const double fa = a.z * std::exp(-3.0 * s2);
        const double x[3] = {a.x, a.y, a.z_};
        for (const TestOp& o : s.ops) {
            double y[3];
            for (int i = 0; i < 3; ++i) y[i] = o.r[i][0] * x[0] + o.r[i][1] * x[1] + o.r[i][2] * x[2] + o.t[i];
            f += fa * std::polar(1.0, 2.0 * M_PI * (h * y[0] + k * y[1] + l * y[2]));
        }
    }
    return f;
}

// Reflection lines (3i4,3f8.2) with the phase, to d = dmin, h >= 0.
inline std::string reflection_lines(const TestStructure& s, double dmin) {
    std::string out;
    const int hm = static_cast<int>(s.a / dmin) + 1, km = static_cast<int>(s.b / dmin) + 1,
              lm = static_cast<int>(s.c / dmin) + 1;
    for (int h = 0; h <= hm; ++h)
        for (int k = -km; k <= km; ++k)
            for (int l = -lm; l <= lm; ++l) {
                if (h == 0 && (k < 0 || (k == 0 && l <= 0))) continue;
                if (inv_d2(s, h, k, l) > 1.0 / (dmin * dmin)) continue;
                std::complex<double> f = structure_factor(s, h, k, l);
                double amp = std::abs(f);
                if (amp < 0.5) continue;  // systematically absent, or nearly so
                double ph = std::arg(f) * 180.0 / M_PI;
                if (ph <= 0.0) ph += 360.0;
                out += hklp(h, k, l, amp, 0.02 * amp + 0.5, ph);
            }
    out += hkl(0, 0, 0, 0, 0);
    return out;
}

// The shortest distance (A) between p and any symmetry image of q.
inline double symmetry_distance(const TestStructure& s, const double p[3], const double q[3]) {
    const double ca = cos_deg(s.alpha), cb = cos_deg(s.beta), cg = cos_deg(s.gamma);
    double best = 1e9;
    for (const TestOp& o : s.ops) {
        double y[3], d[3];
        for (int i = 0; i < 3; ++i) y[i] = o.r[i][0] * q[0] + o.r[i][1] * q[1] + o.r[i][2] * q[2] + o.t[i];
        for (int i = 0; i < 3; ++i) {
            d[i] = p[i] - y[i];
            d[i] -= std::round(d[i]);
        }
        const double x = d[0] * s.a, yy = d[1] * s.b, z = d[2] * s.c;
        const double d2 = x * x + yy * yy + z * z + 2 * x * yy * cg + 2 * x * z * cb + 2 * yy * z * ca;
        best = std::min(best, std::sqrt(std::max(d2, 0.0)));
    }
    return best;
}

class MapJob : public InProcessJob {
protected:
    MapJob() : InProcessJob("maps") {}

    // %data with known phases and %normal on the structure's reflections.
    void prepare(const TestStructure& s, double dmin = 0.9) {
        structure = s;
        queue({{23, {s.cell, s.group, s.content, "know", "form (3i4,3f8.2)", "refl foll"}}, {1, {}}},
              reflection_lines(s, dmin));
        ASSERT_EQ(run_queue(), 0) << listing();
    }

    // List 16 with `sets` sets: set 1 holds the true phases of the phasing
    // reflections; the others are the true phases turned by 90 degrees.
    // cfoms gives the figure of each set in table order.
    void make_phase_sets(const std::vector<float>& cfoms) {
        auto refl = list7();
        int nref = RC.I(rcw::kNref);
        ASSERT_GT(nref, 0);
        PARAM.I(param::kNref) = nref;
        const int sets = static_cast<int>(cfoms.size());
        NFRM16(sets);
        for (int s = 1; s <= sets; ++s) {
            std::vector<float> w(static_cast<std::size_t>(nref), 1.0f);
            std::vector<int32_t> phi(static_cast<std::size_t>(nref));
            for (int i = 0; i < nref; ++i) {
                int p = refl[static_cast<std::size_t>(i)].phase();
                if (s > 1) p = (p + 90 * (s - 1)) % 360;
                phi[static_cast<std::size_t>(i)] = p == 0 ? 360 : p;
            }
            Word fom[11] = {};
            for (int k = 0; k < 11; ++k) fom[k].r = 0.1f * s + k;
            fom[4].r = cfoms[static_cast<std::size_t>(s - 1)];
            fom[9].r = static_cast<float>(s);
            SNW16(s, fom, w.data(), phi.data());
        }
        std::vector<float> a(cfoms);
        std::vector<int32_t> b;
        for (int s = 1; s <= sets; ++s) b.push_back(s);
        YSUP16(a.data(), b.data(), sets);
    }

    // Distance from a peak to the nearest atom, and that atom's index.
    double nearest_atom(const double p[3], int& which) const {
        double best = 1e9;
        which = -1;
        for (std::size_t i = 0; i < structure.atoms.size(); ++i) {
            const TestAtom& a = structure.atoms[i];
            const double q[3] = {a.x, a.y, a.z_};
            double d = symmetry_distance(structure, p, q);
            if (d < best) {
                best = d;
                which = static_cast<int>(i);
            }
        }
        return best;
    }

    TestStructure structure;
};

}  // namespace zanek::test
