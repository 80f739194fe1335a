// Fortran-style formatted output: one formatter renders every listing line.
// A format is written as in a Fortran FORMAT statement, for example
//   "(1x,'error ',i5,'  opening file ',a)".
// Supported: Iw, Fw.d, Ew.d, Aw, A, nX, 'text', "text", /, n(...), nP is not
// used. Items that outrun the format make it revert to its last top-level
// group and start a new record, as Fortran does.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace zanek {

// One output item: an integer, a real or a character value.
struct FItem {
    enum Kind { Int, Real, Text } kind;
    int64_t i = 0;
    double r = 0.0;
    std::string s;
    FItem(int v) : kind(Int), i(v) {}
    FItem(long v) : kind(Int), i(v) {}
    FItem(long long v) : kind(Int), i(v) {}
    FItem(unsigned v) : kind(Int), i(v) {}
    FItem(float v) : kind(Real), r(v) {}
    FItem(double v) : kind(Real), r(v) {}
    FItem(const char* v) : kind(Text), s(v) {}
    FItem(std::string v) : kind(Text), s(std::move(v)) {}
    FItem(std::string_view v) : kind(Text), s(v) {}
};

// Renders the items under the format; returns the records (lines) written.
std::vector<std::string> fformat(std::string_view fmt, const std::vector<FItem>& items = {});

// Single-field helpers for building lines by hand.
std::string fmt_i(int64_t v, int w);               // Iw
std::string fmt_i_whole(int64_t v, int w);         // Iw, widened to hold v rather than print stars
std::string fmt_f(double v, int w, int d);         // Fw.d
std::string fmt_e(double v, int w, int d);         // Ew.d
std::string fmt_a(std::string_view s, int w);      // Aw

}  // namespace zanek
