// %restart: Fourier recycling resumed from the atom list of the structure
// file (list 15), after optional edits of the list (atoms deleted or given
// another species), for a few maps (refine) or many (complete). The
// command routine RESTAR is declared with the other command routines in
// jobcontrol/commands.h.
#pragma once

#include <string>

namespace zanek {

// Species code of an atom name: 1..8 the species whose symbol the name's
// letters give, 9 a peak of no species ("q...").
constexpr int kNoSpeciesCode = 9;

// Reads the command's directive lines (com, pri, del, ren/rel) after
// loading list 15 into ATOMS. MODE out: 0, or 2 after "com". IERR := -1
// after a bad line (message printed; the later lines are not read).
// The edits go to BUFFER: word i -1 (delete) or the new species code of
// atom i (rename), word 200+i the code its name gave.
void DIRRES(int& mode, int& ierr);

// Cuts the first word off LINE (lower-cased first) and reads it as an
// atom name: CODE the species code of its letters; with FLAG 0 also ATOM,
// the number after the letters. IERR := -1 when the letters name no
// species and do not begin with "q", or (FLAG 0) no number in 1..200
// follows them.
void GETCOD(std::string& line, int& atom, int& code, int flag, int& ierr);

// Checks the edits against the atom list and reports each one; an edit
// whose name does not match its atom is dropped.
void CHANGE0(int& ierr);
// Applies the accepted edits, stores the list as list 15 (without bonds)
// and copies it to list 30; the next-action code becomes 1.
void CHANGE1(int& ierr);

}  // namespace zanek
