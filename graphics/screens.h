// The progress screens and the window driver entry the main program uses.
#pragma once

#include <string>

#include "graphics/window/window.h"

namespace zanek {

void SCR1();
void SCR2();
// Puts the time text in front of the end message; in window mode shows
// the end screen.
void SCREND(std::string& message, int& n);
// Progress of the recycling steps (mode 1 after step A, 2 after steps B
// and C): redraws the model in window mode; batch runs draw nothing.
void SCRF(int iset, int icyc, int mode);
// Phasing progress of trial itrial of ntrial with its cfom and the best so
// far: in window mode the line of the running %phase in the phase area;
// batch runs draw nothing and change nothing.
void SCRP(int itrial, int ntrial, float cfom, float cmax);
// The final model before export. In every mode it clears the next-action
// code (EMAP word 216) and sets r to -1.0; the interactive viewer, which may
// ask for more refinement, runs only in window mode.
void LASTPLOT(float& r);

}  // namespace zanek
