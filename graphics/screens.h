// The progress screens and the window driver entry the main program uses.
#pragma once

#include <string>

namespace zanek {

void SCR1();
void SCR2();
// Puts the time text in front of the end message; in window mode shows
// the end screen.
void SCREND(std::string& message, int& n);
void XWIN(int* x, int* y, int n, int op, const std::string& text, int value);

}  // namespace zanek
