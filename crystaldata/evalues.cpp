#include "crystaldata/evalues.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "crystaldata/fragment.h"
#include "crystaldata/wilson.h"
#include "jobcontrol/lists/list07.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/normal.h"
#include "jobcontrol/store/store.h"
#include "platform/listing.h"

namespace zanek {

const float kTheoreticalMoments[kMoments][3] = {
    {0.886f, 0.798f, 0.718f},    // <|E|>
    {1.000f, 1.000f, 1.000f},    // <E^2>
    {1.329f, 1.596f, 1.916f},    // <|E|^3>
    {2.000f, 3.000f, 4.500f},    // <E^4>
    {3.323f, 6.383f, 12.260f},   // <|E|^5>
    {6.000f, 15.000f, 37.500f},  // <E^6>
    {0.736f, 0.968f, 1.145f},    // <|E^2-1|>
    {1.000f, 2.000f, 3.500f},    // <(E^2-1)^2>
    {2.000f, 8.000f, 26.000f},   // <(E^2-1)^3>
    {2.415f, 8.691f, 26.903f},   // <|E^2-1|^3>
};

const float kHypercentricNz[kNzBins] = {0.368f, 0.463f, 0.526f, 0.574f, 0.612f, 0.643f, 0.670f, 0.694f, 0.715f,
                                        0.733f, 0.765f, 0.791f, 0.813f, 0.832f, 0.848f, 0.863f, 0.875f, 0.886f,
                                        0.896f, 0.905f, 0.913f, 0.920f, 0.926f, 0.932f, 0.938f};

namespace {

const char* const kMomentLabels[kMoments] = {"mod(E)",      "E**2",        "E**3",        "E**4",
                                             "E**5",        "E**6",        "mod(E**2-1)", "(E**2-1)**2",
                                             "(E**2-1)**3", "(mod(E**2-1))**3"};
const int kLabelBefore[kMoments] = {5, 6, 6, 6, 6, 6, 2, 2, 2, 0};
const int kLabelAfter[kMoments] = {7, 8, 8, 8, 8, 8, 5, 5, 5, 2};

constexpr int kMaxPhasing = 499;  // most reflections the phasing can take

const std::string kColumnLine =
    std::string(24, ' ') + "all data" + std::string(4, ' ') + "acentric" + std::string(5, ' ') + "centric" +
    std::string(2, ' ') + "hypercentric" + std::string(3, ' ') + "a. c. h.";

// '*' under the distribution whose value is nearest the observed one (the
// first of equals), blanks under the others; each mark followed by 2 blanks.
std::string marks(double observed, const float theory[3], bool with_mark = true) {
    int best = 0;
    for (int i = 1; i < 3; ++i)
        if (std::fabs(observed - theory[i]) < std::fabs(observed - theory[best])) best = i;
    std::string s;
    for (int i = 0; i < 3; ++i) {
        s.push_back(with_mark && i == best ? '*' : ' ');
        s.append(2, ' ');
    }
    return s;
}

}  // namespace

float nz_limit(int j) { return j <= 10 ? 0.1f * j : 1.0f + 0.2f * (j - 10); }

float nz_acentric(float z) { return static_cast<float>(1.0 - std::exp(-static_cast<double>(z))); }

float nz_centric(float z) {
    double x = std::sqrt(z / 2.0);
    double t = 1.0 / (1.0 + 0.47047 * x);
    return static_cast<float>(1.0 - ((0.74786 * t - 0.09588) * t + 0.34802) * t * std::exp(-z / 2.0));
}

void EStatistics::add(double z, int q, double s2, double s2max) {
    const double e = std::sqrt(z);
    double rel = s2max > 0.0 ? std::sqrt(std::max(0.0, s2) / s2max) : 0.0;
    int b = std::clamp(static_cast<int>(10.0 * rel + 1.0), 1, 10);
    nbin[b] += q;
    zbin[b] += q * z;
    int m = static_cast<int>(std::min(10.0 * z, 1e6)) + 1;
    int j = m <= 10 ? m : (m - 9) / 2 + 10;
    if (j <= kNzBins) nz[j] += q;
    w += q;
    const double d = z - 1.0;
    const double v[kMoments] = {e,         z,     e * z,     z * z,         e * z * z,
                                z * z * z, std::fabs(d), d * d, d * d * d, std::fabs(d * d * d)};
    for (int i = 0; i < kMoments; ++i) moment[i] += q * v[i];
    int h = static_cast<int>(std::min(10.0 * e, 25.0));
    if (h != 0) hist[h] += 1;
}

void ecal_record(const WorkRecord& r, bool pseudo_class, float scale, int ns, float s2max, Word out[6],
                 double& z_used) {
    const double e2 = r.key.r;
    const double z = pseudo_class ? r.z : e2;
    const float e = static_cast<float>(std::sqrt(std::max(0.0, z)));
    const float b = static_cast<float>(std::sqrt(std::max(0.0, e2)));
    const float root = std::sqrt(std::max(0.0f, scale));
    out[0].i = compact_index(r.h, r.k, r.l);
    out[1].r = e;
    out[2].r = r.fo * root;
    out[3].r = pack_pair(e, pseudo_class ? b : e);
    out[4].i = r.phase;
    out[5].r = r.sigma * root;
    if (!r.observed()) {
        // A generated reflection keeps a negative sigma mark: the spread of
        // z expected in its shell, or -1 when the shell had no estimate.
        int k = wilson_shell(r.s2, s2max, ns);
        float s = shell::sigma(k);
        out[2].r = 0.0f;
        out[5].r = s > 0.0f ? -s : -1.0f;
    }
    z_used = z;
}

void count_strong_weak(bool observed, float e, float strong_limit, float weak_limit, int& strong, int& weak) {
    if (observed && e > strong_limit) {
        ++strong;
    } else if (e <= weak_limit) {
        ++weak;
    }
}

void phasing_counts(int strong, int weak, int n, int nref_wanted, int nzro_wanted, bool pseudo_class, int& nref,
                    int& nzro) {
    nref = std::max(0, std::min({strong, nref_wanted, kMaxPhasing}));
    nzro = std::max(0, std::min({static_cast<int>(std::lround(nref / 3.0)), weak, nzro_wanted}));
    if (pseudo_class) nref = std::max(0, std::min({strong, n, n - nzro, kMaxPhasing}));
}

void print_e_statistics(EStatistics& st, float s2max) {
    // <E^2> against sin(theta)/lambda.
    lst_blank();
    lst_line(std::string(40, ' ') + "***   final statistics section   ***");
    lst_blank();
    lst_line(std::string(36, ' ') + "distribution of <E**2> with sin(theta)/lambda");
    std::vector<FItem> lim, mean, cnt;
    for (int b = 1; b <= 10; ++b) {
        lim.emplace_back(b * std::sqrt(std::max(0.0f, s2max)) / 10.0f);
        mean.emplace_back(st.nbin[b] > 0 ? st.zbin[b] / st.nbin[b] : 0.0);
        cnt.emplace_back(static_cast<long>(std::lround(st.nbin[b])));
    }
    lst("(' sinth/lam',10f10.4)", lim);
    lst("(2x,'<E**2> ',10f10.4)", mean);
    lst("(2x,'number',10i10)", cnt);

    // Moments.
    std::array<double, kMoments> avg{};
    for (int i = 0; i < kMoments; ++i) avg[i] = st.w > 0.0 ? st.moment[i] / st.w : 0.0;
    lst_blank(3);
    lst_line(std::string(44, ' ') + "average values");
    lst_blank();
    lst_line(std::string(4, ' ') + "average");
    lst_line(std::string(43, ' ') + "numeric" + std::string(23, ' ') + "graphic");
    lst_blank();
    lst_line(kColumnLine);
    for (int i = 0; i < kMoments; ++i) {
        const float* t = kTheoreticalMoments[i];
        std::string row(1 + kLabelBefore[i], ' ');
        row.append(kMomentLabels[i]).append(kLabelAfter[i], ' ');
        row += fformat("(4f12.3)", {avg[i], t[0], t[1], t[2]})[0];
        row += std::string(6, ' ') + marks(avg[i], t, i != 1);
        lst_line(row);
    }

    // Cumulative N(z).
    std::array<double, kNzBins + 1> cum{};
    for (int j = 1; j <= kNzBins; ++j) cum[j] = cum[j - 1] + (st.w > 0.0 ? st.nz[j] / st.w : 0.0);
    lst_blank();
    lst_line(std::string(33, ' ') + "n(z) cumulative probability distribution");
    lst_blank();
    std::string zline = kColumnLine;
    zline[6] = 'z';
    lst_line(zline);
    for (int j = 1; j <= kNzBins; ++j) {
        float z = nz_limit(j);
        float t[3] = {nz_acentric(z), nz_centric(z), kHypercentricNz[j - 1]};
        std::string row = fmt_f(z, 7, 1) + std::string(11, ' ');
        row += fformat("(4f12.3)", {cum[j], t[0], t[1], t[2]})[0];
        row += std::string(6, ' ') + marks(cum[j], t);
        lst_line(row);
    }

    // Number of E at or above each limit 0.1 j.
    for (int j = kEHistogram - 1; j >= 1; --j) st.hist[j] += st.hist[j + 1];
    for (int j = 1; j <= kEHistogram; ++j) cw::e_limit(j) = 0.1f * j;
    lst_blank(2);
    lst_line(std::string(38, ' ') + "distribution of E - number of E's .gt. limit");
    lst_blank();
    std::vector<FItem> el, en;
    for (int j = 7; j <= kEHistogram; ++j) {
        el.emplace_back(0.1f * j);
        en.emplace_back(st.hist[j]);
    }
    lst("(2x,'E   ',19f6.1)", el);
    lst("(2x,'no. ',19i6)", en);
}

float amplitude_tables(const std::vector<float>& fo_observed, const std::array<long, 10>& above_sigma,
                       long total, bool with_sigma) {
    auto percent = [&](double count) { return total > 0 ? std::lround(100.0 * count / total) : 0L; };
    if (with_sigma) {
        lst_blank(2);
        lst_line(std::string(35, ' ') + "number and percentage of  F's > param * sigma(F)");
        lst_blank();
        std::vector<FItem> num, pct, par;
        for (int i = 0; i < 10; ++i) {
            num.emplace_back(above_sigma[i]);
            pct.emplace_back(percent(above_sigma[i]));
            par.emplace_back(0.5f * (i + 1));
        }
        lst("('     number',10i8)", num);
        lst("(' percentage',10(i7,'%'))", pct);
        lst("('      param',10f8.2)", par);
    }
    std::vector<float> sorted = fo_observed;
    std::sort(sorted.begin(), sorted.end(), std::greater<float>());
    const long m = static_cast<long>(sorted.size()) / 10;
    if (m == 0) return 0.0f;  // fewer than ten observed amplitudes: no limits
    std::vector<FItem> num, pct, lim;
    for (int k = 1; k <= 10; ++k) {
        num.emplace_back(k * m);
        pct.emplace_back(percent(static_cast<double>(k * m)));
        lim.emplace_back(sorted[static_cast<std::size_t>(k * m - 1)]);
    }
    lst_blank(2);
    lst_line(std::string(35, ' ') + "number and percentage of  F's > limit ");
    lst_blank();
    lst("('     number',10i8)", num);
    lst("(' percentage',10(i7,'%'))", pct);
    lst("('      limit',10f8.2)", lim);
    return sorted[static_cast<std::size_t>(7 * m - 1)];
}

void write_list7(const std::vector<std::array<Word, 6>>& recs, int npseudo, int seed) {
    const int n = static_cast<int>(recs.size());
    int n1 = 0, nref = 0, nzro = 0, ip = 0, x = 0;
    YSFP07(n, npseudo, seed);
    YSFL07(n1, nref, nzro, ip, x);
    UREQ.I(ureqw::kMultiUse) = 240000;  // size mark of the list-7 writer
    for (const auto& r : recs) XSLW07(r.data());
    YSFL07(n1, nref, nzro, ip, x);
    XDUMP();
}

void ECAL(WorkingFile& wf, int NSTORE, int& SEED, float B0, float S0, int& IERR) {
    const bool pseudo_class = CPSEUD.I(cpseud::kClass) > 0;
    const int ns = std::clamp(RC.I(rcw::kShells), 1, kMaxWilsonShells);
    const float s2max = RC.R(rcw::kLargestS2);
    const float scale = C.R(cw::kScale);
    const float strong_limit = RC.R(rcw::kELimit), weak_limit = RC.R(rcw::kWeakE);

    // Known-fragment pass: E', E'p and the fragment phase, no statistics;
    // first pass of a known-fragment run: no amplitude tables, no listing.
    const bool fragment_pass = partial_state() == kPartialInUse;
    const bool first_of_two = partial_state() == kPartialRequested;

    std::vector<std::array<Word, 6>> recs(wf.size());
    EStatistics st;
    for (std::size_t j = 0; j < wf.size(); ++j) {
        const WorkRecord& r = wf[j];
        if (fragment_pass) {
            fragment_ecal_record(r, recs[j].data());
            if (!std::isfinite(recs[j][3].r)) {
                lst_blank();
                lst_line(" *** error *** E value out of range: check the reflections and the temperature factor");
                IERR = -1;
                return;
            }
            continue;
        }
        double z = 0.0;
        ecal_record(r, pseudo_class, scale, ns, s2max, recs[j].data(), z);
        const float e = recs[j][1].r;
        if (!std::isfinite(e) || !std::isfinite(recs[j][2].r) || !std::isfinite(recs[j][5].r)) {
            lst_blank();
            lst_line(" *** error *** E value out of range: check the reflections and the temperature factor");
            IERR = -1;
            return;
        }
        count_strong_weak(r.observed(), e, strong_limit, weak_limit, st.strong, st.weak);
        st.add(z, r.q(), r.s2, s2max);
    }
    // Decreasing E; equal keys keep the order of the working file.
    std::stable_sort(recs.begin(), recs.end(),
                     [](const std::array<Word, 6>& a, const std::array<Word, 6>& b) { return a[1].r > b[1].r; });

    const int n = static_cast<int>(recs.size());
    int nref = RC.I(rcw::kNref), nzro = RC.I(rcw::kNzro);
    if (!fragment_pass) {
        print_e_statistics(st, s2max);
        phasing_counts(st.strong, st.weak, n, RC.I(rcw::kNref), RC.I(rcw::kNzro), pseudo_class, nref, nzro);
    }
    RC.I(rcw::kReflections) = n;
    RC.I(rcw::kNref) = nref;
    RC.I(rcw::kNzro) = nzro;
    write_list7(recs, NSTORE, SEED);
    if (first_of_two) return;  // the known-fragment pass follows

    // Amplitude statistics of the list as stored.
    int n1 = 0, r19 = 0, r21 = 0, ip = 0, x = 0;
    YSFL07(n1, r19, r21, ip, x);
    const bool with_sigma = UREQ.I(ureqw::kSigma) > 0;
    std::array<long, 10> above{};
    std::vector<float> fo_obs;
    fo_obs.reserve(static_cast<std::size_t>(n1));
    Word out[9];
    for (int j = 0; j < n1; ++j) {
        SNR07(out);
        const float fo = out[4].r, sigma = out[8].r;
        if (with_sigma && sigma > 0.0f) {
            for (int i = 0; i < 10; ++i)
                if (fo > 0.5f * (i + 1) * sigma) ++above[i];
        }
        if (sigma >= 0.0f) fo_obs.push_back(fo);
    }
    UREQ.R(ureqw::kWeakLimit) = amplitude_tables(fo_obs, above, n1, with_sigma);
    SEED = -1;
    SPB07(SEED);
    if (fragment_pass)
        OUT90P(n1);
    else
        OUT90(n1, nref, nzro);
    (void)B0;
    (void)S0;
}

}  // namespace zanek
