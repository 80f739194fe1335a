// %normal run in-process after %data: the test jobs against an independent
// normalisation of their amplitudes, measured-data cases (missing, generated
// and zero reflections, no sigmas), the directives and the failures.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <ostream>
#include <random>
#include <sstream>
#include <tuple>

#include "crystaldata/evalues.h"
#include "tests/crystaldata/test_normal_fixture.h"

using namespace zanek;
using namespace zanek::test;

namespace {

// --- The independent reference (fixtures/normal_reference.txt) -----------

struct Reference {
    double b = 0, wilson_scale = 0, e_scale = 0;
    std::map<std::string, double> mean_dev;  // all, centric, acentric
    std::map<std::tuple<int, int, int>, double> e;
};

const std::map<std::string, Reference>& references() {
    static std::map<std::string, Reference> refs = [] {
        std::map<std::string, Reference> m;
        std::ifstream f(source_dir() + "/tests/crystaldata/fixtures/normal_reference.txt");
        std::string line, job;
        while (std::getline(f, line)) {
            std::istringstream is(line);
            std::string tag;
            is >> tag;
            if (tag == "job") {
                is >> job;
                is >> m[job].b >> m[job].wilson_scale >> m[job].e_scale;
            } else if (tag == "stat") {
                std::string group;
                int n = 0;
                double v = 0;
                is >> group >> n >> v;
                m[job].mean_dev[group] = v;
            } else if (tag == "e") {
                int h, k, l, c;
                double e;
                is >> h >> k >> l >> e >> c;
                m[job].e[{h, k, l}] = e;
            }
        }
        return m;
    }();
    return refs;
}

// The %data directive lines of a test job's command file.
std::vector<std::string> data_directives(const std::string& job) { return test_job_data_directives(job); }

// The reference E of a list-7 reflection: the reference keeps the indices
// of the input, list 7 those of the standard equivalent, so every symmetry
// image (and its Friedel mate) is looked up.
bool reference_e(const Reference& ref, const NormalL7& r, double& e) {
    const int n = SYM.I(symw::kOps) * (1 + SYM.I(symw::kCentric));
    const int hv[3] = {r.h, r.k, r.l};
    for (int k = 1; k <= n; ++k) {
        int hp[3] = {0, 0, 0};
        for (int j = 1; j <= 3; ++j)
            for (int i = 1; i <= 3; ++i) hp[j - 1] += hv[i - 1] * erl_R(k, i, j);
        for (int sgn : {1, -1}) {
            auto it = ref.e.find({sgn * hp[0], sgn * hp[1], sgn * hp[2]});
            if (it != ref.e.end()) {
                e = it->second;
                return true;
            }
        }
    }
    return false;
}

// Statistical allowance for a mean of |E^2 - 1| over n reflections: three
// standard errors (sd of |z - 1| is 1.03 centric, 0.68 acentric), at least 0.03.
double allowance(bool centric, int n) { return std::max(0.03, 3.0 * (centric ? 1.03 : 0.68) / std::sqrt(n)); }

// --- Synthetic P1 data with Wilson statistics -----------------------------

struct Synthetic {
    double b = 2.5;
    // Fraction of the weakest intensities that were not measured (too weak
    // to be seen) at high resolution, and at low resolution.
    double missing_high = 0.0;
    double missing_low = 0.0;
    bool zero_weak = false;     // the weakest reported as 0.0
};

// Scattering power of the content c20 o4 from the four-Gaussian form
// factors of International Tables (vol. C, table 6.1.1.4).
double content_power(double s2) {
    auto f = [&](const double a[4], const double b[4], double c) {
        double v = c;
        for (int i = 0; i < 4; ++i) v += a[i] * std::exp(-b[i] * s2);
        return v;
    };
    const double ac[4] = {2.31, 1.02, 1.5886, 0.865}, bc[4] = {20.8439, 10.2075, 0.5687, 51.6512};
    const double ao[4] = {3.0485, 2.2868, 1.5463, 0.867}, bo[4] = {13.2771, 5.7011, 0.3239, 32.9089};
    const double fc = f(ac, bc, 0.2156), fo = f(ao, bo, 0.2508);
    return 20.0 * fc * fc + 4.0 * fo * fo;
}

// Reflections of the hemisphere h >= 0 of a 10 x 11 x 12 cell up to
// s^2 = 0.25, Fo^2 = Sigma(s) exp(-2 B s^2) z / 5 with z from the acentric
// distribution, in the default format.
std::string synthetic_hkl(const Synthetic& p, int& count) {
    std::mt19937 gen(12345);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::string out;
    count = 0;
    for (int h = 0; h <= 10; ++h)
        for (int k = -11; k <= 11; ++k)
            for (int l = -12; l <= 12; ++l) {
                if (h == 0 && (k < 0 || (k == 0 && l <= 0))) continue;
                double s2 = (h * h / 100.0 + k * k / 121.0 + l * l / 144.0) / 4.0;
                if (s2 > 0.25) continue;
                double z = -std::log(1.0 - u(gen));
                // z below -ln(1 - f) is the weakest fraction f of the acentric distribution.
                double f = s2 > 0.15 ? p.missing_high : p.missing_low;
                if (z < -std::log(1.0 - f)) continue;
                double fo = std::sqrt(content_power(s2) * z * std::exp(-2.0 * p.b * s2) / 5.0);
                if (p.zero_weak && z < 0.05) fo = 0.0;
                out += refl_line(h, k, l, fo, 0.3 + 0.05 * fo);
                ++count;
            }
    return out + refl_line(0, 0, 0, 0, 0);
}

}  // namespace

// --- The test jobs against the reference ----------------------------------

class NormalReferenceJobs : public NormalRun, public ::testing::WithParamInterface<std::string> {};

TEST_P(NormalReferenceJobs, AgreesWithAnIndependentNormalisation) {
    const std::string job = GetParam();
    const Reference& ref = references().at(job);
    std::filesystem::copy_file(jobs_dir() + "/" + job + "/data.hkl", dir + "/data.hkl");
    ASSERT_EQ(run(data_directives(job), {}), 0) << listing();

    // Wilson plot: B, the scale of the line, and the scale of the E values.
    EXPECT_NEAR(C.R(cw::kB), ref.b, 0.5);
    const double wilson_scale = std::exp(-C.R(cw::kIntercept));
    EXPECT_NEAR(wilson_scale / ref.wilson_scale, 1.0, 0.15);
    EXPECT_NEAR(wilson_scale * C.R(cw::kScale) / ref.e_scale, 1.0, 0.15);

    auto recs = list7();
    ASSERT_EQ(recs.size(), ref.e.size());
    double sum_dev = 0, sum_w = 0, sum_diff = 0;
    double dev[2] = {0, 0}, wgt[2] = {0, 0};
    int count[2] = {0, 0};
    for (std::size_t j = 0; j < recs.size(); ++j) {
        const NormalL7& r = recs[j];
        ASSERT_TRUE(std::isfinite(r.key));
        if (j > 0) {
            EXPECT_LE(r.key, recs[j - 1].key) << "list 7 is in decreasing order of E";
        }
        double e_ref = 0.0;
        ASSERT_TRUE(reference_e(ref, r, e_ref)) << r.h << " " << r.k << " " << r.l;
        sum_diff += std::fabs(r.key - e_ref);
        int q = 0, eps = 0;
        multiplicity_epsilon(r.h, r.k, r.l, q, eps);
        const double d = std::fabs(double(r.key) * r.key - 1.0);
        const int c = r.restriction() == 1 ? 0 : 1;  // general phase: acentric
        sum_dev += q * d;
        sum_w += q;
        dev[c] += q * d;
        wgt[c] += q;
        ++count[c];
    }
    EXPECT_LT(sum_diff / recs.size(), 0.03) << "mean |E - E(reference)|";
    EXPECT_NEAR(sum_dev / sum_w, ref.mean_dev.at("all"), 0.03);
    const double theory[2] = {0.736, 0.968};
    for (int c = 0; c < 2; ++c) {
        if (count[c] < 100) continue;
        EXPECT_NEAR(dev[c] / wgt[c], theory[c], allowance(c == 1, count[c])) << (c ? "centric" : "acentric");
    }
    EXPECT_TRUE(listed("***   final statistics section   ***"));
    EXPECT_TRUE(listed("  largest E-values to phase"));
}

INSTANTIATE_TEST_SUITE_P(Jobs, NormalReferenceJobs,
                         ::testing::Values("fecl_r3c_measured", "fecl_r3c_synth", "rand_p212121_c20o4",
                                           "rand_p21c_c18n2o4", "rand_pbar1_c14o2"));

// --- Measured-data cases ----------------------------------------------------

TEST_F(NormalRun, MissingReflectionsAreGeneratedAndKeepANegativeSigma) {
    Synthetic p;
    p.missing_high = 0.3;
    p.missing_low = 0.02;
    int n = 0;
    std::string hkl = synthetic_hkl(p, n);
    ASSERT_EQ(run(with_lines(p1_data(), {"gene"}), {}, hkl), 0) << listing();
    auto recs = list7();
    int generated = 0;
    for (const NormalL7& r : recs) {
        ASSERT_TRUE(std::isfinite(r.key) && std::isfinite(r.sigma));
        if (r.sigma < 0.0f || std::signbit(r.sigma)) {
            ++generated;
            EXPECT_LT(r.sigma, 0.0f) << "a generated reflection never carries -0.0";
            EXPECT_EQ(r.fo, 0.0f);
            EXPECT_GT(r.key, 0.0f);
        }
    }
    EXPECT_GT(generated, 100);
    // The shells with many missing reflections are corrected.
    EXPECT_TRUE(listed(" shell   no   nu   nu/nt    zmax    zmed   sigma "));
    EXPECT_NEAR(C.R(cw::kB), p.b, 0.5);
}

TEST_F(NormalRun, NoSigmasStillNormalise) {
    int n = 0;
    std::string hkl = synthetic_hkl(Synthetic{}, n);
    ASSERT_EQ(run(with_lines(p1_data(), {"nosi"}), {}, hkl), 0) << listing();
    EXPECT_FALSE(listed("param * sigma(F)"));
    EXPECT_TRUE(listed("number and percentage of  F's > limit "));
    EXPECT_TRUE(listed("  code  h  k  l   E     fo/sig.  code"));
    auto recs = list7();
    ASSERT_EQ(static_cast<int>(recs.size()), n);
    for (const NormalL7& r : recs) ASSERT_TRUE(std::isfinite(r.key));
    EXPECT_NEAR(C.R(cw::kB), 2.5, 0.5);
}

TEST_F(NormalRun, ZeroAmplitudesAmongMeasuredOnes) {
    Synthetic p;
    p.zero_weak = true;
    int n = 0;
    std::string hkl = synthetic_hkl(p, n);
    ASSERT_EQ(run(p1_data(), {"nref 100", "nzro 20"}, hkl), 0) << listing();
    auto recs = list7();
    ASSERT_EQ(static_cast<int>(recs.size()), n);
    EXPECT_EQ(recs.back().key, 0.0f);
    EXPECT_EQ(RC.I(rcw::kNref), 100);
    EXPECT_EQ(RC.I(rcw::kNzro), 20);
    // The weak list is the end of list 7.
    EXPECT_TRUE(listed("    20  smallest E-values for psi0 and negative quartets"));
    EXPECT_TRUE(listed(' ' + std::to_string(n)));
}

TEST_F(NormalRun, WithoutListsTheCommandFails) {
    EXPECT_EQ(run_normal_only({}), -1);
    EXPECT_TRUE(listed("\n *** error *** no cell parameters present \n"));
    EXPECT_TRUE(listed("\n *** error *** no space group symbol present \n"));
    EXPECT_TRUE(listed("\n *** error *** no cell content present \n"));
    EXPECT_TRUE(listed("\n *** error *** no reflections  present \n"));
}

TEST_F(NormalRun, EarlierPseudoTranslationRefusesANewRun) {
    int n = 0;
    ASSERT_EQ(run(p1_data(), {}, synthetic_hkl(Synthetic{}, n)), 0);
    // A list 7 that records pseudo-translation conditions.
    auto recs = list7();
    std::vector<std::array<Word, 6>> raw(recs.size());
    for (std::size_t j = 0; j < recs.size(); ++j) {
        raw[j][0].i = compact_index(recs[j].h, recs[j].k, recs[j].l);
        raw[j][1].r = recs[j].key;
        raw[j][2].r = recs[j].fo;
        raw[j][3].r = 0.0f;
        raw[j][4].i = recs[j].phase_word;
        raw[j][5].r = recs[j].sigma;
    }
    write_list7(raw, 1, 67543);
    queue({{1, {}}}, "");
    EXPECT_EQ(dispatch(1), -1);
    EXPECT_TRUE(listed(" *** error ***  PARTIAL or PSEUDO have been used\n"
                       "                in a previous run of ZAN.       \n"
                       "                Restart from %DATA.             \n"));
}

// --- Bad input: a clear message, a failed command, list 7 untouched --------

namespace {

struct BadInput {
    const char* name;
    std::vector<std::string> normal;
    std::string hkl;
    bool all_generated;  // list 7 rewritten so that every reflection is generated
    const char* message;
};
void PrintTo(const BadInput& c, std::ostream* os) { *os << c.name; }

}  // namespace

class NormalBadInput : public NormalRun, public ::testing::WithParamInterface<BadInput> {};

TEST_P(NormalBadInput, FailsWithAMessageAndKeepsList7) {
    const BadInput& c = GetParam();
    queue({{23, p1_data("p 1", "10 10 10 90 90 90")}, {1, c.normal}}, c.hkl);
    ASSERT_EQ(dispatch(1), 0) << listing();
    if (c.all_generated) {
        auto recs = list7();
        std::vector<std::array<Word, 6>> raw(recs.size());
        for (std::size_t j = 0; j < recs.size(); ++j) {
            raw[j][0].i = compact_index(recs[j].h, recs[j].k, recs[j].l);
            raw[j][1].r = recs[j].key;
            raw[j][2].r = 0.0f;
            raw[j][3].r = 0.0f;
            raw[j][4].i = recs[j].phase_word;
            raw[j][5].r = -1.0f;
        }
        write_list7(raw, 0, 67543);
        XLIMI.I(xlimi::kListBase) = 1;
        C.R(cw::kScale) = -99.9f;
    }
    auto before = list7();
    EXPECT_EQ(dispatch(2), -1);
    EXPECT_TRUE(listed(c.message)) << listing();
    auto after = list7();
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t j = 0; j < after.size(); ++j) {
        EXPECT_EQ(after[j].key, before[j].key);
        EXPECT_FALSE(std::isnan(after[j].fo) || std::isnan(after[j].sigma));
    }
}

namespace {

std::string lines_of(std::initializer_list<std::tuple<int, int, int, double>> rows) {
    std::string s;
    for (auto [h, k, l, fo] : rows) s += refl_line(h, k, l, fo, 1.5);
    return s + refl_line(0, 0, 0, 0, 0);
}

// All reflections of the P 1 hemisphere with h^2 + k^2 + l^2 = 14 (one
// resolution in a cubic cell).
std::string one_shell() {
    std::string s;
    int i = 0;
    for (int h = 0; h <= 3; ++h)
        for (int k = -3; k <= 3; ++k)
            for (int l = -3; l <= 3; ++l) {
                if (h * h + k * k + l * l != 14) continue;
                if (h == 0 && (k < 0 || (k == 0 && l < 0))) continue;
                s += refl_line(h, k, l, 10.0 + 3.0 * (i++ % 5), 1.0);
            }
    return s + refl_line(0, 0, 0, 0, 0);
}

std::string zeros() {
    std::string s;
    for (int h = 1; h <= 6; ++h)
        for (int k = 0; k <= 5; ++k) s += refl_line(h, k, h % 3, 0.0, 1.0);
    return s + refl_line(0, 0, 0, 0, 0);
}

const char* const kWilsonError = " ***  Wilson-plot procedure in error  ***\n ***         Check reflections        ***";

}  // namespace

INSTANTIATE_TEST_SUITE_P(
    Cases, NormalBadInput,
    ::testing::Values(
        BadInput{"few_reflections", {}, lines_of({{1, 0, 0, 50.0}, {2, 3, 1, 20.0}, {4, 1, 2, 9.0}}), false,
                 kWilsonError},
        BadInput{"all_zero_amplitudes", {}, zeros(), false, kWilsonError},
        BadInput{"all_zero_with_bfac", {"bfac 2.0"}, zeros(), false,
                 " *** error *** no reflection with a measurable intensity"},
        BadInput{"single_resolution_shell", {}, one_shell(), false, kWilsonError},
        BadInput{"all_generated", {}, zeros(), true, kWilsonError},
        BadInput{"all_generated_with_bfac", {"bfac 3"}, one_shell(), true,
                 " *** error *** no reflection with a measurable intensity"},
        BadInput{"directive_two_numbers", {"nref 100 200"}, one_shell(), false,
                 " error in directive : nref 100 200"},
        BadInput{"directive_bfac_without_number", {"bfac"}, one_shell(), false, " error in directive : bfac"},
        BadInput{"directive_not_a_number", {"nzro many"}, one_shell(), false, " error in directive : nzro many"},
        BadInput{"directive_pseu_without_modulus", {"pseu 0 0 0 0"}, one_shell(), false,
                 " error in directive : pseu 0 0 0 0"},
        BadInput{"directive_unknown", {"prin 1", "wilson"}, one_shell(), false,
                 " wrong directive on following line:\nwilson"}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Directives -----------------------------------------------------------

TEST_F(NormalRun, PseudoTranslationRequests) {
    int n = 0;
    std::string hkl = synthetic_hkl(Synthetic{}, n);
    struct Case {
        std::string line;
        int conditions;
    } cases[] = {{"pseu", 0}, {"pseu 73", 0}, {"pseu 1", 0}, {"pseu 5", 0}, {"pseu 1 0 0 2 0 1 0 0", 1}};
    queue({{23, p1_data()}}, hkl);
    ASSERT_EQ(dispatch(1), 0);
    for (const Case& c : cases) {
        queue({{1, {c.line, "prin 1"}}}, "");
        ASSERT_EQ(dispatch(1), 0) << c.line;
        // These data have no pseudo-translation: whatever the request, no
        // class is taken as prior information (the requests themselves are
        // tested with the pseudo-translation section).
        EXPECT_EQ(CPSEUD.I(cpseud::kClass), -1) << c.line;
        EXPECT_EQ(CPSEUD.I(cpseud::kWithModulus), c.conditions) << c.line;
    }
    EXPECT_TRUE(listed("least squares plot"));
    EXPECT_TRUE(listed("0normal equations"));
}

TEST_F(NormalRun, WeakListNeverSkipsBackwards) {
    int n = 0;
    ASSERT_EQ(run(p1_data(), {}, synthetic_hkl(Synthetic{}, n)), 0);
    const std::size_t mark = listing().size();
    // Extracts that overlap: the weak list runs from record n-1 to the end.
    OUT90(n, n - 2, 50);
    std::string tail = listing().substr(mark);
    EXPECT_NE(tail.find("    50  smallest E-values"), std::string::npos);
    auto ls = split_lines(tail.substr(tail.find("smallest")));
    ASSERT_GE(ls.size(), 4u);
    EXPECT_EQ(ls[3].substr(1, 5), fmt_i(n - 1, 5));
    EXPECT_EQ(ls.size(), 4u);
}

TEST_F(NormalRun, KnownFragmentAtomsAreReadAndTheRunGoesOn) {
    int n = 0;
    std::string hkl = synthetic_hkl(Synthetic{}, n);
    ASSERT_EQ(run(p1_data(), {"part", "c 0.1 0.2 0.3", "o 0.2 0.3 0.4 0.5", "nref 50"}, hkl), 0) << listing();
    EXPECT_EQ(ATOMS.I(atomsw::kFragments), 1);
    EXPECT_EQ(atomsw::fragment_atoms(1), 2);
    EXPECT_FLOAT_EQ(atom_coord(2, 4), 0.5f);
    EXPECT_EQ(RC.I(rcw::kNref), 50);
    // A list 7 that took a fragment is not normalised again: the bad atom
    // line is read on fresh data.
    queue({{23, p1_data()}, {1, {"part", "c 0.1 x 0.3"}}}, hkl);
    ASSERT_EQ(dispatch(1), 0);
    EXPECT_EQ(dispatch(2), -1);
    EXPECT_TRUE(listed(" error in directive : c 0.1 x 0.3"));
}

// --- The program itself ----------------------------------------------------

TEST(NormalProgram, DataAndNormalOnATestJob) {
    const std::string job = "rand_pbar1_c14o2";
    std::string dir = fresh_dir("normal_program_job");
    std::filesystem::copy_file(jobs_dir() + "/" + job + "/data.hkl", dir + "/data.hkl");
    std::string cmd = "%job " + job + "\n%nowindow\n%data\n";
    for (const std::string& l : data_directives(job)) cmd += l + "\n";
    cmd += "%normal\nprin 1\n%end\n";
    RunResult r = run_zanek(dir, cmd);
    EXPECT_EQ(r.exit_code, 0) << r.output;
    EXPECT_NE(r.listing.find(" ZANEK : Normalization routine"), std::string::npos);
    EXPECT_NE(r.listing.find("least squares plot"), std::string::npos);
    EXPECT_NE(r.listing.find("  largest E-values to phase"), std::string::npos);
    EXPECT_NE(r.listing.find(" == ZANEK ends ok"), std::string::npos);
}

TEST(NormalProgram, NoReflectionsFailsTheCommandInsteadOfStopping) {
    std::string dir = fresh_dir("normal_program_no_list7");
    RunResult r = run_zanek(dir, "%job empty\n%normal\n%end\n");
    EXPECT_NE(r.exit_code, 0);
    EXPECT_NE(r.listing.find("\n *** error *** no reflections  present \n"), std::string::npos) << r.listing;
    EXPECT_NE(r.listing.find(" == ZANEK ends in error"), std::string::npos);
    EXPECT_EQ(r.listing.find("stored"), std::string::npos);  // no stop of the list reader
}
