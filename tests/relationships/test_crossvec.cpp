// The cross-vector index of the quartet pass: how each operator acts on
// reciprocal space (worked out by hand from its matrix), the zones and
// extinctions it marks in the super-index table, the coding of strong,
// weak and ordinary reflections of list 7, and, on the test jobs, agreement
// of the extinct codes with the absence test of the reflection input.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "crystaldata/equivalents.h"
#include "jobcontrol/lists/list07.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/invariants.h"
#include "jobcontrol/records/phaseset.h"
#include "jobcontrol/records/work.h"
#include "relationships/crossvec.h"
#include "relationships/triplets.h"
#include "tests/relationships/jobs.h"
#include "tests/relationships/model.h"
#include "tests/support/inprocess.h"

using namespace zanek;
using namespace zanek::invtab;
using qcode::Kind;

namespace {

using M3 = std::array<int, 9>;
constexpr M3 kIdentity{1, 0, 0, 0, 1, 0, 0, 0, 1};

struct HandOp {
    M3 r;
    std::array<float, 3> t;
};

// Loads the operators into SYM and ERL, a cubic index box of half-width
// `box` into UREQ and PARAM, the special limits into DIRQN, and clears isr.
void set_group(const std::vector<HandOp>& ops, bool centric, std::array<int, 3> box = {6, 6, 6}) {
    SYM.clear();
    ERL.clear();
    SYM.I(symw::kOps) = static_cast<int>(ops.size());
    SYM.I(symw::kCentric) = centric ? 1 : 0;
    for (std::size_t k = 0; k < ops.size(); ++k)
        for (int i = 1; i <= 3; ++i) {
            for (int j = 1; j <= 3; ++j) erl_R(static_cast<int>(k) + 1, i, j) = ops[k].r[3 * (i - 1) + (j - 1)];
            erl_T(static_cast<int>(k) + 1, i) = ops[k].t[i - 1];
        }
    for (int i = 1; i <= 3; ++i) max_index(i) = box[i - 1];
    UREQ.I(ureqw::kPrint) = 0;
    PARAM.I(param::kStrideH) = (2 * box[1] + 1) * (2 * box[2] + 1);
    PARAM.I(param::kStrideK) = 2 * box[2] + 1;
    PARAM.I(param::kLargest) = box[0] * PARAM.I(param::kStrideH) + box[1] * PARAM.I(param::kStrideK) + box[2];
    ASSERT_LE(PARAM.I(param::kLargest), kIsrSize);
    DIRQN.clear();
    DIRQN.I(dirqn::kSpecialE100) = 100;
    DIRQN.I(dirqn::kEquivSpecialE100) = 300;
    for (int s = 1; s <= PARAM.I(param::kLargest); ++s) isr(s) = 0;
}

int32_t& entry(int h, int k, int l) {
    const int v[3] = {h, k, l};
    return isr(std::abs(super_index(v)));
}

Kind kind(int h, int k, int l) { return qcode::classify(h, k, l).kind; }

// ---------------------------------------------------------------------------

TEST(OperatorClasses, MatricesGiveTheirAxesPlanesAndDiagonals) {
    struct Case {
        const char* what;
        M3 r;
        int variant;
        std::array<int, 3> c;
        int code;
        int pair_sign;  // checked for the face diagonals only
    };
    const Case cases[] = {
        {"identity", kIdentity, 1, {1, 1, 1}, 3, 0},
        {"centre", kIdentity, 2, {0, 0, 0}, 0, 0},
        {"two-fold along c", {-1, 0, 0, 0, -1, 0, 0, 0, 1}, 1, {0, 0, 1}, 1, 0},
        {"plane perpendicular to c", {-1, 0, 0, 0, -1, 0, 0, 0, 1}, 2, {1, 1, 0}, 2, 0},
        {"two-fold along b", {-1, 0, 0, 0, 1, 0, 0, 0, -1}, 1, {0, 1, 0}, 1, 0},
        {"plane perpendicular to b", {-1, 0, 0, 0, 1, 0, 0, 0, -1}, 2, {1, 0, 1}, 2, 0},
        {"three-fold along c", {0, -1, 0, 1, -1, 0, 0, 0, 1}, 1, {0, 0, 1}, 1, 0},
        {"four-fold along c", {0, -1, 0, 1, 0, 0, 0, 0, 1}, 1, {0, 0, 1}, 1, 0},
        {"two-fold along [110]", {0, 1, 0, 1, 0, 0, 0, 0, -1}, 1, {3, 3, 0}, 6, 1},
        {"plane x = y", {0, 1, 0, 1, 0, 0, 0, 0, 1}, 1, {3, 3, 1}, 7, 1},
        {"plane x = -y", {0, -1, 0, -1, 0, 0, 0, 0, 1}, 1, {3, 3, 1}, 7, -1},
        {"three-fold along [111]", {0, 0, 1, 1, 0, 0, 0, 1, 0}, 1, {0, 0, 0}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        set_group({{kIdentity, {0, 0, 0}}, {c.r, {0, 0, 0}}}, c.variant == 2);
        const OperatorClass oc = classify_operator(2, c.variant);
        EXPECT_EQ(oc.code, c.code);
        for (int j = 0; j < 3; ++j) EXPECT_EQ(oc.c[j], c.c[j]) << "axis " << j + 1;
        if (c.code >= 6) { EXPECT_EQ(oc.pair_sign, c.pair_sign); }
    }
}

TEST(OperatorClasses, TranslationOrders) {
    struct Case {
        float t;
        int order;
    };
    const Case cases[] = {{0.0f, 0},         {0.0004f, 0},      {0.5f, 2},         {1.0f / 3.0f, 3},
                          {2.0f / 3.0f, 3},  {0.25f, 4},        {0.75f, 4},        {1.0f / 6.0f, 6},
                          {5.0f / 6.0f, 6},  {0.125f, 8},       {0.375f, 8}};
    for (const Case& c : cases) EXPECT_EQ(translation_order(c.t), c.order) << c.t;
}

// ---------------------------------------------------------------------------
// Zones marked by GEEST in a table filled by hand.

class Zones : public invtest::ListingTest {};

TEST_F(Zones, ScrewAxisAlongBForbidsOddAndMarksEvenReflections) {
    set_group({{kIdentity, {0, 0, 0}}, {{-1, 0, 0, 0, 1, 0, 0, 0, -1}, {0, 0.5f, 0}}}, false);
    entry(0, 2, 0) = qcode::ordinary(300, 5);  // E 3.00: becomes special
    entry(0, 4, 0) = qcode::ordinary(301, 6);  // E 3.01: stays ordinary
    entry(0, 1, 0) = qcode::ordinary(150, 7);  // forbidden whatever the data hold
    entry(1, 2, 3) = qcode::ordinary(120, 8);
    GEEST();
    for (int k : {1, 3, 5}) EXPECT_EQ(kind(0, k, 0), Kind::Extinct) << k;
    EXPECT_EQ(kind(0, -3, 0), Kind::Extinct);
    const auto special = qcode::classify(0, 2, 0);
    EXPECT_EQ(special.kind, Kind::SpecialOrdinary);
    EXPECT_EQ(special.ref, 5);
    EXPECT_EQ(special.e100, 300);
    EXPECT_EQ(entry(0, 4, 0), qcode::ordinary(301, 6));
    EXPECT_EQ(kind(0, 6, 0), Kind::SpecialAbsent);
    EXPECT_EQ(entry(1, 2, 3), qcode::ordinary(120, 8));
    // Without a centre the plane perpendicular to the axis is no zone.
    EXPECT_EQ(kind(1, 0, 1), Kind::Absent);
}

TEST_F(Zones, NGlidePerpendicularToCForbidsOddHPlusK) {
    set_group({{kIdentity, {0, 0, 0}}, {{1, 0, 0, 0, 1, 0, 0, 0, -1}, {0.5f, 0.5f, 0}}}, false);
    entry(1, 1, 0) = qcode::weak(10);
    entry(2, 2, 0) = qcode::strong(3);
    GEEST();
    EXPECT_EQ(kind(1, 0, 0), Kind::Extinct);
    EXPECT_EQ(kind(1, 2, 0), Kind::Extinct);
    EXPECT_EQ(kind(3, -2, 0), Kind::Extinct);
    EXPECT_EQ(kind(2, 0, 0), Kind::SpecialAbsent);
    EXPECT_EQ(kind(-1, -1, 0), Kind::Weak);
    EXPECT_EQ(kind(1, -1, 0), Kind::SpecialAbsent);
    EXPECT_EQ(entry(1, 1, 0), qcode::weak_special(10));
    EXPECT_EQ(entry(2, 2, 0), qcode::strong(3)) << "a strong reflection carries no mark";
    EXPECT_EQ(kind(0, 0, 2), Kind::Absent);
    EXPECT_EQ(kind(1, 0, 1), Kind::Absent);
}

TEST_F(Zones, WeakReflectionInThreeZonesIsMarkedOnce) {
    // mm2: 00l lies on the two-fold axis and in both mirror planes.
    set_group({{kIdentity, {0, 0, 0}},
               {{-1, 0, 0, 0, -1, 0, 0, 0, 1}, {0, 0, 0}},
               {{-1, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 0, 0}},
               {{1, 0, 0, 0, -1, 0, 0, 0, 1}, {0, 0, 0}}},
              false);
    entry(0, 0, 2) = qcode::weak(12);
    GEEST();
    EXPECT_EQ(entry(0, 0, 2), qcode::weak_special(12));
    const auto d = qcode::classify(0, 0, -2);
    EXPECT_EQ(d.kind, Kind::Weak);
    EXPECT_EQ(d.ref, 12);
    EXPECT_TRUE(d.special);
    EXPECT_EQ(kind(0, 0, 1), Kind::SpecialAbsent) << "no translation, no extinction";
    EXPECT_EQ(kind(0, 3, 1), Kind::SpecialAbsent);
    EXPECT_EQ(kind(2, 0, 5), Kind::SpecialAbsent);
    EXPECT_EQ(kind(1, 1, 1), Kind::Absent);
}

TEST_F(Zones, ThreeFoldScrewAlongC) {
    const M3 r3{0, -1, 0, 1, -1, 0, 0, 0, 1}, r3b{-1, 1, 0, -1, 0, 0, 0, 0, 1};
    set_group({{kIdentity, {0, 0, 0}}, {r3, {0, 0, 1.0f / 3.0f}}, {r3b, {0, 0, 2.0f / 3.0f}}}, false);
    GEEST();
    for (int l : {1, 2, 4, 5}) EXPECT_EQ(kind(0, 0, l), Kind::Extinct) << l;
    for (int l : {3, 6}) EXPECT_EQ(kind(0, 0, l), Kind::SpecialAbsent) << l;
    EXPECT_EQ(kind(1, 0, 0), Kind::Absent);
}

TEST_F(Zones, GlideAlongTheFaceDiagonal) {
    // A c-glide in the plane x = y: hhl forbidden for odd l.
    set_group({{kIdentity, {0, 0, 0}}, {{0, 1, 0, 1, 0, 0, 0, 0, 1}, {0, 0, 0.5f}}}, false);
    GEEST();
    EXPECT_EQ(kind(1, 1, 1), Kind::Extinct);
    EXPECT_EQ(kind(2, 2, 3), Kind::Extinct);
    EXPECT_EQ(kind(0, 0, 1), Kind::Extinct);
    EXPECT_EQ(kind(1, 1, 2), Kind::SpecialAbsent);
    EXPECT_EQ(kind(1, -1, 1), Kind::Absent);
    // The plane x = -y holds h -h l.
    set_group({{kIdentity, {0, 0, 0}}, {{0, -1, 0, -1, 0, 0, 0, 0, 1}, {0, 0, 0.5f}}}, false);
    GEEST();
    EXPECT_EQ(kind(2, -2, 1), Kind::Extinct);
    EXPECT_EQ(kind(2, -2, 2), Kind::SpecialAbsent);
    EXPECT_EQ(kind(1, 1, 1), Kind::Absent);
}

TEST_F(Zones, TwoFoldAlongTheFaceDiagonal) {
    set_group({{kIdentity, {0, 0, 0}}, {{0, 1, 0, 1, 0, 0, 0, 0, -1}, {0, 0, 0}}}, false);
    GEEST();
    EXPECT_EQ(kind(1, 1, 0), Kind::SpecialAbsent);
    EXPECT_EQ(kind(3, 3, 0), Kind::SpecialAbsent);
    EXPECT_EQ(kind(1, 1, 1), Kind::Absent) << "the reversed axis c takes no free index";
    // Translations below the order threshold carry no condition (and no
    // divisor of zero).
    set_group({{kIdentity, {0, 0, 0}}, {{0, 1, 0, 1, 0, 0, 0, 0, -1}, {0.0008f, 0.0008f, 0}}}, false);
    GEEST();
    EXPECT_EQ(kind(1, 1, 0), Kind::SpecialAbsent);
    EXPECT_EQ(kind(2, 2, 0), Kind::SpecialAbsent);
}

TEST_F(Zones, CentrosymmetricMonoclinicGroup) {
    // P 21/c: 0k0 odd and h0l odd l forbidden.
    set_group({{kIdentity, {0, 0, 0}}, {{-1, 0, 0, 0, 1, 0, 0, 0, -1}, {0, 0.5f, 0.5f}}}, true);
    GEEST();
    EXPECT_EQ(kind(0, 1, 0), Kind::Extinct);
    EXPECT_EQ(kind(0, 2, 0), Kind::SpecialAbsent);
    EXPECT_EQ(kind(1, 0, 1), Kind::Extinct);
    EXPECT_EQ(kind(-2, 0, 3), Kind::Extinct);
    EXPECT_EQ(kind(2, 0, 2), Kind::SpecialAbsent);
    EXPECT_EQ(kind(1, 0, 0), Kind::SpecialAbsent);
    EXPECT_EQ(kind(1, 1, 1), Kind::Absent);
}

TEST_F(Zones, ExtinctionWinsOverALaterOrEarlierZone) {
    // 00l on a 2_1 axis along c and in a mirror plane perpendicular to a.
    const HandOp screw{{-1, 0, 0, 0, -1, 0, 0, 0, 1}, {0, 0, 0.5f}};
    const HandOp mirror{{-1, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 0, 0}};
    for (bool screw_first : {true, false}) {
        SCOPED_TRACE(screw_first ? "screw first" : "mirror first");
        set_group({{kIdentity, {0, 0, 0}}, screw_first ? screw : mirror, screw_first ? mirror : screw}, false);
        entry(0, 0, 1) = qcode::ordinary(90, 4);
        GEEST();
        EXPECT_EQ(kind(0, 0, 1), Kind::Extinct);
        EXPECT_EQ(kind(0, 0, 2), Kind::SpecialAbsent);
        EXPECT_EQ(kind(0, 2, 1), Kind::SpecialAbsent);
    }
}

TEST_F(Zones, PrintLevelThreeListsEveryMarkedReflection) {
    set_group({{kIdentity, {0, 0, 0}}, {{-1, 0, 0, 0, 1, 0, 0, 0, -1}, {0, 0.5f, 0}}}, false, {2, 2, 2});
    UREQ.I(ureqw::kPrint) = 3;
    entry(0, 2, 0) = qcode::ordinary(100, 9);
    GEEST();
    const std::string lis = listing();
    EXPECT_NE(lis.find(" rifl. estinto     0   1   0"), std::string::npos) << lis;
    EXPECT_NE(lis.find(std::string(20, ' ') + "rifl. spec. debole     0   2   0"), std::string::npos) << lis;
}

TEST(QuartetCoding, DecodesEveryClassAndTheSpecialMark) {
    struct Case {
        int32_t entry;
        Kind kind;
        int ref, e100;
        bool special;
    };
    const Case cases[] = {
        {0, Kind::Absent, 0, 0, false},
        {qcode::strong(17), Kind::Strong, 17, 0, false},
        {qcode::weak(512), Kind::Weak, 512, 0, false},
        {qcode::weak_special(512), Kind::Weak, 512, 0, true},
        {qcode::ordinary(245, 32767), Kind::Ordinary, 32767, 245, false},
        {qcode::ordinary(5000, 3), Kind::Ordinary, 3, 5000, false},
        {qcode::special_ordinary(qcode::ordinary(300, 77)), Kind::SpecialOrdinary, 77, 300, true},
        {qcode::kExtinct, Kind::Extinct, 0, 0, true},
        {qcode::kSpecialAbsent, Kind::SpecialAbsent, 0, 0, true},
        {-6 * qcode::kUnit, Kind::Unknown, 0, 0, false},
    };
    for (const Case& c : cases) {
        const auto d = qcode::decode(c.entry);
        EXPECT_EQ(d.kind, c.kind) << c.entry;
        EXPECT_EQ(d.ref, c.ref) << c.entry;
        EXPECT_EQ(d.e100, c.e100) << c.entry;
        EXPECT_EQ(d.special, c.special) << c.entry;
    }
    // The mark is a property of the special codes alone.
    EXPECT_FALSE(qcode::special_mark(qcode::ordinary(5000, 3)));
    EXPECT_FALSE(qcode::special_mark(qcode::kExtinct));
    EXPECT_TRUE(qcode::special_mark(qcode::special_ordinary(qcode::ordinary(12, 1))));
}

// ---------------------------------------------------------------------------
// RECIP on a list 7 of the structure file.

class Recip : public test::InProcessJob {
protected:
    Recip() : InProcessJob("xvec") {}

    struct Refl {
        int h, k, l;
        float e;
    };
    // Writes list 7 with these records (E in word 2) for the box in UREQ.
    void write_list7(const std::vector<Refl>& refl) {
        const int n = static_cast<int>(refl.size());
        YSFP07(n, 0, 1);
        int nn, nref, nzro, ip, x;
        YSFL07(nn, nref, nzro, ip, x);
        for (const Refl& r : refl) {
            Word rec[6];
            rec[0].i = compact_index(r.h, r.k, r.l);
            rec[1].r = r.e;
            rec[2].r = r.e;
            rec[3].r = 0.0f;
            rec[4].i = 360 * 32768 + 13;
            rec[5].r = 1.0f;
            XSLW07(rec);
        }
        XDUMP();
    }
    // Table rows 1..nstrong from the first records, then the weak rows
    // taken from the given records.
    void fill_rows(const std::vector<Refl>& refl, int nstrong, const std::vector<int>& weak_records) {
        int row = 0;
        for (int r = 0; r < nstrong; ++r) row_index(++row) = pack_index(refl[r].h, refl[r].k, refl[r].l);
        for (int r : weak_records) row_index(++row) = pack_index(refl[r].h, refl[r].k, refl[r].l);
        for (int r = 1; r <= row; ++r) row_eword(r) = pack_eword(1.0f, 0);
        DIRTR.clear();
        DIRPS.clear();
        DIRTR.I(dirtr::kNrtr) = nstrong;
        DIRTR.I(dirtr::kStrongRows) = nstrong;
        DIRPS.I(dirps::kNrps) = static_cast<int>(weak_records.size());
        DIRPS.I(dirps::kNlar) = nstrong;
    }
};

TEST_F(Recip, OneOperatorCodesStrongWeakAndOrdinaryReflections) {
    set_group({{kIdentity, {0, 0, 0}}}, false, {4, 4, 4});
    // By decreasing E, as every list 7 is stored.
    const std::vector<Refl> refl = {{1, 2, 3, 3.5f}, {0, 1, 1, 2.9f}, {2, -1, 0, 1.004f}, {1, 1, 1, 0.995f},
                                    {4, 4, 4, 0.2f}, {0, 0, 1, 0.004f}, {3, 0, -2, -0.3f}};
    write_list7(refl);
    fill_rows(refl, 2, {4, 5});
    RECIP();
    const auto strong = qcode::classify(-1, -2, -3);
    EXPECT_EQ(strong.kind, Kind::Strong);
    EXPECT_EQ(strong.ref, 1);
    EXPECT_EQ(qcode::classify(0, 1, 1).ref, 2);
    const auto weak = qcode::classify(4, 4, 4);
    EXPECT_EQ(weak.kind, Kind::Weak);
    EXPECT_EQ(weak.ref, 3) << "the first weak row follows the strong ones";
    EXPECT_FALSE(weak.special);
    EXPECT_EQ(qcode::classify(0, 0, 1).ref, 4);
    struct Ordinary {
        int h, k, l, e100, n;
    };
    // E rounded half up; E at or below zero counts as 0.01.
    for (const Ordinary& o : {Ordinary{2, -1, 0, 100, 3}, Ordinary{1, 1, 1, 100, 4}, Ordinary{-3, 0, 2, 1, 7}}) {
        const auto d = qcode::classify(o.h, o.k, o.l);
        EXPECT_EQ(d.kind, Kind::Ordinary) << o.n;
        EXPECT_EQ(d.e100, o.e100) << o.n;
        EXPECT_EQ(d.ref, o.n);
    }
    // One operator: no zone, nothing extinct or special anywhere.
    for (int h = -4; h <= 4; ++h)
        for (int k = -4; k <= 4; ++k)
            for (int l = -4; l <= 4; ++l) {
                const Kind c = kind(h, k, l);
                EXPECT_TRUE(c != Kind::Extinct && c != Kind::SpecialAbsent && c != Kind::SpecialOrdinary);
            }
    // The image table: the strong rows under the identity.
    EXPECT_EQ(image_s(1), super_index(std::array<int, 3>{1, 2, 3}.data()));
    EXPECT_EQ(image_word(2), qimage::word(pack_index(0, 1, 1), 0));
}

TEST_F(Recip, ImagesCarryTheirShiftAndRepeatsAreZero) {
    // P 21 (b): the image of h k l is -h k -l with the shift 12 k.
    set_group({{kIdentity, {0, 0, 0}}, {{-1, 0, 0, 0, 1, 0, 0, 0, -1}, {0, 0.5f, 0}}}, false, {4, 4, 4});
    const std::vector<Refl> refl = {{1, 3, 2, 3.0f}, {0, 2, 0, 2.5f}, {2, 1, -1, 2.0f}, {0, 1, 0, 0.5f}};
    write_list7(refl);
    fill_rows(refl, 3, {});
    RECIP();
    int h[3];
    unpack_index(image_word(2) / 32, h);
    EXPECT_EQ(h[0], -1);
    EXPECT_EQ(h[1], 3);
    EXPECT_EQ(h[2], -2);
    EXPECT_EQ(image_word(2) % 32, 12);
    EXPECT_EQ(image_s(2), super_index(h));
    EXPECT_EQ(image_s(4), 0) << "0 2 0 is its own image";
    EXPECT_EQ(image_word(4) % 32, 0);
    EXPECT_EQ(kind(0, 1, 0), Kind::Extinct) << "a forbidden record of the data is still extinct";
    EXPECT_EQ(qcode::classify(0, 2, 0).kind, Kind::Strong) << "a strong reflection in a zone keeps its code";
    EXPECT_EQ(qcode::classify(-2, 1, 1).ref, 3);
}

TEST_F(Recip, NegativeIndicesKeepTheShiftInItsField) {
    // A large negative h.t must not borrow from the compact index.
    set_group({{kIdentity, {0, 0, 0}}, {{1, 0, 0, 0, -1, 0, 0, 0, -1}, {0.75f, 0, 0}}}, false, {60, 4, 4});
    const std::vector<Refl> refl = {{-59, 3, 2, 3.0f}};
    write_list7(refl);
    fill_rows(refl, 1, {});
    RECIP();
    int h[3];
    unpack_index(image_word(2) / 32, h);
    EXPECT_EQ(h[0], -59);
    EXPECT_EQ(h[1], -3);
    EXPECT_EQ(h[2], -2);
    EXPECT_EQ(image_word(2) % 32, 18);  // 24 * (-59 * 0.75) = -1062 = 18 modulo 24
}

TEST_F(Recip, AtMost32767RecordsAreEntered) {
    set_group({{kIdentity, {0, 0, 0}}}, false, {20, 20, 20});
    std::vector<Refl> refl;
    for (int h = 0; h <= 20 && refl.size() < 32768; ++h)
        for (int k = -20; k <= 20 && refl.size() < 32768; ++k)
            for (int l = -20; l <= 20 && refl.size() < 32768; ++l)
                if (h > 0 || k > 0 || (k == 0 && l > 0)) refl.push_back({h, k, l, 1.0f});
    ASSERT_EQ(refl.size(), 32768u);
    write_list7(refl);
    fill_rows(refl, 1, {});
    RECIP();
    const Refl& last = refl[32766];
    const Refl& beyond = refl[32767];
    EXPECT_EQ(qcode::classify(last.h, last.k, last.l).ref, 32767);
    EXPECT_EQ(kind(beyond.h, beyond.k, beyond.l), Kind::Absent);
    char text[80];
    std::snprintf(text, sizeof text, " too much independent reflections, last reflection stored :%4d%4d%4d", last.h,
                  last.k, last.l);
    EXPECT_TRUE(listed(text)) << text;
}

// ---------------------------------------------------------------------------
// The test jobs: %data, %normal and %invariants without the triplet pass,
// which would rebuild isr in its own coding.

class RecipJobs : public test::InProcessJob, public ::testing::WithParamInterface<const char*> {
protected:
    RecipJobs() : InProcessJob("xvecjob") {}
};

std::vector<std::string> data_lines(const std::string& job) {
    std::vector<std::string> out;
    for (const std::string& l : test::split_lines(invtest::data_directives(job)))
        if (!l.empty()) out.push_back(l);
    return out;
}

TEST_P(RecipJobs, DataReflectionsAreNeverExtinctAndExtinctionsAreAbsences) {
    const std::string job = GetParam();
    std::filesystem::copy_file(test::jobs_dir() + "/" + job + "/data_known.hkl", dir + "/data_known.hkl");
    queue({{23, data_lines(job)}, {1, {}}, {3, {"nsig", "nops"}}});
    ASSERT_EQ(run_queue(), 0) << listing();

    // Every record of list 7, under every operator, is found with its
    // ordinal (or as a row of the table).
    const auto recs = list7();
    ASSERT_GT(recs.size(), 500u);
    const int ns = SYM.I(symw::kOps);
    for (std::size_t n = 0; n < recs.size(); ++n) {
        const int h[3] = {recs[n].h, recs[n].k, recs[n].l};
        for (int op = 1; op <= ns; ++op) {
            int hp[3];
            symmetry_image(h, op, hp);
            const auto d = qcode::classify(hp[0], hp[1], hp[2]);
            ASSERT_TRUE(d.kind == Kind::Strong || d.kind == Kind::Weak || d.kind == Kind::Ordinary ||
                        d.kind == Kind::SpecialOrdinary)
                << recs[n].h << " " << recs[n].k << " " << recs[n].l << " kind " << static_cast<int>(d.kind);
            if (d.kind == Kind::Ordinary || d.kind == Kind::SpecialOrdinary) {
                EXPECT_EQ(d.ref, static_cast<int>(n) + 1);
            } else {
                int row[3];
                SCHKL(d.ref, row);
                EXPECT_TRUE((row[0] == h[0] && row[1] == h[1] && row[2] == h[2]));
            }
        }
    }

    // Every extinct code is an absence of the group, and in these
    // primitive groups every absence is coded extinct.
    int tlist[24];
    const int nt = translated_operators(tlist);
    const int lm1 = SYM.I(symw::kLattice) - 1;
    int extinct = 0;
    for (int h = -UREQ.I(ureqw::kHmax); h <= UREQ.I(ureqw::kHmax); ++h)
        for (int k = -UREQ.I(ureqw::kKmax); k <= UREQ.I(ureqw::kKmax); ++k)
            for (int l = -UREQ.I(ureqw::kLmax); l <= UREQ.I(ureqw::kLmax); ++l) {
                if (h == 0 && k == 0 && l == 0) continue;
                int absent = 0;
                EXTIN(absent, h, k, l, lm1, nt, tlist);
                const bool coded = kind(h, k, l) == Kind::Extinct;
                extinct += coded;
                if (coded) { EXPECT_EQ(absent, 1) << h << " " << k << " " << l; }
                if (lm1 == 0 && absent == 1) { EXPECT_TRUE(coded) << h << " " << k << " " << l; }
            }
    if (job == "rand_pbar1_c14o2")
        EXPECT_EQ(extinct, 0);
    else
        EXPECT_GT(extinct, 5);
}

INSTANTIATE_TEST_SUITE_P(Jobs, RecipJobs,
                         ::testing::Values("rand_p212121_c20o4", "rand_p21c_c18n2o4", "rand_pbar1_c14o2",
                                           "fecl_r3c_synth"));

}  // namespace
