// Map coefficients: the expansion over the symmetry operators (every
// equivalent written once, in the hemisphere, with the value an independent
// structure-factor sum gives it), the grid rule, the choice of the phase
// set of list 16, the amplitude threshold of recycling maps and the
// recycling stop rule.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <map>
#include <set>
#include <tuple>
#include <vector>

#include "crystaldata/equivalents.h"
#include "fourier/fourier_records.h"
#include "fourier/maps/coefficients.h"
#include "jobcontrol/files.h"
#include "jobcontrol/records/job.h"
#include "platform/units.h"
#include "tests/fourier/test_fourier_command_fixture.h"

namespace zanek {
namespace {

using test::TestStructure;

// P 61 with three atoms: non-orthogonal rotations and translations of 1/6.
TestStructure p61_structure() {
    TestStructure s;
    s.a = s.b = 9.0;
    s.c = 12.0;
    s.alpha = s.beta = 90.0;
    s.gamma = 120.0;
    s.cell = "cell 9 9 12 90 90 120";
    s.group = "spac p 61";
    s.content = "cont fe 6 cl 6 o 6";
    s.ops = {test::op({1, 0, 0, 0, 1, 0, 0, 0, 1}, 0, 0, 0),         test::op({0, -1, 0, 1, -1, 0, 0, 0, 1}, 0, 0, 1.0 / 3),
             test::op({-1, 1, 0, -1, 0, 0, 0, 0, 1}, 0, 0, 2.0 / 3), test::op({-1, 0, 0, 0, -1, 0, 0, 0, 1}, 0, 0, 0.5),
             test::op({0, 1, 0, -1, 1, 0, 0, 0, 1}, 0, 0, 5.0 / 6),  test::op({1, -1, 0, 1, 0, 0, 0, 0, 1}, 0, 0, 1.0 / 6)};
    s.atoms = {{"fe", 26, 0.13, 0.27, 0.05}, {"cl", 17, 0.41, 0.08, 0.21}, {"o", 8, 0.33, 0.45, 0.37}};
    return s;
}

class Coefficients : public test::MapJob {
protected:
    void open_scratch() {
        int st = 0;
        ASSERT_FALSE(JOPEN(UNIT.I(unitw::kSequentialScratch), "", 0, 1, 2, st));
        ASSERT_FALSE(JOPEN(UNIT.I(unitw::kIfour), "", 0, 1, 2, st));
    }
    void TearDown() override {
        units().close(UNIT.I(unitw::kSequentialScratch));
        units().close(UNIT.I(unitw::kIfour));
        MapJob::TearDown();
    }

    struct Entry {
        int h, k, l;
        float a, b;
    };
    std::vector<Entry> read_coefficients() {
        std::vector<Entry> out;
        const int jrel = UNIT.I(unitw::kSequentialScratch);
        units().rewind(jrel);
        const int n = CONST.I(konst::kCoefficients);
        std::vector<Word> rec;
        for (int e = 0; e < n; ++e) {
            if (e % coef::kPerRecord == 0) { EXPECT_EQ(units().read_record(jrel, rec), IO_OK); }
            const int i = e % coef::kPerRecord;
            const int32_t b = rec[static_cast<std::size_t>(i)].i;
            out.push_back({b / 262144 - 256, (b % 262144) / 512 - 256, b % 512 - 256,
                           rec[static_cast<std::size_t>(coef::kPerRecord + 2 * i)].r,
                           rec[static_cast<std::size_t>(coef::kPerRecord + 2 * i + 1)].r});
        }
        return out;
    }

    // Stages the given reflections with their structure factors as A1, A2
    // and expands them on a grid of n points along every axis.
    std::vector<Entry> expand(const std::vector<std::array<int, 3>>& hkls, int grid) {
        int flag = 0, nref = 0;
        UREQ1.I(ureq1::kMapKind) = 0;
        INPTF(flag, nref);
        for (std::size_t i = 0; i < hkls.size(); ++i) {
            const auto& h = hkls[i];
            const std::complex<double> f = test::structure_factor(structure, h[0], h[1], h[2]);
            const int r = static_cast<int>(i) + 1;
            stage::P(r) = packed_index(h[0], h[1], h[2]);
            stage::A1(r) = static_cast<float>(f.real());
            stage::A2(r) = static_cast<float>(f.imag());
        }
        for (int a = 0; a < 3; ++a) CONST.I(konst::kNx + a) = grid;
        open_scratch();
        expand_to_hemisphere(static_cast<int>(hkls.size()), 0, 0);
        return read_coefficients();
    }
};

std::vector<std::array<int, 3>> some_reflections() {
    std::vector<std::array<int, 3>> v;
    for (int h = 0; h <= 3; ++h)
        for (int k = -3; k <= 3; ++k)
            for (int l = -3; l <= 3; ++l)
                if (h > 0 || k > 0 || (k == 0 && l >= 0)) v.push_back({h, k, l});
    return v;
}

TEST_F(Coefficients, EveryEquivalentCarriesItsOwnStructureFactor) {
    for (const TestStructure& s : {test::p212121_structure(), test::p21c_structure(), p61_structure()}) {
        prepare(s, 1.5);
        const auto input = some_reflections();
        const auto entries = expand(input, 32);
        ASSERT_FALSE(entries.empty());
        double scale = 0;
        for (const Entry& e : entries) scale = std::max(scale, std::abs(test::structure_factor(structure, e.h, e.k, e.l)));
        int bad = 0;
        for (const Entry& e : entries) {
            // Every stored index lies in the hemisphere.
            EXPECT_TRUE(e.l > 0 || (e.l == 0 && e.h > 0) || (e.l == 0 && e.h == 0 && e.k >= 0)) << s.group;
            const std::complex<double> f = test::structure_factor(structure, e.h, e.k, e.l);
            if (std::abs(f - std::complex<double>(e.a, e.b)) > 1e-4 * scale && bad++ < 5)
                ADD_FAILURE() << s.group << " (" << e.h << " " << e.k << " " << e.l << "): " << e.a << " " << e.b
                              << " want " << f;
        }
        // Each reflection gives each of its distinct equivalents once: count
        // them independently from the general positions (rotations only).
        std::size_t want = 0;
        for (const auto& h : input) {
            std::set<std::tuple<int, int, int>> images;
            for (const test::TestOp& o : structure.ops) {
                int hp[3];
                for (int c = 0; c < 3; ++c) hp[c] = h[0] * o.r[0][c] + h[1] * o.r[1][c] + h[2] * o.r[2][c];
                const bool flip = hp[2] < 0 || (hp[2] == 0 && (hp[0] < 0 || (hp[0] == 0 && hp[1] < 0)));
                if (flip)
                    for (int& v : hp) v = -v;
                images.insert({hp[0], hp[1], hp[2]});
            }
            want += images.size();
        }
        EXPECT_EQ(entries.size(), want) << s.group;
        TearDown();
        SetUp();
    }
}

TEST_F(Coefficients, CoincidingEquivalentsAreWrittenOnceAndOriginKeepsItsSign) {
    prepare(test::p212121_structure(), 1.5);
    const auto entries = expand({{2, 0, 0}, {0, 0, 0}, {0, 3, 0}}, 32);
    // h00 is its own image under the two-fold along a and the Friedel mate of
    // the others' images; 000 is stored as it is.
    std::map<std::tuple<int, int, int>, int> count;
    for (const Entry& e : entries) ++count[{e.h, e.k, e.l}];
    EXPECT_EQ(count.size(), 3u);
    EXPECT_EQ((count[{2, 0, 0}]), 1);
    EXPECT_EQ((count[{0, 0, 0}]), 1);
    EXPECT_EQ((count[{0, 3, 0}]), 1);
}

TEST_F(Coefficients, EquivalentsBeyondHalfTheGridAreLeftOut) {
    prepare(test::p21c_structure(), 1.5);
    const auto entries = expand(some_reflections(), 6);  // |index| must stay below 3
    ASSERT_FALSE(entries.empty());
    for (const Entry& e : entries) {
        EXPECT_LT(std::abs(e.h), 3);
        EXPECT_LT(std::abs(e.k), 3);
        EXPECT_LT(std::abs(e.l), 3);
    }
}

TEST(Grid, PointsHaveNoPrimeAbove5TheThirdIsEvenAndXAtMost150) {
    struct Case {
        float cell[3], grid;
        int want[3];
        float want_grid;
    };
    const std::vector<Case> cases = {
        {{50.0f, 10.0f, 10.0f}, 1.0f / 3, {150, 30, 30}, 1.0f / 3},  // 150 = 2.3.5.5 accepted
        {{50.2f, 10.0f, 10.0f}, 1.0f / 3, {144, 30, 30}, 1.0f / 3 + 0.02f},  // 160 > 150: coarser
        {{10.0f, 10.0f, 15.0f}, 1.0f / 3, {30, 30, 48}, 1.0f / 3},  // 45 -> 46 (2.23) -> 48
        {{7.0f, 11.0f, 13.0f}, 1.0f / 3, {24, 36, 40}, 1.0f / 3},   // 21 (7) -> 24, 33 -> 36, 39 -> 40
    };
    for (const Case& c : cases) {
        float g = c.grid;
        int n[3];
        choose_grid(g, c.cell, n);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(n[i], c.want[i]) << c.cell[0] << " axis " << i;
        EXPECT_NEAR(g, c.want_grid, 1e-5f);
    }
    // Any cell: every count is a product of 2, 3 and 5, the third even, nx <= 150.
    for (float e = 3.0f; e < 80.0f; e += 1.37f) {
        const float cell[3] = {e, e * 1.3f, e * 0.7f};
        float g = 1.0f / 3;
        int n[3];
        choose_grid(g, cell, n);
        EXPECT_LE(n[0], 150);
        EXPECT_EQ(n[2] % 2, 0);
        for (int v : n) {
            for (int d : {2, 3, 5})
                while (v % d == 0) v /= d;
            EXPECT_EQ(v, 1) << e;
        }
    }
}

TEST(StopRule, StepAEndsWhenRFallsLessThanAQuarterPercentStepBWhenRRises) {
    struct Case {
        int icyc, limit, step_b;
        float prev, r;
        StopRule want;
    };
    const std::vector<Case> cases = {
        {5, 4, 0, 0.30f, 0.20f, StopRule::LastCycle},         // cycle limit + 1 always ends
        {3, 100, 0, 0.30f, 0.298f, StopRule::EndStepA},       // d = 0.002: model kept
        {3, 100, 0, 0.30f, 0.31f, StopRule::EndStepARestore}, // R rose: previous model back
        {3, 100, 0, 0.30f, 0.29f, StopRule::Continue},        // d = 0.01
        {9, 100, 3, 0.20f, 0.21f, StopRule::Continue},        // step B: a rise at counter 3 goes on
        {9, 100, 4, 0.20f, 0.21f, StopRule::EndStepB},        // at 4 it stops
        {9, 100, 7, 0.20f, 0.1999f, StopRule::Continue},      // step B goes on while R falls
        {2, 100, 0, 999999.9f, 0.25f, StopRule::Continue},    // first recycling cycle
    };
    for (const Case& c : cases)
        EXPECT_EQ(recycling_stop_rule(c.icyc, c.limit, c.step_b, c.prev, c.r), c.want)
            << c.icyc << " " << c.step_b << " " << c.prev << " " << c.r;
}

class PhaseSetChoice : public Coefficients {
protected:
    int expand_first_map(int request, int& ierr) {
        CONST.I(konst::kSetNumber) = request;
        UREQ1.I(ureq1::kMapKind) = 0;
        UREQ1.I(ureq1::kNoPsiE) = 1;
        CONST.R(konst::kGrid) = 1.0f / 3;
        TRAN.I(tran::kPrintUnit) = 0;
        open_scratch();
        int nrefl = 0;
        float cfom = 0;
        ierr = 0;
        EXPAND(nrefl, 1, cfom, ierr);
        return CONST.I(konst::kSetNumber);
    }
    std::vector<float> stored_cfoms() {
        std::vector<float> a(50);
        std::vector<int32_t> b(50);
        int n = 0;
        YSFL16(a.data(), b.data(), n, 50);
        a.resize(static_cast<std::size_t>(n));
        return a;
    }
};

TEST_F(PhaseSetChoice, BestSetThenTheNextBestLastAndBeforeLast) {
    prepare(test::p212121_structure());
    make_phase_sets({0.5f, 0.9f, 0.7f});
    int ierr = 0;
    EXPECT_EQ(expand_first_map(0, ierr), 2);
    EXPECT_EQ(ierr, 0);
    EXPECT_FLOAT_EQ(MISC.R(misc::kCfom), 0.9f);
    EXPECT_NEAR(stored_cfoms()[1], 0.9f - 100.0f, 1e-4f);  // lowered, so that the next run takes the next best
    EXPECT_EQ(expand_first_map(0, ierr), 3);
    EXPECT_EQ(expand_first_map(konst::kLastSet, ierr), 3);
    EXPECT_EQ(expand_first_map(konst::kSetBeforeLast, ierr), 2);
    EXPECT_EQ(expand_first_map(1, ierr), 1);
    EXPECT_EQ(stored_cfoms().size(), 3u);
}

// The E-map coefficient of a phased reflection is E times the weight its
// phase set gives it, at its phase: every equivalent written carries the
// modulus E w (the operators only turn the phase), and the equivalent of
// the identity is E w exp(i phi), conjugated when it is stored as its
// Friedel mate. Weights of 0.3, 0.6 and 0.9 tell the weight from its
// square or its square root (a weight of 1 would hide them).
TEST_F(PhaseSetChoice, EMapCoefficientsAreETimesTheWeightAtThePhase) {
    prepare(test::p212121_structure());
    const auto refl = list7();
    const int nref = RC.I(rcw::kNref);
    ASSERT_GT(nref, 10);
    PARAM.I(param::kNref) = nref;
    NFRM16(1);
    std::vector<float> w(static_cast<std::size_t>(nref));
    std::vector<int32_t> phi(static_cast<std::size_t>(nref));
    for (int i = 0; i < nref; ++i) {
        w[static_cast<std::size_t>(i)] = 0.3f * static_cast<float>(1 + i % 3);
        phi[static_cast<std::size_t>(i)] = 15 * (1 + (7 * i) % 24);  // phases of the set, not the structure's
    }
    Word fom[11] = {};
    fom[4].r = 0.8f;
    SNW16(1, fom, w.data(), phi.data());
    float cfom[1] = {0.8f};
    int32_t place[1] = {1};
    YSUP16(cfom, place, 1);
    int ierr = 0;
    ASSERT_EQ(expand_first_map(1, ierr), 1);
    ASSERT_EQ(ierr, 0) << listing();

    // In P 21 21 21 every equivalent of (h k l) is (+-h, +-k, +-l).
    std::map<std::tuple<int, int, int>, int> source;
    for (int i = 0; i < nref; ++i) {
        const auto& r = refl[static_cast<std::size_t>(i)];
        source[{std::abs(r.h), std::abs(r.k), std::abs(r.l)}] = i;
    }
    ASSERT_EQ(static_cast<int>(source.size()), nref);
    const auto entries = read_coefficients();
    ASSERT_GE(entries.size(), static_cast<std::size_t>(nref));
    int identities = 0;
    for (const Entry& e : entries) {
        const auto it = source.find({std::abs(e.h), std::abs(e.k), std::abs(e.l)});
        ASSERT_NE(it, source.end()) << e.h << " " << e.k << " " << e.l;
        const int i = it->second;
        const auto& r = refl[static_cast<std::size_t>(i)];
        const double modulus = static_cast<double>(r.key) * w[static_cast<std::size_t>(i)];
        EXPECT_NEAR(std::hypot(e.a, e.b), modulus, 1e-4 * modulus) << e.h << " " << e.k << " " << e.l;
        const int friedel = e.h == -r.h && e.k == -r.k && e.l == -r.l ? -1 : 0;
        if (friedel == 0 && !(e.h == r.h && e.k == r.k && e.l == r.l)) continue;
        ++identities;
        const double p = phi[static_cast<std::size_t>(i)] * M_PI / 180.0;
        EXPECT_NEAR(e.a, modulus * std::cos(p), 1e-4 * modulus);
        EXPECT_NEAR(e.b, (friedel ? -1.0 : 1.0) * modulus * std::sin(p), 1e-4 * modulus);
    }
    EXPECT_GE(identities, nref);
}

TEST_F(PhaseSetChoice, BeforeLastOfASingleSetIsTheBestAndTooHighARequestFails) {
    prepare(test::p212121_structure());
    make_phase_sets({0.6f});
    int ierr = 0;
    EXPECT_EQ(expand_first_map(konst::kSetBeforeLast, ierr), 1);
    EXPECT_EQ(ierr, 0);
    expand_first_map(4, ierr);
    EXPECT_EQ(ierr, -1);
    EXPECT_TRUE(listed(" *** error ***  set   4 has been required"));
    EXPECT_TRUE(listed("                but only   1 sets are available"));
}

TEST_F(PhaseSetChoice, NoPhaseSetsFails) {
    prepare(test::p212121_structure());
    int ierr = 0;
    expand_first_map(0, ierr);
    EXPECT_EQ(ierr, -1);
    EXPECT_TRUE(listed(" *** error ***  no sets of phases available"));
}

TEST_F(Coefficients, RecyclingMapsTakeReflectionsAboveTheAmplitudeThreshold) {
    prepare(test::p212121_structure());
    const auto refl = list7();
    const int n = static_cast<int>(refl.size());
    ASSERT_EQ(UREQ.I(ureqw::kSigma), 1);  // sigmas present
    // Fo > 3 sigma(Fo).
    EMAP.R(emap::kSigm) = 3.0f;
    EMAP.R(emap::kFomi) = -1.0f;
    int flag = 0, nref = 0;
    INPTF(flag, nref);
    int kept = RC.I(rcw::kReflections);
    float sigm = 0;
    GETREF(sigm, 2, flag, kept);
    int want = 0;
    for (const auto& r : refl) want += r.fo > 3.0f * r.sigma;
    EXPECT_FLOAT_EQ(sigm, 3.0f);
    EXPECT_EQ(kept, want);
    EXPECT_GT(kept, 0);
    // A fomi replaces the multiplier of the scale test.
    EMAP.R(emap::kSigm) = -1.0f;
    EMAP.R(emap::kFomi) = 2.5f;
    INPTF(flag, nref);
    kept = RC.I(rcw::kReflections);
    GETREF(sigm, 2, flag, kept);
    const float t = 2.5f * std::sqrt(C.R(cw::kScale));
    want = 0;
    for (const auto& r : refl) want += r.fo > t;
    EXPECT_FLOAT_EQ(sigm, -1.0f);
    EXPECT_FLOAT_EQ(UREQ.R(ureqw::kWeakLimit), 2.5f);
    EXPECT_EQ(kept, want);
    // Each kept reflection has its s^2 in A4.
    int h, k, l;
    unpack_index(stage::P(1), h, k, l);
    const float s = RHOF(s2_coefficients(), h, k, l);
    EXPECT_FLOAT_EQ(stage::A4(1), s * s);
    EXPECT_LE(n, stage::kMaxReflections);
}

}  // namespace
}  // namespace zanek
