// E values and their statistics on records built in memory: strong and weak
// limits, the bins of N(z) and of the E histogram, the counts to phase, the
// list-7 record of observed and generated reflections, the fo/sig text and
// the statistics section.
#include <gtest/gtest.h>

#include <cmath>

#include "crystaldata/evalues.h"
#include "jobcontrol/lists/list07.h"
#include "tests/crystaldata/test_normal_fixture.h"

using namespace zanek;
using namespace zanek::test;

TEST(EValues, StrongAndWeakLimits) {
    struct Case {
        bool observed;
        float e;
        int strong, weak;
    } cases[] = {
        {true, 1.2f, 0, 0},     // exactly 1.2 is not strong
        {true, 1.2001f, 1, 0},  //
        {true, 0.4f, 0, 1},     // exactly 0.4 is weak
        {true, 0.41f, 0, 0},    //
        {false, 0.3f, 0, 1},    // a generated reflection may be weak
        {false, 2.0f, 0, 0},    // but never strong
    };
    for (const Case& c : cases) {
        int strong = 0, weak = 0;
        count_strong_weak(c.observed, c.e, 1.2f, 0.4f, strong, weak);
        EXPECT_EQ(strong, c.strong) << c.e;
        EXPECT_EQ(weak, c.weak) << c.e;
    }
}

TEST(EValues, BinsOfTheDistributions) {
    struct Case {
        double z;
        int nz_bin;    // 0: not counted
        int hist_bin;  // 0: not counted
    } cases[] = {
        {0.005, 1, 0},   // E = 0.07 below 0.1: not in the E histogram
        {0.0121, 1, 1},  // E = 0.11
        {0.95, 10, 9},   //
        {1.0, 11, 10},   // z bins 0.2 wide from 1.0 on
        {1.25, 12, 11},  //
        {3.99, 25, 19},  //
        {4.0, 0, 20},    // z of 4 or more is left out of N(z)
        {6.25, 0, 25},   // E = 2.5
        {100.0, 0, 25},  // E above 2.5: last bin
    };
    for (const Case& c : cases) {
        EStatistics st;
        st.add(c.z, 2, 0.1, 0.4);
        for (int j = 1; j <= kNzBins; ++j) EXPECT_EQ(st.nz[j], j == c.nz_bin ? 2.0 : 0.0) << c.z << " bin " << j;
        for (int j = 1; j <= kEHistogram; ++j) EXPECT_EQ(st.hist[j], j == c.hist_bin ? 1 : 0) << c.z << " bin " << j;
        EXPECT_EQ(st.w, 2.0);
        EXPECT_NEAR(st.moment[6], 2.0 * std::fabs(c.z - 1.0), 1e-9);
    }
    // <E^2> bins by sin(theta)/lambda relative to the largest.
    EStatistics st;
    st.add(1.0, 1, 0.0, 0.4);
    st.add(2.0, 3, 0.4, 0.4);
    st.add(3.0, 1, 0.1, 0.4);  // s/smax = 0.5: bin 6
    EXPECT_EQ(st.nbin[1], 1.0);
    EXPECT_EQ(st.nbin[10], 3.0);
    EXPECT_EQ(st.zbin[10], 6.0);
    EXPECT_EQ(st.nbin[6], 1.0);
}

TEST(EValues, TheoreticalCentricDistribution) {
    for (int j = 1; j <= kNzBins; ++j) {
        float z = nz_limit(j);
        EXPECT_NEAR(nz_centric(z), std::erf(std::sqrt(z / 2.0)), 3e-5) << z;
        EXPECT_NEAR(nz_acentric(z), 1.0 - std::exp(-z), 1e-6);
    }
    EXPECT_FLOAT_EQ(nz_limit(10), 1.0f);
    EXPECT_FLOAT_EQ(nz_limit(11), 1.2f);
    EXPECT_FLOAT_EQ(nz_limit(25), 4.0f);
}

TEST(EValues, NumbersToPhase) {
    struct Case {
        int strong, weak, n, nref_wanted, nzro_wanted;
        bool pseudo;
        int nref, nzro;
    } cases[] = {
        {1000, 1000, 5000, 1000, 1000, false, 499, 166},  // 499 at most, anint(499/3)
        {300, 40, 2000, 400, 166, false, 300, 40},        // weak count limits nzro
        {300, 500, 2000, 120, 166, false, 120, 40},       // the request
        {300, 500, 2000, 400, 25, false, 300, 25},        //
        {1000, 200, 600, 50, 166, true, 499, 17},         // pseudo class: nref ignores the request
        {700, 200, 600, 400, 166, true, 467, 133},        // bounded by n - nzro
        {0, 0, 0, 400, 166, false, 0, 0},                 //
    };
    for (const Case& c : cases) {
        int nref = -1, nzro = -1;
        phasing_counts(c.strong, c.weak, c.n, c.nref_wanted, c.nzro_wanted, c.pseudo, nref, nzro);
        EXPECT_EQ(nref, c.nref) << c.strong << " " << c.nref_wanted;
        EXPECT_EQ(nzro, c.nzro) << c.strong << " " << c.nref_wanted;
    }
}

class EValueRecords : public NormalListing {};

TEST_F(EValueRecords, ObservedAndGeneratedRecords) {
    WorkRecord r = observed(0.1f, 1.0);
    r.h = -3;
    r.k = 4;
    r.l = 63;
    r.fo = 40.0f;
    r.sigma = 2.0f;
    r.key.r = 2.25f;  // E^2
    r.phase = 360 * 32768 + 5 * 32 + 13;
    Word out[6];
    double z = 0;
    ecal_record(r, false, 4.0f, 5, 0.4f, out, z);
    EXPECT_EQ(out[0].i, 16384 * -3 + 128 * 4 + 63 + 3153984);
    EXPECT_FLOAT_EQ(out[1].r, 1.5f);
    EXPECT_FLOAT_EQ(out[2].r, 80.0f);  // Fo sqrt(scale)
    EXPECT_FLOAT_EQ(out[3].r, pack_pair(1.5f, 1.5f));
    EXPECT_EQ(out[4].i, r.phase);
    EXPECT_FLOAT_EQ(out[5].r, 4.0f);
    EXPECT_DOUBLE_EQ(z, 2.25);

    // Generated: Fo 0 and the spread of its shell, negated; a shell without
    // an estimate still gives a negative mark, never -0.0.
    WorkRecord g = unobserved(0.39f);  // shell 5 of 5
    g.key.r = 0.09f;
    shell::sigma(5) = 0.25f;
    ecal_record(g, false, 4.0f, 5, 0.4f, out, z);
    EXPECT_EQ(out[2].r, 0.0f);
    EXPECT_FLOAT_EQ(out[5].r, -0.25f);
    shell::sigma(5) = 0.0f;
    ecal_record(g, false, 4.0f, 5, 0.4f, out, z);
    EXPECT_LT(out[5].r, 0.0f);
    EXPECT_FALSE(out[5].r == 0.0f);

    // With a pseudo-translation class the key is the renormalised E.
    r.z = 4.0f;
    ecal_record(r, true, 1.0f, 5, 0.4f, out, z);
    EXPECT_FLOAT_EQ(out[1].r, 2.0f);
    EXPECT_FLOAT_EQ(out[3].r, pack_pair(2.0f, 1.5f));
    EXPECT_DOUBLE_EQ(z, 4.0);
}

TEST(EValues, FoOverSigmaText) {
    struct Case {
        float fo, sigma;
        bool with_sigma;
        const char* text;
    } cases[] = {
        {60.0f, 10.0f, true, "   6.00"},  // exactly 6 is printed
        {60.1f, 10.0f, true, "     >6"},  //
        {12.5f, 5.0f, true, "   2.50"},   //
        {0.0f, -0.3f, true, "  gen. "},   // generated
        {0.0f, -1.0f, true, "  gen. "},   //
        {20.0f, 0.0f, true, "   0.00"},   // no sigma: the ratio is sigma itself
        {60.0f, 10.0f, false, "       "},  // no sigma values at all
    };
    for (const Case& c : cases) EXPECT_EQ(fo_sigma_text(c.fo, c.sigma, c.with_sigma), c.text) << c.fo;
}

TEST_F(EValueRecords, StatisticsSection) {
    EStatistics st;
    // A centric-like sample: z = 0.05 and z = 2.9 in equal numbers.
    for (int i = 0; i < 50; ++i) {
        st.add(0.05, 1, 0.01 * (i % 10), 0.1);
        st.add(1.95, 1, 0.01 * (i % 10), 0.1);
    }
    print_e_statistics(st, 0.1f);
    auto ls = lines();
    EXPECT_EQ(ls[1], std::string(40, ' ') + "***   final statistics section   ***");
    EXPECT_EQ(ls[5].substr(0, 20), "  <E**2>     1.0000 ");
    bool saw_moment = false, saw_nz = false;
    for (const std::string& l : ls) {
        if (l.rfind("   mod(E**2-1)     ", 0) == 0) {
            saw_moment = true;
            EXPECT_EQ(l.substr(19, 12), fmt_f(0.95, 12, 3));
            EXPECT_EQ(l.substr(67), std::string(6, ' ') + "   *     ");  // nearest the centric value
        }
        if (l.rfind("    4.0 ", 0) == 0) {
            saw_nz = true;
            EXPECT_EQ(l.substr(18, 12), fmt_f(1.0, 12, 3));
        }
    }
    EXPECT_TRUE(saw_moment);
    EXPECT_TRUE(saw_nz);
    // E = 0.22 and 1.40: 50 reflections reach each limit up to 1.3, none beyond.
    EXPECT_EQ(ls.back(), "  no.     50    50    50    50    50    50    50     0     0     0     0     0     0     0     0"
                         "     0     0     0     0");
    for (int j = 1; j <= 25; ++j) EXPECT_FLOAT_EQ(cw::e_limit(j), 0.1f * j);
}

TEST_F(EValueRecords, AmplitudeLimitsNeedTenAmplitudes) {
    std::array<long, 10> above{};
    EXPECT_EQ(amplitude_tables({5.0f, 4.0f, 3.0f}, above, 3, false), 0.0f);
    EXPECT_FALSE(listed("limit"));
    std::vector<float> fo;
    for (int i = 1; i <= 20; ++i) fo.push_back(static_cast<float>(i));
    // 70 % of the 20 amplitudes exceed or equal the 14th largest, 7.0.
    EXPECT_EQ(amplitude_tables(fo, above, 20, false), 7.0f);
    EXPECT_TRUE(listed("      limit   19.00   17.00   15.00   13.00   11.00    9.00    7.00    5.00    3.00    1.00"));
}
