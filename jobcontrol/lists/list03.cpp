// List 3 and the scattering-factor file: a small free-format card scanner
// reads the entries of the wanted species from "crysdir:form.dat"; list 3
// keeps them in the order of the file, and its loader fills SF.
#include "jobcontrol/lists/list03.h"

#include <cmath>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "jobcontrol/files.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/text.h"
#include "jobcontrol/store/store.h"
#include "platform/listing.h"
#include "platform/stop.h"
#include "platform/units.h"

namespace zanek {

// ---------------------------------------------------------------------------
// Records

Word char_word(char c) {
    const char b[4] = {c, ' ', ' ', ' '};
    Word w;
    std::memcpy(&w, b, 4);
    return w;
}

static char word_char(const Word& w) {
    char b[4];
    std::memcpy(b, &w, 4);
    return b[0];
}

void reset_scatter_records() {
    SF.clear();
    LST03.clear();
    XCARD.clear();
    XCARD.I(xcard::kPack) = 2;
    for (int k = 0; k < xcard::kWidth; ++k) XCARD.W(xcard::kCardStart + k) = char_word(' ');
    XCARD.I(xcard::kPointer) = 1;
    XCARD.I(xcard::kLastColumn) = xcard::kWidth;
    const char* classes = "() ,*#0123456789+-.";
    for (int k = 1; k <= 19; ++k) XCHAR.W(k) = char_word(classes[k - 1]);
}

namespace {
// The scanner's tables hold their initial values from program start.
const bool scatter_records_ready = (reset_scatter_records(), true);
}  // namespace

// ---------------------------------------------------------------------------
// Card scanner

namespace {

int& pointer() { return XCARD.I(xcard::kPointer); }
int last_column() { return XCARD.I(xcard::kLastColumn); }
// The character word of column col (1-based).
const Word& column(int col) { return XCARD.W(xcard::kCardStart + col - 1); }
char column_char(int col) { return word_char(column(col)); }

bool in_set(const Word& w, const Word* set, int nset) {
    for (int k = 0; k < nset; ++k)
        if (set[k].i == w.i) return true;
    return false;
}

bool is_digit_at(int col) {
    char c = column_char(col);
    return c >= '0' && c <= '9';
}

// Blank and comma, the separators of numbers and of the symbol field.
const Word* blank_comma() { return XCHAR.at(xchar::kBlank); }

// Moves the pointer over blanks and commas.
void skip_separators() {
    while (pointer() <= last_column() && in_set(column(pointer()), blank_comma(), 2)) ++pointer();
}

}  // namespace

int JRCRD(int unit) {
    for (int k = 0; k < xcard::kWidth; ++k) XCARD.W(xcard::kCardStart + k) = char_word(' ');
    std::string line;
    int status = units().read_line(unit, line);
    if (status != IO_OK) {
        if (status != IO_EOF)
            lst("(' *** error ***  read error ',i5,' on channel ',i2)", {status, unit});
        return -1;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    int n = std::min<int>(static_cast<int>(line.size()), xcard::kWidth);
    for (int k = 0; k < n; ++k) XCARD.W(xcard::kCardStart + k) = char_word(line[k]);
    pointer() = 1;
    return 0;
}

void TRASF(Word* dest, const Word* src, int n) { copy_words(dest, src, n > 0 ? n : 0); }

void SCOMP(Word* out, const Word* in, int n) {
    int per_word = XCARD.I(xcard::kPack);
    if (per_word < 1 || per_word > 4) per_word = 2;
    int nwords = (n + per_word - 1) / per_word;
    for (int j = 0; j < nwords; ++j) {
        char b[4] = {' ', ' ', ' ', ' '};
        for (int k = 0; k < per_word; ++k) {
            int idx = j * per_word + k;
            if (idx < n) b[k] = word_char(in[idx]);
        }
        std::memcpy(&out[j], b, 4);
    }
}

int JRCX(Word* out, int& n, const Word* set, int nset) {
    int col = KNE(pointer(), set, nset);
    if (col < 0) {
        pointer() = last_column() + 1;
        return -1;
    }
    XCARD.I(xcard::kFieldStart) = col;
    int end = KEQ(col, set, nset);
    if (end < 0) end = last_column() + 1;
    n = end - col;
    // At most 40 words of packed text.
    int fit = std::min(n, 40 * std::max(1, XCARD.I(xcard::kPack)));
    SCOMP(out, XCARD.at(xcard::kCardStart + col - 1), fit);
    pointer() = end;
    return 0;
}

int JRCA(Word* out, int& n) { return JRCX(out, n, blank_comma(), 2); }

int KNE(int start, const Word* set, int nset) {
    for (int col = std::max(start, 1); col <= last_column(); ++col)
        if (!in_set(column(col), set, nset)) return col;
    return -1;
}

int KEQ(int start, const Word* set, int nset) {
    for (int col = std::max(start, 1); col <= last_column(); ++col)
        if (in_set(column(col), set, nset)) return col;
    return -1;
}

int JREDI(int& i) {
    // "(", ")", blank and comma are the first four character classes.
    while (pointer() <= last_column() && in_set(column(pointer()), XCHAR.at(xchar::kOpen), 4))
        ++pointer();
    int sign = 1;
    if (pointer() <= last_column()) {
        char c = column_char(pointer());
        if (c == '+' || c == '-') {
            if (c == '-') sign = -1;
            ++pointer();
        }
    }
    long long value = 0;
    while (pointer() <= last_column() && is_digit_at(pointer())) {
        if (value < 1000000000LL) value = value * 10 + (column_char(pointer()) - '0');
        ++pointer();
    }
    if (pointer() <= last_column() && column_char(pointer()) == '.') {
        ++pointer();
        while (pointer() <= last_column() && is_digit_at(pointer())) ++pointer();
    }
    if (value > 2147483647LL) value = 2147483647LL;
    i = static_cast<int>(sign * value);
    return i;
}

int KINPT(float& v) {
    int col = pointer();
    int last = last_column();
    if (col > last) return 1;
    char first = column_char(col);
    if (!(first == '+' || first == '-' || first == '.' || (first >= '0' && first <= '9'))) return 1;
    std::string text;
    if (first == '+' || first == '-') {
        text.push_back(first);
        ++col;
    }
    bool point = false;
    int digits = 0;
    for (; col <= last; ++col) {
        char c = column_char(col);
        if (c == ' ') break;
        if (c >= '0' && c <= '9') {
            ++digits;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            pointer() = col;
            return -1;  // a second point, a comma or another character inside the field
        }
        text.push_back(c);
    }
    pointer() = col;
    if (digits == 0) return -1;  // a sign or a point alone is no number
    v = static_cast<float>(std::strtod(text.c_str(), nullptr));
    return 0;
}

int KREDF(float* v, int n) {
    for (int k = 0; k < n; ++k) {
        skip_separators();
        if (pointer() > last_column()) return -1;
        if (KINPT(v[k]) != 0) {
            int next = KEQ(pointer(), blank_comma(), 2);
            pointer() = next < 0 ? last_column() + 1 : next;
            return 1;
        }
    }
    return 0;
}

int JREDF(float* v, int n) {
    for (int k = 0; k < n; ++k) v[k] = 0.0f;
    for (int k = 0; k < n; ++k) {
        skip_separators();
        if (pointer() > last_column()) return 1;
        if (KINPT(v[k]) != 0) return -1;
    }
    return 0;
}

int KCOMP(int nw, const Word* key, const Word* table, int n, int stride) {
    for (int i = 1; i <= n; ++i) {
        const Word* entry = table + (i - 1) * stride;
        bool same = true;
        for (int k = 0; k < nw && same; ++k) same = entry[k].i == key[k].i;
        if (same) return i;
    }
    return -1;
}

// ---------------------------------------------------------------------------
// One entry of the file

namespace {

// Record word k of the record that starts at DATA(pos).
float& rec(int pos, int k) { return DATA.R(pos + k - 1); }

// Takes the symbol of the current card and checks it against the entry's.
bool same_symbol(const Word& symbol) {
    Word field[40];
    int n = 0;
    if (JRCA(field, n) != 0) return false;
    return field[0].i == symbol.i;
}

// Reads the next card of an entry and n numbers after its symbol into v.
// 0, 1 at the end of the file, -1 when malformed.
int read_numbers_card(int unit, const Word& symbol, float* v, int n) {
    if (JRCRD(unit) != 0) return 1;
    if (!same_symbol(symbol)) return -1;
    return KREDF(v, n) == 0 ? 0 : -1;
}

// Reads a line and throws it away: 0, or 1 at the end of the file.
int pass_over_line(int unit) {
    std::string line;
    int status = units().read_line(unit, line);
    if (status == IO_OK) return 0;
    if (status != IO_EOF) lst("(' *** error ***  read error ',i5,' on channel ',i2)", {status, unit});
    return 1;
}

}  // namespace

int JST03(int& pos, int reclen, float count, int cards, int flag, int unit) {
    using namespace list3;
    Word field[40];
    int n = 0;
    if (JRCA(field, n) != 0) return -1;
    DATA.W(pos + kSymbol - 1) = field[0];
    const Word symbol = field[0];
    rec(pos, kCount) = count;

    float card1[4];
    if (JREDF(card1, 4) < 0) return -1;
    // Card 1 must give the atomic number: a species without it would carry
    // no scattering power into the statistics.
    if (std::lround(card1[0]) < 1) return -1;
    rec(pos, kZ) = card1[0];
    rec(pos, kCard1Second) = card1[1];
    rec(pos, kRadius) = card1[2];
    rec(pos, kCard1Fourth) = card1[3];

    float v[6];
    int r = read_numbers_card(unit, symbol, v, 6);  // card 2: a1 b1 a2 b2 a3 b3
    if (r != 0) return r;
    for (int k = 0; k < 6; ++k) rec(pos, kA1 + k) = v[k];

    r = read_numbers_card(unit, symbol, v, 3);  // card 3: a4 b4 c
    if (r != 0) return r;
    rec(pos, kA4) = v[0];
    rec(pos, kA4 + 1) = v[1];
    rec(pos, kC) = v[2];

    rec(pos, kCard4First) = 0.0f;
    rec(pos, kCard4Second) = 0.0f;
    rec(pos, kCard4Third) = 0.0f;
    if (flag == 1) {
        r = read_numbers_card(unit, symbol, v, 3);  // card 4
        if (r != 0) return r;
        rec(pos, kCard4First) = v[0];
        rec(pos, kCard4Second) = v[1];
        rec(pos, kCard4Third) = v[2];
        // The entry's remaining cards (card 5 in a file of 5-card entries).
        for (int k = 5; k <= cards; ++k)
            if (pass_over_line(unit) != 0) return 1;
    }
    pos += reclen;
    return 0;
}

// ---------------------------------------------------------------------------
// Forming list 3

namespace {

std::string form_name() { return rtrim(CHARA.form_file()); }

void corrupted_message(const std::string& name) {
    lst("(' *** error ***  possible file corrupted. file is ',a)", {name});
}

}  // namespace

void form_release_message() {
    lst_blank(1);
    lst("(6x,'    *** error ***  Release should be ',a,' !!')", {kFormRelease});
    lst_blank(1);
}

void YFRM03(int& ierr) {
    using namespace list3;
    const std::string name = form_name();
    const int unit = IMPL.I(implw::kFormUnit);
    int iostat = 0;
    if (JOPEN(unit, CHARA.form_file(), 0, 2, 1, iostat)) {
        lst("(' *** error ***  file not found, file is ',a)", {name});
        ierr = -1;
        return;
    }

    const int n = sf::species();
    if (n < 1 || n > sf::kMaxSpecies) {
        units().close(unit);
        lst_line(" ****  programming  error  **** ");
        zstop(1234);
    }
    float wanted_count[sf::kMaxSpecies];
    for (int t = 1; t <= n; ++t) wanted_count[t - 1] = static_cast<float>(sf::count(t));

    // The header of list 3; the records follow from word 13.
    XLIMI.I(xlimi::kNextFree) = XLIMI.I(xlimi::kListBase);
    const int base = XLIMI.I(xlimi::kNextFree);
    for (int k = 0; k < kHeaderLength; ++k) DATA.I(base + k) = 0;
    DATA.R(base) = 11111.0f;
    DATA.R(base + 1) = static_cast<float>(kType);
    DATA.R(base + 3) = 0.0f;
    DATA.R(base + 4) = 1.0f;
    DATA.R(base + 5) = static_cast<float>(n);
    DATA.R(base + 6) = static_cast<float>(kHeaderLength);
    DATA.R(base + 7) = static_cast<float>(kRecordLength);
    DATA.R(base + 8) = 1.0f;
    int pos = base + kHeaderLength;

    const int saved_last = XCARD.I(xcard::kLastColumn);
    XCARD.I(xcard::kLastColumn) = xcard::kWidth;
    units().rewind(unit);

    // Every exit closes the file and restores the scanner.
    auto finish = [&](bool failed) {
        units().close(unit);
        XCARD.I(xcard::kLastColumn) = saved_last;
        if (failed) ierr = -1;
    };

    std::string release;
    int status = units().read_line(unit, release);
    if (status != IO_OK) {
        lst("(' *** error ***  read error, code =',i5,' file is ',a)", {status, name});
        finish(true);
        return;
    }
    if (release.compare(0, 5, kFormRelease) != 0) {
        form_release_message();
        finish(true);
        return;
    }

    int cards = 0;
    if (JRCRD(unit) != 0 || JREDI(cards) < 4) {
        corrupted_message(name);
        finish(true);
        return;
    }

    bool found[sf::kMaxSpecies] = {};
    int remaining = n;
    while (remaining > 0) {
        if (JRCRD(unit) != 0) {
            lst_line(" *** error ***  atom type not expected");
            lst_line("               check content directive ");
            finish(true);
            return;
        }
        Word field[40];
        int len = 0;
        if (JRCA(field, len) != 0) {
            corrupted_message(name);
            finish(true);
            return;
        }
        int k = KCOMP(1, field, &sf::symbol(1), n, 1);
        if (k > 0 && found[k - 1]) k = -1;  // a species met again: its first entry counts
        if (k < 0) {
            for (int skip = 1; skip < cards; ++skip) {
                if (JRCRD(unit) != 0) {  // the file ends inside an entry
                    corrupted_message(name);
                    finish(true);
                    return;
                }
            }
            continue;
        }
        pointer() = 1;
        --remaining;
        found[k - 1] = true;
        if (JST03(pos, kRecordLength, wanted_count[k - 1], cards, 1, unit) != 0) {
            corrupted_message(name);
            finish(true);
            return;
        }
    }
    finish(false);
    SFRML(kType, pos - base);
}

// ---------------------------------------------------------------------------
// Loading list 3

void YFL03() {
    using namespace list3;
    XLIMI.I(xlimi::kNextFree) = XLIMI.I(xlimi::kListBase);
    int serial = 0, first = 0, last = 0, part = 0, length = 0;
    SRLIN(kType, serial, first, last, part, length);
    const int base = XLIMI.I(xlimi::kNextFree);
    LST03.I(lst03::kLoaded) = base;
    XSAC(kType, serial, base, base + length - 1);
    int nread = 0;
    SRDLS(kType, serial, base, nread);

    const int n = static_cast<int>(std::lround(DATA.R(base + 5)));
    const int start = static_cast<int>(std::lround(DATA.R(base + 6)));
    const int reclen = static_cast<int>(std::lround(DATA.R(base + 7)));
    // A list whose counts do not fit SF or its own length cannot be used.
    if (n < 0 || n > sf::kMaxSpecies || reclen < kRecordLength || start < 9 ||
        start + n * reclen > std::abs(nread)) {
        lst_blank(2);
        lst("(' requested list',i4,' has been corrupted')", {kType});
        zstop(1111);
    }
    LST03.I(lst03::kSpecies) = n;
    LST03.I(lst03::kFirst) = base + start;
    LST03.I(lst03::kRecordLength) = reclen;
    LST03.I(lst03::kNext) = LST03.I(lst03::kFirst);

    sf::species() = n;
    sf::heavy_atoms() = 0;
    for (int t = 1; t <= n; ++t) {
        const int p = LST03.I(lst03::kNext);
        sf::symbol(t) = DATA.W(p + kSymbol - 1);
        for (int k = 1; k <= 3; ++k) {
            sf::a(t, k) = rec(p, kA1 + 2 * (k - 1));
            sf::b(t, k) = rec(p, kA1 + 2 * (k - 1) + 1);
        }
        sf::a(t, 4) = rec(p, kA4);
        sf::b(t, 4) = rec(p, kA4 + 1);
        sf::c(t) = rec(p, kC);
        sf::count(t) = static_cast<int32_t>(std::lround(rec(p, kCount)));
        sf::z(t) = static_cast<int32_t>(std::lround(rec(p, kZ)));
        if (sf::z(t) >= 2) sf::heavy_atoms() += sf::count(t);
        LST03.I(lst03::kNext) += reclen;
    }
}

}  // namespace zanek
