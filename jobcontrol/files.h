// Files, command-line arguments and logical names.
#pragma once

#include <string>

namespace zanek {

// Reads the command line, connects the command file and the listing and
// sets the window mode; ierr := -1 when a named file cannot be opened, or
// when the listing's name leads to a file the run reads or keeps (the
// command file, a structure file, an input file the command file names):
// that file is left untouched and standard error says why.
void PC386(int& ierr);

// Opens a sequential file. status: 1 scratch, 2 old, other "unknown";
// form: 1 formatted, 2 unformatted. Returns true when the open failed.
bool JOPEN(int unit, const std::string& name, int recl, int status, int form, int& iostat);

// Opens a direct-access file of recl 4-byte words. count is raised by one;
// when it becomes 2 the file is a nameless scratch file, otherwise NAME is
// opened literally. Returns true when the open failed.
bool KOPEN(int unit, const std::string& name, int recl, int& count, int& iostat);

// Translates a logical directory ("crysdir:form.dat") through the
// environment variable of its upper-case name, which may hold several
// prefixes separated by commas. status: "OLD", "NEW", "FRESH", "UNKNOWN".
void MTRNLG(std::string& name, const std::string& status, int& n);

// True when the whole argument is the console name "con", in any case.
bool is_console_name(const std::string& arg);

}  // namespace zanek
