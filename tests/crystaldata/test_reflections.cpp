// The reflection input of %data and the list-7 writer, run in-process: the
// Fortran-style reading of the user's format, the screening and reduction
// of each reflection, the merge of repeats, the list-7 records, and every
// kind of bad input failing the command with its message.
#include "tests/crystaldata/test_data_command_fixture.h"

#include <cmath>
#include <cstdio>
#include <ostream>

using namespace zanek;
using namespace zanek::test;

namespace {

struct Expect {
    int h, k, l;
    float fo, sigma;
};

// --- Formatted reading -----------------------------------------------------

struct ReadCase {
    const char* name;
    std::vector<std::string> extra;  // directives after cell, spac, cont, refl
    std::string file;                // the reflection file
    std::vector<Expect> want;        // list 7, in order
};
void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class ReadingRecords : public DataRun, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadingRecords, StoreExactlyTheseReflections) {
    const ReadCase& c = GetParam();
    write_file(dir + "/r.hkl", c.file);
    std::vector<std::string> lines = with(p1_job(), {"refl r.hkl"});
    lines.insert(lines.end(), c.extra.begin(), c.extra.end());
    ASSERT_EQ(run(lines), 0) << listing();
    std::vector<L7> got = list7();
    ASSERT_EQ(got.size(), c.want.size()) << listing();
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].h, c.want[i].h) << i;
        EXPECT_EQ(got[i].k, c.want[i].k) << i;
        EXPECT_EQ(got[i].l, c.want[i].l) << i;
        EXPECT_FLOAT_EQ(got[i].fo, c.want[i].fo) << i;
        EXPECT_FLOAT_EQ(got[i].sigma, c.want[i].sigma) << i;
    }
}

// Twelve reflections on one line of 336 columns.
std::string twelve_on_a_line() {
    std::string line;
    for (int i = 1; i <= 12; ++i) line += hkl(i, 0, 1, 10.0 * i, 1.0).substr(0, 28);
    return line + "\n";
}
std::vector<Expect> twelve_expected() {
    std::vector<Expect> v;
    for (int i = 1; i <= 12; ++i) v.push_back({i, 0, 1, 10.0f * i, 1.0f});
    return v;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReadingRecords,
    ::testing::Values(
        ReadCase{"fixed_columns", {}, "   1   2   3   12.50    1.20trailing text\n   0   0   0\n", {{1, 2, 3, 12.5f, 1.2f}}},
        // "  1 2" under I4 (columns 5-8: " 1 2") reads 12; "  1 2.5 " reads 12.5.
        ReadCase{"blanks_inside_fields", {}, "   1 1 2   3  1 2.5     1.0\n", {{1, 12, 3, 12.5f, 1.0f}}},
        ReadCase{"implied_decimals", {}, "   1   2   3   12345     120\n", {{1, 2, 3, 123.45f, 1.2f}}},
        ReadCase{"blank_sigma_is_zero_stored_as_a_tenth", {}, "   1   2   3   50.00        \n", {{1, 2, 3, 50.0f, 0.1f}}},
        ReadCase{"short_line_padded", {}, "   1   2   3   50.00\n", {{1, 2, 3, 50.0f, 0.1f}}},
        ReadCase{"heading_skipped", {}, ">  h   k   l      Fo   sigma\n" + hkl(2, 0, 0, 7, 1), {{2, 0, 0, 7.0f, 1.0f}}},
        ReadCase{"indented_heading_skipped", {}, "   > data\n" + hkl(2, 0, 0, 7, 1), {{2, 0, 0, 7.0f, 1.0f}}},
        ReadCase{"carriage_return_stripped", {}, "   1   2   3   50.00\r\n   2   2   3   60.00    2.00\r\n",
                 {{1, 2, 3, 50.0f, 0.1f}, {2, 2, 3, 60.0f, 2.0f}}},
        ReadCase{"end_of_file_ends_the_data", {}, hkl(1, 0, 0, 5, 1) + hkl(0, 1, 0, 6, 1),
                 {{1, 0, 0, 5.0f, 1.0f}, {0, 1, 0, 6.0f, 1.0f}}},
        ReadCase{"zero_zero_zero_ends_the_data", {}, hkl(1, 0, 0, 5, 1) + hkl(0, 0, 0, 0, 0) + hkl(0, 1, 0, 6, 1),
                 {{1, 0, 0, 5.0f, 1.0f}}},
        ReadCase{"blank_line_reads_000", {}, hkl(1, 0, 0, 5, 1) + "\n" + hkl(0, 1, 0, 6, 1), {{1, 0, 0, 5.0f, 1.0f}}},
        ReadCase{"two_per_record_on_one_line", {"reco 2", "form (2(3i4,2f8.2))"},
                 "   1   0   0    5.00    1.00   2   0   0    6.00    1.00\n", {{1, 0, 0, 5.0f, 1.0f}, {2, 0, 0, 6.0f, 1.0f}}},
        // The items outrun the format: it starts again on a new line.
        ReadCase{"two_per_record_reverting_format", {"reco 2"}, hkl(1, 0, 0, 5, 1) + hkl(2, 0, 0, 6, 1),
                 {{1, 0, 0, 5.0f, 1.0f}, {2, 0, 0, 6.0f, 1.0f}}},
        ReadCase{"zero_zero_zero_ends_inside_a_record", {"reco 2", "form (2(3i4,2f8.2))"},
                 "   1   0   0    5.00    1.00   0   0   0    0.00    0.00\n" + hkl(2, 0, 0, 6, 1),
                 {{1, 0, 0, 5.0f, 1.0f}}},
        ReadCase{"twelve_on_the_first_line", {"reco 12", "form (12(3i4,2f8.2))"}, twelve_on_a_line(), twelve_expected()},
        ReadCase{"descriptors_x_t_e_and_slash", {"form (i3,1x,i3,t9,i2,e10.3/f8.2)"},
                 "  1*  2x 3 1.250E+01\n    1.50\n", {{1, 2, 3, 12.5f, 1.5f}}},
        ReadCase{"free_width_with_explicit_points", {"form (3i5,2f10.4)"}, "    1   -2    3 1234.5678       10.\n",
                 {{1, -2, 3, 1234.5678f, 10.0f}}}),
    [](const ::testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

// --- The reflections' own treatment --------------------------------------------

TEST_F(DataRun, ReflectionsFollowingTheCommandsAreRead) {
    ASSERT_EQ(run(with(p1_job(), {"refl following"}), hkl(1, 2, 3, 9, 1) + hkl(0, 0, 0, 0, 0) + "%job next\n"), 0);
    std::vector<L7> got = list7();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].h, 1);
    // The command file stays open, positioned after the data.
    std::string next;
    ASSERT_EQ(units().read_line(1, next), IO_OK);
    EXPECT_EQ(next, "%job next");
}

TEST_F(DataRun, RepeatedEquivalentsKeepTheFirst) {
    // In P -1, -1 -2 -3 is the same reflection as 1 2 3.
    ASSERT_EQ(run(with(p1_job("p -1"), {"refl foll"}),
                  hkl(1, 2, 3, 10, 1) + hkl(1, 2, 3, 20, 1) + hkl(-1, -2, -3, 30, 1) + hkl(2, 0, 0, 5, 1)),
              0);
    std::vector<L7> got = list7();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_FLOAT_EQ(got[0].fo, 10.0f);
    EXPECT_EQ(got[1].h, 2);
    EXPECT_TRUE(listed("\n              4  input reflections\n              2  independent input reflections\n"
                       "              0  systematically absent reflections rejected\n"
                       "              2  symmetry equivalent reflections rejected\n"))
        << listing();
    EXPECT_EQ(RC.I(rcw::kReflections), 2);
}

TEST_F(DataRun, SequenceKeysKeepTheInputOrder) {
    ASSERT_EQ(run(with(p1_job(), {"refl foll"}), hkl(3, 0, 0, 1, 1) + hkl(1, 0, 0, 2, 1) + hkl(3, 0, 0, 9, 1) +
                                                     hkl(2, 0, 0, 3, 1)),
              0);
    std::vector<L7> got = list7();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].h, 3);
    EXPECT_EQ(got[1].h, 1);
    EXPECT_EQ(got[2].h, 2);
    // Keys N0 - j + 1, N0 the records before the repeat was dropped.
    EXPECT_FLOAT_EQ(got[0].key, 4.0f);
    EXPECT_FLOAT_EQ(got[1].key, 3.0f);
    EXPECT_FLOAT_EQ(got[2].key, 2.0f);
}

TEST_F(DataRun, NegativeAmplitudeBecomesZeroWithSigmaAtLeast0_1) {
    ASSERT_EQ(run(with(p1_job(), {"refl foll"}), hkl(1, 2, 3, -5.0, 0.05) + hkl(2, 0, 0, -5.0, 3.0)), 0);
    std::vector<L7> got = list7();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_FLOAT_EQ(got[0].fo, 0.0f);
    EXPECT_FLOAT_EQ(got[0].sigma, 0.1f);
    EXPECT_FLOAT_EQ(got[1].sigma, 3.0f);
    EXPECT_TRUE(listed("\n              2  Fo(s) negative set to 0.0                \n"));
}

TEST_F(DataRun, IntensitiesBecomeAmplitudes) {
    ASSERT_EQ(run(with(p1_job(), {"fosq", "refl foll"}), hkl(1, 0, 0, 100, 20) + hkl(2, 0, 0, 4, 20)), 0);
    std::vector<L7> got = list7();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_FLOAT_EQ(got[0].fo, 10.0f);
    EXPECT_FLOAT_EQ(got[0].sigma, 1.0f);   // sigma(F^2) / 2F
    EXPECT_FLOAT_EQ(got[1].fo, 2.0f);
    EXPECT_FLOAT_EQ(got[1].sigma, 10.0f);  // F^2 < sigma(F^2): sigma(F^2) / 2
}

TEST_F(DataRun, IndicesAbove63AreRejectedAndCounted) {
    ASSERT_EQ(run({"cell 40 40 40 90 90 90", "spac p 1", "cont c 8", "refl foll"},
                  hkl(64, 0, 0, 1, 1) + hkl(0, -64, 1, 1, 1) + hkl(1, 1, 64, 1, 1) + hkl(63, 0, 0, 1, 1)),
              0);
    EXPECT_EQ(list7().size(), 1u);
    EXPECT_TRUE(listed("\n              3  rejected reflections with indices .gt. 63\n"));
    EXPECT_TRUE(listed("\n              4  input reflections\n"));
}

TEST_F(DataRun, ReflectionsBeyondRhomaxAreRejected) {
    // s^2 = h^2 / 1600 in this cell: 20 0 0 has 0.25.
    ASSERT_EQ(run(with(p1_job(), {"rhom 0.2", "refl foll"}), hkl(20, 0, 0, 1, 1) + hkl(10, 0, 0, 1, 1)), 0);
    EXPECT_EQ(list7().size(), 1u);
    EXPECT_TRUE(listed("\n              1  rejected reflections with s**2 .gt.  0.200\n"));
    EXPECT_TRUE(listed("\n         0.0625  maximum s**2 = (sin(theta)/lambda)**2\n"));
}

TEST_F(DataRun, SystematicAbsencesAreListedTenTimes) {
    std::string data;
    for (int h = 1; h <= 25; h += 2) data += hkl(h, 0, 0, h, 1);  // 13 odd h 0 0: absent in P 21 21 21
    data += hkl(2, 0, 0, 1, 1);
    ASSERT_EQ(run(with(p1_job("p 21 21 21"), {"refl foll"}), data), 0);
    std::string l = listing();
    EXPECT_NE(l.find(" Systematically absent :   1   0   0   Fobs =     1.000   Sigma(Fobs) =     1.000\n"),
              std::string::npos)
        << l;
    EXPECT_NE(l.find(" Systematically absent :  19   0   0"), std::string::npos);
    EXPECT_EQ(l.find(" Systematically absent :  21   0   0"), std::string::npos);
    EXPECT_NE(l.find("\n\n ....  and  so  on \n"), std::string::npos);
    EXPECT_NE(l.find("\n             13  systematically absent reflections rejected\n"), std::string::npos);
    EXPECT_EQ(list7().size(), 1u);
}

TEST_F(DataRun, MissingReflectionsAreCountedOrGenerated) {
    // In P 1 with h, k, l up to 1 the half sphere of the box holds 13
    // reflections; four are given.
    const std::string data = hkl(1, 0, 0, 5, 1) + hkl(0, 1, 0, 5, 1) + hkl(0, 0, 1, 5, 1) + hkl(1, 1, 1, 5, 1);
    ASSERT_EQ(run(with(p1_job(), {"refl foll"}), data), 0);
    EXPECT_TRUE(listed("\n              9  reflections are not in input data\n")) << listing();
    EXPECT_EQ(list7().size(), 4u);

    ASSERT_EQ(run(with(p1_job(), {"gene", "refl foll"}), data), 0);
    EXPECT_TRUE(listed("\n              9  reflections (not in input data) have been added\n")) << listing();
    std::vector<L7> got = list7();
    ASSERT_EQ(got.size(), 13u);
    for (size_t i = 4; i < got.size(); ++i) {
        EXPECT_FLOAT_EQ(got[i].fo, 0.0f);
        EXPECT_FLOAT_EQ(got[i].sigma, -1.0f);
        EXPECT_EQ(got[i].phase(), 0);
        EXPECT_EQ(got[i].code(), 1);
    }
}

// A file that yields no reflection fails the command; the list 7 of the
// earlier %data stays as it was.
TEST_F(DataRun, NoAcceptedReflectionFailsAndKeepsTheStoredList7) {
    struct Case {
        const char* name;
        std::vector<std::string> group_and_more;  // space group, then extra directives
        std::string file;
        const char* counts;  // the input counts printed before the error
    };
    const Case cases[] = {
        {"index_above_63", {"p 1"}, hkl(64, 0, 0, 1, 1) + hkl(0, 0, 0, 0, 0),
         "\n              1  input reflections\n              1  rejected reflections with indices .gt. 63\n"},
        {"all_absent", {"p 21 21 21"}, hkl(1, 0, 0, 5, 1) + hkl(0, 3, 0, 5, 1),
         "\n              2  input reflections\n"},
        {"beyond_rhomax", {"p 1", "rhom 0.01"}, hkl(20, 0, 0, 5, 1),
         "\n              1  rejected reflections with s**2 .gt.  0.010\n"},
        {"first_line_0_0_0", {"p 1"}, hkl(0, 0, 0, 0, 0), "\n              0  input reflections\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(run(with(p1_job(), {"refl foll"}), hkl(1, 0, 0, 5, 1) + hkl(2, 0, 0, 6, 2.5)), 0) << listing();
        const std::vector<L7> before = list7();
        ASSERT_EQ(before.size(), 2u);

        write_file(dir + "/r.hkl", c.file);
        std::vector<std::string> lines = p1_job(c.group_and_more[0]);
        lines.insert(lines.end(), c.group_and_more.begin() + 1, c.group_and_more.end());
        lines.push_back("refl r.hkl");
        const std::size_t from = listing().size();
        EXPECT_EQ(run(lines), -1) << listing();
        const std::string l = listing().substr(from);
        EXPECT_NE(l.find(c.counts), std::string::npos) << l;
        EXPECT_NE(l.find("\n *** error ***  no reflection accepted from the input\n"
                         "                 reflections expected\n"),
                  std::string::npos)
            << l;
        const std::vector<L7> after = list7();
        ASSERT_EQ(after.size(), before.size());
        for (size_t i = 0; i < after.size(); ++i) {
            EXPECT_EQ(after[i].h, before[i].h);
            EXPECT_FLOAT_EQ(after[i].fo, before[i].fo);
        }
    }
}

// A blank line reads as 0 0 0 and ends the data: the lines after it are
// counted in a warning, not dropped unseen. Lines of blanks alone carry
// nothing and are not counted.
TEST_F(DataRun, LinesAfterTheEndOfTheDataAreCountedInAWarning) {
    struct Case {
        const char* name;
        std::string file;
        int unread;  // 0: no warning
    };
    const std::string two = hkl(1, 0, 0, 5, 1) + hkl(2, 0, 0, 6, 2.5);
    const Case cases[] = {
        {"blank_line_in_the_middle", two + "\n" + hkl(3, 0, 0, 7, 1) + hkl(4, 0, 0, 8, 1) + "   \n", 2},
        {"after_0_0_0", two + hkl(0, 0, 0, 0, 0) + "end of data\n\n" + hkl(3, 0, 0, 7, 1), 2},
        {"only_blank_lines_follow", two + "\n   \n\n", 0},
        {"nothing_follows_0_0_0", two + hkl(0, 0, 0, 0, 0), 0},
        {"end_of_file", two, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        write_file(dir + "/r.hkl", c.file);
        const std::size_t from = listing().size();
        ASSERT_EQ(run(with(p1_job(), {"refl r.hkl"})), 0) << listing();
        EXPECT_EQ(list7().size(), 2u);
        const std::string l = listing().substr(from);
        const std::string warning = "\n *** warning ***  lines not read after the end of the data (0 0 0 or a blank line) :";
        if (c.unread > 0) {
            char count[16];
            std::snprintf(count, sizeof count, "%6d\n", c.unread);
            EXPECT_NE(l.find(warning + count), std::string::npos) << l;
        } else {
            EXPECT_EQ(l.find(warning), std::string::npos) << l;
        }
    }
}

TEST_F(DataRun, SigmasAllOneAreMeaningless) {
    ASSERT_EQ(run(with(p1_job(), {"refl foll"}), hkl(1, 0, 0, 5, 1) + hkl(2, 0, 0, 6, 1)), 0);
    EXPECT_EQ(UREQ.I(ureqw::kSigma), 0);
    EXPECT_TRUE(listed("\n *** warning ***  sigma(F) values are meaningless\n\n"));
    ASSERT_EQ(run(with(p1_job(), {"refl foll"}), hkl(1, 0, 0, 5, 1) + hkl(2, 0, 0, 6, 2.5)), 0);
    EXPECT_EQ(UREQ.I(ureqw::kSigma), 1);
    int n = 0, nref = 0, nzro = 0, ip = 0, seed = 0;
    YSFL07(n, nref, nzro, ip, seed);
    EXPECT_EQ(seed, kDataSeed);
    EXPECT_EQ(UREQ.I(ureqw::kSigma), 1);  // stored in the list-7 header
}

// --- Known phases ------------------------------------------------------------

TEST(StandardPhase, IsReducedTo1Through360) {
    struct Case { int phi, shift, sign, want; };
    const Case cases[] = {
        {90, 0, -1, 270},  // a Friedel mate: the phase changes sign
        {0, 0, 1, 360},    {0, 0, -1, 360}, {360, 0, 1, 360}, {180, 0, -1, 180},
        {-90, 0, 1, 270},  {350, 30, 1, 20}, {10, 180, -1, 170}, {720, 0, 1, 360}, {359, 0, -1, 1},
    };
    for (const Case& c : cases) EXPECT_EQ(standard_phase(c.phi, c.shift, c.sign), c.want) << c.phi << " " << c.shift;
}

TEST_F(DataRun, KnownPhaseOfAFriedelMateIsStoredNegated) {
    ASSERT_EQ(run(with(p1_job(), {"know", "form (3i4,3f8.2)", "refl foll"}),
                  hklp(-1, -2, -3, 10, 1, 90) + hklp(2, 0, 0, 10, 1, 0) + hklp(3, 0, 0, 10, 1, -30.7)),
              0)
        << listing();
    std::vector<L7> got = list7();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].h, 1);
    EXPECT_EQ(got[0].k, 2);
    EXPECT_EQ(got[0].l, 3);
    EXPECT_EQ(got[0].phase(), 270);
    EXPECT_EQ(got[0].code(), 1);
    EXPECT_EQ(got[1].phase(), 360);  // 0 of its own standard reflection
    EXPECT_EQ(got[2].phase(), 330);  // truncated to -30
    EXPECT_EQ(UREQ.I(ureqw::kKnown), 1);
}

// A known phase carried through an operator with a translation and the
// Friedel sign. In P 41 (x,y,z; -x,-y,z+1/2; -y,x,z+1/4; y,-x,z+3/4) the
// operator (R, t) relates phi(h R) = phi(h) - 360 h.t, and phi(-h) = -phi(h).
// 0 -1 -1: h R for -y,x,z is -1 0 -1, so the standard 1 0 1 is -h R with
//   h.t = -1/4: phi = -(10 - 360 (-1/4)) = -100 = 260.
// 0 1 -1: h R for y,-x,z is -1 0 -1, standard 1 0 1 again (each case is a
//   run of its own), h.t = -3/4: phi = -(20 + 270) = -290 = 70.
// 0 -1 -3: through -y,x,z, standard 1 0 3, h.t = -3/4: phi = -(30 + 270) = 60.
// (Applying the sign before the shift would give 80, 250 and 240.)
TEST_F(DataRun, KnownPhaseThroughAScrewAxisAndTheFriedelSign) {
    struct Case {
        int h, k, l;
        float phase;
        int sh, sk, sl, want;
    };
    const Case cases[] = {{0, -1, -1, 10, 1, 0, 1, 260}, {0, 1, -1, 20, 1, 0, 1, 70}, {0, -1, -3, 30, 1, 0, 3, 60}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.h) + " " + std::to_string(c.k) + " " + std::to_string(c.l));
        ASSERT_EQ(run(with(p1_job("p 41"), {"know", "form (3i4,3f8.2)", "refl foll"}),
                      hklp(c.h, c.k, c.l, 10, 1, c.phase)),
                  0)
            << listing();
        std::vector<L7> got = list7();
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].h, c.sh);
        EXPECT_EQ(got[0].k, c.sk);
        EXPECT_EQ(got[0].l, c.sl);
        EXPECT_EQ(got[0].code(), 1);  // a general reflection of P 41
        EXPECT_EQ(got[0].phase(), c.want);
    }
}

TEST_F(DataRun, KnownPhasesInACentricGroupAreZeroOr180) {
    ASSERT_EQ(run(with(p1_job("p -1"), {"know", "form (3i4,3f8.2)", "refl foll"}),
                  hklp(1, 2, 3, 10, 1, 10) + hklp(-2, 0, 1, 10, 1, 170) + hklp(3, 0, 0, 10, 1, 271)),
              0);
    std::vector<L7> got = list7();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].phase(), 360);
    EXPECT_EQ(got[1].h, 2);          // the Friedel mate 2 0 -1
    EXPECT_EQ(got[1].phase(), 180);
    EXPECT_EQ(got[2].phase(), 360);  // cos 271 > 0
    for (const L7& r : got) EXPECT_EQ(r.code(), 13);
}

// --- The largest super-index ---------------------------------------------------

// In P 1 the maxima are those of the reflections themselves, and the
// largest super-index is hmax (2kmax+1)(2lmax+1) + kmax (2lmax+1) + lmax.
// With indices up to 63 the values closest to 100000 are 99992 (18 23 57)
// and 100006 (9 43 60).
TEST_F(DataRun, LargestSuperIndexUpTo100000IsAcceptedAndAboveRefused) {
    const std::vector<std::string> big = {"cell 200 200 200 90 90 90", "spac p 1", "cont c 8", "refl foll"};
    ASSERT_EQ(run(big, hkl(18, 0, 0, 1, 1) + hkl(0, 23, 0, 1, 1) + hkl(0, 0, 57, 1, 1)), 0) << listing();
    EXPECT_TRUE(listed("\n          99992  maximum super-index\n")) << listing();
    EXPECT_TRUE(stored(7));

    EXPECT_EQ(run(big, hkl(9, 0, 0, 1, 1) + hkl(0, 43, 0, 1, 1) + hkl(0, 0, 60, 1, 1)), -1);
    EXPECT_TRUE(listed("\n         100006  maximum super-index\n\n\n *** error *** maximum values of h,k,l are too large.\n"
                       "               The program cannot manage them\n\n"
                       " Restart the program using in %DATA the directive \n"
                       "                RHOMAX  xx                        \n"
                       " where xx must be less than  0.0225\n"
                       " in order to reduce the maximum values of h,k,l.  \n"))
        << listing();
}

TEST_F(DataRun, SuperIndicesAboveTheWorkStoreStillFindRepeats) {
    // hmax 63, kmax 63, lmax 63: largest super-index 1024191, far above the
    // work store; the repeat of 63 63 63 is still found.
    const std::vector<std::string> big = {"cell 200 200 200 90 90 90", "spac p 1", "cont c 8", "refl foll"};
    EXPECT_EQ(run(big, hkl(63, 63, 63, 1, 1) + hkl(63, 63, 63, 2, 1) + hkl(1, 0, 0, 1, 1)), -1);
    EXPECT_TRUE(listed(" available memory too small, a scratch file\n on channel  32 will be used temporarely.\n"
                       " required =*****  available =*****\n"))
        << listing();
    EXPECT_TRUE(listed("\n              1  symmetry equivalent reflections rejected\n"));
}

// --- Bad input ---------------------------------------------------------------------

struct BadCase {
    const char* name;
    std::vector<std::string> extra;  // directives before "refl"
    const char* refl;                // the refl directive
    std::string file;                // contents of r.hkl (not written when empty and refl names another)
    int status;
    const char* message;
};
void PrintTo(const BadCase& c, std::ostream* os) { *os << c.name; }

class BadInput : public DataRun, public ::testing::WithParamInterface<BadCase> {};

TEST_P(BadInput, FailsWithItsMessage) {
    const BadCase& c = GetParam();
    write_file(dir + "/r.hkl", c.file);
    std::vector<std::string> lines = p1_job();
    lines.insert(lines.end(), c.extra.begin(), c.extra.end());
    lines.push_back(c.refl);
    std::string following = std::string(c.refl).find("foll") != std::string::npos ? c.file : "";
    EXPECT_EQ(run(lines, following), c.status) << listing();
    EXPECT_TRUE(listed(c.message)) << listing();
    if (c.status < 0) {
        EXPECT_FALSE(stored(7));
    }
}

const std::string kHuge = "   1   2   3   10.00    1.00" + std::string(100000, ' ') + "x\n";

INSTANTIATE_TEST_SUITE_P(
    Table, BadInput,
    ::testing::Values(
        BadCase{"non_numeric_field", {}, "refl r.hkl", hkl(1, 0, 0, 5, 1) + "   1   a   3   10.00    1.00\n", -1,
                " *** error ***   read error on channel 34 code =   51\n                 line number     2\n\n"
                "                 reflections expected\n"},
        BadCase{"non_numeric_amplitude", {}, "refl r.hkl", "   1   0   3   10,00    1.00\n", -1,
                " *** error ***   read error on channel 34 code =   52\n                 line number     1\n"},
        BadCase{"amplitude_too_large", {}, "refl r.hkl", "   1   0   3  1.0e39    1.00\n", -1,
                " *** error ***   read error on channel 34 code =   53\n"},
        BadCase{"negative_sigma", {}, "refl r.hkl", hkl(1, 0, 0, 5, 1) + hkl(2, 0, 0, 7, -1), -1,
                "\n *** error ***  negative value of sigma(F) in input:\n\n                reflection    2   0   0"
                " Fobs =     7.000 Sigma(F) =    -1.000\n"},
        BadCase{"index_above_63_is_counted", {}, "refl r.hkl", hkl(99, 0, 0, 5, 1) + hkl(1, 0, 0, 5, 1), 0,
                "\n              1  rejected reflections with indices .gt. 63\n"},
        BadCase{"missing_file", {}, "refl nosuch.hkl", "", -1,
                " *** error ***  open error, code =   29 file is nosuch.hkl\n                 reflections expected\n"},
        BadCase{"empty_file", {}, "refl r.hkl", "", -1,
                " *** error ***    eof on channel 34\n                 reflections expected\n"},
        BadCase{"heading_only", {}, "refl r.hkl", "> nothing follows\n", -1, " *** error ***    eof on channel 34\n"},
        BadCase{"heading_only_on_the_first_line", {}, "refl r.hkl", hkl(2, 0, 0, 7, 1) + ">   3   0   0    8.00    1.00\n",
                -1, " *** error ***   read error on channel 34 code =   51\n                 line number     2\n"},
        BadCase{"nothing_follows_the_commands", {}, "refl foll", "", -1, " *** error ***    eof on channel  1\n"},
        BadCase{"huge_line", {}, "refl r.hkl", hkl(1, 0, 0, 5, 1) + kHuge, -1,
                " *** error ***   read error on channel 34 code =   39\n                 line number     2\n"},
        BadCase{"integer_item_under_f", {"form (2i4,3f8.2)"}, "refl r.hkl", hkl(1, 0, 0, 5, 1), -1,
                " *** error ***   read error on channel 34 code =   54\n                 line number     1\n"},
        BadCase{"real_item_under_i", {"form (3i4,i8,f8.2)"}, "refl r.hkl", hkl(1, 0, 0, 5, 1), -1,
                " *** error ***   read error on channel 34 code =   54\n"},
        BadCase{"format_without_fields", {"form (3x)"}, "refl r.hkl", hkl(1, 0, 0, 5, 1), -1,
                " error in directive : form (3x)"},
        BadCase{"tab_in_a_field", {}, "refl r.hkl", "   1\t  0   3   10.00    1.00\n", -1,
                " *** error ***   read error on channel 34 code =   51\n"},
        BadCase{"end_of_file_inside_a_record", {"reco 2"}, "refl r.hkl", hkl(1, 0, 0, 5, 1) + hkl(2, 0, 0, 5, 1) +
                                                                           hkl(3, 0, 0, 5, 1),
                0, "\n              2  input reflections\n"}),
    [](const ::testing::TestParamInfo<BadCase>& info) { return std::string(info.param.name); });

}  // namespace
