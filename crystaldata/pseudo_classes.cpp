// The pseudo-translation classes: the fixed table of congruences, the map of
// classes that the Laue symmetry makes equivalent, the ranking sort and the
// condition text of the listing.
#include <algorithm>
#include <utility>

#include "crystaldata/pseudo.h"
#include "jobcontrol/records/crystal.h"
#include "platform/fformat.h"

namespace zanek {

using namespace pseudo;

namespace {

struct Single {
    int a, b, c, n;
};

// Classes 2..64, one condition each.
constexpr Single kSingle[63] = {
    // 2-8
    {1, 0, 0, 2}, {0, 1, 0, 2}, {0, 0, 1, 2}, {1, 1, 1, 2}, {1, 1, 0, 2}, {1, 0, 1, 2}, {0, 1, 1, 2},
    // 9-21
    {1, 0, 0, 3}, {0, 1, 0, 3}, {0, 0, 1, 3}, {1, 1, 0, 3}, {1, 0, 1, 3}, {0, 1, 1, 3}, {1, 1, 1, 3},
    {1, 1, 2, 3}, {1, 2, 1, 3}, {2, 1, 1, 3}, {1, 2, 0, 3}, {1, 0, 2, 3}, {0, 1, 2, 3},
    // 22-34
    {0, 0, 1, 4}, {0, 1, 0, 4}, {1, 0, 0, 4}, {1, 1, 0, 4}, {1, 0, 1, 4}, {0, 1, 1, 4}, {1, 1, 1, 4},
    {2, 2, 1, 4}, {2, 1, 2, 4}, {1, 2, 2, 4}, {2, 1, 1, 4}, {1, 2, 1, 4}, {1, 1, 2, 4},
    // 35-49
    {1, 2, 0, 4}, {1, 0, 2, 4}, {0, 1, 2, 4}, {2, 1, 0, 4}, {2, 0, 1, 4}, {0, 2, 1, 4}, {3, 3, 1, 4},
    {3, 1, 3, 4}, {1, 3, 3, 4}, {1, 2, 3, 4}, {1, 3, 2, 4}, {3, 1, 2, 4}, {1, 3, 0, 4}, {1, 0, 3, 4},
    {0, 1, 3, 4},
    // 50-58
    {0, 3, 2, 6}, {0, 2, 3, 6}, {2, 3, 0, 6}, {3, 2, 0, 6}, {3, 0, 2, 6}, {2, 0, 3, 6}, {2, 2, 3, 6},
    {3, 2, 3, 6}, {3, 3, 2, 6},
    // 59-64
    {0, 4, 3, 12}, {4, 0, 3, 12}, {4, 3, 0, 12}, {0, 3, 4, 12}, {3, 4, 0, 12}, {3, 0, 4, 12}};

// Classes 65..72: two or three of the axial and diagonal conditions mod 2.
constexpr Single kH2{1, 0, 0, 2}, kK2{0, 1, 0, 2}, kL2{0, 0, 1, 2}, kKL2{0, 1, 1, 2}, kHL2{1, 0, 1, 2},
    kHK2{1, 1, 0, 2};
const std::vector<std::vector<Single>> kMulti = {{kH2, kK2},  {kH2, kL2},  {kK2, kL2},  {kH2, kKL2},
                                                 {kK2, kHL2}, {kL2, kHK2}, {kHK2, kHL2}, {kH2, kK2, kL2}};

std::array<ClassRow, kWorkClass + 1> make_table() {
    std::array<ClassRow, kWorkClass + 1> t{};
    auto set = [](ClassRow& row, const std::vector<Single>& cs) {
        row.ncond = static_cast<int>(cs.size());
        for (std::size_t j = 0; j < cs.size(); ++j) row.cond[j] = Cond{cs[j].a, cs[j].b, cs[j].c, cs[j].n};
    };
    for (int m = 2; m <= 64; ++m) set(t[m], {kSingle[m - 2]});
    for (int m = 65; m <= 72; ++m) set(t[m], kMulti[static_cast<std::size_t>(m - 65)]);
    return t;  // class 1 and the work slot: (1,1,1;1)
}

std::array<ClassRow, kWorkClass + 1>& table() {
    static std::array<ClassRow, kWorkClass + 1> t = make_table();
    return t;
}

// Class maps: groups of classes and their representative, per crystal
// system (2 monoclinic .. 6 cubic; triclinic maps every class to itself).
struct Group {
    std::vector<int> from;
    int to;
};
const std::vector<Group>& family_groups(int system) {
    static const std::vector<Group> none;
    static const std::vector<Group> mono = {{{19}, 12}, {{21}, 14}, {{17}, 15}, {{18}, 16}, {{47}, 25},
                                            {{49}, 27}, {{42}, 28}, {{45, 46}, 34}, {{43}, 41}};
    static const std::vector<Group> ortho = {{{19}, 12}, {{20}, 13},         {{21}, 14}, {{16, 17, 18}, 15},
                                             {{47}, 25}, {{48}, 26},         {{49}, 27}, {{41, 42, 43}, 28},
                                             {{44}, 33}, {{45, 46}, 34}};
    static const std::vector<Group> tetra = {
        {{3}, 2},         {{8}, 7},        {{10}, 9},           {{19}, 12},      {{14, 20, 21}, 13}, {{16, 17, 18}, 15},
        {{24}, 23},       {{47}, 25},      {{27, 48, 49}, 26},  {{41, 42, 43}, 28}, {{31}, 30},      {{33, 44}, 32},
        {{45, 46}, 34},   {{38}, 35},      {{37}, 36},          {{40}, 39},      {{54}, 50},         {{55}, 51},
        {{53}, 52},       {{60}, 59},      {{63}, 61},          {{64}, 62},      {{67}, 66},         {{69}, 68}};
    static const std::vector<Group> hexa = {
        {{3, 6}, 2},      {{66, 67, 70}, 4}, {{7, 8}, 5},     {{10, 12}, 9},  {{50, 54, 58}, 11}, {{14, 16}, 13},
        {{20, 21}, 15},   {{24, 25}, 23},    {{27, 41}, 26},  {{48, 49}, 28}, {{39, 40}, 29},     {{31, 45, 46}, 30},
        {{43, 44}, 32},   {{42}, 33},        {{36, 37}, 34},  {{38, 47}, 35}, {{55, 56}, 51},     {{60}, 59},
        {{64}, 62},       {{69, 71}, 68}};
    static const std::vector<Group> cubic = {
        {{3, 4}, 2},      {{68, 69, 70}, 5}, {{7, 8, 12, 13, 14, 19, 20, 21}, 6}, {{10, 11}, 9},
        {{16, 17, 18}, 15}, {{23, 24}, 22},  {{26, 27, 47, 48, 49}, 25},          {{41, 42, 43}, 28},
        {{30, 31}, 29},   {{33, 34, 44, 45, 46}, 32}, {{37, 39}, 35},              {{38, 40}, 36},
        {{53, 55}, 50},   {{52, 54}, 51},    {{58}, 57},                           {{61, 64}, 59},
        {{62, 63}, 60},   {{66, 67}, 65}};
    switch (system) {
        case 2: return mono;
        case 3: return ortho;
        case 4: return tetra;
        case 5: return hexa;
        case 6: return cubic;
        default: return none;
    }
}

// A coefficient of the condition text: nothing for 1, one digit from 2 to
// 9, two columns (I2) when negative or above 9.
std::string coefficient_text(int v) {
    if (v == 1) return "";
    if (v >= 2 && v <= 9) return fmt_i(v, 1);
    return fmt_i(v, 2);
}

}  // namespace

ClassRow& pseudo::class_row(int m) { return table()[static_cast<std::size_t>(std::clamp(m, 1, kWorkClass))]; }

void pseudo::clear_work_class() { table()[kWorkClass] = ClassRow{}; }

bool pseudo::same_conditions(const Conds& x, const Conds& y) {
    for (int j = 0; j < 3; ++j)
        if (x[j].a != y[j].a || x[j].b != y[j].b || x[j].c != y[j].c || x[j].n != y[j].n) return false;
    return true;
}

void FILLKQ(std::array<int, kEntries + 1>& MAP) {
    for (int m = 1; m <= kEntries; ++m) MAP[m] = m;
    for (const Group& g : family_groups(ERL.I(erlw::kSystem)))
        for (int m : g.from) MAP[m] = g.to;
}

void SORT(float* F, float* R, int* K, int* C, float* A, float* B, int M) {
    if (M <= 1) return;
    int p = 4;
    while (p < M) p *= 2;
    int inc = std::min(3 * p / 4 - 1, M) / 2;
    for (;;) {
        inc = std::max(inc, 1);
        for (int i = inc + 1; i <= M; ++i) {
            const float f = F[i], r = R[i], a = A[i], b = B[i];
            const int k = K[i], c = C[i];
            int j = i;
            // An entry moves in front only of a strictly smaller figure.
            while (j > inc && F[j - inc] < f) {
                F[j] = F[j - inc];
                R[j] = R[j - inc];
                K[j] = K[j - inc];
                C[j] = C[j - inc];
                A[j] = A[j - inc];
                B[j] = B[j - inc];
                j -= inc;
            }
            F[j] = f;
            R[j] = r;
            K[j] = k;
            C[j] = c;
            A[j] = a;
            B[j] = b;
        }
        if (inc == 1) return;
        inc /= 2;
    }
}

std::string condition_text(int ncond, const Conds& cond) {
    // Built from the right end leftwards, the last condition first; a text
    // that does not fit 36 columns keeps all its characters.
    constexpr int kWidth = 36;
    std::string text;  // grows to the left
    auto put = [&](const std::string& s) { text = s + text; };
    const int nc = std::clamp(ncond, 0, 3);
    for (int j = nc - 1; j >= 0; --j) {
        const Cond& c = cond[static_cast<std::size_t>(j)];
        if (j < nc - 1) put(" ");  // the next condition ends two columns further left
        put("n");
        put(fmt_i(c.n, 2));
        put("=");
        const std::pair<int, char> terms[3] = {{c.c, 'l'}, {c.b, 'k'}, {c.a, 'h'}};
        for (const auto& [v, letter] : terms) {
            if (v == 0) continue;
            put(std::string(1, letter));
            put(coefficient_text(v));
            put("+");
        }
        // The leading "+" becomes a blank with "&" before it; the "&" of the
        // leftmost condition is blanked too.
        if (!text.empty() && text[0] == '+') text[0] = ' ';
        put(j > 0 ? "&" : " ");
    }
    if (static_cast<int>(text.size()) < kWidth) text = std::string(kWidth - text.size(), ' ') + text;
    return text;
}

}  // namespace zanek
