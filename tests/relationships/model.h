// A small crystal model for the tests of the relation passes: point atoms
// in a space group given by its operators, structure factors computed
// directly from every atom of the cell (no symmetry shortcut), the unique
// reflections of an index box with their E values, true phases and phase
// restrictions, and the invariant reflection table filled from them.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <random>
#include <string>
#include <vector>

#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/invariants.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/phaseset.h"
#include "jobcontrol/records/work.h"
#include "platform/listing.h"
#include "platform/units.h"
#include "relationships/triplets.h"
#include "tests/support/test_support.h"

namespace zanek::invtest {

using V3 = std::array<int, 3>;

// x' = R x + t.
struct Op {
    int r[3][3];
    double t[3];
};

struct Group {
    std::string name;
    std::vector<Op> ops;  // the stored operators (without the inversion)
    bool centric;
};

inline Op op(std::array<int, 9> r, std::array<double, 3> t) {
    Op o;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) o.r[i][j] = r[3 * i + j];
    for (int i = 0; i < 3; ++i) o.t[i] = t[i];
    return o;
}

inline Group group_p1() { return {"P 1", {op({1, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 0, 0})}, false}; }
inline Group group_pbar1() { return {"P -1", {op({1, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 0, 0})}, true}; }
inline Group group_p212121() {
    return {"P 21 21 21",
            {op({1, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 0, 0}), op({-1, 0, 0, 0, -1, 0, 0, 0, 1}, {0.5, 0, 0.5}),
             op({-1, 0, 0, 0, 1, 0, 0, 0, -1}, {0, 0.5, 0.5}), op({1, 0, 0, 0, -1, 0, 0, 0, -1}, {0.5, 0.5, 0})},
            false};
}
// A four-fold screw axis: the quarter translations make the sign of a
// phase shift visible (a half translation gives the same shift either way).
inline Group group_p41() {
    return {"P 41",
            {op({1, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 0, 0}), op({-1, 0, 0, 0, -1, 0, 0, 0, 1}, {0, 0, 0.5}),
             op({0, -1, 0, 1, 0, 0, 0, 0, 1}, {0, 0, 0.25}), op({0, 1, 0, -1, 0, 0, 0, 0, 1}, {0, 0, 0.75})},
            false};
}
inline Group group_p21c() {
    return {"P 21/c",
            {op({1, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 0, 0}), op({-1, 0, 0, 0, 1, 0, 0, 0, -1}, {0, 0.5, 0.5})},
            true};
}

// h R as the program forms it: (hR)_c = sum_r h_r R(r, c).
inline V3 times(const V3& h, const Op& o) {
    V3 out{};
    for (int c = 0; c < 3; ++c) out[c] = h[0] * o.r[0][c] + h[1] * o.r[1][c] + h[2] * o.r[2][c];
    return out;
}
inline V3 neg(const V3& h) { return {-h[0], -h[1], -h[2]}; }
inline V3 scaled(int s, const V3& h) { return {s * h[0], s * h[1], s * h[2]}; }

struct Reflection {
    V3 h;
    double e;
    int phase;        // true phase, whole degrees 0..359
    int restriction;  // 1 general, 2..13 restricted to 15(r-1) or +180
};

class Model {
public:
    Model(Group g, int natoms, unsigned seed, V3 box) : group_(std::move(g)), box_(box) {
        std::mt19937 gen(seed);
        std::uniform_real_distribution<double> u(0.0, 1.0);
        for (int a = 0; a < natoms; ++a) {
            std::array<double, 3> x{u(gen), u(gen), u(gen)};
            for (const Op& o : full_ops()) {
                std::array<double, 3> y{};
                for (int i = 0; i < 3; ++i)
                    y[i] = o.r[i][0] * x[0] + o.r[i][1] * x[1] + o.r[i][2] * x[2] + o.t[i];
                cell_.push_back(y);
            }
        }
        make_reflections();
    }

    const Group& group() const { return group_; }
    int cell_atoms() const { return static_cast<int>(cell_.size()); }
    double q() const { return 1.0 / std::sqrt(static_cast<double>(cell_.size())); }
    const std::vector<Reflection>& reflections() const { return refl_; }  // decreasing E

    // Structure factor of any h, from every atom of the cell.
    std::complex<double> F(const V3& h) const {
        std::complex<double> f = 0.0;
        for (const auto& x : cell_) {
            const double a = 2.0 * M_PI * (h[0] * x[0] + h[1] * x[1] + h[2] * x[2]);
            f += std::complex<double>(std::cos(a), std::sin(a));
        }
        return f;
    }
    double phase_deg(const V3& h) const {
        double p = std::arg(F(h)) * 180.0 / M_PI;
        return p < 0 ? p + 360.0 : p;
    }

    // The full group (with the inverted operators of a centric group).
    std::vector<Op> full_ops() const {
        std::vector<Op> all = group_.ops;
        if (group_.centric)
            for (Op o : group_.ops) {
                for (auto& row : o.r)
                    for (int& v : row) v = -v;
                for (double& t : o.t) t = -t;
                all.push_back(o);
            }
        return all;
    }

    // Sets SYM, ERL, UREQ, PARAM and INP for the model.
    void set_records() const {
        SYM.clear();
        ERL.clear();
        SYM.I(symw::kOps) = static_cast<int>(group_.ops.size());
        SYM.I(symw::kCentric) = group_.centric ? 1 : 0;
        for (std::size_t k = 0; k < group_.ops.size(); ++k)
            for (int i = 1; i <= 3; ++i) {
                for (int j = 1; j <= 3; ++j) erl_R(static_cast<int>(k) + 1, i, j) = group_.ops[k].r[i - 1][j - 1];
                erl_T(static_cast<int>(k) + 1, i) = static_cast<float>(group_.ops[k].t[i - 1]);
            }
        UREQ.I(ureqw::kHmax) = box_[0];
        UREQ.I(ureqw::kKmax) = box_[1];
        UREQ.I(ureqw::kLmax) = box_[2];
        UREQ.I(ureqw::kKnown) = 1;
        UREQ.I(ureqw::kPrint) = 0;
        PARAM.I(param::kStrideH) = (2 * box_[1] + 1) * (2 * box_[2] + 1);
        PARAM.I(param::kStrideK) = 2 * box_[2] + 1;
        PARAM.I(param::kLargest) = box_[0] * PARAM.I(param::kStrideH) + box_[1] * PARAM.I(param::kStrideK) + box_[2];
        INP.R(inp::kQ) = static_cast<float>(q());
    }

    // Fills the table: the nstrong strongest reflections as rows 1..nstrong,
    // then the nweak weakest, the weakest first (or, for the psi-e rows, the
    // nweak reflections that follow the strong ones); and the counts of the
    // records DIRTR and DIRPS.
    void fill_table(int nstrong, int nweak, int nlar = 0, bool following = false) const {
        using namespace invtab;
        auto put = [&](int row, const Reflection& r) {
            row_index(row) = pack_index(r.h[0], r.h[1], r.h[2]);
            row_eword(row) = pack_eword(static_cast<float>(r.e), r.phase);
            row_alpha(row) = 0;
            row_restriction(row) = r.restriction;
        };
        for (int r = 1; r <= nstrong; ++r) put(r, refl_[r - 1]);
        for (int w = 1; w <= nweak; ++w) put(nstrong + w, following ? refl_[nstrong + w - 1] : refl_[refl_.size() - w]);
        DIRTR.clear();
        DIRPS.clear();
        DIRTR.I(dirtr::kNrtr) = nstrong;
        DIRTR.R(dirtr::kEmin) = static_cast<float>(refl_[nstrong - 1].e);
        DIRTR.I(dirtr::kStrongRows) = nstrong;
        DIRPS.I(dirps::kNrps) = nweak;
        DIRPS.I(dirps::kNlar) = nlar > 0 ? nlar : nstrong;
    }

private:
    void make_reflections() {
        const auto all = full_ops();
        auto key = [](const V3& h) { return std::make_tuple(h[0], h[1], h[2]); };
        std::vector<Reflection> raw;
        for (int h = -box_[0]; h <= box_[0]; ++h)
            for (int k = -box_[1]; k <= box_[1]; ++k)
                for (int l = -box_[2]; l <= box_[2]; ++l) {
                    const V3 v{h, k, l};
                    if (h == 0 && k == 0 && l == 0) continue;
                    // One representative per orbit of the group and Friedel.
                    bool representative = true, absent = false, restricted = false;
                    for (const Op& o : all) {
                        const V3 w = times(v, o);
                        if (key(w) > key(v) || key(neg(w)) > key(v)) representative = false;
                        const double ht = h * o.t[0] + k * o.t[1] + l * o.t[2];
                        if (w == v && std::fabs(ht - std::round(ht)) > 1e-6) absent = true;
                        if (w == neg(v)) restricted = true;
                    }
                    if (!representative || absent) continue;
                    Reflection r;
                    r.h = v;
                    const auto f = F(v);
                    r.e = std::abs(f) / std::sqrt(static_cast<double>(cell_.size()));
                    r.phase = static_cast<int>(std::lround(phase_deg(v))) % 360;
                    r.restriction = 1;
                    if (group_.centric) {
                        r.restriction = 13;
                    } else if (restricted) {
                        const int p = static_cast<int>(std::lround(std::fmod(phase_deg(v), 180.0) / 15.0)) % 12;
                        r.restriction = p == 0 ? 13 : p + 1;
                    }
                    raw.push_back(r);
                }
        std::stable_sort(raw.begin(), raw.end(), [](const Reflection& a, const Reflection& b) { return a.e > b.e; });
        refl_ = std::move(raw);
    }

    Group group_;
    V3 box_;
    std::vector<std::array<double, 3>> cell_;
    std::vector<Reflection> refl_;
};

// A relation record decoded with the program's own unpacking.
struct Relation {
    int row[3];   // i, j, k
    int sign[3];  // +1, sigma, -tau
    int op[3];    // 1, m, q
    float g, gp3;
    int t, phi;
};
inline Relation decoded(int n) {
    Relation r;
    DECOM(n, r.g, r.gp3, r.t, r.phi);
    for (int k = 0; k < 3; ++k) {
        r.row[k] = cp10::row(1 + k);
        r.op[k] = cp10::op(1 + k);
        r.sign[k] = cp10::sign(1 + k);
    }
    return r;
}

// The three vectors s_n h_{row n} R_{op n} of a relation.
inline std::array<V3, 3> vectors(const Relation& r, const Group& g) {
    std::array<V3, 3> v;
    for (int k = 0; k < 3; ++k) {
        int h[3];
        SCHKL(r.row[k], h);
        v[k] = scaled(r.sign[k], times({h[0], h[1], h[2]}, g.ops[r.op[k] - 1]));
    }
    return v;
}

// Difference of two angles in degrees, folded into 0..180.
inline double angle_gap(double a, double b) {
    double d = std::fmod(std::fabs(a - b), 360.0);
    return d > 180.0 ? 360.0 - d : d;
}

// Sends the listing to a file for the life of a test.
class ListingTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = test::fresh_dir(std::string("inv_") + info->test_suite_name() + "_" + info->name());
        path_ = dir_ + "/out.lis";
        set_listing_unit(2);
        ASSERT_EQ(units().open_seq(2, path_, OpenStatus::Unknown, FileForm::Formatted), IO_OK);
        fill_trig();
    }
    void TearDown() override { units().close(2); }
    std::string listing() {
        lst_flush();
        return test::read_file(path_);
    }
    std::string dir_, path_;
};

}  // namespace zanek::invtest
