// Stop codes: a condition that must not arise ends the program with a code
// after its message. The stop is an exception so that the main program can
// flush the listing before it exits, and tests can observe the stop.
#pragma once

#include <stdexcept>
#include <string>

namespace zanek {

struct ZanekStop : std::runtime_error {
    int code;      // the stop code (0 for a stop without a code)
    std::string text;  // the stop text, if any
    ZanekStop(int c, std::string t)
        : std::runtime_error("stop " + std::to_string(c) + " " + t), code(c), text(std::move(t)) {}
};

// Stop with a code (46, 100, 200, 333, 1111, 1234, ...) or a text.
[[noreturn]] void zstop(int code, const std::string& text = "");

}  // namespace zanek
