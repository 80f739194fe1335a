// Weak reflections with psi-e phases: relations of list 24 made here tie
// the reflections after the phasing set to pairs of phased strong ones.
// Three agreeing relations give their common phase with the weight of the
// summed reliabilities; relations that cancel leave weight 0; a centric
// weak reflection gets 0 or 180 degrees.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "fourier/fourier_records.h"
#include "fourier/maps/coefficients.h"
#include "jobcontrol/lists/listxx.h"
#include "jobcontrol/numeric.h"
#include "tests/fourier/test_fourier_command_fixture.h"

namespace zanek {
namespace {

int32_t relation_word(int a, int b, int c) { return ((a + 2048) * 4096 + (b + 2048)) * 32 + (c + 1); }

struct Relation {
    int weak, p2, p3;
    float g;
    int shift;  // 15-degree steps
};

class PsiE : public test::MapJob {
protected:
    int n = 0;

    // Phasing reflections 1..n with weight 1 and phases phi[i] (others 360).
    void phase_set(const std::vector<int>& phi) {
        n = RC.I(rcw::kNref);
        ASSERT_GT(n, 10);
        for (int i = 1; i <= n; ++i) {
            stage::A2i(i) = i <= static_cast<int>(phi.size()) ? phi[static_cast<std::size_t>(i - 1)] : 360;
            stage::A4(i) = 1.0f;
            stage::A1(i) = 1.0f;
        }
    }
    void store_relations(const std::vector<Relation>& rel, int nweak) {
        std::vector<Word> items;
        for (const Relation& r : rel) {
            items.push_back(word_of_int(relation_word(r.weak, r.p2, 0)));
            items.push_back(word_of_int(relation_word(r.p3, static_cast<int>(std::lround(100 * r.g)), r.shift)));
            items.push_back(word_of_int(0));
        }
        const int count = static_cast<int>(rel.size());
        FRMXX(0, 24, count, count, nweak, 0, 0, items.data());
    }
};

TEST_F(PsiE, AgreeingRelationsGiveThePhaseCancellingOnesNoWeight) {
    prepare(test::p212121_structure(), 0.8);
    // theta = -(phi(p3) + phi(p2) + 15 C): -(100 + 200) = 60 degrees.
    phase_set({100, 200, 150, 150, 90, 210, 10, 20, 0, 0});
    const int w1 = n + 1, w2 = n + 2;
    store_relations({{w1, 1, 2, 2.0f, 0},
                     {w1, 3, 4, 2.0f, 0},
                     {w1, 5, 6, 2.0f, 0},
                     // theta 330 and 150: opposite directions, equal reliabilities
                     {w2, 7, 8, 1.5f, 0},
                     {w2, 7, 8, 1.5f, 12}},
                    2);
    auto refl = list7();
    int count = n, nadd = 0;
    float err = 0, werr = 0;
    GPSIE(count, err, werr, nadd);
    EXPECT_EQ(nadd, 2);
    EXPECT_EQ(count, n + 2);
    EXPECT_EQ(stage::A2i(w1), 60);
    // Three relations: alpha is the length of the summed kappas, uncorrected.
    const float kappa = BESINV(BES(2.0f));
    const float alpha = 3.0f * kappa;
    EXPECT_NEAR(stage::A4(w1), BES(alpha) * BES(alpha), 1e-5f);
    EXPECT_NEAR(stage::A1(w1), refl[static_cast<std::size_t>(w1 - 1)].key * stage::A4(w1), 1e-5f);
    // The cancelling pair: appended, weight 0, phase left 0.
    EXPECT_FLOAT_EQ(stage::A4(w2), 0.0f);
    EXPECT_EQ(stage::A2i(w2), 0);
    EXPECT_FLOAT_EQ(stage::A1(w2), 0.0f);
    int h, k, l;
    unpack_index(stage::P(w2), h, k, l);
    EXPECT_EQ(h, refl[static_cast<std::size_t>(w2 - 1)].h);
    EXPECT_EQ(k, refl[static_cast<std::size_t>(w2 - 1)].k);
    EXPECT_EQ(l, refl[static_cast<std::size_t>(w2 - 1)].l);
    // Errors against the known phase of the one determined reflection.
    int d = std::abs(60 - refl[static_cast<std::size_t>(w1 - 1)].phase()) % 360;
    if (d > 180) d = 360 - d;
    EXPECT_NEAR(err, d, 1e-4);
    EXPECT_NEAR(werr, d, 1e-4);
}

TEST_F(PsiE, CentricWeakReflectionGetsZeroOr180) {
    prepare(test::p21c_structure(), 0.8);
    auto refl = list7();
    // Indications near 100 degrees, projected on the 0/180 line: 180.
    phase_set({100, 0, 110, 0, 80, 0, 95, 0});
    const int w = RC.I(rcw::kNref) + 1;
    ASSERT_EQ(refl[static_cast<std::size_t>(w - 1)].restriction(), 13);
    store_relations({{w, 2, 1, 1.2f, 0}, {w, 4, 3, 1.2f, 0}, {w, 6, 5, 1.2f, 0}, {w, 8, 7, 1.2f, 0}}, 1);
    int count = n, nadd = 0;
    float err = 0, werr = 0;
    GPSIE(count, err, werr, nadd);
    EXPECT_EQ(nadd, 1);
    // theta = -(phi(p3) + 0) = -100.. : (sin, cos) mostly along cos < 0.
    EXPECT_EQ(stage::A2i(w), 180);
    EXPECT_GT(stage::A4(w), 0.0f);
}

TEST_F(PsiE, RelationsNamingOtherReflectionsArePassedOver) {
    prepare(test::p212121_structure(), 0.8);
    phase_set({100, 200});
    // A partner beyond the phasing set and a weak position outside the block.
    store_relations({{n + 1, n + 5, 2, 2.0f, 0}, {n + 9, 1, 2, 2.0f, 0}}, 1);
    int count = n, nadd = 0;
    float err = 0, werr = 0;
    GPSIE(count, err, werr, nadd);
    EXPECT_EQ(nadd, 1);
    EXPECT_FLOAT_EQ(stage::A4(n + 1), 0.0f);
}

TEST_F(PsiE, WithoutList24NothingIsAdded) {
    prepare(test::p212121_structure(), 0.8);
    phase_set({});
    int count = n, nadd = 7;
    float err = 1, werr = 1;
    GPSIE(count, err, werr, nadd);
    EXPECT_EQ(nadd, 0);
    EXPECT_EQ(count, n);
}

}  // namespace
}  // namespace zanek
