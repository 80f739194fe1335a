// %export: the final model in the input formats of other crystallographic
// programs. The main export file (unit 35, the structure name + ".ins")
// takes a CRYSTALS command file, a SHELX-92 instruction file, or the atom
// files of MolEN and TeXan; the plot file (unit 36, + ".plt") takes the
// model for MOLDRAW, SCHAKAL, VYROLA or as Cartesian coordinates. When the
// viewer asked for more refinement, %export puts a %restart in front of
// itself in the running queue instead.
//
// EXPORT itself is declared with the other command routines in
// jobcontrol/commands.h.
#pragma once

#include <string>
#include <vector>

namespace zanek {

// Plot formats of the directives mold, scha, vyro (default) and xyz.
enum PlotFormat : int { PLOT_MOLDRAW = 1, PLOT_SCHAKAL = 2, PLOT_VYROLA = 3, PLOT_CARTESIAN = 4 };

// Reads the command's directive lines: plot format and the complete-header
// flag of CRYSTALS out; the main format and the outside-program mode go to
// IMPL words 4 and 7, new file names to DOTDAT names 3 and 4. set is not
// read. ierr := -1 after " error in directive : " (the lines after it are
// not read).
void DIREXP(int& plot, int set, int& comp, int& ierr);

// Writers of the main export file (already open on UNIT word 6).
void OUTCRY(int comp);
void OUTSHE();
// spec: species of atom i at spec[i - 1] (|label code| div 100).
void OUTENR(const std::vector<int>& spec);
void OUTMSC(const std::vector<int>& spec);

// Writers of the plot file: each opens it (UNIT word 27, DOTDAT name 4),
// writes it whole and closes it; false, after the message, when it could
// not be opened or written.
bool OUTMOLD();
bool OUTSHA();
bool OUTVYRO();
bool OUTXYZ();

// The part of EXPORT after the viewer: when the next-action code is set,
// %restart is inserted in front of the running %export and true is
// returned (the command then ends with its directive lines unread).
bool export_requeue();

// The name of atom i of species symbol sym in a SHELX file: the symbol in
// columns 1-2 and i right-justified in columns 3-4 (2-4 from 100 on),
// blanks turned into "0", upper case: c and 5 give C005.
std::string shelx_atom_name(const std::string& sym, int i);

}  // namespace zanek
