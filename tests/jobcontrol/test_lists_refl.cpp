// The reflection lists: list 7 written in the merge order, reopened in a
// fresh run and streamed record by record; its header checked byte by byte;
// the seed and sigma words of SPB07; list 6 as the sibling program writes
// it, including damaged ones; list 19.
#include <limits>
#include <vector>

#include "jobcontrol/lists/list07.h"
#include "tests/jobcontrol/lists_fixture.h"

using namespace zanek;
using namespace zanek::listtest;

namespace {

// --- List 7 test data ----------------------------------------------------

struct Refl {
    int h, k, l;
    float key, fo, a, b;
    int phase;
    float sigma;
};

std::vector<Refl> make_reflections(int n) {
    std::vector<Refl> v;
    for (int j = 0; j < n; ++j) {
        const int h = (j * 7) % 127 - 63, k = (j * 13) % 127 - 63, l = (j * 5) % 40 - 20;
        v.push_back({h, k, l, 5.0f - 0.01f * j, 100.0f + j, 0.001f * (j % 500), 0.002f * (j % 200),
                     360 * 32768 + (j % 361) * 32 + (j % 13) + 1, 0.5f + 0.25f * (j % 4)});
    }
    return v;
}

void set_header_sources() {
    UREQ.I(ureqw::kHmax) = 11;
    UREQ.I(ureqw::kKmax) = 22;
    UREQ.I(ureqw::kLmax) = 33;
    UREQ.I(ureqw::kSigma) = 1;
    UREQ.I(ureqw::kKnown) = 1;
    UREQ.I(ureqw::kPartial) = -1;
    UREQ.I(ureqw::kKept) = 0;
    UREQ.R(ureqw::kWeakLimit) = 12.5f;
    C.R(cw::kB) = 2.75f;
    C.R(cw::kScale) = -99.9f;
    RC.I(rcw::kNref) = 250;
    RC.I(rcw::kNzro) = 166;
    SYM.R(symw::kSigma3) = 0.123f;
    SYM.R(symw::kSigma3Prim) = 0.456f;
}

// Writes list 7 in the order of the merge step.
void write_list7(const std::vector<Refl>& refl, int ipseudo, int seed) {
    const int n = static_cast<int>(refl.size());
    YSFP07(n, ipseudo, seed);
    int nn, nref, nzro, ip, x;
    YSFL07(nn, nref, nzro, ip, x);
    for (const Refl& r : refl) {
        Word rec[6] = {wi(compact_index(r.h, r.k, r.l)), wr(r.key), wr(r.fo), wr(pack_pair(r.a, r.b)),
                       wi(r.phase), wr(r.sigma)};
        XSLW07(rec);
    }
    YSFL07(nn, nref, nzro, ip, x);
    XDUMP();
    SPB07(list7::kUpdateSigmaWords);
}

}  // namespace

// ======================================================================
// Compact index and packed pair
// ======================================================================

TEST(CompactIndex, EncodesAndDecodesWithItsGroup) {
    struct Case { int h, k, l, g; int32_t word; };
    const Case cases[] = {
        {-63, 63, 63, 0, 2129919},
        {0, 0, 0, 0, 0x302040},
        {1, 2, 3, 0, 16384 + 256 + 3 + 3153984},
        {63, -63, -63, 0, 16384 * 127 + 128 * 1 + 1 + 2097152},
        {5, -4, 7, 2, 3 * 2097152 + 69 * 16384 + 60 * 128 + 71},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(compact_index(c.h, c.k, c.l, c.g), c.word);
        int h, k, l, g;
        decode_compact_index(c.word, h, k, l, g);
        EXPECT_EQ(h, c.h);
        EXPECT_EQ(k, c.k);
        EXPECT_EQ(l, c.l);
        EXPECT_EQ(g, c.g);
    }
}

TEST(PackedPair, KeepsItsSinglePrecisionRounding) {
    // 600*32768 + 123 = 19660923 is above 2^24: the REAL holds 19660924.
    EXPECT_EQ(pack_pair(0.6f, 0.123f), 19660924.0f);
    EXPECT_EQ(pack_pair(0.5f, 0.25f), 500.0f * 32768 + 250);
    EXPECT_EQ(pack_pair(40.0f, 50.0f), 32767.0f * 32768 + 32767);  // both clipped
}

// ======================================================================
// List 7
// ======================================================================

class ReflectionList : public ListRun {
protected:
    // A fresh run opens the stored list 7 and reads its first two records.
    void read_first_two(Word out[9]) {
        fresh_run();
        int n, nref, nzro, ip, x;
        YSFL07(n, nref, nzro, ip, x);
        SNR07(out);
        SNR07(out);
    }
};

TEST_F(ReflectionList, WrittenListStreamsBackInAFreshRun) {
    const auto refl = make_reflections(300);  // several blocks
    set_header_sources();
    write_list7(refl, 2, 4242);
    EXPECT_EQ(RC.I(rcw::kReflections), 300);

    fresh_run();
    int n = -1, nref = -1, nzro = -1, ip = -1, x = -1;
    YSFL07(n, nref, nzro, ip, x);
    EXPECT_EQ(n, 300);
    EXPECT_EQ(nref, 250);
    EXPECT_EQ(nzro, 166);
    EXPECT_EQ(ip, 2);
    EXPECT_EQ(x, 4242);
    EXPECT_EQ(RC.I(rcw::kNref), 250);
    EXPECT_EQ(RC.I(rcw::kNzro), 166);
    EXPECT_EQ(RC.I(rcw::kReflections), 300);
    EXPECT_EQ(UREQ.I(ureqw::kHmax), 11);
    EXPECT_EQ(UREQ.I(ureqw::kKmax), 22);
    EXPECT_EQ(UREQ.I(ureqw::kLmax), 33);
    EXPECT_EQ(UREQ.I(ureqw::kSigma), 1);
    EXPECT_EQ(UREQ.I(ureqw::kKnown), 1);
    EXPECT_EQ(UREQ.I(ureqw::kPartial), -1);
    EXPECT_EQ(UREQ.R(ureqw::kWeakLimit), 12.5f);
    EXPECT_EQ(C.R(cw::kB), 2.75f);
    EXPECT_EQ(C.R(cw::kScale), -99.9f);
    EXPECT_EQ(SYM.R(symw::kSigma3), 0.123f);
    EXPECT_EQ(SYM.R(symw::kSigma3Prim), 0.456f);
    EXPECT_EQ(XLIMI.I(xlimi::kNextFree), XLIMI.I(xlimi::kListBase) + 43);
    for (int j = 0; j < n; ++j) {
        Word out[9];
        SNR07(out);
        const Refl& r = refl[j];
        ASSERT_EQ(out[0].i, r.h) << j;
        ASSERT_EQ(out[1].i, r.k) << j;
        ASSERT_EQ(out[2].i, r.l) << j;
        EXPECT_EQ(out[3].r, r.key);
        EXPECT_EQ(out[4].r, r.fo);
        // Both packed values below 0.512 and 0.4: exact to 0.001.
        EXPECT_NEAR(out[5].r, r.a, 1e-6);
        EXPECT_NEAR(out[6].r, r.b, 1e-6);
        EXPECT_EQ(out[7].i, r.phase);
        EXPECT_EQ(out[8].r, r.sigma);
    }
}

TEST_F(ReflectionList, HeaderBytesInTheFile) {
    set_header_sources();
    write_list7(make_reflections(10), 1, 777);
    const Row row = file_row(path, 7);
    const int f = row.first;
    EXPECT_EQ(row, (Row{7, 1, f, f + 6 * 10 + 35, 30, 6 * 10 + 36}));
    const float reals[][2] = {{1, 11111}, {2, 7}, {3, 1}, {4, 0}, {5, -1}, {6, 7}, {7, 6}, {8, 10}, {9, 0},
                              {10, 30}, {11, 11}, {12, 22}, {13, 33}, {14, 0}, {15, 0}, {16, -1}, {17, 1},
                              {18, 2.75f}, {19, -99.9f}, {20, 250}, {21, 166}, {22, 0.123f}, {23, 0.456f},
                              {24, 0}, {25, 1}, {27, 12.5f}, {29, 0}, {30, 0}};
    for (const auto& w : reals) EXPECT_EQ(file_real(path, f + static_cast<int>(w[0]) - 1), w[1]) << w[0];
    EXPECT_EQ(file_int(path, f + 25), 777);  // seed, an INTEGER
    EXPECT_EQ(file_int(path, f + 27), 1);    // sigma flag, an INTEGER
    // The first record: compact index word and the packed REAL of word 4.
    EXPECT_EQ(file_int(path, f + 30), compact_index(-63, -63, -20));
    EXPECT_EQ(file_real(path, f + 33), 0.0f);
}

TEST_F(ReflectionList, RewritingReusesOrMovesTheSpace) {
    write_list7(make_reflections(50), 0, 1);
    const Row r1 = file_row(path, 7);
    write_list7(make_reflections(40), 0, 1);
    EXPECT_EQ(file_row(path, 7), (Row{7, 2, r1.first, r1.first + 6 * 40 + 35, 30, 6 * 40 + 36}));
    const int next = file_next_free(path);
    write_list7(make_reflections(60), 0, 1);
    EXPECT_EQ(file_row(path, 7), (Row{7, 1, next, next + 6 * 60 + 35, 30, 6 * 60 + 36}));
    EXPECT_EQ(file_next_free(path), next + 6 * 60 + 36);
}

TEST_F(ReflectionList, SeedAndSigmaWordsAreUpdatedSeparately) {
    set_header_sources();
    write_list7(make_reflections(5), 0, list7::kDefaultSeed);
    const int f = first_of(7);
    UREQ.R(ureqw::kWeakLimit) = 33.25f;
    UREQ.I(ureqw::kSigma) = 0;
    SPB07(list7::kUpdateSigmaWords);
    EXPECT_EQ(file_int(path, f + 25), 67543);
    EXPECT_EQ(file_real(path, f + 26), 33.25f);
    EXPECT_EQ(file_int(path, f + 27), 0);
    UREQ.R(ureqw::kWeakLimit) = 1.0f;
    SPB07(12345);
    EXPECT_EQ(file_int(path, f + 25), 12345);
    EXPECT_EQ(file_real(path, f + 26), 33.25f);
    EXPECT_EQ(file_int(path, f + 27), 0);
}

TEST_F(ReflectionList, ASeedOfMinusOneIsNeverStored) {
    write_list7(make_reflections(3), 0, -1);
    EXPECT_EQ(file_int(path, first_of(7) + 25), list7::kDefaultSeed);
}

TEST_F(ReflectionList, PackedPairAboveTwoTo24LosesItsLastUnit) {
    YSFP07(1, 0, 1);
    int n, nref, nzro, ip, x;
    YSFL07(n, nref, nzro, ip, x);
    Word rec[6] = {wi(compact_index(1, 2, 3)), wr(1), wr(2), wr(pack_pair(0.6f, 0.123f)), wi(1), wr(1)};
    XSLW07(rec);
    YSFL07(n, nref, nzro, ip, x);
    Word out[9];
    SNR07(out);
    EXPECT_NEAR(out[5].r, 0.6f, 1e-6);
    EXPECT_NEAR(out[6].r, 0.124f, 1e-6);
}

TEST_F(ReflectionList, NoRecordIsWrittenOrReadPastTheCount) {
    write_list7(make_reflections(4), 0, 1);
    int n, nref, nzro, ip, x;
    YSFL07(n, nref, nzro, ip, x);
    Word out[9];
    for (int j = 0; j < 4; ++j) SNR07(out);
    const long long size = file_size();
    EXPECT_EQ(stop_code([&] { SNR07(out); }), 1234);
    YSFL07(n, nref, nzro, ip, x);
    Word rec[6] = {};
    for (int j = 0; j < 4; ++j) XSLW07(rec);
    EXPECT_EQ(stop_code([&] { XSLW07(rec); }), 1234);
    EXPECT_EQ(file_size(), size);
    EXPECT_TRUE(listing_has(" ****  programming  error  **** "));
}

TEST_F(ReflectionList, CountBeyondTheListSpaceIsCorrupted) {
    write_list7(make_reflections(4), 0, 1);
    const int f = first_of(7);
    for (float bad : {6.0f, 1.0e6f, -1.0f, 1.0e30f}) {
        patch_real(path, f + 7, bad);
        fresh_run();
        int n, nref, nzro, ip, x;
        EXPECT_EQ(stop_code([&] { YSFL07(n, nref, nzro, ip, x); }), 1111) << bad;
    }
    EXPECT_TRUE(listing_has(" requested list   7 has been corrupted"));
}

// The largest h, k and l (header words 11-13) size the super-index tables
// of every later command: one outside 0..63 is a damaged list.
TEST_F(ReflectionList, LargestIndexOutsideWhatARecordHoldsIsCorrupted) {
    write_list7(make_reflections(4), 0, 1);
    const int f = first_of(7);
    for (int word : {11, 12, 13})
        for (float bad : {64.0f, -1.0f, 1.0e9f, std::numeric_limits<float>::quiet_NaN()}) {
            const float old = file_real(path, f + word - 1);
            patch_real(path, f + word - 1, bad);
            fresh_run();
            int n, nref, nzro, ip, x;
            EXPECT_EQ(stop_code([&] { YSFL07(n, nref, nzro, ip, x); }), 1111) << "word " << word << ": " << bad;
            patch_real(path, f + word - 1, old);
        }
    fresh_run();
    int n, nref, nzro, ip, x;
    YSFL07(n, nref, nzro, ip, x);  // the list as written loads
    EXPECT_EQ(n, 4);
    EXPECT_TRUE(listing_has(" requested list   7 has been corrupted"));
}

// A record word that is not a number (the key or E, Fo, the packed pair,
// sigma) is a damaged list: reading that record stops with the corruption
// message, the records before it read as written.
TEST_F(ReflectionList, RecordWordThatIsNotANumberIsCorrupted) {
    write_list7(make_reflections(4), 0, 1);
    const int third = first_of(7) + 30 + 2 * 6;
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    struct Case { int word; float value; };
    for (const Case c : {Case{2, nan}, Case{3, inf}, Case{4, -inf}, Case{6, nan}}) {
        const float old = file_real(path, third + c.word - 1);
        patch_real(path, third + c.word - 1, c.value);
        Word out[9];
        read_first_two(out);
        EXPECT_EQ(stop_code([&] { SNR07(out); }), 1111) << "word " << c.word;
        patch_real(path, third + c.word - 1, old);
    }
    EXPECT_TRUE(listing_has(" requested list   7 has been corrupted"));
}

// The records lie by decreasing key (input order before %normal, E after
// it): a record whose key is above the one before it is damaged, while
// equal keys are sound.
TEST_F(ReflectionList, KeyAboveTheOneBeforeIsCorrupted) {
    write_list7(make_reflections(4), 0, 1);
    const int third = first_of(7) + 30 + 2 * 6;
    const float second_key = file_real(path, third - 6 + 1);
    struct Case { float key; bool damaged; };
    for (const Case c : {Case{1.0e38f, true}, Case{second_key + 0.001f, true}, Case{second_key, false},
                         Case{-1.0f, false}}) {
        patch_real(path, third + 1, c.key);
        Word out[9];
        read_first_two(out);
        if (c.damaged) {
            EXPECT_EQ(stop_code([&] { SNR07(out); }), 1111) << c.key;
        } else {
            SNR07(out);
            EXPECT_EQ(out[3].r, c.key);
        }
    }
    EXPECT_TRUE(listing_has(" requested list   7 has been corrupted"));
}

// Header words 22-23, sigma3/sigma2^1.5 of the content in the primitive
// cell, lie in 0..2 (one atom in an F-centred cell gives 2).
TEST_F(ReflectionList, ContentRatioOutsideZeroToTwoIsCorrupted) {
    set_header_sources();
    write_list7(make_reflections(4), 0, 1);
    const int f = first_of(7);
    struct Case { float value; bool damaged; };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (int word : {22, 23})
        for (const Case c : {Case{2.5e9f, true}, Case{2.001f, true}, Case{-0.01f, true}, Case{nan, true},
                             Case{2.0f, false}, Case{0.0f, false}}) {
            const float old = file_real(path, f + word - 1);
            patch_real(path, f + word - 1, c.value);
            fresh_run();
            int n, nref, nzro, ip, x;
            const int code = stop_code([&] { YSFL07(n, nref, nzro, ip, x); });
            EXPECT_EQ(code, c.damaged ? 1111 : -99999) << "word " << word << ": " << c.value;
            patch_real(path, f + word - 1, old);
        }
    EXPECT_TRUE(listing_has(" requested list   7 has been corrupted"));
}

TEST_F(ReflectionList, OpeningAnAbsentListStops1111) {
    int n, nref, nzro, ip, x;
    EXPECT_EQ(stop_code([&] { YSFL07(n, nref, nzro, ip, x); }), 1111);
    EXPECT_EQ(stop_code([] { SPB07(5); }), 1111);
    EXPECT_TRUE(listing_has(" no list of type    7  stored"));
}

// ======================================================================
// List 6 (the sibling program's)
// ======================================================================

namespace {

struct Rec6 {
    int h, k, l, g;
    float v[4];
};

// Writes list 6 as the sibling program does: a header of `part` words
// (6 reserved DATA words, 7 record length, 8 count, 11-13 maxima), the
// records of `reclen` words (index word, four values, then filler), and,
// when `end` is set, the end record whose first word is the INTEGER 11111.
// The list takes exactly the words written, at the next free address.
constexpr int kList6Part = 20;  // header words of the lists written here
int write_list6(const std::vector<Rec6>& recs, int reclen, int count, bool end, int part = kList6Part,
                int reserved = 4) {
    const int space = part + reclen * static_cast<int>(recs.size() + (end ? 1 : 0));
    const int first = take_store_space(space);
    std::vector<Word> img(part, wr(0));
    img[0] = wr(11111);
    img[1] = wr(6);
    img[2] = wr(1);
    img[4] = wr(-1);
    img[5] = wr(static_cast<float>(reserved));
    img[6] = wr(static_cast<float>(reclen));
    img[7] = wr(static_cast<float>(count));
    img[10] = wr(21);
    img[11] = wr(22);
    img[12] = wr(23);
    for (const Rec6& r : recs) {
        img.push_back(wi(compact_index(r.h, r.k, r.l, r.g)));
        for (float v : r.v) img.push_back(wr(v));
        for (int j = 5; j < reclen; ++j) img.push_back(wi(-7));
    }
    if (end)
        for (int j = 0; j < reclen; ++j) img.push_back(wi(11111));
    XUP(first, img.data(), static_cast<int>(img.size()));
    SWLIN(6, 1, first, first + space - 1, part, space);
    XDUMP();
    return first;
}

}  // namespace

class SiblingList : public ListRun {
protected:
    const std::vector<Rec6> recs = {{1, 2, 3, 0, {10, 1, 0, 90}},  {-4, 5, 6, 1, {11, 2, 0, 45}},
                                    {7, -8, 9, 2, {12, 3, 0, 0}},   {10, 11, -12, 0, {13, 4, 0, -90}},
                                    {0, 0, 1, 0, {14, 5, 0, 180}}};
};

TEST_F(SiblingList, ReadsRecordsWithTheirGroupsAndSkipsOthers) {
    write_list6(recs, 7, 5, true);
    fresh_run();
    int n = -1;
    EXPECT_EQ(YFL06(0, n), 0);
    EXPECT_EQ(n, 5);
    EXPECT_EQ(UREQ.I(ureqw::kHmax), 21);
    EXPECT_EQ(UREQ.I(ureqw::kLmax), 23);
    Word rec[12];
    int g = -1;
    for (const Rec6& r : recs) {
        ASSERT_EQ(KKLDNR(rec, g), 0);
        EXPECT_EQ(g, r.g);
        EXPECT_EQ(rec[0].i, r.h);
        EXPECT_EQ(rec[1].i, r.k);
        EXPECT_EQ(rec[2].i, r.l);
        for (int j = 0; j < 4; ++j) EXPECT_EQ(rec[3 + j].r, r.v[j]);
        for (int j = 7; j < 12; ++j) EXPECT_EQ(rec[j].i, 0);  // the longer record's filler is skipped
    }
    EXPECT_EQ(KKLDNR(rec, g), -1);
    // Group 0 only, after a rewind.
    EXPECT_EQ(YFL06(1, n), 0);
    std::vector<int> fo;
    while (KKFNR(rec) == 0) fo.push_back(static_cast<int>(rec[3].r));
    EXPECT_EQ(fo, (std::vector<int>{10, 13, 14}));
    EXPECT_EQ(KKFNR(rec), -1);
}

TEST_F(SiblingList, EndRecordFirstEndsAtOnceAndStaysEnded) {
    write_list6({}, 5, 0, true);
    int n = -1;
    EXPECT_EQ(YFL06(0, n), 0);
    EXPECT_EQ(n, 0);
    Word rec[12];
    EXPECT_EQ(KKFNR(rec), -1);
    EXPECT_EQ(KKFNR(rec), -1);
}

TEST_F(SiblingList, MissingEndRecordStopsAtTheCountWithoutGrowingTheFile) {
    // The list ends exactly at a block boundary at the end of the file, so
    // that one read further would extend the file with zero blocks.
    const int next = file_next_free(path);
    const int reclen = 5, part = 20;
    const int pad = (512 - (next + part + reclen * 5) % 512) % 512;
    take_store_space(pad);
    write_list6(recs, reclen, 5, false);
    fresh_run();
    const long long size = file_size();
    int n;
    YFL06(0, n);
    Word rec[12];
    int got = 0;
    for (int tries = 0; tries < 20 && KKFNR(rec) == 0; ++tries) ++got;
    EXPECT_EQ(got, 3);  // the group-0 records among the five counted
    EXPECT_EQ(KKFNR(rec), -1);
    EXPECT_EQ(file_size(), size);
    // The count ends the list even where more records follow.
    write_list6(recs, reclen, 2, false);
    YFL06(0, n);
    int g;
    got = 0;
    while (got < 20 && KKLDNR(rec, g) == 0) ++got;
    EXPECT_EQ(got, 2);
}

TEST_F(SiblingList, CountBeyondTheListSpaceStopsAtItsEnd) {
    write_list6(recs, 5, 1000, false);
    const long long size = file_size();
    int n;
    YFL06(0, n);
    EXPECT_EQ(n, 1000);
    Word rec[12];
    int g, got = 0;
    while (got < 2000 && KKLDNR(rec, g) == 0) ++got;
    EXPECT_EQ(got, 5);
    EXPECT_EQ(file_size(), size);
}

TEST_F(SiblingList, RecordsLongerThan12WordsAreRefused) {
    write_list6(recs, 13, 5, true);
    const int h0 = XLIMI.I(xlimi::kListBase);
    const int after_staging = h0 + kList6Part + list6::kMaxRecordLength;
    DATA.I(after_staging) = -4242;  // the word after a 12-word staging record
    int n = -1;
    EXPECT_EQ(YFL06(0, n), -1);
    EXPECT_TRUE(listing_has(" *** error *** list    6 has records of    13 words: 5 to 12 can be read"));
    Word rec[12];
    EXPECT_EQ(KKFNR(rec), -1);
    int g;
    EXPECT_EQ(KKLDNR(rec, g), -1);
    EXPECT_EQ(YFL06(1, n), -1);  // a rewind does not open it
    EXPECT_EQ(DATA.I(after_staging), -4242);
    // Exactly 12 words is accepted.
    write_list6(recs, 12, 5, true);
    EXPECT_EQ(YFL06(0, n), 0);
    EXPECT_EQ(KKFNR(rec), 0);
}

TEST_F(SiblingList, DamagedHeaderIsCorrupted) {
    struct Case { int part, reserved, count; };
    const Case cases[] = {{10, 4, 5}, {20, -3, 5}, {20, 6000, 5}, {20, 4, -1}};
    for (const Case& c : cases) {
        write_list6(recs, 5, c.count, true, c.part < 13 ? 13 : c.part, c.reserved);
        if (c.part < 13) {
            const Row r = file_row(path, 6);
            SWLIN(6, 1, r.first, r.last, c.part, r.length);
        }
        int n;
        EXPECT_EQ(stop_code([&] { YFL06(0, n); }), 1111) << c.part << " " << c.reserved << " " << c.count;
    }
    EXPECT_TRUE(listing_has(" requested list   6 has been corrupted"));
}

// ======================================================================
// List 19
// ======================================================================

class PseudoList : public ListRun {};

TEST_F(PseudoList, StoresAndLoadsTheConditions) {
    const int ic[12] = {1, 2, 0, 2, -1, 0, 1, 3, 4, 5, 6, 7};
    FRM19(ic, 1.25f, -0.5f);
    EXPECT_EQ(file_row(path, 19).length, 20);
    const int f = first_of(19);
    EXPECT_EQ(file_real(path, f + 1), 19.0f);
    EXPECT_EQ(file_real(path, f + 11), -1.0f);  // word 12 = REAL(IC(5))
    EXPECT_EQ(file_real(path, f + 19), 0.0f);
    fresh_run();
    int got[12] = {};
    float slope = 0, aint = 0;
    SFL19(got, slope, aint);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(got[i], ic[i]) << i;
    EXPECT_EQ(slope, 1.25f);
    EXPECT_EQ(aint, -0.5f);
}

TEST_F(PseudoList, AbsentListLeavesTheArgumentsAlone) {
    int ic[12];
    for (int i = 0; i < 12; ++i) ic[i] = 40 + i;
    float slope = 9, aint = 8;
    SFL19(ic, slope, aint);
    EXPECT_EQ(ic[0], 40);
    EXPECT_EQ(ic[11], 51);
    EXPECT_EQ(slope, 9.0f);
    EXPECT_EQ(aint, 8.0f);
}
