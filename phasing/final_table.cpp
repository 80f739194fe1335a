// The final table of a multisolution run and the seminvariant check of a
// test run with known phases.
#include "phasing/final_table.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "jobcontrol/lists/list16.h"
#include "jobcontrol/numeric.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/safeguard.h"
#include "jobcontrol/store/store.h"
#include "phasing/fom.h"
#include "phasing/multisolution.h"
#include "phasing/phase_records.h"
#include "platform/listing.h"

namespace zanek {

namespace {

// Rows of the table: 12 words per kept set, after the stored-set table.
constexpr int kRowWords = 12;
constexpr int kRows = xm::kSetTable + 11 * kSetSlots;
enum : int { kMabs = 1, kAlcomb, kRxy, kCphase, kCfom, kUndet, kError, kWError, kEnantio, kTrial, kPscomb, kSlot };
inline Word& row(int k, int w) { return XDATA.W(kRows + (k - 1) * kRowWords + (w - 1)); }

// Puts text into line at column col (1-based), widening the line as needed.
void put_at(std::string& line, int col, const std::string& text) {
    if (line.size() < size_t(col - 1) + text.size()) line.resize(size_t(col - 1) + text.size(), ' ');
    line.replace(size_t(col - 1), text.size(), text);
}

}  // namespace

void PRTFOM(int& n, int nenan, float* a, int nref, int& status) {
    const bool known_sets = UREQ.I(ureqw::kKnown) == 1 && UREQ.I(ureqw::kPartial) == 0;
    if (known_sets) n += 2;
    n = std::clamp(n, 0, kSetSlots);
    // The record of list 16 that holds each slot's set: the slot itself,
    // unless the two known-phase sets change places in the table below.
    std::vector<int> record(static_cast<size_t>(n) + 1);
    for (int k = 1; k <= n; ++k) record[size_t(k)] = k;
    if (known_sets && n >= 2 && set_table(10, n) < set_table(10, n - 1)) {
        for (int c = 1; c <= 11; ++c) std::swap(set_table(c, n), set_table(c, n - 1));
        std::swap(record[size_t(n)], record[size_t(n) - 1]);
    }
    for (int k = 1; k <= n; ++k) {
        for (int c = 1; c <= 11; ++c) row(k, c).r = set_table(c, k);
        row(k, kSlot).i = record[size_t(k)];
    }
    const int m = known_sets ? std::max(n - 2, 0) : n;
    if (m > 1) SORTZ(kRows, m, kRowWords, -kCfom);
    std::vector<int32_t> b(static_cast<size_t>(std::max(n, 1)));
    for (int k = 1; k <= n; ++k) {
        a[k - 1] = row(k, kCfom).r;
        b[size_t(k) - 1] = row(k, kSlot).i;
    }

    // Ranges of the figures over every evaluated trial.
    lst_blank(3);
    lst_line(std::string(22, ' ') + "+++++++++++++  figures  of  merit  ++++++++++++");
    lst_blank();
    lst_line(std::string(31, ' ') + "  mabs   alcomb  pscomb  R(x,y)  cphase   cfom      ");
    const int cols[6] = {track::kMabs, track::kAlcomb, track::kPscomb, track::kRxy, track::kCphase, track::kCfom};
    const bool scored = !(track_max(track::kCfom) < 0.0f);
    if (!scored) status = -1;
    std::vector<FItem> mins, maxs;
    for (int c : cols) {
        mins.push_back(scored ? track_min(c) : 0.0f);
        maxs.push_back(scored ? track_max(c) : 0.0f);
    }
    lst("(22x,'min    ',6f8.3)", mins);
    lst("(22x,'max    ',6f8.3)", maxs);

    lst_blank(3);
    std::string head = std::string(13, ' ') + "set  (trial)" + std::string(6, ' ') +
                       "  mabs   alcomb  pscomb  R(x,y)  cphase   cfom" + std::string(4, ' ') + "nundet";
    if (known_sets) head += std::string(4, ' ') + "error   (w-error)";
    lst_line(head);
    lst_blank();

    bool enan_note = false, undet_note = false;
    int undet_rows = 0;
    const int shift = known_sets ? 20 : 0;
    for (int k = 1; k <= n; ++k) {
        float f[12];
        for (int c = 1; c <= 11; ++c) f[c - 1] = row(k, c).r;
        const bool undetermined = f[kUndet - 1] >= float(nref / 2);
        if (undetermined) {
            for (int c : {kMabs, kAlcomb, kRxy, kCphase, kCfom, kError, kWError, kPscomb}) f[c - 1] = 0.0f;
            ++undet_rows;
            undet_note = true;
        }
        std::vector<FItem> items{k, int(std::lround(f[kTrial - 1])), f[kMabs - 1], f[kAlcomb - 1], f[kPscomb - 1],
                                 f[kRxy - 1], f[kCphase - 1], f[kCfom - 1], int(f[kUndet - 1])};
        std::string fmt = "(13x,i3,'  (',i5,')',4x,6f8.3,3x,i5";
        if (known_sets) {
            fmt += ",1x,2f10.2";
            items.push_back(f[kError - 1]);
            items.push_back(f[kWError - 1]);
        }
        fmt += ")";
        std::string line = fformat(fmt, items).front();
        float v = f[kEnantio - 1];
        if (std::fabs(v) < 1e-4f) v = 99.0f;
        if (v < 30.0f && nenan >= 70) {
            put_at(line, 92 + shift, fmt_f(v, 4, 1) + " (*)");
            enan_note = true;
        }
        if (undetermined) put_at(line, 91 + shift, "(**)");
        line.resize(119, ' ');
        lst_line(line);
    }
    if (undet_rows == m) status = -1;

    if (enan_note) {
        lst_blank(2);
        lst_line(std::string(12, ' ') +
                 "(*)   ***  warning  ***   possible loss of enantiomorph. the written figure is the average value");
        lst_line(std::string(38, ' ') + "of the enantiomorph sensitive triplet and quartet phase values.");
        lst_blank(2);
    }
    if (undet_note) {
        lst_blank(2);
        lst_line(std::string(11, ' ') + "(**)  ***  warning  ***   the number of undetermined phases is too hight");
        lst_blank(2);
        if (status == -1) {
            lst_blank(2);
            lst_line(std::string(11, ' ') + "      ***   error   ***   all sets have undetermined phases. zan stops");
            lst_blank(2);
        }
    }
    if (!scored) {  // the command fails: say why, as for undetermined sets
        lst_blank(2);
        lst_line(std::string(11, ' ') + "      ***   error   ***   no trial could be scored: no phase set is kept");
        lst_blank(2);
    }

    XLIMI.I(xlimi::kNextFree) = XLIMI.I(xlimi::kListBase);
    const int count = known_sets ? m + 2 * MAG.I(mag::kLas) : m;
    SUP16(a, b.data(), count);
    // No set can be used: the sets and the model of earlier phases are
    // removed so that no later command finds phases, even though the
    // command's other changes are undone with its failure.
    if (status == -1) {
        delete_list_for_good(15);
        delete_list_for_good(16);
    }
}

void SSFOM(const int32_t* known) {
    const int nsem = UREQ1.I(ureq1::kSeminvCount);
    if (nsem == 0) return;
    lst_blank();
    lst("(' error using ',i3,' seminvariants')", {nsem});
    lst_blank();
    int serial = 0, first = -1, last = 0, part = 0, length = 0;
    SRLIN(16, serial, first, last, part, length);
    if (first < 0) return;
    XLIMI.I(xlimi::kNextFree) = XLIMI.I(xlimi::kListBase);
    std::vector<float> a(kSetSlots);
    std::vector<int32_t> b(kSetSlots);
    int count = 0;
    SFL16(a.data(), b.data(), count, kSetSlots);
    const int nref = PARAM.I(param::kNref);
    std::vector<float> w(static_cast<size_t>(std::max(nref, 1)));
    std::vector<int32_t> phi(static_cast<size_t>(std::max(nref, 1)));
    const bool dump = CRIS.I(cris::kDumpSet) > 0;
    for (int k = 1; k <= count; ++k) {
        Word head[list16::kFigureWords];
        SNR16(b[size_t(k) - 1], head, w.data(), phi.data(), nref);
        double err[2] = {0, 0};
        int used = 0;
        for (int si = 0; si < 2; ++si) {
            const int s = si == 0 ? 1 : -1;
            double sum = 0.0;
            used = 0;
            for (int i = 0; i < nsem; ++i) {
                const int r = UREQ1.I(ureq1::kSeminvRanks + i);
                if (r < 1 || r > nref || !(w[size_t(r) - 1] > 0.01f)) continue;
                const int d = std::abs(s * phi[size_t(r) - 1] - known[r - 1]) % 360;
                const int e = std::min(d, 360 - d);
                sum += e;
                ++used;
                if (dump) {
                    // The comparisons go to the console, as a debugging aid.
                    for (const std::string& line : fformat("(' set #',i3,i5,')',3i5,3f10.2)",
                                                           {k, r, s * phi[size_t(r) - 1], known[r - 1], d,
                                                            double(e), sum, double(used)}))
                        std::printf("%s\n", line.c_str());
                }
            }
            err[si] = used > 0 ? sum / used : 0.0;
        }
        lst("(' set ',i4,' <error> =',2f8.2,' (',i3,')')", {k, err[0], err[1], used});
    }
}

}  // namespace zanek
