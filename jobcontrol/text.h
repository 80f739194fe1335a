// Directive-line and text helpers: every reader of command and directive
// lines takes its lines apart with these.
#pragma once

#include <string>

namespace zanek {

// Left-justifies LINE; n = length from first to last non-blank, -1 when blank.
void SHIFT(std::string& line, int& n);
// Cuts the first word (up to the first blank, at most 40 characters and at
// most the length of WORD) from the left-justified LINE into WORD (blanked
// first, its length is kept); m = characters moved; the rest of LINE is
// left-justified and n is its length (-1 when nothing is left).
void CUTST(std::string& line, int& n, std::string& word, int& m);
// Reads up to 40 numbers of LINE into rnum (all 40 cleared first) and their
// integer parts into inum; n = count read; iflag: on entry the count
// wanted (0 = all), on return 1 when the line was used up, -1 when a word
// was not a number, else unchanged.
void GETNUM(const std::string& line, float rnum[40], int inum[40], int& n, int& iflag);
void UCASE(std::string& s);
void LCASE(std::string& s);
// Closes up the non-blank characters at the front; n = their count.
void XCMPRP(std::string& s, int& n);
// Column of the last non-blank character, 0 when blank.
int KSTRLN(const std::string& s);
// out := in, cut or padded to out's length, then upper-cased.
void XCCUPC(const std::string& in, std::string& out);

// Convenience: s cut or blank-padded to n characters.
std::string padded(std::string s, std::size_t n);
// s without trailing blanks.
std::string rtrim(const std::string& s);

}  // namespace zanek
