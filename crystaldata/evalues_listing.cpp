// The E listings at the end of %normal: the reflections with the largest E,
// which the phasing will take, and the weakest, which the invariants use for
// psi-zero relations and negative quartets.
#include <algorithm>
#include <string>
#include <vector>

#include "crystaldata/evalues.h"
#include "jobcontrol/lists/list07.h"
#include "jobcontrol/records/crystal.h"
#include "platform/listing.h"

namespace zanek {

namespace {

struct Entry {
    int code, h, k, l, phi;
    float e;
    std::string ratio;
};

void print_header(bool phases) {
    std::string line = phases ? "" : " ";
    if (phases) {
        for (int g = 0; g < 3; ++g) line += "   code   h  k  l   E    phase  fo/sig. ";
    } else {
        for (int g = 0; g < 4; ++g) line += " code  h  k  l   E     fo/sig. ";
    }
    lst_line(line);
}

// Prints the entries, four to a line (three with known phases).
void print_entries(const std::vector<Entry>& entries, bool phases) {
    const std::size_t per_line = phases ? 3 : 4;
    for (std::size_t first = 0; first < entries.size(); first += per_line) {
        std::vector<FItem> items;
        std::size_t last = std::min(entries.size(), first + per_line);
        for (std::size_t j = first; j < last; ++j) {
            const Entry& en = entries[j];
            items.insert(items.end(), {en.code, en.h, en.k, en.l, en.e});
            if (phases) items.emplace_back(en.phi);
            items.emplace_back(en.ratio);
        }
        if (phases)
            lst("(3(i7,1x,3i3,f7.3,i5,a7,4x))", items);
        else
            lst("(1x,4(i5,3i3,f7.3,a7,3x))", items);
    }
}

Entry read_entry(int code, bool with_sigma) {
    Word out[9];
    SNR07(out);
    Entry en;
    en.code = code;
    en.h = out[0].i;
    en.k = out[1].i;
    en.l = out[2].i;
    en.e = out[3].r;
    en.phi = (out[7].i % 32768) / 32;  // known phase from the phase word
    en.ratio = fo_sigma_text(out[4].r, out[8].r, with_sigma);
    return en;
}

}  // namespace

std::string fo_sigma_text(float fo, float sigma, bool with_sigma) {
    if (!with_sigma) return std::string(7, ' ');
    float r = sigma > 0.0f ? fo / sigma : sigma;
    if (r < 0.0f) return "  gen. ";
    if (r > 6.0f) return "     >6";
    return fmt_f(r, 7, 2);
}

void OUT90(int N, int NREF, int NZRO) {
    const bool phases = UREQ.I(ureqw::kKnown) != 0;
    const bool with_sigma = UREQ.I(ureqw::kSigma) >= 1;
    int n = 0, nref = 0, nzro = 0, ip = 0, x = 0;
    YSFL07(n, nref, nzro, ip, x);
    N = std::min(N, n);
    const int first = std::clamp(NREF, 0, N);

    lst_blank(3);
    lst("(1x,i6,'  largest E-values to phase')", {NREF});
    lst_blank();
    print_header(phases);
    std::vector<Entry> entries;
    int code = 0;
    for (; code < first; ++code) entries.push_back(read_entry(code + 1, with_sigma));
    print_entries(entries, phases);

    lst_blank();
    lst("(i6,'  smallest E-values for psi0 and negative quartets')", {NZRO});
    lst_blank();
    print_header(phases);
    // The weak list is the end of list 7; when the two extracts overlap
    // nothing is skipped and the list stops at the last record.
    const int skip = std::max(0, N - first - NZRO);
    Word out[9];
    for (int j = 0; j < skip; ++j, ++code) SNR07(out);
    entries.clear();
    for (int j = 0; j < NZRO && code < N; ++j, ++code) entries.push_back(read_entry(code + 1, with_sigma));
    print_entries(entries, phases);
}

}  // namespace zanek
