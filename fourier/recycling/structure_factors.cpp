// Structure factors of the current model and a diagonal-matrix least squares
// of the scale, the coordinates and the isotropic temperature factors.
//
// F(h) = sum over atoms of f_i sum over operators exp(2 pi i h.(R_j x + t_j)),
// the angle of each term rounded to whole degrees and its sine and cosine
// taken from the sine table, as the map coefficients are built the same way.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "crystaldata/special.h"
#include "fourier/fourier_records.h"
#include "fourier/recycling/recycling.h"
#include "fourier/recycling/recycling_internal.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/scatter.h"
#include "jobcontrol/records/special.h"
#include "jobcontrol/records/work.h"
#include "platform/listing.h"

namespace zanek {

namespace {

constexpr int kMaxOps = 24;
constexpr double kTwoPi = 6.283185307179586;

// The scale shift of the last solve, shown in the next pass's debug line.
float g_last_scale_shift = 0.0f;

// Sine table of whole degrees 0..449 (the cosine of d is entry d + 90).
struct SineTable {
    std::array<float, trig::kSineDegrees> s{};
    void load() {
        for (int d = 0; d < trig::kSineDegrees; ++d) s[d] = trig::sine(d);
    }
};

// The model as the pass sees it: the atoms whose label (species) is not 0,
// laid out by quantity so that the angle loop runs over contiguous arrays.
struct Model {
    int na = 0;
    std::vector<int> slot, species;
    std::vector<float> x, y, z;
    std::vector<double> occ;  // occupancy times lattice points
    std::vector<double> b;    // isotropic B
    void add(int i, int t, float xi, float yi, float zi, double o, double bi) {
        slot.push_back(i), species.push_back(t), x.push_back(xi), y.push_back(yi), z.push_back(zi);
        occ.push_back(o), b.push_back(bi);
        ++na;
    }
};

// One reflection's operator table: the rotated index h R_j and the phase
// shift h.t_j reduced to a fraction (whole turns do not change a phase).
struct OperatorTable {
    int nsym = 0;
    float hr[kMaxOps][3];
    float ht[kMaxOps];
};

void build_operators(int h, int k, int l, OperatorTable& op) {
    for (int j = 1; j <= op.nsym; ++j) {
        for (int c = 1; c <= 3; ++c)
            op.hr[j - 1][c - 1] = static_cast<float>(h * erl_R(j, 1, c) + k * erl_R(j, 2, c) + l * erl_R(j, 3, c));
        double ht = h * static_cast<double>(erl_T(j, 1)) + k * static_cast<double>(erl_T(j, 2)) +
                    l * static_cast<double>(erl_T(j, 3));
        op.ht[j - 1] = static_cast<float>(ht - std::floor(ht));
    }
}

// Whole-degree angles of operator j for every atom: trunc(360 t + 0.5) mod
// 360 with t the fractional part of h R_j x + h t_j. Written without
// branches so that the compiler can vectorise it.
void term_angles(const OperatorTable& op, int j, const Model& md, int* __restrict ang) {
    const float hx = op.hr[j][0], hy = op.hr[j][1], hz = op.hr[j][2], hc = op.ht[j];
    const float* __restrict x = md.x.data();
    const float* __restrict y = md.y.data();
    const float* __restrict z = md.z.data();
    for (int i = 0; i < md.na; ++i) {
        float s = hx * x[i] + hy * y[i] + hz * z[i] + hc;
        // t in (-1, 1); a whole turn added keeps the truncation a floor.
        float t = s - static_cast<float>(static_cast<int>(s));
        int a = static_cast<int>(360.0f * t + 360.5f);
        a = a >= 360 ? a - 360 : a;
        ang[i] = a >= 360 ? a - 360 : a;
    }
}

// Per-atom results of SFACYYY for one reflection.
struct AtomSums {
    std::vector<double> a, b;    // trigonometric sums (A, B)
    std::vector<double> ga[3];   // sum over operators of (h R_j)_c sin(angle)
    std::vector<double> gb[3];   // sum over operators of (h R_j)_c cos(angle)
    std::vector<int> ang;
    void size(int na) {
        a.assign(na, 0.0), b.assign(na, 0.0), ang.assign(na, 0);
        for (int c = 0; c < 3; ++c) ga[c].assign(na, 0.0), gb[c].assign(na, 0.0);
    }
};

// The trigonometric sums of every atom over the stored operators; with
// coords also the sums the coordinate derivatives are made of. The centric
// partner of each operator is folded in: A doubled, B zero.
void SFACYYY(const OperatorTable& op, const SineTable& tab, const Model& md, bool coords, bool centric,
             AtomSums& out) {
    const int na = md.na;
    std::fill(out.a.begin(), out.a.end(), 0.0);
    std::fill(out.b.begin(), out.b.end(), 0.0);
    if (coords)
        for (int c = 0; c < 3; ++c)
            std::fill(out.ga[c].begin(), out.ga[c].end(), 0.0), std::fill(out.gb[c].begin(), out.gb[c].end(), 0.0);
    const float* sn = tab.s.data();
    const float* cs = tab.s.data() + 90;
    for (int j = 0; j < op.nsym; ++j) {
        term_angles(op, j, md, out.ang.data());
        const int* ang = out.ang.data();
        if (!coords) {
            for (int i = 0; i < na; ++i) out.a[i] += cs[ang[i]], out.b[i] += sn[ang[i]];
            continue;
        }
        for (int i = 0; i < na; ++i) {
            const double c1 = cs[ang[i]], s1 = sn[ang[i]];
            out.a[i] += c1;
            out.b[i] += s1;
            for (int c = 0; c < 3; ++c) out.ga[c][i] += op.hr[j][c] * s1, out.gb[c][i] += op.hr[j][c] * c1;
        }
    }
    if (centric)
        for (int i = 0; i < na; ++i) out.a[i] *= 2.0, out.b[i] = 0.0;
}

}  // namespace

void PKL15(int n) {
    int c = 0;
    for (int i = 1; i <= std::min(n, kMaxAtoms); ++i)
        if (atom_label(i) != 0) ++c;
    if (c == 0) return;
    int d = EMAP.I(emap::kPeaksKept) - c;
    EMAP.I(emap::kPeaksKept) = c;
    if (UREQ.I(ureqw::kPrint) > 1 && d > 0) lst("(1x,i10,a)", {d, " ghost(s) rejected"});
}

namespace {

// Everything one call of the pass works with.
struct Pass {
    int n = 0;            // atoms in the list
    int nref = 0;
    bool centric = false;
    double lattice = 1.0;
    int nspecies = 0;
    int light = 1;        // species index of the lightest non-hydrogen species
    int print = 0;
    char letter = 'A';
    int p_first = 1, p_last = 0;  // refined parameters (1-3 x, y, z; 4 B)
    // Refinement flags F(p, i), p = 1..4, atom 1..200.
    std::array<std::array<int, 5>, kMaxAtoms + 1> flag{};
    OperatorTable op;
    SineTable tab;
    double ff[9] = {};            // f_t at the current s^2
};

// Refinement flags of the coordinates: free unless the site symmetry ties a
// coordinate to another one; atom 1 fixes a floating origin.
void coordinate_flags(Pass& ps) {
    XSPINB();
    SiteWork work{};
    for (int i = 1; i <= ps.n; ++i) {
        float p[11] = {}, pnew[11] = {};
        int kode[10];
        for (int c = 1; c <= 3; ++c) p[c - 1] = atom_coord(i, c);
        KSPECB(work, p, pnew, kode, 0, 0, 0, 2);
        bool tied = (kode[0] != 0 && kode[0] != 1) || (kode[1] != 0 && kode[1] != 2) ||
                    (kode[2] != 0 && kode[2] != 3);
        for (int c = 1; c <= 3; ++c) ps.flag[i][c] = tied ? 0 : kode[c - 1];
    }
    int code = SPEC.I(specw::kFloating);
    if (code != 0 && ps.n >= 1) {
        if (code / 100 % 10) ps.flag[1][1] = 0;
        if (code / 10 % 10) ps.flag[1][2] = 0;
        if (code % 10) ps.flag[1][3] = 0;
    }
}

Model model_atoms(const Pass& ps) {
    Model md;
    for (int i = 1; i <= ps.n; ++i) {
        int t = atom_label(i);
        if (t < 1 || t > ps.nspecies) continue;
        const float x = atom_coord(i, 1), y = atom_coord(i, 2), z = atom_coord(i, 3);
        const double occ = ps.lattice * atom_coord(i, 5), b = atom_b(i);
        // An atom whose values are not numbers, or lie absurdly far out of
        // the cell, cannot scatter.
        bool sane = std::isfinite(occ) && std::isfinite(b);
        for (float v : {x, y, z}) sane = sane && std::isfinite(v) && std::fabs(v) < 1.0e5f;
        if (sane) md.add(i, t, x, y, z, occ, b);
    }
    return md;
}

void form_factors(Pass& ps, double s2) {
    for (int t = 1; t <= ps.nspecies; ++t) {
        double f = sf::c(t);
        for (int q = 1; q <= 4; ++q) f += sf::a(t, q) * std::exp(-static_cast<double>(sf::b(t, q)) * s2);
        ps.ff[t] = f;
        sf::f_now(t) = static_cast<float>(f);
    }
}

// Sums of one inner cycle.
struct CycleSums {
    double fo = 0, kfo = 0, fc = 0, diff = 0;
    double qq = 0, rr = 0, qr = 0, dq = 0, dr = 0;
};

}  // namespace

void SFTRYYY(int& mode, int& icyc, int& ncyc, int& nref, float* fc, float& scale) {
    Pass ps;
    ps.n = std::clamp(CONST.I(konst::kAtomCount), 0, kMaxAtoms);
    ps.nref = std::clamp(nref, 0, stage::kMaxReflections);
    ps.centric = SYM.I(symw::kCentric) == 1;
    ps.lattice = SYM.R(symw::kLatticePoints) > 0.0f ? SYM.R(symw::kLatticePoints) : 1.0;
    ps.nspecies = std::clamp(sf::species(), 0, sf::kMaxSpecies);
    ps.light = light_species();
    ps.print = UREQ.I(ureqw::kPrint);
    ps.op.nsym = std::clamp(SYM.I(symw::kOps), 0, kMaxOps);
    ps.tab.load();

    // 1. Site restrictions of the coordinates.
    if (mode >= 2) coordinate_flags(ps);
    // 2. A fresh scale at the first recycling map.
    float& u = EMAP.R(emap::kInvScale);
    if (icyc - 1 == 1 && EMAP.I(emap::kNextAction) == 0) u = 1.0f;
    // 3. Largest B an atom of the light species may reach before it is
    // dropped as a ghost.
    const double blim = 3.0 * EMAP.R(emap::kDefaultB);
    // 4. Refined parameters and the letter of the step.
    switch (mode) {
    case 1: ps.p_first = 4; ps.p_last = 4; ps.letter = 'B'; break;
    case 2: ps.p_first = 1; ps.p_last = 3; ps.letter = 'C'; break;
    case 3: ps.p_first = 1; ps.p_last = 4; ps.letter = 'B'; break;
    default: ps.letter = 'A'; break;
    }
    if (mode == 1 || mode == 3)
        for (int i = 1; i <= ps.n; ++i) ps.flag[i][4] = 1;
    // 5. Convergence bookkeeping.
    double m = 100.0, mp = 100.0, prev_mean = 100.0;
    bool converged = false;

    const bool step_a = EMAP.I(emap::kStepB) == 0 && EMAP.I(emap::kNextAction) == 0;
    const bool restart_first = EMAP.I(emap::kNextAction) != 0 && EMAP.I(emap::kStepB) == 1;
    const double kdeg = 180.0 / 3.14159265358979;

    AtomSums sums;
    std::vector<std::array<double, 4>> vsum(ps.n + 1), nsum(ps.n + 1);
    std::vector<double> fcalc(ps.nref + 1, 0.0);

    for (int c = 1; c <= ncyc; ++c) {
        // 1. The last cycle computes structure factors only.
        if (c == ncyc) mode = 0;
        const double k = u != 0.0f ? 1.0 / u : 1.0;
        if (m < 0.5) converged = true;
        if (converged && c != ncyc) continue;
        const bool ls = mode >= 1;
        const bool coords = mode >= 2;
        // 2. Clear the sums.
        CycleSums s;
        m = 0.0;
        if (ls)
            for (int i = 1; i <= ps.n; ++i) vsum[i].fill(0.0), nsum[i].fill(0.0);
        const Model md = model_atoms(ps);
        sums.size(md.na);
        std::vector<double> fi(md.na);

        // 3-8. Every reflection.
        for (int r = 1; r <= ps.nref; ++r) {
            int packed = XDATA.I(stage::kP + r);
            int h = packed / 262144;
            int rem = packed - h * 262144;
            int kk = rem / 512 - 256;
            int l = rem - (rem / 512) * 512 - 256;
            build_operators(h, kk, l, ps.op);
            const double s2 = XDATA.R(stage::kA4 + r);
            form_factors(ps, s2);
            SFACYYY(ps.op, ps.tab, md, coords, ps.centric, sums);
            double fa = 0.0, fb = 0.0;
            for (int i = 0; i < md.na; ++i) {
                fi[i] = ps.ff[md.species[i]] * std::exp(static_cast<float>(-md.b[i] * s2)) * md.occ[i];
                fa += sums.a[i] * fi[i];
                fb += sums.b[i] * fi[i];
            }
            // 5. Amplitude and phase.
            double amp = 0.0, cp = 0.0, sp = 0.0, phi = 0.0;
            if (fa * fa + fb * fb > 1.0e-6) {
                amp = std::sqrt(fa * fa + fb * fb);
                cp = fa / amp;
                sp = fb / amp;
                phi = std::atan2(fb, fa) * kdeg + 360.0;
            }
            // 6. Sums of the residual.
            const double fo = XDATA.R(stage::kA1 + r);
            fcalc[r] = amp;
            fc[r - 1] = static_cast<float>(amp);
            s.fo += fo;
            s.kfo += k * fo;
            s.fc += amp;
            s.diff += std::fabs(k * fo - amp);
            // 7. Normal equations of the least squares.
            if (ls) {
                double delta = k * fo - amp, q = k * amp, rho = -s2 * amp;
                s.qq += q * q;
                s.rr += rho * rho;
                s.qr += q * rho;
                s.dq += delta * q;
                s.dr += delta * rho;
                // Derivatives of |Fc| = cos(phi) dA/dp + sin(phi) dB/dp.
                for (int i = 0; i < md.na; ++i) {
                    const int slot = md.slot[i];
                    const double scl = (ps.centric ? 2.0 : 1.0) * fi[i] * kTwoPi;
                    for (int p = ps.p_first; p <= ps.p_last; ++p) {
                        if (ps.flag[slot][p] == 0) continue;
                        double g;
                        if (p <= 3)
                            g = ps.centric ? -cp * scl * sums.ga[p - 1][i]
                                           : scl * (sp * sums.gb[p - 1][i] - cp * sums.ga[p - 1][i]);
                        else
                            g = -s2 * fi[i] * (cp * sums.a[i] + sp * sums.b[i]);
                        nsum[slot][p - 1] += g * g;
                        vsum[slot][p - 1] += g * delta;
                    }
                }
            } else {
                // 8. The phase of the next map, whole degrees 1..360.
                int deg = static_cast<int>(phi + 0.5) % 360;
                XDATA.I(stage::kA3 + r) = deg == 0 ? 360 : deg;
            }
        }

        // 9. Scale and residual.
        scale = s.fo > 0.0 ? static_cast<float>(s.fc / s.fo) : 0.0f;
        if ((step_a || restart_first) && s.fo > 0.0 && s.fc > 0.0) {
            u = static_cast<float>(s.fo / s.fc);
            double kp = s.fc / s.fo;
            s.diff = 0.0;
            s.kfo = 0.0;
            for (int r = 1; r <= ps.nref; ++r) {
                double fo = XDATA.R(stage::kA1 + r);
                s.diff += std::fabs(kp * fo - fcalc[r]);
                s.kfo += kp * fo;
            }
        }
        // Without observed intensity there is no agreement to measure.
        double rfac = s.kfo > 0.0 ? s.diff / s.kfo : 1.0;
        EMAP.R(emap::kR) = static_cast<float>(rfac);

        // 10. Listing.
        if (ps.print > 2) {
            lst("(' cycle #',i3,' r-fac.=',f7.2,'%, ',i3,'/',i3,'/',i3,' atoms, ',7f9.4)",
                {icyc - 1, 100.0 * rfac, EMAP.I(emap::kPeaksKept), EMAP.I(emap::kPeaksKept2), EMAP.I(emap::kContentPeaks), k, mp,
                 prev_mean, s.fo > 0.0 ? s.fc / s.fo : 0.0, g_last_scale_shift, EMAP.R(emap::kDefaultB), blim});
        } else if (mode == 0) {
            lst("(25x,a1,i10,8x,f7.2,'%')", {std::string(1, ps.letter), icyc - 1, 100.0 * rfac});
        }

        // 11. Solve.
        if (!ls) continue;
        double det = s.qq * s.rr - s.qr * s.qr;
        double drho = 0.0, dq = 0.0, drho1 = 0.0;
        if (det != 0.0) {
            drho = (s.qq * s.dr - s.qr * s.dq) / det;
            dq = (s.rr * s.dq - s.qr * s.dr) / det;
        }
        if (s.rr != 0.0) drho1 = s.dr / s.rr;
        double kappa = drho - drho1;
        if (!std::isfinite(kappa)) kappa = 0.0;
        g_last_scale_shift = static_cast<float>(dq);
        // The inverse scale stays a positive number: a shift that would
        // cross zero is not applied.
        const double unew = u + dq;
        if (std::isfinite(unew) && unew > 0.0 && unew < 3.0e38) u = static_cast<float>(unew);

        int allowance = ps.n - EMAP.I(emap::kContentPeaks);
        int dropped = 0, count = 0;
        double szb = 0.0, sz = 0.0, sabs = 0.0, ssum = 0.0;
        for (int i = 1; i <= ps.n; ++i) {
            const int t = atom_label(i);
            if (t == 0) continue;
            for (int p = ps.p_first; p <= ps.p_last; ++p) {
                if (ps.flag[i][p] == 0 || nsum[i][p - 1] == 0.0) continue;
                const double sigma = vsum[i][p - 1] / nsum[i][p - 1];
                if (!std::isfinite(sigma)) continue;
                if (p <= 3) {
                    float& x = atom_coord(i, p);
                    const float old = x;
                    const float moved = static_cast<float>(x + 0.5 * sigma);
                    if (std::isfinite(moved)) x = moved;
                    if (ps.print > 2)
                        lst("(2x,a2,i3,3f10.5,2f12.1,f8.3)", {species_symbol(t), i, old, sigma, x, vsum[i][p - 1],
                                                             nsum[i][p - 1], atom_coord(i, 5)});
                    continue;
                }
                const double shift = 0.5 * (sigma + kappa);
                double bnew = atom_b(i) + shift;
                if (!std::isfinite(static_cast<float>(bnew))) continue;
                if (ps.print > 2)
                    lst("(2x,a2,i3,7f10.5)", {species_symbol(t), i, atom_b(i), sigma, shift, bnew, drho, drho1, kappa});
                if (bnew < 0.0) bnew = 0.1;
                if (c >= 2 && bnew > blim && t == ps.light && allowance > 0) {
                    atom_label(i) = 0;
                    --allowance;
                    ++dropped;
                } else {
                    const int z = (t >= 1 && t <= ps.nspecies) ? sf::z(t) : 0;
                    szb += bnew * z;
                    sz += z;
                    sabs += std::fabs(shift);
                    ssum += shift;
                    ++count;
                }
                atom_b(i) = static_cast<float>(bnew);
            }
        }
        if (mode != 2) {
            m = count > 0 ? sabs / count : 0.0;
            double mean = count > 0 ? ssum / count : 0.0;
            if (c == 1) m += 10.0;
            if (sz > 0.0) EMAP.R(emap::kDefaultB) = static_cast<float>(szb / sz);
            if (dropped > 0) PKL15(ps.n);
            if (m > mp) {
                mp = m;
                m = 0.0;
            } else {
                mp = m;
            }
            prev_mean = mean;
        }
    }

    // 12. Coefficients of the next map: 2kFo - Fc with weight 1.
    for (int r = 1; r <= ps.nref; ++r) {
        XDATA.R(stage::kA1 + r) = static_cast<float>(2.0 * scale * XDATA.R(stage::kA1 + r) - fcalc[r]);
        fc[r - 1] = 1.0f;
    }
}

}  // namespace zanek
