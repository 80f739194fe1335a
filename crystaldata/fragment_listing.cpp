// The E listings after the known-fragment pass of %normal: the reflections
// with the largest E and the weakest ones, each with its pseudo-normalised
// E' (normalised on the atoms not yet located), the E of the fragment E'p
// and the fragment's phase.
#include <algorithm>
#include <string>
#include <vector>

#include "crystaldata/fragment.h"
#include "jobcontrol/lists/list07.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/normal.h"
#include "platform/listing.h"

namespace zanek {

namespace {

constexpr int kPhaseUnit = 32768;  // phase word: P * 32768 + known phase * 32 + code

struct Entry {
    int code, h, k, l, p, phi;
    float a, b, e;
    std::string ratio;
};

Entry read_entry(int code, bool with_sigma) {
    Word out[9];
    SNR07(out);
    const int32_t word = out[7].i;
    return {code,           out[0].i, out[1].i, out[2].i, word / kPhaseUnit, (word % kPhaseUnit) / 32,
            out[5].r,       out[6].r, out[3].r, fo_sigma_text6(out[4].r, out[8].r, with_sigma)};
}

void print_header(bool phases) {
    std::string line = " ";
    for (int g = 0; g < (phases ? 2 : 3); ++g)
        line += phases ? "code    h  k  l   E'    E'p   phip    E   phi  fo/sig.     "
                       : "code  h  k  l   E'  E'p phip   E  fo/sig. ";
    lst_line(line);
    lst_blank();
}

// Three entries to a line, two with known phases.
void print_entries(const std::vector<Entry>& entries, bool phases) {
    const std::size_t per_line = phases ? 2 : 3;
    for (std::size_t first = 0; first < entries.size(); first += per_line) {
        std::vector<FItem> items;
        for (std::size_t j = first; j < std::min(entries.size(), first + per_line); ++j) {
            const Entry& en = entries[j];
            items.insert(items.end(), {en.code, en.h, en.k, en.l, en.a, en.b, en.p, en.e});
            if (phases) items.emplace_back(en.phi);
            items.emplace_back(en.ratio);
        }
        if (phases)
            lst("(1x,2(i4,2x,3i3,2f6.2,i7,f6.2,i5,a6,6x))", items);
        else
            lst("(1x,3(i4,3i3,2f5.2,i4,f6.2,a6,3x))", items);
    }
}

const char* const kAssociated = " E values , associated pseudo-normalized E's and partial phases";

}  // namespace

std::string fo_sigma_text6(float fo, float sigma, bool with_sigma) {
    if (!with_sigma) return std::string(6, ' ');
    const float r = sigma > 0.0f ? fo / sigma : sigma;
    if (r < 0.0f) return " gen. ";
    if (r > 6.0f) return "    >6";
    return fmt_f(r, 6, 2);
}

void OUT90P(int N) {
    const bool phases = UREQ.I(ureqw::kKnown) != 0;
    const bool with_sigma = UREQ.I(ureqw::kSigma) >= 1;
    int n = 0, nref = 0, nzro = 0, ipseudo = 0, x = 0;
    YSFL07(n, nref, nzro, ipseudo, x);
    N = std::clamp(N, 0, n);
    const int strong = std::clamp(FRGMT.I(frgmt::kNref), 0, N);
    const int weak = std::max(FRGMT.I(frgmt::kNzro), 0);

    lst_blank(3);
    lst_line(fmt_i(FRGMT.I(frgmt::kNref), 6) + " reflections with largest" + kAssociated);
    lst_blank();
    print_header(phases);
    std::vector<Entry> entries;
    int code = 0;
    for (; code < strong; ++code) entries.push_back(read_entry(code + 1, with_sigma));
    print_entries(entries, phases);

    lst_blank(2);
    lst_line(fmt_i(FRGMT.I(frgmt::kNzro), 5) + " reflections with weakest" + kAssociated);
    lst_blank(2);
    print_header(phases);
    // The weak list is the end of list 7; when the two extracts overlap
    // nothing is skipped and the list stops at the last record.
    const int skip = std::max(0, N - strong - weak);
    Word out[9];
    for (int j = 0; j < skip; ++j, ++code) SNR07(out);
    entries.clear();
    for (int j = 0; j < weak && code < N; ++j, ++code) entries.push_back(read_entry(code + 1, with_sigma));
    print_entries(entries, phases);
}

}  // namespace zanek
