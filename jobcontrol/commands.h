// The command routines the dispatcher calls, and the two protocols every
// command routine follows: the command heading and the directive reader.
#pragma once

#include <stdexcept>
#include <string>

namespace zanek {

// A command that cannot go on, after its message (a list it needs is not in
// the structure file): the dispatcher fails the command (status -1), so the
// run ends in error instead of working on a list image that is not there.
struct CommandFailed : std::runtime_error {
    CommandFailed() : std::runtime_error("command failed") {}
};

// Command routines (each sets status to -1 on failure, after its message).
void NORMAL(int& status);
void SEMINV(int& status);
void INVAR(int& status);
void CONTAN(int& status);
void FOURIE(std::string& peaks_file, int& status);
void EXPORT(int& status);
void RESTAR(int& status);
void PATTER(int& status);
void VORPM(int& status);
void DATAZAN(int new_file, int& status);
void BEFOR();

// Inserts the command whose keyword begins with the first n characters of
// buf into the running queue, before the running command. Returns false
// (after a message) when the queue has no room.
bool MODQUE(const std::string& buf, int n);

// How a command heading ends.
enum class HeadingEnd {
    Standard,      // one empty line after the closing rule
    TwoEmpty,      // data, normalization, seminvariants
    Link,          // two empty lines, a blank line and two more empty lines
    AfterTitle,    // fourier and restart: no closing rule
};

// Writes the boxed heading of a command routine. title is padded to 39
// characters unless pad_blanks >= 0, in which case exactly that many blanks
// follow it (the phase routine). digit is the carriage control of the first
// rule (IMPL word 107, or 0 for the history).
void command_heading(const std::string& title, HeadingEnd end = HeadingEnd::Standard,
                     int pad_blanks = -1, int digit = -1);
// A section banner: 40 blanks and the text.
void section_banner(const std::string& text);

// The directive reader's step: the number of directive lines of the running
// command, and the next line (the shared cursor advances by one).
int directive_count();
std::string next_directive_line();
// Consumes every directive line of the running command unread.
void skip_directives();

// A directive line taken apart as every directive reader takes it: the
// first word (at most 40 characters) in lower case, and the rest of the line
// left-justified with its length (-1 when nothing follows the word).
struct DirectiveLine {
    std::string line;  // as typed
    std::string word;  // 40 characters, lower case
    int word_length = 0;
    std::string rest;
    int rest_length = -1;
    // The first n characters of the word: directives are known by 4 (a few by 3 or 2).
    std::string key(std::size_t n = 4) const { return word.substr(0, n); }
};
DirectiveLine split_directive(const std::string& line);

}  // namespace zanek
