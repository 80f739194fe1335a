// Interpretation of Fourier peaks as a molecular model: candidate atomic
// species for every peak, chemically acceptable distances and bond angles
// under the full space-group symmetry, fragments grown from them, the
// fragment listing with ring marks, polymeric links, line-printer plots,
// and the hand-back of result codes, corrected positions and bonds.
//
// Inputs: the peak list ATOMS (CONST word 7 peaks), lists 1, 2 and 3 of the
// structure file, the special-position library (SPEC, prepared by XSPINB),
// the user's conditions in INPCL. Outputs: the result-code array, ATOMS
// words 1-4 of every peak (positions moved next to their fragment), and the
// bond table TEMP (word 1 number of bonds, then pairs of peak numbers).
#pragma once

#include <cstdint>

namespace zanek {

constexpr int kMaxResultCodes = 200;  // entries of a result-code array
constexpr int kNotInterpreted = -99999;

// Interpretation modes.
namespace interp_mode {
constexpr int kFragmentStart = 1;  // species from heights, full listing
constexpr int kLaterMap = 2;       // species from heights, silent
constexpr int kEMap = 3;           // species from heights, short listing
constexpr int kFinal = 4;          // species from labels, full listing
constexpr int kRecycle = 5;        // species from labels, silent
}  // namespace interp_mode

// Thrown, after its message is listed, when the interpretation cannot go on
// with the model it was given: no labelled peak of a species it uses, the
// fragment tables beyond the work store, two fragments without an image
// within 100 A of each other, a group with an angle class out of range.
// The command that asked for the interpretation fails; the program goes on.
struct InterpretationFailed {};

// Runs part of a command that interprets peaks; false when an
// interpretation in it failed (the command then fails, status -1).
template <class Work>
bool interpretations_succeed(Work&& work) {
    try {
        work();
        return true;
    } catch (const InterpretationFailed&) {
        return false;
    }
}

// One peak interpretation of the CONST word 7 peaks of ATOMS.
// ICODE: kMaxResultCodes integers, out: per peak +-(100*species rank +
// fragment), negative when the peak is in no fragment, kNotInterpreted for
// a peak not interpreted. MODE: 1..5 (see interp_mode), in; when a label
// mode finds no labelled peak it runs as mode 2 and MODE is left as given.
// IPRINT: the print level of the command (UREQ word 10). Throws
// InterpretationFailed.
void MAINCL(int32_t* ICODE, int& MODE, int IPRINT);

}  // namespace zanek
