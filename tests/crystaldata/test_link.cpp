// The link command %vorp run in-process: the sibling program's list 6 is
// written into the structure file as that program writes it (header of
// record length, count and largest indices, records of a compact index word
// with the group and four values, an end record), after %data has stored
// the cell, the symmetry and the content. The list 7 the link writes is
// compared with the list 7 that %data writes from the same reflections.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "crystaldata/link.h"
#include "jobcontrol/lists/list07.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/store.h"
#include "tests/support/inprocess.h"

using namespace zanek;
using namespace zanek::test;

namespace {

constexpr int kData = 23, kVorp = 18, kNormal = 1;

// One reflection as both programs are given it.
struct Refl {
    int h, k, l;
    float fo, sigma, phase;
    int group = 0;
};

struct Header7 {
    int n = 0, nref = 0, nzro = 0, ipseudo = 0, seed = 0;
    Word w[30];
};

class Link : public InProcessJob {
protected:
    Link() : InProcessJob("link") {}

    // Lists 1, 2 and 3 (and list 7 when reflections follow) from %data.
    int data(const std::string& group, const std::string& cell, const std::vector<Refl>& refl, bool know) {
        std::vector<std::string> d = {"cell " + cell, "spac " + group, "cont c 20 o 4"};
        std::string following;
        if (!refl.empty()) {
            if (know) d.insert(d.end(), {"know", "form (3i4,3f8.2)"});
            d.push_back("refl foll");
            for (const Refl& r : refl) following += know ? hklp(r.h, r.k, r.l, r.fo, r.sigma, r.phase)
                                                         : hkl(r.h, r.k, r.l, r.fo, r.sigma);
            following += hkl(0, 0, 0, 0, 0);
        }
        queue({{kData, d}}, following);
        return dispatch(1);
    }

    // List 6 as the sibling writes it: a header of 20 words, records of
    // reclen words (index word, Fo, sigma, a value not read, the phase,
    // then filler) and, when `end` is set, the end record.
    void write_list6(const std::vector<Refl>& refl, int count, bool end, int reclen = 6,
                     std::array<int, 3> maxima = {5, 5, 5}) {
        const int part = 20;
        const int space = part + reclen * static_cast<int>(refl.size() + (end ? 1 : 0));
        const int first = take_store_space(space);
        std::vector<Word> img(part);
        auto real = [](float v) { Word w; w.r = v; return w; };
        auto integer = [](int v) { Word w; w.i = v; return w; };
        const float head[13] = {11111.0f, 6.0f, 1.0f, 0.0f, -1.0f, 4.0f, float(reclen), float(count), 0, 0,
                                float(maxima[0]), float(maxima[1]), float(maxima[2])};
        for (int j = 0; j < 13; ++j) img[j] = real(head[j]);
        for (const Refl& r : refl) {
            img.push_back(integer(compact_index(r.h, r.k, r.l, r.group)));
            for (float v : {r.fo, r.sigma, -5.0f, r.phase}) img.push_back(real(v));
            for (int j = 5; j < reclen; ++j) img.push_back(integer(-7));
        }
        if (end)
            for (int j = 0; j < reclen; ++j) img.push_back(integer(list6::kEndMark));
        XUP(first, img.data(), static_cast<int>(img.size()));
        SWLIN(list6::kType, 1, first, first + space - 1, part, space);
        XDUMP();
    }

    int vorp(const std::vector<std::string>& directives) {
        queue({{kVorp, directives}}, "");
        return dispatch(1);
    }

    Header7 header7() {
        Header7 h;
        YSFL07(h.n, h.nref, h.nzro, h.ipseudo, h.seed);
        for (int j = 0; j < 30; ++j) h.w[j] = DATA.W(XLIMI.I(xlimi::kListBase) + j);
        return h;
    }
};

void expect_same_records(const std::vector<List7Record>& a, const std::vector<List7Record>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t j = 0; j < a.size(); ++j) {
        SCOPED_TRACE(std::to_string(a[j].h) + " " + std::to_string(a[j].k) + " " + std::to_string(a[j].l));
        EXPECT_EQ(b[j].h, a[j].h);
        EXPECT_EQ(b[j].k, a[j].k);
        EXPECT_EQ(b[j].l, a[j].l);
        EXPECT_EQ(b[j].key, a[j].key);
        EXPECT_EQ(b[j].fo, a[j].fo);
        EXPECT_EQ(b[j].a, a[j].a);
        EXPECT_EQ(b[j].b, a[j].b);
        EXPECT_EQ(b[j].phase_word, a[j].phase_word);
        EXPECT_EQ(b[j].sigma, a[j].sigma);
    }
}

// A few reflections of each group, given partly as non-standard
// equivalents (the standard one then carries the phase shift of the
// operator), none absent and none repeated.
struct GroupCase {
    const char* name;
    const char* group;
    const char* cell;
    std::vector<Refl> refl;
};

const GroupCase kGroups[] = {
    {"centric_p21c", "p 21/c", "10 11 12 90 100 90",
     {{1, 2, 3, 120.5f, 3.1f, 180},
      {2, 0, 2, 80.0f, 2.0f, 0},
      {-1, 2, 3, 55.25f, 1.5f, 180},  // non-standard
      {0, 2, 1, 40.0f, 1.0f, 359},    // phase moved to 0, stored as 360
      {3, -1, -2, 10.0f, 4.0f, 180},
      {1, 1, 0, 7.5f, 0.05f, 0}}},   // small sigma stored as 0.1
    {"acentric_p212121", "p 21 21 21", "9 11 13 90 90 90",
     {{1, 2, 3, 120.5f, 3.1f, 37},
      {-1, 2, 4, 90.0f, 2.5f, 250},   // non-standard: phase shifted
      {2, 0, 0, 60.0f, 2.0f, 180},    // axial: restricted phase
      {1, 1, 1, 45.0f, 1.0f, -90},    // a negative phase becomes 270
      {0, 3, 4, 30.0f, 1.5f, 0},      // phase 0 stored as 360
      {2, -3, -1, 12.0f, 0.5f, 123}}},
};

class LinkMatchesData : public Link, public ::testing::WithParamInterface<std::tuple<int, bool>> {};

TEST_P(LinkMatchesData, SameList7AsDataFromTheSameReflections) {
    const GroupCase& c = kGroups[std::get<0>(GetParam())];
    const bool know = std::get<1>(GetParam());
    ASSERT_EQ(data(c.group, c.cell, c.refl, know), 0) << listing();
    const std::vector<List7Record> from_data = list7();
    const Header7 hd = header7();
    ASSERT_EQ(from_data.size(), c.refl.size());

    // The sibling's largest indices, as %data found them.
    const std::array<int, 3> maxima = {static_cast<int>(hd.w[10].r), static_cast<int>(hd.w[11].r),
                                       static_cast<int>(hd.w[12].r)};
    write_list6(c.refl, static_cast<int>(c.refl.size()), true, 6, maxima);
    ASSERT_EQ(vorp(know ? std::vector<std::string>{"know"} : std::vector<std::string>{}), 0) << listing();
    expect_same_records(from_data, list7());
    const Header7 hv = header7();
    EXPECT_EQ(hv.n, hd.n);
    EXPECT_EQ(hv.nref, hd.nref);
    EXPECT_EQ(hv.nzro, kLinkWeakWanted);  // 166 after %data
    EXPECT_EQ(hd.nzro, 166);
    EXPECT_EQ(hv.ipseudo, 0);
    EXPECT_EQ(hv.seed, 67543);
    for (int w : {11, 12, 13, 16, 17, 18, 19, 22, 23, 24, 27, 28})
        EXPECT_EQ(hv.w[w - 1].i, hd.w[w - 1].i) << "header word " << w;
    EXPECT_FLOAT_EQ(C.R(cw::kScale), -99.9f);  // not normalised
    EXPECT_TRUE(listed(" ZANEK : Vorp-Zan link routine"));
    EXPECT_TRUE(listed("\n              6  independent input reflections\n"));
    EXPECT_TRUE(listed("  maximum  h,k,l  values\n"));
    EXPECT_TRUE(listed("\n                                       number of atoms in asymmetric unit ="));
    EXPECT_TRUE(listed("\n                               equivalent number of equal atoms in primitive cell ="));
}

INSTANTIATE_TEST_SUITE_P(Groups, LinkMatchesData,
                         ::testing::Combine(::testing::Values(0, 1), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(kGroups[std::get<0>(info.param)].name) +
                                    (std::get<1>(info.param) ? "_known_phases" : "_no_phases");
                         });

TEST_F(Link, RecordsOfOtherGroupsAreCountedButNotStored) {
    ASSERT_EQ(data("p 21 21 21", "9 11 13 90 90 90", {}, false), 0);
    std::vector<Refl> refl = {{1, 2, 3, 10, 1, 0, 0}, {1, 2, 4, 11, 1, 0, 1}, {1, 2, 5, 12, 1, 0, 2},
                              {2, 2, 3, 13, 1, 0, 0}};
    write_list6(refl, 4, true);
    ASSERT_EQ(vorp({}), 0) << listing();
    auto l7 = list7();
    ASSERT_EQ(l7.size(), 2u);
    EXPECT_EQ(l7[0].fo, 10.0f);
    EXPECT_EQ(l7[1].fo, 13.0f);
    // Sequence keys count down from the number of stored records.
    EXPECT_EQ(l7[0].key, 2.0f);
    EXPECT_EQ(l7[1].key, 1.0f);
}

TEST_F(Link, RepeatsAreKeptAndAbsencesNotTested) {
    ASSERT_EQ(data("p 21 21 21", "9 11 13 90 90 90", {}, false), 0);
    // 1 0 0 is absent in P 21 21 21; -1 2 3 is an equivalent of 1 2 3.
    write_list6({{1, 2, 3, 10, 1, 0}, {-1, 2, 3, 11, 1, 0}, {1, 0, 0, 12, 1, 0}}, 3, true);
    ASSERT_EQ(vorp({}), 0);
    auto l7 = list7();
    ASSERT_EQ(l7.size(), 3u);
    EXPECT_EQ(l7[0].h, l7[1].h);
    EXPECT_EQ(l7[0].k, l7[1].k);
    EXPECT_EQ(l7[0].l, l7[1].l);
    EXPECT_EQ(l7[2].h, 1);
}

TEST_F(Link, RecordBeyondRhomaxIsStillReducedToItsStandardEquivalent) {
    // s^2 of -12 0 0 in a 5 A cell is 144 / 100 = 1.44 > 1.0, the link's rhomax.
    ASSERT_EQ(data("p 21 21 21", "5 5 5 90 90 90", {}, false), 0);
    write_list6({{-12, 0, 0, 10, 1, 0}, {1, -1, 1, 11, 1, 0}}, 2, true);
    ASSERT_EQ(vorp({}), 0);
    auto l7 = list7();
    ASSERT_EQ(l7.size(), 2u);
    EXPECT_EQ(l7[0].h, 12);
    EXPECT_EQ(l7[0].code(), 13);  // an axial reflection: 0 or 180
    EXPECT_EQ(l7[1].h, 1);
    EXPECT_EQ(l7[1].k, 1);
    EXPECT_EQ(l7[1].l, 1);
    EXPECT_NEAR(RC.R(rcw::kLargestS2), 1.44f, 1e-5);
    EXPECT_TRUE(listed("   1.4400  maximum s**2 = (sin(theta)/lambda)**2"));
}

TEST_F(Link, NegativeAmplitudeBecomesZeroAndIndex64IsRejected) {
    ASSERT_EQ(data("p 1", "30 30 30 90 90 90", {}, false), 0);
    write_list6({{1, 2, 3, -4.0f, 0.02f, 0}, {-64, 1, 1, 9, 1, 0}, {0, 0, 0, 500, 1, 0}, {2, 2, 2, 8, 1, 0}}, 4,
                true);
    ASSERT_EQ(vorp({}), 0);
    auto l7 = list7();
    ASSERT_EQ(l7.size(), 2u);
    EXPECT_EQ(l7[0].fo, 0.0f);
    EXPECT_EQ(l7[0].sigma, 0.1f);
    EXPECT_EQ(l7[1].fo, 8.0f);
    EXPECT_TRUE(listed("\n              1  rejected reflections with indices .gt. 63\n"));
    EXPECT_TRUE(listed("\n              1  Fo(s) negative set to 0.0                \n"));
}

TEST_F(Link, DirectiveDefaultsAndFaults) {
    ASSERT_EQ(data("p 1", "30 30 30 90 90 90", {}, false), 0);
    write_list6({{1, 2, 3, 4, 1, 0}}, 1, true);
    RC.I(rcw::kNzro) = 7;
    ASSERT_EQ(vorp({}), 0);
    EXPECT_EQ(RC.I(rcw::kNzro), 100);
    EXPECT_FLOAT_EQ(RC.R(rcw::kRhomax), 1.0f);
    EXPECT_FLOAT_EQ(RC.R(rcw::kWeakE), 0.3f);
    EXPECT_FLOAT_EQ(C.R(cw::kScale), -99.9f);
    EXPECT_EQ(UREQ.I(ureqw::kKnown), 0);

    struct Case {
        const char* line;
        const char* message;
    };
    const Case cases[] = {{"know 1", " error in directive : know 1"},
                          {"know x", " error in directive : know x"},
                          {"nosi", " wrong directive on following line:\n nosi"}};
    for (const Case& c : cases) {
        queue({{kVorp, {c.line, "know"}}}, "");
        EXPECT_EQ(dispatch(1), -1) << c.line;
        EXPECT_TRUE(listed(c.message)) << c.line;
        EXPECT_EQ(COMDIR.I(comdir::kCursor), 2) << "all the command's lines are its own";
    }
}

TEST_F(Link, MissingCellGroupAndContentAreAllReported) {
    EXPECT_EQ(vorp({}), -1);
    EXPECT_TRUE(listed("\n *** error *** no cell parameters supplied\n"));
    EXPECT_TRUE(listed("\n *** error *** no space group symbol supplied\n"));
    EXPECT_TRUE(listed("\n *** error *** no cell content supplied\n"));
    EXPECT_FALSE(stored(7));
}

// A damaged or missing list 6: the message, a failed command, and the list
// 7 of the earlier %data left as it was.
struct BadList6 {
    const char* name;
    int stored_records;  // records written; -1: no list 6 at all
    int count;           // the header's record count
    bool end;            // end record written
    int reclen;
    float sigma;
    const char* message;
};
void PrintTo(const BadList6& c, std::ostream* os) { *os << c.name; }

const BadList6 kBad[] = {
    {"missing", -1, 0, false, 6, 1.0f,
     " *** error ***  list number    6 not existent\n                reflections expected\n"},
    {"record_length", 3, 3, true, 13, 1.0f,
     " *** error *** list    6 has records of    13 words: 5 to 12 can be read\n"
     " *** error ***  problems in list number    6\n"},
    {"no_end_record", 3, 5, false, 6, 1.0f, " *** error ***  problems in list number    6\n"},
    {"end_before_count", 2, 4, true, 5, 1.0f, " *** error ***  problems in list number    6\n"},
    {"negative_sigma", 3, 3, true, 6, -2.0f, " *** error ***  negative value of sigma(F) in input:"},
};

class LinkBadList6 : public Link, public ::testing::WithParamInterface<BadList6> {};

TEST_P(LinkBadList6, MessageAndFailedCommand) {
    const BadList6& c = GetParam();
    const std::vector<Refl> first = {{1, 1, 1, 50, 1, 0}, {1, 1, 2, 40, 1, 0}};
    ASSERT_EQ(data("p 21 21 21", "9 11 13 90 90 90", first, false), 0);
    const auto before = list7();
    std::vector<Refl> refl;
    for (int j = 0; j < c.stored_records; ++j) refl.push_back({1, 2, 3 + j, 10.0f + j, c.sigma, 0});
    if (c.stored_records >= 0) write_list6(refl, c.count, c.end, c.reclen);
    EXPECT_EQ(vorp({}), -1);
    EXPECT_TRUE(listed(c.message)) << listing();
    expect_same_records(before, list7());
}

INSTANTIATE_TEST_SUITE_P(Faults, LinkBadList6, ::testing::ValuesIn(kBad),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Link, EmptyList6GivesAnEmptyList7) {
    const std::vector<Refl> first = {{1, 1, 1, 50, 1, 0}};
    ASSERT_EQ(data("p 21 21 21", "9 11 13 90 90 90", first, false), 0);
    write_list6({}, 0, true);
    EXPECT_EQ(vorp({}), 0);
    EXPECT_TRUE(stored(7));
    EXPECT_TRUE(list7().empty());
}

// The first command of a run starts from a cleared sigma flag; the link
// sets it as %data does and lets the list-7 writer judge the sigmas.
TEST_F(Link, SigmaFlagIsJudgedFromTheLinkedReflections) {
    struct Case {
        const char* name;
        float sigmas[3];
        int flag;
    };
    const Case cases[] = {{"varied_sigmas", {1.5f, 2.5f, 0.7f}, 1}, {"all_sigmas_one", {1.0f, 1.0f, 1.0f}, 0}};
    const std::string warning = "\n *** warning ***  sigma(F) values are meaningless\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(data("p 1", "30 30 30 90 90 90", {}, false), 0);
        write_list6({{1, 0, 0, 10, c.sigmas[0], 0}, {0, 1, 0, 20, c.sigmas[1], 0}, {0, 0, 1, 30, c.sigmas[2], 0}}, 3,
                    true);
        reset_crystal_records();  // a new run: the link is its first command
        const std::size_t from = listing().size();
        ASSERT_EQ(vorp({}), 0) << listing();
        EXPECT_EQ(UREQ.I(ureqw::kSigma), c.flag);
        EXPECT_EQ(header7().w[27].i, c.flag);  // stored in the list-7 header
        EXPECT_EQ(listing().find(warning, from) != std::string::npos, c.flag == 0) << listing().substr(from);
    }
}

// The later commands index their tables by the super-index: the link
// refuses what %data refuses, with the same advice, and keeps list 7.
TEST_F(Link, LargestSuperIndexAbove100000IsRefusedAsByData) {
    // In P 1 the largest super-index is hmax (2kmax+1)(2lmax+1) +
    // kmax (2lmax+1) + lmax: 99992 for maxima 18 23 57, 100006 for 9 43 60.
    const std::vector<Refl> first = {{1, 1, 1, 50, 1, 0}, {1, 1, 2, 40, 2, 0}};
    ASSERT_EQ(data("p 1", "200 200 200 90 90 90", first, false), 0);
    const auto before = list7();

    write_list6({{9, 0, 0, 10, 1, 0}, {0, 43, 0, 11, 2, 0}, {0, 0, 60, 12, 3, 0}}, 3, true, 6, {9, 43, 60});
    EXPECT_EQ(vorp({}), -1);
    // (sin(theta)/lambda)^2 = l^2 / (4 c^2) = 3600 / 160000 = 0.0225 for 0 0 60,
    // the largest s^2 of the data.
    EXPECT_TRUE(listed("\n\n *** error *** maximum values of h,k,l are too large.\n"
                       "               The program cannot manage them\n\n"
                       " Restart the program using in %DATA the directive \n"
                       "                RHOMAX  xx                        \n"
                       " where xx must be less than  0.0225\n"
                       " in order to reduce the maximum values of h,k,l.  \n"))
        << listing();
    expect_same_records(before, list7());

    write_list6({{18, 0, 0, 10, 1, 0}, {0, 23, 0, 11, 2, 0}, {0, 0, 57, 12, 3, 0}}, 3, true, 6, {18, 23, 57});
    EXPECT_EQ(vorp({}), 0) << listing();
    EXPECT_EQ(list7().size(), 3u);
}

TEST_F(Link, NormalFollowsTheLink) {
    ASSERT_EQ(data("p 21 21 21", "9 11 13 90 90 90", {}, false), 0);
    // Amplitudes that fall off with resolution, for a Wilson plot.
    std::vector<Refl> refl;
    for (int h = 0; h <= 6; ++h)
        for (int k = 0; k <= 6; ++k)
            for (int l = 0; l <= 6; ++l) {
                if (h + k + l == 0) continue;
                if ((h == 0 && k == 0 && l % 2) || (h == 0 && l == 0 && k % 2) || (k == 0 && l == 0 && h % 2))
                    continue;
                const double s2 = h * h / 324.0 + k * k / 484.0 + l * l / 676.0;
                const double fo = 400.0 * std::exp(-3.0 * s2) * (1.0 + 0.8 * std::sin(h * 1.7 + k * 2.3 + l * 0.9));
                refl.push_back({h, k, l, static_cast<float>(fo), static_cast<float>(0.05 * fo + 1.0), 0});
            }
    write_list6(refl, static_cast<int>(refl.size()), true, 5, {6, 6, 6});
    queue({{kVorp, {}}, {kNormal, {}}}, "");
    ASSERT_EQ(run_queue(), 0) << listing();
    EXPECT_TRUE(listed("  largest E-values to phase"));
    auto l7 = list7();
    EXPECT_EQ(l7.size(), refl.size());
    EXPECT_GT(C.R(cw::kScale), 0.0f);  // normalised
}

}  // namespace
