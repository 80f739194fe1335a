#include "jobcontrol/text.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>

#include "jobcontrol/records/job.h"

namespace zanek {

namespace {
// The character table at the start of CHARA: blank, digits, point, minus.
char blank_char() { return CHARA.text[0]; }
}  // namespace

std::string padded(std::string s, std::size_t n) {
    s.resize(n, ' ');
    return s;
}

std::string rtrim(const std::string& s) {
    std::size_t e = s.find_last_not_of(' ');
    return e == std::string::npos ? std::string() : s.substr(0, e + 1);
}

void SHIFT(std::string& line, int& n) {
    const char b = blank_char();
    std::size_t first = line.find_first_not_of(b);
    if (line.empty() || first == std::string::npos) {
        n = -1;
        return;
    }
    std::size_t last = line.find_last_not_of(b);
    std::size_t len = line.size();
    line = line.substr(first);
    line.resize(len, b);
    n = static_cast<int>(last - first + 1);
}

void CUTST(std::string& line, int& n, std::string& word, int& m) {
    const char b = blank_char();
    word.assign(word.size(), b);
    std::size_t p = line.find(b);
    std::size_t word_end = (p == std::string::npos) ? line.size() : p;  // p - 1 in columns
    std::size_t cut = std::min<std::size_t>({word_end, 40, word.size()});
    m = static_cast<int>(cut);
    if (cut > 0) {
        word.replace(0, cut, line, 0, cut);
        line.replace(0, cut, cut, b);
    }
    SHIFT(line, n);
}

// 10^p in single precision, as REAL 10.0**p is formed: by repeated
// squaring, and the reciprocal of 10^|p| for negative p (so 10^-1 is the
// REAL nearest 0.1, and 9 x 10^-1 rounds to 0.90000004, not 0.9).
static float power_of_ten(int p) {
    unsigned n = p < 0 ? 0u - static_cast<unsigned>(p) : static_cast<unsigned>(p);
    float x = 10.0f, y = (n & 1u) ? x : 1.0f;
    while (n >>= 1) {
        x *= x;
        if (n & 1u) y *= x;
    }
    return p < 0 ? 1.0f / y : y;
}

// Reads one word as a number; false when a character is not a digit, the
// point or a leading minus. Each digit's term k x 10^p is formed and added
// in single precision, so a typed value rounds as a REAL read this way does.
static bool read_number(const std::string& word, int m, float& value, int& ipart) {
    const std::string& tab = CHARA.text;  // " 0123456789.-"
    const char point = tab[11], minus = tab[12];
    int start = 0;
    float sign = 1.0f;
    if (m > 0 && word[0] == minus) {
        sign = -1.0f;
        start = 1;
    }
    std::size_t d = word.find(point);
    int dcol = (d == std::string::npos || static_cast<int>(d) >= m) ? m : static_cast<int>(d);
    int p = dcol - start - 1;
    float v = 0.0f;
    long long ip = 0;
    for (int c = start; c < m; ++c) {
        char ch = word[c];
        if (ch == point) continue;
        std::size_t k = tab.find(ch, 1);
        if (k == std::string::npos || k > 10) return false;
        int digit = static_cast<int>(k) - 1;
        // A zero adds nothing (and 0 x 10^39, beyond the REAL range, is no number).
        if (digit != 0) v += static_cast<float>(digit) * power_of_ten(p);
        if (p >= 0) ip = std::min<long long>(ip * 10 + digit, INT_MAX);  // saturate long digit strings
        --p;
    }
    if (!std::isfinite(v)) v = FLT_MAX;
    value = sign * v;
    ipart = static_cast<int>(sign < 0 ? -ip : ip);
    return true;
}

void GETNUM(const std::string& line, float rnum[40], int inum[40], int& n, int& iflag) {
    std::string work = padded(line.substr(0, std::min<std::size_t>(line.size(), 80)), 80);
    for (int i = 0; i < 40; ++i) rnum[i] = 0.0f;
    n = 0;
    int len;
    SHIFT(work, len);
    if (len < 0) return;
    std::string word(40, ' ');
    while (n < 40) {
        int m, left;
        CUTST(work, left, word, m);
        if (m <= 0) return;
        float value;
        int ipart;
        if (!read_number(word, m, value, ipart)) {
            iflag = -1;
            return;
        }
        rnum[n] = value;
        inum[n] = ipart;
        ++n;
        if (left < 0) {
            iflag = 1;
            return;
        }
        if (n == iflag) return;
    }
}

void UCASE(std::string& s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
}

void LCASE(std::string& s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
}

void XCMPRP(std::string& s, int& n) {
    std::string out;
    for (char c : s)
        if (c != ' ') out.push_back(c);
    n = static_cast<int>(out.size());
    out.resize(s.size(), ' ');
    s = out;
}

int KSTRLN(const std::string& s) {
    std::size_t e = s.find_last_not_of(' ');
    return e == std::string::npos ? 0 : static_cast<int>(e + 1);
}

void XCCUPC(const std::string& in, std::string& out) {
    std::size_t len = out.size();
    out = padded(in, len);
    std::size_t k = std::min(in.size(), len);
    for (std::size_t i = 0; i < k; ++i)
        if (out[i] >= 'a' && out[i] <= 'z') out[i] = static_cast<char>(out[i] - 'a' + 'A');
}

}  // namespace zanek
