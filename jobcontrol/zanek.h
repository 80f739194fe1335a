// The main program, the command spooler and the dispatcher.
#pragma once

#include <string>

namespace zanek {

// Runs the program on its command line; returns the process exit code
// (0 ends ok, 1 ends in error, 2 a stop code).
int run_program(int argc, char** argv);

// The main program proper, on the arguments already set with set_args.
int ZANEK();

// Reads one job into the command queue. status: 0, or -2 on failure.
void SPOOLR(std::string& line, int& new_file, int& job_count, int& export_flag, int& status);
// Runs the queue of the job just read.
void ZANCOM(int new_file, int& job_count, int& status);

}  // namespace zanek
