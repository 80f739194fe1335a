// A peak interpretation run in-process: %data forms the cell, symmetry and
// species lists on a fresh structure file; the peaks are put into ATOMS and
// MAINCL (or one of its stages) runs on them.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "crystaldata/data_command.h"
#include "fourier/interpretation/interp_internal.h"
#include "fourier/interpretation/interpretation.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/listptr.h"
#include "jobcontrol/records/scatter.h"
#include "jobcontrol/records/special.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/store.h"
#include "platform/listing.h"
#include "platform/stop.h"
#include "platform/units.h"
#include "tests/support/inprocess.h"
#include "tests/support/test_support.h"

namespace zanek::test {

struct Peak {
    double x, y, z;
    double height;
    int label = 0;
    double occupancy = 1.0;
};

// Cell geometry for building test structures: fractional <-> Cartesian
// with a along x and b in the xy plane.
struct Cell {
    double a, b, c, alpha, beta, gamma;
    std::array<double, 9> orth() const {  // row-major matrix M, r = M f
        const double d = 3.14159265358979 / 180.0;
        const double ca = std::cos(alpha * d), cb = std::cos(beta * d), cg = std::cos(gamma * d), sg = std::sin(gamma * d);
        const double v = std::sqrt(1 - ca * ca - cb * cb - cg * cg + 2 * ca * cb * cg);
        return {a, b * cg, c * cb, 0, b * sg, c * (ca - cb * cg) / sg, 0, 0, c * v / sg};
    }
    std::array<double, 3> frac(std::array<double, 3> r) const {
        const auto m = orth();
        const double z = r[2] / m[8];
        const double y = (r[1] - m[5] * z) / m[4];
        const double x = (r[0] - m[1] * y - m[2] * z) / m[0];
        return {x, y, z};
    }
    std::array<double, 3> cart(std::array<double, 3> f) const {
        const auto m = orth();
        return {m[0] * f[0] + m[1] * f[1] + m[2] * f[2], m[4] * f[1] + m[5] * f[2], m[8] * f[2]};
    }
    double dist(std::array<double, 3> f1, std::array<double, 3> f2) const {
        const auto a1 = cart(f1), a2 = cart(f2);
        return std::sqrt((a1[0] - a2[0]) * (a1[0] - a2[0]) + (a1[1] - a2[1]) * (a1[1] - a2[1]) +
                         (a1[2] - a2[2]) * (a1[2] - a2[2]));
    }
    std::string directive() const {
        char buf[160];
        std::snprintf(buf, sizeof buf, "cell %.4f %.4f %.4f %.3f %.3f %.3f", a, b, c, alpha, beta, gamma);
        return buf;
    }
};

class InterpRun : public InProcessJob {
protected:
    int32_t codes[kMaxResultCodes] = {};

    InterpRun() : InProcessJob("interp") {}

    void SetUp() override {
        InProcessJob::SetUp();
        INPCL.clear();
        for (int k = 1; k <= 8; ++k) cond::radius(k) = -1.0f;
        cond::regroup() = 1;
        EMAP.R(emap::kR) = 1.0f;  // no recycling yet
    }

    // %data with a cell, a space group and a content.
    void crystal(const Cell& cell, const std::string& group, const std::string& content) {
        queue({{23, {cell.directive(), "spac " + group, "cont " + content}}});
        ASSERT_EQ(dispatch(1), 0) << listing();
        XLIMI.I(xlimi::kListBase) = 1;
        SPEC.I(kSpecReady) = -1;
        start_listing_afresh();
    }

    void start_listing_afresh() {
        units().close(kListingUnit);
        std::filesystem::remove(lis);
        units().open_seq(kListingUnit, lis, OpenStatus::Unknown, FileForm::Formatted);
    }

    void peaks(const std::vector<Peak>& list) {
        for (int k = 1; k <= kMaxAtoms; ++k) {
            for (int c = 1; c <= 5; ++c) atom_coord(k, c) = 0.0f;
            atom_label(k) = 0;
        }
        int k = 0;
        for (const Peak& p : list) {
            ++k;
            atom_coord(k, 1) = static_cast<float>(p.x);
            atom_coord(k, 2) = static_cast<float>(p.y);
            atom_coord(k, 3) = static_cast<float>(p.z);
            atom_coord(k, 4) = static_cast<float>(p.height);
            atom_coord(k, 5) = static_cast<float>(p.occupancy);
            atom_label(k) = p.label;
        }
        CONST.I(konst::kAtomCount) = k;
    }

    // The whole interpretation; returns the mode as MAINCL leaves it.
    int interpret(int mode, int print = 0) {
        for (int32_t& c : codes) c = 0;
        MAINCL(codes, mode, print);
        lst_flush();
        return mode;
    }

    // Species rank and fragment of a result code.
    static int rank(int32_t code) { return std::abs(code) / 100; }
    static int fragment(int32_t code) { return std::abs(code) % 100; }

    // Bonds of TEMP as sorted pairs (low, high).
    std::vector<std::pair<int, int>> bonds() {
        std::vector<std::pair<int, int>> v;
        const int nb = static_cast<int>(bond_count());
        for (int b = 0; b < nb; ++b) {
            int i = static_cast<int>(bond_atom(b + 1, 1)), j = static_cast<int>(bond_atom(b + 1, 2));
            v.emplace_back(std::min(i, j), std::max(i, j));
        }
        std::sort(v.begin(), v.end());
        return v;
    }
};

// Peaks from Cartesian positions (A) in a cell, all of one height.
inline std::vector<Peak> from_cartesian(const Cell& cell, const std::vector<std::array<double, 3>>& r, double height = 100.0) {
    std::vector<Peak> out;
    for (const auto& p : r) {
        const auto f = cell.frac(p);
        out.push_back({f[0], f[1], f[2], height});
    }
    return out;
}

}  // namespace zanek::test
