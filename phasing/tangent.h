// Weighted tangent refinement of one trial: the phases of the starting set
// are extended over the whole phasing set cycle by cycle with a falling
// acceptance threshold, then refined together until the sum of alpha^2
// stops growing; the trial is then scored and handed to the set keeping.
#pragma once

#include <cstdint>
#include <vector>

namespace zanek {

// Arguments: 1 1 when "tria" named trials to list; 2 trial number; 3 known
// phases by rank (SUP w1551..); 4 pass flag (not 0: score only); 5 one-
// phase count; 6 two-phase threshold; 7 s = sigma3/sigma2^1.5; 8 sets to
// keep; 9-12 the set-bookkeeping words (slot word, evaluated trials,
// lowest kept cfom, count for the final table).
void WEITAN(int& tria, int& t, const int32_t* known, int& pass, int& onep, float& twop, float& s,
            int& nkeep, int& slot, int& evaluated, float& lowest, int& nenan);

// One relation of the store as seen from one of its reflections h: the
// signed ranks of its other reflections (0 when absent; p1 alone for a
// two-phase seminvariant, p3 only for a quartet), so that
// phi(h) = sgn(p1)phi|p1| + sgn(p2)phi|p2| + sgn(p3)phi|p3| + 15*shift,
// and its reliability g (signed: negative for the negative lists), with the
// terms of the tangent formula that do not depend on the phases.
struct TangentRelation {
    int32_t p1, p2, p3;
    int32_t shift15;  // 15*shift, degrees 0..345
    float g;          // B/100 of the value word
    float gabs;       // |min(g, 6)|
    float bg;         // |I1/I0(min(g, 6))|
    float sb;         // |G| I1/I0(G): the expected alpha term
    float var;        // G^2 (2 - 2 B(|G|)/|G| - 2 B(|G|)^2): its variance
    float alpha1;     // BESINV(bg): the alpha term when every partner is fixed
};

// The relations of every rank h: entries first[h] .. first[h+1]-1.
struct TangentRelations {
    std::vector<int> first;
    std::vector<TangentRelation> rel;
};
const TangentRelations& tangent_relations();

// The sums of the tangent formula for reflection h over its relations, from
// the trial phases and weights of the work store, before the psi-zero terms
// and the projection of a restricted phase: ts, tc the tangent sums, gs, gc
// the reliability sums, qs, qc those of a random start, sb the expected
// alpha, v its variance, n the relations used.
struct TangentSums {
    double ts = 0, tc = 0, gs = 0, gc = 0, qs = 0, qc = 0, sb = 0, v = 0;
    int n = 0;
};
TangentSums tangent_sums(int h, bool random);

// The alpha^2 that a reflection's sums (psi-zero terms and projection
// included) support. When five or more relations agree better than their
// reliabilities lead one to expect (observed alpha above the expected
// one), the set is taken for a false solution and the alpha is lowered;
// w receives the factor (1 when nothing is lowered).
double supported_alpha2(const TangentSums& s, bool random, double& w);

// Decodes the relation store once into flat per-reflection tables (signed
// partners, shift and reliability as seen from each reflection). TANGEN
// calls it after the store is final; WEITAN reads only these tables.
void prepare_tangent_relations();

}  // namespace zanek
