// History, summary, headings and time texts.
#pragma once

#include <string>

namespace zanek {

void HISTOR(int index, int value, int& ierr);
void SUMMAR();
void WRHEAD();
// "At " and the weekday, month, day and hour of the clock (28 characters).
void ZANTIME(std::string& text, int& n);
// The 24-character date text, cut or padded to the length of text.
void ZANDATE(std::string& text, int& n);

}  // namespace zanek
