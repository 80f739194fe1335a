// The program: zanek COMMANDFILE LISTING
#include "jobcontrol/zanek.h"

int main(int argc, char** argv) { return zanek::run_program(argc, argv); }
