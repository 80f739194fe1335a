// The psi-zero groups of a test job as the absolute figure of merit scores
// them: each group against the weak reflection its own relations name,
// also when weak reflections without relations leave gaps in the list.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "jobcontrol/lists/listxx.h"
#include "jobcontrol/numeric.h"
#include "jobcontrol/records/crystal.h"
#include "phasing/multisolution.h"
#include "phasing/phase_records.h"
#include "phasing/phasing_set.h"
#include "phasing/psizero.h"
#include "tests/phasing/phase_job_fixture.h"

using namespace zanek;
using namespace zanek::test;

namespace {

struct Index {
    int h, k, l;
    bool operator==(const Index&) const = default;
    Index operator-() const { return {-h, -k, -l}; }
};
Index index_of(int rank) {
    Index q{};
    UNPACC(packed_refl(rank), q.h, q.k, q.l);
    return q;
}

// One weak reflection's psi-zero relations as list 9 holds them: the
// first words (two strong ranks, signed, and the shift), and the weak row
// of the invariants command its second words name.
struct Group {
    std::vector<Fields> items;
    int weak_row = 0;
};

// The groups of list 9: a marked first word (bit 30) opens the next one.
std::vector<Group> list9_groups() {
    int count = 0, c1 = 0, c2 = 0, c3 = 0, c4 = 0;
    SFLXX(-1, 9, count, c1, c2, c3, c4, nullptr, 0);
    std::vector<Word> items(static_cast<size_t>(count) * 3 + 3);
    SFLXX(0, 9, count, c1, c2, c3, c4, items.data(), static_cast<int>(items.size()));
    std::vector<Group> groups;
    for (int i = 0; i < c1; ++i) {
        const int32_t u = items[size_t(i) * 3].i, v = items[size_t(i) * 3 + 1].i;
        if (groups.empty() || std::abs(u) >= (1 << 30)) {
            groups.emplace_back();
            groups.back().weak_row = fields(v).a;
        }
        groups.back().items.push_back(fields(u % (1 << 30)));
    }
    return groups;
}

int sgn(int v) { return v < 0 ? -1 : 1; }

// The weak reflection of a P-1 psi-zero relation: h_w = -(s_a h_a + s_b h_b)
// up to its Friedel mate, found among the weak entries after the phasing set.
int weak_rank_named(const Fields& f, int nref, int nzro) {
    const Index a = index_of(std::abs(f.a)), b = index_of(std::abs(f.b));
    const Index w{sgn(f.a) * a.h + sgn(f.b) * b.h, sgn(f.a) * a.k + sgn(f.b) * b.k, sgn(f.a) * a.l + sgn(f.b) * b.l};
    for (int r = nref + 1; r <= nref + nzro; ++r)
        if (index_of(r) == w || index_of(r) == -w) return r;
    return 0;
}

class PsiZeroJob : public PhaseJob {};

// P-1 with 60 strong reflections: many weak reflections have no psi-zero
// relation, so the groups of list 9 skip them. After the run the work store
// holds the second known-phase pass (true phases, weight 1); the
// correlation R(x,y) of the observed alpha per relation with E, and the z
// statistics, are computed here from the stored relations and compared
// with the figures of the absolute figure of merit.
TEST_F(PsiZeroJob, GroupsAreScoredAgainstTheWeakReflectionTheyName) {
    prepare("rand_pbar1_c14o2", {}, kPhase, true, {"nrtr 60"});
    const int n = PARAM.I(param::kNref), nz = PSI0.I(psi0::kNzro);
    const std::vector<Group> groups = list9_groups();
    ASSERT_GT(groups.size(), 10u);

    // The job has gaps: the weak rows named are not the first ones in turn.
    int gaps = 0;
    for (size_t g = 0; g < groups.size(); ++g)
        if (groups[g].weak_row != n + int(g) + 1) ++gaps;
    ASSERT_GT(gaps, 5);

    std::vector<int> weak(groups.size());
    for (size_t g = 0; g < groups.size(); ++g) {
        weak[g] = weak_rank_named(groups[g].items[0], n, nz);
        ASSERT_GT(weak[g], 0) << "group " << g + 1;
        for (const Fields& f : groups[g].items) EXPECT_EQ(weak_rank_named(f, n, nz), weak[g]);
        EXPECT_EQ(PSI0.I(psi0::kWeakRank + int(g)), weak[g]) << "group " << g + 1;
    }

    float figs[8] = {};
    ABSNEW(&SUP.I(sup::kKnownMode2), figs, 1, SYM.R(symw::kSigma3));
    const double mabs = figs[fig::kMabs - 1];
    ASSERT_GT(mabs, 1e-4);

    // Pairs (observed alpha per relation, E) and deviations z of the phasing
    // set, from the alphas the figure leaves (scaled by 1/mabs).
    std::vector<std::pair<double, double>> qe;
    double d2sum = 0, zabs = 0, z2 = 0, z2m1 = 0;
    auto add_z = [&](double d, double sigma, double scale) {
        if (sigma < 1e-4) return;
        const double z = d / sigma;
        zabs += scale * std::fabs(z);
        z2 += scale * z * z;
        z2m1 += scale * std::fabs(z * z - 1.0);
    };
    for (int j = 1; j <= n; ++j) {
        const int nrel = rel_ptr(j) - rel_ptr(j - 1);
        if (nrel == 0) continue;
        qe.push_back({alpha_obs(j) * mabs / nrel, e_mode2(j)});
        const double d = double(alpha_exp(j)) - alpha_obs(j);
        d2sum += d * d;
        add_z(d, alpha_sigma(j), 1.0);
    }
    // The groups: the psi-zero sum at the true phases, projected on the
    // allowed line of the weak reflection, against its expected modulus.
    const double sp = SYM.R(symw::kSigma3);  // centrosymmetric: s' = s
    for (size_t g = 0; g < groups.size(); ++g) {
        double S = 0, C = 0, a2 = 0;
        for (const Fields& f : groups[g].items) {
            const int ka = std::abs(f.a), kb = std::abs(f.b);
            const double a = sp * e_mode2(ka) * e_mode2(kb);
            a2 += a * a;
            const int th = reduce360(sgn(f.a) * trial_phase(ka) + sgn(f.b) * trial_phase(kb) + 15 * f.c);
            S += a * std::sin(th * M_PI / 180.0);
            C += a * std::cos(th * M_PI / 180.0);
        }
        project_restricted(restrict_code(weak[g]), S, C);
        const double P = std::hypot(S, C), root = std::sqrt(a2);
        qe.push_back({P / double(groups[g].items.size()), e_mode2(weak[g])});
        const double d = 0.798 * root - P;
        d2sum += d * d / mabs;
        add_z(d, root, 1.0 / mabs);
    }
    double qbar = 0, ebar = 0;
    for (const auto& [q, e] : qe) qbar += q, ebar += e;
    qbar /= double(qe.size());
    ebar /= double(qe.size());
    double sxy = 0, sxx = 0, syy = 0;
    for (const auto& [q, e] : qe) {
        sxy += (q - qbar) * (e - ebar);
        sxx += (q - qbar) * (q - qbar);
        syy += (e - ebar) * (e - ebar);
    }
    const double N = double(qe.size());
    EXPECT_NEAR(FOM4.R(fom4::kRxy), sxy / std::sqrt(sxx * syy), 2e-5);
    EXPECT_NEAR(figs[fig::kQ - 1], d2sum / PARAM.R(param::kTotalVar), 1e-4 * figs[fig::kQ - 1]);
    EXPECT_NEAR(figs[fig::kZabs - 1], zabs / N, 1e-4);
    EXPECT_NEAR(figs[fig::kZ2 - 1], z2 / N, 1e-4 * z2 / N);
    EXPECT_NEAR(figs[fig::kZ2m1 - 1], z2m1 / N, 1e-4 * z2m1 / N);
}

}  // namespace
