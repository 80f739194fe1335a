// The quartet pass: the threshold of the enantiomorph-sensitive list, the
// classification of one cross vector, the candidate sort, and whole passes
// on small model structures, where every stored quartet must close under
// the operators of the group, carry the true phase of its invariant (from
// the atoms) and, when no cross vector lies in a symmetry zone, the
// reliability of the quartet formula worked out from its cross vectors.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "jobcontrol/lists/list07.h"
#include "jobcontrol/lists/listxx.h"
#include "jobcontrol/numeric.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/invariants.h"
#include "jobcontrol/records/phaseset.h"
#include "jobcontrol/store/store.h"
#include "platform/stop.h"
#include "relationships/crossvec.h"
#include "relationships/invariants.h"
#include "relationships/quartets.h"
#include "relationships/triplets.h"
#include "tests/relationships/model.h"
#include "tests/support/inprocess.h"

using namespace zanek;
using namespace zanek::invtab;
using namespace zanek::invtest;
using qcode::Kind;

namespace {

TEST(QuartetThreshold, FollowsTheNumberOfAtoms) {
    struct Case {
        float n, t;
    };
    const Case cases[] = {{10.0f, 0.35f}, {69.9f, 0.35f}, {70.0f, 0.35f}, {570.0f, 0.35f * 0.367879f},
                          {699.99f, 0.0993f}, {700.0f, 0.1f}, {5000.0f, 0.1f}};
    for (const Case& c : cases) EXPECT_NEAR(quartet::threshold(c.n), c.t, 5e-5) << c.n;
}

// ---------------------------------------------------------------------------
// One cross vector against an isr filled by hand.

class CrossVector : public ListingTest {
protected:
    void SetUp() override {
        ListingTest::SetUp();
        SYM.clear();
        SYM.I(symw::kOps) = 1;
        for (int i = 1; i <= 3; ++i) max_index(i) = 6;
        PARAM.I(param::kStrideH) = 13 * 13;
        PARAM.I(param::kStrideK) = 13;
        PARAM.I(param::kLargest) = 6 * 169 + 6 * 13 + 6;
        for (int s = 1; s <= PARAM.I(param::kLargest); ++s) isr(s) = 0;
        set_quartet_defaults();
        row_eword(4) = pack_eword(2.5f, 0);
        row_eword(20) = pack_eword(0.2f, 0);
    }
    // Cross vector 1 of a quartet whose V1 + V2 is h.
    quartet::Work& aim_at(int h, int k, int l) {
        quartet::Work& w = quartet::work();
        w = quartet::Work{};
        const int v[3] = {h, k, l};
        w.v[1].s = super_index(v);
        std::copy(v, v + 3, w.v[1].h);
        return w;
    }
};

TEST_F(CrossVector, ClassesDecideAcceptanceAndCounts) {
    struct Case {
        const char* what;
        int32_t entry;
        int mode, nmin;
        int result;
        float e;
        int ident;
        int outside, special_absent, extinct, special;
    };
    const int32_t ord100 = qcode::ordinary(100, 9), ord101 = qcode::ordinary(101, 9);
    const Case cases[] = {
        {"ordinary E 1.00", ord100, 0, 1, 0, 1.0f, 9, 0, 0, 0, 0},
        {"ordinary E 1.01", ord101, 0, 1, 1, 1.01f, 9, 0, 0, 0, 0},
        {"ordinary E 5 in an equivalent", qcode::ordinary(500, 9), 1, 1, 0, 5.0f, 9, 0, 0, 0, 0},
        {"strong", qcode::strong(4), 0, 1, 1, 2.5f, -4, 0, 0, 0, 0},
        {"strong in an equivalent", qcode::strong(4), 1, 1, 0, 2.5f, -4, 0, 0, 0, 0},
        {"weak below the pair's weak row", qcode::weak(20), 0, 21, -1, 0.0f, 0, 0, 0, 0, 0},
        {"weak of the pair's weak row", qcode::weak(20), 0, 20, 0, 0.2f, -20, 0, 0, 0, 0},
        {"special weak", qcode::weak_special(20), 0, 20, 0, 0.2f, -20, 0, 0, 0, 1},
        {"special ordinary E 1.00", qcode::special_ordinary(ord100), 0, 1, 0, 1.0f, 9, 0, 0, 0, 1},
        {"special ordinary E 1.01", qcode::special_ordinary(ord101), 0, 1, 1, 1.01f, 9, 0, 0, 0, 0},
        {"special ordinary E 3.00 in an equivalent", qcode::special_ordinary(qcode::ordinary(300, 9)), 1, 1, 0,
         3.0f, 9, 0, 0, 0, 1},
        {"extinct", qcode::kExtinct, 0, 1, 0, 0.0f, 0, 0, 0, 1, 1},
        {"special absent", qcode::kSpecialAbsent, 0, 1, 0, 1.0f, 0, 0, 1, 0, 1},
        {"not in the data", 0, 0, 1, 0, 0.0f, 0, 1, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        quartet::Work& w = aim_at(1, 2, 3);
        isr(std::abs(w.v[1].s)) = c.entry;
        EXPECT_EQ(IEDEB(1, c.nmin, c.mode), c.result);
        EXPECT_FLOAT_EQ(w.e[1], c.e);
        const bool zero_q = c.entry == qcode::kExtinct || c.entry == qcode::kSpecialAbsent || c.entry == 0 ||
                            c.result == -1;
        EXPECT_FLOAT_EQ(w.q[1], zero_q ? 0.0f : c.e * c.e - 1.0f);
        EXPECT_EQ(w.ident[2], c.ident);
        EXPECT_EQ(w.outside, c.outside);
        EXPECT_EQ(w.special_absent, c.special_absent);
        EXPECT_EQ(w.extinct, c.extinct);
        EXPECT_EQ(w.special, c.special);
    }
}

TEST_F(CrossVector, OutsideTheIndexBox) {
    for (const std::array<int, 3>& h : {std::array<int, 3>{0, 7, 0}, {1, 0, -7}, {7, 0, 0}}) {
        quartet::Work& w = aim_at(h[0], h[1], h[2]);
        EXPECT_EQ(IEDEB(1, 1, 0), 0);
        EXPECT_EQ(w.outside, 1) << h[0] << h[1] << h[2];
    }
    quartet::Work& w = aim_at(0, 0, 0);
    EXPECT_EQ(IEDEB(1, 1, 0), 0);
    EXPECT_EQ(w.outside, 1);
}

TEST_F(CrossVector, AnEntryOfNoClassIsAProgrammingError) {
    quartet::Work& w = aim_at(1, 1, 1);
    isr(std::abs(w.v[1].s)) = -6 * qcode::kUnit;
    try {
        IEDEB(1, 1, 0);
        FAIL() << "no stop";
    } catch (const ZanekStop& s) {
        EXPECT_EQ(s.code, 1234);
    }
    EXPECT_NE(listing().find("**** function iedeb  ****"), std::string::npos);
}

// Equivalent quartets of a candidate built by hand: two operators; the
// candidate (1 0 0) + (1 0 2) - (0 0 2) - (2 0 0) = 0 under operator 1.
// Under operators (2, 2) the first three vectors sum to (0 0 4), whose
// super-index 4 is also that of (0 1 -1) in the box |k|, |l| <= 2.
class Equivalents : public CrossVector {
protected:
    using Image = quartet::Image;
    static Image image(int h, int k, int l, int shift = 0) {
        const int v[3] = {h, k, l};
        const int s = super_index(v);
        return Image{s, {h, k, l}, shift, s};
    }
    void SetUp() override {
        CrossVector::SetUp();
        for (int i = 1; i <= 3; ++i) max_index(i) = 2;
        UREQ.I(ureqw::kHmax) = 3;
        PARAM.I(param::kStrideH) = 25;
        PARAM.I(param::kStrideK) = 5;
        PARAM.I(param::kLargest) = 3 * 25 + 2 * 5 + 2;
        for (int s = 1; s <= PARAM.I(param::kLargest); ++s) isr(s) = 0;
        SYM.I(symw::kOps) = 2;
        SYM.I(symw::kCentric) = 0;
        quartet::load_images(0, 2);
        slots_[1] = {image(1, 0, 0), image(-1, 0, 0)};
        slots_[2] = {image(1, 0, 2), image(-1, 0, 2, 2)};
        slots_[3] = {image(0, 0, 2), image(0, 0, -2)};
        // The candidate's cross vectors and those of the (2, 2) quartet.
        int ordinal = 10;
        for (const std::array<int, 3>& x : {std::array<int, 3>{2, 0, 2}, {1, 0, -2}, {-1, 0, 0}, {0, 0, 2}, {1, 0, 2}})
            entry(x) = qcode::ordinary(200, ++ordinal);
        entry({1, -1, 1}) = qcode::ordinary(200, 99);
    }
    int32_t& entry(const std::array<int, 3>& h) { return isr(std::abs(super_index(h.data()))); }
    // Runs IEQUI with the fourth reflection's second image as given.
    int run(const Image& fourth_under_2, int weak = 1) {
        slots_[4] = {image(2, 0, 0), fourth_under_2};
        quartet::Work& w = quartet::work();
        w = quartet::Work{};
        const int signs[5] = {0, 1, 1, -1, -1};
        for (int t = 1; t <= 4; ++t) {
            w.slot[t] = slots_[t].data();
            w.row[t] = t;
            w.op[t] = 1;
            w.sign[t] = signs[t];
            w.v[t].s = signs[t] * slots_[t][0].full_s;
            for (int c = 0; c < 3; ++c) w.v[t].h[c] = signs[t] * slots_[t][0].h[c];
        }
        w.ident[2] = 11;
        w.ident[3] = 12;
        w.ident[4] = 13;
        w.weak = weak;
        w.c = 1.0;
        w.s = 0.5;
        return IEQUI(quartet::kIdentLimit);
    }
    std::array<Image, 2> slots_[5];
};

TEST_F(Equivalents, OnlyQuartetsThatCloseContribute) {
    // (0 1 -1) only shares the super-index: no equivalent but the
    // candidate itself, whose cross vectors are counted already.
    EXPECT_EQ(run(image(0, 1, -1)), 0);
    EXPECT_DOUBLE_EQ(quartet::work().c, 1.0);
    EXPECT_DOUBLE_EQ(quartet::work().s, 0.5);
    EXPECT_EQ(quartet::work().v[2].h[0], 1) << "the candidate's vectors are restored";
    EXPECT_EQ(quartet::work().outside, 0) << "and its counts";

    // (0 0 4) closes it: cross vectors (0 0 2) and (1 0 2) of E 2 and one
    // outside the data, phase shift -2 steps: 330 degrees.
    EXPECT_EQ(run(image(0, 0, 4)), 0);
    EXPECT_NEAR(quartet::work().c, 1.0 + 6.0 * std::cos(330.0 * M_PI / 180.0), 1e-5);
    EXPECT_NEAR(quartet::work().s, 0.5 + 6.0 * std::sin(330.0 * M_PI / 180.0), 1e-5);
}

TEST_F(Equivalents, AWeakCrossVectorBelowThePairsWeakRowDropsTheQuartet) {
    entry({0, 0, 2}) = qcode::weak(1);
    row_eword(1) = pack_eword(0.1f, 0);
    UREQ.I(ureqw::kPrint) = 2;
    EXPECT_EQ(run(image(0, 0, 4), 1), 0) << "the pair's own weak row is acceptable";
    EXPECT_EQ(run(image(0, 0, 4), 2), -1);
    EXPECT_DOUBLE_EQ(quartet::work().c, 1.0);
    EXPECT_NE(listing().find("quart. rejected  iedeb= -1"), std::string::npos);
}

TEST_F(CrossVector, TheFiftyNinthEquivalentDropsTheQuartet) {
    // 24 operators whose images (0 a 0), (0 b 0) and (1 d 0) close the
    // quartet (1 0 0) + (0 a 0) - (0 b 0) - (1 d 0) whenever d = a - b:
    // far more equivalents than the identifier positions hold.
    constexpr int kOps = 24;
    SYM.I(symw::kOps) = kOps;
    SYM.I(symw::kCentric) = 0;
    quartet::load_images(0, kOps);
    auto image = [](int h, int k, int l) {
        const int v[3] = {h, k, l};
        const int s = super_index(v);
        return quartet::Image{s, {h, k, l}, 0, s};
    };
    std::vector<quartet::Image> slot[5];
    for (int o = 1; o <= kOps; ++o) {
        slot[1].push_back(image(1, 0, 0));
        slot[2].push_back(image(0, o, 0));
        slot[3].push_back(image(0, o, 0));
        slot[4].push_back(image(1, o - 12, 0));
    }
    quartet::Work& w = quartet::work();
    w = quartet::Work{};
    const int signs[5] = {0, 1, 1, -1, -1}, ops[5] = {0, 1, 1, 1, 12};
    for (int t = 1; t <= 4; ++t) {
        w.slot[t] = slot[t].data();
        w.row[t] = t;
        w.op[t] = ops[t];
        w.sign[t] = signs[t];
        const quartet::Image& im = slot[t][ops[t] - 1];
        w.v[t].s = signs[t] * im.full_s;
        for (int c = 0; c < 3; ++c) w.v[t].h[c] = signs[t] * im.h[c];
    }
    w.weak = 1;
    UREQ.I(ureqw::kPrint) = 2;
    EXPECT_EQ(IEQUI(quartet::kIdentLimit), -1);
    const std::string lis = listing();
    EXPECT_NE(lis.find("     1     2     3     4 quartet with more than  180 equivalents"), std::string::npos);
    int sums = 0;
    for (std::size_t p = lis.find(" sume="); p != std::string::npos; p = lis.find(" sume=", p + 1)) ++sums;
    EXPECT_EQ(sums, 59) << "the 59th accepted equivalent overflows";
}

TEST(QuartetSort, DecreasingReliabilityWithWholeRecords) {
    const int g[] = {5, 90, 12, 90, 0, 47, 3, 88, 61};
    const int n = static_cast<int>(std::size(g));
    std::vector<Word> recs(7 * n);
    for (int r = 0; r < n; ++r)
        for (int w = 0; w < 7; ++w) recs[7 * r + w].i = w == 5 ? g[r] : 1000 * g[r] + w;
    SORTC(n, recs.data());
    for (int r = 0; r < n; ++r) {
        if (r > 0) { EXPECT_GE(recs[7 * (r - 1) + 5].i, recs[7 * r + 5].i); }
        for (int w = 0; w < 7; ++w)
            if (w != 5) { EXPECT_EQ(recs[7 * r + w].i, 1000 * recs[7 * r + 5].i + w); }
    }
    Word one[7] = {};
    one[5].i = 4;
    SORTC(1, one);
    EXPECT_EQ(one[5].i, 4);
}

// ---------------------------------------------------------------------------
// Whole passes on model structures.

struct Quartet {
    int row[4], sign[4];
    int b, ph;
};

std::vector<Quartet> quartets_of(const Word* items, int n) {
    std::vector<Quartet> out;
    for (int i = 0; i < n; ++i) {
        int32_t a[3], b[3], c[3];
        for (int w = 0; w < 3; ++w) UNPAK3(items[7 * i + w].i, a[w], b[w], c[w]);
        Quartet q;
        const int signed_rows[4] = {a[0], b[0], a[1], b[1]};
        for (int t = 0; t < 4; ++t) {
            q.row[t] = std::abs(signed_rows[t]);
            q.sign[t] = signed_rows[t] < 0 ? -1 : 1;
        }
        EXPECT_EQ(c[0], -1);
        EXPECT_EQ(c[1], -1);
        EXPECT_EQ(a[2], 1024);
        q.b = b[2];
        q.ph = c[2];
        out.push_back(q);
    }
    return out;
}

class QuartetModel : public test::InProcessJob {
protected:
    QuartetModel() : InProcessJob("quart") {}

    // List 7 of the model, the table, and the psi-zero relations.
    void prepare(const Model& m, int nstrong, int nweak) {
        m.set_records();
        SYM.R(symw::kSigma3) = static_cast<float>(m.q());
        const auto& refl = m.reflections();
        YSFP07(static_cast<int>(refl.size()), 0, 1);
        int nn, nref, nzro, ip, x;
        YSFL07(nn, nref, nzro, ip, x);
        for (const Reflection& r : refl) {
            Word rec[6];
            rec[0].i = compact_index(r.h[0], r.h[1], r.h[2]);
            rec[1].r = static_cast<float>(r.e);
            rec[2].r = rec[1].r;
            rec[3].r = 0.0f;
            rec[4].i = 360 * 32768 + (r.phase == 0 ? 360 : r.phase) * 32 + r.restriction;
            rec[5].r = 1.0f;
            XSLW07(rec);
        }
        XDUMP();
        m.set_records();  // the list header brings its own box back
        m.fill_table(nstrong, nweak);
        set_quartet_defaults();
        CANCELLA(20);  // as the command does before its passes
        CANCELLA(21);
        build_relation_images();
        int hdr = 0;
        DIRPS.I(dirps::kStored) = generate_relations(1, 0, kRelations, 0.0f, hdr).stored;
        ASSERT_GT(DIRPS.I(dirps::kStored), 10);
    }

    int counts[14] = {};
    void run() {
        for (int& c : counts) c = 0;
        NEGQ(counts);
    }
    std::vector<Quartet> negative() { return quartets_of(quartet::negative_records(), counts[12]); }
    std::vector<Quartet> enant() { return quartets_of(quartet::enant_records(), counts[13]); }
};

// True when the quartet closes under some choice of operators, with the
// phase of its invariant (from the atoms) equal to the listed phases plus
// 15 ph, and, when none of its cross vectors lies in a zone, with the
// reliability of the quartet formula.
bool explained(const Model& m, const Quartet& q, bool negative, bool& checked_g) {
    const auto& ops = m.group().ops;
    const int ns = static_cast<int>(ops.size());
    V3 h[4];
    for (int t = 0; t < 4; ++t) SCHKL(q.row[t], h[t].data());
    const double natoms = m.cell_atoms();
    const double centric_factor = m.group().centric ? 1.0 : 2.0;
    checked_g = false;
    for (int code = 0; code < ns * ns * ns * ns; ++code) {
        int o[4] = {code % ns, code / ns % ns, code / (ns * ns) % ns, code / (ns * ns * ns)};
        V3 v[4];
        V3 total{0, 0, 0};
        for (int t = 0; t < 4; ++t) {
            v[t] = scaled(q.sign[t], times(h[t], ops[o[t]]));
            for (int c = 0; c < 3; ++c) total[c] += v[t][c];
        }
        if (total != V3{0, 0, 0}) continue;
        double invariant = 0.0, listed = 15.0 * q.ph;
        for (int t = 0; t < 4; ++t) {
            invariant += q.sign[t] * m.phase_deg(times(h[t], ops[o[t]]));
            listed += q.sign[t] * row_phase(q.row[t]);
        }
        if (angle_gap(invariant, listed) > 4.0) continue;

        double sumq = 0.0;
        int absent = 0;
        bool special = false, rejecting = false;
        for (int t = 1; t <= 3; ++t) {
            const V3 x{v[0][0] + v[t][0], v[0][1] + v[t][1], v[0][2] + v[t][2]};
            const auto d = qcode::classify(x[0], x[1], x[2]);
            double e = 0.0;
            switch (d.kind) {
                case Kind::Absent: ++absent; continue;
                case Kind::Ordinary: e = d.e100 / 100.0; rejecting = rejecting || d.e100 > 100; break;
                case Kind::Weak: e = row_e(d.ref); special = special || d.special; break;
                case Kind::Strong: rejecting = true; break;
                default: special = true; break;
            }
            sumq += e * e - 1.0;
        }
        if (special) return true;
        if (rejecting || absent >= 2) continue;
        double b = 1.0 / natoms;
        for (int t = 0; t < 4; ++t) b *= row_e(q.row[t]);
        double g = std::min(centric_factor * b * std::fabs(sumq + 1.0), 20.47);
        if (negative && absent == 1) g *= 0.85;
        if (std::abs(static_cast<int>(std::lround(100.0 * g)) - q.b) <= 1) {
            checked_g = true;
            return true;
        }
    }
    return false;
}

struct ModelCase {
    Group (*group)();
    int atoms;
    V3 box;
    int strong, weak;
};

const ModelCase kModels[] = {
    {group_p1, 9, {5, 5, 5}, 80, 60},
    {group_pbar1, 10, {4, 4, 4}, 60, 40},
    {group_p212121, 5, {5, 5, 5}, 60, 40},
    {group_p21c, 5, {4, 5, 5}, 60, 40},
    {group_p41, 5, {5, 5, 6}, 60, 40},
};

TEST_F(QuartetModel, StoredQuartetsCloseCarryTheirInvariantPhaseAndReliability) {
    for (const ModelCase& c : kModels) {
        const Model m(c.group(), c.atoms, 4321, c.box);
        SCOPED_TRACE(m.group().name);
        prepare(m, c.strong, c.weak);
        run();
        const bool centric = m.group().centric;
        const auto neg = negative();
        ASSERT_GT(neg.size(), 10u);
        EXPECT_EQ(counts[5], counts[12] + 0) << "no overflow in these small passes";
        const float t = quartet::threshold(static_cast<float>(m.cell_atoms()));
        int with_g = 0;
        for (std::size_t i = 0; i < neg.size(); ++i) {
            bool g_checked = false;
            EXPECT_TRUE(explained(m, neg[i], true, g_checked)) << "negative quartet " << i;
            with_g += g_checked;
            if (i > 0) { EXPECT_GE(neg[i - 1].b, neg[i].b) << "sorted by decreasing G"; }
            if (!centric) { EXPECT_GE(neg[i].b, static_cast<int>(std::floor(100.0f * 0.85f * t))) << i; }
        }
        EXPECT_GT(with_g, static_cast<int>(neg.size()) / 3) << "reliabilities checked from the cross vectors";
        // The invariants of a negative quartet lean towards 180 degrees.
        double mean_cos = 0.0;
        for (const Quartet& q : neg) {
            double phi = 15.0 * q.ph;
            for (int t4 = 0; t4 < 4; ++t4) phi += q.sign[t4] * row_phase(q.row[t4]);
            mean_cos += std::cos(phi * M_PI / 180.0) / neg.size();
        }
        EXPECT_LT(mean_cos, -0.1);

        const auto es = enant();
        if (centric) {
            EXPECT_TRUE(es.empty());
            EXPECT_EQ(counts[6], 0);
            EXPECT_FALSE(stored(21));
        } else {
            ASSERT_FALSE(es.empty());
            for (std::size_t i = 0; i < es.size(); ++i) {
                bool g_checked = false;
                EXPECT_TRUE(explained(m, es[i], false, g_checked)) << "enantiomorph-sensitive quartet " << i;
                EXPECT_LE(es[i].b, static_cast<int>(std::lround(100.0f * t))) << i;
            }
            EXPECT_TRUE(stored(21));
        }
        // The lists hold the records at a stride of seven words.
        ASSERT_TRUE(stored(20));
        int count = 0, i1, i2, i3, i4;
        std::vector<Word> items(7 * 800);
        SFLXX(0, 20, count, i1, i2, i3, i4, items.data(), static_cast<int>(items.size()));
        EXPECT_EQ(count, counts[12]);
        EXPECT_EQ(i1, counts[12]);
        EXPECT_EQ(i2 + i3 + i4, 0);
        for (int k = 0; k < 3 * count; ++k)
            EXPECT_EQ(items[7 * (k / 3) + k % 3].i, quartet::negative_records()[7 * (k / 3) + k % 3].i);
    }
}

// Under a four-fold screw axis the images carry shifts of a quarter turn:
// a negative quartet whose shift is 90 or 270 degrees tells the sign of
// the shift sum (with half translations both signs give the same value).
TEST_F(QuartetModel, QuarterTurnShiftsOfNegativeQuartetsUnderAFourFoldScrewAxis) {
    const Model m(group_p41(), 5, 4321, {5, 5, 6});
    prepare(m, 60, 40);
    run();
    int quarter = 0;
    for (const Quartet& q : negative()) {
        if (q.ph % 12 == 0) continue;
        ++quarter;
        bool g_checked = false;
        EXPECT_TRUE(explained(m, q, true, g_checked))
            << "rows " << q.row[0] << " " << q.row[1] << " " << q.row[2] << " " << q.row[3] << ", shift " << 15 * q.ph;
    }
    EXPECT_GE(quarter, 100) << "quarter-turn shifts among the stored negative quartets";
}

TEST_F(QuartetModel, CapacitiesKeepTheStrongestAndEndTheSearch) {
    const Model m(group_p212121(), 5, 4321, {5, 5, 5});
    prepare(m, 60, 40);
    run();
    const auto all_neg = negative(), all_es = enant();
    ASSERT_GT(all_neg.size(), 30u);
    ASSERT_GT(all_es.size(), 5u);
    const int met = counts[5];

    // Ten places: the ten strongest of all candidates.
    prepare(m, 60, 40);
    DIRQN.I(dirqn::kNegativeCap) = 10;
    DIRQN.I(dirqn::kOverflow) = 1000000;
    DIRQN.I(dirqn::kEnantCap) = 3;
    run();
    const auto top = negative();
    ASSERT_EQ(top.size(), 10u);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(top[i].b, all_neg[i].b) << i;
    EXPECT_EQ(counts[5], met);
    // Three enantiomorph-sensitive places: the first three found, counted
    // as three.
    ASSERT_EQ(counts[13], 3);
    EXPECT_EQ(counts[6], 3);
    const auto first_es = enant();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(first_es[i].b, all_es[i].b);
        EXPECT_EQ(first_es[i].row[0], all_es[i].row[0]);
    }

    // Five candidates met with the list full end the search.
    prepare(m, 60, 40);
    DIRQN.I(dirqn::kNegativeCap) = 10;
    DIRQN.I(dirqn::kOverflow) = 5;
    run();
    EXPECT_EQ(counts[12], 10);
    EXPECT_EQ(counts[5], 15);
}

TEST_F(QuartetModel, FewerThanTwoPsiZeroRelationsFormNoQuartet) {
    const Model m(group_p1(), 9, 4321, {4, 4, 4});
    prepare(m, 60, 40);
    DIRPS.I(dirps::kStored) = 1;
    UREQ.I(ureqw::kPrint) = 1;
    run();
    EXPECT_EQ(counts[5] + counts[6] + counts[12] + counts[13], 0);
    EXPECT_FALSE(stored(20));
    EXPECT_FALSE(stored(21));
    EXPECT_FALSE(listed("Negative quartets statistic"));
    EXPECT_TRUE(listed(" Negative quartets relationships estimated using      1 psi-zero relationships "));
    EXPECT_TRUE(listed("       0 negative quartet(s) calculated and     0 stored"));
    EXPECT_TRUE(listed("       0 enant.sens. quartet(s) calculated and     0 stored"));
}

}  // namespace
