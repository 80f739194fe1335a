// E values of %normal: the normalised structure factors of the working
// file become the records of a new list 7 in decreasing order of E, with
// their statistics (<E^2> against resolution, the moments of |E| and the
// cumulative distribution N(z) compared with the acentric, centric and
// hypercentric distributions, the distributions of E and of Fo) and the
// choice of the reflections to phase and of the weak ones.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "crystaldata/normal.h"
#include "platform/word.h"

namespace zanek {

// The ten moments, in the order of the statistics table.
constexpr int kMoments = 10;
constexpr int kNzBins = 25;  // z = 0.1..1.0 by 0.1, then 1.2..4.0 by 0.2
constexpr int kEHistogram = 25;

// Theoretical values: [row][0 acentric, 1 centric, 2 hypercentric].
extern const float kTheoreticalMoments[kMoments][3];
extern const float kHypercentricNz[kNzBins];
// z at the upper end of N(z) bin j (1..25).
float nz_limit(int j);
// Theoretical cumulative N(z) of the three distributions.
float nz_acentric(float z);
float nz_centric(float z);

// Sums of the statistics of E, gathered over the working file.
struct EStatistics {
    std::array<double, 11> nbin{}, zbin{};        // <E^2> bins 1..10 by sin(theta)/lambda
    std::array<double, kNzBins + 1> nz{};         // N(z) bins 1..25
    std::array<long, kEHistogram + 1> hist{};     // E histogram 1..25 (not weighted)
    std::array<double, kMoments> moment{};        // weighted sums of the moments
    double w = 0.0;                               // total weight
    int strong = 0, weak = 0;

    // Enters one reflection of weight q with z = E^2 at s^2 (s2max the
    // largest s^2 of the data).
    void add(double z, int q, double s2, double s2max);
};

// The list-7 record of a working record (known-fragment pass excluded):
// key E, Fo and sigma on the rescaled scale, the packed pair of E values,
// the phase word. An unobserved reflection of Wilson shell k gets Fo 0 and
// sigma -(SHELL word 2k), always negative. z_used := the E^2 that the
// statistics take.
void ecal_record(const WorkRecord& r, bool pseudo_class, float scale, int ns, float s2max, Word out[6],
                 double& z_used);

// Strong (observed, E above the strong limit) and weak (E at or below the
// weak limit) reflections; an unobserved reflection is never strong.
void count_strong_weak(bool observed, float e, float strong_limit, float weak_limit, int& strong, int& weak);

// Numbers to phase and weak reflections: nref from the strong count, the
// request (RC word 19) and 499; nzro from nref/3, the weak count and the
// request (RC word 21).
void phasing_counts(int strong, int weak, int n, int nref_wanted, int nzro_wanted, bool pseudo_class, int& nref,
                    int& nzro);

// The final statistics section (<E^2>, moments, N(z), E distribution);
// also stores the E limits in C words 61-85.
void print_e_statistics(EStatistics& st, float s2max);

// Amplitude tables read back from the new list 7: counts of Fo > p sigma
// (with sigma values) and the limits exceeded by 10..100 % of the observed
// amplitudes; returns the limit of 70 % (0 when fewer than ten).
float amplitude_tables(const std::vector<float>& fo_observed, const std::array<long, 10>& above_sigma,
                       long total, bool with_sigma);

// Writes n records as list 7 in the order given, with the list-7 header
// taken from the crystal-data records.
void write_list7(const std::vector<std::array<Word, 6>>& recs, int npseudo, int seed);

// The E computation. nstore: pseudo-translation conditions stored with
// list 7 (header word 25); seed: header word 26, -1 on return; b0, s0:
// handed on with the list (not used). IERR := -1 after a message when the
// working file yields no usable E value.
void ECAL(WorkingFile& wf, int NSTORE, int& SEED, float B0, float S0, int& IERR);

// The E listings of the new list 7: the NREF largest E and the NZRO
// smallest.
void OUT90(int N, int NREF, int NZRO);
// The ratio text of the fo/sig column (7 characters).
std::string fo_sigma_text(float fo, float sigma, bool with_sigma);

}  // namespace zanek
