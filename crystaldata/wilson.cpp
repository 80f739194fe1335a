#include "crystaldata/wilson.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/normal.h"
#include "platform/listing.h"

namespace zanek {

namespace {

int g_points = 0;  // points of the last Wilson plot in the C tables

constexpr int kMinWilsonPoints = 3;         // a line through fewer says nothing
constexpr int kMinWilsonReflections = 20;   // measured intensities the means need

int print_level() { return UREQ.I(ureqw::kPrint); }

void wilson_plot_error() {
    lst_blank(2);
    lst_line(" ***  Wilson-plot procedure in error  ***");
    lst_line(" ***         Check reflections        ***");
}

void print_plot_header() {
    lst_blank(3);
    lst_line(std::string(20, ' ') + "least squares plot");
    lst_blank();
    lst_line(" range      rho=(sinth/lam)**2      number      mean rho       mean i       "
             "mean exp(-2*b*rho)*E**2   debye       wilson");
}

}  // namespace

int wilson_points() { return g_points; }

int wilson_shell(float s2, float s2max, int ns) {
    if (ns < 1) return 1;
    if (!(s2max > 0.0f)) return 1;
    float delta = s2max / static_cast<float>(ns);
    double t = static_cast<double>(s2) / delta + 1.0;
    if (!(t < ns)) return ns;
    return std::max(1, static_cast<int>(t));
}

void SUM(WorkingFile& wf, float L, int& IERR) {
    const int ns = std::clamp(RC.I(rcw::kShells), 1, kMaxWilsonShells);
    const float s2max = RC.R(rcw::kLargestS2);
    const bool fragment_pass = UREQ.I(ureqw::kPartial) > 0;

    // Shell sums, index 1..ns; index ns+1 stays empty (partner of the last point).
    std::array<int, kMaxWilsonShells + 2> n{}, u{}, nobs{}, nt{};
    std::array<double, kMaxWilsonShells + 2> isum{}, x{}, y{}, r{}, ru{};
    for (int k = 1; k <= kMaxWilsonShells; ++k) shell::smallest(k) = 99.9f;

    bool any_unobserved = false;
    int measured = 0;  // observed reflections with a positive intensity
    for (WorkRecord& rec : wf) {
        int k = wilson_shell(rec.s2, s2max, ns);
        int q = rec.q();
        if (!rec.observed()) {
            rec.key.i = k;
            u[k] += q;
            ru[k] += static_cast<double>(q) * rec.s2;
            any_unobserved = true;
            continue;
        }
        n[k] += q;
        if (rec.z > 0.0f) ++measured;
        isum[k] += static_cast<double>(q) * rec.z;
        shell::smallest(k) = std::min(shell::smallest(k), rec.z);
        double fo2 = static_cast<double>(rec.fo) * rec.fo;
        double v = rec.v, w = fo2;
        if (fragment_pass) {  // what the atoms not yet located scatter
            w = fo2 - static_cast<double>(rec.fc) * rec.fc;
            v = w / (static_cast<double>(L) * rec.eps_sigma);
        }
        x[k] += q * std::max(0.0, v);
        y[k] += q * std::max(0.0, w) / (rec.eps() * static_cast<double>(L));
        r[k] += static_cast<double>(q) * rec.s2;
    }
    nobs = n;
    if (any_unobserved) {
        SUMUN(&n[1], &u[1], &isum[1], &nt[1], ns);
        for (int k = 1; k <= ns; ++k) {
            r[k] += ru[k];
            x[k] = isum[k];
            n[k] = nt[k];
        }
    }

    // A shell is a point of the plot only when it holds observed intensity;
    // an empty shell is never divided by.
    auto usable = [&](int k) { return k <= ns && nobs[k] > 0 && x[k] >= 1e-6 && isum[k] >= 1e-6; };
    const float delta = s2max / static_cast<float>(ns);
    double S = 0, Sx = 0, Sxx = 0, Sy = 0, Sxy = 0;
    int m = 0;
    for (int k = 1; k <= ns; ++k) {
        if (!usable(k)) continue;
        double pn = n[k], pi = isum[k], px = x[k], pr = r[k], py = y[k];
        if (usable(k + 1)) {
            pn += n[k + 1];
            pi += isum[k + 1];
            px += x[k + 1];
            pr += r[k + 1];
            py += y[k + 1];
        }
        double f = 1.0 / std::max(pn, 1.0);
        ++m;
        cw::log_wilson(m) = static_cast<float>(std::log(f * pi));  // "wilson"
        cw::log_debye(m) = static_cast<float>(std::log(f * px));   // "debye"
        cw::mean_s2(m) = static_cast<float>(f * pr);
        if (print_level() > 0) {
            if (m == 1) print_plot_header();
            float lo = (k - 1) * delta, hi = std::min((k + 1) * delta, s2max);
            lst("(i3,f15.4,'  -',f8.4,i11,f14.4,f14.1,f23.4,f15.4,f13.4)",
                {k, lo, hi, static_cast<int>(pn), cw::mean_s2(m), f * py, f * px, cw::log_debye(m), cw::log_wilson(m)});
        }
        double wx = cw::mean_s2(m), wy = cw::log_debye(m);
        S += pn;
        Sx += pn * wx;
        Sxx += pn * wx * wx;
        Sy += pn * wy;
        Sxy += pn * wx * wy;
    }
    g_points = m;
    if (print_level() > 0) {
        lst_line("0normal equations");
        lst("(1x,e11.3,' * slope +',e11.3,' * intercept =',e11.3)", {Sxx, Sx, Sxy});
        lst("(1x,e11.3,' * slope +',e11.3,' * intercept =',e11.3)", {Sx, S, Sy});
    }
    double D = S * Sxx - Sx * Sx;
    if (m < kMinWilsonPoints || measured < kMinWilsonReflections || !(D > 1e-12 * S * Sxx)) {
        wilson_plot_error();
        IERR = -1;
        return;
    }
    double slope = (S * Sxy - Sx * Sy) / D;
    double intercept = (Sxx * Sy - Sx * Sxy) / D;
    if (!std::isfinite(slope) || !std::isfinite(intercept) || !std::isfinite(std::exp(-intercept))) {
        wilson_plot_error();
        IERR = -1;
        return;
    }
    C.R(cw::kSlope) = static_cast<float>(slope);
    C.R(cw::kIntercept) = static_cast<float>(intercept);
    C.R(cw::kScale) = static_cast<float>(std::exp(-intercept));
    C.R(cw::kB) = static_cast<float>(-slope / 2.0);
    if (print_level() > 0) {
        lst_blank();
        lst("(1x,'slope =',f8.4,4x,'intercept =',f8.4,4x,'temperature factor (b) =',f8.4,4x,'scale =',f8.4)",
            {C.R(cw::kSlope), C.R(cw::kIntercept), C.R(cw::kB), C.R(cw::kScale)});
        lst_line(std::string(51, ' ') + "f(absolute)**2 = scale*f(observed)**2");
    }
    if (fragment_pass) {
        for (int k = 1; k <= 30; ++k) cw::log_wilson(k) = cw::log_debye(k);
    }
}

void RESCA(WorkingFile& wf, int& IERR) {
    const int ns = std::clamp(RC.I(rcw::kShells), 1, kMaxWilsonShells);
    const float s2max = RC.R(rcw::kLargestS2);
    const double scale = C.R(cw::kScale), twob = C.R(cw::kB);  // the B word holds 2B here

    // E^2 of the observed reflections, and the smallest per shell: an
    // unobserved reflection of a shell without a statistical estimate gets
    // half of it.
    std::array<double, kMaxWilsonShells + 1> smallest;
    smallest.fill(HUGE_VAL);
    double smallest_all = HUGE_VAL;
    std::vector<double> e2(wf.size());
    for (std::size_t j = 0; j < wf.size(); ++j) {
        const WorkRecord& rec = wf[j];
        if (!rec.observed()) continue;
        e2[j] = scale * rec.v * std::exp(twob * rec.s2);
        int k = wilson_shell(rec.s2, s2max, ns);
        smallest[k] = std::min(smallest[k], e2[j]);
        smallest_all = std::min(smallest_all, e2[j]);
    }
    if (smallest_all == HUGE_VAL) smallest_all = 0.0;
    double sw = 0.0, se = 0.0;
    for (std::size_t j = 0; j < wf.size(); ++j) {
        const WorkRecord& rec = wf[j];
        if (!rec.observed()) {
            int k = wilson_shell(rec.s2, s2max, ns);
            if (shell::zmed(k) == 0.0f) {
                double low = smallest[k] != HUGE_VAL ? smallest[k] : smallest_all;
                shell::zmed(k) = static_cast<float>(0.5 * low);
            }
            e2[j] = shell::zmed(k);
        }
        sw += rec.q();
        se += rec.q() * e2[j];
    }
    double ratio = sw / se;
    if (!(se > 0.0) || !std::isfinite(ratio)) {
        lst_blank();
        lst_line(" *** error *** no reflection with a measurable intensity: E values cannot be scaled");
        IERR = -1;
        return;
    }
    if (UREQ.I(ureqw::kPartial) != -1) C.R(cw::kScale) = static_cast<float>(ratio);
    for (std::size_t j = 0; j < wf.size(); ++j) {
        float v = static_cast<float>(ratio * e2[j]);
        if (!std::isfinite(v)) {
            lst_blank();
            lst_line(" *** error *** E**2 out of range: check the temperature factor");
            IERR = -1;
            return;
        }
        wf[j].key.r = v;
    }
}

}  // namespace zanek
