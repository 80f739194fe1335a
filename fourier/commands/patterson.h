// %patterson: a Patterson map from the reflections of list 7 with |E|^2,
// |F|^2 or |F||E| coefficients, expanded by the Patterson symmetry (the
// rotations of the space group with a centre of symmetry and no
// translations), its peaks searched and listed. The command routine PATTER
// is declared with the other command routines in jobcontrol/commands.h.
#pragma once

#include <string>

namespace zanek {

// Patterson map kinds (UREQ1 word 1); 0 is a Fourier map.
enum PattersonKind : int { PATT_E2 = 1, PATT_F2 = 2, PATT_FE = 3 };

// Reads the directive lines of %patterson after setting their defaults.
// IERR := -1 after a bad line (the later lines are not read).
void DIRPAT(int& ierr);

// Laue class of a space-group symbol (16 characters) and its crystal-system
// code (1 triclinic .. 6 cubic; above 6 taken as 6): CLS, five characters,
// is left unchanged for a code below 1.
void LAUE(const std::string& symbol, int family, std::string& cls);

}  // namespace zanek
