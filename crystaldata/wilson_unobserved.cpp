// Correction of the Wilson shells for their unobserved reflections. The
// unobserved reflections of a shell are taken to be the weakest fraction of
// the ideal intensity distribution: z = E^2 is exponential (acentric) or
// z/2 is gamma(1/2) distributed (centric), so the observed fraction ends at
// the z where that distribution reaches the unobserved fraction, and the
// truncated moments come from the incomplete gamma function.
#include <cmath>
#include <string>

#include "crystaldata/special_functions.h"
#include "crystaldata/wilson.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/normal.h"
#include "platform/listing.h"

namespace zanek {

namespace {

const char* const kLegend[6] = {
    "no    = number of observed reflections",
    "nu    = number of unobserved reflections",
    "nt    = no+nu",
    "zmax  = maximum value of z for unobserved reflections",
    "zmed  = average value of z for unobserved reflections",
    "sigma = standard deviation",
};

void shell_row(int k, int no, int nu, double f, double zmax, double zmed, double sigma) {
    std::string row = fformat("(1x,3i5,4f8.3)", {k, no, nu, f, zmax, zmed, sigma})[0];
    if (k <= 6) row += std::string(12, ' ') + kLegend[k - 1];
    lst_line(row);
}

}  // namespace

void SUMUN(const int* NO, const int* NU, double* SUMI, int* NT, int nsh) {
    for (int w = 1; w <= 2 * nsh; ++w) SHELL.R(w) = 0.0f;
    const bool centric = SYM.I(symw::kCentric) != 0;
    lst_blank();
    lst_line(" shell   no   nu   nu/nt    zmax    zmed   sigma             legenda:");
    lst_blank();
    for (int k = 1; k <= nsh; ++k) {
        const int no = NO[k - 1], nu = NU[k - 1], nt = no + nu;
        NT[k - 1] = nt;
        const double f = nt > 0 ? static_cast<double>(nu) / nt : 0.0;
        // Without an observed reflection the shell has no scale to complete.
        if (no <= 0 || !(static_cast<double>(nt) / no > 1.05)) {
            shell_row(k, no, nu, f, 0.0, 0.0, 0.0);
            continue;
        }
        double zmax;
        if (centric) {
            float y = 0.0f;
            int ier = 0;
            MERFI(static_cast<float>(f), y, ier);
            zmax = 2.0 * static_cast<double>(y) * y;
        } else {
            zmax = std::log(static_cast<double>(nt) / no);
        }
        // Centric: P(z < zmax) = P(1/2, zmax/2), so the gamma functions take
        // zmax/2; the mean and second moment of z below zmax are G2/G1 and
        // 3 G3/G1 (acentric: G2/G1 and 2 G3/G1).
        const float arg = static_cast<float>(centric ? zmax / 2.0 : zmax);
        const float a0 = centric ? 0.5f : 1.0f;
        float g[3];
        for (int i = 0; i < 3; ++i) {
            int ier = 0;
            MDGAM(arg, a0 + i, g[i], ier);
        }
        const double g1 = g[0], g2 = g[1], g3 = g[2];
        if (!(g1 > 0.0) || !(g1 < 1.0)) {
            shell_row(k, no, nu, f, zmax, 0.0, 0.0);
            continue;
        }
        const double c = centric ? 3.0 : 2.0;
        const double zmed = g2 / g1;
        const double sigma = std::sqrt(std::max(0.0, c * g3 / g1 - zmed * zmed));
        // Mean z of the observed part is (1 - G2)/(1 - G1): the observed
        // mean, divided by it, is the shell's intensity unit.
        SUMI[k - 1] *= 1.0 + nu * zmed / (no * (1.0 - g2) / (1.0 - g1));
        shell::zmed(k) = static_cast<float>(zmed);
        shell::sigma(k) = static_cast<float>(sigma);
        shell_row(k, no, nu, f, zmax, zmed, sigma);
    }
}

}  // namespace zanek
