#include "crystaldata/special_functions.h"

#include <cmath>

#include "platform/fformat.h"
#include "platform/listing.h"
#include "platform/units.h"

namespace zanek {

namespace {

// State of the error routines.
struct ErrorState {
    int level = 4;       // message level: 1 terminal only .. 4 everything
    int nin = 5;         // input unit
    int nout = 6;        // output unit
    bool traceback = false;
    std::string saved;   // routine name saved for the traceback (6 characters)
};
ErrorState g_err;

constexpr double kEpsSingle = 1.192093e-7;  // single-precision epsilon

// Writes one message line: to the error routines' output unit when a file is
// connected there, otherwise (the console unit of the run-time) to the
// listing, where the run's messages are read.
void error_line(const std::string& text) {
    if (g_err.nout != listing_unit() && units().connected(g_err.nout)) {
        units().write_line(g_err.nout, text);
    } else {
        lst_line(text);
    }
}

// P(x)/Q(x) of the rational approximations of ln Gamma.
double ratio(double x, const double p[5], const double q[4]) {
    double num = (((p[0] * x + p[1]) * x + p[2]) * x + p[3]) * x + p[4];
    double den = (((x + q[0]) * x + q[1]) * x + q[2]) * x + q[3];
    return num / den;
}

constexpr double kP12[5] = {-2296.607, -40262.11, 27464.76, 230661.5, -212159.6};
constexpr double kQ12[4] = {-570.691, -24235.74, -146025.9, -116328.5};
constexpr double kP4[5] = {4.164389, 78.69949, 137.5194, -142.0463, -78.33593};
constexpr double kQ4[4] = {43.34, 263.5051, 313.3992, 47.06688};
constexpr double kP15[5] = {3.130605, 11.16675, -21.9699, -24.43875, -2.666855};
constexpr double kQ15[4] = {15.23469, 31.46901, 11.94009, 0.6077714};

// ln Gamma(x) for x > 0 by the ranges of the rational approximations.
double lgamma_positive(double x) {
    if (x > 12.0) {
        double r = (x - 0.5) * std::log(x) - x;
        if (1.0 / x >= kEpsSingle) r += 0.9189385 + (0.08333332 - 0.002770927 / (x * x)) / x;
        return r;
    }
    if (x > 4.0) return ratio(x, kP12, kQ12);
    if (x >= 1.5) return (x - 2.0) * ratio(x, kP4, kQ4);
    if (x >= 0.5) return (x - 1.0) * ratio(x, kP15, kQ15);
    if (x < kEpsSingle) return -std::log(x);
    return -std::log(x) + x * ratio(x + 1.0, kP15, kQ15);
}

}  // namespace

void reset_error_routines() { g_err = ErrorState{}; }

void USPKD(const std::string& PACKED, int NCHARS, std::string& UNPAKD, int& NCHMTB) {
    NCHMTB = 0;
    if (NCHARS < 1) return;
    int n = std::min(NCHARS, 129);
    UNPAKD = PACKED.substr(0, std::min<std::size_t>(n, PACKED.size()));
    UNPAKD.resize(n, ' ');
    for (int i = n; i >= 1; --i) {
        if (UNPAKD[i - 1] != ' ') {
            NCHMTB = i;
            break;
        }
    }
}

void UGETIO(int IOPT, int& NIN, int& NOUT) {
    if (IOPT == 1) {
        NIN = g_err.nin;
        NOUT = g_err.nout;
    } else if (IOPT == 2) {
        g_err.nin = NIN;
    } else if (IOPT == 3) {
        g_err.nout = NOUT;
    }
}

void UERTST(int& IER, const std::string& NAME) {
    std::string name;
    int len = 0;
    USPKD(NAME, 6, name, len);
    name.resize(static_cast<std::size_t>(len));
    if (IER < -32) {  // remember the caller for the next message
        g_err.saved = name;
        g_err.traceback = true;
        return;
    }
    if (IER >= -32 && IER <= 32 && name == "UERSET") {
        int old = g_err.level;
        g_err.level = (IER < 0 || IER > 4) ? 4 : IER;
        IER = old;
        return;
    }
    // The routine part of the message: the saved caller, "=", this routine.
    std::string routine = g_err.traceback ? g_err.saved + "=" + name : name;
    std::string text;
    if (IER > 128 && IER < 1000) {
        if (g_err.level >= 1)
            text = " *** TERMINAL ERROR          (IER = " + fmt_i(IER, 3) + ") FROM IMSL ROUTINE " + routine;
    } else if (IER > 64 && IER <= 128) {
        if (g_err.level >= 2)
            text = " *** WARNING WITH FIX ERROR  (IER = " + fmt_i(IER, 3) + ") FROM IMSL ROUTINE " + routine;
    } else if (IER > 32 && IER <= 64) {
        if (g_err.level >= 3)
            text = " *** WARNING ERROR           (IER = " + fmt_i(IER, 3) + ") FROM IMSL ROUTINE " + routine;
    } else if (g_err.level >= 4) {
        text = " *** UNDEFINED ERROR         (IER = " + fmt_i(IER, 5) + ") FROM IMSL ROUTINE " + routine;
    }
    if (!text.empty()) error_line(text);
    g_err.traceback = false;
}

float ALGAMX(float X) {
    double x = X;
    int ier = 0;
    if (std::fabs(x) >= 4.03e36) {
        ier = 129;
    } else if (x <= 0.0 && x == std::floor(x)) {
        ier = 130;
    }
    if (ier != 0) {
        int caller = -ier;
        UERTST(caller, "MLGAMA");
        UERTST(ier, "ALGAMX");
        return kHugeReal;
    }
    if (x > 0.0) return static_cast<float>(lgamma_positive(x));
    // Reflection: Gamma(x) Gamma(1-x) = pi / sin(pi x).
    double ax = -x;
    double f = ax - std::floor(ax);
    const double pi = 3.141593;
    return static_cast<float>(std::log(pi / std::fabs(std::sin(pi * f))) - lgamma_positive(1.0 - x));
}

void MDGAM(float X, float P, float& PROB, int& IER) {
    PROB = 0.0f;
    IER = 0;
    if (X < 0.0f || P <= 0.0f) {
        IER = X < 0.0f ? 129 : 130;
        int e = IER;
        UERTST(e, "MDGAM ");
        return;
    }
    if (X == 0.0f) return;
    const double x = X, p = P;
    double expo = p * std::log(x) - ALGAMX(P) - x;
    double d = expo > -87.49823 ? std::exp(expo) : 0.0;
    if (x > 1.0 && x >= p) {
        // Continued fraction for the upper tail Q(p, x) = d * F, from the
        // three-term recurrence of its approximants A_n / B_n.
        double a0 = 1.0, b0 = 0.0, a1 = x, b1 = 1.0;
        double fold = b1 / a1, fnew = fold;
        for (int n = 1; n < 100000; ++n) {
            double an = n, ana = an - p;
            a0 = a1 + ana * a0;   // odd step: coefficient (n - p)
            b0 = b1 + ana * b0;
            a1 = x * a0 + an * a1;  // even step: coefficient n
            b1 = x * b0 + an * b1;
            if (std::fabs(a1) >= 1e35 || std::fabs(b1) >= 1e35) {
                a0 /= 1e35;
                b0 /= 1e35;
                a1 /= 1e35;
                b1 /= 1e35;
            }
            if (a1 == 0.0) continue;
            fnew = b1 / a1;
            double diff = std::fabs(fnew - fold);
            if (diff <= 1e-8 && diff <= 1e-8 * std::fabs(fnew)) break;
            fold = fnew;
        }
        PROB = static_cast<float>(1.0 - d * fnew);
    } else {
        // Series P(p, x) = d/p * (1 + x/(p+1) + x^2/((p+1)(p+2)) + ...).
        double term = 1.0, sum = 1.0;
        for (int n = 1; n < 100000; ++n) {
            term *= x / (p + n);
            sum += term;
            if (term <= 1e-8) break;
        }
        PROB = static_cast<float>(d * sum / p);
    }
}

void MERFI(float P, float& Y, int& IER) {
    IER = 0;
    if (!(P > -1.0f && P < 1.0f)) {
        IER = 129;
        Y = P < 0.0f ? -kHugeReal : kHugeReal;
        int e = IER;
        UERTST(e, "MERFI ");
        return;
    }
    double x = std::fabs(static_cast<double>(P));
    double s = P < 0.0f ? -1.0 : 1.0;
    if (x <= 0.85) {
        double z = x * x;
        double r = -0.5751703 * z / (z - 3.293474 + (-1.896513) / (z - 2.374996 + (-0.05496261) / (z - 1.187515))) -
                   0.113773;
        Y = static_cast<float>(s * (x + x * r));
        return;
    }
    double t = std::sqrt(-std::log(1.0 - x * x));
    double r;
    if (t < 2.5) {
        r = ((0.05073975 * t - 0.2368201) * t - 0.1314774) * t / (((t - 7.586103) * t + 21.98546) * t - 44.27977) -
            0.1146666;
    } else if (t < 4.0) {
        r = ((0.06208963 * t - 0.3166501) * t + 0.3937021) * t / (((t - 2.962883) * t + 4.666263) * t - 6.266786) -
            0.05668422;
    } else {
        double u = 1.0 / t;
        r = ((0.01078639 * u - 0.1498384) * u - 0.002028152) * u /
                (((u - 0.06888301) * u + 0.5211733) * u + 0.09952975) +
            0.0001851159;
    }
    Y = static_cast<float>(s * (t + t * r));
}

}  // namespace zanek
