// Fragment listing and ring atoms. CHANEL strips chain ends from a
// fragment's connection graph until only cycles are left: what remains with
// two or more neighbours is a ring atom, with more than two a ring
// junction. STCLU lists the large fragments with their in-fragment
// neighbours and ring marks, then the small fragments, then lone peaks.
#include <algorithm>
#include <string>
#include <vector>

#include "fourier/interpretation/interp_internal.h"
#include "platform/listing.h"
#include "platform/stop.h"

namespace zanek {

namespace {

constexpr int kColumns = 13;      // peaks per listing block
constexpr int kMaxRows = 9;       // neighbours shown per peak
constexpr int kMaxIsolated = 50;
const char* kRule = "(1x,76('-'))";

// Number of codes in the record of peak p (fragment table at t) naming q.
int times_named(int t, int p, int q) {
    const int idx = XI(t + p - 1);
    if (idx == 0) return 0;
    int k = 0;
    for (int e = 0; e < XI(idx + 1); ++e)
        if (XI(idx + 2 + e) / 10 == q) ++k;
    return k;
}

struct Column {
    int peak;
    std::vector<int> codes;
    bool ring;
    int fragment;
};

// One block of up to 13 columns: peaks, their neighbours (an apostrophe on
// a further symmetry copy), the ring marks or the fragment numbers.
void write_block(const std::vector<Column>& cols, bool ring_row, bool fragment_row) {
    if (cols.empty()) return;
    lst_blank(2);
    std::vector<FItem> head;
    for (const Column& c : cols) head.emplace_back(c.peak);
    lst("(1x,'     peak',13(i4,1x))", head);
    std::size_t rows = 0;
    for (const Column& c : cols) rows = std::max(rows, c.codes.size());
    rows = std::min<std::size_t>(rows, kMaxRows);
    for (std::size_t j = 0; j < rows; ++j) {
        std::string line = j == 0 ? " linked to" : std::string(10, ' ');
        for (const Column& c : cols) {
            if (j < c.codes.size())
                line += fmt_i(c.codes[j] / 10, 4) + (c.codes[j] % 10 == 0 ? " " : "'");
            else
                line += "     ";
        }
        lst_line(line);
    }
    if (ring_row && std::any_of(cols.begin(), cols.end(), [](const Column& c) { return c.ring; })) {
        std::string line = "  ring    ";
        for (const Column& c : cols) line += c.ring ? "   * " : "     ";
        lst_line(line);
    }
    if (fragment_row) {
        std::string line = "  fragment";
        for (const Column& c : cols) line += fmt_i(c.fragment, 4) + " ";
        lst_line(line);
    }
}

void write_columns(const std::vector<Column>& all, bool ring_row, bool fragment_row) {
    for (std::size_t s = 0; s < all.size(); s += kColumns) {
        std::vector<Column> block(all.begin() + static_cast<long>(s),
                                  all.begin() + static_cast<long>(std::min(all.size(), s + kColumns)));
        write_block(block, ring_row, fragment_row);
    }
}

std::vector<Column> fragment_columns(int f, int n, const FragTables& ft, const RingInfo* ri) {
    std::vector<Column> cols;
    const int t = ft.fptr[f];
    for (int i = 1; i <= n; ++i) {
        const int idx = XI(t + i - 1);
        if (idx == 0) continue;
        Column c{XI(idx), {}, false, f};
        for (int e = 0; e < XI(idx + 1); ++e) c.codes.push_back(XI(idx + 2 + e));
        if (ri)
            for (int r = 1; r <= ri->nring; ++r)
                if (ri->ring[r] == c.peak) c.ring = true;
        cols.push_back(std::move(c));
    }
    return cols;
}

}  // namespace

void CHANEL(int f, int n, const FragTables& ft, RingInfo& ri, int quiet) {
    ri.nring = 0;
    ri.nfused = 0;
    for (int& r : ri.ring) r = 0;
    if (ft.nfr[f] < 2) return;
    const int start = XBUIL.I(xb::kFree);
    ri.start = start;
    need_store(start + 2 * n);
    const int t = ft.fptr[f];
    auto D = [&](int i) -> int32_t& { return XI(start + i - 1); };
    for (int i = 1; i <= n; ++i) {
        const int idx = XI(t + i - 1);
        D(i) = idx != 0 ? XI(idx + 1) : 0;
    }
    // Strip chain ends, lowest peak first, until none is left.
    for (;;) {
        int i = 1;
        while (i <= n && !(XI(t + i - 1) != 0 && D(i) == 1)) ++i;
        if (i > n) break;
        D(i) = 0;
        const int idx = XI(t + i - 1);
        for (int e = 0; e < XI(idx + 1); ++e) {
            const int p = XI(idx + 2 + e) / 10;
            D(p) -= times_named(t, p, i);
        }
    }
    for (int i = 1; i <= n; ++i) {
        if (D(i) < 2) continue;
        if (ri.nring < 500) ri.ring[++ri.nring] = i;
        if (D(i) > 2) XI(start + n + ri.nfused++) = i;
    }
    if (ri.nring == 0) ri.nfused = 0;
    XBUIL.I(xb::kFree) = start + n + ri.nfused;
    if (print_level() > 0 && ri.nring != 0 && ri.nfused != 0 && quiet != 1) {
        lst_blank();
        lst("(1x,'fragment n.',i2,' ,fused rings could be found around peaks ')", {f});
        std::vector<FItem> items;
        for (int k = 0; k < ri.nfused; ++k) items.emplace_back(static_cast<int>(XI(start + n + k)));
        lst("(1x,19i4)", items);
    }
}

void STCLU(const Desc& d, FragTables& ft, int& plotflag, int newn, int newstart, int res) {
    (void)res;
    const int n = d.n;
    const bool print = print_level() > 0;
    const int nfrag = XBUIL.I(xb::kFragments);
    if (print) lst_blank();
    std::vector<int> isolated, small;
    for (int f = 1; f <= nfrag; ++f) {
        const int nf = ft.nfr[f];
        if (nf < 1) {
            ld_line("", {static_cast<long>(f), static_cast<long>(nf), static_cast<long>(nfrag)});
            zstop(7777);
        }
        if (nf == 1) {
            if (isolated.size() < kMaxIsolated) isolated.push_back(XI(ft.fptr[f] + n));
            continue;
        }
        if (nf <= 4) {
            small.push_back(f);
            continue;
        }
        if (plotflag != -1) {
            plotflag = f;
            CLUPRZ(d, &XBUIL.R(xb::kMetric), plotflag, newn, newstart);
        }
        RingInfo ri;
        if (print) {
            lst_blank();
            lst(kRule);
            lst("(1x,'fragment number ',i3,' ,',i5,' peaks included')", {f, nf});
        }
        CHANEL(f, n, ft, ri, 1);
        if (print) write_columns(fragment_columns(f, n, ft, &ri), true, false);
    }
    if (!print) return;
    if (!small.empty()) {
        lst_blank();
        lst(kRule);
        lst_line("  fragments with less than five peaks");
        std::vector<Column> all;
        for (int f : small) {
            std::vector<Column> c = fragment_columns(f, n, ft, nullptr);
            all.insert(all.end(), c.begin(), c.end());
        }
        write_columns(all, false, true);
    }
    if (!isolated.empty()) {
        lst_blank();
        lst(kRule);
        if (isolated.size() == 1) {
            lst("(1x,' peak number ',i5,' is isolated')", {isolated[0]});
        } else {
            for (std::size_t s = 0; s < isolated.size(); s += 8) {
                std::vector<FItem> items;
                for (std::size_t k = s; k < std::min(isolated.size(), s + 8); ++k) items.emplace_back(isolated[k]);
                lst(s == 0 ? "(1x,'the following peaks are isolated : ',8i5)" : "(36x,8i5)", items);
            }
        }
    }
}

}  // namespace zanek
