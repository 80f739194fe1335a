#include "jobcontrol/command_file.h"

#include <algorithm>
#include <utility>

#include "jobcontrol/records/job.h"
#include "jobcontrol/text.h"

namespace zanek {

namespace {

// The first four characters of a text, lower case: commands and directives
// are known by them.
std::string key_of(const std::string& text) {
    std::string key = padded(text.substr(0, std::min<std::size_t>(text.size(), 4)), 4);
    LCASE(key);
    return key;
}

// The rest of a shifted line after its first word (at most 40 characters),
// left-justified; n := its length, -1 when nothing follows the word.
std::string after_first_word(const std::string& line, int& n) {
    std::string rest = line, word(40, ' ');
    int m = 0;
    CUTST(rest, n, word, m);
    return rest;
}

}  // namespace

std::string command_file_line(std::string raw, bool& cut) {
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    cut = KSTRLN(raw) > static_cast<int>(kCommandLineColumns);
    return padded(std::move(raw), kCommandLineColumns);
}

CommandLineKind shift_command_line(std::string& line) {
    int n = 0;
    SHIFT(line, n);
    if (n < 0 || line[0] == CHARAS.comment_mark()) return CommandLineKind::Skipped;
    if (line[0] != CHARAS.command_mark()) return CommandLineKind::Directive;
    if (line[1] == CHARAS.command_mark()) return CommandLineKind::JobEnd;
    return CommandLineKind::Command;
}

int command_code(const std::string& line) {
    const std::string key = key_of(line.substr(1));
    int code = 0;
    for (int c = 1; c <= kNumKeywords; ++c)
        if (CHARAS.keyword(c).substr(0, 4) == key) code = c;
    return code;
}

bool structure_name_of(const std::string& line, std::string& name) {
    int n = 0, m = 0;
    std::string rest = after_first_word(line, n);
    name.assign(40, ' ');
    if (n < 0) return false;
    CUTST(rest, n, name, m);
    return true;
}

bool reflection_directive(const std::string& line, std::string& name) {
    if (key_of(line) != "refl") return false;
    int n = 0;
    name = after_first_word(line, n);
    return true;
}

bool reflections_follow(const std::string& rest) { return key_of(rest) == "foll"; }

}  // namespace zanek
