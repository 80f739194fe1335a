// The link command %vorp: the crystal data come from a structure file that
// the sibling program has filled (cell, list 1; symmetry, list 2;
// scattering factors, list 3; its reflections, list 6). The reflections
// are reduced to their standard equivalents and written as list 7 by the
// same preparation and merge that %data uses, so that %normal and the
// later commands can follow as after %data.
#pragma once

namespace zanek {

constexpr int kLinkWeakWanted = 100;  // RC word 21 after the link (166 after %data)
constexpr float kLinkRhomax = 1.0f;   // RC word 23 after the link (1.98 after %data)

// The command routine (command code 18). status := -1 after the message of
// a failure.
void VORPM(int& status);

// Sets the defaults of the link and reads its directive lines: the only
// directive is `know` (the sibling's reflections carry known phases).
// ierr := -1 after the message of a bad line.
void DIRVORP(int& ierr);

// Loads lists 1, 2 and 3, reads the group-0 records of list 6 into the
// direct-access scratch file (unit UNIT word 5, which the caller has
// opened) as input reflection records reduced to their standard
// equivalents; sets RC words 16 and 18 and UREQ words 1-3. ierr := -1
// after the message when a list is missing or list 6 is damaged.
void VORP(int& ierr);

}  // namespace zanek
