// The main program, the command spooler and the dispatcher.
#pragma once

#include <string>

namespace zanek {

// Runs the program on its command line; returns the process exit code
// (0 ends ok, 1 ends in error, 2 a stop code).
int run_program(int argc, char** argv);

// The main program proper, on the arguments already set with set_args.
int ZANEK();

// Sets every shared record to its state at the start of a run.
void reset_run_records();
// Opens the structure file (DOTDAT name 1) and loads its index, or gives a
// new or empty file (or, with initialize, a valid one) a new index;
// new_file := 1 then. False (after the message) when the file cannot be
// opened or is refused. With_first_command, a new index is stored with the
// first command that runs after (settle_structure_file stores it where none
// does), so that the file is replaced once for both.
bool open_structure_file(bool initialize, int& new_file, bool with_first_command = false);
// On the open structure file: a new or empty file gets a new index, and so
// does a valid one when initialize is set; otherwise the index is loaded
// (a list lying beyond the end of the file stops the run with 1111). A
// file that is not empty and holds no valid index is refused: false after
// the message, with nothing written to it. Empties the store map.
bool load_or_initialise_index(bool initialize, int& new_file, bool with_first_command = false);
// Calls the routine of a command code, and nothing more: what the routine
// stores is written as it goes, with no undo when it fails. Codes 7 and 15
// set job_count to -1; a code no routine serves fails (status -1) with its
// message.
void dispatch_command(int code, int new_file, int& job_count, int& status);
// Runs one command by its code, as the dispatcher does (the caller has set
// the running command's number). Codes 7 and 15 set job_count to -1.
void run_command(int code, int new_file, int& job_count, int& status);

// Opens a new progress line of the phase, Fourier or restart area for a
// command of that code.
void open_progress_line(int code);

// Reads one job into the command queue. status: 0, or -2 on failure.
void SPOOLR(std::string& line, int& new_file, int& job_count, int& export_flag, int& status);
// Runs the queue of the job just read.
void ZANCOM(int new_file, int& job_count, int& status);

}  // namespace zanek
