// Command line, environment and clock, as the program's routines ask for them.
#pragma once

#include <string>
#include <vector>

namespace zanek {

// The command-line arguments (argument 0 is the program).
void set_args(int argc, char** argv);
void set_args(const std::vector<std::string>& args);
// Argument i (1-based), cut or blank-padded to 80 characters; blank when absent.
std::string getarg(int i);

// The value of an environment variable, "" when unset.
std::string getenv_str(const std::string& name);

// The 24-character date text of the current time, as
// "Thu Dec 10 12:17:23 2026". The environment variable ZANEK_CLOCK, when set,
// is used instead (so that tests can compare whole listings).
std::string date_text24();

}  // namespace zanek
