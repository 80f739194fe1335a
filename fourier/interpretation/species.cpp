// Species labelling: which atomic species each peak may be. Peaks are put
// into groups that share candidate species, an angle class and bond-distance
// limits towards every other group. From heights (NAMEPK): the expected
// content of the asymmetric unit is filled from the highest peak down and a
// heavy species gets a group of its own where the heights show a clear gap.
// From labels (READPK): one group per species present.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "fourier/interpretation/interp_internal.h"
#include "fourier/interpretation/interpretation.h"
#include "jobcontrol/lists/list03.h"
#include "jobcontrol/numeric.h"
#include "jobcontrol/records/atoms.h"
#include "platform/listing.h"

namespace zanek {

namespace {

constexpr float kHeavyZ = 11.0f;
constexpr float kOccupancyTolerance = 1e-4f;

// Shortening of the minimum bond distance: larger once recycling has
// brought the residual below 0.15, when positions are trustworthy.
float delta_now() {
    const float r = EMAP.R(emap::kR);
    return (r > 0.0f && r < 0.15f) ? 0.54f : 0.35f;
}

void clear_groups(GroupTable& gt, float rmin_start) {
    XBUIL.I(xb::kHeavySpecies) = 0;
    XBUIL.I(xb::kLightSpecies) = 0;
    for (int w = 30; w <= 47; ++w) XBUIL.R(w) = 0.0f;
    for (int g = 1; g <= xb::kMaxGroups; ++g) group_rmin(g) = rmin_start;
    for (int w = 236; w <= 298; ++w) XBUIL.I(w) = 0;
    for (int k = 1; k <= xb::kMaxPeakGroups; ++k) group_of(k) = 0;
    for (int w = 48; w <= 209; ++w) XBUIL.R(w) = 0.0f;
    for (int& e : gt.entry) e = 0;
}

// Species used: all of list 3 but hydrogen.
int species_used(const Desc& d) {
    int ns = d.nspecies;
    if (ns > 0 && XR(species_word(d, ns, list3::kZ)) < 1.5f) --ns;
    return std::min(ns, 8);
}

// Species-table record i from species record i (words 2, 3, 7, 8).
void start_record(const Desc& d, int i) {
    for (int w = 1; w <= 8; ++w) spt(i, w) = 0.0f;
    spt(i, 2) = XR(species_word(d, i, list3::kRadius));
    spt(i, 3) = XR(species_word(d, i, list3::kZ));
    spt(i, 7) = static_cast<float>(i);
    spt(i, 8) = 2.0f;
}

// Words 5 and 6: the species' own minimum and maximum bond distance.
void species_limits(int nspec, float rmin, float rmax, float delta) {
    for (int i = 1; i <= nspec; ++i) {
        const float r = spt(i, 2);
        spt(i, 5) = std::max(0.8f, r + rmin - delta);
        spt(i, 6) = std::max(spt(i, 5), r + rmax + 0.41f);
    }
}

int power10(int g) {
    int p = 1;
    for (int k = 1; k < g; ++k) p *= 10;
    return p;
}

bool group_lists(int j, int g) { return (membership(j) / power10(g)) % 10 != 0; }

// Radii of each group and the distance tables of every pair of groups.
void group_distances(float delta) {
    const int ng = XBUIL.I(xb::kGroups);
    for (int g = 1; g <= ng; ++g) {
        float lo = 1000.0f, hi = 0.0f;
        for (int j = group_first_species(g); j <= group_last_species(g); ++j) {
            lo = std::min(lo, spt(j, 2));
            hi = std::max(hi, spt(j, 2));
        }
        group_rmin(g) = lo;
        group_rmax(g) = hi;
    }
    for (int g1 = 1; g1 <= ng; ++g1)
        for (int g2 = 1; g2 <= ng; ++g2) {
            const float lo = std::max(0.8f, group_rmin(g1) + group_rmin(g2) - delta);
            dmin_of(g1, g2) = lo;
            dmax_of(g1, g2) = std::max(lo, group_rmax(g1) + group_rmax(g2) + 0.41f);
        }
}

// XBUIL word 5: the last peak of the last group of angle class 1.
void last_heavy_peak() {
    XBUIL.I(xb::kLastHeavyPeak) = 1;
    for (int g = 1; g <= XBUIL.I(xb::kGroups); ++g)
        if (group_class(g) == 1) XBUIL.I(xb::kLastHeavyPeak) = group_last_peak(g);
}

// The search radius must reach every maximum bond distance of group g.
void cover(int g, int g2) {
    const float dm = dmax_of(g, g2);
    if (std::sqrt(XBUIL.R(xb::kMaxDist2)) < dm) XBUIL.R(xb::kMaxDist2) = dm * dm;
}

// The user's coordination entries, in ascending species order: distances
// of the species and of its groups, the angle class of its groups.
void apply_conditions(const Desc& d, int nspec, GroupTable& gt, bool report) {
    const int ne = std::clamp(static_cast<int>(cond::entries()), 0, inpcl::kMaxEntries);
    const int ng = XBUIL.I(xb::kGroups);
    for (int e = 1; e <= ne; ++e) {
        const int s = cond::species(e);
        if (s < 1 || s > nspec) continue;  // not a species used (cut away, or hydrogen)
        const int j = s;
        for (int g = 1; g <= ng; ++g) {
            if (!group_lists(j, g)) continue;
            const int held = gt.entry[g];
            if (held != 0) {
                if (report) {
                    const int named = held <= s ? j : held;
                    lst("(1x,'input conditions about the ',a2,' specie can not be ','applied',/)",
                        {std::string(reinterpret_cast<const char*>(&XDATA.W(species_word(d, named, 1))), 2)});
                }
                if (held <= s) break;
            }
            gt.entry[g] = s;
            const float lo = cond::dmin(e), hi = cond::dmax(e);
            if (lo > 0.3f) spt(j, 5) = lo;
            if (hi > 0.3f) spt(j, 6) = hi;
            const int type = cond::type(e);
            if (type >= 1 && type <= 3) group_class(g) = type;
            for (int g2 = 1; g2 <= ng; ++g2) {
                cover(g, g2);
                if (lo > 0.3f) dmin_of(g, g2) = dmin_of(g2, g) = lo;
                if (hi > 0.3f) dmax_of(g, g2) = dmax_of(g2, g) = hi;
                cover(g, g2);
            }
        }
    }
}

float height(const Desc& d, int k) { return XR(peak_word(d, k, 8)); }

}  // namespace

int PIC15(const Desc& d, float w1, float cum) {
    // A small tolerance absorbs the rounding of sums of fractional
    // occupancies (1/6 of an atom on a -3 site against 6/36 expected).
    (void)w1;
    for (int k = 1; k <= d.n; ++k) {
        cum -= XR(peak_word(d, k, 6));
        if (cum <= kOccupancyTolerance) return k;
    }
    return d.n;
}

void NAMEPK(const Desc& d, float w1, int& nspec, int32_t* icode, GroupTable& gt, const float* zsort) {
    const int n = d.n;
    const float delta = delta_now();
    clear_groups(gt, 0.0f);
    XBUIL.I(xb::kGroups) = 1;
    nspec = species_used(d);
    XBUIL.I(xb::kSpeciesTable) = XBUIL.I(xb::kFree);
    XBUIL.I(xb::kSpeciesLen) = 8;
    need_store(XBUIL.I(xb::kFree) + 8 * 8);
    const int T = XBUIL.I(xb::kSpeciesTable);

    // 2. Expected content of the asymmetric unit; species beyond the peaks
    // found are cut away.
    int nheavy = 0;
    float sum = 0.0f;
    for (int i = 1; i <= nspec; ++i) {
        start_record(d, i);
        if (spt(i, 3) >= kHeavyZ) ++nheavy;
        spt(i, 1) = XR(species_word(d, i, list3::kCount)) * w1;
        const float before = sum;
        sum += spt(i, 1);
        if (sum >= static_cast<float>(n)) {
            if (!(i == nspec && n == static_cast<int>(std::lround(sum)))) {
                nspec = i;
                spt(i, 1) = static_cast<float>(n) - before;
                lst("(/,1x,'not enought peaks present . the lightest ','specie considered is ',a2,"
                    "', asymetric unit content = ',f9.2)",
                    {std::string(reinterpret_cast<const char*>(&XDATA.W(species_word(d, i, 1))), 2), spt(i, 1)});
            }
            break;
        }
    }
    XBUIL.I(xb::kHeavySpecies) = nheavy;
    XBUIL.I(xb::kLightSpecies) = nspec - nheavy;
    XBUIL.I(xb::kFree) = T + 8 * nspec;
    if (nspec == 0) {
        XBUIL.I(xb::kGroups) = 0;
        XBUIL.I(xb::kLastHeavyPeak) = 1;
        return;
    }

    // 3. Smallest and largest radius, the distance range of interest, the
    // species' own limits and angle classes.
    SORTZ(T, nspec, 8, -2);
    const float rmax = spt(1, 2), rmin = spt(nspec, 2);
    const float dmax = XBUIL.R(xb::kMaxDist2) >= 0.5f ? XBUIL.R(xb::kMaxDist2) : 2.0f * rmax + 0.41f;
    XBUIL.R(xb::kMaxDist2) = dmax * dmax;
    XBUIL.R(xb::kMinDist2) = (2.0f * rmin - delta) * (2.0f * rmin - delta);
    SORTZ(T, nspec, 8, -3);
    for (int i = 1; i <= nspec; ++i) {
        if (spt(i, 3) >= kHeavyZ) spt(i, 4) = i < nspec ? spt(i, 3) / spt(i + 1, 3) : spt(i, 3);
        if (zsort[i] > 18.0f) spt(i, 8) = 1.0f;
    }
    species_limits(nspec, rmin, rmax, delta);

    // 4. One group of everything to start with.
    group_first_species(1) = 1;
    group_last_species(1) = nspec;
    group_first_peak(1) = 1;
    group_last_peak(1) = n;
    group_class(1) = 2;

    // 5. Heavy groups where the heights drop clearly after a heavy
    // species' expected block of peaks.
    int K[9] = {}, g = 1;
    float tau[9] = {};
    bool closed_last = false;
    float C = 0.0f;
    for (int i = 1; i <= nheavy; ++i) {
        closed_last = false;
        C += spt(i, 1);
        K[i] = PIC15(d, w1, C);
        const float ratio = spt(i, 4);
        if (ratio < 1.35f) continue;
        tau[i] = 1.167f + 0.222f * ratio;
        if (K[i] >= n || g >= xb::kMaxGroups) continue;
        if (height(d, K[i]) / height(d, K[i] + 1) < tau[i]) continue;
        group_last_species(g) = i;
        group_last_peak(g) = K[i];
        group_class(g) = 1;
        if (K[i] < group_first_peak(g)) {
            if (print_level() > 1) lst_line(" Possible error in the unit cell content");
            group_last_peak(g) = group_first_peak(g);
        }
        // The next group starts behind this one, which keeps its peaks.
        const int next_peak = group_last_peak(g) + 1;
        ++g;
        group_first_species(g) = i + 1;
        group_first_peak(g) = next_peak;
        group_last_species(g) = nspec;
        group_last_peak(g) = n;
        group_class(g) = 2;
        closed_last = true;
    }

    // 6. What follows the heavy species.
    if (nheavy > 0) {
        if (closed_last) {
            if (nheavy == nspec) {
                --g;
                group_last_peak(g) = n;
            } else {
                group_last_species(g) = nspec;
                group_last_peak(g) = n;
                group_class(g) = 2;
            }
        } else {
            group_class(g) = 3;
            group_last_species(g) = nheavy;
            const int fs = group_first_species(g);
            int jm = fs;
            float best = -1.0f;
            for (int j = fs; j <= nheavy; ++j)
                if (K[j] > 1 && spt(j, 4) > best) {
                    best = spt(j, 4);
                    jm = j;
                }
            const float hstar = (K[jm] >= 1 && K[jm] < n) ? height(d, K[jm] + 1) * tau[jm] : 0.0f;
            const int fp = group_first_peak(g);
            int m = 0;
            for (int p = fp; p <= K[jm]; ++p)
                if (height(d, p) < hstar) {
                    m = p;
                    break;
                }
            const int heavy_end = nheavy == nspec ? n : K[nheavy];
            if (m != 0) {
                if (m - 1 >= fp && g < xb::kMaxGroups) {
                    group_last_peak(g) = m - 1;
                    group_last_species(g) = jm;
                    group_class(g) = 1;
                    ++g;
                }
                group_class(g) = 3;
                group_first_peak(g) = m;
                group_last_peak(g) = heavy_end;
                group_first_species(g) = g == 1 ? 1 : group_first_species(g - 1);
                group_last_species(g) = nheavy == nspec ? nspec : nheavy + 1;
            } else if (g == 1) {
                group_last_peak(g) = n;
                group_last_species(g) = nspec;
            } else {
                // A mixed group without a break ends with the last expected
                // heavy peak (or with the last peak when all are heavy).
                group_last_peak(g) = heavy_end;
            }
            if (nheavy < nspec && g < xb::kMaxGroups) {
                const int prev_last = group_last_peak(g);
                ++g;
                group_first_species(g) = nheavy + 1;
                group_last_species(g) = nspec;
                group_first_peak(g) = prev_last + 1;
                group_last_peak(g) = n;
                group_class(g) = 2;
            }
        }
    }
    XBUIL.I(xb::kGroups) = g;

    // 7. Species and peaks of each group; the last group runs to the last
    // peak so that every peak has a group.
    group_last_peak(g) = n;
    for (int gg = 1; gg <= g; ++gg) {
        for (int j = group_first_species(gg); j <= group_last_species(gg); ++j) membership(j) += power10(gg);
        for (int k = std::max(group_first_peak(gg), 1); k <= std::min(group_last_peak(gg), n); ++k) {
            group_of(k) = gg;
            if (icode[k - 1] != kNotInterpreted) icode[k - 1] = group_last_species(gg);
        }
    }
    last_heavy_peak();

    // 8-9. Distances between groups, then the user's conditions.
    group_distances(delta);
    apply_conditions(d, nspec, gt, true);
}

void READPK(const Desc& d, float w1, int& nspec, int32_t* icode, GroupTable& gt, const float* zsort) {
    const int n = d.n;
    const float delta = delta_now();
    clear_groups(gt, 100.0f);
    nspec = species_used(d);
    XBUIL.I(xb::kSpeciesTable) = XBUIL.I(xb::kFree);
    XBUIL.I(xb::kSpeciesLen) = 8;
    need_store(XBUIL.I(xb::kFree) + 8 * 8);

    // 2. One group for each species that labels peaks; a species without
    // peaks joins the group of the next species that has some.
    int g = 0, nheavy = 0;
    bool any = false;
    float rmin = 100.0f, rmax = 0.0f;
    group_first_species(1) = 1;
    for (int i = 1; i <= nspec; ++i) {
        start_record(d, i);
        const int32_t sym = XI(species_word(d, i, 1));
        int count = 0;
        for (int k = 1; k <= n; ++k) {
            if (XI(peak_word(d, k, 1)) != sym) continue;
            if (count == 0) {
                ++g;
                membership(i) += power10(g);
                group_first_peak(g) = k;
            }
            ++count;
            group_of(k) = g;
            group_last_peak(g) = k;
        }
        spt(i, 1) = static_cast<float>(count);
        if (count == 0 && !any) group_first_species(1) = i + 1;
        if (count > 0) any = true;
        if (any) {
            if (spt(i, 3) >= kHeavyZ) ++nheavy;
            rmin = std::min(rmin, spt(i, 2));
            rmax = std::max(rmax, spt(i, 2));
        }
        if (count > 0) {
            if (zsort[i] > 18.0f) {
                group_class(g) = 1;
                spt(i, 8) = 1.0f;
            } else {
                group_class(g) = 2;
            }
            group_last_species(g) = i;
            if (g < xb::kMaxGroups) group_first_species(g + 1) = i + 1;
        }
    }
    XBUIL.I(xb::kFree) = XBUIL.I(xb::kSpeciesTable) + 8 * nspec;
    if (!any) {
        interpretation_fails(" Given peaks cannot be recognized ");
    }

    // 4. Counts, distance range, limits, groups' distances.
    XBUIL.I(xb::kGroups) = g;
    XBUIL.I(xb::kHeavySpecies) = nheavy;
    XBUIL.I(xb::kLightSpecies) = nspec - nheavy;
    XBUIL.R(xb::kMinDist2) = (2.0f * rmin - delta) * (2.0f * rmin - delta);
    XBUIL.R(xb::kMaxDist2) = (2.0f * rmax + 0.41f) * (2.0f * rmax + 0.41f);
    species_limits(nspec, rmin, rmax, delta);
    last_heavy_peak();
    group_distances(delta);

    // 5. The user's conditions, without messages.
    apply_conditions(d, nspec, gt, false);
    (void)w1;
    (void)icode;
}

}  // namespace zanek
