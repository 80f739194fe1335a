// Fortran-style formatted output. A format is parsed once into a flat list
// of edit operations (groups carry the index of their closing parenthesis)
// and kept in a per-thread cache keyed by its text, since the listing uses
// the same few formats over and over.
#include "platform/fformat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "platform/stop.h"
#include "platform/word.h"

namespace zanek {

namespace {

enum class OpKind : uint8_t {
    Lit,       // literal text ('..', "..", nH..)
    Skip,      // nX or TRn: move right
    Tab,       // Tn: move to column n
    TabLeft,   // TLn: move left
    Slash,     // end the record
    Colon,     // stop here when no item is left
    Int,       // Iw or Iw.m
    Fix,       // Fw.d
    Exp,       // Ew.d
    DExp,      // Dw.d (as E, with a D)
    Alpha,     // Aw, or A (w < 0)
    Group,     // n( ... ); `end` is the index of the matching GroupEnd
    GroupEnd,
};

struct Op {
    OpKind kind;
    int rep = 1;       // repeat count (data descriptors, slash, literals, groups)
    int w = 0;         // width, or the count of X/T/TL
    int d = -1;        // decimals (F/E/D), minimum digits m (I), -1 when absent
    int end = 0;       // Group: index of its GroupEnd
    uint32_t off = 0;  // Lit: offset and length in the text pool
    uint32_t len = 0;
};

struct Parsed {
    std::vector<Op> ops;
    std::string pool;      // literal texts
    int reversion = 0;     // where the format restarts when items outrun it
    bool has_data = false; // any data descriptor at all
};

[[noreturn]] void bad_format(std::string_view fmt, const char* why) {
    zstop(1234, "bad output format " + std::string(fmt) + ": " + why);
}

bool is_data(OpKind k) {
    return k == OpKind::Int || k == OpKind::Fix || k == OpKind::Exp || k == OpKind::DExp ||
           k == OpKind::Alpha;
}

class Parser {
public:
    explicit Parser(std::string_view fmt) : s_(fmt) {}

    Parsed parse() {
        skip_blanks();
        bool outer = pos_ < s_.size() && s_[pos_] == '(';
        if (outer) ++pos_;
        int last_group = -1;
        parse_list(outer, &last_group);
        p_.reversion = last_group >= 0 ? last_group : 0;
        for (const Op& op : p_.ops)
            if (is_data(op.kind)) p_.has_data = true;
        return std::move(p_);
    }

private:
    std::string_view s_;
    size_t pos_ = 0;
    Parsed p_;

    void skip_blanks() {
        while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t')) ++pos_;
    }
    char peek() {
        skip_blanks();
        return pos_ < s_.size() ? s_[pos_] : '\0';
    }
    static char lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }
    static bool digit(char c) { return c >= '0' && c <= '9'; }

    // An unsigned number, blanks allowed between its digits; -1 when none.
    int number() {
        skip_blanks();
        if (pos_ >= s_.size() || !digit(s_[pos_])) return -1;
        long v = 0;
        while (pos_ < s_.size()) {
            char c = s_[pos_];
            if (digit(c)) {
                v = v * 10 + (c - '0');
                if (v > 1000000) bad_format(s_, "number too large");
                ++pos_;
            } else if (c == ' ') {
                size_t save = pos_;
                skip_blanks();
                if (pos_ >= s_.size() || !digit(s_[pos_])) {
                    pos_ = save;
                    break;
                }
            } else {
                break;
            }
        }
        return int(v);
    }

    void add_lit(std::string_view text, int rep) {
        Op op{OpKind::Lit};
        op.rep = rep;
        op.off = uint32_t(p_.pool.size());
        op.len = uint32_t(text.size());
        p_.pool.append(text);
        p_.ops.push_back(op);
    }

    // A quoted literal; a doubled quote inside stands for one quote.
    void quoted(int rep) {
        char q = s_[pos_++];
        std::string text;
        for (;;) {
            if (pos_ >= s_.size()) bad_format(s_, "unterminated literal");
            char c = s_[pos_++];
            if (c == q) {
                if (pos_ < s_.size() && s_[pos_] == q) {
                    text += q;
                    ++pos_;
                } else {
                    break;
                }
            } else {
                text += c;
            }
        }
        add_lit(text, rep);
    }

    // Items of a list up to its closing parenthesis (or the end of the text
    // for a format written without its outer parentheses). `last_group`
    // receives the index of the last group opened at this level.
    void parse_list(bool closed, int* last_group) {
        for (;;) {
            char c = peek();
            if (c == '\0') {
                if (closed) bad_format(s_, "missing )");
                return;
            }
            if (c == ')') {
                if (!closed) bad_format(s_, "unbalanced )");
                ++pos_;
                return;
            }
            if (c == ',') {
                ++pos_;
                continue;
            }
            parse_item(last_group);
        }
    }

    void parse_item(int* last_group) {
        int n = number();
        char c = lower(peek());
        if (c == '\0') bad_format(s_, "number without descriptor");
        int rep = n < 0 ? 1 : n;
        if (n == 0 && c != 'x' && c != 'h') bad_format(s_, "zero repeat count");
        if (c == '(') {
            ++pos_;
            int at = int(p_.ops.size());
            Op g{OpKind::Group};
            g.rep = rep;
            p_.ops.push_back(g);
            int inner = -1;
            parse_list(true, &inner);
            Op e{OpKind::GroupEnd};
            e.end = at;
            p_.ops.push_back(e);
            p_.ops[at].end = int(p_.ops.size()) - 1;
            if (last_group) *last_group = at;
            return;
        }
        if (c == '\'' || c == '"') {
            quoted(rep);
            return;
        }
        ++pos_;
        switch (c) {
            case 'h': {  // Hollerith: the next n characters, blanks included
                if (n <= 0) bad_format(s_, "H without count");
                if (pos_ + size_t(n) > s_.size()) bad_format(s_, "short Hollerith text");
                add_lit(s_.substr(pos_, size_t(n)), 1);
                pos_ += size_t(n);
                return;
            }
            case 'x': {
                Op op{OpKind::Skip};
                op.w = n < 0 ? 1 : n;
                p_.ops.push_back(op);
                return;
            }
            case '/': {
                Op op{OpKind::Slash};
                op.rep = rep;
                p_.ops.push_back(op);
                return;
            }
            case ':': {
                p_.ops.push_back(Op{OpKind::Colon});
                return;
            }
            case 't': {
                OpKind k = OpKind::Tab;
                char t = lower(peek());
                if (t == 'l' || t == 'r') {
                    ++pos_;
                    k = t == 'l' ? OpKind::TabLeft : OpKind::Skip;
                }
                int v = number();
                if (v < 0 || (k == OpKind::Tab && v < 1)) bad_format(s_, "T without column");
                Op op{k};
                op.w = v;
                p_.ops.push_back(op);
                return;
            }
            case 'i':
            case 'f':
            case 'e':
            case 'd':
            case 'a': {
                Op op{c == 'i'   ? OpKind::Int
                      : c == 'f' ? OpKind::Fix
                      : c == 'e' ? OpKind::Exp
                      : c == 'd' ? OpKind::DExp
                                 : OpKind::Alpha};
                op.rep = rep;
                op.w = number();
                if (op.w < 0) {
                    if (c != 'a') bad_format(s_, "descriptor without width");
                } else if (peek() == '.') {
                    ++pos_;
                    op.d = number();
                    if (op.d < 0 || c == 'a') bad_format(s_, "bad decimals");
                } else if (c == 'f' || c == 'e' || c == 'd') {
                    bad_format(s_, "descriptor without decimals");
                }
                // An exponent width (Ew.dEe) is accepted and ignored.
                if ((c == 'e' || c == 'd') && lower(peek()) == 'e') {
                    ++pos_;
                    if (number() < 0) bad_format(s_, "bad exponent width");
                }
                p_.ops.push_back(op);
                return;
            }
            default:
                bad_format(s_, "unknown descriptor");
        }
    }
};

const Parsed& parsed_format(std::string_view fmt) {
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view v) const { return std::hash<std::string_view>{}(v); }
    };
    thread_local std::unordered_map<std::string, std::unique_ptr<Parsed>, Hash, std::equal_to<>>
        cache;
    auto it = cache.find(fmt);
    if (it != cache.end()) return *it->second;
    // Formats built at run time could grow the cache without end; the
    // listing's fixed formats are re-parsed cheaply after a reset.
    if (cache.size() >= 4096) cache.clear();
    auto p = std::make_unique<Parsed>(Parser(fmt).parse());
    const Parsed& ref = *p;
    cache.emplace(std::string(fmt), std::move(p));
    return ref;
}

// ---- single fields -------------------------------------------------------

void put_stars(std::string& out, int w) { out.append(size_t(w > 0 ? w : 1), '*'); }

// Appends text right-justified in w columns (w = 0: as it is).
void put_right(std::string& out, const char* text, size_t n, int w) {
    if (w == 0) {
        out.append(text, n);
    } else if (n > size_t(w)) {
        put_stars(out, w);
    } else {
        out.append(size_t(w) - n, ' ');
        out.append(text, n);
    }
}

bool put_special(std::string& out, double v, int w) {
    if (std::isfinite(v)) return false;
    const char* t = std::isnan(v) ? "NaN" : (v < 0 ? "-Inf" : "Inf");
    put_right(out, t, std::strlen(t), w);
    return true;
}

void put_int(std::string& out, int64_t v, int w, int m) {
    char buf[48];
    char* p = buf;
    if (v < 0) *p++ = '-';
    uint64_t mag = v < 0 ? uint64_t(0) - uint64_t(v) : uint64_t(v);
    char digs[24];
    int nd = 0;
    if (!(mag == 0 && m == 0)) {
        do {
            digs[nd++] = char('0' + mag % 10);
            mag /= 10;
        } while (mag);
    }
    for (int k = nd; k < m && k < 24; ++k) digs[nd++] = '0';
    while (nd) *p++ = digs[--nd];
    put_right(out, buf, size_t(p - buf), w);
}

void put_fix(std::string& out, double v, int w, int d) {
    if (put_special(out, v, w)) return;
    char buf[400];
    char* p = buf;
    if (v < 0) *p++ = '-';
    auto res = std::to_chars(p, buf + sizeof buf - 1, std::fabs(v), std::chars_format::fixed, d);
    if (res.ec != std::errc()) {
        put_stars(out, w);
        return;
    }
    p = res.ptr;
    if (d == 0) *p++ = '.';
    size_t n = size_t(p - buf);
    // The zero before the point is optional: drop it only when it does not fit.
    if (w > 0 && n > size_t(w)) {
        char* z = buf + (buf[0] == '-' ? 1 : 0);
        if (z[0] == '0' && z[1] == '.') {
            std::memmove(z, z + 1, size_t(p - z - 1));
            --n;
        }
    }
    put_right(out, buf, n, w);
}

void put_exp(std::string& out, double v, int w, int d, char letter) {
    if (put_special(out, v, w)) return;
    char digits[64];  // d significant digits
    int expo = 0;
    if (d > 40) d = 40;
    if (v == 0.0) {
        std::memset(digits, '0', size_t(d));
    } else {
        // d.ddde+xx from the run-time's exact rounding, then shift to 0.dddd.
        char buf[80];
        int prec = d > 0 ? d - 1 : 0;
        auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(v),
                                 std::chars_format::scientific, prec);
        *res.ptr = '\0';
        int k = 0;
        for (const char* q = buf; *q && *q != 'e'; ++q)
            if (*q != '.' && k < d) digits[k++] = *q;
        expo = std::atoi(std::strchr(buf, 'e') + 1) + 1;
    }
    char buf[96];
    char* p = buf;
    if (v < 0) *p++ = '-';
    *p++ = '0';
    *p++ = '.';
    std::memcpy(p, digits, size_t(d));
    p += d;
    int mag = expo < 0 ? -expo : expo;
    if (mag > 999) {
        put_stars(out, w);
        return;
    }
    if (mag <= 99) *p++ = letter;
    *p++ = expo < 0 ? '-' : '+';
    if (mag > 99) *p++ = char('0' + mag / 100);
    *p++ = char('0' + mag / 10 % 10);
    *p++ = char('0' + mag % 10);
    size_t n = size_t(p - buf);
    if (w > 0 && n > size_t(w)) {
        char* z = buf + (buf[0] == '-' ? 1 : 0);
        std::memmove(z, z + 1, size_t(p - z - 1));
        --n;
    }
    put_right(out, buf, n, w);
}

void put_alpha(std::string& out, std::string_view s, int w) {
    if (w < 0) {
        out.append(s);
    } else if (s.size() >= size_t(w)) {
        out.append(s.substr(0, size_t(w)));
    } else {
        out.append(size_t(w) - s.size(), ' ');
        out.append(s);
    }
}

// ---- the interpreter -----------------------------------------------------

class Writer {
public:
    Writer(const Parsed& p, const std::vector<FItem>& items, std::string_view fmt)
        : p_(p), items_(items), fmt_(fmt) {}

    std::vector<std::string> run() {
        int start = 0;
        for (;;) {
            size_t before = next_;
            if (!run_range(start, int(p_.ops.size()))) break;
            if (next_ >= items_.size()) break;
            if (next_ == before)
                zstop(1234, "output format has no descriptor for the items: " + std::string(fmt_));
            end_record();
            start = p_.reversion;
        }
        end_record();
        return std::move(records_);
    }

private:
    const Parsed& p_;
    const std::vector<FItem>& items_;
    std::string_view fmt_;
    size_t next_ = 0;
    std::vector<std::string> records_;
    std::string rec_;
    size_t col_ = 0;  // current position in the record (0-based)
    std::string field_;

    void end_record() {
        records_.push_back(std::move(rec_));
        rec_.clear();
        col_ = 0;
    }

    // Puts the field at the current position (blanks fill any gap left by X
    // or T; characters already there are overwritten).
    void place(const std::string& f) {
        if (rec_.size() < col_) rec_.append(col_ - rec_.size(), ' ');
        size_t over = std::min(f.size(), rec_.size() - col_);
        rec_.replace(col_, over, f);
        col_ += f.size();
    }

    static std::string item_chars(const FItem& it) {
        if (it.kind == FItem::Text) return it.s;
        // A number under A shows the four characters its word holds.
        Word wd;
        if (it.kind == FItem::Int)
            wd.i = int32_t(it.i);
        else
            wd.r = float(it.r);
        char c[4];
        std::memcpy(c, &wd, 4);
        return std::string(c, 4);
    }

    static double as_real(const FItem& it) {
        return it.kind == FItem::Int ? double(it.i) : it.r;
    }

    static int64_t as_int(const FItem& it) {
        if (it.kind == FItem::Int) return it.i;
        double t = std::trunc(it.r);
        if (!(std::fabs(t) < 9.2e18)) return t < 0 ? INT64_MIN : INT64_MAX;
        return int64_t(t);
    }

    void edit(const Op& op, const FItem& it) {
        field_.clear();
        if (it.kind == FItem::Text && op.kind != OpKind::Alpha) {
            put_stars(field_, op.w);  // text under a numeric descriptor
        } else {
            switch (op.kind) {
                case OpKind::Int: put_int(field_, as_int(it), op.w, op.d); break;
                case OpKind::Fix: put_fix(field_, as_real(it), op.w, op.d); break;
                case OpKind::Exp: put_exp(field_, as_real(it), op.w, op.d, 'E'); break;
                case OpKind::DExp: put_exp(field_, as_real(it), op.w, op.d, 'D'); break;
                default: put_alpha(field_, item_chars(it), op.w); break;
            }
        }
        place(field_);
    }

    // Executes ops [b, e) once; false when output stops for want of items.
    bool run_range(int b, int e) {
        for (int k = b; k < e; ++k) {
            const Op& op = p_.ops[size_t(k)];
            switch (op.kind) {
                case OpKind::Lit: {
                    std::string_view t(p_.pool.data() + op.off, op.len);
                    for (int r = 0; r < op.rep; ++r) {
                        field_.assign(t);
                        place(field_);
                    }
                    break;
                }
                case OpKind::Skip: col_ += size_t(op.w); break;
                case OpKind::Tab: col_ = size_t(op.w - 1); break;
                case OpKind::TabLeft: col_ = col_ > size_t(op.w) ? col_ - size_t(op.w) : 0; break;
                case OpKind::Slash:
                    for (int r = 0; r < op.rep; ++r) end_record();
                    break;
                case OpKind::Colon:
                    if (next_ >= items_.size()) return false;
                    break;
                case OpKind::Group:
                    for (int r = 0; r < op.rep; ++r)
                        if (!run_range(k + 1, op.end)) return false;
                    k = op.end;
                    break;
                case OpKind::GroupEnd: break;
                default:
                    for (int r = 0; r < op.rep; ++r) {
                        if (next_ >= items_.size()) return false;
                        edit(op, items_[next_++]);
                    }
                    break;
            }
        }
        return true;
    }
};

}  // namespace

std::vector<std::string> fformat(std::string_view fmt, const std::vector<FItem>& items) {
    return Writer(parsed_format(fmt), items, fmt).run();
}

std::string fmt_i(int64_t v, int w) {
    std::string s;
    put_int(s, v, w, -1);
    return s;
}

std::string fmt_i_whole(int64_t v, int w) {
    const int digits = static_cast<int>(std::to_string(v).size());
    return fmt_i(v, std::max(w, digits));
}

std::string fmt_f(double v, int w, int d) {
    std::string s;
    put_fix(s, v, w, d);
    return s;
}

std::string fmt_e(double v, int w, int d) {
    std::string s;
    put_exp(s, v, w, d, 'E');
    return s;
}

std::string fmt_a(std::string_view s, int w) {
    std::string out;
    put_alpha(out, s, w);
    return out;
}

}  // namespace zanek
