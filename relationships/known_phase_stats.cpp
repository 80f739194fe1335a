#include "relationships/known_phase_stats.h"

#include <cmath>
#include <vector>

#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/invariants.h"
#include "platform/listing.h"

namespace zanek {

namespace {

using namespace stats;

constexpr int kClasses = 11;

constexpr float kTstLimits[26] = {0.0f, 0.2f, 0.4f, 0.6f, 0.8f, 1.0f, 1.2f, 1.4f, 1.6f, 2.0f, 2.4f, 2.8f, 3.2f,
                                  3.4f, 3.8f, 4.2f, 4.6f, 5.0f, 5.5f, 6.0f, 6.5f, 7.0f, 7.5f, 8.0f, 8.5f, 9.0f};
constexpr float kNctstLimits[15] = {0.0f, 0.4f, 0.8f, 1.2f, 1.6f, 2.0f, 2.6f, 3.2f,
                                    3.8f, 4.4f, 5.5f, 6.5f, 9.0f, 15.0f, 20.0f};
constexpr float kDistLimitValues[kDistLimits] = {0.0f, 0.2f, 0.4f, 0.6f, 0.8f, 1.0f, 1.2f, 1.4f, 1.6f, 2.0f,
                                                 2.5f, 3.0f, 3.5f, 4.0f, 5.0f,  6.0f, 8.0f, 10.0f, 15.0f};

int sign_slot(float g) { return g >= 0.0f ? 1 : 2; }

template <std::size_t N>
void clear_distribution(Record<N>& t) {
    t.clear();
    t.I(kLimitCount) = kDistLimits;
    for (int l = 1; l <= kDistLimits; ++l) t.R(dist_limit(l)) = kDistLimitValues[l - 1];
}

template <std::size_t N>
void enter_distribution(Record<N>& t, float g, bool correct) {
    const float a = std::fabs(g);
    for (int l = 1; l <= kDistLimits && t.R(dist_limit(l)) <= a; ++l) {
        t.I(dist_count(l)) += 1;
        if (correct) t.R(dist_correct(l)) += 1.0f;
    }
}

float percentage(float correct, int count) { return count > 0 ? 100.0f * correct / static_cast<float>(count) : 0.0f; }

template <std::size_t N>
void print_distribution(const Record<N>& t) {
    const bool known = UREQ.I(ureqw::kKnown) != 0;
    lst_line(std::string(38, ' ') + "distribution of g - number of g's .gt. limit");
    if (known) lst_line(std::string(40, ' ') + "and percentage(%) of correct relationship");
    lst_blank();
    std::vector<FItem> limits, counts, percents;
    for (int l = 1; l <= kDistLimits; ++l) {
        limits.emplace_back(t.R(dist_limit(l)));
        counts.emplace_back(t.I(dist_count(l)));
        percents.emplace_back(percentage(t.R(dist_correct(l)), t.I(dist_count(l))));
    }
    lst("(3x,'g  ',19f6.1)", limits);
    lst("(1x,1x,'no. ',19i6)", counts);
    if (known) lst("(1x,2x,'%  ',19f6.1)", percents);
}

}  // namespace

void CLRT() {
    TST.clear();
    TST.I(kLimitCount) = 26;
    for (int l = 1; l <= 26; ++l) TST.R(limit(l)) = kTstLimits[l - 1];
}

void NCLRT() {
    NCTST.clear();
    NCTST.I(kLimitCount) = 15;
    for (int l = 1; l <= 15; ++l) NCTST.R(limit(l)) = kNctstLimits[l - 1];
}

void CLRT1() { clear_distribution(TST1); }
void NCLRT1() { clear_distribution(NCTST1); }

void SCTST(float g, float gc, int c) {
    if (c < 1 || c > kClasses) return;
    const float a = std::fabs(g);
    const int s = sign_slot(g);
    for (int l = 1; l <= TST.I(kLimitCount) && TST.R(limit(l)) <= a; ++l) {
        TST.I(tst_count(c, l, s)) += 1;
        if (gc >= 0.0f) TST.R(tst_correct(c, l, s)) += 1.0f;
    }
}

void NCTET(float g, float cp, float p, int c) {
    if (c < 1 || c > kClasses) return;
    const float a = std::fabs(g);
    const int s = sign_slot(g);
    for (int l = 1; l <= NCTST.I(kLimitCount) && NCTST.R(limit(l)) <= a; ++l) {
        NCTST.I(nctst_count(c, l, s)) += 1;
        NCTST.R(nctst_phase(c, l, s)) += p;
        if (g * cp >= 0.0f) NCTST.R(nctst_correct(c, l, s)) += 1.0f;
    }
}

void SCTST1(float g, float gc) { enter_distribution(TST1, g, gc >= 0.0f); }
void NCTET1(float g, float x, float cp) { enter_distribution(NCTST1, g, x * cp >= 0.0f); }

void STST() {
    lst_blank();
    lst_line(" number of relations(nr),number of correct rel.(nc) and percentage(%) of correct relationship ");
    lst_blank(3);
    lst("(14x,'rel.posit.',20x,'rel.negat.')");
    lst_blank();
    lst("(1x,' arg.',2(9x,'nr.',4x,'nc.',4x,'%',2x))");
    lst_blank();
    for (int l = 1; l <= TST.I(kLimitCount); ++l) {
        const int np = TST.I(tst_count(1, l, 1)), nn = TST.I(tst_count(1, l, 2));
        if (np == 0 && nn == 0) continue;
        const float cp = TST.R(tst_correct(1, l, 1)), cn = TST.R(tst_correct(1, l, 2));
        lst("(f5.1,2(5x,i7,2f7.1))", {TST.R(limit(l)), np, cp, percentage(cp, np), nn, cn, percentage(cn, nn)});
    }
}

void NSTST() {
    for (int l = 1; l <= NCTST.I(kLimitCount); ++l)
        for (int s = 1; s <= 2; ++s) {
            const int n = NCTST.I(nctst_count(1, l, s));
            if (n == 0) continue;
            NCTST.R(nctst_correct(1, l, s)) = percentage(NCTST.R(nctst_correct(1, l, s)), n);
            NCTST.R(nctst_phase(1, l, s)) /= static_cast<float>(n);
        }
    lst_line(" number of relationships(nr), percentages(%) of correct signs");
    lst_line(" average errors in relationships");
    lst_blank(3);
    lst("(20x,'positive rel.',25x,'negative rel.')");
    lst("(3x,'g ',1x,2(8x,'nr.    %     <|phi|>         '))");
    lst_blank(2);
    for (int l = 1; l <= NCTST.I(kLimitCount); ++l)
        lst("(f5.1,2(5x,i7,f7.1,f9.3,9x))",
            {NCTST.R(limit(l)), NCTST.I(nctst_count(1, l, 1)), NCTST.R(nctst_correct(1, l, 1)),
             NCTST.R(nctst_phase(1, l, 1)), NCTST.I(nctst_count(1, l, 2)), NCTST.R(nctst_correct(1, l, 2)),
             NCTST.R(nctst_phase(1, l, 2))});
}

void STST1() { print_distribution(TST1); }
void NSTST1() { print_distribution(NCTST1); }

}  // namespace zanek
