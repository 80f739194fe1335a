// The lines of the command file as the spooler takes them. The spooler and
// the listing-name check, which reads the command file ahead for the files
// its jobs name, both read it with these, so that they take every line alike.
#pragma once

#include <string>

namespace zanek {

// Columns of a command-file line: what stands beyond is cut off.
constexpr std::size_t kCommandLineColumns = 80;

// A line as read from the command file, made a command-file line: a
// carriage return before the line end dropped, cut at 80 columns and
// padded with blanks to 80. cut := true when other than blanks was cut off.
std::string command_file_line(std::string raw, bool& cut);

// What a command-file line is.
enum class CommandLineKind {
    Skipped,    // blank, or a comment (the comment mark first)
    Directive,  // no command mark first
    JobEnd,     // two command marks ("%%"): the job goes
    Command,    // the command mark and a keyword
};
// Shifts LINE to its first non-blank character and tells what it is.
CommandLineKind shift_command_line(std::string& line);

// The command code of a shifted command line: the last keyword whose first
// four characters equal the line's characters 2-5 in lower case; 0 when
// none matches.
int command_code(const std::string& line);

// The structure name of a shifted %structure line: its first word after the
// command, at most 40 characters, blank-padded to 40. False when no word
// follows the command.
bool structure_name_of(const std::string& line, std::string& name);

// True when the shifted directive line is the reflection file's directive
// (its first four characters "refl" in any case); name := the rest of the
// line after its first word, blank-padded to the line's length.
bool reflection_directive(const std::string& line, std::string& name);
// True when the reflection directive's rest says the reflections follow in
// the command file ("follow", in any case) instead of naming a file.
bool reflections_follow(const std::string& rest);

}  // namespace zanek
