// %data and %normal run in-process on structures with a pseudo-translation
// (fixtures/pseudo_*.hkl, made with gemmi by fixtures/make_pseudo_jobs.py):
// the search finds the condition, the class is selected with the fraction
// of scattering power the structure puts into it, its line and conditions
// are stored as list 19, and the renormalised E values of the weak class
// average 1. On the test jobs, which have no pseudo-translation, the section
// reports none and changes nothing, except in the iron chloride structure,
// whose iron atoms do repeat under c/2.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>
#include <sstream>

#include "jobcontrol/lists/list07.h"
#include "tests/crystaldata/test_normal_fixture.h"

using namespace zanek;
using namespace zanek::test;

namespace {

// A fixture structure: its job and the expected fraction q(s^2) of the
// scattering power outside the pseudo-translation.
struct PseudoJob {
    std::string name, group, contents;
    double cell[6] = {};
    std::vector<std::pair<double, double>> q;  // (s^2, q)

    double q_at(double s2) const {
        for (std::size_t i = 1; i < q.size(); ++i)
            if (s2 <= q[i].first) {
                const double t = (s2 - q[i - 1].first) / (q[i].first - q[i - 1].first);
                return q[i - 1].second + t * (q[i].second - q[i - 1].second);
            }
        return q.back().second;
    }
    // s^2 = (sin(theta)/lambda)^2 from the cell, through the reciprocal
    // metric.
    double s2(int h, int k, int l) const {
        const double d = M_PI / 180.0;
        const double a = cell[0], b = cell[1], c = cell[2];
        const double ca = std::cos(cell[3] * d), cb = std::cos(cell[4] * d), cg = std::cos(cell[5] * d);
        const double g[3][3] = {{a * a, a * b * cg, a * c * cb}, {a * b * cg, b * b, b * c * ca}, {a * c * cb, b * c * ca, c * c}};
        // Inverse of the metric tensor.
        const double det = g[0][0] * (g[1][1] * g[2][2] - g[1][2] * g[2][1]) -
                           g[0][1] * (g[1][0] * g[2][2] - g[1][2] * g[2][0]) +
                           g[0][2] * (g[1][0] * g[2][1] - g[1][1] * g[2][0]);
        double inv[3][3];
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) {
                const int i1 = (j + 1) % 3, i2 = (j + 2) % 3, j1 = (i + 1) % 3, j2 = (i + 2) % 3;
                inv[i][j] = (g[i1][j1] * g[i2][j2] - g[i1][j2] * g[i2][j1]) / det;
            }
        const double hv[3] = {double(h), double(k), double(l)};
        double s = 0;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) s += hv[i] * inv[i][j] * hv[j];
        return s / 4.0;
    }
};

PseudoJob load_job(const std::string& name) {
    PseudoJob j;
    j.name = name;
    std::ifstream f(source_dir() + "/tests/crystaldata/fixtures/pseudo_" + name + ".txt");
    std::string line;
    while (std::getline(f, line)) {
        std::istringstream is(line);
        std::string tag;
        is >> tag;
        if (tag == "cell") {
            for (double& v : j.cell) is >> v;
        } else if (tag == "group") {
            std::getline(is, j.group);
        } else if (tag == "contents") {
            std::getline(is, j.contents);
        } else if (tag == "q") {
            double s2 = 0, q = 0;
            is >> s2 >> q;
            j.q.emplace_back(s2, q);
        }
    }
    return j;
}

std::vector<std::string> data_lines(const PseudoJob& j) {
    std::ostringstream cell;
    for (double v : j.cell) cell << " " << v;
    std::string group = j.group == " P 1 21 1" ? "p 21" : "p -1";
    return {"cell" + cell.str(), "spac " + group, "cont" + j.contents, "know", "form (3i4,3f8.2)",
            "refl pseudo_" + j.name + ".hkl"};
}

// The list-7 header word 25 (pseudo-translation conditions kept with the
// list).
int stored_conditions() {
    int n = 0, nref = 0, nzro = 0, ipseudo = -1, x = 0;
    YSFL07(n, nref, nzro, ipseudo, x);
    return ipseudo;
}

struct Means {
    double odd = 0, even = 0;
};
// Mean E^2 of the reflections outside (h odd) and inside (h even) the
// class h = 2n.
Means class_means(const std::vector<List7Record>& recs) {
    Means m;
    int no = 0, ne = 0;
    for (const List7Record& r : recs) {
        const double e2 = double(r.key) * r.key;
        if (r.h % 2 != 0) {
            m.odd += e2;
            ++no;
        } else {
            m.even += e2;
            ++ne;
        }
    }
    m.odd /= std::max(no, 1);
    m.even /= std::max(ne, 1);
    return m;
}

class PseudoNormal : public NormalRun {
protected:
    PseudoJob job;
    void use(const std::string& name) {
        job = load_job(name);
        ASSERT_FALSE(job.q.empty());
        std::filesystem::copy_file(source_dir() + "/tests/crystaldata/fixtures/pseudo_" + name + ".hkl",
                                   dir + "/pseudo_" + name + ".hkl", std::filesystem::copy_options::overwrite_existing);
    }
    // The percentage of the row of class h = 2n.
    int row_percent() {
        for (const std::string& l : lines())
            if (l.rfind(" " + std::string(31, ' ') + "h= 2n   ", 0) == 0 && l.size() > 5) return std::stoi(l.substr(l.size() - 7, 5));
        return -1;
    }
};

class PseudoFixtures : public PseudoNormal, public ::testing::WithParamInterface<std::string> {};

TEST_P(PseudoFixtures, SearchSelectsTheTranslationAndRenormalises) {
    use(GetParam());
    ASSERT_EQ(run(data_lines(job), {"pseu"}), 0) << listing();

    EXPECT_TRUE(listed(" " + std::string(31, ' ') + "h= 2n class has been selected as the most probable one;"));
    EXPECT_EQ(CPSEUD.I(cpseud::kClass), 2);
    EXPECT_EQ(SYM.R(symw::kEquivalents), 2.0f);  // two rotations in both groups

    // The fraction of the scattering power in pseudo-translation, against
    // the structure's own: 1 - q over the weak reflections.
    const auto recs = list7();
    double qsum = 0;
    int n = 0;
    double s2max = 0;
    for (const List7Record& r : recs) {
        const double s2 = job.s2(r.h, r.k, r.l);
        s2max = std::max(s2max, s2);
        if (r.h % 2 == 0) continue;
        qsum += job.q_at(s2);
        ++n;
    }
    const int want = static_cast<int>(100.0 * (1.0 - qsum / n));
    EXPECT_NEAR(row_percent(), want, 5);

    // List 19: the condition of class 2 and the fitted line of q.
    ASSERT_TRUE(stored(19));
    int ic[12] = {};
    float slope = -1, intercept = -1;
    SFL19(ic, slope, intercept);
    const int cond[12] = {1, 0, 0, 2, 1, 1, 1, 1, 1, 1, 1, 1};
    for (int w = 0; w < 12; ++w) EXPECT_EQ(ic[w], cond[w]) << w;
    EXPECT_GE(slope, 0.0f);
    for (double f : {0.4, 0.6, 0.8})
        EXPECT_NEAR(slope * f * s2max + intercept, job.q_at(f * s2max), 0.07) << "q at s^2 = " << f * s2max;
    EXPECT_EQ(stored_conditions(), 1);

    // The renormalised E values: both classes average 1.
    const Means m = class_means(list7());
    EXPECT_NEAR(m.odd, 1.0, 0.1);
    EXPECT_NEAR(m.even, 1.0, 0.1);
    EXPECT_TRUE(listed("pseudo-translation statistic after renormalization"));

    // Such a list 7 is not normalised again.
    queue({{1, {}}}, "");
    EXPECT_EQ(dispatch(1), -1);
    EXPECT_TRUE(listed(" *** error ***  PARTIAL or PSEUDO have been used"));
}

INSTANTIATE_TEST_SUITE_P(Structures, PseudoFixtures, ::testing::Values("pbar1", "p21"));

TEST_F(PseudoNormal, WithoutRequestThePseudoTranslationIsOnlyReported) {
    use("pbar1");
    ASSERT_EQ(run(data_lines(job), {}), 0) << listing();
    EXPECT_TRUE(listed(std::string(20, ' ') +
                       "*** pseudotranslational symmetry will be neglected in subsequent steps ***"));
    EXPECT_GT(row_percent(), 60);
    EXPECT_EQ(CPSEUD.I(cpseud::kClass), -1);
    EXPECT_FALSE(stored(19));
    EXPECT_EQ(stored_conditions(), 0);
    // The weak class keeps its weak intensities: the E values are the
    // plain normalised ones.
    const Means m = class_means(list7());
    EXPECT_NEAR(m.odd, 0.32, 0.08);
    EXPECT_NEAR(m.even, 2.0 - m.odd, 0.1);
    EXPECT_FALSE(listed("pseudo-translation statistic after renormalization"));
}

struct Request {
    const char* name;
    std::string directive;
    bool selected;
    std::array<int, 12> conditions;
};
void PrintTo(const Request& rq, std::ostream* os) { *os << rq.name; }

class PseudoRequests : public PseudoNormal, public ::testing::WithParamInterface<Request> {};

TEST_P(PseudoRequests, RequestedClassIsEvaluatedAlone) {
    const Request& rq = GetParam();
    use("pbar1");
    ASSERT_EQ(run(data_lines(job), {rq.directive}), 0) << listing();
    EXPECT_FALSE(listed("*** program searched for pseudo-translational symmetry ***"));
    EXPECT_EQ(stored(19), rq.selected);
    EXPECT_EQ(stored_conditions(), rq.selected ? 1 : 0);
    if (!rq.selected) {
        EXPECT_TRUE(listed("***  no pseudo-translational symmetry has been found   ***"));
        EXPECT_EQ(CPSEUD.I(cpseud::kClass), -1);
        return;
    }
    EXPECT_EQ(CPSEUD.I(cpseud::kClass), 73);
    int ic[12] = {};
    float slope = 0, intercept = 0;
    SFL19(ic, slope, intercept);
    for (int w = 0; w < 12; ++w) EXPECT_EQ(ic[w], rq.conditions[static_cast<std::size_t>(w)]) << w;
    EXPECT_GT(row_percent(), 60);
    EXPECT_TRUE(listed(" 73) 1h+0k+0l= 2"));  // the class in the statistic
    const Means m = class_means(list7());
    EXPECT_NEAR(m.odd, 1.0, 0.1);
}

INSTANTIATE_TEST_SUITE_P(
    Directives, PseudoRequests,
    ::testing::Values(Request{"class_2", "pseu 2", true, {1, 0, 0, 2, 1, 1, 1, 1, 1, 1, 1, 1}},
                      Request{"user_condition", "pseu 1 0 0 2", true, {1, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0}},
                      Request{"class_5_not_present", "pseu 5", false, {}},
                      Request{"class_9_not_present", "pseu 9", false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// --- The test jobs ------------------------------------------------------------

std::vector<std::string> job_data_directives(const std::string& job) { return test_job_data_directives(job); }

// The jobs of random atoms have no pseudo-translation: the search reports
// none, and asking for it changes no E value.
class PseudoNone : public NormalRun, public ::testing::WithParamInterface<std::string> {};

TEST_P(PseudoNone, RandomStructuresHaveNoPseudoTranslation) {
    const std::string name = GetParam();
    std::filesystem::copy_file(jobs_dir() + "/" + name + "/data.hkl", dir + "/data.hkl");
    ASSERT_EQ(run(job_data_directives(name), {}), 0) << listing();
    const auto plain = list7();
    ASSERT_EQ(run(job_data_directives(name), {"pseu"}), 0) << listing();
    const auto searched = list7();

    EXPECT_TRUE(listed(std::string(29, ' ') + "***  no pseudo-translational symmetry has been found   ***"));
    EXPECT_FALSE(listed("class has been selected"));
    EXPECT_FALSE(listed("will be neglected"));
    EXPECT_EQ(CPSEUD.I(cpseud::kClass), -1);
    EXPECT_FALSE(stored(19));
    EXPECT_EQ(stored_conditions(), 0);
    ASSERT_EQ(plain.size(), searched.size());
    for (std::size_t j = 0; j < plain.size(); ++j) {
        EXPECT_EQ(plain[j].key, searched[j].key) << j;
        EXPECT_TRUE(plain[j].h == searched[j].h && plain[j].k == searched[j].k && plain[j].l == searched[j].l) << j;
    }
}

INSTANTIATE_TEST_SUITE_P(Jobs, PseudoNone,
                         ::testing::Values("rand_p212121_c20o4", "rand_p21c_c18n2o4", "rand_pbar1_c14o2"));

// In the iron chloride structure (R -3 c) the iron atoms sit at (0,0,0) and
// (0,0,1/2) (site 6b): they repeat under c/2, and carry about 30 % of the
// scattering power over the data's resolution (IT92 form factors of Fe
// against the whole content). Without a request the class l = 2n is
// reported and neglected: list 7 is normalised as usual.
class PseudoIron : public NormalRun, public ::testing::WithParamInterface<std::string> {};

TEST_P(PseudoIron, IronSubstructureIsReportedAndNeglected) {
    const std::string name = GetParam();
    std::filesystem::copy_file(jobs_dir() + "/" + name + "/data.hkl", dir + "/data.hkl");
    ASSERT_EQ(run(job_data_directives(name), {}), 0) << listing();
    int percent = -1;
    for (const std::string& l : lines())
        if (l.rfind(" " + std::string(31, ' ') + "l= 2n   ", 0) == 0) percent = std::stoi(l.substr(l.size() - 7, 5));
    EXPECT_GE(percent, 25);
    EXPECT_LE(percent, 45);
    EXPECT_TRUE(listed(std::string(20, ' ') +
                       "*** pseudotranslational symmetry will be neglected in subsequent steps ***"));
    EXPECT_EQ(CPSEUD.I(cpseud::kClass), -1);
    EXPECT_FALSE(stored(19));
    EXPECT_EQ(stored_conditions(), 0);
}

INSTANTIATE_TEST_SUITE_P(Jobs, PseudoIron, ::testing::Values("fecl_r3c_measured", "fecl_r3c_synth"));

}  // namespace
