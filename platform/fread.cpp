#include "platform/fread.h"

#include <charconv>
#include <climits>
#include <cmath>

namespace zanek {

namespace {

char lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }
bool digit(char c) { return c >= '0' && c <= '9'; }

// Recursive-descent parser of an input format into a flat list of ops.
class InputFormatParser {
public:
    InputFormatParser(std::string_view s, std::vector<FReader::Op>& ops) : s_(s), ops_(ops) {}

    // Returns the error text, empty when the format is sound.
    std::string parse(int& reversion) {
        if (peek() != '(') return "the format must begin with (";
        ++pos_;
        int last_group = -1;
        if (!list(&last_group)) return error_;
        reversion = last_group >= 0 ? last_group : 0;
        for (const auto& op : ops_)
            if (op.kind == FReader::Op::Int || op.kind == FReader::Op::Real) return "";
        return "the format has no I, F, E or D field";
    }

private:
    using Op = FReader::Op;
    std::string_view s_;
    std::vector<Op>& ops_;
    size_t pos_ = 0;
    std::string error_;

    bool fail(const std::string& why) {
        error_ = why + " at column " + std::to_string(pos_ + 1) + " of the format";
        return false;
    }
    char peek() {
        while (pos_ < s_.size() && s_[pos_] == ' ') ++pos_;
        return pos_ < s_.size() ? s_[pos_] : '\0';
    }
    // An unsigned number (blanks between digits allowed); -1 when none.
    int number() {
        if (!digit(peek())) return -1;
        long v = 0;
        while (digit(peek())) {
            v = v * 10 + (s_[pos_++] - '0');
            if (v > 100000) return -2;
        }
        return int(v);
    }

    bool list(int* last_group) {
        for (;;) {
            char c = peek();
            if (c == '\0') return fail("missing )");
            if (c == ')') {
                ++pos_;
                return true;
            }
            if (c == ',') {
                ++pos_;
                continue;
            }
            if (!item(last_group)) return false;
        }
    }

    bool item(int* last_group) {
        int n = number();
        if (n == -2) return fail("number too large");
        if (n == 0) return fail("zero repeat count");
        int rep = n < 0 ? 1 : n;
        char c = lower(peek());
        if (c == '\0') return fail("missing )");
        ++pos_;
        Op op{};
        op.rep = rep;
        switch (c) {
            case '(': {
                int at = int(ops_.size());
                op.kind = Op::Group;
                ops_.push_back(op);
                int inner = -1;
                if (!list(&inner)) return false;
                Op e{};
                e.kind = Op::GroupEnd;
                e.end = at;
                ops_.push_back(e);
                ops_[size_t(at)].end = int(ops_.size()) - 1;
                *last_group = at;
                return true;
            }
            case 'x':
                op.kind = Op::Skip;
                op.w = rep;
                op.rep = 1;
                break;
            case '/': op.kind = Op::Slash; break;
            case ':': op.kind = Op::Colon; break;
            case 't': {
                if (n >= 0) return fail("repeat count before T");
                char t = lower(peek());
                op.kind = Op::Tab;
                if (t == 'l' || t == 'r') {
                    ++pos_;
                    op.kind = t == 'l' ? Op::TabLeft : Op::Skip;
                }
                op.w = number();
                if (op.w < 0 || (op.kind == Op::Tab && op.w < 1)) return fail("T without a column");
                break;
            }
            case 'i':
            case 'f':
            case 'e':
            case 'd': {
                op.kind = c == 'i' ? Op::Int : Op::Real;
                op.w = number();
                if (op.w < 1) return fail(std::string("field width missing after ") + c);
                if (peek() == '.') {
                    ++pos_;
                    op.d = number();
                    if (op.d < 0) return fail("decimals missing after the point");
                } else if (c != 'i') {
                    return fail(std::string("decimals missing after ") + c);
                }
                if (c == 'i') op.d = 0;
                if ((c == 'e' || c == 'd') && lower(peek()) == 'e') {
                    ++pos_;
                    if (number() < 0) return fail("exponent width missing");
                }
                break;
            }
            case '\'':
            case '"':
            case 'h':
                return fail("text in an input format");
            default:
                --pos_;
                return fail(std::string("unknown descriptor '") + s_[pos_] + "'");
        }
        ops_.push_back(op);
        return true;
    }
};

}  // namespace

FReader::FReader(std::string_view fmt) {
    error_ = InputFormatParser(fmt, ops_).parse(reversion_);
    if (!error_.empty()) ops_.clear();
}

int FReader::read_int_field(std::string_view f, int32_t& v) {
    bool neg = false, any = false, sign_ok = true;
    int64_t acc = 0;
    for (char c : f) {
        if (c == ' ') continue;
        if ((c == '+' || c == '-') && sign_ok) {
            neg = c == '-';
            sign_ok = false;
            continue;
        }
        if (!digit(c)) return FREAD_BAD_INTEGER;
        sign_ok = false;
        any = true;
        acc = acc * 10 + (c - '0');
        if (acc > int64_t(INT32_MAX) + 1) return FREAD_RANGE;
    }
    if (!any) {
        if (!sign_ok) return FREAD_BAD_INTEGER;  // a sign without digits
        v = 0;
        return FREAD_OK;
    }
    if (neg) acc = -acc;
    if (acc > INT32_MAX || acc < INT32_MIN) return FREAD_RANGE;
    v = int32_t(acc);
    return FREAD_OK;
}

int FReader::read_real_field(std::string_view f, int d, float& v) {
    // Significant digits go into buf, the decimal exponent is kept apart,
    // and the run-time's correctly rounded conversion makes the REAL.
    constexpr int kMaxDigits = 40;
    char buf[kMaxDigits + 16];
    int nd = 0;
    long scale = 0;  // the value is (digits in buf) * 10^scale
    bool neg = false, any = false, point = false;
    size_t i = 0, n = f.size();
    auto skip = [&] { while (i < n && f[i] == ' ') ++i; };
    skip();
    if (i == n) {
        v = 0.0f;
        return FREAD_OK;
    }
    if (f[i] == '+' || f[i] == '-') {
        neg = f[i] == '-';
        ++i;
    }
    for (; i < n; ++i) {
        char c = f[i];
        if (c == ' ') continue;
        if (digit(c)) {
            any = true;
            if (nd == 0 && c == '0') {
                if (point) --scale;
            } else if (nd < kMaxDigits) {
                buf[nd++] = c;
                if (point) --scale;
            } else if (!point) {
                ++scale;  // a digit beyond the kept ones only shifts the value
            }
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!any) return FREAD_BAD_REAL;
    if (!point) scale -= d;
    if (i < n) {  // an exponent: E or D with an optional sign, or a bare sign
        char c = lower(f[i]);
        bool eneg = false;
        if (c == 'e' || c == 'd') {
            ++i;
            skip();
            if (i < n && (f[i] == '+' || f[i] == '-')) eneg = f[i++] == '-';
        } else if (c == '+' || c == '-') {
            eneg = c == '-';
            ++i;
        } else {
            return FREAD_BAD_REAL;
        }
        long e = 0;
        bool edig = false;
        for (; i < n; ++i) {
            char x = f[i];
            if (x == ' ') continue;
            if (!digit(x)) return FREAD_BAD_REAL;
            edig = true;
            if (e < 100000) e = e * 10 + (x - '0');
        }
        if (!edig) return FREAD_BAD_REAL;
        scale += eneg ? -e : e;
    }
    if (nd == 0) {
        v = neg ? -0.0f : 0.0f;
        return FREAD_OK;
    }
    char* p = buf + nd;
    *p++ = 'e';
    auto r = std::to_chars(p, buf + sizeof buf, scale);
    float x = 0.0f;
    auto res = std::from_chars(buf, r.ptr, x);
    if (res.ec == std::errc::result_out_of_range) {
        if (scale > 0) return FREAD_RANGE;
        x = 0.0f;  // below the smallest REAL
    } else if (res.ec != std::errc()) {
        return FREAD_BAD_REAL;
    }
    v = neg ? -x : x;
    return FREAD_OK;
}

int FReader::next_record() {
    if (dry_) return FREAD_OK;
    int st = (*source_)(line_);
    if (st != FREAD_OK) {
        message_ = st == FREAD_EOF ? "end of file" : "the record could not be read";
        return st;
    }
    if (!line_.empty() && line_.back() == '\r') line_.pop_back();
    pos_ = 0;
    ++records_;
    return FREAD_OK;
}

int FReader::field(const Op& op) {
    FKind want = op.kind == Op::Int ? FKind::Int : FKind::Real;
    size_t k = next_item_++;
    if (kinds_[k] != want) {
        message_ = "item " + std::to_string(k + 1) + " is " +
                   (kinds_[k] == FKind::Int ? "an integer" : "a real") + " but its field is " +
                   (want == FKind::Int ? "I" : "F, E or D");
        return FREAD_MISMATCH;
    }
    size_t start = pos_;
    pos_ += size_t(op.w);
    if (dry_) return FREAD_OK;
    std::string_view f;
    if (start < line_.size()) f = std::string_view(line_).substr(start, size_t(op.w));
    int st = want == FKind::Int ? read_int_field(f, values_[k].i)
                                : read_real_field(f, op.d, values_[k].r);
    if (st != FREAD_OK) {
        message_ = "bad field '" + std::string(f) + "' in columns " + std::to_string(start + 1) +
                   "-" + std::to_string(start + size_t(op.w)) + " of the record";
    }
    return st;
}

// Executes ops [b, e) once. `stopped` is set when the items ran out at a
// field (or a colon), which ends the read.
int FReader::run_range(int b, int e, bool& stopped) {
    for (int k = b; k < e; ++k) {
        const Op& op = ops_[size_t(k)];
        switch (op.kind) {
            case Op::Skip: pos_ += size_t(op.w); break;
            case Op::Tab: pos_ = size_t(op.w - 1); break;
            case Op::TabLeft: pos_ = pos_ > size_t(op.w) ? pos_ - size_t(op.w) : 0; break;
            case Op::Colon:
                if (next_item_ >= n_) {
                    stopped = true;
                    return FREAD_OK;
                }
                break;
            case Op::Slash:
                for (int r = 0; r < op.rep; ++r)
                    if (int st = next_record()) return st;
                break;
            case Op::Group:
                for (int r = 0; r < op.rep; ++r) {
                    if (int st = run_range(k + 1, op.end, stopped)) return st;
                    if (stopped) return FREAD_OK;
                }
                k = op.end;
                break;
            case Op::GroupEnd: break;
            case Op::Int:
            case Op::Real:
                for (int r = 0; r < op.rep; ++r) {
                    if (next_item_ >= n_) {
                        stopped = true;
                        return FREAD_OK;
                    }
                    if (int st = field(op)) return st;
                }
                break;
        }
    }
    return FREAD_OK;
}

int FReader::run(std::string_view* first) {
    next_item_ = 0;
    records_ = 0;
    message_.clear();
    if (!ok()) {
        message_ = error_;
        return FREAD_BAD_FORMAT;
    }
    if (first) {
        line_.assign(*first);
        if (!line_.empty() && line_.back() == '\r') line_.pop_back();
        pos_ = 0;
        records_ = 1;
    } else if (int st = next_record()) {
        return st;
    }
    int start = 0;
    for (;;) {
        size_t before = next_item_;
        bool stopped = false;
        if (int st = run_range(start, int(ops_.size()), stopped)) return st;
        if (stopped || next_item_ >= n_) return FREAD_OK;
        if (next_item_ == before) {
            message_ = "the format has no field for item " + std::to_string(next_item_ + 1);
            return FREAD_BAD_FORMAT;
        }
        if (int st = next_record()) return st;
        start = reversion_;
    }
}

int FReader::check(const FKind* kinds, size_t n) {
    kinds_ = kinds;
    n_ = n;
    values_ = nullptr;
    dry_ = true;
    int st = run(nullptr);
    dry_ = false;
    return st;
}

int FReader::read(const FKind* kinds, size_t n, Word* values, const FRecordSource& next) {
    kinds_ = kinds;
    n_ = n;
    values_ = values;
    source_ = &next;
    return run(nullptr);
}

int FReader::read(std::string_view first, const FKind* kinds, size_t n, Word* values,
                  const FRecordSource& next) {
    kinds_ = kinds;
    n_ = n;
    values_ = values;
    source_ = &next;
    return run(&first);
}

}  // namespace zanek
