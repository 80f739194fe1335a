// The progress screens of the graphics window and the start-up hook. The
// screens draw only in window mode (SCREEN word 1 = 1); in every mode
// SCREND puts the time text in front of the end message and LASTPLOT
// clears the next-action code.
#pragma once

#include <string>

#include "graphics/window/window.h"

namespace zanek {

// Screen texts kept with the progress areas of SCMESS: the title line
// (line 1), the characters of it to show (word 621) and the characters of
// a phase, Fourier and restart progress line (words 622-624; 0 while no
// progress text of that kind has been written).
// The lines of the areas that came before this job's commands: the k-th
// command of a kind in this job shows line (before + k) of its area, so
// that a later job of the run shows its own progress, never an earlier
// job's.
struct ScreenTextsRecord {
    std::string title = std::string(80, ' ');
    int title_length = 0;
    int length[3] = {0, 0, 0};
    int before[3] = {0, 0, 0};
};
inline ScreenTextsRecord SCRTXT;

// The start-up hook of the windowing library: a frame without menus and
// status bar at (0, 0), 640 x 480. True.
bool INITIALSETTINGS();
// Start screen after each job is read: opens the window at its first call.
void SCR1();
// Title, command list with the running command marked and progress lines.
void SCR2();
// Puts the time text in front of the end message (n += 28); in window mode
// shows the end screen and waits for Quit.
void SCREND(std::string& message, int& n);
// Progress of the recycling steps (mode 1 after step A, 2 after steps B
// and C) for cycle icyc of phase set iset: the model, the cycle message and
// the final-R text.
void SCRF(int iset, int icyc, int mode);
// Phasing progress of trial itrial of ntrial with its cfom and the best so
// far, on the running %phase line and in the phase area.
void SCRP(int itrial, int ntrial, float cfom, float cmax);
// The final model before export. In every mode it clears the next-action
// code (EMAP word 216) and sets r to -1.0; in window mode, with an atom
// list stored, the interactive viewer runs (it may ask for more
// refinement) and r is the last R in percent.
void LASTPLOT(float& r);
// Colour 1 and nothing drawn.
void TEXT_MODE();
// Open the next line of the phase, Fourier or restart area (the
// dispatcher does this itself).
void SCRPD();
void SCRFD();
void SCRRD();

}  // namespace zanek
